// The compiled program as text, one instruction a line after the program's
// screening facts, for tests and for looking at what a pattern became.
// Included by RegexImpl.h, in order; not on its own.
#pragma once

namespace mrx {
namespace detail {

inline std::string UnitText(uint32_t u) {
    if (u >= 0x20 && u < 0x7F && u != '\\') return std::string(1, char(u));
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\x{%X}", unsigned(u));
    return buf;
}

inline std::string DumpProgram(const Program& p) {
    static const char* const kOps[] = {"char", "string", "any", "class", "split", "jmp", "save", "assert",
                                       "backref", "look", "atomic", "condgroup", "condlook", "recurse",
                                       "return", "repsimple", "cntinit", "cntge", "cntinc", "mark",
                                       "progress", "match", "fail"};
    static const char* const kModes[] = {"greedy", "lazy", "possessive"};
    std::string out = "groups " + std::to_string(p.groups) + " registers " + std::to_string(p.registers) + "\n";
    if (p.rtl) out += "right-to-left\n";
    if (p.matchesNothing) out += "matches nothing\n";
    if (p.anchoredStart) out += "anchored at the start\n";
    if (p.lineAnchored) out += "anchored at line starts\n";
    if (p.leadRun) out += "leading run\n";
    if (!p.prefix.empty()) {
        out += std::string("prefix ") + (p.prefixIcase ? "ignoring case " : "") + "\"";
        for (uint32_t u : p.prefix) out += UnitText(u);
        out += "\"\n";
    }
    if (p.firstOp == kChar) out += "first " + UnitText(p.firstChar) + " or " + UnitText(p.firstOther) + "\n";
    if (p.firstOp == kClass) out += "first class " + std::to_string(p.firstClass) + "\n";
    if (p.firstRange) out += "first range " + UnitText(p.rangeLo) + " + " + std::to_string(p.rangeSpan) + "\n";
    if (!p.pairs.empty()) out += "pairs screened\n";
    for (size_t pc = 0; pc < p.code.size(); ++pc) {
        const Inst& i = p.code[pc];
        out += std::to_string(pc) + ": " + (size_t(i.op) < std::size(kOps) ? kOps[i.op] : "?");
        if (i.dir < 0) out += " <-";
        if (i.flag) out += " flag";
        switch (i.op) {
            case kChar:
                out += " " + UnitText(uint32_t(i.a));
                break;
            case kString:
                out += " \"";
                if (size_t(i.x) < p.strings.size())
                    for (uint32_t u : p.strings[size_t(i.x)]) out += UnitText(u);
                out += "\"";
                break;
            case kRepSimple:
                out += std::string(" ") + (i.kind < std::size(kModes) ? kModes[i.kind] : "?") + " item " +
                       std::to_string(i.x) + " {" + std::to_string(i.a) + "," +
                       (i.b < 0 || i.b == INT_MAX ? std::string() : std::to_string(i.b)) + "}";
                break;
            default:
                if (i.kind) out += " kind " + std::to_string(i.kind);
                if (i.x || i.y) out += " x " + std::to_string(i.x) + " y " + std::to_string(i.y);
                if (i.a || i.b) out += " a " + std::to_string(i.a) + " b " + std::to_string(i.b);
                break;
        }
        out += "\n";
    }
    return out;
}

}  // namespace detail

template <typename CharT>
std::string CRegexpT<CharT>::Dump() const {
    return program_ ? detail::DumpProgram(*program_) : std::string();
}

}  // namespace mrx
