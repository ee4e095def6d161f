// The ISO-2022 transcoders on their own, natively: escape-sequence edge
// cases by hand, and the real-language lines of the round-trip corpus
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

std::string Encoded(Iso2022 f, const std::string& euc) {
    std::string out;
    EXPECT_TRUE(Encode(f, euc, &out)) << "cannot encode";
    return out;
}

const std::string kInvalid(1, char(codepage::kInvalidEucByte));

TEST(Iso2022, CodePagesAndTheirEucForms) {
    Iso2022 f;
    const int pages[] = {50220, 50221, 50222, 50225, 50227};
    const int euc[] = {51932, 51932, 51932, 51949, 51936};
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(codepage::Iso2022Of(pages[i], &f));
        EXPECT_EQ(codepage::EucCodePageOf(f), euc[i]);
    }
    EXPECT_FALSE(codepage::Iso2022Of(50229, &f));
    EXPECT_FALSE(codepage::Iso2022Of(932, &f));
}

TEST(Iso2022, JapaneseShortestSequencesAndLineEnds) {
    // こん (JIS 2433 2473) between ASCII.
    const std::string euc = "a\xA4\xB3\xA4\xF3" "b";
    for (Iso2022 f : {Iso2022::Jp, Iso2022::JpKanaEsc, Iso2022::JpKanaSo}) {
        EXPECT_EQ(Encoded(f, euc), "a\x1B$B$3$s\x1B(B" "b");
        EXPECT_EQ(Decode(f, "a\x1B$B$3$s\x1B(B" "b"), euc);
        // A line that ends shifted is closed before its break, and the next
        // line starts over in ASCII.
        EXPECT_EQ(Encoded(f, "\xA4\xB3\r\n\xA4\xB3\n"), "\x1B$B$3\x1B(B\r\n\x1B$B$3\x1B(B\n");
        EXPECT_EQ(Decode(f, "\x1B$B$3\r\n$3"), "\xA4\xB3\r\n$3");
        EXPECT_EQ(Decode(f, "\x1B$B$3\n\x1B$B$3"), "\xA4\xB3\n\xA4\xB3");
        // Older and longer designations of the same sets; ESC ( J as ASCII.
        EXPECT_EQ(Decode(f, "\x1B$@$3\x1B(Jx\x1B&@\x1B$B$3"), "\xA4\xB3x\xA4\xB3");
        // JIS X 0212 both ways (丂, 0x3021).
        EXPECT_EQ(Decode(f, "\x1B$(D0!\x1B(B"), "\x8F\xB0\xA1");
        EXPECT_EQ(Encoded(f, "\x8F\xB0\xA1\xA4\xB3"), "\x1B$(D0!\x1B$B$3\x1B(B");
    }
}

