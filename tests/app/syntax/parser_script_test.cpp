// The syntax scripts' object model: scripts build lexers through "Parser",
// and the resulting rule trees are checked directly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineChoice.h"
#include "MessageSink.h"
#include "ParserScript.h"
#include "Resources.h"
#include "ScriptHost.h"
#include "TestSupport.h"

using namespace syntax;
using testing_support::Messages;

namespace {

using Parsers = std::vector<std::unique_ptr<CSyntaxParser>>;

bool Matches(const Regex* expr, const std::wstring& text) { return expr && expr->Search(text).Matched(); }

// "id/style begin end case": a literal begin or end as <text>, an expression
// as ~, none as -; "case" or "nocase"; a string region adds its quote and
// escape (0 for none).
std::string Shape(const CSyntaxRegion* r) {
    const auto part = [](const std::wstring& literal, const Regex* expr) {
        return !literal.empty() ? "<" + std::string(literal.begin(), literal.end()) + ">" : expr ? "~" : "-";
    };
    std::string s = std::to_string(r->id) + "/" + std::to_string(r->style) + " " +
                    part(r->beginLiteral, r->beginExpr.get()) + " " + part(r->endLiteral, r->endExpr.get()) +
                    (r->caseSensitive ? " case" : " nocase");
    if (const auto* q = dynamic_cast<const CStringRegion*>(r))
        s += " " + std::string{char(q->quote), char(q->escape ? q->escape : '0')};
    return s;
}

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = wchar_t(towlower(c));
    return s;
}

class ParserScriptTest : public ::testing::TestWithParam<int> {
   protected:
    // The engine this run of the case uses.
    testing_support::EngineChoiceScope engine_{GetParam()};

    void SetUp() override {
        static HMODULE language = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        ASSERT_NE(language, nullptr);
        shell::SetResourceModule(language);
        folder_ = testing_support::MakeTempFolder(L"parser");
        ASSERT_FALSE(folder_.empty());
        Messages().clear();
    }
    void TearDown() override {
        Messages().clear();
        SetScriptTimeLimit(5000);
    }

    bool Run(const std::string& script, Parsers& parsers, const wchar_t* name = L"def.vbs") {
        path_ = folder_ + name;
        EXPECT_TRUE(testing_support::WriteFileText(path_, script));
        return RunParserScript(path_, parsers);
    }

    std::wstring folder_, path_;
};

TEST_P(ParserScriptTest, AScriptBuildsRegionsItemsAndFoldTextsIntoTheTree) {
    Parsers parsers;
    ASSERT_TRUE(
        Run("Set p = createparser()\r\n"                             // a global member, in any case
            "Set line = p.CreateRegion(1, \"//\", \"\", False)\r\n"  // before any multi-line region
            "Set block = p.CreateRegion(33, \"+/*+\", \"+*/+\", False)\r\n"
            "Set str = p.CreateStringRegion(3, \"\"\"x\", \"\\\", False)\r\n"
            "Set chars = p.CreateStringRegion(4, \"'\", \"\", True)\r\n"
            "Set kw = p.createitem(5, \"\\b(if|else)\\b\", True)\r\n"
            "Set num = p.CreateItem(38, \"[0-9]+\", False)\r\n"
            "Set todo = p.CreateItem(2, \"todo\", False)\r\n"
            "p.AddRegion block\r\n"
            "p.AddRegion line\r\n"
            "p.ADDREGION str\r\n"
            "p.AddItem kw\r\n"
            "p.AddItem num\r\n"
            "p.AddItem Nothing\r\n"
            "p.AddRegion Nothing\r\n"
            "block.AddItem todo\r\n"
            "block.AddRegion chars\r\n"
            "block.FoldText \"\\(\", False\r\n"
            "p.FoldText \"\\{\", False\r\n"
            "p.UnfoldText \"\\}\", True\r\n"
            "p.FoldText \"begin\", False\r\n",  // replaces the first
            parsers));
    EXPECT_TRUE(Messages().empty());
    ASSERT_EQ(parsers.size(), 1u);
    CSyntaxRegion* root = parsers[0]->Root();
    EXPECT_EQ(root->id, 0);
    EXPECT_EQ(root->parent, nullptr);
    ASSERT_EQ(root->children.size(), 3u);
    CSyntaxRegion* block = root->children[0];
    CSyntaxRegion* line = root->children[1];
    CSyntaxRegion* str = root->children[2];

    ASSERT_EQ(block->children.size(), 1u);
    CSyntaxRegion* chars = block->children[0];
    EXPECT_EQ(block->parent, root);
    EXPECT_EQ(line->parent, root);
    EXPECT_EQ(chars->parent, block);
    // Identifiers: single-line regions 60; multi-line ones count from 1 in
    // creation order, whatever came before them. Styles keep their low five
    // bits; "+/*+" is literal text, "//" an expression, "" nothing; a string
    // region keeps the first character of its quote and escape.
    EXPECT_EQ(Shape(line), "60/1 ~ - nocase");
    EXPECT_EQ(Shape(block), "1/1 </*> <*/> nocase");
    EXPECT_EQ(Shape(str), "60/3 - - nocase \"\\");
    EXPECT_EQ(Shape(chars), "2/4 - - nocase '0");
    EXPECT_TRUE(Matches(line->beginExpr.get(), L"a // b"));

    // Items in the order added, their case rule their own.
    ASSERT_EQ(root->items.size(), 2u);
    EXPECT_EQ(root->items[0]->style, 5);
    EXPECT_EQ(root->items[1]->style, 6);  // 38 & 31
    EXPECT_TRUE(Matches(root->items[0]->expr.get(), L"x if y"));
    EXPECT_FALSE(Matches(root->items[0]->expr.get(), L"x IF y"));
    EXPECT_TRUE(Matches(root->items[1]->expr.get(), L"a1"));
    ASSERT_EQ(block->items.size(), 1u);
    EXPECT_TRUE(Matches(block->items[0]->expr.get(), L"TODO"));

    // Fold texts: the last one given counts.
    EXPECT_TRUE(Matches(root->fold.get(), L"BEGIN"));
    EXPECT_FALSE(Matches(root->fold.get(), L"{"));
    EXPECT_TRUE(Matches(root->unfold.get(), L"}"));
    EXPECT_TRUE(Matches(block->fold.get(), L"("));
    EXPECT_EQ(block->unfold, nullptr);
    EXPECT_EQ(line->fold, nullptr);
}

