#include "PreviewPane.h"

#include <algorithm>

namespace printing {
namespace {

constexpr int kMargin = 12;  // desk around the page, in pixels
constexpr int kScrollLine = 40;

int ClientWidth(HWND w) {
    RECT rc;
    GetClientRect(w, &rc);
    return rc.right;
}
int ClientHeight(HWND w) {
    RECT rc;
    GetClientRect(w, &rc);
    return rc.bottom;
}
// The client size without the scroll bars that a large page brings, so that
// the fitted size does not change when they come and go.
SIZE FullClient(HWND w) {
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    return {ClientWidth(w) + ((style & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0),
            ClientHeight(w) + ((style & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0)};
}

}  // namespace

CPreviewPane::~CPreviewPane() {
    if (page_) DeleteEnhMetaFile(page_);
}

HWND CPreviewPane::Create(HWND parent, UINT id) {
    Register(L"MorrowpadPrintPreview", nullptr, CS_HREDRAW | CS_VREDRAW);
    HWND w = CreateAs(L"MorrowpadPrintPreview", L"", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 0, 0, 0,
                      0, 0, parent);
    if (w) SetWindowLongPtrW(w, GWLP_ID, LONG_PTR(id));
    return w;
}

void CPreviewPane::SetPage(HENHMETAFILE page, int width, int height) {
    if (page_ && page_ != page) DeleteEnhMetaFile(page_);
    page_ = page;
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    UpdateScrollBars();
    if (Window()) InvalidateRect(Window(), nullptr, FALSE);
}

void CPreviewPane::SetZoom(double zoom) {
    zoom_ = zoom;
    UpdateScrollBars();
    if (Window()) InvalidateRect(Window(), nullptr, FALSE);
}

SIZE CPreviewPane::ScaledSize() const {
    const SIZE full = Window() ? FullClient(Window()) : SIZE{0, 0};
    const int cw = full.cx, ch = full.cy;
    const double fit =
        std::max(0.0, std::min(double(cw - 2 * kMargin) / width_, double(ch - 2 * kMargin) / height_));
    return {LONG(width_ * fit * zoom_ + 0.5), LONG(height_ * fit * zoom_ + 0.5)};
}

RECT CPreviewPane::PageRect() const {
    const SIZE s = ScaledSize();
    const int cw = Window() ? ClientWidth(Window()) : 0, ch = Window() ? ClientHeight(Window()) : 0;
    const int x = std::max<int>(kMargin, (cw - s.cx) / 2) - scroll_.x;
    const int y = std::max<int>(kMargin, (ch - s.cy) / 2) - scroll_.y;
    return {x, y, x + s.cx, y + s.cy};
}

void CPreviewPane::UpdateScrollBars() {
    if (!Window()) return;
    const SIZE s = ScaledSize();
    const int cw = ClientWidth(Window()), ch = ClientHeight(Window());
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    const int extentX = s.cx + 2 * kMargin, extentY = s.cy + 2 * kMargin;
    scroll_.x = std::clamp<LONG>(scroll_.x, 0, std::max(extentX - cw, 0));
    scroll_.y = std::clamp<LONG>(scroll_.y, 0, std::max(extentY - ch, 0));
    si.nMax = extentX - 1;
    si.nPage = UINT(std::max(cw, 0));
    si.nPos = scroll_.x;
    SetScrollInfo(Window(), SB_HORZ, &si, TRUE);
    si.nMax = extentY - 1;
    si.nPage = UINT(std::max(ch, 0));
    si.nPos = scroll_.y;
    SetScrollInfo(Window(), SB_VERT, &si, TRUE);
}

void CPreviewPane::Scroll(int bar, int code) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(Window(), bar, &si);
    int pos = si.nPos;
    switch (code) {
        case SB_LINEUP: pos -= kScrollLine; break;
        case SB_LINEDOWN: pos += kScrollLine; break;
        case SB_PAGEUP: pos -= int(si.nPage); break;
        case SB_PAGEDOWN: pos += int(si.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = si.nMax; break;
        default: return;
    }
    (bar == SB_HORZ ? scroll_.x : scroll_.y) = pos;
    UpdateScrollBars();
    InvalidateRect(Window(), nullptr, FALSE);
}

void CPreviewPane::Paint(HDC dc, const RECT& client) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_APPWORKSPACE));
    if (!page_) return;
    const RECT page = PageRect();
    RECT shadow = page;
    OffsetRect(&shadow, 3, 3);
    FillRect(dc, &shadow, GetSysColorBrush(COLOR_3DDKSHADOW));
    FillRect(dc, &page, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetStretchBltMode(dc, HALFTONE);
    PlayEnhMetaFile(dc, page_, &page);
}

LRESULT CPreviewPane::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Window(), &ps);
            RECT client;
            GetClientRect(Window(), &client);
            // Drawn off screen first: playing a page is slow enough to flicker.
            const shell::CUniqueDc mem(CreateCompatibleDC(dc));
            const shell::UniqueGdiT<HBITMAP> bitmap(
                CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)));
            if (mem && bitmap) {
                const CSelectScope select(mem.get(), bitmap.get());
                Paint(mem.get(), client);
                BitBlt(dc, 0, 0, client.right, client.bottom, mem.get(), 0, 0, SRCCOPY);
            } else {
                Paint(dc, client);
            }
            EndPaint(Window(), &ps);
            return 0;
        }
        case WM_SIZE: UpdateScrollBars(); return 0;
        case WM_HSCROLL: Scroll(SB_HORZ, LOWORD(wp)); return 0;
        case WM_VSCROLL: Scroll(SB_VERT, LOWORD(wp)); return 0;
        case WM_MOUSEWHEEL:
            Scroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(wp) > 0 ? SB_LINEUP : SB_LINEDOWN);
            return 0;
        case WM_LBUTTONDOWN: SetFocus(Window()); return 0;
        case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
        case WM_KEYDOWN: {
            UINT command = 0;
            switch (wp) {
                case VK_NEXT: command = 3000; break;
                case VK_PRIOR: command = 3001; break;
                case VK_ADD:
                case VK_OEM_PLUS: command = 3002; break;
                case VK_SUBTRACT:
                case VK_OEM_MINUS: command = 3003; break;
                case VK_ESCAPE: command = 3004; break;
                case VK_UP: Scroll(SB_VERT, SB_LINEUP); return 0;
                case VK_DOWN: Scroll(SB_VERT, SB_LINEDOWN); return 0;
                case VK_LEFT: Scroll(SB_HORZ, SB_LINEUP); return 0;
                case VK_RIGHT: Scroll(SB_HORZ, SB_LINEDOWN); return 0;
                default: break;
            }
            if (command) SendMessageW(GetParent(Window()), WM_COMMAND, command, 0);
            return 0;
        }
    }
    return DefWindowProcW(Window(), msg, wp, lp);
}

}  // namespace printing
