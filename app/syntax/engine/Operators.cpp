// Conversions and operators.
//
// Arithmetic works on a small ladder of numeric kinds: Byte < Integer <
// Long < Single < Double, with Currency beside them. Two operands meet at
// the wider kind (Single with Long goes to Double, Currency with Single or
// Double too); integer results that do not fit climb the ladder (Byte to
// Integer to Long to Double) instead of overflowing. Text is converted to
// a Double, Boolean and Empty count as Integer, a Date as Double except
// where "+" and "-" keep a Date. Null propagates; objects and arrays that
// reach an operator are a type mismatch.
//
// Text compares as UTF-16 units, or with both sides lower-cased when
// ignoring case; the case tables cover Latin-1, Latin Extended-A, Greek and
// Cyrillic, without asking the system.
#include "Operators.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "DateTime.h"

namespace script::ops {

namespace {

[[noreturn]] void Mismatch() { Raise(err::kTypeMismatch); }
[[noreturn]] void Overflow() { Raise(err::kOverflow); }

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0 || c == 0x3000;
}

// Half to even, as the C... conversions round.
double RoundEven(double x) {
    const double r = std::floor(x);
    const double diff = x - r;
    if (diff > 0.5) return r + 1;
    if (diff < 0.5) return r;
    return std::fmod(r, 2.0) == 0 ? r : r + 1;
}

bool EqualsNoCase(StringView a, const char* ascii) {
    const size_t n = std::strlen(ascii);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char16_t c = a[i];
        if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
        if (c != char16_t(ascii[i])) return false;
    }
    return true;
}

