#include "Iso2022.h"

namespace codepage {
namespace {

constexpr uint8_t kEsc = 0x1B, kSo = 0x0E, kSi = 0x0F, kCr = 0x0D, kLf = 0x0A;
constexpr uint8_t kSs2 = 0x8E, kSs3 = 0x8F;  // EUC-JP: half-width katakana, JIS X 0212

bool Gl(uint8_t b) { return b >= 0x21 && b <= 0x7E; }
bool Gr(uint8_t b) { return b >= 0xA1 && b <= 0xFE; }
bool Japanese(Iso2022 f) { return f == Iso2022::Jp || f == Iso2022::JpKanaEsc || f == Iso2022::JpKanaSo; }

// JIS X 0208 row and cell (as 7-bit bytes) of the full-width form of each
// half-width katakana 0xA1-0xDF, as 50220 writes them.
constexpr uint16_t kFullWidthKana[63] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529, 0x2563, 0x2565,
    0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F, 0x2531, 0x2533,
    0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C,
    0x254D, 0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564,
    0x2566, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,
};

// Whether src[i..] starts with the escape sequence `seq` (ESC included).
bool At(const uint8_t* src, size_t n, size_t i, const char* seq, size_t* len) {
    size_t k = 0;
    for (; seq[k]; ++k)
        if (i + k >= n || src[i + k] != uint8_t(seq[k])) return false;
    *len = k;
    return true;
}

enum class Set { Ascii, X0208, X0212, Kana };

void DecodeJapanese(const uint8_t* src, size_t n, std::string& euc) {
    struct Escape {
        const char* seq;
        Set set;
    };
    static constexpr Escape kEscapes[] = {
        {"\x1B(B", Set::Ascii},  {"\x1B(J", Set::Ascii},   {"\x1B(I", Set::Kana},    {"\x1B$@", Set::X0208},
        {"\x1B$B", Set::X0208}, {"\x1B$(B", Set::X0208}, {"\x1B$(@", Set::X0208}, {"\x1B$(D", Set::X0212},
    };
    Set g0 = Set::Ascii;
    bool shifted = false;  // SO: half-width katakana whatever g0 is
    for (size_t i = 0; i < n;) {
        const uint8_t b = src[i];
        if (b == kCr || b == kLf) {
            euc += char(b);
            g0 = Set::Ascii;
            shifted = false;
            ++i;
            continue;
        }
        if (b == kEsc) {
            size_t len = 0;
            bool known = false;
            for (const Escape& e : kEscapes) {
                if (At(src, n, i, e.seq, &len)) {
                    g0 = e.set;
                    known = true;
                    break;
                }
            }
            // ESC & @ announces the 1990 revision of JIS X 0208 before ESC $ B.
            if (!known) known = At(src, n, i, "\x1B&@", &len);
            if (!known) {
                euc += char(kInvalidEucByte);
                len = 1;
            }
            i += len;
            continue;
        }
        if (b == kSo || b == kSi) {
            shifted = b == kSo;
            ++i;
            continue;
        }
        if (Gl(b) && (shifted || g0 == Set::Kana)) {
            if (b <= 0x5F) {
                euc += char(kSs2);
                euc += char(b | 0x80);
            } else {
                euc += char(kInvalidEucByte);
            }
            ++i;
            continue;
        }
        if (Gl(b) && (g0 == Set::X0208 || g0 == Set::X0212)) {
            if (i + 1 < n && Gl(src[i + 1])) {
                if (g0 == Set::X0212) euc += char(kSs3);
                euc += char(b | 0x80);
                euc += char(src[i + 1] | 0x80);
                i += 2;
            } else {
                euc += char(kInvalidEucByte);
                ++i;
            }
            continue;
        }
        if (b >= 0xA1 && b <= 0xDF) {  // 8-bit half-width katakana
            euc += char(kSs2);
            euc += char(b);
        } else if (b <= 0x7F) {  // ASCII, and controls, spaces and DEL in any set
            euc += char(b);
        } else {
            euc += char(kInvalidEucByte);
        }
        ++i;
    }
}

// Korean and Chinese: one double-byte set in G1, reached by SO.
void DecodeShifted(Iso2022 form, const uint8_t* src, size_t n, std::string& euc) {
    const char* designation = form == Iso2022::Kr ? "\x1B$)C" : "\x1B$)A";
    // Chinese sets this converter does not have: CNS 11643 planes in G1 and G2.
    static constexpr const char* kForeign[] = {"\x1B$)G", "\x1B$)E", "\x1B$*H"};
    bool shifted = false, foreign = false;
    for (size_t i = 0; i < n;) {
        const uint8_t b = src[i];
        size_t len = 0;
        if (b == kCr || b == kLf) {
            euc += char(b);
            shifted = foreign = false;
            ++i;
        } else if (b == kEsc) {
            if (At(src, n, i, designation, &len)) {
                foreign = false;
            } else if (form == Iso2022::Cn && (At(src, n, i, kForeign[0], &len) || At(src, n, i, kForeign[1], &len))) {
                foreign = true;
            } else if (form == Iso2022::Cn && At(src, n, i, kForeign[2], &len)) {
                // G2 is reached only by ESC N, which is not accepted: nothing changes.
            } else {
                euc += char(kInvalidEucByte);
                len = 1;
            }
            i += len;
        } else if (b == kSo || b == kSi) {
            shifted = b == kSo;
            ++i;
        } else if (shifted && Gl(b)) {
            if (!foreign && i + 1 < n && Gl(src[i + 1])) {
                euc += char(b | 0x80);
                euc += char(src[i + 1] | 0x80);
                i += 2;
            } else {
                euc += char(kInvalidEucByte);
                ++i;
            }
        } else {
            euc += b <= 0x7F ? char(b) : char(kInvalidEucByte);  // DEL included
            ++i;
        }
    }
}

bool EncodeJapanese(Iso2022 form, const uint8_t* euc, size_t n, std::string& out) {
    Set g0 = Set::Ascii;
    bool shifted = false;
    auto unshift = [&] {
        if (shifted) out += char(kSi);
        shifted = false;
    };
    auto designate = [&](Set s) {
        if (g0 == s) return;
        static constexpr const char* kSeq[] = {"\x1B(B", "\x1B$B", "\x1B$(D", "\x1B(I"};
        out += kSeq[int(s)];
        g0 = s;
    };
    auto pair = [&](Set s, uint8_t a, uint8_t b) {
        unshift();
        designate(s);
        out += char(a & 0x7F);
        out += char(b & 0x7F);
    };
    for (size_t i = 0; i < n;) {
        const uint8_t b = euc[i];
        if (b < 0x80) {
            if (b == kEsc || b == kSo || b == kSi) return false;
            unshift();
            designate(Set::Ascii);
            out += char(b);
            ++i;
        } else if (b == kSs2 && i + 1 < n && euc[i + 1] >= 0xA1 && euc[i + 1] <= 0xDF) {
            const uint8_t k = euc[i + 1];
            if (form == Iso2022::Jp) {
                const uint16_t full = kFullWidthKana[k - 0xA1];
                pair(Set::X0208, uint8_t(full >> 8), uint8_t(full));
            } else if (form == Iso2022::JpKanaEsc) {
                designate(Set::Kana);
                out += char(k & 0x7F);
            } else {
                if (!shifted) out += char(kSo);
                shifted = true;
                out += char(k & 0x7F);
            }
            i += 2;
        } else if (Gr(b) && i + 1 < n && Gr(euc[i + 1])) {
            pair(Set::X0208, b, euc[i + 1]);
            i += 2;
        } else if (b == kSs3 && i + 2 < n && Gr(euc[i + 1]) && Gr(euc[i + 2])) {
            pair(Set::X0212, euc[i + 1], euc[i + 2]);
            i += 3;
        } else {
            return false;
        }
    }
    unshift();
    designate(Set::Ascii);
    return true;
}

bool EncodeShifted(Iso2022 form, const uint8_t* euc, size_t n, std::string& out) {
    const char* designation = form == Iso2022::Kr ? "\x1B$)C" : "\x1B$)A";
    bool designated = false, shifted = false;
    for (size_t i = 0; i < n;) {
        const uint8_t b = euc[i];
        if (b < 0x80) {
            if (b == kEsc || b == kSo || b == kSi) return false;
            if (shifted) out += char(kSi);
            shifted = false;
            if (b == kCr || b == kLf) designated = false;
            out += char(b);
            ++i;
        } else if (Gr(b) && i + 1 < n && Gr(euc[i + 1])) {
            if (!designated) out += designation;
            if (!shifted) out += char(kSo);
            designated = shifted = true;
            out += char(b & 0x7F);
            out += char(euc[i + 1] & 0x7F);
            i += 2;
        } else {
            return false;
        }
    }
    if (shifted) out += char(kSi);
    return true;
}

}  // namespace

bool Iso2022Of(int cp, Iso2022* form) {
    switch (cp) {
        case 50220: *form = Iso2022::Jp; return true;
        case 50221: *form = Iso2022::JpKanaEsc; return true;
        case 50222: *form = Iso2022::JpKanaSo; return true;
        case 50225: *form = Iso2022::Kr; return true;
        case 50227: *form = Iso2022::Cn; return true;
        default: return false;
    }
}

int EucCodePageOf(Iso2022 form) {
    return Japanese(form) ? 51932 : form == Iso2022::Kr ? 51949 : 51936;
}

void DecodeIso2022(Iso2022 form, const uint8_t* src, size_t n, std::string& euc) {
    if (Japanese(form))
        DecodeJapanese(src, n, euc);
    else
        DecodeShifted(form, src, n, euc);
}

bool EncodeIso2022(Iso2022 form, const uint8_t* euc, size_t n, std::string& out) {
    return Japanese(form) ? EncodeJapanese(form, euc, n, out) : EncodeShifted(form, euc, n, out);
}

}  // namespace codepage
