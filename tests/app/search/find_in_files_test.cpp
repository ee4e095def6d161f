// Find in files over folders of real files written for each case: the filter,
// the result line format and the summaries of both outputs, encodings with
// and without marks, detected legacy code pages, line ends, subfolders,
// files that are empty or locked, Stop, and expressions that are refused or
// run out of their budget.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "FindInFiles.h"
#include "TestSupport.h"

using namespace GrepUtil;
using testing_support::MakeTempFolder;
using testing_support::ReadFileText;
using testing_support::TestFolder;
using testing_support::WriteFileText;

namespace {

// A call-back that records the files reported and can press Stop once a
// number of files has been reported.
struct Recorder : IGrepCallBack {
    std::vector<std::wstring> files;
    int stopAfter = -1;
    int finished = 0;
    int keepGoingCalls = 0;
    void Progress(const wchar_t* path, int) override { files.push_back(path); }
    bool KeepGoing() override {
        ++keepGoingCalls;
        return stopAfter < 0 || int(files.size()) <= stopAfter;
    }
    void Finished() override { ++finished; }
};

GrepOptions Plain(const std::wstring& pattern) {
    GrepOptions o;
    o.pattern = pattern;
    return o;
}

struct Result {
    std::wstring text;  // everything appended, in order
    int appends = 0;
    int total = 0;
    GrepStats stats;
};

Result Search(const std::wstring& folder, const GrepOptions& options, Recorder* recorder = nullptr) {
    Result r;
    COutputGreper greper([&](const std::wstring& s) {
        r.text += s;
        ++r.appends;
    });
    greper.Configure(options);
    Recorder own;
    r.total = greper.Run(folder, recorder ? recorder : &own);
    r.stats = greper.Stats();
    EXPECT_EQ(greper.Total(), r.total);
    EXPECT_EQ((recorder ? recorder : &own)->finished, 1);
    return r;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t lf; (lf = text.find(L'\n', start)) != std::wstring::npos; start = lf + 1)
        lines.push_back(text.substr(start, lf - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// The hit lines without the summary, sorted: the platform's enumeration
// order is not fixed.
std::vector<std::wstring> SortedHits(const std::wstring& text) {
    std::vector<std::wstring> lines = Lines(text);
    if (!lines.empty() && lines.back().find(L" lines were found in ") != std::wstring::npos) lines.pop_back();
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::wstring Hit(const std::wstring& path, int line, int column, const std::wstring& text) {
    return L"#<" + path + L">:(" + std::to_wstring(line) + L"," + std::to_wstring(column) + L"):" + text;
}

std::wstring Summary(int count, const std::wstring& folder) {
    return std::to_wstring(count) + L" lines were found in " + folder + L"\n";
}

std::string Utf16(const std::wstring& s, bool bigEndian) {
    std::string out;
    for (wchar_t c : s) {
        const char lo = char(c & 0xFF), hi = char(c >> 8);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

std::string Utf32(const std::u32string& s, bool bigEndian) {
    std::string out;
    for (char32_t c : s)
        for (int k = 0; k < 4; ++k) out += char(c >> (8 * (bigEndian ? 3 - k : k)));
    return out;
}

}  // namespace

TEST(FindInFilesFilter, ExtensionsMatchIgnoringCaseAndNamesWithoutOneAlwaysPass) {
    EXPECT_TRUE(FilterAdmits(L";*.txt;", L"a.TXT"));
    EXPECT_TRUE(FilterAdmits(L";*.txt;", L"README"));
    EXPECT_FALSE(FilterAdmits(L";*.txt;", L"a.log"));
    EXPECT_FALSE(FilterAdmits(L";*.txt;", L"a.tx"));
    EXPECT_FALSE(FilterAdmits(L";*.txt;", L"a.txt2"));
    EXPECT_TRUE(FilterAdmits(L";*.cpp;*.h;", L"x.H"));
    EXPECT_TRUE(FilterAdmits(L"", L"any.thing"));
    // The last dot decides.
    EXPECT_TRUE(FilterAdmits(L";*.gz;", L"a.tar.gz"));
    EXPECT_FALSE(FilterAdmits(L";*.tar;", L"a.tar.gz"));
}

TEST(FindInFiles, TheFilterAdmitsItsTypesAndNamesWithoutExtensionAndStarDotStarAdmitsAll) {
    const std::wstring dir = MakeTempFolder(L"grep-filter");
    for (const wchar_t* name : {L"a.TXT", L"README", L"a.log", L"b.cpp"})
        ASSERT_TRUE(WriteFileText(dir + name, "one needle\n"));
    GrepOptions o = Plain(L"needle");
    o.fileTypes = L"*.txt";
    Recorder rec;
    Result r = Search(dir, o, &rec);
    EXPECT_EQ(SortedHits(r.text), (std::vector<std::wstring>{Hit(dir + L"README", 1, 4, L"one needle"),
                                                             Hit(dir + L"a.TXT", 1, 4, L"one needle")}));
    EXPECT_EQ(r.total, 2);
    EXPECT_EQ(r.stats.files, 2);
    // Progress names every file, searched or not.
    EXPECT_EQ(rec.files.size(), 4u);

    o.fileTypes = L"*.log;*.*;*.h";
    r = Search(dir, o);
    EXPECT_EQ(r.total, 4);
    o.fileTypes = L"";
    EXPECT_EQ(Search(dir, o).total, 4);
    o.fileTypes = L"*.cpp;*.log";
    EXPECT_EQ(SortedHits(Search(dir, o).text).size(), 3u);  // README, a.log, b.cpp
}

TEST(FindInFiles, HitsAtLineStartsAndEndsAreWrittenWithTheirPositionAndTheWholeLine) {
    const std::wstring dir = MakeTempFolder(L"grep-format");
    ASSERT_TRUE(WriteFileText(dir + L"f.txt", "first\nsecond\nneedle at the start\n\nends with the needle\n"));
    const Result r = Search(dir, Plain(L"needle"));
    EXPECT_EQ(r.text, Hit(dir + L"f.txt", 3, 0, L"needle at the start") + L"\n" +
                          Hit(dir + L"f.txt", 5, 14, L"ends with the needle") + L"\n" + Summary(2, dir));
    // The folder in the summary is the one given, with or without its slash.
    const std::wstring bare = dir.substr(0, dir.size() - 1);
    EXPECT_EQ(Search(bare, Plain(L"needle")).text,
              Hit(dir + L"f.txt", 3, 0, L"needle at the start") + L"\n" +
                  Hit(dir + L"f.txt", 5, 14, L"ends with the needle") + L"\n" + Summary(2, bare));
    // One hit per line: the first match's column.
    ASSERT_TRUE(WriteFileText(dir + L"f.txt", "xx ab ab ab"));
    EXPECT_EQ(Search(dir, Plain(L"ab")).text, Hit(dir + L"f.txt", 1, 3, L"xx ab ab ab") + L"\n" + Summary(1, dir));
}

TEST(FindInFiles, PlainSearchIgnoresCaseAsTheFindDialogDoesAndMatchCaseDoesNot) {
    const std::wstring dir = MakeTempFolder(L"grep-case");
    // UTF-8 with its mark: a Kelvin sign, an A with diaeresis, CJK before a hit.
    ASSERT_TRUE(WriteFileText(dir + L"u.txt",
                              "\xEF\xBB\xBF"
                              "Ma\xE2\x84\xAA"
                              "e\n\xC3\x84pfel\n\xE6\x97\xA5\xE6\x9C\xAC NEEDLE\nneedle\n"));
    GrepOptions o = Plain(L"mAke");
    o.codePage = 65001;
    EXPECT_EQ(SortedHits(Search(dir, o).text), (std::vector<std::wstring>{Hit(dir + L"u.txt", 1, 0, L"Ma\u212Ae")}));
    o.pattern = L"\u00E4PF";
    EXPECT_EQ(SortedHits(Search(dir, o).text), (std::vector<std::wstring>{Hit(dir + L"u.txt", 2, 0, L"\u00C4pfel")}));
    o.pattern = L"Needle";
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"u.txt", 3, 3, L"\u65E5\u672C NEEDLE") + L"\n" +
                                       Hit(dir + L"u.txt", 4, 0, L"needle") + L"\n" + Summary(2, dir));
    o.matchCase = true;
    EXPECT_EQ(Search(dir, o).total, 0);
    o.pattern = L"NEEDLE";
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"u.txt", 3, 3, L"\u65E5\u672C NEEDLE") + L"\n" + Summary(1, dir));
}

TEST(FindInFiles, InvertReportsNonEmptyLinesWithoutTheMatchAtColumnZero) {
    const std::wstring dir = MakeTempFolder(L"grep-invert");
    ASSERT_TRUE(WriteFileText(dir + L"f.txt", "alpha\n\nhas needle\n\r\nbeta gamma\n"));
    GrepOptions o = Plain(L"needle");
    o.invert = true;
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"f.txt", 1, 0, L"alpha") + L"\n" +
                                       Hit(dir + L"f.txt", 5, 0, L"beta gamma") + L"\n" + Summary(2, dir));
    o.regex = true;
    o.pattern = L"a$";
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"f.txt", 3, 0, L"has needle") + L"\n" + Summary(1, dir));
}

