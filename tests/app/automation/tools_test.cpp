// External tools end to end: the placeholders read from real documents,
// document text quoted into command lines that real programs parse, the
// redirector running tool_child.exe (pieces, standard error, the end line,
// closing a running tool without a deadlock), tools.ini and the Tools menu,
// and tools run from the frame's commands into its output window.
#include "Tools.h"

#include <gtest/gtest.h>
#include <prsht.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CommandIds.h"
#include "Document.h"
#include "EditProtocol.h"
#include "InputDialog.h"
#include "MainFrame.h"
#include "Redirector.h"
#include "Resources.h"
#include "Settings.h"
#include "TestSupport.h"
#include "ToolRunner.h"

using automation::DocumentContext;
using automation::ExpandPlaceholders;
using automation::QuoteStyle;
using automation::ToolRecord;
using testing_support::Messages;

namespace {

std::wstring Child() { return testing_support::TestFolder() + L"tool_child.exe"; }
std::wstring QuotedChild() { return L"\"" + Child() + L"\""; }

// Runs the messages until `done` or `milliseconds` pass; the last answer.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
    }
    return true;
}

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
    if (!control) return all;
    const int count = int(SendMessageW(control, MPM_GETLINECOUNT, 0, 0));
    for (int i = 0; i < count; ++i) all += (i ? L"\n" : L"") + LineOf(control, i);
    return all;
}

void Select(HWND pane, int line1, int col1, int line2, int col2) {
    Position anchor = {line1, col1}, caret = {line2, col2};
    SendMessageW(pane, MPM_SELECT, reinterpret_cast<WPARAM>(&anchor), reinterpret_cast<LPARAM>(&caret));
}

// Records what the reader hands over, on whichever thread it comes.
class RecordingRedirector : public automation::CRedirector {
   public:
    ~RecordingRedirector() override { Close(); }
    void WriteStdOut(const char* text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        pieces_.push_back(text);
    }
    void WriteStdError(const char* text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        errors_ += text;
    }
    std::vector<std::string> Pieces() {
        std::lock_guard<std::mutex> lock(mutex_);
        return pieces_;
    }
    std::string Out() {
        std::string all;
        for (const std::string& p : Pieces()) all += p;
        return all;
    }
    std::string Errors() {
        std::lock_guard<std::mutex> lock(mutex_);
        return errors_;
    }
    bool Ended() { return Out().find("<COMMAND>: command process ended\r\n") != std::string::npos; }

   private:
    std::mutex mutex_;
    std::vector<std::string> pieces_;
    std::string errors_;
};

// Sends every piece to a window of the test's thread, as the output window
// does: a reader caught in that call while the thread waits for it in
// Close is the deadlock Close must not fall into.
class WindowRedirector : public RecordingRedirector {
   public:
    explicit WindowRedirector(HWND window) : window_(window) {}
    ~WindowRedirector() override { Close(); }
    void WriteStdOut(const char* text) override {
        SendMessageW(window_, WM_NULL, 0, 0);
        RecordingRedirector::WriteStdOut(text);
    }

   private:
    HWND window_;
};

std::string Ansi(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += char(c < 0x80 ? c : '?');
    return out;
}

bool ProcessAlive(DWORD id) {
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!p) return false;
    const bool alive = WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
    CloseHandle(p);
    return alive;
}

bool WaitForExit(DWORD id) {
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!p) return true;  // gone already
    const bool ended = WaitForSingleObject(p, 10000) == WAIT_OBJECT_0;
    CloseHandle(p);
    return ended;
}

void EndProcess(DWORD id) {
    if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
        TerminateProcess(p, 9);
        WaitForSingleObject(p, 5000);
        CloseHandle(p);
    }
}

constexpr char kEnd[] = "<COMMAND>: command process ended\r\n";

// ---------------------------------------------------------------------------
// The redirector alone

