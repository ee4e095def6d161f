// The options dialog driven as a user drives it: each page's controls set
// by messages, Apply pressed, and the settings files read back.
// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>

#include <fstream>
#include <memory>

#include "CommandIds.h"
#include "DialogIds.h"
#include "KeyField.h"
#include "OptionsDialog.h"
#include "OptionsPages.h"
#include "Program.h"
#include "ProgramIds.h"
#include "Settings.h"
#include "ShellRegistration.h"
#include "TestSupport.h"

using settings::File;
using shell::OptionsPage;

namespace {

// The frame's side: every private message it receives, in order.
std::vector<std::pair<UINT, WPARAM>>& FrameMessages() {
    static std::vector<std::pair<UINT, WPARAM>> messages;
    return messages;
}

LRESULT CALLBACK RecordingFrame(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= WM_USER && msg < 0x8000) FrameMessages().push_back({msg, wp});
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND CreateRecordingFrame() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &RecordingFrame;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OptionsTestFrame";
    RegisterClassW(&wc);
    return CreateWindowExW(0, L"OptionsTestFrame", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Held modifiers as the keyboard state reports them, released at the end.
class HeldKeys {
   public:
    explicit HeldKeys(std::initializer_list<int> keys) {
        GetKeyboardState(saved_);
        BYTE state[256];
        memcpy(state, saved_, sizeof state);
        for (int k : keys) state[k] = 0x80;
        SetKeyboardState(state);
    }
    ~HeldKeys() {
        BYTE state[256] = {};
        SetKeyboardState(state);
    }

   private:
    BYTE saved_[256];
};

class Options : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        static HMODULE language = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        ASSERT_NE(language, nullptr);
        shell::SetResourceModule(language);
    }
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-options-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        frame_ = CreateRecordingFrame();
        ASSERT_NE(frame_, nullptr);
        FrameMessages().clear();
    }
    void TearDown() override {
        Close();
        DestroyWindow(frame_);
        settings::SetProgramFolder(L"");
    }

    void Open(OptionsPage page) {
        dialog_ = std::make_unique<shell::COptionsDlg>(frame_, keys_);
        sheet_ = dialog_->CreateModeless(page);
        ASSERT_NE(sheet_, nullptr);
        Pump();
        page_ = PropSheet_GetCurrentPageHwnd(sheet_);
        ASSERT_NE(page_, nullptr);
    }
    void Close() {
        if (sheet_) DestroyWindow(sheet_);
        sheet_ = nullptr;
        dialog_.reset();
    }
    // The sheet's Apply; true when every page applied.
    bool Apply() {
        const bool ok = SendMessageW(sheet_, PSM_APPLY, 0, 0) != 0;
        Pump();
        return ok;
    }

    HWND Item(int id) const { return GetDlgItem(page_, id); }
    void Type(int id, const wchar_t* text) {
        SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    void Click(int id) {
        SendMessageW(Item(id), BM_CLICK, 0, 0);
        Pump();
    }
    // Chooses list item `index` of a combo box, as a click in its list does.
    void ChooseCombo(int id, int index) {
        SendMessageW(Item(id), CB_SETCURSEL, WPARAM(index), 0);
        SendMessageW(page_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
    }
    void ChooseComboData(int id, LPARAM data) {
        const LRESULT n = SendMessageW(Item(id), CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i)
            if (SendMessageW(Item(id), CB_GETITEMDATA, WPARAM(i), 0) == data) return ChooseCombo(id, int(i));
        ADD_FAILURE() << "no item with data " << data;
    }
    void ChooseList(int id, int index) {
        SendMessageW(Item(id), LB_SETCURSEL, WPARAM(index), 0);
        SendMessageW(page_, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
    }
    std::wstring Text(int id) {
        wchar_t text[512] = {};
        GetWindowTextW(Item(id), text, 512);
        return text;
    }
    // Presses a key in a key field with `held` modifiers down.
    void PressKey(int id, int vk, std::initializer_list<int> held) {
        HeldKeys keys(held);
        SetFocus(Item(id));
        SendMessageW(Item(id), WM_KEYDOWN, WPARAM(vk), 1);
        SendMessageW(Item(id), WM_CHAR, WPARAM(vk), 1);  // ignored by the field
        SendMessageW(Item(id), WM_KEYUP, WPARAM(vk), 1);
    }
    // Selects the tree item whose text is `label` (searched depth first).
    bool SelectTreeItem(int id, const std::wstring& label) {
        HWND tree = Item(id);
        return SelectIn(tree, TreeView_GetRoot(tree), label);
    }
    static bool SelectIn(HWND tree, HTREEITEM item, const std::wstring& label) {
        for (; item; item = TreeView_GetNextSibling(tree, item)) {
            wchar_t text[256] = {};
            TVITEMW data = {};
            data.mask = TVIF_TEXT;
            data.hItem = item;
            data.pszText = text;
            data.cchTextMax = 256;
            TreeView_GetItem(tree, &data);
            if (label == text) return TreeView_SelectItem(tree, item) != FALSE;
            if (SelectIn(tree, TreeView_GetChild(tree, item), label)) return true;
        }
        return false;
    }

    static std::wstring Value(File f, const wchar_t* section, const wchar_t* key) {
        std::wstring value;
        settings::ReadString(f, section, key, value, L"<missing>");
        return value;
    }
    bool Exists(File f) const {
        return GetFileAttributesW(settings::PathOf(f).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::wstring folder_;
    HWND frame_ = nullptr;
    keys::CKeyTables keys_;
    std::unique_ptr<shell::COptionsDlg> dialog_;
    HWND sheet_ = nullptr, page_ = nullptr;
};

TEST(OptionsCommands, EachCommandOpensItsPage) {
    EXPECT_EQ(shell::OptionsPageFor(1230), OptionsPage::General);
    EXPECT_EQ(shell::OptionsPageFor(1321), OptionsPage::FileType);
    EXPECT_EQ(shell::OptionsPageFor(1335), OptionsPage::Font);
    EXPECT_EQ(shell::OptionsPageFor(1336), OptionsPage::Tool);
    EXPECT_EQ(shell::OptionsPageFor(1580), OptionsPage::Macro);
    EXPECT_EQ(shell::OptionsPageFor(2002), OptionsPage::Accel);
    EXPECT_EQ(shell::OptionsPageFor(57600), OptionsPage::General);
}

TEST_F(Options, OpensAtTheRequestedPage) {
    Open(OptionsPage::Tool);
    EXPECT_EQ(PropSheet_HwndToIndex(sheet_, page_), int(OptionsPage::Tool));
    EXPECT_NE(Item(IDC_TOOL_LIST), nullptr);
}

TEST_F(Options, GeneralPageWritesNothingUntilAControlChanges) {
    Open(OptionsPage::General);
    EXPECT_EQ(Text(IDC_GEN_DETECT_BUFFER), L"4");
    EXPECT_EQ(Text(IDC_GEN_RECENT_COUNT), L"0");
    EXPECT_TRUE(Apply());
    EXPECT_FALSE(Exists(File::Setting));
    EXPECT_FALSE(Exists(File::History));
}

TEST_F(Options, GeneralPageKeepsNumbersWithinTheirRanges) {
    Open(OptionsPage::General);
    Type(IDC_GEN_DETECT_BUFFER, L"5000");
    Type(IDC_GEN_RECENT_COUNT, L"100");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Setting", L"AutoDetectBuffer"), L"4096");
    EXPECT_EQ(Value(File::History, L"RecentDoc", L"Count"), L"63");
    EXPECT_EQ(Value(File::Setting, L"Setting", L"FullScreenDialog"), L"Y");
    Type(IDC_GEN_DETECT_BUFFER, L"1");
    Type(IDC_GEN_RECENT_COUNT, L"-5");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Setting", L"AutoDetectBuffer"), L"4");
    EXPECT_EQ(Value(File::History, L"RecentDoc", L"Count"), L"0");
}

TEST_F(Options, GeneralPageRefusesAFieldWithoutANumber) {
    Open(OptionsPage::General);
    Type(IDC_GEN_DETECT_BUFFER, L"12abc");
    Type(IDC_GEN_RECENT_COUNT, L"10");
    EXPECT_FALSE(Apply());
    EXPECT_EQ(GetFocus(), Item(IDC_GEN_DETECT_BUFFER));
    EXPECT_EQ(Value(File::Setting, L"Setting", L"AutoDetectBuffer"), L"<missing>");
    EXPECT_EQ(Value(File::History, L"RecentDoc", L"Count"), L"<missing>");
    Type(IDC_GEN_DETECT_BUFFER, L"");
    EXPECT_FALSE(Apply());
    Type(IDC_GEN_DETECT_BUFFER, L" 64 ");
    EXPECT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Setting", L"AutoDetectBuffer"), L"64");
    EXPECT_EQ(Value(File::History, L"RecentDoc", L"Count"), L"10");
}

TEST_F(Options, TurningMultipleInstancesOffTakesTheInstanceMutex) {
    Open(OptionsPage::General);
    // A missing MulInst is shown ticked.
    EXPECT_EQ(IsDlgButtonChecked(page_, IDC_GEN_MULTI_INSTANCE), BST_CHECKED);
    HANDLE before = OpenMutexW(SYNCHRONIZE, FALSE, MORROWPAD_MUTEX_NAME);
    EXPECT_EQ(before, nullptr);
    if (before) CloseHandle(before);
    Click(IDC_GEN_MULTI_INSTANCE);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Setting", L"MulInst"), L"N");
    HANDLE after = OpenMutexW(SYNCHRONIZE, FALSE, MORROWPAD_MUTEX_NAME);
    EXPECT_NE(after, nullptr);
    if (after) CloseHandle(after);
}

TEST_F(Options, FilePageWritesItsFourKeys) {
    Open(OptionsPage::File);
    EXPECT_EQ(SendMessageW(Item(IDC_FILE_ENCODING), CB_GETCOUNT, 0, 0), 97);
    EXPECT_EQ(SendMessageW(Item(IDC_FILE_FORMAT), CB_GETCOUNT, 0, 0), 3);
    EXPECT_TRUE(Apply());
    EXPECT_FALSE(Exists(File::Setting));  // nothing changed

    ChooseComboData(IDC_FILE_FORMAT, 2);
    ChooseComboData(IDC_FILE_ENCODING, 65001);
    Click(IDC_FILE_EXCLUSIVE);
    Type(IDC_FILE_AUTOWRAP, L"500");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Setting", L"DefaultFileFormat"), L"2");
    EXPECT_EQ(Value(File::Setting, L"Setting", L"DefaultEncoding"), L"65001");
    EXPECT_EQ(Value(File::Setting, L"Setting", L"ExclusiveMode"), L"N");
    EXPECT_EQ(Value(File::Setting, L"Setting", L"AutoWrapMax"), L"500");
}

TEST_F(Options, FilePageShowsTheSettingsAndRefusesABadNumber) {
    settings::WriteInt(File::Setting, L"Setting", L"DefaultEncoding", 1252);
    settings::WriteInt(File::Setting, L"Setting", L"DefaultFileFormat", 3);
    Open(OptionsPage::File);
    EXPECT_EQ(SendMessageW(Item(IDC_FILE_ENCODING), CB_GETITEMDATA,
                           SendMessageW(Item(IDC_FILE_ENCODING), CB_GETCURSEL, 0, 0), 0),
              1252);
    EXPECT_EQ(Text(IDC_FILE_FORMAT), L"Mac(CR)");
    ChooseComboData(IDC_FILE_FORMAT, 1);
    Type(IDC_FILE_AUTOWRAP, L"many");
    EXPECT_FALSE(Apply());
    EXPECT_EQ(GetFocus(), Item(IDC_FILE_AUTOWRAP));
    EXPECT_EQ(Value(File::Setting, L"Setting", L"DefaultFileFormat"), L"3");
    EXPECT_EQ(Value(File::Setting, L"Setting", L"AutoWrapMax"), L"<missing>");
}

TEST_F(Options, FilePageKeepsACodePageItsListDoesNotName) {
    settings::WriteInt(File::Setting, L"Setting", L"DefaultEncoding", 1047);
    Open(OptionsPage::File);
    EXPECT_EQ(Text(IDC_FILE_ENCODING), L"Code page 1047");
    Type(IDC_FILE_AUTOWRAP, L"20");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Setting", L"DefaultEncoding"), L"1047");
}

TEST_F(Options, FileTypePageWritesTheListWithTabSizesKeptInRange) {
    settings::WriteInt(File::Syntax, L"Syntax", L"Count", 2);
    settings::WriteString(File::Syntax, L"Syntax0", L"Title", L"C++");
    settings::WriteString(File::Syntax, L"Syntax0", L"File", L"cpp.vbs");
    settings::WriteString(File::Syntax, L"Syntax0", L"Ext", L"c;cpp;h");
    settings::WriteString(File::Syntax, L"Syntax0", L"Template", L"cpp.txt");
    settings::WriteInt(File::Syntax, L"Syntax0", L"Tab", 4);
    settings::WriteString(File::Syntax, L"Syntax0", L"Names", L"Makefile;*.mk.in");
    settings::WriteString(File::Syntax, L"Syntax1", L"Title", L"Text");
    settings::WriteString(File::Syntax, L"Syntax1", L"File", L"text.vbs");
    Open(OptionsPage::FileType);
    EXPECT_FALSE(GetWindowLongW(Item(IDC_TYPE_LIST), GWL_STYLE) & LBS_SORT);  // list order is entry order
    EXPECT_EQ(SendMessageW(Item(IDC_TYPE_LIST), LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(Text(IDC_TYPE_EXT), L"c;cpp;h");
    EXPECT_EQ(Text(IDC_TYPE_NAMES), L"Makefile;*.mk.in");

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
    EXPECT_EQ(Value(File::Syntax, L"Syntax0", L"Template"), L"cpp.txt");
    EXPECT_EQ(Value(File::Syntax, L"Syntax0", L"Names"), L"Makefile;*.mk.in");  // kept as it was
    EXPECT_EQ(Value(File::Syntax, L"Syntax3", L"Names"), L"SConstruct");
    EXPECT_EQ(Value(File::Syntax, L"Syntax0", L"Tab"), L"4");
    EXPECT_EQ(Value(File::Syntax, L"Syntax1", L"Tab"), L"32");
    EXPECT_EQ(Value(File::Syntax, L"Syntax2", L"Title"), L"<missing>");
    EXPECT_EQ(Value(File::Syntax, L"Syntax3", L"Title"), L"Python");
    EXPECT_EQ(Value(File::Syntax, L"Syntax3", L"Ext"), L"py");
    EXPECT_EQ(Value(File::Syntax, L"Syntax3", L"Tab"), L"4");

    // Removing the first entry renumbers the rest; no stale section stays.
    ChooseList(IDC_TYPE_LIST, 0);
    Click(IDC_TYPE_REMOVE);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Syntax, L"Syntax", L"Count"), L"3");
    EXPECT_EQ(Value(File::Syntax, L"Syntax0", L"Title"), L"Text");
    EXPECT_EQ(Value(File::Syntax, L"Syntax2", L"Title"), L"Python");
    EXPECT_EQ(Value(File::Syntax, L"Syntax3", L"Title"), L"<missing>");
}

TEST_F(Options, FileTypePageReadsADamagedListSafely) {
    settings::WriteString(File::Syntax, L"Syntax", L"Count", L"100000");
    settings::WriteString(File::Syntax, L"Syntax0", L"Title", L"C");
    settings::WriteString(File::Syntax, L"Syntax0", L"File", L"c.vbs");
    settings::WriteString(File::Syntax, L"Syntax0", L"Tab", L"abc");
    settings::WriteString(File::Syntax, L"Syntax2", L"Title", L"Far");
    settings::WriteString(File::Syntax, L"Syntax2", L"File", L"far.vbs");
    Open(OptionsPage::FileType);
    // Positions are kept up to the last entry that holds anything.
    EXPECT_EQ(SendMessageW(Item(IDC_TYPE_LIST), LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(Text(IDC_TYPE_TAB), L"");
    Type(IDC_TYPE_EXT, L"c");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Syntax, L"Syntax", L"Count"), L"3");
    EXPECT_EQ(Value(File::Syntax, L"Syntax0", L"Tab"), L"0");
    EXPECT_EQ(Value(File::Syntax, L"Syntax2", L"Title"), L"Far");
}

TEST_F(Options, FileTypePageRefusesATabSizeWithoutANumber) {
    Open(OptionsPage::FileType);
    Click(IDC_TYPE_ADD);
    Type(IDC_TYPE_TITLE, L"Ini");
    Type(IDC_TYPE_FILE, L"ini.vbs");
    Type(IDC_TYPE_TAB, L"four");
    EXPECT_FALSE(Apply());
    EXPECT_EQ(GetFocus(), Item(IDC_TYPE_TAB));
    EXPECT_FALSE(Exists(File::Syntax));
}

TEST_F(Options, FontPageWritesOnlyEditedSlotsAndTellsTheFrame) {
    Open(OptionsPage::Font);
    EXPECT_EQ(SendMessageW(Item(IDC_FONT_SLOTS), LB_GETCOUNT, 0, 0), 13);
    ChooseList(IDC_FONT_SLOTS, 2);
    EXPECT_EQ(Text(IDC_FONT_SIZE), L"8");
    Type(IDC_FONT_SIZE, L"12");
    ChooseList(IDC_FONT_SLOTS, 12);
    EXPECT_EQ(Text(IDC_FONT_FACE), L"Tahoma");
    Click(IDC_FONT_BOLD);
    ChooseComboData(IDC_FONT_QUALITY, 5);
    ASSERT_TRUE(Apply());

    EXPECT_EQ(Value(File::Setting, L"Fonts", L"Font2"), L"Courier New,12,0,0,0");
    EXPECT_EQ(Value(File::Setting, L"Fonts", L"Font12"), L"Tahoma,8,1,0,5");
    EXPECT_EQ(Value(File::Setting, L"Fonts", L"Font0"), L"<missing>");
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {MPF_FONT_CHANGED, 1432}, {MPF_FONT_CHANGED, 1442}, {MPF_REBUILD_FONT_MENU, 0}};
    EXPECT_EQ(FrameMessages(), expected);

    FrameMessages().clear();
    ASSERT_TRUE(Apply());  // nothing edited since
    EXPECT_TRUE(FrameMessages().empty());
}

TEST_F(Options, FontPageTakesAFaceTypedIntoItsField) {
    Open(OptionsPage::Font);
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
    Open(OptionsPage::Tab);
    EXPECT_EQ(IsDlgButtonChecked(page_, IDC_TAB_BOTTOM), BST_CHECKED);
    Click(IDC_TAB_BOTTOM);
    ChooseComboData(IDC_TAB_STYLE, 2);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Tab", L"Bottom"), L"N");
    EXPECT_EQ(Value(File::Setting, L"Tab", L"ShowIcon"), L"Y");
    EXPECT_EQ(Value(File::Setting, L"Tab", L"ShowMark"), L"Y");
    EXPECT_EQ(Value(File::Setting, L"Tab", L"FixedWidth"), L"Y");
    EXPECT_EQ(Value(File::Setting, L"Tab", L"Style"), L"2");
}

TEST_F(Options, AccelPageAssignsRefusesATakenKeyAndRemoves) {
    const uint16_t ctrlO = keys::kCtrl | 'O', ctrlN = keys::kCtrl | 'N';
    keys_.commands.push_back((uint32_t(ID_FILE_OPEN) << 16) | ctrlO);
    Open(OptionsPage::Accel);
    ASSERT_TRUE(SelectTreeItem(IDC_ACCEL_TREE, L"New"));
    EXPECT_EQ(SendMessageW(Item(IDC_ACCEL_KEYS), LB_GETCOUNT, 0, 0), 0);

    PressKey(IDC_ACCEL_KEY, 'N', {VK_CONTROL});
    EXPECT_EQ(Text(IDC_ACCEL_KEY), L"Ctrl+N");
    Click(IDC_ACCEL_ASSIGN);
    ASSERT_EQ(keys_.commands.size(), 2u);
    EXPECT_EQ(keys_.commands[1], (uint32_t(ID_FILE_NEW) << 16) | ctrlN);
    EXPECT_TRUE(keys_.commandsModified);
    EXPECT_EQ(Text(IDC_ACCEL_KEY), L"");
    ASSERT_EQ(SendMessageW(Item(IDC_ACCEL_KEYS), LB_GETCOUNT, 0, 0), 1);
    wchar_t shown[64] = {};
    SendMessageW(Item(IDC_ACCEL_KEYS), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(shown));
    EXPECT_STREQ(shown, L"Ctrl+N");

    PressKey(IDC_ACCEL_KEY, 'O', {VK_CONTROL});
    Click(IDC_ACCEL_ASSIGN);
    EXPECT_EQ(keys_.commands.size(), 2u);
    EXPECT_NE(Text(IDC_ACCEL_STATUS).find(L"Open"), std::wstring::npos) << Text(IDC_ACCEL_STATUS);

    ASSERT_TRUE(Apply());
    EXPECT_FALSE(keys_.commandsModified);
    EXPECT_EQ(Value(File::Key, L"Global", L"Command0"), std::to_wstring((ID_FILE_OPEN << 16) | ctrlO));
    EXPECT_EQ(Value(File::Key, L"Global", L"Command1"), std::to_wstring((ID_FILE_NEW << 16) | ctrlN));

    ChooseList(IDC_ACCEL_KEYS, 0);
    Click(IDC_ACCEL_REMOVE);
    EXPECT_EQ(keys_.commands.size(), 1u);
    EXPECT_EQ(SendMessageW(Item(IDC_ACCEL_KEYS), LB_GETCOUNT, 0, 0), 0);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Key, L"Global", L"Command1"), L"<missing>");
}

TEST_F(Options, CancelGivesBackTheKeyTablesAsTheyWereAtTheLastApply) {
    keys_.commands.push_back((uint32_t(ID_FILE_OPEN) << 16) | keys::kCtrl | 'O');
    CreateDirectoryW((folder_ + L"macro").c_str(), nullptr);
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"macro\\first.mac", "x = 1\r\n"));
    Open(OptionsPage::Accel);
    ASSERT_TRUE(SelectTreeItem(IDC_ACCEL_TREE, L"Save"));
    PressKey(IDC_ACCEL_KEY, 'S', {VK_CONTROL});
    Click(IDC_ACCEL_ASSIGN);
    ASSERT_TRUE(Apply());
    const std::vector<uint32_t> applied = keys_.commands;
    ASSERT_EQ(applied.size(), 2u);

    PressKey(IDC_ACCEL_KEY, 'W', {VK_CONTROL});
    Click(IDC_ACCEL_ASSIGN);
    PropSheet_SetCurSel(sheet_, nullptr, int(OptionsPage::Macro));
    page_ = PropSheet_GetCurrentPageHwnd(sheet_);
    ASSERT_TRUE(SelectTreeItem(IDC_MACRO_TREE, L"first"));
    PressKey(IDC_MACRO_KEY, 'M', {VK_CONTROL});
    Click(IDC_MACRO_ASSIGN);
    ASSERT_EQ(keys_.macros.size(), 1u);
    ASSERT_EQ(keys_.commands.size(), 3u);

    PropSheet_PressButton(sheet_, PSBTN_CANCEL);
    Pump();
    EXPECT_EQ(keys_.commands, applied);
    EXPECT_FALSE(keys_.commandsModified);
    EXPECT_TRUE(keys_.macros.empty());
    EXPECT_FALSE(keys_.macrosModified);
}

