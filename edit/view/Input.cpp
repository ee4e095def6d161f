// Editing from the keyboard: typing (also into column selections and in
// overwrite mode), deletions, line commands, indentation, case, bookmarks,
// and the input method's results. Every user action is one undo group.
#include "View.h"

#include <imm.h>

#include <algorithm>
#include <cwctype>

#include "Commands.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring LineString(TextDocument& d, int line) {
    int n = 0;
    const wchar_t* t = d.LineText(line, &n);
    return std::wstring(t, size_t(n));
}

wchar_t* Dup(const std::wstring& s) {
    wchar_t* p = new wchar_t[s.size() + 1];
    std::copy(s.begin(), s.end(), p);
    p[s.size()] = 0;
    return p;
}

}  // namespace

bool View::RunCommand(Command& c) {
    if (!doc_) return false;
    if (doc_->readOnly) {
        RefuseReadOnly();
        return false;
    }
    // A command of many members (an indent of a million lines) is told to
    // the parent as it goes, and may be stopped.
    auto* macro = dynamic_cast<MacroCommand*>(&c);
    if (!macro || macro->Count() <= 256) return Run(c, *doc_);
    ToldProgress progress(*this, 1);
    macro->SetProgress(&progress);
    const bool ran = Run(c, *doc_);
    macro->SetProgress(nullptr);
    progress.End();
    return ran;
}

void View::DeleteSelection() {
    // From the last range to the first, so that earlier positions hold.
    const std::vector<SelRange> ranges = ranges_;
    for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
        DeleteCommand c(it->start, it->end);
        RunCommand(c);
    }
    ClearSelection();
}

void View::TypeText(const wchar_t* text, int n) {
    if (!doc_ || n <= 0) return;
    if (column_ && ranges_.size() > 1) {
        TypeIntoColumns(text, n);
        return;
    }
    if (doc_->readOnly) {
        RefuseReadOnly();
        return;
    }
    {
        undo_group::Scope group;
        if (!ranges_.empty()) DeleteSelection();
        InsertCommand c(caret_, text, n);
        RunCommand(c);
    }
    ScrollCaretIntoView();
}

// Each range gets the text (up to its first line break) at its end, and the
// range grows over it; all of it is one undo step.
void View::TypeIntoColumns(const wchar_t* text, int n) {
    int len = 0;
    while (len < n && text[len] != L'\r' && text[len] != L'\n') ++len;
    if (len == 0) return;
    if (doc_->readOnly) {
        RefuseReadOnly();
        return;
    }
    std::vector<SelRange> ranges = ranges_;
    ranges_.clear();  // kept aside: the edits below must not drop empty ones
    MacroCommand macro;
    for (size_t i = 0; i < ranges.size(); ++i) {
        const Position at = ranges[i].end;
        int growth = 0;  // earlier insertions on the same line
        for (size_t k = 0; k < i; ++k)
            if (ranges[k].end.line == at.line) growth += len;
        macro.AddBack(new InsertCommand({at.line, at.column + growth}, text, len));
    }
    RunCommand(macro);
    for (size_t i = 0, shift = 0; i < ranges.size(); ++i) {
        shift = (i > 0 && ranges[i].start.line == ranges[i - 1].start.line) ? shift + size_t(len) : 0;
        ranges[i].start.column += int(shift);
        ranges[i].end.column += int(shift) + len;
    }
    ranges_ = ranges;
    column_ = true;
    MoveCaret(ranges_.back().end);
    Invalidate();
}

// A character outside the basic plane arrives as two messages, high
// surrogate first: it is typed as one character, one undo step.
void View::OnChar(wchar_t c) {
    if (!doc_ || (c < 32 && c != L'\t')) return;
    if (IsHighSurrogate(c)) {
        pendingHigh_ = c;
        return;
    }
    wchar_t text[2] = {c, 0};
    int len = 1;
    if (pendingHigh_ && IsLowSurrogate(c)) {
        text[0] = pendingHigh_;
        text[1] = c;
        len = 2;
    }
    pendingHigh_ = 0;
    if (c == L'\t' && ranges_.size() == 1 && GetKeyState(VK_TAB) < 0) {
        if (GetKeyState(VK_SHIFT) < 0) Unindent();
        else Indent();
        return;
    }
    if (c == L'\t' && softTabs_) {
        const int tab = std::max(TabPixels(), 1), sp = std::max(metrics_.Width(L' '), 1);
        const int next = (caretRec_.x / tab + 1) * tab;
        const std::wstring spaces(size_t(std::max((next - caretRec_.x + sp - 1) / sp, 1)), L' ');
        TypeText(spaces.c_str(), int(spaces.size()));
        return;
    }
    int n = 0;
    const wchar_t* line = doc_->LineText(caret_.line, &n);
    if (inputMode_ == 1 && ranges_.empty() && caret_.column < n) {
        if (doc_->readOnly) {
            RefuseReadOnly();
            return;
        }
        // Overwriting replaces one character, a whole pair included.
        const Position replaced = {caret_.line, caret_.column + CharUnits(line, caret_.column, n)};
        const Position next = {caret_.line, caret_.column + len};
        {
            undo_group::Scope group;
            ReplaceCommand r(caret_, replaced, text, len);
            RunCommand(r);
        }
        MoveCaret(next);
        ScrollCaretIntoView();
        return;
    }
    TypeText(text, len);
}

