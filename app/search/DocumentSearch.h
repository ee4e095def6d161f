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
};

struct SearchRequest {
    std::wstring pattern;
    std::wstring replacement;
    int options = 0;
};

enum class SearchStatus { kFound, kNotFound, kBadPattern, kTooComplex };

struct SearchOutcome {
    SearchStatus status = SearchStatus::kNotFound;
    int count = 0;           // replacements made, occurrences listed
    std::wstring error;      // the engine's text for kBadPattern
};

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
    SearchOutcome FindNext(HWND view, const SearchRequest& request);
    SearchOutcome FindPrevious(HWND view, const SearchRequest& request);
    // Incremental search: forward from the Find Next start, then once from
    // the document's start.
    SearchOutcome FindIncremental(HWND view, const SearchRequest& request);
    SearchOutcome Replace(HWND view, const SearchRequest& request);
    SearchOutcome ReplaceAll(HWND view, const SearchRequest& request);
    // `path` names the document in the result lines ("#<path>:(line,column):").
    SearchOutcome ListAll(HWND view, const std::wstring& path, const SearchRequest& request,
                          const OutputWriter& write);

private:
    struct Impl;
    Impl* impl_;
};

// Highlights every occurrence in a view (style class 20) while it paints:
// registered with the view by Set, removed by Clear. One per view.
void HighlightAll(HWND view, const std::wstring& pattern, int options);
void ClearHighlight(HWND view);

}  // namespace search
