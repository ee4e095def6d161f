#include "SyntaxParser.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <cwchar>
#include <cwctype>
#include <typeinfo>

namespace syntax {

namespace {

// "+text+" longer than two characters is literal text.
bool IsLiteral(const std::wstring& p) { return p.size() > 2 && p.front() == L'+' && p.back() == L'+'; }

}  // namespace

std::unique_ptr<Regex> CompilePattern(const std::wstring& pattern, bool caseSensitive) {
    if (pattern.empty()) return nullptr;
    auto expr = std::make_unique<Regex>();
    expr->Compile(pattern.c_str(), int(pattern.size()), caseSensitive ? 0 : mrx::IGNORECASE);
    return expr;
}

CSyntaxRegion::CSyntaxRegion(int id_, int style_, const std::wstring& begin, const std::wstring& end,
                             bool caseSensitive_)
    : id(id_), style(style_ & 31), caseSensitive(caseSensitive_), beginText(begin), endText(end) {
    if (IsLiteral(begin))
        beginLiteral = begin.substr(1, begin.size() - 2);
    else
        beginExpr = CompilePattern(begin, caseSensitive);
    if (IsLiteral(end))
        endLiteral = end.substr(1, end.size() - 2);
    else
        endExpr = CompilePattern(end, caseSensitive);
}

CSyntaxRegion::~CSyntaxRegion() = default;

void CSyntaxRegion::AddRegion(CSyntaxRegion* child) {
    if (!child) return;
    child->parent = this;
    children.push_back(child);
}

void CSyntaxRegion::AddItem(SyntaxItem* item) {
    if (item) items.push_back(item);
}

CStringRegion::CStringRegion(int id_, int style_, wchar_t quote_, wchar_t escape_)
    : CSyntaxRegion(id_, style_, std::wstring(), std::wstring(), false), quote(quote_), escape(escape_) {}

// The pairs of region and open text that line states 64-255 stand for. One
// lexer may serve documents on more than one thread.
class CSyntaxParser::CCarriedStates {
public:
    // The state for `id` with `open`; `id` alone when every state is taken.
    int StateOf(int id, const std::wstring& open) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto key = std::make_pair(id, open);
        const auto it = index_.find(key);
        if (it != index_.end()) return it->second;
        if (kFirstCarried + int(pairs_.size()) > kLastState) return id;
        const int state = kFirstCarried + int(pairs_.size());
        pairs_.push_back(key);
        index_.emplace(key, state);
        return state;
    }
    // The region of `state` (0 for one never given) and its open text.
    int RegionOf(int state, std::wstring* open) {
        std::lock_guard<std::mutex> lock(mutex_);
        const size_t k = size_t(state - kFirstCarried);
        if (k >= pairs_.size()) return 0;
        *open = pairs_[k].second;
        return pairs_[k].first;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<int, std::wstring>> pairs_;
    std::map<std::pair<int, std::wstring>, int> index_;
};

CSyntaxParser::CSyntaxParser()
    : root_(std::make_unique<CSyntaxRegion>(0, 0, L"", L"", false)), carried_(std::make_unique<CCarriedStates>()) {}

CSyntaxParser::~CSyntaxParser() = default;

CSyntaxRegion* CSyntaxParser::CreateRegion(int id, int style, const std::wstring& begin, const std::wstring& end,
                                           bool caseSensitive) {
    regions_.push_back(std::make_unique<CSyntaxRegion>(id, style, begin, end, caseSensitive));
    return regions_.back().get();
}

CSyntaxRegion* CSyntaxParser::CreateStringRegion(int id, int style, wchar_t quote, wchar_t escape) {
    regions_.push_back(std::make_unique<CStringRegion>(id, style, quote, escape));
    return regions_.back().get();
}

CSyntaxRegion* CSyntaxParser::CreateMatchedRegion(int id, int style, const std::wstring& begin,
                                                  const std::wstring& end, bool caseSensitive) {
    regions_.push_back(std::make_unique<CMatchedRegion>(id, style, begin, end, caseSensitive));
    return regions_.back().get();
}

CSyntaxRegion* CSyntaxParser::CreateQuoteRegion(int id, int style, const std::wstring& begin, wchar_t escape,
                                                int parts) {
    regions_.push_back(std::make_unique<CQuoteRegion>(id, style, begin, escape, parts));
    return regions_.back().get();
}

CSyntaxRegion* CSyntaxParser::CreateSkip(const std::wstring& pattern, bool caseSensitive) {
    // Never literal: "+x+" is an expression here.
    regions_.push_back(std::make_unique<CSyntaxRegion>(kLineRegion, 0, L"", L"", caseSensitive));
    CSyntaxRegion* r = regions_.back().get();
    r->beginText = pattern;
    r->beginExpr = CompilePattern(pattern, caseSensitive);
    r->skip = true;
    return r;
}

SyntaxItem* CSyntaxParser::CreateItem(int style, const std::wstring& pattern, bool caseSensitive) {
    auto item = std::make_unique<SyntaxItem>();
    item->style = style & 31;
    item->expr = CompilePattern(pattern, caseSensitive);
    items_.push_back(std::move(item));
    return items_.back().get();
}

// ---- Lexing ----------------------------------------------------------------
//
// A line is styled by region passes: a pass paints its region's extent, its
// items and counts its fold marks, then walks the extent for child regions
// (the first child, in order, that begins at a position wins) and runs a
// pass for each. The walk does not try every child at every position: each
// child keeps the next position where it begins, found by one forward
// search, which stays valid until the walk passes it; the nearest of them
// (the earliest child on a tie) is where the next child starts. That is the
// same answer as trying the children position by position, at one search
// per child start instead of one per unit.

namespace {

constexpr unsigned short kStyleBits = 0x001F;
constexpr unsigned short kRegionBits = 0x7E00;
// Passes nested deeper than this do not enter child regions: a region added
// below itself would otherwise recurse without end.
constexpr int kMaxDepth = 32;
// The work one line may take, in units of pass extents (each pass, and each
// restart of one, costs its extent plus one). Real trees take a few times
// the line's length; trees whose regions nest in themselves, where restarts
// could multiply level by level, stop entering child regions once it is
// spent, so that a line's work stays within a multiple of its length.
long long LineBudget(int length) { return 64LL * (length + 1) + 4096; }

wchar_t FoldAZ(wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c + 32) : c; }

// The system's lower-casing of one unit.
wchar_t Lower(wchar_t c) {
    if (c < 128) return FoldAZ(c);
    return wchar_t(reinterpret_cast<ULONG_PTR>(CharLowerW(reinterpret_cast<LPWSTR>(ULONG_PTR(c)))));
}

bool LiteralAt(const std::wstring& lit, bool caseSensitive, const wchar_t* text, int length, int pos) {
    const int n = int(lit.size());
    if (pos < 0 || pos > length - n) return false;
    if (caseSensitive) {
        for (int k = 0; k < n; ++k)
            if (text[pos + k] != lit[size_t(k)]) return false;
    } else {
        for (int k = 0; k < n; ++k)
            if (FoldAZ(text[pos + k]) != FoldAZ(lit[size_t(k)])) return false;
    }
    return true;
}

}  // namespace

