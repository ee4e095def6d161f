// The script host: runs a VBScript file in a script engine reached through
// ActiveScript (the system's, or the program's own in ScriptEngine.h, as
// SetScriptEngineChoice says) and exposes host objects to it as named items.
//
// Three pieces:
// - IDispDynImpl, the table-driven IDispatch behind every host object. A class
//   lists its script methods in a constant table of DispEntry, each built by
//   DispMethod<&Class::Member>(name), which derives the parameter and result
//   types from the member's signature and supplies a small typed thunk: the
//   thunk receives the arguments already converted to the declared types, in
//   declaration order, and calls the member. Names match ignoring case;
//   identifiers are explicit or the entry's position counted from 1.
// - CScript, the site the engine talks to (one per run), with the virtual
//   slots a derived site fills in: its named objects and adding them.
// - CScriptHelper, the "Helper" object every script sees (Include), and the
//   run functions: a file, or a text, optionally with an error receiver that
//   collects the failure instead of showing it (so that a run on another
//   thread can be reported from the caller's thread afterwards).
//
// A site, its engine and the host objects belong to the thread that runs the
// script; only CScript::Interrupt may be called from another thread.
#pragma once

#include <windows.h>
// after windows.h
#include <activscp.h>
#include <oleauto.h>

#include <array>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

namespace syntax {

// ---- Table-driven dispatch --------------------------------------------------

class IDispDynImpl;

// Calls one member with `args` (converted to the entry's types, declaration
// order) and stores its result, if any, in `result` (never null).
using DispThunk = HRESULT (*)(IDispDynImpl* self, VARIANT* args, VARIANT* result);

constexpr DISPID kDispByPosition = -1;   // the entry's position, counted from 1
constexpr DISPID kDispPutAccessor = -3;  // the put accessor of the entry before
constexpr int kDispKindMethod = 1;
constexpr int kDispKindGet = 2;
constexpr int kDispKindPut = 4;
constexpr int kDispInlineParams = 4;

struct DispEntry {
    const wchar_t* name;
    DISPID id;
    int kind;
    VARTYPE result;  // VT_EMPTY: no result
    int paramCount;
    const VARTYPE* params;  // null: the types are in `inlineParams`
    VARTYPE inlineParams[kDispInlineParams];
    uintptr_t reserved;
    DispThunk call;  // null ends the table
};

namespace dispdetail {

// The variant type of a value type of script methods; VT_EMPTY for others.
template <class T>
constexpr VARTYPE VtOf() {
    if constexpr (std::is_same_v<T, int> || std::is_same_v<T, LONG>) return VT_I4;
    if constexpr (std::is_same_v<T, VARIANT_BOOL>) return VT_BOOL;
    if constexpr (std::is_same_v<T, BSTR>) return VT_BSTR;
    if constexpr (std::is_same_v<T, IDispatch*>) return VT_DISPATCH;
    if constexpr (std::is_same_v<T, double>) return VT_R8;
    return VT_EMPTY;
}

template <class T>
constexpr VARTYPE ArgVt() {
    static_assert(VtOf<T>() != VT_EMPTY, "a script method's parameter of a type variants cannot carry");
    return VtOf<T>();
}

// A result is the member's last parameter, a pointer to one of the types.
template <class T>
constexpr VARTYPE ResultVt() {
    if constexpr (std::is_pointer_v<T>) return VtOf<std::remove_pointer_t<T>>();
    return VT_EMPTY;
}

// A converted argument; `v` holds the type ArgVt<T>() already.
template <class T>
T Get(VARIANT& v) {
    if constexpr (std::is_same_v<T, int> || std::is_same_v<T, LONG>) return v.lVal;
    if constexpr (std::is_same_v<T, VARIANT_BOOL>) return v.boolVal;
    if constexpr (std::is_same_v<T, BSTR>) return v.bstrVal;
    if constexpr (std::is_same_v<T, IDispatch*>) return v.pdispVal;
    if constexpr (std::is_same_v<T, double>) return v.dblVal;
}

template <class T>
void Put(VARIANT* out, T value) {
    out->vt = VtOf<T>();
    if constexpr (std::is_same_v<T, int> || std::is_same_v<T, LONG>) out->lVal = value;
    if constexpr (std::is_same_v<T, VARIANT_BOOL>) out->boolVal = value;
    if constexpr (std::is_same_v<T, BSTR>) out->bstrVal = value;
    if constexpr (std::is_same_v<T, IDispatch*>) out->pdispVal = value;
    if constexpr (std::is_same_v<T, double>) out->dblVal = value;
}

template <class M>
struct Member;
template <class C, class... A>
struct Member<HRESULT (C::*)(A...)> {
    using Class = C;
    using Params = std::tuple<A...>;
    static constexpr int count = sizeof...(A);
};

template <class Params, int N>
struct Split {  // the last of N parameters may be the result
    using Last = std::tuple_element_t<N - 1, Params>;
    static constexpr VARTYPE result = ResultVt<Last>();
    static constexpr int inputs = result == VT_EMPTY ? N : N - 1;
};
template <class Params>
struct Split<Params, 0> {
    static constexpr VARTYPE result = VT_EMPTY;
    static constexpr int inputs = 0;
};

template <auto M>
struct Traits {
    using Info = Member<decltype(M)>;
    using Class = typename Info::Class;
    using Params = typename Info::Params;
    using S = Split<Params, Info::count>;
    static constexpr VARTYPE result = S::result;
    static constexpr int inputs = S::inputs;
    template <size_t... I>
    static constexpr std::array<VARTYPE, sizeof...(I) + 1> TypesOf(std::index_sequence<I...>) {
        return {ArgVt<std::tuple_element_t<I, Params>>()..., VT_EMPTY};
    }
    static constexpr auto types = TypesOf(std::make_index_sequence<inputs>());
};

template <auto M, size_t... I>
HRESULT CallMember(IDispDynImpl* self, VARIANT* args, VARIANT* result, std::index_sequence<I...>) {
    using T = Traits<M>;
    auto* object = static_cast<typename T::Class*>(self);
    if constexpr (T::result == VT_EMPTY) {
        (void)result;
        return (object->*M)(Get<std::tuple_element_t<I, typename T::Params>>(args[I])...);
    } else {
        using R = std::remove_pointer_t<std::tuple_element_t<T::inputs, typename T::Params>>;
        R value{};
        const HRESULT hr = (object->*M)(Get<std::tuple_element_t<I, typename T::Params>>(args[I])..., &value);
        if (SUCCEEDED(hr)) Put(result, value);
        return hr;
    }
}

template <auto M>
HRESULT Thunk(IDispDynImpl* self, VARIANT* args, VARIANT* result) {
    return CallMember<M>(self, args, result, std::make_index_sequence<Traits<M>::inputs>());
}

}  // namespace dispdetail

// A table entry for `M`, a member `HRESULT Class::M(params...[, R* result])`
// of a class derived from IDispDynImpl. Parameters: int or LONG (VT_I4),
// VARIANT_BOOL, BSTR, IDispatch*, double; the result one of those through a
// pointer. Arguments are only borrowed; an object result is handed over with
// its reference.
template <auto M>
constexpr DispEntry DispMethod(const wchar_t* name, DISPID id = kDispByPosition, int kind = kDispKindMethod) {
    using T = dispdetail::Traits<M>;
    DispEntry e{name, id, kind, T::result, T::inputs, nullptr, {}, 0, &dispdetail::Thunk<M>};
    if constexpr (T::inputs > kDispInlineParams) {
        e.params = T::types.data();
    } else {
        for (int i = 0; i < T::inputs; ++i) e.inlineParams[i] = T::types[i];
    }
    return e;
}
constexpr DispEntry DispEnd() { return DispEntry{}; }

// IDispatch over a table (which ends with DispEnd()). The derived class
// supplies AddRef and Release (CComRefCount, or forwarding to an owner).
class IDispDynImpl : public IDispatch {
   public:
    explicit IDispDynImpl(const DispEntry* table) : table_(table) {}
    virtual ~IDispDynImpl() = default;
    IDispDynImpl(const IDispDynImpl&) = delete;
    IDispDynImpl& operator=(const IDispDynImpl&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    const DispEntry* Table() const { return table_; }

   private:
    const DispEntry* table_;
};

// A host object that scripts may hold: the count starts at 1 and the object
// is freed when it falls to 0.
template <class T>
class CComRefCount final : public T {
   public:
    template <class... A>
    explicit CComRefCount(A&&... args) : T(std::forward<A>(args)...) {}
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return ULONG(n);
    }

