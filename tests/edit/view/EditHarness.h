// The test harness for Edit.dll: a parent window that records notifications,
// and controls created by class name, spoken to only through messages (the
// scripts and captures of tests/support drive them as a person would).
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Capture.h"
#include "ControlScript.h"
#include "ControlText.h"
#include "EditProtocol.h"
#include "Positions.h"
#include "TempDir.h"

using namespace testing_support;

// The pieces f(0) ... f(n - 1), end to end.
template <typename F>
std::wstring Joined(int n, F f) {
    std::wstring s;
    for (int i = 0; i < n; ++i) s += f(i);
    return s;
}

// Shared by every test file of an executable: the parent class is registered
// once, with this one procedure, and all notifications land in one list:
// the positions of EN_MP_TEXTCHANGED (start, old end, new end) and of
// EN_MP_CARETMOVED (old, new).
struct Notice {
    HWND from;
    UINT_PTR id;
    UINT code;
    Position a, b, c;
};
inline std::vector<Notice> g_notices;

inline LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_NOTIFY) return DefWindowProcW(hwnd, msg, wp, lp);
    const auto* t = reinterpret_cast<const TextChangedNotify*>(lp);  // CaretMovedNotify begins alike
    EXPECT_EQ(wp, t->hdr.idFrom);
    const bool text = t->hdr.code == EN_MP_TEXTCHANGED, caret = t->hdr.code == EN_MP_CARETMOVED;
    g_notices.push_back({t->hdr.hwndFrom, t->hdr.idFrom, t->hdr.code, text || caret ? t->start : Position{},
                         text || caret ? t->oldEnd : Position{}, text ? t->newEnd : Position{}});
    return 0;
}

class EditControl : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        library_ = LoadLibraryW(MRPAD_LIBRARY_NAME);
        ASSERT_NE(library_, nullptr);
        WNDCLASSW wc = {0,       ParentProc, 0,       0,       GetModuleHandleW(nullptr),
                        nullptr, nullptr,    nullptr, nullptr, L"EditTestParent"};
        RegisterClassW(&wc);
    }
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"EditTestParent", L"test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        edit_ = Create(7);
        g_notices.clear();
    }
    void TearDown() override { DestroyWindow(parent_); }
    HWND Create(int id) {
        HWND h = CreateWindowExW(0, MRPAD_CLASS_NAME, L"caption", WS_CHILD | WS_VISIBLE, 0, 0, 600, 400,
                                 parent_, reinterpret_cast<HMENU>(INT_PTR(id)), library_, nullptr);
        EXPECT_NE(h, nullptr);
        return h;
    }
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0, HWND to = nullptr) {
        return SendMessageW(to ? to : edit_, msg, wp, lp);
    }
    template <typename T, typename U = void>
    LRESULT SendP(UINT msg, T* a, U* b = nullptr, HWND to = nullptr) {
        return Send(msg, reinterpret_cast<WPARAM>(a), reinterpret_cast<LPARAM>(b), to);
    }
    // A query of the messages whose high bit of wParam asks.
    int Ask(UINT msg) { return int(Send(msg, 0x80000000u)); }
    LRESULT Insert(const std::wstring& s, Position* at = nullptr, HWND to = nullptr) {
        TextArg arg = {s.c_str(), int(s.size())};
        return SendP(MPM_INSERTTEXT, at, &arg, to);
    }
    std::wstring All(HWND to = nullptr) {
        RangeTextArg arg = {0, 0, INT_MAX, INT_MAX, nullptr, LB_LF};
        std::wstring s(size_t(SendP(MPM_GETRANGETEXT, &arg, (void*)nullptr, to)), L'\0');
        arg.buffer = s.data();
        SendP(MPM_GETRANGETEXT, &arg, (void*)nullptr, to);
        return s;
    }
    // A line read into a buffer filled with '#': the copy ends with its zero.
    std::wstring Line(int i) {
        std::wstring s(size_t(Send(MPM_GETLINE, WPARAM(i))) + 1, L'#');
        Send(MPM_GETLINE, WPARAM(i), reinterpret_cast<LPARAM>(s.data()));
        EXPECT_EQ(s.back(), L'\0') << "line " << i << " unterminated";
        s.pop_back();
        return s;
    }
    Position Caret() { return CaretOf(edit_); }
    void Command(int id, HWND to = nullptr) { Send(WM_COMMAND, WPARAM(id), 0, to); }
    std::wstring State() { return testing_support::State(edit_); }
    void SetState(const std::wstring& s) { testing_support::SetState(edit_, s); }
    void Script(const std::wstring& before, const std::vector<Step>& steps) {
        testing_support::Script(edit_, before, steps, cw_, lh_);
    }
    // Hit test: line, column, row, sub-row.
    std::vector<int> Hit(int x, int y, HWND to = nullptr) {
        int out[4] = {-1, -1, -1, -1};
        Send(MPM_HITTEST, reinterpret_cast<WPARAM>(out), MAKELPARAM(x, y), to);
        return {out[0], out[1], out[2], out[3]};
    }
    // A line's attribute of `kind`; -2 when the line is refused.
    int Attr(int line, int kind) {
        LineAttrArg a = {kind, -1};
        return SendP(MPM_GETLINEATTR, (void*)(INT_PTR)line, &a) ? a.value : -2;
    }
    void SetLevels(int first, int last, int level) {
        for (int i = first; i <= last; ++i) {
            LineAttrArg a = {LA_FOLDLEVEL, level};
            SendP(MPM_SETLINEATTR, (void*)(INT_PTR)i, &a);
        }
    }

    static inline HMODULE library_ = nullptr;
    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
    int cw_ = 8, lh_ = 16;  // a character cell, for scripts that click
    TempDir dir_;           // its files outlive the controls, which TearDown destroys
};

