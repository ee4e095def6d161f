// Pixel sizes at the resolution of the monitor a window is on. Sizes in the
// code are written for 96 dots per inch and scaled here; fonts are sized in
// points and scale by themselves.
//
// A top-level window's resolution is the one its last WM_DPICHANGED gave
// (kept as a window property), else what the system reports for it. So a
// window moved to another monitor lays out its children at the new
// resolution even where the system does not report it per window.
#pragma once

#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

namespace dpi {

constexpr int kDefault = 96;

// The resolution of the window's top-level window (null: the system's).
int Of(HWND window);
// `pixels` at 96 dpi, at the window's resolution.
int Scale(HWND window, int pixels);
inline int Scale(int pixels, int dpi) { return MulDiv(pixels, dpi, kDefault); }

// WM_DPICHANGED of a top-level window: keeps the new resolution (LOWORD of
// wp), moves and sizes the window to the suggested rectangle (lp), and sends
// WM_DPICHANGED_AFTERPARENT to every descendant so that each rescales what
// it keeps in pixels.
void OnDpiChanged(HWND top, WPARAM wp, LPARAM lp);

}  // namespace dpi
