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

using namespace encoding;

namespace {

std::wstring HereFile(const wchar_t* name) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

int Detect(const std::string& s) { return DetectCodePage(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

std::wstring TempFile(const std::string& bytes) {
    wchar_t dir[MAX_PATH], name[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"ENC", 0, name);
    HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    if (!bytes.empty()) WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(h);
    return name;
}

}  // namespace

TEST(Encoding, TheLibraryIsCalledThroughItsFiveFunctions) {
    SetDetectorPath(HereFile(L"chardet.dll"));
    EXPECT_EQ(Detect(kSamples[0].bytes), 1251);  // windows-1251
    for (const EncodedSample& s : kSamples) EXPECT_EQ(Detect(s.bytes), CodePageOfCharset(s.expected)) << s.expected;
    EXPECT_EQ(Detect("plain ascii"), 0);
    EXPECT_EQ(Detect(""), 0);
    // The library is freed after each detection.
    EXPECT_EQ(GetModuleHandleW(HereFile(L"chardet.dll").c_str()), nullptr);
}

// Two letters say nothing about their page: the library prefers the
// system's ANSI code page, where it has a model for it.
TEST(Encoding, TheLibraryPrefersTheSystemCodePageOnShortTexts) {
    SetDetectorPath(HereFile(L"chardet.dll"));
    const UINT acp = GetACP();
    if (acp != 1251 && acp != 1252) GTEST_SKIP() << "the system code page is " << acp;
    EXPECT_EQ(Detect("\xC4\xE0"), int(acp)) << "\"\u0414\u0430\" in 1251, \"\u00c4\u00e0\" in 1252";
}

TEST(Encoding, AMissingOrIncompleteLibraryDetectsNothing) {
    SetDetectorPath(HereFile(L"no-such-chardet.dll"));
    EXPECT_EQ(Detect(kSamples[0].bytes), 0);
    SetDetectorPath(HereFile(L"Edit.dll"));  // a library without the five functions
    EXPECT_EQ(Detect(kSamples[0].bytes), 0);
    SetDetectorPath(HereFile(L"chardet.dll"));
}

// Without a path of its own the detector is the program folder's chardet.dll.
TEST(Encoding, TheDefaultLibraryIsTheProgramFolders) {
    const std::string& sample = kSamples[0].bytes;
    SetDetectorPath(L"");
    settings::SetProgramFolder(L"");
    EXPECT_EQ(Detect(sample), 1251);
    wchar_t dir[MAX_PATH], name[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"PRG", 0, name);
    DeleteFileW(name);
    CreateDirectoryW(name, nullptr);
    settings::SetProgramFolder(name);  // a folder without the library
    EXPECT_EQ(Detect(sample), 0);
    ASSERT_TRUE(CopyFileW(HereFile(L"chardet.dll").c_str(), (std::wstring(name) + L"\\chardet.dll").c_str(), FALSE));
    EXPECT_EQ(Detect(sample), 1251);
    settings::SetProgramFolder(L"");
    DeleteFileW((std::wstring(name) + L"\\chardet.dll").c_str());
    RemoveDirectoryW(name);
    SetDetectorPath(HereFile(L"chardet.dll"));
}

TEST(Encoding, NamesMapByPrefixIgnoringCase) {
    EXPECT_EQ(CodePageOfCharset("utf-8"), 65001);
    EXPECT_EQ(CodePageOfCharset("UTF-16"), 1200);
    EXPECT_EQ(CodePageOfCharset("X-ISO-10646-UCS-4-2143"), 12000);
    EXPECT_EQ(CodePageOfCharset("UTF-32LE"), 12000);
    EXPECT_EQ(CodePageOfCharset("X-ISO-10646-UCS-4-3412"), 12001);
    EXPECT_EQ(CodePageOfCharset("UTF-32BE"), 12001);
    EXPECT_EQ(CodePageOfCharset("koi8-r"), 20866);
    EXPECT_EQ(CodePageOfCharset("nonsense"), 0);
}

TEST(Encoding, ByteOrderMarksAreSkippedOnlyForTheirCodePage) {
    const uint8_t le[] = {0xFF, 0xFE, 0x41, 0x00};
    EXPECT_EQ(SkipByteOrderMark(le, 4, 1200), 2u);
    EXPECT_EQ(SkipByteOrderMark(le, 4, 0), 0u);
    EXPECT_EQ(SkipByteOrderMark(le, 4, 1201), 0u);
    const uint8_t u8[] = {0xEF, 0xBB, 0xBF, 'a'};
    EXPECT_EQ(SkipByteOrderMark(u8, 4, 65001), 3u);
    EXPECT_EQ(SkipByteOrderMark(u8, 2, 65001), 0u);  // only a whole mark
    const uint8_t be[] = {0xFE, 0xFF};
    EXPECT_EQ(SkipByteOrderMark(be, 2, 1201), 2u);
    // UTF-32: a mark left in would be a character of the first line.
    const uint8_t le32[] = {0xFF, 0xFE, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00};
    EXPECT_EQ(SkipByteOrderMark(le32, 8, 12000), 4u);
    EXPECT_EQ(SkipByteOrderMark(le32, 8, 12001), 0u);
    const uint8_t be32[] = {0x00, 0x00, 0xFE, 0xFF};
    EXPECT_EQ(SkipByteOrderMark(be32, 4, 12001), 4u);
    EXPECT_EQ(SkipByteOrderMark(be32, 3, 12001), 0u);
}

TEST(Encoding, ConversionsToUtf16) {
    const uint8_t be[] = {0x04, 0x21, 0x00, 0x41};
    EXPECT_EQ(ToUtf16(be, 4, 1201), L"\x0421" L"A");
    EXPECT_EQ(ToUtf16(be, 4, 1200), L"\x2104\x4100");
    const uint8_t u32[] = {0x00, 0xF6, 0x01, 0x00, 0x41, 0x00, 0x00, 0x00};
    EXPECT_EQ(ToUtf16(u32, 8, 12000), L"\xD83D\xDE00" L"A");
    const uint8_t u32be[] = {0x00, 0x00, 0x4E, 0x2D};
    EXPECT_EQ(ToUtf16(u32be, 4, 12001), L"\x4E2D");
    const std::string& cyr = kSamples[0].bytes;
    EXPECT_EQ(ToUtf16(reinterpret_cast<const uint8_t*>(cyr.data()), 4, 1251), L"\x0421\x044A\x0435\x0448");
    EXPECT_EQ(SampleSize(-1, 100000), 4096u);
    EXPECT_EQ(SampleSize(5000, 100000000), 4096u * 1024);
    EXPECT_EQ(SampleSize(4, 100), 100u);
    EXPECT_EQ(SampleSize(1, 100000), 4096u);  // AutoDetectBuffer's range is 4 to 4096
    EXPECT_EQ(SampleSize(0, 100000), 4096u);
}

TEST(Encoding, WholeFilesAreReadWithDetectionAndLineBreaks) {
    SetDetectorPath(HereFile(L"chardet.dll"));
    // UTF-16BE with a mark: lines end at CR, LF and CR LF units.
    std::string be = "\xFE\xFF";
    for (char c : std::string("ab\rcd\r\nef\ngh")) be += std::string{'\0', c};
    const std::wstring f1 = TempFile(be);
    FileText text;
    ASSERT_TRUE(ReadWholeFile(f1, -1, 4096, &text));
    EXPECT_EQ(text.codePage, 1201);
    ASSERT_EQ(text.lines.size(), 4u);
    EXPECT_EQ(text.lines[0], L"ab");
    EXPECT_EQ(text.lines[3], L"gh");
    // A given code page is used as it is.
    const std::wstring f2 = TempFile(kSamples[1].bytes + "\nsecond");  // KOI8-R
    ASSERT_TRUE(ReadWholeFile(f2, -1, 4096, &text));
    EXPECT_EQ(text.codePage, 20866);
    EXPECT_EQ(text.lines.size(), 2u);
    EXPECT_EQ(text.lines[0].substr(0, 5), L"\x0421\x044A\x0435\x0448\x044C");
    ASSERT_TRUE(ReadWholeFile(f2, 1251, 4096, &text));
    EXPECT_EQ(text.codePage, 1251);
    const std::wstring empty = TempFile("");
    EXPECT_FALSE(ReadWholeFile(empty, -1, 4096, &text));
    EXPECT_FALSE(ReadWholeFile(L"Z:\\no\\such\\file.txt", -1, 4096, &text));
    for (const auto& f : {f1, f2, empty}) DeleteFileW(f.c_str());
}

// Find in files detects on a worker thread while the program opens files:
// chardet.dll's exports, and the program's detection, on several threads at
// once. Each thread keeps a few detectors open so that the handle table
// grows and shrinks under the others; every answer is checked.
namespace {
using CreateFn = int(__cdecl*)(uint32_t*);
using HandleFn = int(__cdecl*)(uint32_t);
using DataFn = int(__cdecl*)(uint32_t, const char*, unsigned int);
using CharsetFn = int(__cdecl*)(uint32_t, char*, unsigned int);
template <typename F>
F Export(HMODULE lib, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}
constexpr int kThreads = 8;
const size_t kCount = std::size(kSamples);

// Runs body(t) on kThreads threads that all start together; nothing thrown
// leaves a thread.
template <typename Body>
void OnThreadsAtOnce(Body body) {
    std::atomic<int> waiting{kThreads}, threw{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            --waiting;
            while (waiting > 0) std::this_thread::yield();
            try {
                body(t);
            } catch (...) {
                ++threw;
            }
        });
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(threw, 0);
}
}  // namespace

TEST(Encoding, TheLibrarysExportsServeSeveralThreadsAtOnce) {
    HMODULE lib = LoadLibraryW(HereFile(L"chardet.dll").c_str());
    ASSERT_NE(lib, nullptr);
    const auto create = Export<CreateFn>(lib, "chardet_create");
    const auto destroy = Export<HandleFn>(lib, "chardet_destroy");
    const auto feed = Export<DataFn>(lib, "chardet_handle_data");
    const auto end = Export<HandleFn>(lib, "chardet_data_end");
    const auto charset = Export<CharsetFn>(lib, "chardet_get_charset");
    ASSERT_TRUE(create && destroy && feed && end && charset);
    constexpr int kRounds = 400, kOpen = 4;
    std::vector<std::vector<std::string>> answers(kThreads);
    std::vector<int> failures(kThreads, 0);
    OnThreadsAtOnce([&](int t) {
        for (int round = 0; round < kRounds; ++round) {
            uint32_t handles[kOpen] = {};
            for (int k = 0; k < kOpen; ++k) failures[t] += create(&handles[k]) != 0;
            for (int k = 0; k < kOpen; ++k) {
                const std::string& bytes = kSamples[size_t(t + round + k) % kCount].bytes;
                failures[t] += feed(handles[k], bytes.data(), unsigned(bytes.size())) != 0;
            }
            for (int k = 0; k < kOpen; ++k) {
                char name[32] = {};
                failures[t] += end(handles[k]) != 0;
                failures[t] += charset(handles[k], name, sizeof name) != 0;
                answers[t].push_back(name);
            }
            for (int k = 0; k < kOpen; ++k) failures[t] += destroy(handles[k]) != 0;
        }
    });
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0) << "thread " << t;
        ASSERT_EQ(answers[t].size(), size_t(kRounds * kOpen));
        int wrong = 0;
        for (size_t k = 0; k < answers[t].size(); ++k) {
            const char* expected = kSamples[(size_t(t) + k / kOpen + k % kOpen) % kCount].expected;
            if (answers[t][k] != expected && !wrong++)
                ADD_FAILURE() << "thread " << t << ", detection " << k << ": " << answers[t][k] << " for " << expected;
        }
        EXPECT_EQ(wrong, 0) << "thread " << t;
    }
    FreeLibrary(lib);
}

