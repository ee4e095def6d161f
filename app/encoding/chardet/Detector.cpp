#include "Detector.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace chardet {
namespace {

struct SingleByteModel {
    const char* name;
    int16_t uni[128];     // log-probability of bytes 0x80..0xFF, × 256
    uint8_t rank[128];    // rank among the 63 most frequent high bytes, 63 = other
    int16_t bi[64 * 64];  // log-probability of a pair of ranks, × 256
};

struct MultiByteModel {
    const char* name;
    int count;
    uint16_t codes[1536];  // the most frequent two-byte codes, most frequent first
};

#include "Models.inc"

constexpr size_t kMaxInput = 1 << 20;
// Scores need no more than this much text; validity and byte counts still
// look at the whole sample.
constexpr size_t kScoreBytes = 4096;

// UTF-8 --------------------------------------------------------------------------

// True when the bytes are valid UTF-8 (a sequence cut by the end of the
// sample counts as valid); `multi` counts multi-byte characters.
bool ValidUtf8(const uint8_t* p, size_t n, size_t* multi) {
    size_t i = 0;
    *multi = 0;
    while (i < n) {
        // Skip ASCII eight bytes at a time.
        while (i + 8 <= n) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (w & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= n) break;
        const uint8_t b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int len;
        uint32_t min;
        if (b >= 0xC2 && b <= 0xDF) len = 2, min = 0x80;
        else if (b >= 0xE0 && b <= 0xEF) len = 3, min = 0x800;
        else if (b >= 0xF0 && b <= 0xF4) len = 4, min = 0x10000;
        else return false;
        if (i + size_t(len) > n) return *multi > 0;  // cut at the end of the sample
        uint32_t c = b & (0xFF >> (len + 1));
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        ++*multi;
        i += size_t(len);
    }
    return true;
}

// UTF-16 and UTF-32 ------------------------------------------------------------------

// How plausible a code unit is as text: letters and punctuation of the
// common scripts, CJK, Hangul, kana; not private use, unpaired surrogates or
// C0 controls other than tab, CR and LF.
bool PlausibleUnit(uint32_t u) {
    if (u == 9 || u == 10 || u == 13) return true;
    if (u < 0x20) return false;
    if (u < 0x250) return u < 0x7F || u >= 0xA0;          // Latin
    if (u >= 0x370 && u < 0x530) return true;              // Greek, Cyrillic
    if (u >= 0x590 && u < 0x700) return true;              // Hebrew, Arabic
    if (u >= 0x900 && u < 0xE80) return true;              // Indic, Thai, Lao
    if (u >= 0x2000 && u < 0x2070) return true;            // punctuation
    if (u >= 0x3000 && u < 0x3100) return true;            // CJK punctuation, kana
    if (u >= 0x4E00 && u < 0x9FB0) return true;            // CJK ideographs
    if (u >= 0xAC00 && u < 0xD7A4) return true;            // Hangul
    if (u >= 0xFF00 && u < 0xFFF0) return true;            // full width forms
    return false;
}

// The share of plausible units when the bytes are read as UTF-16 in the
// given order (1 little-endian, 0 big-endian).
double Utf16Plausibility(const uint8_t* p, size_t n, bool little) {
    size_t good = 0, units = n / 2;
    if (units == 0) return 0;
    for (size_t i = 0; i + 1 < n; i += 2) {
        const uint32_t u = little ? (p[i] | p[i + 1] << 8) : (p[i] << 8 | p[i + 1]);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < n) {  // a surrogate pair
            const uint32_t v = little ? (p[i + 2] | p[i + 3] << 8) : (p[i + 2] << 8 | p[i + 3]);
            if (v >= 0xDC00 && v < 0xE000) {
                good += 2;
                i += 2;
                continue;
            }
        }
        good += PlausibleUnit(u);
    }
    return double(good) / double(units);
}

