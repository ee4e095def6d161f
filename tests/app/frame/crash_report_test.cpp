// The crash reporter, run for real: this executable started again with
// "--crash-child <report>" installs the reporter and faults on purpose; the
// test reads the report it appended and checks every line's format.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>

#include "CrashReport.h"
#include "ChildProcess.h"
#include "TestSupport.h"
#include "Window.h"

namespace {

// Read at run time, so that the compiler cannot see the null pointer and
// turn the store into a trap instruction.
volatile int* volatile g_nowhere = nullptr;

__attribute__((noinline)) void Fault(volatile int* p) { *p = 42; }
__attribute__((noinline)) void CallsFault(volatile int* p) {
    Fault(p);
    asm volatile("");  // keeps the call from becoming a jump
}

__attribute__((noinline)) int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = char(depth);
    const int r = Recurse(depth + 1);
    asm volatile("" : : "r"(frame) : "memory");  // the frame lives on past the call: no loop
    return r + frame[0];
}

// Breaks the heap the way a stray write does: blocks written after they were
// freed, so that the next allocations follow garbage.
__attribute__((noinline)) void BreakTheHeap() {
    for (size_t size : {17u, 24u, 32u, 40u, 64u}) {
        for (int i = 0; i < 8; ++i) {
            char* volatile p = static_cast<char*>(malloc(size));
            free(p);
            memset(p - 16, 0xA5, size + 32);
        }
    }
}

// Runs before main when this process is the crashing child:
// "--crash-child <kind> <report>", the kind "access", "stack" or "heap".
const bool g_child = [] {
    const wchar_t* line = GetCommandLineW();
    const wchar_t* flag = wcsstr(line, L"--crash-child ");
    if (!flag) return false;
    const wchar_t* kind = flag + wcslen(L"--crash-child ");
    shell::InstallCrashReporter(wcschr(kind, L' ') + 1);
    if (wcsncmp(kind, L"stack", 5) == 0) Recurse(0);
    if (wcsncmp(kind, L"heap", 4) == 0) BreakTheHeap();
    CallsFault(g_nowhere);
    return true;
}();

// The child's exit code, or STILL_ACTIVE when it did not end in time.
DWORD RunCrashingChild(const std::wstring& report, const wchar_t* kind = L"access") {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    testing_support::CChildJob job;
    const shell::CUniqueHandle child =
        job.Start(exe, std::wstring(L" --crash-child ") + kind + L" " + report);
    return child ? job.ExitCode(child.get(), 20000) : STILL_ACTIVE;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

}  // namespace

TEST(CrashReport, PathReplacesTheExtensionAndExceptionsAreNamed) {
    EXPECT_EQ(shell::CrashReportPath(L"C:\\M\\Morrowpad.exe"), L"C:\\M\\Morrowpad.rpt");
    EXPECT_EQ(shell::CrashReportPath(L"C:\\M.d\\Morrowpad.exe"), L"C:\\M.d\\Morrowpad.rpt");
    EXPECT_EQ(shell::CrashReportPath(L"C:\\M\\Morrowpad.ex"), L"C:\\M\\Morrowpad.ex");  // fewer than three
    EXPECT_EQ(shell::CrashReportPath(L"C:\\M\\Morrowpad"), L"C:\\M\\Morrowpad");
    for (const auto& [code, name] : {std::pair<DWORD, const char*>{0xC0000005, "ACCESS_VIOLATION"},
                                     {0x80000003, "BREAKPOINT"},
                                     {0xC000008E, "FLT_DIVIDE_BY_ZERO"},
                                     {0xC0000093, "FLT_UNDERFLOW"},
                                     {0xC0000094, "INT_DIVIDE_BY_ZERO"},
                                     {0xC00000FD, "STACK_OVERFLOW"},
                                     {0xC0000374, "HEAP_CORRUPTION"},
                                     {0x12345678, ""}})
        EXPECT_STREQ(shell::ExceptionName(code), name) << std::hex << code;
}

