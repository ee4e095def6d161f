// The file dialogs of the program: the system's open and save dialogs with
// a panel of their own (the language library's template 216) that chooses
// the code page, and in save mode the line ends and the byte-order mark;
// and the code-page dialog (template 202) that lists every code page the
// program offers.
//
// Both code-page lists come from the executable's menu 301 (item
// identifier = code page) and the line-end list from its menu 306, so that
// the numbers stay right whatever the language library holds.
//
// Tests never wait on these dialogs: SetFileDialogHook and SetCodePageHook
// answer instead of them, and SetDialogShownHook lets a test look at the
// real dialog once it is up and close it by posting a command.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace documents {

struct FileChoice {
    std::vector<std::wstring> paths;  // open: one or more full paths in the dialog's order; save: one
    int codePage = 1;                 // open: 1 = detect; save: the chosen code page
    int lineEnd = 1;                  // save only: 1 CR LF, 2 LF, 3 CR
    int bom = 0;                      // save only
    bool readOnly = false;            // open only: the dialog's read-only box
};

// False when cancelled (or when the dialog could not be shown); `choice`
// is then left as it was.
bool ShowOpenDialog(HWND owner, FileChoice* choice);
// Starts in `initialFolder` (when not empty) rather than the folder the
// system remembers.
bool ShowOpenDialog(HWND owner, const std::wstring& initialFolder, FileChoice* choice);
// `choice` comes pre-filled with the document's code page, line ends and
// byte-order mark; the dialog starts on those.
bool ShowSaveDialog(HWND owner, const std::wstring& initialPath, FileChoice* choice);

// Answers instead of the dialogs while installed (null restores them);
// returns the previous hook.
using FileDialogHook = bool (*)(bool save, FileChoice* choice);
FileDialogHook SetFileDialogHook(FileDialogHook hook);

// The code-page dialog: the chosen code page (0 for the first item, the
// system code page), or -1 when cancelled.
int ChooseCodePage(HWND owner);
using CodePageHook = int (*)(HWND owner);
CodePageHook SetCodePageHook(CodePageHook hook);

// Called with the panel of a real file dialog once it is shown
// (CDN_INITDONE; the file dialog is its parent), and with the code-page
// dialog at its WM_INITDIALOG. Null removes it; returns the previous one.
using DialogShownHook = void (*)(HWND dialog);
DialogShownHook SetDialogShownHook(DialogShownHook hook);

// Whether a byte-order mark can be written in `codePage` (UTF-16, UTF-32,
// UTF-8 and UTF-7).
bool BomApplies(int codePage);

// The full paths of a multiple-selection result: "folder\0name\0name\0\0"
// becomes folder\name for each name; a single "path\0\0" is that path.
// Reads no further than `size` units.
std::vector<std::wstring> SplitSelection(const wchar_t* buffer, size_t size);

}  // namespace documents
