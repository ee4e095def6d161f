#include "TextDocument.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <unordered_set>

#include "Commands.h"
#include "Encoding.h"

namespace {

// Process-wide scratch buffers for the text of unloaded lines; they grow to
// twice what is needed and never shrink.
std::vector<char> g_rawScratch;
std::vector<wchar_t> g_wideScratch;
// Whether the text LineText gave last is a stand-in for a line whose
// conversion failed (its bytes as Latin-1), which is shown but never loaded.
bool g_lineFailed = false;

// The bytes as Latin-1, for display where their conversion failed.
int AsLatin1(const char* raw, int n, wchar_t* out) {
    for (int k = 0; k < n; ++k) out[k] = wchar_t(static_cast<unsigned char>(raw[k]));
    return n;
}

template <typename T>
T* Reserve(std::vector<T>& v, size_t needed) {
    if (v.size() < needed) v.resize(2 * needed + 1);
    return v.data();
}

std::unordered_set<const TextDocument*>& LiveDocuments() {
    static std::unordered_set<const TextDocument*> live;
    return live;
}

// A capacity for a line of `units` units: twice that plus `extra`, at most
// what an int counts. A line whose text and terminator an int cannot count
// cannot be held, which is running out of memory.
int Capacity(int64_t units, int extra) {
    if (units + 1 > INT32_MAX) throw std::bad_alloc();
    return int(std::min<int64_t>(2 * units + extra, INT32_MAX));
}

Line EmptyLine() {
    Line l;
    std::memset(static_cast<void*>(&l), 0, sizeof l);
    return l;
}

}  // namespace

TextDocument::TextDocument() : lines(new LineVector(8)) {
    lines->Append(EmptyLine());
    LiveDocuments().insert(this);
}

bool TextDocument::IsLive(const TextDocument* p) { return LiveDocuments().count(p) != 0; }

TextDocument::~TextDocument() {
    LiveDocuments().erase(this);
    undo.ForEach([](Command* c) { delete c; });
    redo.ForEach([](Command* c) { delete c; });
    delete source;
    delete lines;
}

Position TextDocument::Clamp(Position p) const {
    const int n = lines->Count();
    if (p.line < 0) return {0, 0};
    if (p.line >= n) p = {n - 1, INT32_MAX};
    if (p.column < 0) p.column = 0;
    const int len = const_cast<TextDocument*>(this)->LineLength(p.line);
    if (p.column > len) p.column = len;
    return p;
}

Position TextDocument::End() const {
    const int last = lines->Count() - 1;
    return {last, const_cast<TextDocument*>(this)->LineLength(last)};
}

const wchar_t* TextDocument::LineText(int i, int* length) {
    static const wchar_t kEmpty[1] = {0};
    *length = 0;
    g_lineFailed = false;
    if (i < 0 || i >= lines->Count()) return kEmpty;
    Line& l = (*lines)[i];
    if (l.Loaded()) {
        *length = l.length;
        return l.text;
    }
    if (!source || l.length <= 0) return kEmpty;
    char* raw = Reserve(g_rawScratch, size_t(l.length));
    if (!source->ReadBytes(l.offset, l.length, raw)) return kEmpty;
    const int cp = source->CodePage();
    const int units = encoding::ToUtf16(cp, raw, l.length, nullptr, 0);
    wchar_t* wide = Reserve(g_wideScratch, size_t(std::max(units, l.length)) + 1);
    int got = units < 0 ? -1 : encoding::ToUtf16(cp, raw, l.length, wide, units);
    if (got < 0) {
        got = AsLatin1(raw, l.length, wide);
        g_lineFailed = true;
    }
    wide[got] = 0;
    *length = got;
    return wide;
}

