// The script language as scripts expect it: the checks of conformance/*.vbs
// (see engine/ConformanceChecks.h) run one by one through the program's own
// engine and, where it can be created and the file is not one for ours
// alone, the system's, both through the same site and the same host object.
// Our engine must give every expected result; where the system engine gives
// another, the difference is printed beside it (it is the reference users'
// scripts were written against, but under Wine it has gaps of its own).
// MORROWPAD_CONFORMANCE_SHOW=1 prints every check's results on both engines;
// MORROWPAD_CONFORMANCE_FILE=<path> runs that file's checks instead (for
// checks being written).
#include <gtest/gtest.h>
#include <dispex.h>
#include <oaidl.h>

#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "ConformanceChecks.h"
#include "EngineChoice.h"
#include "ScriptHost.h"
#include "TestSupport.h"
#include "Utf8.h"

using namespace syntax;

namespace {

// ---- The host's side: what arrives, as it arrives -------------------------

std::wstring TypeText(VARTYPE vt) {
    static const std::pair<VARTYPE, const wchar_t*> kNames[] = {
        {VT_EMPTY, L"VT_EMPTY"},     {VT_NULL, L"VT_NULL"},
        {VT_I2, L"VT_I2"},           {VT_I4, L"VT_I4"},
        {VT_R4, L"VT_R4"},           {VT_R8, L"VT_R8"},
        {VT_CY, L"VT_CY"},           {VT_DATE, L"VT_DATE"},
        {VT_BSTR, L"VT_BSTR"},       {VT_DISPATCH, L"VT_DISPATCH"},
        {VT_ERROR, L"VT_ERROR"},     {VT_BOOL, L"VT_BOOL"},
        {VT_VARIANT, L"VT_VARIANT"}, {VT_UNKNOWN, L"VT_UNKNOWN"},
        {VT_UI1, L"VT_UI1"},         {VT_DECIMAL, L"VT_DECIMAL"},
    };
    std::wstring s;
    if (vt & VT_ARRAY) s += L"VT_ARRAY|";
    if (vt & VT_BYREF) s += L"VT_BYREF|";
    const VARTYPE base = VARTYPE(vt & VT_TYPEMASK);
    for (const auto& [type, name] : kNames)
        if (type == base) return s + name;
    return s + std::to_wstring(base);
}

// "VT_BYREF|VT_VARIANT>VT_I2": the variant and, through a by-reference
// variant, the one it points at; ":null" for an array without a SAFEARRAY.
std::wstring Describe(const VARIANT& v) {
    std::wstring s = TypeText(v.vt);
    if (v.vt == (VT_BYREF | VT_VARIANT)) return v.pvarVal ? s + L">" + Describe(*v.pvarVal) : s + L">null";
    if ((v.vt & VT_ARRAY) && !((v.vt & VT_BYREF) ? (v.pparray ? *v.pparray : nullptr) : v.parray))
        s += L":null";
    return s;
}

// IUnknown over interface I, counted from 1, answering IUnknown and, for
// a dispatch interface, IDispatch.
template <class I>
class Counted : public I {
   public:
    virtual ~Counted() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) ||
            (!std::is_same_v<I, IUnknown> && IsEqualIID(riid, IID_IDispatch))) {
            *out = static_cast<I*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG n = --refs_;
        if (!n) delete this;
        return n;
    }

   private:
    ULONG refs_ = 1;
};

class OnlyUnknown final : public Counted<IUnknown> {};