TEST(FindInFiles, NamesOnlyWritesEachFileWithAHitOnceAndNoSummary) {
    const std::wstring dir = MakeTempFolder(L"grep-names");
    ASSERT_TRUE(WriteFileText(dir + L"a.txt", "needle\nneedle\nneedle\n"));
    ASSERT_TRUE(WriteFileText(dir + L"b.txt", "nothing\n"));
    ASSERT_TRUE(WriteFileText(dir + L"c.txt", "x\nx needle\n"));
    GrepOptions o = Plain(L"needle");
    o.namesOnly = true;
    Result r = Search(dir, o);
    EXPECT_EQ(SortedHits(r.text), (std::vector<std::wstring>{dir + L"a.txt", dir + L"c.txt"}));
    EXPECT_EQ(Lines(r.text).size(), 2u);
    EXPECT_EQ(r.total, 2);
    // With invert: the files with a line that does not match.
    o.invert = true;
    r = Search(dir, o);
    EXPECT_EQ(SortedHits(r.text), (std::vector<std::wstring>{dir + L"b.txt", dir + L"c.txt"}));
}

TEST(FindInFiles, Utf16And32WithAndWithoutMarksKeepTheirLineNumbers) {
    const std::wstring dir = MakeTempFolder(L"grep-utf16");
    const std::wstring text = L"first line\r\nthe needle \u00E9\r\n\r\nneedle\n";
    ASSERT_TRUE(WriteFileText(dir + L"le-bom.txt", "\xFF\xFE" + Utf16(text, false)));
    ASSERT_TRUE(WriteFileText(dir + L"be-bom.txt", "\xFE\xFF" + Utf16(L"needle first\n" + text, true)));
    const std::wstring expected[] = {
        Hit(dir + L"be-bom.txt", 1, 0, L"needle first"), Hit(dir + L"be-bom.txt", 3, 4, L"the needle \u00E9"),
        Hit(dir + L"be-bom.txt", 5, 0, L"needle"),       Hit(dir + L"le-bom.txt", 2, 4, L"the needle \u00E9"),
        Hit(dir + L"le-bom.txt", 4, 0, L"needle"),
    };
    // Detected by their marks.
    EXPECT_EQ(SortedHits(Search(dir, Plain(L"NEEDLE")).text), std::vector<std::wstring>(expected, expected + 5));

    // Without marks, by the configured code page.
    const std::wstring plain = MakeTempFolder(L"grep-utf16");
    ASSERT_TRUE(WriteFileText(plain + L"le.txt", Utf16(text, false)));
    GrepOptions o = Plain(L"needle");
    o.codePage = 1200;
    EXPECT_EQ(Search(plain, o).text, Hit(plain + L"le.txt", 2, 4, L"the needle \u00E9") + L"\n" +
                                         Hit(plain + L"le.txt", 4, 0, L"needle") + L"\n" + Summary(2, plain));
    ASSERT_TRUE(DeleteFileW((plain + L"le.txt").c_str()));
    ASSERT_TRUE(WriteFileText(plain + L"be.txt", Utf16(text, true)));
    o.codePage = 1201;
    EXPECT_EQ(Search(plain, o).text, Hit(plain + L"be.txt", 2, 4, L"the needle \u00E9") + L"\n" +
                                         Hit(plain + L"be.txt", 4, 0, L"needle") + L"\n" + Summary(2, plain));
    // A mark of the other order is text, not a mark.
    ASSERT_TRUE(WriteFileText(plain + L"be.txt", "\xFF\xFE" + Utf16(L"needle", true)));
    EXPECT_EQ(Search(plain, o).text, Hit(plain + L"be.txt", 1, 1, L"\uFFFEneedle") + L"\n" + Summary(1, plain));
    ASSERT_TRUE(DeleteFileW((plain + L"be.txt").c_str()));

    // UTF-32 both ways, a character above U+FFFF taking two units.
    const std::u32string wide = U"x\r\n\U0001F600 needle\n";
    ASSERT_TRUE(WriteFileText(plain + L"32.txt", Utf32(wide, false)));
    o.codePage = 12000;
    EXPECT_EQ(Search(plain, o).text,
              Hit(plain + L"32.txt", 2, 3, L"\U0001F600 needle") + L"\n" + Summary(1, plain));
    ASSERT_TRUE(WriteFileText(plain + L"32.txt", Utf32(wide, true)));
    o.codePage = 12001;
    EXPECT_EQ(Search(plain, o).text,
              Hit(plain + L"32.txt", 2, 3, L"\U0001F600 needle") + L"\n" + Summary(1, plain));
}

