#include "WordIndex.h"

#include <algorithm>

#include "CaseFold.h"

namespace documents {

std::wstring FoldWord(std::wstring_view word) {
    std::wstring folded(word);
    for (size_t i = 0; i < folded.size(); ++i) {
        const uint32_t c = folded[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < folded.size() && folded[i + 1] >= 0xDC00 &&
            folded[i + 1] < 0xE000) {
            const uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(folded[i + 1]) - 0xDC00);
            const uint32_t f = search::FoldCase(cp);
            folded[i] = wchar_t(0xD800 + ((f - 0x10000) >> 10));
            folded[i + 1] = wchar_t(0xDC00 + ((f - 0x10000) & 0x3FF));
            ++i;
            continue;
        }
        folded[i] = wchar_t(search::FoldCase(c));
    }
    return folded;
}

void CWordIndex::Reset(int lines) {
    blocks_.clear();
    byKey_.clear();
    ids_.clear();
    words_.clear();
    live_ = 0;
    total_ = std::max(lines, 0);
    for (int first = 0; first < total_; first += kBlockLines) {
        Block b;
        b.lines = std::min(kBlockLines, total_ - first);
        blocks_.push_back(std::move(b));
    }
}

void CWordIndex::Edit(int startLine, int oldEndLine, int newEndLine) {
    if (blocks_.empty() || startLine < 0 || oldEndLine < startLine || newEndLine < startLine) return;
    // The blocks holding startLine and oldEndLine become one block to read.
    size_t b0 = blocks_.size(), b1 = blocks_.size();
    int first = 0;
    for (size_t i = 0; i < blocks_.size(); ++i) {
        const int end = first + blocks_[i].lines;
        if (b0 == blocks_.size() && startLine < end) b0 = i;
        if (oldEndLine < end) {
            b1 = i;
            break;
        }
        first = end;
    }
    if (b0 == blocks_.size()) b0 = blocks_.size() - 1;  // past the end: the last block
    if (b1 == blocks_.size() || b1 < b0) b1 = blocks_.size() - 1;
    int lines = 0;
    for (size_t i = b0; i <= b1; ++i) lines += blocks_[i].lines;
    const int delta = newEndLine - oldEndLine;
    // Until it is read again, the block keeps the words it held, so that
    // the words of a long line stay offered while it is read anew.
    std::vector<uint32_t> stale;
    for (size_t i = b0; i <= b1; ++i) {
        stale.insert(stale.end(), blocks_[i].words.begin(), blocks_[i].words.end());
        Forget(blocks_[i]);
    }
    std::sort(stale.begin(), stale.end());
    stale.erase(std::unique(stale.begin(), stale.end()), stale.end());
    for (uint32_t id : stale)
        if (words_[id].blocks++ == 0) ++live_;
    Block merged;
    merged.words = std::move(stale);
    merged.lines = std::max(lines + delta, 1);
    blocks_.erase(blocks_.begin() + std::ptrdiff_t(b0) + 1, blocks_.begin() + std::ptrdiff_t(b1) + 1);
    blocks_[b0] = std::move(merged);
    total_ = 0;
    for (const Block& b : blocks_) total_ += b.lines;
}

bool CWordIndex::Consistent() const {
    int lines = 0;
    std::vector<int> counts(words_.size(), 0);
    for (const Block& b : blocks_) {
        lines += b.lines;
        if (b.lines <= 0) return false;
        if (!std::is_sorted(b.words.begin(), b.words.end()) ||
            std::adjacent_find(b.words.begin(), b.words.end()) != b.words.end())
            return false;
        for (uint32_t id : b.words) {
            if (id >= words_.size()) return false;
            ++counts[id];
        }
    }
    size_t live = 0;
    for (size_t i = 0; i < words_.size(); ++i) {
        if (words_[i].blocks != counts[i]) return false;
        if (counts[i] > 0) ++live;
    }
    return live == live_ && lines == total_ && ids_.size() == words_.size() && byKey_.size() == words_.size();
}

bool CWordIndex::Complete() const {
    return std::all_of(blocks_.begin(), blocks_.end(), [](const Block& b) { return b.built; });
}

bool CWordIndex::Delimiter(IWordSource& source, wchar_t unit) {
    if (delimiters_.empty()) delimiters_.assign(0x10000, 0);
    uint8_t& known = delimiters_[unit];
    if (!known) known = source.IsDelimiter(unit) ? 2 : 1;
    return known == 2;
}

