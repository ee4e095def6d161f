// Search benchmark, through a real control and the program's search code:
//  - Find Next of a pattern that occurs nowhere in a large file (about 1 GiB,
//    loaded in place), plain and as an expression, beside the time the same
//    loop spends only fetching the lines (two MPM_GETLINE per line), so the
//    cost of the message-per-line design shows;
//  - Replace All of a word that occurs a million times in a 100 MB file, with
//    the memory its undo step takes.
// scripts/bench.sh search_bench generates both files and times grep -c and
// sed on them in the same run; sed's time comes in MORROWPAD_SED_SECONDS and
// is printed beside Replace All's, grep's three in MORROWPAD_GREP_SECONDS
// (expression, plain ignoring case, plain matching case) beside the Find
// Next rows.
//
//   search_bench.exe <big file> <words file>
//   search_bench.exe --generate <words file> <bytes>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "DocumentSearch.h"
#include "EditProtocol.h"
#include "Finder.h"

namespace {

// Lines of about 100 bytes, each with the word "needle" once.
bool Generate(const std::wstring& path, long long bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    static const char words[] =
        "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor ";
    std::string block;
    long long written = 0, line = 0;
    unsigned seed = 1;
    while (written < bytes) {
        block.clear();
        while (block.size() < (1 << 22) && written + (long long)block.size() < bytes) {
            seed = seed * 1103515245u + 12345u;
            char head[24];
            const int n = std::snprintf(head, sizeof head, "%08lld ", line++);
            block.append(head, size_t(n));
            const size_t cut = (seed >> 16) % 40 + 10;
            block.append(words, cut);
            block += " needle ";
            block.append(words + cut, 78 - cut);
            block += "\r\n";
        }
        DWORD w = 0;
        WriteFile(f, block.data(), DWORD(block.size()), &w, nullptr);
        written += w;
    }
    CloseHandle(f);
    return true;
}

HWND Control(HMODULE lib) {
    return CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, lib,
                           nullptr);
}

const char* Name(search::SearchStatus s) {
    switch (s) {
        case search::SearchStatus::kFound: return "found";
        case search::SearchStatus::kNotFound: return "not found";
        case search::SearchStatus::kBadPattern: return "bad pattern";
        case search::SearchStatus::kTooComplex: return "too complex";
        case search::SearchStatus::kStopped: return "stopped";
    }
    return "?";
}

