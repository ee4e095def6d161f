#include "CommandBar.h"

#include <commctrl.h>

#include <algorithm>

namespace shell {

namespace {

// Button identifiers: above the frame's commands, below the tear-off strip.
constexpr int kFirstButtonId = 0xFE00;
constexpr UINT_PTR kSubclassId = 1;

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

bool KeyboardCuesAlwaysOn() {
    BOOL on = FALSE;
    return SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &on, 0) && on;
}

bool KeyDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// The character a key would type, upper case; 0 for none.
wchar_t KeyChar(WPARAM vk) {
    const UINT ch = MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_CHAR) & 0x7FFF;
    if (!ch) return 0;
    return wchar_t(LOWORD(reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(UINT_PTR(ch))))));
}

wchar_t UpperChar(wchar_t ch) {
    return wchar_t(LOWORD(reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(UINT_PTR(ch))))));
}

std::wstring ItemText(HMENU menu, int position) {
    MENUITEMINFOW mii = {};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_STRING;
    if (!GetMenuItemInfoW(menu, UINT(position), TRUE, &mii) || mii.cch == 0) return {};
    std::wstring text(mii.cch + 1, L'\0');
    mii.dwTypeData = text.data();
    mii.cch = UINT(text.size());
    if (!GetMenuItemInfoW(menu, UINT(position), TRUE, &mii)) return {};
    text.resize(mii.cch);
    return text;
}

}  // namespace

CCommandBar::~CCommandBar() {
    if (hook_) UnhookWindowsHookEx(hook_);
    HookKeyboardMode(false);
    if (tracking == this) tracking = nullptr;
    if (bar_ && IsWindow(bar_)) {
        RemoveWindowSubclass(bar_, &CCommandBar::SubclassProc, kSubclassId);
        DestroyWindow(bar_);
    }
}

HWND CCommandBar::Create(HWND parent, HWND owner, HMENU menu) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | TBSTYLE_FLAT |
                        TBSTYLE_LIST | TBSTYLE_TRANSPARENT | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN;
    bar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", style, 0, 0, 0, 0, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    if (!bar_) return nullptr;
    if (!SetWindowSubclass(bar_, &CCommandBar::SubclassProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(this))) {
        DestroyWindow(bar_);
        bar_ = nullptr;
        return nullptr;
    }
    owner_ = owner;
    menu_ = menu;
    SendMessageW(bar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // Text only: no room kept for images, and a menu bar's spacing.
    SendMessageW(bar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    SendMessageW(bar_, TB_SETPADDING, 0, MAKELPARAM(MulDiv(8, dpi, 96), MulDiv(6, dpi, 96)));
    ApplyFont();
    AddButtons();
    ShowAccelerators(KeyboardCuesAlwaysOn());
    UpdateBand();
    return bar_;
}

void CCommandBar::SetMenu(HMENU menu) {
    menu_ = menu;
    Rebuild();
}

void CCommandBar::Rebuild() {
    if (!bar_) return;
    SendMessageW(bar_, WM_SETREDRAW, FALSE, 0);
    for (int n = ButtonCount(); n > 0; --n) SendMessageW(bar_, TB_DELETEBUTTON, WPARAM(n - 1), 0);
    AddButtons();
    SendMessageW(bar_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(bar_, nullptr, TRUE);
    UpdateBand();
}

void CCommandBar::AddButtons() {
    texts_.clear();
    const int count = menu_ ? GetMenuItemCount(menu_) : 0;
    for (int i = 0; i < count; ++i) texts_.push_back(ItemText(menu_, i));
    // texts_ is complete before its strings are pointed at.
    std::vector<TBBUTTON> buttons;
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW mii = {};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_STATE;
        GetMenuItemInfoW(menu_, UINT(i), TRUE, &mii);
        TBBUTTON b = {};
        b.iBitmap = I_IMAGENONE;
        b.idCommand = kFirstButtonId + i;
        if (mii.fType & MFT_SEPARATOR) {
            b.fsStyle = BTNS_SEP;
        } else {
            b.fsState = (mii.fState & MFS_DISABLED) ? 0 : TBSTATE_ENABLED;
            b.fsStyle = BTNS_DROPDOWN | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
            b.iString = reinterpret_cast<INT_PTR>(texts_[size_t(i)].c_str());
        }
        buttons.push_back(b);
    }
    if (!buttons.empty())
        SendMessageW(bar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageW(bar_, TB_AUTOSIZE, 0, 0);
}

void CCommandBar::SetFont(HFONT font) {
    font_ = font;
    ApplyFont();
    Rebuild();
}

HFONT CCommandBar::Font() const { return font_ ? font_ : menuFont_.get(); }

void CCommandBar::ApplyFont() {
    if (!font_ && !menuFont_.get()) {
        NONCLIENTMETRICSW ncm = {};
        ncm.cbSize = sizeof ncm;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0))
            menuFont_.reset(CreateFontIndirectW(&ncm.lfMenuFont));
    }
    if (bar_) SendMessageW(bar_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), TRUE);
}

