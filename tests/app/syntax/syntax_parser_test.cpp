// The highlighter over rule trees built in code: line states, styles and
// fold levels of the edge cases, the result lexer, styling through a real
// edit control, and the fast walk against a plain position-by-position one.

#include <gtest/gtest.h>

#include <algorithm>

#include <random>
#include <string>
#include <vector>

#include "../../edit/view/EditHarness.h"
#include "SyntaxParser.h"

using syntax::CSyntaxParser;
using syntax::CSyntaxRegion;

namespace {

// One line lexed: its end state, and per unit the style class written as a
// character ('0'-'9', then 'a' for 10 and on) and the region bits.
struct Lexed {
    int state = 0;
    std::string styles;
    std::vector<int> regions;
    std::vector<unsigned short> raw;
};

char ClassChar(int c) { return char(c < 10 ? '0' + c : 'a' + c - 10); }

Lexed Lex(CSyntaxParser& p, const std::wstring& text, int prev = 0, unsigned short fill = 0) {
    Lexed r;
    r.raw.assign(text.size() + 1, fill);
    r.state = p.LineState(0, text.c_str(), int(text.size()), prev, r.raw.data());
    for (size_t i = 0; i < text.size(); ++i) {
        r.styles += ClassChar(r.raw[i] & 31);
        r.regions.push_back((r.raw[i] >> 9) & 63);
    }
    return r;
}

// The styles, '@', and the end state: "5550@1".
std::string Styled(CSyntaxParser& p, const std::wstring& text, int prev = 0, unsigned short fill = 0) {
    const Lexed r = Lex(p, text, prev, fill);
    return r.styles + "@" + std::to_string(r.state);
}

int Fold(CSyntaxParser& p, const std::wstring& text, int level, int prev = 0) {
    std::vector<unsigned short> st(text.size() + 1, 0);
    const int state = p.LineState(0, text.c_str(), int(text.size()), prev, nullptr);
    return p.FoldLevel(0, text.c_str(), int(text.size()), state, prev, level, st.data());
}

// A C-like tree: /* */ comment (id 1, style 2), // line comment (style 1),
// "..." string (style 3, backslash escape, single-line), keywords (style 5).
struct CLike {
    CSyntaxParser p;
    CSyntaxRegion* comment = p.CreateRegion(1, 2, L"+/*+", L"+*/+", true);
    CSyntaxRegion* line = p.CreateRegion(60, 1, L"+//+", L"", true);
    CSyntaxRegion* str = p.CreateStringRegion(60, 3, L'"', L'\\');
    CLike() {
        p.Root()->AddRegion(comment);
        p.Root()->AddRegion(line);
        p.Root()->AddRegion(str);
        p.Root()->AddItem(p.CreateItem(5, L"\\b(int|return)\\b", true));
    }
};

}  // namespace

TEST(Highlighter, BlockCommentRunsAcrossLinesAndClosesWithItsEnd) {
    CLike c;
    Lexed a = Lex(c.p, L"int x; /* open");
    EXPECT_EQ(Styled(c.p, L"int x; /* open"), "55500002222222@1");
    EXPECT_EQ(std::vector<int>(a.regions.begin() + 6, a.regions.begin() + 8), (std::vector<int>{0, 1}));
    Lexed b = Lex(c.p, L"still int */ int y", 1);
    EXPECT_EQ(Styled(c.p, L"still int */ int y", 1), "222222222222055500@0");
    EXPECT_EQ(std::vector<int>(b.regions.begin() + 11, b.regions.begin() + 13), (std::vector<int>{1, 0}));
    // A whole line inside it, and an empty one, keep the state.
    EXPECT_EQ(Styled(c.p, L"int", 1), "222@1");
    EXPECT_EQ(Lex(c.p, L"", 1).state, 1);
    // Opening and closing on one line.
    EXPECT_EQ(Styled(c.p, L"a /**/ b /* x */"), "0022220002222222@0");
}

TEST(Highlighter, LineRegionsCloseWithTheirLine) {
    CLike c;
    EXPECT_EQ(Styled(c.p, L"int a; // int b /* c"), "55500001111111111111@0");
    EXPECT_EQ(Lex(c.p, L"int a; // int b /* c").regions[8], 60);
    // Nested in a multi-line region, the line comment hands back its
    // parent's identifier.
    CSyntaxParser p;
    CSyntaxRegion* block = p.CreateRegion(7, 4, L"+<<+", L"+>>+", true);
    CSyntaxRegion* line = p.CreateRegion(60, 1, L"+//+", L"", true);
    p.Root()->AddRegion(block);
    block->AddRegion(line);
    EXPECT_EQ(Styled(p, L"x << y // z"), "00444441111@7");
    EXPECT_EQ(Styled(p, L"// >> q", 7), "1111111@7");
    EXPECT_EQ(Styled(p, L"q >> //", 7), "4444000@0");
    // A region closing with its line on an empty line.
    EXPECT_EQ(Lex(c.p, L"//").state, 0);
    // States of 60 and above, and identifiers nobody has, start in the root.
    for (int prev : {60, 200, 9, -1}) EXPECT_EQ(Styled(c.p, L"int */", prev), "555000@0") << prev;
}