StringView TrimBlanks(StringView s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

double TextToDouble(const String& s) {
    double d;
    if (!ParseNumber(s, &d)) Mismatch();
    return d;
}

String Ascii(const char* s) {
    String out;
    while (*s) out.push_back(char16_t(static_cast<unsigned char>(*s++)));
    return out;
}

// printf's exponent has two or three digits depending on the C library;
// the language writes at least two.
String Normalise(const char* text) {
    String out = Ascii(text);
    const size_t e = out.find(u'E');
    if (e == String::npos || e + 2 >= out.size()) return out;
    size_t digits = e + 2;
    while (out.size() - digits > 2 && out[digits] == u'0') out.erase(digits, 1);
    return out;
}

// ---- The numeric ladder -----------------------------------------------------------

enum Kind { kByte, kInteger, kLong, kSingle, kDouble, kCurrency };

Kind KindOf(const CValue& n) {
    switch (n.type()) {
        case Type::Byte: return kByte;
        case Type::Integer: return kInteger;
        case Type::Long: return kLong;
        case Type::Single: return kSingle;
        case Type::Currency: return kCurrency;
        default: return kDouble;
    }
}

Kind Meet(Kind a, Kind b) {
    if (a == kCurrency || b == kCurrency) {
        const Kind other = a == kCurrency ? b : a;
        return other == kSingle || other == kDouble ? kDouble : kCurrency;
    }
    if ((a == kSingle && b == kLong) || (a == kLong && b == kSingle)) return kDouble;
    return a > b ? a : b;
}

int64_t AsInt64(const CValue& n) {
    switch (n.type()) {
        case Type::Byte: return n.byte();
        case Type::Integer: return n.integer();
        case Type::Long: return n.lng();
        default: return 0;
    }
}

double AsDouble(const CValue& n) {
    switch (n.type()) {
        case Type::Byte: return n.byte();
        case Type::Integer: return n.integer();
        case Type::Long: return n.lng();
        case Type::Single: return n.single();
        case Type::Currency: return double(n.currency()) / 10000.0;
        default: return n.dbl();
    }
}

// An integer result at kind `k` or the first wider kind that holds it.
CValue FitInteger(int64_t r, Kind k) {
    if (k == kByte && r >= 0 && r <= 255) return CValue::Byte(uint8_t(r));
    if (k <= kInteger && r >= INT16_MIN && r <= INT16_MAX) return CValue::Integer(int16_t(r));
    if (r >= INT32_MIN && r <= INT32_MAX) return CValue::Long(int32_t(r));
    return CValue::Double(double(r));
}

CValue CheckedDouble(double d) {
    if (!std::isfinite(d)) Overflow();
    return CValue::Double(d);
}

CValue CheckedSingle(double d) {
    if (!std::isfinite(d) || std::fabs(d) > std::numeric_limits<float>::max()) return CheckedDouble(d);
    return CValue::Single(float(d));
}

int64_t CurrencyOf(const CValue& n) {
    if (n.type() == Type::Currency) return n.currency();
    return AsInt64(n) * 10000;
}

CValue Arithmetic(Op op, const CValue& a, const CValue& b) {
    const Kind k = Meet(KindOf(a), KindOf(b));
    if (k <= kLong) {
        const int64_t x = AsInt64(a), y = AsInt64(b);
        switch (op) {
            case Op::Add: return FitInteger(x + y, k);
            case Op::Sub: return FitInteger(x - y, k);
            default: return FitInteger(x * y, k);
        }
    }
    if (k == kCurrency) {
        const int64_t x = CurrencyOf(a), y = CurrencyOf(b);
        int64_t r;
        if (op == Op::Add) {
            if (__builtin_add_overflow(x, y, &r)) Overflow();
        } else if (op == Op::Sub) {
            if (__builtin_sub_overflow(x, y, &r)) Overflow();
        } else {
            const long double p = static_cast<long double>(x) * static_cast<long double>(y) / 10000.0L;
            if (std::fabs(p) >= 9.2233720368547758e18L) Overflow();
            return CValue::Currency(int64_t(RoundEven(double(p))));
        }
        return CValue::Currency(r);
    }
    const double x = AsDouble(a), y = AsDouble(b);
    const double r = op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y;
    return k == kSingle ? CheckedSingle(r) : CheckedDouble(r);
}

// Operand of "\" and Mod: rounded to a whole number of the Long range.
int64_t WholeOperand(const CValue& n) {
    if (n.type() == Type::Byte || n.type() == Type::Integer || n.type() == Type::Long) return AsInt64(n);
    const double r = RoundEven(AsDouble(n));
    if (!(r >= INT32_MIN && r <= INT32_MAX)) Overflow();
    return int64_t(r);
}

CValue IntegerDivision(Op op, const CValue& a, const CValue& b) {
    Kind k = Meet(KindOf(a), KindOf(b));
    if (k > kLong) k = kLong;
    const int64_t x = WholeOperand(a), y = WholeOperand(b);
    if (y == 0) Raise(err::kDivisionByZero);
    const int64_t r = op == Op::IntDiv ? x / y : x % y;
    if (r > INT32_MAX) Overflow();
    return FitInteger(r, k);
}

CValue Divide(const CValue& a, const CValue& b) {
    const double x = AsDouble(a), y = AsDouble(b);
    if (y == 0) Raise(x == 0 ? err::kOverflow : err::kDivisionByZero);
    // A Single divided by a Single, Integer or Byte stays Single; all else is Double.
    if (Meet(KindOf(a), KindOf(b)) == kSingle) return CheckedSingle(x / y);
    return CheckedDouble(x / y);
}

CValue Power(const CValue& a, const CValue& b) {
    const double x = AsDouble(a), y = AsDouble(b);
    if (x == 0 && y < 0) Raise(err::kDivisionByZero);
    const double r = std::pow(x, y);
    if (std::isnan(r)) Raise(err::kInvalidCall);
    return CheckedDouble(r);
}

bool IsDateLike(const CValue& v) { return v.type() == Type::Date; }

CValue AddOrSubtract(Op op, const CValue& a, const CValue& b) {
    // Date + number and Date - number stay dates; Date - Date is a number
    // of days.
    if (IsDateLike(a) || IsDateLike(b)) {
        const CValue x = ToNumeric(a), y = ToNumeric(b);
        if (x.IsNull() || y.IsNull()) return CValue::Null();
        const double r = op == Op::Add ? AsDouble(x) + AsDouble(y) : AsDouble(x) - AsDouble(y);
        if (op == Op::Sub && IsDateLike(a) && IsDateLike(b)) return CheckedDouble(r);
        return CValue::Date(dt::CheckRange(r));
    }
    const CValue x = ToNumeric(a), y = ToNumeric(b);
    if (x.IsNull() || y.IsNull()) return CValue::Null();
    return Arithmetic(op, x, y);
}

// Arithmetic with a Null operand is Null, whatever the other side holds
// (text that is no number included), unless it is no value at all.
bool NullArithmetic(const CValue& a, const CValue& b) {
    if (!a.IsNull() && !b.IsNull()) return false;
    const CValue& other = a.IsNull() ? b : a;
    if (other.IsObject() || other.IsArray() || other.type() == Type::Error) Mismatch();
    return true;
}

void CheckJoinedLength(size_t a, size_t b) {
    if (a > kMaxStringLength || b > kMaxStringLength - a) Raise(err::kOutOfStringSpace);
}

CValue Plus(const CValue& a, const CValue& b) {
    if (NullArithmetic(a, b)) return CValue::Null();
    if (a.IsString() && (b.IsString() || b.IsEmpty())) {
        CheckJoinedLength(a.str().size(), b.str().size());
        return CValue::Str(a.str() + b.str());
    }
    if (a.IsEmpty() && b.IsString()) return b;
    return AddOrSubtract(Op::Add, a, b);
}

CValue Concat(const CValue& a, const CValue& b) {
    if (a.IsNull() && b.IsNull()) return CValue::Null();
    String s = a.IsNull() ? String() : ToString(a);
    if (!b.IsNull()) {
        const String tail = ToString(b);
        CheckJoinedLength(s.size(), tail.size());
        s += tail;
    }
    return CValue::Str(std::move(s));
}

// ---- Logic ------------------------------------------------------------------------

// An operand of the bitwise operators: its bits and the kind of result it
// asks for (Boolean only when both are Boolean).
struct Bits {
    int32_t v;
    int rank;  // 0 Boolean, 1 Byte, 2 Integer, 3 Long
};

Bits BitsOf(const CValue& v) {
    switch (v.type()) {
        case Type::Boolean: return {v.boolean() ? -1 : 0, 0};
        case Type::Empty: return {0, 2};
        case Type::Byte: return {v.byte(), 1};
        case Type::Integer: return {v.integer(), 2};
        case Type::Long: return {v.lng(), 3};
        case Type::String: {
            const StringView t = TrimBlanks(v.str());
            if (EqualsNoCase(t, "true")) return {-1, 0};
            if (EqualsNoCase(t, "false")) return {0, 0};
            return {ToLong(v), 3};
        }
        default: return {ToLong(v), 3};
    }
}

CValue MakeBits(int32_t r, int rank) {
    switch (rank) {
        case 0: return CValue::Boolean(r != 0);
        case 1: return CValue::Byte(uint8_t(r));
        case 2: return CValue::Integer(int16_t(r));
        default: return CValue::Long(r);
    }
}

int32_t ApplyBits(Op op, int32_t x, int32_t y) {
    switch (op) {
        case Op::And: return x & y;
        case Op::Or: return x | y;
        case Op::Xor: return x ^ y;
        case Op::Eqv: return ~(x ^ y);
        default: return ~x | y;  // Imp
    }
}

// Null with a known operand: Null And False is False, Null Or True is
// True, False Imp Null and Null Imp True are True; the rest is Null.
CValue NullLogic(Op op, const CValue& a, const CValue& b) {
    const bool aNull = a.IsNull();
    const CValue& other = aNull ? b : a;
    if (other.IsNull()) return CValue::Null();
    const Bits o = BitsOf(other);
    if (op == Op::And && o.v == 0) return MakeBits(0, o.rank);
    if (op == Op::Or && o.v == -1) return MakeBits(-1, o.rank);
    if (op == Op::Imp) {
        if (!aNull && o.v == 0) return MakeBits(-1, o.rank);
        if (aNull && o.v == -1) return MakeBits(-1, o.rank);
    }
    return CValue::Null();
}

CValue Logic(Op op, const CValue& a, const CValue& b) {
    if (a.IsNull() || b.IsNull()) return NullLogic(op, a, b);
    const Bits x = BitsOf(a), y = BitsOf(b);
    int rank = x.rank > y.rank ? x.rank : y.rank;
    if (rank == 1 && (x.rank == 0 || y.rank == 0)) rank = 2;  // Boolean with Byte
    return MakeBits(ApplyBits(op, x.v, y.v), rank);
}

// ---- Comparison -------------------------------------------------------------------

bool IsNumberLike(const CValue& v) {
    return v.IsNumber() || v.type() == Type::Boolean || v.type() == Type::Date || v.IsEmpty();
}

int Sign(double d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

int CompareText(StringView a, StringView b, bool text) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        char16_t x = a[i], y = b[i];
        if (text) x = ToLowerChar(x), y = ToLowerChar(y);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

double NumberOf(const CValue& v) {
    switch (v.type()) {
        case Type::Empty: return 0;
        case Type::Boolean: return v.boolean() ? -1 : 0;
        case Type::Date: return v.dbl();
        default: return AsDouble(v);
    }
}

// ---- Case tables --------------------------------------------------------------------

bool InPairs(char16_t c, char16_t first, char16_t last) { return c >= first && c <= last; }

}  // namespace

// ---- Conversions ----------------------------------------------------------------------

bool ParseNumber(StringView text, double* value) {
    StringView s = TrimBlanks(text);
    if (s.empty()) return false;
    if (s.size() > 2 && s[0] == u'&' && (s[1] == u'H' || s[1] == u'h' || s[1] == u'O' || s[1] == u'o')) {
        const bool hex = s[1] == u'H' || s[1] == u'h';
        uint64_t n = 0;
        for (size_t i = 2; i < s.size(); ++i) {
            const char16_t c = s[i];
            int d;
            if (c >= u'0' && c <= u'9')
                d = c - u'0';
            else if (hex && c >= u'a' && c <= u'f')
                d = c - u'a' + 10;
            else if (hex && c >= u'A' && c <= u'F')
                d = c - u'A' + 10;
            else
                return false;
            if (!hex && d > 7) return false;
            n = n * (hex ? 16 : 8) + uint64_t(d);
            if (n > 0xFFFFFFFFu) return false;
        }
        // As the literals: up to 16 bits is an Integer, up to 32 a Long.
        if (n <= 0xFFFF && (hex ? s.size() - 2 <= 4 : n <= 0177777))
            *value = double(int16_t(uint16_t(n)));
        else
            *value = double(int32_t(uint32_t(n)));
        return true;
    }
    std::string ascii;
    size_t i = 0;
    if (s[i] == u'+' || s[i] == u'-') ascii.push_back(char(s[i++]));
    bool digits = false;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= u'0' && c <= u'9')
            ascii.push_back(char(c)), digits = true;
        else if (c == u',' && digits && i + 1 < s.size() && s[i + 1] >= u'0' && s[i + 1] <= u'9')
            continue;
        else
            break;
    }
    if (i < s.size() && s[i] == u'.') {
        ascii.push_back('.');
        for (++i; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i)
            ascii.push_back(char(s[i])), digits = true;
    }
    if (!digits) return false;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        ascii.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ascii.push_back(char(s[i++]));
        bool expDigits = false;
        for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
            if (ascii.size() < 400) ascii.push_back(char(s[i]));
            expDigits = true;
        }
        if (!expDigits) return false;
    }
    if (i != s.size()) return false;
    const double d = std::strtod(ascii.c_str(), nullptr);
    if (!std::isfinite(d)) return false;
    *value = d;
    return true;
}

