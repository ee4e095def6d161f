// The language library: every numbered string with its arguments, the main
// menu's positions and commands, the popups and the version resource.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "CommandIds.h"
#include "KeyBindings.h"
#include "TestSupport.h"

namespace {

class Language : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        path_ = testing_support::TestFolder() + L"mui\\en.dll";
        module_ =
            LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static std::wstring String(UINT id) {
        wchar_t buf[512];
        const int n = LoadStringW(module_, id, buf, 512);
        return std::wstring(buf, size_t(n > 0 ? n : 0));
    }
    // The printf conversions of a string, in order ("d", "s", ...).
    static std::string Conversions(const std::wstring& s) {
        std::string out;
        for (size_t i = 0; i + 1 < s.size(); ++i) {
            if (s[i] != L'%') continue;
            if (s[i + 1] == L'%') {
                ++i;
                continue;
            }
            size_t j = i + 1;
            while (j < s.size() && !iswalpha(s[j])) ++j;
            while (j < s.size() && (s[j] == L'l' || s[j] == L'h')) ++j;
            if (j < s.size()) out += char(s[j]);
            i = j;
        }
        return out;
    }
    static void Collect(HMENU menu, std::set<UINT>& ids) {
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            if (HMENU sub = GetSubMenu(menu, i))
                Collect(sub, ids);
            else
                ids.insert(GetMenuItemID(menu, i));
        }
    }
    static inline HMODULE module_ = nullptr;
    static inline std::wstring path_;
};

}  // namespace

TEST_F(Language, EveryNumberedStringTakesItsArguments) {
    ASSERT_NE(module_, nullptr);
    const struct {
        UINT id;
        const char* args;
    } strings[] = {{1, ""},      {2, ""},
                   {3, ""},      {4, ""},
                   {5, ""},      {6, ""},
                   {7, ""},      {8, ""},
                   {9, ""},      {10, ""},
                   {3008, "dd"}, {15000, ""},
                   {15015, ""},  {15001, "s"},
                   {15002, ""},  {15003, "dd"},
                   {15016, ""},  {15004, ""},
                   {15017, ""},  {15009, ""},
                   {15010, ""},  {15013, ""},
                   {15014, ""},  {15019, ""},
                   {15020, ""},  {15021, ""},
                   {15023, ""},  {15024, "sd"},
                   {15025, "d"}, {15100, "s"},
                   {15101, ""},  {15104, "ssXsd"} /* path, source, code, description, line */,
                   {15105, ""},  {15108, ""},
                   {15200, "d"}, {15204, "s"},
                   {15205, "s"}, {15206, "s"},
                   {15160, "s"}, {15170, "d"},
                   {15171, "d"}, {15172, ""},
                   {15173, "d"}, {15174, ""},
                   {15175, ""},  {15176, ""},
                   {15177, ""},  {15178, ""},
                   {15179, "d"}, {15180, ""},
                   {15181, "d"}, {15182, ""}};
    for (const auto& s : strings) {
        const std::wstring text = String(s.id);
        EXPECT_FALSE(text.empty()) << s.id;
        EXPECT_EQ(Conversions(text), s.args) << s.id;
    }
}

