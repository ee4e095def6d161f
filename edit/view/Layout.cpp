// Layout: wrapping lines into rows at the window edge, folding, and the
// mapping between document positions and visual rows and pixels.
//
// Rows have equal height. A line takes one row unless wrapping cut it; a line
// inside a collapsed fold (hidden depth > 0) takes none. Per-line layout data
// (wrap vectors, hidden depths) is kept exactly as long as the document's
// line array and follows every edit.
#include <algorithm>
#include <cwchar>

#include "View.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == 0x3000; }

// A row may end before unit i of t: after a blank, a hyphen or a closing
// punctuation mark, before a blank, or on either side of an ideograph.
bool MayBreakBefore(const wchar_t* t, int i) {
    if (i <= 0) return false;
    const wchar_t before = t[i - 1], at = t[i];
    if (at >= 0xDC00 && at <= 0xDFFF) return false;  // inside a surrogate pair
    if (IsBlank(before) || IsBlank(at)) return true;
    if (before != 0 && wcschr(L"-,.;:!?)]}/\\|&", before)) return true;
    return (before >= 0x2E80 && before < 0xD800) || (at >= 0x2E80 && at < 0xD800);
}

}  // namespace

int WinEdgeWrapper::WrapLine(int line) {
    WrapVector* v = view_.WrapOf(line);
    if (v) v->count = 0;
    TextDocument* doc = view_.Document();
    if (!doc) return 1;
    int n = 0;
    const wchar_t* t = doc->LineText(line, &n);
    FontMetrics& m = view_.Metrics();
    const int width = view_.WrapWidth();
    const int tab = std::max(view_.TabPixels(), 1);
    const bool words = view_.WrapsAtWords();
    int d = 0, rows = 0;
    int rowStart = 0, lastBreak = -1;  // where the row may end, past its start
    auto widthOf = [&](int i, int x) {
        const wchar_t c = t[i];
        return c == L'\t' ? tab - x % tab : m.CharWidth(t, i, n);
    };
    // A row never ends between the two units of a surrogate pair.
    for (int i = 0; i < n; i += CharUnits(t, i, n)) {
        const wchar_t c = t[i];
        if (c == L'\r' || c == L'\n') break;
        if (words && i > rowStart && MayBreakBefore(t, i)) lastBreak = i;
        const int w = widthOf(i, d);
        d += w;
        if (d >= width) {
            // At a word boundary when the row has one, else at the edge.
            const int at = words && lastBreak > rowStart ? lastBreak : i;
            if (!v) v = view_.NewWrapVector(line);
            v->Push(at);
            ++rows;
            rowStart = at;
            lastBreak = -1;
            d = 0;
            for (int k = at; k <= i; k += CharUnits(t, k, n)) {
                if (words && k > rowStart && MayBreakBefore(t, k)) lastBreak = k;
                d += widthOf(k, d);
            }
        }
    }
    if (rows == 0) return 1;
    v->Push(n);
    return rows + 1;
}

int View::WrapWidth() const { return std::max<int>(textArea_.right - textArea_.left, 40); }

WrapVector* View::WrapOf(int line) const {
    if (!wraps_ || line < 0 || line >= wraps_->Count()) return nullptr;
    return (*wraps_)[line];
}

int View::RowCount(int line) const {
    const WrapVector* v = WrapOf(line);
    return v && v->count > 1 ? v->count : 1;
}

int View::HiddenDepth(int line) const {
    return depths_ && line >= 0 && line < depths_->Count() ? (*depths_)[line] : 0;
}

bool View::Hidden(int line) const { return HiddenDepth(line) > 0; }

WrapVector* View::NewWrapVector(int line) {
    WrapVector*& v = (*wraps_)[line];
    if (!v) v = new WrapVector;
    return v;
}

