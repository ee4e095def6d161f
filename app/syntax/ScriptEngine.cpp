// The ActiveScript interfaces over the language core. See ScriptEngine.h.
//
// Ownership: the engine object holds the site, the core engine and through it
// the wrappers of the named items; Close drops them all. An IDispatch handed
// to a host over a script object holds that object; a wrapper of a host
// object holds its IDispatch. Threads: everything runs on the thread that
// runs the script, except InterruptScriptThread, which only raises the core
// engine's flag under the lock that Close takes too.
#include "ScriptEngine.h"

#include <dispex.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "Engine.h"
#include "MessageSink.h"

namespace syntax {

namespace {

using script::String;
using script::StringView;
using script::Value;

// Asked through QueryInterface: answers our own objects, so that a pointer
// that comes back from a host is recognised without guessing.
// {6E1B7C52-2F0A-4C8E-9B3D-5A41D2E07F13}
const GUID kIidOwnEngine = {0x6e1b7c52, 0x2f0a, 0x4c8e, {0x9b, 0x3d, 0x5a, 0x41, 0xd2, 0xe0, 0x7f, 0x13}};
// {6E1B7C53-2F0A-4C8E-9B3D-5A41D2E07F13}
const GUID kIidOwnObject = {0x6e1b7c53, 0x2f0a, 0x4c8e, {0x9b, 0x3d, 0x5a, 0x41, 0xd2, 0xe0, 0x7f, 0x13}};
// IDispatchEx's (the import library has no definition of it).
const GUID kIidDispatchEx = {0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};

// A script that calls host objects needs stack beyond the engine's own use:
// what the host and the system do inside a call, a message box.
constexpr size_t kStackMargin = 256 * 1024;

constexpr int kPermissionDenied = 70;
constexpr int kParamNotOptional = 449;

String U(const wchar_t* s, size_t n) { return String(reinterpret_cast<const char16_t*>(s), n); }
String U(const wchar_t* s) { return s ? U(s, wcslen(s)) : String(); }
String FromBstr(BSTR s) { return s ? U(s, SysStringLen(s)) : String(); }
std::wstring Wide(StringView s) { return std::wstring(reinterpret_cast<const wchar_t*>(s.data()), s.size()); }

BSTR AllocBstr(StringView s) {
    return SysAllocStringLen(reinterpret_cast<const wchar_t*>(s.data()), UINT(s.size()));
}

void FreeExcepInfo(EXCEPINFO& ei) {
    SysFreeString(ei.bstrSource);
    SysFreeString(ei.bstrDescription);
    SysFreeString(ei.bstrHelpFile);
    ei = EXCEPINFO{};
}

// Releases a vector of variants however the call that filled them ends.
class Variants {
   public:
    explicit Variants(size_t n) : v_(n) {
        for (VARIANT& x : v_) VariantInit(&x);
    }
    ~Variants() {
        for (VARIANT& x : v_) VariantClear(&x);
    }
    Variants(const Variants&) = delete;
    Variants& operator=(const Variants&) = delete;
    VARIANT& operator[](size_t i) { return v_[i]; }
    VARIANT* data() { return v_.data(); }

   private:
    std::vector<VARIANT> v_;
};

// The language's error for a failed call of a host object. The dispatch
// failures every engine of the language turns into its own errors become
// those; anything else keeps its status (and the text the object gave).
script::ScriptError ErrorOf(HRESULT hr, EXCEPINFO& ei) {
    script::ScriptError e;
    e.source = script::kRuntimeSource;
    if (hr == DISP_E_EXCEPTION) {
        if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
        e.status = ei.scode ? ei.scode : (ei.wCode ? script::StatusOf(ei.wCode) : E_FAIL);
        if (ei.bstrSource && *ei.bstrSource) e.source = FromBstr(ei.bstrSource);
        e.description = FromBstr(ei.bstrDescription);
        e.helpFile = FromBstr(ei.bstrHelpFile);
        e.helpContext = int32_t(ei.dwHelpContext);
        if (e.description.empty() && (e.status & int32_t(0xFFFF0000u)) == script::kErrorFacility)
            e.description = script::ErrorText(e.status & 0xFFFF);
        FreeExcepInfo(ei);
        return e;
    }
    FreeExcepInfo(ei);
    int number = 0;
    switch (hr) {
        case DISP_E_MEMBERNOTFOUND:
        case DISP_E_UNKNOWNNAME: number = script::err::kNotSupported; break;
        case DISP_E_BADPARAMCOUNT: number = script::err::kArgCount; break;
        case DISP_E_TYPEMISMATCH: number = script::err::kTypeMismatch; break;
        case DISP_E_PARAMNOTOPTIONAL: number = kParamNotOptional; break;
        case DISP_E_OVERFLOW: number = script::err::kOverflow; break;
        case DISP_E_BADINDEX: number = script::err::kSubscript; break;
        case DISP_E_NOTACOLLECTION: number = script::err::kNotACollection; break;
        case E_OUTOFMEMORY: number = script::err::kOutOfMemory; break;
        default: break;
    }
    if (number) {
        e.status = script::StatusOf(number);
        e.description = script::ErrorText(number);
        if (number == kParamNotOptional) e.description = u"Argument not optional";
    } else {
        e.status = hr;  // the site describes it from the system's table
    }
    return e;
}

// ---- Host objects as script objects -------------------------------------------

class CDispatchObject final : public script::Object {
   public:
    explicit CDispatchObject(IDispatch* dispatch) : dispatch_(dispatch) {
        dispatch_->AddRef();
        IUnknown* unknown = nullptr;
        identity_ = dispatch;
        if (SUCCEEDED(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown))) &&
            unknown) {
            identity_ = unknown;
            unknown->Release();
        }
    }
    ~CDispatchObject() override { dispatch_->Release(); }
    CDispatchObject(const CDispatchObject&) = delete;
    CDispatchObject& operator=(const CDispatchObject&) = delete;

    IDispatch* Dispatch() const { return dispatch_; }

    Value Invoke(StringView name, unsigned flags, std::span<Value* const> args) override {
        return InvokeWithRefs(name, flags, args, 0);
    }
    Value InvokeWithRefs(StringView name, unsigned flags, std::span<Value* const> args,
                         script::RefMask byRef) override;
    bool HasMember(StringView name) override {
        DISPID id;
        return Lookup(name, &id);
    }
    String TypeName() const override;
    const void* Identity() const override { return identity_; }
    std::vector<Value> Enumerate() override;

   private:
    bool Lookup(StringView name, DISPID* id);