TEST(FindInFiles, Utf8MarkIsSkippedSoAHitAtTheStartHasColumnZero) {
    const std::wstring dir = MakeTempFolder(L"grep-utf8");
    ASSERT_TRUE(WriteFileText(dir + L"f.txt", "\xEF\xBB\xBFneedle \xE2\x82\xAC\n"));
    EXPECT_EQ(Search(dir, Plain(L"needle")).text,
              Hit(dir + L"f.txt", 1, 0, L"needle \u20AC") + L"\n" + Summary(1, dir));
    GrepOptions o = Plain(L"\u20AC");
    o.codePage = 65001;
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"f.txt", 1, 7, L"needle \u20AC") + L"\n" + Summary(1, dir));
}

TEST(FindInFiles, LegacyCodePagesAreDetectedPerFile) {
    const std::wstring dir = MakeTempFolder(L"grep-legacy");
    const std::wstring corpus = TestFolder() + L"grep_corpus\\";
    for (const wchar_t* name : {L"KOI8-R.txt", L"windows-1251.txt", L"Shift_JIS.txt", L"UTF-16LE.txt"})
        ASSERT_TRUE(CopyFileW((corpus + name).c_str(), (dir + name).c_str(), FALSE)) << name;
    const std::wstring line3 = L"\u0423\u043A\u0430\u0436\u0438\u0442\u0435 \u0446\u0435\u043B\u0435\u0432\u043E\u0439 "
                               L"\u043A\u0430\u0442\u0430\u043B\u043E\u0433 \u0438 \u043D\u0430\u0437\u0432\u0430\u043D"
                               L"\u0438\u044F \u043F\u0430\u043A\u0435\u0442\u043E\u0432 \u0434\u043B\u044F "
                               L"\u0437\u0430\u0433\u0440\u0443\u0437\u043A\u0438";
    // "каталог", typed in upper case.
    Result r = Search(dir, Plain(L"\u041A\u0410\u0422\u0410\u041B\u041E\u0413"));
    std::vector<std::wstring> hits = SortedHits(r.text);
    auto has = [&](const std::wstring& hit) { return std::find(hits.begin(), hits.end(), hit) != hits.end(); };
    EXPECT_TRUE(has(Hit(dir + L"KOI8-R.txt", 3, 16, line3)));
    EXPECT_TRUE(has(Hit(dir + L"windows-1251.txt", 3, 16, line3)));
    // Nothing from the others; the same line in both ends differently (CR LF, LF).
    for (const std::wstring& hit : hits)
        EXPECT_TRUE(hit.find(L"\\KOI8-R.txt>") != std::wstring::npos ||
                    hit.find(L"\\windows-1251.txt>") != std::wstring::npos) << hit;
    EXPECT_TRUE(has(Hit(dir + L"KOI8-R.txt", 71, 0, L"\u041A\u0430\u0442\u0430\u043B\u043E\u0433 \u043D\u0435 "
                                                    L"\u043D\u0430\u0439\u0434\u0435\u043D")));
    EXPECT_EQ(r.stats.skipped, 0);
    EXPECT_EQ(r.stats.files, 4);
    // "ロール" in the Japanese text.
    hits = SortedHits(Search(dir, Plain(L"\u30ED\u30FC\u30EB")).text);
    ASSERT_GE(hits.size(), 1u);
    EXPECT_EQ(hits[0], Hit(dir + L"Shift_JIS.txt", 2, 3, L"\u6B63\u3057\u3044\u30ED\u30FC\u30EB\u304C\u5FC5\u8981"
                                                         L"\u3067\u3059"));
}

