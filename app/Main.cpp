// Morrowpad.exe: the crash reporter goes in before anything else runs, then
// everything happens in the shell's RunProgram.
#include <windows.h>

#include "CrashReport.h"
#include "Program.h"

namespace {
// Static initialisation: before wWinMain and before other static objects'
// constructors that may run later in this image.
const bool g_crashReporter = (shell::InstallCrashReporter(), true);
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    return shell::RunProgram(show, GetCommandLineW());
}
