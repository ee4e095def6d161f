#include "MessageSink.h"

#include <algorithm>
#include <atomic>

#include "ProgramIds.h"

namespace shell {
namespace {

// The box being shown on this thread: its owner, and the hook that places
// the box over it when it is activated.
thread_local HWND t_owner = nullptr;
thread_local HHOOK t_hook = nullptr;

LRESULT CALLBACK PlaceBox(int code, WPARAM wp, LPARAM lp) {
    const HHOOK hook = t_hook;
    if (code == HCBT_ACTIVATE && t_owner) {
        const HWND box = reinterpret_cast<HWND>(wp);
        RECT owner = {}, rc = {};
        GetWindowRect(t_owner, &owner);
        GetWindowRect(box, &rc);
        const LONG w = rc.right - rc.left, h = rc.bottom - rc.top;
        LONG x = owner.left + (owner.right - owner.left - w) / 2, y = owner.top + (owner.bottom - owner.top - h) / 2;
        // Kept inside the work area of the owner's monitor.
        MONITORINFO mi = {};
        mi.cbSize = sizeof mi;
        if (GetMonitorInfoW(MonitorFromWindow(t_owner, MONITOR_DEFAULTTONEAREST), &mi)) {
            x = std::max(mi.rcWork.left, std::min(x, mi.rcWork.right - w));
            y = std::max(mi.rcWork.top, std::min(y, mi.rcWork.bottom - h));
        }
        SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        t_owner = nullptr;
        UnhookWindowsHookEx(hook);
        t_hook = nullptr;
        return 0;
    }
    return CallNextHookEx(hook, code, wp, lp);
}

// A message box centred on its owner when the owner is on the desktop.
int SystemBox(HWND owner, const wchar_t* given, const wchar_t* caption, UINT type) {
    const std::wstring shown = ShortenedForBox(given ? given : L"");
    const wchar_t* text = shown.c_str();
    if (owner && IsWindowVisible(owner) && !IsIconic(owner) && !t_hook) {
        t_owner = owner;
        t_hook = SetWindowsHookExW(WH_CBT, &PlaceBox, nullptr, GetCurrentThreadId());
    }
    const int answer = MessageBoxW(owner, text, caption, type);
    if (t_hook) UnhookWindowsHookEx(t_hook);
    t_hook = nullptr;
    t_owner = nullptr;
    return answer;
}

std::atomic<MessageSink> g_sink{&SystemBox};

}  // namespace

std::wstring ShortenedForBox(const std::wstring& text) {
    constexpr size_t kLongestRun = 120, kHead = 60, kTail = 59, kLongestText = 4000;
    std::wstring out;
    out.reserve(std::min(text.size(), kLongestText + 1));
    size_t i = 0;
    while (i < text.size() && out.size() < kLongestText) {
        const size_t end = std::min(text.find_first_of(L" \t\r\n", i), text.size());
        if (end == i) {
            out += text[i++];
            continue;
        }
        if (end - i > kLongestRun)
            out.append(text, i, kHead).append(L"\u2026").append(text, end - kTail, kTail);
        else
            out.append(text, i, end - i);
        i = end;
    }
    if (i < text.size() || out.size() > kLongestText) {
        out.resize(std::min(out.size(), kLongestText));
        out += L"\u2026";
    }
    return out;
}

MessageSink SetMessageSink(MessageSink sink) { return g_sink.exchange(sink ? sink : &SystemBox); }

int ShowMessage(HWND owner, const wchar_t* text, UINT type) {
    return g_sink.load()(owner, text, MORROWPAD_CAPTION, type);
}

int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    return g_sink.load()(owner, text ? text : L"", caption && *caption ? caption : MORROWPAD_CAPTION, type);
}

}  // namespace shell