TEST(FindInFiles, CrOnlyAndMixedLineEndsCountEveryLine) {
    const std::wstring dir = MakeTempFolder(L"grep-ends");
    ASSERT_TRUE(WriteFileText(dir + L"f.txt", "a\rneedle 1\r\nb\nneedle 2\r\rneedle 3\n\n\rneedle 4"));
    EXPECT_EQ(Search(dir, Plain(L"needle")).text,
              Hit(dir + L"f.txt", 2, 0, L"needle 1") + L"\n" + Hit(dir + L"f.txt", 4, 0, L"needle 2") + L"\n" +
                  Hit(dir + L"f.txt", 6, 0, L"needle 3") + L"\n" + Hit(dir + L"f.txt", 9, 0, L"needle 4") + L"\n" +
                  Summary(4, dir));
    ASSERT_TRUE(WriteFileText(dir + L"f.txt", Utf16(L"x\rneedle\r\n\n\rneedle", false)));
    GrepOptions o = Plain(L"needle");
    o.codePage = 1200;
    EXPECT_EQ(SortedHits(Search(dir, o).text),
              (std::vector<std::wstring>{Hit(dir + L"f.txt", 2, 0, L"needle"), Hit(dir + L"f.txt", 5, 0, L"needle")}));
}

TEST(FindInFiles, LinesOfLargeFilesAreCountedAcrossTheWindowsThatArePassedOver) {
    const std::wstring dir = MakeTempFolder(L"grep-large");
    // 17-byte lines: a CR LF straddles the first 1 MiB boundary (1048577 =
    // 17 * 61681); the file is large enough to be mapped rather than read.
    std::string text;
    text.reserve(17 * 200000 + 64);
    for (int i = 1; i <= 200000; ++i) {
        if (i == 61681 || i == 61682 || i == 150000) text += "line with needle";
        else if (i == 100000) text += "lone CR\rneedle!";
        else text += "0123456789abcdef";
        text += i == 100000 ? "\n" : "\r\n";
    }
    text.resize(text.size() - 1);  // a CR alone, then an empty line
    text += "\rneedle at the end";
    ASSERT_TRUE(WriteFileText(dir + L"big.txt", text));
    GrepOptions o = Plain(L"NEEDLE");
    const std::vector<std::wstring> expected = {
        Hit(dir + L"big.txt", 61681, 10, L"line with needle"), Hit(dir + L"big.txt", 61682, 10, L"line with needle"),
        Hit(dir + L"big.txt", 100001, 0, L"needle!"),          Hit(dir + L"big.txt", 150001, 10, L"line with needle"),
        Hit(dir + L"big.txt", 200003, 0, L"needle at the end")};
    for (int cp : {-1, 1252, 65001}) {
        o.codePage = cp;
        const Result r = Search(dir, o);
        std::vector<std::wstring> lines = Lines(r.text);
        lines.pop_back();
        EXPECT_EQ(lines, expected) << cp;
    }
    // Inverted, every line is looked at: the same numbers.
    o.invert = true;
    o.codePage = 1252;
    const std::vector<std::wstring> inverted = Lines(Search(dir, o).text);
    ASSERT_EQ(inverted.size(), 200003u - 1u - 5u + 1u);
    EXPECT_EQ(inverted[61679], Hit(dir + L"big.txt", 61680, 0, L"0123456789abcdef"));
    EXPECT_EQ(inverted[61680], Hit(dir + L"big.txt", 61683, 0, L"0123456789abcdef"));
    EXPECT_EQ(inverted[99997], Hit(dir + L"big.txt", 100000, 0, L"lone CR"));
}

