#include "Paths.h"

#include <windows.h>

namespace shell {

std::wstring FullPath(const std::wstring& path) {
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!n) return path;
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (!got || got >= n) return path;
    full.resize(got);
    return full;
}

}  // namespace shell