TEST(RedirectorTest, OutputArrivesInPiecesMixedWithStandardErrorThenTheEndLine) {
    RecordingRedirector r;
    ASSERT_TRUE(
        r.Open(QuotedChild() + L" out=one\\r\\n sleep=300 err=two\\r\\n sleep=300 out=three\\r\\n exit=3"));
    EXPECT_TRUE(r.IsRunning());
    // The first piece is there while the child still runs.
    ASSERT_TRUE(PumpUntil([&] { return !r.Pieces().empty(); }));
    EXPECT_EQ(r.Pieces()[0], "one\r\n");
    EXPECT_TRUE(r.IsRunning());
    ASSERT_TRUE(PumpUntil([&] { return !r.IsRunning(); }));
    EXPECT_EQ(r.Out(), "one\r\ntwo\r\nthree\r\n<COMMAND>: command process ended\r\n");
    EXPECT_GE(r.Pieces().size(), 4u);
    EXPECT_EQ(r.Errors(), "");
}

TEST(RedirectorTest, ALargeOutputArrivesWhole) {
    RecordingRedirector r;
    ASSERT_TRUE(r.Open(QuotedChild() + L" flood=2000"));
    ASSERT_TRUE(PumpUntil([&] { return !r.IsRunning(); }));
    const std::string line = std::string(60, 'x') + "\r\n";
    std::string expected;
    for (int i = 0; i < 2000; ++i) expected += line;
    EXPECT_EQ(r.Out(), expected + "<COMMAND>: command process ended\r\n");
    for (const std::string& piece : r.Pieces()) EXPECT_LE(piece.size(), 8191u);
}

TEST(RedirectorTest, ACrLfSplitBetweenTwoReadsIsHandedOverTogether) {
    RecordingRedirector r;
    ASSERT_TRUE(r.Open(QuotedChild() + L" out=a\\r sleep=400 out=\\nb\\r"));
    ASSERT_TRUE(PumpUntil([&] { return !r.IsRunning(); }));
    EXPECT_EQ(r.Out(), "a\r\nb\r<COMMAND>: command process ended\r\n");
    for (const std::string& piece : r.Pieces()) EXPECT_NE(piece, "a\r");
}

TEST(RedirectorTest, ATwoByteCharacterSplitBetweenTwoReadsIsHandedOverWhole) {
    RecordingRedirector r;
    r.SetCodePage(932);
    ASSERT_TRUE(r.Open(QuotedChild() + L" out=a\\x82 sleep=400 out=\\xA0b\\x82 sleep=400 out=\\xA0\\x81"));
    ASSERT_TRUE(PumpUntil([&] { return !r.IsRunning(); }));
    // The lone lead byte at the very end comes out with the end of the pipe.
    EXPECT_EQ(r.Out(), std::string("a\x82\xA0"
                                   "b\x82\xA0\x81") +
                           kEnd);
    const std::vector<std::string> pieces = r.Pieces();
    ASSERT_GE(pieces.size(), 4u);
    EXPECT_EQ(pieces[0], "a");
    EXPECT_EQ(pieces[1],
              "\x82\xA0"
              "b");
    EXPECT_EQ(pieces[2], "\x82\xA0");
}

TEST(RedirectorTest, AProgramThatCannotStartSaysWhy) {
    RecordingRedirector r;
    EXPECT_FALSE(r.Open(L"no_such_tool_here.exe arg"));
    EXPECT_FALSE(r.IsRunning());
    const std::string errors = r.Errors();
    EXPECT_EQ(errors.rfind("Error: Redirect console error: 2\r\n", 0), 0u) << errors;
    EXPECT_NE(errors.find("no_such_tool_here.exe arg: "), std::string::npos) << errors;
    EXPECT_FALSE(r.Open(L""));
    EXPECT_FALSE(r.IsRunning());
}

TEST(RedirectorTest, CloseStopsReadingButLeavesTheChildRunning) {
    RecordingRedirector r;
    ASSERT_TRUE(r.Open(QuotedChild() + L" tick=100"));
    const DWORD child = r.ChildProcessId();
    ASSERT_TRUE(PumpUntil([&] { return r.Out().find("tick") != std::string::npos; }));
    const DWORD start = GetTickCount();
    r.Close();
    EXPECT_LT(GetTickCount() - start, 4000u);  // below the reader's 5 s limit
    EXPECT_FALSE(r.IsRunning());
    EXPECT_EQ(r.Errors(), "");
    const std::string before = r.Out();
    Sleep(300);
    EXPECT_EQ(r.Out(), before);  // nothing more is read
    EXPECT_FALSE(r.Ended());
    EXPECT_TRUE(ProcessAlive(child));
    EndProcess(child);
}

