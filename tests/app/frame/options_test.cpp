// The options dialog driven as a user drives it: each page's controls set
// by messages, Apply pressed, and the settings files read back.
// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>

#include <tuple>

#include "CommandIds.h"
#include "DialogIds.h"
#include "OptionsPages.h"
#include "OptionsSheet.h"
#include "Program.h"
#include "ProgramIds.h"
#include "ShellRegistration.h"
#include "TestSupport.h"
#include "Timers.h"

using settings::File;
using shell::OptionsPage;
using testing_support::CHeldKeys;

namespace {

// The frame's side: every private message it receives, in order.
std::vector<std::pair<UINT, WPARAM>>& FrameMessages() {
    static std::vector<std::pair<UINT, WPARAM>> messages;
    return messages;
}

HWND RecordingFrame() {
    static HWND frame = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
            if (msg >= WM_USER && msg < 0x8000) FrameMessages().push_back({msg, wp});
            return DefWindowProcW(hwnd, msg, wp, lp);
        };
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OptionsTestFrame";
        RegisterClassW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                               nullptr, wc.hInstance, nullptr);
    }();
    return frame;
}

struct Keys {
    keys::CKeyTables tables_;
};

// The sheet over the recording frame and a throw-away program folder.
class Options : public ::testing::Test, protected Keys, protected testing_support::COptionsSheet {
   protected:
    Options() : COptionsSheet(RecordingFrame(), tables_) {}
    static void SetUpTestSuite() {
        shell::SetResourceModule(LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str()));
    }
    void SetUp() override {
        ASSERT_NE(RecordingFrame(), nullptr);
        folder_ = testing_support::MakeTempFolder(L"mp-options-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        FrameMessages().clear();
    }
    void TearDown() override {
        Close();
        settings::SetProgramFolder(L"");
    }
    // The values of these keys of one section, "|" between them.
    static std::wstring Values(File f, const wchar_t* section, std::initializer_list<const wchar_t*> keys) {
        std::wstring out;
        for (const wchar_t* key : keys) out += (key == *keys.begin() ? L"" : L"|") + Value(f, section, key);
        return out;
    }
    // The same key of several sections.
    static std::wstring Across(File f, std::initializer_list<const wchar_t*> sections, const wchar_t* key) {
        std::wstring out;
        for (const wchar_t* s : sections) out += (s == *sections.begin() ? L"" : L"|") + Value(f, s, key);
        return out;
    }
    void Write(File f, const wchar_t* section,
               std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> kv) {
        for (const auto& [key, value] : kv) settings::WriteString(f, section, key, value);
    }
    std::wstring Macro(const std::wstring& name, const char* text) {
        CreateDirectoryW((folder_ + L"macro").c_str(), nullptr);
        CreateDirectoryW((folder_ + L"macro\\sub").c_str(), nullptr);
        EXPECT_TRUE(testing_support::WriteFileText(folder_ + L"macro\\" + name, text));
        return folder_ + L"macro\\" + name;
    }
    std::wstring folder_;
};

TEST(OptionsCommands, EachCommandOpensItsPage) {
    for (const auto& [command, page] : {std::pair{1230, OptionsPage::General},
                                        {1321, OptionsPage::FileType},
                                        {1335, OptionsPage::Font},
                                        {1336, OptionsPage::Tool},
                                        {1580, OptionsPage::Macro},
                                        {2002, OptionsPage::Accel},
                                        {57600, OptionsPage::General}})
        EXPECT_EQ(int(shell::OptionsPageFor(command)), int(page)) << command;
}

// Nothing is written until a control changes; numbers are kept within
// their ranges; a field without a number is refused and gets the focus.
TEST_F(Options, GeneralPageKeepsNumbersInRangeAndRefusesOthers) {
    ASSERT_TRUE(Open(OptionsPage::General));
    EXPECT_EQ(Text(IDC_GEN_DETECT_BUFFER) + L"|" + Text(IDC_GEN_RECENT_COUNT), L"4|0");
    EXPECT_TRUE(Apply());
    EXPECT_FALSE(Exists(File::Setting));
    EXPECT_FALSE(Exists(File::History));
    const struct {
        const wchar_t *detect, *recent;
        bool applied;
        const wchar_t* stored;
    } cases[] = {{L"12abc", L"10", false, L"<missing>|<missing>"},
                 {L"", L"10", false, L"<missing>|<missing>"},
                 {L"5000", L"100", true, L"4096|63"},
                 {L"1", L"-5", true, L"4|0"},
                 {L" 64 ", L"10", true, L"64|10"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.detect) + L"," + c.recent));
        Type(IDC_GEN_DETECT_BUFFER, c.detect);
        Type(IDC_GEN_RECENT_COUNT, c.recent);
        EXPECT_EQ(Apply(), c.applied);
        if (!c.applied) {
            EXPECT_EQ(GetFocus(), Item(IDC_GEN_DETECT_BUFFER));
        }
        EXPECT_EQ(Value(File::Setting, L"Setting", L"AutoDetectBuffer") + L"|" +
                      Value(File::History, L"RecentDoc", L"Count"),
                  c.stored);
    }
    EXPECT_EQ(Value(File::Setting, L"Setting", L"FullScreenDialog"), L"Y");
}

