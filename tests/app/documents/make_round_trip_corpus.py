#!/usr/bin/env python3
"""Writes the round-trip corpus: one file of about 3 KB of real text per
encoding the detector reports, taken from the translations that Debian
packages install (the detector's test half, see tools/chardet/corpus.py),
and a few files with bytes that are invalid in their code page.

  python3 tests/app/documents/make_round_trip_corpus.py [folder]
  (default: tests/app/documents/corpus beside this script)

Names: <detector name>.txt; <name>.bad.txt for the damaged ones. Lines end
in CR LF in odd files and LF in even ones, so that both formats are read
back. The output is committed; rerun only to change it.
"""
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "..", "tools", "chardet"))
import corpus  # noqa: E402

SIZE = 3000
UNICODE_LANG = {"UTF-8": "ru", "UTF-16LE": "ja", "UTF-16BE": "el", "UTF-32LE": "zh_CN", "UTF-32BE": "ko"}
UNICODE_CODEC = {"UTF-8": "utf-8", "UTF-16LE": "utf-16-le", "UTF-16BE": "utf-16-be",
                 "UTF-32LE": "utf-32-le", "UTF-32BE": "utf-32-be"}
# Damaged files: a byte sequence the code page does not define, put in the
# middle of a line.
BAD = {"windows-1251": b"\x98", "windows-1253": b"\xaa", "UTF-8": b"\xff\xc3", "Shift_JIS": b"\x82\x20",
       "windows-1252": b"\x81"}


def build(name, lang, codec, iconv_name, eol):
    out = b""
    for line in corpus.encodable_lines(lang, codec, iconv_name, 1, 200_000):
        line = line.replace("\r", " ").replace("\n", " ").strip()
        if not line:
            continue
        enc = corpus.encode(line + eol, codec, iconv_name)
        if enc is None:
            continue
        if len(out) + len(enc) > SIZE:
            break
        out += enc
    return out


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "corpus")
    os.makedirs(folder, exist_ok=True)
    jobs = list(corpus.ENCODINGS) + [(n, UNICODE_LANG[n], UNICODE_CODEC[n], None) for n in corpus.UNICODE]
    for i, (name, lang, codec, iconv_name) in enumerate(jobs):
        eol = "\r\n" if i % 2 else "\n"
        data = build(name, lang, codec, iconv_name, eol)
        if not data:
            print("no text for", name)
            continue
        with open(os.path.join(folder, name + ".txt"), "wb") as f:
            f.write(data)
        if name in BAD:
            cut = data.index(eol.encode(codec or "ascii"), len(data) // 2)
            with open(os.path.join(folder, name + ".bad.txt"), "wb") as f:
                f.write(data[:cut] + BAD[name] + data[cut:])
    print("corpus in", folder)


if __name__ == "__main__":
    main()
