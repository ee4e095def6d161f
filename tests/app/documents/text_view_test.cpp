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
#include "InputDialog.h"
#include "NullDevEnv.h"
#include "Owners.h"
#include "PaneFixture.h"
#include "ProgramIds.h"
#include "SyntaxList.h"

using documents::CTextView;
using testing_support::Answers;
using testing_support::CaretOf;
using testing_support::Messages;
using testing_support::SelectionOf;
using testing_support::SetCaret;
using testing_support::Span;

namespace {

using Texts = std::vector<std::wstring>;

struct RecordingUI : IUpdateUI {
    std::map<UINT, bool> enabled;
    std::map<UINT, int> checked;
    std::map<UINT, std::wstring> texts;
    std::vector<UINT> written;  // panes whose text was written, in order
    BOOL MORROWPAD_CALL EnableCommand(UINT id, BOOL enable, BOOL) override {
        return enabled[id] = enable, TRUE;
    }
    BOOL MORROWPAD_CALL CheckCommand(UINT id, int check, BOOL) override { return checked[id] = check, TRUE; }
    BOOL MORROWPAD_CALL SetCommandDefault(UINT, BOOL, BOOL) override { return TRUE; }
    BOOL MORROWPAD_CALL SetCommandText(UINT id, const wchar_t* text, BOOL) override {
        texts[id] = text ? text : L"";
        written.push_back(id);
        return TRUE;
    }
    // The ten status texts, "|" between them.
    std::wstring Status() {
        std::wstring all = texts[1];
        for (UINT i = 2; i <= 10; ++i) all += L"|" + texts[i];
        return all;
    }
};

// One popup as the host was asked to show it: the items by their texts.
struct ShownMenu {
    Texts items, checked, disabled;
    BOOL send;
};

// A host whose popups answer from a script: the item to choose by text, one
// per popup ("" or none left: nothing chosen). It applies the states of
// `disabledCommands` to every popup it shows, as the frame does from its
// table: disabled and unchecked.
struct ScriptedHost : testing_support::CNullDevEnv {
    std::deque<std::wstring> choices;
    std::vector<ShownMenu> menus;
    std::vector<UINT> disabledCommands;
    UINT MORROWPAD_CALL TrackMenu(HMENU menu, int, int, BOOL send) override {
        for (UINT id : disabledCommands) {
            EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
            CheckMenuItem(menu, id, MF_BYCOMMAND | MF_UNCHECKED);
        }
        const std::wstring choice = choices.empty() ? L"" : choices.front();
        if (!choices.empty()) choices.pop_front();
        ShownMenu shown{{}, {}, {}, send};
        UINT chosen = 0;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            const UINT state = GetMenuState(menu, UINT(i), MF_BYPOSITION);
            wchar_t text[128] = {};
            GetMenuStringW(menu, UINT(i), text, 128, MF_BYPOSITION);
            if (state & MF_SEPARATOR) continue;
            shown.items.push_back(text);
            if (state & MF_CHECKED) shown.checked.push_back(text);
            if (state & MF_GRAYED) shown.disabled.push_back(text);
            if (!choice.empty() && text == choice) chosen = GetMenuItemID(menu, i);
        }
        menus.push_back(shown);
        return chosen;
    }
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
    g_input = {g_input.confirm, g_input.answer, title, prompt, *value, g_input.asked + 1};
    if (g_input.confirm) *value = g_input.answer;
    return g_input.confirm;
}

int g_codePageChoice = -1;
int ChooseScripted(HWND) { return g_codePageChoice; }

constexpr LPARAM kAt10 = MAKELPARAM(10, 10);  // a menu's or the wheel's place

