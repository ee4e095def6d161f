// Values and objects across the COM boundary: host objects as script
// objects, script objects as IDispatch, arrays as SAFEARRAYs, variants.
#include "ScriptEngineParts.h"

namespace syntax {
namespace {

// ---- Host objects as script objects -------------------------------------------

class CDispatchObject final : public script::CObject {
   public:
    explicit CDispatchObject(IDispatch* dispatch) : dispatch_(shell::ComPtrT<IDispatch>::AddRef(dispatch)) {
        identity_ = dispatch;
        // The identity is compared only, not held.
        shell::ComPtrT<IUnknown> unknown;
        if (SUCCEEDED(dispatch->QueryInterface(IID_IUnknown, unknown.put_void())) && unknown)
            identity_ = unknown.get();
    }
    ~CDispatchObject() override = default;
    CDispatchObject(const CDispatchObject&) = delete;
    CDispatchObject& operator=(const CDispatchObject&) = delete;

    IDispatch* Dispatch() const { return dispatch_.get(); }

    CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) override {
        return InvokeWithRefs(name, flags, args, 0);
    }
    CValue InvokeWithRefs(StringView name, unsigned flags, std::span<CValue* const> args,
                         script::RefMask byRef) override;
    bool HasMember(StringView name) override {
        DISPID id;
        return Lookup(name, &id);
    }
    String TypeName() const override;
    const void* Identity() const override { return identity_; }
    std::vector<CValue> Enumerate() override;

   private:
    bool Lookup(StringView name, DISPID* id);

    shell::ComPtrT<IDispatch> dispatch_;
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

CValue CDispatchObject::InvokeWithRefs(StringView name, unsigned flags, std::span<CValue* const> args,
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
    CVariants values(n), passed(n);
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
    CVariants result(1);
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
    // What a failed call leaves in `info` is not a reference: dropped, not released.
    shell::ComPtrT<ITypeInfo> info;
    {
        shell::ComPtrT<IProvideClassInfo> classInfo;
        if (SUCCEEDED(dispatch_->QueryInterface(IID_IProvideClassInfo, classInfo.put_void())) && classInfo) {
            if (FAILED(classInfo->GetClassInfo(info.put()))) info.detach();
        }
    }
    UINT count = 0;
    if (!info && SUCCEEDED(dispatch_->GetTypeInfoCount(&count)) && count) {
        if (FAILED(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()))) info.detach();
    }
    if (info) {
        BSTR doc = nullptr;
        if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &doc, nullptr, nullptr, nullptr)))
            name = FromBstr(doc);
        SysFreeString(doc);
        info.reset();
    }
    if (!name.empty() && name[0] == u'_') name.erase(0, 1);
    return name.empty() ? String(u"Object") : name;
}

std::vector<CValue> CDispatchObject::Enumerate() {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    CVariants result(1);
    EXCEPINFO ei = {};
    const HRESULT hr =
        dispatch_->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                          DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result[0], &ei, nullptr);
    FreeExcepInfo(ei);
    IUnknown* unknown = nullptr;
    if (SUCCEEDED(hr) && (result[0].vt == VT_UNKNOWN || result[0].vt == VT_DISPATCH))
        unknown = result[0].punkVal;
    std::vector<CValue> out;  // before `items`: a failure releases the enumerator first
    shell::ComPtrT<IEnumVARIANT> items;
    if (!unknown || FAILED(unknown->QueryInterface(IID_IEnumVARIANT, items.put_void())) || !items)
        script::Raise(script::err::kNotSupported);
    for (;;) {
        CVariants item(1);
        ULONG fetched = 0;
        if (items->Next(1, &item[0], &fetched) != S_OK || fetched != 1) break;
        out.push_back(VariantToValue(item[0]));
    }
    return out;
}

// An object that answers only IUnknown: it can be held, compared, handed
// back to the host and named by TypeName ("Unknown") and VarType (13), but
// it has no members to call.
class CUnknownObject final : public script::CObject {
   public:
    explicit CUnknownObject(IUnknown* unknown) : unknown_(shell::ComPtrT<IUnknown>::AddRef(unknown)) {}
    ~CUnknownObject() override = default;
    CUnknownObject(const CUnknownObject&) = delete;
    CUnknownObject& operator=(const CUnknownObject&) = delete;

    IUnknown* Unknown() const { return unknown_.get(); }
    CValue Invoke(StringView name, unsigned, std::span<CValue* const>) override {
        if (name.empty()) script::Raise(script::err::kNotSupported);
        script::Raise(script::err::kNotSupported,
                      script::ErrorText(script::err::kNotSupported) + u": '" + String(name) + u"'");
    }
    bool HasMember(StringView) override { return false; }
    String TypeName() const override { return u"Unknown"; }
    int VarType() const override { return 13; }
    const void* Identity() const override { return unknown_.get(); }

   private:
    shell::ComPtrT<IUnknown> unknown_;
};

class CObjectDispatch final : public CDispatchBase {
   public:
    explicit CObjectDispatch(std::shared_ptr<script::CObject> object)
        : CDispatchBase(&kIidOwnObject), object_(std::move(object)) {}

