// Implementation of the regular-expression engine: nodes, parser, compiler,
// matcher. Included by Regex.h.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mrx {
namespace detail {

enum Op : uint8_t {
    kChar, kString, kAny, kClass, kSplit, kJmp, kSave, kAssert, kBackref, kLook, kAtomic, kCondGroup, kCondLook,
    kRecurse, kReturn, kRepSimple, kCntInit, kCntGe, kCntInc, kMark, kProgress, kMatch, kFail
};

enum AssertKind : uint8_t {
    kTextStart, kTextEnd, kLineStart, kLineEnd, kEndOrFinalBreak, kEndOrFinalLf, kWordBoundary, kNotWordBoundary,
    kSearchStart, kCharBoundary, kAlways
};

enum RepMode : uint8_t { kGreedy, kLazy, kPossessive };

struct Inst {
    Op op;
    int8_t dir = 1;       // +1 consumes rightwards, -1 leftwards
    bool flag = false;    // ignore case / negated / dotall
    uint8_t kind = 0;     // assertion kind, repetition mode, look-behind
    int x = 0, y = 0;     // jump targets, indexes
    int a = 0, b = 0;     // counts, registers
};

// A single-unit item of a simple repetition.
struct Item {
    Op op;                // kChar, kAny or kClass
    bool flag;            // ignore case (kChar) or dotall (kAny)
    uint32_t c;           // the character (folded when ignoring case)
    int cls;              // class index
};

struct Program {
    std::vector<Inst> code;
    std::vector<std::vector<uint32_t>> strings;  // forward order, folded when ignoring case
    std::vector<CharClass> classes;
    std::vector<Item> items;
    int groups = 1;       // including group 0
    int registers = 2;    // captures, then counters and marks
    std::map<std::u32string, int> names;
    std::vector<int> groupFragment;  // fragment start per group (recursion), -1 when none
    int wholeFragment = -1;
    bool rtl = false;
    bool anchoredStart = false;   // only the search's first position can match
    // The program starts with an unbounded greedy or possessive run of one
    // item: after a failure at a position, no match starts inside the run.
    bool leadRun = false;
    bool lineAnchored = false;    // only line starts can match
    bool matchesNothing = false;
    // A filter on the first unit a match can start with (left to right).
    int firstOp = -1;     // -1 none, kChar, kClass
    uint32_t firstChar = 0, firstOther = 0;
    int firstClass = -1;
    // A literal a match must start with (folded when ignoring case), checked
    // before running the matcher; its second unit in one or two cases.
    std::vector<uint32_t> prefix;
    bool prefixIcase = false;
    // For a choice of literals: the pairs of units they can start with, as
    // bits by PairHash.
    std::vector<uint64_t> pairs;
    uint8_t firstLatin1[256] = {};  // the first-unit class over units below 256
    // When those units form one range: its first unit and length - 1.
    bool firstRange = false;
    uint32_t rangeLo = 0, rangeSpan = 0;
    bool hasSecond = false;
    uint32_t secondChar = 0, secondOther = 0;
};

// Nodes ---------------------------------------------------------------------------

class Compiler {
public:
    explicit Compiler(Program& p) : prog(p) {}
    int Emit(Inst i) {
        prog.code.push_back(i);
        return int(prog.code.size()) - 1;
    }
    int Here() const { return int(prog.code.size()); }
    Inst& At(int pc) { return prog.code[size_t(pc)]; }
    int NewRegister() { return prog.registers++; }
    Program& prog;
    int dir = 1;
    std::vector<std::pair<int, const ElxInterface*>> pendingFragments;  // recursion targets
};

}  // namespace detail

class CEmptyElxT final : public ElxInterface {
public:
    void Emit(detail::Compiler&) const override {}
    bool CanBeEmpty() const override { return true; }
};

class CRangeElxT : public ElxInterface {
public:
    explicit CRangeElxT(CharClass cls) : cls(std::move(cls)) {}
    void Emit(detail::Compiler& c) const override {
        c.prog.classes.push_back(cls);
        c.prog.classes.back().Finish();
        detail::Inst i{detail::kClass};
        i.dir = int8_t(c.dir);
        i.x = int(c.prog.classes.size()) - 1;
        c.Emit(i);
    }
    CharClass cls;
};

// Whether units k and k + 1 of s are a surrogate pair whose character has
// other cases (only letters above U+FFFF; their units do not fold alone).
inline bool CasedPairAt(const std::vector<uint32_t>& s, size_t k) {
    if (k + 1 >= s.size() || s[k] < 0xD800 || s[k] > 0xDBFF || s[k + 1] < 0xDC00 || s[k + 1] > 0xDFFF) return false;
    const uint32_t cp = 0x10000 + ((s[k] - 0xD800) << 10) + (s[k + 1] - 0xDC00);
    return NextCase(cp) != cp;
}

class CStringElxT final : public ElxInterface {
public:
    CStringElxT(std::vector<uint32_t> s, bool icase) : text(std::move(s)), icase(icase) {}
    void Emit(detail::Compiler& c) const override {
        if (icase) {
            // A cased letter above U+FFFF is matched as a class of its cases;
            // the units around it as literals.
            std::vector<std::vector<uint32_t>> parts(1);
            for (size_t k = 0; k < text.size(); ++k) {
                if (CasedPairAt(text, k)) {
                    parts.push_back({text[k], text[k + 1]});
                    parts.emplace_back();
                    ++k;
                } else {
                    parts.back().push_back(text[k]);
                }
            }
            if (parts.size() > 1) {
                if (c.dir < 0) std::reverse(parts.begin(), parts.end());
                for (const auto& part : parts) {
                    if (part.empty()) continue;
                    if (CasedPairAt(part, 0)) {
                        CharClass cls;
                        cls.icase = true;
                        const uint32_t cp = 0x10000 + ((part[0] - 0xD800) << 10) + (part[1] - 0xDC00);
                        cls.ranges.push_back({cp, cp});
                        CRangeElxT(std::move(cls)).Emit(c);
                    } else {
                        EmitUnits(c, part);
                    }
                }
                return;
            }
        }
        EmitUnits(c, text);
    }
    void EmitUnits(detail::Compiler& c, const std::vector<uint32_t>& text) const {
        if (text.size() == 1) {
            detail::Inst i{detail::kChar};
            i.dir = int8_t(c.dir);
            i.flag = icase;
            i.a = int(icase ? Fold(text[0]) : text[0]);
            c.Emit(i);
            return;
        }
        std::vector<uint32_t> s = text;
        if (icase)
            for (auto& u : s) u = Fold(u);
        c.prog.strings.push_back(s);
        detail::Inst i{detail::kString};
        i.dir = int8_t(c.dir);
        i.flag = icase;
        i.x = int(c.prog.strings.size()) - 1;
        c.Emit(i);
    }
    std::vector<uint32_t> text;
    bool icase;
};

// A bracket expression: a class built from ranges, POSIX classes and escapes.
class CBracketElxT final : public CRangeElxT {
public:
    using CRangeElxT::CRangeElxT;
};

// One POSIX class inside brackets (kept as a class of one member).
class CPosixElxT final : public CRangeElxT {
public:
    using CRangeElxT::CRangeElxT;
};

class CAnyElx final : public ElxInterface {
public:
    explicit CAnyElx(bool dotall) : dotall(dotall) {}
    void Emit(detail::Compiler& c) const override {
        detail::Inst i{detail::kAny};
        i.dir = int8_t(c.dir);
        i.flag = dotall;
        c.Emit(i);
    }
    bool dotall;
};

class CBoundaryElxT final : public ElxInterface {
public:
    explicit CBoundaryElxT(detail::AssertKind k) : kind(k) {}
    void Emit(detail::Compiler& c) const override {
        detail::Inst i{detail::kAssert};
        i.kind = kind;
        c.Emit(i);
    }
    bool CanBeEmpty() const override { return true; }
    detail::AssertKind kind;
};

