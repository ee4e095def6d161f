#include "InterpreterParts.h"

namespace script {

CValue CInstance::Invoke(StringView name, unsigned flags, std::span<CValue* const> args) {
    if (alive.expired()) Raise(err::kNotSupported);
    return interp->InvokeFromHost(*this, name, flags, args);
}

CValue CInterpreter::InvokeFromHost(CInstance& inst, StringView name, unsigned flags,
                                  std::span<CValue* const> args) {
    CEntryGuard guard(this);
    return Guarded([&] { return InvokeInstance(inst, name, flags, args, false); });
}

CValue CInterpreter::CallFromHost(const Proc* p, std::span<CValue* const> args) {
    CEntryGuard guard(this);
    return Guarded([&] { return CallProc(p, nullptr, nullptr, args); });
}

// ---- Engine-level entry points ---------------------------------------------------------

CInterpreter::CInterpreter(CHost* host) : err_(std::make_shared<CErrObject>()), alive_(std::make_shared<int>(0)) {
    state_.host = host;
}

CInterpreter::~CInterpreter() {
    // Class_Terminate of what the globals hold runs while everything is still here.
    CEntryGuard guard(this);
    try {
        // By index: a Class_Terminate may add globals while this runs.
        for (size_t i = 0; i < globals_.size(); ++i) {
            CValue old = std::move(globals_[i].value);
            globals_[i].value = CValue();
        }
        items_.clear();
    } catch (...) {
    }
    alive_.reset();
}

void CInterpreter::AddNamedItem(StringView name, std::shared_ptr<CObject> object, bool globalMembers) {
    for (NamedItem& item : items_)
        if (SameName(item.name, name)) {
            item.object = std::move(object);
            item.globalMembers = globalMembers;
            ++generation_;
            return;
        }
    items_.push_back(NamedItem{String(name), std::move(object), globalMembers});
    ++generation_;
}

void CInterpreter::ThrowInterrupted() {
    ScriptError e = ErrorOf(err::kInterrupted);
    e.uncatchable = true;
    throw e;
}

void CInterpreter::Run(StringView text, int firstLine) {
    CEntryGuard guard(this);
    Guarded([&] { RunText(text, firstLine, false); });
}

int CInterpreter::ProcedureId(StringView name) const {
    auto it = globalIndex_.find(name);
    if (it == globalIndex_.end() || !globals_[size_t(it->second)].proc) return -1;
    return it->second;
}

String CInterpreter::ProcedureName(int id) const {
    if (id < 0 || size_t(id) >= globals_.size() || !globals_[size_t(id)].proc) return String();
    return globals_[size_t(id)].proc->name;
}

CValue CInterpreter::Call(int id, std::span<CValue* const> args) {
    CEntryGuard guard(this);
    return Guarded([&] {
        CheckInterrupt();
        if (id < 0 || size_t(id) >= globals_.size() || !globals_[size_t(id)].proc) Raise(err::kNoSuchSub);
        return CallProc(globals_[size_t(id)].proc, nullptr, nullptr, args);
    });
}

void CInterpreter::Terminate(CInstance* p) {
    CEntryGuard guard(this);
    std::shared_ptr<CObject> again(p);  // a second life without this deleter
    try {
        CallProc(p->cls->terminate, again, p, {});
    } catch (...) {
    }
}

// ---- Compiling and registering ---------------------------------------------------------

int CInterpreter::EnsureGlobal(const String& name) {
    auto it = globalIndex_.find(name);
    if (it != globalIndex_.end()) return it->second;
    const int index = int(globals_.size());
    globals_.push_back(Global{name, CValue(), nullptr, nullptr, false});
    globalIndex_.emplace(name, index);
    ++generation_;
    return index;
}

bool CInterpreter::HasGlobal(StringView name) const { return globalIndex_.count(String(name)) != 0; }

CValue CInterpreter::InvokeGlobal(StringView name, unsigned flags, std::span<CValue* const> args) {
    auto it = globalIndex_.find(String(name));
    if (it == globalIndex_.end()) RaiseNamed(err::kNotSupported, name);
    Global& g = globals_[size_t(it->second)];
    if (g.proc) {
        if (flags & (kCallPut | kCallPutRef)) Raise(err::kIllegalAssignment);
        return CallFromHost(g.proc, args);
    }
    if (g.cls) RaiseNamed(err::kNotSupported, name);
    if (flags & (kCallPut | kCallPutRef)) {
        if (args.size() != 1) Raise(err::kArgCount);
        if (g.isConst) Raise(err::kIllegalAssignment);
        CheckNotLocked(g.value);
        g.value = (flags & kCallPutRef) || !args[0]->IsObject() ? *args[0] : Plain(*args[0]);
        return CValue();
    }
    return IndexValue(g.value, args, flags);
}

void CInterpreter::RunText(StringView text, int firstLine, bool transient, Frame* outer) {
    CheckInterrupt();
    std::unique_ptr<Program> owned = Compile(text, firstLine, stack_);
    Program* p = owned.get();
    const bool keep = !transient || !p->procs.empty() || !p->classes.empty();
    if (keep) programs_.push_back(std::move(owned));
    Frame f;
    f.Init(&p->main);
    if (outer) {
        f.outer = outer;
        f.me = outer->me;
        f.inst = outer->inst;
    }
    Register(*p, f);
    ExecBlock(p->main.body, f);
}

void CInterpreter::Register(Program& p, Frame& f) {
    for (auto& proc : p.procs) {
        Global& g = globals_[size_t(EnsureGlobal(proc->name))];
        CheckNotLocked(g.value);
        g.proc = proc.get();
        g.cls = nullptr;
        g.isConst = false;
        g.value = CValue();
    }
    for (auto& cls : p.classes) {
        Global& g = globals_[size_t(EnsureGlobal(cls->name))];
        CheckNotLocked(g.value);
        g.proc = nullptr;
        g.cls = cls.get();
        g.isConst = false;
        g.value = CValue();
    }
    auto annotate = [](ScriptError& e, int line, int column) {
        if (e.line < 0) {
            e.line = line;
            e.column = column;
        }
    };
    for (VarDecl& d : p.globals) {
        Global& g = globals_[size_t(EnsureGlobal(d.name))];
        g.proc = nullptr;
        g.cls = nullptr;
        g.isConst = false;
        if (d.isArray) {
            try {
                CheckNotLocked(g.value);
                g.value = CValue::Arr(MakeArray(d.bounds, f, !d.bounds.empty()));
            } catch (ScriptError& e) {
                annotate(e, d.line, d.column);
                throw;
            }
        }
    }
    for (ConstDecl& c : p.consts) {
        const int index = EnsureGlobal(c.name);
        try {
            CValue v = Eval(*c.value, f);
            Global& g = globals_[size_t(index)];
            g.proc = nullptr;
            g.cls = nullptr;
            g.isConst = true;
            g.value = std::move(v);
        } catch (ScriptError& e) {
            annotate(e, c.line, c.column);
            throw;
        }
    }
}

std::shared_ptr<Array> CInterpreter::MakeArray(std::vector<ExprP>& bounds, Frame& f, bool fixed) {
    auto a = std::make_shared<Array>();
    a->fixed = fixed;
    size_t count = 1;
    for (auto& b : bounds) {
        const int32_t u = ToIndex(Eval(*b, f));
        if (u < -1) Raise(err::kSubscript);
        a->upper.push_back(u);
        count *= size_t(u) + 1;
        if (count > kMaxArrayElements) Raise(err::kOutOfMemory);
    }
    if (bounds.empty()) count = 0;
    a->data.resize(count);
    return a;
}

}  // namespace script
