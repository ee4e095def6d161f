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
#include <set>
#include <string>
#include <vector>

#include "CodePages.h"
#include "EditProtocol.h"
#include "EditWindow.h"
#include "../../app/encoding/FileEncoding.h"
#include "../../edit/text/Encoding.h"
#include "FileTestUtil.h"
#include "FindInFiles.h"

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
    out->clear();
    const int n = codepage::FromWide(cp, w.data(), int(w.size()), nullptr, 0);
    if (n <= 0) return false;
    out->resize(size_t(n));
    return codepage::FromWide(cp, w.data(), int(w.size()), out->data(), n) == n;
}

std::wstring SystemDecoded(int cp, const std::string& s, DWORD flags = MB_ERR_INVALID_CHARS) {
    wchar_t w[8];
    const int n = MultiByteToWideChar(UINT(cp), flags, s.data(), int(s.size()), w, 8);
    return std::wstring(w, size_t(n > 0 ? n : 0));
}

std::wstring FromUtf8(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
    return w;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> out(1);
    for (wchar_t c : text) {
        if (c == L'\n')
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

std::string Hex(const std::string& s) {
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        snprintf(b, sizeof b, "%02X ", c);
        out += b;
    }
    return out;
}

std::string Cell(int a, int b, int c = -1) {
    std::string s{char(a), char(b)};
    if (c >= 0) s += char(c);
    return s;
}

class OwnConversion : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterEditClass(GetModuleHandleW(nullptr));
        for (int cp : kOwnPages) codepage::UseOwnConversionForTesting(cp, true);
    }
    static void TearDownTestSuite() {
        for (int cp : kOwnPages) codepage::UseOwnConversionForTesting(cp, false);
    }
    void SetUp() override {
        edit_ = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(edit_, nullptr);
    }
    void TearDown() override { DestroyWindow(edit_); }

    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(edit_, msg, wp, lp); }
    bool Load(const std::wstring& path, int cp, int brk = LB_CRLF) {
        return Send(MPM_LOADFILE, reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(cp, brk)) == 1;
    }
    // Saves in `cp`; false with the error when the save failed.
    bool Save(const std::wstring& path, int cp, int brk, DWORD* error = nullptr) {
        SaveFormat f = {cp, brk, 0};
        SetLastError(0);
        const bool ok = Send(MPM_SAVEFILE, reinterpret_cast<WPARAM>(path.c_str()), reinterpret_cast<LPARAM>(&f)) == 1;
        if (error) *error = GetLastError();
        return ok;
    }
    std::vector<std::wstring> Lines() {
        std::vector<std::wstring> out;
        const int count = int(Send(MPM_GETLINECOUNT));
        for (int i = 0; i < count; ++i) {
            std::wstring s(size_t(Send(MPM_GETLINE, WPARAM(i), 0)), L'\0');
            Send(MPM_GETLINE, WPARAM(i), reinterpret_cast<LPARAM>(s.data()));
            out.push_back(s);
        }
        return out;
    }
    void ReplaceLine(int line, const std::wstring& text) {
        Position a = {line, 0}, b = {line, int(Send(MPM_GETLINE, WPARAM(line), 0))};
        Send(MPM_DELETERANGE, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        TextArg t = {text.c_str(), int(text.size())};
        Send(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&t));
    }
    void Type(const std::wstring& text) {
        Position end = {INT_MAX, INT_MAX};
        TextArg t = {text.c_str(), int(text.size())};
        Send(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&end), reinterpret_cast<LPARAM>(&t));
    }

    HWND edit_ = nullptr;
    TempDir dir_{L"CPT"};
};

TEST_F(OwnConversion, TheSystemIsAskedOnceWhetherItConvertsACodePage) {
    std::string refused;
    for (int cp : kOwnPages) {
        EXPECT_TRUE(codepage::HasOwnConversion(cp));
        wchar_t w[4];
        const bool system = MultiByteToWideChar(UINT(cp), 0, "a", 1, w, 4) == 1;
        EXPECT_EQ(codepage::SystemConverts(cp), system) << cp;
        if (!system) refused += std::to_string(cp) + " ";
    }
    EXPECT_FALSE(codepage::HasOwnConversion(932));
    EXPECT_FALSE(codepage::HasOwnConversion(50229));
    printf("[ INFO     ] code pages the system refuses: %s\n", refused.c_str());
    // Code pages that the system converts go to it unchanged, whatever the
    // text, a default character included.
    std::string bytes;
    ASSERT_TRUE(Encoded(932, L"a\x20AC", &bytes));
    EXPECT_EQ(bytes, "a?");
}

