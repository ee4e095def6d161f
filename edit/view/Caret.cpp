// The caret: the system caret's shape and place, moves by character, word,
// row and page, extending moves, scrolling, and bracket matching.
#include <algorithm>
#include <cwctype>

#include "View.h"

namespace {
bool IsBrace(wchar_t c) { return c && wcschr(L"()<>[]{}", c) != nullptr; }
wchar_t Partner(wchar_t c) {
    switch (c) {
        case L'(': return L')'; case L')': return L'(';
        case L'<': return L'>'; case L'>': return L'<';
        case L'[': return L']'; case L']': return L'[';
        case L'{': return L'}'; case L'}': return L'{';
        default: return 0;
    }
}
}  // namespace

int View::RowsPerPage() const {
    return std::max<int>((textArea_.bottom - textArea_.top) / std::max(LineHeight(), 1), 1);
}

// Insert mode: 2 pixels wide at 96 dpi; overwrite mode: a block as wide as the
// character under the caret, at least the average width.
SIZE View::CaretSize() {
    int width = Px(2);
    if (inputMode_ == 1 && doc_) {
        int n = 0;
        const wchar_t* t = doc_->LineText(caret_.line, &n);
        width = metrics_.AveWidth();
        if (caret_.column < n && t[caret_.column] != L'\t')
            width = std::max(metrics_.CharWidth(t, caret_.column, n), metrics_.AveWidth());
    }
    return {width, metrics_.Height()};
}

// A new caret starts hidden.
void View::CreateSystemCaret() {
    caretSize_ = CaretSize();
    CreateCaret(hwnd_, nullptr, caretSize_.cx, caretSize_.cy);
    hasCaret_ = true;
    caretAt_ = {INT_MIN, INT_MIN};
}

// The caret's shape follows the input mode, the font and the character under
// it; it is made anew (and shown) only when the shape changes.
void View::ReshapeCaret() {
    if (!hasCaret_ || dropCaret_) return;
    const SIZE size = CaretSize();
    if (size.cx == caretSize_.cx && size.cy == caretSize_.cy) return;
    CreateSystemCaret();
    ShowCaret(hwnd_);
    PlaceCaret();
}

void View::PlaceCaret() {
    if (!hasCaret_ || dropCaret_) return;
    if (paintPending_) {
        caretPending_ = true;  // the coming paint places it, while the caret is hidden
        return;
    }
    int x = caretRec_.x;
    if (column_ && caretRec_.column >= doc_->LineLength(caretRec_.line) && caretRec_.prefX > x)
        x = caretRec_.prefX / metrics_.AveWidth() * metrics_.AveWidth();
    // Rows far from the top times a tall line height pass the int range.
    const long long px = textArea_.left - (long long)hOffset_ * metrics_.AveWidth() + x - 1;
    const long long py =
        textArea_.top + extraSpacing_ / 2 - (long long)LineHeight() * (scroll_.topRow - caretRec_.row);
    const bool inside = px >= textArea_.left - 1 && px < textArea_.right && py >= textArea_.top &&
                        py + LineHeight() <= textArea_.bottom + LineHeight() / 2;
    const POINT at = frozen_ || !inside ? POINT{-100, -100} : POINT{LONG(px), LONG(py)};
    if (at.x != caretAt_.x || at.y != caretAt_.y) {
        SetCaretPos(at.x, at.y);
        caretAt_ = at;
    }
}

void View::OnFocus(bool gained) {
    if (gained) {
        CreateSystemCaret();
        ShowCaret(hwnd_);
        PlaceCaret();
    } else if (hasCaret_) {
        HideCaret(hwnd_);
        DestroyCaret();
        hasCaret_ = false;
    }
}

// Scrolling -------------------------------------------------------------------

void View::ScrollToRow(int row) {
    if (!doc_) return;
    row = std::clamp(row, 0, std::max(visibleRows_ - 1, 0));
    const int delta = row - scroll_.topRow;
    if (delta == 0) return;
    int line = 0, sub = 0;
    LineOfRow(row, &line, &sub);
    scroll_.firstLine = line;
    scroll_.topSubRow = sub;
    scroll_.topRow = row;
    const int lh = LineHeight();
    if (std::abs(delta) < RowsPerPage() && !invalidAll_ && IsWindowVisible(hwnd_)) {
        RECT client;
        GetClientRect(hwnd_, &client);
        client.top = textArea_.top;
        ScrollWindowEx(hwnd_, 0, -delta * lh, &client, &client, nullptr, nullptr, SW_INVALIDATE);
    } else {
        Invalidate();
    }
    UpdateScrollBars();
    PlaceCaret();
}

