// Document windows through the frame and the controls' messages: opening
// with sniffing, splitting over one document, the close prompt and saving,
// untitled captions, templates and syntaxes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "CommandIds.h"
#include "ControlText.h"
#include "DialogIds.h"
#include "FileDialogEx.h"
#include "FrameFixture.h"
#include "ProgramIds.h"
#include "SplitTextView.h"
#include "SyntaxList.h"

using testing_support::Answers;
using testing_support::CaretOf;
using testing_support::Messages;
using testing_support::ReadFileText;
using testing_support::SetCaret;
using testing_support::WriteFileText;

namespace {

// What the save dialog answers: no path cancels; the line ends 0 and the
// mark -1 keep the document's.
struct {
    std::wstring path;
    int lineEnd = 0, bom = -1;
} g_save;
bool AnswerDialog(bool save, documents::FileChoice* choice) {
    if (!save || g_save.path.empty()) return false;
    choice->paths = {g_save.path};
    if (g_save.lineEnd) choice->lineEnd = g_save.lineEnd;
    if (g_save.bom >= 0) choice->bom = g_save.bom;
    return true;
}

class Documents : public testing_support::CFrameTest {
   protected:
    void SetUp() override {
        CFrameTest::SetUp();
        documents::SetFileDialogHook(&AnswerDialog);
        g_save = {};
        ASSERT_NE(Create(), nullptr);
    }
    void TearDown() override {
        frame_.reset();
        syntax::Reload();  // after the documents let go of their lexers
        documents::SetFileDialogHook(nullptr);
        CFrameTest::TearDown();
    }
    documents::CSplitTextView* View() {
        return documents::CSplitTextView::FromWindow(frame_->ActiveDocument());
    }
    // `bytes` written to `name` and opened: the new document's pane.
    HWND Open(const std::wstring& name, const std::string& bytes, int codePage = -1) {
        documents::OpenRequest request;
        request.codePage = codePage;
        return frame_->OpenDocument(File(name, bytes), &request) ? ActivePane() : nullptr;
    }
    LRESULT Ask(UINT msg, WPARAM wp = 0) { return SendMessageW(ActivePane(), msg, wp, 0); }
    // Two small definitions: C (block comments, tab size 3) and Py (line comments).
    void Definitions(const char* ini = kTwoDefinitions) {
        CreateDirectoryW((folder_ + L"syntax").c_str(), nullptr);
        File(L"syntax\\c.vbs",
             "Set p = Parser.CreateParser()\r\np.AddRegion p.CreateRegion(1, \"+/*+\", \"+*/+\", False)\r\n");
        File(L"syntax\\py.vbs",
             "Set p = Parser.CreateParser()\r\np.AddRegion p.CreateRegion(1, \"#\", \"\", False)\r\n");
        File(L"syntax.ini", ini);
        syntax::Reload();
    }
    // Each file opened from a folder of its own (names differ only in case).
    void ExpectSyntaxes(const std::vector<std::pair<const wchar_t*, const wchar_t*>>& cases) {
        int n = 0;
        for (const auto& [name, syntax] : cases) {
            const std::wstring sub = L"sub" + std::to_wstring(n++);
            CreateDirectoryW((folder_ + sub).c_str(), nullptr);
            ASSERT_NE(Open(sub + L"\\" + name, "# x\r\n"), nullptr);
            EXPECT_EQ(LexerName(ActivePane()), syntax) << testing::PrintToString(std::wstring(name));
        }
        EXPECT_TRUE(Messages().empty());
    }
    static std::wstring Caption(HWND w) {
        wchar_t text[256] = {};
        GetWindowTextW(w, text, 256);
        return text;
    }
    static std::wstring LexerName(HWND pane) {
        auto* lexer = reinterpret_cast<ILexer*>(SendMessageW(pane, MPM_GETLEXER, 0, 0));
        return lexer ? lexer->Name() : L"";
    }
    static int StyleAt(HWND pane, Position p) {
        return int(SendMessageW(pane, MPM_GETSTYLEAT, reinterpret_cast<WPARAM>(&p), 0));
    }
    // Saved as `g_save` asks, then typed into and saved plainly: the bytes of both saves.
    std::pair<std::string, std::string> SaveAsThenSave(const std::wstring& as) {
        g_save.path = folder_ + as;
        Command(ID_FILE_SAVE_AS);
        const std::string first = ReadFileText(g_save.path);
        Type(ActivePane(), L"z");
        Command(ID_FILE_SAVE);
        return {first, ReadFileText(g_save.path)};
    }
    static constexpr char kTwoDefinitions[] =
        "[Syntax]\r\nCount=2\r\n"
        "[Syntax0]\r\nTitle=C\r\nFile=c.vbs\r\nExt=c;h\r\nTab=3\r\nTemplate=main.c\r\n"
        "[Syntax1]\r\nTitle=Py\r\nFile=py.vbs\r\nExt=py\r\n";
};

TEST_F(Documents, OpeningSniffsTheLineEndsAndHonoursTheRequest) {
    const std::pair<const char*, int> cases[] = {
        {"", LB_CRLF}, {"a\nb\n", LB_LF}, {"a\rb\r", LB_CR}, {"a\rb\nc", LB_CRLF}, {"plain", LB_CRLF}};
    int n = 0;
    for (const auto& [bytes, format] : cases) {
        ASSERT_NE(Open(L"f" + std::to_wstring(n++) + L".txt", bytes), nullptr) << bytes;
        EXPECT_EQ(Ask(MPM_LINEBREAKTYPE), format) << bytes;
    }
    EXPECT_EQ(Ask(MPM_GETCODEPAGE), 0);  // "plain": ANSI
    // Code page 0 in the request loads as ANSI without detection.
    ASSERT_NE(Open(L"u.txt", "caf\xC3\xA9 au lait, cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65\r\n", 0), nullptr);
    EXPECT_EQ(Ask(MPM_CODEPAGE, WPARAM(-1)), 0);
    // A read-only file opens read-only, its tab says so, and every edit is
    // refused with the reason in the status bar.
    const std::wstring locked = File(L"ro.txt", "x");
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    frame_->OpenDocument(locked);
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Ask(MPM_READONLY, 2), 1);
    EXPECT_EQ(TabText(int(frame_->ActiveIndex())), L"ro.txt " + shell::LanguageString(IDS_TAB_READ_ONLY));
    SetCaret(ActivePane(), 0, 1);
    for (UINT edit : {UINT(WM_CHAR), UINT(ECMD_BACKSPACE), UINT(ECMD_DUPLICATELINE)}) {
        frame_->SetStatusMessage(L"");
        SendMessageW(ActivePane(), edit == WM_CHAR ? WM_CHAR : WM_COMMAND, edit == WM_CHAR ? L'y' : edit, 0);
        EXPECT_EQ(testing_support::LinesOf(ActivePane()), std::vector<std::wstring>{L"x"}) << edit;
        EXPECT_EQ(testing_support::StatusTextOf(frame_->StatusBar()),
                  shell::LanguageString(IDS_DOCUMENT_READ_ONLY));
    }
    // A missing file says so and opens nothing.
    const size_t count = frame_->DocumentCount();
    EXPECT_EQ(frame_->OpenDocument(folder_ + L"missing.txt"), nullptr);
    EXPECT_EQ(frame_->DocumentCount(), count);
    ASSERT_FALSE(Messages().empty());
    EXPECT_NE(Messages().back().text.find(L"missing.txt"), std::wstring::npos);
}

