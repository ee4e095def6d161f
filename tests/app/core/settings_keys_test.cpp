// The table of settings keys: every entry is found by its own names, reads
// its default from an empty folder, and keeps a written value within its
// range; the readers and the options pages take their numbers from it.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "Settings.h"
#include "SettingsKeys.h"

using namespace settings;

namespace {

class SettingsKeys : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t dir[MAX_PATH], name[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"SKY", 0, name);
        DeleteFileW(name);
        CreateDirectoryW(name, nullptr);
        folder_ = name;
        SetProgramFolder(folder_);
    }
    void TearDown() override {
        for (File f : {File::Setting, File::History, File::Key, File::Tools, File::Syntax})
            DeleteFileW(PathOf(f).c_str());
        RemoveDirectoryW(folder_.c_str());
        SetProgramFolder(L"");
    }
    std::wstring folder_;
};

// The names an entry stands for: itself, or its first and last index.
std::vector<std::pair<std::wstring, std::wstring>> NamesOf(const KeyInfo& k) {
    std::vector<std::pair<std::wstring, std::wstring>> names;
    for (int index : {k.firstIndex, k.lastIndex}) {
        std::wstring section = k.section, key = k.key;
        if (!section.empty() && section.back() == L'#')
            section = section.substr(0, section.size() - 1) + std::to_wstring(index);
        if (!key.empty() && key.back() == L'#') key = key.substr(0, key.size() - 1) + std::to_wstring(index);
        if (names.empty() || names.back() != std::make_pair(section, key)) names.push_back({section, key});
    }
    return names;
}

}  // namespace

TEST_F(SettingsKeys, EveryEntryReadsItsDefaultAndKeepsItsRange) {
    ASSERT_FALSE(Keys().empty());
    for (const KeyInfo& k : Keys()) {
        for (const auto& [section, key] : NamesOf(k)) {
            SCOPED_TRACE(std::string(section.begin(), section.end()) + "/" + std::string(key.begin(), key.end()));
            // Found as itself, and by no other entry.
            EXPECT_EQ(FindKey(k.file, section, key), &k);
            int matches = 0;
            for (const KeyInfo& other : Keys()) matches += other.file == k.file && Names(other, section, key);
            EXPECT_EQ(matches, 1);
            switch (k.type) {
                case ValueType::Bool:
                    EXPECT_EQ(ReadKeyBool(k.file, section.c_str(), key.c_str()), k.def != 0);
                    WriteBool(k.file, section.c_str(), key.c_str(), k.def == 0);
                    EXPECT_EQ(ReadKeyBool(k.file, section.c_str(), key.c_str()), k.def == 0);
                    break;
                case ValueType::Int:
                    EXPECT_LE(k.min, k.max);
                    EXPECT_EQ(Clamp(k, k.def), k.def);
                    EXPECT_EQ(Clamp(k, k.low), k.low);  // both replacements lie in the range
                    EXPECT_EQ(Clamp(k, k.high), k.high);
                    EXPECT_EQ(ReadClampedInt(k.file, section.c_str(), key.c_str()), k.def);
                    if (k.max < INT_MAX) {
                        WriteInt(k.file, section.c_str(), key.c_str(), k.max + 1);  // a hand-edited value
                        EXPECT_EQ(ReadClampedInt(k.file, section.c_str(), key.c_str()), k.high);
                    }
                    if (k.min > INT_MIN) {
                        WriteClampedInt(k.file, section.c_str(), key.c_str(), k.min - 1);
                        EXPECT_EQ(ReadInt(k.file, section.c_str(), key.c_str(), 12345), k.low);
                    }
                    WriteString(k.file, section.c_str(), key.c_str(), L"junk");
                    EXPECT_EQ(ReadClampedInt(k.file, section.c_str(), key.c_str()), k.def);
                    break;
                case ValueType::String: {
                    std::wstring v;
                    ReadKeyString(k.file, section.c_str(), key.c_str(), v);
                    EXPECT_EQ(v, k.text);
                    break;
                }
                case ValueType::Struct:
                    break;
            }
        }
    }
}

// The limits the options pages and the readers rely on.
TEST_F(SettingsKeys, PagesStoreValuesWithinTheirLimits) {
    WriteClampedInt(File::Setting, L"Setting", L"AutoDetectBuffer", 5000);
    EXPECT_EQ(ReadInt(File::Setting, L"Setting", L"AutoDetectBuffer", 0), 4096);
    WriteClampedInt(File::Setting, L"Setting", L"AutoDetectBuffer", 1);
    EXPECT_EQ(ReadInt(File::Setting, L"Setting", L"AutoDetectBuffer", 0), 4);
    EXPECT_EQ(ReadClampedInt(File::Setting, L"Setting", L"AutoDetectBuffer"), 4);
    WriteClampedInt(File::History, L"RecentDoc", L"Count", 100);
    EXPECT_EQ(ReadInt(File::History, L"RecentDoc", L"Count", 0), 63);
    // A syntax's tab size: below 0 is 4, above 32 is 32.
    WriteClampedInt(File::Syntax, L"Syntax3", L"Tab", -1);
    EXPECT_EQ(ReadInt(File::Syntax, L"Syntax3", L"Tab", 0), 4);
    WriteClampedInt(File::Syntax, L"Syntax3", L"Tab", 33);
    EXPECT_EQ(ReadClampedInt(File::Syntax, L"Syntax3", L"Tab"), 32);
    WriteInt(File::Syntax, L"Syntax7", L"Tab", -5);  // edited by hand
    EXPECT_EQ(ReadClampedInt(File::Syntax, L"Syntax7", L"Tab"), 4);
    EXPECT_EQ(ReadClampedInt(File::Syntax, L"Syntax7", L"Missing"), 0);  // not a key of the table
    EXPECT_EQ(FindKey(File::Setting, L"Setting", L"NoSuchKey"), nullptr);
    EXPECT_EQ(FindKey(File::Setting, L"Fonts", L"Font13"), nullptr);
    EXPECT_EQ(FindKey(File::Setting, L"Fonts", L"Fontx"), nullptr);
    EXPECT_EQ(FindKey(File::History, L"Find", L"Item0"), nullptr);  // history items count from 1
    // The font slots' defaults come from the table.
    EXPECT_EQ(FormatFont(ReadFontSlot(1440)), FindKey(File::Setting, L"Fonts", L"Font10")->text);
    EXPECT_EQ(FormatFont(ReadFontSlot(1441)), FindKey(File::Setting, L"Fonts", L"Font11")->text);
    EXPECT_STREQ(FindKey(File::Setting, L"Fonts", L"Font12")->text, L"Tahoma,8,0,0,0");
    // Booleans missing from the file.
    EXPECT_FALSE(ReadKeyBool(File::Setting, L"Setting", L"MulInst"));
    EXPECT_TRUE(ReadKeyBool(File::Setting, L"Edit", L"IndentLine"));
    EXPECT_TRUE(FindKey(File::Setting, L"Setting", L"MulInst")->shown);  // the General page shows it ticked
}
