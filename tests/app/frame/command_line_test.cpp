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

// Blanks and control characters split; quoted tokens keep their blanks and
// lose their quotes; an unclosed quote runs to the end; an empty pair is an
// empty token; a quote inside an unquoted token is an ordinary character,
// and after a closing quote the next token starts at once.
TEST(CommandLine, SplitsOnBlanksOutsideQuotes) {
    std::wstring path = L"C:\\";
    while (path.size() < 300) path += L"folder\\";
    path += L"file.txt";
    const std::pair<std::wstring, Tokens> cases[] = {
        {L"prog a.txt b.txt", {L"prog", L"a.txt", L"b.txt"}},
        {L"  prog\t\ta.txt \r\n", {L"prog", L"a.txt"}},
        {L"prog\x01x", {L"prog", L"x"}},
        {L"\"C:\\Program Files\\M\\Morrowpad.exe\" \"C:\\my docs\\a b.txt\"",
         {L"C:\\Program Files\\M\\Morrowpad.exe", L"C:\\my docs\\a b.txt"}},
        {L"prog \"a b", {L"prog", L"a b"}},
        {L"prog \"\" x", {L"prog", L"", L"x"}},
        {L"prog a\"b \"c\"d", {L"prog", L"a\"b", L"c", L"d"}},
        {L"", {}},
        {L"   \t ", {}},
        {L"prog \"" + path + L"\"", {L"prog", path}},  // long paths are kept whole
        {L"prog " + path, {L"prog", path}},
    };
    for (const auto& [line, tokens] : cases) EXPECT_EQ(SplitCommandLine(line), tokens);
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

// Another tag, an odd size, no terminator inside the block (the size
// stops before it), too small to hold even a terminator, no data at all,
// larger than any command line.
TEST(HandOver, MalformedRecordsAreRefused) {
    const wchar_t text[] = L"prog a.txt";      // 11 units with the terminator
    const wchar_t padded[] = L"prog a.txt\0";  // ending in a terminator even when cut to an odd size
    const DWORD whole = sizeof text;
    const std::wstring huge(shell::kMaxHandOverBytes / sizeof(wchar_t) + 1, L'x');
    const COPYDATASTRUCT records[] = {
        Record(2, text, whole),
        Record(MORROWPAD_HANDOVER_TAG, text, whole - 1),
        Record(MORROWPAD_HANDOVER_TAG, padded, whole + 1),
        Record(MORROWPAD_HANDOVER_TAG, text, whole - sizeof(wchar_t)),
        Record(MORROWPAD_HANDOVER_TAG, text, 0),
        Record(MORROWPAD_HANDOVER_TAG, text, 1),
        Record(MORROWPAD_HANDOVER_TAG, nullptr, whole),
        Record(MORROWPAD_HANDOVER_TAG, huge.c_str(), DWORD((huge.size() + 1) * sizeof(wchar_t))),
    };
    for (const COPYDATASTRUCT& r : records) EXPECT_FALSE(ReadHandOver(&r)) << r.dwData << " " << r.cbData;
    EXPECT_FALSE(ReadHandOver(nullptr));
}

TEST(HandOver, TextStopsAtTheFirstTerminator) {
    const wchar_t text[] = L"prog a.txt\0junk";
    const COPYDATASTRUCT r = Record(MORROWPAD_HANDOVER_TAG, text, sizeof text);
    EXPECT_EQ(ReadHandOver(&r), L"prog a.txt");
}