class Pane : public documents_testing::CPaneTest {
   protected:
    void SetUp() override {
        g_input = InputScript();
        documents::SetInputHook(&ScriptedInput);
        documents::SetChooseCodePage(&ChooseScripted);
        CTextView::ForgetStatusTexts();
        ui_ = &ui;
        env_ = &host;
        CPaneTest::SetUp();
        steps_[L"Goto"] = [this] {
            g_input = InputScript{arg_ != L"cancel", arg_, {}, {}, {}, 0};
            Command(ID_GOTO_LINE);
        };
    }
    void TearDown() override {
        CPaneTest::TearDown();
        documents::SetInputHook(nullptr);
        documents::SetChooseCodePage(nullptr);
    }
    bool Load(const std::string& bytes, int cp, int lineEnd) {
        const std::wstring path = File(L"sample.txt", bytes);
        return Send(MPM_LOADFILE, WPARAM(path.c_str()), MAKELPARAM(cp, lineEnd)) == 1;
    }
    std::wstring Text(int n) { return Line(pane_, n); }
    // A click on a status-bar pane whose popup chooses `choice`.
    void Click(UINT statusPane, const std::wstring& choice = L"") {
        host.choices = {choice};
        Command(ID_STATUS_PANE, statusPane);
    }
    std::wstring Setting(const wchar_t* key) {
        std::wstring v;
        settings::ReadString(settings::File::Setting, L"Edit", key, v);
        return v;
    }
    LONG FontHeight() {
        LOGFONTW lf = {};
        GetObjectW(reinterpret_cast<HFONT>(Send(WM_GETFONT)), sizeof lf, &lf);
        return lf.lfHeight;
    }

    RecordingUI ui;
    ScriptedHost host;
};

