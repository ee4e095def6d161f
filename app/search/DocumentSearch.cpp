// The search loops over a document held by an edit control. All text comes
// line by line through MPM_GETLINE into one buffer with an LF appended, so a
// match may take the line break (it then ends at column 0 of the next line).
//
// Lines without a literal every match holds are passed over unread: the
// control finds the next line that may hold it in the file's bytes
// (MPM_FINDLINE), and only that line is read and searched as any other.
//
// The end of the last match is remembered in the coordinates of the line it
// was found on: a match that took the LF ends at column length + 1 there, so
// it never looks like a position the caret can hold and the rules that step
// past the last match apply only to matches that ended before the LF.
//
// Budget: each operation starts with SetBudget's steps and gets an allowance
// for every unit it reads, so a long document is never too complex for an
// ordinary pattern while one catastrophic line spends it all. Once spent,
// every later search of the operation fails at once and the operation ends
// with kTooComplex.
#include "DocumentSearch.h"

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <vector>

#include "CaseFold.h"
#include "EditProtocol.h"
#include "Finder.h"

namespace search {

namespace {

constexpr uint64_t kDefaultSteps = 50000000;
constexpr uint64_t kStepsPerUnit = 32;
// Replace All sends its ranges in lists of at most this many (28 bytes each)
// or, for expressions, this many units of replacement text.
constexpr size_t kChunkRanges = 1 << 16;
constexpr size_t kChunkUnits = 1 << 20;

template <typename A, typename B>
LRESULT Send(HWND h, UINT msg, A a, B b) {
    return SendMessageW(h, msg, (WPARAM)(a), (LPARAM)(b));
}

bool Same(Position a, Position b) { return a.line == b.line && a.column == b.column; }
bool Before(Position a, Position b) { return a.line < b.line || (a.line == b.line && a.column < b.column); }

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

int LineLength(HWND view, int line) { return int(Send(view, MPM_GETLINE, line, 0)); }

// Lines the control looks at for a literal per message (1102), so that the
// progress tick and Stop come between.
constexpr int kScanLines = 1 << 20;

// Whether an ASCII unit folds together with a unit outside ASCII (k with the
// Kelvin sign, s with the long s): ignoring case, the control's ASCII
// folding would miss those.
bool FoldsFromOutside(wchar_t c) {
    static const std::vector<bool> table = [] {
        std::vector<bool> t(128, false);
        for (uint32_t u = 128; u < 65536; ++u) {
            const uint32_t f = FoldCase(u);
            for (uint32_t a = 0; a < 128; ++a)
                if (FoldCase(a) == f) t[a] = true;
        }
        return t;
    }();
    return c < 128 && table[size_t(c)];
}

// The longest run of `text` the control can screen the file's lines for:
// no line break, and ignoring case only ASCII that folds within ASCII;
// `ascii`: ASCII alone, without '?'.
std::wstring ScreenRun(const std::wstring& text, bool icase, bool ascii) {
    size_t best = 0, bestLength = 0;
    for (size_t i = 0; i < text.size();) {
        size_t j = i;
        const auto ok = [&](wchar_t c) {
            if (c == L'\r' || c == L'\n') return false;
            if ((icase || ascii) && c >= 128) return false;
            if (ascii && c == L'?') return false;
            return !icase || !FoldsFromOutside(c);
        };
        while (j < text.size() && ok(text[j])) ++j;
        if (j - i > bestLength) {
            best = i;
            bestLength = j - i;
        }
        i = j + 1;
    }
    return text.substr(best, bestLength);
}

// The undo group and the redraw switch of one Replace All, closed on every
// way out.
class CBatchEdit {
   public:
    explicit CBatchEdit(HWND view) : view_(view) {
        Send(view_, WM_SETREDRAW, FALSE, 0);
        Send(view_, MPM_UNDOGROUP, 1, 0);
    }
    ~CBatchEdit() {
        Send(view_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(view_, nullptr, FALSE);
        Send(view_, MPM_UNDOGROUP, 0, 0);
    }
    CBatchEdit(const CBatchEdit&) = delete;
    CBatchEdit& operator=(const CBatchEdit&) = delete;

   private:
    HWND view_;
};

}  // namespace

struct CDocumentSearch::Impl {
    CNormalFinder normal;
    CRegexFinder regex;
    bool useRegex = false;
    bool wholeWord = false;
    mrx::Budget budget;
    uint64_t steps = kDefaultSteps;
    bool keepBudget = false;  // the next Prepare continues the operation's budget
    ProgressTick progress;
    bool stopped = false;  // the progress tick stopped the operation
    bool Going(int64_t done, int64_t total) {
        if (!stopped && progress && !progress(done, total)) stopped = true;
        return !stopped;
    }
    Position lastEnd = {-1, -1};
    HWND lastView = nullptr;       // the view lastEnd belongs to
    const wchar_t* cur = nullptr;  // the current line with its LF
    int length = 0;                // without the LF
    std::vector<wchar_t> single;   // a line read alone (1037)
    // Lines read many at a time (1093), each followed by its LF: lines
    // [blockFirst, blockFirst + blockStarts.size() - 1), line k at
    // block[blockStarts[k]]. Dropped at each operation's start.
    std::vector<wchar_t> block;
    std::vector<int> blockStarts;
    int blockFirst = 0;
    int backLines = 1 << 16;  // lines a backward block starts with
    bool blocksWork = true;
    bool lastLine = false;  // its LF is not in the document
    // The literal every match holds, which the control looks for in the
    // file's bytes (1102) to pass over lines without one; `asciiLiteral`
    // when the control cannot take the first.
    std::wstring literal, asciiLiteral;
    int literalFlags = 0;
    bool screening = false;
    int known = 0;  // lines from knownAt on (back from it) that may hold it
    int knownAt = -1;
    // Answers in a row that came within a few lines of where the control
    // started looking: the lines are dense with the literal, and the next
    // kDenseRun lines are read and searched without asking.
    int dense = 0;
    static constexpr int kDenseRun = 4096;
    int fetchLines = kBlockLinesMax;  // lines the next block reads at most
    static constexpr int kBlockLinesMax = 1 << 16;
    void SetLiteral(const std::wstring& text, bool icase, bool backward);
    int Skip(HWND view, int line, bool backward);
    mrx::MatchResult match;  // the last regular-expression match, on `text`

