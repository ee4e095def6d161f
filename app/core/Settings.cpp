#include "Settings.h"

#include <atomic>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <map>
#include <mutex>

#include "DialogIds.h"
#include "Dpi.h"
#include "MessageSink.h"
#include "Owners.h"
#include "Paths.h"
#include "Resources.h"
#include "SettingsKeys.h"

namespace settings {
namespace {

const wchar_t* const kFileNames[] = {L"setting.ini", L"history.ini", L"key.ini", L"tools.ini", L"syntax.ini"};
constexpr size_t kFiles = std::size(kFileNames);

// The folder and the paths in it, set together.
std::mutex g_folderLock;
std::wstring g_folder;  // empty until first asked for or set
std::wstring g_paths[kFiles];

std::wstring ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = 0;
    while ((n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()))) >= path.size() && path.size() < 32768)
        path.resize(path.size() * 2);  // cut off: try a longer buffer
    path.resize(n < path.size() ? n : 0);
    return shell::FolderWithSeparator(path);  // "" when the name has no folder
}

void SetFolderLocked(std::wstring folder) {
    if (folder.empty()) folder = ExecutableFolder();
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    g_folder = folder;
    for (size_t k = 0; k < kFiles; ++k) g_paths[k] = g_folder + kFileNames[k];
}

}  // namespace

void SetProgramFolder(const std::wstring& folder) {
    std::lock_guard<std::mutex> lock(g_folderLock);
    SetFolderLocked(folder);
}

std::wstring ProgramFolder() {
    std::lock_guard<std::mutex> lock(g_folderLock);
    if (g_folder.empty()) SetFolderLocked(L"");
    return g_folder;
}

std::wstring PathOf(File f) {
    std::lock_guard<std::mutex> lock(g_folderLock);
    if (g_folder.empty()) SetFolderLocked(L"");
    return g_paths[size_t(f)];
}