TEST_F(Pane, IsASuperclassOfTheControl) {
    wchar_t name[64] = {};
    GetClassNameW(pane_, name, 64);
    EXPECT_STREQ(name, L"MorrowpadPane");
    EXPECT_EQ(CTextView::FromWindow(pane_), view_);
    EXPECT_EQ(CTextView::FromWindow(parent_), nullptr);
    EXPECT_EQ(CTextView::FromWindow(nullptr), nullptr);
    // A result document's pane says so; without the edit library there is none.
    CTextView* result = MakeView(1);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(GetPropW(result->Window(), L"ViewType"), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(GetPropW(pane_, L"ViewType"), nullptr);
    EXPECT_EQ(MakeView(0, language_), nullptr);
}

TEST_F(Pane, StatusTexts) {
    ASSERT_TRUE(
        Load("\xEF\xBB\xBF"
             "a\tb\nsecond\nthird\n",
             65001, LB_LF));
    SetCaret(pane_, 1, 2);
    view_->Update();
    EXPECT_EQ(ui.Status(), L"Ln 2|Col 3|U+0063|4|UTF-8|INS|UNIX|BOM|TabSize:4|Text");
    ASSERT_TRUE(Load("x\r\ny\r\n", 1252, LB_CRLF));
    Send(MPM_SOFTTABS, 1);
    Command(ECMD_OVERWRITE);
    view_->Update();
    EXPECT_EQ(ui.Status(), L"Ln 1|Col 1|U+0078|3|CP 1252|OVR|PC||SoftTabs:4|Text");
    Send(MPM_LINEBREAKTYPE, LB_CR);
    Send(MPM_CODEPAGE, 0);
    view_->Update();
    EXPECT_EQ(ui.Status(), L"Ln 1|Col 1|U+0078|3|ANSI|OVR|MAC||SoftTabs:4|Text");
    Send(MPM_CODEPAGE, 1201);
    Send(MPM_BOM, 0);
    view_->Update();
    EXPECT_EQ(ui.texts[5] + L"|" + ui.texts[8], L"Unicode BE|No BOM");
}

TEST_F(Pane, StatusTextsAreRewrittenOnlyWhenChanged) {
    ASSERT_TRUE(Load("one\ntwo\n", 65001, LB_LF));
    view_->Update();
    EXPECT_EQ(ui.written.size(), 10u);
    ui.written.clear();
    view_->Update();
    EXPECT_EQ(ui.written, std::vector<UINT>{});
    SetCaret(pane_, 1, 0);
    view_->Update();
    EXPECT_EQ(ui.written, (std::vector<UINT>{1, 3}));
    // The cache is the program's: another pane showing the same writes nothing.
    CTextView* other = MakeView();
    ASSERT_NE(other, nullptr);
    ui.written.clear();
    other->Update();
    EXPECT_EQ(ui.written, (std::vector<UINT>{1, 3, 4, 5, 7, 8}));  // line 1, "U+0000", 1 line, ANSI, PC, ""
}

TEST_F(Pane, CommandStates) {
    view_->Update();
    const UINT ids[] = {ID_EDIT_UNDO,          ID_EDIT_REDO, ID_FILE_SAVE, ID_EDIT_COPY, ID_EDIT_CUT,
                        ID_REMOVE_BLANK_LINES, 63,           64,           69,           70};
    for (UINT id : ids) EXPECT_FALSE(ui.enabled[id]) << id;
    EXPECT_EQ(ui.checked[ID_FOLD_NONE], 1);
    EXPECT_EQ(ui.checked[ID_AUTO_COMPLETE], 1);
    EXPECT_EQ(ui.checked[ID_VIEW_LINE_NUMBERS], 1);
    Insert(L"hello\nworld");
    testing_support::Select(pane_, {0, 0}, {1, 2});
    Send(MPM_FOLDMODE, 2);
    Command(ID_WORD_WRAP);
    Command(ID_BRACE_MATCH);
    view_->Update();
    for (UINT id : ids) EXPECT_EQ(ui.enabled[id], id != ID_EDIT_REDO) << id;
    EXPECT_EQ(ui.checked[ID_FOLD_NONE], 0);
    EXPECT_EQ(ui.checked[ID_FOLD_HOST], 1);
    EXPECT_EQ(ui.checked[ID_WORD_WRAP], 1);
    EXPECT_EQ(ui.checked[ID_BRACE_MATCH], Send(MPM_BRACEMATCH, 2));
    Command(ID_EDIT_UNDO);
    view_->Update();
    EXPECT_TRUE(ui.enabled[ID_EDIT_REDO]);
    Command(ID_FOLD_SELECTION);
    EXPECT_EQ(Send(MPM_FOLDMODE, WPARAM(-1)), 3);
    view_->Update();
    EXPECT_EQ(ui.checked[ID_FOLD_SELECTION], 1);
}

// Ruler and line numbers go through the control; the indent guides, which
// the control cannot answer for, are the pane's own.
TEST_F(Pane, ViewTogglesAreWrittenBack) {
    settings::WriteBool(settings::File::Setting, L"Edit", L"Ruler", false);
    settings::WriteBool(settings::File::Setting, L"Edit", L"IndentLine", true);
    CTextView* other = MakeView();
    ASSERT_NE(other, nullptr);
    const HWND pane = other->Window();
    EXPECT_EQ(SendMessageW(pane, MPM_VIEWPART, 1, -1), 0);
    EXPECT_EQ(SendMessageW(pane, MPM_VIEWPART, 0, -1), 1);
    SendMessageW(pane, WM_COMMAND, ID_VIEW_RULER, 0);
    SendMessageW(pane, WM_COMMAND, ID_VIEW_LINE_NUMBERS, 0);
    EXPECT_EQ(SendMessageW(pane, MPM_VIEWPART, 1, -1), 1);
    EXPECT_EQ(SendMessageW(pane, MPM_VIEWPART, 0, -1), 0);
    EXPECT_EQ(Setting(L"Ruler") + Setting(L"LineNumber"), L"YN");
    other->Update();
    EXPECT_EQ(ui.checked[ID_VIEW_INDENT_LINES], 1);
    for (const wchar_t* expected : {L"N", L"Y"}) {
        SendMessageW(pane, WM_COMMAND, ID_VIEW_INDENT_LINES, 0);
        other->Update();
        EXPECT_EQ(Setting(L"IndentLine"), expected);
        EXPECT_EQ(ui.checked[ID_VIEW_INDENT_LINES], *expected == L'Y' ? 1 : 0);
    }
}

// The document with its caret and selection marked, a script, and the
// document after it.
const struct {
    const wchar_t* document;
    const wchar_t* script;
    const wchar_t* after;
} kScripts[] = {
    // Enter copies the indentation up to the caret, with the break in one
    // undo step (a selection is replaced by them); read-only, nothing.
    {L"\t  code|", L"{Enter}", L"\t  code\n\t  |"},
    {L"\t|  code", L"{Break}", L"\t\n\t|  code"},
    {L"    bo[dy]|", L"{Break}", L"    bo\n    |"},
    {L"    bo[dy]|", L"{Break}{Undo}", L"    body|"},
    {L"  x|", L"{ReadOnly}{Break}", L"  x|"},
    // Blank lines go from the selected lines in one undo step; only
    // across several lines.
    {L"k[eep\n\n  \t\nmid\n\x3000 \nl]|ast\nafter", L"{Remove}", L"[keep\nmid\nlast\n]|after"},
    {L"k[eep\n\n  \t\nmid\n\x3000 \nl]|ast\nafter", L"{Remove}{Undo}",
     L"keep\n\n  \t\nmid\n\x3000 \nlast\n|after"},
    {L"[  ]|\n\nx", L"{Remove}", L"[  ]|\n\nx"},
    {L"  \n|\nx", L"{Remove}", L"  \n|\nx"},
    // Go to line clamps; an answer that is no number, or none, moves nothing.
    {L"a\nb\nc|\nd", L"{Goto 3}", L"a\nb\n|c\nd"},
    {L"a\nb\nc|\nd", L"{Goto 99}", L"a\nb\nc\n|d"},
    {L"a\nb\nc|\nd", L"{Goto -5}", L"|a\nb\nc\nd"},
    {L"a\nb\nc|\nd", L"{Goto junk}", L"a\nb\nc|\nd"},
    {L"a\nb\nc|\nd", L"{Goto cancel}", L"a\nb\nc|\nd"},
};

TEST_F(Pane, Scripts) {
    for (const auto& c : kScripts) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.document) + L" / " + c.script));
        document_ = c.document;
        NewPane();
        Run(c.script);
        EXPECT_EQ(Shows(false), c.after);
    }
    EXPECT_EQ(g_input.title + L"|" + g_input.prompt, L"Go To Line|Line number (1 - 4):");
    // A click on the line-count pane asks the same.
    g_input = InputScript{true, L"2", {}, {}, {}, 0};
    Command(ID_STATUS_PANE, 4);
    EXPECT_EQ(g_input.asked, 1);
    EXPECT_EQ(CaretOf(pane_), (Position{1, 0}));
}

