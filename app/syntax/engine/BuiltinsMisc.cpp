// The run-time library's type tests, arrays, what goes through the host
// (CreateObject, MsgBox, InputBox) and the engine's identity.
#include <vector>

#include "BuiltinsParts.h"
#include "Engine.h"
#include "Operators.h"

namespace script::builtins_detail {

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

}  // namespace script::builtins_detail
