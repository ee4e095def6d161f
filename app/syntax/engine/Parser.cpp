#include "Parser.h"

#include <algorithm>

#include "Lexer.h"

namespace script {

namespace {

constexpr int kMaxExpressionDepth = 4000;  // deeper trees are refused (freeing one recurses)

// What an "Expected ..." error is numbered, from what it expected.
int ExpectedNumber(StringView description) {
    static const std::pair<const char16_t*, int> kNumbers[] = {
        {u"Expected '('", 1005},         {u"Expected ')'", 1006},          {u"Expected ']'", 1007},
        {u"Expected identifier", 1010},  {u"Expected '='", 1011},          {u"Expected 'If'", 1012},
        {u"Expected 'To'", 1013},        {u"Expected 'End'", 1014},        {u"Expected 'Function'", 1015},
        {u"Expected 'Sub'", 1016},       {u"Expected 'Then'", 1017},       {u"Expected 'Wend'", 1018},
        {u"Expected 'Loop'", 1019},      {u"Expected 'Next'", 1020},       {u"Expected 'Case'", 1021},
        {u"Expected 'Select'", 1022},    {u"Expected expression", 1023},   {u"Expected statement", 1024},
        {u"Expected end of statement", 1025}, {u"Expected 'With'", 1029}, {u"Expected 'In'", 1046},
        {u"Expected 'Class'", 1047},     {u"Expected 'Get', 'Let' or 'Set'", 1049},
        {u"Expected 'Property'", 1050},
    };
    for (const auto& [text, number] : kNumbers)
        if (description == text) return number;
    return err::kSyntax;
}

bool SoftKeyword(Kw kw) {
    return kw == Kw::None || kw == Kw::Default || kw == Kw::Explicit || kw == Kw::Step ||
           kw == Kw::Preserve || kw == Kw::Error || kw == Kw::Property || kw == Kw::Get || kw == Kw::Let;
}

class Parser {
   public:
    Parser(std::vector<Token> tokens, const StackLimit& stack, Program* program)
        : toks_(std::move(tokens)), stack_(stack), prog_(program) {
        proc_ = &prog_->main;
        prog_->main.kind = ProcKind::Main;
        prog_->main.program = prog_;
    }

    void ParseProgram() {
        for (;;) {
            SkipSeparators();
            if (Peek().kind == Tok::End) break;
            ParseTopLevel();
        }
    }

    ExprP ParseLoneExpression() {
        SkipSeparators();
        ExprP e = ParseExpr();
        SkipSeparators();
        if (Peek().kind != Tok::End) Fail(err::kExpected, u"Expected end of statement");
        return e;
    }

   private:
    std::vector<Token> toks_;
    size_t pos_ = 0;
    const StackLimit& stack_;
    Program* prog_;
    Proc* proc_;
    ClassDef* cls_ = nullptr;
    NameMap<bool> referenced_;
    NameMap<bool> globalNames_;
    int withDepth_ = 0;
    int doDepth_ = 0, forDepth_ = 0;  // loops around the statement being read
    bool singleLineIf_ = false;

    // ---- tokens ----
    const Token& Peek(size_t ahead = 0) const { return toks_[std::min(pos_ + ahead, toks_.size() - 1)]; }
    const Token& Next() {
        const Token& t = toks_[pos_];
        if (pos_ + 1 < toks_.size()) ++pos_;
        return t;
    }
    bool IsOp(const char16_t* op, size_t ahead = 0) const {
        const Token& t = Peek(ahead);
        return t.kind == Tok::Op && t.text == op;
    }
    bool IsKw(Kw kw, size_t ahead = 0) const {
        const Token& t = Peek(ahead);
        return t.kind == Tok::Ident && t.kw == kw;
    }
    bool AcceptOp(const char16_t* op) {
        if (!IsOp(op)) return false;
        Next();
        return true;
    }
    bool AcceptKw(Kw kw) {
        if (!IsKw(kw)) return false;
        Next();
        return true;
    }
    // Too deep a nesting ends with Out of stack space at the token reached.
    void CheckStack() const {
        try {
            stack_.Check();
        } catch (ScriptError& e) {
            if (e.line < 0) {
                e.line = Peek().line;
                e.column = Peek().column;
            }
            throw;
        }
    }
    [[noreturn]] void Fail(int number, String description = String()) const {
        FailAt(Peek(), number, std::move(description));
    }
    [[noreturn]] static void FailAt(const Token& t, int number, String description = String()) {
        if (number == err::kExpected) {
            // "Expected 'End If'" and the like are "Expected 'End'", as the language words it.
            if (description.rfind(u"Expected 'End ", 0) == 0) description = u"Expected 'End'";
            number = ExpectedNumber(description);
        }
        ScriptError e;
        e.status = StatusOf(number);
        e.description = description.empty() ? ErrorText(number) : std::move(description);
        e.source = number >= 1000 ? kCompileSource : kRuntimeSource;
        e.line = t.line;
        e.column = t.column;
        throw e;
    }
    void ExpectOp(const char16_t* op) {
        if (!AcceptOp(op)) Fail(err::kExpected, String(u"Expected '") + op + u"'");
    }
    void ExpectKw(Kw kw, const char16_t* text) {
        if (!AcceptKw(kw)) Fail(err::kExpected, String(u"Expected '") + text + u"'");
    }
    String ExpectName() {
        const Token& t = Peek();
        if (t.kind != Tok::Ident || !SoftKeyword(t.kw)) Fail(err::kExpected, u"Expected identifier");
        return Next().text;
    }
    // A statement ends at a line end, a colon, or the End of its block on the
    // same line ("If a Then b End If", "Sub P: b End Sub").
    bool AtStatementEnd() const {
        const Token& t = Peek();
        return t.kind == Tok::Newline || t.kind == Tok::Colon || t.kind == Tok::End ||
               (t.kind == Tok::Ident && (t.kw == Kw::End || (singleLineIf_ && t.kw == Kw::Else)));
    }
    void EndStatement() {
        if (!AtStatementEnd()) Fail(err::kExpected, u"Expected end of statement");
    }
    void SkipSeparators() {
        while (Peek().kind == Tok::Newline || Peek().kind == Tok::Colon) Next();
    }
    void ExpectNewline() {
        if (Peek().kind == Tok::Colon) {
            Next();
            return;
        }
        if (Peek().kind != Tok::Newline && Peek().kind != Tok::End && !IsKw(Kw::End))
            Fail(err::kExpected, u"Expected end of statement");
    }
    // Property begins a procedure only before Get, Let or Set; elsewhere it is a name.
    bool AtProcedure(size_t ahead = 0) const {
        return IsKw(Kw::Sub, ahead) || IsKw(Kw::Function, ahead) ||
               (IsKw(Kw::Property, ahead) &&
                (IsKw(Kw::Get, ahead + 1) || IsKw(Kw::Let, ahead + 1) || IsKw(Kw::Set, ahead + 1)));
    }

