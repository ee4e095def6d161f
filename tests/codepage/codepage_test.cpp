// The code pages that a system may refuse (Wine refuses them all), converted
// by our own code: its tables checked cell by cell against the system's, and
// files of real text opened, saved unchanged and saved after an edit by a
// control of this process, driven by its messages, with the bytes compared
// with iconv's (the corpus beside this file, see make_codepage_corpus.py).
// Our conversion is forced on, so that the same runs on Windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "../../app/encoding/FileEncoding.h"
#include "../../edit/text/Encoding.h"
#include "CodePages.h"
#include "FindInFiles.h"
#include "InProcessEdit.h"
#include "TempDir.h"

namespace {

constexpr int kOwnPages[] = {50220, 50221, 50222, 50225, 50227, 51932, 51936, 51949};

std::wstring Decoded(int cp, const std::string& s) {
    const int n = codepage::ToWide(cp, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        EXPECT_EQ(codepage::ToWide(cp, s.data(), int(s.size()), w.data(), n), n);
    }
    return w;
}

bool Encoded(int cp, const std::wstring& w, std::string* out) {
    const int n = codepage::FromWide(cp, w.data(), int(w.size()), nullptr, 0);
    out->assign(size_t(n > 0 ? n : 0), '\0');
    return n > 0 && codepage::FromWide(cp, w.data(), int(w.size()), out->data(), n) == n;
}

std::wstring SystemDecoded(int cp, const std::string& s) {
    wchar_t w[8];
    const int n = MultiByteToWideChar(UINT(cp), MB_ERR_INVALID_CHARS, s.data(), int(s.size()), w, 8);
    return std::wstring(w, size_t(n > 0 ? n : 0));
}

std::wstring FromUtf8(const std::string& s) {
    std::wstring w(s.size(), L'\0');
    w.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), int(w.size()))));
    return w;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> out(1);
    for (wchar_t c : text) c == L'\n' ? out.emplace_back() : out.back() += c;
    return out;
}

std::string Hex(const std::string& s) {
    std::string out;
    char b[4];
    for (unsigned char c : s) out += (snprintf(b, sizeof b, "%02X ", c), b);
    return out;
}

std::string Cell(int a, int b, int c = -1) {
    return c < 0 ? std::string{char(a), char(b)} : std::string{char(a), char(b), char(c)};
}

std::string Corpus(const std::string& file) {
    return ReadBytes(L"codepage_corpus\\" + std::wstring(file.begin(), file.end()));
}

class OwnConversion : public InProcessEdit {
   protected:
    static void SetUpTestSuite() {
        InProcessEdit::SetUpTestSuite();
        for (int cp : kOwnPages) codepage::UseOwnConversionForTesting(cp, true);
    }
    static void TearDownTestSuite() {
        for (int cp : kOwnPages) codepage::UseOwnConversionForTesting(cp, false);
    }
    // Saves in `cp`; false with the error when the save failed.
    bool SaveAs(const std::wstring& path, int cp, int brk, DWORD* error = nullptr) {
        const SaveFormat f = {cp, brk, 0};
        const bool ok = Save(MPM_SAVEFILE, path, &f) == 1;
        if (error) *error = GetLastError();
        return ok;
    }
    void Type(const std::wstring& text) { Insert({INT_MAX, INT_MAX}, text); }

    TempDir dir_{L"CPT"};
};

TEST_F(OwnConversion, TheSystemIsAskedOnceWhetherItConvertsACodePage) {
    for (int cp : kOwnPages) {
        wchar_t w[4];
        EXPECT_TRUE(codepage::HasOwnConversion(cp));
        EXPECT_EQ(codepage::SystemConverts(cp), MultiByteToWideChar(UINT(cp), 0, "a", 1, w, 4) == 1) << cp;
    }
    EXPECT_FALSE(codepage::HasOwnConversion(932));
    EXPECT_FALSE(codepage::HasOwnConversion(50229));
    // Code pages that the system converts go to it unchanged, whatever the
    // text, a default character included.
    std::string bytes;
    ASSERT_TRUE(Encoded(932, L"a\x20AC", &bytes));
    EXPECT_EQ(bytes, "a?");
}

