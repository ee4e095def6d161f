// The command bar over the language library's main menu, in a rebar of a
// stand-in frame: its buttons, opening menus by mouse and keyboard, moving
// between them, keyboard mode, the chosen command reaching the owner, fonts.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <string>

#include "BarsHost.h"
#include "CommandIds.h"

using bars_test::MenuScript;
using bars_test::Pump;
using bars_test::TestFrame;

namespace {

std::wstring TestFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s = path;
    return s.substr(0, s.find_last_of(L'\\') + 1);
}

// Real mouse input at a screen point (moves the cursor, and presses the
// left button when asked).
void MouseAt(POINT screen, bool click) {
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = LONG((screen.x * 65536 + cx / 2) / cx);
        i.mi.dy = LONG((screen.y * 65536 + cy / 2) / cy);
        i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    in[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(click ? 3 : 1, in, sizeof(INPUT));
}

MSG KeyMessage(UINT message, WPARAM vk, bool alt) {
    MSG msg = {};
    msg.message = message;
    msg.wParam = vk;
    msg.lParam = 1 | LPARAM(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC)) << 16;
    if (alt) msg.lParam |= LPARAM(1) << 29;
    if (message == WM_KEYUP || message == WM_SYSKEYUP) msg.lParam |= LPARAM(3) << 30;
    return msg;
}