    IDispatch* dispatch_;
    const void* identity_;
    std::unordered_map<String, DISPID> ids_;  // by lower-case name; DISPID_UNKNOWN: no such member
};

bool CDispatchObject::Lookup(StringView name, DISPID* id) {
    String key = script::LowerName(name);
    auto it = ids_.find(key);
    if (it == ids_.end()) {
        std::wstring wide = Wide(name);
        LPOLESTR names[1] = {wide.data()};
        DISPID found = DISPID_UNKNOWN;
        if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &found)))
            found = DISPID_UNKNOWN;
        it = ids_.emplace(std::move(key), found).first;
    }
    *id = it->second;
    return it->second != DISPID_UNKNOWN;
}

Value CDispatchObject::InvokeWithRefs(StringView name, unsigned flags, std::span<Value* const> args,
                                      script::RefMask byRef) {
    DISPID id = DISPID_VALUE;
    if (!name.empty() && !Lookup(name, &id))
        script::Raise(script::err::kNotSupported,
                      script::ErrorText(script::err::kNotSupported) + u": '" + String(name) + u"'");
    const bool put = (flags & (script::kCallPut | script::kCallPutRef)) != 0;
    const size_t n = args.size();
    // The values as the object gets them, in reverse order as DISPPARAMS has
    // them: variables and elements by reference (a variant that
    // points at the value; an array as a pointer to its SAFEARRAY), the rest
    // (constants, results, the new value of a put) by value.
    Variants values(n), passed(n);
    std::vector<VARIANT> before(n);
    std::vector<uint8_t> lent(n);
    for (size_t i = 0; i < n; ++i) {
        if (FAILED(ValueToVariant(*args[i], &values[i]))) script::Raise(script::err::kTypeMismatch);
        VARIANT& slot = passed[n - 1 - i];
        lent[i] = script::IsByRef(byRef, i) && !(put && i + 1 == n);
        if (!lent[i]) {
            slot = values[i];  // handed over: `passed` clears it
            VariantInit(&values[i]);
        } else if (values[i].vt == (VT_ARRAY | VT_VARIANT)) {
            slot.vt = VT_ARRAY | VT_BYREF | VT_VARIANT;
            slot.pparray = &values[i].parray;
        } else {
            slot.vt = VT_BYREF | VT_VARIANT;
            slot.pvarVal = &values[i];
        }
        std::memcpy(&before[i], &values[i], sizeof(VARIANT));
    }
    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS params = {passed.data(), put ? &namedPut : nullptr, UINT(n), put ? 1u : 0u};
    Variants result(1);
    EXCEPINFO ei = {};
    UINT argError = 0;
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, WORD(flags & 0xF), &params,
                                         put ? nullptr : &result[0], &ei, &argError);
    if (FAILED(hr)) throw ErrorOf(hr, ei);
    FreeExcepInfo(ei);
    // What the object changed goes back to the variables.
    for (size_t i = 0; i < n; ++i) {
        // An array lent by reference may have had its elements changed in place.
        if (lent[i] && (std::memcmp(&before[i], &values[i], sizeof(VARIANT)) != 0 ||
                        (values[i].vt == (VT_ARRAY | VT_VARIANT) && values[i].parray)))
            *args[i] = VariantToValue(values[i]);
    }
    return VariantToValue(result[0]);
}

String CDispatchObject::TypeName() const {
    String name;
    ITypeInfo* info = nullptr;
    IProvideClassInfo* classInfo = nullptr;
    if (SUCCEEDED(dispatch_->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&classInfo))) &&
        classInfo) {
        if (FAILED(classInfo->GetClassInfo(&info))) info = nullptr;
        classInfo->Release();
    }
    UINT count = 0;
    if (!info && SUCCEEDED(dispatch_->GetTypeInfoCount(&count)) && count) {
        if (FAILED(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info))) info = nullptr;
    }
    if (info) {
        BSTR doc = nullptr;
        if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &doc, nullptr, nullptr, nullptr)))
            name = FromBstr(doc);
        SysFreeString(doc);
        info->Release();
    }
    if (!name.empty() && name[0] == u'_') name.erase(0, 1);
    return name.empty() ? String(u"Object") : name;
}

std::vector<Value> CDispatchObject::Enumerate() {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Variants result(1);
    EXCEPINFO ei = {};
    const HRESULT hr =
        dispatch_->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                          DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result[0], &ei, nullptr);
    FreeExcepInfo(ei);
    IUnknown* unknown = nullptr;
    if (SUCCEEDED(hr) && (result[0].vt == VT_UNKNOWN || result[0].vt == VT_DISPATCH))
        unknown = result[0].punkVal;
    IEnumVARIANT* items = nullptr;
    if (!unknown || FAILED(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items))) ||
        !items)
        script::Raise(script::err::kNotSupported);
    std::vector<Value> out;
    try {
        for (;;) {
            Variants item(1);
            ULONG fetched = 0;
            if (items->Next(1, &item[0], &fetched) != S_OK || fetched != 1) break;
            out.push_back(VariantToValue(item[0]));
        }
    } catch (...) {
        items->Release();
        throw;
    }
    items->Release();
    return out;
}

// An object that answers only IUnknown: it can be held, compared, handed
// back to the host and named by TypeName ("Unknown") and VarType (13), but
// it has no members to call.
class CUnknownObject final : public script::Object {
   public:
    explicit CUnknownObject(IUnknown* unknown) : unknown_(unknown) { unknown_->AddRef(); }
    ~CUnknownObject() override { unknown_->Release(); }
    CUnknownObject(const CUnknownObject&) = delete;
    CUnknownObject& operator=(const CUnknownObject&) = delete;

    IUnknown* Unknown() const { return unknown_; }
    Value Invoke(StringView name, unsigned, std::span<Value* const>) override {
        if (name.empty()) script::Raise(script::err::kNotSupported);
        script::Raise(script::err::kNotSupported,
                      script::ErrorText(script::err::kNotSupported) + u": '" + String(name) + u"'");
    }
    bool HasMember(StringView) override { return false; }
    String TypeName() const override { return u"Unknown"; }
    int VarType() const override { return 13; }
    const void* Identity() const override { return unknown_; }

   private:
    IUnknown* unknown_;
};

// ---- Script objects as IDispatch ----------------------------------------------

