// A macro that inserts many lines, played through the program (the script
// engine on its worker, every call carried to the main thread), beside the
// same inserts sent to the control directly from this thread, and a macro
// that only loops in the engine (no calls into the program), in one run.
//
//   macro_bench.exe [lines]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "AppScript.h"
#include "BenchUtil.h"
#include "EditProtocol.h"
#include "MainFrame.h"
#include "Resources.h"
#include "Settings.h"

namespace {

void Clear(HWND pane) {
    Position a = {0, 0}, b = {0x7FFFFFF, 0x7FFFFFF};
    SendMessageW(pane, MPM_DELETERANGE, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    SendMessageW(pane, MPM_EMPTYUNDO, 0, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int lines = argc > 1 ? _wtoi(argv[1]) : 100000;
    const std::wstring exe = ExeFolder();
    if (HMODULE language = LoadLibraryW((exe + L"..\\bin\\mui\\en.dll").c_str())) shell::SetResourceModule(language);
    HMODULE edit = LoadLibraryW((exe + L"..\\bin\\Edit.dll").c_str());
    if (!edit) {
        std::fprintf(stderr, "cannot load Edit.dll\n");
        return 1;
    }
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"mp-macro-bench\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    settings::SetProgramFolder(folder);
    auto frame = std::make_unique<shell::CMainFrame>();
    if (!frame->Create(L"", edit)) {
        std::fprintf(stderr, "cannot create the frame\n");
        return 1;
    }
    HWND pane = frame->ActivePane();
    const std::wstring n = std::to_wstring(lines);

    Clear(pane);
    double t0 = Now();
    const automation::MacroOutcome inserted = frame->PlayMacroText(
        L"Set d = ActiveDoc\nFor i = 1 To " + n + L"\nd.Insert \"line \" & i & vbCrLf\nNext\n", L"bench", 1);
    const double macro = Now() - t0;
    const long macroLines = long(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0)) - 1;

    Clear(pane);
    t0 = Now();
    for (int i = 1; i <= lines; ++i) {
        const std::wstring text = L"line " + std::to_wstring(i) + L"\r\n";
        TextArg arg = {text.c_str(), int(text.size())};
        SendMessageW(pane, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    }
    const double direct = Now() - t0;

    t0 = Now();
    frame->PlayMacroText(L"x = 0\nFor i = 1 To " + n + L"\nx = x + i\nNext\n", L"bench", 1);
    const double loop = Now() - t0;

    t0 = Now();
    frame->PlayMacroText(L"", L"bench", 1);
    const double empty = Now() - t0;

    std::printf("macro_bench: %d lines%s\n", lines, inserted == automation::MacroOutcome::kDone ? "" : " (macro failed)");
    std::printf("  macro inserting them (App calls)        %9.1f ms  (%ld lines, %.1f us a call)\n", macro * 1e3,
                macroLines, macro * 1e6 / lines);
    std::printf("  the same inserts sent from C++          %9.1f ms\n", direct * 1e3);
    std::printf("  macro looping %d times, no calls    %9.1f ms\n", lines, loop * 1e3);
    std::printf("  an empty macro (thread, engine, undo)   %9.1f ms\n", empty * 1e3);
    frame.reset();
    return 0;
}