class CommandBar : public ::testing::Test {
protected:
    void SetUp() override {
        language_ =
            LoadLibraryExW((TestFolder() + L"mui\\en.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(language_, nullptr);
        menu_ = LoadMenuW(language_, MAKEINTRESOURCEW(IDR_MAINFRAME));
        ASSERT_NE(menu_, nullptr);
        SetCursorPos(1200, 1000);  // away from every menu
        frame_ = std::make_unique<TestFrame>();
        ASSERT_TRUE(frame_->AddCommandBar(menu_));
        msg_.hwnd = frame_->Window();
    }
    void TearDown() override {
        SetCursorPos(1200, 1000);
        frame_.reset();
        if (menu_) DestroyMenu(menu_);
        if (language_) FreeLibrary(language_);
    }
    shell::CCommandBar& Bar() { return frame_->Bar(); }
    bool Press(UINT message, WPARAM vk, bool alt = false) {
        MSG msg = KeyMessage(message, vk, alt);
        msg.hwnd = frame_->Window();
        return Bar().PreTranslate(&msg);
    }
    // The popup handles the owner was told about, in order.
    std::vector<HMENU> Popups() {
        std::vector<HMENU> popups;
        for (WPARAM wp : frame_->Params(WM_INITMENUPOPUP)) popups.push_back(reinterpret_cast<HMENU>(wp));
        return popups;
    }
    POINT ButtonCentre(int index) {
        RECT rc = {};
        SendMessageW(Bar().Window(), TB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&rc));
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    // A key through the system's input queue, to the focused window.
    static void RealKey(WORD vk, bool up) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        SendInput(1, &in, sizeof in);
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
    POINT OnScreen(POINT pt) {
        ClientToScreen(Bar().Window(), &pt);
        return pt;
    }
    void Click(int index) {
        const POINT pt = ButtonCentre(index);
        SendMessageW(Bar().Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        SendMessageW(Bar().Window(), WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    }

    HMODULE language_ = nullptr;
    HMENU menu_ = nullptr;
    std::unique_ptr<TestFrame> frame_;
    MSG msg_ = {};
};

}  // namespace

TEST_F(CommandBar, HasOneButtonPerTopLevelItemWithItsText) {
    const int count = GetMenuItemCount(menu_);
    ASSERT_GE(count, 5);
    EXPECT_EQ(Bar().ButtonCount(), count);
    EXPECT_EQ(Bar().Menu(), menu_);
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu_, UINT(i), text, 64, MF_BYPOSITION);
        EXPECT_EQ(Bar().ButtonText(i), text) << i;
        wchar_t shown[64] = {};
        SendMessageW(Bar().Window(), TB_GETBUTTONTEXTW, 0xFE00 + i, reinterpret_cast<LPARAM>(shown));
        EXPECT_STREQ(shown, text) << i;
    }
    EXPECT_EQ(Bar().ButtonText(0), L"&File");
    EXPECT_EQ(Bar().ButtonForMnemonic(L'f'), 0);
    EXPECT_EQ(Bar().ButtonForMnemonic(L'E'), 1);
    EXPECT_EQ(Bar().ButtonForMnemonic(L'Q'), -1);
    // The buttons sit side by side on one row, the first at the left.
    RECT first = {}, second = {};
    SendMessageW(Bar().Window(), TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    SendMessageW(Bar().Window(), TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
    EXPECT_EQ(first.top, second.top);
    EXPECT_LE(first.right, second.left + 1);
    const SIZE ideal = Bar().IdealSize();
    EXPECT_GT(ideal.cx, 10 * (first.right - first.left) / 2);
    EXPECT_GT(ideal.cy, 8);
}

TEST_F(CommandBar, AltLetterOpensThatMenuAndTheOwnerHearsOfIt) {
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
    EXPECT_TRUE(Press(WM_SYSKEYDOWN, 'F', true));  // returns once the menu is closed
    EXPECT_TRUE(script.Completed());
    ASSERT_FALSE(Popups().empty());
    EXPECT_EQ(Popups().front(), GetSubMenu(menu_, 0));
    EXPECT_GE(frame_->Count(WM_MENUSELECT), 1);
    EXPECT_EQ(frame_->Count(WM_UNINITMENUPOPUP), frame_->Count(WM_INITMENUPOPUP));
    Pump();
    EXPECT_EQ(frame_->Count(WM_COMMAND), 0);
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, ReleasingAltAfterAltLetterLeavesTheMenuOpen) {
    bool stillOpen = false;
    auto release = [](UINT vk) {
        return [vk] {
            HWND menu = bars_test::OpenMenuWindow();
            if (!menu) return false;
            const LPARAM lp = 1 | LPARAM(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16 | LPARAM(3) << 30;
            PostMessageW(menu, WM_SYSKEYUP, vk, lp | (vk == VK_MENU ? 0 : LPARAM(1) << 29));
            return true;
        };
    };
    MenuScript script({MenuScript::WaitForMenu(), release('F'), release(VK_MENU), [] { return true; },
                       [&] {
                           stillOpen = bars_test::OpenMenuWindow() != nullptr;
                           return true;
                       },
                       MenuScript::End()});
    EXPECT_TRUE(Press(WM_SYSKEYDOWN, 'F', true));
    EXPECT_TRUE(script.Completed());
    EXPECT_TRUE(stillOpen);
}

TEST_F(CommandBar, RealKeysThroughALoopLikeTheFramesOpenTheMenu) {
    SetForegroundWindow(frame_->Window());
    SetFocus(frame_->Window());
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
    RealKey(VK_MENU, false);
    RealKey('F', false);
    RealKey('F', true);
    RealKey(VK_MENU, true);
    RunLikeTheFrame([&] { return script.Completed(); });
    EXPECT_TRUE(script.Completed());
    ASSERT_FALSE(Popups().empty());
    EXPECT_EQ(Popups().front(), GetSubMenu(menu_, 0));
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, RealAltTapRightAndDownOpenTheSecondMenu) {
    SetForegroundWindow(frame_->Window());
    SetFocus(frame_->Window());
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
    RealKey(VK_MENU, false);
    RealKey(VK_MENU, true);
    RunLikeTheFrame([&] { return Bar().InKeyboardMode(); });
    EXPECT_TRUE(Bar().InKeyboardMode());
    RealKey(VK_RIGHT, false);
    RealKey(VK_RIGHT, true);
    RealKey(VK_DOWN, false);
    RealKey(VK_DOWN, true);
    RunLikeTheFrame([&] { return script.Completed(); });
    EXPECT_TRUE(script.Completed());
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(Popups().front(), GetSubMenu(menu_, 1));
}

TEST_F(CommandBar, AltWithALetterNoMenuHasGoesOn) {
    MenuScript guard({MenuScript::WaitForMenu(), MenuScript::End()});  // should a menu open
    EXPECT_FALSE(Press(WM_SYSKEYDOWN, 'Q', true));
    EXPECT_FALSE(Press(WM_SYSKEYDOWN, VK_SPACE, true));  // the window menu stays reachable
    EXPECT_TRUE(frame_->Log().empty());
}

TEST_F(CommandBar, ClickOpensTheMenuAndTheChosenCommandReachesTheOwner) {
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_DOWN), MenuScript::Key(VK_RETURN)});
    Click(0);
    EXPECT_TRUE(script.Completed());
    ASSERT_FALSE(Popups().empty());
    EXPECT_EQ(Popups().front(), GetSubMenu(menu_, 0));
    Pump();  // the command is posted, as from a window menu
    EXPECT_EQ(frame_->FirstParam(WM_COMMAND), WPARAM(ID_FILE_NEW));
    EXPECT_EQ(frame_->Count(WM_COMMAND), 1);
}

TEST_F(CommandBar, OpenedFromTheKeyboardTheFirstItemIsSelected) {
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_RETURN)});
    EXPECT_TRUE(Press(WM_SYSKEYDOWN, 'F', true));
    EXPECT_TRUE(script.Completed());
    Pump();
    EXPECT_EQ(frame_->FirstParam(WM_COMMAND), WPARAM(ID_FILE_NEW));
}

