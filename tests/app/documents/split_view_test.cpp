// Document windows through the frame and the controls' messages: opening
// with sniffing, splitting over one document, the close prompt and saving,
// untitled captions and templates.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "CommandIds.h"
#include "DialogIds.h"
#include "Document.h"
#include "EditProtocol.h"
#include "FileDialogEx.h"
#include "MainFrame.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "Settings.h"
#include "SplitTextView.h"
#include "SyntaxList.h"
#include "TestSupport.h"

using testing_support::Answers;
using testing_support::Messages;
using testing_support::ReadFileText;
using testing_support::WriteFileText;

namespace {

// What the save dialog answers in these tests.
// The line ends and mark chosen there: 0 and -1 keep the document's.
std::wstring g_savePath;
bool g_saveCancels = false;
int g_saveLineEnd = 0;
int g_saveBom = -1;
bool AnswerDialog(bool save, documents::FileChoice* choice) {
    if (!save || g_saveCancels || g_savePath.empty()) return false;
    choice->paths = {g_savePath};
    if (g_saveLineEnd) choice->lineEnd = g_saveLineEnd;
    if (g_saveBom >= 0) choice->bom = g_saveBom;
    return true;
}

class Documents : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        language_ = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language_);
        documents::SetFileDialogHook(&AnswerDialog);
    }
    static void TearDownTestSuite() {
        documents::SetFileDialogHook(nullptr);
        shell::SetResourceModule(nullptr);
    }
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-docs-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
        ASSERT_NE(edit_, nullptr);
        Messages().clear();
        Answers().clear();
        g_savePath.clear();
        g_saveCancels = false;
        g_saveLineEnd = 0;
        g_saveBom = -1;
        frame_ = std::make_unique<shell::CMainFrame>();
        ASSERT_NE(frame_->Create(L"prog", edit_), nullptr);
    }
    void TearDown() override {
        frame_.reset();
        syntax::Reload();  // after the documents let go of their lexers
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        settings::SetProgramFolder(L"");
    }
    documents::CSplitTextView* View(size_t i) { return documents::CSplitTextView::FromWindow(frame_->Document(i)); }
    HWND Active() { return View(frame_->ActiveIndex())->ActivePane(); }
    std::wstring Line(HWND pane, int n) {
        wchar_t buf[512] = {};
        const LRESULT len = SendMessageW(pane, MPM_GETLINE, WPARAM(n), LPARAM(buf));
        return std::wstring(buf, size_t(len > 0 && len < 512 ? len : 0));
    }
    void Type(HWND pane, const wchar_t* text) {
        for (; *text; ++text) SendMessageW(pane, WM_CHAR, *text, 0);
    }
    void Command(UINT id) { SendMessageW(frame_->Window(), WM_COMMAND, id, 0); }
    static int CountPanes(HWND document) {
        int n = 0;
        EnumChildWindows(
            document,
            [](HWND w, LPARAM p) -> BOOL {
                wchar_t cls[64] = {};
                GetClassNameW(w, cls, 64);
                if (wcscmp(cls, L"MorrowpadPane") == 0) ++*reinterpret_cast<int*>(p);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&n));
        return n;
    }

    static HMODULE language_;
    std::wstring folder_;
    HMODULE edit_ = nullptr;
    std::unique_ptr<shell::CMainFrame> frame_;
};
HMODULE Documents::language_ = nullptr;

}  // namespace