    // ---- expressions ----
    ExprP Make(EK kind, const Token& at) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->line = at.line;
        e->column = at.column;
        return e;
    }
    void SetDepth(Expr& e, const Token& at) {
        int d = 0;
        if (e.a) d = std::max(d, e.a->depth);
        if (e.b) d = std::max(d, e.b->depth);
        for (auto& x : e.args)
            if (x) d = std::max(d, x->depth);
        e.depth = d + 1;
        if (e.depth > kMaxExpressionDepth) FailAt(at, err::kNestingTooDeep);
    }
    ExprP Unary(EK kind, ExprP operand, const Token& at) {
        ExprP e = Make(kind, at);
        e->a = std::move(operand);
        SetDepth(*e, at);
        return e;
    }

    // Binary operators by precedence, lowest first.
    static int Precedence(const Token& t, ops::Op* op, bool* isIs) {
        *isIs = false;
        if (t.kind == Tok::Ident) {
            switch (t.kw) {
                case Kw::Imp: *op = ops::Op::Imp; return 1;
                case Kw::Eqv: *op = ops::Op::Eqv; return 2;
                case Kw::Xor: *op = ops::Op::Xor; return 3;
                case Kw::Or: *op = ops::Op::Or; return 4;
                case Kw::And: *op = ops::Op::And; return 5;
                case Kw::Is: *isIs = true; return 7;
                case Kw::Mod: *op = ops::Op::Mod; return 10;
                default: return 0;
            }
        }
        if (t.kind != Tok::Op) return 0;
        const String& s = t.text;
        if (s == u"=") {
            *op = ops::Op::Eq;
            return 7;
        }
        if (s == u"<>") {
            *op = ops::Op::Ne;
            return 7;
        }
        if (s == u"<") {
            *op = ops::Op::Lt;
            return 7;
        }
        if (s == u">") {
            *op = ops::Op::Gt;
            return 7;
        }
        if (s == u"<=") {
            *op = ops::Op::Le;
            return 7;
        }
        if (s == u">=") {
            *op = ops::Op::Ge;
            return 7;
        }
        if (s == u"&") {
            *op = ops::Op::Concat;
            return 8;
        }
        if (s == u"+") {
            *op = ops::Op::Add;
            return 9;
        }
        if (s == u"-") {
            *op = ops::Op::Sub;
            return 9;
        }
        if (s == u"\\") {
            *op = ops::Op::IntDiv;
            return 11;
        }
        if (s == u"*") {
            *op = ops::Op::Mul;
            return 12;
        }
        if (s == u"/") {
            *op = ops::Op::Div;
            return 12;
        }
        if (s == u"^") {
            *op = ops::Op::Pow;
            return 14;
        }
        return 0;
    }
    static constexpr int kNotLevel = 6, kNegateLevel = 13, kPowLevel = 14;

    ExprP ParseExpr() { return ParseBinary(1); }

    ExprP ParseBinary(int minLevel) {
        CheckStack();
        ExprP lhs = ParseUnary();
        return Continue(std::move(lhs), minLevel);
    }

    ExprP Continue(ExprP lhs, int minLevel) {
        for (;;) {
            ops::Op op = ops::Op::Add;
            bool isIs = false;
            const int level = Precedence(Peek(), &op, &isIs);
            if (level == 0 || level < minLevel) return lhs;
            const Token& at = Next();
            ExprP rhs = level == kPowLevel ? ParseUnaryOperand(true) : ParseBinary(level + 1);
            ExprP e = Make(isIs ? EK::Is : EK::Binary, at);
            e->op = op;
            e->a = std::move(lhs);
            e->b = std::move(rhs);
            SetDepth(*e, at);
            lhs = std::move(e);
        }
    }

    ExprP ParseUnary() {
        CheckStack();
        const Token& t = Peek();
        if (IsKw(Kw::Not)) {
            Next();
            return Unary(EK::Not, ParseBinary(kNotLevel + 1), t);
        }
        return ParseUnaryOperand(false);
    }

