// The table-driven IDispatch of host objects, called the way a script engine
// calls it, with no engine involved.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptHost.h"

using namespace syntax;

namespace {

class Sample : public IDispDynImpl {
   public:
    Sample();
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    // Each member notes its name, then answers.
    HRESULT Add(int a, int b, int* sum) { return Note(L"Add"), *sum = a + b, S_OK; }
    HRESULT Concat(BSTR a, BSTR b, BSTR* joined) {
        *joined = SysAllocString((std::wstring(a ? a : L"") + (b ? b : L"")).c_str());
        return Note(L"Concat"), S_OK;
    }
    HRESULT GetValue(int* v) { return Note(L"GetValue"), *v = value, S_OK; }
    HRESULT PutValue(int v) { return Note(L"PutValue"), value = v, S_OK; }
    HRESULT Flag(VARIANT_BOOL on) { return Note(L"Flag"), flag = on, S_OK; }
    HRESULT Fail() { return Note(L"Fail"), E_ACCESSDENIED; }
    HRESULT Five(int a, int b, BSTR c, int d, VARIANT_BOOL e, int* r) {
        *r = a * 10000 + b * 1000 + int(SysStringLen(c)) * 100 + d * 10 + (e ? 1 : 0);
        return Note(L"Five"), S_OK;
    }
    HRESULT IsNull(IDispatch* object, VARIANT_BOOL* r) {
        return Note(L"IsNull"), *r = object ? VARIANT_FALSE : VARIANT_TRUE, S_OK;
    }
    void Note(const wchar_t* name) { calls.push_back(name); }

    ULONG refs = 1;
    int value = 7;
    VARIANT_BOOL flag = VARIANT_FALSE;
    std::vector<std::wstring> calls;
};

const DispEntry kSampleTable[] = {
    DispMethod<&Sample::Add>(L"Add"),                                         // 1
    DispMethod<&Sample::Concat>(L"Concat"),                                   // 2
    DispMethod<&Sample::GetValue>(L"Value", kDispByPosition, kDispKindGet),   // 3
    DispMethod<&Sample::PutValue>(L"Value", kDispPutAccessor, kDispKindPut),  // 4: reached through 3
    DispMethod<&Sample::Flag>(L"Flag"),                                       // 5
    DispMethod<&Sample::Fail>(L"Fail", 100),                                  // explicit
    DispMethod<&Sample::Five>(L"Five"),                                       // 7
    DispMethod<&Sample::IsNull>(L"IsNull"),                                   // 8
    DispEnd(),
};

Sample::Sample() : IDispDynImpl(kSampleTable) {}

DISPID IdOf(Sample& s, const wchar_t* name) {
    LPOLESTR n = const_cast<LPOLESTR>(name);
    DISPID id = 12345;
    const HRESULT hr = s.GetIDsOfNames(IID_NULL, &n, 1, 0, &id);
    EXPECT_EQ(hr, id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK) << name;
    return id;
}

// A variant of type `vt` holding `bits`.
VARIANT Var(VARTYPE vt, LONGLONG bits = 0) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    v.llVal = bits;
    return v;
}

// Arguments in declaration order; the call hands them over last-first, as
// engines do.
struct Call {
    std::vector<VARIANT> args;
    VARIANT result;
    UINT argError = 999;
    Call() { VariantInit(&result); }
    ~Call() {
        for (VARIANT& v : args) VariantClear(&v);
        VariantClear(&result);
    }
    Call& Raw(const VARIANT& v) { return args.push_back(v), *this; }
    Call& Int(int i) { return Raw(Var(VT_I4, i)); }
    Call& Str(const wchar_t* s) { return Raw(Var(VT_BSTR, LONGLONG(intptr_t(SysAllocString(s))))); }
    HRESULT Invoke(IDispatch& d, DISPID id, WORD flags = DISPATCH_METHOD, bool wantResult = true) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS p = {reversed.empty() ? nullptr : reversed.data(), nullptr, UINT(reversed.size()), 0};
        return d.Invoke(id, IID_NULL, 0, flags, &p, wantResult ? &result : nullptr, nullptr, &argError);
    }
};

