// The document pane in a stand-in document window, driven by messages as a
// user's actions would: its status texts and command states go to a
// recording IUpdateUI, its popups to a host whose TrackMenu answers from a
// script, its questions to the recording message sink and an input hook.
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "CommandIds.h"
#include "DialogIds.h"
#include "EditProtocol.h"
#include "InputDialog.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "Settings.h"
#include "SyntaxList.h"
#include "TestSupport.h"
#include "TextView.h"

using documents::CTextView;
using testing_support::Answers;
using testing_support::Messages;
using testing_support::WriteFileText;

namespace {

using Texts = std::vector<std::wstring>;

struct RecordingUI : IUpdateUI {
    std::map<UINT, bool> enabled;
    std::map<UINT, int> checked;
    std::map<UINT, std::wstring> texts;
    std::vector<UINT> written;  // panes whose text was written, in order
    BOOL MORROWPAD_CALL EnableCommand(UINT id, BOOL enable, BOOL) override {
        enabled[id] = enable != 0;
        return TRUE;
    }
    BOOL MORROWPAD_CALL CheckCommand(UINT id, int check, BOOL) override {
        checked[id] = check;
        return TRUE;
    }
    BOOL MORROWPAD_CALL SetCommandDefault(UINT, BOOL, BOOL) override { return TRUE; }
    BOOL MORROWPAD_CALL SetCommandText(UINT id, const wchar_t* text, BOOL) override {
        texts[id] = text ? text : L"";
        written.push_back(id);
        return TRUE;
    }
};

// One popup as the host was asked to show it: the items by their texts.
struct ShownMenu {
    std::vector<std::wstring> items;
    std::vector<std::wstring> checkedItems;
    std::vector<std::wstring> disabledItems;
    BOOL send;
};

std::wstring ItemText(HMENU menu, int i) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, UINT(i), text, 128, MF_BYPOSITION);
    return text;
}

struct ScriptedHost : IDevEnv {
    // The items to choose by text, one per popup; "" or none left: nothing
    // chosen; "#n" answers the identifier n.
    std::deque<std::wstring> choices;
    std::vector<ShownMenu> menus;
    // Commands whose states the host applies to every popup it shows, as
    // the frame does from its table: disabled and unchecked.
    std::vector<UINT> disabledCommands;
    BOOL MORROWPAD_CALL AddPane(HWND, const RECT*) override { return FALSE; }
    BOOL MORROWPAD_CALL RemovePane(HWND) override { return FALSE; }
    HWND MORROWPAD_CALL ShowPane(HWND, int) override { return nullptr; }
    HWND MORROWPAD_CALL GetMainWindow() override { return nullptr; }
    UINT MORROWPAD_CALL AllocateCommandId() override { return 0; }
    IView* MORROWPAD_CALL GetActiveView() override { return nullptr; }
    HWND MORROWPAD_CALL GetToolBar() override { return nullptr; }
    int MORROWPAD_CALL MessageBox(const wchar_t*, UINT, const wchar_t*, HWND) override { return IDOK; }
    BOOL MORROWPAD_CALL AddMessageListener(MessageListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL RemoveMessageListener(MessageListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL AddIdleListener(IdleListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL AddIdleListener2(IdleListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL AddUpdateCommand(UINT, UINT) override { return FALSE; }
    BOOL MORROWPAD_CALL RemoveUpdateCommand(UINT) override { return FALSE; }
    LRESULT MORROWPAD_CALL AppendOutput(const wchar_t*, int) override { return 0; }
    UINT MORROWPAD_CALL TrackMenu(HMENU menu, int, int, BOOL send) override {
        for (UINT id : disabledCommands) {
            EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
            CheckMenuItem(menu, id, MF_BYCOMMAND | MF_UNCHECKED);
        }
        const std::wstring choice = choices.empty() ? L"" : choices.front();
        if (!choices.empty()) choices.pop_front();
        ShownMenu shown{{}, {}, {}, send};
        UINT chosen = choice.size() > 1 && choice[0] == L'#' ? UINT(_wtoi(choice.c_str() + 1)) : 0;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            const UINT state = GetMenuState(menu, UINT(i), MF_BYPOSITION);
            if (state & MF_SEPARATOR) continue;
            const std::wstring text = ItemText(menu, i);
            shown.items.push_back(text);
            if (state & MF_CHECKED) shown.checkedItems.push_back(text);
            if (state & MF_GRAYED) shown.disabledItems.push_back(text);
            if (!choice.empty() && text == choice) chosen = GetMenuItemID(menu, i);
        }
        menus.push_back(shown);
        return chosen;
    }
    LANGID MORROWPAD_CALL GetLanguage() override { return 0x409; }
};

// What the input hook answers, and what it was asked.
struct InputScript {
    bool confirm = true;
    std::wstring answer;
    std::wstring title, prompt, initial;
    int asked = 0;
};
InputScript g_input;
bool ScriptedInput(HWND, const std::wstring& title, const std::wstring& prompt, std::wstring* value) {
    ++g_input.asked;
    g_input.title = title;
    g_input.prompt = prompt;
    g_input.initial = *value;
    if (g_input.confirm) *value = g_input.answer;
    return g_input.confirm;
}

int g_codePageChoice = -1;
int ChooseScripted(HWND) { return g_codePageChoice; }

// (x, y) menu positions: a "lParam" of a WM_CONTEXTMENU at (10, 10).
constexpr LPARAM kAt10 = MAKELPARAM(10, 10);

class Pane : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        language_ = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language_);
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
    }
    static void TearDownTestSuite() { shell::SetResourceModule(nullptr); }

