// Page rendering: the view lays out into a rectangle of another device (a
// printer page, a preview) and draws one page of text into a device context
// from its first visible line down. The caller steps from page to page with
// the page-down and page-up commands, which move by the rows that fit.
//
// Only the lexer's styles are drawn (with the colour flag); the selection,
// highlighters, brace marks and the current-line background belong to the
// screen and are left out. Folded lines are drawn like any other.
#include <algorithm>
#include <cstdio>

#include "GdiScopes.h"
#include "View.h"

namespace {

// Black text and marks on white: the colours of a page drawn without colour.
struct PlainColors {
    COLORREF table[COLOR_TABLE_ENTRIES];
    PlainColors() {
        std::fill(table, table + COLOR_TABLE_ENTRIES, RGB(255, 255, 255));
        table[1] = table[6] = RGB(0, 0, 0);
    }
};

}  // namespace

bool View::SetPageRect(const RECT* page) {
    if (!page || !doc_ || !colors_) return false;
    const int lh = std::max(LineHeight(), 1);
    RECT area = *page;
    if (area.right < area.left) std::swap(area.left, area.right);
    if (area.bottom < area.top) std::swap(area.top, area.bottom);
    area.bottom = area.top + lh * ((area.bottom - area.top) / lh);  // whole rows only
    LineRender* numbers = renderers_[0];
    numbers->enabled = parts_[0];
    if (numbers->enabled) {
        const int w = metrics_.Width(L'0') * (LineNumberDigits() + 2);
        numbers->left = area.left;
        numbers->right = area.left + w;
        area.left = std::min<LONG>(area.left + w, area.right);
    }
    textArea_ = area;
    Relayout();  // rows are cut to the page's width
    return true;
}

bool View::DrawPage(HDC dc, bool color) {
    if (!dc || !doc_ || !colors_) return false;
    CSavedDc saved(dc);
    CSelectScope font(dc, metrics_.Font());
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    // Without colour, every entry the run painter reads is black or white.
    static const PlainColors plain;
    COLORREF* const screen = colors_;
    struct Restore {
        COLORREF*& colors;
        COLORREF* was;
        ~Restore() { colors = was; }
    } restore{colors_, screen};
    if (!color) colors_ = const_cast<COLORREF*>(plain.table);

    const long long lh = std::max(LineHeight(), 1);
    const RECT area = textArea_;
    long long y = area.top - lh * scroll_.topSubRow;
    const LineRender* numbers = renderers_[0];
    const int zero = metrics_.Width(L'0');
    const int count = doc_->LineCount();
    std::vector<unsigned short> st;
    for (int line = scroll_.firstLine; line < count && y < area.bottom; ++line) {
        int n = 0;
        const wchar_t* t = doc_->LineText(line, &n);
        // A lexer may read other lines through the buffer of an unloaded one.
        const std::wstring text(t, size_t(n));
        st.assign(size_t(n) + 1, 0);
        if (color && doc_->lexer) {
            doc_->EnsureStates(line - 1);
            const int prev = line > 0 ? doc_->GetAttr(line - 1, LA_LEXSTATE) : 0;
            doc_->lexer->LineState(line, text.c_str(), TextDocument::LexedLength(n), prev, st.data());
        }
        const WrapVector* wv = WrapOf(line);
        const int rows = RowCount(line);
        // The number stands at the line's top: a line begun on an earlier
        // page has none on this one.
        if (numbers->enabled && y > area.top - lh) {
            const RECT col = {numbers->left, LONG(std::max<long long>(y, area.top)), numbers->right,
                              LONG(std::min<long long>(y + lh * rows, area.bottom))};
            if (col.top < col.bottom) {
                CSavedDc clip(dc);
                IntersectClipRect(dc, col.left, col.top, col.right, col.bottom);
                if (color) FillSolid(dc, col, colors_[0]);
                SetTextColor(dc, colors_[1]);
                SetTextAlign(dc, TA_RIGHT | TA_TOP);
                wchar_t num[16];
                const int len = std::swprintf(num, 16, L"%d", line + 1);
                ExtTextOutW(dc, numbers->right - 2 * zero, int(y), 0, nullptr, num, UINT(len), nullptr);
            }
        }
        CSavedDc clip(dc);
        IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
        for (int r = 0; r < rows && y < area.bottom; ++r, y += lh) {
            if (y + lh <= area.top) continue;
            const int start = r == 0 ? 0 : std::min(wv->data[r - 1], n);
            const int end = rows == 1 ? n : std::clamp(wv->data[r], start, n);
            const RECT row = {area.left, LONG(y), area.right, LONG(y + lh)};
            if (color) FillSolid(dc, row, colors_[0]);
            int x = area.left;
            bool stop = false;
            for (int c = start; c < end && !stop;) {
                int e = c + 1;
                while (e < end && (st[size_t(e)] == st[size_t(c)] || IsLowSurrogate(text[size_t(e)])) && e - c < 512)
                    ++e;
                if (e < end && IsLowSurrogate(text[size_t(e)])) ++e;
                x = PaintRun(dc, text.c_str(), c, e, st[size_t(c)], colors_[0], false, x, int(y), area.left, row,
                             &stop);
                c = e;
            }
        }
    }
    return true;
}