TEST_F(Documents, OpeningSniffsTheLineEndsAndHonoursTheRequest) {
    struct Case {
        const char* bytes;
        int format;
    } cases[] = {{"", LB_CRLF}, {"a\nb\n", LB_LF}, {"a\rb\r", LB_CR}, {"a\rb\nc", LB_CRLF}, {"plain", LB_CRLF}};
    int n = 0;
    for (const Case& c : cases) {
        const std::wstring path = folder_ + L"f" + std::to_wstring(n++) + L".txt";
        ASSERT_TRUE(WriteFileText(path, c.bytes));
        const HWND doc = frame_->OpenDocument(path);
        ASSERT_NE(doc, nullptr) << c.bytes;
        EXPECT_EQ(SendMessageW(Active(), MPM_LINEBREAKTYPE, 0, 0), c.format) << c.bytes;
    }
    // An empty file and code page 0 in the request load as ANSI without detection.
    EXPECT_EQ(SendMessageW(frame_->ActivePane(), MPM_GETCODEPAGE, 0, 0), 0);  // "plain"
    const std::wstring utf8 = folder_ + L"u.txt";
    ASSERT_TRUE(WriteFileText(utf8, "caf\xC3\xA9 au lait, cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65\r\n"));
    documents::OpenRequest ansi;
    ansi.codePage = 0;
    frame_->OpenDocument(utf8, &ansi);
    EXPECT_EQ(SendMessageW(Active(), MPM_CODEPAGE, WPARAM(-1), 0), 0);
    // A read-only file opens read-only.
    const std::wstring locked = folder_ + L"ro.txt";
    ASSERT_TRUE(WriteFileText(locked, "x"));
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    frame_->OpenDocument(locked);
    EXPECT_EQ(SendMessageW(Active(), MPM_READONLY, 2, 0), 1);
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
    // Its tab says so.
    const int tab = int(frame_->ActiveIndex());
    wchar_t tabText[128] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = tabText;
    item.cchTextMax = 128;
    SendMessageW(frame_->TabStrip(), TCM_GETITEMW, WPARAM(tab), reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(tabText), L"ro.txt " + shell::LanguageString(IDS_TAB_READ_ONLY));
    // Typing into it, or any other edit, changes nothing, and the status bar says why.
    Position end = {0, 1};
    SendMessageW(Active(), MPM_SETCARET, reinterpret_cast<WPARAM>(&end), 0);
    for (UINT edit : {UINT(WM_CHAR), UINT(ECMD_BACKSPACE), UINT(ECMD_DUPLICATELINE)}) {
        SCOPED_TRACE(edit);
        frame_->SetStatusMessage(L"");
        if (edit == WM_CHAR) SendMessageW(Active(), WM_CHAR, L'y', 0);
        else SendMessageW(Active(), WM_COMMAND, edit, 0);
        EXPECT_EQ(SendMessageW(Active(), MPM_GETLINE, 0, 0), 1);
        EXPECT_EQ(SendMessageW(Active(), MPM_GETLINECOUNT, 0, 0), 1);
        wchar_t status[256] = {};
        SendMessageW(frame_->StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(status));
        EXPECT_EQ(std::wstring(status), shell::LanguageString(IDS_DOCUMENT_READ_ONLY));
    }
    // A missing file says so and opens nothing.
    const size_t count = frame_->DocumentCount();
    EXPECT_EQ(frame_->OpenDocument(folder_ + L"missing.txt"), nullptr);
    EXPECT_EQ(frame_->DocumentCount(), count);
    ASSERT_FALSE(Messages().empty());
    EXPECT_NE(Messages().back().text.find(L"missing.txt"), std::wstring::npos);
}

