#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "MessageSink.h"
#include "Settings.h"
#include "TestSupport.h"

using namespace settings;

namespace {

// A program folder of its own for each test.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t dir[MAX_PATH], name[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"SET", 0, name);
        DeleteFileW(name);
        CreateDirectoryW(name, nullptr);
        folder_ = name;
        SetProgramFolder(folder_);
    }
    void TearDown() override {
        for (File f : {File::Setting, File::History, File::Key, File::Tools}) {
            DeleteFileW(PathOf(f).c_str());
            DeleteFileW((PathOf(f) + L".bad").c_str());
        }
        RemoveDirectoryW(folder_.c_str());
    }
    void WriteRaw(File f, const std::string& bytes) {
        HANDLE h = CreateFileW(PathOf(f).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
        CloseHandle(h);
    }
    std::string ReadRaw(File f) {
        HANDLE h = CreateFileW(PathOf(f).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return "";
        std::string s(GetFileSize(h, nullptr), '\0');
        DWORD n = 0;
        ReadFile(h, s.data(), DWORD(s.size()), &n, nullptr);
        CloseHandle(h);
        return s;
    }
    // A UTF-16LE file with a byte-order mark, from ASCII text.
    void WriteUnicode(File f, const std::string& text) {
        std::string bytes = "\xFF\xFE";
        for (char c : text) bytes += std::string{c, '\0'};
        WriteRaw(f, bytes);
    }
    std::wstring folder_;
};

}  // namespace

// The program folder keeps its trailing backslash: every data file name is
// appended to it as it is.
TEST_F(SettingsTest, PathsAreInTheProgramFolder) {
    EXPECT_EQ(ProgramFolder(), folder_ + L"\\");
    EXPECT_EQ(PathOf(File::Setting), folder_ + L"\\setting.ini");
    EXPECT_EQ(PathOf(File::Tools), folder_ + L"\\tools.ini");
    SetProgramFolder(folder_ + L"\\");  // given with its backslash: not doubled
    EXPECT_EQ(ProgramFolder(), folder_ + L"\\");
    EXPECT_EQ(PathOf(File::Key), folder_ + L"\\key.ini");
    // By default, the folder of the executable.
    SetProgramFolder(L"");
    wchar_t exe[MAX_PATH];
    const std::wstring self(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH));
    EXPECT_EQ(ProgramFolder(), self.substr(0, self.find_last_of(L'\\') + 1));
    EXPECT_EQ(PathOf(File::History), ProgramFolder() + L"history.ini");
    SetProgramFolder(folder_);
    EXPECT_EQ(KeyName(L"Font", 3), L"Font3");
    EXPECT_EQ(KeyName(L"Font", -1), L"Font");
}

TEST_F(SettingsTest, BooleansAreDecidedByTheirFirstCharacter) {
    WriteUnicode(File::Setting,
                 "[S]\r\na=yes\r\nb=True\r\nc=1x\r\nd=no\r\ne=False\r\nf=0\r\ng=\r\nh=maybe\r\ni=N\r\n");
    EXPECT_TRUE(ReadBool(File::Setting, L"S", L"a", false));
    EXPECT_TRUE(ReadBool(File::Setting, L"S", L"b", false));
    EXPECT_TRUE(ReadBool(File::Setting, L"S", L"c", false));
    EXPECT_FALSE(ReadBool(File::Setting, L"S", L"d", true));
    EXPECT_FALSE(ReadBool(File::Setting, L"S", L"e", true));
    EXPECT_FALSE(ReadBool(File::Setting, L"S", L"f", true));
    EXPECT_TRUE(ReadBool(File::Setting, L"S", L"g", true));   // empty: the default
    EXPECT_FALSE(ReadBool(File::Setting, L"S", L"g", false));
    EXPECT_TRUE(ReadBool(File::Setting, L"S", L"h", true));   // any other first character
    EXPECT_FALSE(ReadBool(File::Setting, L"S", L"i", true));
    EXPECT_TRUE(ReadBool(File::Setting, L"S", L"missing", true));
    WriteBool(File::Setting, L"S", L"w", true);
    EXPECT_TRUE(ReadBool(File::Setting, L"S", L"w", false));
}

