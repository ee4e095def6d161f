// Tool bars described by resources, so that their buttons live beside their
// images in the executable's resource script (app/res/Morrowpad.rc).
//
// A tool-bar resource has type RT_TOOLBAR (241) and holds 16-bit words:
// version (1), image width, image height, item count, then that many command
// identifiers, 0 standing for a separator. Its image strip is a separate
// bitmap with one image per non-separator item, in item order, whose
// magenta (0xFF00FF) pixels are transparent.
#pragma once

#include <windows.h>

#include <vector>

namespace shell {

// The items of tool-bar resource `id` in `module` (0 = separator), and the
// image size it declares in *width and *height (either may be null). An
// empty vector when the resource is missing, its version is not 1 or it is
// shorter than its count says; *width and *height are then left alone.
std::vector<WORD> LoadToolBarResource(HMODULE module, int id, int* width, int* height);

// Creates a tool bar child of `parent` from tool-bar resource `toolbarId`
// and bitmap `bitmapId` of `module`, with control identifier `controlId`:
// flat, with tool tips, without divider and without sizing or placing
// itself (CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN), ready to be
// put in a rebar band (its ideal size comes from TB_GETMAXSIZE). Buttons are
// enabled and carry their command identifiers; a click sends WM_COMMAND with
// the identifier to `parent`. Tool tips are asked of `parent` with
// TTN_GETDISPINFOW (idFrom = the command identifier), so the frame can take
// them from its language library. The image list belongs to the tool bar
// and is destroyed with it (the window is subclassed to do so). `extraStyle`
// is added to the window style (for example WS_VISIBLE). Returns null when
// the resource or the bitmap is missing or the window cannot be created.
// comctl32 must be initialised (InitCommonControlsEx with ICC_BAR_CLASSES).
// The images grow by whole steps with the resolution (Dpi.h): twice their
// size from 144 dpi, three times from 240; the tool bar draws them again when
// it hears WM_DPICHANGED_AFTERPARENT, and gives its rebar band the new size.
HWND CreateToolBarFromResource(HWND parent, HMODULE module, int toolbarId, int bitmapId, UINT controlId,
                               DWORD extraStyle = WS_VISIBLE);

}  // namespace shell
