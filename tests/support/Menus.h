// Menus as a test reads them back: the item identifiers, an item's text, an
// outline of the labels with submenus in braces, "a|b{c|d}|e"; and a popup
// menu answered while its own loop runs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// The identifiers in order; 0 for a separator (and, from GetMenuItemID, -1
// for a submenu).
inline std::vector<UINT> ItemIds(HMENU menu) {
    std::vector<UINT> ids;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) ids.push_back(GetMenuItemID(menu, i));
    return ids;
}

// The text of the item with this command, "" when there is none.
inline std::wstring MenuText(HMENU menu, UINT id) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, id, text, 128, MF_BYCOMMAND);
    return text;
}

// The labels from position `from` on, "|" between them, each submenu's
// outline in braces after its label.
inline std::wstring MenuOutline(HMENU menu, int from = 0) {
    std::wstring outline;
    for (int i = from; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, UINT(i), text, 128, MF_BYPOSITION);
        outline += (i > from ? L"|" : L"") + std::wstring(text);
        if (HMENU sub = GetSubMenu(menu, i)) outline += L"{" + MenuOutline(sub) + L"}";
    }
    return outline;
}

// What AnswerPopup saw of the last popup menu, and the keys it types.
struct Popup {
    int items = -1;
    bool separatorAt1 = false;
    std::vector<WPARAM> keys;  // none: the menu is dismissed
};
inline Popup& LastPopup() {
    static Popup popup;
    return popup;
}

// While a popup menu is open: notes its items, then types LastPopup().keys
// into it, or dismisses it when there are none; false while none is open
// (a timer action for Until).
inline bool AnswerPopup() {
    HWND window = FindWindowW(L"#32768", nullptr);
    if (!window) return false;
    Popup& popup = LastPopup();
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
    popup.items = menu ? GetMenuItemCount(menu) : -1;
    popup.separatorAt1 = menu && (GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR);
    if (popup.keys.empty()) EndMenu();
    for (WPARAM c : popup.keys) PostMessageW(window, WM_CHAR, c, 0);
    return true;
}

}  // namespace testing_support
