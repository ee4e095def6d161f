// The find and replace dialogs through their controls and the frame's
// commands: searches in both directions with their status-bar messages, the
// word-under-caret commands, replace and replace all, the remembered options
// and histories, the incremental search's colour, List All reaching the
// output, and the select-word highlight of document panes.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "CommandIds.h"
#include "DialogIds.h"
#include "EditProtocol.h"
#include "FindDialog.h"
#include "LongWork.h"
#include "MainFrame.h"
#include "Resources.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "SyntaxList.h"
#include "TestSupport.h"

using testing_support::Messages;
using testing_support::WriteFileText;

namespace {

// The frame with its output recorded where the output window takes it.
class RecordingFrame : public shell::CMainFrame {
public:
    LRESULT MORROWPAD_CALL AppendOutput(const wchar_t* text, int length) override {
        if (text && length > 0) output.append(text, size_t(length));
        return CMainFrame::AppendOutput(text, length);
    }
    std::wstring output;
};

// What the panes are told about highlighters, by pane.
struct HighlighterLog {
    IHighlighter* last = nullptr;
    int adds = 0, removes = 0;
};
LRESULT CALLBACK WatchHighlighters(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    if (msg == MPM_HIGHLIGHTER && (lp == 0 || lp == 1)) {
        auto* log = reinterpret_cast<HighlighterLog*>(data);
        if (lp == 1) {
            log->last = reinterpret_cast<IHighlighter*>(wp);
            ++log->adds;
        } else {
            ++log->removes;
        }
    }
    return DefSubclassProc(w, msg, wp, lp);
}

UINT g_fragment = 0;
UINT ChooseFragment(HMENU) { return g_fragment; }

class FindDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        language_ = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language_);
        search::SetFragmentChooser(&ChooseFragment);
    }
    static void TearDownTestSuite() {
        search::SetFragmentChooser(nullptr);
        shell::SetResourceModule(nullptr);
    }
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-find-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
        ASSERT_NE(edit_, nullptr);
        Messages().clear();
        frame_ = std::make_unique<RecordingFrame>();
        ASSERT_NE(frame_->Create(L"prog", edit_), nullptr);
    }
    void TearDown() override {
        frame_.reset();
        syntax::Reload();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        settings::SetProgramFolder(L"");
        EXPECT_TRUE(Messages().empty()) << "a search failure went to a message box";
    }

    HWND Pane() { return frame_->ActivePane(); }
    void Command(UINT id) { SendMessageW(frame_->Window(), WM_COMMAND, id, 0); }
    void SetText(const wchar_t* text) {
        Position start = {0, 0}, end = {0x7FFFFFF, 0x7FFFFFF};
        SendMessageW(Pane(), MPM_DELETERANGE, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        TextArg arg = {text, -1};
        SendMessageW(Pane(), MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
        Caret(0, 0);
    }
    std::wstring Text() {
        std::wstring all;
        const int n = int(SendMessageW(Pane(), MPM_GETLINECOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            const int len = int(SendMessageW(Pane(), MPM_GETLINE, WPARAM(i), 0));
            std::wstring line(size_t(len) + 1, L'\0');
            if (len) SendMessageW(Pane(), MPM_GETLINE, WPARAM(i), reinterpret_cast<LPARAM>(line.data()));
            line.resize(size_t(len));
            all += (i ? L"\n" : L"") + line;
        }
        return all;
    }
    void Caret(int line, int column) {
        Position p = {line, column};
        SendMessageW(Pane(), MPM_SETCARET, reinterpret_cast<WPARAM>(&p), 0);
    }
    void Select(int l0, int c0, int l1, int c1) {
        Position a = {l0, c0}, b = {l1, c1};
        SendMessageW(Pane(), MPM_SELECT, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    }
    // The single selection as "line,start-end" ("none" without one).
    std::string Selection() {
        Position s = {}, e = {};
        if (!SendMessageW(Pane(), MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e)))
            return "none";
        if (s.line == e.line && s.column == e.column) return "none";
        if (s.line != e.line) return std::to_string(s.line) + "," + std::to_string(s.column) + "-" +
                                     std::to_string(e.line) + "," + std::to_string(e.column);
        return std::to_string(s.line) + "," + std::to_string(s.column) + "-" + std::to_string(e.column);
    }
    std::wstring Status() {
        HWND bar = frame_->StatusBar();
        const int n = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, 0, 0));
        std::wstring text(size_t(n) + 1, L'\0');
        SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
        text.resize(size_t(n));
        return text;
    }
    void SetStatusMarker() { frame_->SetStatusMessage(L"marker"); }
    search::CFindDialog* Dialog() { return frame_->FindDialog(); }
    HWND Item(int id) { return GetDlgItem(Dialog()->Window(), id); }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    bool Checked(int id) { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetField(int id, const wchar_t* text) { SetWindowTextW(Item(id), text); }
    std::wstring Field(int id) {
        wchar_t buf[5000] = {};
        GetWindowTextW(Item(id), buf, 5000);
        return buf;
    }
    HWND FieldEdit(int id) {
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        GetComboBoxInfo(Item(id), &info);
        return info.hwndItem;
    }
    // Types into the find text as the user does (each key an edit notification).
    void Type(const wchar_t* text) {
        for (; *text; ++text) SendMessageW(FieldEdit(IDC_FIND_TEXT), WM_CHAR, *text, 0);
    }
    // The background the dialog gives the find text's field.
    COLORREF FieldBackground() {
        HDC dc = CreateCompatibleDC(nullptr);
        SetBkColor(dc, RGB(1, 2, 3));
        SendMessageW(Dialog()->Window(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(FieldEdit(IDC_FIND_TEXT)));
        const COLORREF color = GetBkColor(dc);
        DeleteDC(dc);
        return color;
    }
    // A client point of the pane over (line, column), found by hit tests.
    LPARAM PointOf(int line, int column) {
        RECT rc = {};
        GetClientRect(Pane(), &rc);
        int hit[4] = {};
        int top = -1, bottom = -1;
        for (int y = 0; y < rc.bottom; ++y) {
            SendMessageW(Pane(), MPM_HITTEST, reinterpret_cast<WPARAM>(hit), MAKELPARAM(rc.right / 2, y));
            if (hit[0] == line && top < 0) top = y;
            if (hit[0] == line) bottom = y;
        }
        const int y = (top + bottom) / 2;
        for (int x = 0; x < rc.right; ++x) {
            SendMessageW(Pane(), MPM_HITTEST, reinterpret_cast<WPARAM>(hit), MAKELPARAM(x, y));
            if (hit[0] == line && hit[1] == column) return MAKELPARAM(x + 1, y);
        }
        return MAKELPARAM(0, 0);
    }
    void DoubleClick(int line, int column) {
        const LPARAM at = PointOf(line, column);
        SendMessageW(Pane(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(Pane(), WM_LBUTTONUP, 0, at);
        SendMessageW(Pane(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageW(Pane(), WM_LBUTTONUP, 0, at);
    }
    bool Highlighted(const HighlighterLog& log) {
        return log.last && SendMessageW(Pane(), MPM_HIGHLIGHTER, reinterpret_cast<WPARAM>(log.last), 2) == 1;
    }

    static HMODULE language_;
    std::wstring folder_;
    HMODULE edit_ = nullptr;
    std::unique_ptr<RecordingFrame> frame_;
};
HMODULE FindDialogs::language_ = nullptr;

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
    SetText(L"alpha beta\nbeta alpha\ngamma");
    Command(ID_EDIT_FIND);
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_FALSE(Dialog()->IsReplace());
    EXPECT_TRUE(IsWindowVisible(Dialog()->Window()));
    EXPECT_EQ(GetWindow(Dialog()->Window(), GW_OWNER), frame_->Window());
    SetField(IDC_FIND_TEXT, L"alpha");
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_EQ(Selection(), "0,0-5");
    EXPECT_EQ(Status(), L"");
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_EQ(Selection(), "1,5-10");
    Click(IDC_FIND_NEXT_BUTTON);  // no wrapping around the end
    EXPECT_EQ(Selection(), "1,5-10");
    EXPECT_EQ(Status(), shell::FormatLanguageString(15204, {L"alpha"}));
    EXPECT_NE(Status().find(L"alpha"), std::wstring::npos);
    Click(IDC_FIND_PREVIOUS_BUTTON);
    EXPECT_EQ(Selection(), "0,0-5");
    EXPECT_EQ(Status(), L"");
    Click(IDC_FIND_PREVIOUS_BUTTON);
    EXPECT_EQ(Selection(), "0,0-5");
    EXPECT_EQ(Status(), shell::FormatLanguageString(15205, {L"alpha"}));

    // The frame's commands search without showing the dialog.
    ShowWindow(Dialog()->Window(), SW_HIDE);
    Command(ID_FIND_NEXT);
    EXPECT_EQ(Selection(), "1,5-10");
    EXPECT_FALSE(IsWindowVisible(Dialog()->Window()));
    Command(ID_FIND_PREVIOUS);
    EXPECT_EQ(Selection(), "0,0-5");
    // An empty find text does nothing at all.
    SetField(IDC_FIND_TEXT, L"");
    Caret(2, 0);
    Command(ID_FIND_PREVIOUS);
    EXPECT_EQ(Selection(), "none");
    EXPECT_EQ(Status(), L"");
}

// With wrap-around the searches go on from the other end and say so; it is
// remembered with the other options. Without a match anywhere the
// selection stays.
TEST_F(FindDialogs, WrapAroundSearchesOnFromTheOtherEndAndSaysSo) {
    SetText(L"alpha beta\nbeta alpha\ngamma");
    Command(ID_EDIT_FIND);
    SetField(IDC_FIND_TEXT, L"alpha");
    Click(IDC_FIND_WRAP);
    ASSERT_TRUE(Checked(IDC_FIND_WRAP));
    Caret(1, 6);
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_EQ(Selection(), "0,0-5");
    EXPECT_EQ(Status(), shell::LanguageString(IDS_SEARCH_WRAPPED_TOP));
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_EQ(Selection(), "1,5-10");
    EXPECT_EQ(Status(), L"");
    Caret(0, 2);
    Click(IDC_FIND_PREVIOUS_BUTTON);
    EXPECT_EQ(Selection(), "1,5-10");
    EXPECT_EQ(Status(), shell::LanguageString(IDS_SEARCH_WRAPPED_BOTTOM));
    SetField(IDC_FIND_TEXT, L"zebra");
    Select(2, 1, 2, 3);
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_EQ(Selection(), "2,1-3");
    EXPECT_EQ(Status(), shell::FormatLanguageString(15204, {L"zebra"}));
    EXPECT_NE(settings::ReadClampedInt(settings::File::Setting, L"Find", L"Options") & search::FIND_WRAP, 0);
}

// Replace All in the selection: only what lies inside it, an empty match
// where it ends left alone, and the selection covering the result.
TEST_F(FindDialogs, ReplaceAllInTheSelectionReplacesOnlyThere) {
    SetText(L"cat cat\ncat cat\ncat cat\ncat");
    Command(ID_EDIT_REPLACE);
    SetField(IDC_FIND_TEXT, L"cat");
    SetField(IDC_REPLACE_TEXT, L"dog");
    Click(IDC_REPLACE_IN_SELECTION);
    Select(0, 4, 2, 3);
    Click(IDC_REPLACE_ALL);
    EXPECT_EQ(Text(), L"cat dog\ndog dog\ndog cat\ncat");
    EXPECT_EQ(Status(), shell::FormatLanguageString(15200, {L"4"}));
    EXPECT_EQ(Selection(), "0,4-2,3");
    // Whole lines selected: a line-start expression stops at the line after.
    Click(IDC_FIND_REGEX);
    SetField(IDC_FIND_TEXT, L"^");
    SetField(IDC_REPLACE_TEXT, L"// ");
    Select(1, 0, 3, 0);
    Click(IDC_REPLACE_ALL);
    EXPECT_EQ(Text(), L"cat dog\n// dog dog\n// dog cat\ncat");
    EXPECT_EQ(Selection(), "1,0-3,0");
    // Nothing selected: nothing replaced, and the status bar says why.
    Caret(0, 0);
    Click(IDC_REPLACE_ALL);
    EXPECT_EQ(Text(), L"cat dog\n// dog dog\n// dog cat\ncat");
    EXPECT_EQ(Status(), shell::LanguageString(IDS_NOTHING_SELECTED));
    Click(IDC_FIND_REGEX);
    Click(IDC_REPLACE_IN_SELECTION);
}

TEST_F(FindDialogs, FindNextBeforeAnyDialogSearchesForTheLastTextOfTheHistory) {
    settings::WriteHistory(settings::File::History, L"Find", {L"beta", L"alpha"});
    SetText(L"alpha beta");
    Command(ID_FIND_NEXT);
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_FALSE(IsWindowVisible(Dialog()->Window()));
    EXPECT_EQ(Selection(), "0,6-10");
    // Both texts are offered in the list.
    EXPECT_EQ(SendMessageW(Item(IDC_FIND_TEXT), CB_GETCOUNT, 0, 0), 2);
}

TEST_F(FindDialogs, AFaultyPatternTellsTheEnginesErrorAndNotNotFound) {
    SetText(L"abc");
    Command(ID_EDIT_FIND);
    Click(IDC_FIND_REGEX);
    SetField(IDC_FIND_TEXT, L"a[bc");
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_FALSE(Status().empty());
    EXPECT_NE(Status(), shell::FormatLanguageString(15204, {L"a[bc"}));
    EXPECT_EQ(Selection(), "none");
}

TEST_F(FindDialogs, ASearchOverItsBudgetSaysTooComplexOnce) {
    // Nested repetition that fails at the far end: forwards on the first
    // line, backwards (as Replace All searches) on the second.
    const std::wstring a(40, L'a');
    const std::wstring text = a + L"b\nb" + a;
    SetText(text.c_str());
    Command(ID_EDIT_REPLACE);
    Click(IDC_FIND_REGEX);
    SetField(IDC_FIND_TEXT, L"^(a+)+$");
    SetField(IDC_REPLACE_TEXT, L"x");
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_EQ(Status(), shell::LanguageString(IDS_SEARCH_TOO_COMPLEX));
    EXPECT_FALSE(shell::LanguageString(IDS_SEARCH_TOO_COMPLEX).empty());
    SetStatusMarker();
    Click(IDC_REPLACE_ALL);
    EXPECT_EQ(Status(), shell::LanguageString(IDS_SEARCH_TOO_COMPLEX));
    EXPECT_EQ(Text(), text);
    SetStatusMarker();
    Click(IDC_FIND_LIST_ALL);
    EXPECT_EQ(Status(), shell::LanguageString(IDS_SEARCH_TOO_COMPLEX));
    // Replacements made before the budget ran out are counted in the message.
    const std::wstring mixed = L"b" + a + L"\nx\nx";
    SetText(mixed.c_str());
    SetField(IDC_FIND_TEXT, L"^(a+)+$|x");
    SetStatusMarker();
    Click(IDC_REPLACE_ALL);
    EXPECT_EQ(Status(), shell::LanguageString(IDS_SEARCH_TOO_COMPLEX) + L" " +
                            shell::FormatLanguageString(15200, {L"2"}));
}

TEST_F(FindDialogs, TheFindTextComesFromASingleLineSelectionShorterThan512) {
    SetText(L"one two three\nfour five");
    Select(0, 4, 0, 7);
    Command(ID_EDIT_FIND);
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"two");
    // Focus in the find text, all of it selected (typing replaces it).
    const DWORD sel = DWORD(SendMessageW(Item(IDC_FIND_TEXT), CB_GETEDITSEL, 0, 0));
    EXPECT_EQ(LOWORD(sel), 0);
    EXPECT_EQ(HIWORD(sel), 3);
    Select(0, 8, 1, 4);  // two lines: the text stays
    Command(ID_EDIT_FIND);
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"two");
    std::wstring longLine(600, L'x');
    SetText(longLine.c_str());
    Select(0, 0, 0, 512);
    Command(ID_EDIT_FIND);
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"two");
    Select(0, 0, 0, 511);
    Command(ID_EDIT_FIND);
    EXPECT_EQ(Field(IDC_FIND_TEXT), std::wstring(511, L'x'));
    // The field holds at most 4096 units.
    SetField(IDC_FIND_TEXT, L"");
    std::wstring huge(5000, L'y');
    SendMessageW(FieldEdit(IDC_FIND_TEXT), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(huge.c_str()));
    EXPECT_EQ(Field(IDC_FIND_TEXT).size(), 4096u);
}

TEST_F(FindDialogs, TheWordCommandsTakeTheWordUnderTheCaret) {
    SetText(L"foo bar foo bar foo");
    Caret(0, 1);
    Command(ID_FIND_NEXT_WORD);  // selecting the word is the whole first step
    EXPECT_EQ(Selection(), "0,0-3");
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"foo");
    Command(ID_FIND_NEXT_WORD);
    EXPECT_EQ(Selection(), "0,8-11");
    Command(ID_FIND_NEXT_WORD);
    EXPECT_EQ(Selection(), "0,16-19");
    Command(ID_FIND_NEXT_WORD);
    EXPECT_EQ(Status(), shell::FormatLanguageString(15204, {L"foo"}));
    Command(ID_FIND_PREVIOUS_WORD);
    EXPECT_EQ(Selection(), "0,8-11");
    // Backwards the word is selected and the search goes on from it.
    Caret(0, 13);
    Command(ID_FIND_PREVIOUS_WORD);
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"bar");
    EXPECT_EQ(Selection(), "0,4-7");
    // The dialog was never shown for them.
    EXPECT_FALSE(IsWindowVisible(Dialog()->Window()));
}

