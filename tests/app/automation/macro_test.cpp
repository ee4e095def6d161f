// Macros in a real frame under each script engine (the system's and our own,
// every case under both): the object model as scripted cases (text before,
// macro, text after, and after one Undo), failures reported once, the
// recorder and replaying what it recorded, macro files and the macro menu,
// and stopping a macro that never ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "AppScript.h"
#include "CommandIds.h"
#include "ControlText.h"
#include "EngineChoice.h"
#include "FrameFixture.h"
#include "InputDialog.h"
#include "MacroRecorder.h"
#include "Menus.h"
#include "ProgramIds.h"
#include "Timers.h"

using automation::MacroOutcome;
using testing_support::After;
using testing_support::Answers;
using testing_support::Messages;
using testing_support::PumpUntil;

namespace {

// The answers of the input and save dialogs, for every test of the program.
std::wstring g_inputAnswer, g_savePath;
bool AnswerInput(HWND, const std::wstring&, const std::wstring&, std::wstring* value) {
    *value = g_inputAnswer;
    return true;
}
bool AnswerSave(std::wstring* path) {
    *path = g_savePath;
    return !g_savePath.empty();
}
const bool g_hooked =
    (documents::SetInputHook(&AnswerInput), automation::SetMacroSaveHook(&AnswerSave), true);

// What timers do while a macro runs.
HWND g_target = nullptr;  // of the key and close actions
void Stop() { automation::StopMacros(); }
void PressEscape() { PostMessageW(g_target, WM_KEYDOWN, VK_ESCAPE, 0x00010001); }
void SendClose() { SendMessageW(g_target, WM_CLOSE, 0, 0); }
void PressAltF4() { PostMessageW(g_target, WM_SYSKEYDOWN, VK_F4, (1 << 29) | 1); }
void PostClose() { PostMessageW(g_target, WM_CLOSE, 0, 0); }

class Macros : public testing_support::CFrameTest, public ::testing::WithParamInterface<int> {
   protected:
    // The engine this run of the case uses.
    testing_support::EngineChoiceScope engine_{GetParam()};

    void SetUp() override {
        CFrameTest::SetUp();
        ASSERT_NE(Create(), nullptr);
    }