TEST_F(Options, TurningMultipleInstancesOffTakesTheInstanceMutex) {
    auto taken = [] {
        HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, MORROWPAD_MUTEX_NAME);
        if (m) CloseHandle(m);
        return m != nullptr;
    };
    ASSERT_TRUE(Open(OptionsPage::General));
    EXPECT_TRUE(Checked(IDC_GEN_MULTI_INSTANCE));  // a missing MulInst is shown ticked
    EXPECT_FALSE(taken());
    Click(IDC_GEN_MULTI_INSTANCE);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Setting", L"MulInst"), L"N");
    EXPECT_TRUE(taken());
}

TEST_F(Options, FilePageWritesItsSixKeys) {
    ASSERT_TRUE(Open(OptionsPage::File));
    EXPECT_EQ(Count(IDC_FILE_ENCODING, CB_GETCOUNT), 97);
    EXPECT_EQ(Count(IDC_FILE_FORMAT, CB_GETCOUNT), 3);
    EXPECT_TRUE(Apply());
    EXPECT_FALSE(Exists(File::Setting));  // nothing changed
    EXPECT_TRUE(ChooseComboData(IDC_FILE_FORMAT, 2));
    EXPECT_TRUE(ChooseComboData(IDC_FILE_ENCODING, 65001));
    Click(IDC_FILE_EXCLUSIVE);
    Type(IDC_FILE_AUTOWRAP, L"500");
    Click(IDC_FILE_DETECT);
    Click(IDC_FILE_RELOAD);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Values(File::Setting, L"Setting",
                     {L"DefaultFileFormat", L"DefaultEncoding", L"ExclusiveMode", L"AutoWrapMax",
                      L"DetectChanges", L"ReloadUnmodified"}),
              L"2|65001|N|500|N|N");
}

TEST_F(Options, FilePageShowsTheSettingsAndRefusesABadNumber) {
    Write(File::Setting, L"Setting", {{L"DefaultEncoding", L"1252"}, {L"DefaultFileFormat", L"3"}});
    ASSERT_TRUE(Open(OptionsPage::File));
    EXPECT_EQ(SelectedComboData(IDC_FILE_ENCODING), 1252);
    EXPECT_EQ(Text(IDC_FILE_FORMAT), L"Mac(CR)");
    ChooseComboData(IDC_FILE_FORMAT, 1);
    Type(IDC_FILE_AUTOWRAP, L"many");
    EXPECT_FALSE(Apply());
    EXPECT_EQ(GetFocus(), Item(IDC_FILE_AUTOWRAP));
    EXPECT_EQ(Values(File::Setting, L"Setting", {L"DefaultFileFormat", L"AutoWrapMax"}), L"3|<missing>");
    // A code page the list does not name is shown by number and kept.
    Close();
    settings::WriteInt(File::Setting, L"Setting", L"DefaultEncoding", 1047);
    ASSERT_TRUE(Open(OptionsPage::File));
    EXPECT_EQ(Text(IDC_FILE_ENCODING), L"Code page 1047");
    Type(IDC_FILE_AUTOWRAP, L"20");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Setting", L"DefaultEncoding"), L"1047");
}