int CSyntaxRegion::BeginLength(const wchar_t* text, int length, int pos) const {
    if (!text || pos < 0 || pos >= length) return 0;
    if (beginExpr) {
        const mrx::MatchResult m = beginExpr->Search(text, length, pos, pos);
        return m.Matched() && m.End() > m.Start() ? m.End() - m.Start() : 0;
    }
    if (!beginLiteral.empty() && LiteralAt(beginLiteral, caseSensitive, text, length, pos))
        return int(beginLiteral.size());
    return 0;
}

namespace {

// An end expression's first match at or after `from`: a match of some
// length, or an empty one at the line's end.
bool SearchEnd(const Regex& expr, const wchar_t* text, int length, int from, int* endPos, int* endLength) {
    if (!text || from > length) return false;
    from = std::max(from, 0);
    const mrx::MatchResult m = expr.Search(text, length, from, -1);
    if (!m.Matched() || (m.End() == m.Start() && m.Start() != length)) return false;
    *endPos = m.Start();
    *endLength = m.End() - m.Start();
    return true;
}

bool SearchLiteral(const std::wstring& lit, bool caseSensitive, const wchar_t* text, int length, int from,
                   int* endPos, int* endLength) {
    const int n = int(lit.size());
    if (!text || n == 0) return false;
    for (int p = std::max(from, 0); p <= length - n; ++p) {
        int k = 0;
        if (caseSensitive)
            while (k < n && text[p + k] == lit[size_t(k)]) ++k;
        else
            while (k < n && Lower(text[p + k]) == Lower(lit[size_t(k)])) ++k;
        if (k == n) {
            *endPos = p;
            *endLength = n;
            return true;
        }
    }
    return false;
}

}  // namespace

