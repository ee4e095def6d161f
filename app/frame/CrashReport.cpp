#include "CrashReport.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "Owners.h"

namespace shell {
namespace {

wchar_t g_reportPath[MAX_PATH * 4];
LPTOP_LEVEL_EXCEPTION_FILTER g_previous = nullptr;
volatile LONG g_installed = 0;

// The report is written by a thread made when the reporter is installed,
// with a stack of its own: after a stack overflow the faulting thread has no
// room left, and making a thread then could need the heap that broke.
HANDLE g_go = nullptr, g_done = nullptr;
EXCEPTION_POINTERS* volatile g_crash = nullptr;

// One formatted line, written as it is. No heap: the heap may be what broke.
void Line(HANDLE file, const char* format, ...) {
    char buf[1024];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    if (n < 0) return;
    if (n >= int(sizeof buf)) n = int(sizeof buf) - 1;
    DWORD written = 0;
    WriteFile(file, buf, DWORD(n), &written, nullptr);
}

// The module holding `address`, its path (8-bit) and the 1-based section and
// offset inside it; false when no module image contains the address.
bool LogicalAddress(const void* address, char* module, size_t moduleSize, unsigned* section,
                    DWORD_PTR* offset) {
    module[0] = 0;
    *section = 0;
    *offset = 0;
    MEMORY_BASIC_INFORMATION mbi;
    if (!VirtualQuery(address, &mbi, sizeof mbi) || !mbi.AllocationBase) return false;
    const HMODULE base = static_cast<HMODULE>(mbi.AllocationBase);
    wchar_t wide[MAX_PATH];
    if (!GetModuleFileNameW(base, wide, MAX_PATH)) return false;
    WideCharToMultiByte(CP_ACP, 0, wide, -1, module, int(moduleSize), nullptr, nullptr);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(base) + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* s = IMAGE_FIRST_SECTION(nt);
    const DWORD_PTR rva = reinterpret_cast<DWORD_PTR>(address) - reinterpret_cast<DWORD_PTR>(base);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++s) {
        const DWORD size = s->Misc.VirtualSize > s->SizeOfRawData ? s->Misc.VirtualSize : s->SizeOfRawData;
        if (rva >= s->VirtualAddress && rva <= s->VirtualAddress + size) {
            *section = i + 1;
            *offset = rva - s->VirtualAddress;
            return true;
        }
    }
    return false;
}

#if defined(_M_X64) || defined(__x86_64__)
#define ADDR "%016llX"
using Word = unsigned long long;
#else
#define ADDR "%08X"
using Word = unsigned;
#endif

void StackLine(HANDLE file, const void* address, Word frame) {
    char module[MAX_PATH * 2];
    unsigned section = 0;
    DWORD_PTR offset = 0;
    LogicalAddress(address, module, sizeof module, &section, &offset);
    Line(file, ADDR "  " ADDR "  %04X:%08X %s\n", Word(reinterpret_cast<DWORD_PTR>(address)), frame, section,
         unsigned(offset), module);
}

void Registers(HANDLE file, const CONTEXT* c) {
    Line(file, "\nRegisters:\n");
#if defined(_M_X64) || defined(__x86_64__)
    Line(file, "EAX:%08X\nEBX:%08X\nECX:%08X\nEDX:%08X\nESI:%08X\nEDI:%08X\n", unsigned(c->Rax),
         unsigned(c->Rbx), unsigned(c->Rcx), unsigned(c->Rdx), unsigned(c->Rsi), unsigned(c->Rdi));
    Line(file, "CS:EIP:%04X:%08X\n", unsigned(c->SegCs), unsigned(c->Rip));
    Line(file, "SS:ESP:%04X:%08X  EBP:%08X\n", unsigned(c->SegSs), unsigned(c->Rsp), unsigned(c->Rbp));
    Line(file, "DS:%04X  ES:%04X  FS:%04X  GS:%04X\n", unsigned(c->SegDs), unsigned(c->SegEs),
         unsigned(c->SegFs), unsigned(c->SegGs));
    Line(file, "Flags:%08X\n", unsigned(c->EFlags));
    Line(file, "RAX:%016llX RBX:%016llX RCX:%016llX RDX:%016llX\n", c->Rax, c->Rbx, c->Rcx, c->Rdx);
    Line(file, "RSI:%016llX RDI:%016llX RBP:%016llX RSP:%016llX\n", c->Rsi, c->Rdi, c->Rbp, c->Rsp);
    Line(file, "R8:%016llX R9:%016llX R10:%016llX R11:%016llX\n", c->R8, c->R9, c->R10, c->R11);
    Line(file, "R12:%016llX R13:%016llX R14:%016llX R15:%016llX\n", c->R12, c->R13, c->R14, c->R15);
    Line(file, "RIP:%016llX\n", c->Rip);
#else
    Line(file, "EAX:%08X\nEBX:%08X\nECX:%08X\nEDX:%08X\nESI:%08X\nEDI:%08X\n", c->Eax, c->Ebx, c->Ecx, c->Edx,
         c->Esi, c->Edi);
    Line(file, "CS:EIP:%04X:%08X\n", c->SegCs, c->Eip);
    Line(file, "SS:ESP:%04X:%08X  EBP:%08X\n", c->SegSs, c->Esp, c->Ebp);
    Line(file, "DS:%04X  ES:%04X  FS:%04X  GS:%04X\n", c->SegDs, c->SegEs, c->SegFs, c->SegGs);
    Line(file, "Flags:%08X\n", c->EFlags);
#endif
}

void CallStack(HANDLE file, const CONTEXT* original) {
    Line(file, "\nCall stack:\n");
    Line(file, "Address   Frame     Logical addr  Module\n");
#if defined(_M_X64) || defined(__x86_64__)
    CONTEXT c = *original;
    for (int depth = 0; depth < 64 && c.Rip; ++depth) {
        StackLine(file, reinterpret_cast<const void*>(c.Rip), c.Rsp);
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION fn = RtlLookupFunctionEntry(c.Rip, &imageBase, nullptr);
        const DWORD64 sp = c.Rsp;
        if (fn) {
            void* handlerData = nullptr;
            DWORD64 establisher = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, c.Rip, fn, &c, &handlerData, &establisher,
                             nullptr);
        } else {
            // A leaf function without unwind data: the return address is on top.
            if (IsBadReadPtr(reinterpret_cast<const void*>(c.Rsp), 8)) break;
            c.Rip = *reinterpret_cast<const DWORD64*>(c.Rsp);
            c.Rsp += 8;
        }
        if (c.Rsp <= sp) break;  // no progress: a damaged stack
    }
#else
    StackLine(file, reinterpret_cast<const void*>(original->Eip), original->Ebp);
    DWORD_PTR frame = original->Ebp, previous = 0;
    for (int depth = 0; depth < 256; ++depth) {
        if (frame & 3 || frame <= previous || IsBadWritePtr(reinterpret_cast<void*>(frame), 8)) break;
        const DWORD_PTR* words = reinterpret_cast<const DWORD_PTR*>(frame);
        previous = frame;
        frame = words[0];
        StackLine(file, reinterpret_cast<const void*>(words[1]), frame);
    }
#endif
}

