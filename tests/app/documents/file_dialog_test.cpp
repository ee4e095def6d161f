// The file dialogs and the code-page dialog, shown for real and closed by a
// posted command from the shown hook (no test waits on them), and the
// answering hooks that the other tests use instead.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include <commdlg.h>
#include <dlgs.h>

#include <string>
#include <vector>

#include "DialogIds.h"
#include "FileDialogEx.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "TestSupport.h"

using documents::FileChoice;
using Paths = std::vector<std::wstring>;
using Ints = std::vector<int>;

namespace {

// What the file dialog's panel showed, and what the code-page dialog listed.
struct PanelState {
    bool seen = false;
    Ints codePages, lineEnds;  // item data, in order
    int selectedCodePage = -2, selectedLineEnd = -2;
    std::wstring shown;  // "L" line ends, "B" the mark box, "T" its label, of those visible
    UINT bomChecked = 99;
    bool bomEnabled = false;
    std::vector<std::pair<int, UINT>>
        bomAfterChange;  // code page chosen -> box state (checked, or 2 when disabled)
    std::vector<std::wstring> listTexts;
    Ints listData;
    int listSelection = -2;
};
PanelState g_state;
std::wstring g_name;       // typed into the name box before OK; empty cancels
int g_chooseCodePage = 0;  // a code page to choose in the panel before OK (0: leave it)
int g_listPick = -1;       // code-page dialog: item to select before OK, -1 cancels
bool g_waitForListing = false;

Ints ComboData(HWND combo) {
    Ints out;
    for (LRESULT i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i)
        out.push_back(int(SendMessageW(combo, CB_GETITEMDATA, WPARAM(i), 0)));
    return out;
}
int SelectedData(HWND combo) {
    const LRESULT at = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return at < 0 ? -1 : int(SendMessageW(combo, CB_GETITEMDATA, WPARAM(at), 0));
}
void Choose(HWND panel, int codePage) {
    HWND combo = GetDlgItem(panel, IDC_FILE_CODEPAGE);
    const Ints data = ComboData(combo);
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] != codePage) continue;
        SendMessageW(combo, CB_SETCURSEL, i, 0);
        SendMessageW(panel, WM_COMMAND, MAKEWPARAM(IDC_FILE_CODEPAGE, CBN_SELCHANGE), LPARAM(combo));
    }
}

void OnFileDialog(HWND panel) {
    g_state.seen = true;
    const HWND codePages = GetDlgItem(panel, IDC_FILE_CODEPAGE),
               lineEnds = GetDlgItem(panel, IDC_FILE_LINEEND);
    const HWND box = GetDlgItem(panel, IDC_FILE_BOM);
    g_state.codePages = ComboData(codePages);
    g_state.selectedCodePage = SelectedData(codePages);
    g_state.lineEnds = ComboData(lineEnds);
    g_state.selectedLineEnd = SelectedData(lineEnds);
    // The dialog itself becomes visible only after CDN_INITDONE: the controls' own style.
    for (auto [id, letter] :
         {std::pair{IDC_FILE_LINEEND, L'L'}, {IDC_FILE_BOM, L'B'}, {IDC_FILE_LABEL, L'T'}})
        if (GetWindowLongW(GetDlgItem(panel, id), GWL_STYLE) & WS_VISIBLE) g_state.shown += letter;
    g_state.bomChecked = IsDlgButtonChecked(panel, IDC_FILE_BOM);
    g_state.bomEnabled = IsWindowEnabled(box);
    for (int cp : {1252, 1200, 437, 65001, 1201, 932, 12000, 12001, 65000, 0}) {
        Choose(panel, cp);
        g_state.bomAfterChange.push_back(
            {cp, IsWindowEnabled(box) ? IsDlgButtonChecked(panel, IDC_FILE_BOM) : 2});
    }
    if (g_chooseCodePage) Choose(panel, g_chooseCodePage);
    HWND dialog = GetParent(panel);
    if (g_name.empty()) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(g_name.c_str()));
    // Names without a folder are checked against the folder's listing,
    // which the dialog fills after it is shown.
    SetTimer(panel, 1, g_waitForListing ? 300 : 1, [](HWND p, UINT, UINT_PTR id, DWORD) {
        KillTimer(p, id);
        PostMessageW(GetParent(p), WM_COMMAND, IDOK, 0);
    });
}