bool View::OnKeyDown(UINT vk) {
    if (vk == VK_RETURN) {
        SendMessageW(hwnd_, WM_COMMAND, ECMD_LINEBREAK, 0);
        return true;
    }
    if (vk == VK_ESCAPE) {
        ClearSelection();
        return true;
    }
    return false;
}

void View::LineBreak() {
    const wchar_t* brk = L"\n";
    TypeText(brk, 1);
}

void View::Backspace(bool forward) {
    if (column_ && ranges_.size() > 1) {
        MacroCommand macro;
        std::vector<SelRange> ranges = ranges_;
        bool any = false;
        for (SelRange& r : ranges) {
            if (r.start.column >= r.end.column) continue;
            any = true;
            if (forward) {
                macro.AddBack(new DeleteCommand(r.start, r.end));
                r.end = r.start;
            } else {
                // The character before the end, a whole surrogate pair included.
                const int before = std::max(CharLeft(r.end).column, r.start.column);
                macro.AddBack(new DeleteCommand({r.end.line, before}, r.end));
                r.end.column = before;
            }
        }
        if (any) {
            ranges_.clear();
            if (!RunCommand(macro)) {
                ranges_ = ranges;
                return;
            }
            ranges_ = ranges;
            column_ = true;  // the edits dropped it with the ranges set aside
            MoveCaret(ranges_.back().end);
            Invalidate();
            return;
        }
        ClearSelection();
    }
    if (!ranges_.empty()) {
        if (doc_->readOnly) {
            RefuseReadOnly();
            return;
        }
        undo_group::Scope group;
        DeleteSelection();
    } else {
        const Position other = forward ? CharRight(caret_) : CharLeft(caret_);
        if (other == caret_) return;
        DeleteCommand c(caret_, other);
        RunCommand(c);
    }
    ScrollCaretIntoView();
}

void View::DeleteWord(bool forward) {
    ClearSelection();
    const Position other = forward ? WordRight(caret_) : WordLeft(caret_);
    if (other == caret_) return;
    DeleteCommand c(caret_, other);
    RunCommand(c);
    ScrollCaretIntoView();
}

void View::DeleteLine() {
    ClearSelection();
    const int line = caret_.line;
    const int last = doc_->LineCount() - 1;
    if (line == last && doc_->LineLength(line) == 0) return;
    DeleteCommand c({line, 0}, line == last ? Position{line, doc_->LineLength(line)} : Position{line + 1, 0});
    RunCommand(c);
    ScrollCaretIntoView();
}

void View::DuplicateLine() {
    const Position keep = caret_;
    const std::wstring text = L"\n" + LineString(*doc_, caret_.line);
    InsertCommand c({caret_.line, doc_->LineLength(caret_.line)}, text.c_str(), int(text.size()));
    RunCommand(c);
    MoveCaret(keep);
}

// The caret line changes places with the line above (below); the caret stays
// on the moved line at its column. One undo step.
void View::MoveLine(bool down) {
    ClearSelection();
    const int line = caret_.line, last = doc_->LineCount() - 1;
    if ((!down && line == 0) || (down && line == last)) return;
    if (doc_->readOnly) {
        RefuseReadOnly();
        return;
    }
    const int column = caret_.column;
    const std::wstring text = LineString(*doc_, line);
    {
        undo_group::Scope group;
        if (down) {
            DeleteCommand del({line, 0}, {line + 1, 0});
            RunCommand(del);
            if (line + 1 < doc_->LineCount()) {
                const std::wstring ins = text + L"\n";
                InsertCommand c({line + 1, 0}, ins.c_str(), int(ins.size()));
                RunCommand(c);
            } else {  // the moved line becomes the last one
                const std::wstring ins = L"\n" + text;
                InsertCommand c({line, doc_->LineLength(line)}, ins.c_str(), int(ins.size()));
                RunCommand(c);
            }
        } else {
            if (line == last) {
                DeleteCommand del({line - 1, doc_->LineLength(line - 1)}, {line, doc_->LineLength(line)});
                RunCommand(del);
            } else {
                DeleteCommand del({line, 0}, {line + 1, 0});
                RunCommand(del);
            }
            const std::wstring ins = text + L"\n";
            InsertCommand c({line - 1, 0}, ins.c_str(), int(ins.size()));
            RunCommand(c);
        }
    }
    MoveCaret({down ? line + 1 : line - 1, column});
    ScrollCaretIntoView();
}