void FindBench(HWND edit, const std::wstring& path) {
    const double t0 = Now();
    if (!SendMessageW(edit, MPM_LOADINPLACE, reinterpret_cast<WPARAM>(path.c_str()),
                      MAKELPARAM(1252, LB_CRLF))) {
        std::fprintf(stderr, "cannot load %ls\n", path.c_str());
        return;
    }
    const int lines = int(SendMessageW(edit, MPM_GETLINECOUNT, 0, 0));
    std::printf("find: %d lines, loaded in place in %.2f s\n", lines, Now() - t0);
    long long bytes = 0;
    if (HANDLE f = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        f != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER size = {};
        GetFileSizeEx(f, &size);
        bytes = size.QuadPart;
        CloseHandle(f);
    }
    // MORROWPAD_SEARCH_QUICK=1: without the rows that read every line one
    // or two messages each (minutes under Wine).
    const bool quick = std::getenv("MORROWPAD_SEARCH_QUICK") != nullptr;

    // A message that does nothing: the floor of one SendMessage.
    double t = Now();
    for (int i = 0; i < 1000000; ++i) SendMessageW(edit, MPM_NOP1045, 0, 0);
    std::printf("  one SendMessage (1045, no work):         %6.0f ns\n", (Now() - t) * 1e3);
    std::vector<wchar_t> buf(256);
    long long units = 0;
    // The lines alone, fetched as the search fetches them (after the
    // searches too: the first pass over a file loaded in place costs more).
    auto fetchAll = [&](const char* when) {
        units = 0;
        const double t0 = Now();
        for (int line = 0; line < lines; ++line) {
            const int n = int(SendMessageW(edit, MPM_GETLINE, WPARAM(line), 0));
            if (buf.size() < size_t(n) + 2) buf.resize(size_t(n) * 2 + 2);
            SendMessageW(edit, MPM_GETLINE, WPARAM(line), reinterpret_cast<LPARAM>(buf.data()));
            units += n + 1;
        }
        const double d = Now() - t0;
        std::printf("  fetch every line, %-6s (2 x 1037):  %6.2f s  (%.0f MB/s of text, %.0f ns per line)\n",
                    when, d, double(units) / d / 1e6, d / lines * 1e9);
        return d;
    };
    if (!quick) fetchAll("first");
    // Many lines per message, as the search reads them now.
    {
        std::vector<wchar_t> block(size_t(1) << 20);
        long long got = 0;
        t = Now();
        for (int line = 0; line < lines;) {
            LinesArg arg = {1 << 16, block.data(), int(block.size()), 0};
            const int n = int(SendMessageW(edit, MPM_GETLINES, WPARAM(line), reinterpret_cast<LPARAM>(&arg)));
            if (n <= 0) {  // a line longer than the block
                SendMessageW(edit, MPM_GETLINE, WPARAM(line), 0);
                ++line;
                continue;
            }
            line += n;
            got += arg.units;
        }
        const double d = Now() - t;
        std::printf(
            "  fetch every line in blocks (1093):      %6.2f s  (%.0f MB/s of text, %.0f ns per line)\n", d,
            double(got) / d / 1e6, d / lines * 1e9);
    }
    // One message per line, without copying.
    t = Now();
    if (!quick)
        for (int line = 0; line < lines; ++line) SendMessageW(edit, MPM_GETLINEPTR, WPARAM(line), 0);
    const double ptr = Now() - t;
    if (!quick)
        std::printf("  every line's pointer (1 x 1038):         %6.2f s  (%.0f ns per line)\n", ptr,
                    ptr / lines * 1e9);
    // The same with the plain finder run on each line where it lies: what
    // the search itself costs beside one message per line.
    if (!quick) {
        search::CNormalFinder f;
        f.SetPattern(L"zebra crossing", 14, false, false);
        int found = 0, n = 0;
        t = Now();
        for (int line = 0; line < lines; ++line) {
            const wchar_t* p =
                reinterpret_cast<const wchar_t*>(SendMessageW(edit, MPM_GETLINEPTR, WPARAM(line), 0));
            if (!p) continue;
            const int len = int(wcslen(p));
            found += f.FindForward(p, len, p, len, &n) != nullptr;
        }
        const double d = Now() - t;
        std::printf(
            "  the same and the plain finder on each:  %6.2f s  (%.0f ns per line for searching, %d found)\n",
            d, (d - ptr) / lines * 1e9, found);
    }

    struct Case {
        const char* what;
        const wchar_t* pattern;
        int options;
    };
    const Case cases[] = {
        {"plain, ignoring case", L"zebra crossing", 0},
        {"plain, matching case", L"zebra crossing", search::FIND_MATCH_CASE},
        {"expression, ignoring case", L"zebra +crossing", search::FIND_REGEX},
    };
    // grep's times of the same run (scripts/bench.sh): the expression, plain
    // ignoring case, plain matching case; each beside its Find Next.
    double grep[3] = {0, 0, 0};
    if (const char* g = std::getenv("MORROWPAD_GREP_SECONDS"))
        std::sscanf(g, "%lf %lf %lf", &grep[2], &grep[0], &grep[1]);
    const char* grepName[3] = {"grep -c -i -F", "grep -c -F", "grep -c -i -E"};
    double plain = 0;
    for (const Case& c : cases) {
        search::CDocumentSearch s;
        Position start = {0, 0};
        SendMessageW(edit, MPM_SETCARET, reinterpret_cast<WPARAM>(&start), 0);
        t = Now();
        const search::SearchOutcome o = s.FindNext(edit, {c.pattern, L"", c.options});
        const double d = Now() - t;
        if (&c == cases) plain = d;
        std::printf("  Find Next, %-26s    %6.2f s  (%s, %.0f MB/s of text)\n", c.what, d, Name(o.status),
                    double(bytes) / d / 1e6);
        const double peer = grep[&c - cases];
        if (peer > 0)
            std::printf("    %-14s same run:               %6.2f s  (Find Next: %.2f times grep)\n",
                        grepName[&c - cases], peer, d / peer);
    }
    if (quick) {
        SendMessageW(edit, MPM_CLOSEDOC, 0, 0);
        return;
    }
    const double fetch = fetchAll("again");
    std::printf("  reading the lines two messages each takes %.1f times the whole plain Find Next\n",
                fetch / plain);
    SendMessageW(edit, MPM_CLOSEDOC, 0, 0);
}

