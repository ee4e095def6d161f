// The script language's tokens: the whole text is read into a list before
// parsing. Keywords are identifiers with a keyword number (after a "." any
// keyword is a plain member name); line continuations (" _" at a line's
// end) and comments (' and Rem) never reach the parser.
#pragma once

#include <cstdint>
#include <vector>

#include "Value.h"

namespace script {

enum class Tok : uint8_t {
    End,      // end of the text
    Newline,  // end of a line
    Colon,    // ":" between statements
    Ident,    // identifiers and keywords (kw says which)
    Number,   // value holds it
    Str,      // value holds it
    Date,     // value holds it
    Op,       // text: one of + - * / \ ^ & = <> < > <= >= ( ) , .
};

enum class Kw : uint8_t {
    None,
    And,
    ByRef,
    ByVal,
    Call,
    Case,
    Class,
    Const,
    Default,
    Dim,
    Do,
    Each,
    Else,
    ElseIf,
    Empty,
    End,
    Eqv,
    Erase,
    Error,
    Exit,
    Explicit,
    False,
    For,
    Function,
    Get,
    GoTo,
    If,
    Imp,
    In,
    Is,
    Let,
    Loop,
    Me,
    Mod,
    New,
    Next,
    Not,
    Nothing,
    Null,
    On,
    Option,
    Or,
    Preserve,
    Private,
    Property,
    Public,
    ReDim,
    Resume,
    Select,
    Set,
    Step,
    Stop,
    Sub,
    Then,
    To,
    True,
    Until,
    Wend,
    While,
    With,
    Xor,
};

struct Token {
    Tok kind = Tok::End;
    Kw kw = Kw::None;
    bool spaceBefore = false;
    int line = 0;
    int column = 0;
    String text;  // identifier as written, or the operator
    CValue value;  // literals
};

// Reads `text` whole; lines are counted from `firstLine`. Throws a
// compilation ScriptError (invalid character, unterminated string...).
std::vector<Token> Tokenize(StringView text, int firstLine);

}  // namespace script
