// The output window in a real frame, driven by the frame's commands, its
// IDevEnv and the window's own messages: its read-only role, appending,
// showing and hiding, the jump from a result line to its file (also from a
// document pane), the context menu, and the "Grep" lexer.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "CommandIds.h"
#include "DockingWindow.h"
#include "Document.h"
#include "EditProtocol.h"
#include "MainFrame.h"
#include "OutputWindow.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "ResultLine.h"
#include "Settings.h"
#include "TestSupport.h"

using testing_support::Answers;
using testing_support::Messages;
using testing_support::WriteFileText;

namespace {

int g_beeps = 0;
void CountBeep(UINT) { ++g_beeps; }

std::wstring LineOf(HWND control, int n) {
    const LRESULT length = SendMessageW(control, MPM_GETLINE, WPARAM(n), 0);
    if (length <= 0) return std::wstring();
    std::wstring text(size_t(length) + 1, L'\0');
    SendMessageW(control, MPM_GETLINE, WPARAM(n), reinterpret_cast<LPARAM>(text.data()));
    text.resize(size_t(length));
    return text;
}

std::wstring AllText(HWND control) {
    std::wstring all;
    const int count = int(SendMessageW(control, MPM_GETLINECOUNT, 0, 0));
    for (int i = 0; i < count; ++i) all += (i ? L"\n" : L"") + LineOf(control, i);
    return all;
}

Position Caret(HWND control) {
    Position p = {-1, -1};
    SendMessageW(control, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&p), 0);
    return p;
}

void SetCaret(HWND control, int line, int column) {
    Position p = {line, column};
    SendMessageW(control, MPM_SETCARET, reinterpret_cast<WPARAM>(&p), 0);
}

std::wstring LexerName(HWND control) {
    auto* lexer = reinterpret_cast<ILexer*>(SendMessageW(control, MPM_GETLEXER, 0, 0));
    const wchar_t* name = lexer ? lexer->Name() : nullptr;
    return name ? name : L"";
}

int StyleAt(HWND control, int line, int column) {
    Position p = {line, column};
    return int(SendMessageW(control, MPM_GETSTYLEAT, reinterpret_cast<WPARAM>(&p), 0));
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message != WM_QUIT) DispatchMessageW(&msg);
}

// A double click as the user makes it: the caret first, then the click.
void DoubleClickLine(HWND control, int line) {
    SetCaret(control, line, 3);
    SendMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
}

class OutputTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        language_ = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language_);
        shell::SetOutputBeep(&CountBeep);
    }
    static void TearDownTestSuite() {
        shell::SetOutputBeep(nullptr);
        shell::SetResourceModule(nullptr);
    }

    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-output-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
        ASSERT_NE(edit_, nullptr);
        a_ = folder_ + L"a.txt";
        ASSERT_TRUE(WriteFileText(a_, "first\r\nsecond\r\nthird line\r\n"));
        Messages().clear();
        Answers().clear();
        g_beeps = 0;
    }
    void TearDown() override {
        frame_.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        settings::SetProgramFolder(L"");
    }
    HWND Create() {
        frame_ = std::make_unique<shell::CMainFrame>();
        return frame_->Create(L"prog", edit_);
    }
    void Command(UINT id) { SendMessageW(frame_->Window(), WM_COMMAND, id, 0); }
    IDevEnv* Env() { return frame_.get(); }
    HWND Output() { return frame_->OutputWindow(); }
    HWND ActivePane() {
        IView* view = documents::ViewOf(frame_->ActiveDocument());
        return view ? view->GetActivePane() : nullptr;
    }
    // "#<path>:(line,column): text" as find-in-files writes it.
    static std::wstring ResultLine(const std::wstring& path, int line, int column, const wchar_t* text) {
        return L"#<" + path + L">:(" + std::to_wstring(line) + L"," + std::to_wstring(column) + L"): " + text;
    }

    static HMODULE language_;
    std::wstring folder_, a_;
    HMODULE edit_ = nullptr;
    std::unique_ptr<shell::CMainFrame> frame_;
};
HMODULE OutputTest::language_ = nullptr;

}  // namespace