// The real input dialog, answered from a timer that runs inside its loop:
// typed into and confirmed, then typed into and cancelled.
std::wstring g_prompt;
UINT g_button = IDOK;
void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(L"#32770", L"Go To Line");
    if (!dialog) return;
    KillTimer(nullptr, timer);
    wchar_t prompt[128] = {};
    GetDlgItemTextW(dialog, IDC_INPUT_PROMPT, prompt, 128);
    g_prompt = prompt;
    SetDlgItemTextW(dialog, IDC_INPUT_VALUE, g_button == IDOK ? L"2" : L"3");
    SendMessageW(dialog, WM_COMMAND, g_button, 0);
}

TEST_F(Pane, InputDialogAsksForTheLine) {
    documents::SetInputHook(nullptr);
    Insert(L"a\nb\nc");
    for (UINT button : {UINT(IDOK), UINT(IDCANCEL)}) {
        g_button = button;
        SetTimer(nullptr, 0, 10, &AnswerDialog);
        Command(ID_GOTO_LINE);
        EXPECT_EQ(g_prompt, L"Line number (1 - 3):");
        EXPECT_EQ(CaretOf(pane_).line, 1);
    }
}

TEST_F(Pane, LineSpacing) {
    g_input.answer = L"5";
    Command(ID_LINE_SPACING);
    EXPECT_EQ(g_input.title + L"|" + g_input.initial, L"Line Spacing|0");
    EXPECT_EQ(Send(MPM_LINESPACING, 0x80000000u), 5);
    g_input.answer = L"";
    Command(ID_LINE_SPACING);
    EXPECT_EQ(Send(MPM_LINESPACING, 0x80000000u), 0);
}