// Keys pressed in the key field go through the sheet's dialog handling as
// in the program's loop: Enter and Esc become keys, not OK and Cancel, and
// Alt+A does not press Assign.
TEST_F(Options, KeyFieldKeepsTheKeysTheDialogWouldTake) {
    Open(OptionsPage::Accel);
    ASSERT_TRUE(SelectTreeItem(IDC_ACCEL_TREE, L"Save"));
    HWND field = Item(IDC_ACCEL_KEY);
    auto press = [&](UINT down, int vk, std::initializer_list<int> held) {
        HeldKeys keys(held);
        SetFocus(field);
        PostMessageW(field, down, WPARAM(vk), 1);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (PropSheet_IsDialogMessage(sheet_, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    };
    press(WM_KEYDOWN, VK_RETURN, {});
    ASSERT_NE(PropSheet_GetCurrentPageHwnd(sheet_), nullptr);
    EXPECT_EQ(Text(IDC_ACCEL_KEY), L"Enter");
    press(WM_KEYDOWN, VK_ESCAPE, {});
    ASSERT_NE(PropSheet_GetCurrentPageHwnd(sheet_), nullptr);
    EXPECT_EQ(Text(IDC_ACCEL_KEY), L"Esc");
    press(WM_SYSKEYDOWN, 'A', {VK_MENU});
    EXPECT_EQ(Text(IDC_ACCEL_KEY), L"Alt+A");
    EXPECT_TRUE(keys_.commands.empty());
}

TEST_F(Options, EveryPageOpensOverDamagedSettings) {
    settings::WriteString(File::Setting, L"Setting", L"AutoDetectBuffer", L"lots");
    settings::WriteString(File::Setting, L"Setting", L"DefaultEncoding", L"-7");
    settings::WriteString(File::Setting, L"Setting", L"DefaultFileFormat", L"9");
    settings::WriteString(File::Setting, L"Setting", L"Language", L"..\\..\\nowhere.dll");
    settings::WriteString(File::Setting, L"Fonts", L"Font0", L"Courier New,,,");
    settings::WriteString(File::Setting, L"Tab", L"Style", L"77");
    settings::WriteString(File::History, L"RecentDoc", L"Count", L"99999999999");
    settings::WriteString(File::Tools, L"Tool0", L"Flag", L"junk");
    settings::WriteString(File::Syntax, L"Syntax", L"Count", L"-4");
    Open(OptionsPage::General);
    EXPECT_EQ(Text(IDC_GEN_DETECT_BUFFER), L"4");
    EXPECT_EQ(Text(IDC_GEN_RECENT_COUNT), L"0");
    for (int i = 0; i < 9; ++i) {
        PropSheet_SetCurSel(sheet_, nullptr, i);
        Pump();
        ASSERT_NE(PropSheet_GetCurrentPageHwnd(sheet_), nullptr) << i;
    }
    PropSheet_SetCurSel(sheet_, nullptr, int(OptionsPage::File));
    page_ = PropSheet_GetCurrentPageHwnd(sheet_);
    EXPECT_EQ(Text(IDC_FILE_FORMAT), L"PC(CR+LF)");
    EXPECT_EQ(Text(IDC_FILE_ENCODING), L"Default (ANSI)");
    PropSheet_SetCurSel(sheet_, nullptr, int(OptionsPage::Font));
    page_ = PropSheet_GetCurrentPageHwnd(sheet_);
    EXPECT_EQ(Text(IDC_FONT_FACE), L"Courier New");
    PropSheet_SetCurSel(sheet_, nullptr, int(OptionsPage::Tool));
    page_ = PropSheet_GetCurrentPageHwnd(sheet_);
    EXPECT_EQ(IsDlgButtonChecked(page_, IDC_TOOL_CAPTURE), BST_UNCHECKED);
    EXPECT_TRUE(Apply());
    // Nothing was changed: nothing was written over the damaged values.
    EXPECT_EQ(Value(File::Setting, L"Setting", L"AutoDetectBuffer"), L"lots");
    EXPECT_EQ(Value(File::Setting, L"Fonts", L"Font0"), L"Courier New,,,");
    EXPECT_EQ(Value(File::Syntax, L"Syntax", L"Count"), L"-4");
    EXPECT_EQ(Value(File::Tools, L"Tool0", L"Flag"), L"junk");
}

TEST_F(Options, AccelPageListsTheEditCommandsToo) {
    Open(OptionsPage::Accel);
    ChooseComboData(IDC_ACCEL_GROUP, IDM_EDIT_COMMANDS);
    ASSERT_TRUE(SelectTreeItem(IDC_ACCEL_TREE, L"Duplicate Line"));
    PressKey(IDC_ACCEL_KEY, 'D', {VK_CONTROL, VK_SHIFT});
    Click(IDC_ACCEL_ASSIGN);
    ASSERT_EQ(keys_.commands.size(), 1u);
    EXPECT_EQ(keys_.commands[0], (54u << 16) | keys::kCtrl | keys::kShift | 'D');
}

TEST_F(Options, MacroPageBindsAndRemovesAKey) {
    CreateDirectoryW((folder_ + L"macro").c_str(), nullptr);
    CreateDirectoryW((folder_ + L"macro\\sub").c_str(), nullptr);
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"macro\\first.mac", "x = 1\r\n"));
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"macro\\sub\\second.MAC", "x = 2\r\n"));
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"macro\\notes.txt", "not a macro"));
    Open(OptionsPage::Macro);
    EXPECT_EQ(TreeView_GetCount(Item(IDC_MACRO_TREE)), 3u);  // first, sub, second
    EXPECT_FALSE(SelectTreeItem(IDC_MACRO_TREE, L"notes"));
    ASSERT_TRUE(SelectTreeItem(IDC_MACRO_TREE, L"second"));

    PressKey(IDC_MACRO_KEY, 'M', {VK_CONTROL, VK_SHIFT});
    Click(IDC_MACRO_ASSIGN);
    const std::wstring second = folder_ + L"macro\\sub\\second.MAC";
    const uint16_t key = keys::kCtrl | keys::kShift | 'M';
    ASSERT_EQ(keys_.macros.size(), 1u);
    EXPECT_EQ(keys_.macros[0].key, key);
    EXPECT_EQ(keys_.macros[0].path, second);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Key, L"Macro", L"Command0"), std::to_wstring(key) + L"," + second);

    // The same key for another file is refused.
    ASSERT_TRUE(SelectTreeItem(IDC_MACRO_TREE, L"first"));
    PressKey(IDC_MACRO_KEY, 'M', {VK_CONTROL, VK_SHIFT});
    Click(IDC_MACRO_ASSIGN);
    EXPECT_EQ(keys_.macros.size(), 1u);
    EXPECT_NE(Text(IDC_MACRO_STATUS).find(L"second.MAC"), std::wstring::npos);

    ASSERT_TRUE(SelectTreeItem(IDC_MACRO_TREE, L"second"));
    EXPECT_EQ(Text(IDC_MACRO_KEY), L"Ctrl+Shift+M");
    Click(IDC_MACRO_REMOVE);
    EXPECT_TRUE(keys_.macros.empty());
    EXPECT_EQ(Text(IDC_MACRO_KEY), L"");
    EXPECT_EQ(Text(IDC_MACRO_STATUS), L"The key binding was removed.");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Key, L"Macro", L"Command0"), L"<missing>");
}