TEST_F(FindDialogs, ReplaceOneThenAllAndUndoReplaceAllInOneStep) {
    SetText(L"cat dog cat\ncat");
    Command(ID_EDIT_FIND);
    const HWND find = Dialog()->Window();
    Command(ID_EDIT_REPLACE);  // the other form replaces the dialog
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_TRUE(Dialog()->IsReplace());
    EXPECT_FALSE(IsWindow(find));
    SetField(IDC_FIND_TEXT, L"cat");
    SetField(IDC_REPLACE_TEXT, L"bird");
    Click(IDC_REPLACE_BUTTON);
    EXPECT_EQ(Text(), L"bird dog cat\ncat");
    EXPECT_EQ(Selection(), "0,9-12");  // the next match is selected
    Click(IDC_REPLACE_ALL);
    EXPECT_EQ(Text(), L"bird dog bird\nbird");
    EXPECT_EQ(Status(), shell::FormatLanguageString(15200, {L"2"}));
    SendMessageW(Pane(), WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(Text(), L"bird dog cat\ncat");
    // Nothing to replace: the count is 0.
    SetField(IDC_FIND_TEXT, L"zebra");
    Click(IDC_REPLACE_ALL);
    EXPECT_EQ(Status(), shell::FormatLanguageString(15200, {L"0"}));
    // Both texts went to their histories, newest first.
    const auto finds = settings::ReadHistory(settings::File::History, L"Find");
    ASSERT_GE(finds.size(), 2u);
    EXPECT_EQ(finds[0], L"zebra");
    EXPECT_EQ(finds[1], L"cat");
    const auto replacements = settings::ReadHistory(settings::File::History, L"Replace");
    ASSERT_EQ(replacements.size(), 1u);
    EXPECT_EQ(replacements[0], L"bird");
}

// The texts the status bar is given, and an Esc pressed once the progress
// shown reaches `escapeAt` percent.
struct StatusLog {
    std::vector<std::wstring> texts;
    HWND escapeTo = nullptr;
    int escapeAt = 101;
};
LRESULT CALLBACK WatchStatus(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    if (msg == SB_SETTEXTW && lp) {
        auto* log = reinterpret_cast<StatusLog*>(data);
        const std::wstring text = reinterpret_cast<const wchar_t*>(lp);
        log->texts.push_back(text);
        if (log->escapeTo && text.find(L"% done") != std::wstring::npos && _wtoi(text.c_str() + 11) >= log->escapeAt) {
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
    SetText(text.c_str());
    const std::wstring before = Text();
    StatusLog log;
    SetWindowSubclass(frame_->StatusBar(), &WatchStatus, 1, reinterpret_cast<DWORD_PTR>(&log));
    Command(ID_EDIT_REPLACE);
    SetField(IDC_FIND_TEXT, L"cat");
    SetField(IDC_REPLACE_TEXT, L"dog");
    log.escapeTo = Dialog()->Window();
    log.escapeAt = 30;
    Click(IDC_REPLACE_ALL);
    const std::wstring stopped = Text();
    const size_t dogs = [&] {
        size_t n = 0;
        for (size_t at = 0; (at = stopped.find(L"dog", at)) != std::wstring::npos; ++at) ++n;
        return n;
    }();
    EXPECT_GT(dogs, 0u);
    EXPECT_LT(dogs, 3000u);
    EXPECT_EQ(Status(), shell::FormatLanguageString(IDS_REPLACE_STOPPED, {std::to_wstring(dogs)}));
    // From the last line up: the replaced lines are the last ones.
    EXPECT_EQ(stopped.substr(stopped.size() - 4), L"dog\n");
    EXPECT_EQ(stopped.substr(0, 4), L"cat\n");
    SendMessageW(Pane(), WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(Text(), before);

    // Not stopped: the progress went up to the end, then the count.
    log.texts.clear();
    Click(IDC_REPLACE_ALL);
    EXPECT_EQ(Status(), shell::FormatLanguageString(15200, {L"3000"}));
    int shown = 0;
    for (const std::wstring& t : log.texts) shown += t.rfind(L"Replacing: ", 0) == 0;
    EXPECT_GT(shown, 1);
    const std::wstring replaced = Text();

    // Its undo (6,000 commands) shows progress too, and Esc stops it with
    // the document whole; the next undo does the rest.
    log.texts.clear();
    PostMessageW(frame_->Window(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    SendMessageW(Pane(), WM_COMMAND, ECMD_UNDO, 0);
    const std::wstring half = Text();
    EXPECT_NE(half, replaced);
    EXPECT_NE(half, before);
    EXPECT_EQ(half.size(), before.size());  // every line is "cat" or "dog": nothing half done
    EXPECT_EQ(Status(), shell::LanguageString(IDS_UNDO_STOPPED));
    shown = 0;
    for (const std::wstring& t : log.texts) shown += t.find(L"% done") != std::wstring::npos;
    EXPECT_GT(shown, 0);
    SendMessageW(Pane(), WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(Text(), before);
    SendMessageW(Pane(), WM_COMMAND, ECMD_REDO, 0);
    EXPECT_EQ(Text(), replaced);

    // An edit command of many lines (Indent of 3,000) likewise: stopped, it
    // has indented some lines whole, and one Undo takes them back.
    SendMessageW(Pane(), WM_COMMAND, ECMD_SELECTALL, 0);
    log.texts.clear();
    PostMessageW(frame_->Window(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    SendMessageW(Pane(), WM_COMMAND, ECMD_INDENT, 0);
    const std::wstring indented = Text();
    EXPECT_NE(indented, replaced);
    EXPECT_EQ(Status(), shell::LanguageString(IDS_EDIT_STOPPED));
    EXPECT_NE(indented.find(L"\ndog\n"), std::wstring::npos) << "stopped before the end";
    SendMessageW(Pane(), WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(Text(), replaced);

    // A search stopped before it found anything leaves the caret.
    SetField(IDC_FIND_TEXT, L"zebra");
    Caret(5, 1);
    PostMessageW(Dialog()->Window(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_EQ(Status(), shell::LanguageString(IDS_SEARCH_STOPPED));
    EXPECT_EQ(Selection(), "none");
    Position caret = {};
    SendMessageW(Pane(), MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    EXPECT_EQ(caret.line, 5);
    EXPECT_EQ(caret.column, 1);
    EXPECT_TRUE(IsWindowVisible(Dialog()->Window())) << "Esc went to the search, not to the dialog";
    RemoveWindowSubclass(frame_->StatusBar(), &WatchStatus, 1);
    shell::CLongWork::SetDelay(delay);
}

TEST_F(FindDialogs, OptionsAreRememberedAndRegularExpressionsOfferFragments) {
    Command(ID_EDIT_FIND);
    EXPECT_FALSE(Checked(IDC_FIND_MATCH_CASE));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_FIND_WHOLE_WORD)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_FIND_TEXT_MENU)));
    Click(IDC_FIND_MATCH_CASE);
    Click(IDC_FIND_REGEX);
    Click(IDC_FIND_HIGHLIGHT);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_FIND_WHOLE_WORD)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_FIND_TEXT_MENU)));
    EXPECT_EQ(settings::ReadClampedInt(settings::File::Setting, L"Find", L"Options"),
              search::FIND_MATCH_CASE | search::FIND_REGEX | search::FIND_HIGHLIGHT_ALL);
    // A fragment replaces the field's selection; brackets keep the caret inside.
    SetField(IDC_FIND_TEXT, L"ab");
    SendMessageW(Item(IDC_FIND_TEXT), CB_SETEDITSEL, 0, MAKELPARAM(1, 1));
    g_fragment = 4;  // digit
    Click(IDC_FIND_TEXT_MENU);
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"a\\db");
    g_fragment = 15;  // group
    Click(IDC_FIND_TEXT_MENU);
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"a\\d()b");
    g_fragment = 0;  // nothing chosen
    Click(IDC_FIND_TEXT_MENU);
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"a\\d()b");

    // A new dialog (the other form) shows the same options.
    Command(ID_EDIT_REPLACE);
    EXPECT_TRUE(Checked(IDC_FIND_MATCH_CASE));
    EXPECT_TRUE(Checked(IDC_FIND_REGEX));
    EXPECT_TRUE(Checked(IDC_FIND_HIGHLIGHT));
    EXPECT_FALSE(Checked(IDC_FIND_CLOSE_AFTER));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_REPLACE_TEXT_MENU)));
    g_fragment = 1;  // whole match
    SetField(IDC_REPLACE_TEXT, L"");
    Click(IDC_REPLACE_TEXT_MENU);
    EXPECT_EQ(Field(IDC_REPLACE_TEXT), L"$&");
    Click(IDC_FIND_REGEX);
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_FIND_WHOLE_WORD)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_REPLACE_TEXT_MENU)));
    // Options are written as they change: a hand-edited value out of range
    // reads as no options in the next dialog.
    settings::WriteInt(settings::File::Setting, L"Find", L"Options", 4096);
    Command(ID_EDIT_FIND);
    EXPECT_FALSE(Checked(IDC_FIND_MATCH_CASE));
}

