// The command bar over the language library's main menu, in a rebar of a
// stand-in frame: its buttons, opening menus by mouse and keyboard, moving
// between them, keyboard mode, the chosen command reaching the owner, fonts.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <memory>
#include <string>

#include "BarsHost.h"
#include "CommandIds.h"
#include "Input.h"

using bars_test::MenuScript;
using bars_test::OpenMenuWindow;
using bars_test::Pump;
using testing_support::MouseAt;
using testing_support::RealKey;

namespace {

MSG KeyMessage(HWND hwnd, UINT message, WPARAM vk, bool alt) {
    MSG msg = {hwnd, message, vk, 1 | LPARAM(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC)) << 16};
    if (alt) msg.lParam |= LPARAM(1) << 29;
    if (message == WM_KEYUP || message == WM_SYSKEYUP) msg.lParam |= LPARAM(3) << 30;
    return msg;
}

// Should a menu open where none is meant to, it is closed again.
MenuScript Guard() { return MenuScript({MenuScript::WaitForMenu(), MenuScript::End()}); }

class CommandBar : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring folder = path;
        folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
        language_ = LoadLibraryExW((folder + L"mui\\en.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(language_, nullptr);
        menu_ = LoadMenuW(language_, MAKEINTRESOURCEW(IDR_MAINFRAME));
        ASSERT_NE(menu_, nullptr);
        SetCursorPos(1200, 1000);  // away from every menu
        frame_ = std::make_unique<bars_test::TestFrame>();
        ASSERT_TRUE(frame_->AddCommandBar(menu_));
    }
    void TearDown() override {
        SetCursorPos(1200, 1000);
        frame_.reset();
        if (menu_) DestroyMenu(menu_);
        if (language_) FreeLibrary(language_);
    }
    shell::CCommandBar& Bar() { return frame_->Bar(); }
    HMENU Sub(int i) { return GetSubMenu(menu_, i); }
    bool Press(UINT message, WPARAM vk, bool alt = false) {
        MSG msg = KeyMessage(frame_->Window(), message, vk, alt);
        return Bar().PreTranslate(&msg);
    }
    // Alt+letter: true once the menu it opens is closed.
    bool AltLetter(WPARAM vk) { return Press(WM_SYSKEYDOWN, vk, true); }
    // Alt tapped alone: keyboard mode.
    void TapAlt() {
        Press(WM_SYSKEYDOWN, VK_MENU);
        Press(WM_SYSKEYUP, VK_MENU);
    }
    // The popup handles the owner was told about, in order.
    std::vector<HMENU> Popups() {
        std::vector<HMENU> popups;
        for (WPARAM wp : frame_->Params(WM_INITMENUPOPUP)) popups.push_back(reinterpret_cast<HMENU>(wp));
        return popups;
    }
    MenuScript::Step PopupsSeen(size_t n) {
        return [this, n] { return Popups().size() >= n; };
    }
    // A button's centre, on the bar or on the screen.
    POINT ButtonCentre(int index, bool screen = false) {
        RECT rc = {};
        SendMessageW(Bar().Window(), TB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&rc));
        POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        if (screen) ClientToScreen(Bar().Window(), &pt);
        return pt;
    }
    // Real keys, one pressed and let go after the other.
    static void RealKeys(std::initializer_list<WORD> keys) {
        for (WORD vk : keys) RealKey(vk, false), RealKey(vk, true);
    }
    // The frame's loop in short: the bar sees each message first. Runs
    // until `done` or 1.5 s.
    template <class Done>
    void RunLikeTheFrame(Done done) {
        const DWORD end = GetTickCount() + 1500;
        while (LONG(GetTickCount() - end) < 0 && !done()) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (Bar().PreTranslate(&msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(10);
        }
    }
    void Click(int index) {
        const POINT pt = ButtonCentre(index);
        SendMessageW(Bar().Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        SendMessageW(Bar().Window(), WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    }

    HMODULE language_ = nullptr;
    HMENU menu_ = nullptr;
    std::unique_ptr<bars_test::TestFrame> frame_;
};

}  // namespace

TEST_F(CommandBar, HasOneButtonPerTopLevelItemWithItsText) {
    const int count = GetMenuItemCount(menu_);
    ASSERT_GE(count, 5);
    EXPECT_EQ(Bar().ButtonCount(), count);
    EXPECT_EQ(Bar().Menu(), menu_);
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = {}, shown[64] = {};
        GetMenuStringW(menu_, UINT(i), text, 64, MF_BYPOSITION);
        EXPECT_EQ(Bar().ButtonText(i), text) << i;
        SendMessageW(Bar().Window(), TB_GETBUTTONTEXTW, 0xFE00 + i, reinterpret_cast<LPARAM>(shown));
        EXPECT_STREQ(shown, text) << i;
    }
    EXPECT_EQ(Bar().ButtonText(0), L"&File");
    EXPECT_EQ(std::vector<int>({Bar().ButtonForMnemonic(L'f'), Bar().ButtonForMnemonic(L'E'),
                                Bar().ButtonForMnemonic(L'Q')}),
              std::vector<int>({0, 1, -1}));
    // The buttons sit side by side on one row, the first at the left.
    const POINT first = ButtonCentre(0), second = ButtonCentre(1);
    EXPECT_EQ(first.y, second.y);
    EXPECT_LT(first.x, second.x);
    EXPECT_GT(Bar().IdealSize().cx, 5 * (second.x - first.x));
    EXPECT_GT(Bar().IdealSize().cy, 8);
}

