#include "OptionsPage.h"

#include <commctrl.h>
#include <prsht.h>

#include <climits>

#include "Program.h"

namespace shell {

INT_PTR CALLBACK COptionsPage::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    COptionsPage* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<COptionsPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lp)->lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        if (self) self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<COptionsPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    try {
        switch (msg) {
            case WM_INITDIALOG:
                self->loading_ = true;
                self->OnInit();
                self->loading_ = false;
                self->changed_ = false;
                return TRUE;
            case WM_COMMAND:
                if (!self->loading_) self->OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
                return TRUE;
            case WM_NOTIFY: {
                auto* header = reinterpret_cast<NMHDR*>(lp);
                if (header->code == PSN_APPLY) {
                    const bool ok = self->Apply();
                    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT,
                                      ok ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
                    return TRUE;
                }
                const LRESULT result = self->OnNotify(header);
                SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
                return TRUE;
            }
            case WM_NCDESTROY:
                self->hwnd_ = nullptr;
                SetWindowLongPtrW(hwnd, DWLP_USER, 0);
                return FALSE;
            default: {
                INT_PTR result = FALSE;
                if (self->OnMessage(msg, wp, lp, &result)) return result;
                return FALSE;
            }
        }
    } catch (...) {
        // Out of memory in practice: the message ends unhandled.
        return FALSE;
    }
}

void COptionsPage::MarkChanged() {
    if (loading_) return;
    changed_ = true;
    if (HWND sheet = GetParent(hwnd_)) PropSheet_Changed(sheet, hwnd_);
}

std::wstring COptionsPage::Text(int id) const {
    HWND item = Item(id);
    const int n = item ? GetWindowTextLengthW(item) : 0;
    std::wstring text(size_t(n) + 1, L'\0');
    if (n > 0)
        text.resize(size_t(GetWindowTextW(item, text.data(), n + 1)));
    else
        text.clear();
    return text;
}

void COptionsPage::SetText(int id, const std::wstring& text) { SetDlgItemTextW(hwnd_, id, text.c_str()); }

void COptionsPage::FocusField(int id) {
    if (HWND sheet = GetParent(hwnd_)) {
        if (PropSheet_GetCurrentPageHwnd(sheet) != hwnd_) PropSheet_SetCurSel(sheet, hwnd_, 0);
    }
    HWND item = Item(id);
    SetFocus(item);
    SendMessageW(item, EM_SETSEL, 0, -1);
}

bool COptionsPage::NumberField(int id, int* value) {
    if (ParseNumber(Text(id), value)) return true;
    MessageBeep(MB_ICONEXCLAMATION);
    FocusField(id);
    return false;
}

std::wstring COptionsPage::String(int id, const wchar_t* fallback) {
    const wchar_t* text = nullptr;
    const int n = LoadStringW(ResourceModule(), UINT(id), reinterpret_cast<wchar_t*>(&text), 0);
    if (n > 0 && text) return std::wstring(text, size_t(n));
    return fallback;
}

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
