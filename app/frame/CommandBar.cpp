#include "CommandBar.h"

#include <commctrl.h>

#include <algorithm>

#include "Dpi.h"

namespace shell {

namespace {

constexpr UINT_PTR kSubclassId = 1;

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
    ReleaseHooks();
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
    SetPadding();
    ApplyFont();
    AddButtons();
    ShowAccelerators(CuesAlwaysOn());
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

// A menu bar's spacing at the frame's resolution.
void CCommandBar::SetPadding() {
    SendMessageW(bar_, TB_SETPADDING, 0, MAKELPARAM(dpi::Scale(bar_, 8), dpi::Scale(bar_, 6)));
}

void CCommandBar::ApplyDpi() {
    if (!bar_) return;
    SetPadding();
    Rebuild();
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

bool CCommandBar::CuesAlwaysOn() {
    BOOL on = FALSE;
    return SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &on, 0) && on;
}

// The next button from `from` in direction `step` (+1, -1) that can open,
// wrapping around; -1 when there is none.
int CCommandBar::NextButton(int from, int step) const {
    const int count = ButtonCount();
    for (int k = 1; k <= count; ++k) {
        const int i = ((from + step * k) % count + count) % count;
        TBBUTTON b = {};
        if (!SendMessageW(bar_, TB_GETBUTTON, WPARAM(i), reinterpret_cast<LPARAM>(&b))) continue;
        if (!(b.fsStyle & BTNS_SEP) && (b.fsState & TBSTATE_ENABLED)) return i;
    }
    return -1;
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
    if (msg == WM_DPICHANGED_AFTERPARENT) {
        ApplyDpi();
        return 0;
    }
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
            if (hit >= 0 && hit < ButtonCount() && NextButton(hit - 1, +1) == hit) {
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
