// Two real instances of Morrowpad.exe in a throw-away program folder: the
// second hands its file to the first and ends with 0. Every process runs in
// a job that is killed when the test ends, pass or fail.
#include <gtest/gtest.h>

#include <vector>

#include "ChildProcess.h"
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
        for (const wchar_t* name : {L"Edit.dll", L"chardet.dll", L"mui\\en.dll"})
            ASSERT_TRUE(CopyFromTests(folder_, name)) << name;
        ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"a.txt", "alpha\r\n"));
        ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"b c.txt", "beta\r\n"));
    }

    shell::CUniqueHandle Start(const std::wstring& args, DWORD* pid = nullptr) {
        return job_.Start(folder_ + L"Morrowpad.exe", args, folder_.c_str(), pid);
    }

    // The frame of process `pid`, waiting up to 15 s for it.
    static HWND FrameOf(DWORD pid) {
        for (int i = 0; i < 1500; ++i) {
            for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, MORROWPAD_FRAME_CLASS, nullptr));) {
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
    // An instance with the file `name` of the folder, once its frame shows
    // it (the frame exists before its document is open): the frame, or null.
    HWND StartWith(const std::wstring& name, shell::CUniqueHandle* process) {
        DWORD pid = 0;
        *process = Start(L" \"" + folder_ + name + L"\"", &pid);
        const HWND frame = *process ? FrameOf(pid) : nullptr;
        for (int i = 0; frame && i < 1500 && Title(frame) == L"Morrowpad"; ++i) Sleep(10);
        EXPECT_EQ(frame ? Title(frame) : L"no frame", name + L" - Morrowpad");
        return frame;
    }
    static DWORD ExitCode(HANDLE process, DWORD ms) {
        return testing_support::CChildJob::ExitCode(process, ms);
    }
    // Closes the frame; its process ends with 0.
    static void Close(HWND frame, HANDLE process) {
        PostMessageW(frame, WM_CLOSE, 0, 0);
        EXPECT_EQ(ExitCode(process, 15000), 0u);
    }

    std::wstring folder_;
    testing_support::CChildJob job_;
};

}  // namespace

// The hand-over is a synchronous send: done when the second has ended.
// Without a file the second instance only activates the first. Closing
// saves the placement.
TEST_F(Instances, ASecondInstanceHandsItsFileToTheFirst) {
    shell::CUniqueHandle first;
    const HWND frame = StartWith(L"a.txt", &first);
    ASSERT_NE(frame, nullptr);
    for (const std::wstring& args : {L" \"" + folder_ + L"b c.txt\" ignored.txt", std::wstring()}) {
        shell::CUniqueHandle other = Start(args);
        ASSERT_TRUE(other);
        EXPECT_EQ(ExitCode(other.get(), 15000), 0u);
        EXPECT_EQ(Title(frame), L"b c.txt - Morrowpad");
    }
    EXPECT_EQ(WaitForSingleObject(first.get(), 0), DWORD(WAIT_TIMEOUT));
    Close(frame, first.get());
    const std::string settings = testing_support::ReadFileText(folder_ + L"setting.ini");
    EXPECT_NE(settings.find(std::string("W\0i\0n\0P\0o\0s\0=\0", 14)), std::string::npos);
}

TEST_F(Instances, WithMultipleInstancesEachStartOpensItsOwnWindow) {
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"setting.ini", "[Setting]\r\nMulInst=Y\r\n"));
    shell::CUniqueHandle first, second;
    const HWND one = StartWith(L"a.txt", &first), two = StartWith(L"b c.txt", &second);
    ASSERT_NE(one, nullptr);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(Title(one), L"a.txt - Morrowpad");
    Close(one, first.get());
    Close(two, second.get());
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
    COPYDATASTRUCT blocks[] = {
        {MORROWPAD_HANDOVER_TAG, DWORD(huge.size()), huge.data()},
        {MORROWPAD_HANDOVER_TAG + 1, 24, const_cast<wchar_t*>(L"x \"b c.txt\"")},
        {MORROWPAD_HANDOVER_TAG, DWORD(unterminated.size() * sizeof(wchar_t)),
         const_cast<wchar_t*>(unterminated.data())},
    };
    for (COPYDATASTRUCT& record : blocks) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record), SMTO_ABORTIFHUNG, 10000,
                            &result);
        EXPECT_EQ(ExitCode(first.get(), 300), DWORD(STILL_ACTIVE))
            << "a block of " << record.cbData << " bytes";
        EXPECT_EQ(Title(frame), L"a.txt - Morrowpad");
    }
    shell::CUniqueHandle second = Start(L" \"" + folder_ + L"b c.txt\"");
    EXPECT_EQ(ExitCode(second.get(), 15000), 0u);
    EXPECT_EQ(Title(frame), L"b c.txt - Morrowpad");
    Close(frame, first.get());
}