String FormatDouble(double d) {
    if (d == 0) return u"0";
    if (std::isnan(d)) return u"NaN";
    if (std::isinf(d)) return d < 0 ? u"-Infinity" : u"Infinity";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    return Normalise(buf);
}

static String FormatSingle(float f) {
    if (f == 0) return u"0";
    if (!std::isfinite(f)) return FormatDouble(f);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7G", double(f));
    return Normalise(buf);
}

static String FormatCurrencyValue(int64_t scaled) {
    const bool negative = scaled < 0;
    const uint64_t magnitude = negative ? uint64_t(0) - uint64_t(scaled) : uint64_t(scaled);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000));
    String s = Ascii(buf);
    unsigned fraction = unsigned(magnitude % 10000);
    if (fraction) {
        std::snprintf(buf, sizeof buf, ".%04u", fraction);
        size_t n = std::strlen(buf);
        while (buf[n - 1] == '0') buf[--n] = 0;
        s += Ascii(buf);
    }
    return s;
}

String FormatDate(double d) {
    const dt::Parts p = dt::Split(d);
    char buf[64];
    String s;
    const bool hasDate = std::trunc(d) != 0;
    const bool hasTime = p.hour || p.minute || p.second;
    if (hasDate || !hasTime) {
        std::snprintf(buf, sizeof buf, "%d/%d/%d", p.month, p.day, p.year);
        s = Ascii(buf);
    }
    if (hasTime) {
        const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
        std::snprintf(buf, sizeof buf, "%s%d:%02d:%02d %s", s.empty() ? "" : " ", h12, p.minute, p.second,
                      p.hour < 12 ? "AM" : "PM");
        s += Ascii(buf);
    }
    return s;
}

