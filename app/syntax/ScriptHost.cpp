// IActiveScriptParse's identifier is not in libuuid: define the engine's
// GUIDs here, before anything includes <activscp.h>.
// clang-format off
#include <windows.h>
#include <initguid.h>
#include <activscp.h>
#include <cguid.h>
// clang-format on

#include "ScriptHost.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "MessageSink.h"
#include "Owners.h"
#include "Paths.h"
#include "Resources.h"
#include "ScriptEngine.h"

namespace syntax {

// ---- IDispDynImpl -----------------------------------------------------------------

namespace {

constexpr int kMaxIncludeDepth = 16;


DISPID IdOf(const DispEntry* table, int index) {
    return table[index].id == kDispByPosition ? DISPID(index + 1) : table[index].id;
}

// The index of the entry with `id`, or -1. Put accessors are reached only
// through the entry they follow.
int FindEntry(const DispEntry* table, DISPID id) {
    for (int i = 0; table[i].call; ++i)
        if (table[i].id != kDispPutAccessor && IdOf(table, i) == id) return i;
    return -1;
}

VARTYPE ParamType(const DispEntry& e, int i) {
    return e.params ? e.params[i] : (i < kDispInlineParams ? e.inlineParams[i] : VARTYPE(VT_EMPTY));
}

HRESULT InvokeEntry(IDispDynImpl* self, const DispEntry& e, const DISPPARAMS& params, VARIANT* result,
                    UINT* argError) {
    if (int(params.cArgs) != e.paramCount) return DISP_E_BADPARAMCOUNT;
    if (e.paramCount && !params.rgvarg) return E_INVALIDARG;
    std::vector<VARIANT> args(size_t(e.paramCount) + 1);  // never empty
    for (VARIANT& v : args) VariantInit(&v);
    HRESULT hr = S_OK;
    for (int i = 0; i < e.paramCount && SUCCEEDED(hr); ++i) {
        VARIANT& source = params.rgvarg[e.paramCount - 1 - i];  // last-first
        const VARTYPE type = ParamType(e, i);
        if (FAILED(VariantCopyInd(&args[i], &source)) ||
            (type != VT_VARIANT && FAILED(VariantChangeType(&args[i], &args[i], 0, type)))) {
            hr = DISP_E_TYPEMISMATCH;
            if (argError) *argError = UINT(e.paramCount - 1 - i);
        }
    }
    if (SUCCEEDED(hr)) {
        VARIANT discarded;
        VariantInit(&discarded);
        VARIANT* out = result ? result : &discarded;
        VariantInit(out);
        hr = e.call(self, args.data(), out);
        VariantClear(&discarded);
    }
    for (VARIANT& v : args) VariantClear(&v);
    return hr;
}

}  // namespace

STDMETHODIMP IDispDynImpl::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP IDispDynImpl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP IDispDynImpl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP IDispDynImpl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count == 0) return S_OK;
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT n = 0; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        for (int i = 0; names[n] && table_[i].call; ++i) {
            if (table_[i].id == kDispPutAccessor || !table_[i].name) continue;
            if (_wcsicmp(names[n], table_[i].name) == 0) {
                ids[n] = IdOf(table_, i);
                break;
            }
        }
        if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP IDispDynImpl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO*, UINT* argError) {
    try {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        const DISPPARAMS& p = params ? *params : none;
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        if (p.cNamedArgs && !put) return DISP_E_NONAMEDARGS;
        int index = FindEntry(table_, id);
        if (index < 0) return DISP_E_MEMBERNOTFOUND;
        if (put && table_[index + 1].call && table_[index + 1].id == kDispPutAccessor) ++index;
        return InvokeEntry(this, table_[index], p, result, argError);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// ---- Errors -------------------------------------------------------------------

void ReportScriptError(const ScriptError& error, HWND owner) {
    switch (error.message) {
        case 0: return;
        case kMsgCannotOpen:
            shell::ShowMessage(owner, shell::FormatLanguageString(kMsgCannotOpen, {error.path}).c_str(),
                               MB_OK | MB_ICONERROR);
            return;
        case kMsgScriptError: {
            wchar_t code[16];
            swprintf(code, 16, L"%08X", unsigned(error.scode));
            const std::wstring text = shell::FormatLanguageString(
                kMsgScriptError,
                {error.path, error.source, code, error.description, std::to_wstring(error.line)});
            shell::ShowMessage(owner, text.c_str(), MB_OK | MB_ICONWARNING);
            return;
        }
        case kMsgTimeLimit: {
            const std::wstring text =
                shell::FormatLanguageString(kMsgTimeLimit, {error.path, std::to_wstring(error.seconds)});
            shell::ShowMessage(owner, text.c_str(), MB_OK | MB_ICONWARNING);
            return;
        }
        default:
            shell::ShowMessage(owner, shell::LanguageString(error.message).c_str(), MB_OK | MB_ICONERROR);
            return;
    }
}

// ---- Stopping a script thread ----------------------------------------------------

void ModuleExtent(const void* code, uintptr_t* begin, uintptr_t* end) {
    MEMORY_BASIC_INFORMATION mbi;
    if (!VirtualQuery(code, &mbi, sizeof mbi) || !mbi.AllocationBase) return;
    const auto* dos = static_cast<const IMAGE_DOS_HEADER*>(mbi.AllocationBase);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    const auto* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(dos) + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return;
    *begin = reinterpret_cast<uintptr_t>(dos);
    *end = *begin + nt->OptionalHeader.SizeOfImage;
}

void EngineExtent(IActiveScript* engine, uintptr_t* begin, uintptr_t* end) {
    // Our own engine lives in the program's module, where a thread ended
    // from outside could hold any lock: it gets no extent, and stops when
    // asked instead.
    if (IsOwnScriptEngine(engine)) {
        *begin = *end = 0;
        return;
    }
    if (engine) ModuleExtent(*reinterpret_cast<void**>(engine), begin, end);
}

// ---- Choosing the engine ----------------------------------------------------------

namespace {
std::atomic<int> g_engineChoice{kEngineSystemFirst};
const wchar_t* g_systemProgId = L"VBScript";
}  // namespace

const wchar_t* SetSystemEngineProgId(const wchar_t* progId) {
    const wchar_t* previous = g_systemProgId;
    g_systemProgId = progId ? progId : L"VBScript";
    return previous;
}

int SetScriptEngineChoice(int choice) {
    return g_engineChoice.exchange(choice == kEngineOwn ? kEngineOwn : kEngineSystemFirst);
}

int ScriptEngineChoice() { return g_engineChoice.load(); }

IActiveScript* CreateScriptEngine(int choice) {
    IActiveScript* engine = nullptr;
    CLSID clsid;
    if (choice != kEngineOwn && SUCCEEDED(CLSIDFromProgID(g_systemProgId, &clsid)) &&
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IActiveScript, reinterpret_cast<void**>(&engine))))
        engine = nullptr;
    return engine ? engine : CreateOwnScriptEngine();
}

