// Painting: margins, the text of each visible line with its styles and
// marks, and the ruler. Everything is drawn into one off-screen bitmap the
// size of the update rectangle and copied to the window at the end.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

#include "GdiScopes.h"
#include "View.h"

namespace {

// Shared by all views; grown, never shrunk.
std::vector<unsigned short> g_styles;
std::vector<INT> g_dx;  // advances of one run of text

// The mark font at each resolution asked for (a few at most).
struct MarkFontAt {
    int dpi;
    HFONT font;
};
std::vector<MarkFontAt> g_markFonts;

}  // namespace

HINSTANCE ThisModule() {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&g_styles), &m);
    return m;
}

namespace {

void Stroke(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

}  // namespace

// Margin renderers -------------------------------------------------------------

void LineRender::DrawLine(HDC, int, const RECT&, const RECT&, View&) {}

void LineRender::FillBelow(HDC dc, int y, const RECT& update, View& view) {
    RECT rc = {left, y, right, update.bottom};
    if (rc.top < rc.bottom) FillSolid(dc, rc, view.Color(70));
}

namespace {

class LineNumberRender final : public LineRender {
public:
    void DrawLine(HDC dc, int line, const RECT& rc, const RECT& update, View& view) override {
        RECT col = {left, rc.top, right, rc.bottom};
        FillSolid(dc, col, view.Color(7));
        const int half = view.ExtraSpacing() / 2;
        const int lh = view.LineHeight();
        HRGN clip = CreateRectRgn(0, 0, 0, 0);
        const bool hadClip = GetClipRgn(dc, clip) == 1;
        IntersectClipRect(dc, col.left, col.top, col.right, col.bottom);
        SetTextColor(dc, view.Color(8));
        SetTextAlign(dc, TA_RIGHT | TA_TOP);
        wchar_t num[16];
        const int len = std::swprintf(num, 16, L"%d", line + 1);
        const int pad = view.Px(5);
        ExtTextOutW(dc, right - pad, rc.top + half, 0, nullptr, num, UINT(len), nullptr);
        // Continuation rows of a wrapped line, only those in the update area.
        const int rows = view.RowCount(line);
        const int firstRow = std::max(1, int(update.top - rc.top) / std::max(lh, 1));
        const int lastRow = std::min(rows - 1, int(update.bottom - rc.top) / std::max(lh, 1));
        for (int r = firstRow; r <= lastRow; ++r)
            ExtTextOutW(dc, right - pad, rc.top + r * lh + half - view.Px(2), 0, nullptr, L".", 1, nullptr);
        SetTextAlign(dc, TA_LEFT | TA_TOP);
        const bool bookmark = view.Document()->GetAttr(line, LA_BOOKMARK) != 0;
        if (bookmark || line == view.Caret().line) {
            CSelectScope f(dc, view.MarkFont());
            SetTextColor(dc, view.Color(bookmark ? 9 : 23));
            ExtTextOutW(dc, left - view.Px(3), rc.top + lh / 2 - view.Px(7), 0, nullptr,
                        bookmark ? L"a" : L"4", 1, nullptr);
        }
        SelectClipRgn(dc, hadClip ? clip : nullptr);
        DeleteObject(clip);
    }
    void FillBelow(HDC dc, int y, const RECT& update, View& view) override {
        RECT rc = {left, y, right, update.bottom};
        if (rc.top < rc.bottom) FillSolid(dc, rc, view.Color(7));
    }
};

class FoldingRender final : public LineRender {
public:
    HCURSOR Cursor() const override { return LoadCursorW(nullptr, IDC_HAND); }
    void DrawLine(HDC dc, int line, const RECT& rc, const RECT&, View& view) override {
        RECT col = {left, rc.top, right, rc.bottom};
        FillSolid(dc, col, view.Color(24));
        TextDocument* doc = view.Document();
        const int last = doc->LineCount() - 1;
        int g = line == 0 ? 0 : doc->GetAttr(line, LA_FOLDLEVEL);
        int l = line == last ? g : doc->GetAttr(line + 1, LA_FOLDLEVEL);
        const int hidden = line == last ? -1 : view.HiddenDepth(line + 1);
        const auto& ranges = view.Ranges();
        if (view.FoldMode() == 3 && ranges.size() == 1 && ranges[0].end.line > ranges[0].start.line) {
            if (line == ranges[0].start.line) g = 1, l = 2;
            if (line == ranges[0].end.line) g = 2, l = 1;
        }
        if (hidden > 0 || g < l) {
            // A minus, a plus when folded: 5 pixels across at 96 dpi, the
            // strokes a pixel thick, both scaled.
            const int cx = left + view.Px(3), cy = rc.top + view.LineHeight() / 2,
                      t = std::max(view.Px(1), 1);
            const RECT across = {cx - view.Px(2), cy, cx + view.Px(3), cy + t};
            FillSolid(dc, across, view.Color(10));
            if (hidden > 0) {
                const RECT down = {cx, cy - view.Px(2), cx + t, cy + view.Px(3)};
                FillSolid(dc, down, view.Color(10));
            }
        }
    }
    void FillBelow(HDC dc, int y, const RECT& update, View& view) override {
        RECT rc = {left, y, right, update.bottom};
        if (rc.top < rc.bottom) FillSolid(dc, rc, view.Color(24));
    }
};

class EditStateRender final : public LineRender {
public:
    void DrawLine(HDC dc, int line, const RECT& rc, const RECT&, View& view) override {
        RECT col = {left, rc.top, right, rc.bottom};
        FillSolid(dc, col, view.Color(0));
        if (view.Document()->GetAttr(line, LA_CHANGED)) {
            const RECT strip = {left, rc.top, left + std::max(view.Px(1), 1), rc.bottom};
            FillSolid(dc, strip, RGB(255, 0, 0));
        }
    }
};

class LeftMarginRender final : public LineRender {
public:
    void DrawLine(HDC dc, int, const RECT& rc, const RECT&, View& view) override {
        RECT col = {left, rc.top, right, rc.bottom};
        FillSolid(dc, col, view.Color(0));
    }
};

}  // namespace

LineRender* MakeRenderer(int index) {
    switch (index) {
        case 0: return new LineNumberRender;
        case 1: return new FoldingRender;
        case 2: {
            auto* r = new EditStateRender;
            r->enabled = false;
            return r;
        }
        default: return new LeftMarginRender;
    }
}

// 10 points at the control's resolution.
HFONT View::MarkFont() {
    for (const MarkFontAt& m : g_markFonts)
        if (m.dpi == dpi_) return m.font;
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(10, dpi_, 72);
    lf.lfCharSet = DEFAULT_CHARSET;
    wcscpy(lf.lfFaceName, L"Marlett");
    HFONT font = CreateFontIndirectW(&lf);
    if (font) g_markFonts.push_back({dpi_, font});
    return font;
}

void FreeMarkFont() {
    for (const MarkFontAt& m : g_markFonts) DeleteObject(m.font);
    g_markFonts.clear();
}

int DigitsFor(int lineCount) {
    if (lineCount < 1000) return 3;
    int d = 0;
    for (long long v = lineCount; v > 0; v /= 10) ++d;
    return d;
}

int View::LineNumberDigits() const { return DigitsFor(doc_ ? doc_->LineCount() : 1); }

// Margin layout: ruler band, fold margin, line numbers, left margin, and the
// edit-state strip at the right edge; the rest is the text area.
void View::LayoutMargins() {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    const int oldWidth = textArea_.right - textArea_.left;
    if (ruler_) {
        const int h = LineHeight() * 5 / 4;
        MoveWindow(ruler_, rc.left, rc.top, rc.right - rc.left, h, TRUE);
        rc.top += h;
    }
    LineRender* numbers = renderers_[0];
    LineRender* folds = renderers_[1];
    LineRender* state = renderers_[2];
    LineRender* margin = renderers_[3];
    folds->enabled = foldMode_ != 0;
    if (folds->enabled) {
        folds->left = rc.left;
        folds->right = rc.left += Px(10);
    }
    numbers->enabled = parts_[0];
    if (numbers->enabled) {
        numbers->left = rc.left;
        numbers->right = rc.left += metrics_.Width(L'0') * (LineNumberDigits() + 2);
    }
    if (margin->enabled) {
        margin->left = rc.left;
        margin->right = rc.left += Px(2);
    }
    state->enabled = parts_[9];
    if (state->enabled) {
        state->right = rc.right;
        state->left = rc.right -= Px(2);
    }
    textArea_ = rc;
    if (ruler_) InvalidateRect(ruler_, nullptr, FALSE);
    if (wrapper_ && oldWidth != textArea_.right - textArea_.left && IsWindowVisible(hwnd_) &&
        textArea_.right - textArea_.left > 40) {
        RewrapAll();
        ClampTopSubRow();
        RecomputeTopRow();
        UpdateCaretRecord();
    }
    UpdateScrollBars();
}

// Scroll bars are set only when what they show changed: each change is a
// round trip to the window system.
void View::UpdateScrollBars() {
    if (!hwnd_ || !doc_) return;
    const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
    const int lh = std::max(LineHeight(), 1);
    const int rowsPerPage = std::max<int>((textArea_.bottom - textArea_.top) / lh, 1);
    if (style & WS_VSCROLL) {
        const int v[3] = {rowsPerPage + visibleRows_ - 2, rowsPerPage, scroll_.topRow};
        if (!std::equal(v, v + 3, vbar_)) {
            std::copy(v, v + 3, vbar_);
            SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, v[0], UINT(v[1]), v[2], 0};
            SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
        }
    }
    if (style & WS_HSCROLL) {
        const int v[3] = {wrapper_ ? 0 : longestRow_,
                          std::max<int>((textArea_.right - textArea_.left) / metrics_.AveWidth(), 1), hOffset_};
        if (!std::equal(v, v + 3, hbar_)) {
            std::copy(v, v + 3, hbar_);
            SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, v[0], UINT(v[1]), v[2], 0};
            SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
        }
    }
}