// Wraps one line; a line that no longer wraps gives back a large vector.
static int Wrap(Wrapper* wrapper, GapBufferPointer<WrapVector>* wraps, int line) {
    const int rows = wrapper->WrapLine(line);
    WrapVector*& v = (*wraps)[line];
    if (rows <= 1 && v && v->capacity > 64) {
        delete v;
        v = nullptr;
    }
    return rows;
}

int View::CountVisibleRows() const {
    if (!doc_) return 0;
    const int n = doc_->LineCount();
    if (!wraps_ && !depths_) return n;
    int rows = 0;
    for (int i = 0; i < n; ++i)
        if (!Hidden(i)) rows += RowCount(i);
    return rows;
}

void View::RewrapAll() {
    if (!wrapper_ || !doc_) return;
    LayoutChangedFrom(0);
    const int n = doc_->LineCount();
    for (int i = 0; i < n; ++i) Wrap(wrapper_, wraps_, i);
    visibleRows_ = CountVisibleRows();
}

void View::SetWrapAtWords(bool on) {
    if (wrapWords_ == on) return;
    wrapWords_ = on;
    if (!wrapper_ || !doc_) return;
    SetWrap(false);
    SetWrap(true);
}

void View::SetWrap(bool on) {
    if (on == (wrapper_ != nullptr) || !doc_) return;
    LayoutChangedFrom(0);
    if (on) {
        wrapper_ = new WinEdgeWrapper(*this);
        const int n = doc_->LineCount();
        wraps_ = new GapBufferPointer<WrapVector>(std::max(n, 8));
        wraps_->InsertRepeated(0, nullptr, n);
        RewrapAll();
        ClampTopSubRow();
        hOffset_ = 0;
    } else {
        delete wrapper_;
        wrapper_ = nullptr;
        delete wraps_;
        wraps_ = nullptr;
        scroll_.topSubRow = 0;
        visibleRows_ = CountVisibleRows();
    }
    RecomputeTopRow();
    UpdateCaretRecord();
    Invalidate();
    UpdateScrollBars();
    PlaceCaret();
}

// Rows before a line, with wrapping or folding: a table of the rows before
// each block of kRowBlock lines, extended on demand and cut back to the
// block of the first line whose layout changed.
void View::LayoutChangedFrom(int line) const { blocksValid_ = std::min(blocksValid_, std::max(line, 0) / kRowBlock); }

int View::RowsInLines(int from, int to) const {
    int rows = 0;
    for (int i = from; i < to; ++i)
        if (!Hidden(i)) rows += RowCount(i);
    return rows;
}

// Makes blockStart_[0..k] valid (k no further than the blocks that exist).
void View::ExtendBlocks(int k) const {
    const int n = doc_->LineCount();
    if (blockStart_.size() < size_t(k) + 1) blockStart_.resize(size_t(k) + 1);
    blockStart_[0] = 0;
    while (blocksValid_ < k && blocksValid_ * kRowBlock < n) {
        const int first = blocksValid_ * kRowBlock;
        blockStart_[size_t(blocksValid_) + 1] =
            blockStart_[size_t(blocksValid_)] + RowsInLines(first, std::min(first + kRowBlock, n));
        ++blocksValid_;
    }
}

int View::RowOfLine(int line) const {
    if (!doc_) return 0;
    line = std::clamp(line, 0, doc_->LineCount() - 1);
    if (!wraps_ && !depths_) return line;
    const int k = line / kRowBlock;
    ExtendBlocks(k);
    return blockStart_[size_t(k)] + RowsInLines(k * kRowBlock, line);
}