// Lines not yet loaded that follow one another in the file, in a code page
// of one byte per character: their bytes, breaks included, convert with one
// call (a conversion per line costs more than the search of the line).
// Copies lines [i, j) with their LFs and returns j - i, or 0 to convert line
// by line.
int TextDocument::CopyRun(int i, int end, wchar_t* out, int capacity, int* used) {
    constexpr int64_t kMaxSpan = 4 << 20;
    const int64_t start = (*lines)[i].offset;
    int64_t spanEnd = start;
    int need = 0, j = i;
    for (; j < end; ++j) {
        const Line& l = (*lines)[j];
        if (l.Loaded()) break;
        if (l.length > 0) {
            if (l.offset < spanEnd || l.offset + l.length - start > kMaxSpan) break;
            spanEnd = l.offset + l.length;
        }
        if (capacity - *used - need < std::max(l.length, 0) + 1) break;
        need += std::max(l.length, 0) + 1;
    }
    if (j - i < 2) return 0;
    const int bytes = int(spanEnd - start);
    char* raw = Reserve(g_rawScratch, size_t(bytes));
    wchar_t* wide = Reserve(g_wideScratch, size_t(bytes) + 1);
    if (!source->ReadBytes(start, bytes, raw) ||
        encoding::ToUtf16(source->CodePage(), raw, bytes, wide, bytes) != bytes)
        return 0;
    for (int k = i; k < j; ++k) {
        const Line& l = (*lines)[k];
        if (l.length > 0) {
            std::memcpy(out + *used, wide + (l.offset - start), sizeof(wchar_t) * size_t(l.length));
            *used += l.length;
        }
        out[(*used)++] = L'\n';
    }
    return j - i;
}

int TextDocument::CopyLines(int first, int maxLines, wchar_t* out, int capacity, int* units) {
    int used = 0, done = 0;
    const int count = lines->Count();
    CPINFO info = {};
    const bool singleByte = source && encoding::UnitWidth(source->CodePage()) == 1 &&
                            source->CodePage() != encoding::kUtf8 && GetCPInfo(UINT(source->CodePage()), &info) &&
                            info.MaxCharSize == 1;
    for (int i = first; out && i >= 0 && i < count && done < maxLines; ++i, ++done) {
        Line& l = (*lines)[i];
        int n = 0;
        if (l.Loaded()) {
            n = l.length;
            if (capacity - used < n + 1) break;
            std::memcpy(out + used, l.text, sizeof(wchar_t) * size_t(n));
        } else if (source && l.length > 0) {
            if (capacity - used < l.length + 1) break;
            const int run = singleByte ? CopyRun(i, std::min(count, i + maxLines - done), out, capacity, &used) : 0;
            if (run > 0) {
                i += run - 1;
                done += run - 1;
                continue;
            }
            char* raw = Reserve(g_rawScratch, size_t(l.length));
            if (source->ReadBytes(l.offset, l.length, raw)) {
                n = encoding::ToUtf16(source->CodePage(), raw, l.length, out + used, l.length);
                if (n < 0) n = AsLatin1(raw, l.length, out + used);  // shown as LineText shows it
            }
        } else if (capacity - used < 1) {
            break;
        }
        used += n;
        out[used++] = L'\n';
    }
    if (units) *units = used;
    return done;
}

int TextDocument::LineLength(int i) {
    if (i < 0 || i >= lines->Count()) return 0;
    Line& l = (*lines)[i];
    if (l.Loaded()) return l.length;
    if (!source || l.length <= 0) return 0;
    const int cp = source->CodePage();
    if (encoding::UnitWidth(cp) == 2) return int((int64_t(l.length) + 1) / 2);
    int n = 0;
    LineText(i, &n);
    return n;
}

void TextDocument::LoadLine(int i) {
    if (i < 0 || i >= lines->Count() || (*lines)[i].Loaded()) return;
    int n = 0;
    const wchar_t* t = LineText(i, &n);
    // A line whose conversion failed is not taken as text: the edit that
    // needs it fails as when memory runs out.
    if (g_lineFailed) throw std::bad_alloc();
    Line& l = (*lines)[i];
    const int cap = Capacity(n, 1);
    wchar_t* buf = TextAlloc::Allocate(cap);
    if (n) std::memcpy(buf, t, sizeof(wchar_t) * size_t(n));
    buf[n] = 0;
    l.text = buf;
    l.capacity = cap;
    l.length = n;
}

namespace {
// A buffer for `n` units of text with a little room to grow.
int SnugCapacity(int n) { return int(std::min<int64_t>(int64_t(n) + 1 + n / 8, INT32_MAX)); }
}  // namespace

