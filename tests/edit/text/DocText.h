// A document's text and edits for the tests of the text layer: the whole
// text with LF breaks, one line, and edits made directly or as commands
// (which record their inverse for undo).
#pragma once

#include <string>

#include "Commands.h"
#include "Positions.h"
#include "TextDocument.h"

inline std::wstring Text(TextDocument& d) {
    std::wstring s(size_t(d.RangeLength({0, 0}, d.End(), LB_LF)), L'\0');
    d.CopyRange({0, 0}, d.End(), LB_LF, s.data());
    return s;
}

inline std::wstring LineOf(TextDocument& d, int i) {
    int n = 0;
    const wchar_t* t = d.LineText(i, &n);
    return std::wstring(t, size_t(n));
}

inline Position Insert(TextDocument& d, Position p, const std::wstring& s) {
    return d.Insert(p, s.data(), int(s.size()));
}

inline bool Type(TextDocument& d, Position p, const std::wstring& s) {
    InsertCommand c(p, s.c_str(), int(s.size()));
    return ::Run(c, d);
}

inline void Erase(TextDocument& d, Position a, Position b) {
    DeleteCommand c(a, b);
    ::Run(c, d);
}
