// The key field: combinations from the keys held, no typed text, the
// context menu's keys and modifier items.
// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include <commctrl.h>
#include <gtest/gtest.h>

#include "KeyBindings.h"
#include "KeyField.h"

namespace {

class KeyFieldTest : public ::testing::Test {
   protected:
    void SetUp() override {
        InitCommonControls();
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        field_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 150, 20, parent_, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(shell::AttachKeyField(field_));
    }
    void TearDown() override {
        Hold({});
        DestroyWindow(parent_);
    }
    static void Hold(std::initializer_list<int> keys) {
        BYTE state[256] = {};
        for (int k : keys) state[k] = 0x80;
        SetKeyboardState(state);
    }
    void Press(int vk, std::initializer_list<int> held) {
        Hold(held);
        SendMessageW(field_, WM_KEYDOWN, WPARAM(vk), 1);
        Hold({});
    }
    std::wstring Text() {
        wchar_t text[128] = {};
        GetWindowTextW(field_, text, 128);
        return text;
    }
    uint16_t Key() { return uint16_t(SendMessageW(field_, shell::KFM_GETKEY, 0, 0)); }

    HWND parent_ = nullptr, field_ = nullptr;
};

TEST_F(KeyFieldTest, BuildsTheCombinationOfTheKeysHeld) {
    Press(VK_F5, {VK_CONTROL, VK_SHIFT});
    EXPECT_EQ(Key(), 0x0674);
    EXPECT_EQ(Text(), L"Ctrl+Shift+F5");
    Press('A', {VK_LWIN, VK_MENU});
    EXPECT_EQ(Key(), keys::kWin | keys::kAlt | 'A');
    EXPECT_EQ(Text(), L"Win+Alt+A");
}

TEST_F(KeyFieldTest, AModifierAloneShowsOnlyItsPrefix) {
    Press(VK_CONTROL, {VK_CONTROL});
    EXPECT_EQ(Key(), 0);
    EXPECT_EQ(Text(), L"Ctrl+");
}

TEST_F(KeyFieldTest, NeverTakesText) {
    SendMessageW(field_, WM_CHAR, L'x', 1);
    SendMessageW(field_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed"));
    SendMessageW(field_, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"pasted"));
    EXPECT_EQ(Text(), L"");
    Press('X', {});
    SendMessageW(field_, WM_CHAR, L'x', 1);
    EXPECT_EQ(Text(), L"X");
}

// The character that translating a key press queued must not reach the
// dialog: Alt+A would otherwise press the button whose mnemonic is A.
TEST_F(KeyFieldTest, APressTakesTheCharacterItsTranslationQueued) {
    PostMessageW(field_, WM_SYSCHAR, L'a', 1);
    Hold({VK_MENU});
    SendMessageW(field_, WM_SYSKEYDOWN, 'A', 1);
    Hold({});
    EXPECT_EQ(Key(), keys::kAlt | 'A');
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, field_, WM_CHAR, WM_SYSDEADCHAR, PM_REMOVE));
}

TEST_F(KeyFieldTest, CtrlAltDelClears) {
    Press('K', {VK_CONTROL});
    ASSERT_EQ(Key(), keys::kCtrl | 'K');
    Press(VK_DELETE, {VK_CONTROL, VK_MENU});
    EXPECT_EQ(Key(), 0);
    EXPECT_EQ(Text(), L"");
    Press(VK_DELETE, {VK_CONTROL});
    EXPECT_EQ(Key(), keys::kCtrl | VK_DELETE);
}

TEST_F(KeyFieldTest, WantsEveryKeyOfTheDialog) {
    EXPECT_TRUE(SendMessageW(field_, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
}

TEST(KeyFieldMenu, OffersTheKeysThatCannotBeTyped) {
    HMENU menu = shell::BuildKeyFieldMenu(0);
    ASSERT_EQ(GetMenuItemCount(menu), 8);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 0xB7 - 0xA6 + 1);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 1)), 7 + 9);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 2)), 24);
    EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 2), 4), shell::kMenuKeyBase + VK_F5);
    // Without a key the modifier items are disabled.
    EXPECT_TRUE(GetMenuState(menu, shell::kMenuCtrl, MF_BYCOMMAND) & MF_GRAYED);
    DestroyMenu(menu);

    menu = shell::BuildKeyFieldMenu(keys::kCtrl | VK_F5);
    EXPECT_FALSE(GetMenuState(menu, shell::kMenuCtrl, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, shell::kMenuCtrl, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(menu, shell::kMenuShift, MF_BYCOMMAND) & MF_CHECKED);
    DestroyMenu(menu);
}

TEST(KeyFieldMenu, ChoicesKeepOrToggleTheModifiers) {
    const uint16_t ctrlF5 = keys::kCtrl | VK_F5;
    EXPECT_EQ(shell::ApplyKeyFieldChoice(ctrlF5, shell::kMenuKeyBase + VK_VOLUME_UP),
              keys::kCtrl | VK_VOLUME_UP);
    EXPECT_EQ(shell::ApplyKeyFieldChoice(ctrlF5, shell::kMenuShift), ctrlF5 | keys::kShift);
    EXPECT_EQ(shell::ApplyKeyFieldChoice(ctrlF5, shell::kMenuCtrl), VK_F5);
    EXPECT_EQ(shell::ApplyKeyFieldChoice(ctrlF5, shell::kMenuWin), ctrlF5 | keys::kWin);
    EXPECT_EQ(shell::ApplyKeyFieldChoice(ctrlF5, shell::kMenuAlt), ctrlF5 | keys::kAlt);
    // Without a key a modifier item changes nothing.
    EXPECT_EQ(shell::ApplyKeyFieldChoice(0, shell::kMenuCtrl), 0);
}

}  // namespace