    // An operand with its signs (a power's exponent may be signed too).
    ExprP ParseUnaryOperand(bool exponent) {
        CheckStack();
        const Token& t = Peek();
        if (IsOp(u"-")) {
            Next();
            // A sign binds tighter than ^: -3 ^ 2 is 9.
            return Unary(EK::Negate, ParseUnaryOperand(true), t);
        }
        if (IsOp(u"+")) {
            Next();
            return ParseUnaryOperand(true);
        }
        if (IsKw(Kw::Not) && exponent) {
            Next();
            return Unary(EK::Not, ParseUnaryOperand(true), t);
        }
        return ParsePostfix();
    }

    ExprP NameNode(const Token& t) {
        ExprP e = Make(EK::Name, t);
        e->name = t.text;
        if (proc_->kind != ProcKind::Main) referenced_.try_emplace(t.text, true);
        return e;
    }

    ExprP ParsePrimary() {
        const Token& t = Peek();
        switch (t.kind) {
            case Tok::Number:
            case Tok::Str:
            case Tok::Date: {
                ExprP e = Make(EK::Literal, t);
                e->value = Next().value;
                return e;
            }
            case Tok::Ident: {
                switch (t.kw) {
                    case Kw::True:
                    case Kw::False: {
                        ExprP e = Make(EK::Literal, t);
                        e->value = Value::Boolean(t.kw == Kw::True);
                        Next();
                        return e;
                    }
                    case Kw::Empty:
                    case Kw::Null:
                    case Kw::Nothing: {
                        ExprP e = Make(EK::Literal, t);
                        e->value = t.kw == Kw::Null      ? Value::Null()
                                   : t.kw == Kw::Nothing ? Value::Nothing()
                                                         : Value();
                        Next();
                        return e;
                    }
                    case Kw::Me: {
                        Next();
                        return Make(EK::Me, t);
                    }
                    case Kw::New: {
                        Next();
                        ExprP e = Make(EK::New, t);
                        e->name = ExpectName();
                        return e;
                    }
                    default:
                        if (!SoftKeyword(t.kw)) Fail(err::kExpected, u"Expected expression");
                        Next();
                        return NameNode(t);
                }
            }
            case Tok::Op:
                if (t.text == u"(") {
                    Next();
                    ExprP inner = ParseExpr();
                    ExpectOp(u")");
                    if (inner->kind == EK::Name || inner->kind == EK::Member || inner->kind == EK::Call) {
                        ExprP e = Unary(EK::Paren, std::move(inner), t);
                        return e;
                    }
                    return inner;
                }
                if (t.text == u".") {
                    if (withDepth_ == 0) Fail(err::kSyntax, u"Invalid or unqualified reference");
                    ExprP w = Make(EK::With, t);
                    w->index = withDepth_ - 1;
                    return w;  // the member follows (ParsePostfix)
                }
                Fail(err::kExpected, u"Expected expression");
            default: Fail(err::kExpected, u"Expected expression");
        }
    }

    std::vector<ExprP> ParseArgsInParens() {
        // at "("
        Next();
        std::vector<ExprP> args;
        if (AcceptOp(u")")) return args;
        for (;;) {
            if (IsOp(u",") || IsOp(u")"))
                args.push_back(nullptr);
            else
                args.push_back(ParseExpr());
            if (AcceptOp(u",")) continue;
            ExpectOp(u")");
            return args;
        }
    }

    ExprP ParsePostfix() {
        CheckStack();
        ExprP e = ParsePrimary();
        const bool withStart = e->kind == EK::With;
        bool first = true;
        for (;;) {
            const Token& t = Peek();
            if (t.kind == Tok::Op && t.text == u"." && (!t.spaceBefore || (withStart && first))) {
                Next();
                const Token& n = Peek();
                if (n.kind != Tok::Ident) Fail(err::kExpected, u"Expected identifier");
                Next();
                ExprP m = Make(EK::Member, n);
                m->name = n.text;
                m->a = std::move(e);
                SetDepth(*m, n);
                e = std::move(m);
            } else if (t.kind == Tok::Op && t.text == u"(" && e->kind != EK::With) {
                ExprP c = Make(EK::Call, t);
                c->args = ParseArgsInParens();
                c->a = std::move(e);
                SetDepth(*c, t);
                e = std::move(c);
            } else {
                break;
            }
            first = false;
        }
        if (e->kind == EK::With) Fail(err::kExpected, u"Expected identifier");
        return e;
    }

    // ---- declarations ----
    void DeclareGlobal(const Token& at, const String& name) {
        if (!globalNames_.try_emplace(name, true).second) FailAt(at, err::kRedefined);
    }
    int DeclareLocal(const Token& at, const String& name) {
        if (proc_->locals.count(name)) FailAt(at, err::kRedefined);
        const int slot = proc_->slotCount++;
        proc_->locals.emplace(name, slot);
        return slot;
    }

