// Conformance of the regular-expression engine: the cases of cases.txt, what
// a line of a table cannot say, and a deliberately simple reference matcher
// over every small pattern.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

#include "RegexTestUtil.h"

namespace {

// "start,end" of the first match, "-" for none, "!" for too complex; groups
// follow as "|start,end".
std::string Find(const char16_t* pattern, const char16_t* text, int flags = 0, bool groups = false) {
    Regex re(S(pattern), flags);
    const Str t = S(text);
    const mrx::MatchResult m = re.Search(t);
    if (m.status == mrx::Status::kTooComplex) return "!";
    if (!m.Matched()) return "-";
    std::string out = std::to_string(m.Start()) + "," + std::to_string(m.End());
    if (groups)
        for (int g = 1; g < m.GroupCount(); ++g)
            out += "|" + std::to_string(m.Start(g)) + "," + std::to_string(m.End(g));
    return out;
}

// As Find, over the bounds [start, end] of the text.
std::string FindIn(const char16_t* pattern, const char16_t* text, int start, int end, int flags = 0) {
    Regex re(S(pattern), flags);
    const Str t = S(text);
    const mrx::MatchResult m = re.Search(t.c_str(), int(t.size()), start, end);
    if (m.status == mrx::Status::kTooComplex) return "!";
    if (!m.Matched()) return "-";
    return std::to_string(m.Start()) + "," + std::to_string(m.End());
}

Str Repeat(const char16_t* piece, int times) {
    Str out;
    const Str p = S(piece);
    for (int k = 0; k < times; ++k) out += p;
    return out;
}

// Runs `work` on a thread with a stack of `bytes` (the program's find runs
// on a thread with a 1 MiB stack); a stack overflow crashes the test.
void OnSmallStack(size_t bytes, const std::function<void()>& work) {
    struct Job {
        const std::function<void()>* work;
    } job{&work};
#if defined(__SANITIZE_ADDRESS__)
    bytes *= 16;  // instrumented frames are many times larger
#endif
#ifdef _WIN32
    HANDLE h = CreateThread(
        nullptr, bytes,
        [](void* j) -> DWORD {
            (*static_cast<Job*>(j)->work)();
            return 0;
        },
        &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(h, nullptr);
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
#else
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, bytes);
    pthread_t t;
    ASSERT_EQ(pthread_create(
                  &t, &attr,
                  [](void* j) -> void* {
                      (*static_cast<Job*>(j)->work)();
                      return nullptr;
                  },
                  &job),
              0);
    pthread_join(t, nullptr);
    pthread_attr_destroy(&attr);
#endif
}

double Seconds(const std::function<void()>& work) {
    const auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A literal of cases.txt, as a C++ u"" literal is written, from `at`.
std::u16string Literal(const std::string& line, size_t& at) {
    std::u16string out;
    at = line.find('"', at);
    if (at == std::string::npos) return out;
    const auto hex = [&](size_t most) {
        unsigned v = 0;
        for (size_t n = 0; n < most && at < line.size() && isxdigit(static_cast<unsigned char>(line[at]));
             ++n, ++at)
            v = v * 16 + unsigned(isdigit(static_cast<unsigned char>(line[at])) ? line[at] - '0'
                                                                                : (line[at] | 32) - 'a' + 10);
        return v;
    };
    for (++at; at < line.size() && line[at] != '"';) {
        char32_t c = static_cast<unsigned char>(line[at++]);
        if (c == '\\') {
            const char e = line[at++];
            const char* simple = "nrtfvab\\\"'";
            const char16_t values[] = {u'\n', u'\r', u'\t', u'\f', u'\v', u'\a', u'\b', u'\\', u'"', u'\''};
            const char* k = std::strchr(simple, e);
            c = k ? values[k - simple] : e == 'x' ? hex(8) : e == 'u' ? hex(4) : e == 'U' ? hex(8) : u'?';
        }
        if (c >= 0x10000)
            out += char16_t(0xD800 + ((c - 0x10000) >> 10)), c = 0xDC00 + ((c - 0x10000) & 0x3FF);
        out += char16_t(c);
    }
    ++at;
    return out;
}

}  // namespace

// Every line of cases.txt: "pattern" "text" want [flags] (its head says more).
TEST(RegexCases, EachFindsWhatTheFileSays) {
    std::ifstream in(REGEX_CASES);
    ASSERT_TRUE(in.good()) << REGEX_CASES;
    std::string line, section;
    int number = 0, cases = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line;
            continue;
        }
        size_t at = 0;
        const std::u16string pattern = Literal(line, at), text = Literal(line, at);
        std::istringstream rest(line.substr(std::min(at, line.size())));
        std::string want, letters;
        rest >> want >> letters;
        int flags = 0;
        const char* const kLetters = "imsxrG";
        const int kBits[] = {mrx::IGNORECASE, mrx::MULTILINE,   mrx::SINGLELINE,
                             mrx::EXTENDED,   mrx::RIGHTTOLEFT, mrx::GLOBAL};
        for (char f : letters[0] == '#' ? std::string() : letters)
            if (const char* k = std::strchr(kLetters, f); k && *k) flags |= kBits[k - kLetters];
        EXPECT_EQ(Find(pattern.c_str(), text.c_str(), flags, letters.find('g') != std::string::npos), want)
            << "cases.txt:" << number << " " << section << " " << line;
        ++cases;
    }
    EXPECT_GT(cases, 200);
}