TEST_F(OutputTest, ParsesOnlyLinesThatStartWithTheFilePartAndHaveAPosition) {
    std::wstring path;
    int line = -1, column = -1;
    ASSERT_TRUE(shell::ParseResultLine(L"#<C:\\x\\a.txt>:(1,1): text", &path, &line, &column));
    EXPECT_EQ(path, L"C:\\x\\a.txt");
    EXPECT_EQ(line, 0);
    EXPECT_EQ(column, 1);  // the column is not reduced
    ASSERT_TRUE(shell::ParseResultLine(L"#<a>:(0,0):", &path, &line, &column));
    EXPECT_EQ(line, 0);
    EXPECT_EQ(column, 0);
    ASSERT_TRUE(shell::ParseResultLine(L"#<a>:(12,7): x:(3,4)", &path, &line, &column));
    EXPECT_EQ(line, 11);
    EXPECT_EQ(column, 7);
    // The path ends at the first ">:"; the position is the first one after it.
    ASSERT_TRUE(shell::ParseResultLine(L"#<a>b>:c>: see :(5,6):", &path, &line, &column));
    EXPECT_EQ(path, L"a>b");
    EXPECT_EQ(line, 4);
    EXPECT_EQ(column, 6);
    ASSERT_TRUE(shell::ParseResultLine(L"#<a>:(99999999999,5):", &path, &line, &column));
    EXPECT_EQ(line, INT_MAX - 1);

    path = L"unchanged";
    for (const wchar_t* bad : {L"", L"#", L"#<", L"#<a>:", L"#<a>: no position", L" #<a>:(1,1):",
                               L"x#<a>:(1,1):", L"#<>:(1,1):", L"#<a>:(1,):", L"#<a>:(,1):", L"#<a>:(1,1",
                               L"#<a>:(-1,1):", L"#<a>(1,1):", L"#a>:(1,1):", L"<a>:(1,1):"}) {
        EXPECT_FALSE(shell::ParseResultLine(bad, &path, &line, &column)) << bad;
    }
    EXPECT_EQ(path, L"unchanged");
}

TEST_F(OutputTest, IsMadeOnFirstUseDockedAtTheBottomAndReadOnly) {
    ASSERT_NE(Create(), nullptr);
    EXPECT_EQ(Output(), nullptr);
    Command(ID_TOGGLE_OUTPUT);
    const HWND out = Output();
    ASSERT_NE(out, nullptr);
    wchar_t cls[32] = {};
    GetClassNameW(out, cls, 32);
    EXPECT_STREQ(cls, L"MRPAD32");
    EXPECT_TRUE(frame_->Docking().IsDocked(out));
    EXPECT_TRUE(frame_->Docking().IsVisible(out));
    EXPECT_EQ(frame_->Docking().Title(out), L"Output");
    EXPECT_EQ(SendMessageW(out, MPM_VIEWPART, 0, -1), 0);  // no line numbers
    EXPECT_EQ(SendMessageW(out, MPM_VIEWPART, 2, -1), 0);  // no white space
    EXPECT_EQ(SendMessageW(out, MPM_VIEWPART, 6, -1), 1);  // the active line
    EXPECT_EQ(SendMessageW(out, MPM_FREEZECARET, 2, 0), 1);
    EXPECT_EQ(SendMessageW(out, MPM_FOLDMODE, WPARAM(-1), 0), 0);
    EXPECT_EQ(LexerName(out), L"Grep");
    EXPECT_NE(SendMessageW(out, WM_GETFONT, 0, 0), 0);
    // Nothing of what is appended can be undone.
    Env()->AppendOutput(L"text", -1);
    EXPECT_EQ(SendMessageW(out, MPM_CANUNDO, 0, 0), 0);
}

