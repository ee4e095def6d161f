// An edit control created in the test's own process (so that a test can
// reach its file code's hooks), spoken to through its messages.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "EditProtocol.h"
#include "EditWindow.h"

class InProcessEdit : public ::testing::Test {
   protected:
    static void SetUpTestSuite() { RegisterEditClass(GetModuleHandleW(nullptr)); }
    void SetUp() override {
        edit_ = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(edit_, nullptr);
    }
    void TearDown() override { DestroyWindow(edit_); }

    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(edit_, msg, wp, lp); }
    bool Load(const std::wstring& path, int cp = 1252, int brk = LB_CRLF, bool inPlace = false) {
        return Send(inPlace ? MPM_LOADINPLACE : MPM_LOADFILE, reinterpret_cast<WPARAM>(path.c_str()),
                    MAKELPARAM(cp, brk)) == 1;
    }
    // MPM_SAVEFILE or MPM_SAVECOPY; the result, with GetLastError() as the save left it.
    LRESULT Save(UINT msg, const std::wstring& path, const SaveFormat* format = nullptr) {
        SetLastError(0);
        return Send(msg, reinterpret_cast<WPARAM>(path.c_str()), reinterpret_cast<LPARAM>(format));
    }
    void Insert(Position p, const std::wstring& s) {
        TextArg a = {s.c_str(), int(s.size())};
        Send(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&p), reinterpret_cast<LPARAM>(&a));
    }
    void ReplaceLine(int line, const std::wstring& text) {
        Position a = {line, 0}, b = {line, int(Send(MPM_GETLINE, WPARAM(line), 0))};
        Send(MPM_DELETERANGE, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        Insert(a, text);
    }
    std::wstring Text(int lineBreak = LB_CRLF) {
        RangeTextArg arg = {0, 0, INT_MAX, INT_MAX, nullptr, lineBreak};
        std::wstring s(size_t(Send(MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&arg))), L'\0');
        arg.buffer = s.data();
        Send(MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&arg));
        return s;
    }
    std::vector<std::wstring> Lines() {
        std::vector<std::wstring> out;
        for (int i = 0, n = int(Send(MPM_GETLINECOUNT)); i < n; ++i) {
            std::wstring s(size_t(Send(MPM_GETLINE, WPARAM(i), 0)), L'\0');
            Send(MPM_GETLINE, WPARAM(i), reinterpret_cast<LPARAM>(s.data()));
            out.push_back(s);
        }
        return out;
    }
    bool Modified() { return Send(MPM_ISMODIFIED) != 0; }
    std::wstring FileName() {
        const wchar_t* p = reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME));
        return p ? p : L"";
    }

    HWND edit_ = nullptr;
};