void TextDocument::LoadLines(int first, int last) {
    if (!source) return;
    first = std::max(first, 0);
    last = std::min(last, lines->Count() - 1);
    const auto own = [&](Line& l, const wchar_t* t, int n) {
        const int cap = SnugCapacity(n);
        wchar_t* buf = TextAlloc::Allocate(cap);
        std::memcpy(buf, t, sizeof(wchar_t) * size_t(n));
        buf[n] = 0;
        l.text = buf;
        l.capacity = cap;
        l.length = n;
    };
    CPINFO info = {};
    const int cp = source->CodePage();
    const bool singleByte = encoding::UnitWidth(cp) == 1 && cp != encoding::kUtf8 && GetCPInfo(UINT(cp), &info) &&
                            info.MaxCharSize == 1;
    constexpr int64_t kMaxSpan = 4 << 20;
    for (int i = first; i <= last;) {
        Line& l = (*lines)[i];
        if (l.Loaded() || l.length <= 0) {
            ++i;
            continue;
        }
        if (singleByte) {
            // The run of unloaded lines whose bytes follow one another.
            const int64_t start = l.offset;
            int64_t end = start;
            int j = i;
            for (; j <= last; ++j) {
                const Line& m = (*lines)[j];
                if (m.Loaded()) break;
                if (m.length <= 0) continue;
                if (m.offset < end || m.offset + m.length - start > kMaxSpan) break;
                end = m.offset + m.length;
            }
            const int bytes = int(end - start);
            char* raw = Reserve(g_rawScratch, size_t(bytes));
            wchar_t* wide = Reserve(g_wideScratch, size_t(bytes) + 1);
            if (j > i && source->ReadBytes(start, bytes, raw) &&
                encoding::ToUtf16(cp, raw, bytes, wide, bytes) == bytes) {
                for (int k = i; k < j; ++k) {
                    Line& m = (*lines)[k];
                    if (m.length > 0) own(m, wide + (m.offset - start), m.length);
                }
                i = j;
                continue;
            }
        }
        int n = 0;
        const wchar_t* t = LineText(i, &n);
        if (!g_lineFailed) own((*lines)[i], t, n);
        ++i;
    }
}

void TextDocument::InsertIntoLine(Line& l, int column, const wchar_t* text, int k) {
    if (k <= 0) return;
    const int n = l.length;
    if (int64_t(n) + k >= l.capacity) {
        const int cap = Capacity(int64_t(n) + k, 1);
        wchar_t* buf = TextAlloc::Allocate(cap);
        std::memcpy(buf, l.text, sizeof(wchar_t) * size_t(column));
        std::memcpy(buf + column, text, sizeof(wchar_t) * size_t(k));
        std::memcpy(buf + column + k, l.text + column, sizeof(wchar_t) * size_t(n - column));
        TextAlloc::Free(l.text, l.capacity);
        l.text = buf;
        l.capacity = cap;
    } else {
        std::memmove(l.text + column + k, l.text + column, sizeof(wchar_t) * size_t(n - column));
        std::memcpy(l.text + column, text, sizeof(wchar_t) * size_t(k));
    }
    l.length = n + k;
    l.text[l.length] = 0;
}

void TextDocument::AppendNewLine(int at, const wchar_t* a, int na, const wchar_t* b, int nb) {
    Line l = EmptyLine();
    if (int64_t(na) + nb + 1 > INT32_MAX) throw std::bad_alloc();
    l.capacity = na + nb + 1;
    l.text = TextAlloc::Allocate(l.capacity);
    if (na) std::memcpy(l.text, a, sizeof(wchar_t) * size_t(na));
    if (nb) std::memcpy(l.text + na, b, sizeof(wchar_t) * size_t(nb));
    l.length = na + nb;
    l.text[l.length] = 0;
    lines->Insert(at, l);
}

Position TextDocument::Insert(Position p, const wchar_t* text, int length) {
    p = Clamp(p);
    if (!text || length <= 0) return p;
    LoadLine(p.line);
    // The first piece runs up to the first line break.
    int firstEnd = 0;
    while (firstEnd < length && text[firstEnd] != L'\r' && text[firstEnd] != L'\n') ++firstEnd;
    if (firstEnd == length) {
        InsertIntoLine((*lines)[p.line], p.column, text, length);
        return {p.line, p.column + length};
    }
    // The tail of the first line moves behind the last piece.
    Line& first = (*lines)[p.line];
    const int tailLen = first.length - p.column;
    std::wstring tail(first.text + p.column, size_t(tailLen));
    if (tailLen > 0) {
        const int cap = Capacity(int64_t(p.column) + firstEnd, 3);
        const int n = p.column + firstEnd;
        wchar_t* buf = TextAlloc::Allocate(cap);
        std::memcpy(buf, first.text, sizeof(wchar_t) * size_t(p.column));
        std::memcpy(buf + p.column, text, sizeof(wchar_t) * size_t(firstEnd));
        buf[n] = 0;
        TextAlloc::Free(first.text, first.capacity);
        first.text = buf;
        first.capacity = cap;
        first.length = n;
    } else {
        InsertIntoLine(first, p.column, text, firstEnd);
    }
    int line = p.line;
    int i = firstEnd;
    int lastLen = 0;
    while (i < length) {
        // Skip one line break: CR LF, LF or CR.
        i += (text[i] == L'\r' && i + 1 < length && text[i + 1] == L'\n') ? 2 : 1;
        int j = i;
        while (j < length && text[j] != L'\r' && text[j] != L'\n') ++j;
        ++line;
        lastLen = j - i;
        if (j == length)
            AppendNewLine(line, text + i, lastLen, tail.data(), tailLen);
        else
            AppendNewLine(line, text + i, lastLen, nullptr, 0);
        i = j;
    }
    return {line, lastLen};
}

