// The two script engines side by side, in one run: the system's (when it can
// be created) and our own (ScriptEngine.h).
//   (a) every shipped syntax definition of syntax.ini loaded as the program
//       loads them (the list read again, each definition's script run on its
//       worker), N times: milliseconds per full load;
//   (b) a macro inserting `lines` lines through the program (a frame in this
//       process, the engine on the macro worker, each call carried to the
//       main thread): seconds;
//   (c) a macro that only loops in the engine (no calls into the program):
//       milliseconds, the interpreters alone.
//
// The machine is shared: the loads alternate between the engines, (b) and
// (c) run `rounds` times with the engines taking turns, and the medians are
// printed.
//
//   script_bench.exe [loads] [lines] [rounds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "AppScript.h"
#include "BenchUtil.h"
#include "EditProtocol.h"
#include "MainFrame.h"
#include "MessageSink.h"
#include "Resources.h"
#include "ScriptHost.h"
#include "Settings.h"
#include "SyntaxList.h"

namespace {

int g_messages = 0;
int CountMessage(HWND, const wchar_t* text, const wchar_t*, UINT) {
    if (g_messages++ < 3) std::fwprintf(stderr, L"message: %ls\n", text);
    return IDOK;
}

void Clear(HWND pane) {
    Position a = {0, 0}, b = {0x7FFFFFF, 0x7FFFFFF};
    SendMessageW(pane, MPM_DELETERANGE, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    SendMessageW(pane, MPM_EMPTYUNDO, 0, 0);
}

struct Figures {
    std::vector<double> loadMs;   // one full load of every definition, per load
    int lexers = 0;               // built in the last load
    std::vector<double> insertS;  // the inserting macro, per round
    long insertedLines = 0;
    bool insertOk = true;
    std::vector<double> loopMs;  // the macro that only loops, per round
};

// (a): the list read again and every definition's lexer built once; the
// time of the load is added to `f`.
void LoadDefinitions(const std::wstring& programFolder, Figures* f) {
    settings::SetProgramFolder(programFolder);
    syntax::Reload();
    const double t0 = Now();
    int built = 0;
    const int n = syntax::EntryCount();
    for (int k = 0; k < n; ++k)
        if (const syntax::SyntaxEntry* e = syntax::Entry(k))
            built += syntax::LexerByName(e->title) != nullptr;
    f->loadMs.push_back((Now() - t0) * 1e3);
    f->lexers = built;
    syntax::Reload();
}

// (b) and (c) through a frame of the program.
void PlayMacros(int lines, HMODULE edit, const std::wstring& folder, Figures* f) {
    settings::SetProgramFolder(folder);
    auto frame = std::make_unique<shell::CMainFrame>();
    if (!frame->Create(L"", edit)) {
        std::fprintf(stderr, "cannot create the frame\n");
        return;
    }
    HWND pane = frame->ActivePane();
    const std::wstring n = std::to_wstring(lines);
    Clear(pane);
    double t0 = Now();
    f->insertOk &= frame->PlayMacroText(
                       L"Set d = ActiveDoc\nFor i = 1 To " + n + L"\nd.Insert \"line \" & i & vbCrLf\nNext\n",
                       L"bench", 1) == automation::MacroOutcome::kDone;
    f->insertS.push_back(Now() - t0);
    f->insertedLines = long(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0)) - 1;
    Clear(pane);
    t0 = Now();
    frame->PlayMacroText(L"x = 0\nFor i = 1 To " + std::to_wstring(lines * 10) +
                             L"\nx = x + i Mod 7\nIf x > 1000000 Then x = 0\nNext\n",
                         L"bench", 1);
    f->loopMs.push_back((Now() - t0) * 1e3);
    frame.reset();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int loads = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    const int lines = argc > 2 ? std::max(1, _wtoi(argv[2])) : 100000;
    const int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 1;
    const std::wstring exe = ExeFolder();
    const std::wstring bin = exe + L"..\\bin\\";
    shell::SetMessageSink(&CountMessage);
    if (HMODULE language = LoadLibraryW((bin + L"mui\\en.dll").c_str())) shell::SetResourceModule(language);
    HMODULE edit = LoadLibraryW((bin + L"Edit.dll").c_str());
    if (!edit) {
        std::fprintf(stderr, "cannot load Edit.dll\n");
        return 1;
    }
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"mp-script-bench\\";
    CreateDirectoryW(folder.c_str(), nullptr);

    const bool system = syntax::SystemScriptEngineAvailable();
    std::vector<int> engines;
    if (system) engines.push_back(syntax::kEngineSystemFirst);
    engines.push_back(syntax::kEngineOwn);
    Figures figures[2];
    for (int load = 0; load < loads; ++load) {
        for (size_t k = 0; k < engines.size(); ++k) {
            const int choice = engines[(k + size_t(load)) % engines.size()];
            syntax::SetScriptEngineChoice(choice);
            LoadDefinitions(bin, &figures[choice]);
        }
    }
    for (int round = 0; round < rounds; ++round) {
        // Taking turns, the first engine alternating: a busy spell of the
        // machine falls on both.
        for (size_t k = 0; k < engines.size(); ++k) {
            const int choice = engines[(k + size_t(round)) % engines.size()];
            syntax::SetScriptEngineChoice(choice);
            PlayMacros(lines, edit, folder, &figures[choice]);
        }
    }

    const Figures& s = figures[0];
    const Figures& o = figures[1];
    std::printf("script_bench: %d loads of the shipped definitions, a macro of %d lines, %d rounds%s\n",
                loads, lines, rounds, system ? "" : " (no system engine: ours only)");
    std::printf("                                         system engine     our engine\n");
    std::printf("  (a) full load of every definition (ms) %12.1f   %12.1f   (%d / %d lexers)\n",
                Median(s.loadMs), Median(o.loadMs), s.lexers, o.lexers);
    std::printf("  (b) macro inserting the lines (s)      %12.2f   %12.2f   (%ld / %ld lines%s)\n",
                Median(s.insertS), Median(o.insertS), s.insertedLines, o.insertedLines,
                s.insertOk && o.insertOk ? "" : ", a macro failed");
    std::printf("  (c) macro looping %d times (ms)   %12.1f   %12.1f\n", lines * 10, Median(s.loopMs),
                Median(o.loopMs));
    if (g_messages) std::printf("  %d messages were shown (first ones on stderr)\n", g_messages);
    return 0;
}
