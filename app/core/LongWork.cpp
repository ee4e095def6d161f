#include "LongWork.h"

#include <algorithm>

#include "Resources.h"

namespace shell {
namespace {

DWORD g_delay = 500;
constexpr DWORD kShowEveryMs = 100;

}  // namespace

DWORD CLongWork::SetDelay(DWORD ms) {
    const DWORD old = g_delay;
    g_delay = ms;
    return old;
}

bool EscapePressedForProgram() {
    MSG m;
    if (PeekMessageW(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && m.wParam == VK_ESCAPE) {
        PeekMessageW(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
        return true;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &process);
    return process == GetCurrentProcessId() && (GetAsyncKeyState(VK_ESCAPE) & 0x8000);
}

CLongWork::CLongWork(std::function<void(const std::wstring&)> status, UINT progressText)
    : status_(std::move(status)), text_(progressText), start_(GetTickCount()) {}

CLongWork::~CLongWork() {
    // What follows the work (its result) takes the pane; an empty text
    // when nothing follows is the caller's to leave or replace.
    if (shown_ && status_) status_(L"");
}

bool CLongWork::Tick(int64_t done, int64_t total) {
    if (stopped_) return false;
    if ((calls_++ & 63) != 0 && g_delay > 0) return true;
    const DWORD now = GetTickCount();
    if (now - start_ < g_delay) return true;
    if (!shown_ || now - lastShown_ >= kShowEveryMs || g_delay == 0) {
        Show(done, total);
        lastShown_ = now;
    }
    if (EscapePressedForProgram()) stopped_ = true;
    return !stopped_;
}

void CLongWork::Show(int64_t done, int64_t total) {
    shown_ = true;
    const int percent = total > 0 ? int(std::min<int64_t>(done * 100 / total, 100)) : 0;
    if (percent != lastPercent_ && status_) {
        lastPercent_ = percent;
        status_(FormatLanguageString(text_, {std::to_wstring(percent)}));
    }
    // The windows paint what changed (the status bar, a window uncovered);
    // input waits for the work's end.
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&m);
}

}  // namespace shell