// Painting ----------------------------------------------------------------------

void View::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    invalidAll_ = false;
    paintPending_ = false;
    // EndPaint must follow whatever happens: out of memory on a huge line
    // drops the off-screen bitmap (its origin and font are lost) and beeps.
    try {
        if (!IsRectEmpty(&ps.rcPaint)) Paint(dc, ps.rcPaint);
    } catch (const std::exception&) {
        FreePaintBitmap();
        MessageBeep(MB_ICONHAND);
    }
    // A caret move that waited for this paint: placed while painting hides it.
    if (caretPending_) {
        caretPending_ = false;
        PlaceCaret();
    }
    EndPaint(hwnd_, &ps);
}

void View::Paint(HDC target, const RECT& update) {
    if (!doc_ || !metrics_.Font() || !colors_) return;
    const int w = update.right - update.left, h = update.bottom - update.top;
    if (w <= 0 || h <= 0) return;
    // One off-screen bitmap, kept between paints and grown when too small.
    if (!paintDc_) paintDc_ = CreateCompatibleDC(target);
    if (w > paintSize_.cx || h > paintSize_.cy) {
        if (paintBmp_) {
            SelectObject(paintDc_, paintOld_);
            DeleteObject(paintBmp_);
        }
        paintSize_ = {std::max<LONG>(w, paintSize_.cx), std::max<LONG>(h, paintSize_.cy)};
        paintBmp_ = CreateCompatibleBitmap(target, paintSize_.cx, paintSize_.cy);
        paintOld_ = SelectObject(paintDc_, paintBmp_);
    }
    HDC dc = paintDc_;
    SetViewportOrgEx(dc, -update.left, -update.top, nullptr);
    HGDIOBJ oldFont = SelectObject(dc, metrics_.Font());
    SetBkMode(dc, TRANSPARENT);

    // Rows times a tall line height can pass the int range far down a long
    // wrapped line: positions are 64-bit until clamped to what GDI takes.
    const long long lh = LineHeight();
    constexpr long long kFar = 1LL << 29;
    long long y = textArea_.top - lh * scroll_.topSubRow;
    const int count = doc_->LineCount();
    int line = scroll_.firstLine;
    for (; line < count && y < textArea_.bottom; ++line) {
        const int rows = RowCount(line);
        const RECT lineRect = {textArea_.left, LONG(std::max(y, -kFar)), textArea_.right,
                               LONG(std::min(y + rows * lh, kFar))};
        RECT meet;
        if (IntersectRect(&meet, &lineRect, &update) || Hidden(line)) PaintLine(dc, line, y, lineRect, update);
        if (Hidden(line)) continue;
        for (LineRender* r : renderers_)
            if (r->enabled) r->DrawLine(dc, line, lineRect, update, *this);
        y += rows * lh;
    }
    if (y < textArea_.bottom) {
        RECT rest = {textArea_.left, LONG(y), update.right, update.bottom};
        if (rest.top < rest.bottom && rest.left < rest.right) FillSolid(dc, rest, colors_[70]);
        for (LineRender* r : renderers_)
            if (r->enabled) r->FillBelow(dc, int(y), update, *this);
    }
    // Anything the text area and margins do not cover (above the first line).
    if (update.top < textArea_.top) {
        RECT band = {update.left, update.top, update.right, std::min<LONG>(textArea_.top, update.bottom)};
        FillSolid(dc, band, colors_[70]);
    }
    SelectObject(dc, oldFont);
    BitBlt(target, update.left, update.top, w, h, dc, update.left, update.top, SRCCOPY);
    SetViewportOrgEx(dc, 0, 0, nullptr);
}

