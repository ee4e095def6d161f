// A document pane in a stand-in document window (which passes the
// control's notifications to the pane as the real one does), driven as the
// message loop drives it: each key goes first through message 895 and, when
// not consumed, on to the pane; the typing pause is the pane's timer
// message. Scripts run on it: characters are typed, and "{Name}" or
// "{Name argument}" is a step of `steps_`, which a test's fixture extends.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "AutoBox.h"
#include "CommandIds.h"
#include "FrameFixture.h"
#include "MarkedText.h"
#include "SettingsKeys.h"
#include "TextView.h"

namespace documents_testing {

using documents::CAutoBox;
using documents::CTextView;
using testing_support::CaretOf;
using testing_support::SetCaret;
using Words = std::vector<std::wstring>;

inline LRESULT CALLBACK StandInDocument(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_NOTIFY) return DefWindowProcW(hwnd, msg, wp, lp);
    CTextView::Reflect(reinterpret_cast<const NMHDR*>(lp));
    return 0;
}

class CPaneTest : public testing_support::CFrameTest {
   protected:
    void SetUp() override {
        CFrameTest::SetUp();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &StandInDocument;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"StandInDocument";
        RegisterClassW(&wc);
        const std::pair<const wchar_t*, UINT> commands[] = {
            {L"Undo", ECMD_UNDO},       {L"Left", ECMD_LEFT},       {L"SelLeft", ECMD_SEL_LEFT},
            {L"Break", ECMD_LINEBREAK}, {L"Off", ID_AUTO_COMPLETE}, {L"Remove", ID_REMOVE_BLANK_LINES}};
        for (const auto& [name, id] : commands) steps_[name] = [this, id = id] { Command(id); };
        const std::pair<const wchar_t*, WPARAM> keys[] = {
            {L"Down", VK_DOWN}, {L"Up", VK_UP}, {L"Enter", VK_RETURN}, {L"Tab", VK_TAB}};
        for (const auto& [name, vk] : keys) steps_[name] = [this, vk = vk] { Press(vk); };
        steps_[L"Pause"] = [this] { Pause(); };
        steps_[L"Esc"] = [this] { Key(WM_CHAR, 27); };
        steps_[L"Back"] = [this] {
            Press(VK_BACK);
            Key(WM_CHAR, 8);
        };
        steps_[L"Caret"] = [this] {  // "line column"
            int line = 0, column = 0;
            swscanf(arg_.c_str(), L"%d %d", &line, &column);
            SetCaret(pane_, line, column);
        };
        steps_[L"Select"] = [this] {
            Position a = {}, b = {};
            swscanf(arg_.c_str(), L"%d %d %d %d", &a.line, &a.column, &b.line, &b.column);
            testing_support::Select(pane_, a, b);
        };
        steps_[L"ReadOnly"] = [this] { Send(MPM_READONLY, 1); };
        steps_[L"NewPane"] = [this] { NewPane(); };
        NewPane();
    }
    void TearDown() override {
        if (parent_) DestroyWindow(parent_);
        CFrameTest::TearDown();
    }
    CTextView* MakeView(int viewType = 0, HMODULE edit = nullptr) {
        return CTextView::Create(parent_, {edit ? edit : edit_, parent_, ui_, env_, viewType});
    }
    // A new pane in a new window, with `document_` (marked as for
    // SetMarkedText) as its text.
    void NewPane() {
        if (parent_) DestroyWindow(parent_);
        parent_ = CreateWindowExW(0, L"StandInDocument", L"doc", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640,
                                  480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        view_ = MakeView();
        ASSERT_NE(view_, nullptr);
        pane_ = view_->Window();
        MoveWindow(pane_, 0, 0, 600, 400, TRUE);
        SetForegroundWindow(parent_);
        SetFocus(pane_);
        testing_support::SetMarkedText(pane_, document_);
    }
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(pane_, msg, wp, lp); }
    void Command(UINT id, UINT code = 0) { Send(WM_COMMAND, MAKEWPARAM(id, code)); }
    void Insert(const std::wstring& text) { testing_support::SetMarkedText(pane_, text); }
    // One key as the message loop hands it on: whether the list consumed it.
    bool Key(UINT message, WPARAM wp) {
        MSG msg = {pane_, message, wp, 0, 0, {0, 0}};
        if (Send(MPM_TRANSLATEACCEL, 0, LPARAM(&msg))) return true;
        Send(message, wp);
        return false;
    }
    bool Press(WPARAM vk) { return Key(WM_KEYDOWN, vk); }
    // The typing pause: the pane's timer, when the typing started it.
    void Pause() {
        if (Box() && Box()->TypingPending()) Send(WM_TIMER, CAutoBox::kTypingTimer);
    }
    void Run(const std::wstring& script) {
        for (size_t i = 0; i < script.size(); ++i) {
            if (script[i] != L'{') {
                Key(WM_CHAR, script[i]);
                continue;
            }
            const size_t end = script.find(L'}', i), space = std::min(script.find(L' ', i), end);
            const auto step = steps_.find(script.substr(i + 1, space - i - 1));
            ASSERT_NE(step, steps_.end()) << testing::PrintToString(script.substr(i));
            arg_ = space < end ? script.substr(space + 1, end - space - 1) : L"";
            step->second();
            i = end;
        }
    }
    CAutoBox* Box() { return view_->AutoBox(); }
    bool Shown() { return Box() && Box()->Visible(); }
    // The list's items in its order, the selected one marked "*".
    Words Listed() {
        Words words;
        const HWND list = Box() ? Box()->ListWindow() : nullptr;
        const LRESULT selected = list ? SendMessageW(list, LB_GETCURSEL, 0, 0) : -1;
        for (LRESULT i = 0; list && i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[256] = {};
            SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(text));
            words.push_back((i == selected ? L"*" : L"") + std::wstring(text));
        }
        return words;
    }
    // The caret's line (or the whole text) marked, then the list when it
    // shows: "con| [*constant control]".
    std::wstring Shows(bool caretLine = true) {
        const std::wstring shown = testing_support::MarkedText(pane_, caretLine);
        std::wstring list;
        for (const std::wstring& word : Listed()) list += (list.empty() ? L"" : L" ") + word;
        return Shown() ? shown + L" [" + list + L"]" : shown;
    }
    // Types `prefix` and waits the pause out: whether the list is shown.
    bool Offer(const wchar_t* prefix) {
        Run(prefix);
        Pause();
        return Shown();
    }

    IUpdateUI* ui_ = nullptr;  // given to every pane made
    IDevEnv* env_ = nullptr;
    std::wstring document_;
    std::map<std::wstring, std::function<void()>> steps_;
    std::wstring arg_;  // of the step being run
    HWND parent_ = nullptr, pane_ = nullptr;
    CTextView* view_ = nullptr;
};

}  // namespace documents_testing
