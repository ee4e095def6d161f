#include "OptionsPage.h"

#include <commctrl.h>
#include <prsht.h>

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

}  // namespace shell

