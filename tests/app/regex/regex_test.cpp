// Conformance of the regular-expression engine, case by case, and against a
// deliberately simple reference matcher over every small pattern.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
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
        for (int g = 1; g < m.GroupCount(); ++g) out += "|" + std::to_string(m.Start(g)) + "," + std::to_string(m.End(g));
    return out;
}

std::string Groups(const char16_t* pattern, const char16_t* text, int flags = 0) {
    return Find(pattern, text, flags, true);
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

}  // namespace

TEST(RegexSyntax, LiteralsAndEscapes) {
    EXPECT_EQ(Find(u"abc", u"xxabcx"), "2,5");
    EXPECT_EQ(Find(u"a\\.c", u"abc a.c"), "4,7");
    EXPECT_EQ(Find(u"\\\\", u"a\\b"), "1,2");
    EXPECT_EQ(Find(u"\\t\\n\\r\\f\\v\\a\\e", u"x\t\n\r\f\v\a\x1b"), "1,8");
    EXPECT_EQ(Find(u"\\x41\\x{42}\\u0043", u"zABC"), "1,4");
    EXPECT_EQ(Find(u"\\x{4e2d}", u"a\u4e2d"), "1,2");
    EXPECT_EQ(Find(u"\\Qa.b*\\E+", u"xa.b**"), "1,6");  // the quantifier takes the last unit
    EXPECT_EQ(Find(u"\\Uabc\\E", u"xABC"), "1,4");
    EXPECT_EQ(Find(u"\\LABC\\E", u"xabc"), "1,4");
    EXPECT_EQ(Find(u"a b # comment\n c", u"abc", mrx::EXTENDED), "0,3");
}

TEST(RegexSyntax, DotAndStockClasses) {
    EXPECT_EQ(Find(u"a.c", u"a\nc abc"), "4,7");
    EXPECT_EQ(Find(u"a.c", u"a\nc", mrx::SINGLELINE), "0,3");
    EXPECT_EQ(Find(u"\\d+", u"ab\u0663\uff11 123"), "5,8");  // not Arabic-Indic or full-width digits
    EXPECT_EQ(Find(u"\\w+", u"-- a_Z9 --"), "3,7");
    EXPECT_EQ(Find(u"\\W+", u"ab-+cd"), "2,4");
    EXPECT_EQ(Find(u"\\s+", u"a \t\r\nb"), "1,5");
    EXPECT_EQ(Find(u"\\s", u"a\fb"), "-");
    EXPECT_EQ(Find(u"\\s", u"a\fb", mrx::RIGHTTOLEFT), "1,2");  // right to left also takes FF and VT
    EXPECT_EQ(Find(u"\\S+", u"  ab "), "2,4");
    EXPECT_EQ(Find(u"\\c+", u"a\u4e2d\u6587\u5b57b"), "1,4");
    EXPECT_EQ(Find(u"\\j+\\J+", u"x\u3072\u3089\u30ab\u30bfy"), "1,5");
    EXPECT_EQ(Find(u"\\P", u"a\u3001"), "1,2");
    EXPECT_EQ(Find(u"\\D\\D", u"1a2bc"), "3,5");
}

TEST(RegexSyntax, Brackets) {
    EXPECT_EQ(Find(u"[a-c]+", u"xxbcaq"), "2,5");
    EXPECT_EQ(Find(u"[^a-c]+", u"abcxyzab"), "3,6");
    EXPECT_EQ(Find(u"[]a]+", u"x]a]"), "1,4");
    EXPECT_EQ(Find(u"[a\\]]+", u"x]a]"), "1,4");
    EXPECT_EQ(Find(u"[\\d_]+", u"ab_12c"), "2,5");
    EXPECT_EQ(Find(u"[\\b]", u"a\bb"), "1,2");
    EXPECT_EQ(Find(u"[a-]+", u"x-a-"), "1,4");
    EXPECT_EQ(Find(u"[[:digit:]]+", u"ab12"), "2,4");
    EXPECT_EQ(Find(u"[[:^alpha:]]+", u"ab12cd"), "2,4");
    EXPECT_EQ(Find(u"[[:blank:]]+", u"a \tb"), "1,3");
    EXPECT_EQ(Find(u"[[:upper:][:digit:]]+", u"aB1c"), "1,3");
    EXPECT_EQ(Find(u"[[:nonsense:]]", u"abc"), "-");
    EXPECT_EQ(Find(u"[a-z[0-9]]+", u"-a1-"), "1,3");
    EXPECT_EQ(Find(u"[^\\s]+", u"  ab "), "2,4");
}

