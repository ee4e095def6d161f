#include "Interpreter.h"

#include <cmath>
#include <new>
#include <stdexcept>

#include "RegExpObject.h"

#if defined(__GNUC__)
#define NOINLINE __attribute__((noinline))
#else
#define NOINLINE
#endif

namespace script {

// ---- Objects of the engine ------------------------------------------------------------

class Instance : public Object {
   public:
    Instance(Interpreter* interp, const ClassDef* cls, std::weak_ptr<int> alive)
        : interp(interp), cls(cls), alive(std::move(alive)), fields(cls->fields.size()) {}
    Value Invoke(StringView name, unsigned flags, std::span<Value* const> args) override;
    bool HasMember(StringView name) override {
        if (alive.expired()) return false;
        auto it = cls->members.find(name);
        return it != cls->members.end() && it->second.isPublic;
    }
    String TypeName() const override { return alive.expired() ? u"Object" : cls->name; }

    Interpreter* interp;
    const ClassDef* cls;
    std::weak_ptr<int> alive;
    std::vector<Value> fields;
};

namespace {

// Releasing an instance can release others (a linked list of nodes): those
// wait in a queue the outermost release empties, so that a long chain never
// recurses through the native stack. The queue is a plain pointer that
// lives only while the outermost release empties it: a thread_local with a
// destructor is destroyed after its storage was freed when a thread ends
// (MinGW's emulated TLS).
thread_local int t_releasing = 0;
thread_local std::vector<Instance*>* t_pending = nullptr;

void Dispose(Instance* p) {
    if (!p->alive.expired() && p->cls->terminate)
        p->interp->Terminate(p);  // owns p from here
    else
        delete p;
}

struct InstanceDeleter {
    void operator()(Instance* p) const noexcept {
        if (t_releasing > 0) {
            try {
                if (!t_pending) t_pending = new std::vector<Instance*>();
                t_pending->push_back(p);
                return;
            } catch (...) {
            }
        }
        ++t_releasing;
        Dispose(p);
        while (t_pending && !t_pending->empty()) {
            Instance* q = t_pending->back();
            t_pending->pop_back();
            Dispose(q);
        }
        if (--t_releasing == 0) {
            delete t_pending;
            t_pending = nullptr;
        }
    }
};

// Err: the last error caught under On Error Resume Next.
}  // namespace

class ErrObject : public Object {
   public:
    int32_t number = 0;
    String description, source, helpFile;
    int32_t helpContext = 0;

    void Clear() {
        number = 0;
        description.clear();
        source.clear();
        helpFile.clear();
        helpContext = 0;
    }
    void Set(const ScriptError& e) {
        number = e.Number();
        description = e.description;
        source = e.source;
        helpFile = e.helpFile;
        helpContext = e.helpContext;
    }
    Value Invoke(StringView name, unsigned flags, std::span<Value* const> args) override {
        const bool put = flags & (kCallPut | kCallPutRef);
        if (name.empty() || SameName(name, u"Number")) {
            if (put) {
                if (args.empty()) Raise(err::kArgCount);
                number = ops::ToLong(Plain(*args.back()));
                return Value();
            }
            return Value::Long(number);
        }
        // Description and Source: text read, or written with the value last.
        auto text = [&](String& field) {
            if (!put) return Value::Str(field);
            if (args.empty()) Raise(err::kArgCount);
            field = ops::ToString(Plain(*args.back()));
            return Value();
        };
        if (SameName(name, u"Description")) return text(description);
        if (SameName(name, u"Source")) return text(source);
        if (SameName(name, u"HelpFile")) return text(helpFile);
        if (SameName(name, u"HelpContext")) {
            if (!put) return Value::Long(helpContext);
            if (args.empty()) Raise(err::kArgCount);
            helpContext = ops::ToLong(Plain(*args.back()));
            return Value();
        }
        if (SameName(name, u"Clear")) {
            Clear();
            return Value();
        }
        if (SameName(name, u"Raise")) {
            if (args.empty() || args.size() > 5) Raise(err::kArgCount);
            const int32_t n = ops::ToLong(Plain(*args[0]));
            if (n == 0) Raise(err::kInvalidCall);
            // An argument left out takes what Err holds, if anything.
            auto given = [&](size_t i) { return args.size() > i && !args[i]->IsMissing(); };
            ScriptError e;
            e.status = StatusOf(n);
            e.source = given(1) ? ops::ToString(Plain(*args[1]))
                       : !source.empty() ? source
                                         : String(kRuntimeSource);
            if (given(2))
                e.description = ops::ToString(Plain(*args[2]));
            else if (!description.empty())
                e.description = description;
            else {
                e.description = ErrorText(e.Number());
                if (e.description.empty()) e.description = u"Unknown runtime error";
            }
            e.helpFile = given(3) ? ops::ToString(Plain(*args[3])) : helpFile;
            e.helpContext = given(4) ? ops::ToLong(Plain(*args[4])) : helpContext;
            throw e;
        }
        Raise(err::kNotSupported);
    }
    bool HasMember(StringView name) override {
        for (const char16_t* m :
             {u"Number", u"Description", u"Source", u"HelpFile", u"HelpContext", u"Clear", u"Raise"})
            if (SameName(name, m)) return true;
        return false;
    }
    String TypeName() const override { return u"ErrObject"; }
};

namespace {

// Me outside a class: the script's global procedures and variables as members.
class GlobalScope : public Object {
   public:
    GlobalScope(Interpreter* interp, std::weak_ptr<int> alive) : interp_(interp), alive_(std::move(alive)) {}
    Value Invoke(StringView name, unsigned flags, std::span<Value* const> args) override {
        if (name.empty() || alive_.expired()) Raise(err::kNotSupported);
        return interp_->InvokeGlobal(name, flags, args);
    }
    bool HasMember(StringView name) override { return !alive_.expired() && interp_->HasGlobal(name); }

