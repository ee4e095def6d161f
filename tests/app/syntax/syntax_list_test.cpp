// The syntax list read from syntax.ini in a throw-away program folder, with
// small definition scripts run by the system's script engine.
#include <gtest/gtest.h>

#include <windows.h>

#include "Resources.h"
#include "Settings.h"
#include "SyntaxList.h"
#include "SyntaxParser.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

const char kCommentScript[] =
    "Set p = Parser.CreateParser()\r\n"
    "p.AddRegion p.CreateRegion(1, \"+/*+\", \"+*/+\", False)\r\n";

class SyntaxListTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        static HMODULE language = LoadLibraryW((TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language);
    }
    static void TearDownTestSuite() { shell::SetResourceModule(nullptr); }
    void SetUp() override {
        folder_ = MakeTempFolder(L"synlist");
        CreateDirectoryW((folder_ + L"syntax").c_str(), nullptr);
        settings::SetProgramFolder(folder_);
        Messages().clear();
        syntax::Reload();
    }
    void TearDown() override {
        syntax::Reload();
        settings::SetProgramFolder(L"");
    }
    void Ini(const std::string& text) { ASSERT_TRUE(WriteFileText(folder_ + L"syntax.ini", text)); }
    void Script(const wchar_t* name, const std::string& text) {
        ASSERT_TRUE(WriteFileText(folder_ + L"syntax\\" + name, text));
    }
    std::wstring folder_;
};

}  // namespace

TEST_F(SyntaxListTest, EntriesAreReadWithTheirRules) {
    Script(L"c.vbs", kCommentScript);
    Ini("[Syntax]\r\nCount=7\r\n"
        "[Syntax0]\r\nTitle=C\r\nFile=c.vbs\r\nExt=c;cpp;h\r\nTemplate=c.c\r\nTab=-3\r\n"
        "[Syntax1]\r\nTitle=\r\nFile=c.vbs\r\nExt=x\r\n"            // no title: skipped
        "[Syntax2]\r\nTitle=NoFile\r\nExt=y\r\n"                    // no file: dropped
        "[Syntax3]\r\nTitle=Gone\r\nFile=missing.vbs\r\nExt=z\r\n"  // script missing: skipped
        "[Syntax4]\r\nTitle=Wide\r\nFile=c.vbs\r\nExt=cpp;w\r\nTab=99\r\n"
        "[Syntax5]\r\nTitle=NoExt\r\nFile=c.vbs\r\n"
        "[Syntax6]\r\nTitle=Make\r\nFile=c.vbs\r\nNames=Makefile;*.mk.in\r\n");  // names, no extensions
    ASSERT_EQ(syntax::EntryCount(), 4);
    const syntax::SyntaxEntry* c = syntax::Entry(0);
    EXPECT_EQ(c->title, L"C");
    EXPECT_EQ(c->extensions, L";c;cpp;h;");
    EXPECT_EQ(c->templateFile, L"c.c");
    EXPECT_EQ(c->tabSize, 4);
    EXPECT_EQ(syntax::Entry(1)->tabSize, 32);
    EXPECT_EQ(syntax::Entry(3)->names, L";Makefile;*.mk.in;");
    EXPECT_EQ(c->names, L";;");
    EXPECT_EQ(syntax::Entry(4), nullptr);
    EXPECT_EQ(syntax::Entry(-1), nullptr);
    EXPECT_EQ(syntax::FileTypeFilter(),
              shell::LanguageString(15020) +
                  L"(*.*)|*.*|C(*.c;*.cpp;*.h)|*.c;*.cpp;*.h|Wide(*.cpp;*.w)|*.cpp;*.w|" +
                  L"Make(Makefile;*.mk.in)|Makefile;*.mk.in|");
}