TEST_F(Options, FileTypePageWritesTheListWithTabSizesKeptInRange) {
    settings::WriteInt(File::Syntax, L"Syntax", L"Count", 2);
    Write(File::Syntax, L"Syntax0",
          {{L"Title", L"C++"},
           {L"File", L"cpp.vbs"},
           {L"Ext", L"c;cpp;h"},
           {L"Template", L"cpp.txt"},
           {L"Tab", L"4"},
           {L"Names", L"Makefile;*.mk.in"}});
    Write(File::Syntax, L"Syntax1", {{L"Title", L"Text"}, {L"File", L"text.vbs"}});
    ASSERT_TRUE(Open(OptionsPage::FileType));
    EXPECT_FALSE(GetWindowLongW(Item(IDC_TYPE_LIST), GWL_STYLE) & LBS_SORT);  // list order is entry order
    EXPECT_EQ(Count(IDC_TYPE_LIST, LB_GETCOUNT), 2);
    EXPECT_EQ(Text(IDC_TYPE_EXT) + L"|" + Text(IDC_TYPE_NAMES), L"c;cpp;h|Makefile;*.mk.in");
    ChooseList(IDC_TYPE_LIST, 1);
    EXPECT_EQ(Text(IDC_TYPE_TITLE), L"Text");
    Type(IDC_TYPE_TAB, L"40");
    Click(IDC_TYPE_ADD);  // left without a file: skipped
    Type(IDC_TYPE_TITLE, L"Unfinished");
    Click(IDC_TYPE_ADD);
    Type(IDC_TYPE_TITLE, L"Python");
    Type(IDC_TYPE_FILE, L"python.vbs");
    Type(IDC_TYPE_EXT, L"py");
    Type(IDC_TYPE_NAMES, L"SConstruct");
    Type(IDC_TYPE_TAB, L"-3");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Syntax, L"Syntax", L"Count"), L"4");
    EXPECT_EQ(Values(File::Syntax, L"Syntax0", {L"Template", L"Names", L"Tab"}),
              L"cpp.txt|Makefile;*.mk.in|4");
    EXPECT_EQ(Values(File::Syntax, L"Syntax3", {L"Title", L"Ext", L"Names", L"Tab"}),
              L"Python|py|SConstruct|4");
    EXPECT_EQ(Value(File::Syntax, L"Syntax1", L"Tab"), L"32");
    EXPECT_EQ(Value(File::Syntax, L"Syntax2", L"Title"), L"<missing>");
    // Removing the first entry renumbers the rest; no stale section stays.
    ChooseList(IDC_TYPE_LIST, 0);
    Click(IDC_TYPE_REMOVE);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Syntax, L"Syntax", L"Count"), L"3");
    EXPECT_EQ(Across(File::Syntax, {L"Syntax0", L"Syntax2", L"Syntax3"}, L"Title"), L"Text|Python|<missing>");
}

TEST_F(Options, FileTypePageReadsADamagedListSafely) {
    settings::WriteString(File::Syntax, L"Syntax", L"Count", L"100000");
    Write(File::Syntax, L"Syntax0", {{L"Title", L"C"}, {L"File", L"c.vbs"}, {L"Tab", L"abc"}});
    Write(File::Syntax, L"Syntax2", {{L"Title", L"Far"}, {L"File", L"far.vbs"}});
    ASSERT_TRUE(Open(OptionsPage::FileType));
    // Positions are kept up to the last entry that holds anything.
    EXPECT_EQ(Count(IDC_TYPE_LIST, LB_GETCOUNT), 3);
    EXPECT_EQ(Text(IDC_TYPE_TAB), L"");
    Type(IDC_TYPE_EXT, L"c");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Syntax, L"Syntax", L"Count") + L"|" + Value(File::Syntax, L"Syntax0", L"Tab") +
                  L"|" + Value(File::Syntax, L"Syntax2", L"Title"),
              L"3|0|Far");
    // A tab size without a number is refused.
    Close();
    DeleteFileW(settings::PathOf(File::Syntax).c_str());
    ASSERT_TRUE(Open(OptionsPage::FileType));
    Click(IDC_TYPE_ADD);
    Type(IDC_TYPE_TITLE, L"Ini");
    Type(IDC_TYPE_FILE, L"ini.vbs");
    Type(IDC_TYPE_TAB, L"four");
    EXPECT_FALSE(Apply());
    EXPECT_EQ(GetFocus(), Item(IDC_TYPE_TAB));
    EXPECT_FALSE(Exists(File::Syntax));
}

