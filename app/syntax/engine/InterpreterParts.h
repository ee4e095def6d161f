// The interpreter's own pieces shared by its files (Interpreter.cpp: entry
// points and registering; InterpreterCalls.cpp: calls and objects;
// InterpreterNames.cpp: names and expressions; InterpreterStatements.cpp:
// statements). Not for use outside the interpreter.
#pragma once

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

class CInstance : public CObject {
   public:
    CInstance(CInterpreter* interp, const ClassDef* cls, std::weak_ptr<int> alive)
        : interp(interp), cls(cls), alive(std::move(alive)), fields(cls->fields.size()) {}
    CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) override;
    bool HasMember(StringView name) override {
        if (alive.expired()) return false;
        auto it = cls->members.find(name);
        return it != cls->members.end() && it->second.isPublic;
    }
    String TypeName() const override { return alive.expired() ? u"Object" : cls->name; }

    CInterpreter* interp;
    const ClassDef* cls;
    std::weak_ptr<int> alive;
    std::vector<CValue> fields;
};

namespace {

// Releasing an instance can release others (a linked list of nodes): those
// wait in a queue the outermost release empties, so that a long chain never
// recurses through the native stack. The queue is a plain pointer that
// lives only while the outermost release empties it: a thread_local with a
// destructor is destroyed after its storage was freed when a thread ends
// (MinGW's emulated TLS).
thread_local int t_releasing = 0;
thread_local std::vector<CInstance*>* t_pending = nullptr;

inline void Dispose(CInstance* p) {
    if (!p->alive.expired() && p->cls->terminate)
        p->interp->Terminate(p);  // owns p from here
    else
        delete p;
}

struct InstanceDeleter {
    void operator()(CInstance* p) const noexcept {
        if (t_releasing > 0) {
            try {
                if (!t_pending) t_pending = new std::vector<CInstance*>();
                t_pending->push_back(p);
                return;
            } catch (...) {
            }
        }
        ++t_releasing;
        Dispose(p);
        while (t_pending && !t_pending->empty()) {
            CInstance* q = t_pending->back();
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

class CErrObject : public CObject {
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
    CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) override {
        const bool put = flags & (kCallPut | kCallPutRef);
        if (name.empty() || SameName(name, u"Number")) {
            if (put) {
                if (args.empty()) Raise(err::kArgCount);
                number = ops::ToLong(Plain(*args.back()));
                return CValue();
            }
            return CValue::Long(number);
        }
        // Description and Source: text read, or written with the value last.
        auto text = [&](String& field) {
            if (!put) return CValue::Str(field);
            if (args.empty()) Raise(err::kArgCount);
            field = ops::ToString(Plain(*args.back()));
            return CValue();
        };
        if (SameName(name, u"Description")) return text(description);
        if (SameName(name, u"Source")) return text(source);
        if (SameName(name, u"HelpFile")) return text(helpFile);
        if (SameName(name, u"HelpContext")) {
            if (!put) return CValue::Long(helpContext);
            if (args.empty()) Raise(err::kArgCount);
            helpContext = ops::ToLong(Plain(*args.back()));
            return CValue();
        }
        if (SameName(name, u"Clear")) {
            Clear();
            return CValue();
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
class CGlobalScope : public CObject {
   public:
    CGlobalScope(CInterpreter* interp, std::weak_ptr<int> alive) : interp_(interp), alive_(std::move(alive)) {}
    CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) override {
        if (name.empty() || alive_.expired()) Raise(err::kNotSupported);
        return interp_->InvokeGlobal(name, flags, args);
    }
    bool HasMember(StringView name) override { return !alive_.expired() && interp_->HasGlobal(name); }

   private:
    CInterpreter* interp_;
    std::weak_ptr<int> alive_;
};

// What GetRef returns: its default member calls the procedure.
class CProcRef : public CObject {
   public:
    CProcRef(CInterpreter* interp, const Proc* proc, std::weak_ptr<int> alive)
        : interp_(interp), proc_(proc), alive_(std::move(alive)) {}
    CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) override {
        if (!name.empty() || (flags & (kCallPut | kCallPutRef)) || alive_.expired())
            Raise(err::kNotSupported);
        return interp_->CallFromHost(proc_, args);
    }
    bool HasMember(StringView) override { return false; }

   private:
    CInterpreter* interp_;
    const Proc* proc_;
    std::weak_ptr<int> alive_;
};

enum EngineFn { kErr, kEval, kExecute, kExecuteGlobal, kGetRef, kIsObject, kTypeName, kVarType };
constexpr const char16_t* kEngineFns[] = {u"Err",    u"Eval",     u"Execute",  u"ExecuteGlobal",
                                          u"GetRef", u"IsObject", u"TypeName", u"VarType"};

inline ScriptError ErrorOf(int number) {
    ScriptError e;
    e.status = StatusOf(number);
    e.description = ErrorText(number);
    e.source = kRuntimeSource;
    return e;
}

[[noreturn]] inline void RaiseNamed(int number, StringView name) {
    Raise(number, ErrorText(number) + u": '" + String(name) + u"'");
}

inline int32_t ToIndex(const CValue& v) { return ops::ToLong(v.IsObject() ? Plain(v) : v); }

inline bool IsIntegral(const CValue& v) { return v.type() == Type::Integer || v.type() == Type::Long; }
inline int64_t IntegralOf(const CValue& v) { return v.type() == Type::Integer ? v.integer() : v.lng(); }

inline String TypeNameOf(const CValue& v) {
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
inline CValue IntegralResult(int64_t r, bool bothInteger) {
    if (bothInteger && r >= INT16_MIN && r <= INT16_MAX) return CValue::Integer(int16_t(r));
    if (r >= INT32_MIN && r <= INT32_MAX) return CValue::Long(int32_t(r));
    return CValue::Double(double(r));
}

// Arrays get at most 256 MiB of elements (error 7 before allocating more).
constexpr size_t kMaxArrayBytes = size_t(256) << 20;
constexpr size_t kMaxArrayElements = kMaxArrayBytes / sizeof(CValue);

// Whether `v` holds an array with elements lent by reference to a call in
// progress, and nothing but the lends holds it besides `v`. (The lends keep
// the array alive; when another variable shares it, replacing `v` frees nothing.)
inline bool Locked(const CValue& v) {
    return v.IsArray() && v.array()->locks.n > 0 && v.arrayPtr().use_count() <= 1 + long(v.array()->locks.n);
}
// Replacing, reallocating or erasing such an array would move the lent elements
// away from the variable.
inline void CheckNotLocked(const CValue& v) {
    if (Locked(v)) Raise(err::kFixedArray);
}
// The array of `var` to change in place. Each lend holds the array once
// more (the call's arguments keep it alive), so a lent array counts as
// unshared when nothing else holds it; when something else does, it can
// neither be copied away from the lent elements nor changed under the other
// holder: error 10.
inline Array* WritableArray(CValue& var) {
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
inline Frame* OuterOf(Frame& f);

// The frame of one procedure call (or of a text's top level).
struct Frame {
    const Proc* proc = nullptr;
    std::vector<CValue> storage;
    std::vector<CValue*> slots;
    std::shared_ptr<CObject> me;
    CInstance* inst = nullptr;
    bool resumeNext = false;
    std::vector<CValue> with;
    Frame* outer = nullptr;  // Execute and Eval: the procedure's frame they see the locals of

    void Init(const Proc* p) {
        proc = p;
        storage.resize(size_t(p->slotCount));
        slots.resize(storage.size());
        for (size_t i = 0; i < storage.size(); ++i) slots[i] = &storage[i];
        with.resize(size_t(p->withDepth));
    }
};

inline Frame* OuterOf(Frame& f) {
    if (f.proc->kind != ProcKind::Main) return &f;
    return f.outer;  // Execute inside Execute: the same procedure
}

// The arguments of one call: pointers to variables (by reference) or temporaries.
struct CInterpreter::Args {
    std::vector<CValue> temps;
    std::vector<CValue*> ptrs;
    RefMask byRef = 0;  // the arguments that are a variable or an element of an array variable

    void Lend(CValue* variable) {
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

class CEntryGuard {
   public:
    explicit CEntryGuard(CInterpreter* in) : in_(in) {
        if (in_->depth_++ == 0) in_->stack_.base = reinterpret_cast<uintptr_t>(this);
    }
    ~CEntryGuard() { --in_->depth_; }
    CEntryGuard(const CEntryGuard&) = delete;
    CEntryGuard& operator=(const CEntryGuard&) = delete;

   private:
    CInterpreter* in_;
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

}  // namespace script
