#include "View.h"

#include <algorithm>
#include <cstring>

#include "Commands.h"

namespace {
// Word delimiters besides space and tab.
const wchar_t kDelimiters[] = L" \t!\"#$%&'()=~|-^\\{[`@}]*:+;?/>.<,";
}  // namespace

Position AdjustPosition(Position p, Position s, Position e0, Position e1) {
    if (Compare(p, s) < 0) return p;
    if (Compare(p, e0) < 0 && !(s == e0)) return s;
    if (p.line == e0.line) return {e1.line, e1.column + (p.column - e0.column)};
    return {p.line + (e1.line - e0.line), p.column};
}

void FillDefaultColors(COLORREF* t) {
    for (int i = 0; i < COLOR_TABLE_ENTRIES; ++i) t[i] = 0xFFFFFA;
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    t[1] = text;
    t[2] = 0xF5F5F5;
    t[3] = GetSysColor(COLOR_HIGHLIGHT);
    t[4] = GetSysColor(COLOR_HIGHLIGHTTEXT);
    t[6] = 0xC0C0C0;
    t[8] = 0x808000;
    t[9] = text;
    t[10] = 0x000000;
    t[11] = 0x808000;
    t[12] = 0xFFFF80;
    t[21] = 0x0000FF;
    t[22] = 0x00A5FF;
    t[23] = 0xC00000;
    t[24] = 0xC0C0C0;
    t[34] = 0x0000FF;
    const COLORREF classBack[] = {0x80FFFF, 0xFF0000, 0x808000, 0x800080};
    for (int i = 0; i < 4; ++i) t[40 + i] = classBack[i];
    const COLORREF classText[] = {0x008000, 0x808080, 0xFF00FF, 0xFF00FF, 0xC00000,
                                  0x0000FF, 0xFFFF00, 0x808000, 0x0000FF, 0xFFFFFF,
                                  0xFFFFFA, 0xFF0000, 0x808000, 0x800080, 0x008080};
    for (int k = 1; k <= 15; ++k) t[43 + k] = classText[k - 1];
    t[59] = 0x000000;
    t[63] = 0xFFFFFF;
    t[64] = 0x000000;
    t[65] = 0xFF0000;
    t[68] = 0xC0C0C0;
    t[69] = 0x000000;
}

View::View(HWND hwnd) : hwnd_(hwnd), colors_(ownColors_) {
    FillDefaultColors(ownColors_);
    delimiters_.assign(kDelimiters, kDelimiters + wcslen(kDelimiters));
    std::sort(delimiters_.begin(), delimiters_.end());
    for (int i = 0; i < 4; ++i) renderers_[i] = MakeRenderer(i);
    metrics_.Select(static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT)));
    created_ = new TextDocument;
    AttachDocument(created_, true);
}

View::~View() {
    if (dropTarget_) dropTarget_->Release();
    if (ruler_) DestroyWindow(ruler_);
    FreePaintBitmap();
    delete styleStore_;
    DetachDocument();
    delete wrapper_;
    delete wraps_;
    delete depths_;
    for (LineRender* r : renderers_) delete r;
}

LRESULT View::OnCreate(const CREATESTRUCTW*) {
    parent_ = GetParent(hwnd_);
    ctrlId_ = GetDlgCtrlID(hwnd_);
    [[maybe_unused]] static const UINT columnFormat = RegisterClipboardFormatW(L"MSDEVColumnSelect");
    static const HACCEL accel = LoadAcceleratorsW(ThisModule(), MAKEINTRESOURCEW(130));
    accel_ = accel;
    dropTarget_ = CreateDropTarget(hwnd_, *this);
    RegisterDragDrop(hwnd_, dropTarget_);
    dpi_ = WindowDpi();
    LayoutMargins();
    return 0;
}

void View::AttachDocument(TextDocument* doc, bool owned) {
    doc_ = doc;
    ownsDoc_ = owned;
    doc_->AddView(this);
    caret_ = {0, 0};
    ranges_.clear();
    column_ = false;
    ResetLayout();
    if (hwnd_ && renderers_[0]) LayoutMargins();
    if (hwnd_) {
        UpdateCaretRecord();
        UpdateScrollBars();
        LexerChanged();
    }
}

