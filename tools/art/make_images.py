#!/usr/bin/env python3
"""Draws the executable's images and writes them into app/res/:

  Toolbar.bmp       bitmap 401, the main tool bar (one 16x15 image per button)
  PrintToolbar.bmp  bitmap 150, the print frame's tool bar
  TearOff.bmp       bitmap 402, the tear-off strip at the top of popup menus
  Morrowpad.ico     icon 128 (16 to 256 pixels; 256 as PNG)
  PaneMenu.ico      icon 140 (9x16), marks the status-bar panes that open a menu
  PaneSyntax.ico    icon 141 (16x16), the syntax pane
  PaneTabs.ico      icon 142 (16x16), the tab-size pane
  Recording.cur     cursor 134, shown over a pane while a macro is recorded

Every image is drawn here, as pixel art or (the program icon) as shapes
sampled 4x4 per pixel; nothing is taken from elsewhere. Run it again after a
change and commit the files it writes:

  python3 tools/art/make_images.py [--preview preview.png]

The order of the tool-bar images must follow the button lists of
app/res/Morrowpad.rc (separators take no image).
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pixels import Canvas, strip, bmp24, icon_file, png, scaled  # noqa: E402

PAL = {
    'k': (48, 48, 52, 255),     # outline
    'd': (96, 96, 100, 255),
    'g': (144, 144, 148, 255),
    'l': (196, 196, 200, 255),
    's': (228, 228, 232, 255),
    'w': (255, 255, 255, 255),
    'b': (40, 100, 200, 255),   # blue
    'B': (130, 180, 240, 255),
    'c': (205, 228, 250, 255),  # glass
    'n': (22, 50, 120, 255),
    'y': (245, 200, 50, 255),   # yellow
    'e': (255, 230, 130, 255),
    'Y': (190, 140, 20, 255),
    'o': (235, 140, 30, 255),
    'r': (215, 40, 40, 255),    # red
    'R': (140, 20, 20, 255),
    'q': (255, 160, 160, 255),
    'G': (40, 160, 60, 255),    # green
    'h': (20, 100, 40, 255),
    'j': (160, 225, 150, 255),
    'm': (130, 85, 40, 255),    # brown
    'M': (205, 155, 85, 255),
}
P = PAL
W, H = 16, 15


def new():
    return Canvas(W, H)


# ---------------------------------------------------------------- shapes

def page(c, x0, y0, x1, y1, fold=3, fill='w'):
    """A sheet with its top-right corner folded over."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            d = x - (x1 - fold)
            if d > y - y0:
                continue
            edge = x in (x0, x1) or y in (y0, y1) or d == y - y0
            c.px(x, y, P['k'] if edge else P[fill])
    for y in range(y0, y0 + fold + 1):
        for x in range(x1 - fold, x1 + 1):
            d = x - (x1 - fold)
            if d < y - y0:
                continue
            edge = x == x1 - fold or y == y0 + fold or d == y - y0
            c.px(x, y, P['k'] if edge else P['l'])


def text_lines(c, x0, x1, ys, colour='g'):
    for i, y in enumerate(ys):
        c.hline(x0, x1 - (2 if i % 3 == 2 else 0), y, P[colour])


def disc(c, cx, cy, r, fill, ring, light=None):
    """A filled circle centred at (cx, cy) in pixel coordinates."""
    for y in range(c.h):
        for x in range(c.w):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if d <= r - 0.9:
                col = fill
                if light and (x + 0.5 - cx) + (y + 0.5 - cy) < -r * 0.75:
                    col = light
                c.px(x, y, P[col])
            elif d <= r + 0.1:
                c.px(x, y, P[ring])


def magnifier(c, cx, cy, r, length, sign=None):
    """A lens of radius r with its handle towards the lower right."""
    disc(c, cx, cy, r, 'c', 'k', 'w')
    s = r * 0.72
    hx, hy = cx + s, cy + s
    for i in range(length):
        for dx, dy, col in ((0, 0, 'd'), (1, 0, 'k'), (0, 1, 'k'), (1, 1, 'd')):
            c.px(int(hx + i) + dx, int(hy + i) + dy, P[col])
    if sign:
        x, y = int(cx), int(cy)
        c.hline(x - 3, x + 2, y, P['n'])
        c.hline(x - 3, x + 2, y - 1, P['n'])
        if sign == '+':
            c.vline(x - 1, y - 3, y + 2, P['n'])
            c.vline(x, y - 3, y + 2, P['n'])