void View::FreePaintBitmap() {
    if (!paintDc_) return;
    if (paintBmp_) {
        SelectObject(paintDc_, paintOld_);
        DeleteObject(paintBmp_);
    }
    DeleteDC(paintDc_);
    paintDc_ = nullptr;
    paintBmp_ = nullptr;
    paintSize_ = {0, 0};
}

void View::ResolveColors(unsigned short v, COLORREF rowBack, bool special, COLORREF* text, COLORREF* back,
                         bool* underline) const {
    const int k = v & STYLE_CLASS_MASK;
    *text = colors_[1];
    *back = colors_[0];
    *underline = (v & STYLE_UNDERLINE) != 0;
    if ((k >= 1 && k <= 10) || (k >= 12 && k <= 15)) {
        *text = colors_[43 + k];
        *back = colors_[24 + k];
    } else if (k == 16) {
        *text = colors_[63];
        *back = colors_[64];
    } else if (k == 17) {
        *text = colors_[67];
        *back = colors_[66];
    } else if (k >= 20 && k <= 23) {
        *text = colors_[59 + (k - 20)];
        *back = colors_[40 + (k - 20)];
    }
    if (k == 7 || k == 8) *underline = true;
    if (v & STYLE_SELECTED) {
        *text = colors_[4];
        *back = colors_[3];
        return;
    }
    if (special && k != 16 && !(k >= 20 && k <= 23)) *back = rowBack;
}

