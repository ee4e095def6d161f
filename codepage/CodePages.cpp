#include "CodePages.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "Iso2022.h"
#include "ThreadScratch.h"

namespace codepage {
namespace {

constexpr int kOwn[] = {50220, 50221, 50222, 50225, 50227, 51932, 51936, 51949};
constexpr int kOwnCount = int(sizeof kOwn / sizeof kOwn[0]);
enum : int { kUnknown = 0, kSystem = 1, kRefused = 2 };
std::atomic<int> g_answer[kOwnCount];
std::atomic<bool> g_forced[kOwnCount];
std::atomic<bool> g_failDecoding[kOwnCount];
std::atomic<int> g_checkedForTesting{0};

int IndexOf(int cp) {
    for (int i = 0; i < kOwnCount; ++i)
        if (kOwn[i] == cp) return i;
    return -1;
}

// Whether our own conversion handles the code page now.
bool Own(int cp) {
    const int i = IndexOf(cp);
    return i >= 0 && (g_forced[i].load() || !SystemConverts(cp));
}

constexpr wchar_t kReplacement = 0xFFFD;

bool Gr(uint8_t b) { return b >= 0xA1 && b <= 0xFE; }

// The system's conversion of one code page into `out`, or false when it
// refuses the bytes as they are.
bool SystemDecode(int cp, DWORD flags, const uint8_t* s, size_t n, std::wstring& out) {
    if (n == 0) return true;
    const char* p = reinterpret_cast<const char*>(s);
    const int units = MultiByteToWideChar(UINT(cp), flags, p, int(n), nullptr, 0);
    if (units <= 0) return false;
    const size_t at = out.size();
    out.resize(at + size_t(units));
    return MultiByteToWideChar(UINT(cp), flags, p, int(n), out.data() + at, units) == units;
}

// 936 or 949 as a table, read from the system once: a byte sequence it
// does not define is kNone.
constexpr wchar_t kNone = 0xFFFF;
struct DoubleByteTable {
    bool lead[256] = {};
    std::vector<wchar_t> single = std::vector<wchar_t>(256, kNone);
    std::vector<wchar_t> pair = std::vector<wchar_t>(256 * 256, kNone);  // lead << 8 | trail

    explicit DoubleByteTable(int cp) {
        for (int b = 0; b < 256; ++b) {
            lead[b] = IsDBCSLeadByteEx(UINT(cp), BYTE(b)) != 0;
            const char one[1] = {char(b)};
            wchar_t w[2];
            // 0xFF is in no EUC form (and stands for an invalid ISO-2022 byte).
            if (!lead[b] && b != 0xFF &&
                MultiByteToWideChar(UINT(cp), MB_ERR_INVALID_CHARS, one, 1, w, 2) == 1)
                single[b] = w[0];
            if (!lead[b]) continue;
            for (int t = 0x21; t < 256; ++t) {
                const char two[2] = {char(b), char(t)};
                if (MultiByteToWideChar(UINT(cp), MB_ERR_INVALID_CHARS, two, 2, w, 2) == 1)
                    pair[b << 8 | t] = w[0];
            }
        }
    }
};

const DoubleByteTable& TableOf(int standIn) {
    if (standIn == 936) {
        static const DoubleByteTable t936(936);
        return t936;
    }
    static const DoubleByteTable t949(949);
    return t949;
}

// 51936 and 51949 through 936 and 949. A byte sequence the stand-in does not
// define becomes U+FFFD per byte; an ASCII byte after a lead byte stays.
// The table reads it without a call to the system (faster than the system's
// own conversion, and an invalid byte costs nothing more).
void DecodeDoubleByte(int standIn, const uint8_t* s, size_t n, std::wstring& out) {
    const DoubleByteTable& t = TableOf(standIn);
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n;) {
        const uint8_t b = s[i];
        if (t.lead[b] && i + 1 < n) {
            const wchar_t u = t.pair[b << 8 | s[i + 1]];
            if (u != kNone) {
                out += u;
                i += 2;
            } else {
                const size_t bad = s[i + 1] >= 0x80 ? 2 : 1;
                out.append(bad, kReplacement);
                i += bad;
            }
        } else {
            const wchar_t u = t.single[b];
            out += u != kNone ? u : kReplacement;
            ++i;
        }
    }
}

bool EncodeDoubleByte(int standIn, const wchar_t* s, int n, std::string& out) {
    BOOL used = FALSE;
    const int need = WideCharToMultiByte(UINT(standIn), WC_NO_BEST_FIT_CHARS, s, n, nullptr, 0, nullptr, &used);
    if (need <= 0 || used) return false;
    const size_t at = out.size();
    out.resize(at + size_t(need));
    return WideCharToMultiByte(UINT(standIn), WC_NO_BEST_FIT_CHARS, s, n, out.data() + at, need, nullptr,
                               &used) == need &&
           !used;
}

// EUC-JP as Windows' 51932 reads it: the JIS X 0208 cells through 932 at
// their Shift-JIS code points, plus JIS X 0212 through 20932, which keeps
// those cells under lead bytes A1-FE with trail bytes 21-7E.
struct EucJpTables {
    std::vector<wchar_t> x0208 = std::vector<wchar_t>(94 * 94);  // 0: no character
    std::vector<wchar_t> x0212 = std::vector<wchar_t>(94 * 94);
    std::unordered_map<wchar_t, uint32_t> encode;  // UTF-16 unit -> EUC bytes, first byte highest

