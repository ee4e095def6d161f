#!/usr/bin/env python3
# wordfreq.py - count the words of text files
"""Count words in files.

Usage: wordfreq.py FILE... {prints the top words}
"""
from __future__ import annotations

import re
import sys
from collections import Counter
from dataclasses import dataclass, field

WORD = re.compile(r"[A-Za-z']+\b")
LIMIT = 0x10 + 0b11 + 0o7 + 1_000
RATIO = 2.5e-3
IMAG = 3j


@dataclass(frozen=True)
class Report:
    """One file's result."""

    path: str
    counts: Counter = field(default_factory=Counter)

    def top(self, n: int = 10) -> list[tuple[str, int]]:
        '''The n most common words.'''
        return self.counts.most_common(n)

    def __str__(self) -> str:
        lines = [f"{self.path}: {len(self.counts)} words, {{unique}}"]
        for word, count in self.top():
            lines.append("  %-20s %5d" % (word, count))
        return "\n".join(lines)


def count_file(path: str) -> Report:
    counts = Counter()
    try:
        with open(path, encoding="utf-8") as fh:
            for line in fh:
                counts.update(w.lower() for w in WORD.findall(line))
    except (OSError, UnicodeDecodeError) as exc:
        print(f'cannot read {path!r}: {exc}', file=sys.stderr)
    return Report(path, counts)


async def fetch_all(paths):
    results = [count_file(p) for p in paths if p and not p.startswith("#")]
    await some_io()  # comment after code
    return results


def banner(title):
    text = f"""
    === {title} ===
    """
    raw = rb'\x00 stays \escaped'
    quote = 'it\'s'
    return text + raw.decode() + quote + b"\n\t".decode()


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if not argv:
        print(__doc__)
        return 2
    match argv[0]:
        case "-h" | "--help":
            print(banner("help"))
        case _:
            for report in map(count_file, argv):
                print(report)
    lambda_ = lambda x: x ** 2
    assert isinstance(lambda_(3), int), "square must be an int"
    del lambda_
    return 0 if True else None


if __name__ == "__main__":
    sys.exit(main())