void TextDocument::Delete(Position a, Position b) {
    a = Clamp(a);
    b = Clamp(b);
    if (b.line < a.line || (b.line == a.line && b.column <= a.column)) return;
    LoadLine(a.line);
    LoadLine(b.line);
    if (a.line == b.line) {
        Line& l = (*lines)[a.line];
        std::memmove(l.text + a.column, l.text + b.column,
                     sizeof(wchar_t) * size_t(l.length - b.column));
        l.length -= b.column - a.column;
        l.text[l.length] = 0;
        return;
    }
    Line& first = (*lines)[a.line];
    first.Reallocate(Capacity(a.column, 3), a.column);
    Line& last = (*lines)[b.line];
    InsertIntoLine((*lines)[a.line], a.column, last.text + b.column, last.length - b.column);
    lines->Erase(a.line + 1, b.line - a.line);
}

int TextDocument::ReadableLength(int i) {
    if (i < 0 || i >= lines->Count()) return -1;
    const Line& l = (*lines)[i];
    if (l.Loaded() || !source || l.length <= 0) return LineLength(i);
    int n = 0;
    LineText(i, &n);
    return g_lineFailed ? -1 : n;
}

namespace {

// A line of its own holding `text`, with some room to grow.
Line MadeLine(const std::wstring& text) {
    if (text.size() >= size_t(INT32_MAX) - 1) throw std::bad_alloc();
    const int n = int(text.size());
    Line l = EmptyLine();
    l.capacity = SnugCapacity(n);
    l.text = TextAlloc::Allocate(l.capacity);
    if (n) std::memcpy(l.text, text.data(), sizeof(wchar_t) * size_t(n));
    l.text[n] = 0;
    l.length = n;
    l.SetAttr(LA_CHANGED, 1);
    return l;
}

bool Earlier(Position a, Position b) { return a.line < b.line || (a.line == b.line && a.column < b.column); }

}  // namespace

void TextDocument::ReplaceLines(int at, int count, std::vector<Line>& made) {
    const int n = int(made.size());
    const int keep = std::min(count, n);
    // Room first: what follows cannot fail, so no made line is left half-owned.
    if (n > keep) lines->MakeRoom(n - keep);
    for (int j = 0; j < keep; ++j) {
        Line& l = (*lines)[at + j];
        uint8_t attr[4];
        std::memcpy(attr, l.attr, sizeof attr);
        l.Release();
        l = made[size_t(j)];
        // The first line keeps its marks, as after an edit inside it; the
        // others are new.
        if (j == 0) {
            std::memcpy(l.attr, attr, sizeof attr);
            l.SetAttr(LA_CHANGED, 1);
        }
    }
    if (count > n) lines->Erase(at + n, count - n);
    for (int j = keep; j < n; ++j) lines->Insert(at + j, made[size_t(j)]);
    made.clear();
}

