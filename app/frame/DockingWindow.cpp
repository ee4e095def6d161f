#include "DockingWindow.h"

#include <windowsx.h>

#include <algorithm>

#include "ColorScheme.h"
#include "Dpi.h"
#include "PaneHosts.h"
#include "ProgramIds.h"

namespace shell {

namespace {

constexpr wchar_t kDockClass[] = L"MorrowpadDock";
constexpr UINT kReap = WM_APP + 1;  // to the docking window: drop panes whose window is gone
constexpr size_t kMaxTitle = 127;

std::wstring PaneTitle(HWND window) {
    wchar_t text[kMaxTitle + 1] = {};
    GetWindowTextW(window, text, int(kMaxTitle + 1));
    return text;
}

bool Contains(HWND outer, HWND inner) { return outer && inner && (outer == inner || IsChild(outer, inner)); }

}  // namespace

struct CDockingWindow::Pane {
    HWND window = nullptr;
    HWND previousParent = nullptr;
    LONG_PTR style = 0;
    LONG_PTR exStyle = 0;
    std::wstring title;
    State state = State::Hidden;
    std::unique_ptr<CPaneStrip> strip;
    std::unique_ptr<CFloatFrame> floater;
};

// ---------------------------------------------------------------------------
// The docking window

CDockingWindow::CDockingWindow() = default;

CDockingWindow::~CDockingWindow() {
    for (auto& pane : panes_) DestroyHosts(*pane);
    panes_.clear();
    if (Window()) DestroyWindow(Window());
}

HWND CDockingWindow::Create(HWND frame) {
    if (!frame || !Register(kDockClass)) return nullptr;
    frame_ = frame;
    MakeCaptionFont(dpi::Of(frame));
    TEXTMETRICW tm = {};
    {
        const CWindowDc dc(frame);
        const CSelectScope font(dc.get(), CaptionFont());
        GetTextMetricsW(dc.get(), &tm);
    }
    dpi_ = dpi::Of(frame);
    captionHeight_ = std::max<int>(Px(16), tm.tmHeight + Px(6));
    height_ = Px(kDefaultHeight);
    return CreateAs(kDockClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0, 0, frame);
}

int CDockingWindow::Px(int pixels) const { return dpi::Scale(pixels, dpi_); }

// The system's message font (at the system's resolution) at `dpi`.
void CDockingWindow::MakeCaptionFont(int dpi) {
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof ncm;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) return;
    ncm.lfMessageFont.lfHeight = MulDiv(ncm.lfMessageFont.lfHeight, dpi, dpi::Of(nullptr));
    ncm.lfMessageFont.lfWidth = MulDiv(ncm.lfMessageFont.lfWidth, dpi, dpi::Of(nullptr));
    if (HFONT font = CreateFontIndirectW(&ncm.lfMessageFont)) font_.reset(font);
}

// Moved to a monitor of another resolution: the docked height and the
// caption keep their size on the screen.
void CDockingWindow::OnDpiChanged() {
    const int now = dpi::Of(frame_);
    if (now == dpi_) return;
    height_ = MulDiv(height_, now, dpi_);
    captionHeight_ = MulDiv(captionHeight_, now, dpi_);
    dpi_ = now;
    MakeCaptionFont(now);
    RequestRelayout();
}

CDockingWindow::Pane* CDockingWindow::Find(HWND window) const {
    if (!window) return nullptr;
    for (const auto& pane : panes_)
        if (pane->window == window) return pane.get();
    return nullptr;
}

bool CDockingWindow::IsPane(HWND window) const { return Find(window) != nullptr; }

bool CDockingWindow::IsVisible(HWND window) const {
    const Pane* pane = Find(window);
    return pane && pane->state != State::Hidden;
}

bool CDockingWindow::IsFloating(HWND window) const {
    const Pane* pane = Find(window);
    return pane && pane->state == State::Floating;
}

bool CDockingWindow::IsDocked(HWND window) const {
    const Pane* pane = Find(window);
    return pane && pane->state == State::Docked;
}

std::wstring CDockingWindow::Title(HWND window) const {
    const Pane* pane = Find(window);
    return pane ? pane->title : std::wstring();
}

HWND CDockingWindow::HostOf(HWND window) const {
    const Pane* pane = Find(window);
    if (!pane) return nullptr;
    HWND host = GetParent(pane->window);
    if (pane->strip && host == pane->strip->Window()) return host;
    if (pane->floater && host == pane->floater->Window()) return host;
    return nullptr;
}

HWND CDockingWindow::PaneFor(HWND anyChild) const {
    if (!anyChild) return nullptr;
    for (const auto& pane : panes_) {
        if (Contains(pane->window, anyChild)) return pane->window;
        if (pane->strip && pane->strip->Window() == anyChild) return pane->window;
        if (pane->floater && pane->floater->Window() == anyChild) return pane->window;
    }
    return nullptr;
}

