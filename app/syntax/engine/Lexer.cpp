#include "Lexer.h"

#include <cmath>

#include "Operators.h"

namespace script {

namespace {

struct KeywordName {
    const char16_t* name;
    Kw kw;
};

constexpr KeywordName kKeywords[] = {
    {u"and", Kw::And},
    {u"byref", Kw::ByRef},
    {u"byval", Kw::ByVal},
    {u"call", Kw::Call},
    {u"case", Kw::Case},
    {u"class", Kw::Class},
    {u"const", Kw::Const},
    {u"default", Kw::Default},
    {u"dim", Kw::Dim},
    {u"do", Kw::Do},
    {u"each", Kw::Each},
    {u"else", Kw::Else},
    {u"elseif", Kw::ElseIf},
    {u"empty", Kw::Empty},
    {u"end", Kw::End},
    {u"eqv", Kw::Eqv},
    {u"erase", Kw::Erase},
    {u"error", Kw::Error},
    {u"exit", Kw::Exit},
    {u"explicit", Kw::Explicit},
    {u"false", Kw::False},
    {u"for", Kw::For},
    {u"function", Kw::Function},
    {u"get", Kw::Get},
    {u"goto", Kw::GoTo},
    {u"if", Kw::If},
    {u"imp", Kw::Imp},
    {u"in", Kw::In},
    {u"is", Kw::Is},
    {u"let", Kw::Let},
    {u"loop", Kw::Loop},
    {u"me", Kw::Me},
    {u"mod", Kw::Mod},
    {u"new", Kw::New},
    {u"next", Kw::Next},
    {u"not", Kw::Not},
    {u"nothing", Kw::Nothing},
    {u"null", Kw::Null},
    {u"on", Kw::On},
    {u"option", Kw::Option},
    {u"or", Kw::Or},
    {u"preserve", Kw::Preserve},
    {u"private", Kw::Private},
    {u"property", Kw::Property},
    {u"public", Kw::Public},
    {u"redim", Kw::ReDim},
    {u"resume", Kw::Resume},
    {u"select", Kw::Select},
    {u"set", Kw::Set},
    {u"step", Kw::Step},
    {u"stop", Kw::Stop},
    {u"sub", Kw::Sub},
    {u"then", Kw::Then},
    {u"to", Kw::To},
    {u"true", Kw::True},
    {u"until", Kw::Until},
    {u"wend", Kw::Wend},
    {u"while", Kw::While},
    {u"with", Kw::With},
    {u"xor", Kw::Xor},
};

Kw KeywordOf(StringView name) {
    if (name.size() < 2 || name.size() > 8) return Kw::None;
    for (const KeywordName& k : kKeywords)
        if (SameName(name, k.name)) return k.kw;
    return Kw::None;
}

bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c >= 0xC0; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsIdentChar(char16_t c) { return IsLetter(c) || IsDigit(c) || c == u'_'; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0 || c == 0xFEFF; }

[[noreturn]] void Fail(int number, int line, int column, String description = String()) {
    ScriptError e;
    e.status = StatusOf(number);
    e.description = description.empty() ? ErrorText(number) : std::move(description);
    e.source = kCompileSource;
    e.line = line;
    e.column = column;
    throw e;
}

// An integer literal as the language types it: Integer, then Long, then Double.
CValue IntegerValue(double d) {
    if (d <= 32767) return CValue::Integer(int16_t(d));
    if (d <= 2147483647.0) return CValue::Long(int32_t(d));
    return CValue::Double(d);
}

}  // namespace

std::vector<Token> Tokenize(StringView text, int firstLine) {
    std::vector<Token> out;
    size_t i = 0, lineStart = 0;
    int line = firstLine;
    const size_t n = text.size();
    bool space = true;
    auto push = [&](Tok kind, size_t start) -> Token& {
        Token& t = out.emplace_back();
        t.kind = kind;
        t.line = line;
        t.column = int(start - lineStart);
        t.spaceBefore = space;
        space = false;
        return t;
    };
    auto newline = [&]() {
        // i is at '\r' or '\n'
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
        ++i;
        ++line;
        lineStart = i;
    };
    auto skipToLineEnd = [&]() {
        while (i < n && text[i] != u'\n' && text[i] != u'\r') ++i;
    };
    while (i < n) {
        const char16_t c = text[i];
        if (IsBlank(c)) {
            ++i;
            space = true;
            continue;
        }
        const size_t start = i;
        if (c == u'\n' || c == u'\r') {
            push(Tok::Newline, start);
            newline();
            space = true;
            continue;
        }
        if (c == u'\'') {
            skipToLineEnd();
            continue;
        }
        if (c == u'_') {
            // A line continuation: "_" then blanks up to the end of the line.
            size_t j = i + 1;
            while (j < n && IsBlank(text[j])) ++j;
            if (j >= n || text[j] == u'\n' || text[j] == u'\r') {
                i = j;
                if (i < n) newline();
                space = true;
                continue;
            }
            Fail(err::kInvalidCharacter, line, int(start - lineStart));
        }
        if (c == u':') {
            push(Tok::Colon, start);
            ++i;
            space = true;
            continue;
        }
        if (IsLetter(c)) {
            while (i < n && IsIdentChar(text[i])) ++i;
            StringView word = text.substr(start, i - start);
            const bool afterDot =
                !out.empty() && out.back().kind == Tok::Op && out.back().text == u"." && !space;
            if (!afterDot && SameName(word, u"rem")) {
                skipToLineEnd();
                continue;
            }
            Token& t = push(Tok::Ident, start);
            t.text = String(word);
            if (!afterDot) t.kw = KeywordOf(word);
            continue;
        }
        if (c == u'[') {
            size_t j = i + 1;
            while (j < n && text[j] != u']' && text[j] != u'\n' && text[j] != u'\r') ++j;
            if (j >= n || text[j] != u']')
                Fail(1007, line, int(start - lineStart), u"Expected ']'");
            Token& t = push(Tok::Ident, start);
            t.text = String(text.substr(i + 1, j - i - 1));
            i = j + 1;
            continue;
        }
        if (c == u'"') {
            String s;
            ++i;
            for (;;) {
                if (i >= n || text[i] == u'\n' || text[i] == u'\r')
                    Fail(err::kUnterminatedString, line, int(start - lineStart));
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        s += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                s += text[i++];
            }
            Token& t = push(Tok::Str, start);
            t.value = CValue::Str(std::move(s));
            continue;
        }
        if (c == u'#') {
            size_t j = i + 1;
            while (j < n && text[j] != u'#' && text[j] != u'\n' && text[j] != u'\r') ++j;
            if (j >= n || text[j] != u'#') Fail(err::kSyntax, line, int(start - lineStart));
            const int column = int(start - lineStart);
            double d = 0;
            try {
                d = ops::ToDate(CValue::Str(text.substr(i + 1, j - i - 1)));
            } catch (const ScriptError&) {
                Fail(err::kSyntax, line, column, u"Invalid date literal");
            }
            Token& t = push(Tok::Date, start);
            t.value = CValue::Date(d);
            i = j + 1;
            continue;
        }
        const bool afterOperand =
            !out.empty() && (out.back().kind == Tok::Ident || out.back().text == u")") && !space;
        if (IsDigit(c) || (c == u'.' && !afterOperand && i + 1 < n && IsDigit(text[i + 1]))) {
            bool real = false;
            while (i < n && IsDigit(text[i])) ++i;
            if (i < n && text[i] == u'.') {
                real = true;
                ++i;
                while (i < n && IsDigit(text[i])) ++i;
            }
            if (i < n && (text[i] == u'e' || text[i] == u'E')) {
                size_t j = i + 1;
                if (j < n && (text[j] == u'+' || text[j] == u'-')) ++j;
                if (j < n && IsDigit(text[j])) {
                    real = true;
                    i = j;
                    while (i < n && IsDigit(text[i])) ++i;
                }
            }
            std::string digits(text.begin() + start, text.begin() + i);
            const double d = std::strtod(digits.c_str(), nullptr);
            if (!std::isfinite(d))
                Fail(err::kOverflow, line, int(start - lineStart), ErrorText(err::kOverflow));
            Token& t = push(Tok::Number, start);
            t.value = real ? CValue::Double(d) : IntegerValue(d);
            if (i < n && IsIdentChar(text[i]))
                Fail(1025, line, int(i - lineStart), u"Expected end of statement");
            continue;
        }
        if (c == u'&' && i + 1 < n &&
            (text[i + 1] == u'h' || text[i + 1] == u'H' || text[i + 1] == u'o' || text[i + 1] == u'O')) {
            const bool hex = text[i + 1] == u'h' || text[i + 1] == u'H';
            const unsigned base = hex ? 16 : 8;
            i += 2;
            uint64_t v = 0;
            size_t digits = 0;
            while (i < n) {
                const char16_t d = text[i];
                unsigned dv;
                if (IsDigit(d))
                    dv = d - u'0';
                else if (hex && d >= u'a' && d <= u'f')
                    dv = d - u'a' + 10;
                else if (hex && d >= u'A' && d <= u'F')
                    dv = d - u'A' + 10;
                else
                    break;
                if (dv >= base) break;
                v = v * base + dv;
                if (v > 0xFFFFFFFFu)
                    Fail(err::kOverflow, line, int(start - lineStart), ErrorText(err::kOverflow));
                ++digits;
                ++i;
            }
            if (digits == 0) Fail(err::kSyntax, line, int(start - lineStart));
            bool forceLong = false;
            if (i < n && text[i] == u'&') {
                forceLong = true;
                ++i;
            }
            // Four digits or fewer are 16 bits (&HFFFF is -1); a trailing & reads
            // 32 bits (&HFFFF& is 65535). Either way the smallest type that holds
            // the value: &H10& is an Integer.
            Token& t = push(Tok::Number, start);
            const int32_t value = !forceLong && v <= 0xFFFF ? int32_t(int16_t(uint16_t(v))) : int32_t(uint32_t(v));
            t.value = value >= -32768 && value <= 32767 ? CValue::Integer(int16_t(value)) : CValue::Long(value);
            continue;
        }
        // Operators.
        String op(1, c);
        const char16_t after = i + 1 < n ? text[i + 1] : u'\0';
        if ((c == u'<' && (after == u'>' || after == u'=')) || (c == u'>' && after == u'='))
            op += after;
        size_t length = op.size();
        // The other spellings: => is >=, =< is <=, >< is <>.
        if ((c == u'=' && (after == u'>' || after == u'<')) || (c == u'>' && after == u'<')) {
            op = c == u'>' ? u"<>" : after == u'>' ? u">=" : u"<=";
            length = 2;
        }
        if (op.size() == 1 &&
            !(c == u'+' || c == u'-' || c == u'*' || c == u'/' || c == u'\\' || c == u'^' || c == u'&' ||
              c == u'=' || c == u'<' || c == u'>' || c == u'(' || c == u')' || c == u',' || c == u'.'))
            Fail(err::kInvalidCharacter, line, int(start - lineStart));
        Token& t = push(Tok::Op, start);
        t.text = std::move(op);
        i += length;
    }
    Token& end = push(Tok::End, n);
    (void)end;
    return out;
}

}  // namespace script