    // Dim a, b(3), c(): into the globals, the procedure's locals or the class's fields.
    void ParseVarList(bool isPublic) {
        for (;;) {
            const Token& at = Peek();
            VarDecl d;
            d.name = ExpectName();
            d.isPublic = isPublic;
            d.line = at.line;
            d.column = at.column;
            if (IsOp(u"(")) {
                d.isArray = true;
                d.bounds = ParseArgsInParens();
                for (auto& b : d.bounds)
                    if (!b) FailAt(at, err::kSyntax);
            }
            AddVar(at, std::move(d));
            if (!AcceptOp(u",")) break;
        }
    }
    void AddVar(const Token& at, VarDecl d) {
        if (cls_ && proc_->kind == ProcKind::Main) {
            if (cls_->members.count(d.name)) FailAt(at, err::kRedefined);
            Member m;
            m.name = d.name;
            m.field = int(cls_->fields.size());
            m.isPublic = d.isPublic;
            d.slot = m.field;
            cls_->members.emplace(d.name, std::move(m));
            cls_->fields.push_back(std::move(d));
        } else if (proc_->kind == ProcKind::Main) {
            DeclareGlobal(at, d.name);
            prog_->globals.push_back(std::move(d));
        } else {
            d.slot = DeclareLocal(at, d.name);
            if (d.isArray) proc_->arrays.push_back(std::move(d));
        }
    }

    void ParseConst(bool isPublic) {
        for (;;) {
            const Token& at = Peek();
            ConstDecl c;
            c.name = ExpectName();
            c.line = at.line;
            c.column = at.column;
            ExpectOp(u"=");
            c.value = ParseExpr();
            if (cls_ && proc_->kind == ProcKind::Main) {
                VarDecl d;
                d.name = c.name;
                d.isPublic = isPublic;
                AddVar(at, std::move(d));
                c.slot = int(cls_->fields.size()) - 1;
                cls_->consts.push_back(std::move(c));
            } else if (proc_->kind == ProcKind::Main) {
                DeclareGlobal(at, c.name);
                prog_->consts.push_back(std::move(c));
            } else {
                c.slot = DeclareLocal(at, c.name);
                proc_->constNames.emplace(c.name, true);
                proc_->consts.push_back(std::move(c));
            }
            if (!AcceptOp(u",")) break;
        }
    }

    // ---- procedures and classes ----
    void ParseTopLevel() {
        const Token& t = Peek();
        if (t.kind == Tok::Ident) {
            if (t.kw == Kw::Option) {
                Next();
                ExpectKw(Kw::Explicit, u"Explicit");
                prog_->optionExplicit = true;
                ExpectNewline();
                return;
            }
            if (t.kw == Kw::Class) {
                ParseClass();
                return;
            }
            if (AtProcedure()) {
                ParseProc(true, false);
                return;
            }
            if (t.kw == Kw::Public || t.kw == Kw::Private) {
                const bool isPublic = t.kw == Kw::Public;
                if (AtProcedure(1) || IsKw(Kw::Default, 1)) {
                    Next();
                    const bool isDefault = AcceptKw(Kw::Default);
                    if (isDefault) Fail(err::kSyntax, u"'Default' is allowed only in a class");
                    ParseProc(isPublic, false);
                    return;
                }
            }
        }
        ParseStatement(prog_->main.body);
        ExpectNewline();
    }

    void ParseProc(bool isPublic, bool isDefault) {
        const Token& kwTok = Next();
        auto p = std::make_unique<Proc>();
        p->isPublic = isPublic;
        p->isDefault = isDefault;
        p->cls = cls_;
        p->program = prog_;
        if (kwTok.kw == Kw::Sub)
            p->kind = ProcKind::Sub;
        else if (kwTok.kw == Kw::Function)
            p->kind = ProcKind::Function;
        else {
            if (AcceptKw(Kw::Get))
                p->kind = ProcKind::PropertyGet;
            else if (AcceptKw(Kw::Let))
                p->kind = ProcKind::PropertyLet;
            else if (AcceptKw(Kw::Set))
                p->kind = ProcKind::PropertySet;
            else
                Fail(err::kExpected, u"Expected 'Get', 'Let' or 'Set'");
            if (!cls_) FailAt(kwTok, err::kSyntax, u"A property belongs in a class");
        }
        const Token& nameTok = Peek();
        p->name = ExpectName();
        p->line = nameTok.line;
        p->column = nameTok.column;
        if (p->kind == ProcKind::Function || p->kind == ProcKind::PropertyGet) p->locals.emplace(p->name, 0);
        Proc* saved = proc_;
        NameMap<bool> savedRefs = std::move(referenced_);
        referenced_.clear();
        const int savedWith = withDepth_, savedDo = doDepth_, savedFor = forDepth_;
        withDepth_ = doDepth_ = forDepth_ = 0;
        proc_ = p.get();
        if (IsOp(u"(")) {
            Next();
            if (!AcceptOp(u")")) {
                for (;;) {
                    bool byRef = true;
                    if (AcceptKw(Kw::ByVal))
                        byRef = false;
                    else
                        AcceptKw(Kw::ByRef);
                    const Token& pt = Peek();
                    String name = ExpectName();
                    if (AcceptOp(u"(")) ExpectOp(u")");
                    if (p->locals.count(name)) FailAt(pt, err::kRedefined);
                    p->locals.emplace(name, p->slotCount++);
                    p->params.push_back(Param{std::move(name), byRef});
                    if (AcceptOp(u",")) continue;
                    ExpectOp(u")");
                    break;
                }
            }
        }
        if ((p->kind == ProcKind::PropertyLet || p->kind == ProcKind::PropertySet) && p->params.empty())
            FailAt(nameTok, err::kSyntax, u"A property Let or Set needs a value parameter");
        ExpectNewline();
        p->body = ParseBlock();
        ExpectKw(Kw::End, u"End");
        const Kw endKw = kwTok.kw;
        if (!AcceptKw(endKw))
            Fail(err::kExpected, endKw == Kw::Sub        ? u"Expected 'Sub'"
                                 : endKw == Kw::Function ? u"Expected 'Function'"
                                                         : u"Expected 'Property'");
        ExpectNewline();
        for (auto& [name, unused] : referenced_)
            if (!p->locals.count(name)) p->implicitLocals.emplace(name, p->slotCount++);
        proc_ = saved;
        referenced_ = std::move(savedRefs);
        withDepth_ = savedWith;
        doDepth_ = savedDo;
        forDepth_ = savedFor;

        if (cls_) {
            Member& m = cls_->members[p->name];
            if (m.name.empty()) m.name = p->name;
            Proc** slot = p->kind == ProcKind::PropertyGet   ? &m.get
                          : p->kind == ProcKind::PropertyLet ? &m.let
                          : p->kind == ProcKind::PropertySet ? &m.set
                                                             : &m.method;
            if (*slot || m.field >= 0 ||
                (m.method && p->kind != ProcKind::Sub && p->kind != ProcKind::Function) ||
                (p->kind <= ProcKind::Function && (m.get || m.let || m.set)))
                FailAt(nameTok, err::kRedefined);
            *slot = p.get();
            m.isPublic = isPublic;
            if (isDefault) {
                if (cls_->defaultMember && cls_->defaultMember != &m) FailAt(nameTok, err::kRedefined);
                cls_->defaultMember = &m;
            }
            if (p->kind == ProcKind::Sub && SameName(p->name, u"Class_Initialize"))
                cls_->initialize = p.get();
            if (p->kind == ProcKind::Sub && SameName(p->name, u"Class_Terminate")) cls_->terminate = p.get();
            cls_->procs.push_back(std::move(p));
        } else {
            // A procedure defined again replaces the one before it.
            auto earlier = std::find_if(prog_->procs.begin(), prog_->procs.end(),
                                        [&](const std::unique_ptr<Proc>& q) { return SameName(q->name, p->name); });
            if (earlier != prog_->procs.end())
                *earlier = std::move(p);
            else {
                DeclareGlobal(nameTok, p->name);
                prog_->procs.push_back(std::move(p));
            }
        }
    }

