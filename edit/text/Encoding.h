// Conversions between a file's code page and UTF-16.
#pragma once

#include <cstdint>

namespace encoding {

constexpr int kUtf16LE = 1200;
constexpr int kUtf16BE = 1201;
constexpr int kUtf32LE = 12000;
constexpr int kUtf32BE = 12001;
constexpr int kUtf8 = 65001;

// Bytes per code unit of the code page: 2 for UTF-16, 4 for UTF-32, else 1.
inline int UnitWidth(int codePage) {
    return codePage == kUtf16LE || codePage == kUtf16BE ? 2
         : codePage == kUtf32LE || codePage == kUtf32BE ? 4 : 1;
}

// Whether every byte below 0x80 stands for the ASCII character of that value
// in the code page, so that text made of such bytes converts by copying.
bool AsciiCompatible(int codePage);
// Whether all `n` bytes are below 0x80.
bool IsAscii(const void* data, size_t n);

// Decodes `n` bytes into UTF-16. With a null `dst` returns the units needed;
// otherwise writes at most `cap` units and returns the count written.
// Undecodable bytes become U+FFFD; a trailing partial unit is dropped. The
// bytes of a code page that nothing converts read as Latin-1. -1, with the
// last error set, when the conversion fails (out of memory, `cap` too small):
// such a result must never pass for the text.
int ToUtf16(int codePage, const void* src, int n, wchar_t* dst, int cap);

// Encodes UTF-16 into the code page, with the same null-`dst` convention.
// Unpaired surrogates in UTF-32 targets become U+FFFD. 0 when the result
// would be more bytes than an int counts.
int FromUtf16(int codePage, const wchar_t* src, int n, char* dst, int cap);

}  // namespace encoding