bool ToBool(const CValue& v) {
    switch (v.type()) {
        case Type::Boolean: return v.boolean();
        case Type::Empty: return false;
        case Type::Null: Raise(err::kInvalidUseOfNull);
        case Type::String: {
            const StringView t = TrimBlanks(v.str());
            if (EqualsNoCase(t, "true") || EqualsNoCase(t, "#true#")) return true;
            if (EqualsNoCase(t, "false") || EqualsNoCase(t, "#false#")) return false;
            return TextToDouble(v.str()) != 0;
        }
        case Type::Currency: return v.currency() != 0;
        case Type::Date: return v.dbl() != 0;
        default:
            if (!v.IsNumber()) Mismatch();
            return AsDouble(v) != 0;
    }
}

double ToDouble(const CValue& v) {
    switch (v.type()) {
        case Type::Empty: return 0;
        case Type::Null: Raise(err::kInvalidUseOfNull);
        case Type::Boolean: return v.boolean() ? -1 : 0;
        case Type::Date: return v.dbl();
        case Type::String: return TextToDouble(v.str());
        default:
            if (!v.IsNumber()) Mismatch();
            return AsDouble(v);
    }
}

static double RoundedInRange(const CValue& v, double lo, double hi) {
    const double r = RoundEven(ToDouble(v));
    if (!(r >= lo && r <= hi)) Overflow();
    return r;
}

