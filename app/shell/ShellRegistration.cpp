#include "ShellRegistration.h"

#include <windows.h>

#include <vector>

namespace shell {
namespace {

constexpr wchar_t kEntry[] = L"SOFTWARE\\Classes\\*\\Shell\\Morrowpad";

std::wstring ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0) return L"";
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        if (buffer.size() >= 32768) return L"";
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::wstring ShellMenuCommand(const std::wstring& exe) { return L"\"" + exe + L"\" \"%1\""; }

bool IsShellMenuRegistered() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEntry, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool RegisterShellMenu(const std::wstring& exePath) {
    const std::wstring exe = exePath.empty() ? ExecutablePath() : exePath;
    if (exe.empty()) return false;
    HKEY star = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\*", 0, KEY_ALL_ACCESS, &star) != ERROR_SUCCESS)
        return false;
    bool ok = false;
    HKEY entry = nullptr;
    if (RegCreateKeyExW(star, L"Shell\\Morrowpad", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &entry, nullptr) ==
        ERROR_SUCCESS) {
        HKEY command = nullptr;
        if (RegCreateKeyExW(entry, L"Command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &command, nullptr) ==
            ERROR_SUCCESS) {
            const std::wstring text = ShellMenuCommand(exe);
            ok = RegSetValueExW(command, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                DWORD((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
            RegCloseKey(command);
        }
        RegCloseKey(entry);
    }
    RegCloseKey(star);
    return ok;
}

bool UnregisterShellMenu() {
    HKEY shellKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\*\\Shell", 0, KEY_ALL_ACCESS, &shellKey) !=
        ERROR_SUCCESS)
        return false;
    RegDeleteKeyW(shellKey, L"Morrowpad\\Command");
    const bool ok = RegDeleteKeyW(shellKey, L"Morrowpad") == ERROR_SUCCESS;
    RegCloseKey(shellKey);
    return ok;
}

}  // namespace shell