bool SystemScriptEngineAvailable() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    auto engine = shell::ComPtrT<IActiveScript>::Attach(CreateScriptEngine(kEngineSystemFirst));
    const bool system = engine && !IsOwnScriptEngine(engine.get());
    engine.reset();  // before COM goes
    if (SUCCEEDED(com)) CoUninitialize();
    return system;
}

ThreadStop StopThreadInModule(HANDLE thread, uintptr_t begin, uintptr_t end) {
    if (SuspendThread(thread) == DWORD(-1))
        return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 ? ThreadStop::kEnded : ThreadStop::kFailed;
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL;
    if (GetThreadContext(thread, &context)) {
#ifdef _WIN64
        const uintptr_t pc = context.Rip;
#else
        const uintptr_t pc = context.Eip;
#endif
        if (begin && pc >= begin && pc < end && TerminateThread(thread, 1)) {
            WaitForSingleObject(thread, 2000);
            return ThreadStop::kStopped;
        }
    }
    ResumeThread(thread);
    return ThreadStop::kElsewhere;
}

// ---- Reading script files -------------------------------------------------------

bool ReadScriptFile(const std::wstring& path, std::wstring* text) {
    shell::CUniqueHandle f(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return false;
    std::string bytes;
    char buf[16384];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(f.get(), buf, sizeof buf, &got, nullptr) != 0) && got) bytes.append(buf, got);
    f.reset();
    if (!ok) return false;
    text->clear();
    if (bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) {
        text->assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
        return true;
    }
    UINT codePage = CP_ACP;
    size_t start = 0;
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) codePage = CP_UTF8, start = 3;
    const int n = int(bytes.size() - start);
    if (n == 0) return true;
    const int units = MultiByteToWideChar(codePage, 0, bytes.data() + start, n, nullptr, 0);
    text->resize(size_t(units));
    MultiByteToWideChar(codePage, 0, bytes.data() + start, n, text->data(), units);
    return true;
}