TEST(Highlighter, StringsHonourTheirEscapeAndAnUnclosedOneEndsWithTheLine) {
    CLike c;
    EXPECT_EQ(Styled(c.p, L"s = \"a\\\"b\" + int"), "0000333333000555@0");
    EXPECT_EQ(Styled(c.p, L"s = \"ab\\\" int"), "0000333333333@0");
    // A backslash at the line's end does not read past it.
    EXPECT_EQ(Lex(c.p, L"\"\\").styles, "33");
    // Inside an open region the next line starts in that region.
    CSyntaxParser p;
    CSyntaxRegion* block = p.CreateRegion(3, 2, L"+{{+", L"+}}+", true);
    CSyntaxRegion* str = p.CreateStringRegion(60, 3, L'\'', L'\\');
    CSyntaxRegion* multi = p.CreateStringRegion(4, 4, L'`', 0);
    p.Root()->AddRegion(block);
    p.Root()->AddRegion(multi);
    block->AddRegion(str);
    EXPECT_EQ(Styled(p, L"{{ 'x }} y"), "2223333333@3");
    // A multi-line string stays open.
    EXPECT_EQ(Styled(p, L"a `b \\"), "004444@4");
    EXPECT_EQ(Styled(p, L"c` {{", 4), "44022@3");
}

TEST(Highlighter, ItemsPaintOnlyWithinTheirRegion) {
    CSyntaxParser p;
    CSyntaxRegion* tag = p.CreateRegion(60, 9, L"+<+", L"+>+", true);
    p.Root()->AddRegion(tag);
    tag->AddItem(p.CreateItem(5, L"b>c", true));  // runs past the tag's end
    tag->AddItem(p.CreateItem(6, L"ab", true));
    tag->AddItem(p.CreateItem(7, L"b", true));  // later items overwrite
    p.Root()->AddItem(p.CreateItem(12, L"[a-z]+", true));
    // The root's item does not show inside a tag: the tag paints after it.
    EXPECT_EQ(Styled(p, L"x<ab>cd<b"), "c9679cc97@0");
    // Once a match crosses the end the item stops: the shorter match
    // inside is not looked for.
    CSyntaxParser q;
    CSyntaxRegion* t2 = q.CreateRegion(60, 9, L"+<+", L"+>+", true);
    q.Root()->AddRegion(t2);
    t2->AddItem(q.CreateItem(5, L"z|a.*|b", true));
    EXPECT_EQ(Lex(q, L"<zab>x").styles, "959990");
}

TEST(Highlighter, FoldMarksRaiseAndLowerTheNextLinesLevel) {
    CLike c;
    c.p.Root()->SetFold(syntax::CompilePattern(L"\\{", true));
    c.p.Root()->SetUnfold(syntax::CompilePattern(L"\\}", true));
    c.p.Root()->AddItem(c.p.CreateItem(4, L"'.'", true));
    c.p.Root()->AddItem(c.p.CreateItem(6, L"#\\{", true));
    EXPECT_EQ(Fold(c.p, L"int f() {", 0), 1);
    EXPECT_EQ(Fold(c.p, L"} else {", 1), 1);
    EXPECT_EQ(Fold(c.p, L"x", 3), 3);
    // A brace an item styled as class 1-4 is not counted; other classes are.
    EXPECT_EQ(Fold(c.p, L"c = '{';", 2), 2);
    EXPECT_EQ(Fold(c.p, L"c = '}'; }", 2), 1);
    EXPECT_EQ(Fold(c.p, L"x = #{", 0), 1);
    // Marks are counted once the line is painted: a brace in a comment or a
    // string that opens and closes on the line is not counted.
    EXPECT_EQ(Fold(c.p, L"/* { */", 0), 0);
    EXPECT_EQ(Fold(c.p, L"s = \"{\"; f(/*}*/) {", 0), 1);
    // A region counts only the marks within its own extent, once, also when
    // a child swallowed its end and the pass began again.
    {
        CSyntaxParser t;
        CSyntaxRegion* tag = t.CreateRegion(60, 9, L"+<+", L"+>+", true);
        CSyntaxRegion* value = t.CreateStringRegion(60, 3, L'"', 0);
        tag->SetFold(syntax::CompilePattern(L"x", true));
        tag->AddRegion(value);
        t.Root()->AddRegion(tag);
        EXPECT_EQ(Fold(t, L"<a> x", 0), 0);
        EXPECT_EQ(Fold(t, L"<x \"a>\" >", 0), 1);
    }
    // A child that isolates its folds counts its own marks, its parent none
    // in it: a preprocessor line's brace is not a block.
    {
        CLike d;
        d.p.Root()->SetFold(syntax::CompilePattern(L"\\{", true));
        d.p.Root()->SetUnfold(syntax::CompilePattern(L"\\}", true));
        CSyntaxRegion* pre = d.p.CreateRegion(60, 9, L"^\\s*#", L"[^\\\\]$", true);
        pre->SetFold(syntax::CompilePattern(L"^\\s*#\\s*if", true));
        pre->isolateFolds = true;
        d.p.Root()->AddRegion(pre);
        EXPECT_EQ(Fold(d.p, L"#define OPEN {", 0), 0);
        EXPECT_EQ(Fold(d.p, L"#if X {", 0), 1);
        EXPECT_EQ(Fold(d.p, L"x = { #", 0), 1);
    }
    // Never below 0.
    EXPECT_EQ(Fold(c.p, L"}", 0), 0);
    EXPECT_EQ(Fold(c.p, L"} } }", 1), 0);
    // The states decide when the marks cancel out or there are none: a
    // comment opening raises, its closing lowers; its lines count no marks.
    EXPECT_EQ(Fold(c.p, L"a /* b", 0), 1);
    EXPECT_EQ(Fold(c.p, L"{ } x", 1, 1), 1);
    EXPECT_EQ(Fold(c.p, L"{ x", 1, 1), 1);
    EXPECT_EQ(Fold(c.p, L"c */ d", 1, 1), 0);
    EXPECT_EQ(Fold(c.p, L"c */ {", 1, 1), 2);
    // Marks beat the states.
    EXPECT_EQ(Fold(c.p, L"} /* x", 2), 1);
    // The fold call fills the style array as the state call does.
    std::vector<unsigned short> st(4, 0);
    c.p.FoldLevel(0, L"int", 3, 0, 0, 0, st.data());
    EXPECT_EQ(st[0] & 31, 5);
}

