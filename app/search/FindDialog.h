// The find and replace dialogs: modeless, one at a time, owned by the main
// frame. The dialog holds the find text (and the replacement) with their
// histories, the options as check boxes, and runs the searches of
// CDocumentSearch on the view the frame attaches before each one.
//
// The dialog knows the frame only through FindHost: which view to search
// (the active pane), where messages go (status-bar pane 0), the document's
// path and the output window for List All. Failures are told on the status
// bar with the information beep, never in a message box.
//
// Options are remembered in setting.ini, section Find, key Options (the
// FIND_* bits and FIND_INCREMENTAL); the texts in history.ini, sections
// Find and Replace.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "DocumentSearch.h"
#include "Owners.h"

namespace search {

// The dialog's own option: search as the find text is typed.
constexpr int FIND_INCREMENTAL = 0x100;
// The options the dialog stores; others read from the settings are dropped.
constexpr int kDialogOptions = FIND_MATCH_CASE | FIND_WHOLE_WORD | FIND_REGEX | FIND_CLOSE_AFTER |
                               FIND_HIGHLIGHT_ALL | FIND_INCREMENTAL | FIND_WRAP | FIND_IN_SELECTION;
// Longest find or replacement text, in UTF-16 units.
constexpr int kMaxFindText = 4096;
// Background of the find text while the last incremental search failed.
constexpr COLORREF kNotFoundColor = 0x00FFFF;

struct FindHost {
    std::function<HWND()> attach;                       // the view to search (null: none)
    std::function<void(const std::wstring&)> status;    // status-bar message pane
    std::function<std::wstring()> documentPath;         // "" for a document without a file
    std::function<void(const std::wstring&)> output;    // appends to the output window
    std::function<HWND()> showOutput;                   // the output window, made visible (null: none)
};

class CFindDialog {
public:
    CFindDialog(HWND owner, FindHost host);
    virtual ~CFindDialog();
    CFindDialog(const CFindDialog&) = delete;
    CFindDialog& operator=(const CFindDialog&) = delete;

    // Makes the (hidden) dialog window; false when the template is missing.
    bool Create();
    HWND Window() const { return window_; }
    virtual bool IsReplace() const { return false; }

    // Shows the dialog and focuses the find text, all of it selected.
    void Show();
    void Hide();
    bool IsVisible() const;

    std::wstring SearchText() const;
    void SetSearchText(const std::wstring& text);
    std::wstring Replacement() const;
    int Options() const;  // the check boxes as FIND_* bits (and FIND_INCREMENTAL)
    void SetOptions(int options);

    // The searches; each asks the host for the view first. An empty find
    // text does nothing (kNotFound, nothing told).
    SearchOutcome FindNext();
    SearchOutcome FindPrevious();
    SearchOutcome FindIncremental();
    SearchOutcome ListAll();
    SearchOutcome Replace();
    SearchOutcome ReplaceAll();

    // Whether the last incremental search found something (the find text's
    // background is yellow while it did not).
    bool IncrementalFound() const { return incrementalFound_; }

    // The popup of expression fragments offered next to a text field; the
    // chosen fragment replaces the field's selection.
    void InsertFragment(int field, const std::wstring& fragment);

protected:
    virtual int TemplateId() const;

private:
    static INT_PTR CALLBACK Procedure(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    SearchOutcome WithProgress(UINT text, const std::function<SearchOutcome()>& run);
    SearchOutcome FindWrapping(HWND view, const SearchRequest& request, bool up);
    INT_PTR HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnInit();
    bool OnCommand(UINT id, UINT code, HWND control);
    INT_PTR OnColor(HDC dc, HWND control);
    void UpdateEnabling();
    void SaveOptions();
    void ShowFragmentMenu(int field);
    void FillHistory(int field, const wchar_t* section);
    void Remember(int field, const wchar_t* section, const std::wstring& text);
    bool Prepare(HWND* view, SearchRequest* request, bool replacement);
    void Report(const SearchOutcome& outcome, UINT notFoundString, bool beep);
    void SetIncrementalFound(bool found);

    HWND owner_;
    FindHost host_;
    HWND window_ = nullptr;
    shell::UniqueGdiT<HBRUSH> notFoundBrush_;
    bool incrementalFound_ = true;
    bool wrapped_ = false;  // the last search went on from the other end
    bool initializing_ = false;
    bool placed_ = false;
    CDocumentSearch search_;
};

class CReplaceDialog : public CFindDialog {
public:
    using CFindDialog::CFindDialog;
    bool IsReplace() const override { return true; }

protected:
    int TemplateId() const override;
};

// Tests pick the fragment in place of the user: the chooser gets the popup
// and answers the chosen item (0 for none). Null restores the real menu.
using FragmentChooser = UINT (*)(HMENU popup);
void SetFragmentChooser(FragmentChooser chooser);

// The fragments behind the popups' items (the item identifier is the index
// + 1); the labels come from the language library's menus.
const std::vector<std::wstring>& FindFragments();
const std::vector<std::wstring>& ReplaceFragments();

}  // namespace search