TEST(RegexGroups, NamedGroupsAreNumberedAfterNumberedOnes) {
    Regex re(S(u"(?<year>\\d+)-(\\d+)-(?'day'\\d+)(?P<year>x)?"));
    EXPECT_EQ(re.GroupCount(), 4);
    EXPECT_EQ(re.GroupNumber(S(u"year").c_str()), 2);
    EXPECT_EQ(re.GroupNumber(S(u"day").c_str()), 3);
    EXPECT_EQ(re.GroupNumber(S(u"month").c_str()), -1);
    const Str t = S(u"2026-12-06");
    const auto m = re.Search(t);
    EXPECT_EQ(m.Start(1), 5);  // the numbered group
    EXPECT_EQ(m.Start(2), 0);
    EXPECT_EQ(m.Start(3), 8);
}

TEST(RegexRightToLeft, FindsTheLastMatchFirst) {
    Regex re(S(u"x"), mrx::RIGHTTOLEFT);
    const Str t = S(u"x..x..x");
    EXPECT_EQ(re.Search(t.c_str(), int(t.size()), 0, 5).Start(), 3);  // searching back from 5
}

TEST(RegexRobustness, MalformedPatternsMatchNothing) {
    for (const char16_t* bad : {u"(", u"a)", u"[abc", u"*a", u"a**", u"(?", u"(?<n", u"\\", u"(?<=a", u"(?Z)",
                                u"a{2}{3}x(", u"(?(1", u"\\k<", u"(?P=", u"[[:alpha:"}) {
        Regex re(S(bad));
        EXPECT_FALSE(re.Ok()) << Narrow(S(bad));
        const Str t = S(u"abc(a)[abc*");
        EXPECT_FALSE(re.Search(t).Matched()) << Narrow(S(bad));
    }
    Regex empty(S(u""));
    EXPECT_TRUE(empty.Ok());
    EXPECT_EQ(empty.Search(S(u"abc")).End(), 0);
}

TEST(RegexRobustness, PathologicalPatternsEndWithTooComplex) {
    const std::u16string as(30, u'a');
    Regex a(S(u"(a*)*b"));
    a.SetBudget(2000000);
    EXPECT_EQ(a.Search(S(as.c_str())).status, mrx::Status::kTooComplex);
    Regex x(S(u"(x+x+)+y"));
    x.SetBudget(2000000);
    EXPECT_EQ(x.Search(S(std::u16string(40, u'x').c_str())).status, mrx::Status::kTooComplex);
    // Ordinary searches over long text stay well inside the budget.
    Str long_;
    for (int i = 0; i < 20000; ++i) long_ += S(u"some words, and numbers 123; ");
    long_ += S(u"needle");
    Regex ok(S(u"\\b[a-z]+dle\\b"));
    EXPECT_EQ(ok.Search(long_).status, mrx::Status::kMatch);
    // Long runs do not grow the machine's stack.
    Str run(2000000, Unit('a'));
    Regex star(S(u"(?:a|b)*c"));
    EXPECT_NE(star.Search(run).status, mrx::Status::kMatch);
    Regex simple(S(u"a*$"));
    EXPECT_EQ(simple.Search(run).End(), 2000000);
}