void AppendReport(EXCEPTION_POINTERS* info) {
    const CUniqueHandle file(
        CreateFileW(g_reportPath, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_FLAG_WRITE_THROUGH, nullptr));
    if (file) {
        SetFilePointer(file.get(), 0, nullptr, FILE_END);
        WriteCrashReport(file.get(), info);
    }
}

DWORD WINAPI Reporter(void*) {
    for (;;) {
        if (WaitForSingleObject(g_go, INFINITE) != WAIT_OBJECT_0) return 0;
        AppendReport(g_crash);
        SetEvent(g_done);
    }
}

// Reports the crash once: a second thread crashing meanwhile waits.
void Report(EXCEPTION_POINTERS* info) {
    static volatile LONG busy = 0;
    if (InterlockedExchange(&busy, 1) != 0) return;
    g_crash = info;
    if (g_go && g_done && SetEvent(g_go))
        WaitForSingleObject(g_done, 10000);
    else
        AppendReport(info);
}

LONG WINAPI Filter(EXCEPTION_POINTERS* info) {
    Report(info);
    return g_previous ? g_previous(info) : EXCEPTION_CONTINUE_SEARCH;
}

// A stack overflow leaves too little stack for the system to reach the
// filter (under Wine about 2 KB, and it hangs on the way): it is reported
// from the first handler that sees it, with next to no stack, and ends the
// process, which could not go on anyway.
LONG WINAPI StackOverflow(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW) return EXCEPTION_CONTINUE_SEARCH;
    Report(info);
    TerminateProcess(GetCurrentProcess(), EXCEPTION_STACK_OVERFLOW);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