TEST_F(OutputTest, TypingPastingAndTextChangingCommandsBeepAndChangeNothing) {
    ASSERT_NE(Create(), nullptr);
    Env()->AppendOutput(L"alpha\nbeta", -1);
    const HWND out = Output();
    ASSERT_NE(out, nullptr);
    SetCaret(out, 0, 2);

    SendMessageW(out, WM_CHAR, L'x', 0);
    SendMessageW(out, WM_CHAR, L'\r', 0);
    SendMessageW(out, WM_IME_CHAR, 0x4E2D, 0);
    EXPECT_EQ(g_beeps, 3);
    SendMessageW(out, WM_KEYDOWN, VK_DELETE, 0);
    SendMessageW(out, WM_KEYDOWN, VK_BACK, 0);
    SendMessageW(out, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(AllText(out), L"alpha\nbeta");

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 16);
    wcscpy(static_cast<wchar_t*>(GlobalLock(mem)), L"pasted");
    GlobalUnlock(mem);
    SetClipboardData(CF_UNICODETEXT, mem);
    CloseClipboard();
    g_beeps = 0;
    SendMessageW(out, WM_COMMAND, ECMD_PASTE, 0);
    EXPECT_EQ(g_beeps, 1);
    EXPECT_EQ(AllText(out), L"alpha\nbeta");

    // Select everything so that every command has something to change.
    const std::vector<UINT> refused = {26, 27, 28, 29, 30, 31, 32, 34, 35, 36, 44, 45,
                                       47, 48, 49, 50, 51, 53, 54, 57, 58, 65, 66};
    for (UINT id : refused) {
        SendMessageW(out, WM_COMMAND, ECMD_SELECTALL, 0);
        g_beeps = 0;
        SendMessageW(out, WM_COMMAND, id, 0);
        EXPECT_EQ(g_beeps, 1) << id;
        EXPECT_EQ(AllText(out), L"alpha\nbeta") << id;
    }
    EXPECT_EQ(SendMessageW(out, MPM_GETINPUTMODE, 0, 0), 0);  // 36 did not switch to overwrite

    // What leaves the text alone goes to the control: copy, caret moves.
    SendMessageW(out, WM_COMMAND, ECMD_SELECTALL, 0);
    EXPECT_NE(SendMessageW(out, MPM_GETSELKIND, 0, 0), 0);
    g_beeps = 0;
    SendMessageW(out, WM_COMMAND, ECMD_COPY, 0);
    EXPECT_EQ(g_beeps, 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data) GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied.substr(0, 5), L"alpha");
    SendMessageW(out, WM_COMMAND, ECMD_DOCSTART, 0);
    SendMessageW(out, WM_COMMAND, ECMD_DOWN, 0);
    EXPECT_EQ(Caret(out).line, 1);
}

