#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "KeyBindings.h"
#include "MessageSink.h"
#include "Settings.h"
#include "TestSupport.h"

using namespace settings;
using testing_support::ReadFileText;
using testing_support::Utf16Text;

namespace {

// A program folder of its own for each test.
class SettingsTest : public ::testing::Test {
   protected:
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"SET");
        ASSERT_FALSE(folder_.empty());
        SetProgramFolder(folder_);
    }
    void WriteRaw(File f, const std::string& bytes) {
        ASSERT_TRUE(testing_support::WriteFileText(PathOf(f), bytes));
    }
    std::string ReadRaw(File f) { return ReadFileText(PathOf(f)); }
    std::wstring folder_;
};

}  // namespace

// The program folder keeps its trailing backslash: every data file name is
// appended to it as it is.
TEST_F(SettingsTest, PathsAreInTheProgramFolder) {
    EXPECT_EQ(PathOf(File::Setting), folder_ + L"setting.ini");
    EXPECT_EQ(PathOf(File::Tools), folder_ + L"tools.ini");
    SetProgramFolder(folder_.substr(0, folder_.size() - 1));  // given without its backslash: one is added
    EXPECT_EQ(ProgramFolder(), folder_);
    EXPECT_EQ(PathOf(File::Key), folder_ + L"key.ini");
    // By default, the folder of the executable.
    SetProgramFolder(L"");
    EXPECT_EQ(ProgramFolder(), testing_support::TestFolder());
    EXPECT_EQ(PathOf(File::History), ProgramFolder() + L"history.ini");
    EXPECT_EQ(KeyName(L"Font", 3), L"Font3");
    EXPECT_EQ(KeyName(L"Font", -1), L"Font");
}

TEST_F(SettingsTest, BooleansAreDecidedByTheirFirstCharacter) {
    WriteRaw(
        File::Setting,
        Utf16Text("[S]\r\na=yes\r\nb=True\r\nc=1x\r\nd=no\r\ne=False\r\nf=0\r\ng=\r\nh=maybe\r\ni=N\r\n"));
    const struct {
        const wchar_t* key;
        bool def, expected;
    } cases[] = {{L"a", false, true}, {L"b", false, true},     {L"c", false, true},
                 {L"d", true, false}, {L"e", true, false},     {L"f", true, false},
                 {L"g", true, true},  {L"g", false, false},  // empty: the default
                 {L"h", true, true},  {L"h", false, false},  // any other first character: the default
                 {L"i", true, false}, {L"missing", true, true}};
    for (const auto& c : cases)
        EXPECT_EQ(ReadBool(File::Setting, L"S", c.key, c.def), c.expected) << c.key << " default " << c.def;
    WriteBool(File::Setting, L"S", L"w", true);
    EXPECT_TRUE(ReadBool(File::Setting, L"S", L"w", false));
}

// Hand-edited files rely on the profile functions' reading: leading blanks,
// a sign and the leading digits count, whatever follows is ignored. No
// digits at all, or a number an int cannot hold: the default (5), never a
// made-up 0 or a wrapped value.
TEST_F(SettingsTest, NumbersReadAsTheProfileFunctionsReadThem) {
    const std::string file =
        "[S]\r\nok= 42 \r\nneg=-7\r\nplus=+5\r\ntrail=12abc\r\nnote=8 ; note\r\nlead=  7\r\n"
        "none=\r\nhex=0x10\r\nword=abc\r\nsign=-\r\nbig=99999999999\r\nmax=2147483647\r\n"
        "min=-2147483648\r\nover=2147483648\r\nunder=-2147483649\r\nzeros=0000000000000000000000012\r\n";
    WriteRaw(File::Setting, Utf16Text(file));
    const std::wstring ini = PathOf(File::Setting);
    const struct {
        const wchar_t* key;
        int expected;
        bool asPlatform;  // where the platform reads a number, the same number
    } cases[] = {{L"ok", 42, true},    {L"neg", -7, true},
                 {L"plus", 5, true},   {L"trail", 12, true},
                 {L"note", 8, true},   {L"lead", 7, true},
                 {L"none", 5, true},   {L"max", 2147483647, true},
                 {L"zeros", 12, true}, {L"min", -2147483647 - 1, false},
                 {L"hex", 0, false},  // decimal only: its leading 0, as Windows reads it (Wine would say 16)
                 {L"word", 5, false},  {L"sign", 5, false},
                 {L"big", 5, false},   {L"over", 5, false},
                 {L"under", 5, false}, {L"missing", 5, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(ReadInt(File::Setting, L"S", c.key, 5), c.expected) << c.key;
        if (c.asPlatform)
            EXPECT_EQ(int(GetPrivateProfileIntW(L"S", c.key, 5, ini.c_str())), c.expected) << c.key;
    }
    // Reading never writes a value back.
    EXPECT_EQ(ReadRaw(File::Setting), Utf16Text(file));
    WriteInt(File::Setting, L"S", L"Count", 17, 2);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"Count", 0, 2), 17);
    WriteInt(File::Setting, L"S", L"Neg", -2147483647 - 1);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"Neg", 0), -2147483647 - 1);
}