// JIS X 0208 in EUC-JP is what 932 holds at the same cell's Shift-JIS code
// point (as Windows' 51932 reads it); 20932 differs in six cells of rows 1
// and 2 and has rows 89-92 as private use.
TEST_F(OwnConversion, EucJpCellsAgainstTheSystemTables) {
    int cells = 0, with932 = 0, privateIn20932 = 0;
    std::string differ20932;
    for (int a = 0xA1; a <= 0xFE; ++a) {
        for (int b = 0xA1; b <= 0xFE; ++b) {
            const std::string euc = Cell(a, b);
            const int j1 = a - 0x80, j2 = b - 0x80;
            const std::string sjis = Cell(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0),
                                          j1 & 1 ? j2 + 0x1F + (j2 >= 0x60) : j2 + 0x7E);
            const std::wstring ours = Decoded(51932, euc);
            const std::wstring ms = SystemDecoded(932, sjis);
            const std::wstring jis = SystemDecoded(20932, euc);
            if (ms.empty()) {
                EXPECT_EQ(ours, L"\xFFFD\xFFFD") << Hex(euc);
                continue;
            }
            ++with932;
            ASSERT_EQ(ours, ms) << Hex(euc);
            if (jis.empty()) continue;
            ++cells;
            if (jis == ms) continue;
            if (a >= 0xF9 && a <= 0xFC) {
                // Rows 89-92: NEC's selection of IBM's kanji in 932, private
                // use in 20932.
                EXPECT_TRUE(jis[0] >= 0xE000 && jis[0] <= 0xF8FF) << Hex(euc);
                ++privateIn20932;
                continue;
            }
            char buf[16];
            snprintf(buf, sizeof buf, "%02X%02X ", a, b);
            differ20932 += buf;
        }
    }
    printf("[ INFO     ] %d JIS X 0208 cells in 932, %d also in 20932; 20932 differs at %sand has %d cells of "
           "rows 89-92 as private use\n",
           with932, cells, differ20932.c_str(), privateIn20932);
    // The mappings known to differ between the JIS and the Microsoft tables:
    // wave dash, double vertical line, minus, cent, pound, not sign.
    EXPECT_EQ(differ20932, "A1C1 A1C2 A1DD A1F1 A1F2 A2CC ");
    EXPECT_GE(cells, 6800);
}

// Every character our conversion reads is written back as the same bytes,
// except where a table holds a character twice (the rows of NEC's
// selection of IBM extensions, counted here).
TEST_F(OwnConversion, EveryCharacterReadIsWrittenBackAsItWasRead) {
    struct Page {
        int cp;
        int duplicates;
    };
    // 51932: the ten cells of rows 89-92 that 932 writes in row 2 or 13.
    for (Page page : {Page{51932, 10}, Page{51936, 0}, Page{51949, 0}}) {
        int read = 0, same = 0;
        for (int a = 0xA1; a <= 0xFE; ++a) {
            for (int b = 0xA1; b <= 0xFE; ++b) {
                const std::string euc = Cell(a, b);
                const std::wstring w = Decoded(page.cp, euc);
                if (w.size() != 1) continue;
                ++read;
                std::string back;
                ASSERT_TRUE(Encoded(page.cp, w, &back)) << page.cp << " " << Hex(euc);
                if (back == euc) ++same;
                // Whatever was written reads as the same character.
                EXPECT_EQ(Decoded(page.cp, back), w) << page.cp << " " << Hex(euc);
            }
        }
        printf("[ INFO     ] %d: %d double-byte characters read, %d written to other bytes\n", page.cp, read,
               read - same);
        EXPECT_GT(read, 7000) << page.cp;
        EXPECT_EQ(read - same, page.duplicates) << page.cp;
    }
    // Half-width katakana and JIS X 0212 (through 20932's cells).
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
            const std::wstring w = Decoded(51932, Cell(0x8F, a, b));
            const std::wstring jis = SystemDecoded(20932, Cell(a, b - 0x80));
            if (jis.empty()) {
                EXPECT_EQ(w, L"\xFFFD\xFFFD");  // as in ISO-2022-JP, two bytes there
                continue;
            }
            ++x0212;
            ASSERT_EQ(w, jis) << Hex(Cell(a, b));
            std::string back;
            ASSERT_TRUE(Encoded(51932, w, &back));
            EXPECT_EQ(Decoded(51932, back), w);
        }
    }
    printf("[ INFO     ] JIS X 0212: %d cells\n", x0212);
    EXPECT_GT(x0212, 5000);
}

