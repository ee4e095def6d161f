// The finders on plain strings: the plain finder against a naive search, the
// two finders agreeing when they ignore case, the whole-word rule, the escape
// step and the "$" template, and the highlighter on a style array.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Finder.h"

using namespace search;

namespace {

using Matches = std::vector<std::pair<int, int>>;  // start, length

Matches AllForward(IFinder& f, const std::wstring& t) {
    Matches out;
    int pos = 0, n = 0;
    while (pos <= int(t.size())) {
        const wchar_t* m = f.FindForward(t.c_str(), int(t.size()), t.c_str() + pos, int(t.size()) - pos + 1, &n);
        if (!m) break;
        out.push_back({int(m - t.c_str()), n});
        pos = int(m - t.c_str()) + std::max(n, 1);
    }
    return out;
}

Matches AllBackward(IFinder& f, const std::wstring& t) {
    Matches out;
    int end = int(t.size()), n = 0;
    while (end >= 0) {
        const wchar_t* m = f.FindBackward(t.c_str(), int(t.size()), 0, end, &n);
        if (!m) break;
        out.insert(out.begin(), {int(m - t.c_str()), n});
        end = n ? int(m - t.c_str()) : int(m - t.c_str()) - 1;
    }
    return out;
}

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c + 32) : c; }

// Non-overlapping matches, scanning from the left (forward) or the right.
Matches Naive(const std::wstring& t, const std::wstring& p, bool matchCase, bool backward) {
    auto at = [&](int s) {
        for (size_t j = 0; j < p.size(); ++j) {
            const wchar_t a = t[size_t(s) + j], b = p[j];
            if (matchCase ? a != b : Lower(a) != Lower(b)) return false;
        }
        return true;
    };
    Matches out;
    const int m = int(p.size());
    if (!backward) {
        for (int s = 0; s + m <= int(t.size());)
            if (at(s)) {
                out.push_back({s, m});
                s += m;
            } else {
                ++s;
            }
    } else {
        for (int s = int(t.size()) - m; s >= 0;)
            if (at(s)) {
                out.insert(out.begin(), {s, m});
                s -= m;
            } else {
                --s;
            }
    }
    return out;
}

}  // namespace

TEST(NormalFinder, AgreesWithANaiveSearchInBothDirectionsAndCases) {
    std::mt19937 rng(7);
    const std::wstring alphabet = L"abAB";
    CNormalFinder f;
    for (int round = 0; round < 3000; ++round) {
        std::wstring t, p;
        const int tn = int(rng() % 30), pn = 1 + int(rng() % 4);
        for (int i = 0; i < tn; ++i) t += alphabet[rng() % alphabet.size()];
        for (int i = 0; i < pn; ++i) p += alphabet[rng() % alphabet.size()];
        const bool matchCase = rng() % 2, backward = rng() % 2;
        f.SetPattern(p.c_str(), int(p.size()), matchCase, backward);
        const Matches got = backward ? AllBackward(f, t) : AllForward(f, t);
        ASSERT_EQ(got, Naive(t, p, matchCase, backward))
            << "text " << std::string(t.begin(), t.end()) << " pattern " << std::string(p.begin(), p.end())
            << (matchCase ? " case" : "") << (backward ? " backward" : "");
    }
}

TEST(NormalFinder, TableHoldsTheLastIndexForwardAndTheFirstBackward) {
    CNormalFinder f;
    EXPECT_TRUE(f.SetPattern(L"abcab", 5, true, false));
    EXPECT_EQ(f.Shift(L'a'), 3);
    EXPECT_EQ(f.Shift(L'b'), 4);
    EXPECT_EQ(f.Shift(L'c'), 2);
    EXPECT_EQ(f.Shift(L'z'), 0);
    EXPECT_FALSE(f.SetPattern(L"abcab", 5, true, false));  // nothing changed
    EXPECT_TRUE(f.SetPattern(L"abcab", 5, true, true));
    EXPECT_EQ(f.Shift(L'a'), 0);
    EXPECT_EQ(f.Shift(L'b'), 1);
    // A new pattern starts from a cleared table.
    EXPECT_TRUE(f.SetPattern(L"xy", 2, true, true));
    EXPECT_EQ(f.Shift(L'c'), 0);
    EXPECT_EQ(f.Shift(L'y'), 1);
    // Ignoring case, the table is indexed by the folded unit.
    EXPECT_TRUE(f.SetPattern(L"xY", 2, false, false));
    EXPECT_EQ(f.Shift(L'Y'), 1);
    EXPECT_EQ(f.Shift(L'y'), 1);
}