class CGlobalElxT final : public ElxInterface {
public:
    void Emit(detail::Compiler& c) const override {
        detail::Inst i{detail::kAssert};
        i.kind = detail::kSearchStart;
        c.Emit(i);
    }
    bool CanBeEmpty() const override { return true; }
};

class CListElxT final : public ElxInterface {
public:
    void Emit(detail::Compiler& c) const override {
        if (c.dir > 0)
            for (const auto& n : items) n->Emit(c);
        else
            for (auto it = items.rbegin(); it != items.rend(); ++it) (*it)->Emit(c);
    }
    bool CanBeEmpty() const override {
        for (const auto& n : items)
            if (!n->CanBeEmpty()) return false;
        return true;
    }
    std::vector<ElxPtr> items;
};

class CAlternativeElxT final : public ElxInterface {
public:
    void Emit(detail::Compiler& c) const override {
        std::vector<int> jumps;
        for (size_t k = 0; k < alternatives.size(); ++k) {
            if (k + 1 < alternatives.size()) {
                const int split = c.Emit({detail::kSplit});
                c.At(split).x = c.Here();
                alternatives[k]->Emit(c);
                jumps.push_back(c.Emit({detail::kJmp}));
                c.At(split).y = c.Here();
            } else {
                alternatives[k]->Emit(c);
            }
        }
        for (int j : jumps) c.At(j).x = c.Here();
    }
    bool CanBeEmpty() const override {
        for (const auto& n : alternatives)
            if (n->CanBeEmpty()) return true;
        return false;
    }
    std::vector<ElxPtr> alternatives;
};

// A capturing group (group 0 is the whole match).
class CGroupElx final : public ElxInterface {
public:
    CGroupElx(int number, ElxPtr body) : number(number), body(std::move(body)) {}
    void Emit(detail::Compiler& c) const override {
        detail::Inst open{detail::kSave}, close{detail::kSave};
        open.a = 2 * number + (c.dir > 0 ? 0 : 1);
        close.a = 2 * number + (c.dir > 0 ? 1 : 0);
        c.Emit(open);
        body->Emit(c);
        c.Emit(close);
    }
    bool CanBeEmpty() const override { return body->CanBeEmpty(); }
    int number;        // resolved before compiling
    std::u32string name;
    ElxPtr body;
};

// Repetitions: exactly n, greedy, reluctant and possessive.
class CRepeatElxT : public ElxInterface {
public:
    CRepeatElxT(ElxPtr body, int min, int max) : body(std::move(body)), min(min), max(max) {}
    void Emit(detail::Compiler& c) const override { EmitRepeat(c, detail::kGreedy); }
    bool CanBeEmpty() const override { return min == 0 || body->CanBeEmpty(); }
    ElxPtr body;
    int min, max;

protected:
    // A single unit without captures repeats with one choice point.
    bool SimpleItem(detail::Compiler& c, detail::Item* item) const;
    void EmitRepeat(detail::Compiler& c, detail::RepMode mode) const;
    // One optional round: mark the position, the body, and leave the loop when
    // the round consumed nothing. Returns the progress test's pc.
    int EmitRound(detail::Compiler& c, int mark) const;
};

class CGreedyElxT final : public CRepeatElxT {
public:
    using CRepeatElxT::CRepeatElxT;
};

class CReluctantElxT final : public CRepeatElxT {
public:
    using CRepeatElxT::CRepeatElxT;
    void Emit(detail::Compiler& c) const override { EmitRepeat(c, detail::kLazy); }
};

class CPossessiveElxT final : public CRepeatElxT {
public:
    using CRepeatElxT::CRepeatElxT;
    void Emit(detail::Compiler& c) const override { EmitRepeat(c, detail::kPossessive); }
};

// Places a body's code out of line, ending with `end`: kMatch for a
// sub-program (atomic groups, look-arounds), kReturn for a recursion target.
inline int EmitFragment(detail::Compiler& c, const ElxInterface& body, int dir, detail::Op end = detail::kMatch) {
    const int skip = c.Emit({detail::kJmp});
    const int start = c.Here();
    const int saved = c.dir;
    c.dir = dir;
    body.Emit(c);
    c.dir = saved;
    c.Emit({end});
    c.At(skip).x = c.Here();
    return start;
}

class CIndependentElxT final : public ElxInterface {
public:
    explicit CIndependentElxT(ElxPtr body) : body(std::move(body)) {}
    void Emit(detail::Compiler& c) const override {
        const int frag = EmitFragment(c, *body, c.dir);
        detail::Inst i{detail::kAtomic};
        i.x = frag;
        c.Emit(i);
    }
    bool CanBeEmpty() const override { return body->CanBeEmpty(); }
    ElxPtr body;
};

class CAssertElxT final : public ElxInterface {
public:
    CAssertElxT(ElxPtr body, bool negative, bool behind) : body(std::move(body)), negative(negative), behind(behind) {}
    void Emit(detail::Compiler& c) const override {
        const int frag = EmitFragment(c, *body, behind ? -1 : 1);
        detail::Inst i{detail::kLook};
        i.x = frag;
        i.flag = negative;
        c.Emit(i);
    }
    bool CanBeEmpty() const override { return true; }
    ElxPtr body;
    bool negative, behind;
};

class CBackrefElxT final : public ElxInterface {
public:
    CBackrefElxT(int number, std::u32string name, bool icase) : number(number), name(std::move(name)), icase(icase) {}
    void Emit(detail::Compiler& c) const override {
        detail::Inst i{detail::kBackref};
        i.dir = int8_t(c.dir);
        i.flag = icase;
        i.a = number;
        c.Emit(i);
    }
    bool CanBeEmpty() const override { return true; }
    int number;
    std::u32string name;
    bool icase;
};

class CConditionElxT final : public ElxInterface {
public:
    void Emit(detail::Compiler& c) const override {
        int test;
        if (assertion) {
            detail::Inst i{detail::kCondLook};
            i.a = EmitFragment(c, *assertion->body, assertion->behind ? -1 : 1);
            i.flag = assertion->negative;
            test = c.Emit(i);
        } else {
            detail::Inst i{detail::kCondGroup};
            i.a = number;
            test = c.Emit(i);
        }
        c.At(test).x = c.Here();
        yes->Emit(c);
        const int jump = c.Emit({detail::kJmp});
        c.At(test).y = c.Here();
        if (no) no->Emit(c);
        c.At(jump).x = c.Here();
    }
    bool CanBeEmpty() const override { return yes->CanBeEmpty() || !no || no->CanBeEmpty(); }
    int number = 0;
    std::u32string name;
    std::unique_ptr<CAssertElxT> assertion;
    ElxPtr yes, no;
};

class CDelegateElxT final : public ElxInterface {
public:
    CDelegateElxT(int number, std::u32string name) : number(number), name(std::move(name)) {}
    void Emit(detail::Compiler& c) const override {
        detail::Inst i{detail::kRecurse};
        i.a = number;
        i.dir = int8_t(c.dir);
        c.Emit(i);
    }
    bool CanBeEmpty() const override { return true; }
    int number;  // 0: the whole expression
    std::u32string name;
};

inline bool CRepeatElxT::SimpleItem(detail::Compiler& c, detail::Item* item) const {
    if (auto* s = dynamic_cast<const CStringElxT*>(body.get()); s && s->text.size() == 1) {
        *item = {detail::kChar, s->icase, s->icase ? Fold(s->text[0]) : s->text[0], -1};
        return true;
    }
    if (auto* a = dynamic_cast<const CAnyElx*>(body.get())) {
        *item = {detail::kAny, a->dotall, 0, -1};
        return true;
    }
    if (auto* r = dynamic_cast<const CRangeElxT*>(body.get())) {
        c.prog.classes.push_back(r->cls);
        c.prog.classes.back().Finish();
        *item = {detail::kClass, false, 0, int(c.prog.classes.size()) - 1};
        return true;
    }
    return false;
}