struct CorpusCase {
    const char* name;
    int cp;
    int brk;
};

std::string Corpus(const std::string& file) {
    return ReadBytes(L"codepage_corpus\\" + std::wstring(file.begin(), file.end()));
}

// Open, save unchanged, edit the third line and save: the text is iconv's,
// and so are the bytes.
TEST_F(OwnConversion, RealTextOpensAndSavesBackByteForByte) {
    const CorpusCase cases[] = {
        {"euc-jp", 51932, LB_LF},       {"euc-cn", 51936, LB_CRLF},      {"euc-kr", 51949, LB_LF},
        {"iso-2022-jp", 50220, LB_CRLF}, {"iso-2022-jp", 50221, LB_CRLF}, {"iso-2022-jp", 50222, LB_CRLF},
        {"iso-2022-kr", 50225, LB_LF},  {"iso-2022-cn", 50227, LB_CRLF},
    };
    for (const CorpusCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(c.cp));
        const std::string original = Corpus(std::string(c.name) + ".txt");
        ASSERT_GT(original.size(), 2000u);
        const std::vector<std::wstring> text = SplitLines(FromUtf8(Corpus(std::string(c.name) + ".utf8")));
        const std::wstring path = dir_ / L"file.txt";
        WriteBytes(path, original);
        ASSERT_TRUE(Load(path, c.cp, c.brk));
        EXPECT_EQ(Lines(), text);

        ASSERT_TRUE(Save(path, c.cp, c.brk));
        EXPECT_EQ(ReadBytes(path), original);

        ReplaceLine(2, FromUtf8(Corpus(std::string(c.name) + ".edit.utf8")));
        ASSERT_TRUE(Save(path, c.cp, c.brk));
        const std::string edited = Corpus(std::string(c.name) + ".edited.txt");
        EXPECT_EQ(ReadBytes(path), edited);

        // Read again, the edited file has the edited text.
        ASSERT_TRUE(Load(path, c.cp, c.brk));
        std::vector<std::wstring> want = text;
        want[2] = FromUtf8(Corpus(std::string(c.name) + ".edit.utf8"));
        EXPECT_EQ(Lines(), want);
    }
}

// Saving in another code page converts the unread lines in batches of many
// lines: each line must still stand alone.
TEST_F(OwnConversion, SavingInAnotherCodePageConvertsEveryLineOnItsOwn) {
    struct Case {
        const char* from;
        int fromCp;
        const char* to;
        int toCp;
        int brk;
    };
    for (const Case& c : {Case{"euc-jp", 51932, "iso-2022-jp", 50220, LB_LF},
                          Case{"euc-cn", 51936, "iso-2022-cn", 50227, LB_CRLF},
                          Case{"iso-2022-kr", 50225, "euc-kr", 51949, LB_LF}}) {
        SCOPED_TRACE(std::string(c.from) + " as " + c.to);
        const std::wstring path = dir_ / L"from.txt", out = dir_ / L"to.txt";
        WriteBytes(path, Corpus(std::string(c.from) + ".txt"));
        ASSERT_TRUE(Load(path, c.fromCp, c.brk));
        ASSERT_TRUE(Save(out, c.toCp, c.brk));
        const std::string want = Corpus(std::string(c.from) + ".as-" + c.to + ".txt");
        ASSERT_GT(want.size(), 2000u);
        EXPECT_EQ(ReadBytes(out), want);
    }
}

