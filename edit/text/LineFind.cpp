// Message 1102 over the lines of a document: lines still unchanged from the
// file are read in spans of consecutive lines (one read each) and the
// literal is looked for in their bytes, a first and a last byte compared
// sixteen at a time (SSE2), ASCII letters folded with a bit when case does
// not matter, then the whole literal. A hit counts for the line that holds
// it whole; in a code page of double-byte characters only when it starts
// on a character's first byte.
#include "LineFind.h"

#include <windows.h>
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Encoding.h"
#include "TextDocument.h"

namespace {

// US-ASCII as the system reads it: a byte above 127 stands for its low seven
// bits, so an ASCII character may be written with another byte.
constexpr int kUsAscii = 20127;

// A search starts with short spans (a line that holds the literal is often
// near) and doubles them while it finds nothing, up to kSpanBytes.
constexpr int64_t kFirstSpanBytes = 64 << 10;
constexpr int64_t kSpanBytes = 4 << 20;
// A line longer than this is left to the caller, which reads it anyway.
constexpr int64_t kLongLine = 64 << 20;

// The literal as the file's bytes hold it: `mask` has 0x20 where an ASCII
// letter's case does not matter, and `bytes` those letters in lower case.
struct Needle {
    std::string bytes;
    std::string mask;
    int unit = 1;   // bytes per code unit
    int first = 0;  // the two bytes compared sixteen at a time
    int last = 0;
};

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool MakeNeedle(int cp, const wchar_t* text, int n, bool matchCase, Needle& out) {
    if (!text || n <= 0) return false;
    for (int i = 0; i < n; ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') return false;
        if (!matchCase && c >= 0x80) return false;
    }
    const bool utf16 = cp == encoding::kUtf16LE || cp == encoding::kUtf16BE;
    if (utf16) {
        out.unit = 2;
        const int lo = cp == encoding::kUtf16LE ? 0 : 1;
        for (int i = 0; i < n; ++i) {
            const uint16_t c = uint16_t(text[i]);
            const bool fold = !matchCase && IsLetter(text[i]);
            char b[2], m[2] = {0, 0};
            b[lo] = char(fold ? (c | 0x20) : c & 0xFF);
            b[1 - lo] = char(c >> 8);
            if (fold) m[lo] = 0x20;
            out.bytes.append(b, 2);
            out.mask.append(m, 2);
        }
    } else if (cp == encoding::kUtf8) {
        for (int i = 0; i < n; ++i)
            if (text[i] == 0xFFFD) return false;  // what bytes that do not convert become
        const int bytes = encoding::FromUtf16(cp, text, n, nullptr, 0);
        if (bytes <= 0) return false;
        out.bytes.resize(size_t(bytes));
        if (encoding::FromUtf16(cp, text, n, out.bytes.data(), bytes) != bytes) return false;
        // Unpaired surrogates do not come back as they were.
        std::vector<wchar_t> back(size_t(bytes) + 1);
        const int units = encoding::ToUtf16(cp, out.bytes.data(), bytes, back.data(), bytes + 1);
        if (units != n || !std::equal(text, text + n, back.data())) return false;
        out.mask.assign(size_t(bytes), 0);
        for (int i = 0; i < bytes; ++i) {
            const unsigned char b = uint8_t(out.bytes[size_t(i)]);
            if (!matchCase && b < 0x80 && IsLetter(wchar_t(b))) {
                out.bytes[size_t(i)] = char(b | 0x20);
                out.mask[size_t(i)] = 0x20;
            }
        }
    } else if (encoding::UnitWidth(cp) == 1 && encoding::AsciiCompatible(cp) && cp != kUsAscii) {
        for (int i = 0; i < n; ++i) {
            const wchar_t c = text[i];
            if (c >= 0x80 || c == L'?') return false;
            const bool fold = !matchCase && IsLetter(c);
            out.bytes += char(fold ? (c | 0x20) : c);
            out.mask += char(fold ? 0x20 : 0);
        }
    } else {
        return false;
    }
    // The last byte that is not a zero (the high half of an ASCII unit in
    // UTF-16 is, in nearly every unit of such text).
    out.last = int(out.bytes.size()) - 1;
    while (out.last > 0 && out.bytes[size_t(out.last)] == 0 && out.mask[size_t(out.last)] == 0) --out.last;
    return true;
}

// The double-byte characters of code pages whose characters are one or two
// bytes: which pairs are characters, so that a hit on a second byte is told
// from one on a character's start. Built once per code page.
struct PairTable {
    bool lead[256] = {};
    std::vector<uint64_t> valid = std::vector<uint64_t>(1024, 0);  // lead << 8 | trail
    bool Pair(unsigned char a, unsigned char b) const {
        const unsigned k = unsigned(a) << 8 | b;
        return lead[a] && (valid[k >> 6] >> (k & 63) & 1);
    }
};

const PairTable* PairsOf(int cp) {
    if (cp != 932 && cp != 936 && cp != 949 && cp != 950 && cp != 1361) return nullptr;
    static std::mutex lock;
    static std::vector<std::pair<int, std::unique_ptr<PairTable>>> tables;
    std::lock_guard<std::mutex> hold(lock);
    for (auto& t : tables)
        if (t.first == cp) return t.second.get();
    auto t = std::make_unique<PairTable>();
    for (int a = 0x80; a < 256; ++a) {
        t->lead[a] = IsDBCSLeadByteEx(UINT(cp), BYTE(a)) != 0;
        if (!t->lead[a]) continue;
        for (int b = 1; b < 256; ++b) {
            const char two[2] = {char(a), char(b)};
            wchar_t w[2];
            if (MultiByteToWideChar(UINT(cp), MB_ERR_INVALID_CHARS, two, 2, w, 2) == 1) {
                const unsigned k = unsigned(a) << 8 | unsigned(b);
                t->valid[k >> 6] |= uint64_t(1) << (k & 63);
            }
        }
    }
    tables.emplace_back(cp, std::move(t));
    return tables.back().second.get();
}

bool Same(const Needle& nd, const unsigned char* p) {
    const size_t m = nd.bytes.size();
    for (size_t k = 0; k < m; ++k)
        if (char(p[k] | uint8_t(nd.mask[k])) != nd.bytes[k]) return false;
    return true;
}

// Calls hit(offset) for every place in data[0, n) where the literal lies, in
// order, until it answers false.
template <typename Hit>
void Scan(const Needle& nd, const unsigned char* data, int64_t n, Hit&& hit) {
    const int64_t m = int64_t(nd.bytes.size());
    if (n < m) return;
    const int64_t lastStart = n - m;
    const int f = nd.first, l = nd.last;
    const __m128i b1 = _mm_set1_epi8(nd.bytes[size_t(f)]), m1 = _mm_set1_epi8(nd.mask[size_t(f)]);
    const __m128i b2 = _mm_set1_epi8(nd.bytes[size_t(l)]), m2 = _mm_set1_epi8(nd.mask[size_t(l)]);
    int64_t s = 0;
    // Blocks of sixteen starts whose filter bytes all lie in the data.
    for (; s + 15 + l < n && s + 15 <= lastStart; s += 16) {
        const __m128i x = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + s + f)), m1);
        const __m128i y = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + s + l)), m2);
        unsigned bits =
            unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, b1), _mm_cmpeq_epi8(y, b2))));
        while (bits) {
            const int k = __builtin_ctz(bits);
            bits &= bits - 1;
            if (Same(nd, data + s + k) && !hit(s + k)) return;
        }
    }
    for (; s <= lastStart; ++s)
        if (Same(nd, data + s) && !hit(s)) return;
}