// A first line longer than the 4 KiB sample: the line ends are those of the
// file's first break, found beyond the sample, and saving writes them back.
TEST_F(Documents, AFirstLineLongerThanTheSampleKeepsItsLineEnds) {
    const std::string longLine(6000, 'a'), edge(4095, 'a');
    std::string utf16 = "\xFF\xFE";
    for (char c : longLine + "\nb\n") utf16 += std::string{c, '\0'};
    const struct {
        std::string bytes;
        int codePage, format;
    } cases[] = {
        {longLine + "\nb\nc\n", -1, LB_LF},
        {longLine + "\rb\rc", -1, LB_CR},
        {longLine + "\r\nb\r\n", -1, LB_CRLF},
        {edge + "\r\nb\r\n", -1, LB_CRLF},  // the sample ends between CR and LF
        {edge + "\rb\rc", -1, LB_CR},
        {longLine, -1, LB_CRLF},
        {utf16, 1200, LB_LF},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::wstring name = L"long" + std::to_wstring(n++) + L".txt";
        ASSERT_NE(Open(name, c.bytes, c.codePage), nullptr) << n;
        EXPECT_EQ(Ask(MPM_LINEBREAKTYPE), c.format) << "case " << n;
        Command(ID_FILE_SAVE);
        const std::string saved = ReadFileText(folder_ + name);
        EXPECT_TRUE(saved == c.bytes)
            << "case " << n << ": " << saved.size() << " bytes saved of " << c.bytes.size()
            << ", first difference at "
            << std::mismatch(saved.begin(), saved.end(), c.bytes.begin()).first - saved.begin();
    }
}