void OnCodePageDialog(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_CODEPAGE_LIST);
    for (LRESULT i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[300] = {};
        if (SendMessageW(list, LB_GETTEXTLEN, WPARAM(i), 0) < 300)
            SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(text));
        g_state.listTexts.push_back(text);
        g_state.listData.push_back(int(SendMessageW(list, LB_GETITEMDATA, WPARAM(i), 0)));
    }
    g_state.listSelection = int(SendMessageW(list, LB_GETCURSEL, 0, 0));
    if (g_listPick >= 0) SendMessageW(list, LB_SETCURSEL, WPARAM(g_listPick), 0);
    PostMessageW(dialog, WM_COMMAND, g_listPick < 0 ? IDCANCEL : IDOK, 0);
}

// The item identifiers of one of the executable's menus, in order.
Ints MenuIds(int menuId) {
    Ints out;
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId));
    for (int i = 0; i < GetMenuItemCount(GetSubMenu(menu, 0)); ++i)
        out.push_back(int(GetMenuItemID(GetSubMenu(menu, 0), i)));
    DestroyMenu(menu);
    return out;
}

class FileDialogs : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        shell::SetResourceModule(LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str()));
    }
    static void TearDownTestSuite() { shell::SetResourceModule(nullptr); }
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-filedlg-");
        g_state = PanelState();
        g_name.clear();
        g_chooseCodePage = 0;
        g_listPick = -1;
        g_waitForListing = false;
        documents::SetDialogShownHook(&OnFileDialog);
    }
    void TearDown() override { documents::SetDialogShownHook(nullptr); }
    std::wstring folder_;
};

// Detection first, then the menu's code pages; no save controls. Several
// names typed (checked against the listing) or one full path.
TEST_F(FileDialogs, OpenModeOffersDetectionFirstAndHidesTheSaveControls) {
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"one.txt", "1"));
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"two.txt", "2"));
    g_name = L"\"one.txt\" \"two.txt\"";
    g_waitForListing = true;
    g_chooseCodePage = 1;  // back to detection after the panel was tried
    FileChoice choice;
    choice.codePage = 777;
    ASSERT_TRUE(documents::ShowOpenDialog(nullptr, folder_, &choice));
    ASSERT_TRUE(g_state.seen);
    Ints expected = MenuIds(IDM_CODEPAGES);
    expected.insert(expected.begin(), 1);
    EXPECT_EQ(g_state.codePages, expected);
    EXPECT_EQ(g_state.selectedCodePage, 1);
    EXPECT_EQ(g_state.shown, L"");
    EXPECT_EQ(choice.codePage, 1);
    EXPECT_EQ(choice.paths, (Paths{folder_ + L"one.txt", folder_ + L"two.txt"}));
    EXPECT_FALSE(choice.readOnly);
    // One full path, and a code page chosen.
    g_name = folder_ + L"one.txt";
    g_waitForListing = false;
    g_chooseCodePage = 1251;
    ASSERT_TRUE(documents::ShowOpenDialog(nullptr, &choice));
    EXPECT_EQ(choice.paths, Paths{folder_ + L"one.txt"});
    EXPECT_EQ(choice.codePage, 1251);
}

TEST_F(FileDialogs, CancelLeavesTheChoiceAlone) {
    FileChoice choice;
    choice.codePage = 932;
    choice.paths = {L"kept"};
    EXPECT_FALSE(documents::ShowOpenDialog(nullptr, &choice));
    EXPECT_TRUE(g_state.seen);
    EXPECT_FALSE(documents::ShowSaveDialog(nullptr, folder_ + L"x.txt", &choice));
    EXPECT_EQ(choice.codePage, 932);
    EXPECT_EQ(choice.paths, Paths{L"kept"});
}

