// A C rule tree built in code for the lexer benchmarks: block and line
// comments, strings and character literals with backslash escapes, a
// preprocessor line (with its own comments and strings), keywords, numbers,
// and folding on braces.
#pragma once

#include <memory>

#include "SyntaxParser.h"

inline std::unique_ptr<syntax::CSyntaxParser> MakeCLexer() {
    using namespace syntax;
    auto p = std::make_unique<CSyntaxParser>();
    p->SetName(L"C");
    CSyntaxRegion* root = p->Root();
    CSyntaxRegion* comment = p->CreateRegion(1, 1, L"+/*+", L"+*/+", true);
    CSyntaxRegion* line = p->CreateRegion(kLineRegion, 1, L"+//+", L"", true);
    CSyntaxRegion* str = p->CreateStringRegion(kLineRegion, 3, L'"', L'\\');
    CSyntaxRegion* chr = p->CreateStringRegion(kLineRegion, 4, L'\'', L'\\');
    CSyntaxRegion* pre = p->CreateRegion(kLineRegion, 9, L"^\\s*#", L"", true);
    CSyntaxRegion* preComment = p->CreateRegion(2, 1, L"+/*+", L"+*/+", true);
    CSyntaxRegion* preLine = p->CreateRegion(kLineRegion, 1, L"+//+", L"", true);
    CSyntaxRegion* preStr = p->CreateStringRegion(kLineRegion, 3, L'"', L'\\');
    root->AddRegion(pre);
    root->AddRegion(comment);
    root->AddRegion(line);
    root->AddRegion(str);
    root->AddRegion(chr);
    pre->AddRegion(preComment);
    pre->AddRegion(preLine);
    pre->AddRegion(preStr);
    root->AddItem(p->CreateItem(
        5,
        L"\\b(auto|break|case|char|const|continue|default|do|double|else|enum|extern|float|for|goto|if|"
        L"inline|int|long|register|restrict|return|short|signed|sizeof|static|struct|switch|typedef|union|"
        L"unsigned|void|volatile|while)\\b",
        true));
    root->AddItem(p->CreateItem(6, L"\\b(0[xX][0-9a-fA-F]+|\\d+(\\.\\d*)?([eE][-+]?\\d+)?)[uUlLfF]*\\b", true));
    root->SetFold(CompilePattern(L"\\{", true));
    root->SetUnfold(CompilePattern(L"\\}", true));
    return p;
}
