// The fixture of the search dialogs' tests: the whole frame (FrameFixture.h)
// with the output it is given recorded, a dialog's controls by identifier,
// and the status bar's message. No search may end in a message box.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <memory>
#include <string>

#include "ControlText.h"
#include "FrameFixture.h"
#include "SyntaxList.h"

class RecordingFrame : public shell::CMainFrame {
   public:
    LRESULT MORROWPAD_CALL AppendOutput(const wchar_t* text, int length) override {
        if (text && length > 0) output.append(text, size_t(length));
        return CMainFrame::AppendOutput(text, length);
    }
    std::wstring output;
};

class CSearchFrameTest : public testing_support::CFrameTest {
   protected:
    void SetUp() override {
        CFrameTest::SetUp();
        if (HasFatalFailure()) return;
        auto frame = std::make_unique<RecordingFrame>();
        rec_ = frame.get();
        frame_ = std::move(frame);
        ASSERT_NE(frame_->Create(L"prog", edit_), nullptr);
    }
    void TearDown() override {
        frame_.reset();
        syntax::Reload();
        CFrameTest::TearDown();
        EXPECT_TRUE(testing_support::Messages().empty()) << "a search showed a message box";
    }

    virtual HWND DialogWindow() = 0;
    HWND Item(int id) { return GetDlgItem(DialogWindow(), id); }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    bool Checked(int id) { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }
    void SetField(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }
    std::wstring Field(int id) {
        std::wstring text(size_t(GetWindowTextLengthW(Item(id))) + 1, L'\0');
        text.resize(size_t(GetWindowTextW(Item(id), text.data(), int(text.size()))));
        return text;
    }
    // The edit field of a combo box.
    HWND FieldEdit(int id) {
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        GetComboBoxInfo(Item(id), &info);
        return info.hwndItem;
    }
    // Types into a combo box's field as the user does (each key an edit notification).
    void TypeInto(int id, const std::wstring& text) {
        for (wchar_t c : text) SendMessageW(FieldEdit(id), WM_CHAR, c, 0);
    }
    std::wstring Status() { return testing_support::StatusTextOf(frame_->StatusBar()); }
    std::wstring& Output() { return rec_->output; }

    RecordingFrame* rec_ = nullptr;
};