TEST(Highlighter, EmptyMatchesOfItemsAndMarksMoveOn) {
    CSyntaxParser p;
    p.Root()->AddItem(p.CreateItem(5, L"x*", true));
    p.Root()->AddItem(p.CreateItem(6, L"(?=y)", true));
    p.Root()->SetFold(syntax::CompilePattern(L"a*", true));
    p.Root()->SetUnfold(syntax::CompilePattern(L"$", true));
    EXPECT_EQ(Lex(p, L"axxbyx").styles, "055005");
    // "a*" matches the run "aa", then empty before b, c, d and at the end:
    // five marks; "$" once.
    std::wstring t = L"aabcd";
    std::vector<unsigned short> st(t.size() + 1, 0);
    const int level = p.FoldLevel(0, t.c_str(), int(t.size()), 0, 0, 10, st.data());
    EXPECT_EQ(level, 10 + 5 - 1);
    EXPECT_EQ(Lex(p, L"").state, 0);
}

TEST(Highlighter, AChildThatSwallowsTheParentsEndMakesItLookAgain) {
    CSyntaxParser p;
    CSyntaxRegion* tag = p.CreateRegion(1, 9, L"+<+", L"+>+", true);
    CSyntaxRegion* str = p.CreateStringRegion(60, 3, L'"', 0);
    p.Root()->AddRegion(tag);
    tag->AddRegion(str);
    tag->AddItem(p.CreateItem(5, L"b>", true));
    EXPECT_EQ(Styled(p, L"<a t=\">\" b> c"), "9999933395500@0");
    // Looking again finds no end: the tag stays open.
    EXPECT_EQ(Styled(p, L"<a \">\" b"), "99933399@1");
}