namespace {

// "C:\x", "\x" and "\\server\x" are not relative to anything.
bool IsRelative(const std::wstring& path) {
    if (!path.empty() && (path[0] == L'\\' || path[0] == L'/')) return false;
    return !(path.size() >= 2 && path[1] == L':');
}

std::wstring CurrentDirectory() {
    std::wstring dir(GetCurrentDirectoryW(0, nullptr), L'\0');
    dir.resize(GetCurrentDirectoryW(DWORD(dir.size()), dir.data()));
    return dir;
}

// Makes the script's folder current for the life of the object.
class CFolderSwitch {
   public:
    explicit CFolderSwitch(const std::wstring& file) : saved_(CurrentDirectory()) {
        const std::wstring folder = shell::FolderWithSeparator(file);
        if (!folder.empty()) SetCurrentDirectoryW(folder.c_str());
    }
    ~CFolderSwitch() { SetCurrentDirectoryW(saved_.c_str()); }
    CFolderSwitch(const CFolderSwitch&) = delete;
    CFolderSwitch& operator=(const CFolderSwitch&) = delete;

   private:
    std::wstring saved_;
};

std::wstring TakeBstr(BSTR& s) {
    std::wstring out = s ? std::wstring(s, SysStringLen(s)) : std::wstring();
    SysFreeString(s);
    s = nullptr;
    return out;
}

void Fail(CScript* site, ScriptError* receiver, UINT message, const std::wstring& path) {
    ScriptError e;
    e.message = message;
    e.path = path;
    if (receiver) {
        if (!receiver->message) *receiver = e;
    } else {
        ReportScriptError(e, site->Window());
    }
}

// Text for an error the engine gave no description of: compile errors come
// as E_FAIL under some engines, other codes have the system's text.
std::wstring DescriptionOf(HRESULT scode) {
    if (scode == E_FAIL) return shell::LanguageString(kMsgSyntaxError);
    wchar_t* buf = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        DWORD(scode), 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::wstring text = n && buf ? std::wstring(buf, n) : std::wstring();
    if (buf) LocalFree(buf);
    while (!text.empty() && iswspace(text.back())) text.pop_back();
    return text;
}

}  // namespace

// ---- CScriptHelper --------------------------------------------------------------

namespace {

const DispEntry kHelperTable[] = {
    DispMethod<&CScriptHelper::Include>(L"Include"),
    DispEnd(),
};

}  // namespace

CScriptHelper::CScriptHelper(CScript* site) : IDispDynImpl(kHelperTable), site_(site) {}

STDMETHODIMP_(ULONG) CScriptHelper::AddRef() { return site_->AddRef(); }
STDMETHODIMP_(ULONG) CScriptHelper::Release() { return site_->Release(); }