// The line and sub-row shown at a global visual row (clamped to the text).
void View::LineOfRow(int row, int* line, int* subRow) const {
    *line = 0;
    *subRow = 0;
    if (!doc_) return;
    const int n = doc_->LineCount();
    if (!wraps_ && !depths_) {
        *line = std::clamp(row, 0, n - 1);
        return;
    }
    // The block holding the row: extend the table until it passes the row.
    const int blocks = (n + kRowBlock - 1) / kRowBlock;
    int k = 0;
    while (true) {
        ExtendBlocks(std::min(blocksValid_ + 64, blocks));
        if (blocksValid_ >= blocks || blockStart_[size_t(blocksValid_)] > row) break;
    }
    const int valid = std::min(blocksValid_, blocks);
    k = int(std::upper_bound(blockStart_.begin(), blockStart_.begin() + valid + 1, row) - blockStart_.begin()) - 1;
    k = std::clamp(k, 0, blocks - 1);
    int l = k * kRowBlock, r = blockStart_[size_t(k)];
    int lastVisible = -1;
    for (; l < n; ++l) {
        if (Hidden(l)) continue;
        lastVisible = l;
        const int rows = RowCount(l);
        if (row < r + rows) {
            *line = l;
            *subRow = std::max(row - r, 0);
            return;
        }
        r += rows;
    }
    if (lastVisible < 0) {  // nothing visible from this block on: the last visible line
        lastVisible = n - 1;
        while (lastVisible > 0 && Hidden(lastVisible)) --lastVisible;
    }
    *line = lastVisible;
    *subRow = RowCount(lastVisible) - 1;
}

// Tab-expanded width of [from, to) of a row that starts at `from`.
int View::RowX(const wchar_t* text, int from, int to) {
    const int tab = std::max(TabPixels(), 1);
    int x = 0;
    for (int i = from; i < to; i += CharUnits(text, i, to))
        x += text[i] == L'\t' ? tab - x % tab : metrics_.CharWidth(text, i, to);
    return x;
}

CaretPos View::Map(int line, int column) {
    CaretPos p{};
    if (!doc_) return p;
    line = std::clamp(line, 0, doc_->LineCount() - 1);
    int n = 0;
    const wchar_t* t = doc_->LineText(line, &n);
    column = std::clamp(column, 0, n);
    p.line = line;
    p.column = column;
    int rowStart = 0;
    if (const WrapVector* v = WrapOf(line); v && v->count > 1) {
        int k = 0;
        while (k < v->count - 1 && v->data[k] < column) ++k;
        p.subRow = k;
        rowStart = std::min(k > 0 ? v->data[k - 1] : 0, column);
    }
    // The row of the line itself comes after the text was read: walking rows
    // may read other lines through the shared scratch buffer.
    std::wstring copy(t + rowStart, size_t(column - rowStart));
    p.x = RowX(copy.c_str(), 0, int(copy.size()));
    p.row = RowOfLine(line) + p.subRow;
    p.prefX = p.x;
    return p;
}

Position View::HitTest(POINT pt, int* rowOut, int* subRowOut) {
    const int lh = std::max(LineHeight(), 1);
    const int dy = pt.y - textArea_.top;
    const int rowOffset = dy >= 0 ? dy / lh : -((-dy + lh - 1) / lh);
    int line = 0, sub = 0;
    LineOfRow(std::max(scroll_.topRow + rowOffset, 0), &line, &sub);
    if (rowOut) *rowOut = RowOfLine(line) + sub;
    if (subRowOut) *subRowOut = sub;
    const int x = pt.x - textArea_.left + hOffset_ * metrics_.AveWidth();
    return {line, ColumnAtX(line, sub, x)};
}

void View::RecomputeTopRow() {
    if (!doc_) return;
    scroll_.firstLine = std::clamp(scroll_.firstLine, 0, doc_->LineCount() - 1);
    const int sub = scroll_.topSubRow;
    // Count from the document start: the reference is what is being recomputed.
    scroll_.topRow = 0;
    scroll_.topSubRow = 0;
    const int first = scroll_.firstLine;
    scroll_.firstLine = 0;
    const int row = RowOfLine(first);
    scroll_.firstLine = first;
    scroll_.topSubRow = sub;
    scroll_.topRow = row + sub;
}

