// Find in files through the frame's command, its dialog and its progress
// dialog: the controls with their defaults and histories, a search into the
// output window and one into a result document (its caption, lexer,
// highlight and double click), a refused expression, and Stop during a
// large tree. The main window is enabled again after every search.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CommandIds.h"
#include "DialogIds.h"
#include "EditProtocol.h"
#include "GrepDialog.h"
#include "SearchFrame.h"

using testing_support::WriteFileText;
using Texts = std::vector<std::wstring>;

namespace {

UINT g_fragment = 0;
UINT ChooseFragment(HMENU) { return g_fragment; }
std::wstring g_chosenFolder;
int g_browsed = 0;
std::wstring ChooseFolder(HWND, const std::wstring&) {
    ++g_browsed;
    return g_chosenFolder;
}

// Highlighters registered with any window of this thread, last first.
std::vector<std::pair<HWND, IHighlighter*>> g_highlighters;
LRESULT CALLBACK WatchSent(int code, WPARAM wp, LPARAM lp) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && m->message == MPM_HIGHLIGHTER && m->lParam == 1)
        g_highlighters.insert(g_highlighters.begin(), {m->hwnd, reinterpret_cast<IHighlighter*>(m->wParam)});
    return CallNextHookEx(nullptr, code, wp, lp);
}

class GrepUi : public CSearchFrameTest {
   protected:
    static void SetUpTestSuite() {
        CFrameTest::SetUpTestSuite();
        search::SetGrepFragmentChooser(&ChooseFragment);
        search::SetFolderChooser(&ChooseFolder);
    }
    static void TearDownTestSuite() {
        search::SetGrepFragmentChooser(nullptr);
        search::SetFolderChooser(nullptr);
        CFrameTest::TearDownTestSuite();
    }
    void SetUp() override {
        CSearchFrameTest::SetUp();
        if (HasFatalFailure()) return;
        tree_ = folder_ + L"tree";
        ASSERT_TRUE(CreateDirectoryW(tree_.c_str(), nullptr));
        g_fragment = g_browsed = 0;
        g_chosenFolder.clear();
        g_highlighters.clear();
    }

    HWND Frame() { return frame_->Window(); }
    search::CGrepDialog* Dialog() { return frame_->GrepDialog(); }
    HWND DialogWindow() override { return Dialog() ? Dialog()->Window() : nullptr; }
    void Open() {
        Command(ID_FIND_IN_FILES);
        ASSERT_NE(Dialog(), nullptr);
        ASSERT_TRUE(Dialog()->IsVisible());
    }
    Texts History(const wchar_t* section) { return settings::ReadHistory(settings::File::History, section); }
    // Handles messages until the progress dialog is gone (false on timeout);
    // the main window is enabled again then.
    bool WaitForSearch() {
        const bool done = testing_support::PumpUntil([&] { return !Dialog()->Progress(); }, 60000);
        EXPECT_TRUE(IsWindowEnabled(Frame()));
        return done;
    }
    // The search's settings, then OK.
    void Search(const std::wstring& pattern, bool toOutput, bool regex = false) {
        Open();
        SetField(IDC_GREP_FIND, pattern);
        SetField(IDC_GREP_FOLDER, tree_);
        SetField(IDC_GREP_TYPES, L"*.txt");
        if (Checked(IDC_GREP_OUTPUT) != toOutput) Click(IDC_GREP_OUTPUT);
        if (Checked(IDC_GREP_REGEX) != regex) Click(IDC_GREP_REGEX);
        SendMessageW(DialogWindow(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(Item(IDOK)));
    }
    void MakeTree() {
        ASSERT_TRUE(
            WriteFileText(tree_ + L"\\a.txt", "first line\r\nneedle at start\r\nno hit\r\nan needle\r\n"));
        ASSERT_TRUE(CreateDirectoryW((tree_ + L"\\sub").c_str(), nullptr));
        ASSERT_TRUE(WriteFileText(tree_ + L"\\sub\\b.txt", "xx needle\n"));
    }

    std::wstring tree_;
};

TEST_F(GrepUi, FindInFilesIsNoLongerPending) {
    frame_->EnableCommand(ID_FIND_IN_FILES, TRUE);
    const auto* state = frame_->CommandStates().Find(ID_FIND_IN_FILES);
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->enabled);
    EXPECT_EQ(frame_->GrepDialog(), nullptr);  // made on first use
}

