// Helpers for dialog controls shared by the options pages and the other
// dialogs: number fields, and combo and list boxes filled from a menu.
#pragma once

#include <windows.h>

#include <string>

namespace shell {

// A whole field of decimal digits with an optional sign and surrounding
// blanks, within int; false for anything else ("", "12abc", "1e3").
bool ParseNumber(const std::wstring& text, int* value);

// Adds every item of the first popup of menu `menu` (of module `module`)
// to a combo box (or, with `listBox`, a list box): its text, followed by
// " [identifier]" when `withNumber`, and its identifier as item data.
void FillComboFromMenu(HWND combo, HMODULE module, int menu, bool listBox = false, bool withNumber = false);
// Selects the item whose data is `data`; false when none has it.
bool SelectComboData(HWND combo, LPARAM data);
// The data of the selected item, or `none`.
LPARAM SelectedComboData(HWND combo, LPARAM none);
// A menu label without "&" and without the part after a tab.
std::wstring MenuLabel(const std::wstring& text);

}  // namespace shell
