#include "DialogControls.h"

#include <climits>

namespace shell {

bool ParseNumber(const std::wstring& text, int* value) {
    size_t i = 0, n = text.size();
    while (i < n && (text[i] == L' ' || text[i] == L'\t')) ++i;
    while (n > i && (text[n - 1] == L' ' || text[n - 1] == L'\t')) --n;
    bool negative = false;
    if (i < n && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    if (i == n) return false;
    long long v = 0;
    for (; i < n; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        v = v * 10 + (text[i] - L'0');
        if (v > 1LL + INT_MAX) return false;
    }
    if (negative) v = -v;
    if (v < INT_MIN || v > INT_MAX) return false;
    *value = int(v);
    return true;
}

void FillComboFromMenu(HWND combo, HMODULE module, int menu, bool listBox, bool withNumber) {
    HMENU loaded = LoadMenuW(module, MAKEINTRESOURCEW(menu));
    if (!loaded) return;
    HMENU popup = GetSubMenu(loaded, 0);
    const int count = popup ? GetMenuItemCount(popup) : 0;
    const UINT add = listBox ? LB_ADDSTRING : CB_ADDSTRING;
    const UINT setData = listBox ? LB_SETITEMDATA : CB_SETITEMDATA;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = 255;
        if (!GetMenuItemInfoW(popup, UINT(i), TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
        std::wstring item = text;
        if (withNumber) item += L" [" + std::to_wstring(int(info.wID)) + L"]";
        const LRESULT at = SendMessageW(combo, add, 0, reinterpret_cast<LPARAM>(item.c_str()));
        if (at >= 0) SendMessageW(combo, setData, WPARAM(at), LPARAM(info.wID));
    }
    DestroyMenu(loaded);
}

bool SelectComboData(HWND combo, LPARAM data) {
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (SendMessageW(combo, CB_GETITEMDATA, WPARAM(i), 0) == data) {
            SendMessageW(combo, CB_SETCURSEL, WPARAM(i), 0);
            return true;
        }
    }
    return false;
}

LPARAM SelectedComboData(HWND combo, LPARAM none) {
    const LRESULT at = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (at < 0) return none;
    return SendMessageW(combo, CB_GETITEMDATA, WPARAM(at), 0);
}

std::wstring MenuLabel(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\t') break;
        if (text[i] == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&') out += L'&', ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

}  // namespace shell