TEST_F(OutputTest, KeysMoveTheCaretOnlyThroughTheFramesPreTranslation) {
    ASSERT_NE(Create(), nullptr);
    Env()->AppendOutput(L"one\ntwo", -1);
    const HWND out = Output();
    SetCaret(out, 0, 0);
    MSG msg = {out, WM_KEYDOWN, VK_RIGHT, 0, 0, {}};
    EXPECT_TRUE(frame_->PreTranslateMessage(&msg));
    EXPECT_EQ(Caret(out).column, 1);
    msg.wParam = VK_DOWN;
    EXPECT_TRUE(frame_->PreTranslateMessage(&msg));
    EXPECT_EQ(Caret(out).line, 1);
    // Delivered straight to the window, a key does nothing at all.
    SendMessageW(out, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(Caret(out).line, 1);
    msg.wParam = VK_DELETE;
    frame_->PreTranslateMessage(&msg);
    EXPECT_EQ(AllText(out), L"one\ntwo");
}

TEST_F(OutputTest, ClearRemovesEverythingAndLineNumbersToggle) {
    ASSERT_NE(Create(), nullptr);
    Env()->AppendOutput(L"one\ntwo\nthree\n", -1);
    const HWND out = Output();
    ASSERT_EQ(SendMessageW(out, MPM_GETLINECOUNT, 0, 0), 4);
    SendMessageW(out, WM_COMMAND, ID_OUTPUT_CLEAR, 0);
    EXPECT_EQ(SendMessageW(out, MPM_GETLINECOUNT, 0, 0), 1);
    EXPECT_EQ(AllText(out), L"");
    EXPECT_TRUE(Messages().empty());

    SendMessageW(out, WM_COMMAND, ID_OUTPUT_LINE_NUMBERS, 0);
    EXPECT_EQ(SendMessageW(out, MPM_VIEWPART, 0, -1), 1);
    SendMessageW(out, WM_COMMAND, ID_OUTPUT_LINE_NUMBERS, 0);
    EXPECT_EQ(SendMessageW(out, MPM_VIEWPART, 0, -1), 0);
}

TEST_F(OutputTest, AppendGoesThroughSlot14AndAlwaysAtTheEnd) {
    ASSERT_NE(Create(), nullptr);
    // Slot 14 by number, as a plug-in built elsewhere calls it.
    IDevEnv* env = Env();
    void** slots = *reinterpret_cast<void***>(env);
    using Append = LRESULT(__stdcall*)(IDevEnv*, const wchar_t*, int);
    const auto append = reinterpret_cast<Append>(slots[14]);
    EXPECT_EQ(append(env, L"first\n", -1), 1);  // makes the window
    const HWND out = Output();
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(frame_->Docking().IsVisible(out));
    SetCaret(out, 0, 2);  // wherever the user left the caret
    EXPECT_EQ(append(env, L"second line and more", 11), 1);
    EXPECT_EQ(AllText(out), L"first\nsecond line");
    EXPECT_EQ(append(env, nullptr, 3), 0);
    EXPECT_EQ(append(env, L"x", -5), 0);
    EXPECT_EQ(AllText(out), L"first\nsecond line");

    // Appending to a hidden window neither shows it nor makes another.
    Command(ID_TOGGLE_OUTPUT);
    ASSERT_FALSE(frame_->Docking().IsVisible(out));
    append(env, L"!", 1);
    EXPECT_EQ(Output(), out);
    EXPECT_EQ(AllText(out), L"first\nsecond line!");
}

TEST_F(OutputTest, Command1325ShowsWithTheFocusAndHidesGivingItBack) {
    ASSERT_NE(Create(), nullptr);
    ShowWindow(frame_->Window(), SW_SHOWNORMAL);
    SetForegroundWindow(frame_->Window());
    Command(ID_TOGGLE_OUTPUT);
    const HWND out = Output();
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(IsWindowVisible(out));
    RECT frameRect = {}, outRect = {}, docRect = {};
    GetClientRect(frame_->Window(), &frameRect);
    GetWindowRect(out, &outRect);
    GetWindowRect(frame_->ActiveDocument(), &docRect);
    EXPECT_GE(outRect.top, docRect.bottom);  // below the documents

    Command(ID_TOGGLE_OUTPUT);
    EXPECT_FALSE(frame_->Docking().IsVisible(out));
    EXPECT_FALSE(IsWindowVisible(out));
    EXPECT_EQ(GetFocus(), ActivePane());

    Command(ID_TOGGLE_OUTPUT);
    EXPECT_TRUE(frame_->Docking().IsDocked(out));
    EXPECT_TRUE(IsWindowVisible(out));
    EXPECT_EQ(GetFocus(), out);
    EXPECT_EQ(Output(), out);  // the same window all along

    // Enabled in the frame's command states from the start.
    EXPECT_TRUE(frame_->EnableCommand(ID_TOGGLE_OUTPUT, TRUE));
    const auto* state = frame_->CommandStates().Find(ID_TOGGLE_OUTPUT);
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->enabled);
    // Its menu item is checked while the window shows.
    frame_->OnIdle();
    EXPECT_EQ(state->check, 1);
    Command(ID_TOGGLE_OUTPUT);
    frame_->OnIdle();
    EXPECT_EQ(state->check, 0);
}

TEST_F(OutputTest, ADoubleClickOnAResultLineOpensTheFileThere) {
    ASSERT_NE(Create(), nullptr);
    ShowWindow(frame_->Window(), SW_SHOWNORMAL);
    SetForegroundWindow(frame_->Window());
    Env()->AppendOutput((ResultLine(a_, 1, 1, L"first") + L"\n" + ResultLine(a_, 0, 0, L"x") + L"\n" +
                         ResultLine(a_, 3, 4, L"third line") + L"\n")
                            .c_str(),
                        -1);
    const HWND out = Output();
    ASSERT_EQ(frame_->DocumentCount(), 1u);

    DoubleClickLine(out, 0);
    ASSERT_EQ(frame_->DocumentCount(), 2u);
    EXPECT_EQ(frame_->ActiveIndex(), 1u);
    EXPECT_EQ(LineOf(ActivePane(), 0), L"first");
    EXPECT_EQ(Caret(ActivePane()).line, 0);
    EXPECT_EQ(Caret(ActivePane()).column, 1);
    EXPECT_EQ(SendMessageW(ActivePane(), MPM_GETSELKIND, 0, 0), 0);
    EXPECT_EQ(GetFocus(), ActivePane());

    DoubleClickLine(out, 2);
    EXPECT_EQ(frame_->DocumentCount(), 2u);  // the open document, not a second one
    EXPECT_EQ(Caret(ActivePane()).line, 2);
    EXPECT_EQ(Caret(ActivePane()).column, 4);

    DoubleClickLine(out, 1);
    EXPECT_EQ(Caret(ActivePane()).line, 0);
    EXPECT_EQ(Caret(ActivePane()).column, 0);
    // The control still selected the word itself.
    EXPECT_EQ(AllText(out).substr(0, 2), L"#<");
}