    void SetUp() override {
        ASSERT_NE(edit_, nullptr);
        folder_ = testing_support::MakeTempFolder(L"mp-pane-");
        settings::SetProgramFolder(folder_);
        Messages().clear();
        Answers().clear();
        g_input = InputScript();
        documents::SetInputHook(&ScriptedInput);
        documents::SetChooseCodePage(&ChooseScripted);
        CTextView::ForgetStatusTexts();
        parent_ = CreateWindowExW(0, L"STATIC", L"doc", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400,
                                  nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        view_ = CTextView::Create(parent_, {edit_, parent_, &ui_, &host_, 0});
        ASSERT_NE(view_, nullptr);
        pane_ = view_->Window();
        MoveWindow(pane_, 0, 0, 580, 380, TRUE);
    }
    void TearDown() override {
        if (parent_) DestroyWindow(parent_);
        documents::SetInputHook(nullptr);
        documents::SetChooseCodePage(nullptr);
        settings::SetProgramFolder(L"");
    }

    bool Load(const std::string& bytes, int cp, int lineEnd) {
        path_ = folder_ + L"sample.txt";
        if (!WriteFileText(path_, bytes)) return false;
        return SendMessageW(pane_, MPM_LOADFILE, WPARAM(path_.c_str()), MAKELPARAM(cp, lineEnd)) == 1;
    }
    std::wstring Line(int n) {
        wchar_t buf[512] = {};
        const LRESULT len = SendMessageW(pane_, MPM_GETLINE, WPARAM(n), LPARAM(buf));
        return std::wstring(buf, size_t(len > 0 && len < 512 ? len : 0));
    }
    int Lines() { return int(SendMessageW(pane_, MPM_GETLINECOUNT, 0, 0)); }
    void Command(UINT id, UINT code = 0) { SendMessageW(pane_, WM_COMMAND, MAKEWPARAM(id, code), 0); }
    void Type(const wchar_t* text) {
        for (; *text; ++text) SendMessageW(pane_, WM_CHAR, *text, 0);
    }
    // Text with line breaks, inserted at the caret as one edit.
    void Insert(const wchar_t* text) {
        TextArg arg = {text, -1};
        SendMessageW(pane_, MPM_INSERTTEXT, 0, LPARAM(&arg));
    }
    void Select(Position a, Position b) { SendMessageW(pane_, MPM_SELECT, WPARAM(&a), LPARAM(&b)); }
    void Caret(Position p) { SendMessageW(pane_, MPM_SETCARET, WPARAM(&p), 0); }
    Position CaretPos() {
        Position p = {-1, -1};
        SendMessageW(pane_, MPM_GETCARETPOS, WPARAM(&p), 0);
        return p;
    }
    std::wstring Setting(const wchar_t* key) {
        std::wstring v;
        settings::ReadString(settings::File::Setting, L"Edit", key, v);
        return v;
    }
    LONG FontHeight() {
        LOGFONTW lf = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(pane_, WM_GETFONT, 0, 0)), sizeof lf, &lf);
        return lf.lfHeight;
    }
    void SetFont(LONG height) {
        LOGFONTW lf = {};
        lf.lfHeight = height;
        wcscpy(lf.lfFaceName, L"Courier New");
        font_ = CreateFontIndirectW(&lf);
        SendMessageW(pane_, WM_SETFONT, WPARAM(font_), TRUE);
    }

    static inline HMODULE language_ = nullptr;
    static inline HMODULE edit_ = nullptr;
    std::wstring folder_, path_;
    HWND parent_ = nullptr, pane_ = nullptr;
    CTextView* view_ = nullptr;
    RecordingUI ui_;
    ScriptedHost host_;
    HFONT font_ = nullptr;
};