   private:
    Interpreter* interp_;
    std::weak_ptr<int> alive_;
};

// What GetRef returns: its default member calls the procedure.
class ProcRef : public Object {
   public:
    ProcRef(Interpreter* interp, const Proc* proc, std::weak_ptr<int> alive)
        : interp_(interp), proc_(proc), alive_(std::move(alive)) {}
    Value Invoke(StringView name, unsigned flags, std::span<Value* const> args) override {
        if (!name.empty() || (flags & (kCallPut | kCallPutRef)) || alive_.expired())
            Raise(err::kNotSupported);
        return interp_->CallFromHost(proc_, args);
    }
    bool HasMember(StringView) override { return false; }

   private:
    Interpreter* interp_;
    const Proc* proc_;
    std::weak_ptr<int> alive_;
};

enum EngineFn { kErr, kEval, kExecute, kExecuteGlobal, kGetRef, kIsObject, kTypeName, kVarType };
constexpr const char16_t* kEngineFns[] = {u"Err",    u"Eval",     u"Execute",  u"ExecuteGlobal",
                                          u"GetRef", u"IsObject", u"TypeName", u"VarType"};

ScriptError ErrorOf(int number) {
    ScriptError e;
    e.status = StatusOf(number);
    e.description = ErrorText(number);
    e.source = kRuntimeSource;
    return e;
}

[[noreturn]] void RaiseNamed(int number, StringView name) {
    Raise(number, ErrorText(number) + u": '" + String(name) + u"'");
}

int32_t ToIndex(const Value& v) { return ops::ToLong(v.IsObject() ? Plain(v) : v); }

bool IsIntegral(const Value& v) { return v.type() == Type::Integer || v.type() == Type::Long; }
int64_t IntegralOf(const Value& v) { return v.type() == Type::Integer ? v.integer() : v.lng(); }

String TypeNameOf(const Value& v) {
    switch (v.type()) {
        case Type::Empty: return u"Empty";
        case Type::Null: return u"Null";
        case Type::Integer: return u"Integer";
        case Type::Long: return u"Long";
        case Type::Single: return u"Single";
        case Type::Double: return u"Double";
        case Type::Currency: return u"Currency";
        case Type::Date: return u"Date";
        case Type::String: return u"String";
        case Type::Object: return v.object() ? v.object()->TypeName() : u"Nothing";
        case Type::Error: return u"Error";
        case Type::Boolean: return u"Boolean";
        case Type::Byte: return u"Byte";
        case Type::Array: return u"Variant()";
    }
    return u"Unknown";
}

// Integer and Long operands, the common case of loops and counters, without
// the general operator: the same widening (Integer, then Long, then Double).
Value IntegralResult(int64_t r, bool bothInteger) {
    if (bothInteger && r >= INT16_MIN && r <= INT16_MAX) return Value::Integer(int16_t(r));
    if (r >= INT32_MIN && r <= INT32_MAX) return Value::Long(int32_t(r));
    return Value::Double(double(r));
}

// Arrays get at most 256 MiB of elements (error 7 before allocating more).
constexpr size_t kMaxArrayBytes = size_t(256) << 20;
constexpr size_t kMaxArrayElements = kMaxArrayBytes / sizeof(Value);

// Whether `v` holds an array with elements lent by reference to a call in
// progress, and nothing but the lends holds it besides `v`. (The lends keep
// the array alive; when another variable shares it, replacing `v` frees nothing.)
bool Locked(const Value& v) {
    return v.IsArray() && v.array()->locks.n > 0 && v.arrayPtr().use_count() <= 1 + long(v.array()->locks.n);
}
// Replacing, reallocating or erasing such an array would move the lent elements
// away from the variable.
void CheckNotLocked(const Value& v) {
    if (Locked(v)) Raise(err::kFixedArray);
}
// The array of `var` to change in place. Each lend holds the array once
// more (the call's arguments keep it alive), so a lent array counts as
// unshared when nothing else holds it; when something else does, it can
// neither be copied away from the lent elements nor changed under the other
// holder: error 10.
Array* WritableArray(Value& var) {
    const Array* a = var.array();
    if (!a) return nullptr;
    if (a->locks.n > 0) {
        if (var.arrayPtr().use_count() > 1 + long(a->locks.n)) Raise(err::kFixedArray);
        return const_cast<Array*>(a);
    }
    return var.MutableArray();
}

}  // namespace

struct Frame;
// The procedure frame whose locals Execute and Eval see from frame `f` (null at the top level).
Frame* OuterOf(Frame& f);

// The frame of one procedure call (or of a text's top level).
struct Frame {
    const Proc* proc = nullptr;
    std::vector<Value> storage;
    std::vector<Value*> slots;
    std::shared_ptr<Object> me;
    Instance* inst = nullptr;
    bool resumeNext = false;
    std::vector<Value> with;
    Frame* outer = nullptr;  // Execute and Eval: the procedure's frame they see the locals of