TEST(DispatchTable, NamesMatchIgnoringCaseAndIdentifiersArePositionsOrExplicit) {
    Sample s;
    const std::pair<const wchar_t*, DISPID> names[] = {{L"add", 1},
                                                       {L"CONCAT", 2},
                                                       {L"vAlUe", 3},  // the getter, never the put accessor
                                                       {L"Flag", 5},
                                                       {L"fail", 100},
                                                       {L"Five", 7},
                                                       {L"Ad", DISPID_UNKNOWN},
                                                       {L"Adds", DISPID_UNKNOWN},
                                                       {L"", DISPID_UNKNOWN}};
    for (const auto& [name, id] : names) EXPECT_EQ(IdOf(s, name), id) << name;
}

TEST(DispatchTable, AnUnknownNameFailsTheCallButTheOtherNamesAreStillResolved) {
    Sample s;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Add"), const_cast<LPOLESTR>(L"Nope"), nullptr,
                        const_cast<LPOLESTR>(L"flag")};
    DISPID ids[4] = {0, 0, 0, 0};
    EXPECT_EQ(s.GetIDsOfNames(IID_NULL, names, 4, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(std::vector<DISPID>(ids, ids + 4), (std::vector<DISPID>{1, DISPID_UNKNOWN, DISPID_UNKNOWN, 5}));
    EXPECT_EQ(s.GetIDsOfNames(IID_NULL, nullptr, 0, 0, nullptr), S_OK);
    EXPECT_EQ(s.GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids), E_POINTER);
}

