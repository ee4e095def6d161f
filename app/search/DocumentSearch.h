// Searching one document through its edit control's messages: Find Next and
// Previous with their start-position rules, Replace, Replace All in one undo
// step, List All into the output, and the options the find dialog sets.
//
// Every operation reads the text line by line (each line with an LF
// appended, so that an expression can match the line break) and draws on one
// work budget: a pattern that runs out of it ends the whole operation with
// kTooComplex, told once by the caller. A pattern the expression engine
// refuses ends it with kBadPattern and the engine's error text.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace search {

// The find options, as the dialog's check boxes and the settings store them.
enum FindOption : int {
    FIND_MATCH_CASE = 1,
    FIND_WHOLE_WORD = 2,      // only without FIND_REGEX
    FIND_REGEX = 4,
    FIND_UP = 16,
    FIND_CLOSE_AFTER = 64,    // the dialog's business
    FIND_HIGHLIGHT_ALL = 128,
    FIND_WRAP = 0x200,          // the dialog's business: its searches go on from the other end
    FIND_IN_SELECTION = 0x400,  // Replace All: only matches inside the selection
    FIND_RESULT_LINES = 0x800,  // HighlightAll: lines "#<path>:(l,c):text" highlight in their text only
};

struct SearchRequest {
    std::wstring pattern;
    std::wstring replacement;
    int options = 0;
};

// kStopped: the progress tick asked to stop (what was done stays).
enum class SearchStatus { kFound, kNotFound, kBadPattern, kTooComplex, kStopped };

struct SearchOutcome {
    SearchStatus status = SearchStatus::kNotFound;
    int count = 0;           // replacements made, occurrences listed
    std::wstring error;      // the engine's text for kBadPattern
};

// Told how far a long operation is (`done` of `total`, lines or matches);
// false stops it.
using ProgressTick = std::function<bool(int64_t done, int64_t total)>;

// Receives List All's text (result lines and the summary), in order.
using OutputWriter = std::function<void(const std::wstring& text)>;

class CDocumentSearch {
public:
    CDocumentSearch();
    ~CDocumentSearch();
    CDocumentSearch(const CDocumentSearch&) = delete;
    CDocumentSearch& operator=(const CDocumentSearch&) = delete;

    // `view` is an edit control (or a pane that forwards the control's
    // messages). A match is selected and its line brought to the middle.
    //
    // The start is the later end of a single selection, else the caret (Find
    // Previous: the earlier end). When it lies at its line's end (Find
    // Previous: at column 0) and is where the last match ended, the caret
    // first moves one character on, so that match is not found again; an
    // empty match exactly where the last one ended is skipped likewise.
    // Neither direction wraps round the document's end. FIND_UP is the
    // dialog's business: it chooses which of the two to call. With
    // FIND_HIGHLIGHT_ALL a match also highlights all matches in the view.
    SearchOutcome FindNext(HWND view, const SearchRequest& request);
    SearchOutcome FindPrevious(HWND view, const SearchRequest& request);
    // Incremental search: forward from the start of the selection (so that a
    // longer find text keeps the match it extends), then once from the
    // document's start.
    SearchOutcome FindIncremental(HWND view, const SearchRequest& request);
    // Replaces the match that Find Next finds from the selection's start and
    // selects the next one. count is 1 when a replacement was made; status is
    // that of the last search run (kFound when a next match is selected).
    // With FIND_REGEX the replacement goes through the escape step and the
    // "$" template, expanded against the matched text alone.
    SearchOutcome Replace(HWND view, const SearchRequest& request);
    // Replaces every match, found from the last line up without editing in
    // between and sent in lists of ranges (message 1101), in one undo step
    // with the control's redraw off; count is the number replaced (also when the
    // budget ran out part-way: the changes made so far stay, as one step).
    // With FIND_IN_SELECTION only matches that lie wholly inside the
    // selection (none without one); the selection then covers the result.
    SearchOutcome ReplaceAll(HWND view, const SearchRequest& request);
    // `path` names the document in the result lines ("#<path>:(line,column):"
    // and the line with its LF, one write per match), then "N occurrences
    // were found!" (no LF). Showing the output, separating it from earlier
    // text and highlighting it are the caller's business.
    SearchOutcome ListAll(HWND view, const std::wstring& path, const SearchRequest& request,
                          const OutputWriter& write);

    // Ticked as finding, Replace All and List All go, until set again (an
    // empty function: none). A stopped Replace All keeps what it replaced,
    // as one undo step; a stopped search leaves selection and caret.
    void SetProgress(ProgressTick tick);

    // The work one operation may do before it is too complex (matcher steps),
    // beside an allowance for every unit searched. For tests.
    void SetBudget(uint64_t steps);

private:
    struct Impl;
    Impl* impl_;
};

// Highlights every occurrence in a view (style class 20) while it paints:
// registered with the view by HighlightAll, removed by ClearHighlight. One per
// view, kept alive while the view has it; a view destroyed without being
// cleared loses its highlighter at the next call of either. Uses
// FIND_MATCH_CASE, FIND_WHOLE_WORD and FIND_REGEX; an empty pattern clears.
// Returns kBadPattern (nothing highlighted) for a refused expression, else
// kFound.
SearchOutcome HighlightAll(HWND view, const std::wstring& pattern, int options);
void ClearHighlight(HWND view);
// Whether the view's highlight ran out of its budget while painting and so
// highlights nothing further (until another pattern is set).
bool HighlightGaveUp(HWND view);

}  // namespace search
