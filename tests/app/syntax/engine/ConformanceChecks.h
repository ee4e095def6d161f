// The checks of tests/app/syntax/conformance/*.vbs, read alike by their two
// runners: conformance_test.cpp (under Wine: the system's engine and ours,
// through ActiveScript) and conformance_native_test.cpp (ours alone, under
// the sanitizers). Standard C++: no Windows headers.
//
// A check is either one line, an expression and what Shown() makes of it:
//     2 => 1 ==> Boolean:True
// or a block of statements and the notes they leave (Note x, Write a, b),
// joined by " | ":
//     '@ name
//     If True Then Note 1 End If
//     '=> 1
// An expected "#13" is a run-time or compile error with that number, after
// the notes before it; "#13@4" also names its line (from 1), "#13@4:2" its
// column (from 0), and text after a space its description. A line "'! own" makes the file one that only our
// engine runs (it uses what the system's engine under Wine lacks: Join, ChrW, Eval, Execute, GetRef); "'!
// com" one that needs the ActiveScript host (Host.VT and the like), which the native runner skips.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace conformance {

struct Check {
    std::string name;
    std::string body;
    std::string expected;
    int line = 0;  // in the file
};

struct File {
    std::vector<Check> checks;
    bool ownOnly = false;  // "'! own"
    bool com = false;      // "'! com"
};

// What a run gave: the notes, and the error that ended it.
struct Outcome {
    std::vector<std::string> notes;
    bool failed = false;
    long long number = 0;
    int line = 0;    // from 1
    int column = 0;  // from 0
    std::string description;
};

// Shown(v) describes a value as "Type:text"; after the check, so that the check's own
// lines count from 1.
inline const char kShow[] =
    "\nFunction Shown(v)\n"
    "  If IsArray(v) Then\n"
    "    Shown = \"Array:\" & LBound(v) & \"..\" & UBound(v)\n"
    "  ElseIf IsObject(v) Then\n"
    "    If v Is Nothing Then Shown = \"Nothing\" Else Shown = \"Object:\" & TypeName(v)\n"
    "  ElseIf IsNull(v) Then\n"
    "    Shown = \"Null\"\n"
    "  ElseIf IsEmpty(v) Then\n"
    "    Shown = \"Empty\"\n"
    "  Else\n"
    "    Shown = TypeName(v) & \":\" & CStr(v)\n"
    "  End If\n"
    "End Function\n";

inline std::string Trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

inline File ReadChecks(const std::string& text) {
    File file;
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    Check* block = nullptr;
    while (std::getline(in, raw)) {
        ++number;
        const std::string line = Trimmed(raw);
        if (block) {
            if (line.rfind("'=>", 0) == 0) {
                block->expected = Trimmed(line.substr(3));
                block = nullptr;
            } else {
                block->body += raw + "\n";
            }
        } else if (line.rfind("'@", 0) == 0) {
            block = &file.checks.emplace_back(Check{Trimmed(line.substr(2)), "", "", number});
        } else if (line.rfind("'!", 0) == 0) {
            file.ownOnly |= line.find(" own") != std::string::npos;
            file.com |= line.find(" com") != std::string::npos;
        } else if (!line.empty() && line[0] != '\'') {
            const size_t arrow = line.rfind(" ==> ");
            if (arrow == std::string::npos) {
                file.checks.push_back(Check{line, "", "(no ==> in this line)", number});
                continue;
            }
            const std::string expr = Trimmed(line.substr(0, arrow));
            file.checks.push_back(
                Check{expr, "Note Shown(" + expr + ")\n", Trimmed(line.substr(arrow + 5)), number});
        }
    }
    if (block) block->expected = "(no '=> after this block)";
    return file;
}

// The outcome as text, its error as precise as `expected` asks: "#13" at any
// line, "#13@4" at any column, without a description unless one is expected.
inline std::string Text(const Outcome& o, const std::string& expected) {
    std::string out;
    for (const std::string& n : o.notes) out += (out.empty() ? "" : " | ") + n;
    if (!o.failed) return out;
    out += (out.empty() ? "#" : " | #") + std::to_string(o.number);
    const size_t hash = expected.rfind('#');
    const std::string asked =
        hash == std::string::npos ? "@:" : expected.substr(hash, expected.find(' ', hash) - hash);
    if (asked.find('@') != std::string::npos) out += "@" + std::to_string(o.line);
    if (asked.find(':') != std::string::npos) out += ":" + std::to_string(o.column);
    if (hash == std::string::npos || expected.find(' ', hash) != std::string::npos)
        out += " " + o.description;
    return out;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The .vbs files of `folder`, in order.
inline std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".vbs") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A test name for a file: "own_library.vbs" is own_library.
inline std::string TestName(const std::string& file) {
    std::string name = file.substr(0, file.find('.'));
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

}  // namespace conformance
