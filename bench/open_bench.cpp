// File > Open of a large file through the program, beside the control's own
// load of the same file, in one run: a frame in this process opens the file
// (CMainFrame::OpenDocument, the path of the Open command once the dialog
// has answered) with ExclusiveMode Y (in place, 1092) and N (private copy,
// 1032); a bare "MRPAD32" control loads it with 1092 and 1032; and the
// program's own part of an open, the sample read and the detection, is
// timed alone. Each figure is the median of several runs; the document is
// closed between runs and not counted.
//
// scripts/bench.sh open_bench uses file_bench's generated file (about 1 GiB).
//
//   open_bench.exe <file> [runs]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "CommandIds.h"
#include "Document.h"
#include "EditProtocol.h"
#include "FileEncoding.h"
#include "MainFrame.h"
#include "Resources.h"
#include "Settings.h"

namespace {

// The program's own steps before the control is asked: the file opened,
// the sample read, the detector run over it.
int SampleAndDetect(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return -1;
    std::vector<uint8_t> sample(4096);
    DWORD got = 0;
    ReadFile(f, sample.data(), DWORD(sample.size()), &got, nullptr);
    CloseHandle(f);
    return encoding::DetectCodePage(sample.data(), got);
}

double BareLoad(HMODULE edit, const std::wstring& path, UINT message, int cp, long* lines) {
    HWND control =
        CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, edit, nullptr);
    if (!control) return -1;
    const double t0 = Now();
    const LRESULT ok =
        SendMessageW(control, message, reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(cp, LB_CRLF));
    const double t = Now() - t0;
    *lines = long(SendMessageW(control, MPM_GETLINECOUNT, 0, 0));
    DestroyWindow(control);
    return ok ? t : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: open_bench <file> [runs]\n");
        return 2;
    }
    const std::wstring path = argv[1];
    const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
    const std::wstring exe = ExeFolder();
    HMODULE language = LoadLibraryW((exe + L"..\\bin\\mui\\en.dll").c_str());
    if (language) shell::SetResourceModule(language);
    HMODULE edit = LoadLibraryW((exe + L"..\\bin\\Edit.dll").c_str());
    if (!edit) edit = LoadLibraryW(MRPAD_LIBRARY_NAME);
    if (!edit) {
        std::fprintf(stderr, "cannot load Edit.dll\n");
        return 1;
    }
    encoding::SetDetectorPath(exe + L"..\\bin\\chardet.dll");
    settings::SetProgramFolder(BenchTempFolder(L"mp-open-bench"));

    std::vector<double> detect;
    int cp = 0;
    for (int i = 0; i < runs; ++i) {
        const double t0 = Now();
        cp = SampleAndDetect(path);
        detect.push_back(Now() - t0);
    }
    if (cp < 0) {
        std::fprintf(stderr, "cannot read %ls\n", path.c_str());
        return 1;
    }

    auto frame = std::make_unique<shell::CMainFrame>();
    if (!frame->Create(L"", edit)) {
        std::fprintf(stderr, "cannot create the frame\n");
        return 1;
    }
    long programLines[2] = {}, bareLines[2] = {};
    std::vector<double> program[2], bare[2];
    for (int exclusive = 1; exclusive >= 0; --exclusive) {
        settings::WriteBool(settings::File::Setting, L"Setting", L"ExclusiveMode", exclusive != 0);
        for (int i = 0; i < runs; ++i) {
            const double t0 = Now();
            HWND doc = frame->OpenDocument(path);
            const double t = Now() - t0;
            IView* view = doc ? documents::ViewOf(doc) : nullptr;
            if (!view) {
                std::fprintf(stderr, "the program could not open the file\n");
                return 1;
            }
            programLines[exclusive] = long(SendMessageW(view->GetActivePane(), MPM_GETLINECOUNT, 0, 0));
            program[exclusive].push_back(t);
            SendMessageW(frame->Window(), WM_COMMAND, ID_CLOSE_DOCUMENT, 0);

            const double b =
                BareLoad(edit, path, exclusive ? MPM_LOADINPLACE : MPM_LOADFILE, cp, &bareLines[exclusive]);
            if (b < 0) {
                std::fprintf(stderr, "the control could not load the file\n");
                return 1;
            }
            bare[exclusive].push_back(b);
        }
    }
    frame.reset();

    const double detectMs = Median(detect) * 1e3;
    std::printf("open_bench: %ls, detected code page %d, %d runs each (medians)\n", path.c_str(), cp, runs);
    std::printf("  sample read (4 KB) + detection          %9.3f ms\n", detectMs);
    for (int exclusive = 1; exclusive >= 0; --exclusive) {
        const double p = Median(program[exclusive]) * 1e3, c = Median(bare[exclusive]) * 1e3;
        const char* how =
            exclusive ? "ExclusiveMode Y (1092, in place)" : "ExclusiveMode N (1032, private copy)";
        std::printf("  %s\n", how);
        std::printf("    File > Open through the program       %9.1f ms  (%ld lines)\n", p,
                    programLines[exclusive]);
        std::printf("    the control's own load (bare MRPAD32) %9.1f ms  (%ld lines)\n", c,
                    bareLines[exclusive]);
        std::printf(
            "    program beyond the control            %9.1f ms  (%.1f%%; of it sample + detection %.3f "
            "ms)\n",
            p - c, c > 0 ? 100.0 * (p - c) / c : 0.0, detectMs);
    }
    return 0;
}