TEST(Encoding, DetectionRunsOnSeveralThreadsAtOnce) {
    // The same library by two spellings of its path, switched all the while
    // the others detect.
    const std::wstring plain = HereFile(L"chardet.dll"), dotted = HereFile(L".\\.\\.\\.\\.\\.\\chardet.dll");
    constexpr int kRounds = 15;
    std::vector<std::vector<int>> answers(kThreads);
    std::atomic<int> running{kThreads - 1};
    OnThreadsAtOnce([&](int t) {
        if (t == 0) {  // the switcher
            for (int k = 0; running > 0; ++k) SetDetectorPath(k % 3 == 0 ? plain : k % 3 == 1 ? dotted : L"");
            return;
        }
        for (int round = 0; round < kRounds; ++round)
            for (size_t i = 0; i < kCount; ++i) answers[t].push_back(Detect(kSamples[(i + size_t(t)) % kCount].bytes));
        --running;
    });
    for (int t = 1; t < kThreads; ++t) {
        ASSERT_EQ(answers[t].size(), kRounds * kCount);
        int wrong = 0;
        for (size_t k = 0; k < answers[t].size(); ++k) {
            const int expected = CodePageOfCharset(kSamples[(k % kCount + size_t(t)) % kCount].expected);
            if (answers[t][k] != expected && !wrong++)
                ADD_FAILURE() << "thread " << t << ", detection " << k << ": " << answers[t][k] << " for " << expected;
        }
        EXPECT_EQ(wrong, 0) << "thread " << t;
    }
    SetDetectorPath(plain);
}