uint8_t ToByte(const CValue& v) {
    if (v.type() == Type::Byte) return v.byte();
    return uint8_t(RoundedInRange(v, 0, 255));
}

int16_t ToInteger(const CValue& v) {
    if (v.type() == Type::Integer) return v.integer();
    return int16_t(RoundedInRange(v, INT16_MIN, INT16_MAX));
}

int32_t ToLong(const CValue& v) {
    if (v.type() == Type::Long) return v.lng();
    return int32_t(RoundedInRange(v, INT32_MIN, INT32_MAX));
}

float ToSingle(const CValue& v) {
    const double d = ToDouble(v);
    if (!(std::fabs(d) <= std::numeric_limits<float>::max())) Overflow();
    return float(d);
}

int64_t ToCurrency(const CValue& v) {
    if (v.type() == Type::Currency) return v.currency();
    switch (v.type()) {
        case Type::Byte:
        case Type::Integer:
        case Type::Long: return AsInt64(v) * 10000;
        default: break;
    }
    // Whole part and fraction apart: a double has too few digits for the
    // scaled value of large amounts.
    const double d = ToDouble(v);
    const double whole = std::trunc(d);
    if (!(std::fabs(whole) <= 922337203685477.0)) Overflow();
    int64_t r;
    if (__builtin_add_overflow(int64_t(whole) * 10000, int64_t(RoundEven((d - whole) * 10000.0)), &r))
        Overflow();
    return r;
}

double ToDate(const CValue& v) {
    switch (v.type()) {
        case Type::Date: return v.dbl();
        case Type::Null: Raise(err::kInvalidUseOfNull);
        case Type::String: {
            double d;
            if (dt::ParseDate(v.str(), &d)) return d;
            if (ParseNumber(v.str(), &d)) return dt::CheckRange(d);
            Mismatch();
        }
        default: return dt::CheckRange(ToDouble(v));
    }
}

String ToString(const CValue& v) {
    switch (v.type()) {
        case Type::Empty: return String();
        case Type::Null: Raise(err::kInvalidUseOfNull);
        case Type::Boolean: return v.boolean() ? u"True" : u"False";
        case Type::Byte: return FormatDouble(v.byte());
        case Type::Integer: return FormatDouble(v.integer());
        case Type::Long: return FormatDouble(v.lng());
        case Type::Single: return FormatSingle(v.single());
        case Type::Double: return FormatDouble(v.dbl());
        case Type::Currency: return FormatCurrencyValue(v.currency());
        case Type::Date: return FormatDate(v.dbl());
        case Type::String: return v.str();
        default: Mismatch();
    }
}

CValue ToNumeric(const CValue& v) {
    switch (v.type()) {
        case Type::Empty: return CValue::Integer(0);
        case Type::Null: return v;
        case Type::Boolean: return CValue::Integer(v.boolean() ? -1 : 0);
        case Type::Date: return CValue::Double(v.dbl());
        case Type::String: return CValue::Double(TextToDouble(v.str()));
        default:
            if (!v.IsNumber()) Mismatch();
            return v;
    }
}

