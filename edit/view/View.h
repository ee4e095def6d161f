// One edit-control window: what it shows of a document (owned, or shared with
// other views), its caret and selection, its highlighters, colour table and
// character style store. The window procedure forwards every message to
// View::Message, which sorts them into families.
#pragma once

#include <windows.h>

#include <vector>

#include "DocView.h"
#include "EditProtocol.h"
#include "GapBuffer.h"
#include "Line.h"
#include "TextDocument.h"

struct SelRange {
    Position start;  // start <= end
    Position end;
};

// Position order: negative, zero or positive as a is before, at or after b.
inline int Compare(Position a, Position b) {
    return a.line != b.line ? (a.line < b.line ? -1 : 1)
         : a.column != b.column ? (a.column < b.column ? -1 : 1) : 0;
}
inline bool operator==(Position a, Position b) { return Compare(a, b) == 0; }

// Where position p ends up after [s, e0) was replaced by [s, e1).
Position AdjustPosition(Position p, Position s, Position e0, Position e1);

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

private:
    // Message families.
    LRESULT DocumentMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    LRESULT SelectionMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    LRESULT DisplayMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    bool OnCommand(int id);

    LRESULT ShareDocument(TextDocument* doc);
    void CloseDocument();
    void AttachDocument(TextDocument* doc, bool owned);
    void DetachDocument();

    // Caret and selection.
    void MoveCaret(Position p);
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

    HWND hwnd_;
    HWND parent_ = nullptr;
    int ctrlId_ = 0;
    TextDocument* doc_ = nullptr;
    bool ownsDoc_ = false;

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
    COLORREF ownColors_[COLOR_TABLE_ENTRIES];
    COLORREF* colors_;
    GapBufferPointer<LineStyleT>* styleStore_ = nullptr;
};

// The control's own colour table defaults.
void FillDefaultColors(COLORREF* table);