TEST_F(Language, TheMainMenuKeepsItsPositions) {
    HMENU menu = LoadMenuW(module_, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(menu, nullptr);
    HMENU file = GetSubMenu(menu, MENU_FILE);
    ASSERT_NE(file, nullptr);
    HMENU recent = GetSubMenu(file, MENU_FILE_RECENT_ITEM);
    ASSERT_NE(recent, nullptr);
    EXPECT_EQ(GetMenuItemID(recent, 0), UINT(ID_RECENT_FIRST));
    std::set<UINT> tools;
    Collect(GetSubMenu(menu, MENU_TOOLS), tools);
    EXPECT_TRUE(tools.count(ID_OPTIONS_TOOLS));
    HMENU macro = GetSubMenu(menu, MENU_MACRO);
    ASSERT_GE(GetMenuItemCount(macro), 9);  // nine fixed items
    EXPECT_EQ(GetMenuItemID(macro, 0), UINT(ID_MACRO_RECORD));
    std::set<UINT> macroIds;
    Collect(macro, macroIds);
    for (UINT id : {ID_MACRO_RECORD, ID_MACRO_PLAY, ID_MACRO_SAVE, ID_MACRO_PLAY_TIMES, ID_MACRO_REBUILD})
        EXPECT_TRUE(macroIds.count(id)) << id;
    HMENU plugins = GetSubMenu(menu, MENU_PLUGINS);
    ASSERT_NE(plugins, nullptr);
    EXPECT_EQ(GetMenuItemCount(plugins), 1);  // the placeholder
    DestroyMenu(menu);
}

// "Shift+Ctrl+F" and "Ctrl+Shift+F" name the same keys.
std::set<std::wstring> KeyParts(const std::wstring& name) {
    std::set<std::wstring> parts;
    size_t from = 0;
    for (size_t plus; (plus = name.find(L'+', from)) != std::wstring::npos; from = plus + 1)
        parts.insert(name.substr(from, plus - from));
    parts.insert(name.substr(from));
    return parts;
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// What the main menu shows: in each popup every mnemonic once, and beside
// each command the key that the shipped key bindings give it.
TEST_F(Language, TheMainMenuShowsTheShippedKeysAndMnemonicsOnce) {
    HMENU menu = LoadMenuW(module_, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(menu, nullptr);
    std::map<UINT, std::wstring> shown;  // command -> the key after the tab
    std::set<UINT> items;
    Collect(menu, items);
    std::function<void(HMENU, const std::wstring&)> walk = [&](HMENU popup, const std::wstring& where) {
        std::map<wchar_t, std::wstring> mnemonics;
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            wchar_t text[256] = {};
            GetMenuStringW(popup, UINT(i), text, 256, MF_BYPOSITION);
            const std::wstring item = text;
            const size_t amp = item.find(L'&');
            if (amp != std::wstring::npos && amp + 1 < item.size()) {
                const wchar_t m = wchar_t(towupper(item[amp + 1]));
                EXPECT_EQ(mnemonics.count(m), 0u) << Narrow(where) << ": \"" << Narrow(item) << "\" and \""
                                                  << Narrow(mnemonics[m]) << "\" share a mnemonic";
                mnemonics[m] = item;
            }
            if (HMENU sub = GetSubMenu(popup, i)) {
                walk(sub, where + L" > " + item);
            } else if (const size_t tab = item.find(L'\t'); tab != std::wstring::npos) {
                shown[GetMenuItemID(popup, i)] = item.substr(tab + 1);
            }
        }
    };
    walk(menu, L"menu");
    DestroyMenu(menu);
    // The shipped bindings of commands with a menu item.
    const std::wstring ini = testing_support::TestFolder() + L"defaults\\key.ini";
    std::map<UINT, std::wstring> bound;
    for (int i = 0;; ++i) {
        const std::wstring key = L"Command" + std::to_wstring(i);
        wchar_t value[32] = {};
        if (!GetPrivateProfileStringW(L"Global", key.c_str(), L"", value, 32, ini.c_str())) break;
        const uint32_t entry = uint32_t(_wtoi(value));
        bound[entry >> 16] = keys::KeyName(uint16_t(entry & 0xFFFF));
    }
    ASSERT_GT(bound.size(), 10u) << Narrow(ini);
    // File > Close is the command the window's Close Document key runs.
    bound[ID_FILE_CLOSE] = bound[ID_CLOSE_DOCUMENT];
    for (UINT id : {UINT(ID_FILE_CLOSE), UINT(ID_TOGGLE_OUTPUT), UINT(ID_FULL_SCREEN), UINT(ID_WORD_WRAP)})
        EXPECT_TRUE(bound.count(id)) << id << " has no shipped key";
    for (const auto& [id, key] : bound) {
        if (!items.count(id)) continue;
        EXPECT_EQ(KeyParts(shown[id]), KeyParts(key))
            << "command " << id << " shows \"" << Narrow(shown[id]) << "\", its key is " << Narrow(key);
    }
}

TEST_F(Language, EveryCommandHasAPlace) {
    std::set<UINT> ids;
    for (UINT m : {IDR_MAINFRAME, IDM_PANE_CONTEXT, IDM_OUTPUT_CONTEXT, IDM_FRAME_CONTEXT}) {
        HMENU menu = LoadMenuW(module_, MAKEINTRESOURCEW(m));
        ASSERT_NE(menu, nullptr) << m;
        Collect(menu, ids);
        DestroyMenu(menu);
    }
    const UINT commands[] = {ID_FILE_NEW,           ID_FILE_OPEN,         ID_FILE_CLOSE,
                             ID_FILE_SAVE,          ID_FILE_SAVE_AS,      ID_FILE_PRINT,
                             ID_FILE_PRINT_PREVIEW, ID_EDIT_COPY,         ID_EDIT_CUT,
                             ID_EDIT_FIND,          ID_EDIT_PASTE,        ID_EDIT_REPLACE,
                             ID_EDIT_UNDO,          ID_EDIT_REDO,         ID_APP_ABOUT,
                             ID_APP_EXIT,           ID_VIEW_TOOLBAR,      ID_VIEW_STATUS_BAR,
                             ID_NEXT_TAB,           ID_PREV_TAB,          ID_CLOSE_ALL,
                             ID_CLOSE_OTHERS,       ID_SPLIT_SIDE,        ID_SPLIT_STACKED,
                             ID_CLOSE_DOCUMENT,     ID_WINDOW_LIST,       ID_SYNC_SCROLL,
                             ID_OPTIONS_GENERAL,    ID_NEW_FROM_TEMPLATE, ID_OPTIONS_FILE_TYPES,
                             ID_TOGGLE_TABS,        ID_TOGGLE_OUTPUT,     ID_FULL_SCREEN,
                             ID_OPTIONS_FONTS,      ID_OPTIONS_TOOLS,     ID_FIND_IN_FILES,
                             ID_MACRO_RECORD,       ID_MACRO_PLAY,        ID_MACRO_SAVE,
                             ID_MACRO_PLAY_TIMES,   ID_MACRO_REBUILD,     ID_OPTIONS_MACRO_KEYS,
                             ID_COPY_CAPTION,       ID_CLIPBOARD_MONITOR, ID_OPTIONS_KEYS,
                             ID_DOWNLOAD_PAGE,      ID_BUG_REPORT,        ID_FIND_NEXT,
                             ID_FIND_PREVIOUS,      ID_FIND_NEXT_WORD,    ID_FIND_PREVIOUS_WORD,
                             ID_TOGGLE_BOOKMARK,    ID_CLEAR_BOOKMARKS,   ID_PREV_BOOKMARK,
                             ID_NEXT_BOOKMARK,      ID_OUTPUT_CLEAR,      ID_OUTPUT_LINE_NUMBERS,
                             ID_VIEW_LINE_NUMBERS,  ID_VIEW_RULER,        ID_VIEW_WHITESPACE,
                             ID_VIEW_LINE_ENDS,     ID_VIEW_EOF,          ID_VIEW_ACTIVE_LINE,
                             ID_VIEW_CONTROL_CHARS, ID_VIEW_INDENT_LINES, ID_WORD_WRAP,
                             ID_LINE_SPACING,       ID_BRACE_MATCH,       ID_FOLD_NONE,
                             ID_FOLD_AUTO,          ID_FOLD_HOST,         ID_FOLD_SELECTION,
                             ID_FONT_LARGER,        ID_FONT_SMALLER,      ID_GOTO_LINE,
                             ID_AUTO_COMPLETE,      ID_REMOVE_BLANK_LINES};
    for (UINT id : commands) EXPECT_TRUE(ids.count(id)) << "command " << id << " has no menu item";
    for (UINT id = ID_FONT_FIRST; id <= ID_FONT_LAST; ++id) EXPECT_TRUE(ids.count(id)) << id;
}

TEST_F(Language, PopupsAndVersionResourceExist) {
    for (UINT m : {IDM_BOM_POPUP, IDM_EDIT_COMMANDS, IDM_GLOBAL_COMMANDS, IDM_PANE_CONTEXT,
                   IDM_CODEPAGE_POPUP, IDM_OUTPUT_CONTEXT, IDM_FRAME_CONTEXT, IDM_TAB_POPUP}) {
        HMENU menu = LoadMenuW(module_, MAKEINTRESOURCEW(m));
        ASSERT_NE(menu, nullptr) << m;
        EXPECT_NE(GetSubMenu(menu, 0), nullptr) << m;
        DestroyMenu(menu);
    }
    HMENU tabs = LoadMenuW(module_, MAKEINTRESOURCEW(IDM_TAB_POPUP));
    HMENU sub = GetSubMenu(tabs, 0);
    EXPECT_EQ(GetMenuItemID(sub, 10), 10u);  // item 10 asks for a size
    EXPECT_EQ(GetMenuItemID(sub, 11), 11u);  // item 11 switches soft tabs
    DestroyMenu(tabs);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, info.data()));
    WORD* translation = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &len));
    ASSERT_GE(len, 4u);
    wchar_t name[64];
    VerLanguageNameW(translation[0], name, 64);
    EXPECT_NE(std::wstring(name).find(L"English"), std::wstring::npos)
        << std::string(name, name + wcslen(name));
}
