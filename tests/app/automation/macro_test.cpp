// Macros in a real frame under each script engine (the system's and our own,
// every case under both): the object model
// member by member as (text before, macro, text after), the recorder and
// replaying what it recorded, macro files and the macro menu, one undo step
// per play, failures reported once, and stopping a macro that never ends.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "AppScript.h"
#include "CommandIds.h"
#include "DialogIds.h"
#include "EngineChoice.h"
#include "EditProtocol.h"
#include "InputDialog.h"
#include "MacroRecorder.h"
#include "MainFrame.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "Settings.h"
#include "TestSupport.h"

using automation::MacroOutcome;
using testing_support::Messages;
using testing_support::ReadFileText;
using testing_support::WriteFileText;

namespace {

std::wstring g_inputAnswer;
bool AnswerInput(HWND, const std::wstring&, const std::wstring&, std::wstring* value) {
    *value = g_inputAnswer;
    return true;
}

std::wstring g_savePath;
bool AnswerSave(std::wstring* path) {
    *path = g_savePath;
    return !g_savePath.empty();
}

// What a timer does while a macro runs.
enum class TimerAction { kNone, kStop, kEscape, kDismissMenu };
TimerAction g_timerAction = TimerAction::kNone;
HWND g_escapeTarget = nullptr;
int g_menuItems = -1;
bool g_menuSeparator = false;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    switch (g_timerAction) {
        case TimerAction::kStop: automation::StopMacros(); break;
        case TimerAction::kEscape: PostMessageW(g_escapeTarget, WM_KEYDOWN, VK_ESCAPE, 0x00010001); break;
        case TimerAction::kDismissMenu: {
            HWND popup = FindWindowW(L"#32768", nullptr);
            if (!popup) return;  // not open yet
            if (HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0))) {
                g_menuItems = GetMenuItemCount(menu);
                MENUITEMINFOW info = {};
                info.cbSize = sizeof info;
                info.fMask = MIIM_FTYPE;
                g_menuSeparator = GetMenuItemInfoW(menu, 1, TRUE, &info) && (info.fType & MFT_SEPARATOR);
            }
            EndMenu();
            break;
        }
        case TimerAction::kNone: break;
    }
    g_timerAction = TimerAction::kNone;
    KillTimer(nullptr, id);
}

class Macros : public ::testing::TestWithParam<int> {
protected:
    // The engine this run of the case uses.
    testing_support::EngineChoiceScope engine_{GetParam()};

