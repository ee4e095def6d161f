// Start-up benchmark: how long Morrowpad takes from CreateProcessW to a
// painted, idle main window, and how much memory it holds then, beside
// minimal_window.exe (one class, one painted window) started the same way
// in the same run.
//
//   scripts/bench.sh startup_bench [runs] [program folder]
//
// The program folder (default ..\bin beside this executable) is copied to a
// scratch folder with Setting/MulInst=Y, so that no running instance gets
// the start handed over and the real settings are never written. Morrowpad
// starts with no file, so closing it never asks to save.
//
// "Ready" is, in this order: the process's first top-level window of the
// expected class ("Morrowpad", or the minimal program's) exists and is
// visible; WaitForInputIdle has returned (the process waits for input with
// nothing queued); and neither that window nor any of its child windows has
// a pending update region (GetUpdateRect is empty), that is everything shown
// has been painted. The window is polled every millisecond. Each program
// runs once untimed first (warm file cache), then the two alternate.
//
// Memory is read half a second after ready, once the process is idle again:
// the working set and private bytes of GetProcessMemoryInfo (Wine may leave
// them zero) and the committed private memory summed over the process's
// address space with VirtualQueryEx. Under Wine both programs carry the
// same Wine libraries, so the difference matters more than the totals.
// The window is then closed with WM_CLOSE and the time until the process
// has ended is reported too (without a window manager Wine may spend about
// 2 s hiding a window unless the prefix sets X11 Driver/Managed=N).
#include <windows.h>
// after windows.h
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "BenchUtil.h"
#include "MinimalWindow.h"
#include "ProgramIds.h"

namespace {

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return Folder(path);
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
    if (!CreateDirectoryW(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    WIN32_FIND_DATAW f;
    HANDLE find = FindFirstFileW((from + L"*").c_str(), &f);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CopyTree(from + name + L"\\", to + name + L"\\") && ok;
        else
            ok = CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE) && ok;
    } while (FindNextFileW(find, &f));
    FindClose(find);
    return ok;
}

void DeleteTree(const std::wstring& folder) {
    WIN32_FIND_DATAW f;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &f);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = f.cFileName;
            if (name == L"." || name == L"..") continue;
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(find, &f));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

struct Program {
    Program(const char* l, std::wstring e, std::wstring f, const wchar_t* c)
        : label(l), exe(std::move(e)), folder(std::move(f)), windowClass(c) {}
    const char* label;
    std::wstring exe;
    std::wstring folder;  // working folder
    const wchar_t* windowClass;
    std::vector<double> visible, ready, close;
    std::vector<double> workingSet, privateBytes, committed;  // MiB
};

struct Run {
    bool ok = false;
    double visible = 0, ready = 0, close = 0;
    double workingSet = 0, privateBytes = 0, committed = 0;
};

struct Search {
    DWORD pid;
    const wchar_t* cls;
    HWND found;
};

BOOL CALLBACK FindOfProcess(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[128] = {};
    GetClassNameW(w, cls, 128);
    if (pid == s->pid && lstrcmpW(cls, s->cls) == 0) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK AnyChildToPaint(HWND w, LPARAM lp) {
    if (IsWindowVisible(w) && GetUpdateRect(w, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(lp) = true;
        return FALSE;
    }
    return TRUE;
}

bool Painted(HWND w) {
    if (GetUpdateRect(w, nullptr, FALSE)) return false;
    bool pending = false;
    EnumChildWindows(w, AnyChildToPaint, reinterpret_cast<LPARAM>(&pending));
    return !pending;
}

double CommittedPrivate(HANDLE process) {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION mbi;
    for (const char* p = nullptr; VirtualQueryEx(process, p, &mbi, sizeof mbi) == sizeof mbi;
         p = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize)
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) total += mbi.RegionSize;
    return double(total) / (1 << 20);
}

Run StartOnce(const Program& p, HANDLE job) {
    Run r;
    std::wstring line = L"\"" + p.exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const double t0 = Now();
    if (!CreateProcessW(p.exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        p.folder.c_str(), &si, &pi)) {
        std::printf("%s: CreateProcessW failed (%lu)\n", p.label, GetLastError());
        return r;
    }
    AssignProcessToJobObject(job, pi.hProcess);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);

    Search s = {pi.dwProcessId, p.windowClass, nullptr};
    const double limit = t0 + 30;
    while (Now() < limit && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        if (!s.found) EnumWindows(FindOfProcess, reinterpret_cast<LPARAM>(&s));
        if (s.found && IsWindowVisible(s.found)) break;
        Sleep(1);
    }
    if (s.found && IsWindowVisible(s.found)) {
        r.visible = Now() - t0;
        WaitForInputIdle(pi.hProcess, 30000);
        const double idle = Now() - t0;
        while (Now() < limit && IsWindow(s.found) && !Painted(s.found)) Sleep(1);
        r.ready = Now() - t0;
        if (std::getenv("STARTUP_BENCH_RUNS"))
            std::printf("%-20s visible %6.1f  input idle %6.1f  painted %6.1f ms\n", p.label,
                        r.visible * 1000, idle * 1000, r.ready * 1000);
        r.ok = IsWindow(s.found) && Now() < limit;
    }
    if (!r.ok) std::printf("%s: no painted window within 30 s\n", p.label);

    if (r.ok) {
        Sleep(500);
        WaitForInputIdle(pi.hProcess, 5000);
        PROCESS_MEMORY_COUNTERS_EX pmc = {};
        pmc.cb = sizeof pmc;
        if (GetProcessMemoryInfo(pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
            r.workingSet = double(pmc.WorkingSetSize) / (1 << 20);
            r.privateBytes = double(pmc.PrivateUsage) / (1 << 20);
        }
        r.committed = CommittedPrivate(pi.hProcess);
        const double c0 = Now();
        PostMessageW(s.found, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(pi.hProcess, 15000) == WAIT_OBJECT_0) {
            r.close = Now() - c0;
        } else {
            std::printf("%s: still running 15 s after WM_CLOSE\n", p.label);
            r.ok = false;
        }
    }
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hProcess);
    return r;
}