// ---- Operators ----------------------------------------------------------------------

CValue Binary(Op op, const CValue& a, const CValue& b) {
    switch (op) {
        case Op::Add: return Plus(a, b);
        case Op::Sub: return NullArithmetic(a, b) ? CValue::Null() : AddOrSubtract(op, a, b);
        case Op::Concat: return Concat(a, b);
        case Op::And:
        case Op::Or:
        case Op::Xor:
        case Op::Eqv:
        case Op::Imp: return Logic(op, a, b);
        case Op::Eq:
        case Op::Ne:
        case Op::Lt:
        case Op::Le:
        case Op::Gt:
        case Op::Ge: {
            if (a.IsNull() || b.IsNull()) {
                if (!a.IsNull()) Compare(a, a);  // objects and arrays are still a mismatch
                if (!b.IsNull()) Compare(b, b);
                return CValue::Null();
            }
            const int c = Compare(a, b);
            switch (op) {
                case Op::Eq: return CValue::Boolean(c == 0);
                case Op::Ne: return CValue::Boolean(c != 0);
                case Op::Lt: return CValue::Boolean(c < 0);
                case Op::Le: return CValue::Boolean(c <= 0);
                case Op::Gt: return CValue::Boolean(c > 0);
                default: return CValue::Boolean(c >= 0);
            }
        }
        default: break;
    }
    if (NullArithmetic(a, b)) return CValue::Null();
    const CValue x = ToNumeric(a), y = ToNumeric(b);
    switch (op) {
        case Op::Mul: return Arithmetic(op, x, y);
        case Op::Div: return Divide(x, y);
        case Op::IntDiv:
        case Op::Mod: return IntegerDivision(op, x, y);
        default: return Power(x, y);
    }
}

CValue Negate(const CValue& v) {
    switch (v.type()) {
        case Type::Null: return v;
        case Type::Date: return CValue::Date(dt::CheckRange(-v.dbl()));
        case Type::Single: return CValue::Single(-v.single());
        case Type::Currency:
            if (v.currency() == INT64_MIN) Overflow();
            return CValue::Currency(-v.currency());
        default: break;
    }
    const CValue n = ToNumeric(v);
    switch (n.type()) {
        case Type::Byte:
        case Type::Integer:
        case Type::Long: return FitInteger(-AsInt64(n), n.type() == Type::Long ? kLong : kInteger);
        default: return CValue::Double(-n.dbl());
    }
}

CValue Not(const CValue& v) {
    switch (v.type()) {
        case Type::Null: return v;
        case Type::Boolean: return CValue::Boolean(!v.boolean());
        case Type::Empty: return CValue::Integer(-1);
        case Type::Byte: return CValue::Byte(uint8_t(~v.byte()));
        case Type::Integer: return CValue::Integer(int16_t(~v.integer()));
        default: {
            const Bits b = BitsOf(v);
            return MakeBits(~b.v, b.rank);
        }
    }
}

int Compare(const CValue& a, const CValue& b, bool text) {
    if (a.IsObject() || b.IsObject() || a.IsArray() || b.IsArray() || a.type() == Type::Error ||
        b.type() == Type::Error || a.IsNull() || b.IsNull())
        Mismatch();
    if (a.IsString() && b.IsString()) return CompareText(a.str(), b.str(), text);
    if (a.IsString() && b.IsEmpty()) return CompareText(a.str(), StringView(), text);
    if (a.IsEmpty() && b.IsString()) return CompareText(StringView(), b.str(), text);
    if (a.IsString() || b.IsString()) {
        // A number against text: the text as a number when it is one (a date
        // when the other side is a date), otherwise the number is less.
        const CValue& s = a.IsString() ? a : b;
        const CValue& n = a.IsString() ? b : a;
        double parsed;
        bool ok = ParseNumber(s.str(), &parsed);
        if (!ok && n.type() == Type::Date) ok = dt::ParseDate(s.str(), &parsed);
        if (!ok) return a.IsString() ? 1 : -1;
        const int c = Sign(NumberOf(n) - parsed);
        return a.IsString() ? -c : c;
    }
    if (a.type() == Type::Currency && b.type() == Type::Currency)
        return a.currency() < b.currency() ? -1 : a.currency() > b.currency() ? 1 : 0;
    if (a.type() == Type::Long && b.type() == Type::Long)
        return a.lng() < b.lng() ? -1 : a.lng() > b.lng() ? 1 : 0;
    if (!IsNumberLike(a) || !IsNumberLike(b)) Mismatch();
    double x = NumberOf(a), y = NumberOf(b);
    // A Single against a Double is compared at the Single's precision:
    // CSng(0.001 * 0.001) = 0.000001.
    if ((a.type() == Type::Single && b.type() == Type::Double) ||
        (a.type() == Type::Double && b.type() == Type::Single)) {
        const CValue& d = a.type() == Type::Double ? a : b;
        if (std::fabs(d.dbl()) <= std::numeric_limits<float>::max()) {
            x = double(float(x));
            y = double(float(y));
        }
    }
    return x < y ? -1 : x > y ? 1 : 0;
}

