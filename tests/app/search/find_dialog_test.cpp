// The find and replace dialogs through their controls and the frame's
// commands: searches in both directions with their status-bar messages, the
// word-under-caret commands, replace and replace all, the remembered options
// and histories, the incremental search's colour, List All reaching the
// output, and the select-word highlight of document panes.
#include <optional>
#include <source_location>
#include <string>
#include <vector>

#include "CommandIds.h"
#include "ControlScript.h"
#include "DialogIds.h"
#include "EditProtocol.h"
#include "FindDialog.h"
#include "LongWork.h"
#include "SearchFrame.h"
#include "SettingsKeys.h"

using shell::FormatLanguageString;
using shell::LanguageString;
using testing_support::Select;
using testing_support::SetCaret;

namespace {

UINT g_fragment = 0;
UINT ChooseFragment(HMENU) { return g_fragment; }

// What a window is told about highlighters while it is watched.
class CHighlighterWatch {
   public:
    explicit CHighlighterWatch(HWND w) : w_(w) {
        EXPECT_TRUE(SetWindowSubclass(w, &Proc, 1, DWORD_PTR(this)));
    }
    ~CHighlighterWatch() { RemoveWindowSubclass(w_, &Proc, 1); }
    // Whether the last highlighter registered is still the window's.
    bool Highlighted() const { return last && SendMessageW(w_, MPM_HIGHLIGHTER, WPARAM(last), 2) == 1; }
    IHighlighter* last = nullptr;
    int adds = 0;

   private:
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
        if (msg == MPM_HIGHLIGHTER && lp == 1) {
            reinterpret_cast<CHighlighterWatch*>(data)->last = reinterpret_cast<IHighlighter*>(wp);
            ++reinterpret_cast<CHighlighterWatch*>(data)->adds;
        }
        return DefSubclassProc(w, msg, wp, lp);
    }
    HWND w_;
};

// One step of a dialog script: a frame command, a click on a control of the
// dialog, a field's text, the document's text (marked as in MarkedText.h:
// "|" the caret, "[...]" a selection; the caret at the start without marks),
// the caret put; or a check of the selection ("line,start-end", "l,c-l,c"
// or "none"), the status bar's message or the document's text.
struct Step {
    enum Op { kCmd, kClick, kSet, kDoc, kGo, kSel, kSays, kIs } op;
    int id = 0, line = 0;
    std::wstring text;
    std::string sel;
};
Step Cmd(int id) { return {Step::kCmd, id}; }
Step Push(int id) { return {Step::kClick, id}; }
Step Set(int field, const std::wstring& text) { return {Step::kSet, field, 0, text}; }
Step Doc(const std::wstring& marked) { return {Step::kDoc, 0, 0, marked}; }
Step Go(int line, int column) { return {Step::kGo, column, line}; }
Step Sel(const std::string& s) { return {Step::kSel, 0, 0, L"", s}; }
Step Says(const std::wstring& status) { return {Step::kSays, 0, 0, status}; }
Step Is(const std::wstring& text) { return {Step::kIs, 0, 0, text}; }
constexpr int kNext = IDC_FIND_NEXT_BUTTON, kPrevious = IDC_FIND_PREVIOUS_BUTTON;

