// The language's conversions and operators: result subtypes, widening,
// Null and Empty, comparisons across types, number and date text.
#include "Operators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

#include "DateTime.h"
#include "ScriptTestSupport.h"

namespace script {
namespace {

using namespace script::test;
using ops::Op;

CValue I(int16_t i) { return CValue::Integer(i); }
CValue L(int32_t l) { return CValue::Long(l); }
CValue D(double d) { return CValue::Double(d); }
CValue S(const char* s) { return CValue::Str(Wide(s)); }
CValue B(bool b) { return CValue::Boolean(b); }
CValue By(uint8_t b) { return CValue::Byte(b); }
CValue Sg(float f) { return CValue::Single(f); }
CValue Cy(int64_t scaled) { return CValue::Currency(scaled); }
CValue Dt(double d) { return CValue::Date(d); }
const CValue kEmpty;
const CValue kNull = CValue::Null();

// ---- Conversions ----------------------------------------------------------------

TEST(OperatorsConversions, IntegerConversionsRoundHalfToEven) {
    struct Case {
        double in;
        int expected;
    } cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},    {3.5, 4},   {-0.5, 0},
                 {-1.5, -2}, {-2.5, -2}, {2.4999, 2}, {2.5001, 3}};
    for (const Case& c : cases) {
        EXPECT_EQ(ops::ToInteger(D(c.in)), c.expected) << c.in;
        EXPECT_EQ(ops::ToLong(D(c.in)), c.expected) << c.in;
        if (c.expected >= 0) {
            EXPECT_EQ(ops::ToByte(D(c.in)), c.expected) << c.in;
        }
    }
}

