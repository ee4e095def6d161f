#include "KeyField.h"

#include <commctrl.h>

#include <string>

#include "KeyBindings.h"

namespace shell {
namespace {

constexpr UINT_PTR kSubclassId = 0x4B46;  // "KF"

struct FieldState {
    uint16_t code = 0;  // the completed combination, 0 when empty
    uint16_t held = 0;  // modifier bits held while nothing is completed
};

bool IsModifierKey(WPARAM vk) {
    switch (vk) {
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_MENU:
        case VK_LWIN:
        case VK_RWIN:
        case VK_LSHIFT:
        case VK_RSHIFT:
        case VK_LCONTROL:
        case VK_RCONTROL:
        case VK_LMENU:
        case VK_RMENU: return true;
        default: return false;
    }
}

void Show(HWND edit, const FieldState& s) {
    std::wstring text;
    if (s.code)
        text = keys::KeyName(s.code);
    else if (s.held)
        text = keys::KeyName(s.held);  // the prefixes only
    DefSubclassProc(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    const LRESULT end = DefSubclassProc(edit, WM_GETTEXTLENGTH, 0, 0);
    DefSubclassProc(edit, EM_SETSEL, WPARAM(end), end);
}

void Notify(HWND edit) {
    // The parent hears of a new key as of a changed edit field.
    if (HWND parent = GetParent(edit))
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), EN_CHANGE),
                     reinterpret_cast<LPARAM>(edit));
}

// Translating the press has already queued its character: taken here, it
// never reaches the dialog, where Alt+A would press the button with that
// mnemonic.
void DropQueuedCharacters(HWND edit) {
    MSG msg;
    while (PeekMessageW(&msg, edit, WM_CHAR, WM_SYSDEADCHAR, PM_REMOVE)) {
    }
}

void KeyDown(HWND edit, FieldState& s, WPARAM vk) {
    DropQueuedCharacters(edit);
    const uint16_t mods = keys::CurrentModifiers();
    if (IsModifierKey(vk)) {
        s.code = 0;
        s.held = mods;
        Show(edit, s);
        return;
    }
    const uint16_t code = uint16_t(mods | (vk & 0xFF));
    s.held = 0;
    s.code = (mods & (keys::kCtrl | keys::kAlt)) == (keys::kCtrl | keys::kAlt) && vk == VK_DELETE ? 0 : code;
    Show(edit, s);
    Notify(edit);
}

LRESULT CALLBACK FieldProc(HWND edit, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* s = reinterpret_cast<FieldState*>(data);
    try {
        switch (msg) {
            case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTTAB | DLGC_WANTARROWS;
            case WM_KEYDOWN:
            case WM_SYSKEYDOWN: KeyDown(edit, *s, wp); return 0;
            case WM_KEYUP:
            case WM_SYSKEYUP:
                if (!s->code && IsModifierKey(wp)) {
                    s->held = keys::CurrentModifiers();
                    Show(edit, *s);
                }
                return 0;
            case WM_CHAR:
            case WM_SYSCHAR:
            case WM_DEADCHAR:
            case WM_SYSDEADCHAR:
            case WM_PASTE:
            case WM_CUT:
            case WM_CLEAR:
            case WM_UNDO:
            case EM_REPLACESEL:
            case WM_IME_CHAR:
            case WM_IME_COMPOSITION: return 0;
            case WM_SETTEXT: return TRUE;  // text comes only from the key
            case KFM_GETKEY: return s->code;
            case KFM_SETKEY:
                s->code = uint16_t(wp);
                s->held = 0;
                Show(edit, *s);
                return 0;
            case WM_CONTEXTMENU: {
                HMENU menu = BuildKeyFieldMenu(s->code);
                POINT at = {short(LOWORD(lp)), short(HIWORD(lp))};
                if (lp == LPARAM(-1)) {
                    RECT r;
                    GetWindowRect(edit, &r);
                    at = {r.left, r.bottom};
                }
                const UINT id = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                                    at.x, at.y, 0, edit, nullptr));
                DestroyMenu(menu);
                if (id) {
                    const uint16_t code = ApplyKeyFieldChoice(s->code, id);
                    if (code != s->code) {
                        s->code = code;
                        s->held = 0;
                        Show(edit, *s);
                        Notify(edit);
                    }
                }
                return 0;
            }
            case WM_NCDESTROY:
                RemoveWindowSubclass(edit, &FieldProc, kSubclassId);
                delete s;
                return DefSubclassProc(edit, msg, wp, lp);
            default: break;
        }
    } catch (...) {
        return 0;
    }
    return DefSubclassProc(edit, msg, wp, lp);
}

void AppendKey(HMENU menu, int vk) {
    AppendMenuW(menu, MF_STRING, kMenuKeyBase + UINT(vk), keys::VirtualKeyName(vk));
}

}  // namespace

bool AttachKeyField(HWND edit) {
    auto* state = new FieldState;
    if (!SetWindowSubclass(edit, &FieldProc, kSubclassId, reinterpret_cast<DWORD_PTR>(state))) {
        delete state;
        return false;
    }
    DefSubclassProc(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    return true;
}

HMENU BuildKeyFieldMenu(uint16_t code) {
    HMENU menu = CreatePopupMenu();
    HMENU media = CreatePopupMenu();
    for (int vk = 0xA6; vk <= 0xB7; ++vk) AppendKey(media, vk);
    HMENU standard = CreatePopupMenu();
    for (int vk : {VK_RETURN, VK_ESCAPE, VK_TAB, VK_CAPITAL, VK_BACK, VK_INSERT, VK_DELETE})
        AppendKey(standard, vk);
    for (int vk = 0x20; vk <= 0x28; ++vk) AppendKey(standard, vk);
    HMENU functions = CreatePopupMenu();
    for (int vk = VK_F1; vk <= VK_F24; ++vk) AppendKey(functions, vk);
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(media), L"Multimedia");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(standard), L"Standard");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(functions), L"Functionality");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    const UINT enabled = (code & 0xFF) ? MF_ENABLED : MF_GRAYED;
    auto check = [&](uint16_t bit) { return enabled | ((code & bit) ? MF_CHECKED : MF_UNCHECKED); };
    AppendMenuW(menu, MF_STRING | check(keys::kWin), kMenuWin, L"Win-key");
    AppendMenuW(menu, MF_STRING | check(keys::kCtrl), kMenuCtrl, L"Control-key");
    AppendMenuW(menu, MF_STRING | check(keys::kShift), kMenuShift, L"Shift-key");
    AppendMenuW(menu, MF_STRING | check(keys::kAlt), kMenuAlt, L"Alt-key");
    return menu;
}

uint16_t ApplyKeyFieldChoice(uint16_t code, UINT id) {
    if (id >= kMenuKeyBase && id <= kMenuKeyBase + 0xFF)
        return uint16_t((code & 0xFF00) | (id - kMenuKeyBase));
    if (!(code & 0xFF)) return code;
    switch (id) {
        case kMenuWin: return uint16_t(code ^ keys::kWin);
        case kMenuCtrl: return uint16_t(code ^ keys::kCtrl);
        case kMenuShift: return uint16_t(code ^ keys::kShift);
        case kMenuAlt: return uint16_t(code ^ keys::kAlt);
        default: return code;
    }
}

}  // namespace shell
