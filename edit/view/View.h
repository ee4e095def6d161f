// One edit-control window: what it shows of a document (owned, or shared with
// other views), its caret and selection, its highlighters, colour table and
// character style store. The window procedure forwards every message to
// View::Message, which sorts them into families.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <climits>
#include <string>
#include <vector>

#include "Commands.h"
#include "DocView.h"
#include "EditProtocol.h"
#include "FontMetrics.h"
#include "GapBuffer.h"
#include "Line.h"
#include "LiteVector.h"
#include "TextDocument.h"

#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

struct SelRange {
    Position start;  // start <= end
    Position end;
};

// Position order: negative, zero or positive as a is before, at or after b.
inline int Compare(Position a, Position b) {
    return a.line != b.line ? (a.line < b.line ? -1 : 1)
         : a.column != b.column ? (a.column < b.column ? -1 : 1) : 0;
}

// A visual position: the caret record, also used for every mapped position.
struct CaretPos {
    int line;
    int column;
    int row;      // global visual row
    int subRow;   // row within the line
    int x;        // pixels from the start of the row's text, tabs expanded
    int prefX;    // the x that vertical moves try to keep
};

// What the window shows from the top.
struct ScrollPos {
    int firstLine;
    int column;   // always 0
    int topRow;   // global visual row at the top of the window
    int topSubRow;
    int spare1;
    int spare2;
};

using WrapVector = LiteVectorT<int>;

// Hidden depth per line: 0 visible, n > 0 inside n collapsed folds (at most 15).
class ViewLines final : public GapBufferT<unsigned char> {
public:
    using GapBufferT<unsigned char>::GapBufferT;
};

class View;
class Command;

// Cuts lines into rows; its presence is what it means for wrapping to be on.
class Wrapper {
public:
    virtual ~Wrapper() = default;
    // Recomputes line L's wrap vector and returns its row count (at least 1).
    virtual int WrapLine(int line) = 0;
};

class WinEdgeWrapper final : public Wrapper {
public:
    explicit WinEdgeWrapper(View& view) : view_(view) {}
    int WrapLine(int line) override;

private:
    View& view_;
};

// Margin renderers, drawn in this order: line numbers, fold margin,
// edit-state strip, left margin.
class LineRender {
public:
    virtual ~LineRender() = default;
    virtual HCURSOR Cursor() const { return LoadCursorW(nullptr, IDC_ARROW); }
    virtual void DrawLine(HDC dc, int line, const RECT& rc, const RECT& update, View& view);
    virtual void FillBelow(HDC dc, int y, const RECT& update, View& view);
    int left = 0, right = 0;
    bool enabled = true;
};

// Where position p ends up after [s, e0) was replaced by [s, e1).
Position AdjustPosition(Position p, Position s, Position e0, Position e1);

class View;
// A long run of commands told to the view's parent (EN_MP_PROGRESS of
// `kind`), which may stop it; End tells that it ended, when anything was told.
class ToldProgress final : public ReplayProgress {
public:
    ToldProgress(View& view, int kind) : view_(view), kind_(kind) {}
    bool Tick(int done, int total) override;
    void End();

private:
    View& view_;
    int kind_;
    bool told_ = false;
};