TEST_F(FindDialogs, TheDialogKeepsItsKeysAndEnterRunsFindNext) {
    SetText(L"one two one");
    Command(ID_EDIT_FIND);
    SetField(IDC_FIND_TEXT, L"tw");
    const HWND field = FieldEdit(IDC_FIND_TEXT);
    SendMessageW(field, EM_SETSEL, 2, 2);
    // A character typed in the field goes to the field, not to the document.
    MSG msg = {field, WM_CHAR, L'o', 0};
    if (!frame_->PreTranslateMessage(&msg)) DispatchMessageW(&msg);
    EXPECT_EQ(Field(IDC_FIND_TEXT), L"two");
    EXPECT_EQ(Text(), L"one two one");
    // Enter presses the default button, Find Next.
    msg = {field, WM_KEYDOWN, VK_RETURN, 0};
    EXPECT_TRUE(frame_->PreTranslateMessage(&msg));
    MSG pending;
    while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
        if (pending.message == WM_QUIT) break;
        if (!frame_->PreTranslateMessage(&pending)) {
            TranslateMessage(&pending);
            DispatchMessageW(&pending);
        }
    }
    EXPECT_EQ(Selection(), "0,4-7");
    // Escape hides the dialog.
    msg = {field, WM_KEYDOWN, VK_ESCAPE, 0};
    EXPECT_TRUE(frame_->PreTranslateMessage(&msg));
    while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
        if (pending.message == WM_QUIT) break;
        if (!frame_->PreTranslateMessage(&pending)) DispatchMessageW(&pending);
    }
    EXPECT_FALSE(IsWindowVisible(Dialog()->Window()));
}

