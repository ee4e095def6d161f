// A pane of a document window: an edit control ("MRPAD32") superclassed as
// "MorrowpadPane", so that the pane's procedure sees every message first and
// passes what it does not consume to the control's own procedure.
//
// The pane turns the frame's edit commands into the control's, toggles the
// view options (written back to section Edit), zooms its own font, asks for
// a line or a spacing through the input dialog, removes blank lines, keeps
// the indentation on Enter, reports the status-bar texts and its command
// states, and answers clicks on the status-bar panes with popup menus shown
// through the host's TrackMenu. A pane with a link passes its scroll
// messages to the linked pane while it has the focus. While completion is
// on, the pane offers the document's words as they are typed (CAutoBox).
//
// Ownership: the pane owns the object (deleted after WM_NCDESTROY) and the
// fonts it makes when zooming; the document belongs to whoever took it from
// the control (message 1029). The object is found from the window through
// the property "View"; "ViewType" holds the document's view type.
#pragma once

#include <windows.h>

#include <memory>

#include "AutoBox.h"
#include "DevEnv.h"
#include "Owners.h"

namespace documents {

struct PaneContext {
    HMODULE editLibrary;  // Edit.dll (the "MRPAD32" class is local to it)
    HWND frame;           // the main frame window
    IUpdateUI* ui;        // the frame's command states (status-bar panes by identifier 1..10)
    IDevEnv* env;         // the frame's TrackMenu (popups) and MessageBox
    int viewType;         // 0 ordinary, 1 result document
};

// The code-page dialog opened by the "More..." item of the code-page popup:
// the chosen code page, or a negative value when cancelled. The default
// answers -1. Returns nothing; null restores the default.
using ChooseCodePageFn = int (*)(HWND owner);
void SetChooseCodePage(ChooseCodePageFn choose);

class CTextView {
   public:
    // Creates the pane window as a child of `parent` (WS_CHILD | WS_VISIBLE |
    // WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL,
    // WS_EX_CLIENTEDGE), sets its properties and reads the view options and
    // AutoComplete. Null on failure.
    static CTextView* Create(HWND parent, const PaneContext& context);
    // Through the property "View"; null for any other window.
    static CTextView* FromWindow(HWND window);
    // The status texts last written are shared by all panes; this forgets
    // them, so that the next Update writes every text (a new status bar).
    static void ForgetStatusTexts();
    // The document window passes on its panes' notifications (text changed,
    // caret moved) here, which the completion list follows. Anything that is
    // not a pane's is ignored.
    static void Reflect(const NMHDR* header);
    // While a macro is recorded every pane shows the recording cursor.
    static void SetRecording(bool on);
    static bool Recording();

    HWND Window() const { return hwnd_; }
    // The synchronised-scrolling partner; null unlinks.
    void SetLink(HWND pane) { link_ = pane; }
    HWND Link() const { return link_; }
    bool AutoComplete() const { return autoComplete_; }
    // The completion list; null until the pane has been typed into.
    CAutoBox* AutoBox() const { return box_.get(); }

    // Status-bar texts of panes 1-10 and the pane's command states.
    void Update();

    CTextView(const CTextView&) = delete;
    CTextView& operator=(const CTextView&) = delete;

   private:
    explicit CTextView(const PaneContext& context) : context_(context) {}
    ~CTextView();

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Control(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
    LRESULT OnCommand(WPARAM wp, LPARAM lp);
    bool OnWheel(WPARAM wp);
    void OnContextMenu(LPARAM lp);
    void ReadViewOptions();
    void ToggleViewOption(UINT command);
    bool IsShown(int index);
    void Zoom(bool larger);
    void GoToLine();
    void LineSpacing();
    void RemoveBlankLines();
    // After a word was selected (double click, select-word command): its
    // occurrences are highlighted, or the highlight goes.
    void HighlightSelectedWord();
    // The text was replaced (loaded, reloaded): every pane showing the
    // document reads its words anew.
    void ResetWordsOfDocument();
    LRESULT KeepIndentation(WPARAM wp, LPARAM lp);
    void OnStatusClick(int pane);
    void CodePageMenu();
    void LineEndMenu();
    void ByteOrderMarkMenu();
    void TabMenu();
    void SyntaxMenu();
    // Shows a popup through the host at the cursor: the identifier chosen, 0 for none.
    UINT Track(HMENU popup);
    HWND Owner() const;

    PaneContext context_;
    HWND hwnd_ = nullptr;
    HWND link_ = nullptr;
    bool autoComplete_ = true;
    std::unique_ptr<CAutoBox> box_;  // made on the first key
    bool indentLines_ = true;  // view option 8, which the control does not report
    shell::UniqueGdiT<HFONT> font_;  // made by zooming; the control shows it
};

}  // namespace documents