bool CSyntaxRegion::FindEnd(const wchar_t* text, int length, int from, int* endPos, int* endLength) const {
    *endPos = 0;
    *endLength = 0;
    if (!endExpr && endLiteral.empty()) {  // no end pattern: the region closes with its line
        *endPos = length - 1;
        *endLength = 1;
        return true;
    }
    if (endExpr) return SearchEnd(*endExpr, text, length, from, endPos, endLength);
    return SearchLiteral(endLiteral, caseSensitive, text, length, from, endPos, endLength);
}

std::wstring CSyntaxRegion::OpenText(const wchar_t*, int, int, int) const { return {}; }

bool CSyntaxRegion::FindEndOf(const std::wstring&, const wchar_t* text, int length, int from, int* endPos,
                              int* endLength, std::wstring*) const {
    return FindEnd(text, length, from, endPos, endLength);
}

// ---- Regions that carry their open text ------------------------------------

namespace {

// The begin match at `pos` with its groups.
mrx::MatchResult BeginMatch(const Regex* expr, const wchar_t* text, int length, int pos) {
    if (!expr || !text || pos < 0 || pos >= length) return {};
    return expr->Search(text, length, pos, pos);
}

std::wstring Group(const mrx::MatchResult& m, const wchar_t* text, int g) {
    if (!m.Matched() || g >= m.GroupCount() || m.Start(g) < 0 || m.End(g) < m.Start(g)) return {};
    return std::wstring(text + m.Start(g), size_t(m.End(g) - m.Start(g)));
}

bool IsMeta(wchar_t c) { return c != 0 && std::wcschr(L"\\^$.|?*+()[]{}", c) != nullptr; }

}  // namespace

struct CMatchedRegion::Compiled {
    std::mutex mutex;
    std::map<std::wstring, std::shared_ptr<Regex>> byText;
};

CMatchedRegion::CMatchedRegion(int id_, int style_, const std::wstring& begin, const std::wstring& end,
                               bool caseSensitive_)
    : CSyntaxRegion(id_, style_, begin, L"", caseSensitive_),
      endTemplate_(IsLiteral(end) ? end.substr(1, end.size() - 2) : end),
      literalEnd_(IsLiteral(end)),
      compiled_(std::make_unique<Compiled>()) {
    endText = end;
}

CMatchedRegion::~CMatchedRegion() = default;

std::wstring CMatchedRegion::OpenText(const wchar_t* text, int length, int pos, int) const {
    const mrx::MatchResult m = BeginMatch(beginExpr.get(), text, length, pos);
    std::wstring out;
    const std::wstring& t = endTemplate_;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] != L'\\' || i + 1 == t.size()) {
            out += t[i];
            continue;
        }
        const wchar_t next = t[++i];
        if (next >= L'1' && next <= L'9') {
            for (wchar_t c : Group(m, text, next - L'0')) {
                if (!literalEnd_ && IsMeta(c)) out += L'\\';
                out += c;
            }
        } else if (literalEnd_ && next == L'\\') {
            out += next;
        } else {
            out += t[i - 1];
            out += next;
        }
    }
    return out;
}