TEST_F(CommandBar, RightAndLeftInAnOpenMenuMoveToTheNeighbours) {
    const int last = Bar().ButtonCount() - 1;
    auto popupsSeen = [this](size_t n) { return [this, n] { return Popups().size() >= n; }; };
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_RIGHT), popupsSeen(2),
                       MenuScript::WaitForMenu(), MenuScript::Key(VK_LEFT), popupsSeen(3),
                       MenuScript::WaitForMenu(), MenuScript::Key(VK_LEFT), popupsSeen(4),
                       MenuScript::WaitForMenu(), MenuScript::End()});
    EXPECT_TRUE(Press(WM_SYSKEYDOWN, 'F', true));
    EXPECT_TRUE(script.Completed());
    const std::vector<HMENU> popups = Popups();
    ASSERT_EQ(popups.size(), 4u);
    EXPECT_EQ(popups[0], GetSubMenu(menu_, 0));
    EXPECT_EQ(popups[1], GetSubMenu(menu_, 1));
    EXPECT_EQ(popups[2], GetSubMenu(menu_, 0));
    EXPECT_EQ(popups[3], GetSubMenu(menu_, last));  // wraps around
    Pump();
    EXPECT_EQ(frame_->Count(WM_COMMAND), 0);
}

TEST_F(CommandBar, TheMouseOverAnotherButtonOpensItsMenuInstead) {
    const POINT search = OnScreen(ButtonCentre(2));
    MenuScript script({MenuScript::WaitForMenu(),
                       [&] {
                           MouseAt(search, false);
                           return true;
                       },
                       [this] { return Popups().size() >= 2; }, MenuScript::WaitForMenu(),
                       MenuScript::End()});
    Click(0);
    EXPECT_TRUE(script.Completed());
    const std::vector<HMENU> popups = Popups();
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(popups[0], GetSubMenu(menu_, 0));
    EXPECT_EQ(popups[1], GetSubMenu(menu_, 2));
}

