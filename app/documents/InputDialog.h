// The small modal dialog that asks for one value (go to line, line spacing,
// tab size): a prompt, an edit field, OK and Cancel. Tests replace it with a
// hook that answers at once.
#pragma once

#include <windows.h>

#include <string>

namespace documents {

// True when the user confirmed; *value holds the initial text on entry and
// the typed text on return.
using InputFn = bool (*)(HWND owner, const std::wstring& title, const std::wstring& prompt,
                         std::wstring* value);

// Installs `hook` (null restores the dialog) and returns the previous one.
InputFn SetInputHook(InputFn hook);
bool AskInput(HWND owner, const std::wstring& title, const std::wstring& prompt, std::wstring* value);

}  // namespace documents