TEST_P(ParserScriptTest, TwoPlusSignsAreAnExpressionAndRegionsNotAddedStayOutOfTheTree) {
    Parsers parsers;
    ASSERT_TRUE(
        Run("Set p = Parser.CreateParser()\r\n"
            "Set plus = p.CreateRegion(9, \"++\", \"+end+\", True)\r\n"
            "Set lit = p.CreateRegion(9, \"+++\", \"\", True)\r\n"
            "p.AddRegion lit\r\n",
            parsers));
    ASSERT_EQ(parsers.size(), 1u);
    CSyntaxRegion* root = parsers[0]->Root();
    ASSERT_EQ(root->children.size(), 1u);
    EXPECT_EQ(Shape(root->children[0]), "60/9 <+> - case");  // "+++": the text "+"
    // The unadded "++" region still took identifier 1, so nothing else did.
    Parsers more;
    ASSERT_TRUE(
        Run("Set p = Parser.CreateParser()\r\n"
            "Set plus = p.CreateRegion(9, \"++\", \"+end+\", True)\r\n"
            "p.AddRegion plus\r\n",
            more));
    EXPECT_EQ(Shape(more[0]->Root()->children.at(0)), "1/9 ~ <end> case");
}

TEST_P(ParserScriptTest, EachParserOfAScriptCountsItsOwnRegionsAndAllAreHandedOverInOrder) {
    Parsers parsers;
    parsers.push_back(std::make_unique<CSyntaxParser>());  // what the caller had stays first
    ASSERT_TRUE(
        Run("Set a = Parser.CreateParser()\r\n"
            "Set b = Parser.CreateParser()\r\n"
            "b.AddRegion b.CreateRegion(1, \"x\", \"y\", False)\r\n"
            "b.AddRegion b.CreateRegion(1, \"x\", \"y\", False)\r\n"
            "a.AddRegion a.CreateRegion(1, \"x\", \"y\", False)\r\n",
            parsers));
    ASSERT_EQ(parsers.size(), 3u);
    EXPECT_TRUE(parsers[0]->Root()->children.empty());
    ASSERT_EQ(parsers[1]->Root()->children.size(), 1u);
    EXPECT_EQ(parsers[1]->Root()->children[0]->id, 1);
    ASSERT_EQ(parsers[2]->Root()->children.size(), 2u);
    EXPECT_EQ(parsers[2]->Root()->children[0]->id, 1);
    EXPECT_EQ(parsers[2]->Root()->children[1]->id, 2);
}

