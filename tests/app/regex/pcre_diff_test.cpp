// Differential test against PCRE2 (16-bit, interpreter) over generated
// patterns and texts in the syntax the two engines share. Native build only.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <string>
#include <vector>

#include "RegexTestUtil.h"

namespace {

class Gen {
   public:
    explicit Gen(unsigned seed) : rng_(seed) {}
    int R(int n) { return int(rng_() % unsigned(n)); }

    std::string Pattern(int depth, int& groups) {
        std::string p = Seq(depth, groups);
        if (R(8) == 0) p = "^" + p;
        if (R(8) == 0) p += "$";
        return p;
    }

   private:
    std::string Atom(int depth, int& groups) {
        switch (depth > 0 ? R(15) : R(7)) {
            case 0:
            case 1:
            case 2: return std::string(1, "abc"[R(3)]);
            case 3: return ".";
            case 4: return R(2) ? "[ab]" : "[^a]";
            case 5: return "\\d";
            case 6: return R(2) ? "\\b" : "\\w";
            case 7:
            case 8: {
                const int number = ++groups;
                const std::string body = Alt(depth - 1, groups);
                closed_.push_back(number);
                return "(" + body + ")";
            }
            case 9: return "(?:" + Alt(depth - 1, groups) + ")";
            case 10: return (R(2) ? "(?=" : "(?!") + Alt(depth - 1, groups) + ")";
            case 11: return std::string(R(2) ? "(?<=" : "(?<!") + "abc"[R(3)] + ")";
            case 12: return "(?>" + Alt(depth - 1, groups) + ")";
            // A call of a group opened so far (one that encloses this point
            // or is closed): written (?Rn) here, (?n) for PCRE2.
            case 13: return groups == 0 ? "b" : "(?R" + std::to_string(1 + R(groups)) + ")";
            // References only to groups already closed: the engines differ on
            // a reference inside its own group.
            default:
                return closed_.empty() ? "a" : "\\" + std::to_string(closed_[size_t(R(int(closed_.size())))]);
        }
    }
    std::string Quantified(int depth, int& groups) {
        std::string a = Atom(depth, groups);
        if (a[0] == '\\' && (a[1] == 'b')) return a;
        if (a.rfind("(?=", 0) == 0 || a.rfind("(?!", 0) == 0 || a.rfind("(?<", 0) == 0) return a;
        switch (R(11)) {
            case 0: return a + "*";
            case 1: return a + "+";
            case 2: return a + "?";
            case 3: return a + "*?";
            case 4: return a + "{1,2}";
            case 5: return a + "++";
            case 6: return a + (R(2) ? "{2}" : "{0,2}");
            case 7: return a + (R(2) ? "{1,3}?" : "{2,}");
            default: return a;
        }
    }
    std::string Seq(int depth, int& groups) {
        std::string s;
        for (int n = 1 + R(3); n > 0; --n) s += Quantified(depth, groups);
        return s;
    }
    std::string Alt(int depth, int& groups) {
        std::string s = Seq(depth, groups);
        if (R(3) == 0) s += "|" + Seq(depth, groups);
        return s;
    }
    std::mt19937 rng_;

   public:
    std::vector<int> closed_;
};

std::string Text(Gen& g) {
    std::string t;
    for (int n = g.R(12); n > 0; --n) t += "abc1 \n"[g.R(6)];
    return t;
}

// Every group's "start,end" of the first match, "-" for none, "!" when
// the engine gave up (too complex, or an error such as PCRE2's recursion loop).
std::string Pcre2Find(const std::u16string& pattern, const std::u16string& text, uint32_t options) {
    int err = 0;
    PCRE2_SIZE off = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR16>(pattern.c_str()), pattern.size(), options,
                                     &err, &off, nullptr);
    if (!code) return "bad";
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    const int rc =
        pcre2_match(code, reinterpret_cast<PCRE2_SPTR16>(text.c_str()), text.size(), 0, 0, md, nullptr);
    std::string out = rc == PCRE2_ERROR_NOMATCH ? "-" : "!";
    if (rc > 0) {
        out.clear();
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
        const uint32_t pairs = pcre2_get_ovector_count(md);
        for (uint32_t g = 0; g < pairs; ++g) {
            if (g) out += "|";
            out += ov[2 * g] == PCRE2_UNSET ? "-1,-1"
                                            : std::to_string(ov[2 * g]) + "," + std::to_string(ov[2 * g + 1]);
        }
    }
    pcre2_match_data_free(md);
    pcre2_code_free(code);
    return out;
}