HRESULT CScriptHelper::Include(BSTR path, VARIANT_BOOL* ok) {
    *ok = VARIANT_FALSE;
    IActiveScript* engine = site_->engine_;
    if (!engine || !path || !*path) return S_OK;
    // A file that includes itself, directly or through others, would run
    // until the stack overflows.
    if (site_->includeDepth_ >= kMaxIncludeDepth) return HRESULT_FROM_WIN32(ERROR_STACK_OVERFLOW);
    std::wstring file(path, SysStringLen(path));
    if (IsRelative(file)) file = shell::FolderWithSeparator(site_->scriptPath_) + file;
    file = shell::FullPath(file);
    std::wstring text;
    if (!ReadScriptFile(file, &text)) return S_OK;

    shell::ComPtrT<IActiveScriptParse> parse;
    if (FAILED(engine->QueryInterface(IID_IActiveScriptParse, parse.put_void()))) return S_OK;
    BSTR source = SysAllocStringLen(text.data(), UINT(text.size()));
    const std::wstring savedPath = site_->scriptPath_;
    const int errorsBefore = site_->errors_;
    HRESULT hr;
    {
        site_->scriptPath_ = file;
        CFolderSwitch folder(file);
        EXCEPINFO exception = {};
        ++site_->includeDepth_;
        hr = parse->ParseScriptText(source, nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &exception);
        --site_->includeDepth_;
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    site_->scriptPath_ = savedPath;
    SysFreeString(source);
    parse.reset();
    *ok = SUCCEEDED(hr) ? VARIANT_TRUE : VARIANT_FALSE;
    // An error inside the included file was reported already: stop the
    // including script too (its own report is not shown again).
    return site_->errors_ != errorsBefore ? E_ABORT : S_OK;
}

bool CScriptHelper::RunFile(CScript* site, const std::wstring& path, const std::wstring& entry,
                            ScriptError* receiver) {
    const std::wstring file = shell::FullPath(path);
    std::wstring text;
    if (!ReadScriptFile(file, &text)) {
        Fail(site, receiver, kMsgCannotOpen, path);
        return false;
    }
    const std::wstring savedPath = site->scriptPath_;
    site->scriptPath_ = file;
    bool ok;
    {
        CFolderSwitch folder(file);
        BSTR source = SysAllocStringLen(text.data(), UINT(text.size()));
        ok = source && RunText(site, source, entry, receiver);
        SysFreeString(source);
    }
    site->scriptPath_ = savedPath;
    return ok;
}

bool CScriptHelper::RunText(CScript* site, BSTR text, const std::wstring& entry, ScriptError* receiver) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    auto engine = shell::ComPtrT<IActiveScript>::Attach(CreateScriptEngine(ScriptEngineChoice()));
    shell::ComPtrT<IActiveScriptParse> parse;
    if (!engine) {
        Fail(site, receiver, kMsgNoEngine, site->scriptPath_);
        if (SUCCEEDED(com)) CoUninitialize();
        return false;
    }
    const int errorsBefore = site->errors_;
    ScriptError* savedReceiver = site->receiver_;
    HRESULT hr = engine->SetScriptSite(site);
    if (SUCCEEDED(hr)) hr = engine->QueryInterface(IID_IActiveScriptParse, parse.put_void());
    if (SUCCEEDED(hr)) hr = parse->InitNew();
    const DWORD flags = SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS;
    if (SUCCEEDED(hr)) hr = engine->AddNamedItem(L"Helper", flags);
    if (SUCCEEDED(hr)) hr = site->AddNamedItems(engine.get());
    if (SUCCEEDED(hr)) {
        site->receiver_ = receiver;
        site->SetEngine(engine.get());
        hr = engine->SetScriptState(SCRIPTSTATE_STARTED);
    }
    if (SUCCEEDED(hr)) {
        EXCEPINFO exception = {};
        hr = parse->ParseScriptText(text, nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &exception);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    if (SUCCEEDED(hr) && !entry.empty() && site->errors_ == errorsBefore) {
        shell::ComPtrT<IDispatch> script;
        hr = engine->GetScriptDispatch(nullptr, script.put());
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR name = const_cast<LPOLESTR>(entry.c_str());
        if (SUCCEEDED(hr)) hr = script->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        if (SUCCEEDED(hr)) {
            DISPPARAMS none = {nullptr, nullptr, 0, 0};
            VARIANT result;
            VariantInit(&result);
            EXCEPINFO exception = {};
            hr = script->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result,
                                &exception, nullptr);
            VariantClear(&result);
            SysFreeString(exception.bstrSource);
            SysFreeString(exception.bstrDescription);
            SysFreeString(exception.bstrHelpFile);
        }
    }
    engine->Close();
    site->SetEngine(nullptr);
    site->receiver_ = savedReceiver;
    site->running_ = false;
    parse.reset();
    engine.reset();  // before COM goes
    if (SUCCEEDED(com)) CoUninitialize();
    return SUCCEEDED(hr) && site->errors_ == errorsBefore;
}

// ---- CScript ----------------------------------------------------------------------

CScript::CScript() : window_(GetActiveWindow()), helper_(this) { InitializeCriticalSection(&engineLock_); }