// Files are written as UTF-16LE behind its mark. A file without the mark is
// made Unicode before the first write, keeping its keys: from UTF-8 when it
// is valid UTF-8 (with or without its mark), else from ANSI (a lone E9, a cut
// sequence, an encoded surrogate); UTF-16 without the little-endian mark
// (big-endian, or no mark at all) stays UTF-16. Each reads right before and
// after the first write.
TEST_F(SettingsTest, EveryFileKeepsItsTextWhenItIsMadeUnicode) {
    const std::wstring path = L"C:\\\x65E5\x672C\x8A9E\\\x30D5\x30A1\x30A4\x30EB.txt";
    WriteString(File::History, L"RecentDoc", L"Doc", path.c_str(), 0);
    std::wstring back;
    EXPECT_TRUE(ReadString(File::History, L"RecentDoc", L"Doc", back, L"", 0));
    EXPECT_EQ(back, path);
    EXPECT_EQ(ReadRaw(File::History).substr(0, 2), "\xFF\xFE");

    const std::wstring text = L"[Tool0]\r\nTitle=Caf\x00E9 \x4E2D\r\n";
    std::string le, be;
    for (wchar_t c : text) {
        le += char(c & 0xFF), le += char(c >> 8);
        be += char(c >> 8), be += char(c & 0xFF);
    }
    auto ansi = [](const std::string& s) {
        std::wstring w(s.size(), L'\0');
        w.resize(size_t(MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), w.data(), int(w.size()))));
        return w;
    };
    const struct {
        std::string bytes;
        std::wstring title;
    } cases[] = {
        {"[Tool0]\r\nTitle=Build\r\n", L"Build"},
        {"[Tool0]\r\nTitle=Caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80\r\n",
         L"Caf\x00E9 \x4E2D\x6587 \xD83D\xDE00"},
        {"\xEF\xBB\xBF[Tool0]\r\nTitle=Caf\xC3\xA9\r\n", L"Caf\x00E9"},
        {"[Tool0]\r\nTitle=Caf\xE9\r\n", ansi("Caf\xE9")},
        {"[Tool0]\r\nTitle=ab\xE4\xB8\r\n", ansi("ab\xE4\xB8")},
        {"[Tool0]\r\nTitle=\xED\xA0\x80z\r\n", ansi("\xED\xA0\x80z")},
        {le, L"Caf\x00E9 \x4E2D"},
        {"\xFE\xFF" + be, L"Caf\x00E9 \x4E2D"},
        {be, L"Caf\x00E9 \x4E2D"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        WriteRaw(File::Tools, cases[i].bytes);
        EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
        EXPECT_EQ(back, cases[i].title);
        WriteString(File::Tools, L"Tool0", L"Args", L"\x00E9\x4E2D");
        EXPECT_EQ(ReadRaw(File::Tools).substr(0, 2), "\xFF\xFE");
        EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
        EXPECT_EQ(back, cases[i].title);
        EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Args", back));
        EXPECT_EQ(back, L"\x00E9\x4E2D");
    }
    // Writing back what was read keeps the text.
    WriteRaw(File::Tools, "[Tool0]\r\nTitle=Caf\xC3\xA9 \xE4\xB8\xAD\r\n");
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
    WriteString(File::Tools, L"Tool0", L"Title", back.c_str());
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
    EXPECT_EQ(back, L"Caf\x00E9 \x4E2D");
    // Bytes that are no text at all hold no settings: they are kept as they
    // are beside the file, which starts again empty.
    const std::string binary("\x01\x00\x00\x00\x7F\x00\x00\x00\xFF\x00\x00\x00", 12);
    WriteRaw(File::Tools, binary);
    WriteString(File::Tools, L"Tool0", L"Args", L"x");
    EXPECT_EQ(ReadFileText(PathOf(File::Tools) + L".bad"), binary);
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Args", back));
    EXPECT_EQ(back, L"x");
    EXPECT_FALSE(ReadString(File::Tools, L"Tool0", L"Title", back));
    // Reading a missing file creates nothing.
    EXPECT_EQ(ReadInt(File::Syntax, L"Syntax", L"Count", 7), 7);
    EXPECT_EQ(GetFileAttributesW(PathOf(File::Syntax).c_str()), INVALID_FILE_ATTRIBUTES);
}