std::string DetectByZeros(const uint8_t* p, size_t n) {
    if (n < 4) return {};
    size_t zeros[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < n; ++i)
        if (p[i] == 0) ++zeros[i & 3];
    const size_t quarter = n / 4, half = n / 2;
    const size_t total = zeros[0] + zeros[1] + zeros[2] + zeros[3];
    if (total == 0) return {};
    // UTF-32: the top byte of every unit is zero, the next one nearly always.
    if (n % 4 == 0 && zeros[3] == quarter && zeros[2] >= quarter * 9 / 10 && zeros[0] < quarter / 2) return "UTF-32LE";
    if (n % 4 == 0 && zeros[0] == quarter && zeros[1] >= quarter * 9 / 10 && zeros[3] < quarter / 2) return "UTF-32BE";
    const size_t even = zeros[0] + zeros[2], odd = zeros[1] + zeros[3];
    if (odd > half / 8 && even * 16 < odd && Utf16Plausibility(p, n, true) > 0.9) return "UTF-16LE";
    if (even > half / 8 && odd * 16 < even && Utf16Plausibility(p, n, false) > 0.9) return "UTF-16BE";
    return {};
}

// Escape encodings ------------------------------------------------------------------

std::string DetectEscapes(const uint8_t* p, size_t n) {
    bool esc = false, tilde = false;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] >= 0x80) return {};
        esc |= p[i] == 0x1B;
        tilde |= p[i] == '~';
    }
    if (esc) {
        for (size_t i = 0; i + 3 < n; ++i) {
            if (p[i] != 0x1B) continue;
            const uint8_t a = p[i + 1], b = p[i + 2], c = p[i + 3];
            if (a == '$' && (b == 'B' || b == '@')) return "ISO-2022-JP";
            if (a == '$' && b == '(' && (c == 'D' || c == 'Q')) return "ISO-2022-JP";
            if (a == '(' && (b == 'J' || b == 'I')) return "ISO-2022-JP";
            if (a == '$' && b == ')' && c == 'C') return "ISO-2022-KR";
            if (a == '$' && (b == ')' || b == '*' || b == '+') && (c == 'A' || c == 'G' || c == 'H' || c == 'E'))
                return "ISO-2022-CN";
        }
    }
    if (tilde) {
        // HZ: ~{ ... ~} with GB2312 bytes (0x21-0x7E pairs) between.
        int blocks = 0;
        for (size_t i = 0; i + 1 < n; ++i) {
            if (p[i] == '~' && p[i + 1] == '~') {
                ++i;
                continue;
            }
            if (p[i] == '~' && p[i + 1] == '{') {
                size_t j = i + 2;
                bool ok = true;
                while (j + 1 < n && !(p[j] == '~' && p[j + 1] == '}')) {
                    if (p[j] == '\n' || p[j] < 0x21 || p[j] > 0x7E) {
                        ok = false;
                        break;
                    }
                    ++j;
                }
                if (ok && j + 1 < n && (j - i - 2) % 2 == 0 && j > i + 2) ++blocks;
                i = j;
            }
        }
        if (blocks > 0) return "HZ-GB-2312";
    }
    return {};
}

// Multi-byte East Asian encodings ------------------------------------------------------

struct Lookup {
    // Frequency class per two-byte code: 0 unknown, 1..3 more and more common.
    std::vector<uint8_t> table = std::vector<uint8_t>(65536, 0);
};

const Lookup& LookupOf(int model) {
    static std::array<Lookup, std::size(kMultiByteModels)> tables = [] {
        std::array<Lookup, std::size(kMultiByteModels)> t;
        for (size_t m = 0; m < std::size(kMultiByteModels); ++m) {
            const MultiByteModel& mm = kMultiByteModels[m];
            for (int k = 0; k < mm.count; ++k) t[m].table[mm.codes[k]] = k < 256 ? 3 : k < 768 ? 2 : 1;
        }
        return t;
    }();
    return tables[size_t(model)];
}

