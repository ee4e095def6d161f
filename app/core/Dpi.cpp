#include "Dpi.h"

#include "Owners.h"

namespace dpi {
namespace {

constexpr wchar_t kProperty[] = L"MorrowpadDpi";

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

int SystemDpi() {
    const shell::CWindowDc screen(nullptr);
    const int value = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : kDefault;
    return value > 0 ? value : kDefault;
}

BOOL CALLBACK TellChild(HWND child, LPARAM) {
    SendMessageW(child, WM_DPICHANGED_AFTERPARENT, 0, 0);
    return TRUE;
}

}  // namespace

int Of(HWND window) {
    const HWND top = window ? GetAncestor(window, GA_ROOT) : nullptr;
    if (!top) return SystemDpi();
    if (const auto kept = reinterpret_cast<UINT_PTR>(GetPropW(top, kProperty))) return int(kept);
    // Windows 10 and later know each window's monitor; before, the system's
    // resolution is every window's.
    static const auto forWindow =
        reinterpret_cast<GetDpiForWindowFn>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"));
    if (forWindow)
        if (const UINT value = forWindow(top)) return int(value);
    return SystemDpi();
}

int Scale(HWND window, int pixels) { return Scale(pixels, Of(window)); }

void OnDpiChanged(HWND top, WPARAM wp, LPARAM lp) {
    const int value = LOWORD(wp);
    if (value > 0) SetPropW(top, kProperty, reinterpret_cast<HANDLE>(UINT_PTR(value)));
    if (const auto* suggested = reinterpret_cast<const RECT*>(lp))
        SetWindowPos(top, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    EnumChildWindows(top, &TellChild, 0);
}

}  // namespace dpi