TEST_F(GrepUi, TheDialogStartsWithItsDefaultsAndHistoriesAndOffersOkOnlyWithAFindText) {
    settings::WriteHistory(settings::File::History, L"GrepFind", {L"alpha", L"beta"});
    settings::WriteHistory(settings::File::History, L"GrepFileType", {L"*.cpp;*.h"});
    settings::WriteHistory(settings::File::History, L"GrepFolder", {L"C:\\src"});
    Open();
    EXPECT_EQ(SendMessageW(Item(IDC_GREP_FIND), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(Field(IDC_GREP_FIND), L"alpha");
    EXPECT_EQ(Field(IDC_GREP_TYPES), L"*.cpp;*.h");
    EXPECT_EQ(Field(IDC_GREP_FOLDER), L"C:\\src");
    EXPECT_EQ(SendMessageW(FieldEdit(IDC_GREP_FIND), EM_GETLIMITTEXT, 0, 0), search::kMaxGrepText);
    EXPECT_EQ(SendMessageW(FieldEdit(IDC_GREP_FOLDER), EM_GETLIMITTEXT, 0, 0), search::kMaxGrepText);

    // The code pages: automatic detection first (-1), then the program's list.
    HWND pages = Item(IDC_GREP_CODEPAGE);
    EXPECT_GT(SendMessageW(pages, CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(SendMessageW(pages, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageW(pages, CB_GETITEMDATA, 0, 0), -1);
    wchar_t first[100] = {};
    SendMessageW(pages, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_EQ(first, shell::LanguageString(15019));
    EXPECT_EQ(Dialog()->Request().options.codePage, -1);
    SendMessageW(pages, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(Dialog()->Request().options.codePage, int(SendMessageW(pages, CB_GETITEMDATA, 1, 0)));

    EXPECT_TRUE(Checked(IDC_GREP_SUBFOLDERS));
    for (int id :
         {IDC_GREP_REGEX, IDC_GREP_MATCH_CASE, IDC_GREP_OUTPUT, IDC_GREP_INVERT, IDC_GREP_NAMES_ONLY})
        EXPECT_FALSE(Checked(id)) << id;
    const search::GrepRequest request = Dialog()->Request();
    EXPECT_EQ(request.options.pattern, L"alpha");
    EXPECT_EQ(request.options.fileTypes, L"*.cpp;*.h");
    EXPECT_EQ(request.folder, L"C:\\src");
    EXPECT_TRUE(request.options.subfolders);
    EXPECT_FALSE(request.options.regex || request.options.matchCase || request.toOutput ||
                 request.options.invert || request.options.namesOnly);

    // OK follows the find text as it is typed.
    EXPECT_TRUE(Enabled(IDOK));
    SendMessageW(FieldEdit(IDC_GREP_FIND), EM_SETSEL, 0, -1);
    TypeInto(IDC_GREP_FIND, L"\b");
    EXPECT_EQ(Field(IDC_GREP_FIND), L"");
    EXPECT_FALSE(Enabled(IDOK));
    TypeInto(IDC_GREP_FIND, L"x");
    EXPECT_TRUE(Enabled(IDOK));

    // The fragment button only with a regular expression; a fragment goes in
    // at the caret, none dismissed.
    EXPECT_FALSE(Enabled(IDC_GREP_FIND_MENU));
    Click(IDC_GREP_REGEX);
    EXPECT_TRUE(Enabled(IDC_GREP_FIND_MENU));
    EXPECT_TRUE(Dialog()->Request().options.regex);
    for (UINT fragment : {4, 0}) {  // a digit
        g_fragment = fragment;
        Click(IDC_GREP_FIND_MENU);
        EXPECT_EQ(Field(IDC_GREP_FIND), L"x\\d");
    }
    Click(IDC_GREP_REGEX);
    EXPECT_FALSE(Enabled(IDC_GREP_FIND_MENU));

    // Browse sets the folder; a cancelled picker leaves it.
    for (const wchar_t* chosen : {L"D:\\work", L""}) {
        g_chosenFolder = chosen;
        Click(IDC_GREP_BROWSE);
        EXPECT_EQ(Field(IDC_GREP_FOLDER), L"D:\\work");
    }
    EXPECT_EQ(g_browsed, 2);

    // Cancel hides it; the command shows the same dialog again.
    SendMessageW(DialogWindow(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(Dialog()->IsVisible());
    search::CGrepDialog* same = Dialog();
    Open();
    EXPECT_EQ(Dialog(), same);
}

TEST_F(GrepUi, AnEmptyFindTextOrFolderStartsNothingButTheTextsAreRemembered) {
    Open();
    const std::pair<std::wstring, std::wstring> cases[] = {{L"", tree_}, {L"x", L""}};
    for (const auto& [find, folder] : cases) {
        SetField(IDC_GREP_FIND, find);
        SetField(IDC_GREP_FOLDER, folder);
        EXPECT_FALSE(Dialog()->Start());
        EXPECT_EQ(Dialog()->Progress(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(Frame()));
    }
    EXPECT_EQ(History(L"GrepFind"), Texts{L"x"});
    EXPECT_EQ(History(L"GrepFolder"), Texts{tree_});
}

TEST_F(GrepUi, ASearchIntoTheOutputWindowWritesItsHitsAndSummaryAndIsRemembered) {
    MakeTree();
    Search(L"needle", true);
    EXPECT_FALSE(Dialog()->IsVisible());
    ASSERT_TRUE(WaitForSearch());
    for (const std::wstring& line :
         {L"#<" + tree_ + L"\\a.txt>:(2,0):needle at start\n", L"#<" + tree_ + L"\\a.txt>:(4,3):an needle\n",
          L"#<" + tree_ + L"\\sub\\b.txt>:(1,3):xx needle\n", L"3 lines were found in " + tree_ + L"\n"})
        EXPECT_NE(Output().find(line), std::wstring::npos) << testing::PrintToString(line);
    // The output window shows it.
    const HWND output = frame_->OutputWindow();
    ASSERT_NE(output, nullptr);
    EXPECT_TRUE(frame_->Docking().IsVisible(output));
    EXPECT_GE(SendMessageW(output, MPM_GETLINECOUNT, 0, 0), 4);
    EXPECT_EQ(History(L"GrepFind"), Texts{L"needle"});
    EXPECT_EQ(History(L"GrepFileType"), Texts{L"*.txt"});
    EXPECT_EQ(History(L"GrepFolder"), Texts{tree_});
    EXPECT_EQ(Status(), L"");
    // Again: the texts are the histories' first items, once.
    Search(L"needle", true);
    ASSERT_TRUE(WaitForSearch());
    EXPECT_EQ(History(L"GrepFind"), Texts{L"needle"});
}

TEST_F(GrepUi, ASearchIntoADocumentOpensTheResultWithCaptionLexerAndHighlightAndItsLinesJump) {
    MakeTree();
    const size_t before = frame_->DocumentCount();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &WatchSent, nullptr, GetCurrentThreadId());
    Search(L"needle", false);
    ASSERT_TRUE(WaitForSearch());
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(frame_->DocumentCount(), before + 1);
    const HWND doc = frame_->ActiveDocument();
    EXPECT_EQ(TextOf(doc), shell::FormatLanguageString(15024, {L"needle", L"3"}));
    const HWND pane = frame_->ActivePane();
    auto* lexer = reinterpret_cast<ILexer*>(SendMessageW(pane, MPM_GETLEXER, 0, 0));
    ASSERT_NE(lexer, nullptr);
    EXPECT_STREQ(lexer->Name(), L"Grep");
    // The pattern's highlighter is the pane's.
    bool highlighted = false;
    for (const auto& [window, highlighter] : g_highlighters)
        highlighted |= window == pane && SendMessageW(pane, MPM_HIGHLIGHTER, WPARAM(highlighter), 2) == 1;
    EXPECT_TRUE(highlighted);
    EXPECT_EQ(SendMessageW(pane, MPM_CODEPAGE, WPARAM(-1), 0), 1200);

    // A double click on the second hit opens a.txt at line 4, column 3.
    const Texts lines = testing_support::LinesOf(pane);
    const auto hit = std::find_if(lines.begin(), lines.end(), [](const std::wstring& l) {
        return l.find(L"an needle") != std::wstring::npos;
    });
    ASSERT_NE(hit, lines.end());
    testing_support::SetCaret(pane, int(hit - lines.begin()), 2);
    SendMessageW(pane, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    SendMessageW(pane, WM_LBUTTONUP, 0, 0);
    ASSERT_NE(frame_->ActiveDocument(), doc);
    EXPECT_EQ(_wcsicmp(TextOf(frame_->ActiveDocument()).c_str(), (tree_ + L"\\a.txt").c_str()), 0)
        << testing::PrintToString(TextOf(frame_->ActiveDocument()));
    EXPECT_EQ(testing_support::CaretOf(frame_->ActivePane()), (Position{3, 3}));
}

// A refused expression, and one that runs out of its budget, are told on
// the status bar.
TEST_F(GrepUi, FailuresAreToldOnTheStatusBar) {
    ASSERT_TRUE(WriteFileText(tree_ + L"\\f.txt", std::string(20000, 'a') + "\n"));
    for (auto [pattern, toOutput] : {std::pair{L"(", true}, std::pair{L"(a*)*b(a*)*", false}}) {
        frame_->SetStatusMessage(L"");
        Search(pattern, toOutput, true);
        ASSERT_TRUE(WaitForSearch());
        EXPECT_NE(Status(), L"") << pattern;
    }
    EXPECT_EQ(Output().find(L"#<"), std::wstring::npos);
    EXPECT_EQ(Status(), shell::LanguageString(IDS_SEARCH_TOO_COMPLEX));
}

TEST_F(GrepUi, TheProgressDialogShowsThePathAndCountAndHoldsTheMainWindowUntilTheEnd) {
    int calls = 0, total = -1;
    search::CGrepCallBackDialog progress(Frame(), [&](const GrepUtil::CGreper& greper) {
        ++calls;
        total = greper.Total();
        EXPECT_TRUE(IsWindowEnabled(Frame()));  // enabled before the results are handed on
    });
    std::wstring written;
    progress.SetAppend([&](const std::wstring& text) { written += text; });
    auto greper = std::make_unique<GrepUtil::COutputGreper>(
        [&progress](const std::wstring& text) { progress.SendText(text); });
    greper->Configure({.pattern = L"x"});
    ASSERT_TRUE(progress.Start(std::move(greper), tree_));  // an empty folder: no progress of its own
    EXPECT_FALSE(IsWindowEnabled(Frame()));
    EXPECT_EQ(GetWindow(progress.Window(), GW_OWNER), Frame());
    Sleep(300);  // the worker has ended; its end waits in the queue
    const ULONGLONG shown = GetTickCount64();
    progress.Progress(L"C:\\some\\file.txt", 7);
    EXPECT_EQ(TextOf(GetDlgItem(progress.Window(), IDC_GREP_PATH)), L"C:\\some\\file.txt");
    EXPECT_EQ(TextOf(GetDlgItem(progress.Window(), IDC_GREP_COUNT)),
              shell::FormatLanguageString(15025, {L"7"}));
    // Shown at most every 50 ms, not for every file.
    progress.Progress(L"C:\\some\\next.txt", 8);
    if (GetTickCount64() - shown < 40)
        EXPECT_EQ(TextOf(GetDlgItem(progress.Window(), IDC_GREP_PATH)), L"C:\\some\\file.txt");
    Sleep(60);
    progress.Progress(L"C:\\some\\later.txt", 9);
    EXPECT_EQ(TextOf(GetDlgItem(progress.Window(), IDC_GREP_PATH)), L"C:\\some\\later.txt");
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(testing_support::PumpUntil([&] { return !progress.Running(); }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(total, 0);
    EXPECT_TRUE(IsWindowEnabled(Frame()));
    EXPECT_EQ(written, L"0 lines were found in " + tree_ + L"\n");
}

// The Stop button, and Esc as the message loop hands it over (through the
// frame's filter), end a search of a large tree with a summary and the main
// window back; closing the frame during a search stops it.
TEST_F(GrepUi, StopEscAndClosingTheFrameEndASearch) {
    for (int d = 0; d < 4; ++d) {
        const std::wstring dir = tree_ + L"\\d" + std::to_wstring(d);
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        for (int f = 0; f < 300; ++f)
            ASSERT_TRUE(WriteFileText(dir + L"\\f" + std::to_wstring(f) + L".txt", "a needle\n"));
    }
    for (bool esc : {false, true}) {
        Output().clear();
        Search(L"needle", true);
        search::CGrepCallBackDialog* progress = Dialog()->Progress();
        ASSERT_NE(progress, nullptr);
        EXPECT_FALSE(IsWindowEnabled(Frame()));
        EXPECT_TRUE(IsWindowVisible(progress->Window()));
        const HWND stop = GetDlgItem(progress->Window(), IDCANCEL);
        MSG key = {stop ? stop : progress->Window(), WM_KEYDOWN, VK_ESCAPE, 0x00010001};
        if (esc)
            EXPECT_TRUE(frame_->PreTranslateMessage(&key));
        else
            SendMessageW(progress->Window(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_FALSE(progress->KeepGoing());
        ASSERT_TRUE(WaitForSearch());
        const size_t summary = Output().find(L" lines were found in " + tree_ + L"\n");
        ASSERT_NE(summary, std::wstring::npos) << testing::PrintToString(Output().substr(0, 400));
        const size_t lineStart = Output().rfind(L'\n', summary);
        EXPECT_LT(std::stoi(Output().substr(lineStart == std::wstring::npos ? 0 : lineStart + 1)), 1200)
            << esc;
    }
    Search(L"needle", true);
    ASSERT_NE(Dialog()->Progress(), nullptr);
    frame_.reset();  // joins the worker: no crash, no hang
}

}  // namespace
