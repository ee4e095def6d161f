// Every shipped syntax definition against its sample, styled by the real edit
// control with the lexer that the definition's script builds, once with the
// script run by the system's engine and once by our own (one golden file for
// both), and the rule trees the two engines build compared directly.
//
// For each entry of syntax.ini the sample is golden/<script stem>.<first
// extension> (c.c, cpp.cpp, shell.sh, ...). It is loaded into an MRPAD32
// control of Edit.dll from the program folder, given the entry's lexer, its
// states brought up to date and its fold pass run; then every unit's style
// class (MPM_GETSTYLEAT) and every line's fold level and end state (line
// attributes) are written out and compared with <sample>.golden.
//
// Golden file format (UTF-8, LF line ends), two lines per line of the sample:
//
//     <line number> <fold level> <end state> |<the line's text>
//                                           |<one character per unit>
//
// The line number counts from 1; the fold level is the line's own level (the
// previous line's fold pass result), the end state the lexer state the line
// ends in (a state that carries an open text, such as a bracket comment's
// level, as its region followed by '+'). In the text a tab is written as a right arrow so that the style
// characters stay under their units. Style characters: '.' for class 0,
// '1' to '9' for 1 to 9, 'a' to 'v' for 10 to 31.
//
// A mismatch writes <sample>.golden.new beside the golden file and fails
// naming the first line that differs; a missing golden file does the same.
// With MORROWPAD_UPDATE_GOLDEN=1 in the environment the golden files are
// rewritten instead (review them by eye before committing).
//
// The same text with LF and with CR LF line ends must style the same, and a
// control that received a few hundred random edits (typing, pasting and
// deleting anywhere, including inside open comments and strings) must style
// and end its lines exactly as a fresh control given the final text whole.
// The random runs are seeded; the seed is printed with every failure and
// MORROWPAD_SEED=<n> repeats a run.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "EditProtocol.h"
#include "EngineChoice.h"
#include "ParserScript.h"
#include "Settings.h"
#include "SyntaxList.h"
#include "TempDir.h"
#include "TestSupport.h"
#include "Utf8.h"

using testing_support::Messages;

namespace {

// ---- the program folder, the library and the list ---------------------------

std::wstring ProgramFolderOfBuild() {
    // Tests run from build/win/tests; the program folder is build/win/bin.
    return testing_support::TestFolder() + L"..\\bin\\";
}

// COM for the scripts, and the build's program folder as the program's.
void UseBuildFolder() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    settings::SetProgramFolder(ProgramFolderOfBuild());
}

bool EnvFlag(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && *v != '0';
}

// One syntax.ini entry as the tests use it.
struct Language {
    std::wstring title;
    std::wstring file;    // the script, inside "syntax\\"
    std::wstring stem;    // the script's name without ".vbs"
    std::wstring sample;  // stem + "." + the first extension
};

// Test parameters print as their titles.
void PrintTo(const Language& l, std::ostream* os) { *os << Narrow(l.title); }

std::vector<Language> Languages() {
    UseBuildFolder();
    std::vector<Language> out;
    for (int i = 0; i < syntax::EntryCount(); ++i) {
        const syntax::SyntaxEntry* e = syntax::Entry(i);
        if (!e) continue;
        Language l;
        l.title = e->title;
        l.file = e->file;
        l.stem = e->file;
        const size_t dot = l.stem.rfind(L'.');
        if (dot != std::wstring::npos) l.stem.resize(dot);
        std::wstring ext = e->extensions;  // ";c;h;"
        while (!ext.empty() && ext.front() == L';') ext.erase(0, 1);
        ext = ext.substr(0, ext.find(L';'));
        l.sample = l.stem + L"." + ext;
        out.push_back(l);
    }
    return out;
}

const std::vector<Language>& AllLanguages() {
    static const std::vector<Language> list = Languages();
    return list;
}

std::string StemName(const Language& l) {
    std::string n;
    for (wchar_t c : l.stem) n += (iswalnum(c) ? char(c) : '_');
    return n.empty() ? "unnamed" : n;
}

std::string TestName(const ::testing::TestParamInfo<Language>& info) { return StemName(info.param); }

// Each case runs once per engine: the definition built by the system's engine
// and by our own must style its sample as the one golden file says.
using EngineAndLanguage = std::tuple<int, Language>;

std::string EngineTestName(const ::testing::TestParamInfo<EngineAndLanguage>& info) {
    return testing_support::EngineName(std::get<0>(info.param)) + "_" + StemName(std::get<1>(info.param));
}

// The lexers of the list are built by the chosen engine: the list is read
// again when the choice changes.
void UseEngine(int choice) {
    static int current = -1;
    if (current == choice) return;
    syntax::SetScriptEngineChoice(choice);
    syntax::Reload();
    current = choice;
}