// "Host", a named item with global members:
//   Note x          records x as text (Booleans as True and False)
//   Write a, b, ... records its arguments as text, joined by ","
//   VT(x)           what the call received (Describe)
//   SetArg x, v     writes v through a by-reference x
//   UnknownOnly     an object with only IUnknown
//   ExGet(o, name)  o's member read through IDispatchEx (GetDispID, InvokeEx)
//   SetFirst a, v   writes v into element 0 of a by-reference array, in place
class HostProbe final : public Counted<IDispatch> {
   public:
    std::vector<std::wstring> notes;

    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (size_t m = 0; m < std::size(kMembers); ++m)
                if (_wcsicmp(names[i], kMembers[m]) == 0) ids[i] = DISPID(m + 1);
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (result) VariantInit(result);
        VARIANT* args = p->rgvarg;  // last argument first
        const UINT n = p->cArgs;
        switch (id) {
            case 1:    // Note
            case 7: {  // Write
                if (id == 1 && n != 1) return DISP_E_BADPARAMCOUNT;
                std::wstring line;
                for (UINT i = n; i-- > 0;) {
                    VARIANT text;
                    VariantInit(&text);
                    if (FAILED(VariantChangeType(&text, &args[i], VARIANT_ALPHABOOL, VT_BSTR)))
                        return DISP_E_TYPEMISMATCH;
                    line +=
                        (i + 1 == n ? L"" : L",") + std::wstring(text.bstrVal, SysStringLen(text.bstrVal));
                    VariantClear(&text);
                }
                notes.push_back(line);
                return S_OK;
            }
            case 2:  // VT
                if (n != 1) return DISP_E_BADPARAMCOUNT;
                if (result) {
                    result->vt = VT_BSTR;
                    result->bstrVal = SysAllocString(Describe(args[0]).c_str());
                }
                return S_OK;
            case 3:  // SetArg
                if (n != 2) return DISP_E_BADPARAMCOUNT;
                if (args[1].vt == (VT_ARRAY | VT_BYREF | VT_VARIANT) && args[1].pparray) {
                    VARIANT array;  // a new SAFEARRAY for the array variable
                    VariantInit(&array);
                    if (FAILED(VariantCopyInd(&array, &args[0])) || !(array.vt & VT_ARRAY)) {
                        VariantClear(&array);
                        return DISP_E_TYPEMISMATCH;
                    }
                    if (*args[1].pparray) SafeArrayDestroy(*args[1].pparray);
                    *args[1].pparray = array.parray;
                    return S_OK;
                }
                if (args[1].vt != (VT_BYREF | VT_VARIANT)) return S_OK;  // by value: nothing to write
                return VariantCopyInd(args[1].pvarVal, &args[0]);
            case 4:  // UnknownOnly
                if (result) {
                    result->vt = VT_UNKNOWN;
                    result->punkVal = new OnlyUnknown;
                }
                return S_OK;
            case 5: {  // ExGet
                if (n != 2) return DISP_E_BADPARAMCOUNT;
                VARIANT object, name;
                VariantInit(&object);
                VariantInit(&name);
                if (FAILED(VariantCopyInd(&object, &args[1])) || object.vt != VT_DISPATCH ||
                    !object.pdispVal || FAILED(VariantChangeType(&name, &args[0], 0, VT_BSTR))) {
                    VariantClear(&object);
                    return DISP_E_TYPEMISMATCH;
                }
                // IDispatchEx's interface id (the import library lacks it).
                static const GUID kIid = {
                    0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};
                IDispatchEx* ex = nullptr;
                HRESULT hr = object.pdispVal->QueryInterface(kIid, reinterpret_cast<void**>(&ex));
                DISPID member = DISPID_UNKNOWN;
                if (SUCCEEDED(hr)) hr = ex->GetDispID(name.bstrVal, fdexNameCaseInsensitive, &member);
                DISPPARAMS none = {nullptr, nullptr, 0, 0};
                if (SUCCEEDED(hr))
                    hr = ex->InvokeEx(member, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result,
                                      nullptr, nullptr);
                if (ex) ex->Release();
                VariantClear(&object);
                VariantClear(&name);
                return hr;
            }
            case 6: {  // SetFirst
                if (n != 2) return DISP_E_BADPARAMCOUNT;
                if (args[1].vt != (VT_ARRAY | VT_BYREF | VT_VARIANT) || !args[1].pparray || !*args[1].pparray)
                    return DISP_E_TYPEMISMATCH;
                LONG first = 0;
                VARIANT value;
                VariantInit(&value);
                HRESULT hr = VariantCopyInd(&value, &args[0]);
                if (SUCCEEDED(hr)) hr = SafeArrayPutElement(*args[1].pparray, &first, &value);
                VariantClear(&value);
                return hr;
            }
            default: return DISP_E_MEMBERNOTFOUND;
        }
    }

   private:
    static constexpr const wchar_t* kMembers[] = {L"Note",  L"VT",       L"SetArg", L"UnknownOnly",
                                                  L"ExGet", L"SetFirst", L"Write"};
};