// Hand-edited files rely on the profile functions' reading: leading blanks,
// a sign and the leading digits count, whatever follows is ignored.
TEST_F(SettingsTest, NumbersReadAsTheProfileFunctionsReadThem) {
    const std::string file =
        "[S]\r\nok= 42 \r\nneg=-7\r\nplus=+5\r\ntrail=12abc\r\nnote=8 ; note\r\nlead=  7\r\n"
        "none=\r\nhex=0x10\r\nword=abc\r\nsign=-\r\nbig=99999999999\r\nmax=2147483647\r\n"
        "min=-2147483648\r\nover=2147483648\r\nunder=-2147483649\r\nzeros=0000000000000000000000012\r\n";
    WriteUnicode(File::Setting, file);
    const std::wstring ini = PathOf(File::Setting);
    // Where the platform reads a number, the same number.
    for (const wchar_t* key : {L"ok", L"neg", L"plus", L"trail", L"note", L"lead", L"none", L"max", L"zeros"})
        EXPECT_EQ(ReadInt(File::Setting, L"S", key, 5), int(GetPrivateProfileIntW(L"S", key, 5, ini.c_str())))
            << key;
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"ok", 5), 42);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"neg", 5), -7);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"trail", 5), 12);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"note", 5), 8);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"lead", 5), 7);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"none", 5), 5);  // empty: the default
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"zeros", 5), 12);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"max", 5), 2147483647);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"min", 5), -2147483647 - 1);
    // Decimal only: "0x10" is its leading 0, as Windows reads it (Wine would say 16).
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"hex", 5), 0);
    // No digits at all, or a number an int cannot hold: the default, never a
    // made-up 0 or a wrapped value.
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"word", 5), 5);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"sign", 5), 5);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"big", 5), 5);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"over", 5), 5);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"under", 5), 5);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"missing", 4), 4);
    // Reading never writes a value back.
    std::string expected = "\xFF\xFE";
    for (char c : file) expected += std::string{c, '\0'};
    EXPECT_EQ(ReadRaw(File::Setting), expected);
    WriteInt(File::Setting, L"S", L"Count", 17, 2);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"Count", 0, 2), 17);
    WriteInt(File::Setting, L"S", L"Neg", -2147483647 - 1);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"Neg", 0), -2147483647 - 1);
}

TEST_F(SettingsTest, TextOutsideTheAnsiCodePageSurvives) {
    const std::wstring path = L"C:\\\x65E5\x672C\x8A9E\\\x30D5\x30A1\x30A4\x30EB.txt";
    WriteString(File::History, L"RecentDoc", L"Doc", path.c_str(), 0);
    std::wstring back;
    EXPECT_TRUE(ReadString(File::History, L"RecentDoc", L"Doc", back, L"", 0));
    EXPECT_EQ(back, path);
    const std::string raw = ReadRaw(File::History);
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(raw.substr(0, 2), "\xFF\xFE");
    // An old ANSI file is converted before it is written to, keeping its keys.
    WriteRaw(File::Tools, "[Tool0]\r\nTitle=Build\r\n");
    WriteString(File::Tools, L"Tool0", L"Args", L"\x00E9\x4E2D");
    EXPECT_EQ(ReadRaw(File::Tools).substr(0, 2), "\xFF\xFE");
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
    EXPECT_EQ(back, L"Build");
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Args", back));
    EXPECT_EQ(back, L"\x00E9\x4E2D");
}

// A file without a mark is made Unicode before the first write: from UTF-8
// when it is valid UTF-8 (with or without its mark), else from ANSI.
TEST_F(SettingsTest, AHandWrittenUtf8FileKeepsItsText) {
    const std::wstring cafe = L"Caf\x00E9 \x4E2D\x6587 \xD83D\xDE00";
    WriteRaw(File::Tools, "[Tool0]\r\nTitle=Caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80\r\n");
    WriteString(File::Tools, L"Tool0", L"Args", L"x");
    std::wstring back;
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
    EXPECT_EQ(back, cafe);
    EXPECT_EQ(ReadRaw(File::Tools).substr(0, 2), "\xFF\xFE");
    WriteRaw(File::Tools, "\xEF\xBB\xBF[Tool0]\r\nTitle=Caf\xC3\xA9\r\n");
    WriteString(File::Tools, L"Tool0", L"Args", L"x");
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
    EXPECT_EQ(back, L"Caf\x00E9");
    // Not UTF-8 (a lone E9, a cut sequence, an encoded surrogate): ANSI.
    for (const std::string title : {"Caf\xE9", "ab\xE4\xB8", "\xED\xA0\x80z"}) {
        WriteRaw(File::Tools, "[Tool0]\r\nTitle=" + title + "\r\n");
        WriteString(File::Tools, L"Tool0", L"Args", L"x");
        std::wstring ansi(title.size(), L'\0');
        ansi.resize(size_t(MultiByteToWideChar(CP_ACP, 0, title.data(), int(title.size()), ansi.data(),
                                                int(ansi.size()))));
        EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
        EXPECT_EQ(back, ansi);
        EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Args", back));
        EXPECT_EQ(back, L"x");
    }
}

