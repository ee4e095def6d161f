// Find in files over a folder tree: a word and a regular expression, each
// with code pages detected per file (as the dialog's default does) and with
// UTF-8 given, into a sink that only counts what reaches the output window.
// Beside them the floor: a bare loop that lists, opens, reads and closes the
// same files with the same calls and searches nothing. Each run times every
// case once, so that the load of the machine weighs on all alike; the medians
// (and the best times) are printed with ours / floor and, when scripts/bench.sh passes grep's
// times of the same run (MORROWPAD_GREP_WORD_SECONDS and
// MORROWPAD_GREP_EXPR_SECONDS), ours / grep.
// scripts/bench.sh grep_bench prepares a copy of the system's C headers and
// times grep and rg over the same tree in the same run.
//
//   grep_bench.exe <folder> [word] [expression] [runs] [dump folder]
//
// With a dump folder, each case's output of each run goes to a file of its
// own there (UTF-16LE, "<case>-<run>.txt"), to compare runs and builds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "BenchUtil.h"
#include "FindInFiles.h"

namespace {

struct Sink : GrepUtil::IGrepCallBack {
    int files = 0;
    void Progress(const wchar_t*, int) override { ++files; }
    bool KeepGoing() override { return true; }
    void Finished() override {}
};

struct Case {
    Case(const char* l, GrepUtil::GrepOptions o, int r = 0, double g = 0)
        : label(l), options(std::move(o)), readers(r), grep(g) {}
    const char* label;
    GrepUtil::GrepOptions options;
    int readers;          // 0: the searcher's own number
    double grep;          // grep's seconds for the same search, 0: not known
    bool toFile = false;  // into a result file (CFileGreper) rather than the output window
    std::vector<double> times;
    int total = 0, files = 0, skipped = 0;
    size_t chars = 0, appends = 0;
};

// The result file of the search dialog's default (a temporary UTF-16 file).
void RunFileCase(const std::wstring& folder, Case& c) {
    Sink sink;
    const double t0 = Now();
    GrepUtil::CFileGreper greper;
    greper.Configure(c.options);
    c.total = greper.Run(folder, &sink);
    c.times.push_back(Now() - t0);
    c.files = sink.files;
    c.skipped = greper.Stats().skipped;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExW(greper.Path().c_str(), GetFileExInfoStandard, &data))
        c.chars = data.nFileSizeLow / 2;
    c.appends = 0;
}

