// The editor's colour schemes: the light one (section Theme, key Colors of
// setting.ini, or the shipped table when that is missing or damaged) and the
// dark one (key DarkColors, or the built-in dark table). Theme/Scheme says
// which: 0 follows the Windows app mode (AppsUseLightTheme under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize; missing
// means light), 1 is always light, 2 always dark.
//
// Colour tables are the edit control's 80 entries (EditProtocol.h,
// MPM_COLORTABLE), owned by the windows that hand them to their controls.
#pragma once

#include <windows.h>

namespace scheme {

enum class Scheme { FollowWindows = 0, Light = 1, Dark = 2 };

constexpr int kEntries = 80;

Scheme Chosen();
void Choose(Scheme s);
// The Windows app mode: true when AppsUseLightTheme is 0.
bool WindowsUsesDark();
// The scheme chosen, with FollowWindows resolved.
bool DarkInUse();

// The built-in tables.
const COLORREF* LightTable();
const COLORREF* DarkTable();
// The table of the scheme in use (always fills all 80 entries).
void ReadColors(COLORREF out[kEntries]);

// The colours of the frame's own painted parts (the panes' caption strips,
// the split bar above the docked panes): the system's with the light scheme,
// dark ones with the dark scheme.
enum class Chrome { Face, Text, Highlight, Shadow };
COLORREF ChromeColor(Chrome part);

// Rewrites, in place, the colour table of every edit control of this
// thread's windows with the scheme in use, and repaints them and the rest
// of the windows (the frame's painted parts follow the scheme too). Controls read
// their table live, so open documents and the output window change at once.
// Returns the number of controls changed.
int ApplyToOpenWindows();
// WM_SETTINGCHANGE of a top-level window: when Windows says its app mode
// changed ("ImmersiveColorSet") and no scheme was chosen, the open controls
// follow. True when they were recoloured.
bool OnSettingChange(LPARAM lp);

}  // namespace scheme