// A first line longer than the sample: the line ends are those of the file's
// first break, found beyond the sample, and saving writes them back as they
// were.
TEST_F(Documents, AFirstLineLongerThanTheSampleKeepsItsLineEnds) {
    const std::string longLine(6000, 'a');  // the sample is 4 KiB
    auto utf16 = [](const std::string& ascii) {
        std::string out = "\xFF\xFE";
        for (char c : ascii) out += std::string{c, '\0'};
        return out;
    };
    struct Case {
        std::string bytes;
        int codePage;  // in the request; -1 detects
        int format;
    } cases[] = {
        {longLine + "\nb\nc\n", -1, LB_LF},
        {longLine + "\rb\rc", -1, LB_CR},
        {longLine + "\r\nb\r\n", -1, LB_CRLF},
        {std::string(4095, 'a') + "\r\nb\r\n", -1, LB_CRLF},  // the sample ends between CR and LF
        {std::string(4095, 'a') + "\rb\rc", -1, LB_CR},
        {longLine, -1, LB_CRLF},  // no break at all
        {utf16(longLine + "\nb\n"), 1200, LB_LF},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::wstring path = folder_ + L"long" + std::to_wstring(n++) + L".txt";
        ASSERT_TRUE(WriteFileText(path, c.bytes));
        documents::OpenRequest request;
        request.codePage = c.codePage;
        ASSERT_NE(frame_->OpenDocument(path, &request), nullptr) << n;
        EXPECT_EQ(SendMessageW(Active(), MPM_LINEBREAKTYPE, 0, 0), c.format) << "case " << n;
        Command(ID_FILE_SAVE);
        const std::string saved = ReadFileText(path);
        EXPECT_TRUE(saved == c.bytes)
            << "case " << n << ": " << saved.size() << " bytes saved of " << c.bytes.size()
            << ", first difference at "
            << (std::mismatch(saved.begin(), saved.end(), c.bytes.begin(), c.bytes.end()).first -
                saved.begin());
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
    const std::wstring path = folder_ + L"f.txt";
    ASSERT_TRUE(WriteFileText(path, "f {\r\n  x\r\n}\r\n"));
    ASSERT_NE(frame_->OpenDocument(path), nullptr);
    documents::CSplitTextView* view = View(frame_->ActiveIndex());
    BraceLexer lexer;
    const HWND a = view->ActivePane();
    SendMessageW(a, MPM_SETLEXER, reinterpret_cast<WPARAM>(static_cast<ILexer*>(&lexer)), 1);
    SendMessageW(a, MPM_FOLDMODE, 1, 0);
    SendMessageW(a, WM_TIMER, 3, 0);
    Command(ID_SPLIT_SIDE);
    ASSERT_TRUE(view->IsSplit());
    const HWND b = view->PaneWindow(1);
    ShowWindow(frame_->Window(), SW_SHOW);  // hidden windows gather no update region
    UpdateWindow(frame_->Window());
    ValidateRect(a, nullptr);
    SendMessageW(b, WM_TIMER, 3, 0);
    RECT margin = {}, update = {};
    ASSERT_TRUE(SendMessageW(a, MPM_GETMARGIN, 1, reinterpret_cast<LPARAM>(&margin)));
    ASSERT_TRUE(GetUpdateRect(a, &update, FALSE)) << "the first pane was not told to repaint";
    EXPECT_LE(update.left, margin.left);
    EXPECT_GE(update.right, margin.right);
    SendMessageW(a, MPM_SETLEXER, 0, 0);
}

TEST_F(Documents, SplittingShowsOneDocumentInTwoPanes) {
    const std::wstring path = folder_ + L"s.txt";
    ASSERT_TRUE(WriteFileText(path, "one\r\ntwo\r\n"));
    ASSERT_NE(frame_->OpenDocument(path), nullptr);
    documents::CSplitTextView* view = View(frame_->ActiveIndex());
    const HWND doc = view->Window();
    const HWND first = view->ActivePane();
    Command(ID_SPLIT_SIDE);
    ASSERT_TRUE(view->IsSplit());
    EXPECT_TRUE(view->IsSplitSideBySide());
    EXPECT_EQ(CountPanes(doc), 2);
    const HWND a = view->PaneWindow(0), b = view->PaneWindow(1);
    EXPECT_EQ(a, first);
    Type(a, L"X");
    EXPECT_EQ(Line(b, 0), L"Xone");  // one document
    SendMessageW(b, WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(Line(a, 0), L"one");  // one history
    // The other form takes both panes over: no third pane.
    Command(ID_SPLIT_STACKED);
    EXPECT_FALSE(view->IsSplitSideBySide());
    EXPECT_EQ(CountPanes(doc), 2);
    EXPECT_EQ(view->PaneWindow(0), a);
    EXPECT_EQ(view->PaneWindow(1), b);
    // Synchronised scrolling only while split.
    Command(ID_SYNC_SCROLL);
    EXPECT_TRUE(view->IsSynchronised());
    // Unsplitting keeps the pane that had the focus.
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
    EXPECT_EQ(ReadFileText(path), "one\r\ntwo\r\n");
}

TEST_F(Documents, TheClosePromptSavesDiscardsOrCancels) {
    // A new document: "Yes" saves through the dialog; the tab then shows the name.
    Type(Active(), L"draft");
    g_savePath = folder_ + L"draft.txt";
    Answers() = {IDYES};
    Command(ID_FILE_CLOSE);
    EXPECT_EQ(ReadFileText(g_savePath).substr(0, 5), "draft");
    ASSERT_EQ(frame_->DocumentCount(), 1u);  // a new empty one replaced it
    // "Yes" whose dialog is cancelled keeps the document.
    Type(Active(), L"keep");
    g_saveCancels = true;
    Answers() = {IDYES};
    const HWND doc = frame_->ActiveDocument();
    Command(ID_FILE_CLOSE);
    EXPECT_TRUE(IsWindow(doc));
    EXPECT_EQ(Line(Active(), 0), L"keep");
    // Cancel keeps it too; No throws the text away.
    Answers() = {IDCANCEL};
    Command(ID_FILE_CLOSE);
    EXPECT_TRUE(IsWindow(doc));
    Answers() = {IDNO};
    Command(ID_FILE_CLOSE);
    EXPECT_FALSE(IsWindow(doc));
}

TEST_F(Documents, AFailedSaveSaysWhyAndKeepsTheChanges) {
    const std::wstring path = folder_ + L"locked.txt";
    ASSERT_TRUE(WriteFileText(path, "text\r\n"));
    ASSERT_NE(frame_->OpenDocument(path), nullptr);
    Type(Active(), L"x");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    Messages().clear();
    Command(ID_FILE_SAVE);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].text.find(L"locked.txt"), std::wstring::npos);
    EXPECT_EQ(SendMessageW(Active(), MPM_ISMODIFIED, 0, 0), 1);
    EXPECT_EQ(ReadFileText(path), "text\r\n");
    // Saving again now works, in the file's own format.
    Command(ID_FILE_SAVE);
    EXPECT_EQ(ReadFileText(path), "xtext\r\n");
    EXPECT_EQ(SendMessageW(Active(), MPM_ISMODIFIED, 0, 0), 0);
}

