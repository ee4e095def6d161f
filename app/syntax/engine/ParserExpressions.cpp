// The parser's expressions: operators by precedence, operands, members and calls.
#include <algorithm>

#include "ParserParts.h"

namespace script::parser_detail {

constexpr int kMaxExpressionDepth = 4000;  // deeper trees are refused (freeing one recurses)

ExprP CParser::Make(EK kind, const Token& at) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->line = at.line;
    e->column = at.column;
    return e;
}

void CParser::SetDepth(Expr& e, const Token& at) {
    int d = 0;
    if (e.a) d = std::max(d, e.a->depth);
    if (e.b) d = std::max(d, e.b->depth);
    for (auto& x : e.args)
        if (x) d = std::max(d, x->depth);
    e.depth = d + 1;
    if (e.depth > kMaxExpressionDepth) FailAt(at, err::kNestingTooDeep);
}

ExprP CParser::Unary(EK kind, ExprP operand, const Token& at) {
    ExprP e = Make(kind, at);
    e->a = std::move(operand);
    SetDepth(*e, at);
    return e;
}

// Binary operators by precedence, lowest first.
int CParser::Precedence(const Token& t, ops::Op* op, bool* isIs) {
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

ExprP CParser::ParseExpr() { return ParseBinary(1); }

ExprP CParser::ParseBinary(int minLevel) {
    CheckStack();
    ExprP lhs = ParseUnary();
    return Continue(std::move(lhs), minLevel);
}

ExprP CParser::Continue(ExprP lhs, int minLevel) {
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

ExprP CParser::ParseUnary() {
    CheckStack();
    const Token& t = Peek();
    if (IsKw(Kw::Not)) {
        Next();
        return Unary(EK::Not, ParseBinary(kNotLevel + 1), t);
    }
    return ParseUnaryOperand(false);
}

// An operand with its signs (a power's exponent may be signed too).
ExprP CParser::ParseUnaryOperand(bool exponent) {
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

ExprP CParser::NameNode(const Token& t) {
    ExprP e = Make(EK::Name, t);
    e->name = t.text;
    if (proc_->kind != ProcKind::Main) referenced_.try_emplace(t.text, true);
    return e;
}

ExprP CParser::ParsePrimary() {
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
                    e->value = CValue::Boolean(t.kw == Kw::True);
                    Next();
                    return e;
                }
                case Kw::Empty:
                case Kw::Null:
                case Kw::Nothing: {
                    ExprP e = Make(EK::Literal, t);
                    e->value = t.kw == Kw::Null      ? CValue::Null()
                               : t.kw == Kw::Nothing ? CValue::Nothing()
                                                     : CValue();
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

std::vector<ExprP> CParser::ParseArgsInParens() {
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

ExprP CParser::ParsePostfix() {
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

}  // namespace script::parser_detail
