#!/usr/bin/env python3
"""Compare our syntax colouring, as written in golden files, with Pygments.

    pygments_diff.py [PATH ...] [--worst N] [--check] [--min-comment F] [--min-string F]

Each PATH is a golden file or a folder searched for *.golden (default: the
corpus folder beside this script). The language of corpus/<stem>/<file>.golden
is <stem>; of any other <stem>.<ext>.golden it is the name up to the first dot.
The source is read from the golden file's text column; no sample is needed.

Both sides are reduced to comment, string, keyword, number and other; only
non-whitespace characters count. Per language the table gives comment and
string F1 (precision/recall in brackets), the share of lines in runs of 20 or
more consecutive lines of code coloured as comment or string, and the longest
such run. Differences of taxonomy where either answer is right are listed in
either_table() below; Pygments' own mistakes are listed with a reason in
pygments_accepted.txt, printed, and left out of the scores.

--worst N prints the N lines per language that disagree most. --check exits
with 1 when a language misses a threshold. Without Pygments: skipped, 0.
"""
import argparse
import functools
import re
import sys
from itertools import accumulate
from pathlib import Path

try:
    from pygments.lexers import get_lexer_by_name
    from pygments.token import Comment, Keyword, Literal, Name, Number, String, Token
except ImportError:
    get_lexer_by_name = None

HERE = Path(__file__).resolve().parent
ACCEPTED = HERE / 'pygments_accepted.txt'
COMMENT, STRING, KEYWORD, NUMBER, OTHER = 'comment', 'string', 'keyword', 'number', 'other'
LETTER = {COMMENT: 'c', STRING: 's', KEYWORD: 'k', NUMBER: 'n', OTHER: '.'}
OURS = {'1': COMMENT, '2': COMMENT, '3': STRING, '4': STRING, '5': KEYWORD, '6': NUMBER}
STYLE_CHARS = '.123456789abcdefghijklmnopqrstuv'
RUN = 20            # this many consecutive bad lines fail
TAB = '\u2192'      # how the golden text column writes a tab

# Our syntax definition's name -> Pygments alias, and options for some lexers.
LEXERS = {
    'c': 'c', 'cpp': 'cpp', 'csharp': 'csharp', 'java': 'java', 'javascript': 'javascript',
    'typescript': 'typescript', 'python': 'python', 'ruby': 'ruby', 'php': 'html+php', 'perl': 'perl',
    'shell': 'bash', 'batch': 'batch', 'powershell': 'powershell', 'vbscript': 'vbscript',
    'sql': 'sql', 'html': 'html', 'xml': 'xml', 'css': 'css', 'json': 'json', 'yaml': 'yaml',
    'ini': 'ini', 'markdown': 'markdown', 'latex': 'tex', 'lua': 'lua', 'go': 'go', 'rust': 'rust',
    'swift': 'swift', 'kotlin': 'kotlin', 'pascal': 'delphi', 'asm': 'nasm', 'diff': 'diff',
    'makefile': 'make', 'cmake': 'cmake',
}
# Fenced Markdown code stays one string rather than being lexed as its language.
OPTIONS = {'markdown': {'handlecodeblocks': False}}

END_MARKER = r'(?m)^__(?:END|DATA)__[ \t]*$[\s\S]*'      # the marker line and all after it
MD_COMMENT = r'(?s)<!--.*?-->'
MD_LITERAL = r'(?ms)^(~{3,}).*?^\1[ \t]*$|(?<!`)(``+)(?!`).+?(?<!`)\2(?!`)'   # ~~~ fences, ``multi-tick`` spans
TEX_LITERAL = (r'(?s)(?<!\\)(\$\$?).*?(?<!\\)\1|\\\[.*?\\\]|\\\(.*?\\\)|\\verb\*?(\S).*?\2'
               r'|\\begin\{(verbatim|Verbatim|lstlisting|minted|alltt)\*?\}.*?\\end\{\3\*?\}')


@functools.lru_cache(maxsize=16)
def _spans(pattern, text):
    return [m.span() for m in re.finditer(pattern, text)]


# Context predicates: (whole text, token start, token text) -> bool.
def _inside(pattern): return lambda text, start, _: any(lo <= start < hi for lo, hi in _spans(pattern, text))
def _unquoted(text, start, value): return value[:1] not in ('"', "'", '[')
def _shebang(text, start, value): return start == 0 and value.startswith('#!')
def _directive(text, start, value): return value.startswith(('{$', '(*$'))
def _no_newline(text, start, value): return value.startswith('\\ No newline')