TEST_F(Options, FontPageWritesOnlyEditedSlotsAndTellsTheFrame) {
    ASSERT_TRUE(Open(OptionsPage::Font));
    EXPECT_EQ(Count(IDC_FONT_SLOTS, LB_GETCOUNT), 13);
    ChooseList(IDC_FONT_SLOTS, 2);
    EXPECT_EQ(Text(IDC_FONT_SIZE), L"8");
    Type(IDC_FONT_SIZE, L"12");
    ChooseList(IDC_FONT_SLOTS, 12);
    EXPECT_EQ(Text(IDC_FONT_FACE), L"Tahoma");
    Click(IDC_FONT_BOLD);
    ChooseComboData(IDC_FONT_QUALITY, 5);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Values(File::Setting, L"Fonts", {L"Font2", L"Font12", L"Font0"}),
              L"Courier New,12,0,0,0|Tahoma,8,1,0,5|<missing>");
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {MPF_FONT_CHANGED, 1432}, {MPF_FONT_CHANGED, 1442}, {MPF_REBUILD_FONT_MENU, 0}};
    EXPECT_EQ(FrameMessages(), expected);
    FrameMessages().clear();
    ASSERT_TRUE(Apply());  // nothing edited since
    EXPECT_TRUE(FrameMessages().empty());
    // A face typed into the field is taken; a size without a number is refused.
    ChooseList(IDC_FONT_SLOTS, 10);
    HWND edit = GetWindow(Item(IDC_FONT_FACE), GW_CHILD);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Lucida Console"));
    ChooseComboData(IDC_FONT_CHARSET, 204);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Fonts", L"Font10"), L"Lucida Console,8,0,204,0");
    ChooseList(IDC_FONT_SLOTS, 0);
    Type(IDC_FONT_SIZE, L"big");
    FrameMessages().clear();
    EXPECT_FALSE(Apply());
    EXPECT_EQ(GetFocus(), Item(IDC_FONT_SIZE));
    EXPECT_TRUE(FrameMessages().empty());
    EXPECT_EQ(Value(File::Setting, L"Fonts", L"Font0"), L"<missing>");
}

TEST_F(Options, TabPageWritesFiveKeys) {
    ASSERT_TRUE(Open(OptionsPage::Tab));
    EXPECT_TRUE(Checked(IDC_TAB_BOTTOM));
    Click(IDC_TAB_BOTTOM);
    ChooseComboData(IDC_TAB_STYLE, 2);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Values(File::Setting, L"Tab", {L"Bottom", L"ShowIcon", L"ShowMark", L"FixedWidth", L"Style"}),
              L"N|Y|Y|Y|2");
}

TEST_F(Options, AccelPageAssignsRefusesATakenKeyAndRemoves) {
    const uint16_t ctrlO = keys::kCtrl | 'O', ctrlN = keys::kCtrl | 'N';
    tables_.commands.push_back((uint32_t(ID_FILE_OPEN) << 16) | ctrlO);
    ASSERT_TRUE(Open(OptionsPage::Accel));
    ASSERT_TRUE(SelectTreeItem(IDC_ACCEL_TREE, L"New"));
    EXPECT_EQ(Count(IDC_ACCEL_KEYS, LB_GETCOUNT), 0);
    PressKey(IDC_ACCEL_KEY, 'N', {VK_CONTROL});
    EXPECT_EQ(Text(IDC_ACCEL_KEY), L"Ctrl+N");
    Click(IDC_ACCEL_ASSIGN);
    ASSERT_EQ(tables_.commands.size(), 2u);
    EXPECT_EQ(tables_.commands[1], (uint32_t(ID_FILE_NEW) << 16) | ctrlN);
    EXPECT_TRUE(tables_.commandsModified);
    EXPECT_EQ(Text(IDC_ACCEL_KEY), L"");
    ASSERT_EQ(Count(IDC_ACCEL_KEYS, LB_GETCOUNT), 1);
    wchar_t shown[64] = {};
    SendMessageW(Item(IDC_ACCEL_KEYS), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(shown));
    EXPECT_STREQ(shown, L"Ctrl+N");

    PressKey(IDC_ACCEL_KEY, 'O', {VK_CONTROL});
    Click(IDC_ACCEL_ASSIGN);
    EXPECT_EQ(tables_.commands.size(), 2u);
    EXPECT_NE(Text(IDC_ACCEL_STATUS).find(L"Open"), std::wstring::npos) << Text(IDC_ACCEL_STATUS);
    ASSERT_TRUE(Apply());
    EXPECT_FALSE(tables_.commandsModified);
    EXPECT_EQ(
        Values(File::Key, L"Global", {L"Command0", L"Command1"}),
        std::to_wstring((ID_FILE_OPEN << 16) | ctrlO) + L"|" + std::to_wstring((ID_FILE_NEW << 16) | ctrlN));

    ChooseList(IDC_ACCEL_KEYS, 0);
    Click(IDC_ACCEL_REMOVE);
    EXPECT_EQ(tables_.commands.size(), 1u);
    EXPECT_EQ(Count(IDC_ACCEL_KEYS, LB_GETCOUNT), 0);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Key, L"Global", L"Command1"), L"<missing>");
    // The edit control's own commands are listed too.
    ASSERT_TRUE(ChooseComboData(IDC_ACCEL_GROUP, IDM_EDIT_COMMANDS));
    ASSERT_TRUE(SelectTreeItem(IDC_ACCEL_TREE, L"Duplicate Line"));
    PressKey(IDC_ACCEL_KEY, 'D', {VK_CONTROL, VK_SHIFT});
    Click(IDC_ACCEL_ASSIGN);
    ASSERT_EQ(tables_.commands.size(), 2u);
    EXPECT_EQ(tables_.commands[1], (54u << 16) | keys::kCtrl | keys::kShift | 'D');
}