bool CMatchedRegion::FindEndOf(const std::wstring& open, const wchar_t* text, int length, int from, int* endPos,
                               int* endLength, std::wstring* still) const {
    *endPos = 0;
    *endLength = 0;
    *still = open;
    if (literalEnd_) return SearchLiteral(open, caseSensitive, text, length, from, endPos, endLength);
    if (open.empty()) return false;
    std::shared_ptr<Regex> expr;
    {
        std::lock_guard<std::mutex> lock(compiled_->mutex);
        auto& slot = compiled_->byText[open];
        if (!slot) {
            if (compiled_->byText.size() > 256) {  // a file of many different words: start again
                compiled_->byText.clear();
                expr = CompilePattern(open, caseSensitive);
                compiled_->byText[open] = expr;
            } else {
                slot = CompilePattern(open, caseSensitive);
            }
        }
        if (!expr) expr = compiled_->byText[open];
    }
    return expr && SearchEnd(*expr, text, length, from, endPos, endLength);
}

namespace {

wchar_t ClosingOf(wchar_t c) {
    switch (c) {
        case L'(': return L')';
        case L'[': return L']';
        case L'{': return L'}';
        case L'<': return L'>';
        default: return c;
    }
}

// A quote region's open text: closing and opening delimiter, nesting depth,
// parts still to end, and whether the next part's delimiter is still to come.
struct QuoteState {
    wchar_t close = 0, open = 0;
    int depth = 0, partsLeft = 1;
    bool awaiting = false;

    static QuoteState From(const std::wstring& s) {
        QuoteState q;
        if (s.size() < 5) return q;
        q.close = s[0];
        q.open = s[1];
        q.depth = int(s[2]) - 1;
        q.partsLeft = int(s[3]);
        q.awaiting = s[4] != 0;
        return q;
    }
    std::wstring Text() const {
        return std::wstring{close, open, wchar_t(std::min(depth + 1, 0xFFFF)), wchar_t(partsLeft),
                            wchar_t(awaiting ? 1 : 0)};
    }
};

}  // namespace

CQuoteRegion::CQuoteRegion(int id_, int style_, const std::wstring& begin, wchar_t escape_, int parts_)
    : CSyntaxRegion(id_, style_, begin, L"", true), escape(escape_), parts(std::clamp(parts_, 1, 2)) {}

std::wstring CQuoteRegion::OpenText(const wchar_t* text, int length, int pos, int beginLength) const {
    const mrx::MatchResult m = BeginMatch(beginExpr.get(), text, length, pos);
    QuoteState q;
    const std::wstring delimiter = Group(m, text, 1);
    if (!delimiter.empty())
        q.open = delimiter[0];
    else if (beginLength > 0 && pos + beginLength <= length)
        q.open = text[pos + beginLength - 1];
    q.close = ClosingOf(q.open);
    q.partsLeft = parts;
    return q.Text();
}

bool CQuoteRegion::FindEndOf(const std::wstring& open, const wchar_t* text, int length, int from, int* endPos,
                             int* endLength, std::wstring* still) const {
    *endPos = 0;
    *endLength = 0;
    QuoteState q = QuoteState::From(open);
    if (!q.close) {  // no delimiter known: the line ends it
        *endPos = length;
        return true;
    }
    for (int p = std::max(from, 0); text && q.close && p < length; ++p) {
        const wchar_t c = text[p];
        if (q.awaiting) {  // between the bodies of a bracketed substitution
            if (c == L' ' || c == L'\t') continue;
            if (c == L'#') break;  // a comment to the line's end
            q.open = c;
            q.close = ClosingOf(c);
            q.depth = 0;
            q.awaiting = false;
            continue;
        }
        if (escape && c == escape) {
            ++p;
            continue;
        }
        if (q.open != q.close && c == q.open) {
            ++q.depth;
            continue;
        }
        if (c != q.close) continue;
        if (q.depth > 0) {
            --q.depth;
            continue;
        }
        if (--q.partsLeft <= 0) {
            *endPos = p;
            *endLength = 1;
            return true;
        }
        q.awaiting = q.open != q.close;
    }
    *still = q.Text();
    return false;
}