// A line that ends shifted, and lines that do not start with a designation.
TEST_F(OwnConversion, EscapeSequencesAtLineEnds) {
    const std::wstring path = dir_ / L"jis.txt";
    const std::string file = "\x1B$B$3$s\nabc\n\x1B$B$3";
    for (int cp : {50220, 50221, 50222}) {
        WriteBytes(path, file);
        ASSERT_TRUE(Load(path, cp, LB_LF));
        EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"\x3053\x3093", L"abc", L"\x3053"}));
        ASSERT_TRUE(Save(path, cp, LB_LF));
        EXPECT_EQ(ReadBytes(path), file);
        ReplaceLine(1, L"abc\x3053");
        ASSERT_TRUE(Save(path, cp, LB_LF));
        EXPECT_EQ(ReadBytes(path), "\x1B$B$3$s\nabc\x1B$B$3\x1B(B\n\x1B$B$3") << cp;
    }
    // The Korean header alone on the first line.
    const std::string kr = "\x1B$)C\r\n\x0EGQ\x0F\r\n";
    WriteBytes(path, kr);
    ASSERT_TRUE(Load(path, 50225, LB_CRLF));
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"", L"\xD55C", L""}));
    ASSERT_TRUE(Save(path, 50225, LB_CRLF));
    EXPECT_EQ(ReadBytes(path), kr);
    ReplaceLine(1, L"\xD55C" L"a");
    ASSERT_TRUE(Save(path, 50225, LB_CRLF));
    EXPECT_EQ(ReadBytes(path), "\x1B$)C\r\n\x1B$)C\x0EGQ\x0F" "a\r\n");
}

TEST_F(OwnConversion, HalfWidthKatakanaByCodePage) {
    const std::wstring path = dir_ / L"kana.txt";
    const std::wstring kana = L"\xFF71\xFF72\xFF73x";  // ｱｲｳx
    struct Case {
        int cp;
        const char* bytes;
        const wchar_t* reads;
    };
    for (const Case& c : {Case{50220, "\x1B$B%\"%$%&\x1B(Bx", L"\x30A2\x30A4\x30A6x"},
                          Case{50221, "\x1B(I123\x1B(Bx", L"\xFF71\xFF72\xFF73x"},
                          Case{50222, "\x0E" "123\x0Fx", L"\xFF71\xFF72\xFF73x"},
                          Case{51932, "\x8E\xB1\x8E\xB2\x8E\xB3x", L"\xFF71\xFF72\xFF73x"}}) {
        WriteBytes(path, "");
        ASSERT_TRUE(Load(path, c.cp));
        Type(kana);
        ASSERT_TRUE(Save(path, c.cp, LB_CRLF)) << c.cp;
        EXPECT_EQ(Hex(ReadBytes(path)), Hex(c.bytes)) << c.cp;
        ASSERT_TRUE(Load(path, c.cp));
        EXPECT_EQ(Lines(), std::vector<std::wstring>{c.reads}) << c.cp;
    }
}

