// The run-time library: the built-in functions and constants.
//
// Each function receives its arguments as the caller evaluated them; an
// omitted optional argument is Missing. Functions that convert call Plain
// first; the type tests look at the argument as it came. Text functions
// answer Null for a Null text where the language does (Left, Mid, LCase,
// Len, InStr...) and throw Invalid use of Null where it does (Asc, Replace,
// Split, StrReverse). Bad counts and positions throw Invalid procedure
// call.
//
// The tables are sorted once, on first use (a function-local static, so the
// initialisation is thread-safe), and searched by binary search ignoring
// ASCII case.
#include "Builtins.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "DateTime.h"
#include "Engine.h"
#include "Operators.h"

namespace script {

Value Plain(const Value& v) {
    if (!v.IsObject()) return v;
    if (v.IsNothing()) Raise(err::kObjectNotSet);
    Value r = v.object()->Invoke(StringView(), kCallGet | kCallMethod, {});
    // A default member that answers an object again: one more step.
    if (r.IsObject()) {
        if (r.IsNothing()) Raise(err::kObjectNotSet);
        r = r.object()->Invoke(StringView(), kCallGet | kCallMethod, {});
        if (r.IsObject()) Raise(err::kTypeMismatch);
    }
    return r;
}

namespace {

using Args = std::span<const Value>;

// Longest text the library builds (Space, String, Replace): beyond it
// "Out of string space" rather than exhausting memory.
constexpr size_t kMaxText = kMaxStringLength;

bool Given(Args args, size_t i) { return i < args.size() && !args[i].IsMissing(); }

Value Arg(Args args, size_t i) { return Plain(args[i]); }

void NotNull(const Value& v) {
    if (v.IsNull()) Raise(err::kInvalidUseOfNull);
}

String TextArg(Args args, size_t i) { return ops::ToString(Plain(args[i])); }

int32_t LongArg(Args args, size_t i) {
    const Value v = Plain(args[i]);
    NotNull(v);
    return ops::ToLong(v);
}

int32_t LongArg(Args args, size_t i, int32_t fallback) {
    return Given(args, i) ? LongArg(args, i) : fallback;
}

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

String Ascii(const char* s) {
    String out;
    while (*s) out.push_back(char16_t(static_cast<unsigned char>(*s++)));
    return out;
}

std::shared_ptr<Array> NewArray(std::vector<Value> items) {
    auto a = std::make_shared<Array>();
    a->upper.push_back(int32_t(items.size()) - 1);
    a->data = std::move(items);
    return a;
}

const Array& ArrayArg(const Value& v) {
    if (!v.IsArray() || !v.array()) Raise(err::kTypeMismatch);
    return *v.array();
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

Value BiLen(RuntimeState&, Args args) {
    const Value v = Arg(args, 0);
    if (v.IsNull()) return v;
    return Value::Long(int32_t(ops::ToString(v).size()));
}

Value BiLeft(RuntimeState&, Args args) {
    const Value s = Arg(args, 0);
    const int32_t n = LongArg(args, 1);
    if (n < 0) Raise(err::kInvalidCall);
    if (s.IsNull()) return s;
    const String t = ops::ToString(s);
    return Value::Str(t.substr(0, size_t(n)));
}

Value BiRight(RuntimeState&, Args args) {
    const Value s = Arg(args, 0);
    const int32_t n = LongArg(args, 1);
    if (n < 0) Raise(err::kInvalidCall);
    if (s.IsNull()) return s;
    const String t = ops::ToString(s);
    return Value::Str(size_t(n) >= t.size() ? t : t.substr(t.size() - size_t(n)));
}

Value BiMid(RuntimeState&, Args args) {
    const Value s = Arg(args, 0);
    const int32_t start = LongArg(args, 1);
    const bool whole = !Given(args, 2);
    const int32_t length = whole ? 0 : LongArg(args, 2);
    if (start < 1 || length < 0) Raise(err::kInvalidCall);
    if (s.IsNull()) return s;
    const String t = ops::ToString(s);
    if (size_t(start) > t.size()) return Value::Str(String());
    return Value::Str(t.substr(size_t(start) - 1, whole ? String::npos : size_t(length)));
}

Value BiLCase(RuntimeState&, Args args) {
    const Value s = Arg(args, 0);
    return s.IsNull() ? s : Value::Str(ops::ToLower(ops::ToString(s)));
}

Value BiUCase(RuntimeState&, Args args) {
    const Value s = Arg(args, 0);
    return s.IsNull() ? s : Value::Str(ops::ToUpper(ops::ToString(s)));
}

Value Trimmed(Args args, bool left, bool right) {
    const Value s = Arg(args, 0);
    if (s.IsNull()) return s;
    const String t = ops::ToString(s);
    size_t b = 0, e = t.size();
    if (left)
        while (b < e && t[b] == u' ') ++b;
    if (right)
        while (e > b && t[e - 1] == u' ') --e;
    return Value::Str(t.substr(b, e - b));
}

Value BiTrim(RuntimeState&, Args args) { return Trimmed(args, true, true); }
Value BiLTrim(RuntimeState&, Args args) { return Trimmed(args, true, false); }
Value BiRTrim(RuntimeState&, Args args) { return Trimmed(args, false, true); }

Value BiSpace(RuntimeState&, Args args) {
    const int32_t n = LongArg(args, 0);
    if (n < 0) Raise(err::kInvalidCall);
    CheckLength(size_t(n));
    return Value::Str(String(size_t(n), u' '));
}

Value BiString(RuntimeState&, Args args) {
    const Value count = Arg(args, 0), what = Arg(args, 1);
    if (count.IsNull() || what.IsNull()) return Value::Null();
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
    return Value::Str(String(size_t(n), c));
}

Value BiStrReverse(RuntimeState&, Args args) {
    String s = TextArg(args, 0);
    std::reverse(s.begin(), s.end());
    return Value::Str(std::move(s));
}

Value BiAsc(RuntimeState&, Args args) {
    const String s = TextArg(args, 0);
    if (s.empty()) Raise(err::kInvalidCall);
    return Value::Integer(int16_t(ToAnsi(s[0])));
}

Value BiAscB(RuntimeState&, Args args) {
    const String s = TextArg(args, 0);
    if (s.empty()) Raise(err::kInvalidCall);
    return Value::Integer(int16_t(s[0] & 0xFF));
}

Value BiAscW(RuntimeState&, Args args) {
    const String s = TextArg(args, 0);
    if (s.empty()) Raise(err::kInvalidCall);
    return Value::Integer(int16_t(s[0]));
}

Value BiChr(RuntimeState&, Args args) {
    const int32_t code = LongArg(args, 0);
    if (code < 0 || code > 255) Raise(err::kInvalidCall);
    return Value::Str(String(1, FromAnsi(code)));
}

Value BiChrB(RuntimeState&, Args args) {
    const int32_t code = LongArg(args, 0);
    if (code < 0 || code > 255) Raise(err::kInvalidCall);
    return Value::Str(String(1, char16_t(code)));
}

Value BiChrW(RuntimeState&, Args args) {
    const int32_t code = LongArg(args, 0);
    if (code < -32768 || code > 65535) Raise(err::kInvalidCall);
    return Value::Str(String(1, char16_t(code & 0xFFFF)));
}

// InStr([start,] text, what[, compare])
Value BiInStr(RuntimeState&, Args args) {
    size_t i = 0;
    int32_t start = 1;
    if (args.size() >= 3) {
        start = LongArg(args, 0);
        i = 1;
    }
    if (start < 1) Raise(err::kInvalidCall);
    const bool text = args.size() >= 4 && TextCompareArg(args, 3);
    const Value s = Arg(args, i), what = Arg(args, i + 1);
    if (s.IsNull() || what.IsNull()) return Value::Null();
    const String t = ops::ToString(s), w = ops::ToString(what);
    if (t.empty() || size_t(start) > t.size()) return Value::Long(0);
    const size_t at = Find(t, w, size_t(start) - 1, text);
    return Value::Long(at == StringView::npos ? 0 : int32_t(at) + 1);
}

// InStrB([start,] text, what[, compare]): positions count the bytes of the
// UTF-16 text, low byte first.
Value BiInStrB(RuntimeState&, Args args) {
    size_t i = 0;
    int32_t start = 1;
    if (args.size() >= 3) {
        start = LongArg(args, 0);
        i = 1;
    }
    if (start < 1) Raise(err::kInvalidCall);
    const bool text = args.size() >= 4 && TextCompareArg(args, 3);
    const Value s = Arg(args, i), what = Arg(args, i + 1);
    if (s.IsNull() || what.IsNull()) return Value::Null();
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
    if (t.empty() || size_t(start) > t.size()) return Value::Long(0);
    if (w.empty()) return Value::Long(start);
    const size_t at = t.find(w, size_t(start) - 1);
    return Value::Long(at == std::string::npos ? 0 : int32_t(at) + 1);
}

// InStrRev(text, what[, start[, compare]])
Value BiInStrRev(RuntimeState&, Args args) {
    const int32_t start = LongArg(args, 2, -1);
    if (start == 0 || start < -1) Raise(err::kInvalidCall);
    const bool text = TextCompareArg(args, 3);
    const Value s = Arg(args, 0), what = Arg(args, 1);
    if (what.IsNull()) Raise(err::kInvalidUseOfNull);  // unlike InStr's
    if (s.IsNull()) return Value::Null();
    const String t = ops::ToString(s), w = ops::ToString(what);
    if (t.empty()) return Value::Long(0);
    if (start != -1 && size_t(start) > t.size()) return Value::Long(0);
    const size_t end = start == -1 ? t.size() : size_t(start);
    if (w.empty()) return Value::Long(int32_t(end));
    const size_t at = FindLast(t, w, end, text);
    return Value::Long(at == StringView::npos ? 0 : int32_t(at) + 1);
}

// Replace(text, find, with[, start[, count[, compare]]]): the result begins
// at `start`.
Value BiReplace(RuntimeState&, Args args) {
    const Value s = Arg(args, 0), find = Arg(args, 1), with = Arg(args, 2);
    NotNull(s), NotNull(find), NotNull(with);
    const int32_t start = LongArg(args, 3, 1);
    const int32_t count = LongArg(args, 4, -1);
    if (start < 1 || count < -1) Raise(err::kInvalidCall);
    const bool text = TextCompareArg(args, 5);
    const String t = ops::ToString(s), f = ops::ToString(find), w = ops::ToString(with);
    if (size_t(start) > t.size()) return Value::Str(String());
    const StringView rest = StringView(t).substr(size_t(start) - 1);
    if (f.empty() || count == 0) return Value::Str(String(rest));
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
    return Value::Str(std::move(out));
}

Value BiStrComp(RuntimeState&, Args args) {
    const Value a = Arg(args, 0), b = Arg(args, 1);
    const bool text = TextCompareArg(args, 2);
    if (a.IsNull() || b.IsNull()) return Value::Null();
    const int c = ops::Compare(Value::Str(ops::ToString(a)), Value::Str(ops::ToString(b)), text);
    return Value::Integer(int16_t(c));
}

// Split(text[, delimiter[, count[, compare]]])
Value BiSplit(RuntimeState&, Args args) {
    const String s = TextArg(args, 0);
    const String delimiter = Given(args, 1) ? TextArg(args, 1) : String(u" ");
    const int32_t count = LongArg(args, 2, -1);
    if (count < -1) Raise(err::kInvalidCall);
    const bool text = TextCompareArg(args, 3);
    std::vector<Value> parts;
    if (s.empty() || count == 0) return Value::Arr(NewArray(std::move(parts)));
    if (delimiter.empty()) {
        parts.push_back(Value::Str(s));
        return Value::Arr(NewArray(std::move(parts)));
    }
    size_t pos = 0;
    while (count < 0 || int32_t(parts.size()) < count - 1) {
        const size_t at = Find(s, delimiter, pos, text);
        if (at == StringView::npos) break;
        parts.push_back(Value::Str(s.substr(pos, at - pos)));
        pos = at + delimiter.size();
    }
    parts.push_back(Value::Str(s.substr(pos)));
    return Value::Arr(NewArray(std::move(parts)));
}

Value BiJoin(RuntimeState&, Args args) {
    const Value list = Arg(args, 0);
    if (list.IsNull()) Raise(err::kInvalidUseOfNull);
    const Array& a = ArrayArg(list);
    if (a.Dimensions() != 1) Raise(err::kInvalidCall);
    const String delimiter = Given(args, 1) ? TextArg(args, 1) : String(u" ");
    String out;
    for (size_t i = 0; i < a.data.size(); ++i) {
        if (i) out += delimiter;
        const Value item = Plain(a.data[i]);
        if (!item.IsNull()) out += ops::ToString(item);
        CheckLength(out.size());
    }
    return Value::Str(std::move(out));
}

// Filter(list, match[, include[, compare]])
Value BiFilter(RuntimeState&, Args args) {
    const Value list = Arg(args, 0);
    const Array& a = ArrayArg(list);
    if (a.Dimensions() != 1) Raise(err::kInvalidCall);
    const String match = TextArg(args, 1);
    const bool include = !Given(args, 2) || ops::ToBool(Arg(args, 2));
    const bool text = TextCompareArg(args, 3);
    std::vector<Value> kept;
    for (const Value& raw : a.data) {
        const Value item = Plain(raw);
        const String s = item.IsNull() ? String() : ops::ToString(item);
        const bool found = Find(s, match, 0, text) != StringView::npos;
        if (found == include) kept.push_back(Value::Str(s));
    }
    return Value::Arr(NewArray(std::move(kept)));
}

bool Unreserved(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           std::strchr("@*_+-./", int(c)) != nullptr;
}

Value BiEscape(RuntimeState&, Args args) {
    const Value v = Arg(args, 0);
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
    return Value::Str(std::move(out));
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

Value BiUnescape(RuntimeState&, Args args) {
    const Value v = Arg(args, 0);
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
    return Value::Str(std::move(out));
}

// ---- Conversions ----------------------------------------------------------------------

Value BiCBool(RuntimeState&, Args args) { return Value::Boolean(ops::ToBool(Arg(args, 0))); }
Value BiCByte(RuntimeState&, Args args) {
    const Value v = Arg(args, 0);
    if (v.type() == Type::Boolean) return Value::Byte(v.boolean() ? 255 : 0);  // True's bits
    return Value::Byte(ops::ToByte(v));
}
Value BiCInt(RuntimeState&, Args args) { return Value::Integer(ops::ToInteger(Arg(args, 0))); }
Value BiCLng(RuntimeState&, Args args) { return Value::Long(ops::ToLong(Arg(args, 0))); }
Value BiCSng(RuntimeState&, Args args) { return Value::Single(ops::ToSingle(Arg(args, 0))); }
Value BiCDbl(RuntimeState&, Args args) { return Value::Double(ops::ToDouble(Arg(args, 0))); }
Value BiCCur(RuntimeState&, Args args) { return Value::Currency(ops::ToCurrency(Arg(args, 0))); }
Value BiCDate(RuntimeState&, Args args) { return Value::Date(ops::ToDate(Arg(args, 0))); }
Value BiCStr(RuntimeState&, Args args) { return Value::Str(ops::ToString(Arg(args, 0))); }

// Hex and Oct: Integer-sized values as 16 bits, the rest as 32.
Value Radix(Args args, bool hex) {
    const Value v = Arg(args, 0);
    if (v.IsNull()) return v;
    const Type t = v.type();
    const int32_t n = ops::ToLong(v);
    const bool narrow = t == Type::Integer || t == Type::Byte || t == Type::Boolean || t == Type::Empty;
    const uint32_t bits = narrow ? uint32_t(uint16_t(n)) : uint32_t(n);
    char buf[16];
    std::snprintf(buf, sizeof buf, hex ? "%X" : "%o", unsigned(bits));
    return Value::Str(Ascii(buf));
}

Value BiHex(RuntimeState&, Args args) { return Radix(args, true); }
Value BiOct(RuntimeState&, Args args) { return Radix(args, false); }

// ---- Type tests -------------------------------------------------------------------------

Value BiIsArray(RuntimeState&, Args args) { return Value::Boolean(args[0].IsArray()); }
Value BiIsEmpty(RuntimeState&, Args args) { return Value::Boolean(args[0].IsEmpty()); }
Value BiIsNull(RuntimeState&, Args args) { return Value::Boolean(args[0].IsNull()); }
Value BiIsObject(RuntimeState&, Args args) { return Value::Boolean(args[0].IsObject()); }

Value BiIsNumeric(RuntimeState&, Args args) {
    Value v = args[0];
    if (v.IsObject()) {  // its default property's value, if it has one
        try {
            v = Plain(v);
        } catch (const ScriptError&) {
            return Value::Boolean(false);
        }
    }
    switch (v.type()) {
        case Type::Empty:
        case Type::Boolean: return Value::Boolean(true);
        case Type::String: {
            double d;
            return Value::Boolean(ops::ParseNumber(v.str(), &d));
        }
        default: return Value::Boolean(v.IsNumber());
    }
}

Value BiTypeName(RuntimeState&, Args args) {
    const Value& v = args[0];
    switch (v.type()) {
        case Type::Empty: return Value::Str(String(u"Empty"));
        case Type::Null: return Value::Str(String(u"Null"));
        case Type::Integer: return Value::Str(String(u"Integer"));
        case Type::Long: return Value::Str(String(u"Long"));
        case Type::Single: return Value::Str(String(u"Single"));
        case Type::Double: return Value::Str(String(u"Double"));
        case Type::Currency: return Value::Str(String(u"Currency"));
        case Type::Date: return Value::Str(String(u"Date"));
        case Type::String: return Value::Str(String(u"String"));
        case Type::Boolean: return Value::Str(String(u"Boolean"));
        case Type::Byte: return Value::Str(String(u"Byte"));
        case Type::Error: return Value::Str(String(u"Error"));
        case Type::Array: return Value::Str(String(u"Variant()"));
        case Type::Object: return Value::Str(v.IsNothing() ? String(u"Nothing") : v.object()->TypeName());
    }
    return Value::Str(String(u"Unknown"));
}

Value BiVarType(RuntimeState&, Args args) { return Value::Integer(int16_t(args[0].type())); }

// ---- Arrays -----------------------------------------------------------------------------

Value BiArray(RuntimeState&, Args args) {
    std::vector<Value> items(args.begin(), args.end());
    for (Value& v : items)
        if (v.IsMissing()) v = Value();
    return Value::Arr(NewArray(std::move(items)));
}

Value Bound(Args args, bool upper) {
    const Array& a = ArrayArg(args[0]);
    const int32_t dim = LongArg(args, 1, 1);
    if (dim < 1 || size_t(dim) > a.Dimensions()) Raise(err::kSubscript);
    return Value::Long(upper ? a.upper[size_t(dim) - 1] : 0);
}

Value BiLBound(RuntimeState&, Args args) { return Bound(args, false); }
Value BiUBound(RuntimeState&, Args args) { return Bound(args, true); }

// ---- Math ---------------------------------------------------------------------------------

double NumberArg(Args args, size_t i) {
    const Value v = Arg(args, i);
    NotNull(v);
    return ops::ToDouble(v);
}

Value Checked(double d) {
    if (std::isnan(d)) Raise(err::kInvalidCall);
    if (std::isinf(d)) Raise(err::kOverflow);
    return Value::Double(d);
}

Value BiAtn(RuntimeState&, Args args) { return Checked(std::atan(NumberArg(args, 0))); }
Value BiCos(RuntimeState&, Args args) { return Checked(std::cos(NumberArg(args, 0))); }
Value BiSin(RuntimeState&, Args args) { return Checked(std::sin(NumberArg(args, 0))); }
Value BiTan(RuntimeState&, Args args) { return Checked(std::tan(NumberArg(args, 0))); }
Value BiExp(RuntimeState&, Args args) { return Checked(std::exp(NumberArg(args, 0))); }

Value BiLog(RuntimeState&, Args args) {
    const double d = NumberArg(args, 0);
    if (!(d > 0)) Raise(err::kInvalidCall);
    return Checked(std::log(d));
}

Value BiSqr(RuntimeState&, Args args) {
    const double d = NumberArg(args, 0);
    if (d < 0) Raise(err::kInvalidCall);
    return Checked(std::sqrt(d));
}

Value BiSgn(RuntimeState&, Args args) {
    const double d = NumberArg(args, 0);
    return Value::Integer(int16_t(d > 0 ? 1 : d < 0 ? -1 : 0));
}

// Abs, Int, Fix and Round keep the subtype of their argument where it can
// hold the result; Null stays Null.
Value KeepType(const Value& v, double r) {
    switch (v.type()) {
        case Type::Integer:
        case Type::Byte:
        case Type::Empty:
        case Type::Boolean:
            if (r >= INT16_MIN && r <= INT16_MAX)
                return v.type() == Type::Byte && r >= 0 ? Value::Byte(uint8_t(r))
                                                        : Value::Integer(int16_t(r));
            [[fallthrough]];
        case Type::Long:
            if (r >= INT32_MIN && r <= INT32_MAX) return Value::Long(int32_t(r));
            return Value::Double(r);
        case Type::Single: return Value::Single(float(r));
        case Type::Currency: return Value::Currency(ops::ToCurrency(Value::Double(r)));
        case Type::Date: return Value::Date(r);
        default: return Value::Double(r);
    }
}

Value BiAbs(RuntimeState&, Args args) {
    const Value v = Arg(args, 0);
    if (v.IsNull()) return v;
    if (v.type() == Type::Currency) {
        if (v.currency() == INT64_MIN) Raise(err::kOverflow);
        return Value::Currency(v.currency() < 0 ? -v.currency() : v.currency());
    }
    const Value n = v.type() == Type::Date ? Value::Double(v.dbl()) : v;
    return KeepType(n, std::fabs(ops::ToDouble(n)));
}

Value BiInt(RuntimeState&, Args args) {
    const Value v = Arg(args, 0);
    if (v.IsNull()) return v;
    return KeepType(v, std::floor(ops::ToDouble(v)));
}

Value BiFix(RuntimeState&, Args args) {
    const Value v = Arg(args, 0);
    if (v.IsNull()) return v;
    return KeepType(v, std::trunc(ops::ToDouble(v)));
}

double RoundHalfEven(double x) {
    const double r = std::floor(x);
    const double diff = x - r;
    if (diff > 0.5) return r + 1;
    if (diff < 0.5) return r;
    return std::fmod(r, 2.0) == 0 ? r : r + 1;
}

Value BiRound(RuntimeState&, Args args) {
    const Value v = Arg(args, 0);
    const int32_t digits = LongArg(args, 1, 0);
    if (digits < 0 || digits > 22) Raise(err::kInvalidCall);
    if (v.IsNull()) return v;
    const double d = ops::ToDouble(v);
    double r;
    if (digits == 0) {
        r = RoundHalfEven(d);
    } else {
        const double scale = std::pow(10.0, digits);
        // The decimal text of the scaled value decides a tie, not its
        // binary neighbour (2.675 * 100 is 267.49999999999997).
        double scaled = d * scale;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", scaled);
        scaled = std::strtod(buf, nullptr);
        r = std::isfinite(scaled) ? RoundHalfEven(scaled) / scale : d;
    }
    if (v.type() == Type::String || v.type() == Type::Date) return Value::Double(r);
    if (v.type() == Type::Boolean) return Value::Boolean(r != 0);
    return KeepType(v, r);
}

// The generator: a 24-bit linear congruential sequence, as the language's
// Rnd has always produced it.
float NextRnd(RuntimeState& state) {
    state.rndSeed = (state.rndSeed * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return float(state.rndSeed) / 16777216.0f;
}

Value BiRnd(RuntimeState& state, Args args) {
    if (Given(args, 0)) {
        const float f = ops::ToSingle(Arg(args, 0));
        // The generator's state: the last number, or what Randomize seeded.
        if (f == 0) return Value::Single(float(state.rndSeed) / 16777216.0f);
        if (f < 0) {
            uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            state.rndSeed = (bits + (bits >> 24)) & 0xFFFFFFu;
        }
    }
    return Value::Single(NextRnd(state));
}

Value BiRandomize(RuntimeState& state, Args args) {
    double seed;
    if (Given(args, 0)) {
        seed = NumberArg(args, 0);
    } else {
        Host clock;
        const double now = state.host ? state.host->Now() : clock.Now();
        seed = std::fabs(now - std::trunc(now)) * 86400.0;
    }
    uint64_t bits;
    std::memcpy(&bits, &seed, sizeof bits);
    uint32_t high = uint32_t(bits >> 32);
    high ^= high >> 16;
    state.rndSeed = (state.rndSeed & 0xFFu) | ((high & 0xFFFFu) << 8);
    return Value();
}

Value BiRGB(RuntimeState&, Args args) {
    int32_t c[3];
    for (size_t i = 0; i < 3; ++i) {
        c[i] = LongArg(args, i);
        if (c[i] < 0) Raise(err::kInvalidCall);
        if (c[i] > 255) c[i] = 255;
    }
    return Value::Long(c[0] | (c[1] << 8) | (c[2] << 16));
}

// ---- Number formatting ------------------------------------------------------------------

// Tristate arguments: -1 true, 0 false, -2 (or missing) the default.
bool Tristate(Args args, size_t i, bool fallback) {
    const int32_t v = LongArg(args, i, -2);
    if (v == -2) return fallback;
    if (v != -1 && v != 0) Raise(err::kInvalidCall);
    return v == -1;
}

// `d` with `digits` decimals (halves away from zero), grouped in thousands.
String FormatFixed(double d, int digits, bool leadingZero, bool group) {
    char buf[640];  // 309 digits, the point, up to 255 decimals
    const double scale = std::pow(10.0, digits);
    double rounded = d;
    if (std::fabs(d) < 1e15) {
        // As Round: the decimal text of the scaled value decides.
        std::snprintf(buf, sizeof buf, "%.15g", d * scale);
        const double scaled = std::strtod(buf, nullptr);
        if (std::isfinite(scaled)) rounded = std::round(scaled) / scale;
    }
    std::snprintf(buf, sizeof buf, "%.*f", digits, std::fabs(rounded));
    String digitsText = Ascii(buf);
    const size_t dot = digitsText.find(u'.');
    String whole = digitsText.substr(0, dot);
    String fraction = dot == String::npos ? String() : digitsText.substr(dot);
    if (!leadingZero && whole == u"0" && !fraction.empty()) whole.clear();
    if (group && whole.size() > 3) {
        String grouped;
        for (size_t i = 0; i < whole.size(); ++i) {
            if (i && (whole.size() - i) % 3 == 0) grouped.push_back(u',');
            grouped.push_back(whole[i]);
        }
        whole = grouped;
    }
    return whole + fraction;
}

bool IsZeroText(const String& s) {
    for (char16_t c : s)
        if (c >= u'1' && c <= u'9') return false;
    return true;
}

enum class NumberStyle { kNumber, kCurrency, kPercent };

Value FormatAs(Args args, NumberStyle style) {
    const Value v = Arg(args, 0);
    NotNull(v);
    double d = ops::ToDouble(v);
    if (style == NumberStyle::kPercent) d *= 100;
    int32_t digits = LongArg(args, 1, -1);
    if (digits == -1) digits = 2;
    if (digits < 0 || digits > 255) Raise(err::kInvalidCall);
    const bool leadingZero = Tristate(args, 2, true);
    const bool parens = Tristate(args, 3, style == NumberStyle::kCurrency);
    const bool group = Tristate(args, 4, true);
    String body = FormatFixed(d, digits, leadingZero, group);
    if (style == NumberStyle::kCurrency) body = u"$" + body;
    if (style == NumberStyle::kPercent) body += u"%";
    if (d < 0 && !IsZeroText(body)) body = parens ? u"(" + body + u")" : u"-" + body;
    return Value::Str(std::move(body));
}

Value BiFormatNumber(RuntimeState&, Args args) { return FormatAs(args, NumberStyle::kNumber); }
Value BiFormatCurrency(RuntimeState&, Args args) { return FormatAs(args, NumberStyle::kCurrency); }
Value BiFormatPercent(RuntimeState&, Args args) { return FormatAs(args, NumberStyle::kPercent); }

// ---- The host -----------------------------------------------------------------------------

Host& HostOf(RuntimeState& state) {
    if (!state.host) Raise(err::kNotSupported, u"The script has no host");
    return *state.host;
}

Value BiCreateObject(RuntimeState& state, Args args) {
    const String progId = TextArg(args, 0);
    if (!state.host) Raise(err::kCannotCreate);
    return state.host->CreateObject(progId);
}

Value BiMsgBox(RuntimeState& state, Args args) {
    const String prompt = TextArg(args, 0);
    const int32_t buttons = LongArg(args, 1, 0);
    const String title = Given(args, 2) ? TextArg(args, 2) : String();
    return Value::Integer(int16_t(HostOf(state).MsgBox(prompt, buttons, title)));
}

Value BiInputBox(RuntimeState& state, Args args) {
    const String prompt = TextArg(args, 0);
    const String title = Given(args, 1) ? TextArg(args, 1) : String();
    const String initial = Given(args, 2) ? TextArg(args, 2) : String();
    String answer;
    if (!HostOf(state).InputBox(prompt, title, initial, &answer)) return Value::Str(String());
    return Value::Str(std::move(answer));
}

// ---- The engine's identity ------------------------------------------------------------------

Value BiScriptEngine(RuntimeState&, Args) { return Value::Str(String(u"VBScript")); }  // what scripts test for
Value BiScriptEngineMajorVersion(RuntimeState&, Args) { return Value::Long(5); }
Value BiScriptEngineMinorVersion(RuntimeState&, Args) { return Value::Long(8); }
Value BiScriptEngineBuildVersion(RuntimeState&, Args) { return Value::Long(1); }

// ---- Tables --------------------------------------------------------------------------------

int CompareNoCase(StringView a, StringView b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z') x = char16_t(x + 32);
        if (y >= u'A' && y <= u'Z') y = char16_t(y + 32);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

constexpr int8_t kAny = kAnyArgs;

const Builtin kBuiltins[] = {
    {u"Abs", 1, 1, BiAbs},
    {u"Array", 0, kAny, BiArray},
    {u"Asc", 1, 1, BiAsc},
    {u"AscB", 1, 1, BiAscB},
    {u"AscW", 1, 1, BiAscW},
    {u"Atn", 1, 1, BiAtn},
    {u"CBool", 1, 1, BiCBool},
    {u"CByte", 1, 1, BiCByte},
    {u"CCur", 1, 1, BiCCur},
    {u"CDate", 1, 1, BiCDate},
    {u"CDbl", 1, 1, BiCDbl},
    {u"Chr", 1, 1, BiChr},
    {u"ChrB", 1, 1, BiChrB},
    {u"ChrW", 1, 1, BiChrW},
    {u"CInt", 1, 1, BiCInt},
    {u"CLng", 1, 1, BiCLng},
    {u"Cos", 1, 1, BiCos},
    {u"CreateObject", 1, 2, BiCreateObject},
    {u"CSng", 1, 1, BiCSng},
    {u"CStr", 1, 1, BiCStr},
    {u"Date", 0, 0, dt::BiDate},
    {u"DateAdd", 3, 3, dt::BiDateAdd},
    {u"DateDiff", 3, 5, dt::BiDateDiff},
    {u"DatePart", 2, 4, dt::BiDatePart},
    {u"DateSerial", 3, 3, dt::BiDateSerial},
    {u"DateValue", 1, 1, dt::BiDateValue},
    {u"Day", 1, 1, dt::BiDay},
    {u"Escape", 1, 1, BiEscape},
    {u"Exp", 1, 1, BiExp},
    {u"Filter", 2, 4, BiFilter},
    {u"Fix", 1, 1, BiFix},
    {u"FormatCurrency", 1, 5, BiFormatCurrency},
    {u"FormatDateTime", 1, 2, dt::BiFormatDateTime},
    {u"FormatNumber", 1, 5, BiFormatNumber},
    {u"FormatPercent", 1, 5, BiFormatPercent},
    {u"Hex", 1, 1, BiHex},
    {u"Hour", 1, 1, dt::BiHour},
    {u"InputBox", 1, 7, BiInputBox},
    {u"InStr", 2, 4, BiInStr},
    {u"InStrB", 2, 4, BiInStrB},
    {u"InStrRev", 2, 4, BiInStrRev},
    {u"Int", 1, 1, BiInt},
    {u"IsArray", 1, 1, BiIsArray},
    {u"IsDate", 1, 1, dt::BiIsDate},
    {u"IsEmpty", 1, 1, BiIsEmpty},
    {u"IsNull", 1, 1, BiIsNull},
    {u"IsNumeric", 1, 1, BiIsNumeric},
    {u"IsObject", 1, 1, BiIsObject},
    {u"Join", 1, 2, BiJoin},
    {u"LBound", 1, 2, BiLBound},
    {u"LCase", 1, 1, BiLCase},
    {u"Left", 2, 2, BiLeft},
    {u"Len", 1, 1, BiLen},
    {u"Log", 1, 1, BiLog},
    {u"LTrim", 1, 1, BiLTrim},
    {u"Mid", 2, 3, BiMid},
    {u"Minute", 1, 1, dt::BiMinute},
    {u"Month", 1, 1, dt::BiMonth},
    {u"MonthName", 1, 2, dt::BiMonthName},
    {u"MsgBox", 1, 5, BiMsgBox},
    {u"Now", 0, 0, dt::BiNow},
    {u"Oct", 1, 1, BiOct},
    {u"Randomize", 0, 1, BiRandomize},
    {u"Replace", 3, 6, BiReplace},
    {u"RGB", 3, 3, BiRGB},
    {u"Right", 2, 2, BiRight},
    {u"Rnd", 0, 1, BiRnd},
    {u"Round", 1, 2, BiRound},
    {u"RTrim", 1, 1, BiRTrim},
    {u"ScriptEngine", 0, 0, BiScriptEngine},
    {u"ScriptEngineBuildVersion", 0, 0, BiScriptEngineBuildVersion},
    {u"ScriptEngineMajorVersion", 0, 0, BiScriptEngineMajorVersion},
    {u"ScriptEngineMinorVersion", 0, 0, BiScriptEngineMinorVersion},
    {u"Second", 1, 1, dt::BiSecond},
    {u"Sgn", 1, 1, BiSgn},
    {u"Sin", 1, 1, BiSin},
    {u"Space", 1, 1, BiSpace},
    {u"Split", 1, 4, BiSplit},
    {u"Sqr", 1, 1, BiSqr},
    {u"StrComp", 2, 3, BiStrComp},
    {u"String", 2, 2, BiString},
    {u"StrReverse", 1, 1, BiStrReverse},
    {u"Tan", 1, 1, BiTan},
    {u"Time", 0, 0, dt::BiTime},
    {u"Timer", 0, 0, dt::BiTimer},
    {u"TimeSerial", 3, 3, dt::BiTimeSerial},
    {u"TimeValue", 1, 1, dt::BiTimeValue},
    {u"Trim", 1, 1, BiTrim},
    {u"TypeName", 1, 1, BiTypeName},
    {u"UBound", 1, 2, BiUBound},
    {u"UCase", 1, 1, BiUCase},
    {u"Unescape", 1, 1, BiUnescape},
    {u"VarType", 1, 1, BiVarType},
    {u"Weekday", 1, 2, dt::BiWeekday},
    {u"WeekdayName", 1, 3, dt::BiWeekdayName},
    {u"Year", 1, 1, dt::BiYear},
};

struct Constant {
    const char16_t* name;
    Value value;
};

std::vector<Constant> MakeConstants() {
    auto i = [](int v) { return Value::Integer(int16_t(v)); };
    auto l = [](int32_t v) { return Value::Long(v); };
    auto s = [](const char16_t* v) { return Value::Str(StringView(v)); };
    std::vector<Constant> c = {
        {u"vbCrLf", s(u"\r\n")},
        {u"vbCr", s(u"\r")},
        {u"vbLf", s(u"\n")},
        {u"vbNewLine", s(u"\r\n")},
        {u"vbTab", s(u"\t")},
        {u"vbNullString", s(u"")},
        {u"vbNullChar", Value::Str(String(1, u'\0'))},
        {u"vbBack", s(u"\b")},
        {u"vbFormFeed", s(u"\f")},
        {u"vbVerticalTab", s(u"\v")},
        {u"vbTrue", i(-1)},
        {u"vbFalse", i(0)},
        {u"vbUseDefault", i(-2)},
        {u"vbBinaryCompare", i(0)},
        {u"vbTextCompare", i(1)},
        {u"vbDatabaseCompare", i(2)},
        {u"vbOKOnly", i(0)},
        {u"vbOKCancel", i(1)},
        {u"vbAbortRetryIgnore", i(2)},
        {u"vbYesNoCancel", i(3)},
        {u"vbYesNo", i(4)},
        {u"vbRetryCancel", i(5)},
        {u"vbCritical", i(16)},
        {u"vbQuestion", i(32)},
        {u"vbExclamation", i(48)},
        {u"vbInformation", i(64)},
        {u"vbDefaultButton1", i(0)},
        {u"vbDefaultButton2", i(256)},
        {u"vbDefaultButton3", i(512)},
        {u"vbDefaultButton4", i(768)},
        {u"vbApplicationModal", i(0)},
        {u"vbSystemModal", i(4096)},
        {u"vbMsgBoxHelpButton", l(16384)},
        {u"vbMsgBoxSetForeground", l(65536)},
        {u"vbMsgBoxRight", l(524288)},
        {u"vbMsgBoxRtlReading", l(1048576)},
        {u"vbOK", i(1)},
        {u"vbCancel", i(2)},
        {u"vbAbort", i(3)},
        {u"vbRetry", i(4)},
        {u"vbIgnore", i(5)},
        {u"vbYes", i(6)},
        {u"vbNo", i(7)},
        {u"vbSunday", i(1)},
        {u"vbMonday", i(2)},
        {u"vbTuesday", i(3)},
        {u"vbWednesday", i(4)},
        {u"vbThursday", i(5)},
        {u"vbFriday", i(6)},
        {u"vbSaturday", i(7)},
        {u"vbUseSystemDayOfWeek", i(0)},
        {u"vbUseSystem", i(0)},
        {u"vbFirstJan1", i(1)},
        {u"vbFirstFourDays", i(2)},
        {u"vbFirstFullWeek", i(3)},
        {u"vbGeneralDate", i(0)},
        {u"vbLongDate", i(1)},
        {u"vbShortDate", i(2)},
        {u"vbLongTime", i(3)},
        {u"vbShortTime", i(4)},
        {u"vbEmpty", i(0)},
        {u"vbNull", i(1)},
        {u"vbInteger", i(2)},
        {u"vbLong", i(3)},
        {u"vbSingle", i(4)},
        {u"vbDouble", i(5)},
        {u"vbCurrency", i(6)},
        {u"vbDate", i(7)},
        {u"vbString", i(8)},
        {u"vbObject", i(9)},
        {u"vbError", i(10)},
        {u"vbBoolean", i(11)},
        {u"vbVariant", i(12)},
        {u"vbDataObject", i(13)},
        {u"vbDecimal", i(14)},
        {u"vbByte", i(17)},
        {u"vbArray", i(8192)},
        {u"vbObjectError", l(int32_t(0x80040000u))},
        {u"vbBlack", l(0)},
        {u"vbRed", l(0xFF)},
        {u"vbGreen", l(0xFF00)},
        {u"vbYellow", l(0xFFFF)},
        {u"vbBlue", l(0xFF0000)},
        {u"vbMagenta", l(0xFF00FF)},
        {u"vbCyan", l(0xFFFF00)},
        {u"vbWhite", l(0xFFFFFF)},
    };
    std::sort(c.begin(), c.end(),
              [](const Constant& a, const Constant& b) { return CompareNoCase(a.name, b.name) < 0; });
    return c;
}

std::vector<const Builtin*> MakeBuiltinIndex() {
    std::vector<const Builtin*> index;
    for (const Builtin& b : kBuiltins) index.push_back(&b);
    std::sort(index.begin(), index.end(),
              [](const Builtin* a, const Builtin* b) { return CompareNoCase(a->name, b->name) < 0; });
    return index;
}

}  // namespace

bool IsNumericConversion(const Builtin* b) {
    if (!b) return false;
    const BuiltinFn fn = b->fn;
    return fn == BiCByte || fn == BiCInt || fn == BiCLng || fn == BiCSng || fn == BiCDbl || fn == BiCCur;
}

const Builtin* FindBuiltin(StringView name) {
    static const std::vector<const Builtin*> index = MakeBuiltinIndex();
    const auto it = std::lower_bound(index.begin(), index.end(), name, [](const Builtin* b, StringView n) {
        return CompareNoCase(b->name, n) < 0;
    });
    return it != index.end() && CompareNoCase((*it)->name, name) == 0 ? *it : nullptr;
}

bool FindConstant(StringView name, Value* value) {
    static const std::vector<Constant> constants = MakeConstants();
    const auto it =
        std::lower_bound(constants.begin(), constants.end(), name,
                         [](const Constant& c, StringView n) { return CompareNoCase(c.name, n) < 0; });
    if (it == constants.end() || CompareNoCase(it->name, name) != 0) return false;
    *value = it->value;
    return true;
}

}  // namespace script