// Our tables against the system's: a JIS X 0208 cell of EUC-JP reads as 932
// reads the same cell's Shift-JIS code point (as Windows' 51932 reads it),
// EUC-CN and EUC-KR as 936 and 949, a cell they lack as two U+FFFD. Every
// character read is written back as the same bytes, except where a table
// holds a character twice (51932: the ten cells of NEC's selection of IBM
// extensions in rows 89-92 that 932 writes in row 2 or 13). Then half-width
// katakana, and JIS X 0212 through 20932's cells.
TEST_F(OwnConversion, EucCellsReadAsTheSystemsTablesAndWriteBack) {
    for (auto [cp, duplicates] : {std::pair{51932, 10}, std::pair{51936, 0}, std::pair{51949, 0}}) {
        int read = 0, same = 0;
        for (int a = 0xA1; a <= 0xFE; ++a) {
            for (int b = 0xA1; b <= 0xFE; ++b) {
                const int j1 = a - 0x80, j2 = b - 0x80;
                const std::string euc = Cell(a, b),
                                  sjis = Cell(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0),
                                              j1 & 1 ? j2 + 0x1F + (j2 >= 0x60) : j2 + 0x7E);
                const std::wstring w = Decoded(cp, euc),
                                   system = cp == 51932 ? SystemDecoded(932, sjis)
                                                        : SystemDecoded(cp == 51936 ? 936 : 949, euc);
                ASSERT_EQ(w, system.empty() ? L"\xFFFD\xFFFD" : system) << cp << " " << Hex(euc);
                if (w.size() != 1) continue;
                ++read;
                std::string back;
                ASSERT_TRUE(Encoded(cp, w, &back)) << cp << " " << Hex(euc);
                same += back == euc;
                EXPECT_EQ(Decoded(cp, back), w) << cp << " " << Hex(euc);  // the same character
            }
        }
        EXPECT_GT(read, 7000) << cp;
        EXPECT_EQ(read - same, duplicates) << cp;
    }
    for (int k = 0xA1; k <= 0xDF; ++k) {
        const std::wstring w = Decoded(51932, Cell(0x8E, k));
        ASSERT_EQ(w, std::wstring(1, wchar_t(0xFF61 + k - 0xA1)));
        std::string back;
        ASSERT_TRUE(Encoded(51932, w, &back));
        EXPECT_EQ(back, Cell(0x8E, k));
    }
    int x0212 = 0;
    for (int a = 0xA1; a <= 0xFE; ++a) {
        for (int b = 0xA1; b <= 0xFE; ++b) {
            const std::wstring w = Decoded(51932, Cell(0x8F, a, b)),
                               jis = SystemDecoded(20932, Cell(a, b - 0x80));
            ASSERT_EQ(w, jis.empty() ? L"\xFFFD\xFFFD" : jis)
                << Hex(Cell(a, b));  // as in ISO-2022-JP: two bytes
            if (jis.empty()) continue;
            ++x0212;
            std::string back;
            ASSERT_TRUE(Encoded(51932, w, &back));
            EXPECT_EQ(Decoded(51932, back), w);
        }
    }
    EXPECT_GT(x0212, 5000);
    std::string out;
    for (int cp : kOwnPages) EXPECT_FALSE(Encoded(cp, L"a\xD83D\xDE00", &out)) << cp;  // no stand-in
}

