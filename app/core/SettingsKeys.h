// The settings keys that have a default or a range, in one table that the
// readers and the options pages share, so that a default or a limit is
// written down once.
//
// A name ending in '#' stands for that name followed by a decimal index from
// the entry's first to its last index: "Font#" with 0..10 is Font0 to Font10,
// "Syntax#" the sections Syntax0, Syntax1, ... An integer outside [min, max]
// becomes `low` (below min) or `high` (above max); both lie in the range.
// Values that do not parse read as the default (Settings.h) and are never
// written back repaired.
#pragma once

#include <climits>
#include <span>
#include <string>
#include <string_view>

#include "Settings.h"

namespace settings {

enum class ValueType { Bool, Int, String, Struct };

struct KeyInfo {
    File file;
    const wchar_t* section;
    const wchar_t* key;
    ValueType type;
    int def = 0;                // Bool (0 or 1) and Int
    const wchar_t* text = L"";  // String
    int min = INT_MIN, max = INT_MAX;
    int low = INT_MIN, high = INT_MAX;
    int firstIndex = 0, lastIndex = 0;
    bool shown = false;  // Bool: how an options page shows the key when it is missing
};

std::span<const KeyInfo> Keys();
// Whether the entry stands for this section and key name.
bool Names(const KeyInfo& k, std::wstring_view section, std::wstring_view key);
// The entry for a section and key of a file; null when the table has none.
const KeyInfo* FindKey(File f, std::wstring_view section, std::wstring_view key);

// The value kept within the entry's range.
int Clamp(const KeyInfo& k, int value);

// Reads through the table: the entry's default when the key is missing or
// does not parse, an integer kept within its range. `index` makes an indexed
// key name as KeyName does. A name the table does not hold reads as a plain
// value with the default 0, false or "".
int ReadClampedInt(File f, const wchar_t* section, const wchar_t* key, int index = -1);
bool ReadKeyBool(File f, const wchar_t* section, const wchar_t* key, int index = -1);
bool ReadKeyString(File f, const wchar_t* section, const wchar_t* key, std::wstring& out, int index = -1);
// What an options page writes: the value kept within its range.
void WriteClampedInt(File f, const wchar_t* section, const wchar_t* key, int value, int index = -1);

}  // namespace settings
