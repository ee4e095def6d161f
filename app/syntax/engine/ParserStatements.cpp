// The parser's statements and the blocks they make up.
#include <algorithm>

#include "ParserParts.h"

namespace script::parser_detail {

bool CParser::AtBlockEnd() const {
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

Block CParser::ParseBlock() {
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

StmtP CParser::NewStmt(SK kind, const Token& at) {
    auto s = std::make_unique<Stmt>();
    s->kind = kind;
    s->line = at.line;
    s->column = at.column;
    return s;
}

void CParser::ParseStatement(Block& out) {
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

void CParser::CheckCallTarget(const Expr& e, const Token& at) {
    if (e.kind != EK::Name && e.kind != EK::Member && e.kind != EK::Call && e.kind != EK::Me)
        FailAt(at, err::kExpected, u"Expected statement");
}

void CParser::ParseAssignOrCall(Block& out, const Token& t, bool isSet, bool isLet) {
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

void CParser::ParseStatementArgs(std::vector<ExprP>& args) {
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
void CParser::ParseInlineStatements(Block& out) {
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

void CParser::ParseIf(Block& out) {
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

void CParser::ParseSelect(Block& out) {
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

void CParser::ParseFor(Block& out) {
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

void CParser::ParseDo(Block& out) {
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

}  // namespace script::parser_detail