TEST(RegexReplace, TemplateForms) {
    Regex re(S(u"(\\w+)@(?<host>\\w+)"));
    const Str t = S(u"mail bob@example now");
    const auto m = re.Search(t);
    ASSERT_TRUE(m.Matched());
    auto expand = [&](const char16_t* tmpl) {
        const Str s = S(tmpl);
        return Narrow(re.Expand(s.c_str(), int(s.size()), t.c_str(), int(t.size()), m));
    };
    EXPECT_EQ(expand(u"$1 at $2"), "bob at example");
    EXPECT_EQ(expand(u"${host}/${nope}"), "example/${nope}");
    EXPECT_EQ(expand(u"$$1 $& [$`] [$']"), "$1 bob@example [mail ] [ now]");
    EXPECT_EQ(expand(u"$_"), "mail bob@example now");
    EXPECT_EQ(expand(u"$+"), "example");
    EXPECT_EQ(expand(u"$12"), "bob2");     // group 1 followed by "2"
    EXPECT_EQ(expand(u"$9x $"), "$9x $");  // no such group: literal
    EXPECT_EQ(expand(u"$012"), "bob2");    // 12 is too big: group 01 followed by "2"
    EXPECT_EQ(expand(u"a$%b"), "a$%b");
}

TEST(RegexRobustness, DeepNestingIsACompileErrorNotACrash) {
    // The find box takes 4,096 units: every nesting a user can type must end
    // in an error, not in a stack overflow or a long compile.
    for (const char16_t* open : {u"(", u"(?:", u"(a", u"(?=", u"(?>", u"[", u"(?(?="}) {
        const Str p = Repeat(open, 4096);
        Regex re(p);
        EXPECT_FALSE(re.Ok()) << Narrow(S(open));
        EXPECT_NE(re.Error().find("nest"), std::string::npos) << re.Error();
        EXPECT_FALSE(re.Search(S(u"aaa")).Matched());
    }
    Regex closed(Repeat(u"(a", 3000) + Repeat(u")", 3000));
    EXPECT_FALSE(closed.Ok());
    // Nesting within the limit still works.
    Regex fine(Repeat(u"(?:a", 100) + Repeat(u")", 100));
    EXPECT_TRUE(fine.Ok()) << fine.Error();
    EXPECT_EQ(fine.Search(Repeat(u"a", 101)).End(), 100);
    Regex brackets(Repeat(u"[", 50) + S(u"x") + Repeat(u"]", 50));
    EXPECT_TRUE(brackets.Ok()) << brackets.Error();
    EXPECT_EQ(brackets.Search(S(u"ax")).Start(), 1);
}

TEST(RegexRobustness, CompilingStaysCloseToLinear) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < 5; ++k) Regex re(Repeat(u"[", 20000));
    Regex alts(Repeat(u"ab|", 20000));
    Regex classes(Repeat(u"[a-z]", 20000));
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(s, 2.0);
}

// A match may start at any position from start to end inclusive, whatever
// the pattern starts with; it may extend past end. Right to left, the
// positions are where a match ends.
TEST(RegexSearchBounds, StartAndEndAreBothTriedOnEveryPath) {
    for (const char16_t* p : {u"ab", u".b", u"[a]b", u"(?:a|x)b", u"a"}) {
        EXPECT_EQ(FindIn(p, u"xab ab", 1, 1).substr(0, 2), "1,") << Narrow(S(p));
        EXPECT_EQ(FindIn(p, u"xab ab", 2, 2), "-") << Narrow(S(p));
        EXPECT_EQ(FindIn(p, u"xab ab", 2, 4).substr(0, 2), "4,") << Narrow(S(p));
        EXPECT_EQ(FindIn(p, u"xab ab", 0, 0), "-") << Narrow(S(p));
    }
    EXPECT_EQ(FindIn(u"ab", u"abab", 1, 2), "2,4");  // starts at end, runs past it
    EXPECT_EQ(FindIn(u"a*", u"abab", 4, 4), "4,4");
    EXPECT_EQ(FindIn(u"a", u"abab", 4, 4), "-");
    EXPECT_EQ(FindIn(u"^a", u"a\na", 2, 2, mrx::MULTILINE), "2,3");
    EXPECT_EQ(FindIn(u"^a", u"a\na", 1, 1, mrx::MULTILINE), "-");
    EXPECT_EQ(FindIn(u"ab", u"abab", 3, 1), "-");  // start past end: nothing
    // Right to left: positions from end down to start are match ends.
    EXPECT_EQ(FindIn(u"ab", u"abab", 2, 2, mrx::RIGHTTOLEFT), "0,2");
    EXPECT_EQ(FindIn(u"ab", u"abab", 1, 1, mrx::RIGHTTOLEFT), "-");
    EXPECT_EQ(FindIn(u"[a]b", u"abab", 0, 3, mrx::RIGHTTOLEFT), "0,2");
    EXPECT_EQ(FindIn(u".b", u"abab", 4, 4, mrx::RIGHTTOLEFT), "2,4");
}

