// The output window in a real frame, driven by the frame's commands, its
// IDevEnv and the window's own messages: its read-only role, appending,
// showing and hiding, the jump from a result line to its file (also from a
// document pane), the context menu, and the "Grep" lexer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "CommandIds.h"
#include "ControlText.h"
#include "DockingWindow.h"
#include "FrameFixture.h"
#include "NullDevEnv.h"
#include "OutputWindow.h"
#include "ProgramIds.h"
#include "ResultLine.h"

using testing_support::CaretOf;
using testing_support::Messages;
using testing_support::SetCaret;

namespace {

int g_beeps = 0;
void CountBeep(UINT) { ++g_beeps; }

std::wstring LexerName(HWND control) {
    auto* lexer = reinterpret_cast<ILexer*>(SendMessageW(control, MPM_GETLEXER, 0, 0));
    const wchar_t* name = lexer ? lexer->Name() : nullptr;
    return name ? name : L"";
}

int StyleAt(HWND control, int line, int column) {
    Position p = {line, column};
    return int(SendMessageW(control, MPM_GETSTYLEAT, reinterpret_cast<WPARAM>(&p), 0));
}

LRESULT Send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(w, msg, wp, lp); }

// A double click as the user makes it: the caret first, then the click.
void DoubleClickLine(HWND control, int line) {
    SetCaret(control, line, 3);
    Send(control, WM_LBUTTONDBLCLK, MK_LBUTTON);
}

// "#<path>:(line,column): text" as find-in-files writes it.
std::wstring ResultLine(const std::wstring& path, int line, int column, const wchar_t* text) {
    return L"#<" + path + L">:(" + std::to_wstring(line) + L"," + std::to_wstring(column) + L"): " + text;
}

class OutputTest : public testing_support::CFrameTest {
   protected:
    static void SetUpTestSuite() {
        CFrameTest::SetUpTestSuite();
        shell::SetOutputBeep(&CountBeep);
    }
    static void TearDownTestSuite() {
        shell::SetOutputBeep(nullptr);
        CFrameTest::TearDownTestSuite();
    }
    void SetUp() override {
        CFrameTest::SetUp();
        a_ = File(L"a.txt", "first\r\nsecond\r\nthird line\r\n");
        g_beeps = 0;
        ASSERT_NE(Create(), nullptr);
    }
    IDevEnv* Env() { return frame_.get(); }
    HWND Output() { return frame_->OutputWindow(); }
    // The output window made by appending `text`.
    HWND Appended(const std::wstring& text) {
        Env()->AppendOutput(text.c_str(), -1);
        return Output();
    }
    static std::wstring Text(HWND control) { return testing_support::TextOf(control); }
    // Line and column of the active document's caret.
    Position ActiveCaret() { return CaretOf(ActivePane()); }

    std::wstring a_;
};

}  // namespace

TEST(ResultLine, OnlyLinesThatStartWithTheFilePartAndHaveAPosition) {
    const struct {
        const wchar_t* text;
        const wchar_t* path;
        int line, column;  // the line made 0-based, the column not reduced
    } good[] = {{L"#<C:\\x\\a.txt>:(1,1): text", L"C:\\x\\a.txt", 0, 1},
                {L"#<a>:(0,0):", L"a", 0, 0},
                {L"#<a>:(12,7): x:(3,4)", L"a", 11, 7},
                // The path ends at the first ">:"; the position is the first one after it.
                {L"#<a>b>:c>: see :(5,6):", L"a>b", 4, 6},
                {L"#<a>:(99999999999,5):", L"a", INT_MAX - 1, 5}};
    for (const auto& c : good) {
        std::wstring path;
        int line = -1, column = -1;
        EXPECT_TRUE(shell::ParseResultLine(c.text, &path, &line, &column)) << c.text;
        EXPECT_EQ(std::make_tuple(path, line, column),
                  std::make_tuple(std::wstring(c.path), c.line, c.column))
            << c.text;
    }
    std::wstring path = L"unchanged";
    int line = -1, column = -1;
    for (const wchar_t* bad : {L"", L"#", L"#<", L"#<a>:", L"#<a>: no position", L" #<a>:(1,1):",
                               L"x#<a>:(1,1):", L"#<>:(1,1):", L"#<a>:(1,):", L"#<a>:(,1):", L"#<a>:(1,1",
                               L"#<a>:(-1,1):", L"#<a>(1,1):", L"#a>:(1,1):", L"<a>:(1,1):"})
        EXPECT_FALSE(shell::ParseResultLine(bad, &path, &line, &column)) << bad;
    EXPECT_EQ(path, L"unchanged");
}

