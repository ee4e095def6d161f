// Character classes and case folding of the regular-expression engine.
// Standard C++ only: the engine builds into the program (wchar_t) and
// natively (char16_t) for tests, fuzzing and benchmarks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <utility>
#include <vector>

namespace mrx {

// Simple case folding to lower case for the letters of Latin-1, Latin
// Extended-A, Greek and Cyrillic; other units fold to themselves.
inline uint32_t Fold(uint32_t c) {
    if (c < 128) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
        if (c == 0x178) return 0xFF;
        return (c & 1) ? c : c + 1;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

// The other case of a letter, for classes under ignore case.
inline uint32_t OtherCase(uint32_t c) {
    const uint32_t f = Fold(c);
    if (f != c) return f;
    // c is lower case (or caseless): find its upper case.
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        const uint32_t up = ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) ? ((c & 1) ? c : c - 1)
                                                                                       : ((c & 1) ? c - 1 : c);
        return Fold(up) == c ? up : c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

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
// negated), nested classes, and an overall negation.
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

    bool Test(uint32_t c) const {
        if (c < 128 && asciiReady) return ((ascii[c >> 6] >> (c & 63)) & 1) != 0;
        return Raw(c);
    }
    bool Raw(uint32_t c) const {
        bool in = Contains(c) || (icase && (Contains(Fold(c)) || Contains(OtherCase(c))));
        return in != negated;
    }
    void Finish() {
        for (auto& n : nested) n.Finish();
        asciiReady = false;
        ascii[0] = ascii[1] = 0;
        for (uint32_t c = 0; c < 128; ++c)
            if (Raw(c)) ascii[c >> 6] |= uint64_t(1) << (c & 63);
        asciiReady = true;
    }

private:
    bool Contains(uint32_t c) const {
        for (const auto& r : ranges)
            if (c >= r.first && c <= r.second) return true;
        for (const auto& s : stocks)
            if (InStock(s.first, c) != s.second) return true;
        for (const auto& p : posix)
            if (InPosix(p.first, c) != p.second) return true;
        for (const auto& n : nested)
            if (n.Test(c)) return true;
        return false;
    }
};

}  // namespace mrx
