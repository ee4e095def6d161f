// The finders on plain strings: the plain finder against a naive search, the
// two finders agreeing when they ignore case, the whole-word rule, the escape
// step and the "$" template, and the highlighter on a style array.
#include "Finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace search;

namespace {

using Matches = std::vector<std::pair<int, int>>;  // start, length

// Every match walking forward (or backward) over t, as the search loops do.
Matches All(IFinder& f, const std::wstring& t, bool backward = false) {
    Matches out;
    const int size = int(t.size());
    for (int pos = 0, end = size, n = 0; backward ? end >= 0 : pos <= size;) {
        const wchar_t* m = backward ? f.FindBackward(t.c_str(), size, 0, end, &n)
                                    : f.FindForward(t.c_str(), size, t.c_str() + pos, size - pos + 1, &n);
        if (!m) break;
        const int at = int(m - t.c_str());
        out.insert(backward ? out.begin() : out.end(), {at, n});
        if (backward)
            end = n ? at : at - 1;
        else
            pos = at + std::max(n, 1);
    }
    return out;
}

// Non-overlapping matches of an ASCII pattern, scanning from the left or the right.
Matches Naive(const std::wstring& t, const std::wstring& p, bool matchCase, bool backward) {
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c + 32) : c; };
    auto at = [&](int s) {
        for (size_t j = 0; j < p.size(); ++j)
            if (matchCase ? t[size_t(s) + j] != p[j] : lower(t[size_t(s) + j]) != lower(p[j])) return false;
        return true;
    };
    Matches out;
    const int m = int(p.size()), last = int(t.size()) - m;
    for (int s = backward ? last : 0; s >= 0 && s <= last;)
        if (!at(s)) {
            s += backward ? -1 : 1;
        } else {
            out.insert(backward ? out.begin() : out.end(), {s, m});
            s += backward ? -m : m;
        }
    return out;
}

// '#' for each unit the highlighter marked with class 20, '.' for the others.
std::wstring Marks(CFindHighlight& h, const std::wstring& line, unsigned short fill = 0) {
    std::vector<unsigned short> st(line.size() + 1, fill);
    h.Highlight(0, line.c_str(), int(line.size()), st.data());
    std::wstring marks;
    for (size_t i = 0; i < line.size(); ++i) marks += (st[i] & STYLE_CLASS_MASK) == 20 ? L'#' : L'.';
    EXPECT_EQ(st[line.size()], fill) << "the entry past the end changed";
    if (fill && (st[0] & STYLE_CLASS_MASK) == 20)
        EXPECT_EQ(st[0] & ~STYLE_CLASS_MASK, fill & ~STYLE_CLASS_MASK);
    return marks;
}

double MsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
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
        ASSERT_EQ(All(f, t, backward), Naive(t, p, matchCase, backward))
            << "text " << std::string(t.begin(), t.end()) << " pattern " << std::string(p.begin(), p.end())
            << (matchCase ? " case" : "") << (backward ? " backward" : "");
    }
}

// Forward the table holds each unit's last index, backward its first; a new
// pattern starts from a cleared table; ignoring case it is indexed by the
// folded unit. Setting the same pattern and options again changes nothing.
TEST(NormalFinder, ShiftTable) {
    const struct {
        const wchar_t* pattern;
        bool matchCase, backward, changed;
        std::wstring units;
        std::vector<int> shifts;
    } cases[] = {
        {L"abcab", true, false, true, L"abcz", {3, 4, 2, 0}}, {L"abcab", true, false, false, L"a", {3}},
        {L"abcab", true, true, true, L"ab", {0, 1}},          {L"xy", true, true, true, L"cy", {0, 1}},
        {L"xY", false, false, true, L"Yy", {1, 1}},
    };
    CNormalFinder f;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "pattern #" << (&c - cases));
        EXPECT_EQ(f.SetPattern(c.pattern, int(wcslen(c.pattern)), c.matchCase, c.backward), c.changed);
        std::vector<int> shifts;
        for (wchar_t u : c.units) shifts.push_back(f.Shift(u));
        EXPECT_EQ(shifts, c.shifts);
    }
}

