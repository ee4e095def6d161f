// The ActiveScript interfaces over the language core. See ScriptEngine.h.
//
// Ownership: the engine object holds the site, the core engine and through it
// the wrappers of the named items; Close drops them all. An IDispatch handed
// to a host over a script object holds that object; a wrapper of a host
// object holds its IDispatch. Threads: everything runs on the thread that
// runs the script, except InterruptScriptThread, which only raises the core
// engine's flag under the lock that Close takes too.
#include "ScriptEngineParts.h"

namespace syntax {

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
class CDialogTemplate {
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
    CDialogTemplate t;
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
class CEngineHost final : public script::CHost {
   public:
    explicit CEngineHost(CScriptEngine* owner) : owner_(owner) {}
    CValue CreateObject(StringView progId) override;
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

    IActiveScriptSite* Site() const { return site_.get(); }
    script::CEngine* Engine() const { return engine_.get(); }

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
    shell::ComPtrT<IActiveScriptSite> site_;
    CEngineHost host_;
    std::unique_ptr<script::CEngine> engine_;
    SCRIPTSTATE state_ = SCRIPTSTATE_UNINITIALIZED;
    int depth_ = 0;          // runs on the stack now (an include runs inside its includer)
    CRITICAL_SECTION lock_;  // guards engine_ against InterruptScriptThread
};

// The global procedures of a script, by name.
class CScriptDispatch final : public CDispatchBase {
   public:
    explicit CScriptDispatch(CScriptEngine* engine)
        : engine_(shell::ComPtrT<CScriptEngine>::AddRef(engine)) {}

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
                std::vector<CValue> values = ArgumentsOf(p);
                std::vector<CValue*> pointers;
                for (CValue& v : values) pointers.push_back(&v);
                const CValue r = engine_->Engine()->Call(int(id - 1), pointers);
                WriteBackAll(p, values);
                if (result) answer = ValueToVariant(r, result);
            });
        } catch (...) {
            return E_FAIL;
        }
        return FAILED(hr) ? hr : answer;
    }

   private:
    ~CScriptDispatch() override = default;
    shell::ComPtrT<CScriptEngine> engine_;
};

STDMETHODIMP CScriptEngine::SetScriptSite(IActiveScriptSite* site) {
    if (!site) return E_POINTER;
    if (site_) return E_UNEXPECTED;
    site_ = shell::ComPtrT<IActiveScriptSite>::AddRef(site);
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
        auto engine = std::make_unique<script::CEngine>(&host_);
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
    shell::ComPtrT<IUnknown> unknown;
    HRESULT hr = site_->GetItemInfo(name, SCRIPTINFO_IUNKNOWN, unknown.put(), nullptr);
    if (FAILED(hr)) return hr;
    if (!unknown) return E_FAIL;
    shell::ComPtrT<IDispatch> dispatch;
    hr = unknown->QueryInterface(IID_IDispatch, dispatch.put_void());
    unknown.reset();
    if (FAILED(hr) || !dispatch) return FAILED(hr) ? hr : E_NOINTERFACE;
    try {
        engine_->AddNamedItem(U(static_cast<const wchar_t*>(name)), WrapDispatch(dispatch.get()),
                              (flags & SCRIPTITEM_GLOBALMEMBERS) != 0);
        hr = S_OK;
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (...) {
        hr = E_FAIL;
    }
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
    std::unique_ptr<script::CEngine> engine;
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
    site_.reset();
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
    auto info = shell::ComPtrT<IActiveScriptError>::Attach(
        new (std::nothrow) CScriptErrorInfo(e, e.line >= 0 ? LineOf(source, e.line, firstLine) : String()));
    if (!info) return;
    site_->OnScriptError(info.get());
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
    shell::ComPtrT<IActiveScriptSite> site = site_;
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
    site.reset();
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

HWND CEngineHost::Owner() {
    IActiveScriptSite* site = owner_->Site();
    shell::ComPtrT<IActiveScriptSiteWindow> window;
    HWND hwnd = nullptr;
    HRESULT hr = E_FAIL;
    if (site && SUCCEEDED(site->QueryInterface(IID_IActiveScriptSiteWindow, window.put_void())) && window) {
        hr = window->GetWindow(&hwnd);
        window.reset();
    }
    if (FAILED(hr)) {
        String text = script::ErrorText(kPermissionDenied);
        script::Raise(kPermissionDenied, text.empty() ? String(u"Permission denied") : text);
    }
    return hwnd;
}

CValue CEngineHost::CreateObject(StringView progId) {
    const std::wstring id = Wide(progId);
    CLSID clsid;
    shell::ComPtrT<IDispatch> dispatch;
    if (FAILED(CLSIDFromProgID(id.c_str(), &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                dispatch.put_void())) ||
        !dispatch) {
        script::Raise(script::err::kCannotCreate,
                      script::ErrorText(script::err::kCannotCreate) + u": '" + String(progId) + u"'");
    }
    return CValue::Obj(WrapDispatch(dispatch.get()));
}

int CEngineHost::MsgBox(StringView prompt, int buttons, StringView title) {
    HWND owner = Owner();
    const std::wstring text = Wide(prompt), caption = Wide(title);
    return shell::ShowMessage(owner, text.c_str(), caption.c_str(), UINT(buttons));
}

bool CEngineHost::InputBox(StringView prompt, StringView title, StringView initial, String* answer) {
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
    shell::ComPtrT<IUnknown> own;
    return SUCCEEDED(engine->QueryInterface(kIidOwnEngine, own.put_void())) && own;
}

}  // namespace syntax