void View::PaintLine(HDC dc, int line, long long lineTop, const RECT& lineRect, const RECT& update) {
    int n = 0;
    const wchar_t* lineText = doc_->LineText(line, &n);
    // A lexer or highlighter may read other lines, which can reuse the
    // buffer of an unloaded line: keep a copy then.
    std::wstring copy;
    if ((doc_->lexer || !highlighters_.empty()) && !doc_->LineAt(line).Loaded()) {
        copy.assign(lineText, size_t(n));
        lineText = copy.c_str();
    }
    const wchar_t* const text = lineText;
    if (g_styles.size() < size_t(n) + 1) g_styles.resize(2 * size_t(n) + 3);
    unsigned short* st = g_styles.data();
    std::fill(st, st + n + 1, 0);
    if (doc_->lexer) {
        doc_->EnsureStates(line - 1);
        const int prev = line > 0 ? doc_->GetAttr(line - 1, LA_LEXSTATE) : 0;
        doc_->lexer->LineState(line, text, TextDocument::LexedLength(n), prev, st);
    }
    for (IHighlighter* h : highlighters_) h->Highlight(line, text, n, st);
    if (styleStore_ && line < styleStore_->Count())
        if (const LineStyleT* o = (*styleStore_)[line])
            for (int c = 0; c < n && c < o->Count(); ++c)
                if (const unsigned char b = o->Get(c)) st[c] = (unsigned short)((st[c] & ~STYLE_CLASS_MASK) | (b & 31));
    if (braceMatch_)
        for (int k = 0; k < 2; ++k)
            if (braces_[2 * k] == line && braces_[2 * k + 1] >= 0 && braces_[2 * k + 1] <= n) {
                unsigned short& v = st[braces_[2 * k + 1]];
                v = (unsigned short)((v & ~0x0F) | 0x10);
            }
    for (const SelRange& r : ranges_) {
        if (line < r.start.line || line > r.end.line) continue;
        const int from = line == r.start.line ? r.start.column : 0;
        const int to = line == r.end.line ? r.end.column : n;
        for (int c = std::max(from, 0); c < std::min(to, n); ++c) st[c] |= STYLE_SELECTED;
        if (ranges_.size() > 1 && line == r.end.line && r.end.column <= n) st[r.end.column] |= STYLE_EXTRACARET;
    }
    if (Hidden(line)) return;

    RECT clip;
    if (!IntersectRect(&clip, &lineRect, &update)) return;
    HRGN saved = CreateRectRgn(0, 0, 0, 0);
    const bool hadClip = GetClipRgn(dc, saved) == 1;
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    const int lh = LineHeight();
    const int x0 = lineRect.left - hOffset_ * metrics_.AveWidth();
    const WrapVector* wv = WrapOf(line);
    const int rows = RowCount(line);
    const int mark = doc_->GetAttr(line, LA_MARKER1);
    // Rows above the update area are not visited: a long wrapped line
    // scrolled deep down starts at the first row that shows.
    const int firstRow = lineTop < clip.top ? int(std::min<long long>((clip.top - lineTop) / lh, rows - 1)) : 0;
    for (int r = firstRow; r < rows; ++r) {
        const long long rowTop = lineTop + (long long)r * lh;
        if (rowTop >= clip.bottom) break;
        const int top = int(rowTop);
        const int start = r == 0 ? 0 : std::min(wv->data[r - 1], n);
        const int end = rows == 1 ? n : std::clamp(wv->data[r], start, n);
        if (top + lh <= clip.top && r + 1 < rows) continue;  // above the update area
        bool special = true;
        COLORREF rowBack = colors_[0];
        if (parts_[6] && line == caretRec_.line && r == caretRec_.subRow) rowBack = colors_[12];
        else if (mark) rowBack = colors_[13 + mark];
        else special = false;
        RECT rowRect = {lineRect.left, top, lineRect.right, top + lh};
        FillSolid(dc, rowRect, rowBack);
        // Units left of the update area are only measured, and from where
        // the last paint of this row stopped measuring: a row scrolled far
        // to the right costs what is visible.
        int first = start;
        int x = x0;
        if (clip.left > x0) {
            int skipped = 0;
            first = SkipColumns(text, n, line, start, end, clip.left - x0, &skipped);
            x = x0 + skipped;
        }
        bool stop = false;
        for (int c = first; c < end && !stop;) {
            int e = c + 1;
            while (e < end && (st[e] == st[c] || IsLowSurrogate(text[e])) && e - c < 512) ++e;
            if (e < end && IsLowSurrogate(text[e])) ++e;  // a pair stays in one run
            x = PaintRun(dc, text, c, e, st[c], rowBack, special, x, top, x0, clip, &stop);
            c = e;
        }
        if (ranges_.size() > 1)
            for (int c = start; c <= end && c <= n; ++c)
                if (st[c] & STYLE_EXTRACARET) {
                    const int bx = x0 + RowX(text, start, c);
                    RECT bar = {bx, top, bx + (bx <= clip.left ? Px(2) : std::max(Px(1), 1)), top + lh};
                    FillSolid(dc, bar, colors_[22]);
                }
        const int rowWidth = (x - x0) / metrics_.AveWidth();
        if (rowWidth > longestRow_) {
            longestRow_ = rowWidth;
            UpdateScrollBars();
        }
        if (r + 1 == rows) {
            COLORREF tc, back;
            bool ul;
            ResolveColors(st[n], rowBack, special, &tc, &back, &ul);
            PaintLineEnd(dc, x, top, back, line + 1 == doc_->LineCount(),
                         line + 1 < doc_->LineCount() && Hidden(line + 1), rowRect);
        }
    }
    SelectClipRgn(dc, hadClip ? saved : nullptr);
    DeleteObject(saved);
}