class View final : public DocView {
public:
    explicit View(HWND hwnd);
    ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // The message map: sets `handled` when the message belongs to the control.
    LRESULT Message(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    LRESULT OnCreate(const CREATESTRUCTW* cs);

    // DocView
    void TextChanged(Position start, Position oldEnd, Position newEnd, bool statesChanged) override;
    void Reloaded() override;
    void AttributesChanged() override;
    void RepaintLines(int first, int last) override;
    void DocumentClosing() override;

    TextDocument* Document() const { return doc_; }
    // The document's lines were read anew in another code page: lengths and
    // rows changed, the selection goes.
    void Reinterpreted();

    // Layout, for the wrapper, the renderers and the painter.
    FontMetrics& Metrics() { return metrics_; }
    int LineHeight() const { return metrics_.Height() + extraSpacing_; }
    int ExtraSpacing() const { return extraSpacing_; }
    int TabPixels() { return metrics_.Width(L' ') * tabWidth_; }
    // EN_MP_PROGRESS to the parent; its answer (non-zero: stop).
    LRESULT NotifyProgress(int done, int total, int kind);
    bool WrapsAtWords() const { return wrapWords_; }
    int WrapWidth() const;
    int RowCount(int line) const;
    WrapVector* WrapOf(int line) const;
    WrapVector* NewWrapVector(int line);
    bool Hidden(int line) const;
    int HiddenDepth(int line) const;
    int FoldMode() const { return foldMode_; }
    const CaretPos& Caret() const { return caretRec_; }
    const std::vector<SelRange>& Ranges() const { return ranges_; }
    COLORREF Color(int entry) const { return colors_[entry]; }
    int LineNumberDigits() const;
    HFONT MarkFont();
    // A pixel size written for 96 dpi at the control's resolution.
    int Px(int pixels) const { return MulDiv(pixels, dpi_, 96); }

private:
    // Layout (wrapping, folding, mapping).
    void ResetLayout();
    void SetWrap(bool on);
    // Rows end at word boundaries where a row has one (else at the edge).
    void SetWrapAtWords(bool on);
    void RewrapAll();
    void Relayout(bool repaint = true);
    int CountVisibleRows() const;
    void LayoutChangedFrom(int line) const;
    int RowsInLines(int from, int to) const;
    void ExtendBlocks(int k) const;
    int RowOfLine(int line) const;
    void LineOfRow(int row, int* line, int* subRow) const;
    CaretPos Map(int line, int column);
    int RowX(const wchar_t* text, int from, int to);
    Position HitTest(POINT pt, int* row, int* subRow);
    void SetFirstVisible(int line, int subRow);
    void RecomputeTopRow();
    void ClampTopSubRow();
    int FoldHeaderOf(int line) const;
    bool Collapse(int header);
    bool Expand(int header);
    void AfterFoldChange(int header);
    void SetFoldMode(int mode);
    void FoldTimerTick();
    void EnsureDepths();
    void LayoutMargins();
    void UpdateScrollBars();
    void UpdateCaretRecord();
    void InvalidateCaretRows(const CaretPos& before);
    void InvalidateLines(int line, bool toEnd);
    void OnSize();
    void SetFont(HFONT font, bool redraw);
    // Resolution (message 1095): the one given, else the window's.
    int WindowDpi() const;
    void ApplyDpi(int dpi);
    LRESULT GetMargin(int part, RECT* out) const;
    LRESULT WindowMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled);

    // Caret, moves and scrolling.
    SIZE CaretSize();
    void CreateSystemCaret();
    void ReshapeCaret();
    void PlaceCaret();
    void OnFocus(bool gained);
    int RowsPerPage() const;
    int ColumnAtX(int line, int subRow, int x);
    void ScrollToRow(int row);
    void ScrollColumns(int offset);
    void ScrollCaretIntoView();
    void OnScroll(int bar, int action);
    void OnWheel(int delta, bool horizontal);
    void DoMove(int id);
    Position CharLeft(Position p);
    Position CharRight(Position p);
    Position SmartHome(Position p);
    Position RowMove(int rows, int* subRowOut);
    void ExtendTo(Position anchor, Position caret);
    void MatchBraces();
    Position SelectionAnchor() const;

    // Editing.
    bool RunCommand(Command& c);
    void TypeText(const wchar_t* text, int n);
    void TypeIntoColumns(const wchar_t* text, int n);
    void OnChar(wchar_t c);
    void EndDrag();
    bool OnKeyDown(UINT vk);
    void DeleteSelection();
    void Backspace(bool forward);
    void DeleteWord(bool forward);
    void DeleteLine();
    void LineBreak();
    void DuplicateLine();
    void MoveLine(bool down);
    void RunOnWholeLines(class MacroCommand& macro);
    void Indent();
    void Unindent();
    void TrimBlanks(bool leading);
    void TabsToSpaces();
    void SpacesToTabs();
    void ChangeCase(bool upper);
    void SelectWord();
    void SelectLines(bool down);
    void NextBookmark(bool forward);
    void GotoBrace(bool extend);
    void OnImeStart();
    bool OnImeComposition(LPARAM lp);

