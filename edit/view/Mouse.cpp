// The mouse: selecting by pressing and dragging (stream and, with Alt,
// column selections), margin clicks, double clicks and cursors.
#include <algorithm>

#include "View.h"

namespace {
constexpr UINT_PTR kFollowTimer = 1;
constexpr UINT_PTR kDragTimer = 2;
}  // namespace

// Which margin renderer lies under x, or -1 for the text area.
int View::MarginAt(int x) const {
    for (int i = 0; i < 4; ++i)
        if (renderers_[i]->enabled && x >= renderers_[i]->left && x < renderers_[i]->right) return i;
    return -1;
}

bool View::OnSetCursor() {
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(hwnd_, &pt);
    HCURSOR cursor = LoadCursorW(nullptr, IDC_IBEAM);
    if (frozen_) {
        cursor = LoadCursorW(nullptr, IDC_ARROW);
    } else if (columnDrag_) {
        cursor = LoadCursorW(nullptr, IDC_CROSS);
    } else if (const int m = MarginAt(pt.x); m >= 0) {
        cursor = renderers_[m]->Cursor();
    } else if (doc_ && ranges_.size() == 1 && pt.y >= textArea_.top) {
        const Position p = HitTest(pt, nullptr, nullptr);
        if (Compare(p, ranges_[0].start) >= 0 && Compare(p, ranges_[0].end) < 0)
            cursor = LoadCursorW(nullptr, IDC_ARROW);
    }
    SetCursor(cursor);
    return true;
}

void View::OnMouseDown(POINT pt, UINT keys) {
    if (!doc_) return;
    SetFocus(hwnd_);
    const int margin = MarginAt(pt.x);
    const bool shift = (keys & MK_SHIFT) != 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    const Position hit = HitTest(pt, nullptr, nullptr);
    // 1. Shift: extend (or rebuild the column block) without a drag.
    if (shift && margin < 0) {
        if (column_ && !ranges_.empty()) {
            MoveCaret(hit);
            dragCorner_ = {caretRec_.x, caretRec_.row * LineHeight()};
            RebuildColumnRanges();
        } else {
            ExtendTo(SelectionAnchor(), hit);
            MoveCaret(hit);
        }
        Invalidate();
        return;
    }
    // 2. A press inside the single range may start a drag.
    if (margin < 0 && ranges_.size() == 1 && Compare(hit, ranges_[0].start) >= 0 &&
        Compare(hit, ranges_[0].end) < 0) {
        dragPending_ = true;
        SetTimer(hwnd_, kDragTimer, 200, nullptr);
        return;
    }
    if (margin == 0) {  // 4. the line-number column selects the line
        ClearSelection();
        const int last = doc_->LineCount() - 1;
        const Position end = hit.line < last ? Position{hit.line + 1, 0} : Position{hit.line, doc_->LineLength(hit.line)};
        ExtendTo({hit.line, 0}, end);
        MoveCaret(end);
    } else if (margin == 1) {  // 5. the fold margin folds and unfolds
        const int l = hit.line;
        if (l + 1 < doc_->LineCount() && Hidden(l + 1)) {
            Expand(l);
        } else if (l + 1 < doc_->LineCount() &&
                   (l == 0 ? 0 : doc_->GetAttr(l, LA_FOLDLEVEL)) < doc_->GetAttr(l + 1, LA_FOLDLEVEL)) {
            Collapse(l);
        } else if (foldMode_ == 3 && ranges_.size() == 1 && ranges_[0].start.line == l &&
                   ranges_[0].end.line > l) {
            SendMessageW(hwnd_, WM_COMMAND, ECMD_FOLDSELECTION, 0);
        }
        MoveCaret({l, hit.column});
        if (l == doc_->LineCount() - 1) ClearSelection();
    } else {  // 3. anywhere else: the caret goes there
        ClearSelection();
        MoveCaret(hit);
    }
    // 6. Alt starts a column selection.
    if (alt) {
        if (wrapper_) SetWrap(false);
        dragAnchor_ = dragCorner_ = {caretRec_.x, caretRec_.row};
        column_ = true;
        columnDrag_ = true;
    }
    mouseDown_ = true;
    SetTimer(hwnd_, kFollowTimer, 30, nullptr);
    SetCapture(hwnd_);
    Invalidate();
}