TEST_F(FindDialogs, CloseAfterFindHidesTheDialogOnASuccessOnly) {
    SetText(L"one two");
    Command(ID_EDIT_FIND);
    Click(IDC_FIND_CLOSE_AFTER);
    SetField(IDC_FIND_TEXT, L"three");
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_TRUE(IsWindowVisible(Dialog()->Window()));
    SetField(IDC_FIND_TEXT, L"two");
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_FALSE(IsWindowVisible(Dialog()->Window()));
    EXPECT_EQ(Selection(), "0,4-7");
    // Close hides; Find shows the same dialog again.
    Command(ID_EDIT_FIND);
    search::CFindDialog* shown = Dialog();
    Click(IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(Dialog()->Window()));
    Command(ID_EDIT_FIND);
    EXPECT_EQ(Dialog(), shown);
    EXPECT_TRUE(IsWindowVisible(Dialog()->Window()));
}

TEST_F(FindDialogs, IncrementalSearchFollowsTypingAndPaintsAFailureYellow) {
    SetText(L"apple\napricot\nbanana");
    Caret(0, 0);
    Command(ID_EDIT_FIND);
    SetField(IDC_FIND_TEXT, L"");
    Type(L"ap");  // off: typing searches nothing
    EXPECT_EQ(Selection(), "none");
    SetField(IDC_FIND_TEXT, L"");
    Click(IDC_FIND_INCREMENTAL);
    Type(L"apr");
    EXPECT_EQ(Selection(), "1,0-3");
    EXPECT_NE(FieldBackground(), search::kNotFoundColor);
    Type(L"x");
    EXPECT_TRUE(!Dialog()->IncrementalFound());
    EXPECT_EQ(FieldBackground(), search::kNotFoundColor);
    SendMessageW(FieldEdit(IDC_FIND_TEXT), WM_CHAR, VK_BACK, 0);
    EXPECT_NE(FieldBackground(), search::kNotFoundColor);
    EXPECT_EQ(Selection(), "1,0-3");
    // From a later position it starts again at the top once.
    Caret(2, 0);
    SetField(IDC_FIND_TEXT, L"");
    Type(L"app");
    EXPECT_EQ(Selection(), "0,0-3");
    // Switching it off leaves the field white again.
    Type(L"q");
    EXPECT_EQ(FieldBackground(), search::kNotFoundColor);
    Click(IDC_FIND_INCREMENTAL);
    EXPECT_NE(FieldBackground(), search::kNotFoundColor);
}