int TextDocument::ReplacePieces(const ReplacePiece* pieces, int count, const wchar_t* texts, ReplacePiece* inverse,
                                wchar_t* removedOut, size_t* written, Position* track, int tracked,
                                Position span[3], const std::function<bool(int)>* going) {
    // The tracked positions in text order, carried as the pieces pass them.
    std::vector<int> order(size_t(std::max(tracked, 0)));
    for (int i = 0; i < tracked; ++i) order[size_t(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return Earlier(track[a], track[b]); });
    size_t nextTracked = 0;
    // The ends of the last piece done, before and after: a position after
    // it moves with its end.
    Position lastOld = {0, 0}, lastNew = {0, 0};
    const auto carryTo = [&](Position until, bool inclusive) {
        for (; nextTracked < order.size(); ++nextTracked) {
            Position& p = track[order[nextTracked]];
            if (!(Earlier(p, until) || (inclusive && p == until))) break;
            p = p.line == lastOld.line ? Position{lastNew.line, lastNew.column + (p.column - lastOld.column)}
                                       : Position{p.line + (lastNew.line - lastOld.line), p.column};
        }
    };

    std::wstring build, cur;  // the line being made; the old line being read
    std::vector<Line> made;
    const auto read = [&](int index) {
        int n = 0;
        const wchar_t* t = LineText(index, &n);
        if (g_lineFailed) throw std::bad_alloc();
        cur.assign(t, size_t(n));
    };
    size_t textAt = 0, outAt = 0;
    const wchar_t* lastText = texts;  // the text of the piece before
    int lastLength = 0;
    size_t lastRemoved = 0;  // where the removed text of the piece before starts in removedOut
    int lastRemovedLength = -1;
    int delta = 0;  // new index minus old index of the lines after the pieces done
    span[0] = {pieces[0].line, pieces[0].column};
    int k = 0;
    // Where the run of pieces being made began: running out of memory in it
    // leaves the document as the runs before made it.
    int runStart = 0;
    size_t runOut = 0;
    Position runOld = lastOld, runNew = lastNew;
    try {
        while (k < count && (k == 0 || !going || (*going)(k))) {
            runStart = k;
            runOut = outAt;
            runOld = lastOld;
            runNew = lastNew;
            // A run of pieces, each starting on the line where the one before
            // it ended: the lines from its first to its last are made anew.
            const int first = pieces[k].line;
            if (first + delta < 0 || first + delta >= lines->Count()) break;  // not in the text
            int line = first;  // the old line being read
            read(first + delta);
            int at = 0;        // the units of `cur` taken so far
            for (;;) {
                const ReplacePiece& p = pieces[k];
                const Position start = {line, std::clamp(p.column, at, int(cur.size()))};
                // Before the piece (at its start only when it removes
                // something; an insertion there goes before them).
                carryTo(start, p.removed > 0);
                build.append(cur, size_t(at), size_t(start.column - at));
                // What it removes, line breaks included.
                const size_t removedAt = outAt;
                int rest = p.removed, c = start.column;
                for (;;) {
                    const int avail = int(cur.size()) - c;
                    if (rest <= avail) {
                        if (removedOut) std::copy_n(cur.data() + c, rest, removedOut + outAt);
                        outAt += size_t(rest);
                        c += rest;
                        break;
                    }
                    if (line + delta + 1 >= lines->Count()) {  // not in the text: stop at its end
                        c = int(cur.size());
                        break;
                    }
                    if (removedOut) {
                        std::copy_n(cur.data() + c, avail, removedOut + outAt);
                        removedOut[outAt + size_t(avail)] = L'\n';
                    }
                    outAt += size_t(avail) + 1;
                    rest -= avail + 1;
                    read(++line + delta);
                    c = 0;
                }
                const Position oldEnd = {line, c};
                const Position newStart = {first + delta + int(made.size()), int(build.size())};
                // Its text: each CR LF, LF or CR ends a line.
                const wchar_t* t = lastText;
                int n = lastLength;
                if (p.inserted != kSameText) {
                    t = texts + textAt;
                    n = p.inserted;
                    textAt += size_t(n);
                }
                lastText = t;
                lastLength = n;
                int units = 0;
                for (int i = 0; i < n; ++i, ++units) {
                    const wchar_t ch = t[i];
                    if (ch != L'\r' && ch != L'\n') {
                        build.push_back(ch);
                        continue;
                    }
                    if (ch == L'\r' && i + 1 < n && t[i + 1] == L'\n') ++i;
                    made.push_back(MadeLine(build));
                    build.clear();
                }
                const Position newEnd = {first + delta + int(made.size()), int(build.size())};
                if (inverse) {
                    // A removed text like the one before is kept once.
                    int kept = p.removed;
                    if (removedOut && p.removed > 0 && p.removed == lastRemovedLength &&
                        std::wmemcmp(removedOut + removedAt, removedOut + lastRemoved, size_t(p.removed)) == 0) {
                        outAt = removedAt;
                        kept = kSameText;
                    } else {
                        lastRemoved = removedAt;
                        lastRemovedLength = p.removed;
                    }
                    inverse[k] = {newStart.line, newStart.column, units, kept};
                }
                // Inside what it removed: to its start.
                for (; nextTracked < order.size() && Earlier(track[order[nextTracked]], oldEnd); ++nextTracked)
                    track[order[nextTracked]] = newStart;
                lastOld = oldEnd;
                lastNew = newEnd;
                at = c;
                if (++k == count || pieces[k].line != line) break;
            }
            build.append(cur, size_t(at), std::wstring::npos);
            Line& own = (*lines)[first + delta];
            if (made.empty() && line == first && own.Loaded() && size_t(own.capacity) > build.size()) {
                // One line made of one: in its own buffer.
                std::memcpy(own.text, build.data(), sizeof(wchar_t) * build.size());
                own.length = int(build.size());
                own.text[own.length] = 0;
                own.SetAttr(LA_CHANGED, 1);
                build.clear();
                continue;
            }
            made.push_back(MadeLine(build));
            build.clear();
            const int made_ = int(made.size());
            ReplaceLines(first + delta, line - first + 1, made);
            delta += made_ - (line - first + 1);
        }
    } catch (const std::bad_alloc&) {
        for (Line& l : made) l.Release();
        made.clear();
        if (runStart == 0) throw;  // nothing changed
        k = runStart;  // the runs before it are done: they are told and kept
        outAt = runOut;
        lastOld = runOld;
        lastNew = runNew;
    }
    carryTo({INT32_MAX, INT32_MAX}, true);
    span[1] = lastOld;
    span[2] = lastNew;
    // Lines after the first changed: their lexer states are stale.
    if (span[1].line > span[0].line || span[2].line > span[0].line)
        statesValidTo = std::min(statesValidTo, span[0].line + 1);
    if (written) *written = outAt;
    return k;
}