// ---- Case mapping ---------------------------------------------------------------------

char16_t ToLowerChar(char16_t c) {
    if (c < 0x80) return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);
    if (c < 0x100) return c;
    if (c < 0x180) {
        if (c == 0x130) return u'i';
        if (c == 0x178) return 0xFF;
        if (InPairs(c, 0x100, 0x137) || InPairs(c, 0x14A, 0x177)) return char16_t(c | 1);
        if (InPairs(c, 0x139, 0x148) || InPairs(c, 0x179, 0x17E)) return (c & 1) ? char16_t(c + 1) : c;
        return c;
    }
    if (c >= 0x386 && c <= 0x3AB) {
        if (c == 0x386) return 0x3AC;
        if (c >= 0x388 && c <= 0x38A) return char16_t(c + 37);
        if (c == 0x38C) return 0x3CC;
        if (c == 0x38E || c == 0x38F) return char16_t(c + 63);
        if (c >= 0x391 && c != 0x3A2) return char16_t(c + 32);
        return c;
    }
    if (c >= 0x400 && c <= 0x40F) return char16_t(c + 80);
    if (c >= 0x410 && c <= 0x42F) return char16_t(c + 32);
    if (InPairs(c, 0x460, 0x481) || InPairs(c, 0x48A, 0x4BF) || InPairs(c, 0x4D0, 0x52F))
        return char16_t(c | 1);
    if (c == 0x4C0) return 0x4CF;
    if (InPairs(c, 0x4C1, 0x4CE)) return (c & 1) ? char16_t(c + 1) : c;
    return c;
}

char16_t ToUpperChar(char16_t c) {
    if (c < 0x80) return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);
    if (c == 0xFF) return 0x178;
    if (c < 0x100) return c;
    if (c < 0x180) {
        if (c == 0x131) return u'I';
        if (c == 0x17F) return u'S';
        if (InPairs(c, 0x100, 0x137) || InPairs(c, 0x14A, 0x177)) return char16_t(c & ~1);
        if (InPairs(c, 0x139, 0x148) || InPairs(c, 0x179, 0x17E)) return (c & 1) ? c : char16_t(c - 1);
        return c;
    }
    if (c >= 0x3AC && c <= 0x3CE) {
        if (c == 0x3AC) return 0x386;
        if (c >= 0x3AD && c <= 0x3AF) return char16_t(c - 37);
        if (c == 0x3CC) return 0x38C;
        if (c == 0x3CD || c == 0x3CE) return char16_t(c - 63);
        if (c == 0x3C2) return 0x3A3;
        if (c >= 0x3B1 && c <= 0x3CB) return char16_t(c - 32);
        return c;
    }
    if (c >= 0x430 && c <= 0x44F) return char16_t(c - 32);
    if (c >= 0x450 && c <= 0x45F) return char16_t(c - 80);
    if (InPairs(c, 0x460, 0x481) || InPairs(c, 0x48A, 0x4BF) || InPairs(c, 0x4D0, 0x52F))
        return char16_t(c & ~1);
    if (c == 0x4CF) return 0x4C0;
    if (InPairs(c, 0x4C1, 0x4CE)) return (c & 1) ? c : char16_t(c - 1);
    return c;
}

String ToLower(StringView s) {
    String out(s);
    for (char16_t& c : out) c = ToLowerChar(c);
    return out;
}

String ToUpper(StringView s) {
    String out(s);
    for (char16_t& c : out) c = ToUpperChar(c);
    return out;
}

}  // namespace script::ops