void View::ScrollColumns(int offset) {
    if (wrapper_) return;
    offset = std::max(offset, 0);
    if (offset == hOffset_) return;
    hOffset_ = offset;
    Invalidate();
    if (ruler_) InvalidateRect(ruler_, nullptr, FALSE);
    UpdateScrollBars();
    PlaceCaret();
}

void View::ScrollCaretIntoView() {
    if (!doc_) return;
    const int ave = metrics_.AveWidth();
    if (!wrapper_) {
        const int left = hOffset_ * ave;
        const int width = textArea_.right - textArea_.left;
        if (caretRec_.x < left) ScrollColumns(std::max(caretRec_.x / ave - 10, 0));
        else if (caretRec_.x > left + width - 40)
            ScrollColumns(hOffset_ + (caretRec_.x - (left + width - 40)) / ave + 10);
    }
    const int page = RowsPerPage();
    if (caretRec_.row < scroll_.topRow) ScrollToRow(caretRec_.row);
    else if (caretRec_.row >= scroll_.topRow + page) ScrollToRow(caretRec_.row - page + 1);
    PlaceCaret();
}

void View::OnScroll(int bar, int action) {
    SCROLLINFO si = {sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd_, bar, &si);
    if (bar == SB_VERT) {
        int row = scroll_.topRow;
        switch (action) {
            case SB_LINEUP: --row; break;
            case SB_LINEDOWN: ++row; break;
            case SB_PAGEUP: row -= RowsPerPage(); break;
            case SB_PAGEDOWN: row += RowsPerPage(); break;
            case SB_THUMBTRACK: row = si.nTrackPos; break;
            case SB_TOP: row = 0; break;
            case SB_BOTTOM: row = visibleRows_; break;
            default: return;
        }
        ScrollToRow(row);
    } else {
        if (wrapper_) return;
        int col = hOffset_;
        const int page = std::max<int>((textArea_.right - textArea_.left) / metrics_.AveWidth(), 1);
        switch (action) {
            case SB_LINELEFT: --col; break;
            case SB_LINERIGHT: ++col; break;
            case SB_PAGELEFT: col -= page; break;
            case SB_PAGERIGHT: col += page; break;
            case SB_THUMBTRACK: col = si.nTrackPos; break;
            case SB_LEFT: col = 0; break;
            case SB_RIGHT: col = std::max(longestRow_ - page + 1, 0); break;
            default: return;
        }
        ScrollColumns(std::min(col, std::max(longestRow_ - page + 1, 0)));
    }
}

void View::OnWheel(int delta, bool horizontal) {
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    // One screen at a time (WHEEL_PAGESCROLL) scrolls by pages.
    const int step = lines == WHEEL_PAGESCROLL ? RowsPerPage() : lines <= 1 ? 3 : int(std::min<UINT>(lines, 1000));
    const int rows = -(delta / WHEEL_DELTA) * step;
    if (horizontal) {
        const int page = (textArea_.right - textArea_.left) / metrics_.AveWidth();
        if (longestRow_ > page) ScrollColumns(hOffset_ + rows);
    } else {
        ScrollToRow(scroll_.topRow + rows);
    }
}

// Moves ---------------------------------------------------------------------------

int View::ColumnAtX(int line, int subRow, int x) {
    int n = 0;
    const wchar_t* t = doc_->LineText(line, &n);
    std::wstring text(t, size_t(n));
    int from = 0, to = n;
    if (const WrapVector* v = WrapOf(line); v && v->count > 1) {
        subRow = std::clamp(subRow, 0, v->count - 1);
        from = subRow > 0 ? v->data[subRow - 1] : 0;
        to = v->data[subRow];
    }
    const int tab = std::max(TabPixels(), 1);
    to = std::clamp(to, from, n);
    int d = 0, col = from;
    while (col < to) {
        const wchar_t c = text[size_t(col)];
        const int w = c == L'\t' ? tab - d % tab : metrics_.CharWidth(text.c_str(), col, n);
        if (x < d + (w + 1) / 2) break;
        d += w;
        col += CharUnits(text.c_str(), col, n);
    }
    // Past the end of a row that wraps: stay before the row's last character.
    if (col >= to && to < n && to > from) {
        col = to - 1;
        if (col > from && CharUnits(text.c_str(), col - 1, n) == 2) --col;
    }
    return std::min(col, n);
}