TEST(NormalFinder, SkipsQuicklyThroughTextWithoutThePatternsUnits) {
    CNormalFinder f;
    const std::wstring p = L"needle in a haystack", t(8 << 20, L'#');
    const wchar_t* text = t.c_str();
    const int size = int(t.size());
    int n = 0;
    const auto t0 = std::chrono::steady_clock::now();
    f.SetPattern(p.c_str(), int(p.size()), false, false);
    EXPECT_EQ(f.FindForward(text, size, text, size, &n), nullptr);
    f.SetPattern(p.c_str(), int(p.size()), false, true);
    EXPECT_EQ(f.FindBackward(text, size, 0, size, &n), nullptr);
    EXPECT_LT(MsSince(t0), 500.0);
    // Empty patterns and bounds find nothing rather than crash.
    f.SetPattern(L"", 0, false, false);
    EXPECT_EQ(f.FindForward(text, size, text, size, &n), nullptr);
    f.SetPattern(L"##", 2, false, true);
    EXPECT_EQ(f.FindBackward(text, size, 0, -1, &n), nullptr);
    EXPECT_EQ(f.FindBackward(text, size, 0, 1, &n), nullptr);
    EXPECT_NE(f.FindBackward(text, size, 0, 2, &n), nullptr);
}

TEST(RegexFinder, CompilesWithTheFlagsOfCaseAndDirection) {
    CRegexFinder f;
    const struct {
        bool matchCase, backward;
        int flags;
    } cases[] = {{true, false, 0}, {false, false, 8}, {true, true, 16}, {false, true, 24}};
    for (const auto& c : cases) {
        EXPECT_TRUE(f.SetPattern(L"a", 1, c.matchCase, c.backward));
        EXPECT_FALSE(f.SetPattern(L"a", 1, c.matchCase, c.backward));
        EXPECT_EQ(f.Flags(), c.flags);
    }
    EXPECT_EQ(All(f, L"xAxa", true), (Matches{{1, 1}, {3, 1}}));
    // A refused expression has the engine's error and finds nothing.
    f.SetPattern(L"(ab", 3, false, false);
    EXPECT_FALSE(f.Error().empty());
    EXPECT_TRUE(All(f, L"ab(ab").empty());
}

TEST(Finders, PlainAndRegexFindTheSameMatchesIgnoringCase) {
    // Greek with final sigma, German sharp s and its capital, a Kelvin sign.
    const std::wstring text = L"ΣΊΣΥΦΟΣ σίσυφος; Straße STRASSE STRAẞE; 5 \x212A k K";
    CNormalFinder plain;
    CRegexFinder regex;
    for (const std::wstring p : {L"σ", L"ς", L"ΣΊΣΥΦΟΣ", L"straße", L"ß", L"k", L"ss"})
        for (bool backward : {false, true}) {
            plain.SetPattern(p.c_str(), int(p.size()), false, backward);
            regex.SetPattern(p.c_str(), int(p.size()), false, backward);
            EXPECT_EQ(All(plain, text, backward), All(regex, text, backward)) << int(p[0]) << " " << backward;
        }
    // By the simple folding: all three sigmas are one letter, the capital
    // sharp s is the small one, and "ss" is not a sharp s.
    const struct {
        const wchar_t* p;
        bool matchCase;
        size_t count;
    } counts[] = {{L"σ", false, 6}, {L"ß", false, 2}, {L"k", false, 3}, {L"k", true, 1}};
    for (const auto& c : counts) {
        plain.SetPattern(c.p, 1, c.matchCase, false);
        EXPECT_EQ(All(plain, text).size(), c.count) << int(c.p[0]) << " " << c.matchCase;
    }
    plain.SetPattern(L"ß", 1, false, false);
    EXPECT_EQ(All(plain, text), (Matches{{21, 1}, {36, 1}}));
}

TEST(Finders, WholeWordTreatsTheUnderscoreAsNoWordCharacter) {
    const std::wstring t = L"foo foo1 afoo foo_ _foo 9foo föo foox";
    const struct {
        int start, end;
        bool whole;
    } cases[] = {
        {0, 3, true},     // spaces round it
        {4, 7, false},    // a digit after
        {10, 13, false},  // a letter before
        {1, 3, false},    // a letter before, the text's first unit
        {14, 17, true},   // an underscore after
        {20, 23, true},   // an underscore before
        {25, 28, false},  // a digit before
        {29, 30, false},  // a non-ASCII letter after
        {29, 32, true},   // a space after
        {33, 36, false},  // a letter after, the text's last unit
        {33, 37, true},   // the text's end
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsWholeWord(t.c_str(), int(t.size()), c.start, c.end), c.whole) << c.start << "-" << c.end;
    EXPECT_FALSE(IsWordUnit(L'_'));
    EXPECT_TRUE(IsWordUnit(L'ö'));
    EXPECT_TRUE(IsWordUnit(L'7'));
}

TEST(Replacement, EscapeStep) {
    // Any other escape is dropped with its unit, and a trailing single backslash.
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"a\\nb\\tc\\\\d", L"a\nb\tc\\d"},
        {L"x\\qy\\$1", L"xy1"},
        {L"end\\", L"end"},
        {L"end\\\\", L"end\\"},
        {L"", L""},
        {L"$1 plain", L"$1 plain"},
    };
    for (auto [in, out] : cases) EXPECT_EQ(Unescape(in), out) << in;
}