// A control's colour table with some entries of the test's own.
struct Colours {
    Colours(HWND edit, std::initializer_list<std::pair<int, COLORREF>> set) {
        std::copy_n(reinterpret_cast<const COLORREF*>(SendMessageW(edit, MPM_COLORTABLE, 0, 0)),
                    COLOR_TABLE_ENTRIES, table);
        for (auto [i, c] : set) table[i] = c;
        SendMessageW(edit, MPM_COLORTABLE, reinterpret_cast<WPARAM>(table), 0);
    }
    COLORREF operator[](int i) const { return table[i]; }
    COLORREF table[COLOR_TABLE_ENTRIES];
};

// A control in one visible parent shared by a whole suite (under a bare X
// server without a window manager, hiding a shown top-level window waits two
// seconds), with a fixed-pitch font: cw_ and lh_ are a character's width and
// a line's height.
class ShownEditControl : public EditControl {
   protected:
    static void SetUpTestSuite() {
        EditControl::SetUpTestSuite();
        shown_ = CreateWindowExW(0, L"EditTestParent", L"shown", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800,
                                 600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    void SetUp() override {
        parent_ = shown_;
        edit_ = Create(7);
        font_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                            FIXED_PITCH, L"Courier New");
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_), 1);
        cw_ = Width(L"x");
        lh_ = int(Send(MPM_LINEHEIGHT));
        ASSERT_GT(cw_, 0);
        g_notices.clear();
    }
    void TearDown() override {
        DestroyWindow(edit_);
        DeleteObject(font_);
    }
    int Width(const std::wstring& s) {
        return int(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(s.c_str()), s.size()));
    }
    void Resize(int width, int height) { SetWindowPos(edit_, nullptr, 0, 0, width, height, SWP_NOZORDER); }
    // Where the system caret stands once the control has painted; x = -1 without one.
    POINT CaretPoint() {
        UpdateWindow(edit_);
        POINT pt = {-1, -1};
        GetCaretPos(&pt);
        return pt;
    }
    // The middle of a character cell, for text starting at x = 2 (no line numbers).
    LPARAM At(int col, int row) { return MAKELPARAM(2 + col * cw_ + 1, row * lh_ + lh_ / 2); }

    static inline HWND shown_ = nullptr;
    HFONT font_ = nullptr;
};
