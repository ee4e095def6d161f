// The run-time library's type tests, arrays, what goes through the host
// (CreateObject, MsgBox, InputBox) and the engine's identity.
#include <vector>

#include "BuiltinsParts.h"
#include "Engine.h"
#include "Operators.h"

namespace script::builtins_detail {

// ---- Type tests -------------------------------------------------------------------------

CValue BiIsArray(RuntimeState&, Args args) { return CValue::Boolean(args[0].IsArray()); }
CValue BiIsEmpty(RuntimeState&, Args args) { return CValue::Boolean(args[0].IsEmpty()); }
CValue BiIsNull(RuntimeState&, Args args) { return CValue::Boolean(args[0].IsNull()); }
CValue BiIsObject(RuntimeState&, Args args) { return CValue::Boolean(args[0].IsObject()); }

CValue BiIsNumeric(RuntimeState&, Args args) {
    CValue v = args[0];
    if (v.IsObject()) {  // its default property's value, if it has one
        try {
            v = Plain(v);
        } catch (const ScriptError&) {
            return CValue::Boolean(false);
        }
    }
    switch (v.type()) {
        case Type::Empty:
        case Type::Boolean: return CValue::Boolean(true);
        case Type::String: {
            double d;
            return CValue::Boolean(ops::ParseNumber(v.str(), &d));
        }
        default: return CValue::Boolean(v.IsNumber());
    }
}

CValue BiTypeName(RuntimeState&, Args args) {
    const CValue& v = args[0];
    switch (v.type()) {
        case Type::Empty: return CValue::Str(String(u"Empty"));
        case Type::Null: return CValue::Str(String(u"Null"));
        case Type::Integer: return CValue::Str(String(u"Integer"));
        case Type::Long: return CValue::Str(String(u"Long"));
        case Type::Single: return CValue::Str(String(u"Single"));
        case Type::Double: return CValue::Str(String(u"Double"));
        case Type::Currency: return CValue::Str(String(u"Currency"));
        case Type::Date: return CValue::Str(String(u"Date"));
        case Type::String: return CValue::Str(String(u"String"));
        case Type::Boolean: return CValue::Str(String(u"Boolean"));
        case Type::Byte: return CValue::Str(String(u"Byte"));
        case Type::Error: return CValue::Str(String(u"Error"));
        case Type::Array: return CValue::Str(String(u"Variant()"));
        case Type::Object: return CValue::Str(v.IsNothing() ? String(u"Nothing") : v.object()->TypeName());
    }
    return CValue::Str(String(u"Unknown"));
}

CValue BiVarType(RuntimeState&, Args args) { return CValue::Integer(int16_t(args[0].type())); }

// ---- Arrays -----------------------------------------------------------------------------

CValue BiArray(RuntimeState&, Args args) {
    std::vector<CValue> items(args.begin(), args.end());
    for (CValue& v : items)
        if (v.IsMissing()) v = CValue();
    return CValue::Arr(NewArray(std::move(items)));
}

CValue Bound(Args args, bool upper) {
    const Array& a = ArrayArg(args[0]);
    const int32_t dim = LongArg(args, 1, 1);
    if (dim < 1 || size_t(dim) > a.Dimensions()) Raise(err::kSubscript);
    return CValue::Long(upper ? a.upper[size_t(dim) - 1] : 0);
}

CValue BiLBound(RuntimeState&, Args args) { return Bound(args, false); }
CValue BiUBound(RuntimeState&, Args args) { return Bound(args, true); }

// ---- The host -----------------------------------------------------------------------------

CHost& HostOf(RuntimeState& state) {
    if (!state.host) Raise(err::kNotSupported, u"The script has no host");
    return *state.host;
}

CValue BiCreateObject(RuntimeState& state, Args args) {
    const String progId = TextArg(args, 0);
    if (!state.host) Raise(err::kCannotCreate);
    return state.host->CreateObject(progId);
}

CValue BiMsgBox(RuntimeState& state, Args args) {
    const String prompt = TextArg(args, 0);
    const int32_t buttons = LongArg(args, 1, 0);
    const String title = Given(args, 2) ? TextArg(args, 2) : String();
    return CValue::Integer(int16_t(HostOf(state).MsgBox(prompt, buttons, title)));
}

CValue BiInputBox(RuntimeState& state, Args args) {
    const String prompt = TextArg(args, 0);
    const String title = Given(args, 1) ? TextArg(args, 1) : String();
    const String initial = Given(args, 2) ? TextArg(args, 2) : String();
    String answer;
    if (!HostOf(state).InputBox(prompt, title, initial, &answer)) return CValue::Str(String());
    return CValue::Str(std::move(answer));
}

// ---- The engine's identity ------------------------------------------------------------------

CValue BiScriptEngine(RuntimeState&, Args) { return CValue::Str(String(u"VBScript")); }  // what scripts test for
CValue BiScriptEngineMajorVersion(RuntimeState&, Args) { return CValue::Long(5); }
CValue BiScriptEngineMinorVersion(RuntimeState&, Args) { return CValue::Long(8); }
CValue BiScriptEngineBuildVersion(RuntimeState&, Args) { return CValue::Long(1); }

}  // namespace script::builtins_detail
