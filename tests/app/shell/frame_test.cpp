// The interim main frame in this process: the command-line file or a new
// document, the hand-over message with good and malformed records, and
// closing, which saves the placement.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "EditProtocol.h"
#include "MainFrame.h"
#include "ProgramIds.h"
#include "Settings.h"
#include "TestSupport.h"
#include "WindowPlacement.h"

using testing_support::WriteFileText;

namespace {

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-frame-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
        ASSERT_NE(edit_, nullptr);
        CreateDirectoryW((folder_ + L"with space").c_str(), nullptr);
        a_ = folder_ + L"with space\\a.txt";
        b_ = folder_ + L"b.txt";
        ASSERT_TRUE(WriteFileText(a_, "alpha\r\nsecond\r\n"));
        ASSERT_TRUE(WriteFileText(b_, "beta\r\n"));
    }
    void TearDown() override {
        if (frame_.Window()) DestroyWindow(frame_.Window());
        MSG msg;  // the frame's WM_QUIT, meant for a loop this test does not run
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        settings::SetProgramFolder(L"");
    }
    std::wstring Line(int n) {
        wchar_t buf[256] = {};
        const LRESULT len = SendMessageW(frame_.EditControl(), MPM_GETLINE, WPARAM(n), LPARAM(buf));
        return std::wstring(buf, size_t(len > 0 && len < 256 ? len : 0));
    }
    std::wstring Title() {
        wchar_t buf[512] = {};
        GetWindowTextW(frame_.Window(), buf, 512);
        return buf;
    }
    LRESULT Send(const COPYDATASTRUCT& r) {
        return SendMessageW(frame_.Window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&r));
    }

    std::wstring folder_, a_, b_;
    HMODULE edit_ = nullptr;
    shell::CMainFrame frame_;
};

}  // namespace

TEST_F(Frame, OpensTheFirstFileOfTheCommandLine) {
    ASSERT_NE(frame_.Create(L"\"C:\\M\\Morrowpad.exe\" \"" + a_ + L"\" \"" + b_ + L"\"", edit_), nullptr);
    EXPECT_EQ(frame_.DocumentPath(), a_);
    EXPECT_EQ(reinterpret_cast<const wchar_t*>(SendMessageW(frame_.EditControl(), MPM_GETFILENAME, 0, 0)),
              a_);
    EXPECT_EQ(Line(0), L"alpha");
    EXPECT_EQ(Title(), L"a.txt - Morrowpad");
    wchar_t cls[64];
    GetClassNameW(frame_.Window(), cls, 64);
    EXPECT_STREQ(cls, MORROWPAD_FRAME_CLASS);
    // The control fills the client area.
    RECT client, edit;
    GetClientRect(frame_.Window(), &client);
    GetClientRect(frame_.EditControl(), &edit);
    EXPECT_EQ(edit.right, client.right);
    EXPECT_EQ(edit.bottom, client.bottom);
}

TEST_F(Frame, WithoutAFileOrWithAMissingOneANewDocumentStarts) {
    settings::WriteInt(settings::File::Setting, L"Setting", L"DefaultFileFormat", LB_LF);
    ASSERT_NE(frame_.Create(L"prog \"" + folder_ + L"missing.txt\"", edit_), nullptr);
    EXPECT_EQ(frame_.DocumentPath(), L"");
    EXPECT_EQ(Title(), L"Untitled - Morrowpad");
    EXPECT_EQ(SendMessageW(frame_.EditControl(), MPM_LINEBREAKTYPE, 0, 0), LB_LF);
    EXPECT_EQ(SendMessageW(frame_.EditControl(), MPM_GETLINECOUNT, 0, 0), 1);
}

TEST_F(Frame, NewReplacesAnOpenFileWithAnEmptyDocument) {
    ASSERT_NE(frame_.Create(L"prog \"" + a_ + L"\"", edit_), nullptr);
    SendMessageW(frame_.Window(), WM_COMMAND, ID_FILE_NEW, 0);
    EXPECT_EQ(frame_.DocumentPath(), L"");
    EXPECT_EQ(Line(0), L"");
    EXPECT_EQ(SendMessageW(frame_.EditControl(), MPM_GETLINECOUNT, 0, 0), 1);
}

TEST_F(Frame, AHandOverOpensItsFirstFile) {
    ASSERT_NE(frame_.Create(L"prog", edit_), nullptr);
    const std::wstring line = L"\"C:\\M\\Morrowpad.exe\" \"" + b_ + L"\" \"" + a_ + L"\"";
    EXPECT_EQ(Send(shell::MakeHandOver(line)), 0);
    EXPECT_EQ(frame_.DocumentPath(), b_);
    EXPECT_EQ(Line(0), L"beta");
    EXPECT_EQ(Title(), L"b.txt - Morrowpad");
}

TEST_F(Frame, MalformedHandOversChangeNothing) {
    ASSERT_NE(frame_.Create(L"prog \"" + a_ + L"\"", edit_), nullptr);
    const std::wstring line = L"prog \"" + b_ + L"\"";
    COPYDATASTRUCT r = shell::MakeHandOver(line);
    r.dwData = 7;  // another tag: a beep
    Send(r);
    r = shell::MakeHandOver(line);
    r.cbData -= 1;  // odd
    Send(r);
    r = shell::MakeHandOver(line);
    r.cbData -= 2;  // the terminator left out
    Send(r);
    r.cbData = 0;
    Send(r);
    const std::wstring noFile = L"prog";
    Send(shell::MakeHandOver(noFile));
    EXPECT_EQ(frame_.DocumentPath(), a_);
    EXPECT_EQ(Line(0), L"alpha");
}

TEST_F(Frame, TheOpenFileInAnotherCaseIsNotOpenedAgain) {
    ASSERT_NE(frame_.Create(L"prog \"" + a_ + L"\"", edit_), nullptr);
    SendMessageW(frame_.EditControl(), WM_CHAR, L'x', 0);
    ASSERT_EQ(SendMessageW(frame_.EditControl(), MPM_ISMODIFIED, 0, 0), 1);
    std::wstring upper = a_;
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z') c = wchar_t(c - 32);
    EXPECT_TRUE(frame_.OpenDocument(upper));
    EXPECT_EQ(SendMessageW(frame_.EditControl(), MPM_ISMODIFIED, 0, 0), 1);  // not reloaded
    EXPECT_EQ(frame_.DocumentPath(), a_);
}

TEST_F(Frame, CloseSavesThePlacementAndDestroysTheWindow) {
    ASSERT_NE(frame_.Create(L"prog", edit_), nullptr);
    const HWND hwnd = frame_.Window();
    SetWindowPos(hwnd, nullptr, 40, 30, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(frame_.Window(), nullptr);
    std::wstring value;
    ASSERT_TRUE(settings::ReadString(settings::File::Setting, L"Setting", L"WinPos", value));
    const auto saved = shell::ParseWinPos(value);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->show, UINT(SW_SHOWNORMAL));
    const RECT expected = {40, 30, 680, 510};
    EXPECT_TRUE(EqualRect(&saved->window, &expected));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
}
