// The run-time library's pieces shared by its files (Builtins.cpp: Plain and
// the tables; BuiltinsStrings.cpp: text; BuiltinsMath.cpp: conversions, math
// and number formatting; BuiltinsMisc.cpp: type tests, arrays, the host and
// the engine's identity). Not for use outside the library.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "Builtins.h"
#include "Operators.h"

namespace script::builtins_detail {

using Args = std::span<const Value>;

inline bool Given(Args args, size_t i) { return i < args.size() && !args[i].IsMissing(); }

inline Value Arg(Args args, size_t i) { return Plain(args[i]); }

inline void NotNull(const Value& v) {
    if (v.IsNull()) Raise(err::kInvalidUseOfNull);
}

inline String TextArg(Args args, size_t i) { return ops::ToString(Plain(args[i])); }

inline int32_t LongArg(Args args, size_t i) {
    const Value v = Plain(args[i]);
    NotNull(v);
    return ops::ToLong(v);
}

inline int32_t LongArg(Args args, size_t i, int32_t fallback) {
    return Given(args, i) ? LongArg(args, i) : fallback;
}

inline String Ascii(const char* s) {
    String out;
    while (*s) out.push_back(char16_t(static_cast<unsigned char>(*s++)));
    return out;
}

inline std::shared_ptr<Array> NewArray(std::vector<Value> items) {
    auto a = std::make_shared<Array>();
    a->upper.push_back(int32_t(items.size()) - 1);
    a->data = std::move(items);
    return a;
}

inline const Array& ArrayArg(const Value& v) {
    if (!v.IsArray() || !v.array()) Raise(err::kTypeMismatch);
    return *v.array();
}

// ---- Text (BuiltinsStrings.cpp) ----
Value BiLen(RuntimeState&, Args args);
Value BiLeft(RuntimeState&, Args args);
Value BiRight(RuntimeState&, Args args);
Value BiMid(RuntimeState&, Args args);
Value BiLCase(RuntimeState&, Args args);
Value BiUCase(RuntimeState&, Args args);
Value BiTrim(RuntimeState&, Args args);
Value BiLTrim(RuntimeState&, Args args);
Value BiRTrim(RuntimeState&, Args args);
Value BiSpace(RuntimeState&, Args args);
Value BiString(RuntimeState&, Args args);
Value BiStrReverse(RuntimeState&, Args args);
Value BiAsc(RuntimeState&, Args args);
Value BiAscB(RuntimeState&, Args args);
Value BiAscW(RuntimeState&, Args args);
Value BiChr(RuntimeState&, Args args);
Value BiChrB(RuntimeState&, Args args);
Value BiChrW(RuntimeState&, Args args);
Value BiInStr(RuntimeState&, Args args);
Value BiInStrB(RuntimeState&, Args args);
Value BiInStrRev(RuntimeState&, Args args);
Value BiReplace(RuntimeState&, Args args);
Value BiStrComp(RuntimeState&, Args args);
Value BiSplit(RuntimeState&, Args args);
Value BiJoin(RuntimeState&, Args args);
Value BiFilter(RuntimeState&, Args args);
Value BiEscape(RuntimeState&, Args args);
Value BiUnescape(RuntimeState&, Args args);

// ---- Conversions, math and number formatting (BuiltinsMath.cpp) ----
Value BiCBool(RuntimeState&, Args args);
Value BiCByte(RuntimeState&, Args args);
Value BiCInt(RuntimeState&, Args args);
Value BiCLng(RuntimeState&, Args args);
Value BiCSng(RuntimeState&, Args args);
Value BiCDbl(RuntimeState&, Args args);
Value BiCCur(RuntimeState&, Args args);
Value BiCDate(RuntimeState&, Args args);
Value BiCStr(RuntimeState&, Args args);
Value BiHex(RuntimeState&, Args args);
Value BiOct(RuntimeState&, Args args);
Value BiAtn(RuntimeState&, Args args);
Value BiCos(RuntimeState&, Args args);
Value BiSin(RuntimeState&, Args args);
Value BiTan(RuntimeState&, Args args);
Value BiExp(RuntimeState&, Args args);
Value BiLog(RuntimeState&, Args args);
Value BiSqr(RuntimeState&, Args args);
Value BiSgn(RuntimeState&, Args args);
Value BiAbs(RuntimeState&, Args args);
Value BiInt(RuntimeState&, Args args);
Value BiFix(RuntimeState&, Args args);
Value BiRound(RuntimeState&, Args args);
Value BiRnd(RuntimeState& state, Args args);
Value BiRandomize(RuntimeState& state, Args args);
Value BiRGB(RuntimeState&, Args args);
Value BiFormatNumber(RuntimeState&, Args args);
Value BiFormatCurrency(RuntimeState&, Args args);
Value BiFormatPercent(RuntimeState&, Args args);

// ---- Type tests, arrays, the host and the engine's identity (BuiltinsMisc.cpp) ----
Value BiIsArray(RuntimeState&, Args args);
Value BiIsEmpty(RuntimeState&, Args args);
Value BiIsNull(RuntimeState&, Args args);
Value BiIsObject(RuntimeState&, Args args);
Value BiIsNumeric(RuntimeState&, Args args);
Value BiTypeName(RuntimeState&, Args args);
Value BiVarType(RuntimeState&, Args args);
Value BiArray(RuntimeState&, Args args);
Value BiLBound(RuntimeState&, Args args);
Value BiUBound(RuntimeState&, Args args);
Value BiCreateObject(RuntimeState& state, Args args);
Value BiMsgBox(RuntimeState& state, Args args);
Value BiInputBox(RuntimeState& state, Args args);
Value BiScriptEngine(RuntimeState&, Args);
Value BiScriptEngineMajorVersion(RuntimeState&, Args);
Value BiScriptEngineMinorVersion(RuntimeState&, Args);
Value BiScriptEngineBuildVersion(RuntimeState&, Args);

}  // namespace script::builtins_detail
