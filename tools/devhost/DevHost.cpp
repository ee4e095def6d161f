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

// UTF-8 when the start of the file is valid UTF-8, else the ANSI code page.
int GuessCodePage(const wchar_t* path) {
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 65001;
    std::vector<char> head(65536);
    DWORD got = 0;
    ReadFile(f, head.data(), DWORD(head.size()), &got, nullptr);
    CloseHandle(f);
    int n = int(got);
    // Do not judge a character cut at the end of the sample.
    while (n > 0 && n > int(got) - 4 && (static_cast<unsigned char>(head[size_t(n - 1)]) & 0xC0) == 0x80) --n;
    if (n > 0 && (static_cast<unsigned char>(head[size_t(n - 1)]) & 0xC0) == 0xC0) --n;
    if (n == 0) return 65001;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, head.data(), n, nullptr, 0) ? 65001 : 0;
}

bool LoadInto(HWND edit, const wchar_t* path) {
    const int cp = GuessCodePage(path);
    return SendMessageW(edit, MPM_LOADFILE, reinterpret_cast<WPARAM>(path), MAKELPARAM(cp, LB_CRLF)) != 0;
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
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontW(-MulDiv(11, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                             DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, FIXED_PITCH, L"Courier New");
    ReleaseDC(nullptr, screen);
    SendMessageW(g_edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
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
        // Development switches: F5 wrapping, F6 ruler, F7 whitespace marks, F8 line numbers.
        if (msg.message == WM_KEYDOWN && msg.wParam >= VK_F5 && msg.wParam <= VK_F8) {
            if (msg.wParam == VK_F5) {
                SendMessageW(g_edit, MPM_TOGGLEWRAP, 0, 0);
            } else {
                const int part = msg.wParam == VK_F6 ? 1 : msg.wParam == VK_F7 ? 2 : 0;
                const LRESULT on = SendMessageW(g_edit, MPM_VIEWPART, WPARAM(part), -1);
                SendMessageW(g_edit, MPM_VIEWPART, WPARAM(part | (on ? 0 : 256)), 1);
            }
            continue;
        }
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST &&
            SendMessageW(g_edit, MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(&msg)))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
