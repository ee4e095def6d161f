// View benchmark: full repaints of a 1000 × 700 window over a 10-million-line
// document (loaded from a file), over one wrapped 10 MB line and at both ends
// of one unwrapped 1M-unit line, and turning wrapping on for a 100,000-line
// document, through the control's messages.
//
//   scripts/bench.sh view_bench
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "EditProtocol.h"

namespace {

HMODULE g_lib;
HWND g_parent;

HWND MakeControl(HFONT font) {
    HWND h = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 1000, 700,
                             g_parent, nullptr, g_lib, nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
    return h;
}

// Median time of a full repaint into a 1000 × 700 bitmap, as WM_PAINT does it.
double Repaint(HWND h, int reps) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 1000, 700);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    std::vector<double> t;
    for (int i = 0; i < reps; ++i) {
        const double t0 = Now();
        SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        GdiFlush();
        t.push_back(Now() - t0);
    }
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

std::wstring TempFile(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

}  // namespace

int main() {
    g_lib = LoadLibraryW(MRPAD_LIBRARY_NAME);
    if (!g_lib) return 1;
    g_parent = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP, 0, 0, 1000, 700, nullptr, nullptr, nullptr, nullptr);
    HFONT font = CreateFontW(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY,
                             FIXED_PITCH, L"Courier New");

    // Ten million lines in a file, loaded in place.
    const std::wstring path = TempFile(L"view_bench_10m.txt");
    {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        std::string block;
        char line[96];
        for (int i = 0; i < 10000000; ++i) {
            block.append(line, size_t(std::snprintf(line, sizeof line,
                                                    "%d\tint value_%d = compute(%d, \"text\");  // note\r\n", i,
                                                    i % 977, i % 13)));
            if (block.size() > (1 << 22)) {
                DWORD w;
                WriteFile(f, block.data(), DWORD(block.size()), &w, nullptr);
                block.clear();
            }
        }
        DWORD w;
        WriteFile(f, block.data(), DWORD(block.size()), &w, nullptr);
        CloseHandle(f);
    }
    HWND big = MakeControl(font);
    double t0 = Now();
    SendMessageW(big, MPM_LOADINPLACE, reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(1252, LB_CRLF));
    std::printf("view_bench: %ld lines loaded in %.3f s\n", long(SendMessageW(big, MPM_GETLINECOUNT, 0, 0)),
                Now() - t0);
    std::printf("  full repaint 1000x700, 10M lines, top:    %6.2f ms\n", Repaint(big, 30) * 1e3);
    SendMessageW(big, MPM_FIRSTVISIBLE, 5000000, 0);
    std::printf("  full repaint 1000x700, 10M lines, middle: %6.2f ms\n", Repaint(big, 30) * 1e3);
    SendMessageW(big, MPM_FIRSTVISIBLE, 9999980, 0);
    std::printf("  full repaint 1000x700, 10M lines, end:    %6.2f ms\n", Repaint(big, 30) * 1e3);
    DestroyWindow(big);
    DeleteFileW(path.c_str());

    // One line of ten million units, wrapped.
    HWND one = MakeControl(font);
    std::wstring text;
    text.reserve(10000000);
    while (text.size() < 10000000) text += L"lorem ipsum dolor sit amet, consectetur\tadipiscing elit; ";
    text.resize(10000000);
    TextArg arg = {text.c_str(), int(text.size())};
    SendMessageW(one, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    t0 = Now();
    SendMessageW(one, MPM_TOGGLEWRAP, 0, 0);
    std::printf("  wrap one 10M-unit line:                    %6.1f ms (%ld rows)\n", (Now() - t0) * 1e3,
                long(SendMessageW(one, MPM_VISIBLEROWS, 0, 0)));
    Position start = {0, 0};
    SendMessageW(one, MPM_SETCARET, reinterpret_cast<WPARAM>(&start), 0);
    std::printf("  full repaint 1000x700, wrapped 10 MB line: %6.2f ms\n", Repaint(one, 30) * 1e3);
    DestroyWindow(one);

    // One line of a million units, not wrapped: a paint at its start and at
    // its end (scrolled right) should cost about the same. Beside them, the
    // floor: the visible text drawn with one ExtTextOutW.
    HWND wide = MakeControl(font);
    text.assign(text.begin(), text.begin() + 1000000);
    arg = {text.c_str(), int(text.size())};
    SendMessageW(wide, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    SendMessageW(wide, MPM_SETCARET, reinterpret_cast<WPARAM>(&start), 1);
    const double atStart = Repaint(wide, 15);
    Position end = {0, 1000000};
    SendMessageW(wide, MPM_SETCARET, reinterpret_cast<WPARAM>(&end), 1);
    const double atEnd = Repaint(wide, 15);
    double floor = 0;
    {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, 1000, 700);
        ReleaseDC(nullptr, screen);
        HGDIOBJ old = SelectObject(dc, bmp);
        HGDIOBJ oldFont = SelectObject(dc, font);
        std::vector<double> t;
        for (int i = 0; i < 15; ++i) {
            const double t1 = Now();
            ExtTextOutW(dc, 0, 0, 0, nullptr, text.c_str() + 900000, 140, nullptr);
            GdiFlush();
            t.push_back(Now() - t1);
        }
        std::sort(t.begin(), t.end());
        floor = t[t.size() / 2];
        SelectObject(dc, oldFont);
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    std::printf("  full repaint, 1M-unit line, at its start:  %6.2f ms\n", atStart * 1e3);
    std::printf("  full repaint, 1M-unit line, at its end:    %6.2f ms (%.2fx the start)\n", atEnd * 1e3,
                atEnd / atStart);
    std::printf("  GDI floor, one ExtTextOutW of a row:       %6.2f ms\n", floor * 1e3);
    DestroyWindow(wide);

    // Turning wrapping on for 100,000 lines.
    HWND lines = MakeControl(font);
    text.clear();
    for (int i = 0; i < 100000; ++i)
        text += L"    if (value_" + std::to_wstring(i) + L" > limit) { return compute(value, \"a longer string\"); }\r\n";
    arg = {text.c_str(), int(text.size())};
    SendMessageW(lines, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    t0 = Now();
    SendMessageW(lines, MPM_TOGGLEWRAP, 0, 0);
    const double wrapOn = Now() - t0;
    std::printf("  wrap on, 100,000 lines:                    %6.1f ms (%ld rows)\n", wrapOn * 1e3,
                long(SendMessageW(lines, MPM_VISIBLEROWS, 0, 0)));
    t0 = Now();
    SendMessageW(lines, MPM_TOGGLEWRAP, 0, 0);
    std::printf("  wrap off, 100,000 lines:                   %6.1f ms\n", (Now() - t0) * 1e3);
    DestroyWindow(lines);
    DeleteObject(font);
    return 0;
}