CScript::~CScript() { DeleteCriticalSection(&engineLock_); }

STDMETHODIMP CScript::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScriptSite))
        *object = static_cast<IActiveScriptSite*>(this);
    else if (IsEqualIID(riid, IID_IActiveScriptSiteWindow))
        *object = static_cast<IActiveScriptSiteWindow*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CScript::AddRef() { return ULONG(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) CScript::Release() {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return ULONG(n);
}

STDMETHODIMP CScript::GetLCID(LCID*) { return E_NOTIMPL; }

STDMETHODIMP CScript::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) {
    try {
        if ((mask & SCRIPTINFO_ITYPEINFO) && info) *info = nullptr;
        if (!(mask & SCRIPTINFO_IUNKNOWN)) return E_FAIL;
        if (!item) return E_POINTER;
        *item = nullptr;
        if (!name) return E_FAIL;
        IDispatch* object = _wcsicmp(name, L"Helper") == 0 ? &helper_ : FindNamedObject(name);
        if (!object) return E_FAIL;
        object->AddRef();
        *item = object;
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP CScript::GetDocVersionString(BSTR* version) {
    if (!version) return E_POINTER;
    *version = SysAllocString(L"1.0.0.1");
    return *version ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CScript::OnScriptTerminate(const VARIANT*, const EXCEPINFO*) { return S_OK; }
STDMETHODIMP CScript::OnStateChange(SCRIPTSTATE) { return S_OK; }

STDMETHODIMP CScript::OnScriptError(IActiveScriptError* error) {
    try {
        // Only the first error of a run is told: the ones after it follow
        // from stopping the script.
        if (++errors_ == 1 && error) {
            EXCEPINFO ei = {};
            error->GetExceptionInfo(&ei);
            if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
            DWORD context = 0;
            ULONG line = 0;
            LONG column = 0;
            const bool located = SUCCEEDED(error->GetSourcePosition(&context, &line, &column));
            ScriptError e;
            e.message = kMsgScriptError;
            e.path = scriptPath_;
            e.source = TakeBstr(ei.bstrSource);
            e.description = TakeBstr(ei.bstrDescription);
            SysFreeString(ei.bstrHelpFile);
            e.scode = ei.scode ? ei.scode : (ei.wCode ? HRESULT(0x800A0000u | ei.wCode) : E_FAIL);
            if (e.description.empty()) e.description = DescriptionOf(e.scode);
            e.line = located ? int(line) + 1 : 0;
            e.column = located ? int(column) : 0;
            if (receiver_) {
                if (!receiver_->message) *receiver_ = e;
            } else {
                ReportScriptError(e, window_);
            }
        }
        if (engine_) engine_->SetScriptState(SCRIPTSTATE_DISCONNECTED);
        running_ = false;
    } catch (...) {
    }
    return S_OK;
}

STDMETHODIMP CScript::OnEnterScript() {
    running_ = true;
    return S_OK;
}

STDMETHODIMP CScript::OnLeaveScript() { return S_OK; }

STDMETHODIMP CScript::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = windowless_ ? nullptr : window_;
    return windowless_ ? E_FAIL : S_OK;
}

STDMETHODIMP CScript::EnableModeless(BOOL) { return windowless_ ? E_FAIL : S_OK; }

IDispatch* CScript::FindNamedObject(const wchar_t*) { return nullptr; }

HRESULT CScript::AddNamedItems(IActiveScript*) { return S_OK; }

void CScript::SetEngine(IActiveScript* engine) {
    EnterCriticalSection(&engineLock_);
    engine_ = engine;
    LeaveCriticalSection(&engineLock_);
}

bool CScript::Interrupt() {
    EnterCriticalSection(&engineLock_);
    HRESULT hr = E_FAIL;
    if (engine_) {
        EXCEPINFO ei = {};
        hr = engine_->InterruptScriptThread(SCRIPTTHREADID_ALL, &ei, 0);
        SysFreeString(ei.bstrSource);
        SysFreeString(ei.bstrDescription);
        SysFreeString(ei.bstrHelpFile);
    }
    LeaveCriticalSection(&engineLock_);
    return SUCCEEDED(hr);
}

}  // namespace syntax
