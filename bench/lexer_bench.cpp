// Lexer throughput: a large C text styled line by line with a C rule tree,
// as the control asks for it (state only, styles, fold levels), beside a
// plain line split and one keyword search per line over the same text.
//
//   scripts/bench.sh lexer_bench      (prepares all headers of /usr/include
//                                      as one file and passes its path)
//   wine lexer_bench.exe <file> [repeats] [definition.vbs]
//
// With a definition (a shipped syntax script), its lexer is measured instead
// of the C rule tree: the same figures for the text given.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "CRules.h"
#include "ParserScript.h"

namespace {

struct Line {
    size_t start;
    int length;
};

// Bytes widened to units (the text is ASCII, other bytes stand for
// themselves); every line break becomes the line's terminating 0.
std::vector<Line> SplitLines(std::wstring& text) {
    std::vector<Line> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\n') continue;
        size_t end = i;
        if (end > start && text[end - 1] == L'\r') text[--end] = 0;
        text[i] = 0;
        lines.push_back({start, int(end - start)});
        start = i + 1;
    }
    lines.push_back({start, int(text.size() - start)});
    text.push_back(0);
    return lines;
}

double Best(int repeats, auto&& run) {
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        const double t0 = Now();
        run();
        best = std::min(best, Now() - t0);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: lexer_bench <C file> [repeats] [definition.vbs]\n");
        return 2;
    }
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::FILE* f = std::fopen(argv[1], "rb");
    if (!f) {
        std::fprintf(stderr, "lexer_bench: cannot open %s\n", argv[1]);
        return 1;
    }
    std::string bytes;
    char buf[1 << 16];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    std::fclose(f);
    const double mb = double(bytes.size()) / 1e6;

    // Peer: splitting the bytes into lines.
    size_t breaks = 0;
    const double split = Best(repeats, [&] {
        breaks = 0;
        for (const char* p = bytes.data(); (p = static_cast<const char*>(
                                                std::memchr(p, '\n', bytes.data() + bytes.size() - p)));
             ++p)
            ++breaks;
    });
    std::wstring text(bytes.begin(), bytes.end());
    for (wchar_t& c : text) c = wchar_t(static_cast<unsigned char>(c));
    bytes.clear();
    bytes.shrink_to_fit();
    std::vector<Line> lines = SplitLines(text);
    const wchar_t* base = text.c_str();
    std::unique_ptr<syntax::CSyntaxParser> lexer;
    if (argc > 3) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        std::vector<std::unique_ptr<syntax::CSyntaxParser>> parsers;
        const std::string name = argv[3];
        syntax::ScriptError error;
        if (!syntax::RunParserScript(std::wstring(name.begin(), name.end()), parsers, &error) || parsers.empty()) {
            std::fprintf(stderr, "lexer_bench: the definition %s does not run\n", argv[3]);
            return 1;
        }
        lexer = std::move(parsers.front());
    } else {
        lexer = MakeCLexer();
    }
    std::vector<unsigned short> styles(1 << 16);
    auto stylesFor = [&](int n) {
        if (styles.size() < size_t(n) + 1) styles.resize(size_t(n) + 1);
        return styles.data();
    };

    // Peer: one search per line for a keyword alternation.
    syntax::Regex keywords(L"\\b(if|else|for|while|return|struct|typedef|static|const)\\b");
    size_t found = 0;
    const double search = Best(repeats, [&] {
        found = 0;
        for (const Line& l : lines) found += keywords.Search(base + l.start, l.length, 0, -1).Matched();
    });

    int finalState = 0;
    const double states = Best(repeats, [&] {
        int state = 0;
        for (const Line& l : lines) state = lexer->LineState(0, base + l.start, l.length, state, nullptr);
        finalState = state;
    });
    size_t styled = 0;
    const double painted = Best(repeats, [&] {
        int state = 0;
        styled = 0;
        for (const Line& l : lines) {
            unsigned short* st = stylesFor(l.length);
            state = lexer->LineState(0, base + l.start, l.length, state, st);
            for (int i = 0; i < l.length; ++i) styled += (st[i] & 31) != 0;
        }
    });
    int maxLevel = 0;
    const double folded = Best(repeats, [&] {
        int state = 0, level = 0;
        maxLevel = 0;
        for (const Line& l : lines) {
            const wchar_t* t = base + l.start;
            const int next = lexer->LineState(0, t, l.length, state, nullptr);
            level = lexer->FoldLevel(0, t, l.length, next, state, level, stylesFor(l.length));
            maxLevel = std::max(maxLevel, level);
            state = next;
        }
    });

    std::printf("lexer_bench: %.1f MB, %zu lines (%zu line breaks), best of %d, lexer %s\n", mb, lines.size(),
                breaks, repeats, argc > 3 ? argv[3] : "of C built in code");
    std::printf("  peer: line split (memchr)             %8.1f MB/s\n", mb / split);
    std::printf("  peer: one keyword search per line     %8.1f MB/s  (%zu lines match)\n", mb / search, found);
    std::printf("  lexer: line states only               %8.1f MB/s  (last state %d)\n", mb / states, finalState);
    std::printf("  lexer: line states and styles         %8.1f MB/s  (%.0f%% of units styled)\n", mb / painted,
                100.0 * double(styled) / double(text.size()));
    std::printf("  lexer: states and fold levels         %8.1f MB/s  (deepest level %d)\n", mb / folded, maxLevel);
    return 0;
}