// Replace All in a fresh control, with or without a history; the growth of
// the process's private bytes in *grown.
search::SearchOutcome ReplaceIn(HWND edit, const std::wstring& path, bool history, double* seconds,
                                double* grown) {
    if (!SendMessageW(edit, MPM_LOADFILE, reinterpret_cast<WPARAM>(path.c_str()),
                      MAKELPARAM(1252, LB_CRLF))) {
        std::fprintf(stderr, "cannot load %ls\n", path.c_str());
        return {};
    }
    SendMessageW(edit, MPM_RECORDING, history ? 1 : 0, 0);
    SendMessageW(edit, MPM_EMPTYUNDO, 0, 0);
    const size_t before = PrivateBytes();
    search::CDocumentSearch s;
    const double t = Now();
    const search::SearchOutcome o = s.ReplaceAll(edit, {L"needle", L"pin", search::FIND_MATCH_CASE});
    *seconds = Now() - t;
    *grown = double(PrivateBytes()) - double(before);
    return o;
}

void ReplaceBench(HMODULE lib, const std::wstring& path) {
    // Without a history first, in a control kept alive, so that the second
    // run cannot reuse its memory. The undo step is measured by the bytes
    // its allocations hold (the private bytes a heap keeps after frees say
    // little about one step).
    HWND plain = Control(lib), edit = Control(lib);
    double d0 = 0, g0 = 0, d1 = 0, g1 = 0;
    const search::SearchOutcome o0 = ReplaceIn(plain, path, false, &d0, &g0);
    const search::SearchOutcome o = ReplaceIn(edit, path, true, &d1, &g1);
    const int lines = int(SendMessageW(edit, MPM_GETLINECOUNT, 0, 0));
    std::printf("replace: %d lines, needle -> pin\n", lines);
    std::printf("  Replace All, no history:                %6.2f s  (%d replaced, %.2f us each), +%.1f MiB\n",
                d0, o0.count, d0 / std::max(o0.count, 1) * 1e6, g0 / 1048576);
    std::printf(
        "  Replace All, one undo step:             %6.2f s  (%d replaced, %s, %.2f us each), +%.1f MiB\n", d1,
        o.count, Name(o.status), d1 / std::max(o.count, 1) * 1e6, g1 / 1048576);
    // sed on the same file, timed by scripts/bench.sh in the same run.
    if (const char* sed = std::getenv("MORROWPAD_SED_SECONDS"); sed && std::atof(sed) > 0) {
        const double s = std::atof(sed);
        std::printf(
            "  sed s/needle/pin/g, same run:           %6.2f s  (Replace All: %.1f and %.1f times sed)\n", s,
            d0 / s, d1 / s);
    }
    double t = Now();
    SendMessageW(edit, WM_COMMAND, ECMD_UNDO, 0);
    const int left = int(SendMessageW(edit, MPM_CANUNDO, 0, 0));
    std::printf("  undo of the step:                       %6.2f s  (%s)\n", Now() - t,
                left ? "more to undo: NOT one step" : "one step");
    t = Now();
    SendMessageW(edit, WM_COMMAND, ECMD_REDO, 0);
    std::printf("  redo of the step:                       %6.2f s\n", Now() - t);
    // The step redo made again holds what the first held (the removed
    // words and where); emptying the history gives its memory back.
    const size_t held = PrivateBytes(), busy = HeapBusyBytes();
    SendMessageW(edit, MPM_EMPTYUNDO, 0, 0);
    const double step = double(held) - double(PrivateBytes());
    const double allocated = double(busy) - double(HeapBusyBytes());
    const double target = double(o.count) * (2.0 * 6 + 16);  // twice "needle" in UTF-16 units + 16 bytes each
    std::printf(
        "  the undo step, its allocations:         %.1f MiB, %.2f bytes per replacement (target at most %.1f "
        "MiB, 28 bytes; %+.0f bytes beside it)\n",
        allocated / 1048576, allocated / std::max(o.count, 1), target / 1048576, allocated - target);
    std::printf("  the undo step, memory freed by emptying: %.1f MiB\n", step / 1048576);
    DestroyWindow(edit);
    DestroyWindow(plain);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 3 && std::wstring(argv[1]) == L"--generate")
        return Generate(argv[2], _wtoi64(argv[3])) ? 0 : 1;
    if (argc < 3) {
        std::fprintf(stderr, "usage: search_bench <big file> <words file>\n");
        return 2;
    }
    HMODULE lib = LoadLibraryW(MRPAD_LIBRARY_NAME);
    HWND edit = lib ? Control(lib) : nullptr;
    if (!edit) {
        std::fprintf(stderr, "cannot create the control\n");
        return 1;
    }
    if (std::wstring(argv[1]) != L"-") FindBench(edit, argv[1]);
    DestroyWindow(edit);
    if (std::wstring(argv[2]) != L"-") ReplaceBench(lib, argv[2]);
    return 0;
}