// Writes `v` back into a by-reference argument.
void WriteBack(VARIANT& arg, const Value& v) {
    if (arg.vt == (VT_BYREF | VT_VARIANT) && arg.pvarVal) {
        VARIANT fresh;
        VariantInit(&fresh);
        if (FAILED(ValueToVariant(v, &fresh))) return;
        VariantClear(arg.pvarVal);
        *arg.pvarVal = fresh;
        return;
    }
    if (!(arg.vt & VT_BYREF) || (arg.vt & VT_ARRAY)) return;
    VARIANT fresh, typed;
    VariantInit(&fresh);
    VariantInit(&typed);
    const VARTYPE type = VARTYPE(arg.vt & ~VT_BYREF);
    if (SUCCEEDED(ValueToVariant(v, &fresh)) && SUCCEEDED(VariantChangeType(&typed, &fresh, 0, type))) {
        switch (type) {
            case VT_I2: *arg.piVal = typed.iVal; break;
            case VT_I4: *arg.plVal = typed.lVal; break;
            case VT_R4: *arg.pfltVal = typed.fltVal; break;
            case VT_R8: *arg.pdblVal = typed.dblVal; break;
            case VT_BOOL: *arg.pboolVal = typed.boolVal; break;
            case VT_UI1: *arg.pbVal = typed.bVal; break;
            case VT_DATE: *arg.pdate = typed.date; break;
            case VT_CY: *arg.pcyVal = typed.cyVal; break;
            case VT_BSTR:
                SysFreeString(*arg.pbstrVal);
                *arg.pbstrVal = typed.bstrVal;
                typed.vt = VT_EMPTY;
                break;
            default: break;
        }
    }
    VariantClear(&fresh);
    VariantClear(&typed);
}

// Fills a caller's exception record from a script error.
HRESULT ToException(const script::ScriptError& e, EXCEPINFO* ei) {
    if (!ei) return e.status ? e.status : E_FAIL;
    *ei = EXCEPINFO{};
    ei->scode = e.status ? e.status : E_FAIL;
    ei->bstrSource = AllocBstr(e.source);
    ei->bstrDescription = AllocBstr(e.description);
    if (!e.helpFile.empty()) ei->bstrHelpFile = AllocBstr(e.helpFile);
    ei->dwHelpContext = DWORD(e.helpContext);
    return DISP_E_EXCEPTION;
}

// The arguments of an IDispatch call as values, in source order.
std::vector<Value> ArgumentsOf(const DISPPARAMS& p) {
    std::vector<Value> values(p.cArgs);
    for (UINT i = 0; i < p.cArgs; ++i) values[i] = VariantToValue(p.rgvarg[p.cArgs - 1 - i]);
    return values;
}

void WriteBackAll(const DISPPARAMS& p, const std::vector<Value>& values) {
    for (UINT i = 0; i < p.cArgs; ++i) WriteBack(p.rgvarg[p.cArgs - 1 - i], values[i]);
}

// IUnknown, the type-information half of IDispatch and IDispatchEx over
// GetIDsOfNames and Invoke, for the dispatch objects handed to hosts:
// reference counted from 1, answering IUnknown, IDispatch, IDispatchEx and
// optionally one more interface of the class's own.
class CDispatchBase : public IDispatchEx {
   public:
    explicit CDispatchBase(const IID* own = nullptr) : own_(own) {}
    CDispatchBase(const CDispatchBase&) = delete;
    CDispatchBase& operator=(const CDispatchBase&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, kIidDispatchEx) || (own_ && IsEqualIID(riid, *own_))) {
            *out = static_cast<IDispatchEx*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return ULONG(n);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    // IDispatchEx: names are found without regard to case, as the script
    // finds them; members cannot be added, deleted or walked.
    STDMETHODIMP GetDispID(BSTR name, DWORD, DISPID* id) override {
        if (!id) return E_POINTER;
        *id = DISPID_UNKNOWN;
        if (!name) return DISP_E_UNKNOWNNAME;
        LPOLESTR names[1] = {name};
        return GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
    }
    STDMETHODIMP InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* ei, IServiceProvider*) override {
        if (flags & DISPATCH_CONSTRUCT) return DISP_E_MEMBERNOTFOUND;
        // A caller's DISPID_THIS (named, first) is not an argument of ours.
        DISPPARAMS plain = params ? *params : DISPPARAMS{nullptr, nullptr, 0, 0};
        if (plain.cNamedArgs && plain.rgdispidNamedArgs && plain.rgdispidNamedArgs[0] == DISPID_THIS) {
            --plain.cNamedArgs;
            --plain.cArgs;
            ++plain.rgvarg;
            ++plain.rgdispidNamedArgs;
            if (!plain.cNamedArgs) plain.rgdispidNamedArgs = nullptr;
        }
        return Invoke(id, IID_NULL, lcid, flags, &plain, result, ei, nullptr);
    }
    STDMETHODIMP DeleteMemberByName(BSTR, DWORD) override { return S_FALSE; }
    STDMETHODIMP DeleteMemberByDispID(DISPID) override { return S_FALSE; }
    STDMETHODIMP GetMemberProperties(DISPID, DWORD, DWORD* properties) override {
        if (properties) *properties = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetMemberName(DISPID, BSTR* name) override {
        if (name) *name = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetNextDispID(DWORD, DISPID, DISPID* next) override {
        if (next) *next = DISPID_UNKNOWN;
        return S_FALSE;
    }
    STDMETHODIMP GetNameSpaceParent(IUnknown** parent) override {
        if (parent) *parent = nullptr;
        return E_NOTIMPL;
    }

   protected:
    virtual ~CDispatchBase() = default;

   private:
    const IID* own_;
    LONG refs_ = 1;
};

class CObjectDispatch final : public CDispatchBase {
   public:
    explicit CObjectDispatch(std::shared_ptr<script::Object> object)
        : CDispatchBase(&kIidOwnObject), object_(std::move(object)) {}

    const std::shared_ptr<script::Object>& Object() const { return object_; }

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* ei, UINT* argError) override;

   private:
    ~CObjectDispatch() override = default;

    std::shared_ptr<script::Object> object_;
    std::vector<String> names_;  // DISPID n is names_[n - 1]
};

