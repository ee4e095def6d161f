#include "InterpreterParts.h"

namespace script {

// ---- Names ---------------------------------------------------------------------------------

void CInterpreter::Resolve(Expr& e, Frame& f) {
    const Proc* p = f.proc;
    e.readOnly = false;
    if (p->kind != ProcKind::Main) {
        auto it = p->locals.find(e.name);
        if (it != p->locals.end()) {
            e.index = it->second;
            e.resolved = it->second == 0 ? Resolved::ReturnSlot : Resolved::Local;
            e.readOnly = p->constNames.count(e.name) > 0;
            return;
        }
    }
    if (p->cls) {
        auto it = p->cls->members.find(e.name);
        if (it != p->cls->members.end()) {
            if (it->second.field >= 0) {
                e.resolved = Resolved::Field;
                e.index = it->second.field;
            } else {
                e.resolved = Resolved::ClassMember;
                e.member = &it->second;
            }
            return;
        }
    }
    if (p->kind == ProcKind::Main && f.outer) {
        const Proc* op = f.outer->proc;
        auto it = op->locals.find(e.name);
        if (it != op->locals.end()) {
            e.resolved = Resolved::OuterLocal;
            e.index = it->second;
            e.readOnly = op->constNames.count(e.name) > 0;
            return;
        }
        if (op->cls) {
            auto m = op->cls->members.find(e.name);
            if (m != op->cls->members.end() && m->second.field >= 0) {
                e.resolved = Resolved::OuterField;
                e.index = m->second.field;
                return;
            }
        }
    }
    if (auto it = globalIndex_.find(e.name); it != globalIndex_.end()) {
        e.resolved = Resolved::Global;
        e.index = it->second;
        return;
    }
    e.generation = generation_;
    for (size_t i = 0; i < items_.size(); ++i)
        if (SameName(items_[i].name, e.name)) {
            e.resolved = Resolved::NamedItem;
            e.index = int(i);
            return;
        }
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].globalMembers && items_[i].object && items_[i].object->HasMember(e.name)) {
            e.resolved = Resolved::GlobalMember;
            e.index = int(i);
            return;
        }
    for (int i = 0; i < int(std::size(kEngineFns)); ++i)
        if (SameName(kEngineFns[i], e.name)) {
            e.resolved = Resolved::EngineBuiltin;
            e.index = i;
            return;
        }
    if (const Builtin* b = FindBuiltin(e.name)) {
        e.resolved = Resolved::Builtin;
        e.builtin = b;
        return;
    }
    if (FindConstant(e.name, &e.constant)) {
        e.resolved = Resolved::Constant;
        return;
    }
    if (p->program && p->program->optionExplicit) {
        e.resolved = Resolved::Undefined;
        return;
    }
    if (p->kind != ProcKind::Main) {
        auto it = p->implicitLocals.find(e.name);
        if (it != p->implicitLocals.end()) {
            e.resolved = Resolved::ImplicitLocal;
            e.index = it->second;
            return;
        }
    }
    if (p->kind == ProcKind::Main && f.outer) {
        auto it = f.outer->proc->implicitLocals.find(e.name);
        if (it != f.outer->proc->implicitLocals.end()) {
            e.resolved = Resolved::OuterLocal;
            e.index = it->second;
            return;
        }
    }
    e.index = EnsureGlobal(e.name);
    e.resolved = Resolved::Global;
}

CValue* CInterpreter::VariableOf(Expr& e, Frame& f) {
    switch (e.resolved) {
        case Resolved::Local:
            if (e.readOnly) return nullptr;
            [[fallthrough]];
        case Resolved::ReturnSlot:
        case Resolved::ImplicitLocal: return f.slots[size_t(e.index)];
        case Resolved::Field: return f.inst ? &f.inst->fields[size_t(e.index)] : nullptr;
        case Resolved::Global: {
            Global& g = globals_[size_t(e.index)];
            return g.proc || g.cls || g.isConst ? nullptr : &g.value;
        }
        case Resolved::OuterLocal:
        case Resolved::OuterField: return e.readOnly ? nullptr : OuterPlace(e, f);
        default: return nullptr;
    }
}

CValue* CInterpreter::OuterPlace(Expr& e, Frame& f) {
    Frame* o = f.outer;
    if (!o) Raise(err::kObjectRequired);
    if (e.resolved == Resolved::OuterLocal) return o->slots[size_t(e.index)];
    if (!o->inst) Raise(err::kObjectRequired);
    return &o->inst->fields[size_t(e.index)];
}