TEST(RegexGroups, RecursionKeepsItsOwnCountersAndDepth) {
    const char16_t* balanced = u"\\((?:[^()]|(?R))*\\)";
    EXPECT_EQ(Find(balanced, (std::u16string(300, u'(') + std::u16string(300, u')')).c_str()), "0,600");
    // Deeper than the engine allows: too complex, never a partial match.
    EXPECT_EQ(Find(balanced, (std::u16string(5000, u'(') + std::u16string(5000, u')')).c_str()), "!");
}

TEST(RegexRobustness, BackReferenceComparisonsCountAgainstTheBudget) {
    // One start position: few matcher steps, but millions of units compared.
    for (const char16_t* p : {u"(a*)\\1x", u"(a+)\\1+b"}) {
        Regex re(S(p));
        re.SetBudget(1000000);
        const Str t = Repeat(u"a", 8000);
        EXPECT_EQ(re.Search(t.c_str(), int(t.size()), 0, 0).status, mrx::Status::kTooComplex) << Narrow(S(p));
    }
}

TEST(RegexRobustness, OneBudgetCoversAWholeOperation) {
    Regex re(S(u"(a*)*b"));
    const Str line = Repeat(u"a", 30);
    mrx::Budget budget;
    budget.steps = 3000000;
    int tooComplex = 0;
    for (int k = 0; k < 100; ++k)
        if (re.Search(line.c_str(), int(line.size()), 0, -1, budget).status == mrx::Status::kTooComplex)
            ++tooComplex;
    EXPECT_TRUE(budget.exhausted);
    EXPECT_EQ(budget.steps, 0u);
    EXPECT_EQ(tooComplex, 100);  // the first line spends it, the rest find it spent
    // Ordinary searches draw on it too, and still succeed.
    mrx::Budget plenty;
    const uint64_t before = plenty.steps;
    Regex word(S(u"\\bb\\w+"));
    const Str text = S(u"a few words then bob");
    EXPECT_EQ(word.Search(text.c_str(), int(text.size()), 0, -1, plenty).Start(), 17);
    EXPECT_LT(plenty.steps, before);
    EXPECT_FALSE(plenty.exhausted);
    // The memory for backtracking is bounded as well.
    const Str run(2000000, Unit('a'));
    Regex star(S(u"(a|b)*c"));
    mrx::Budget small;
    small.memory = 1 << 20;
    EXPECT_EQ(star.Search(run.c_str(), int(run.size()), 0, -1, small).status, mrx::Status::kTooComplex);
    EXPECT_TRUE(small.exhausted);
}

// No match starts inside a pair, even an empty one at the search's start.
TEST(RegexSurrogates, AMatchNeverSplitsAPair) { EXPECT_EQ(FindIn(u"", u"\U0001F600", 1, 1), "-"); }

TEST(RegexReplace, NeverLeavesHalfACharacter) {
    // Replace every match of a pattern that might stop inside a pair.
    const Str text = S(u"x\U0001F600y\U0001F601z");
    for (const char16_t* p :
         {u".", u"[^y]", u"\\W", u"\\x{D83D}", u"\\x{DE00}|\\x{DE01}", u"..?", u"(?<=x).{1}"}) {
        Regex re(S(p));
        Str out;
        int pos = 0;
        for (;;) {
            const auto m = re.Search(text.c_str(), int(text.size()), pos, -1);
            if (!m.Matched()) break;
            out.append(text, size_t(pos), size_t(m.Start() - pos));
            out += Unit('_');
            ASSERT_GT(m.End(), m.Start());  // none of these matches is empty
            pos = m.End();
        }
        if (pos < int(text.size())) out.append(text, size_t(pos), Str::npos);
        for (size_t k = 0; k < out.size(); ++k) {
            const unsigned u = unsigned(out[k]);
            if (u >= 0xD800 && u <= 0xDBFF) {
                ASSERT_TRUE(k + 1 < out.size() && unsigned(out[k + 1]) >= 0xDC00 &&
                            unsigned(out[k + 1]) <= 0xDFFF)
                    << Narrow(S(p));
                ++k;
            } else {
                ASSERT_FALSE(u >= 0xDC00 && u <= 0xDFFF) << Narrow(S(p));
            }
        }
    }
}

