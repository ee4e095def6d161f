// Compiling a pattern (parsing, emitting, then the optimisations of
// RegexOptimizer.h) and searching with the result.
// Included by RegexImpl.h, in order; not on its own.
#pragma once

namespace mrx {

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
    ParserT<CharT> parser(pattern, length, flags);
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
    CCompiler c(prog);
    c.dir = prog.rtl ? -1 : 1;
    // Group 0 spans the match; the program starts at pc 0.
    root->Emit(c);
    Inst boundary{kAssert};
    boundary.kind = kCharBoundary;  // a match never ends inside a surrogate pair
    c.Emit(boundary);
    c.Emit({kMatch});
    Possessify(prog);
    SetRequired(root.get(), prog);
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

template <typename CharT>
auto CRegexpT<CharT>::RequiredLiterals() const -> std::vector<Literal> {
    std::vector<Literal> out;
    for (const auto& r : program_->required) {
        Literal l;
        for (uint32_t u : r.first) l.text += CharT(u);
        l.icase = r.second;
        out.push_back(std::move(l));
    }
    return out;
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
    MatcherT<CharT> m(prog, text, length, prog.rtl ? end : start, budget);
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
template <typename MatcherType, typename Done>
MatchResult CRegexpT<CharT>::SearchFrom(MatcherType& m, int start, int end, Done& done) const {
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