const wchar_t* TextDocument::BreakString(int breakType) {
    switch (breakType) {
        case LB_LF: return L"\n";
        case LB_CR: return L"\r";
        default: return L"\r\n";
    }
}

int TextDocument::RangeLength(Position a, Position b, int breakType) {
    return CopyRange(a, b, breakType, nullptr);
}

int TextDocument::CopyRange(Position a, Position b, int breakType, wchar_t* out) {
    a = Clamp(a);
    b = Clamp(b);
    if (b.line < a.line || (b.line == a.line && b.column <= a.column)) return 0;
    const wchar_t* brk = BreakString(breakType ? breakType : lineBreak);
    const int brkLen = int(wcslen(brk));
    int total = 0;
    for (int i = a.line; i <= b.line; ++i) {
        int n = 0;
        const wchar_t* t = out ? LineText(i, &n) : nullptr;
        if (!out) n = LineLength(i);
        const int from = i == a.line ? a.column : 0;
        const int to = i == b.line ? b.column : n;
        if (to > from) {
            if (out) std::memcpy(out + total, t + from, sizeof(wchar_t) * size_t(to - from));
            total += to - from;
        }
        if (i != b.line) {
            if (out) std::memcpy(out + total, brk, sizeof(wchar_t) * size_t(brkLen));
            total += brkLen;
        }
    }
    return total;
}

void TextDocument::Changed(Position s, Position e0, Position e1) {
    const bool insertion = s.line == e0.line && s.column == e0.column;
    const int count = lines->Count();
    const int markTo = std::min(insertion ? e1.line : s.line, count - 1);
    for (int i = std::max(s.line, 0); i <= markTo; ++i) (*lines)[i].SetAttr(LA_CHANGED, 1);
    foldsValidFrom = std::min(foldsValidFrom, indentFolds ? IndentFoldsStaleFrom(s.line) : s.line);
    bool statesChanged = false;
    if (lexer) {
        const int from = std::min(s.line, statesValidTo);
        const int last = insertion ? e1.line : s.line;
        statesChanged = UpdateStates(from, last);
        // Lines were joined or split: the line after the edit was lexed
        // after another line than the one now before it, so an unchanged
        // state of the last line proves nothing about the lines after it.
        if (e0.line != e1.line && !statesChanged) {
            statesValidTo = std::min(statesValidTo, last + 1);
            statesChanged = true;
        }
    }
    // Copy: a view may detach itself while it is being told.
    const std::vector<DocView*> targets = views;
    for (DocView* v : targets) v->TextChanged(s, e0, e1, statesChanged);
}