TEST_F(FindDialogs, ListAllWritesResultLinesWithTheDocumentsPathToTheOutput) {
    const std::wstring path = folder_ + L"list.txt";
    ASSERT_TRUE(WriteFileText(path, "red green\r\nblue\r\ngreen red\r\n"));
    ASSERT_NE(frame_->OpenDocument(path), nullptr);
    Command(ID_EDIT_FIND);
    SetField(IDC_FIND_TEXT, L"red");
    Click(IDC_FIND_LIST_ALL);
    const std::wstring& out = frame_->output;
    EXPECT_NE(out.find(L"#<" + path + L">:(1,0):red green"), std::wstring::npos) << out;
    EXPECT_NE(out.find(L"#<" + path + L">:(3,6):green red"), std::wstring::npos) << out;
    EXPECT_NE(out.find(L"2 occurrences were found!"), std::wstring::npos) << out;
    EXPECT_EQ(out.find(L"blue"), std::wstring::npos);
    // The output window shows what it was given.
    const HWND output = frame_->OutputWindow();
    ASSERT_NE(output, nullptr);
    std::wstring shown;
    const int lines = int(SendMessageW(output, MPM_GETLINECOUNT, 0, 0));
    for (int i = 0; i < lines; ++i) {
        const int len = int(SendMessageW(output, MPM_GETLINE, WPARAM(i), 0));
        std::wstring line(size_t(len) + 1, L'\0');
        if (len) SendMessageW(output, MPM_GETLINE, WPARAM(i), reinterpret_cast<LPARAM>(line.data()));
        line.resize(size_t(len));
        shown += line + L"\n";
    }
    EXPECT_NE(shown.find(L"#<" + path + L">:(3,6):green red\n"), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"2 occurrences were found!"), std::wstring::npos) << shown;
    EXPECT_TRUE(frame_->Docking().IsVisible(output));
    // A second listing starts on a line of its own, and the output marks
    // the find text.
    HighlighterLog log;
    ASSERT_TRUE(SetWindowSubclass(output, &WatchHighlighters, 1, reinterpret_cast<DWORD_PTR>(&log)));
    frame_->output.clear();
    SetField(IDC_FIND_TEXT, L"green");
    Click(IDC_FIND_LIST_ALL);
    EXPECT_EQ(frame_->output.rfind(L"\n#<" + path + L">:(1,4):red green", 0), 0u) << frame_->output;
    EXPECT_GE(log.adds, 1);
    EXPECT_TRUE(log.last && SendMessageW(output, MPM_HIGHLIGHTER, reinterpret_cast<WPARAM>(log.last), 2) == 1);
    RemoveWindowSubclass(output, &WatchHighlighters, 1);
    // A document without a file names no path.
    frame_->output.clear();
    Command(ID_FILE_NEW);
    SetText(L"red");
    SetField(IDC_FIND_TEXT, L"red");
    Click(IDC_FIND_LIST_ALL);
    EXPECT_NE(frame_->output.find(L"#<>:(1,0):red"), std::wstring::npos) << frame_->output;
    // A refused pattern writes nothing, not even the separating line, and
    // the output stays shown.
    frame_->output.clear();
    Click(IDC_FIND_REGEX);
    SetField(IDC_FIND_TEXT, L"(red");
    Click(IDC_FIND_LIST_ALL);
    EXPECT_EQ(frame_->output, L"");
    EXPECT_TRUE(frame_->Docking().IsVisible(output));
    EXPECT_TRUE(GetWindowLongPtrW(output, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(FindDialogs, SelectingAShortWordHighlightsItAndALongOneRemovesTheHighlight) {
    const std::wstring longWord(40, L'w');
    SetText((L"abc xyz ABC abcd\n" + longWord + L" abc\n  (paren)").c_str());
    HighlighterLog log;
    ASSERT_TRUE(SetWindowSubclass(Pane(), &WatchHighlighters, 1, reinterpret_cast<DWORD_PTR>(&log)));
    DoubleClick(0, 1);
    EXPECT_EQ(Selection(), "0,0-3");
    EXPECT_GE(log.adds, 1);
    EXPECT_TRUE(Highlighted(log));
    DoubleClick(1, 10);  // 40 units: too long to highlight
    EXPECT_EQ(Selection(), "1,0-40");
    EXPECT_FALSE(Highlighted(log));
    // The select-word command does the same.
    Caret(1, 42);
    SendMessageW(Pane(), WM_COMMAND, ECMD_SELECTWORD, 0);
    EXPECT_EQ(Selection(), "1,41-44");
    EXPECT_TRUE(Highlighted(log));
    // A selection that starts with a delimiter removes it.
    DoubleClick(2, 2);
    Position s = {}, e = {};
    SendMessageW(Pane(), MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    if (SendMessageW(Pane(), MPM_ISDELIMITER, WPARAM(L'('), 0) == 1 && s.column == 2) {
        EXPECT_FALSE(Highlighted(log));
    }
    RemoveWindowSubclass(Pane(), &WatchHighlighters, 1);
}

TEST_F(FindDialogs, AViewOfTheOutputKindNeverHighlightsASelectedWord) {
    SetText(L"abc abc");
    HighlighterLog log;
    ASSERT_TRUE(SetWindowSubclass(Pane(), &WatchHighlighters, 1, reinterpret_cast<DWORD_PTR>(&log)));
    SendMessageW(Pane(), MPM_FREEZECARET, 1, 0);  // what the output window sets
    Caret(0, 1);
    SendMessageW(Pane(), WM_COMMAND, ECMD_SELECTWORD, 0);
    EXPECT_EQ(Selection(), "0,0-3");
    EXPECT_EQ(log.adds, 0);
    SendMessageW(Pane(), MPM_FREEZECARET, 0, 0);
    Caret(0, 1);
    SendMessageW(Pane(), WM_COMMAND, ECMD_SELECTWORD, 0);
    EXPECT_EQ(log.adds, 1);
    RemoveWindowSubclass(Pane(), &WatchHighlighters, 1);
}

TEST_F(FindDialogs, HighlightAllMarksTheMatchesOfASuccessfulFindAndUntickingRemovesThem) {
    SetText(L"one two one");
    HighlighterLog log;
    ASSERT_TRUE(SetWindowSubclass(Pane(), &WatchHighlighters, 1, reinterpret_cast<DWORD_PTR>(&log)));
    Command(ID_EDIT_FIND);
    SetField(IDC_FIND_TEXT, L"one");
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_FALSE(Highlighted(log));
    Click(IDC_FIND_HIGHLIGHT);
    Click(IDC_FIND_NEXT_BUTTON);
    EXPECT_TRUE(Highlighted(log));
    Click(IDC_FIND_HIGHLIGHT);
    EXPECT_FALSE(Highlighted(log));
    RemoveWindowSubclass(Pane(), &WatchHighlighters, 1);
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
        for (HWND child = GetWindow(Dialog()->Window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t text[128] = {};
            GetWindowTextW(child, text, 128);
            const wchar_t* amp = wcschr(text, L'&');
            if (!amp || !amp[1]) continue;
            const wchar_t key = wchar_t(towlower(amp[1]));
            EXPECT_EQ(keys.find(key), std::wstring::npos) << "twice: " << char(key) << (replace ? " (replace)" : "");
            keys += key;
        }
    }
    for (auto [menuId, count] : {std::pair<int, size_t>{IDM_FIND_FRAGMENTS, search::FindFragments().size()},
                                 std::pair<int, size_t>{IDM_REPLACE_FRAGMENTS, search::ReplaceFragments().size()}}) {
        HMENU menu = LoadMenuW(shell::ResourceModule(), MAKEINTRESOURCEW(menuId));
        ASSERT_NE(menu, nullptr);
        HMENU popup = GetSubMenu(menu, 0);
        for (UINT id = 1; id <= count; ++id) {
            wchar_t label[128] = {};
            EXPECT_GT(GetMenuStringW(popup, id, label, 128, MF_BYCOMMAND), 0) << menuId << " item " << id;
        }
        EXPECT_EQ(GetMenuStringW(popup, UINT(count + 1), nullptr, 0, MF_BYCOMMAND), 0);
        DestroyMenu(menu);
    }
}