TEST_F(CommandBar, AClickOnTheOpenButtonClosesItsMenu) {
    const POINT file = OnScreen(ButtonCentre(0));
    MenuScript script({MenuScript::WaitForMenu(), [&] {
                           MouseAt(file, true);
                           return true;
                       }});
    Click(0);  // returns once the menu is closed
    EXPECT_TRUE(script.Completed());
    EXPECT_EQ(Popups().size(), 1u);
    EXPECT_EQ(bars_test::OpenMenuWindow(), nullptr);
    Pump();
    EXPECT_EQ(frame_->Count(WM_COMMAND), 0);
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, RightOnAnItemWithASubmenuOpensTheSubmenu) {
    // File: the eighth item (after New, Template, Open, Close, Save, Save As
    // and a separator) is the recent-documents submenu.
    HMENU file = GetSubMenu(menu_, 0);
    HMENU recent = GetSubMenu(file, 7);
    ASSERT_NE(recent, nullptr);
    std::vector<MenuScript::Step> steps = {MenuScript::WaitForMenu()};
    for (int i = 0; i < 6; ++i) steps.push_back(MenuScript::Key(VK_DOWN));  // New is selected already
    steps.push_back(MenuScript::Key(VK_RIGHT));
    steps.push_back([this] { return Popups().size() >= 2; });
    steps.push_back(MenuScript::End());
    MenuScript script(std::move(steps));
    EXPECT_TRUE(Press(WM_SYSKEYDOWN, 'F', true));
    EXPECT_TRUE(script.Completed());
    const std::vector<HMENU> popups = Popups();
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(popups[1], recent);
}