TEST(RedirectorTest, CloseWhileTheReaderSendsToTheWaitingThreadDoesNotDeadlock) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    {
        WindowRedirector r(window);
        ASSERT_TRUE(r.Open(QuotedChild() + L" flood=100000"));
        const DWORD child = r.ChildProcessId();
        ASSERT_TRUE(PumpUntil([&] { return !r.Pieces().empty(); }));
        // The reader is sending piece after piece to this thread now.
        const DWORD start = GetTickCount();
        r.Close();
        EXPECT_LT(GetTickCount() - start, 4000u);  // below the reader's 5 s limit
        EXPECT_EQ(r.Errors(), "");
        EXPECT_FALSE(r.IsRunning());
        EndProcess(child);
    }
    DestroyWindow(window);
}

TEST(RedirectorTest, ANewOpenClosesThePreviousChildAndTheDestructorStopsTheReader) {
    auto r = std::make_unique<RecordingRedirector>();
    ASSERT_TRUE(r->Open(QuotedChild() + L" tick=5"));
    const DWORD first = r->ChildProcessId();
    ASSERT_TRUE(r->Open(QuotedChild() + L" tick=5"));
    EXPECT_NE(r->ChildProcessId(), first);
    EXPECT_TRUE(r->IsRunning());
    const DWORD second = r->ChildProcessId();
    const DWORD start = GetTickCount();
    r.reset();
    EXPECT_LT(GetTickCount() - start, 4000u);  // below the reader's 5 s limit
    // Both children end on their own: one terminated before Wine's console
    // host has connected to it leaves that host running for good.
    EXPECT_TRUE(WaitForExit(first));
    EXPECT_TRUE(WaitForExit(second));
}

// ---------------------------------------------------------------------------
// Placeholders and quoting without a document

TEST(PlaceholderTest, ReplacedInOrderAndDocumentTextIsNotSearchedAgain) {
    DocumentContext doc;
    doc.path = L"C:\\d$(CurCol)\\f.txt";  // a path is searched by the later placeholders
    doc.column = 7;
    doc.selection = L"$(CurWord)";
    doc.word = L"w";
    EXPECT_EQ(ExpandPlaceholders(L"$(FilePath)", doc, QuoteStyle::None), L"C:\\d7\\f.txt");
    EXPECT_EQ(ExpandPlaceholders(L"$(CurSel)", doc, QuoteStyle::None), L"$(CurWord)");
    EXPECT_EQ(ExpandPlaceholders(L"$(CurSel)", doc, QuoteStyle::CommandLine), L"\"$(CurWord)\"");
    EXPECT_EQ(ExpandPlaceholders(L"$(curline) $(CurLine", doc, QuoteStyle::None), L"$(curline) $(CurLine");
}

TEST(PlaceholderTest, WithoutADocumentEveryPlaceholderIsEmptyOrZero) {
    const DocumentContext doc = automation::ContextOf(nullptr);
    EXPECT_EQ(ExpandPlaceholders(L"<$(FilePath)|$(FileDir)|$(FileName)|$(FileNameNoExt)|$(CurLine)|$(CurCol)|"
                                 L"$(CurSel)|$(CurWord)|$(CurLineText)>",
                                 doc, QuoteStyle::None),
              L"<||||0|0|||>");
    EXPECT_EQ(ExpandPlaceholders(L"$(CurSel)", doc, QuoteStyle::CommandLine), L"\"\"");
}

TEST(PlaceholderTest, PathPartsOfUnusualPaths) {
    DocumentContext doc;
    doc.path = L"C:\\a.txt";
    EXPECT_EQ(ExpandPlaceholders(L"$(FileDir)|$(FileName)|$(FileNameNoExt)", doc, QuoteStyle::None),
              L"C:|a.txt|a");
    doc.path = L"C:\\x\\archive.tar.gz";
    EXPECT_EQ(ExpandPlaceholders(L"$(FileDir)|$(FileNameNoExt)", doc, QuoteStyle::None),
              L"C:\\x|archive.tar");
    doc.path = L"C:\\x\\README";
    EXPECT_EQ(ExpandPlaceholders(L"$(FileNameNoExt)", doc, QuoteStyle::None), L"README");
}