std::string OursFind(const Regex& re, const Str& text) {
    const auto m = re.Search(text);
    if (m.status == mrx::Status::kTooComplex) return "!";
    if (!m.Matched()) return "-";
    std::string out;
    for (int g = 0; g < m.GroupCount(); ++g)
        out += (g ? "|" : "") + std::to_string(m.Start(g)) + "," + std::to_string(m.End(g));
    return out;
}

}  // namespace

TEST(RegexVersusPcre2, GeneratedPatternsFindTheSameMatchesAndGroups) {
    Gen gen(20261206);
    int compared = 0, skipped = 0, gaveUp = 0;
    for (int round = 0; round < 6000; ++round) {
        int groups = 0;
        gen.closed_.clear();
        const std::string pattern = gen.Pattern(2, groups);
        std::string theirs = pattern;
        for (size_t at; (at = theirs.find("(?R")) != std::string::npos;) theirs.erase(at + 2, 1);
        const std::u16string p16(theirs.begin(), theirs.end());
        if (Pcre2Find(p16, u"", 0) == "bad") {
            ++skipped;  // e.g. a back-reference inside a look-behind
            continue;
        }
        Regex ours(S(pattern));
        ASSERT_TRUE(ours.Ok()) << pattern << ": " << ours.Error();
        ours.SetBudget(2000000);
        for (int k = 0; k < 8; ++k) {
            const std::string text = Text(gen);
            const std::string want = Pcre2Find(p16, std::u16string(text.begin(), text.end()), 0);
            const std::string got = OursFind(ours, S(text));
            // Either engine may give up: PCRE2 on a recursion loop, ours on
            // its budget where PCRE2's required-unit check ends a
            // catastrophic pattern early. Neither may find a different match.
            if (want == "!" || got == "!") {
                ++gaveUp;
                continue;
            }
            ASSERT_EQ(got, want) << "pattern " << pattern << " text \"" << text << "\"";
            ++compared;
        }
    }
    EXPECT_GT(compared, 30000);
    EXPECT_LT(skipped, 600);
    EXPECT_LT(gaveUp, compared / 10);
}

namespace {

// Patterns over letters with mixed case (ASCII and not), for ignore case, and
// patterns rendered twice, forwards and mirrored, for right to left.
class MirrorGen {
   public:
    explicit MirrorGen(unsigned seed) : rng_(seed) {}
    int R(int n) { return int(rng_() % unsigned(n)); }
    using Pair = std::pair<std::u16string, std::u16string>;  // forwards, mirrored

    Pair Alt(int depth) {
        Pair p = Seq(depth);
        if (R(3) == 0) {
            const Pair q = Seq(depth);
            p.first += u"|" + q.first;
            p.second += u"|" + q.second;
        }
        return p;
    }
    std::u16string Text(int maxLen) {
        std::u16string t;
        for (int n = R(maxLen); n > 0; --n) t += letters[size_t(R(int(letters.size())))];
        return t;
    }
    std::u16string letters = u"abAB";
    // Whether to make some groups capturing, named ga, gb, ... in both
    // renderings (numbers would differ, mirrored).
    bool captures = false;
    int named = 0;

   private:
    Pair Seq(int depth) {
        Pair s;
        for (int n = 1 + R(3); n > 0; --n) {
            const Pair a = Quantified(depth);
            s.first += a.first;
            s.second = a.second + s.second;
        }
        return s;
    }
    Pair Quantified(int depth) {
        Pair a = Atom(depth);
        static const char16_t* const q[] = {u"*", u"+", u"?", u"*?", u"{2}", u"{1,3}", u"{0,2}?", u"++"};
        if (R(2)) return a;
        const std::u16string suffix = q[R(8)];
        return {a.first + suffix, a.second + suffix};
    }
    Pair Atom(int depth) {
        switch (depth > 0 ? R(8) : R(5)) {
            case 0:
            case 1:
            case 2: {
                const std::u16string c(1, letters[size_t(R(int(letters.size())))]);
                return {c, c};
            }
            case 3: return {u".", u"."};
            case 4: {
                std::u16string c = u"[";
                if (R(3) == 0) c += u"^";
                c += letters[size_t(R(int(letters.size())))];
                c += letters[size_t(R(int(letters.size())))];
                c += u"]";
                return {c, c};
            }
            case 5:
            case 6: {
                const bool capture = captures && named < 26 && R(2);
                const std::u16string open = capture
                                                ? u"(?<g" + std::u16string(1, char16_t(u'a' + named++)) + u">"
                                                : std::u16string(u"(?:");
                const Pair b = Alt(depth - 1);
                return {open + b.first + u")", open + b.second + u")"};
            }
            default: {
                const Pair b = Alt(depth - 1);
                return {u"(?>" + b.first + u")", u"(?>" + b.second + u")"};
            }
        }
    }
    std::mt19937 rng_;
};

std::u16string Reversed(std::u16string s) {
    std::reverse(s.begin(), s.end());
    return s;
}

}  // namespace