    EucJpTables() {
        for (int r = 0; r < 94; ++r) {
            for (int c = 0; c < 94; ++c) {
                uint8_t sjis[2];
                ToShiftJis(0x21 + r, 0x21 + c, sjis);
                x0208[r * 94 + c] = One(932, sjis);
                const uint8_t x[2] = {uint8_t(0xA1 + r), uint8_t(0x21 + c)};
                x0212[r * 94 + c] = One(20932, x);
            }
        }
        for (int k = 0; k < 63; ++k) encode[wchar_t(0xFF61 + k)] = 0x8EA1u + unsigned(k);
        // Where 932 writes a character with a code point outside the JIS
        // rows (IBM extensions, FA40-FC4B), the duplicate in rows 89-92 (NEC's
        // selection of them) stands in, as in Windows' 51932.
        for (int i = 0; i < 94 * 94; ++i) {
            const wchar_t u = x0208[i];
            if (!u || encode.count(u)) continue;
            const int canonical = CellOf932(u);
            const int cell = canonical >= 0 && x0208[canonical] == u ? canonical : i;
            encode[u] = 0xA1A1u + unsigned(cell / 94 << 8) + unsigned(cell % 94);
        }
        for (int i = 0; i < 94 * 94; ++i) {
            const wchar_t u = x0212[i];
            if (u && !encode.count(u)) encode[u] = 0x8FA1A1u + unsigned(i / 94 << 8) + unsigned(i % 94);
        }
    }

    static void ToShiftJis(int j1, int j2, uint8_t* s) {
        s[0] = uint8_t(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
        s[1] = uint8_t(j1 & 1 ? j2 + 0x1F + (j2 >= 0x60 ? 1 : 0) : j2 + 0x7E);
    }

    // The cell of a JIS row a Shift-JIS double byte stands for, or -1.
    static int CellOfShiftJis(uint8_t s1, uint8_t s2) {
        if (!((s1 >= 0x81 && s1 <= 0x9F) || (s1 >= 0xE0 && s1 <= 0xEF))) return -1;
        if (s2 < 0x40 || s2 == 0x7F || s2 > 0xFC) return -1;
        int j1 = (s1 - (s1 <= 0x9F ? 0x70 : 0xB0)) * 2 - 1;
        int j2;
        if (s2 >= 0x9F) {
            ++j1;
            j2 = s2 - 0x7E;
        } else {
            j2 = s2 - 0x1F - (s2 >= 0x80 ? 1 : 0);
        }
        return (j1 - 0x21) * 94 + (j2 - 0x21);
    }

    static int CellOf932(wchar_t u) {
        char b[4];
        BOOL used = FALSE;
        const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &u, 1, b, 4, nullptr, &used);
        return n == 2 && !used ? CellOfShiftJis(uint8_t(b[0]), uint8_t(b[1])) : -1;
    }