// Converting a file that has no room to grow keeps it as it was.
TEST_F(SettingsTest, AConversionThatFindsTheDiskFullKeepsTheFile) {
    const char* mount = std::getenv("MORROWPAD_FULL_DISK");
    if (!mount || !*mount)
        GTEST_SKIP() << "no small file system mounted: run as root through scripts/test.sh";
    std::wstring full = L"Z:";
    for (const char* p = mount; *p; ++p) full += *p == '/' ? L'\\' : wchar_t(*p);
    SetProgramFolder(full);
    std::string text = "[Tool0]\r\nTitle=Caf\xC3\xA9\r\n";
    for (int i = 0; text.size() < 40000; ++i)
        text += "Key" + std::to_string(i) + "=some value to fill the disk\r\n";
    WriteRaw(File::Tools, text);  // 40 KB of UTF-8 become 80 KB of UTF-16 on a 64 KB disk
    WriteString(File::Tools, L"Tool0", L"Args", L"x");
    EXPECT_EQ(ReadRaw(File::Tools), text);
    std::wstring back;
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Key1", back));
    EXPECT_EQ(back, L"some value to fill the disk");
    DeleteFileW(PathOf(File::Tools).c_str());
}

// A value that begins with a blank and then "#" is returned unchanged;
// empty values are skipped; reading stops at the first missing key.
TEST_F(SettingsTest, HistoryValuesKeepTheirBlanks) {
    WriteHistory(File::History, L"Find", {L"  padded  ", L"#hash", L"plain"});
    EXPECT_EQ(ReadHistory(File::History, L"Find"),
              (std::vector<std::wstring>{L"  padded  ", L"#hash", L"plain"}));
    WriteRaw(File::History, Utf16Text("[G]\r\nItem1=\" #x\"\r\nItem2=\r\nItem3=#y\r\nItem5=z\r\n"));
    EXPECT_EQ(ReadHistory(File::History, L"G"), (std::vector<std::wstring>{L" #x", L"y"}));
}

TEST_F(SettingsTest, FontSlotsHaveDefaultsAndMalformedValuesAreIgnored) {
    FontSpec f = ReadFontSlot(1441);
    EXPECT_EQ(FormatFont(f), L"Tahoma,8,0,0,0");
    EXPECT_EQ(FormatFont(ReadFontSlot(1435)), L"Courier New,8,0,0,0");
    WriteRaw(File::Setting,
             Utf16Text("[Fonts]\r\nFont2=Consolas,11,1,0,5\r\nFont3=Broken,10,0,0\r\nFont4=\r\n"));
    EXPECT_EQ(FormatFont(ReadFontSlot(1432)), L"Consolas,11,1,0,5");
    EXPECT_EQ(FormatFont(ReadFontSlot(1433)), L"Courier New,8,0,0,0");  // four fields: no font
    EXPECT_EQ(FormatFont(ReadFontSlot(1434)), L"Courier New,8,0,0,0");
    std::wstring raw;
    ReadString(File::Setting, L"Fonts", L"Font3", raw);
    EXPECT_EQ(raw, L"Broken,10,0,0");  // reading never writes a repaired value back
    f.face = L"Lucida Console";
    f.size = 12;
    WriteFontSlot(1440, f);
    EXPECT_EQ(FormatFont(ReadFontSlot(1440)), L"Lucida Console,12,0,0,0");
    const LOGFONTW lf = ToLogFont(f, 96);
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(FromLogFont(lf, 96).size, 12);
    EXPECT_STREQ(QualityName(5), L"Cleartype");
    EXPECT_STREQ(CharsetName(128), L"ShiftJIS");
    EXPECT_EQ(Charsets().size(), 19u);
    EXPECT_STREQ(Charsets()[18].name, L"Baltic");
}