void View::DetachDocument() {
    if (!doc_) return;
    TextDocument* doc = doc_;
    doc->RemoveView(this);
    doc_ = nullptr;
    if (doc == created_) created_ = nullptr;
    if (ownsDoc_) {
        ownsDoc_ = false;
        doc->NotifyClosing();
        delete doc;
    }
}

LRESULT View::ShareDocument(TextDocument* doc) {
    if (!doc) {
        ownsDoc_ = false;
        return reinterpret_cast<LRESULT>(doc_);
    }
    // Handed its own document back, the view owns it again.
    if (doc == doc_ && doc == created_) ownsDoc_ = true;
    if (doc == doc_ || !TextDocument::IsLive(doc)) return reinterpret_cast<LRESULT>(doc_);
    DetachDocument();
    AttachDocument(doc, false);
    Invalidate();
    return reinterpret_cast<LRESULT>(doc_);
}

void View::CloseDocument() {
    if (!doc_) return;
    TextDocument* doc = doc_;
    doc->NotifyClosing();  // every view, this one included, lets go of it
    delete doc;
}

// DocView ------------------------------------------------------------------

void View::Reloaded() {
    ranges_.clear();
    column_ = false;
    MoveCaret({0, 0});
    ResetLayout();
    if (hwnd_) SendMessageW(hwnd_, WM_SIZE, 0, 0);
    Invalidate();
    LexerChanged();  // fold levels were reset with the text
}

void View::AttributesChanged() { Invalidate(); }

void View::RepaintLines(int, int) { Invalidate(); }

// Folding by the lexer: a lexer set while the fold pass is the folding
// method starts the pass.
void View::LexerChanged() {
    if (foldMode_ == 1 && !foldTimer_ && doc_ && doc_->lexer && hwnd_)
        foldTimer_ = SetTimer(hwnd_, 3, 80, nullptr) != 0;
}

void View::DocumentClosing() {
    if (doc_ == created_) created_ = nullptr;
    EndDrag();
    if (GetCapture() == hwnd_) ReleaseCapture();
    doc_ = nullptr;
    pendingHigh_ = 0;
    longestRow_ = 0;
    std::fill(braces_, braces_ + 4, -1);
    ownsDoc_ = false;
    ranges_.clear();
    column_ = false;
    caret_ = {0, 0};
    delete wraps_;
    wraps_ = nullptr;
    delete depths_;
    depths_ = nullptr;
    LayoutChangedFrom(0);
    scroll_ = ScrollPos{};
    caretRec_ = prevCaretRec_ = CaretPos{};
    hOffset_ = 0;
    visibleRows_ = 0;
    Invalidate();
}

// Invalidating is a round trip to the window system: once the whole window
// is invalid, further changes before the next WM_PAINT need not say so again.
void View::Invalidate() {
    if (hwnd_ && !invalidAll_) {
        InvalidateRect(hwnd_, nullptr, FALSE);
        invalidAll_ = true;
        paintPending_ = true;
    }
}

void View::RefuseReadOnly() {
    MessageBeep(MB_OK);
    NMHDR hdr = {};
    Notify(hdr, EN_MP_READONLY);
}

bool ToldProgress::Tick(int done, int total) {
    told_ = true;
    return view_.NotifyProgress(done, total, kind_) == 0;
}

void ToldProgress::End() {
    if (told_) view_.NotifyProgress(-1, 0, kind_);
    told_ = false;
}

LRESULT View::NotifyProgress(int done, int total, int kind) {
    if (!parent_) return 0;
    ProgressNotify n = {};
    n.hdr.hwndFrom = hwnd_;
    n.hdr.idFrom = UINT_PTR(ctrlId_);
    n.hdr.code = EN_MP_PROGRESS;
    n.done = done;
    n.total = total;
    n.kind = kind;
    return SendMessageW(parent_, WM_NOTIFY, WPARAM(ctrlId_), reinterpret_cast<LPARAM>(&n));
}