int CStringRegion::BeginLength(const wchar_t* text, int length, int pos) const {
    return text && quote && pos >= 0 && pos < length && text[pos] == quote ? 1 : 0;
}

bool CStringRegion::FindEnd(const wchar_t* text, int length, int from, int* endPos, int* endLength) const {
    *endPos = 0;
    *endLength = 0;
    if (!text) return false;
    for (int p = std::max(from, 0); p < length; ++p) {
        if (escape && text[p] == escape) {
            ++p;  // the escaped unit never ends the string
        } else if (quote && text[p] == quote) {
            *endPos = p;
            *endLength = 1;
            return true;
        }
    }
    return false;
}

struct CSyntaxParser::LineText {
    const wchar_t* text;
    int length;
    unsigned short* styles;
    bool fold;
};

namespace {

// The unit every match of `pattern` starts with, 0 when there is none to
// tell: a first unit that is plain (or an escaped punctuation character),
// not repeated optionally, in a pattern without an alternative at its top
// level. A letter counts only when case matters.
wchar_t LeadingUnit(const std::wstring& pattern, bool caseSensitive) {
    if (pattern.empty()) return 0;
    size_t i = 0;
    wchar_t unit = pattern[0];
    if (unit == L'\\') {
        if (pattern.size() < 2 || iswalnum(pattern[1]) || pattern[1] > 127) return 0;
        unit = pattern[1];
        i = 2;
    } else {
        if (std::wcschr(L"^$.|?*+()[]{}", unit) || unit < 32) return 0;
        i = 1;
    }
    if (!caseSensitive && iswalpha(unit)) return 0;
    if (i < pattern.size() && std::wcschr(L"?*{", pattern[i])) return 0;
    int depth = 0;
    bool inClass = false;
    for (size_t k = 0; k < pattern.size(); ++k) {
        const wchar_t c = pattern[k];
        if (c == L'\\') {
            ++k;
        } else if (inClass) {
            inClass = c != L']';
        } else if (c == L'[') {
            inClass = true;
        } else if (c == L'(') {
            ++depth;
        } else if (c == L')') {
            --depth;
        } else if (c == L'|' && depth == 0) {
            return 0;
        }
    }
    return unit;
}

}  // namespace

