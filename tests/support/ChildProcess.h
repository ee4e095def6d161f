// Child processes started for a test, in a job that kills them when it
// goes, whether the test passed or failed.
#pragma once

#include <windows.h>

#include <string>

#include "Owners.h"

namespace testing_support {

class CChildJob {
   public:
    CChildJob() : job_(CreateJobObjectW(nullptr, nullptr)) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }

    // Runs `exe` with the command line "\"exe\"" + args, hidden (without a
    // window manager, hiding a visible window costs 2 s), in `folder` when
    // one is given; its process (null when it did not start) and its id.
    shell::CUniqueHandle Start(const std::wstring& exe, const std::wstring& args,
                               const wchar_t* folder = nullptr, DWORD* pid = nullptr) {
        std::wstring line = L"\"" + exe + L"\"" + args;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            folder, &si, &pi))
            return shell::CUniqueHandle();
        AssignProcessToJobObject(job_.get(), pi.hProcess);
        ResumeThread(pi.hThread);
        CloseHandle(pi.hThread);
        if (pid) *pid = pi.dwProcessId;
        return shell::CUniqueHandle(pi.hProcess);
    }

    // The exit code once the process ended within `ms`, else STILL_ACTIVE.
    static DWORD ExitCode(HANDLE process, DWORD ms) {
        DWORD code = STILL_ACTIVE;
        if (process && WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
        return code;
    }

   private:
    shell::CUniqueHandle job_;
};

}  // namespace testing_support
