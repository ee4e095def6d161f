// The program's own script engine behind ActiveScript: values crossing
// into variants and back, host objects called from scripts (by-reference
// arguments, failures, enumeration), script objects called from hosts, and
// whole runs through the real host (named items, errors reported through the
// site, includes, entry functions, the time limit, deep recursion, message
// boxes). The language itself is checked by conformance/*.vbs on both
// engines (engine_parity_tests).
#include <activscp.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "EngineChoice.h"
#include "engine/ScriptTestSupport.h"
#include "MessageSink.h"
#include "ParserScript.h"
#include "Resources.h"
#include "ScriptEngine.h"
#include "ScriptHost.h"
#include "TestSupport.h"

using namespace syntax;
using script::CValue;
using script::test::Show;
using testing_support::Messages;

namespace {

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = wchar_t(towlower(c));
    return s;
}

// ---- A host object written by hand ---------------------------------------------

// Members: Bump(x) adds 1 to its by-reference argument, Swap(a, b), Note(x)
// keeps its text, Fail() fails with an exception record, Count() fails with
// a bare HRESULT, Items (DISPID_NEWENUM) enumerates 1, "two", 3, Keep(obj)
// keeps an object, CallKept(name, arg) calls the kept object's member `name`.
class HandHost final : public IDispatch {
   public:
    std::vector<std::wstring> notes;
    IDispatch* kept = nullptr;
    LONG refs = 1;
    int lookups = 0;  // GetIDsOfNames calls
    int invokes = 0;  // Invoke calls

    ~HandHost() {
        if (kept) kept->Release();
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return ULONG(--refs); }  // lives on the test's stack
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const wchar_t* const kNames[] = {L"Bump",  L"Swap", L"Note",     L"Fail",
                                                L"Count", L"Keep", L"CallKept", L"CallDefault"};
        HRESULT hr = S_OK;
        ++lookups;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (int k = 0; k < int(std::size(kNames)); ++k)
                if (_wcsicmp(names[i], kNames[k]) == 0) ids[i] = k + 1;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    static VARIANT* Target(VARIANT& v) { return v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal : nullptr; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* result, EXCEPINFO* ei,
                        UINT*) override {
        if (result) VariantInit(result);
        ++invokes;
        switch (id) {
            case 1: {  // Bump
                if (p->cArgs != 1) return DISP_E_BADPARAMCOUNT;
                VARIANT* x = Target(p->rgvarg[0]);
                if (!x) return S_OK;  // by value: nothing to change
                if (FAILED(VariantChangeType(x, x, 0, VT_I4))) return DISP_E_TYPEMISMATCH;
                ++x->lVal;
                return S_OK;
            }
            case 2: {  // Swap(a, b): arguments arrive last-first
                if (p->cArgs != 2) return DISP_E_BADPARAMCOUNT;
                VARIANT* a = Target(p->rgvarg[1]);
                VARIANT* b = Target(p->rgvarg[0]);
                if (a && b) std::swap(*a, *b);
                return S_OK;
            }
            case 3: {  // Note
                VARIANT text;
                VariantInit(&text);
                if (p->cArgs != 1 || FAILED(VariantChangeType(&text, &p->rgvarg[0], 0, VT_BSTR)))
                    return DISP_E_TYPEMISMATCH;
                notes.push_back(text.bstrVal);
                VariantClear(&text);
                return S_OK;
            }
            case 4:  // Fail
                *ei = EXCEPINFO{};
                ei->scode = E_ACCESSDENIED;
                ei->bstrSource = SysAllocString(L"HandHost");
                ei->bstrDescription = SysAllocString(L"not today");
                return DISP_E_EXCEPTION;
            case 5: return HRESULT(0x80070020);  // a sharing violation
            case 6:                              // Keep
                if (p->cArgs != 1) return DISP_E_BADPARAMCOUNT;
                {
                    VARIANT v;
                    VariantInit(&v);
                    VariantCopyInd(&v, &p->rgvarg[0]);
                    if (v.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
                    if (kept) kept->Release();
                    kept = v.pdispVal;
                }
                return S_OK;
            case 7: {  // CallKept(name, arg)
                if (!kept || p->cArgs != 2) return E_UNEXPECTED;
                VARIANT name;
                VariantInit(&name);
                VariantCopyInd(&name, &p->rgvarg[1]);
                DISPID member = 0;
                LPOLESTR n = name.bstrVal;
                HRESULT hr = kept->GetIDsOfNames(IID_NULL, &n, 1, 0, &member);
                VariantClear(&name);
                if (FAILED(hr)) return hr;
                DISPPARAMS args = {&p->rgvarg[0], nullptr, 1, 0};
                return kept->Invoke(member, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &args,
                                    result, ei, nullptr);
            }
            case 8: {  // CallDefault(arg): the kept object's default member, as a callback
                if (!kept || p->cArgs != 1) return E_UNEXPECTED;
                DISPPARAMS args = {&p->rgvarg[0], nullptr, 1, 0};
                return kept->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &args, result, ei, nullptr);
            }
            case DISPID_NEWENUM: return E_NOTIMPL;
            default: return DISP_E_MEMBERNOTFOUND;
        }
    }
};