void RunCase(const std::wstring& folder, Case& c, const std::wstring& dump, int run) {
    if (c.toFile) {
        RunFileCase(folder, c);
        return;
    }
    c.chars = c.appends = 0;
    std::wstring text;
    GrepUtil::COutputGreper greper([&](const std::wstring& piece) {
        c.chars += piece.size();
        ++c.appends;
        if (!dump.empty()) text += piece;
    });
    if (c.readers) greper.SetReaders(c.readers);
    Sink sink;
    const double t0 = Now();
    greper.Configure(c.options);
    c.total = greper.Run(folder, &sink);
    c.times.push_back(Now() - t0);
    c.files = sink.files;
    c.skipped = greper.Stats().skipped;
    if (dump.empty()) return;
    std::wstring name = dump + L"\\";
    for (const char* p = c.label; *p; ++p)
        name += (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9') ? *p : '_';
    HANDLE f = CreateFileW((name + L"-" + std::to_wstring(run) + L".txt").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, text.data(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(f);
}

// The floor: the walk and the reads of find in files with nothing else. The
// same enumeration (links to folders not followed), the same CreateFileW,
// one ReadFile of the listed size and a byte more (a second one, after
// GetFileSizeEx, only when that byte came), CloseHandle. Files above 1 MiB,
// which the search maps, are read whole instead.
constexpr DWORD kReadLimit = 1 << 20;

void ReadAll(const std::wstring& folder, std::vector<char>& buffer, int* files, size_t* bytes) {
    std::wstring base = folder;
    if (base.back() != L'\\') base += L'\\';
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileExW((base + L"*.*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const wchar_t* name = fd.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
        const std::wstring path = base + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) ReadAll(path, buffer, files, bytes);
            continue;
        }
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (f == INVALID_HANDLE_VALUE) continue;
        ++*files;
        DWORD want = fd.nFileSizeHigh || fd.nFileSizeLow > kReadLimit ? 0 : fd.nFileSizeLow + 1;
        DWORD got = 0;
        if (want && ReadFile(f, buffer.data(), want, &got, nullptr) && got < want) {
            *bytes += got;
        } else {
            LARGE_INTEGER size = {};
            if (GetFileSizeEx(f, &size) && size.QuadPart > 0) {
                if (buffer.size() < size_t(size.QuadPart)) buffer.resize(size_t(size.QuadPart));
                const LARGE_INTEGER zero = {};
                SetFilePointerEx(f, zero, nullptr, FILE_BEGIN);
                if (ReadFile(f, buffer.data(), DWORD(size.QuadPart), &got, nullptr)) *bytes += got;
            }
        }
        CloseHandle(f);
    } while (FindNextFileW(find, &fd));
    FindClose(find);
}

double Seconds(const char* variable) {
    const char* v = std::getenv(variable);
    return v ? std::atof(v) : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: grep_bench <folder> [word] [expression] [runs] [dump folder]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const std::wstring word = argc > 2 ? argv[2] : L"include";
    const std::wstring expression = argc > 3 ? argv[3] : L"struct [a-z_]+_t\\b";
    const int runs = argc > 4 ? _wtoi(argv[4]) : 3;
    const std::wstring dump = argc > 5 ? argv[5] : L"";
    const double grepWord = Seconds("MORROWPAD_GREP_WORD_SECONDS");
    const double grepExpr = Seconds("MORROWPAD_GREP_EXPR_SECONDS");

    GrepUtil::GrepOptions w;
    w.pattern = word;
    w.matchCase = true;
    GrepUtil::GrepOptions e = w;
    e.pattern = expression;
    e.regex = true;
    auto with = [](GrepUtil::GrepOptions o, auto change) {
        change(o);
        return o;
    };
    std::vector<Case> cases = {
        {"the walk alone (no type admitted)", with(w, [](auto& o) { o.fileTypes = L"*.none"; })},
        {"word, match case, detected", w, 0, grepWord},
        {"word, match case, detected, 1 reader", w, 1, grepWord},
        {"word, match case, UTF-8", with(w, [](auto& o) { o.codePage = 65001; }), 0, grepWord},
        {"word, ignore case, detected", with(w, [](auto& o) { o.matchCase = false; })},
        {"word, ignore case, detected, result file", with(w, [](auto& o) { o.matchCase = false; })},
        {"expression, match case, detected", e, 0, grepExpr},
        {"expression, match case, detected, 1 reader", e, 1, grepExpr},
        {"expression, match case, UTF-8", with(e, [](auto& o) { o.codePage = 65001; }), 0, grepExpr},
    };
    for (Case& c : cases) c.toFile = std::string(c.label).find("result file") != std::string::npos;
    std::vector<double> floorTimes;
    std::vector<char> buffer(kReadLimit + 1);
    int floorFiles = 0;
    size_t floorBytes = 0;
    for (int i = 0; i < runs; ++i) {
        floorFiles = 0;
        floorBytes = 0;
        const double t0 = Now();
        ReadAll(folder, buffer, &floorFiles, &floorBytes);
        floorTimes.push_back(Now() - t0);
        for (Case& c : cases) RunCase(folder, c, dump, i);
    }
    const double floor = Median(floorTimes);
    auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    std::printf("%-44s %6.3f s (best %5.3f)  %7s         %6d files  %zu bytes\n",
                "floor: list, open, read, close every file", floor, best(floorTimes), "", floorFiles,
                floorBytes);
    for (const Case& c : cases) {
        const double t = Median(c.times);
        std::printf(
            "%-44s %6.3f s (best %5.3f)  %7d lines  %6d files  %3d skipped  %8zu chars  %4.2fx floor (best "
            "%4.2fx)",
            c.label, t, best(c.times), c.total, c.files, c.skipped, c.chars, t / floor,
            best(c.times) / best(floorTimes));
        if (c.grep > 0) std::printf("  %5.2fx grep", t / c.grep);
        std::printf("\n");
    }
    return 0;
}