    void ParseClass() {
        Next();
        const Token& nameTok = Peek();
        auto c = std::make_unique<ClassDef>();
        c->name = ExpectName();
        c->line = nameTok.line;
        c->column = nameTok.column;
        DeclareGlobal(nameTok, c->name);
        c->scope.kind = ProcKind::Main;
        c->scope.cls = c.get();
        c->scope.program = prog_;
        ExpectNewline();
        cls_ = c.get();
        for (;;) {
            SkipSeparators();
            const Token& t = Peek();
            if (t.kind == Tok::End) Fail(err::kExpected, u"Expected 'End Class'");
            if (AcceptKw(Kw::End)) {
                ExpectKw(Kw::Class, u"Class");
                ExpectNewline();
                break;
            }
            bool isPublic = true, isDefault = false, hadModifier = false;
            if (AcceptKw(Kw::Public))
                hadModifier = true;
            else if (AcceptKw(Kw::Private))
                hadModifier = true, isPublic = false;
            if (AcceptKw(Kw::Default)) {
                if (!isPublic) Fail(err::kSyntax, u"A default member must be public");
                isDefault = true;
            }
            if (AtProcedure()) {
                if (isDefault && IsKw(Kw::Property) && !IsKw(Kw::Get, 1)) Fail(err::kSyntax);
                ParseProc(isPublic, isDefault);
                continue;
            }
            if (isDefault) Fail(err::kSyntax);
            if (AcceptKw(Kw::Const)) {
                ParseConst(isPublic);
            } else if (AcceptKw(Kw::Dim) || hadModifier) {
                ParseVarList(isPublic);
            } else {
                Fail(err::kExpected, u"Expected 'End Class'");
            }
            ExpectNewline();
        }
        cls_ = nullptr;
        prog_->classes.push_back(std::move(c));
    }

    // ---- statements ----
    bool AtBlockEnd() const {
        const Token& t = Peek();
        if (t.kind == Tok::End) return true;
        if (t.kind != Tok::Ident) return false;
        switch (t.kw) {
            case Kw::End:
            case Kw::Else:
            case Kw::ElseIf:
            case Kw::Case:
            case Kw::Loop:
            case Kw::Next:
            case Kw::Wend: return true;
            default: return false;
        }
    }

    Block ParseBlock() {
        CheckStack();
        Block block;
        for (;;) {
            SkipSeparators();
            if (AtBlockEnd()) return block;
            const Token& t = Peek();
            // A procedure or class inside a block of the top-level code (an If,
            // a loop) is defined as if it stood outside: it exists whether or
            // not the block runs.
            if (proc_->kind == ProcKind::Main && !cls_ &&
                (AtProcedure() || IsKw(Kw::Class) ||
                 ((IsKw(Kw::Public) || IsKw(Kw::Private)) && AtProcedure(1)))) {
                if (IsKw(Kw::Class)) {
                    ParseClass();
                } else {
                    const bool isPublic = !IsKw(Kw::Private);
                    if (IsKw(Kw::Public) || IsKw(Kw::Private)) Next();
                    ParseProc(isPublic, false);
                }
                continue;
            }
            if (t.kind == Tok::Ident &&
                (AtProcedure() || t.kw == Kw::Class ||
                 ((t.kw == Kw::Public || t.kw == Kw::Private) && proc_->kind != ProcKind::Main)))
                Fail(err::kSyntax);
            ParseStatement(block);
            ExpectNewline();
        }
    }

