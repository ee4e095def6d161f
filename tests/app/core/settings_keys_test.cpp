// The table of settings keys: every entry is found by its own names, reads
// its default from an empty folder, and keeps a written value within its
// range; the readers and the options pages take their numbers from it.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "Settings.h"
#include "SettingsKeys.h"
#include "TestSupport.h"

using namespace settings;

namespace {

class SettingsKeys : public ::testing::Test {
   protected:
    void SetUp() override { SetProgramFolder(testing_support::MakeTempFolder(L"SKY")); }
    void TearDown() override { SetProgramFolder(L""); }
};

// The names an entry stands for: itself, or its first and last index.
std::vector<std::pair<std::wstring, std::wstring>> NamesOf(const KeyInfo& k) {
    std::vector<std::pair<std::wstring, std::wstring>> names;
    for (int index : {k.firstIndex, k.lastIndex}) {
        std::wstring section = k.section, key = k.key;
        if (!section.empty() && section.back() == L'#')
            section.resize(section.size() - 1), section += std::to_wstring(index);
        if (!key.empty() && key.back() == L'#') key.resize(key.size() - 1), key += std::to_wstring(index);
        if (names.empty() || names.back() != std::make_pair(section, key)) names.push_back({section, key});
    }
    return names;
}

}  // namespace

TEST_F(SettingsKeys, EveryEntryReadsItsDefaultAndKeepsItsRange) {
    ASSERT_FALSE(Keys().empty());
    for (const KeyInfo& k : Keys()) {
        for (const auto& [section, key] : NamesOf(k)) {
            SCOPED_TRACE(std::string(section.begin(), section.end()) + "/" +
                         std::string(key.begin(), key.end()));
            const wchar_t *s = section.c_str(), *n = key.c_str();
            // Found as itself, and by no other entry.
            EXPECT_EQ(FindKey(k.file, section, key), &k);
            int matches = 0;
            for (const KeyInfo& other : Keys()) matches += other.file == k.file && Names(other, section, key);
            EXPECT_EQ(matches, 1);
            switch (k.type) {
                case ValueType::Bool:
                    EXPECT_EQ(ReadKeyBool(k.file, s, n), k.def != 0);
                    WriteBool(k.file, s, n, k.def == 0);
                    EXPECT_EQ(ReadKeyBool(k.file, s, n), k.def == 0);
                    break;
                case ValueType::Int:
                    EXPECT_LE(k.min, k.max);
                    EXPECT_EQ(Clamp(k, k.def), k.def);
                    EXPECT_EQ(Clamp(k, k.low), k.low);  // both replacements lie in the range
                    EXPECT_EQ(Clamp(k, k.high), k.high);
                    EXPECT_EQ(ReadClampedInt(k.file, s, n), k.def);
                    if (k.max < INT_MAX) {
                        WriteInt(k.file, s, n, k.max + 1);  // a hand-edited value
                        EXPECT_EQ(ReadClampedInt(k.file, s, n), k.high);
                    }
                    if (k.min > INT_MIN) {
                        WriteClampedInt(k.file, s, n, k.min - 1);
                        EXPECT_EQ(ReadInt(k.file, s, n, 12345), k.low);
                    }
                    WriteString(k.file, s, n, L"junk");
                    EXPECT_EQ(ReadClampedInt(k.file, s, n), k.def);
                    break;
                case ValueType::String: {
                    std::wstring v;
                    ReadKeyString(k.file, s, n, v);
                    EXPECT_EQ(v, k.text);
                    break;
                }
                case ValueType::Struct: break;
            }
        }
    }
}

// The limits the options pages and the readers rely on: what a page writes
// (through WriteClampedInt) or a hand edit left, and what is read back.
TEST_F(SettingsKeys, PagesStoreValuesWithinTheirLimits) {
    const struct {
        File file;
        const wchar_t *section, *key;
        int written;
        bool byHand;  // written as it is, else through the table
        int stored, read;
    } cases[] = {
        {File::Setting, L"Setting", L"AutoDetectBuffer", 5000, false, 4096, 4096},
        {File::Setting, L"Setting", L"AutoDetectBuffer", 1, false, 4, 4},
        {File::History, L"RecentDoc", L"Count", 100, false, 63, 63},
        {File::Syntax, L"Syntax3", L"Tab", -1, false, 4,
         4},  // a syntax's tab size: below 0 is 4, above 32 is 32
        {File::Syntax, L"Syntax3", L"Tab", 33, false, 32, 32},
        {File::Syntax, L"Syntax7", L"Tab", -5, true, -5, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key, c.key + wcslen(c.key)) + "=" + std::to_string(c.written));
        (c.byHand ? WriteInt : WriteClampedInt)(c.file, c.section, c.key, c.written, -1);
        EXPECT_EQ(ReadInt(c.file, c.section, c.key, 0), c.stored);
        EXPECT_EQ(ReadClampedInt(c.file, c.section, c.key), c.read);
    }
    EXPECT_EQ(ReadClampedInt(File::Syntax, L"Syntax7", L"Missing"), 0);  // not a key of the table
    const std::tuple<File, const wchar_t*, const wchar_t*> unknown[] = {
        {File::Setting, L"Setting", L"NoSuchKey"},
        {File::Setting, L"Fonts", L"Font13"},
        {File::Setting, L"Fonts", L"Fontx"},
        {File::History, L"Find", L"Item0"}};  // history items count from 1
    for (const auto& [f, section, key] : unknown) EXPECT_EQ(FindKey(f, section, key), nullptr) << key;
    // The font slots' defaults come from the table.
    EXPECT_EQ(FormatFont(ReadFontSlot(1440)), FindKey(File::Setting, L"Fonts", L"Font10")->text);
    EXPECT_EQ(FormatFont(ReadFontSlot(1441)), FindKey(File::Setting, L"Fonts", L"Font11")->text);
    EXPECT_STREQ(FindKey(File::Setting, L"Fonts", L"Font12")->text, L"Tahoma,8,0,0,0");
    // Booleans missing from the file.
    EXPECT_FALSE(ReadKeyBool(File::Setting, L"Setting", L"MulInst"));
    EXPECT_TRUE(ReadKeyBool(File::Setting, L"Edit", L"IndentLine"));
    EXPECT_TRUE(FindKey(File::Setting, L"Setting", L"MulInst")->shown);  // the General page shows it ticked
}
