// External tools end to end: the redirector running tool_child.exe (pieces,
// standard error, the end line, closing a running tool without a deadlock),
// the placeholders and document text quoted into command lines that real
// programs parse, tools.ini and the Tools menu, and tools run from the
// frame's commands into its output window.
#include "Tools.h"

#include <gtest/gtest.h>
#include <prsht.h>
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CommandIds.h"
#include "ControlText.h"
#include "FrameFixture.h"
#include "InputDialog.h"
#include "Menus.h"
#include "Redirector.h"
#include "Timers.h"

using automation::DocumentContext;
using automation::ExpandPlaceholders;
using automation::QuoteStyle;
using automation::ToolRecord;
using testing_support::Messages;
using testing_support::PumpUntil;

namespace {

std::wstring Child() { return testing_support::TestFolder() + L"tool_child.exe"; }
std::wstring QuotedChild() { return L"\"" + Child() + L"\""; }
constexpr char kEnd[] = "<COMMAND>: command process ended\r\n";

std::string Ansi(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += char(c < 0x80 ? c : '?');
    return out;
}

// Records what the reader hands over, on whichever thread it comes. With a
// window, each piece is first sent to it, as the output window does: a
// reader caught in that call while the thread waits for it in Close is the
// deadlock Close must not fall into.
class RecordingRedirector : public automation::CRedirector {
   public:
    explicit RecordingRedirector(HWND window = nullptr) : window_(window) {}
    ~RecordingRedirector() override { Close(); }
    void WriteStdOut(const char* text) override {
        if (window_) SendMessageW(window_, WM_NULL, 0, 0);
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

   private:
    HWND window_;
    std::mutex mutex_;
    std::vector<std::string> pieces_;
    std::string errors_;
};

// Whether process `id` ends within `milliseconds` (one already gone has).
bool Ends(DWORD id, DWORD milliseconds) {
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!p) return true;
    const bool ended = WaitForSingleObject(p, milliseconds) == WAIT_OBJECT_0;
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

// ---------------------------------------------------------------------------
// The redirector alone

// Standard output and error in one stream, piece by piece while the child
// runs, then the end line; pieces of at most one read and a held byte; a
// CR LF or a two-byte character split between two reads is handed over
// together (a lone lead byte at the very end comes with the end of the pipe).
TEST(RedirectorTest, PiecesKeepLineEndsAndCharactersWhole) {
    std::string flood;
    for (int i = 0; i < 2000; ++i) flood += std::string(60, 'x') + "\r\n";
    const struct {
        const wchar_t* steps;
        UINT codePage;
        std::string out;                 // before the end line
        std::vector<std::string> first;  // the first pieces, the first of them while the child runs
    } cases[] = {
        {L"out=one\\r\\n sleep=300 err=two\\r\\n sleep=300 out=three\\r\\n exit=3",
         CP_ACP,
         "one\r\ntwo\r\nthree\r\n",
         {"one\r\n", "two\r\n", "three\r\n"}},
        {L"flood=2000", CP_ACP, flood, {}},
        {L"out=a\\r sleep=400 out=\\nb\\r", CP_ACP, "a\r\nb\r", {"a", "\r\nb"}},
        {L"out=a\\x82 sleep=400 out=\\xA0b\\x82 sleep=400 out=\\xA0\\x81",
         932,
         "a\x82\xA0"
         "b\x82\xA0\x81",
         {"a",
          "\x82\xA0"
          "b",
          "\x82\xA0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Ansi(c.steps));
        RecordingRedirector r;
        r.SetCodePage(c.codePage);
        ASSERT_TRUE(r.Open(QuotedChild() + L" " + c.steps));
        ASSERT_TRUE(PumpUntil([&] { return !r.Pieces().empty(); }));
        EXPECT_TRUE(r.IsRunning() || c.first.empty());
        ASSERT_TRUE(PumpUntil([&] { return !r.IsRunning(); }));
        EXPECT_EQ(r.Out(), c.out + kEnd);
        EXPECT_EQ(r.Errors(), "");
        const std::vector<std::string> pieces = r.Pieces();
        ASSERT_GE(pieces.size(), c.first.size());
        EXPECT_EQ(std::vector<std::string>(pieces.begin(), pieces.begin() + c.first.size()), c.first);
        for (const std::string& piece : pieces) EXPECT_LE(piece.size(), 8191u);
    }
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

// Close stops reading at once (below the reader's 5 s limit) and leaves the
// child running, also while the reader is sending a piece to this thread,
// which waits for it in Close: the deadlock Close must not fall into.
TEST(RedirectorTest, CloseStopsReadingButLeavesTheChildRunning) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    for (auto [steps, to] : {std::pair{L"tick=100", HWND(nullptr)}, std::pair{L"flood=100000", window}}) {
        SCOPED_TRACE(Ansi(steps));
        RecordingRedirector r(to);
        ASSERT_TRUE(r.Open(QuotedChild() + L" " + steps));
        const DWORD child = r.ChildProcessId();
        ASSERT_TRUE(PumpUntil([&] { return !r.Pieces().empty(); }));
        const DWORD start = GetTickCount();
        r.Close();
        EXPECT_LT(GetTickCount() - start, 4000u);
        EXPECT_FALSE(r.IsRunning());
        EXPECT_EQ(r.Errors(), "");
        const std::string before = r.Out();
        Sleep(300);
        EXPECT_EQ(r.Out(), before);  // nothing more is read, not even the end line
        EXPECT_EQ(before.find(kEnd), std::string::npos);
        if (!to) EXPECT_FALSE(Ends(child, 0));
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
    EXPECT_TRUE(Ends(first, 10000));
    EXPECT_TRUE(Ends(second, 10000));
}

// ---------------------------------------------------------------------------
// Placeholders and quoting without a document

// Placeholders in order, every occurrence, case-sensitively; document text
// inserted is not searched again, but a path is searched by the later
// placeholders; the parts of unusual paths; null gives an empty context.
TEST(PlaceholderTest, ReplacedInOrderAndDocumentTextIsNotSearchedAgain) {
    const DocumentContext none = automation::ContextOf(nullptr);
    const struct {
        DocumentContext doc;
        const wchar_t* text;
        QuoteStyle style;
        const wchar_t* expanded;
    } cases[] = {
        {{L"C:\\d$(CurCol)\\f.txt", 0, 7},
         L"$(FilePath) $(FilePath)",
         QuoteStyle::None,
         L"C:\\d7\\f.txt C:\\d7\\f.txt"},
        {{L"", 0, 0, L"$(CurWord)", L"w"}, L"$(CurSel)", QuoteStyle::None, L"$(CurWord)"},
        {{L"", 0, 0, L"$(CurWord)", L"w"}, L"$(CurSel)", QuoteStyle::CommandLine, L"\"$(CurWord)\""},
        {{}, L"$(curline) $(CurLine", QuoteStyle::None, L"$(curline) $(CurLine"},
        {none,
         L"<$(FilePath)|$(FileDir)|$(FileName)|$(FileNameNoExt)|$(CurLine)|$(CurCol)|$(CurSel)|$(CurWord)|"
         L"$(CurLineText)>",
         QuoteStyle::None, L"<||||0|0|||>"},
        {none, L"$(CurSel)", QuoteStyle::CommandLine, L"\"\""},
        {{L"C:\\a.txt"}, L"$(FileDir)|$(FileName)|$(FileNameNoExt)", QuoteStyle::None, L"C:|a.txt|a"},
        {{L"C:\\x\\archive.tar.gz"}, L"$(FileDir)|$(FileNameNoExt)", QuoteStyle::None, L"C:\\x|archive.tar"},
        {{L"C:\\x\\README"}, L"$(FileNameNoExt)", QuoteStyle::None, L"README"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandPlaceholders(c.text, c.doc, c.style), c.expanded) << Ansi(c.text);
}

TEST(PlaceholderTest, TheInterpreterIsRecognisedByTheProgram) {
    for (const wchar_t* line : {L"cmd /c echo", L"C:\\windows\\system32\\CMD.EXE /c",
                                L"\"C:\\my tools\\build.bat\" x", L"make.cmd"})
        EXPECT_EQ(automation::QuoteStyleFor(line), QuoteStyle::Interpreter) << Ansi(line);
    for (const wchar_t* line : {L"tool.exe cmd", L"cmdtool.exe", L""})
        EXPECT_EQ(automation::QuoteStyleFor(line), QuoteStyle::CommandLine) << Ansi(line);
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

TEST_P(QuotingTest, OneArgumentForAProgramAndForOneStartedByTheInterpreter) {
    DocumentContext doc;
    doc.selection = GetParam();
    const std::string v = Blanked(doc.selection);
    const std::wstring args = ExpandPlaceholders(
        L"args $(CurSel) \"in $(CurSel) quotes\" \"$(CurSel)\" $(CurSel)x end", doc, QuoteStyle::CommandLine);
    EXPECT_EQ(RunAndRead(QuotedChild() + L" " + args),
              "[" + v + "]\r\n[in " + v + " quotes]\r\n[" + v + "]\r\n[" + v + "x]\r\n[end]\r\n" + kEnd)
        << Ansi(args);
    const std::wstring line =
        L"cmd /c " + Child() + L" args $(CurSel) \"in $(CurSel) quotes\" \"$(CurSel)\" end";
    ASSERT_EQ(automation::QuoteStyleFor(line), QuoteStyle::Interpreter);
    const std::wstring expanded = ExpandPlaceholders(line, doc, QuoteStyle::Interpreter);
    EXPECT_EQ(RunAndRead(expanded), "[" + v + "]\r\n[in " + v + " quotes]\r\n[" + v + "]\r\n[end]\r\n" + kEnd)
        << Ansi(expanded);
}

INSTANTIATE_TEST_SUITE_P(Texts, QuotingTest,
                         ::testing::Values(L"plain", L"two words", L"quote \" inside", L"trailing\\",
                                           L"back\\\"slash\\\\\"", L"\" & echo INJECTED & \"",
                                           L"a & b | c > d < e ^ f ( g )", L"line1\r\nline2\tend", L""));

TEST(InterpreterTest, ExpandsNoVariableAndRunsNoCommandHiddenInTheText) {
    DocumentContext doc;
    doc.selection = L"100% %PATH% !x!";
    EXPECT_EQ(RunAndRead(ExpandPlaceholders(L"cmd /c " + Child() + L" args $(CurSel)", doc,
                                            QuoteStyle::Interpreter)),
              std::string("[100% %PATH% !x!]\r\n") + kEnd);
    doc.selection = L"x\" & echo INJECTED & \"y";
    const std::string out =
        RunAndRead(ExpandPlaceholders(L"cmd /c echo $(CurSel)", doc, QuoteStyle::Interpreter));
    EXPECT_EQ(out.find("\r\nINJECTED"), std::string::npos) << out;
    EXPECT_EQ(out.rfind("INJECTED"), out.find("INJECTED")) << out;
}

// ---------------------------------------------------------------------------
// tools.ini and the Tools menu

using ToolsFileTest = testing_support::CFrameTest;  // for its program folder

TEST_F(ToolsFileTest, RoundTripKeepsBlanksMarksAndEveryField) {
    std::vector<ToolRecord> tools = {
        {L"Build \x00e9t\x0435", L"C:\\tools\\make.exe", L"  -C \"$(FileDir)\"  ", L" $(FileDir) ", 1},
        {L"", L"untitled.exe", L"#hash first", L"", 0},
        {L"Ask", L"cmd", L"/c echo $(CurSel)", L"C:\\", 3},
        {L"\"Quoted\"", L"\"C:\\my tools\\x.exe\" \"arg\"", L"", L"", 0}};  // quotes at both ends
    automation::WriteTools(tools);
    EXPECT_EQ(automation::ReadTools(), tools);
    EXPECT_EQ(automation::ReadTool(2), tools[2]);
    EXPECT_EQ(automation::ReadTool(7), ToolRecord{});  // missing: empty, flag 0
    automation::WriteTools({tools[2]});                // the whole file is rewritten
    EXPECT_EQ(automation::ReadTools(), std::vector<ToolRecord>{tools[2]});
}

TEST_F(ToolsFileTest, ValuesWrittenByHandAndTheEndOfTheList) {
    File(L"tools.ini",
         "[Tool0]\r\nTitle=One\r\nArgs=no mark\r\nInitDir=#marked\r\n[Tool1]\r\nExePath=x.exe\r\nFlag=2\r\n"
         "[Tool3]\r\nTitle=After a gap\r\n");
    EXPECT_EQ(automation::ReadTools(), (std::vector<ToolRecord>{{L"One", L"", L"no mark", L"marked", 0},
                                                                {L"", L"x.exe", L"", L"", 2}}));
}

using testing_support::ItemIds;
using testing_support::MenuText;

TEST(ToolsMenuTest, KeepsItsOwnItemsAndNumbersToolsWithoutTitles) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1336, L"Options");
    std::vector<ToolRecord> tools(3);
    tools[0].title = L"A";
    tools[2].title = L"C";
    automation::RebuildToolsMenu(menu, tools);
    EXPECT_EQ(ItemIds(menu), (std::vector<UINT>{1336, 0, 29000, 29002}));
    EXPECT_EQ(MenuText(menu, 29002), L"C");
    automation::RebuildToolsMenu(menu, tools);  // again: the same, not doubled
    EXPECT_EQ(ItemIds(menu), (std::vector<UINT>{1336, 0, 29000, 29002}));
    automation::RebuildToolsMenu(menu, {});
    EXPECT_EQ(ItemIds(menu), std::vector<UINT>{1336});
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

const wchar_t kEndLine[] = L"<COMMAND>: command process ended";
// The end as the output window shows it: a line feed, the end line with its
// CR LF and another line feed.
const std::wstring kEnded = std::wstring(L"\n") + kEndLine + L"\n\n";

class FrameToolsTest : public testing_support::CFrameTest {
   protected:
    void SetUp() override {
        CFrameTest::SetUp();
        previousHook_ = documents::SetInputHook(&AnswerInput);
    }
    void TearDown() override {
        CFrameTest::TearDown();
        documents::SetInputHook(previousHook_);
    }
    void Create(const std::vector<ToolRecord>& tools) {
        automation::WriteTools(tools);
        ASSERT_NE(CFrameTest::Create(), nullptr);
    }
    HWND Output() { return frame_->OutputWindow(); }
    std::wstring OutputText() { return testing_support::TextOf(Output()); }
    bool WaitForOutput(const std::wstring& part) {
        return PumpUntil([&] { return OutputText().find(part) != std::wstring::npos; });
    }
    // Runs tool n into the cleared output window; what it shows once its end line is there.
    std::wstring Run(int n) {
        if (Output()) SendMessageW(Output(), WM_COMMAND, ID_OUTPUT_CLEAR, 0);
        Command(29000 + n);
        WaitForOutput(kEnded);
        return OutputText();
    }
    static ToolRecord Captured(const wchar_t* title, const std::wstring& args) {
        return ToolRecord{title, QuotedChild(), args, L"", automation::kToolFlagCapture};
    }

    documents::InputFn previousHook_ = nullptr;
};

// Cancels the options dialog once it shows (the frame's is the only one).
HWND g_frame = nullptr;
bool g_sheetSeen = false;
bool CancelSheet() {
    HWND sheet = GetWindow(GetDesktopWindow(), GW_CHILD);
    while (sheet && !(GetWindow(sheet, GW_OWNER) == g_frame && IsWindowVisible(sheet)))
        sheet = GetWindow(sheet, GW_HWNDNEXT);
    if (sheet) PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return g_sheetSeen = sheet != nullptr;
}

// The menu lists the tools at creation and follows the file when the
// options dialog closes.
TEST_F(FrameToolsTest, TheToolsMenuListsTheToolsOfTheFile) {
    Create({Captured(L"First", L""), Captured(L"", L""), Captured(L"Third", L"")});
    HMENU tools = GetSubMenu(frame_->Menu(), MENU_TOOLS);
    ASSERT_NE(tools, nullptr);
    std::vector<UINT> ids = ItemIds(tools);
    ASSERT_GE(ids.size(), 3u);
    EXPECT_EQ(std::vector<UINT>(ids.end() - 3, ids.end()), (std::vector<UINT>{0, 29000, 29002}));
    EXPECT_EQ(MenuText(tools, 29000), L"First");
    EXPECT_EQ(MenuText(tools, 29002), L"Third");
    automation::WriteTools({Captured(L"", L""), Captured(L"New", L"")});  // as the tools page writes it
    g_frame = frame_->Window();
    g_sheetSeen = false;
    const UINT_PTR timer = testing_support::Until<CancelSheet>(50);
    Command(ID_OPTIONS_TOOLS);
    KillTimer(nullptr, timer);
    ASSERT_TRUE(g_sheetSeen);
    ids = ItemIds(tools);
    EXPECT_EQ(std::vector<UINT>(ids.end() - 2, ids.end()), (std::vector<UINT>{0, 29001}));
    EXPECT_EQ(MenuText(tools, 29001), L"New");
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
    const std::wstring once = L"hello\noops\na\nb\n" + kEnded;
    EXPECT_EQ(OutputText(), once);
    // Run again after text that ends mid-line: the output starts on a line
    // of its own, and the caret follows it to the end.
    frame_->AppendOutput(L"note", 4);
    Command(29000);
    ASSERT_TRUE(PumpUntil([&] { return OutputText().size() >= 2 * once.size() + 5; }));
    EXPECT_EQ(OutputText(), once + L"note\n" + once);
    EXPECT_EQ(testing_support::CaretOf(Output()).line,
              int(SendMessageW(Output(), MPM_GETLINECOUNT, 0, 0)) - 1);
}

// The same tool on the first line of a new document and on a selection in
// a file.
TEST_F(FrameToolsTest, PlaceholdersComeFromTheActiveDocument) {
    const std::wstring path = File(L"name.part.txt", "alpha beta\r\ngamma delta\r\n");
    Create({Captured(L"Args",
                     L"args <$(FilePath)> <$(FileDir)> $(FileName) $(FileNameNoExt) "
                     L"<$(CurLine),$(CurCol)> $(CurSel) $(CurWord) $(CurLineText) $(CurLine)$(CurLine)")});
    EXPECT_EQ(Run(0), L"[<>]\n[<>]\n[<0,0>]\n[]\n[]\n[]\n[00]\n" + kEnded);
    ASSERT_NE(frame_->OpenDocument(path), nullptr);
    testing_support::Select(ActivePane(), {1, 0}, {1, 3});
    EXPECT_EQ(Run(0),
              L"[<" + path + L">]\n[<" + folder_.substr(0, folder_.size() - 1) +
                  L">]\n[name.part.txt]\n[name.part]\n[<1,3>]\n[gam]\n[gamma]\n[gamma delta]\n[11]\n" +
                  kEnded);
}

// A program path with blanks runs that program; a program with its own
// arguments stays as it is; one that cannot start says so; a shell tool
// starts in its folder and writes nothing to the output; a tool that asks
// runs with the typed arguments, or not at all.
TEST_F(FrameToolsTest, ToolsRunAsTheirRecordsSay) {
    const std::wstring folder = folder_ + L"my tools\\", marker = folder_ + L"ran.txt";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"start").c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(Child().c_str(), (folder + L"tool_child.exe").c_str(), FALSE));
    // What the system would run for the unquoted path "...\my tools\...".
    ASSERT_TRUE(CopyFileW(Child().c_str(), (folder_ + L"my.exe").c_str(), FALSE));
    Create({ToolRecord{L"Shell", Child(), L"file=\"" + marker + L"\"", folder_ + L"start", 0},
            ToolRecord{L"Ask", QuotedChild(), L"out=stored", L"", 3},
            ToolRecord{L"Blanks", folder + L"tool_child.exe", L"self args one", L"", 1},
            ToolRecord{L"Interpreter", L"cmd /c echo", L"$(CurLine)", L"", 1},
            ToolRecord{L"Missing", L"no_such_tool_here.exe", L"", L"", 1}});
    Command(29000);
    ASSERT_TRUE(PumpUntil([&] { return !testing_support::ReadFileText(marker).empty(); }));
    EXPECT_EQ(testing_support::ReadFileText(marker), Ansi(folder_ + L"start"));
    g_answer = false;
    Command(29001);
    EXPECT_EQ(g_asked, L"out=stored");
    EXPECT_EQ(Output(), nullptr);  // neither the shell tool nor the cancelled one wrote
    g_answer = true;
    g_typed = L"args typed $(CurLine)";
    EXPECT_EQ(Run(1), L"[typed]\n[0]\n" + kEnded);
    EXPECT_EQ(Run(2), L"[" + folder + L"tool_child.exe]\n[one]\n" + kEnded);
    EXPECT_EQ(Run(3), L"0\n" + kEnded);
    Command(29004);
    EXPECT_NE(OutputText().find(L"Error: Redirect console error: 2\n"), std::wstring::npos)
        << testing::PrintToString(OutputText());
}

// A second tool ends the first one's reader (its end line comes first and
// nothing of it after); Clear waits for the end; the frame's end stops a
// running tool.
TEST_F(FrameToolsTest, OneToolReadsAtATimeAndClearWaitsForItsEnd) {
    Create({Captured(L"Ticks", L"tick=30"), Captured(L"Second", L"out=second\\r\\n")});
    Command(29000);
    ASSERT_TRUE(WaitForOutput(L"tick"));
    SendMessageW(Output(), WM_COMMAND, ID_OUTPUT_CLEAR, 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, shell::LanguageString(15101));
    EXPECT_NE(OutputText().find(L"tick"), std::wstring::npos);
    Command(29001);
    ASSERT_TRUE(WaitForOutput(L"second\n" + kEnded));
    const std::wstring text = OutputText();
    const size_t firstEnd = text.find(kEndLine);
    EXPECT_LT(firstEnd, text.find(L"second"));
    EXPECT_EQ(text.find(L"tick", firstEnd), std::wstring::npos) << testing::PrintToString(text);
    SendMessageW(Output(), WM_COMMAND, ID_OUTPUT_CLEAR, 0);
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_EQ(OutputText(), L"");
    Command(29000);
    ASSERT_TRUE(WaitForOutput(L"tick"));
    const DWORD start = GetTickCount();
    frame_.reset();
    EXPECT_LT(GetTickCount() - start, 4000u);  // below the reader's 5 s limit
}

}  // namespace
