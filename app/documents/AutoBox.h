// Word completion in a pane: after a pause in typing, a small owner-drawn
// list under the caret offers the words of the document that begin with the
// word being typed, ignoring case; typing on narrows it (then matching case),
// Enter, Tab or a double click takes the chosen word (one undo step), a word
// that is the only one left is taken at once, and Esc, a delimiter, moving
// the caret away, scrolling or the focus leaving the pane hide it. Only the
// focused pane opens the list, and only without a selection in a document
// that can be edited: it is placed from the caret. Up and Down move in the
// list; with Ctrl or Shift they are the control's.
//
// The pane feeds every WM_CHAR in before the control sees it (OnChar), its
// timers (OnTimer), the forwarded keyboard messages (Translate, message 895),
// the control's reflected notifications (OnTextChanged, OnCaretMoved), the
// owner-draw messages of the list and scrolling (Hide).
//
// The words come from a CWordIndex that follows the control's edits. A
// lookup reads only what changed since the last one; a fresh index reads the
// blocks near the caret within kSyncBudget and the rest in slices of
// kSliceBudget on the background timer, adding what it finds to a list that
// is shown, so that typing never waits on a large document. Until the index
// has read everything, the only word left is not taken at once (another may
// lie in the part not yet read): it is shown for Enter instead. A lookup
// lists at most kMostWords words, the first by their folded forms; typing
// on looks the longer prefix up again.
//
// Ownership: the pane owns the object; the list window is a child of the
// pane, created on first use and destroyed with it.
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "EditProtocol.h"
#include "WordIndex.h"

namespace documents {

class CAutoBox {
   public:
    static constexpr UINT_PTR kTypingTimer = 100;
    static constexpr UINT kTypingDelay = 400;     // ms
    static constexpr UINT_PTR kIndexTimer = 101;  // the index read in slices
    static constexpr int kMinimumPrefix = 3;
    static constexpr int kLongestPrefix = 64;
    static constexpr int kVisibleItems = 5;
    // The most words a lookup lists; typing on narrows to the rest.
    static constexpr size_t kMostWords = 100;
    static constexpr UINT kListId = 0x7AB0;
    static constexpr std::chrono::milliseconds kSyncBudget{30};
    static constexpr std::chrono::milliseconds kSliceBudget{8};

    // `control` is the pane window; every message goes through it.
    explicit CAutoBox(HWND control) : control_(control) {}
    ~CAutoBox();
    CAutoBox(const CAutoBox&) = delete;
    CAutoBox& operator=(const CAutoBox&) = delete;

    bool Visible() const;
    HWND ListWindow() const { return list_; }
    // The words found by the last lookup, in the order found.
    const std::vector<std::wstring>& Candidates() const { return candidates_; }
    const std::wstring& Prefix() const { return prefix_; }
    // Whether the typing timer runs (a pause would open the list).
    bool TypingPending() const { return typingTimer_ != 0; }
    // Whether the index has read the whole document.
    bool IndexComplete() const { return index_ && index_->Complete(); }

    // A typed character before the control sees it (completion switched on).
    void OnChar(wchar_t c);
    // True when the timer was one of the box's.
    bool OnTimer(UINT_PTR id);
    // Message 895: nonzero when the key was consumed.
    LRESULT Translate(const MSG& msg);
    void OnTextChanged(const TextChangedNotify& n);
    void OnCaretMoved(const CaretMovedNotify& n);
    // The document was loaded, replaced or shared anew: the index starts over.
    void OnDocumentReset();
    // WM_MEASUREITEM / WM_DRAWITEM of the list; false for anyone else's.
    bool OnMeasureItem(MEASUREITEMSTRUCT* item);
    bool OnDrawItem(const DRAWITEMSTRUCT* item);
    void Hide();
    // Stops the timers and forgets the words (completion switched off).
    void Stop();

    // Looks up the word before the caret: whether any candidate was found.
    bool Collect(int minimum);
    // Fills the list from the candidates (narrowed by `typed` when given)
    // and shows it, or takes the word when `accept` allows: whether a word
    // was taken.
    bool FillAndShow(bool accept, wchar_t typed = 0);
    // Takes the selected word (the only one when there is one): whether taken.
    bool TakeSelected();

   private:
    class CControlWords;  // the words of the control's text
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return SendMessageW(control_, msg, wp, lp); }
    bool IsDelimiter(wchar_t c) const { return Send(MPM_ISDELIMITER, WPARAM(c)) != 0; }
    bool EnsureList();
    // Whether the word replaced the typed beginning.
    bool Take(const std::wstring& word);
    bool ReadOnly() const { return Send(MPM_READONLY, 2) != 0; }
    bool Narrowed() const { return prefix_.size() > collected_.size(); }
    void Place(int count, size_t longest);
    // The index caught up in the background: the list shows what it found.
    void Refresh();
    void StartIndexTimer();
    static LRESULT CALLBACK ListProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND control_;
    HWND list_ = nullptr;
    std::unique_ptr<CWordIndex> index_;
    std::vector<std::wstring> candidates_;
    std::wstring prefix_;     // the typed beginning, grown by narrowing
    std::wstring collected_;  // the prefix the candidates were looked up with
    bool truncated_ = false;  // more words began so than the lookup listed
    Position wordStart_ = {0, 0};
    POINT anchor_ = {0, 0};  // the word start's client position
    UINT_PTR typingTimer_ = 0;
    UINT_PTR indexTimer_ = 0;
    bool busy_ = false;  // moving the caret or taking a word ourselves
};

}  // namespace documents