void View::ClampTopSubRow() {
    if (!doc_) return;
    scroll_.topSubRow = std::clamp(scroll_.topSubRow, 0, RowCount(scroll_.firstLine) - 1);
}

void View::SetFirstVisible(int line, int subRow) {
    if (!doc_ || line < 0 || line >= doc_->LineCount()) return;
    scroll_.firstLine = line;
    scroll_.topSubRow = subRow;
    ClampTopSubRow();
    RecomputeTopRow();
    UpdateCaretRecord();
    Invalidate();
    UpdateScrollBars();
    PlaceCaret();
}

// After anything that changes how wide text is or where rows end (font, tab
// width, code page): every line is cut into rows again, and the caret record
// and the system caret follow.
void View::Relayout(bool repaint) {
    skip_.line = -1;
    if (!doc_) return;
    if (wrapper_) {
        RewrapAll();
        ClampTopSubRow();
    }
    RecomputeTopRow();
    longestRow_ = 0;
    UpdateCaretRecord();
    if (repaint) Invalidate();
    UpdateScrollBars();
    PlaceCaret();
}

void View::Reinterpreted() {
    ClearSelection();
    Relayout();
    MoveCaret(caret_);  // clamped: lines may have become shorter
}

void View::UpdateCaretRecord() {
    if (!doc_) return;
    const int pref = caretRec_.prefX;
    const bool keepPref = caretRec_.line == caret_.line && caretRec_.column == caret_.column;
    caretRec_ = Map(caret_.line, caret_.column);
    if (keepPref) caretRec_.prefX = pref;
}

void View::InvalidateLines(int line, bool toEnd) {
    if (!hwnd_ || invalidAll_ || !doc_) return;
    if (Hidden(line) || line < scroll_.firstLine) {
        Invalidate();
        return;
    }
    RECT client;
    GetClientRect(hwnd_, &client);
    const long long lh = LineHeight();
    const long long y = textArea_.top + (RowOfLine(line) - scroll_.topRow) * lh;
    if (y >= client.bottom) return;
    RECT rc = {client.left, LONG(std::max<long long>(y, textArea_.top)), client.right,
               toEnd ? client.bottom : LONG(std::min<long long>(y + RowCount(line) * lh, client.bottom))};
    InvalidateRect(hwnd_, &rc, FALSE);
    paintPending_ = true;
}

void View::InvalidateCaretRows(const CaretPos& before) {
    if (!hwnd_ || invalidAll_) return;
    const int lh = LineHeight();
    RECT client;
    GetClientRect(hwnd_, &client);
    for (int row : {before.row, caretRec_.row}) {
        const long long y = textArea_.top + (long long)(row - scroll_.topRow) * lh;
        if (y + lh <= client.top || y >= client.bottom) continue;
        RECT rc = {client.left, LONG(y), client.right, LONG(y + lh)};
        InvalidateRect(hwnd_, &rc, FALSE);
        paintPending_ = true;
    }
}

// Folding ---------------------------------------------------------------------

void View::EnsureDepths() {
    if (depths_ || !doc_) return;
    const int n = doc_->LineCount();
    depths_ = new ViewLines(std::max(n, 8));
    depths_->InsertRepeated(0, 0, n);
}

int View::FoldHeaderOf(int line) const {
    if (!doc_) return 0;
    line = std::clamp(line, 0, doc_->LineCount() - 1);
    const int a = doc_->GetAttr(line, LA_FOLDLEVEL);
    if (a > 0) {
        for (int i = line - 1; i >= 0; --i)
            if ((i == 0 ? 0 : doc_->GetAttr(i, LA_FOLDLEVEL)) < a) return i;
        return 0;
    }
    while (line > 0 && Hidden(line)) --line;
    return line;
}