CValue CInterpreter::EvalName(Expr& e, Frame& f) {
    EnsureResolved(e, f);
    switch (e.resolved) {
        case Resolved::Local:
        case Resolved::ReturnSlot:
        case Resolved::ImplicitLocal: return *f.slots[size_t(e.index)];
        case Resolved::Field:
            if (!f.inst) Raise(err::kObjectRequired);
            return f.inst->fields[size_t(e.index)];
        case Resolved::OuterLocal:
        case Resolved::OuterField: return *OuterPlace(e, f);
        case Resolved::ClassMember: {
            std::vector<ExprP> none;
            return CallMember(e.member, none, f, kCallMethod | kCallGet);
        }
        case Resolved::Global: {
            Global& g = globals_[size_t(e.index)];
            if (g.proc) return CallProc(g.proc, nullptr, nullptr, {});
            if (g.cls) RaiseNamed(err::kTypeMismatch, e.name);
            return g.value;
        }
        case Resolved::NamedItem: return CValue::Obj(items_[size_t(e.index)].object);
        case Resolved::GlobalMember: {
            std::shared_ptr<CObject> o = items_[size_t(e.index)].object;
            return o->Invoke(e.name, kCallMethod | kCallGet, {});
        }
        case Resolved::Builtin: {
            std::vector<ExprP> none;
            return CallBuiltin(e.builtin, none, f);
        }
        case Resolved::EngineBuiltin: {
            std::vector<ExprP> none;
            return CallEngineBuiltin(e.index, none, f);
        }
        case Resolved::Constant: return e.constant;
        case Resolved::Undefined:
        default: RaiseNamed(err::kUndefined, e.name);
    }
}

const CValue& CInterpreter::EvalRef(Expr& e, Frame& f, CValue& tmp) {
    if (e.kind == EK::Name) {
        EnsureResolved(e, f);
        switch (e.resolved) {
            case Resolved::Local:
            case Resolved::ReturnSlot:
            case Resolved::ImplicitLocal: return *f.slots[size_t(e.index)];
            case Resolved::Field:
                if (f.inst) return f.inst->fields[size_t(e.index)];
                break;
            case Resolved::Global: {
                Global& g = globals_[size_t(e.index)];
                if (!g.proc && !g.cls) return g.value;
                break;
            }
            case Resolved::Constant: return e.constant;
            case Resolved::OuterLocal:
            case Resolved::OuterField: return *OuterPlace(e, f);
            default: break;
        }
    } else if (e.kind == EK::Literal) {
        return e.value;
    }
    tmp = Eval(e, f);
    return tmp;
}

// ---- Expressions -------------------------------------------------------------------------

CValue CInterpreter::Eval(Expr& e, Frame& f) {
    switch (e.kind) {
        case EK::Literal: return e.value;
        case EK::Name: return EvalName(e, f);
        case EK::Paren: return Eval(*e.a, f);
        case EK::Binary: return EvalBinary(e, f);
        case EK::Call: return EvalCall(e, e.args, f, kCallMethod | kCallGet, e.a.get());
        default: return EvalOther(e, f);
    }
}

NOINLINE CValue CInterpreter::EvalBinary(Expr& e, Frame& f) {
    stack_.Check();
    // Variables and literals are read in place; Integer and Long operands
    // take the short way.
    const CValue* pa = PlaceOf(*e.a, f);
    const CValue* pb = pa ? PlaceOf(*e.b, f) : nullptr;
    if (pb && IsIntegral(*pa) && IsIntegral(*pb)) {
        const int64_t x = IntegralOf(*pa), y = IntegralOf(*pb);
        const bool both = pa->type() == Type::Integer && pb->type() == Type::Integer;
        switch (e.op) {
            case ops::Op::Add: return IntegralResult(x + y, both);
            case ops::Op::Sub: return IntegralResult(x - y, both);
            case ops::Op::Mul: return IntegralResult(x * y, both);
            case ops::Op::Mod:
                if (y != 0) return IntegralResult(x % y, both);
                break;
            case ops::Op::Eq: return CValue::Boolean(x == y);
            case ops::Op::Ne: return CValue::Boolean(x != y);
            case ops::Op::Lt: return CValue::Boolean(x < y);
            case ops::Op::Le: return CValue::Boolean(x <= y);
            case ops::Op::Gt: return CValue::Boolean(x > y);
            case ops::Op::Ge: return CValue::Boolean(x >= y);
            default: break;
        }
    }
    if (pb) return BinaryOf(e.op, *pa, *pb);
    return EvalBinarySlow(e, f);
}