STDMETHODIMP CObjectDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count == 0) return S_OK;
    if (!names || !ids) return E_POINTER;
    try {
        HRESULT hr = S_OK;
        for (UINT n = 0; n < count; ++n) {
            ids[n] = DISPID_UNKNOWN;
            const String name = U(static_cast<const wchar_t*>(names[n]));
            if (!names[n] || !object_->HasMember(name)) {
                hr = DISP_E_UNKNOWNNAME;
                continue;
            }
            auto it = std::find_if(names_.begin(), names_.end(),
                                   [&](const String& known) { return script::SameName(known, name); });
            if (it == names_.end()) it = names_.insert(names_.end(), name);
            ids[n] = DISPID(it - names_.begin() + 1);
        }
        return hr;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP CObjectDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* ei, UINT*) {
    try {
        if (result) VariantInit(result);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        const DISPPARAMS& p = params ? *params : none;
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        if (p.cNamedArgs && !(put && p.cNamedArgs == 1 && p.rgdispidNamedArgs[0] == DISPID_PROPERTYPUT))
            return DISP_E_NONAMEDARGS;
        if (p.cArgs && !p.rgvarg) return E_INVALIDARG;
        String name;  // a copy: a call back into GetIDsOfNames may grow the table
        if (id != DISPID_VALUE) {
            if (id < 1 || size_t(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
            name = names_[size_t(id) - 1];
        }
        std::vector<Value> values = ArgumentsOf(p);
        std::vector<Value*> pointers;
        for (Value& v : values) pointers.push_back(&v);
        const Value answer = object_->Invoke(name, flags & 0xF, pointers);
        WriteBackAll(p, values);
        if (result) return ValueToVariant(answer, result);
        return S_OK;
    } catch (const script::ScriptError& e) {
        return ToException(e, ei);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// ---- Arrays --------------------------------------------------------------------

// Arrays of arrays cross the boundary by recursion: deeper than this they
// are a type mismatch rather than a stack overflow.
constexpr int kMaxArrayNesting = 64;
thread_local int g_arrayNesting = 0;

class NestingGuard {
   public:
    NestingGuard() { ++g_arrayNesting; }
    ~NestingGuard() { --g_arrayNesting; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
    static bool TooDeep() { return g_arrayNesting > kMaxArrayNesting; }
};

HRESULT ArrayToSafeArray(const script::Array* array, SAFEARRAY** out) {
    *out = nullptr;
    NestingGuard nesting;
    if (NestingGuard::TooDeep()) return DISP_E_TYPEMISMATCH;
    const size_t dims = array ? array->Dimensions() : 0;
    if (dims == 0) return S_OK;  // Dim a(): never sized, no SAFEARRAY
    SAFEARRAY* sa;
    {
        std::vector<SAFEARRAYBOUND> bounds(dims);
        for (size_t d = 0; d < dims; ++d) bounds[d] = {ULONG(array->upper[d] + 1), 0};
        sa = SafeArrayCreate(VT_VARIANT, UINT(dims), bounds.data());
    }
    if (!sa) return E_OUTOFMEMORY;
    VARIANT* data = nullptr;
    HRESULT hr = SafeArrayAccessData(sa, reinterpret_cast<void**>(&data));
    if (SUCCEEDED(hr) && array) {
        for (size_t i = 0; i < array->data.size() && SUCCEEDED(hr); ++i)
            hr = ValueToVariant(array->data[i], &data[i]);
    }
    if (data) SafeArrayUnaccessData(sa);
    if (FAILED(hr)) {
        SafeArrayDestroy(sa);
        return hr;
    }
    *out = sa;
    return S_OK;
}

Value SafeArrayToValue(SAFEARRAY* sa) {
    NestingGuard nesting;
    if (NestingGuard::TooDeep()) script::Raise(script::err::kTypeMismatch);
    auto array = std::make_shared<script::Array>();
    if (!sa) return Value::Arr(array);
    const UINT dims = SafeArrayGetDim(sa);
    size_t total = dims ? 1 : 0;
    for (UINT d = 1; d <= dims; ++d) {
        LONG low = 0, high = -1;
        SafeArrayGetLBound(sa, d, &low);
        SafeArrayGetUBound(sa, d, &high);
        array->upper.push_back(int32_t(high - low));
        total *= size_t(std::max<LONG>(0, high - low + 1));
    }
    VARTYPE type = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(sa, &type))) {
        if (sa->fFeatures & FADF_VARIANT)
            type = VT_VARIANT;
        else if (sa->fFeatures & FADF_BSTR)
            type = VT_BSTR;
        else if (sa->fFeatures & FADF_DISPATCH)
            type = VT_DISPATCH;
        else if (sa->fFeatures & FADF_UNKNOWN)
            type = VT_UNKNOWN;
    }
    const UINT size = SafeArrayGetElemsize(sa);
    if (total == 0) return Value::Arr(array);
    if (type == VT_RECORD || type == VT_EMPTY || size == 0) script::Raise(script::err::kTypeMismatch);
    char* data = nullptr;
    if (FAILED(SafeArrayAccessData(sa, reinterpret_cast<void**>(&data))))
        script::Raise(script::err::kTypeMismatch);
    try {
        array->data.resize(total);
        for (size_t i = 0; i < total; ++i) {
            const char* element = data + i * size;
            if (type == VT_VARIANT) {
                array->data[i] = VariantToValue(*reinterpret_cast<const VARIANT*>(element));
                continue;
            }
            // The element borrowed into a variant of its type (nothing freed).
            VARIANT v;
            VariantInit(&v);
            if (type == VT_DECIMAL) {
                std::memcpy(&v.decVal, element, sizeof(DECIMAL));
            } else {
                std::memcpy(&v.llVal, element, std::min<size_t>(size, sizeof(v.llVal) * 2));
            }
            v.vt = type;
            array->data[i] = VariantToValue(v);
        }
    } catch (...) {
        SafeArrayUnaccessData(sa);
        throw;
    }
    SafeArrayUnaccessData(sa);
    return Value::Arr(array);
}

Value ObjectOf(IDispatch* dispatch) {
    if (!dispatch) return Value::Nothing();
    CObjectDispatch* own = nullptr;
    if (SUCCEEDED(dispatch->QueryInterface(kIidOwnObject, reinterpret_cast<void**>(&own))) && own) {
        Value v = Value::Obj(own->Object());
        own->Release();
        return v;
    }
    return Value::Obj(WrapDispatch(dispatch));
}

Value Whole(double d) {
    if (d >= -2147483648.0 && d <= 2147483647.0) return Value::Long(int32_t(d));
    return Value::Double(d);
}

}  // namespace

// ---- Conversions ---------------------------------------------------------------

std::shared_ptr<script::Object> WrapDispatch(IDispatch* dispatch) {
    return std::make_shared<CDispatchObject>(dispatch);
}

HRESULT ValueToVariant(const Value& value, VARIANT* out) {
    VariantInit(out);
    switch (value.type()) {
        case script::Type::Empty: return S_OK;
        case script::Type::Null: out->vt = VT_NULL; return S_OK;
        case script::Type::Integer:
            out->vt = VT_I2;
            out->iVal = value.integer();
            return S_OK;
        case script::Type::Long:
            out->vt = VT_I4;
            out->lVal = value.lng();
            return S_OK;
        case script::Type::Single:
            out->vt = VT_R4;
            out->fltVal = value.single();
            return S_OK;
        case script::Type::Double:
            out->vt = VT_R8;
            out->dblVal = value.dbl();
            return S_OK;
        case script::Type::Currency:
            out->vt = VT_CY;
            out->cyVal.int64 = value.currency();
            return S_OK;
        case script::Type::Date:
            out->vt = VT_DATE;
            out->date = value.dbl();
            return S_OK;
        case script::Type::Boolean:
            out->vt = VT_BOOL;
            out->boolVal = value.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case script::Type::Byte:
            out->vt = VT_UI1;
            out->bVal = value.byte();
            return S_OK;
        case script::Type::Error:
            out->vt = VT_ERROR;
            out->scode = value.scode();
            return S_OK;
        case script::Type::String:
            out->bstrVal = AllocBstr(value.str());
            if (!out->bstrVal) return E_OUTOFMEMORY;
            out->vt = VT_BSTR;
            return S_OK;
        case script::Type::Object: {
            out->vt = VT_DISPATCH;
            out->pdispVal = nullptr;
            script::Object* o = value.object();
            if (!o) return S_OK;
            if (auto* host = dynamic_cast<CDispatchObject*>(o)) {
                out->pdispVal = host->Dispatch();
                out->pdispVal->AddRef();
                return S_OK;
            }
            if (auto* bare = dynamic_cast<CUnknownObject*>(o)) {
                out->vt = VT_UNKNOWN;
                out->punkVal = bare->Unknown();
                out->punkVal->AddRef();
                return S_OK;
            }
            out->pdispVal = new (std::nothrow) CObjectDispatch(value.objectPtr());
            if (!out->pdispVal) {
                out->vt = VT_EMPTY;
                return E_OUTOFMEMORY;
            }
            return S_OK;
        }
        case script::Type::Array: {
            SAFEARRAY* sa = nullptr;
            const HRESULT hr = ArrayToSafeArray(value.array(), &sa);
            if (FAILED(hr)) return hr;
            out->vt = VT_ARRAY | VT_VARIANT;
            out->parray = sa;
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}

Value VariantToValue(const VARIANT& in) {
    const VARIANT* v = &in;
    for (int hops = 0; v->vt == (VT_BYREF | VT_VARIANT); ++hops) {
        if (!v->pvarVal) return Value();
        if (hops == 16) script::Raise(script::err::kTypeMismatch);  // a chain that loops
        v = v->pvarVal;
    }
    if (v->vt & VT_ARRAY)
        return SafeArrayToValue((v->vt & VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray);
    if (v->vt & VT_BYREF) {
        VARIANT plain;
        VariantInit(&plain);
        if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(v))))
            script::Raise(script::err::kTypeMismatch);
        try {
            Value out = VariantToValue(plain);
            VariantClear(&plain);
            return out;
        } catch (...) {
            VariantClear(&plain);
            throw;
        }
    }
    switch (v->vt) {
        case VT_EMPTY: return Value();
        case VT_NULL: return Value::Null();
        case VT_I1: return Value::Integer(v->cVal);
        case VT_UI1: return Value::Byte(v->bVal);
        case VT_I2: return Value::Integer(v->iVal);
        case VT_UI2: return Value::Long(v->uiVal);
        case VT_I4:
        case VT_INT: return Value::Long(v->lVal);
        case VT_UI4:
        case VT_UINT: return Whole(double(v->ulVal));
        case VT_I8: return Whole(double(v->llVal));
        case VT_UI8: return Whole(double(v->ullVal));
        case VT_R4: return Value::Single(v->fltVal);
        case VT_R8: return Value::Double(v->dblVal);
        case VT_CY: return Value::Currency(v->cyVal.int64);
        case VT_DATE: return Value::Date(v->date);
        case VT_BSTR: return Value::Str(FromBstr(v->bstrVal));
        case VT_BOOL: return Value::Boolean(v->boolVal != VARIANT_FALSE);
        case VT_ERROR: return Value::Error(v->scode);
        case VT_HRESULT: return Value::Error(v->scode);
        case VT_DECIMAL: {
            double d = 0;
            if (FAILED(VarR8FromDec(const_cast<DECIMAL*>(&v->decVal), &d)))
                script::Raise(script::err::kOverflow);
            return Value::Double(d);
        }
        case VT_DISPATCH: return ObjectOf(v->pdispVal);
        case VT_UNKNOWN: {
            if (!v->punkVal) return Value::Nothing();
            IDispatch* dispatch = nullptr;
            if (FAILED(v->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
                !dispatch) {
                IUnknown* identity = nullptr;  // compared by Is: the object's own IUnknown
                if (FAILED(v->punkVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) ||
                    !identity)
                    script::Raise(script::err::kTypeMismatch);
                std::shared_ptr<CUnknownObject> bare;
                try {
                    bare = std::make_shared<CUnknownObject>(identity);
                } catch (...) {
                    identity->Release();
                    throw;
                }
                identity->Release();
                return Value::Obj(std::move(bare));
            }
            Value out = ObjectOf(dispatch);
            dispatch->Release();
            return out;
        }
        default: break;
    }
    script::Raise(script::err::kTypeMismatch);
}

size_t StackLeft(const void* here) {
    MEMORY_BASIC_INFORMATION info = {};
    if (!VirtualQuery(here, &info, sizeof info)) return 0;
    const auto low = reinterpret_cast<uintptr_t>(info.AllocationBase);
    const auto at = reinterpret_cast<uintptr_t>(here);
    return at > low ? size_t(at - low) : 0;
}

// ---- InputBox --------------------------------------------------------------------

namespace {

InputBoxHook g_inputBoxHook = nullptr;

constexpr int kIdPrompt = 100;
constexpr int kIdAnswer = 101;

struct InputBoxState {
    const std::wstring* prompt;
    const std::wstring* title;
    const std::wstring* initial;
    std::wstring answer;
};

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
    auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            state = reinterpret_cast<InputBoxState*>(lp);
            SetWindowLongPtrW(dialog, DWLP_USER, lp);
            SetWindowTextW(dialog, state->title->empty() ? L"Morrowpad" : state->title->c_str());
            SetDlgItemTextW(dialog, kIdPrompt, state->prompt->c_str());
            SetDlgItemTextW(dialog, kIdAnswer, state->initial->c_str());
            SendDlgItemMessageW(dialog, kIdAnswer, EM_SETSEL, 0, -1);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK && state) {
                HWND edit = GetDlgItem(dialog, kIdAnswer);
                std::wstring text(size_t(GetWindowTextLengthW(edit)) + 1, L'\0');
                text.resize(size_t(GetWindowTextW(edit, text.data(), int(text.size()))));
                state->answer = text;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wp) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
    }
}

// An in-memory dialog template: the prompt, the answer field, OK and Cancel.
class DialogTemplate {
   public:
    void Header(DWORD style, short items, short cx, short cy) {
        Dword(style);
        Dword(0);
        Word(WORD(items));
        Word(0), Word(0), Word(WORD(cx)), Word(WORD(cy));
        Word(0);  // no menu
        Word(0);  // the standard class
        Word(0);  // the title is set later
        Word(8);
        Text(L"MS Shell Dlg");
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const wchar_t* text) {
        Align(4);
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Word(WORD(x)), Word(WORD(y)), Word(WORD(cx)), Word(WORD(cy));
        Word(id);
        Word(0xFFFF);
        Word(atom);
        Text(text);
        Word(0);  // no creation data
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

   private:
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void Text(const wchar_t* s) {
        for (; *s; ++s) Word(WORD(*s));
        Word(0);
    }
    void Align(size_t bytes) {
        while ((words_.size() * 2) % bytes) Word(0);
    }
    std::vector<WORD> words_;
};

bool ShowInputBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                  const std::wstring& initial, std::wstring* answer) {
    if (g_inputBoxHook) return g_inputBoxHook(owner, prompt, title, initial, answer);
    DialogTemplate t;
    t.Header(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 4, 260, 82);
    t.Item(SS_LEFT | SS_NOPREFIX, 7, 7, 190, 48, kIdPrompt, 0x0082, L"");
    t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 203, 7, 50, 14, IDOK, 0x0080, L"OK");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 203, 25, 50, 14, IDCANCEL, 0x0080, L"Cancel");
    t.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 61, 246, 14, kIdAnswer, 0x0081, L"");
    InputBoxState state{&prompt, &title, &initial, {}};
    const INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner, InputBoxProc,
                                              reinterpret_cast<LPARAM>(&state));
    if (r != IDOK) return false;
    *answer = state.answer;
    return true;
}

}  // namespace