double Min(const std::vector<double>& v) {
    double m = v.empty() ? 0 : v[0];
    for (double x : v) m = x < m ? x : m;
    return m;
}

void Report(const Program& p) {
    std::printf("%-20s %8.1f %8.1f %8.1f %8.1f %9.1f %8.1f %9.1f %5zu\n", p.label, Median(p.visible) * 1000,
                Median(p.ready) * 1000, Min(p.ready) * 1000, Median(p.close) * 1000, Median(p.workingSet),
                Median(p.privateBytes), Median(p.committed), p.ready.size());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    std::wstring source = OwnFolder() + L"..\\bin\\";
    if (argc > 2) {
        wchar_t wide[MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, argv[2], -1, wide, MAX_PATH);
        source = wide;
        if (source.back() != L'\\') source += L'\\';
    }
    if (GetFileAttributesW((source + L"Morrowpad.exe").c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("no Morrowpad.exe in %ls\n", source.c_str());
        return 1;
    }
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring scratch =
        std::wstring(temp) + L"mp-startup-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    if (!CopyTree(source, scratch)) {
        std::printf("cannot copy %ls to %ls\n", source.c_str(), scratch.c_str());
        return 1;
    }
    WritePrivateProfileStringW(L"Setting", L"MulInst", L"Y", (scratch + L"setting.ini").c_str());

    // Every child runs in a job that kills it if this program ends early.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    Program programs[] = {
        {"Morrowpad.exe", scratch + L"Morrowpad.exe", scratch, MORROWPAD_FRAME_CLASS},
        {"minimal_window.exe", OwnFolder() + L"minimal_window.exe", OwnFolder(), MINIMAL_WINDOW_CLASS},
    };
    std::printf(
        "startup_bench: %d runs of each after one warm-up, alternating; program folder copied to %ls\n", runs,
        scratch.c_str());
    bool ok = true;
    for (Program& p : programs) ok = StartOnce(p, job).ok && ok;
    for (int i = 0; i < runs && ok; ++i) {
        for (Program& p : programs) {
            const Run r = StartOnce(p, job);
            if (!r.ok) {
                ok = false;
                break;
            }
            p.visible.push_back(r.visible);
            p.ready.push_back(r.ready);
            p.close.push_back(r.close);
            p.workingSet.push_back(r.workingSet);
            p.privateBytes.push_back(r.privateBytes);
            p.committed.push_back(r.committed);
        }
    }
    CloseHandle(job);
    DeleteTree(scratch);

    // Medians, except "min" (the fastest ready).
    std::printf("\n%-20s %8s %8s %8s %8s %9s %8s %9s %5s\n", "", "visible", "ready", "min", "close",
                "work.set", "private", "committed", "runs");
    std::printf("%-20s %8s %8s %8s %8s %9s %8s %9s\n", "", "ms", "ms", "ms", "ms", "MiB", "MiB", "MiB");
    for (const Program& p : programs) Report(p);
    const double peer = Median(programs[1].ready);
    if (peer > 0)
        std::printf("\nMorrowpad / minimal: %.2fx to ready (medians), %+.1f MiB committed private memory\n",
                    Median(programs[0].ready) / peer,
                    Median(programs[0].committed) - Median(programs[1].committed));
    return ok ? 0 : 1;
}