NOINLINE CValue CInterpreter::EvalBinarySlow(Expr& e, Frame& f) {
    // Left to right, each side a value of its own (a call on the right may change a variable on the left).
    CValue a = Eval(*e.a, f);
    CValue b = Eval(*e.b, f);
    return BinaryOf(e.op, a, b);
}

CValue CInterpreter::BinaryOf(ops::Op op, const CValue& a, const CValue& b) {
    if (a.IsObject() || b.IsObject()) return BinaryOfObjects(op, a, b);
    return ops::Binary(op, a, b);
}

// Where a variable, constant or literal operand is (no copy), or null.
const CValue* CInterpreter::PlaceOf(Expr& e, Frame& f) {
    if (e.kind == EK::Literal) return &e.value;
    if (e.kind != EK::Name) return nullptr;
    EnsureResolved(e, f);
    switch (e.resolved) {
        case Resolved::Local:
        case Resolved::ReturnSlot:
        case Resolved::ImplicitLocal: return f.slots[size_t(e.index)];
        case Resolved::Field: return f.inst ? &f.inst->fields[size_t(e.index)] : nullptr;
        case Resolved::Global: {
            Global& g = globals_[size_t(e.index)];
            return g.proc || g.cls ? nullptr : &g.value;
        }
        case Resolved::Constant: return &e.constant;
        case Resolved::OuterLocal:
        case Resolved::OuterField: return OuterPlace(e, f);
        default: return nullptr;
    }
}

NOINLINE CValue CInterpreter::BinaryOfObjects(ops::Op op, const CValue& a, const CValue& b) {
    CValue pa = a.IsObject() ? Plain(a) : a;
    CValue pb = b.IsObject() ? Plain(b) : b;
    return ops::Binary(op, pa, pb);
}

NOINLINE CValue CInterpreter::EvalOther(Expr& e, Frame& f) {
    stack_.Check();
    switch (e.kind) {
        case EK::Negate: {
            CValue v = Eval(*e.a, f);
            return ops::Negate(v.IsObject() ? Plain(v) : v);
        }
        case EK::Not: {
            CValue v = Eval(*e.a, f);
            return ops::Not(v.IsObject() ? Plain(v) : v);
        }
        case EK::Is: {
            CValue a = Eval(*e.a, f);
            CValue b = Eval(*e.b, f);
            if (!a.IsObject() || !b.IsObject()) Raise(err::kObjectRequired);
            const void* ia = a.object() ? a.object()->Identity() : nullptr;
            const void* ib = b.object() ? b.object()->Identity() : nullptr;
            return CValue::Boolean(ia == ib);
        }
        case EK::Member: {
            CValue target = Eval(*e.a, f);
            return InvokeOn(target, e.name, kCallMethod | kCallGet, {}, f);
        }
        case EK::New: return NewInstance(e, f);
        case EK::Me:
            if (!f.me) {
                if (!globalScope_) globalScope_ = std::make_shared<CGlobalScope>(this, alive_);
                return CValue::Obj(globalScope_);
            }
            return CValue::Obj(f.me);
        case EK::With: return f.with[size_t(e.index)];
        default: Raise(err::kSyntax);
    }
}

