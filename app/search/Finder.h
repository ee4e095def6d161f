// Finders: one search pattern with its options, run over a piece of text.
//
// IFinder is the interface the document search and the find highlight share;
// its virtual slot order (set pattern, find forward, find backward, destroy)
// is fixed. CNormalFinder looks for plain text with a shift table of one
// entry per UTF-16 unit; CRegexFinder runs the expression engine. Both ignore
// case through the same folding (CaseFold.h), so they find the same matches.
//
// CFindHighlight is the per-view highlighter: while the control paints a line
// it marks every match with style class 20.
//
// Also here: the escape step of regular-expression replacement text and the
// "$" template expansion.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EditProtocol.h"
#include "Regex.h"

namespace search {

class IFinder {
public:
    // Stores the pattern and its options and prepares the search. False, doing
    // nothing, when the pattern and both options are the same as before.
    virtual bool SetPattern(const wchar_t* pattern, int length, bool matchCase, bool backward) = 0;
    // The first match starting in [start, start + count) that lies within
    // [text, text + length), or null; its length in *matchLength.
    virtual const wchar_t* FindForward(const wchar_t* text, int length, const wchar_t* start, int count,
                                       int* matchLength) = 0;
    // The last match that ends at or before index `end` (a regular
    // expression's empty match at `end` included), or null. `unused` is
    // ignored.
    virtual const wchar_t* FindBackward(const wchar_t* text, int length, int unused, int end,
                                        int* matchLength) = 0;
    virtual ~IFinder() = default;
};

// Boyer-Moore style plain search with a 65536-entry shift table.
class CNormalFinder : public IFinder {
public:
    CNormalFinder();
    bool SetPattern(const wchar_t* pattern, int length, bool matchCase, bool backward) override;
    const wchar_t* FindForward(const wchar_t* text, int length, const wchar_t* start, int count,
                               int* matchLength) override;
    const wchar_t* FindBackward(const wchar_t* text, int length, int unused, int end, int* matchLength) override;

    // For tests: the table entry of a unit (after folding).
    int Shift(wchar_t c) const { return table_[Fold(c)]; }

private:
    uint16_t Fold(wchar_t c) const;
    bool Equal(wchar_t a, wchar_t b) const { return Fold(a) == Fold(b); }

    std::wstring pattern_;
    bool matchCase_ = false;
    bool backward_ = false;
    bool set_ = false;
    std::unique_ptr<uint16_t[]> table_;  // 65536 entries
};

// A regular expression compiled with 0, 8 (ignore case), 16 (right to left)
// or 24 (both).
// A pattern with \r\n, \r?\n and \R (outside character classes) written
// as the LF that ends each searched line.
std::wstring LineEndsAsSearched(const std::wstring& pattern);

class CRegexFinder : public IFinder {
public:
    bool SetPattern(const wchar_t* pattern, int length, bool matchCase, bool backward) override;
    const wchar_t* FindForward(const wchar_t* text, int length, const wchar_t* start, int count,
                               int* matchLength) override;
    const wchar_t* FindBackward(const wchar_t* text, int length, int unused, int end, int* matchLength) override;

    // Searches draw on `budget` (one per operation) when set, else each on a
    // fresh budget of the engine's default size.
    void UseBudget(mrx::Budget* budget) { budget_ = budget; }
    // Whether the last search stopped because the budget ran out.
    bool TooComplex() const { return last_.status == mrx::Status::kTooComplex; }
    const mrx::MatchResult& LastMatch() const { return last_; }
    const mrx::CRegexpT<wchar_t>& Expression() const { return regex_; }
    const std::string& Error() const { return regex_.Error(); }
    int Flags() const { return regex_.Flags(); }

private:
    const wchar_t* Result(const wchar_t* text, int* matchLength);

    std::wstring pattern_;
    bool matchCase_ = false;
    bool backward_ = false;
    bool set_ = false;
    mrx::CRegexpT<wchar_t> regex_;
    mrx::Budget* budget_ = nullptr;
    mrx::MatchResult last_;
};

// A word character for the whole-word rule: a letter or digit by the
// platform's classification; the underscore is not one.
bool IsWordUnit(wchar_t c);
// The whole-word rule for a match [start, end) in text[0, length).
bool IsWholeWord(const wchar_t* text, int length, int start, int end);

// The escape step of regular-expression replacement text: \n LF, \t tab,
// \\ one backslash; a backslash before anything else is dropped with it (a
// trailing single backslash is dropped).
std::wstring Unescape(const std::wstring& replacement);

// The "$" template against a match of `regex` on text[0, length).
std::wstring ExpandTemplate(const mrx::CRegexpT<wchar_t>& regex, const std::wstring& tmpl, const wchar_t* text,
                            int length, const mrx::MatchResult& match);

// Highlights every match in the lines a view paints (style class 20).
class CFindHighlight : public IHighlighter {
public:
    // Chooses the finder and sets its pattern for forward search. True when
    // something changed (the caller then registers the highlighter again,
    // which repaints the view).
    bool Set(const wchar_t* pattern, int length, bool matchCase, bool wholeWord, bool regex);
    // Result lines of a search ("#<path>:(line,column):text"): only the text
    // part is searched, never the path or the position.
    bool SetResultLines(bool on);
    int Highlight(int line, const wchar_t* text, int length, unsigned short* styles) override;

    // The pattern ran out of its budget while painting: nothing further is
    // highlighted until another pattern is set.
    bool GaveUp() const { return gaveUp_; }
    // An expression the engine refused (it highlights nothing).
    std::string Error() const;

private:
    int Paint(int line, const wchar_t* text, int length, unsigned short* styles);
    std::unique_ptr<CNormalFinder> normal_;
    std::unique_ptr<CRegexFinder> regex_;
    IFinder* finder_ = nullptr;
    bool wholeWord_ = false;
    bool resultLines_ = false;
    bool gaveUp_ = false;
    mrx::Budget budget_;
};

// Where the text of a result line "#<path>:(line,column):text" starts; 0
// for a line of another form.
int ResultTextStart(const wchar_t* text, int length);

}  // namespace search
