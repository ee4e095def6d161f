// Regular-expression benchmark (native): our engine beside PCRE2's 16-bit
// interpreter (no JIT), RE2 and std::regex, in one run over the same text,
// a few MB of source code and prose. Every engine counts all matches.
//
//   cmake -S native -B build/native -G Ninja && cmake --build build/native --target regex_bench
//   build/native/regex_bench
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>
#include <re2/re2.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "Regex.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::string MakeText() {
    static const char* const code[] = {
        "#include <stdio.h>\n", "static int compute_value(int a, int b) {\n", "    return a * 31 + b; // mix\n",
        "}\n", "    for (int i = 0; i < count; ++i) total += values[i];\n",
        "    if (buffer_length > 4096) flush_buffer(buffer, buffer_length);\n",
        "#define MAX_ITEMS 1024\n", "    const char* name = \"apple banana\";\n"};
    static const char* const prose[] = {
        "The quick brown fox jumps over the lazy dog near the river bank.\n",
        "A cherry tree stood where the old road met the new one, 1987 or so.\n",
        "She said that that was the plan, and nobody argued with her.\n",
        "Lemons and grapes were sold at the market every Tuesday morning.\n"};
    std::string t;
    unsigned seed = 7;
    while (t.size() < 4 * 1024 * 1024) {
        seed = seed * 1103515245u + 12345u;
        t += (seed >> 16) % 3 ? code[(seed >> 8) % 8] : prose[(seed >> 8) % 4];
        if ((seed >> 4) % 997 == 0) t += "    needle_function(42);\n";
    }
    return t;
}

struct Case {
    const char* name;
    const char* pattern;
    bool icase, multiline, backref;
};

}  // namespace

int main() {
    const std::string text = MakeText();
    const std::u16string text16(text.begin(), text.end());
    const Case cases[] = {
        {"literal", "needle_function", false, false, false},
        {"literal, ignore case", "NEEDLE_Function", true, false, false},
        {"five words", "apple|banana|cherry|grape|lemon", false, false, false},
        {"class run", "[0-9]{4,}", false, false, false},
        {"line anchored", "^#include", false, true, false},
        {"back-reference", "\\b(\\w+) \\1\\b", false, false, true},
    };
    std::printf("regex_bench: %.1f MB of text, all matches counted; times in ms\n", text.size() / 1e6);
    std::printf("%-22s %9s %9s %9s %9s   matches\n", "case", "ours", "pcre2", "re2", "std");
    for (const Case& c : cases) {
        const std::u16string p16(c.pattern, c.pattern + strlen(c.pattern));
        // Ours.
        int flags = (c.icase ? mrx::IGNORECASE : 0) | (c.multiline ? mrx::MULTILINE : 0);
        mrx::CRegexpT<char16_t> ours(p16, flags);
        auto t0 = std::chrono::steady_clock::now();
        int n1 = 0;
        for (int pos = 0;;) {
            const auto m = ours.Search(text16.c_str(), int(text16.size()), pos);
            if (!m.Matched()) break;
            ++n1;
            pos = m.End() > m.Start() ? m.End() : m.End() + 1;
        }
        const double tOurs = Seconds(t0);
        // PCRE2 interpreter.
        int err;
        PCRE2_SIZE off;
        pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR16>(p16.c_str()), p16.size(),
                                         (c.icase ? PCRE2_CASELESS : 0) | (c.multiline ? PCRE2_MULTILINE : 0), &err,
                                         &off, nullptr);
        pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
        t0 = std::chrono::steady_clock::now();
        int n2 = 0;
        for (PCRE2_SIZE pos = 0;;) {
            if (pcre2_match(code, reinterpret_cast<PCRE2_SPTR16>(text16.c_str()), text16.size(), pos, 0, md,
                            nullptr) <= 0)
                break;
            ++n2;
            const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
            pos = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
        }
        const double tPcre = Seconds(t0);
        pcre2_match_data_free(md);
        pcre2_code_free(code);
        // RE2 (no back-references).
        double tRe2 = -1;
        int n3 = -1;
        if (!c.backref) {
            RE2::Options o;
            o.set_case_sensitive(!c.icase);
            o.set_never_nl(false);
            const std::string p = c.multiline ? std::string("(?m)") + c.pattern : c.pattern;
            RE2 re(p, o);
            t0 = std::chrono::steady_clock::now();
            n3 = 0;
            re2::StringPiece in(text);
            while (RE2::FindAndConsume(&in, re)) ++n3;
            tRe2 = Seconds(t0);
        }
        // std::regex (ECMAScript; "^" matches at line starts only with multiline).
        auto f = std::regex::ECMAScript | (c.icase ? std::regex::icase : std::regex::ECMAScript);
        if (c.multiline) f |= std::regex::multiline;
        std::regex sr(c.pattern, f);
        t0 = std::chrono::steady_clock::now();
        const int n4 = int(std::distance(std::sregex_iterator(text.begin(), text.end(), sr), std::sregex_iterator()));
        const double tStd = Seconds(t0);
        char re2s[16];
        if (tRe2 < 0) std::snprintf(re2s, sizeof re2s, "%9s", "n/a");
        else std::snprintf(re2s, sizeof re2s, "%9.1f", tRe2 * 1e3);
        std::printf("%-22s %9.1f %9.1f %s %9.1f   %d/%d/%d/%d\n", c.name, tOurs * 1e3, tPcre * 1e3, re2s, tStd * 1e3,
                    n1, n2, n3, n4);
    }
    return 0;
}