    // Mouse.
    void OnMouseDown(POINT pt, UINT keys);
    void OnMouseMove(POINT pt);
    void OnMouseUp(POINT pt);
    void FollowPointer(POINT pt);
    void RebuildColumnRanges();
    bool OnSetCursor();
    int MarginAt(int x) const;

    // Clipboard and drag-and-drop.
    bool Copy();
    void Paste(bool indent);
    void PasteColumn(const std::wstring& text);
    void StartDrag();

public:
    // For the drop target.
    DWORD DropEffect(DWORD keys, DWORD allowed) const;
    void DragOver(POINT client);
    bool Drop(POINT client, const wchar_t* text, DWORD effect, bool ownDrag);
    void SetOwnDrag(IDataObject* obj) { ownDrag_ = obj; }
    IDropTarget* DropTarget() const { return dropTarget_; }
    void EndDropCaret();
    bool IsOwnDrag(IDataObject* obj) const { return obj && obj == ownDrag_; }

private:
    // Painting.
    void OnPaint();
    void FreePaintBitmap();
    void Paint(HDC dc, const RECT& update);
    void PaintLine(HDC dc, int line, long long lineTop, const RECT& lineRect, const RECT& update);
    int PaintRun(HDC dc, const wchar_t* text, int from, int to, unsigned short style, COLORREF rowBack,
                 bool special, int x, int rowTop, int rowStart, const RECT& clip, bool* stop);
    void ResolveColors(unsigned short style, COLORREF rowBack, bool special, COLORREF* text, COLORREF* back,
                       bool* underline) const;
    int SkipColumns(const wchar_t* text, int n, int line, int start, int end, int target, int* x);
    void PaintLineEnd(HDC dc, int x, int rowTop, COLORREF back, bool last, bool folded, const RECT& rowRect);
    void SetRuler(bool on);
    // Page rendering (messages 1081, 1082).
    bool SetPageRect(const RECT* page);
    bool DrawPage(HDC dc, bool color);
    static LRESULT CALLBACK RulerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void PaintRuler(HDC dc, const RECT& rc);

private:
    // Message families.
    LRESULT DocumentMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    LRESULT SelectionMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    LRESULT DisplayMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    bool OnCommand(int id);

    LRESULT ShareDocument(TextDocument* doc);
    void LexerChanged();
    void CloseDocument();
    void AttachDocument(TextDocument* doc, bool owned);
    void DetachDocument();

    // Caret and selection.
    void MoveCaret(Position p, bool keepPrefX = false);
    void ClearSelection();
    void SelectRange(Position anchor, Position caret);
    HGLOBAL SelectionBlock();
    HGLOBAL WordAtCaret();
    bool IsDelimiter(wchar_t c) const;
    Position WordRight(Position p);
    Position WordLeft(Position p);
    void UndoRedo(bool redo);

    void CreateStyleStore();
    void SetStyles(const StyleRangeArg& arg);
    void Invalidate();
    void Notify(NMHDR& hdr, UINT code);
    // An edit refused for a read-only document: a beep and EN_MP_READONLY.
    void RefuseReadOnly();
    void InvalidateFoldMargin();

    HWND hwnd_;
    HWND parent_ = nullptr;
    int ctrlId_ = 0;
    TextDocument* doc_ = nullptr;
    bool ownsDoc_ = false;
    TextDocument* created_ = nullptr;  // the document this view made, while it shows it

    Position caret_{0, 0};
    std::vector<SelRange> ranges_;
    bool column_ = false;
    int inputMode_ = 0;
    bool softTabs_ = false;
    int tabWidth_ = 4;
    bool frozen_ = false;
    std::vector<wchar_t> delimiters_;  // sorted

