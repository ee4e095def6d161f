#include "MenuDialog.h"

#include <string>

#include "CommandIds.h"

namespace shell {
namespace {

constexpr wchar_t kClassName[] = L"MorrowpadMenuPanel";

// The item's text without its accelerator part ("\tCtrl+N").
std::wstring ItemText(HMENU menu, int position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, UINT(position), text, 256, MF_BYPOSITION);
    std::wstring s = text;
    const size_t tab = s.find(L'\t');
    if (tab != std::wstring::npos) s.resize(tab);
    return s;
}

}  // namespace

CMenuDialog::~CMenuDialog() {
    if (Window()) DestroyWindow(Window());
}

bool CMenuDialog::Create(HWND frame, HMENU menu, HFONT font, POINT at) {
    frame_ = frame;
    if (!Register(kClassName, nullptr, CS_HREDRAW | CS_VREDRAW)) return false;
    struct Item {
        UINT id;
        std::wstring text;
        bool enabled;
    };
    std::vector<Item> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE;
        if (!GetMenuItemInfoW(menu, UINT(i), TRUE, &info)) continue;
        if (info.hSubMenu || (info.fType & MFT_SEPARATOR) || info.wID == ID_TEAR_OFF || !info.wID) continue;
        items.push_back({info.wID, ItemText(menu, i), !(info.fState & MFS_DISABLED)});
    }
    if (items.empty()) return false;
    RECT rc = {0, 0, kButtonWidth + 2 * kMargin,
               int(items.size()) * kButtonHeight + int(items.size() + 1) * kMargin / 2 + kMargin};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_TOOLWINDOW;
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    if (!CreateAs(kClassName, L"", style, exStyle, at.x, at.y, rc.right - rc.left, rc.bottom - rc.top, frame))
        return false;
    int y = kMargin;
    for (const Item& item : items) {
        HWND button = CreateWindowExW(0, L"BUTTON", item.text.c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, kMargin,
                                      y, kButtonWidth, kButtonHeight, Window(),
                                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)),
                                      GetModuleHandleW(nullptr), nullptr);
        if (font) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        EnableWindow(button, item.enabled);
        commands_.push_back(item.id);
        y += kButtonHeight + kMargin / 2;
    }
    ShowWindow(Window(), SW_SHOWNOACTIVATE);
    return true;
}

void CMenuDialog::MoveTo(POINT at) {
    SetWindowPos(Window(), HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

void CMenuDialog::SetFont(HFONT font) {
    for (HWND button = GetWindow(Window(), GW_CHILD); button; button = GetWindow(button, GW_HWNDNEXT))
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

LRESULT CMenuDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wp) == BN_CLICKED && frame_) {
                SendMessageW(frame_, WM_COMMAND, LOWORD(wp), 0);
                return 0;
            }
            break;
        case WM_CLOSE: ShowWindow(Window(), SW_HIDE); return 0;
    }
    return DefWindowProcW(Window(), msg, wp, lp);
}

}  // namespace shell
