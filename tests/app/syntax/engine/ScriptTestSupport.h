// Helpers of the script-language tests: values written as "Type text" so that
// a table can state the subtype and the value of a result at once.
#pragma once

#include <cstdio>
#include <string>

#include "Operators.h"
#include "Value.h"

namespace script::test {

inline std::string Narrow(StringView s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else {
            char buf[12];
            std::snprintf(buf, sizeof buf, "\\u%04X", unsigned(c));
            out += buf;
        }
    }
    return out;
}

inline String Wide(std::string_view s) {
    String out;
    for (char c : s) out.push_back(char16_t(static_cast<unsigned char>(c)));
    return out;
}

inline const char* TypeText(Type t) {
    switch (t) {
        case Type::Empty: return "Empty";
        case Type::Null: return "Null";
        case Type::Integer: return "Integer";
        case Type::Long: return "Long";
        case Type::Single: return "Single";
        case Type::Double: return "Double";
        case Type::Currency: return "Currency";
        case Type::Date: return "Date";
        case Type::String: return "String";
        case Type::Object: return "Object";
        case Type::Error: return "Error";
        case Type::Boolean: return "Boolean";
        case Type::Byte: return "Byte";
        case Type::Array: return "Array";
    }
    return "?";
}

// "Integer 3", "Double 0.5", "String ab", "Null", "Empty".
inline std::string Show(const CValue& v) {
    std::string s = TypeText(v.type());
    if (v.IsEmpty() || v.IsNull() || v.IsObject() || v.IsArray()) return s;
    if (v.type() == Type::Error) return s + " " + std::to_string(v.scode());
    return s + " " + Narrow(ops::ToString(v));
}

// The error number an expression throws, 0 when it throws none.
template <typename F>
int ErrorOf(F&& f) {
    try {
        f();
    } catch (const ScriptError& e) {
        return e.Number();
    }
    return 0;
}

}  // namespace script::test