TEST_F(Options, CancelGivesBackTheKeyTablesAsTheyWereAtTheLastApply) {
    tables_.commands.push_back((uint32_t(ID_FILE_OPEN) << 16) | keys::kCtrl | 'O');
    Macro(L"first.mac", "x = 1\r\n");
    ASSERT_TRUE(Open(OptionsPage::Accel));
    ASSERT_TRUE(SelectTreeItem(IDC_ACCEL_TREE, L"Save"));
    PressKey(IDC_ACCEL_KEY, 'S', {VK_CONTROL});
    Click(IDC_ACCEL_ASSIGN);
    ASSERT_TRUE(Apply());
    const std::vector<uint32_t> applied = tables_.commands;
    ASSERT_EQ(applied.size(), 2u);
    PressKey(IDC_ACCEL_KEY, 'W', {VK_CONTROL});
    Click(IDC_ACCEL_ASSIGN);
    ASSERT_TRUE(GoTo(int(OptionsPage::Macro)));
    ASSERT_TRUE(SelectTreeItem(IDC_MACRO_TREE, L"first"));
    PressKey(IDC_MACRO_KEY, 'M', {VK_CONTROL});
    Click(IDC_MACRO_ASSIGN);
    ASSERT_EQ(tables_.macros.size(), 1u);
    ASSERT_EQ(tables_.commands.size(), 3u);
    PropSheet_PressButton(Sheet(), PSBTN_CANCEL);
    Pump();
    EXPECT_EQ(tables_.commands, applied);
    EXPECT_FALSE(tables_.commandsModified);
    EXPECT_TRUE(tables_.macros.empty());
    EXPECT_FALSE(tables_.macrosModified);
}