TEST(FindInFiles, SubfoldersAreWalkedOnlyWhenIncluded) {
    const std::wstring dir = MakeTempFolder(L"grep-sub");
    ASSERT_TRUE(CreateDirectoryW((dir + L"sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((dir + L"sub\\deeper.d").c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(dir + L"top.txt", "needle\n"));
    ASSERT_TRUE(WriteFileText(dir + L"sub\\mid.txt", "needle\n"));
    ASSERT_TRUE(WriteFileText(dir + L"sub\\deeper.d\\deep", "needle\n"));
    GrepOptions o = Plain(L"needle");
    o.fileTypes = L"*.txt";
    EXPECT_EQ(SortedHits(Search(dir, o).text),
              (std::vector<std::wstring>{Hit(dir + L"sub\\deeper.d\\deep", 1, 0, L"needle"),
                                         Hit(dir + L"sub\\mid.txt", 1, 0, L"needle"),
                                         Hit(dir + L"top.txt", 1, 0, L"needle")}));
    o.subfolders = false;
    Recorder rec;
    EXPECT_EQ(Search(dir, o, &rec).text, Hit(dir + L"top.txt", 1, 0, L"needle") + L"\n" + Summary(1, dir));
    EXPECT_EQ(rec.files, std::vector<std::wstring>{dir + L"top.txt"});
}

TEST(FindInFiles, EmptyFilesAreSkippedSilentlyAndLockedOnesAreCounted) {
    const std::wstring dir = MakeTempFolder(L"grep-skip");
    ASSERT_TRUE(WriteFileText(dir + L"empty.txt", ""));
    ASSERT_TRUE(WriteFileText(dir + L"locked.txt", "needle\n"));
    ASSERT_TRUE(WriteFileText(dir + L"open.txt", "needle\n"));
    HANDLE lock = CreateFileW((dir + L"locked.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const Result r = Search(dir, Plain(L"needle"));
    CloseHandle(lock);
    EXPECT_EQ(r.text, Hit(dir + L"open.txt", 1, 0, L"needle") + L"\n" + Summary(1, dir));
    EXPECT_EQ(r.stats.skipped, 1);
    EXPECT_EQ(r.stats.files, 1);
    // Once it is free it is searched.
    EXPECT_EQ(Search(dir, Plain(L"needle")).stats.skipped, 0);
    // A code page the platform cannot convert searches nothing.
    GrepOptions o = Plain(L"needle");
    o.codePage = 12345;
    const Result none = Search(dir, o);
    EXPECT_EQ(none.text, Summary(0, dir));
    EXPECT_EQ(none.stats.skipped, 2);
}

TEST(FindInFiles, StopFromTheCallBackEndsTheWalkAndTheSummaryHasTheCountSoFar) {
    const std::wstring dir = MakeTempFolder(L"grep-stop");
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(WriteFileText(dir + L"f" + std::to_wstring(i) + L".txt", "needle\nneedle\n"));
    Recorder rec;
    rec.stopAfter = 3;  // pressed while the fourth file is being searched
    const Result r = Search(dir, Plain(L"needle"), &rec);
    EXPECT_EQ(rec.files.size(), 4u);
    EXPECT_TRUE(r.stats.stopped);
    EXPECT_EQ(r.total, 6);
    EXPECT_EQ(Lines(r.text).size(), 7u);
    EXPECT_EQ(Lines(r.text).back() + L"\n", Summary(6, dir));
}

TEST(FindInFiles, ACatastrophicExpressionStopsTheSearchOnce) {
    const std::wstring dir = MakeTempFolder(L"grep-complex");
    const std::string as(20000, 'a');
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteFileText(dir + L"f" + std::to_wstring(i) + L".txt", as + "\n" + as));
    GrepOptions o = Plain(L"(a*)*b(a*)*");
    o.regex = true;
    Recorder rec;
    const Result r = Search(dir, o, &rec);
    EXPECT_TRUE(r.stats.tooComplex);
    EXPECT_FALSE(r.stats.stopped);
    EXPECT_EQ(rec.files.size(), 1u);
    EXPECT_EQ(r.text, Summary(0, dir));
}

TEST(FindInFiles, ExpressionsMatchWithinOneLineOnlyAndAtTheirFirstColumn) {
    const std::wstring dir = MakeTempFolder(L"grep-expr");
    std::string text = "end a\nb start\n\nx = word_t;\nword\n";
    // Enough lines for several runs of lines searched at once.
    for (int i = 0; i < 30000; ++i) text += i == 20000 ? "tail word_t here\n" : "filler line of text\n";
    text += "last a";
    ASSERT_TRUE(WriteFileText(dir + L"f.txt", text));
    GrepOptions o = Plain(L"a\\s+b");  // would join lines 1 and 2
    o.regex = true;
    EXPECT_EQ(Search(dir, o).text, Summary(0, dir));
    o.pattern = L"[^z]*START";  // from line 1 on, were lines joined
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"f.txt", 2, 0, L"b start") + L"\n" + Summary(1, dir));
    o.pattern = L"\\bword(_t)?\\b";
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"f.txt", 4, 4, L"x = word_t;") + L"\n" +
                                       Hit(dir + L"f.txt", 5, 0, L"word") + L"\n" +
                                       Hit(dir + L"f.txt", 20006, 5, L"tail word_t here") + L"\n" + Summary(3, dir));
    o.pattern = L"\\sa";  // at the ends of the first and the last line
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"f.txt", 1, 3, L"end a") + L"\n" +
                                       Hit(dir + L"f.txt", 30006, 4, L"last a") + L"\n" + Summary(2, dir));
    o.pattern = L"a$";  // anchors: line by line
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"f.txt", 1, 4, L"end a") + L"\n" +
                                       Hit(dir + L"f.txt", 30006, 5, L"last a") + L"\n" + Summary(2, dir));
    o.pattern = L"(?<=x = )w";
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"f.txt", 4, 4, L"x = word_t;") + L"\n" + Summary(1, dir));
    o.pattern = L"q*";  // empty matches: every non-empty line
    EXPECT_EQ(Search(dir, o).total, 30005);
    o.pattern = L"word_t";
    o.namesOnly = true;
    EXPECT_EQ(Search(dir, o).text, dir + L"f.txt\n");
}

