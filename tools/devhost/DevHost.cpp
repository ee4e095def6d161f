// Development host: a plain top-level window with one "MRPAD32" control, so
// that a person can see the control work before the program exists.
// Usage: DevHost.exe [file]. The file is read as UTF-8 (or the ANSI code page
// when it is not valid UTF-8) and inserted through the control's messages.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "EditProtocol.h"

namespace {

HWND g_edit = nullptr;
std::wstring g_title = L"Morrowpad development host";

void UpdateTitle(HWND frame) {
    const LRESULT lines = SendMessageW(g_edit, MPM_GETLINECOUNT, 0, 0);
    const LRESULT modified = SendMessageW(g_edit, MPM_ISMODIFIED, 0, 0);
    std::wstring t = g_title + L" - " + std::to_wstring(lines) + L" lines" + (modified ? L" *" : L"");
    SetWindowTextW(frame, t.c_str());
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            if (g_edit) MoveWindow(g_edit, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
            return 0;
        case WM_SETFOCUS:
            if (g_edit) SetFocus(g_edit);
            return 0;
        case WM_NOTIFY:
            if (reinterpret_cast<NMHDR*>(lp)->code == EN_MP_TEXTCHANGED) UpdateTitle(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

std::wstring Decode(const std::vector<char>& bytes) {
    size_t skip = bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
                  static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF
                      ? 3 : 0;
    const char* p = bytes.data() + skip;
    const int n = static_cast<int>(bytes.size() - skip);
    UINT cp = CP_UTF8;
    int units = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, p, n, nullptr, 0);
    if (units == 0 && n > 0) {
        cp = CP_ACP;
        units = MultiByteToWideChar(cp, 0, p, n, nullptr, 0);
    }
    std::wstring text(static_cast<size_t>(units), L'\0');
    if (units) MultiByteToWideChar(cp, 0, p, n, text.data(), units);
    return text;
}

bool LoadInto(HWND edit, const wchar_t* path) {
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    GetFileSizeEx(f, &size);
    std::vector<char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    const bool ok = bytes.empty() || (ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                                      got == bytes.size());
    CloseHandle(f);
    if (!ok) return false;
    const std::wstring text = Decode(bytes);
    TextArg arg = {text.c_str(), static_cast<int>(text.size())};
    Position start = {0, 0};
    SendMessageW(edit, MPM_RECORDING, 0, 0);
    SendMessageW(edit, MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&arg));
    SendMessageW(edit, MPM_RECORDING, 1, 0);
    SendMessageW(edit, MPM_SETCARET, reinterpret_cast<WPARAM>(&start), 0);
    return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    HMODULE editLib = LoadLibraryW(MRPAD_LIBRARY_NAME);
    if (!editLib) {
        MessageBoxW(nullptr, L"Edit.dll could not be loaded.", L"Morrowpad", MB_ICONERROR);
        return 1;
    }
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"MorrowpadDevHost";
    RegisterClassExW(&wc);
    HWND frame = CreateWindowExW(0, wc.lpszClassName, g_title.c_str(), WS_OVERLAPPEDWINDOW,
                                 CW_USEDEFAULT, CW_USEDEFAULT, 900, 700, nullptr, nullptr, instance, nullptr);
    g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, MRPAD_CLASS_NAME, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL,
                             0, 0, 100, 100, frame, reinterpret_cast<HMENU>(1), editLib, nullptr);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv && argc > 1) {
        g_title = argv[1];
        if (!LoadInto(g_edit, argv[1]))
            MessageBoxW(frame, (std::wstring(L"Cannot open ") + argv[1]).c_str(), L"Morrowpad", MB_ICONERROR);
    }
    LocalFree(argv);
    UpdateTitle(frame);
    ShowWindow(frame, show);
    RECT rc;
    GetClientRect(frame, &rc);
    MoveWindow(g_edit, 0, 0, rc.right, rc.bottom, TRUE);
    SetFocus(g_edit);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST &&
            SendMessageW(g_edit, MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(&msg)))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
