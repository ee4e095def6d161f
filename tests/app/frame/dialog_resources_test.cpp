// The dialogs of the language library that the frame opens, and the
// executable's own list menus: present, with the controls the code uses.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on

#include <string>

#include "DialogIds.h"
#include "ProgramIds.h"
#include "TestSupport.h"

namespace {

INT_PTR CALLBACK Quiet(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

class LanguageDialogs : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        language_ = LoadLibraryExW((testing_support::TestFolder() + L"mui\\en.dll").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE);
    }
    HWND Create(int id) { return CreateDialogParamW(language_, MAKEINTRESOURCEW(id), nullptr, &Quiet, 0); }
    static std::wstring Text(HWND w) {
        wchar_t text[256] = {};
        GetWindowTextW(w, text, 256);
        return text;
    }
    static HMODULE language_;
};
HMODULE LanguageDialogs::language_ = nullptr;

TEST_F(LanguageDialogs, AboutBoxNamesTheVersionAndOffersTheDownloadPage) {
    ASSERT_NE(language_, nullptr);
    HWND about = Create(IDD_ABOUT);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(Text(GetDlgItem(about, IDC_ABOUT_VERSION)), L"Morrowpad 1.0");
    EXPECT_NE(GetDlgItem(about, IDC_ABOUT_DOWNLOAD), nullptr);
    EXPECT_NE(GetDlgItem(about, IDOK), nullptr);
    DestroyWindow(about);
}

TEST_F(LanguageDialogs, WindowListChoosesSeveralDocuments) {
    HWND list = Create(IDD_WINDOW_LIST);
    ASSERT_NE(list, nullptr);
    const LONG style = GetWindowLongW(GetDlgItem(list, IDC_WINDOW_LIST), GWL_STYLE);
    EXPECT_TRUE(style & LBS_EXTENDEDSEL);
    EXPECT_TRUE(style & LBS_NOTIFY);
    for (int id : {IDC_WINDOW_ACTIVATE, IDC_WINDOW_SAVE, IDC_WINDOW_CLOSE})
        EXPECT_NE(GetDlgItem(list, id), nullptr) << id;
    EXPECT_EQ(Text(GetDlgItem(list, IDCANCEL)), L"Close");
    DestroyWindow(list);
}

TEST_F(LanguageDialogs, FullScreenDialogIsAToolWindowWithItsButton) {
    HWND dialog = Create(IDD_FULL_SCREEN);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(Text(GetDlgItem(dialog, 1)), L"Close Full Screen");
    DestroyWindow(dialog);
}

TEST_F(LanguageDialogs, EveryOptionsPageLoads) {
    for (int id = IDD_OPT_GENERAL; id <= IDD_OPT_LANGUAGE; ++id) {
        HRSRC found = FindResourceW(language_, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
        EXPECT_NE(found, nullptr) << id;
    }
}

std::wstring ItemText(HMENU menu, int position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, UINT(position), text, 128, MF_BYPOSITION);
    return text;
}

TEST(ProgramMenus, CodePagesAndLineEnds) {
    HMENU codePages = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_CODEPAGES));
    ASSERT_NE(codePages, nullptr);
    HMENU popup = GetSubMenu(codePages, 0);
    ASSERT_EQ(GetMenuItemCount(popup), 97);
    EXPECT_EQ(GetMenuItemID(popup, 0), 0u);
    EXPECT_EQ(ItemText(popup, 0), L"Default (ANSI)");
    EXPECT_EQ(GetMenuItemID(popup, 1), 65001u);
    EXPECT_EQ(ItemText(popup, 1), L"Unicode (UTF-8)");
    EXPECT_EQ(GetMenuItemID(popup, 65), 20932u);
    EXPECT_EQ(ItemText(popup, 65), L"Japanese (EUC-JP, JIS 0208-1900 and 0212-1900)");
    EXPECT_EQ(GetMenuItemID(popup, 96), 1252u);
    EXPECT_EQ(ItemText(popup, 96), L"Western European (Windows)");
    DestroyMenu(codePages);

    HMENU lineEnds = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_LINE_ENDS));
    ASSERT_NE(lineEnds, nullptr);
    popup = GetSubMenu(lineEnds, 0);
    ASSERT_EQ(GetMenuItemCount(popup), 3);
    EXPECT_EQ(ItemText(popup, 0), L"PC(CR+LF)");
    EXPECT_EQ(ItemText(popup, 1), L"Unix(LF)");
    EXPECT_EQ(ItemText(popup, 2), L"Mac(CR)");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(GetMenuItemID(popup, i), UINT(i + 1));
    DestroyMenu(lineEnds);
}

}  // namespace