   private:
    LONG refs_ = 1;
};

// ---- Errors -----------------------------------------------------------------

// What went wrong in a run, as the user is told about it.
struct ScriptError {
    UINT message = 0;          // 0: nothing; else the string that reports it (kMsg...)
    std::wstring path;         // the script file that was running
    std::wstring source;       // the engine's error source
    std::wstring description;  // empty for compile errors under some engines
    HRESULT scode = S_OK;
    int line = 0;     // 1-based; 0 when unknown
    int column = 0;   // 0-based
    int seconds = 0;  // the time limit that passed (kMsgTimeLimit)
};

constexpr UINT kMsgCannotOpen = 15100;   // path
constexpr UINT kMsgScriptError = 15104;  // path, source, code, description, line
constexpr UINT kMsgNoEngine = 15105;
constexpr UINT kMsgTimeLimit = 15109;    // path, seconds
constexpr UINT kMsgSyntaxError = 15110;  // the description of a compile error without one

// Shows `error` (nothing when its message is 0): script errors and time
// limits with the warning icon, the others with the error icon.
void ReportScriptError(const ScriptError& error, HWND owner);

// A script file as UTF-16: UTF-16LE or UTF-8 after a byte-order mark, else
// text in the ANSI code page. False when the file cannot be read.
bool ReadScriptFile(const std::wstring& path, std::wstring* text);

// ---- Choosing the engine -------------------------------------------------------

// Which engine runs scripts (setting.ini, Setting, ScriptEngine): the
// system's when it can be created, else the program's own; or always the
// program's own.
constexpr int kEngineSystemFirst = 0;
constexpr int kEngineOwn = 1;
// Sets the choice for the whole process (anything but kEngineOwn is
// kEngineSystemFirst) and answers the previous one.
int SetScriptEngineChoice(int choice);
int ScriptEngineChoice();
// A new engine as `choice` says (reference count 1); null only without memory.
IActiveScript* CreateScriptEngine(int choice);
// Whether the system's engine can be created on this thread.
bool SystemScriptEngineAvailable();
// The program identifier of the system's engine ("VBScript"; null restores
// it). Tests name one that does not exist to see the fallback. Answers the
// previous one.
const wchar_t* SetSystemEngineProgId(const wchar_t* progId);

// ---- Stopping a script thread -------------------------------------------------

// The extent [begin, end) of the module that holds `code`; unchanged when
// `code` lies in no module.
void ModuleExtent(const void* code, uintptr_t* begin, uintptr_t* end);
// The engine's module, from the engine object's interface table; an empty
// extent (0, 0) for the program's own engine, whose thread is never ended.
void EngineExtent(IActiveScript* engine, uintptr_t* begin, uintptr_t* end);

enum class ThreadStop { kStopped, kEnded, kElsewhere, kFailed };
// One attempt to end `thread` at a moment when it executes code of the
// module [begin, end) (the script engine's own, so that it holds no lock of
// the process): kStopped when it was ended now, kEnded when it had ended
// already, kElsewhere when it ran other code (it runs on), kFailed when it
// cannot be suspended.
ThreadStop StopThreadInModule(HANDLE thread, uintptr_t begin, uintptr_t end);

// ---- The site ---------------------------------------------------------------

class CScript;

// "Helper": Include(path). Embedded in its site, whose count it shares.
class CScriptHelper final : public IDispDynImpl {
   public:
    explicit CScriptHelper(CScript* site);
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // Parses and runs another script file in the running engine; a relative
    // path is taken from the folder of the file that is running. Answers
    // false (and shows nothing) when the file cannot be read.
    HRESULT Include(BSTR path, VARIANT_BOOL* ok);

