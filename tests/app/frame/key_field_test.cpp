// The key field: combinations from the keys held, no typed text, the
// context menu's keys and modifier items. (That it wants every key of a
// dialog, Enter and Esc too, the options tests show through a real sheet.)
// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include <commctrl.h>
#include <gtest/gtest.h>

#include "Input.h"
#include "KeyBindings.h"
#include "KeyField.h"

namespace {

class KeyFieldTest : public ::testing::Test {
   protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        field_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 150, 20, parent_, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(shell::AttachKeyField(field_));
    }
    void TearDown() override { DestroyWindow(parent_); }
    // The key the field holds after `vk` is pressed with `held` down, and its text.
    std::pair<uint16_t, std::wstring> Press(int vk, std::initializer_list<int> held,
                                            UINT message = WM_KEYDOWN) {
        {
            testing_support::CHeldKeys keys(held);
            SendMessageW(field_, message, WPARAM(vk), 1);
        }
        wchar_t text[128] = {};
        GetWindowTextW(field_, text, 128);
        return {uint16_t(SendMessageW(field_, shell::KFM_GETKEY, 0, 0)), text};
    }
    using Shown = std::pair<uint16_t, std::wstring>;
    HWND parent_ = nullptr, field_ = nullptr;
};

// A modifier alone shows only its prefix; Ctrl+Alt+Del clears, Ctrl+Del is a key.
TEST_F(KeyFieldTest, BuildsTheCombinationOfTheKeysHeld) {
    EXPECT_EQ(Press(VK_F5, {VK_CONTROL, VK_SHIFT}), Shown(0x0674, L"Ctrl+Shift+F5"));
    EXPECT_EQ(Press('A', {VK_LWIN, VK_MENU}), Shown(keys::kWin | keys::kAlt | 'A', L"Win+Alt+A"));
    EXPECT_EQ(Press(VK_CONTROL, {VK_CONTROL}), Shown(0, L"Ctrl+"));
    EXPECT_EQ(Press('K', {VK_CONTROL}), Shown(keys::kCtrl | 'K', L"Ctrl+K"));
    EXPECT_EQ(Press(VK_DELETE, {VK_CONTROL, VK_MENU}), Shown(0, L""));
    EXPECT_EQ(Press(VK_DELETE, {VK_CONTROL}).first, keys::kCtrl | VK_DELETE);
}

TEST_F(KeyFieldTest, NeverTakesText) {
    SendMessageW(field_, WM_CHAR, L'x', 1);
    SendMessageW(field_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed"));
    SendMessageW(field_, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"pasted"));
    EXPECT_EQ(Press(0, {}, WM_NULL).second, L"");
    Press('X', {});
    SendMessageW(field_, WM_CHAR, L'x', 1);
    EXPECT_EQ(Press(0, {}, WM_NULL).second, L"X");
}

// The character that translating a key press queued must not reach the
// dialog: Alt+A would otherwise press the button whose mnemonic is A.
TEST_F(KeyFieldTest, APressTakesTheCharacterItsTranslationQueued) {
    PostMessageW(field_, WM_SYSCHAR, L'a', 1);
    EXPECT_EQ(Press('A', {VK_MENU}, WM_SYSKEYDOWN).first, keys::kAlt | 'A');
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, field_, WM_CHAR, WM_SYSDEADCHAR, PM_REMOVE));
}

TEST(KeyFieldMenu, OffersTheKeysThatCannotBeTyped) {
    HMENU menu = shell::BuildKeyFieldMenu(0);
    ASSERT_EQ(GetMenuItemCount(menu), 8);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 0xB7 - 0xA6 + 1);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 1)), 7 + 9);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 2)), 24);
    EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 2), 4), shell::kMenuKeyBase + VK_F5);
    // Without a key the modifier items are disabled.
    EXPECT_EQ(GetMenuState(menu, shell::kMenuCtrl, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED), UINT(MF_GRAYED));
    DestroyMenu(menu);
    menu = shell::BuildKeyFieldMenu(keys::kCtrl | VK_F5);
    EXPECT_EQ(GetMenuState(menu, shell::kMenuCtrl, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED),
              UINT(MF_CHECKED));
    EXPECT_FALSE(GetMenuState(menu, shell::kMenuShift, MF_BYCOMMAND) & MF_CHECKED);
    DestroyMenu(menu);
}

// A key item keeps the modifiers, a modifier item toggles its own (on and
// off again); without
// a key a modifier item changes nothing.
TEST(KeyFieldMenu, ChoicesKeepOrToggleTheModifiers) {
    const uint16_t ctrlF5 = keys::kCtrl | VK_F5;
    const std::pair<UINT, uint16_t> choices[] = {
        {shell::kMenuKeyBase + VK_VOLUME_UP, keys::kCtrl | VK_VOLUME_UP},
        {shell::kMenuShift, ctrlF5 | keys::kShift},
        {shell::kMenuCtrl, VK_F5},
        {shell::kMenuWin, ctrlF5 | keys::kWin},
        {shell::kMenuAlt, ctrlF5 | keys::kAlt}};
    for (const auto& [item, key] : choices) EXPECT_EQ(shell::ApplyKeyFieldChoice(ctrlF5, item), key) << item;
    for (UINT item :
         {shell::kMenuWin, shell::kMenuCtrl, shell::kMenuShift, shell::kMenuAlt})  // twice: as it was
        EXPECT_EQ(shell::ApplyKeyFieldChoice(shell::ApplyKeyFieldChoice(ctrlF5, item), item), ctrlF5) << item;
    EXPECT_EQ(shell::ApplyKeyFieldChoice(0, shell::kMenuCtrl), 0);
}

}  // namespace
