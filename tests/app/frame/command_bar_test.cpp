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
using Menus = std::vector<HMENU>;
using Params = std::vector<WPARAM>;

namespace {

const auto Wait = MenuScript::Wait;
const auto End = MenuScript::End;
MenuScript::Step Key(UINT vk) { return MenuScript::Key(vk); }

MSG KeyMessage(HWND hwnd, UINT message, WPARAM vk, bool alt = false) {
    MSG msg = {hwnd, message, vk, 1 | LPARAM(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC)) << 16};
    if (alt) msg.lParam |= LPARAM(1) << 29;
    if (message == WM_KEYUP || message == WM_SYSKEYUP) msg.lParam |= LPARAM(3) << 30;
    return msg;
}

// Should a menu open where none is meant to, it is closed again.
MenuScript Guard() { return MenuScript({Wait(), End()}); }

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
    // `action` run while `steps` work the menus: "" when it returned true
    // and the steps completed, else which did not.
    template <class Action>
    std::string WithMenu(std::vector<MenuScript::Step> steps, Action action) {
        MenuScript script(std::move(steps));
        const bool done = action();
        return std::string(done ? "" : "action failed ") + (script.Completed() ? "" : "steps not completed");
    }
    std::string ClickWith(std::vector<MenuScript::Step> steps, int button = 0) {
        return WithMenu(std::move(steps), [&] { return Click(button), true; });
    }
    std::string AltWith(std::vector<MenuScript::Step> steps, WPARAM letter = 'F') {
        return WithMenu(std::move(steps), [&] { return AltLetter(letter); });
    }
    // The popup handles the owner was told about, in order.
    Menus Popups() {
        Menus popups;
        for (WPARAM wp : frame_->Params(WM_INITMENUPOPUP)) popups.push_back(reinterpret_cast<HMENU>(wp));
        return popups;
    }
    MenuScript::Step PopupsSeen(size_t n) {
        return [this, n] { return Popups().size() >= n; };
    }
    // The commands the owner got once the posted ones are handled.
    Params Commands() {
        Pump();
        return frame_->Params(WM_COMMAND);
    }
    // A button's centre, on the bar or on the screen.
    POINT ButtonCentre(int index, bool screen = false) {
        RECT rc = {};
        SendMessageW(Bar().Window(), TB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&rc));
        POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        if (screen) ClientToScreen(Bar().Window(), &pt);
        return pt;
    }
    // Real keys, each pressed and let go; then the frame's loop in short
    // (the bar sees each message first) until `done` or 1.5 s.
    template <class Done>
    void RealKeysInTheLoop(std::initializer_list<WORD> keys, Done done) {
        for (WORD vk : keys) RealKey(vk, false), RealKey(vk, true);
        for (const DWORD end = GetTickCount() + 1500; LONG(GetTickCount() - end) < 0 && !done(); Sleep(10)) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                if (!Bar().PreTranslate(&msg)) TranslateMessage(&msg), DispatchMessageW(&msg);
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

TEST_F(CommandBar, AltLetterOpensThatMenuAndReleasingAltLeavesItOpen) {
    EXPECT_EQ(AltWith({Wait(), End()}), "");  // returns once the menu is closed
    EXPECT_EQ(Popups(), Menus{Sub(0)});
    EXPECT_GE(frame_->Count(WM_MENUSELECT), 1);
    EXPECT_EQ(frame_->Count(WM_UNINITMENUPOPUP), 1);
    EXPECT_EQ(Commands(), Params{});
    EXPECT_FALSE(Bar().InKeyboardMode());
    bool stillOpen = false;
    EXPECT_EQ(
        AltWith({Wait(), MenuScript::Key('F', WM_SYSKEYUP), MenuScript::Key(VK_MENU, WM_SYSKEYUP),
                 [] { return true; }, [&] { return stillOpen = OpenMenuWindow() != nullptr, true; }, End()}),
        "");
    EXPECT_TRUE(stillOpen);
}

TEST_F(CommandBar, RealKeysThroughALoopLikeTheFramesOpenTheMenus) {
    SetForegroundWindow(frame_->Window());
    SetFocus(frame_->Window());
    {
        MenuScript script({Wait(), End()});
        for (auto [vk, up] :
             {std::pair<WORD, bool>{VK_MENU, false}, {'F', false}, {'F', true}, {VK_MENU, true}})
            RealKey(vk, up);
        RealKeysInTheLoop({}, [&] { return script.Completed(); });
        EXPECT_TRUE(script.Completed());
    }
    EXPECT_EQ(Popups(), Menus{Sub(0)});
    EXPECT_FALSE(Bar().InKeyboardMode());
    // Alt tapped, Right and Down: the second menu.
    MenuScript script({Wait(), End()});
    RealKeysInTheLoop({VK_MENU}, [&] { return Bar().InKeyboardMode(); });
    EXPECT_TRUE(Bar().InKeyboardMode());
    RealKeysInTheLoop({VK_RIGHT, VK_DOWN}, [&] { return script.Completed(); });
    EXPECT_TRUE(script.Completed());
    EXPECT_EQ(Popups(), (Menus{Sub(0), Sub(1)}));
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
    EXPECT_EQ(ClickWith({Wait(), Key(VK_DOWN), Key(VK_RETURN)}), "");
    EXPECT_EQ(Popups(), Menus{Sub(0)});
    EXPECT_EQ(Commands(), Params{ID_FILE_NEW});  // posted, as from a window menu
    // Opened from the keyboard, the first item is selected.
    EXPECT_EQ(AltWith({Wait(), Key(VK_RETURN)}), "");
    EXPECT_EQ(Commands(), (Params{ID_FILE_NEW, ID_FILE_NEW}));
}

TEST_F(CommandBar, RightAndLeftInAnOpenMenuMoveToTheNeighbours) {
    EXPECT_EQ(AltWith({Wait(), Key(VK_RIGHT), PopupsSeen(2), Wait(), Key(VK_LEFT), PopupsSeen(3), Wait(),
                       Key(VK_LEFT), PopupsSeen(4), Wait(), End()}),
              "");
    // Left of the first wraps around to the last.
    EXPECT_EQ(Popups(), (Menus{Sub(0), Sub(1), Sub(0), Sub(Bar().ButtonCount() - 1)}));
    EXPECT_EQ(Commands(), Params{});
}

TEST_F(CommandBar, TheMouseOverAnotherButtonOpensItsMenuAndOverItsOwnClosesIt) {
    const POINT search = ButtonCentre(2, true), file = ButtonCentre(0, true);
    EXPECT_EQ(ClickWith({Wait(), [&] { return MouseAt(search, false), true; }, PopupsSeen(2), Wait(), End()}),
              "");
    EXPECT_EQ(Popups(), (Menus{Sub(0), Sub(2)}));
    SetCursorPos(1200, 1000);
    EXPECT_EQ(ClickWith({Wait(), [&] { return MouseAt(file, true), true; }}), "");  // returns once closed
    EXPECT_EQ(Popups(), (Menus{Sub(0), Sub(2), Sub(0)}));
    EXPECT_EQ(OpenMenuWindow(), nullptr);
    EXPECT_EQ(Commands(), Params{});
    EXPECT_FALSE(Bar().InKeyboardMode());
}

TEST_F(CommandBar, RightOnAnItemWithASubmenuOpensTheSubmenu) {
    // File: the ninth item (after New, Template, Open, Close, Save, Save As,
    // Reload and a separator) is the recent-documents submenu.
    HMENU recent = GetSubMenu(Sub(0), 8);
    ASSERT_NE(recent, nullptr);
    std::vector<MenuScript::Step> steps = {Wait()};
    for (int i = 0; i < 7; ++i) steps.push_back(Key(VK_DOWN));  // New is selected already
    for (const auto& s : {Key(VK_RIGHT), PopupsSeen(2), End()}) steps.push_back(s);
    EXPECT_EQ(AltWith(std::move(steps)), "");
    EXPECT_EQ(Popups(), (Menus{Sub(0), recent}));
}

TEST_F(CommandBar, KeysOfAnotherTopLevelWindowAreLeftAlone) {
    // A modeless dialog's own mnemonics stay its own.
    MenuScript guard = Guard();
    HWND other = CreateWindowExW(0, L"STATIC", L"Dialog", WS_POPUP | WS_VISIBLE, 700, 100, 100, 80,
                                 frame_->Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    for (MSG msg : {KeyMessage(other, WM_SYSKEYDOWN, 'F', true), KeyMessage(other, WM_SYSKEYDOWN, VK_F10)}) {
        EXPECT_FALSE(Bar().PreTranslate(&msg)) << msg.wParam;
        EXPECT_FALSE(Bar().InKeyboardMode()) << msg.wParam;
    }
    // Keyboard mode ends when keys go to another window.
    TapAlt();
    ASSERT_TRUE(Bar().InKeyboardMode());
    MSG right = KeyMessage(other, WM_KEYDOWN, VK_RIGHT);
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
    // Right, Left, Left (wrapping around), Esc.
    std::vector<int> hot = {Bar().HotButton()};
    for (WPARAM key : {VK_RIGHT, VK_LEFT, VK_LEFT, VK_ESCAPE}) {
        EXPECT_TRUE(Press(WM_KEYDOWN, key)) << key;
        hot.push_back(Bar().HotButton());
    }
    EXPECT_EQ(hot, std::vector<int>({0, 1, 0, Bar().ButtonCount() - 1, -1}));
    EXPECT_FALSE(Bar().InKeyboardMode());
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
    GetWindowRect(frame_->Window(), &rc);
    MouseAt({(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}, true);
    Pump();
    EXPECT_FALSE(Bar().InKeyboardMode());
    EXPECT_EQ(Bar().HotButton(), -1);
}

TEST_F(CommandBar, SpaceInKeyboardModeOpensTheWindowMenu) {
    TapAlt();
    EXPECT_TRUE(Press(WM_KEYDOWN, VK_SPACE));
    EXPECT_FALSE(Bar().InKeyboardMode());
    EXPECT_EQ(WithMenu({Wait(), End()}, [] { return Pump(), true; }),
              "");  // the window menu's loop runs here
    ASSERT_EQ(frame_->Count(WM_SYSCOMMAND), 1);
    EXPECT_EQ(frame_->FirstParam(WM_SYSCOMMAND) & 0xFFF0, WPARAM(SC_KEYMENU));
}

TEST_F(CommandBar, InKeyboardModeDownOpensTheHotMenuAndLettersOpenTheirs) {
    TapAlt();
    Press(WM_KEYDOWN, VK_RIGHT);
    EXPECT_EQ(WithMenu({Wait(), End()}, [&] { return Press(WM_KEYDOWN, VK_DOWN); }), "");
    EXPECT_EQ(Popups(), Menus{Sub(1)});
    EXPECT_FALSE(Bar().InKeyboardMode());
    TapAlt();
    EXPECT_EQ(WithMenu({Wait(), End()}, [&] { return Press(WM_KEYDOWN, 'S'); }), "");  // &Search
    EXPECT_EQ(Popups(), (Menus{Sub(1), Sub(Bar().ButtonForMnemonic(L'S'))}));
}

TEST_F(CommandBar, EscInAMenuGoesBackToTheBarInKeyboardMode) {
    EXPECT_EQ(AltWith({Wait(), Key(VK_RIGHT), PopupsSeen(2), Wait(), Key(VK_ESCAPE)}), "");
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
        int chosen = 0;
        EXPECT_EQ(
            WithMenu({Wait(), Key(VK_RIGHT), Key(VK_DOWN), Key(VK_RETURN)},
                     [&] { return chosen = Bar().TrackPopup(edit, rc.left + 50, rc.top + 120, send), true; }),
            "");
        EXPECT_EQ(chosen, int(first)) << send;
        EXPECT_EQ(Commands(), send ? Params{first} : Params{}) << send;
    }
    EXPECT_EQ(Popups(), (Menus{edit, edit}));
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
    EXPECT_EQ(AltWith({Wait(), Key(VK_RETURN)}, 'Z'), "");
    // A command at the top level is chosen at once.
    Click(count - 1);
    EXPECT_EQ(Commands(), (Params{4242, 4343}));
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
