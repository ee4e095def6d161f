#include "Splitter.h"

#include <algorithm>

#include "Dpi.h"

namespace documents {
namespace {

constexpr wchar_t kClassName[] = L"MorrowpadSplitter";

}  // namespace

CSplitter::~CSplitter() {
    if (Window()) DestroyWindow(Window());
}

bool CSplitter::Create(HWND parent, Orientation orientation) {
    orientation_ = orientation;
    dpi_ = dpi::Of(parent);
    if (!Register(kClassName, nullptr, 0)) return false;
    RECT rc = {};
    GetClientRect(parent, &rc);
    return CreateAs(kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, rc.right,
                    rc.bottom, parent) != nullptr;
}

int CSplitter::Extent() const {
    RECT rc = {};
    GetClientRect(Window(), &rc);
    return orientation_ == Orientation::SideBySide ? rc.right : rc.bottom;
}

void CSplitter::SetPanes(HWND first, HWND second) {
    panes_[0] = first;
    panes_[1] = second;
    for (HWND pane : panes_)
        if (pane) SetParent(pane, Window());
    Layout();
}

int CSplitter::Bar() const { return dpi::Scale(kBar, dpi_); }

void CSplitter::SetPosition(int position) {
    position_ = std::max(0, std::min(position, std::max(0, Extent() - Bar())));
    Layout();
}

void CSplitter::Middle() { SetPosition((Extent() - Bar()) / 2); }

void CSplitter::Layout() {
    RECT rc = {};
    GetClientRect(Window(), &rc);
    const int bar = Bar();
    const int p = std::max(0, std::min(position_, std::max(0, Extent() - bar)));
    if (orientation_ == Orientation::SideBySide) {
        if (panes_[0]) MoveWindow(panes_[0], 0, 0, p, rc.bottom, TRUE);
        if (panes_[1]) MoveWindow(panes_[1], p + bar, 0, std::max(0, int(rc.right) - p - bar), rc.bottom, TRUE);
    } else {
        if (panes_[0]) MoveWindow(panes_[0], 0, 0, rc.right, p, TRUE);
        if (panes_[1]) MoveWindow(panes_[1], 0, p + bar, rc.right, std::max(0, int(rc.bottom) - p - bar), TRUE);
    }
}

LRESULT CSplitter::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    const bool side = orientation_ == Orientation::SideBySide;
    switch (msg) {
        case WM_SIZE: {
            // The bar keeps its share of the window.
            static_cast<void>(wp);
            Layout();
            return 0;
        }
        case WM_DPICHANGED_AFTERPARENT: {
            // The bar and the panes' shares keep their size on the screen.
            const int now = dpi::Of(Window());
            position_ = MulDiv(position_, now, dpi_);
            dpi_ = now;
            Layout();
            return 0;
        }
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == Window()) {
                SetCursor(LoadCursorW(nullptr, side ? IDC_SIZEWE : IDC_SIZENS));
                return TRUE;
            }
            break;
        case WM_LBUTTONDOWN: {
            const int at = side ? short(LOWORD(lp)) : short(HIWORD(lp));
            dragging_ = true;
            grab_ = at - position_;
            SetCapture(Window());
            return 0;
        }
        case WM_MOUSEMOVE:
            if (dragging_) {
                const int at = side ? short(LOWORD(lp)) : short(HIWORD(lp));
                SetPosition(at - grab_);
            }
            return 0;
        case WM_LBUTTONUP:
            if (dragging_) ReleaseCapture();
            return 0;
        case WM_CAPTURECHANGED:
            dragging_ = false;
            return 0;
        case WM_ERASEBKGND: {
            RECT rc = {};
            GetClientRect(Window(), &rc);
            FillRect(reinterpret_cast<HDC>(wp), &rc, GetSysColorBrush(COLOR_3DFACE));
            return 1;
        }
        case WM_SETFOCUS:
            if (panes_[0]) SetFocus(panes_[0]);
            return 0;
    }
    return DefWindowProcW(Window(), msg, wp, lp);
}

}  // namespace documents