TEST_F(SyntaxListTest, ExtensionsMatchWholeAndIgnoringCaseAndTheFirstEntryWins) {
    Script(L"c.vbs", kCommentScript);
    Script(L"w.vbs", kCommentScript);
    Ini("[Syntax]\r\nCount=2\r\n[Syntax0]\r\nTitle=C\r\nFile=c.vbs\r\nExt=c;cpp\r\n"
        "[Syntax1]\r\nTitle=Wide\r\nFile=w.vbs\r\nExt=cpp;pp\r\n");
    ILexer* c = syntax::LexerByExtension(L"CPP");
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->Name(), L"C");
    EXPECT_EQ(syntax::LexerByExtension(L"c"), c);
    ILexer* wide = syntax::LexerByExtension(L"pp");
    ASSERT_NE(wide, nullptr);
    EXPECT_STREQ(wide->Name(), L"Wide");
    EXPECT_EQ(syntax::LexerByExtension(L"p"), nullptr);
    EXPECT_EQ(syntax::LexerByExtension(L""), nullptr);
    EXPECT_EQ(syntax::LexerByExtension(L"c;cpp"), nullptr);
    // Asking again, in another case, gives the same shared lexer.
    EXPECT_EQ(syntax::LexerByName(L"c"), c);
    EXPECT_EQ(syntax::EntryByLexerName(L"C"), syntax::Entry(0));
    EXPECT_EQ(syntax::EntryByLexerName(L"c"), nullptr);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(SyntaxListTest, AFailingScriptIsReportedOnceUntilTheNextReload) {
    Script(L"bad.vbs", "Set p = Parser.CreateParser()\r\n\r\np.NoSuchMethod 1\r\n");
    Script(L"none.vbs", "x = 1\r\n");
    Ini("[Syntax]\r\nCount=2\r\n[Syntax0]\r\nTitle=Bad\r\nFile=bad.vbs\r\nExt=bad\r\n"
        "[Syntax1]\r\nTitle=None\r\nFile=none.vbs\r\nExt=none\r\n");
    // The lexer made before the error is kept: the document is styled by what ran.
    ILexer* first = syntax::LexerByExtension(L"bad");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].text.find(L"bad.vbs"), std::wstring::npos);
    EXPECT_NE(Messages()[0].text.find(L"3"), std::wstring::npos);
    EXPECT_EQ(syntax::LexerByExtension(L"bad"), first);
    EXPECT_EQ(Messages().size(), 1u);
    // A script that creates no parser gives no lexer, and is not run again.
    EXPECT_EQ(syntax::LexerByName(L"None"), nullptr);
    EXPECT_EQ(syntax::LexerByName(L"None"), nullptr);
    syntax::Reload();
    Messages().clear();
    syntax::LexerByExtension(L"bad");
    EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(SyntaxListTest, TheLexerStylesWhatTheScriptDescribesAndReloadReadsTheFileAgain) {
    Script(L"c.vbs", kCommentScript);
    Ini("[Syntax]\r\nCount=1\r\n[Syntax0]\r\nTitle=C\r\nFile=c.vbs\r\nExt=c\r\n");
    ILexer* c = syntax::LexerByName(L"C");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(syntax::LexerByExtension(L"c"), c);
    unsigned short styles[7] = {};
    EXPECT_NE(c->LineState(0, L"a /* b", 6, 0, styles), 0);
    EXPECT_EQ((std::vector<int>{styles[0] & 31, styles[2] & 31, styles[5] & 31}),
              (std::vector<int>{0, 1, 1}));
    Ini("[Syntax]\r\nCount=1\r\n[Syntax0]\r\nTitle=D\r\nFile=c.vbs\r\nExt=d\r\n");
    syntax::Reload();
    EXPECT_EQ(syntax::LexerByExtension(L"c"), nullptr);
    ILexer* d = syntax::LexerByExtension(L"d");
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->Name(), L"D");
}

TEST_F(SyntaxListTest, NoFileOrNoEntriesGiveAnEmptyList) {
    EXPECT_EQ(syntax::EntryCount(), 0);
    EXPECT_EQ(syntax::LexerByExtension(L"c"), nullptr);
    EXPECT_EQ(syntax::FileTypeFilter(), shell::LanguageString(15020) + L"(*.*)|*.*|");
    Ini("[Syntax]\r\nCount=abc\r\n[Syntax0]\r\nTitle=C\r\nFile=c.vbs\r\n");
    syntax::Reload();
    EXPECT_EQ(syntax::EntryCount(), 0);
}