// A script object as the engine would give one: "Twice(x)" doubles its
// by-reference argument and answers the old value; "Boom" fails.
class TwiceObject final : public script::CObject {
   public:
    CValue Invoke(script::StringView name, unsigned, std::span<CValue* const> args) override {
        if (script::SameName(name, u"Boom")) script::Raise(script::err::kDivisionByZero);
        if (!script::SameName(name, u"Twice") || args.size() != 1) script::Raise(script::err::kNotSupported);
        const CValue old = *args[0];
        *args[0] = CValue::Long(old.lng() * 2);
        return old;
    }
    bool HasMember(script::StringView name) override {
        return script::SameName(name, u"Twice") || script::SameName(name, u"Boom");
    }
};

// ---- Values and variants ---------------------------------------------------------

CValue RoundTrip(const CValue& v) {
    VARIANT x;
    EXPECT_EQ(ValueToVariant(v, &x), S_OK);
    CValue back = VariantToValue(x);
    VariantClear(&x);
    return back;
}

// A variant of type `vt` holding `bits`.
VARIANT Var(VARTYPE vt, LONGLONG bits = 0) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    v.llVal = bits;
    return v;
}

// The error `f` throws; status 0 when it throws none.
template <class F>
script::ScriptError Thrown(F&& f) {
    try {
        f();
    } catch (const script::ScriptError& e) {
        return e;
    }
    return {};
}

TEST(ScriptEngineValues, EverySubtypeCrossesIntoAVariantAndBack) {
    for (const CValue& v : {CValue(), CValue::Null(), CValue::Integer(-7), CValue::Long(1 << 30),
                            CValue::Single(1.5f), CValue::Double(-2.25), CValue::Currency(123456),
                            CValue::Date(45000.5), CValue::Str(std::u16string(u"a\0b", 3)),
                            CValue::Boolean(true), CValue::Byte(200), CValue::Missing()})
        EXPECT_EQ(Show(RoundTrip(v)), Show(v));
    EXPECT_TRUE(RoundTrip(CValue::Nothing()).IsNothing());
}

TEST(ScriptEngineValues, VariantsTheLanguageHasNoTypeForBecomeTheNearestOrATypeMismatch) {
    LONG target = 41;
    const struct {
        VARTYPE vt;
        LONGLONG bits;
        const char* shown;
    } cases[] = {
        {VT_UI4, 4000000000LL, "Double 4000000000"},
        {VT_UI4, 5, "Long 5"},
        {VT_I8, -3, "Long -3"},
        {VT_UI2, 65535, "Long 65535"},
        {VT_UNKNOWN, 0, "Object"},
        {VT_BYREF | VT_I4, LONGLONG(intptr_t(&target)), "Long 41"}};  // as hosts hand back out-parameters
    for (const auto& c : cases) EXPECT_EQ(Show(VariantToValue(Var(c.vt, c.bits))), c.shown) << c.vt;
    EXPECT_EQ(Thrown([&] { VariantToValue(Var(VT_RECORD)); }).status,
              script::StatusOf(script::err::kTypeMismatch));
}