    // Runs the file at `path` through `site`; with `receiver`, failures are
    // copied there instead of being shown. Answers true when the script ran
    // without a failure. `entry`, when not empty, is a script function
    // called after the top-level code.
    static bool RunFile(CScript* site, const std::wstring& path, const std::wstring& entry,
                        ScriptError* receiver = nullptr);
    static bool RunText(CScript* site, BSTR text, const std::wstring& entry, ScriptError* receiver = nullptr);

   private:
    CScript* site_;
};

class CScript : public IActiveScriptSite, public IActiveScriptSiteWindow {
   public:
    CScript();
    CScript(const CScript&) = delete;
    CScript& operator=(const CScript&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IActiveScriptSite
    STDMETHODIMP GetLCID(LCID* lcid) override;
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override;
    STDMETHODIMP GetDocVersionString(BSTR* version) override;
    STDMETHODIMP OnScriptTerminate(const VARIANT* result, const EXCEPINFO* exception) override;
    STDMETHODIMP OnStateChange(SCRIPTSTATE state) override;
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override;
    STDMETHODIMP OnEnterScript() override;
    STDMETHODIMP OnLeaveScript() override;
    // IActiveScriptSiteWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // The object of a named item other than "Helper", not add-ref'd; null
    // when there is none.
    virtual IDispatch* FindNamedObject(const wchar_t* name);
    // Adds the derived site's named items to `engine`.
    virtual HRESULT AddNamedItems(IActiveScript* engine);
    virtual ~CScript();

    // Asks the engine to stop the running script; callable from any thread.
    // Answers whether the engine accepted the request.
    bool Interrupt();

    CScriptHelper& Helper() { return helper_; }
    const std::wstring& ScriptPath() const { return scriptPath_; }
    // Names a script run from text in its error reports (and is the folder
    // that its includes are relative to).
    void SetScriptPath(const std::wstring& path) { scriptPath_ = path; }
    HWND Window() const { return window_; }
    void SetWindow(HWND window) { window_ = window; }
    // A windowless site gives the engine no window, so a script cannot
    // open a message box (MsgBox and InputBox fail as script errors).
    void SetWindowless(bool on) { windowless_ = on; }
    bool Running() const { return running_; }
    int ErrorCount() const { return errors_; }

   private:
    friend class CScriptHelper;
    void SetEngine(IActiveScript* engine);

    LONG refs_ = 1;
    IActiveScript* engine_ = nullptr;  // during a run
    bool running_ = false;
    int errors_ = 0;
    HWND window_ = nullptr;
    bool windowless_ = false;
    int includeDepth_ = 0;  // Include calls running now
    std::wstring scriptPath_;
    ScriptError* receiver_ = nullptr;
    CScriptHelper helper_;
    CRITICAL_SECTION engineLock_;  // guards engine_ against Interrupt
};

}  // namespace syntax
