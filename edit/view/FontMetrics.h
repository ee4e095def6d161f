// The control's font and what layout needs of it: character height, average
// width and a width cache with one entry per UTF-16 unit, measured on first
// use. Control characters (0-31) are as wide as their names, which the view
// draws in their place.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

extern const wchar_t* const kControlNames[32];

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
    // Sum of the cached widths (a tab counts as its own glyph's width).
    int TextWidth(const wchar_t* text, int n);

private:
    int Measure(wchar_t c);

    HDC dc_;
    HFONT font_ = nullptr;
    HGDIOBJ original_ = nullptr;
    int height_ = 0;
    int aveWidth_ = 0;
    std::vector<uint16_t> widths_;
};