    void Init(const Proc* p) {
        proc = p;
        storage.resize(size_t(p->slotCount));
        slots.resize(storage.size());
        for (size_t i = 0; i < storage.size(); ++i) slots[i] = &storage[i];
        with.resize(size_t(p->withDepth));
    }
};

Frame* OuterOf(Frame& f) {
    if (f.proc->kind != ProcKind::Main) return &f;
    return f.outer;  // Execute inside Execute: the same procedure
}

// The arguments of one call: pointers to variables (by reference) or temporaries.
struct Interpreter::Args {
    std::vector<Value> temps;
    std::vector<Value*> ptrs;
    RefMask byRef = 0;  // the arguments that are a variable or an element of an array variable

    void Lend(Value* variable) {
        const size_t i = ptrs.size();
        if (i < 64) byRef |= RefMask(1) << i;
        ptrs.push_back(variable);
    }
    std::vector<std::shared_ptr<Array>> lent;  // arrays with an element in ptrs, one lock each

    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    ~Args() {
        for (auto& a : lent) --a->locks.n;
    }
};

class EntryGuard {
   public:
    explicit EntryGuard(Interpreter* in) : in_(in) {
        if (in_->depth_++ == 0) in_->stack_.base = reinterpret_cast<uintptr_t>(this);
    }
    ~EntryGuard() { --in_->depth_; }
    EntryGuard(const EntryGuard&) = delete;
    EntryGuard& operator=(const EntryGuard&) = delete;

   private:
    Interpreter* in_;
};

namespace {
// Turns the C++ failures that are no script errors into one.
template <class F>
auto Guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const ScriptError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ErrorOf(err::kOutOfMemory);
    } catch (const std::length_error&) {
        throw ErrorOf(err::kOutOfMemory);
    } catch (...) {
        ScriptError e;
        e.status = StatusOf(51);
        e.description = u"Internal error";
        e.source = kRuntimeSource;
        throw e;
    }
}
}  // namespace

// A host calling a script object: its own stack measure when no run is on,
// and only ScriptError out.
Value Instance::Invoke(StringView name, unsigned flags, std::span<Value* const> args) {
    if (alive.expired()) Raise(err::kNotSupported);
    return interp->InvokeFromHost(*this, name, flags, args);
}

Value Interpreter::InvokeFromHost(Instance& inst, StringView name, unsigned flags,
                                  std::span<Value* const> args) {
    EntryGuard guard(this);
    return Guarded([&] { return InvokeInstance(inst, name, flags, args, false); });
}

Value Interpreter::CallFromHost(const Proc* p, std::span<Value* const> args) {
    EntryGuard guard(this);
    return Guarded([&] { return CallProc(p, nullptr, nullptr, args); });
}

// ---- Engine-level entry points ---------------------------------------------------------

Interpreter::Interpreter(Host* host) : err_(std::make_shared<ErrObject>()), alive_(std::make_shared<int>(0)) {
    state_.host = host;
}

Interpreter::~Interpreter() {
    // Class_Terminate of what the globals hold runs while everything is still here.
    EntryGuard guard(this);
    try {
        // By index: a Class_Terminate may add globals while this runs.
        for (size_t i = 0; i < globals_.size(); ++i) {
            Value old = std::move(globals_[i].value);
            globals_[i].value = Value();
        }
        items_.clear();
    } catch (...) {
    }
    alive_.reset();
}

void Interpreter::AddNamedItem(StringView name, std::shared_ptr<Object> object, bool globalMembers) {
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

void Interpreter::ThrowInterrupted() {
    ScriptError e = ErrorOf(err::kInterrupted);
    e.uncatchable = true;
    throw e;
}

void Interpreter::Run(StringView text, int firstLine) {
    EntryGuard guard(this);
    Guarded([&] { RunText(text, firstLine, false); });
}

int Interpreter::ProcedureId(StringView name) const {
    auto it = globalIndex_.find(name);
    if (it == globalIndex_.end() || !globals_[size_t(it->second)].proc) return -1;
    return it->second;
}

String Interpreter::ProcedureName(int id) const {
    if (id < 0 || size_t(id) >= globals_.size() || !globals_[size_t(id)].proc) return String();
    return globals_[size_t(id)].proc->name;
}

Value Interpreter::Call(int id, std::span<Value* const> args) {
    EntryGuard guard(this);
    return Guarded([&] {
        CheckInterrupt();
        if (id < 0 || size_t(id) >= globals_.size() || !globals_[size_t(id)].proc) Raise(err::kNoSuchSub);
        return CallProc(globals_[size_t(id)].proc, nullptr, nullptr, args);
    });
}

void Interpreter::Terminate(Instance* p) {
    EntryGuard guard(this);
    std::shared_ptr<Object> again(p);  // a second life without this deleter
    try {
        CallProc(p->cls->terminate, again, p, {});
    } catch (...) {
    }
}

// ---- Compiling and registering ---------------------------------------------------------

int Interpreter::EnsureGlobal(const String& name) {
    auto it = globalIndex_.find(name);
    if (it != globalIndex_.end()) return it->second;
    const int index = int(globals_.size());
    globals_.push_back(Global{name, Value(), nullptr, nullptr, false});
    globalIndex_.emplace(name, index);
    ++generation_;
    return index;
}

bool Interpreter::HasGlobal(StringView name) const { return globalIndex_.count(String(name)) != 0; }

Value Interpreter::InvokeGlobal(StringView name, unsigned flags, std::span<Value* const> args) {
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
        return Value();
    }
    return IndexValue(g.value, args, flags);
}

