// The fixture of a test that runs the whole frame: the language library
// loaded once per suite, a throw-away program folder per test, Edit.dll, the
// recording message sink emptied, and the frame created on demand and torn
// down with its pending quit message.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "Document.h"
#include "MainFrame.h"
#include "Positions.h"
#include "Resources.h"
#include "Settings.h"
#include "TestSupport.h"

namespace testing_support {

class CFrameTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        language_ = LoadLibraryW((TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language_);
    }
    static void TearDownTestSuite() { shell::SetResourceModule(nullptr); }

    void SetUp() override {
        folder_ = MakeTempFolder(L"mp-frame-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        edit_ = LoadLibraryW((TestFolder() + L"Edit.dll").c_str());
        ASSERT_NE(edit_, nullptr);
        Messages().clear();
        Answers().clear();
    }
    void TearDown() override {
        frame_.reset();
        MSG msg;  // the frame's WM_QUIT, meant for a loop the test does not run
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        settings::SetProgramFolder(L"");
    }

    // Creates the frame as the program would with this command line.
    HWND Create(const std::wstring& line = L"prog") {
        frame_ = std::make_unique<shell::CMainFrame>();
        return frame_->Create(line, edit_);
    }
    // A file of the program folder with these bytes; its full path.
    std::wstring File(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = folder_ + name;
        EXPECT_TRUE(WriteFileText(path, bytes)) << "cannot write " << ::testing::PrintToString(path);
        return path;
    }
    void Command(UINT id) { SendMessageW(frame_->Window(), WM_COMMAND, id, 0); }
    HWND Pane(size_t i) {
        IView* view = documents::ViewOf(frame_->Document(i));
        return view ? view->GetActivePane() : nullptr;
    }
    HWND ActivePane() {
        IView* view = documents::ViewOf(frame_->ActiveDocument());
        return view ? view->GetActivePane() : nullptr;
    }
    static std::wstring Line(HWND pane, int n) {
        const LRESULT len = SendMessageW(pane, MPM_GETLINE, WPARAM(n), 0);
        if (len <= 0) return L"";
        std::wstring s(size_t(len) + 1, L'\0');
        SendMessageW(pane, MPM_GETLINE, WPARAM(n), LPARAM(s.data()));
        s.resize(size_t(len));
        return s;
    }
    static void Type(HWND pane, const std::wstring& text) {
        for (wchar_t c : text) SendMessageW(pane, WM_CHAR, c, 0);
    }
    static void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT) DispatchMessageW(&msg);
    }
    std::wstring TabText(int i) {
        wchar_t buf[256] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = buf;
        item.cchTextMax = 256;
        SendMessageW(frame_->TabStrip(), TCM_GETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
        return buf;
    }
    int TabCount() { return int(SendMessageW(frame_->TabStrip(), TCM_GETITEMCOUNT, 0, 0)); }
    // A window's text: a frame's caption, a document's path.
    static std::wstring TextOf(HWND w) {
        wchar_t buf[1024] = {};
        GetWindowTextW(w, buf, 1024);
        return buf;
    }
    // The clipboard holds this text.
    static void SetClipboardText(const wchar_t* text) {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
        memcpy(GlobalLock(mem), text, bytes);
        GlobalUnlock(mem);
        SetClipboardData(CF_UNICODETEXT, mem);
        CloseClipboard();
    }

    static inline HMODULE language_ = nullptr;
    std::wstring folder_;
    HMODULE edit_ = nullptr;
    std::unique_ptr<shell::CMainFrame> frame_;
};

}  // namespace testing_support
