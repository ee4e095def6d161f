// Splitting the command line, and the hand-over record a second instance
// sends: what is accepted, and every way a record from another process can
// be malformed.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "ProgramIds.h"

using shell::FileArgument;
using shell::ReadHandOver;
using shell::SplitCommandLine;
using Tokens = std::vector<std::wstring>;

TEST(CommandLine, SplitsOnBlanksAndControlCharacters) {
    EXPECT_EQ(SplitCommandLine(L"prog a.txt b.txt"), (Tokens{L"prog", L"a.txt", L"b.txt"}));
    EXPECT_EQ(SplitCommandLine(L"  prog\t\ta.txt \r\n"), (Tokens{L"prog", L"a.txt"}));
    EXPECT_EQ(SplitCommandLine(L"prog\x01x"), (Tokens{L"prog", L"x"}));
}

TEST(CommandLine, QuotedTokensKeepBlanksAndLoseTheirQuotes) {
    EXPECT_EQ(SplitCommandLine(L"\"C:\\Program Files\\M\\Morrowpad.exe\" \"C:\\my docs\\a b.txt\""),
              (Tokens{L"C:\\Program Files\\M\\Morrowpad.exe", L"C:\\my docs\\a b.txt"}));
    // An unclosed quote runs to the end; an empty pair is an empty token.
    EXPECT_EQ(SplitCommandLine(L"prog \"a b"), (Tokens{L"prog", L"a b"}));
    EXPECT_EQ(SplitCommandLine(L"prog \"\" x"), (Tokens{L"prog", L"", L"x"}));
    // A quote inside an unquoted token is an ordinary character; after a
    // closing quote the next token starts at once.
    EXPECT_EQ(SplitCommandLine(L"prog a\"b \"c\"d"), (Tokens{L"prog", L"a\"b", L"c", L"d"}));
}

TEST(CommandLine, EmptyAndBlankLinesHaveNoTokens) {
    EXPECT_TRUE(SplitCommandLine(L"").empty());
    EXPECT_TRUE(SplitCommandLine(L"   \t ").empty());
}

TEST(CommandLine, LongPathsAreKeptWhole) {
    std::wstring path = L"C:\\";
    while (path.size() < 300) path += L"folder\\";
    path += L"file.txt";
    const Tokens quoted = SplitCommandLine(L"prog \"" + path + L"\"");
    ASSERT_EQ(quoted.size(), 2u);
    EXPECT_EQ(quoted[1], path);
    const Tokens bare = SplitCommandLine(L"prog " + path);
    ASSERT_EQ(bare.size(), 2u);
    EXPECT_EQ(bare[1], path);
}

TEST(CommandLine, OnlyANonEmptySecondTokenIsAFile) {
    EXPECT_EQ(FileArgument(L"prog a.txt b.txt"), L"a.txt");
    EXPECT_FALSE(FileArgument(L"prog"));
    EXPECT_FALSE(FileArgument(L"prog \"\" b.txt"));
    EXPECT_FALSE(FileArgument(L""));
}

namespace {

COPYDATASTRUCT Record(ULONG_PTR tag, const void* data, DWORD bytes) {
    COPYDATASTRUCT r = {};
    r.dwData = tag;
    r.lpData = const_cast<void*>(data);
    r.cbData = bytes;
    return r;
}

}  // namespace

TEST(HandOver, AWellFormedRecordCarriesTheCommandLine) {
    const std::wstring line = L"\"C:\\M\\Morrowpad.exe\" \"C:\\a b.txt\"";
    const COPYDATASTRUCT r = shell::MakeHandOver(line);
    EXPECT_EQ(r.dwData, ULONG_PTR(MORROWPAD_HANDOVER_TAG));
    EXPECT_EQ(r.cbData, (line.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(ReadHandOver(&r), line);
    // An empty command line is just the terminator.
    const wchar_t empty[] = L"";
    const COPYDATASTRUCT e = Record(MORROWPAD_HANDOVER_TAG, empty, sizeof empty);
    EXPECT_EQ(ReadHandOver(&e), L"");
}

TEST(HandOver, MalformedRecordsAreRefused) {
    const wchar_t text[] = L"prog a.txt";  // 11 units with the terminator
    const DWORD whole = sizeof text;
    // Another tag.
    COPYDATASTRUCT r = Record(2, text, whole);
    EXPECT_FALSE(ReadHandOver(&r));
    // An odd size.
    r = Record(MORROWPAD_HANDOVER_TAG, text, whole - 1);
    EXPECT_FALSE(ReadHandOver(&r));
    // No terminator inside the block: the size stops before it.
    r = Record(MORROWPAD_HANDOVER_TAG, text, whole - sizeof(wchar_t));
    EXPECT_FALSE(ReadHandOver(&r));
    // Too small to hold even a terminator, or no data at all.
    r = Record(MORROWPAD_HANDOVER_TAG, text, 0);
    EXPECT_FALSE(ReadHandOver(&r));
    r = Record(MORROWPAD_HANDOVER_TAG, text, 1);
    EXPECT_FALSE(ReadHandOver(&r));
    r = Record(MORROWPAD_HANDOVER_TAG, nullptr, whole);
    EXPECT_FALSE(ReadHandOver(&r));
    EXPECT_FALSE(ReadHandOver(nullptr));
    // Larger than any command line.
    std::wstring huge(shell::kMaxHandOverBytes / sizeof(wchar_t) + 1, L'x');
    r = Record(MORROWPAD_HANDOVER_TAG, huge.c_str(), DWORD((huge.size() + 1) * sizeof(wchar_t)));
    EXPECT_FALSE(ReadHandOver(&r));
}

TEST(HandOver, TextStopsAtTheFirstTerminator) {
    const wchar_t text[] = L"prog a.txt\0junk";
    const COPYDATASTRUCT r = Record(MORROWPAD_HANDOVER_TAG, text, sizeof text);
    EXPECT_EQ(ReadHandOver(&r), L"prog a.txt");
}
