// A backtracking regular-expression engine over UTF-16 text.
//
// A pattern is parsed into a tree of nodes (ElxInterface and its kinds, one
// class per construct), the tree is compiled into a small program, and the
// program is run by a backtracking matcher that keeps its choice points on
// its own heap stack, so the depth of matching does not depend on the length
// of the text. Repetitions of single units (a literal, ".", a class) keep one
// choice point for the whole run. Atomic groups and look-arounds run their
// bodies as sub-programs; once one succeeds its choice points are dropped, so
// backtracking never re-enters it. A recursive call ((?R), (?R1)) jumps into
// the group's code and returns from it on the same stack, so backtracking can
// go back into the call; the groups, counters and loop marks of the caller
// are put back on return. A call of a group where its own active call began
// fails (it would loop), and calls nested more than 1,000 deep make the
// search too complex. Sub-programs run on the C++ stack; nested more than 250
// deep (only recursion gets there) they make the search too complex, so a
// search needs only a few tens of KiB of stack.
//
// Every search has a work budget (steps of the matcher, units compared, and
// memory for backtracking), its own or one shared by a whole operation. When
// it is spent the search stops with Status::kTooComplex instead of running
// for ever on patterns such as (a*)*b. Malformed patterns, including groups
// nested more than 200 deep, never throw: they compile to an expression that
// matches nothing, and Error() says what was wrong.
//
// Text is UTF-16: ".", classes and their complements take a surrogate pair
// as one character, \x{...} above U+FFFF stands for its pair, and a match
// never starts or ends between the two halves of a pair. Ignoring case uses
// the simple case folding of the Unicode Character Database (CaseFold.h).
//
// Standard C++ only, templated over the unit type (wchar_t in the program,
// char16_t in the native tests, fuzzer and benchmarks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RegexCharClass.h"

namespace mrx {

enum Flags : int {
    SINGLELINE = 1,
    MULTILINE = 2,
    GLOBAL = 4,
    IGNORECASE = 8,
    RIGHTTOLEFT = 16,
    EXTENDED = 32,
};

enum class Status { kMatch, kNoMatch, kTooComplex };

// The work one operation may do. A search draws on it: each step of the
// matcher and each unit it compares costs one step, and its backtracking
// state may take at most about `memory` bytes. Hand one Budget to every
// search of an operation (find in all lines, find in files, highlight all)
// so that a catastrophic pattern spends it once: the search that runs out
// returns Status::kTooComplex and sets `exhausted`, and every later search
// with it returns kTooComplex at once, so the caller can say so once.
struct Budget {
    uint64_t steps = 50000000;
    size_t memory = size_t(64) << 20;
    bool exhausted = false;
};

// The result of a search: for every group its start and end index, -1 for a
// group that did not take part. Group 0 is the whole match.
struct MatchResult {
    Status status = Status::kNoMatch;
    std::vector<int> groups;  // start, end per group
    bool Matched() const { return status == Status::kMatch; }
    int Start(int g = 0) const { return size_t(2 * g + 1) < groups.size() ? groups[size_t(2 * g)] : -1; }
    int End(int g = 0) const { return size_t(2 * g + 1) < groups.size() ? groups[size_t(2 * g + 1)] : -1; }
    int GroupCount() const { return int(groups.size() / 2); }
};

// Growable array and a non-owning view of one.
template <typename T> using CBufferT = std::vector<T>;
template <typename T>
struct CBufferRefT {
    const T* data = nullptr;
    int size = 0;
};

namespace detail {
struct Program;
class CCompiler;
}  // namespace detail

// Node interface. Nodes describe the pattern; Emit compiles a node into the
// matcher's program (its way of matching and of trying the next alternative
// after a later failure becomes the program's choice points).
class ElxInterface {
public:
    virtual ~ElxInterface() = default;
    virtual void Emit(detail::CCompiler& c) const = 0;
    // Whether the node can match without consuming anything.
    virtual bool CanBeEmpty() const { return false; }
};
using ElxPtr = std::unique_ptr<ElxInterface>;

template <typename CharT>
class CRegexpT {
public:
    CRegexpT() { Compile(nullptr, 0, 0); }
    CRegexpT(const CharT* pattern, int flags = 0) { Compile(pattern, -1, flags); }
    CRegexpT(const std::basic_string<CharT>& pattern, int flags = 0) {
        Compile(pattern.c_str(), int(pattern.size()), flags);
    }
    ~CRegexpT();
    CRegexpT(const CRegexpT&) = delete;
    CRegexpT& operator=(const CRegexpT&) = delete;

    // Builds a new program, replacing any previous one. length -1: the pattern
    // is zero-terminated. Never throws for a bad pattern.
    void Compile(const CharT* pattern, int length, int flags);

    // Tries the expression at each position from `start` to `end`, both
    // included (from `end` down to `start` for right-to-left expressions),
    // and returns the first match. Left to right, a position is where a match
    // starts; right to left, where it ends. The match itself may run past the
    // bounds, to the whole text [0, length): start == end tries exactly one
    // position, as the highlighter does. start < 0 means 0; end < 0 or past
    // the length means the length; start > end finds nothing. Positions
    // inside a surrogate pair are never tried, and no match ends inside one.
    MatchResult Search(const CharT* text, int length, int start = -1, int end = -1) const;
    // The same, drawing on a budget shared by a whole operation (see Budget);
    // the search without one has a fresh budget of SetBudget's steps.
    MatchResult Search(const CharT* text, int length, int start, int end, Budget& budget) const;
    MatchResult Search(const std::basic_string<CharT>& text, int start = -1) const {
        return Search(text.c_str(), int(text.size()), start, -1);
    }

    int GroupCount() const;  // including group 0
    int GroupNumber(const CharT* name, int length = -1) const;  // -1 when undefined
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    int Flags() const { return flags_; }

    // The most matcher steps one search without a shared Budget may take; the
    // default is large enough that ordinary searches never reach it.
    void SetBudget(uint64_t steps) { budget_ = steps; }

    // Expands a replacement template against a match on `text`:
    // $$ $& $` $' $_ $+ $n (up to three digits) ${name}.
    std::basic_string<CharT> Expand(const CharT* tmpl, int tmplLength, const CharT* text, int length,
                                    const MatchResult& m) const;

    // Literals every match holds: the runs of literal units the expression
    // matches in sequence outside alternatives, optional parts, conditions
    // and look-arounds, in the pattern's order (none: an empty list), each
    // with whether it is matched ignoring case. A search can screen its text
    // for one of them.
    struct Literal {
        std::basic_string<CharT> text;
        bool icase = false;
    };
    std::vector<Literal> RequiredLiterals() const;

    // The compiled program as text: what the search screens with, then one
    // instruction a line (for tests; the form may change).
    std::string Dump() const;

private:
    template <typename MatcherType, typename Done>
    MatchResult SearchFrom(MatcherType& m, int start, int end, Done& done) const;

    std::unique_ptr<detail::Program> program_;
    std::string error_;
    int flags_ = 0;
    uint64_t budget_ = 50000000;
};

}  // namespace mrx

#include "RegexImpl.h"
