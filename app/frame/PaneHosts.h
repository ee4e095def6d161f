// The two windows a pane of the docking window lives in; only the docking
// window creates them. Each frames one pane window (its only child) and
// reports to the docking window: the close button and the caption's double
// click, and the pane window's destruction (WM_PARENTNOTIFY).
#pragma once

#include <windows.h>

#include <string>

#include "Window.h"

namespace shell {

class CDockingWindow;

// Fills the host's client area below `top` with the pane window.
void FitPaneWindow(HWND host, HWND pane, int top);

// A docked pane: a caption strip (title, close button) above the pane
// window. A double click on the caption floats the pane.
class CPaneStrip : public BaseWindow<CPaneStrip> {
public:
    CPaneStrip(CDockingWindow* dock, HWND pane) : dock_(dock), pane_(pane) {}
    ~CPaneStrip();
    HWND Create(HWND parent);
    RECT CloseRect() const;  // client coordinates
    void Fit();
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

private:
    bool InClose(POINT pt) const;
    void InvalidateCloseButton();
    void OnButtonDown(POINT pt);
    void OnButtonUp(POINT pt);
    void OnPaint();
    void Paint(HDC dc);

    CDockingWindow* dock_;
    HWND pane_;
    bool pressed_ = false;  // the close button is held down
};

// A floating pane: a tool window owned by the frame. Closing it hides the
// pane; a double click on its caption docks it.
class CFloatFrame : public BaseWindow<CFloatFrame> {
public:
    static constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
    static constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;

    CFloatFrame(CDockingWindow* dock, HWND pane) : dock_(dock), pane_(pane) {}
    ~CFloatFrame();
    HWND Create(HWND owner, const std::wstring& title);
    void Fit();
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

private:
    CDockingWindow* dock_;
    HWND pane_;
};

}  // namespace shell