// Open, save unchanged, edit the third line and save: the text is iconv's,
// and so are the bytes; so is the file saved in another code page, where the
// unread lines are converted in batches of many lines and each line must
// still stand alone. The program's reader (templates, find in files) reads
// the same text.
TEST_F(OwnConversion, RealTextReadsAndSavesAsIconvWritesIt) {
    struct Case {
        const char* name;
        int cp, brk;
        const char* as = nullptr;
        int asCp = 0;
    };
    const Case cases[] = {
        {"euc-jp", 51932, LB_LF, "iso-2022-jp", 50220},
        {"euc-cn", 51936, LB_CRLF, "iso-2022-cn", 50227},
        {"euc-kr", 51949, LB_LF},
        {"iso-2022-jp", 50220, LB_CRLF},
        {"iso-2022-jp", 50221, LB_CRLF},
        {"iso-2022-jp", 50222, LB_CRLF},
        {"iso-2022-kr", 50225, LB_LF, "euc-kr", 51949},
        {"iso-2022-cn", 50227, LB_CRLF},
    };
    const std::wstring path = dir_ / L"file.txt", out = dir_ / L"other.txt";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(c.cp));
        const std::string name = c.name, original = Corpus(name + ".txt");
        ASSERT_GT(original.size(), 2000u);
        std::vector<std::wstring> text = SplitLines(FromUtf8(Corpus(name + ".utf8")));
        WriteBytes(path, original);
        encoding::FileText read;
        ASSERT_TRUE(encoding::ReadWholeFile(path, c.cp, 4096, &read));
        EXPECT_EQ(read.lines, text);
        ASSERT_TRUE(Load(path, c.cp, c.brk));
        EXPECT_EQ(Lines(), text);
        if (c.as) {
            ASSERT_TRUE(SaveAs(out, c.asCp, c.brk));
            const std::string want = Corpus(name + ".as-" + c.as + ".txt");
            ASSERT_GT(want.size(), 2000u);
            EXPECT_EQ(ReadBytes(out), want);
            ASSERT_TRUE(Load(path, c.cp, c.brk));
        }
        ASSERT_TRUE(SaveAs(path, c.cp, c.brk));
        EXPECT_EQ(ReadBytes(path), original);
        text[2] = FromUtf8(Corpus(name + ".edit.utf8"));
        ReplaceLine(2, text[2]);
        ASSERT_TRUE(SaveAs(path, c.cp, c.brk));
        EXPECT_EQ(ReadBytes(path), Corpus(name + ".edited.txt"));
        ASSERT_TRUE(Load(path, c.cp, c.brk));
        EXPECT_EQ(Lines(), text);
    }
}

// A file shows its lines and saves back unchanged as it was; then one line
// is replaced and the file saved again. Empty `saved`: that save fails with
// ERROR_NO_UNICODE_TRANSLATION and leaves the file as it was.
struct LineCase {
    int cp;
    std::string file;
    std::vector<std::wstring> shows;
    int line;
    std::wstring edit;
    std::string saved;
    int brk = LB_CRLF;
};

