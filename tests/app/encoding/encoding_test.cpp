// The program's code-page routines, with chardet.dll loaded and called
// through its five exports.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "EncodedSamples.h"
#include "FileEncoding.h"
#include "Settings.h"
#include "TempDir.h"

using namespace encoding;

namespace {

std::wstring HereFile(const wchar_t* name) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

int Detect(const std::string& s) {
    return DetectCodePage(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}
std::wstring ToUtf16(const std::string& s, int cp) {
    return encoding::ToUtf16(reinterpret_cast<const uint8_t*>(s.data()), s.size(), cp);
}

}  // namespace

// The library is found by its path or in the program folder, and freed
// after each detection; without it, or without its five functions, nothing
// is detected.
TEST(Encoding, TheLibraryIsCalledThroughItsFiveFunctions) {
    SetDetectorPath(HereFile(L"chardet.dll"));
    for (const EncodedSample& s : kSamples) EXPECT_EQ(Detect(s.bytes), s.codePage) << s.expected;
    EXPECT_EQ(Detect("plain ascii"), 0);
    EXPECT_EQ(Detect(""), 0);
    EXPECT_EQ(GetModuleHandleW(HereFile(L"chardet.dll").c_str()), nullptr);
    for (const wchar_t* other : {L"no-such-chardet.dll", L"Edit.dll"}) {
        SetDetectorPath(HereFile(other));
        EXPECT_EQ(Detect(kSamples[0].bytes), 0) << testing::PrintToString(std::wstring(other));
    }
    SetDetectorPath(L"");
    settings::SetProgramFolder(L"");
    EXPECT_EQ(Detect(kSamples[0].bytes), 1251);
    TempDir folder(L"PRG");
    settings::SetProgramFolder(folder.path + L"\\");  // a folder without the library
    EXPECT_EQ(Detect(kSamples[0].bytes), 0);
    ASSERT_TRUE(CopyFileW(HereFile(L"chardet.dll").c_str(), (folder / L"chardet.dll").c_str(), FALSE));
    EXPECT_EQ(Detect(kSamples[0].bytes), 1251);
    settings::SetProgramFolder(L"");
    SetDetectorPath(HereFile(L"chardet.dll"));
}

// Two letters say nothing about their page: the library prefers the
// system's ANSI code page, where it has a model for it.
TEST(Encoding, TheLibraryPrefersTheSystemCodePageOnShortTexts) {
    SetDetectorPath(HereFile(L"chardet.dll"));
    const UINT acp = GetACP();
    if (acp != 1251 && acp != 1252) GTEST_SKIP() << "the system code page is " << acp;
    EXPECT_EQ(Detect("\xC4\xE0"), int(acp)) << "\"\u0414\u0430\" in 1251, \"\u00c4\u00e0\" in 1252";
}

// Only a whole mark of the code page itself; in UTF-32 a mark left in would
// be a character of the first line.
TEST(Encoding, ByteOrderMarksAreSkippedOnlyForTheirCodePage) {
    const struct {
        std::string bytes;
        int cp;
        size_t skipped;
    } cases[] = {{"\xFF\xFE\x41", 1200, 2},
                 {"\xFF\xFE\x41", 0, 0},
                 {"\xFF\xFE\x41", 1201, 0},
                 {"\xEF\xBB\xBF"
                  "a",
                  65001, 3},
                 {"\xEF\xBB", 65001, 0},
                 {"\xFE\xFF", 1201, 2},
                 {std::string("\xFF\xFE\0\0\x41\0\0\0", 8), 12000, 4},
                 {std::string("\xFF\xFE\0\0\x41\0\0\0", 8), 12001, 0},
                 {std::string("\0\0\xFE\xFF", 4), 12001, 4},
                 {std::string("\0\0\xFE", 3), 12001, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(SkipByteOrderMark(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), c.cp),
                  c.skipped)
            << c.cp << " " << testing::PrintToString(c.bytes);
}

// UTF-32 units beyond U+10FFFF and the surrogates' own code points are no
// characters: each becomes U+FFFD.
TEST(Encoding, ConversionsToUtf16) {
    const struct {
        std::string bytes;
        int cp;
        std::wstring text;
    } cases[] = {
        {std::string("\x04\x21\0\x41", 4), 1201,
         L"\x0421"
         L"A"},
        {std::string("\x04\x21\0\x41", 4), 1200, L"\x2104\x4100"},
        {std::string("\0\xF6\x01\0\x41\0\0\0", 8), 12000,
         L"\xD83D\xDE00"
         L"A"},
        {std::string("\0\0\x4E\x2D", 4), 12001, L"\x4E2D"},
        {std::string("\0\xD8\0\0\xFF\xDF\0\0\xFF\xD7\0\0\0\0\x11\0\xFF\xFF\x10\0", 20), 12000,
         L"\xFFFD\xFFFD\xD7FF\xFFFD\xDBFF\xDFFF"},
        {std::string("\0\0\xDC\0\0\0\xE0\0", 8), 12001, L"\xFFFD\xE000"},
        {kSamples[0].bytes.substr(0, 4), 1251, L"\x0421\x044A\x0435\x0448"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf16(c.bytes, c.cp), c.text) << c.cp << " " << testing::PrintToString(c.bytes);
    // AutoDetectBuffer's range is 4 to 4096 KiB.
    const std::pair<int, size_t> sizes[] = {{-1, 4096}, {5000, 4096 * 1024}, {4, 100}, {1, 4096}, {0, 4096}};
    for (const auto& [kb, bytes] : sizes) EXPECT_EQ(SampleSize(kb, kb == 4 ? 100 : 100000000), bytes) << kb;
}

TEST(Encoding, WholeFilesAreReadWithDetectionAndLineBreaks) {
    SetDetectorPath(HereFile(L"chardet.dll"));
    TempDir folder(L"ENC");
    // UTF-16BE and UTF-32 with a mark: lines end at CR, LF and CR LF units.
    const std::pair<int, std::string> wide[] = {
        {1201, "\xFE\xFF"}, {12001, std::string("\0\0\xFE\xFF", 4)}, {12000, std::string("\xFF\xFE\0\0", 4)}};
    FileText text;
    for (const auto& [cp, mark] : wide) {
        std::string bytes = mark;
        for (char c : std::string("ab\rcd\r\nef\ngh"))
            bytes += cp == 1201    ? std::string{'\0', c}
                     : cp == 12001 ? std::string(3, '\0') + c
                                   : c + std::string(3, '\0');
        WriteBytes(folder / L"wide.txt", bytes);
        ASSERT_TRUE(ReadWholeFile(folder / L"wide.txt", -1, 4096, &text));
        EXPECT_EQ(text.codePage, cp);
        EXPECT_EQ(text.lines, (std::vector<std::wstring>{L"ab", L"cd", L"ef", L"gh"})) << cp;
    }
    WriteBytes(folder / L"koi8.txt", kSamples[1].bytes + "\nsecond");
    WriteBytes(folder / L"empty.txt", "");
    ASSERT_TRUE(ReadWholeFile(folder / L"koi8.txt", -1, 4096, &text));
    EXPECT_EQ(text.codePage, 20866);
    EXPECT_EQ(text.lines.size(), 2u);
    EXPECT_EQ(text.lines[0].substr(0, 5), L"\x0421\x044A\x0435\x0448\x044C");
    // A given code page is used as it is.
    ASSERT_TRUE(ReadWholeFile(folder / L"koi8.txt", 1251, 4096, &text));
    EXPECT_EQ(text.codePage, 1251);
    EXPECT_FALSE(ReadWholeFile(folder / L"empty.txt", -1, 4096, &text));
    EXPECT_FALSE(ReadWholeFile(L"Z:\\no\\such\\file.txt", -1, 4096, &text));
}

// Find in files detects on a worker thread while the program opens files:
// on several threads at once, the program's detection while one thread
// switches the library between two spellings of its path and the default,
// and chardet.dll's exports called directly, each thread keeping a few
// detectors open so that the handle table grows and shrinks under the
// others; every answer is checked.
TEST(Encoding, DetectionRunsOnSeveralThreadsAtOnce) {
    const std::wstring plain = HereFile(L"chardet.dll"), dotted = HereFile(L".\\.\\.\\.\\.\\.\\chardet.dll");
    HMODULE lib = LoadLibraryW(plain.c_str());
    ASSERT_NE(lib, nullptr);
    auto get = [lib](const char* name) { return reinterpret_cast<void*>(GetProcAddress(lib, name)); };
    const auto create = reinterpret_cast<int(__cdecl*)(uint32_t*)>(get("chardet_create"));
    const auto destroy = reinterpret_cast<int(__cdecl*)(uint32_t)>(get("chardet_destroy"));
    const auto feed =
        reinterpret_cast<int(__cdecl*)(uint32_t, const char*, unsigned)>(get("chardet_handle_data"));
    const auto end = reinterpret_cast<int(__cdecl*)(uint32_t)>(get("chardet_data_end"));
    const auto charset =
        reinterpret_cast<int(__cdecl*)(uint32_t, char*, unsigned)>(get("chardet_get_charset"));
    ASSERT_TRUE(create && destroy && feed && end && charset);
    constexpr int kThreads = 9, kOpen = 4;
    const size_t count = std::size(kSamples);
    std::vector<int> wrong(kThreads, 0);  // wrong answers and failed calls
    std::atomic<int> waiting{kThreads}, running{kThreads - 1};
    auto body = [&](int t) {
        if (t == 0) {  // the switcher
            for (int k = 0; running > 0; ++k) SetDetectorPath(k % 3 == 0 ? plain : k % 3 == 1 ? dotted : L"");
            return;
        }
        for (size_t round = 0; round < (t < 5 ? 15 * count : 400); ++round) {
            const EncodedSample* s[kOpen];
            for (int k = 0; k < kOpen; ++k) s[k] = &kSamples[(size_t(t) + round + size_t(k)) % count];
            if (t < 5) {  // the program's detection
                wrong[t] += Detect(s[0]->bytes) != s[0]->codePage;
                continue;
            }
            uint32_t handles[kOpen] = {};
            for (int k = 0; k < kOpen; ++k) wrong[t] += create(&handles[k]) != 0;
            for (int k = 0; k < kOpen; ++k)
                wrong[t] += feed(handles[k], s[k]->bytes.data(), unsigned(s[k]->bytes.size())) != 0;
            for (int k = 0; k < kOpen; ++k) {
                char name[32] = {};
                wrong[t] += (end(handles[k]) != 0) + (charset(handles[k], name, sizeof name) != 0);
                wrong[t] += std::string(name) != s[k]->expected;
            }
            for (int k = 0; k < kOpen; ++k) wrong[t] += destroy(handles[k]) != 0;
        }
        --running;
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            --waiting;
            while (waiting > 0) std::this_thread::yield();  // all start together
            body(t);
        });
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
    FreeLibrary(lib);
    SetDetectorPath(plain);
}