TEST(FindInFiles, ARefusedExpressionSearchesNothingButStillFinishes) {
    const std::wstring dir = MakeTempFolder(L"grep-refused");
    ASSERT_TRUE(WriteFileText(dir + L"f.txt", "(abc\n"));
    GrepOptions o = Plain(L"(abc");
    o.regex = true;
    COutputGreper greper([](const std::wstring&) {});
    greper.Configure(o);
    EXPECT_FALSE(greper.Stats().patternError.empty());
    Recorder rec;
    const Result r = Search(dir, o, &rec);
    EXPECT_FALSE(r.stats.patternError.empty());
    EXPECT_TRUE(rec.files.empty());
    EXPECT_EQ(r.text, Summary(0, dir));
    // Plain text of the same is found; expressions find with groups and anchors.
    EXPECT_EQ(Search(dir, Plain(L"(abc")).total, 1);
    o.pattern = L"^\\(A(b)C$";
    EXPECT_EQ(Search(dir, o).text, Hit(dir + L"f.txt", 1, 0, L"(abc") + L"\n" + Summary(1, dir));
    o.matchCase = true;
    EXPECT_EQ(Search(dir, o).total, 0);
}

TEST(FindInFiles, OutputComesInBatchesNotLineByLine) {
    const std::wstring dir = MakeTempFolder(L"grep-batch");
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "needle " + std::to_string(i) + "\n";
    ASSERT_TRUE(WriteFileText(dir + L"f.txt", text));
    const Result r = Search(dir, Plain(L"needle"));
    EXPECT_EQ(r.total, 1000);
    EXPECT_LE(r.appends, 50);  // 10 batches of 100 and the summary, and a few more on a stalled machine
    EXPECT_EQ(Lines(r.text)[999], Hit(dir + L"f.txt", 1000, 0, L"needle 999"));
}