TEST_F(CommandBar, KeysOfAnotherTopLevelWindowAreLeftAlone) {
    // A modeless dialog's own mnemonics stay its own.
    MenuScript guard({MenuScript::WaitForMenu(), MenuScript::End()});  // should a menu open
    HWND other = CreateWindowExW(0, L"STATIC", L"Dialog", WS_POPUP | WS_VISIBLE, 700, 100, 100, 80,
                                 frame_->Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    MSG alt = KeyMessage(WM_SYSKEYDOWN, 'F', true);
    alt.hwnd = other;
    EXPECT_FALSE(Bar().PreTranslate(&alt));
    EXPECT_FALSE(Bar().InKeyboardMode());
    MSG f10 = KeyMessage(WM_SYSKEYDOWN, VK_F10, false);
    f10.hwnd = other;
    EXPECT_FALSE(Bar().PreTranslate(&f10));
    EXPECT_FALSE(Bar().InKeyboardMode());
    // Keyboard mode ends when keys go to another window.
    Press(WM_SYSKEYDOWN, VK_MENU);
    Press(WM_SYSKEYUP, VK_MENU);
    ASSERT_TRUE(Bar().InKeyboardMode());
    MSG right = KeyMessage(WM_KEYDOWN, VK_RIGHT, false);
    right.hwnd = other;
    EXPECT_FALSE(Bar().PreTranslate(&right));
    EXPECT_FALSE(Bar().InKeyboardMode());
    EXPECT_EQ(frame_->Count(WM_INITMENUPOPUP), 0);
    DestroyWindow(other);
}

TEST_F(CommandBar, AltTappedAloneEntersKeyboardMode) {
    MenuScript guard({MenuScript::WaitForMenu(), MenuScript::End()});  // should a menu open
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
    EXPECT_TRUE(frame_->Log().empty());
}

TEST_F(CommandBar, KeyboardModeEndsOnAClickTheBarIsNotShown) {
    // The frame's loop may hand the bar keys only: the click is seen anyway.
    MenuScript guard({MenuScript::WaitForMenu(), MenuScript::End()});  // should a menu open
    Press(WM_SYSKEYDOWN, VK_MENU);
    Press(WM_SYSKEYUP, VK_MENU);
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

TEST_F(CommandBar, KeyboardModeEndsWhenTheApplicationIsDeactivated) {
    Press(WM_SYSKEYDOWN, VK_MENU);
    Press(WM_SYSKEYUP, VK_MENU);
    ASSERT_TRUE(Bar().InKeyboardMode());
    SendMessageW(frame_->Window(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, SpaceInKeyboardModeOpensTheWindowMenu) {
    Press(WM_SYSKEYDOWN, VK_MENU);
    Press(WM_SYSKEYUP, VK_MENU);
    EXPECT_TRUE(Press(WM_KEYDOWN, VK_SPACE));
    EXPECT_FALSE(Bar().InKeyboardMode());
    {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
        Pump();  // the window menu's loop runs here until the script ends it
    }
    ASSERT_EQ(frame_->Count(WM_SYSCOMMAND), 1);
    EXPECT_EQ(frame_->FirstParam(WM_SYSCOMMAND) & 0xFFF0, WPARAM(SC_KEYMENU));
}

TEST_F(CommandBar, AltUsedWithAnotherKeyIsNoTap) {
    MenuScript guard({MenuScript::WaitForMenu(), MenuScript::End()});  // should a menu open
    EXPECT_FALSE(Press(WM_SYSKEYDOWN, VK_MENU));
    EXPECT_FALSE(Press(WM_SYSKEYDOWN, VK_F4, true));
    EXPECT_FALSE(Press(WM_SYSKEYUP, VK_MENU));
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, F10EntersKeyboardModeAndAMouseClickLeavesIt) {
    MenuScript guard({MenuScript::WaitForMenu(), MenuScript::End()});  // should a menu open
    EXPECT_TRUE(Press(WM_SYSKEYDOWN, VK_F10));
    EXPECT_TRUE(Press(WM_SYSKEYUP, VK_F10));  // else the window menu would open
    EXPECT_TRUE(Bar().InKeyboardMode());
    EXPECT_EQ(Bar().HotButton(), 0);
    MSG click = KeyMessage(WM_LBUTTONDOWN, MK_LBUTTON, false);
    click.hwnd = frame_->Window();
    click.lParam = MAKELPARAM(5, 200);
    EXPECT_FALSE(Bar().PreTranslate(&click));
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, InKeyboardModeDownOpensTheHotMenuAndLettersOpenTheirs) {
    Press(WM_SYSKEYDOWN, VK_MENU);
    Press(WM_SYSKEYUP, VK_MENU);
    Press(WM_KEYDOWN, VK_RIGHT);
    {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
        EXPECT_TRUE(Press(WM_KEYDOWN, VK_DOWN));
        EXPECT_TRUE(script.Completed());
    }
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(Popups()[0], GetSubMenu(menu_, 1));
    EXPECT_FALSE(Bar().InKeyboardMode());

    Press(WM_SYSKEYDOWN, VK_MENU);
    Press(WM_SYSKEYUP, VK_MENU);
    {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::End()});
        EXPECT_TRUE(Press(WM_KEYDOWN, 'S'));  // &Search
        EXPECT_TRUE(script.Completed());
    }
    ASSERT_EQ(Popups().size(), 2u);
    EXPECT_EQ(Popups()[1], GetSubMenu(menu_, Bar().ButtonForMnemonic(L'S')));
}

TEST_F(CommandBar, EscInAMenuGoesBackToTheBarInKeyboardMode) {
    MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_RIGHT),
                       [this] { return Popups().size() >= 2; }, MenuScript::WaitForMenu(),
                       MenuScript::Key(VK_ESCAPE)});
    EXPECT_TRUE(Press(WM_SYSKEYDOWN, 'F', true));
    EXPECT_TRUE(script.Completed());
    EXPECT_TRUE(Bar().InKeyboardMode());
    EXPECT_EQ(Bar().HotButton(), 1);
    EXPECT_TRUE(Press(WM_KEYDOWN, VK_ESCAPE));
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, TrackPopupReturnsTheChoiceAndSendsItOnlyWhenAsked) {
    HMENU edit = GetSubMenu(menu_, 1);
    const UINT first = GetMenuItemID(edit, 0);
    RECT rc;
    GetWindowRect(frame_->Window(), &rc);
    {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_DOWN), MenuScript::Key(VK_RETURN)});
        EXPECT_EQ(Bar().TrackPopup(edit, rc.left + 50, rc.top + 120, false), int(first));
        EXPECT_TRUE(script.Completed());
    }
    Pump();
    EXPECT_EQ(frame_->Count(WM_COMMAND), 0);
    EXPECT_EQ(frame_->FirstParam(WM_INITMENUPOPUP), reinterpret_cast<WPARAM>(edit));
    {
        // Right does not move to another menu of the bar here.
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_RIGHT), MenuScript::Key(VK_DOWN),
                           MenuScript::Key(VK_RETURN)});
        EXPECT_EQ(Bar().TrackPopup(edit, rc.left + 50, rc.top + 120, true), int(first));
        EXPECT_TRUE(script.Completed());
    }
    EXPECT_EQ(frame_->Params(WM_COMMAND), std::vector<WPARAM>{first});
    EXPECT_EQ(frame_->Count(WM_INITMENUPOPUP), 2);
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
    REBARBANDINFOW band = {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILDSIZE | RBBIM_IDEALSIZE;
    SendMessageW(frame_->Rebar(), RB_GETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band));
    EXPECT_EQ(LONG(band.cyMinChild), after.cy);
    EXPECT_EQ(LONG(band.cxIdeal), after.cx);
    Bar().SetFont(nullptr);
    EXPECT_EQ(Bar().IdealSize().cy, before.cy);
    DeleteObject(big);
}