// A deliberately simple backtracking matcher for patterns over literals,
// ".", "*", "+", "?", "|" and "(...)", in continuation-passing style.
namespace {

struct Ref {
    std::string p;
    size_t i = 0;
    struct Node {
        char kind = 0;  // 'c' char, '.' any, 's' sequence, '|' alternation, '*' '+' '?' repeat, 'g' group
        char c = 0;
        std::vector<Node> kids = {};
    };
    bool ok = true;

    Node ParseAlt() {
        Node alt{'|'};
        alt.kids.push_back(ParseSeq());
        while (i < p.size() && p[i] == '|') {
            ++i;
            alt.kids.push_back(ParseSeq());
        }
        return alt;
    }
    Node ParseSeq() {
        Node seq{'s'};
        while (i < p.size() && p[i] != '|' && p[i] != ')') {
            Node atom;
            if (p[i] == '(') {
                ++i;
                atom = Node{'g'};
                atom.kids.push_back(ParseAlt());
                if (i >= p.size() || p[i] != ')') ok = false;
                ++i;
            } else if (p[i] == '*' || p[i] == '+' || p[i] == '?') {
                ok = false;
                return seq;
            } else {
                atom = Node{p[i] == '.' ? '.' : 'c', p[i]};
                ++i;
            }
            while (i < p.size() && (p[i] == '*' || p[i] == '+' || p[i] == '?')) {
                Node rep{p[i]};
                rep.kids.push_back(atom);
                atom = rep;
                ++i;
                if (i < p.size() && (p[i] == '*' || p[i] == '+' || p[i] == '?')) ok = false;
            }
            seq.kids.push_back(atom);
        }
        return seq;
    }

    const std::string* t = nullptr;
    using K = std::function<bool(size_t)>;
    bool M(const Node& n, size_t pos, const K& k) {
        switch (n.kind) {
            case 'c': return pos < t->size() && (*t)[pos] == n.c && k(pos + 1);
            case '.': return pos < t->size() && (*t)[pos] != '\n' && k(pos + 1);
            case 'g': return M(n.kids[0], pos, k);
            case '|':
                for (const Node& a : n.kids)
                    if (M(a, pos, k)) return true;
                return false;
            case 's': return Seq(n, 0, pos, k);
            case '?': return M(n.kids[0], pos, k) || k(pos);
            case '*': return Star(n.kids[0], pos, k);
            case '+': return M(n.kids[0], pos, [&](size_t q) { return Star(n.kids[0], q, k); });
        }
        return false;
    }
    bool Seq(const Node& n, size_t idx, size_t pos, const K& k) {
        if (idx == n.kids.size()) return k(pos);
        return M(n.kids[idx], pos, [&](size_t q) { return Seq(n, idx + 1, q, k); });
    }
    // An iteration that consumed nothing ends the loop.
    bool Star(const Node& body, size_t pos, const K& k) {
        if (M(body, pos, [&](size_t q) { return q == pos ? k(q) : Star(body, q, k); })) return true;
        return k(pos);
    }
};

std::string RefFind(const std::string& pattern, const std::string& text) {
    Ref r;
    r.p = pattern;
    Ref::Node root = r.ParseAlt();
    if (!r.ok || r.i != pattern.size()) return "bad";
    r.t = &text;
    for (size_t s = 0; s <= text.size(); ++s) {
        size_t end = 0;
        if (r.M(root, s, [&](size_t q) {
                end = q;
                return true;
            }))
            return std::to_string(s) + "," + std::to_string(end);
    }
    return "-";
}

}  // namespace