TEST(ScriptEngineValues, ArraysAreSafeArraysOfVariantsColumnMajorAnyElementTypeComesBack) {
    auto a = std::make_shared<script::Array>();
    a->upper = {1, 2};  // a(1, 2): 2 x 3, the first index fastest
    for (int i = 0; i < 6; ++i) a->data.push_back(CValue::Long(i));
    VARIANT v;
    ASSERT_EQ(ValueToVariant(CValue::Arr(a), &v), S_OK);
    ASSERT_EQ(v.vt, VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(SafeArrayGetDim(v.parray), 2u);
    LONG ub[2] = {};
    SafeArrayGetUBound(v.parray, 1, &ub[0]);
    SafeArrayGetUBound(v.parray, 2, &ub[1]);
    EXPECT_EQ(std::vector<LONG>(ub, ub + 2), (std::vector<LONG>{1, 2}));
    VARIANT element;
    VariantInit(&element);
    LONG index[2] = {1, 2};  // a(1, 2) is the last element
    ASSERT_EQ(SafeArrayGetElement(v.parray, index, &element), S_OK);
    EXPECT_EQ(element.lVal, 5);
    index[0] = 1, index[1] = 0;  // a(1, 0) is the second
    SafeArrayGetElement(v.parray, index, &element);
    EXPECT_EQ(element.lVal, 1);
    const CValue back = VariantToValue(v);
    VariantClear(&v);
    ASSERT_TRUE(back.IsArray());
    EXPECT_EQ(back.array()->upper, (std::vector<int32_t>{1, 2}));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(back.array()->data[size_t(i)].lng(), i);

    // Strings with a lower bound of 1, as some hosts make them.
    SAFEARRAYBOUND bound = {3, 1};
    VARIANT strings;
    strings.vt = VT_ARRAY | VT_BSTR;
    strings.parray = SafeArrayCreate(VT_BSTR, 1, &bound);
    for (LONG i = 1; i <= 3; ++i) {
        BSTR s = SysAllocString(i == 2 ? L"two" : L"x");
        SafeArrayPutElement(strings.parray, &i, s);
        SysFreeString(s);
    }
    const CValue texts = VariantToValue(strings);
    VariantClear(&strings);
    ASSERT_TRUE(texts.IsArray());
    EXPECT_EQ(texts.array()->upper, (std::vector<int32_t>{2}));
    EXPECT_EQ(texts.array()->data[1].str(), u"two");

    // An empty array stays an array.
    auto empty = std::make_shared<script::Array>();
    empty->upper = {-1};
    EXPECT_TRUE(RoundTrip(CValue::Arr(empty)).IsArray());
}

TEST(ScriptEngineValues, ArraysNestedTooDeepAreATypeMismatchNotAStackOverflow) {
    auto nest = [](int depth) {
        CValue v;
        for (int i = 0; i < depth; ++i) {
            auto a = std::make_shared<script::Array>();
            a->upper = {0};
            a->data.push_back(v);
            v = CValue::Arr(a);
        }
        return v;
    };
    VARIANT v;
    EXPECT_EQ(ValueToVariant(nest(100000), &v), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(v.vt, VT_EMPTY);
    // A few levels cross, and come back.
    CValue back = RoundTrip(nest(8));
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(back.IsArray());
        back = CValue(back.array()->data[0]);
    }
    EXPECT_TRUE(back.IsEmpty());
    // A by-reference variant that points at itself ends.
    VARIANT loop = Var(VT_BYREF | VT_VARIANT);
    loop.pvarVal = &loop;
    EXPECT_EQ(Thrown([&] { VariantToValue(loop); }).status, script::StatusOf(script::err::kTypeMismatch));
}

TEST(ScriptEngineValues, ObjectsKeepTheirIdentityAcrossTheBoundary) {
    HandHost host;
    auto wrapped = WrapDispatch(&host);
    VARIANT v;
    ASSERT_EQ(ValueToVariant(CValue::Obj(wrapped), &v), S_OK);
    EXPECT_EQ(v.vt, VT_DISPATCH);
    EXPECT_EQ(v.pdispVal, static_cast<IDispatch*>(&host));  // the host's own pointer again
    EXPECT_EQ(VariantToValue(v).object()->Identity(), wrapped->Identity());
    VariantClear(&v);

    auto twice = std::make_shared<TwiceObject>();
    ASSERT_EQ(ValueToVariant(CValue::Obj(twice), &v), S_OK);
    ASSERT_EQ(v.vt, VT_DISPATCH);
    EXPECT_EQ(VariantToValue(v).object(), twice.get());  // the script object itself, not a wrapper
    VariantClear(&v);
    wrapped.reset();
    EXPECT_EQ(host.refs, 1);
}

// ---- Host objects from a script's side -------------------------------------------

TEST(ScriptEngineHostObjects, ByReferenceArgumentsComeBackChangedTemporariesDoNot) {
    HandHost host;
    auto object = WrapDispatch(&host);
    CValue x = CValue::Long(41);
    CValue* args[] = {&x};
    object->Invoke(u"bump", script::kCallMethod, args);  // a value: unchanged
    EXPECT_EQ(x.lng(), 41);
    object->InvokeWithRefs(u"bump", script::kCallMethod, args, 1);
    EXPECT_EQ(x.lng(), 42);
    CValue a = CValue::Str(std::u16string(u"a")), b = CValue::Long(2);
    CValue* pair[] = {&a, &b};
    object->InvokeWithRefs(u"Swap", script::kCallMethod, pair, 0b10);  // only b by reference
    EXPECT_EQ(a.str(), u"a");
    b = CValue::Long(2);
    object->InvokeWithRefs(u"Swap", script::kCallMethod, pair, 0b11);
    EXPECT_EQ(a.lng(), 2);
    EXPECT_EQ(b.str(), u"a");
    EXPECT_TRUE(object->HasMember(u"NOTE"));
    EXPECT_FALSE(object->HasMember(u"Nope"));
    EXPECT_FALSE(object->HasMember(u"Nope"));  // answered from the cache
}

TEST(ScriptEngineHostObjects, FailuresBecomeScriptErrorsWithTheObjectsTextOrTheLanguagesNumber) {
    HandHost host;
    auto object = WrapDispatch(&host);
    const script::ScriptError fail = Thrown([&] { object->Invoke(u"Fail", script::kCallMethod, {}); });
    EXPECT_EQ(fail.status, E_ACCESSDENIED);
    EXPECT_EQ(fail.description, u"not today");
    EXPECT_EQ(fail.source, u"HandHost");
    EXPECT_EQ(Thrown([&] { object->Invoke(u"Count", script::kCallMethod, {}); }).status, HRESULT(0x80070020));
    CValue one = CValue::Long(1), two = CValue::Long(2);
    CValue* both[] = {&one, &two};
    EXPECT_EQ(Thrown([&] { object->Invoke(u"Bump", script::kCallMethod, both); }).status,
              script::StatusOf(script::err::kArgCount));
    const script::ScriptError none =
        Thrown([&] { object->Invoke(u"NoSuchMember", script::kCallMethod, {}); });
    EXPECT_EQ(none.status, script::StatusOf(script::err::kNotSupported));
    EXPECT_NE(none.description.find(u"NoSuchMember"), std::u16string::npos);
    EXPECT_THROW(object->Enumerate(), script::ScriptError);  // no DISPID_NEWENUM
    EXPECT_EQ(object->TypeName(), u"Object");
}

TEST(ScriptEngineHostObjects, ScriptObjectsAnswerHostsThroughIDispatch) {
    HandHost host;
    auto object = WrapDispatch(&host);
    CValue twice = CValue::Obj(std::make_shared<TwiceObject>());
    CValue* keep[] = {&twice};
    object->Invoke(u"Keep", script::kCallMethod, keep);
    ASSERT_NE(host.kept, nullptr);

    // The host calls the script object with a variable of its own.
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"TWICE");
    ASSERT_EQ(host.kept->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    VARIANT variable = Var(VT_I4, 21);
    VARIANT byRef = Var(VT_BYREF | VT_VARIANT, LONGLONG(intptr_t(&variable)));
    DISPPARAMS params = {&byRef, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(host.kept->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.lVal, 21);
    EXPECT_EQ(variable.lVal, 42);
    // A failure inside the script object: an exception record, no throw.
    name = const_cast<LPOLESTR>(L"Boom");
    ASSERT_EQ(host.kept->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXCEPINFO ei = {};
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(host.kept->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &result, &ei, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(ei.scode, script::StatusOf(script::err::kDivisionByZero));
    EXPECT_STREQ(ei.bstrDescription, L"Division by zero");
    SysFreeString(ei.bstrSource);
    SysFreeString(ei.bstrDescription);
    name = const_cast<LPOLESTR>(L"Other");
    EXPECT_EQ(host.kept->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(host.kept->Invoke(77, IID_NULL, 0, DISPATCH_METHOD, &none, &result, &ei, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

// ---- Whole runs through the host ----------------------------------------------------

class TestSite : public CScript {
   public:
    HandHost hand;
    IDispatch* FindNamedObject(const wchar_t* name) override {
        return _wcsicmp(name, L"Hand") == 0 ? &hand : nullptr;
    }
    HRESULT AddNamedItems(IActiveScript* engine) override {
        uintptr_t begin = 1, end = 1;
        EngineExtent(engine, &begin, &end);
        extentEmpty = begin == 0 && end == 0;
        own = IsOwnScriptEngine(engine);
        return engine->AddNamedItem(L"Hand", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
    }
    bool extentEmpty = false;
    bool own = false;
};

std::wstring g_inputPrompt;
bool AnswerInput(HWND, const std::wstring& prompt, const std::wstring&, const std::wstring& initial,
                 std::wstring* answer) {
    g_inputPrompt = prompt;
    *answer = initial + L"!";
    return true;
}

class ScriptEngineRuns : public ::testing::Test {
   protected:
    void SetUp() override {
        static HMODULE language = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        ASSERT_NE(language, nullptr);
        shell::SetResourceModule(language);
        folder_ = testing_support::MakeTempFolder(L"own");
        ASSERT_FALSE(folder_.empty());
        Messages().clear();
        previous_ = SetScriptEngineChoice(kEngineOwn);
    }
    void TearDown() override {
        SetScriptEngineChoice(previous_);
        SetInputBoxHook(nullptr);
        Messages().clear();
    }
    void Write(const std::wstring& name, const std::string& text) {
        const size_t slash = name.find_last_of(L'\\');
        if (slash != std::wstring::npos) CreateDirectoryW((folder_ + name.substr(0, slash)).c_str(), nullptr);
        ASSERT_TRUE(testing_support::WriteFileText(folder_ + name, text));
    }
    // Runs a file through a site with "Hand"; notes_ gets what it noted.
    bool Run(const std::wstring& name, ScriptError* receiver = nullptr, const std::wstring& entry = L"",
             bool windowless = false) {
        auto* site = new TestSite;
        site->SetWindowless(windowless);
        const bool ok = CScriptHelper::RunFile(site, folder_ + name, entry, receiver);
        notes_ = site->hand.notes;
        own_ = site->own;
        lookups_ = site->hand.lookups;
        invokes_ = site->hand.invokes;
        extentEmpty_ = site->extentEmpty;
        site->Release();
        return ok;
    }
    bool RunText(const std::string& text, ScriptError* receiver = nullptr, bool windowless = false) {
        Write(L"t.vbs", text);
        return Run(L"t.vbs", receiver, L"", windowless);
    }

    std::wstring folder_;
    std::vector<std::wstring> notes_;
    bool own_ = false, extentEmpty_ = false;
    int lookups_ = 0, invokes_ = 0;
    int previous_ = 0;
};

TEST_F(ScriptEngineRuns, TheChoiceSaysWhichEngineRunsAndOursIsNeverStoppedFromOutside) {
    ASSERT_TRUE(RunText("Note \"x\"\r\n"));
    EXPECT_TRUE(own_);
    EXPECT_TRUE(extentEmpty_);
    SetScriptEngineChoice(kEngineSystemFirst);
    ASSERT_TRUE(RunText("Note \"x\"\r\n"));
    EXPECT_EQ(own_, !SystemScriptEngineAvailable());
    if (!own_) {
        EXPECT_FALSE(extentEmpty_);
    }
    EXPECT_EQ(SetScriptEngineChoice(7), kEngineSystemFirst);  // anything but 1 is 0
    EXPECT_EQ(ScriptEngineChoice(), kEngineSystemFirst);

    // Without the system's engine ours runs, and nobody is told of it.
    const wchar_t* previous = SetSystemEngineProgId(L"Morrowpad.NoSuchEngine");
    EXPECT_FALSE(SystemScriptEngineAvailable());
    const bool ran = RunText("Note \"fallback\"\r\n");
    SetSystemEngineProgId(previous);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(own_);
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"fallback"}));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ScriptEngineRuns, AnErrorIsReportedThroughTheSiteWithPathLineAndDescription) {
    ScriptError error;
    EXPECT_FALSE(RunText("Note \"one\"\r\n\r\n  x = 1 / 0\r\nNote \"never\"\r\n", &error));
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"one"}));
    EXPECT_EQ(error.message, kMsgScriptError);
    EXPECT_EQ(Lower(error.path), Lower(folder_ + L"t.vbs"));
    EXPECT_EQ(error.line, 3);
    EXPECT_EQ(error.scode, HRESULT(0x800A000Bu));
    EXPECT_EQ(error.description, L"Division by zero");
    EXPECT_TRUE(Messages().empty());

    // Without a receiver the user is told once.
    EXPECT_FALSE(RunText("Hand.Fail\r\n"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].text.find(L"not today"), std::wstring::npos) << Messages()[0].text;
    EXPECT_NE(Messages()[0].text.find(L"80070005"), std::wstring::npos) << Messages()[0].text;
}

TEST_F(ScriptEngineRuns, AnErrorInAnEntryFunctionNamesItsLine) {
    Write(L"e.vbs",
          "Note \"top\"\r\nSub Main\r\n Note \"main\"\r\nEnd Sub\r\nSub Bad\r\n x = 1 / 0\r\nEnd Sub\r\n");
    ScriptError error;
    EXPECT_FALSE(Run(L"e.vbs", &error, L"Bad"));
    EXPECT_EQ(error.line, 6);
    EXPECT_EQ(error.scode, HRESULT(0x800A000Bu));
}

// (By-reference arguments of host methods in scripts: conformance/host.vbs.)
TEST_F(ScriptEngineRuns, HostMethodsCallScriptObjectsBack) {
    ASSERT_TRUE(
        RunText("Class Counter\r\n Public n\r\n Function Add(k)\r\n  n = n + k : Add = n\r\n End Function\r\n"
                "End Class\r\n"
                "Set c = New Counter : c.n = 1\r\nKeep c\r\nNote CallKept(\"Add\", 5)\r\nNote c.n\r\n"))
        << (Messages().empty() ? std::string()
                               : std::string(Messages()[0].text.begin(), Messages()[0].text.end()));
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"6", L"6"}));

    // A procedure handed to the host as a callback (GetRef), called back
    // through its default member; a failure inside it comes back as an
    // error of the call that made the host call it.
    ScriptError error;
    EXPECT_FALSE(
        RunText("Function Twice(n)\r\n If n = 0 Then x = 1 / n\r\n Twice = n * 2\r\nEnd Function\r\n"
                "Keep GetRef(\"Twice\")\r\nNote CallDefault(21)\r\nNote CallDefault(0)\r\nNote \"never\"\r\n",
                &error));
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"42"}));
    EXPECT_EQ(error.scode, HRESULT(0x800A000Bu));
    EXPECT_EQ(error.line, 7);
}