TEST(Iso2022, HalfWidthKatakanaByForm) {
    // ｱ and ｶ (8E B1, 8E B6), then こ, then x.
    const std::string euc = "\x8E\xB1\x8E\xB6\xA4\xB3x";
    EXPECT_EQ(Encoded(Iso2022::Jp, euc), "\x1B$B%\"%+$3\x1B(Bx");  // full-width ア カ
    EXPECT_EQ(Encoded(Iso2022::JpKanaEsc, euc), "\x1B(I16\x1B$B$3\x1B(Bx");
    EXPECT_EQ(Encoded(Iso2022::JpKanaSo, euc), "\x0E" "16\x0F\x1B$B$3\x1B(Bx");
    // Kana last in a line: closed before the break.
    EXPECT_EQ(Encoded(Iso2022::JpKanaEsc, "x\x8E\xB1\n"), "x\x1B(I1\x1B(B\n");
    EXPECT_EQ(Encoded(Iso2022::JpKanaSo, "x\x8E\xB1\n"), "x\x0E" "1\x0F\n");
    // SO inside JIS X 0208 returns there after SI.
    EXPECT_EQ(Encoded(Iso2022::JpKanaSo, "\xA4\xB3\x8E\xB1\xA4\xB3"), "\x1B$B$3\x0E" "1\x0F$3\x1B(B");
    // Every Japanese form reads every way of writing them, 8-bit kana too.
    for (Iso2022 f : {Iso2022::Jp, Iso2022::JpKanaEsc, Iso2022::JpKanaSo}) {
        EXPECT_EQ(Decode(f, "\x1B(I16\x1B(Bx"), "\x8E\xB1\x8E\xB6x");
        EXPECT_EQ(Decode(f, "\x0E" "16\x0Fx"), "\x8E\xB1\x8E\xB6x");
        EXPECT_EQ(Decode(f, "\xB1x"), "\x8E\xB1x");
        EXPECT_EQ(Decode(f, "\x0E" "1\nx"), "\x8E\xB1\nx");  // the shift ends with the line
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

TEST(Iso2022, KoreanHeaderOncePerLineThatNeedsIt) {
    const std::string euc = "(\xC7\xD1)\nab\n\xC7\xD1 \xC7\xD1";
    EXPECT_EQ(Encoded(Iso2022::Kr, euc), "(\x1B$)C\x0EGQ\x0F)\nab\n\x1B$)C\x0EGQ\x0F \x0EGQ\x0F");
    EXPECT_EQ(Decode(Iso2022::Kr, "(\x1B$)C\x0EGQ\x0F)\nab\n\x1B$)C\x0EGQ\x0F \x0EGQ\x0F"), euc);
    // The header alone on the first line, as mail writes it; later lines
    // shift without one.
    EXPECT_EQ(Decode(Iso2022::Kr, "\x1B$)C\n\x0EGQ\x0F" "a\r\n\x0EGQ"), "\n\xC7\xD1" "a\r\n\xC7\xD1");
    EXPECT_EQ(Decode(Iso2022::Kr, "\x1B$)C"), "");
    // Japanese or Chinese escapes mean nothing here.
    EXPECT_EQ(Decode(Iso2022::Kr, "\x1B$B" "a"), kInvalid + "$Ba");
}

TEST(Iso2022, ChineseDesignationBeforeTheFirstShiftOfEachLine) {
    const std::string euc = "(\xD6\xD0)\nab\n\xD6\xD0";
    EXPECT_EQ(Encoded(Iso2022::Cn, euc), "(\x1B$)A\x0EVP\x0F)\nab\n\x1B$)A\x0EVP\x0F");
    EXPECT_EQ(Decode(Iso2022::Cn, "(\x1B$)A\x0EVP\x0F)\nab\n\x1B$)A\x0EVP\x0F"), euc);
    // CNS 11643 is designated but not converted: its bytes stay visible.
    EXPECT_EQ(Decode(Iso2022::Cn, "\x1B$)G\x0E!!\x0F" "a"), kInvalid + kInvalid + "a");
}

TEST(Iso2022, InvalidBytesLeaveATrace) {
    EXPECT_EQ(Decode(Iso2022::Jp, "a\x1B$Xb"), "a" + kInvalid + "$Xb");
    EXPECT_EQ(Decode(Iso2022::Jp, "\x1B$B$"), kInvalid);  // half a character
    EXPECT_EQ(Decode(Iso2022::Jp, "\x80\xFF"), kInvalid + kInvalid);
    EXPECT_EQ(Decode(Iso2022::Jp, "\x1B(I~"), kInvalid);  // not a katakana
    EXPECT_EQ(Decode(Iso2022::Kr, "\x0E" "G\x0F"), kInvalid);
    EXPECT_EQ(Decode(Iso2022::Cn, "\xD6\xD0"), kInvalid + kInvalid);  // 8-bit bytes
    EXPECT_EQ(Decode(Iso2022::Jp, "\x1B"), kInvalid);
}

// DEL is a control like the others: it is written as it is and read back as
// itself in every state, shifted or not.
TEST(Iso2022, DeleteReadsBackAsItself) {
    for (Iso2022 f : {Iso2022::Jp, Iso2022::JpKanaEsc, Iso2022::JpKanaSo, Iso2022::Kr, Iso2022::Cn}) {
        SCOPED_TRACE(int(f));
        EXPECT_EQ(Encoded(f, "a\x7F" "b"), "a\x7F" "b");
        EXPECT_EQ(Decode(f, "a\x7F" "b"), "a\x7F" "b");
        EXPECT_EQ(Decode(f, "\x0E\x7F\x0F"), "\x7F");
    }
    for (Iso2022 f : {Iso2022::Jp, Iso2022::JpKanaEsc, Iso2022::JpKanaSo}) {
        EXPECT_EQ(Decode(f, "\x1B$B\x7F\x1B(B"), "\x7F");
        EXPECT_EQ(Decode(f, "\x1B(I\x7F\x1B(B"), "\x7F");
        EXPECT_EQ(Decode(f, "\x1B$(D\x7F\x1B(B"), "\x7F");
        EXPECT_EQ(Encoded(f, "\xA4\xB3\x7F"), "\x1B$B$3\x1B(B\x7F");
    }
}

TEST(Iso2022, WhatAFormCannotWriteFails) {
    std::string out;
    EXPECT_FALSE(Encode(Iso2022::Jp, "\xA4", &out));                  // half a character
    EXPECT_FALSE(Encode(Iso2022::Kr, "\x8E\xB1", &out));              // katakana in Korean
    EXPECT_FALSE(Encode(Iso2022::Cn, "\x81\x40", &out));              // a GBK extension
    EXPECT_FALSE(Encode(Iso2022::Kr, "\x81\x41", &out));              // a UHC extension
    EXPECT_FALSE(Encode(Iso2022::Jp, "a\x1B(Bb", &out));              // would read as a shift
    EXPECT_FALSE(Encode(Iso2022::Kr, "a\x0E", &out));
    EXPECT_FALSE(Encode(Iso2022::Jp, kInvalid, &out));
    EXPECT_TRUE(Encode(Iso2022::Jp, "", &out));
    EXPECT_EQ(out, "");
}

// iconv over one line, or false when it refuses.
bool Iconv(const std::string& from, const std::string& to, const std::string& in, std::string* out) {
    char inName[] = "/tmp/mp_iso2022_XXXXXX";
    const int fd = mkstemp(inName);
    if (fd < 0) return false;
    FILE* f = fdopen(fd, "wb");
    fwrite(in.data(), 1, in.size(), f);
    fclose(f);
    const std::string cmd = "iconv -f " + from + " -t " + to + " " + inName + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    out->clear();
    char buf[4096];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, got);
    const int rc = pclose(p);
    remove(inName);
    return rc == 0;
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::vector<std::string> out;
    std::string line;
    for (char c : ss.str()) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) out.push_back(line);
    return out;
}