class FindDialogs : public CSearchFrameTest {
   protected:
    static void SetUpTestSuite() {
        CFrameTest::SetUpTestSuite();
        search::SetFragmentChooser(&ChooseFragment);
    }
    static void TearDownTestSuite() {
        search::SetFragmentChooser(nullptr);
        CFrameTest::TearDownTestSuite();
    }
    search::CFindDialog* Dialog() { return frame_->FindDialog(); }
    HWND DialogWindow() override { return Dialog() ? Dialog()->Window() : nullptr; }
    bool Shown() { return IsWindowVisible(DialogWindow()) != FALSE; }
    HWND Pane() { return frame_->ActivePane(); }
    void SetText(const std::wstring& marked) { testing_support::SetState(Pane(), marked); }
    std::wstring Text() { return testing_support::TextOf(Pane()); }
    std::string Selection() {
        const testing_support::Span s = testing_support::SelectionOf(Pane());
        if (s.from == s.to) return "none";
        return std::to_string(s.from.line) + "," + std::to_string(s.from.column) + "-" +
               (s.from.line != s.to.line ? std::to_string(s.to.line) + "," : "") +
               std::to_string(s.to.column);
    }
    void Run(const std::vector<Step>& steps, std::source_location at = std::source_location::current()) {
        testing::ScopedTrace trace(at.file_name(), int(at.line()), "script");
        for (size_t i = 0; i < steps.size(); ++i) {
            const Step& s = steps[i];
            SCOPED_TRACE(testing::Message() << "step " << i + 1);
            switch (s.op) {
                case Step::kCmd: Command(UINT(s.id)); break;
                case Step::kClick: Click(s.id); break;
                case Step::kSet: SetField(s.id, s.text); break;
                case Step::kDoc: SetText(s.text); break;
                case Step::kGo: SetCaret(Pane(), s.line, s.id); break;
                case Step::kSel: EXPECT_EQ(Selection(), s.sel); break;
                case Step::kSays: EXPECT_EQ(Status(), s.text); break;
                case Step::kIs: EXPECT_EQ(Text(), s.text); break;
            }
        }
    }
    static std::wstring NotFound(const wchar_t* text, bool up = false) {
        return FormatLanguageString(up ? 15205 : 15204, {text});
    }
    static std::wstring Replaced(int n) { return FormatLanguageString(15200, {std::to_wstring(n)}); }
    // Handles what is queued as the frame's message loop does.
    void Loop() {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE) && m.message != WM_QUIT)
            if (!frame_->PreTranslateMessage(&m)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
    }
    void Esc(HWND to) { PostMessageW(to, WM_KEYDOWN, VK_ESCAPE, 0x00010001); }
};

}  // namespace

TEST_F(FindDialogs, FindCommandsAreNoLongerPending) {
    for (UINT id : {ID_EDIT_FIND, ID_EDIT_REPLACE, ID_FIND_NEXT, ID_FIND_PREVIOUS, ID_FIND_NEXT_WORD,
                    ID_FIND_PREVIOUS_WORD}) {
        frame_->EnableCommand(id, TRUE);
        const auto* state = frame_->CommandStates().Find(id);
        ASSERT_NE(state, nullptr) << id;
        EXPECT_TRUE(state->enabled) << id;
    }
}

TEST_F(FindDialogs, FindNextAndPreviousWalkTheMatchesAndTellWhenThereIsNoMore) {
    Run({Doc(L"alpha beta\nbeta alpha\ngamma"), Cmd(ID_EDIT_FIND)});
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_FALSE(Dialog()->IsReplace());
    EXPECT_TRUE(Shown());
    EXPECT_EQ(GetWindow(DialogWindow(), GW_OWNER), frame_->Window());
    // No wrapping round either end.
    Run({Set(IDC_FIND_TEXT, L"alpha"), Push(kNext), Sel("0,0-5"), Says(L""), Push(kNext), Sel("1,5-10"),
         Push(kNext), Sel("1,5-10"), Says(NotFound(L"alpha")), Push(kPrevious), Sel("0,0-5"), Says(L""),
         Push(kPrevious), Sel("0,0-5"), Says(NotFound(L"alpha", true))});
    // The frame's commands search without showing the dialog; with an empty
    // find text they do nothing at all.
    ShowWindow(DialogWindow(), SW_HIDE);
    Run({Cmd(ID_FIND_NEXT), Sel("1,5-10"), Cmd(ID_FIND_PREVIOUS), Sel("0,0-5"), Set(IDC_FIND_TEXT, L""),
         Go(2, 0), Cmd(ID_FIND_PREVIOUS), Sel("none"), Says(L"")});
    EXPECT_FALSE(Shown());
}

// With wrap-around the searches go on from the other end and say so; it is
// remembered with the other options. Without a match anywhere the
// selection stays.
TEST_F(FindDialogs, WrapAroundSearchesOnFromTheOtherEndAndSaysSo) {
    Run({Doc(L"alpha beta\nbeta a|lpha\ngamma"), Cmd(ID_EDIT_FIND), Set(IDC_FIND_TEXT, L"alpha"),
         Push(IDC_FIND_WRAP), Push(kNext), Sel("0,0-5"), Says(LanguageString(IDS_SEARCH_WRAPPED_TOP)),
         Push(kNext), Sel("1,5-10"), Says(L""), Go(0, 2), Push(kPrevious), Sel("1,5-10"),
         Says(LanguageString(IDS_SEARCH_WRAPPED_BOTTOM)), Set(IDC_FIND_TEXT, L"zebra"),
         Doc(L"alpha beta\nbeta alpha\ng[am]|ma"), Push(kNext), Sel("2,1-3"), Says(NotFound(L"zebra"))});
    EXPECT_TRUE(Checked(IDC_FIND_WRAP));
    EXPECT_NE(settings::ReadClampedInt(settings::File::Setting, L"Find", L"Options") & search::FIND_WRAP, 0);
}

