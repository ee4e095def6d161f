#include "KeyBindings.h"

#include <cwchar>

#include "Settings.h"

namespace keys {

uint16_t CurrentModifiers() {
    uint16_t m = 0;
    if (GetKeyState(VK_MENU) < 0) m |= kAlt;
    if (GetKeyState(VK_CONTROL) < 0) m |= kCtrl;
    if (GetKeyState(VK_SHIFT) < 0) m |= kShift;
    if (GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0) m |= kWin;
    return m;
}

const wchar_t* VirtualKeyName(int vk) {
    static const wchar_t* const low[] = {L"Unused", L"Left mouse button", L"Right mouse button", L"Control-break",
                                         L"Middle mouse button", L"X1 mouse button", L"X2 mouse button",
                                         L"Undefined"};
    static const wchar_t* const nav[] = {L"Space", L"PgUp", L"PgDn", L"End", L"Home", L"Left", L"Up", L"Right",
                                         L"Down", L"Select", L"Print", L"Execute", L"Print", L"Ins", L"Del",
                                         L"Help"};
    static const wchar_t* const pad[] = {L"Mul", L"Add", L"Separator", L"Sub", L"Decimal", L"Div"};
    static const wchar_t* const sides[] = {L"Left Shift", L"Right Shift", L"Left Control", L"Right Control",
                                           L"Left Alt", L"Right Alt"};
    static const wchar_t* const browser[] = {L"Browser Back", L"Browser Forward", L"Browser Refresh",
                                             L"Browser Stop", L"Browser Search", L"Browser Favorites",
                                             L"Browser Home", L"Volume Mute", L"Volume Down", L"Volume Up",
                                             L"Next Track", L"Previous Track", L"Stop Media", L"Play/Pause Media",
                                             L"Start Mail", L"Select Media", L"Start App 1", L"Start App 2"};
    static const wchar_t* const oem1[] = {L";", L"=", L",", L"-", L".", L"/", L"`"};
    static const wchar_t* const oem2[] = {L"[", L"\\", L"]", L"'"};
    static const wchar_t* const tail[] = {L"Attn", L"CrSel", L"ExSel", L"Erase EOF", L"Play", L"Zoom", L"Unknown",
                                          L"PA1", L"Clear"};
    static const wchar_t* const num[] = {L"Num0", L"Num1", L"Num2", L"Num3", L"Num4",
                                         L"Num5", L"Num6", L"Num7", L"Num8", L"Num9"};
    static const wchar_t* const fkeys[] = {L"F1",  L"F2",  L"F3",  L"F4",  L"F5",  L"F6",  L"F7",  L"F8",
                                           L"F9",  L"F10", L"F11", L"F12", L"F13", L"F14", L"F15", L"F16",
                                           L"F17", L"F18", L"F19", L"F20", L"F21", L"F22", L"F23", L"F24"};
    static wchar_t single[2];
    if (vk >= 0x00 && vk <= 0x07) return low[vk];
    switch (vk) {
        case 0x08: return L"Backspace";
        case 0x09: return L"Tab";
        case 0x0C: return L"Clear";
        case 0x0D: return L"Enter";
        case 0x10: return L"Shift";
        case 0x11: return L"Control";
        case 0x12: return L"Alt";
        case 0x13: return L"Pause";
        case 0x14: return L"Caps Lock";
        case 0x15: return L"IME Kana mode";
        case 0x17: return L"IME Junja mode";
        case 0x18: return L"IME final mode";
        case 0x19: return L"IME Hanja mode";
        case 0x1B: return L"Esc";
        case 0x1C: return L"IME convert";
        case 0x1D: return L"IME nonconvert";
        case 0x1E: return L"IME accept";
        case 0x1F: return L"IME mode change";
        case 0x5B: return L"LWin";
        case 0x5C: return L"RWin";
        case 0x5D: return L"App";
        case 0x5F: return L"Sleep";
        case 0x90: return L"NumLock";
        case 0x91: return L"ScrollLock";
        case 0xE2: return L"<";
        case 0xE5: return L"IME Process key";
        case 0xE7: return L"VK_PACKET";
    }
    if (vk >= 0x20 && vk <= 0x2F) return nav[vk - 0x20];
    if ((vk >= 0x30 && vk <= 0x39) || (vk >= 0x41 && vk <= 0x5A)) {
        single[0] = wchar_t(vk);
        single[1] = 0;
        return single;
    }
    if (vk >= 0x60 && vk <= 0x69) return num[vk - 0x60];
    if (vk >= 0x6A && vk <= 0x6F) return pad[vk - 0x6A];
    if (vk >= 0x70 && vk <= 0x87) return fkeys[vk - 0x70];
    if ((vk >= 0x92 && vk <= 0x96) || vk == 0xDF || vk == 0xE1 || vk == 0xE3 || vk == 0xE4 || vk == 0xE6 ||
        (vk >= 0xE9 && vk <= 0xF5))
        return L"OEM";
    if (vk >= 0xA0 && vk <= 0xA5) return sides[vk - 0xA0];
    if (vk >= 0xA6 && vk <= 0xB7) return browser[vk - 0xA6];
    if (vk >= 0xBA && vk <= 0xC0) return oem1[vk - 0xBA];
    if (vk >= 0xDB && vk <= 0xDE) return oem2[vk - 0xDB];
    if (vk >= 0xF6 && vk <= 0xFE) return tail[vk - 0xF6];
    return L"Unknown";
}

std::wstring KeyName(uint16_t code) {
    std::wstring name;
    if (code & kWin) name += L"Win+";
    if (code & kCtrl) name += L"Ctrl+";
    if (code & kAlt) name += L"Alt+";
    if (code & kShift) name += L"Shift+";
    if (code & 0xFF) name += VirtualKeyName(code & 0xFF);
    return name;
}

namespace {
std::wstring Entry(const wchar_t* section, int i, const std::wstring& ini) {
    wchar_t buf[1024];
    const std::wstring key = L"Command" + std::to_wstring(i);
    const DWORD n = GetPrivateProfileStringW(section, key.c_str(), L"", buf, 1024, ini.c_str());
    return std::wstring(buf, n);
}

// A command entry as written with "%ld", read as the profile functions
// read numbers; entries above 2^31 may also be written unsigned.
bool ParseEntry(const std::wstring& s, uint32_t* out) {
    int64_t v = 0;
    if (!settings::ParseProfileNumber(s, &v) || v < INT32_MIN) return false;
    *out = uint32_t(v);
    return true;
}
}  // namespace

// An empty or missing key ends a list; an entry that holds no number (or a
// macro entry without its comma and path) is skipped.
void CKeyTables::Load(const std::wstring& ini) {
    settings::Readable(ini);
    commands.clear();
    macros.clear();
    for (int i = 0;; ++i) {
        const std::wstring e = Entry(L"Global", i, ini);
        if (e.empty()) break;
        uint32_t v = 0;
        if (!ParseEntry(e, &v)) continue;
        if (v == 0) break;
        commands.push_back(v);
    }
    for (int i = 0;; ++i) {
        const std::wstring e = Entry(L"Macro", i, ini);
        if (e.empty()) break;
        // "%d,%[^\t\n]": a number, a comma, then the path up to a tab or LF.
        int64_t key = 0;
        size_t end = 0;
        if (!settings::ParseProfileNumber(e, &key, &end) || end >= e.size() || e[end] != L',') continue;
        const std::wstring path = e.substr(end + 1, e.find_first_of(L"\t\n", end + 1) - (end + 1));
        if ((key & 0xFFFF) == 0 || path.empty()) continue;
        macros.push_back({uint16_t(key), path});
    }
    commandsModified = macrosModified = false;
}

void CKeyTables::SaveCommands(const std::wstring& ini) const {
    if (!settings::EnsureUnicodeFile(ini)) return settings::ReportWriteFailure(ini);
    bool ok = WritePrivateProfileStringW(L"Global", nullptr, nullptr, ini.c_str());
    for (size_t i = 0; i < commands.size() && ok; ++i)
        ok = WritePrivateProfileStringW(L"Global", (L"Command" + std::to_wstring(i)).c_str(),
                                        std::to_wstring(int32_t(commands[i])).c_str(), ini.c_str());
    if (!ok) settings::ReportWriteFailure(ini);
}

void CKeyTables::SaveMacros(const std::wstring& ini) const {
    if (!settings::EnsureUnicodeFile(ini)) return settings::ReportWriteFailure(ini);
    bool ok = WritePrivateProfileStringW(L"Macro", nullptr, nullptr, ini.c_str());
    for (size_t i = 0; i < macros.size() && ok; ++i)
        ok = WritePrivateProfileStringW(L"Macro", (L"Command" + std::to_wstring(i)).c_str(),
                                        (std::to_wstring(macros[i].key) + L"," + macros[i].path).c_str(), ini.c_str());
    if (!ok) settings::ReportWriteFailure(ini);
}

int CKeyTables::CommandFor(uint16_t code) const {
    for (uint32_t e : commands)
        if ((e & 0xFFFF) == code) return int(e >> 16);
    return 0;
}

const std::wstring* CKeyTables::MacroFor(uint16_t code) const {
    for (const MacroBinding& m : macros)
        if (m.key == code) return &m.path;
    return nullptr;
}

CKeyTables::Match CKeyTables::Find(const MSG& msg, uint16_t modifiers, int* command, const std::wstring** macro) const {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return Match::kNone;
    const int vk = int(msg.wParam & 0xFF);
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == VK_LWIN || vk == VK_RWIN) return Match::kNone;
    const uint16_t code = uint16_t(modifiers | vk);
    if (const int c = CommandFor(code)) {
        *command = c;
        return Match::kCommand;
    }
    if (const std::wstring* m = MacroFor(code)) {
        *macro = m;
        return Match::kMacro;
    }
    return Match::kNone;
}

bool CKeyTables::Translate(HWND frame, const MSG& msg) const {
    int command = 0;
    const std::wstring* macro = nullptr;
    switch (Find(msg, CurrentModifiers(), &command, &macro)) {
        case Match::kCommand:
            SendMessageW(frame, WM_COMMAND, MAKEWPARAM(command, 1), 0);
            return true;
        case Match::kMacro:
            SendMessageW(frame, WM_USER + 1203, reinterpret_cast<WPARAM>(macro->c_str()), 0);
            return true;
        default:
            return false;
    }
}

}  // namespace keys