    std::vector<IHighlighter*> highlighters_;
    bool invalidAll_ = false;  // the whole window awaits WM_PAINT

    // Layout state.
    FontMetrics metrics_;
    int extraSpacing_ = 0;
    int dpi_ = 96;      // the resolution pixel sizes are scaled to
    int givenDpi_ = 0;  // set by message 1095; 0 follows the window
    Wrapper* wrapper_ = nullptr;
    GapBufferPointer<WrapVector>* wraps_ = nullptr;
    ViewLines* depths_ = nullptr;
    int visibleRows_ = 1;
    static constexpr int kRowBlock = 4096;
    static constexpr int kMaxLineSpacing = 1000;  // extra pixels between lines
    mutable std::vector<int> blockStart_;  // rows before each block of lines
    mutable int blocksValid_ = 0;          // blockStart_[0..blocksValid_] are valid
    ScrollPos scroll_{};
    CaretPos caretRec_{};
    CaretPos prevCaretRec_{};
    RECT textArea_{};
    int hOffset_ = 0;
    int longestRow_ = 0;
    int foldMode_ = 0;
    bool foldTimer_ = false;
    bool braceMatch_ = true;
    bool wrapWords_ = false;
    int braces_[4] = {-1, -1, -1, -1};  // two (line, column) pairs
    bool parts_[10] = {true, false, true, true, true, true, true, false, false, false};
    LineRender* renderers_[4] = {};  // line numbers, fold margin, edit state, left margin
    HWND ruler_ = nullptr;
    int vbar_[3] = {-1, -1, -1};  // scroll bar range, page and position as last set
    int hbar_[3] = {-1, -1, -1};
    POINT caretAt_ = {INT_MIN, INT_MIN};  // where the system caret was put last
    bool paintPending_ = false;           // something was invalidated since the last paint
    bool caretPending_ = false;           // the caret is placed by the coming paint
    HDC paintDc_ = nullptr;               // the off-screen bitmap of painting
    HBITMAP paintBmp_ = nullptr;
    HGDIOBJ paintOld_ = nullptr;
    SIZE paintSize_ = {0, 0};
    struct {
        int line, rowStart, unit, x;
    } skip_ = {-1, 0, 0, 0};  // where painting last found a row's first visible unit

    // Input state.
    bool hasCaret_ = false;     // the system caret exists (focus)
    SIZE caretSize_ = {0, 0};   // the system caret's shape as made
    wchar_t pendingHigh_ = 0;   // the first half of a typed surrogate pair
    bool dropCaret_ = false;    // the grey caret of a drag over the view
    int caretHide_ = 0;
    bool mouseDown_ = false;
    bool dragPending_ = false;  // a press inside the selection may start a drag
    POINT dragAnchor_{}, dragCorner_{};  // column drag rectangle: x in pixels, y in rows
    bool columnDrag_ = false;
    IDataObject* ownDrag_ = nullptr;
    IDropTarget* dropTarget_ = nullptr;
    HACCEL accel_ = nullptr;
    COLORREF ownColors_[COLOR_TABLE_ENTRIES];
    COLORREF* colors_;
    GapBufferPointer<LineStyleT>* styleStore_ = nullptr;
};

// The control's own colour table defaults.
void FillDefaultColors(COLORREF* table);
// The margin renderers, by index: line numbers, fold margin, edit state, left margin.
LineRender* MakeRenderer(int index);
// The drop target of a view, and a data object holding Unicode text (both
// with one reference for the caller).
IDropTarget* CreateDropTarget(HWND hwnd, View& view);
IDataObject* CreateTextDataObject(const wchar_t* text);
// The module that holds the control's code and resources.
HINSTANCE ThisModule();
// Digits of the line-number column: 3 below 1000 lines, else the count's.
int DigitsFor(int lineCount);
// The mark font is shared by all views until the library unloads.
void FreeMarkFont();