// Draws [from, to) of a row from x; rowX0 is the x of the row's start, from
// which tab stops count. Every character advances by the width layout gives
// it, so the caret and the text agree.
int View::PaintRun(HDC dc, const wchar_t* text, int from, int to, unsigned short style, COLORREF rowBack,
                   bool special, int x, int top, int rowX0, const RECT& clip, bool* stop) {
    COLORREF tc, back;
    bool underline;
    ResolveColors(style, rowBack, special, &tc, &back, &underline);
    const int lh = LineHeight();
    const int half = extraSpacing_ / 2;
    const int ch = metrics_.Height();
    const int base = top + half + ch;
    const int tab = std::max(TabPixels(), 1);
    int i = from;
    while (i < to) {
        if (x > clip.right) {
            *stop = true;
            break;
        }
        const wchar_t c = text[i];
        if (c == L'\t' || c == L' ' || c == 0x3000 || c < 32) {
            int w;
            if (c == L'\t') w = tab - (x - rowX0) % tab;
            else w = metrics_.Width(c);
            if (x + w < clip.left) {  // left of what is painted: only advance
                x += w;
                ++i;
                continue;
            }
            RECT cell = {x, top, x + w, top + lh};
            FillSolid(dc, cell, back);
            if (c == L'\t' && parts_[2]) {
                CPenScope pen(dc, colors_[6], std::max(Px(1), 1));
                const int my = top + half + ch / 2;
                Stroke(dc, x, my, x + w - Px(2), my);
                Stroke(dc, x + w - Px(2), my - Px(2), x + w - Px(2), my + Px(4));
            } else if ((c == L' ' || c == 0x3000) && parts_[2]) {
                CPenScope pen(dc, colors_[6], std::max(Px(1), 1));
                MoveToEx(dc, x + Px(1), base - Px(6), nullptr);
                LineTo(dc, x + Px(1), base - Px(4));
                LineTo(dc, x + w - Px(2), base - Px(4));
                LineTo(dc, x + w - Px(2), base - Px(7));
            } else if (c < 32 && c != L'\t' && parts_[3]) {
                SetTextColor(dc, colors_[6]);
                const wchar_t* name = kControlNames[c];
                ExtTextOutW(dc, x, top + half, 0, nullptr, name, UINT(wcslen(name)), nullptr);
            }
            x += w;
            ++i;
            continue;
        }
        int j = i;
        int w = 0;
        const int units = CharUnits(text, i, to);
        if (units == 2) {  // a pair is drawn alone, in the cell layout gives it
            w = metrics_.CharWidth(text, i, to);
            j = i + 2;
        } else {
            g_dx.clear();
            while (j < to) {
                const wchar_t d = text[j];
                if (d == L'\t' || d == L' ' || d == 0x3000 || d < 32 || CharUnits(text, j, to) == 2) break;
                g_dx.push_back(metrics_.Width(d));
                w += g_dx.back();
                ++j;
                if (x + w > clip.right + 64) break;
            }
        }
        if (x + w < clip.left) {  // left of what is painted: only advance
            x += w;
            i = j;
            continue;
        }
        RECT cell = {x, top, x + w, top + lh};
        FillSolid(dc, cell, back);
        SetTextColor(dc, tc);
        if (units == 2) ExtTextOutW(dc, x, top + half, ETO_CLIPPED, &cell, text + i, 2, nullptr);
        else ExtTextOutW(dc, x, top + half, 0, nullptr, text + i, UINT(j - i), g_dx.data());
        const int uy = top + lh - half - 1;
        if (style & STYLE_WAVY) {
            // Two pixels up, two down at 96 dpi: period and amplitude scale.
            const int step = std::max(Px(2), 1), amp = std::max(Px(1), 1);
            for (int px = x, k = 0; px < x + w; px += step, ++k) {
                const int bottom = k % 2 == 0 ? uy - amp + 1 : uy + 1;
                const RECT wave = {px, bottom - amp, std::min(px + step, x + w), bottom};
                FillSolid(dc, wave, colors_[21]);
            }
        }
        if (underline) {
            CPenScope pen(dc, tc);
            Stroke(dc, x, uy, x + w, uy);
        }
        x += w;
        i = j;
    }
    return x;
}

