// The character-set detector on representative samples and edge cases.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "CodePageNames.h"
#include "Detector.h"
#include "EncodedSamples.h"

namespace {
std::string Detect(const std::string& s) {
    return chardet::Detect(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}
// The bytes for a failure message: ASCII as it is, the rest as \xNN.
std::string Hex(const std::string& s) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}
}  // namespace

TEST(Chardet, NamesEveryEncodingOfItsSample) {
    for (const EncodedSample& s : kSamples) EXPECT_EQ(Detect(s.bytes), s.expected) << s.expected;
}

// A few accented letters fit the Hebrew, Greek and Cyrillic pages about as
// well as the Latin one: the preferred page (the system's) decides, then
// windows-1252; a page that fits clearly better still wins.
TEST(Chardet, ShortTextsTakeThePreferredPageWhenNothingTellsThemApart) {
    const std::string latin1 = "caf\xE9 na\xEFve r\xE9sum\xE9\nsecond line \xA3 5\n";  // 34 bytes
    const std::string da = "\xC4\xE0";  // a Russian word in windows-1251, or two Latin letters
    const std::string privet = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0!";  // windows-1251
    struct Case {
        const std::string* bytes;
        const char* preferred;
        const char* expected;
    } cases[] = {
        {&latin1, "", "windows-1252"},
        {&latin1, "windows-1252", "windows-1252"},
        {&latin1, "windows-1255", "windows-1252"},
        {&latin1, "windows-1251", "windows-1252"},
        {&da, "windows-1251", "windows-1251"},
        {&da, "windows-1252", "windows-1252"},
        {&privet, "windows-1252", "windows-1251"},
        {&privet, "", "windows-1251"},
    };
    for (const Case& c : cases) {
        chardet::CDetector d;
        d.Prefer(c.preferred);
        d.Feed(reinterpret_cast<const uint8_t*>(c.bytes->data()), c.bytes->size());
        d.End();
        EXPECT_EQ(d.Charset(), c.expected) << "preferring \"" << c.preferred << "\": " << Hex(*c.bytes);
    }
    // Longer samples keep their own page whatever is preferred.
    for (const char* preferred : {"windows-1251", "windows-1252", "windows-1253", "windows-1255", "KOI8-R"})
        for (const EncodedSample& s : kSamples)
            EXPECT_EQ(
                chardet::Detect(reinterpret_cast<const uint8_t*>(s.bytes.data()), s.bytes.size(), preferred),
                s.expected)
                << "preferring " << preferred;
}

TEST(Chardet, ByteOrderMarksDecideAtOnce) {
    EXPECT_EQ(Detect("\xEF\xBB\xBFplain"), "UTF-8");
    EXPECT_EQ(Detect(std::string("\xFF\xFE" "a\0", 4)), "UTF-16LE");
    EXPECT_EQ(Detect(std::string("\xFE\xFF\0a", 4)), "UTF-16BE");
    EXPECT_EQ(Detect(std::string("\xFF\xFE\0\0a\0\0\0", 8)), "UTF-32LE");
    EXPECT_EQ(Detect(std::string("\0\0\xFE\xFF\0\0\0a", 8)), "UTF-32BE");
}

TEST(Chardet, AsciiAndUndecidableInputGiveNothing) {
    EXPECT_EQ(Detect(""), "");
    EXPECT_EQ(Detect("Plain ASCII text, nothing to decide.\r\n"), "");
    EXPECT_EQ(Detect("a~b~c"), "");  // tildes without HZ blocks
    EXPECT_EQ(chardet::Detect(nullptr, 10), "");
}

TEST(Chardet, FeedingInPiecesGivesTheSameAnswer) {
    for (const EncodedSample& s : kSamples) {
        chardet::CDetector d;
        const size_t half = s.bytes.size() / 2;
        d.Feed(reinterpret_cast<const uint8_t*>(s.bytes.data()), half);
        d.Feed(reinterpret_cast<const uint8_t*>(s.bytes.data()) + half, s.bytes.size() - half);
        d.End();
        EXPECT_EQ(d.Charset(), Detect(s.bytes)) << s.expected;
    }
}

TEST(Chardet, ArbitraryBytesNeverCrash) {
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        std::string s(size_t(rng() % 300), '\0');
        for (char& c : s) c = char(rng() % (round % 3 == 0 ? 256 : 0x30) + (round % 3 == 1 ? 0x80 : 0));
        Detect(s);
    }
    SUCCEED();
}

TEST(CodePageNames, PrefixesAndCaseAreIgnored) {
    EXPECT_EQ(chardet::CodePageOfName("utf-8"), 65001);
    EXPECT_EQ(chardet::CodePageOfName("UTF-16"), 1200);
    EXPECT_EQ(chardet::CodePageOfName("X-ISO-10646-UCS-4-2143"), 12000);
    EXPECT_EQ(chardet::CodePageOfName("UTF-32LE"), 12000);
    EXPECT_EQ(chardet::CodePageOfName("X-ISO-10646-UCS-4-3412"), 12001);
    EXPECT_EQ(chardet::CodePageOfName("UTF-32BE"), 12001);
    EXPECT_EQ(chardet::CodePageOfName("shift_jis"), 932);
    EXPECT_EQ(chardet::CodePageOfName("GB18030"), 936);
    EXPECT_EQ(chardet::CodePageOfName("windows-1252x"), 0);
    EXPECT_EQ(chardet::CodePageOfName(""), 0);  // an empty name is nothing, not the first entry
}

// Find in files detects on a worker thread while the program opens files:
// detectors on several threads at once, from the very first detection (the
// models' lookup tables are built then), each giving its single-thread answer.
TEST(Chardet, DetectorsOnSeveralThreadsAtOnce) {
    constexpr int kThreads = 8, kRounds = 20;
    const size_t count = std::size(kSamples);
    std::vector<std::vector<std::string>> answers(kThreads);
    std::atomic<int> waiting{kThreads}, threw{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            --waiting;
            while (waiting > 0) std::this_thread::yield();  // all start together
            try {
                for (int round = 0; round < kRounds; ++round)
                    for (size_t i = 0; i < count; ++i) {
                        const EncodedSample& s = kSamples[(i + size_t(t)) % count];
                        chardet::CDetector d;
                        d.Feed(reinterpret_cast<const uint8_t*>(s.bytes.data()), s.bytes.size());
                        d.End();
                        answers[size_t(t)].push_back(d.Charset());
                    }
            } catch (...) {
                ++threw;
            }
        });
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(threw, 0);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(answers[size_t(t)].size(), kRounds * count);
        int wrong = 0;
        for (size_t k = 0; k < answers[size_t(t)].size(); ++k) {
            const std::string expected = kSamples[(k % count + size_t(t)) % count].expected;
            if (answers[size_t(t)][k] != expected && !wrong++)
                ADD_FAILURE() << "thread " << t << ", detection " << k << ": " << answers[size_t(t)][k];
        }
        EXPECT_EQ(wrong, 0) << "thread " << t;
    }
}
