// A document window: one edit-control pane over the document, opened with
// code-page and line-end detection, saved through the control, closed with
// the prompt to save changes. The frame talks to it only through messages
// (MPD_*, WM_COMMAND) and its IView; it reports command states and status
// texts through the frame's IUpdateUI and its tab through MPF_SET_TAB.
//
// The object owns itself: it is deleted after its window's last message.
#pragma once

#include <windows.h>

#include <string>

#include "DevEnv.h"
#include "Window.h"

namespace documents {

// Passed by pointer with MPF_OPEN and MPD_OPEN.
struct OpenRequest {
    int codePage = -1;     // negative or 1: detect
    int readOnly = 0;      // 1: read-only after loading
    int internalFile = 0;  // a file the program wrote: loaded exclusively, kept out of the recent list
};

// Passed by pointer with MPF_SET_TAB.
struct DocumentTab {
    int state;  // 0 plain, 1 modified, 2 saved, 3 read-only
    const wchar_t* title;
};

// The IView of a document window (the window property "DocumentView"), or
// null for any other window.
IView* ViewOf(HWND window);
// Whether the document window's caption is the full path of its file (not
// an untitled caption).
bool HasFile(HWND window);

class CDocumentWindow final : public IView, public shell::BaseWindow<CDocumentWindow> {
public:
    // A hidden child of `parent` (the frame's document area) sending its
    // states to `ui` and its tab to `frame`; null on failure.
    static CDocumentWindow* Create(HWND parent, HWND frame, IUpdateUI* ui, HMODULE editLibrary);

    HWND Pane() const { return pane_; }
    bool HasFileName() const { return hasFile_; }

    // IView
    int MORROWPAD_CALL GetCaption(wchar_t* buffer, int size) override;
    HWND MORROWPAD_CALL GetActivePane() override { return pane_; }
    BOOL MORROWPAD_CALL IsModified() override;

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnFinalMessage() { delete this; }

private:
    CDocumentWindow(HWND frame, IUpdateUI* ui, HMODULE editLibrary)
        : frame_(frame), ui_(ui), editLibrary_(editLibrary) {}
    ~CDocumentWindow() = default;

    LRESULT OnCreate();
    bool Open(const wchar_t* path, const OpenRequest* request);
    void Update();
    LRESULT OnCommand(WPARAM wp, LPARAM lp);
    int AskToClose();
    int Save(bool as);
    void ApplyFont();
    void AppendClipboardText();
    std::wstring Caption() const;

    HWND frame_;
    IUpdateUI* ui_;
    HMODULE editLibrary_;
    HWND pane_ = nullptr;
    bool saved_ = false;
    bool hasFile_ = false;  // the caption is the file's full path
    int fontCommand_ = 1430;
    COLORREF colors_[80] = {};
    shell::UniqueGdi<HFONT> font_;
    std::wstring lastTabTitle_;
    int lastTabState_ = -1;
};

}  // namespace documents