// The code-page popup: an unmodified file is reloaded when the user agrees,
// else only the code page of the next save changes; a modified one is
// never reloaded.
TEST_F(Pane, CodePageClickReloadsOnlyAnUnmodifiedFile) {
    const struct {
        int cp;
        const wchar_t* typed;
        const wchar_t* choice;
        int answer;
        size_t asked;
        const wchar_t* line;
        int after;
    } cases[] = {
        {65001, L"", L"Western European (Windows)", IDYES, 1, L"caf\u00E9", 1252},
        {65001, L"", L"Western European (Windows)", IDNO, 1, nullptr, 1252},
        {1252, L"!", L"Unicode (UTF-8)", IDYES, 0, L"caf\u00E9!", 65001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        ASSERT_TRUE(Load("caf\xE9\n", c.cp, LB_LF));
        SetCaret(pane_, 0, 4);
        Type(pane_, c.typed);
        Messages().clear();
        host.menus.clear();
        Answers() = {c.answer};
        Click(5, c.choice);
        ASSERT_EQ(host.menus.size(), 1u);
        EXPECT_EQ(host.menus[0].checked,
                  Texts{c.cp == 65001 ? L"Unicode (UTF-8)" : L"Western European (Windows)"});
        EXPECT_FALSE(host.menus[0].send);
        ASSERT_EQ(Messages().size(), c.asked);
        for (const auto& m : Messages()) EXPECT_EQ(m.type, UINT(MB_YESNO | MB_ICONQUESTION));
        if (c.line) {
            EXPECT_EQ(Text(0), c.line);
        }
        EXPECT_EQ(Send(MPM_CODEPAGE, WPARAM(-1)), c.after);
        EXPECT_EQ(Send(MPM_LINEBREAKTYPE), LB_LF);
        EXPECT_EQ(Send(MPM_ISMODIFIED), c.line && !*c.typed ? 0 : 1);  // reloaded, or not
    }
}

TEST_F(Pane, CodePageClickOnTheSameOrNothing) {
    ASSERT_TRUE(Load("abc\n", 0, LB_LF));
    g_codePageChoice = int(GetACP());
    for (const wchar_t* choice : {L"More...", L"Default (ANSI)", L""}) Click(5, choice);
    g_codePageChoice = -1;
    Click(5, L"More...");  // cancelled
    EXPECT_EQ(host.menus[0].checked, Texts{L"Default (ANSI)"});
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Send(MPM_CODEPAGE, WPARAM(-1)), 0);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 0);
    // The dialog's choice counts as the menu's; ANSI (item 0) can be chosen.
    g_codePageChoice = GetACP() == 1250 ? 1251 : 1250;
    Answers() = {IDNO, IDNO};
    Click(5, L"More...");
    EXPECT_EQ(Send(MPM_CODEPAGE, WPARAM(-1)), g_codePageChoice);
    Click(5, L"Default (ANSI)");
    EXPECT_EQ(Send(MPM_CODEPAGE, WPARAM(-1)), 0);
}

// The frame applies its command states to every popup it shows: 1200 is
// "next tab" there, and 1 a status-bar pane.
TEST_F(Pane, StatusPopupsAreUntouchedByTheFramesCommandStates) {
    ASSERT_TRUE(Load("abc\n", 1200, LB_LF));
    host.disabledCommands = {1, 1200, 1201, 65001, 4, 8};
    Answers() = {IDNO};
    Click(5, L"Unicode Big Endian");
    EXPECT_EQ(Send(MPM_CODEPAGE, WPARAM(-1)), 1201);
    Click(9);
    Click(10);
    const Texts checked[] = {{L"Unicode"}, {L"4"}, {L"Text"}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(host.menus[i].disabled, Texts{}) << i;
        EXPECT_EQ(host.menus[i].checked, checked[i]) << i;
    }
}

