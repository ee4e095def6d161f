// Find in files over a folder tree: a word and a regular expression, each
// with code pages detected per file (as the dialog's default does) and with
// UTF-8 given, into a sink that only counts what reaches the output window.
// scripts/bench.sh grep_bench prepares a copy of the system's C headers and
// times grep and rg over the same tree in the same run.
//
//   grep_bench.exe <folder> [word] [expression] [runs]
#include <windows.h>

#include <cstdio>
#include <string>
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

void Case(const char* label, const std::wstring& folder, GrepUtil::GrepOptions options, int runs) {
    std::vector<double> times;
    int total = 0, files = 0, skipped = 0;
    size_t chars = 0, appends = 0;
    for (int i = 0; i < runs; ++i) {
        chars = appends = 0;
        GrepUtil::COutputGreper greper([&](const std::wstring& text) {
            chars += text.size();
            ++appends;
        });
        Sink sink;
        const double t0 = Now();
        greper.Configure(options);
        total = greper.Run(folder, &sink);
        times.push_back(Now() - t0);
        files = sink.files;
        skipped = greper.Stats().skipped;
    }
    std::printf("%-40s %8.3f s  %7d lines  %6d files  %3d skipped  %9zu chars in %zu appends\n", label, Median(times),
                total, files, skipped, chars, appends);
}

// The floor under the platform: the same walk opening, reading and closing
// every file, searching nothing.
void ReadAll(const std::wstring& folder, std::vector<char>& buffer, int* files, size_t* bytes) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileExW((folder + L"\\*.*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ReadAll(path, buffer, files, bytes);
            continue;
        }
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               0, nullptr);
        if (f == INVALID_HANDLE_VALUE) continue;
        DWORD got = 0;
        while (ReadFile(f, buffer.data(), DWORD(buffer.size()), &got, nullptr) && got) *bytes += got;
        CloseHandle(f);
        ++*files;
    } while (FindNextFileW(find, &fd));
    FindClose(find);
}

void Floor(const std::wstring& folder, int runs) {
    std::vector<double> times;
    std::vector<char> buffer(1 << 20);
    int files = 0;
    size_t bytes = 0;
    for (int i = 0; i < runs; ++i) {
        files = 0;
        bytes = 0;
        const double t0 = Now();
        ReadAll(folder, buffer, &files, &bytes);
        times.push_back(Now() - t0);
    }
    std::printf("%-40s %8.3f s  %7s        %6d files  %zu bytes\n", "open, read, close every file", Median(times), "",
                files, bytes);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: grep_bench <folder> [word] [expression] [runs]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const std::wstring word = argc > 2 ? argv[2] : L"include";
    const std::wstring expression = argc > 3 ? argv[3] : L"struct [a-z_]+_t\\b";
    const int runs = argc > 4 ? _wtoi(argv[4]) : 3;

    Floor(folder, runs);
    GrepUtil::GrepOptions o;
    o.pattern = word;
    o.fileTypes = L"*.none";
    Case("the walk alone (no type admitted)", folder, o, runs);
    o.fileTypes.clear();
    o.matchCase = true;
    Case("word, match case, detected", folder, o, runs);
    o.codePage = 65001;
    Case("word, match case, UTF-8", folder, o, runs);
    o.matchCase = false;
    Case("word, ignore case, UTF-8", folder, o, runs);
    o.codePage = -1;
    Case("word, ignore case, detected", folder, o, runs);
    o.pattern = expression;
    o.regex = true;
    o.matchCase = true;
    Case("expression, match case, detected", folder, o, runs);
    o.codePage = 65001;
    Case("expression, match case, UTF-8", folder, o, runs);
    return 0;
}
