#include "SettingsKeys.h"

#include <iterator>

namespace settings {
namespace {

constexpr KeyInfo Bool(File f, const wchar_t* section, const wchar_t* key, bool def, bool shown) {
    KeyInfo k{f, section, key, ValueType::Bool};
    k.def = def;
    k.shown = shown;
    return k;
}
constexpr KeyInfo Bool(File f, const wchar_t* section, const wchar_t* key, bool def) {
    return Bool(f, section, key, def, def);
}

// An integer; outside [min, max] it becomes low or high.
constexpr KeyInfo Int(File f, const wchar_t* section, const wchar_t* key, int def, int min = INT_MIN,
                      int max = INT_MAX, int low = INT_MIN, int high = INT_MAX) {
    KeyInfo k{f, section, key, ValueType::Int};
    k.def = def;
    k.min = min;
    k.max = max;
    k.low = low == INT_MIN ? min : low;
    k.high = high == INT_MAX ? max : high;
    return k;
}
constexpr KeyInfo Indexed(KeyInfo k, int first, int last) {
    k.firstIndex = first;
    k.lastIndex = last;
    return k;
}

constexpr KeyInfo Text(File f, const wchar_t* section, const wchar_t* key, const wchar_t* def = L"") {
    KeyInfo k{f, section, key, ValueType::String};
    k.text = def;
    return k;
}

constexpr File S = File::Setting, H = File::History, K = File::Key, T = File::Tools, Y = File::Syntax;

constexpr KeyInfo kKeys[] = {
    // setting.ini, Setting. A missing MulInst is false at start-up but shown ticked.
    Bool(S, L"Setting", L"MulInst", false, true),
    Text(S, L"Setting", L"Language", L"mui\\en.dll"),
    Text(S, L"Setting", L"WinPos"),
    Bool(S, L"Setting", L"ToolBar", true),
    Bool(S, L"Setting", L"StatusBar", true),
    Bool(S, L"Setting", L"FullScreenDialog", true),
    Int(S, L"Setting", L"DefaultFileFormat", 1, 1, 3, 1, 1),  // CR LF, LF, CR; anything else CR LF
    Int(S, L"Setting", L"DefaultEncoding", 0),
    Int(S, L"Setting", L"AutoDetectBuffer", 4, 4, 4096),  // kilobytes
    Int(S, L"Setting", L"AutoWrapMax", 0),
    Bool(S, L"Setting", L"ExclusiveMode", true),
    // Files changed by other programs: looked for, and a document without
    // changes of its own read again without asking.
    Bool(S, L"Setting", L"DetectChanges", true),
    Bool(S, L"Setting", L"ReloadUnmodified", true),
    // The script engine: the system's when it can be created, else our own;
    // 1 always our own. Anything else reads as 0.
    Int(S, L"Setting", L"ScriptEngine", 0, 0, 1, 0, 0),
    // Fonts: slots 1430..1442 are Font0..Font12.
    Indexed(Text(S, L"Fonts", L"Font#", L"Courier New,8,0,0,0"), 0, 10),
    Indexed(Text(S, L"Fonts", L"Font#", L"Tahoma,8,0,0,0"), 11, 12),
    Int(S, L"Fonts", L"CurrentFont", 0, 0, 9, 0, 0),  // the ten document fonts
    {S, L"Theme", L"Colors", ValueType::Struct},
    {S, L"Theme", L"DarkColors", ValueType::Struct},
    Int(S, L"Theme", L"Scheme", 0, 0, 2, 0, 0),  // follow Windows, light, dark; anything else follows
    Bool(S, L"Edit", L"LineNumber", true),
    Bool(S, L"Edit", L"Ruler", true),
    Bool(S, L"Edit", L"ActiveLine", true),
    Bool(S, L"Edit", L"WhiteSpace", true),
    Bool(S, L"Edit", L"EndOfLine", true),
    Bool(S, L"Edit", L"EndOfFile", true),
    Bool(S, L"Edit", L"ControlChar", true),
    Bool(S, L"Edit", L"IndentLine", true),
    Bool(S, L"Edit", L"AutoComplete", true),
    Bool(S, L"Edit", L"WrapAtWords", true),
    Int(S, L"Edit", L"FoldingMethod", 0),
    Bool(S, L"Tab", L"Bottom", true),
    Bool(S, L"Tab", L"ShowIcon", true),
    Bool(S, L"Tab", L"ShowMark", true),
    Bool(S, L"Tab", L"FixedWidth", true),
    Int(S, L"Tab", L"Style", 0),
    // The find dialog's check boxes: match case 1, whole word 2, regular
    // expression 4, close after find 64, highlight all 128, incremental 256.
    Int(S, L"Find", L"Options", 0, 0, 2047, 0, 0),
    // history.ini: at most 63 recent documents, oldest first.
    Int(H, L"RecentDoc", L"Count", 0, 0, 63),
    Indexed(Text(H, L"RecentDoc", L"Doc#"), 0, 62),
    Indexed(Text(H, L"Find", L"Item#"), 1, 20),
    Indexed(Text(H, L"Replace", L"Item#"), 1, 20),
    Indexed(Text(H, L"GrepFind", L"Item#"), 1, 20),
    Indexed(Text(H, L"GrepFolder", L"Item#"), 1, 20),
    Indexed(Text(H, L"GrepFileType", L"Item#"), 1, 20),
    // key.ini: command entries (identifier × 65536 + key code, "%ld") and
    // macro entries ("key,path"); each list ends at its first missing key.
    Indexed(Int(K, L"Global", L"Command#", 0), 0, INT_MAX),
    Indexed(Text(K, L"Macro", L"Command#"), 0, INT_MAX),
    // tools.ini
    Indexed(Text(T, L"Tool#", L"Title"), 0, INT_MAX),
    Indexed(Text(T, L"Tool#", L"ExePath"), 0, INT_MAX),
    Indexed(Text(T, L"Tool#", L"Args"), 0, INT_MAX),
    Indexed(Text(T, L"Tool#", L"InitDir"), 0, INT_MAX),
    Indexed(Int(T, L"Tool#", L"Flag", 0), 0, INT_MAX),
    // syntax.ini: a tab size below 0 means 4, above 32 means 32.
    Int(Y, L"Syntax", L"Count", 0, 0),
    Indexed(Text(Y, L"Syntax#", L"Title"), 0, INT_MAX),
    Indexed(Text(Y, L"Syntax#", L"File"), 0, INT_MAX),
    Indexed(Text(Y, L"Syntax#", L"Ext"), 0, INT_MAX),
    Indexed(Text(Y, L"Syntax#", L"Template"), 0, INT_MAX),
    Indexed(Int(Y, L"Syntax#", L"Tab", 0, 0, 32, 4, 32), 0, INT_MAX),
};

// A name, or a '#' pattern followed by an index in [first, last] written
// as "%d" writes it (no sign, no leading zeros).
bool NameMatches(std::wstring_view pattern, std::wstring_view name, int first, int last) {
    if (pattern.empty() || pattern.back() != L'#') return pattern == name;
    const std::wstring_view stem = pattern.substr(0, pattern.size() - 1);
    if (name.size() <= stem.size() || name.substr(0, stem.size()) != stem) return false;
    const std::wstring_view digits = name.substr(stem.size());
    if (digits.size() > 10 || (digits.size() > 1 && digits[0] == L'0')) return false;
    long long index = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return false;
        index = index * 10 + (c - L'0');
    }
    return index >= first && index <= last;
}

}  // namespace