    StmtP NewStmt(SK kind, const Token& at) {
        auto s = std::make_unique<Stmt>();
        s->kind = kind;
        s->line = at.line;
        s->column = at.column;
        return s;
    }

    void ParseStatement(Block& out) {
        CheckStack();
        const Token& t = Peek();
        if (t.kind != Tok::Ident && !(t.kind == Tok::Op && t.text == u"." && withDepth_ > 0))
            Fail(err::kExpected, u"Expected statement");
        switch (t.kw) {
            case Kw::Dim:
                Next();
                ParseVarList(true);
                return;
            case Kw::Public:
            case Kw::Private: {
                if (proc_->kind != ProcKind::Main || cls_) Fail(err::kSyntax);
                const bool isPublic = t.kw == Kw::Public;
                Next();
                if (AcceptKw(Kw::Const))
                    ParseConst(isPublic);
                else
                    ParseVarList(isPublic);
                return;
            }
            case Kw::Const:
                Next();
                ParseConst(true);
                return;
            case Kw::Option: Fail(err::kSyntax, u"'Option Explicit' must come first");
            case Kw::ReDim: {
                Next();
                StmtP s = NewStmt(SK::ReDim, t);
                s->preserve = AcceptKw(Kw::Preserve);
                for (;;) {
                    const Token& nt = Peek();
                    String name = ExpectName();
                    if (!IsOp(u"(")) Fail(err::kExpected, u"Expected '('");
                    ExprP c = Make(EK::Call, nt);
                    c->a = NameNode(nt);
                    c->args = ParseArgsInParens();
                    if (c->args.empty()) FailAt(nt, err::kSyntax);
                    for (auto& b : c->args)
                        if (!b) FailAt(nt, err::kSyntax);
                    SetDepth(*c, nt);
                    // ReDim declares the name when nothing else did.
                    if (proc_->kind != ProcKind::Main) {
                        if (!proc_->locals.count(name) && !(cls_ && cls_->members.count(name)))
                            proc_->locals.emplace(name, proc_->slotCount++);
                    } else if (!cls_ && !globalNames_.count(name)) {
                        VarDecl d;
                        d.name = name;
                        DeclareGlobal(nt, name);
                        prog_->globals.push_back(std::move(d));
                    }
                    s->args.push_back(std::move(c));
                    if (!AcceptOp(u",")) break;
                }
                out.push_back(std::move(s));
                return;
            }
            case Kw::If: ParseIf(out); return;
            case Kw::Select: ParseSelect(out); return;
            case Kw::For: ParseFor(out); return;
            case Kw::Do: ParseDo(out); return;
            case Kw::While: {
                Next();
                StmtP s = NewStmt(SK::Do, t);
                s->testAtTop = true;
                s->value = ParseExpr();
                ExpectNewline();
                const int savedDo = doDepth_;
                doDepth_ = 0;  // Exit Do leaves a Do loop only
                s->body = ParseBlock();
                doDepth_ = savedDo;
                ExpectKw(Kw::Wend, u"Wend");
                out.push_back(std::move(s));
                return;
            }
            case Kw::With: {
                Next();
                StmtP s = NewStmt(SK::With, t);
                s->value = ParseExpr();
                s->withDepth = withDepth_;
                ExpectNewline();
                ++withDepth_;
                proc_->withDepth = std::max(proc_->withDepth, withDepth_);
                s->body = ParseBlock();
                --withDepth_;
                ExpectKw(Kw::End, u"End With");
                ExpectKw(Kw::With, u"With");
                out.push_back(std::move(s));
                return;
            }
            case Kw::Exit: {
                Next();
                StmtP s = NewStmt(SK::Exit, t);
                const Token& what = Peek();
                if (IsKw(Kw::Do) || IsKw(Kw::For)) {
                    const bool isDo = Next().kw == Kw::Do;
                    if ((isDo ? doDepth_ : forDepth_) == 0)
                        FailAt(what, err::kSyntax, u"Invalid 'Exit' statement");
                    s->exitKind = isDo ? Flow::ExitDo : Flow::ExitFor;
                } else if (IsKw(Kw::Sub) || IsKw(Kw::Function) || IsKw(Kw::Property)) {
                    const Kw kw = Next().kw;
                    const ProcKind k = proc_->kind;
                    const bool ok = (kw == Kw::Sub && k == ProcKind::Sub) ||
                                    (kw == Kw::Function && k == ProcKind::Function) ||
                                    (kw == Kw::Property && k >= ProcKind::PropertyGet);
                    if (!ok) FailAt(what, err::kSyntax, u"Invalid 'Exit' statement");
                    s->exitKind = Flow::ExitProc;
                } else
                    Fail(err::kExpected, u"Expected 'Do', 'For', 'Sub', 'Function' or 'Property'");
                out.push_back(std::move(s));
                return;
            }
            case Kw::On: {
                Next();
                ExpectKw(Kw::Error, u"Error");
                if (AcceptKw(Kw::Resume)) {
                    ExpectKw(Kw::Next, u"Next");
                    out.push_back(NewStmt(SK::OnErrorResumeNext, t));
                } else if (AcceptKw(Kw::GoTo)) {
                    const Token& z = Peek();
                    if (z.kind != Tok::Number || z.value.type() != Type::Integer || z.value.integer() != 0)
                        Fail(err::kExpected, u"Expected '0'");
                    Next();
                    out.push_back(NewStmt(SK::OnErrorGoto0, t));
                } else {
                    Fail(err::kExpected, u"Expected 'Resume' or 'GoTo'");
                }
                return;
            }
            case Kw::Erase: {
                Next();
                StmtP s = NewStmt(SK::Erase, t);
                const Token& nt = Peek();
                ExpectName();
                s->target = NameNode(nt);
                out.push_back(std::move(s));
                return;
            }
            case Kw::Call: {
                Next();
                StmtP s = NewStmt(SK::Call, t);
                ExprP target = ParsePostfix();
                if (target->kind == EK::Call) {
                    s->target = std::move(target->a);
                    s->args = std::move(target->args);
                } else {
                    s->target = std::move(target);
                }
                while (s->target->kind == EK::Paren) s->target = std::move(s->target->a);  // Call (f) (x)
                CheckCallTarget(*s->target, t);
                out.push_back(std::move(s));
                return;
            }
            case Kw::Stop: Next(); return;
            case Kw::Set: {
                Next();
                ParseAssignOrCall(out, t, true);
                return;
            }
            case Kw::Let: {
                if (IsOp(u"=", 1)) break;  // a variable named Let
                Next();
                ParseAssignOrCall(out, t, false, true);
                return;
            }
            case Kw::None:
            case Kw::Me:
            case Kw::Default:
            case Kw::Explicit:
            case Kw::Step:
            case Kw::Preserve:
            case Kw::Error:
            case Kw::Property:
            case Kw::Get: break;
            default: Fail(err::kExpected, u"Expected statement");
        }
        ParseAssignOrCall(out, t, false);
    }

