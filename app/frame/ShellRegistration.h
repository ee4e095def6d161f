// The "Morrowpad" entry of the shell's context menu for every file, under
// HKEY_CURRENT_USER\Software\Classes\*\shell\Morrowpad: the user's own, the
// key the installer writes, changed without elevation.
#pragma once

#include <string>

namespace shell {

// The key can be opened for query.
bool IsShellMenuRegistered();
// Creates shell\Morrowpad (its text and icon) and its command with the
// default value "<exe>" "%1",
// `exe` used as it is (the executable's full path when empty). True when
// the value was written.
bool RegisterShellMenu(const std::wstring& exe = L"");
// Deletes Morrowpad\command, then Morrowpad; true when the second delete
// succeeded.
bool UnregisterShellMenu();
// The command text that registering writes.
std::wstring ShellMenuCommand(const std::wstring& exe);

}  // namespace shell
