// The smallest useful Win32 program, the peer that startup_bench measures
// Morrowpad against: one registered class, one visible top-level window
// that paints its client area (a fill and a line of text), a message loop,
// and WM_CLOSE ending it. Nothing else is loaded or created.
#include <windows.h>

#include "MinimalWindow.h"

namespace {

LRESULT CALLBACK Procedure(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w, &ps);
            RECT r;
            GetClientRect(w, &r);
            FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
            DrawTextW(dc, L"Minimal window", -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
            EndPaint(w, &ps);
            return 0;
        }
        case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = MINIMAL_WINDOW_CLASS;
    if (!RegisterClassExW(&wc)) return 1;
    HWND w = CreateWindowExW(WS_EX_APPWINDOW, MINIMAL_WINDOW_CLASS, L"Minimal window", WS_OVERLAPPEDWINDOW,
                             CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
    if (!w) return 1;
    ShowWindow(w, show);
    UpdateWindow(w);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return 0;
}