std::wstring GoldenPath(const std::wstring& name) { return Wide(GOLDEN_DIR) + L"/" + name; }

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---- controls ---------------------------------------------------------------

HMODULE EditLibrary() {
    static HMODULE lib = LoadLibraryW((ProgramFolderOfBuild() + MRPAD_LIBRARY_NAME).c_str());
    return lib;
}

class Control {
   public:
    Control() {
        parent_ = CreateWindowExW(0, L"STATIC", L"golden", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        edit_ = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_CHILD | WS_VISIBLE, 0, 0, 600, 400, parent_,
                                nullptr, EditLibrary(), nullptr);
    }
    ~Control() {
        if (parent_) DestroyWindow(parent_);
    }
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    bool Ok() const { return edit_ != nullptr; }
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return SendMessageW(edit_, msg, wp, lp); }
    template <typename A>
    LRESULT SendP(UINT msg, A* a, LPARAM lp = 0) const {
        return Send(msg, reinterpret_cast<WPARAM>(a), lp);
    }

    bool Load(const std::wstring& path) {
        return SendP(MPM_LOADFILE, path.c_str(), MAKELPARAM(65001, 0)) == 1;
    }
    // The lexer with the fold pass as the folding method, as documents set it.
    void SetLexer(ILexer* lexer) {
        Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(lexer), 1);
        Send(MPM_INDENTFOLDS, syntax::FoldsByIndent(lexer) ? 1 : 0);
        Send(MPM_FOLDMODE, 1);
    }
    int LineCount() const { return int(Send(MPM_GETLINECOUNT)); }
    std::wstring Line(int line) const {
        const int n = int(Send(MPM_GETLINE, WPARAM(line), 0));
        std::wstring s(size_t(n) + 1, L'\0');
        Send(MPM_GETLINE, WPARAM(line), reinterpret_cast<LPARAM>(s.data()));
        s.resize(size_t(n));
        return s;
    }
    std::wstring Text() const {
        std::wstring t;
        const int n = LineCount();
        for (int i = 0; i < n; ++i) {
            if (i) t += L"\r\n";
            t += Line(i);
        }
        return t;
    }
    int Attr(int line, int kind) const {
        LineAttrArg a = {kind, -1};
        Send(MPM_GETLINEATTR, WPARAM(line), reinterpret_cast<LPARAM>(&a));
        return a.value;
    }
    int StyleAt(int line, int column) const {
        Position p = {line, column};
        return int(SendP(MPM_GETSTYLEAT, &p));
    }
    // Runs the control's fold pass to the end: the pass works in slices from
    // its timer; the ticks are delivered here instead of waiting for them.
    void RunFoldPass() const {
        const int ticks = LineCount() / 100 + 2;
        for (int i = 0; i < ticks; ++i) Send(WM_TIMER, 3, 0);
    }
    bool Insert(Position at, const std::wstring& text) const {
        TextArg a = {text.c_str(), int(text.size())};
        return SendP(MPM_INSERTTEXT, &at, reinterpret_cast<LPARAM>(&a)) == 1;
    }
    bool Delete(Position a, Position b) const {
        return Send(MPM_DELETERANGE, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b)) == 1;
    }
    void SetCaret(Position p) const { SendP(MPM_SETCARET, &p, 0); }
    void Type(wchar_t c) const { Send(WM_CHAR, WPARAM(c), 1); }
    void Command(int id) const { Send(WM_COMMAND, MAKEWPARAM(id, 0), 0); }

   private:
    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
};

// ---- dumps ------------------------------------------------------------------

struct LineDump {
    std::wstring text;
    std::string styles;
    int fold = 0;
    int state = 0;  // a state that carries an open text: its region
    bool carried = false;
};

char StyleChar(int c) {
    if (c == 0) return '.';
    if (c < 10) return char('0' + c);
    if (c < 32) return char('a' + c - 10);
    return '?';
}

// What the control shows: the styles as painting asks for them (the states
// are brought up to date on the way), then the end states and fold levels.
// A state that carries an open text is numbered in the order the lexer met
// it, over all documents: it is written as its region, marked.
std::vector<LineDump> DumpControl(const Control& c, bool foldPass, ILexer* lexer) {
    std::vector<LineDump> out;
    const int n = c.LineCount();
    for (int i = 0; i < n; ++i) {
        LineDump d;
        d.text = c.Line(i);
        c.StyleAt(i, 0);  // brings the states of the lines before up to date, also for an empty line
        for (int k = 0; k < int(d.text.size()); ++k) d.styles += StyleChar(c.StyleAt(i, k));
        out.push_back(d);
    }
    // The last line's own state: computed from the (now valid) one before it.
    c.Send(MPM_UPDATESTATES, WPARAM(n - 1), n - 1);
    if (foldPass) c.RunFoldPass();
    for (int i = 0; i < n; ++i) {
        out[size_t(i)].state = c.Attr(i, LA_LEXSTATE);
        if (auto* p = dynamic_cast<syntax::CSyntaxParser*>(lexer);
            p && out[size_t(i)].state >= syntax::kFirstCarried) {
            std::wstring open;
            out[size_t(i)].state = p->RegionOfState(out[size_t(i)].state, &open);
            out[size_t(i)].carried = true;
        }
        out[size_t(i)].fold = c.Attr(i, LA_FOLDLEVEL);
    }
    return out;
}

