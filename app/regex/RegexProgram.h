// The compiled program: instructions, items, the program and its compiler.
// Included by RegexImpl.h, in order; not on its own.
#pragma once

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
    // Literals every match holds (as written; see RequiredLiterals), each
    // with whether it ignores case.
    std::vector<std::pair<std::vector<uint32_t>, bool>> required;
    uint8_t firstLatin1[256] = {};  // the first-unit class over units below 256
    // When those units form one range: its first unit and length - 1.
    bool firstRange = false;
    uint32_t rangeLo = 0, rangeSpan = 0;
    bool hasSecond = false;
    uint32_t secondChar = 0, secondOther = 0;
};

// Nodes ---------------------------------------------------------------------------

class CCompiler {
public:
    explicit CCompiler(Program& p) : prog(p) {}
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

}  // namespace mrx