    void CheckCallTarget(const Expr& e, const Token& at) {
        if (e.kind != EK::Name && e.kind != EK::Member && e.kind != EK::Call && e.kind != EK::Me)
            FailAt(at, err::kExpected, u"Expected statement");
    }

    void ParseAssignOrCall(Block& out, const Token& t, bool isSet, bool isLet = false) {
        ExprP target = ParsePostfix();
        if (AcceptOp(u"=")) {
            if (target->kind != EK::Name && target->kind != EK::Member && target->kind != EK::Call)
                FailAt(t, err::kIllegalAssignment, ErrorText(err::kIllegalAssignment));
            StmtP s = NewStmt(isSet ? SK::Set : SK::Assign, t);
            s->target = std::move(target);
            s->value = ParseExpr();
            out.push_back(std::move(s));
            return;
        }
        if (isSet || isLet) Fail(err::kExpected, u"Expected '='");
        CheckCallTarget(*target, t);
        StmtP s = NewStmt(SK::Call, t);
        if (AtStatementEnd()) {
            if (target->kind == EK::Call && target->args.size() > 1)
                FailAt(t, err::kParenthesesOnSub, ErrorText(err::kParenthesesOnSub));
            if (target->kind == EK::Call) {
                s->target = std::move(target->a);
                s->args = std::move(target->args);
                // Foo(a): the parentheses belong to the argument, which goes by value.
                if (s->args.size() == 1 && s->args[0] && s->args[0]->kind != EK::Paren) {
                    const Token at{Tok::Op, Kw::None, false, s->args[0]->line, s->args[0]->column, {}, {}};
                    s->args[0] = Unary(EK::Paren, std::move(s->args[0]), at);
                }
            } else {
                s->target = std::move(target);
            }
            out.push_back(std::move(s));
            return;
        }
        if (target->kind == EK::Call && target->args.size() == 1 && target->args[0]) {
            // Foo (a) + 1, b: the parenthesised expression starts the first argument.
            s->target = std::move(target->a);
            ExprP firstArg = std::move(target->args[0]);
            if (firstArg->kind != EK::Paren) {
                const Token at{Tok::Op, Kw::None, false, firstArg->line, firstArg->column, {}, {}};
                firstArg = Unary(EK::Paren, std::move(firstArg), at);
            }
            s->args.push_back(Continue(std::move(firstArg), 1));
            if (AcceptOp(u",")) ParseStatementArgs(s->args);
        } else {
            s->target = std::move(target);
            ParseStatementArgs(s->args);
        }
        EndStatement();
        out.push_back(std::move(s));
    }

    void ParseStatementArgs(std::vector<ExprP>& args) {
        for (;;) {
            if (IsOp(u","))
                args.push_back(nullptr);
            else if (AtStatementEnd()) {
                args.push_back(nullptr);
                return;
            } else
                args.push_back(ParseExpr());
            if (!AcceptOp(u",")) return;
        }
    }

    // Statements of a single-line If up to the end of the line (or Else).
    void ParseInlineStatements(Block& out) {
        for (;;) {
            if (Peek().kind == Tok::Colon) {
                Next();
                continue;
            }
            if (AtStatementEnd()) return;
            ParseStatement(out);
            if (Peek().kind == Tok::Colon) continue;
            if (!AtStatementEnd()) Fail(err::kExpected, u"Expected end of statement");
        }
    }