TEST(OperatorsConversions, OutOfRangeIsOverflow) {
    EXPECT_EQ(ErrorOf([] { ops::ToInteger(D(32767.5)); }), err::kOverflow);  // rounds to 32768
    EXPECT_EQ(ops::ToInteger(D(-32768.4)), -32768);
    EXPECT_EQ(ErrorOf([] { ops::ToInteger(L(40000)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { ops::ToByte(I(-1)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { ops::ToByte(I(256)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { ops::ToLong(D(2147483647.5)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { ops::ToSingle(D(1e300)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { ops::ToCurrency(D(1e16)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { ops::ToDate(D(1e10)); }), err::kOverflow);
}

TEST(OperatorsConversions, TextToNumber) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"12", true, 12},        {"  -3.5  ", true, -3.5}, {"+7", true, 7},    {"1e3", true, 1000},
        {"1.5E-2", true, 0.015}, {".5", true, 0.5},        {"5.", true, 5},    {"&HFF", true, 255},
        {"&hFFFF", true, -1},    {"&H10000", true, 65536}, {"&O17", true, 15}, {"1,000", true, 1000},
        {"", false, 0},          {"   ", false, 0},        {"abc", false, 0},  {"12abc", false, 0},
        {"1e", false, 0},        {".", false, 0},          {"-", false, 0},    {"&H", false, 0},
        {"&HG", false, 0},       {"&O8", false, 0},        {"1 2", false, 0},  {"1e999", false, 0},
    };
    for (const Case& c : cases) {
        double d = -99;
        EXPECT_EQ(ops::ParseNumber(Wide(c.text), &d), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(d, c.value) << c.text;
        }
    }
}

TEST(OperatorsConversions, TextThatIsNoNumberIsTypeMismatch) {
    EXPECT_EQ(ErrorOf([] { ops::ToDouble(S("abc")); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { ops::ToLong(S("")); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { ops::ToBool(S("yes")); }), err::kTypeMismatch);
    EXPECT_EQ(ops::ToLong(S(" 42 ")), 42);
}

TEST(OperatorsConversions, EmptyNullAndBoolean) {
    EXPECT_EQ(ops::ToLong(kEmpty), 0);
    EXPECT_EQ(ops::ToString(kEmpty), u"");
    EXPECT_FALSE(ops::ToBool(kEmpty));
    EXPECT_EQ(ops::ToInteger(B(true)), -1);
    EXPECT_EQ(ops::ToString(B(true)), u"True");
    EXPECT_EQ(ops::ToString(B(false)), u"False");
    EXPECT_TRUE(ops::ToBool(S("true")));
    EXPECT_FALSE(ops::ToBool(S(" FALSE ")));
    EXPECT_TRUE(ops::ToBool(S("-2")));
    EXPECT_FALSE(ops::ToBool(D(0.0)));
    for (auto f : std::initializer_list<std::function<void()>>{
             [] { ops::ToLong(kNull); }, [] { ops::ToString(kNull); }, [] { ops::ToBool(kNull); },
             [] { ops::ToDouble(kNull); }, [] { ops::ToDate(kNull); }, [] { ops::ToCurrency(kNull); }})
        EXPECT_EQ(ErrorOf(f), err::kInvalidUseOfNull);
}

TEST(OperatorsConversions, ObjectsAndArraysAreTypeMismatch) {
    const CValue arr = CValue::Arr(std::make_shared<Array>());
    EXPECT_EQ(ErrorOf([&] { ops::ToString(arr); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { ops::ToDouble(CValue::Nothing()); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([&] { ops::Binary(Op::Add, arr, I(1)); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([&] { ops::Binary(Op::Eq, arr, I(1)); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([&] { ops::Binary(Op::Concat, arr, S("a")); }), err::kTypeMismatch);
}

TEST(OperatorsConversions, Currency) {
    EXPECT_EQ(ops::ToCurrency(D(1.23456)), 12346);
    EXPECT_EQ(ops::ToCurrency(D(0.00005)), 0);  // half to even
    EXPECT_EQ(ops::ToCurrency(S("922337203685477")), 9223372036854770000);
    EXPECT_EQ(ops::ToString(Cy(15000)), u"1.5");
    EXPECT_EQ(ops::ToString(Cy(-12345)), u"-1.2345");
    EXPECT_EQ(ops::ToString(Cy(20000)), u"2");
}

// ---- Number and date text --------------------------------------------------------

TEST(OperatorsFormatting, Doubles) {
    struct Case {
        double in;
        const char* out;
    } cases[] = {
        {0.1 + 0.2, "0.3"},
        {1e20, "1E+20"},
        {1.5e-7, "1.5E-07"},
        {-0.5, "-0.5"},
        {0, "0"},
        {-0.0, "0"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E+15"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {1.0 / 3, "0.333333333333333"},
        {2.5, "2.5"},
        {-1e-300, "-1E-300"},
        {1.7976931348623157e308, "1.79769313486232E+308"},
        {100, "100"},
    };
    for (const Case& c : cases) EXPECT_EQ(Narrow(ops::FormatDouble(c.in)), c.out) << c.in;
}

TEST(OperatorsFormatting, OtherNumberTypes) {
    EXPECT_EQ(ops::ToString(Sg(0.1f)), u"0.1");
    EXPECT_EQ(ops::ToString(Sg(1.0f / 3)), u"0.3333333");
    EXPECT_EQ(ops::ToString(I(-32768)), u"-32768");
    EXPECT_EQ(ops::ToString(By(255)), u"255");
    EXPECT_EQ(ops::ToString(L(2147483647)), u"2147483647");
}

TEST(OperatorsFormatting, Dates) {
    struct Case {
        double in;
        const char* out;
    } cases[] = {
        {45322, "1/31/2024"},
        {45322 + (13 * 3600 + 5 * 60) / 86400.0, "1/31/2024 1:05:00 PM"},
        {(13 * 3600 + 5 * 60) / 86400.0, "1:05:00 PM"},
        {0, "12/30/1899"},
        {0.5, "12:00:00 PM"},
        {45322 + 1 / 86400.0, "1/31/2024 12:00:01 AM"},
        {2, "1/1/1900"},
        {-1.25, "12/29/1899 6:00:00 AM"},
        {2958465, "12/31/9999"},
        {-657434, "1/1/100"},
        {60, "2/28/1900"},
        {61, "3/1/1900"},
        {45322.9999999, "2/1/2024"},  // rounds to the next midnight
    };
    for (const Case& c : cases) EXPECT_EQ(Narrow(ops::FormatDate(c.in)), c.out) << c.in;
    EXPECT_EQ(ops::ToString(Dt(45322)), u"1/31/2024");
    // A date value made elsewhere, beyond any calendar: some text, no undefined arithmetic.
    for (double wild : {1e300, -1e300, 1e18, std::nan(""), HUGE_VAL})
        EXPECT_FALSE(ops::FormatDate(wild).empty());
}

TEST(OperatorsFormatting, DateText) {
    struct Case {
        const char* text;
        double expected;  // -1: no date
    } cases[] = {
        {"1/31/2024", 45322},
        {"2024-01-31", 45322},
        {"January 31, 2024", 45322},
        {"31 Jan 2024", 45322},
        {"Wednesday, January 31, 2024", 45322},
        {"31/1/2024", 45322},
        {"1/31/24", 45322},
        {"1/31/2024 13:05", 45322 + (13 * 3600 + 5 * 60) / 86400.0},
        {"1/31/2024 1:05:00 PM", 45322 + (13 * 3600 + 5 * 60) / 86400.0},
        {"13:05", (13 * 3600 + 5 * 60) / 86400.0},
        {"12:00 AM", 0},
        {"12:30:15 pm", (12 * 3600 + 30 * 60 + 15) / 86400.0},
        {"3 PM", 15 / 24.0},
        {"1/1/1930", 10959},
        {"Jan 31 2024 1:05PM", 45322 + (13 * 3600 + 5 * 60) / 86400.0},
        {"2024-01-31 13:05:00", 45322 + (13 * 3600 + 5 * 60) / 86400.0},
        {"31-Jan-2024", 45322},
        {"January 2024", 45292},
        {"1/2024", 45292},
        {"2/29/2024", 45351},
        {"2/30/2024", -1},
        {"13/13/2024", -1},
        {"25:00", -1},
        {"12:60", -1},
        {"13:00 PM", -1},
        {"5", -1},
        {"1.5", -1},
        {"hello", -1},
        {"", -1},
        {"1//2/2024", -1},
        {"1/2/3/4", -1},
        {"Jan Feb 2024", -1},
    };
    for (const Case& c : cases) {
        double d = -1;
        const bool ok = dt::ParseDate(Wide(c.text), &d);
        EXPECT_EQ(ok, c.expected != -1) << c.text;
        if (ok && c.expected != -1) {
            EXPECT_NEAR(d, c.expected, 1e-9) << c.text;
        }
    }
}

TEST(OperatorsConversions, ToDateAcceptsDatesTextAndNumbers) {
    EXPECT_DOUBLE_EQ(ops::ToDate(S("2024-01-31")), 45322);
    EXPECT_DOUBLE_EQ(ops::ToDate(D(45322.5)), 45322.5);
    EXPECT_EQ(ErrorOf([] { ops::ToDate(S("soon")); }), err::kTypeMismatch);
}

// ---- Arithmetic -------------------------------------------------------------------

struct BinaryCase {
    Op op;
    CValue a, b;
    const char* expected;  // Show() of the result, or "error N"
};

std::string Run(const BinaryCase& c) {
    try {
        return Show(ops::Binary(c.op, c.a, c.b));
    } catch (const ScriptError& e) {
        return "error " + std::to_string(e.Number());
    }
}

void ExpectAll(std::initializer_list<BinaryCase> cases) {
    int i = 0;
    for (const BinaryCase& c : cases) {
        EXPECT_EQ(Run(c), c.expected)
            << "case " << i << ": " << Show(c.a) << " op " << int(c.op) << " " << Show(c.b);
        ++i;
    }
}

TEST(OperatorsArithmetic, ResultTypesAndWidening) {
    ExpectAll({
        {Op::Add, I(1), I(2), "Integer 3"},
        {Op::Add, I(32767), I(1), "Long 32768"},
        {Op::Sub, I(-32768), I(1), "Long -32769"},
        {Op::Mul, I(200), I(200), "Long 40000"},
        {Op::Add, L(2147483647), L(1), "Double 2147483648"},
        {Op::Mul, L(65536), L(65536), "Double 4294967296"},
        {Op::Add, By(200), By(55), "Byte 255"},
        {Op::Add, By(200), By(56), "Integer 256"},
        {Op::Sub, By(1), By(2), "Integer -1"},
        {Op::Add, By(1), I(1), "Integer 2"},
        {Op::Add, I(1), L(1), "Long 2"},
        {Op::Add, I(1), D(0.5), "Double 1.5"},
        {Op::Add, Sg(1.5f), Sg(1), "Single 2.5"},
        {Op::Add, Sg(1.5f), I(1), "Single 2.5"},
        {Op::Add, Sg(1.5f), L(1), "Double 2.5"},
        {Op::Add, Sg(1.5f), D(1), "Double 2.5"},
        {Op::Add, Cy(15000), I(1), "Currency 2.5"},
        {Op::Mul, Cy(15000), Cy(20000), "Currency 3"},
        {Op::Add, Cy(15000), D(1), "Double 2.5"},
        {Op::Add, B(true), B(true), "Integer -2"},
        {Op::Add, kEmpty, kEmpty, "Integer 0"},
        {Op::Add, kEmpty, I(5), "Integer 5"},
        {Op::Mul, D(1e308), D(10), "error 6"},
        {Op::Add, Cy(INT64_MAX), Cy(1), "error 6"},
    });
}

TEST(OperatorsArithmetic, PlusWithText) {
    ExpectAll({
        {Op::Add, S("a"), S("b"), "String ab"},
        {Op::Add, S("1"), S("2"), "String 12"},
        {Op::Add, S("1"), I(2), "Double 3"},
        {Op::Add, I(2), S(" 1.5 "), "Double 3.5"},
        {Op::Add, S("a"), I(1), "error 13"},
        {Op::Add, S("a"), kEmpty, "String a"},
        {Op::Add, kEmpty, S("a"), "String a"},
        {Op::Sub, S("5"), S("2"), "Double 3"},
        {Op::Mul, S("x"), I(2), "error 13"},
    });
}

TEST(OperatorsArithmetic, Dates) {
    ExpectAll({
        {Op::Add, Dt(45322), I(1), "Date 2/1/2024"},
        {Op::Add, I(1), Dt(45322), "Date 2/1/2024"},
        {Op::Sub, Dt(45322), I(31), "Date 12/31/2023"},
        {Op::Sub, Dt(45322), Dt(45320), "Double 2"},
        {Op::Add, Dt(45322), D(0.5), "Date 1/31/2024 12:00:00 PM"},
        {Op::Mul, Dt(2), I(2), "Double 4"},
        {Op::Add, Dt(2958465), I(1), "error 6"},
    });
}

TEST(OperatorsArithmetic, DivisionAndPower) {
    ExpectAll({
        {Op::Div, I(1), I(2), "Double 0.5"},
        {Op::Div, I(4), I(2), "Double 2"},
        {Op::Div, I(1), I(0), "error 11"},
        {Op::Div, I(0), I(0), "error 6"},
        {Op::Div, I(1), kEmpty, "error 11"},
        {Op::Div, Sg(1), I(3), "Single 0.3333333"},  // Single with Integer or Byte stays Single
        {Op::Div, By(1), Sg(4), "Single 0.25"},
        {Op::Div, Sg(1), D(4), "Double 0.25"},
        {Op::IntDiv, I(7), I(2), "Integer 3"},
        {Op::IntDiv, I(-7), I(2), "Integer -3"},
        {Op::IntDiv, D(7.5), I(2), "Long 4"},    // 7.5 rounds to 8
        {Op::IntDiv, D(6.5), D(2.5), "Long 3"},  // 6 \ 2
        {Op::IntDiv, I(-32768), I(-1), "Long 32768"},
        {Op::IntDiv, By(9), By(2), "Byte 4"},
        {Op::IntDiv, I(1), I(0), "error 11"},
        {Op::IntDiv, I(1), D(0.4), "error 11"},
        {Op::IntDiv, L(INT32_MIN), I(-1), "error 6"},
        {Op::Mod, I(7), I(3), "Integer 1"},
        {Op::Mod, I(-7), I(3), "Integer -1"},
        {Op::Mod, I(7), I(-3), "Integer 1"},
        {Op::Mod, D(5.5), I(4), "Long 2"},  // 6 Mod 4
        {Op::Mod, L(10), I(0), "error 11"},
        {Op::Mod, D(1e10), I(3), "error 6"},
        {Op::Pow, I(2), I(10), "Double 1024"},
        {Op::Pow, I(2), I(-1), "Double 0.5"},
        {Op::Pow, I(0), I(-1), "error 11"},
        {Op::Pow, I(-8), D(1.0 / 3), "error 5"},
        {Op::Pow, I(10), I(400), "error 6"},
    });
}

TEST(OperatorsArithmetic, NullPropagates) {
    ExpectAll({
        {Op::Add, kNull, I(1), "Null"},
        {Op::Add, S("a"), kNull, "Null"},
        {Op::Sub, I(1), kNull, "Null"},
        {Op::Mul, kNull, kNull, "Null"},
        {Op::Div, kNull, I(0), "Null"},
        {Op::Mod, I(1), kNull, "Null"},
        {Op::Pow, kNull, I(2), "Null"},
        {Op::Sub, kNull, S("a"), "Null"},  // Null wins over text that is no number
        {Op::Mul, S("x"), kNull, "Null"},
        {Op::Mod, kNull, S("x"), "Null"},
        {Op::Sub, CValue::Nothing(), kNull, "error 13"},
    });
}

TEST(OperatorsArithmetic, Concatenation) {
    ExpectAll({
        {Op::Concat, S("a"), S("b"), "String ab"},
        {Op::Concat, I(1), D(2.5), "String 12.5"},
        {Op::Concat, kNull, S("a"), "String a"},
        {Op::Concat, S("a"), kNull, "String a"},
        {Op::Concat, kNull, kNull, "Null"},
        {Op::Concat, kEmpty, B(true), "String True"},
        {Op::Concat, Dt(45322), S("!"), "String 1/31/2024!"},
    });
}

TEST(OperatorsArithmetic, TextBeyondTheLimitIsOutOfStringSpace) {
    const CValue half = CValue::Str(String(kMaxStringLength / 2 + 1, u'x'));
    EXPECT_EQ(ErrorOf([&] { ops::Binary(Op::Concat, half, half); }), err::kOutOfStringSpace);
    EXPECT_EQ(ErrorOf([&] { ops::Binary(Op::Add, half, half); }), err::kOutOfStringSpace);
    const CValue fits = CValue::Str(String(kMaxStringLength / 2, u'x'));
    EXPECT_EQ(ops::Binary(Op::Concat, fits, fits).str().size(), kMaxStringLength);
}

TEST(OperatorsArithmetic, Negate) {
    EXPECT_EQ(Show(ops::Negate(I(5))), "Integer -5");
    EXPECT_EQ(Show(ops::Negate(I(-32768))), "Long 32768");
    EXPECT_EQ(Show(ops::Negate(L(INT32_MIN))), "Double 2147483648");
    EXPECT_EQ(Show(ops::Negate(By(5))), "Integer -5");
    EXPECT_EQ(Show(ops::Negate(B(true))), "Integer 1");
    EXPECT_EQ(Show(ops::Negate(kEmpty)), "Integer 0");
    EXPECT_EQ(Show(ops::Negate(S("2.5"))), "Double -2.5");
    EXPECT_EQ(Show(ops::Negate(kNull)), "Null");
    EXPECT_EQ(Show(ops::Negate(Sg(1.5f))), "Single -1.5");
    EXPECT_EQ(Show(ops::Negate(Cy(10000))), "Currency -1");
    EXPECT_EQ(ErrorOf([] { ops::Negate(S("x")); }), err::kTypeMismatch);
}

// ---- Logic ------------------------------------------------------------------------

TEST(OperatorsLogic, BitwiseAndBoolean) {
    ExpectAll({
        {Op::And, B(true), B(false), "Boolean False"},
        {Op::Or, B(true), B(false), "Boolean True"},
        {Op::Xor, B(true), B(true), "Boolean False"},
        {Op::Eqv, B(false), B(false), "Boolean True"},
        {Op::Imp, B(true), B(false), "Boolean False"},
        {Op::Imp, B(false), B(false), "Boolean True"},
        {Op::And, I(12), I(10), "Integer 8"},
        {Op::Or, I(12), I(10), "Integer 14"},
        {Op::Xor, I(12), I(10), "Integer 6"},
        {Op::Eqv, I(12), I(10), "Integer -7"},
        {Op::Imp, I(12), I(10), "Integer -5"},
        {Op::And, B(true), I(5), "Integer 5"},
        {Op::And, L(65535), I(255), "Long 255"},
        {Op::And, By(12), By(10), "Byte 8"},
        {Op::And, D(6.5), I(7), "Long 6"},
        {Op::Or, S("1"), I(2), "Long 3"},
        {Op::And, S("True"), B(true), "Boolean True"},
        {Op::And, S("x"), B(true), "error 13"},
    });
}

TEST(OperatorsLogic, NullRules) {
    ExpectAll({
        {Op::And, kNull, B(false), "Boolean False"},
        {Op::And, B(false), kNull, "Boolean False"},
        {Op::And, kNull, B(true), "Null"},
        {Op::And, kNull, I(0), "Integer 0"},
        {Op::Or, kNull, B(true), "Boolean True"},
        {Op::Or, B(true), kNull, "Boolean True"},
        {Op::Or, kNull, B(false), "Null"},
        {Op::Xor, kNull, B(true), "Null"},
        {Op::Eqv, kNull, B(true), "Null"},
        {Op::Imp, B(false), kNull, "Boolean True"},
        {Op::Imp, kNull, B(true), "Boolean True"},
        {Op::Imp, B(true), kNull, "Null"},
        {Op::Imp, kNull, B(false), "Null"},
        {Op::And, kNull, kNull, "Null"},
    });
}

TEST(OperatorsLogic, Not) {
    EXPECT_EQ(Show(ops::Not(B(true))), "Boolean False");
    EXPECT_EQ(Show(ops::Not(I(0))), "Integer -1");
    EXPECT_EQ(Show(ops::Not(I(5))), "Integer -6");
    EXPECT_EQ(Show(ops::Not(L(5))), "Long -6");
    EXPECT_EQ(Show(ops::Not(By(5))), "Byte 250");
    EXPECT_EQ(Show(ops::Not(kNull)), "Null");
    EXPECT_EQ(Show(ops::Not(kEmpty)), "Integer -1");
    EXPECT_EQ(Show(ops::Not(D(1.6))), "Long -3");
}

// ---- Comparison -------------------------------------------------------------------

TEST(OperatorsCompare, AcrossTypes) {
    struct Case {
        CValue a, b;
        int expected;
    } cases[] = {
        {I(1), D(1.0), 0},    {I(1), L(2), -1},         {D(2.5), By(2), 1},
        {S("a"), S("b"), -1}, {S("B"), S("a"), -1},     {S("ab"), S("a"), 1},
        {S(""), kEmpty, 0},   {kEmpty, I(0), 0},        {kEmpty, kEmpty, 0},
        {kEmpty, S("a"), -1}, {B(true), I(-1), 0},      {B(false), B(true), 1},
        {I(10), S("9"), 1},   {S("10"), I(9), 1},       {I(10), S("abc"), -1},
        {S("abc"), I(10), 1}, {Dt(45322), D(45322), 0}, {Dt(45322), S("1/31/2024"), 0},
        {Cy(10000), I(1), 0}, {Cy(1), Cy(2), -1},       {L(INT32_MIN), L(INT32_MAX), -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ops::Compare(c.a, c.b), c.expected) << Show(c.a) << " vs " << Show(c.b);
}

TEST(OperatorsCompare, TextModeIgnoresCase) {
    EXPECT_EQ(ops::Compare(S("ABC"), S("abc"), true), 0);
    EXPECT_NE(ops::Compare(S("ABC"), S("abc"), false), 0);
    EXPECT_EQ(ops::Compare(S("a"), S("B"), true), -1);
    EXPECT_EQ(ops::Compare(S("_"), S("a"), true), -1);
    EXPECT_EQ(ops::Compare(CValue::Str(String(u"\u00C9T\u00C9")), CValue::Str(String(u"\u00E9t\u00E9")), true),
              0);
    EXPECT_EQ(ops::Compare(CValue::Str(String(u"\u0416")), CValue::Str(String(u"\u0436")), true), 0);
}

TEST(OperatorsCompare, BinaryComparisons) {
    ExpectAll({
        {Op::Eq, I(1), D(1), "Boolean True"},
        {Op::Ne, I(1), D(1), "Boolean False"},
        {Op::Lt, S("a"), S("b"), "Boolean True"},
        {Op::Le, I(2), I(2), "Boolean True"},
        {Op::Gt, I(2), I(2), "Boolean False"},
        {Op::Ge, S("b"), S("a"), "Boolean True"},
        {Op::Eq, kNull, I(1), "Null"},
        {Op::Lt, S("a"), kNull, "Null"},
        {Op::Eq, kNull, kNull, "Null"},
        {Op::Eq, kEmpty, S(""), "Boolean True"},
        {Op::Eq, CValue::Nothing(), I(1), "error 13"},
    });
}

// ---- Case mapping -----------------------------------------------------------------

TEST(OperatorsCase, Alphabets) {
    struct Case {
        const char16_t* upper;
        const char16_t* lower;
    } cases[] = {
        {u"ABCXYZ", u"abcxyz"},
        {u"\u00C0\u00C9\u00D6\u00D8\u00DE", u"\u00E0\u00E9\u00F6\u00F8\u00FE"},
        {u"\u0100\u0106\u010C\u0141\u0143\u0150\u0152\u0160\u0178\u017D",
         u"\u0101\u0107\u010D\u0142\u0144\u0151\u0153\u0161\u00FF\u017E"},
        {u"\u0391\u0392\u03A3\u03A9\u0386\u0388\u038C\u038F\u03AA",
         u"\u03B1\u03B2\u03C3\u03C9\u03AC\u03AD\u03CC\u03CE\u03CA"},
        {u"\u0410\u042F\u0401\u0404\u0460\u0490\u04C1\u04D0",
         u"\u0430\u044F\u0451\u0454\u0461\u0491\u04C2\u04D1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ops::ToLower(c.upper), c.lower) << Narrow(c.upper);
        EXPECT_EQ(ops::ToUpper(c.lower), c.upper) << Narrow(c.lower);
    }
}

TEST(OperatorsCase, CharactersWithoutCaseStay) {
    const String same = u"123 !_\u00D7\u00F7\u00DF\u0138\u0149\u4E2D\U0001F600";
    EXPECT_EQ(ops::ToLower(same), same);
    EXPECT_EQ(ops::ToUpper(same), same);
    EXPECT_EQ(ops::ToUpperChar(u'\u03C2'), u'\u03A3');  // final sigma
    EXPECT_EQ(ops::ToLowerChar(u'\u0130'), u'i');
    EXPECT_EQ(ops::ToUpperChar(u'\u0131'), u'I');
}

TEST(OperatorsCase, RoundTripsEveryMappedLetter) {
    for (unsigned c = 0; c < 0x530; ++c) {
        const char16_t lower = ops::ToLowerChar(char16_t(c));
        if (lower != c && c != 0x130) {
            EXPECT_EQ(ops::ToUpperChar(lower), c) << std::hex << c;
        }
    }
}

}  // namespace
}  // namespace script

namespace script {
namespace {

using namespace script::test;
using ops::Op;

// Every operator over every pair of a mixed pool: only language errors come
// out, comparisons are antisymmetric, "=" agrees with Compare, and integer
// results never lose their value to a narrower subtype.
TEST(OperatorsProperties, EveryPairOfAMixedPool) {
    const std::vector<CValue> pool = {CValue(),
                                     CValue::Null(),
                                     CValue::Boolean(true),
                                     CValue::Boolean(false),
                                     CValue::Byte(255),
                                     CValue::Byte(0),
                                     CValue::Integer(-32768),
                                     CValue::Integer(32767),
                                     CValue::Integer(-1),
                                     CValue::Long(INT32_MIN),
                                     CValue::Long(INT32_MAX),
                                     CValue::Single(-1.5f),
                                     CValue::Single(3e38f),
                                     CValue::Double(1e308),
                                     CValue::Double(-0.5),
                                     CValue::Double(2.5),
                                     CValue::Currency(INT64_MAX),
                                     CValue::Currency(-15000),
                                     CValue::Date(2958465),
                                     CValue::Date(-657434),
                                     CValue::Date(45322.5),
                                     CValue::Str(String()),
                                     CValue::Str(String(u" 12 ")),
                                     CValue::Str(String(u"abc")),
                                     CValue::Str(String(u"1/31/2024")),
                                     CValue::Str(String(u"&HFFFF")),
                                     CValue::Str(String(u"True")),
                                     CValue::Nothing(),
                                     CValue::Arr(std::make_shared<Array>()),
                                     CValue::Missing()};
    const Op ops[] = {Op::Add,    Op::Sub, Op::Mul, Op::Div, Op::IntDiv, Op::Mod, Op::Pow,
                      Op::Concat, Op::And, Op::Or,  Op::Xor, Op::Eqv,    Op::Imp, Op::Eq,
                      Op::Ne,     Op::Lt,  Op::Le,  Op::Gt,  Op::Ge};
    const std::set<int> allowed = {err::kInvalidCall, err::kOverflow, err::kDivisionByZero,
                                   err::kTypeMismatch, err::kInvalidUseOfNull};
    for (const CValue& a : pool) {
        for (const CValue& b : pool) {
            for (Op op : ops) {
                try {
                    const CValue r = ops::Binary(op, a, b);
                    if (r.type() == Type::Double && op != Op::Div && op != Op::Pow) {
                        EXPECT_TRUE(std::isfinite(r.dbl())) << Show(a) << " " << int(op) << " " << Show(b);
                    }
                } catch (const ScriptError& e) {
                    EXPECT_TRUE(allowed.count(e.Number()))
                        << Show(a) << " " << int(op) << " " << Show(b) << ": " << e.Number();
                }
            }
            if (a.IsNull() || b.IsNull()) continue;
            int ab = 2, ba = 2;
            try {
                ab = ops::Compare(a, b);
                ba = ops::Compare(b, a);
            } catch (const ScriptError& e) {
                EXPECT_EQ(e.Number(), err::kTypeMismatch);
                continue;
            }
            EXPECT_EQ(ab, -ba) << Show(a) << " vs " << Show(b);
            EXPECT_EQ(ops::Binary(Op::Eq, a, b).boolean(), ab == 0) << Show(a) << " = " << Show(b);
        }
        for (auto unary : {ops::Negate, ops::Not}) {
            try {
                unary(a);
            } catch (const ScriptError& e) {
                EXPECT_TRUE(allowed.count(e.Number())) << Show(a) << ": " << e.Number();
            }
        }
    }
}

// Integer arithmetic against 64-bit arithmetic: the value is kept, the
// subtype is the narrowest of Integer, Long, Double that the operands allow.
TEST(OperatorsProperties, IntegerArithmeticKeepsTheValue) {
    const int32_t samples[] = {0,      1,     -1,    2,     127,    255,       256,      32767,
                               -32768, 32768, 65535, 46341, -46341, INT32_MAX, INT32_MIN};
    for (int32_t x : samples) {
        for (int32_t y : samples) {
            const bool narrow = x >= INT16_MIN && x <= INT16_MAX && y >= INT16_MIN && y <= INT16_MAX;
            const CValue a = narrow ? CValue::Integer(int16_t(x)) : CValue::Long(x);
            const CValue b = narrow ? CValue::Integer(int16_t(y)) : CValue::Long(y);
            const int64_t expected[] = {int64_t(x) + y, int64_t(x) - y, int64_t(x) * y};
            const Op op[] = {Op::Add, Op::Sub, Op::Mul};
            for (int k = 0; k < 3; ++k) {
                const CValue r = ops::Binary(op[k], a, b);
                EXPECT_EQ(ops::ToDouble(r), double(expected[k])) << x << " op " << k << " " << y;
                const int64_t e = expected[k];
                const Type want = narrow && e >= INT16_MIN && e <= INT16_MAX ? Type::Integer
                                  : e >= INT32_MIN && e <= INT32_MAX         ? Type::Long
                                                                             : Type::Double;
                EXPECT_EQ(r.type(), want) << x << " op " << k << " " << y;
            }
        }
    }
}

}  // namespace
}  // namespace script