// Walks the bytes as the encoding; false at the first invalid sequence.
// Two-byte characters are scored by the model; `chars` counts them.
bool ScanMultiByte(const char* name, int model, const uint8_t* p, size_t n, double* score, size_t* chars) {
    const Lookup& lk = LookupOf(model);
    size_t count = 0, weight = 0;
    const bool sjis = !std::strcmp(name, "Shift_JIS"), eucjp = !std::strcmp(name, "EUC-JP");
    const bool gb = !std::strcmp(name, "gb18030"), big5 = !std::strcmp(name, "Big5");
    const bool euctw = !std::strcmp(name, "x-euc-tw");
    size_t i = 0;
    while (i < n) {
        const uint8_t b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        const bool last = i + 1 >= n;  // a character cut by the end of the sample
        if (sjis) {
            if (b >= 0xA1 && b <= 0xDF) {
                ++i;
                continue;
            }
            if (!((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))) return false;
            if (last) break;
            const uint8_t t = p[i + 1];
            if (!((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC))) return false;
        } else if (gb) {
            if (b == 0x80 || b == 0xFF) return false;
            if (last) break;
            const uint8_t t = p[i + 1];
            if (t >= 0x30 && t <= 0x39) {  // four-byte form
                if (i + 3 >= n) break;
                if (p[i + 2] < 0x81 || p[i + 2] > 0xFE || p[i + 3] < 0x30 || p[i + 3] > 0x39) return false;
                i += 4;
                ++count;
                continue;
            }
            if (!((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE))) return false;
        } else if (big5) {
            if (b < 0x81 || b == 0xFF) return false;
            if (last) break;
            const uint8_t t = p[i + 1];
            if (!((t >= 0x40 && t <= 0x7E) || (t >= 0xA1 && t <= 0xFE))) return false;
        } else {  // EUC-JP, EUC-TW, EUC-KR
            if (eucjp && b == 0x8E) {
                if (i + 1 >= n) break;
                if (p[i + 1] < 0xA1 || p[i + 1] > 0xDF) return false;
                i += 2;
                continue;
            }
            if (eucjp && b == 0x8F) {
                if (i + 2 >= n) break;
                if (p[i + 1] < 0xA1 || p[i + 2] < 0xA1 || p[i + 1] == 0xFF || p[i + 2] == 0xFF) return false;
                i += 3;
                ++count;
                continue;
            }
            if (euctw && b == 0x8E) {
                if (i + 3 >= n) break;
                if (p[i + 1] < 0xA1 || p[i + 1] > 0xB0 || p[i + 2] < 0xA1 || p[i + 3] < 0xA1) return false;
                i += 4;
                ++count;
                continue;
            }
            if (b < 0xA1 || b == 0xFF) return false;
            if (last) break;
            if (p[i + 1] < 0xA1 || p[i + 1] == 0xFF) return false;
        }
        weight += lk.table[size_t(b) << 8 | p[i + 1]];
        ++count;
        i += 2;
        // Text in another encoding shows itself early: almost none of its
        // characters are common ones.
        if ((count & 255) == 0 && weight * 12 < 3 * count) return false;
        if (i >= kScoreBytes) break;
    }
    *chars = count;
    *score = count ? double(weight) / (3.0 * double(count)) : 0;
    return true;
}

// Single-byte encodings ----------------------------------------------------------------


// Cyrillic text is mostly lower-case letters, which Mac Cyrillic keeps at
// 0xE0-0xFE; without them its upper half reads as punctuation of other
// code pages.
double Prior(const char* name, const uint32_t* hist, size_t highs) {
    if (std::strcmp(name, "x-mac-cyrillic") != 0) return 0.0;
    size_t lower = 0;
    for (int b = 0xE0; b <= 0xFE; ++b) lower += hist[b - 0x80];
    return lower * 3 >= highs ? 0.0 : -5.0;
}