TEST_F(Pane, IsASuperclassOfTheControlWithItsProperties) {
    wchar_t name[64] = {};
    GetClassNameW(pane_, name, 64);
    EXPECT_STREQ(name, L"MorrowpadPane");
    EXPECT_EQ(CTextView::FromWindow(pane_), view_);
    EXPECT_EQ(CTextView::FromWindow(parent_), nullptr);
    EXPECT_EQ(CTextView::FromWindow(nullptr), nullptr);
    EXPECT_EQ(GetPropW(pane_, L"View"), view_);
    EXPECT_EQ(GetPropW(pane_, L"ViewType"), nullptr);
    EXPECT_TRUE(GetWindowLongW(pane_, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    const LONG style = GetWindowLongW(pane_, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS),
              WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
    // Typing reaches the control.
    Type(L"abc");
    EXPECT_EQ(Line(0), L"abc");
    EXPECT_EQ(SendMessageW(pane_, MPM_ISMODIFIED, 0, 0), 1);
}

TEST_F(Pane, ResultDocumentCarriesItsViewType) {
    CTextView* result = CTextView::Create(parent_, {edit_, parent_, &ui_, &host_, 1});
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(GetPropW(result->Window(), L"ViewType"), reinterpret_cast<HANDLE>(1));
    DestroyWindow(result->Window());
}

TEST_F(Pane, FailsWithoutTheEditLibrary) {
    EXPECT_EQ(CTextView::Create(parent_, {nullptr, parent_, &ui_, &host_, 0}), nullptr);
    EXPECT_EQ(CTextView::Create(parent_, {language_, parent_, &ui_, &host_, 0}), nullptr);
}

TEST_F(Pane, StatusTextsOfAUtf8FileWithMarkAndLf) {
    ASSERT_TRUE(
        Load("\xEF\xBB\xBF"
             "a\tb\nsecond\nthird\n",
             65001, LB_LF));
    Caret({1, 2});
    view_->Update();
    EXPECT_EQ(ui_.texts[1], L"Ln 2");
    EXPECT_EQ(ui_.texts[2], L"Col 3");
    EXPECT_EQ(ui_.texts[3], L"U+0063");
    EXPECT_EQ(ui_.texts[4], L"4");
    EXPECT_EQ(ui_.texts[5], L"UTF-8");
    EXPECT_EQ(ui_.texts[6], L"INS");
    EXPECT_EQ(ui_.texts[7], L"UNIX");
    EXPECT_EQ(ui_.texts[8], L"BOM");
    EXPECT_EQ(ui_.texts[9], L"TabSize:4");
    EXPECT_EQ(ui_.texts[10], L"Text");
}

TEST_F(Pane, StatusTextsOfOtherFormats) {
    ASSERT_TRUE(Load("x\r\ny\r\n", 1252, LB_CRLF));
    SendMessageW(pane_, MPM_SOFTTABS, 1, 0);
    Command(ECMD_OVERWRITE);
    view_->Update();
    EXPECT_EQ(ui_.texts[5], L"CP 1252");
    EXPECT_EQ(ui_.texts[7], L"PC");
    EXPECT_EQ(ui_.texts[8], L"");
    EXPECT_EQ(ui_.texts[6], L"OVR");
    EXPECT_EQ(ui_.texts[9], L"SoftTabs:4");
    SendMessageW(pane_, MPM_LINEBREAKTYPE, LB_CR, 0);
    SendMessageW(pane_, MPM_CODEPAGE, 0, 0);
    view_->Update();
    EXPECT_EQ(ui_.texts[7], L"MAC");
    EXPECT_EQ(ui_.texts[5], L"ANSI");
}

TEST_F(Pane, StatusTextsAreRewrittenOnlyWhenChanged) {
    ASSERT_TRUE(Load("one\ntwo\n", 65001, LB_LF));
    view_->Update();
    EXPECT_EQ(ui_.written.size(), 10u);
    ui_.written.clear();
    view_->Update();
    EXPECT_TRUE(ui_.written.empty());
    Caret({1, 0});
    view_->Update();
    EXPECT_EQ(ui_.written, (std::vector<UINT>{1, 3}));
    // The cache is the program's: another pane showing the same writes nothing.
    CTextView* other = CTextView::Create(parent_, {edit_, parent_, &ui_, &host_, 0});
    ASSERT_NE(other, nullptr);
    ui_.written.clear();
    other->Update();
    EXPECT_EQ(ui_.written, (std::vector<UINT>{1, 3, 4, 5, 7, 8}));  // line 1, "U+0000", 1 line, ANSI, PC, ""
    DestroyWindow(other->Window());
}

TEST_F(Pane, CommandStates) {
    view_->Update();
    EXPECT_FALSE(ui_.enabled[ID_EDIT_UNDO]);
    EXPECT_FALSE(ui_.enabled[ID_FILE_SAVE]);
    EXPECT_FALSE(ui_.enabled[ID_EDIT_COPY]);
    EXPECT_EQ(ui_.checked[ID_FOLD_NONE], 1);
    EXPECT_EQ(ui_.checked[ID_AUTO_COMPLETE], 1);
    EXPECT_EQ(ui_.checked[ID_VIEW_LINE_NUMBERS], 1);
    Insert(L"hello\nworld");
    Select({0, 0}, {1, 2});
    SendMessageW(pane_, MPM_FOLDMODE, 2, 0);
    Command(ID_WORD_WRAP);
    Command(ID_BRACE_MATCH);
    const int brace = int(SendMessageW(pane_, MPM_BRACEMATCH, 2, 0));
    view_->Update();
    EXPECT_TRUE(ui_.enabled[ID_EDIT_UNDO]);
    EXPECT_FALSE(ui_.enabled[ID_EDIT_REDO]);
    EXPECT_TRUE(ui_.enabled[ID_FILE_SAVE]);
    EXPECT_TRUE(ui_.enabled[ID_EDIT_COPY]);
    EXPECT_TRUE(ui_.enabled[ID_EDIT_CUT]);
    EXPECT_TRUE(ui_.enabled[ID_REMOVE_BLANK_LINES]);
    EXPECT_TRUE(ui_.enabled[63]);
    EXPECT_EQ(ui_.checked[ID_FOLD_NONE], 0);
    EXPECT_EQ(ui_.checked[ID_FOLD_HOST], 1);
    EXPECT_EQ(ui_.checked[ID_WORD_WRAP], 1);
    EXPECT_EQ(ui_.checked[ID_BRACE_MATCH], brace);
    Command(ID_EDIT_UNDO);
    view_->Update();
    EXPECT_TRUE(ui_.enabled[ID_EDIT_REDO]);
    Command(ID_FOLD_SELECTION);
    EXPECT_EQ(SendMessageW(pane_, MPM_FOLDMODE, WPARAM(-1), 0), 3);
}

TEST_F(Pane, ViewTogglesAreWrittenBack) {
    settings::WriteBool(settings::File::Setting, L"Edit", L"Ruler", false);
    CTextView* other = CTextView::Create(parent_, {edit_, parent_, &ui_, &host_, 0});
    ASSERT_NE(other, nullptr);
    HWND pane = other->Window();
    EXPECT_EQ(SendMessageW(pane, MPM_VIEWPART, 1, -1), 0);
    EXPECT_EQ(SendMessageW(pane, MPM_VIEWPART, 0, -1), 1);
    SendMessageW(pane, WM_COMMAND, ID_VIEW_RULER, 0);
    EXPECT_EQ(SendMessageW(pane, MPM_VIEWPART, 1, -1), 1);
    EXPECT_EQ(Setting(L"Ruler"), L"Y");
    SendMessageW(pane, WM_COMMAND, ID_VIEW_LINE_NUMBERS, 0);
    EXPECT_EQ(SendMessageW(pane, MPM_VIEWPART, 0, -1), 0);
    EXPECT_EQ(Setting(L"LineNumber"), L"N");
    SendMessageW(pane, WM_COMMAND, ID_AUTO_COMPLETE, 0);
    EXPECT_FALSE(other->AutoComplete());
    EXPECT_EQ(Setting(L"AutoComplete"), L"N");
    DestroyWindow(pane);
}

// The control keeps no state for the indent guides: the pane does.
TEST_F(Pane, IndentLinesToggleBothWays) {
    settings::WriteBool(settings::File::Setting, L"Edit", L"IndentLine", true);
    CTextView* other = CTextView::Create(parent_, {edit_, parent_, &ui_, &host_, 0});
    ASSERT_NE(other, nullptr);
    other->Update();
    EXPECT_EQ(ui_.checked[ID_VIEW_INDENT_LINES], 1);
    SendMessageW(other->Window(), WM_COMMAND, ID_VIEW_INDENT_LINES, 0);
    EXPECT_EQ(Setting(L"IndentLine"), L"N");
    other->Update();
    EXPECT_EQ(ui_.checked[ID_VIEW_INDENT_LINES], 0);
    SendMessageW(other->Window(), WM_COMMAND, ID_VIEW_INDENT_LINES, 0);
    EXPECT_EQ(Setting(L"IndentLine"), L"Y");
    DestroyWindow(other->Window());
}

TEST_F(Pane, RemoveBlankLinesInOneUndoStep) {
    Insert(L"keep\n\n  \t\nmid\n\x3000 \nlast\nafter");
    ASSERT_EQ(Lines(), 7);
    Select({0, 2}, {5, 1});
    Command(ID_REMOVE_BLANK_LINES);
    ASSERT_EQ(Lines(), 4);
    EXPECT_EQ(Line(0), L"keep");
    EXPECT_EQ(Line(1), L"mid");
    EXPECT_EQ(Line(2), L"last");
    EXPECT_EQ(Line(3), L"after");
    Position a = {}, b = {};
    ASSERT_EQ(SendMessageW(pane_, MPM_GETSELRANGE, WPARAM(&a), LPARAM(&b)), 1);
    EXPECT_EQ(a.line, 0);
    EXPECT_EQ(b.line, 3);
    EXPECT_EQ(b.column, 0);
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(Lines(), 7);
    EXPECT_EQ(Line(2), L"  \t");
    EXPECT_EQ(Line(4), L"\x3000 ");
}

TEST_F(Pane, RemoveBlankLinesNeedsSeveralLines) {
    Insert(L"  \n\nx");
    Select({0, 0}, {0, 2});
    Command(ID_REMOVE_BLANK_LINES);
    EXPECT_EQ(Lines(), 3);
    Caret({1, 0});
    Command(ID_REMOVE_BLANK_LINES);
    EXPECT_EQ(Lines(), 3);
}

TEST_F(Pane, EnterKeepsTheIndentation) {
    Type(L"\t  code");
    SendMessageW(pane_, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(Lines(), 2);
    EXPECT_EQ(Line(1), L"\t  ");
    EXPECT_EQ(CaretPos().column, 3);
    // Only the run up to the caret is copied.
    Type(L"x");
    Caret({0, 1});
    Command(ECMD_LINEBREAK);
    EXPECT_EQ(Line(0), L"\t");
    EXPECT_EQ(Line(1), L"\t  code");
}

TEST_F(Pane, EnterWithIndentationIsOneUndoStep) {
    Insert(L"    body");
    SendMessageW(pane_, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(Line(1), L"    ");
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(Lines(), 1);
    EXPECT_EQ(Line(0), L"    body");
    // A selection is replaced by the line break and the indentation, also in one step.
    Select({0, 6}, {0, 8});
    Command(ECMD_LINEBREAK);
    EXPECT_EQ(Line(0), L"    bo");
    EXPECT_EQ(Line(1), L"    ");
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(Lines(), 1);
    EXPECT_EQ(Line(0), L"    body");
}

TEST_F(Pane, EnterOnAReadOnlyDocumentChangesNothing) {
    Insert(L"  x");
    SendMessageW(pane_, MPM_READONLY, 1, 0);
    Command(ECMD_LINEBREAK);
    EXPECT_EQ(Lines(), 1);
    EXPECT_EQ(Line(0), L"  x");
}

TEST_F(Pane, GoToLineClamps) {
    Insert(L"a\nb\nc\nd");
    g_input.answer = L"3";
    Command(ID_GOTO_LINE);
    EXPECT_EQ(g_input.prompt, L"Line number (1 - 4):");
    EXPECT_EQ(g_input.title, L"Go To Line");
    EXPECT_EQ(CaretPos().line, 2);
    EXPECT_EQ(CaretPos().column, 0);
    g_input.answer = L"99";
    Command(ID_GOTO_LINE);
    EXPECT_EQ(CaretPos().line, 3);
    g_input.answer = L"-5";
    Command(ID_GOTO_LINE);
    EXPECT_EQ(CaretPos().line, 0);
    Caret({2, 1});
    g_input.answer = L"junk";
    Command(ID_GOTO_LINE);
    EXPECT_EQ(CaretPos().line, 2);
    g_input.confirm = false;
    Command(ID_GOTO_LINE);
    EXPECT_EQ(CaretPos().column, 1);
    // A click on the line-count pane asks the same.
    g_input = InputScript();
    g_input.answer = L"2";
    Command(ID_STATUS_PANE, 4);
    EXPECT_EQ(g_input.asked, 1);
    EXPECT_EQ(CaretPos().line, 1);
}

// Answers the input dialog as a user would: types into the field and presses
// OK (or Cancel), from a timer that runs inside the dialog's loop.
std::wstring g_typed;
UINT g_button = IDOK;
std::wstring g_dialogPrompt;
void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(L"#32770", L"Go To Line");
    if (!dialog) return;
    KillTimer(nullptr, timer);
    wchar_t prompt[128] = {};
    GetDlgItemTextW(dialog, IDC_INPUT_PROMPT, prompt, 128);
    g_dialogPrompt = prompt;
    SetDlgItemTextW(dialog, IDC_INPUT_VALUE, g_typed.c_str());
    SendMessageW(dialog, WM_COMMAND, g_button, 0);
}

TEST_F(Pane, InputDialogAsksForTheLine) {
    documents::SetInputHook(nullptr);
    Insert(L"a\nb\nc");
    g_typed = L"2";
    g_button = IDOK;
    SetTimer(nullptr, 0, 10, &AnswerDialog);
    Command(ID_GOTO_LINE);
    EXPECT_EQ(g_dialogPrompt, L"Line number (1 - 3):");
    EXPECT_EQ(CaretPos().line, 1);
    g_typed = L"3";
    g_button = IDCANCEL;
    SetTimer(nullptr, 0, 10, &AnswerDialog);
    Command(ID_GOTO_LINE);
    EXPECT_EQ(CaretPos().line, 1);
}

TEST_F(Pane, LineSpacing) {
    g_input.answer = L"5";
    Command(ID_LINE_SPACING);
    EXPECT_EQ(g_input.title, L"Line Spacing");
    EXPECT_EQ(g_input.initial, L"0");
    EXPECT_EQ(SendMessageW(pane_, MPM_LINESPACING, 0x80000000u, 0), 5);
    g_input.answer = L"";
    Command(ID_LINE_SPACING);
    EXPECT_EQ(SendMessageW(pane_, MPM_LINESPACING, 0x80000000u, 0), 0);
}

TEST_F(Pane, CodePageClickReloadsAnUnmodifiedFile) {
    ASSERT_TRUE(Load("caf\xE9\n", 65001, LB_LF));
    host_.choices = {L"Western European (Windows)"};
    Answers() = {IDYES};
    Command(ID_STATUS_PANE, 5);
    ASSERT_EQ(host_.menus.size(), 1u);
    EXPECT_EQ(host_.menus[0].checkedItems, Texts{L"Unicode (UTF-8)"});
    EXPECT_FALSE(host_.menus[0].send);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].type, UINT(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(Line(0), L"caf\x00E9");
    EXPECT_EQ(SendMessageW(pane_, MPM_GETCODEPAGE, 0, 0), 1252);
    EXPECT_EQ(SendMessageW(pane_, MPM_LINEBREAKTYPE, 0, 0), LB_LF);
    EXPECT_EQ(SendMessageW(pane_, MPM_ISMODIFIED, 0, 0), 0);
}

TEST_F(Pane, CodePageClickAnsweredNoOnlyChangesTheCodePage) {
    ASSERT_TRUE(Load("caf\xE9\n", 65001, LB_LF));
    const std::wstring before = Line(0);
    host_.choices = {L"Western European (Windows)"};
    Answers() = {IDNO};
    Command(ID_STATUS_PANE, 5);
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_EQ(SendMessageW(pane_, MPM_CODEPAGE, WPARAM(-1), 0), 1252);
}

TEST_F(Pane, CodePageClickNeverReloadsAModifiedDocument) {
    ASSERT_TRUE(Load("caf\xE9\n", 1252, LB_LF));
    Caret({0, 4});
    Type(L"!");
    host_.choices = {L"Unicode (UTF-8)"};
    Answers() = {IDYES};
    Command(ID_STATUS_PANE, 5);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Line(0), L"caf\x00E9!");
    EXPECT_EQ(SendMessageW(pane_, MPM_CODEPAGE, WPARAM(-1), 0), 65001);
    EXPECT_EQ(SendMessageW(pane_, MPM_ISMODIFIED, 0, 0), 1);
}

TEST_F(Pane, CodePageClickOnTheSameOrNothing) {
    ASSERT_TRUE(Load("abc\n", 0, LB_LF));
    g_codePageChoice = int(GetACP());
    host_.choices = {L"More..."};
    Command(ID_STATUS_PANE, 5);
    host_.choices = {L"Default (ANSI)"};
    Command(ID_STATUS_PANE, 5);
    host_.choices = {};
    Command(ID_STATUS_PANE, 5);
    g_codePageChoice = -1;
    host_.choices = {L"More..."};  // cancelled
    Command(ID_STATUS_PANE, 5);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(SendMessageW(pane_, MPM_CODEPAGE, WPARAM(-1), 0), 0);
    EXPECT_EQ(SendMessageW(pane_, MPM_ISMODIFIED, 0, 0), 0);
    // The dialog's choice counts as the menu's; ANSI (item 0) can be chosen.
    g_codePageChoice = GetACP() == 1250 ? 1251 : 1250;
    host_.choices = {L"More..."};
    Answers() = {IDNO};
    Command(ID_STATUS_PANE, 5);
    EXPECT_EQ(SendMessageW(pane_, MPM_CODEPAGE, WPARAM(-1), 0), g_codePageChoice);
    Answers() = {IDNO};
    host_.choices = {L"Default (ANSI)"};
    Command(ID_STATUS_PANE, 5);
    EXPECT_EQ(SendMessageW(pane_, MPM_CODEPAGE, WPARAM(-1), 0), 0);
}

TEST_F(Pane, CodePagePopupMarksAnsi) {
    ASSERT_TRUE(Load("abc\n", 0, LB_LF));
    Command(ID_STATUS_PANE, 5);
    ASSERT_EQ(host_.menus.size(), 1u);
    EXPECT_EQ(host_.menus[0].checkedItems, Texts{L"Default (ANSI)"});
}

// The frame applies its command states to every popup it shows: 1200 is
// "next tab" there, and 1 a status-bar pane.
TEST_F(Pane, StatusPopupsAreUntouchedByTheFramesCommandStates) {
    ASSERT_TRUE(Load("abc\n", 1200, LB_LF));
    host_.disabledCommands = {1, 1200, 1201, 65001, 4, 8};
    host_.choices = {L"Unicode Big Endian"};
    Answers() = {IDNO};
    Command(ID_STATUS_PANE, 5);
    ASSERT_EQ(host_.menus.size(), 1u);
    EXPECT_TRUE(host_.menus[0].disabledItems.empty());
    EXPECT_EQ(host_.menus[0].checkedItems, Texts{L"Unicode"});
    EXPECT_EQ(SendMessageW(pane_, MPM_CODEPAGE, WPARAM(-1), 0), 1201);
    Command(ID_STATUS_PANE, 9);
    EXPECT_TRUE(host_.menus[1].disabledItems.empty());
    EXPECT_EQ(host_.menus[1].checkedItems, Texts{L"4"});
    Command(ID_STATUS_PANE, 10);
    EXPECT_EQ(host_.menus[2].checkedItems, Texts{L"Text"});
}

TEST_F(Pane, LineEndPopup) {
    ASSERT_TRUE(Load("a\r\nb\r\n", 1252, LB_CRLF));
    host_.choices = {L"Unix(LF)"};
    Command(ID_STATUS_PANE, 7);
    ASSERT_EQ(host_.menus.size(), 1u);
    EXPECT_EQ(host_.menus[0].items, (Texts{L"PC(CR+LF)", L"Unix(LF)", L"Mac(CR)"}));
    EXPECT_EQ(host_.menus[0].checkedItems, Texts{L"PC(CR+LF)"});
    EXPECT_EQ(SendMessageW(pane_, MPM_LINEBREAKTYPE, 0, 0), LB_LF);
    EXPECT_EQ(SendMessageW(pane_, MPM_ISMODIFIED, 0, 0), 1);
}

TEST_F(Pane, ByteOrderMarkPopupOnlyForUnicode) {
    ASSERT_TRUE(Load("abc\n", 1252, LB_LF));
    host_.choices = {L"Byte-Order Mark"};
    Command(ID_STATUS_PANE, 8);
    EXPECT_TRUE(host_.menus.empty());
    ASSERT_TRUE(
        Load("\xEF\xBB\xBF"
             "abc\n",
             65001, LB_LF));
    ASSERT_EQ(SendMessageW(pane_, MPM_BOM, WPARAM(-1), 0), 1);
    host_.choices = {L"No Byte-Order Mark"};  // item 0
    Command(ID_STATUS_PANE, 8);
    ASSERT_EQ(host_.menus.size(), 1u);
    EXPECT_EQ(host_.menus[0].checkedItems, Texts{L"Byte-Order Mark"});
    EXPECT_EQ(SendMessageW(pane_, MPM_BOM, WPARAM(-1), 0), 0);
    host_.choices = {};
    Command(ID_STATUS_PANE, 8);
    EXPECT_EQ(SendMessageW(pane_, MPM_BOM, WPARAM(-1), 0), 0);
}

TEST_F(Pane, TabPopup) {
    host_.choices = {L"8"};
    Command(ID_STATUS_PANE, 9);
    ASSERT_EQ(host_.menus.size(), 1u);
    EXPECT_EQ(host_.menus[0].checkedItems, Texts{L"4"});
    EXPECT_EQ(SendMessageW(pane_, MPM_TABWIDTH, 0, 0), 8);
    host_.choices = {L"Insert Spaces"};
    Command(ID_STATUS_PANE, 9);
    EXPECT_EQ(SendMessageW(pane_, MPM_SOFTTABS, WPARAM(-1), 0), 1);
    host_.choices = {L"Other..."};
    g_input.answer = L"12";
    Command(ID_STATUS_PANE, 9);
    EXPECT_EQ(host_.menus[2].checkedItems, (Texts{L"8", L"Insert Spaces"}));
    EXPECT_EQ(g_input.title, L"Tab Size");
    EXPECT_EQ(SendMessageW(pane_, MPM_TABWIDTH, 0, 0), 12);
    host_.choices = {L"Other..."};
    g_input.answer = L"17";
    Command(ID_STATUS_PANE, 9);
    EXPECT_EQ(SendMessageW(pane_, MPM_TABWIDTH, 0, 0), 12);
    host_.choices = {L"Other..."};
    g_input.answer = L"1";
    Command(ID_STATUS_PANE, 9);
    EXPECT_EQ(SendMessageW(pane_, MPM_TABWIDTH, 0, 0), 12);
    const LRESULT before = SendMessageW(pane_, MPM_VIEWPART, 2, -1);
    host_.choices = {L"Show White Space"};
    Command(ID_STATUS_PANE, 9);
    EXPECT_NE(SendMessageW(pane_, MPM_VIEWPART, 2, -1), before);
}

TEST_F(Pane, SyntaxPopupOffersText) {
    SendMessageW(pane_, MPM_FOLDMODE, 1, 0);
    host_.choices = {L"Text"};
    Command(ID_STATUS_PANE, 10);
    ASSERT_EQ(host_.menus.size(), 1u);
    EXPECT_EQ(host_.menus[0].items, Texts{L"Text"});
    EXPECT_EQ(host_.menus[0].checkedItems, Texts{L"Text"});
    EXPECT_EQ(SendMessageW(pane_, MPM_FOLDMODE, WPARAM(-1), 0), 0);
}

TEST_F(Pane, SyntaxPopupListsTheDefinitionsAndSetsTheChosenOne) {
    CreateDirectoryW((folder_ + L"syntax").c_str(), nullptr);
    const char script[] = "Set p = Parser.CreateParser()\r\np.AddRegion p.CreateRegion(1, \"#\", \"\", False)\r\n";
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"syntax\\a.vbs", script));
    ASSERT_TRUE(testing_support::WriteFileText(
        folder_ + L"syntax.ini",
        "[Syntax]\r\nCount=2\r\n[Syntax0]\r\nTitle=C\r\nFile=a.vbs\r\n[Syntax1]\r\nTitle=Py\r\nFile=a.vbs\r\n"));
    settings::WriteInt(settings::File::Setting, L"Edit", L"FoldingMethod", 1);
    syntax::Reload();
    host_.choices = {L"Py"};
    Command(ID_STATUS_PANE, 10);
    ASSERT_EQ(host_.menus.size(), 1u);
    EXPECT_EQ(host_.menus[0].items, (Texts{L"Text", L"C", L"Py"}));
    auto* lexer = reinterpret_cast<ILexer*>(SendMessageW(pane_, MPM_GETLEXER, 0, 0));
    ASSERT_NE(lexer, nullptr);
    EXPECT_STREQ(lexer->Name(), L"Py");
    EXPECT_EQ(SendMessageW(pane_, MPM_FOLDMODE, WPARAM(-1), 0), 1);
    host_.choices = {L"Text"};
    Command(ID_STATUS_PANE, 10);
    EXPECT_EQ(host_.menus[1].checkedItems, Texts{L"Py"});
    EXPECT_EQ(SendMessageW(pane_, MPM_GETLEXER, 0, 0), 0);
    EXPECT_EQ(SendMessageW(pane_, MPM_FOLDMODE, WPARAM(-1), 0), 0);
    syntax::Reload();
}

