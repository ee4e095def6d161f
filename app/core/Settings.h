// The settings files: four INI files in the program folder, read and written
// key by key through the private-profile functions. There is no settings
// object in memory: a reader asks the file when it needs a value.
//
// Every settings file is UTF-16LE with a byte-order mark, so that text
// outside the ANSI code page survives; a missing file is created that way
// before the first write, and a file without the mark is converted first
// (from UTF-8 when it is valid UTF-8, else from the ANSI code page). Values
// that do not parse read as the caller's default and are never written back.
//
// The program folder and the paths in it may be asked for from any thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

// The four settings files and the syntax list.
enum class File { Setting, History, Key, Tools, Syntax };

// The program folder, with its trailing backslash: every data file name is
// appended to it as it is. The folder of the executable unless set (tests);
// setting "" goes back to the executable's folder.
void SetProgramFolder(const std::wstring& folder);
std::wstring ProgramFolder();
// Program folder + file name, computed once for each folder.
std::wstring PathOf(File f);

// Indexed keys: name + decimal index ("Font3"); index -1 is the bare name.
std::wstring KeyName(const wchar_t* key, int index);

// "Y"/"N" booleans: the first character decides (0 F N f n false, 1 T Y t y
// true); anything else, or a missing key, gives the default.
bool ReadBool(File f, const wchar_t* section, const wchar_t* key, bool def, int index = -1);
void WriteBool(File f, const wchar_t* section, const wchar_t* key, bool value, int index = -1);
// Integers are read as the profile functions read them: leading blanks, an
// optional sign and the leading decimal digits; whatever follows is ignored
// ("12abc" and "8 ; note" read 12 and 8, "0x10" reads 0). A value without
// digits (empty, "abc", "-"), or one that needs more than 32 bits, gives no
// number: false. `end` receives the position after the digits.
bool ParseProfileNumber(std::wstring_view text, int64_t* value, size_t* end = nullptr);
// The default when the key is missing, holds no number or one outside int.
int ReadInt(File f, const wchar_t* section, const wchar_t* key, int def, int index = -1);
// True when the value is non-empty; a missing key gives the default.
bool ReadString(File f, const wchar_t* section, const wchar_t* key, std::wstring& out, const wchar_t* def = L"",
                int index = -1, size_t capacity = 1024);
void WriteString(File f, const wchar_t* section, const wchar_t* key, const wchar_t* value, int index = -1);
void WriteInt(File f, const wchar_t* section, const wchar_t* key, int value, int index = -1);
void DeleteSection(File f, const wchar_t* section);

// A write that fails (a program folder or file that cannot be written, a
// full disk) changes nothing, but the first one in the process tells the
// user through shell::ShowMessage that settings cannot be saved, naming the
// folder; later failures stay quiet. Every write above reports through it,
// and so does any other code that writes a settings file itself.
void ReportWriteFailure(const std::wstring& path);
// Reports the next failure again (tests).
void ResetWriteFailureReport();

// A settings file that holds no settings (random bytes, a binary saved over
// it: bytes that do not decode, or text with control characters) is kept as
// <name>.bad beside it, replacing an older one, and a new empty file takes
// its place, so that reads give the defaults and writes succeed. The user is
// told once for each file kept aside: at once when the language library has
// the text, else when ReportSetAsideFiles is called.
void ReportSetAsideFiles();

// History lists: Item1..Item20, each written with a leading "#" (and in
// quotes) so that leading and trailing blanks survive; one leading "#" is
// removed on reading, empty values are skipped, reading stops at the first
// missing key.
std::vector<std::wstring> ReadHistory(File f, const wchar_t* section);
void WriteHistory(File f, const wchar_t* section, const std::vector<std::wstring>& items);

// Fonts as stored: "face,size,bold,charset,quality".
struct FontSpec {
    std::wstring face;
    int size = 8;       // points
    int bold = 0;       // 1 when the weight is 700
    int charset = 0;
    int quality = 0;    // 0..6
};
bool ParseFont(const std::wstring& value, FontSpec* out);
std::wstring FormatFont(const FontSpec& f);
constexpr int kFontSlotFirst = 1430, kFontSlotLast = 1442;
// The font of a slot (1430..1442): Font0..Font12 in section Fonts, or the
// slot's default when missing or malformed.
FontSpec ReadFontSlot(int slot);
void WriteFontSlot(int slot, const FontSpec& f);
LOGFONTW ToLogFont(const FontSpec& f, int pixelsPerInch);
// A new font of a slot at the resolution of `window`'s monitor (Dpi.h; null:
// the screen's). The caller deletes it; null on failure.
HFONT CreateSlotFont(int slot, HWND window = nullptr);
FontSpec FromLogFont(const LOGFONTW& lf, int pixelsPerInch);
// Names shown for output qualities (0..6) and character sets.
const wchar_t* QualityName(int quality);
const wchar_t* CharsetName(int charset);
struct CharsetEntry {
    const wchar_t* name;
    int charset;
};
const std::vector<CharsetEntry>& Charsets();  // in display order

// The 80-entry colour table of section Theme, key Colors (320 bytes in the
// struct form with a checksum); false when missing or damaged.
bool ReadColors(COLORREF out[80]);

// Makes the file UTF-16LE with a byte-order mark (creating or converting
// it); false when it cannot. A file that cannot be read, converted or
// written again is left as it was, and the writes above then write nothing
// (a failed write is ignored, but never half done).
bool EnsureUnicodeFile(const std::wstring& path);
// Before the profile functions read a file, one without the mark is made
// Unicode: read as it is, a hand-written UTF-8 file would read as ANSI, and
// writing back what was read would keep the damage. A missing file stays
// missing. Returns the path.
const std::wstring& Readable(const std::wstring& path);

}  // namespace settings