    static void SetUpTestSuite() {
        language_ = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language_);
        documents::SetInputHook(&AnswerInput);
        automation::SetMacroSaveHook(&AnswerSave);
    }
    static void TearDownTestSuite() {
        documents::SetInputHook(nullptr);
        automation::SetMacroSaveHook(nullptr);
        shell::SetResourceModule(nullptr);
    }
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-macro-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
        ASSERT_NE(edit_, nullptr);
        Messages().clear();
        frame_ = std::make_unique<shell::CMainFrame>();
        ASSERT_NE(frame_->Create(L"prog", edit_), nullptr);
    }
    void TearDown() override {
        frame_.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        settings::SetProgramFolder(L"");
    }

    HWND Pane() { return frame_->ActivePane(); }
    void Command(UINT id) { SendMessageW(frame_->Window(), WM_COMMAND, id, 0); }
    MacroOutcome Play(const std::string& macro, int times = 1) {
        return frame_->PlayMacroText(std::wstring(macro.begin(), macro.end()), L"test.mac", times);
    }
    void SetText(const wchar_t* text, int line = 0, int column = 0) {
        Position start = {0, 0}, end = {0x7FFFFFF, 0x7FFFFFF};
        SendMessageW(Pane(), MPM_DELETERANGE, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        TextArg arg = {text, -1};
        SendMessageW(Pane(), MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
        Position caret = {line, column};
        SendMessageW(Pane(), MPM_SETCARET, reinterpret_cast<WPARAM>(&caret), 0);
    }
    std::wstring Text(HWND pane = nullptr) {
        if (!pane) pane = Pane();
        std::wstring all;
        const int n = int(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            const int len = int(SendMessageW(pane, MPM_GETLINE, WPARAM(i), 0));
            std::wstring line(size_t(len) + 1, L'\0');
            if (len) SendMessageW(pane, MPM_GETLINE, WPARAM(i), reinterpret_cast<LPARAM>(line.data()));
            line.resize(size_t(len));
            all += (i ? L"\n" : L"") + line;
        }
        return all;
    }
    std::wstring Status() {
        HWND bar = frame_->StatusBar();
        const int n = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, 0, 0));
        std::wstring text(size_t(n) + 1, L'\0');
        SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
        text.resize(size_t(n));
        return text;
    }
    void Type(const std::wstring& text) {
        for (wchar_t c : text) {
            if (c == L'\r') SendMessageW(Pane(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
            SendMessageW(Pane(), WM_CHAR, c, 1);
        }
    }
    void Undo() { SendMessageW(Pane(), WM_COMMAND, ECMD_UNDO, 0); }
    // The one message shown since the last call, or "" (and a failure when
    // there were more).
    std::wstring TakeMessage() {
        std::vector<testing_support::ShownMessage> shown = Messages();
        Messages().clear();
        EXPECT_LE(shown.size(), 1u);
        return shown.empty() ? std::wstring() : shown.back().text;
    }

    static inline HMODULE language_ = nullptr;
    HMODULE edit_ = nullptr;
    std::wstring folder_;
    std::unique_ptr<shell::CMainFrame> frame_;
};

struct Triplet {
    const wchar_t* before;
    int line, column;  // the caret before
    const char* macro;
    const wchar_t* after;
};

// Each member of the document object, through "App" and as a global name.
TEST_P(Macros, DocumentMembersAsTextBeforeMacroAndTextAfter) {
    const Triplet cases[] = {
        {L"abc", 0, 1, "App.ActiveDoc.Insert \"X\"", L"aXbc"},
        {L"abc\ndef", 0, 0, "ActiveDoc.InsertAt 1, 2, \"Y\"", L"abc\ndeYf"},
        {L"abc", 0, 0, "ActiveDoc.InsertAt 9, 9, \"!\"", L"abc!"},  // clamped to the end
        {L"abc", 0, 0, "ActiveDoc.Delete", L"bc"},
        {L"abc\ndef", 0, 0, "ActiveDoc.DeleteAt 1, 1, 0, 1", L"aef"},
        {L"abc", 0, 0, "Set d = ActiveDoc\nd.SetCaretPos 0, 2, False\nd.Insert \"-\"", L"ab-c"},
        {L"abcdef", 0, 1, "Set d = ActiveDoc\nd.SetCaretPos 0, 4, True\nd.Selection = \"*\"", L"a*ef"},
        {L"abcdef", 0, 0, "Set d = ActiveDoc\nd.SetSelection 0, 5, 0, 2\nd.SetCaretPos 0, 1, True\nd.Selection = \"\"",
         L"af"},
        {L"one two", 0, 0, "Set d = ActiveDoc\nd.SetSelection 0, 4, 0, 7\ns = d.Selection\nd.SetCaretPos 0, 0, False\n"
                           "d.Insert s & \"|\" & d.Selection & \"|\"", L"two||one two"},
        {L"abc", 0, 1, "ActiveDoc.Selection = \"+\"", L"a+bc"},  // nothing selected: inserted
        {L"ab\ncd", 1, 1, "Set d = ActiveDoc\nd.InsertAt 0, 0, d.LineCount & \",\" & d.CaretLine & \",\" & d.CaretCol & \" \"",
         L"2,1,1 ab\ncd"},
        {L"ab\ncdef", 0, 0, "Set d = ActiveDoc\nd.Insert d.GetLineText(1) & d.GetLineLength(1) & \"[\" & d.GetLineText(2) & "
                            "d.GetLineText(-1) & \"]\" & d.GetLineLength(7)", L"cdef4[]0ab\ncdef"},
        {L"a-a-A", 0, 0, "n = ActiveDoc.ReplaceAll(\"a\", \"bb\", 1)\nActiveDoc.InsertAt 0, 0, n & \":\"", L"2:bb-bb-A"},
        {L"a-a-A", 0, 0, "n = ActiveDoc.ReplaceAll(\"a\", \"b\", 0)\nActiveDoc.InsertAt 0, 0, n & \":\"", L"3:b-b-b"},
        {L"x1 y22", 0, 0, "ActiveDoc.ReplaceAll \"([a-z])(\\d+)\", \"$2$1\", 4", L"1x 22y"},
        {L"ab\ncd", 0, 0, "ActiveDoc.SendCommand 8\nActiveDoc.Insert \"$\"", L"ab\ncd$"},
        {L"abc", 0, 3, "Set d = ActiveDoc\nd.Codepage = 65001\nd.Insert d.Codepage", L"abc65001"},
        {L"abc", 0, 3, "Set d = ActiveDoc\nd.Codepage = 0\nd.Insert d.Codepage", L"abc0"},  // the ANSI code page
        // Code pages the system may refuse and the program converts itself.
        {L"abc", 0, 3, "Set d = ActiveDoc\nd.Codepage = 50225\nd.Insert d.Codepage", L"abc50225"},
        {L"abc", 0, 3, "Set d = ActiveDoc\nd.Codepage = 51936\nd.Insert d.Codepage", L"abc51936"},
        {L"abc", 0, 0,
         "Class C\nPublic Default Property Get V\nV = \"dv\"\nEnd Property\nEnd Class\nSet o = New C\nActiveDoc.Insert o",
         L"dvabc"},
        {L"abc", 0, 0, "ActiveDoc.Insert ActiveDoc.Dirty & \"/\" & Len(ActiveDoc.PathName) & \"/\"", L"True/0/abc"},
        {L"abc", 0, 0, "Set d = ActiveDoc\nd.GroupUndo = True\nd.Insert \"1\"\nd.GroupUndo = False\nd.Refresh", L"1abc"},
        {L"abc", 0, 0, "app.activedoc.INSERT \"q\" : APP.ACTIVECHILD.insert \"r\"", L"qrabc"},
        {L"abc", 0, 0, "ActiveDoc.Insert \"a\" & Chr(0) & \"b\"", std::wstring(L"a\0babc", 6).c_str()},
    };
    for (const Triplet& t : cases) {
        SCOPED_TRACE(t.macro);
        SetText(t.before, t.line, t.column);
        EXPECT_EQ(Play(t.macro), MacroOutcome::kDone);
        EXPECT_EQ(TakeMessage(), L"");
        if (std::string(t.macro).find("Chr(0)") != std::string::npos) {
            EXPECT_EQ(Text(), std::wstring(L"a\0babc", 6));
        } else {
            EXPECT_EQ(Text(), t.after);
        }
    }
}

// Bad names, argument counts and types stop the macro with one report that
// names the file and the line; what it did before stays, as one step.
TEST_P(Macros, FailuresAreReportedOnceWithTheLineAndUndoneInOneStep) {
    const char* bad[] = {
        "ActiveDoc.Insert \"1\"\nActiveDoc.Insert \"2\"\nActiveDoc.Bogus\nActiveDoc.Insert \"3\"",
        "ActiveDoc.Insert \"1\"\nActiveDoc.Insert \"2\"\nActiveDoc.Insert \"a\", \"b\"",
        "ActiveDoc.Insert \"1\"\nActiveDoc.Insert \"2\"\nActiveDoc.InsertAt \"x\", 0, \"y\"",
        "ActiveDoc.Insert \"1\"\nActiveDoc.Insert \"2\"\nActiveDoc.Codepage = 12345",
        "ActiveDoc.Insert \"1\"\nActiveDoc.Insert \"2\"\nActiveDoc.ReplaceAll \"(\", \"\", 4",
        "ActiveDoc.Insert \"1\"\nActiveDoc.Insert \"2\"\nx = ActiveDoc.CaretLine(5)",
    };
    for (const char* macro : bad) {
        SCOPED_TRACE(macro);
        SetText(L"abc");
        SendMessageW(Pane(), MPM_EMPTYUNDO, 0, 0);
        EXPECT_EQ(Play(macro, 3), MacroOutcome::kFailed);
        const std::wstring shown = TakeMessage();
        EXPECT_NE(shown.find(L"test.mac"), std::wstring::npos) << shown;
        EXPECT_NE(shown.find(L"Line 3"), std::wstring::npos) << shown;
        EXPECT_EQ(Text(), L"12abc");  // the first run stopped the play
        Undo();
        EXPECT_EQ(Text(), L"abc");
    }
    // A syntax error runs nothing.
    SetText(L"abc");
    EXPECT_EQ(Play("ActiveDoc.Insert \"1\"\nIf Then"), MacroOutcome::kFailed);
    EXPECT_NE(TakeMessage().find(L"Line 2"), std::wstring::npos);
    EXPECT_EQ(Text(), L"abc");
}

// Everything a play does to the document, however it is grouped inside,
// goes in one undo step; repeated plays too.
TEST_P(Macros, OnePlayIsOneUndoStep) {
    SetText(L"a\n\n\nb\n");
    SendMessageW(Pane(), MPM_EMPTYUNDO, 0, 0);
    const std::string macro =
        "Set d = ActiveDoc\n"
        "d.InsertAt 0, 0, \"x\"\n"
        "d.GroupUndo = True\nd.InsertAt 0, 0, \"y\"\nd.GroupUndo = False\nd.GroupUndo = False\n"
        "d.ReplaceAll \"b\", \"B\", 0\n"
        "d.SetSelection 0, 0, 4, 0\n"
        "App.SendCommand " + std::to_string(ID_REMOVE_BLANK_LINES) + "\n" +
        "d.SetCaretPos 0, 0, False\n"
        "d.InsertAt 0, 0, \"z\"\n";
    EXPECT_EQ(Play(macro), MacroOutcome::kDone);
    EXPECT_EQ(Text(), L"zyxa\nB\n");
    Undo();
    EXPECT_EQ(Text(), L"a\n\n\nb\n");
    // After the play, edits are steps of their own again.
    SetText(L"");
    SendMessageW(Pane(), MPM_EMPTYUNDO, 0, 0);
    EXPECT_EQ(Play("ActiveDoc.Insert \"ab\"", 3), MacroOutcome::kDone);
    Type(L"c");
    EXPECT_EQ(Text(), L"abababc");
    Undo();
    EXPECT_EQ(Text(), L"ababab");
    Undo();
    EXPECT_EQ(Text(), L"");
}

TEST_P(Macros, AppMembersOpenAndCreateDocuments) {
    const std::wstring file = folder_ + L"open me.txt";
    ASSERT_TRUE(WriteFileText(file, "content"));
    SetText(L"first");
    HWND first = Pane();
    const std::string path(file.begin(), file.end());
    // A file that cannot be opened leaves the active document active.
    EXPECT_EQ(Play("Set d = App.OpenDoc(\"" + path + ".missing\")\nd.Insert \"<\""), MacroOutcome::kDone);
    Messages().clear();  // the open routine's own report
    EXPECT_EQ(Text(first), L"<first");
    EXPECT_EQ(frame_->DocumentCount(), 1u);
    EXPECT_EQ(Play("Set d = OpenDoc(\"" + path + "\")\nd.Insert Len(d.PathName) & \">\""), MacroOutcome::kDone);
    EXPECT_EQ(TakeMessage(), L"");
    ASSERT_EQ(frame_->DocumentCount(), 2u);
    EXPECT_EQ(Text(), std::to_wstring(file.size()) + L">content");
    // Opening it again activates it; NewDoc makes a third, empty one.
    frame_->Activate(0);
    EXPECT_EQ(Play("OpenDoc \"" + path + "\"\nSet d = App.NewDoc\nd.Insert \"new\"\n"
                   "ActiveDoc.Insert \"!\""),
              MacroOutcome::kDone);
    ASSERT_EQ(frame_->DocumentCount(), 3u);
    EXPECT_EQ(Text(), L"new!");
    // SendCommand goes to the frame: Next Tab makes the first active.
    EXPECT_EQ(Play("App.SendCommand " + std::to_string(ID_NEXT_TAB) + "\nActiveDoc.Insert \"^\"\nApp.Sleep 1"),
              MacroOutcome::kDone);
    EXPECT_EQ(Text(first), L"<^first");
}

TEST_P(Macros, MenusHoldItemsAndSeparatorsAndADismissedPopupGivesZero) {
    SetText(L"");
    EXPECT_EQ(Play("Set m = App.CreateMenu\nm.AddItem 5, \"Five\"\nm.AddItem 0, \"\"\nm.AddItem 6, \"Six && co\"\n"
                   "ActiveDoc.Insert m.GetText(5) & \"|\" & m.GetText(0) & \"|\" & m.GetText(6) & \"|\" & m.GetText(7)"),
              MacroOutcome::kDone);
    EXPECT_EQ(Text(), L"Five||Six && co|");
    SetText(L"");
    g_timerAction = TimerAction::kDismissMenu;
    g_menuItems = -1;
    SetTimer(nullptr, 0, 200, &OnTimer);
    EXPECT_EQ(Play("Set m = ActiveDoc.CreateMenu\nm.AddItem 1, \"One\"\nm.AddItem 0, \"\"\nm.AddItem 2, \"Two\"\n"
                   "ActiveDoc.Insert \"chose \" & m.Popup"),
              MacroOutcome::kDone);
    EXPECT_EQ(Text(), L"chose 0");
    EXPECT_EQ(g_menuItems, 3);
    EXPECT_TRUE(g_menuSeparator);
}

TEST(MacroRecorder, TypedTextBecomesInsertLinesThatKeepEveryCharacter) {
    EXPECT_EQ(automation::InsertLine(L"a\"b"), L"App.ActiveDoc.Insert( \"a\" + Chr(34) + \"b\" )\n");
    EXPECT_EQ(automation::InsertLine(L"\t"), L"App.ActiveDoc.Insert( \"\" + Chr(9) + \"\" )\n");
    EXPECT_EQ(automation::InsertLine(L"\r"), L"App.ActiveDoc.Insert( \"\" + vbCrLf + \"\" )\n");
    // A line feed or another control character must not end the literal.
    EXPECT_EQ(automation::InsertLine(L"x\r\ny\nz\x01"),
              L"App.ActiveDoc.Insert( \"x\" + vbCrLf + \"y\" + vbLf + \"z\" + Chr(1) + \"\" )\n");
    automation::CMacroRecorder r;
    r.AddTyped(L'a');  // not recording
    EXPECT_EQ(r.Text(), L"");
    r.SetRecording(true);
    r.AddTyped(L'a');
    r.AddTyped(L'\x1b');  // Esc is not recorded
    r.AddTyped(L'\xD83D');
    r.AddTyped(L'\xDE00');  // one line for the pair
    r.AddTyped(L'\xD800');  // a lone half is kept as it came
    r.AddCommand(57603);
    r.SetRecording(false);
    EXPECT_EQ(r.Text(), L"App.ActiveDoc.Insert( \"a\" )\nApp.ActiveDoc.Insert( \"\xD83D\xDE00\" )\n"
                        L"App.ActiveDoc.Insert( \"\xD800\" )\nApp.SendCommand( 57603 )\n");
    r.SetRecording(true);  // starting again empties it
    EXPECT_EQ(r.Text(), L"");
}

// Recording a session of typing, input-method text and commands, then
// replaying it on a fresh document (from the recorder and from a saved
// file) gives the same text.
TEST_P(Macros, ARecordedSessionReplaysToTheSameText) {
    Command(ID_MACRO_RECORD);
    EXPECT_TRUE(frame_->IsRecording());
    Type(L"Say \"hi\"\tthere\r");
    Type(L"caf\xE9 \x4E2D\x6587 \xD83D\xDE00!");  // é, two CJK characters, an emoji
    ImeTextNotify ime = {};
    ime.hdr.hwndFrom = Pane();
    ime.hdr.code = EN_MP_IMETEXT;
    ime.text = L"\x65E5\x672C\"\x8A9E";
    ime.length = 4;
    TextArg imeText = {ime.text, ime.length};
    SendMessageW(Pane(), MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&imeText));  // what the control did
    SendMessageW(frame_->ActiveDocument(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&ime));
    Command(ECMD_DOCSTART);
    Type(L">");
    Command(ID_MACRO_PLAY);  // not while recording, and not recorded
    Command(ID_MACRO_RECORD);
    EXPECT_FALSE(frame_->IsRecording());
    const std::wstring typed = Text();
    EXPECT_EQ(typed, L">Say \"hi\"\tthere\ncaf\xE9 \x4E2D\x6587 \xD83D\xDE00!\x65E5\x672C\"\x8A9E");
    const std::wstring recorded = frame_->RecordedText();
    EXPECT_NE(recorded.find(L"App.ActiveDoc.Insert( \"\" + Chr(34) + \"\" )\n"), std::wstring::npos);
    EXPECT_NE(recorded.find(L"App.SendCommand( " + std::to_wstring(ECMD_DOCSTART) + L" )\n"), std::wstring::npos);
    EXPECT_EQ(recorded.find(L"App.SendCommand( 1571 )"), std::wstring::npos);
    EXPECT_EQ(recorded.find(L"App.SendCommand( 1570 )"), std::wstring::npos);

    Command(ID_FILE_NEW);
    Command(ID_MACRO_PLAY);
    EXPECT_EQ(TakeMessage(), L"");
    EXPECT_EQ(Text(), typed);
    Undo();
    EXPECT_EQ(Text(), L"");

    // Saved: UTF-16LE with its mark, every character kept.
    g_savePath = folder_ + L"session.mac";
    Command(ID_MACRO_SAVE);
    const std::string bytes = ReadFileText(g_savePath);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2), recorded);
    Command(ID_FILE_NEW);
    SendMessageW(frame_->Window(), MPF_RUN_MACRO, reinterpret_cast<WPARAM>(g_savePath.c_str()), 0);
    EXPECT_EQ(TakeMessage(), L"");
    EXPECT_EQ(Text(), typed);

    // Played three times in one step, as three plays would have done.
    Command(ID_FILE_NEW);
    for (int i = 0; i < 3; ++i) Command(ID_MACRO_PLAY);
    const std::wstring thrice = Text();
    Command(ID_FILE_NEW);
    g_inputAnswer = L"  3 times";
    Command(ID_MACRO_PLAY_TIMES);
    EXPECT_EQ(Text(), thrice);
    Undo();
    EXPECT_EQ(Text(), L"");
    g_inputAnswer = L"-2";
    Command(ID_MACRO_PLAY_TIMES);
    EXPECT_EQ(Text(), L"");
    // Neither form of play while recording (a key may reach them).
    Command(ID_MACRO_RECORD);
    g_inputAnswer = L"2";
    Command(ID_MACRO_PLAY_TIMES);
    Command(ID_MACRO_PLAY);
    EXPECT_EQ(Text(), L"");
    Command(ID_MACRO_SAVE);
    Command(ID_MACRO_RECORD);
    EXPECT_EQ(frame_->RecordedText(), L"");  // none of them recorded
}