inline int CRepeatElxT::EmitRound(detail::Compiler& c, int mark) const {
    using namespace detail;
    Inst m{kMark};
    m.a = mark;
    c.Emit(m);
    body->Emit(c);
    Inst p{kProgress};
    p.a = mark;
    return c.Emit(p);
}

inline void CRepeatElxT::EmitRepeat(detail::Compiler& c, detail::RepMode mode) const {
    using namespace detail;
    if (max == 0) return;
    Item item;
    if (SimpleItem(c, &item)) {
        c.prog.items.push_back(item);
        Inst i{kRepSimple};
        i.dir = int8_t(c.dir);
        i.kind = mode;
        i.x = int(c.prog.items.size()) - 1;
        i.a = min;
        i.b = max;
        c.Emit(i);
        return;
    }
    if (mode == kPossessive) {
        // The greedy form, run as an atomic sub-program.
        struct GreedyOf final : ElxInterface {
            explicit GreedyOf(const CRepeatElxT& r) : r(r) {}
            void Emit(detail::Compiler& c) const override { r.EmitRepeat(c, kGreedy); }
            const CRepeatElxT& r;
        } greedy(*this);
        const int frag = EmitFragment(c, greedy, c.dir);
        Inst i{kAtomic};
        i.x = frag;
        c.Emit(i);
        return;
    }
    const bool lazy = mode == kLazy;
    if (min == 0 && max == 1) {  // x?
        const int split = c.Emit({kSplit});
        const int bodyStart = c.Here();
        body->Emit(c);
        const int end = c.Here();
        c.At(split).x = lazy ? end : bodyStart;
        c.At(split).y = lazy ? bodyStart : end;
        return;
    }
    if (min <= 1 && max == INT_MAX) {  // x* and x+
        const int mark = c.NewRegister();
        int top;
        int split = -1;
        if (min == 0) {
            top = c.Here();
            split = c.Emit({kSplit});
        } else {
            top = c.Here();
        }
        const int bodyStart = c.Here();
        const int progress = EmitRound(c, mark);
        if (min == 0) {
            Inst j{kJmp};
            j.x = top;
            c.Emit(j);
            const int end = c.Here();
            c.At(split).x = lazy ? end : bodyStart;
            c.At(split).y = lazy ? bodyStart : end;
            c.At(progress).x = end;
        } else {
            const int again = c.Emit({kSplit});
            const int end = c.Here();
            c.At(again).x = lazy ? end : bodyStart;
            c.At(again).y = lazy ? bodyStart : end;
            c.At(progress).x = end;
        }
        return;
    }
    // Counted: a mandatory part of `min` rounds, then optional rounds up to `max`.
    const int counter = c.NewRegister(), mark = c.NewRegister();
    Inst init{kCntInit};
    init.a = counter;
    c.Emit(init);
    const int mandatory = c.Here();
    Inst ge{kCntGe};
    ge.a = counter;
    ge.b = min;
    const int geMin = c.Emit(ge);
    body->Emit(c);
    Inst inc{kCntInc};
    inc.a = counter;
    c.Emit(inc);
    Inst back{kJmp};
    back.x = mandatory;
    c.Emit(back);
    const int optional = c.Here();
    c.At(geMin).x = optional;
    Inst geMax{kCntGe};
    geMax.a = counter;
    geMax.b = max;
    const int geMaxPc = c.Emit(geMax);
    const int split = c.Emit({kSplit});
    const int bodyStart = c.Here();
    // Bounded rounds may match empty and still count (the counter ends the
    // loop); unbounded ones end at the first round that consumes nothing.
    int progress = -1;
    if (max == INT_MAX) progress = EmitRound(c, mark);
    else body->Emit(c);
    c.Emit(inc);
    Inst again{kJmp};
    again.x = optional;
    c.Emit(again);
    const int end = c.Here();
    c.At(geMaxPc).x = end;
    c.At(split).x = lazy ? end : bodyStart;
    c.At(split).y = lazy ? bodyStart : end;
    if (progress >= 0) c.At(progress).x = end;
}

