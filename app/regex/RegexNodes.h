// The parsed pattern: one node class per construct, each emitting its
// instructions into the program.
// Included by RegexImpl.h, in order; not on its own.
#pragma once

namespace mrx {

class CEmptyElxT final : public ElxInterface {
public:
    void Emit(detail::CCompiler&) const override {}
    bool CanBeEmpty() const override { return true; }
};

class CRangeElxT : public ElxInterface {
public:
    explicit CRangeElxT(CharClass cls) : cls(std::move(cls)) {}
    void Emit(detail::CCompiler& c) const override {
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
    void Emit(detail::CCompiler& c) const override {
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
    void EmitUnits(detail::CCompiler& c, const std::vector<uint32_t>& text) const {
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
    void Emit(detail::CCompiler& c) const override {
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
    void Emit(detail::CCompiler& c) const override {
        detail::Inst i{detail::kAssert};
        i.kind = kind;
        c.Emit(i);
    }
    bool CanBeEmpty() const override { return true; }
    detail::AssertKind kind;
};

class CGlobalElxT final : public ElxInterface {
public:
    void Emit(detail::CCompiler& c) const override {
        detail::Inst i{detail::kAssert};
        i.kind = detail::kSearchStart;
        c.Emit(i);
    }
    bool CanBeEmpty() const override { return true; }
};

class CListElxT final : public ElxInterface {
public:
    void Emit(detail::CCompiler& c) const override {
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
    void Emit(detail::CCompiler& c) const override {
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
    void Emit(detail::CCompiler& c) const override {
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
    void Emit(detail::CCompiler& c) const override { EmitRepeat(c, detail::kGreedy); }
    bool CanBeEmpty() const override { return min == 0 || body->CanBeEmpty(); }
    ElxPtr body;
    int min, max;

protected:
    // A single unit without captures repeats with one choice point.
    bool SimpleItem(detail::CCompiler& c, detail::Item* item) const;
    void EmitRepeat(detail::CCompiler& c, detail::RepMode mode) const;
    // One optional round: mark the position, the body, and leave the loop when
    // the round consumed nothing. Returns the progress test's pc.
    int EmitRound(detail::CCompiler& c, int mark) const;
};

class CGreedyElxT final : public CRepeatElxT {
public:
    using CRepeatElxT::CRepeatElxT;
};

class CReluctantElxT final : public CRepeatElxT {
public:
    using CRepeatElxT::CRepeatElxT;
    void Emit(detail::CCompiler& c) const override { EmitRepeat(c, detail::kLazy); }
};

class CPossessiveElxT final : public CRepeatElxT {
public:
    using CRepeatElxT::CRepeatElxT;
    void Emit(detail::CCompiler& c) const override { EmitRepeat(c, detail::kPossessive); }
};

// Places a body's code out of line, ending with `end`: kMatch for a
// sub-program (atomic groups, look-arounds), kReturn for a recursion target.
inline int EmitFragment(detail::CCompiler& c, const ElxInterface& body, int dir, detail::Op end = detail::kMatch) {
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
    void Emit(detail::CCompiler& c) const override {
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
    void Emit(detail::CCompiler& c) const override {
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
    void Emit(detail::CCompiler& c) const override {
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
    void Emit(detail::CCompiler& c) const override {
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
    void Emit(detail::CCompiler& c) const override {
        detail::Inst i{detail::kRecurse};
        i.a = number;
        i.dir = int8_t(c.dir);
        c.Emit(i);
    }
    bool CanBeEmpty() const override { return true; }
    int number;  // 0: the whole expression
    std::u32string name;
};

inline bool CRepeatElxT::SimpleItem(detail::CCompiler& c, detail::Item* item) const {
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

inline int CRepeatElxT::EmitRound(detail::CCompiler& c, int mark) const {
    using namespace detail;
    Inst m{kMark};
    m.a = mark;
    c.Emit(m);
    body->Emit(c);
    Inst p{kProgress};
    p.a = mark;
    return c.Emit(p);
}

inline void CRepeatElxT::EmitRepeat(detail::CCompiler& c, detail::RepMode mode) const {
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
            void Emit(detail::CCompiler& c) const override { r.EmitRepeat(c, kGreedy); }
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


}  // namespace mrx