// Two levels down: a string's interpolation holds a string that swallows
// the interpolation's end; the interpolation looks again and ends after it.
// No child begins inside the interpolation's own begin: its "{" opens no
// braces.
TEST(Highlighter, ASwallowedEndIsLookedForAgainTwoLevelsDown) {
    CSyntaxParser p;
    CSyntaxRegion* str = p.CreateStringRegion(2, 3, L'"', L'\\');
    CSyntaxRegion* hole = p.CreateRegion(3, 15, L"#\\{", L"\\}", true);
    CSyntaxRegion* inner = p.CreateStringRegion(60, 4, L'\'', L'\\');
    p.Root()->AddRegion(str);
    str->AddRegion(hole);
    CSyntaxRegion* braces = p.CreateRegion(4, 14, L"+{+", L"+}+", true);
    hole->AddRegion(inner);
    hole->AddRegion(braces);
    const struct {
        const wchar_t* text;
        const char* styles;
    } cases[] = {
        {L"x = \"a #{f('}')} c\"", "0000333ffff444ff333@0"},
        {L"\"#{'}'}\" + 1", "3ff444f30000@0"},
        {L"\"#{a} b\" + 1", "3ffff3330000@0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Styled(p, c.text), c.styles) << testing::PrintToString(std::wstring(c.text));
}

TEST(Highlighter, OnlyOneLevelIsResumedAfterTheStartRegionCloses) {
    CSyntaxParser p;
    CSyntaxRegion* outer = p.CreateRegion(1, 5, L"+[+", L"+]+", true);
    CSyntaxRegion* inner = p.CreateRegion(2, 6, L"+(+", L"+)+", true);
    p.Root()->AddRegion(outer);
    outer->AddRegion(inner);
    EXPECT_EQ(Lex(p, L"[ (").state, 2);
    EXPECT_EQ(Styled(p, L") x ( y", 2), "6555666@2");        // inner closes, outer goes on
    EXPECT_EQ(Styled(p, L") ] x (y", 2, 31), "655vvvvv@0");  // both close: the rest stays unstyled
}

// Lines lexed in order, each from the state the one before ended in: the
// style strings joined by '|'.
std::string LexLines(CSyntaxParser& p, const std::vector<std::wstring>& lines, int* lastState = nullptr) {
    std::string out;
    int state = 0;
    for (const std::wstring& l : lines) {
        const Lexed x = Lex(p, l, state);
        state = x.state;
        out += (out.empty() ? "" : "|") + x.styles;
    }
    if (lastState) *lastState = state;
    return out;
}

TEST(Highlighter, RegionsEndAsTheTextThatBeganThemSays) {
    // A bracket comment closes with as many '=' as it opened with; a
    // here-document with its word; quote-like operators with the delimiter
    // they chose, nested pairs counted, in one or two parts; a skip keeps a
    // string from starting and a region from ending; a line region ends at a
    // line that is not continued.
    CSyntaxParser p;
    CSyntaxRegion* bracket = p.CreateMatchedRegion(1, 1, L"#\\[(=*)\\[", L"+]\\1]+", true);
    CSyntaxRegion* here = p.CreateMatchedRegion(2, 4, L"<<(\\w+)", L"^\\1$", true);
    CSyntaxRegion* q = p.CreateQuoteRegion(3, 3, L"\\bq\\s*([^\\w\\s])", L'\\', 1);
    CSyntaxRegion* s = p.CreateQuoteRegion(4, 4, L"\\bs\\s*([^\\w\\s])", L'\\', 2);
    s->suffix = syntax::CompilePattern(L"[a-z]+", true);
    CSyntaxRegion* dq = p.CreateStringRegion(5, 3, L'"', 0);
    CSyntaxRegion* recipe = p.CreateRegion(6, 9, L"^\\t", L"(?<!\\\\)$", true);
    for (CSyntaxRegion* r : {bracket, here, q, s, p.CreateSkip(L"\\\\.", true), dq, recipe})
        p.Root()->AddRegion(r);
    dq->AddRegion(p.CreateSkip(L"\\$\\(\"", true));
    struct Case {
        std::vector<std::wstring> lines;
        const char* styles;
        bool endsOpen;
    };
    const Case cases[] = {
        {{L"#[==[ a ]] ]=] b", L" ]==] x"}, "1111111111111111|1111100", false},
        {{L"#[[ a ]] b"}, "1111111100", false},
        {{L"x <<EOT", L"EO", L" EOT", L"EOT", L"y"}, "0044444|44|4444|444|0", false},
        {{L"<<A", L"<<B", L"A"}, "444|444|4", false},
        {{L"q{a{b}c} d", L"q(a\\)b) e"}, "3333333300|333333300", false},
        {{L"q{a", L"}b}c"}, "333|3000", false},
        {{L"s/a/b/gx y", L"s{a}{b}g z", L"s{a}", L"  {b}i w"}, "4444444400|4444444400|4444|44444400", false},
        {{L"s/a/", L"b/ c"}, "4444|4400", false},
        {{L"a \\\"b \"c\\\" d"}, "000000333300", false},
        {{L"x \"$(\"\" y"}, "003333300", false},
        {{L"\tcc a \\", L"  b", L"c"}, "9999999|999|0", false},
        {{L"\t"}, "9", false},
    };
    for (const Case& c : cases) {
        int state = 0;
        EXPECT_EQ(LexLines(p, c.lines, &state), c.styles) << testing::PrintToString(c.lines);
        EXPECT_EQ(state != 0, c.endsOpen) << testing::PrintToString(c.lines) << " state " << state;
    }
    // A line inside one of them ends in a state that carries the text.
    EXPECT_GE(Lex(p, L"#[=[").state, syntax::kFirstCarried);
    EXPECT_NE(Lex(p, L"#[=[").state, Lex(p, L"#[==[").state);
    EXPECT_EQ(Lex(p, L"#[=[").state, Lex(p, L"x #[=[").state);
}

TEST(Highlighter, RegionsPastTheLastCarriedStateStillEnd) {
    // More here-document words than there are states: the later ones end at
    // a line their empty word matches, an empty line, and nothing breaks.
    CSyntaxParser p;
    p.Root()->AddRegion(p.CreateMatchedRegion(1, 4, L"<<(\\w+)", L"^\\1$", true));
    std::vector<int> states;
    for (int i = 0; i < 300; ++i) states.push_back(Lex(p, L"<<W" + std::to_wstring(i)).state);
    EXPECT_LE(*std::max_element(states.begin(), states.end()), syntax::kLastState);
    EXPECT_EQ(LexLines(p, {L"<<W5", L"x", L"W5", L"y"}), "4444|4|44|0");
    EXPECT_EQ(Lex(p, L"x", states.back()).styles, "4");
    EXPECT_EQ(Lex(p, L"", states.back()).state, 0);
}

TEST(Highlighter, LiteralsAndExpressionsOfBeginAndEnd) {
    CSyntaxParser p;
    p.Root()->AddRegion(p.CreateRegion(60, 1, L"+rem+", L"", false));
    p.Root()->AddRegion(p.CreateRegion(60, 2, L"+\u00e4b+", L"", false));
    p.Root()->AddRegion(p.CreateRegion(60, 3, L"+Cs+", L"", true));
    EXPECT_EQ(Lex(p, L"REM x").styles, "11111");
    EXPECT_EQ(Lex(p, L"xrEm").styles, "0111");
    EXPECT_EQ(Lex(p, L"re").styles, "00");
    // Only A to Z ignore case in a literal begin.
    EXPECT_EQ(Lex(p, L"\u00c4b").styles, "00");
    EXPECT_EQ(Lex(p, L"\u00e4B").styles, "22");
    EXPECT_EQ(Lex(p, L"cs Cs").styles, "00033");
    // A literal end compares after the system's lower-casing.
    CSyntaxParser q;
    CSyntaxRegion* loose = q.CreateRegion(2, 4, L"+<+", L"+\u00c4ND+", false);
    q.Root()->AddRegion(loose);
    EXPECT_EQ(Styled(q, L"<x \u00e4nD y"), "44444400@0");
    CSyntaxParser r;
    r.Root()->AddRegion(r.CreateRegion(2, 4, L"+<+", L"+\u00c4ND+", true));
    EXPECT_EQ(Lex(r, L"<x \u00e4nd y").state, 2);
    // Expressions: an empty begin match is no start; an empty end match is
    // no end; "++" is an expression, not an empty literal.
    CSyntaxParser x;
    x.Root()->AddRegion(x.CreateRegion(3, 7, L"a*", L"z*", true));
    EXPECT_EQ(Styled(x, L"bab"), "077@3");
    CSyntaxParser y;
    y.Root()->AddRegion(y.CreateRegion(4, 7, L"++", L"+)+", true));
    EXPECT_EQ(Lex(y, L"++ )").styles, "0000");
    // Direct calls: begin lengths and ends.
    CSyntaxRegion* re = y.CreateRegion(5, 1, L"/\\*+", L"\\*+/", true);
    EXPECT_EQ(re->BeginLength(L"a/**b", 5, 1), 3);
    EXPECT_EQ(re->BeginLength(L"a/**b", 5, 0), 0);
    EXPECT_EQ(re->BeginLength(L"a/**b", 5, 5), 0);
    // The end found from `from`: "position:length", or "none" for a length of 0.
    const auto end = [](const CSyntaxRegion* r, const std::wstring& t, int from) {
        int pos = -1, len = -1;
        r->FindEnd(t.c_str(), int(t.size()), from, &pos, &len);
        return len == 0 ? std::string("none") : std::to_string(pos) + ":" + std::to_string(len);
    };
    EXPECT_EQ(end(re, L"x **/ */", 0), "2:3");
    EXPECT_EQ(end(re, L"x **/ */", 8), "none");
    EXPECT_EQ(end(y.CreateRegion(60, 1, L"+#+", L"", true), L"", 0), "-1:1");
    CSyntaxRegion* lit = y.CreateRegion(6, 1, L"+<!--+", L"+-->+", true);
    EXPECT_EQ(end(lit, L"a --", 0), "none");  // a partial end at the line's end
    EXPECT_EQ(end(lit, L"a -->", 2), "2:3");
    EXPECT_EQ(lit->BeginLength(L"<!-", 3, 0), 0);
}

TEST(Highlighter, OnlyTheStyleAndRegionBitsAreWritten) {
    CLike c;
    Lexed a = Lex(c.p, L"int /* c", 0, 0xFFFF);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(a.raw[i] & 0x81E0, 0x81E0) << i;
    EXPECT_EQ(a.raw[0], 0x81E5);
    EXPECT_EQ(a.raw[3], 0x81E0);
    EXPECT_EQ(a.raw[4], 0x81E0 | 2 | (1 << 9));
    EXPECT_EQ(a.raw[8], 0xFFFF);  // the entry after the line is not touched
    // A line region's identifier 60 fits the six region bits.
    Lexed b = Lex(c.p, L"//", 0, 0x8000);
    EXPECT_EQ(b.raw[0], 0x8000 | 1 | (60 << 9));
    // Without a style array only the state comes back.
    EXPECT_EQ(c.p.LineState(0, L"/*", 2, 0, nullptr), 1);
    EXPECT_EQ(c.p.LineState(0, nullptr, 5, 0, nullptr), 0);
}

TEST(Highlighter, TheResultLexerMarksFilesAndPositions) {
    CSyntaxParser* g = syntax::ResultLexer();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g, syntax::ResultLexer());
    EXPECT_EQ(std::wstring(g->Name()), L"Grep");
    EXPECT_EQ(Styled(*g, L"#<C:\\a b\\x.txt>:(12,3): int x"),
              "111111111111111"
              "9999999"
              "0000000@0");
    EXPECT_EQ(Lex(*g, L" #<a>").styles, "00000");
    EXPECT_EQ(Lex(*g, L"#<a>b> :(1,2):(x) :(4,5)").styles,
              "1111000"
              "999999"
              "00000"
              "999999");
}

// ---- Through a real control ---------------------------------------------------

TEST_F(EditControl, AControlStylesWithTheLexerAsDirectCallsDo) {
    CLike c;
    const std::vector<std::wstring> lines = {L"int f() { /* open", L"  still \"no\" */ return \"a\\\"b\";",
                                             L"// int", L"x = \"open", L"int /* a */ y"};
    std::wstring all;
    for (const auto& l : lines) all += l + L"\r\n";
    all.resize(all.size() - 2);
    Insert(all);
    EXPECT_EQ(Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&c.p), 1), 0);
    // The styles of every unit, then the states the control keeps (the
    // last line's is needed by none).
    auto check = [&](const std::vector<std::wstring>& text) {
        std::vector<int> states;
        int prev = 0;
        for (size_t line = 0; line < text.size(); ++line) {
            Lexed d = Lex(c.p, text[line], prev);
            prev = d.state;
            states.push_back(d.state);
            for (size_t col = 0; col < text[line].size(); ++col) {
                Position at = {int(line), int(col)};
                EXPECT_EQ(SendP(MPM_GETSTYLEAT, &at, (void*)nullptr), d.raw[col] & 31) << line << "," << col;
            }
        }
        for (size_t line = 0; line + 1 < text.size(); ++line) {
            LineAttrArg st = {LA_LEXSTATE, -1};
            SendP(MPM_GETLINEATTR, (void*)line, &st);
            EXPECT_EQ(st.value, states[line]) << line;
        }
    };
    check(lines);
    // An edit that opens a comment restyles the lines after it.
    Position at = {2, 0};
    Insert(L"/*", &at);
    std::vector<std::wstring> edited = lines;
    edited[2] = L"/*" + edited[2];
    check(edited);
    EXPECT_EQ(Send(MPM_SETLEXER, 0, 1), 0);
}

