// An edit control ("MRPAD32") as a person uses it: its text with the caret
// and selection marked (State, SetState), keys through its key map, and
// scripts of steps (keys, commands, typing, messages, drags, the clipboard)
// checked as they go, in the way of an input document, a macro and the
// expected document.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "EditProtocol.h"
#include "MarkedText.h"
#include "Positions.h"

namespace testing_support {

// The text with its caret and selection marked (MarkedText.h: "ab[cd]|" is
// the caret after "abcd" with "cd" selected; a column selection is not
// marked).
inline std::wstring State(HWND edit) { return MarkedText(edit); }

// Replaces the text with a marked one, with no undo history.
inline void SetState(HWND edit, const std::wstring& marked) {
    Position a = {0, 0}, b = {INT_MAX, INT_MAX};
    SendMessageW(edit, MPM_DELETERANGE, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    SetMarkedText(edit, marked);
    if (marked.find_first_of(L"|[") == std::wstring::npos) SetCaret(edit, 0, 0);
    SendMessageW(edit, MPM_EMPTYUNDO, 0, 0);
}

enum Mod { C = 1, S = 2, A = 4 };  // Ctrl, Shift, Alt

// Sets which keys the thread sees as held (mods of Mod, and vk).
inline void Keys(int mods, int vk = 0) {
    BYTE state[256] = {};
    state[VK_CONTROL] = mods & C ? 0x80 : 0;
    state[VK_SHIFT] = mods & S ? 0x80 : 0;
    state[VK_MENU] = mods & A ? 0x80 : 0;
    if (vk) state[vk] = 0x80;
    SetKeyboardState(state);
}
// A key through the control's key map (message 895), as a host's message
// loop does; true when the key map took it.
inline bool Press(HWND edit, int vk, int mods = 0) {
    Keys(mods, vk);
    MSG msg = {edit, WM_KEYDOWN, WPARAM(vk), 1, 0, {0, 0}};
    const bool translated = SendMessageW(edit, MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(&msg)) != 0;
    if (!translated) SendMessageW(edit, WM_KEYDOWN, WPARAM(vk), 1);
    Keys(0);
    return translated;
}

// The clipboard's text, with " (block)" when it holds the column marker.
inline std::wstring ClipboardText(HWND owner) {
    std::wstring s;
    if (!OpenClipboard(owner)) return L"<closed>";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        s = static_cast<const wchar_t*>(GlobalLock(h));
        GlobalUnlock(h);
    }
    if (IsClipboardFormatAvailable(RegisterClipboardFormatW(L"MSDEVColumnSelect"))) s += L" (block)";
    CloseClipboard();
    return s;
}
inline void SetClipboardText(HWND owner, const std::wstring& s, bool block) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, (s.size() + 1) * sizeof(wchar_t));
    std::copy_n(s.c_str(), s.size() + 1, static_cast<wchar_t*>(GlobalLock(g)));
    GlobalUnlock(g);
    SetClipboardData(CF_UNICODETEXT, g);
    if (block) SetClipboardData(RegisterClipboardFormatW(L"MSDEVColumnSelect"), nullptr);
    CloseClipboard();
}
// The text of a global memory block a message answered (freed), or "<null>".
inline std::wstring GlobalText(LRESULT r) {
    if (!r) return L"<null>";
    HGLOBAL g = reinterpret_cast<HGLOBAL>(r);
    std::wstring s(static_cast<const wchar_t*>(GlobalLock(g)));
    GlobalUnlock(g);
    GlobalFree(g);
    return s;
}