int CSyntaxParser::NextBegin(const CSyntaxRegion* r, const wchar_t* text, int length, int from, int last,
                             int* beginLength) {
    using Kind = CSyntaxRegion::BeginKind;
    if (r->beginKind_ == Kind::kUnknown) {
        // Other kinds of region are asked position by position, as is an
        // expression that depends on where the search started (\G).
        if (typeid(*r) == typeid(CStringRegion))
            r->beginKind_ = Kind::kQuote;
        else if (typeid(*r) != typeid(CSyntaxRegion) && typeid(*r) != typeid(CMatchedRegion) &&
                 typeid(*r) != typeid(CQuoteRegion))
            r->beginKind_ = Kind::kEachPosition;
        else if (r->beginExpr && r->beginText.find(L"\\G") != std::wstring::npos)
            r->beginKind_ = Kind::kEachPosition;
        else if (r->beginExpr)
            r->beginKind_ = (r->beginUnit_ = LeadingUnit(r->beginText, r->caseSensitive)) ? Kind::kExprAtUnit
                                                                                              : Kind::kExpr;
        else
            r->beginKind_ = r->beginLiteral.empty() ? Kind::kNever : Kind::kLiteral;
    }
    last = std::min(last, length - 1);
    switch (r->beginKind_) {
        case Kind::kQuote: {
            const wchar_t q = static_cast<const CStringRegion*>(r)->quote;
            if (!q) return -1;
            for (int p = from; p <= last; ++p)
                if (text[p] == q) {
                    *beginLength = 1;
                    return p;
                }
            return -1;
        }
        case Kind::kLiteral: {
            const std::wstring& lit = r->beginLiteral;
            last = std::min(last, length - int(lit.size()));
            const wchar_t first = lit[0];
            const wchar_t low = FoldAZ(first);
            if (r->caseSensitive || low < L'a' || low > L'z') {
                for (int p = from; p <= last; ++p)
                    if (text[p] == first && LiteralAt(lit, r->caseSensitive, text, length, p)) {
                        *beginLength = int(lit.size());
                        return p;
                    }
            } else {
                for (int p = from; p <= last; ++p)
                    if (FoldAZ(text[p]) == low && LiteralAt(lit, false, text, length, p)) {
                        *beginLength = int(lit.size());
                        return p;
                    }
            }
            return -1;
        }
        case Kind::kExpr:
            while (from <= last) {
                const mrx::MatchResult m = r->beginExpr->Search(text, length, from, last);
                if (!m.Matched()) return -1;
                if (m.End() > m.Start()) {
                    *beginLength = m.End() - m.Start();
                    return m.Start();
                }
                from = m.Start() + 1;  // an empty match is no start
            }
            return -1;
        case Kind::kExprAtUnit:  // tried only where its first unit is
            for (int p = from; p <= last; ++p) {
                if (text[p] != r->beginUnit_) continue;
                const mrx::MatchResult m = r->beginExpr->Search(text, length, p, p);
                if (m.Matched() && m.End() > m.Start()) {
                    *beginLength = m.End() - m.Start();
                    return p;
                }
            }
            return -1;
        case Kind::kEachPosition:
            for (int p = from; p <= last; ++p)
                if (const int n = r->BeginLength(text, length, p)) {
                    *beginLength = n;
                    return p;
                }
            return -1;
        default:
            return -1;
    }
}

void CSyntaxParser::PaintItems(const CSyntaxRegion* r, int s, int extentEnd, const LineText& line) const {
    for (const SyntaxItem* item : r->items) {
        if (!item || !item->expr) continue;
        const unsigned short style = static_cast<unsigned short>(item->style & kStyleBits);
        // A match that starts after the extent's end cannot end within it
        // (unless empty, at the end itself), so the search stops there.
        for (int pos = s; pos <= extentEnd;) {
            const mrx::MatchResult m = item->expr->Search(line.text, line.length, pos, extentEnd);
            if (!m.Matched() || m.End() > extentEnd) break;
            for (int i = m.Start(); i < m.End(); ++i)
                line.styles[i] = static_cast<unsigned short>((line.styles[i] & ~kStyleBits) | style);
            pos = m.End() > m.Start() ? m.End() : m.End() + 1;
        }
    }
}

// Counted once the whole extent is painted, children included: a mark
// whose first unit lies in a comment or string (classes 1-4), the region's
// own or a child's, is not counted, and neither is one that starts past
// the extent (it belongs to an enclosing region) or inside a child that
// isolates its folds (`claimed`: only its own marks count there).
void CSyntaxParser::CountFolds(const CSyntaxRegion* r, int s, int extentEnd, const LineText& line,
                               const std::vector<std::pair<int, int>>& claimed) {
    const Regex* marks[2] = {r->fold.get(), r->unfold.get()};
    for (int k = 0; k < 2; ++k) {
        if (!marks[k]) continue;
        size_t span = 0;
        for (int pos = s; pos < extentEnd;) {
            const mrx::MatchResult m = marks[k]->Search(line.text, line.length, pos, extentEnd - 1);
            if (!m.Matched()) break;
            while (span < claimed.size() && claimed[span].second <= m.Start()) ++span;
            const bool childs = span < claimed.size() && claimed[span].first <= m.Start();
            const int cls = m.Start() < line.length ? line.styles[m.Start()] & kStyleBits : 0;
            if (!childs && (cls < 1 || cls > 4)) foldLevel_ += k == 0 ? 1 : -1;
            pos = m.End() > m.Start() ? m.End() : m.End() + 1;
        }
    }
}