// callee(args) as a value (flags Method|Get) or as a statement (Method).
CValue CInterpreter::EvalCall(Expr& call, std::vector<ExprP>& argExprs, Frame& f, unsigned flags,
                            Expr* callee) {
    (void)call;
    stack_.Check();
    if (callee->kind == EK::Name) {
        Expr& n = *callee;
        EnsureResolved(n, f);
        switch (n.resolved) {
            case Resolved::ReturnSlot:
                // The function's own name with arguments: a recursive call.
                if ((!argExprs.empty() || !(flags & kCallGet)) && !f.slots[0]->IsArray())
                    return CallWithArgs(f.proc, f.me, f.inst, argExprs, f);
                [[fallthrough]];
            case Resolved::Local:
            case Resolved::ImplicitLocal:
            case Resolved::Field: {
                CValue* var = n.resolved == Resolved::Field
                                 ? (f.inst ? &f.inst->fields[size_t(n.index)] : nullptr)
                                 : f.slots[size_t(n.index)];
                if (!var) Raise(err::kObjectRequired);
                return CallVariable(n, *var, argExprs, f, flags);
            }
            case Resolved::OuterLocal:
                // Eval or Execute naming the calling function with arguments: a recursive call.
                if (n.index == 0 && (!argExprs.empty() || !(flags & kCallGet))) {
                    Frame* o = OuterOf(f);
                    if (o &&
                        (o->proc->kind == ProcKind::Function || o->proc->kind == ProcKind::PropertyGet) &&
                        !o->slots[0]->IsArray())
                        return CallWithArgs(o->proc, o->me, o->inst, argExprs, f);
                }
                [[fallthrough]];
            case Resolved::OuterField: return CallVariable(n, *OuterPlace(n, f), argExprs, f, flags);
            case Resolved::ClassMember: return CallMember(n.member, argExprs, f, flags);
            case Resolved::Global: {
                Global& g = globals_[size_t(n.index)];
                if (g.proc) return CallWithArgs(g.proc, nullptr, nullptr, argExprs, f);
                if (g.cls) RaiseNamed(err::kTypeMismatch, n.name);
                return CallVariable(n, g.value, argExprs, f, flags);
            }
            case Resolved::NamedItem:
            case Resolved::GlobalMember: return CallNamedItem(n, argExprs, f, flags);

            case Resolved::Builtin: return CallBuiltin(n.builtin, argExprs, f);
            case Resolved::EngineBuiltin: return CallEngineBuiltin(n.index, argExprs, f);
            case Resolved::Constant:
                if (argExprs.empty()) return n.constant;
                RaiseNamed(err::kTypeMismatch, n.name);
            default: RaiseNamed(err::kUndefined, n.name);
        }
    }
    if (callee->kind == EK::Member) return CallMemberOf(*callee, argExprs, f, flags);
    return CallValue(*callee, argExprs, f, flags);
}

NOINLINE CValue CInterpreter::CallNamedItem(Expr& n, std::vector<ExprP>& argExprs, Frame& f, unsigned flags) {
    CValue item = CValue::Obj(items_[size_t(n.index)].object);
    return CallObject(std::move(item),
                      n.resolved == Resolved::GlobalMember ? StringView(n.name) : StringView(), argExprs, f,
                      flags);
}

NOINLINE CValue CInterpreter::CallWithArgs(const Proc* p, const std::shared_ptr<CObject>& me, CInstance* inst,
                                         std::vector<ExprP>& argExprs, Frame& f) {
    Args args;
    BuildArgs(argExprs, f, args, p);
    return CallProc(p, me, inst, args.ptrs);
}

NOINLINE CValue CInterpreter::CallVariable(Expr& n, const CValue& var, std::vector<ExprP>& argExprs, Frame& f,
                                         unsigned flags) {
    if (var.IsArray() && (flags & kCallGet)) {
        std::vector<int32_t> index;
        index.reserve(argExprs.size());
        for (auto& a : argExprs) {
            if (!a) Raise(err::kSubscript);
            index.push_back(ToIndex(Eval(*a, f)));
        }
        if (!var.IsArray()) RaiseNamed(err::kTypeMismatch, n.name);  // the index replaced it
        return const_cast<Array*>(var.array())->At(index);
    }
    if (var.IsObject()) return CallObject(var, StringView(), argExprs, f, flags);
    if (argExprs.empty() && (flags & kCallGet)) return var;
    RaiseNamed(err::kTypeMismatch, n.name);
}

NOINLINE CValue CInterpreter::CallObject(CValue target, StringView name, std::vector<ExprP>& argExprs, Frame& f,
                                       unsigned flags) {
    Args args;
    BuildArgs(argExprs, f, args);
    if (name.empty()) return IndexValue(target, args.ptrs, flags, args.byRef);
    return InvokeOn(target, name, flags, args.ptrs, f, args.byRef);
}

NOINLINE CValue CInterpreter::CallMemberOf(Expr& callee, std::vector<ExprP>& argExprs, Frame& f,
                                         unsigned flags) {
    CValue target = Eval(*callee.a, f);
    Args args;
    BuildArgs(argExprs, f, args);
    return InvokeOn(target, callee.name, flags, args.ptrs, f, args.byRef);
}

NOINLINE CValue CInterpreter::CallValue(Expr& callee, std::vector<ExprP>& argExprs, Frame& f, unsigned flags) {
    CValue target = Eval(callee, f);
    Args args;
    BuildArgs(argExprs, f, args);
    if (!target.IsObject() && !(flags & kCallGet)) Raise(err::kTypeMismatch);
    return IndexValue(target, args.ptrs, flags, args.byRef);
}

}  // namespace script