TEST_F(OutputTest, IsMadeOnFirstUseDockedAtTheBottomAndReadOnly) {
    EXPECT_EQ(Output(), nullptr);
    Command(ID_TOGGLE_OUTPUT);
    const HWND out = Output();
    ASSERT_NE(out, nullptr);
    wchar_t cls[32] = {};
    GetClassNameW(out, cls, 32);
    EXPECT_STREQ(cls, L"MRPAD32");
    EXPECT_TRUE(frame_->Docking().IsDocked(out));
    EXPECT_EQ(frame_->Docking().Title(out), L"Output");
    // No line numbers, no white space, the active line; a frozen caret, no folding.
    EXPECT_EQ(std::vector<LRESULT>({Send(out, MPM_VIEWPART, 0, -1), Send(out, MPM_VIEWPART, 2, -1),
                                    Send(out, MPM_VIEWPART, 6, -1), Send(out, MPM_FREEZECARET, 2),
                                    Send(out, MPM_FOLDMODE, WPARAM(-1))}),
              std::vector<LRESULT>({0, 0, 1, 1, 0}));
    EXPECT_EQ(LexerName(out), L"Grep");
    EXPECT_NE(Send(out, WM_GETFONT), 0);
    // Nothing of what is appended can be undone.
    Env()->AppendOutput(L"text", -1);
    EXPECT_EQ(Send(out, MPM_CANUNDO), 0);
}

TEST_F(OutputTest, TypingPastingAndTextChangingCommandsBeepAndChangeNothing) {
    const HWND out = Appended(L"alpha\nbeta");
    ASSERT_NE(out, nullptr);
    SetCaret(out, 0, 2);
    for (UINT c : {L'x', L'\r'}) Send(out, WM_CHAR, c);
    Send(out, WM_IME_CHAR, 0x4E2D);
    EXPECT_EQ(g_beeps, 3);
    for (UINT key : {VK_DELETE, VK_BACK, VK_RETURN}) Send(out, WM_KEYDOWN, key);
    EXPECT_EQ(Text(out), L"alpha\nbeta");
    SetClipboardText(L"pasted");
    // Select everything so that every command has something to change.
    for (UINT id : {UINT(ECMD_PASTE),
                    26u,
                    27u,
                    28u,
                    29u,
                    30u,
                    31u,
                    32u,
                    34u,
                    35u,
                    36u,
                    44u,
                    45u,
                    47u,
                    48u,
                    49u,
                    50u,
                    51u,
                    53u,
                    54u,
                    57u,
                    58u,
                    65u,
                    66u}) {
        Send(out, WM_COMMAND, ECMD_SELECTALL);
        g_beeps = 0;
        Send(out, WM_COMMAND, id);
        EXPECT_EQ(g_beeps, 1) << id;
        EXPECT_EQ(Text(out), L"alpha\nbeta") << id;
    }
    EXPECT_EQ(Send(out, MPM_GETINPUTMODE), 0);  // 36 did not switch to overwrite
    // What leaves the text alone goes to the control: copy, caret moves.
    Send(out, WM_COMMAND, ECMD_SELECTALL);
    g_beeps = 0;
    Send(out, WM_COMMAND, ECMD_COPY);
    EXPECT_EQ(g_beeps, 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data) GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied.substr(0, 5), L"alpha");
    Send(out, WM_COMMAND, ECMD_DOCSTART);
    Send(out, WM_COMMAND, ECMD_DOWN);
    EXPECT_EQ(CaretOf(out).line, 1);
}