def pencil(c, tipx, tipy, length):
    """A pencil at 45 degrees, writing towards the lower left."""
    for t in range(length + 1):
        for a in (-2, -1, 0, 1, 2):
            # Along the pencil: x grows, y shrinks; across it: a.
            x = tipx + t + (a + 1) // 2
            y = tipy - t + a // 2 + (1 if a < 0 and a % 2 else 0)
            edge = abs(a) == 2 or t == length
            if t <= 1:
                col = 'k'
            elif t <= 3:
                col = 'k' if edge else 'M'
            elif t >= length - 2:
                col = 'k' if edge else ('l' if t == length - 2 else 'q')
            else:
                col = 'k' if edge else ('o' if a > 0 else 'y')
            if t <= 3 and abs(a) > t // 2 + 1:
                continue
            c.px(x, y, P[col])


def ribbon(c, x0, y0, height=13):
    """A bookmark ribbon with a notch at its foot."""
    rows = ['kkkkkkk'] + ['kBbbbbk'] * (height - 4) + ['kBbkbbk', 'kbk.kbk', 'kk...kk']
    c.grid(x0, y0, rows, P)


def window(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, P['w'])
    c.frame(x0, y0, x1, y1, P['k'])
    c.rect(x0 + 1, y0 + 1, x1 - 1, y0 + 2, P['b'])


ARROW_UP = [
    '...k...',
    '..kGk..',
    '.kGGGk.',
    'kGGGGGk',
    'kkGGGkk',
    '.kGGGk.',
    '.kGGGk.',
    '.kkkkk.',
]

RED_X = [
    'RR...RR',
    'RrR.RrR',
    '.RrRrR.',
    '..RrR..',
    '.RrRrR.',
    'RrR.RrR',
    'RR...RR',
]

FLOPPY = [
    'kkkkkkkkkkkkkk',
    'kbkwwwwwwwwkbk',
    'kbkwllllllwkbk',
    'kbkwwwwwwwwkbk',
    'kbkwllllllwkbk',
    'kbkwwwwwwwwkbk',
    'kbbkkkkkkkkbbk',
    'kbbbbbbbbbbbbk',
    'kbbkkkkkkkkbbk',
    'kbbksssnnskbbk',
    'kbbksssnnskbbk',
    'kbbksssnnskbbk',
    'kbbkssssssk bk'.replace(' ', 'b'),
    'kkkkkkkkkkkkkk',
]

SMALL_FLOPPY = [
    'kkkkkkkkkkk',
    'kbkwwwwwkbk',
    'kbkwllwwkbk',
    'kbkwwwwwkbk',
    'kbbkkkkkbbk',
    'kbbbbbbbbbk',
    'kbkkkkkkkbk',
    'kbksssnnkbk',
    'kbksssnnkbk',
    'kbkssssskbk',
    'kkkkkkkkkkk',
]

FOLDER = [
    '................',
    '.kkkkk..........',
    'kyyyyyk.........',
    'kyyyyyykkkkkkk..',
    'kyyyyyyyyyyyyyk.',
    'kyyykkkkkkkkkkkk',
    'kyyykeeeeeeeeeek',
    'kyyykeeeeeeeeek.',
    'kyykeeeeeeeeeek.',
    'kyykeeeeeeeeek..',
    'kykeeeeeeeeeek..',
    'kykeeeeeeeeek...',
    'kkkkkkkkkkkkk...',
]

PRINTER = [
    '................',
    '....kkkkkkkk....',
    '....kwwwwwwk....',
    '....kwllllwk....',
    '....kwwwwwwk....',
    '..kkkkkkkkkkkk..',
    '.kssssssssssssk.',
    'ksssssssssssGGsk',
    'kllllllllllllllk',
    'kllkkkkkkkkkkllk',
    'kllkwwwwwwwwkllk',
    'kkkkwllllllwkkkk',
    '...kwwwwwwwwk...',
    '...kkkkkkkkkk...',
    '................',
]

UNDO = [
    '................',
    '................',
    '....k...........',
    '...kk...........',
    '..kbkkkkkkkkk...',
    '.kbbbbbbbbbbbkk.',
    'kbbbbbbbbbbbbbbk',
    '.kbbkkkkkkkkkbbk',
    '..kbk.......kbbk',
    '...kk.......kbbk',
    '....k.......kbbk',
    '...........kbbk.',
    '..........kbbk..',
    '..........kkkk..',
    '................',
]