// A surrogate pair is stepped over whole.
Position View::CharLeft(Position p) {
    if (p.column > 0) {
        int n = 0;
        const wchar_t* t = doc_->LineText(p.line, &n);
        const int c = std::min(p.column, n) - 1;
        return {p.line, c > 0 && CharUnits(t, c - 1, n) == 2 ? c - 1 : c};
    }
    int l = p.line - 1;
    while (l >= 0 && Hidden(l)) --l;
    return l >= 0 ? Position{l, doc_->LineLength(l)} : p;
}

Position View::CharRight(Position p) {
    int n = 0;
    const wchar_t* t = doc_->LineText(p.line, &n);
    if (p.column < n) return {p.line, p.column + CharUnits(t, p.column, n)};
    int l = p.line + 1;
    while (l < doc_->LineCount() && Hidden(l)) ++l;
    return l < doc_->LineCount() ? Position{l, 0} : p;
}

Position View::SmartHome(Position p) {
    int n = 0;
    const wchar_t* t = doc_->LineText(p.line, &n);
    int i = 0;
    while (i < n && std::iswspace(t[i])) ++i;
    if (p.column == 0 || p.column > i) return {p.line, i};
    return {p.line, 0};
}

// The position `rows` visual rows away at the preferred x (the caret stays
// on row 0 for an upward move).
Position View::RowMove(int rows, int* subRowOut) {
    const int target = std::clamp(caretRec_.row + rows, 0, std::max(visibleRows_ - 1, 0));
    int line = 0, sub = 0;
    LineOfRow(target, &line, &sub);
    *subRowOut = sub;
    return {line, ColumnAtX(line, sub, caretRec_.prefX)};
}

Position View::SelectionAnchor() const {
    if (ranges_.size() != 1) return caret_;
    return caret_ == ranges_[0].start ? ranges_[0].end : ranges_[0].start;
}

void View::ExtendTo(Position anchor, Position caret) {
    ranges_.clear();
    column_ = false;
    if (!(anchor == caret))
        ranges_.push_back(Compare(anchor, caret) < 0 ? SelRange{anchor, caret} : SelRange{caret, anchor});
}

void View::DoMove(int id) {
    if (!doc_) return;
    const bool extend = id >= ECMD_SEL_LEFT && id <= ECMD_SEL_WORDLEFT;
    const int base = extend ? id - 12 : id;
    const Position anchor = SelectionAnchor();
    const bool hadSelection = !ranges_.empty();
    if (!extend) {
        // Left from a selection's right edge and Right from its left edge
        // go to the other edge and keep the selection.
        if (base == ECMD_LEFT && ranges_.size() == 1 && caret_ == ranges_[0].end) {
            MoveCaret(ranges_[0].start);
            ScrollCaretIntoView();
            return;
        }
        if (base == ECMD_RIGHT && ranges_.size() == 1 && caret_ == ranges_[0].start) {
            MoveCaret(ranges_[0].end);
            ScrollCaretIntoView();
            return;
        }
        ClearSelection();
    }
    Position p = caret_;
    bool keepPref = false;
    int sub = 0;
    switch (base) {
        case ECMD_LEFT: p = CharLeft(p); break;
        case ECMD_RIGHT: p = CharRight(p); break;
        case ECMD_UP:
            if (caretRec_.row == 0) break;
            p = RowMove(-1, &sub);
            keepPref = true;
            break;
        case ECMD_DOWN:
            p = RowMove(1, &sub);
            keepPref = true;
            break;
        case ECMD_HOME: p = SmartHome(p); break;
        case ECMD_END: p.column = doc_->LineLength(p.line); break;
        case ECMD_DOCSTART: p = {0, 0}; break;
        case ECMD_DOCEND: p = doc_->End(); break;
        case ECMD_WORDRIGHT: p = WordRight(p); break;
        case ECMD_WORDLEFT: p = WordLeft(p); break;
        case ECMD_PAGEUP:
        case ECMD_PAGEDOWN: {
            const int n = RowsPerPage() * (base == ECMD_PAGEUP ? -1 : 1);
            p = RowMove(n, &sub);
            keepPref = true;
            // Scroll only when the caret, stopped at the first or last row,
            // stands outside the window.
            const int targetRow = std::clamp(caretRec_.row + n, 0, std::max(visibleRows_ - 1, 0));
            if (targetRow < scroll_.topRow || targetRow >= scroll_.topRow + RowsPerPage())
                ScrollToRow(scroll_.topRow + n);
            break;
        }
    }
    if (extend) {
        ExtendTo(anchor, doc_->Clamp(p));
        Invalidate();
    } else if (hadSelection) {
        Invalidate();
    }
    MoveCaret(p, keepPref);
    // A column equal to a break column belongs to the upper row: a move down
    // onto the start of a continuation row keeps that row.
    if (keepPref && sub != caretRec_.subRow && WrapOf(p.line)) {
        caretRec_.subRow = sub;
        caretRec_.row = RowOfLine(p.line) + sub;
        caretRec_.x = 0;
        PlaceCaret();
    }
    ScrollCaretIntoView();
}