// A lexer whose every "{" opens a fold and "}" closes it.
struct BraceLexer : ILexer {
    int LineState(int, const wchar_t*, int, int, unsigned short*) override { return 0; }
    const wchar_t* Name() override { return L"braces"; }
    int FoldLevel(int, const wchar_t* t, int n, int, int, int level, unsigned short*) override {
        for (int i = 0; i < n; ++i) level += t[i] == L'{' ? 1 : t[i] == L'}' ? -1 : 0;
        return std::max(level, 0);
    }
};

// The fold pass the new pane runs computes the shared document's levels:
// the pane split from shows them too, without waiting for a click.
TEST_F(Documents, ASplitPaneShowsTheFoldMarksTheOtherPaneComputes) {
    const HWND a = Open(L"f.txt", "f {\r\n  x\r\n}\r\n");
    ASSERT_NE(a, nullptr);
    BraceLexer lexer;
    SendMessageW(a, MPM_SETLEXER, reinterpret_cast<WPARAM>(static_cast<ILexer*>(&lexer)), 1);
    SendMessageW(a, MPM_FOLDMODE, 1, 0);
    SendMessageW(a, WM_TIMER, 3, 0);
    Command(ID_SPLIT_SIDE);
    ASSERT_TRUE(View()->IsSplit());
    ShowWindow(frame_->Window(), SW_SHOW);  // hidden windows gather no update region
    UpdateWindow(frame_->Window());
    ValidateRect(a, nullptr);
    SendMessageW(View()->PaneWindow(1), WM_TIMER, 3, 0);
    RECT margin = {}, update = {};
    ASSERT_TRUE(SendMessageW(a, MPM_GETMARGIN, 1, reinterpret_cast<LPARAM>(&margin)));
    ASSERT_TRUE(GetUpdateRect(a, &update, FALSE)) << "the first pane was not told to repaint";
    EXPECT_LE(update.left, margin.left);
    EXPECT_GE(update.right, margin.right);
    SendMessageW(a, MPM_SETLEXER, 0, 0);
}

