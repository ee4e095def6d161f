#include "CommandState.h"

#include <commctrl.h>

namespace shell {

bool CCommandStateTable::Add(UINT id, UINT kinds) {
    if (states_.count(id)) return false;
    State s;
    s.kinds = kinds;
    states_.emplace(id, std::move(s));
    return true;
}

bool CCommandStateTable::Remove(UINT id) { return states_.erase(id) != 0; }

const CCommandStateTable::State* CCommandStateTable::Find(UINT id) const {
    const auto it = states_.find(id);
    return it == states_.end() ? nullptr : &it->second;
}

bool CCommandStateTable::Enable(UINT id, bool enable) {
    const auto it = states_.find(id);
    if (it == states_.end() || it->second.enabled == enable) return false;
    it->second.enabled = enable;
    it->second.dirty = true;
    return true;
}

bool CCommandStateTable::Check(UINT id, int check) {
    const auto it = states_.find(id);
    if (check < 0 || check > 2) check = 1;
    if (it == states_.end() || it->second.check == check) return false;
    it->second.check = check;
    it->second.dirty = true;
    return true;
}

bool CCommandStateTable::SetDefault(UINT id, bool on) {
    const auto it = states_.find(id);
    if (it == states_.end() || it->second.isDefault == on) return false;
    it->second.isDefault = on;
    it->second.dirty = true;
    return true;
}

bool CCommandStateTable::SetText(UINT id, const wchar_t* text) {
    const auto it = states_.find(id);
    if (it == states_.end()) return false;
    const std::wstring value = text ? text : L"";
    if (it->second.hasText && it->second.text == value) return false;
    it->second.text = value;
    it->second.hasText = true;
    it->second.dirty = true;
    return true;
}

void CCommandStateTable::ApplyToMenu(HMENU popup) const {
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoW(popup, UINT(i), TRUE, &info) || info.hSubMenu || (info.fType & MFT_SEPARATOR))
            continue;
        const State* s = Find(info.wID);
        if (!s || !(s->kinds & (UPDUI_MENUPOPUP | UPDUI_MENUBAR))) continue;
        MENUITEMINFOW set = {};
        set.cbSize = sizeof set;
        set.fMask = MIIM_STATE;
        set.fState = (s->enabled ? MFS_ENABLED : MFS_DISABLED) | (s->check ? MFS_CHECKED : 0) |
                     (s->isDefault ? MFS_DEFAULT : 0);
        if (s->hasText) {
            set.fMask |= MIIM_STRING;
            set.dwTypeData = const_cast<wchar_t*>(s->text.c_str());
        }
        SetMenuItemInfoW(popup, UINT(i), TRUE, &set);
    }
}

void CCommandStateTable::ApplyToToolBar(HWND toolBar, bool force) {
    if (!toolBar) return;
    for (auto& [id, s] : states_) {
        if (!(s.kinds & UPDUI_TOOLBAR) || !(s.dirty || force)) continue;
        if (SendMessageW(toolBar, TB_COMMANDTOINDEX, id, 0) < 0) continue;
        const LRESULT old = SendMessageW(toolBar, TB_GETSTATE, id, 0);
        if (old < 0) continue;
        LRESULT state = old & ~(TBSTATE_ENABLED | TBSTATE_CHECKED | TBSTATE_INDETERMINATE);
        if (s.enabled) state |= TBSTATE_ENABLED;
        if (s.check == 1) state |= TBSTATE_CHECKED;
        if (s.check == 2) state |= TBSTATE_INDETERMINATE;
        if (state != old) SendMessageW(toolBar, TB_SETSTATE, id, MAKELPARAM(state, 0));  // each set repaints
    }
}

void CCommandStateTable::ApplyToStatusBar(HWND statusBar, const std::vector<UINT>& panes, bool force) {
    if (!statusBar) return;
    for (size_t part = 0; part < panes.size(); ++part) {
        const auto it = states_.find(panes[part]);
        if (it == states_.end() || !it->second.hasText || !(it->second.dirty || force)) continue;
        wchar_t shown[256] = {};
        if (LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, WPARAM(part), 0)) < 256) {
            SendMessageW(statusBar, SB_GETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(shown));
            if (it->second.text == shown) continue;  // each set repaints
        }
        SendMessageW(statusBar, SB_SETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(it->second.text.c_str()));
    }
}

void CCommandStateTable::ClearDirty() {
    for (auto& [id, s] : states_) s.dirty = false;
}

}  // namespace shell