// Keys of the control's own (caret moves, selections) are recorded as the
// commands they give: Home, "// ", Down, played three times, comments out
// the next three lines.
TEST_P(Macros, KeysThatMoveTheCaretAreRecordedAndReplayed) {
    SetText(L"one\ntwo\nthree\nfour", 0, 2);
    auto key = [&](UINT vk) {
        MSG m = {Pane(), WM_KEYDOWN, vk, 1};
        if (!SendMessageW(Pane(), MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(&m))) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    };
    Command(ID_MACRO_RECORD);
    key(VK_HOME);
    Type(L"// ");
    key(VK_DOWN);
    Command(ID_MACRO_RECORD);
    EXPECT_NE(frame_->RecordedText().find(L"App.SendCommand( " + std::to_wstring(ECMD_HOME) + L" )"),
              std::wstring::npos)
        << frame_->RecordedText();
    for (int i = 0; i < 3; ++i) Command(ID_MACRO_PLAY);
    EXPECT_EQ(Text(), L"// one\n// two\n// three\n// four");
}

// The program showing its output window for its own reasons is not a
// command of the user's: a replay would hide the window again.
TEST_P(Macros, ShowingTheOutputWindowIsNotRecorded) {
    Command(ID_MACRO_RECORD);
    frame_->AppendOutput(L"text", 4);
    ASSERT_NE(frame_->OutputWindow(), nullptr);
    Command(ID_MACRO_RECORD);
    EXPECT_EQ(frame_->RecordedText(), L"");
}