TEST(FindInFiles, TheResultFileIsUtf16WithoutAMarkAndItsSummaryHasTheSeconds) {
    const std::wstring dir = MakeTempFolder(L"grep-file");
    ASSERT_TRUE(WriteFileText(dir + L"f.txt", "x\nneedle \xC3\xA9\n"));
    std::wstring path;
    {
        CFileGreper greper;
        ASSERT_TRUE(greper.Created());
        path = greper.Path();
        GrepOptions o = Plain(L"needle");
        o.codePage = 65001;
        greper.Configure(o);
        EXPECT_EQ(greper.Run(dir, nullptr), 1);
        EXPECT_TRUE(greper.Created());
        greper.Keep();  // handed over, as to a result document
        // Closed by Finish: the caller may open it at once.
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(f, INVALID_HANDLE_VALUE);
        CloseHandle(f);
    }
    const size_t slash = path.find_last_of(L'\\');
    EXPECT_EQ(path.substr(slash + 1, 3), L"FT_");
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(_wcsicmp(path.substr(0, slash + 1).c_str(), temp), 0);
    const std::string bytes = ReadFileText(path);
    ASSERT_EQ(bytes.size() % 2, 0u);
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = wchar_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
    const std::vector<std::wstring> lines = Lines(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], Hit(dir + L"f.txt", 2, 0, L"needle \u00E9"));
    std::wsmatch m;
    const std::wregex summary(L"1 lines were found in (.*) \\((\\d+)\\.(\\d\\d) seconds\\)");
    EXPECT_TRUE(std::regex_match(lines[1], m, summary))
        << lines[1];
    EXPECT_EQ(m[1].str(), dir);
    EXPECT_EQ(text.back(), L'\n');
    DeleteFileW(path.c_str());

    // Names only: the paths, no summary.
    CFileGreper names;
    GrepOptions o = Plain(L"needle");
    o.namesOnly = true;
    names.Configure(o);
    names.Run(dir, nullptr);
    EXPECT_EQ(ReadFileText(names.Path()), Utf16(dir + L"f.txt\n", false));
    DeleteFileW(names.Path().c_str());
}

