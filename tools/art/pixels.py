"""A small pixel canvas and the file writers (BMP, ICO, CUR, PNG) that the
image generator needs, with nothing beyond the standard library.

Colours are (r, g, b, a) tuples; None in a canvas is a transparent pixel.
Tool-bar strips are written as 24-bit BMPs whose transparent pixels are
magenta (0xFF00FF); icons and cursors as 32-bit images with an AND mask.
"""
import struct
import zlib

MAGENTA = (255, 0, 255, 255)


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.p = [[None] * w for _ in range(h)]

    def px(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.p[y][x] = c

    def get(self, x, y):
        return self.p[y][x] if 0 <= x < self.w and 0 <= y < self.h else None

    def rect(self, x0, y0, x1, y1, c):
        """Fills x0..x1, y0..y1 (inclusive)."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.px(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.px(x, y0, c)
            self.px(x, y1, c)
        for y in range(y0, y1 + 1):
            self.px(x0, y, c)
            self.px(x1, y, c)

    def hline(self, x0, x1, y, c):
        self.rect(x0, y, x1, y, c)

    def vline(self, x, y0, y1, c):
        self.rect(x, y0, x, y1, c)

    def grid(self, x0, y0, rows, pal):
        """Paints a picture written as strings; '.' leaves the pixel as it was."""
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch != '.':
                    self.px(x0 + dx, y0 + dy, pal[ch])

    def blit(self, other, x0, y0):
        for y in range(other.h):
            for x in range(other.w):
                if other.p[y][x] is not None:
                    self.px(x0 + x, y0 + y, other.p[y][x])

    def mirrored(self):
        m = Canvas(self.w, self.h)
        m.p = [list(reversed(r)) for r in self.p]
        return m

    def flipped(self):
        m = Canvas(self.w, self.h)
        m.p = [list(r) for r in reversed(self.p)]
        return m


def strip(images, w, h):
    """Puts equal-sized images side by side."""
    out = Canvas(w * len(images), h)
    for i, im in enumerate(images):
        assert (im.w, im.h) == (w, h), (i, im.w, im.h)
        out.blit(im, i * w, 0)
    return out


def _bgr(c, bg):
    c = c if c is not None else bg
    return bytes((c[2], c[1], c[0]))


def bmp24(canvas, bg=MAGENTA):
    stride = (canvas.w * 3 + 3) & ~3
    rows = []
    for y in reversed(range(canvas.h)):
        row = b''.join(_bgr(canvas.p[y][x], bg) for x in range(canvas.w))
        rows.append(row + b'\0' * (stride - len(row)))
    data = b''.join(rows)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.w, canvas.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + data


def _dib32(canvas):
    """An icon or cursor image: BGRA rows bottom-up, then the AND mask."""
    w, h = canvas.w, canvas.h
    colour = bytearray()
    mask = bytearray()
    mstride = ((w + 31) // 32) * 4
    for y in reversed(range(h)):
        bits = bytearray(mstride)
        for x in range(w):
            c = canvas.p[y][x]
            if c is None or c[3] == 0:
                colour += b'\0\0\0\0'
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                colour += bytes((c[2], c[1], c[0], c[3]))
        mask += bits
    info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + bytes(colour) + bytes(mask)


def icon_file(canvases, hotspot=None):
    """An .ico file, or a .cur file when hotspot=(x, y) is given. Images of
    256 pixels are stored as PNG, as the system expects them."""
    images = [png_rgba(c) if c.w >= 256 else _dib32(c) for c in canvases]
    out = struct.pack('<HHH', 0, 2 if hotspot else 1, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        a, b = hotspot if hotspot else (1, 32)
        out += struct.pack('<BBBBHHII', c.w % 256, c.h % 256, 0, 0, a, b, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def _png_file(width, height, colour_type, raw):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    ihdr = struct.pack('>IIBBBBB', width, height, 8, colour_type, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')


def png_rgba(canvas):
    """An RGBA PNG (transparent pixels stay transparent)."""
    raw = b''.join(b'\0' + b''.join(bytes(c or (0, 0, 0, 0)) for c in row) for row in canvas.p)
    return _png_file(canvas.w, canvas.h, 6, raw)


def png(canvas, bg=(255, 255, 255, 255)):
    """An RGB PNG for looking at the images (transparent pixels take bg)."""
    raw = b''.join(b'\0' + b''.join(bytes((c or bg)[:3]) for c in row) for row in canvas.p)
    return _png_file(canvas.w, canvas.h, 2, raw)


def scaled(canvas, k, bg):
    out = Canvas(canvas.w * k, canvas.h * k)
    for y in range(out.h):
        for x in range(out.w):
            c = canvas.p[y // k][x // k]
            if c is not None and c[3] < 255:
                a = c[3] / 255
                c = tuple(round(c[i] * a + bg[i] * (1 - a)) for i in range(3)) + (255,)
            out.p[y][x] = c if c is not None else bg
    return out
