// The line scan of a file image: finds every line of `size` bytes at `data`,
// starting behind a byte-order mark of `start` bytes, in units of `width`
// bytes (1, 2 or 4). A unit equal to CR or LF ends a line; CR directly
// followed by LF is one terminator. The last line runs to the end of the data,
// so an empty image, and one that ends with a line break, end with an empty
// line. Units are compared as little-endian loads: big-endian files pass
// their CR and LF byte-swapped.
//
// The search runs sixteen bytes at a time with SSE2; breaks are frequent in
// text, so each block yields a bit mask of break units that is walked bit by
// bit rather than searched again.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace linescan {

inline int Ctz(uint32_t m) { return __builtin_ctz(m); }

inline uint32_t LoadUnit(const unsigned char* p, int width) {
    uint32_t u = 0;
    std::memcpy(&u, p, size_t(width));
    return u;
}

// Bit mask of the break units in the 16 bytes at p: for a unit of w bytes
// all w bits of a matching unit are set.
inline uint32_t BreakMask(const unsigned char* p, int width, __m128i cr, __m128i lf) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i a, b;
    if (width == 1) {
        a = _mm_cmpeq_epi8(x, cr);
        b = _mm_cmpeq_epi8(x, lf);
    } else if (width == 2) {
        a = _mm_cmpeq_epi16(x, cr);
        b = _mm_cmpeq_epi16(x, lf);
    } else {
        a = _mm_cmpeq_epi32(x, cr);
        b = _mm_cmpeq_epi32(x, lf);
    }
    return uint32_t(_mm_movemask_epi8(_mm_or_si128(a, b)));
}

// Calls onLine(offset, length) for every line, in order, and returns the
// number of lines (at least 1).
template <typename OnLine>
int64_t ForEachLine(const unsigned char* data, int64_t size, int64_t start, int width, uint32_t crUnit,
                    uint32_t lfUnit, OnLine&& onLine) {
    __m128i cr, lf;
    if (width == 1) {
        cr = _mm_set1_epi8(char(crUnit));
        lf = _mm_set1_epi8(char(lfUnit));
    } else if (width == 2) {
        cr = _mm_set1_epi16(short(crUnit));
        lf = _mm_set1_epi16(short(lfUnit));
    } else {
        cr = _mm_set1_epi32(int(crUnit));
        lf = _mm_set1_epi32(int(lfUnit));
    }
    int64_t lines = 0;
    int64_t lineStart = start;
    int64_t skipAt = -1;  // where an LF completes the CR LF just seen
    auto onBreak = [&](int64_t q) {
        const uint32_t u = LoadUnit(data + q, width);
        if (q == skipAt && u == lfUnit) {
            lineStart = q + width;
            skipAt = -1;
            return;
        }
        onLine(lineStart, int64_t(q - lineStart));
        ++lines;
        lineStart = q + width;
        skipAt = u == crUnit ? q + width : -1;
    };
    // Whole units only: a trailing partial unit belongs to the last line.
    const int64_t end = start + (size - start) / width * width;
    int64_t q = start;
    for (; q + 16 <= end; q += 16) {
        uint32_t m = BreakMask(data + q, width, cr, lf);
        while (m) {
            const int bit = Ctz(m);
            onBreak(q + bit);
            m &= ~(((1u << width) - 1) << bit);
        }
    }
    for (; q + width <= end; q += width) {
        const uint32_t u = LoadUnit(data + q, width);
        if (u == crUnit || u == lfUnit) onBreak(q);
    }
    onLine(lineStart, int64_t(size - lineStart));
    return lines + 1;
}

}  // namespace linescan
