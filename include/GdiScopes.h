// Small owners of GDI state for painting: a solid fill, an object selected
// for a scope, a pen made and selected for a scope, and a saved device
// context restored on exit.
#pragma once

#include <windows.h>

inline void FillSolid(HDC dc, const RECT& rc, COLORREF c) {
    SetBkColor(dc, c);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

class CSelectScope {
public:
    CSelectScope(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~CSelectScope() { SelectObject(dc_, old_); }
    CSelectScope(const CSelectScope&) = delete;
    CSelectScope& operator=(const CSelectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

class CPenScope {
public:
    CPenScope(HDC dc, COLORREF c, int width = 1) : pen_(CreatePen(PS_SOLID, width, c)), select_(dc, pen_.pen) {}
    ~CPenScope() = default;
    CPenScope(const CPenScope&) = delete;
    CPenScope& operator=(const CPenScope&) = delete;

private:
    struct Owned {
        HPEN pen;
        Owned(HPEN p) : pen(p) {}
        ~Owned() { DeleteObject(pen); }
    } pen_;
    CSelectScope select_;  // deselected before the pen is deleted
};

class CSavedDc {
public:
    explicit CSavedDc(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~CSavedDc() { RestoreDC(dc_, saved_); }
    CSavedDc(const CSavedDc&) = delete;
    CSavedDc& operator=(const CSavedDc&) = delete;

private:
    HDC dc_;
    int saved_;
};