TEST(NormalFinder, SkipsQuicklyThroughTextWithoutThePatternsUnits) {
    CNormalFinder f;
    const std::wstring p = L"needle in a haystack";
    f.SetPattern(p.c_str(), int(p.size()), false, false);
    const std::wstring t(8 << 20, L'#');
    int n = 0;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(f.FindForward(t.c_str(), int(t.size()), t.c_str(), int(t.size()), &n), nullptr);
    f.SetPattern(p.c_str(), int(p.size()), false, true);
    EXPECT_EQ(f.FindBackward(t.c_str(), int(t.size()), 0, int(t.size()), &n), nullptr);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 500.0);
    // Empty patterns and bounds find nothing rather than crash.
    f.SetPattern(L"", 0, false, false);
    EXPECT_EQ(f.FindForward(t.c_str(), int(t.size()), t.c_str(), int(t.size()), &n), nullptr);
    f.SetPattern(L"##", 2, false, true);
    EXPECT_EQ(f.FindBackward(t.c_str(), int(t.size()), 0, -1, &n), nullptr);
    EXPECT_EQ(f.FindBackward(t.c_str(), int(t.size()), 0, 1, &n), nullptr);
    EXPECT_NE(f.FindBackward(t.c_str(), int(t.size()), 0, 2, &n), nullptr);
}

TEST(RegexFinder, CompilesWithTheFlagsOfCaseAndDirection) {
    CRegexFinder f;
    f.SetPattern(L"a", 1, true, false);
    EXPECT_EQ(f.Flags(), 0);
    f.SetPattern(L"a", 1, false, false);
    EXPECT_EQ(f.Flags(), 8);
    f.SetPattern(L"a", 1, true, true);
    EXPECT_EQ(f.Flags(), 16);
    EXPECT_FALSE(f.SetPattern(L"a", 1, true, true));
    f.SetPattern(L"a", 1, false, true);
    EXPECT_EQ(f.Flags(), 24);
    const std::wstring t = L"xAxa";
    EXPECT_EQ(AllBackward(f, t), (Matches{{1, 1}, {3, 1}}));
    // A refused expression has the engine's error and finds nothing.
    f.SetPattern(L"(ab", 3, false, false);
    EXPECT_FALSE(f.Error().empty());
    EXPECT_TRUE(AllForward(f, L"ab(ab").empty());
}

TEST(Finders, PlainAndRegexFindTheSameMatchesIgnoringCase) {
    // Greek with final sigma, German sharp s and its capital, a Kelvin sign.
    const std::wstring text = L"ΣΊΣΥΦΟΣ σίσυφος; Straße STRASSE STRAẞE; 5 \x212A k K";
    const std::vector<std::wstring> patterns = {L"σ", L"ς", L"ΣΊΣΥΦΟΣ", L"straße", L"ß", L"k", L"ss"};
    CNormalFinder plain;
    CRegexFinder regex;
    for (const std::wstring& p : patterns) {
        for (bool backward : {false, true}) {
            plain.SetPattern(p.c_str(), int(p.size()), false, backward);
            regex.SetPattern(p.c_str(), int(p.size()), false, backward);
            const Matches a = backward ? AllBackward(plain, text) : AllForward(plain, text);
            const Matches b = backward ? AllBackward(regex, text) : AllForward(regex, text);
            EXPECT_EQ(a, b) << "pattern #" << (&p - patterns.data()) << (backward ? " backward" : "");
        }
    }
    // By the simple folding: all three sigmas are one letter, the capital
    // sharp s is the small one, and "ss" is not a sharp s.
    plain.SetPattern(L"σ", 1, false, false);
    EXPECT_EQ(AllForward(plain, text).size(), 6u);
    plain.SetPattern(L"ß", 1, false, false);
    EXPECT_EQ(AllForward(plain, text), (Matches{{21, 1}, {36, 1}}));
    plain.SetPattern(L"k", 1, false, false);
    EXPECT_EQ(AllForward(plain, text).size(), 3u);
    plain.SetPattern(L"k", 1, true, false);
    EXPECT_EQ(AllForward(plain, text).size(), 1u);
}

