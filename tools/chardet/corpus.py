"""Real text per language from the translations that Debian packages install
(/usr/share/locale/<lang>/LC_MESSAGES/*.mo), and its conversion into each
encoding. Shared by the model trainer and the benchmark's corpus builder.

Files are split in two halves by name: even positions train the models,
odd positions make the test corpus, so that the benchmark never measures on
the text the models were built from.
"""
import glob
import struct
import subprocess

LANGS = {
    "ru": ["ru"], "el": ["el"], "he": ["he"], "ar": ["ar"], "ja": ["ja"], "zh_CN": ["zh_CN"],
    "zh_TW": ["zh_TW"], "ko": ["ko"], "western": ["de", "fr", "es", "pt", "it", "nl", "sv"],
}

# (name reported by the detector, language, Python codec or None for iconv, iconv name)
ENCODINGS = [
    ("windows-1251", "ru", "cp1251", None), ("KOI8-R", "ru", "koi8_r", None),
    ("ISO-8859-5", "ru", "iso8859_5", None), ("x-mac-cyrillic", "ru", "mac_cyrillic", None),
    ("windows-1253", "el", "cp1253", None), ("ISO-8859-7", "el", "iso8859_7", None),
    ("windows-1255", "he", "cp1255", None), ("ISO-8859-8", "he", "iso8859_8", None),
    ("ISO-8859-6", "ar", "iso8859_6", None), ("windows-1252", "western", "cp1252", None),
    ("Shift_JIS", "ja", "shift_jis", None), ("EUC-JP", "ja", "euc_jp", None),
    ("ISO-2022-JP", "ja", "iso2022_jp", None), ("gb18030", "zh_CN", "gb18030", None),
    ("HZ-GB-2312", "zh_CN", "hz", None), ("ISO-2022-CN", "zh_CN", None, "ISO-2022-CN"),
    ("Big5", "zh_TW", "big5", None), ("x-euc-tw", "zh_TW", None, "EUC-TW"),
    ("EUC-KR", "ko", "euc_kr", None), ("ISO-2022-KR", "ko", "iso2022_kr", None),
]
UNICODE = ["UTF-8", "UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE"]


def mo_strings(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 28:
        return []
    magic = struct.unpack("<I", data[:4])[0]
    end = "<" if magic == 0x950412DE else ">"
    n, orig, trans = struct.unpack(end + "III", data[8:20])
    out = []
    for i in range(n):
        length, offset = struct.unpack(end + "II", data[trans + 8 * i: trans + 8 * i + 8])
        olen, _ = struct.unpack(end + "II", data[orig + 8 * i: orig + 8 * i + 8])
        if olen == 0:
            continue  # the header entry
        raw = data[offset: offset + length]
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError:
            continue
        for piece in text.split("\0"):
            piece = piece.strip()
            if len(piece) >= 2:
                out.append(piece)
    return out


def lines(lang, half):
    """Translated strings of a language; half 0 trains, half 1 tests."""
    result = []
    for code in LANGS[lang]:
        files = sorted(glob.glob("/usr/share/locale/%s/LC_MESSAGES/*.mo" % code))
        for i, path in enumerate(files):
            if i % 2 == half:
                result.extend(mo_strings(path))
    return result


def encode(text, codec, iconv_name):
    """Bytes of the text in the encoding, or None when it cannot be written."""
    if codec:
        try:
            return text.encode(codec)
        except (UnicodeEncodeError, LookupError):
            return None
    r = subprocess.run(["iconv", "-f", "UTF-8", "-t", iconv_name], input=text.encode("utf-8"),
                       capture_output=True)
    return r.stdout if r.returncode == 0 else None


def encodable_lines(lang, codec, iconv_name, half, limit_bytes):
    """Lines that the encoding can represent, up to a total size."""
    out, total = [], 0
    for line in lines(lang, half):
        if codec and encode(line, codec, None) is None:
            continue
        out.append(line)
        total += len(line.encode("utf-8"))
        if total > limit_bytes:
            break
    return out