TEST_F(Options, ToolPageRewritesTheToolsFile) {
    settings::WriteString(File::Tools, L"Tool0", L"Title", L"Old");
    settings::WriteString(File::Tools, L"Tool0", L"ExePath", L"old.exe");
    settings::WriteString(File::Tools, L"Tool0", L"Args", L"\"# $(File) \"");
    settings::WriteInt(File::Tools, L"Tool0", L"Flag", 2);
    settings::WriteString(File::Tools, L"Stray", L"Key", L"gone after the rewrite");
    Open(OptionsPage::Tool);
    EXPECT_FALSE(GetWindowLongW(Item(IDC_TOOL_LIST), GWL_STYLE) & LBS_SORT);  // list order is tool order
    EXPECT_EQ(SendMessageW(Item(IDC_TOOL_LIST), LB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(Text(IDC_TOOL_ARGS), L" $(File) ");
    EXPECT_EQ(IsDlgButtonChecked(page_, IDC_TOOL_ASK), BST_CHECKED);

    Click(IDC_TOOL_ADD);
    Type(IDC_TOOL_TITLE, L"Grep");
    Type(IDC_TOOL_EXE, L"grep.exe");
    Type(IDC_TOOL_ARGS, L"-n $(CurWord)");
    Type(IDC_TOOL_DIR, L"$(FileDir)");
    Click(IDC_TOOL_CAPTURE);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Tools, L"Tool0", L"Title"), L"Old");
    EXPECT_EQ(Value(File::Tools, L"Tool0", L"Args"), L"# $(File) ");
    EXPECT_EQ(Value(File::Tools, L"Tool0", L"Flag"), L"2");
    EXPECT_EQ(Value(File::Tools, L"Tool1", L"Title"), L"Grep");
    EXPECT_EQ(Value(File::Tools, L"Tool1", L"ExePath"), L"grep.exe");
    EXPECT_EQ(Value(File::Tools, L"Tool1", L"Args"), L"#-n $(CurWord)");
    EXPECT_EQ(Value(File::Tools, L"Tool1", L"InitDir"), L"#$(FileDir)");
    EXPECT_EQ(Value(File::Tools, L"Tool1", L"Flag"), L"1");
    EXPECT_EQ(Value(File::Tools, L"Stray", L"Key"), L"<missing>");

    ChooseList(IDC_TOOL_LIST, 1);
    Click(IDC_TOOL_UP);
    ChooseList(IDC_TOOL_LIST, 1);
    Click(IDC_TOOL_REMOVE);
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Tools, L"Tool0", L"Title"), L"Grep");
    EXPECT_EQ(Value(File::Tools, L"Tool1", L"Title"), L"<missing>");
}