TEST_F(OutputTest, KeysMoveTheCaretOnlyThroughTheFramesPreTranslation) {
    const HWND out = Appended(L"one\ntwo");
    SetCaret(out, 0, 0);
    MSG msg = {out, WM_KEYDOWN, VK_RIGHT, 0, 0, {}};
    EXPECT_TRUE(frame_->PreTranslateMessage(&msg));
    msg.wParam = VK_DOWN;
    EXPECT_TRUE(frame_->PreTranslateMessage(&msg));
    EXPECT_EQ(CaretOf(out), (Position{1, 1}));
    // Delivered straight to the window, a key does nothing at all.
    Send(out, WM_KEYDOWN, VK_UP);
    EXPECT_EQ(CaretOf(out).line, 1);
    msg.wParam = VK_DELETE;
    frame_->PreTranslateMessage(&msg);
    EXPECT_EQ(Text(out), L"one\ntwo");
    // Clear empties it without a word; line numbers toggle.
    Send(out, WM_COMMAND, ID_OUTPUT_CLEAR);
    EXPECT_EQ(Send(out, MPM_GETLINECOUNT), 1);
    EXPECT_EQ(Text(out), L"");
    EXPECT_TRUE(Messages().empty());
    for (LRESULT on : {1, 0}) {
        Send(out, WM_COMMAND, ID_OUTPUT_LINE_NUMBERS);
        EXPECT_EQ(Send(out, MPM_VIEWPART, 0, -1), on);
    }
}

TEST_F(OutputTest, AppendGoesThroughSlot14AndAlwaysAtTheEnd) {
    // Slot 14 by number, as a plug-in built elsewhere calls it.
    IDevEnv* env = Env();
    using Append = LRESULT(__stdcall*)(IDevEnv*, const wchar_t*, int);
    const auto append = reinterpret_cast<Append>((*reinterpret_cast<void***>(env))[14]);
    EXPECT_EQ(append(env, L"first\n", -1), 1);  // makes the window
    const HWND out = Output();
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(frame_->Docking().IsVisible(out));
    SetCaret(out, 0, 2);  // wherever the user left the caret
    EXPECT_EQ(append(env, L"second line and more", 11), 1);
    EXPECT_EQ(append(env, nullptr, 3), 0);
    EXPECT_EQ(append(env, L"x", -5), 0);
    EXPECT_EQ(Text(out), L"first\nsecond line");
    // Appending to a hidden window neither shows it nor makes another.
    Command(ID_TOGGLE_OUTPUT);
    ASSERT_FALSE(frame_->Docking().IsVisible(out));
    append(env, L"!", 1);
    EXPECT_EQ(Output(), out);
    EXPECT_EQ(Text(out), L"first\nsecond line!");
}

TEST_F(OutputTest, Command1325ShowsWithTheFocusAndHidesGivingItBack) {
    ShowWindow(frame_->Window(), SW_SHOWNORMAL);
    SetForegroundWindow(frame_->Window());
    Command(ID_TOGGLE_OUTPUT);
    const HWND out = Output();
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(IsWindowVisible(out));
    RECT outRect = {}, docRect = {};
    GetWindowRect(out, &outRect);
    GetWindowRect(frame_->ActiveDocument(), &docRect);
    EXPECT_GE(outRect.top, docRect.bottom);  // below the documents
    // Enabled in the frame's command states from the start; checked while shown.
    EXPECT_TRUE(frame_->EnableCommand(ID_TOGGLE_OUTPUT, TRUE));
    const auto* state = frame_->CommandStates().Find(ID_TOGGLE_OUTPUT);
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->enabled);
    frame_->OnIdle();
    EXPECT_EQ(state->check, 1);

    Command(ID_TOGGLE_OUTPUT);
    EXPECT_FALSE(frame_->Docking().IsVisible(out));
    EXPECT_FALSE(IsWindowVisible(out));
    EXPECT_EQ(GetFocus(), ActivePane());
    frame_->OnIdle();
    EXPECT_EQ(state->check, 0);

    Command(ID_TOGGLE_OUTPUT);
    EXPECT_TRUE(frame_->Docking().IsDocked(out));
    EXPECT_TRUE(IsWindowVisible(out));
    EXPECT_EQ(GetFocus(), out);
    EXPECT_EQ(Output(), out);  // the same window all along
}

