// The parser's class, shared by its files (Parser.cpp: the entry points, tokens,
// declarations, procedures and classes; ParserExpressions.cpp: expressions;
// ParserStatements.cpp: statements). Not for use outside the parser.
#pragma once

#include <algorithm>
#include <vector>

#include "Lexer.h"
#include "Parser.h"

namespace script::parser_detail {

inline bool SoftKeyword(Kw kw) {
    return kw == Kw::None || kw == Kw::Default || kw == Kw::Explicit || kw == Kw::Step ||
           kw == Kw::Preserve || kw == Kw::Error || kw == Kw::Property || kw == Kw::Get || kw == Kw::Let;
}

class CParser {
   public:
    CParser(std::vector<Token> tokens, const StackLimit& stack, Program* program)
        : toks_(std::move(tokens)), stack_(stack), prog_(program) {
        proc_ = &prog_->main;
        prog_->main.kind = ProcKind::Main;
        prog_->main.program = prog_;
    }
    void ParseProgram();
    ExprP ParseLoneExpression();

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
    void CheckStack() const;
    [[noreturn]] void Fail(int number, String description = String()) const;
    [[noreturn]] static void FailAt(const Token& t, int number, String description = String());
    void ExpectOp(const char16_t* op);
    void ExpectKw(Kw kw, const char16_t* text);
    String ExpectName();
    bool AtStatementEnd() const;
    void EndStatement();
    void SkipSeparators();
    void ExpectNewline();
    bool AtProcedure(size_t ahead = 0) const;

    // ---- expressions ----
    ExprP Make(EK kind, const Token& at);
    void SetDepth(Expr& e, const Token& at);
    ExprP Unary(EK kind, ExprP operand, const Token& at);
    static int Precedence(const Token& t, ops::Op* op, bool* isIs);
    static constexpr int kNotLevel = 6, kNegateLevel = 13, kPowLevel = 14;
    ExprP ParseExpr();
    ExprP ParseBinary(int minLevel);
    ExprP Continue(ExprP lhs, int minLevel);
    ExprP ParseUnary();
    ExprP ParseUnaryOperand(bool exponent);
    ExprP NameNode(const Token& t);
    ExprP ParsePrimary();
    std::vector<ExprP> ParseArgsInParens();
    ExprP ParsePostfix();

    // ---- declarations ----
    void DeclareGlobal(const Token& at, const String& name);
    int DeclareLocal(const Token& at, const String& name);
    void ParseVarList(bool isPublic);
    void AddVar(const Token& at, VarDecl d);
    void ParseConst(bool isPublic);

    // ---- procedures and classes ----
    void ParseTopLevel();
    void ParseProc(bool isPublic, bool isDefault);
    void ParseClass();

    // ---- statements ----
    bool AtBlockEnd() const;
    Block ParseBlock();
    StmtP NewStmt(SK kind, const Token& at);
    void ParseStatement(Block& out);
    void CheckCallTarget(const Expr& e, const Token& at);
    void ParseAssignOrCall(Block& out, const Token& t, bool isSet, bool isLet = false);
    void ParseStatementArgs(std::vector<ExprP>& args);
    void ParseInlineStatements(Block& out);
    void ParseIf(Block& out);
    void ParseSelect(Block& out);
    void ParseFor(Block& out);
    void ParseDo(Block& out);
};

}  // namespace script::parser_detail
