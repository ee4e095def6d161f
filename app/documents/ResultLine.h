// Result lines, as find-in-files writes them: "#<path>:(line,column):" and
// the text, the line and column counted from 1 and 0. A double click on such
// a line, in the output window or in a document, opens the file there.
#pragma once

#include <windows.h>

#include <string>

namespace shell {

// Reads a result line. The file part "#<path>:" must start the line (its
// path ends at the first ">:"), and the position ":(digits,digits)" is the
// first one after it. `line` comes back 0-based (the number less one, at
// least 0), `column` as written. False, with nothing written, for any other
// line or an empty path. Numbers too large for an int are clamped.
bool ParseResultLine(const std::wstring& text, std::wstring* path, int* line, int* column);

// The caret line of the edit control `control` taken as a result line: the
// frame's open routine (message MPF_OPEN) activates the document of that
// path, or opens it, and the caret moves there without a selection, its line
// centred; then the frame gets the focus. False when the line is no result
// line or the file could not be opened (the tabs stay as they were).
bool JumpToLocation(HWND frame, HWND control);

}  // namespace shell
