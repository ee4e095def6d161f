// The process that the kill test ends from outside: it opens a file through
// an edit control of its own, types into it and saves it, as a user of the
// program would, or it plays the next start (--recover), which deals with
// what the killed save left and opens the file again.
//
//   save_child.exe save <inplace|copy> <file> [<save as>] [--die-at N]
//   save_child.exe recover <inplace|copy> <file>
//   save_child.exe temp                       (prints the temporary folder)
//
// With --die-at N the process ends itself (as a kill would) at the N-th step
// of the save that can fail on its own, writes and allocations not counted.
// Prints "ready" before the save starts; exits 0 when the save succeeded.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "EditProtocol.h"
#include "EditWindow.h"
#include "FileIO.h"

namespace {

int g_dieAt = 0;
int g_steps = 0;

bool DieAtTheNthStep(SaveStep step) {
    if (step == SaveStep::Allocate || step == SaveStep::Write || step == SaveStep::NoHardLink ||
        step == SaveStep::DenyCreate)
        return false;
    if (++g_steps == g_dieAt) TerminateProcess(GetCurrentProcess(), 9);
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"temp") {
        wchar_t dir[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, dir);
        std::printf("%ls\n", dir);
        return 0;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: save_child save|recover inplace|copy <file> [<save as>] [--die-at N]\n");
        return 2;
    }
    const std::wstring action = argv[1], path = argv[3];
    const bool inPlace = std::wstring(argv[2]) == L"inplace";
    std::wstring target = path;
    for (int i = 4; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"--die-at" && i + 1 < argc)
            g_dieAt = _wtoi(argv[++i]);
        else
            target = argv[i];
    }
    RegisterEditClass(GetModuleHandleW(nullptr));
    HWND edit = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!edit) return 3;
    auto send = [&](UINT msg, WPARAM wp, LPARAM lp) { return SendMessageW(edit, msg, wp, lp); };
    if (action == L"recover") {
        const LRESULT temp = send(MPM_RECOVERFILE, 0, 0);
        const LRESULT beside = send(MPM_RECOVERFILE, reinterpret_cast<WPARAM>(path.c_str()), 0);
        const bool loaded = send(inPlace ? MPM_LOADINPLACE : MPM_LOADFILE,
                                 reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(1252, LB_CRLF)) == 1;
        std::printf("recovered %d %d loaded %d\n", int(temp), int(beside), int(loaded));
        DestroyWindow(edit);
        return loaded ? 0 : 1;
    }
    if (send(inPlace ? MPM_LOADINPLACE : MPM_LOADFILE, reinterpret_cast<WPARAM>(path.c_str()),
             MAKELPARAM(1252, LB_CRLF)) != 1)
        return 4;
    Position at = {0, 0};
    TextArg text = {L"typed ", -1};
    send(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&at), reinterpret_cast<LPARAM>(&text));
    if (g_dieAt > 0) SetSaveFaultHookForTesting(DieAtTheNthStep);
    std::printf("ready\n");
    std::fflush(stdout);
    const bool saved = send(MPM_SAVEFILE, reinterpret_cast<WPARAM>(target.c_str()), 0) == 1;
    std::printf(saved ? "saved\n" : "failed %lu\n", GetLastError());
    std::fflush(stdout);
    return saved ? 0 : 1;
}