std::wstring CrashReportPath(const std::wstring& exePath) {
    const size_t dot = exePath.find_last_of(L'.');
    if (dot == std::wstring::npos || exePath.size() - dot - 1 < 3) return exePath;
    return exePath.substr(0, dot + 1) + L"rpt";
}

const char* ExceptionName(DWORD code) {
    switch (code) {
        case 0xC0000005: return "ACCESS_VIOLATION";
        case 0x80000001: return "GUARD_PAGE";
        case 0x80000002: return "DATATYPE_MISALIGNMENT";
        case 0x80000003: return "BREAKPOINT";
        case 0x80000004: return "SINGLE_STEP";
        case 0xC0000006: return "IN_PAGE_ERROR";
        case 0xC0000008: return "INVALID_HANDLE";
        case 0xC0000017: return "NO_MEMORY";
        case 0xC000001D: return "ILLEGAL_INSTRUCTION";
        case 0xC0000025: return "NONCONTINUABLE_EXCEPTION";
        case 0xC0000026: return "INVALID_DISPOSITION";
        case 0xC000008C: return "ARRAY_BOUNDS_EXCEEDED";
        case 0xC000008D: return "FLT_DENORMAL_OPERAND";
        case 0xC000008E: return "FLT_DIVIDE_BY_ZERO";
        case 0xC000008F: return "FLT_INEXACT_RESULT";
        case 0xC0000090: return "FLT_INVALID_OPERATION";
        case 0xC0000091: return "FLT_OVERFLOW";
        case 0xC0000092: return "FLT_STACK_CHECK";
        case 0xC0000093: return "FLT_UNDERFLOW";
        case 0xC0000094: return "INT_DIVIDE_BY_ZERO";
        case 0xC0000095: return "INT_OVERFLOW";
        case 0xC0000096: return "PRIV_INSTRUCTION";
        case 0xC00000FD: return "STACK_OVERFLOW";
        case 0xC0000374: return "HEAP_CORRUPTION";
        case 0xC0000409: return "STACK_BUFFER_OVERRUN";
        case 0xC0000417: return "INVALID_CRUNTIME_PARAMETER";
        case 0xC0000420: return "ASSERTION_FAILURE";
        case 0x20474343: return "CPP_EXCEPTION";  // thrown by GCC-built code
        case 0xE06D7363: return "CPP_EXCEPTION";  // thrown by MSVC-built code
    }
    return "";
}

void WriteCrashReport(HANDLE file, const EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    Line(file, "//=====================================================\n");
    Line(file, "Exception code: %08X %s\n", unsigned(r->ExceptionCode), ExceptionName(r->ExceptionCode));
    char module[MAX_PATH * 2];
    unsigned section = 0;
    DWORD_PTR offset = 0;
    LogicalAddress(r->ExceptionAddress, module, sizeof module, &section, &offset);
    Line(file, "Fault address:  " ADDR " %02X:%08X %s\n",
         Word(reinterpret_cast<DWORD_PTR>(r->ExceptionAddress)), section, unsigned(offset), module);
    Registers(file, info->ContextRecord);
    CallStack(file, info->ContextRecord);
    Line(file, "\n");
}

void InstallCrashReporter(const std::wstring& reportPath) {
    std::wstring path = reportPath;
    if (path.empty()) {
        wchar_t exe[MAX_PATH * 4];
        const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH * 4);
        path = CrashReportPath(std::wstring(exe, n < MAX_PATH * 4 ? n : 0));
    }
    if (path.size() >= std::size(g_reportPath)) return;
    wcscpy(g_reportPath, path.c_str());
    if (InterlockedExchange(&g_installed, 1) != 0) return;
    g_go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (g_go && g_done) {
        // The thread runs until the process ends; without it nothing waits
        // for the event.
        const CUniqueHandle thread(CreateThread(nullptr, 256 * 1024, &Reporter, nullptr, 0, nullptr));
        if (!thread) {
            CloseHandle(g_go), g_go = nullptr;
            CloseHandle(g_done), g_done = nullptr;
        }
    }
    g_previous = SetUnhandledExceptionFilter(&Filter);
    AddVectoredExceptionHandler(1, &StackOverflow);
}

}  // namespace shell
