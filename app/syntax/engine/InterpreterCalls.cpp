#include "InterpreterParts.h"

namespace script {

// ---- Calls -------------------------------------------------------------------------------

CValue CInterpreter::CallProc(const Proc* p, const std::shared_ptr<CObject>& me, CInstance* inst,
                            std::span<CValue* const> args) {
    stack_.Check();
    CheckInterrupt();
    if (args.size() != p->params.size()) Raise(err::kArgCount);
    Frame f;
    f.Init(p);
    f.me = me;
    f.inst = inst;
    for (size_t i = 0; i < args.size(); ++i) {
        if (p->params[i].byRef)
            f.slots[i + 1] = args[i];
        else
            f.storage[i + 1] = *args[i];
    }
    if (!p->arrays.empty() || !p->consts.empty()) InitLocals(p, f);
    ExecBlock(p->body, f);
    if (p->kind == ProcKind::Function || p->kind == ProcKind::PropertyGet) return std::move(f.storage[0]);
    return CValue();
}

// The procedure's arrays (Dim a(3)) and constants, made at each call.
NOINLINE void CInterpreter::InitLocals(const Proc* p, Frame& f) {
    for (const VarDecl& d : p->arrays)
        f.storage[size_t(d.slot)] =
            CValue::Arr(MakeArray(const_cast<VarDecl&>(d).bounds, f, !d.bounds.empty()));
    for (const ConstDecl& c : p->consts) {
        try {
            f.storage[size_t(c.slot)] = Eval(*c.value, f);
        } catch (ScriptError& e) {
            if (e.line < 0) e.line = c.line, e.column = c.column;
            throw;
        }
    }
}

CValue CInterpreter::InvokeInstance(CInstance& inst, StringView name, unsigned flags,
                                  std::span<CValue* const> args, bool allowPrivate) {
    const ClassDef* cls = inst.cls;
    const Member* m = nullptr;
    if (name.empty()) {
        m = cls->defaultMember;
        if (!m) Raise(err::kNotSupported);
    } else {
        auto it = cls->members.find(name);
        if (it == cls->members.end() || (!it->second.isPublic && !allowPrivate))
            RaiseNamed(err::kNotSupported, name);
        m = &it->second;
    }
    std::shared_ptr<CObject> self = inst.shared_from_this();
    if (flags & (kCallPut | kCallPutRef)) {
        if (args.empty()) Raise(err::kArgCount);
        if (m->field >= 0) {
            CValue v = *args.back();
            if (flags & kCallPutRef) {
                if (!v.IsObject()) Raise(err::kObjectRequired);
            } else if (v.IsObject()) {
                v = Plain(v);
            }
            CValue& field = inst.fields[size_t(m->field)];
            if (args.size() == 1) {
                CheckNotLocked(field);
                field = std::move(v);
                return CValue();
            }
            if (field.IsArray()) {
                std::vector<int32_t> index;
                for (size_t i = 0; i + 1 < args.size(); ++i) index.push_back(ToIndex(*args[i]));
                if (!field.IsArray()) Raise(err::kTypeMismatch);  // the index replaced it
                WritableArray(field)->At(index) = std::move(v);
                return CValue();
            }
            if (field.IsObject() && field.object()) {
                CValue target = field;
                return target.object()->Invoke(u"", flags, args);
            }
            Raise(err::kTypeMismatch);
        }
        const Proc* p = (flags & kCallPutRef) ? (m->set ? m->set : nullptr) : (m->let ? m->let : m->set);
        if (!p) RaiseNamed(err::kNotSupported, m->name);
        return CallProc(p, self, &inst, args);
    }
    if (m->field >= 0) {
        CValue v = inst.fields[size_t(m->field)];
        if (args.empty()) return v;
        return IndexValue(v, args, flags);
    }
    if (m->get) return CallProc(m->get, self, &inst, args);
    if (m->method) return CallProc(m->method, self, &inst, args);
    RaiseNamed(err::kNotSupported, m->name);
}

CValue CInterpreter::InvokeOn(const CValue& target, StringView name, unsigned flags,
                            std::span<CValue* const> args, Frame& f, RefMask byRef) {
    if (!target.IsObject()) RaiseNamed(err::kObjectRequired, name);
    CObject* o = target.object();
    if (!o) {
        if (!name.empty()) RaiseNamed(err::kObjectRequired, name);  // a member of Nothing
        Raise(err::kObjectNotSet);
    }
    if (f.proc->cls) {
        if (auto* inst = dynamic_cast<CInstance*>(o); inst && inst->cls == f.proc->cls)
            return InvokeInstance(*inst, name, flags, args, true);
    }
    return o->InvokeWithRefs(name, flags, args, byRef);
}

CValue CInterpreter::IndexValue(const CValue& v, std::span<CValue* const> args, unsigned flags,
                              RefMask byRef) {
    if (v.IsArray()) {
        std::vector<int32_t> index;
        index.reserve(args.size());
        for (CValue* a : args) index.push_back(ToIndex(*a));
        return const_cast<Array*>(v.array())->At(index);
    }
    if (v.IsObject()) {
        if (!v.object()) Raise(err::kObjectNotSet);
        CValue keep = v;
        return keep.object()->InvokeWithRefs(u"", flags, args, byRef);
    }
    if (args.empty()) return v;
    Raise(err::kTypeMismatch);
}

// An element of an array variable, passed by reference: the array is made
// unshared and locked until the call ends (ReDim, Erase or a new value for
// the variable meanwhile: error 10). Null when `call` names no array variable.
CValue* CInterpreter::LendElement(Expr& call, Frame& f, Args& out) {
    Expr& base = *call.a;
    EnsureResolved(base, f);
    CValue* var = VariableOf(base, f);
    if (!var || !var->IsArray()) return nullptr;
    std::vector<int32_t> index;
    index.reserve(call.args.size());
    for (auto& a : call.args) {
        if (!a) Raise(err::kSubscript);
        index.push_back(ToIndex(Eval(*a, f)));
    }
    if (!var->IsArray()) RaiseNamed(err::kTypeMismatch, base.name);  // the index replaced it
    CValue& element = WritableArray(*var)->At(index);
    out.lent.push_back(var->arrayPtr());
    ++out.lent.back()->locks.n;
    return &element;
}

void CInterpreter::BuildArgs(std::vector<ExprP>& argExprs, Frame& f, Args& out, const Proc* p) {
    out.temps.reserve(argExprs.size());
    out.ptrs.reserve(argExprs.size());
    for (size_t i = 0; i < argExprs.size(); ++i) {
        auto& a = argExprs[i];
        if (a && a->kind == EK::Call && a->a->kind == EK::Name &&
            (!p || (i < p->params.size() && p->params[i].byRef))) {
            if (CValue* element = LendElement(*a, f, out)) {
                out.Lend(element);
                continue;
            }
        }
        if (!a) {
            out.ptrs.push_back(&out.temps.emplace_back(CValue::Missing()));
            continue;
        }
        if (a->kind == EK::Name) {
            EnsureResolved(*a, f);
            if (CValue* var = VariableOf(*a, f)) {
                out.Lend(var);
                continue;
            }
        }
        out.ptrs.push_back(&out.temps.emplace_back(Eval(*a, f)));
    }
}

CValue CInterpreter::CallBuiltin(const Builtin* b, std::vector<ExprP>& argExprs, Frame& f) {
    if (int(argExprs.size()) < b->minArgs || (b->maxArgs != kAnyArgs && int(argExprs.size()) > b->maxArgs))
        RaiseNamed(err::kArgCount, b->name);
    std::vector<CValue> values;
    values.reserve(argExprs.size());
    for (auto& a : argExprs) values.push_back(a ? Eval(*a, f) : CValue::Missing());
    return b->fn(state_, values);
}

CValue CInterpreter::CallEngineBuiltin(int which, std::vector<ExprP>& argExprs, Frame& f) {
    if (which == kErr) {
        if (!argExprs.empty()) Raise(err::kTypeMismatch);
        return CValue::Obj(err_);
    }
    if (argExprs.size() != 1 || !argExprs[0]) RaiseNamed(err::kArgCount, kEngineFns[which]);
    CValue v = Eval(*argExprs[0], f);
    switch (which) {
        case kIsObject: return CValue::Boolean(v.IsObject());
        case kTypeName: return CValue::Str(TypeNameOf(v));
        case kVarType:
            if (v.IsObject() && v.object()) return CValue::Integer(int16_t(v.object()->VarType()));
            return CValue::Integer(int16_t(v.IsArray() ? 0x200C : int(v.type())));
        case kGetRef: {
            const String name = ops::ToString(Plain(v));
            const int id = ProcedureId(name);
            if (id < 0) Raise(err::kInvalidCall);
            return CValue::Obj(std::make_shared<CProcRef>(this, globals_[size_t(id)].proc, alive_));
        }
        case kEval: {
            const String text = ops::ToString(Plain(v));
            ExprP e;
            std::unique_ptr<Program> p = CompileExpression(text, stack_, &e);
            Frame ef;
            ef.Init(&p->main);
            ef.outer = OuterOf(f);
            if (ef.outer) ef.me = ef.outer->me, ef.inst = ef.outer->inst;
            return Eval(*e, ef);
        }
        default: {  // Execute sees the caller's locals, ExecuteGlobal only the globals
            const String text = ops::ToString(Plain(v));
            RunText(text, 0, true, which == kExecute ? OuterOf(f) : nullptr);
            return CValue();
        }
    }
}

CValue CInterpreter::CallMember(const Member* m, std::vector<ExprP>& argExprs, Frame& f, unsigned flags) {
    (void)flags;
    Args args;
    BuildArgs(argExprs, f, args);
    const Proc* p = m->get ? m->get : m->method;
    if (!p) RaiseNamed(err::kNotSupported, m->name);
    if (!f.inst) Raise(err::kObjectRequired);
    return CallProc(p, f.me, f.inst, args.ptrs);
}

CValue CInterpreter::NewInstance(Expr& e, Frame& f) {
    (void)f;
    // The language's own classes (RegExp) come before a script class of the same name.
    if (e.resolved != Resolved::Global)
        if (auto builtin = NewBuiltinClass(e.name)) return CValue::Obj(std::move(builtin));
    if (e.resolved != Resolved::Global || e.generation != generation_) {
        auto it = globalIndex_.find(e.name);
        if (it == globalIndex_.end()) {  // no script class: the language's own (RegExp)
            if (auto builtin = NewBuiltinClass(e.name)) return CValue::Obj(std::move(builtin));
            RaiseNamed(err::kClassNotDefined, e.name);
        }
        e.index = it->second;
        e.resolved = Resolved::Global;
        e.generation = generation_;
    }
    const ClassDef* cls = globals_[size_t(e.index)].cls;
    if (!cls) {
        if (auto builtin = NewBuiltinClass(e.name)) return CValue::Obj(std::move(builtin));
        RaiseNamed(err::kClassNotDefined, e.name);
    }
    std::shared_ptr<CInstance> sp(new CInstance(this, cls, alive_), InstanceDeleter{});
    std::shared_ptr<CObject> obj = sp;
    if (!cls->fields.empty()) {
        Frame cf;
        cf.Init(&cls->scope);
        cf.me = obj;
        cf.inst = sp.get();
        for (const VarDecl& d : cls->fields)
            if (d.isArray)
                sp->fields[size_t(d.slot)] =
                    CValue::Arr(MakeArray(const_cast<VarDecl&>(d).bounds, cf, !d.bounds.empty()));
        for (const ConstDecl& c : cls->consts) sp->fields[size_t(c.slot)] = Eval(*c.value, cf);
    }
    if (cls->initialize) CallProc(cls->initialize, obj, sp.get(), {});
    return CValue::Obj(std::move(obj));
}

}  // namespace script
