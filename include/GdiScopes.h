// Small owners of GDI state for painting: a solid fill, an object selected
// for a scope, a pen made and selected for a scope, and a saved device
// context restored on exit.
#pragma once

#include <windows.h>

inline void FillSolid(HDC dc, const RECT& rc, COLORREF c) {
    SetBkColor(dc, c);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~SelectScope() { SelectObject(dc_, old_); }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

class PenScope {
public:
    PenScope(HDC dc, COLORREF c, int width = 1) : pen_(CreatePen(PS_SOLID, width, c)), select_(dc, pen_.pen) {}
    ~PenScope() = default;
    PenScope(const PenScope&) = delete;
    PenScope& operator=(const PenScope&) = delete;

private:
    struct Owned {
        HPEN pen;
        Owned(HPEN p) : pen(p) {}
        ~Owned() { DeleteObject(pen); }
    } pen_;
    SelectScope select_;  // deselected before the pen is deleted
};

class SavedDc {
public:
    explicit SavedDc(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedDc() { RestoreDC(dc_, saved_); }
    SavedDc(const SavedDc&) = delete;
    SavedDc& operator=(const SavedDc&) = delete;

private:
    HDC dc_;
    int saved_;
};