TEST_P(ParserScriptTest, PastFiftyNineOpenRegionsFurtherRegionsCloseWithTheirLine) {
    Parsers parsers;
    ASSERT_TRUE(
        Run("Set p = Parser.CreateParser()\r\n"
            "For i = 1 To 61\r\n"
            "  p.AddRegion p.CreateRegion(1, \"a\" & i, \"b\", False)\r\n"
            "Next\r\n"
            "p.AddRegion p.CreateStringRegion(3, \"'\", \"\", True)\r\n",
            parsers));
    const auto& children = parsers.at(0)->Root()->children;
    ASSERT_EQ(children.size(), 62u);
    for (int i = 0; i < 59; ++i) EXPECT_EQ(children[i]->id, i + 1);
    EXPECT_EQ(children[59]->id, kLineRegion);
    EXPECT_EQ(children[60]->id, kLineRegion);
    EXPECT_EQ(children[61]->id, kLineRegion);
}

TEST_P(ParserScriptTest, ObjectsThatAreNotRegionsOrItemsOfTheSameParserAreRefused) {
    // Each refusal is a script error the script can catch; the tree stays as
    // it was. Results go into a third parser as region texts.
    const struct {
        const char* call;
        const char* what;
    } calls[] = {{"p.AddRegion i", "item as region=True"},
                 {"p.AddItem r", "region as item=True"},
                 {"p.AddRegion dict", "foreign object=True"},
                 {"p.AddRegion p", "parser as region=True"},
                 {"p.AddRegion other", "other parser's region=True"},
                 {"r.AddItem otherItem", "other parser's item=True"},
                 {"p.AddRegion 5", "number=True"},
                 {"r.AddRegion inner", "nested=False"},
                 {"inner.AddRegion r", "cycle=True"},
                 {"r.AddRegion r", "itself=True"},
                 {"p.AddRegion r", "fine=False"}};
    std::string script =
        "On Error Resume Next\r\nSet p = Parser.CreateParser()\r\nSet q = Parser.CreateParser()\r\n"
        "Set results = Parser.CreateParser()\r\nSub Note(what)\r\n"
        "  results.AddRegion results.CreateRegion(0, what & \"=\" & (Err.Number <> 0), \"\", False)\r\n"
        "  Err.Clear\r\nEnd Sub\r\nSet r = p.CreateRegion(1, \"a\", \"b\", False)\r\n"
        "Set inner = p.CreateRegion(1, \"c\", \"d\", False)\r\nSet i = p.CreateItem(2, \"x\", False)\r\n"
        "Set other = q.CreateRegion(1, \"a\", \"b\", False)\r\nSet otherItem = q.CreateItem(1, \"a\", "
        "False)\r\n"
        "Set dict = CreateObject(\"Scripting.Dictionary\")\r\n";
    std::vector<std::wstring> expected;
    for (const auto& c : calls) {
        const std::string what(c.what);
        script += std::string(c.call) + "\r\nNote \"" + what.substr(0, what.find('=')) + "\"\r\n";
        expected.emplace_back(what.begin(), what.end());
    }
    Parsers parsers;
    ASSERT_TRUE(Run(script, parsers));
    ASSERT_EQ(parsers.size(), 3u);
    std::vector<std::wstring> log;
    for (CSyntaxRegion* r : parsers[2]->Root()->children) log.push_back(r->beginText);
    EXPECT_EQ(log, expected);
    CSyntaxRegion* root = parsers[0]->Root();
    ASSERT_EQ(root->children.size(), 1u);
    EXPECT_TRUE(root->items.empty());
    CSyntaxRegion* r = root->children[0];
    EXPECT_EQ(r->parent, root);
    ASSERT_EQ(r->children.size(), 1u);
    EXPECT_TRUE(r->items.empty());
    EXPECT_TRUE(r->children[0]->children.empty());
    EXPECT_TRUE(parsers[1]->Root()->children.empty());
    EXPECT_TRUE(Messages().empty());
}

TEST_P(ParserScriptTest, AScriptErrorIsReportedWithFileAndLineAndKeepsTheParsersMadeBeforeIt) {
    Parsers parsers;
    EXPECT_FALSE(
        Run("Set p = Parser.CreateParser()\r\n"
            "Set i = p.CreateItem(2, \"x\", False)\r\n"
            "p.AddRegion i\r\n"
            "Set q = Parser.CreateParser()\r\n",
            parsers));
    EXPECT_EQ(parsers.size(), 1u);
    ASSERT_EQ(Messages().size(), 1u);
    const std::wstring& text = Messages()[0].text;
    EXPECT_NE(Lower(text).find(Lower(path_)), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"Line 3"), std::wstring::npos) << text;
    EXPECT_EQ(Messages()[0].type & MB_ICONMASK, UINT(MB_ICONWARNING));

    Messages().clear();
    EXPECT_FALSE(Run("Set p = Parser.CreateParser()\r\np.CreateRegion 1, \"a\"\r\n", parsers, L"few.vbs"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].text.find(L"Line 2"), std::wstring::npos) << Messages()[0].text;
    EXPECT_EQ(parsers.size(), 2u);
}