SCISSORS = [
    '................',
    '....d......d....',
    '....dl....ld....',
    '.....dl..ld.....',
    '.....dl..ld.....',
    '......dlld......',
    '.......kk.......',
    '......dkkd......',
    '.....rr..rr.....',
    '...rrrr..rrrr...',
    '..rr..r..r..rr..',
    '..r...r..r...r..',
    '..r..rr..rr..r..',
    '..rrrr....rrrr..',
    '................',
]

WRAP = [
    '................',
    'kkkkkkkkkkkkkk..',
    '................',
    'kkkkkkkkkkbbb...',
    '............bb..',
    '.............bb.',
    '.............bb.',
    '...b.........bb.',
    '..bb........bb..',
    '.bbbbbbbbbbbbb..',
    '.bbbbbbbbbbbb...',
    '..bb............',
    '...b............',
    '................',
    'kkkkkk..........',
]

BIG_A = [
    '....kkk....',
    '....kkk....',
    '...kk.kk...',
    '...kk.kk...',
    '..kk...kk..',
    '..kk...kk..',
    '.kkkkkkkkk.',
    '.kkkkkkkkk.',
    'kk.......kk',
    'kk.......kk',
    'kk.......kk',
]

SMALL_A = [
    '..kkk..',
    '.kk.kk.',
    '.kk.kk.',
    'kkkkkkk',
    'kk...kk',
    'kk...kk',
]

PLUS = ['..G..', '..G..', 'GGGGG', '..G..', '..G..']
PLUS_BIG = ['.hhh.', '.hGh.', 'hhGhh', 'hGGGh', 'hhGhh', '.hGh.', '.hhh.']

DOUBLE_ARROW = [
    '..k..',
    '.kGk.',
    'kGGGk',
    'kkGkk',
    '.kGk.',
    '.kGk.',
    '.kGk.',
    'kkGkk',
    'kGGGk',
    '.kGk.',
    '..k..',
]

PLAY = [
    'kk.......',
    'kGk......',
    'kGGk.....',
    'kGjGk....',
    'kGjGGk...',
    'kGGGGGk..',
    'kGGGGGGk.',
    'kGGGGGGGk',
    'kGGGGGGk.',
    'kGGGGGk..',
    'kGGGGk...',
    'kGGGk....',
    'kGGk.....',
    'kGk......',
    'kk.......',
]


# ---------------------------------------------------------- main tool bar

def img_new_from_template():
    c = new()
    page(c, 1, 0, 12, 14)
    c.rect(3, 2, 7, 4, P['b'])
    text_lines(c, 3, 10, [6, 8, 10, 12])
    c.grid(9, 8, ['...o...', '..oyo..', 'ooyyyoo', '.oyyyo.', '.oyoyo.', '.oo.oo.'], P)
    return c


def img_open():
    c = new()
    c.grid(0, 1, FOLDER, P)
    return c


def img_save():
    c = new()
    c.grid(1, 0, FLOPPY, P)
    return c


def img_save_as():
    c = new()
    c.grid(0, 0, SMALL_FLOPPY, P)
    pencil(c, 6, 14, 9)
    return c


def img_print_preview():
    c = new()
    page(c, 0, 0, 10, 14)
    text_lines(c, 2, 8, [3, 5, 7, 9, 11])
    magnifier(c, 10.5, 8.5, 3.9, 4)
    return c


def img_print():
    c = new()
    c.grid(0, 0, PRINTER, P)
    return c


def img_undo():
    c = new()
    c.grid(0, 0, UNDO, P)
    return c


def img_redo():
    return img_undo().mirrored()


def img_cut():
    c = new()
    c.grid(0, 0, SCISSORS, P)
    return c


def img_copy():
    c = new()
    page(c, 0, 0, 9, 10)
    text_lines(c, 2, 6, [3, 5, 7])
    page(c, 5, 4, 14, 14)
    text_lines(c, 7, 12, [7, 9, 11])
    return c


def img_paste():
    c = new()
    c.rect(1, 2, 11, 14, P['M'])
    c.frame(1, 2, 11, 14, P['m'])
    c.frame(0, 1, 12, 14, P['k'])
    c.rect(4, 0, 8, 3, P['g'])
    c.frame(4, 0, 8, 3, P['k'])
    c.hline(5, 7, 1, P['s'])
    page(c, 6, 5, 15, 14)
    text_lines(c, 8, 12, [8, 10, 12])
    return c


