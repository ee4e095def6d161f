#!/usr/bin/env python3
"""Writes the detector's test corpus: real text (the half of the translations
that the models were not trained on) in every encoding, as samples of 200,
1000, 4000 and 16000 bytes cut at character boundaries.

  python3 tools/chardet/make_corpus.py [folder]     (default /tmp/chardet-corpus)

File names: <encoding>__<size>__<n>.txt. Beside each, <name>.eq lists the
code pages whose decoding of the sample gives the same text (the true one
among them): reporting any of them decodes the file correctly.
"""
import os
import random
import sys

sys.path.insert(0, os.path.dirname(__file__))
import corpus  # noqa: E402

SIZES = [200, 1000, 4000, 16000]
PER_SIZE = 12


def samples(lines, codec, iconv_name, size, rng):
    out = []
    for _ in range(PER_SIZE * 3):
        start = rng.randrange(max(1, len(lines) - 1))
        data = b""
        i = start
        while len(data) < size and i < len(lines) + start + 4000:
            enc = corpus.encode(lines[i % len(lines)] + "\n", codec, iconv_name)
            i += 1
            if enc is None:
                continue
            if len(data) + len(enc) > size:
                # Cut the last line at a character boundary.
                text = lines[(i - 1) % len(lines)]
                for k in range(len(text), 0, -1):
                    part = corpus.encode(text[:k], codec, iconv_name)
                    if part is not None and len(data) + len(part) <= size:
                        data += part
                        break
                break
            data += enc
        if len(data) >= size * 0.8 and any(b >= 0x80 or b == 0x1B or b == 0x7E for b in data):
            out.append(data)
        if len(out) == PER_SIZE:
            break
    return out


TABLE = [  # the detector's names, their code pages and decoders
    ("Shift_JIS", 932, "shift_jis", None), ("Big5", 950, "big5", None), ("UTF-16LE", 1200, "utf-16-le", None),
    ("UTF-16BE", 1201, "utf-16-be", None), ("windows-1251", 1251, "cp1251", None),
    ("windows-1252", 1252, "cp1252", None), ("windows-1253", 1253, "cp1253", None),
    ("windows-1255", 1255, "cp1255", None), ("x-mac-cyrillic", 10007, "mac_cyrillic", None),
    ("UTF-32LE", 12000, "utf-32-le", None), ("UTF-32BE", 12001, "utf-32-be", None), ("KOI8-R", 20866, "koi8_r", None),
    ("ISO-8859-5", 28595, "iso8859_5", None), ("ISO-8859-6", 28596, "iso8859_6", None),
    ("ISO-8859-7", 28597, "iso8859_7", None), ("ISO-8859-8", 28598, "iso8859_8", None),
    ("ISO-2022-JP", 50222, "iso2022_jp", None), ("ISO-2022-KR", 50225, "iso2022_kr", None),
    ("ISO-2022-CN", 50227, None, "ISO-2022-CN"), ("EUC-JP", 51932, "euc_jp", None),
    ("x-euc-tw", 51936, None, "EUC-TW"), ("EUC-KR", 51949, "euc_kr", None), ("HZ-GB-2312", 52936, "hz", None),
    ("gb18030", 936, "gb18030", None), ("UTF-8", 65001, "utf-8", None)]


def decode(data, codec, iconv_name):
    if codec:
        try:
            return data.decode(codec)
        except (UnicodeDecodeError, LookupError):
            return None
    import subprocess
    r = subprocess.run(["iconv", "-f", iconv_name, "-t", "UTF-8"], input=data, capture_output=True)
    return r.stdout.decode("utf-8", "replace") if r.returncode == 0 else None


def equivalents(data, name):
    truth = next(t for t in TABLE if t[0] == name)
    text = decode(data, truth[2], truth[3])
    out = [truth[1]]
    for other, cp, codec, iconv_name in TABLE:
        if other == name or cp in out:
            continue
        # Only 7-bit escape forms need iconv here: skip it for 8-bit data.
        if iconv_name and any(b >= 0x80 for b in data):
            continue
        if decode(data, codec, iconv_name) == text:
            out.append(cp)
    return out


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "/tmp/chardet-corpus"
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(2026)
    jobs = list(corpus.ENCODINGS)
    unicode_langs = ["ja", "ru", "zh_CN", "el", "ko", "western"]
    for name in corpus.UNICODE:
        codec = {"UTF-8": "utf-8", "UTF-16LE": "utf-16-le", "UTF-16BE": "utf-16-be", "UTF-32LE": "utf-32-le",
                 "UTF-32BE": "utf-32-be"}[name]
        for lang in unicode_langs:
            jobs.append((name, lang, codec, None))
    cache = {}
    for name, lang, codec, iconv_name in jobs:
        key = (lang, codec, iconv_name)
        if key not in cache:
            cache[key] = corpus.encodable_lines(lang, codec, iconv_name, 1, 400_000)
        lines = cache[key]
        if not lines:
            continue
        for size in SIZES:
            per = max(1, PER_SIZE // (len(unicode_langs) if name in corpus.UNICODE else 1))
            got = samples(lines, codec, iconv_name, size, rng)[:per if name in corpus.UNICODE else PER_SIZE]
            for n, data in enumerate(got):
                path = os.path.join(folder, "%s__%d__%s%d.txt" % (name, size, lang, n))
                with open(path, "wb") as f:
                    f.write(data)
                with open(path[:-4] + ".eq", "w") as f:
                    f.write(" ".join(map(str, equivalents(data, name))))
    print("corpus in", folder, len([n for n in os.listdir(folder) if n.endswith(".txt")]), "samples")


if __name__ == "__main__":
    main()