// Bracket matching ------------------------------------------------------------------

void View::MatchBraces() {
    if (!doc_) return;
    const int old[4] = {braces_[0], braces_[1], braces_[2], braces_[3]};
    braces_[0] = braces_[1] = braces_[2] = braces_[3] = -1;
    if (braceMatch_) {
        int n = 0;
        const wchar_t* t = doc_->LineText(caret_.line, &n);
        int col = caret_.column < n && IsBrace(t[caret_.column]) ? caret_.column : caret_.column - 1;
        if (col >= 0 && col < n && IsBrace(t[col])) {
            const wchar_t brace = t[col], partner = Partner(brace);
            const bool forward = wcschr(L"(<[{", brace) != nullptr;
            // Only characters of the brace's own lexer region take part.
            auto regionsOf = [&](int line, std::vector<unsigned short>& st) -> std::wstring {
                int len = 0;
                const wchar_t* lt = doc_->LineText(line, &len);
                std::wstring s(lt, size_t(len));
                st.assign(size_t(len) + 1, 0);
                if (doc_->lexer) {
                    doc_->EnsureStates(line - 1);
                    const int prev = line > 0 ? doc_->GetAttr(line - 1, LA_LEXSTATE) : 0;
                    doc_->lexer->LineState(line, s.c_str(), TextDocument::LexedLength(len), prev, st.data());
                }
                return s;
            };
            std::vector<unsigned short> st;
            std::wstring s = regionsOf(caret_.line, st);
            const unsigned short region = st[size_t(col)] & STYLE_REGION_MASK;
            int depth = 0;
            bool found = false;
            for (int line = caret_.line, k = 0; !found && line >= 0 && line < doc_->LineCount() && k <= 1000;
                 line += forward ? 1 : -1, ++k) {
                if (line != caret_.line) s = regionsOf(line, st);
                const int len = int(s.size());
                int c = line == caret_.line ? col : forward ? 0 : len - 1;
                for (; c >= 0 && c < len; c += forward ? 1 : -1) {
                    if ((st[size_t(c)] & STYLE_REGION_MASK) != region) continue;
                    if (s[size_t(c)] == brace) ++depth;
                    else if (s[size_t(c)] == partner && --depth == 0) {
                        braces_[0] = caret_.line;
                        braces_[1] = col;
                        braces_[2] = line;
                        braces_[3] = c;
                        found = true;
                        break;
                    }
                }
            }
        }
    }
    if (!std::equal(old, old + 4, braces_)) Invalidate();
}

void View::GotoBrace(bool extend) {
    if (!braceMatch_ || braces_[0] < 0) return;
    const Position anchor = SelectionAnchor();
    // To the partner of the brace at (or before) the caret.
    Position target = {braces_[2], braces_[3]};
    if (caret_.line == braces_[2] && (caret_.column == braces_[3] || caret_.column == braces_[3] + 1))
        target = {braces_[0], braces_[1]};
    if (extend) {
        const Position end = Compare(target, anchor) > 0 ? Position{target.line, target.column + 1} : target;
        ExtendTo(anchor, end);
        Invalidate();
        MoveCaret(end);
    } else {
        ClearSelection();
        MoveCaret(target);
    }
    ScrollCaretIntoView();
}