TEST(PlaceholderTest, TheInterpreterIsRecognisedByTheProgram) {
    EXPECT_EQ(automation::QuoteStyleFor(L"cmd /c echo"), QuoteStyle::Interpreter);
    EXPECT_EQ(automation::QuoteStyleFor(L"C:\\windows\\system32\\CMD.EXE /c"), QuoteStyle::Interpreter);
    EXPECT_EQ(automation::QuoteStyleFor(L"\"C:\\my tools\\build.bat\" x"), QuoteStyle::Interpreter);
    EXPECT_EQ(automation::QuoteStyleFor(L"make.cmd"), QuoteStyle::Interpreter);
    EXPECT_EQ(automation::QuoteStyleFor(L"tool.exe cmd"), QuoteStyle::CommandLine);
    EXPECT_EQ(automation::QuoteStyleFor(L"cmdtool.exe"), QuoteStyle::CommandLine);
    EXPECT_EQ(automation::QuoteStyleFor(L""), QuoteStyle::CommandLine);
}

// Document text that would be extra arguments, or extra commands, if it
// were pasted into the command line as it is: the program sees exactly one
// argument with the text (control characters as blanks).
class QuotingTest : public ::testing::TestWithParam<const wchar_t*> {};

std::string RunAndRead(const std::wstring& commandLine) {
    RecordingRedirector r;
    if (!r.Open(commandLine)) return "cannot start: " + r.Errors();
    if (!PumpUntil([&] { return !r.IsRunning(); })) return "still running";
    return r.Out();
}

std::string Blanked(const std::wstring& text) {
    std::string out = Ansi(text);
    for (char& c : out)
        if (c > 0 && c < 0x20) c = ' ';
    return out;
}

TEST_P(QuotingTest, OneArgumentForAProgram) {
    DocumentContext doc;
    doc.selection = GetParam();
    const std::string value = Blanked(doc.selection);
    const std::wstring args = ExpandPlaceholders(
        L"args $(CurSel) \"in $(CurSel) quotes\" \"$(CurSel)\" $(CurSel)x end", doc, QuoteStyle::CommandLine);
    EXPECT_EQ(RunAndRead(QuotedChild() + L" " + args), "[" + value + "]\r\n[in " + value + " quotes]\r\n[" +
                                                           value + "]\r\n[" + value + "x]\r\n[end]\r\n" +
                                                           kEnd)
        << Ansi(args);
}

TEST_P(QuotingTest, OneArgumentForAProgramStartedByTheInterpreter) {
    DocumentContext doc;
    doc.selection = GetParam();
    const std::string value = Blanked(doc.selection);
    const std::wstring line =
        L"cmd /c " + Child() + L" args $(CurSel) \"in $(CurSel) quotes\" \"$(CurSel)\" end";
    ASSERT_EQ(automation::QuoteStyleFor(line), QuoteStyle::Interpreter);
    const std::wstring expanded = ExpandPlaceholders(line, doc, QuoteStyle::Interpreter);
    EXPECT_EQ(RunAndRead(expanded),
              "[" + value + "]\r\n[in " + value + " quotes]\r\n[" + value + "]\r\n[end]\r\n" + kEnd)
        << Ansi(expanded);
}

INSTANTIATE_TEST_SUITE_P(Texts, QuotingTest,
                         ::testing::Values(L"plain", L"two words", L"quote \" inside", L"trailing\\",
                                           L"back\\\"slash\\\\\"", L"\" & echo INJECTED & \"",
                                           L"a & b | c > d < e ^ f ( g )", L"line1\r\nline2\tend", L""));

TEST(InterpreterTest, ExpandsNoVariableInTextStandingAlone) {
    DocumentContext doc;
    doc.selection = L"100% %PATH% !x!";
    const std::string out = RunAndRead(
        ExpandPlaceholders(L"cmd /c " + Child() + L" args $(CurSel)", doc, QuoteStyle::Interpreter));
    EXPECT_EQ(out, std::string("[100% %PATH% !x!]\r\n") + kEnd);
}