TEST(Finders, WholeWordTreatsTheUnderscoreAsNoWordCharacter) {
    const std::wstring t = L"foo foo1 afoo foo_ _foo 9foo föo";
    EXPECT_TRUE(IsWholeWord(t.c_str(), int(t.size()), 0, 3));
    EXPECT_FALSE(IsWholeWord(t.c_str(), int(t.size()), 4, 7));    // digit after
    EXPECT_FALSE(IsWholeWord(t.c_str(), int(t.size()), 10, 13));  // letter before
    EXPECT_TRUE(IsWholeWord(t.c_str(), int(t.size()), 14, 17));   // underscore after
    EXPECT_TRUE(IsWholeWord(t.c_str(), int(t.size()), 20, 23));   // underscore before
    EXPECT_FALSE(IsWholeWord(t.c_str(), int(t.size()), 25, 28));  // digit before
    EXPECT_FALSE(IsWholeWord(t.c_str(), int(t.size()), 29, 30));  // a non-ASCII letter after
    EXPECT_TRUE(IsWholeWord(t.c_str(), int(t.size()), 29, 32));   // the text's end
    EXPECT_FALSE(IsWordUnit(L'_'));
    EXPECT_TRUE(IsWordUnit(L'ö'));
    EXPECT_TRUE(IsWordUnit(L'7'));
}

TEST(Replacement, EscapeStep) {
    EXPECT_EQ(Unescape(L"a\\nb\\tc\\\\d"), L"a\nb\tc\\d");
    EXPECT_EQ(Unescape(L"x\\qy\\$1"), L"xy1");  // any other escape is dropped with its unit
    EXPECT_EQ(Unescape(L"end\\"), L"end");      // a trailing single backslash is dropped
    EXPECT_EQ(Unescape(L"end\\\\"), L"end\\");
    EXPECT_EQ(Unescape(L""), L"");
    EXPECT_EQ(Unescape(L"$1 plain"), L"$1 plain");
}

TEST(Replacement, EveryDollarForm) {
    const std::wstring text = L"<<abcde>>";
    auto expand = [&](const std::wstring& pattern, const std::wstring& tmpl) {
        mrx::CRegexpT<wchar_t> re(pattern);
        const mrx::MatchResult m = re.Search(text.c_str(), int(text.size()));
        EXPECT_TRUE(m.Matched()) << std::string(pattern.begin(), pattern.end());
        return ExpandTemplate(re, tmpl, text.c_str(), int(text.size()), m);
    };
    const std::wstring five = L"(a)(b)(c)(d)(e)";
    EXPECT_EQ(expand(five, L"$$"), L"$");
    EXPECT_EQ(expand(five, L"[$&]"), L"[abcde]");
    EXPECT_EQ(expand(five, L"$`|$'"), L"<<|>>");
    EXPECT_EQ(expand(five, L"$_"), L"<<abcde>>");
    EXPECT_EQ(expand(five, L"$5$4$3$2$1$0"), L"edcbaabcde");
    EXPECT_EQ(expand(five, L"$12"), L"a2");     // group 1, then a literal 2
    EXPECT_EQ(expand(five, L"$123"), L"a23");
    EXPECT_EQ(expand(five, L"$005"), L"e");     // three digits at most: group 5
    EXPECT_EQ(expand(five, L"$0005"), L"abcde5");
    EXPECT_EQ(expand(five, L"$+"), L"e");
    EXPECT_EQ(expand(L"(a)(x)?bcde", L"[$+]"), L"[a]");  // the highest group that took part
    EXPECT_EQ(expand(L"(a)bcde", L"$2"), L"$2");          // no digit left: literal
    EXPECT_EQ(expand(L"(a)bcde", L"$1$"), L"a$");
    EXPECT_EQ(expand(L"(?<first>a)(?'rest'bcde)", L"${rest}-${first}-${none}-${}"), L"bcde-a-${none}-${}");
    EXPECT_EQ(expand(L"(?<first>a)bcde", L"${first"), L"${first");
    EXPECT_EQ(expand(five, L"$x $ $"), L"$x $ $");
}