TEST(DispatchTable, ArgumentsArriveLastFirstAndAreConvertedToTheDeclaredTypes) {
    Sample s;
    {
        Call c;
        c.Str(L"40").Int(2);  // "40" becomes 40
        ASSERT_EQ(c.Invoke(s, 1), S_OK);
        EXPECT_EQ(c.result.vt, VT_I4);
        EXPECT_EQ(c.result.lVal, 42);
    }
    {
        Call c;
        c.Str(L"ab").Int(12);  // 12 becomes "12"; order kept
        ASSERT_EQ(c.Invoke(s, 2, DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
        ASSERT_EQ(c.result.vt, VT_BSTR);
        EXPECT_STREQ(c.result.bstrVal, L"ab12");
    }
    {
        // A script variable, as the engine passes it: a reference to a variant.
        VARIANT target = Var(VT_I4, 1);
        Call c;
        c.Int(5).Raw(Var(VT_BYREF | VT_VARIANT, LONGLONG(intptr_t(&target))));
        ASSERT_EQ(c.Invoke(s, 1), S_OK);
        EXPECT_EQ(c.result.lVal, 6);
        c.args.pop_back();  // not ours to clear
    }
    {
        // More parameters than fit in the entry: the types come from an array.
        Call c;
        c.Int(1).Int(2).Str(L"abc").Int(4).Int(-1);
        ASSERT_EQ(c.Invoke(s, 7), S_OK);
        EXPECT_EQ(c.result.lVal, 12341);
    }
    {
        // No result wanted: the member still runs and its result is freed.
        Call c;
        c.Str(L"x").Str(L"y");
        EXPECT_EQ(c.Invoke(s, 2, DISPATCH_METHOD, false), S_OK);
    }
    {
        Call c;
        c.Raw(Var(VT_DISPATCH));  // Nothing
        ASSERT_EQ(c.Invoke(s, 8), S_OK);
        EXPECT_EQ(c.result.boolVal, VARIANT_TRUE);
    }
    EXPECT_EQ(s.calls, (std::vector<std::wstring>{L"Add", L"Concat", L"Add", L"Five", L"Concat", L"IsNull"}));
}

TEST(DispatchTable, APropertyPutUsesThePutAccessorAndOnlyItMayNameItsArgument) {
    Sample s;
    {
        Call c;
        ASSERT_EQ(c.Invoke(s, 3, DISPATCH_PROPERTYGET), S_OK);
        EXPECT_EQ(c.result.lVal, 7);
    }
    {
        VARIANT v = Var(VT_I4, 99);
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS p = {&v, &named, 1, 1};
        EXPECT_EQ(s.Invoke(3, IID_NULL, 0, DISPATCH_PROPERTYPUT, &p, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(s.value, 99);
        // Named arguments of anything else are refused.
        EXPECT_EQ(s.Invoke(5, IID_NULL, 0, DISPATCH_METHOD, &p, nullptr, nullptr, nullptr),
                  DISP_E_NONAMEDARGS);
    }
    // The put accessor has no identifier of its own.
    Call c;
    c.Int(1);
    EXPECT_EQ(c.Invoke(s, 4), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(s.calls, (std::vector<std::wstring>{L"GetValue", L"PutValue"}));
}

TEST(DispatchTable, WrongCountsTypesAndIdentifiersAreRefusedWithoutCallingTheMember) {
    Sample s;
    {
        Call c;
        c.Int(1);
        EXPECT_EQ(c.Invoke(s, 1), DISP_E_BADPARAMCOUNT);
        c.Int(2).Int(3);
        EXPECT_EQ(c.Invoke(s, 1), DISP_E_BADPARAMCOUNT);
        EXPECT_EQ(s.Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
                  DISP_E_BADPARAMCOUNT);
    }
    {
        Call c;
        c.Int(1).Str(L"not a number");
        EXPECT_EQ(c.Invoke(s, 1), DISP_E_TYPEMISMATCH);
        EXPECT_EQ(c.argError, 0u);  // the last argument sits first
    }
    {
        Call c;
        c.Int(5);
        EXPECT_EQ(c.Invoke(s, 8), DISP_E_TYPEMISMATCH);  // a number is no object
    }
    for (DISPID id : {0, 6, 9, 99, 101, -1, DISPID_UNKNOWN}) {
        Call c;
        EXPECT_EQ(c.Invoke(s, id), DISP_E_MEMBERNOTFOUND) << id;
    }
    EXPECT_TRUE(s.calls.empty());
    Call c;
    EXPECT_EQ(c.Invoke(s, 100), E_ACCESSDENIED);  // the member's own answer
    EXPECT_EQ(c.result.vt, VT_EMPTY);
}

TEST(DispatchTable, OnlyIUnknownAndIDispatchAreAnswered) {
    Sample s;
    void* p = nullptr;
    EXPECT_EQ(s.QueryInterface(IID_IDispatch, &p), S_OK);
    EXPECT_EQ(p, static_cast<IDispatch*>(&s));
    EXPECT_EQ(s.QueryInterface(IID_IUnknown, &p), S_OK);
    EXPECT_EQ(s.refs, 3u);
    EXPECT_EQ(s.QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(s.QueryInterface(IID_IDispatch, nullptr), E_POINTER);
    UINT count = 5;
    EXPECT_EQ(s.GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(s.GetTypeInfo(0, 0, &info), E_NOTIMPL);
}

class Counted : public IDispDynImpl {
   public:
    explicit Counted(bool* freed) : IDispDynImpl(kEmpty), freed_(freed) {}
    ~Counted() override { *freed_ = true; }
    static const DispEntry kEmpty[];

   private:
    bool* freed_;
};
const DispEntry Counted::kEmpty[] = {DispEnd()};

TEST(DispatchTable, AReferenceCountedObjectIsFreedWithItsLastReference) {
    bool freed = false;
    auto* object = new CComRefCount<Counted>(&freed);
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_FALSE(freed);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_TRUE(freed);
}

}  // namespace
