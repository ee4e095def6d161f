#!/usr/bin/env python3
"""Lines of tests against lines of code, per area and over the tree.

Counts C and C++ sources (.cpp, .h) without blank lines and lines that are
only comments. Code is app/, edit/, codepage/ and include/; tests are tests/.
Each test folder is counted against the code folder of the same name
(tests/app/regex against app/regex; tests/edit/view against edit/view and
edit/control together, as the control's tests live there).

  python3 tools/stats/test_ratio.py

The last line is the before-stop check's count of the same tree: every
line of the tracked C, C++, resource and script files, a file under a
tests/ folder (or named *_test.*) counting as a test.
"""
import os
import re
import subprocess
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
CODE = ["app", "edit", "codepage", "include"]


def count(path):
    n, in_block = 0, False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            s = line.strip()
            if in_block:
                if "*/" in s:
                    in_block = False
                    s = s.split("*/", 1)[1].strip()
                else:
                    continue
            if not s or s.startswith("//"):
                continue
            if s.startswith("/*"):
                if "*/" not in s:
                    in_block = True
                continue
            n += 1
    return n


def area_of(rel):
    parts = rel.split(os.sep)
    # app/<folder>, edit/<folder>, codepage, include; the control's tests
    # live with the view's (tests/edit/view), so the two count as one area.
    area = "/".join(parts[:2]) if parts[0] in ("app", "edit") and len(parts) > 2 else parts[0]
    return "edit/view+control" if area in ("edit/view", "edit/control") else area


def tally(top, strip):
    out = {}
    for base, dirs, files in os.walk(os.path.join(ROOT, top)):
        # Sample files to colour (syntax corpus and goldens) are data, not tests.
        dirs[:] = [d for d in dirs if d not in ("corpus", "golden")]
        for name in files:
            if name.endswith((".cpp", ".h")):
                path = os.path.join(base, name)
                rel = os.path.relpath(path, os.path.join(ROOT, strip))
                out[area_of(rel)] = out.get(area_of(rel), 0) + count(path)
    return out


def main():
    code = {}
    for top in CODE:
        for k, v in tally(top, "").items():
            code[k] = code.get(k, 0) + v
    tests = tally("tests", "tests")
    print(f"{'area':24} {'code':>7} {'tests':>7} {'ratio':>6}")
    for area in sorted(set(code) | set(tests)):
        c, t = code.get(area, 0), tests.get(area, 0)
        print(f"{area:24} {c:7} {t:7} {t / c if c else 0:6.2f}")
    c, t = sum(code.values()), sum(tests.values())
    print(f"{'whole tree':24} {c:7} {t:7} {t / c:6.2f}")
    raw_code, raw_tests = raw_count()
    print(f"{'raw lines (before-stop)':24} {raw_code:7} {raw_tests:7} {raw_tests / max(raw_code, 1):6.2f}")
    return 0


def raw_count():
    """All lines, as the before-stop check counts them."""
    files = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True).stdout.split()
    def lines(path):  # a tracked file deleted in the working tree counts 0, as cat finds nothing
        try:
            with open(os.path.join(ROOT, path), "rb") as f:
                return f.read().count(b"\n")
        except FileNotFoundError:
            return 0
    every = [f for f in files if re.search(r"\.(c|cc|cpp|cxx|h|hh|hpp|rc|vbs)$", f)]
    tests = [f for f in files if re.search(r"(^|/)(tests?|unittests?)(/|_)|_test\.|test_", f)
             and re.search(r"\.(c|cc|cpp|cxx|h|hh|hpp)$", f)]
    all_lines, test_lines = sum(map(lines, every)), sum(map(lines, tests))
    return all_lines - test_lines, test_lines


if __name__ == "__main__":
    sys.exit(main())
