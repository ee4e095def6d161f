#!/usr/bin/env python3
"""Realistic faults, one per area, and which of them the tests catch.

    python3 tools/mutants/faults.py [--build DIR] [ID ...]

Each fault is one edit of one source line (an off-by-one, a wrong
comparison, a dropped flag or check). For each: the edit is made, the
Windows build is brought up to date, the named CTest tests run (under the
test command's Wine set-up, which the caller provides: source
scripts/wine-env.sh and a display), and the source is put back. A fault is
caught when a test fails or the build breaks. Prints one line per fault
and the total; exits 0.
"""
import argparse
import os
import subprocess
import sys
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))

# id, file, text, faulty text, the CTest tests that stand for the area's
# suite (after "native:", tests of the native build).
FAULTS = [
    ("regex-greedy-bound", "app/regex/RegexMatcher.h",
     "        while (count < max && (w = ItemAt(it, pos, in.dir))) {",
     "        while (count <= max && (w = ItemAt(it, pos, in.dir))) {",
     "regex_tests|search_tests native:regex_native_tests"),
    ("script-mid-last-char", "app/syntax/engine/BuiltinsStrings.cpp",
     "    const String t = ops::ToString(s);\n    if (size_t(start) > t.size()) return CValue::Str(String());",
     "    const String t = ops::ToString(s);\n    if (size_t(start) >= t.size()) return CValue::Str(String());",
     "engine_parity_tests|script_tests native:script_native_tests"),
    # (Replaces "codepage-sjis-last-lead", the lead byte 0xEF dropped from
    # CellOfShiftJis: no 932 code has that lead, so nothing could tell.)
    ("codepage-kana-last", "codepage/Iso2022.cpp",
     "            if (b <= 0x5F) {",
     "            if (b < 0x5F) {",
     "codepage_tests native:codepage_native_tests"),
    ("search-whole-word-end", "app/search/Finder.cpp",
     "    if (end >= 0 && end < length && IsWordUnit(text[end])) return false;",
     "    if (end >= 0 && end < length - 1 && IsWordUnit(text[end])) return false;",
     "search_tests|find_dialog_tests|grep_tests"),
    ("printing-page-count", "app/printing/PageLayout.cpp",
     "    return visibleRows <= 0 ? 1 : (visibleRows + perPage - 1) / perPage;",
     "    return visibleRows <= 0 ? 1 : visibleRows / perPage + 1;",
     "print_tests"),
    ("automation-trailing-backslashes", "app/automation/Tools.cpp",
     "    out.append(backslashes * 2, L'\\\\');\n    return out + L\"\\\"\";",
     "    out.append(backslashes, L'\\\\');\n    return out + L\"\\\"\";",
     "automation_tests|macro_tests"),
    ("core-key-name-alt", "app/core/KeyBindings.cpp",
     "    if (code & kAlt) name += L\"Alt+\";\n",
     "",
     "shell_tests|options_tests"),
    ("control-line-terminator", "edit/control/MessageMap.cpp",
     "            if (wchar_t* out = Ptr<wchar_t>(lp)) std::copy(t, t + n + 1, out);",
     "            if (wchar_t* out = Ptr<wchar_t>(lp)) std::copy(t, t + n, out);",
     "edit_control_tests|edit_view_tests"),
    ("view-word-left-line-start", "edit/view/View.cpp",
     "    if (p.column == 0) return p.line > 0 ? Position{p.line - 1, doc_->LineLength(p.line - 1)} : p;",
     "    if (p.column == 0) return p.line > 0 ? Position{p.line - 1, 0} : p;",
     "edit_view_tests|edit_control_tests"),
    ("text-crlf-across-blocks", "edit/text/LineScan.h",
     "                } else {\n                    skipFirstLf = true;\n                }",
     "                }",
     "edit_text_tests|edit_save_tests"),
    ("documents-word-index-block-end", "app/documents/WordIndex.cpp",
     "        if (oldEndLine < end) {",
     "        if (oldEndLine <= end) {",
     "completion_tests|pane_tests|document_tests"),
    ("frame-tab-mark-setting", "app/frame/MainFrameDocuments.cpp",
     "        if (!settings::ReadKeyBool(settings::File::Setting, L\"Tab\", L\"ShowMark\") && title.size() >= 2 &&",
     "        if (settings::ReadKeyBool(settings::File::Setting, L\"Tab\", L\"ShowMark\") && title.size() >= 2 &&",
     "program_tests|options_tests"),
    ("encoding-utf32-surrogates", "app/encoding/FileEncoding.cpp",
     "            if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;",
     "            if (c > 0x10FFFF) c = 0xFFFD;",
     "documents_tests|document_tests"),
]


def run(cmd, log):
    with open(log, "a") as f:
        f.write("$ " + " ".join(cmd) + "\n")
        f.flush()
        return subprocess.call(cmd, cwd=ROOT, stdout=f, stderr=subprocess.STDOUT)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "win"))
    ap.add_argument("--native", default=os.path.join(ROOT, "build", "native"))
    ap.add_argument("--log", default="/tmp/faults.log")
    ap.add_argument("ids", nargs="*")
    a = ap.parse_args()
    chosen = [f for f in FAULTS if not a.ids or f[0] in a.ids]
    caught = 0
    for fid, rel, text, faulty, tests in chosen:
        path = os.path.join(ROOT, rel)
        with open(path, encoding="utf-8") as f:
            original = f.read()
        if original.count(text) != 1:
            print(f"{fid:34} NOT APPLIED ({rel}: the line is not there once)")
            continue
        start = time.time()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(text, faulty))
            verdict = "SURVIVED"
            for part in tests.split():
                tree, names = (a.native, part[7:]) if part.startswith("native:") else (a.build, part)
                if run(["cmake", "--build", tree, "--target", *names.split("|")], a.log) != 0:
                    verdict = "caught (build)"
                elif run(["ctest", "--test-dir", tree, "-R", f"^({names})$", "--timeout", "600"], a.log) != 0:
                    verdict = "caught"
                if verdict != "SURVIVED":
                    break
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        caught += verdict.startswith("caught")
        print(f"{fid:34} {verdict:15} by {tests}  ({time.time() - start:.0f} s)", flush=True)
    print(f"caught {caught} of {len(chosen)}")
    for tree in (a.build, a.native):
        if os.path.isdir(tree):
            run(["cmake", "--build", tree], a.log)
    return 0


if __name__ == "__main__":
    sys.exit(main())