TEST_F(SettingsTest, TheColourTableNeedsItsChecksum) {
    COLORREF table[80];
    EXPECT_FALSE(ReadColors(table));  // missing
    std::string hex;
    unsigned sum = 0;
    char two[3];
    for (int i = 0; i < 320; ++i) {
        const unsigned b = unsigned(i * 7) & 255;
        snprintf(two, sizeof two, "%02X", b);
        hex += two;
        sum += b;
    }
    auto write = [&](const std::string& value) {
        WriteRaw(File::Setting, Utf16Text("[Theme]\r\nColors=" + value + "\r\n"));
    };
    snprintf(two, sizeof two, "%02X", sum & 255);
    write(hex + two);
    ASSERT_TRUE(ReadColors(table));
    EXPECT_EQ(table[1], COLORREF(0x312A231C));  // bytes 4..7: 28, 35, 42, 49, little-endian
    snprintf(two, sizeof two, "%02X", (sum + 1) & 255);
    write(hex + two);
    EXPECT_FALSE(ReadColors(table));
    write(hex.substr(0, 100));
    EXPECT_FALSE(ReadColors(table));
}

// The files a first start finds in the program folder.
TEST(ShippedDefaults, AreUnicodeAndComplete) {
    SetProgramFolder(testing_support::TestFolder() + L"defaults");
    for (File f : {File::Setting, File::History, File::Key, File::Tools})
        EXPECT_EQ(ReadFileText(PathOf(f)).substr(0, 2), "\xFF\xFE") << int(f);
    COLORREF colors[80];
    EXPECT_TRUE(ReadColors(colors));
    EXPECT_NE(colors[0], colors[1]);  // text and background differ
    EXPECT_EQ(ReadInt(File::Setting, L"Setting", L"DefaultEncoding", 0), 65001);
    EXPECT_EQ(ReadInt(File::Setting, L"Setting", L"DefaultFileFormat", 0), 1);
    std::wstring language;
    ReadString(File::Setting, L"Setting", L"Language", language);
    EXPECT_EQ(language, L"mui\\en.dll");
    EXPECT_EQ(FormatFont(ReadFontSlot(1430)), L"Courier New,10,0,0,5");
    keys::CKeyTables t;
    t.Load(PathOf(File::Key));
    EXPECT_GE(t.commands.size(), 10u);
    const std::pair<uint16_t, int> bound[] = {{keys::kCtrl | 'S', 57603},
                                              {keys::kCtrl | 'F', 57636},
                                              {0x72, 1240} /* F3: find next */,
                                              {keys::kCtrl | 'G', 1426},
                                              {keys::kCtrl | VK_TAB, 1200}};
    for (const auto& [key, command] : bound) EXPECT_EQ(t.CommandFor(key), command) << key;
    EXPECT_TRUE(ReadHistory(File::History, L"Find").empty());
    SetProgramFolder(L"");
}

// What the system's box shows of a text: long runs (a path, a damaged
// value) shortened in their middle, the whole bounded; short texts as given.
TEST(MessageBoxText, LongRunsAreShortenedInTheirMiddle) {
    const std::wstring path = L"C:\\" + std::wstring(300, L'a') + L"\\end.txt";
    const std::wstring shortened = shell::ShortenedForBox(L"Cannot load " + path + L" now.");
    EXPECT_EQ(shortened,
              L"Cannot load " + path.substr(0, 60) + L"\u2026" + path.substr(path.size() - 59) + L" now.");
    EXPECT_EQ(shell::ShortenedForBox(L"a short\ntext with  blanks"), L"a short\ntext with  blanks");
    const std::wstring run120(120, L'b');
    EXPECT_EQ(shell::ShortenedForBox(run120), run120);
    // 100,000 characters of words: bounded.
    std::wstring words;
    while (words.size() < 100000) words += L"word ";
    const std::wstring bounded = shell::ShortenedForBox(words);
    EXPECT_LE(bounded.size(), 4001u);
    EXPECT_EQ(bounded.back(), L'\u2026');
}
