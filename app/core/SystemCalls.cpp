#include "SystemCalls.h"

namespace shell::sys {

// From the system folder only, never from the program's.
FARPROC Resolve(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    if (!module) module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? GetProcAddress(module, name) : nullptr;
}

BOOL GetOpenFileName(OPENFILENAMEW* ofn) {
    static const auto f = Function<BOOL(WINAPI*)(OPENFILENAMEW*)>(L"comdlg32.dll", "GetOpenFileNameW");
    return f ? f(ofn) : FALSE;
}

BOOL GetSaveFileName(OPENFILENAMEW* ofn) {
    static const auto f = Function<BOOL(WINAPI*)(OPENFILENAMEW*)>(L"comdlg32.dll", "GetSaveFileNameW");
    return f ? f(ofn) : FALSE;
}

BOOL ChooseFont(CHOOSEFONTW* cf) {
    static const auto f = Function<BOOL(WINAPI*)(CHOOSEFONTW*)>(L"comdlg32.dll", "ChooseFontW");
    return f ? f(cf) : FALSE;
}

HINSTANCE ShellExecute(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                       const wchar_t* folder, int show) {
    using Fn = HINSTANCE(WINAPI*)(HWND, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, int);
    static const auto f = Function<Fn>(L"shell32.dll", "ShellExecuteW");
    return f ? f(owner, verb, file, parameters, folder, show) : nullptr;
}

UINT DragQueryFile(HDROP drop, UINT index, wchar_t* buffer, UINT size) {
    static const auto f =
        Function<UINT(WINAPI*)(HDROP, UINT, wchar_t*, UINT)>(L"shell32.dll", "DragQueryFileW");
    return f ? f(drop, index, buffer, size) : 0;
}

void DragFinish(HDROP drop) {
    static const auto f = Function<void(WINAPI*)(HDROP)>(L"shell32.dll", "DragFinish");
    if (f) f(drop);
}

std::wstring BrowseForFolder(BROWSEINFOW* info) {
    using Browse = LPITEMIDLIST(WINAPI*)(BROWSEINFOW*);
    using GetPath = BOOL(WINAPI*)(LPCITEMIDLIST, wchar_t*);
    using Free = void(WINAPI*)(void*);
    static const auto browse = Function<Browse>(L"shell32.dll", "SHBrowseForFolderW");
    static const auto getPath = Function<GetPath>(L"shell32.dll", "SHGetPathFromIDListW");
    static const auto free = Function<Free>(L"ole32.dll", "CoTaskMemFree");
    if (!browse || !getPath || !info) return {};
    LPITEMIDLIST list = browse(info);
    if (!list) return {};
    wchar_t path[MAX_PATH] = {};
    const BOOL ok = getPath(list, path);
    if (free) free(list);
    return ok ? std::wstring(path) : std::wstring();
}

DWORD GetFileVersionInfoSize(const wchar_t* path, DWORD* handle) {
    static const auto f =
        Function<decltype(&GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
    return f ? f(path, handle) : 0;
}

BOOL GetFileVersionInfo(const wchar_t* path, DWORD handle, DWORD size, void* data) {
    static const auto f = Function<decltype(&GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
    return f ? f(path, handle, size, data) : FALSE;
}

BOOL VerQueryValue(const void* block, const wchar_t* name, void** value, UINT* length) {
    static const auto f = Function<decltype(&VerQueryValueW)>(L"version.dll", "VerQueryValueW");
    return f ? f(block, name, value, length) : FALSE;
}

}  // namespace shell::sys