TEST_F(CommandBar, AltLetterOpensThatMenuAndTheOwnerHearsOfIt) {
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
    EXPECT_TRUE(AltLetter('F'));  // returns once the menu is closed
    EXPECT_TRUE(script.Completed());
    ASSERT_FALSE(Popups().empty());
    EXPECT_EQ(Popups().front(), Sub(0));
    EXPECT_GE(frame_->Count(WM_MENUSELECT), 1);
    EXPECT_EQ(frame_->Count(WM_UNINITMENUPOPUP), frame_->Count(WM_INITMENUPOPUP));
    Pump();
    EXPECT_EQ(frame_->Count(WM_COMMAND), 0);
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, ReleasingAltAfterAltLetterLeavesTheMenuOpen) {
    bool stillOpen = false;
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key('F', WM_SYSKEYUP),
                       MenuScript::Key(VK_MENU, WM_SYSKEYUP), [] { return true; },
                       [&] { return stillOpen = OpenMenuWindow() != nullptr, true; }, MenuScript::End()});
    EXPECT_TRUE(AltLetter('F'));
    EXPECT_TRUE(script.Completed());
    EXPECT_TRUE(stillOpen);
}

TEST_F(CommandBar, RealKeysThroughALoopLikeTheFramesOpenTheMenus) {
    SetForegroundWindow(frame_->Window());
    SetFocus(frame_->Window());
    {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
        RealKey(VK_MENU, false);
        RealKeys({'F'});
        RealKey(VK_MENU, true);
        RunLikeTheFrame([&] { return script.Completed(); });
        EXPECT_TRUE(script.Completed());
    }
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(Popups().front(), Sub(0));
    EXPECT_FALSE(Bar().InKeyboardMode());
    // Alt tapped, Right and Down: the second menu.
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
    RealKeys({VK_MENU});
    RunLikeTheFrame([&] { return Bar().InKeyboardMode(); });
    EXPECT_TRUE(Bar().InKeyboardMode());
    RealKeys({VK_RIGHT, VK_DOWN});
    RunLikeTheFrame([&] { return script.Completed(); });
    EXPECT_TRUE(script.Completed());
    ASSERT_EQ(Popups().size(), 2u);
    EXPECT_EQ(Popups()[1], Sub(1));
}

TEST_F(CommandBar, AltWithAKeyNoMenuHasGoesOnAndIsNoTap) {
    MenuScript guard = Guard();
    EXPECT_FALSE(AltLetter('Q'));
    EXPECT_FALSE(AltLetter(VK_SPACE));  // the window menu stays reachable
    EXPECT_FALSE(Press(WM_SYSKEYDOWN, VK_MENU));
    EXPECT_FALSE(Press(WM_SYSKEYDOWN, VK_F4, true));
    EXPECT_FALSE(Press(WM_SYSKEYUP, VK_MENU));
    EXPECT_FALSE(Bar().InKeyboardMode());
    EXPECT_TRUE(frame_->NothingRecorded());
}

