// The command bar's menus: tracking a popup of the bar (and moving to the
// neighbours' while it is open), plain popups through the bar, keyboard
// mode. See CommandBar.h.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include "CommandBar.h"

namespace shell {

namespace {

// The bar whose popup is open on this thread (one menu loop at a time), and
// the bar in keyboard mode.
thread_local CCommandBar* tracking = nullptr;
thread_local CCommandBar* keyboardBar = nullptr;

bool IsButtonDown(UINT msg) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN:
        case WM_NCXBUTTONDOWN: return true;
        default: return false;
    }
}

bool KeyDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// The character a key would type; 0 for none.
wchar_t KeyChar(WPARAM vk) { return wchar_t(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_CHAR) & 0x7FFF); }

}  // namespace

void CCommandBar::ReleaseHooks() {
    if (hook_) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    if (tracking == this) tracking = nullptr;
    HookKeyboardMode(false);
}

void CCommandBar::ChooseButton(int index, bool keyboard) {
    if (!menu_ || index < 0 || index >= GetMenuItemCount(menu_)) return;
    if (GetSubMenu(menu_, index)) {
        OpenMenu(index, keyboard);
        return;
    }
    // A command at the top level of the menu.
    LeaveKeyboardMode();
    const UINT id = GetMenuItemID(menu_, index);
    if (id != UINT(-1)) PostMessageW(owner_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void CCommandBar::OpenMenu(int index, bool keyboard) {
    if (!bar_ || hook_ || tracking) return;  // a menu loop runs already
    keyboardMode_ = false;
    HookKeyboardMode(false);
    altAlone_ = false;
    ShowAccelerators(keyboard || CuesAlwaysOn());
    int current = index;
    bool byKey = keyboard;
    int chosen = 0;
    for (;;) {
        chosen = TrackBarMenu(current, byKey);
        if (chosen || nextIndex_ < 0) break;
        current = nextIndex_;
        byKey = nextByKey_;
    }
    if (chosen) {
        SetHot(-1);
        ShowAccelerators(CuesAlwaysOn());
        PostMessageW(owner_, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    } else if (escaped_) {
        EnterKeyboardMode(current);  // Esc at the first level goes back to the bar
    } else {
        SetHot(-1);
        ShowAccelerators(CuesAlwaysOn());
    }
}

int CCommandBar::TrackBarMenu(int index, bool keyboard) {
    nextIndex_ = -1;
    escaped_ = false;
    HMENU popup = GetSubMenu(menu_, index);
    if (!popup) return 0;
    const RECT rc = ButtonScreenRect(index);
    const WPARAM id = kFirstButtonId + WPARAM(index);
    SetHot(index);
    SendMessageW(bar_, TB_PRESSBUTTON, id, TRUE);
    UpdateWindow(bar_);

    openIndex_ = index;
    openPopup_ = popup;
    selectedMenu_ = nullptr;
    selectedIsPopup_ = false;
    GetCursorPos(&lastMouse_);
    tracking = this;
    hook_ = SetWindowsHookExW(WH_MSGFILTER, &CCommandBar::FilterHook, nullptr, GetCurrentThreadId());
    // Opened from the keyboard, the popup starts with its first item selected.
    if (keyboard) PostMessageW(bar_, WM_KEYDOWN, VK_DOWN, 0);
    TPMPARAMS tpm = {sizeof tpm, rc};
    const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL | TPM_LEFTBUTTON | TPM_RETURNCMD;
    const int chosen = int(TrackPopupMenuEx(popup, flags, rc.left, rc.bottom, bar_, &tpm));
    if (hook_) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    tracking = nullptr;
    openIndex_ = -1;
    openPopup_ = nullptr;

    if (bar_) {
        SendMessageW(bar_, TB_PRESSBUTTON, id, FALSE);
        SetHot(-1);
    }
    return chosen;
}

int CCommandBar::TrackPopup(HMENU popup, int x, int y, bool send) {
    if (!bar_ || !popup || tracking) return 0;
    LeaveKeyboardMode();
    const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RIGHTBUTTON | TPM_RETURNCMD;
    const int chosen = int(TrackPopupMenuEx(popup, flags, x, y, bar_, nullptr));
    if (chosen && send) SendMessageW(owner_, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return chosen;
}

LRESULT CALLBACK CCommandBar::FilterHook(int code, WPARAM wp, LPARAM lp) {
    if (code == MSGF_MENU && tracking && lp) {
        try {
            if (tracking->OnMenuLoopMessage(*reinterpret_cast<const MSG*>(lp))) return TRUE;
        } catch (...) {
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// A message of the menu loop while a popup of the bar is open; true eats it.
bool CCommandBar::OnMenuLoopMessage(const MSG& msg) {
    // The popup itself has the keyboard while its first level is current.
    const bool atFirstLevel = !selectedMenu_ || selectedMenu_ == openPopup_;
    auto moveTo = [&](int index, bool byKey) {
        if (index < 0 || index == openIndex_) return false;
        nextIndex_ = index;
        nextByKey_ = byKey;
        EndMenu();
        return true;
    };
    switch (msg.message) {
        case WM_KEYDOWN:
            if (msg.wParam == VK_LEFT && atFirstLevel) return moveTo(NextButton(openIndex_, -1), true);
            if (msg.wParam == VK_RIGHT && !selectedIsPopup_) return moveTo(NextButton(openIndex_, +1), true);
            if (msg.wParam == VK_ESCAPE && atFirstLevel) escaped_ = true;
            return false;
        case WM_MOUSEMOVE: {
            if (msg.pt.x == lastMouse_.x && msg.pt.y == lastMouse_.y) return false;
            lastMouse_ = msg.pt;
            const int hit = HitButton(msg.pt);
            if (hit < 0 || hit == openIndex_ || NextButton(hit - 1, +1) != hit) return false;
            return moveTo(hit, false);
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            const int hit = HitButton(msg.pt);
            if (hit < 0) return false;
            if (hit == openIndex_) {  // a click on the open button closes its menu
                nextIndex_ = -1;
                EndMenu();
                return true;
            }
            return NextButton(hit - 1, +1) == hit && moveTo(hit, false);
        }
        default: return false;
    }
}

// ---------------------------------------------------------------------------
// Keyboard mode

void CCommandBar::EnterKeyboardMode(int hot) {
    if (!bar_) return;
    keyboardMode_ = true;
    if (hot < 0 || NextButton(hot - 1, +1) != hot) hot = NextButton(-1, +1);
    SetHot(hot);
    ShowAccelerators(true);
    HookKeyboardMode(true);
}

void CCommandBar::LeaveKeyboardMode() {
    HookKeyboardMode(false);
    if (!keyboardMode_) return;
    keyboardMode_ = false;
    SetHot(-1);
    ShowAccelerators(CuesAlwaysOn());
}

void CCommandBar::HookKeyboardMode(bool on) {
    if (on && !queueHook_ && !keyboardBar) {
        keyboardBar = this;
        queueHook_ = SetWindowsHookExW(WH_GETMESSAGE, &CCommandBar::QueueHook, nullptr, GetCurrentThreadId());
        sentHook_ = SetWindowsHookExW(WH_CALLWNDPROC, &CCommandBar::SentHook, nullptr, GetCurrentThreadId());
    } else if (!on && queueHook_) {
        UnhookWindowsHookEx(queueHook_);
        if (sentHook_) UnhookWindowsHookEx(sentHook_);
        queueHook_ = sentHook_ = nullptr;
        if (keyboardBar == this) keyboardBar = nullptr;
    }
}

// A mouse button pressed anywhere on this thread ends keyboard mode.
LRESULT CALLBACK CCommandBar::QueueHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && wp == PM_REMOVE && keyboardBar && lp &&
        IsButtonDown(reinterpret_cast<const MSG*>(lp)->message)) {
        try {
            keyboardBar->LeaveKeyboardMode();
        } catch (...) {
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// So does the application losing the activation.
LRESULT CALLBACK CCommandBar::SentHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && keyboardBar && lp) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lp);
        if (sent->message == WM_ACTIVATEAPP && !sent->wParam) {
            try {
                keyboardBar->LeaveKeyboardMode();
            } catch (...) {
            }
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

bool CCommandBar::PreTranslate(MSG* msg) {
    if (!bar_ || !msg || !IsWindowVisible(bar_)) return false;
    // Keys of another top-level window (a modeless dialog, a floating pane)
    // are its own, and end keyboard mode.
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
        GetAncestor(msg->hwnd, GA_ROOT) != GetAncestor(bar_, GA_ROOT)) {
        altAlone_ = false;
        LeaveKeyboardMode();
        return false;
    }
    const WPARAM vk = msg->wParam;
    switch (msg->message) {
        case WM_SYSKEYDOWN:
            if (vk == VK_MENU) {
                if (!(msg->lParam & (1 << 30))) altAlone_ = true;  // not a repeat
                return false;
            }
            altAlone_ = false;
            if (vk == VK_F10 && !KeyDown(VK_SHIFT)) {
                if (keyboardMode_)
                    LeaveKeyboardMode();
                else
                    EnterKeyboardMode(0);
                return true;
            }
            if ((msg->lParam & (1 << 29)) && !KeyDown(VK_CONTROL)) {  // Alt+key
                const int index = ButtonForMnemonic(KeyChar(vk));
                if (index >= 0) {
                    LeaveKeyboardMode();
                    ChooseButton(index, true);
                    return true;
                }
            }
            LeaveKeyboardMode();
            return false;
        case WM_SYSKEYUP:
            if (vk == VK_MENU && altAlone_) {
                altAlone_ = false;
                if (keyboardMode_)
                    LeaveKeyboardMode();
                else
                    EnterKeyboardMode(0);
                return true;  // the window's own menu mode would start here
            }
            return vk == VK_F10 && !KeyDown(VK_SHIFT);
        case WM_KEYDOWN: altAlone_ = false; return keyboardMode_ && KeyboardModeKey(*msg);
        case WM_CHAR:
        case WM_KEYUP: return keyboardMode_;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN:
            altAlone_ = false;
            LeaveKeyboardMode();
            return false;
        default: return false;
    }
}

// A key pressed in keyboard mode; true when the bar used it.
bool CCommandBar::KeyboardModeKey(const MSG& msg) {
    const int hot = HotButton();
    switch (msg.wParam) {
        case VK_LEFT: SetHot(NextButton(hot < 0 ? 0 : hot, -1)); return true;
        case VK_RIGHT: SetHot(NextButton(hot, +1)); return true;
        case VK_DOWN:
        case VK_UP:
        case VK_RETURN:
            keyboardMode_ = false;
            if (hot >= 0)
                ChooseButton(hot, true);
            else
                LeaveKeyboardMode();
            return true;
        case VK_ESCAPE: LeaveKeyboardMode(); return true;
        case VK_SPACE:  // the window menu, as Alt+Space
            LeaveKeyboardMode();
            PostMessageW(GetAncestor(owner_, GA_ROOT), WM_SYSCOMMAND, SC_KEYMENU, L' ');
            return true;
        case VK_SHIFT:
        case VK_CONTROL: return true;
        default: break;
    }
    if (const wchar_t ch = KeyChar(msg.wParam)) {
        const int index = ButtonForMnemonic(ch);
        if (index < 0) {
            MessageBeep(0);
            return true;
        }
        keyboardMode_ = false;
        ChooseButton(index, true);
        return true;
    }
    LeaveKeyboardMode();  // function keys and the like end the mode and go on
    return false;
}

}  // namespace shell
