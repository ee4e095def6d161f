// The script language as scripts expect it: the checks in conformance/*.vbs
// (one file per area) run one by one through the program's own engine and,
// where it can be created, the system's, both through the same site and the
// same host object. Our engine must give every expected result; where the
// system engine gives another, the difference is printed beside it (it is
// the reference users' scripts were written against, but under Wine it has
// gaps of its own).
//
// A check is either one line, an expression and what S() makes of it:
//     2 => 1 ==> Boolean:True
// or a block of statements and the notes they leave, joined by " | ":
//     '@ name
//     If True Then Note 1 End If
//     '=> 1
// An expected "#13" is a run-time or compile error with that number,
// after the notes before it; "#13@4" also names its line. MORROWPAD_CONFORMANCE_SHOW=1 prints every
// check's results on both engines; MORROWPAD_CONFORMANCE_FILE=<path> runs
// that file's checks instead (for checks being written).
#include <gtest/gtest.h>
#include <dispex.h>
#include <oaidl.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "EngineChoice.h"
#include "ScriptHost.h"
#include "TestSupport.h"

using namespace syntax;

namespace {

std::wstring Wide(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
    return w;
}

std::string Narrow(const std::wstring& w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// ---- The host's side: what arrives, as it arrives -------------------------

std::wstring TypeText(VARTYPE vt) {
    static const std::pair<VARTYPE, const wchar_t*> kNames[] = {
        {VT_EMPTY, L"VT_EMPTY"}, {VT_NULL, L"VT_NULL"},       {VT_I2, L"VT_I2"},         {VT_I4, L"VT_I4"},
        {VT_R4, L"VT_R4"},       {VT_R8, L"VT_R8"},           {VT_CY, L"VT_CY"},         {VT_DATE, L"VT_DATE"},
        {VT_BSTR, L"VT_BSTR"},   {VT_DISPATCH, L"VT_DISPATCH"}, {VT_ERROR, L"VT_ERROR"}, {VT_BOOL, L"VT_BOOL"},
        {VT_VARIANT, L"VT_VARIANT"}, {VT_UNKNOWN, L"VT_UNKNOWN"}, {VT_UI1, L"VT_UI1"},   {VT_DECIMAL, L"VT_DECIMAL"},
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
    if ((v.vt & VT_ARRAY) && !((v.vt & VT_BYREF) ? (v.pparray ? *v.pparray : nullptr) : v.parray)) s += L":null";
    return s;
}

// IUnknown over interface I, counted from 1, answering IUnknown and, for
// a dispatch interface, IDispatch.
template <class I>
class Counted : public I {
   public:
    virtual ~Counted() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || (!std::is_same_v<I, IUnknown> && IsEqualIID(riid, IID_IDispatch))) {
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
//   Note x          records CStr(x)
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
            case 1: {  // Note
                if (n != 1) return DISP_E_BADPARAMCOUNT;
                VARIANT text;
                VariantInit(&text);
                if (FAILED(VariantChangeType(&text, &args[0], 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
                notes.emplace_back(text.bstrVal, SysStringLen(text.bstrVal));
                VariantClear(&text);
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
                if (FAILED(VariantCopyInd(&object, &args[1])) || object.vt != VT_DISPATCH || !object.pdispVal ||
                    FAILED(VariantChangeType(&name, &args[0], 0, VT_BSTR))) {
                    VariantClear(&object);
                    return DISP_E_TYPEMISMATCH;
                }
                // IDispatchEx's interface id (the import library lacks it).
                static const GUID kIid = {0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};
                IDispatchEx* ex = nullptr;
                HRESULT hr = object.pdispVal->QueryInterface(kIid, reinterpret_cast<void**>(&ex));
                DISPID member = DISPID_UNKNOWN;
                if (SUCCEEDED(hr)) hr = ex->GetDispID(name.bstrVal, fdexNameCaseInsensitive, &member);
                DISPPARAMS none = {nullptr, nullptr, 0, 0};
                if (SUCCEEDED(hr))
                    hr = ex->InvokeEx(member, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result, nullptr,
                                      nullptr);
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
    static constexpr const wchar_t* kMembers[] = {L"Note", L"VT", L"SetArg", L"UnknownOnly", L"ExGet", L"SetFirst"};
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

// Describes a value as "Type:text"; after the check, so that the check's own
// lines count from 1.
const wchar_t kShow[] =
    L"\nFunction S(v)\n"
    L"  If IsArray(v) Then\n"
    L"    S = \"Array:\" & LBound(v) & \"..\" & UBound(v)\n"
    L"  ElseIf IsObject(v) Then\n"
    L"    If v Is Nothing Then S = \"Nothing\" Else S = \"Object:\" & TypeName(v)\n"
    L"  ElseIf IsNull(v) Then\n"
    L"    S = \"Null\"\n"
    L"  ElseIf IsEmpty(v) Then\n"
    L"    S = \"Empty\"\n"
    L"  Else\n"
    L"    S = TypeName(v) & \":\" & CStr(v)\n"
    L"  End If\n"
    L"End Function\n";

struct Check {
    std::wstring name;
    std::wstring body;
    std::wstring expected;
    int line = 0;  // in the file
};

std::wstring Trimmed(const std::wstring& s) {
    const size_t b = s.find_first_not_of(L" \t\r");
    if (b == std::wstring::npos) return L"";
    return s.substr(b, s.find_last_not_of(L" \t\r") - b + 1);
}

std::vector<Check> ReadChecks(const std::wstring& text) {
    std::vector<Check> checks;
    std::wistringstream in(text);
    std::wstring raw;
    int number = 0;
    Check* block = nullptr;
    while (std::getline(in, raw)) {
        ++number;
        const std::wstring line = Trimmed(raw);
        if (block) {
            if (line.rfind(L"'=>", 0) == 0) {
                block->expected = Trimmed(line.substr(3));
                block = nullptr;
            } else {
                block->body += raw + L"\n";
            }
            continue;
        }
        if (line.rfind(L"'@", 0) == 0) {
            block = &checks.emplace_back(Check{Trimmed(line.substr(2)), L"", L"", number});
            continue;
        }
        if (line.empty() || line[0] == L'\'') continue;
        const size_t arrow = line.rfind(L" ==> ");
        if (arrow == std::wstring::npos) {
            checks.push_back(Check{line, L"", L"(no ==> in this line)", number});
            continue;
        }
        const std::wstring expr = Trimmed(line.substr(0, arrow));
        checks.push_back(Check{expr, L"Note S(" + expr + L")\n", Trimmed(line.substr(arrow + 5)), number});
    }
    return checks;
}

// An expected error without "@line" matches at any line.
std::wstring AsExpected(std::wstring result, const std::wstring& expected) {
    if (expected.find(L'@') != std::wstring::npos) return result;
    const size_t at = result.rfind(L'@');
    if (at != std::wstring::npos && result.find(L'#') != std::wstring::npos) result.erase(at);
    return result;
}

std::wstring RunOn(int choice, const std::wstring& body) {
    testing_support::EngineChoiceScope scope(choice);
    auto* site = new HostSite;
    site->SetScriptPath(L"conformance.vbs");
    const std::wstring text = body + kShow;
    BSTR source = SysAllocStringLen(text.data(), UINT(text.size()));
    ScriptError error;
    const bool ok = CScriptHelper::RunText(site, source, L"", &error);
    SysFreeString(source);
    std::wstring out;
    for (const auto& n : site->Notes()) out += (out.empty() ? L"" : L" | ") + n;
    if (!ok) {
        const unsigned scode = unsigned(error.scode);
        const unsigned number = (scode & 0xFFFF0000u) == 0x800A0000u ? scode & 0xFFFFu : scode;
        out += (out.empty() ? L"#" : L" | #") + std::to_wstring(number) + L"@" + std::to_wstring(error.line);
    }
    site->Release();
    return out;
}

class Conformance : public testing::TestWithParam<const char*> {
   protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
};

TEST_P(Conformance, EveryCheckAsExpected) {
    const char* trial = std::getenv("MORROWPAD_CONFORMANCE_FILE");  // checks being written
    if (trial && std::string(GetParam()) != "language.vbs") GTEST_SKIP();
    const std::string path = trial ? std::string(trial) : std::string(CONFORMANCE_DIR) + "/" + GetParam();
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << "cannot read " << path;
    std::stringstream bytes;
    bytes << file.rdbuf();
    const std::vector<Check> checks = ReadChecks(Wide(bytes.str()));
    ASSERT_FALSE(checks.empty()) << path;
    const bool system = SystemScriptEngineAvailable();
    const bool show = std::getenv("MORROWPAD_CONFORMANCE_SHOW") != nullptr;
    int ours = 0, theirs = 0;
    std::string differences;
    for (const Check& check : checks) {
        const std::wstring own = AsExpected(RunOn(kEngineOwn, check.body), check.expected);
        if (own == check.expected) ++ours;
        EXPECT_EQ(Narrow(check.expected), Narrow(own)) << GetParam() << ":" << check.line << ": " << Narrow(check.name);
        if (!system) continue;
        const std::wstring sys = AsExpected(RunOn(kEngineSystemFirst, check.body), check.expected);
        if (sys == check.expected) ++theirs;
        else differences += "  " + std::to_string(check.line) + ": " + Narrow(check.name) + "\n    expected " +
                            Narrow(check.expected) + "\n    system   " + Narrow(sys) + "\n";
        if (show)
            std::printf("%d: %s\n  own    %s\n  system %s\n", check.line, Narrow(check.name).c_str(),
                        Narrow(own).c_str(), Narrow(sys).c_str());
    }
    std::printf("%s: %zu checks; our engine gives %d as expected", GetParam(), checks.size(), ours);
    if (system) std::printf(", the system engine %d", theirs);
    std::printf("\n");
    if (!differences.empty()) std::printf("where the system engine differs:\n%s", differences.c_str());
}

INSTANTIATE_TEST_SUITE_P(Areas, Conformance,
                         testing::Values("language.vbs", "library.vbs", "errors.vbs", "regexp.vbs", "host.vbs"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

}  // namespace
