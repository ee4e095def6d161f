// Every message box of the program goes through one sink, so that tests can
// replace it with one that records instead of waiting for a person.
#pragma once

#include <windows.h>

#include <string>

namespace shell {

// Same arguments and result as MessageBoxW.
using MessageSink = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// The text as the system's box shows it: a run without blanks longer than
// 120 characters (a path, a value from a damaged settings file) keeps its
// first 60 and last 59 with "…" between, and the whole stops at 4,000
// characters, so that no box grows wider or taller than a screen.
std::wstring ShortenedForBox(const std::wstring& text);

// Installs `sink` (null restores MessageBoxW) and returns the previous one.
MessageSink SetMessageSink(MessageSink sink);
int ShowMessage(HWND owner, const wchar_t* text, UINT type);  // caption "Morrowpad"
// A null or empty caption is "Morrowpad".
int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

}  // namespace shell