int CSyntaxParser::RegionPass(const CSyntaxRegion* r, int s, int b, int& extentEnd, const LineText& line,
                              int depth, const std::wstring* carried) {
    const int length = line.length;
    const bool isRoot = r == root_.get();
    if (r->skip) {  // its begin only, painted as the region around it
        extentEnd = std::clamp(s + b, s, length);
        work_ -= b + 1;
        return kClosed;
    }
    const bool carries = r->CarriesText();
    std::wstring open;
    // A region a line starts in without its open text (every carried state
    // was taken, or its child was the one carried) ends as if it had begun
    // with nothing.
    if (carries)
        open = carried && !carried->empty() ? *carried : r->OpenText(carried ? nullptr : line.text, length, s, b);
    int endFrom = s + b;
    for (;;) {
        int state = 0;  // the root's
        bool ownEnd = false;
        int endStart = length;
        if (!isRoot) {
            int endPos = 0, endLength = 0;
            std::wstring still;
            const bool found = carries ? r->FindEndOf(open, line.text, length, endFrom, &endPos, &endLength, &still)
                                       : r->FindEnd(line.text, length, endFrom, &endPos, &endLength);
            if (found) {
                ownEnd = true;
                state = kClosed;
                endStart = endPos;
                int end = endPos + endLength;
                if (r->suffix && end < length) {
                    const mrx::MatchResult m = r->suffix->Search(line.text, length, end, end);
                    if (m.Matched() && m.Start() == end) end = m.End();
                }
                extentEnd = std::clamp(end, s, length);
            } else {
                extentEnd = length;
                state = r->id >= kLineRegion ? kClosed : carries ? carried_->StateOf(r->id, still) : r->id;
            }
        }
        const int ownState = state;
        const int E = extentEnd;
        work_ -= E - s + 1;
        if (line.styles) {
            const unsigned short bits =
                static_cast<unsigned short>((r->style & kStyleBits) | ((r->id & 63) << 9));
            for (int i = s; i < E; ++i)
                line.styles[i] = static_cast<unsigned short>((line.styles[i] & ~(kStyleBits | kRegionBits)) | bits);
            PaintItems(r, s, E, line);
        }
        const bool countFolds = line.styles && line.fold;
        const size_t count = r->children.size();
        std::vector<std::pair<int, int>> claimed;  // the extents of children that isolate their folds
        if (count == 0 || depth >= kMaxDepth || work_ < 0) {
            if (countFolds) CountFolds(r, s, E, line, claimed);
            return state;
        }

        // next[i]: where child i begins next at or after the walk's position
        // (-1: nowhere before E), len[i] its begin length; -2: not searched.
        int fixedNext[16], fixedLen[16];
        std::vector<int> moreNext, moreLen;
        int* next = fixedNext;
        int* len = fixedLen;
        if (count > 16) {
            moreNext.resize(count);
            moreLen.resize(count);
            next = moreNext.data();
            len = moreLen.data();
        }
        std::fill(next, next + count, -2);
        bool restart = false;
        // No child begins inside this region's own begin ("#{" holds no "{").
        for (int p = std::min(s + b, E); p < E;) {
            int best = -1;
            size_t winner = 0;
            for (size_t i = 0; i < count; ++i) {
                if (next[i] == -1) continue;
                if (next[i] < p)
                    next[i] = r->children[i] ? NextBegin(r->children[i], line.text, length, p, E - 1, &len[i]) : -1;
                if (next[i] >= 0 && (best < 0 || next[i] < best)) {
                    best = next[i];
                    winner = i;
                }
            }
            if (best < 0) break;
            int childEnd = E;
            const CSyntaxRegion* child = r->children[winner];
            const int childState = RegionPass(child, best, len[winner], childEnd, line, depth + 1);
            if (!ownEnd) state = childState == kClosed ? ownState : childState;
            if (countFolds && child->isolateFolds) claimed.emplace_back(best, childEnd);
            // A skip may end where this region's end begins: that end is
            // escaped.
            if (isRoot || childEnd <= (child->skip ? endStart : E)) {
                p = childEnd;
                continue;
            }
            // The child swallowed the text where this region's end was
            // found: look for the end again after the child.
            endFrom = childEnd;
            restart = true;
            break;
        }
        if (!restart) {
            if (countFolds) CountFolds(r, s, E, line, claimed);
            return state;
        }
    }
}

