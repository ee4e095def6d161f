// Positions and selections of a control, set and read through its messages;
// a failed comparison prints the values, "(line,column)".
#pragma once

#include <windows.h>

#include <ostream>

#include "EditProtocol.h"

inline void PrintTo(const Position& p, std::ostream* os) { *os << '(' << p.line << ',' << p.column << ')'; }

namespace testing_support {

// A selection as the control reports it: anchor and caret, or the ordered
// start and end of MPM_GETSELRANGE.
struct Span {
    Position from;
    Position to;
    bool operator==(const Span&) const = default;
};
inline void PrintTo(const Span& s, std::ostream* os) {
    ::PrintTo(s.from, os);
    *os << '-';
    ::PrintTo(s.to, os);
}

inline void SetCaret(HWND control, int line, int column, bool scroll = false) {
    Position p = {line, column};
    SendMessageW(control, MPM_SETCARET, reinterpret_cast<WPARAM>(&p), scroll ? 1 : 0);
}
inline Position CaretOf(HWND control) {
    Position p = {-1, -1};
    SendMessageW(control, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&p), 0);
    return p;
}
// Selects from anchor to caret; true when something is selected.
inline bool Select(HWND control, Position anchor, Position caret) {
    return SendMessageW(control, MPM_SELECT, reinterpret_cast<WPARAM>(&anchor),
                        reinterpret_cast<LPARAM>(&caret)) != 0;
}
// The ordered selection; from == to when nothing is selected.
inline Span SelectionOf(HWND control) {
    Span s = {{-1, -1}, {-1, -1}};
    SendMessageW(control, MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&s.from),
                 reinterpret_cast<LPARAM>(&s.to));
    return s;
}

}  // namespace testing_support