// The placeholders are listed beside the arguments (the chosen one goes in
// at the caret), and the program is chosen with a file dialog.
UINT g_placeholderItem = 0;
UINT PickPlaceholder(HWND, HMENU popup) {
    // Every item names a placeholder before its tab.
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        wchar_t text[128] = {};
        if (GetMenuItemID(popup, i) == UINT(-1) || !GetMenuStringW(popup, UINT(i), text, 128, MF_BYPOSITION))
            continue;
        if (text[0] != L'$') return 0;
    }
    return g_placeholderItem;
}
bool PickProgram(HWND, std::wstring* path) {
    *path = L"C:\\Program Files\\tool.exe";
    return true;
}

TEST_F(Options, ToolPageOffersThePlaceholdersAndABrowseButton) {
    shell::SetToolPickers(&PickPlaceholder, &PickProgram);
    Open(OptionsPage::Tool);
    Click(IDC_TOOL_ADD);
    Type(IDC_TOOL_ARGS, L"-n ");
    SendMessageW(Item(IDC_TOOL_ARGS), EM_SETSEL, 3, 3);
    g_placeholderItem = 5;  // $(CurLine)
    Click(IDC_TOOL_ARGS_MENU);
    EXPECT_EQ(Text(IDC_TOOL_ARGS), L"-n $(CurLine)");
    g_placeholderItem = 0;  // dismissed
    Click(IDC_TOOL_ARGS_MENU);
    EXPECT_EQ(Text(IDC_TOOL_ARGS), L"-n $(CurLine)");
    Click(IDC_TOOL_BROWSE);
    EXPECT_EQ(Text(IDC_TOOL_EXE), L"C:\\Program Files\\tool.exe");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Tools, L"Tool0", L"Args"), L"#-n $(CurLine)");
    EXPECT_EQ(Value(File::Tools, L"Tool0", L"ExePath"), L"C:\\Program Files\\tool.exe");
    shell::SetToolPickers(nullptr, nullptr);
}