TEST_F(CommandBar, TheChosenCommandReachesTheOwnerFromAClickOrTheKeyboard) {
    {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_DOWN), MenuScript::Key(VK_RETURN)});
        Click(0);
        EXPECT_TRUE(script.Completed());
    }
    ASSERT_FALSE(Popups().empty());
    EXPECT_EQ(Popups().front(), Sub(0));
    Pump();  // the command is posted, as from a window menu
    EXPECT_EQ(frame_->Params(WM_COMMAND), std::vector<WPARAM>{ID_FILE_NEW});
    // Opened from the keyboard, the first item is selected.
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_RETURN)});
    EXPECT_TRUE(AltLetter('F'));
    EXPECT_TRUE(script.Completed());
    Pump();
    EXPECT_EQ(frame_->Params(WM_COMMAND), (std::vector<WPARAM>{ID_FILE_NEW, ID_FILE_NEW}));
}

TEST_F(CommandBar, RightAndLeftInAnOpenMenuMoveToTheNeighbours) {
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_RIGHT), PopupsSeen(2),
                       MenuScript::WaitForMenu(), MenuScript::Key(VK_LEFT), PopupsSeen(3),
                       MenuScript::WaitForMenu(), MenuScript::Key(VK_LEFT), PopupsSeen(4),
                       MenuScript::WaitForMenu(), MenuScript::End()});
    EXPECT_TRUE(AltLetter('F'));
    EXPECT_TRUE(script.Completed());
    // Left of the first wraps around to the last.
    EXPECT_EQ(Popups(), (std::vector<HMENU>{Sub(0), Sub(1), Sub(0), Sub(Bar().ButtonCount() - 1)}));
    Pump();
    EXPECT_EQ(frame_->Count(WM_COMMAND), 0);
}

TEST_F(CommandBar, TheMouseOverAnotherButtonOpensItsMenuInstead) {
    const POINT search = ButtonCentre(2, true);
    MenuScript script({MenuScript::WaitForMenu(), [&] { return MouseAt(search, false), true; }, PopupsSeen(2),
                       MenuScript::WaitForMenu(), MenuScript::End()});
    Click(0);
    EXPECT_TRUE(script.Completed());
    EXPECT_EQ(Popups(), (std::vector<HMENU>{Sub(0), Sub(2)}));
}

TEST_F(CommandBar, AClickOnTheOpenButtonClosesItsMenu) {
    const POINT file = ButtonCentre(0, true);
    MenuScript script({MenuScript::WaitForMenu(), [&] { return MouseAt(file, true), true; }});
    Click(0);  // returns once the menu is closed
    EXPECT_TRUE(script.Completed());
    EXPECT_EQ(Popups().size(), 1u);
    EXPECT_EQ(OpenMenuWindow(), nullptr);
    Pump();
    EXPECT_EQ(frame_->Count(WM_COMMAND), 0);
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, RightOnAnItemWithASubmenuOpensTheSubmenu) {
    // File: the eighth item (after New, Template, Open, Close, Save, Save As
    // and a separator) is the recent-documents submenu.
    HMENU recent = GetSubMenu(Sub(0), 7);
    ASSERT_NE(recent, nullptr);
    std::vector<MenuScript::Step> steps = {MenuScript::WaitForMenu()};
    for (int i = 0; i < 6; ++i) steps.push_back(MenuScript::Key(VK_DOWN));  // New is selected already
    for (const auto& s : {MenuScript::Key(VK_RIGHT), PopupsSeen(2), MenuScript::End()}) steps.push_back(s);
    MenuScript script(std::move(steps));
    EXPECT_TRUE(AltLetter('F'));
    EXPECT_TRUE(script.Completed());
    EXPECT_EQ(Popups(), (std::vector<HMENU>{Sub(0), recent}));
}