TEST_F(Documents, SplittingShowsOneDocumentInTwoPanes) {
    const HWND first = Open(L"s.txt", "one\r\ntwo\r\n");
    documents::CSplitTextView* view = View();
    const HWND doc = view->Window();
    auto panes = [doc] {
        int n = 0;
        EnumChildWindows(
            doc,
            [](HWND w, LPARAM p) {
                wchar_t cls[64] = {};
                GetClassNameW(w, cls, 64);
                *reinterpret_cast<int*>(p) += wcscmp(cls, L"MorrowpadPane") == 0;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&n));
        return n;
    };
    Command(ID_SPLIT_SIDE);
    ASSERT_TRUE(view->IsSplit());
    EXPECT_TRUE(view->IsSplitSideBySide());
    EXPECT_EQ(panes(), 2);
    const HWND a = view->PaneWindow(0), b = view->PaneWindow(1);
    EXPECT_EQ(a, first);
    Type(a, L"X");
    EXPECT_EQ(Line(b, 0), L"Xone");  // one document
    SendMessageW(b, WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(Line(a, 0), L"one");  // one history
    // The other form takes both panes over: no third pane.
    Command(ID_SPLIT_STACKED);
    EXPECT_FALSE(view->IsSplitSideBySide());
    EXPECT_EQ(panes(), 2);
    EXPECT_EQ(view->PaneWindow(0), a);
    EXPECT_EQ(view->PaneWindow(1), b);
    // Synchronised scrolling only while split; unsplitting keeps the focused pane.
    Command(ID_SYNC_SCROLL);
    EXPECT_TRUE(view->IsSynchronised());
    SendMessageW(doc, MPD_PANE_FOCUS, reinterpret_cast<WPARAM>(b), 0);
    Command(ID_SPLIT_STACKED);
    EXPECT_FALSE(view->IsSplit());
    EXPECT_FALSE(view->IsSynchronised());
    EXPECT_EQ(view->ActivePane(), b);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_EQ(Line(b, 1), L"two");
    // Closing a split window closes its document once.
    Command(ID_SPLIT_SIDE);
    Type(view->ActivePane(), L"Y");
    Answers() = {IDNO};
    Command(ID_FILE_CLOSE);
    EXPECT_FALSE(IsWindow(doc));
    EXPECT_EQ(ReadFileText(folder_ + L"s.txt"), "one\r\ntwo\r\n");
}

TEST_F(Documents, ASplitOpensTheNewPaneWhereTheOldOneWasScrolled) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "line " + std::to_string(i) + "\r\n";
    ASSERT_NE(Open(L"long.txt", text), nullptr);
    for (const UINT split : {ID_SPLIT_STACKED, ID_SPLIT_SIDE}) {
        Ask(MPM_FIRSTVISIBLE, 120);
        ASSERT_EQ(Ask(MPM_FIRSTVISIBLE, WPARAM(-1)), 120);
        Command(split);
        ASSERT_TRUE(View()->IsSplit());
        EXPECT_EQ(SendMessageW(View()->PaneWindow(1), MPM_FIRSTVISIBLE, WPARAM(-1), 0), 120)
            << "split " << split;
        Command(split);  // unsplit
        ASSERT_FALSE(View()->IsSplit());
    }
}

TEST_F(Documents, TheClosePromptSavesDiscardsOrCancels) {
    // A new document: "Yes" saves through the dialog.
    Type(ActivePane(), L"draft");
    g_save.path = folder_ + L"draft.txt";
    Answers() = {IDYES};
    Command(ID_FILE_CLOSE);
    EXPECT_EQ(ReadFileText(g_save.path).substr(0, 5), "draft");
    ASSERT_EQ(frame_->DocumentCount(), 1u);  // a new empty one replaced it
    // "Yes" whose dialog is cancelled, and Cancel, keep the document; No throws the text away.
    Type(ActivePane(), L"keep");
    g_save.path.clear();
    const HWND doc = frame_->ActiveDocument();
    for (int answer : {IDYES, IDCANCEL}) {
        Answers() = {answer};
        Command(ID_FILE_CLOSE);
        EXPECT_TRUE(IsWindow(doc)) << answer;
        EXPECT_EQ(Line(ActivePane(), 0), L"keep");
    }
    Answers() = {IDNO};
    Command(ID_FILE_CLOSE);
    EXPECT_FALSE(IsWindow(doc));
}

TEST_F(Documents, AFailedSaveSaysWhyAndKeepsTheChanges) {
    const std::wstring path = File(L"locked.txt", "text\r\n");
    ASSERT_NE(frame_->OpenDocument(path), nullptr);
    Type(ActivePane(), L"x");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    Command(ID_FILE_SAVE);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].text.find(L"locked.txt"), std::wstring::npos);
    EXPECT_EQ(Ask(MPM_ISMODIFIED), 1);
    EXPECT_EQ(ReadFileText(path), "text\r\n");
    // Saving again now works, in the file's own format.
    Command(ID_FILE_SAVE);
    EXPECT_EQ(ReadFileText(path), "xtext\r\n");
    EXPECT_EQ(Ask(MPM_ISMODIFIED), 0);
}