    MacroOutcome Play(const std::string& macro, int times = 1) {
        return frame_->PlayMacroText(std::wstring(macro.begin(), macro.end()), L"test.mac", times);
    }
    void Run(const std::wstring& file) {
        SendMessageW(frame_->Window(), MPF_RUN_MACRO, reinterpret_cast<WPARAM>(file.c_str()), 0);
    }
    // The whole text replaced and the caret placed.
    void SetText(const wchar_t* text, Position caret = {0, 0}) {
        Position start = {0, 0}, end = {0x7FFFFFF, 0x7FFFFFF};
        SendMessageW(ActivePane(), MPM_DELETERANGE, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        TextArg arg = {text, -1};
        SendMessageW(ActivePane(), MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
        testing_support::SetCaret(ActivePane(), caret.line, caret.column);
    }
    void EmptyUndo() { SendMessageW(ActivePane(), MPM_EMPTYUNDO, 0, 0); }
    std::wstring Text(HWND pane = nullptr) { return testing_support::TextOf(pane ? pane : ActivePane()); }
    // Typed as keys: Enter as its key and its character.
    void Keys(const std::wstring& text) {
        for (wchar_t c : text) {
            if (c == L'\r') SendMessageW(ActivePane(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
            SendMessageW(ActivePane(), WM_CHAR, c, 1);
        }
    }
    void Undo() { SendMessageW(ActivePane(), WM_COMMAND, ECMD_UNDO, 0); }
    // The one message shown since the last call, or "" (and a failure when
    // there were more).
    std::wstring TakeMessage() {
        std::vector<testing_support::ShownMessage> shown = Messages();
        Messages().clear();
        EXPECT_LE(shown.size(), 1u);
        return shown.empty() ? std::wstring() : shown.back().text;
    }
};

struct Script {
    const wchar_t* before;
    Position caret;
    std::string macro;
    std::wstring after;
    const wchar_t* undone = nullptr;  // after one Undo, when it is checked
    int times = 1;
    MacroOutcome outcome = MacroOutcome::kDone;
    const wchar_t* report = L"";  // a failure's report names test.mac and this
};

// Each member of the document object, through "App" and as a global name;
// a play is one undo step however it groups inside; bad names, argument
// counts and types stop the macro with one report that names the file and
// the line, and what it did before stays, as one step.
TEST_P(Macros, ScriptedCases) {
    // Two inserts, then a third line that fails: the first run stops the play.
    auto fails = [](const std::string& third) {
        return Script{L"abc",
                      {0, 0},
                      "ActiveDoc.Insert \"1\"\nActiveDoc.Insert \"2\"\n" + third,
                      L"12abc",
                      L"abc",
                      3,
                      MacroOutcome::kFailed,
                      L"Line 3"};
    };
    const Script cases[] = {
        {L"abc", {0, 1}, "App.ActiveDoc.Insert \"X\"", L"aXbc"},
        {L"abc\ndef", {0, 0}, "ActiveDoc.InsertAt 1, 2, \"Y\"", L"abc\ndeYf"},
        {L"abc", {0, 0}, "ActiveDoc.InsertAt 9, 9, \"!\"", L"abc!"},  // clamped to the end
        {L"abc", {0, 0}, "ActiveDoc.Delete", L"bc"},
        {L"abc\ndef", {0, 0}, "ActiveDoc.DeleteAt 1, 1, 0, 1", L"aef"},
        {L"abc", {0, 0}, "Set d = ActiveDoc\nd.SetCaretPos 0, 2, False\nd.Insert \"-\"", L"ab-c"},
        {L"abcdef", {0, 1}, "Set d = ActiveDoc\nd.SetCaretPos 0, 4, True\nd.Selection = \"*\"", L"a*ef"},
        {L"abcdef",
         {0, 0},
         "Set d = ActiveDoc\nd.SetSelection 0, 5, 0, 2\nd.SetCaretPos 0, 1, True\n"
         "d.Selection = \"\"",
         L"af"},
        {L"one two",
         {0, 0},
         "Set d = ActiveDoc\nd.SetSelection 0, 4, 0, 7\ns = d.Selection\n"
         "d.SetCaretPos 0, 0, False\nd.Insert s & \"|\" & d.Selection & \"|\"",
         L"two||one two"},
        {L"abc", {0, 1}, "ActiveDoc.Selection = \"+\"", L"a+bc"},  // nothing selected: inserted
        {L"ab\ncd",
         {1, 1},
         "Set d = ActiveDoc\nd.InsertAt 0, 0, d.LineCount & \",\" & d.CaretLine & \",\" & "
         "d.CaretCol & \" \"",
         L"2,1,1 ab\ncd"},
        {L"ab\ncdef",
         {0, 0},
         "Set d = ActiveDoc\nd.Insert d.GetLineText(1) & d.GetLineLength(1) & \"[\" & "
         "d.GetLineText(2) & d.GetLineText(-1) & \"]\" & d.GetLineLength(7)",
         L"cdef4[]0ab\ncdef"},
        {L"a-a-A",
         {0, 0},
         "n = ActiveDoc.ReplaceAll(\"a\", \"bb\", 1)\nActiveDoc.InsertAt 0, 0, n & \":\"",
         L"2:bb-bb-A"},
        {L"a-a-A",
         {0, 0},
         "n = ActiveDoc.ReplaceAll(\"a\", \"b\", 0)\nActiveDoc.InsertAt 0, 0, n & \":\"",
         L"3:b-b-b"},
        {L"x1 y22", {0, 0}, "ActiveDoc.ReplaceAll \"([a-z])(\\d+)\", \"$2$1\", 4", L"1x 22y"},
        {L"ab\ncd", {0, 0}, "ActiveDoc.SendCommand 8\nActiveDoc.Insert \"$\"", L"ab\ncd$"},
        // The ANSI code page (0), and code pages the system may refuse and
        // the program converts itself.
        {L"abc", {0, 3}, "Set d = ActiveDoc\nd.Codepage = 65001\nd.Insert d.Codepage", L"abc65001"},
        {L"abc", {0, 3}, "Set d = ActiveDoc\nd.Codepage = 0\nd.Insert d.Codepage", L"abc0"},
        {L"abc", {0, 3}, "Set d = ActiveDoc\nd.Codepage = 50225\nd.Insert d.Codepage", L"abc50225"},
        {L"abc", {0, 3}, "Set d = ActiveDoc\nd.Codepage = 51936\nd.Insert d.Codepage", L"abc51936"},
        {L"abc",
         {0, 0},
         "Class C\nPublic Default Property Get V\nV = \"dv\"\nEnd Property\nEnd Class\n"
         "Set o = New C\nActiveDoc.Insert o",
         L"dvabc"},
        {L"abc",
         {0, 0},
         "ActiveDoc.Insert ActiveDoc.Dirty & \"/\" & Len(ActiveDoc.PathName) & \"/\"",
         L"True/0/abc"},
        {L"abc", {0, 0}, "app.activedoc.INSERT \"q\" : APP.ACTIVECHILD.insert \"r\"", L"qrabc"},
        {L"abc", {0, 0}, "ActiveDoc.Insert \"a\" & Chr(0) & \"b\"", std::wstring(L"a\0babc", 6)},
        // Inserts gathered into one: what the macro reads after them is
        // exact, a CR and an LF inserted apart stay two line breaks, and
        // all of it is one undo step.
        {L"x",
         {0, 0},
         "Set d = ActiveDoc\nFor i = 1 To 3\nd.Insert i & vbCrLf\nNext\n"
         "d.Insert d.CaretLine & \",\" & d.CaretCol & \",\" & d.LineCount & \",\" & d.GetLineText(1)",
         L"1\n2\n3\n3,0,4,2x"},
        {L"", {0, 0}, "Set d = ActiveDoc\nd.Insert \"a\" & vbCr\nd.Insert vbLf & \"b\"", L"a\n\nb"},
        {L"abc",
         {0, 0},
         "Set d = ActiveDoc\nFor i = 1 To 200\nd.Insert \"x\"\nNext\nd.Insert d.CaretCol",
         std::wstring(200, L'x') + L"200abc",
         L"abc"},
        // One undo step, however the play groups inside, and for repeated plays.
        {L"abc",
         {0, 0},
         "Set d = ActiveDoc\nd.GroupUndo = True\nd.Insert \"1\"\nd.GroupUndo = False\nd.Refresh",
         L"1abc",
         L"abc"},
        {L"a\n\n\nb\n",
         {0, 0},
         "Set d = ActiveDoc\nd.InsertAt 0, 0, \"x\"\nd.GroupUndo = True\nd.InsertAt 0, 0, \"y\"\n"
         "d.GroupUndo = False\nd.GroupUndo = False\nd.ReplaceAll \"b\", \"B\", 0\nd.SetSelection 0, 0, 4, 0\n"
         "App.SendCommand " +
             std::to_string(ID_REMOVE_BLANK_LINES) +
             "\nd.SetCaretPos 0, 0, False\n"
             "d.InsertAt 0, 0, \"z\"\n",
         L"zyxa\nB\n",
         L"a\n\n\nb\n"},
        {L"", {0, 0}, "ActiveDoc.Insert \"ab\"", L"ababab", L"", 3},
        fails("ActiveDoc.Bogus\nActiveDoc.Insert \"3\""),
        fails("ActiveDoc.Insert \"a\", \"b\""),
        fails("ActiveDoc.Insert Null"),
        fails("ActiveDoc.InsertAt \"x\", 0, \"y\""),
        fails("ActiveDoc.Codepage = 12345"),
        fails("ActiveDoc.ReplaceAll \"(\", \"\", 4"),
        fails("x = ActiveDoc.CaretLine(5)"),
        // A syntax error runs nothing.
        {L"abc",
         {0, 0},
         "ActiveDoc.Insert \"1\"\nIf Then",
         L"abc",
         nullptr,
         1,
         MacroOutcome::kFailed,
         L"Line 2"},
    };
    for (const Script& c : cases) {
        SCOPED_TRACE(c.macro);
        SetText(c.before, c.caret);
        if (c.undone) EmptyUndo();
        EXPECT_EQ(Play(c.macro, c.times), c.outcome);
        const std::wstring shown = TakeMessage();
        if (c.outcome == MacroOutcome::kFailed) {
            EXPECT_NE(shown.find(L"test.mac"), std::wstring::npos) << testing::PrintToString(shown);
            EXPECT_NE(shown.find(c.report), std::wstring::npos) << testing::PrintToString(shown);
        } else {
            EXPECT_EQ(shown, L"");
        }
        EXPECT_EQ(Text(), c.after);
        if (!c.undone) continue;
        Undo();
        EXPECT_EQ(Text(), c.undone);
    }
}

// After a play, edits are steps of their own again.
TEST_P(Macros, EditsAfterAPlayAreStepsOfTheirOwn) {
    SetText(L"");
    EmptyUndo();
    EXPECT_EQ(Play("ActiveDoc.Insert \"ab\"", 3), MacroOutcome::kDone);
    Keys(L"c");
    EXPECT_EQ(Text(), L"abababc");
    Undo();
    EXPECT_EQ(Text(), L"ababab");
}

TEST_P(Macros, AppMembersOpenAndCreateDocuments) {
    const std::wstring file = File(L"open me.txt", "content");
    SetText(L"first");
    HWND first = ActivePane();
    const std::string path(file.begin(), file.end());
    // A file that cannot be opened leaves the active document active.
    EXPECT_EQ(Play("Set d = App.OpenDoc(\"" + path + ".missing\")\nd.Insert \"<\""), MacroOutcome::kDone);
    Messages().clear();  // the open routine's own report
    EXPECT_EQ(Text(first), L"<first");
    EXPECT_EQ(frame_->DocumentCount(), 1u);
    EXPECT_EQ(Play("Set d = OpenDoc(\"" + path + "\")\nd.Insert Len(d.PathName) & \">\""),
              MacroOutcome::kDone);
    EXPECT_EQ(TakeMessage(), L"");
    ASSERT_EQ(frame_->DocumentCount(), 2u);
    EXPECT_EQ(Text(), std::to_wstring(file.size()) + L">content");
    // Opening it again activates it; NewDoc makes a third, empty one.
    frame_->Activate(0);
    EXPECT_EQ(Play("OpenDoc \"" + path + "\"\nSet d = App.NewDoc\nd.Insert \"new\"\nActiveDoc.Insert \"!\""),
              MacroOutcome::kDone);
    ASSERT_EQ(frame_->DocumentCount(), 3u);
    EXPECT_EQ(Text(), L"new!");
    // SendCommand goes to the frame: Next Tab makes the first active.
    EXPECT_EQ(
        Play("App.SendCommand " + std::to_string(ID_NEXT_TAB) + "\nActiveDoc.Insert \"^\"\nApp.Sleep 1"),
        MacroOutcome::kDone);
    EXPECT_EQ(Text(first), L"<^first");
}

TEST_P(Macros, MenusHoldItemsAndSeparatorsAndADismissedPopupGivesZero) {
    SetText(L"");
    EXPECT_EQ(
        Play("Set m = App.CreateMenu\nm.AddItem 5, \"Five\"\nm.AddItem 0, \"\"\nm.AddItem 6, \"Six && co\"\n"
             "ActiveDoc.Insert m.GetText(5) & \"|\" & m.GetText(0) & \"|\" & m.GetText(6) & \"|\" & "
             "m.GetText(7)"),
        MacroOutcome::kDone);
    EXPECT_EQ(Text(), L"Five||Six && co|");
    SetText(L"");
    testing_support::LastPopup() = {};
    testing_support::Until<testing_support::AnswerPopup>(200);
    EXPECT_EQ(
        Play("Set m = ActiveDoc.CreateMenu\nm.AddItem 1, \"One\"\nm.AddItem 0, \"\"\nm.AddItem 2, \"Two\"\n"
             "ActiveDoc.Insert \"chose \" & m.Popup"),
        MacroOutcome::kDone);
    EXPECT_EQ(Text(), L"chose 0");
    EXPECT_EQ(testing_support::LastPopup().items, 3);
    EXPECT_TRUE(testing_support::LastPopup().separatorAt1);
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
    EXPECT_EQ(r.Text(),
              L"App.ActiveDoc.Insert( \"a\" )\nApp.ActiveDoc.Insert( \"\xD83D\xDE00\" )\n"
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
    Keys(L"Say \"hi\"\tthere\r");
    Keys(L"caf\xE9 \x4E2D\x6587 \xD83D\xDE00!");  // é, two CJK characters, an emoji
    ImeTextNotify ime = {};
    ime.hdr.hwndFrom = ActivePane();
    ime.hdr.code = EN_MP_IMETEXT;
    ime.text = L"\x65E5\x672C\"\x8A9E";
    ime.length = 4;
    TextArg imeText = {ime.text, ime.length};
    SendMessageW(ActivePane(), MPM_INSERTTEXT, 0,
                 reinterpret_cast<LPARAM>(&imeText));  // what the control did
    SendMessageW(frame_->ActiveDocument(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&ime));
    Command(ECMD_DOCSTART);
    Keys(L">");
    Command(ID_MACRO_PLAY);  // not while recording, and not recorded
    Command(ID_MACRO_RECORD);
    EXPECT_FALSE(frame_->IsRecording());
    const std::wstring typed = Text();
    EXPECT_EQ(typed, L">Say \"hi\"\tthere\ncaf\xE9 \x4E2D\x6587 \xD83D\xDE00!\x65E5\x672C\"\x8A9E");
    const std::wstring recorded = frame_->RecordedText();
    EXPECT_NE(recorded.find(L"App.ActiveDoc.Insert( \"\" + Chr(34) + \"\" )\n"), std::wstring::npos);
    EXPECT_NE(recorded.find(L"App.SendCommand( " + std::to_wstring(ECMD_DOCSTART) + L" )\n"),
              std::wstring::npos);
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
    const std::string bytes = testing_support::ReadFileText(g_savePath);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2),
              recorded);
    Command(ID_FILE_NEW);
    Run(g_savePath);
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
// the next three lines. The program showing its output window for its own
// reasons is not a command of the user's: a replay would hide it again.
TEST_P(Macros, KeysThatMoveTheCaretAreRecordedAndReplayed) {
    SetText(L"one\ntwo\nthree\nfour", {0, 2});
    auto key = [&](UINT vk) {
        MSG m = {ActivePane(), WM_KEYDOWN, vk, 1, 0, {0, 0}};
        if (!SendMessageW(ActivePane(), MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(&m))) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    };
    Command(ID_MACRO_RECORD);
    key(VK_HOME);
    Keys(L"// ");
    key(VK_DOWN);
    frame_->AppendOutput(L"text", 4);
    ASSERT_NE(frame_->OutputWindow(), nullptr);
    Command(ID_MACRO_RECORD);
    EXPECT_EQ(frame_->RecordedText(),
              L"App.SendCommand( " + std::to_wstring(ECMD_HOME) +
                  L" )\nApp.ActiveDoc.Insert( \"/\" )\nApp.ActiveDoc.Insert( \"/\" )\n"
                  L"App.ActiveDoc.Insert( \" \" )\nApp.SendCommand( " +
                  std::to_wstring(ECMD_DOWN) + L" )\n");
    for (int i = 0; i < 3; ++i) Command(ID_MACRO_PLAY);
    EXPECT_EQ(Text(), L"// one\n// two\n// three\n// four");
}

// Files: an older plain file in the ANSI code page runs; an empty one does
// nothing and says nothing; a missing one and a save where no file can be
// made say so; a cancelled save says nothing.
TEST_P(Macros, MacroFilesOldAndNewAndTheirFailures) {
    SetText(L"");
    Run(File(L"plain.mac", "ActiveDoc.Insert \"plain\"\r\n"));
    EXPECT_EQ(Text(), L"plain");
    Run(File(L"empty.mac", ""));
    EXPECT_EQ(TakeMessage(), L"");
    Run(folder_ + L"missing.mac");
    EXPECT_EQ(TakeMessage(), L"Can't load macro!");
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
    for (const wchar_t* sub : {L"", L"sub", L"sub\\deeper"})
        ASSERT_TRUE(CreateDirectoryW((macros + sub).c_str(), nullptr));
    File(L"macro\\b & c.MAC", "ActiveDoc.Insert \"top\"");
    File(L"macro\\a.mac", "ActiveDoc.Insert \"a\"");
    File(L"macro\\notes.txt", "not a macro");
    File(L"macro\\sub\\inner.mac", "ActiveDoc.Insert \"inner\"");
    File(L"macro\\sub\\deeper\\deep.mac", "ActiveDoc.Insert \"deep\"");
    Command(ID_MACRO_REBUILD);
    HMENU menu = frame_->MacroMenu();
    ASSERT_NE(menu, nullptr);
    const int fixed = GetMenuItemID(menu, 0) == ID_TEAR_OFF ? 10 : 9;
    EXPECT_EQ(testing_support::MenuOutline(menu, fixed), L"a|b && c|sub{deeper{deep}|inner}");
    EXPECT_EQ(GetMenuItemID(menu, fixed), UINT(ID_MACRO_FIRST));
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
    EXPECT_EQ(testing_support::MenuOutline(menu, fixed), L"b && c|sub{deeper{deep}|inner}");
    EXPECT_EQ(frame_->MacroFiles().size(), 3u);
}

// A macro bound to a key runs when the key is pressed.
TEST_P(Macros, AKeyBoundToAMacroFileRunsIt) {
    frame_->KeyTables().macros.push_back({uint16_t(VK_F7), File(L"key.mac", "ActiveDoc.Insert \"by key\"")});
    SetText(L"");
    SetFocus(ActivePane());
    MSG m = {ActivePane(), WM_KEYDOWN, VK_F7, 0x00410001, 0, {0, 0}};
    EXPECT_TRUE(frame_->PreTranslateMessage(&m));
    EXPECT_EQ(Text(), L"by key");
}

// A macro that never ends stops on request, on Esc, and its document is
// left as one undoable step; the frame goes on working.
TEST_P(Macros, AMacroThatNeverEndsCanBeStopped) {
    SetText(L"abc");
    EmptyUndo();
    After<Stop>(300);
    const DWORD start = GetTickCount();
    EXPECT_EQ(Play("ActiveDoc.Insert \"x\"\nDo\nLoop"), MacroOutcome::kStopped);
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(TakeMessage(), L"");
    EXPECT_EQ(testing_support::StatusTextOf(frame_->StatusBar()), L"The macro was stopped.");
    EXPECT_EQ(Text(), L"xabc");
    Undo();
    EXPECT_EQ(Text(), L"abc");
    // One that keeps calling the object model, stopped by Esc.
    g_target = ActivePane();
    After<PressEscape>(300);
    EXPECT_EQ(Play("Do\nActiveDoc.InsertAt 0, 0, \"y\"\nApp.Sleep 0\nLoop"), MacroOutcome::kStopped);
    EXPECT_EQ(Text().substr(0, 1), L"y");
    Undo();
    EXPECT_EQ(Text(), L"abc");
    // One that only inserts (none of its calls waits for the main thread).
    After<Stop>(300);
    EXPECT_EQ(Play("Set d = ActiveDoc\nDo\nd.Insert \"z\"\nLoop"), MacroOutcome::kStopped);
    EXPECT_EQ(Text().substr(0, 2), L"zz");
    Undo();
    EXPECT_EQ(Text(), L"abc");
    EXPECT_EQ(Play("ActiveDoc.Insert \"ok\""), MacroOutcome::kDone);
    EXPECT_EQ(Text(), L"okabc");
    EXPECT_EQ(automation::RunningMacros(), 0);
}

// What a macro inserted shows while it runs on without calling the program.
std::wstring g_seen;
void ReadPane() { g_seen = testing_support::TextOf(g_target); }
TEST_P(Macros, InsertsShowWhileTheMacroRunsOn) {
    SetText(L"");
    g_target = ActivePane();
    g_seen.clear();
    After<ReadPane>(400);
    EXPECT_EQ(Play("ActiveDoc.Insert \"shown\"\nt = Timer\nDo While Timer - t < 2 And Timer >= t\nLoop"),
              MacroOutcome::kDone);
    EXPECT_EQ(g_seen, L"shown");
}

// A document made active while a macro runs on (by a timer here, as by
// another program) is the one the macro's next ActiveDoc gives.
void NextTab() { SendMessageW(g_target, WM_COMMAND, ID_NEXT_TAB, 0); }
TEST_P(Macros, ActiveDocFollowsADocumentMadeActiveMeanwhile) {
    SetText(L"");
    HWND first = ActivePane();
    Command(ID_FILE_NEW);
    HWND second = ActivePane();
    g_target = frame_->Window();
    After<NextTab>(300);
    EXPECT_EQ(Play("t = Timer\nDo While Timer - t < 2 And Timer >= t\nActiveDoc.Insert \"z\"\nLoop"),
              MacroOutcome::kDone);
    EXPECT_EQ(Text(second).substr(0, 1), L"z");
    EXPECT_EQ(Text(first).substr(0, 1), L"z");
}

// Closing the window while a macro runs (WM_CLOSE sent, Alt+F4, or a close
// request posted by another program, as a task manager sends it) stops the
// macro at once, before anything closes; then the window asks about its
// changes and closes.
TEST_P(Macros, ClosingTheWindowStopsTheMacroFirst) {
    const struct {
        UINT_PTR (*close)(UINT);
        const char* name;
        const char* macro;
    } cases[] = {{&After<SendClose>, "WM_CLOSE sent", "Do\nApp.Sleep 5\nLoop"},
                 {&After<PressAltF4>, "Alt+F4", "Do\nLoop"},
                 {&After<PostClose>, "WM_CLOSE posted", "Do\nLoop"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!frame_) ASSERT_NE(Create(), nullptr);
        HWND frame = g_target = frame_->Window();
        SetText(L"changed");
        c.close(200);
        const UINT_PTR fallback = After<Stop>(8000);
        const DWORD start = GetTickCount();
        EXPECT_EQ(Play(c.macro), MacroOutcome::kStopped);
        EXPECT_LT(GetTickCount() - start, 4000u) << "stopped by the close, not by the fallback";
        KillTimer(nullptr, fallback);
        ASSERT_TRUE(IsWindow(frame));
        Messages().clear();
        Answers() = {IDNO};  // do not save the changes
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(frame); }, 2000));
        EXPECT_EQ(Messages().size(), 1u) << "asked about the changes";
        frame_.reset();
        MSG msg;  // the frame's WM_QUIT
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
}

// Keys typed while a macro runs are typed after it, with the modifiers
// they were typed with.
void TypeShiftedA() {
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
    SetFocus(ActivePane());
    SetText(L"");
    After<TypeShiftedA>(50);
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
