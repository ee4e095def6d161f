// What a test reads back from the windows it drives: the lines of an edit
// control and a status bar's text, through their messages; and a message
// loop that runs until a condition holds.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "EditProtocol.h"

namespace testing_support {

// Line n of an edit control without its line end; "" past the end.
inline std::wstring LineOf(HWND control, int n) {
    const LRESULT length = SendMessageW(control, MPM_GETLINE, WPARAM(n), 0);
    if (length <= 0) return std::wstring();
    std::wstring text(size_t(length) + 1, L'\0');
    SendMessageW(control, MPM_GETLINE, WPARAM(n), reinterpret_cast<LPARAM>(text.data()));
    text.resize(size_t(length));
    return text;
}

// Every line of the control; none without a control.
inline std::vector<std::wstring> LinesOf(HWND control) {
    std::vector<std::wstring> lines;
    const int count = control ? int(SendMessageW(control, MPM_GETLINECOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) lines.push_back(LineOf(control, i));
    return lines;
}

// The lines joined by L'\n'.
inline std::wstring TextOf(HWND control) {
    std::wstring all;
    const std::vector<std::wstring> lines = LinesOf(control);
    for (size_t i = 0; i < lines.size(); ++i) all += (i ? L"\n" : L"") + lines[i];
    return all;
}

// The text of one part of a status bar.
inline std::wstring StatusTextOf(HWND bar, int part = 0) {
    const int n = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, WPARAM(part), 0));
    std::wstring text(size_t(n) + 1, L'\0');
    SendMessageW(bar, SB_GETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(text.data()));
    text.resize(size_t(n));
    return text;
}

// Handles the thread's messages (a WM_QUIT is dropped) until `done` holds or
// `milliseconds` have passed; what `done` says last.
inline bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
    }
    return true;
}

}  // namespace testing_support