// Replace All in the selection: only what lies inside it, an empty match
// where it ends left alone (whole lines: a line-start expression stops at
// the line after), and the selection covering the result; with nothing
// selected, nothing, and the status bar says why.
TEST_F(FindDialogs, ReplaceAllInTheSelectionReplacesOnlyThere) {
    const std::wstring once = L"cat dog\ndog dog\ndog cat\ncat",
                       twice = L"cat dog\n// dog dog\n// dog cat\ncat";
    Run({Doc(L"cat [cat\ncat cat\ncat]| cat\ncat"),
         Cmd(ID_EDIT_REPLACE),
         Set(IDC_FIND_TEXT, L"cat"),
         Set(IDC_REPLACE_TEXT, L"dog"),
         Push(IDC_REPLACE_IN_SELECTION),
         Push(IDC_REPLACE_ALL),
         Is(once),
         Says(Replaced(4)),
         Sel("0,4-2,3"),
         Push(IDC_FIND_REGEX),
         Set(IDC_FIND_TEXT, L"^"),
         Set(IDC_REPLACE_TEXT, L"// "),
         Doc(L"cat dog\n[dog dog\ndog cat\n]|cat"),
         Push(IDC_REPLACE_ALL),
         Is(twice),
         Sel("1,0-3,0"),
         Go(0, 0),
         Push(IDC_REPLACE_ALL),
         Is(twice),
         Says(LanguageString(IDS_NOTHING_SELECTED))});
}

TEST_F(FindDialogs, FindNextBeforeAnyDialogSearchesForTheLastTextOfTheHistory) {
    settings::WriteHistory(settings::File::History, L"Find", {L"beta", L"alpha"});
    Run({Doc(L"alpha beta"), Cmd(ID_FIND_NEXT), Sel("0,6-10")});
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_FALSE(Shown());
    EXPECT_EQ(SendMessageW(Item(IDC_FIND_TEXT), CB_GETCOUNT, 0, 0), 2);  // both texts offered
}

// A refused pattern tells the engine's error, not "not found"; one over its
// budget (nested repetition that fails at the far end: forwards on the
// first line, backwards, as Replace All searches, on the second) says it
// is too complex, once per search, with the replacements made before the
// budget ran out.
TEST_F(FindDialogs, FailuresAreToldOnTheStatusBar) {
    Run({Doc(L"abc"), Cmd(ID_EDIT_REPLACE), Push(IDC_FIND_REGEX), Set(IDC_FIND_TEXT, L"a[bc"), Push(kNext),
         Sel("none")});
    EXPECT_FALSE(Status().empty());
    EXPECT_NE(Status(), NotFound(L"a[bc"));
    const std::wstring a(40, L'a'), text = a + L"b\nb" + a, complex = LanguageString(IDS_SEARCH_TOO_COMPLEX);
    Run({Doc(text), Set(IDC_FIND_TEXT, L"^(a+)+$"), Set(IDC_REPLACE_TEXT, L"x")});
    for (int button : {kNext, IDC_REPLACE_ALL, IDC_FIND_LIST_ALL}) {
        frame_->SetStatusMessage(L"marker");
        Run({Push(button), Says(complex), Is(text)});
    }
    Run({Doc(L"b" + a + L"\nx\nx"), Set(IDC_FIND_TEXT, L"^(a+)+$|x"), Push(IDC_REPLACE_ALL),
         Says(complex + L" " + Replaced(2))});
}