// Latin letters sit inside words of ASCII letters ("caf\xE9"); the letters
// of the other single-byte scripts (0xC0-0xFF in all of their pages) form
// words of their own. Counts the bytes 0xC0-0xFF next to an ASCII letter.
size_t GluedLetters(const uint8_t* p, size_t n) {
    auto ascii = [](uint8_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    size_t glued = 0;
    for (size_t i = 0; i < n; ++i)
        if (p[i] >= 0xC0 && ((i > 0 && ascii(p[i - 1])) || (i + 1 < n && ascii(p[i + 1])))) ++glued;
    return glued;
}
// What each such byte costs a reading in a non-Latin page (log-probability
// x 256, as in the models).
constexpr double kGluedCost = 3.0 * 256.0;

// The preferred page's head start, spread over the sample's high bytes: it
// decides between readings that fit about equally, which only short texts
// leave, and fades as the text grows.
double Preference(const char* name, const std::string& preferred) {
    if (preferred == name) return 4.0;
    return std::strcmp(name, "windows-1252") == 0 ? 2.0 : 0.0;
}

const SingleByteModel* ModelNamed(const char* name) {
    for (const SingleByteModel& m : kSingleByteModels)
        if (!std::strcmp(m.name, name)) return &m;
    return nullptr;
}

}  // namespace

void CDetector::Feed(const uint8_t* data, size_t size) {
    if (!data || ended_) return;
    const size_t room = kMaxInput - std::min(kMaxInput, data_.size());
    data_.append(reinterpret_cast<const char*>(data), std::min(room, size));
}

std::string CDetector::Charset() {
    return Detect(reinterpret_cast<const uint8_t*>(data_.data()), data_.size(), preferred_);
}

