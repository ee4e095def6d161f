// Values of the script language: the variant every variable holds, arrays,
// the object interface that script classes, the engine's own objects and
// host objects share, and the error a failing operation throws.
//
// Standard C++ only (no Windows headers): the language core also builds
// natively, where it is fuzzed and run under sanitizers. Text is UTF-16, as
// the script host hands it over; Len and Mid count UTF-16 units.
//
// Value semantics as the language has them: strings are copied by value;
// arrays too (an assignment copies the array; the copy is made lazily, on
// the first change through a Value that shares it); objects are references.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace script {

using String = std::u16string;
using StringView = std::u16string_view;

// The subtypes, numbered as VarType reports them. An array reports
// 0x2000 + 12 (an array of variants).
enum class Type : uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2,   // 16-bit
    Long = 3,      // 32-bit
    Single = 4,
    Double = 5,
    Currency = 6,  // 64-bit, scaled by 10,000
    Date = 7,      // days since 30 December 1899, time as the fraction
    String = 8,
    Object = 9,    // Nothing is an Object with no object
    Error = 10,    // a 32-bit status; a missing optional argument is Error 0x80020004
    Boolean = 11,
    Byte = 17,
    Array = 0x200C,
};

class CObject;
struct Array;

class CValue {
   public:
    CValue() = default;  // Empty
    // Releasing the last reference to an array that holds arrays (a = Array(a)
    // 100,000 times) frees the nested ones one after the other, not recursively.
    ~CValue() {
        if (a_) ReleaseArray(a_);
    }
    CValue(const CValue&) = default;
    CValue(CValue&&) noexcept = default;
    CValue& operator=(const CValue&) = default;
    CValue& operator=(CValue&&) noexcept = default;

    static CValue Null();
    static CValue Boolean(bool b);
    static CValue Integer(int16_t i);
    static CValue Long(int32_t l);
    static CValue Single(float f);
    static CValue Double(double d);
    static CValue Currency(int64_t scaled);
    static CValue Date(double d);
    static CValue Str(String s);
    static CValue Str(StringView s) { return Str(String(s)); }
    static CValue Obj(std::shared_ptr<CObject> o);  // null: Nothing
    static CValue Nothing() { return Obj(nullptr); }
    static CValue Error(int32_t scode);
    static CValue Missing() { return Error(int32_t(0x80020004u)); }
    static CValue Byte(uint8_t b);
    static CValue Arr(std::shared_ptr<Array> a);

    Type type() const { return type_; }
    bool IsEmpty() const { return type_ == Type::Empty; }
    bool IsNull() const { return type_ == Type::Null; }
    bool IsString() const { return type_ == Type::String; }
    bool IsObject() const { return type_ == Type::Object; }
    bool IsNothing() const { return type_ == Type::Object && !o_; }
    bool IsArray() const { return type_ == Type::Array; }
    bool IsMissing() const { return type_ == Type::Error && scode_ == int32_t(0x80020004u); }
    // Integer, Long, Single, Double, Currency, Byte (not Boolean, Date or Empty).
    bool IsNumber() const;

    bool boolean() const { return b_; }
    int16_t integer() const { return i_; }
    int32_t lng() const { return l_; }
    float single() const { return f_; }
    double dbl() const { return d_; }  // Double and Date
    int64_t currency() const { return cy_; }
    uint8_t byte() const { return by_; }
    int32_t scode() const { return scode_; }
    const String& str() const { return s_; }
    CObject* object() const { return o_.get(); }
    const std::shared_ptr<CObject>& objectPtr() const { return o_; }
    // The array to read; null unless IsArray().
    const Array* array() const { return a_.get(); }
    // The array to change: unshared first when another Value holds it too.
    Array* MutableArray();
    const std::shared_ptr<Array>& arrayPtr() const { return a_; }

   private:
    static void ReleaseArray(std::shared_ptr<Array>& a) noexcept;

    Type type_ = Type::Empty;
    union {
        bool b_;
        int16_t i_;
        int32_t l_;
        float f_;
        double d_;
        int64_t cy_ = 0;
        uint8_t by_;
        int32_t scode_;
    };
    String s_;
    std::shared_ptr<CObject> o_;
    std::shared_ptr<Array> a_;
};

// An array of variants with lower bounds 0. Elements are stored with the
// first index varying fastest (as a SAFEARRAY holds them), so ReDim Preserve,
// which may change only the last dimension, keeps every element in place.
struct Array {
    std::vector<int32_t> upper;  // upper bound per dimension; -1: empty
    std::vector<CValue> data;
    bool fixed = false;  // declared with bounds (Dim a(3)): ReDim refuses it
    // Elements lent by reference to a call in progress: while non-zero the
    // array must not be reallocated, replaced or erased (error 10). A copy of
    // the array is not lent, so copying gives zero.
    struct LockCount {
        int n = 0;
        LockCount() = default;
        LockCount(const LockCount&) {}
        LockCount& operator=(const LockCount&) { return *this; }
    } locks;

    size_t Dimensions() const { return upper.size(); }
    // The element at `index` (one per dimension); throws "Subscript out of
    // range" when the count or a bound is wrong.
    CValue& At(std::span<const int32_t> index);
};

// How a member is used, as IDispatch::Invoke's flags say it.
enum CallFlags : unsigned {
    kCallMethod = 1,
    kCallGet = 2,
    kCallPut = 4,     // the new value is the last argument
    kCallPutRef = 8,  // Set obj.member = value
};