std::vector<LineCase> LineCases() {
    std::vector<LineCase> cases = {
        // A line that ends shifted, and lines that do not start with a designation.
        {50220,
         "\x1B$B$3$s\nabc\n\x1B$B$3",
         {L"\x3053\x3093", L"abc", L"\x3053"},
         1,
         L"abc\x3053",
         "\x1B$B$3$s\nabc\x1B$B$3\x1B(B\n\x1B$B$3",
         LB_LF},
        // The Korean header alone on the first line.
        {50225,
         "\x1B$)C\r\n\x0EGQ\x0F\r\n",
         {L"", L"\xD55C", L""},
         1,
         L"\xD55C"
         L"a",
         "\x1B$)C\r\n\x1B$)C\x0EGQ\x0F"
         "a\r\n"},
        // Half-width katakana ｱｲｳ: 50220 writes them full-width, one for one.
        {50220,
         "\x1B$B%\"%$%&\x1B(Bx",
         {L"\x30A2\x30A4\x30A6x"},
         0,
         L"\xFF71\xFF72\xFF73x",
         "\x1B$B%\"%$%&\x1B(Bx"},
        {50221, "\x1B(I123\x1B(Bx", {L"\xFF71\xFF72\xFF73x"}, 0, L"\xFF71\xFF72\xFF73x", "\x1B(I123\x1B(Bx"},
        {50222,
         "\x0E"
         "123\x0Fx",
         {L"\xFF71\xFF72\xFF73x"},
         0,
         L"\xFF71\xFF72\xFF73x",
         "\x0E"
         "123\x0Fx"},
        {51932,
         "\x8E\xB1\x8E\xB2\x8E\xB3x",
         {L"\xFF71\xFF72\xFF73x"},
         0,
         L"\xFF71\xFF72\xFF73x",
         "\x8E\xB1\x8E\xB2\x8E\xB3x"},
    };
    // DEL reads and saves as itself in every code page here.
    for (int cp : kOwnPages)
        cases.push_back({cp,
                         "a\x7F"
                         "b",
                         {L"a\x7F"
                          L"b"},
                         0,
                         L"a\x7F"
                         L"bc",
                         "a\x7F"
                         "bc"});
    // Invalid bytes show as U+FFFD, are copied as they are while their line
    // is unchanged, and make a save of their edited line fail; so does a
    // character the code page cannot hold.
    struct Bad {
        int cp;
        std::string bytes;
        std::wstring shows;
    };
    for (const Bad& b : {Bad{51932,
                             "bad\xFF\xA9\xA1"
                             "end",
                             L"bad\xFFFD\xFFFD\xFFFD"
                             L"end"},
                         Bad{51936,
                             "bad\xFF\x81\x7F"
                             "end",
                             L"bad\xFFFD\xFFFD\x7F"
                             L"end"},  // ASCII after a lead stays
                         Bad{51949,
                             "bad\xFF\x81\x7F"
                             "end",
                             L"bad\xFFFD\xFFFD\x7F"
                             L"end"},
                         Bad{50220,
                             "bad\x1B$B$"
                             "\x1B(Bend",
                             L"bad\xFFFD"
                             L"end"},
                         Bad{50225,
                             "bad\x0EG\x0F"
                             "end",
                             L"bad\xFFFD"
                             L"end"},
                         Bad{50227,
                             "bad\x1B$)G\x0E!!\x0F"
                             "end",
                             L"bad\xFFFD\xFFFD"
                             L"end"}}) {
        const std::string file = "first\r\n" + b.bytes + "\r\nlast";
        const std::vector<std::wstring> shows = {L"first", b.shows, L"last"};
        cases.push_back({b.cp, file, shows, 0, L"First", "First\r\n" + b.bytes + "\r\nlast"});
        cases.push_back({b.cp, file, shows, 1, b.shows + L"!", ""});
        cases.push_back({b.cp, file, shows, 2, L"last \xD83D\xDE00", ""});
    }
    return cases;
}

TEST_F(OwnConversion, LinesReadAndSaveBackAsTheyWere) {
    const std::wstring path = dir_ / L"lines.txt";
    for (const LineCase& c : LineCases()) {
        SCOPED_TRACE(::testing::Message() << c.cp << ": " << Hex(c.file) << "line " << c.line);
        WriteBytes(path, c.file);
        ASSERT_TRUE(Load(path, c.cp, c.brk));
        EXPECT_EQ(Lines(), c.shows);
        ASSERT_TRUE(SaveAs(path, c.cp, c.brk));
        EXPECT_EQ(Hex(ReadBytes(path)), Hex(c.file));
        ReplaceLine(c.line, c.edit);
        DWORD error = 0;
        EXPECT_EQ(SaveAs(path, c.cp, c.brk, &error), !c.saved.empty());
        EXPECT_EQ(Hex(ReadBytes(path)), Hex(c.saved.empty() ? c.file : c.saved));
        EXPECT_EQ(error, c.saved.empty() ? DWORD(ERROR_NO_UNICODE_TRANSLATION) : error);
    }
}

