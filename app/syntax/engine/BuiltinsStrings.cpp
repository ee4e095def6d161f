// The run-time library's text functions: lengths and substrings, case,
// searching, replacing, splitting and joining, character codes and escapes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BuiltinsParts.h"
#include "Operators.h"

namespace script::builtins_detail {

// Longest text the library builds (Space, String, Replace): beyond it
// "Out of string space" rather than exhausting memory.
constexpr size_t kMaxText = kMaxStringLength;

// vbBinaryCompare (0), vbTextCompare (1), vbDatabaseCompare (2, taken as
// text); -1 uses the default, binary.
bool TextCompareArg(Args args, size_t i) {
    const int32_t mode = LongArg(args, i, 0);
    if (mode < -1 || mode > 2) Raise(err::kInvalidCall);
    return mode >= 1;
}

void CheckLength(size_t n) {
    if (n > kMaxText) Raise(err::kOutOfStringSpace);
}

char16_t Fold(char16_t c, bool text) { return text ? ops::ToLowerChar(c) : c; }

// First occurrence of `what` in `s` at or after `from` (0-based); npos when none.
size_t Find(StringView s, StringView what, size_t from, bool text) {
    if (what.empty()) return from <= s.size() ? from : StringView::npos;
    if (!text) return s.find(what, from);
    for (size_t i = from; i + what.size() <= s.size(); ++i) {
        size_t k = 0;
        while (k < what.size() && Fold(s[i + k], true) == Fold(what[k], true)) ++k;
        if (k == what.size()) return i;
    }
    return StringView::npos;
}

// Last occurrence of `what` ending at or before `end` (exclusive end, 0-based).
size_t FindLast(StringView s, StringView what, size_t end, bool text) {
    if (what.size() > end) return StringView::npos;
    for (size_t i = end - what.size() + 1; i-- > 0;) {
        size_t k = 0;
        while (k < what.size() && Fold(s[i + k], text) == Fold(what[k], text)) ++k;
        if (k == what.size()) return i;
    }
    return StringView::npos;
}

// ---- Windows-1252, which Asc and Chr speak ---------------------------------------

const char16_t k1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                            0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

char16_t FromAnsi(int code) { return code >= 0x80 && code < 0xA0 ? k1252[code - 0x80] : char16_t(code); }

int ToAnsi(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return c;
    for (int i = 0; i < 32; ++i)
        if (k1252[i] == c) return 0x80 + i;
    return '?';
}

// ---- Text ------------------------------------------------------------------------------

CValue BiLen(RuntimeState&, Args args) {
    const CValue v = Arg(args, 0);
    if (v.IsNull()) return v;
    return CValue::Long(int32_t(ops::ToString(v).size()));
}

CValue BiLeft(RuntimeState&, Args args) {
    const CValue s = Arg(args, 0);
    const int32_t n = LongArg(args, 1);
    if (n < 0) Raise(err::kInvalidCall);
    if (s.IsNull()) return s;
    const String t = ops::ToString(s);
    return CValue::Str(t.substr(0, size_t(n)));
}

CValue BiRight(RuntimeState&, Args args) {
    const CValue s = Arg(args, 0);
    const int32_t n = LongArg(args, 1);
    if (n < 0) Raise(err::kInvalidCall);
    if (s.IsNull()) return s;
    const String t = ops::ToString(s);
    return CValue::Str(size_t(n) >= t.size() ? t : t.substr(t.size() - size_t(n)));
}

CValue BiMid(RuntimeState&, Args args) {
    const CValue s = Arg(args, 0);
    const int32_t start = LongArg(args, 1);
    const bool whole = !Given(args, 2);
    const int32_t length = whole ? 0 : LongArg(args, 2);
    if (start < 1 || length < 0) Raise(err::kInvalidCall);
    if (s.IsNull()) return s;
    const String t = ops::ToString(s);
    if (size_t(start) > t.size()) return CValue::Str(String());
    return CValue::Str(t.substr(size_t(start) - 1, whole ? String::npos : size_t(length)));
}

CValue BiLCase(RuntimeState&, Args args) {
    const CValue s = Arg(args, 0);
    return s.IsNull() ? s : CValue::Str(ops::ToLower(ops::ToString(s)));
}

CValue BiUCase(RuntimeState&, Args args) {
    const CValue s = Arg(args, 0);
    return s.IsNull() ? s : CValue::Str(ops::ToUpper(ops::ToString(s)));
}

CValue Trimmed(Args args, bool left, bool right) {
    const CValue s = Arg(args, 0);
    if (s.IsNull()) return s;
    const String t = ops::ToString(s);
    size_t b = 0, e = t.size();
    if (left)
        while (b < e && t[b] == u' ') ++b;
    if (right)
        while (e > b && t[e - 1] == u' ') --e;
    return CValue::Str(t.substr(b, e - b));
}

CValue BiTrim(RuntimeState&, Args args) { return Trimmed(args, true, true); }
CValue BiLTrim(RuntimeState&, Args args) { return Trimmed(args, true, false); }
CValue BiRTrim(RuntimeState&, Args args) { return Trimmed(args, false, true); }

CValue BiSpace(RuntimeState&, Args args) {
    const int32_t n = LongArg(args, 0);
    if (n < 0) Raise(err::kInvalidCall);
    CheckLength(size_t(n));
    return CValue::Str(String(size_t(n), u' '));
}

CValue BiString(RuntimeState&, Args args) {
    const CValue count = Arg(args, 0), what = Arg(args, 1);
    if (count.IsNull() || what.IsNull()) return CValue::Null();
    const int32_t n = ops::ToLong(count);
    if (n < 0) Raise(err::kInvalidCall);
    char16_t c;
    if (what.IsString()) {
        if (what.str().empty()) Raise(err::kInvalidCall);
        c = what.str()[0];
    } else {
        const int32_t code = ops::ToLong(what);
        if (code < -32768 || code > 65535) Raise(err::kInvalidCall);
        c = code >= 0 && code < 256 ? FromAnsi(code) : char16_t(code);
    }
    CheckLength(size_t(n));
    return CValue::Str(String(size_t(n), c));
}

CValue BiStrReverse(RuntimeState&, Args args) {
    String s = TextArg(args, 0);
    std::reverse(s.begin(), s.end());
    return CValue::Str(std::move(s));
}

CValue BiAsc(RuntimeState&, Args args) {
    const String s = TextArg(args, 0);
    if (s.empty()) Raise(err::kInvalidCall);
    return CValue::Integer(int16_t(ToAnsi(s[0])));
}

CValue BiAscB(RuntimeState&, Args args) {
    const String s = TextArg(args, 0);
    if (s.empty()) Raise(err::kInvalidCall);
    return CValue::Integer(int16_t(s[0] & 0xFF));
}

CValue BiAscW(RuntimeState&, Args args) {
    const String s = TextArg(args, 0);
    if (s.empty()) Raise(err::kInvalidCall);
    return CValue::Integer(int16_t(s[0]));
}

CValue BiChr(RuntimeState&, Args args) {
    const int32_t code = LongArg(args, 0);
    if (code < 0 || code > 255) Raise(err::kInvalidCall);
    return CValue::Str(String(1, FromAnsi(code)));
}

CValue BiChrB(RuntimeState&, Args args) {
    const int32_t code = LongArg(args, 0);
    if (code < 0 || code > 255) Raise(err::kInvalidCall);
    return CValue::Str(String(1, char16_t(code)));
}

CValue BiChrW(RuntimeState&, Args args) {
    const int32_t code = LongArg(args, 0);
    if (code < -32768 || code > 65535) Raise(err::kInvalidCall);
    return CValue::Str(String(1, char16_t(code & 0xFFFF)));
}

// InStr([start,] text, what[, compare])
CValue BiInStr(RuntimeState&, Args args) {
    size_t i = 0;
    int32_t start = 1;
    if (args.size() >= 3) {
        start = LongArg(args, 0);
        i = 1;
    }
    if (start < 1) Raise(err::kInvalidCall);
    const bool text = args.size() >= 4 && TextCompareArg(args, 3);
    const CValue s = Arg(args, i), what = Arg(args, i + 1);
    if (s.IsNull() || what.IsNull()) return CValue::Null();
    const String t = ops::ToString(s), w = ops::ToString(what);
    if (t.empty() || size_t(start) > t.size()) return CValue::Long(0);
    const size_t at = Find(t, w, size_t(start) - 1, text);
    return CValue::Long(at == StringView::npos ? 0 : int32_t(at) + 1);
}

// InStrB([start,] text, what[, compare]): positions count the bytes of the
// UTF-16 text, low byte first.
CValue BiInStrB(RuntimeState&, Args args) {
    size_t i = 0;
    int32_t start = 1;
    if (args.size() >= 3) {
        start = LongArg(args, 0);
        i = 1;
    }
    if (start < 1) Raise(err::kInvalidCall);
    const bool text = args.size() >= 4 && TextCompareArg(args, 3);
    const CValue s = Arg(args, i), what = Arg(args, i + 1);
    if (s.IsNull() || what.IsNull()) return CValue::Null();
    auto bytes = [text](const String& t) {
        std::string b;
        for (char16_t c : t) {
            c = Fold(c, text);
            b.push_back(char(c & 0xFF));
            b.push_back(char(c >> 8));
        }
        return b;
    };
    const std::string t = bytes(ops::ToString(s)), w = bytes(ops::ToString(what));
    if (t.empty() || size_t(start) > t.size()) return CValue::Long(0);
    if (w.empty()) return CValue::Long(start);
    const size_t at = t.find(w, size_t(start) - 1);
    return CValue::Long(at == std::string::npos ? 0 : int32_t(at) + 1);
}

// InStrRev(text, what[, start[, compare]])
CValue BiInStrRev(RuntimeState&, Args args) {
    const int32_t start = LongArg(args, 2, -1);
    if (start == 0 || start < -1) Raise(err::kInvalidCall);
    const bool text = TextCompareArg(args, 3);
    const CValue s = Arg(args, 0), what = Arg(args, 1);
    if (what.IsNull()) Raise(err::kInvalidUseOfNull);  // unlike InStr's
    if (s.IsNull()) return CValue::Null();
    const String t = ops::ToString(s), w = ops::ToString(what);
    if (t.empty()) return CValue::Long(0);
    if (start != -1 && size_t(start) > t.size()) return CValue::Long(0);
    const size_t end = start == -1 ? t.size() : size_t(start);
    if (w.empty()) return CValue::Long(int32_t(end));
    const size_t at = FindLast(t, w, end, text);
    return CValue::Long(at == StringView::npos ? 0 : int32_t(at) + 1);
}

// Replace(text, find, with[, start[, count[, compare]]]): the result begins
// at `start`.
CValue BiReplace(RuntimeState&, Args args) {
    const CValue s = Arg(args, 0), find = Arg(args, 1), with = Arg(args, 2);
    NotNull(s), NotNull(find), NotNull(with);
    const int32_t start = LongArg(args, 3, 1);
    const int32_t count = LongArg(args, 4, -1);
    if (start < 1 || count < -1) Raise(err::kInvalidCall);
    const bool text = TextCompareArg(args, 5);
    const String t = ops::ToString(s), f = ops::ToString(find), w = ops::ToString(with);
    if (size_t(start) > t.size()) return CValue::Str(String());
    const StringView rest = StringView(t).substr(size_t(start) - 1);
    if (f.empty() || count == 0) return CValue::Str(String(rest));
    String out;
    size_t pos = 0;
    for (int32_t done = 0; count < 0 || done < count; ++done) {
        const size_t at = Find(rest, f, pos, text);
        if (at == StringView::npos) break;
        out.append(rest.substr(pos, at - pos));
        out.append(w);
        CheckLength(out.size());
        pos = at + f.size();
    }
    out.append(rest.substr(pos));
    return CValue::Str(std::move(out));
}

CValue BiStrComp(RuntimeState&, Args args) {
    const CValue a = Arg(args, 0), b = Arg(args, 1);
    const bool text = TextCompareArg(args, 2);
    if (a.IsNull() || b.IsNull()) return CValue::Null();
    const int c = ops::Compare(CValue::Str(ops::ToString(a)), CValue::Str(ops::ToString(b)), text);
    return CValue::Integer(int16_t(c));
}

// Split(text[, delimiter[, count[, compare]]])
CValue BiSplit(RuntimeState&, Args args) {
    const String s = TextArg(args, 0);
    const String delimiter = Given(args, 1) ? TextArg(args, 1) : String(u" ");
    const int32_t count = LongArg(args, 2, -1);
    if (count < -1) Raise(err::kInvalidCall);
    const bool text = TextCompareArg(args, 3);
    std::vector<CValue> parts;
    if (s.empty() || count == 0) return CValue::Arr(NewArray(std::move(parts)));
    if (delimiter.empty()) {
        parts.push_back(CValue::Str(s));
        return CValue::Arr(NewArray(std::move(parts)));
    }
    size_t pos = 0;
    while (count < 0 || int32_t(parts.size()) < count - 1) {
        const size_t at = Find(s, delimiter, pos, text);
        if (at == StringView::npos) break;
        parts.push_back(CValue::Str(s.substr(pos, at - pos)));
        pos = at + delimiter.size();
    }
    parts.push_back(CValue::Str(s.substr(pos)));
    return CValue::Arr(NewArray(std::move(parts)));
}

CValue BiJoin(RuntimeState&, Args args) {
    const CValue list = Arg(args, 0);
    if (list.IsNull()) Raise(err::kInvalidUseOfNull);
    const Array& a = ArrayArg(list);
    if (a.Dimensions() != 1) Raise(err::kInvalidCall);
    const String delimiter = Given(args, 1) ? TextArg(args, 1) : String(u" ");
    String out;
    for (size_t i = 0; i < a.data.size(); ++i) {
        if (i) out += delimiter;
        const CValue item = Plain(a.data[i]);
        if (!item.IsNull()) out += ops::ToString(item);
        CheckLength(out.size());
    }
    return CValue::Str(std::move(out));
}

// Filter(list, match[, include[, compare]])
CValue BiFilter(RuntimeState&, Args args) {
    const CValue list = Arg(args, 0);
    const Array& a = ArrayArg(list);
    if (a.Dimensions() != 1) Raise(err::kInvalidCall);
    const String match = TextArg(args, 1);
    const bool include = !Given(args, 2) || ops::ToBool(Arg(args, 2));
    const bool text = TextCompareArg(args, 3);
    std::vector<CValue> kept;
    for (const CValue& raw : a.data) {
        const CValue item = Plain(raw);
        const String s = item.IsNull() ? String() : ops::ToString(item);
        const bool found = Find(s, match, 0, text) != StringView::npos;
        if (found == include) kept.push_back(CValue::Str(s));
    }
    return CValue::Arr(NewArray(std::move(kept)));
}

bool Unreserved(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           std::strchr("@*_+-./", int(c)) != nullptr;
}

CValue BiEscape(RuntimeState&, Args args) {
    const CValue v = Arg(args, 0);
    if (v.IsNull()) return v;
    const String s = ops::ToString(v);
    String out;
    char buf[8];
    for (char16_t c : s) {
        if (c && c < 0x80 && Unreserved(c)) {
            out.push_back(c);
            continue;
        }
        if (c < 0x100)
            std::snprintf(buf, sizeof buf, "%%%02X", unsigned(c));
        else
            std::snprintf(buf, sizeof buf, "%%u%04X", unsigned(c));
        out += Ascii(buf);
    }
    return CValue::Str(std::move(out));
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads `n` hex digits at `at`; -1 when they are not all there.
int HexRun(StringView s, size_t at, size_t n) {
    if (at + n > s.size()) return -1;
    int v = 0;
    for (size_t i = 0; i < n; ++i) {
        const int d = HexDigit(s[at + i]);
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

CValue BiUnescape(RuntimeState&, Args args) {
    const CValue v = Arg(args, 0);
    if (v.IsNull()) return v;
    const String s = ops::ToString(v);
    String out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'%') {
            if (i + 1 < s.size() && s[i + 1] == u'u') {
                const int c = HexRun(s, i + 2, 4);
                if (c >= 0) {
                    out.push_back(char16_t(c));
                    i += 5;
                    continue;
                }
            } else {
                const int c = HexRun(s, i + 1, 2);
                if (c >= 0) {
                    out.push_back(char16_t(c));
                    i += 2;
                    continue;
                }
            }
        }
        out.push_back(s[i]);  // not an escape: kept as it is
    }
    return CValue::Str(std::move(out));
}

}  // namespace script::builtins_detail
