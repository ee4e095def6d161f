// The key field of the key pages: a subclassed edit field that never takes
// text. Pressing keys builds a key code (KeyBindings.h): a modifier key sets
// its bit while it is held, the first other key completes the combination
// and the field shows its name. Ctrl+Alt+Del clears the field. Its context
// menu offers keys that cannot be typed and toggles the modifiers.
#pragma once

#include <windows.h>

#include <cstdint>

namespace shell {

// Messages of a key field.
constexpr UINT KFM_GETKEY = WM_USER + 100;  // the key code, 0 when empty
constexpr UINT KFM_SETKEY = WM_USER + 101;  // wParam = key code (0 clears)

// Makes the edit field `edit` a key field; it is undone when the field goes.
bool AttachKeyField(HWND edit);

// The context menu for the current code: "Multimedia" (A6..B7), "Standard"
// (Enter, Esc, Tab, Caps Lock, Backspace, Ins, Del, 20..28), "Functionality"
// (F1..F24), a separator and the modifier check items (enabled only when a
// key is set). Item identifiers: kMenuKeyBase + virtual key for keys, the
// kMenu* values for the modifiers.
constexpr UINT kMenuKeyBase = 0x1000;
constexpr UINT kMenuWin = 0x2001, kMenuCtrl = 0x2002, kMenuShift = 0x2003, kMenuAlt = 0x2004;
HMENU BuildKeyFieldMenu(uint16_t code);
// The code after choosing menu item `id` with `code` set: a key keeps the
// current modifiers; a modifier item toggles its bit when a key is set.
uint16_t ApplyKeyFieldChoice(uint16_t code, UINT id);

}  // namespace shell