TEST_F(FileDialogs, SaveModeStartsOnTheDocumentsFormatAndKeepsTheMarkBoxInStep) {
    g_name = folder_ + L"saved.txt";
    FileChoice choice;
    choice.codePage = 1201;
    choice.lineEnd = 3;
    choice.bom = 1;
    ASSERT_TRUE(documents::ShowSaveDialog(nullptr, L"", &choice));
    EXPECT_EQ(g_state.codePages, MenuIds(IDM_CODEPAGES));
    EXPECT_EQ(g_state.lineEnds, MenuIds(IDM_LINE_ENDS));
    EXPECT_EQ(g_state.selectedCodePage, 1201);
    EXPECT_EQ(g_state.selectedLineEnd, 3);
    EXPECT_EQ(g_state.shown, L"LBT");
    EXPECT_EQ(g_state.bomChecked, UINT(BST_CHECKED));
    EXPECT_TRUE(g_state.bomEnabled);
    const std::vector<std::pair<int, UINT>> expected = {{1252, 2},  {1200, 1}, {437, 2},   {65001, 1},
                                                        {1201, 1},  {932, 2},  {12000, 1}, {12001, 1},
                                                        {65000, 1}, {0, 2}};
    EXPECT_EQ(g_state.bomAfterChange, expected);
    // The last choice in the panel was 0: no mark there.
    EXPECT_EQ(choice.paths, Paths{folder_ + L"saved.txt"});
    EXPECT_EQ(choice.codePage, 0);
    EXPECT_EQ(choice.lineEnd, 3);
    EXPECT_EQ(choice.bom, 0);
}

TEST_F(FileDialogs, SaveModeAddsTheDefaultExtensionAndReturnsTheChosenUnicodeForm) {
    g_name = folder_ + L"noext";
    g_chooseCodePage = 65001;
    FileChoice choice;
    choice.codePage = 1252;
    choice.lineEnd = 2;
    ASSERT_TRUE(documents::ShowSaveDialog(nullptr, L"", &choice));
    EXPECT_EQ(g_state.bomChecked, UINT(BST_UNCHECKED));
    EXPECT_FALSE(g_state.bomEnabled);  // 1252 takes no mark
    EXPECT_EQ(choice.paths, Paths{folder_ + L"noext.txt"});
    EXPECT_EQ(choice.codePage, 65001);
    EXPECT_EQ(choice.lineEnd, 2);
    EXPECT_EQ(choice.bom, 1);  // choosing a Unicode form sets the box
}

TEST_F(FileDialogs, HooksAnswerInsteadOfTheDialogs) {
    EXPECT_EQ(documents::SetFileDialogHook([](bool save, FileChoice* c) {
                  c->paths = {save ? L"S" : L"O"};
                  return save;
              }),
              nullptr);
    FileChoice choice;
    EXPECT_FALSE(documents::ShowOpenDialog(nullptr, &choice));
    EXPECT_TRUE(documents::ShowSaveDialog(nullptr, L"", &choice));
    EXPECT_EQ(choice.paths, Paths{L"S"});
    EXPECT_FALSE(g_state.seen);
    documents::SetFileDialogHook(nullptr);
    documents::SetCodePageHook([](HWND) { return 936; });
    EXPECT_EQ(documents::ChooseCodePage(nullptr), 936);
    documents::SetCodePageHook(nullptr);
    EXPECT_FALSE(documents::ShowOpenDialog(nullptr, nullptr));
}

