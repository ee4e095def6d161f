#include "InterpreterParts.h"

namespace script {

// ---- Statements ----------------------------------------------------------------------------

Flow CInterpreter::ExecBlock(const Block& block, Frame& f) {
    stack_.Check();
    for (const StmtP& sp : block) {
        const Stmt& s = *sp;
        try {
            CheckInterrupt();
            const Flow flow = Exec(s, f);
            if (flow != Flow::Normal) return flow;
        } catch (ScriptError& e) {
            Caught(e, s, f);
        } catch (const std::bad_alloc&) {
            CaughtOutOfMemory(s, f);
        } catch (const std::length_error&) {
            CaughtOutOfMemory(s, f);
        }
    }
    return Flow::Normal;
}

NOINLINE void CInterpreter::Caught(ScriptError& e, const Stmt& s, Frame& f) {
    if (e.line < 0) {
        e.line = s.line;
        e.column = s.column;
    }
    if (!f.resumeNext || e.uncatchable) throw;
    err_->Set(e);
}

NOINLINE void CInterpreter::CaughtOutOfMemory(const Stmt& s, Frame& f) {
    ScriptError e = ErrorOf(err::kOutOfMemory);
    e.line = s.line;
    e.column = s.column;
    if (!f.resumeNext) throw e;
    err_->Set(e);
}

bool CInterpreter::Condition(Expr& e, Frame& f) {
    CValue tmp;
    const CValue& v = EvalRef(e, f, tmp);
    if (v.type() == Type::Boolean) return v.boolean();
    if (v.IsNull()) return false;
    if (v.IsObject()) return ops::ToBool(Plain(v));
    return ops::ToBool(v);
}

// The test of an If, ElseIf or loop header. Under On Error Resume Next a
// failing test goes on with the next statement, the first inside the block:
// it counts as passed (`*failed` set). Otherwise the error leaves.
bool CInterpreter::HeaderCondition(Expr& e, const Stmt& s, Frame& f, bool* failed) {
    try {
        return Condition(e, f);
    } catch (...) {
        CaughtInHeader(s, f);
    }
    if (failed) *failed = true;
    return true;
}

// The failure in flight in a block's header: kept in Err under On Error
// Resume Next (the caller goes on inside the block), otherwise thrown on.
void CInterpreter::CaughtInHeader(const Stmt& s, Frame& f) {
    try {
        throw;
    } catch (ScriptError& x) {
        Caught(x, s, f);
    } catch (const std::bad_alloc&) {
        CaughtOutOfMemory(s, f);
    } catch (const std::length_error&) {
        CaughtOutOfMemory(s, f);
    }
}

Flow CInterpreter::Exec(const Stmt& cs, Frame& f) {
    Stmt& s = const_cast<Stmt&>(cs);
    switch (s.kind) {
        case SK::Call: ExecCall(s, f); return Flow::Normal;
        case SK::Assign:
        case SK::Set: ExecAssign(s, f); return Flow::Normal;
        case SK::ReDim: ExecReDim(s, f); return Flow::Normal;
        case SK::For: return ExecFor(s, f);
        case SK::ForEach: return ExecForEach(s, f);
        case SK::Do: return ExecDo(s, f);
        case SK::If: {
            for (size_t i = 0; i < s.conditions.size(); ++i)
                if (HeaderCondition(*s.conditions[i], s, f)) return ExecBlock(s.blocks[i], f);
            if (s.hasElse) return ExecBlock(s.elseBlock, f);
            return Flow::Normal;
        }
        case SK::Select: return ExecSelect(s, f);
        default: return ExecOther(s, f);
    }
}

NOINLINE void CInterpreter::ExecAssign(Stmt& s, Frame& f) {
    CValue v = Eval(*s.value, f);
    if (s.kind == SK::Set) {
        if (!v.IsObject()) Raise(err::kObjectRequired);
        Assign(*s.target, v, kCallPutRef, f);
        return;
    }
    if (v.IsObject()) v = Plain(v);
    Assign(*s.target, v, kCallPut, f);
}

// The value a Select Case or For Each header works on. Under On Error
// Resume Next a failure goes on with the next statement, the first inside
// the block (`*failed` set); otherwise the error leaves.
CValue CInterpreter::HeaderValue(Expr& e, const Stmt& s, Frame& f, bool plain, bool* failed) {
    try {
        CValue v = Eval(e, f);
        if (plain && v.IsObject()) v = Plain(v);
        return v;
    } catch (...) {
        CaughtInHeader(s, f);
    }
    *failed = true;
    return CValue();
}

NOINLINE Flow CInterpreter::ExecSelect(Stmt& s, Frame& f) {
    {
        {
            CValue v = Eval(*s.value, f);
            if (v.IsObject()) v = Plain(v);
            for (size_t i = 0; i < s.cases.size(); ++i) {
                for (auto& c : s.cases[i]) {
                    // Under On Error Resume Next a Case that fails goes on with
                    // the next statement, the first of its own block.
                    bool failed = false;
                    CValue cv = HeaderValue(*c, s, f, true, &failed);
                    if (failed) return ExecBlock(s.blocks[i], f);
                    const CValue eq = ops::Binary(ops::Op::Eq, v, cv);
                    if (eq.type() == Type::Boolean && eq.boolean()) return ExecBlock(s.blocks[i], f);
                }
            }
            if (s.hasElse) return ExecBlock(s.elseBlock, f);
            return Flow::Normal;
        }
    }
}

NOINLINE Flow CInterpreter::ExecOther(Stmt& s, Frame& f) {
    switch (s.kind) {
        case SK::With: {
            f.with[size_t(s.withDepth)] = Eval(*s.value, f);
            Flow flow;
            try {
                flow = ExecBlock(s.body, f);
            } catch (...) {
                f.with[size_t(s.withDepth)] = CValue();
                throw;
            }
            f.with[size_t(s.withDepth)] = CValue();
            return flow;
        }
        case SK::Exit: return s.exitKind;
        case SK::OnErrorResumeNext:
            f.resumeNext = true;
            err_->Clear();
            return Flow::Normal;
        case SK::OnErrorGoto0:
            f.resumeNext = false;
            err_->Clear();
            return Flow::Normal;
        case SK::Erase: {
            EnsureResolved(*s.target, f);
            CValue* var = VariableOf(*s.target, f);
            if (!var) RaiseNamed(err::kIllegalAssignment, s.target->name);
            if (!var->IsArray()) RaiseNamed(err::kTypeMismatch, s.target->name);
            CheckNotLocked(*var);
            Array* a = var->MutableArray();
            if (a->fixed) {
                for (CValue& x : a->data) x = CValue();
            } else {
                auto empty = std::make_shared<Array>();
                *var = CValue::Arr(std::move(empty));
            }
            return Flow::Normal;
        }
        default: return Flow::Normal;
    }
}

void CInterpreter::ExecCall(const Stmt& cs, Frame& f) {
    Stmt& s = const_cast<Stmt&>(cs);
    Expr& t = *s.target;
    if (t.kind == EK::Name || t.kind == EK::Member || t.kind == EK::Call) {
        EvalCall(t, s.args, f, kCallMethod, &t);
        // The language refuses the numeric conversions' results as a
        // statement's (once the conversion itself worked): CInt 1, Call CInt(1).
        if (t.kind == EK::Name && t.resolved == Resolved::Builtin && IsNumericConversion(t.builtin))
            Raise(err::kUnsupportedType);
        return;
    }
    CallValue(t, s.args, f, kCallMethod);
}

void CInterpreter::Assign(Expr& target, CValue& v, unsigned flags, Frame& f) {
    switch (target.kind) {
        case EK::Name: {
            EnsureResolved(target, f);
            if (CValue* var = VariableOf(target, f)) {
                CheckNotLocked(*var);
                *var = std::move(v);
                return;
            }
            switch (target.resolved) {
                case Resolved::ClassMember: {
                    const Member* m = target.member;
                    const Proc* p = (flags & kCallPutRef) ? m->set : (m->let ? m->let : m->set);
                    if (!p || !f.inst) RaiseNamed(err::kIllegalAssignment, target.name);
                    CValue* arg = &v;
                    return (void)CallProc(p, f.me, f.inst, std::span<CValue* const>(&arg, 1));
                }
                case Resolved::GlobalMember: {
                    std::shared_ptr<CObject> o = items_[size_t(target.index)].object;
                    CValue* arg = &v;
                    o->Invoke(target.name, flags, std::span<CValue* const>(&arg, 1));
                    return;
                }
                case Resolved::Undefined: RaiseNamed(err::kUndefined, target.name);
                default: RaiseNamed(err::kIllegalAssignment, target.name);
            }
        }
        case EK::Member: {
            CValue obj = Eval(*target.a, f);
            CValue* arg = &v;
            InvokeOn(obj, target.name, flags, std::span<CValue* const>(&arg, 1), f);
            return;
        }
        case EK::Call: {
            Expr& base = *target.a;
            if (base.kind == EK::Name) {
                EnsureResolved(base, f);
                if (CValue* var = VariableOf(base, f)) {
                    if (var->IsArray()) {
                        std::vector<int32_t> index;
                        for (auto& a : target.args) {
                            if (!a) Raise(err::kSubscript);
                            index.push_back(ToIndex(Eval(*a, f)));
                        }
                        if (!var->IsArray())
                            RaiseNamed(err::kTypeMismatch, base.name);  // the index replaced it
                        WritableArray(*var)->At(index) = std::move(v);
                        return;
                    }
                    if (var->IsObject()) {
                        CValue obj = *var;
                        Args args;
                        BuildArgs(target.args, f, args);
                        args.ptrs.push_back(&v);
                        InvokeOn(obj, u"", flags, args.ptrs, f, args.byRef);
                        return;
                    }
                    RaiseNamed(err::kTypeMismatch, base.name);
                }
                Args args;
                BuildArgs(target.args, f, args);
                args.ptrs.push_back(&v);
                switch (base.resolved) {
                    case Resolved::ClassMember: {
                        const Member* m = base.member;
                        const Proc* p = (flags & kCallPutRef) ? m->set : (m->let ? m->let : m->set);
                        if (!p || !f.inst) RaiseNamed(err::kIllegalAssignment, base.name);
                        CallProc(p, f.me, f.inst, args.ptrs);
                        return;
                    }
                    case Resolved::GlobalMember: {
                        std::shared_ptr<CObject> o = items_[size_t(base.index)].object;
                        o->InvokeWithRefs(base.name, flags, args.ptrs, args.byRef);
                        return;
                    }
                    case Resolved::NamedItem: {
                        std::shared_ptr<CObject> o = items_[size_t(base.index)].object;
                        o->InvokeWithRefs(u"", flags, args.ptrs, args.byRef);
                        return;
                    }
                    case Resolved::Undefined: RaiseNamed(err::kUndefined, base.name);
                    default: RaiseNamed(err::kIllegalAssignment, base.name);
                }
            }
            if (base.kind == EK::Member) {
                CValue obj = Eval(*base.a, f);
                Args args;
                BuildArgs(target.args, f, args);
                args.ptrs.push_back(&v);
                InvokeOn(obj, base.name, flags, args.ptrs, f, args.byRef);
                return;
            }
            CValue obj = Eval(base, f);
            if (!obj.IsObject()) Raise(err::kIllegalAssignment);
            Args args;
            BuildArgs(target.args, f, args);
            args.ptrs.push_back(&v);
            InvokeOn(obj, u"", flags, args.ptrs, f, args.byRef);
            return;
        }
        default: Raise(err::kIllegalAssignment);
    }
}

void CInterpreter::ExecReDim(const Stmt& cs, Frame& f) {
    Stmt& s = const_cast<Stmt&>(cs);
    for (auto& c : s.args) {
        Expr& name = *c->a;
        EnsureResolved(name, f);
        CValue* var = VariableOf(name, f);
        if (!var) RaiseNamed(err::kIllegalAssignment, name.name);
        if (var->IsArray() && var->array()->fixed) Raise(err::kFixedArray);
        CheckNotLocked(*var);
        std::vector<int32_t> upper;
        size_t count = 1;
        for (auto& b : c->args) {
            const int32_t u = ToIndex(Eval(*b, f));
            if (u < -1) Raise(err::kSubscript);
            upper.push_back(u);
            count *= size_t(u) + 1;
            if (count > kMaxArrayElements) Raise(err::kOutOfMemory);
        }
        if (s.preserve && var->IsArray()) {
            const Array* old = var->array();
            if (!old->upper.empty()) {
                if (old->upper.size() != upper.size()) Raise(err::kSubscript);
                for (size_t d = 0; d + 1 < upper.size(); ++d)
                    if (old->upper[d] != upper[d]) Raise(err::kSubscript);
            }
            Array* a = var->MutableArray();
            a->upper = std::move(upper);
            a->data.resize(count);
            continue;
        }
        auto a = std::make_shared<Array>();
        a->upper = std::move(upper);
        a->data.resize(count);
        *var = CValue::Arr(std::move(a));
    }
}

Flow CInterpreter::ExecFor(const Stmt& cs, Frame& f) {
    Stmt& s = const_cast<Stmt&>(cs);
    EnsureResolved(*s.target, f);
    CValue* var = VariableOf(*s.target, f);
    if (!var) RaiseNamed(err::kIllegalAssignment, s.target->name);
    CValue from, to, step;
    try {
        from = Eval(*s.from, f);
        if (from.IsObject()) from = Plain(from);
        to = Eval(*s.to, f);
        if (to.IsObject()) to = Plain(to);
        step = s.step ? Eval(*s.step, f) : CValue::Integer(1);
        if (step.IsObject()) step = Plain(step);
        from = ops::ToNumeric(from);
        to = ops::ToNumeric(to);
        step = ops::ToNumeric(step);
    } catch (ScriptError& x) {
        // Under On Error Resume Next the next statement is the first of the
        // body: it runs once, then the loop ends.
        Caught(x, s, f);
        const Flow flow = ExecBlock(s.body, f);
        return flow == Flow::ExitFor ? Flow::Normal : flow;
    }
    const bool down = ops::Compare(step, CValue::Integer(0)) < 0;
    const bool intLoop = IsIntegral(to) && IsIntegral(step);
    const int64_t toI = intLoop ? IntegralOf(to) : 0, stepI = intLoop ? IntegralOf(step) : 0;
    CheckNotLocked(*var);
    *var = std::move(from);
    for (;;) {
        CheckInterrupt();
        if (intLoop && IsIntegral(*var)) {
            const int64_t cur = IntegralOf(*var);
            if (down ? cur < toI : cur > toI) break;
        } else {
            CValue cur = var->IsObject() ? Plain(*var) : *var;
            const int c = ops::Compare(ops::ToNumeric(cur), to);
            if (down ? c < 0 : c > 0) break;
        }
        const Flow flow = ExecBlock(s.body, f);
        if (flow == Flow::ExitFor) break;
        if (flow != Flow::Normal) return flow;
        if (intLoop && IsIntegral(*var)) {
            const int64_t next = IntegralOf(*var) + stepI;
            if (var->type() == Type::Integer && step.type() == Type::Integer && next >= INT16_MIN &&
                next <= INT16_MAX)
                *var = CValue::Integer(int16_t(next));
            else if (next >= INT32_MIN && next <= INT32_MAX)
                *var = CValue::Long(int32_t(next));
            else
                *var = CValue::Double(double(next));
        } else {
            CValue cur = var->IsObject() ? Plain(*var) : *var;
            *var = ops::Binary(ops::Op::Add, cur, step);
        }
    }
    return Flow::Normal;
}

Flow CInterpreter::ExecForEach(const Stmt& cs, Frame& f) {
    Stmt& s = const_cast<Stmt&>(cs);
    EnsureResolved(*s.target, f);
    CValue* var = VariableOf(*s.target, f);
    if (!var) RaiseNamed(err::kIllegalAssignment, s.target->name);
    bool failed = false;
    CValue coll = HeaderValue(*s.value, s, f, false, &failed);
    std::vector<CValue> items;
    const std::vector<CValue>* list = &items;
    try {
        if (failed) {
        } else if (coll.IsArray()) {
            list = &coll.array()->data;
        } else if (coll.IsObject()) {
            if (!coll.object()) Raise(err::kObjectNotSet);
            items = coll.object()->Enumerate();
        } else {
            Raise(err::kNotACollection);
        }
    } catch (ScriptError& x) {
        Caught(x, s, f);
        failed = true;
    }
    // Under On Error Resume Next a header that fails goes on inside: the
    // body runs once, the variable unchanged.
    if (failed) {
        const Flow flow = ExecBlock(s.body, f);
        return flow == Flow::ExitFor ? Flow::Normal : flow;
    }
    for (size_t i = 0; i < list->size(); ++i) {
        CheckInterrupt();
        CheckNotLocked(*var);
        *var = (*list)[i];
        const Flow flow = ExecBlock(s.body, f);
        if (flow == Flow::ExitFor) break;
        if (flow != Flow::Normal) return flow;
    }
    return Flow::Normal;
}

Flow CInterpreter::ExecDo(const Stmt& cs, Frame& f) {
    Stmt& s = const_cast<Stmt&>(cs);
    // A test failing under On Error Resume Next enters the body the first
    // time (the next statement is the first inside); later it ends the loop.
    for (bool first = true;; first = false) {
        CheckInterrupt();
        if (s.testAtTop && s.value) {
            bool failed = false;
            const bool c = HeaderCondition(*s.value, s, f, &failed);
            if (failed ? !first : c == s.until) break;
        }
        const Flow flow = ExecBlock(s.body, f);
        if (flow == Flow::ExitDo) break;
        if (flow != Flow::Normal) return flow;
        if (!s.testAtTop && s.value) {
            bool failed = false;
            const bool c = HeaderCondition(*s.value, s, f, &failed);
            if (failed || c == s.until) break;
        }
    }
    return Flow::Normal;
}

}  // namespace script
