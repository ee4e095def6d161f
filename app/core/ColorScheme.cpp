#include "ColorScheme.h"

#include <algorithm>
#include <cwchar>

#include "EditProtocol.h"
#include "Settings.h"
#include "SettingsKeys.h"

namespace scheme {
namespace {

constexpr COLORREF Rgb(int r, int g, int b) { return RGB(r, g, b); }

// The shipped setting.ini's Colors block: what the light scheme is when the
// file has none.
constexpr COLORREF kLight[kEntries] = {
    0xFFFFFF, 0x1E1E1E, 0xF5F5F5, 0xFFD6AD, 0x000000, 0xFFFFFF, 0xBEBEBE, 0xF5F5F5,  // 0-7
    0xAF912B, 0xD77800, 0x646464, 0x969696, 0xE3FAFF, 0xFFFFFF, 0xEBFAFF, 0xEBFAFF,  // 8-15
    0xEBFAFF, 0xEBFAFF, 0xEBFAFF, 0xEBFAFF, 0xEBFAFF, 0x0000DC, 0x00A5FF, 0xD77800,  // 16-23
    0xF0F0F0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,  // 24-31
    0xFFFFFF, 0xFFFFFF, 0xDCDCFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,  // 32-39
    0x78EBFF, 0xFFE6C8, 0xDCFFDC, 0xFFDCF0, 0x008000, 0x808080, 0xFF0000, 0xC80000,  // 40-47
    0x1515A3, 0x588609, 0x808000, 0x800080, 0xDB00AF, 0x0000C8, 0x1E1E1E, 0x997F26,  // 48-55
    0x265E79, 0x400080, 0x646400, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000,  // 56-63
    0xFFE6C8, 0x0000FF, 0xD2FFFF, 0x1E1E1E, 0xF0F0F0, 0x646464, 0xFFFFFF, 0xFFFFFF,  // 64-71
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,  // 72-79
};

// The dark scheme: the light one's roles on a dark ground, each style class
// in a lighter tone of its light hue.
constexpr COLORREF Dark(int entry) {
    constexpr COLORREF ground = Rgb(30, 30, 30);
    switch (entry) {
        case 0: case 5: case 7: case 13: case 70: return ground;
        case 1: case 54: case 67: return Rgb(212, 212, 212);                // text
        case 2: return Rgb(37, 37, 38);
        case 3: return Rgb(38, 79, 120);                                    // selection
        case 4: return Rgb(255, 255, 255);
        case 6: return Rgb(95, 95, 95);                                     // marks
        case 8: return Rgb(110, 160, 180);                                  // line numbers
        case 9: case 23: return Rgb(55, 148, 255);                          // bookmark, caret line
        case 10: return Rgb(165, 165, 165);                                 // fold signs
        case 11: return Rgb(120, 120, 120);
        case 12: return Rgb(45, 45, 48);                                    // current line
        case 21: return Rgb(244, 71, 71);                                   // wavy underline
        case 22: return Rgb(255, 165, 0);                                   // extra carets
        case 24: return Rgb(37, 37, 38);                                    // fold margin
        case 34: return Rgb(90, 29, 29);                                    // class 10 background
        case 40: return Rgb(110, 90, 20);                                   // find highlight
        case 41: return Rgb(38, 79, 120);
        case 42: return Rgb(35, 80, 40);
        case 43: return Rgb(85, 40, 95);
        case 44: return Rgb(106, 170, 85);                                  // class 1 (comments)
        case 45: return Rgb(150, 150, 150);
        case 46: return Rgb(86, 156, 214);                                  // keywords
        case 47: return Rgb(100, 170, 255);
        case 48: return Rgb(214, 157, 133);                                 // strings
        case 49: return Rgb(181, 206, 168);                                 // numbers
        case 50: return Rgb(78, 201, 176);
        case 51: return Rgb(197, 134, 192);
        case 52: return Rgb(216, 160, 223);
        case 53: return Rgb(244, 100, 100);
        case 55: return Rgb(86, 182, 194);
        case 56: return Rgb(220, 220, 170);
        case 57: return Rgb(215, 120, 150);
        case 58: return Rgb(100, 190, 190);
        case 59: case 60: case 61: case 62: return Rgb(240, 240, 240);      // on the highlights
        case 63: return Rgb(255, 255, 255);                                 // brace match
        case 64: return Rgb(0, 95, 150);
        case 65: return Rgb(255, 80, 80);
        case 66: return Rgb(70, 70, 30);
        case 68: return Rgb(45, 45, 48);                                    // ruler
        case 69: return Rgb(150, 150, 150);
        default: return entry >= 14 && entry <= 20 ? Rgb(55, 52, 35)        // line marks
                                                   : ground;                // class backgrounds, unused
    }
}

struct DarkTableT {
    COLORREF entries[kEntries];
    constexpr DarkTableT() : entries() {
        for (int i = 0; i < kEntries; ++i) entries[i] = Dark(i);
    }
};
constexpr DarkTableT kDark;

constexpr wchar_t kPersonalize[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

bool ReadTable(const wchar_t* key, COLORREF out[kEntries]) {
    COLORREF table[kEntries];
    const std::wstring path = settings::Readable(settings::PathOf(settings::File::Setting));
    if (!GetPrivateProfileStructW(L"Theme", key, table, sizeof table, path.c_str())) return false;
    std::copy(table, table + kEntries, out);
    return true;
}

bool IsEditControl(HWND w) {
    wchar_t name[32] = {};
    if (!GetClassNameW(w, name, 32)) return false;
    return wcscmp(name, L"MRPAD32") == 0 || wcscmp(name, L"MorrowpadPane") == 0;
}

struct Walk {
    COLORREF table[kEntries];
    int changed = 0;
};

BOOL CALLBACK Recolour(HWND w, LPARAM lp) {
    Walk& walk = *reinterpret_cast<Walk*>(lp);
    if (IsEditControl(w)) {
        if (auto* table = reinterpret_cast<COLORREF*>(SendMessageW(w, MPM_COLORTABLE, 0, 0))) {
            std::copy(walk.table, walk.table + kEntries, table);
            RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
            ++walk.changed;
        }
    }
    return TRUE;
}

BOOL CALLBACK RecolourTopLevel(HWND w, LPARAM lp) {
    Recolour(w, lp);
    EnumChildWindows(w, &Recolour, lp);
    if (IsWindowVisible(w)) RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    return TRUE;
}

}  // namespace

Scheme Chosen() {
    return Scheme(settings::ReadClampedInt(settings::File::Setting, L"Theme", L"Scheme"));
}

void Choose(Scheme s) { settings::WriteClampedInt(settings::File::Setting, L"Theme", L"Scheme", int(s)); }

bool WindowsUsesDark() {
    DWORD light = 1, size = sizeof light;
    if (RegGetValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light,
                     &size) != ERROR_SUCCESS)
        return false;  // missing: light
    return light == 0;
}

bool DarkInUse() {
    switch (Chosen()) {
        case Scheme::Light: return false;
        case Scheme::Dark: return true;
        default: return WindowsUsesDark();
    }
}

const COLORREF* LightTable() { return kLight; }
const COLORREF* DarkTable() { return kDark.entries; }

COLORREF ChromeColor(Chrome part) {
    if (DarkInUse()) {
        switch (part) {
            case Chrome::Face: return RGB(45, 45, 48);
            case Chrome::Text: return RGB(220, 220, 220);
            case Chrome::Highlight: return RGB(70, 70, 74);
            case Chrome::Shadow: return RGB(28, 28, 30);
        }
    }
    switch (part) {
        case Chrome::Face: return GetSysColor(COLOR_3DFACE);
        case Chrome::Text: return GetSysColor(COLOR_BTNTEXT);
        case Chrome::Highlight: return GetSysColor(COLOR_3DHIGHLIGHT);
        case Chrome::Shadow: return GetSysColor(COLOR_3DSHADOW);
    }
    return GetSysColor(COLOR_3DFACE);
}

void ReadColors(COLORREF out[kEntries]) {
    if (DarkInUse()) {
        if (!ReadTable(L"DarkColors", out)) std::copy(kDark.entries, kDark.entries + kEntries, out);
    } else {
        if (!ReadTable(L"Colors", out)) std::copy(kLight, kLight + kEntries, out);
    }
}

int ApplyToOpenWindows() {
    Walk walk;
    ReadColors(walk.table);
    EnumThreadWindows(GetCurrentThreadId(), &RecolourTopLevel, reinterpret_cast<LPARAM>(&walk));
    return walk.changed;
}

bool OnSettingChange(LPARAM lp) {
    const auto* area = reinterpret_cast<const wchar_t*>(lp);
    if (!area || wcscmp(area, L"ImmersiveColorSet") != 0 || Chosen() != Scheme::FollowWindows) return false;
    ApplyToOpenWindows();
    return true;
}

}  // namespace scheme
