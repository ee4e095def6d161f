// Find in files through the frame's command, its dialog and its progress
// dialog: the controls with their defaults and histories, a search into the
// output window and one into a result document (its caption, lexer,
// highlight and double click), a refused expression, and Stop during a
// large tree. The main window is enabled again after every search.
#include <gtest/gtest.h>

#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <string>
#include <vector>

#include "CommandIds.h"
#include "DialogIds.h"
#include "EditProtocol.h"
#include "GrepDialog.h"
#include "MainFrame.h"
#include "Resources.h"
#include "Settings.h"
#include "SyntaxList.h"
#include "TestSupport.h"

using testing_support::Messages;
using testing_support::WriteFileText;

namespace {

class RecordingFrame : public shell::CMainFrame {
   public:
    LRESULT MORROWPAD_CALL AppendOutput(const wchar_t* text, int length) override {
        if (text && length > 0) output.append(text, size_t(length));
        return CMainFrame::AppendOutput(text, length);
    }
    std::wstring output;
};

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
    if (code == HC_ACTION) {
        const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
        if (m->message == MPM_HIGHLIGHTER && m->lParam == 1)
            g_highlighters.insert(g_highlighters.begin(),
                                  {m->hwnd, reinterpret_cast<IHighlighter*>(m->wParam)});
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

class GrepUi : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        language_ = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language_);
        search::SetGrepFragmentChooser(&ChooseFragment);
        search::SetFolderChooser(&ChooseFolder);
    }
    static void TearDownTestSuite() {
        search::SetGrepFragmentChooser(nullptr);
        search::SetFolderChooser(nullptr);
        shell::SetResourceModule(nullptr);
    }
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-grepui-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        tree_ = folder_ + L"tree";
        ASSERT_TRUE(CreateDirectoryW(tree_.c_str(), nullptr));
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
        ASSERT_NE(edit_, nullptr);
        Messages().clear();
        g_fragment = 0;
        g_browsed = 0;
        g_chosenFolder.clear();
        g_highlighters.clear();
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
        EXPECT_TRUE(Messages().empty()) << "find in files showed a message box";
    }

    HWND Frame() { return frame_->Window(); }
    search::CGrepDialog* Dialog() { return frame_->GrepDialog(); }
    void Open() {
        SendMessageW(Frame(), WM_COMMAND, ID_FIND_IN_FILES, 0);
        ASSERT_NE(Dialog(), nullptr);
        ASSERT_TRUE(Dialog()->IsVisible());
    }
    HWND Item(int id) { return GetDlgItem(Dialog()->Window(), id); }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    bool Checked(int id) { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetField(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }
    std::wstring Field(int id) {
        std::wstring text(size_t(GetWindowTextLengthW(Item(id))) + 1, L'\0');
        text.resize(size_t(GetWindowTextW(Item(id), text.data(), int(text.size()))));
        return text;
    }
    HWND FieldEdit(int id) {
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        GetComboBoxInfo(Item(id), &info);
        return info.hwndItem;
    }
    // Types into the find text as the user does.
    void Type(const wchar_t* text) {
        for (; *text; ++text) SendMessageW(FieldEdit(IDC_GREP_FIND), WM_CHAR, *text, 0);
    }
    std::wstring Status() {
        HWND bar = frame_->StatusBar();
        const int n = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, 0, 0));
        std::wstring text(size_t(n) + 1, L'\0');
        SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
        text.resize(size_t(n));
        return text;
    }
    // Pumps messages until the progress dialog is gone (false on timeout).
    bool WaitForSearch(DWORD timeout = 60000) {
        const DWORD start = GetTickCount();
        while (Dialog()->Progress()) {
            if (GetTickCount() - start > timeout) return false;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return true;
    }
    // The search's settings, then OK.
    void Search(const std::wstring& pattern, bool toOutput) {
        Open();
        SetField(IDC_GREP_FIND, pattern);
        SetField(IDC_GREP_FOLDER, tree_);
        SetField(IDC_GREP_TYPES, L"*.txt");
        if (Checked(IDC_GREP_OUTPUT) != toOutput) Click(IDC_GREP_OUTPUT);
        SendMessageW(Dialog()->Window(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(Item(IDOK)));
    }
    std::wstring PaneLine(HWND pane, int line) {
        const int len = int(SendMessageW(pane, MPM_GETLINE, WPARAM(line), 0));
        std::wstring text(size_t(len) + 1, L'\0');
        if (len) SendMessageW(pane, MPM_GETLINE, WPARAM(line), reinterpret_cast<LPARAM>(text.data()));
        text.resize(size_t(len));
        return text;
    }
    void MakeTree() {
        ASSERT_TRUE(
            WriteFileText(tree_ + L"\\a.txt", "first line\r\nneedle at start\r\nno hit\r\nan needle\r\n"));
        ASSERT_TRUE(CreateDirectoryW((tree_ + L"\\sub").c_str(), nullptr));
        ASSERT_TRUE(WriteFileText(tree_ + L"\\sub\\b.txt", "xx needle\n"));
    }

    static HMODULE language_;
    std::wstring folder_, tree_;
    HMODULE edit_ = nullptr;
    std::unique_ptr<RecordingFrame> frame_;
};
HMODULE GrepUi::language_ = nullptr;

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
    EXPECT_TRUE(IsWindowEnabled(Item(IDOK)));
    SendMessageW(FieldEdit(IDC_GREP_FIND), EM_SETSEL, 0, -1);
    SendMessageW(FieldEdit(IDC_GREP_FIND), WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(Field(IDC_GREP_FIND), L"");
    EXPECT_FALSE(IsWindowEnabled(Item(IDOK)));
    Type(L"x");
    EXPECT_TRUE(IsWindowEnabled(Item(IDOK)));

    // The fragment button only with a regular expression; a fragment goes in
    // at the caret.
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_GREP_FIND_MENU)));
    Click(IDC_GREP_REGEX);
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_GREP_FIND_MENU)));
    EXPECT_TRUE(Dialog()->Request().options.regex);
    g_fragment = 4;  // digit
    Click(IDC_GREP_FIND_MENU);
    EXPECT_EQ(Field(IDC_GREP_FIND), L"x\\d");
    g_fragment = 0;  // dismissed
    Click(IDC_GREP_FIND_MENU);
    EXPECT_EQ(Field(IDC_GREP_FIND), L"x\\d");
    Click(IDC_GREP_REGEX);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_GREP_FIND_MENU)));

    // Browse sets the folder; a cancelled picker leaves it.
    g_chosenFolder = L"D:\\work";
    Click(IDC_GREP_BROWSE);
    EXPECT_EQ(Field(IDC_GREP_FOLDER), L"D:\\work");
    g_chosenFolder.clear();
    Click(IDC_GREP_BROWSE);
    EXPECT_EQ(Field(IDC_GREP_FOLDER), L"D:\\work");
    EXPECT_EQ(g_browsed, 2);

    // Cancel hides it; the command shows the same dialog again.
    SendMessageW(Dialog()->Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(Dialog()->IsVisible());
    search::CGrepDialog* same = Dialog();
    Open();
    EXPECT_EQ(Dialog(), same);
}

