// Compiles script text into a Program (see Ast.h). Throws a compilation
// ScriptError with the line and column of the offending token; a text
// nested deeper than the stack allows ends with "Out of stack space".
#pragma once

#include <cstdint>
#include <memory>

#include "Ast.h"

namespace script {

struct StackLimit {
    uintptr_t base = 0;  // address of a local at the outermost entry
    size_t budget = 256 * 1024;
    // Throws Out of stack space when the stack grew past the budget.
    void Check() const {
        char here;
        const uintptr_t now = reinterpret_cast<uintptr_t>(&here);
        const uintptr_t used = now > base ? now - base : base - now;
        if (used > budget) Raise(err::kOutOfStack);
    }
};

std::unique_ptr<Program> Compile(StringView text, int firstLine, const StackLimit& stack);
// An expression alone (Eval): the program's main procedure holds it as a
// single assignment-free Call statement's value.
std::unique_ptr<Program> CompileExpression(StringView text, const StackLimit& stack, ExprP* expression);

}  // namespace script