class HostSite : public CScript {
   public:
    HostSite() : probe_(new HostProbe) { SetWindowless(true); }
    ~HostSite() override { probe_->Release(); }
    IDispatch* FindNamedObject(const wchar_t* name) override {
        return _wcsicmp(name, L"Host") == 0 ? probe_ : nullptr;
    }
    HRESULT AddNamedItems(IActiveScript* engine) override {
        return engine->AddNamedItem(L"Host", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
    }
    const std::vector<std::wstring>& Notes() const { return probe_->notes; }

   private:
    HostProbe* probe_;
};

// ---- Checks ----------------------------------------------------------------

conformance::Outcome RunOn(int choice, const std::string& body) {
    testing_support::EngineChoiceScope scope(choice);
    auto* site = new HostSite;
    site->SetScriptPath(L"conformance.vbs");
    const std::wstring text = Wide(body + conformance::kShow);
    BSTR source = SysAllocStringLen(text.data(), UINT(text.size()));
    ScriptError error;
    conformance::Outcome o;
    o.failed = !CScriptHelper::RunText(site, source, L"", &error);
    SysFreeString(source);
    for (const auto& n : site->Notes()) o.notes.push_back(Narrow(n));
    const unsigned scode = unsigned(error.scode);
    o.number = (scode & 0xFFFF0000u) == 0x800A0000u ? scode & 0xFFFFu : scode;
    o.line = error.line;
    o.column = error.column;
    o.description = Narrow(error.description);
    site->Release();
    return o;
}

class Conformance : public testing::TestWithParam<std::string> {
   protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
};

TEST_P(Conformance, EveryCheckAsExpected) {
    const char* trial = std::getenv("MORROWPAD_CONFORMANCE_FILE");  // checks being written
    if (trial && GetParam() != "language.vbs") GTEST_SKIP();
    const std::string path = trial ? std::string(trial) : std::string(CONFORMANCE_DIR) + "/" + GetParam();
    const conformance::File file = conformance::ReadChecks(conformance::ReadText(path));
    ASSERT_FALSE(file.checks.empty()) << "no checks in " << path;
    const bool system = !file.ownOnly && SystemScriptEngineAvailable();
    const bool show = std::getenv("MORROWPAD_CONFORMANCE_SHOW") != nullptr;
    int ours = 0, theirs = 0;
    std::string differences;
    for (const conformance::Check& check : file.checks) {
        const std::string own = conformance::Text(RunOn(kEngineOwn, check.body), check.expected);
        ours += own == check.expected;
        EXPECT_EQ(own, check.expected) << GetParam() << ":" << check.line << ": " << check.name;
        const std::string sys =
            system ? conformance::Text(RunOn(kEngineSystemFirst, check.body), check.expected) : "";
        if (system && sys == check.expected)
            ++theirs;
        else if (system)
            differences += "  " + std::to_string(check.line) + ": " + check.name + "\n    expected " +
                           check.expected + "\n    system   " + sys + "\n";
        if (show)
            std::printf("%d: %s\n  own    %s\n  system %s\n", check.line, check.name.c_str(), own.c_str(),
                        sys.c_str());
    }
    std::printf("%s: %zu checks; our engine gives %d as expected", GetParam().c_str(), file.checks.size(),
                ours);
    if (system) std::printf(", the system engine %d", theirs);
    std::printf("\n");
    if (!differences.empty()) std::printf("where the system engine differs:\n%s", differences.c_str());
}

INSTANTIATE_TEST_SUITE_P(Files, Conformance, testing::ValuesIn(conformance::FileNames(CONFORMANCE_DIR)),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return conformance::TestName(info.param);
                         });

}  // namespace
