// Key bindings of the frame: a command table and a macro table, checked for
// every key press before it reaches a window, stored in key.ini.
//
// A key code is 16 bits: modifier bits in the high byte (Alt 1, Ctrl 2,
// Shift 4, Win 8) and the virtual-key code in the low byte.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace keys {

enum Modifier : uint16_t { kAlt = 0x100, kCtrl = 0x200, kShift = 0x400, kWin = 0x800 };

// The modifier bits held at this moment.
uint16_t CurrentModifiers();
// "Win+Ctrl+Alt+Shift+" prefixes, then the virtual key's name.
std::wstring KeyName(uint16_t code);
const wchar_t* VirtualKeyName(int vk);

struct MacroBinding {
    uint16_t key;
    std::wstring path;
};

// The frame's two tables.
class CKeyTables {
public:
    // Entries: command identifier × 65536 + key code, in insertion order.
    std::vector<uint32_t> commands;
    bool commandsModified = false;
    std::vector<MacroBinding> macros;
    bool macrosModified = false;

    // Section Global: Command0, Command1, ... until one is missing, empty or
    // reads 0 (numbers read as Settings.h reads them); one that holds no
    // number is skipped. Section Macro: "key,path" entries until one is
    // missing or empty; an entry counts only with a non-zero key and a path.
    void Load(const std::wstring& keyIni);
    // Each replaces its whole section.
    void SaveCommands(const std::wstring& keyIni) const;
    void SaveMacros(const std::wstring& keyIni) const;

    // The first command entry with this key, else 0.
    int CommandFor(uint16_t code) const;
    // The first macro bound to this key, else null.
    const std::wstring* MacroFor(uint16_t code) const;

    enum class Match { kNone, kCommand, kMacro };
    // For WM_KEYDOWN and WM_SYSKEYDOWN of a key other than a modifier: the
    // key code with the modifiers held now, looked up in the command table
    // first, then the macro table.
    Match Find(const MSG& msg, uint16_t modifiers, int* command, const std::wstring** macro) const;
    // The frame's pre-translation: a command is sent as WM_COMMAND
    // (HIWORD 1), a macro as WM_USER+1203 with its path. True when consumed.
    bool Translate(HWND frame, const MSG& msg) const;
};

}  // namespace keys