// A copy of en.dll whose version resource names another language.
bool CopyWithLanguage(const std::wstring& from, const std::wstring& to, WORD language) {
    std::string bytes = testing_support::ReadFileText(from);
    const std::u16string name = u"Translation";
    const std::string marker(reinterpret_cast<const char*>(name.data()), name.size() * 2);
    const size_t at = bytes.find(marker);
    if (at == std::string::npos) return false;
    const std::string english("\x09\x04\xB0\x04", 4);
    const size_t value = bytes.find(english, at);
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
    Open(OptionsPage::Language);
    EXPECT_EQ(SendMessageW(Item(IDC_LAN_LIST), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(Text(IDC_LAN_LIST), english);  // the default, mui\en.dll
    const LRESULT at = SendMessageW(Item(IDC_LAN_LIST), CB_FINDSTRINGEXACT, WPARAM(-1),
                                    reinterpret_cast<LPARAM>(german.c_str()));
    ASSERT_GE(at, 0);
    ChooseCombo(IDC_LAN_LIST, int(at));
    ASSERT_TRUE(Apply());
    EXPECT_EQ(Value(File::Setting, L"Setting", L"Language"), L"mui\\de.dll");
}

// The modal dialog, closed by a timer of this thread as a user would close it.
int g_button = PSBTN_OK;
void CALLBACK CloseOptions(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND sheet = FindWindowW(L"#32770", L"Options");
    if (!sheet) return;
    KillTimer(nullptr, timer);
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    SendMessageW(GetDlgItem(page, IDC_TAB_BOTTOM), BM_CLICK, 0, 0);
    PropSheet_PressButton(sheet, g_button);
}

TEST_F(Options, ModalDialogAppliesOnOkAndNotOnCancel) {
    g_button = PSBTN_CANCEL;
    SetTimer(nullptr, 0, 50, &CloseOptions);
    EXPECT_EQ(shell::RunOptionsDialog(frame_, OptionsPage::Tab, keys_), IDCANCEL);
    EXPECT_EQ(Value(File::Setting, L"Tab", L"Bottom"), L"<missing>");
    g_button = PSBTN_OK;
    SetTimer(nullptr, 0, 50, &CloseOptions);
    EXPECT_EQ(shell::RunOptionsDialog(frame_, OptionsPage::Tab, keys_), IDOK);
    EXPECT_EQ(Value(File::Setting, L"Tab", L"Bottom"), L"N");
}

// The entry is the user's, where the installer writes it (no elevation):
// text, icon and command; the machine-wide key is never touched.
TEST(ShellMenu, RegistersThePerUserEntryAsTheInstallerDoesAndUnregisters) {
    constexpr wchar_t kUser[] = L"Software\\Classes\\*\\shell\\Morrowpad";
    const std::wstring exe = L"C:\\Program Files\\Morrow pad\\Morrowpad.exe";
    ASSERT_TRUE(shell::RegisterShellMenu(exe));
    EXPECT_TRUE(shell::IsShellMenuRegistered());
    auto text = [](HKEY root, const wchar_t* key, const wchar_t* name) {
        wchar_t value[512] = {};
        DWORD size = sizeof value;
        if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
            return std::wstring(L"<missing>");
        return std::wstring(value);
    };
    EXPECT_EQ(text(HKEY_CURRENT_USER, (std::wstring(kUser) + L"\\command").c_str(), nullptr),
              L"\"C:\\Program Files\\Morrow pad\\Morrowpad.exe\" \"%1\"");
    EXPECT_EQ(text(HKEY_CURRENT_USER, kUser, nullptr), L"Open with Morrowpad");
    EXPECT_EQ(text(HKEY_CURRENT_USER, kUser, L"Icon"), exe + L",0");
    HKEY machine = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\*\\Shell\\Morrowpad", 0, KEY_QUERY_VALUE,
                            &machine),
              ERROR_SUCCESS);
    if (machine) RegCloseKey(machine);
    EXPECT_TRUE(shell::UnregisterShellMenu());
    EXPECT_FALSE(shell::IsShellMenuRegistered());
    EXPECT_EQ(text(HKEY_CURRENT_USER, kUser, nullptr), L"<missing>");
    EXPECT_FALSE(shell::UnregisterShellMenu());

    // What the installer wrote shows as registered, and unticking removes it.
    HKEY installed = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kUser) + L"\\command").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &installed, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(installed);
    EXPECT_TRUE(shell::IsShellMenuRegistered());
    EXPECT_TRUE(shell::UnregisterShellMenu());
    EXPECT_FALSE(shell::IsShellMenuRegistered());
}