TEST(FindHighlight, MarksEveryMatchWithStyleClass20KeepingOtherBits) {
    CFindHighlight h;
    const std::wstring line = L"foo Foo food xfoo";
    std::vector<unsigned short> st(line.size() + 1, 0x0103);  // selected, class 3
    EXPECT_TRUE(h.Set(L"foo", 3, false, false, false));
    EXPECT_FALSE(h.Set(L"foo", 3, false, false, false));
    h.Highlight(0, line.c_str(), int(line.size()), st.data());
    std::wstring marks;
    for (size_t i = 0; i < line.size(); ++i) marks += (st[i] & STYLE_CLASS_MASK) == 20 ? L'#' : L'.';
    EXPECT_EQ(marks, L"###.###.###...###");
    EXPECT_EQ(st[0] & ~STYLE_CLASS_MASK, 0x0100);
    EXPECT_EQ(st[line.size()], 0x0103);  // the entry past the end stays

    EXPECT_TRUE(h.Set(L"foo", 3, true, true, false));  // whole word, match case
    std::fill(st.begin(), st.end(), 0);
    h.Highlight(0, line.c_str(), int(line.size()), st.data());
    marks.clear();
    for (size_t i = 0; i < line.size(); ++i) marks += (st[i] & STYLE_CLASS_MASK) == 20 ? L'#' : L'.';
    EXPECT_EQ(marks, L"###..............");

    // An expression with empty matches paints nothing and ends the line.
    EXPECT_TRUE(h.Set(L"x*", 2, false, false, true));
    std::fill(st.begin(), st.end(), 0);
    h.Highlight(0, line.c_str(), int(line.size()), st.data());
    EXPECT_EQ(std::count(st.begin(), st.end(), 20), 0);
}

// In result lines only the text after "#<path>:(line,column):" is marked;
// a line of another form is marked whole.
TEST(FindHighlight, ResultLinesAreMarkedInTheirTextOnly) {
    CFindHighlight h;
    EXPECT_TRUE(h.Set(L"doc", 3, false, false, false));
    EXPECT_TRUE(h.SetResultLines(true));
    EXPECT_FALSE(h.SetResultLines(true));
    const struct {
        std::wstring line, marks;
    } cases[] = {
        {L"#<C:\\doc\\doc.txt>:(3,4):a doc", L"..........................###"},
        {L"#<a>:(1,0):doc >:(2,5):doc", L"...........###.........###"},  // the first position part ends the path
        {L"#<doc>:(x,1):doc", L"..###........###"},              // not a position: not a result line
        {L"doc #<doc>:(1,1):", L"###...###........"},
    };
    for (const auto& c : cases) {
        std::vector<unsigned short> st(c.line.size() + 1, 0);
        h.Highlight(0, c.line.c_str(), int(c.line.size()), st.data());
        std::wstring marks;
        for (size_t i = 0; i < c.line.size(); ++i) marks += (st[i] & STYLE_CLASS_MASK) == 20 ? L'#' : L'.';
        EXPECT_EQ(marks, c.marks) << std::string(c.line.begin(), c.line.end());
    }
}

TEST(FindHighlight, APatternOutOfBudgetStopsHighlighting) {
    CFindHighlight h;
    const std::wstring line(3000, L'a');
    std::vector<unsigned short> st(line.size() + 1, 0);
    EXPECT_TRUE(h.Set(L"(a*)*b", 6, false, false, true));
    EXPECT_TRUE(h.Error().empty());
    h.Highlight(0, line.c_str(), int(line.size()), st.data());
    EXPECT_TRUE(h.GaveUp());
    // Every later line is free.
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i) h.Highlight(i, line.c_str(), int(line.size()), st.data());
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 50.0);
    // Another pattern paints again.
    EXPECT_TRUE(h.Set(L"a+", 2, false, false, true));
    EXPECT_FALSE(h.GaveUp());
    h.Highlight(0, line.c_str(), int(line.size()), st.data());
    EXPECT_EQ(st[2999] & STYLE_CLASS_MASK, 20);
    EXPECT_TRUE(h.Set(L"a(", 2, false, false, true));
    EXPECT_FALSE(h.Error().empty());
}