TEST_F(ScriptEngineRuns, EachCallOfAHostMethodIsOneInvokeAndEachNameIsLookedUpOnce) {
    ASSERT_TRUE(
        RunText("For i = 1 To 500\r\n Note i\r\n Hand.Note \"x\"\r\nNext\r\n"
                "Set h = Hand\r\nFor i = 1 To 500\r\n h.Note i & vbCrLf\r\nNext\r\n"));
    EXPECT_EQ(notes_.size(), 1500u);
    EXPECT_EQ(invokes_, 1500);
    EXPECT_LE(lookups_, 5);  // each name once: Note, i, h, vbCrLf (the last three are no members)
}

TEST_F(ScriptEngineRuns, DeepRecursionEndsWithAnErrorNotACrash) {
    ScriptError error;
    EXPECT_FALSE(RunText("Function F(n)\r\n F = F(n + 1)\r\nEnd Function\r\nF 0\r\n", &error));
    EXPECT_EQ(error.message, kMsgScriptError);
    EXPECT_EQ(error.scode, HRESULT(0x800A001Cu));  // out of stack space
    // Also on a worker with the stack a syntax script gets.
    Write(L"deep.vbs", "Function F(n)\r\n F = F(n + 1)\r\nEnd Function\r\nF 0\r\n");
    std::vector<std::unique_ptr<CSyntaxParser>> parsers;
    EXPECT_FALSE(RunParserScript(folder_ + L"deep.vbs", parsers, &error));
    EXPECT_EQ(error.scode, HRESULT(0x800A001Cu));
}