InputBoxHook SetInputBoxHook(InputBoxHook hook) {
    InputBoxHook previous = g_inputBoxHook;
    g_inputBoxHook = hook;
    return previous;
}

// ---- The engine ------------------------------------------------------------------

namespace {

class CScriptEngine;

// What the core engine asks of the program.
class EngineHost final : public script::Host {
   public:
    explicit EngineHost(CScriptEngine* owner) : owner_(owner) {}
    Value CreateObject(StringView progId) override;
    int MsgBox(StringView prompt, int buttons, StringView title) override;
    bool InputBox(StringView prompt, StringView title, StringView initial, String* answer) override;

   private:
    HWND Owner();  // throws when the site gives no window
    CScriptEngine* owner_;
};

// A failure as the site asks about it.
class CScriptErrorInfo final : public IActiveScriptError {
   public:
    CScriptErrorInfo(const script::ScriptError& e, String lineText)
        : error_(e), lineText_(std::move(lineText)) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScriptError)) {
            *out = static_cast<IActiveScriptError*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return ULONG(n);
    }
    STDMETHODIMP GetExceptionInfo(EXCEPINFO* ei) override {
        if (!ei) return E_POINTER;
        *ei = EXCEPINFO{};
        ei->scode = error_.status ? error_.status : E_FAIL;
        ei->bstrSource = AllocBstr(error_.source);
        ei->bstrDescription = AllocBstr(error_.description);
        return S_OK;
    }
    STDMETHODIMP GetSourcePosition(DWORD* context, ULONG* line, LONG* column) override {
        if (context) *context = 0;
        if (line) *line = ULONG(std::max(0, error_.line));
        if (column) *column = std::max(0, error_.column);
        return error_.line >= 0 ? S_OK : E_FAIL;
    }
    STDMETHODIMP GetSourceLineText(BSTR* text) override {
        if (!text) return E_POINTER;
        *text = nullptr;
        if (error_.line < 0) return E_FAIL;
        *text = AllocBstr(lineText_);
        return *text ? S_OK : E_OUTOFMEMORY;
    }

   private:
    ~CScriptErrorInfo() = default;
    LONG refs_ = 1;
    script::ScriptError error_;
    String lineText_;
};

