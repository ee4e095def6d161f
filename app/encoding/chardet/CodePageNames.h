// The character-set names the detector reports and their Windows code pages,
// searched in this order; a name matches an entry that begins with it,
// ignoring ASCII case ("UTF-16" gives 1200, "utf-8" 65001).
#pragma once

namespace chardet {

struct CodePageName {
    const char* name;
    int codePage;
};

inline constexpr CodePageName kCodePageNames[] = {
    {"Shift_JIS", 932}, {"Big5", 950}, {"UTF-16LE", 1200}, {"UTF-16BE", 1201}, {"windows-1251", 1251},
    {"windows-1252", 1252}, {"windows-1253", 1253}, {"windows-1255", 1255}, {"x-mac-cyrillic", 10007},
    {"X-ISO-10646-UCS-4-2143", 12000}, {"UTF-32LE", 12000}, {"X-ISO-10646-UCS-4-3412", 12001},
    {"UTF-32BE", 12001}, {"KOI8-R", 20866}, {"ISO-8859-5", 28595}, {"ISO-8859-6", 28596},
    {"ISO-8859-7", 28597}, {"ISO-8859-8", 28598}, {"ISO-2022-JP", 50222}, {"ISO-2022-KR", 50225},
    {"ISO-2022-CN", 50227}, {"EUC-JP", 51932}, {"x-euc-tw", 51936}, {"EUC-KR", 51949},
    {"HZ-GB-2312", 52936}, {"gb18030", 936}, {"UTF-8", 65001}};

// 0 for an empty name or one that no entry begins with.
inline int CodePageOfName(const char* name) {
    if (!name || !*name) return 0;
    int n = 0;
    while (name[n]) ++n;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    for (const CodePageName& e : kCodePageNames) {
        int k = 0;
        while (k < n && e.name[k] && lower(e.name[k]) == lower(name[k])) ++k;
        if (k == n) return e.codePage;
    }
    return 0;
}

}  // namespace chardet