TEST_F(Options, GeneralPageRegistersTheShellMenuWhenTicked) {
    shell::UnregisterShellMenu();
    Open(OptionsPage::General);
    EXPECT_EQ(IsDlgButtonChecked(page_, IDC_GEN_SHELL_MENU), BST_UNCHECKED);
    Click(IDC_GEN_SHELL_MENU);
    ASSERT_TRUE(Apply());
    EXPECT_TRUE(shell::IsShellMenuRegistered());
    Click(IDC_GEN_SHELL_MENU);
    ASSERT_TRUE(Apply());
    EXPECT_FALSE(shell::IsShellMenuRegistered());
}

// The installer's per-user entry shows as ticked.
TEST_F(Options, GeneralPageShowsTheInstallersEntryTicked) {
    shell::UnregisterShellMenu();
    HKEY installed = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\*\\shell\\Morrowpad\\command", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &installed, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(installed);
    Open(OptionsPage::General);
    EXPECT_EQ(IsDlgButtonChecked(page_, IDC_GEN_SHELL_MENU), BST_CHECKED);
    shell::UnregisterShellMenu();
}

}  // namespace

namespace {

// Not a check: shows every page for three seconds, for a look at the layout
// (run with --gtest_also_run_disabled_tests and take screenshots).
TEST_F(Options, DISABLED_ShowEachPage) {
    keys_.commands.push_back((uint32_t(ID_FILE_OPEN) << 16) | keys::kCtrl | 'O');
    CreateDirectoryW((folder_ + L"macro").c_str(), nullptr);
    testing_support::WriteFileText(folder_ + L"macro\\first.mac", "x = 1\r\n");
    settings::WriteString(File::Tools, L"Tool0", L"Title", L"Old");
    testing_support::CopyFromTests(folder_, L"mui\\en.dll");
    Open(OptionsPage::General);
    SetWindowPos(sheet_, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    for (int i = 0; i < 9; ++i) {
        PropSheet_SetCurSel(sheet_, nullptr, i);
        page_ = PropSheet_GetCurrentPageHwnd(sheet_);
        if (i == int(OptionsPage::Accel)) {  // a key shown and a refused one
            SelectTreeItem(IDC_ACCEL_TREE, L"Open");
            PressKey(IDC_ACCEL_KEY, 'N', {VK_CONTROL});
            Click(IDC_ACCEL_ASSIGN);
            PressKey(IDC_ACCEL_KEY, 'O', {VK_CONTROL});
            Click(IDC_ACCEL_ASSIGN);
        }
        const DWORD end = GetTickCount() + 3000;
        while (GetTickCount() < end) {
            Pump();
            Sleep(20);
        }
    }
}
}  // namespace