// Keys pressed in the key field go through the sheet's dialog handling as
// in the program's loop: Enter and Esc become keys, not OK and Cancel, and
// Alt+A does not press Assign.
TEST_F(Options, KeyFieldKeepsTheKeysTheDialogWouldTake) {
    ASSERT_TRUE(Open(OptionsPage::Accel));
    ASSERT_TRUE(SelectTreeItem(IDC_ACCEL_TREE, L"Save"));
    for (const auto& [down, vk, held, shown] : {std::tuple{UINT(WM_KEYDOWN), VK_RETURN, 0, L"Enter"},
                                                {WM_KEYDOWN, VK_ESCAPE, 0, L"Esc"},
                                                {WM_SYSKEYDOWN, 'A', VK_MENU, L"Alt+A"}}) {
        CHeldKeys keys(held ? std::vector<int>{held} : std::vector<int>{});
        SetFocus(Item(IDC_ACCEL_KEY));
        PostMessageW(Item(IDC_ACCEL_KEY), down, WPARAM(vk), 1);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (PropSheet_IsDialogMessage(Sheet(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        ASSERT_NE(PropSheet_GetCurrentPageHwnd(Sheet()), nullptr) << shown;
        EXPECT_EQ(Text(IDC_ACCEL_KEY), shown);
    }
    EXPECT_TRUE(tables_.commands.empty());
}

TEST_F(Options, EveryPageOpensOverDamagedSettings) {
    Write(File::Setting, L"Setting",
          {{L"AutoDetectBuffer", L"lots"},
           {L"DefaultEncoding", L"-7"},
           {L"DefaultFileFormat", L"9"},
           {L"Language", L"..\\..\\nowhere.dll"}});
    Write(File::Setting, L"Fonts", {{L"Font0", L"Courier New,,,"}});
    Write(File::Setting, L"Tab", {{L"Style", L"77"}});
    Write(File::History, L"RecentDoc", {{L"Count", L"99999999999"}});
    Write(File::Tools, L"Tool0", {{L"Flag", L"junk"}});
    Write(File::Syntax, L"Syntax", {{L"Count", L"-4"}});
    ASSERT_TRUE(Open(OptionsPage::General));
    EXPECT_EQ(Text(IDC_GEN_DETECT_BUFFER) + L"|" + Text(IDC_GEN_RECENT_COUNT), L"4|0");
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(GoTo(i)) << i;
    ASSERT_TRUE(GoTo(int(OptionsPage::File)));
    EXPECT_EQ(Text(IDC_FILE_FORMAT) + L"|" + Text(IDC_FILE_ENCODING), L"PC(CR+LF)|Default (ANSI)");
    ASSERT_TRUE(GoTo(int(OptionsPage::Font)));
    EXPECT_EQ(Text(IDC_FONT_FACE), L"Courier New");
    ASSERT_TRUE(GoTo(int(OptionsPage::Tool)));
    EXPECT_FALSE(Checked(IDC_TOOL_CAPTURE));
    EXPECT_TRUE(Apply());
    // Nothing was changed: nothing was written over the damaged values.
    EXPECT_EQ(Value(File::Setting, L"Setting", L"AutoDetectBuffer") + L"|" +
                  Value(File::Setting, L"Fonts", L"Font0") + L"|" + Value(File::Syntax, L"Syntax", L"Count") +
                  L"|" + Value(File::Tools, L"Tool0", L"Flag"),
              L"lots|Courier New,,,|-4|junk");
}

TEST_F(Options, MacroPageBindsAndRemovesAKey) {
    Macro(L"first.mac", "x = 1\r\n");
    const std::wstring second = Macro(L"sub\\second.MAC", "x = 2\r\n");
    Macro(L"notes.txt", "not a macro");
    ASSERT_TRUE(Open(OptionsPage::Macro));
    EXPECT_EQ(TreeView_GetCount(Item(IDC_MACRO_TREE)), 3u);  // first, sub, second
    EXPECT_FALSE(SelectTreeItem(IDC_MACRO_TREE, L"notes"));
    ASSERT_TRUE(SelectTreeItem(IDC_MACRO_TREE, L"second"));
    PressKey(IDC_MACRO_KEY, 'M', {VK_CONTROL, VK_SHIFT});
    Click(IDC_MACRO_ASSIGN);
    const uint16_t key = keys::kCtrl | keys::kShift | 'M';
    ASSERT_EQ(tables_.macros.size(), 1u);
    EXPECT_EQ(tables_.macros[0].key, key);
    EXPECT_EQ(tables_.macros[0].path, second);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Key, L"Macro", L"Command0"), std::to_wstring(key) + L"," + second);
    // The same key for another file is refused.
    ASSERT_TRUE(SelectTreeItem(IDC_MACRO_TREE, L"first"));
    PressKey(IDC_MACRO_KEY, 'M', {VK_CONTROL, VK_SHIFT});
    Click(IDC_MACRO_ASSIGN);
    EXPECT_EQ(tables_.macros.size(), 1u);
    EXPECT_NE(Text(IDC_MACRO_STATUS).find(L"second.MAC"), std::wstring::npos);
    ASSERT_TRUE(SelectTreeItem(IDC_MACRO_TREE, L"second"));
    EXPECT_EQ(Text(IDC_MACRO_KEY), L"Ctrl+Shift+M");
    Click(IDC_MACRO_REMOVE);
    EXPECT_TRUE(tables_.macros.empty());
    EXPECT_EQ(Text(IDC_MACRO_KEY) + L"|" + Text(IDC_MACRO_STATUS), L"|The key binding was removed.");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Key, L"Macro", L"Command0"), L"<missing>");
}

