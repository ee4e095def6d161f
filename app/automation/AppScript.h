// The application object model that macros run against, and how a macro is
// run.
//
// A macro sees one named item, "App" (AppVB), whose members are also global
// names. App hands out one Document object (CDocument_VB), pointed at the
// active document's edit control each time App gives it out, and Menu
// objects (CMenu_VB). Names match ignoring case; wrong names, argument
// counts and types fail with the dispatch errors of the script host.
//
// A macro runs on a worker thread of its own, while the main thread waits
// with its windows alive (painting, timers, messages other programs send).
// Every call a macro makes into the object model is carried out on the main
// thread, in order, so the objects touch windows only there (inserts at the
// caret, which answer nothing, are gathered on the macro's thread and carried
// out as one, before the next other call, a message box of the script's, the
// macro's end, or when they have waited 100 ms; ActiveDoc is answered there
// while the main thread knows the active pane); keys pressed
// meanwhile wait until the macro ends, except Esc, which stops it. A macro
// that never ends (a loop that calls nothing of ours) is stopped by ending
// its thread at a moment when it runs the script engine's own code, since an
// engine may not honour a request to stop.
//
// All runs of one play form one undo step of each document they edit: the
// control's undo group is held from before the first run to after the last,
// whatever groups the macro opens and closes itself.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "DevEnv.h"
#include "ScriptHost.h"

namespace automation {

struct RunState;

// A host object whose calls are carried out on the thread that started the
// run, whichever thread the engine calls it on; once the run is being
// stopped, every call fails with E_ABORT.
class CUiObject : public syntax::IDispDynImpl {
   public:
    CUiObject(const syntax::DispEntry* table, std::shared_ptr<RunState> run);
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

   protected:
    RunState& Run() const { return *run_; }
    const std::shared_ptr<RunState>& State() const { return run_; }
    // A member that is called on the engine's thread (one that only waits).
    virtual bool RunsOnCaller(DISPID) const { return false; }
    // On the engine's thread, with the arguments taken: true when the call
    // was dealt with there without waiting for the main thread (an insert
    // left for it to carry out before the next call, ActiveDoc answered
    // from the pane it knows).
    virtual bool Defer(DISPID, WORD, const DISPPARAMS&, VARIANT*) { return false; }

   private:
    std::shared_ptr<RunState> run_;
};

class CAppScript;

// Menu: a popup menu and its owner window.
class CMenu_VB : public CUiObject {
   public:
    CMenu_VB(std::shared_ptr<RunState> run, HWND owner);
    ~CMenu_VB() override;

    // Appends an item; an empty text appends a separator.
    HRESULT AddItem(int id, BSTR text);
    // The item's text; "" for id 0 and for an identifier not in the menu.
    HRESULT GetText(int id, BSTR* text);
    // Shows the menu at the position of the last message and answers the
    // chosen identifier without sending it; 0 when dismissed.
    HRESULT Popup(int* chosen);

    HMENU Handle() const { return menu_; }

   private:
    HMENU menu_;
    HWND owner_;
};

// Document: acts on the edit control it was last pointed at.
class CDocument_VB final : public CUiObject {
   public:
    CDocument_VB(CAppScript* site, std::shared_ptr<RunState> run, IDevEnv* env);
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // Points the object at the active document's edit control (on the main
    // thread), or at `control`.
    void PointAtActive();
    void PointAt(HWND control) { control_ = control; }
    HWND Control() const { return control_; }

    HRESULT SendCommand(int id);
    HRESULT Refresh();
    HRESULT InsertAt(int line, int column, BSTR text);
    HRESULT Insert(BSTR text);
    HRESULT Delete();
    HRESULT DeleteAt(int line1, int column1, int line2, int column2);
    HRESULT SetCaretPos(int line, int column, VARIANT_BOOL extend);
    HRESULT SetSelection(int anchorLine, int anchorColumn, int caretLine, int caretColumn);
    HRESULT CreateMenu(IDispatch** menu);
    HRESULT GetLineText(int line, BSTR* text);
    HRESULT GetLineLength(int line, int* length);
    HRESULT ReplaceAll(BSTR find, BSTR replace, int flags, int* count);
    HRESULT CaretLine(int* line);
    HRESULT CaretCol(int* column);
    HRESULT LineCount(int* count);
    HRESULT GetSelection(BSTR* text);
    HRESULT PutSelection(BSTR text);
    HRESULT GetCodepage(int* codePage);
    HRESULT PutCodepage(int codePage);
    HRESULT PathName(BSTR* path);
    HRESULT Dirty(VARIANT_BOOL* dirty);
    HRESULT GroupUndo(VARIANT_BOOL on);

   private:
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const;
    // Insert: gathered with the inserts before it into one.
    bool Defer(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) override;

    CAppScript* site_;
    IDevEnv* env_;
    HWND control_ = nullptr;
};

// App: the application.
class AppVB final : public CUiObject {
   public:
    AppVB(CAppScript* site, std::shared_ptr<RunState> run, IDevEnv* env);
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    HRESULT SendCommand(int id);
    HRESULT NewDoc(IDispatch** document);
    HRESULT OpenDoc(BSTR path, IDispatch** document);
    HRESULT CreateMenu(IDispatch** menu);
    HRESULT Sleep(int milliseconds);
    HRESULT ActiveChild(IDispatch** document);
    HRESULT ActiveDoc(IDispatch** document);

   private:
    bool RunsOnCaller(DISPID id) const override;
    // ActiveDoc, ActiveChild: answered on the macro's thread while the main
    // thread knows the active pane.
    bool Defer(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) override;
    HRESULT Document(IDispatch** document);

    CAppScript* site_;
    IDevEnv* env_;
};

// The site of one macro run: "App" with global members.
class CAppScript final : public syntax::CScript {
   public:
    CAppScript(std::shared_ptr<RunState> run, IDevEnv* env, HWND activeWindow);

    IDispatch* FindNamedObject(const wchar_t* name) override;
    HRESULT AddNamedItems(IActiveScript* engine) override;
    // The engine asks before it shows a message box of the script's own:
    // what the macro did before it is carried out first.
    STDMETHODIMP GetWindow(HWND* window) override;

    AppVB& App() { return app_; }
    CDocument_VB& Document() { return document_; }
    IDevEnv* Env() const { return env_; }
    HWND Frame() const { return frame_; }

   private:
    std::shared_ptr<RunState> run_;
    IDevEnv* env_;
    HWND frame_;
    AppVB app_;
    CDocument_VB document_;
};

// ---- Running macros ----------------------------------------------------------

enum class MacroOutcome {
    kDone,     // every run ended without an error
    kFailed,   // a run failed (reported through the message sink)
    kStopped,  // stopped by Esc or StopMacros
    kRefused,  // macros were nested too deeply
};

// Runs `text` (a macro's source) `times` times (none when 0 or less), each
// run through a new CAppScript, stopping at the first failure, within one
// undo step of the documents it edits. `name` (a file's path) names the
// macro in error reports and is where its includes are found. Must be
// called on the thread that owns the frame.
MacroOutcome PlayMacro(IDevEnv* env, const std::wstring& text, const std::wstring& name, int times = 1);

// Asks every running macro to stop (Esc while a macro runs does the same).
void StopMacros();
// How many macro runs are in progress (a macro may run another).
int RunningMacros();

// Where an error of the recorded macro is said to be.
std::wstring RecordedMacroName();

}  // namespace automation