// The selection follows the pointer while the button is held.
void View::FollowPointer(POINT pt) {
    if (!doc_) return;
    const Position hit = HitTest(pt, nullptr, nullptr);
    if (columnDrag_) {
        MoveCaret(hit);
        int x = pt.x - textArea_.left + hOffset_ * metrics_.AveWidth();
        if (caret_.column >= doc_->LineLength(caret_.line))
            x = std::max(x, caretRec_.x) / metrics_.AveWidth() * metrics_.AveWidth();
        dragCorner_ = {std::max(x, 0), caretRec_.row};
        caretRec_.prefX = dragCorner_.x;
        RebuildColumnRanges();
    } else {
        const Position anchor = ranges_.size() == 1 ? SelectionAnchor() : caret_;
        ExtendTo(anchor, hit);
        MoveCaret(hit);
    }
    ScrollCaretIntoView();
    Invalidate();
}

void View::OnMouseMove(POINT pt) {
    if (!mouseDown_) return;
    if (pt.x >= textArea_.left || MarginAt(pt.x) == 0) FollowPointer(pt);
}

void View::OnMouseUp(POINT pt) {
    if (dragPending_) {  // released before the drag timer: a plain click
        dragPending_ = false;
        KillTimer(hwnd_, kDragTimer);
        ClearSelection();
        if (doc_) MoveCaret(HitTest(pt, nullptr, nullptr));
        return;
    }
    if (!mouseDown_) return;
    EndDrag();
    ReleaseCapture();
}

// The button was released, or the capture lost (another window took it, or
// the system cancelled modes): the selection stays as it was made so far.
void View::EndDrag() {
    if (dragPending_) {
        dragPending_ = false;
        KillTimer(hwnd_, kDragTimer);
    }
    if (!mouseDown_) return;
    mouseDown_ = false;
    KillTimer(hwnd_, kFollowTimer);
    if (columnDrag_) {
        columnDrag_ = false;
        RebuildColumnRanges();
        Invalidate();
    }
}

// Column ranges from the drag rectangle: one range per line from the first
// character boundary at or right of the left edge to the first character
// whose right edge passes the right edge. Lines ending left of the
// rectangle get none.
void View::RebuildColumnRanges() {
    if (!doc_) return;
    const int x1 = std::min(dragAnchor_.x, dragCorner_.x), x2 = std::max(dragAnchor_.x, dragCorner_.x);
    const int row1 = std::min(dragAnchor_.y, dragCorner_.y), row2 = std::max(dragAnchor_.y, dragCorner_.y);
    ranges_.clear();
    int line = 0, sub = 0;
    LineOfRow(row1, &line, &sub);
    int visible = row2 - row1 + 1;
    const int tab = std::max(TabPixels(), 1);
    for (; line < doc_->LineCount() && visible > 0; ++line) {
        if (!Hidden(line)) --visible;
        int n = 0;
        const wchar_t* t = doc_->LineText(line, &n);
        int x = 0, start = -1, end = n;
        for (int c = 0; c < n; c += CharUnits(t, c, n)) {
            const int w = t[c] == L'\t' ? tab - x % tab : metrics_.CharWidth(t, c, n);
            if (start < 0 && x >= x1) start = c;
            if (x + w > x2) {
                end = c;
                break;
            }
            x += w;
        }
        if (start < 0) {
            if (x < x1) continue;  // the line ends left of the rectangle
            start = n;
        }
        ranges_.push_back({{line, start}, {line, std::max(start, end)}});
    }
    column_ = true;
}