// Anything a script holds as an object: instances of script classes, the
// engine's own objects (Err, RegExp, Dictionary) and host objects.
// Which arguments of a call go by reference: bit i for argument i.
using RefMask = uint64_t;
inline bool IsByRef(RefMask mask, size_t i) { return i < 64 && (mask >> i) & 1; }

class CObject : public std::enable_shared_from_this<CObject> {
   public:
    virtual ~CObject() = default;

    // Calls member `name` (ignoring case; empty: the default member) with
    // `args` in source order. An argument that names a variable points at
    // the variable, so that a by-reference parameter changes it; the others
    // point at temporaries. Throws ScriptError.
    virtual CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) = 0;
    // As Invoke, told which arguments go by reference: bit i of `byRef` is
    // set where args[i] is a variable or an element of an array variable;
    // the others are values (constants, results of expressions and property
    // reads, a variable in parentheses; arguments after the 64th).
    // Objects that hand their arguments on (to COM) override it.
    virtual CValue InvokeWithRefs(StringView name, unsigned flags, std::span<CValue* const> args,
                                 RefMask byRef) {
        (void)byRef;
        return Invoke(name, flags, args);
    }
    // Whether the object has a member `name` (used for the global members of
    // named items).
    virtual bool HasMember(StringView name) = 0;
    // What TypeName and VarType answer (vbObject; an object without
    // IDispatch is vbDataObject, 13).
    virtual String TypeName() const { return u"Object"; }
    virtual int VarType() const { return 9; }
    // What Is compares: two references to the same object answer the same.
    virtual const void* Identity() const { return this; }
    // The elements For Each walks; throws "Object doesn't support this
    // property or method" when the object is no collection.
    virtual std::vector<CValue> Enumerate();
};

// Run-time error numbers (Err.Number; the status reported is 0x800A0000 + n).
namespace err {
constexpr int kInvalidCall = 5;        // Invalid procedure call or argument
constexpr int kOverflow = 6;
constexpr int kOutOfMemory = 7;
constexpr int kSubscript = 9;          // Subscript out of range
constexpr int kFixedArray = 10;        // This array is fixed or temporarily locked
constexpr int kDivisionByZero = 11;
constexpr int kTypeMismatch = 13;
constexpr int kOutOfStringSpace = 14;
constexpr int kInterrupted = 18;       // User interrupt occurred (the host stopped the script)
constexpr int kOutOfStack = 28;        // Out of stack space
constexpr int kNoSuchSub = 35;         // Sub or Function not defined
constexpr int kCannotCreate = 429;     // ActiveX component can't create object
constexpr int kNotSupported = 438;     // Object doesn't support this property or method
constexpr int kArgCount = 450;         // Wrong number of arguments or invalid property assignment
constexpr int kInvalidUseOfNull = 94;
constexpr int kUnsupportedType = 458;  // Variable uses an Automation type not supported in VBScript
constexpr int kObjectRequired = 424;
constexpr int kObjectNotSet = 91;      // Object variable not set
constexpr int kUndefined = 500;        // Variable is undefined
constexpr int kIllegalAssignment = 501;
constexpr int kNotACollection = 451;   // Object not a collection
constexpr int kClassNotDefined = 506;
// Compilation errors.
constexpr int kSyntax = 1002;
constexpr int kExpected = 1010;        // the description names what was expected
constexpr int kRedefined = 1041;       // Name redefined
constexpr int kInvalidCharacter = 1032;
constexpr int kUnterminatedString = 1033;
constexpr int kParenthesesOnSub = 1044;  // Cannot use parentheses when calling a Sub
constexpr int kNestingTooDeep = 1051;  // Expression or statement too deeply nested
}  // namespace err

// The longest text a script can make (in UTF-16 units); longer is "Out of
// string space" rather than memory the editor needs.
constexpr size_t kMaxStringLength = size_t(1) << 27;

constexpr int32_t kErrorFacility = int32_t(0x800A0000u);
constexpr int32_t StatusOf(int number) { return number > 0 && number < 0x10000 ? kErrorFacility | number : number; }

// What a failing operation throws, and what a run reports.
struct ScriptError {
    int32_t status = 0;  // 0x800A0000 + number for the language's errors; a host's HRESULT as it came
    String description;
    String source;        // kRuntimeSource, kCompileSource, or what a host object or Err.Raise said
    String helpFile;      // as Err.Raise gave them
    int32_t helpContext = 0;
    int line = -1;        // 0-based, set where the error is first seen in script code
    int column = -1;      // 0-based
    bool uncatchable = false;  // an interrupt: On Error Resume Next does not take it

    // The number Err.Number shows: the language's own errors as small
    // numbers, others as the status.
    int32_t Number() const;
};

// As the system engine names them: scripts compare Err.Source with these.
constexpr const char16_t* kRuntimeSource = u"Microsoft VBScript runtime error";
constexpr const char16_t* kCompileSource = u"Microsoft VBScript compilation error";

// The standard text of run-time or compilation error `number` ("" when
// there is none).
String ErrorText(int number);
// Throws the language's error `number` with its standard text.
[[noreturn]] void Raise(int number);
[[noreturn]] void Raise(int number, String description);

// Identifier comparison: ASCII letters ignoring case.
bool SameName(StringView a, StringView b);
String LowerName(StringView name);

}  // namespace script