TEST_F(Options, ToolPageRewritesTheToolsFile) {
    Write(File::Tools, L"Tool0",
          {{L"Title", L"Old"}, {L"ExePath", L"old.exe"}, {L"Args", L"\"# $(File) \""}, {L"Flag", L"2"}});
    Write(File::Tools, L"Stray", {{L"Key", L"gone after the rewrite"}});
    ASSERT_TRUE(Open(OptionsPage::Tool));
    EXPECT_FALSE(GetWindowLongW(Item(IDC_TOOL_LIST), GWL_STYLE) & LBS_SORT);  // list order is tool order
    EXPECT_EQ(Count(IDC_TOOL_LIST, LB_GETCOUNT), 1);
    EXPECT_EQ(Text(IDC_TOOL_ARGS), L" $(File) ");
    EXPECT_TRUE(Checked(IDC_TOOL_ASK));
    Click(IDC_TOOL_ADD);
    Type(IDC_TOOL_TITLE, L"Grep");
    Type(IDC_TOOL_EXE, L"grep.exe");
    Type(IDC_TOOL_ARGS, L"-n $(CurWord)");
    Type(IDC_TOOL_DIR, L"$(FileDir)");
    Click(IDC_TOOL_CAPTURE);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Values(File::Tools, L"Tool0", {L"Title", L"Args", L"Flag"}), L"Old|# $(File) |2");
    EXPECT_EQ(Values(File::Tools, L"Tool1", {L"Title", L"ExePath", L"Args", L"InitDir", L"Flag"}),
              L"Grep|grep.exe|#-n $(CurWord)|#$(FileDir)|1");
    EXPECT_EQ(Value(File::Tools, L"Stray", L"Key"), L"<missing>");
    ChooseList(IDC_TOOL_LIST, 1);
    Click(IDC_TOOL_UP);
    ChooseList(IDC_TOOL_LIST, 1);
    Click(IDC_TOOL_REMOVE);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Across(File::Tools, {L"Tool0", L"Tool1"}, L"Title"), L"Grep|<missing>");
}

// The placeholders are listed beside the arguments (the chosen one goes in
// at the caret), and the program is chosen with a file dialog.
UINT g_placeholderItem = 0;
UINT PickPlaceholder(HWND, HMENU popup) {
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {  // every item names a placeholder before its tab
        wchar_t text[128] = {};
        if (GetMenuItemID(popup, i) != UINT(-1) && GetMenuStringW(popup, UINT(i), text, 128, MF_BYPOSITION) &&
            text[0] != L'$')
            return 0;
    }
    return g_placeholderItem;
}

TEST_F(Options, ToolPageOffersThePlaceholdersAndABrowseButton) {
    shell::SetToolPickers(&PickPlaceholder, [](HWND, std::wstring* path) {
        *path = L"C:\\Program Files\\tool.exe";
        return true;
    });
    ASSERT_TRUE(Open(OptionsPage::Tool));
    Click(IDC_TOOL_ADD);
    Type(IDC_TOOL_ARGS, L"-n ");
    SendMessageW(Item(IDC_TOOL_ARGS), EM_SETSEL, 3, 3);
    for (UINT item : {5u /* $(CurLine) */, 0u /* dismissed */}) {
        g_placeholderItem = item;
        Click(IDC_TOOL_ARGS_MENU);
        EXPECT_EQ(Text(IDC_TOOL_ARGS), L"-n $(CurLine)");
    }
    Click(IDC_TOOL_BROWSE);
    EXPECT_EQ(Text(IDC_TOOL_EXE), L"C:\\Program Files\\tool.exe");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Values(File::Tools, L"Tool0", {L"Args", L"ExePath"}),
              L"#-n $(CurLine)|C:\\Program Files\\tool.exe");
    shell::SetToolPickers(nullptr, nullptr);
}

// A copy of en.dll whose version resource names another language.
bool CopyWithLanguage(const std::wstring& from, const std::wstring& to, WORD language) {
    std::string bytes = testing_support::ReadFileText(from);
    const std::u16string name = u"Translation";
    const size_t at = bytes.find(std::string(reinterpret_cast<const char*>(name.data()), name.size() * 2));
    const size_t value = at == std::string::npos ? at : bytes.find(std::string("\x09\x04\xB0\x04", 4), at);
    if (value == std::string::npos) return false;
    bytes[value] = char(language & 0xFF);
    bytes[value + 1] = char(language >> 8);
    return testing_support::WriteFileText(to, bytes);
}