TEST(RegexSyntax, AnchorsAndLineEnds) {
    EXPECT_EQ(Find(u"^b", u"a\nb"), "-");
    EXPECT_EQ(Find(u"^b", u"a\nb", mrx::MULTILINE), "2,3");
    EXPECT_EQ(Find(u"^b", u"a\rb", mrx::MULTILINE), "2,3");
    EXPECT_EQ(Find(u"a$", u"a\nb"), "-");
    EXPECT_EQ(Find(u"a$", u"a\nb", mrx::MULTILINE), "0,1");
    EXPECT_EQ(Find(u"a$", u"ba\n"), "1,2");     // before the LF the find dialog appends
    EXPECT_EQ(Find(u"a$", u"ba"), "1,2");
    EXPECT_EQ(Find(u"a$", u"ba\r\n"), "1,2");
    EXPECT_EQ(Find(u"$", u"a\r\nb", mrx::MULTILINE), "1,1");  // a line ends before CR, not between CR and LF
    EXPECT_EQ(Find(u"\\Aa", u"ba"), "-");
    EXPECT_EQ(Find(u"a\\z", u"a\n"), "0,1");
    EXPECT_EQ(Find(u"a\\Z", u"a\r\n"), "0,1");
    EXPECT_EQ(Find(u"a\\Z", u"a\r"), "-");
    EXPECT_EQ(Find(u"\\bfoo\\b", u"afoo foo"), "5,8");
    EXPECT_EQ(Find(u"\\Boo", u"foo oo"), "1,3");
    EXPECT_EQ(Find(u"\\Ga", u"ba"), "1,2");  // without the flag \\G matches the empty string
    EXPECT_EQ(Find(u"\\Ga", u"ba", mrx::GLOBAL), "-");
    EXPECT_EQ(Find(u"\\Ga", u"ab", mrx::GLOBAL), "0,1");
    EXPECT_EQ(Find(u"x\\Ga", u"xa"), "0,2");  // without the flag \G matches the empty string
}

TEST(RegexQuantifiers, EachKind) {
    EXPECT_EQ(Find(u"a*", u"aaab"), "0,3");
    EXPECT_EQ(Find(u"a*?b", u"aaab"), "0,4");
    EXPECT_EQ(Find(u"a+?", u"aaa"), "0,1");
    EXPECT_EQ(Find(u"a??a", u"aa"), "0,1");
    EXPECT_EQ(Find(u"a{2}", u"aaa"), "0,2");
    EXPECT_EQ(Find(u"a{3}?", u"aaaa"), "0,3");  // the exact form ignores "?"
    EXPECT_EQ(Find(u"a{3}+", u"aaaa"), "0,3");
    EXPECT_EQ(Find(u"a{2,}", u"aaaaa"), "0,5");
    EXPECT_EQ(Find(u"a{2,3}", u"aaaaa"), "0,3");
    EXPECT_EQ(Find(u"a{2,3}?", u"aaaaa"), "0,2");
    EXPECT_EQ(Find(u"a{3,1}", u"aaaa"), "0,3");  // m below n is raised to n
    EXPECT_EQ(Find(u"a{0}b", u"ab"), "1,2");
    EXPECT_EQ(Find(u"a{,2}", u"a{,2}"), "0,5");  // not a quantifier: literal
    EXPECT_EQ(Find(u"a++a", u"aaa"), "-");
    EXPECT_EQ(Find(u"a*+b", u"aaab"), "0,4");
    EXPECT_EQ(Find(u"(ab){2,3}", u"abababab", 0, true), "0,6|4,6");
    EXPECT_EQ(Find(u"(ab){2,3}?", u"abababab", 0, true), "0,4|2,4");
    EXPECT_EQ(Find(u"(?:ab)++ab", u"ababab"), "-");
    EXPECT_EQ(Find(u"(a|b){3}", u"xabba"), "1,4");
    EXPECT_EQ(Find(u"(?:a?)*b", u"aab"), "0,3");  // an empty iteration ends the loop
    EXPECT_EQ(Find(u"(a*)+b", u"b", 0, true), "0,1|0,0");
}

