// A macro that inserts many lines, played through the program (the script
// engine on its worker; inserts at the caret gathered there and carried to
// the main thread as one), under the engine the program chooses and under
// our own, and as the recorder writes typed text (the active document asked
// for with each insert), beside the same inserts sent to the pane directly from this
// thread and to a control of its own (no program windows around it); a
// macro that reads the caret after each insert (every call of it carried to
// the main thread), and one that only loops in the engine, in one run.
//
//   macro_bench.exe [lines]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "AppScript.h"
#include "BenchUtil.h"
#include "EditProtocol.h"
#include "MainFrame.h"
#include "Resources.h"
#include "ScriptHost.h"
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
    if (HMODULE language = LoadLibraryW((exe + L"..\\bin\\mui\\en.dll").c_str()))
        shell::SetResourceModule(language);
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

    const std::wstring insertMacro =
        L"Set d = ActiveDoc\nFor i = 1 To " + n + L"\nd.Insert \"line \" & i & vbCrLf\nNext\n";
    const bool systemEngine =
        syntax::ScriptEngineChoice() != syntax::kEngineOwn && syntax::SystemScriptEngineAvailable();
    bool failed = false;
    // The macro's seconds and the lines it left.
    auto play = [&](const std::wstring& text, long* made) {
        Clear(pane);
        const double t = Now();
        failed |= frame->PlayMacroText(text, L"bench", 1) != automation::MacroOutcome::kDone;
        const double took = Now() - t;
        *made = long(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0)) - 1;
        return took;
    };
    long macroLines = 0, ownLines = 0, readLines = 0;
    const double macro = play(insertMacro, &macroLines);
    const int previous = syntax::SetScriptEngineChoice(syntax::kEngineOwn);
    const double own = play(insertMacro, &ownLines);
    syntax::SetScriptEngineChoice(previous);
    // As the recorder writes typing: the active document asked for each time.
    long typedLines = 0;
    const double typed =
        play(L"For i = 1 To " + n + L"\nApp.ActiveDoc.Insert( \"line \" & i & vbCrLf )\nNext\n", &typedLines);
    const int reads = std::max(lines / 10, 1);
    const double reading = play(L"Set d = ActiveDoc\nFor i = 1 To " + std::to_wstring(reads) +
                                    L"\nd.Insert \"line \" & i & vbCrLf\nn = d.CaretLine\nNext\n",
                                &readLines);

    // The same inserts from this thread: to the pane, and to a control alone.
    auto insertAll = [&](HWND target) {
        Clear(target);
        const double t = Now();
        for (int i = 1; i <= lines; ++i) {
            const std::wstring text = L"line " + std::to_wstring(i) + L"\r\n";
            TextArg arg = {text.c_str(), int(text.size())};
            SendMessageW(target, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
        }
        return Now() - t;
    };
    const double direct = insertAll(pane);
    HWND alone = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_POPUP | WS_VSCROLL | WS_HSCROLL, 0, 0, 800, 600,
                                 nullptr, nullptr, edit, nullptr);
    const double bare = alone ? insertAll(alone) : 0;
    if (alone) DestroyWindow(alone);

    double t0 = Now();
    frame->PlayMacroText(L"x = 0\nFor i = 1 To " + n + L"\nx = x + i\nNext\n", L"bench", 1);
    const double loop = Now() - t0;

    t0 = Now();
    frame->PlayMacroText(L"", L"bench", 1);
    const double empty = Now() - t0;

    std::printf("macro_bench: %d lines%s\n", lines, failed ? " (a macro failed)" : "");
    std::printf("  macro inserting them, %-6s engine      %9.1f ms  (%ld lines, %.1f us a call)\n",
                systemEngine ? "system" : "own", macro * 1e3, macroLines, macro * 1e6 / lines);
    std::printf("  the same macro, our own engine           %9.1f ms  (%ld lines, %.1f us a call)\n",
                own * 1e3, ownLines, own * 1e6 / lines);
    std::printf("  the same, App.ActiveDoc.Insert( ) each time %6.1f ms  (%ld lines, %.1f us a call)\n",
                typed * 1e3, typedLines, typed * 1e6 / lines);
    std::printf("  the same inserts sent from C++ to the pane %7.1f ms  (%.1f us an insert)\n", direct * 1e3,
                direct * 1e6 / lines);
    std::printf("  ... to a control alone (no program windows) %6.1f ms  (%.1f us an insert)\n", bare * 1e3,
                bare * 1e6 / lines);
    std::printf(
        "  macro reading the caret after each insert %8.1f ms  (%d inserts, %ld lines, %.1f us a turn)\n",
        reading * 1e3, reads, readLines, reading * 1e6 / reads);
    std::printf("  macro looping %d times, no calls        %9.1f ms\n", lines, loop * 1e3);
    std::printf("  an empty macro (thread, engine, undo)       %9.1f ms\n", empty * 1e3);
    frame.reset();
    return 0;
}
