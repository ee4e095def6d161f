#include "BarsHost.h"

#include <commctrl.h>

#include <algorithm>

#include "ProgramIds.h"

namespace bars_test {

namespace {

constexpr wchar_t kFrameClass[] = L"BarsTestFrame";
constexpr UINT kRecorded[] = {WM_COMMAND,         WM_INITMENU,   WM_INITMENUPOPUP,
                              WM_UNINITMENUPOPUP, WM_MENUSELECT, WM_ENTERMENULOOP,
                              WM_EXITMENULOOP,    WM_SYSCOMMAND, MPF_RELAYOUT};
MenuScript* running = nullptr;

}  // namespace

TestFrame::TestFrame() {
    WNDCLASSEXW wc = {sizeof wc};
    wc.lpfnWndProc = &TestFrame::Procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = kFrameClass;
    RegisterClassExW(&wc);
    hwnd_ = CreateWindowExW(0, kFrameClass, L"Bars", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 60, 60, 640, 480,
                            nullptr, nullptr, GetModuleHandleW(nullptr), this);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    UpdateWindow(hwnd_);
}

TestFrame::~TestFrame() {
    if (hwnd_) DestroyWindow(hwnd_);
    Pump();
}

bool TestFrame::AddCommandBar(HMENU menu) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&icc);
    rebar_ = CreateWindowExW(0, REBARCLASSNAMEW, L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | RBS_VARHEIGHT |
                                 RBS_BANDBORDERS | CCS_NODIVIDER | CCS_TOP,
                             0, 0, 0, 0, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!rebar_ || !bar_.Create(rebar_, hwnd_, menu)) return false;
    const SIZE size = bar_.IdealSize();
    REBARBANDINFOW band = {sizeof band};
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_IDEALSIZE;
    band.fStyle = RBBS_NOGRIPPER;
    band.hwndChild = bar_.Window();
    band.cyMinChild = UINT(size.cy);
    band.cxIdeal = UINT(size.cx);
    SendMessageW(rebar_, RB_INSERTBANDW, WPARAM(-1), reinterpret_cast<LPARAM>(&band));
    Relayout();
    return true;
}

RECT TestFrame::Client() const {
    RECT rc, bar = {};
    GetClientRect(hwnd_, &rc);
    if (rebar_) GetWindowRect(rebar_, &bar);
    rc.top += bar.bottom - bar.top;
    return rc;
}

void TestFrame::Relayout() {
    if (rebar_) SendMessageW(rebar_, WM_SIZE, 0, 0);
    rest_ = dock_.Window() ? dock_.Layout(Client()) : Client();
}

std::vector<WPARAM> TestFrame::Params(UINT msg) const {
    std::vector<WPARAM> params;
    for (const auto& [m, wp] : log_)
        if (m == msg) params.push_back(wp);
    return params;
}

LRESULT CALLBACK TestFrame::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<TestFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    if (std::find(std::begin(kRecorded), std::end(kRecorded), msg) != std::end(kRecorded))
        self->log_.push_back({msg, wp});
    LRESULT result = 0;
    switch (msg) {
        case MPF_RELAYOUT: ++self->relayouts_; [[fallthrough]];
        case WM_SIZE: self->Relayout(); return 0;
        case WM_NOTIFY:
            if (self->bar_.HandleNotify(reinterpret_cast<NMHDR*>(lp), &result)) return result;
            break;
        case WM_NCDESTROY: self->hwnd_ = nullptr; break;
        default: break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

HWND OpenMenuWindow() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

MenuScript::MenuScript(std::vector<Step> steps, DWORD limitMs)
    : steps_(std::move(steps)), deadline_(GetTickCount() + limitMs) {
    running = this;
    timer_ = SetTimer(nullptr, 0, 20, &MenuScript::Tick);
}

MenuScript::~MenuScript() {
    KillTimer(nullptr, timer_);
    running = nullptr;
}

void CALLBACK MenuScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    MenuScript* self = running;
    if (!self) return;
    if (self->next_ < self->steps_.size() && LONG(GetTickCount() - self->deadline_) < 0) {
        if (self->steps_[self->next_]()) ++self->next_;
        return;
    }
    if (self->next_ < self->steps_.size()) self->timedOut_ = true;
    if (OpenMenuWindow()) EndMenu();
}

MenuScript::Step MenuScript::Wait() {
    return [] { return OpenMenuWindow() != nullptr; };
}

// The key pressed and let go of in the open menu (`message` and the
// matching key-up; Alt held for the system keys but Alt itself).
MenuScript::Step MenuScript::Key(UINT vk, UINT message) {
    return [vk, message] {
        HWND menu = OpenMenuWindow();
        if (!menu) return false;
        const LPARAM lp = 1 | LPARAM(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16 |
                          (message == WM_SYSKEYUP && vk != VK_MENU ? LPARAM(1) << 29 : 0);
        if (message == WM_KEYDOWN) PostMessageW(menu, WM_KEYDOWN, vk, lp);
        PostMessageW(menu, message == WM_KEYDOWN ? WM_KEYUP : message, vk, lp | (LPARAM(3) << 30));
        return true;
    };
}

MenuScript::Step MenuScript::End() {
    return [] {
        EndMenu();
        return true;
    };
}

}  // namespace bars_test