    void ParseIf(Block& out) {
        const Token& t = Next();
        StmtP s = NewStmt(SK::If, t);
        s->conditions.push_back(ParseExpr());
        ExpectKw(Kw::Then, u"Then");
        if (Peek().kind != Tok::Newline && Peek().kind != Tok::End) {
            // Single-line form.
            const bool saved = singleLineIf_;
            singleLineIf_ = true;
            s->blocks.emplace_back();
            ParseInlineStatements(s->blocks.back());
            if (AcceptKw(Kw::Else)) {
                s->hasElse = true;
                ParseInlineStatements(s->elseBlock);
            }
            singleLineIf_ = saved;
            if (IsKw(Kw::Else)) Fail(err::kExpected, u"Expected end of statement");
            if (IsKw(Kw::End) && IsKw(Kw::If, 1)) {  // "If a Then b End If"
                Next();
                Next();
            }
            out.push_back(std::move(s));
            return;
        }
        const bool saved = singleLineIf_;
        singleLineIf_ = false;
        s->blocks.push_back(ParseBlock());
        for (;;) {
            if (IsKw(Kw::ElseIf)) {
                Next();
                s->conditions.push_back(ParseExpr());
                ExpectKw(Kw::Then, u"Then");
                ExpectNewline();
                s->blocks.push_back(ParseBlock());
                continue;
            }
            if (AcceptKw(Kw::Else)) {
                s->hasElse = true;
                s->elseBlock = ParseBlock();
            }
            ExpectKw(Kw::End, u"End If");
            ExpectKw(Kw::If, u"If");
            break;
        }
        singleLineIf_ = saved;
        out.push_back(std::move(s));
    }

    void ParseSelect(Block& out) {
        const Token& t = Next();
        ExpectKw(Kw::Case, u"Case");
        StmtP s = NewStmt(SK::Select, t);
        s->value = ParseExpr();
        ExpectNewline();
        const bool saved = singleLineIf_;
        singleLineIf_ = false;
        for (;;) {
            SkipSeparators();
            if (AcceptKw(Kw::Case)) {
                if (AcceptKw(Kw::Else)) {
                    s->hasElse = true;
                    s->elseBlock = ParseBlock();
                    ExpectKw(Kw::End, u"End Select");
                    break;
                }
                std::vector<ExprP> list;
                do list.push_back(ParseExpr());
                while (AcceptOp(u","));
                s->cases.push_back(std::move(list));
                s->blocks.push_back(ParseBlock());
                continue;
            }
            ExpectKw(Kw::End, u"End Select");
            break;
        }
        ExpectKw(Kw::Select, u"Select");
        singleLineIf_ = saved;
        out.push_back(std::move(s));
    }

    void ParseFor(Block& out) {
        const Token& t = Next();
        const bool saved = singleLineIf_;
        singleLineIf_ = false;
        if (AcceptKw(Kw::Each)) {
            StmtP s = NewStmt(SK::ForEach, t);
            const Token& vt = Peek();
            ExpectName();
            s->target = NameNode(vt);
            ExpectKw(Kw::In, u"In");
            s->value = ParseExpr();
            ExpectNewline();
            ++forDepth_;
            s->body = ParseBlock();
            --forDepth_;
            ExpectKw(Kw::Next, u"Next");
            if (Peek().kind == Tok::Ident && Peek().kw == Kw::None) Next();
            out.push_back(std::move(s));
        } else {
            StmtP s = NewStmt(SK::For, t);
            const Token& vt = Peek();
            ExpectName();
            s->target = NameNode(vt);
            ExpectOp(u"=");
            s->from = ParseExpr();
            ExpectKw(Kw::To, u"To");
            s->to = ParseExpr();
            if (AcceptKw(Kw::Step)) s->step = ParseExpr();
            ExpectNewline();
            ++forDepth_;
            s->body = ParseBlock();
            --forDepth_;
            ExpectKw(Kw::Next, u"Next");
            if (Peek().kind == Tok::Ident && Peek().kw == Kw::None) Next();
            out.push_back(std::move(s));
        }
        singleLineIf_ = saved;
    }

    void ParseDo(Block& out) {
        const Token& t = Next();
        StmtP s = NewStmt(SK::Do, t);
        const bool saved = singleLineIf_;
        singleLineIf_ = false;
        if (IsKw(Kw::While) || IsKw(Kw::Until)) {
            s->until = Next().kw == Kw::Until;
            s->testAtTop = true;
            s->value = ParseExpr();
        }
        ExpectNewline();
        ++doDepth_;
        s->body = ParseBlock();
        --doDepth_;
        ExpectKw(Kw::Loop, u"Loop");
        if (IsKw(Kw::While) || IsKw(Kw::Until)) {
            if (s->value) Fail(err::kSyntax, u"A loop tests its condition once");
            s->until = Next().kw == Kw::Until;
            s->value = ParseExpr();
        }
        singleLineIf_ = saved;
        out.push_back(std::move(s));
    }
};

}  // namespace

std::unique_ptr<Program> Compile(StringView text, int firstLine, const StackLimit& stack) {
    auto program = std::make_unique<Program>();
    Parser parser(Tokenize(text, firstLine), stack, program.get());
    parser.ParseProgram();
    return program;
}

std::unique_ptr<Program> CompileExpression(StringView text, const StackLimit& stack, ExprP* expression) {
    auto program = std::make_unique<Program>();
    Parser parser(Tokenize(text, 0), stack, program.get());
    *expression = parser.ParseLoneExpression();
    return program;
}

}  // namespace script
