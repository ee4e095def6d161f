// The run-time library's conversions (CInt, Hex...), math functions, the
// random number generator and number formatting.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "BuiltinsParts.h"
#include "Engine.h"
#include "Operators.h"

namespace script::builtins_detail {

// ---- Conversions ----------------------------------------------------------------------

CValue BiCBool(RuntimeState&, Args args) { return CValue::Boolean(ops::ToBool(Arg(args, 0))); }
CValue BiCByte(RuntimeState&, Args args) {
    const CValue v = Arg(args, 0);
    if (v.type() == Type::Boolean) return CValue::Byte(v.boolean() ? 255 : 0);  // True's bits
    return CValue::Byte(ops::ToByte(v));
}
CValue BiCInt(RuntimeState&, Args args) { return CValue::Integer(ops::ToInteger(Arg(args, 0))); }
CValue BiCLng(RuntimeState&, Args args) { return CValue::Long(ops::ToLong(Arg(args, 0))); }
CValue BiCSng(RuntimeState&, Args args) { return CValue::Single(ops::ToSingle(Arg(args, 0))); }
CValue BiCDbl(RuntimeState&, Args args) { return CValue::Double(ops::ToDouble(Arg(args, 0))); }
CValue BiCCur(RuntimeState&, Args args) { return CValue::Currency(ops::ToCurrency(Arg(args, 0))); }
CValue BiCDate(RuntimeState&, Args args) { return CValue::Date(ops::ToDate(Arg(args, 0))); }
CValue BiCStr(RuntimeState&, Args args) { return CValue::Str(ops::ToString(Arg(args, 0))); }

// Hex and Oct: Integer-sized values as 16 bits, the rest as 32.
CValue Radix(Args args, bool hex) {
    const CValue v = Arg(args, 0);
    if (v.IsNull()) return v;
    const Type t = v.type();
    const int32_t n = ops::ToLong(v);
    const bool narrow = t == Type::Integer || t == Type::Byte || t == Type::Boolean || t == Type::Empty;
    const uint32_t bits = narrow ? uint32_t(uint16_t(n)) : uint32_t(n);
    char buf[16];
    std::snprintf(buf, sizeof buf, hex ? "%X" : "%o", unsigned(bits));
    return CValue::Str(Ascii(buf));
}

CValue BiHex(RuntimeState&, Args args) { return Radix(args, true); }
CValue BiOct(RuntimeState&, Args args) { return Radix(args, false); }

// ---- Math ---------------------------------------------------------------------------------

double NumberArg(Args args, size_t i) {
    const CValue v = Arg(args, i);
    NotNull(v);
    return ops::ToDouble(v);
}

CValue Checked(double d) {
    if (std::isnan(d)) Raise(err::kInvalidCall);
    if (std::isinf(d)) Raise(err::kOverflow);
    return CValue::Double(d);
}

CValue BiAtn(RuntimeState&, Args args) { return Checked(std::atan(NumberArg(args, 0))); }
CValue BiCos(RuntimeState&, Args args) { return Checked(std::cos(NumberArg(args, 0))); }
CValue BiSin(RuntimeState&, Args args) { return Checked(std::sin(NumberArg(args, 0))); }
CValue BiTan(RuntimeState&, Args args) { return Checked(std::tan(NumberArg(args, 0))); }
CValue BiExp(RuntimeState&, Args args) { return Checked(std::exp(NumberArg(args, 0))); }

CValue BiLog(RuntimeState&, Args args) {
    const double d = NumberArg(args, 0);
    if (!(d > 0)) Raise(err::kInvalidCall);
    return Checked(std::log(d));
}

CValue BiSqr(RuntimeState&, Args args) {
    const double d = NumberArg(args, 0);
    if (d < 0) Raise(err::kInvalidCall);
    return Checked(std::sqrt(d));
}

CValue BiSgn(RuntimeState&, Args args) {
    const double d = NumberArg(args, 0);
    return CValue::Integer(int16_t(d > 0 ? 1 : d < 0 ? -1 : 0));
}

// Abs, Int, Fix and Round keep the subtype of their argument where it can
// hold the result; Null stays Null.
CValue KeepType(const CValue& v, double r) {
    switch (v.type()) {
        case Type::Integer:
        case Type::Byte:
        case Type::Empty:
        case Type::Boolean:
            if (r >= INT16_MIN && r <= INT16_MAX)
                return v.type() == Type::Byte && r >= 0 ? CValue::Byte(uint8_t(r))
                                                        : CValue::Integer(int16_t(r));
            [[fallthrough]];
        case Type::Long:
            if (r >= INT32_MIN && r <= INT32_MAX) return CValue::Long(int32_t(r));
            return CValue::Double(r);
        case Type::Single: return CValue::Single(float(r));
        case Type::Currency: return CValue::Currency(ops::ToCurrency(CValue::Double(r)));
        case Type::Date: return CValue::Date(r);
        default: return CValue::Double(r);
    }
}

CValue BiAbs(RuntimeState&, Args args) {
    const CValue v = Arg(args, 0);
    if (v.IsNull()) return v;
    if (v.type() == Type::Currency) {
        if (v.currency() == INT64_MIN) Raise(err::kOverflow);
        return CValue::Currency(v.currency() < 0 ? -v.currency() : v.currency());
    }
    const CValue n = v.type() == Type::Date ? CValue::Double(v.dbl()) : v;
    return KeepType(n, std::fabs(ops::ToDouble(n)));
}

CValue BiInt(RuntimeState&, Args args) {
    const CValue v = Arg(args, 0);
    if (v.IsNull()) return v;
    return KeepType(v, std::floor(ops::ToDouble(v)));
}

CValue BiFix(RuntimeState&, Args args) {
    const CValue v = Arg(args, 0);
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

CValue BiRound(RuntimeState&, Args args) {
    const CValue v = Arg(args, 0);
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
    if (v.type() == Type::String || v.type() == Type::Date) return CValue::Double(r);
    if (v.type() == Type::Boolean) return CValue::Boolean(r != 0);
    return KeepType(v, r);
}

// The generator: a 24-bit linear congruential sequence, as the language's
// Rnd has always produced it.
float NextRnd(RuntimeState& state) {
    state.rndSeed = (state.rndSeed * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return float(state.rndSeed) / 16777216.0f;
}

CValue BiRnd(RuntimeState& state, Args args) {
    if (Given(args, 0)) {
        const float f = ops::ToSingle(Arg(args, 0));
        // The generator's state: the last number, or what Randomize seeded.
        if (f == 0) return CValue::Single(float(state.rndSeed) / 16777216.0f);
        if (f < 0) {
            uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            state.rndSeed = (bits + (bits >> 24)) & 0xFFFFFFu;
        }
    }
    return CValue::Single(NextRnd(state));
}

CValue BiRandomize(RuntimeState& state, Args args) {
    double seed;
    if (Given(args, 0)) {
        seed = NumberArg(args, 0);
    } else {
        CHost clock;
        const double now = state.host ? state.host->Now() : clock.Now();
        seed = std::fabs(now - std::trunc(now)) * 86400.0;
    }
    uint64_t bits;
    std::memcpy(&bits, &seed, sizeof bits);
    uint32_t high = uint32_t(bits >> 32);
    high ^= high >> 16;
    state.rndSeed = (state.rndSeed & 0xFFu) | ((high & 0xFFFFu) << 8);
    return CValue();
}

CValue BiRGB(RuntimeState&, Args args) {
    int32_t c[3];
    for (size_t i = 0; i < 3; ++i) {
        c[i] = LongArg(args, i);
        if (c[i] < 0) Raise(err::kInvalidCall);
        if (c[i] > 255) c[i] = 255;
    }
    return CValue::Long(c[0] | (c[1] << 8) | (c[2] << 16));
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

CValue FormatAs(Args args, NumberStyle style) {
    const CValue v = Arg(args, 0);
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
    return CValue::Str(std::move(body));
}

CValue BiFormatNumber(RuntimeState&, Args args) { return FormatAs(args, NumberStyle::kNumber); }
CValue BiFormatCurrency(RuntimeState&, Args args) { return FormatAs(args, NumberStyle::kCurrency); }
CValue BiFormatPercent(RuntimeState&, Args args) { return FormatAs(args, NumberStyle::kPercent); }

}  // namespace script::builtins_detail