// The find text comes from a single-line selection shorter than 512 units,
// all of it selected in the focused field; the field holds 4096 at most.
TEST_F(FindDialogs, TheFindTextComesFromASingleLineSelectionShorterThan512) {
    Run({Doc(L"one [two]| three\nfour five"), Cmd(ID_EDIT_FIND)});
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"two");
    EXPECT_EQ(DWORD(SendMessageW(Item(IDC_FIND_TEXT), CB_GETEDITSEL, 0, 0)), DWORD(MAKELONG(0, 3)));
    const std::wstring x(600, L'x');
    for (const std::wstring& doc :
         {std::wstring(L"one two [three\nfour]| five"), L"[" + x.substr(0, 512) + L"]|" + x.substr(512)}) {
        Run({Doc(doc), Cmd(ID_EDIT_FIND)});
        EXPECT_EQ(Field(IDC_FIND_TEXT), L"two");
    }
    Run({Doc(L"[" + x.substr(0, 511) + L"]|" + x.substr(511)), Cmd(ID_EDIT_FIND)});
    EXPECT_EQ(Field(IDC_FIND_TEXT), std::wstring(511, L'x'));
    SetField(IDC_FIND_TEXT, L"");
    SendMessageW(FieldEdit(IDC_FIND_TEXT), EM_REPLACESEL, TRUE, LPARAM(std::wstring(5000, L'y').c_str()));
    EXPECT_EQ(Field(IDC_FIND_TEXT).size(), 4096u);
}

// Selecting the word is the whole first step; backwards the word is
// selected and the search goes on from it. The dialog is never shown.
TEST_F(FindDialogs, TheWordCommandsTakeTheWordUnderTheCaret) {
    const int next = ID_FIND_NEXT_WORD, previous = ID_FIND_PREVIOUS_WORD;
    Run({Doc(L"f|oo bar foo bar foo"), Cmd(next), Sel("0,0-3"), Cmd(next), Sel("0,8-11"), Cmd(next),
         Sel("0,16-19"), Cmd(next), Sel("0,16-19"), Says(NotFound(L"foo")), Cmd(previous), Sel("0,8-11")});
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"foo");
    Run({Go(0, 13), Cmd(previous), Sel("0,4-7")});
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"bar");
    EXPECT_FALSE(Shown());
}

// The other form replaces the dialog. Replace selects the next match;
// both texts go to their histories, newest first.
TEST_F(FindDialogs, ReplaceOneThenAllAndTheHistories) {
    Run({Doc(L"cat dog cat\ncat"), Cmd(ID_EDIT_FIND)});
    const HWND find = DialogWindow();
    Command(ID_EDIT_REPLACE);
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_TRUE(Dialog()->IsReplace());
    EXPECT_FALSE(IsWindow(find));
    Run({Set(IDC_FIND_TEXT, L"cat"), Set(IDC_REPLACE_TEXT, L"bird"), Push(IDC_REPLACE_BUTTON),
         Is(L"bird dog cat\ncat"), Sel("0,9-12"), Push(IDC_REPLACE_ALL), Is(L"bird dog bird\nbird"),
         Says(Replaced(2)), Set(IDC_FIND_TEXT, L"zebra"), Push(IDC_REPLACE_ALL), Says(Replaced(0))});
    const auto finds = settings::ReadHistory(settings::File::History, L"Find");
    ASSERT_GE(finds.size(), 2u);
    EXPECT_EQ(std::vector<std::wstring>(finds.begin(), finds.begin() + 2),
              (std::vector<std::wstring>{L"zebra", L"cat"}));
    EXPECT_EQ(settings::ReadHistory(settings::File::History, L"Replace"), std::vector<std::wstring>{L"bird"});
}