bool CWordIndex::Build(IWordSource& source, int nearLine, std::chrono::steady_clock::duration budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
    // Words a read under way met are not dead.
    size_t pending = 0;
    for (const Block& b : blocks_) pending += b.partial.size();
    if (words_.size() - live_ > std::max(live_, kDeadWords) + pending) Compact();
    // At least a block or a read's worth of units, whichever comes first.
    size_t units = 0;
    bool finished = false;
    for (;;) {
        // A block grown by a large insertion is read in pieces.
        for (size_t i = 0; i < blocks_.size(); ++i) {
            if (blocks_[i].built || blocks_[i].lines <= 2 * kBlockLines || blocks_[i].doneLines > 0 ||
                blocks_[i].doneUnits > 0)
                continue;
            const int lines = blocks_[i].lines;
            Forget(blocks_[i]);
            std::vector<Block> pieces;
            for (int done = 0; done < lines; done += kBlockLines) {
                Block b;
                b.lines = std::min(kBlockLines, lines - done);
                pieces.push_back(std::move(b));
            }
            blocks_.erase(blocks_.begin() + std::ptrdiff_t(i));
            blocks_.insert(blocks_.begin() + std::ptrdiff_t(i), pieces.begin(), pieces.end());
        }
        // The unread block nearest nearLine.
        size_t best = blocks_.size();
        int bestFirst = 0, bestDistance = 0, first = 0;
        for (size_t i = 0; i < blocks_.size(); ++i) {
            const int end = first + blocks_[i].lines;
            if (!blocks_[i].built) {
                const int distance = nearLine < first  ? first - nearLine
                                     : nearLine >= end ? nearLine - end + 1
                                                       : 0;
                if (best == blocks_.size() || distance < bestDistance) {
                    best = i;
                    bestFirst = first;
                    bestDistance = distance;
                }
            }
            first = end;
        }
        if (best == blocks_.size()) return true;
        const size_t before = blocks_.size();
        units += size_t(Step(source, best, bestFirst));
        if (blocks_[best].built || blocks_.size() > before) finished = true;
        if (std::chrono::steady_clock::now() >= deadline && (finished || units >= size_t(kBlockUnits)))
            return Complete();
    }
}

void CWordIndex::Forget(Block& block) {
    for (uint32_t id : block.words)
        if (--words_[id].blocks == 0) --live_;
    block.words.clear();
    block.built = false;
    block.doneLines = block.doneUnits = block.readUnits = 0;
    block.skipping = false;
    block.partial.clear();
}

uint32_t CWordIndex::Intern(std::wstring_view word) {
    const auto found = ids_.find(word);
    if (found != ids_.end()) return found->second;
    const uint32_t id = uint32_t(words_.size());
    words_.push_back({std::wstring(word), FoldWord(word), 0});
    const Word& w = words_.back();
    ids_.emplace(std::wstring_view(w.word), id);
    byKey_.emplace(std::wstring_view(w.key), id);
    return id;
}

void CWordIndex::Compact() {
    // Identifiers keep their order, so the blocks' lists stay sorted.
    std::vector<uint8_t> keep(words_.size(), 0);
    for (size_t i = 0; i < words_.size(); ++i) keep[i] = words_[i].blocks > 0;
    for (const Block& b : blocks_)
        for (uint32_t id : b.partial) keep[id] = 1;
    std::vector<uint32_t> remap(words_.size(), 0);
    std::deque<Word> kept;
    for (size_t i = 0; i < words_.size(); ++i) {
        if (!keep[i]) continue;
        remap[i] = uint32_t(kept.size());
        kept.push_back(std::move(words_[i]));
    }
    ids_.clear();
    byKey_.clear();
    words_ = std::move(kept);
    live_ = 0;
    for (uint32_t id = 0; id < words_.size(); ++id) {
        ids_.emplace(std::wstring_view(words_[id].word), id);
        byKey_.emplace(std::wstring_view(words_[id].key), id);
        if (words_[id].blocks > 0) ++live_;
    }
    for (Block& b : blocks_) {
        for (uint32_t& id : b.words) id = remap[id];
        for (uint32_t& id : b.partial) id = remap[id];
    }
}