TEST_F(ScriptEngineRuns, MessageBoxesGoToTheSinkAndAWindowlessSiteRefusesThem) {
    testing_support::Answers() = {IDNO};
    ASSERT_TRUE(RunText("r = MsgBox(\"Proceed?\", vbYesNo + vbQuestion, \"Asking\")\r\nNote r\r\n"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, L"Proceed?");
    EXPECT_EQ(Messages()[0].caption, L"Asking");
    EXPECT_EQ(Messages()[0].type, UINT(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"7"}));
    Messages().clear();

    SetInputBoxHook(&AnswerInput);
    ASSERT_TRUE(RunText("Note InputBox(\"Name?\", \"T\", \"abc\")\r\n"));
    EXPECT_EQ(g_inputPrompt, L"Name?");
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"abc!"}));

    ScriptError error;
    EXPECT_FALSE(RunText("MsgBox \"no window\"\r\n", &error, true));
    EXPECT_EQ(error.message, kMsgScriptError);
    EXPECT_EQ(error.line, 1);
    EXPECT_TRUE(Messages().empty());
}

// Answers the dialog titled `title` from another thread: types into its
// field and presses OK (or Cancel). Gives up after five seconds.
struct DialogAnswer {
    const wchar_t* title;
    const wchar_t* text;
    bool cancel;
    std::wstring prompt;  // what the dialog showed
    bool found = false;
};

