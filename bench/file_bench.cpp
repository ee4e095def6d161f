// File benchmark: loads a large file in place (1092), reads unloaded lines,
// and saves it unchanged and converted to UTF-8, through the control's
// messages. scripts/bench.sh file_bench generates the file (about 1 GiB of
// CR LF lines) and times `wc -l` on it in the same run.
//
//   file_bench.exe <file> [--generate <bytes>]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "EditProtocol.h"

namespace {

// Lines of varying length (10 to 64 bytes before CR LF), like source code.
bool Generate(const std::wstring& path, long long bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    static const char words[] = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor ";
    std::string block;
    long long written = 0, line = 0;
    unsigned seed = 1;
    while (written < bytes) {
        block.clear();
        while (block.size() < (1 << 22)) {
            seed = seed * 1103515245u + 12345u;
            char head[24];
            const int n = std::snprintf(head, sizeof head, "%08lld ", line++);
            block.append(head, size_t(n));
            block.append(words, (seed >> 16) % 56 + 1);
            block += "\r\n";
        }
        DWORD w = 0;
        WriteFile(f, block.data(), DWORD(block.size()), &w, nullptr);
        written += w;
    }
    CloseHandle(f);
    return true;
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return -1;
    return (long long)a.nFileSizeHigh << 32 | a.nFileSizeLow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: file_bench <file> [--generate <bytes>]\n");
        return 2;
    }
    const std::wstring path = argv[1];
    if (argc > 3 && std::wstring(argv[2]) == L"--generate") {
        return Generate(path, _wtoi64(argv[3])) ? 0 : 1;
    }
    HMODULE lib = LoadLibraryW(MRPAD_LIBRARY_NAME);
    HWND edit = lib ? CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, lib,
                                      nullptr)
                    : nullptr;
    if (!edit) {
        std::fprintf(stderr, "cannot create the control\n");
        return 1;
    }
    const double size = double(FileSize(path));
    const size_t before = PrivateBytes();
    double t0 = Now();
    const LRESULT ok = SendMessageW(edit, MPM_LOADINPLACE, reinterpret_cast<WPARAM>(path.c_str()),
                                    MAKELPARAM(1252, LB_CRLF));
    const double load = Now() - t0;
    const size_t after = PrivateBytes();
    const long lines = long(SendMessageW(edit, MPM_GETLINECOUNT, 0, 0));
    if (!ok) {
        std::fprintf(stderr, "load failed (error %lu): %ls\n", GetLastError(), path.c_str());
        return 1;
    }
    std::printf("file_bench: %.0f MiB, %ld lines\n", size / 1048576, lines);
    std::printf("  load in place (1092):      %.3f s  (%.0f MB/s)\n", load, size / load / 1e6);
    std::printf("  memory: %.2f bytes per line (%.1f MiB for the document)\n", double(after - before) / lines,
                double(after - before) / 1048576);

    // Unloaded lines at random places, each read through 1037 into a buffer.
    std::vector<double> reads;
    wchar_t buf[4096];
    unsigned seed = 7;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const WPARAM line = WPARAM((unsigned long long)seed * 2654435761u % (unsigned long long)lines);
        t0 = Now();
        SendMessageW(edit, MPM_GETLINE, line, reinterpret_cast<LPARAM>(buf));
        reads.push_back(Now() - t0);
    }
    std::sort(reads.begin(), reads.end());
    std::printf("  read an unloaded line:     median %.1f us, max %.1f us (2000 random lines)\n",
                reads[reads.size() / 2] * 1e6, reads.back() * 1e6);

    const std::wstring same = path + L".same", utf8 = path + L".utf8";
    SaveFormat own = {1252, LB_CRLF, 0};
    t0 = Now();
    const LRESULT s1 = SendMessageW(edit, MPM_SAVECOPY, reinterpret_cast<WPARAM>(same.c_str()),
                                    reinterpret_cast<LPARAM>(&own));
    const double saveSame = Now() - t0;
    std::printf("  save unchanged (1252):     %.3f s  (%.0f MB/s)%s\n", saveSame, size / saveSame / 1e6,
                s1 && FileSize(same) == FileSize(path) ? "" : "  FAILED or size differs");
    SaveFormat u8 = {65001, LB_CRLF, 0};
    t0 = Now();
    const LRESULT s2 = SendMessageW(edit, MPM_SAVECOPY, reinterpret_cast<WPARAM>(utf8.c_str()),
                                    reinterpret_cast<LPARAM>(&u8));
    const double saveUtf8 = Now() - t0;
    std::printf("  save converted to UTF-8:   %.3f s  (%.0f MB/s)%s\n", saveUtf8, size / saveUtf8 / 1e6,
                s2 ? "" : "  FAILED");
    DeleteFileW(same.c_str());
    DeleteFileW(utf8.c_str());

    // Saving over a file loaded in place: the old file keeps a second name
    // from which the unloaded lines are read, and the new file takes the
    // file's name. On a copy, so that the generated file stays as it is.
    const std::wstring over = path + L".over";
    if (CopyFileW(path.c_str(), over.c_str(), FALSE) &&
        SendMessageW(edit, MPM_LOADINPLACE, reinterpret_cast<WPARAM>(over.c_str()), MAKELPARAM(1252, LB_CRLF))) {
        t0 = Now();
        const LRESULT s3 = SendMessageW(edit, MPM_SAVEFILE, reinterpret_cast<WPARAM>(over.c_str()), 0);
        const double saveOver = Now() - t0;
        std::printf("  save over it, in place:    %.3f s  (%.0f MB/s)%s\n", saveOver, size / saveOver / 1e6,
                    s3 && FileSize(over) == FileSize(path) ? "" : "  FAILED or size differs");
    }
    DestroyWindow(edit);
    DeleteFileW(over.c_str());
    return 0;
}