TEST_F(CommandBar, KeysOfAnotherTopLevelWindowAreLeftAlone) {
    // A modeless dialog's own mnemonics stay its own.
    MenuScript guard = Guard();
    HWND other = CreateWindowExW(0, L"STATIC", L"Dialog", WS_POPUP | WS_VISIBLE, 700, 100, 100, 80,
                                 frame_->Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    for (MSG msg : {KeyMessage(other, WM_SYSKEYDOWN, 'F', true), KeyMessage(other, WM_SYSKEYDOWN, VK_F10, false)}) {
        EXPECT_FALSE(Bar().PreTranslate(&msg)) << msg.wParam;
        EXPECT_FALSE(Bar().InKeyboardMode()) << msg.wParam;
    }
    // Keyboard mode ends when keys go to another window.
    TapAlt();
    ASSERT_TRUE(Bar().InKeyboardMode());
    MSG right = KeyMessage(other, WM_KEYDOWN, VK_RIGHT, false);
    EXPECT_FALSE(Bar().PreTranslate(&right));
    EXPECT_FALSE(Bar().InKeyboardMode());
    EXPECT_EQ(frame_->Count(WM_INITMENUPOPUP), 0);
    DestroyWindow(other);
}

TEST_F(CommandBar, KeyboardModeFromAltOrF10MovesTheHotButtonAndEnds) {
    MenuScript guard = Guard();
    EXPECT_FALSE(Press(WM_SYSKEYDOWN, VK_MENU));
    EXPECT_TRUE(Press(WM_SYSKEYUP, VK_MENU));
    EXPECT_TRUE(Bar().InKeyboardMode());
    EXPECT_EQ(Bar().HotButton(), 0);
    EXPECT_TRUE(Press(WM_KEYDOWN, VK_RIGHT));
    EXPECT_EQ(Bar().HotButton(), 1);
    EXPECT_TRUE(Press(WM_KEYDOWN, VK_LEFT));
    EXPECT_TRUE(Press(WM_KEYDOWN, VK_LEFT));
    EXPECT_EQ(Bar().HotButton(), Bar().ButtonCount() - 1);
    EXPECT_TRUE(Press(WM_KEYDOWN, VK_ESCAPE));
    EXPECT_FALSE(Bar().InKeyboardMode());
    EXPECT_EQ(Bar().HotButton(), -1);
    EXPECT_TRUE(frame_->NothingRecorded());
    // F10, and a click handed to the bar leaves it.
    EXPECT_TRUE(Press(WM_SYSKEYDOWN, VK_F10));
    EXPECT_TRUE(Press(WM_SYSKEYUP, VK_F10));  // else the window menu would open
    EXPECT_TRUE(Bar().InKeyboardMode());
    EXPECT_EQ(Bar().HotButton(), 0);
    MSG click = {frame_->Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 200)};
    EXPECT_FALSE(Bar().PreTranslate(&click));
    EXPECT_FALSE(Bar().InKeyboardMode());
    // The application deactivated.
    TapAlt();
    ASSERT_TRUE(Bar().InKeyboardMode());
    SendMessageW(frame_->Window(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_FALSE(Bar().InKeyboardMode());
    // A real click the bar is not shown (the frame's loop may hand it keys only).
    TapAlt();
    ASSERT_TRUE(Bar().InKeyboardMode());
    RECT rc;
    GetClientRect(frame_->Window(), &rc);
    POINT middle = {rc.right / 2, rc.bottom / 2};
    ClientToScreen(frame_->Window(), &middle);
    MouseAt(middle, true);
    Pump();
    EXPECT_FALSE(Bar().InKeyboardMode());
    EXPECT_EQ(Bar().HotButton(), -1);
}

TEST_F(CommandBar, SpaceInKeyboardModeOpensTheWindowMenu) {
    TapAlt();
    EXPECT_TRUE(Press(WM_KEYDOWN, VK_SPACE));
    EXPECT_FALSE(Bar().InKeyboardMode());
    {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
        Pump();  // the window menu's loop runs here until the script ends it
    }
    ASSERT_EQ(frame_->Count(WM_SYSCOMMAND), 1);
    EXPECT_EQ(frame_->FirstParam(WM_SYSCOMMAND) & 0xFFF0, WPARAM(SC_KEYMENU));
}

TEST_F(CommandBar, InKeyboardModeDownOpensTheHotMenuAndLettersOpenTheirs) {
    TapAlt();
    Press(WM_KEYDOWN, VK_RIGHT);
    {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
        EXPECT_TRUE(Press(WM_KEYDOWN, VK_DOWN));
        EXPECT_TRUE(script.Completed());
    }
    EXPECT_EQ(Popups(), std::vector<HMENU>{Sub(1)});
    EXPECT_FALSE(Bar().InKeyboardMode());
    TapAlt();
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
    EXPECT_TRUE(Press(WM_KEYDOWN, 'S'));  // &Search
    EXPECT_TRUE(script.Completed());
    EXPECT_EQ(Popups(), (std::vector<HMENU>{Sub(1), Sub(Bar().ButtonForMnemonic(L'S'))}));
}

TEST_F(CommandBar, EscInAMenuGoesBackToTheBarInKeyboardMode) {
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_RIGHT), PopupsSeen(2),
                       MenuScript::WaitForMenu(), MenuScript::Key(VK_ESCAPE)});
    EXPECT_TRUE(AltLetter('F'));
    EXPECT_TRUE(script.Completed());
    EXPECT_TRUE(Bar().InKeyboardMode());
    EXPECT_EQ(Bar().HotButton(), 1);
    EXPECT_TRUE(Press(WM_KEYDOWN, VK_ESCAPE));
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, TrackPopupReturnsTheChoiceAndSendsItOnlyWhenAsked) {
    HMENU edit = Sub(1);
    const UINT first = GetMenuItemID(edit, 0);
    RECT rc;
    GetWindowRect(frame_->Window(), &rc);
    // Right does not move to another menu of the bar here.
    for (bool send : {false, true}) {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_RIGHT), MenuScript::Key(VK_DOWN),
                           MenuScript::Key(VK_RETURN)});
        EXPECT_EQ(Bar().TrackPopup(edit, rc.left + 50, rc.top + 120, send), int(first)) << send;
        EXPECT_TRUE(script.Completed()) << send;
        Pump();
        EXPECT_EQ(frame_->Count(WM_COMMAND), send ? 1 : 0);
    }
    EXPECT_EQ(frame_->Params(WM_COMMAND), std::vector<WPARAM>{first});
    EXPECT_EQ(Popups(), (std::vector<HMENU>{edit, edit}));
}