TEST_P(Macros, MacroFilesOldAndNewAndTheirFailures) {
    // An older plain file in the ANSI code page.
    const std::wstring plain = folder_ + L"plain.mac";
    ASSERT_TRUE(WriteFileText(plain, "ActiveDoc.Insert \"plain\"\r\n"));
    SetText(L"");
    SendMessageW(frame_->Window(), MPF_RUN_MACRO, reinterpret_cast<WPARAM>(plain.c_str()), 0);
    EXPECT_EQ(Text(), L"plain");
    // Empty: nothing happens, nothing is said.
    const std::wstring empty = folder_ + L"empty.mac";
    ASSERT_TRUE(WriteFileText(empty, ""));
    SendMessageW(frame_->Window(), MPF_RUN_MACRO, reinterpret_cast<WPARAM>(empty.c_str()), 0);
    EXPECT_EQ(TakeMessage(), L"");
    // Missing: "Can't load macro!" and nothing runs.
    const std::wstring missing = folder_ + L"missing.mac";
    SendMessageW(frame_->Window(), MPF_RUN_MACRO, reinterpret_cast<WPARAM>(missing.c_str()), 0);
    EXPECT_EQ(TakeMessage(), L"Can't load macro!");
    // Saving where no file can be made: "Can't save macro!".
    frame_->Recorder().SetText(L"ActiveDoc.Insert \"x\"\n");
    g_savePath = folder_ + L"no such folder\\x.mac";
    Command(ID_MACRO_SAVE);
    EXPECT_EQ(TakeMessage(), L"Can't save macro!");
    g_savePath.clear();  // cancelled
    Command(ID_MACRO_SAVE);
    EXPECT_EQ(TakeMessage(), L"");
    EXPECT_EQ(Text(), L"plain");
}

