// Every message box of the program goes through one sink, so that tests can
// replace it with one that records instead of waiting for a person.
#pragma once

#include <windows.h>

namespace shell {

// Same arguments and result as MessageBoxW.
using MessageSink = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// Installs `sink` (null restores MessageBoxW) and returns the previous one.
MessageSink SetMessageSink(MessageSink sink);
int ShowMessage(HWND owner, const wchar_t* text, UINT type);  // caption "Morrowpad"
// A null or empty caption is "Morrowpad".
int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

}  // namespace shell
