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

using Args = std::span<const CValue>;

inline bool Given(Args args, size_t i) { return i < args.size() && !args[i].IsMissing(); }

inline CValue Arg(Args args, size_t i) { return Plain(args[i]); }

inline void NotNull(const CValue& v) {
    if (v.IsNull()) Raise(err::kInvalidUseOfNull);
}

inline String TextArg(Args args, size_t i) { return ops::ToString(Plain(args[i])); }

inline int32_t LongArg(Args args, size_t i) {
    const CValue v = Plain(args[i]);
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

inline std::shared_ptr<Array> NewArray(std::vector<CValue> items) {
    auto a = std::make_shared<Array>();
    a->upper.push_back(int32_t(items.size()) - 1);
    a->data = std::move(items);
    return a;
}

inline const Array& ArrayArg(const CValue& v) {
    if (!v.IsArray() || !v.array()) Raise(err::kTypeMismatch);
    return *v.array();
}

// ---- Text (BuiltinsStrings.cpp) ----
CValue BiLen(RuntimeState&, Args args);
CValue BiLeft(RuntimeState&, Args args);
CValue BiRight(RuntimeState&, Args args);
CValue BiMid(RuntimeState&, Args args);
CValue BiLCase(RuntimeState&, Args args);
CValue BiUCase(RuntimeState&, Args args);
CValue BiTrim(RuntimeState&, Args args);
CValue BiLTrim(RuntimeState&, Args args);
CValue BiRTrim(RuntimeState&, Args args);
CValue BiSpace(RuntimeState&, Args args);
CValue BiString(RuntimeState&, Args args);
CValue BiStrReverse(RuntimeState&, Args args);
CValue BiAsc(RuntimeState&, Args args);
CValue BiAscB(RuntimeState&, Args args);
CValue BiAscW(RuntimeState&, Args args);
CValue BiChr(RuntimeState&, Args args);
CValue BiChrB(RuntimeState&, Args args);
CValue BiChrW(RuntimeState&, Args args);
CValue BiInStr(RuntimeState&, Args args);
CValue BiInStrB(RuntimeState&, Args args);
CValue BiInStrRev(RuntimeState&, Args args);
CValue BiReplace(RuntimeState&, Args args);
CValue BiStrComp(RuntimeState&, Args args);
CValue BiSplit(RuntimeState&, Args args);
CValue BiJoin(RuntimeState&, Args args);
CValue BiFilter(RuntimeState&, Args args);
CValue BiEscape(RuntimeState&, Args args);
CValue BiUnescape(RuntimeState&, Args args);

// ---- Conversions, math and number formatting (BuiltinsMath.cpp) ----
CValue BiCBool(RuntimeState&, Args args);
CValue BiCByte(RuntimeState&, Args args);
CValue BiCInt(RuntimeState&, Args args);
CValue BiCLng(RuntimeState&, Args args);
CValue BiCSng(RuntimeState&, Args args);
CValue BiCDbl(RuntimeState&, Args args);
CValue BiCCur(RuntimeState&, Args args);
CValue BiCDate(RuntimeState&, Args args);
CValue BiCStr(RuntimeState&, Args args);
CValue BiHex(RuntimeState&, Args args);
CValue BiOct(RuntimeState&, Args args);
CValue BiAtn(RuntimeState&, Args args);
CValue BiCos(RuntimeState&, Args args);
CValue BiSin(RuntimeState&, Args args);
CValue BiTan(RuntimeState&, Args args);
CValue BiExp(RuntimeState&, Args args);
CValue BiLog(RuntimeState&, Args args);
CValue BiSqr(RuntimeState&, Args args);
CValue BiSgn(RuntimeState&, Args args);
CValue BiAbs(RuntimeState&, Args args);
CValue BiInt(RuntimeState&, Args args);
CValue BiFix(RuntimeState&, Args args);
CValue BiRound(RuntimeState&, Args args);
CValue BiRnd(RuntimeState& state, Args args);
CValue BiRandomize(RuntimeState& state, Args args);
CValue BiRGB(RuntimeState&, Args args);
CValue BiFormatNumber(RuntimeState&, Args args);
CValue BiFormatCurrency(RuntimeState&, Args args);
CValue BiFormatPercent(RuntimeState&, Args args);

// ---- Type tests, arrays, the host and the engine's identity (BuiltinsMisc.cpp) ----
CValue BiIsArray(RuntimeState&, Args args);
CValue BiIsEmpty(RuntimeState&, Args args);
CValue BiIsNull(RuntimeState&, Args args);
CValue BiIsObject(RuntimeState&, Args args);
CValue BiIsNumeric(RuntimeState&, Args args);
CValue BiTypeName(RuntimeState&, Args args);
CValue BiVarType(RuntimeState&, Args args);
CValue BiArray(RuntimeState&, Args args);
CValue BiLBound(RuntimeState&, Args args);
CValue BiUBound(RuntimeState&, Args args);
CValue BiCreateObject(RuntimeState& state, Args args);
CValue BiMsgBox(RuntimeState& state, Args args);
CValue BiInputBox(RuntimeState& state, Args args);
CValue BiScriptEngine(RuntimeState&, Args);
CValue BiScriptEngineMajorVersion(RuntimeState&, Args);
CValue BiScriptEngineMinorVersion(RuntimeState&, Args);
CValue BiScriptEngineBuildVersion(RuntimeState&, Args);

}  // namespace script::builtins_detail