TEST_F(Documents, UntitledCaptionsCountUpAndTemplatesPlaceTheCaret) {
    Command(ID_FILE_NEW);
    const std::wstring a = Caption(frame_->Document(0)), b = Caption(frame_->Document(1));
    ASSERT_EQ(a.rfind(L"Untitled", 0), 0u);
    EXPECT_EQ(std::stoi(b.substr(8)), std::stoi(a.substr(8)) + 1);
    CreateDirectoryW((folder_ + L"template").c_str(), nullptr);
    File(L"template\\main.c", "int main()\r\n{\r\n    $0\r\n}\r\n");
    File(L"template\\plain.txt", "no marker");
    const documents::TemplateEntry entries[] = {{L"C", L"main.c"}, {L"", L"plain.txt"}};
    const Position carets[] = {{2, 4}, {0, 9}};
    for (int i = 0; i < 2; ++i) {
        Command(ID_FILE_NEW);
        SendMessageW(frame_->ActiveDocument(), MPD_NEW_FROM_TEMPLATE, reinterpret_cast<WPARAM>(&entries[i]),
                     0);
        EXPECT_EQ(Line(ActivePane(), carets[i].line), i ? L"no marker" : L"    ");
        EXPECT_EQ(CaretOf(ActivePane()), carets[i]);
        EXPECT_EQ(Ask(MPM_ISMODIFIED), 0);
        EXPECT_EQ(Ask(MPM_CANUNDO), 0);
    }
}

TEST_F(Documents, TheCaptionIsCopiedAndTabsShowTheirState) {
    const std::wstring path = File(L"c.txt", "c\r\n");
    frame_->OpenDocument(path);
    Command(ID_COPY_CAPTION);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data) GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied, path);
    Type(ActivePane(), L"z");
    frame_->OnIdle();
    EXPECT_EQ(Caption(frame_->Window()), L"c.txt * - Morrowpad");
}

TEST_F(Documents, AnOpenedFileTakesTheSyntaxOfItsExtension) {
    Definitions();
    settings::WriteInt(settings::File::Setting, L"Edit", L"FoldingMethod", 1);
    const HWND pane = Open(L"x.C", "int a; /* note\r\n still */ b;\r\n");
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(LexerName(pane), L"C");
    EXPECT_EQ(Ask(MPM_TABWIDTH), 3);
    EXPECT_EQ(Ask(MPM_FOLDMODE, WPARAM(-1)), 1);
    const std::pair<Position, int> styles[] = {{{0, 0}, 0}, {{0, 8}, 1}, {{1, 2}, 1}, {{1, 10}, 0}};
    for (const auto& [at, style] : styles) EXPECT_EQ(StyleAt(pane, at), style) << at.line << "," << at.column;
    // A split pane shows the same syntax.
    Command(ID_SPLIT_STACKED);
    EXPECT_EQ(LexerName(View()->PaneWindow(1)), L"C");
    ASSERT_NE(Open(L"notes.txt", "/* not code */\r\n"), nullptr);
    EXPECT_EQ(LexerName(ActivePane()), L"");
    EXPECT_TRUE(Messages().empty());
}

// Names in syntax.ini are whole file names and wildcard patterns; they are
// looked at before any entry's extensions, ignoring case.
TEST_F(Documents, FilesAreKnownByTheirWholeNamesAsWellAsTheirExtensions) {
    Definitions(
        "[Syntax]\r\nCount=2\r\n[Syntax0]\r\nTitle=C\r\nFile=c.vbs\r\nExt=c;h;txt\r\n"
        "[Syntax1]\r\nTitle=Py\r\nFile=py.vbs\r\nExt=py\r\n"
        "Names=Makefile;GNUmakefile;Makefile.*;CMakeLists.txt;.bashrc;?ockerfile;*.mk.in\r\n");
    ExpectSyntaxes({{L"Makefile", L"Py"},
                    {L"makefile", L"Py"},
                    {L"GNUmakefile", L"Py"},
                    {L"Makefile.am", L"Py"},
                    {L"CMakeLists.txt", L"Py"},
                    {L"cmakelists.TXT", L"Py"},
                    {L".bashrc", L"Py"},
                    {L"Dockerfile", L"Py"},
                    {L"rules.mk.in", L"Py"},
                    {L"x.py", L"Py"},
                    {L"Makefile2", L""},
                    {L"notes.txt", L"C"},
                    {L"a.c", L"C"},
                    {L"xMakefile", L""},
                    {L"Dockerfiles", L""}});
    // Saved under a name of the list, a document takes its syntax even when the extension stays.
    ASSERT_NE(Open(L"notes2.txt", "x\r\n"), nullptr);
    ASSERT_EQ(LexerName(ActivePane()), L"C");
    g_save.path = folder_ + L"CMakeLists.txt";
    Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(LexerName(ActivePane()), L"Py");
}

