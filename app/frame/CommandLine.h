// The command line: splitting it into tokens, and the WM_COPYDATA record in
// which a second instance hands its command line to the running one.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

// A token starting with a double quote runs to the next double quote or the
// end (the quotes are dropped); any other token runs to the next character
// with code <= 32. Characters below 33 between tokens are skipped. Tokens
// are kept whole, however long: a path cut short would name another file.
// Token 0 is the program; only token 1 is ever opened.
std::vector<std::wstring> SplitCommandLine(std::wstring_view line);

// Token 1 when it is present and non-empty.
std::optional<std::wstring> FileArgument(std::wstring_view line);

// The largest hand-over record accepted: a command line has at most 32767
// characters plus its terminator.
constexpr DWORD kMaxHandOverBytes = 32768 * sizeof(wchar_t);

// The command line carried by a hand-over record, or nothing when the record
// is not one: dwData must be the hand-over tag, the size even, at least one
// character and at most kMaxHandOverBytes, and the last character a NUL.
// The record comes from another process: nothing is read before the size is
// known to be sound, and nothing past cbData.
std::optional<std::wstring> ReadHandOver(const COPYDATASTRUCT* record);

// A record for `line` that ReadHandOver accepts; it points into `line`,
// which must outlive it.
COPYDATASTRUCT MakeHandOver(const std::wstring& line);

}  // namespace shell
