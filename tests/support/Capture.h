// What a window paints, captured through WM_PRINTCLIENT into a 32-bit bitmap
// (or a bitmap of one colour and a size, to draw into), read pixel by pixel.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace testing_support {

class Capture {
   public:
    explicit Capture(HWND h) : Capture(Client(h).right, Client(h).bottom) {
        SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
    }
    Capture(int w, int h, COLORREF fill = RGB(255, 255, 255)) : w_(w), h_(h) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bmp_);
        std::fill(bits_, bits_ + size_t(w) * size_t(h),
                  (uint32_t(GetRValue(fill)) << 16) | (uint32_t(GetGValue(fill)) << 8) | GetBValue(fill));
    }
    ~Capture() {
        SelectObject(dc_, old_);
        DeleteObject(bmp_);
        DeleteDC(dc_);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    static RECT Client(HWND h) {
        RECT rc;
        GetClientRect(h, &rc);
        return rc;
    }
    HDC Dc() const { return dc_; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const uint32_t p = bits_[size_t(y) * size_t(w_) + size_t(x)];
        return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
    }
    // Pixels of colour c in r (clipped to the bitmap); with `other`, pixels of any other colour.
    int Count(RECT r, COLORREF c, bool other = false) const {
        int n = 0;
        for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, h_); ++y)
            for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, w_); ++x)
                n += (At(x, y) == c) != other;
        return n;
    }

   private:
    int w_, h_;
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
    uint32_t* bits_ = nullptr;
};

}  // namespace testing_support
