// The script engine: compiles script text and runs it, keeps the global
// procedures, classes and variables between runs (an included file's
// procedures are visible to the file that included it), and calls a
// procedure by name. The COM layer (ScriptEngine in app/syntax) puts the
// ActiveScript interfaces over it; tests and the fuzzer use it directly.
//
// One engine belongs to one thread at a time; only Interrupt may be called
// from another thread.
#pragma once

#include <atomic>
#include <memory>
#include <span>

#include "Value.h"

namespace script {

// What the engine asks of the program that embeds it.
class CHost {
   public:
    virtual ~CHost() = default;
    // CreateObject(progId): throws ScriptError (429) when it cannot.
    virtual CValue CreateObject(StringView progId);
    // MsgBox: the button pressed (vbOK = 1 ... vbNo = 7); throws when no box
    // can be shown.
    virtual int MsgBox(StringView prompt, int buttons, StringView title);
    // InputBox: false when cancelled.
    virtual bool InputBox(StringView prompt, StringView title, StringView initial, String* answer);
    // Now, as a date (days since 30 December 1899, local time).
    virtual double Now();
};

class CInterpreter;

class CEngine {
   public:
    explicit CEngine(CHost* host);
    ~CEngine();
    CEngine(const CEngine&) = delete;
    CEngine& operator=(const CEngine&) = delete;

    // Makes `object` visible as `name`; with `globalMembers` its members can
    // also be used without the name (a name the script declares itself
    // comes first).
    void AddNamedItem(StringView name, std::shared_ptr<CObject> object, bool globalMembers);

    // Compiles `text` whole, then runs its top-level code. Procedures and
    // classes are known before the first statement runs. May be called
    // again, also from within a running script (an include). Throws
    // ScriptError with the line and column of the failure (0-based, counted
    // from `firstLine`); compilation errors run nothing.
    void Run(StringView text, int firstLine = 0);

    // A global Sub or Function: its number, or -1.
    int ProcedureId(StringView name) const;
    String ProcedureName(int id) const;
    // Calls procedure `id` with `args` (by-reference parameters change the
    // values pointed at). Throws ScriptError.
    CValue Call(int id, std::span<CValue* const> args);

    // Ends the running script as soon as it reaches its next statement or
    // loop turn, with an error On Error Resume Next cannot take (18, User
    // interrupt occurred); the engine refuses to run until Resume.
    void Interrupt();
    void Resume();
    bool Interrupted() const;

    // The bytes of stack the script may use (deep recursion ends with "Out
    // of stack space" before it overflows the thread's stack).
    void SetStackBudget(size_t bytes);

   private:
    std::unique_ptr<CInterpreter> interp_;
};

}  // namespace script