// The syntax.ini that ships knows the build and start-up files that have no
// extension of their own.
TEST_F(Documents, TheShippedFileTypesKnowFilesByTheirNames) {
    const std::wstring bin = testing_support::TestFolder() + L"..\\bin\\";
    ASSERT_TRUE(CopyFileW((bin + L"syntax.ini").c_str(), (folder_ + L"syntax.ini").c_str(), FALSE));
    CreateDirectoryW((folder_ + L"syntax").c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((bin + L"syntax\\*.vbs").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        CopyFileW((bin + L"syntax\\" + found.cFileName).c_str(),
                  (folder_ + L"syntax\\" + found.cFileName).c_str(), FALSE);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    syntax::Reload();
    ExpectSyntaxes({{L"Makefile", L"Makefile"},
                    {L"GNUmakefile", L"Makefile"},
                    {L"makefile", L"Makefile"},
                    {L"Makefile.in", L"Makefile"},
                    {L"CMakeLists.txt", L"CMake"},
                    {L"Dockerfile", L"Shell"},
                    {L".bashrc", L"Shell"},
                    {L".profile", L"Shell"},
                    {L".bash_profile", L"Shell"},
                    {L".zshrc", L"Shell"},
                    {L"x.mk", L"Makefile"},
                    {L"x.cmake", L"CMake"},
                    {L"x.sh", L"Shell"},
                    {L"x.c", L"C"}});
}

TEST_F(Documents, SaveAsChoosesBySyntaxOnlyWhenTheExtensionChanges) {
    Definitions();
    ASSERT_NE(Open(L"a.c", "x\r\n"), nullptr);
    ASSERT_EQ(LexerName(ActivePane()), L"C");
    g_save.path = folder_ + L"b.py";
    Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(LexerName(ActivePane()), L"Py");
    // The user's own choice stays when only the name changes.
    SendMessageW(frame_->ActiveDocument(), MPD_SET_SYNTAX, 0, 0);
    EXPECT_EQ(LexerName(ActivePane()), L"");
    EXPECT_EQ(Ask(MPM_FOLDMODE, WPARAM(-1)), 0);
    g_save.path = folder_ + L"c.PY";
    Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(LexerName(ActivePane()), L"");
    // An untitled document saved as a .h file takes C.
    Command(ID_FILE_NEW);
    g_save.path = folder_ + L"new.h";
    Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(LexerName(ActivePane()), L"C");
}

TEST_F(Documents, AfterReloadingTheDefinitionsEachDocumentTakesItsSyntaxBack) {
    Definitions();
    const HWND first = frame_->OpenDocument(File(L"a.c", "/* x */\r\n"));
    const HWND second = frame_->OpenDocument(File(L"b.h", "/* x */\r\n"));
    // The second one chosen by hand, named as its definition whatever the case asked for.
    SendMessageW(second, MPD_SET_SYNTAX, reinterpret_cast<WPARAM>(L"py"), 0);
    ASSERT_EQ(LexerName(ActivePane()), L"Py");
    // C is renamed: the first finds its file's extension again, the second its name.
    for (HWND doc : {first, second}) SendMessageW(doc, MPD_REMEMBER_SYNTAX, 0, 0);
    Definitions(
        "[Syntax]\r\nCount=2\r\n[Syntax0]\r\nTitle=Py\r\nFile=py.vbs\r\nExt=py\r\n"
        "[Syntax1]\r\nTitle=Cee\r\nFile=c.vbs\r\nExt=c\r\n");
    for (HWND doc : {first, second}) SendMessageW(doc, MPD_APPLY_SYNTAX, 0, 0);
    const HWND a = documents::ViewOf(first)->GetActivePane();
    EXPECT_EQ(LexerName(a), L"Cee");
    EXPECT_EQ(StyleAt(a, {0, 3}), 1);
    EXPECT_EQ(LexerName(documents::ViewOf(second)->GetActivePane()), L"Py");
}

TEST_F(Documents, ANewDocumentOfATypeTakesItsSyntaxAndTemplate) {
    CreateDirectoryW((folder_ + L"template").c_str(), nullptr);
    File(L"template\\main.c", "int main(void)\r\n{\r\n    $0\r\n}\r\n");
    Definitions();
    const size_t before = frame_->DocumentCount();
    Command(ID_TEMPLATE_FIRST);
    ASSERT_EQ(frame_->DocumentCount(), before + 1);
    EXPECT_EQ(LexerName(ActivePane()), L"C");
    EXPECT_EQ(Line(ActivePane(), 0), L"int main(void)");
    EXPECT_EQ(CaretOf(ActivePane()), (Position{2, 4}));
    EXPECT_EQ(Ask(MPM_ISMODIFIED), 0);
    // A type without a template starts empty, with its syntax.
    Command(ID_TEMPLATE_FIRST + 1);
    EXPECT_EQ(LexerName(ActivePane()), L"Py");
    EXPECT_EQ(Ask(MPM_GETLINECOUNT), 1);
    // Numbers past the list do nothing.
    Command(ID_TEMPLATE_FIRST + 7);
    EXPECT_EQ(frame_->DocumentCount(), before + 2);
}

TEST_F(Documents, ADefinitionThatFailsLeavesTheSyntaxAsItWas) {
    CreateDirectoryW((folder_ + L"syntax").c_str(), nullptr);
    File(L"syntax\\broken.vbs", "Set p = Parser.CreateParser(1)\r\n");
    Definitions(
        "[Syntax]\r\nCount=2\r\n[Syntax0]\r\nTitle=C\r\nFile=c.vbs\r\nExt=c\r\nTab=3\r\n"
        "[Syntax1]\r\nTitle=Broken\r\nFile=broken.vbs\r\n");
    ASSERT_NE(Open(L"a.c", "x\r\n"), nullptr);
    ASSERT_EQ(LexerName(ActivePane()), L"C");
    for (int i = 0; i < 2; ++i) {
        SendMessageW(frame_->ActiveDocument(), MPD_SET_SYNTAX, reinterpret_cast<WPARAM>(L"Broken"), 0);
        EXPECT_EQ(LexerName(ActivePane()), L"C");
        EXPECT_EQ(Messages().size(), 1u);  // told once
    }
    // A pane split off later has the definition's tab size too.
    Command(ID_SPLIT_SIDE);
    EXPECT_EQ(SendMessageW(View()->PaneWindow(1), MPM_TABWIDTH, 0, 0), 3);
}

// Same-length forms too: the breaks are rewritten, not copied; the document
// then has those ends and a plain save keeps them.
TEST_F(Documents, SaveAsWritesTheChosenLineEndsOnEveryLine) {
    const struct {
        const char* own;
        int chosen;
        std::string written;
    } cases[] = {{"a\nbb\nc\n", LB_CR, "a\rbb\rc\r"},
                 {"a\rbb\rc\r", LB_LF, "a\nbb\nc\n"},
                 {"a\r\nbb\r\nc", LB_LF, "a\nbb\nc"},
                 {"a\nbb\nc", LB_CRLF, "a\r\nbb\r\nc"}};
    int n = 0;
    for (const auto& c : cases) {
        ASSERT_NE(Open(L"ends" + std::to_wstring(n) + L".txt", c.own), nullptr);
        g_save.lineEnd = c.chosen;
        EXPECT_EQ(SaveAsThenSave(L"saved" + std::to_wstring(n++) + L".txt"),
                  std::make_pair(c.written, "z" + c.written))
            << "from " << testing::PrintToString(std::string(c.own));
    }
}

TEST_F(Documents, TheMarkChosenInSaveAsIsKeptByTheNextSave) {
    const std::pair<const char*, int> cases[] = {{"caf\xC3\xA9\r\n", 1},
                                                 {"\xEF\xBB\xBF"
                                                  "caf\xC3\xA9\r\n",
                                                  0}};
    int n = 0;
    for (const auto& [own, bom] : cases) {
        ASSERT_NE(Open(L"mark" + std::to_wstring(n) + L".txt", own, CP_UTF8), nullptr);
        g_save.bom = bom;
        const std::string mark = bom ? "\xEF\xBB\xBF" : "";
        EXPECT_EQ(SaveAsThenSave(L"marked" + std::to_wstring(n++) + L".txt"),
                  std::make_pair(mark + "caf\xC3\xA9\r\n", mark + "zcaf\xC3\xA9\r\n"));
    }
}

}  // namespace