TEST_F(GrepUi, AnEmptyFindTextOrFolderStartsNothingButTheTextsAreRemembered) {
    Open();
    SetField(IDC_GREP_FIND, L"");
    SetField(IDC_GREP_FOLDER, tree_);
    EXPECT_FALSE(Dialog()->Start());
    EXPECT_EQ(Dialog()->Progress(), nullptr);
    SetField(IDC_GREP_FIND, L"x");
    SetField(IDC_GREP_FOLDER, L"");
    EXPECT_FALSE(Dialog()->Start());
    EXPECT_TRUE(IsWindowEnabled(Frame()));
    EXPECT_EQ(settings::ReadHistory(settings::File::History, L"GrepFind"), std::vector<std::wstring>{L"x"});
    EXPECT_EQ(settings::ReadHistory(settings::File::History, L"GrepFolder"),
              std::vector<std::wstring>{tree_});
}

TEST_F(GrepUi, ASearchIntoTheOutputWindowWritesItsHitsAndSummaryAndIsRemembered) {
    MakeTree();
    Search(L"needle", true);
    EXPECT_FALSE(Dialog()->IsVisible());
    ASSERT_TRUE(WaitForSearch());
    EXPECT_TRUE(IsWindowEnabled(Frame()));
    const std::wstring& out = frame_->output;
    EXPECT_NE(out.find(L"#<" + tree_ + L"\\a.txt>:(2,0):needle at start\n"), std::wstring::npos) << out;
    EXPECT_NE(out.find(L"#<" + tree_ + L"\\a.txt>:(4,3):an needle\n"), std::wstring::npos) << out;
    EXPECT_NE(out.find(L"#<" + tree_ + L"\\sub\\b.txt>:(1,3):xx needle\n"), std::wstring::npos) << out;
    EXPECT_NE(out.find(L"3 lines were found in " + tree_ + L"\n"), std::wstring::npos) << out;
    // The output window shows it.
    const HWND output = frame_->OutputWindow();
    ASSERT_NE(output, nullptr);
    EXPECT_TRUE(frame_->Docking().IsVisible(output));
    EXPECT_GE(SendMessageW(output, MPM_GETLINECOUNT, 0, 0), 4);
    EXPECT_EQ(settings::ReadHistory(settings::File::History, L"GrepFind").front(), L"needle");
    EXPECT_EQ(settings::ReadHistory(settings::File::History, L"GrepFileType").front(), L"*.txt");
    EXPECT_EQ(settings::ReadHistory(settings::File::History, L"GrepFolder").front(), tree_);
    EXPECT_EQ(Status(), L"");

    // Again: the texts are the histories' first items, once.
    Search(L"needle", true);
    ASSERT_TRUE(WaitForSearch());
    EXPECT_EQ(settings::ReadHistory(settings::File::History, L"GrepFind").size(), 1u);
    EXPECT_TRUE(IsWindowEnabled(Frame()));
}