def either_table():
    """(languages or '*', Pygments token type or list, predicate or None, accepted, reason).

    A character in a matching token agrees with us when our reduced class is
    in the accepted set (then it counts as ours), or our own style character
    is (then it counts as Pygments' class: a piece we style inside a comment or
    string, or a class we have no reduction for)."""
    return [
        ('*', String.Doc, None, {COMMENT, STRING},
         'documentation (docstrings; rust, php doc comments; powershell help): comment or string'),
        ('*', [String.Escape, String.Interpol], None, {STRING, OTHER},
         'an escape or the delimiters of an interpolation may have a class of their own in a string'),
        ('*', Token, _shebang, {COMMENT, OTHER}, 'a #! line is a comment to the language, a directive to the loader'),
        ('json', Name.Tag, None, {STRING, OTHER}, 'an object key is a string; Pygments calls it a tag'),
        ('ruby', String.Symbol, None, {STRING, OTHER}, 'a symbol is a name as much as a string'),
        ('perl ruby', Token, _inside(END_MARKER), set(LETTER), 'text after __END__/__DATA__ is data, not code'),
        ('markdown', String, None, {STRING, OTHER}, 'code spans and blocks are literal text: string or other'),
        ('markdown', Token, _inside(MD_COMMENT), {COMMENT, OTHER},
         'an HTML comment is a comment; Pygments\' Markdown lexer leaves inline HTML as text'),
        ('markdown', Token, _inside(MD_LITERAL), {STRING, OTHER},
         'Pygments knows neither ~~~ fences nor code spans opened by two or more backticks'),
        ('yaml', [Literal.Scalar.Plain, Name.Constant], None, {STRING, OTHER},
         'plain scalars and block scalar text: string or other'),
        ('cmake ini', String, _unquoted, {STRING, OTHER, KEYWORD, NUMBER},
         'Pygments makes every unquoted argument or value a string'),
        ('c cpp', Comment.PreprocFile, None, {STRING, OTHER}, 'an #include file name: a string or just the directive'),
        ('asm xml', Comment.Preproc, None, {STRING, OTHER},
         'Pygments makes a %directive, <?...?>, <!...> or CDATA section one token; quoted text in it is a string'),
        ('pascal', Comment, _directive, {OTHER},
         'Pygments means {$...} to be Comment.Preproc but tests its match, which starts with {, for a leading $'),
        ('diff', Token, _no_newline, {COMMENT, OTHER}, '"\\ No newline at end of file" is a remark on the diff'),
        # Our own classes for pieces inside a comment or string, and one we have no reduction for.
        ('c cpp csharp java javascript typescript kotlin swift php', [Comment, String], None, {'d'},
         'doc tags (@param, {@link}, <summary>) in doc comments'),
        ('java go', Comment, None, {'9'}, 'HTML in Javadoc; //go: directives'),
        ('perl', Comment, None, {'8'}, 'POD is documentation with its own class'),
        ('csharp cmake perl php powershell ruby rust makefile', String, None, {'f'},
         'interpolated variables and format placeholders that Pygments leaves in the string'),
        ('cmake json html yaml', String, None, {'e'}, 'escapes and entities that Pygments leaves in the string'),
        ('cmake', String, None, {'9'}, 'generator expressions $<...> inside a quoted argument'),
        ('rust', String, None, {'e'}, 'code spans in doc comments: a string to Pygments, a built-in here'),
        ('latex', Token, _inside(TEX_LITERAL), {'4'}, 'class 4 in LaTeX is maths and verbatim, which Pygments has no class for'),
    ]


def peer_class(ttype):
    if ttype in Comment.Preproc or ttype in Comment.PreprocFile:
        return OTHER            # preprocessor lines are code
    for base, cls in ((Comment, COMMENT), (String, STRING), (Keyword, KEYWORD), (Number, NUMBER)):
        if ttype in base:
            return cls
    return OTHER