// Files in UTF-16 without the little-endian mark (big-endian, or no mark
// at all) are read as UTF-16, not rewritten from their bytes as 8-bit text.
TEST_F(SettingsTest, Utf16FilesWithoutTheLittleEndianMarkKeepTheirText) {
    const std::wstring text = L"[Tool0]\r\nTitle=Caf\x00E9 \x4E2D\r\n";
    std::string le, be;
    for (wchar_t c : text) {
        le += char(c & 0xFF), le += char(c >> 8);
        be += char(c >> 8), be += char(c & 0xFF);
    }
    for (const std::string& bytes : {le, "\xFE\xFF" + be, be}) {
        WriteRaw(File::Tools, bytes);
        std::wstring back;
        EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
        EXPECT_EQ(back, L"Caf\x00E9 \x4E2D");
        WriteString(File::Tools, L"Tool0", L"Args", L"x");
        EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
        EXPECT_EQ(back, L"Caf\x00E9 \x4E2D");
    }
    // Bytes that are no text at all hold no settings: they are kept as they
    // are beside the file, which starts again empty.
    const std::string binary("\x01\x00\x00\x00\x7F\x00\x00\x00\xFF\x00\x00\x00", 12);
    WriteRaw(File::Tools, binary);
    WriteString(File::Tools, L"Tool0", L"Args", L"x");
    EXPECT_EQ(testing_support::ReadFileText(PathOf(File::Tools) + L".bad"), binary);
    std::wstring args;
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Args", args));
    EXPECT_EQ(args, L"x");
    EXPECT_FALSE(ReadString(File::Tools, L"Tool0", L"Title", args));
}

// A hand-written UTF-8 file reads right before anything was ever written
// to it, so that writing back what was read keeps the text.
TEST_F(SettingsTest, AHandWrittenUtf8FileReadsRightBeforeTheFirstWrite) {
    WriteRaw(File::Tools, "[Tool0]\r\nTitle=Caf\xC3\xA9 \xE4\xB8\xAD\r\n");
    std::wstring back;
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
    EXPECT_EQ(back, L"Caf\x00E9 \x4E2D");
    WriteString(File::Tools, L"Tool0", L"Title", back.c_str());
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Title", back));
    EXPECT_EQ(back, L"Caf\x00E9 \x4E2D");
    // Reading a missing file creates nothing.
    EXPECT_EQ(ReadInt(File::History, L"Recent", L"Count", 7), 7);
    EXPECT_EQ(GetFileAttributesW(PathOf(File::History).c_str()), INVALID_FILE_ATTRIBUTES);
}

// Converting a file that has no room to grow keeps it as it was.
TEST_F(SettingsTest, AConversionThatFindsTheDiskFullKeepsTheFile) {
    const char* mount = std::getenv("MORROWPAD_FULL_DISK");
    if (!mount || !*mount) GTEST_SKIP() << "no small file system mounted: run as root through scripts/test.sh";
    std::wstring full = L"Z:";
    for (const char* p = mount; *p; ++p) full += *p == '/' ? L'\\' : wchar_t(*p);
    SetProgramFolder(full);
    std::string text = "[Tool0]\r\nTitle=Caf\xC3\xA9\r\n";
    for (int i = 0; text.size() < 40000; ++i) text += "Key" + std::to_string(i) + "=some value to fill the disk\r\n";
    WriteRaw(File::Tools, text);  // 40 KB of UTF-8 become 80 KB of UTF-16 on a 64 KB disk
    WriteString(File::Tools, L"Tool0", L"Args", L"x");
    EXPECT_EQ(ReadRaw(File::Tools), text);
    std::wstring back;
    EXPECT_TRUE(ReadString(File::Tools, L"Tool0", L"Key1", back));
    EXPECT_EQ(back, L"some value to fill the disk");
    DeleteFileW(PathOf(File::Tools).c_str());
    SetProgramFolder(folder_);
}