TEST(InterpreterTest, RunsNoCommandHiddenInTheText) {
    DocumentContext doc;
    doc.selection = L"x\" & echo INJECTED & \"y";
    const std::string out =
        RunAndRead(ExpandPlaceholders(L"cmd /c echo $(CurSel)", doc, QuoteStyle::Interpreter));
    EXPECT_EQ(out.find("\r\nINJECTED"), std::string::npos) << out;
    EXPECT_EQ(out.rfind("INJECTED"), out.find("INJECTED")) << out;
}

// ---------------------------------------------------------------------------
// tools.ini and the Tools menu

class ToolsFileTest : public ::testing::Test {
   protected:
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-tools-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
    }
    void TearDown() override { settings::SetProgramFolder(L""); }
    std::wstring folder_;
};

TEST_F(ToolsFileTest, RoundTripKeepsBlanksMarksAndEveryField) {
    std::vector<ToolRecord> tools(3);
    tools[0] = {L"Build \x00e9t\x0435", L"C:\\tools\\make.exe", L"  -C \"$(FileDir)\"  ", L" $(FileDir) ", 1};
    tools[1] = {L"", L"untitled.exe", L"#hash first", L"", 0};
    tools[2] = {L"Ask", L"cmd", L"/c echo $(CurSel)", L"C:\\", 3};
    tools.push_back({L"\"Quoted\"", L"\"C:\\my tools\\x.exe\" \"arg\"", L"", L"", 0});  // quotes at both ends
    automation::WriteTools(tools);
    EXPECT_EQ(automation::ReadTools(), tools);
    EXPECT_EQ(automation::ReadTool(2), tools[2]);
    EXPECT_EQ(automation::ReadTool(7), ToolRecord{});  // missing: empty, flag 0
    automation::WriteTools({tools[2]});                // the whole file is rewritten
    EXPECT_EQ(automation::ReadTools(), std::vector<ToolRecord>{tools[2]});
}

TEST_F(ToolsFileTest, ValuesWrittenByHandAndTheEndOfTheList) {
    ASSERT_TRUE(testing_support::WriteFileText(settings::PathOf(settings::File::Tools),
                                               "[Tool0]\r\nTitle=One\r\nArgs=no mark\r\nInitDir=#marked\r\n"
                                               "[Tool1]\r\nExePath=x.exe\r\nFlag=2\r\n"
                                               "[Tool3]\r\nTitle=After a gap\r\n"));
    const std::vector<ToolRecord> tools = automation::ReadTools();
    ASSERT_EQ(tools.size(), 2u);
    EXPECT_EQ(tools[0].args, L"no mark");
    EXPECT_EQ(tools[0].initDir, L"marked");
    EXPECT_EQ(tools[0].flag, 0);
    EXPECT_EQ(tools[1].title, L"");
    EXPECT_EQ(tools[1].flag, 2);
}

TEST_F(ToolsFileTest, TheMenuKeepsItsOwnItemsAndNumbersToolsWithoutTitles) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1336, L"Options");
    auto items = [menu] {
        std::vector<UINT> ids;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) ids.push_back(GetMenuItemID(menu, i));
        return ids;
    };
    std::vector<ToolRecord> tools(3);
    tools[0].title = L"A";
    tools[2].title = L"C";
    automation::RebuildToolsMenu(menu, tools);
    const UINT separator = 0;  // GetMenuItemID gives 0 for a separator
    EXPECT_EQ(items(), (std::vector<UINT>{1336, separator, 29000, 29002}));
    wchar_t text[16] = {};
    GetMenuStringW(menu, 29002, text, 16, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"C");
    automation::RebuildToolsMenu(menu, tools);  // again: the same, not doubled
    EXPECT_EQ(items(), (std::vector<UINT>{1336, separator, 29000, 29002}));
    automation::RebuildToolsMenu(menu, {});
    EXPECT_EQ(items(), std::vector<UINT>{1336});
    DestroyMenu(menu);
}

// ---------------------------------------------------------------------------
// Tools run by the frame

