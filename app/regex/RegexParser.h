// The parser: pattern text to nodes.
// Included by RegexImpl.h, in order; not on its own.
#pragma once

namespace mrx {
namespace detail {

// Parser ---------------------------------------------------------------------------

template <typename CharT>
class ParserT {
public:
    ParserT(const CharT* p, int n, int flags) : p_(p), n_(n), flags_(flags) {}

    ElxPtr Parse() {
        int flags = flags_;
        ElxPtr root = ParseAlternation(flags);
        if (pos_ < n_ && !failed_) Fail("unbalanced ')'");
        return root;
    }
    bool failed_ = false;
    std::string error_;
    int unnamed_ = 0;  // numbered groups
    std::vector<std::u32string> names_;
    std::vector<CGroupElx*> groups_;
    std::vector<CBackrefElxT*> backrefs_;
    std::vector<CConditionElxT*> conditions_;
    std::vector<CDelegateElxT*> delegates_;

private:
    // Groups and brackets nest at most this deep, so that parsing, compiling
    // and destroying the tree stay well inside a 1 MiB stack.
    static constexpr int kMaxNesting = 200;
    struct Nest {
        explicit Nest(ParserT& p) : p(p) {
            if (++p.depth_ > kMaxNesting) p.Fail("groups or brackets nested more than 200 deep");
        }
        ~Nest() { --p.depth_; }
        ParserT& p;
    };

