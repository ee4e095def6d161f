// The program's own script engine behind the ActiveScript interfaces: the
// language core (engine/Engine.h) driven exactly as the script host drives
// the system's engine, so that syntax definitions and macros run the same on
// a system without that engine.
//
// CScriptEngine implements IActiveScript and IActiveScriptParse:
// - AddNamedItem asks the site for the item's object and hands the engine a
//   wrapper (CDispatchObject) that calls it by name through IDispatch, with a
//   cache of dispatch identifiers per object; script variables go to the
//   object as VT_BYREF|VT_VARIANT, and what the object changed is copied
//   back, so by-reference parameters of host methods work.
// - ParseScriptText compiles and runs the text (also from within a running
//   script: an include); a failure is reported to the site through
//   OnScriptError with an IActiveScriptError object, then answered with
//   SCRIPT_E_REPORTED.
// - GetScriptDispatch calls the script's global procedures by name.
// - SetScriptState(DISCONNECTED) and InterruptScriptThread (from any thread)
//   stop the running script at its next statement.
// Values that go to a host object become variants: script objects as an
// IDispatch that calls back into them, arrays as SAFEARRAYs of variants
// (column-major, as the engine stores them).
//
// The engine's own requests (CreateObject, MsgBox, InputBox) go to the
// system's class registry, the program's message sink and a small dialog.
// A site that gives no window (a syntax script on its worker) makes MsgBox
// and InputBox script errors.
//
// Nothing here throws across a COM method: failures become HRESULTs.
#pragma once

#include <windows.h>
// after windows.h
#include <activscp.h>
#include <oleauto.h>

#include <string>

#include "Value.h"

namespace syntax {

// A new engine (reference count 1), or null when there is no memory.
IActiveScript* CreateOwnScriptEngine();
// Whether `engine` is one of ours (it lies in the program's own module and
// stops on request, so its thread is never to be ended from outside).
bool IsOwnScriptEngine(IUnknown* engine);

// What InputBox shows is answered by `hook` instead of a dialog (tests).
// False from the hook is Cancel. Null restores the dialog. Answers the
// previous hook.
using InputBoxHook = bool (*)(HWND owner, const std::wstring& prompt, const std::wstring& title,
                              const std::wstring& initial, std::wstring* answer);
InputBoxHook SetInputBoxHook(InputBoxHook hook);

// ---- Values and variants (the engine's conversions, open to tests) ----------

// `value` as a variant the caller owns (VariantClear it). Script objects
// become an IDispatch over them, host objects their own IDispatch again.
// Answers E_OUTOFMEMORY or DISP_E_TYPEMISMATCH on failure.
HRESULT ValueToVariant(const script::CValue& value, VARIANT* out);
// A variant (by reference or not) as a value: objects wrapped (an IDispatch
// over a script object gives the script object back), arrays of any element
// type as arrays of values. Throws script::ScriptError (Type mismatch) for a
// type the language has no value for.
script::CValue VariantToValue(const VARIANT& v);

// `dispatch` as a script object (it is add-ref'd). Exposed for tests.
std::shared_ptr<script::CObject> WrapDispatch(IDispatch* dispatch);

// The stack the running thread has left below `here`, in bytes.
size_t StackLeft(const void* here);

}  // namespace syntax