def read_golden(path):
    """The sample's lines and, per line, our style character of each character."""
    rows = path.read_text(encoding='utf-8').split('\n')
    if len(rows) % 2 != 1 or rows[-1]:
        raise ValueError(f'{path}: not pairs of lines ending in LF')
    lines, styles = [], []
    for n, (first, second) in enumerate(zip(rows[0::2], rows[1::2]), 1):
        bar = first.find('|')
        if bar < 0 or second[:bar + 1] != ' ' * bar + '|':
            raise ValueError(f'{path}:{n}: no text and style columns')
        text, units = first[bar + 1:].replace(TAB, '\t'), second[bar + 1:]
        starts = [0, *accumulate(2 if ord(c) > 0xFFFF else 1 for c in text)]    # a non-BMP char: its first unit
        if starts[-1] != len(units) or set(units) - set(STYLE_CHARS):
            raise ValueError(f'{path}:{n}: style column does not match the text')
        lines.append(text)
        styles.append([units[u] for u in starts[:-1]])
    return lines, styles


def peer_classes(stem, text, either):
    """Pygments' class of each character, and the classes accepted instead."""
    lexer = get_lexer_by_name(LEXERS[stem], stripnl=False, ensurenl=False, tabsize=0, **OPTIONS.get(stem, {}))
    entries = [(tt if isinstance(tt, list) else [tt], pred, a)
               for langs, tt, pred, a, _ in either if langs == '*' or stem in langs.split()]
    peer, alt, seen = [OTHER] * len(text), [None] * len(text), []
    for start, ttype, value in lexer.get_tokens_unprocessed(text):
        seen.append(value)
        allowed = set().union(*(a for tt, pred, a in entries
                                if any(ttype in t for t in tt)
                                and (pred is None or pred(text, start, value))))
        peer[start:start + len(value)] = [peer_class(ttype)] * len(value)
        alt[start:start + len(value)] = [allowed or None] * len(value)
    if ''.join(seen) != text:
        raise ValueError(f'{stem}: Pygments tokens do not add up to the text')
    return peer, alt


class Language:
    def __init__(self):
        self.counts = {COMMENT: [0, 0, 0], STRING: [0, 0, 0]}   # both, ours only, peer only
        self.files = self.chars = self.lines = self.in_runs = 0
        self.longest = (0, '')
        self.rows = []          # (comment/string differences, all, file:line, text, ours, peer)

    def f1(self, cls):
        tp, fp, fn = self.counts[cls]
        if tp + fp + fn == 0:
            return None, 'n/a'
        p, r = tp / (tp + fp) if tp + fp else 0.0, tp / (tp + fn) if tp + fn else 0.0
        f = 2 * p * r / (p + r) if p + r else 0.0
        return f, f'{f:.3f} ({p:.2f}/{r:.2f})'

    def count(self, marks):
        for cls, count in self.counts.items():
            for o, p in marks:
                if cls in (o, p):
                    count[0 if o == p else 1 if o == cls else 2] += 1

    def end_run(self, length, where):
        self.in_runs += length if length >= RUN else 0
        self.longest = max(self.longest, (length, where), key=lambda run: run[0])


def score_file(lang, name, lines, styles, peer, alt, excluded):
    """Pool one golden file's lines into its language's counts and runs."""
    lang.files += 1
    verdicts, offset = [], 0    # per line: bad, good, or None (neither breaks nor extends a run)
    for n, (text, raw) in enumerate(zip(lines, styles), 1):
        mine, theirs = [], []
        for i, r in enumerate(raw, offset):
            o, p, a = OURS.get(r, OTHER), peer[i], alt[i] or ()
            mine.append(p if r in a and o not in a else o)
            theirs.append(o if o in a else p)
        offset += len(text) + 1
        marks = [(o, p) for c, o, p in zip(text, mine, theirs) if not c.isspace()]
        left_out = any(lo <= n <= hi for lo, hi in excluded)
        if left_out or not marks:
            verdicts.append(False if left_out else None)   # left out: ends a run; blank: neither
            continue
        lang.lines += 1
        lang.chars += len(marks)
        lang.count(marks)
        bad = sum(o in (COMMENT, STRING) and p not in (COMMENT, STRING) for o, p in marks)
        most = 2 * bad > len(marks)
        verdicts.append(None if most and bad < 3 else most)    # too short to tell: neither
        shown = (''.join(' ' if c.isspace() else LETTER[k] for c, k in zip(text, ks)) for ks in (mine, theirs))
        differ = [(o, p) for o, p in marks if o != p]
        cs = sum(COMMENT in (o, p) or STRING in (o, p) for o, p in differ)
        lang.rows.append((cs, len(differ), f'{name}:{n}', text, *shown))
    run = start = 0
    for n, bad in enumerate(verdicts + [False], 1):
        if bad:
            run, start = run + 1, start if run else n
        elif bad is False:
            lang.end_run(run, f'{name}:{start}')
            run = 0


