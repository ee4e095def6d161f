// Character classes and case folding of the regular-expression engine.
// Standard C++ only: the engine builds into the program (wchar_t) and
// natively (char16_t) for tests, fuzzing and benchmarks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <utility>
#include <vector>

#include "CaseFold.h"

namespace mrx {

// Simple case folding (the Unicode Character Database's, of units of the
// Basic Multilingual Plane and of the cased letters above it; shared with the
// plain finder).
inline uint32_t Fold(uint32_t c) { return search::FoldCase(c); }

// The next unit that folds like c (c itself when it has no other case): a
// class under ignore case holds c when it holds any unit of c's cycle.
inline uint32_t NextCase(uint32_t c) { return search::NextCase(c); }

inline bool IsWordUnit(uint32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The stock classes of the escapes \d \w \s \c \j \J \P.
enum Stock : uint8_t { kDigit, kWord, kSpace, kSpaceRtl, kHan, kHiragana, kKatakana, kCjkPunct };

inline bool InStock(Stock s, uint32_t c) {
    switch (s) {
        case kDigit: return c >= '0' && c <= '9';
        case kWord: return IsWordUnit(c);
        case kSpace: return c == ' ' || c == '\t' || c == '\r' || c == '\n';
        case kSpaceRtl: return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
        case kHan: return (c >= 0x4E00 && c <= 0x9FA5) || (c >= 0xF900 && c <= 0xFA2D);
        case kHiragana: return c >= 0x3040 && c <= 0x309F;
        case kKatakana: return c >= 0x30A0 && c <= 0x30FF;
        case kCjkPunct: return c >= 0x3000 && c <= 0x303F;
    }
    return false;
}

// POSIX classes inside brackets, by the platform's wide-character
// classification; an unknown name matches nothing.
enum Posix : uint8_t { kAlnum, kAlpha, kAscii, kCntrl, kPDigit, kGraph, kLower, kPrint, kPunct, kPSpace, kUpper,
                       kXdigit, kBlank, kNone };

inline bool InPosix(Posix p, uint32_t c) {
    const wint_t w = static_cast<wint_t>(c);
    switch (p) {
        case kAlnum: return std::iswalnum(w);
        case kAlpha: return std::iswalpha(w);
        case kAscii: return c < 128;
        case kCntrl: return std::iswcntrl(w);
        case kPDigit: return std::iswdigit(w);
        case kGraph: return std::iswgraph(w);
        case kLower: return std::iswlower(w);
        case kPrint: return std::iswprint(w);
        case kPunct: return std::iswpunct(w);
        case kPSpace: return std::iswspace(w);
        case kUpper: return std::iswupper(w);
        case kXdigit: return std::iswxdigit(w);
        case kBlank: return c == ' ' || c == '\t';
        case kNone: return false;
    }
    return false;
}

// A character class: ranges, stock and POSIX classes (each possibly
// negated), nested classes, and an overall negation. Members are code
// points: a surrogate pair in the text is tested as one character.
struct CharClass {
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    std::vector<std::pair<Stock, bool>> stocks;   // (class, negated)
    std::vector<std::pair<Posix, bool>> posix;    // (class, negated)
    std::vector<CharClass> nested;
    bool negated = false;
    bool icase = false;
    // ASCII membership, computed once the class is complete.
    uint64_t ascii[2] = {0, 0};
    bool asciiReady = false;
    // Once complete: the ranges and those of merged nested classes, sorted,
    // not overlapping nor touching.
    std::vector<std::pair<uint32_t, uint32_t>> merged;
    bool finished = false;

    bool Test(uint32_t c) const {
        if (c < 128 && asciiReady) [[likely]]
            return ((ascii[c >> 6] >> (c & 63)) & 1) != 0;
        return Raw(c);
    }
    // Under ignore case the other cases of c are tried against this class's
    // own members only: a nested class ignoring case already took every case
    // of c into account, and trying it again per case (at every level of
    // nesting) would be exponential in the depth.
    bool Raw(uint32_t c) const {
        bool in = Contains(c, true);
        if (!in && icase)
            for (uint32_t o = NextCase(c); o != c && !in; o = NextCase(o)) in = Contains(o, false);
        return in != negated;
    }
    // Prepares the class for testing: nested classes that are not negated
    // are merged into this one, the ranges are sorted and merged for a binary
    // search, and repeated stock and POSIX classes are dropped, so a test
    // costs about the logarithm of the class's size.
    void Finish() {
        if (finished) return;
        for (auto& n : nested) n.Finish();
        merged = ranges;
        std::vector<CharClass> kept;
        for (auto& n : nested) {
            if (n.negated || n.icase != icase) {
                kept.push_back(std::move(n));
                continue;
            }
            merged.insert(merged.end(), n.merged.begin(), n.merged.end());
            stocks.insert(stocks.end(), n.stocks.begin(), n.stocks.end());
            posix.insert(posix.end(), n.posix.begin(), n.posix.end());
            for (auto& m : n.nested) kept.push_back(std::move(m));
        }
        nested = std::move(kept);
        std::sort(merged.begin(), merged.end());
        size_t out = 0;
        for (size_t k = 0; k < merged.size(); ++k) {
            if (out > 0 && merged[k].first <= merged[out - 1].second + 1) {
                merged[out - 1].second = std::max(merged[out - 1].second, merged[k].second);
            } else {
                merged[out++] = merged[k];
            }
        }
        merged.resize(out);
        std::sort(stocks.begin(), stocks.end());
        stocks.erase(std::unique(stocks.begin(), stocks.end()), stocks.end());
        std::sort(posix.begin(), posix.end());
        posix.erase(std::unique(posix.begin(), posix.end()), posix.end());
        finished = true;
        asciiReady = false;
        ascii[0] = ascii[1] = 0;
        for (uint32_t c = 0; c < 128; ++c)
            if (Raw(c)) ascii[c >> 6] |= uint64_t(1) << (c & 63);
        asciiReady = true;
    }

private:
    // Whether c is a member, not trying its other cases here; nested classes
    // that ignore case only when `nestedToo`.
    bool Contains(uint32_t c, bool nestedToo) const {
        if (finished) {
            // The first merged range ending at c or after.
            auto it = std::lower_bound(merged.begin(), merged.end(), c,
                                       [](const std::pair<uint32_t, uint32_t>& r, uint32_t v) { return r.second < v; });
            if (it != merged.end() && it->first <= c) return true;
        } else {
            for (const auto& r : ranges)
                if (c >= r.first && c <= r.second) return true;
        }
        for (const auto& s : stocks)
            if (InStock(s.first, c) != s.second) return true;
        for (const auto& p : posix)
            if (InPosix(p.first, c) != p.second) return true;
        for (const auto& n : nested)
            if ((nestedToo || !n.icase) && n.Test(c)) return true;
        return false;
    }
};

}  // namespace mrx