namespace detail {

// Parser ---------------------------------------------------------------------------

template <typename CharT>
class Parser {
public:
    Parser(const CharT* p, int n, int flags) : p_(p), n_(n), flags_(flags) {}

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
        explicit Nest(Parser& p) : p(p) {
            if (++p.depth_ > kMaxNesting) p.Fail("groups or brackets nested more than 200 deep");
        }
        ~Nest() { --p.depth_; }
        Parser& p;
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

// Matcher ----------------------------------------------------------------------------

inline bool IsHigh(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLow(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The matcher draws on a Budget: every step and every unit compared costs one
// step, and its backtracking stack may hold at most about budget.memory bytes.
template <typename CharT>
class Matcher {
public:
    Matcher(const Program& p, const CharT* text, int length, int searchStart, const Budget& budget)
        : regs_(size_t(p.registers), -1), p_(p), t_(text), n_(length), searchStart_(searchStart),
          budget_(budget.steps), maxBytes_(std::max<size_t>(budget.memory / 2, 64 * sizeof(Frame))) {}

    std::vector<int> regs_;
    bool tooComplex = false;
    int leadRunEnd = -1;  // where the run at the program's start ended, last try
    uint64_t Steps() const { return std::min(steps_, budget_); }
    uint64_t Left() const { return budget_ - Steps(); }
    // Charges work done outside the matcher; false once the budget is spent.
    bool Charge(uint64_t n) {
        steps_ += n;
        return !OutOfBudget();
    }

    const CharT* Text() const { return t_; }
    int Length() const { return n_; }

    bool Try(int pos) {
        leadRunEnd = -1;
        if (MidPair(pos)) return false;  // a match never starts inside a pair
        std::fill(regs_.begin(), regs_.end(), -1);
        steps_ += regs_.size();  // resetting many registers is work too
        stack_.clear();
        calls_.clear();
        saved_.clear();
        int end = pos;
        if (!Run(0, end)) return false;
        regs_[0] = p_.rtl ? end : pos;
        regs_[1] = p_.rtl ? pos : end;
        return true;
    }

private:
    // Recursive calls deeper than this end the search as too complex.
    static constexpr size_t kMaxCalls = 1000;
    // Sub-programs nested more than this deep end the search as too complex.
    // A pattern nests at most 200 groups, so only recursion reaches it; each
    // level takes one frame of Run (well under 1 KiB, even instrumented), so
    // a search stays far inside a 1 MiB stack.
    static constexpr int kMaxSubRuns = 250;

    enum Bt : uint8_t { kBranch, kRestore, kRepGreedy, kRepLazy, kUndoCall, kRedoCall };
    struct Frame {
        Bt kind;
        int pc, pos, a, b;
    };
    // An active recursive call: where it returns to, and where the registers
    // as they were at the call are kept in saved_.
    struct Call {
        int ret;
        int savedAt;
        int frag, pos;
    };

    uint32_t At(int i) const { return uint32_t(static_cast<std::make_unsigned_t<CharT>>(t_[i])); }

    bool MidPair(int pos) const { return pos > 0 && pos < n_ && IsHigh(At(pos - 1)) && IsLow(At(pos)); }

    // The character next to pos in direction dir (a surrogate pair is one):
    // its width in units, 0 at the edge of the text.
    int CharAt(int pos, int dir, uint32_t* c) const {
        if (dir > 0) {
            if (pos >= n_) return 0;
            *c = At(pos);
            if (IsHigh(*c) && pos + 1 < n_ && IsLow(At(pos + 1))) {
                *c = 0x10000 + ((*c - 0xD800) << 10) + (At(pos + 1) - 0xDC00);
                return 2;
            }
            return 1;
        }
        if (pos <= 0) return 0;
        *c = At(pos - 1);
        if (IsLow(*c) && pos >= 2 && IsHigh(At(pos - 2))) {
            *c = 0x10000 + ((At(pos - 2) - 0xD800) << 10) + (*c - 0xDC00);
            return 2;
        }
        return 1;
    }

    bool IsLineStart(int pos) const {
        if (pos <= 0) return true;
        const uint32_t prev = At(pos - 1);
        return prev == '\n' || (prev == '\r' && (pos >= n_ || At(pos) != '\n'));
    }
    bool IsLineEnd(int pos) const {
        if (pos >= n_) return true;
        const uint32_t c = At(pos);
        return c == '\r' || (c == '\n' && (pos == 0 || At(pos - 1) != '\r'));
    }
    bool WordAt(int i) const { return i >= 0 && i < n_ && IsWordUnit(At(i)); }

    bool Assert(uint8_t kind, int pos) const {
        switch (kind) {
            case kTextStart: return pos == 0;
            case kTextEnd: return pos == n_;
            case kLineStart: return IsLineStart(pos);
            case kLineEnd: return IsLineEnd(pos);
            case kEndOrFinalBreak:
                // The end, or before a final line break (LF, CR or CR LF).
                if (pos == n_) return true;
                if (pos == n_ - 1 && (At(pos) == '\n' || At(pos) == '\r')) return true;
                return pos == n_ - 2 && At(pos) == '\r' && At(pos + 1) == '\n';
            case kEndOrFinalLf:
                if (pos == n_) return true;
                if (pos == n_ - 1 && At(pos) == '\n') return true;
                return pos == n_ - 2 && At(pos) == '\r' && At(pos + 1) == '\n';
            case kWordBoundary: return WordAt(pos - 1) != WordAt(pos);
            case kNotWordBoundary: return WordAt(pos - 1) == WordAt(pos);
            case kSearchStart: return pos == searchStart_;
            case kCharBoundary: return !MidPair(pos);
            default: return true;
        }
    }

    // The width of one character of an item next to pos in direction dir; 0
    // when it does not match there.
    int ItemAt(const Item& it, int pos, int dir) const {
        if (it.op == kChar) {
            const int i = dir > 0 ? pos : pos - 1;
            return i >= 0 && i < n_ && (it.flag ? Fold(At(i)) : At(i)) == it.c ? 1 : 0;
        }
        uint32_t c;
        const int w = CharAt(pos, dir, &c);
        if (!w) return 0;
        if (it.op == kAny) return it.flag || c != '\n' ? w : 0;
        return p_.classes[size_t(it.cls)].Test(c) ? w : 0;
    }

    // Whether the instruction at pc is a literal whose first unit differs from
    // the text's at pos.
    bool CannotStart(int pc, int pos) const {
        const Inst& in = p_.code[size_t(pc)];
        uint32_t want;
        if (in.op == kChar) want = uint32_t(in.a);
        else if (in.op == kString && in.dir > 0) want = p_.strings[size_t(in.x)][0];
        else return false;
        const int i = in.dir > 0 ? pos : pos - 1;
        if (i < 0 || i >= n_) return true;
        return (in.flag ? Fold(At(i)) : At(i)) != want;
    }

    void SetReg(int r, int v) {
        stack_.push_back({kRestore, 0, 0, r, regs_[size_t(r)]});
        regs_[size_t(r)] = v;
    }

    // The memory for backtracking: choice points and undo records, the
    // active recursive calls and the registers they keep.
    size_t Bytes() const {
        return stack_.size() * sizeof(Frame) + calls_.size() * sizeof(Call) + saved_.size() * sizeof(int);
    }

    bool OutOfBudget() {
        if (steps_ <= budget_ && Bytes() <= maxBytes_) return false;
        tooComplex = true;
        return true;
    }

    // Runs a sub-program (a look-around, an atomic group, a condition's
    // test) from pc at pos, on the C++ stack: past kMaxSubRuns nested ones
    // (recursion can nest them without end) the search is too complex.
    bool SubRun(int pc, int& pos) {
        if (subRuns_ >= kMaxSubRuns) {
            tooComplex = true;
            return false;
        }
        ++subRuns_;
        const bool found = Run(pc, pos);
        --subRuns_;
        return found;
    }

    // Runs the program from pc at pos; on success pos is where the match
    // ended and the choice points above the entry level are left in place.
    bool Run(int pc, int& pos) {
        const size_t base = stack_.size();
        for (;;) {
            ++steps_;
            if (OutOfBudget()) return Unwind(base);
            const Inst& in = p_.code[size_t(pc)];
            bool ok = true;
            switch (in.op) {
                case kChar: {
                    const int i = in.dir > 0 ? pos : pos - 1;
                    ok = i >= 0 && i < n_ && (in.flag ? Fold(At(i)) : At(i)) == uint32_t(in.a);
                    if (ok) pos += in.dir, ++pc;
                    break;
                }
                case kString: {
                    const auto& s = p_.strings[size_t(in.x)];
                    const int len = int(s.size());
                    const int from = in.dir > 0 ? pos : pos - len;
                    ok = from >= 0 && from + len <= n_;
                    int k = 0;
                    for (; ok && k < len; ++k) {
                        const uint32_t c = At(from + k);
                        ok = (in.flag ? Fold(c) : c) == s[size_t(k)];
                    }
                    steps_ += uint64_t(k);
                    if (ok) pos += in.dir * len, ++pc;
                    break;
                }
                case kAny: {
                    uint32_t c;
                    const int w = CharAt(pos, in.dir, &c);
                    ok = w && (in.flag || c != '\n');
                    if (ok) pos += in.dir * w, ++pc;
                    break;
                }
                case kClass: {
                    uint32_t c;
                    const int w = CharAt(pos, in.dir, &c);
                    const CharClass& cls = p_.classes[size_t(in.x)];
                    steps_ += cls.nested.size();  // each is tested in turn
                    ok = w && cls.Test(c);
                    if (ok) pos += in.dir * w, ++pc;
                    break;
                }
                case kSplit:
                    // A way that starts with a unit the text does not have
                    // here is not tried.
                    if (CannotStart(in.x, pos)) {
                        pc = in.y;
                        break;
                    }
                    if (!CannotStart(in.y, pos)) stack_.push_back({kBranch, in.y, pos, 0, 0});
                    pc = in.x;
                    break;
                case kJmp: pc = in.x; break;
                case kSave:
                    SetReg(in.a, pos);
                    ++pc;
                    break;
                case kAssert:
                    ok = Assert(in.kind, pos);
                    if (ok) ++pc;
                    break;
                case kBackref: ok = Backref(in, pos) && (++pc, true); break;
                case kLook: {
                    int p = pos;
                    const size_t mark = stack_.size();
                    const bool found = SubRun(in.x, p);
                    if (tooComplex) return Unwind(base);
                    if (in.flag) {  // negative: never sets groups
                        if (found) Unwind(mark);
                        ok = !found;
                    } else {
                        if (found) KeepRestores(mark);
                        ok = found;
                    }
                    if (ok) ++pc;
                    break;
                }
                case kAtomic: {
                    int p = pos;
                    const size_t mark = stack_.size();
                    ok = SubRun(in.x, p);
                    if (tooComplex) return Unwind(base);
                    if (ok) {
                        KeepRestores(mark);
                        pos = p;
                        ++pc;
                    }
                    break;
                }
                case kCondGroup:
                    pc = (in.a >= 0 && 2 * size_t(in.a) + 1 < regs_.size() && regs_[2 * size_t(in.a) + 1] >= 0) ? in.x
                                                                                                                  : in.y;
                    break;
                case kCondLook: {
                    int p = pos;
                    const size_t mark = stack_.size();
                    bool found = SubRun(in.a, p);
                    if (tooComplex) return Unwind(base);
                    if (found) {
                        if (in.flag) Unwind(mark);
                        else KeepRestores(mark);
                    }
                    pc = found != in.flag ? in.x : in.y;
                    break;
                }
                case kRecurse: {
                    const int frag = in.a == 0 ? p_.wholeFragment
                                               : (size_t(in.a) < p_.groupFragment.size()
                                                      ? p_.groupFragment[size_t(in.a)] : -1);
                    if (frag < 0) {
                        ok = false;
                        break;
                    }
                    if (calls_.size() >= kMaxCalls) {
                        tooComplex = true;
                        return Unwind(base);
                    }
                    // Calling a group again where its active call started
                    // would loop without consuming: that way fails.
                    if (std::any_of(calls_.begin(), calls_.end(),
                                    [&](const Call& c) { return c.frag == frag && c.pos == pos; })) {
                        ok = false;
                        break;
                    }
                    // The call keeps every register as it was; the return
                    // puts them back, so groups, counters and loop marks set
                    // inside the call do not outlive it.
                    const int at = int(saved_.size());
                    saved_.insert(saved_.end(), regs_.begin(), regs_.end());
                    steps_ += regs_.size();
                    calls_.push_back({pc + 1, at, frag, pos});
                    stack_.push_back({kUndoCall, frag, pos, at, 0});
                    pc = frag;
                    break;
                }
                case kReturn: {
                    const Call call = calls_.back();
                    calls_.pop_back();
                    stack_.push_back({kRedoCall, call.ret, call.pos, call.savedAt, call.frag});
                    steps_ += regs_.size();
                    for (size_t k = 0; k < regs_.size(); ++k)
                        if (regs_[k] != saved_[size_t(call.savedAt) + k]) SetReg(int(k), saved_[size_t(call.savedAt) + k]);
                    pc = call.ret;
                    break;
                }
                case kRepSimple: ok = RepSimple(in, pc, pos); break;
                case kCntInit:
                    SetReg(in.a, 0);
                    ++pc;
                    break;
                case kCntGe: pc = regs_[size_t(in.a)] >= in.b ? in.x : pc + 1; break;
                case kCntInc:
                    SetReg(in.a, regs_[size_t(in.a)] + 1);
                    ++pc;
                    break;
                case kMark:
                    SetReg(in.a, pos);
                    ++pc;
                    break;
                case kProgress: pc = pos == regs_[size_t(in.a)] ? in.x : pc + 1; break;
                case kMatch: return true;
                case kFail: ok = false; break;
            }
            if (ok) continue;
            // Backtrack to the latest choice point above the entry level.
            if (!Backtrack(base, pc, pos)) return false;
        }
    }

    // Undoes one record that is not a choice point.
    void Undo(const Frame& f) {
        switch (f.kind) {
            case kRestore: regs_[size_t(f.a)] = f.b; break;
            case kUndoCall:
                calls_.pop_back();
                saved_.resize(size_t(f.a));
                break;
            case kRedoCall: calls_.push_back({f.pc, f.a, f.b, f.pos}); break;
            default: break;
        }
    }

    bool Backtrack(size_t base, int& pc, int& pos) {
        while (stack_.size() > base) {
            Frame f = stack_.back();
            stack_.pop_back();
            switch (f.kind) {
                case kBranch:
                    pc = f.pc;
                    pos = f.pos;
                    return true;
                case kRepGreedy: {
                    // Give back one character; keep the point while more can go.
                    const Inst& in = p_.code[size_t(f.b)];
                    pos = f.pos - in.dir;
                    if (pos != f.a && p_.items[size_t(in.x)].op != kChar && MidPair(pos)) pos -= in.dir;
                    if (pos != f.a) stack_.push_back({kRepGreedy, f.pc, pos, f.a, f.b});
                    pc = f.pc;
                    return true;
                }
                case kRepLazy: {
                    const Inst& in = p_.code[size_t(f.b)];
                    const Item& it = p_.items[size_t(in.x)];
                    const int w = ItemAt(it, f.pos, in.dir);
                    if (!w) break;
                    pos = f.pos + in.dir * w;
                    if (f.a + 1 < in.b) stack_.push_back({kRepLazy, f.pc, pos, f.a + 1, f.b});
                    pc = f.pc;
                    ++steps_;
                    if (OutOfBudget()) return Unwind(base), false;
                    return true;
                }
                default: Undo(f); break;
            }
        }
        return false;
    }

    bool Unwind(size_t base) {
        while (stack_.size() > base) {
            Undo(stack_.back());
            stack_.pop_back();
        }
        return false;
    }

    // After a sub-program succeeded: drop its choice points, keep the records
    // that undo its register writes. Calls made inside it have returned
    // inside it, so their records go too.
    void KeepRestores(size_t mark) {
        size_t out = mark;
        for (size_t k = mark; k < stack_.size(); ++k)
            if (stack_[k].kind == kRestore) stack_[out++] = stack_[k];
        stack_.resize(out);
    }

    bool RepSimple(const Inst& in, int& pc, int& pos) {
        const Item& it = p_.items[size_t(in.x)];
        const int min = in.a, max = in.b;
        const int start = pos;
        int count = 0, w;
        if (in.kind == kLazy) {
            while (count < min && (w = ItemAt(it, pos, in.dir))) pos += in.dir * w, ++count;
            steps_ += uint64_t(std::abs(pos - start));
            if (count < min) return false;
            if (count < max) stack_.push_back({kRepLazy, pc + 1, pos, count, pc});
            ++pc;
            return true;
        }
        int stop = pos;  // where the mandatory part ends
        while (count < max && (w = ItemAt(it, pos, in.dir))) {
            pos += in.dir * w;
            if (++count == min) stop = pos;
        }
        if (&in == p_.code.data()) leadRunEnd = pos;
        steps_ += uint64_t(std::abs(pos - start));
        if (count < min) {
            pos = start;
            return false;
        }
        if (in.kind == kGreedy && count > min) stack_.push_back({kRepGreedy, pc + 1, pos, stop, pc});
        ++pc;
        return true;
    }

    bool Backref(const Inst& in, int& pos) {
        const int g = in.a;
        if (g < 0 || size_t(2 * g + 1) >= regs_.size()) return false;
        int s = regs_[size_t(2 * g)], e = regs_[size_t(2 * g + 1)];
        if (s < 0 && e < 0) return false;  // the group has not started
        // A reference inside its own group uses the text consumed so far.
        if (in.dir < 0 ? s < 0 : e < 0) {
            if (in.dir < 0) s = pos;
            else e = pos;
        }
        if (s < 0 || e < 0 || s > e) return false;
        const int len = e - s;
        const int from = in.dir > 0 ? pos : pos - len;
        if (from < 0 || from + len > n_) return false;
        int k = 0;
        bool same = true;
        for (; same && k < len; ++k) {
            uint32_t a = At(s + k), b = At(from + k);
            if (in.flag && IsHigh(a) && IsHigh(b) && k + 1 < len && IsLow(At(s + k + 1)) && IsLow(At(from + k + 1))) {
                // A pair ignoring case: fold the character, not its units.
                a = 0x10000 + ((a - 0xD800) << 10) + (At(s + k + 1) - 0xDC00);
                b = 0x10000 + ((b - 0xD800) << 10) + (At(from + k + 1) - 0xDC00);
                ++k;
            }
            same = in.flag ? Fold(a) == Fold(b) : a == b;
        }
        steps_ += uint64_t(k);  // every unit compared costs a step
        if (!same) return false;
        pos += in.dir * len;
        return true;
    }

    const Program& p_;
    const CharT* t_;
    int n_;
    int searchStart_;
    uint64_t budget_;
    size_t maxBytes_;  // half the memory budget: vectors grow by doubling
    uint64_t steps_ = 0;
    int subRuns_ = 0;  // sub-programs running, nested
    std::vector<Frame> stack_;
    std::vector<Call> calls_;
    std::vector<int> saved_;
};

}  // namespace detail

inline bool FirstSet(const ElxInterface* n, CharClass& set);
inline void SetPrefix(detail::Program& prog, const ElxInterface* first);
inline void SetPairs(detail::Program& prog, const ElxInterface* first);
inline void Possessify(detail::Program& prog);

template <typename CharT>
CRegexpT<CharT>::~CRegexpT() = default;

template <typename CharT>
void CRegexpT<CharT>::Compile(const CharT* pattern, int length, int flags) {
    using namespace detail;
    flags_ = flags;
    error_.clear();
    program_ = std::make_unique<Program>();
    Program& prog = *program_;
    prog.rtl = (flags & RIGHTTOLEFT) != 0;
    if (!pattern) pattern = reinterpret_cast<const CharT*>(u"");
    if (length < 0) {
        length = 0;
        while (pattern[length]) ++length;
    }
    Parser<CharT> parser(pattern, length, flags);
    ElxPtr root;
    try {
        root = parser.Parse();
    } catch (const std::bad_alloc&) {
        throw;
    }
    auto nothing = [&](const std::string& why) {
        error_ = why;
        program_ = std::make_unique<Program>();
        program_->matchesNothing = true;
        program_->code.push_back({kFail});
    };
    if (parser.failed_ || !root) {
        nothing(parser.failed_ ? parser.error_ : "empty pattern");
        if (!parser.failed_) {  // an empty pattern matches the empty string
            error_.clear();
            program_ = std::make_unique<Program>();
            program_->rtl = (flags & RIGHTTOLEFT) != 0;
            program_->code.push_back({kMatch});
        }
        return;
    }
    // Named groups are numbered after the numbered ones; a name used twice is
    // one group.
    const int unnamed = parser.unnamed_;
    prog.groups = 1 + unnamed + int(parser.names_.size());
    for (size_t k = 0; k < parser.names_.size(); ++k) prog.names[parser.names_[k]] = unnamed + 1 + int(k);
    auto resolve = [&](const std::u32string& name) {
        auto it = prog.names.find(name);
        return it == prog.names.end() ? -1 : it->second;
    };
    for (CGroupElx* g : parser.groups_)
        if (g->number < 0) g->number = resolve(g->name);
    for (CBackrefElxT* b : parser.backrefs_)
        if (b->number < 0) b->number = resolve(b->name);
    for (CConditionElxT* c : parser.conditions_) {
        if (!c->name.empty()) c->number = resolve(c->name);
        if (c->number >= prog.groups) c->number = -1;  // never set: the condition is false
    }
    bool undefined = false;
    for (CDelegateElxT* d : parser.delegates_) {
        if (d->number < 0) d->number = resolve(d->name);
        if (d->number < 0 || d->number >= prog.groups) undefined = true;
    }
    for (CBackrefElxT* b : parser.backrefs_)
        if (b->number < 0 || b->number >= prog.groups) b->number = -1;  // never matches
    if (undefined) {
        nothing("recursion into an undefined group");
        return;
    }
    prog.registers = 2 * prog.groups;
    Compiler c(prog);
    c.dir = prog.rtl ? -1 : 1;
    // Group 0 spans the match; the program starts at pc 0.
    root->Emit(c);
    Inst boundary{kAssert};
    boundary.kind = kCharBoundary;  // a match never ends inside a surrogate pair
    c.Emit(boundary);
    c.Emit({kMatch});
    Possessify(prog);
    const Inst& lead = prog.code[0];
    prog.leadRun = !prog.rtl && lead.op == kRepSimple && lead.kind != kLazy && lead.b == INT_MAX;
    // Recursion targets run as fragments of their own.
    prog.groupFragment.assign(size_t(prog.groups), -1);
    if (!parser.delegates_.empty()) {
        prog.wholeFragment = EmitFragment(c, *root, c.dir, kReturn);
        for (CDelegateElxT* d : parser.delegates_) {
            if (d->number <= 0 || prog.groupFragment[size_t(d->number)] >= 0) continue;
            for (CGroupElx* g : parser.groups_)
                if (g->number == d->number) {
                    prog.groupFragment[size_t(d->number)] = EmitFragment(c, *g, c.dir, kReturn);
                    break;
                }
        }
    }
    // Search shortcuts: anchored starts, and a filter on the units a match
    // can start with.
    if (!prog.rtl) {
        // A leading anchor limits where a match can start; the units after it
        // give the filter.
        const ElxInterface* first = root.get();
        size_t skip = 0;
        const auto* list = dynamic_cast<const CListElxT*>(first);
        if (auto* b = dynamic_cast<const CBoundaryElxT*>(list && !list->items.empty() ? list->items[0].get() : first)) {
            prog.anchoredStart = b->kind == kTextStart;
            prog.lineAnchored = b->kind == kLineStart;
            skip = 1;
        }
        CharClass set;
        bool filter = false;
        if (list && skip) {
            for (size_t k = skip; k < list->items.size(); ++k) {
                const ElxInterface* item = list->items[k].get();
                if (!FirstSet(item, set)) break;
                if (!item->CanBeEmpty()) {
                    filter = true;
                    break;
                }
            }
        } else if (!skip) {
            filter = !first->CanBeEmpty() && FirstSet(first, set);
        }
        if (filter) {
            set.Finish();
            prog.classes.push_back(set);
            prog.firstClass = int(prog.classes.size()) - 1;
            prog.firstOp = kClass;
            for (uint32_t u = 0; u < 256; ++u) prog.firstLatin1[u] = set.Test(u) ? 1 : 0;
            const uint8_t* t = prog.firstLatin1;
            const uint8_t* lo = std::find(t, t + 256, 1);
            const uint8_t* hi = std::find(lo, t + 256, 0);
            if (lo < t + 256 && std::find(hi, t + 256, 1) == t + 256) {
                prog.firstRange = true;
                prog.rangeLo = uint32_t(lo - t);
                prog.rangeSpan = uint32_t(hi - lo) - 1;
            }
            // A single literal unit (in one or both cases) is scanned for directly.
            if (set.stocks.empty() && set.posix.empty() && set.nested.empty() && !set.negated &&
                set.ranges.size() <= 2) {
                bool single = true;
                for (const auto& r : set.ranges) single = single && r.first == r.second;
                if (single && !set.ranges.empty()) {
                    prog.firstOp = kChar;
                    prog.firstChar = set.ranges[0].first;
                    prog.firstOther = set.ranges.back().first;
                }
            }
            const ElxInterface* lead = list && !list->items.empty() ? list->items[skip].get() : first;
            if (prog.firstOp == kChar) SetPrefix(prog, lead);
            else SetPairs(prog, lead);
        }
    }
}

// A greedy run of one item followed by a literal the item cannot match never
// gains by giving units back (\w+ before a space): it becomes possessive.
inline void Possessify(detail::Program& prog) {
    using namespace detail;
    for (size_t pc = 0; pc < prog.code.size(); ++pc) {
        Inst& in = prog.code[pc];
        if (in.op != kRepSimple || in.kind != kGreedy) continue;
        size_t next = pc + 1;
        while (next < prog.code.size() && prog.code[next].op == kSave) ++next;
        if (next >= prog.code.size()) continue;
        const Inst& lit = prog.code[next];
        uint32_t u;
        if (lit.op == kChar && lit.dir == in.dir) u = uint32_t(lit.a);
        else if (lit.op == kString && lit.dir == in.dir && in.dir > 0) u = prog.strings[size_t(lit.x)][0];
        else continue;
        const Item& it = prog.items[size_t(in.x)];
        bool overlap = false;
        for (uint32_t c = u;;) {  // every case of the literal's unit under ignore case
            if (it.op == kChar) overlap = overlap || (it.flag ? Fold(c) : c) == it.c;
            else if (it.op == kAny) overlap = overlap || it.flag || c != '\n';
            else overlap = overlap || prog.classes[size_t(it.cls)].Test(c);
            if (!lit.flag || (c = NextCase(c)) == u) break;
        }
        // Surrogates could pair up differently once units are given back.
        if (!overlap && !(u >= 0xD800 && u <= 0xDFFF)) in.kind = kPossessive;
    }
}

inline uint32_t PairHash(uint32_t a, uint32_t b) { return ((a << 6) ^ b) & 0xFFFF; }

// When a match must start with one of several literals of two units or more
// (apple|banana|cherry), candidates are screened by their first two units.
inline void SetPairs(detail::Program& prog, const ElxInterface* first) {
    auto* alt = dynamic_cast<const CAlternativeElxT*>(first);
    if (auto* g = dynamic_cast<const CGroupElx*>(first)) alt = dynamic_cast<const CAlternativeElxT*>(g->body.get());
    if (!alt) return;
    std::vector<uint64_t> bits(1024, 0);
    for (const auto& a : alt->alternatives) {
        const auto* l = dynamic_cast<const CListElxT*>(a.get());
        auto* s = dynamic_cast<const CStringElxT*>(l && !l->items.empty() ? l->items[0].get() : a.get());
        if (!s || s->text.size() < 2 || (s->icase && CasedPairAt(s->text, 0))) return;
        const uint32_t u0 = s->text[0], u1 = s->text[1];
        for (uint32_t x = u0;;) {
            for (uint32_t y = u1;;) {
                const uint32_t h = PairHash(x, y);
                bits[h >> 6] |= uint64_t(1) << (h & 63);
                if (!s->icase || (y = NextCase(y)) == u1) break;
            }
            if (!s->icase || (x = NextCase(x)) == u0) break;
        }
    }
    prog.pairs = std::move(bits);
}

// When a match starts with a literal run, the search checks the run before
// running the matcher, and scans for its first two units at once.
inline void SetPrefix(detail::Program& prog, const ElxInterface* first) {
    auto* s = dynamic_cast<const CStringElxT*>(first);
    if (!s || s->text.size() < 2) return;
    prog.prefix = s->text;
    prog.prefixIcase = s->icase;
    if (s->icase) {
        // A cased letter above U+FFFF folds as a whole, not unit by unit:
        // the prefix ends before it.
        for (size_t k = 0; k < prog.prefix.size(); ++k)
            if (CasedPairAt(prog.prefix, k)) {
                prog.prefix.resize(k);
                break;
            }
        if (prog.prefix.size() < 2) {
            prog.prefix.clear();
            return;
        }
        for (auto& u : prog.prefix) u = Fold(u);
    }
    const uint32_t u = prog.prefix[1];
    prog.secondChar = prog.secondOther = u;
    if (s->icase) {
        const uint32_t o = NextCase(u);
        if (NextCase(o) != u) return;  // three or more cases: the first unit alone
        prog.secondOther = o;
    }
    prog.hasSecond = true;
}

// The units a match of the node can start with, when they can be told
// without matching (false when the node can match the empty string or its
// start is not simple).
inline bool FirstSet(const ElxInterface* n, CharClass& set) {
    if (auto* s = dynamic_cast<const CStringElxT*>(n)) {
        const uint32_t c = s->text[0];
        set.ranges.push_back({c, c});
        if (s->icase && CasedPairAt(s->text, 0)) {  // the high units of its other cases
            const uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (s->text[1] - 0xDC00);
            for (uint32_t o = NextCase(cp); o != cp; o = NextCase(o)) {
                const uint32_t high = 0xD800 + ((o - 0x10000) >> 10);
                set.ranges.push_back({high, high});
            }
        }
        if (s->icase)
            for (uint32_t o = NextCase(c); o != c; o = NextCase(o)) set.ranges.push_back({o, o});
        return true;
    }
    if (auto* r = dynamic_cast<const CRangeElxT*>(n)) {
        set.nested.push_back(r->cls);
        set.ranges.push_back({0xD800, 0xDBFF});  // the class may hold characters beyond the BMP
        return true;
    }
    if (auto* a = dynamic_cast<const CAlternativeElxT*>(n)) {
        for (const auto& alt : a->alternatives)
            if (!FirstSet(alt.get(), set)) return false;
        return true;
    }
    if (auto* l = dynamic_cast<const CListElxT*>(n)) {
        for (const auto& item : l->items) {
            // Zero-width tests consume nothing: the first unit comes after them.
            if (dynamic_cast<const CAssertElxT*>(item.get()) || dynamic_cast<const CBoundaryElxT*>(item.get()) ||
                dynamic_cast<const CGlobalElxT*>(item.get()))
                continue;
            if (dynamic_cast<const CBackrefElxT*>(item.get()) || dynamic_cast<const CConditionElxT*>(item.get()) ||
                dynamic_cast<const CDelegateElxT*>(item.get()))
                return false;
            if (!item->CanBeEmpty()) return FirstSet(item.get(), set);
            if (!FirstSet(item.get(), set)) return false;  // an optional start: both it and what follows
        }
        return false;
    }
    if (auto* g = dynamic_cast<const CGroupElx*>(n)) return !g->body->CanBeEmpty() && FirstSet(g->body.get(), set);
    if (auto* i = dynamic_cast<const CIndependentElxT*>(n)) return !i->body->CanBeEmpty() && FirstSet(i->body.get(), set);
    if (auto* r = dynamic_cast<const CRepeatElxT*>(n)) return r->max > 0 && FirstSet(r->body.get(), set);
    return false;
}

namespace detail {

inline uint32_t Unit(char16_t u) { return u; }
inline uint32_t Unit(wchar_t u) { return uint32_t(static_cast<std::make_unsigned_t<wchar_t>>(u)); }
inline uint32_t Unit(char u) { return uint8_t(u); }
inline uint32_t Unit(char32_t u) { return u; }

// The first i in [from, to) with t[i] equal to a or b (and, when `two`,
// t[i + 1] equal to a2 or b2; then t[to] must exist); `to` when none.
template <typename CharT>
int ScanUnits(const CharT* t, int from, int to, uint32_t a, uint32_t b, bool two, uint32_t a2, uint32_t b2) {
#if defined(__SSE2__)
    if constexpr (sizeof(CharT) == 2) {
        const __m128i va = _mm_set1_epi16(short(a)), vb = _mm_set1_epi16(short(b));
        const __m128i va2 = _mm_set1_epi16(short(a2)), vb2 = _mm_set1_epi16(short(b2));
        for (; from + 8 <= to; from += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + from));
            __m128i hit = _mm_or_si128(_mm_cmpeq_epi16(x, va), _mm_cmpeq_epi16(x, vb));
            if (two) {
                const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + from + 1));
                hit = _mm_and_si128(hit, _mm_or_si128(_mm_cmpeq_epi16(y, va2), _mm_cmpeq_epi16(y, vb2)));
            }
            if (const int mask = _mm_movemask_epi8(hit)) return from + (__builtin_ctz(unsigned(mask)) >> 1);
        }
    }
#endif
    for (; from < to; ++from) {
        const uint32_t u = Unit(t[from]);
        if ((u == a || u == b) && (!two || Unit(t[from + 1]) == a2 || Unit(t[from + 1]) == b2)) return from;
    }
    return to;
}

