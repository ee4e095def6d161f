#include "ShellRegistration.h"

#include <windows.h>

#include <vector>

#include "Owners.h"

namespace shell {
namespace {

// Per user, where the installer puts it: no elevation needed.
constexpr wchar_t kShell[] = L"Software\\Classes\\*\\shell";
constexpr wchar_t kEntry[] = L"Software\\Classes\\*\\shell\\Morrowpad";

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
    CUniqueKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, kEntry, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

namespace {

bool SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

// The entry as the installer writes it: its text, the program's icon and the
// command.
bool RegisterShellMenu(const std::wstring& exePath) {
    const std::wstring exe = exePath.empty() ? ExecutablePath() : exePath;
    if (exe.empty()) return false;
    bool ok = false;
    CUniqueKey entry;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kEntry, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, entry.put(), nullptr) ==
        ERROR_SUCCESS) {
        SetText(entry.get(), nullptr, L"Open with Morrowpad");
        SetText(entry.get(), L"Icon", exe + L",0");
        CUniqueKey command;
        if (RegCreateKeyExW(entry.get(), L"command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, command.put(),
                            nullptr) == ERROR_SUCCESS)
            ok = SetText(command.get(), nullptr, ShellMenuCommand(exe));
    }
    return ok;
}

bool UnregisterShellMenu() {
    CUniqueKey shellKey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kShell, 0, KEY_ALL_ACCESS, shellKey.put()) != ERROR_SUCCESS) return false;
    RegDeleteKeyW(shellKey.get(), L"Morrowpad\\command");
    return RegDeleteKeyW(shellKey.get(), L"Morrowpad") == ERROR_SUCCESS;
}

}  // namespace shell
