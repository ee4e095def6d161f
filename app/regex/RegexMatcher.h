// The matcher: runs the program over a text within its budget.
// Included by RegexImpl.h, in order; not on its own.
#pragma once

namespace mrx {
namespace detail {

// Matcher ----------------------------------------------------------------------------

inline bool IsHigh(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLow(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The matcher draws on a Budget: every step and every unit compared costs one
// step, and its backtracking stack may hold at most about budget.memory bytes.
template <typename CharT>
class MatcherT {
public:
    MatcherT(const Program& p, const CharT* text, int length, int searchStart, const Budget& budget)
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

}  // namespace mrx