namespace {
// Every line of every range; a range that ends at column 0 still includes
// its last line.
template <typename F> void ForEachSelectedLine(const std::vector<SelRange>& ranges, F f) {
    int done = -1;
    for (const SelRange& r : ranges)
        for (int l = std::max(r.start.line, done + 1); l <= r.end.line; ++l) {
            f(l);
            done = l;
        }
}
}  // namespace

// Runs a macro over the selected lines; afterwards every range covers whole
// lines and the caret stands at the end of the last one.
void View::RunOnWholeLines(MacroCommand& macro) {
    std::vector<SelRange> ranges = ranges_;
    ranges_.clear();  // kept aside from the edits' adjustments
    if (macro.Count() && !RunCommand(macro)) {
        ranges_ = ranges;
        return;
    }
    for (SelRange& r : ranges) r = {{r.start.line, 0}, {r.end.line, doc_->LineLength(r.end.line)}};
    ranges_ = ranges;
    MoveCaret(ranges_.back().end);
    Invalidate();
}

void View::Indent() {
    if (ranges_.empty()) return;
    const std::wstring unit = softTabs_ ? std::wstring(size_t(tabWidth_), L' ') : L"\t";
    if (ranges_.size() == 1 && ranges_[0].start.line == ranges_[0].end.line) {
        TypeText(unit.c_str(), int(unit.size()));
        return;
    }
    MacroCommand macro;
    ForEachSelectedLine(ranges_, [&](int l) {
        if (doc_->LineLength(l) > 0) macro.AddBack(new InsertCommand({l, 0}, Dup(unit), int(unit.size()), true));
    });
    RunOnWholeLines(macro);
}

void View::Unindent() {
    if (column_) return;
    auto leading = [&](int l) {
        int n = 0;
        const wchar_t* t = doc_->LineText(l, &n);
        if (n > 0 && t[0] == L'\t') return 1;
        int k = 0;
        while (k < n && k < tabWidth_ && t[k] == L' ') ++k;
        return k;
    };
    if (ranges_.empty()) {
        const int k = leading(caret_.line);
        if (k == 0) return;
        DeleteCommand c({caret_.line, 0}, {caret_.line, k});
        RunCommand(c);
        return;
    }
    MacroCommand macro;
    ForEachSelectedLine(ranges_, [&](int l) {
        if (const int k = leading(l)) macro.AddBack(new DeleteCommand({l, 0}, {l, k}));
    });
    RunOnWholeLines(macro);
}

void View::TrimBlanks(bool leadingRun) {
    if (ranges_.size() != 1) return;
    MacroCommand macro;
    for (int l = ranges_[0].start.line; l <= ranges_[0].end.line; ++l) {
        int n = 0;
        const wchar_t* t = doc_->LineText(l, &n);
        if (leadingRun) {
            int k = 0;
            while (k < n && IsBlank(t[k])) ++k;
            if (k) macro.AddBack(new DeleteCommand({l, 0}, {l, k}));
        } else {
            int k = n;
            while (k > 0 && IsBlank(t[k - 1])) --k;
            if (k < n) macro.AddBack(new DeleteCommand({l, k}, {l, n}));
        }
    }
    if (macro.Count()) RunCommand(macro);
}

void View::TabsToSpaces() {
    if (ranges_.size() != 1) return;
    const int tab = std::max(TabPixels(), 1), ave = metrics_.AveWidth();
    MacroCommand macro;
    for (int l = ranges_[0].start.line; l <= ranges_[0].end.line; ++l) {
        const std::wstring s = LineString(*doc_, l);
        int x = 0;
        for (int i = 0; i < int(s.size()); ++i) {
            if (s[size_t(i)] == L'\t') {
                const int advance = tab - x % tab;
                const std::wstring spaces(size_t(advance / ave), L' ');
                macro.AddFront(new ReplaceCommand({l, i}, {l, i + 1}, Dup(spaces), int(spaces.size()), true));
                x += advance;
            } else {
                x += metrics_.Width(s[size_t(i)]);
            }
        }
    }
    if (macro.Count()) RunCommand(macro);
}