def img_word_wrap():
    c = new()
    c.grid(0, 0, WRAP, P)
    return c


def img_find():
    c = new()
    magnifier(c, 6.5, 6.5, 5.6, 6)
    return c


def img_replace():
    c = new()
    magnifier(c, 5.0, 5.0, 4.4, 3)
    pencil(c, 5, 14, 9)
    return c


def img_find_in_files():
    c = new()
    c.grid(0, 1, FOLDER, P)
    magnifier(c, 10.0, 6.0, 3.6, 4)
    return c


def img_toggle_bookmark():
    c = new()
    page(c, 1, 0, 12, 14)
    text_lines(c, 3, 10, [3, 5, 7, 9, 11])
    ribbon(c, 7, 0, 11)
    return c


def img_clear_bookmarks():
    c = new()
    ribbon(c, 1, 0, 13)
    c.grid(8, 7, RED_X, P)
    return c


def img_prev_bookmark():
    c = new()
    ribbon(c, 0, 1, 13)
    c.grid(8, 1, ARROW_UP, P)
    return c


def img_next_bookmark():
    c = new()
    ribbon(c, 0, 1, 13)
    c.grid(8, 6, list(reversed(ARROW_UP)), P)
    return c


def img_font_smaller():
    c = new()
    c.grid(2, 8, SMALL_A, P)
    c.grid(9, 3, ['RRRRRRR', 'RrrrrrR', 'RRRRRRR'], P)
    return c


def img_font_larger():
    c = new()
    c.grid(0, 4, BIG_A, P)
    c.grid(10, 0, PLUS_BIG, P)
    return c


def img_split_stacked():
    c = new()
    window(c, 0, 0, 15, 14)
    c.hline(1, 14, 8, P['k'])
    c.hline(1, 14, 9, P['l'])
    text_lines(c, 2, 12, [4, 6])
    text_lines(c, 2, 12, [11, 13])
    return c


def img_split_side():
    c = new()
    window(c, 0, 0, 15, 14)
    c.vline(7, 3, 13, P['k'])
    c.vline(8, 3, 13, P['l'])
    text_lines(c, 2, 5, [5, 7, 9, 11])
    text_lines(c, 10, 13, [5, 7, 9, 11])
    return c


def img_sync_scroll():
    c = new()
    window(c, 0, 0, 15, 14)
    c.vline(7, 3, 13, P['k'])
    c.vline(8, 3, 13, P['l'])
    c.grid(1, 3, DOUBLE_ARROW, P)
    c.grid(10, 3, DOUBLE_ARROW, P)
    return c


def img_macro_record():
    c = new()
    disc(c, 8, 7.5, 6.3, 'r', 'R', 'q')
    return c


def img_macro_play():
    c = new()
    c.grid(4, 0, PLAY, P)
    return c


def img_macro_play_times():
    c = new()
    small = ['kk.....', 'kGk....', 'kGGk...', 'kGjGk..', 'kGGGGk.', 'kGGGGGk',
             'kGGGGk.', 'kGGGk..', 'kGGk...', 'kGk....', 'kk.....']
    c.grid(1, 0, small, P)
    c.grid(5, 2, small, P)
    c.grid(9, 4, small, P)
    return c


def img_about():
    c = new()
    disc(c, 8, 7.5, 7.2, 'b', 'n', 'B')
    c.rect(7, 3, 8, 4, P['w'])
    c.rect(7, 6, 8, 11, P['w'])
    c.hline(6, 7, 6, P['w'])
    c.hline(6, 9, 11, P['w'])
    return c


MAIN_TOOLBAR = [  # in button order, separators left out
    img_new_from_template, img_open, img_save, img_save_as,
    img_print_preview, img_print,
    img_undo, img_redo,
    img_cut, img_copy, img_paste,
    img_word_wrap,
    img_find, img_replace, img_find_in_files,
    img_toggle_bookmark, img_clear_bookmarks, img_prev_bookmark, img_next_bookmark,
    img_font_smaller, img_font_larger,
    img_split_stacked, img_split_side, img_sync_scroll,
    img_macro_record, img_macro_play, img_macro_play_times,
    img_about,
]


# --------------------------------------------------------- print tool bar

