// The control's font and what layout needs of it: character height, average
// width and a width cache with one entry per UTF-16 unit, measured on first
// use. Control characters (0-31) are as wide as their names, which the view
// draws in their place.
#pragma once

#include <windows.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

extern const wchar_t* const kControlNames[32];

inline bool IsHighSurrogate(wchar_t c) { return (c & 0xFC00) == 0xD800; }
inline bool IsLowSurrogate(wchar_t c) { return (c & 0xFC00) == 0xDC00; }
// Units of the character that starts at t[i]: 2 for a surrogate pair, else 1.
inline int CharUnits(const wchar_t* t, int i, int n) {
    return i + 1 < n && IsHighSurrogate(t[i]) && IsLowSurrogate(t[i + 1]) ? 2 : 1;
}

class FontMetrics {
public:
    static constexpr uint16_t kUnmeasured = 255;

    FontMetrics();
    ~FontMetrics();
    FontMetrics(const FontMetrics&) = delete;
    FontMetrics& operator=(const FontMetrics&) = delete;

    // Selects the font (not owned) and resets the cache.
    void Select(HFONT font);
    HFONT Font() const { return font_; }
    int Height() const { return height_; }
    int AveWidth() const { return aveWidth_ > 0 ? aveWidth_ : 1; }

    int Width(wchar_t c) {
        const uint16_t w = widths_[uint16_t(c)];
        return w != kUnmeasured ? w : Measure(c);
    }
    // The width of the character that starts at t[i] of a text of n units:
    // a surrogate pair is measured as one character (and cached by its code
    // point), any other unit by itself.
    int CharWidth(const wchar_t* t, int i, int n) {
        return CharUnits(t, i, n) == 2 ? PairWidth(t[i], t[i + 1]) : Width(t[i]);
    }
    // Sum of the cached widths (a tab counts as its own glyph's width).
    int TextWidth(const wchar_t* text, int n);

private:
    int Measure(wchar_t c);
    int PairWidth(wchar_t high, wchar_t low);

    HDC dc_;
    HFONT font_ = nullptr;
    HGDIOBJ original_ = nullptr;
    int height_ = 0;
    int aveWidth_ = 0;
    std::vector<uint16_t> widths_;
    std::unordered_map<uint32_t, int> pairWidths_;
};
