#include "PaneHosts.h"

#include <windowsx.h>

#include <algorithm>

#include "ColorScheme.h"
#include "DockingWindow.h"
#include "Dpi.h"
#include "Owners.h"

namespace shell {

namespace {

constexpr wchar_t kStripClass[] = L"MorrowpadDockPane";
constexpr wchar_t kFloatClass[] = L"MorrowpadFloatPane";

POINT PointOf(LPARAM lp) { return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

}  // namespace

void FitPaneWindow(HWND host, HWND pane, int top) {
    if (!host || !pane) return;
    RECT rc;
    GetClientRect(host, &rc);
    SetWindowPos(pane, nullptr, 0, top, rc.right, std::max<LONG>(0, rc.bottom - top),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------
// The docked pane's strip

CPaneStrip::~CPaneStrip() {
    if (Window()) DestroyWindow(Window());
}

HWND CPaneStrip::Create(HWND parent) {
    if (!Register(kStripClass, nullptr, CS_DBLCLKS)) return nullptr;
    return CreateAs(kStripClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0, 0, parent);
}

RECT CPaneStrip::CloseRect() const {
    RECT rc;
    GetClientRect(Window(), &rc);
    const int size = dock_->CaptionHeight() - 4;
    return {rc.right - size - 2, 2, rc.right - 2, 2 + size};
}

void CPaneStrip::Fit() { FitPaneWindow(Window(), pane_, dock_->CaptionHeight()); }

LRESULT CPaneStrip::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE: Fit(); return 0;
        case WM_PAINT: OnPaint(); return 0;
        case WM_PRINTCLIENT: Paint(reinterpret_cast<HDC>(wp)); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_LBUTTONDOWN: OnButtonDown(PointOf(lp)); return 0;
        case WM_LBUTTONUP: OnButtonUp(PointOf(lp)); return 0;
        case WM_CAPTURECHANGED:
            if (pressed_) {
                pressed_ = false;
                InvalidateCloseButton();
            }
            return 0;
        case WM_LBUTTONDBLCLK:
            if (PointOf(lp).y < dock_->CaptionHeight() && !InClose(PointOf(lp))) dock_->UndockPane(pane_);
            return 0;
        case WM_SETFOCUS:
            if (IsWindow(pane_)) SetFocus(pane_);
            return 0;
        case WM_PARENTNOTIFY:
            if (LOWORD(wp) == WM_DESTROY && reinterpret_cast<HWND>(lp) == pane_) dock_->PaneWindowGone(pane_);
            return 0;
        default: return DefWindowProcW(Window(), msg, wp, lp);
    }
}

bool CPaneStrip::InClose(POINT pt) const {
    const RECT rc = CloseRect();
    return PtInRect(&rc, pt) != FALSE;
}

void CPaneStrip::InvalidateCloseButton() {
    const RECT rc = CloseRect();
    InvalidateRect(Window(), &rc, FALSE);
}

// The close button acts on release over it, as a push button does.
void CPaneStrip::OnButtonDown(POINT pt) {
    if (InClose(pt)) {
        pressed_ = true;
        SetCapture(Window());
        InvalidateCloseButton();
    } else if (IsWindow(pane_)) {
        SetFocus(pane_);
    }
}

void CPaneStrip::OnButtonUp(POINT pt) {
    if (!pressed_) return;
    pressed_ = false;
    if (GetCapture() == Window()) ReleaseCapture();
    InvalidateCloseButton();
    if (InClose(pt)) dock_->HidePane(pane_);
}

void CPaneStrip::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Window(), &ps);
    Paint(dc);
    EndPaint(Window(), &ps);
}

// The caption in the colour scheme's frame colours.
void CPaneStrip::Paint(HDC dc) {
    RECT rc;
    GetClientRect(Window(), &rc);
    const RECT caption = {0, 0, rc.right, dock_->CaptionHeight()};
    SetBkColor(dc, scheme::ChromeColor(scheme::Chrome::Face));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &caption, nullptr, 0, nullptr);
    const RECT line = {0, caption.bottom - 1, rc.right, caption.bottom};
    SetBkColor(dc, scheme::ChromeColor(scheme::Chrome::Shadow));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
    const COLORREF textColor = scheme::ChromeColor(scheme::Chrome::Text);

    const RECT close = CloseRect();
    HGDIOBJ oldFont = SelectObject(dc, dock_->CaptionFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColor);
    RECT text = {4, 0, close.left - 4, caption.bottom - 1};
    const std::wstring title = dock_->Title(pane_);
    DrawTextW(dc, title.c_str(), int(title.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, oldFont);

    if (pressed_) {
        RECT edge = close;
        DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
    }
    // A cross in the text colour: no glyph font is needed.
    const CPenScope pen(dc, textColor);
    const int inset = std::max<int>(3, (close.bottom - close.top) / 4);
    const int shift = pressed_ ? 1 : 0;
    MoveToEx(dc, close.left + inset + shift, close.top + inset + shift, nullptr);
    LineTo(dc, close.right - inset + shift, close.bottom - inset + shift);
    MoveToEx(dc, close.right - inset - 1 + shift, close.top + inset + shift, nullptr);
    LineTo(dc, close.left + inset - 1 + shift, close.bottom - inset + shift);
}

// ---------------------------------------------------------------------------
// The floating pane's tool window

CFloatFrame::~CFloatFrame() {
    if (Window()) DestroyWindow(Window());
}

HWND CFloatFrame::Create(HWND owner, const std::wstring& title) {
    if (!Register(kFloatClass, nullptr, CS_DBLCLKS)) return nullptr;
    return CreateAs(kFloatClass, title.c_str(), kStyle, kExStyle, 0, 0, 0, 0, owner);
}

void CFloatFrame::Fit() { FitPaneWindow(Window(), pane_, 0); }

LRESULT CFloatFrame::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE: Fit(); return 0;
        case WM_DPICHANGED:  // the suggested size; the pane hears WM_DPICHANGED_AFTERPARENT
            dpi::OnDpiChanged(Window(), wp, lp);
            Fit();
            return 0;
        case WM_CLOSE: dock_->HidePane(pane_); return 0;
        case WM_NCLBUTTONDBLCLK:
            if (wp == HTCAPTION) {
                dock_->DockPane(pane_, nullptr);
                return 0;
            }
            break;
        case WM_SETFOCUS:
            if (IsWindow(pane_)) SetFocus(pane_);
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lp);
            const LONG least = dpi::Scale(Window(), CDockingWindow::kMinFloat);
            info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, least);
            info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, least);
            return 0;
        }
        case WM_PARENTNOTIFY:
            if (LOWORD(wp) == WM_DESTROY && reinterpret_cast<HWND>(lp) == pane_) dock_->PaneWindowGone(pane_);
            return 0;
        default: break;
    }
    return DefWindowProcW(Window(), msg, wp, lp);
}

}  // namespace shell