// The first unit of the row [start, end) of `line` that reaches `target`
// pixels from the row's start, and (in *x) where it starts.
int View::SkipColumns(const wchar_t* text, int n, int line, int start, int end, int target, int* x) {
    int c = start, d = 0;
    if (skip_.line == line && skip_.rowStart == start && skip_.unit <= end && skip_.x <= target) {
        c = skip_.unit;
        d = skip_.x;
    }
    const int tab = std::max(TabPixels(), 1);
    while (c < end) {
        const int w = text[c] == L'\t' ? tab - d % tab : metrics_.CharWidth(text, c, n);
        if (d + w >= target) break;
        d += w;
        c += CharUnits(text, c, n);
    }
    skip_ = {line, start, c, d};
    *x = d;
    return c;
}

void View::PaintLineEnd(HDC dc, int x, int top, COLORREF back, bool last, bool folded, const RECT& rowRect) {
    const int half = extraSpacing_ / 2;
    if (last) {
        if (parts_[5]) {
            SetTextColor(dc, colors_[6]);
            ExtTextOutW(dc, x, top + half, 0, nullptr, L"[EOF]", 5, nullptr);
        }
        return;
    }
    const int w = metrics_.Width(L'0');
    RECT cell = {x, top, x + w, top + LineHeight()};
    FillSolid(dc, cell, back);
    if (parts_[4]) {
        CPenScope pen(dc, colors_[6]);
        const int s = (std::min(w, metrics_.Height()) + 3) / 4;
        const int b = top + half + Px(2);
        Stroke(dc, x + 2 * s - 1, b + s, x + 2 * s - 1, b + 4 * s);
        MoveToEx(dc, x + s - 1, b + 3 * s, nullptr);
        LineTo(dc, x + 2 * s - 1, b + 4 * s);
        LineTo(dc, x + 3 * s, b + 3 * s - 1);
    }
    if (folded) {
        SetTextColor(dc, colors_[10]);
        ExtTextOutW(dc, x + w, top, 0, nullptr, L"...", 3, nullptr);
        const int bottom = top + LineHeight();
        const int dot = std::max(Px(1), 1);
        for (int i = rowRect.left; i < rowRect.right; i += 2 * dot) {
            const RECT low = {i, bottom - dot, i + dot, bottom},
                       high = {i + dot, bottom - 2 * dot, i + 2 * dot, bottom - dot};
            FillSolid(dc, low, colors_[11]);
            FillSolid(dc, high, colors_[11]);
        }
    }
}