def img_page_arrow(right):
    c = new()
    page(c, 0, 0, 10, 14)
    text_lines(c, 2, 8, [3, 5, 7, 9, 11])
    head = ['k....', 'kk...', 'kGk..', 'kGGk.', 'kGGGk', 'kGGk.', 'kGk..', 'kk...', 'k....']
    arrow = Canvas(9, 9)
    arrow.grid(4, 0, head, P)
    arrow.rect(0, 3, 4, 5, P['G'])
    arrow.hline(0, 3, 2, P['k'])
    arrow.hline(0, 3, 6, P['k'])
    arrow.vline(0, 2, 6, P['k'])
    if not right:
        arrow = arrow.mirrored()
    c.blit(arrow, 7, 6)
    return c


def img_colour():
    c = new()
    for (x, y, col) in ((0, 0, 'r'), (8, 0, 'G'), (0, 7, 'b'), (8, 7, 'y')):
        c.rect(x, y, x + 7, y + 7, P[col])
        c.frame(x, y, x + 7, y + 7, P['k'])
    return c


def img_zoom(sign):
    c = new()
    magnifier(c, 6.5, 6.5, 5.6, 6, sign)
    return c


def img_close():
    c = new()
    big = [
        '.RR.......RR.',
        'RrrR.....RrrR',
        'RrrrR...RrrrR',
        '.RrrrR.RrrrR.',
        '..RrrrRrrrR..',
        '...RrrrrrR...',
        '....RrrrR....',
        '...RrrrrrR...',
        '..RrrrRrrrR..',
        '.RrrrR.RrrrR.',
        'RrrrR...RrrrR',
        'RrrR.....RrrR',
        '.RR.......RR.',
    ]
    c.grid(1, 1, big, P)
    return c


def img_line_numbers():
    c = new()
    c.grid(0, 1, ['.b.', 'bb.', '.b.', '.b.', 'bbb'], P)
    c.grid(0, 8, ['bb.', '..b', '.b.', 'b..', 'bbb'], P)
    c.vline(4, 0, 14, P['l'])
    for y in (1, 3, 5, 8, 10, 12):
        c.hline(6, 15 - (4 if y in (5, 12) else 0), y, P['k'])
    return c


PRINT_TOOLBAR = [  # 57607, 3000, 3001, 3005, 3006, 3002, 3003, 3004, 3007
    img_print, lambda: img_page_arrow(True), lambda: img_page_arrow(False),
    img_colour, img_word_wrap, lambda: img_zoom('+'), lambda: img_zoom('-'),
    img_close, img_line_numbers,
]


# ------------------------------------------------------ tear-off, panes

def tear_off():
    c = Canvas(100, 6)
    face = (240, 240, 240, 255)
    c.rect(0, 0, 99, 5, face)
    for x in range(2, 98):
        if x % 6 < 4:
            c.px(x, 2, P['g'])
            c.px(x, 3, P['l'])
    return c


def pane_menu():
    c = Canvas(9, 16)
    for i, y in enumerate(range(6, 10)):
        c.hline(1 + i, 7 - i, y, P['d'])
    return c


def pane_syntax():
    c = Canvas(16, 16)
    for y0, spans in ((1, ((0, 4, 'b'), (6, 13, 'k'))),
                      (5, ((2, 5, 'b'), (7, 15, 'r'))),
                      (9, ((2, 7, 'k'), (9, 11, 'b'))),
                      (13, ((0, 11, 'G'),))):
        for x0, x1, col in spans:
            c.rect(x0, y0, x1, y0 + 1, P[col])
    return c


def pane_tabs():
    c = Canvas(16, 16)
    c.rect(1, 7, 10, 8, P['n'])
    for i in range(5):
        c.vline(7 + i, 3 + i, 12 - i, P['n'])
    c.rect(13, 3, 14, 12, P['n'])
    return c


# ------------------------------------------------------------ cursor

CURSOR_ARROW = [
    'k...........',
    'kk..........',
    'kwk.........',
    'kwwk........',
    'kwwwk.......',
    'kwwwwk......',
    'kwwwwwk.....',
    'kwwwwwwk....',
    'kwwwwwwwk...',
    'kwwwwwwwwk..',
    'kwwwwwwwwwk.',
    'kwwwwwwkkkkk',
    'kwwwkwwk....',
    'kwwkkwwk....',
    'kwk..kwwk...',
    'kk...kwwk...',
    'k.....kwwk..',
    '......kwwk..',
    '.......kk...',
]


