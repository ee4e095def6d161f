// Pixels read back: a bitmap's, and what a drawing (a window painting its
// client area, an icon, an image list's image) puts on a white ground.
#pragma once

#include <windows.h>

#include <vector>

namespace testing_support {

struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> p;  // top-down rows of 0x00RRGGBB
    COLORREF at(int x, int y) const {
        const DWORD v = p[size_t(y) * size_t(width) + size_t(x)];
        return RGB((v >> 16) & 255, (v >> 8) & 255, v & 255);
    }
    std::vector<COLORREF> all() const {
        std::vector<COLORREF> out;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) out.push_back(at(x, y));
        return out;
    }
};

inline Pixels ReadBitmap(HBITMAP bitmap) {
    Pixels out;
    BITMAP info = {};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return out;
    out.width = info.bmWidth;
    out.height = info.bmHeight;
    out.p.resize(size_t(out.width) * size_t(out.height));
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = out.width;
    bi.bmiHeader.biHeight = -out.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC dc = GetDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, UINT(out.height), out.p.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (rows != out.height) out = Pixels();
    return out;
}

// What `paint(dc)` draws on a white bitmap of width x height.
template <class Paint>
Pixels Drawn(int width, int height, Paint paint) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    paint(dc);
    SelectObject(dc, old);
    DeleteDC(dc);
    Pixels out = ReadBitmap(bitmap);
    DeleteObject(bitmap);
    return out;
}

// A window's client area as it paints itself.
inline Pixels PaintedClient(HWND window) {
    RECT rc = {};
    GetClientRect(window, &rc);
    return Drawn(rc.right, rc.bottom, [window](HDC dc) {
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    });
}

}  // namespace testing_support
