// The parser's entry points, its token helpers and the top level of a
// script: declarations, procedures and classes.
#include "Parser.h"

#include <algorithm>

#include "Lexer.h"
#include "ParserParts.h"

namespace script {

namespace parser_detail {

namespace {

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

}  // namespace

void CParser::ParseProgram() {
    for (;;) {
        SkipSeparators();
        if (Peek().kind == Tok::End) break;
        ParseTopLevel();
    }
}

ExprP CParser::ParseLoneExpression() {
    SkipSeparators();
    ExprP e = ParseExpr();
    SkipSeparators();
    if (Peek().kind != Tok::End) Fail(err::kExpected, u"Expected end of statement");
    return e;
}

// ---- tokens ----

// Too deep a nesting ends with Out of stack space at the token reached.
void CParser::CheckStack() const {
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

[[noreturn]] void CParser::Fail(int number, String description) const {
    FailAt(Peek(), number, std::move(description));
}

[[noreturn]] void CParser::FailAt(const Token& t, int number, String description) {
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

void CParser::ExpectOp(const char16_t* op) {
    if (!AcceptOp(op)) Fail(err::kExpected, String(u"Expected '") + op + u"'");
}

void CParser::ExpectKw(Kw kw, const char16_t* text) {
    if (!AcceptKw(kw)) Fail(err::kExpected, String(u"Expected '") + text + u"'");
}

String CParser::ExpectName() {
    const Token& t = Peek();
    if (t.kind != Tok::Ident || !SoftKeyword(t.kw)) Fail(err::kExpected, u"Expected identifier");
    return Next().text;
}

// A statement ends at a line end, a colon, or the End of its block on the
// same line ("If a Then b End If", "Sub P: b End Sub").
bool CParser::AtStatementEnd() const {
    const Token& t = Peek();
    return t.kind == Tok::Newline || t.kind == Tok::Colon || t.kind == Tok::End ||
           (t.kind == Tok::Ident && (t.kw == Kw::End || (singleLineIf_ && t.kw == Kw::Else)));
}

void CParser::EndStatement() {
    if (!AtStatementEnd()) Fail(err::kExpected, u"Expected end of statement");
}

void CParser::SkipSeparators() {
    while (Peek().kind == Tok::Newline || Peek().kind == Tok::Colon) Next();
}

void CParser::ExpectNewline() {
    if (Peek().kind == Tok::Colon) {
        Next();
        return;
    }
    if (Peek().kind != Tok::Newline && Peek().kind != Tok::End && !IsKw(Kw::End))
        Fail(err::kExpected, u"Expected end of statement");
}

// Property begins a procedure only before Get, Let or Set; elsewhere it is a name.
bool CParser::AtProcedure(size_t ahead) const {
    return IsKw(Kw::Sub, ahead) || IsKw(Kw::Function, ahead) ||
           (IsKw(Kw::Property, ahead) &&
            (IsKw(Kw::Get, ahead + 1) || IsKw(Kw::Let, ahead + 1) || IsKw(Kw::Set, ahead + 1)));
}

// ---- declarations ----

void CParser::DeclareGlobal(const Token& at, const String& name) {
    if (!globalNames_.try_emplace(name, true).second) FailAt(at, err::kRedefined);
}

int CParser::DeclareLocal(const Token& at, const String& name) {
    if (proc_->locals.count(name)) FailAt(at, err::kRedefined);
    const int slot = proc_->slotCount++;
    proc_->locals.emplace(name, slot);
    return slot;
}

// Dim a, b(3), c(): into the globals, the procedure's locals or the class's fields.
void CParser::ParseVarList(bool isPublic) {
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

void CParser::AddVar(const Token& at, VarDecl d) {
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

void CParser::ParseConst(bool isPublic) {
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

void CParser::ParseTopLevel() {
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

void CParser::ParseProc(bool isPublic, bool isDefault) {
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

void CParser::ParseClass() {
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

}  // namespace parser_detail

using parser_detail::CParser;

std::unique_ptr<Program> Compile(StringView text, int firstLine, const StackLimit& stack) {
    auto program = std::make_unique<Program>();
    CParser parser(Tokenize(text, firstLine), stack, program.get());
    parser.ParseProgram();
    return program;
}

std::unique_ptr<Program> CompileExpression(StringView text, const StackLimit& stack, ExprP* expression) {
    auto program = std::make_unique<Program>();
    CParser parser(Tokenize(text, 0), stack, program.get());
    *expression = parser.ParseLoneExpression();
    return program;
}

}  // namespace script