bool TextDocument::UpdateStates(int first, int last) {
    const int count = lines->Count();
    if (!lexer) return false;
    first = std::max(first, 0);
    last = std::min(last, count - 1);
    if (first > last) return false;
    int prev = first > 0 ? (*lines)[first - 1].GetAttr(LA_LEXSTATE) : 0;
    bool changed = false;
    for (int i = first; i <= last; ++i) {
        int n = 0;
        const wchar_t* t = LineText(i, &n);
        const int old = (*lines)[i].GetAttr(LA_LEXSTATE);
        const int state = lexer->LineState(i, t, LexedLength(n), prev, nullptr) & 0xFF;
        (*lines)[i].SetAttr(LA_LEXSTATE, state);
        changed = state != old;
        prev = state;
    }
    // A changed last state makes the lines after it stale; a run that reached
    // past the valid lines extends them.
    if (first <= statesValidTo && (changed || last + 1 > statesValidTo))
        statesValidTo = last + 1;
    else if (changed)
        statesValidTo = std::min(statesValidTo, last + 1);
    return changed;
}

void TextDocument::EnsureStates(int line) {
    if (!lexer || line < statesValidTo) return;
    line = std::min(line, lines->Count() - 1);
    UpdateStates(statesValidTo, line);
    statesValidTo = std::max(statesValidTo, line + 1);
}

int TextDocument::StyleAt(Position p) {
    if (!lexer || p.line < 0 || p.line >= lines->Count()) return 0;
    EnsureStates(p.line - 1);
    int n = 0;
    const wchar_t* t = LineText(p.line, &n);
    if (p.column < 0 || p.column >= n) return 0;
    std::vector<unsigned short> styles(size_t(n) + 1, 0);
    // The text may live in the scratch buffer: keep a copy across the call.
    std::wstring copy(t, size_t(n));
    const int prev = p.line > 0 ? (*lines)[p.line - 1].GetAttr(LA_LEXSTATE) : 0;
    lexer->LineState(p.line, copy.c_str(), LexedLength(n), prev, styles.data());
    return styles[size_t(p.column)] & STYLE_CLASS_MASK;
}

void TextDocument::SetLexer(ILexer* lx, bool reset) {
    lexer = lx;
    if (reset) {
        statesValidTo = 0;
        foldsValidFrom = 0;
        NotifyAttributesChanged();
    }
}

int TextDocument::ComputeFolds(int maxLines) {
    const int count = lines->Count();
    if (!lexer) return count;
    if (indentFolds) return ComputeIndentFolds(maxLines);
    int line = std::max(foldsValidFrom, 0);
    std::vector<unsigned short> styles;
    for (int done = 0; line < count && done < maxLines; ++line, ++done) {
        int n = 0;
        const wchar_t* t = LineText(line, &n);
        n = LexedLength(n);
        std::wstring text(t, size_t(n));
        styles.assign(size_t(n) + 1, 0);
        int state = (*lines)[line].GetAttr(LA_LEXSTATE);
        const int prev = line > 0 ? (*lines)[line - 1].GetAttr(LA_LEXSTATE) : 0;
        if (state == 0) state = lexer->LineState(line, text.c_str(), n, prev, styles.data());
        const int level = lexer->FoldLevel(line, text.c_str(), n, state, prev,
                                           (*lines)[line].GetAttr(LA_FOLDLEVEL), styles.data());
        if (level < 0) {
            foldsValidFrom = count;
            return count;
        }
        if (line + 1 < count) (*lines)[line + 1].SetAttr(LA_FOLDLEVEL, level);
    }
    foldsValidFrom = line;
    return line;
}

namespace {

constexpr int kIndentTab = 8;           // a tab advances to the next multiple of 8 columns
constexpr int kDeepestIndent = 62;      // indentation levels stop here; 63 is one deeper
constexpr int kBlankLookahead = 1000;   // blank lines looked through for the line after them

}  // namespace

int TextDocument::IndentLevel(int line) {
    int n = 0;
    const wchar_t* t = LineText(line, &n);
    int columns = 0;
    for (int i = 0; i < n; ++i) {
        if (t[i] == L' ')
            ++columns;
        else if (t[i] == L'\t')
            columns = (columns / kIndentTab + 1) * kIndentTab;
        else if (t[i] != L'\f' && t[i] != L'\v')
            return std::min(columns, kDeepestIndent);
    }
    return -1;
}

int TextDocument::IndentFoldsStaleFrom(int line) {
    // A line's own level depends on its text, and blank lines before it
    // take theirs from it: the pass starts over before both.
    line = std::clamp(line, 0, lines->Count() - 1);
    const int stop = std::max(line - kBlankLookahead, 0);
    while (line > stop && IndentLevel(line - 1) < 0) --line;
    return std::max(line - 1, 0);
}

void TextDocument::SetIndentFolds(bool on) {
    if (indentFolds == on) return;
    indentFolds = on;
    foldsValidFrom = 0;
}

