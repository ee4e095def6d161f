// The main frame, in its interim form: a top-level window of class
// "Morrowpad" with ONE edit control filling its client area. It opens the
// file named on the command line (or starts a new document), takes files
// handed over by a second instance (WM_COPYDATA), and saves its placement
// when it closes. Tabs, bars, menus and the options come later and grow
// this class; the document-window layer will take over OpenDocument.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "Window.h"

namespace shell {

class CMainFrame : public BaseWindow<CMainFrame> {
public:
    // Creates the (hidden) window and its control from `editLibrary`'s
    // "MRPAD32" class; null on failure.
    HWND Create(std::wstring_view commandLine, HMODULE editLibrary);

    // The frame's open routine: a path equal to the open document's
    // (ignoring ASCII case) opens nothing again. False when the file cannot
    // be loaded; the document is then left as it was.
    bool OpenDocument(const std::wstring& path);
    HWND EditControl() const { return edit_; }
    const std::wstring& DocumentPath() const { return path_; }

    // Keyboard messages the control turns into its own commands.
    bool PreTranslate(MSG* msg);

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

private:
    LRESULT OnCreate();
    LRESULT OnCopyData(const COPYDATASTRUCT* record);
    LRESULT OnCommand(WPARAM wp, LPARAM lp);
    void OnClose();
    void NewDocument();
    bool CreateEditControl();
    void UpdateTitle();

    std::wstring commandLine_;
    HMODULE editLibrary_ = nullptr;
    HWND edit_ = nullptr;
    std::wstring path_;  // empty for a new document
    UniqueGdi<HFONT> font_;
};

}  // namespace shell
