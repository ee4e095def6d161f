// The frame's command-state table: for each command or status-bar pane that
// the frame shows, whether it is enabled, its check state, default mark and
// text, and in which kinds of elements it appears. Document windows and
// plug-ins change states through IUpdateUI; the frame brings its menus, tool
// bar and status bar up to date from the table at idle time and when a
// popup opens.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "DevEnv.h"

namespace shell {

class CCommandStateTable {
public:
    struct State {
        UINT kinds = 0;
        bool enabled = true;
        int check = 0;  // 0 unchecked, 1 checked, 2 indeterminate
        bool isDefault = false;
        bool hasText = false;
        std::wstring text;
        bool dirty = true;  // changed since the tool bar and status bar were last updated
    };

    // False when the identifier is there already (nothing changes).
    bool Add(UINT id, UINT kinds);
    bool Remove(UINT id);
    const State* Find(UINT id) const;

    // Unknown identifiers are ignored; each returns whether the state changed.
    bool Enable(UINT id, bool enable);
    bool Check(UINT id, int check);
    bool SetDefault(UINT id, bool on);
    bool SetText(UINT id, const wchar_t* text);  // null is empty

    // Every item of the popup (not its submenus) whose identifier is in the
    // table. Text is applied only once someone has set one.
    void ApplyToMenu(HMENU popup) const;
    // The buttons whose state changed; `force` updates all of them.
    void ApplyToToolBar(HWND toolBar, bool force = false);
    // Pane texts: panes[i] is the identifier shown in part i.
    void ApplyToStatusBar(HWND statusBar, const std::vector<UINT>& panes, bool force = false);
    // Marks every state as updated.
    void ClearDirty();

private:
    std::map<UINT, State> states_;
};

}  // namespace shell