TEST_F(GrepUi, ASearchIntoADocumentOpensTheResultWithCaptionLexerAndHighlightAndItsLinesJump) {
    MakeTree();
    const size_t before = frame_->DocumentCount();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &WatchSent, nullptr, GetCurrentThreadId());
    Search(L"needle", false);
    ASSERT_TRUE(WaitForSearch());
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(IsWindowEnabled(Frame()));
    ASSERT_EQ(frame_->DocumentCount(), before + 1);
    const HWND doc = frame_->ActiveDocument();
    wchar_t caption[300] = {};
    GetWindowTextW(doc, caption, 300);
    EXPECT_EQ(caption, shell::FormatLanguageString(15024, {L"needle", L"3"}));
    const HWND pane = frame_->ActivePane();
    auto* lexer = reinterpret_cast<ILexer*>(SendMessageW(pane, MPM_GETLEXER, 0, 0));
    ASSERT_NE(lexer, nullptr);
    EXPECT_STREQ(lexer->Name(), L"Grep");
    // The pattern's highlighter is the pane's.
    bool highlighted = false;
    for (const auto& [window, highlighter] : g_highlighters)
        if (window == pane &&
            SendMessageW(pane, MPM_HIGHLIGHTER, reinterpret_cast<WPARAM>(highlighter), 2) == 1)
            highlighted = true;
    EXPECT_TRUE(highlighted);
    EXPECT_EQ(SendMessageW(pane, MPM_CODEPAGE, WPARAM(-1), 0), 1200);

    // A double click on the second hit opens a.txt at line 4, column 3.
    int hitLine = -1;
    for (int i = 0; i < int(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0)); ++i)
        if (PaneLine(pane, i).find(L"an needle") != std::wstring::npos) hitLine = i;
    ASSERT_GE(hitLine, 0);
    Position at = {hitLine, 2};
    SendMessageW(pane, MPM_SETCARET, reinterpret_cast<WPARAM>(&at), 0);
    SendMessageW(pane, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    SendMessageW(pane, WM_LBUTTONUP, 0, 0);
    const HWND opened = frame_->ActiveDocument();
    ASSERT_NE(opened, doc);
    wchar_t path[MAX_PATH] = {};
    GetWindowTextW(opened, path, MAX_PATH);
    EXPECT_EQ(_wcsicmp(path, (tree_ + L"\\a.txt").c_str()), 0) << path;
    Position caret = {};
    SendMessageW(frame_->ActivePane(), MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    EXPECT_EQ(caret.line, 3);
    EXPECT_EQ(caret.column, 3);
}

TEST_F(GrepUi, ARefusedExpressionIsToldOnTheStatusBar) {
    MakeTree();
    Open();
    Click(IDC_GREP_REGEX);
    Search(L"(", true);
    ASSERT_TRUE(WaitForSearch());
    EXPECT_TRUE(IsWindowEnabled(Frame()));
    EXPECT_NE(Status(), L"");
    EXPECT_EQ(frame_->output.find(L"#<"), std::wstring::npos);
}

TEST_F(GrepUi, AnExpressionThatRunsOutOfItsBudgetIsToldOnTheStatusBar) {
    ASSERT_TRUE(WriteFileText(tree_ + L"\\f.txt", std::string(20000, 'a') + "\n"));
    Open();
    Click(IDC_GREP_REGEX);
    Search(L"(a*)*b(a*)*", false);
    ASSERT_TRUE(WaitForSearch());
    EXPECT_TRUE(IsWindowEnabled(Frame()));
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
    GrepUtil::GrepOptions options;
    options.pattern = L"x";
    greper->Configure(options);
    ASSERT_TRUE(progress.Start(std::move(greper), tree_));  // an empty folder: no progress of its own
    EXPECT_FALSE(IsWindowEnabled(Frame()));
    EXPECT_EQ(GetWindow(progress.Window(), GW_OWNER), Frame());
    Sleep(300);  // the worker has ended; its end waits in the queue
    progress.Progress(L"C:\\some\\file.txt", 7);
    wchar_t text[300] = {};
    GetDlgItemTextW(progress.Window(), IDC_GREP_PATH, text, 300);
    EXPECT_STREQ(text, L"C:\\some\\file.txt");
    GetDlgItemTextW(progress.Window(), IDC_GREP_COUNT, text, 300);
    EXPECT_EQ(text, shell::FormatLanguageString(15025, {L"7"}));
    EXPECT_EQ(calls, 0);
    const DWORD start = GetTickCount();
    while (progress.Running() && GetTickCount() - start < 10000) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
    EXPECT_FALSE(progress.Running());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(total, 0);
    EXPECT_TRUE(IsWindowEnabled(Frame()));
    EXPECT_EQ(written, L"0 lines were found in " + tree_ + L"\n");
}

TEST_F(GrepUi, StopDuringALargeTreeStillGivesASummaryAndTheMainWindowBack) {
    for (int d = 0; d < 10; ++d) {
        const std::wstring dir = tree_ + L"\\d" + std::to_wstring(d);
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        for (int f = 0; f < 300; ++f)
            ASSERT_TRUE(WriteFileText(dir + L"\\f" + std::to_wstring(f) + L".txt", "a needle\n"));
    }
    Search(L"needle", true);
    search::CGrepCallBackDialog* progress = Dialog()->Progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(IsWindowEnabled(Frame()));
    EXPECT_TRUE(IsWindowVisible(progress->Window()));
    // The Stop button.
    SendMessageW(progress->Window(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(progress->KeepGoing());
    ASSERT_TRUE(WaitForSearch());
    EXPECT_TRUE(IsWindowEnabled(Frame()));
    const std::wstring& out = frame_->output;
    const size_t summary = out.find(L" lines were found in " + tree_ + L"\n");
    ASSERT_NE(summary, std::wstring::npos) << out.substr(0, 400);
    const size_t lineStart = out.rfind(L'\n', summary);
    const int count = std::stoi(out.substr(lineStart == std::wstring::npos ? 0 : lineStart + 1));
    EXPECT_LT(count, 3000);
}

TEST_F(GrepUi, EscapeInTheProgressDialogIsStop) {
    for (int d = 0; d < 4; ++d) {
        const std::wstring dir = tree_ + L"\\e" + std::to_wstring(d);
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        for (int f = 0; f < 300; ++f)
            ASSERT_TRUE(WriteFileText(dir + L"\\f" + std::to_wstring(f) + L".txt", "a needle\n"));
    }
    Search(L"needle", true);
    search::CGrepCallBackDialog* progress = Dialog()->Progress();
    ASSERT_NE(progress, nullptr);
    // The key as the message loop hands it over: through the frame's filter.
    const HWND stop = GetDlgItem(progress->Window(), IDCANCEL);
    MSG key = {};
    key.hwnd = stop ? stop : progress->Window();
    key.message = WM_KEYDOWN;
    key.wParam = VK_ESCAPE;
    key.lParam = 0x00010001;
    EXPECT_TRUE(frame_->PreTranslateMessage(&key));
    EXPECT_FALSE(progress->KeepGoing());
    ASSERT_TRUE(WaitForSearch());
    EXPECT_TRUE(IsWindowEnabled(Frame()));
}

TEST_F(GrepUi, ClosingTheFrameDuringASearchStopsIt) {
    for (int f = 0; f < 500; ++f)
        ASSERT_TRUE(WriteFileText(tree_ + L"\\f" + std::to_wstring(f) + L".txt", "needle\n"));
    Search(L"needle", true);
    ASSERT_NE(Dialog()->Progress(), nullptr);
    frame_.reset();  // joins the worker: no crash, no hang
    SUCCEED();
}

}  // namespace
