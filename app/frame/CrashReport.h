// The crash reporter: an unhandled-exception filter that appends a text
// report to a file beside the executable (its path with the extension
// replaced by "rpt") and then passes the exception on to the filter that was
// installed before it.
//
// The report is 8-bit text: a separator line, the exception code and name,
// the fault address with its logical address (section:offset) and module,
// the registers and the call stack. On x64 the classic 32-bit register lines
// carry the low halves and are followed by the full 64-bit registers;
// addresses are printed with 16 digits, and the stack is walked with the
// unwind tables (a frame-pointer chain misses frames in code built without
// frame pointers).
#pragma once

#include <windows.h>

#include <string>

namespace shell {

// Installs the filter once; `reportPath` empty means the default path. A
// thread of its own, made now, writes the report, so that neither a stack
// overflow nor a broken heap keeps it from being written.
void InstallCrashReporter(const std::wstring& reportPath = L"");

// The executable's path with the text after its last dot replaced by "rpt",
// when that dot is followed by at least three characters; else unchanged.
std::wstring CrashReportPath(const std::wstring& exePath);

// The name of an exception code ("ACCESS_VIOLATION"); empty for a code
// without one. Static text: the report is written with no heap, which may be
// what broke.
const char* ExceptionName(DWORD code);

// Appends the report for `info` to `file` (open for writing, at its end).
void WriteCrashReport(HANDLE file, const EXCEPTION_POINTERS* info);

}  // namespace shell
