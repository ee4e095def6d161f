// Conversions and operators with the language's coercions.
//
// Operands reach these functions with objects already replaced by their
// default member (the interpreter does that); an object that remains is a
// type mismatch. Null propagates as the language says (Null + 1 is Null,
// Null And False is False); Empty counts as 0 in arithmetic and "" in text.
// Integer arithmetic widens instead of overflowing (Integer to Long to
// Double); a conversion out of range throws Overflow, text that is no
// number throws Type mismatch.
#pragma once

#include "Value.h"

namespace script::ops {

// ---- Conversions (the C... functions use these) ---------------------------------
bool ToBool(const CValue& v);
uint8_t ToByte(const CValue& v);
int16_t ToInteger(const CValue& v);  // rounds half to even, as CInt does
int32_t ToLong(const CValue& v);
float ToSingle(const CValue& v);
double ToDouble(const CValue& v);
int64_t ToCurrency(const CValue& v);  // scaled by 10,000
double ToDate(const CValue& v);       // numbers, and text such as "2024-01-31", "1/31/2024 13:05"
String ToString(const CValue& v);     // Null throws Invalid use of Null

// Text as a number: leading and trailing blanks, sign, decimals, exponent,
// "&H1F" and "&O17"; false when the whole text is not one number.
bool ParseNumber(StringView text, double* value);
// A number as CStr writes it: up to 15 significant digits, "1E+20", "0.1".
String FormatDouble(double d);
// A date as CStr writes it: "1/31/2024", "1:05:00 PM", "1/31/2024 1:05:00 PM".
String FormatDate(double d);

// Numeric promotion for arithmetic: Empty -> Integer 0, text -> Double,
// Boolean -> Integer, Date -> Double. Throws Type mismatch.
CValue ToNumeric(const CValue& v);

// ---- Operators ---------------------------------------------------------------
enum class Op {
    Add, Sub, Mul, Div, IntDiv, Mod, Pow, Concat,
    And, Or, Xor, Eqv, Imp,
    Eq, Ne, Lt, Le, Gt, Ge,
};

// a <op> b. "+" on two strings concatenates; on a string and a number it
// adds. Comparisons answer Boolean, or Null when either side is Null.
CValue Binary(Op op, const CValue& a, const CValue& b);
CValue Negate(const CValue& v);
CValue Not(const CValue& v);

// Ordering of two values as "=" and "<" see them: -1, 0 or 1. Text compares
// binary, or ignoring case with `text` (Option Compare Text, StrComp's
// mode 1, Select Case with text). Neither side may be Null.
int Compare(const CValue& a, const CValue& b, bool text = false);

// Case mapping for text (LCase, UCase, comparisons ignoring case): Latin,
// Greek and Cyrillic letters.
char16_t ToLowerChar(char16_t c);
char16_t ToUpperChar(char16_t c);
String ToLower(StringView s);
String ToUpper(StringView s);

}  // namespace script::ops
