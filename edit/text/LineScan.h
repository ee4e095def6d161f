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

inline uint32_t LoadUnit(const unsigned char* p, int width) {
    uint32_t u = 0;
    std::memcpy(&u, p, size_t(width));
    return u;
}

// Bit masks of the CR and the LF units in the 64 bytes at p: for a unit of
// w bytes all w bits of a matching unit are set.
inline void BreakMasks(const unsigned char* p, int width, __m128i cr, __m128i lf, uint64_t* crMask,
                       uint64_t* lfMask) {
    uint64_t c = 0, l = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
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
        c |= uint64_t(uint32_t(_mm_movemask_epi8(a))) << (16 * k);
        l |= uint64_t(uint32_t(_mm_movemask_epi8(b))) << (16 * k);
    }
    *crMask = c;
    *lfMask = l;
}

inline __m128i SetUnit(uint32_t u, int width) {
    return width == 1 ? _mm_set1_epi8(char(u)) : width == 2 ? _mm_set1_epi16(short(u)) : _mm_set1_epi32(int(u));
}

inline __m128i CmpUnits(__m128i x, __m128i y, int width) {
    return width == 1 ? _mm_cmpeq_epi8(x, y) : width == 2 ? _mm_cmpeq_epi16(x, y) : _mm_cmpeq_epi32(x, y);
}

// The number of lines, counted without visiting them: every CR and every LF
// ends a line, except an LF right after a CR. Matches are summed in byte
// lanes (a matching unit adds `width` to its lanes) and folded into the total
// before a lane can overflow.
inline int64_t CountLines(const unsigned char* data, int64_t size, int64_t start, int width, uint32_t crUnit,
                          uint32_t lfUnit) {
    const __m128i cr = SetUnit(crUnit, width), lf = SetUnit(lfUnit, width);
    const int64_t end = start + (size - start) / width * width;
    int64_t breaks = 0, pairs = 0;  // both counted in bytes of matching units
    int64_t q = start;
    // Blocks whose following unit can also be loaded, for the CR LF test.
    while (q + 16 + width <= end) {
        __m128i accB = _mm_setzero_si128(), accP = _mm_setzero_si128();
        for (int k = 0; k < 255 && q + 16 + width <= end; ++k, q += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + q));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + q + width));
            const __m128i isCr = CmpUnits(x, cr, width);
            const __m128i b = _mm_or_si128(isCr, CmpUnits(x, lf, width));
            const __m128i p = _mm_and_si128(isCr, CmpUnits(next, lf, width));
            accB = _mm_sub_epi8(accB, b);
            accP = _mm_sub_epi8(accP, p);
        }
        const __m128i zero = _mm_setzero_si128();
        const __m128i sb = _mm_sad_epu8(accB, zero), sp = _mm_sad_epu8(accP, zero);
        breaks += _mm_cvtsi128_si32(sb) + _mm_cvtsi128_si32(_mm_srli_si128(sb, 8));
        pairs += _mm_cvtsi128_si32(sp) + _mm_cvtsi128_si32(_mm_srli_si128(sp, 8));
    }
    breaks /= width;
    pairs /= width;
    for (; q + width <= end; q += width) {
        const uint32_t u = LoadUnit(data + q, width);
        if (u == crUnit || u == lfUnit) ++breaks;
        if (u == crUnit && q + 2 * width <= end && LoadUnit(data + q + width, width) == lfUnit) ++pairs;
    }
    return breaks - pairs + 1;
}

// Calls onLine(offset, length) for every line, in order, and returns the
// number of lines (at least 1).
template <typename OnLine>
int64_t ForEachLine(const unsigned char* data, int64_t size, int64_t start, int width, uint32_t crUnit,
                    uint32_t lfUnit, OnLine&& onLine) {
    const __m128i cr = SetUnit(crUnit, width), lf = SetUnit(lfUnit, width);
    // Whole units only: a trailing partial unit belongs to the last line.
    const int64_t end = start + (size - start) / width * width;
    int64_t lines = 0;
    int64_t lineStart = start;
    int64_t q = start;
    const uint64_t unitBits = (1ull << width) - 1;
    bool skipFirstLf = false;  // the block before ended with a CR
    for (; q + 64 <= end; q += 64) {
        uint64_t crMask, lfMask;
        BreakMasks(data + q, width, cr, lf, &crMask, &lfMask);
        // An LF right after a CR only completes the CR's line break.
        uint64_t ends = crMask | (lfMask & ~(crMask << width));
        if (skipFirstLf && (lfMask & 1)) {
            ends &= ~unitBits;
            lineStart = q + width;
        }
        skipFirstLf = false;
        while (ends) {
            const int bit = __builtin_ctzll(ends);
            onLine(lineStart, q + bit - lineStart);
            ++lines;
            lineStart = q + bit + width;
            if ((crMask >> bit) & 1) {
                if (bit + width < 64) {
                    if ((lfMask >> (bit + width)) & 1) lineStart += width;
                } else {
                    skipFirstLf = true;
                }
            }
            ends &= ~(unitBits << bit);
        }
    }
    for (; q + width <= end; q += width) {
        const uint32_t u = LoadUnit(data + q, width);
        if (skipFirstLf) {
            skipFirstLf = false;
            if (u == lfUnit) {
                lineStart = q + width;
                continue;
            }
        }
        if (u == crUnit || u == lfUnit) {
            onLine(lineStart, q - lineStart);
            ++lines;
            lineStart = q + width;
            skipFirstLf = u == crUnit;
        }
    }
    onLine(lineStart, size - lineStart);
    return lines + 1;
}

// Cuts the scan into at most `parts` pieces that can be scanned on their own:
// every piece but the first begins right after an LF unit, which always ends
// a line (alone or as the end of a CR LF). Writes the piece boundaries to
// bounds[0..n] (bounds[0] = start, bounds[n] = size) and returns n, at least
// 1. Scanning a piece that is not the last yields one extra empty line at its
// end; CountLines and ForEachLine over [bounds[k], bounds[k+1]) are otherwise
// exactly the lines of the whole.
inline int SplitAtBreaks(const unsigned char* data, int64_t size, int64_t start, int width, uint32_t lfUnit,
                         int parts, int64_t* bounds) {
    const int64_t end = start + (size - start) / width * width;
    const int64_t units = (end - start) / width;
    const __m128i lf = SetUnit(lfUnit, width);
    int n = 0;
    bounds[0] = start;
    for (int k = 1; k < parts; ++k) {
        int64_t q = start + units * k / parts * width;
        if (q <= bounds[n]) q = bounds[n];
        // The first LF at or after q.
        int64_t found = -1;
        for (; q + 16 <= end && found < 0; q += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + q));
            const unsigned mask = unsigned(_mm_movemask_epi8(CmpUnits(x, lf, width)));
            if (mask) found = q + __builtin_ctz(mask);
        }
        for (; q + width <= end && found < 0; q += width)
            if (LoadUnit(data + q, width) == lfUnit) found = q;
        if (found < 0 || found + width >= end) break;  // no break left to cut at
        bounds[++n] = found + width;
    }
    bounds[++n] = size;
    return n;
}

}  // namespace linescan