struct Span {
    int from, to;        // lines [from, to) in the order of the file
    int64_t start, end;  // the bytes read
};

}  // namespace

int FindLineWith(TextDocument& doc, int first, LineFindArg& arg) {
    arg.line = -1;
    arg.run = 0;
    const int count = doc.LineCount();
    const bool back = (arg.flags & LINEFIND_BACKWARD) != 0;
    const int cp = doc.source ? doc.source->CodePage() : encoding::kUtf16LE;
    Needle nd;
    if (!MakeNeedle(cp, arg.text, arg.length, (arg.flags & LINEFIND_MATCHCASE) != 0, nd)) return 0;
    if (back && first >= count) first = count - 1;
    const int maxLines = std::max(arg.maxLines, 1);
    const int step = back ? -1 : 1;
    const int stop =
        back ? std::max(first - maxLines, -1) : int(std::min<int64_t>(int64_t(first) + maxLines, count));
    if (first < 0 || first >= count) {
        arg.line = back ? -1 : count;
        return 2;
    }
    const PairTable* pairs = nd.unit == 1 ? PairsOf(cp) : nullptr;
    const int64_t m = int64_t(nd.bytes.size());
    std::vector<unsigned char> buffer;
    int64_t spanBytes = kFirstSpanBytes;
    for (int i = first; i != stop;) {
        const Line& l = doc.LineAt(i);
        if (l.Loaded() || l.length > kLongLine) {
            int j = i;
            while (j != stop && (doc.LineAt(j).Loaded() || doc.LineAt(j).length > kLongLine)) j += step;
            arg.line = i;
            arg.run = (j - i) * step;
            return 1;
        }
        if (l.length < m) {
            i += step;
            continue;
        }
        // The span: unloaded lines in the order of the file, at most
        // spanBytes from the first byte of the first to the last of the last.
        Span sp = {i, i + 1, l.offset, l.offset + l.length};
        for (int j = i + step; j != stop; j += step) {
            const Line& k = doc.LineAt(j);
            if (k.Loaded() || k.length > kLongLine) break;
            if (k.length == 0) continue;
            if (!back) {
                if (k.offset < sp.end || k.offset + k.length - sp.start > spanBytes) break;
                sp.end = k.offset + k.length;
                sp.to = j + 1;
            } else {
                if (k.offset + k.length > sp.start || sp.end - k.offset > spanBytes) break;
                sp.start = k.offset;
                sp.from = j;
            }
        }
        if (back) {
            // Lines of length 0 below the span's first one belong to it too.
            int j = sp.from - 1;
            while (j > stop && !doc.LineAt(j).Loaded() && doc.LineAt(j).length == 0) --j;
            sp.from = std::min(sp.from, j + 1);
        } else {
            int j = sp.to;
            while (j < stop && !doc.LineAt(j).Loaded() && doc.LineAt(j).length == 0) ++j;
            sp.to = j;
        }
        const int64_t bytes = sp.end - sp.start;
        buffer.resize(size_t(bytes));
        if (!doc.source || doc.source->ReadRaw(sp.start, bytes, buffer.data()) != bytes) {
            // Unread: the caller reads these lines itself.
            arg.line = i;
            arg.run = back ? i - sp.from + 1 : sp.to - i;
            return 1;
        }
        // The line holding each hit, walking forward through the span.
        int found = -1;
        int at = sp.from;
        int64_t walked = -1;  // where the character walk of line `at` stands
        Scan(nd, buffer.data(), bytes, [&](int64_t s) {
            const int64_t pos = sp.start + s;
            while (at < sp.to) {
                const Line& k = doc.LineAt(at);
                if (k.length > 0 && pos < k.offset + k.length) break;
                ++at;
                walked = -1;
            }
            if (at >= sp.to) return false;
            const Line& k = doc.LineAt(at);
            if (pos < k.offset || pos + m > k.offset + k.length) return true;
            if (found == at) return true;  // only the last line with one matters
            if (nd.unit == 2 && (pos - k.offset) % 2 != 0) return true;
            if (pairs) {
                if (walked < 0) walked = k.offset;
                while (walked < pos) {
                    const unsigned char a = buffer[size_t(walked - sp.start)];
                    const bool two = walked + 1 < k.offset + k.length &&
                                     pairs->Pair(a, buffer[size_t(walked + 1 - sp.start)]);
                    walked += two ? 2 : 1;
                }
                if (walked != pos) return true;  // inside a character
            }
            found = at;
            return back;  // going back, the last line with a hit is the one
        });
        if (found >= 0) {
            arg.line = found;
            arg.run = 1;
            return 1;
        }
        i = back ? sp.from - 1 : sp.to;
        spanBytes = std::min(2 * spanBytes, kSpanBytes);
    }
    arg.line = stop;
    return 2;
}