void View::Notify(NMHDR& hdr, UINT code) {
    if (!parent_) return;
    hdr.hwndFrom = hwnd_;
    hdr.idFrom = UINT_PTR(ctrlId_);
    hdr.code = code;
    SendMessageW(parent_, WM_NOTIFY, WPARAM(ctrlId_), reinterpret_cast<LPARAM>(&hdr));
}

// Caret and selection ---------------------------------------------------------

void View::MoveCaret(Position p, bool keepPrefX) {
    if (doc_) p = doc_->Clamp(p);
    if (p == caret_) {
        PlaceCaret();
        return;
    }
    CaretMovedNotify nm = {};
    nm.oldCaret = caret_;
    nm.newCaret = p;
    const int pref = caretRec_.prefX;
    caret_ = p;
    prevCaretRec_ = caretRec_;
    UpdateCaretRecord();
    if (keepPrefX) caretRec_.prefX = pref;
    if (prevCaretRec_.row != caretRec_.row) InvalidateCaretRows(prevCaretRec_);
    ReshapeCaret();
    PlaceCaret();
    MatchBraces();
    if (ruler_) InvalidateRect(ruler_, nullptr, FALSE);
    Notify(nm.hdr, EN_MP_CARETMOVED);
}

void View::ClearSelection() {
    if (!ranges_.empty()) Invalidate();
    ranges_.clear();
    column_ = false;
}

void View::SelectRange(Position anchor, Position caret) {
    anchor = doc_->Clamp(anchor);
    caret = doc_->Clamp(caret);
    ClearSelection();
    if (!(anchor == caret)) {
        ranges_.push_back(Compare(anchor, caret) < 0 ? SelRange{anchor, caret} : SelRange{caret, anchor});
        Invalidate();
    }
    MoveCaret(caret);
}

// The selection as movable global memory: ranges in order, each followed by
// one LF, plus one LF for every line skipped between ranges; the last LF
// becomes the terminator.
HGLOBAL View::SelectionBlock() {
    if (!doc_ || ranges_.empty()) return nullptr;
    size_t total = 0;
    for (size_t i = 0; i < ranges_.size(); ++i) {
        total += size_t(doc_->RangeLength(ranges_[i].start, ranges_[i].end, 0)) + 1;
        if (i > 0) total += size_t(std::max(0, ranges_[i].start.line - ranges_[i - 1].end.line - 1));
    }
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (total + 1) * sizeof(wchar_t));
    if (!mem) return nullptr;
    wchar_t* out = static_cast<wchar_t*>(GlobalLock(mem));
    size_t n = 0;
    for (size_t i = 0; i < ranges_.size(); ++i) {
        if (i > 0)
            for (int k = ranges_[i - 1].end.line + 1; k < ranges_[i].start.line; ++k) out[n++] = L'\n';
        n += size_t(doc_->CopyRange(ranges_[i].start, ranges_[i].end, 0, out + n));
        out[n++] = L'\n';
    }
    out[n - 1] = 0;
    GlobalUnlock(mem);
    return mem;
}

bool View::IsDelimiter(wchar_t c) const {
    return std::binary_search(delimiters_.begin(), delimiters_.end(), c);
}

// Word right: over the run of units of the class (delimiter or not) of the
// unit at p; at a line end to the start of the next line.
Position View::WordRight(Position p) {
    int n = 0;
    const wchar_t* t = doc_->LineText(p.line, &n);
    if (p.column >= n) return p.line + 1 < doc_->LineCount() ? Position{p.line + 1, 0} : p;
    const bool delim = IsDelimiter(t[p.column]);
    int c = p.column;
    while (c < n && IsDelimiter(t[c]) == delim) ++c;
    return {p.line, c};
}

// Word left: the mirror, using the unit before p; at column 0 to the end of
// the line above.
Position View::WordLeft(Position p) {
    if (p.column == 0) return p.line > 0 ? Position{p.line - 1, doc_->LineLength(p.line - 1)} : p;
    int n = 0;
    const wchar_t* t = doc_->LineText(p.line, &n);
    int c = std::min(p.column, n);
    if (c == 0) return {p.line, 0};
    const bool delim = IsDelimiter(t[c - 1]);
    while (c > 0 && IsDelimiter(t[c - 1]) == delim) --c;
    return {p.line, c};
}

