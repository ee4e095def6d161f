// What the script engine's files share: conversions of text, the
// variant list, errors to and from COM, and the base of the dispatch
// objects handed to hosts. ScriptValues.cpp: values and objects across
// the boundary; ScriptEngine.cpp: the engine. Not for use elsewhere.
#pragma once

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
#include "Owners.h"

namespace syntax {

namespace {

using script::String;
using script::StringView;
using script::CValue;

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

inline String U(const wchar_t* s, size_t n) { return String(reinterpret_cast<const char16_t*>(s), n); }
inline String U(const wchar_t* s) { return s ? U(s, wcslen(s)) : String(); }
inline String FromBstr(BSTR s) { return s ? U(s, SysStringLen(s)) : String(); }
inline std::wstring Wide(StringView s) { return std::wstring(reinterpret_cast<const wchar_t*>(s.data()), s.size()); }

inline BSTR AllocBstr(StringView s) {
    return SysAllocStringLen(reinterpret_cast<const wchar_t*>(s.data()), UINT(s.size()));
}

inline void FreeExcepInfo(EXCEPINFO& ei) {
    SysFreeString(ei.bstrSource);
    SysFreeString(ei.bstrDescription);
    SysFreeString(ei.bstrHelpFile);
    ei = EXCEPINFO{};
}

// Releases a vector of variants however the call that filled them ends.
class CVariants {
   public:
    explicit CVariants(size_t n) : v_(n) {
        for (VARIANT& x : v_) VariantInit(&x);
    }
    ~CVariants() {
        for (VARIANT& x : v_) VariantClear(&x);
    }
    CVariants(const CVariants&) = delete;
    CVariants& operator=(const CVariants&) = delete;
    VARIANT& operator[](size_t i) { return v_[i]; }
    VARIANT* data() { return v_.data(); }

   private:
    std::vector<VARIANT> v_;
};

// The language's error for a failed call of a host object. The dispatch
// failures every engine of the language turns into its own errors become
// those; anything else keeps its status (and the text the object gave).
inline script::ScriptError ErrorOf(HRESULT hr, EXCEPINFO& ei) {
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

// ---- Script objects as IDispatch ----------------------------------------------

// Writes `v` back into a by-reference argument.
inline void WriteBack(VARIANT& arg, const CValue& v) {
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
inline HRESULT ToException(const script::ScriptError& e, EXCEPINFO* ei) {
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
inline std::vector<CValue> ArgumentsOf(const DISPPARAMS& p) {
    std::vector<CValue> values(p.cArgs);
    for (UINT i = 0; i < p.cArgs; ++i) values[i] = VariantToValue(p.rgvarg[p.cArgs - 1 - i]);
    return values;
}

inline void WriteBackAll(const DISPPARAMS& p, const std::vector<CValue>& values) {
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

}  // namespace
}  // namespace syntax