TEST(RegexVersusPcre2, IgnoreCaseAgreesOverMixedScripts) {
    MirrorGen gen(7);
    // Letters with one other case, with two (k K Kelvin, sigmas, micro), and
    // ones whose folding was once missing (full-width, Latin Extended
    // Additional, Cyrillic extensions, sharp s).
    gen.letters =
        u"aAkK\u212a\u03c3\u03a3\u03c2\u00b5\u039c\u03bc\uff41\uff21\u1ea0\u1ea1\u0460\u0461\u00df\u1e9ex";
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::u16string p = gen.Alt(2).first;
        Regex ours(Str(p.begin(), p.end()), mrx::IGNORECASE);
        ASSERT_TRUE(ours.Ok());
        for (int k = 0; k < 6; ++k) {
            const std::u16string t = gen.Text(8);
            const std::string want = Pcre2Find(p, t, PCRE2_CASELESS | PCRE2_UTF | PCRE2_UCP);
            ASSERT_NE(want, "bad");
            ASSERT_EQ(OursFind(ours, Str(t.begin(), t.end())), want)
                << "pattern " << Narrow(Str(p.begin(), p.end()));
            ++compared;
        }
    }
    EXPECT_GT(compared, 15000);
}

TEST(RegexVersusPcre2, RightToLeftMatchesTheMirroredPatternOnTheMirroredText) {
    MirrorGen gen(11);
    gen.captures = true;
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        gen.named = 0;
        const auto p = gen.Alt(2);
        // The groups by name: PCRE2 numbers them in the order they open.
        auto order = [](const std::u16string& pattern) {
            std::vector<char16_t> names;
            for (size_t at = pattern.find(u"(?<g"); at != std::u16string::npos;
                 at = pattern.find(u"(?<g", at + 1))
                names.push_back(pattern[at + 4]);
            return names;
        };
        const std::vector<char16_t> forwards = order(p.first), mirroredOrder = order(p.second);
        Regex ours(Str(p.first.begin(), p.first.end()), mrx::RIGHTTOLEFT);
        ASSERT_TRUE(ours.Ok());
        for (int k = 0; k < 6; ++k) {
            const std::u16string t = gen.Text(10);
            const std::string mirrored = Pcre2Find(p.second, Reversed(t), 0);
            std::string want = mirrored;
            if (mirrored != "-") {
                // Every group, in our numbering, mirrored back onto the text.
                std::vector<std::pair<int, int>> spans;
                for (size_t from = 0; from <= mirrored.size();) {
                    size_t to = mirrored.find('|', from);
                    if (to == std::string::npos) to = mirrored.size();
                    const std::string span = mirrored.substr(from, to - from);
                    const size_t comma = span.find(',');
                    spans.push_back({std::stoi(span.substr(0, comma)), std::stoi(span.substr(comma + 1))});
                    from = to + 1;
                }
                auto mirror = [&](std::pair<int, int> se) {
                    if (se.first < 0) return std::string("-1,-1");
                    return std::to_string(int(t.size()) - se.second) + "," +
                           std::to_string(int(t.size()) - se.first);
                };
                want = mirror(spans[0]);
                for (char16_t name : forwards) {
                    const size_t k = size_t(std::find(mirroredOrder.begin(), mirroredOrder.end(), name) -
                                            mirroredOrder.begin());
                    want += "|" + mirror(spans[k + 1]);
                }
            }
            const auto m = ours.Search(Str(t.begin(), t.end()));
            std::string got = m.Matched() ? std::to_string(m.Start()) + "," + std::to_string(m.End()) : "-";
            if (m.Matched())
                for (char16_t name : forwards) {
                    const Unit full[] = {Unit('g'), Unit(name), 0};
                    const int g = ours.GroupNumber(full);
                    got += "|" + std::to_string(m.Start(g)) + "," + std::to_string(m.End(g));
                }
            ASSERT_EQ(got, want) << "pattern " << Narrow(Str(p.first.begin(), p.first.end())) << " text "
                                 << Narrow(Str(t.begin(), t.end()));
            ++compared;
        }
    }
    EXPECT_GT(compared, 15000);
}