bool g_answer = true;
std::wstring g_asked, g_typed;
bool AnswerInput(HWND, const std::wstring&, const std::wstring&, std::wstring* value) {
    g_asked = *value;
    if (g_answer) *value = g_typed;
    return g_answer;
}

class FrameToolsTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        language_ = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language_);
    }
    static void TearDownTestSuite() { shell::SetResourceModule(nullptr); }

    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-frametools-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
        ASSERT_NE(edit_, nullptr);
        Messages().clear();
        previousHook_ = documents::SetInputHook(&AnswerInput);
    }
    void TearDown() override {
        frame_.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        documents::SetInputHook(previousHook_);
        settings::SetProgramFolder(L"");
    }
    void Create(const std::vector<ToolRecord>& tools) {
        automation::WriteTools(tools);
        frame_ = std::make_unique<shell::CMainFrame>();
        ASSERT_NE(frame_->Create(L"prog", edit_), nullptr);
    }
    void Command(UINT id) { SendMessageW(frame_->Window(), WM_COMMAND, id, 0); }
    HWND Output() { return frame_->OutputWindow(); }
    std::wstring OutputText() { return AllText(Output()); }
    bool WaitForOutput(const std::wstring& part, DWORD ms = 10000) {
        return PumpUntil([&] { return OutputText().find(part) != std::wstring::npos; }, ms);
    }
    static ToolRecord Captured(const wchar_t* title, const std::wstring& args) {
        return ToolRecord{title, QuotedChild(), args, L"", automation::kToolFlagCapture};
    }

    static HMODULE language_;
    std::wstring folder_;
    HMODULE edit_ = nullptr;
    documents::InputFn previousHook_ = nullptr;
    std::unique_ptr<shell::CMainFrame> frame_;
};
HMODULE FrameToolsTest::language_ = nullptr;

const wchar_t kEndLine[] = L"<COMMAND>: command process ended";
// The end as the output window shows it: a line feed, the end line with its
// CR LF and another line feed.
const std::wstring kEnded = std::wstring(L"\n") + kEndLine + L"\n\n";

TEST_F(FrameToolsTest, TheToolsMenuListsTheToolsAtCreation) {
    Create({Captured(L"First", L""), Captured(L"", L""), Captured(L"Third", L"")});
    HMENU tools = GetSubMenu(frame_->Menu(), MENU_TOOLS);
    ASSERT_NE(tools, nullptr);
    wchar_t text[32] = {};
    EXPECT_GT(GetMenuStringW(tools, 29000, text, 32, MF_BYCOMMAND), 0);
    EXPECT_STREQ(text, L"First");
    EXPECT_EQ(GetMenuStringW(tools, 29001, text, 32, MF_BYCOMMAND), 0);
    EXPECT_GT(GetMenuStringW(tools, 29002, text, 32, MF_BYCOMMAND), 0);
    EXPECT_EQ(GetMenuItemID(tools, GetMenuItemCount(tools) - 1), 29002u);
}

// Cancels the options dialog as soon as it shows (a timer of the modal loop).
HWND g_frame = nullptr;
bool g_sheetSeen = false;
void CALLBACK CancelSheet(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND sheet = GetWindow(GetDesktopWindow(), GW_CHILD);
    for (; sheet; sheet = GetWindow(sheet, GW_HWNDNEXT))
        if (GetWindow(sheet, GW_OWNER) == g_frame && IsWindowVisible(sheet)) break;
    if (!sheet) return;
    g_sheetSeen = true;
    KillTimer(nullptr, timer);
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

TEST_F(FrameToolsTest, TheToolsMenuFollowsTheFileWhenTheOptionsDialogCloses) {
    Create({Captured(L"Old", L"")});
    HMENU tools = GetSubMenu(frame_->Menu(), MENU_TOOLS);
    automation::WriteTools({Captured(L"", L""), Captured(L"New", L"")});  // as the tools page writes it
    g_frame = frame_->Window();
    g_sheetSeen = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &CancelSheet);
    Command(ID_OPTIONS_TOOLS);
    KillTimer(nullptr, timer);
    ASSERT_TRUE(g_sheetSeen);
    wchar_t text[32] = {};
    EXPECT_EQ(GetMenuStringW(tools, 29000, text, 32, MF_BYCOMMAND), 0);
    EXPECT_GT(GetMenuStringW(tools, 29001, text, 32, MF_BYCOMMAND), 0);
    EXPECT_STREQ(text, L"New");
}

