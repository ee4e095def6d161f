// The operators where a script cannot reach them: every operator over every
// pair of a mixed pool, integer arithmetic against 64-bit arithmetic, the
// case tables letter by letter and the length limit of text. What scripts
// see of conversions and operators (subtypes, widening, Null and Empty,
// comparisons, number and date text) is checked by
// tests/app/syntax/conformance/operators.vbs on both engines.
#include "Operators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "ScriptTestSupport.h"

namespace script {
namespace {

using namespace script::test;
using ops::Op;

TEST(OperatorsArithmetic, LimitsAndNothingAreErrors) {
    const CValue half = CValue::Str(String(kMaxStringLength / 2 + 1, u'x'));
    EXPECT_EQ(ErrorOf([&] { ops::Binary(Op::Concat, half, half); }), err::kOutOfStringSpace);
    EXPECT_EQ(ErrorOf([&] { ops::Binary(Op::Add, half, half); }), err::kOutOfStringSpace);
    const CValue fits = CValue::Str(String(kMaxStringLength / 2, u'x'));
    EXPECT_EQ(ops::Binary(Op::Concat, fits, fits).str().size(), kMaxStringLength);
    EXPECT_EQ(ErrorOf([] { ops::Binary(Op::Add, CValue::Currency(INT64_MAX), CValue::Currency(1)); }),
              err::kOverflow);
    // A script gets Nothing's default member first (91); the operators see no number in it.
    const CValue nothing = CValue::Nothing();
    EXPECT_EQ(ErrorOf([&] { ops::ToDouble(nothing); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([&] { ops::Binary(Op::Sub, nothing, CValue::Null()); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([&] { ops::Binary(Op::Eq, nothing, CValue::Integer(1)); }), err::kTypeMismatch);
}

TEST(OperatorsCase, RoundTripsEveryMappedLetter) {
    for (unsigned c = 0; c < 0x530; ++c) {
        const char16_t lower = ops::ToLowerChar(char16_t(c));
        if (lower != c && c != 0x130) {
            EXPECT_EQ(ops::ToUpperChar(lower), c) << std::hex << c;
        }
    }
}

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
