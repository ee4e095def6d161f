#include "Encoding.h"

#include <windows.h>
#include <emmintrin.h>

#include <cstring>

#include "CodePages.h"

namespace encoding {
namespace {

uint32_t Load32(const unsigned char* p, bool big) {
    return big ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
               : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}

int Utf32ToUtf16(const unsigned char* s, int n, bool big, wchar_t* dst, int cap) {
    int out = 0;
    for (int i = 0; i + 4 <= n; i += 4) {
        uint32_t c = Load32(s + i, big);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        const int need = c >= 0x10000 ? 2 : 1;
        if (dst) {
            if (out + need > cap) break;
            if (need == 2) {
                c -= 0x10000;
                dst[out] = wchar_t(0xD800 + (c >> 10));
                dst[out + 1] = wchar_t(0xDC00 + (c & 0x3FF));
            } else {
                dst[out] = wchar_t(c);
            }
        }
        out += need;
    }
    return out;
}

int Utf16ToUtf32(const wchar_t* s, int n, bool big, char* dst, int cap) {
    int out = 0;
    for (int i = 0; i < n; ++i) {
        uint32_t c = uint16_t(s[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && uint16_t(s[i + 1]) >= 0xDC00 &&
            uint16_t(s[i + 1]) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint16_t(s[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (dst) {
            if (out + 4 > cap) break;
            unsigned char* d = reinterpret_cast<unsigned char*>(dst + out);
            for (int k = 0; k < 4; ++k) d[big ? 3 - k : k] = uint8_t(c >> (8 * k));
        }
        out += 4;
    }
    return out;
}

}  // namespace

bool AsciiCompatible(int cp) {
    if (cp == 0 || cp == kUtf8 || cp == 874 || cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 1361)
        return true;
    if (cp >= 1250 && cp <= 1258) return true;
    if (cp == 437 || cp == 737 || cp == 775 || cp == 850 || cp == 852 || cp == 855 || cp == 857 ||
        cp == 858 || (cp >= 860 && cp <= 866) || cp == 869)
        return true;
    if ((cp >= 28591 && cp <= 28606) || cp == 20127 || cp == 20866 || cp == 21866) return true;
    return cp == 51932 || cp == 51936 || cp == 51949 || cp == 54936;
}

bool IsAscii(const void* data, size_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    __m128i acc = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 16 <= n; i += 16) acc = _mm_or_si128(acc, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    unsigned char tail = 0;
    for (; i < n; ++i) tail |= p[i];
    return _mm_movemask_epi8(acc) == 0 && tail < 0x80;
}

int ToUtf16(int codePage, const void* src, int n, wchar_t* dst, int cap) {
    if (n <= 0) return 0;
    const unsigned char* s = static_cast<const unsigned char*>(src);
    switch (codePage) {
        case kUtf16LE:
        case kUtf16BE: {
            int units = n / 2;
            if (!dst) return units;
            if (units > cap) units = cap;
            for (int i = 0; i < units; ++i) {
                const unsigned char* p = s + 2 * i;
                dst[i] = codePage == kUtf16LE ? wchar_t(p[0] | p[1] << 8) : wchar_t(p[1] | p[0] << 8);
            }
            return units;
        }
        case kUtf32LE:
        case kUtf32BE:
            return Utf32ToUtf16(s, n, codePage == kUtf32BE, dst, cap);
        default: {
            // The system's conversion, or ours where it refuses the code page.
            SetLastError(ERROR_SUCCESS);
            const int r = codepage::ToWide(codePage, reinterpret_cast<const char*>(s), n, dst, cap);
            if (r > 0) return r;
            const DWORD err = GetLastError();
            if (err == ERROR_SUCCESS) return 0;  // ISO-2022 escape sequences only
            if (!codepage::HasOwnConversion(codePage) && !codepage::SystemConverts(codePage)) {
                // A code page nobody converts: the bytes as Latin-1 rather than nothing.
                if (!dst) return n;
                const int m = n < cap ? n : cap;
                for (int i = 0; i < m; ++i) dst[i] = wchar_t(s[i]);
                return m;
            }
            SetLastError(err);  // the conversion failed: never passed off as text
            return -1;
        }
    }
}

int FromUtf16(int codePage, const wchar_t* src, int n, char* dst, int cap) {
    if (n <= 0) return 0;
    switch (codePage) {
        case kUtf16LE:
        case kUtf16BE: {
            if (n > INT32_MAX / 2) return 0;  // more bytes than an int counts
            if (!dst) return 2 * n;
            int units = n < cap / 2 ? n : cap / 2;
            for (int i = 0; i < units; ++i) {
                const uint16_t c = uint16_t(src[i]);
                unsigned char* d = reinterpret_cast<unsigned char*>(dst + 2 * i);
                d[codePage == kUtf16LE ? 0 : 1] = uint8_t(c);
                d[codePage == kUtf16LE ? 1 : 0] = uint8_t(c >> 8);
            }
            return 2 * units;
        }
        case kUtf32LE:
        case kUtf32BE:
            if (n > INT32_MAX / 4) return 0;
            return Utf16ToUtf32(src, n, codePage == kUtf32BE, dst, cap);
        default:
            return codepage::FromWide(codePage, src, n, dst, cap);
    }
}

}  // namespace encoding