// The first i in [from, to) whose unit is 256 or above or in [lo, lo + span];
// `to` when none (the caller tests the units themselves).
template <typename CharT>
int SkipOutsideRange(const CharT* t, int from, int to, uint32_t lo, uint32_t span) {
#if defined(__SSE2__)
    if constexpr (sizeof(CharT) == 2) {
        const __m128i vlo = _mm_set1_epi16(short(lo)), vspan = _mm_set1_epi16(short(span));
        const __m128i zero = _mm_setzero_si128();
        for (; from + 8 <= to; from += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + from));
            const __m128i in = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(x, vlo), vspan), zero);
            const __m128i latin1 = _mm_cmpeq_epi16(_mm_srli_epi16(x, 8), zero);
            const int mask = _mm_movemask_epi8(_mm_or_si128(in, _mm_andnot_si128(latin1, _mm_set1_epi16(-1))));
            if (mask) return from + (__builtin_ctz(unsigned(mask)) >> 1);
        }
    }
#endif
    for (; from < to; ++from) {
        const uint32_t u = Unit(t[from]);
        if (u >= 256 || u - lo <= span) return from;
    }
    return to;
}

// The first position in [from, last] where a match can start by the
// program's literal start; -1 when none.
// Every unit of the literal compared costs one unit of `work`; the scan stops
// (-1) once work passes `limit`.
template <typename CharT>
int ScanLiteral(const Program& p, const CharT* t, int length, int from, int last, uint64_t& work, uint64_t limit) {
    const int need = std::max<int>(1, int(p.prefix.size()));
    const int to = std::min(last + 1, length - need + 1);
    while (from < to) {
        const int at = ScanUnits(t, from, to, p.firstChar, p.firstOther, p.hasSecond, p.secondChar, p.secondOther);
        if (at >= to) break;
        int k = 0;
        const int n = int(p.prefix.size());
        if (p.prefixIcase)
            while (k < n && Fold(Unit(t[at + k])) == p.prefix[size_t(k)]) ++k;
        else
            while (k < n && Unit(t[at + k]) == p.prefix[size_t(k)]) ++k;
        work += uint64_t(k) + 1;
        if (k == n) return at;
        if (work > limit) return -1;
        from = at + 1;
    }
    return -1;
}

}  // namespace detail