// One step of a script: a key, a command, typed text, text inserted at the
// caret or a range deleted by message, the caret put, a drag over character
// cells, a clipboard text to paste, any message (with the answer expected,
// unless kAny), or a check of the state, the clipboard or the selected text.
constexpr LRESULT kAny = LLONG_MIN;
struct Step {
    enum Op { kKey, kCmd, kType, kIns, kDel, kGo, kDrag, kPut, kMsg, kIs, kClip, kSelText } op;
    int a = 0, b = 0, c = 0, d = 0, mods = 0;
    const wchar_t* text = nullptr;
    WPARAM w = 0;
    LPARAM l = 0;
    LRESULT answer = kAny;
};
inline Step Key(int vk, int mods = 0) { return {Step::kKey, vk, 0, 0, 0, mods}; }
inline Step Cmd(int id) { return {Step::kCmd, id}; }
inline Step Type(const wchar_t* s) { return {Step::kType, 0, 0, 0, 0, 0, s}; }
inline Step Ins(const wchar_t* s, LRESULT answer = kAny) {
    return {Step::kIns, 0, 0, 0, 0, 0, s, 0, 0, answer};
}
inline Step Del(Position a, Position b, LRESULT answer = kAny) {
    return {Step::kDel, a.line, a.column, b.line, b.column, 0, nullptr, 0, 0, answer};
}
inline Step Go(int line, int column) { return {Step::kGo, line, column}; }
inline Step Drag(int col, int row, int toCol, int toRow, int mods = 0) {
    return {Step::kDrag, col, row, toCol, toRow, mods};
}
inline Step PutClip(const wchar_t* s, bool block = false) { return {Step::kPut, block, 0, 0, 0, 0, s}; }
inline Step Msg(UINT msg, WPARAM w = 0, LPARAM l = 0, LRESULT answer = kAny) {
    return {Step::kMsg, int(msg), 0, 0, 0, 0, nullptr, w, l, answer};
}
inline Step Kind(int kind) { return Msg(MPM_GETSELKIND, 0, 0, kind); }
inline Step Top(int line) { return Msg(MPM_FIRSTVISIBLE, 0x80000000u, 0, line); }  // the first visible line
inline Step Is(const wchar_t* state) { return {Step::kIs, 0, 0, 0, 0, 0, state}; }
inline Step Clip(const wchar_t* s) { return {Step::kClip, 0, 0, 0, 0, 0, s}; }
inline Step SelIs(const wchar_t* s) { return {Step::kSelText, 0, 0, 0, 0, 0, s}; }

// Runs the steps from `before` (a marked text), checking as it goes.
// Cells are `cellWidth` by `rowHeight` pixels from x = 2 (no line numbers).
inline void Script(HWND edit, const std::wstring& before, const std::vector<Step>& steps, int cellWidth = 8,
                   int rowHeight = 16) {
    SetState(edit, before);
    auto at = [&](int col, int row) {
        return MAKELPARAM(2 + col * cellWidth + 1, row * rowHeight + rowHeight / 2);
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE(testing::Message() << "step " << i + 1);
        Position p = {s.a, s.b}, q = {s.c, s.d};
        TextArg arg = {s.text, -1};
        LRESULT r = kAny;
        switch (s.op) {
            case Step::kKey: Press(edit, s.a, s.mods); break;
            case Step::kCmd: SendMessageW(edit, WM_COMMAND, WPARAM(s.a), 0); break;
            case Step::kType:
                for (const wchar_t* c = s.text; *c; ++c) {
                    Keys(0, *c == L'\t' ? VK_TAB : 0);  // a typed tab comes with the Tab key held
                    SendMessageW(edit, WM_CHAR, *c, 1);
                }
                Keys(0);
                break;
            case Step::kIns: r = SendMessageW(edit, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg)); break;
            case Step::kDel:
                r = SendMessageW(edit, MPM_DELETERANGE, reinterpret_cast<WPARAM>(&p),
                                 reinterpret_cast<LPARAM>(&q));
                break;
            case Step::kGo: SetCaret(edit, s.a, s.b); break;
            case Step::kDrag:
                Keys(s.mods);
                SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, at(s.a, s.b));
                if (!(p == q)) SendMessageW(edit, WM_MOUSEMOVE, MK_LBUTTON, at(s.c, s.d));
                SendMessageW(edit, WM_LBUTTONUP, 0, at(s.c, s.d));
                Keys(0);
                break;
            case Step::kPut: SetClipboardText(edit, s.text, s.a != 0); break;
            case Step::kMsg: r = SendMessageW(edit, UINT(s.a), s.w, s.l); break;
            case Step::kIs: EXPECT_EQ(State(edit), s.text); break;
            case Step::kClip: EXPECT_EQ(ClipboardText(edit), s.text); break;
            case Step::kSelText:
                EXPECT_EQ(GlobalText(SendMessageW(edit, MPM_GETSELTEXT, 0, 0)), s.text);
                break;
        }
        if (s.answer != kAny) {
            EXPECT_EQ(r, s.answer) << "message " << s.a;
        }
    }
}

}  // namespace testing_support