def collect(paths):
    for path in map(Path, paths):
        for golden in sorted(path.rglob('*.golden')) if path.is_dir() else [path] if path.exists() else []:
            stem = golden.parent.name if golden.parent.name in LEXERS else golden.name.split('.')[0]
            yield stem, golden


def read_accepted(path):
    """Entries (stem, file name, first line, last line, reason)."""
    entries = []
    for line in path.read_text(encoding='utf-8').splitlines() if path.exists() else []:
        line = line.strip()
        if line and not line.startswith('#'):
            stem, name, span, reason = line.split(None, 3)
            bounds = span.split('-')
            entries.append((stem, name, int(bounds[0]), int(bounds[-1]), reason))
    return entries


def report(langs, accepted, used, args):
    print('| Language | comment F1 | string F1 | lines in 20+ runs | longest run | files | chars |\n' + '|---' * 7 + '|')
    failures = []
    for stem, lang in sorted(langs.items()):
        (cf, ctext), (sf, stext) = lang.f1(COMMENT), lang.f1(STRING)
        longest = f'{lang.longest[0]} ({lang.longest[1]})' if lang.longest[0] else '0'
        share = f'{100 * lang.in_runs / lang.lines:.1f}%' if lang.lines else 'n/a'
        print(f'| {stem} | {ctext} | {stext} | {share} | {longest} | {lang.files} | {lang.chars} |')
        for what, value, least in (('comment F1', cf, args.min_comment), ('string F1', sf, args.min_string)):
            if value is not None and value < least:
                failures.append(f'{stem}: {what} {value:.3f} < {least}')
        if lang.longest[0] >= RUN:
            failures.append(f'{stem}: {lang.longest[0]} lines of code as comment or string from {lang.longest[1]}')
    for entry in accepted:
        stem, name, lo, hi, reason = entry
        print(f'accepted: {stem} {name}:{lo}-{hi} {reason}{"" if entry in used else " (no such file given)"}')
    for stem, lang in sorted(langs.items()) if args.worst else []:
        rows = sorted((r for r in lang.rows if r[1]), key=lambda r: (-r[0], -r[1]))[:args.worst]
        print(f'\n{stem}: lines that disagree most (c comment, s string, k keyword, n number, . other)')
        for cs, diff, where, text, mine, theirs in rows:
            print(f'  {where}: {diff} differ, {cs} in comment or string\n    text |{text.replace(chr(9), " ")}')
            print(f'    ours |{mine}\n    peer |{theirs}')
    for failure in failures:
        print('FAIL', failure)
    return failures


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('paths', nargs='*', default=[str(HERE / 'corpus')])
    ap.add_argument('--worst', type=int, default=0, metavar='N', help='show the N worst lines per language')
    ap.add_argument('--check', action='store_true', help='exit with 1 when a threshold is missed')
    ap.add_argument('--min-comment', type=float, default=0.95, metavar='F1')
    ap.add_argument('--min-string', type=float, default=0.80, metavar='F1')
    args = ap.parse_args()
    if get_lexer_by_name is None:
        print('pygments not installed: skipped')
        return 0
    either, accepted, langs, used = either_table(), read_accepted(ACCEPTED), {}, set()
    for stem, golden in collect(args.paths):
        if stem not in LEXERS:
            print(f'{golden}: no Pygments lexer for "{stem}", skipped', file=sys.stderr)
            continue
        name = golden.name[:-len('.golden')]
        lines, styles = read_golden(golden)
        peer, alt = peer_classes(stem, '\n'.join(lines), either)
        here = [e for e in accepted if e[:2] == (stem, name)]
        used.update(here)
        score_file(langs.setdefault(stem, Language()), name, lines, styles, peer, alt, [e[2:4] for e in here])
    if not langs:
        print(f'no golden files in {" ".join(args.paths)}')
        return 0
    failures = report(langs, accepted, used, args)
    return 1 if args.check and failures else 0


if __name__ == '__main__':
    try:
        sys.exit(main())
    except ValueError as e:
        sys.exit(f'pygments_diff: {e}')