int CDockingWindow::DockedCount() const {
    int n = 0;
    for (const auto& pane : panes_) n += pane->state == State::Docked;
    return n;
}

// A new pane for `window` (its parent and styles remembered), or the
// existing one. Null for a window that cannot be a pane.
CDockingWindow::Pane* CDockingWindow::Adopt(HWND window) {
    Reap();
    if (Pane* pane = Find(window)) return pane;
    if (!window || !IsWindow(window) || !Window() || window == frame_ || Contains(window, frame_) ||
        PaneFor(window))
        return nullptr;
    auto pane = std::make_unique<Pane>();
    pane->window = window;
    pane->style = GetWindowLongPtrW(window, GWL_STYLE);
    pane->exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    pane->previousParent = (pane->style & WS_CHILD) ? GetParent(window) : nullptr;
    pane->title = PaneTitle(window);
    panes_.push_back(std::move(pane));
    return panes_.back().get();
}

// Makes the pane window a visible child of `host`.
void CDockingWindow::MoveInto(Pane& pane, HWND host) {
    if (GetParent(pane.window) != host) {
        LONG_PTR style = GetWindowLongPtrW(pane.window, GWL_STYLE);
        if (!(style & WS_CHILD)) {
            style &= ~LONG_PTR(WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX |
                               WS_MAXIMIZEBOX | WS_MINIMIZE | WS_MAXIMIZE);
            SetWindowLongPtrW(pane.window, GWL_STYLE, style | WS_CHILD);
            const LONG_PTR ex = GetWindowLongPtrW(pane.window, GWL_EXSTYLE) &
                                ~LONG_PTR(WS_EX_APPWINDOW | WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME |
                                          WS_EX_WINDOWEDGE | WS_EX_TOPMOST);
            SetWindowLongPtrW(pane.window, GWL_EXSTYLE, ex);
        }
        SetParent(pane.window, host);
        SetWindowPos(pane.window, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    ShowWindow(pane.window, SW_SHOWNA);
}

void CDockingWindow::FocusFrameIfInside(const Pane& pane) {
    HWND focus = GetFocus();
    if (!focus) return;
    if (Contains(pane.window, focus) || (pane.strip && Contains(pane.strip->Window(), focus)) ||
        (pane.floater && Contains(pane.floater->Window(), focus)))
        SetFocus(frame_);
}

bool CDockingWindow::DockPane(HWND window, const wchar_t* title) {
    Pane* pane = Adopt(window);
    if (!pane) return false;
    if (title) pane->title.assign(title, std::min(wcslen(title), kMaxTitle));
    if (!pane->strip) {
        auto strip = std::make_unique<CPaneStrip>(this, window);
        if (!strip->Create(Window())) return false;
        pane->strip = std::move(strip);
    }
    HWND strip = pane->strip->Window();
    MoveInto(*pane, strip);
    if (pane->floater && pane->floater->Window())
        SetWindowPos(pane->floater->Window(), nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    pane->state = State::Docked;
    InvalidateRect(strip, nullptr, TRUE);
    RequestRelayout();
    return true;
}

bool CDockingWindow::FloatPane(HWND window, const RECT& rc) {
    Pane* pane = Adopt(window);
    if (!pane) return false;
    const bool wasDocked = pane->state == State::Docked;
    if (!pane->floater) {
        auto floater = std::make_unique<CFloatFrame>(this, window);
        if (!floater->Create(frame_, pane->title)) return false;
        pane->floater = std::move(floater);
    }
    HWND host = pane->floater->Window();
    SetWindowTextW(host, pane->title.c_str());
    MoveInto(*pane, host);
    const int width = std::max<int>(Px(kMinFloat), rc.right - rc.left);
    const int height = std::max<int>(Px(kMinFloat), rc.bottom - rc.top);
    SetWindowPos(host, HWND_TOP, rc.left, rc.top, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    pane->floater->Fit();
    if (pane->strip && pane->strip->Window()) ShowWindow(pane->strip->Window(), SW_HIDE);
    pane->state = State::Floating;
    if (wasDocked) RequestRelayout();
    return true;
}

bool CDockingWindow::HidePane(HWND window) {
    Pane* pane = Find(window);
    if (!pane) return false;
    if (pane->state == State::Hidden) return true;
    FocusFrameIfInside(*pane);
    const bool wasDocked = pane->state == State::Docked;
    pane->state = State::Hidden;
    if (HWND host = HostOf(window))
        SetWindowPos(host, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (wasDocked) RequestRelayout();
    return true;
}

bool CDockingWindow::UndockPane(HWND window) {
    Pane* pane = Find(window);
    if (!pane || pane->state != State::Docked || !pane->strip) return false;
    RECT rc;
    GetWindowRect(pane->strip->Window(), &rc);
    return FloatPane(window, rc);
}

bool CDockingWindow::ShowPane(HWND window, int showCommand) {
    Pane* pane = Find(window);
    if (!pane) return false;
    if (showCommand == SW_HIDE) {
        if (pane->state == State::Floating) return HidePane(window);
        if (pane->state == State::Docked) return UndockPane(window);
        return true;
    }
    // The floating window goes around the pane window's current rectangle.
    RECT rc;
    GetWindowRect(window, &rc);
    AdjustWindowRectEx(&rc, CFloatFrame::kStyle, FALSE, CFloatFrame::kExStyle);
    return FloatPane(window, rc);
}

bool CDockingWindow::RemovePane(HWND window) {
    Pane* pane = Find(window);
    if (!pane) return false;
    switch (pane->state) {
        case State::Floating: return HidePane(window);
        case State::Docked: return UndockPane(window);
        case State::Hidden: return DestroyPane(window);
    }
    return false;
}

bool CDockingWindow::DestroyPane(HWND window) {
    Pane* pane = Find(window);
    if (!pane) return false;
    const bool wasDocked = pane->state == State::Docked;
    FocusFrameIfInside(*pane);
    GiveBack(*pane);
    DestroyHosts(*pane);
    panes_.erase(std::find_if(panes_.begin(), panes_.end(), [&](const auto& p) { return p.get() == pane; }));
    if (wasDocked) RequestRelayout();
    return true;
}

// The window goes back to its previous parent, hidden, with its own styles.
void CDockingWindow::GiveBack(Pane& pane) {
    if (!IsWindow(pane.window)) return;
    ShowWindow(pane.window, SW_HIDE);
    const LONG_PTR style = pane.style & ~LONG_PTR(WS_VISIBLE);
    HWND parent = pane.previousParent && IsWindow(pane.previousParent) ? pane.previousParent : nullptr;
    if (style & WS_CHILD) {
        SetWindowLongPtrW(pane.window, GWL_STYLE, style);
        SetParent(pane.window, parent);
    } else {
        SetParent(pane.window, nullptr);
        SetWindowLongPtrW(pane.window, GWL_STYLE, style);
    }
    SetWindowLongPtrW(pane.window, GWL_EXSTYLE, pane.exStyle);
    SetWindowPos(pane.window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void CDockingWindow::DestroyHosts(Pane& pane) {
    pane.strip.reset();  // each destroys its window
    pane.floater.reset();
}

// A pane window is being destroyed by its owner: its pane goes once the
// destruction is over.
void CDockingWindow::PaneWindowGone(HWND window) {
    if (Window()) PostMessageW(Window(), kReap, 0, reinterpret_cast<LPARAM>(window));
}

void CDockingWindow::Reap() {
    bool docked = false;
    for (auto it = panes_.begin(); it != panes_.end();) {
        Pane& pane = **it;
        // Alive while the window exists and is still the child of its host.
        if (IsWindow(pane.window) && HostOf(pane.window)) {
            ++it;
            continue;
        }
        docked |= pane.state == State::Docked;
        DestroyHosts(pane);
        it = panes_.erase(it);
    }
    if (docked) RequestRelayout();
}

// ---------------------------------------------------------------------------
// Layout

int CDockingWindow::ClampHeight(int height) const {
    const int minimum = Px(kSplitter) + DockedCount() * (captionHeight_ + Px(8));
    const int available = int(client_.bottom - client_.top);
    const int maximum = std::max(minimum, available - Px(kMinRest));
    return std::clamp(height, minimum, maximum);
}

void CDockingWindow::SetDockedHeight(int height) {
    height_ = std::max(height, Px(kSplitter));
    RequestRelayout();
}

RECT CDockingWindow::Layout(const RECT& client) {
    client_ = client;
    RECT rest = client;
    if (!Window()) return rest;
    if (DockedCount() == 0) {
        SetWindowPos(Window(), nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return rest;
    }
    const int available = std::max<int>(0, client.bottom - client.top);
    const int height = std::min(ClampHeight(height_), available);
    SetWindowPos(Window(), nullptr, client.left, client.bottom - height, client.right - client.left, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Arrange();
    rest.bottom -= height;
    return rest;
}

// Stacks the docked panes below the splitter, sharing the height equally.
void CDockingWindow::Arrange() {
    RECT rc;
    GetClientRect(Window(), &rc);
    const int count = DockedCount();
    if (count == 0) return;
    const int splitter = Px(kSplitter);
    const int room = std::max<int>(0, rc.bottom - splitter);
    int y = splitter;
    int k = 0;
    for (const auto& pane : panes_) {
        if (!pane->strip || !pane->strip->Window()) continue;
        HWND strip = pane->strip->Window();
        if (pane->state != State::Docked) {
            ShowWindow(strip, SW_HIDE);
            continue;
        }
        ++k;
        const int height = k == count ? splitter + room - y : room / count;
        SetWindowPos(strip, nullptr, 0, y, rc.right, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        pane->strip->Fit();
        y += height;
    }
    InvalidateRect(Window(), nullptr, FALSE);
}

void CDockingWindow::RequestRelayout() {
    if (frame_ && IsWindow(frame_)) SendMessageW(frame_, MPF_RELAYOUT, 0, 0);
}

// ---------------------------------------------------------------------------
// Messages: the splitter bar

LRESULT CDockingWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE: Arrange(); return 0;
        case WM_DPICHANGED_AFTERPARENT: OnDpiChanged(); return 0;
        case WM_PAINT: OnPaint(); return 0;
        case WM_PRINTCLIENT: Paint(reinterpret_cast<HDC>(wp)); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == Window()) {
                POINT pt;
                GetCursorPos(&pt);
                ScreenToClient(Window(), &pt);
                if (pt.y < Px(kSplitter)) {
                    SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
                    return TRUE;
                }
            }
            break;
        case WM_LBUTTONDOWN: OnButtonDown(GET_Y_LPARAM(lp)); return 0;
        case WM_MOUSEMOVE: OnMouseMove(GET_Y_LPARAM(lp)); return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == Window()) ReleaseCapture();
            EndDrag();
            return 0;
        case WM_CAPTURECHANGED: EndDrag(); return 0;
        case kReap: Reap(); return 0;
        case WM_DESTROY:
            // The floating windows belong to the frame but not past this.
            for (auto& pane : panes_) pane->floater.reset();
            return 0;
        default: break;
    }
    return DefWindowProcW(Window(), msg, wp, lp);
}

void CDockingWindow::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Window(), &ps);
    Paint(dc);
    EndPaint(Window(), &ps);
}

// The split bar in the colour scheme's frame colours.
void CDockingWindow::Paint(HDC dc) {
    RECT rc;
    GetClientRect(Window(), &rc);
    const int splitter = Px(kSplitter);
    auto fill = [dc](const RECT& r, scheme::Chrome part) {
        SetBkColor(dc, scheme::ChromeColor(part));
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    };
    fill({0, 0, rc.right, splitter}, scheme::Chrome::Face);
    fill({0, 0, rc.right, 1}, scheme::Chrome::Highlight);
    fill({0, splitter - 1, rc.right, splitter}, scheme::Chrome::Shadow);
    if (DockedCount() == 0) fill({0, splitter, rc.right, rc.bottom}, scheme::Chrome::Face);
}

void CDockingWindow::OnButtonDown(int y) {
    if (y >= Px(kSplitter)) return;
    POINT pt = {0, y};
    ClientToScreen(Window(), &pt);
    dragging_ = true;
    dragStartY_ = pt.y;
    RECT rc;
    GetWindowRect(Window(), &rc);
    dragStartHeight_ = rc.bottom - rc.top;
    SetCapture(Window());
}

// Dragging up makes the docked area taller; the frame lays out at once.
void CDockingWindow::OnMouseMove(int y) {
    if (!dragging_) return;
    POINT pt = {0, y};
    ClientToScreen(Window(), &pt);
    const int height = ClampHeight(dragStartHeight_ + (dragStartY_ - pt.y));
    if (height == height_) return;
    height_ = height;
    RequestRelayout();
}

void CDockingWindow::EndDrag() { dragging_ = false; }

// ---------------------------------------------------------------------------
// Keyboard

// Only panes that hold controls navigate: a pane that is one control (the
// output window) keeps its keys for the key tables and its own
// accelerators further down the frame's loop.
bool CDockingWindow::PreTranslate(MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_CHAR)) return false;
    HWND focus = GetFocus();
    HWND window = PaneFor(focus);
    if (!window || !IsVisible(window) || focus == window || !IsChild(window, focus)) return false;
    const WPARAM key = msg->wParam;
    bool navigation = false;
    bool arrow = false;
    if (msg->message == WM_KEYDOWN) {
        arrow = key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
        navigation = arrow || key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE;
    } else {
        navigation = key == L'\t' || key == L'\r' || key == 0x1B;
    }
    if (!navigation) return false;
    const LRESULT code = SendMessageW(focus, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(msg));
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
    if ((key == VK_TAB || key == L'\t') && (code & DLGC_WANTTAB)) return false;
    if (arrow && (code & DLGC_WANTARROWS)) return false;
    if (msg->message == WM_CHAR && (code & DLGC_WANTCHARS) && key != L'\t') return false;
    return IsDialogMessageW(window, msg) != FALSE;
}

}  // namespace shell