// ---- The fast walk against a plain one --------------------------------------------

namespace {

// The line algorithm written plainly: every child tried at every position
// through its BeginLength, every search to the end of the line.
class PlainLexer {
   public:
    explicit PlainLexer(CSyntaxParser& p) : root_(p.Root()) {}

    int LineState(const wchar_t* t, int n, int prev, unsigned short* st, bool fold = false) {
        t_ = t, n_ = n, st_ = st, fold_ = fold;
        const CSyntaxRegion* start = root_;
        if (prev >= 1 && prev <= 59)
            if (const CSyntaxRegion* f = Find(root_, prev)) start = f;
        int e = n;
        int state = Pass(start, 0, 0, e, 0);
        const CSyntaxRegion* last = start;
        if (e < n && start->parent) {
            int e2 = n;
            last = start->parent;
            state = Pass(last, e, 0, e2, 0);
        }
        // Closed: the state of the region around the one that closed.
        if (state < 0) state = last->parent && last->parent->id <= 59 ? last->parent->id : 0;
        return state;
    }
    int FoldLevel(const wchar_t* t, int n, int state, int prev, int level, unsigned short* st) {
        acc_ = level;
        LineState(t, n, prev, st, true);
        const auto region = [](int x) { return x >= 1 && x <= 59 ? x : 0; };
        if (acc_ == level) acc_ += region(state) > region(prev) ? 1 : region(state) < region(prev) ? -1 : 0;
        return acc_ < 0 ? 0 : acc_;
    }