HGLOBAL View::WordAtCaret() {
    if (!doc_) return nullptr;
    const Position end = WordRight(caret_);
    const Position start = WordLeft(end);
    if (start.line != end.line || start.column >= end.column) return nullptr;
    int n = 0;
    const wchar_t* t = doc_->LineText(end.line, &n);
    const size_t len = size_t(end.column - start.column);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (len + 1) * sizeof(wchar_t));
    if (!mem) return nullptr;
    wchar_t* out = static_cast<wchar_t*>(GlobalLock(mem));
    std::memcpy(out, t + start.column, len * sizeof(wchar_t));
    out[len] = 0;
    GlobalUnlock(mem);
    return mem;
}

// Undo and redo. A group of ten or more commands is replayed with redrawing
// off and repainted once.
void View::UndoRedo(bool redo) {
    if (!doc_) return;
    if (doc_->readOnly && !(redo ? doc_->redo : doc_->undo).Empty()) {
        RefuseReadOnly();
        return;
    }
    const bool big = TopGroupSize(redo ? doc_->redo : doc_->undo) >= 10;
    if (big) SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    ClearSelection();
    // The parent hears how far a large group is, and may stop it.
    ToldProgress progress(*this, 0);
    if (redo) Redo(*doc_, &progress);
    else Undo(*doc_, &progress);
    progress.End();
    if (big) {
        SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
        ScrollCaretIntoView();
    }
}