std::string ShowText(const std::wstring& text) {
    std::wstring t = text;
    for (wchar_t& ch : t)
        if (ch == L'\t') ch = 0x2192;
    return Narrow(t);
}

std::string Header(int line, const LineDump& d) {
    char buf[64];
    snprintf(buf, sizeof buf, "%5d %2d %2d%c|", line + 1, d.fold, d.state, d.carried ? '+' : ' ');
    return buf;
}

std::vector<std::string> GoldenLines(const std::vector<LineDump>& dump) {
    std::vector<std::string> out;
    for (size_t i = 0; i < dump.size(); ++i) {
        const std::string head = Header(int(i), dump[i]);
        out.push_back(head + ShowText(dump[i].text));
        out.push_back(std::string(head.size() - 1, ' ') + "|" + dump[i].styles);
    }
    return out;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    return out;
}

// The first line (counted from 1 in the sample) where two dumps differ, with
// both versions; empty when they are the same.
std::string FirstDifference(const std::vector<std::string>& x, const std::vector<std::string>& y,
                            const char* nameA, const char* nameB) {
    const auto at = [](const std::vector<std::string>& v, size_t k) {
        return k < v.size() ? v[k] : std::string("(no such line)");
    };
    for (size_t i = 0; i < std::max(x.size(), y.size()); i += 2)
        if (at(x, i) != at(y, i) || at(x, i + 1) != at(y, i + 1))
            return "line " + std::to_string(i / 2 + 1) + " differs\n" + nameA + ":\n" + at(x, i) + "\n" +
                   at(x, i + 1) + "\n" + nameB + ":\n" + at(y, i) + "\n" + at(y, i + 1) + "\n";
    return {};
}

std::string MessagesShown() {
    std::string s;
    for (const auto& m : Messages()) s += Narrow(m.caption) + ": " + Narrow(m.text) + "\n";
    return s;
}

// ---- the fixture ------------------------------------------------------------

// The file at `path` loaded into a control with `lexer`, states and folds
// brought up to date, dumped.
std::vector<LineDump> DumpOf(const std::wstring& path, ILexer* lexer) {
    Control c;
    EXPECT_TRUE(c.Ok());
    EXPECT_TRUE(c.Load(path)) << Narrow(path);
    c.SetLexer(lexer);
    c.Send(MPM_UPDATESTATES, 0, -1);
    return DumpControl(c, true, lexer);
}

class SyntaxGolden : public ::testing::TestWithParam<EngineAndLanguage> {
   protected:
    const Language& Lang() const { return std::get<1>(GetParam()); }

    void SetUp() override {
        UseBuildFolder();
        UseEngine(std::get<0>(GetParam()));
        ASSERT_NE(EditLibrary(), nullptr) << "Edit.dll is not in the program folder";
        Messages().clear();
        lexer_ = syntax::LexerByName(Lang().title);
        ASSERT_NE(lexer_, nullptr) << "no lexer for " << Narrow(Lang().title) << "\n" << MessagesShown();
        EXPECT_TRUE(Messages().empty()) << "the script of " << Narrow(Lang().title) << " reported:\n"
                                        << MessagesShown();
        samplePath_ = GoldenPath(Lang().sample);
        ASSERT_TRUE(FileExists(samplePath_)) << "missing sample " << Narrow(samplePath_);
    }

    std::vector<LineDump> DumpFile(const std::wstring& path) { return DumpOf(path, lexer_); }

    ILexer* lexer_ = nullptr;
    std::wstring samplePath_;
};

// ---- the goldens ------------------------------------------------------------

// Compares the dump of `samplePath` with <samplePath>.golden, as the file
// comment says (or rewrites it on request).
void ExpectGolden(const std::wstring& samplePath, const std::vector<LineDump>& dump) {
    const std::wstring goldenPath = samplePath + L".golden";
    const std::wstring newPath = goldenPath + L".new";
    const std::vector<std::string> lines = GoldenLines(dump);
    const std::string text = JoinLines(lines);

    if (EnvFlag("MORROWPAD_UPDATE_GOLDEN")) {
        ASSERT_TRUE(testing_support::WriteFileText(goldenPath, text));
        DeleteFileW(newPath.c_str());
        return;
    }
    if (!FileExists(goldenPath)) {
        testing_support::WriteFileText(newPath, text);
        FAIL() << "missing golden file " << Narrow(goldenPath) << " (wrote " << Narrow(newPath) << ")";
    }
    const std::vector<std::string> expected = SplitLines(testing_support::ReadFileText(goldenPath));
    if (expected == lines) {
        DeleteFileW(newPath.c_str());
        return;
    }
    testing_support::WriteFileText(newPath, text);
    FAIL() << Narrow(samplePath) << " differs from " << Narrow(goldenPath) << " (now in " << Narrow(newPath)
           << "): " << FirstDifference(expected, lines, "golden", "now");
}