    void Fail(const char* what) {
        if (!failed_) error_ = std::string(what) + " at " + std::to_string(pos_);
        failed_ = true;
    }
    bool More() const { return pos_ < n_; }
    static bool IsHighUnit(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
    static bool IsLowUnit(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
    // The character at the position, a surrogate pair as its code point.
    uint32_t LiteralChar() {
        uint32_t c = Peek();
        ++pos_;
        if (IsHighUnit(c) && More() && IsLowUnit(Peek())) c = 0x10000 + ((c - 0xD800) << 10) + (Peek() - 0xDC00), ++pos_;
        return c;
    }
    uint32_t Peek(int k = 0) const { return pos_ + k < n_ ? uint32_t(p_[pos_ + k]) : 0; }
    bool Eat(uint32_t c) {
        if (More() && Peek() == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool EatString(const char* s) {
        const int len = int(strlen(s));
        for (int k = 0; k < len; ++k)
            if (Peek(k) != uint32_t(uint8_t(s[k])) || pos_ + k >= n_) return false;
        pos_ += len;
        return true;
    }
    void SkipExtended(int flags) {
        if (!(flags & EXTENDED)) return;
        while (More()) {
            const uint32_t c = Peek();
            if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') {
                ++pos_;
            } else if (c == '#') {
                while (More() && Peek() != '\n') ++pos_;
            } else {
                break;
            }
        }
    }

    ElxPtr ParseAlternation(int& flags) {
        auto alt = std::make_unique<CAlternativeElxT>();
        alt->alternatives.push_back(ParseSequence(flags));
        while (!failed_ && Eat('|')) alt->alternatives.push_back(ParseSequence(flags));
        if (alt->alternatives.size() == 1) return std::move(alt->alternatives[0]);
        return alt;
    }

    ElxPtr ParseSequence(int& flags) {
        auto list = std::make_unique<CListElxT>();
        std::vector<uint32_t> literal;
        bool literalIcase = false;
        auto flush = [&]() {
            if (literal.empty()) return;
            list->items.push_back(std::make_unique<CStringElxT>(literal, literalIcase));
            literal.clear();
        };
        while (!failed_) {
            SkipExtended(flags);
            if (!More() || Peek() == '|' || Peek() == ')') break;
            // \Q...\E, \L...\E, \U...\E: literal runs.
            if (Peek() == '\\' && (Peek(1) == 'Q' || Peek(1) == 'L' || Peek(1) == 'U')) {
                const uint32_t kind = Peek(1);
                pos_ += 2;
                std::vector<uint32_t> run;
                while (More() && !(Peek() == '\\' && Peek(1) == 'E')) {
                    if (kind != 'Q' && Peek() == '\\') {
                        ++pos_;
                        AppendUnits(run, Escaped(flags));
                        continue;
                    }
                    run.push_back(Peek());
                    ++pos_;
                }
                if (More()) pos_ += 2;
                // The run is literal; a quantifier after \E takes its last
                // character (a surrogate pair is one).
                for (size_t k = 0; k < run.size();) {
                    std::vector<uint32_t> units{run[k]};
                    if (IsHighUnit(run[k]) && k + 1 < run.size() && IsLowUnit(run[k + 1])) units.push_back(run[k + 1]);
                    k += units.size();
                    if (kind != 'Q') {  // change the case of the character
                        uint32_t v = units.size() == 2 ? 0x10000 + ((units[0] - 0xD800) << 10) + (units[1] - 0xDC00)
                                                       : units[0];
                        v = kind == 'L' ? Fold(v) : search::UpperCase(v);
                        units.clear();
                        AppendUnits(units, v);
                    }
                    if (k < run.size()) {
                        if (!literal.empty() && literalIcase != ((flags & IGNORECASE) != 0)) flush();
                        literalIcase = (flags & IGNORECASE) != 0;
                        literal.insert(literal.end(), units.begin(), units.end());
                    } else {
                        ElxPtr atom = std::make_unique<CStringElxT>(std::move(units), (flags & IGNORECASE) != 0);
                        AppendAtom(list.get(), literal, literalIcase, flush, std::move(atom), flags);
                    }
                }
                continue;
            }
            int localFlags = flags;
            ElxPtr atom = ParseAtom(flags, localFlags);
            if (!atom) {
                if (failed_) break;
                continue;  // an option change or a comment
            }
            AppendAtom(list.get(), literal, literalIcase, flush, std::move(atom), flags);
        }
        flush();
        if (list->items.size() == 1) return std::move(list->items[0]);
        return list;
    }

    template <typename Flush>
    void AppendAtom(CListElxT* list, std::vector<uint32_t>& literal, bool& literalIcase, Flush& flush, ElxPtr atom,
                    int flags) {
        SkipExtended(flags);
        ElxPtr node = ParseQuantifier(std::move(atom), flags);
        // Adjacent characters (one unit or a surrogate pair) with the same
        // case rule make one literal run.
        if (auto* s = dynamic_cast<CStringElxT*>(node.get()); s && !s->text.empty()) {
            if (!literal.empty() && literalIcase != s->icase) flush();
            literalIcase = s->icase;
            literal.insert(literal.end(), s->text.begin(), s->text.end());
            return;
        }
        flush();
        list->items.push_back(std::move(node));
    }

    bool ReadNumber(int* out) {
        if (!More() || Peek() < '0' || Peek() > '9') return false;
        long long v = 0;
        while (More() && Peek() >= '0' && Peek() <= '9') {
            v = std::min<long long>(v * 10 + (Peek() - '0'), INT_MAX);
            ++pos_;
        }
        *out = int(v);
        return true;
    }

    ElxPtr ParseQuantifier(ElxPtr atom, int flags) {
        int min, max;
        const int save = pos_;
        if (Eat('*')) {
            min = 0;
            max = INT_MAX;
        } else if (Eat('+')) {
            min = 1;
            max = INT_MAX;
        } else if (Eat('?')) {
            min = 0;
            max = 1;
        } else if (Peek() == '{') {
            ++pos_;
            if (!ReadNumber(&min)) {
                pos_ = save;
                return atom;
            }
            max = min;
            bool exact = true;
            if (Eat(',')) {
                exact = false;
                if (!ReadNumber(&max)) max = INT_MAX;
            }
            if (!Eat('}')) {
                pos_ = save;
                return atom;
            }
            if (max < min) max = min;
            if (exact) {
                if (Peek() == '?' || Peek() == '+') ++pos_;
                return std::make_unique<CGreedyElxT>(std::move(atom), min, max);
            }
        } else {
            return atom;
        }
        if (dynamic_cast<CBoundaryElxT*>(atom.get()) || dynamic_cast<CAssertElxT*>(atom.get())) {
            // A quantified zero-width test is the test itself (or nothing).
            SkipExtended(flags);
        }
        if (Eat('?')) return std::make_unique<CReluctantElxT>(std::move(atom), min, max);
        if (Eat('+')) return std::make_unique<CPossessiveElxT>(std::move(atom), min, max);
        if ((Peek() == '*' || Peek() == '+' || Peek() == '?') && !failed_) Fail("quantifier follows a quantifier");
        return std::make_unique<CGreedyElxT>(std::move(atom), min, max);
    }

    static int HexValue(uint32_t c) {
        if (c >= '0' && c <= '9') return int(c - '0');
        if (c >= 'a' && c <= 'f') return int(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return int(c - 'A' + 10);
        return -1;
    }

    // A character escape after the backslash (already consumed).
    uint32_t Escaped(int) {
        if (!More()) {
            Fail("a pattern cannot end in a backslash");
            return '\\';
        }
        const uint32_t c = Peek();
        ++pos_;
        switch (c) {
            case 'a': return 7;
            case 'e': return 27;
            case 'f': return 12;
            case 'n': return 10;
            case 'r': return 13;
            case 't': return 9;
            case 'v': return 11;
            case 'x': {
                uint32_t v = 0;
                if (Eat('{')) {
                    int k = 0;
                    while (k < 8 && HexValue(Peek()) >= 0) v = v * 16 + uint32_t(HexValue(Peek())), ++pos_, ++k;
                    if (!Eat('}')) Fail("unterminated \\x{");
                    return v > 0x10FFFF ? 0xFFFD : v;
                }
                for (int k = 0; k < 2 && HexValue(Peek()) >= 0; ++k) v = v * 16 + uint32_t(HexValue(Peek())), ++pos_;
                return v;
            }
            case 'u': {
                uint32_t v = 0;
                for (int k = 0; k < 4 && HexValue(Peek()) >= 0; ++k) v = v * 16 + uint32_t(HexValue(Peek())), ++pos_;
                return v;
            }
            default: return c;
        }
    }

    // A stock class escape letter, or false.
    static bool StockOf(uint32_t c, bool rtl, Stock* s, bool* neg) {
        *neg = false;
        switch (c) {
            case 'd': *s = kDigit; return true;
            case 'D': *s = kDigit; *neg = true; return true;
            case 'w': *s = kWord; return true;
            case 'W': *s = kWord; *neg = true; return true;
            case 's': *s = rtl ? kSpaceRtl : kSpace; return true;
            case 'S': *s = rtl ? kSpaceRtl : kSpace; *neg = true; return true;
            case 'c': *s = kHan; return true;
            case 'j': *s = kHiragana; return true;
            case 'J': *s = kKatakana; return true;
            case 'P': *s = kCjkPunct; return true;
            default: return false;
        }
    }

    ElxPtr ParseBracket(int flags) {
        Nest nest(*this);
        if (failed_) return nullptr;
        CharClass cls;
        cls.icase = (flags & IGNORECASE) != 0;
        if (Eat('^')) cls.negated = true;
        bool first = true;
        while (true) {
            if (!More()) {
                Fail("unterminated '['");
                return nullptr;
            }
            if (Peek() == ']' && !first) {
                ++pos_;
                break;
            }
            first = false;
            if (Peek() == '[' && Peek(1) == ':') {
                const int save = pos_;
                pos_ += 2;
                const bool neg = Eat('^');
                std::string name;
                while (More() && Peek() != ':' && name.size() < 16) name += char(Peek()), ++pos_;
                if (Eat(':') && Eat(']')) {
                    static const char* const names[] = {"alnum", "alpha", "ascii", "cntrl", "digit", "graph", "lower",
                                                        "print", "punct", "space", "upper", "xdigit", "blank"};
                    Posix p = kNone;
                    for (int k = 0; k < 13; ++k)
                        if (name == names[k]) p = Posix(k);
                    cls.posix.push_back({p, p == kNone ? false : neg});
                    continue;
                }
                pos_ = save;
            }
            if (Peek() == '[' && Peek(1) != ':') {  // a nested bracket
                ++pos_;
                ElxPtr nested = ParseBracket(flags);
                if (!nested) return nullptr;
                cls.nested.push_back(static_cast<CRangeElxT*>(nested.get())->cls);
                continue;
            }
            uint32_t lo;
            if (Eat('\\')) {
                Stock s;
                bool neg;
                if (More() && StockOf(Peek(), (flags & RIGHTTOLEFT) != 0, &s, &neg)) {
                    ++pos_;
                    cls.stocks.push_back({s, neg});
                    continue;
                }
                if (Peek() == 'b') {
                    ++pos_;
                    lo = 8;
                } else {
                    lo = Escaped(flags);
                }
            } else {
                lo = LiteralChar();
            }
            uint32_t hi = lo;
            if (Peek() == '-' && Peek(1) != ']' && pos_ + 1 < n_) {
                ++pos_;
                if (Eat('\\')) {
                    Stock s;
                    bool neg;
                    if (More() && StockOf(Peek(), (flags & RIGHTTOLEFT) != 0, &s, &neg)) {  // "a-\d": '-' is literal
                        ++pos_;
                        cls.ranges.push_back({lo, lo});
                        cls.ranges.push_back({'-', '-'});
                        cls.stocks.push_back({s, neg});
                        continue;
                    }
                    hi = Peek() == 'b' ? (++pos_, 8u) : Escaped(flags);
                } else {
                    hi = LiteralChar();
                }
                if (hi < lo) std::swap(lo, hi);
            }
            cls.ranges.push_back({lo, hi});
        }
        return std::make_unique<CBracketElxT>(std::move(cls));
    }

    std::u32string ReadName(uint32_t close) {
        std::u32string name;
        while (More() && Peek() != close) name += char32_t(Peek()), ++pos_;
        if (!Eat(close)) Fail("unterminated group name");
        if (name.empty()) Fail("empty group name");
        return name;
    }

    ElxPtr Group(ElxPtr body, int number, std::u32string name) {
        auto g = std::make_unique<CGroupElx>(number, std::move(body));
        g->name = std::move(name);
        groups_.push_back(g.get());
        return g;
    }

    // Returns null for constructs that produce no node (options, comments).
    ElxPtr ParseAtom(int& flags, int&) {
        const uint32_t c = Peek();
        const bool icase = (flags & IGNORECASE) != 0;
        ++pos_;
        switch (c) {
            case '.': return std::make_unique<CAnyElx>((flags & SINGLELINE) != 0);
            case '^':
                return std::make_unique<CBoundaryElxT>((flags & MULTILINE) ? kLineStart : kTextStart);
            case '$':
                return std::make_unique<CBoundaryElxT>((flags & MULTILINE) ? kLineEnd : kEndOrFinalBreak);
            case '[': return ParseBracket(flags);
            case '(': return ParseGroup(flags);
            case '*': case '+': case '?':
                Fail("quantifier without an atom");
                return nullptr;
            case '\\': return ParseEscape(flags);
            default: {
                std::vector<uint32_t> units{c};
                if (IsHighUnit(c) && More() && IsLowUnit(Peek())) units.push_back(Peek()), ++pos_;
                return std::make_unique<CStringElxT>(std::move(units), icase);
            }
        }
    }

    ElxPtr ParseEscape(int flags) {
        if (!More()) {
            Fail("a pattern cannot end in a backslash");
            return nullptr;
        }
        const uint32_t c = Peek();
        const bool icase = (flags & IGNORECASE) != 0;
        Stock s;
        bool neg;
        if (StockOf(c, (flags & RIGHTTOLEFT) != 0, &s, &neg)) {
            ++pos_;
            CharClass cls;
            cls.stocks.push_back({s, neg});
            return std::make_unique<CRangeElxT>(std::move(cls));
        }
        switch (c) {
            case 'A': ++pos_; return std::make_unique<CBoundaryElxT>(kTextStart);
            case 'z': ++pos_; return std::make_unique<CBoundaryElxT>(kEndOrFinalBreak);
            case 'Z': ++pos_; return std::make_unique<CBoundaryElxT>(kEndOrFinalLf);
            case 'b': ++pos_; return std::make_unique<CBoundaryElxT>(kWordBoundary);
            case 'B': ++pos_; return std::make_unique<CBoundaryElxT>(kNotWordBoundary);
            case 'G':
                ++pos_;
                if (flags & GLOBAL) return std::make_unique<CGlobalElxT>();
                return std::make_unique<CEmptyElxT>();
            case 'k':
                if (Peek(1) == '<' || Peek(1) == '\'') {
                    pos_ += 2;
                    std::u32string name = ReadName(Peek(-1) == '<' ? '>' : '\'');
                    auto b = std::make_unique<CBackrefElxT>(-1, name, icase);
                    backrefs_.push_back(b.get());
                    return b;
                }
                break;
            default:
                if (c >= '1' && c <= '9') {
                    int n = 0;
                    ReadNumber(&n);
                    auto b = std::make_unique<CBackrefElxT>(n, std::u32string(), icase);
                    backrefs_.push_back(b.get());
                    return b;
                }
        }
        std::vector<uint32_t> units;
        AppendUnits(units, Escaped(flags));
        return std::make_unique<CStringElxT>(std::move(units), icase);
    }

    // After "(".
    ElxPtr ParseGroup(int& outerFlags) {
        Nest nest(*this);
        if (failed_) return nullptr;
        int flags = outerFlags;
        if (!Eat('?')) {  // a numbered group
            const int number = ++unnamed_;
            ElxPtr body = ParseAlternation(flags);
            if (!Eat(')')) Fail("missing ')'");
            return Group(std::move(body), number, {});
        }
        if (Eat('#')) {
            while (More() && Peek() != ')') ++pos_;
            if (!Eat(')')) Fail("unterminated comment");
            return nullptr;
        }
        if (Eat(':')) return Close(ParseAlternation(flags));
        if (Eat('>')) return Close(std::make_unique<CIndependentElxT>(ParseAlternation(flags)));
        if (Eat('=')) return Close(std::make_unique<CAssertElxT>(ParseAlternation(flags), false, false));
        if (Eat('!')) return Close(std::make_unique<CAssertElxT>(ParseAlternation(flags), true, false));
        if (EatString("<=")) return Close(std::make_unique<CAssertElxT>(ParseAlternation(flags), false, true));
        if (EatString("<!")) return Close(std::make_unique<CAssertElxT>(ParseAlternation(flags), true, true));
        if (EatString("P=")) {
            std::u32string name = ReadName(')');
            auto b = std::make_unique<CBackrefElxT>(-1, name, (flags & IGNORECASE) != 0);
            backrefs_.push_back(b.get());
            return b;
        }
        if (Peek() == '<' || Peek() == '\'' || (Peek() == 'P' && Peek(1) == '<')) {
            if (Peek() == 'P') ++pos_;
            const uint32_t close = Peek() == '<' ? '>' : '\'';
            ++pos_;
            std::u32string name = ReadName(close);
            ElxPtr body = ParseAlternation(flags);
            if (!Eat(')')) Fail("missing ')'");
            if (std::find(names_.begin(), names_.end(), name) == names_.end()) names_.push_back(name);
            return Group(std::move(body), -1, name);
        }
        if (Eat('(')) return ParseCondition(flags);
        if (Peek() == 'R') {
            ++pos_;
            while (More() && (Peek() == ' ' || Peek() == '\t')) ++pos_;
            int number = 0;
            std::u32string name;
            if (Eat('<')) name = ReadName('>');
            else if (Eat('\'')) name = ReadName('\'');
            else ReadNumber(&number);
            if (!Eat(')')) Fail("missing ')' after a recursion");
            auto d = std::make_unique<CDelegateElxT>(name.empty() ? number : -1, name);
            delegates_.push_back(d.get());
            return d;
        }
        // Inline options: (?imsg-imsg) or (?imsg-imsg:...)
        bool on = true, any = false;
        int newFlags = flags;
        while (More()) {
            const uint32_t o = Peek();
            int bit = 0;
            if (o == 'i' || o == 'I') bit = IGNORECASE;
            else if (o == 'm' || o == 'M') bit = MULTILINE;
            else if (o == 's' || o == 'S') bit = SINGLELINE;
            else if (o == 'g' || o == 'G') bit = GLOBAL;
            else if (o == 'x' || o == 'X') bit = EXTENDED;
            else if (o == '-') {
                on = false;
                ++pos_;
                continue;
            } else {
                break;
            }
            any = true;
            newFlags = on ? (newFlags | bit) : (newFlags & ~bit);
            ++pos_;
        }
        if (any || Peek() == ')' || Peek() == ':') {
            if (Eat(')')) {
                outerFlags = newFlags;  // for the rest of the enclosing group
                return nullptr;
            }
            if (Eat(':')) {
                int scoped = newFlags;
                return Close(ParseAlternation(scoped));
            }
        }
        Fail("unknown group construct");
        return nullptr;
    }

    ElxPtr Close(ElxPtr node) {
        if (!Eat(')')) Fail("missing ')'");
        return node;
    }

    // After "(?(".
    ElxPtr ParseCondition(int& flags) {
        auto cond = std::make_unique<CConditionElxT>();
        if (Peek() == '?' && (Peek(1) == '=' || Peek(1) == '!' || Peek(1) == '<')) {
            ++pos_;
            bool negative = false, behind = false;
            if (Eat('<')) behind = true;
            if (Eat('!')) negative = true;
            else Eat('=');
            int inner = flags;
            ElxPtr body = ParseAlternation(inner);
            if (!Eat(')')) Fail("missing ')' in a condition");
            cond->assertion = std::make_unique<CAssertElxT>(std::move(body), negative, behind);
        } else {
            int number = 0;
            if (ReadNumber(&number)) {
                cond->number = number;
                conditions_.push_back(cond.get());
            } else {
                uint32_t close = ')';
                if (Eat('<')) close = '>';
                else if (Eat('\'')) close = '\'';
                cond->name = ReadName(close);
                if (close != ')' && !Eat(')')) Fail("missing ')' in a condition");
                cond->number = -1;
                conditions_.push_back(cond.get());
            }
            if (!cond->name.empty() || number > 0) {
                if (cond->name.empty() && !Eat(')')) Fail("missing ')' in a condition");
            }
        }
        int inner = flags;
        auto yes = std::make_unique<CListElxT>();
        yes->items.push_back(ParseSequence(inner));
        cond->yes = std::move(yes);
        if (Eat('|')) cond->no = ParseSequence(inner);
        if (!Eat(')')) Fail("missing ')' after a condition");
        return cond;
    }

    // A code point above the Basic Multilingual Plane as its surrogate pair.
    static void AppendUnits(std::vector<uint32_t>& out, uint32_t v) {
        if (v <= 0xFFFF) {
            out.push_back(v);
            return;
        }
        out.push_back(0xD800 + ((v - 0x10000) >> 10));
        out.push_back(0xDC00 + ((v - 0x10000) & 0x3FF));
    }

    const CharT* p_;
    int n_;
    int pos_ = 0;
    int flags_;
    int depth_ = 0;
};
}  // namespace detail

}  // namespace mrx