    IFinder* Prepare(const SearchRequest& r, bool backward, SearchOutcome& out);
    void Fetch(HWND view, int line, int lines, bool backward = false);
    bool ReadBlock(HWND view, int first, int maxLines);
    bool Accepted(int s, int n) const {
        return !(wholeWord && !IsWholeWord(cur, length, s, s + n)) && !(lastLine && s + n > length);
    }
    int Forward(IFinder* f, int from, int skipEmptyAt, int* n);
    int Backward(IFinder* f, int end, int skipEmptyAt, int* n);
    Position StartPosition(HWND view, bool backward, bool stepPastLast);
    SearchOutcome Find(HWND view, const SearchRequest& r, bool backward, bool stepPastLast, Position* found,
                       int* foundLength);
    SearchOutcome FindFrom(HWND view, IFinder* f, Position start, bool backward, int skipEmptyAt,
                           Position* found, int* foundLength);
    void Select(HWND view, int line, int s, int n);
    Position EndOf(int line, int s, int n) const {
        return s + n > length ? Position{line + 1, 0} : Position{line, s + n};
    }
};

IFinder* CDocumentSearch::Impl::Prepare(const SearchRequest& r, bool backward, SearchOutcome& out) {
    out = SearchOutcome();
    if (!keepBudget) {
        budget = mrx::Budget();
        budget.steps = steps;
    }
    keepBudget = false;
    stopped = false;
    blockStarts.clear();
    blocksWork = true;
    screening = false;
    known = 0;
    dense = 0;
    fetchLines = kBlockLinesMax;
    if (r.pattern.empty()) return nullptr;
    useRegex = (r.options & FIND_REGEX) != 0;
    wholeWord = !useRegex && (r.options & FIND_WHOLE_WORD) != 0;
    const bool matchCase = (r.options & FIND_MATCH_CASE) != 0;
    if (!useRegex) {
        normal.SetPattern(r.pattern.c_str(), int(r.pattern.size()), matchCase, backward);
        SetLiteral(r.pattern, !matchCase, backward);
        return &normal;
    }
    regex.SetPattern(r.pattern.c_str(), int(r.pattern.size()), matchCase, backward);
    regex.UseBudget(&budget);
    if (!regex.Error().empty()) {
        out.status = SearchStatus::kBadPattern;
        out.error = Widen(regex.Error());
        return nullptr;
    }
    // Of the literals every match holds, the one with the longest run the
    // control can look for.
    size_t best = 0;
    bool bestIcase = false;
    std::wstring required;
    for (const auto& l : regex.Expression().RequiredLiterals()) {
        const size_t n = ScreenRun(l.text, l.icase, false).size();
        if (n > best) {
            best = n;
            required = l.text;
            bestIcase = l.icase;
        }
    }
    SetLiteral(required, bestIcase, backward);
    return &regex;
}

void CDocumentSearch::Impl::SetLiteral(const std::wstring& text, bool icase, bool backward) {
    literal = ScreenRun(text, icase, false);
    asciiLiteral = ScreenRun(text, icase, true);
    if (asciiLiteral == literal) asciiLiteral.clear();
    literalFlags = (icase ? 0 : LINEFIND_MATCHCASE) | (backward ? LINEFIND_BACKWARD : 0);
    screening = !literal.empty();
}

// The next line from `line` on (back from it) that may hold a match, as the
// control finds it in the file's bytes: `line` itself when it may, another
// line (one that may, or where the control stopped looking) to go on from.
int CDocumentSearch::Impl::Skip(HWND view, int line, bool backward) {
    const int step = backward ? -1 : 1;
    while (screening && (known <= 0 || line != knownAt)) {
        LineFindArg arg = {literal.c_str(), int(literal.size()), literalFlags, kScanLines, -1, 0};
        const LRESULT r = Send(view, MPM_FINDLINE, line, &arg);
        if (r == 2) {
            known = 0;
            return arg.line;
        }
        if (r == 1 && arg.run > 0) {
            dense = (backward ? line - arg.line : arg.line - line) < 16 ? dense + 1 : 0;
            known = dense >= 4 ? std::max(arg.run, kDenseRun) : arg.run;
            knownAt = arg.line;
            if (arg.line != line) return arg.line;
            break;
        }
        // The control cannot look for this literal: perhaps for its ASCII part.
        literal.swap(asciiLiteral);
        asciiLiteral.clear();
        screening = !literal.empty();
        if (!screening) fetchLines = kBlockLinesMax;
    }
    if (screening) {
        fetchLines = std::min(known, kBlockLinesMax);
        --known;
        knownAt += step;
    }
    return line;
}

namespace {
constexpr int kBlockUnits = 1 << 20;
constexpr int kBlockLines = 1 << 16;
}  // namespace

bool CDocumentSearch::Impl::ReadBlock(HWND view, int first, int maxLines) {
    blockStarts.clear();
    if (!blocksWork || first < 0) return false;
    block.resize(size_t(kBlockUnits));
    LinesArg arg = {maxLines, block.data(), kBlockUnits, 0};
    const int got = int(Send(view, MPM_GETLINES, first, &arg));
    if (got <= 0 || arg.units <= 0 || arg.units > kBlockUnits) return false;
    blockFirst = first;
    blockStarts.push_back(0);
    for (int k = 0; k < arg.units && int(blockStarts.size()) <= got; ++k)
        if (block[size_t(k)] == L'\n') blockStarts.push_back(k + 1);
    // Not what the message promised: read line by line from now on.
    if (int(blockStarts.size()) != got + 1) {
        blocksWork = false;
        blockStarts.clear();
        return false;
    }
    return true;
}

void CDocumentSearch::Impl::Fetch(HWND view, int at, int lines, bool backward) {
    lastLine = at >= lines - 1;
    const auto inBlock = [&] {
        return !blockStarts.empty() && at >= blockFirst && at < blockFirst + int(blockStarts.size()) - 1;
    };
    if (!inBlock()) {
        if (backward) {
            // A block ends at `at`: start as many lines back as fitted last
            // time, fewer while the block stops short of `at`.
            for (int want = std::min(backLines, fetchLines); want >= 1;) {
                const int first = std::max(at - want + 1, 0);
                if (!ReadBlock(view, first, at - first + 1)) {  // a line longer than a block
                    want = want > 1 ? 1 : 0;
                    continue;
                }
                const int got = int(blockStarts.size()) - 1;
                if (inBlock()) {
                    backLines = blockStarts.back() < kBlockUnits / 2 ? std::min(2 * want, kBlockLines) : got;
                    break;
                }
                want = std::min(want / 2, got);
            }
        } else {
            ReadBlock(view, at, std::min(kBlockLines, fetchLines));
        }
    }
    if (inBlock()) {
        const int k = at - blockFirst;
        cur = block.data() + blockStarts[size_t(k)];
        length = blockStarts[size_t(k) + 1] - blockStarts[size_t(k)] - 1;
    } else {
        length = std::max(LineLength(view, at), 0);
        // A line that would have fitted a block: the view does not answer
        // 1093 (a pane that does not pass it on), so stop asking it.
        if (4 * (int64_t(length) + 1) < kBlockUnits) blocksWork = false;
        if (single.size() < size_t(length) + 2) single.resize(size_t(length) + 2 + size_t(length) / 2);
        Send(view, MPM_GETLINE, at, single.data());
        single[size_t(length)] = L'\n';
        single[size_t(length) + 1] = 0;
        cur = single.data();
    }
    if (!budget.exhausted) budget.steps += kStepsPerUnit * (uint64_t(length) + 1);
}

// The first accepted match starting at `from` or later (the LF included); its
// start, or -1.
int CDocumentSearch::Impl::Forward(IFinder* f, int from, int skipEmptyAt, int* n) {
    const wchar_t* t = cur;
    // The last line has no line break: its LF is left out, so that a
    // pattern that could take it finds its match within the line.
    const int searched = lastLine ? length : length + 1;
    while (from <= length) {
        // Positions up to the line's end are tried, also the one at the end
        // of the last line (an empty match there).
        const wchar_t* m = f->FindForward(t, searched, t + from, length + 1 - from, n);
        if (!m) return -1;
        const int s = int(m - t);
        if (*n == 0 && s == skipEmptyAt) {
            from = s + 1;
            continue;
        }
        if (!Accepted(s, *n)) {
            from = s + std::max(*n, 1);
            continue;
        }
        if (useRegex) match = regex.LastMatch();
        return s;
    }
    return -1;
}

// The last accepted match ending at `end` or earlier; its start, or -1. An
// empty match after the LF belongs to the next line and is passed over.
int CDocumentSearch::Impl::Backward(IFinder* f, int end, int skipEmptyAt, int* n) {
    const wchar_t* t = cur;
    const int searched = lastLine ? length : length + 1;
    end = std::min(end, searched);
    while (end >= 0) {
        const wchar_t* m = f->FindBackward(t, searched, 0, end, n);
        if (!m) return -1;
        const int s = int(m - t);
        if (*n == 0 && (s == skipEmptyAt || s > length)) {
            end = s - 1;
            continue;
        }
        if (!Accepted(s, *n)) {
            end = *n ? s : s - 1;
            continue;
        }
        if (useRegex) match = regex.LastMatch();
        return s;
    }
    return -1;
}

Position CDocumentSearch::Impl::StartPosition(HWND view, bool backward, bool stepPastLast) {
    Position a = {0, 0}, b = {0, 0}, p = {0, 0};
    if (Send(view, MPM_GETSELRANGE, &a, &b)) {
        const bool aFirst = !Before(b, a);
        p = backward ? (aFirst ? a : b) : (aFirst ? b : a);
    } else {
        Send(view, MPM_GETCARETPOS, &p, 0);
    }
    if (!stepPastLast || !Same(p, lastEnd)) return p;
    const bool atEdge = backward ? p.column == 0 : p.column >= LineLength(view, p.line);
    if (!atEdge) return p;
    Send(view, MPM_SETCARET, &p, 0);
    Send(view, WM_COMMAND, backward ? ECMD_LEFT : ECMD_RIGHT, 0);
    Send(view, MPM_GETCARETPOS, &p, 0);
    return p;
}

void CDocumentSearch::Impl::Select(HWND view, int line, int s, int n) {
    Position anchor = {line, s};
    Position caret = EndOf(line, s, n);
    Send(view, MPM_SELECT, &anchor, &caret);
    Send(view, WM_COMMAND, ECMD_CENTERCARET, 0);
    lastEnd = {line, s + n};
}

SearchOutcome CDocumentSearch::Impl::FindFrom(HWND view, IFinder* f, Position start, bool backward,
                                              int skipEmptyAt, Position* found, int* foundLength) {
    SearchOutcome out;
    const int lines = int(Send(view, MPM_GETLINECOUNT, 0, 0));
    start.line = std::clamp(start.line, 0, std::max(lines - 1, 0));
    const int64_t toGo = backward ? start.line + 1 : lines - start.line;
    for (int line = start.line; backward ? line >= 0 : line < lines; line += backward ? -1 : 1) {
        if (!Going(backward ? start.line - line : line - start.line, toGo)) {
            out.status = SearchStatus::kStopped;
            return out;
        }
        const bool first = line == start.line;
        if (!first) {
            const int next = Skip(view, line, backward);
            if (next != line) {
                line = next - (backward ? -1 : 1);  // the loop's step brings it back
                continue;
            }
        }
        Fetch(view, line, lines, backward);
        const int column = std::clamp(start.column, 0, length);
        int n = 0;
        const int s = backward ? Backward(f, first ? column : length + 1, first ? skipEmptyAt : -1, &n)
                               : Forward(f, first ? column : 0, first ? skipEmptyAt : -1, &n);
        if (s >= 0) {
            Select(view, line, s, n);
            if (found) *found = {line, s};
            if (foundLength) *foundLength = n;
            out.status = SearchStatus::kFound;
            return out;
        }
        if (budget.exhausted) {
            out.status = SearchStatus::kTooComplex;
            return out;
        }
    }
    return out;
}

SearchOutcome CDocumentSearch::Impl::Find(HWND view, const SearchRequest& r, bool backward, bool stepPastLast,
                                          Position* found, int* foundLength) {
    SearchOutcome out;
    IFinder* f = Prepare(r, backward, out);
    if (!f || !view) return out;
    // The end of the last match is remembered for the view it was found in.
    if (view != lastView) lastEnd = {-1, -1};
    lastView = view;
    Position anchor = {0, 0}, caret = {0, 0}, at = {0, 0};
    const bool selected = Send(view, MPM_GETSELRANGE, &anchor, &caret) != 0;
    Send(view, MPM_GETCARETPOS, &at, 0);
    if (!selected || Same(at, anchor)) std::swap(anchor, caret);
    if (!selected) caret = at;
    const Position start = StartPosition(view, backward, stepPastLast);
    const int skip = stepPastLast && Same(start, lastEnd) ? start.column : -1;
    out = FindFrom(view, f, start, backward, skip, found, foundLength);
    // Nothing found: the selection or caret that stepping on changed comes back.
    if (out.status != SearchStatus::kFound && selected) Send(view, MPM_SELECT, &anchor, &caret);
    if (out.status != SearchStatus::kFound && !selected) Send(view, MPM_SETCARET, &caret, 0);
    if (out.status == SearchStatus::kFound && (r.options & FIND_HIGHLIGHT_ALL))
        HighlightAll(view, r.pattern, r.options);
    return out;
}

CDocumentSearch::CDocumentSearch() : impl_(new Impl) {}
CDocumentSearch::~CDocumentSearch() { delete impl_; }

void CDocumentSearch::SetBudget(uint64_t steps) { impl_->steps = steps; }

SearchOutcome CDocumentSearch::FindNext(HWND view, const SearchRequest& request) {
    return impl_->Find(view, request, false, true, nullptr, nullptr);
}

SearchOutcome CDocumentSearch::FindPrevious(HWND view, const SearchRequest& request) {
    return impl_->Find(view, request, true, true, nullptr, nullptr);
}

SearchOutcome CDocumentSearch::FindIncremental(HWND view, const SearchRequest& request) {
    SearchOutcome out;
    IFinder* f = impl_->Prepare(request, false, out);
    if (!f || !view) return out;
    Position a = {0, 0}, b = {0, 0}, start = {0, 0};
    if (Send(view, MPM_GETSELRANGE, &a, &b))
        start = Before(b, a) ? b : a;
    else
        Send(view, MPM_GETCARETPOS, &start, 0);
    out = impl_->FindFrom(view, f, start, false, -1, nullptr, nullptr);
    if (out.status == SearchStatus::kNotFound && (start.line > 0 || start.column > 0))
        out = impl_->FindFrom(view, f, {0, 0}, false, -1, nullptr, nullptr);
    if (out.status == SearchStatus::kFound && (request.options & FIND_HIGHLIGHT_ALL))
        HighlightAll(view, request.pattern, request.options);
    return out;
}

SearchOutcome CDocumentSearch::Replace(HWND view, const SearchRequest& request) {
    Impl& d = *impl_;
    if (request.pattern.empty() || !view) return SearchOutcome();
    Position a = {0, 0}, b = {0, 0};
    if (Send(view, MPM_GETSELRANGE, &a, &b)) {
        const Position start = Before(b, a) ? b : a;
        Send(view, MPM_SETCARET, &start, 0);
    }
    Position at = {0, 0};
    int n = 0;
    SearchOutcome out = d.Find(view, request, false, false, &at, &n);
    if (out.status != SearchStatus::kFound) return out;

    std::wstring replacement = request.replacement;
    if (d.useRegex) {
        // Against the matched text alone; a match that needs its context
        // there (a look-around) expands against its line.
        const std::wstring matched(d.cur + at.column, size_t(n));
        const std::wstring tmpl = Unescape(request.replacement);
        const mrx::MatchResult alone =
            d.regex.Expression().Search(matched.c_str(), int(matched.size()), 0, 0, d.budget);
        if (alone.Matched() && alone.Start() == 0 && alone.End() == n)
            replacement = ExpandTemplate(d.regex.Expression(), tmpl, matched.c_str(), n, alone);
        else
            replacement = ExpandTemplate(d.regex.Expression(), tmpl, d.cur, d.length + 1, d.match);
    }
    Position end = d.EndOf(at.line, at.column, n);
    Send(view, MPM_UNDOGROUP, 1, 0);
    const bool deleted = n > 0 && Send(view, MPM_DELETERANGE, &at, &end) != 0;
    TextArg arg = {replacement.c_str(), int(replacement.size())};
    const bool inserted = !replacement.empty() && Send(view, MPM_INSERTTEXT, &at, &arg) != 0;
    Send(view, MPM_UNDOGROUP, 0, 0);
    // Nothing changed (a read-only document, an empty match replaced by
    // nothing): the next Find starts after this match all the same.
    Position caret = end;
    if (deleted || inserted)
        Send(view, MPM_GETCARETPOS, &caret, 0);
    else
        Send(view, MPM_SETCARET, &caret, 0);
    d.lastEnd = caret;
    d.keepBudget = true;
    out = d.Find(view, request, false, true, nullptr, nullptr);
    out.count = deleted || inserted ? 1 : 0;
    return out;
}

SearchOutcome CDocumentSearch::ReplaceAll(HWND view, const SearchRequest& request) {
    Impl& d = *impl_;
    SearchOutcome out;
    IFinder* f = d.Prepare(request, true, out);
    if (!f || !view) return out;
    const std::wstring replacement = d.useRegex ? Unescape(request.replacement) : request.replacement;
    const int lines = int(Send(view, MPM_GETLINECOUNT, 0, 0));
    // The part searched: the whole document, or the selection [from, to).
    Position from = {0, 0}, to = {lines - 1, INT_MAX};
    const bool inSelection = (request.options & FIND_IN_SELECTION) != 0;
    if (inSelection) {
        if (!Send(view, MPM_GETSELRANGE, &from, &to)) return out;
        if (Before(to, from)) std::swap(from, to);
        if (Same(from, to)) return out;
    }
    const int toLength = LineLength(view, to.line);
    {
        CBatchEdit batch(view);
        // The matches are found from the last up, without editing in
        // between, and replaced in lists of at most kChunkRanges ranges (or
        // kChunkUnits units of text), each sent as one message, the list's
        // order reversed: a list sent changes only text after every match
        // still to be found (the lines before it, also those read ahead,
        // stay as they were), and the lists share the batch's undo group.
        std::vector<ReplaceRangeArg> ranges;
        std::vector<size_t> offsets;  // expressions: where each text starts in `texts`
        std::wstring texts;
        const auto send = [&] {
            if (ranges.empty()) return;
            std::reverse(ranges.begin(), ranges.end());
            if (d.useRegex) {
                std::reverse(offsets.begin(), offsets.end());
                for (size_t i = 0; i < ranges.size(); ++i) ranges[i].text = texts.c_str() + offsets[i];
            }
            if (Send(view, MPM_REPLACERANGES, ranges.size(), ranges.data()) != 0)
                out.count += int(ranges.size());
            ranges.clear();
            offsets.clear();
            texts.clear();
        };
        const int span = to.line - from.line + 1;
        for (int line = to.line; line >= from.line && !d.budget.exhausted && d.Going(to.line - line, span);
             --line) {
            if (ranges.size() >= kChunkRanges || texts.size() >= kChunkUnits) send();
            if (const int next = d.Skip(view, line, true); next != line) {
                line = next + 1;
                continue;
            }
            d.Fetch(view, line, lines, true);
            int end = line == to.line ? std::min(to.column, d.length + 1) : d.length + 1, n = 0;
            for (int s; end >= 0 && d.Going(to.line - line, span) && (s = d.Backward(f, end, -1, &n)) >= 0;
                 end = n ? s : s - 1) {
                // Inside the selection: from its start on, and an empty
                // match where it ends belongs to the text after it.
                if (inSelection && line == from.line && s < from.column) break;
                if (inSelection && line == to.line && s >= to.column) continue;
                const Position a = {line, s};
                const Position b = d.EndOf(line, s, n);
                ReplaceRangeArg arg = {a, b, replacement.c_str(), int(replacement.size())};
                if (d.useRegex) {
                    const std::wstring text =
                        ExpandTemplate(d.regex.Expression(), replacement, d.cur, d.length + 1, d.match);
                    arg.length = int(text.size());
                    offsets.push_back(texts.size());
                    texts += text;
                }
                // An empty match given no text changes nothing and is not counted.
                if (n == 0 && arg.length == 0) continue;
                ranges.push_back(arg);
            }
        }
        send();
    }
    if (inSelection && out.count > 0) {
        // The text after the selection did not change: its end keeps its
        // distance from the document's end, and the selection covers the
        // result.
        Position end;
        end.line = int(Send(view, MPM_GETLINECOUNT, 0, 0)) - (lines - to.line);
        end.column = LineLength(view, end.line) - (toLength - to.column);
        Send(view, MPM_SELECT, &from, &end);
    }
    if (d.stopped)
        out.status = SearchStatus::kStopped;
    else if (d.budget.exhausted)
        out.status = SearchStatus::kTooComplex;
    else
        out.status = out.count > 0 ? SearchStatus::kFound : SearchStatus::kNotFound;
    return out;
}

void CDocumentSearch::SetProgress(ProgressTick tick) { impl_->progress = std::move(tick); }

SearchOutcome CDocumentSearch::ListAll(HWND view, const std::wstring& path, const SearchRequest& request,
                                       const OutputWriter& write) {
    Impl& d = *impl_;
    SearchOutcome out;
    IFinder* f = d.Prepare(request, false, out);
    if (!f || !view) return out;
    const int lines = int(Send(view, MPM_GETLINECOUNT, 0, 0));
    std::wstring entry;
    for (int line = 0; line < lines && !d.budget.exhausted && d.Going(line, lines); ++line) {
        if (const int next = d.Skip(view, line, false); next != line) {
            line = next - 1;
            continue;
        }
        d.Fetch(view, line, lines);
        int n = 0;
        for (int from = 0, s; from <= d.length && (s = d.Forward(f, from, -1, &n)) >= 0;
             from = s + std::max(n, 1)) {
            wchar_t head[64];
            swprintf(head, 64, L":(%d,%d):", line + 1, s);
            entry.assign(L"#<").append(path).append(L">").append(head);
            entry.append(d.cur, size_t(d.length) + 1);
            if (write) write(entry);
            d.lastEnd = {line, s + n};
            ++out.count;
        }
    }
    wchar_t summary[64];
    swprintf(summary, 64, L"%d occurrences were found!", out.count);
    // A stopped listing is not complete: no count (the status bar says why).
    if (write && !d.stopped) write(summary);
    if (d.stopped)
        out.status = SearchStatus::kStopped;
    else if (d.budget.exhausted)
        out.status = SearchStatus::kTooComplex;
    else
        out.status = out.count > 0 ? SearchStatus::kFound : SearchStatus::kNotFound;
    return out;
}

// ---------------------------------------------------------------------------
// Highlight all, one highlighter per view.

namespace {

std::map<HWND, std::unique_ptr<CFindHighlight>>& Highlights() {
    static std::map<HWND, std::unique_ptr<CFindHighlight>> map;
    return map;
}

// Views destroyed without being cleared: their controls are gone, so their
// highlighters can go too.
void ForgetDeadViews() {
    auto& map = Highlights();
    for (auto it = map.begin(); it != map.end();) it = IsWindow(it->first) ? std::next(it) : map.erase(it);
}

}  // namespace

SearchOutcome HighlightAll(HWND view, const std::wstring& pattern, int options) {
    SearchOutcome out;
    ForgetDeadViews();
    if (!view || !IsWindow(view)) return out;
    if (pattern.empty()) {
        ClearHighlight(view);
        return out;
    }
    auto& h = Highlights()[view];
    if (!h) h = std::make_unique<CFindHighlight>();
    const bool regex = (options & FIND_REGEX) != 0;
    bool changed = h->Set(pattern.c_str(), int(pattern.size()), (options & FIND_MATCH_CASE) != 0,
                          (options & FIND_WHOLE_WORD) != 0, regex);
    changed = h->SetResultLines((options & FIND_RESULT_LINES) != 0) || changed;
    if (!h->Error().empty()) {
        out.status = SearchStatus::kBadPattern;
        out.error = Widen(h->Error());
        ClearHighlight(view);
        return out;
    }
    IHighlighter* hl = h.get();
    const bool registered = Send(view, MPM_HIGHLIGHTER, hl, 2) != 0;
    if (changed || !registered) Send(view, MPM_HIGHLIGHTER, hl, 1);
    out.status = SearchStatus::kFound;
    return out;
}

void ClearHighlight(HWND view) {
    auto& map = Highlights();
    auto it = map.find(view);
    if (it != map.end()) {
        // The view lets go of it before it is deleted.
        if (IsWindow(view)) Send(view, MPM_HIGHLIGHTER, static_cast<IHighlighter*>(it->second.get()), 0);
        map.erase(it);
    }
    ForgetDeadViews();
}

bool HighlightGaveUp(HWND view) {
    auto& map = Highlights();
    auto it = map.find(view);
    return it != map.end() && it->second->GaveUp();
}

}  // namespace search