void Interpreter::RunText(StringView text, int firstLine, bool transient, Frame* outer) {
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

void Interpreter::Register(Program& p, Frame& f) {
    for (auto& proc : p.procs) {
        Global& g = globals_[size_t(EnsureGlobal(proc->name))];
        CheckNotLocked(g.value);
        g.proc = proc.get();
        g.cls = nullptr;
        g.isConst = false;
        g.value = Value();
    }
    for (auto& cls : p.classes) {
        Global& g = globals_[size_t(EnsureGlobal(cls->name))];
        CheckNotLocked(g.value);
        g.proc = nullptr;
        g.cls = cls.get();
        g.isConst = false;
        g.value = Value();
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
                g.value = Value::Arr(MakeArray(d.bounds, f, !d.bounds.empty()));
            } catch (ScriptError& e) {
                annotate(e, d.line, d.column);
                throw;
            }
        }
    }
    for (ConstDecl& c : p.consts) {
        const int index = EnsureGlobal(c.name);
        try {
            Value v = Eval(*c.value, f);
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

std::shared_ptr<Array> Interpreter::MakeArray(std::vector<ExprP>& bounds, Frame& f, bool fixed) {
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

// ---- Calls -------------------------------------------------------------------------------

Value Interpreter::CallProc(const Proc* p, const std::shared_ptr<Object>& me, Instance* inst,
                            std::span<Value* const> args) {
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
    return Value();
}

// The procedure's arrays (Dim a(3)) and constants, made at each call.
NOINLINE void Interpreter::InitLocals(const Proc* p, Frame& f) {
    for (const VarDecl& d : p->arrays)
        f.storage[size_t(d.slot)] =
            Value::Arr(MakeArray(const_cast<VarDecl&>(d).bounds, f, !d.bounds.empty()));
    for (const ConstDecl& c : p->consts) {
        try {
            f.storage[size_t(c.slot)] = Eval(*c.value, f);
        } catch (ScriptError& e) {
            if (e.line < 0) e.line = c.line, e.column = c.column;
            throw;
        }
    }
}

Value Interpreter::InvokeInstance(Instance& inst, StringView name, unsigned flags,
                                  std::span<Value* const> args, bool allowPrivate) {
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
    std::shared_ptr<Object> self = inst.shared_from_this();
    if (flags & (kCallPut | kCallPutRef)) {
        if (args.empty()) Raise(err::kArgCount);
        if (m->field >= 0) {
            Value v = *args.back();
            if (flags & kCallPutRef) {
                if (!v.IsObject()) Raise(err::kObjectRequired);
            } else if (v.IsObject()) {
                v = Plain(v);
            }
            Value& field = inst.fields[size_t(m->field)];
            if (args.size() == 1) {
                CheckNotLocked(field);
                field = std::move(v);
                return Value();
            }
            if (field.IsArray()) {
                std::vector<int32_t> index;
                for (size_t i = 0; i + 1 < args.size(); ++i) index.push_back(ToIndex(*args[i]));
                if (!field.IsArray()) Raise(err::kTypeMismatch);  // the index replaced it
                WritableArray(field)->At(index) = std::move(v);
                return Value();
            }
            if (field.IsObject() && field.object()) {
                Value target = field;
                return target.object()->Invoke(u"", flags, args);
            }
            Raise(err::kTypeMismatch);
        }
        const Proc* p = (flags & kCallPutRef) ? (m->set ? m->set : nullptr) : (m->let ? m->let : m->set);
        if (!p) RaiseNamed(err::kNotSupported, m->name);
        return CallProc(p, self, &inst, args);
    }
    if (m->field >= 0) {
        Value v = inst.fields[size_t(m->field)];
        if (args.empty()) return v;
        return IndexValue(v, args, flags);
    }
    if (m->get) return CallProc(m->get, self, &inst, args);
    if (m->method) return CallProc(m->method, self, &inst, args);
    RaiseNamed(err::kNotSupported, m->name);
}

Value Interpreter::InvokeOn(const Value& target, StringView name, unsigned flags,
                            std::span<Value* const> args, Frame& f, RefMask byRef) {
    if (!target.IsObject()) RaiseNamed(err::kObjectRequired, name);
    Object* o = target.object();
    if (!o) {
        if (!name.empty()) RaiseNamed(err::kObjectRequired, name);  // a member of Nothing
        Raise(err::kObjectNotSet);
    }
    if (f.proc->cls) {
        if (auto* inst = dynamic_cast<Instance*>(o); inst && inst->cls == f.proc->cls)
            return InvokeInstance(*inst, name, flags, args, true);
    }
    return o->InvokeWithRefs(name, flags, args, byRef);
}

Value Interpreter::IndexValue(const Value& v, std::span<Value* const> args, unsigned flags,
                              RefMask byRef) {
    if (v.IsArray()) {
        std::vector<int32_t> index;
        index.reserve(args.size());
        for (Value* a : args) index.push_back(ToIndex(*a));
        return const_cast<Array*>(v.array())->At(index);
    }
    if (v.IsObject()) {
        if (!v.object()) Raise(err::kObjectNotSet);
        Value keep = v;
        return keep.object()->InvokeWithRefs(u"", flags, args, byRef);
    }
    if (args.empty()) return v;
    Raise(err::kTypeMismatch);
}

// An element of an array variable, passed by reference: the array is made
// unshared and locked until the call ends (ReDim, Erase or a new value for
// the variable meanwhile: error 10). Null when `call` names no array variable.
Value* Interpreter::LendElement(Expr& call, Frame& f, Args& out) {
    Expr& base = *call.a;
    EnsureResolved(base, f);
    Value* var = VariableOf(base, f);
    if (!var || !var->IsArray()) return nullptr;
    std::vector<int32_t> index;
    index.reserve(call.args.size());
    for (auto& a : call.args) {
        if (!a) Raise(err::kSubscript);
        index.push_back(ToIndex(Eval(*a, f)));
    }
    if (!var->IsArray()) RaiseNamed(err::kTypeMismatch, base.name);  // the index replaced it
    Value& element = WritableArray(*var)->At(index);
    out.lent.push_back(var->arrayPtr());
    ++out.lent.back()->locks.n;
    return &element;
}

void Interpreter::BuildArgs(std::vector<ExprP>& argExprs, Frame& f, Args& out, const Proc* p) {
    out.temps.reserve(argExprs.size());
    out.ptrs.reserve(argExprs.size());
    for (size_t i = 0; i < argExprs.size(); ++i) {
        auto& a = argExprs[i];
        if (a && a->kind == EK::Call && a->a->kind == EK::Name &&
            (!p || (i < p->params.size() && p->params[i].byRef))) {
            if (Value* element = LendElement(*a, f, out)) {
                out.Lend(element);
                continue;
            }
        }
        if (!a) {
            out.ptrs.push_back(&out.temps.emplace_back(Value::Missing()));
            continue;
        }
        if (a->kind == EK::Name) {
            EnsureResolved(*a, f);
            if (Value* var = VariableOf(*a, f)) {
                out.Lend(var);
                continue;
            }
        }
        out.ptrs.push_back(&out.temps.emplace_back(Eval(*a, f)));
    }
}

Value Interpreter::CallBuiltin(const Builtin* b, std::vector<ExprP>& argExprs, Frame& f) {
    if (int(argExprs.size()) < b->minArgs || (b->maxArgs != kAnyArgs && int(argExprs.size()) > b->maxArgs))
        RaiseNamed(err::kArgCount, b->name);
    std::vector<Value> values;
    values.reserve(argExprs.size());
    for (auto& a : argExprs) values.push_back(a ? Eval(*a, f) : Value::Missing());
    return b->fn(state_, values);
}

Value Interpreter::CallEngineBuiltin(int which, std::vector<ExprP>& argExprs, Frame& f) {
    if (which == kErr) {
        if (!argExprs.empty()) Raise(err::kTypeMismatch);
        return Value::Obj(err_);
    }
    if (argExprs.size() != 1 || !argExprs[0]) RaiseNamed(err::kArgCount, kEngineFns[which]);
    Value v = Eval(*argExprs[0], f);
    switch (which) {
        case kIsObject: return Value::Boolean(v.IsObject());
        case kTypeName: return Value::Str(TypeNameOf(v));
        case kVarType:
            if (v.IsObject() && v.object()) return Value::Integer(int16_t(v.object()->VarType()));
            return Value::Integer(int16_t(v.IsArray() ? 0x200C : int(v.type())));
        case kGetRef: {
            const String name = ops::ToString(Plain(v));
            const int id = ProcedureId(name);
            if (id < 0) Raise(err::kInvalidCall);
            return Value::Obj(std::make_shared<ProcRef>(this, globals_[size_t(id)].proc, alive_));
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
            return Value();
        }
    }
}

Value Interpreter::CallMember(const Member* m, std::vector<ExprP>& argExprs, Frame& f, unsigned flags) {
    (void)flags;
    Args args;
    BuildArgs(argExprs, f, args);
    const Proc* p = m->get ? m->get : m->method;
    if (!p) RaiseNamed(err::kNotSupported, m->name);
    if (!f.inst) Raise(err::kObjectRequired);
    return CallProc(p, f.me, f.inst, args.ptrs);
}

Value Interpreter::NewInstance(Expr& e, Frame& f) {
    (void)f;
    // The language's own classes (RegExp) come before a script class of the same name.
    if (e.resolved != Resolved::Global)
        if (auto builtin = NewBuiltinClass(e.name)) return Value::Obj(std::move(builtin));
    if (e.resolved != Resolved::Global || e.generation != generation_) {
        auto it = globalIndex_.find(e.name);
        if (it == globalIndex_.end()) {  // no script class: the language's own (RegExp)
            if (auto builtin = NewBuiltinClass(e.name)) return Value::Obj(std::move(builtin));
            RaiseNamed(err::kClassNotDefined, e.name);
        }
        e.index = it->second;
        e.resolved = Resolved::Global;
        e.generation = generation_;
    }
    const ClassDef* cls = globals_[size_t(e.index)].cls;
    if (!cls) {
        if (auto builtin = NewBuiltinClass(e.name)) return Value::Obj(std::move(builtin));
        RaiseNamed(err::kClassNotDefined, e.name);
    }
    std::shared_ptr<Instance> sp(new Instance(this, cls, alive_), InstanceDeleter{});
    std::shared_ptr<Object> obj = sp;
    if (!cls->fields.empty()) {
        Frame cf;
        cf.Init(&cls->scope);
        cf.me = obj;
        cf.inst = sp.get();
        for (const VarDecl& d : cls->fields)
            if (d.isArray)
                sp->fields[size_t(d.slot)] =
                    Value::Arr(MakeArray(const_cast<VarDecl&>(d).bounds, cf, !d.bounds.empty()));
        for (const ConstDecl& c : cls->consts) sp->fields[size_t(c.slot)] = Eval(*c.value, cf);
    }
    if (cls->initialize) CallProc(cls->initialize, obj, sp.get(), {});
    return Value::Obj(std::move(obj));
}

// ---- Names ---------------------------------------------------------------------------------

void Interpreter::Resolve(Expr& e, Frame& f) {
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

Value* Interpreter::VariableOf(Expr& e, Frame& f) {
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

Value* Interpreter::OuterPlace(Expr& e, Frame& f) {
    Frame* o = f.outer;
    if (!o) Raise(err::kObjectRequired);
    if (e.resolved == Resolved::OuterLocal) return o->slots[size_t(e.index)];
    if (!o->inst) Raise(err::kObjectRequired);
    return &o->inst->fields[size_t(e.index)];
}

Value Interpreter::EvalName(Expr& e, Frame& f) {
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
        case Resolved::NamedItem: return Value::Obj(items_[size_t(e.index)].object);
        case Resolved::GlobalMember: {
            std::shared_ptr<Object> o = items_[size_t(e.index)].object;
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

const Value& Interpreter::EvalRef(Expr& e, Frame& f, Value& tmp) {
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

Value Interpreter::Eval(Expr& e, Frame& f) {
    switch (e.kind) {
        case EK::Literal: return e.value;
        case EK::Name: return EvalName(e, f);
        case EK::Paren: return Eval(*e.a, f);
        case EK::Binary: return EvalBinary(e, f);
        case EK::Call: return EvalCall(e, e.args, f, kCallMethod | kCallGet, e.a.get());
        default: return EvalOther(e, f);
    }
}

NOINLINE Value Interpreter::EvalBinary(Expr& e, Frame& f) {
    stack_.Check();
    // Variables and literals are read in place; Integer and Long operands
    // take the short way.
    const Value* pa = PlaceOf(*e.a, f);
    const Value* pb = pa ? PlaceOf(*e.b, f) : nullptr;
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
            case ops::Op::Eq: return Value::Boolean(x == y);
            case ops::Op::Ne: return Value::Boolean(x != y);
            case ops::Op::Lt: return Value::Boolean(x < y);
            case ops::Op::Le: return Value::Boolean(x <= y);
            case ops::Op::Gt: return Value::Boolean(x > y);
            case ops::Op::Ge: return Value::Boolean(x >= y);
            default: break;
        }
    }
    if (pb) return BinaryOf(e.op, *pa, *pb);
    return EvalBinarySlow(e, f);
}

NOINLINE Value Interpreter::EvalBinarySlow(Expr& e, Frame& f) {
    // Left to right, each side a value of its own (a call on the right may change a variable on the left).
    Value a = Eval(*e.a, f);
    Value b = Eval(*e.b, f);
    return BinaryOf(e.op, a, b);
}

Value Interpreter::BinaryOf(ops::Op op, const Value& a, const Value& b) {
    if (a.IsObject() || b.IsObject()) return BinaryOfObjects(op, a, b);
    return ops::Binary(op, a, b);
}

// Where a variable, constant or literal operand is (no copy), or null.
const Value* Interpreter::PlaceOf(Expr& e, Frame& f) {
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

NOINLINE Value Interpreter::BinaryOfObjects(ops::Op op, const Value& a, const Value& b) {
    Value pa = a.IsObject() ? Plain(a) : a;
    Value pb = b.IsObject() ? Plain(b) : b;
    return ops::Binary(op, pa, pb);
}

NOINLINE Value Interpreter::EvalOther(Expr& e, Frame& f) {
    stack_.Check();
    switch (e.kind) {
        case EK::Negate: {
            Value v = Eval(*e.a, f);
            return ops::Negate(v.IsObject() ? Plain(v) : v);
        }
        case EK::Not: {
            Value v = Eval(*e.a, f);
            return ops::Not(v.IsObject() ? Plain(v) : v);
        }
        case EK::Is: {
            Value a = Eval(*e.a, f);
            Value b = Eval(*e.b, f);
            if (!a.IsObject() || !b.IsObject()) Raise(err::kObjectRequired);
            const void* ia = a.object() ? a.object()->Identity() : nullptr;
            const void* ib = b.object() ? b.object()->Identity() : nullptr;
            return Value::Boolean(ia == ib);
        }
        case EK::Member: {
            Value target = Eval(*e.a, f);
            return InvokeOn(target, e.name, kCallMethod | kCallGet, {}, f);
        }
        case EK::New: return NewInstance(e, f);
        case EK::Me:
            if (!f.me) {
                if (!globalScope_) globalScope_ = std::make_shared<GlobalScope>(this, alive_);
                return Value::Obj(globalScope_);
            }
            return Value::Obj(f.me);
        case EK::With: return f.with[size_t(e.index)];
        default: Raise(err::kSyntax);
    }
}

// callee(args) as a value (flags Method|Get) or as a statement (Method).
Value Interpreter::EvalCall(Expr& call, std::vector<ExprP>& argExprs, Frame& f, unsigned flags,
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
                Value* var = n.resolved == Resolved::Field
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

NOINLINE Value Interpreter::CallNamedItem(Expr& n, std::vector<ExprP>& argExprs, Frame& f, unsigned flags) {
    Value item = Value::Obj(items_[size_t(n.index)].object);
    return CallObject(std::move(item),
                      n.resolved == Resolved::GlobalMember ? StringView(n.name) : StringView(), argExprs, f,
                      flags);
}

NOINLINE Value Interpreter::CallWithArgs(const Proc* p, const std::shared_ptr<Object>& me, Instance* inst,
                                         std::vector<ExprP>& argExprs, Frame& f) {
    Args args;
    BuildArgs(argExprs, f, args, p);
    return CallProc(p, me, inst, args.ptrs);
}

NOINLINE Value Interpreter::CallVariable(Expr& n, const Value& var, std::vector<ExprP>& argExprs, Frame& f,
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

NOINLINE Value Interpreter::CallObject(Value target, StringView name, std::vector<ExprP>& argExprs, Frame& f,
                                       unsigned flags) {
    Args args;
    BuildArgs(argExprs, f, args);
    if (name.empty()) return IndexValue(target, args.ptrs, flags, args.byRef);
    return InvokeOn(target, name, flags, args.ptrs, f, args.byRef);
}

NOINLINE Value Interpreter::CallMemberOf(Expr& callee, std::vector<ExprP>& argExprs, Frame& f,
                                         unsigned flags) {
    Value target = Eval(*callee.a, f);
    Args args;
    BuildArgs(argExprs, f, args);
    return InvokeOn(target, callee.name, flags, args.ptrs, f, args.byRef);
}

NOINLINE Value Interpreter::CallValue(Expr& callee, std::vector<ExprP>& argExprs, Frame& f, unsigned flags) {
    Value target = Eval(callee, f);
    Args args;
    BuildArgs(argExprs, f, args);
    if (!target.IsObject() && !(flags & kCallGet)) Raise(err::kTypeMismatch);
    return IndexValue(target, args.ptrs, flags, args.byRef);
}

// ---- Statements ----------------------------------------------------------------------------

Flow Interpreter::ExecBlock(const Block& block, Frame& f) {
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

NOINLINE void Interpreter::Caught(ScriptError& e, const Stmt& s, Frame& f) {
    if (e.line < 0) {
        e.line = s.line;
        e.column = s.column;
    }
    if (!f.resumeNext || e.uncatchable) throw;
    err_->Set(e);
}

NOINLINE void Interpreter::CaughtOutOfMemory(const Stmt& s, Frame& f) {
    ScriptError e = ErrorOf(err::kOutOfMemory);
    e.line = s.line;
    e.column = s.column;
    if (!f.resumeNext) throw e;
    err_->Set(e);
}

bool Interpreter::Condition(Expr& e, Frame& f) {
    Value tmp;
    const Value& v = EvalRef(e, f, tmp);
    if (v.type() == Type::Boolean) return v.boolean();
    if (v.IsNull()) return false;
    if (v.IsObject()) return ops::ToBool(Plain(v));
    return ops::ToBool(v);
}

// The test of an If, ElseIf or loop header. Under On Error Resume Next a
// failing test goes on with the next statement, the first inside the block:
// it counts as passed (`*failed` set). Otherwise the error leaves.
bool Interpreter::HeaderCondition(Expr& e, const Stmt& s, Frame& f, bool* failed) {
    try {
        return Condition(e, f);
    } catch (ScriptError& x) {
        Caught(x, s, f);
    } catch (const std::bad_alloc&) {
        CaughtOutOfMemory(s, f);
    } catch (const std::length_error&) {
        CaughtOutOfMemory(s, f);
    }
    if (failed) *failed = true;
    return true;
}

Flow Interpreter::Exec(const Stmt& cs, Frame& f) {
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

NOINLINE void Interpreter::ExecAssign(Stmt& s, Frame& f) {
    Value v = Eval(*s.value, f);
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
Value Interpreter::HeaderValue(Expr& e, const Stmt& s, Frame& f, bool plain, bool* failed) {
    try {
        Value v = Eval(e, f);
        if (plain && v.IsObject()) v = Plain(v);
        return v;
    } catch (ScriptError& x) {
        Caught(x, s, f);
    } catch (const std::bad_alloc&) {
        CaughtOutOfMemory(s, f);
    } catch (const std::length_error&) {
        CaughtOutOfMemory(s, f);
    }
    *failed = true;
    return Value();
}

NOINLINE Flow Interpreter::ExecSelect(Stmt& s, Frame& f) {
    {
        {
            Value v = Eval(*s.value, f);
            if (v.IsObject()) v = Plain(v);
            for (size_t i = 0; i < s.cases.size(); ++i) {
                for (auto& c : s.cases[i]) {
                    // Under On Error Resume Next a Case that fails goes on with
                    // the next statement, the first of its own block.
                    bool failed = false;
                    Value cv = HeaderValue(*c, s, f, true, &failed);
                    if (failed) return ExecBlock(s.blocks[i], f);
                    const Value eq = ops::Binary(ops::Op::Eq, v, cv);
                    if (eq.type() == Type::Boolean && eq.boolean()) return ExecBlock(s.blocks[i], f);
                }
            }
            if (s.hasElse) return ExecBlock(s.elseBlock, f);
            return Flow::Normal;
        }
    }
}

NOINLINE Flow Interpreter::ExecOther(Stmt& s, Frame& f) {
    switch (s.kind) {
        case SK::With: {
            f.with[size_t(s.withDepth)] = Eval(*s.value, f);
            Flow flow;
            try {
                flow = ExecBlock(s.body, f);
            } catch (...) {
                f.with[size_t(s.withDepth)] = Value();
                throw;
            }
            f.with[size_t(s.withDepth)] = Value();
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
            Value* var = VariableOf(*s.target, f);
            if (!var) RaiseNamed(err::kIllegalAssignment, s.target->name);
            if (!var->IsArray()) RaiseNamed(err::kTypeMismatch, s.target->name);
            CheckNotLocked(*var);
            Array* a = var->MutableArray();
            if (a->fixed) {
                for (Value& x : a->data) x = Value();
            } else {
                auto empty = std::make_shared<Array>();
                *var = Value::Arr(std::move(empty));
            }
            return Flow::Normal;
        }
        default: return Flow::Normal;
    }
}

void Interpreter::ExecCall(const Stmt& cs, Frame& f) {
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

void Interpreter::Assign(Expr& target, Value& v, unsigned flags, Frame& f) {
    switch (target.kind) {
        case EK::Name: {
            EnsureResolved(target, f);
            if (Value* var = VariableOf(target, f)) {
                CheckNotLocked(*var);
                *var = std::move(v);
                return;
            }
            switch (target.resolved) {
                case Resolved::ClassMember: {
                    const Member* m = target.member;
                    const Proc* p = (flags & kCallPutRef) ? m->set : (m->let ? m->let : m->set);
                    if (!p || !f.inst) RaiseNamed(err::kIllegalAssignment, target.name);
                    Value* arg = &v;
                    return (void)CallProc(p, f.me, f.inst, std::span<Value* const>(&arg, 1));
                }
                case Resolved::GlobalMember: {
                    std::shared_ptr<Object> o = items_[size_t(target.index)].object;
                    Value* arg = &v;
                    o->Invoke(target.name, flags, std::span<Value* const>(&arg, 1));
                    return;
                }
                case Resolved::Undefined: RaiseNamed(err::kUndefined, target.name);
                default: RaiseNamed(err::kIllegalAssignment, target.name);
            }
        }
        case EK::Member: {
            Value obj = Eval(*target.a, f);
            Value* arg = &v;
            InvokeOn(obj, target.name, flags, std::span<Value* const>(&arg, 1), f);
            return;
        }
        case EK::Call: {
            Expr& base = *target.a;
            if (base.kind == EK::Name) {
                EnsureResolved(base, f);
                if (Value* var = VariableOf(base, f)) {
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
                        Value obj = *var;
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
                        std::shared_ptr<Object> o = items_[size_t(base.index)].object;
                        o->InvokeWithRefs(base.name, flags, args.ptrs, args.byRef);
                        return;
                    }
                    case Resolved::NamedItem: {
                        std::shared_ptr<Object> o = items_[size_t(base.index)].object;
                        o->InvokeWithRefs(u"", flags, args.ptrs, args.byRef);
                        return;
                    }
                    case Resolved::Undefined: RaiseNamed(err::kUndefined, base.name);
                    default: RaiseNamed(err::kIllegalAssignment, base.name);
                }
            }
            if (base.kind == EK::Member) {
                Value obj = Eval(*base.a, f);
                Args args;
                BuildArgs(target.args, f, args);
                args.ptrs.push_back(&v);
                InvokeOn(obj, base.name, flags, args.ptrs, f, args.byRef);
                return;
            }
            Value obj = Eval(base, f);
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

void Interpreter::ExecReDim(const Stmt& cs, Frame& f) {
    Stmt& s = const_cast<Stmt&>(cs);
    for (auto& c : s.args) {
        Expr& name = *c->a;
        EnsureResolved(name, f);
        Value* var = VariableOf(name, f);
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
        *var = Value::Arr(std::move(a));
    }
}

Flow Interpreter::ExecFor(const Stmt& cs, Frame& f) {
    Stmt& s = const_cast<Stmt&>(cs);
    EnsureResolved(*s.target, f);
    Value* var = VariableOf(*s.target, f);
    if (!var) RaiseNamed(err::kIllegalAssignment, s.target->name);
    Value from, to, step;
    try {
        from = Eval(*s.from, f);
        if (from.IsObject()) from = Plain(from);
        to = Eval(*s.to, f);
        if (to.IsObject()) to = Plain(to);
        step = s.step ? Eval(*s.step, f) : Value::Integer(1);
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
    const bool down = ops::Compare(step, Value::Integer(0)) < 0;
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
            Value cur = var->IsObject() ? Plain(*var) : *var;
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
                *var = Value::Integer(int16_t(next));
            else if (next >= INT32_MIN && next <= INT32_MAX)
                *var = Value::Long(int32_t(next));
            else
                *var = Value::Double(double(next));
        } else {
            Value cur = var->IsObject() ? Plain(*var) : *var;
            *var = ops::Binary(ops::Op::Add, cur, step);
        }
    }
    return Flow::Normal;
}

Flow Interpreter::ExecForEach(const Stmt& cs, Frame& f) {
    Stmt& s = const_cast<Stmt&>(cs);
    EnsureResolved(*s.target, f);
    Value* var = VariableOf(*s.target, f);
    if (!var) RaiseNamed(err::kIllegalAssignment, s.target->name);
    bool failed = false;
    Value coll = HeaderValue(*s.value, s, f, false, &failed);
    std::vector<Value> items;
    const std::vector<Value>* list = &items;
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

Flow Interpreter::ExecDo(const Stmt& cs, Frame& f) {
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
