// Morrowpad.exe: the crash reporter goes in before anything else runs, then
// everything happens in the shell's RunProgram.
#include <windows.h>

#include "CrashReport.h"
#include "Program.h"
#include "StartupMarks.h"

namespace {
// Static initialisation: before wWinMain and before other static objects'
// constructors that may run later in this image.
const bool g_crashReporter = (shell::startup::Mark("static initialisation"), shell::InstallCrashReporter(),
                              shell::startup::Mark("crash reporter"), true);
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    // The program is often started in the folder of the file it opens: take
    // the current directory out of the library search path. The program's
    // own libraries are loaded by full path.
    shell::startup::Mark("wWinMain");
    SetDllDirectoryW(L"");
    return shell::RunProgram(show, GetCommandLineW());
}
