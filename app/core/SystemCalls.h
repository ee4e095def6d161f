// The few functions of the system's shell, common-dialog, printing and
// version libraries that the program calls, loaded from the system folder on
// first use: linked at start-up, those libraries (and what they load) would
// cost every start a good share of its time for dialogs most sessions never
// open.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

namespace shell::sys {

// The function `name` of the system library `library` (loaded from the
// system folder on first use, kept for the life of the process); null when
// either is missing. F is the function's pointer type, e.g.
// decltype(&PrintDlgExW), which references no import.
FARPROC Resolve(const wchar_t* library, const char* name);
template <class F>
F Function(const wchar_t* library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(Resolve(library, name)));
}

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
// version.dll: 0 or FALSE when it cannot be loaded.
DWORD GetFileVersionInfoSize(const wchar_t* path, DWORD* handle);
BOOL GetFileVersionInfo(const wchar_t* path, DWORD handle, DWORD size, void* data);
BOOL VerQueryValue(const void* block, const wchar_t* name, void** value, UINT* length);

}  // namespace shell::sys
