// A small helper of the installer test: what a shell script cannot ask
// Wine directly.
//   window_probe open-with <file>           starts the command registered under
//                                           HKCU\Software\Classes\*\shell\Morrowpad with <file>
//   window_probe wait <text> <ms>           waits for a Morrowpad frame whose title holds <text>
//   window_probe close <ms>                 closes the Morrowpad frame and waits for it to go
// Exit code 0 on success, 1 on a failure (with the reason on stderr), 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "ProgramIds.h"

namespace {

std::wstring Title(HWND w) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(w, buffer, 1024);
    return buffer;
}

int OpenWith(const std::wstring& file) {
    wchar_t command[2048] = {};
    DWORD size = sizeof command;
    const LSTATUS s = RegGetValueW(HKEY_CURRENT_USER, L"Software\\Classes\\*\\shell\\Morrowpad\\command",
                                   nullptr, RRF_RT_REG_SZ, nullptr, command, &size);
    if (s != ERROR_SUCCESS) {
        fwprintf(stderr, L"open-with: no registered command (error %ld)\n", long(s));
        return 1;
    }
    std::wstring line = command;
    const size_t at = line.find(L"%1");
    if (at == std::wstring::npos) {
        fwprintf(stderr, L"open-with: the command has no %%1: %ls\n", command);
        return 1;
    }
    line.replace(at, 2, file);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        fwprintf(stderr, L"open-with: cannot start %ls (error %lu)\n", line.c_str(), GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    wprintf(L"%ls\n", line.c_str());
    return 0;
}

int Wait(const std::wstring& text, DWORD ms) {
    const DWORD start = GetTickCount();
    std::wstring last;
    for (;;) {
        if (HWND w = FindWindowW(MORROWPAD_FRAME_CLASS, nullptr)) {
            last = Title(w);
            if (last.find(text) != std::wstring::npos) {
                wprintf(L"%ls\n", last.c_str());
                return 0;
            }
        }
        if (GetTickCount() - start > ms) break;
        Sleep(50);
    }
    fwprintf(stderr, L"wait: no frame titled with \"%ls\" (last title \"%ls\")\n", text.c_str(),
             last.c_str());
    return 1;
}

// One WM_CLOSE, as the close button sends: a frame that asks something
// (a message box) stays, and the wait fails.
int Close(DWORD ms) {
    const DWORD start = GetTickCount();
    HWND closing = nullptr;
    while (HWND w = FindWindowW(MORROWPAD_FRAME_CLASS, nullptr)) {
        if (w != closing) PostMessageW(w, WM_CLOSE, 0, 0);
        closing = w;
        if (GetTickCount() - start > ms) {
            fwprintf(stderr, L"close: the frame is still there\n");
            return 1;
        }
        Sleep(50);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring verb = argc > 1 ? argv[1] : L"";
    if (verb == L"open-with" && argc == 3) return OpenWith(argv[2]);
    if (verb == L"wait" && argc == 4) return Wait(argv[2], wcstoul(argv[3], nullptr, 10));
    if (verb == L"close" && argc == 3) return Close(wcstoul(argv[2], nullptr, 10));
    fwprintf(stderr, L"usage: window_probe open-with <file> | wait <text> <ms> | close <ms>\n");
    return 2;
}