// Invalid bytes show as U+FFFD, are copied as they are while their line is
// unchanged, and make a save of their edited line fail; so does a character
// the code page cannot hold.
TEST_F(OwnConversion, WhatCannotBeConvertedIsNeverLost) {
    const std::wstring path = dir_ / L"bad.txt";
    struct Case {
        int cp;
        std::string bad;  // a line with bytes that do not decode
        std::wstring shows;
    };
    for (const Case& c : {Case{51932, "bad\xFF\xA9\xA1" "end", L"bad\xFFFD\xFFFD\xFFFD" L"end"},
                          Case{51936, "bad\xFF" "end", L"bad\xFFFD" L"end"},
                          Case{51949, "bad\xFF" "end", L"bad\xFFFD" L"end"},
                          Case{50220, "bad\x1B$B$" "\x1B(Bend", L"bad\xFFFD" L"end"},
                          Case{50225, "bad\x0EG\x0F" "end", L"bad\xFFFD" L"end"},
                          Case{50227, "bad\x1B$)G\x0E!!\x0F" "end", L"bad\xFFFD\xFFFD" L"end"}}) {
        SCOPED_TRACE(c.cp);
        const std::string file = "first\r\n" + c.bad + "\r\nlast";
        WriteBytes(path, file);
        ASSERT_TRUE(Load(path, c.cp));
        EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"first", c.shows, L"last"}));
        ReplaceLine(0, L"First");
        ASSERT_TRUE(Save(path, c.cp, LB_CRLF));
        EXPECT_EQ(ReadBytes(path), "First\r\n" + c.bad + "\r\nlast");
        ReplaceLine(1, c.shows + L"!");
        DWORD error = 0;
        EXPECT_FALSE(Save(path, c.cp, LB_CRLF, &error));
        EXPECT_EQ(error, DWORD(ERROR_NO_UNICODE_TRANSLATION));
        EXPECT_EQ(ReadBytes(path), "First\r\n" + c.bad + "\r\nlast");
        // A character outside the code page, in a line that was fine.
        ASSERT_TRUE(Load(path, c.cp));
        ReplaceLine(2, L"last \xD83D\xDE00");
        EXPECT_FALSE(Save(path, c.cp, LB_CRLF, &error));
        EXPECT_EQ(error, DWORD(ERROR_NO_UNICODE_TRANSLATION));
        EXPECT_EQ(ReadBytes(path), "First\r\n" + c.bad + "\r\nlast");
    }
}

// DEL, typed or read, saves and reads back as itself in every code page
// here, and its line saves again after an edit.
TEST_F(OwnConversion, DeleteSurvivesASaveAndAReload) {
    const std::wstring path = dir_ / L"del.txt";
    for (int cp : kOwnPages) {
        SCOPED_TRACE(cp);
        WriteBytes(path, "");
        ASSERT_TRUE(Load(path, cp));
        Type(L"a\x7F" L"b");
        ASSERT_TRUE(Save(path, cp, LB_CRLF));
        EXPECT_EQ(ReadBytes(path), "a\x7F" "b");
        ASSERT_TRUE(Load(path, cp));
        EXPECT_EQ(Lines(), std::vector<std::wstring>{L"a\x7F" L"b"});
        Type(L"c");
        EXPECT_TRUE(Save(path, cp, LB_CRLF));
        EXPECT_EQ(ReadBytes(path), "a\x7F" "bc");
    }
}

// A line never reads as more UTF-16 units than it has bytes: the control
// converts a line into a buffer of its length in bytes (MPM_GETLINES), and
// at most one U+FFFD stands for each byte. Checked over many short lines of
// the bytes that matter to these code pages, and through the control for
// JIS X 0212 cells that have no character.
TEST_F(OwnConversion, NeverMoreUnitsThanBytes) {
    const unsigned char alphabet[] = {0x1B, '$', '(', ')', 'D', 'B', 'C', 'A', 'I', 'G', 0x0E, 0x0F, 0x21, 0x30,
                                      0x7E, 0x7F, 0x80, 0x8E, 0x8F, 0xA1, 0xB1, 0xC7, 0xFE, 0xFF, 'a'};
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int cp : kOwnPages) {
        for (int k = 0; k < 3000; ++k) {
            std::string line(1 + next() % 12, '\0');
            for (char& c : line) c = char(alphabet[next() % sizeof alphabet]);
            if (k % 3 == 0) line.insert(0, k % 2 ? "\x1B$(D" : "\x1B$)C\x0E");
            const std::wstring w = Decoded(cp, line);
            ASSERT_LE(w.size(), line.size()) << cp << ": " << Hex(line);
        }
    }
    // Row 1 of JIS X 0212 has no characters: two bytes each, two U+FFFD.
    const std::wstring path = dir_ / L"x0212.txt";
    std::string pairs;
    for (char c = '!'; c < '!' + 10; ++c) pairs += std::string{'!', c};
    WriteBytes(path, "a\n\x1B$(D" + pairs + "\x1B(Bz\nb");
    for (int cp : {50220, 50221, 50222}) {
        SCOPED_TRACE(cp);
        ASSERT_TRUE(Load(path, cp, LB_LF));
        const std::wstring bad = std::wstring(20, L'\xFFFD') + L"z";
        EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"a", bad, L"b"}));
        wchar_t buffer[64] = {};
        LinesArg arg = {3, buffer, 64, 0};
        EXPECT_EQ(Send(MPM_GETLINES, 0, reinterpret_cast<LPARAM>(&arg)), 3);
        EXPECT_EQ(std::wstring(buffer, size_t(arg.units)), L"a\n" + bad + L"\nb\n");
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
    EXPECT_FALSE(Save(copy, 65001, LB_LF, &error));
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
    ASSERT_TRUE(Save(copy, 65001, LB_LF));
    EXPECT_EQ(ReadBytes(copy), "\xE3\x81\x93\xE3\x82\x93\n\xE3\x81\x93");
    ASSERT_TRUE(encoding::ReadWholeFile(path, 51932, 4096, &text));
    EXPECT_EQ(text.lines, (std::vector<std::wstring>{L"\x3053\x3093", L"\x3053"}));
}