TEST_F(CommandBar, SetFontMeasuresTheButtonsAgain) {
    const SIZE before = Bar().IdealSize();
    HFONT big = CreateFontW(-30, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    Bar().SetFont(big);
    EXPECT_EQ(Bar().Font(), big);
    const SIZE after = Bar().IdealSize();
    EXPECT_GT(after.cx, before.cx);
    EXPECT_GT(after.cy, before.cy);
    EXPECT_EQ(Bar().ButtonCount(), GetMenuItemCount(menu_));
    // The band follows.
    REBARBANDINFOW band = {sizeof band, RBBIM_CHILDSIZE | RBBIM_IDEALSIZE};
    SendMessageW(frame_->Rebar(), RB_GETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band));
    EXPECT_EQ(std::make_pair(LONG(band.cxIdeal), LONG(band.cyMinChild)), std::make_pair(after.cx, after.cy));
    Bar().SetFont(nullptr);
    EXPECT_EQ(Bar().IdealSize().cy, before.cy);
    DeleteObject(big);
}

TEST_F(CommandBar, RebuildFollowsTheTopLevelItemsAndSkipsGrayedOnes) {
    HMENU extra = CreatePopupMenu();
    AppendMenuW(extra, MF_STRING, 4242, L"&Zap");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(extra), L"&Zed");
    AppendMenuW(menu_, MF_STRING, 4343, L"&Quick");
    EnableMenuItem(menu_, 1, MF_BYPOSITION | MF_GRAYED);
    Bar().Rebuild();
    const int count = GetMenuItemCount(menu_);
    ASSERT_EQ(Bar().ButtonCount(), count);
    EXPECT_EQ(Bar().ButtonText(count - 2), L"&Zed");
    {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_RETURN)});
        EXPECT_TRUE(AltLetter('Z'));
        EXPECT_TRUE(script.Completed());
    }
    // A command at the top level is chosen at once.
    Click(count - 1);
    Pump();
    EXPECT_EQ(frame_->Params(WM_COMMAND), (std::vector<WPARAM>{4242, 4343}));
    // The grayed Edit neither opens nor is reached: Right from File skips it.
    MenuScript guard = Guard();
    EXPECT_EQ(Bar().ButtonForMnemonic(L'E'), -1);
    Click(1);
    EXPECT_EQ(frame_->Count(WM_INITMENUPOPUP), 1);
    TapAlt();
    Press(WM_KEYDOWN, VK_RIGHT);
    EXPECT_EQ(Bar().HotButton(), 2);
    Press(WM_KEYDOWN, VK_ESCAPE);
}