TEST_F(Pane, ContextMenuGoesThroughTheHost) {
    SendMessageW(pane_, WM_CONTEXTMENU, WPARAM(pane_), kAt10);
    ASSERT_EQ(host_.menus.size(), 1u);
    EXPECT_TRUE(host_.menus[0].send);
    EXPECT_EQ(host_.menus[0].items.front(), L"&Undo");
}

TEST_F(Pane, ZoomByControlWheelAndCommands) {
    SetFont(-20);
    Command(ID_FONT_LARGER);
    EXPECT_EQ(FontHeight(), -21);
    Command(ID_FONT_SMALLER);
    Command(ID_FONT_SMALLER);
    EXPECT_EQ(FontHeight(), -19);
    // A wheel message with Ctrl is one step of the font, whatever its speed.
    const int step = 1;
    SendMessageW(pane_, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), kAt10);
    EXPECT_EQ(FontHeight(), -19 - step);
    SendMessageW(pane_, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WORD(-2 * WHEEL_DELTA)), kAt10);
    EXPECT_EQ(FontHeight(), -19);
    // Without Ctrl the wheel scrolls.
    SendMessageW(pane_, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-WHEEL_DELTA)), kAt10);
    EXPECT_EQ(FontHeight(), -19);
    // A font set from outside replaces the pane's own.
    SetFont(-12);
    EXPECT_EQ(FontHeight(), -12);
    DeleteObject(font_);
}