TEST_F(SettingsTest, HistoryValuesKeepTheirBlanks) {
    WriteHistory(File::History, L"Find", {L"  padded  ", L"#hash", L"plain"});
    const auto items = ReadHistory(File::History, L"Find");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], L"  padded  ");
    EXPECT_EQ(items[1], L"#hash");
    EXPECT_EQ(items[2], L"plain");
    // A value that begins with a blank and then "#" is returned unchanged;
    // empty values are skipped; reading stops at the first missing key.
    WriteUnicode(File::History, "[G]\r\nItem1=\" #x\"\r\nItem2=\r\nItem3=#y\r\nItem5=z\r\n");
    const auto g = ReadHistory(File::History, L"G");
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0], L" #x");
    EXPECT_EQ(g[1], L"y");
}

TEST_F(SettingsTest, FontSlotsHaveDefaultsAndMalformedValuesAreIgnored) {
    FontSpec f = ReadFontSlot(1441);
    EXPECT_EQ(FormatFont(f), L"Tahoma,8,0,0,0");
    EXPECT_EQ(FormatFont(ReadFontSlot(1435)), L"Courier New,8,0,0,0");
    WriteUnicode(File::Setting, "[Fonts]\r\nFont2=Consolas,11,1,0,5\r\nFont3=Broken,10,0,0\r\nFont4=\r\n");
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
    for (int i = 0; i < 320; ++i) {
        const unsigned b = unsigned(i * 7) & 255;
        char two[3];
        snprintf(two, sizeof two, "%02X", b);
        hex += two;
        sum += b;
    }
    char check[3];
    snprintf(check, sizeof check, "%02X", sum & 255);
    WriteUnicode(File::Setting, "[Theme]\r\nColors=" + hex + check + "\r\n");
    ASSERT_TRUE(ReadColors(table));
    EXPECT_EQ(table[1], COLORREF(0x312A231C));  // bytes 4..7: 28, 35, 42, 49, little-endian
    snprintf(check, sizeof check, "%02X", (sum + 1) & 255);
    WriteUnicode(File::Setting, "[Theme]\r\nColors=" + hex + check + "\r\n");
    EXPECT_FALSE(ReadColors(table));
    WriteUnicode(File::Setting, "[Theme]\r\nColors=" + hex.substr(0, 100) + "\r\n");
    EXPECT_FALSE(ReadColors(table));
}

#include "KeyBindings.h"

// The files a first start finds in the program folder.
TEST(ShippedDefaults, AreUnicodeAndComplete) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir = dir.substr(0, dir.find_last_of(L"\\/")) + L"\\defaults";
    SetProgramFolder(dir);
    for (File f : {File::Setting, File::History, File::Key, File::Tools}) {
        HANDLE h = CreateFileW(PathOf(f).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        unsigned char bom[2] = {};
        DWORD n = 0;
        ReadFile(h, bom, 2, &n, nullptr);
        CloseHandle(h);
        EXPECT_EQ(bom[0], 0xFF);
        EXPECT_EQ(bom[1], 0xFE);
    }
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
    EXPECT_EQ(t.CommandFor(keys::kCtrl | 'S'), 57603);
    EXPECT_EQ(t.CommandFor(keys::kCtrl | 'F'), 57636);
    EXPECT_EQ(t.CommandFor(0x72), 1240);  // F3: find next
    EXPECT_EQ(t.CommandFor(keys::kCtrl | 'G'), 1426);
    EXPECT_EQ(t.CommandFor(keys::kCtrl | VK_TAB), 1200);
    EXPECT_TRUE(ReadHistory(File::History, L"Find").empty());
}

// What the system's box shows of a text: long runs (a path, a damaged
// value) shortened in their middle, the whole bounded; short texts as given.
TEST(MessageBoxText, LongRunsAreShortenedInTheirMiddle) {
    const std::wstring path = L"C:\\" + std::wstring(300, L'a') + L"\\end.txt";
    const std::wstring shortened = shell::ShortenedForBox(L"Cannot load " + path + L" now.");
    EXPECT_EQ(shortened, L"Cannot load " + path.substr(0, 60) + L"\u2026" + path.substr(path.size() - 59) + L" now.");
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
