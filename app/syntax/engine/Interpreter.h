// Runs compiled programs: the global table, frames of procedure calls with
// their local slots, script class instances, the Err object, and the
// functions that need the interpreter (Eval, Execute, GetRef...).
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "Ast.h"
#include "Builtins.h"
#include "Engine.h"
#include "Parser.h"

namespace script {

class CInstance;
class CErrObject;
struct Frame;

class CInterpreter {
   public:
    explicit CInterpreter(CHost* host);
    ~CInterpreter();

    void AddNamedItem(StringView name, std::shared_ptr<CObject> object, bool globalMembers);
    void Run(StringView text, int firstLine);
    int ProcedureId(StringView name) const;
    String ProcedureName(int id) const;
    CValue Call(int id, std::span<CValue* const> args);

    void Interrupt() { interrupted_.store(true, std::memory_order_relaxed); }
    void Resume() { interrupted_.store(false, std::memory_order_relaxed); }
    bool Interrupted() const { return interrupted_.load(std::memory_order_relaxed); }
    void SetStackBudget(size_t bytes) { stack_.budget = bytes; }

    // Members of script class instances (CInstance::Invoke comes here).
    CValue InvokeInstance(CInstance& inst, StringView name, unsigned flags, std::span<CValue* const> args,
                         bool allowPrivate);
    void Terminate(CInstance* inst);
    CValue InvokeFromHost(CInstance& inst, StringView name, unsigned flags, std::span<CValue* const> args);
    CValue CallFromHost(const Proc* p, std::span<CValue* const> args);
    // The script's globals as members of one object: what Me is outside a class.
    CValue InvokeGlobal(StringView name, unsigned flags, std::span<CValue* const> args);
    bool HasGlobal(StringView name) const;
    CValue CallProc(const Proc* p, const std::shared_ptr<CObject>& me, CInstance* inst,
                   std::span<CValue* const> args);

   private:
    friend class CEntryGuard;
    struct Global {
        String name;
        CValue value;
        const Proc* proc = nullptr;
        const ClassDef* cls = nullptr;
        bool isConst = false;
    };
    struct NamedItem {
        String name;
        std::shared_ptr<CObject> object;
        bool globalMembers = false;
    };
    struct Args;

    RuntimeState state_;
    std::atomic<bool> interrupted_{false};
    StackLimit stack_;
    int depth_ = 0;
    uint32_t generation_ = 1;
    std::deque<Global> globals_;
    NameMap<int> globalIndex_;
    std::vector<NamedItem> items_;
    std::vector<std::unique_ptr<Program>> programs_;
    std::shared_ptr<CErrObject> err_;
    std::shared_ptr<int> alive_;
    std::shared_ptr<CObject> globalScope_;  // made when Me is first used outside a class

    void RunText(StringView text, int firstLine, bool transient, Frame* outer = nullptr);
    CValue* OuterPlace(Expr& e, Frame& f);
    void Register(Program& p, Frame& f);
    void InitLocals(const Proc* p, Frame& f);
    int EnsureGlobal(const String& name);
    [[noreturn]] void ThrowInterrupted();
    void CheckInterrupt() {
        if (interrupted_.load(std::memory_order_relaxed)) ThrowInterrupted();
    }

    // Statements.
    Flow ExecBlock(const Block& block, Frame& f);
    Flow Exec(const Stmt& s, Frame& f);
    void ExecCall(const Stmt& s, Frame& f);
    void ExecReDim(const Stmt& s, Frame& f);
    Flow ExecFor(const Stmt& s, Frame& f);
    Flow ExecForEach(const Stmt& s, Frame& f);
    Flow ExecDo(const Stmt& s, Frame& f);
    void Assign(Expr& target, CValue& v, unsigned flags, Frame& f);  // takes v
    bool Condition(Expr& e, Frame& f);
    bool HeaderCondition(Expr& e, const Stmt& s, Frame& f, bool* failed = nullptr);

    // Expressions.
    void Resolve(Expr& e, Frame& f);
    void EnsureResolved(Expr& e, Frame& f) {
        if (e.resolved == Resolved::None ||
            (e.resolved >= Resolved::ImplicitLocal && e.generation != generation_))
            Resolve(e, f);
    }
    CValue* VariableOf(Expr& e, Frame& f);  // the variable a Name stands for, or null
    CValue Eval(Expr& e, Frame& f);
    const CValue& EvalRef(Expr& e, Frame& f, CValue& tmp);
    CValue EvalName(Expr& e, Frame& f);
    CValue EvalBinary(Expr& e, Frame& f);
    CValue EvalBinarySlow(Expr& e, Frame& f);
    CValue BinaryOf(ops::Op op, const CValue& a, const CValue& b);
    const CValue* PlaceOf(Expr& e, Frame& f);
    CValue BinaryOfObjects(ops::Op op, const CValue& a, const CValue& b);
    CValue EvalOther(Expr& e, Frame& f);
    CValue CallWithArgs(const Proc* p, const std::shared_ptr<CObject>& me, CInstance* inst,
                       std::vector<ExprP>& argExprs, Frame& f);
    CValue CallNamedItem(Expr& n, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    CValue CallVariable(Expr& n, const CValue& var, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    CValue CallObject(CValue target, StringView name, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    CValue CallMemberOf(Expr& callee, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    CValue CallValue(Expr& callee, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    void Caught(ScriptError& e, const Stmt& s, Frame& f);
    void CaughtOutOfMemory(const Stmt& s, Frame& f);
    void ExecAssign(Stmt& s, Frame& f);
    Flow ExecSelect(Stmt& s, Frame& f);
    CValue HeaderValue(Expr& e, const Stmt& s, Frame& f, bool plain, bool* failed);
    void CaughtInHeader(const Stmt& s, Frame& f);
    Flow ExecOther(Stmt& s, Frame& f);
    CValue EvalCall(Expr& call, std::vector<ExprP>& argExprs, Frame& f, unsigned flags, Expr* callee);
    // `p`: the script procedure called (elements are lent to its ByRef parameters only).
    void BuildArgs(std::vector<ExprP>& argExprs, Frame& f, Args& out, const Proc* p = nullptr);
    CValue* LendElement(Expr& call, Frame& f, Args& out);
    CValue CallBuiltin(const Builtin* b, std::vector<ExprP>& argExprs, Frame& f);
    CValue CallEngineBuiltin(int which, std::vector<ExprP>& argExprs, Frame& f);
    CValue CallMember(const Member* m, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    // `byRef`: which of `args` go by reference (BuildArgs); empty: none.
    CValue InvokeOn(const CValue& target, StringView name, unsigned flags, std::span<CValue* const> args,
                   Frame& f, RefMask byRef = 0);
    CValue IndexValue(const CValue& v, std::span<CValue* const> args, unsigned flags,
                     RefMask byRef = 0);
    CValue NewInstance(Expr& e, Frame& f);
    std::shared_ptr<Array> MakeArray(std::vector<ExprP>& bounds, Frame& f, bool fixed);
};

}  // namespace script