    const std::shared_ptr<script::CObject>& Object() const { return object_; }

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* ei, UINT* argError) override;

   private:
    ~CObjectDispatch() override = default;

    std::shared_ptr<script::CObject> object_;
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
        std::vector<CValue> values = ArgumentsOf(p);
        std::vector<CValue*> pointers;
        for (CValue& v : values) pointers.push_back(&v);
        const CValue answer = object_->Invoke(name, flags & 0xF, pointers);
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

class CNestingGuard {
   public:
    CNestingGuard() { ++g_arrayNesting; }
    ~CNestingGuard() { --g_arrayNesting; }
    CNestingGuard(const CNestingGuard&) = delete;
    CNestingGuard& operator=(const CNestingGuard&) = delete;
    static bool TooDeep() { return g_arrayNesting > kMaxArrayNesting; }
};

HRESULT ArrayToSafeArray(const script::Array* array, SAFEARRAY** out) {
    *out = nullptr;
    CNestingGuard nesting;
    if (CNestingGuard::TooDeep()) return DISP_E_TYPEMISMATCH;
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

CValue SafeArrayToValue(SAFEARRAY* sa) {
    CNestingGuard nesting;
    if (CNestingGuard::TooDeep()) script::Raise(script::err::kTypeMismatch);
    auto array = std::make_shared<script::Array>();
    if (!sa) return CValue::Arr(array);
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
    if (total == 0) return CValue::Arr(array);
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
    return CValue::Arr(array);
}

CValue ObjectOf(IDispatch* dispatch) {
    if (!dispatch) return CValue::Nothing();
    shell::ComPtrT<CObjectDispatch> own;
    if (SUCCEEDED(dispatch->QueryInterface(kIidOwnObject, own.put_void())) && own)
        return CValue::Obj(own->Object());
    return CValue::Obj(WrapDispatch(dispatch));
}

CValue Whole(double d) {
    if (d >= -2147483648.0 && d <= 2147483647.0) return CValue::Long(int32_t(d));
    return CValue::Double(d);
}

}  // namespace

// ---- Conversions ---------------------------------------------------------------

std::shared_ptr<script::CObject> WrapDispatch(IDispatch* dispatch) {
    return std::make_shared<CDispatchObject>(dispatch);
}

HRESULT ValueToVariant(const CValue& value, VARIANT* out) {
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
            script::CObject* o = value.object();
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

CValue VariantToValue(const VARIANT& in) {
    const VARIANT* v = &in;
    for (int hops = 0; v->vt == (VT_BYREF | VT_VARIANT); ++hops) {
        if (!v->pvarVal) return CValue();
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
            CValue out = VariantToValue(plain);
            VariantClear(&plain);
            return out;
        } catch (...) {
            VariantClear(&plain);
            throw;
        }
    }
    switch (v->vt) {
        case VT_EMPTY: return CValue();
        case VT_NULL: return CValue::Null();
        case VT_I1: return CValue::Integer(v->cVal);
        case VT_UI1: return CValue::Byte(v->bVal);
        case VT_I2: return CValue::Integer(v->iVal);
        case VT_UI2: return CValue::Long(v->uiVal);
        case VT_I4:
        case VT_INT: return CValue::Long(v->lVal);
        case VT_UI4:
        case VT_UINT: return Whole(double(v->ulVal));
        case VT_I8: return Whole(double(v->llVal));
        case VT_UI8: return Whole(double(v->ullVal));
        case VT_R4: return CValue::Single(v->fltVal);
        case VT_R8: return CValue::Double(v->dblVal);
        case VT_CY: return CValue::Currency(v->cyVal.int64);
        case VT_DATE: return CValue::Date(v->date);
        case VT_BSTR: return CValue::Str(FromBstr(v->bstrVal));
        case VT_BOOL: return CValue::Boolean(v->boolVal != VARIANT_FALSE);
        case VT_ERROR: return CValue::Error(v->scode);
        case VT_HRESULT: return CValue::Error(v->scode);
        case VT_DECIMAL: {
            double d = 0;
            if (FAILED(VarR8FromDec(const_cast<DECIMAL*>(&v->decVal), &d)))
                script::Raise(script::err::kOverflow);
            return CValue::Double(d);
        }
        case VT_DISPATCH: return ObjectOf(v->pdispVal);
        case VT_UNKNOWN: {
            if (!v->punkVal) return CValue::Nothing();
            shell::ComPtrT<IDispatch> dispatch;
            if (FAILED(v->punkVal->QueryInterface(IID_IDispatch, dispatch.put_void())) || !dispatch) {
                shell::ComPtrT<IUnknown> identity;  // compared by Is: the object's own IUnknown
                if (FAILED(v->punkVal->QueryInterface(IID_IUnknown, identity.put_void())) || !identity)
                    script::Raise(script::err::kTypeMismatch);
                return CValue::Obj(std::make_shared<CUnknownObject>(identity.get()));
            }
            return ObjectOf(dispatch.get());
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

}  // namespace syntax