void CWordIndex::Scan(IWordSource& source, size_t n, bool skipFirst, std::vector<uint32_t>& ids) {
    size_t i = 0;
    while (i < n) {
        if (buffer_[i] == L'\n' || Delimiter(source, buffer_[i])) {
            ++i;
            skipFirst = false;
            continue;
        }
        size_t j = i;
        while (j < n && buffer_[j] != L'\n' && !Delimiter(source, buffer_[j])) ++j;
        if (!skipFirst && j - i <= kLongestWord)
            ids.push_back(Intern(std::wstring_view(buffer_.data() + i, j - i)));
        skipFirst = false;
        i = j;
    }
}

void CWordIndex::Finish(Block& block) {
    std::vector<uint32_t> ids = std::move(block.partial);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    for (uint32_t id : ids)
        if (words_[id].blocks++ == 0) ++live_;
    for (uint32_t id : block.words)  // the words it held before
        if (--words_[id].blocks == 0) --live_;
    block.words = std::move(ids);
    block.words.shrink_to_fit();
    block.partial = {};
    block.doneLines = block.doneUnits = block.readUnits = 0;
    block.skipping = false;
    block.built = true;
}

int CWordIndex::Slice(IWordSource& source, Block& block, int line) {
    const int got = source.ReadPart(line, block.doneUnits, kBlockUnits, buffer_);
    const int n = std::clamp(got, 0, int(buffer_.size()));
    size_t stop = size_t(n);
    bool cut = false;
    if (n >= kBlockUnits) {
        // The line goes on: a word cut at the slice's end is read whole with the next.
        while (stop > 0 && !Delimiter(source, buffer_[stop - 1])) --stop;
        if (stop == 0) {  // all one word, too long to keep
            stop = size_t(n);
            cut = true;
        }
    }
    if (!cut) Scan(source, stop, block.skipping, block.partial);
    block.skipping = cut;
    block.doneUnits += int(stop);
    if (n < kBlockUnits) {  // the line's end
        ++block.doneLines;
        block.doneUnits = 0;
        block.skipping = false;
    }
    return n;
}

int CWordIndex::Step(IWordSource& source, size_t index, int firstLine) {
    Block& block = blocks_[index];
    if (block.built) Forget(block);
    const int line = firstLine + block.doneLines;
    int units = 0;
    if (block.doneUnits > 0) {
        units = Slice(source, block, line);
    } else {
        const int read = source.ReadLines(line, block.lines - block.doneLines, kBlockUnits, buffer_, &units);
        if (read > 0) {
            units = std::clamp(units, 0, int(buffer_.size()));
            Scan(source, size_t(units), false, block.partial);
            block.doneLines += read;
        } else if (line < 0 || line >= source.LineCount()) {
            units = 0;
            // The document is shorter than the index thinks: what was read stands.
            block.doneLines = block.lines;
        } else {
            units = Slice(source, block, line);  // a line longer than a read, in slices
        }
    }
    block.readUnits += units;
    if (block.doneUnits > 0) return units;
    if (block.doneLines >= block.lines) {
        Finish(block);
        return units;
    }
    // Past half a read, the lines read so far become a block of their own,
    // so that an edit rereads about a read's worth only.
    if (block.doneLines > 0 && block.readUnits >= kBlockUnits / 2) {
        Block rest;
        rest.lines = block.lines - block.doneLines;
        rest.words = block.words;  // held until it is read
        for (uint32_t id : rest.words) ++words_[id].blocks;
        block.lines = block.doneLines;
        Finish(block);
        blocks_.insert(blocks_.begin() + std::ptrdiff_t(index) + 1, std::move(rest));
    }
    return units;
}

bool CWordIndex::Collect(std::wstring_view prefix, std::vector<std::wstring>& out, size_t limit) const {
    out.clear();
    if (prefix.empty()) return false;
    const std::wstring key = FoldWord(prefix);
    std::vector<uint32_t> found;
    bool more = false;
    for (auto it = byKey_.lower_bound({std::wstring_view(key), 0});
         it != byKey_.end() && it->first.substr(0, key.size()) == key; ++it) {
        if (it->first.size() == key.size() || words_[it->second].blocks <= 0) continue;
        if (found.size() >= limit) {
            more = true;
            break;
        }
        found.push_back(it->second);
    }
    std::sort(found.begin(), found.end());
    for (uint32_t id : found) out.push_back(words_[id].word);
    return more;
}

}  // namespace documents
