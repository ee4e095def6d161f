// The words of one document for word completion, kept in blocks of lines so
// that a lookup never reads the whole document again.
//
// Every distinct word (a run of non-delimiters shorter than 128 units) is
// kept once, ordered by its case-folded form, so that the words beginning
// with a prefix, ignoring case, are found by one bisection; each block of
// lines lists the words it holds, and a word counts while some block read
// holds it. An edit (the control's text-changed notification) only marks
// the blocks it touched for reading again (they offer the words they held
// until then) and shifts the line counts; blocks
// are (re)read on demand nearest a given line first, within a time budget,
// so that a caller can show what is ready and read the rest later in slices.
//
// Standard C++ only; the document is read through IWordSource.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace documents {

// Where the index reads the document.
class IWordSource {
   public:
    virtual int LineCount() = 0;
    // Whole lines from `first`, at most `maxLines` and `maxUnits` units with
    // their LFs, into `buffer` (resized as needed), each followed by an LF;
    // `units` receives the units written. The number of lines read: 0 when
    // the line `first` alone does not fit or lies out of range.
    virtual int ReadLines(int first, int maxLines, int maxUnits, std::vector<wchar_t>& buffer,
                          int* units) = 0;
    // Units of line `line` from `column`, at most `maxUnits`, into `buffer`
    // (resized as needed): the number read, fewer only at the line's end.
    virtual int ReadPart(int line, int column, int maxUnits, std::vector<wchar_t>& buffer) = 0;
    virtual bool IsDelimiter(wchar_t unit) = 0;

   protected:
    ~IWordSource() = default;
};

// The case-folded form of a word, unit for unit (a surrogate pair folds as
// one character and stays a pair), by the folding the finders use.
std::wstring FoldWord(std::wstring_view word);

class CWordIndex {
   public:
    static constexpr int kBlockLines = 1024;
    // A read of the document asks for at most this many units at once.
    static constexpr int kBlockUnits = 65536;
    static constexpr size_t kLongestWord = 127;  // words of 128 units or more are never offered

    // A document of `lines` lines, nothing read yet.
    void Reset(int lines);
    // Lines startLine..oldEndLine became startLine..newEndLine.
    void Edit(int startLine, int oldEndLine, int newEndLine);
    int Lines() const { return total_; }
    bool Complete() const;
    // Reads blocks that need it, nearest `nearLine` first, until all are
    // read or the budget is spent (at least a block or kBlockUnits units,
    // whichever comes first), at most kBlockUnits units a read. Whether the
    // index is complete. A block holds at most kBlockLines lines and, unless
    // it is one line, about kBlockUnits units; a longer line is read in
    // slices, a step at a time.
    bool Build(IWordSource& source, int nearLine, std::chrono::steady_clock::duration budget);
    // The distinct words (exact comparison) of the blocks read that begin
    // with `prefix` ignoring case and are longer than it, in the order the
    // index first met them. With more than `limit` such words, the first
    // `limit` in the order of their folded forms, and the answer is true.
    bool Collect(std::wstring_view prefix, std::vector<std::wstring>& out, size_t limit = size_t(-1)) const;

    // The invariants, for tests: the blocks' lines add up to Lines(), each
    // block lists distinct known words, and each word counts exactly
    // the read blocks that list it.
    bool Consistent() const;
    // Words known, those no longer in the text included (for tests).
    size_t WordsKnown() const { return words_.size(); }
    // Words that edits took out of the text are dropped once they outnumber
    // the words in it and this many.
    static constexpr size_t kDeadWords = 65536;

   private:
    // A distinct word of the document; `blocks` counts the blocks read that
    // hold it (0: no longer in the text as far as it is read).
    struct Word {
        std::wstring word;
        std::wstring key;  // folded
        int blocks = 0;
    };
    struct Block {
        int lines = 0;
        bool built = false;
        std::vector<uint32_t> words;  // distinct, by identifier
        // A read under way: lines read, units read of the next one, whether
        // its slice ended inside a word too long to keep, the words so far.
        int doneLines = 0;
        int doneUnits = 0;
        int readUnits = 0;  // units read so far
        bool skipping = false;
        std::vector<uint32_t> partial;
    };
    // One read of the block at most kBlockUnits units long.
    // The units read.
    int Step(IWordSource& source, size_t index, int firstLine);
    // One slice of the line `line` from block.doneUnits.
    int Slice(IWordSource& source, Block& block, int line);
    void Finish(Block& block);
    // The words of buffer_[0, n) into `ids`; with `skipFirst`, not the first run.
    void Scan(IWordSource& source, size_t n, bool skipFirst, std::vector<uint32_t>& ids);
    void Forget(Block& block);
    uint32_t Intern(std::wstring_view word);
    void Compact();
    bool Delimiter(IWordSource& source, wchar_t unit);

    std::vector<Block> blocks_;
    int total_ = 0;
    // Every word met, once: identifiers in the order first met. The views
    // of the two lookups point into the deque's strings, which never move.
    std::deque<Word> words_;
    std::unordered_map<std::wstring_view, uint32_t> ids_;
    std::set<std::pair<std::wstring_view, uint32_t>> byKey_;
    size_t live_ = 0;                  // words that some block read holds
    std::vector<uint8_t> delimiters_;  // per unit: 0 not asked, 1 no, 2 yes
    std::vector<wchar_t> buffer_;
};

}  // namespace documents
