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
std::string Detect(const std::string& s, const char* preferred = "") {
    chardet::CDetector d;
    d.Prefer(preferred);
    d.Feed(reinterpret_cast<const uint8_t*>(s.data()), s.size() / 2);  // in two pieces
    d.Feed(reinterpret_cast<const uint8_t*>(s.data()) + s.size() / 2, s.size() - s.size() / 2);
    d.End();
    return d.Charset();
}
}  // namespace

// In one piece or two, whatever page is preferred: the sample's own name,
// which maps to its code page.
TEST(Chardet, NamesEveryEncodingOfItsSample) {
    for (const EncodedSample& s : kSamples) {
        EXPECT_EQ(chardet::Detect(reinterpret_cast<const uint8_t*>(s.bytes.data()), s.bytes.size()),
                  s.expected);
        EXPECT_EQ(chardet::CodePageOfName(s.expected), s.codePage) << s.expected;
        for (const char* preferred :
             {"", "windows-1251", "windows-1252", "windows-1253", "windows-1255", "KOI8-R"})
            EXPECT_EQ(Detect(s.bytes, preferred), s.expected) << "preferring " << preferred;
    }
}

// A few accented letters fit the Hebrew, Greek and Cyrillic pages about as
// well as the Latin one: the preferred page (the system's) decides, then
// windows-1252; a page that fits clearly better still wins.
TEST(Chardet, ShortTextsTakeThePreferredPageWhenNothingTellsThemApart) {
    const std::string latin1 = "caf\xE9 na\xEFve r\xE9sum\xE9\nsecond line \xA3 5\n";  // 34 bytes
    const std::string da = "\xC4\xE0";  // a Russian word in windows-1251, or two Latin letters
    const std::string privet = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0!";  // windows-1251
    const struct {
        const std::string& bytes;
        const char *preferred, *expected;
    } cases[] = {
        {latin1, "", "windows-1252"},
        {latin1, "windows-1252", "windows-1252"},
        {latin1, "windows-1255", "windows-1252"},
        {latin1, "windows-1251", "windows-1252"},
        {da, "windows-1251", "windows-1251"},
        {da, "windows-1252", "windows-1252"},
        {privet, "windows-1252", "windows-1251"},
        {privet, "", "windows-1251"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Detect(c.bytes, c.preferred), c.expected)
            << "preferring \"" << c.preferred << "\": " << testing::PrintToString(c.bytes);
}

TEST(Chardet, ByteOrderMarksDecideAndAsciiGivesNothing) {
    const std::pair<std::string, const char*> cases[] = {
        {"\xEF\xBB\xBFplain", "UTF-8"},
        {std::string("\xFF\xFE"
                     "a\0",
                     4),
         "UTF-16LE"},
        {std::string("\xFE\xFF\0a", 4), "UTF-16BE"},
        {std::string("\xFF\xFE\0\0a\0\0\0", 8), "UTF-32LE"},
        {std::string("\0\0\xFE\xFF\0\0\0a", 8), "UTF-32BE"},
        {"", ""},
        {"Plain ASCII text, nothing to decide.\r\n", ""},
        {"a~b~c", ""},  // tildes without HZ blocks
    };
    for (const auto& [bytes, name] : cases) EXPECT_EQ(Detect(bytes), name) << testing::PrintToString(bytes);
    EXPECT_EQ(chardet::Detect(nullptr, 10), "");
}

TEST(Chardet, ArbitraryBytesNeverCrash) {
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        std::string s(size_t(rng() % 300), '\0');
        for (char& c : s) c = char(rng() % (round % 3 == 0 ? 256 : 0x30) + (round % 3 == 1 ? 0x80 : 0));
        Detect(s);
    }
}

// A name matches the first entry that begins with it, ignoring case.
TEST(CodePageNames, PrefixesAndCaseAreIgnored) {
    const std::pair<const char*, int> cases[] = {{"utf-8", 65001},
                                                 {"UTF-16", 1200},
                                                 {"X-ISO-10646-UCS-4-2143", 12000},
                                                 {"X-ISO-10646-UCS-4-3412", 12001},
                                                 {"shift_jis", 932},
                                                 {"windows-1252x", 0},
                                                 {"nonsense", 0},
                                                 {"", 0}};  // nothing, not the first entry
    for (const auto& [name, cp] : cases) EXPECT_EQ(chardet::CodePageOfName(name), cp) << name;
}

// Find in files detects on a worker thread while the program opens files:
// detectors on several threads at once, from the very first detection (the
// models' lookup tables are built then), each giving its single-thread answer.
TEST(Chardet, DetectorsOnSeveralThreadsAtOnce) {
    constexpr int kThreads = 8, kRounds = 20;
    const size_t count = std::size(kSamples);
    std::vector<int> wrong(kThreads, 0);
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            --waiting;
            while (waiting > 0) std::this_thread::yield();  // all start together
            for (size_t k = 0; k < kRounds * count; ++k) {
                const EncodedSample& s = kSamples[(k + size_t(t)) % count];
                wrong[size_t(t)] += Detect(s.bytes) != s.expected;
            }
        });
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
}
