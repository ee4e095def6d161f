// The few functions of the system's shell and common-dialog libraries that
// the program calls, loaded from the system folder on first use: linked at
// start-up, those libraries (and what they load) would cost every start a
// good share of its time for dialogs most sessions never open.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

namespace shell::sys {

// As the functions of the same names; FALSE, 0 or null when the library or
// the function cannot be loaded.
BOOL GetOpenFileName(OPENFILENAMEW* ofn);
BOOL GetSaveFileName(OPENFILENAMEW* ofn);
BOOL ChooseFont(CHOOSEFONTW* cf);
HINSTANCE ShellExecute(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                       const wchar_t* folder, int show);
UINT DragQueryFile(HDROP drop, UINT index, wchar_t* buffer, UINT size);
void DragFinish(HDROP drop);
// SHBrowseForFolderW, then the chosen folder's path (SHGetPathFromIDListW,
// the item list freed): empty when cancelled or not a file-system folder.
std::wstring BrowseForFolder(BROWSEINFOW* info);

}  // namespace shell::sys
