#!/usr/bin/env python3
"""Writes the corpus of the code pages that Wine does not convert: real
text from the translations that Debian packages install (the detector's test
half, see tools/chardet/corpus.py), each line converted with iconv on its
own, as the control converts lines.

  python3 tests/codepage/make_codepage_corpus.py [folder]
  (default: tests/codepage/corpus beside this script)

Only lines that iconv writes with the same bytes in the standard form of the
encoding and in Microsoft's form of it (EUC-JP-MS, CP936, CP949) are taken,
so that the expected text does not depend on whose mapping table is right.

For each encoding <name>:
  <name>.txt         the file (lines end in CR LF in odd files, LF in even)
  <name>.utf8        its text, lines ending in LF
  <name>.edit.utf8   a line of text not in the file, starting with a
                     character outside ASCII
  <name>.edited.txt  the file with its third line replaced by that line
and <name>.as-<other>.txt, its text in another of the encodings.
The output is committed; rerun only to change it.
"""
import os
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "chardet"))
import corpus  # noqa: E402

SIZE = 3000
# (file name, language, iconv name of the file, iconv standard EUC, iconv Microsoft EUC)
JOBS = [
    ("euc-jp", "ja", "EUC-JP", "EUC-JP", "EUC-JP-MS"),
    ("euc-cn", "zh_CN", "EUC-CN", "EUC-CN", "CP936"),
    ("euc-kr", "ko", "EUC-KR", "EUC-KR", "CP949"),
    ("iso-2022-jp", "ja", "ISO-2022-JP", "EUC-JP", "EUC-JP-MS"),
    ("iso-2022-kr", "ko", "ISO-2022-KR", "EUC-KR", "CP949"),
    ("iso-2022-cn", "zh_CN", "ISO-2022-CN", "EUC-CN", "CP936"),
]


def iconv(text, to):
    r = subprocess.run(["iconv", "-f", "UTF-8", "-t", to], input=text.encode("utf-8"), capture_output=True)
    return r.stdout if r.returncode == 0 else None


def redundant_shifts_removed(data):
    """glibc closes a Chinese line that ends in ASCII with a second SI; the
    shortest form, which the control writes, has one."""
    out, shifted = bytearray(), False
    for b in data:
        if b == 0x0F and not shifted:
            continue
        if b in (0x0E, 0x0F):
            shifted = b == 0x0E
        out.append(b)
    return bytes(out)


def usable(line, name, std, ms):
    if not line or not line.isprintable():
        return None
    a, b = iconv(line, std), iconv(line, ms)
    if a is None or a != b:
        return None
    return iconv(line, name)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "corpus")
    os.makedirs(folder, exist_ok=True)
    for i, (out, lang, name, std, ms) in enumerate(JOBS):
        eol = "\r\n" if i % 2 else "\n"
        lines, encoded, size = [], [], 0
        edit = None
        for line in corpus.lines(lang, 1):
            line = " ".join(line.split())
            enc = usable(line, name, std, ms)
            if enc is None:
                continue
            if size + len(enc) + len(eol) <= SIZE:
                lines.append(line)
                encoded.append(enc)
                size += len(enc) + len(eol)
            elif ord(line[0]) >= 0x80 and line not in lines:
                edit = (line, enc)
                break
        if edit is None or len(lines) < 5:
            print("not enough text for", out)
            continue
        brk = eol.encode("ascii")
        with open(os.path.join(folder, out + ".txt"), "wb") as f:
            f.write(brk.join(encoded))
        with open(os.path.join(folder, out + ".utf8"), "wb") as f:
            f.write("\n".join(lines).encode("utf-8"))
        with open(os.path.join(folder, out + ".edit.utf8"), "wb") as f:
            f.write(edit[0].encode("utf-8"))
        edited = list(encoded)
        edited[2] = edit[1]
        with open(os.path.join(folder, out + ".edited.txt"), "wb") as f:
            f.write(brk.join(edited))
    # The same text in another encoding, line by line: what saving a file in
    # another code page writes.
    for source, target, name in [("euc-jp", "iso-2022-jp", "ISO-2022-JP"), ("euc-cn", "iso-2022-cn", "ISO-2022-CN"),
                                 ("iso-2022-kr", "euc-kr", "EUC-KR")]:
        with open(os.path.join(folder, source + ".utf8"), "rb") as f:
            text = f.read().decode("utf-8").split("\n")
        eol = "\r\n" if [j[0] for j in JOBS].index(source) % 2 else "\n"
        with open(os.path.join(folder, source + ".as-" + target + ".txt"), "wb") as f:
            f.write(eol.encode("ascii").join(redundant_shifts_removed(iconv(line, name)) for line in text))
    print("corpus in", folder)


if __name__ == "__main__":
    main()