TEST(FindInFiles, ALargeTreeIsNeverTooComplexForAnOrdinaryExpression) {
    // Lines searched alone (anchors, invert) each add to the budget: a search
    // that starts with little is not stopped part-way by an ordinary pattern.
    const std::wstring dir = MakeTempFolder(L"grep-budget");
    std::string text;
    for (int i = 0; i < 400; ++i) text += "a line of ordinary text, number " + std::to_string(i) + "\n";
    for (int f = 0; f < 5; ++f) ASSERT_TRUE(WriteFileText(dir + L"f" + std::to_wstring(f) + L".txt", text));
    for (const wchar_t* pattern : {L"9$", L"(?:number) 1"}) {
        for (bool invert : {false, true}) {
            GrepOptions o = Plain(pattern);
            o.regex = true;
            o.invert = invert;
            COutputGreper greper([](const std::wstring&) {});
            greper.SetBudget(2000);
            greper.Configure(o);
            const int total = greper.Run(dir, nullptr);
            EXPECT_FALSE(greper.Stats().tooComplex) << pattern << invert;
            EXPECT_GT(total, 0) << pattern << invert;
        }
    }
}

TEST(FindInFiles, LinksToFoldersAreNotFollowed) {
    const std::wstring dir = MakeTempFolder(L"grep-link");
    ASSERT_TRUE(CreateDirectoryW((dir + L"sub").c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(dir + L"sub\\a.txt", "needle\n"));
    const std::wstring link = dir + L"sub\\up";
    if (!CreateSymbolicLinkW(link.c_str(), dir.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
        GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no symbolic links to folders on this system";
    const Result r = Search(dir, Plain(L"needle"));
    EXPECT_EQ(r.total, 1);
    EXPECT_FALSE(r.stats.stopped);
}

TEST(FindInFiles, AResultFileNobodyTookIsDeletedWithItsSearcher) {
    // A search abandoned with the frame, or one that never started.
    std::wstring path;
    {
        CFileGreper greper;
        ASSERT_TRUE(greper.Created());
        path = greper.Path();
        EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}