std::span<const KeyInfo> Keys() { return kKeys; }

bool Names(const KeyInfo& k, std::wstring_view section, std::wstring_view key) {
    return NameMatches(k.section, section, k.firstIndex, k.lastIndex) &&
           NameMatches(k.key, key, k.firstIndex, k.lastIndex);
}

const KeyInfo* FindKey(File f, std::wstring_view section, std::wstring_view key) {
    for (const KeyInfo& k : kKeys)
        if (k.file == f && Names(k, section, key)) return &k;
    return nullptr;
}

int Clamp(const KeyInfo& k, int value) { return value < k.min ? k.low : value > k.max ? k.high : value; }

int ReadClampedInt(File f, const wchar_t* section, const wchar_t* key, int index) {
    const KeyInfo* k = FindKey(f, section, KeyName(key, index));
    if (!k || k->type != ValueType::Int) return ReadInt(f, section, key, 0, index);
    return Clamp(*k, ReadInt(f, section, key, k->def, index));
}

bool ReadKeyBool(File f, const wchar_t* section, const wchar_t* key, int index) {
    const KeyInfo* k = FindKey(f, section, KeyName(key, index));
    return ReadBool(f, section, key, k && k->type == ValueType::Bool && k->def, index);
}

bool ReadKeyString(File f, const wchar_t* section, const wchar_t* key, std::wstring& out, int index) {
    const KeyInfo* k = FindKey(f, section, KeyName(key, index));
    return ReadString(f, section, key, out, k && k->type == ValueType::String ? k->text : L"", index);
}

void WriteClampedInt(File f, const wchar_t* section, const wchar_t* key, int value, int index) {
    const KeyInfo* k = FindKey(f, section, KeyName(key, index));
    WriteInt(f, section, key, k && k->type == ValueType::Int ? Clamp(*k, value) : value, index);
}

}  // namespace settings
