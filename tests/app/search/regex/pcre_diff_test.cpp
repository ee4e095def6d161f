// Differential test against PCRE2 (16-bit, interpreter) over generated
// patterns and texts in the syntax the two engines share. Native build only.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

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
        switch (depth > 0 ? R(14) : R(7)) {
            case 0: case 1: case 2: return std::string(1, "abc"[R(3)]);
            case 3: return ".";
            case 4: return R(2) ? "[ab]" : "[^a]";
            case 5: return "\\d";
            case 6: return R(2) ? "\\b" : "\\w";
            case 7: case 8: {
                const int number = ++groups;
                const std::string body = Alt(depth - 1, groups);
                closed_.push_back(number);
                return "(" + body + ")";
            }
            case 9: return "(?:" + Alt(depth - 1, groups) + ")";
            case 10: return (R(2) ? "(?=" : "(?!") + Alt(depth - 1, groups) + ")";
            case 11: return std::string(R(2) ? "(?<=" : "(?<!") + "abc"[R(3)] + ")";
            case 12: return "(?>" + Alt(depth - 1, groups) + ")";
            // References only to groups already closed: the engines differ on
            // a reference inside its own group.
            default: return closed_.empty() ? "a" : "\\" + std::to_string(closed_[size_t(R(int(closed_.size())))]);
        }
    }
    std::string Quantified(int depth, int& groups) {
        std::string a = Atom(depth, groups);
        if (a[0] == '\\' && (a[1] == 'b')) return a;
        if (a.rfind("(?=", 0) == 0 || a.rfind("(?!", 0) == 0 || a.rfind("(?<", 0) == 0) return a;
        switch (R(9)) {
            case 0: return a + "*";
            case 1: return a + "+";
            case 2: return a + "?";
            case 3: return a + "*?";
            case 4: return a + "{1,2}";
            case 5: return a + "++";
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

}  // namespace

TEST(RegexVersusPcre2, GeneratedPatternsFindTheSameMatches) {
    Gen gen(20261206);
    int compared = 0, skipped = 0;
    for (int round = 0; round < 4000; ++round) {
        int groups = 0;
        gen.closed_.clear();
        const std::string pattern = gen.Pattern(2, groups);
        std::u16string p16(pattern.begin(), pattern.end());
        int err = 0;
        PCRE2_SIZE off = 0;
        pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR16>(p16.c_str()), p16.size(), 0, &err, &off, nullptr);
        if (!code) {
            ++skipped;  // e.g. a back-reference inside a look-behind
            continue;
        }
        Regex ours(S(pattern));
        ASSERT_TRUE(ours.Ok()) << pattern << ": " << ours.Error();
        pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
        for (int k = 0; k < 8; ++k) {
            const std::string text = Text(gen);
            std::u16string t16(text.begin(), text.end());
            const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR16>(t16.c_str()), t16.size(), 0, 0, md, nullptr);
            std::string want = "-";
            if (rc > 0) {
                const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
                want = std::to_string(ov[0]) + "," + std::to_string(ov[1]);
            }
            const auto m = ours.Search(S(text));
            const std::string got = m.Matched() ? std::to_string(m.Start()) + "," + std::to_string(m.End()) : "-";
            ASSERT_EQ(got, want) << "pattern " << pattern << " text \"" << text << "\"";
            ++compared;
        }
        pcre2_match_data_free(md);
        pcre2_code_free(code);
    }
    EXPECT_GT(compared, 20000);
    EXPECT_LT(skipped, 400);
}