TEST_F(Pane, FocusedPanePassesScrollingToItsLink) {
    CTextView* other = CTextView::Create(parent_, {edit_, parent_, &ui_, &host_, 0});
    ASSERT_NE(other, nullptr);
    MoveWindow(other->Window(), 0, 0, 300, 100, TRUE);
    for (int i = 0; i < 200; ++i) Insert(L"line\n");
    SendMessageW(other->Window(), MPM_SHAREDOC, SendMessageW(pane_, MPM_SHAREDOC, 0, 0), 0);
    view_->SetLink(other->Window());
    other->SetLink(pane_);
    EXPECT_EQ(view_->Link(), other->Window());
    SetFocus(pane_);
    ASSERT_EQ(GetFocus(), pane_);
    SendMessageW(pane_, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_GT(SendMessageW(other->Window(), MPM_FIRSTVISIBLE, 0x80000000u, 0), 0);
    // The unfocused pane keeps its scrolling to itself.
    const LRESULT mine = SendMessageW(pane_, MPM_FIRSTVISIBLE, 0x80000000u, 0);
    SendMessageW(other->Window(), WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(SendMessageW(pane_, MPM_FIRSTVISIBLE, 0x80000000u, 0), mine);
    view_->SetLink(nullptr);
    other->SetLink(nullptr);
    DestroyWindow(other->Window());
    SendMessageW(pane_, MPM_CLOSEDOC, 0, 0);  // the test took the document: it closes it
}

TEST_F(Pane, RecordingCursorWhileAMacroIsRecorded) {
    HCURSOR recording = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_RECORDING));
    ASSERT_NE(recording, nullptr);
    CTextView::SetRecording(true);
    EXPECT_EQ(SendMessageW(pane_, WM_SETCURSOR, WPARAM(pane_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    EXPECT_EQ(GetCursor(), recording);
    CTextView::SetRecording(false);
    SendMessageW(pane_, WM_SETCURSOR, WPARAM(pane_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), recording);
}

int ChooseThrowing(HWND) { throw std::bad_alloc(); }

TEST_F(Pane, FailuresStayInsideThePane) {
    ASSERT_TRUE(Load("abc\n", 1252, LB_LF));
    documents::SetChooseCodePage(&ChooseThrowing);
    host_.choices = {L"More..."};
    Command(ID_STATUS_PANE, 5);
    EXPECT_EQ(SendMessageW(pane_, MPM_CODEPAGE, WPARAM(-1), 0), 1252);
    for (UINT pane : {0u, 1u, 2u, 3u, 6u, 11u, 0xFFFFu}) Command(ID_STATUS_PANE, pane);
    EXPECT_TRUE(host_.menus.size() == 1 && Messages().empty());
    Type(L"x");
    EXPECT_EQ(Line(0), L"xabc");
}

TEST_F(Pane, AcceleratorMessageIsAnsweredByThePane) {
    MSG msg = {pane_, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_EQ(SendMessageW(pane_, MPM_TRANSLATEACCEL, 0, LPARAM(&msg)), 0);
}

}  // namespace