bool View::Collapse(int h) {
    if (!doc_ || h < 0 || h >= doc_->LineCount() || Hidden(h)) return false;
    const int b = h == 0 ? 0 : doc_->GetAttr(h, LA_FOLDLEVEL);
    const int n = doc_->LineCount();
    int e = h + 1;
    while (e < n && doc_->GetAttr(e, LA_FOLDLEVEL) > b) ++e;
    if (e == h + 1) return false;
    EnsureDepths();
    LayoutChangedFrom(h);
    for (int i = h + 1; i < e; ++i) {
        unsigned char& d = (*depths_)[i];
        if (d == 0) visibleRows_ -= RowCount(i);
        if (d < 15) ++d;
    }
    AfterFoldChange(h);
    return true;
}

bool View::Expand(int h) {
    if (!doc_ || h < 0 || h + 1 >= doc_->LineCount() || Hidden(h) || !Hidden(h + 1)) return false;
    const int n = doc_->LineCount();
    int end = h + 1;
    while (end < n && Hidden(end)) ++end;
    end = std::min(end, n - 1);
    LayoutChangedFrom(h);
    for (int i = h + 1; i <= end; ++i) {
        unsigned char& d = (*depths_)[i];
        if (d == 1) visibleRows_ += RowCount(i);
        if (d > 0) --d;
    }
    AfterFoldChange(h);
    return true;
}

void View::AfterFoldChange(int h) {
    if (!ranges_.empty()) ClearSelection();
    if (h < scroll_.firstLine) {
        scroll_.firstLine = h;
        scroll_.topSubRow = 0;
    }
    RecomputeTopRow();
    UpdateCaretRecord();
    Invalidate();
    UpdateScrollBars();
    MoveCaret({h, 0});
    ScrollCaretIntoView();
}

void View::SetFoldMode(int mode) {
    if (!doc_) return;
    foldMode_ = mode;
    LayoutChangedFrom(0);
    const int n = doc_->LineCount();
    for (int i = 0; i < n; ++i) doc_->LineAt(i).SetAttr(LA_FOLDLEVEL, 0);
    if (depths_) {
        delete depths_;
        depths_ = nullptr;
        visibleRows_ = CountVisibleRows();
        RecomputeTopRow();
    }
    if (mode == 1) doc_->foldsValidFrom = 0;
    LayoutMargins();
    Invalidate();
    // The pass starts over for the fold pass method, whatever ran before:
    // hosts set the method again after every lexer change.
    if (foldTimer_) {
        KillTimer(hwnd_, 3);
        foldTimer_ = false;
    }
    if (mode == 1) foldTimer_ = SetTimer(hwnd_, 3, 80, nullptr) != 0;
}

void View::FoldTimerTick() {
    if (!doc_ || !doc_->lexer || (foldMode_ != 1 && foldMode_ != 2)) {
        KillTimer(hwnd_, 3);
        foldTimer_ = false;
        return;
    }
    if (foldMode_ == 1 && doc_->ComputeFolds(201) >= doc_->LineCount()) {
        KillTimer(hwnd_, 3);
        foldTimer_ = false;
    }
    // The levels are the document's: every view of it shows them (a pane
    // split off shares the document and runs the pass for both).
    for (DocView* v : std::vector<DocView*>(doc_->views))
        if (View* view = dynamic_cast<View*>(v)) view->InvalidateFoldMargin();
}

void View::InvalidateFoldMargin() {
    if (!hwnd_ || !renderers_[1] || !renderers_[1]->enabled) return;
    RECT rc;
    GetClientRect(hwnd_, &rc);
    rc.left = renderers_[1]->left;
    rc.right = renderers_[1]->right;
    InvalidateRect(hwnd_, &rc, FALSE);
    paintPending_ = true;
}

// Edits --------------------------------------------------------------------------