// A stack overflow and a broken heap still give a whole report: the code,
// the fault address with its module, registers and a stack.
TEST(CrashReport, AStackOverflowOrABrokenHeapStillGivesAWholeReport) {
    const std::wstring folder = testing_support::MakeTempFolder(L"mp-crash-");
    for (const wchar_t* kind : {L"stack", L"heap"}) {
        const std::wstring report = folder + kind + L".rpt";
        const DWORD code = RunCrashingChild(report, kind);
        EXPECT_NE(code, DWORD(STILL_ACTIVE)) << "the child ended in time";
        const std::string text = testing_support::ReadFileText(report);
        const std::vector<std::string> l = Lines(text);
        ASSERT_GE(l.size(), 25u) << text;
        EXPECT_TRUE(std::regex_match(l[1], std::regex("Exception code: [0-9A-F]{8} [A-Z_]+"))) << l[1];
        if (std::wstring(kind) == L"stack") {
            EXPECT_EQ(l[1], "Exception code: C00000FD STACK_OVERFLOW");
        }
        EXPECT_TRUE(
            std::regex_match(l[2], std::regex("Fault address:  [0-9A-F]{16} [0-9A-F]{2}:[0-9A-F]{8} .+")))
            << l[2];
        EXPECT_EQ(l[4], "Registers:");
        EXPECT_EQ(l[21], "Call stack:");
        EXPECT_FALSE(l[23].empty()) << "at least one frame";
    }
}

TEST(CrashReport, AFaultingProcessAppendsAReport) {
    const std::wstring folder = testing_support::MakeTempFolder(L"mp-crash-");
    const std::wstring report = folder + L"child.rpt";
    ASSERT_TRUE(testing_support::WriteFileText(report, "earlier\n"));
    const DWORD code = RunCrashingChild(report);
    EXPECT_NE(code, 0u);
    EXPECT_NE(code, DWORD(STILL_ACTIVE));  // it ended in time

    const std::vector<std::string> l = Lines(testing_support::ReadFileText(report));
    ASSERT_GE(l.size(), 25u);
    const std::string hex16 = "[0-9A-F]{16}";
    EXPECT_EQ(l[0], "earlier");  // appended, not overwritten
    EXPECT_EQ(l[1], "//=====================================================");
    EXPECT_EQ(l[2], "Exception code: C0000005 ACCESS_VIOLATION");
    std::smatch fault;
    ASSERT_TRUE(std::regex_match(
        l[3], fault, std::regex("Fault address:  (" + hex16 + ") 01:[0-9A-F]{8} .*program_tests\\.exe")))
        << l[3];
    EXPECT_EQ(l[4], "");
    EXPECT_EQ(l[5], "Registers:");
    const char* classic[] = {"EAX:[0-9A-F]{8}",
                             "EBX:[0-9A-F]{8}",
                             "ECX:[0-9A-F]{8}",
                             "EDX:[0-9A-F]{8}",
                             "ESI:[0-9A-F]{8}",
                             "EDI:[0-9A-F]{8}",
                             "CS:EIP:[0-9A-F]{4}:[0-9A-F]{8}",
                             "SS:ESP:[0-9A-F]{4}:[0-9A-F]{8}  EBP:[0-9A-F]{8}",
                             "DS:[0-9A-F]{4}  ES:[0-9A-F]{4}  FS:[0-9A-F]{4}  GS:[0-9A-F]{4}",
                             "Flags:[0-9A-F]{8}"};
    for (size_t i = 0; i < std::size(classic); ++i)
        EXPECT_TRUE(std::regex_match(l[6 + i], std::regex(classic[i]))) << l[6 + i];
    // The full 64-bit registers follow; RIP is the fault address, and the
    // classic EIP line carries its low half.
    EXPECT_TRUE(std::regex_match(
        l[16], std::regex("RAX:" + hex16 + " RBX:" + hex16 + " RCX:" + hex16 + " RDX:" + hex16)))
        << l[16];
    EXPECT_TRUE(std::regex_match(l[18], std::regex("R8:" + hex16 + " R9:.*"))) << l[18];
    EXPECT_EQ(l[20], "RIP:" + fault[1].str());
    EXPECT_EQ(l[12].substr(l[12].size() - 8), fault[1].str().substr(8));
    EXPECT_EQ(l[21], "");
    EXPECT_EQ(l[22], "Call stack:");
    EXPECT_EQ(l[23], "Address   Frame     Logical addr  Module");
    // Frames up to the empty line that ends the report; the first is the
    // faulting instruction, and the walk gets past the leaf to its callers.
    const std::regex frame("(" + hex16 + ")  " + hex16 + "  [0-9A-F]{4}:[0-9A-F]{8} (.*)");
    size_t i = 24, ours = 0;
    for (; i < l.size() && !l[i].empty(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l[i], m, frame)) << l[i];
        if (i == 24) {
            EXPECT_EQ(m[1].str(), fault[1].str());
        }
        if (m[2].str().find("program_tests.exe") != std::string::npos) ++ours;
    }
    EXPECT_GE(i - 24, 3u);
    EXPECT_GE(ours, 3u);         // Fault, CallsFault and the initialiser that called it
    EXPECT_EQ(i, l.size() - 1);  // one trailing empty line
}
