// The run-time library: the functions and constants every script sees
// (strings, conversions, type tests, arrays, math, date and time, message
// boxes through the host).
//
// Functions that need the interpreter itself (Eval, Execute,
// ExecuteGlobal, GetRef, the Err object, IsObject of a variable...) are the
// interpreter's; everything here works on values alone, plus the little
// run-time state below.
#pragma once

#include <cstdint>
#include <span>

#include "Value.h"

namespace script {

class CHost;

// What a built-in function may use beyond its arguments.
struct RuntimeState {
    CHost* host = nullptr;        // CreateObject, MsgBox, InputBox, the clock
    uint32_t rndSeed = 0x50000;  // Rnd's generator
};

// Arguments arrive evaluated, objects not yet replaced by their default
// member (IsObject, TypeName, VarType must see them); Operators' functions
// expect plain values, so a function that converts calls Plain first.
using BuiltinFn = CValue (*)(RuntimeState& state, std::span<const CValue> args);

// A maxArgs of kAnyArgs: no upper limit (Array). It is the largest count,
// so that a plain "more than maxArgs" check still lets 127 through.
constexpr int8_t kAnyArgs = INT8_MAX;

struct Builtin {
    const char16_t* name;
    int8_t minArgs;
    int8_t maxArgs;  // kAnyArgs: any number
    BuiltinFn fn;
};

// The function named `name` (ignoring case), or null.
const Builtin* FindBuiltin(StringView name);
// Every function of the library, in the table's order.
std::span<const Builtin> AllBuiltins();
// CByte, CInt, CLng, CSng, CDbl, CCur.
bool IsNumericConversion(const Builtin* b);
// The constant named `name` (vbCrLf, vbTextCompare, vbObject...): false
// when there is none.
bool FindConstant(StringView name, CValue* value);

// `v` with an object replaced by its default member (Invoke with an empty
// name); Nothing throws Object variable not set.
CValue Plain(const CValue& v);

}  // namespace script