// A line never reads as more UTF-16 units than it has bytes: the control
// converts a line into a buffer of its length in bytes (MPM_GETLINES), and
// at most one U+FFFD stands for each byte. Checked over many short lines of
// the bytes that matter to these code pages, and through the control for
// JIS X 0212 cells that have no character.
TEST_F(OwnConversion, NeverMoreUnitsThanBytes) {
    const char alphabet[] =
        "\x1B$()DBCAIG\x0E\x0F\x21\x30\x7E\x7F\x80\x8E\x8F\xA1\xB1\xC7\xFE\xFF"
        "a";
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int cp : kOwnPages) {
        for (int k = 0; k < 3000; ++k) {
            std::string line(1 + next() % 12, '\0');
            for (char& c : line) c = alphabet[next() % (sizeof alphabet - 1)];
            if (k % 3 == 0) line.insert(0, k % 2 ? "\x1B$(D" : "\x1B$)C\x0E");
            ASSERT_LE(Decoded(cp, line).size(), line.size()) << cp << ": " << Hex(line);
        }
    }
    // Row 1 of JIS X 0212 has no characters: two bytes each, two U+FFFD.
    const std::wstring path = dir_ / L"x0212.txt";
    std::string pairs;
    for (char c = '!'; c < '!' + 10; ++c) pairs += std::string{'!', c};
    WriteBytes(path, "a\n\x1B$(D" + pairs + "\x1B(Bz\nb");
    const std::wstring bad = std::wstring(20, L'\xFFFD') + L"z";
    for (int cp : {50220, 50221, 50222}) {
        ASSERT_TRUE(Load(path, cp, LB_LF));
        EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"a", bad, L"b"})) << cp;
        wchar_t buffer[64] = {};
        LinesArg arg = {3, buffer, 64, 0};
        EXPECT_EQ(Send(MPM_GETLINES, 0, reinterpret_cast<LPARAM>(&arg)), 3) << cp;
        EXPECT_EQ(std::wstring(buffer, size_t(arg.units)), L"a\n" + bad + L"\nb\n") << cp;
    }
}

// A conversion that fails (out of memory, a buffer too small) is never
// taken for text: the save that needs it fails and leaves the file as it
// was, the program's reader reports it, and no bytes pass for Latin-1.
TEST_F(OwnConversion, AFailedConversionFailsTheSaveAndTheRead) {
    const std::string euc = "\xA4\xB3\xA4\xF3\n\xA4\xB3";  // こん, こ
    wchar_t small[1] = {};
    EXPECT_LT(encoding::ToUtf16(51932, euc.data(), int(euc.size()), small, 1), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));

    const std::wstring path = dir_ / L"fail.txt", copy = dir_ / L"fail-utf8.txt";
    WriteBytes(path, euc);
    WriteBytes(copy, "old");
    ASSERT_TRUE(Load(path, 51932, LB_LF));
    codepage::FailOwnDecodingForTesting(51932, true);
    DWORD error = 0;
    EXPECT_FALSE(SaveAs(copy, 65001, LB_LF, &error));
    EXPECT_EQ(error, DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(ReadBytes(copy), "old");
    encoding::FileText text;
    EXPECT_FALSE(encoding::ReadWholeFile(path, 51932, 4096, &text));
    bool ok = true;
    EXPECT_EQ(encoding::ToUtf16(reinterpret_cast<const uint8_t*>(euc.data()), euc.size(), 51932, &ok), L"");
    EXPECT_FALSE(ok);
    // An edit of a line that does not convert is refused, not made on its
    // bytes read as Latin-1.
    ReplaceLine(1, L"x");
    codepage::FailOwnDecodingForTesting(51932, false);
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"\x3053\x3093", L"\x3053"}));
    ASSERT_TRUE(SaveAs(copy, 65001, LB_LF));
    EXPECT_EQ(ReadBytes(copy), "\xE3\x81\x93\xE3\x82\x93\n\xE3\x81\x93");
    ASSERT_TRUE(encoding::ReadWholeFile(path, 51932, 4096, &text));
    EXPECT_EQ(text.lines, (std::vector<std::wstring>{L"\x3053\x3093", L"\x3053"}));
}