TEST_F(Documents, UntitledCaptionsCountUpAndTemplatesPlaceTheCaret) {
    wchar_t one[64] = {}, two[64] = {};
    GetWindowTextW(frame_->Document(0), one, 64);
    Command(ID_FILE_NEW);
    GetWindowTextW(frame_->Document(1), two, 64);
    const std::wstring a = one, b = two;
    ASSERT_EQ(a.rfind(L"Untitled", 0), 0u);
    EXPECT_EQ(std::stoi(b.substr(8)), std::stoi(a.substr(8)) + 1);

    CreateDirectoryW((folder_ + L"template").c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(folder_ + L"template\\main.c", "int main()\r\n{\r\n    $0\r\n}\r\n"));
    ASSERT_TRUE(WriteFileText(folder_ + L"template\\plain.txt", "no marker"));
    const documents::TemplateEntry entry = {L"C", L"main.c"};
    SendMessageW(frame_->ActiveDocument(), MPD_NEW_FROM_TEMPLATE, reinterpret_cast<WPARAM>(&entry), 0);
    EXPECT_EQ(Line(Active(), 2), L"    ");
    Position caret = {};
    SendMessageW(Active(), MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    EXPECT_EQ(caret.line, 2);
    EXPECT_EQ(caret.column, 4);
    EXPECT_EQ(SendMessageW(Active(), MPM_ISMODIFIED, 0, 0), 0);
    EXPECT_EQ(SendMessageW(Active(), MPM_CANUNDO, 0, 0), 0);
    Command(ID_FILE_NEW);
    const documents::TemplateEntry plain = {L"", L"plain.txt"};
    SendMessageW(frame_->ActiveDocument(), MPD_NEW_FROM_TEMPLATE, reinterpret_cast<WPARAM>(&plain), 0);
    SendMessageW(Active(), MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    EXPECT_EQ(Line(Active(), 0), L"no marker");
    EXPECT_EQ(caret.column, 9);
}

TEST_F(Documents, TheCaptionIsCopiedAndTabsShowTheirState) {
    const std::wstring path = folder_ + L"c.txt";
    ASSERT_TRUE(WriteFileText(path, "c\r\n"));
    frame_->OpenDocument(path);
    Command(ID_COPY_CAPTION);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data) GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied, path);
    Type(Active(), L"z");
    frame_->OnIdle();
    wchar_t title[256] = {};
    GetWindowTextW(frame_->Window(), title, 256);
    EXPECT_STREQ(title, L"c.txt * - Morrowpad");
}

