// A control's text as one string with its caret and selection marked:
// "|" is the caret, "[" and "]" the ends of a selection within the text
// shown ("ab[c]|d": "c" selected from left to right). Set through the
// control's messages and read back the same way, so that a test states a
// document before and after an action in one line each.
#pragma once

#include <windows.h>

#include <string>

#include "EditProtocol.h"
#include "Positions.h"

namespace testing_support {

// Inserts `marked` at the caret, without its marks, as pieces between
// them; then selects between "[" and "]" (the caret at "|", at one of
// them) or places the caret at "|". Text without marks only inserts.
inline void SetMarkedText(HWND control, const std::wstring& marked) {
    Position at[3] = {{-1, -1}, {-1, -1}, {-1, -1}};  // "|", "[", "]"
    std::wstring piece;
    auto insert = [&] {
        TextArg arg = {piece.c_str(), int(piece.size())};
        if (!piece.empty()) SendMessageW(control, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
        piece.clear();
    };
    for (wchar_t c : marked) {
        const size_t mark = std::wstring(L"|[]").find(c);
        if (mark == std::wstring::npos) {
            piece += c;
            continue;
        }
        insert();
        at[mark] = CaretOf(control);
    }
    insert();
    if (at[1].line >= 0)
        Select(control, at[0] == at[1] ? at[2] : at[1], at[0]);
    else if (at[0].line >= 0)
        SetCaret(control, at[0].line, at[0].column);
}

// The text with its marks; only the caret's line when `caretLine`.
inline std::wstring MarkedText(HWND control, bool caretLine = false) {
    const Position caret = CaretOf(control);
    const Span s = SelectionOf(control);
    const int lines = int(SendMessageW(control, MPM_GETLINECOUNT, 0, 0));
    const int first = caretLine ? caret.line : 0, last = caretLine ? caret.line : lines - 1;
    std::wstring out;
    for (int line = first; line <= last; ++line) {
        const LRESULT n = SendMessageW(control, MPM_GETLINE, WPARAM(line), 0);
        std::wstring text(size_t(n > 0 ? n : 0) + 1, L'\0');
        SendMessageW(control, MPM_GETLINE, WPARAM(line), reinterpret_cast<LPARAM>(text.data()));
        text.resize(text.size() - 1);
        if (line > first) out += L'\n';
        for (int column = 0; column <= int(text.size()); ++column) {
            const Position p = {line, column};
            if (s.from != s.to && p == s.to) out += L']';
            if (p == caret) out += L'|';
            if (s.from != s.to && p == s.from) out += L'[';
            if (column < int(text.size())) out += text[size_t(column)];
        }
    }
    return out;
}

}  // namespace testing_support