// A line longer than the pieces a save converts at a time is still written
// with the shortest escape sequences: one designation and one shift for the
// whole line, whether the line was typed or is converted from the file.
TEST_F(OwnConversion, ALongLineIsOneRunOfEscapes) {
    const size_t count = (1 << 20) + 100;
    const std::wstring ko(count, L'\xD55C'), ja(count, L'\x3053');
    std::string utf8;
    for (size_t i = 0; i < count; ++i) utf8 += "\xE3\x81\x93";
    std::string kr = "\x1B$)C\x0E", jp = "\x1B$B";
    for (size_t i = 0; i < count; ++i) kr += "GQ", jp += "$3";
    kr += "\x0F";
    jp += "\x1B(B";
    const std::wstring path = dir_ / L"long.txt", out = dir_ / L"long-out.txt";
    WriteBytes(path, "");
    ASSERT_TRUE(Load(path, 50225));
    Type(ko);
    ASSERT_TRUE(Save(out, 50225, LB_CRLF));
    EXPECT_TRUE(ReadBytes(out) == kr) << ReadBytes(out).size() << " bytes, not " << kr.size();
    WriteBytes(path, utf8 + "\nx");
    ASSERT_TRUE(Load(path, 65001, LB_LF));
    ASSERT_TRUE(Save(out, 50220, LB_LF));
    EXPECT_TRUE(ReadBytes(out) == jp + "\nx") << ReadBytes(out).size() << " bytes, not " << jp.size() + 2;
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
    EXPECT_FALSE(Save(path, 932, LB_CRLF, &error));
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

// The program's reader (templates, find in files) converts the same way.
TEST_F(OwnConversion, TheProgramReadsTheSameText) {
    const std::wstring path = dir_ / L"read.txt";
    for (const auto& [name, cp] : {std::pair{"iso-2022-kr", 50225}, std::pair{"euc-jp", 51932}}) {
        WriteBytes(path, Corpus(std::string(name) + ".txt"));
        encoding::FileText text;
        ASSERT_TRUE(encoding::ReadWholeFile(path, cp, 4096, &text));
        EXPECT_EQ(text.lines, SplitLines(FromUtf8(Corpus(std::string(name) + ".utf8")))) << name;
    }
}

// Find in files searches the files of these code pages, given or detected.
TEST_F(OwnConversion, FindInFilesSearchesThem) {
    WriteBytes(dir_ / L"kr.txt", Corpus("iso-2022-kr.txt"));
    const std::wstring line = SplitLines(FromUtf8(Corpus("iso-2022-kr.utf8")))[4];
    const std::wstring word = line.substr(0, line.find(L' '));
    for (int cp : {50225, -1}) {
        std::wstring found;
        GrepUtil::COutputGreper greper([&](const std::wstring& s) { found += s; });
        GrepUtil::GrepOptions o;
        o.pattern = word;
        o.codePage = cp;
        greper.Configure(o);
        EXPECT_GE(greper.Run(dir_.path + L"\\", nullptr), 1) << cp;
        EXPECT_EQ(greper.Stats().files, 1) << cp;
        EXPECT_EQ(greper.Stats().skipped, 0) << cp;
        EXPECT_NE(found.find(L"kr.txt>:(5,0):" + line), std::wstring::npos) << cp;
    }
}

}  // namespace
