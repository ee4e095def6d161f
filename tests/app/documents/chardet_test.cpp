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
}  // namespace

TEST(Chardet, NamesEveryEncodingOfItsSample) {
    for (const EncodedSample& s : kSamples) EXPECT_EQ(Detect(s.bytes), s.expected) << s.expected;
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
        chardet::Detector d;
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
                        chardet::Detector d;
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