TEST_P(ParserScriptTest, AMissingScriptIsReportedAndGivesNoParser) {
    Parsers parsers;
    EXPECT_FALSE(RunParserScript(folder_ + L"absent.vbs", parsers));
    EXPECT_TRUE(parsers.empty());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, shell::FormatLanguageString(15100, {folder_ + L"absent.vbs"}));
    EXPECT_EQ(Messages()[0].type & MB_ICONMASK, UINT(MB_ICONERROR));
}

DWORD g_sinkThread = 0;
int ThreadSink(HWND, const wchar_t* text, const wchar_t*, UINT type) {
    g_sinkThread = GetCurrentThreadId();
    Messages().push_back({nullptr, text, L"", type});
    return IDOK;
}

TEST_P(ParserScriptTest, MessagesAreShownFromTheCallersThread) {
    shell::MessageSink previous = shell::SetMessageSink(&ThreadSink);
    Parsers parsers;
    EXPECT_FALSE(Run("x = 1 / 0\r\n", parsers));
    shell::SetMessageSink(previous);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(g_sinkThread, GetCurrentThreadId());
}

// An endless script is stopped after the limit and reported once; the
// process stays healthy and the next script runs normally.
TEST_P(ParserScriptTest, AScriptThatNeverEndsIsStoppedAndReportedOnce) {
    SetScriptTimeLimit(1000);
    CreateDirectoryW((folder_ + L"sub").c_str(), nullptr);
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"sub\\endless.vbs", "Do\r\nLoop\r\n"));
    const char* loops[] = {
        "Set p = Parser.CreateParser()\r\nDo\r\nLoop\r\n",
        "Set p = Parser.CreateParser()\r\nDo While True\r\n  p.CreateItem 1, \"x\", False\r\nLoop\r\n",
        "On Error Resume Next\r\nSet p = Parser.CreateParser()\r\nDo\r\n  p.AddRegion p.CreateRegion(1, "
        "\"a\", \"b\", False)\r\nLoop\r\n",
        "Include \"sub\\endless.vbs\"\r\n",
        "s = \"\"\r\nWhile True\r\n  s = s & \"x\"\r\n  If Len(s) > 1000 Then s = \"\"\r\nWend\r\n",
    };
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    int n = 0;
    for (const char* loop : loops) {
        SCOPED_TRACE(loop);
        Messages().clear();
        Parsers parsers;
        const DWORD start = GetTickCount();
        EXPECT_FALSE(Run(loop, parsers, (L"loop" + std::to_wstring(++n) + L".vbs").c_str()));
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_GE(elapsed, 900u);
        EXPECT_LT(elapsed, 3500u);  // the limit, a short grace, stopping
        EXPECT_TRUE(parsers.empty());
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_EQ(Messages()[0].text, shell::FormatLanguageString(15109, {path_, L"1"}));
        EXPECT_NE(Messages()[0].text.find(L"loop"), std::wstring::npos) << Messages()[0].text;
        EXPECT_EQ(Messages()[0].type & MB_ICONMASK, UINT(MB_ICONWARNING));
        wchar_t now[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, now);
        EXPECT_STREQ(now, cwd);
    }
    Messages().clear();
    Parsers parsers;
    EXPECT_TRUE(Run("Set p = Parser.CreateParser()\r\np.AddRegion p.CreateRegion(1, \"a\", \"b\", False)\r\n",
                    parsers, L"after.vbs"));
    ASSERT_EQ(parsers.size(), 1u);
    EXPECT_EQ(parsers[0]->Root()->children.size(), 1u);
    EXPECT_TRUE(Messages().empty());
}

}  // namespace

TEST_P(ParserScriptTest, ASyntaxScriptCannotOpenAMessageBox) {
    // It runs while the editor waits: a box would hang the editor until the
    // time limit. The call fails as a script error instead.
    Parsers parsers;
    const DWORD start = GetTickCount();
    EXPECT_FALSE(Run("Set p = Parser.CreateParser()\r\nMsgBox \"hello\"\r\n", parsers));
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(parsers.size(), 1u);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].text.find(L"Line 2"), std::wstring::npos) << Messages()[0].text;
}

INSTANTIATE_TEST_SUITE_P(Engines, ParserScriptTest, testing_support::kBothEngines,
                         testing_support::EngineParamName);
