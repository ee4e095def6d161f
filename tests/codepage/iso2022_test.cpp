// The ISO-2022 transcoders on their own, natively: escape-sequence edge
// cases as a table, and the real-language lines of the round-trip corpus
// against iconv, line by line as the edit control converts them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Iso2022.h"

using codepage::Iso2022;

namespace {

std::string Decode(Iso2022 f, const std::string& s) {
    std::string out;
    codepage::DecodeIso2022(f, reinterpret_cast<const uint8_t*>(s.data()), s.size(), out);
    return out;
}

bool Encode(Iso2022 f, const std::string& euc, std::string* out) {
    out->clear();
    return codepage::EncodeIso2022(f, reinterpret_cast<const uint8_t*>(euc.data()), euc.size(), *out);
}

const std::string X(1, char(codepage::kInvalidEucByte));  // what an undecodable byte leaves

// Which forms a case is for.
enum Forms { kJp = 1, kJpEsc = 2, kJpSo = 4, kKr = 8, kCn = 16, kJapanese = kJp | kJpEsc | kJpSo, kAll = 31 };
// Both ways: `euc` is written as `iso`, and `iso` reads as `euc`; or one way only.
enum Way { kBoth, kWrites, kReads };
struct Case {
    int forms;
    Way way;
    std::string euc, iso;
};

// こ is A4B3 (JIS 2433), ん A4F3, 한 C7D1, 中 D6D0, 丂 of JIS X 0212 8FB0A1,
// half-width ｱ and ｶ 8EB1 and 8EB6.
const Case kCases[] = {
    // The shortest sequences; a line that ends shifted is closed before its
    // break, and the next line starts over in ASCII.
    {kJapanese, kBoth,
     "a\xA4\xB3\xA4\xF3"
     "b",
     "a\x1B$B$3$s\x1B(B"
     "b"},
    {kJapanese, kBoth, "\xA4\xB3\r\n\xA4\xB3\n", "\x1B$B$3\x1B(B\r\n\x1B$B$3\x1B(B\n"},
    {kJapanese, kReads, "\xA4\xB3\r\n$3", "\x1B$B$3\r\n$3"},
    {kJapanese, kReads, "\xA4\xB3\n\xA4\xB3", "\x1B$B$3\n\x1B$B$3"},
    // Older and longer designations of the same sets; ESC ( J as ASCII.
    {kJapanese, kReads, "\xA4\xB3x\xA4\xB3", "\x1B$@$3\x1B(Jx\x1B&@\x1B$B$3"},
    {kJapanese, kReads, "\xA4\xB3", "\x1B$(B$3"},
    {kJapanese, kReads, "\xA4\xB3", "\x1B$(@$3"},
    {kJapanese, kReads, "\x8F\xB0\xA1", "\x1B$(D0!\x1B(B"},
    {kJapanese, kBoth, "\x8F\xB0\xA1\xA4\xB3", "\x1B$(D0!\x1B$B$3\x1B(B"},
    // Half-width katakana by form: 50220 full-width (ア カ), 50221 by ESC ( I,
    // 50222 by SO/SI, closed before a break; SO inside JIS X 0208 returns there.
    {kJp, kWrites, "\x8E\xB1\x8E\xB6\xA4\xB3x", "\x1B$B%\"%+$3\x1B(Bx"},
    {kJpEsc, kBoth, "\x8E\xB1\x8E\xB6\xA4\xB3x", "\x1B(I16\x1B$B$3\x1B(Bx"},
    {kJpSo, kBoth, "\x8E\xB1\x8E\xB6\xA4\xB3x",
     "\x0E"
     "16\x0F\x1B$B$3\x1B(Bx"},
    {kJpEsc, kBoth, "x\x8E\xB1\n", "x\x1B(I1\x1B(B\n"},
    {kJpSo, kBoth, "x\x8E\xB1\n",
     "x\x0E"
     "1\x0F\n"},
    {kJpSo, kBoth, "\xA4\xB3\x8E\xB1\xA4\xB3",
     "\x1B$B$3\x0E"
     "1\x0F$3\x1B(B"},
    // The first and the last of them (U+FF61, U+FF9F).
    {kJpEsc, kBoth, "\x8E\xA1\x8E\xDF", "\x1B(I!_\x1B(B"},
    {kJpSo, kBoth, "\x8E\xA1\x8E\xDF", "\x0E!_\x0F"},
    // Every Japanese form reads every way of writing them, 8-bit kana too;
    // the shift ends with the line.
    {kJapanese, kReads, "\x8E\xB1\x8E\xB6x", "\x1B(I16\x1B(Bx"},
    {kJapanese, kReads, "\x8E\xB1\x8E\xB6x",
     "\x0E"
     "16\x0Fx"},
    {kJapanese, kReads, "\x8E\xB1x", "\xB1x"},
    {kJapanese, kReads, "\x8E\xB1\nx",
     "\x0E"
     "1\nx"},
    // Korean: the header once before the first SO of every line that needs it.
    {kKr, kBoth, "(\xC7\xD1)\nab\n\xC7\xD1 \xC7\xD1",
     "(\x1B$)C\x0EGQ\x0F)\nab\n\x1B$)C\x0EGQ\x0F \x0EGQ\x0F"},
    // The header alone on the first line, as mail writes it; later lines
    // shift without one. Japanese escapes mean nothing here.
    {kKr, kReads,
     "\n\xC7\xD1"
     "a\r\n\xC7\xD1",
     "\x1B$)C\n\x0EGQ\x0F"
     "a\r\n\x0EGQ"},
    {kKr, kReads, "", "\x1B$)C"},
    {kKr, kReads, X + "$Ba",
     "\x1B$B"
     "a"},
    // Chinese: the designation before the first shift of each line; CNS 11643
    // is designated but not converted: its bytes stay visible.
    {kCn, kBoth, "(\xD6\xD0)\nab\n\xD6\xD0", "(\x1B$)A\x0EVP\x0F)\nab\n\x1B$)A\x0EVP\x0F"},
    {kCn, kReads, X + X + "a",
     "\x1B$)G\x0E!!\x0F"
     "a"},
    {kCn, kReads, "ab", "\x1B$*Ha\x1B$)Eb"},
    // Invalid bytes leave a trace.
    {kJp, kReads, "a" + X + "$Xb", "a\x1B$Xb"},
    {kJp, kReads, X, "\x1B$B$"},  // half a character
    {kJp, kReads, X + X, "\x80\xFF"},
    {kJp, kReads, X, "\x1B(I~"},  // not a katakana
    {kJp, kReads, X, "\x1B"},
    {kKr, kReads, X,
     "\x0E"
     "G\x0F"},
    {kCn, kReads, X + X, "\xD6\xD0"},  // 8-bit bytes
    // DEL is a control like the others: written as it is and read back as
    // itself in every state, shifted or not.
    {kAll, kBoth,
     "a\x7F"
     "b",
     "a\x7F"
     "b"},
    {kAll, kReads, "\x7F", "\x0E\x7F\x0F"},
    {kJapanese, kReads, "\x7F", "\x1B$B\x7F\x1B(B"},
    {kJapanese, kReads, "\x7F", "\x1B(I\x7F\x1B(B"},
    {kJapanese, kReads, "\x7F", "\x1B$(D\x7F\x1B(B"},
    {kJapanese, kBoth, "\xA4\xB3\x7F", "\x1B$B$3\x1B(B\x7F"},
    {kAll, kBoth, "", ""},
};

TEST(Iso2022, EscapeSequencesBothWays) {
    const Iso2022 forms[] = {Iso2022::Jp, Iso2022::JpKanaEsc, Iso2022::JpKanaSo, Iso2022::Kr, Iso2022::Cn};
    for (const Case& c : kCases) {
        for (int k = 0; k < 5; ++k) {
            if (!(c.forms & (1 << k))) continue;
            SCOPED_TRACE(::testing::Message() << "form " << k << ": " << ::testing::PrintToString(c.iso));
            std::string out;
            if (c.way != kReads) {
                EXPECT_TRUE(Encode(forms[k], c.euc, &out));
                EXPECT_EQ(out, c.iso);
            }
            if (c.way != kWrites) {
                EXPECT_EQ(Decode(forms[k], c.iso), c.euc);
            }
        }
    }
    // All 63 half-width forms have a full-width one in 50220, and it reads
    // back as JIS X 0208.
    for (int k = 0xA1; k <= 0xDF; ++k) {
        std::string iso;
        ASSERT_TRUE(Encode(Iso2022::Jp, std::string{char(0x8E), char(k)}, &iso)) << k;
        ASSERT_EQ(iso.size(), 8u) << k;
        const std::string back = Decode(Iso2022::Jp, iso);
        ASSERT_EQ(back.size(), 2u);
        EXPECT_TRUE(uint8_t(back[0]) >= 0xA1 && uint8_t(back[1]) >= 0xA1) << k;
    }
}

TEST(Iso2022, WhatAFormCannotWriteFails) {
    const std::pair<Iso2022, std::string> cases[] = {
        {Iso2022::Jp, "\xA4"},      // half a character
        {Iso2022::Kr, "\x8E\xB1"},  // katakana in Korean
        {Iso2022::Cn, "\x81\x40"},  // a GBK extension
        {Iso2022::Kr, "\x81\x41"},  // a UHC extension
        {Iso2022::Jp, "a\x1B(Bb"},  // would read as a shift
        {Iso2022::Kr, "a\x0E"},    {Iso2022::Jp, X},
    };
    std::string out;
    for (const auto& [form, euc] : cases)
        EXPECT_FALSE(Encode(form, euc, &out)) << ::testing::PrintToString(euc);
}

TEST(Iso2022, CodePagesAndTheirEucForms) {
    Iso2022 f;
    for (auto [cp, euc] :
         {std::pair{50220, 51932}, {50221, 51932}, {50222, 51932}, {50225, 51949}, {50227, 51936}}) {
        ASSERT_TRUE(codepage::Iso2022Of(cp, &f));
        EXPECT_EQ(codepage::EucCodePageOf(f), euc);
    }
    EXPECT_FALSE(codepage::Iso2022Of(50229, &f));
    EXPECT_FALSE(codepage::Iso2022Of(932, &f));
}

// iconv over one line, or false when it refuses.
bool Iconv(const std::string& from, const std::string& to, const std::string& in, std::string* out) {
    char inName[] = "/tmp/mp_iso2022_XXXXXX";
    const int fd = mkstemp(inName);
    if (fd < 0) return false;
    FILE* f = fdopen(fd, "wb");
    fwrite(in.data(), 1, in.size(), f);
    fclose(f);
    FILE* p = popen(("iconv -f " + from + " -t " + to + " " + inName + " 2>/dev/null").c_str(), "r");
    out->clear();
    char buf[4096];
    for (size_t got; (got = fread(buf, 1, sizeof buf, p)) > 0;) out->append(buf, got);
    const int rc = pclose(p);
    remove(inName);
    return rc == 0;
}

// The lines of a file, without their CR LF or LF.
std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

// Each line of the corpus file in `form`: decoded, it is iconv's EUC form
// of the line; encoded again, it is iconv's ISO-2022 form of that.
TEST(Iso2022, CorpusLinesAgainstIconv) {
    const struct {
        Iso2022 form;
        const char *iso, *euc;
    } files[] = {{Iso2022::Jp, "ISO-2022-JP", "EUC-JP"},
                 {Iso2022::Kr, "ISO-2022-KR", "EUC-KR"},
                 {Iso2022::Cn, "ISO-2022-CN", "EUC-CN"}};
    for (const auto& file : files) {
        const auto lines = Lines(std::string(CORPUS_DIR) + "/" + file.iso + ".txt");
        ASSERT_GT(lines.size(), 10u);
        for (const std::string& line : lines) {
            std::string euc, iso, got;
            ASSERT_TRUE(Iconv(file.iso, file.euc, line, &euc)) << line;
            EXPECT_EQ(Decode(file.form, line), euc) << line;
            ASSERT_TRUE(Iconv(file.euc, file.iso, euc, &iso));
            ASSERT_TRUE(Encode(file.form, euc, &got)) << line;
            // iconv heads all its Korean output with the designation; here it
            // comes just before the first SO of a line, and not at all in a line
            // without Korean.
            if (file.form == Iso2022::Kr && iso.rfind("\x1B$)C", 0) == 0) {
                iso.erase(0, 4);
                if (iso.find('\x0E') != std::string::npos) iso.insert(iso.find('\x0E'), "\x1B$)C");
            }
            EXPECT_EQ(got, iso) << line;
        }
    }
}

}  // namespace