TEST_F(Options, LanguagePageWritesTheChosenLibrary) {
    ASSERT_TRUE(testing_support::CopyFromTests(folder_, L"mui\\en.dll"));
    ASSERT_TRUE(CopyWithLanguage(folder_ + L"mui\\en.dll", folder_ + L"mui\\de.dll", 0x0407));
    const std::wstring german = shell::LibraryLanguageName(folder_ + L"mui\\de.dll");
    const std::wstring english = shell::LibraryLanguageName(folder_ + L"mui\\en.dll");
    ASSERT_FALSE(german.empty());
    ASSERT_NE(german, english);
    ASSERT_TRUE(Open(OptionsPage::Language));
    EXPECT_EQ(Count(IDC_LAN_LIST, CB_GETCOUNT), 2);
    EXPECT_EQ(Text(IDC_LAN_LIST), english);  // the default, mui\en.dll
    const LRESULT at = SendMessageW(Item(IDC_LAN_LIST), CB_FINDSTRINGEXACT, WPARAM(-1),
                                    reinterpret_cast<LPARAM>(german.c_str()));
    ASSERT_GE(at, 0);
    ChooseCombo(IDC_LAN_LIST, int(at));
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Setting", L"Language"), L"mui\\de.dll");
}

// The modal dialog, closed from a timer of this thread as a user would close it.
int g_button = PSBTN_OK;
bool CloseOptions() {
    HWND sheet = FindWindowW(L"#32770", L"Options");
    if (!sheet) return false;
    SendMessageW(GetDlgItem(PropSheet_GetCurrentPageHwnd(sheet), IDC_TAB_BOTTOM), BM_CLICK, 0, 0);
    PropSheet_PressButton(sheet, g_button);
    return true;
}

TEST_F(Options, ModalDialogAppliesOnOkAndNotOnCancel) {
    for (const auto& [button, result, stored] :
         {std::tuple{PSBTN_CANCEL, IDCANCEL, L"<missing>"}, {PSBTN_OK, IDOK, L"N"}}) {
        g_button = button;
        testing_support::Until<&CloseOptions>(50);
        EXPECT_EQ(shell::RunOptionsDialog(Owner(), OptionsPage::Tab, tables_), result);
        EXPECT_EQ(Value(File::Setting, L"Tab", L"Bottom"), stored);
    }
}

// The entry is the user's, where the installer writes it (no elevation):
// text, icon and command; the machine-wide key is never touched.
TEST(ShellMenu, RegistersThePerUserEntryAsTheInstallerDoesAndUnregisters) {
    constexpr wchar_t kUser[] = L"Software\\Classes\\*\\shell\\Morrowpad";
    const std::wstring exe = L"C:\\Program Files\\Morrow pad\\Morrowpad.exe";
    ASSERT_TRUE(shell::RegisterShellMenu(exe));
    EXPECT_TRUE(shell::IsShellMenuRegistered());
    auto text = [](HKEY root, const std::wstring& key, const wchar_t* name) {
        wchar_t value[512] = {};
        DWORD size = sizeof value;
        return RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS
                   ? std::wstring(value)
                   : L"<missing>";
    };
    EXPECT_EQ(text(HKEY_CURRENT_USER, std::wstring(kUser) + L"\\command", nullptr),
              L"\"C:\\Program Files\\Morrow pad\\Morrowpad.exe\" \"%1\"");
    EXPECT_EQ(text(HKEY_CURRENT_USER, kUser, nullptr), L"Open with Morrowpad");
    EXPECT_EQ(text(HKEY_CURRENT_USER, kUser, L"Icon"), exe + L",0");
    EXPECT_EQ(text(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\*\\Shell\\Morrowpad", nullptr), L"<missing>");
    EXPECT_TRUE(shell::UnregisterShellMenu());
    EXPECT_FALSE(shell::IsShellMenuRegistered());
    EXPECT_EQ(text(HKEY_CURRENT_USER, kUser, nullptr), L"<missing>");
    EXPECT_FALSE(shell::UnregisterShellMenu());
}

// The box is ticked when the entry is there (the installer's too), and
// applying a change registers or removes it.
TEST_F(Options, GeneralPageRegistersTheShellMenuWhenTicked) {
    shell::UnregisterShellMenu();
    ASSERT_TRUE(Open(OptionsPage::General));
    EXPECT_FALSE(Checked(IDC_GEN_SHELL_MENU));
    Close();
    HKEY installed = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\*\\shell\\Morrowpad\\command", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &installed, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(installed);
    ASSERT_TRUE(Open(OptionsPage::General));
    EXPECT_TRUE(Checked(IDC_GEN_SHELL_MENU));
    for (bool registered : {false, true}) {
        Click(IDC_GEN_SHELL_MENU);
        ASSERT_TRUE(Apply());
        EXPECT_EQ(shell::IsShellMenuRegistered(), registered);
    }
    shell::UnregisterShellMenu();
}

}  // namespace