TEST_F(OutputTest, ADoubleClickOnAResultLineOpensTheFileThere) {
    ShowWindow(frame_->Window(), SW_SHOWNORMAL);
    SetForegroundWindow(frame_->Window());
    const HWND out = Appended(ResultLine(a_, 1, 1, L"first") + L"\n" + ResultLine(a_, 0, 0, L"x") + L"\n" +
                              ResultLine(a_, 3, 4, L"third line") + L"\n#<" + a_ + L">: no position here\n " +
                              ResultLine(a_, 1, 1, L"indented") + L"\nplain text (1,1)\n\n" +
                              ResultLine(folder_ + L"missing\\none.txt", 1, 1, L"gone"));
    // Lines that are no result lines, and a file that cannot be opened, do nothing.
    for (int line = 3; line < 8; ++line) {
        DoubleClickLine(out, line);
        EXPECT_EQ(frame_->DocumentCount(), 1u) << line;
        EXPECT_EQ(TabCount(), 1) << line;
    }
    EXPECT_EQ(Messages().size(), 1u);  // only the missing file says so

    DoubleClickLine(out, 0);
    ASSERT_EQ(frame_->DocumentCount(), 2u);
    EXPECT_EQ(frame_->ActiveIndex(), 1u);
    EXPECT_EQ(Line(ActivePane(), 0), L"first");
    EXPECT_EQ(ActiveCaret(), (Position{0, 1}));
    EXPECT_EQ(Send(ActivePane(), MPM_GETSELKIND), 0);
    EXPECT_EQ(GetFocus(), ActivePane());

    DoubleClickLine(out, 2);
    EXPECT_EQ(frame_->DocumentCount(), 2u);  // the open document, not a second one
    EXPECT_EQ(ActiveCaret(), (Position{2, 4}));
    DoubleClickLine(out, 1);
    EXPECT_EQ(ActiveCaret(), (Position{0, 0}));
    EXPECT_EQ(Text(out).substr(0, 2), L"#<");  // the control still selected the word itself
}