TEST_F(Pane, LineEndAndByteOrderMarkPopups) {
    ASSERT_TRUE(Load("a\r\nb\r\n", 1252, LB_CRLF));
    Click(7, L"Unix(LF)");
    EXPECT_EQ(host.menus[0].items, (Texts{L"PC(CR+LF)", L"Unix(LF)", L"Mac(CR)"}));
    EXPECT_EQ(host.menus[0].checked, Texts{L"PC(CR+LF)"});
    EXPECT_EQ(Send(MPM_LINEBREAKTYPE), LB_LF);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 1);
    // The mark only for Unicode.
    Click(8, L"Byte-Order Mark");
    EXPECT_EQ(host.menus.size(), 1u);
    ASSERT_TRUE(
        Load("\xEF\xBB\xBF"
             "abc\n",
             65001, LB_LF));
    Click(8, L"No Byte-Order Mark");  // item 0
    ASSERT_EQ(host.menus.size(), 2u);
    EXPECT_EQ(host.menus[1].checked, Texts{L"Byte-Order Mark"});
    EXPECT_EQ(Send(MPM_BOM, WPARAM(-1)), 0);
    Click(8);
    EXPECT_EQ(Send(MPM_BOM, WPARAM(-1)), 0);
}

TEST_F(Pane, TabPopup) {
    const struct {
        const wchar_t* choice;
        const wchar_t* typed;
        int width;
    } steps[] = {{L"8", L"", 8},
                 {L"Insert Spaces", L"", 8},
                 {L"Other...", L"12", 12},
                 {L"Other...", L"17", 12},
                 {L"Other...", L"1", 12}};
    for (const auto& s : steps) {
        g_input.answer = s.typed;
        Click(9, s.choice);
        EXPECT_EQ(Send(MPM_TABWIDTH), s.width) << testing::PrintToString(std::wstring(s.choice) + s.typed);
    }
    EXPECT_EQ(host.menus[0].checked, Texts{L"4"});
    EXPECT_EQ(host.menus[2].checked, (Texts{L"8", L"Insert Spaces"}));
    EXPECT_EQ(Send(MPM_SOFTTABS, WPARAM(-1)), 1);
    EXPECT_EQ(g_input.title, L"Tab Size");
    const LRESULT before = Send(MPM_VIEWPART, 2, -1);
    Click(9, L"Show White Space");
    EXPECT_NE(Send(MPM_VIEWPART, 2, -1), before);
}

TEST_F(Pane, SyntaxPopupListsTheDefinitionsAndSetsTheChosenOne) {
    Send(MPM_FOLDMODE, 1);
    Click(10, L"Text");
    EXPECT_EQ(host.menus[0].items, Texts{L"Text"});
    EXPECT_EQ(host.menus[0].checked, Texts{L"Text"});
    EXPECT_EQ(Send(MPM_FOLDMODE, WPARAM(-1)), 0);
    CreateDirectoryW((folder_ + L"syntax").c_str(), nullptr);
    File(L"syntax\\a.vbs",
         "Set p = Parser.CreateParser()\r\np.AddRegion p.CreateRegion(1, \"#\", \"\", False)\r\n");
    File(L"syntax.ini",
         "[Syntax]\r\nCount=2\r\n[Syntax0]\r\nTitle=C\r\nFile=a.vbs\r\n[Syntax1]\r\nTitle=Py\r\nFile=a."
         "vbs\r\n");
    settings::WriteInt(settings::File::Setting, L"Edit", L"FoldingMethod", 1);
    syntax::Reload();
    Click(10, L"Py");
    EXPECT_EQ(host.menus[1].items, (Texts{L"Text", L"C", L"Py"}));
    auto* lexer = reinterpret_cast<ILexer*>(Send(MPM_GETLEXER));
    ASSERT_NE(lexer, nullptr);
    EXPECT_STREQ(lexer->Name(), L"Py");
    EXPECT_EQ(Send(MPM_FOLDMODE, WPARAM(-1)), 1);
    Click(10, L"Text");
    EXPECT_EQ(host.menus[2].checked, Texts{L"Py"});
    EXPECT_EQ(Send(MPM_GETLEXER), 0);
    EXPECT_EQ(Send(MPM_FOLDMODE, WPARAM(-1)), 0);
    syntax::Reload();
}