// Line `line` (0-based, counted from `firstLine`) of `text`.
String LineOf(StringView text, int line, int firstLine) {
    int n = line - firstLine;
    if (n < 0) return {};
    size_t at = 0;
    while (n > 0 && at < text.size()) {
        const size_t end = text.find_first_of(u"\r\n", at);
        if (end == StringView::npos) return {};
        at = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
        --n;
    }
    const size_t end = text.find_first_of(u"\r\n", at);
    return String(text.substr(at, end == StringView::npos ? StringView::npos : end - at));
}

class CScriptEngine final : public IActiveScript, public IActiveScriptParse {
   public:
    CScriptEngine() : host_(this) { InitializeCriticalSection(&lock_); }
    CScriptEngine(const CScriptEngine&) = delete;
    CScriptEngine& operator=(const CScriptEngine&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScript) ||
            IsEqualIID(riid, kIidOwnEngine))
            *out = static_cast<IActiveScript*>(this);
        else if (IsEqualIID(riid, IID_IActiveScriptParse))
            *out = static_cast<IActiveScriptParse*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return ULONG(n);
    }

    // IActiveScript
    STDMETHODIMP SetScriptSite(IActiveScriptSite* site) override;
    STDMETHODIMP GetScriptSite(REFIID riid, void** out) override;
    STDMETHODIMP SetScriptState(SCRIPTSTATE state) override;
    STDMETHODIMP GetScriptState(SCRIPTSTATE* state) override {
        if (!state) return E_POINTER;
        *state = state_;
        return S_OK;
    }
    STDMETHODIMP Close() override;
    STDMETHODIMP AddNamedItem(LPCOLESTR name, DWORD flags) override;
    STDMETHODIMP AddTypeLib(REFGUID, DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetScriptDispatch(LPCOLESTR item, IDispatch** out) override;
    STDMETHODIMP GetCurrentScriptThreadID(SCRIPTTHREADID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetScriptThreadID(DWORD, SCRIPTTHREADID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetScriptThreadState(SCRIPTTHREADID, SCRIPTTHREADSTATE*) override { return E_NOTIMPL; }
    STDMETHODIMP InterruptScriptThread(SCRIPTTHREADID, const EXCEPINFO*, DWORD) override;
    STDMETHODIMP Clone(IActiveScript**) override { return E_NOTIMPL; }

    // IActiveScriptParse
    STDMETHODIMP InitNew() override;
    STDMETHODIMP AddScriptlet(LPCOLESTR, LPCOLESTR, LPCOLESTR, LPCOLESTR, LPCOLESTR, LPCOLESTR, DWORD_PTR,
                              ULONG, DWORD, BSTR*, EXCEPINFO*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP ParseScriptText(LPCOLESTR code, LPCOLESTR item, IUnknown* context, LPCOLESTR delimiter,
                                 DWORD_PTR cookie, ULONG startLine, DWORD flags, VARIANT* result,
                                 EXCEPINFO* exception) override;

    IActiveScriptSite* Site() const { return site_; }
    script::Engine* Engine() const { return engine_.get(); }

    // Runs `body` as script code: the site is told it is entered and left,
    // the stack budget is set for this thread, and a failure is reported to
    // the site (answered as SCRIPT_E_REPORTED).
    template <class F>
    HRESULT RunReported(StringView source, int firstLine, F&& body);
    HRESULT ReportSafely(const script::ScriptError& e, StringView source, int firstLine) noexcept;

   private:
    ~CScriptEngine() {
        Close();
        DeleteCriticalSection(&lock_);
    }
    void Report(const script::ScriptError& e, StringView source, int firstLine);
    void SetState(SCRIPTSTATE state) {
        state_ = state;
        if (site_) site_->OnStateChange(state);
    }

    LONG refs_ = 1;
    IActiveScriptSite* site_ = nullptr;
    EngineHost host_;
    std::unique_ptr<script::Engine> engine_;
    SCRIPTSTATE state_ = SCRIPTSTATE_UNINITIALIZED;
    int depth_ = 0;          // runs on the stack now (an include runs inside its includer)
    CRITICAL_SECTION lock_;  // guards engine_ against InterruptScriptThread
};

// The global procedures of a script, by name.
class CScriptDispatch final : public CDispatchBase {
   public:
    explicit CScriptDispatch(CScriptEngine* engine) : engine_(engine) { engine_->AddRef(); }

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count == 0) return S_OK;
        if (!names || !ids) return E_POINTER;
        try {
            HRESULT hr = S_OK;
            for (UINT n = 0; n < count; ++n) {
                const int id = engine_->Engine() && names[n]
                                   ? engine_->Engine()->ProcedureId(U(static_cast<const wchar_t*>(names[n])))
                                   : -1;
                ids[n] = id < 0 ? DISPID_UNKNOWN : DISPID(id + 1);
                if (id < 0) hr = DISP_E_UNKNOWNNAME;
            }
            return hr;
        } catch (...) {
            return E_FAIL;
        }
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (result) VariantInit(result);
        if (!engine_->Engine()) return E_UNEXPECTED;
        if (id < 1) return DISP_E_MEMBERNOTFOUND;
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        const DISPPARAMS& p = params ? *params : none;
        if (p.cNamedArgs) return DISP_E_NONAMEDARGS;
        if (p.cArgs && !p.rgvarg) return E_INVALIDARG;
        HRESULT answer = S_OK;
        HRESULT hr;
        try {
            hr = engine_->RunReported(StringView(), 0, [&] {
                std::vector<Value> values = ArgumentsOf(p);
                std::vector<Value*> pointers;
                for (Value& v : values) pointers.push_back(&v);
                const Value r = engine_->Engine()->Call(int(id - 1), pointers);
                WriteBackAll(p, values);
                if (result) answer = ValueToVariant(r, result);
            });
        } catch (...) {
            return E_FAIL;
        }
        return FAILED(hr) ? hr : answer;
    }

   private:
    ~CScriptDispatch() override { engine_->Release(); }
    CScriptEngine* engine_;
};

STDMETHODIMP CScriptEngine::SetScriptSite(IActiveScriptSite* site) {
    if (!site) return E_POINTER;
    if (site_) return E_UNEXPECTED;
    site_ = site;
    site_->AddRef();
    return S_OK;
}

STDMETHODIMP CScriptEngine::GetScriptSite(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return site_ ? site_->QueryInterface(riid, out) : S_FALSE;
}

STDMETHODIMP CScriptEngine::InitNew() {
    if (engine_) return E_UNEXPECTED;
    try {
        auto engine = std::make_unique<script::Engine>(&host_);
        EnterCriticalSection(&lock_);
        engine_ = std::move(engine);
        LeaveCriticalSection(&lock_);
        SetState(SCRIPTSTATE_INITIALIZED);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP CScriptEngine::AddNamedItem(LPCOLESTR name, DWORD flags) {
    if (!name) return E_POINTER;
    if (!site_ || !engine_) return E_UNEXPECTED;
    IUnknown* unknown = nullptr;
    HRESULT hr = site_->GetItemInfo(name, SCRIPTINFO_IUNKNOWN, &unknown, nullptr);
    if (FAILED(hr)) return hr;
    if (!unknown) return E_FAIL;
    IDispatch* dispatch = nullptr;
    hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    unknown->Release();
    if (FAILED(hr) || !dispatch) return FAILED(hr) ? hr : E_NOINTERFACE;
    try {
        engine_->AddNamedItem(U(static_cast<const wchar_t*>(name)), WrapDispatch(dispatch),
                              (flags & SCRIPTITEM_GLOBALMEMBERS) != 0);
        hr = S_OK;
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (...) {
        hr = E_FAIL;
    }
    dispatch->Release();
    return hr;
}

STDMETHODIMP CScriptEngine::SetScriptState(SCRIPTSTATE state) {
    if (state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
    switch (state) {
        case SCRIPTSTATE_STARTED:
        case SCRIPTSTATE_CONNECTED:
            if (!engine_) return E_UNEXPECTED;
            if (state_ == SCRIPTSTATE_DISCONNECTED) engine_->Resume();
            SetState(state);
            return S_OK;
        case SCRIPTSTATE_DISCONNECTED:
            if (!engine_) return E_UNEXPECTED;
            engine_->Interrupt();  // the running script ends at its next statement
            SetState(state);
            return S_OK;
        case SCRIPTSTATE_CLOSED: return Close();
        default: return E_NOTIMPL;
    }
}

STDMETHODIMP CScriptEngine::Close() {
    // A script running further down this thread's stack (the host closed
    // the engine from a call) keeps the engine until it returns.
    if (depth_ > 0) {
        if (engine_) engine_->Interrupt();
        return S_OK;
    }
    std::unique_ptr<script::Engine> engine;
    EnterCriticalSection(&lock_);
    engine = std::move(engine_);
    LeaveCriticalSection(&lock_);
    try {
        engine.reset();  // drops the named items and every script object
    } catch (...) {
    }
    if (state_ != SCRIPTSTATE_CLOSED && state_ != SCRIPTSTATE_UNINITIALIZED && site_) {
        state_ = SCRIPTSTATE_CLOSED;
        site_->OnStateChange(SCRIPTSTATE_CLOSED);
    }
    state_ = SCRIPTSTATE_CLOSED;
    if (site_) {
        site_->Release();
        site_ = nullptr;
    }
    return S_OK;
}

STDMETHODIMP CScriptEngine::GetScriptDispatch(LPCOLESTR, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!engine_) return E_UNEXPECTED;
    *out = new (std::nothrow) CScriptDispatch(this);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CScriptEngine::InterruptScriptThread(SCRIPTTHREADID, const EXCEPINFO*, DWORD) {
    EnterCriticalSection(&lock_);
    const bool running = engine_ != nullptr;
    if (running) engine_->Interrupt();
    LeaveCriticalSection(&lock_);
    return running ? S_OK : E_UNEXPECTED;
}

void CScriptEngine::Report(const script::ScriptError& e, StringView source, int firstLine) {
    if (!site_) return;
    auto* info =
        new (std::nothrow) CScriptErrorInfo(e, e.line >= 0 ? LineOf(source, e.line, firstLine) : String());
    if (!info) return;
    site_->OnScriptError(info);
    info->Release();
}

HRESULT CScriptEngine::ReportSafely(const script::ScriptError& e, StringView source, int firstLine) noexcept {
    // Reporting allocates; short of memory the failure is still a failure.
    try {
        script::ScriptError copy = e;
        if (copy.description.empty()) copy.description = script::ErrorText(int(copy.Number()));
        Report(copy, source, firstLine);
        return SCRIPT_E_REPORTED;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

template <class F>
HRESULT CScriptEngine::RunReported(StringView source, int firstLine, F&& body) {
    if (!engine_ || !site_) return E_UNEXPECTED;
    AddRef();  // the site may close and release the engine from a call
    IActiveScriptSite* site = site_;
    site->AddRef();
    HRESULT hr = S_OK;
    site->OnEnterScript();
    ++depth_;
    try {
        if (depth_ == 1) {
            const size_t left = StackLeft(&hr);
            const size_t margin = std::max(kStackMargin, left / 8);
            engine_->SetStackBudget(left > margin ? left - margin : 0);
        }
        body();
    } catch (const script::ScriptError& e) {
        hr = ReportSafely(e, source, firstLine);
    } catch (const std::bad_alloc&) {
        script::ScriptError e;
        e.status = script::StatusOf(script::err::kOutOfMemory);
        e.source = script::kRuntimeSource;
        hr = ReportSafely(e, source, firstLine);
    } catch (...) {
        hr = E_FAIL;
    }
    --depth_;
    site->OnLeaveScript();
    site->Release();
    Release();
    return hr;
}

STDMETHODIMP CScriptEngine::ParseScriptText(LPCOLESTR code, LPCOLESTR, IUnknown*, LPCOLESTR, DWORD_PTR,
                                            ULONG startLine, DWORD, VARIANT* result, EXCEPINFO* exception) {
    if (result) VariantInit(result);
    if (exception) *exception = EXCEPINFO{};
    if (!engine_ || state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
    try {
        const String text = code ? U(static_cast<const wchar_t*>(code)) : String();
        return RunReported(text, int(startLine), [&] { engine_->Run(text, int(startLine)); });
    } catch (...) {
        return E_OUTOFMEMORY;  // the copy of the text
    }
}

// ---- The host side of the engine ---------------------------------------------------

HWND EngineHost::Owner() {
    IActiveScriptSite* site = owner_->Site();
    IActiveScriptSiteWindow* window = nullptr;
    HWND hwnd = nullptr;
    HRESULT hr = E_FAIL;
    if (site &&
        SUCCEEDED(site->QueryInterface(IID_IActiveScriptSiteWindow, reinterpret_cast<void**>(&window))) &&
        window) {
        hr = window->GetWindow(&hwnd);
        window->Release();
    }
    if (FAILED(hr)) {
        String text = script::ErrorText(kPermissionDenied);
        script::Raise(kPermissionDenied, text.empty() ? String(u"Permission denied") : text);
    }
    return hwnd;
}

Value EngineHost::CreateObject(StringView progId) {
    const std::wstring id = Wide(progId);
    CLSID clsid;
    IDispatch* dispatch = nullptr;
    if (FAILED(CLSIDFromProgID(id.c_str(), &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&dispatch))) ||
        !dispatch) {
        script::Raise(script::err::kCannotCreate,
                      script::ErrorText(script::err::kCannotCreate) + u": '" + String(progId) + u"'");
    }
    Value v = Value::Obj(WrapDispatch(dispatch));
    dispatch->Release();
    return v;
}

int EngineHost::MsgBox(StringView prompt, int buttons, StringView title) {
    HWND owner = Owner();
    const std::wstring text = Wide(prompt), caption = Wide(title);
    return shell::ShowMessage(owner, text.c_str(), caption.c_str(), UINT(buttons));
}

bool EngineHost::InputBox(StringView prompt, StringView title, StringView initial, String* answer) {
    HWND owner = Owner();
    std::wstring text;
    if (!ShowInputBox(owner, Wide(prompt), Wide(title), Wide(initial), &text)) return false;
    *answer = U(text.c_str(), text.size());
    return true;
}

}  // namespace

IActiveScript* CreateOwnScriptEngine() { return new (std::nothrow) CScriptEngine(); }

bool IsOwnScriptEngine(IUnknown* engine) {
    if (!engine) return false;
    IUnknown* own = nullptr;
    if (FAILED(engine->QueryInterface(kIidOwnEngine, reinterpret_cast<void**>(&own))) || !own) return false;
    own->Release();
    return true;
}

}  // namespace syntax
