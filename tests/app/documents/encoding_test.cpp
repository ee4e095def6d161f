// The program's code-page routines, with chardet.dll loaded and called
// through its five exports.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "EncodedSamples.h"
#include "Encoding.h"

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

TEST(Encoding, AMissingOrIncompleteLibraryDetectsNothing) {
    SetDetectorPath(HereFile(L"no-such-chardet.dll"));
    EXPECT_EQ(Detect(kSamples[0].bytes), 0);
    SetDetectorPath(HereFile(L"Edit.dll"));  // a library without the five functions
    EXPECT_EQ(Detect(kSamples[0].bytes), 0);
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
