// Input benchmark: a typed character in a 1-million-line document, from
// WM_CHAR to the finished repaint, and Ctrl+End and back in a 10-million-line
// document, through the control's messages and key map.
//
//   scripts/bench.sh input_bench
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "EditProtocol.h"

namespace {

void Key(HWND h, int vk, bool ctrl) {
    BYTE state[256] = {};
    if (ctrl) state[VK_CONTROL] = 0x80;
    state[vk] = 0x80;
    SetKeyboardState(state);
    MSG msg = {h, WM_KEYDOWN, WPARAM(vk), 1, 0, {0, 0}};
    SendMessageW(h, MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(&msg));
}

}  // namespace

int main() {
    HMODULE lib = LoadLibraryW(MRPAD_LIBRARY_NAME);
    if (!lib) return 1;
    HWND frame = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 700, nullptr, nullptr,
                                 nullptr, nullptr);
    HFONT font = CreateFontW(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY,
                             FIXED_PITCH, L"Courier New");
    auto make = [&] {
        HWND h = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 1000, 700,
                                 frame, nullptr, lib, nullptr);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
        SetFocus(h);
        return h;
    };

    HWND edit = make();
    std::wstring text;
    for (int i = 0; i < 1000000; ++i) text += L"    value = compute(value, " + std::to_wstring(i) + L");\r\n";
    TextArg arg = {text.c_str(), int(text.size())};
    SendMessageW(edit, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    text.clear();
    Position mid = {500000, 10};
    SendMessageW(edit, MPM_SETCARET, reinterpret_cast<WPARAM>(&mid), 1);
    UpdateWindow(edit);
    std::vector<double> typed, handling;
    for (int i = 0; i < 400; ++i) {
        const double t0 = Now();
        SendMessageW(edit, WM_CHAR, i % 2 ? L'b' : L'a', 1);
        const double t1 = Now();
        UpdateWindow(edit);
        typed.push_back(Now() - t0);
        handling.push_back(t1 - t0);
    }
    std::printf("input_bench: 1,000,000 lines\n");
    std::printf("  typed character to finished repaint: median %.3f ms, max %.3f ms (400 characters)\n",
                Median(typed) * 1e3, *std::max_element(typed.begin(), typed.end()) * 1e3);
    std::vector<double> backspace;
    for (int i = 0; i < 200; ++i) {
        const double t0 = Now();
        Key(edit, VK_BACK, false);
        UpdateWindow(edit);
        backspace.push_back(Now() - t0);
    }
    std::printf("  of which the edit before painting:    median %.3f ms\n", Median(handling) * 1e3);
    std::printf("  Backspace to finished repaint:       median %.3f ms\n", Median(backspace) * 1e3);
    DestroyWindow(edit);

    // Ten million lines.
    edit = make();
    for (int i = 0; i < 10000000; ++i) text += L"line " + std::to_wstring(i) + L"\n";
    arg = {text.c_str(), int(text.size())};
    SendMessageW(edit, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    text.clear();
    text.shrink_to_fit();
    Key(edit, VK_HOME, true);
    UpdateWindow(edit);
    std::vector<double> ends;
    for (int i = 0; i < 20; ++i) {
        const double t0 = Now();
        Key(edit, VK_END, true);
        UpdateWindow(edit);
        Key(edit, VK_HOME, true);
        UpdateWindow(edit);
        ends.push_back(Now() - t0);
    }
    std::printf("input_bench: 10,000,000 lines\n");
    std::printf("  Ctrl+End and back with repaints:     median %.2f ms, max %.2f ms\n", Median(ends) * 1e3,
                *std::max_element(ends.begin(), ends.end()) * 1e3);
    SendMessageW(edit, MPM_TOGGLEWRAP, 0, 0);
    ends.clear();
    for (int i = 0; i < 10; ++i) {
        const double t0 = Now();
        Key(edit, VK_END, true);
        UpdateWindow(edit);
        Key(edit, VK_HOME, true);
        UpdateWindow(edit);
        ends.push_back(Now() - t0);
    }
    std::printf("  the same with wrapping on:           median %.2f ms\n", Median(ends) * 1e3);
    DestroyWindow(edit);
    DeleteObject(font);
    return 0;
}