void View::TextChanged(Position s, Position e0, Position e1, bool statesChanged) {
    const CaretPos before = caretRec_;
    skip_.line = -1;
    LayoutChangedFrom(s.line);
    const int rowsBefore = RowCount(s.line);
    if (wrapper_ && wraps_ && s.line < wraps_->Count()) {
        const int old = RowCount(s.line);
        const int rows = Wrap(wrapper_, wraps_, s.line);
        if (!Hidden(s.line)) visibleRows_ += rows - old;
    }
    if (foldMode_ == 1 && !foldTimer_ && hwnd_) foldTimer_ = SetTimer(hwnd_, 3, 80, nullptr) != 0;
    if (e0.line > s.line) {
        const int removed = e0.line - s.line;
        for (int i = s.line + 1; i <= e0.line; ++i)
            if (!Hidden(i)) visibleRows_ -= RowCount(i);
        if (wraps_) wraps_->Erase(s.line + 1, removed);
        if (depths_) depths_->Erase(s.line + 1, removed);
        if (scroll_.firstLine > e0.line) scroll_.firstLine -= removed;
        else if (scroll_.firstLine > s.line) scroll_.firstLine = s.line, scroll_.topSubRow = 0;
    }
    if (e1.line > s.line) {
        const int added = e1.line - s.line;
        if (wraps_) wraps_->InsertRepeated(s.line + 1, nullptr, added);
        if (depths_) depths_->InsertRepeated(s.line + 1, 0, added);
        visibleRows_ += added;
        if (scroll_.firstLine > s.line) scroll_.firstLine += added;
        if (wrapper_)
            for (int i = s.line + 1; i <= e1.line; ++i) visibleRows_ += Wrap(wrapper_, wraps_, i) - 1;
    }
    if (scroll_.firstLine >= e1.line || e0.line != e1.line) ClampTopSubRow();
    if (e0.line != e1.line || wrapper_ || depths_) RecomputeTopRow();
    if (Hidden(s.line)) Expand(FoldHeaderOf(s.line));
    const Position newCaret = AdjustPosition(caret_, s, e0, e1);
    for (SelRange& r : ranges_) {
        r.start = AdjustPosition(r.start, s, e0, e1);
        r.end = AdjustPosition(r.end, s, e0, e1);
    }
    ranges_.erase(std::remove_if(ranges_.begin(), ranges_.end(),
                                 [](const SelRange& r) { return r.start == r.end; }),
                  ranges_.end());
    if (ranges_.size() < 2) column_ = false;
    // The number column is as wide as the line count's digits.
    if (e0.line != e1.line && renderers_[0]->enabled &&
        DigitsFor(doc_->LineCount() - (e1.line - e0.line)) != LineNumberDigits())
        LayoutMargins();
    UpdateCaretRecord();
    // Repaint what changed: one line for an edit within a line that kept its
    // rows and its lexer state, else everything from the edit down.
    const bool oneLine = e0.line == s.line && e1.line == s.line && !statesChanged;
    InvalidateLines(s.line, !oneLine || RowCount(s.line) != rowsBefore);
    UpdateScrollBars();
    TextChangedNotify nm = {};
    nm.start = s;
    nm.oldEnd = e0;
    nm.newEnd = e1;
    Notify(nm.hdr, EN_MP_TEXTCHANGED);
    MoveCaret(newCaret);
    if (before.row != caretRec_.row) InvalidateCaretRows(before);
}

// The wrapper says whether wrapping is on; the wrap table belongs to the
// document shown and is made again for a new or reloaded one.
void View::ResetLayout() {
    LayoutChangedFrom(0);
    skip_.line = -1;
    delete depths_;
    depths_ = nullptr;
    delete wraps_;
    wraps_ = nullptr;
    if (wrapper_ && doc_) {
        const int n = doc_->LineCount();
        wraps_ = new GapBufferPointer<WrapVector>(std::max(n, 8));
        wraps_->InsertRepeated(0, nullptr, n);
        RewrapAll();
    }
    scroll_ = ScrollPos{};
    hOffset_ = 0;
    visibleRows_ = CountVisibleRows();
    caretRec_ = CaretPos{};
    prevCaretRec_ = caretRec_;
}