TEST(RegexReference, EverySmallPatternAgreesWithTheReferenceMatcher) {
    const std::string alphabet = "ab.*+?|()";
    std::vector<std::string> patterns = {""};
    std::vector<std::string> frontier = {""};
    for (int len = 1; len <= 4; ++len) {
        std::vector<std::string> next;
        for (const std::string& p : frontier)
            for (char c : alphabet) next.push_back(p + c);
        patterns.insert(patterns.end(), next.begin(), next.end());
        frontier = next;
    }
    std::vector<std::string> texts = {""};
    for (int len = 1; len <= 4; ++len)
        for (int bits = 0; bits < (1 << len); ++bits) {
            std::string s;
            for (int k = 0; k < len; ++k) s += (bits >> k) & 1 ? 'b' : 'a';
            texts.push_back(s);
        }
    int compared = 0;
    for (const std::string& p : patterns) {
        if (RefFind(p, "") == "bad") continue;
        Regex re(S(p));
        ASSERT_TRUE(re.Ok()) << p;
        for (const std::string& t : texts) {
            const Str ts = S(t);
            const auto m = re.Search(ts);
            const std::string got =
                m.Matched() ? std::to_string(m.Start()) + "," + std::to_string(m.End()) : "-";
            ASSERT_EQ(got, RefFind(p, t)) << "pattern " << p << " text " << t;
            ++compared;
        }
    }
    EXPECT_GT(compared, 30000);
}

// Look-arounds, atomic groups and conditions run their bodies as nested
// sub-runs; recursion multiplies their nesting. However deep, a search stays
// inside a 1 MiB stack and ends as too complex.
TEST(RegexRobustness, NestedSubRunsUnderRecursionStayOnASmallStack) {
    const Str text(3000, Unit('a'));
    for (const char16_t* open : {u"(?=", u"(?>", u"(?!(?!", u"(?(?="}) {
        const bool cond = open[2] == u'(';
        Str p = S(u"a");
        for (int k = 0; k < 8; ++k) p += S(open);
        p += S(u"(?R)");
        for (int k = 0; k < 8; ++k) p += S(cond ? u")x|y)" : (open[2] == u'!' ? u"))" : u")"));
        Regex re(p);
        ASSERT_TRUE(re.Ok()) << re.Error();
        mrx::Status status = mrx::Status::kMatch;
        OnSmallStack(size_t(1) << 20, [&] { status = re.Search(text).status; });
        EXPECT_EQ(status, mrx::Status::kTooComplex) << Narrow(p);
    }
    // Nesting of sub-runs within reason still works, recursion included.
    EXPECT_EQ(Find(u"\\((?>[^()]|(?R))*\\)", (std::u16string(100, u'(') + std::u16string(100, u')')).c_str()),
              "0,200");
}

// Case variants of a nested bracket are tried once, not again at every level.
TEST(RegexRobustness, DeeplyNestedBracketsIgnoringCaseStayFast) {
    Str p = Repeat(u"[", 200) + S(u"x") + Repeat(u"]", 200);
    const double s = Seconds([&] {
        Regex re(p, mrx::IGNORECASE);
        ASSERT_TRUE(re.Ok()) << re.Error();
        EXPECT_EQ(re.Search(S(u"\u044f\u044fX")).Start(), 2);
        EXPECT_EQ(re.Search(S(u"\u044f\u212a")).Matched(), false);
        Regex neg(Repeat(u"[^", 199) + S(u"k") + Repeat(u"]", 199),
                  mrx::IGNORECASE);  // odd: not k in any case
        EXPECT_EQ(neg.Search(S(u"\u212aK")).Matched(), false);
        EXPECT_EQ(neg.Search(S(u"\u212a\u044f")).Start(), 1);
    });
    EXPECT_LT(s, 2.0);
}

// The registers kept for recursive calls count against the memory budget.
TEST(RegexRobustness, RegistersSavedByRecursiveCallsCountAgainstMemory) {
    const Str p = Repeat(u"()", 120) + S(u"(?:(?R1)a)*b");
    Regex re(p);
    ASSERT_TRUE(re.Ok()) << re.Error();
    const Str text(10000, Unit('a'));
    mrx::Budget budget;
    budget.memory = size_t(4) << 20;
    EXPECT_EQ(re.Search(text.c_str(), int(text.size()), 0, 0, budget).status, mrx::Status::kTooComplex);
    mrx::Budget plenty;
    EXPECT_EQ(re.Search(text.c_str(), int(text.size()), 0, 0, plenty).status, mrx::Status::kNoMatch);
}