// The texts the status bar is given, and an Esc pressed once the progress
// shown reaches `escapeAt` percent.
struct StatusLog {
    std::vector<std::wstring> texts;
    HWND escapeTo = nullptr;
    int escapeAt = 101;
    int Count(const wchar_t* part) {
        int n = 0;
        for (const std::wstring& t : texts) n += t.find(part) != std::wstring::npos;
        return n;
    }
};
LRESULT CALLBACK WatchStatus(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    if (msg == SB_SETTEXTW && lp) {
        auto* log = reinterpret_cast<StatusLog*>(data);
        const std::wstring text = reinterpret_cast<const wchar_t*>(lp);
        log->texts.push_back(text);
        if (log->escapeTo && text.find(L"% done") != std::wstring::npos &&
            _wtoi(text.c_str() + 11) >= log->escapeAt) {
            PostMessageW(log->escapeTo, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            log->escapeTo = nullptr;
        }
    }
    return DefSubclassProc(w, msg, wp, lp);
}

// Long work tells how far it is and Esc stops it: a stopped Replace All
// keeps what it replaced as one undo step, a stopped search says so.
TEST_F(FindDialogs, LongWorkShowsItsProgressAndEscStopsIt) {
    const DWORD delay = shell::CLongWork::SetDelay(0);
    std::wstring text;
    for (int i = 0; i < 3000; ++i) text += L"cat\n";
    SetText(text);
    const std::wstring before = Text();
    StatusLog log;
    SetWindowSubclass(frame_->StatusBar(), &WatchStatus, 1, reinterpret_cast<DWORD_PTR>(&log));
    Command(ID_EDIT_REPLACE);
    SetField(IDC_FIND_TEXT, L"cat");
    SetField(IDC_REPLACE_TEXT, L"dog");
    log.escapeTo = DialogWindow();
    log.escapeAt = 30;
    Click(IDC_REPLACE_ALL);
    const std::wstring stopped = Text();
    size_t dogs = 0;
    for (size_t at = 0; (at = stopped.find(L"dog", at)) != std::wstring::npos; ++at) ++dogs;
    EXPECT_GT(dogs, 0u);
    EXPECT_LT(dogs, 3000u);
    EXPECT_EQ(Status(), FormatLanguageString(IDS_REPLACE_STOPPED, {std::to_wstring(dogs)}));
    // From the last line up: the replaced lines are the last ones.
    EXPECT_EQ(stopped.substr(stopped.size() - 4), L"dog\n");
    EXPECT_EQ(stopped.substr(0, 4), L"cat\n");
    SendMessageW(Pane(), WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(Text(), before);

    // Not stopped: the progress went up to the end, then the count.
    log.texts.clear();
    Click(IDC_REPLACE_ALL);
    EXPECT_EQ(Status(), Replaced(3000));
    EXPECT_GT(log.Count(L"Replacing: "), 1);
    const std::wstring replaced = Text();

    // Its undo (6,000 commands) shows progress too, and Esc stops it with
    // the document whole; the next undo does the rest.
    log.texts.clear();
    Esc(frame_->Window());
    SendMessageW(Pane(), WM_COMMAND, ECMD_UNDO, 0);
    const std::wstring half = Text();
    EXPECT_NE(half, replaced);
    EXPECT_NE(half, before);
    EXPECT_EQ(half.size(), before.size());  // every line is "cat" or "dog": nothing half done
    EXPECT_EQ(Status(), LanguageString(IDS_UNDO_STOPPED));
    EXPECT_GT(log.Count(L"% done"), 0);
    SendMessageW(Pane(), WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(Text(), before);
    SendMessageW(Pane(), WM_COMMAND, ECMD_REDO, 0);
    EXPECT_EQ(Text(), replaced);

    // An edit command of many lines (Indent of 3,000) likewise: stopped, it
    // has indented some lines whole, and one Undo takes them back.
    SendMessageW(Pane(), WM_COMMAND, ECMD_SELECTALL, 0);
    Esc(frame_->Window());
    SendMessageW(Pane(), WM_COMMAND, ECMD_INDENT, 0);
    const std::wstring indented = Text();
    EXPECT_NE(indented, replaced);
    EXPECT_EQ(Status(), LanguageString(IDS_EDIT_STOPPED));
    EXPECT_NE(indented.find(L"\ndog\n"), std::wstring::npos) << "stopped before the end";
    SendMessageW(Pane(), WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(Text(), replaced);

    // A search stopped before it found anything leaves the caret.
    SetField(IDC_FIND_TEXT, L"zebra");
    SetCaret(Pane(), 5, 1);
    Esc(DialogWindow());
    Run({Push(kNext), Sel("none"), Says(LanguageString(IDS_SEARCH_STOPPED))});
    EXPECT_EQ(testing_support::CaretOf(Pane()), (Position{5, 1}));
    EXPECT_TRUE(Shown()) << "Esc went to the search, not to the dialog";
    RemoveWindowSubclass(frame_->StatusBar(), &WatchStatus, 1);
    shell::CLongWork::SetDelay(delay);
}

TEST_F(FindDialogs, OptionsAreRememberedAndRegularExpressionsOfferFragments) {
    Command(ID_EDIT_FIND);
    EXPECT_FALSE(Checked(IDC_FIND_MATCH_CASE));
    EXPECT_TRUE(Enabled(IDC_FIND_WHOLE_WORD));
    EXPECT_FALSE(Enabled(IDC_FIND_TEXT_MENU));
    for (int id : {IDC_FIND_MATCH_CASE, IDC_FIND_REGEX, IDC_FIND_HIGHLIGHT}) Click(id);
    EXPECT_FALSE(Enabled(IDC_FIND_WHOLE_WORD));
    EXPECT_TRUE(Enabled(IDC_FIND_TEXT_MENU));
    EXPECT_EQ(settings::ReadClampedInt(settings::File::Setting, L"Find", L"Options"),
              search::FIND_MATCH_CASE | search::FIND_REGEX | search::FIND_HIGHLIGHT_ALL);
    // A fragment replaces the field's selection; brackets keep the caret
    // inside; nothing chosen changes nothing.
    SetField(IDC_FIND_TEXT, L"ab");
    SendMessageW(Item(IDC_FIND_TEXT), CB_SETEDITSEL, 0, MAKELPARAM(1, 1));
    const std::pair<UINT, const wchar_t*> fragments[] = {{4, L"a\\db"}, {15, L"a\\d()b"}, {0, L"a\\d()b"}};
    for (auto [fragment, after] : fragments) {  // a digit, a group, none
        g_fragment = fragment;
        Click(IDC_FIND_TEXT_MENU);
        EXPECT_EQ(Field(IDC_FIND_TEXT), after) << fragment;
    }
    // A new dialog (the other form) shows the same options.
    Command(ID_EDIT_REPLACE);
    for (int id : {IDC_FIND_MATCH_CASE, IDC_FIND_REGEX, IDC_FIND_HIGHLIGHT}) EXPECT_TRUE(Checked(id)) << id;
    EXPECT_FALSE(Checked(IDC_FIND_CLOSE_AFTER));
    EXPECT_TRUE(Enabled(IDC_REPLACE_TEXT_MENU));
    g_fragment = 1;  // whole match
    SetField(IDC_REPLACE_TEXT, L"");
    Click(IDC_REPLACE_TEXT_MENU);
    EXPECT_EQ(Field(IDC_REPLACE_TEXT), L"$&");
    Click(IDC_FIND_REGEX);
    EXPECT_TRUE(Enabled(IDC_FIND_WHOLE_WORD));
    EXPECT_FALSE(Enabled(IDC_REPLACE_TEXT_MENU));
    // Options are written as they change: a hand-edited value out of range
    // reads as no options in the next dialog.
    settings::WriteInt(settings::File::Setting, L"Find", L"Options", 4096);
    Command(ID_EDIT_FIND);
    EXPECT_FALSE(Checked(IDC_FIND_MATCH_CASE));
}

// A character typed in the field goes to the field, not to the document;
// Enter presses the default button, Find Next; Escape hides the dialog.
TEST_F(FindDialogs, TheDialogKeepsItsKeysAndEnterRunsFindNext) {
    SetText(L"one two one");
    Command(ID_EDIT_FIND);
    SetField(IDC_FIND_TEXT, L"tw");
    const HWND field = FieldEdit(IDC_FIND_TEXT);
    SendMessageW(field, EM_SETSEL, 2, 2);
    PostMessageW(field, WM_CHAR, L'o', 0);
    Loop();
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"two");
    EXPECT_EQ(Text(), L"one two one");
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        MSG msg = {field, WM_KEYDOWN, key, 0};
        EXPECT_TRUE(frame_->PreTranslateMessage(&msg)) << key;
        Loop();
    }
    EXPECT_EQ(Selection(), "0,4-7");
    EXPECT_FALSE(Shown());
}

// Close after find hides the dialog on a success only; Close hides it and
// Find shows the same dialog again.
TEST_F(FindDialogs, CloseAfterFindHidesTheDialogOnASuccessOnly) {
    Run({Doc(L"one two"), Cmd(ID_EDIT_FIND), Push(IDC_FIND_CLOSE_AFTER), Set(IDC_FIND_TEXT, L"three"),
         Push(kNext)});
    EXPECT_TRUE(Shown());
    Run({Set(IDC_FIND_TEXT, L"two"), Push(kNext), Sel("0,4-7")});
    EXPECT_FALSE(Shown());
    Command(ID_EDIT_FIND);
    search::CFindDialog* shown = Dialog();
    Click(IDCANCEL);
    EXPECT_FALSE(Shown());
    Command(ID_EDIT_FIND);
    EXPECT_EQ(Dialog(), shown);
    EXPECT_TRUE(Shown());
}

// Off, typing searches nothing; on, it follows typing, from the top once
// when it finds nothing further on, and paints a failure yellow until the
// text is found again or the option is switched off.
TEST_F(FindDialogs, IncrementalSearchFollowsTypingAndPaintsAFailureYellow) {
    Run({Doc(L"apple\napricot\nbanana"), Cmd(ID_EDIT_FIND), Set(IDC_FIND_TEXT, L"")});
    auto yellow = [&] {  // the background the dialog gives the find text's field
        HDC dc = CreateCompatibleDC(nullptr);
        SetBkColor(dc, RGB(1, 2, 3));
        SendMessageW(DialogWindow(), WM_CTLCOLOREDIT, WPARAM(dc), LPARAM(FieldEdit(IDC_FIND_TEXT)));
        const COLORREF color = GetBkColor(dc);
        DeleteDC(dc);
        return color == search::kNotFoundColor;
    };
    const struct {
        std::vector<Step> before;
        const wchar_t* typed;
        const char* selection;  // null: not checked
        bool yellow;
    } steps[] = {
        {{}, L"ap", "none", false},  // off
        {{Set(IDC_FIND_TEXT, L""), Push(IDC_FIND_INCREMENTAL)}, L"apr", "1,0-3", false},
        {{}, L"x", nullptr, true},
        {{}, L"\b", "1,0-3", false},
        {{Go(2, 0), Set(IDC_FIND_TEXT, L"")}, L"app", "0,0-3", false},
        {{}, L"q", nullptr, true},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << "typing " << &s - steps);
        Run(s.before);
        TypeInto(IDC_FIND_TEXT, s.typed);
        if (s.selection) EXPECT_EQ(Selection(), s.selection);
        EXPECT_EQ(yellow(), s.yellow);
        EXPECT_EQ(Dialog()->IncrementalFound(), !s.yellow);
    }
    Click(IDC_FIND_INCREMENTAL);
    EXPECT_FALSE(yellow());
}

TEST_F(FindDialogs, ListAllWritesResultLinesWithTheDocumentsPathToTheOutput) {
    const std::wstring path = File(L"list.txt", "red green\r\nblue\r\ngreen red\r\n");
    ASSERT_NE(frame_->OpenDocument(path), nullptr);
    Command(ID_EDIT_FIND);
    SetField(IDC_FIND_TEXT, L"red");
    Click(IDC_FIND_LIST_ALL);
    const std::wstring hits = L"#<" + path + L">:(1,0):red green\n#<" + path + L">:(3,6):green red\n";
    EXPECT_NE(Output().find(hits + L"2 occurrences were found!"), std::wstring::npos)
        << testing::PrintToString(Output());
    const HWND output = frame_->OutputWindow();
    EXPECT_TRUE(frame_->Docking().IsVisible(output));
    // A second listing starts on a line of its own, and the output marks
    // the find text.
    {
        CHighlighterWatch watch(output);
        Output().clear();
        SetField(IDC_FIND_TEXT, L"green");
        Click(IDC_FIND_LIST_ALL);
        EXPECT_EQ(Output().rfind(L"\n#<" + path + L">:(1,4):red green", 0), 0u)
            << testing::PrintToString(Output());
        EXPECT_TRUE(watch.Highlighted());
    }
    // A document without a file names no path.
    Output().clear();
    Command(ID_FILE_NEW);
    SetText(L"red");
    SetField(IDC_FIND_TEXT, L"red");
    Click(IDC_FIND_LIST_ALL);
    EXPECT_NE(Output().find(L"#<>:(1,0):red"), std::wstring::npos) << testing::PrintToString(Output());
    // A refused pattern writes nothing, not even the separating line, and
    // the output stays shown.
    Output().clear();
    Click(IDC_FIND_REGEX);
    SetField(IDC_FIND_TEXT, L"(red");
    Click(IDC_FIND_LIST_ALL);
    EXPECT_EQ(Output(), L"");
    EXPECT_TRUE(frame_->Docking().IsVisible(output));
    EXPECT_TRUE(GetWindowLongPtrW(output, GWL_STYLE) & WS_VISIBLE);
}

// A short word selected by a double click or the select-word command is
// highlighted; a long one, or one that starts with a delimiter, removes
// the highlight; a view of the output kind never highlights.
TEST_F(FindDialogs, SelectingAShortWordHighlightsItAndALongOneRemovesTheHighlight) {
    SetText(L"abc xyz ABC abcd\n" + std::wstring(40, L'w') + L" abc\n  (paren)");
    CHighlighterWatch watch(Pane());
    auto doubleClick = [&](int line, int column) {  // at a client point found by hit tests
        RECT rc = {};
        GetClientRect(Pane(), &rc);
        int hit[4] = {}, top = -1, bottom = -1;
        auto test = [&](int x, int y) {
            return SendMessageW(Pane(), MPM_HITTEST, WPARAM(hit), MAKELPARAM(x, y));
        };
        for (int y = 0; y < rc.bottom; ++y) {
            test(rc.right / 2, y);
            if (hit[0] == line) bottom = y, top = top < 0 ? y : top;
        }
        const int y = (top + bottom) / 2;
        for (int x = 0; x < rc.right; ++x) {
            test(x, y);
            if (hit[0] != line || hit[1] != column) continue;
            for (UINT msg :
                 std::initializer_list<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
                SendMessageW(Pane(), msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x + 1, y));
            return;
        }
    };
    doubleClick(0, 1);
    EXPECT_EQ(Selection(), "0,0-3");
    EXPECT_TRUE(watch.Highlighted());
    doubleClick(1, 10);  // 40 units: too long to highlight
    EXPECT_EQ(Selection(), "1,0-40");
    EXPECT_FALSE(watch.Highlighted());
    SetCaret(Pane(), 1, 42);
    SendMessageW(Pane(), WM_COMMAND, ECMD_SELECTWORD, 0);
    EXPECT_EQ(Selection(), "1,41-44");
    EXPECT_TRUE(watch.Highlighted());
    doubleClick(2, 2);
    if (SendMessageW(Pane(), MPM_ISDELIMITER, WPARAM(L'('), 0) == 1 && Selection().rfind("2,2-", 0) == 0)
        EXPECT_FALSE(watch.Highlighted());
    // The output window's kind of view.
    SendMessageW(Pane(), MPM_FREEZECARET, 1, 0);
    const int adds = watch.adds;
    SetCaret(Pane(), 0, 5);
    SendMessageW(Pane(), WM_COMMAND, ECMD_SELECTWORD, 0);
    EXPECT_EQ(Selection(), "0,4-7");
    EXPECT_EQ(watch.adds, adds);
}

TEST_F(FindDialogs, HighlightAllMarksTheMatchesOfASuccessfulFindAndUntickingRemovesThem) {
    SetText(L"one two one");
    CHighlighterWatch watch(Pane());
    Run({Cmd(ID_EDIT_FIND), Set(IDC_FIND_TEXT, L"one"), Push(kNext)});
    EXPECT_FALSE(watch.Highlighted());
    Run({Push(IDC_FIND_HIGHLIGHT), Push(kNext)});
    EXPECT_TRUE(watch.Highlighted());
    Click(IDC_FIND_HIGHLIGHT);
    EXPECT_FALSE(watch.Highlighted());
}

TEST_F(FindDialogs, EachDialogHasEveryControlWithMnemonicsOfItsOwnAndEachFragmentAnItem) {
    for (bool replace : {false, true}) {
        Command(replace ? ID_EDIT_REPLACE : ID_EDIT_FIND);
        ASSERT_NE(Dialog(), nullptr);
        for (int id = IDC_FIND_TEXT; id <= IDC_REPLACE_ALL; ++id) {
            const bool replaceOnly = id == IDC_REPLACE_TEXT || id == IDC_REPLACE_TEXT_MENU ||
                                     id == IDC_REPLACE_BUTTON || id == IDC_REPLACE_ALL;
            EXPECT_EQ(Item(id) != nullptr, replace || !replaceOnly) << id;
        }
        std::wstring keys;
        for (HWND child = GetWindow(DialogWindow(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t text[128] = {};
            GetWindowTextW(child, text, 128);
            const wchar_t* amp = wcschr(text, L'&');
            if (!amp || !amp[1]) continue;
            const wchar_t key = wchar_t(towlower(amp[1]));
            EXPECT_EQ(keys.find(key), std::wstring::npos)
                << "twice: " << char(key) << (replace ? " (replace)" : "");
            keys += key;
        }
    }
    for (auto [menuId, count] :
         {std::pair<int, size_t>{IDM_FIND_FRAGMENTS, search::FindFragments().size()},
          std::pair<int, size_t>{IDM_REPLACE_FRAGMENTS, search::ReplaceFragments().size()}}) {
        HMENU menu = LoadMenuW(shell::ResourceModule(), MAKEINTRESOURCEW(menuId));
        ASSERT_NE(menu, nullptr);
        for (UINT id = 1; id <= count + 1; ++id)
            EXPECT_EQ(GetMenuStringW(GetSubMenu(menu, 0), id, nullptr, 0, MF_BYCOMMAND) > 0, id <= count)
                << menuId << " item " << id;
        DestroyMenu(menu);
    }
}
