#include "Value.h"

#include <ctime>

#include "Engine.h"

namespace script {

// ---- Value ------------------------------------------------------------------------

CValue CValue::Null() {
    CValue v;
    v.type_ = Type::Null;
    return v;
}
CValue CValue::Boolean(bool b) {
    CValue v;
    v.type_ = Type::Boolean;
    v.b_ = b;
    return v;
}
CValue CValue::Integer(int16_t i) {
    CValue v;
    v.type_ = Type::Integer;
    v.i_ = i;
    return v;
}
CValue CValue::Long(int32_t l) {
    CValue v;
    v.type_ = Type::Long;
    v.l_ = l;
    return v;
}
CValue CValue::Single(float f) {
    CValue v;
    v.type_ = Type::Single;
    v.f_ = f;
    return v;
}
CValue CValue::Double(double d) {
    CValue v;
    v.type_ = Type::Double;
    v.d_ = d;
    return v;
}
CValue CValue::Currency(int64_t scaled) {
    CValue v;
    v.type_ = Type::Currency;
    v.cy_ = scaled;
    return v;
}
CValue CValue::Date(double d) {
    CValue v;
    v.type_ = Type::Date;
    v.d_ = d;
    return v;
}
CValue CValue::Str(String s) {
    CValue v;
    v.type_ = Type::String;
    v.s_ = std::move(s);
    return v;
}
CValue CValue::Obj(std::shared_ptr<CObject> o) {
    CValue v;
    v.type_ = Type::Object;
    v.o_ = std::move(o);
    return v;
}
CValue CValue::Error(int32_t scode) {
    CValue v;
    v.type_ = Type::Error;
    v.scode_ = scode;
    return v;
}
CValue CValue::Byte(uint8_t b) {
    CValue v;
    v.type_ = Type::Byte;
    v.by_ = b;
    return v;
}
CValue CValue::Arr(std::shared_ptr<Array> a) {
    if (!a) return CValue();
    CValue v;
    v.type_ = Type::Array;
    v.a_ = std::move(a);
    return v;
}

bool CValue::IsNumber() const {
    switch (type_) {
        case Type::Integer:
        case Type::Long:
        case Type::Single:
        case Type::Double:
        case Type::Currency:
        case Type::Byte: return true;
        default: return false;
    }
}

Array* CValue::MutableArray() {
    if (!a_) return nullptr;
    if (a_.use_count() > 1) a_ = std::make_shared<Array>(*a_);
    return a_.get();
}

void CValue::ReleaseArray(std::shared_ptr<Array>& a) noexcept {
    // Plain pointers: a thread_local with a destructor is destroyed after its
    // storage was freed when a thread ends (MinGW's emulated TLS). The queue
    // lives only while the outermost release empties it.
    thread_local bool releasing = false;
    thread_local std::vector<std::shared_ptr<Array>>* pending = nullptr;
    if (a.use_count() != 1) return;  // the member's own destructor drops the reference
    if (releasing) {
        try {
            if (!pending) pending = new std::vector<std::shared_ptr<Array>>();
            pending->push_back(std::move(a));
        } catch (...) {
        }
        return;
    }
    releasing = true;
    a.reset();
    while (pending && !pending->empty()) {
        std::shared_ptr<Array> next = std::move(pending->back());
        pending->pop_back();
        next.reset();
    }
    delete pending;
    pending = nullptr;
    releasing = false;
}

CValue& Array::At(std::span<const int32_t> index) {
    if (index.size() != upper.size()) Raise(err::kSubscript);
    size_t offset = 0, stride = 1;
    for (size_t d = 0; d < index.size(); ++d) {
        if (index[d] < 0 || index[d] > upper[d]) Raise(err::kSubscript);
        offset += size_t(index[d]) * stride;
        stride *= size_t(upper[d]) + 1;
    }
    if (offset >= data.size()) Raise(err::kSubscript);
    return data[offset];
}

std::vector<CValue> CObject::Enumerate() { Raise(err::kNotACollection); }

// ---- Errors -----------------------------------------------------------------------

int32_t ScriptError::Number() const {
    return (status & int32_t(0xFFFF0000u)) == kErrorFacility ? (status & 0xFFFF) : status;
}

String ErrorText(int number) {
    switch (number) {
        case err::kInvalidCall: return u"Invalid procedure call or argument";
        case err::kUnsupportedType: return u"Variable uses an Automation type not supported in VBScript";
        case err::kParenthesesOnSub: return u"Cannot use parentheses when calling a Sub";
        case err::kOverflow: return u"Overflow";
        case err::kOutOfMemory: return u"Out of memory";
        case err::kSubscript: return u"Subscript out of range";
        case err::kFixedArray: return u"This array is fixed or temporarily locked";
        case err::kDivisionByZero: return u"Division by zero";
        case err::kTypeMismatch: return u"Type mismatch";
        case err::kOutOfStringSpace: return u"Out of string space";
        case err::kInterrupted: return u"User interrupt occurred";
        case err::kOutOfStack: return u"Out of stack space";
        case err::kNoSuchSub: return u"Sub or Function not defined";
        case err::kInvalidUseOfNull: return u"Invalid use of Null";
        case err::kObjectNotSet: return u"Object variable not set";
        case err::kObjectRequired: return u"Object required";
        case err::kCannotCreate: return u"Cannot create object";
        case err::kNotSupported: return u"Object doesn't support this property or method";
        case err::kArgCount: return u"Wrong number of arguments or invalid property assignment";
        case err::kNotACollection: return u"Object not a collection";
        case err::kUndefined: return u"Variable is undefined";
        case err::kIllegalAssignment: return u"Illegal assignment";
        case err::kClassNotDefined: return u"Class not defined";
        case err::kSyntax: return u"Syntax error";
        case err::kExpected: return u"Expected something else";
        case err::kRedefined: return u"Name redefined";
        case err::kInvalidCharacter: return u"Invalid character";
        case err::kUnterminatedString: return u"Unterminated string constant";
        case err::kNestingTooDeep: return u"Expression or statement too deeply nested";
        default: return String();
    }
}

void Raise(int number) { Raise(number, ErrorText(number)); }

void Raise(int number, String description) {
    ScriptError e;
    e.status = StatusOf(number);
    e.description = std::move(description);
    e.source = number >= 1000 && number < 1100 ? kCompileSource : kRuntimeSource;
    throw e;
}

namespace {
char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }
}  // namespace

bool SameName(StringView a, StringView b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

String LowerName(StringView name) {
    String s(name);
    for (char16_t& c : s) c = LowerAscii(c);
    return s;
}

// ---- Host defaults ----------------------------------------------------------------

CValue CHost::CreateObject(StringView) { Raise(err::kCannotCreate); }

int CHost::MsgBox(StringView, int, StringView) { Raise(err::kNotSupported, u"No message box can be shown here"); }

bool CHost::InputBox(StringView, StringView, StringView, String*) {
    Raise(err::kNotSupported, u"No input box can be shown here");
}

double CHost::Now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    // Days from 30 December 1899 to the date (proleptic Gregorian calendar).
    const int y = local.tm_year + 1900, m = local.tm_mon + 1, d = local.tm_mday;
    const int a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
    const long jdn = d + (153 * mm + 2) / 5 + 365L * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
    const double days = double(jdn - 2415019);  // JDN of 30 December 1899
    return days + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

}  // namespace script