// Ruler ---------------------------------------------------------------------------

LRESULT CALLBACK View::RulerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (View* v = reinterpret_cast<View*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
            RECT rc;
            GetClientRect(hwnd, &rc);
            v->PaintRuler(dc, rc);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void View::SetRuler(bool on) {
    if (on == (ruler_ != nullptr)) return;
    if (on) {
        static ATOM cls = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = RulerProc;
            wc.hInstance = ThisModule();
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = L"MRPAD32Ruler";
            return RegisterClassW(&wc);
        }();
        ruler_ = CreateWindowExW(0, MAKEINTATOM(cls), L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd_, nullptr,
                                 ThisModule(), nullptr);
        if (ruler_) SetWindowLongPtrW(ruler_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    } else {
        DestroyWindow(ruler_);
        ruler_ = nullptr;
    }
}

void View::PaintRuler(HDC target, const RECT& rc) {
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0) return;
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bmp = CreateCompatibleBitmap(target, w, h);
    HGDIOBJ old = SelectObject(dc, bmp);
    FillSolid(dc, rc, colors_[68]);
    HGDIOBJ oldFont = SelectObject(dc, metrics_.Font() ? metrics_.Font() : GetStockObject(ANSI_FIXED_FONT));
    {
        CPenScope pen(dc, colors_[69]);
        SetTextColor(dc, colors_[69]);
        SetBkMode(dc, TRANSPARENT);
        Stroke(dc, 0, h - 1, w, h - 1);
        const int ave = metrics_.AveWidth();
        SetTextAlign(dc, TA_CENTER | TA_TOP);
        for (int i = hOffset_, x = textArea_.left; x < w; ++i, x += ave) {
            if (i % 10 == 0) {
                Stroke(dc, x, h - 1, x, h / 2);
                if (i) {
                    wchar_t num[12];
                    const int len = std::swprintf(num, 12, L"%d", i);
                    ExtTextOutW(dc, x, h / 10 - 2, 0, nullptr, num, UINT(len), nullptr);
                }
            } else {
                Stroke(dc, x, h - 1, x, i % 5 == 0 ? h - h / 3 - 2 : h - h / 3);
            }
        }
        SetTextAlign(dc, TA_LEFT | TA_TOP);
        const int col = caretRec_.x / ave;
        const int cx = textArea_.left + (col - hOffset_) * ave;
        SelectObject(dc, MarkFont());
        SetTextColor(dc, colors_[23]);
        ExtTextOutW(dc, cx - Px(6), h - Px(11), 0, nullptr, L"6", 1, nullptr);
    }
    SelectObject(dc, oldFont);
    BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
}