    static wchar_t One(int cp, const uint8_t* two) {
        wchar_t w[2];
        const int n = MultiByteToWideChar(UINT(cp), MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(two), 2, w, 2);
        return n == 1 ? w[0] : 0;
    }
};

const EucJpTables& JpTables() {
    static const EucJpTables tables;
    return tables;
}

void DecodeEucJp(const uint8_t* s, size_t n, std::wstring& out) {
    const EucJpTables* t = nullptr;
    for (size_t i = 0; i < n;) {
        const uint8_t b = s[i];
        if (b < 0x80) {
            out += wchar_t(b);
            ++i;
        } else if (b == 0x8E && i + 1 < n && s[i + 1] >= 0xA1 && s[i + 1] <= 0xDF) {
            out += wchar_t(0xFF61 + (s[i + 1] - 0xA1));
            i += 2;
        } else if (Gr(b) && i + 1 < n && Gr(s[i + 1])) {
            if (!t) t = &JpTables();
            const wchar_t u = t->x0208[(b - 0xA1) * 94 + (s[i + 1] - 0xA1)];
            if (u) out += u; else out.append(2, kReplacement);
            i += 2;
        } else if (b == 0x8F && i + 2 < n && Gr(s[i + 1]) && Gr(s[i + 2])) {
            if (!t) t = &JpTables();
            const wchar_t u = t->x0212[(s[i + 1] - 0xA1) * 94 + (s[i + 2] - 0xA1)];
            // Two, not three: the ISO-2022 forms carry such a cell in two
            // bytes, and no line may read as more units than it has bytes.
            if (u)
                out += u;
            else
                out.append(2, kReplacement);
            i += 3;
        } else {
            out += kReplacement;
            ++i;
        }
    }
}

bool EncodeEucJp(const wchar_t* s, int n, std::string& out) {
    const EucJpTables* t = nullptr;
    for (int i = 0; i < n; ++i) {
        const wchar_t u = s[i];
        if (u < 0x80) {
            out += char(u);
            continue;
        }
        if (!t) t = &JpTables();
        const auto it = t->encode.find(u);
        if (it == t->encode.end()) return false;
        const uint32_t v = it->second;
        if (v > 0xFFFF) out += char(v >> 16);
        out += char(v >> 8);
        out += char(v);
    }
    return true;
}

void DecodeEuc(int cp, const uint8_t* s, size_t n, std::wstring& out) {
    if (!Own(cp)) {
        SystemDecode(cp, 0, s, n, out);
        return;
    }
    if (cp == 51932)
        DecodeEucJp(s, n, out);
    else
        DecodeDoubleByte(cp == 51936 ? 936 : 949, s, n, out);
}

bool EncodeEuc(int cp, const wchar_t* s, int n, std::string& out) {
    if (!Own(cp)) {
        const int need = WideCharToMultiByte(UINT(cp), 0, s, n, nullptr, 0, nullptr, nullptr);
        if (need <= 0) return false;
        const size_t at = out.size();
        out.resize(at + size_t(need));
        return WideCharToMultiByte(UINT(cp), 0, s, n, out.data() + at, need, nullptr, nullptr) == need;
    }
    if (cp == 51932) return EncodeEucJp(s, n, out);
    return EncodeDoubleByte(cp == 51936 ? 936 : 949, s, n, out);
}

// Scratch of the conversions on this thread, so that converting line by
// line does not allocate per line; let go of when it grew large.
struct Scratch {
    std::string bytes, euc;
    std::wstring wide;
};
ThreadScratch<Scratch> g_scratch;

// This thread's scratch, or `local` when it has none.
Scratch& ScratchOr(Scratch& local) {
    Scratch* s = g_scratch.Get();
    return s ? *s : local;
}

template <typename S>
void Release(S& s) {
    s.clear();
    if (s.capacity() > (1u << 20)) S().swap(s);
}

void Decode(int cp, const uint8_t* s, size_t n, std::wstring& out, std::string& euc) {
    Iso2022 form;
    if (!Iso2022Of(cp, &form)) {
        DecodeEuc(cp, s, n, out);
        return;
    }
    euc.clear();
    DecodeIso2022(form, s, n, euc);
    DecodeEuc(EucCodePageOf(form), reinterpret_cast<const uint8_t*>(euc.data()), euc.size(), out);
}

bool Encode(int cp, const wchar_t* s, int n, std::string& out, std::string& euc) {
    Iso2022 form;
    if (!Iso2022Of(cp, &form)) return EncodeEuc(cp, s, n, out);
    euc.clear();
    return EncodeEuc(EucCodePageOf(form), s, n, euc) &&
           EncodeIso2022(form, reinterpret_cast<const uint8_t*>(euc.data()), euc.size(), out);
}

// Half-width katakana as 50220 may write them: full-width, one for one
// (`oneForOne`) or with sound marks combined as the system maps a whole run.
std::wstring FullWidthKana(const std::wstring& s, bool oneForOne) {
    auto map = [](const wchar_t* run, int len, std::wstring& out) {
        const int n = LCMapStringW(0x0411, LCMAP_FULLWIDTH, run, len, nullptr, 0);
        const size_t at = out.size();
        out.resize(at + size_t(n > 0 ? n : 0));
        if (n <= 0 || LCMapStringW(0x0411, LCMAP_FULLWIDTH, run, len, out.data() + at, n) != n) {
            out.resize(at);
            out.append(run, size_t(len));
        }
    };
    std::wstring out;
    for (size_t i = 0; i < s.size();) {
        size_t j = i;
        while (j < s.size() && s[j] >= 0xFF61 && s[j] <= 0xFF9F) ++j;
        if (j == i) {
            out += s[i++];
        } else if (oneForOne) {
            for (; i < j; ++i) map(&s[i], 1, out);
        } else {
            map(&s[i], int(j - i), out);
            i = j;
        }
    }
    return out;
}

// The system's conversion into one of the code pages above, where it has
// them. It takes no flags for them and cannot report a default character,
// so a character they cannot hold silently becomes '?': what it wrote is
// read back, and any difference is a failure like our own conversion's.
bool SystemEncodeChecked(int cp, const wchar_t* s, int n, std::string& out, std::wstring& back) {
    const int need = WideCharToMultiByte(UINT(cp), 0, s, n, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return false;
    out.resize(size_t(need));
    if (WideCharToMultiByte(UINT(cp), 0, s, n, out.data(), need, nullptr, nullptr) != need) return false;
    back.clear();
    if (SystemDecode(cp, 0, reinterpret_cast<const uint8_t*>(out.data()), out.size(), back) &&
        back.size() == size_t(n) && std::equal(back.begin(), back.end(), s))
        return true;
    const std::wstring source(s, size_t(n));
    // 50220 writes half-width katakana full-width; that is not a loss.
    if (cp == 50220 && (back == FullWidthKana(source, true) || back == FullWidthKana(source, false)))
        return true;
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
}

template <typename S, typename C>
int Deliver(const S& result, C* dst, int cap) {
    if (result.size() > size_t(INT32_MAX)) {
        SetLastError(ERROR_ARITHMETIC_OVERFLOW);
        return 0;
    }
    const int size = int(result.size());
    if (!dst) return size;
    if (size > cap) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(result.begin(), result.end(), dst);
    return size;
}

}  // namespace

bool HasOwnConversion(int cp) { return IndexOf(cp) >= 0; }

bool SystemConverts(int cp) {
    const int i = IndexOf(cp);
    if (i < 0) return IsValidCodePage(UINT(cp)) != 0;
    int answer = g_answer[i].load();
    if (answer == kUnknown) {
        const DWORD err = GetLastError();
        wchar_t w[4];
        answer = MultiByteToWideChar(UINT(cp), 0, "a", 1, w, 4) == 1 ? kSystem : kRefused;
        SetLastError(err);
        g_answer[i].store(answer);
    }
    return answer == kSystem;
}

void UseOwnConversionForTesting(int cp, bool own) {
    const int i = IndexOf(cp);
    if (i >= 0) g_forced[i].store(own);
}

void CheckRoundTripForTesting(int cp, bool check) {
    int expected = cp;
    if (check)
        g_checkedForTesting.store(cp);
    else
        g_checkedForTesting.compare_exchange_strong(expected, 0);
}

void FailOwnDecodingForTesting(int cp, bool fail) {
    const int i = IndexOf(cp);
    if (i >= 0) g_failDecoding[i].store(fail);
}

int ToWide(int cp, const char* src, int n, wchar_t* dst, int cap) {
    if (!Own(cp)) return MultiByteToWideChar(UINT(cp), 0, src, n, dst, dst ? cap : 0);
    if (n <= 0 || !src) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int result = 0;
    Scratch local;
    Scratch& scratch = ScratchOr(local);
    try {
        std::wstring& out = scratch.wide;
        out.clear();
        Decode(cp, reinterpret_cast<const uint8_t*>(src), size_t(n), out, scratch.euc);
        if (dst && g_failDecoding[IndexOf(cp)].load()) throw std::bad_alloc();
        if (out.empty()) SetLastError(ERROR_SUCCESS);  // escape sequences only
        result = Deliver(out, dst, cap);
    } catch (...) {  // out of memory
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    Release(scratch.wide);
    Release(scratch.euc);
    return result;
}

int FromWide(int cp, const wchar_t* src, int n, char* dst, int cap) {
    const bool own = Own(cp);
    const bool checked = !own && (HasOwnConversion(cp) || (cp != 0 && cp == g_checkedForTesting.load()));
    if (!own && !checked)
        return WideCharToMultiByte(UINT(cp), 0, src, n, dst, dst ? cap : 0, nullptr, nullptr);
    if (n <= 0 || !src) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int result = 0;
    Scratch local;
    Scratch& scratch = ScratchOr(local);
    try {
        std::string& out = scratch.bytes;
        out.clear();
        if (checked) {
            if (SystemEncodeChecked(cp, src, n, out, scratch.wide)) result = Deliver(out, dst, cap);
        } else if (Encode(cp, src, n, out, scratch.euc)) {
            result = Deliver(out, dst, cap);
        } else {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        }
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    Release(scratch.bytes);
    Release(scratch.euc);
    Release(scratch.wide);
    return result;
}

}  // namespace codepage