TEST_F(OutputTest, LinesThatAreNoResultLinesDoNothing) {
    ASSERT_NE(Create(), nullptr);
    Env()->AppendOutput((L"#<" + a_ + L">: no position here\n" + L" " + ResultLine(a_, 1, 1, L"indented") +
                         L"\n" + L"plain text (1,1)\n\n")
                            .c_str(),
                        -1);
    const HWND out = Output();
    for (int line = 0; line < 5; ++line) {
        DoubleClickLine(out, line);
        EXPECT_EQ(frame_->DocumentCount(), 1u) << line;
        EXPECT_EQ(frame_->ActiveIndex(), 0u) << line;
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(OutputTest, AnOpenDocumentIsActivatedWhateverTheCaseOfItsPath) {
    ASSERT_NE(Create(), nullptr);
    ASSERT_NE(frame_->OpenDocument(a_), nullptr);
    Command(ID_FILE_NEW);
    ASSERT_EQ(frame_->DocumentCount(), 3u);
    ASSERT_EQ(frame_->ActiveIndex(), 2u);
    std::wstring upper = a_;
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z') c = wchar_t(c - 32);
    Env()->AppendOutput(ResultLine(upper, 2, 3, L"second").c_str(), -1);
    DoubleClickLine(Output(), 0);
    EXPECT_EQ(frame_->DocumentCount(), 3u);
    EXPECT_EQ(frame_->ActiveIndex(), 1u);
    EXPECT_EQ(Caret(ActivePane()).line, 1);
    EXPECT_EQ(Caret(ActivePane()).column, 3);
}

TEST_F(OutputTest, AFileThatCannotBeOpenedLeavesTheTabsAlone) {
    ASSERT_NE(Create(), nullptr);
    const int tabs = int(SendMessageW(frame_->TabStrip(), TCM_GETITEMCOUNT, 0, 0));
    Env()->AppendOutput(ResultLine(folder_ + L"missing\\none.txt", 1, 1, L"gone").c_str(), -1);
    DoubleClickLine(Output(), 0);
    EXPECT_EQ(frame_->DocumentCount(), 1u);
    EXPECT_EQ(frame_->ActiveIndex(), 0u);
    EXPECT_EQ(int(SendMessageW(frame_->TabStrip(), TCM_GETITEMCOUNT, 0, 0)), tabs);
}

TEST_F(OutputTest, ADocumentPaneJumpsTheSameWay) {
    ASSERT_NE(Create(), nullptr);
    const HWND pane = ActivePane();
    ASSERT_NE(pane, nullptr);
    const std::wstring text = ResultLine(a_, 2, 1, L"second") + L"\nnot a result line";
    TextArg arg = {text.c_str(), int(text.size())};
    SendMessageW(pane, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    DoubleClickLine(pane, 1);
    EXPECT_EQ(frame_->DocumentCount(), 1u);
    DoubleClickLine(pane, 0);
    ASSERT_EQ(frame_->DocumentCount(), 2u);
    EXPECT_EQ(frame_->ActiveIndex(), 1u);
    EXPECT_EQ(Caret(ActivePane()).line, 1);
    EXPECT_EQ(Caret(ActivePane()).column, 1);
}

TEST_F(OutputTest, ResultLinesAreStyledByTheGrepLexer) {
    ASSERT_NE(Create(), nullptr);
    Env()->AppendOutput(L"#<C:\\a.txt>:(12,3): text (1,2)\nplain #<b>", -1);
    const HWND out = Output();
    EXPECT_EQ(StyleAt(out, 0, 0), 1);  // "#<C:\a.txt>"
    EXPECT_EQ(StyleAt(out, 0, 10), 1);
    EXPECT_EQ(StyleAt(out, 0, 11), 9);  // ":(12,3)"
    EXPECT_EQ(StyleAt(out, 0, 17), 9);
    EXPECT_EQ(StyleAt(out, 0, 21), 0);  // the text
    EXPECT_EQ(StyleAt(out, 1, 7), 0);   // a file part not at the start
}

TEST_F(OutputTest, TheLexerSurvivesASyntaxReloadAndTheFontFollowsSlot1440) {
    ASSERT_NE(Create(), nullptr);
    Env()->AppendOutput(L"#<a>:(1,1): x", -1);
    const HWND out = Output();
    SendMessageW(out, MPD_REMEMBER_SYNTAX, 0, 0);
    EXPECT_EQ(LexerName(out), L"");
    SendMessageW(out, MPD_APPLY_SYNTAX, 0, 0);
    EXPECT_EQ(LexerName(out), L"Grep");
    SendMessageW(out, MPD_APPLY_SYNTAX, 0, 0);  // nothing remembered: nothing changes
    EXPECT_EQ(LexerName(out), L"Grep");
    frame_->ReloadSyntax();
    EXPECT_EQ(LexerName(out), L"Grep");
    EXPECT_EQ(StyleAt(out, 0, 0), 1);

    settings::FontSpec stored;
    stored.face = L"Arial";
    stored.size = 15;
    settings::WriteFontSlot(ID_FONT_OUTPUT, stored);
    SendMessageW(frame_->Window(), MPF_FONT_CHANGED, ID_FONT_OUTPUT, 0);
    auto font = reinterpret_cast<HFONT>(SendMessageW(out, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW lf = {};
    ASSERT_TRUE(GetObjectW(font, sizeof lf, &lf));
    EXPECT_STREQ(lf.lfFaceName, L"Arial");
    // A document font leaves the output alone.
    stored.face = L"Tahoma";
    settings::WriteFontSlot(ID_FONT_FIRST, stored);
    SendMessageW(frame_->Window(), MPF_FONT_CHANGED, ID_FONT_FIRST, 0);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(out, WM_GETFONT, 0, 0)), font);
}

// ---------------------------------------------------------------------------
// A window of its own, with a host whose menus answer from a script.

namespace {

struct ScriptedHost : IDevEnv {
    HWND main = nullptr;
    std::vector<UINT> answers;
    std::vector<std::vector<UINT>> menus;  // the items of each menu shown
    std::vector<POINT> points;
    std::vector<std::wstring> boxes;
    std::vector<UINT> boxFlags;

    BOOL MORROWPAD_CALL AddPane(HWND, const RECT*) override { return FALSE; }
    BOOL MORROWPAD_CALL RemovePane(HWND) override { return FALSE; }
    HWND MORROWPAD_CALL ShowPane(HWND, int) override { return nullptr; }
    HWND MORROWPAD_CALL GetMainWindow() override { return main; }
    UINT MORROWPAD_CALL AllocateCommandId() override { return 0; }
    IView* MORROWPAD_CALL GetActiveView() override { return nullptr; }
    HWND MORROWPAD_CALL GetToolBar() override { return nullptr; }
    int MORROWPAD_CALL MessageBox(const wchar_t* text, UINT flags, const wchar_t*, HWND) override {
        boxes.push_back(text ? text : L"");
        boxFlags.push_back(flags);
        return IDOK;
    }
    BOOL MORROWPAD_CALL AddMessageListener(MessageListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL RemoveMessageListener(MessageListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL AddIdleListener(IdleListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL AddIdleListener2(IdleListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL AddUpdateCommand(UINT, UINT) override { return FALSE; }
    BOOL MORROWPAD_CALL RemoveUpdateCommand(UINT) override { return FALSE; }
    LRESULT MORROWPAD_CALL AppendOutput(const wchar_t*, int) override { return 0; }
    UINT MORROWPAD_CALL TrackMenu(HMENU menu, int x, int y, BOOL send) override {
        EXPECT_FALSE(send);  // the window sends the choice to itself
        std::vector<UINT> items;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) items.push_back(GetMenuItemID(menu, i));
        menus.push_back(items);
        points.push_back({x, y});
        if (answers.empty()) return 0;
        const UINT id = answers.front();
        answers.erase(answers.begin());
        return id;
    }
    LANGID MORROWPAD_CALL GetLanguage() override { return 0; }
};

class BusyOutput : public shell::COutputWindow {
   public:
    bool busy = false;

   protected:
    bool ToolRunning() const override { return busy; }
};

}  // namespace

TEST_F(OutputTest, TheContextMenuComesFromTheLanguageLibraryAndItsChoiceIsDone) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    ScriptedHost host;
    {
        shell::COutputWindow output;
        const HWND out = output.Create(parent, edit_, &host);
        ASSERT_NE(out, nullptr);
        output.Append(L"one\ntwo", -1);
        host.answers = {ID_OUTPUT_LINE_NUMBERS, 0, ID_OUTPUT_CLEAR};
        SendMessageW(out, WM_CONTEXTMENU, WPARAM(out), MAKELPARAM(40, 50));
        ASSERT_EQ(host.menus.size(), 1u);
        const std::vector<UINT> expected = {ECMD_COPY, ECMD_SELECTALL, 0, ID_OUTPUT_CLEAR,
                                            ID_OUTPUT_LINE_NUMBERS};
        EXPECT_EQ(host.menus[0], expected);
        EXPECT_EQ(host.points[0].x, 40);
        EXPECT_EQ(host.points[0].y, 50);
        EXPECT_EQ(SendMessageW(out, MPM_VIEWPART, 0, -1), 1);
        // Nothing chosen; then a point far left of every monitor.
        SendMessageW(out, WM_CONTEXTMENU, WPARAM(out), MAKELPARAM(-20000, 50));
        EXPECT_EQ(AllText(out), L"one\ntwo");
        ASSERT_EQ(host.points.size(), 2u);
        EXPECT_GE(host.points[1].x, GetSystemMetrics(SM_XVIRTUALSCREEN));
        SendMessageW(out, WM_CONTEXTMENU, WPARAM(out), MAKELPARAM(40, 50));
        EXPECT_EQ(AllText(out), L"");
    }
    DestroyWindow(parent);
}

TEST_F(OutputTest, ClearWhileAToolRunsShowsTheMessageAndKeepsTheText) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ScriptedHost host;
    {
        BusyOutput output;
        const HWND out = output.Create(parent, edit_, &host);
        ASSERT_NE(out, nullptr);
        output.Append(L"tool says", -1);
        output.busy = true;
        SendMessageW(out, WM_COMMAND, ID_OUTPUT_CLEAR, 0);
        EXPECT_EQ(AllText(out), L"tool says");
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(host.boxes[0], shell::LanguageString(15101));
        EXPECT_FALSE(host.boxes[0].empty());
        EXPECT_EQ(host.boxFlags[0] & MB_ICONMASK, UINT(MB_ICONSTOP));
        output.busy = false;
        SendMessageW(out, WM_COMMAND, ID_OUTPUT_CLEAR, 0);
        EXPECT_EQ(AllText(out), L"");
        EXPECT_EQ(host.boxes.size(), 1u);
    }
    DestroyWindow(parent);
}

TEST_F(OutputTest, TheWindowGoesWithTheFrameAndTheObjectWithoutItsWindow) {
    ASSERT_NE(Create(), nullptr);
    Command(ID_TOGGLE_OUTPUT);
    const HWND out = Output();
    ASSERT_TRUE(IsWindow(out));
    DestroyWindow(frame_->Window());
    EXPECT_FALSE(IsWindow(out));
    EXPECT_EQ(Output(), nullptr);
    EXPECT_EQ(Env()->AppendOutput(L"late", -1), 0);
    Pump();
}

// Not a check: shows the frame with result lines for a few seconds, for a
// screenshot (--gtest_also_run_disabled_tests).
TEST_F(OutputTest, DISABLED_ShowsResultLinesForALook) {
    ASSERT_NE(Create(), nullptr);
    ASSERT_NE(frame_->OpenDocument(a_), nullptr);
    SetWindowPos(frame_->Window(), nullptr, 20, 20, 900, 600, SWP_NOZORDER);
    ShowWindow(frame_->Window(), SW_SHOWNORMAL);
    const std::wstring b = folder_ + L"src\\main.cpp";
    Env()->AppendOutput(
        (L"Searching for \"line\" in " + folder_ + L"\n" + ResultLine(a_, 3, 6, L"third line") + L"\n" +
         ResultLine(b, 12, 4, L"int line = 0;") + L"\n" + ResultLine(b, 40, 16, L"return line + 1;") +
         L"\n3 matches in 2 files\n")
            .c_str(),
        -1);
    DoubleClickLine(Output(), 1);
    const DWORD end = GetTickCount() + 6000;
    while (GetTickCount() < end) {
        Pump();
        Sleep(20);
    }
}