// The level of line L + 1 from the line itself: its indentation in columns
// (at most 62); a blank line takes the level of the first line after it
// that is not blank (0 when none follows within 1,000 lines), so that blank
// lines inside a block stay in it and those after it do not; a line that
// starts inside a region spanning lines is one deeper than the line that
// opened the region, and as deep as the line before while the region goes on.
int TextDocument::ComputeIndentFolds(int maxLines) {
    const int count = lines->Count();
    int line = std::max(foldsValidFrom, 0);
    const int last = std::min(count - 1, line + maxLines - 1);
    if (line <= last) EnsureStates(last);
    int blankRunEnd = -1, blankRunLevel = 0;  // blank lines before blankRunEnd take blankRunLevel
    for (; line <= last; ++line) {
        if (line + 1 >= count) continue;
        const int state = (*lines)[line].GetAttr(LA_LEXSTATE);
        const int prev = line > 0 ? (*lines)[line - 1].GetAttr(LA_LEXSTATE) : 0;
        const int own = line > 0 ? (*lines)[line].GetAttr(LA_FOLDLEVEL) : 0;
        int level = 0;
        if (state != 0) {
            level = prev == 0 ? std::min(own + 1, 63) : own;
        } else if (line + 1 < blankRunEnd) {
            level = blankRunLevel;
        } else if ((level = IndentLevel(line + 1)) < 0) {
            int next = line + 2;
            const int stop = std::min(count, line + 1 + kBlankLookahead);
            while (next < stop && IndentLevel(next) < 0) ++next;
            blankRunEnd = next;
            blankRunLevel = level = next < stop ? IndentLevel(next) : 0;
        }
        (*lines)[line + 1].SetAttr(LA_FOLDLEVEL, level);
    }
    foldsValidFrom = line;
    return line;
}

int TextDocument::GetAttr(int line, int kind) {
    if (line < 0 || line >= lines->Count()) return 0;
    return (*lines)[line].GetAttr(kind);
}

bool TextDocument::SetAttr(int line, int kind, int value) {
    if (line < 0 || line >= lines->Count() || !(*lines)[line].SetAttr(kind, value)) return false;
    if (kind == LA_BOOKMARK || kind == LA_MARKER1 || kind == LA_MARKER2) NotifyAttributesChanged();
    return true;
}

bool TextDocument::AttachSource(LineFileSource* src) {
    LineVector* fresh = src->ScanLines();
    if (!fresh) return false;
    delete lines;
    lines = fresh;
    delete source;
    source = src;
    sourceCodePage = currentCodePage = src->CodePage();
    if (src->BomLength() > 0) hasBom = 1;
    statesValidTo = 0;
    foldsValidFrom = 0;
    const std::vector<DocView*> targets = views;
    for (DocView* v : targets) v->Reloaded();
    return true;
}

void TextDocument::EmptyUndo() {
    undo.ForEach([](Command* c) { delete c; });
    redo.ForEach([](Command* c) { delete c; });
    while (undo.RemoveTail()) {}
    while (redo.RemoveTail()) {}
    savePoint = 0;
}

int TextDocument::SetRecording(bool on) {
    if (on) {
        recording = 1;
    } else {
        // The history goes, but whether the text differs from the saved file
        // does not change with it.
        const bool modified = IsModified();
        if (recording) EmptyUndo();
        savePoint = modified ? kNeverSaved : undo.Count();
        recording = 0;
    }
    return recording;
}

void TextDocument::AddView(DocView* v) {
    if (std::find(views.begin(), views.end(), v) == views.end()) views.push_back(v);
}

void TextDocument::RemoveView(DocView* v) {
    views.erase(std::remove(views.begin(), views.end(), v), views.end());
}

void TextDocument::NotifyClosing() {
    const std::vector<DocView*> targets = views;
    views.clear();
    for (DocView* v : targets) v->DocumentClosing();
}

void TextDocument::NotifyAttributesChanged() {
    const std::vector<DocView*> targets = views;
    for (DocView* v : targets) v->AttributesChanged();
}

bool TextDocument::Valid() const {
    if (!lines->Valid() || lines->Count() < 1) return false;
    for (int i = 0; i < lines->Count(); ++i) {
        const Line& l = (*lines)[i];
        if (l.capacity < 0 || l.length < 0) return false;
        if (l.Loaded() && (l.length >= l.capacity || l.text[l.length] != 0)) return false;
    }
    return true;
}
