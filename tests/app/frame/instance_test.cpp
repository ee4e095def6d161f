// Two real instances of Morrowpad.exe in a throw-away program folder: the
// second hands its file to the first and ends with 0. Every process runs in
// a job that is killed when the test ends, pass or fail.
#include <gtest/gtest.h>

#include <vector>

#include "ProgramIds.h"
#include "TestSupport.h"
#include "Window.h"

using testing_support::CopyFromTests;

namespace {

class Instances : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-instances-");
        ASSERT_FALSE(folder_.empty());
        // The build puts the tests and the program folder side by side.
        const std::wstring exe = testing_support::TestFolder() + L"..\\bin\\Morrowpad.exe";
        ASSERT_TRUE(CopyFileW(exe.c_str(), (folder_ + L"Morrowpad.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFromTests(folder_, L"Edit.dll"));
        ASSERT_TRUE(CopyFromTests(folder_, L"chardet.dll"));
        ASSERT_TRUE(CopyFromTests(folder_, L"mui\\en.dll"));
        ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"a.txt", "alpha\r\n"));
        ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"b c.txt", "beta\r\n"));
        job_.reset(CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ASSERT_TRUE(
            SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits));
    }

    shell::CUniqueHandle Start(const std::wstring& args, DWORD* pid = nullptr) {
        const std::wstring exe = folder_ + L"Morrowpad.exe";
        std::wstring line = L"\"" + exe + L"\"" + args;
        // Hidden: without a window manager, hiding a visible window costs 2 s.
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            folder_.c_str(), &si, &pi))
            return shell::CUniqueHandle();
        AssignProcessToJobObject(job_.get(), pi.hProcess);
        ResumeThread(pi.hThread);
        CloseHandle(pi.hThread);
        if (pid) *pid = pi.dwProcessId;
        return shell::CUniqueHandle(pi.hProcess);
    }

    // The frame of process `pid`, waiting up to 15 s for it.
    static HWND FrameOf(DWORD pid) {
        for (int i = 0; i < 1500; ++i) {
            HWND w = nullptr;
            while ((w = FindWindowExW(nullptr, w, MORROWPAD_FRAME_CLASS, nullptr))) {
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                if (owner == pid) return w;
            }
            Sleep(10);
        }
        return nullptr;
    }
    static std::wstring Title(HWND w) {
        wchar_t buf[512] = {};
        GetWindowTextW(w, buf, 512);
        return buf;
    }
    // The frame exists before its document is open: wait for the title.
    static std::wstring TitleOnceOpen(HWND w) {
        for (int i = 0; i < 1500 && Title(w) == L"Morrowpad"; ++i) Sleep(10);
        return Title(w);
    }
    // A first instance with the file `name` of the folder, once its frame
    // shows it: the frame, or null.
    HWND StartWith(const std::wstring& name, shell::CUniqueHandle* process) {
        DWORD pid = 0;
        *process = Start(L" \"" + folder_ + name + L"\"", &pid);
        const HWND frame = *process ? FrameOf(pid) : nullptr;
        if (frame) EXPECT_EQ(TitleOnceOpen(frame), name + L" - Morrowpad");
        return frame;
    }
    static DWORD ExitCode(HANDLE process, DWORD ms) {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
        return code;
    }

    std::wstring folder_;
    shell::CUniqueHandle job_;
};

}  // namespace

TEST_F(Instances, ASecondInstanceHandsItsFileToTheFirst) {
    shell::CUniqueHandle first;
    const HWND frame = StartWith(L"a.txt", &first);
    ASSERT_NE(frame, nullptr);

    // The hand-over is a synchronous send: done when the second has ended.
    shell::CUniqueHandle second = Start(L" \"" + folder_ + L"b c.txt\" ignored.txt");
    ASSERT_TRUE(second);
    EXPECT_EQ(ExitCode(second.get(), 15000), 0u);
    EXPECT_EQ(Title(frame), L"b c.txt - Morrowpad");

    // Without a file the second instance only activates the first.
    shell::CUniqueHandle third = Start(L"");
    EXPECT_EQ(ExitCode(third.get(), 15000), 0u);
    EXPECT_EQ(Title(frame), L"b c.txt - Morrowpad");

    EXPECT_EQ(WaitForSingleObject(first.get(), 0), DWORD(WAIT_TIMEOUT));
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first.get(), 15000), 0u);
    // Closing saved the placement.
    const std::string settings = testing_support::ReadFileText(folder_ + L"setting.ini");
    EXPECT_NE(settings.find(std::string("W\0i\0n\0P\0o\0s\0=\0", 14)), std::string::npos);
}

TEST_F(Instances, WithMultipleInstancesEachStartOpensItsOwnWindow) {
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"setting.ini", "[Setting]\r\nMulInst=Y\r\n"));
    DWORD firstPid = 0, secondPid = 0;
    shell::CUniqueHandle first = Start(L" \"" + folder_ + L"a.txt\"", &firstPid);
    const HWND one = FrameOf(firstPid);
    ASSERT_NE(one, nullptr);
    shell::CUniqueHandle second = Start(L" \"" + folder_ + L"b c.txt\"", &secondPid);
    const HWND two = FrameOf(secondPid);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(TitleOnceOpen(one), L"a.txt - Morrowpad");
    EXPECT_EQ(TitleOnceOpen(two), L"b c.txt - Morrowpad");
    PostMessageW(one, WM_CLOSE, 0, 0);
    PostMessageW(two, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first.get(), 15000), 0u);
    EXPECT_EQ(ExitCode(second.get(), 15000), 0u);
}

// Hostile hand-overs from another process: a copy-data block far too large
// (the system may fail to deliver it at all), one with another tag, one
// without its final NUL. None ends the program or opens anything; the next
// real hand-over still works.
TEST_F(Instances, HostileHandOversNeitherEndTheProgramNorOpenAnything) {
    shell::CUniqueHandle first;
    const HWND frame = StartWith(L"a.txt", &first);
    ASSERT_NE(frame, nullptr);
    std::vector<char> huge(64u << 20, 'a');
    const std::wstring unterminated = folder_ + L"b c.txt";
    struct Block {
        ULONG_PTR tag;
        const void* data;
        DWORD bytes;
    };
    const Block blocks[] = {
        {MORROWPAD_HANDOVER_TAG, huge.data(), DWORD(huge.size())},
        {MORROWPAD_HANDOVER_TAG + 1, L"x \"b c.txt\"", 24},
        {MORROWPAD_HANDOVER_TAG, unterminated.data(), DWORD(unterminated.size() * sizeof(wchar_t))},
    };
    for (const Block& b : blocks) {
        COPYDATASTRUCT record = {b.tag, b.bytes, const_cast<void*>(b.data)};
        DWORD_PTR result = 0;
        SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record), SMTO_ABORTIFHUNG, 10000,
                            &result);
        EXPECT_EQ(ExitCode(first.get(), 300), DWORD(STILL_ACTIVE)) << "a block of " << b.bytes << " bytes";
        EXPECT_EQ(Title(frame), L"a.txt - Morrowpad");
    }
    shell::CUniqueHandle second = Start(L" \"" + folder_ + L"b c.txt\"");
    EXPECT_EQ(ExitCode(second.get(), 15000), 0u);
    EXPECT_EQ(Title(frame), L"b c.txt - Morrowpad");
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first.get(), 15000), 0u);
}