template <typename CharT>
MatchResult CRegexpT<CharT>::Search(const CharT* text, int length, int start, int end) const {
    Budget budget;
    budget.steps = budget_;
    return Search(text, length, start, end, budget);
}

template <typename CharT>
MatchResult CRegexpT<CharT>::Search(const CharT* text, int length, int start, int end, Budget& budget) const {
    using namespace detail;
    MatchResult r;
    const Program& prog = *program_;
    r.groups.assign(size_t(2 * prog.groups), -1);
    if (budget.exhausted || budget.steps == 0) {
        budget.exhausted = true;
        r.status = Status::kTooComplex;
        return r;
    }
    if (!text || length < 0 || prog.matchesNothing) return r;
    if (start < 0) start = 0;
    if (end < 0 || end > length) end = length;
    if (start > end) return r;
    Matcher<CharT> m(prog, text, length, prog.rtl ? end : start, budget);
    auto done = [&](bool matched) {
        budget.steps -= m.Steps();
        if (m.tooComplex) {
            budget.exhausted = true;
            budget.steps = 0;
            r.status = Status::kTooComplex;
        } else if (matched) {
            std::copy(m.regs_.begin(), m.regs_.begin() + 2 * prog.groups, r.groups.begin());
            r.status = Status::kMatch;
        }
        return r;
    };
    // Running out of memory makes the search too complex, as the memory
    // budget does.
    try {
        return SearchFrom(m, start, end, done);
    } catch (const std::bad_alloc&) {
        m.tooComplex = true;
        return done(false);
    }
}