namespace {

// Two small definitions: C (block comments, tab size 3) and Py (line comments).
void WriteDefinitions(const std::wstring& folder, const char* ini) {
    CreateDirectoryW((folder + L"syntax").c_str(), nullptr);
    WriteFileText(folder + L"syntax\\c.vbs",
                  "Set p = Parser.CreateParser()\r\np.AddRegion p.CreateRegion(1, \"+/*+\", \"+*/+\", False)\r\n");
    WriteFileText(folder + L"syntax\\py.vbs",
                  "Set p = Parser.CreateParser()\r\np.AddRegion p.CreateRegion(1, \"#\", \"\", False)\r\n");
    WriteFileText(folder + L"syntax.ini", ini);
}

const char kTwoDefinitions[] =
    "[Syntax]\r\nCount=2\r\n"
    "[Syntax0]\r\nTitle=C\r\nFile=c.vbs\r\nExt=c;h\r\nTab=3\r\nTemplate=main.c\r\n"
    "[Syntax1]\r\nTitle=Py\r\nFile=py.vbs\r\nExt=py\r\n";

std::wstring LexerName(HWND pane) {
    auto* lexer = reinterpret_cast<ILexer*>(SendMessageW(pane, MPM_GETLEXER, 0, 0));
    return lexer ? lexer->Name() : L"";
}

int StyleAt(HWND pane, int line, int column) {
    Position p = {line, column};
    return int(SendMessageW(pane, MPM_GETSTYLEAT, reinterpret_cast<WPARAM>(&p), 0));
}

}  // namespace

TEST_F(Documents, AnOpenedFileTakesTheSyntaxOfItsExtension) {
    WriteDefinitions(folder_, kTwoDefinitions);
    syntax::Reload();
    settings::WriteInt(settings::File::Setting, L"Edit", L"FoldingMethod", 1);
    const std::wstring source = folder_ + L"x.C";
    ASSERT_TRUE(WriteFileText(source, "int a; /* note\r\n still */ b;\r\n"));
    ASSERT_NE(frame_->OpenDocument(source), nullptr);
    HWND pane = Active();
    EXPECT_EQ(LexerName(pane), L"C");
    EXPECT_EQ(SendMessageW(pane, MPM_TABWIDTH, 0, 0), 3);
    EXPECT_EQ(SendMessageW(pane, MPM_FOLDMODE, WPARAM(-1), 0), 1);
    EXPECT_EQ(StyleAt(pane, 0, 0), 0);
    EXPECT_EQ(StyleAt(pane, 0, 8), 1);
    EXPECT_EQ(StyleAt(pane, 1, 2), 1);
    EXPECT_EQ(StyleAt(pane, 1, 10), 0);
    // A split pane shows the same syntax with the same folding.
    Command(ID_SPLIT_STACKED);
    EXPECT_EQ(LexerName(View(frame_->ActiveIndex())->PaneWindow(1)), L"C");

    const std::wstring text = folder_ + L"notes.txt";
    ASSERT_TRUE(WriteFileText(text, "/* not code */\r\n"));
    ASSERT_NE(frame_->OpenDocument(text), nullptr);
    EXPECT_EQ(LexerName(Active()), L"");
    EXPECT_TRUE(Messages().empty());
}