// Work outside the matcher's steps is charged too: the literal-prefix check,
// resetting many registers at every start position, large classes.
TEST(RegexRobustness, UnitComparisonsOutsideTheMatcherCountAgainstTheBudget) {
    {
        Regex re(Repeat(u"a", 4000) + S(u"b"));
        const Str text(20000, Unit('a'));
        mrx::Budget budget;
        budget.steps = 1000;
        EXPECT_EQ(re.Search(text.c_str(), int(text.size()), 0, -1, budget).status, mrx::Status::kTooComplex);
    }
    {
        Regex re(S(u"(?=x)") + Repeat(u"()", 10000));
        ASSERT_TRUE(re.Ok()) << re.Error();
        const Str text(10000, Unit('a'));
        mrx::Budget budget;
        budget.steps = 100000;
        EXPECT_EQ(re.Search(text.c_str(), int(text.size()), 0, -1, budget).status, mrx::Status::kTooComplex);
    }
    {
        // A class of 20,000 ranges: membership does not scan them all.
        Str cls = S(u"[");
        for (int k = 0; k < 20000; ++k) {
            const Unit u = Unit(0x3000 + 2 * (k % 10000) + k / 10000);
            cls += u;
            cls += Unit('-');
            cls += u;
        }
        cls += S(u"\u044f]");
        Regex re(S(u"(") + cls + S(u"*)*c"));
        ASSERT_TRUE(re.Ok()) << re.Error();
        re.SetBudget(2000000);
        const Str text(30, Unit(0x044f));
        mrx::Status status = mrx::Status::kMatch;
        const double s = Seconds([&] { status = re.Search(text).status; });
        EXPECT_EQ(status, mrx::Status::kTooComplex);
        EXPECT_LT(s, 2.0);
        Regex some(cls + S(u"+"));
        EXPECT_EQ(some.Search(S(u"ab\u3000\u3001\u3003\u3004x")).End(), 6);
    }
}

// What the optimiser made of a pattern, read from the program's dump: each
// line given must be in it ("!" before a line: must not be).
TEST(RegexProgram, TheOptimisationsShowInTheDump) {
    struct Case {
        const char16_t* pattern;
        int flags;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {u"abc", 0, {"prefix \"abc\"", "string \"abc\"", "match"}},
        {u"abc", mrx::IGNORECASE, {"prefix ignoring case \"abc\""}},
        {u"\\w+ x", 0, {"repsimple possessive", "!repsimple greedy"}},
        {u"\\w+\\w", 0, {"repsimple greedy", "!repsimple possessive"}},
        {u"apple|banana|cherry", 0, {"pairs screened"}},
        {u"^abc", 0, {"anchored at the start"}},
        {u"a*", 0, {"!prefix", "!anchored"}},
        {u"[x-z]q", 0, {"first range x + 2"}},
        {u"(a)(b)", 0, {"groups 3"}},
    };
    for (const Case& c : cases) {
        const Regex re(S(c.pattern), c.flags);
        ASSERT_TRUE(re.Ok()) << Narrow(S(c.pattern));
        const std::string dump = re.Dump();
        for (const std::string& line : c.lines) {
            const bool absent = line[0] == '!';
            const std::string text = absent ? line.substr(1) : line;
            EXPECT_EQ(dump.find(text) == std::string::npos, absent)
                << "pattern " << Narrow(S(c.pattern)) << (absent ? " has \"" : " lacks \"") << text
                << "\" in:\n"
                << dump;
        }
    }
}

// The literals every match holds, which a search may screen its text for:
// strings in sequence ("/" between them, "i" after one that ignores case),
// never one inside an alternative, an optional part or a look-around.
TEST(RegexProgram, TheRequiredLiteralsAreOnesEveryMatchHolds) {
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"zebra +crossing", "zebra/ /crossing"},
        {u"(?i)zebra +crossing", "zebra i/  i/crossing i"},
        {u"x(abcd)+y", "x/abcd/y"},
        {u"x(abcd)*y", "x/y"},
        {u"(?:abc|abd)", ""},
        {u"ab?cd", "a/cd"},
        {u"(?=abcdef)x", "x"},
        {u"(?>ab)c{2,}\\d", "ab/c"},
        {u"a.*", "a"},
        {u"\\d+", ""},
    };
    for (const auto& [pattern, literals] : cases)
        for (const int flags : {0, int(mrx::RIGHTTOLEFT)}) {
            const Regex re(S(pattern), flags);
            std::string got;
            for (const auto& l : re.RequiredLiterals())
                got += (got.empty() ? "" : "/") + Narrow(l.text) + (l.icase ? " i" : "");
            EXPECT_EQ(got, literals) << Narrow(S(pattern)) << " flags " << flags;
        }
}