TEST_P(SyntaxGolden, SampleStylesAsItsGoldenFile) { ExpectGolden(samplePath_, DumpFile(samplePath_)); }

TEST_P(SyntaxGolden, LfAndCrLfLineEndsStyleTheSame) {
    std::string lf, crlf;
    for (char ch : testing_support::ReadFileText(samplePath_))
        if (ch != '\r') lf += ch, crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    TempDir dir(L"gld");
    const std::wstring lfPath = dir / (L"lf." + Lang().sample), crlfPath = dir / (L"crlf." + Lang().sample);
    ASSERT_TRUE(testing_support::WriteFileText(lfPath, lf));
    ASSERT_TRUE(testing_support::WriteFileText(crlfPath, crlf));
    const std::vector<LineDump> a = DumpFile(lfPath);
    EXPECT_GT(a.size(), 1u);
    EXPECT_EQ(FirstDifference(GoldenLines(a), GoldenLines(DumpFile(crlfPath)), "LF", "CR LF"), "")
        << Narrow(Lang().sample);
}

// ---- random edits -----------------------------------------------------------

// Snippets that open and close what definitions care about: comments,
// strings, tags, blocks, line breaks, escapes.
const wchar_t* const kSnippets[] = {
    L"/*",
    L"*/",
    L"//",
    L"#",
    L"--",
    L";",
    L"\"",
    L"'",
    L"`",
    L"```",
    L"\"\"\"",
    L"'''",
    L"\\",
    L"\\\"",
    L"{",
    L"}",
    L"(",
    L")",
    L"[",
    L"]",
    L"<",
    L">",
    L"</",
    L"/>",
    L"<!--",
    L"-->",
    L"<![CDATA[",
    L"]]>",
    L"<?",
    L"?>",
    L"<div class=\"a\">",
    L"</div>",
    L"&amp;",
    L"${",
    L"$(",
    L"@",
    L"%",
    L"*",
    L"**",
    L"_",
    L"=",
    L":",
    L",",
    L"\n",
    L"\n",
    L"\r\n",
    L"\n\n",
    L" ",
    L"  ",
    L"\t",
    L"x",
    L"word",
    L"if",
    L"end",
    L"begin",
    L"BEGIN",
    L"0x1F",
    L"42",
    L"3.14",
    L"+",
    L"-",
    L"@@ -1,2 +1,3 @@",
    L"\\begin{x}",
    L"\\end{x}",
    L"<<EOF",
    L"EOF",
    L"[[",
    L"]]",
    L"#if",
    L"#endif",
    L"rem ",
    L"::",
    L"'x'",
    L"\"s\"",
    L"//x\n",
    L"/* c */",
};

std::wstring RandomSnippet(std::mt19937& rng) {
    const size_t count = sizeof kSnippets / sizeof kSnippets[0];
    std::wstring s;
    const int parts = 1 + int(rng() % 3);
    for (int i = 0; i < parts; ++i) s += kSnippets[rng() % count];
    return s;
}

Position RandomPosition(const Control& c, std::mt19937& rng) {
    const int lines = c.LineCount();
    Position p;
    p.line = int(rng() % unsigned(lines));
    const int len = int(c.Line(p.line).size());
    p.column = int(rng() % unsigned(len + 1));
    return p;
}

// One edit as a user makes it: typing at the caret, pasting a snippet,
// deleting a selection that may span lines, backspace or delete keys, undo
// and redo.
void RandomEdit(const Control& c, std::mt19937& rng) {
    const unsigned kind = rng() % 12;
    const Position at = RandomPosition(c, rng);
    if (kind < 4) {
        c.Insert(at, RandomSnippet(rng));
    } else if (kind < 6) {
        c.SetCaret(at);
        const std::wstring s = RandomSnippet(rng);
        for (wchar_t ch : s)
            if (ch != L'\r') c.Type(ch == L'\n' ? L'\r' : ch);
    } else if (kind < 9) {
        Position end = at;
        const int lines = c.LineCount();
        end.line = std::min(lines - 1, at.line + int(rng() % 4) - (rng() % 3 == 0 ? 1 : 0));
        if (end.line < 0) end.line = 0;
        const int len = int(c.Line(end.line).size());
        end.column = int(rng() % unsigned(len + 1));
        if (end.line < at.line || (end.line == at.line && end.column < at.column))
            c.Delete(end, at);
        else
            c.Delete(at, end);
    } else if (kind < 10) {
        c.SetCaret(at);
        const int presses = 1 + int(rng() % 4);
        for (int i = 0; i < presses; ++i) c.Command(rng() % 2 ? ECMD_BACKSPACE : ECMD_DELETE);
    } else {
        c.Command(kind == 10 ? ECMD_UNDO : ECMD_REDO);
    }
    // Painting asks for the styles of a few lines between edits.
    if (rng() % 4 == 0) {
        const Position p = RandomPosition(c, rng);
        c.StyleAt(p.line, p.column);
    }
}