std::wstring KeyName(const wchar_t* key, int index) {
    if (index < 0) return key;
    return std::wstring(key) + std::to_wstring(index);
}

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no sequence cut short.
bool IsUtf8(std::string_view b) {
    size_t i = 0;
    while (i < b.size()) {
        const uint8_t c = uint8_t(b[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len = 0;
        uint8_t lo = 0x80, hi = 0xBF;  // the range of the second byte
        if (c >= 0xC2 && c <= 0xDF) len = 2;
        else if (c >= 0xE0 && c <= 0xEF) len = 3, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        else if (c >= 0xF0 && c <= 0xF4) len = 4, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        else return false;
        if (i + len > b.size()) return false;
        if (uint8_t(b[i + 1]) < lo || uint8_t(b[i + 1]) > hi) return false;
        for (size_t k = 2; k < len; ++k)
            if ((uint8_t(b[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

// The text of a file written without the UTF-16LE mark: UTF-8 (behind its
// own mark or not) when the bytes are valid UTF-8, else the ANSI code page.
// UTF-16 units of the bytes, the high byte first or second.
std::wstring Utf16Units(std::string_view bytes, bool bigEndian) {
    std::wstring text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned lo = uint8_t(bytes[i + (bigEndian ? 1 : 0)]), hi = uint8_t(bytes[i + (bigEndian ? 0 : 1)]);
        text += wchar_t(lo | hi << 8);
    }
    return text;
}

constexpr LONGLONG kMaxConvertedFile = 16 << 20;

bool DecodeUnmarked(std::string_view bytes, std::wstring* text) {
    // UTF-16 big-endian behind its mark; UTF-16 without a mark shows as NUL
    // bytes on one side of its units (INI text is mostly ASCII). Other
    // bytes with NULs are no text: left alone.
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFE && uint8_t(bytes[1]) == 0xFF) {
        if (bytes.size() % 2) return false;
        *text = Utf16Units(bytes.substr(2), true);
        return true;
    }
    if (bytes.find('\0') != std::string_view::npos) {
        size_t even = 0, odd = 0;
        for (size_t i = 0; i < bytes.size(); ++i)
            if (!bytes[i]) ++(i % 2 ? odd : even);
        if (bytes.size() % 2) return false;
        if (odd && even * 8 <= odd) {
            *text = Utf16Units(bytes, false);
            return true;
        }
        if (even && odd * 8 <= even) {
            *text = Utf16Units(bytes, true);
            return true;
        }
        return false;
    }
    UINT codePage = CP_ACP;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (IsUtf8(bytes)) codePage = CP_UTF8;
    text->clear();
    if (bytes.empty()) return true;
    if (bytes.size() > 0x7FFFFFFF) return false;
    const int units = MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    if (units <= 0) return false;
    text->resize(size_t(units));
    return MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), text->data(), units) == units;
}

}  // namespace

namespace {
bool WriteAll(HANDLE h, const void* data, size_t size) {
    DWORD written = 0;
    return size <= MAXDWORD && WriteFile(h, data, DWORD(size), &written, nullptr) && written == size;
}
}  // namespace

namespace {
// Whether the file starts with the UTF-16LE mark; a missing file has none.
// Read with full sharing, so that a check never stands in another's way.
bool HasUnicodeMark(const std::wstring& path, bool* exists) {
    const shell::CUniqueHandle h(CreateFileW(path.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    *exists = h || GetLastError() != ERROR_FILE_NOT_FOUND;
    if (!h) return false;
    unsigned char mark[2] = {};
    DWORD got = 0;
    return ReadFile(h.get(), mark, 2, &got, nullptr) && got == 2 && mark[0] == 0xFF && mark[1] == 0xFE;
}

// Files seen with the mark, by size and time of the last write: reading
// them again needs no look inside while they stay as they were.
struct Seen {
    ULONGLONG size;
    FILETIME written;
};
std::mutex g_seenLock;
std::map<std::wstring, Seen> g_seen;

bool Stamp(const std::wstring& path, Seen* out) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    out->size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    out->written = data.ftLastWriteTime;
    return true;
}

bool SeenUnchanged(const std::wstring& path) {
    Seen now = {};
    if (!Stamp(path, &now)) return false;
    std::lock_guard<std::mutex> hold(g_seenLock);
    const auto it = g_seen.find(path);
    return it != g_seen.end() && it->second.size == now.size &&
           CompareFileTime(&it->second.written, &now.written) == 0;
}

void Remember(const std::wstring& path) {
    Seen now = {};
    if (!Stamp(path, &now)) return;
    std::lock_guard<std::mutex> hold(g_seenLock);
    g_seen[path] = now;
}

}  // namespace

const std::wstring& Readable(const std::wstring& path) {
    if (SeenUnchanged(path)) return path;
    bool exists = false;
    if (HasUnicodeMark(path, &exists))
        Remember(path);
    else if (exists)
        EnsureUnicodeFile(path);
    return path;
}

namespace {

// What the profile functions could read as settings: text without control
// characters other than tabs, line ends and the end-of-file mark of old
// editors.
bool LooksLikeSettings(const std::wstring& text) {
    for (wchar_t c : text)
        if (c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r' && c != 0x1A) return false;
    return true;
}

// Files kept aside whose report is still to be shown: the file, and the
// name it was kept under.
std::mutex g_asideLock;
std::vector<std::pair<std::wstring, std::wstring>> g_asideUntold;

bool SetAside(const std::wstring& path) {
    const std::wstring kept = path + L".bad";
    if (!MoveFileExW(path.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    {
        std::lock_guard<std::mutex> hold(g_asideLock);
        g_asideUntold.emplace_back(path, kept);
    }
    if (!shell::LanguageString(IDS_SETTINGS_SET_ASIDE).empty()) ReportSetAsideFiles();
    return true;
}

}  // namespace

void ReportSetAsideFiles() {
    std::vector<std::pair<std::wstring, std::wstring>> untold;
    {
        std::lock_guard<std::mutex> hold(g_asideLock);
        untold.swap(g_asideUntold);
    }
    for (const auto& [path, kept] : untold) {
        std::wstring text = shell::FormatLanguageString(IDS_SETTINGS_SET_ASIDE, {path, kept});
        if (text.empty())
            text = path + L" could not be read as settings.\n\nIt was kept as " + kept +
                   L", and Morrowpad uses the default settings in its place.";
        shell::ShowMessage(GetActiveWindow(), text.c_str(), MB_OK | MB_ICONWARNING);
    }
}

bool EnsureUnicodeFile(const std::wstring& path) {
    bool exists = false;
    if (HasUnicodeMark(path, &exists)) return true;
    shell::CUniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const HANDLE h = file.get();
    LARGE_INTEGER size = {};
    // A settings file of megabytes is no settings file: left alone.
    if (!GetFileSizeEx(h, &size) || size.QuadPart > kMaxConvertedFile) return false;
    std::string bytes(size_t(size.QuadPart), '\0');
    DWORD got = 0;
    if (!bytes.empty() && !ReadFile(h, bytes.data(), DWORD(bytes.size()), &got, nullptr)) got = 0;
    if (got == bytes.size() && bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE)
        return true;
    std::wstring text;
    if (got != bytes.size()) return false;  // unreadable: left alone
    if (!DecodeUnmarked(bytes, &text) || !LooksLikeSettings(text)) {
        file.reset();  // closed before it is set aside
        return SetAside(path) && EnsureUnicodeFile(path);
    }
    // A new file, or one without the mark: written again as UTF-16LE behind
    // one. A write that fails (a full disk) puts the old bytes back.
    text.insert(text.begin(), wchar_t(0xFEFF));
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    bool ok = WriteAll(h, text.data(), text.size() * sizeof(wchar_t));
    if (!ok) {
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        WriteAll(h, bytes.data(), bytes.size());
    }
    return SetEndOfFile(h) && ok;
}

bool ReadString(File f, const wchar_t* section, const wchar_t* key, std::wstring& out, const wchar_t* def, int index,
                size_t capacity) {
    std::wstring buf(capacity, L'\0');
    const std::wstring name = KeyName(key, index);
    const DWORD n = GetPrivateProfileStringW(section, name.c_str(), def ? def : L"", buf.data(), DWORD(capacity),
                                             Readable(PathOf(f)).c_str());
    out.assign(buf.c_str(), n);
    return !out.empty();
}

void WriteString(File f, const wchar_t* section, const wchar_t* key, const wchar_t* value, int index) {
    const std::wstring path = PathOf(f);
    const std::wstring name = KeyName(key, index);
    if (!EnsureUnicodeFile(path) || !WritePrivateProfileStringW(section, name.c_str(), value, path.c_str()))
        ReportWriteFailure(path);
}

void WriteInt(File f, const wchar_t* section, const wchar_t* key, int value, int index) {
    WriteString(f, section, key, std::to_wstring(value).c_str(), index);
}

void DeleteSection(File f, const wchar_t* section) {
    const std::wstring path = PathOf(f);
    if (!EnsureUnicodeFile(path) || !WritePrivateProfileStringW(section, nullptr, nullptr, path.c_str()))
        ReportWriteFailure(path);
}

bool ReadBool(File f, const wchar_t* section, const wchar_t* key, bool def, int index) {
    wchar_t buf[2] = {};
    GetPrivateProfileStringW(section, KeyName(key, index).c_str(), def ? L"Y" : L"N", buf, 2,
                             Readable(PathOf(f)).c_str());
    switch (buf[0]) {
        case L'0': case L'F': case L'N': case L'f': case L'n': return false;
        case L'1': case L'T': case L'Y': case L't': case L'y': return true;
        default: return def;
    }
}

void WriteBool(File f, const wchar_t* section, const wchar_t* key, bool value, int index) {
    WriteString(f, section, key, value ? L"Y" : L"N", index);
}

bool ParseProfileNumber(std::wstring_view s, int64_t* value, size_t* end) {
    size_t i = 0;
    while (i < s.size() && s[i] <= L' ') ++i;  // as the platform: any control character or blank
    bool negative = false;
    if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) negative = s[i++] == L'-';
    const size_t digits = i;
    int64_t v = 0;
    for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i)
        if ((v = v * 10 + (s[i] - L'0')) > 0xFFFFFFFFll) return false;
    if (i == digits) return false;
    *value = negative ? -v : v;
    if (end) *end = i;
    return true;
}

int ReadInt(File f, const wchar_t* section, const wchar_t* key, int def, int index) {
    std::wstring s;
    if (!ReadString(f, section, key, s, L"", index)) return def;
    int64_t v = 0;
    if (!ParseProfileNumber(s, &v) || v > INT32_MAX || v < INT32_MIN) return def;
    return int(v);
}

std::vector<std::wstring> ReadHistory(File f, const wchar_t* section) {
    std::vector<std::wstring> items;
    for (int i = 1; i <= 20; ++i) {
        std::wstring v;
        const std::wstring name = KeyName(L"Item", i);
        // A sentinel tells a missing key from an empty one.
        ReadString(f, section, name.c_str(), v, L"\x1\x2", -1, 4096);
        if (v == L"\x1\x2") break;
        if (!v.empty() && v[0] == L'#') v.erase(0, 1);
        if (!v.empty()) items.push_back(v);
    }
    return items;
}

// The value is also quoted: the profile functions strip trailing blanks from
// a bare value but keep everything inside quotes (and drop the quotes).
void WriteHistory(File f, const wchar_t* section, const std::vector<std::wstring>& items) {
    DeleteSection(f, section);
    for (size_t i = 0; i < items.size() && i < 20; ++i)
        WriteString(f, section, L"Item", (L"\"#" + items[i] + L"\"").c_str(), int(i) + 1);
}

bool ParseFont(const std::wstring& value, FontSpec* out) {
    // "%[^,],%d,%d,%d,%d": all five fields or nothing.
    const size_t comma = value.find(L',');
    if (comma == std::wstring::npos || comma == 0) return false;
    FontSpec f;
    f.face = value.substr(0, comma);
    int fields[4];
    size_t pos = comma + 1;
    for (int k = 0; k < 4; ++k) {
        size_t end = value.find(L',', pos);
        if (k < 3 && end == std::wstring::npos) return false;
        const std::wstring part = value.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
        long long v = 0;
        // Like %d: leading digits count, the rest of the field is ignored.
        size_t i = 0;
        while (i < part.size() && std::iswspace(part[i])) ++i;
        bool neg = false;
        if (i < part.size() && (part[i] == L'-' || part[i] == L'+')) neg = part[i++] == L'-';
        const size_t start = i;
        while (i < part.size() && part[i] >= L'0' && part[i] <= L'9' && v < 100000000) v = v * 10 + (part[i++] - L'0');
        if (i == start) return false;
        fields[k] = int(neg ? -v : v);
        pos = end == std::wstring::npos ? value.size() : end + 1;
    }
    f.size = fields[0];
    f.bold = fields[1];
    f.charset = fields[2];
    f.quality = fields[3];
    *out = f;
    return true;
}

std::wstring FormatFont(const FontSpec& f) {
    return f.face + L"," + std::to_wstring(f.size) + L"," + std::to_wstring(f.bold) + L"," +
           std::to_wstring(f.charset) + L"," + std::to_wstring(f.quality);
}

FontSpec ReadFontSlot(int slot) {
    FontSpec f;
    if (slot < kFontSlotFirst || slot > kFontSlotLast) slot = kFontSlotFirst;
    std::wstring v;
    if (ReadString(File::Setting, L"Fonts", L"Font", v, L"", slot - kFontSlotFirst) && ParseFont(v, &f)) return f;
    ParseFont(FindKey(File::Setting, L"Fonts", KeyName(L"Font", slot - kFontSlotFirst))->text, &f);
    return f;
}

void WriteFontSlot(int slot, const FontSpec& f) {
    if (slot < kFontSlotFirst || slot > kFontSlotLast) return;
    WriteString(File::Setting, L"Fonts", L"Font", FormatFont(f).c_str(), slot - kFontSlotFirst);
}

HFONT CreateSlotFont(int slot, HWND window) {
    const LOGFONTW lf = ToLogFont(ReadFontSlot(slot), dpi::Of(window));
    return CreateFontIndirectW(&lf);
}

LOGFONTW ToLogFont(const FontSpec& f, int ppi) {
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(f.size, ppi, 72);
    lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = BYTE(f.charset);
    lf.lfQuality = BYTE(f.quality);
    lstrcpynW(lf.lfFaceName, f.face.c_str(), LF_FACESIZE);
    return lf;
}

FontSpec FromLogFont(const LOGFONTW& lf, int ppi) {
    FontSpec f;
    f.face = lf.lfFaceName;
    f.size = MulDiv(-lf.lfHeight, 72, ppi);
    f.bold = lf.lfWeight == FW_BOLD ? 1 : 0;
    f.charset = lf.lfCharSet;
    f.quality = lf.lfQuality;
    return f;
}

const wchar_t* QualityName(int q) {
    static const wchar_t* const names[] = {L"Default", L"Draft", L"Proof", L"Nonantialiased", L"Antialiased",
                                           L"Cleartype", L"Cleartype Natural"};
    return q >= 0 && q <= 6 ? names[q] : L"";
}

const std::vector<CharsetEntry>& Charsets() {
    static const std::vector<CharsetEntry> list = {
        {L"ANSI", 0},     {L"Default", 1},     {L"Symbol", 2},   {L"ShiftJIS", 128},    {L"Hangeul", 129},
        {L"GB2312", 134}, {L"Big5", 136},      {L"OEM", 255},    {L"Johab", 130},       {L"Hebrew", 177},
        {L"Arabic", 178}, {L"Greek", 161},     {L"Turkish", 162}, {L"Vietnamese", 163}, {L"THAI", 222},
        {L"EastEurope", 238}, {L"Russian", 204}, {L"MAC", 77},   {L"Baltic", 186}};
    return list;
}

const wchar_t* CharsetName(int charset) {
    for (const auto& e : Charsets())
        if (e.charset == charset) return e.name;
    return L"";
}

bool ReadColors(COLORREF out[80]) {
    COLORREF table[80];
    if (!GetPrivateProfileStructW(L"Theme", L"Colors", table, sizeof table, Readable(PathOf(File::Setting)).c_str()))
        return false;
    std::copy(table, table + 80, out);
    return true;
}

namespace {
std::atomic<bool> g_writeFailureReported{false};
}  // namespace

void ReportWriteFailure(const std::wstring& path) {
    if (g_writeFailureReported.exchange(true)) return;
    std::wstring folder = shell::FolderWithSeparator(path);
    if (folder.size() > 1) folder.pop_back();  // "C:\\Tools\\Morrowpad", not "...Morrowpad\\."
    std::wstring text = shell::FormatLanguageString(IDS_SETTINGS_NOT_SAVED, {folder});
    if (text.empty()) text = L"Morrowpad cannot save its settings in " + folder + L".";
    shell::ShowMessage(GetActiveWindow(), text.c_str(), MB_OK | MB_ICONWARNING);
}

void ResetWriteFailureReport() { g_writeFailureReported = false; }

}  // namespace settings