TEST(RegexGroups, BacktrackingIntoGroups) {
    EXPECT_EQ(Groups(u"(a|ab)(c|bcd)(d*)", u"abcd"), "0,4|0,1|1,4|4,4");
    EXPECT_EQ(Groups(u"(a+)(a+)", u"aaaa"), "0,4|0,3|3,4");
    EXPECT_EQ(Groups(u"(a+?)(a+)", u"aaaa"), "0,4|0,1|1,4");
    EXPECT_EQ(Groups(u"(?:(a)|b)+", u"ab"), "0,2|0,1");
    EXPECT_EQ(Groups(u"(a)|(b)", u"b"), "0,1|-1,-1|0,1");
    EXPECT_EQ(Groups(u"((a)b)+", u"abab"), "0,4|2,4|2,3");
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

TEST(RegexGroups, BackReferences) {
    EXPECT_EQ(Find(u"(\\w+) \\1", u"the the x"), "0,7");
    EXPECT_EQ(Find(u"(a)\\1", u"aA"), "-");
    EXPECT_EQ(Find(u"(a)\\1", u"aA", mrx::IGNORECASE), "0,2");
    EXPECT_EQ(Find(u"(?<q>['\"]).*?\\k<q>", u"say \"hi\" now"), "4,8");
    EXPECT_EQ(Find(u"(?P<q>x)(?P=q)", u"axx"), "1,3");
    EXPECT_EQ(Find(u"\\2(a)", u"aa"), "-");    // a group that does not exist never matches
    EXPECT_EQ(Find(u"(a)?\\1", u"b"), "-");    // nor one that has not started
    // A reference inside its own group uses the text consumed so far.
    EXPECT_EQ(Groups(u"(a\\1)", u"aa"), "0,2|0,2");
    EXPECT_EQ(Find(u"(a\\1?)+", u"aaa"), "0,3");
}

TEST(RegexGroups, Conditions) {
    EXPECT_EQ(Find(u"(a)?(?(1)b|c)", u"ab"), "0,2");
    EXPECT_EQ(Find(u"(a)?(?(1)b|c)", u"c"), "0,1");
    EXPECT_EQ(Find(u"(?<x>a)?(?(x)b|c)", u"xc"), "1,2");
    EXPECT_EQ(Find(u"(?(?=\\d)\\d+|[a-z]+)", u"--42"), "2,4");
    EXPECT_EQ(Find(u"(?(?=\\d)\\d+|[a-z]+)", u"--ab"), "2,4");
    EXPECT_EQ(Find(u"(?(?!x)a|x)", u"x"), "0,1");
}

TEST(RegexGroups, Recursion) {
    EXPECT_EQ(Find(u"\\((?:[^()]|(?R))*\\)", u"x(a(b)(c(d)))y"), "1,13");
    EXPECT_EQ(Find(u"^(\\((?:[^()]|(?R1))*\\))$", u"(a(b)c)"), "0,7");
    EXPECT_EQ(Find(u"(?<p>\\[(?:[^\\[\\]]|(?R<p>))*\\])", u"[[x][y]]"), "0,8");
    EXPECT_EQ(Find(u"(?R 2)", u"ab"), "-");  // an undefined group: nothing
    EXPECT_EQ(Find(u"a(?R)?b", u"aaabbb"), "0,6");
}

TEST(RegexLookaround, BothDirections) {
    EXPECT_EQ(Find(u"foo(?=bar)", u"foobaz foobar"), "7,10");
    EXPECT_EQ(Find(u"foo(?!bar)", u"foobar foobaz"), "7,10");
    EXPECT_EQ(Find(u"(?<=\\$)\\d+", u"a 12 $34"), "6,8");
    EXPECT_EQ(Find(u"(?<!\\$)\\b\\d+", u"$12 34"), "4,6");
    EXPECT_EQ(Find(u"(?<=a(b+))c", u"abbbc", 0, true), "4,5|1,4");
    EXPECT_EQ(Find(u"(?=(a+))a", u"aaa", 0, true), "0,1|0,3");
    EXPECT_EQ(Find(u"(?!(a))b", u"b", 0, true), "0,1|-1,-1");  // a negative look-around sets no group
    EXPECT_EQ(Find(u"(?>a+)b", u"aaab"), "0,4");
    EXPECT_EQ(Find(u"(?>a+)ab", u"aaab"), "-");
    EXPECT_EQ(Find(u"(?>a|ab)c", u"abc"), "-");
}

TEST(RegexOptions, InlineAndScoped) {
    EXPECT_EQ(Find(u"(?i)hello", u"HeLLo"), "0,5");
    EXPECT_EQ(Find(u"a(?i)b", u"AB aB"), "3,5");
    EXPECT_EQ(Find(u"(?i:a)b", u"Ab AB"), "0,2");
    EXPECT_EQ(Find(u"(?i:a)b", u"AB"), "-");
    EXPECT_EQ(Find(u"(?i)[a-c]+", u"xABCx"), "1,4");
    EXPECT_EQ(Find(u"(?s).", u"\n"), "0,1");
    EXPECT_EQ(Find(u"(?m)^b", u"a\nb"), "2,3");
    EXPECT_EQ(Find(u"(?i-i:a)", u"A"), "-");
    EXPECT_EQ(Find(u"(?i)\u00e9t\u00c9", u"\u00c9T\u00e9"), "0,3");
    EXPECT_EQ(Find(u"(?#note)ab", u"ab"), "0,2");
}

TEST(RegexRightToLeft, FindsTheLastMatchFirst) {
    EXPECT_EQ(Find(u"ab", u"ab ab ab", mrx::RIGHTTOLEFT), "6,8");
    EXPECT_EQ(Find(u"(?<=b)a", u"cabab", mrx::RIGHTTOLEFT), "3,4");
    EXPECT_EQ(Find(u"\\d+", u"1 22 333", mrx::RIGHTTOLEFT), "5,8");
    EXPECT_EQ(Groups(u"(a+)(b+)", u"aabb ab", mrx::RIGHTTOLEFT), "5,7|5,6|6,7");
    EXPECT_EQ(Find(u"\\1(\\w)", u"aabbc", mrx::RIGHTTOLEFT), "2,4");  // the group to the right is matched first
    EXPECT_EQ(Find(u"^a", u"ab\nab", mrx::RIGHTTOLEFT | mrx::MULTILINE), "3,4");
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
    EXPECT_EQ(expand(u"$12"), "bob2");      // group 1 followed by "2"
    EXPECT_EQ(expand(u"$9x $"), "$9x $");   // no such group: literal
    EXPECT_EQ(expand(u"$012"), "bob2");     // 12 is too big: group 01 followed by "2"
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
    EXPECT_EQ(Find(u"x(?:y(?R)?){2}z", u"xyxyxyyzyzyz"), "0,12");
    EXPECT_EQ(Find(u"x(?:y(?R)?){2}z", u"xyyz"), "0,4");
    EXPECT_EQ(Find(u"a(?:b(?R)?)+c", u"ababcbc"), "0,7");
    const char16_t* balanced = u"\\((?:[^()]|(?R))*\\)";
    EXPECT_EQ(Find(balanced, (std::u16string(300, u'(') + std::u16string(300, u')')).c_str()), "0,600");
    // Deeper than the engine allows: too complex, never a partial match.
    EXPECT_EQ(Find(balanced, (std::u16string(5000, u'(') + std::u16string(5000, u')')).c_str()), "!");
    EXPECT_EQ(Find(u"(?R)a", u"aaa"), "-");  // a call of itself where it started fails
    // Backtracking goes back into a recursive call.
    EXPECT_EQ(Find(u"(a|ab)(?R1)c", u"aabc"), "0,4");
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
        if (re.Search(line.c_str(), int(line.size()), 0, -1, budget).status == mrx::Status::kTooComplex) ++tooComplex;
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

TEST(RegexOptions, IgnoreCaseFollowsUnicodeSimpleFolding) {
    const int i = mrx::IGNORECASE;
    EXPECT_EQ(Find(u"\uff21\uff22\uff23", u"x\uff41\uff42\uff43", i), "1,4");  // full-width
    EXPECT_EQ(Find(u"\u1ea0\u1e9e", u"\u1ea1\u00df", i), "0,2");  // Latin Extended Additional, capital sharp s
    EXPECT_EQ(Find(u"\u0460\u0490\u04d0", u"\u0461\u0491\u04d1", i), "0,3");  // Cyrillic extensions
    EXPECT_EQ(Find(u"\u03c3", u"\u03c2", i), "0,1");  // final sigma
    EXPECT_EQ(Find(u"\u03a3", u"\u03c2", i), "0,1");
    EXPECT_EQ(Find(u"\u03c2", u"\u03a3", i), "0,1");
    EXPECT_EQ(Find(u"k", u"\u212a", i), "0,1");  // Kelvin sign
    EXPECT_EQ(Find(u"\u0561", u"\u0531", i), "0,1");  // Armenian
    EXPECT_EQ(Find(u"[\uff41-\uff5a]+", u"\uff21\uff3a", i), "0,2");
    EXPECT_EQ(Find(u"[\u03c3]", u"\u03c2", i), "0,1");
    EXPECT_EQ(Find(u"(\u1ea1)\\1", u"\u1ea1\u1ea0", i), "0,2");
    EXPECT_EQ(Find(u"\u03c3", u"\u03c2"), "-");  // only when ignoring case
    EXPECT_EQ(Find(u"\\U\u1ea1\\E", u"\u1ea0"), "0,1");
}

TEST(RegexSurrogates, AMatchNeverSplitsAPair) {
    const char16_t* face = u"a\U0001F600b";  // a, a surrogate pair, b
    EXPECT_EQ(Find(u"a.b", face), "0,4");
    EXPECT_EQ(Find(u"a[^x]b", face), "0,4");
    EXPECT_EQ(Find(u"a\\Db", face), "0,4");
    EXPECT_EQ(Find(u"a\\Wb", face), "0,4");
    EXPECT_EQ(Find(u"a\\Sb", face), "0,4");
    EXPECT_EQ(Find(u"a.b", face, mrx::RIGHTTOLEFT), "0,4");
    EXPECT_EQ(Find(u"\\x{1F600}", face), "1,3");
    EXPECT_EQ(Find(u"[\\x{1F600}]", face), "1,3");
    EXPECT_EQ(Find(u"[\\x{1F600}-\\x{1F64F}]+", u"\U0001F600\U0001F64F"), "0,4");
    EXPECT_EQ(Find(u"a.{2}", u"a\U0001F600"), "-");
    EXPECT_EQ(Groups(u"(.*).", u"\U0001F600\U0001F600"), "0,4|0,2");
    EXPECT_EQ(Find(u".+?", u"\U0001F600"), "0,2");
    EXPECT_EQ(Find(u".", u"\U0001F600", mrx::RIGHTTOLEFT), "0,2");
    EXPECT_EQ(Find(u".*", u"\U0001F600", mrx::RIGHTTOLEFT), "0,2");
    // Half of a pair is never matched on its own.
    EXPECT_EQ(Find(u"\\x{DE00}", u"\U0001F600"), "-");
    EXPECT_EQ(Find(u"\\x{D83D}", u"\U0001F600"), "-");
    EXPECT_EQ(Find(u"[\\x{D800}-\\x{DFFF}]", u"\U0001F600"), "-");
    EXPECT_EQ(FindIn(u"", u"\U0001F600", 1, 1), "-");
    // A lone surrogate is one character.
    EXPECT_EQ(Find(u"a.b", u"a\xD83D" u"b"), "0,3");
    EXPECT_EQ(Find(u".", u"\xDE00"), "0,1");
}

TEST(RegexReplace, NeverLeavesHalfACharacter) {
    // Replace every match of a pattern that might stop inside a pair.
    const Str text = S(u"x\U0001F600y\U0001F601z");
    for (const char16_t* p : {u".", u"[^y]", u"\\W", u"\\x{D83D}", u"\\x{DE00}|\\x{DE01}", u"..?", u"(?<=x).{1}"}) {
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
                ASSERT_TRUE(k + 1 < out.size() && unsigned(out[k + 1]) >= 0xDC00 && unsigned(out[k + 1]) <= 0xDFFF)
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
            const std::string got = m.Matched() ? std::to_string(m.Start()) + "," + std::to_string(m.End()) : "-";
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
    EXPECT_EQ(Find(u"a(?=b(?=c(?=d)))", u"xabcd"), "1,2");
}

// Case variants of a nested bracket are tried once, not again at every level.
TEST(RegexRobustness, DeeplyNestedBracketsIgnoringCaseStayFast) {
    Str p = Repeat(u"[", 200) + S(u"x") + Repeat(u"]", 200);
    const double s = Seconds([&] {
        Regex re(p, mrx::IGNORECASE);
        ASSERT_TRUE(re.Ok()) << re.Error();
        EXPECT_EQ(re.Search(S(u"\u044f\u044fX")).Start(), 2);
        EXPECT_EQ(re.Search(S(u"\u044f\u212a")).Matched(), false);
        Regex neg(Repeat(u"[^", 199) + S(u"k") + Repeat(u"]", 199), mrx::IGNORECASE);  // odd: not k in any case
        EXPECT_EQ(neg.Search(S(u"\u212aK")).Matched(), false);
        EXPECT_EQ(neg.Search(S(u"\u212a\u044f")).Start(), 1);
    });
    EXPECT_LT(s, 2.0);
    EXPECT_EQ(Find(u"[[^k]]", u"K\u212ax", mrx::IGNORECASE), "2,3");
    EXPECT_EQ(Find(u"[a[^\u03c3]]+", u"\u03a3\u03c2Ab", mrx::IGNORECASE), "2,4");
}

// A surrogate pair written literally in a pattern is one character.
TEST(RegexSurrogates, ALiteralPairIsOneCharacter) {
    struct Case {
        const char16_t *pattern, *text;
        int flags;
        const char* want;
    } cases[] = {
        {u"a[\U0001F600]b", u"a\U0001F600b", 0, "0,4"},
        {u"a[^\U0001F600]b", u"a\U0001F600b", 0, "-"},
        {u"a[^\U0001F600]b", u"a\U0001F601b", 0, "0,4"},
        {u"[\U0001F600-\U0001F64F]", u"x\U0001F610", 0, "1,3"},
        {u"[\U0001F600-\U0001F64F]", u"\U0001F650", 0, "-"},
        {u"\U0001F600{2}", u"\U0001F600\U0001F600", 0, "0,4"},
        {u"\U0001F600+", u"\U0001F600\U0001F600", 0, "0,4"},
        {u"x\U0001F600*y", u"xy x\U0001F600\U0001F600y", 0, "0,2"},
        {u"\\Q\U0001F600\\E+", u"\U0001F600\U0001F600", 0, "0,4"},
        {u"\\Qa\U0001F600\\E{2}", u"a\U0001F600\U0001F600", 0, "0,5"},
        {u"\\U\U0001F600\\E+", u"\U0001F600\U0001F600", 0, "0,4"},
        {u"\\L\U0001F600\\E+", u"\U0001F600\U0001F600", 0, "0,4"},
        {u"\U0001F600+", u"x\U0001F600\U0001F600", mrx::RIGHTTOLEFT, "1,5"},
        {u"a[\U0001F600]b", u"a\U0001F600b", mrx::RIGHTTOLEFT, "0,4"},
        {u"\U0001F600?b", u"\U0001F600b", mrx::IGNORECASE, "0,3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Find(c.pattern, c.text, c.flags), c.want) << Narrow(S(c.pattern));
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

TEST(RegexGroups, ConditionOnAGroupBeyondTheLastIsFalse) {
    EXPECT_EQ(Find(u"(?(2147483647)a|b)", u"ab"), "1,2");
    EXPECT_EQ(Find(u"(?(99999999999)a|b)", u"ab"), "1,2");
    EXPECT_EQ(Find(u"(a)?(?(2)a|b)", u"ab"), "0,2");
    EXPECT_EQ(Find(u"(a)?(?(1)c|b)", u"ac"), "0,2");
}

TEST(RegexRightToLeft, SpaceAfterARangeDashTakesFormFeed) {
    EXPECT_EQ(Find(u"[a-\\s]", u"x\f", mrx::RIGHTTOLEFT), "1,2");
    EXPECT_EQ(Find(u"[a-\\s]", u"x\f"), "-");
    EXPECT_EQ(Find(u"[a-\\s]+", u"a-\v", mrx::RIGHTTOLEFT), "0,3");
}

// Letters above U+FFFF (Deseret, Adlam, ...) have cases too: ignoring case
// takes a surrogate pair as one character wherever it folds.
TEST(RegexOptions, IgnoreCaseFoldsLettersAboveTheBmp) {
    const int i = mrx::IGNORECASE;
    struct Case {
        const char16_t *pattern, *text;
        int flags;
        const char* want;
    } cases[] = {
        {u"\U00010400", u"\U00010428", i, "0,2"},              // Deseret, written literally
        {u"\\x{10428}", u"\U00010400", i, "0,2"},
        {u"\U00010400", u"\U00010428", 0, "-"},                // only when ignoring case
        {u"[\U00010400]", u"\U00010428", i, "0,2"},
        {u"[\\x{10400}-\\x{10427}]+", u"\U00010428\U00010429", i, "0,4"},
        {u"[^\U00010400]", u"\U00010428", i, "-"},
        {u"\U00010400+", u"\U00010428\U00010400", i, "0,4"},
        {u"x\U00010400y", u"X\U00010428Y", i, "0,4"},           // the literal-prefix screen
        {u"ab\U00010400", u"AB\U00010428", i, "0,4"},
        {u"\U00010400\U00010401", u"\U00010428\U00010429", i, "0,4"},
        {u"\U00010400a|bc", u"\U00010428A", i, "0,3"},         // the two-unit screen of alternatives
        {u"(\U00010400)\\1", u"\U00010400\U00010428", i, "0,4"},
        {u"\U00010400x", u"\U00010428x", i | mrx::RIGHTTOLEFT, "0,3"},
        {u"\\x{1E900}", u"\U0001E922", i, "0,2"},              // Adlam
        {u"\\U\U00010428\\E", u"\U00010400", 0, "0,2"},
        {u"\\L\U00010400\\E", u"\U00010428", 0, "0,2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Find(c.pattern, c.text, c.flags), c.want) << Narrow(S(c.pattern));
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
                << "pattern " << Narrow(S(c.pattern)) << (absent ? " has \"" : " lacks \"") << text << "\" in:\n"
                << dump;
        }
    }
}