TEST_F(Pane, ContextMenuGoesThroughTheHost) {
    Send(WM_CONTEXTMENU, WPARAM(pane_), kAt10);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_TRUE(host.menus[0].send);
    EXPECT_EQ(host.menus[0].items.front(), L"&Undo");
}

// Ctrl+wheel is one step of the font a notch, whatever its speed; without
// Ctrl the wheel scrolls. A font set from outside replaces the pane's own.
TEST_F(Pane, ZoomByControlWheelAndCommands) {
    LOGFONTW lf = {};
    lf.lfHeight = -20;
    wcscpy(lf.lfFaceName, L"Courier New");
    const shell::UniqueGdiT<HFONT> font(CreateFontIndirectW(&lf));
    Send(WM_SETFONT, WPARAM(font.get()), TRUE);
    const struct {
        UINT msg;
        WPARAM wp;
        LONG height;
    } steps[] = {{WM_COMMAND, ID_FONT_LARGER, -21},
                 {WM_COMMAND, ID_FONT_SMALLER, -20},
                 {WM_COMMAND, ID_FONT_SMALLER, -19},
                 {WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), -20},
                 {WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WORD(-2 * WHEEL_DELTA)), -19},
                 {WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-WHEEL_DELTA)), -19}};
    for (const auto& s : steps) {
        Send(s.msg, s.wp, kAt10);
        EXPECT_EQ(FontHeight(), s.height) << s.msg << " " << s.wp;
    }
    lf.lfHeight = -12;
    const shell::UniqueGdiT<HFONT> other(CreateFontIndirectW(&lf));
    Send(WM_SETFONT, WPARAM(other.get()), TRUE);
    EXPECT_EQ(FontHeight(), -12);
    DestroyWindow(pane_);
}

TEST_F(Pane, FocusedPanePassesScrollingToItsLink) {
    CTextView* other = MakeView();
    ASSERT_NE(other, nullptr);
    const HWND second = other->Window();
    MoveWindow(second, 0, 0, 300, 100, TRUE);
    for (int i = 0; i < 200; ++i) Insert(L"line\n");
    SendMessageW(second, MPM_SHAREDOC, Send(MPM_SHAREDOC), 0);
    view_->SetLink(second);
    other->SetLink(pane_);
    SetFocus(pane_);
    ASSERT_EQ(GetFocus(), pane_);
    Send(WM_VSCROLL, SB_PAGEDOWN);
    EXPECT_GT(SendMessageW(second, MPM_FIRSTVISIBLE, 0x80000000u, 0), 0);
    // The unfocused pane keeps its scrolling to itself.
    const LRESULT mine = Send(MPM_FIRSTVISIBLE, 0x80000000u);
    SendMessageW(second, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), mine);
    view_->SetLink(nullptr);
    other->SetLink(nullptr);
    DestroyWindow(second);
    Send(MPM_CLOSEDOC);  // the test took the document: it closes it
}

TEST_F(Pane, RecordingCursorWhileAMacroIsRecorded) {
    HCURSOR recording = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_RECORDING));
    ASSERT_NE(recording, nullptr);
    CTextView::SetRecording(true);
    EXPECT_EQ(Send(WM_SETCURSOR, WPARAM(pane_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    EXPECT_EQ(GetCursor(), recording);
    CTextView::SetRecording(false);
    Send(WM_SETCURSOR, WPARAM(pane_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), recording);
}

TEST_F(Pane, FailuresStayInsideThePane) {
    ASSERT_TRUE(Load("abc\n", 1252, LB_LF));
    documents::SetChooseCodePage([](HWND) -> int { throw std::bad_alloc(); });
    Click(5, L"More...");
    EXPECT_EQ(Send(MPM_CODEPAGE, WPARAM(-1)), 1252);
    for (UINT pane : {0u, 1u, 2u, 3u, 6u, 11u, 0xFFFFu}) Command(ID_STATUS_PANE, pane);
    EXPECT_EQ(host.menus.size(), 1u);
    EXPECT_TRUE(Messages().empty());
    Type(pane_, L"x");
    EXPECT_EQ(Text(0), L"xabc");
}

}  // namespace
