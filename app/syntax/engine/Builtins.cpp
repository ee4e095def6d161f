// The run-time library (being filled in: Plain first, the tables follow).
#include "Builtins.h"

#include "Operators.h"

namespace script {

Value Plain(const Value& v) {
    if (!v.IsObject()) return v;
    if (v.IsNothing()) Raise(err::kObjectNotSet);
    Value r = v.object()->Invoke(StringView(), kCallGet | kCallMethod, {});
    if (r.IsObject()) Raise(err::kTypeMismatch);
    return r;
}

const Builtin* FindBuiltin(StringView) { return nullptr; }
bool FindConstant(StringView, Value*) { return false; }

}  // namespace script
