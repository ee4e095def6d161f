// The dialogs of the language library that the frame opens, and the
// executable's own list menus: present, with the controls the code uses.
// (The options pages are opened, each of them, by the options tests.)
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on

#include <string>

#include "DialogIds.h"
#include "ProgramIds.h"
#include "TestSupport.h"

namespace {

std::wstring Text(HWND w) {
    wchar_t text[256] = {};
    GetWindowTextW(w, text, 256);
    return text;
}

// The about box names the version and offers the download page; the window
// list chooses several documents; the full-screen dialog is a tool window
// with its button.
TEST(LanguageDialogs, TheFramesDialogsHaveTheControlsItUses) {
    const HMODULE language = LoadLibraryExW((testing_support::TestFolder() + L"mui\\en.dll").c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(language, nullptr);
    auto create = [&](int id) {
        return CreateDialogParamW(
            language, MAKEINTRESOURCEW(id), nullptr,
            [](HWND, UINT msg, WPARAM, LPARAM) -> INT_PTR { return msg == WM_INITDIALOG; }, 0);
    };
    const HWND about = create(IDD_ABOUT), list = create(IDD_WINDOW_LIST), full = create(IDD_FULL_SCREEN);
    ASSERT_TRUE(about && list && full);
    EXPECT_EQ(Text(GetDlgItem(about, IDC_ABOUT_VERSION)), L"Morrowpad 1.0");
    for (const auto& [dialog, id] : {std::pair{about, IDC_ABOUT_DOWNLOAD},
                                     {about, IDOK},
                                     {list, IDC_WINDOW_ACTIVATE},
                                     {list, IDC_WINDOW_SAVE},
                                     {list, IDC_WINDOW_CLOSE}})
        EXPECT_NE(GetDlgItem(dialog, id), nullptr) << id;
    const LONG style = GetWindowLongW(GetDlgItem(list, IDC_WINDOW_LIST), GWL_STYLE);
    EXPECT_EQ(style & (LBS_EXTENDEDSEL | LBS_NOTIFY), LBS_EXTENDEDSEL | LBS_NOTIFY);
    EXPECT_EQ(Text(GetDlgItem(list, IDCANCEL)), L"Close");
    EXPECT_TRUE(GetWindowLongW(full, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(Text(GetDlgItem(full, 1)), L"Close Full Screen");
    for (HWND w : {about, list, full}) DestroyWindow(w);
}

// The code pages and line ends: identifiers and labels by position.
TEST(ProgramMenus, CodePagesAndLineEnds) {
    const struct {
        int menu, count, position;
        UINT id;
        const wchar_t* text;
    } items[] = {{IDM_CODEPAGES, 97, 0, 0, L"Default (ANSI)"},
                 {IDM_CODEPAGES, 97, 1, 65001, L"Unicode (UTF-8)"},
                 {IDM_CODEPAGES, 97, 65, 20932, L"Japanese (EUC-JP, JIS 0208-1900 and 0212-1900)"},
                 {IDM_CODEPAGES, 97, 96, 1252, L"Western European (Windows)"},
                 {IDM_LINE_ENDS, 3, 0, 1, L"PC(CR+LF)"},
                 {IDM_LINE_ENDS, 3, 1, 2, L"Unix(LF)"},
                 {IDM_LINE_ENDS, 3, 2, 3, L"Mac(CR)"}};
    for (const auto& i : items) {
        HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(i.menu));
        ASSERT_NE(menu, nullptr) << i.menu;
        HMENU popup = GetSubMenu(menu, 0);
        wchar_t text[128] = {};
        GetMenuStringW(popup, UINT(i.position), text, 128, MF_BYPOSITION);
        EXPECT_EQ(GetMenuItemCount(popup), i.count) << i.menu;
        EXPECT_EQ(GetMenuItemID(popup, i.position), i.id) << i.position;
        EXPECT_STREQ(text, i.text);
        DestroyMenu(menu);
    }
}

}  // namespace