   private:
    const CSyntaxRegion* Find(const CSyntaxRegion* r, int id) {
        if (r->id == id) return r;
        for (const CSyntaxRegion* c : r->children)
            if (const CSyntaxRegion* f = Find(c, id)) return f;
        return nullptr;
    }

    int Pass(const CSyntaxRegion* r, int s, int b, int& e, int depth) {
        int endFrom = s + b;
    restart:
        int state = 0;
        bool own = false;
        if (r != root_) {
            int ep = 0, el = 0;
            const bool found = r->FindEnd(t_, n_, endFrom, &ep, &el);
            if (found) {
                own = true;
                state = -1;
                e = ep + el;
            } else {
                e = n_;
                state = r->id >= 60 ? -1 : r->id;
            }
        }
        const int ownState = state;
        if (st_) {
            for (int i = s; i < e; ++i)
                st_[i] = (unsigned short)((st_[i] & ~0x7E1F) | r->style | ((r->id & 63) << 9));
            for (const syntax::SyntaxItem* item : r->items)
                for (int pos = s;;) {
                    const mrx::MatchResult m = item->expr->Search(t_, n_, pos, -1);
                    if (!m.Matched() || m.End() > e) break;
                    for (int i = m.Start(); i < m.End(); ++i)
                        st_[i] = (unsigned short)((st_[i] & ~31) | item->style);
                    pos = m.End() == m.Start() ? m.End() + 1 : m.End();
                }
        }
        std::vector<std::pair<int, int>> claimed;
        if (r->children.empty() || depth >= 32) {
            CountBoth(r, s, e, claimed);
            return state;
        }
        for (int p = std::min(s + b, e); p < e;) {
            const CSyntaxRegion* child = nullptr;
            int bl = 0;
            for (const CSyntaxRegion* c : r->children)
                if ((bl = c->BeginLength(t_, n_, p)) > 0) {
                    child = c;
                    break;
                }
            if (!child) {
                ++p;
                continue;
            }
            int ce = e;
            const int cs = Pass(child, p, bl, ce, depth + 1);
            if (!own) state = cs < 0 ? ownState : cs;
            if (child->isolateFolds) claimed.emplace_back(p, ce);
            if (ce <= e || r == root_) {
                p = ce;
                continue;
            }
            endFrom = ce;
            goto restart;
        }
        CountBoth(r, s, e, claimed);
        return state;
    }