TEST_F(FrameToolsTest, ACapturedToolWritesIntoTheOutputWindowAndEnds) {
    Create(
        {Captured(L"Child", L"out=hello\\r\\n sleep=300 err=oops\\r\\n out=a\\r sleep=300 out=\\nb\\r\\n")});
    EXPECT_EQ(Output(), nullptr);
    Command(29000);
    ASSERT_NE(Output(), nullptr);  // shown for the tool
    EXPECT_TRUE(frame_->Docking().IsVisible(Output()));
    ASSERT_TRUE(WaitForOutput(kEnded));
    // The CR LF split between two reads is one line break.
    EXPECT_EQ(OutputText(), L"hello\noops\na\nb\n" + kEnded);
    // Run again after text that ends mid-line: the output starts on a line
    // of its own, and the caret follows it to the end.
    frame_->AppendOutput(L"note", 4);
    Command(29000);
    ASSERT_TRUE(PumpUntil([&] { return OutputText().size() > 2 * kEnded.size() + 20 &&
                                       OutputText().rfind(kEnded) > OutputText().find(kEnded); }, 10000));
    EXPECT_EQ(OutputText(), L"hello\noops\na\nb\n" + kEnded + L"note\nhello\noops\na\nb\n" + kEnded);
    Position caret = {};
    SendMessageW(Output(), MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    EXPECT_EQ(caret.line, int(SendMessageW(Output(), MPM_GETLINECOUNT, 0, 0)) - 1);
}

TEST_F(FrameToolsTest, PlaceholdersComeFromTheActiveDocument) {
    const std::wstring path = folder_ + L"name.part.txt";
    ASSERT_TRUE(testing_support::WriteFileText(path, "alpha beta\r\ngamma delta\r\n"));
    Create({Captured(L"Args",
                     L"args $(FilePath) $(FileDir) $(FileName) $(FileNameNoExt) $(CurLine) $(CurCol) "
                     L"$(CurSel) $(CurWord) $(CurLineText) $(CurLine)$(CurLine)")});
    ASSERT_NE(frame_->OpenDocument(path), nullptr);
    HWND pane = frame_->ActivePane();
    ASSERT_NE(pane, nullptr);
    Select(pane, 1, 0, 1, 3);
    Command(29000);
    ASSERT_TRUE(WaitForOutput(kEnded));
    const std::wstring dir = folder_.substr(0, folder_.size() - 1);
    EXPECT_EQ(OutputText(), L"[" + path + L"]\n[" + dir +
                                L"]\n[name.part.txt]\n[name.part]\n[1]\n[3]\n[gam]\n"
                                L"[gamma]\n[gamma delta]\n[11]\n" +
                                kEnded);
}

TEST_F(FrameToolsTest, OnTheFirstLineOfANewDocumentTheNumbersAreZeroAndThePathEmpty) {
    Create({Captured(L"Args",
                     L"args <$(CurLine),$(CurCol)> <$(FilePath)$(FileName)$(FileDir)> $(CurLineText)")});
    Command(29000);
    ASSERT_TRUE(WaitForOutput(kEnded));
    EXPECT_EQ(OutputText(), L"[<0,0>]\n[<>]\n[]\n" + kEnded);
}

TEST_F(FrameToolsTest, AProgramPathWithBlanksRunsThatProgram) {
    const std::wstring folder = folder_ + L"my tools\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(Child().c_str(), (folder + L"tool_child.exe").c_str(), FALSE));
    // What the system would run for the unquoted path "...\my tools\...".
    ASSERT_TRUE(CopyFileW(Child().c_str(), (folder_ + L"my.exe").c_str(), FALSE));
    Create({ToolRecord{L"Blanks", folder + L"tool_child.exe", L"self args one", L"", 1},
            ToolRecord{L"Interpreter", L"cmd /c echo", L"$(CurLine)", L"", 1}});
    Command(29000);
    ASSERT_TRUE(WaitForOutput(kEnded));
    EXPECT_EQ(OutputText(), L"[" + folder + L"tool_child.exe]\n[one]\n" + kEnded);
    Command(29001);  // a program with its own arguments stays as it is
    ASSERT_TRUE(WaitForOutput(L"[one]\n" + kEnded + L"0"));
}

TEST_F(FrameToolsTest, AToolThatCannotStartSaysSoInTheOutputWindow) {
    Create({ToolRecord{L"Missing", L"no_such_tool_here.exe", L"", L"", 1}});
    Command(29000);
    ASSERT_NE(Output(), nullptr);
    EXPECT_NE(OutputText().find(L"Error: Redirect console error: 2\n"), std::wstring::npos) << OutputText();
}

TEST_F(FrameToolsTest, StartingAToolWhileOneRunsEndsTheFirstReaderFirst) {
    Create({Captured(L"Ticks", L"tick=30"), Captured(L"Second", L"out=second\\r\\n")});
    Command(29000);
    ASSERT_TRUE(WaitForOutput(L"tick"));
    Command(29001);
    ASSERT_TRUE(WaitForOutput(L"second"));
    ASSERT_TRUE(PumpUntil([&] {
        const std::wstring t = OutputText();
        return t.find(kEndLine) != t.rfind(kEndLine);
    }));
    const std::wstring text = OutputText();
    const size_t firstEnd = text.find(kEndLine);
    EXPECT_LT(firstEnd, text.find(L"second"));
    // Nothing of the first child after its end line.
    EXPECT_EQ(text.find(L"tick", firstEnd), std::wstring::npos) << text;
}

TEST_F(FrameToolsTest, ClearIsRefusedWhileAToolRunsAndDestroyingTheFrameStopsIt) {
    Create({Captured(L"Ticks", L"tick=30")});
    Command(29000);
    ASSERT_TRUE(WaitForOutput(L"tick"));
    SendMessageW(Output(), WM_COMMAND, ID_OUTPUT_CLEAR, 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, shell::LanguageString(15101));
    EXPECT_NE(OutputText().find(L"tick"), std::wstring::npos);
    const DWORD start = GetTickCount();
    frame_.reset();
    EXPECT_LT(GetTickCount() - start, 4000u);  // below the reader's 5 s limit
}

TEST_F(FrameToolsTest, ClearWorksOnceTheToolHasEnded) {
    Create({Captured(L"Quick", L"out=done\\r\\n")});
    Command(29000);
    ASSERT_TRUE(WaitForOutput(kEnded));
    SendMessageW(Output(), WM_COMMAND, ID_OUTPUT_CLEAR, 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(OutputText(), L"");
}

TEST_F(FrameToolsTest, AShellToolStartsInItsFolderAndWritesNothingToTheOutput) {
    const std::wstring marker = folder_ + L"ran.txt";
    CreateDirectoryW((folder_ + L"start").c_str(), nullptr);
    Create({ToolRecord{L"Shell", Child(), L"file=\"" + marker + L"\"", folder_ + L"start", 0}});
    Command(29000);
    ASSERT_TRUE(PumpUntil([&] { return !testing_support::ReadFileText(marker).empty(); }));
    EXPECT_EQ(testing_support::ReadFileText(marker), Ansi(folder_ + L"start"));
    EXPECT_EQ(OutputText(), L"");
}

TEST_F(FrameToolsTest, AToolThatAsksRunsWithTheTypedArgumentsOrNotAtAll) {
    Create({ToolRecord{L"Ask", QuotedChild(), L"out=stored", L"", 3}});
    g_answer = false;
    g_typed.clear();
    Command(29000);
    EXPECT_EQ(g_asked, L"out=stored");
    EXPECT_EQ(Output(), nullptr);  // cancelled: nothing ran
    g_answer = true;
    g_typed = L"args typed $(CurLine)";
    Command(29000);
    ASSERT_TRUE(WaitForOutput(kEnded));
    EXPECT_EQ(OutputText(), L"[typed]\n[0]\n" + kEnded);
}

}  // namespace