DWORD WINAPI AnswerDialog(void* p) {
    auto* a = static_cast<DialogAnswer*>(p);
    for (int i = 0; i < 500; ++i, Sleep(10)) {
        HWND dialog = FindWindowW(L"#32770", a->title);
        if (!dialog || !IsWindowVisible(dialog)) continue;
        wchar_t prompt[256] = {};
        GetDlgItemTextW(dialog, 100, prompt, 256);
        a->prompt = prompt;
        SetDlgItemTextW(dialog, 101, a->text);
        a->found = true;
        PostMessageW(dialog, WM_COMMAND, a->cancel ? IDCANCEL : IDOK, 0);
        return 0;
    }
    return 0;
}

TEST_F(ScriptEngineRuns, TheInputBoxDialogShowsThePromptAndAnswersWhatWasTyped) {
    for (bool cancel : {false, true}) {
        DialogAnswer answer{L"Asking you", L"typed text", cancel};
        HANDLE helper = CreateThread(nullptr, 0, AnswerDialog, &answer, 0, nullptr);
        ASSERT_NE(helper, nullptr);
        const bool ok = RunText(
            "r = InputBox(\"Your name?\", \"Asking you\", \"first\")\r\n"
            "Note \"[\" & r & \"]\"\r\n");
        WaitForSingleObject(helper, 10000);
        CloseHandle(helper);
        ASSERT_TRUE(ok);
        EXPECT_TRUE(answer.found);
        EXPECT_EQ(answer.prompt, L"Your name?");
        EXPECT_EQ(notes_, (std::vector<std::wstring>{cancel ? L"[]" : L"[typed text]"}));
    }
}

// A macro-like run on a worker, stopped through the site from this thread.
struct Worker {
    TestSite* site;
    std::wstring path;
    bool ok = true;
};

DWORD WINAPI RunOnWorker(void* p) {
    auto* w = static_cast<Worker*>(p);
    ScriptError error;
    w->ok = CScriptHelper::RunFile(w->site, w->path, L"", &error);
    return 0;
}

TEST_F(ScriptEngineRuns, AScriptIsInterruptedFromAnotherThread) {
    Write(L"spin.vbs", "Note \"spinning\"\r\nOn Error Resume Next\r\nDo\r\n x = x + 1\r\nLoop\r\n");
    auto* site = new TestSite;
    site->SetWindowless(true);
    Worker w{site, folder_ + L"spin.vbs"};
    HANDLE thread = CreateThread(nullptr, 0, RunOnWorker, &w, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    for (int i = 0; i < 200 && !site->Interrupt(); ++i) Sleep(10);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);  // On Error Resume Next does not take it
    CloseHandle(thread);
    EXPECT_FALSE(w.ok);
    site->Release();
}

}  // namespace