def recording_cursor():
    c = Canvas(32, 32)
    c.grid(0, 0, CURSOR_ARROW, {'k': (0, 0, 0, 255), 'w': (255, 255, 255, 255)})
    dot = Canvas(32, 32)
    disc(dot, 16.5, 16.5, 4.6, 'r', 'R', 'q')
    for y in range(32):
        for x in range(32):
            if dot.p[y][x] is not None:
                # A white halo keeps the dot readable over dark text.
                c.px(x, y, dot.p[y][x])
    for y in range(11, 23):
        for x in range(11, 23):
            if c.get(x, y) is None and any(dot.get(x + dx, y + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                c.px(x, y, (255, 255, 255, 255))
    return c


# ------------------------------------------------------- program icon

def sample_icon(size, shapes, ss=4):
    """Renders shapes (a list of (inside(x, y) -> colour or None)) in unit
    coordinates, ss x ss samples per pixel, into an RGBA canvas."""
    c = Canvas(size, size)
    for py in range(size):
        for px_ in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(ss):
                for sx in range(ss):
                    x = (px_ + (sx + 0.5) / ss) / size
                    y = (py + (sy + 0.5) / ss) / size
                    col = None
                    for shape in shapes:
                        got = shape(x, y)
                        if got is not None:
                            col = got
                    if col is not None:
                        for i in range(3):
                            acc[i] += col[i]
                        acc[3] += 1
            n = ss * ss
            if acc[3]:
                a = acc[3] / n
                c.p[py][px_] = tuple(round(acc[i] / acc[3]) for i in range(3)) + (round(a * 255),)
    return c


def rounded_rect(x0, y0, x1, y1, r, col):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return None
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return col if math.hypot(x - cx, y - cy) <= r else None
    return inside


def band(x0, x1, y0, y1, col):
    return lambda x, y: col if x0 <= x <= x1 and y0 <= y <= y1 else None


def capsule(ax, ay, bx, by, w, col):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        return col if math.hypot(x - ax - t * dx, y - ay - t * dy) <= w / 2 else None
    return inside


def pencil_shape(tip, end, width, stroke):
    """A pencil from its tip to the end of its eraser."""
    (tx, ty), (ex, ey) = tip, end
    length = math.hypot(ex - tx, ey - ty)
    ux, uy = (ex - tx) / length, (ey - ty) / length
    cone = width * 1.4

    def inside(x, y):
        t = (x - tx) * ux + (y - ty) * uy
        s = -(x - tx) * uy + (y - ty) * ux
        if t < 0 or t > length:
            return None
        half = width / 2 if t >= cone else width / 2 * t / cone
        if abs(s) > half:
            return None
        if t < cone * 0.4:
            return (40, 40, 45, 255)
        if abs(s) > half - stroke or t > length - stroke:
            return (45, 45, 55, 255)
        if t < cone:
            return (235, 195, 140, 255)
        if t > length - width * 0.55:
            return (240, 120, 130, 255)
        if t > length - width * 0.95:
            return (190, 195, 205, 255)
        if s > width / 6:
            return (215, 120, 20, 255)
        if s < -width / 6:
            return (255, 215, 90, 255)
        return (250, 175, 40, 255)
    return inside


ICON16 = [
    '...l..l..l......',
    '.kkgkkgkkgkk....',
    '.kbgbbgbbgbk....',
    '.kbbbbbbbbbk....',
    '.kkkkkkkkkkk....',
    '.kwwwwwwwwwk....',
    '.kwBBBBBBBwk....',
    '.kwwwwwwwwwk....',
    '.kwBBBBBBBwk....',
    '.kwwwwwwwwwk....',
    '.kwBBBBBBBwk....',
    '.kwwwwwwwwwk....',
    '.kwBBBBBBBwk....',
    '.kwwwwwwwwwk....',
    '.kkkkkkkkkkk....',
    '................',
]


# Every size the shell asks for at 100 % to 200 % scaling, and 256 for large views.
PROGRAM_ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 96, 128, 256)


def program_icon(size):
    if size == 16:
        # Sampled shapes blur at 16 pixels: this size is drawn by hand.
        c = Canvas(16, 16)
        c.grid(0, 0, ICON16, P)
        c.blit(sample_icon(16, [pencil_shape((0.30, 0.94), (0.99, 0.25), 0.30, 1.0 / 16)], ss=1), 0, 0)
        return c
    stroke = {16: 1.0, 20: 1.0, 24: 1.0, 32: 1.2, 40: 1.4, 48: 1.6}.get(size, size / 30) / size
    ink = (40, 45, 60, 255)
    x0, y0, x1, y1 = 0.10, 0.10, 0.76, 0.95
    shapes = [
        rounded_rect(x0, y0, x1, y1, 0.06, ink),
        rounded_rect(x0 + stroke, y0 + stroke, x1 - stroke, y1 - stroke, 0.05, (255, 252, 238, 255)),
        band(x0 + stroke, x1 - stroke, y0 + stroke, 0.27, (40, 100, 200, 255)),
        band(x0 + stroke, x1 - stroke, 0.27, 0.27 + stroke, ink),
    ]
    rule = (120, 165, 225, 255)
    rows = [0.42, 0.56, 0.70, 0.84] if size >= 32 else [0.45, 0.62, 0.79]
    for y in rows:
        shapes.append(band(0.20, 0.66, y, y + max(stroke, 1.0 / size), rule))
    if size >= 32:
        shapes.append(band(0.20, 0.20 + stroke, 0.30, y1 - stroke, (230, 90, 90, 255)))
    for x in ([0.22, 0.35, 0.48, 0.61] if size >= 32 else [0.28, 0.52]):
        shapes.append(capsule(x + 0.03, 0.04, x + 0.03, 0.17, 0.06, (150, 155, 165, 255)))
        shapes.append(capsule(x + 0.03, 0.055, x + 0.03, 0.155, 0.06 - 2 * stroke, (215, 220, 228, 255)))
    shapes.append(pencil_shape((0.46, 0.86), (0.97, 0.30), 0.20 if size >= 32 else 0.26, stroke))
    # Large sizes have samples enough in each pixel already.
    return sample_icon(size, shapes, ss=4 if size <= 64 else 2)


# ------------------------------------------------------------- output

def preview(path, files):
    face = (236, 236, 236, 255)
    k = 4
    main = strip([f() for f in MAIN_TOOLBAR], W, H)
    prn = strip([f() for f in PRINT_TOOLBAR], W, H)
    parts = [scaled(main, k, face), scaled(prn, k, face), scaled(tear_off(), k, face)]
    icons = Canvas(48 + 32 + 16 + 9 + 16 + 16 + 32 + 7 * 8, 48)
    x = 0
    for im in [program_icon(48), program_icon(32), program_icon(16), pane_menu(), pane_syntax(),
               pane_tabs(), recording_cursor()]:
        icons.blit(im, x, 0)
        x += im.w + 8
    parts.append(scaled(icons, k, (255, 255, 255, 255)))
    parts.append(scaled(icons, k, (60, 60, 70, 255)))
    sizes = Canvas(sum(s + 8 for s in PROGRAM_ICON_SIZES), max(PROGRAM_ICON_SIZES))
    x = 0
    for s in reversed(PROGRAM_ICON_SIZES):
        sizes.blit(program_icon(s), x, 0)
        x += s + 8
    parts.append(scaled(sizes, 1, (255, 255, 255, 255)))
    parts.append(scaled(sizes, 1, (60, 60, 70, 255)))
    width = max(p.w for p in parts)
    out = Canvas(width, sum(p.h + 12 for p in parts))
    y = 0
    for p in parts:
        out.blit(p, 0, y)
        y += p.h + 12
    with open(path, 'wb') as f:
        f.write(png(out, (180, 180, 190, 255)))


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'app', 'res')
    files = {
        'Toolbar.bmp': bmp24(strip([f() for f in MAIN_TOOLBAR], W, H)),
        'PrintToolbar.bmp': bmp24(strip([f() for f in PRINT_TOOLBAR], W, H)),
        'TearOff.bmp': bmp24(tear_off()),
        'Morrowpad.ico': icon_file([program_icon(s) for s in PROGRAM_ICON_SIZES]),
        'PaneMenu.ico': icon_file([pane_menu()]),
        'PaneSyntax.ico': icon_file([pane_syntax()]),
        'PaneTabs.ico': icon_file([pane_tabs()]),
        'Recording.cur': icon_file([recording_cursor()], hotspot=(0, 0)),
    }
    for name, data in files.items():
        with open(os.path.join(root, name), 'wb') as f:
            f.write(data)
    if '--preview' in sys.argv:
        preview(sys.argv[sys.argv.index('--preview') + 1], files)


if __name__ == '__main__':
    main()
