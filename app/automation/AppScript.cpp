#include "AppScript.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <vector>

#include "CodePages.h"
#include "DialogIds.h"
#include "DocumentSearch.h"
#include "EditProtocol.h"
#include "LongWork.h"
#include "Owners.h"
#include "ProgramIds.h"
#include "Resources.h"

namespace automation {

using syntax::DispEnd;
using syntax::DispMethod;
using syntax::kDispByPosition;
using syntax::kDispKindGet;
using syntax::kDispKindPut;
using syntax::kDispPutAccessor;

// What the main thread and a run's worker share.
struct RunState {
    RunState() {
        InitializeCriticalSection(&lock);
        stopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        callDone.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        callPosted.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    }
    ~RunState() {
        // The events go in the order they were made, before the lock.
        stopEvent.reset();
        callDone.reset();
        callPosted.reset();
        DeleteCriticalSection(&lock);
    }
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    void Stop() {
        stopping = true;
        if (stopEvent) SetEvent(stopEvent.get());
    }

    DWORD uiThread = 0;
    bool open = false;  // the main thread takes calls (until the run ends)
    IDevEnv* env = nullptr;
    HWND activeWindow = nullptr;  // active when the play began
    std::atomic<bool> stopping{false};
    shell::CUniqueHandle stopEvent;
    shell::CUniqueHandle callDone;    // the main thread has carried out the call
    shell::CUniqueHandle callPosted;  // the worker has left a call in `call`
    const std::function<void()>* call = nullptr;
    // The engine's module: where the worker may be ended safely.
    std::atomic<uintptr_t> engineBase{0};
    std::atomic<uintptr_t> engineEnd{0};
    CRITICAL_SECTION lock;          // guards `current` and the pending insert
    CAppScript* current = nullptr;  // the site of the run in progress
    // Inserts at the caret the macro made and the main thread has not
    // carried out yet: consecutive ones into one control, as one text.
    HWND pendingControl = nullptr;
    std::wstring pendingText;
    DWORD pendingSince = 0;
    // The active pane as the main thread found it for the macro's last
    // ActiveDoc, while nothing has run there since (null: ask it again).
    std::atomic<HWND> knownPane{nullptr};
};

namespace {

constexpr int kMaxNesting = 8;
constexpr UINT kTearOffId = 65534;
// How long a macro asked to stop may take to stop by itself (its calls into
// the object model fail from then on) before its thread is ended.
constexpr DWORD kGraceMs = 100;
constexpr DWORD kLookMs = 30;
// How long the main thread leaves a pending insert before it shows it (the
// macro may run on without calling anything that would carry it out), and
// the most text one pending insert gathers.
constexpr DWORD kShowPendingMs = 100;
constexpr size_t kMaxPendingUnits = size_t(1) << 20;

std::vector<std::shared_ptr<RunState>> g_runs;  // main thread only

// Gathers an insert of `text` at the caret of `control` into the pending
// one; false when it cannot join it (another control, a CR that an LF
// would join to one line break, too much text), and the call is carried
// out as any other. Any thread.
bool AddPendingInsert(RunState& run, HWND control, const wchar_t* text, size_t length) {
    EnterCriticalSection(&run.lock);
    const std::wstring& pending = run.pendingText;
    bool joins = pending.empty() ||
                 (run.pendingControl == control && !(pending.back() == L'\r' && length && text[0] == L'\n') &&
                  pending.size() + length <= kMaxPendingUnits);
    if (joins) {
        const bool first = pending.empty();
        try {
            run.pendingText.append(text, length);
        } catch (...) {  // no memory for it: the call goes the usual way
            joins = false;
        }
        if (joins && first) {
            run.pendingControl = control;
            run.pendingSince = GetTickCount();
        }
    }
    LeaveCriticalSection(&run.lock);
    return joins;
}

bool HasPendingInsert(RunState& run) {
    EnterCriticalSection(&run.lock);
    const bool pending = !run.pendingText.empty();
    LeaveCriticalSection(&run.lock);
    return pending;
}

// Carries out the pending insert; on the main thread, before any other call
// of the macro, so that everything happens in the order the macro said it.
// `olderThan`: only one that has waited that long.
void FlushPendingInsert(RunState& run, DWORD olderThan = 0) {
    EnterCriticalSection(&run.lock);
    std::wstring text;
    const HWND control = run.pendingControl;
    if (GetTickCount() - run.pendingSince >= olderThan) text.swap(run.pendingText);
    LeaveCriticalSection(&run.lock);
    if (text.empty() || !control || !IsWindow(control)) return;
    TextArg arg = {text.data(), int(text.size())};
    SendMessageW(control, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
}

// Runs `fn` on the run's main thread and waits for it; false when it could
// not be carried there. The worker leaves the call in the run and signals;
// the main thread, waiting for exactly that, runs it and signals back (no
// window message: cheaper, and a call made inside a message sent from
// another thread could not reach other processes through COM).
bool OnUi(RunState& run, const std::function<void()>& fn) {
    if (GetCurrentThreadId() == run.uiThread) {
        FlushPendingInsert(run);
        fn();
        return true;
    }
    if (!run.open || !run.callDone || !run.callPosted) return false;
    run.call = &fn;
    return SignalObjectAndWait(run.callPosted.get(), run.callDone.get(), INFINITE, FALSE) == WAIT_OBJECT_0;
}

// The call the worker left, carried out on the main thread.
void TakeCall(RunState& run) {
    if (const std::function<void()>* fn = std::exchange(run.call, nullptr)) {
        try {
            FlushPendingInsert(run);
            (*fn)();
        } catch (...) {
        }
    }
    SetEvent(run.callDone.get());
}

// Arguments as the main thread may use them: copied out of references, and
// a script object replaced by its default value, fetched here, on the
// engine's thread (the engine's objects are not to be called from another).
class CWorkerArguments {
   public:
    HRESULT Take(const DISPPARAMS* params) {
        if (!params) return S_OK;
        copy_ = *params;
        if (!params->cArgs) return S_OK;
        if (!params->rgvarg) return E_INVALIDARG;
        values_.resize(params->cArgs);
        for (VARIANT& v : values_) VariantInit(&v);
        for (UINT i = 0; i < params->cArgs; ++i) {
            if (FAILED(VariantCopyInd(&values_[i], &params->rgvarg[i]))) return DISP_E_TYPEMISMATCH;
            const VARTYPE vt = values_[i].vt;
            if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && values_[i].punkVal) {
                shell::ComPtrT<IDispatch> object;
                if (FAILED(values_[i].punkVal->QueryInterface(IID_IDispatch, object.put_void())))
                    return DISP_E_TYPEMISMATCH;
                VARIANT value;
                VariantInit(&value);
                DISPPARAMS none = {nullptr, nullptr, 0, 0};
                const HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT,
                                                  DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
                object.reset();
                if (FAILED(hr) || value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) {
                    VariantClear(&value);
                    return DISP_E_TYPEMISMATCH;
                }
                VariantClear(&values_[i]);
                values_[i] = value;
            }
        }
        copy_.rgvarg = values_.data();
        return S_OK;
    }
    ~CWorkerArguments() {
        for (VARIANT& v : values_) VariantClear(&v);
    }
    DISPPARAMS* Params() { return &copy_; }

   private:
    DISPPARAMS copy_ = {nullptr, nullptr, 0, 0};
    std::vector<VARIANT> values_;
};

HWND ActivePane(IDevEnv* env) {
    if (!env) return nullptr;
    IView* view = env->GetActiveView();
    return view ? view->GetActivePane() : nullptr;
}

HRESULT NewBstr(const wchar_t* text, size_t length, BSTR* out) {
    *out = SysAllocStringLen(text ? text : L"", UINT(text ? length : 0));
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

bool IsStopKey(const MSG& m) { return m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE; }

// Takes at most one queued message of the thread and handles it (Esc stops
// the macros instead).
void DispatchOneMessage() {
    MSG m;
    if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) return;
    if (m.message == WM_QUIT) {
        PostQuitMessage(int(m.wParam));
        return;
    }
    if (IsStopKey(m)) {
        StopMacros();
        return;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
}

}  // namespace

// ---- CUiObject -----------------------------------------------------------------

CUiObject::CUiObject(const syntax::DispEntry* table, std::shared_ptr<RunState> run)
    : IDispDynImpl(table), run_(std::move(run)) {}

STDMETHODIMP CUiObject::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    try {
        if (run_->stopping) return E_ABORT;
        if (RunsOnCaller(id))
            return IDispDynImpl::Invoke(id, riid, lcid, flags, params, result, exception, argError);
        CWorkerArguments arguments;
        if (GetCurrentThreadId() != run_->uiThread) {
            const HRESULT taken = arguments.Take(params);
            if (FAILED(taken)) return taken;
            params = arguments.Params();
            if (Defer(id, flags, *params, result)) return S_OK;
        }
        HRESULT hr = E_ABORT;
        const std::function<void()> call = [&] {
            if (!run_->stopping)
                hr = IDispDynImpl::Invoke(id, riid, lcid, flags, params, result, exception, argError);
        };
        if (!OnUi(*run_, call)) return E_ABORT;
        return hr;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// ---- CMenu_VB -------------------------------------------------------------------

namespace {
const syntax::DispEntry kMenuTable[] = {
    DispMethod<&CMenu_VB::AddItem>(L"AddItem"),
    DispMethod<&CMenu_VB::GetText>(L"GetText"),
    DispMethod<&CMenu_VB::Popup>(L"Popup"),
    DispEnd(),
};
}  // namespace

CMenu_VB::CMenu_VB(std::shared_ptr<RunState> run, HWND owner)
    : CUiObject(kMenuTable, std::move(run)), menu_(CreatePopupMenu()), owner_(owner) {}

CMenu_VB::~CMenu_VB() {
    if (menu_) DestroyMenu(menu_);
}

HRESULT CMenu_VB::AddItem(int id, BSTR text) {
    if (!menu_) return E_OUTOFMEMORY;
    const bool separator = !text || !SysStringLen(text);
    const std::wstring label = Text(text);
    AppendMenuW(menu_, separator ? MF_SEPARATOR : MF_STRING, UINT_PTR(UINT(id)),
                separator ? nullptr : label.c_str());
    return S_OK;
}

HRESULT CMenu_VB::GetText(int id, BSTR* text) {
    if (id == 0 || !menu_) return NewBstr(L"", 0, text);
    const int n = GetMenuStringW(menu_, UINT(id), nullptr, 0, MF_BYCOMMAND);
    if (n <= 0) return NewBstr(L"", 0, text);
    std::wstring buffer(size_t(n) + 1, L'\0');
    const int got = GetMenuStringW(menu_, UINT(id), buffer.data(), n + 1, MF_BYCOMMAND);
    return NewBstr(buffer.data(), size_t(std::max(got, 0)), text);
}

HRESULT CMenu_VB::Popup(int* chosen) {
    *chosen = 0;
    if (!menu_) return S_OK;
    const DWORD where = GetMessagePos();
    POINT pt = {GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    if (!MonitorFromPoint(pt, MONITOR_DEFAULTTONULL)) {
        MONITORINFO info = {};
        info.cbSize = sizeof info;
        if (GetMonitorInfoW(MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &info)) {
            pt.x = std::clamp(pt.x, info.rcWork.left, std::max(info.rcWork.left, info.rcWork.right - 1));
            pt.y = std::clamp(pt.y, info.rcWork.top, std::max(info.rcWork.top, info.rcWork.bottom - 1));
        }
    }
    HWND owner = owner_ && IsWindow(owner_) ? owner_ : (Run().env ? Run().env->GetMainWindow() : nullptr);
    const UINT id = UINT(TrackPopupMenuEx(
        menu_, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, owner, nullptr));
    *chosen = id == kTearOffId ? 0 : int(id);
    return S_OK;
}

// ---- CDocument_VB ---------------------------------------------------------------

namespace {
constexpr DISPID kInsertId = 4;
const syntax::DispEntry kDocumentTable[] = {
    DispMethod<&CDocument_VB::SendCommand>(L"SendCommand"),                                 // 1
    DispMethod<&CDocument_VB::Refresh>(L"Refresh"),                                         // 2
    DispMethod<&CDocument_VB::InsertAt>(L"InsertAt"),                                       // 3
    DispMethod<&CDocument_VB::Insert>(L"Insert"),                                           // 4
    DispMethod<&CDocument_VB::Delete>(L"Delete"),                                           // 5
    DispMethod<&CDocument_VB::DeleteAt>(L"DeleteAt"),                                       // 6
    DispMethod<&CDocument_VB::SetCaretPos>(L"SetCaretPos"),                                 // 7
    DispMethod<&CDocument_VB::SetSelection>(L"SetSelection"),                               // 8
    DispMethod<&CDocument_VB::CreateMenu>(L"CreateMenu"),                                   // 9
    DispMethod<&CDocument_VB::GetLineText>(L"GetLineText"),                                 // 10
    DispMethod<&CDocument_VB::GetLineLength>(L"GetLineLength"),                             // 11
    DispMethod<&CDocument_VB::ReplaceAll>(L"ReplaceAll"),                                   // 12
    DispMethod<&CDocument_VB::CaretLine>(L"CaretLine", kDispByPosition, kDispKindGet),      // 13
    DispMethod<&CDocument_VB::CaretCol>(L"CaretCol", kDispByPosition, kDispKindGet),        // 14
    DispMethod<&CDocument_VB::LineCount>(L"LineCount", kDispByPosition, kDispKindGet),      // 15
    DispMethod<&CDocument_VB::GetSelection>(L"Selection", kDispByPosition, kDispKindGet),   // 16
    DispMethod<&CDocument_VB::PutSelection>(L"Selection", kDispPutAccessor, kDispKindPut),  // 17
    DispMethod<&CDocument_VB::GetCodepage>(L"Codepage", kDispByPosition, kDispKindGet),     // 18
    DispMethod<&CDocument_VB::PutCodepage>(L"Codepage", kDispPutAccessor, kDispKindPut),    // 19
    DispMethod<&CDocument_VB::PathName>(L"PathName", kDispByPosition, kDispKindGet),        // 20
    DispMethod<&CDocument_VB::Dirty>(L"Dirty", kDispByPosition, kDispKindGet),              // 21
    DispMethod<&CDocument_VB::GroupUndo>(L"GroupUndo", kDispByPosition, kDispKindPut),      // 22
    DispEnd(),
};

// Code pages a document may be switched to: the system's, the Unicode
// forms, and those the program converts itself.
bool IsUsableCodePage(int codePage) {
    switch (codePage) {
        case 1200:
        case 1201:
        case 12000:
        case 12001:
        case 65000:
        case 65001: return true;
    }
    if (codepage::HasOwnConversion(codePage)) return true;  // converted here where the system refuses
    return codePage == 0 || (codePage > 0 && IsValidCodePage(UINT(codePage)));  // 0: ANSI
}
}  // namespace

CDocument_VB::CDocument_VB(CAppScript* site, std::shared_ptr<RunState> run, IDevEnv* env)
    : CUiObject(kDocumentTable, std::move(run)), site_(site), env_(env) {}

STDMETHODIMP_(ULONG) CDocument_VB::AddRef() { return site_->AddRef(); }
STDMETHODIMP_(ULONG) CDocument_VB::Release() { return site_->Release(); }

void CDocument_VB::PointAtActive() { control_ = ActivePane(env_); }

LRESULT CDocument_VB::Send(UINT msg, WPARAM wp, LPARAM lp) const {
    return control_ && IsWindow(control_) ? SendMessageW(control_, msg, wp, lp) : 0;
}

HRESULT CDocument_VB::SendCommand(int id) {
    Send(WM_COMMAND, WPARAM(UINT(id)), 0);
    return S_OK;
}

HRESULT CDocument_VB::Refresh() {
    if (control_ && IsWindow(control_)) {
        InvalidateRect(control_, nullptr, TRUE);
        UpdateWindow(control_);
    }
    return S_OK;
}

HRESULT CDocument_VB::InsertAt(int line, int column, BSTR text) {
    Position at = {line, column};
    // The whole string: a macro's text may hold a Chr(0).
    TextArg arg = {text ? text : L"", int(text ? SysStringLen(text) : 0)};
    Send(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&at), reinterpret_cast<LPARAM>(&arg));
    return S_OK;
}

HRESULT CDocument_VB::Insert(BSTR text) {
    TextArg arg = {text ? text : L"", int(text ? SysStringLen(text) : 0)};
    Send(MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    return S_OK;
}

bool CDocument_VB::Defer(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) {
    // Only what the table's Insert would take as it is: one argument, by
    // position, that converts to a string (else the call fails as it would).
    if (id != kInsertId || (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) || params.cArgs != 1 ||
        params.cNamedArgs || !params.rgvarg || !control_)
        return false;
    VARIANT text;
    VariantInit(&text);
    bool deferred = false;
    if (SUCCEEDED(VariantChangeType(&text, &params.rgvarg[0], 0, VT_BSTR))) {
        deferred = AddPendingInsert(Run(), control_, text.bstrVal, SysStringLen(text.bstrVal));
        if (deferred && result) VariantInit(result);
    }
    VariantClear(&text);
    return deferred;
}

HRESULT CDocument_VB::Delete() {
    Send(WM_COMMAND, ECMD_DELETE, 0);
    return S_OK;
}

HRESULT CDocument_VB::DeleteAt(int line1, int column1, int line2, int column2) {
    Position a = {line1, column1}, b = {line2, column2};
    Send(MPM_DELETERANGE, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    return S_OK;
}

HRESULT CDocument_VB::SetCaretPos(int line, int column, VARIANT_BOOL extend) {
    Position to = {line, column};
    if (!extend) {
        Send(MPM_SETCARET, reinterpret_cast<WPARAM>(&to), 1);
        return S_OK;
    }
    // The selection's anchor stays; without a selection the caret is it.
    Position caret = {0, 0};
    Send(MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    Position anchor = caret, start = {0, 0}, end = {0, 0};
    if (Send(MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)))
        anchor = start.line == caret.line && start.column == caret.column ? end : start;
    Send(MPM_SELECT, reinterpret_cast<WPARAM>(&anchor), reinterpret_cast<LPARAM>(&to));
    return S_OK;
}

HRESULT CDocument_VB::SetSelection(int anchorLine, int anchorColumn, int caretLine, int caretColumn) {
    Position anchor = {anchorLine, anchorColumn}, caret = {caretLine, caretColumn};
    Send(MPM_SELECT, reinterpret_cast<WPARAM>(&anchor), reinterpret_cast<LPARAM>(&caret));
    return S_OK;
}

HRESULT CDocument_VB::CreateMenu(IDispatch** menu) {
    HWND owner = control_ && IsWindow(control_) ? control_ : site_->Frame();
    auto* object = new syntax::CComRefCount<CMenu_VB>(State(), owner);
    *menu = object;
    return S_OK;
}

HRESULT CDocument_VB::GetLineText(int line, BSTR* text) {
    if (line < 0) return NewBstr(L"", 0, text);
    const int n = int(Send(MPM_GETLINE, WPARAM(line), 0));
    if (n <= 0) return NewBstr(L"", 0, text);
    std::wstring buffer(size_t(n) + 1, L'\0');
    const int got = int(Send(MPM_GETLINE, WPARAM(line), reinterpret_cast<LPARAM>(buffer.data())));
    return NewBstr(buffer.data(), size_t(std::clamp(got, 0, n)), text);
}

HRESULT CDocument_VB::GetLineLength(int line, int* length) {
    *length = line < 0 ? 0 : int(Send(MPM_GETLINE, WPARAM(line), 0));
    return S_OK;
}

HRESULT CDocument_VB::ReplaceAll(BSTR find, BSTR replace, int flags, int* count) {
    *count = 0;
    if (!control_ || !IsWindow(control_)) return S_OK;
    search::SearchRequest request;
    request.pattern = Text(find);
    request.replacement = Text(replace);
    request.options = flags & (search::FIND_MATCH_CASE | search::FIND_WHOLE_WORD | search::FIND_REGEX);
    if (request.pattern.empty()) return S_OK;
    search::CDocumentSearch search;
    const search::SearchOutcome outcome = search.ReplaceAll(control_, request);
    if (outcome.status == search::SearchStatus::kBadPattern) return E_INVALIDARG;
    *count = outcome.count;
    return S_OK;
}

HRESULT CDocument_VB::CaretLine(int* line) {
    Position caret = {0, 0};
    Send(MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    *line = caret.line;
    return S_OK;
}

HRESULT CDocument_VB::CaretCol(int* column) {
    Position caret = {0, 0};
    Send(MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    *column = caret.column;
    return S_OK;
}

HRESULT CDocument_VB::LineCount(int* count) {
    *count = control_ && IsWindow(control_) ? int(Send(MPM_GETLINECOUNT)) : 0;
    return S_OK;
}

HRESULT CDocument_VB::GetSelection(BSTR* text) {
    HGLOBAL block = reinterpret_cast<HGLOBAL>(Send(MPM_GETSELTEXT));
    if (!block) return NewBstr(L"", 0, text);
    HRESULT hr = E_OUTOFMEMORY;
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(block))) {
        hr = NewBstr(p, wcsnlen(p, GlobalSize(block) / sizeof(wchar_t)), text);
        GlobalUnlock(block);
    }
    GlobalFree(block);
    return hr;
}

HRESULT CDocument_VB::PutSelection(BSTR text) {
    if (Send(MPM_GETSELKIND)) Send(WM_COMMAND, ECMD_BACKSPACE, 0);
    return Insert(text);
}

HRESULT CDocument_VB::GetCodepage(int* codePage) {
    *codePage = int(Send(MPM_CODEPAGE, WPARAM(-1), 0));
    return S_OK;
}

HRESULT CDocument_VB::PutCodepage(int codePage) {
    // A code page nothing can convert would leave the text unreadable.
    if (!IsUsableCodePage(codePage)) return E_INVALIDARG;
    Send(MPM_CODEPAGE, WPARAM(codePage), 0);
    return S_OK;
}

HRESULT CDocument_VB::PathName(BSTR* path) {
    const auto* name = reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME));
    return NewBstr(name, name ? wcslen(name) : 0, path);
}

HRESULT CDocument_VB::Dirty(VARIANT_BOOL* dirty) {
    *dirty = Send(MPM_ISMODIFIED) == 1 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CDocument_VB::GroupUndo(VARIANT_BOOL on) {
    Send(MPM_UNDOGROUP, on ? 1 : 0, 0);
    return S_OK;
}

// ---- AppVB ----------------------------------------------------------------------

namespace {
constexpr DISPID kSleepId = 5;
constexpr DISPID kActiveChildId = 6;
constexpr DISPID kActiveDocId = 7;
const syntax::DispEntry kAppTable[] = {
    DispMethod<&AppVB::SendCommand>(L"SendCommand"),                                 // 1
    DispMethod<&AppVB::NewDoc>(L"NewDoc"),                                           // 2
    DispMethod<&AppVB::OpenDoc>(L"OpenDoc"),                                         // 3
    DispMethod<&AppVB::CreateMenu>(L"CreateMenu"),                                   // 4
    DispMethod<&AppVB::Sleep>(L"Sleep"),                                             // 5
    DispMethod<&AppVB::ActiveChild>(L"ActiveChild", kDispByPosition, kDispKindGet),  // 6
    DispMethod<&AppVB::ActiveDoc>(L"ActiveDoc", kDispByPosition, kDispKindGet),      // 7
    DispEnd(),
};
}  // namespace

AppVB::AppVB(CAppScript* site, std::shared_ptr<RunState> run, IDevEnv* env)
    : CUiObject(kAppTable, std::move(run)), site_(site), env_(env) {}

STDMETHODIMP_(ULONG) AppVB::AddRef() { return site_->AddRef(); }
STDMETHODIMP_(ULONG) AppVB::Release() { return site_->Release(); }

bool AppVB::RunsOnCaller(DISPID id) const { return id == kSleepId; }

bool AppVB::Defer(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) {
    // ActiveDoc and ActiveChild while the active pane is known: the document
    // object pointed at it, as the main thread would answer.
    if ((id != kActiveChildId && id != kActiveDocId) ||
        (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) || params.cArgs || params.cNamedArgs)
        return false;
    const HWND pane = Run().knownPane;
    if (!pane) return false;
    CDocument_VB& d = site_->Document();
    d.PointAt(pane);
    if (result) {
        d.AddRef();
        result->vt = VT_DISPATCH;
        result->pdispVal = &d;
    }
    return true;
}

HRESULT AppVB::Document(IDispatch** document) {
    CDocument_VB& d = site_->Document();
    d.PointAtActive();
    Run().knownPane = d.Control();
    d.AddRef();
    *document = &d;
    return S_OK;
}

HRESULT AppVB::SendCommand(int id) {
    if (HWND frame = site_->Frame()) SendMessageW(frame, WM_COMMAND, WPARAM(UINT(id)), 0);
    return S_OK;
}

HRESULT AppVB::NewDoc(IDispatch** document) {
    if (HWND frame = site_->Frame()) SendMessageW(frame, MPF_NEW_DOCUMENT, 0, 0);
    return Document(document);
}

HRESULT AppVB::OpenDoc(BSTR path, IDispatch** document) {
    HWND frame = site_->Frame();
    if (frame && path && SysStringLen(path)) {
        const std::wstring file = Text(path);
        SendMessageW(frame, MPF_OPEN, reinterpret_cast<WPARAM>(file.c_str()), 0);
    }
    return Document(document);
}

HRESULT AppVB::CreateMenu(IDispatch** menu) {
    *menu = new syntax::CComRefCount<CMenu_VB>(State(), site_->Frame());
    return S_OK;
}

HRESULT AppVB::Sleep(int milliseconds) {
    // Waits on the engine's thread, so that the windows stay alive; Esc
    // ends the wait.
    if (Run().stopEvent)
        WaitForSingleObject(Run().stopEvent.get(), DWORD(std::max(milliseconds, 0)));
    else
        ::Sleep(DWORD(std::max(milliseconds, 0)));
    if (Run().stopping) return E_ABORT;
    OnUi(Run(), [] { DispatchOneMessage(); });
    return S_OK;
}

HRESULT AppVB::ActiveChild(IDispatch** document) { return Document(document); }
HRESULT AppVB::ActiveDoc(IDispatch** document) { return Document(document); }

// ---- CAppScript -------------------------------------------------------------------

CAppScript::CAppScript(std::shared_ptr<RunState> run, IDevEnv* env, HWND activeWindow)
    : run_(run),
      env_(env),
      frame_(env ? env->GetMainWindow() : nullptr),
      app_(this, run, env),
      document_(this, run, env) {
    SetWindow(activeWindow ? activeWindow : frame_);
}

IDispatch* CAppScript::FindNamedObject(const wchar_t* name) {
    return _wcsicmp(name, L"App") == 0 ? &app_ : nullptr;
}

STDMETHODIMP CAppScript::GetWindow(HWND* window) {
    try {
        if (HasPendingInsert(*run_)) OnUi(*run_, [] {});
    } catch (...) {
    }
    return CScript::GetWindow(window);
}

HRESULT CAppScript::AddNamedItems(IActiveScript* engine) {
    uintptr_t begin = 0, end = 0;
    syntax::EngineExtent(engine, &begin, &end);
    run_->engineBase = begin;
    run_->engineEnd = end;
    return engine->AddNamedItem(L"App", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
}

// ---- Running macros ---------------------------------------------------------------

namespace {

// One play: its runs, on the worker.
struct Play {
    std::shared_ptr<RunState> run;
    std::wstring text;
    std::wstring name;
    int times = 1;
    syntax::ScriptError error;
    bool failed = false;
};

DWORD WINAPI PlayWorker(void* param) {
    // The worker's own share: a play that was given up keeps what it uses.
    auto* play = static_cast<std::shared_ptr<Play>*>(param);
    Play& p = **play;
    try {
        for (int i = 0; i < p.times && !p.run->stopping; ++i) {
            auto* site = new CAppScript(p.run, p.run->env, p.run->activeWindow);
            site->SetScriptPath(p.name);
            EnterCriticalSection(&p.run->lock);
            p.run->current = site;
            LeaveCriticalSection(&p.run->lock);
            BSTR source = SysAllocStringLen(p.text.data(), UINT(p.text.size()));
            const bool ok = source && syntax::CScriptHelper::RunText(site, source, L"", &p.error);
            SysFreeString(source);
            EnterCriticalSection(&p.run->lock);
            p.run->current = nullptr;
            LeaveCriticalSection(&p.run->lock);
            site->Release();
            if (!ok) {
                p.failed = true;
                break;
            }
        }
    } catch (...) {
        p.failed = true;
    }
    delete play;
    return 0;
}

void AskEngineToStop(RunState& run) {
    EnterCriticalSection(&run.lock);
    if (run.current) run.current->Interrupt();
    LeaveCriticalSection(&run.lock);
}

// The user asked to close a window of the program: the caption's close box
// pressed, Alt+F4, the window menu's Close, or a close request posted to a
// main window (what another program, a task manager, sends), waiting in
// the queue. It stays there, to close the window once the macro has stopped.
bool CloseGestureQueued() {
    MSG m;
    if (PeekMessageW(&m, nullptr, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) && m.hwnd &&
        GetAncestor(m.hwnd, GA_ROOT) == m.hwnd && !GetWindow(m.hwnd, GW_OWNER))
        return true;
    if (PeekMessageW(&m, nullptr, WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, PM_NOREMOVE) && m.wParam == HTCLOSE)
        return true;
    if (PeekMessageW(&m, nullptr, WM_SYSKEYDOWN, WM_SYSKEYDOWN, PM_NOREMOVE) && m.wParam == VK_F4)
        return true;
    return PeekMessageW(&m, nullptr, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_NOREMOVE) &&
           (m.wParam & 0xFFF0) == SC_CLOSE;
}

// Waits for the worker with the thread's windows alive: the worker's calls,
// messages sent from other threads, painting and timers are handled now;
// input and other posted messages wait for the macro's end (as they would
// if it ran on this thread), except Esc, which stops it, and a close of a
// window, which stops it and then closes.
void WaitForWorker(RunState& run, HANDLE thread) {
    DWORD stopSince = 0, lastLook = GetTickCount();
    bool asked = false;
    for (;;) {
        const HANDLE handles[2] = {thread, run.callPosted.get()};
        const DWORD wait = MsgWaitForMultipleObjects(2, handles, FALSE, run.stopping ? 10 : 50, QS_ALLINPUT);
        // Whatever this thread handles now (a call of the macro's, a message)
        // may make another document active.
        run.knownPane = nullptr;
        if (wait == WAIT_OBJECT_0) return;
        if (wait == WAIT_OBJECT_0 + 1) {
            TakeCall(run);
            // Between calls the queue is looked at now and then: paint,
            // timers and Esc are not starved by a macro that calls on.
            if (!run.stopping && GetTickCount() - lastLook < kLookMs) continue;
        }
        lastLook = GetTickCount();
        run.knownPane = nullptr;  // the call just taken may have answered ActiveDoc
        FlushPendingInsert(run, kShowPendingMs);
        MSG m;
        while (PeekMessageW(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessageW(&m);
        while (PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&m);
        if (!run.stopping && (shell::EscapePressedForProgram() || CloseGestureQueued())) StopMacros();
        if (!run.stopping) continue;
        if (!asked) {
            asked = true;
            stopSince = GetTickCount();
            AskEngineToStop(run);
        } else if (GetTickCount() - stopSince >= kGraceMs) {
            const syntax::ThreadStop stop = syntax::StopThreadInModule(thread, run.engineBase, run.engineEnd);
            if (stop == syntax::ThreadStop::kStopped || stop == syntax::ThreadStop::kEnded) return;
        }
    }
}

// Ends the held undo group through any edit control (the hold belongs to
// the control library, not to one control).
void ReleaseHold(HWND holder, IDevEnv* env) {
    HWND control = holder && IsWindow(holder) ? holder : ActivePane(env);
    if (control) {
        SendMessageW(control, MPM_HOLDGROUP, 0, 0);
        return;
    }
    HWND temporary = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     GetModuleHandleW(MRPAD_LIBRARY_NAME), nullptr);
    if (temporary) {
        SendMessageW(temporary, MPM_HOLDGROUP, 0, 0);
        DestroyWindow(temporary);
    }
}

}  // namespace

MacroOutcome PlayMacro(IDevEnv* env, const std::wstring& text, const std::wstring& name, int times) {
    if (times <= 0) return MacroOutcome::kDone;
    if (int(g_runs.size()) >= kMaxNesting) {
        MessageBeep(MB_ICONHAND);
        return MacroOutcome::kRefused;
    }
    HWND frame = env ? env->GetMainWindow() : nullptr;
    auto run = std::make_shared<RunState>();
    run->uiThread = GetCurrentThreadId();
    run->env = env;
    run->activeWindow = GetActiveWindow() ? GetActiveWindow() : frame;
    run->open = true;
    auto play = std::make_shared<Play>();
    play->run = run;
    play->text = text;
    play->name = name;
    play->times = times;

    HWND holder = ActivePane(env);
    if (holder) SendMessageW(holder, MPM_HOLDGROUP, 1, 0);
    g_runs.push_back(run);
    auto* workerShare = new std::shared_ptr<Play>(play);
    shell::CUniqueHandle thread(CreateThread(nullptr, 0, PlayWorker, workerShare, 0, nullptr));
    if (thread) {
        WaitForWorker(*run, thread.get());
        thread.reset();
    } else {
        PlayWorker(workerShare);  // no thread to spare: run here
    }
    // What the macro did last (also when it was stopped or ended), still
    // inside its undo step.
    FlushPendingInsert(*run);
    g_runs.erase(std::find(g_runs.begin(), g_runs.end(), run));
    if (holder) ReleaseHold(holder, env);
    run->open = false;

    if (run->stopping) return MacroOutcome::kStopped;
    if (play->failed) {
        syntax::ReportScriptError(play->error, frame);
        return MacroOutcome::kFailed;
    }
    return MacroOutcome::kDone;
}

void StopMacros() {
    for (const auto& run : g_runs) run->Stop();
}

int RunningMacros() { return int(g_runs.size()); }

std::wstring RecordedMacroName() { return shell::LanguageString(IDS_RECORDED_MACRO); }

}  // namespace automation
