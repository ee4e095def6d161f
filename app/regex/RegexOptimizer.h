// The optimisations of a compiled program: first sets, literal prefixes and
// pairs for the search's screening, possessive loops.
// Included by RegexImpl.h, in order; not on its own.
#pragma once

namespace mrx {

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

// The literal runs a match of the node must hold: strings in sequence, in
// groups and in repetitions of at least one round.
inline void SetRequired(const ElxInterface* n, detail::Program& prog) {
    if (auto* s = dynamic_cast<const CStringElxT*>(n)) {
        prog.required.emplace_back(s->text, s->icase);
    } else if (auto* l = dynamic_cast<const CListElxT*>(n)) {
        for (const auto& item : l->items) SetRequired(item.get(), prog);
    } else if (auto* g = dynamic_cast<const CGroupElx*>(n)) {
        SetRequired(g->body.get(), prog);
    } else if (auto* i = dynamic_cast<const CIndependentElxT*>(n)) {
        SetRequired(i->body.get(), prog);
    } else if (auto* r = dynamic_cast<const CRepeatElxT*>(n)) {
        if (r->min >= 1) SetRequired(r->body.get(), prog);
    }
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

}  // namespace mrx
