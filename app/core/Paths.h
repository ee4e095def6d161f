// Parts of a path: its file name, its folder, its full form.
// A path may separate its parts with backslashes or slashes.
#pragma once

#include <string>

namespace shell {

// The part after the last slash or backslash; the path itself when it has none.
inline std::wstring FileNamePart(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? path : path.substr(at + 1);
}

// The part up to and with the last slash or backslash ("C:\dir\" of
// "C:\dir\a.txt"); "" when the path has none.
inline std::wstring FolderWithSeparator(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at + 1);
}

// The folder without its last separator ("C:\dir" of "C:\dir\a.txt"); ""
// when the path has none.
inline std::wstring FolderPart(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at);
}

// The full form of a path (relative to the current folder); the path itself
// when it has none.
std::wstring FullPath(const std::wstring& path);

}  // namespace shell