unsigned SeedFor(const Language& l) {
    if (const char* s = std::getenv("MORROWPAD_SEED")) return unsigned(strtoul(s, nullptr, 10));
    unsigned h = 2166136261u;
    for (wchar_t ch : l.stem) h = (h ^ unsigned(ch)) * 16777619u;
    return h;
}

// Edits the sample at random and compares the control with a fresh one
// given the final text whole: the styles, and the states and fold levels the
// control kept up to date edit by edit.
void RunRandomEdits(const Language& language, ILexer* lexer, const std::wstring& samplePath) {
    const unsigned seed = SeedFor(language);
    SCOPED_TRACE("seed " + std::to_string(seed) + " (MORROWPAD_SEED=" + std::to_string(seed) +
                 " repeats it)");
    std::mt19937 rng(seed);
    Control edited;
    ASSERT_TRUE(edited.Ok());
    ASSERT_TRUE(edited.Load(samplePath));
    edited.SetLexer(lexer);
    edited.Send(MPM_UPDATESTATES, 0, -1);
    edited.RunFoldPass();

    const int kEdits = 400;
    const int kCheckEvery = 50;
    for (int i = 1; i <= kEdits; ++i) {
        RandomEdit(edited, rng);
        if (i % kCheckEvery != 0) continue;
        // Keep the text from growing without end.
        while (edited.LineCount() > 400) edited.Delete({300, 0}, {edited.LineCount(), 0});
        const std::wstring text = edited.Text();
        Control fresh;
        ASSERT_TRUE(fresh.Ok());
        fresh.Insert({0, 0}, text);
        fresh.SetLexer(lexer);
        fresh.Send(MPM_UPDATESTATES, 0, -1);
        const std::vector<LineDump> want = DumpControl(fresh, true, lexer);
        const std::vector<LineDump> got = DumpControl(edited, true, lexer);
        const std::string diff = FirstDifference(GoldenLines(want), GoldenLines(got), "fresh", "edited");
        ASSERT_TRUE(diff.empty()) << Narrow(language.title) << " after " << i << " edits: " << diff;
    }
}

// Each edit's styles and line states as a full lex gives them, deletions that
// span lines included (SyntaxGoldenControl.DeletingAndInsertingLines... below).
TEST_P(SyntaxGolden, RandomEditsKeepTheStatesEditByEdit) { RunRandomEdits(Lang(), lexer_, samplePath_); }

INSTANTIATE_TEST_SUITE_P(Shipped, SyntaxGolden,
                         ::testing::Combine(testing_support::kBothEngines,
                                            ::testing::ValuesIn(AllLanguages())),
                         EngineTestName);

// ---- the corpus -------------------------------------------------------------
//
// Real code in the shapes lexers get wrong, per language: corpus/<script
// stem>/<file>, each pinned by <file>.golden as the samples are (styled by
// our engine's lexers: the rule trees of both engines are compared below).
// MORROWPAD_CORPUS=<folder> takes the files from a folder of the same shape
// instead (with MORROWPAD_UPDATE_GOLDEN=1, to colour files of one's own for
// pygments_diff.py).

struct CorpusFile {
    std::wstring stem;
    std::wstring path;
};

void PrintTo(const CorpusFile& f, std::ostream* os) { *os << Narrow(f.path); }

