// The compiled form of a script: expression and statement trees the
// interpreter walks. Names are resolved on their first use and the answer
// is kept in the node (a local's slot, a global's index, the built-in...),
// so that a loop never looks a name up as text again.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "Builtins.h"
#include "Operators.h"
#include "Value.h"

namespace script {

struct Proc;
struct ClassDef;
struct Program;

// Case-insensitive lookup of names without building a lowered copy.
struct NameHash {
    using is_transparent = void;
    size_t operator()(StringView s) const {
        size_t h = 1469598103934665603ull;
        for (char16_t c : s) h = (h ^ (c >= u'A' && c <= u'Z' ? c + 32 : c)) * 1099511628211ull;
        return h;
    }
};
struct NameEq {
    using is_transparent = void;
    bool operator()(StringView a, StringView b) const { return SameName(a, b); }
};
template <class T>
using NameMap = std::unordered_map<String, T, NameHash, NameEq>;

// What a name stands for at one place of use.
enum class Resolved : uint8_t {
    None,           // not looked up yet
    Local,          // a local or parameter of the running procedure (index: slot)
    ReturnSlot,     // the function's own name inside it (slot 0)
    Field,          // a field of the running class instance (index)
    ClassMember,    // a procedure or property of the running class (member)
    Global,         // an entry of the global table (index)
    OuterLocal,     // Execute, Eval: a local of the procedure that called them (index: slot)
    OuterField,     // Execute, Eval: a field of the instance whose method called them
    ImplicitLocal,  // an undeclared name in a procedure (index: slot)
    NamedItem,      // a host object (index)
    GlobalMember,   // a member of a named item (index of the item)
    Builtin,        // builtin
    EngineBuiltin,  // Eval, Execute, GetRef, Err... (index)
    Constant,       // constant
    Undefined,      // Option Explicit: no such variable
};

enum class EK : uint8_t {
    Literal,  // value
    Name,     // name
    Member,   // a.name
    Call,     // a(args): call, index or default member
    Paren,    // (a): a temporary even when a names a variable
    Negate,   // -a
    Not,      // Not a
    Binary,   // a op b
    Is,       // a Is b
    New,      // New name
    Me,
    With,  // the object of the innermost With (index: its depth)
};

struct Member;

struct Expr {
    EK kind;
    ops::Op op = ops::Op::Add;
    int line = 0, column = 0;
    int depth = 1;  // height of the tree below (bounded, so that freeing it never recurses too deep)
    CValue value;
    String name;
    std::unique_ptr<Expr> a, b;
    std::vector<std::unique_ptr<Expr>> args;  // Call; a null entry is an omitted argument

    // The resolution of a Name (and the class of a New) at this place.
    Resolved resolved = Resolved::None;
    uint32_t generation = 0;
    int index = 0;
    bool readOnly = false;  // a constant: no assignment, no reference
    const Member* member = nullptr;
    const Builtin* builtin = nullptr;
    CValue constant;
};
using ExprP = std::unique_ptr<Expr>;

enum class SK : uint8_t {
    Call,     // target args (target: Name, Member or another expression)
    Assign,   // target = value
    Set,      // Set target = value
    ReDim,    // targets: Call(Name, bounds); preserve
    If,       // conditions[i] -> blocks[i]; elseBlock
    Select,   // value; cases[i] (list) -> blocks[i]; elseBlock
    For,      // var = from To to Step step
    ForEach,  // var In value
    Do,       // condition at the top or bottom, While or Until
    With,     // value; body
    Exit,     // exitKind
    OnErrorResumeNext,
    OnErrorGoto0,
    Erase,  // target
    Nop,
};

enum class Flow : uint8_t { Normal, ExitDo, ExitFor, ExitProc };

struct Stmt;
using StmtP = std::unique_ptr<Stmt>;
using Block = std::vector<StmtP>;

struct Stmt {
    SK kind;
    int line = 0, column = 0;
    ExprP target, value, from, to, step;
    std::vector<ExprP> args;
    std::vector<ExprP> conditions;  // If: one per branch
    std::vector<std::vector<ExprP>> cases;
    std::vector<Block> blocks;
    Block body, elseBlock;
    bool preserve = false;
    bool hasElse = false;
    bool testAtTop = false, until = false;  // Do loops; no condition: endless
    Flow exitKind = Flow::Normal;
    int withDepth = 0;
};

// A declared variable: its bounds when it is an array (Dim a(3)).
struct VarDecl {
    String name;
    int slot = -1;         // locals and fields
    bool isArray = false;  // Dim a() or Dim a(n)
    std::vector<ExprP> bounds;
    bool isPublic = true;
    int line = 0, column = 0;
};

struct ConstDecl {
    String name;
    int slot = -1;
    ExprP value;
    int line = 0, column = 0;
};

enum class ProcKind : uint8_t { Main, Sub, Function, PropertyGet, PropertyLet, PropertySet };

struct Param {
    String name;
    bool byRef = true;
};

struct Proc {
    ProcKind kind = ProcKind::Sub;
    String name;
    bool isPublic = true;
    bool isDefault = false;
    int line = 0, column = 0;
    std::vector<Param> params;  // slots 1..n
    NameMap<int> locals;        // declared names (and the function's own name: slot 0)
    NameMap<int> implicitLocals;
    std::vector<VarDecl> arrays;  // local arrays made at the start of each call
    std::vector<ConstDecl> consts;
    NameMap<bool> constNames;
    int slotCount = 1;
    Block body;
    ClassDef* cls = nullptr;
    Program* program = nullptr;
    int withDepth = 0;  // With statements nested at most
};

struct Member {
    String name;
    int field = -1;
    Proc* method = nullptr;  // Sub or Function
    Proc* get = nullptr;
    Proc* let = nullptr;
    Proc* set = nullptr;
    bool isPublic = true;
};

struct ClassDef {
    String name;
    int line = 0, column = 0;
    std::vector<VarDecl> fields;  // index = slot
    NameMap<Member> members;
    const Member* defaultMember = nullptr;
    Proc* initialize = nullptr;
    Proc* terminate = nullptr;
    std::vector<std::unique_ptr<Proc>> procs;
    std::vector<ConstDecl> consts;  // as read-only fields
    Proc scope;                     // where the fields' bounds and constants are evaluated
};

// One compiled text.
struct Program {
    bool optionExplicit = false;
    Proc main;  // top-level statements
    std::vector<VarDecl> globals;
    std::vector<ConstDecl> consts;
    std::vector<std::unique_ptr<Proc>> procs;
    std::vector<std::unique_ptr<ClassDef>> classes;
};

}  // namespace script
