// Find in files over folders of real files written for each case: the filter,
// the result line format and the summaries of both outputs, encodings with
// and without marks, detected legacy code pages, line ends, subfolders,
// files that are empty or locked, Stop, and expressions that are refused or
// run out of their budget; the walk and the reads running ahead of the
// matching: results in walk order, Stop in the middle, files that go
// between the walk and the read.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <new>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "FindInFiles.h"
#include "TestSupport.h"

using namespace GrepUtil;
using testing_support::ReadFileText;
using testing_support::WriteFileText;
using Lines = std::vector<std::wstring>;

namespace {

// A call-back that records the files reported and presses Stop once more
// than `stopAfter` have been.
struct Recorder : IGrepCallBack {
    Lines files;
    int stopAfter = -1;
    int finished = 0;
    void Progress(const wchar_t* path, int) override { files.push_back(path); }
    bool KeepGoing() override { return stopAfter < 0 || int(files.size()) <= stopAfter; }
    void Finished() override { ++finished; }
};

struct Result {
    std::wstring text;  // everything appended, in order
    int appends = 0;
    int total = 0;
    GrepStats stats;
};

Lines Split(const std::wstring& text) {
    Lines lines;
    size_t start = 0;
    for (size_t lf; (lf = text.find(L'\n', start)) != std::wstring::npos; start = lf + 1)
        lines.push_back(text.substr(start, lf - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// The hit lines without the summary, sorted: the platform's enumeration
// order is not fixed.
Lines SortedHits(const std::wstring& text) {
    Lines lines = Split(text);
    if (!lines.empty() && lines.back().find(L" lines were found in ") != std::wstring::npos) lines.pop_back();
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string Utf16(const std::wstring& s, bool bigEndian = false) {
    std::string out;
    for (wchar_t c : s)
        out += bigEndian ? std::string{char(c >> 8), char(c)} : std::string{char(c), char(c >> 8)};
    return out;
}

std::string Utf32(const std::u32string& s, bool bigEndian) {
    std::string out;
    for (char32_t c : s)
        for (int k = 0; k < 4; ++k) out += char(c >> (8 * (bigEndian ? 3 - k : k)));
    return out;
}

// A searcher that does something to one file as the walk lists it, before
// it is read: deletes it, makes it longer, or fails there.
struct CListedGreper : COutputGreper {
    enum class Act { kDelete, kGrow, kFail };
    using COutputGreper::COutputGreper;
    std::wstring victim;
    Act act = Act::kDelete;
    void Listed(const std::wstring& path) override {
        if (path != victim) return;
        if (act == Act::kFail) throw std::bad_alloc();
        if (act == Act::kDelete) {
            DeleteFileW(path.c_str());
            return;
        }
        HANDLE f =
            CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, "more needle\n", 12, &written, nullptr);
        CloseHandle(f);
    }
};

// The files under `folder` in the platform's order, each folder's entries
// where the folder comes.
void WalkOrder(const std::wstring& folder, Lines* files) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            WalkOrder(folder + name + L"\\", files);
        else
            files->push_back(folder + name);
    } while (FindNextFileW(find, &fd));
    FindClose(find);
}

class FindInFiles : public ::testing::Test {
   protected:
    void SetUp() override {
        dir_ = testing_support::MakeTempFolder(L"grep-");
        ASSERT_FALSE(dir_.empty());
    }
    void Write(const std::wstring& name, const std::string& bytes) {
        ASSERT_TRUE(WriteFileText(dir_ + name, bytes)) << std::string(name.begin(), name.end());
    }
    Result Search(const GrepOptions& options, Recorder* recorder = nullptr,
                  const std::wstring& folder = L"") {
        Result r;
        CListedGreper greper([&](const std::wstring& s) {
            r.text += s;
            ++r.appends;
        });
        greper.victim = victim_;
        greper.act = act_;
        if (readers_) greper.SetReaders(readers_);
        greper.Configure(options);
        Recorder own;
        r.total = greper.Run(folder.empty() ? dir_ : folder, recorder ? recorder : &own);
        r.stats = greper.Stats();
        EXPECT_EQ(greper.Total(), r.total);
        EXPECT_EQ((recorder ? recorder : &own)->finished, 1);
        return r;
    }
    std::wstring Hit(int line, int column, const std::wstring& text, const std::wstring& name = L"f.txt") {
        return L"#<" + dir_ + name + L">:(" + std::to_wstring(line) + L"," + std::to_wstring(column) + L"):" +
               text;
    }
    std::wstring Summary(size_t count, const std::wstring& folder = L"") {
        return std::to_wstring(count) + L" lines were found in " + (folder.empty() ? dir_ : folder) + L"\n";
    }
    // The output of these hits: each on its line, then the summary.
    std::wstring Out(const Lines& hits, const std::wstring& folder = L"") {
        std::wstring text;
        for (const std::wstring& hit : hits) text += hit + L"\n";
        return text + Summary(hits.size(), folder);
    }
    // Folders of `files` files "f<n>.txt" holding `bytes` under dir_ ("" itself).
    void Tree(const Lines& folders, int files, const std::string& bytes) {
        for (const std::wstring& folder : folders) {
            if (!folder.empty()) ASSERT_TRUE(CreateDirectoryW((dir_ + folder).c_str(), nullptr));
            for (int f = 0; f < files; ++f) Write(folder + L"f" + std::to_wstring(f) + L".txt", bytes);
        }
    }

    std::wstring dir_;
    int readers_ = 0;      // threads reading ahead of the matching, 0: the searcher's own number
    std::wstring victim_;  // acted on as the walk lists it
    CListedGreper::Act act_ = CListedGreper::Act::kDelete;
};

}  // namespace

TEST(FindInFilesFilter, ExtensionsMatchIgnoringCaseAndNamesWithoutOneAlwaysPass) {
    // The last dot decides.
    const std::tuple<const wchar_t*, const wchar_t*, bool> cases[] = {
        {L";*.txt;", L"a.TXT", true},       {L";*.txt;", L"README", true},  {L";*.txt;", L"a.log", false},
        {L";*.txt;", L"a.tx", false},       {L";*.txt;", L"a.txt2", false}, {L";*.cpp;*.h;", L"x.H", true},
        {L"", L"any.thing", true},          {L";*.gz;", L"a.tar.gz", true}, {L";*.tar;", L"a.tar.gz", false},
        {L";*.txt;", L"c.d\\README", true},  // the dot of a folder is no extension
    };
    for (auto [filter, name, admits] : cases)
        EXPECT_EQ(FilterAdmits(filter, name), admits) << filter << " " << name;
}

// Searches of one file f.txt (each case writes it, or keeps the last one):
// the line format, one hit per line at its first match, case folding,
// invert, marks and code pages, line ends, and expressions that see one
// line at a time.
TEST_F(FindInFiles, OneFile) {
    const std::string utf8 =
        "\xEF\xBB\xBFMa\xE2\x84\xAA"
        "e\n\xC3\x84pfel\n\xE6\x97\xA5\xE6\x9C\xAC NEEDLE\nneedle\n";
    const std::wstring cjk = L"\u65E5\u672C NEEDLE", u16 = L"first line\r\nthe needle \u00E9\r\n\r\nneedle\n";
    const std::u32string u32 = U"x\r\n\U0001F600 needle\n";
    std::string exprs = "end a\nb start\n\nx = word_t;\nword\n";
    // Enough lines for several runs of lines searched at once.
    for (int i = 0; i < 30000; ++i) exprs += i == 20000 ? "tail word_t here\n" : "filler line of text\n";
    exprs += "last a";
    const struct {
        std::string bytes;  // "": the file stays
        GrepOptions o;
        Lines hits;
    } cases[] = {
        {"first\nsecond\nneedle at the start\n\nends with the needle\n",
         {.pattern = L"needle"},
         {Hit(3, 0, L"needle at the start"), Hit(5, 14, L"ends with the needle")}},
        {"xx ab ab ab", {.pattern = L"ab"}, {Hit(1, 3, L"xx ab ab ab")}},
        // UTF-8 with its mark: a Kelvin sign, an A with diaeresis, CJK before a hit.
        {utf8, {.pattern = L"mAke", .codePage = 65001}, {Hit(1, 0, L"Ma\u212Ae")}},
        {"", {.pattern = L"\u00E4PF", .codePage = 65001}, {Hit(2, 0, L"\u00C4pfel")}},
        {"", {.pattern = L"Needle", .codePage = 65001}, {Hit(3, 3, cjk), Hit(4, 0, L"needle")}},
        {"", {.pattern = L"Needle", .matchCase = true, .codePage = 65001}, {}},
        {"", {.pattern = L"NEEDLE", .matchCase = true, .codePage = 65001}, {Hit(3, 3, cjk)}},
        {"\xEF\xBB\xBFneedle \xE2\x82\xAC\n", {.pattern = L"needle"}, {Hit(1, 0, L"needle \u20AC")}},
        {"", {.pattern = L"\u20AC", .codePage = 65001}, {Hit(1, 7, L"needle \u20AC")}},
        // US-ASCII as the system reads it: a byte above 127 is its low seven bits.
        {"x n\xE5"
         "edle\n",
         {.pattern = L"needle", .codePage = 20127},
         {Hit(1, 2, L"x needle")}},
        // Invert: the non-empty lines without a match, at column 0.
        {"alpha\n\nhas needle\n\r\nbeta gamma\n",
         {.pattern = L"needle", .invert = true},
         {Hit(1, 0, L"alpha"), Hit(5, 0, L"beta gamma")}},
        {"", {.pattern = L"a$", .regex = true, .invert = true}, {Hit(3, 0, L"has needle")}},
        // Without marks, by the configured code page; a mark of the other
        // order is text.
        {Utf16(u16),
         {.pattern = L"needle", .codePage = 1200},
         {Hit(2, 4, L"the needle \u00E9"), Hit(4, 0, L"needle")}},
        {Utf16(u16, true),
         {.pattern = L"needle", .codePage = 1201},
         {Hit(2, 4, L"the needle \u00E9"), Hit(4, 0, L"needle")}},
        {"\xFF\xFE" + Utf16(L"needle", true),
         {.pattern = L"needle", .codePage = 1201},
         {Hit(1, 1, L"\uFFFEneedle")}},
        // UTF-32 both ways, a character above U+FFFF taking two units.
        {Utf32(u32, false), {.pattern = L"needle", .codePage = 12000}, {Hit(2, 3, L"\U0001F600 needle")}},
        {Utf32(u32, true), {.pattern = L"needle", .codePage = 12001}, {Hit(2, 3, L"\U0001F600 needle")}},
        // CR alone, CR LF and LF each end a line.
        {"a\rneedle 1\r\nb\nneedle 2\r\rneedle 3\n\n\rneedle 4",
         {.pattern = L"needle"},
         {Hit(2, 0, L"needle 1"), Hit(4, 0, L"needle 2"), Hit(6, 0, L"needle 3"), Hit(9, 0, L"needle 4")}},
        {Utf16(L"x\rneedle\r\n\n\rneedle"),
         {.pattern = L"needle", .codePage = 1200},
         {Hit(2, 0, L"needle"), Hit(5, 0, L"needle")}},
        // Expressions match within one line and at their first column.
        {exprs, {.pattern = L"a\\s+b", .regex = true}, {}},  // would join lines 1 and 2
        {"", {.pattern = L"[^z]*START", .regex = true}, {Hit(2, 0, L"b start")}},
        {"",
         {.pattern = L"\\bword(_t)?\\b", .regex = true},
         {Hit(4, 4, L"x = word_t;"), Hit(5, 0, L"word"), Hit(20006, 5, L"tail word_t here")}},
        {"", {.pattern = L"\\sa", .regex = true}, {Hit(1, 3, L"end a"), Hit(30006, 4, L"last a")}},
        {"", {.pattern = L"a$", .regex = true}, {Hit(1, 4, L"end a"), Hit(30006, 5, L"last a")}},
        {"", {.pattern = L"(?<=x = )w", .regex = true}, {Hit(4, 4, L"x = word_t;")}},
        // Plain text of a refused expression is found; expressions find with groups and anchors.
        {"(abc\n", {.pattern = L"(abc"}, {Hit(1, 0, L"(abc")}},
        {"", {.pattern = L"^\\(A(b)C$", .regex = true}, {Hit(1, 0, L"(abc")}},
        {"", {.pattern = L"^\\(A(b)C$", .matchCase = true, .regex = true}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case #" << (&c - cases));
        if (!c.bytes.empty()) Write(L"f.txt", c.bytes);
        EXPECT_EQ(Search(c.o).text, Out(c.hits));
    }
    // Empty matches: every non-empty line; names only: the path alone.
    Write(L"f.txt", exprs);
    EXPECT_EQ(Search({.pattern = L"q*", .regex = true}).total, 30005);
    EXPECT_EQ(Search({.pattern = L"word_t", .regex = true, .namesOnly = true}).text, dir_ + L"f.txt\n");
    // The folder in the summary is the one given, with or without its slash.
    const std::wstring bare = dir_.substr(0, dir_.size() - 1);
    EXPECT_EQ(Search({.pattern = L"a$", .regex = true}, nullptr, bare).text,
              Out({Hit(1, 4, L"end a"), Hit(30006, 5, L"last a")}, bare));
}

TEST_F(FindInFiles, TheFilterAdmitsItsTypesAndNamesWithoutExtensionAndStarDotStarAdmitsAll) {
    for (const wchar_t* name : {L"a.TXT", L"README", L"a.log", L"b.cpp"}) Write(name, "one needle\n");
    Recorder rec;
    Result r = Search({.pattern = L"needle", .fileTypes = L"*.txt"}, &rec);
    EXPECT_EQ(SortedHits(r.text),
              (Lines{Hit(1, 4, L"one needle", L"README"), Hit(1, 4, L"one needle", L"a.TXT")}));
    EXPECT_EQ(r.total, 2);
    EXPECT_EQ(r.stats.files, 2);
    EXPECT_EQ(rec.files.size(), 4u);  // progress names every file, searched or not
    const std::pair<const wchar_t*, int> filters[] = {{L"*.log;*.*;*.h", 4}, {L"", 4}, {L"*.cpp;*.log", 3}};
    for (auto [types, count] : filters)
        EXPECT_EQ(Search({.pattern = L"needle", .fileTypes = types}).total, count) << types;
}

TEST_F(FindInFiles, FilesInEachEncodingAndNamesOnly) {
    // UTF-16 detected by their marks, keeping their line numbers.
    const std::wstring text = L"first line\r\nthe needle \u00E9\r\n\r\nneedle\n";
    Write(L"le-bom.txt", "\xFF\xFE" + Utf16(text));
    Write(L"be-bom.txt", "\xFE\xFF" + Utf16(L"needle first\n" + text, true));
    EXPECT_EQ(SortedHits(Search({.pattern = L"NEEDLE"}).text),
              (Lines{Hit(1, 0, L"needle first", L"be-bom.txt"),
                     Hit(3, 4, L"the needle \u00E9", L"be-bom.txt"), Hit(5, 0, L"needle", L"be-bom.txt"),
                     Hit(2, 4, L"the needle \u00E9", L"le-bom.txt"), Hit(4, 0, L"needle", L"le-bom.txt")}));
    // Names only: each file with a hit once, no summary; with invert, the
    // files with a line that does not match.
    const std::wstring names = dir_ + L"names\\";
    Tree({L"names\\"}, 0, "");
    Write(L"names\\a.txt", "needle\nneedle\nneedle\n");
    Write(L"names\\b.txt", "nothing\n");
    Write(L"names\\c.txt", "x\nx needle\n");
    Result r = Search({.pattern = L"needle", .namesOnly = true}, nullptr, names);
    EXPECT_EQ(SortedHits(r.text), (Lines{names + L"a.txt", names + L"c.txt"}));
    EXPECT_EQ(Split(r.text).size(), 2u);
    EXPECT_EQ(r.total, 2);
    r = Search({.pattern = L"needle", .invert = true, .namesOnly = true}, nullptr, names);
    EXPECT_EQ(SortedHits(r.text), (Lines{names + L"b.txt", names + L"c.txt"}));
}

TEST_F(FindInFiles, LegacyCodePagesAreDetectedPerFile) {
    const std::wstring corpus = testing_support::TestFolder() + L"grep_corpus\\";
    for (const wchar_t* name : {L"KOI8-R.txt", L"windows-1251.txt", L"Shift_JIS.txt", L"UTF-16LE.txt"})
        ASSERT_TRUE(CopyFileW((corpus + name).c_str(), (dir_ + name).c_str(), FALSE)) << name;
    const std::wstring line3 =
        L"\u0423\u043A\u0430\u0436\u0438\u0442\u0435 \u0446\u0435\u043B\u0435\u0432\u043E\u0439 "
        L"\u043A\u0430\u0442\u0430\u043B\u043E\u0433 \u0438 \u043D\u0430\u0437\u0432\u0430\u043D"
        L"\u0438\u044F \u043F\u0430\u043A\u0435\u0442\u043E\u0432 \u0434\u043B\u044F "
        L"\u0437\u0430\u0433\u0440\u0443\u0437\u043A\u0438";
    // "каталог", typed in upper case: nothing from the others; the same line
    // in both ends differently (CR LF, LF).
    const Result r = Search({.pattern = L"\u041A\u0410\u0422\u0410\u041B\u041E\u0413"});
    Lines hits = SortedHits(r.text);
    const std::wstring koi71 =
        L"\u041A\u0430\u0442\u0430\u043B\u043E\u0433 \u043D\u0435 \u043D\u0430\u0439\u0434\u0435\u043D";
    for (const std::wstring& hit : {Hit(3, 16, line3, L"KOI8-R.txt"), Hit(3, 16, line3, L"windows-1251.txt"),
                                    Hit(71, 0, koi71, L"KOI8-R.txt")})
        EXPECT_NE(std::find(hits.begin(), hits.end(), hit), hits.end()) << testing::PrintToString(hit);
    for (const std::wstring& hit : hits)
        EXPECT_TRUE(hit.find(L"\\KOI8-R.txt>") != std::wstring::npos ||
                    hit.find(L"\\windows-1251.txt>") != std::wstring::npos)
            << hit;
    EXPECT_EQ(r.stats.skipped, 0);
    EXPECT_EQ(r.stats.files, 4);
    // "ロール" in the Japanese text.
    hits = SortedHits(Search({.pattern = L"\u30ED\u30FC\u30EB"}).text);
    ASSERT_GE(hits.size(), 1u);
    EXPECT_EQ(hits[0], Hit(2, 3, L"\u6B63\u3057\u3044\u30ED\u30FC\u30EB\u304C\u5FC5\u8981\u3067\u3059",
                           L"Shift_JIS.txt"));
}

TEST_F(FindInFiles, LinesOfLargeFilesAreCountedAcrossTheWindowsThatArePassedOver) {
    // 17-byte lines: a CR LF straddles the first 1 MiB boundary (1048577 =
    // 17 * 61681); the file is large enough to be mapped rather than read.
    std::string text;
    text.reserve(17 * 200000 + 64);
    for (int i = 1; i <= 200000; ++i) {
        if (i == 61681 || i == 61682 || i == 150000)
            text += "line with needle";
        else if (i == 100000)
            text += "lone CR\rneedle!";
        else
            text += "0123456789abcdef";
        text += i == 100000 ? "\n" : "\r\n";
    }
    text.resize(text.size() - 1);  // a CR alone, then an empty line
    Write(L"big.txt", text + "\rneedle at the end");
    const Lines expected = {
        Hit(61681, 10, L"line with needle", L"big.txt"), Hit(61682, 10, L"line with needle", L"big.txt"),
        Hit(100001, 0, L"needle!", L"big.txt"), Hit(150001, 10, L"line with needle", L"big.txt"),
        Hit(200003, 0, L"needle at the end", L"big.txt")};
    for (int cp : {-1, 1252, 65001})
        EXPECT_EQ(Search({.pattern = L"NEEDLE", .codePage = cp}).text, Out(expected)) << cp;
    // Inverted, every line is looked at: the same numbers.
    const Lines inverted = Split(Search({.pattern = L"NEEDLE", .invert = true, .codePage = 1252}).text);
    ASSERT_EQ(inverted.size(), 200003u - 1u - 5u + 1u);
    EXPECT_EQ(inverted[61679], Hit(61680, 0, L"0123456789abcdef", L"big.txt"));
    EXPECT_EQ(inverted[61680], Hit(61683, 0, L"0123456789abcdef", L"big.txt"));
    EXPECT_EQ(inverted[99997], Hit(100000, 0, L"lone CR", L"big.txt"));
}

TEST_F(FindInFiles, SubfoldersAreWalkedOnlyWhenIncludedAndLinksToFoldersNever) {
    ASSERT_TRUE(CreateDirectoryW((dir_ + L"sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((dir_ + L"sub\\deeper.d").c_str(), nullptr));
    for (const wchar_t* name : {L"top.txt", L"sub\\mid.txt", L"sub\\deeper.d\\deep"}) Write(name, "needle\n");
    EXPECT_EQ(SortedHits(Search({.pattern = L"needle", .fileTypes = L"*.txt"}).text),
              (Lines{Hit(1, 0, L"needle", L"sub\\deeper.d\\deep"), Hit(1, 0, L"needle", L"sub\\mid.txt"),
                     Hit(1, 0, L"needle", L"top.txt")}));
    Recorder rec;
    EXPECT_EQ(Search({.pattern = L"needle", .subfolders = false}, &rec).text,
              Out({Hit(1, 0, L"needle", L"top.txt")}));
    EXPECT_EQ(rec.files, Lines{dir_ + L"top.txt"});
    const std::wstring link = dir_ + L"sub\\up";
    // Where the system has links to folders, one back up is not followed.
    if (CreateSymbolicLinkW(link.c_str(), dir_.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
        GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
        const Result r = Search({.pattern = L"needle"});
        EXPECT_EQ(r.total, 3);
        EXPECT_FALSE(r.stats.stopped);
    }
}

TEST_F(FindInFiles, EmptyFilesAreSkippedSilentlyAndLockedOnesAreCounted) {
    Write(L"empty.txt", "");
    Write(L"locked.txt", "needle\n");
    Write(L"open.txt", "needle\n");
    HANDLE lock = CreateFileW((dir_ + L"locked.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const Result r = Search({.pattern = L"needle"});
    CloseHandle(lock);
    EXPECT_EQ(r.text, Out({Hit(1, 0, L"needle", L"open.txt")}));
    EXPECT_EQ(r.stats.skipped, 1);
    EXPECT_EQ(r.stats.files, 1);
    // Once it is free it is searched.
    EXPECT_EQ(Search({.pattern = L"needle"}).stats.skipped, 0);
    // A code page the platform cannot convert searches nothing.
    const Result none = Search({.pattern = L"needle", .codePage = 12345});
    EXPECT_EQ(none.text, Summary(0));
    EXPECT_EQ(none.stats.skipped, 2);
}

// Stop pressed while the fourth file is searched: the summary has the count so far.
TEST_F(FindInFiles, StopAndExpressionsThatEndTheSearch) {
    Tree({L""}, 10, "needle\nneedle\n");
    Recorder rec;
    rec.stopAfter = 3;
    Result r = Search({.pattern = L"needle"}, &rec);
    EXPECT_EQ(rec.files.size(), 4u);
    EXPECT_TRUE(r.stats.stopped);
    EXPECT_EQ(r.total, 6);
    EXPECT_EQ(Split(r.text).size(), 7u);
    EXPECT_EQ(Split(r.text).back() + L"\n", Summary(6));

    // An expression out of its budget stops the search at once.
    Tree({L"as\\"}, 3, std::string(20000, 'a') + "\n" + std::string(20000, 'a'));
    Recorder once;
    r = Search({.pattern = L"(a*)*b(a*)*", .regex = true}, &once, dir_ + L"as\\");
    EXPECT_TRUE(r.stats.tooComplex);
    EXPECT_FALSE(r.stats.stopped);
    EXPECT_EQ(once.files.size(), 1u);
    EXPECT_EQ(r.text, Summary(0, dir_ + L"as\\"));

    // A refused one searches nothing but still finishes.
    COutputGreper greper([](const std::wstring&) {});
    greper.Configure({.pattern = L"(abc", .regex = true});
    EXPECT_FALSE(greper.Stats().patternError.empty());
    Recorder none;
    r = Search({.pattern = L"(abc", .regex = true}, &none);
    EXPECT_FALSE(r.stats.patternError.empty());
    EXPECT_TRUE(none.files.empty());
    EXPECT_EQ(r.text, Summary(0));
}

TEST_F(FindInFiles, OutputComesInBatchesNotLineByLine) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "needle " + std::to_string(i) + "\n";
    Write(L"f.txt", text);
    const Result r = Search({.pattern = L"needle"});
    EXPECT_EQ(r.total, 1000);
    EXPECT_LE(r.appends, 50);  // 10 batches of 100 and the summary, and a few more on a stalled machine
    EXPECT_EQ(Split(r.text)[999], Hit(1000, 0, L"needle 999"));
}

// A temporary "FT_" file, UTF-16 without a mark, closed by the end of the
// search (the caller may open it at once), deleted with its searcher unless kept.
TEST_F(FindInFiles, TheResultFileIsUtf16WithoutAMarkAndItsSummaryHasTheSeconds) {
    Write(L"f.txt", "x\nneedle \xC3\xA9\n");
    std::wstring path;
    {
        CFileGreper greper;
        ASSERT_TRUE(greper.Created());
        path = greper.Path();
        greper.Configure({.pattern = L"needle", .codePage = 65001});
        EXPECT_EQ(greper.Run(dir_, nullptr), 1);
        greper.Keep();
        HANDLE f =
            CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(f, INVALID_HANDLE_VALUE);
        CloseHandle(f);
    }
    const size_t slash = path.find_last_of(L'\\');
    EXPECT_EQ(path.substr(slash + 1, 3), L"FT_");
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(_wcsicmp(path.substr(0, slash + 1).c_str(), temp), 0);
    const std::string bytes = ReadFileText(path);
    const std::wstring prefix = Hit(2, 0, L"needle \u00E9") + L"\n1 lines were found in " + dir_ + L" (";
    ASSERT_GT(bytes.size(), 2 * prefix.size());
    EXPECT_EQ(bytes.substr(0, 2 * prefix.size()), Utf16(prefix));
    std::wstring rest(bytes.size() / 2 - prefix.size(), L'\0');
    for (size_t i = 0; i < rest.size(); ++i) rest[i] = wchar_t(uint8_t(bytes[2 * (prefix.size() + i)]));
    EXPECT_TRUE(std::regex_match(rest, std::wregex(L"\\d+\\.\\d\\d seconds\\)\n")))
        << std::string(rest.begin(), rest.end());
    DeleteFileW(path.c_str());

    // Names only: the paths, no summary.
    CFileGreper names;
    names.Configure({.pattern = L"needle", .namesOnly = true});
    names.Run(dir_, nullptr);
    EXPECT_EQ(ReadFileText(names.Path()), Utf16(dir_ + L"f.txt\n"));
    DeleteFileW(names.Path().c_str());
    // One nobody took (a search abandoned with the frame, or one that never started).
    {
        CFileGreper greper;
        ASSERT_TRUE(greper.Created());
        path = greper.Path();
        EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Lines searched alone (anchors, invert) each add to the budget: a search
// that starts with little is not stopped part-way by an ordinary pattern.
TEST_F(FindInFiles, ALargeTreeIsNeverTooComplexForAnOrdinaryExpression) {
    std::string text;
    for (int i = 0; i < 400; ++i) text += "a line of ordinary text, number " + std::to_string(i) + "\n";
    Tree({L""}, 5, text);
    for (const wchar_t* pattern : {L"9$", L"(?:number) 1"}) {
        for (bool invert : {false, true}) {
            COutputGreper greper([](const std::wstring&) {});
            greper.SetBudget(2000);
            greper.Configure({.pattern = pattern, .regex = true, .invert = invert});
            EXPECT_GT(greper.Run(dir_, nullptr), 0) << pattern << invert;
            EXPECT_FALSE(greper.Stats().tooComplex) << pattern << invert;
        }
    }
}

// Files of every size the reading treats apart (empty, small, at the read
// limit of 1 MiB and a byte either side, mapped), among files the filter
// leaves out, in folders: whoever reads what first, the hits come file by
// file in walk order, and the progress names every file in that order.
TEST_F(FindInFiles, ResultsComeInWalkOrderWhateverTheSizesAndTheReaders) {
    const size_t kMiB = 1 << 20;
    // Mostly small files, now and then one about the read limit.
    const size_t small[] = {0, 7, 300, 5000, 70000};
    const size_t large[] = {kMiB - 1, kMiB, kMiB + 1, 3 * kMiB / 2};
    std::map<std::wstring, std::wstring> hitsOf;  // each file's hit lines
    int searched = 0;
    size_t hits = 0;
    int n = 0;
    // Folders, their files, and one in how many the filter admits: in "c"
    // runs of small files left out, longer than the reads look ahead.
    const struct {
        std::wstring folder;
        int files, admitEvery;
    } folders[] = {{L"", 60, 3}, {L"a\\", 60, 3}, {L"a\\b\\", 60, 3}, {L"c\\", 400, 50}};
    for (const auto& [folder, files, admitEvery] : folders) {
        if (!folder.empty()) {
            ASSERT_TRUE(CreateDirectoryW((dir_ + folder).c_str(), nullptr));
        }
        for (int i = 0; i < files; ++i, ++n) {
            const bool admitted = i % admitEvery == 0;
            const size_t size = files > 60   ? (admitted ? 5000 : 7)
                                : n % 7 == 6 ? large[(n / 7) % 4]
                                             : small[n % 5];
            const std::wstring name = folder + std::to_wstring(n) + (admitted ? L".txt" : L".log");
            std::string text;
            std::wstring& out = hitsOf[dir_ + name];
            for (int line = 1; text.size() + 30 <= size; ++line) {
                const std::string s = "line " + std::to_string(line) + (line % 3 ? " filler" : " needle");
                text += s + "\n";
                if (line % 3 || !admitted) continue;
                out += Hit(line, int(s.size()) - 6, std::wstring(s.begin(), s.end()), name) + L"\n";
                ++hits;
            }
            if (text.size() < size) text += std::string(size - text.size() - 1, 'x') + "\n";
            Write(name, text);
            searched += admitted && size > 0;
        }
    }
    Lines order;
    WalkOrder(dir_, &order);
    ASSERT_EQ(order.size(), 580u);
    std::wstring expected;
    for (const std::wstring& path : order) expected += hitsOf[path];
    expected += Summary(hits);
    for (int readers : {1, 2, 4}) {
        SCOPED_TRACE(testing::Message() << readers << " readers");
        readers_ = readers;
        Recorder rec;
        const Result r = Search({.pattern = L"needle", .fileTypes = L"*.txt"}, &rec);
        EXPECT_EQ(r.text, expected);
        EXPECT_EQ(rec.files, order);
        EXPECT_EQ(r.stats.files, searched);
        EXPECT_EQ(r.stats.skipped, 0);
    }
}

// Stop while the walk is far ahead of the matching (waiting for room) and
// the readers are busy: the search ends at once with the hits of the files
// searched so far, in walk order.
TEST_F(FindInFiles, StopInTheMiddleOfALargeTreeEndsTheWalkAndTheReads) {
    Tree({L"", L"a\\", L"b\\"}, 100, "needle\nneedle\n");
    Lines order;
    WalkOrder(dir_, &order);
    ASSERT_EQ(order.size(), 300u);
    std::wstring expected;
    for (size_t f = 0; f < 150; ++f)
        expected += L"#<" + order[f] + L">:(1,0):needle\n#<" + order[f] + L">:(2,0):needle\n";
    for (int readers : {1, 4}) {
        SCOPED_TRACE(testing::Message() << readers << " readers");
        readers_ = readers;
        Recorder rec;
        rec.stopAfter = 150;
        const Result r = Search({.pattern = L"needle"}, &rec);
        EXPECT_EQ(rec.files, Lines(order.begin(), order.begin() + 151));
        EXPECT_TRUE(r.stats.stopped);
        EXPECT_EQ(r.text, expected + Summary(300));
    }
}

// Stop among files that are never searched (empty ones) still ends the walk.
TEST_F(FindInFiles, StopAmongFilesNeverSearchedEndsTheWalk) {
    Tree({L""}, 60, "");
    Lines order;
    WalkOrder(dir_, &order);
    Recorder rec;
    rec.stopAfter = 10;
    const Result r = Search({.pattern = L"needle"}, &rec);
    EXPECT_EQ(rec.files, Lines(order.begin(), order.begin() + 11));
    EXPECT_TRUE(r.stats.stopped);
}

// A file deleted after the walk listed it and before it was read is
// reported as searched and counted as skipped, in its place; one that grew
// meanwhile is searched whole. A failure on the walk's thread (out of
// memory) comes out of Run on the caller's, after the files listed before it.
TEST_F(FindInFiles, FilesThatChangeBetweenTheWalkAndTheReadAndFailuresOfTheWalk) {
    Tree({L""}, 40, "needle\n");
    Lines order;
    WalkOrder(dir_, &order);
    ASSERT_EQ(order.size(), 40u);
    const size_t victim = 7;
    const struct {
        CListedGreper::Act act;
        std::wstring hits;  // the victim's
        int skipped;
    } cases[] = {
        {CListedGreper::Act::kDelete, L"", 1},
        {CListedGreper::Act::kGrow,
         L"#<" + order[victim] + L">:(1,0):needle\n#<" + order[victim] + L">:(2,5):more needle\n", 0},
    };
    for (int readers : {1, 4}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << readers << " readers, case #" << (&c - cases));
            readers_ = readers;
            victim_ = order[victim];
            act_ = c.act;
            std::wstring expected;
            for (size_t f = 0; f < order.size(); ++f)
                expected += f == victim ? c.hits : L"#<" + order[f] + L">:(1,0):needle\n";
            Recorder rec;
            const Result r = Search({.pattern = L"needle"}, &rec);
            EXPECT_EQ(r.text,
                      expected + Summary(size_t(std::count(expected.begin(), expected.end(), L'\n'))));
            EXPECT_EQ(rec.files, order);
            EXPECT_EQ(r.stats.skipped, c.skipped);
            EXPECT_EQ(r.stats.files, 40 - c.skipped);
            Write(order[victim].substr(dir_.size()), "needle\n");
        }
        CListedGreper failing([](const std::wstring&) {});
        failing.victim = order[victim];
        failing.act = CListedGreper::Act::kFail;
        failing.SetReaders(readers);
        failing.Configure({.pattern = L"needle"});
        Recorder before;
        EXPECT_THROW(failing.Run(dir_, &before), std::bad_alloc);
        EXPECT_EQ(before.files, Lines(order.begin(), order.begin() + victim));
        EXPECT_EQ(before.finished, 0);
    }
}