SIZE CCommandBar::IdealSize() const {
    SIZE size = {0, 0};
    for (int i = 0, n = ButtonCount(); i < n; ++i) {
        RECT rc = {};
        if (!SendMessageW(bar_, TB_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&rc))) continue;
        size.cx = std::max<LONG>(size.cx, rc.right);
        size.cy = std::max<LONG>(size.cy, rc.bottom - rc.top);
    }
    if (size.cy == 0 && bar_) size.cy = HIWORD(SendMessageW(bar_, TB_GETBUTTONSIZE, 0, 0));
    return size;
}

int CCommandBar::ButtonCount() const { return bar_ ? int(SendMessageW(bar_, TB_BUTTONCOUNT, 0, 0)) : 0; }

std::wstring CCommandBar::ButtonText(int index) const {
    if (index < 0 || index >= int(texts_.size())) return {};
    return texts_[size_t(index)];
}

void CCommandBar::UpdateBand() {
    if (!bar_) return;
    HWND parent = GetParent(bar_);
    wchar_t cls[32] = {};
    GetClassNameW(parent, cls, 32);
    if (lstrcmpiW(cls, REBARCLASSNAMEW) != 0) return;
    const SIZE size = IdealSize();
    const int bands = int(SendMessageW(parent, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < bands; ++i) {
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILD;
        if (!SendMessageW(parent, RB_GETBANDINFOW, WPARAM(i), reinterpret_cast<LPARAM>(&band))) continue;
        if (band.hwndChild != bar_) continue;
        band.fMask = RBBIM_CHILDSIZE | RBBIM_IDEALSIZE;
        band.cxMinChild = 0;
        band.cyMinChild = UINT(size.cy);
        band.cxIdeal = UINT(size.cx);
        SendMessageW(parent, RB_SETBANDINFOW, WPARAM(i), reinterpret_cast<LPARAM>(&band));
        return;
    }
}

void CCommandBar::ShowAccelerators(bool show) {
    if (!bar_) return;
    SendMessageW(bar_, TB_SETDRAWTEXTFLAGS, DT_HIDEPREFIX, show ? 0 : DT_HIDEPREFIX);
    InvalidateRect(bar_, nullptr, TRUE);
}

int CCommandBar::ButtonForMnemonic(wchar_t ch) const {
    if (!ch) return -1;
    const wchar_t want = UpperChar(ch);
    for (size_t i = 0; i < texts_.size(); ++i) {
        const std::wstring& t = texts_[i];
        for (size_t k = 0; k + 1 < t.size(); ++k) {
            if (t[k] != L'&') continue;
            if (t[k + 1] == L'&') {  // a literal ampersand
                ++k;
                continue;
            }
            const int state = int(SendMessageW(bar_, TB_GETSTATE, kFirstButtonId + WPARAM(i), 0));
            if (UpperChar(t[k + 1]) == want && state != -1 && (state & TBSTATE_ENABLED)) return int(i);
            break;
        }
    }
    return -1;
}

int CCommandBar::HotButton() const { return bar_ ? int(SendMessageW(bar_, TB_GETHOTITEM, 0, 0)) : -1; }

void CCommandBar::SetHot(int index) {
    if (bar_) SendMessageW(bar_, TB_SETHOTITEM, WPARAM(index), 0);
}

RECT CCommandBar::ButtonScreenRect(int index) const {
    RECT rc = {};
    SendMessageW(bar_, TB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&rc));
    MapWindowPoints(bar_, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

int CCommandBar::HitButton(POINT screen) const {
    if (!bar_ || WindowFromPoint(screen) != bar_) return -1;
    ScreenToClient(bar_, &screen);
    const int hit = int(SendMessageW(bar_, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&screen)));
    return hit >= 0 && hit < ButtonCount() ? hit : -1;
}

// ---------------------------------------------------------------------------
// Opening menus

namespace {

// The next button from `from` in direction `step` (+1, -1) that can open,
// wrapping around; -1 when there is none.
int NextEnabled(HWND bar, int from, int step) {
    const int count = int(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
    for (int k = 1; k <= count; ++k) {
        const int i = ((from + step * k) % count + count) % count;
        TBBUTTON b = {};
        if (!SendMessageW(bar, TB_GETBUTTON, WPARAM(i), reinterpret_cast<LPARAM>(&b))) continue;
        if (!(b.fsStyle & BTNS_SEP) && (b.fsState & TBSTATE_ENABLED)) return i;
    }
    return -1;
}

}  // namespace

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
    ShowAccelerators(keyboard || KeyboardCuesAlwaysOn());
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
        ShowAccelerators(KeyboardCuesAlwaysOn());
        PostMessageW(owner_, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    } else if (escaped_) {
        EnterKeyboardMode(current);  // Esc at the first level goes back to the bar
    } else {
        SetHot(-1);
        ShowAccelerators(KeyboardCuesAlwaysOn());
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
            if (msg.wParam == VK_LEFT && atFirstLevel) return moveTo(NextEnabled(bar_, openIndex_, -1), true);
            if (msg.wParam == VK_RIGHT && !selectedIsPopup_)
                return moveTo(NextEnabled(bar_, openIndex_, +1), true);
            if (msg.wParam == VK_ESCAPE && atFirstLevel) escaped_ = true;
            return false;
        case WM_MOUSEMOVE: {
            if (msg.pt.x == lastMouse_.x && msg.pt.y == lastMouse_.y) return false;
            lastMouse_ = msg.pt;
            const int hit = HitButton(msg.pt);
            if (hit < 0 || hit == openIndex_ || NextEnabled(bar_, hit - 1, +1) != hit) return false;
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
            return NextEnabled(bar_, hit - 1, +1) == hit && moveTo(hit, false);
        }
        default: return false;
    }
}

// ---------------------------------------------------------------------------
// Keyboard mode

void CCommandBar::EnterKeyboardMode(int hot) {
    if (!bar_) return;
    keyboardMode_ = true;
    if (hot < 0 || NextEnabled(bar_, hot - 1, +1) != hot) hot = NextEnabled(bar_, -1, +1);
    SetHot(hot);
    ShowAccelerators(true);
    HookKeyboardMode(true);
}

void CCommandBar::LeaveKeyboardMode() {
    HookKeyboardMode(false);
    if (!keyboardMode_) return;
    keyboardMode_ = false;
    SetHot(-1);
    ShowAccelerators(KeyboardCuesAlwaysOn());
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
        case VK_LEFT: SetHot(NextEnabled(bar_, hot < 0 ? 0 : hot, -1)); return true;
        case VK_RIGHT: SetHot(NextEnabled(bar_, hot, +1)); return true;
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

// ---------------------------------------------------------------------------
// The tool bar's messages

bool CCommandBar::IsMenuMessage(UINT msg, WPARAM, LPARAM lp) const {
    switch (msg) {
        case WM_INITMENU:
        case WM_INITMENUPOPUP:
        case WM_UNINITMENUPOPUP:
        case WM_MENUSELECT:
        case WM_MENUCHAR:
        case WM_ENTERIDLE:
        case WM_ENTERMENULOOP:
        case WM_EXITMENULOOP:
        case WM_MENURBUTTONUP:
        case WM_MENUDRAG:
        case WM_MENUGETOBJECT:
        case WM_MENUCOMMAND:
        case WM_NEXTMENU: return true;
        case WM_MEASUREITEM:
        case WM_DRAWITEM:  // CtlType comes first in both structures
            return lp && *reinterpret_cast<const UINT*>(lp) == ODT_MENU;
        default: return false;
    }
}

LRESULT CCommandBar::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    *handled = true;
    if (IsMenuMessage(msg, wp, lp)) {
        if (msg == WM_MENUSELECT) {
            const bool closing = HIWORD(wp) == 0xFFFF && !lp;
            selectedMenu_ = closing ? nullptr : reinterpret_cast<HMENU>(lp);
            selectedIsPopup_ =
                !closing && (HIWORD(wp) & MF_POPUP) && !(HIWORD(wp) & (MF_GRAYED | MF_DISABLED));
        }
        return SendMessageW(owner_, msg, wp, lp);
    }
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            POINT pt = {short(LOWORD(lp)), short(HIWORD(lp))};
            const int hit = int(SendMessageW(bar_, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&pt)));
            if (hit >= 0 && hit < ButtonCount() && NextEnabled(bar_, hit - 1, +1) == hit) {
                LeaveKeyboardMode();
                ChooseButton(hit, false);
                return 0;
            }
            break;
        }
        default: break;
    }
    *handled = false;
    return 0;
}

LRESULT CALLBACK CCommandBar::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                           DWORD_PTR data) {
    auto* self = reinterpret_cast<CCommandBar*>(data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &CCommandBar::SubclassProc, kSubclassId);
        if (self) self->bar_ = nullptr;
        return DefSubclassProc(hwnd, msg, wp, lp);
    }
    if (self) {
        try {
            bool handled = false;
            const LRESULT result = self->OnMessage(msg, wp, lp, &handled);
            if (handled) return result;
        } catch (...) {
        }
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

bool CCommandBar::HandleNotify(NMHDR* header, LRESULT* result) {
    if (!header || !bar_ || header->hwndFrom != bar_) return false;
    if (header->code == UINT(TBN_DROPDOWN)) {
        const auto* tb = reinterpret_cast<NMTOOLBARW*>(header);
        const int index = tb->iItem - kFirstButtonId;
        if (result) *result = TBDDRET_DEFAULT;
        if (index >= 0 && index < ButtonCount()) ChooseButton(index, false);
        return true;
    }
    return false;
}

}  // namespace shell