TEST_F(OutputTest, AnOpenDocumentIsActivatedWhateverTheCaseOfItsPathAndPanesJumpToo) {
    ASSERT_NE(frame_->OpenDocument(a_), nullptr);
    Command(ID_FILE_NEW);
    ASSERT_EQ(frame_->ActiveIndex(), 2u);
    std::wstring upper = a_;
    for (wchar_t& c : upper) c = wchar_t(std::towupper(c));
    DoubleClickLine(Appended(ResultLine(upper, 2, 3, L"second")), 0);
    EXPECT_EQ(frame_->DocumentCount(), 3u);
    EXPECT_EQ(frame_->ActiveIndex(), 1u);
    EXPECT_EQ(ActiveCaret(), (Position{1, 3}));
    // From a document pane the same way.
    Command(ID_FILE_NEW);
    const HWND pane = ActivePane();
    const std::wstring text = ResultLine(a_, 3, 1, L"third") + L"\nnot a result line";
    TextArg arg = {text.c_str(), int(text.size())};
    Send(pane, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    DoubleClickLine(pane, 1);
    EXPECT_EQ(ActivePane(), pane);
    DoubleClickLine(pane, 0);
    EXPECT_EQ(frame_->DocumentCount(), 4u);
    EXPECT_EQ(frame_->ActiveIndex(), 1u);
    EXPECT_EQ(ActiveCaret(), (Position{2, 1}));
}

TEST_F(OutputTest, GrepLexerStylesResultLinesSurvivesAReloadAndTheFontFollowsSlot1440) {
    const HWND out = Appended(L"#<C:\\a.txt>:(12,3): text (1,2)\nplain #<b>");
    // The file part, the position, the text, a file part not at the start.
    const int at[][3] = {{0, 0, 1}, {0, 10, 1}, {0, 11, 9}, {0, 17, 9}, {0, 21, 0}, {1, 7, 0}};
    for (const auto& c : at) EXPECT_EQ(StyleAt(out, c[0], c[1]), c[2]) << c[0] << ":" << c[1];
    Send(out, MPD_REMEMBER_SYNTAX);
    EXPECT_EQ(LexerName(out), L"");
    Send(out, MPD_APPLY_SYNTAX);
    Send(out, MPD_APPLY_SYNTAX);  // nothing remembered: nothing changes
    EXPECT_EQ(LexerName(out), L"Grep");
    frame_->ReloadSyntax();
    EXPECT_EQ(LexerName(out), L"Grep");
    EXPECT_EQ(StyleAt(out, 0, 0), 1);

    settings::FontSpec stored;
    stored.face = L"Arial";
    stored.size = 15;
    settings::WriteFontSlot(ID_FONT_OUTPUT, stored);
    Send(frame_->Window(), MPF_FONT_CHANGED, ID_FONT_OUTPUT);
    auto font = reinterpret_cast<HFONT>(Send(out, WM_GETFONT));
    LOGFONTW lf = {};
    ASSERT_TRUE(GetObjectW(font, sizeof lf, &lf));
    EXPECT_STREQ(lf.lfFaceName, L"Arial");
    // A document font leaves the output alone.
    stored.face = L"Tahoma";
    settings::WriteFontSlot(ID_FONT_FIRST, stored);
    Send(frame_->Window(), MPF_FONT_CHANGED, ID_FONT_FIRST);
    EXPECT_EQ(reinterpret_cast<HFONT>(Send(out, WM_GETFONT)), font);
}

TEST_F(OutputTest, TheWindowGoesWithTheFrame) {
    Command(ID_TOGGLE_OUTPUT);
    const HWND out = Output();
    ASSERT_TRUE(IsWindow(out));
    DestroyWindow(frame_->Window());
    EXPECT_FALSE(IsWindow(out));
    EXPECT_EQ(Output(), nullptr);
    EXPECT_EQ(Env()->AppendOutput(L"late", -1), 0);
    Pump();
}

// ---------------------------------------------------------------------------
// A window of its own, with a host whose menus answer from a script.

namespace {

struct ScriptedHost : testing_support::CNullDevEnv {
    std::vector<UINT> answers;
    std::vector<std::vector<UINT>> menus;  // the items of each menu shown
    std::vector<POINT> points;
    std::vector<std::pair<std::wstring, UINT>> boxes;  // text and flags

    int MORROWPAD_CALL MessageBox(const wchar_t* text, UINT flags, const wchar_t*, HWND) override {
        boxes.push_back({text ? text : L"", flags});
        return IDOK;
    }
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
};

struct BusyOutput : shell::COutputWindow {
    bool busy = false;
    bool ToolRunning() const override { return busy; }
};

}  // namespace

TEST_F(OutputTest, ContextMenuFromTheLanguageLibraryAndClearRefusedWhileAToolRuns) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    ScriptedHost host;
    {
        BusyOutput output;
        const HWND out = output.Create(parent, edit_, &host);
        ASSERT_NE(out, nullptr);
        output.Append(L"one\ntwo", -1);
        host.answers = {ID_OUTPUT_LINE_NUMBERS, 0, ID_OUTPUT_CLEAR, ID_OUTPUT_CLEAR};
        Send(out, WM_CONTEXTMENU, WPARAM(out), MAKELPARAM(40, 50));
        ASSERT_EQ(host.menus.size(), 1u);
        EXPECT_EQ(host.menus[0],
                  (std::vector<UINT>{ECMD_COPY, ECMD_SELECTALL, 0, ID_OUTPUT_CLEAR, ID_OUTPUT_LINE_NUMBERS}));
        EXPECT_EQ(std::make_pair(host.points[0].x, host.points[0].y), std::make_pair(40L, 50L));
        EXPECT_EQ(Send(out, MPM_VIEWPART, 0, -1), 1);
        // Nothing chosen; then a point far left of every monitor.
        Send(out, WM_CONTEXTMENU, WPARAM(out), MAKELPARAM(-20000, 50));
        EXPECT_EQ(Text(out), L"one\ntwo");
        ASSERT_EQ(host.points.size(), 2u);
        EXPECT_GE(host.points[1].x, GetSystemMetrics(SM_XVIRTUALSCREEN));
        // Clear while a tool runs: the message, and the text kept.
        output.busy = true;
        Send(out, WM_CONTEXTMENU, WPARAM(out), MAKELPARAM(40, 50));
        EXPECT_EQ(Text(out), L"one\ntwo");
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(host.boxes[0].first, shell::LanguageString(15101));
        EXPECT_FALSE(host.boxes[0].first.empty());
        EXPECT_EQ(host.boxes[0].second & MB_ICONMASK, UINT(MB_ICONSTOP));
        output.busy = false;
        Send(out, WM_CONTEXTMENU, WPARAM(out), MAKELPARAM(40, 50));
        EXPECT_EQ(Text(out), L"");
        EXPECT_EQ(host.boxes.size(), 1u);
    }
    DestroyWindow(parent);
}