TEST_F(FileDialogs, CodePageDialogListsTheSystemCodePageFirst) {
    documents::SetDialogShownHook(&OnCodePageDialog);
    g_listPick = 0;
    EXPECT_EQ(documents::ChooseCodePage(nullptr), 0);  // the system code page answers 0
    Ints expected = MenuIds(IDM_CODEPAGES);
    expected.insert(expected.begin(), 0);
    EXPECT_EQ(g_state.listData, expected);
    ASSERT_GE(g_state.listTexts.size(), 3u);
    EXPECT_EQ(g_state.listTexts[0], L"System Codepage [" + std::to_wstring(GetACP()) + L"]");
    EXPECT_EQ(g_state.listTexts[2], L"Unicode (UTF-8) [65001]");
    EXPECT_EQ(g_state.listSelection, 0);
    for (const auto& [pick, answer] : {std::pair{3, 1200}, {-1, -1}}) {
        g_listPick = pick;
        EXPECT_EQ(documents::ChooseCodePage(nullptr), answer);
    }
}

// Once a file dialog shows, the keyboard is in its file name box: typing a
// name must never land in the panel's lists (a typed letter there picks a
// code page).
std::wstring g_focus;  // "" in the name box, else the focused control

TEST_F(FileDialogs, TheFocusStartsInTheFileNameBox) {
    documents::SetDialogShownHook([](HWND panel) {
        // The dialog is shown after this call.
        SetTimer(panel, 3, 100, [](HWND panel, UINT, UINT_PTR id, DWORD) {
            KillTimer(panel, id);
            HWND dialog = GetParent(panel);
            // Activated as a window manager activates it: the dialog gives
            // the focus back to the control it keeps for that.
            SetForegroundWindow(dialog);
            HWND focus = GetFocus(), name = GetDlgItem(dialog, cmb13);
            if (!name) name = GetDlgItem(dialog, edt1);
            wchar_t cls[64] = {};
            GetClassNameW(focus, cls, 64);
            g_focus = name && (focus == name || IsChild(name, focus))
                          ? L""
                          : L"control " + std::to_wstring(GetDlgCtrlID(focus)) + L" " + cls +
                                (IsChild(panel, focus) ? L", in the panel" : L"");
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
    });
    for (bool save : {false, true}) {
        g_focus = L"never looked";
        FileChoice choice;
        choice.codePage = 1200;
        EXPECT_FALSE(save ? documents::ShowSaveDialog(nullptr, folder_ + L"a.txt", &choice)
                          : documents::ShowOpenDialog(nullptr, folder_, &choice));
        EXPECT_EQ(g_focus, L"") << (save ? "save" : "open");
    }
}

TEST(FileSelection, SplitsAFolderAndItsNames) {
    using documents::SplitSelection;
    const wchar_t many[] = L"C:\\dir\0a.txt\0b c.txt\0\0", root[] = L"C:\\\0a.txt\0\0",
                  one[] = L"C:\\dir\\only.txt\0\0";
    EXPECT_EQ(SplitSelection(many, sizeof many / 2), (Paths{L"C:\\dir\\a.txt", L"C:\\dir\\b c.txt"}));
    EXPECT_EQ(SplitSelection(root, sizeof root / 2), Paths{L"C:\\a.txt"});
    EXPECT_EQ(SplitSelection(one, sizeof one / 2), Paths{L"C:\\dir\\only.txt"});
    // Far beyond MAX_PATH, and a buffer without its final terminators.
    const std::wstring deep = L"C:\\" + std::wstring(300, L'd');
    std::wstring raw = deep + L'\0' + std::wstring(200, L'n');
    EXPECT_EQ(SplitSelection(raw.data(), raw.size()), Paths{deep + L"\\" + std::wstring(200, L'n')});
    EXPECT_TRUE(SplitSelection(L"", 1).empty());
    EXPECT_TRUE(SplitSelection(nullptr, 10).empty());
}

TEST(FileSelection, MarkAppliesToTheUnicodeFormsOnly) {
    for (int cp : {1200, 1201, 12000, 12001, 65001, 65000}) EXPECT_TRUE(documents::BomApplies(cp)) << cp;
    for (int cp : {0, 1, 1252, 932, 936, 20127, -1}) EXPECT_FALSE(documents::BomApplies(cp)) << cp;
}

}  // namespace
