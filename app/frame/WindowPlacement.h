// The frame's saved placement, Setting/WinPos in setting.ini: nine decimal
// numbers "show,left,top,right,bottom,workLeft,workTop,workRight,workBottom",
// the window rectangle and the work area in effect when it was saved.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace shell {

struct SavedPlacement {
    UINT show = SW_SHOWNORMAL;  // SW_SHOWMAXIMIZED or SW_SHOWNORMAL
    RECT window = {};
    RECT workArea = {};
};

// Nothing unless all nine numbers are there, neither rectangle is empty and
// the window intersects the work area.
std::optional<SavedPlacement> ParseWinPos(const std::wstring& text);
std::wstring FormatWinPos(const SavedPlacement& p);

// The window rectangle to restore on `currentWork`: unless maximised, the
// size is scaled by the ratio of the work-area sizes (integer arithmetic,
// multiplication first) and the left and top stay as saved.
RECT ScaledWindowRect(const SavedPlacement& p, const RECT& currentWork);

// Applies Setting/WinPos to the window and shows it; false (nothing done)
// when the value is missing or malformed.
bool RestorePlacement(HWND frame);
// Writes Setting/WinPos; nothing while the window is minimised or when it
// lies outside the work area.
void SavePlacement(HWND frame);

}  // namespace shell
