// Line-store benchmark: builds a document of one million lines through the
// control's messages, edits near its start, middle and end, undoes it all,
// and prints the time per edit and the memory per line.
//
//   scripts/bench.sh edit_bench [lines]
#include <windows.h>


#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "EditProtocol.h"

namespace {

HWND g_edit;

LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(g_edit, m, w, l); }

void InsertAt(Position p, const std::wstring& s) {
    TextArg a = {s.c_str(), int(s.size())};
    Send(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&p), reinterpret_cast<LPARAM>(&a));
}

void DeleteRange(Position a, Position b) {
    Send(MPM_DELETERANGE, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
}

// Median and worst of `reps` repetitions of an edit pair (type a character,
// delete it again) at one place.
void EditsAt(const char* where, int line, int reps) {
    std::vector<double> t;
    t.reserve(size_t(reps));
    for (int i = 0; i < reps; ++i) {
        const double t0 = Now();
        InsertAt({line, 3}, L"x");
        DeleteRange({line, 3}, {line, 4});
        t.push_back((Now() - t0) / 2);
    }
    std::sort(t.begin(), t.end());
    std::printf("  edit near the %-6s (line %8d): median %7.2f us, max %8.2f us over %d edits\n", where, line,
                t[t.size() / 2] * 1e6, t.back() * 1e6, 2 * reps);
}

}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    HMODULE lib = LoadLibraryW(MRPAD_LIBRARY_NAME);
    if (!lib) {
        std::fprintf(stderr, "cannot load Edit.dll\n");
        return 1;
    }
    HWND parent = CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                                  nullptr, nullptr);
    g_edit = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_CHILD, 0, 0, 800, 600, parent, nullptr, lib, nullptr);
    if (!g_edit) {
        std::fprintf(stderr, "cannot create the control\n");
        return 1;
    }

    // One block of text, inserted by one message: the way a paste arrives.
    std::wstring text;
    text.reserve(size_t(lines) * 40);
    for (int i = 0; i < lines; ++i) {
        text += L"line ";
        text += std::to_wstring(i);
        text += L": the quick brown fox jumps\r\n";
    }
    const size_t before = PrivateBytes();
    double t0 = Now();
    InsertAt({0, 0}, text);
    const double build = Now() - t0;
    const size_t after = PrivateBytes();
    // What the edits below add: the inverse commands and grown line buffers.
    const LRESULT count = Send(MPM_GETLINECOUNT);
    std::printf("edit_bench: %ld lines, %.1f MB of text\n", long(count), text.size() * 2 / 1e6);
    std::printf("  insert as one block: %.3f s (%.0f ns per line)\n", build, build / double(count) * 1e9);
    const double perLine = double(after - before) / double(count);
    const double textUnits = double(text.size()) / double(count) - 2;  // without CR LF
    std::printf("  memory: %.1f bytes per line for %.1f units of text per line (UTF-16 text %.1f bytes,\n"
                "          line record 24 bytes, the rest pool rounding and the line gap)\n",
                perLine, textUnits, 2 * (textUnits + 1));
    text.clear();
    text.shrink_to_fit();

    // The cost of a message that does nothing: the floor under every edit.
    {
        const int n = 20000;
        const double t1 = Now();
        for (int i = 0; i < n; ++i) Send(MPM_NOP1045);
        std::printf("  message round trip (no-op 1045): %.2f us\n", (Now() - t1) / n * 1e6);
        Position p = {lines / 2, 3};
        const double t2 = Now();
        for (int i = 0; i < n; ++i) Send(MPM_SETCARET, reinterpret_cast<WPARAM>(&p), 0);
        std::printf("  set caret to where it is (1069): %.2f us\n", (Now() - t2) / n * 1e6);
        const double t3 = Now();
        for (int i = 0; i < n; ++i) InvalidateRect(g_edit, nullptr, FALSE);
        std::printf("  InvalidateRect alone: %.2f us\n", (Now() - t3) / n * 1e6);
    }

    const int reps = 2000;
    EditsAt("start", 1, reps);
    EditsAt("middle", lines / 2, reps);
    EditsAt("end", lines - 2, reps);
    // Splitting and joining lines moves the line gap: the first split at a new
    // place costs a block move, repeats cost microseconds.
    std::vector<double> splits;
    for (int line : {10, lines / 2, lines - 10}) {
        for (int i = 0; i < 200; ++i) {
            t0 = Now();
            InsertAt({line, 2}, L"\r\n");
            DeleteRange({line, 2}, {line + 1, 0});
            splits.push_back((Now() - t0) / 2);
        }
    }
    std::sort(splits.begin(), splits.end());
    std::printf("  line split/join at start, middle, end: median %.2f us, max %.2f us over %zu edits\n",
                splits[splits.size() / 2] * 1e6, splits.back() * 1e6, 2 * splits.size());

    t0 = Now();
    int undone = 0;
    while (Send(MPM_CANUNDO)) {
        Send(WM_COMMAND, ECMD_UNDO);
        ++undone;
    }
    const double undoAll = Now() - t0;
    std::printf("  undo everything: %d steps in %.3f s; lines left %ld\n", undone, undoAll,
                long(Send(MPM_GETLINECOUNT)));
    DestroyWindow(parent);
    return 0;
}