// A line longer than the pieces a save converts at a time is still written
// with the shortest escape sequences: one designation and one shift for the
// whole line, whether the line was typed or is converted from the file.
TEST_F(OwnConversion, ALongLineIsOneRunOfEscapes) {
    const size_t count = (1 << 20) + 100;
    std::string utf8, kr = "\x1B$)C\x0E", jp = "\x1B$B";
    for (size_t i = 0; i < count; ++i) utf8 += "\xE3\x81\x93", kr += "GQ", jp += "$3";
    const std::wstring path = dir_ / L"long.txt", out = dir_ / L"long-out.txt";
    WriteBytes(path, "");
    ASSERT_TRUE(Load(path, 50225));
    Type(std::wstring(count, L'\xD55C'));
    ASSERT_TRUE(SaveAs(out, 50225, LB_CRLF));
    EXPECT_TRUE(ReadBytes(out) == kr + "\x0F") << ReadBytes(out).size() << " bytes, not " << kr.size() + 1;
    WriteBytes(path, utf8 + "\nx");
    ASSERT_TRUE(Load(path, 65001, LB_LF));
    ASSERT_TRUE(SaveAs(out, 50220, LB_LF));
    EXPECT_TRUE(ReadBytes(out) == jp + "\x1B(B\nx")
        << ReadBytes(out).size() << " bytes, not " << jp.size() + 5;
}

// Where the system converts these code pages (Windows), it writes '?' for a
// character the code page cannot hold, and cannot say so: what it wrote is
// read back and compared, and a difference fails as our own conversion
// fails. Wine refuses them, so 932 takes the same checked path here.
TEST_F(OwnConversion, TheSystemsConversionIsCheckedForLoss) {
    std::string out;
    ASSERT_TRUE(Encoded(932, L"a\xD55C", &out));  // unchecked, as any other code page
    EXPECT_EQ(out, "a?");
    codepage::CheckRoundTripForTesting(932, true);
    EXPECT_TRUE(Encoded(932, L"a\x3053?", &out));
    EXPECT_EQ(out, "a\x82\xB1?");
    SetLastError(0);
    EXPECT_FALSE(Encoded(932, L"a\xD55C", &out));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    const std::wstring path = dir_ / L"sys.txt";
    WriteBytes(path, "old");
    ASSERT_TRUE(Load(path, 932));
    Type(L"\xD55C");
    DWORD error = 0;
    EXPECT_FALSE(SaveAs(path, 932, LB_CRLF, &error));
    EXPECT_EQ(error, DWORD(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(ReadBytes(path), "old");
    codepage::CheckRoundTripForTesting(932, false);
}

// Saving copies lines of ASCII bytes without converting them where both
// code pages read ASCII bytes as ASCII: the EUC pages do, the ISO-2022 pages
// do not (ESC, SO and SI shift).
TEST_F(OwnConversion, AsciiCompatibleMeansAsciiReadsAsItself) {
    for (int cp : kOwnPages) {
        bool same = true;
        for (int b = 1; b < 0x80; ++b)
            same = same && Decoded(cp, std::string(1, char(b))) == std::wstring(1, wchar_t(b));
        EXPECT_EQ(encoding::AsciiCompatible(cp), same) << cp;
    }
}

// Find in files searches the files of these code pages, given or detected.
TEST_F(OwnConversion, FindInFilesSearchesThem) {
    WriteBytes(dir_ / L"kr.txt", Corpus("iso-2022-kr.txt"));
    const std::wstring line = SplitLines(FromUtf8(Corpus("iso-2022-kr.utf8")))[4];
    for (int cp : {50225, -1}) {
        std::wstring found;
        GrepUtil::COutputGreper greper([&](const std::wstring& s) { found += s; });
        GrepUtil::GrepOptions o;
        o.pattern = line.substr(0, line.find(L' '));
        o.codePage = cp;
        greper.Configure(o);
        EXPECT_GE(greper.Run(dir_.path + L"\\", nullptr), 1) << cp;
        EXPECT_EQ(greper.Stats().files, 1) << cp;
        EXPECT_EQ(greper.Stats().skipped, 0) << cp;
        EXPECT_NE(found.find(L"kr.txt>:(5,0):" + line), std::wstring::npos) << cp;
    }
}

}  // namespace