// Each line of the corpus file in `form`: decoded, it is iconv's EUC form
// of the line; encoded again, it is iconv's ISO-2022 form of that.
void AgainstIconv(Iso2022 form, const char* file, const char* iso, const char* euc) {
    const auto lines = Lines(std::string(CORPUS_DIR) + "/" + file);
    ASSERT_GT(lines.size(), 10u);
    int compared = 0;
    for (const std::string& line : lines) {
        std::string expectEuc, expectIso;
        ASSERT_TRUE(Iconv(iso, euc, line, &expectEuc)) << line;
        EXPECT_EQ(Decode(form, line), expectEuc) << line;
        ASSERT_TRUE(Iconv(euc, iso, expectEuc, &expectIso));
        std::string got;
        ASSERT_TRUE(Encode(form, expectEuc, &got)) << line;
        // iconv heads all its Korean output with the designation; here it
        // comes just before the first SO of a line, and not at all in a line
        // without Korean.
        if (form == Iso2022::Kr && expectIso.rfind("\x1B$)C", 0) == 0) {
            expectIso.erase(0, 4);
            const size_t so = expectIso.find('\x0E');
            if (so != std::string::npos) expectIso.insert(so, "\x1B$)C");
        }
        EXPECT_EQ(got, expectIso) << line;
        ++compared;
    }
    EXPECT_EQ(compared, int(lines.size()));
}

TEST(Iso2022, CorpusLinesAgainstIconv) {
    AgainstIconv(Iso2022::Jp, "ISO-2022-JP.txt", "ISO-2022-JP", "EUC-JP");
    AgainstIconv(Iso2022::Kr, "ISO-2022-KR.txt", "ISO-2022-KR", "EUC-KR");
    AgainstIconv(Iso2022::Cn, "ISO-2022-CN.txt", "ISO-2022-CN", "EUC-CN");
}

}  // namespace