    using Spans = std::vector<std::pair<int, int>>;
    void CountBoth(const CSyntaxRegion* r, int s, int e, const Spans& claimed) {
        if (!st_ || !fold_) return;
        Count(r->fold.get(), s, e, 1, claimed);
        Count(r->unfold.get(), s, e, -1, claimed);
    }

    void Count(const syntax::Regex* x, int s, int e, int delta, const Spans& claimed) {
        if (!x) return;
        for (int pos = s; pos < e;) {
            const mrx::MatchResult m = x->Search(t_, n_, pos, -1);
            if (!m.Matched() || m.Start() >= e) break;
            const int cls = m.Start() < n_ ? st_[m.Start()] & 31 : 0;
            const bool childs = std::any_of(claimed.begin(), claimed.end(), [&](auto& c) {
                return c.first <= m.Start() && m.Start() < c.second;
            });
            if (!childs && (cls < 1 || cls > 4)) acc_ += delta;
            pos = m.End() == m.Start() ? m.End() + 1 : m.End();
        }
    }

    const CSyntaxRegion* root_;
    const wchar_t* t_ = nullptr;
    int n_ = 0;
    unsigned short* st_ = nullptr;
    bool fold_ = false;
    int acc_ = 0;
};

// A random rule tree over a small alphabet, so that begins, ends, escapes and
// items meet often.
void RandomTree(CSyntaxParser& p, std::mt19937& rng) {
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    static const wchar_t* const kBegins[] = {L"+/*+",     L"+<+", L"+(+", L"+ab+",   L"+AB+",    L"a+b",
                                             L"^\\s*#",   L"b|",  L"\\(", L"c(?=a)", L"(?<=a)b", L"+\"+",
                                             L"(?g)\\Gb", L".",   L"a|c", L"\\(?b"};
    static const wchar_t* const kEnds[] = {L"+*/+", L"+>+", L"+)+", L"",    L"",
                                           L"c",    L"a*",  L"\\)", L"b+a", L"+A+"};
    static const wchar_t* const kItems[] = {L"a+",       L"\\bab\\b", L"b*",    L"c.",
                                            L"[a-c]{2}", L";",        L"(?=c)", L"a|ab"};
    static const wchar_t* const kMarks[] = {L"\\(", L"\\)", L"a*", L"[{]", L"}", L"b"};
    int nextId = 1;
    std::vector<CSyntaxRegion*> regions = {p.Root()};
    const int count = 1 + pick(7);
    for (int k = 0; k < count; ++k) {
        CSyntaxRegion* r;
        const bool multi = pick(3) != 0;
        const int id = multi ? nextId++ : 60;
        if (pick(4) == 0) {
            static const wchar_t kQuotes[] = L"\"'<";
            static const wchar_t kEscapes[] = {L'\\', 0, L'\'', L'a'};
            r = p.CreateStringRegion(id, 1 + pick(12), kQuotes[pick(3)], kEscapes[pick(4)]);
        } else {
            const wchar_t* end = kEnds[pick(10)];
            r = p.CreateRegion(*end ? id : 60, pick(16), kBegins[pick(16)], end, pick(2) != 0);
        }
        // Parents are earlier regions (no cycles); now and then a region
        // gets two parents.
        regions[size_t(pick(int(regions.size())))]->AddRegion(r);
        if (pick(8) == 0) regions[size_t(pick(int(regions.size())))]->AddRegion(r);
        regions.push_back(r);
    }
    for (CSyntaxRegion* r : regions) {
        const int items = pick(3);
        for (int k = 0; k < items; ++k) r->AddItem(p.CreateItem(pick(8), kItems[pick(8)], pick(2) != 0));
        if (pick(3) == 0) r->SetFold(syntax::CompilePattern(kMarks[pick(6)], true));
        if (pick(3) == 0) r->SetUnfold(syntax::CompilePattern(kMarks[pick(6)], true));
        r->isolateFolds = pick(4) == 0;
    }
}

std::wstring RandomLine(std::mt19937& rng) {
    // Halves of a surrogate pair too, together and alone.
    static const wchar_t kUnits[] = L"abcAB()<>\"'\\/*#; {}\t\xD83D\xDE00";
    std::wstring s(rng() % 40, L' ');
    for (wchar_t& c : s) c = kUnits[rng() % (sizeof kUnits / sizeof *kUnits - 1)];
    return s;
}

}  // namespace