TEST(Replacement, EveryDollarForm) {
    const std::wstring text = L"<<abcde>>", five = L"(a)(b)(c)(d)(e)";
    const struct {
        std::wstring pattern, tmpl, out;
    } cases[] = {
        {five, L"$$", L"$"},
        {five, L"[$&]", L"[abcde]"},
        {five, L"$`|$'", L"<<|>>"},
        {five, L"$_", L"<<abcde>>"},
        {five, L"$5$4$3$2$1$0", L"edcbaabcde"},
        {five, L"$12", L"a2"},  // group 1, then a literal 2
        {five, L"$123", L"a23"},
        {five, L"$005", L"e"},  // three digits at most: group 5
        {five, L"$0005", L"abcde5"},
        {five, L"$+", L"e"},
        {L"(a)(x)?bcde", L"[$+]", L"[a]"},  // the highest group that took part
        {L"(a)bcde", L"$2", L"$2"},         // no such group: literal
        {L"(a)bcde", L"$1$", L"a$"},
        {L"(?<first>a)(?'rest'bcde)", L"${rest}-${first}-${none}-${}", L"bcde-a-${none}-${}"},
        {L"(?<first>a)bcde", L"${first", L"${first"},
        {five, L"$x $ $", L"$x $ $"},
    };
    for (const auto& c : cases) {
        mrx::CRegexpT<wchar_t> re(c.pattern);
        const mrx::MatchResult m = re.Search(text.c_str(), int(text.size()));
        ASSERT_TRUE(m.Matched()) << std::string(c.pattern.begin(), c.pattern.end());
        EXPECT_EQ(ExpandTemplate(re, c.tmpl, text.c_str(), int(text.size()), m), c.out)
            << std::string(c.tmpl.begin(), c.tmpl.end());
    }
}

TEST(FindHighlight, MarksEveryMatchWithStyleClass20KeepingOtherBits) {
    CFindHighlight h;
    const std::wstring line = L"foo Foo food xfoo";
    EXPECT_TRUE(h.Set(L"foo", 3, false, false, false));
    EXPECT_FALSE(h.Set(L"foo", 3, false, false, false));
    EXPECT_EQ(Marks(h, line, 0x0103), L"###.###.###...###");  // over selected units of class 3
    EXPECT_TRUE(h.Set(L"foo", 3, true, true, false));         // whole word, match case
    EXPECT_EQ(Marks(h, line), L"###..............");
    // An expression with empty matches paints nothing and ends the line.
    EXPECT_TRUE(h.Set(L"x*", 2, false, false, true));
    EXPECT_EQ(Marks(h, line), std::wstring(line.size(), L'.'));
}

// In result lines only the text after "#<path>:(line,column):" is marked;
// a line of another form is marked whole.
TEST(FindHighlight, ResultLinesAreMarkedInTheirTextOnly) {
    CFindHighlight h;
    EXPECT_TRUE(h.Set(L"doc", 3, false, false, false));
    EXPECT_TRUE(h.SetResultLines(true));
    EXPECT_FALSE(h.SetResultLines(true));
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"#<C:\\doc\\doc.txt>:(3,4):a doc", L"..........................###"},
        {L"#<a>:(1,0):doc >:(2,5):doc",
         L"...........###.........###"},             // the first position part ends the path
        {L"#<doc>:(x,1):doc", L"..###........###"},  // not a position: not a result line
        {L"doc #<doc>:(1,1):", L"###...###........"},
    };
    for (const auto& [line, marks] : cases)
        EXPECT_EQ(Marks(h, line), marks) << std::string(line.begin(), line.end());
}

TEST(FindHighlight, APatternOutOfBudgetStopsHighlighting) {
    CFindHighlight h;
    const std::wstring line(3000, L'a');
    EXPECT_TRUE(h.Set(L"(a*)*b", 6, false, false, true));
    EXPECT_TRUE(h.Error().empty());
    std::vector<unsigned short> st(line.size() + 1, 0);
    h.Highlight(0, line.c_str(), int(line.size()), st.data());
    EXPECT_TRUE(h.GaveUp());
    // Every later line is free.
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i) h.Highlight(i, line.c_str(), int(line.size()), st.data());
    EXPECT_LT(MsSince(t0), 50.0);
    // Another pattern paints again.
    EXPECT_TRUE(h.Set(L"a+", 2, false, false, true));
    EXPECT_FALSE(h.GaveUp());
    EXPECT_EQ(Marks(h, line), std::wstring(3000, L'#'));
    EXPECT_TRUE(h.Set(L"a(", 2, false, false, true));
    EXPECT_FALSE(h.Error().empty());
}