template <typename CharT>
template <typename Matcher, typename Done>
MatchResult CRegexpT<CharT>::SearchFrom(Matcher& m, int start, int end, Done& done) const {
    using namespace detail;
    const Program& prog = *program_;
    const CharT* text = m.Text();
    const int length = m.Length();
    if (prog.rtl) {
        for (int pos = end; pos >= start; --pos) {
            if (m.Try(pos)) return done(true);
            if (m.tooComplex) break;
        }
        return done(false);
    }
    for (int pos = start; pos <= end; ++pos) {
        if (prog.lineAnchored && pos > 0) {
            // Only line starts: after LF, or after a CR not followed by LF.
            while (pos <= end) {
                const uint32_t prev = Unit(text[pos - 1]);
                if (prev == '\n' || (prev == '\r' && (pos >= length || text[pos] != CharT('\n')))) break;
                ++pos;
            }
            if (pos > end) break;
        }
        if (prog.firstOp == kChar) {
            uint64_t work = 0;
            pos = ScanLiteral(prog, text, length, pos, end, work, m.Left());
            if (!m.Charge(work) || pos < 0) break;
        } else if (prog.firstOp == kClass) {
            const CharClass& cls = prog.classes[size_t(prog.firstClass)];
            const uint8_t* latin1 = prog.firstLatin1;
            const int last = std::min(end, length - 1);
            const uint64_t* pairs = prog.pairs.empty() ? nullptr : prog.pairs.data();
            for (; pos <= last; ++pos) {
                if (prog.firstRange) {
                    pos = SkipOutsideRange(text, pos, last + 1, prog.rangeLo, prog.rangeSpan);
                    if (pos > last) break;
                }
                const uint32_t u = Unit(text[pos]);
                if (u < 256 ? !latin1[u] : !cls.Raw(u)) continue;
                if (!pairs) break;
                if (pos + 1 >= length) continue;  // each literal has two units at least
                const uint32_t h = PairHash(u, Unit(text[pos + 1]));
                if ((pairs[h >> 6] >> (h & 63)) & 1) break;
            }
            if (pos > last) break;
        }
        if (m.Try(pos)) return done(true);
        if (m.tooComplex || prog.anchoredStart) break;
        // Every end a match from inside the run could have was tried from pos.
        if (prog.leadRun && m.leadRunEnd > pos) pos = m.leadRunEnd;
    }
    return done(false);
}