std::wstring CorpusFolder() {
    const char* own = std::getenv("MORROWPAD_CORPUS");
    return own && *own ? Wide(own) : Wide(CORPUS_DIR);
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder, bool folders) {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        const std::wstring name = fd.cFileName;
        const bool isFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name == L"." || name == L".." || isFolder != folders) continue;
        const auto endsWith = [&](const wchar_t* tail) {
            const size_t n = wcslen(tail);
            return name.size() >= n && name.compare(name.size() - n, n, tail) == 0;
        };
        if (!endsWith(L".golden") && !endsWith(L".golden.new")) out.push_back(name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<CorpusFile> CorpusFiles() {
    std::vector<CorpusFile> out;
    const std::wstring root = CorpusFolder();
    for (const std::wstring& stem : FolderEntries(root, true))
        for (const std::wstring& name : FolderEntries(root + L"\\" + stem, false))
            out.push_back({stem, root + L"\\" + stem + L"\\" + name});
    return out;
}

std::string CorpusTestName(const ::testing::TestParamInfo<CorpusFile>& info) {
    std::string n = Narrow(info.param.path.substr(CorpusFolder().size() + 1));
    for (char& c : n)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

class SyntaxCorpus : public ::testing::TestWithParam<CorpusFile> {};

TEST_P(SyntaxCorpus, FileStylesAsItsGoldenFile) {
    UseBuildFolder();
    UseEngine(syntax::kEngineOwn);
    const Language* lang = nullptr;
    for (const Language& l : AllLanguages())
        if (_wcsicmp(l.stem.c_str(), GetParam().stem.c_str()) == 0) lang = &l;
    ASSERT_NE(lang, nullptr) << "no syntax definition " << Narrow(GetParam().stem) << ".vbs";
    ILexer* lexer = syntax::LexerByName(lang->title);
    ASSERT_NE(lexer, nullptr) << MessagesShown();
    ExpectGolden(GetParam().path, DumpOf(GetParam().path, lexer));
}

INSTANTIATE_TEST_SUITE_P(Corpus, SyntaxCorpus, ::testing::ValuesIn(CorpusFiles()), CorpusTestName);

// ---- the rule trees both engines build --------------------------------------

void DumpRegion(const syntax::CSyntaxRegion* r, int depth, std::ostringstream& out) {
    const std::string indent(size_t(depth) * 2, ' ');
    out << indent << "region " << r->id << " style " << r->style << " case " << r->caseSensitive << " begin ["
        << Narrow(r->beginText) << "] end [" << Narrow(r->endText) << "]";
    if (const auto* quoted = dynamic_cast<const syntax::CStringRegion*>(r))
        out << " quote " << int(quoted->quote) << " escape " << int(quoted->escape);
    if (const auto* q = dynamic_cast<const syntax::CQuoteRegion*>(r))
        out << " delimited " << q->parts << " escape " << int(q->escape);
    out << (r->CarriesText() ? " carries" : "") << (r->skip ? " skip" : "") << (r->suffix ? " suffix" : "");
    out << " fold " << (r->fold != nullptr) << " unfold " << (r->unfold != nullptr) << "\n";
    for (const syntax::SyntaxItem* item : r->items)
        out << indent << "  item style " << item->style << " expr " << (item->expr != nullptr) << "\n";
    for (const syntax::CSyntaxRegion* child : r->children) DumpRegion(child, depth + 1, out);
}

std::string DumpParsers(const std::vector<std::unique_ptr<syntax::CSyntaxParser>>& parsers) {
    std::ostringstream out;
    for (const auto& p : parsers) {
        out << "parser [" << Narrow(p->GetName()) << "]\n";
        DumpRegion(p->Root(), 1, out);
    }
    return out.str();
}

class SyntaxEngines : public ::testing::TestWithParam<Language> {};

// The script run by each engine directly: the same parsers with the same
// regions, items and fold texts in the same order (the styles they give are
// compared above, against the one golden file).
TEST_P(SyntaxEngines, BothEnginesBuildTheSameRuleTree) {
    UseBuildFolder();
    const std::wstring path = ProgramFolderOfBuild() + L"syntax\\" + GetParam().file;
    std::string dumps[2];
    for (int choice : {syntax::kEngineSystemFirst, syntax::kEngineOwn}) {
        testing_support::EngineChoiceScope engine(choice);
        Messages().clear();
        std::vector<std::unique_ptr<syntax::CSyntaxParser>> parsers;
        EXPECT_TRUE(syntax::RunParserScript(path, parsers))
            << testing_support::EngineName(choice) << ": " << MessagesShown();
        EXPECT_FALSE(parsers.empty()) << testing_support::EngineName(choice);
        dumps[choice] = DumpParsers(parsers);
    }
    EXPECT_EQ(dumps[0], dumps[1]) << Narrow(GetParam().file)
                                  << ": the system's engine (first) and ours differ";
}

INSTANTIATE_TEST_SUITE_P(Shipped, SyntaxEngines, ::testing::ValuesIn(AllLanguages()), TestName);

// The smallest edits behind random-edit failures, with a lexer of its own:
// state 1 inside a block comment from "/*" to "*/", else 0.
struct CommentLexer : ILexer {
    int LineState(int, const wchar_t* t, int n, int prev, unsigned short* styles) override {
        int in = prev == 1;
        for (int i = 0; i < n; ++i) {
            if (!in && i + 1 < n && t[i] == L'/' && t[i + 1] == L'*') {
                in = 1;
                if (styles) styles[i] = styles[i + 1] = 1;
                ++i;
                continue;
            }
            if (in && i + 1 < n && t[i] == L'*' && t[i + 1] == L'/') {
                in = 0;
                if (styles) styles[i] = styles[i + 1] = 1;
                ++i;
                continue;
            }
            if (styles) styles[i] = static_cast<unsigned short>(in);
        }
        return in;
    }
    const wchar_t* Name() override { return L"comments"; }
    int FoldLevel(int, const wchar_t*, int, int, int, int level, unsigned short*) override { return level; }
};

std::vector<int> States(const Control& c) {
    std::vector<int> s;
    const int n = c.LineCount();
    for (int i = 0; i < n; ++i) c.StyleAt(i, 0);
    c.Send(MPM_UPDATESTATES, WPARAM(n - 1), n - 1);
    for (int i = 0; i < n; ++i) s.push_back(c.Attr(i, LA_LEXSTATE));
    return s;
}

// After a deletion that joins lines, or an insertion of lines, the lines
// after them are lexed again: their states must not stay computed from the
// old lines when the changed line ends in the state it had before.
TEST(SyntaxGoldenControl, DeletingAndInsertingLinesRelexesTheLinesAfterThem) {
    ASSERT_NE(EditLibrary(), nullptr);
    CommentLexer lexer;
    Control c;
    c.Insert({0, 0}, L"x\r\n/* open\r\ny\r\n*/ z\r\nw");
    c.SetLexer(&lexer);
    EXPECT_EQ(States(c), (std::vector<int>{0, 1, 1, 0, 0}));
    // Removing "x" up to the comment's opening leaves line 0 ending in state
    // 0 as before, but the line after it now starts outside the comment.
    c.Delete({0, 0}, {1, 8});
    EXPECT_EQ(c.Text(), L"\r\ny\r\n*/ z\r\nw");
    EXPECT_EQ(States(c), (std::vector<int>{0, 0, 0, 0}));
    // A new line that opens a comment: the lines after it are inside it.
    c.Insert({0, 0}, L"a\r\n/* new");
    EXPECT_EQ(States(c), (std::vector<int>{0, 1, 1, 0, 0}));
}

// A long file shown first at a line far down is coloured with the states of
// all the lines above it; a construct opened by typing colours what follows
// it, and closing it gives the lines after it their colours back.
TEST(SyntaxGoldenControl, ColoursFollowTheTextAboveWhereverTheViewStartsAndAfterEdits) {
    ASSERT_NE(EditLibrary(), nullptr);
    UseBuildFolder();
    UseEngine(syntax::kEngineOwn);
    struct Case {
        const wchar_t* language;
        const wchar_t* opener;  // put at the start of line 2
        const wchar_t* closer;  // a line inserted after line 3000
        int inside;             // the class of line 2000's first unit while open
    };
    const Case cases[] = {
        {L"CMake", L"#[==[ ", L"]=] ]==]", 1},
        {L"Perl", L"print <<\"EOT\";", L"EOT", 4},
        {L"Shell", L"cat <<-'END'", L"END", 4},
    };
    std::wstring text;
    for (int i = 0; i < 6000; ++i) text += L"x" + std::to_wstring(i) + L"\r\n";
    for (const Case& k : cases) {
        ILexer* lexer = syntax::LexerByName(k.language);
        ASSERT_NE(lexer, nullptr) << Narrow(k.language);
        Control c;
        c.Insert({0, 0}, text);
        c.Insert({2, 0}, std::wstring(k.opener) + L"\r\n");
        c.Insert({3001, 0}, std::wstring(k.closer) + L"\r\n");
        c.SetLexer(lexer);
        // Shown at line 4000 first, then at line 2000.
        c.SetCaret({4000, 0});
        c.Send(WM_PAINT);
        EXPECT_EQ(c.StyleAt(4000, 0), 0) << Narrow(k.language) << " after the construct";
        EXPECT_EQ(c.StyleAt(2000, 0), k.inside) << Narrow(k.language) << " inside it";
        // Without the closer the construct runs to the end; typed back, the
        // lines after it are code again.
        c.Delete({3001, 0}, {3002, 0});
        EXPECT_EQ(c.StyleAt(4000, 0), k.inside) << Narrow(k.language) << " unclosed";
        c.Insert({3001, 0}, std::wstring(k.closer) + L"\r\n");
        EXPECT_EQ(c.StyleAt(4000, 0), 0) << Narrow(k.language) << " closed again";
        EXPECT_EQ(c.StyleAt(5999, 0), 0) << Narrow(k.language) << " closed again";
    }
}

std::vector<int> FoldLevels(const Control& c) {
    c.RunFoldPass();
    std::vector<int> levels;
    for (int i = 0; i < c.LineCount(); ++i) levels.push_back(i == 0 ? 0 : c.Attr(i, LA_FOLDLEVEL));
    return levels;
}

std::string Show(const std::vector<int>& v) {
    std::string s;
    for (int x : v) s += std::to_string(x) + " ";
    return s;
}

// Folding by indentation: a line's level is its indentation; blank lines
// belong to the block after them when it goes on, not when it ends; lines
// inside a comment spanning lines fold under the line that opens it.
TEST(SyntaxGoldenControl, IndentationGivesTheFoldLevels) {
    ASSERT_NE(EditLibrary(), nullptr);
    CommentLexer lexer;
    struct Case {
        std::wstring text;
        std::vector<int> levels;
    } cases[] = {
        {L"def f():\n    x = 1\n\n    y = 2\n\nz = 3", {0, 4, 4, 4, 0, 0}},
        {L"class A:\n\tdef m(self):\n\t\tpass\n  \n\tq = 1", {0, 8, 16, 8, 8}},
        {L"x = /* a\nb\n   c */\ny", {0, 1, 1, 0}},
        {L"  a\n    /* b\n c */\n  d", {0, 4, 5, 2}},
        {L"a\n\n\n", {0, 0, 0, 0}},
        {L"a\n" + std::wstring(200, L' ') + L"b", {0, 62}},
    };
    for (const Case& k : cases) {
        Control c;
        c.Insert({0, 0}, k.text);
        c.SetLexer(&lexer);
        EXPECT_EQ(c.Send(MPM_INDENTFOLDS, 1), 1);
        EXPECT_EQ(Show(FoldLevels(c)), Show(k.levels)) << Narrow(k.text);
    }
    // An edit deepens the line after a blank one: the blank line takes the
    // new level, and switching back gives the lexer's levels again.
    Control c;
    c.Insert({0, 0}, L"a\n\nb\nc");
    c.SetLexer(&lexer);
    c.Send(MPM_INDENTFOLDS, 1);
    EXPECT_EQ(Show(FoldLevels(c)), Show({0, 0, 0, 0}));
    c.Insert({2, 0}, L"  ");
    EXPECT_EQ(Show(FoldLevels(c)), Show({0, 2, 2, 0}));
    EXPECT_EQ(c.Send(MPM_INDENTFOLDS, 0), 0);
    EXPECT_EQ(Show(FoldLevels(c)), Show({0, 0, 0, 0}));
    EXPECT_EQ(c.Send(MPM_INDENTFOLDS, 7), 0);
}

// A line longer than the lexer sees (2^20 units) is highlighted up to the
// cut and plain after it; its end state is the state at the cut.
TEST(SyntaxGoldenControl, AnEnormousLineIsLexedUpToTheCut) {
    ASSERT_NE(EditLibrary(), nullptr);
    CommentLexer lexer;
    constexpr int kCut = 1 << 20;
    Control c;
    c.Insert({0, 0}, L"/*" + std::wstring(size_t(kCut) + 100, L'a') + L"*/\r\nnext");
    c.SetLexer(&lexer);
    EXPECT_EQ(c.StyleAt(0, 10), 1);
    EXPECT_EQ(c.StyleAt(0, kCut - 1), 1);
    EXPECT_EQ(c.StyleAt(0, kCut + 50), 0);
    // The comment's close lies past the cut: the next line is inside it.
    EXPECT_EQ(States(c), (std::vector<int>{1, 1}));
}

// The list itself: every entry of syntax.ini has its script (the list
// leaves out entries whose script is missing, so the tests above would not
// see them), and no sample lies in the folder without an entry.
TEST(SyntaxGoldenFolder, EveryEntryHasItsScript) {
    const std::wstring ini = ProgramFolderOfBuild() + L"syntax.ini";
    ASSERT_TRUE(FileExists(ini)) << Narrow(ini);
    const int count = int(GetPrivateProfileIntW(L"Syntax", L"Count", 0, ini.c_str()));
    EXPECT_GT(count, 0);
    for (int i = 0; i < count; ++i) {
        const std::wstring section = L"Syntax" + std::to_wstring(i);
        wchar_t file[MAX_PATH] = {};
        GetPrivateProfileStringW(section.c_str(), L"File", L"", file, MAX_PATH, ini.c_str());
        const std::wstring script = ProgramFolderOfBuild() + L"syntax\\" + file;
        EXPECT_TRUE(*file && FileExists(script)) << Narrow(section) << ": missing script " << Narrow(file);
    }
}

TEST(SyntaxGoldenFolder, EverySampleBelongsToAnEntry) {
    ASSERT_FALSE(AllLanguages().empty()) << "syntax.ini lists no definitions";
    for (const std::wstring& name : FolderEntries(Wide(GOLDEN_DIR), false))
        EXPECT_TRUE(std::any_of(AllLanguages().begin(), AllLanguages().end(),
                                [&](const Language& l) { return l.sample == name; }))
            << "golden/" << Narrow(name) << " belongs to no syntax.ini entry";
}

}  // namespace
