// A backtracking regular-expression engine over UTF-16 text.
//
// A pattern is parsed into a tree of nodes (ElxInterface and its kinds, one
// class per construct), the tree is compiled into a small program, and the
// program is run by a backtracking matcher that keeps its choice points on
// its own heap stack, so the depth of matching does not depend on the length
// of the text. Repetitions of single units (a literal, ".", a class) keep one
// choice point for the whole run. Atomic groups, look-arounds and recursive
// calls run their bodies as sub-programs; once one succeeds its choice points
// are dropped, so backtracking never re-enters it.
//
// Every search has a work budget (steps of the matcher). When it is spent the
// search stops with Status::kTooComplex instead of running for ever on
// patterns such as (a*)*b. Malformed patterns never throw: they compile to an
// expression that matches nothing, and Error() says what was wrong.
//
// Standard C++ only, templated over the unit type (wchar_t in the program,
// char16_t in the native tests, fuzzer and benchmarks).
#pragma once

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
class Compiler;
}  // namespace detail

// Node interface. Nodes describe the pattern; Emit compiles a node into the
// matcher's program (its way of matching and of trying the next alternative
// after a later failure becomes the program's choice points).
class ElxInterface {
public:
    virtual ~ElxInterface() = default;
    virtual void Emit(detail::Compiler& c) const = 0;
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

    // Tries the expression at each position from `start` towards `end` (from
    // `end` towards `start` for right-to-left expressions) and returns the
    // first match. start < 0 means 0, end < 0 means the text's length.
    MatchResult Search(const CharT* text, int length, int start = -1, int end = -1) const;
    MatchResult Search(const CharT* text, int length, int start, int end, Budget&) const {
        return Search(text, length, start, end);
    }
    MatchResult Search(const std::basic_string<CharT>& text, int start = -1) const {
        return Search(text.c_str(), int(text.size()), start, -1);
    }

    int GroupCount() const;  // including group 0
    int GroupNumber(const CharT* name, int length = -1) const;  // -1 when undefined
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    int Flags() const { return flags_; }

    // The most matcher steps one search may take; the default is large enough
    // that ordinary searches never reach it.
    void SetBudget(uint64_t steps) { budget_ = steps; }

    // Expands a replacement template against a match on `text`:
    // $$ $& $` $' $_ $+ $n (up to three digits) ${name}.
    std::basic_string<CharT> Expand(const CharT* tmpl, int tmplLength, const CharT* text, int length,
                                    const MatchResult& m) const;

private:
    std::unique_ptr<detail::Program> program_;
    std::string error_;
    int flags_ = 0;
    uint64_t budget_ = 50000000;
};

}  // namespace mrx

#include "RegexImpl.h"
