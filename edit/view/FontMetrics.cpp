#include "FontMetrics.h"

#include <algorithm>
#include <cwchar>

const wchar_t* const kControlNames[32] = {
    L"NUL", L"SOH", L"STX", L"ETX", L"EOT", L"ENQ", L"ACK", L"BEL", L"BS",  L"HT",  L"LF",
    L"VT",  L"FF",  L"CR",  L"SO",  L"SI",  L"DLE", L"XON", L"DC2", L"XOFF", L"DC4", L"NAK",
    L"SYN", L"ETB", L"CAN", L"EM",  L"SUB", L"ESC", L"FS",  L"GS",  L"RS",  L"US"};

FontMetrics::FontMetrics() : dc_(CreateCompatibleDC(nullptr)), widths_(65536, kUnmeasured) {
    original_ = GetCurrentObject(dc_, OBJ_FONT);
}

FontMetrics::~FontMetrics() {
    if (original_) SelectObject(dc_, original_);
    DeleteDC(dc_);
}

void FontMetrics::Select(HFONT font) {
    font_ = font;
    SelectObject(dc_, font ? static_cast<HGDIOBJ>(font) : original_);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc_, &tm);
    height_ = tm.tmHeight;
    aveWidth_ = tm.tmAveCharWidth;
    std::fill(widths_.begin(), widths_.end(), kUnmeasured);
    pairWidths_.clear();
    for (int c = 0; c < 32; ++c) {
        int w = 0;
        for (const wchar_t* p = kControlNames[c]; *p; ++p) w += Width(*p);
        widths_[size_t(c)] = uint16_t(w);
    }
}

int FontMetrics::Measure(wchar_t c) {
    SIZE sz = {};
    GetTextExtentPoint32W(dc_, &c, 1, &sz);
    int w = sz.cx;
    if (w < 0) w = 0;
    if (w >= kUnmeasured) w = kUnmeasured - 1;
    widths_[uint16_t(c)] = uint16_t(w);
    return w;
}

int FontMetrics::PairWidth(wchar_t high, wchar_t low) {
    const uint32_t cp = 0x10000u + ((uint32_t(high) & 0x3FF) << 10) + (uint32_t(low) & 0x3FF);
    if (auto it = pairWidths_.find(cp); it != pairWidths_.end()) return it->second;
    const wchar_t pair[2] = {high, low};
    SIZE sz = {};
    GetTextExtentPoint32W(dc_, pair, 2, &sz);
    const int w = std::clamp<int>(sz.cx, 0, 4 * std::max(aveWidth_, 1) + 64);
    pairWidths_.emplace(cp, w);
    return w;
}

int FontMetrics::TextWidth(const wchar_t* text, int n) {
    int w = 0;
    for (int i = 0; i < n; i += CharUnits(text, i, n)) w += CharWidth(text, i, n);
    return w;
}