template <typename CharT>
int CRegexpT<CharT>::GroupCount() const {
    return program_->groups;
}

template <typename CharT>
int CRegexpT<CharT>::GroupNumber(const CharT* name, int length) const {
    if (!name) return -1;
    if (length < 0) {
        length = 0;
        while (name[length]) ++length;
    }
    std::u32string key;
    for (int k = 0; k < length; ++k) key += char32_t(static_cast<std::make_unsigned_t<CharT>>(name[k]));
    auto it = program_->names.find(key);
    return it == program_->names.end() ? -1 : it->second;
}

template <typename CharT>
std::basic_string<CharT> CRegexpT<CharT>::Expand(const CharT* tmpl, int tn, const CharT* text, int length,
                                                 const MatchResult& m) const {
    std::basic_string<CharT> out;
    if (!tmpl) return out;
    if (tn < 0) {
        tn = 0;
        while (tmpl[tn]) ++tn;
    }
    auto group = [&](int g) {
        const int s = m.Start(g), e = m.End(g);
        if (s >= 0 && e >= s && e <= length) out.append(text + s, text + e);
    };
    const int groups = m.GroupCount();
    for (int i = 0; i < tn; ++i) {
        const CharT c = tmpl[i];
        if (c != CharT('$') || i + 1 >= tn) {
            out += c;
            continue;
        }
        const CharT d = tmpl[i + 1];
        if (d == CharT('$')) {
            out += d;
            ++i;
        } else if (d == CharT('&')) {
            group(0);
            ++i;
        } else if (d == CharT('`')) {
            if (m.Matched()) out.append(text, text + m.Start(0));
            ++i;
        } else if (d == CharT('\'')) {
            if (m.Matched()) out.append(text + m.End(0), text + length);
            ++i;
        } else if (d == CharT('_')) {
            out.append(text, text + length);
            ++i;
        } else if (d == CharT('+')) {
            for (int g = groups - 1; g >= 1; --g)
                if (m.Start(g) >= 0) {
                    group(g);
                    break;
                }
            ++i;
        } else if (d >= CharT('0') && d <= CharT('9')) {
            int digits = 1;
            while (digits < 3 && i + 1 + digits < tn && tmpl[i + 1 + digits] >= CharT('0') &&
                   tmpl[i + 1 + digits] <= CharT('9'))
                ++digits;
            // Drop trailing digits until the number names a group.
            int used = digits, number = -1;
            for (; used > 0; --used) {
                int v = 0;
                for (int k = 0; k < used; ++k) v = v * 10 + int(tmpl[i + 1 + k] - CharT('0'));
                if (v < groups) {
                    number = v;
                    break;
                }
            }
            if (number < 0) {
                out += c;
                continue;
            }
            group(number);
            i += used;
        } else if (d == CharT('{')) {
            int close = i + 2;
            while (close < tn && tmpl[close] != CharT('}')) ++close;
            if (close >= tn) {
                out += c;
                continue;
            }
            const int number = GroupNumber(tmpl + i + 2, close - (i + 2));
            if (number < 0) {
                out += c;
                continue;
            }
            group(number);
            i = close;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace mrx