const CSyntaxRegion* CSyntaxParser::FindRegion(const CSyntaxRegion* r, int id, int depth) const {
    if (r->id == id) return r;
    if (depth >= kMaxDepth) return nullptr;
    for (const CSyntaxRegion* c : r->children)
        if (c)
            if (const CSyntaxRegion* f = FindRegion(c, id, depth + 1)) return f;
    return nullptr;
}

int CSyntaxParser::RegionOfState(int state, std::wstring* open) const {
    open->clear();
    if (state >= kFirstCarried && state <= kLastState) return carried_->RegionOf(state, open);
    return state >= 1 && state <= kMaxOpenRegion ? state : 0;
}

int CSyntaxParser::Lex(const wchar_t* text, int length, int prevState, unsigned short* styles, bool fold) {
    if (!text || length < 0) {
        text = L"";
        length = 0;
    }
    const LineText line = {text, length, styles, fold};
    work_ = LineBudget(length);
    const CSyntaxRegion* start = root_.get();
    std::wstring open;
    if (const int id = RegionOfState(prevState, &open))
        if (const CSyntaxRegion* f = FindRegion(root_.get(), id, 0)) start = f;
    int extentEnd = length;
    int state = RegionPass(start, 0, 0, extentEnd, line, 0, &open);
    // The start region closed within the line: its parent goes on (one
    // level only, without an open text of its own).
    const CSyntaxRegion* last = start;
    if (extentEnd < length && start->parent) {
        int parentEnd = length;
        const std::wstring unknown;
        last = start->parent;
        state = RegionPass(last, extentEnd, 0, parentEnd, line, 0, &unknown);
    }
    if (state == kClosed) {  // the state of the region around the one that closed
        const CSyntaxRegion* up = last->parent;
        state = up && up->id <= kMaxOpenRegion && !up->CarriesText() ? up->id : 0;
    }
    return state;
}

int CSyntaxParser::LineState(int, const wchar_t* text, int length, int prevState, unsigned short* styles) {
    return Lex(text, length, prevState, styles, false);
}

int CSyntaxParser::FoldLevel(int, const wchar_t* text, int length, int state, int prevState, int level,
                             unsigned short* styles) {
    foldLevel_ = level;
    Lex(text, length, prevState, styles, true);
    if (foldLevel_ == level) {
        // Regions that stay open over lines fold: compared by region.
        std::wstring open;
        const int now = RegionOfState(state, &open), before = RegionOfState(prevState, &open);
        if (now > before)
            ++foldLevel_;
        else if (now < before)
            --foldLevel_;
    }
    return std::max(foldLevel_, 0);
}

CSyntaxParser* ResultLexer() {
    static const std::unique_ptr<CSyntaxParser> lexer = [] {
        auto p = std::make_unique<CSyntaxParser>();
        p->SetName(L"Grep");
        p->Root()->AddItem(p->CreateItem(1, L"^#<.*?>", true));
        p->Root()->AddItem(p->CreateItem(9, L":\\([\\d,]+\\)", true));
        return p;
    }();
    return lexer.get();
}

}  // namespace syntax