// Names in syntax.ini are whole file names and wildcard patterns; they are
// looked at before any entry's extensions, ignoring case.
TEST_F(Documents, FilesAreKnownByTheirWholeNamesAsWellAsTheirExtensions) {
    WriteDefinitions(folder_,
                     "[Syntax]\r\nCount=2\r\n"
                     "[Syntax0]\r\nTitle=C\r\nFile=c.vbs\r\nExt=c;h;txt\r\n"
                     "[Syntax1]\r\nTitle=Py\r\nFile=py.vbs\r\nExt=py\r\n"
                     "Names=Makefile;GNUmakefile;Makefile.*;CMakeLists.txt;.bashrc;?ockerfile;*.mk.in\r\n");
    syntax::Reload();
    const struct {
        const wchar_t* name;
        const wchar_t* syntax;
    } cases[] = {
        {L"Makefile", L"Py"},    {L"makefile", L"Py"},       {L"GNUmakefile", L"Py"},
        {L"Makefile.am", L"Py"}, {L"CMakeLists.txt", L"Py"}, {L"cmakelists.TXT", L"Py"},
        {L".bashrc", L"Py"},     {L"Dockerfile", L"Py"},     {L"rules.mk.in", L"Py"},
        {L"x.py", L"Py"},        {L"Makefile2", L""},        {L"notes.txt", L"C"},
        {L"a.c", L"C"},          {L"xMakefile", L""},        {L"Dockerfiles", L""},
    };
    int n = 0;
    for (const auto& c : cases) {  // each in a folder of its own: names differ only in case
        const std::wstring sub = folder_ + L"sub" + std::to_wstring(n++);
        CreateDirectoryW(sub.c_str(), nullptr);
        const std::wstring path = sub + L"\\" + c.name;
        ASSERT_TRUE(WriteFileText(path, "x\r\n"));
        ASSERT_NE(frame_->OpenDocument(path), nullptr);
        EXPECT_EQ(LexerName(Active()), c.syntax) << testing::PrintToString(std::wstring(c.name));
    }
    // Saved under a name of the list, a document takes its syntax even when
    // the extension stays.
    const std::wstring notes = folder_ + L"notes2.txt";
    ASSERT_TRUE(WriteFileText(notes, "x\r\n"));
    ASSERT_NE(frame_->OpenDocument(notes), nullptr);
    ASSERT_EQ(LexerName(Active()), L"C");
    g_savePath = folder_ + L"CMakeLists.txt";
    Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(LexerName(Active()), L"Py");
    EXPECT_TRUE(Messages().empty());
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
    const struct {
        const wchar_t* name;
        const wchar_t* syntax;
    } cases[] = {
        {L"Makefile", L"Makefile"},    {L"GNUmakefile", L"Makefile"},
        {L"makefile", L"Makefile"},    {L"Makefile.in", L"Makefile"},
        {L"CMakeLists.txt", L"CMake"}, {L"Dockerfile", L"Shell"},
        {L".bashrc", L"Shell"},        {L".profile", L"Shell"},
        {L".bash_profile", L"Shell"},  {L".zshrc", L"Shell"},
        {L"x.mk", L"Makefile"},        {L"x.cmake", L"CMake"},
        {L"x.sh", L"Shell"},           {L"x.c", L"C"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::wstring sub = folder_ + L"src" + std::to_wstring(n++);
        CreateDirectoryW(sub.c_str(), nullptr);
        const std::wstring path = sub + L"\\" + c.name;
        ASSERT_TRUE(WriteFileText(path, "# x\n"));
        ASSERT_NE(frame_->OpenDocument(path), nullptr);
        EXPECT_EQ(LexerName(Active()), c.syntax) << testing::PrintToString(std::wstring(c.name));
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Documents, SaveAsChoosesBySyntaxOnlyWhenTheExtensionChanges) {
    WriteDefinitions(folder_, kTwoDefinitions);
    syntax::Reload();
    const std::wstring source = folder_ + L"a.c";
    ASSERT_TRUE(WriteFileText(source, "x\r\n"));
    ASSERT_NE(frame_->OpenDocument(source), nullptr);
    ASSERT_EQ(LexerName(Active()), L"C");
    g_savePath = folder_ + L"b.py";
    Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(LexerName(Active()), L"Py");
    // The user's own choice stays when only the name changes.
    SendMessageW(frame_->ActiveDocument(), MPD_SET_SYNTAX, 0, 0);
    EXPECT_EQ(LexerName(Active()), L"");
    EXPECT_EQ(SendMessageW(Active(), MPM_FOLDMODE, WPARAM(-1), 0), 0);
    g_savePath = folder_ + L"c.PY";
    Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(LexerName(Active()), L"");
    // An untitled document saved as a .c file takes C.
    Command(ID_FILE_NEW);
    g_savePath = folder_ + L"new.h";
    Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(LexerName(Active()), L"C");
}

TEST_F(Documents, AfterReloadingTheDefinitionsEachDocumentTakesItsSyntaxBack) {
    WriteDefinitions(folder_, kTwoDefinitions);
    syntax::Reload();
    const std::wstring source = folder_ + L"a.c", other = folder_ + L"b.h";
    ASSERT_TRUE(WriteFileText(source, "/* x */\r\n"));
    ASSERT_TRUE(WriteFileText(other, "/* x */\r\n"));
    const HWND first = frame_->OpenDocument(source);
    const HWND second = frame_->OpenDocument(other);
    // The second one chosen by hand.
    SendMessageW(second, MPD_SET_SYNTAX, reinterpret_cast<WPARAM>(L"py"), 0);
    // Named as its definition, whatever the case asked for.
    ASSERT_EQ(LexerName(documents::CSplitTextView::FromWindow(second)->ActivePane()), L"Py");
    // C is renamed: the first finds its file's extension again, the second its name.
    WriteDefinitions(folder_,
                     "[Syntax]\r\nCount=2\r\n[Syntax0]\r\nTitle=Py\r\nFile=py.vbs\r\nExt=py\r\n"
                     "[Syntax1]\r\nTitle=Cee\r\nFile=c.vbs\r\nExt=c\r\n");
    for (HWND doc : {first, second}) SendMessageW(doc, MPD_REMEMBER_SYNTAX, 0, 0);
    syntax::Reload();
    for (HWND doc : {first, second}) SendMessageW(doc, MPD_APPLY_SYNTAX, 0, 0);
    const HWND a = documents::CSplitTextView::FromWindow(first)->ActivePane();
    const HWND b = documents::CSplitTextView::FromWindow(second)->ActivePane();
    EXPECT_EQ(LexerName(a), L"Cee");
    EXPECT_EQ(StyleAt(a, 0, 3), 1);
    EXPECT_EQ(LexerName(b), L"Py");
}

TEST_F(Documents, ANewDocumentOfATypeTakesItsSyntaxAndTemplate) {
    WriteDefinitions(folder_, kTwoDefinitions);
    CreateDirectoryW((folder_ + L"template").c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(folder_ + L"template\\main.c", "int main(void)\r\n{\r\n    $0\r\n}\r\n"));
    syntax::Reload();
    const size_t before = frame_->DocumentCount();
    Command(ID_TEMPLATE_FIRST);
    ASSERT_EQ(frame_->DocumentCount(), before + 1);
    HWND pane = Active();
    EXPECT_EQ(LexerName(pane), L"C");
    EXPECT_EQ(Line(pane, 0), L"int main(void)");
    Position caret = {};
    SendMessageW(pane, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    EXPECT_EQ(caret.line, 2);
    EXPECT_EQ(caret.column, 4);
    EXPECT_EQ(SendMessageW(pane, MPM_ISMODIFIED, 0, 0), 0);
    // A type without a template starts empty, with its syntax.
    Command(ID_TEMPLATE_FIRST + 1);
    EXPECT_EQ(LexerName(Active()), L"Py");
    EXPECT_EQ(SendMessageW(Active(), MPM_GETLINECOUNT, 0, 0), 1);
    // Numbers past the list do nothing.
    const size_t now = frame_->DocumentCount();
    Command(ID_TEMPLATE_FIRST + 7);
    EXPECT_EQ(frame_->DocumentCount(), now);
}

TEST_F(Documents, ADefinitionThatFailsLeavesTheSyntaxAsItWas) {
    WriteDefinitions(folder_,
                     "[Syntax]\r\nCount=2\r\n[Syntax0]\r\nTitle=C\r\nFile=c.vbs\r\nExt=c\r\nTab=3\r\n"
                     "[Syntax1]\r\nTitle=Broken\r\nFile=broken.vbs\r\n");
    WriteFileText(folder_ + L"syntax\\broken.vbs", "Set p = Parser.CreateParser(1)\r\n");
    syntax::Reload();
    const std::wstring source = folder_ + L"a.c";
    ASSERT_TRUE(WriteFileText(source, "x\r\n"));
    const HWND doc = frame_->OpenDocument(source);
    ASSERT_EQ(LexerName(Active()), L"C");
    SendMessageW(doc, MPD_SET_SYNTAX, reinterpret_cast<WPARAM>(L"Broken"), 0);
    EXPECT_EQ(LexerName(Active()), L"C");
    EXPECT_EQ(Messages().size(), 1u);
    SendMessageW(doc, MPD_SET_SYNTAX, reinterpret_cast<WPARAM>(L"Broken"), 0);
    EXPECT_EQ(Messages().size(), 1u);  // told once
    // A pane split off later has the definition's tab size too.
    Command(ID_SPLIT_SIDE);
    EXPECT_EQ(SendMessageW(View(frame_->ActiveIndex())->PaneWindow(1), MPM_TABWIDTH, 0, 0), 3);
}

TEST_F(Documents, SaveAsWritesTheChosenLineEndsOnEveryLine) {
    struct Case {
        const char* own;
        int chosen;
        const char* written;
    };
    // Same-length forms too: the breaks are rewritten, not copied.
    const Case cases[] = {
        {"a\nbb\nc\n", LB_CR, "a\rbb\rc\r"},
        {"a\rbb\rc\r", LB_LF, "a\nbb\nc\n"},
        {"a\r\nbb\r\nc", LB_LF, "a\nbb\nc"},
        {"a\nbb\nc", LB_CRLF, "a\r\nbb\r\nc"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::wstring path = folder_ + L"ends" + std::to_wstring(n) + L".txt";
        ASSERT_TRUE(WriteFileText(path, c.own));
        ASSERT_NE(frame_->OpenDocument(path), nullptr);
        g_savePath = folder_ + L"saved" + std::to_wstring(n++) + L".txt";
        g_saveLineEnd = c.chosen;
        Command(ID_FILE_SAVE_AS);
        EXPECT_EQ(ReadFileText(g_savePath), c.written) << "from " << testing::PrintToString(std::string(c.own));
        // The document now has those ends: a plain save keeps them.
        Type(Active(), L"z");
        Command(ID_FILE_SAVE);
        EXPECT_EQ(ReadFileText(g_savePath), std::string("z") + c.written);
    }
}

TEST_F(Documents, TheMarkChosenInSaveAsIsKeptByTheNextSave) {
    struct Case {
        const char* own;
        int bom;
        bool marked;
    };
    const Case cases[] = {{"caf\xC3\xA9 \xE2\x82\xAC\r\n", 1, true}, {"\xEF\xBB\xBF" "caf\xC3\xA9\r\n", 0, false}};
    int n = 0;
    for (const Case& c : cases) {
        const std::wstring path = folder_ + L"mark" + std::to_wstring(n) + L".txt";
        ASSERT_TRUE(WriteFileText(path, c.own));
        documents::OpenRequest utf8;
        utf8.codePage = CP_UTF8;
        ASSERT_NE(frame_->OpenDocument(path, &utf8), nullptr);
        g_savePath = folder_ + L"marked" + std::to_wstring(n++) + L".txt";
        g_saveBom = c.bom;
        Command(ID_FILE_SAVE_AS);
        EXPECT_EQ(ReadFileText(g_savePath).rfind("\xEF\xBB\xBF", 0) == 0, c.marked);
        Type(Active(), L"x");
        Command(ID_FILE_SAVE);
        const std::string saved = ReadFileText(g_savePath);
        EXPECT_EQ(saved.rfind("\xEF\xBB\xBF", 0) == 0, c.marked) << "after a plain save: " << saved;
        EXPECT_NE(saved.find("xcaf"), std::string::npos) << saved;
    }
}

TEST_F(Documents, ASplitOpensTheNewPaneWhereTheOldOneWasScrolled) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "line " + std::to_string(i) + "\r\n";
    const std::wstring path = folder_ + L"long.txt";
    ASSERT_TRUE(WriteFileText(path, text));
    ASSERT_NE(frame_->OpenDocument(path), nullptr);
    for (const UINT split : {ID_SPLIT_STACKED, ID_SPLIT_SIDE}) {
        documents::CSplitTextView* view = View(frame_->ActiveIndex());
        SendMessageW(view->ActivePane(), MPM_FIRSTVISIBLE, 120, 0);
        ASSERT_EQ(SendMessageW(view->ActivePane(), MPM_FIRSTVISIBLE, WPARAM(-1), 0), 120);
        Command(split);
        ASSERT_TRUE(view->IsSplit());
        EXPECT_EQ(SendMessageW(view->PaneWindow(1), MPM_FIRSTVISIBLE, WPARAM(-1), 0), 120) << "split " << split;
        Command(split);  // unsplit
        ASSERT_FALSE(view->IsSplit());
    }
}