TEST_F(CommandBar, RebuildFollowsTheTopLevelItems) {
    HMENU extra = CreatePopupMenu();
    AppendMenuW(extra, MF_STRING, 4242, L"&Zap");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(extra), L"&Zed");
    AppendMenuW(menu_, MF_STRING, 4343, L"&Quick");
    Bar().Rebuild();
    const int count = GetMenuItemCount(menu_);
    ASSERT_EQ(Bar().ButtonCount(), count);
    EXPECT_EQ(Bar().ButtonText(count - 2), L"&Zed");
    {
        MenuScript script({MenuScript::WaitForMenu(), MenuScript::Key(VK_RETURN)});
        EXPECT_TRUE(Press(WM_SYSKEYDOWN, 'Z', true));
        EXPECT_TRUE(script.Completed());
    }
    // A command at the top level is chosen at once.
    Click(count - 1);
    Pump();
    EXPECT_EQ(frame_->Params(WM_COMMAND), (std::vector<WPARAM>{4242, 4343}));
}

TEST_F(CommandBar, AGrayedTopLevelItemDoesNotOpen) {
    MenuScript guard({MenuScript::WaitForMenu(), MenuScript::End()});  // should a menu open
    EnableMenuItem(menu_, 1, MF_BYPOSITION | MF_GRAYED);
    Bar().Rebuild();
    EXPECT_EQ(Bar().ButtonForMnemonic(L'E'), -1);
    Click(1);
    EXPECT_EQ(frame_->Count(WM_INITMENUPOPUP), 0);
    // Moving right from File skips it.
    Press(WM_SYSKEYDOWN, VK_MENU);
    Press(WM_SYSKEYUP, VK_MENU);
    Press(WM_KEYDOWN, VK_RIGHT);
    EXPECT_EQ(Bar().HotButton(), 2);
    Press(WM_KEYDOWN, VK_ESCAPE);
}

// Not a check: shows the bar, a docked pane and a floating one for a few
// seconds, then the File menu, for a screenshot taken from outside
// (run with --gtest_also_run_disabled_tests).
TEST_F(CommandBar, DISABLED_ShowForAScreenshot) {
    ASSERT_TRUE(frame_->AddDockingWindow());
    HWND output = CreateWindowExW(0, L"EDIT", L"Output", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 10, 10,
                                  frame_->Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowTextW(output, L"#<C:\\work\\a.txt>:(3,1): found");
    frame_->Dock().DockPane(output, L"Output");
    HWND tool = CreateWindowExW(0, L"EDIT", L"Plug-in pane", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 10,
                                10, frame_->Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    RECT rc;
    GetWindowRect(frame_->Window(), &rc);
    const RECT at = {rc.right + 10, rc.top, rc.right + 210, rc.top + 150};
    frame_->Dock().FloatPane(tool, at);
    Press(WM_SYSKEYDOWN, VK_MENU);
    Press(WM_SYSKEYUP, VK_MENU);
    Press(WM_KEYDOWN, VK_RIGHT);
    const DWORD end = GetTickCount() + 3000;
    while (LONG(GetTickCount() - end) < 0) {
        Pump();
        Sleep(20);
    }
    Press(WM_KEYDOWN, VK_ESCAPE);
    MenuScript script(
        {MenuScript::WaitForMenu(), MenuScript::Key(VK_DOWN), MenuScript::Key(VK_DOWN), [] { return false; }},
        3000);
    Click(0);
}
