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

class Instance;
class ErrObject;
struct Frame;

class Interpreter {
   public:
    explicit Interpreter(Host* host);
    ~Interpreter();

    void AddNamedItem(StringView name, std::shared_ptr<Object> object, bool globalMembers);
    void Run(StringView text, int firstLine);
    int ProcedureId(StringView name) const;
    String ProcedureName(int id) const;
    Value Call(int id, std::span<Value* const> args);

    void Interrupt() { interrupted_.store(true, std::memory_order_relaxed); }
    void Resume() { interrupted_.store(false, std::memory_order_relaxed); }
    bool Interrupted() const { return interrupted_.load(std::memory_order_relaxed); }
    void SetStackBudget(size_t bytes) { stack_.budget = bytes; }

    // Members of script class instances (Instance::Invoke comes here).
    Value InvokeInstance(Instance& inst, StringView name, unsigned flags, std::span<Value* const> args,
                         bool allowPrivate);
    void Terminate(Instance* inst);
    Value InvokeFromHost(Instance& inst, StringView name, unsigned flags, std::span<Value* const> args);
    Value CallFromHost(const Proc* p, std::span<Value* const> args);
    // The script's globals as members of one object: what Me is outside a class.
    Value InvokeGlobal(StringView name, unsigned flags, std::span<Value* const> args);
    bool HasGlobal(StringView name) const;
    Value CallProc(const Proc* p, const std::shared_ptr<Object>& me, Instance* inst,
                   std::span<Value* const> args);

   private:
    friend class EntryGuard;
    struct Global {
        String name;
        Value value;
        const Proc* proc = nullptr;
        const ClassDef* cls = nullptr;
        bool isConst = false;
    };
    struct NamedItem {
        String name;
        std::shared_ptr<Object> object;
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
    std::shared_ptr<ErrObject> err_;
    std::shared_ptr<int> alive_;
    std::shared_ptr<Object> globalScope_;  // made when Me is first used outside a class

    void RunText(StringView text, int firstLine, bool transient, Frame* outer = nullptr);
    Value* OuterPlace(Expr& e, Frame& f);
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
    void Assign(Expr& target, Value& v, unsigned flags, Frame& f);  // takes v
    bool Condition(Expr& e, Frame& f);
    bool HeaderCondition(Expr& e, const Stmt& s, Frame& f, bool* failed = nullptr);

    // Expressions.
    void Resolve(Expr& e, Frame& f);
    void EnsureResolved(Expr& e, Frame& f) {
        if (e.resolved == Resolved::None ||
            (e.resolved >= Resolved::ImplicitLocal && e.generation != generation_))
            Resolve(e, f);
    }
    Value* VariableOf(Expr& e, Frame& f);  // the variable a Name stands for, or null
    Value Eval(Expr& e, Frame& f);
    const Value& EvalRef(Expr& e, Frame& f, Value& tmp);
    Value EvalName(Expr& e, Frame& f);
    Value EvalBinary(Expr& e, Frame& f);
    Value EvalBinarySlow(Expr& e, Frame& f);
    Value BinaryOf(ops::Op op, const Value& a, const Value& b);
    const Value* PlaceOf(Expr& e, Frame& f);
    Value BinaryOfObjects(ops::Op op, const Value& a, const Value& b);
    Value EvalOther(Expr& e, Frame& f);
    Value CallWithArgs(const Proc* p, const std::shared_ptr<Object>& me, Instance* inst,
                       std::vector<ExprP>& argExprs, Frame& f);
    Value CallNamedItem(Expr& n, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    Value CallVariable(Expr& n, const Value& var, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    Value CallObject(Value target, StringView name, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    Value CallMemberOf(Expr& callee, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    Value CallValue(Expr& callee, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    void Caught(ScriptError& e, const Stmt& s, Frame& f);
    void CaughtOutOfMemory(const Stmt& s, Frame& f);
    void ExecAssign(Stmt& s, Frame& f);
    Flow ExecSelect(Stmt& s, Frame& f);
    Value HeaderValue(Expr& e, const Stmt& s, Frame& f, bool plain, bool* failed);
    void CaughtInHeader(const Stmt& s, Frame& f);
    Flow ExecOther(Stmt& s, Frame& f);
    Value EvalCall(Expr& call, std::vector<ExprP>& argExprs, Frame& f, unsigned flags, Expr* callee);
    // `p`: the script procedure called (elements are lent to its ByRef parameters only).
    void BuildArgs(std::vector<ExprP>& argExprs, Frame& f, Args& out, const Proc* p = nullptr);
    Value* LendElement(Expr& call, Frame& f, Args& out);
    Value CallBuiltin(const Builtin* b, std::vector<ExprP>& argExprs, Frame& f);
    Value CallEngineBuiltin(int which, std::vector<ExprP>& argExprs, Frame& f);
    Value CallMember(const Member* m, std::vector<ExprP>& argExprs, Frame& f, unsigned flags);
    // `byRef`: which of `args` go by reference (BuildArgs); empty: none.
    Value InvokeOn(const Value& target, StringView name, unsigned flags, std::span<Value* const> args,
                   Frame& f, RefMask byRef = 0);
    Value IndexValue(const Value& v, std::span<Value* const> args, unsigned flags,
                     RefMask byRef = 0);
    Value NewInstance(Expr& e, Frame& f);
    std::shared_ptr<Array> MakeArray(std::vector<ExprP>& bounds, Frame& f, bool fixed);
};

}  // namespace script