bool View::OnCommand(int id) {
    if (!doc_) return false;
    if (id >= ECMD_LEFT && id <= ECMD_SEL_WORDLEFT) {
        DoMove(id);
        return true;
    }
    switch (id) {
        case ECMD_SELECTALL: {
            const Position end = doc_->End();
            ExtendTo({0, 0}, end);
            Invalidate();
            MoveCaret(end);
            ScrollCaretIntoView();
            return true;
        }
        case ECMD_BACKSPACE: Backspace(false); return true;
        case ECMD_DELETE: Backspace(true); return true;
        case ECMD_DELWORDLEFT: DeleteWord(false); return true;
        case ECMD_DELWORDRIGHT: DeleteWord(true); return true;
        case ECMD_DELETELINE: DeleteLine(); return true;
        case ECMD_UNDO: UndoRedo(false); return true;
        case ECMD_REDO: UndoRedo(true); return true;
        case ECMD_COPY: Copy(); return true;
        case ECMD_PASTE: Paste(false); return true;
        case ECMD_PASTEINDENT: Paste(true); return true;
        case ECMD_CUT:
            if (Copy()) {
                if (doc_->readOnly) {
                    RefuseReadOnly();
                    return true;
                }
                undo_group::Scope group;
                DeleteSelection();
            }
            return true;
        case ECMD_OVERWRITE:
            inputMode_ = 1 - inputMode_;
            ReshapeCaret();
            return true;
        case ECMD_SCROLLUP: ScrollToRow(scroll_.topRow - 1); return true;
        case ECMD_SCROLLDOWN: ScrollToRow(scroll_.topRow + 1); return true;
        case ECMD_MIDDLELINE: {
            const POINT pt = {textArea_.left, (textArea_.top + textArea_.bottom) / 2};
            ClearSelection();
            MoveCaret({HitTest(pt, nullptr, nullptr).line, 0});
            return true;
        }
        case ECMD_TOGGLEBOOKMARK:
            doc_->SetAttr(caret_.line, LA_BOOKMARK, !doc_->GetAttr(caret_.line, LA_BOOKMARK));
            return true;
        case ECMD_NEXTBOOKMARK: NextBookmark(true); return true;
        case ECMD_PREVBOOKMARK: NextBookmark(false); return true;
        case ECMD_CLEARBOOKMARKS:
            for (int i = 0; i < doc_->LineCount(); ++i) doc_->LineAt(i).SetAttr(LA_BOOKMARK, 0);
            doc_->NotifyAttributesChanged();
            return true;
        case ECMD_NEWLINEBELOW:
            DoMove(ECMD_END);
            LineBreak();
            return true;
        case ECMD_NEWLINEABOVE:
            DoMove(ECMD_HOME);
            DoMove(ECMD_HOME);
            if (caret_.column != 0) DoMove(ECMD_HOME);
            LineBreak();
            DoMove(ECMD_UP);
            return true;
        case ECMD_SELECTWORD: SelectWord(); return true;
        case ECMD_INDENT: Indent(); return true;
        case ECMD_UNINDENT: Unindent(); return true;
        case ECMD_MOVELINEUP: MoveLine(false); return true;
        case ECMD_MOVELINEDOWN: MoveLine(true); return true;
        case ECMD_DUPLICATELINE: DuplicateLine(); return true;
        case ECMD_SELLINESUP: SelectLines(false); return true;
        case ECMD_SELLINESDOWN: SelectLines(true); return true;
        case ECMD_UPPERCASE: ChangeCase(true); return true;
        case ECMD_LOWERCASE: ChangeCase(false); return true;
        case ECMD_CENTERCARET: ScrollToRow(caretRec_.row - RowsPerPage() / 2); return true;
        case ECMD_GOTOBRACE: GotoBrace(false); return true;
        case ECMD_SELECTTOBRACE: GotoBrace(true); return true;
        case ECMD_TRIMLEADING: TrimBlanks(true); return true;
        case ECMD_TRIMTRAILING: TrimBlanks(false); return true;
        case ECMD_CLEARSELECTION: ClearSelection(); return true;
        case ECMD_LINEBREAK: LineBreak(); return true;
        case ECMD_COPYLINE: {
            const std::vector<SelRange> saved = ranges_;
            const bool col = column_;
            ranges_ = {{{caret_.line, 0}, {caret_.line, doc_->LineLength(caret_.line)}}};
            column_ = false;
            if (doc_->LineLength(caret_.line) > 0) Copy();
            ranges_ = saved;
            column_ = col;
            return true;
        }
        case ECMD_TABSTOSPACES: TabsToSpaces(); return true;
        case ECMD_SPACESTOTABS: SpacesToTabs(); return true;
        case ECMD_COLLAPSEFOLD: Collapse(FoldHeaderOf(caret_.line)); return true;
        case ECMD_EXPANDFOLD: Expand(caret_.line); return true;
        case ECMD_FOLDSELECTION:
            // Fold mode 3: hide the lines below the first line of a single
            // multi-line selection, up to its last line.
            if (foldMode_ == 3 && ranges_.size() == 1 && ranges_[0].end.line > ranges_[0].start.line) {
                const int first = ranges_[0].start.line, last = ranges_[0].end.line;
                EnsureDepths();
                LayoutChangedFrom(first);
                for (int i = first + 1; i <= last; ++i) {
                    unsigned char& d = (*depths_)[i];
                    if (d == 0) visibleRows_ -= RowCount(i);
                    if (d < 15) ++d;
                }
                AfterFoldChange(first);
            }
            return true;
        default: return false;
    }
}

// Character style store -------------------------------------------------------

void View::CreateStyleStore() {
    const int lines = doc_ ? doc_->LineCount() : 1;
    styleStore_ = new GapBufferPointer<LineStyleT>(std::max(lines, 8));
    styleStore_->InsertRepeated(0, nullptr, lines);
}

// Lines beyond the store (added after it was made) are left alone.
void View::SetStyles(const StyleRangeArg& a) {
    if (!styleStore_ || !doc_) return;
    Position s = doc_->Clamp({a.startLine, a.startColumn});
    Position e = doc_->Clamp({a.endLine, a.endColumn});
    if (Compare(e, s) < 0) std::swap(s, e);
    const int last = std::min(e.line, styleStore_->Count() - 1);
    for (int line = s.line; line <= last; ++line) {
        const int from = line == s.line ? s.column : 0;
        const int to = line == e.line ? e.column : doc_->LineLength(line);
        if (from >= to) continue;
        LineStyleT*& st = (*styleStore_)[line];
        if (!st) st = new LineStyleT;
        for (int c = from; c < to; ++c) st->Set(c, static_cast<unsigned char>(a.style));
    }
}