TEST(HighlighterWalk, TheFastWalkAgreesWithThePlainOne) {
    std::mt19937 rng(20261207);
    int lines = 0, styledChildren = 0;
    for (int tree = 0; tree < 400; ++tree) {
        CSyntaxParser fast;
        RandomTree(fast, rng);
        PlainLexer plain(fast);
        int prevFast = int(rng() % 4), prevPlain = prevFast;
        for (int k = 0; k < 30; ++k, ++lines) {
            const std::wstring line = RandomLine(rng);
            const int n = int(line.size());
            const unsigned short fill = static_cast<unsigned short>(rng());
            std::vector<unsigned short> a(size_t(n) + 1, fill), b(size_t(n) + 1, fill);
            const int sa = fast.LineState(0, line.c_str(), n, prevFast, a.data());
            const int sb = plain.LineState(line.c_str(), n, prevPlain, b.data());
            ASSERT_EQ(sa, sb) << "tree " << tree << " line " << k;
            ASSERT_EQ(a, b) << "tree " << tree << " line " << k;
            ASSERT_EQ(fast.LineState(0, line.c_str(), n, prevFast, nullptr), sa);
            for (int i = 0; i < n; ++i) styledChildren += ((a[size_t(i)] >> 9) & 63) != 0;
            const int level = int(rng() % 4);
            std::fill(a.begin(), a.end(), fill);
            std::fill(b.begin(), b.end(), fill);
            ASSERT_EQ(fast.FoldLevel(0, line.c_str(), n, sa, prevFast, level, a.data()),
                      plain.FoldLevel(line.c_str(), n, sb, prevPlain, level, b.data()))
                << "tree " << tree << " line " << k;
            ASSERT_EQ(a, b);
            // Now and then a line starts in a state nobody carried over.
            prevFast = prevPlain = rng() % 8 == 0 ? int(rng() % 64) : sa;
        }
    }
    // The trees and lines exercise the walk, not only the root.
    EXPECT_GT(styledChildren, lines * 3);
}

TEST(HighlighterWalk, RegionsNestedInThemselvesEndInBoundedTime) {
    // A region added below itself, and two regions below each other, with
    // ends that children swallow: lexing still ends, line by line.
    CSyntaxParser p;
    CSyntaxRegion* a = p.CreateRegion(1, 2, L"+<+", L"+>+", true);
    CSyntaxRegion* b = p.CreateRegion(2, 3, L"+(+", L"+)+", true);
    CSyntaxRegion* q = p.CreateStringRegion(3, 4, L'"', 0);
    p.Root()->AddRegion(a);
    a->AddRegion(a);
    a->AddRegion(b);
    b->AddRegion(a);
    b->AddRegion(q);
    q->AddRegion(b);
    EXPECT_EQ(Lex(p, L"<<< x").state, 1);
    std::mt19937 rng(7);
    const wchar_t units[] = L"<>()\" x";
    const DWORD t0 = GetTickCount();
    for (int k = 0; k < 300; ++k) {
        std::wstring line(size_t(rng() % 300), L' ');
        for (wchar_t& c : line) c = units[rng() % 7];
        const int state = Lex(p, line, int(rng() % 4)).state;
        EXPECT_TRUE(state >= 0 && state <= 3) << state;
    }
    EXPECT_LT(GetTickCount() - t0, 5000u);
}
