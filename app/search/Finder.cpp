#include "Finder.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "CaseFold.h"

namespace search {

// ---------------------------------------------------------------------------
// Plain text.

namespace {
constexpr int kTableSize = 65536;
// Indexes above this do not fit the table: such patterns shift by one.
constexpr int kMaxTabled = 65535;
}  // namespace

CNormalFinder::CNormalFinder() : table_(new uint16_t[kTableSize]()) {}

uint16_t CNormalFinder::Fold(wchar_t c) const {
    return matchCase_ ? uint16_t(c) : uint16_t(FoldCase(uint32_t(uint16_t(c))));
}

bool CNormalFinder::SetPattern(const wchar_t* pattern, int length, bool matchCase, bool backward) {
    if (!pattern || length < 0) length = 0;
    if (set_ && matchCase == matchCase_ && backward == backward_ && pattern_.compare(0, std::wstring::npos, pattern,
                                                                                    size_t(length)) == 0)
        return false;
    pattern_.assign(pattern ? pattern : L"", size_t(length));
    matchCase_ = matchCase;
    backward_ = backward;
    set_ = true;
    std::memset(table_.get(), 0, sizeof(uint16_t) * kTableSize);
    const int m = int(pattern_.size());
    if (m - 1 > kMaxTabled) return true;
    if (!backward_) {
        for (int i = 0; i < m; ++i) table_[Fold(pattern_[size_t(i)])] = uint16_t(i);
    } else {
        for (int i = m - 1; i >= 0; --i) table_[Fold(pattern_[size_t(i)])] = uint16_t(i);
    }
    return true;
}

const wchar_t* CNormalFinder::FindForward(const wchar_t* text, int length, const wchar_t* start, int count,
                                          int* matchLength) {
    const int m = int(pattern_.size());
    if (!text || !start || m == 0 || count <= 0) return nullptr;
    const wchar_t* p = pattern_.data();
    const bool tabled = m - 1 <= kMaxTabled;
    long long s = start - text;
    if (s < 0) s = 0;
    const long long last = std::min<long long>(s + count - 1, (long long)length - m);
    while (s <= last) {
        const wchar_t* t = text + s;
        int j = m - 1;
        while (j >= 0 && Fold(p[j]) == Fold(t[j])) --j;
        if (j < 0) {
            if (matchLength) *matchLength = m;
            return t;
        }
        const int k = tabled ? table_[Fold(t[j])] : j;
        s += j > k ? j - k : 1;
    }
    return nullptr;
}

const wchar_t* CNormalFinder::FindBackward(const wchar_t* text, int length, int, int end, int* matchLength) {
    const int m = int(pattern_.size());
    if (!text || m == 0 || end < 0) return nullptr;
    const wchar_t* p = pattern_.data();
    const bool tabled = m - 1 <= kMaxTabled;
    long long s = (long long)std::min(end, length) - m;
    while (s >= 0) {
        const wchar_t* t = text + s;
        int j = 0;
        while (j < m && Fold(p[j]) == Fold(t[j])) ++j;
        if (j == m) {
            if (matchLength) *matchLength = m;
            return t;
        }
        const int k = tabled ? table_[Fold(t[j])] : j;
        s -= k > j ? k - j : 1;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Regular expressions.

// Lines are searched one at a time, each ended by a single LF whatever the
// file's line ends: written as users of Windows write a line end, \r\n,
// \r?\n and \R stand for that LF. A CR never stands inside a line (it ends
// one), so nothing these could match before is lost. Escapes and character
// classes are read as the engine reads them.
std::wstring LineEndsAsSearched(const std::wstring& p) {
    std::wstring out;
    out.reserve(p.size());
    bool inClass = false;
    for (size_t i = 0; i < p.size(); ++i) {
        const wchar_t c = p[i];
        if (c == L'\\' && i + 1 < p.size()) {
            if (!inClass) {
                if (p.compare(i, 4, L"\\r\\n") == 0) {
                    out += L"\\n";
                    i += 3;
                    continue;
                }
                if (p.compare(i, 5, L"\\r?\\n") == 0) {
                    out += L"\\n";
                    i += 4;
                    continue;
                }
                if (p[i + 1] == L'R') {
                    out += L"\\n";
                    ++i;
                    continue;
                }
            }
            out += c;
            out += p[++i];
            continue;
        }
        if (c == L'[' && !inClass) {
            inClass = true;
            out += c;
            // A ] right after [ or [^ is a member, not the end.
            if (i + 1 < p.size() && p[i + 1] == L'^') out += p[++i];
            if (i + 1 < p.size() && p[i + 1] == L']') out += p[++i];
            continue;
        }
        if (c == L']' && inClass) inClass = false;
        out += c;
    }
    return out;
}

bool CRegexFinder::SetPattern(const wchar_t* pattern, int length, bool matchCase, bool backward) {
    if (!pattern || length < 0) length = 0;
    if (set_ && matchCase == matchCase_ && backward == backward_ && pattern_.compare(0, std::wstring::npos, pattern,
                                                                                    size_t(length)) == 0)
        return false;
    pattern_.assign(pattern ? pattern : L"", size_t(length));
    matchCase_ = matchCase;
    backward_ = backward;
    set_ = true;
    const int flags = (matchCase ? 0 : mrx::IGNORECASE) | (backward ? mrx::RIGHTTOLEFT : 0);
    const std::wstring searched = LineEndsAsSearched(pattern_);
    regex_.Compile(searched.c_str(), int(searched.size()), flags);
    last_ = mrx::MatchResult();
    return true;
}

const wchar_t* CRegexFinder::Result(const wchar_t* text, int* matchLength) {
    if (!last_.Matched()) return nullptr;
    if (matchLength) *matchLength = last_.End() - last_.Start();
    return text + last_.Start();
}

const wchar_t* CRegexFinder::FindForward(const wchar_t* text, int length, const wchar_t* start, int count,
                                         int* matchLength) {
    last_ = mrx::MatchResult();
    if (!text || !start || count <= 0 || !set_) return nullptr;
    const int s = int(std::max<long long>(start - text, 0));
    if (s > length) return nullptr;
    const int e = int(std::min<long long>((long long)s + count - 1, length));
    last_ = budget_ ? regex_.Search(text, length, s, e, *budget_) : regex_.Search(text, length, s, e);
    return Result(text, matchLength);
}

const wchar_t* CRegexFinder::FindBackward(const wchar_t* text, int length, int, int end, int* matchLength) {
    last_ = mrx::MatchResult();
    if (!text || end < 0 || !set_) return nullptr;
    end = std::min(end, length);
    last_ = budget_ ? regex_.Search(text, length, 0, end, *budget_) : regex_.Search(text, length, 0, end);
    return Result(text, matchLength);
}

// ---------------------------------------------------------------------------
// Words, escapes and templates.

bool IsWordUnit(wchar_t c) { return std::iswalnum(wint_t(c)) != 0; }

bool IsWholeWord(const wchar_t* text, int length, int start, int end) {
    if (start > 0 && start <= length && IsWordUnit(text[start - 1])) return false;
    if (end >= 0 && end < length && IsWordUnit(text[end])) return false;
    return true;
}

std::wstring Unescape(const std::wstring& replacement) {
    std::wstring out;
    out.reserve(replacement.size());
    for (size_t i = 0; i < replacement.size(); ++i) {
        const wchar_t c = replacement[i];
        if (c != L'\\') {
            out += c;
            continue;
        }
        if (++i >= replacement.size()) break;
        switch (replacement[i]) {
            case L'n': out += L'\n'; break;
            case L't': out += L'\t'; break;
            case L'\\': out += L'\\'; break;
            default: break;
        }
    }
    return out;
}

std::wstring ExpandTemplate(const mrx::CRegexpT<wchar_t>& regex, const std::wstring& tmpl, const wchar_t* text,
                            int length, const mrx::MatchResult& match) {
    return regex.Expand(tmpl.c_str(), int(tmpl.size()), text, length, match);
}

// ---------------------------------------------------------------------------
// Highlight all.

bool CFindHighlight::Set(const wchar_t* pattern, int length, bool matchCase, bool wholeWord, bool regex) {
    IFinder* chosen;
    if (regex) {
        if (!regex_) regex_ = std::make_unique<CRegexFinder>();
        regex_->UseBudget(&budget_);
        chosen = regex_.get();
    } else {
        if (!normal_) normal_ = std::make_unique<CNormalFinder>();
        chosen = normal_.get();
    }
    bool changed = chosen != finder_ || wholeWord != wholeWord_;
    changed = chosen->SetPattern(pattern, length, matchCase, false) || changed;
    finder_ = chosen;
    wholeWord_ = wholeWord;
    if (changed) gaveUp_ = false;
    return changed;
}

std::string CFindHighlight::Error() const {
    return finder_ && finder_ == regex_.get() ? regex_->Error() : std::string();
}

// Called from the control's painting: nothing may escape into it.
int CFindHighlight::Highlight(int line, const wchar_t* text, int length, unsigned short* styles) {
    try {
        return Paint(line, text, length, styles);
    } catch (...) {
        gaveUp_ = true;
        return 0;
    }
}

bool CFindHighlight::SetResultLines(bool on) {
    const bool changed = resultLines_ != on;
    resultLines_ = on;
    return changed;
}

int ResultTextStart(const wchar_t* text, int length) {
    if (!text || length < 2 || text[0] != L'#' || text[1] != L'<') return 0;
    // The path (which holds no ">") ends at the first ">:(" followed by
    // digits, a comma, digits and "):".
    for (int i = 2; i < length; ++i) {
        if (text[i] != L'(' || text[i - 1] != L':' || text[i - 2] != L'>') continue;
        int j = i + 1;
        const int digitsFrom = j;
        while (j < length && text[j] >= L'0' && text[j] <= L'9') ++j;
        if (j == digitsFrom || j >= length || text[j] != L',') continue;
        const int columnFrom = ++j;
        while (j < length && text[j] >= L'0' && text[j] <= L'9') ++j;
        if (j == columnFrom || j + 1 >= length || text[j] != L')' || text[j + 1] != L':') continue;
        return j + 2;
    }
    return 0;
}

int CFindHighlight::Paint(int, const wchar_t* text, int length, unsigned short* styles) {
    if (!finder_ || gaveUp_ || !text || !styles || length <= 0) return 0;
    const bool regex = finder_ == regex_.get();
    if (regex) {
        if (!regex_->Error().empty()) return 0;
        // Each line may spend a little more than a linear search of it needs;
        // a pattern that cannot stays off for good.
        budget_ = mrx::Budget();
        budget_.steps = 1000000 + 64 * uint64_t(length);
    }
    int pos = resultLines_ ? ResultTextStart(text, length) : 0;
    while (pos < length) {
        int n = 0;
        const wchar_t* m = finder_->FindForward(text, length, text + pos, length - pos, &n);
        if (!m) {
            if (regex && regex_->TooComplex()) gaveUp_ = true;
            break;
        }
        const int s = int(m - text);
        if (n <= 0) break;
        const int e = std::min(s + n, length);
        if (!(wholeWord_ && !regex && !IsWholeWord(text, length, s, e)))
            for (int i = s; i < e; ++i)
                styles[i] = (unsigned short)((styles[i] & ~STYLE_CLASS_MASK) | STYLE_FIND_HIGHLIGHT);
        pos = e;
    }
    return 0;
}

}  // namespace search