std::string Detect(const uint8_t* p, size_t n, const std::string& preferred) {
    if (!p || n == 0) return {};
    // Byte-order marks.
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return "UTF-8";
    if (n >= 4 && p[0] == 0xFF && p[1] == 0xFE && p[2] == 0 && p[3] == 0) return "UTF-32LE";
    if (n >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 0xFE && p[3] == 0xFF) return "UTF-32BE";
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return "UTF-16LE";
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return "UTF-16BE";
    if (std::memchr(p, 0, n)) {
        std::string zeros = DetectByZeros(p, n);
        if (!zeros.empty()) return zeros;
    }
    uint32_t all[256] = {};
    for (size_t i = 0; i < n; ++i) ++all[p[i]];
    const uint32_t* hist = all + 128;
    size_t highs = 0;
    for (int b = 128; b < 256; ++b) highs += all[b];
    if (highs == 0) {  // 7-bit: an escape encoding, or ASCII (nothing to name)
        if (all[0x1B] || all['~']) return DetectEscapes(p, n);
        return {};
    }
    size_t multi = 0;
    if (ValidUtf8(p, n, &multi) && multi > 0) return "UTF-8";
    // Multi-byte East Asian encodings: the valid one whose characters are
    // most often the language's common ones.
    const char* best = nullptr;
    double bestScore = 0;
    size_t bestChars = 0;
    for (size_t m = 0; m < std::size(kMultiByteModels); ++m) {
        double score = 0;
        size_t chars = 0;
        if (!ScanMultiByte(kMultiByteModels[m].name, int(m), p, n, &score, &chars) || chars == 0) continue;
        if (score > bestScore) {
            bestScore = score;
            best = kMultiByteModels[m].name;
            bestChars = chars;
        }
    }
    const double needed = bestChars >= 20 ? 0.35 : bestChars >= 6 ? 0.5 : 0.7;
    const bool multiByte = best && bestScore >= needed && bestChars * 2 >= highs / 2;
    if (multiByte && bestChars >= 20) return best;
    // UTF-16 without zero bytes (text without ASCII): one order plausible,
    // the other not. The first 512 bytes tell whether it is worth a look.
    if (n >= 8 && n % 2 == 0 &&
        std::max(Utf16Plausibility(p, std::min<size_t>(n, 512), true),
                 Utf16Plausibility(p, std::min<size_t>(n, 512), false)) > 0.9) {
        const double le = Utf16Plausibility(p, n, true), be = Utf16Plausibility(p, n, false);
        if (le > 0.97 && be < 0.9) return "UTF-16LE";
        if (be > 0.97 && le < 0.9) return "UTF-16BE";
    }
    // Single-byte encodings: the byte frequencies rank the models; byte pairs
    // decide among the three most likely.
    constexpr size_t kModels = std::size(kSingleByteModels);
    const size_t glued = GluedLetters(p, n);
    double uni[kModels], prior[kModels];
    size_t order[kModels];
    for (size_t m = 0; m < kModels; ++m) {
        const char* name = kSingleByteModels[m].name;
        double u = 0;
        for (int b = 0; b < 128; ++b)
            if (hist[b]) u += double(hist[b]) * kSingleByteModels[m].uni[b];
        if (std::strcmp(name, "windows-1252") != 0) u -= kGluedCost * double(glued);
        uni[m] = u / (double(highs) * 256.0) + Prior(name, hist, highs);
        prior[m] = Preference(name, preferred) / double(highs);
        order[m] = m;
    }
    std::partial_sort(order, order + 3, order + kModels,
                      [&](size_t a, size_t b) { return uni[a] + prior[a] > uni[b] + prior[b]; });
    // Byte pairs, for the three most likely models in one pass over (at most)
    // the first kScoreBytes bytes.
    const SingleByteModel* top[3] = {&kSingleByteModels[order[0]], &kSingleByteModels[order[1]],
                                     &kSingleByteModels[order[2]]};
    double bi[3] = {0, 0, 0};
    size_t pairs = 0;
    int prev[3] = {-1, -1, -1};
    const size_t limit = std::min(n, kScoreBytes);
    for (size_t i = 0; i < limit; ++i) {
        const uint8_t b = p[i];
        if (b < 0x80) {
            prev[0] = -1;
            continue;
        }
        if (prev[0] >= 0) {
            for (int k = 0; k < 3; ++k) bi[k] += top[k]->bi[prev[k] * 64 + top[k]->rank[b - 0x80]];
            ++pairs;
        }
        for (int k = 0; k < 3; ++k) prev[k] = top[k]->rank[b - 0x80];
    }
    // The preference ranks the readings; how well the winner fits is its
    // score without it.
    const SingleByteModel* sb = nullptr;
    double sbScore = -1e30, sbRank = -1e30;
    for (int k = 0; k < 3; ++k) {
        const double s = uni[order[k]] + (pairs ? bi[k] / (double(pairs) * 256.0) : 0);
        if (s + prior[order[k]] > sbRank) {
            sbRank = s + prior[order[k]];
            sbScore = s;
            sb = top[k];
        }
    }
    // Windows and ISO code pages of one script differ in few places: bytes
    // 0x80-0x9F are controls in the ISO ones, and a few letters moved.
    if (sb) {
        size_t c1 = 0;
        for (int b = 0; b < 0x20; ++b) c1 += hist[b];
        const std::string name = sb->name;
        if (name == "ISO-8859-7" && (c1 || hist[0xA2 - 0x80] > hist[0xB6 - 0x80])) sb = ModelNamed("windows-1253");
        else if (name == "windows-1253" && !c1 && hist[0xB6 - 0x80] > hist[0xA2 - 0x80]) sb = ModelNamed("ISO-8859-7");
        size_t niqqud = 0;
        for (int b = 0xC0; b <= 0xDE; ++b) niqqud += hist[b - 0x80];
        if (name == "ISO-8859-8" && (c1 || niqqud)) sb = ModelNamed("windows-1255");
        else if (name == "windows-1255" && !c1 && !niqqud) sb = ModelNamed("ISO-8859-8");
    }
    // A short multi-byte reading loses to a single-byte one that fits well.
    if (multiByte && !(sb && sbScore > -8.0)) return best;
    if (sb && sbScore > -11.0) return sb->name;
    return best ? best : "";
}

}  // namespace chardet