void View::SpacesToTabs() {
    if (ranges_.size() != 1) return;
    const int tab = std::max(TabPixels(), 1), sp = metrics_.Width(L' ');
    MacroCommand macro;
    for (int l = ranges_[0].start.line; l <= ranges_[0].end.line; ++l) {
        const std::wstring s = LineString(*doc_, l);
        int x = 0, runStart = -1;
        for (int i = 0; i < int(s.size()); ++i) {
            const wchar_t c = s[size_t(i)];
            if (c == L' ') {
                if (runStart < 0) runStart = i;
                const int next = (x / tab + 1) * tab;
                x += sp;
                if (x >= next) {
                    macro.AddFront(new ReplaceCommand({l, runStart}, {l, i + 1}, L"\t", 1));
                    runStart = -1;
                }
            } else {
                x = c == L'\t' ? (x / tab + 1) * tab : x + metrics_.Width(c);
                runStart = -1;
            }
        }
    }
    if (macro.Count()) RunCommand(macro);
}

void View::ChangeCase(bool upper) {
    if (ranges_.empty()) SendMessageW(hwnd_, WM_COMMAND, ECMD_SEL_RIGHT, 0);
    MacroCommand macro;
    for (const SelRange& r : ranges_) {
        const int n = doc_->RangeLength(r.start, r.end, 0);
        std::wstring s(size_t(n), L'\0');
        doc_->CopyRange(r.start, r.end, 0, s.data());
        std::wstring t = s;
        if (upper) CharUpperBuffW(t.data(), DWORD(t.size()));
        else CharLowerBuffW(t.data(), DWORD(t.size()));
        if (t != s) macro.AddFront(new ReplaceCommand(r.start, r.end, Dup(t), int(t.size()), true));
    }
    if (!macro.Count()) return;
    const std::vector<SelRange> ranges = ranges_;
    const Position caret = caret_;
    ranges_.clear();
    if (RunCommand(macro)) {
        ranges_ = ranges;  // the same units, now in the other case
        MoveCaret(caret);
    } else {
        ranges_ = ranges;
    }
    Invalidate();
}

void View::SelectWord() {
    const Position end = WordRight(caret_);
    const Position start = WordLeft(end);
    if (start.line != end.line || start.column >= end.column) return;
    ExtendTo(start, end);
    Invalidate();
    MoveCaret(end);
}

void View::SelectLines(bool down) {
    const Position anchor = ranges_.empty() ? Position{caret_.line, down ? 0 : doc_->LineLength(caret_.line)}
                                            : SelectionAnchor();
    Position p = caret_;
    if (down) p = p.line + 1 < doc_->LineCount() ? Position{p.line + 1, 0} : Position{p.line, doc_->LineLength(p.line)};
    else p = p.column > 0 ? Position{p.line, 0} : Position{std::max(p.line - 1, 0), 0};
    Position a = anchor;
    if (down && ranges_.empty()) a = {caret_.line, 0};
    if (!down && ranges_.empty()) a = caret_.line + 1 < doc_->LineCount() ? Position{caret_.line + 1, 0} : anchor;
    ExtendTo(a, p);
    Invalidate();
    MoveCaret(p);
    ScrollCaretIntoView();
}

void View::NextBookmark(bool forward) {
    const int n = doc_->LineCount();
    for (int k = 1; k <= n; ++k) {
        const int l = ((caret_.line + (forward ? k : -k)) % n + n) % n;
        if (doc_->GetAttr(l, LA_BOOKMARK)) {
            ClearSelection();
            MoveCaret({l, 0});
            ScrollCaretIntoView();
            return;
        }
    }
}

void View::OnImeStart() {
    HIMC imc = ImmGetContext(hwnd_);
    if (!imc) return;
    LOGFONTW lf = {};
    if (GetObjectW(metrics_.Font(), sizeof lf, &lf)) ImmSetCompositionFontW(imc, &lf);
    COMPOSITIONFORM cf = {};
    cf.dwStyle = CFS_POINT;
    GetCaretPos(&cf.ptCurrentPos);
    ImmSetCompositionWindow(imc, &cf);
    ImmReleaseContext(hwnd_, imc);
}

bool View::OnImeComposition(LPARAM lp) {
    if (!(lp & GCS_RESULTSTR)) return false;
    HIMC imc = ImmGetContext(hwnd_);
    if (!imc) return false;
    const LONG bytes = ImmGetCompositionStringW(imc, GCS_RESULTSTR, nullptr, 0);
    std::wstring text(size_t(std::max<LONG>(bytes, 0)) / sizeof(wchar_t), L'\0');
    if (bytes > 0) ImmGetCompositionStringW(imc, GCS_RESULTSTR, text.data(), DWORD(bytes));
    ImmReleaseContext(hwnd_, imc);
    if (text.empty()) return true;
    const bool columns = column_ && ranges_.size() > 1;
    TypeText(text.c_str(), int(text.size()));
    if (!columns) {
        ImeTextNotify nm = {};
        nm.text = text.c_str();
        nm.length = int(text.size());
        Notify(nm.hdr, EN_MP_IMETEXT);
    }
    return true;
}