// The macro menu lists the macro folder after its fixed items, subfolders
// as submenus, other files left out; its items run their files.
TEST_P(Macros, TheMacroMenuFollowsTheFolderTree) {
    const std::wstring macros = folder_ + L"macro\\";
    ASSERT_TRUE(CreateDirectoryW(macros.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((macros + L"sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((macros + L"sub\\deeper").c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(macros + L"b & c.MAC", "ActiveDoc.Insert \"top\""));
    ASSERT_TRUE(WriteFileText(macros + L"a.mac", "ActiveDoc.Insert \"a\""));
    ASSERT_TRUE(WriteFileText(macros + L"notes.txt", "not a macro"));
    ASSERT_TRUE(WriteFileText(macros + L"sub\\inner.mac", "ActiveDoc.Insert \"inner\""));
    ASSERT_TRUE(WriteFileText(macros + L"sub\\deeper\\deep.mac", "ActiveDoc.Insert \"deep\""));
    Command(ID_MACRO_REBUILD);
    HMENU menu = frame_->MacroMenu();
    ASSERT_NE(menu, nullptr);
    const int fixed = GetMenuItemID(menu, 0) == ID_TEAR_OFF ? 10 : 9;
    ASSERT_EQ(GetMenuItemCount(menu), fixed + 3);
    auto label = [](HMENU m, int position) {
        wchar_t text[64] = {};
        GetMenuStringW(m, UINT(position), text, 64, MF_BYPOSITION);
        return std::wstring(text);
    };
    EXPECT_EQ(label(menu, fixed), L"a");
    EXPECT_EQ(GetMenuItemID(menu, fixed), UINT(ID_MACRO_FIRST));
    EXPECT_EQ(label(menu, fixed + 1), L"b && c");
    EXPECT_EQ(label(menu, fixed + 2), L"sub");
    HMENU sub = GetSubMenu(menu, fixed + 2);
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(GetMenuItemCount(sub), 2);
    EXPECT_EQ(label(sub, 0), L"deeper");
    ASSERT_NE(GetSubMenu(sub, 0), nullptr);
    EXPECT_EQ(label(GetSubMenu(sub, 0), 0), L"deep");
    EXPECT_EQ(label(sub, 1), L"inner");
    ASSERT_EQ(frame_->MacroFiles().size(), 4u);
    EXPECT_EQ(frame_->MacroFiles()[2], macros + L"sub\\deeper\\deep.mac");

    SetText(L"");
    Command(ID_MACRO_FIRST + 2);
    Command(ID_MACRO_FIRST + 1);
    EXPECT_EQ(Text(), L"deeptop");
    // With Ctrl held, the file becomes the recorded macro and plays.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    Command(ID_MACRO_FIRST + 3);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(Text(), L"deeptopinner");
    EXPECT_EQ(frame_->RecordedText(), L"ActiveDoc.Insert \"inner\"");

    // Rebuilding after a file went away drops its item.
    ASSERT_TRUE(DeleteFileW((macros + L"a.mac").c_str()));
    Command(ID_MACRO_REBUILD);
    EXPECT_EQ(GetMenuItemCount(menu), fixed + 2);
    EXPECT_EQ(frame_->MacroFiles().size(), 3u);
}

// A macro bound to a key runs when the key is pressed.
TEST_P(Macros, AKeyBoundToAMacroFileRunsIt) {
    const std::wstring file = folder_ + L"key.mac";
    ASSERT_TRUE(WriteFileText(file, "ActiveDoc.Insert \"by key\""));
    frame_->KeyTables().macros.push_back({uint16_t(VK_F7), file});
    SetText(L"");
    SetFocus(Pane());
    MSG m = {Pane(), WM_KEYDOWN, VK_F7, 0x00410001, 0, {0, 0}};
    EXPECT_TRUE(frame_->PreTranslateMessage(&m));
    EXPECT_EQ(Text(), L"by key");
}

// A macro that never ends stops on request, on Esc, and its document is
// left as one undoable step; the frame goes on working.
TEST_P(Macros, AMacroThatNeverEndsCanBeStopped) {
    SetText(L"abc");
    SendMessageW(Pane(), MPM_EMPTYUNDO, 0, 0);
    g_timerAction = TimerAction::kStop;
    SetTimer(nullptr, 0, 300, &OnTimer);
    const DWORD start = GetTickCount();
    EXPECT_EQ(Play("ActiveDoc.Insert \"x\"\nDo\nLoop"), MacroOutcome::kStopped);
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(TakeMessage(), L"");
    EXPECT_EQ(Status(), L"The macro was stopped.");
    EXPECT_EQ(Text(), L"xabc");
    Undo();
    EXPECT_EQ(Text(), L"abc");

    // One that keeps calling the object model, stopped by Esc.
    g_timerAction = TimerAction::kEscape;
    g_escapeTarget = Pane();
    SetTimer(nullptr, 0, 300, &OnTimer);
    EXPECT_EQ(Play("Do\nActiveDoc.InsertAt 0, 0, \"y\"\nApp.Sleep 0\nLoop"), MacroOutcome::kStopped);
    EXPECT_EQ(Text().substr(0, 1), L"y");
    Undo();
    EXPECT_EQ(Text(), L"abc");
    EXPECT_EQ(Play("ActiveDoc.Insert \"ok\""), MacroOutcome::kDone);
    EXPECT_EQ(Text(), L"okabc");
    EXPECT_EQ(automation::RunningMacros(), 0);
}

// Handles the thread's messages until `window` is gone (at most a second).
bool PumpUntilGone(HWND window) {
    MSG m;
    for (int i = 0; i < 100 && IsWindow(window); ++i) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        Sleep(10);
    }
    return !IsWindow(window);
}

// Closing the program while a macro runs stops the macro first; the
// program closes once the macro has ended.
void CALLBACK StopAnyway(HWND, UINT, UINT_PTR id, DWORD) {
    automation::StopMacros();
    KillTimer(nullptr, id);
}
void CALLBACK SendClose(HWND, UINT, UINT_PTR id, DWORD) {
    SendMessageW(g_escapeTarget, WM_CLOSE, 0, 0);
    KillTimer(nullptr, id);
}
TEST_P(Macros, ClosingTheFrameWhileAMacroRunsStopsTheMacroFirst) {
    HWND frame = frame_->Window();
    g_escapeTarget = frame;
    SetTimer(nullptr, 0, 200, &SendClose);
    const UINT_PTR fallback = SetTimer(nullptr, 0, 4000, &StopAnyway);
    EXPECT_EQ(Play("Do\nApp.Sleep 5\nLoop"), MacroOutcome::kStopped);
    KillTimer(nullptr, fallback);
    ASSERT_TRUE(IsWindow(frame));  // the macro ended before anything closed
    EXPECT_TRUE(PumpUntilGone(frame));
}

// The user closing the window while a macro loops for ever (Alt+F4, or a
// close request posted by another program, as a task manager sends it):
// the macro stops at once, then the window asks about its changes and
// closes.
void CALLBACK PressAltF4(HWND, UINT, UINT_PTR id, DWORD) {
    PostMessageW(g_escapeTarget, WM_SYSKEYDOWN, VK_F4, (1 << 29) | 1);
    KillTimer(nullptr, id);
}
void CALLBACK PostClose(HWND, UINT, UINT_PTR id, DWORD) {
    PostMessageW(g_escapeTarget, WM_CLOSE, 0, 0);
    KillTimer(nullptr, id);
}
TEST_P(Macros, ClosingTheWindowStopsAMacroThatNeverEnds) {
    for (TIMERPROC close : {&PressAltF4, &PostClose}) {
        SCOPED_TRACE(close == &PressAltF4 ? "Alt+F4" : "posted WM_CLOSE");
        if (!frame_) {
            frame_ = std::make_unique<shell::CMainFrame>();
            ASSERT_NE(frame_->Create(L"prog", edit_), nullptr);
        }
        HWND frame = frame_->Window();
        SetText(L"changed");
        g_escapeTarget = frame;
        SetTimer(nullptr, 0, 200, close);
        const UINT_PTR fallback = SetTimer(nullptr, 0, 8000, &StopAnyway);
        const DWORD start = GetTickCount();
        EXPECT_EQ(Play("Do\nLoop"), MacroOutcome::kStopped);
        EXPECT_LT(GetTickCount() - start, 4000u) << "stopped by the close, not by the fallback";
        KillTimer(nullptr, fallback);
        testing_support::Messages().clear();
        testing_support::Answers() = {IDNO};  // do not save the changes
        EXPECT_TRUE(PumpUntilGone(frame));
        EXPECT_EQ(testing_support::Messages().size(), 1u) << "asked about the changes";
        frame_.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
}

// Keys typed while a macro runs are typed after it, with the modifiers
// they were typed with.
void CALLBACK TypeShiftedKeys(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    INPUT in[4] = {};
    const WORD keys[4] = {VK_SHIFT, 'A', 'A', VK_SHIFT};
    for (int i = 0; i < 4; ++i) {
        in[i].type = INPUT_KEYBOARD;
        in[i].ki.wVk = keys[i];
        in[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(4, in, sizeof(INPUT));
}
TEST_P(Macros, KeysTypedDuringAMacroArriveAfterItWithTheirModifiers) {
    ShowWindow(frame_->Window(), SW_SHOW);
    SetForegroundWindow(frame_->Window());
    SetFocus(Pane());
    SetText(L"");
    SetTimer(nullptr, 0, 50, &TypeShiftedKeys);
    EXPECT_EQ(Play("t = Timer\nDo While Timer - t < 0.5 And Timer >= t\nLoop\nActiveDoc.Insert \"m\""),
              MacroOutcome::kDone);
    MSG m;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (frame_->PreTranslateMessage(&m)) continue;
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        Sleep(10);
    }
    EXPECT_EQ(Text(), L"mA");
}

INSTANTIATE_TEST_SUITE_P(Engines, Macros, testing_support::kBothEngines, testing_support::EngineParamName);

}  // namespace
