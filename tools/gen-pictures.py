#!/usr/bin/env python3
"""Draws the agent's pictures and writes them as ICO and BMP files.

    tools/gen-pictures.py [--out DIR] [--check]

Every icon group holds images of 32, 16, 48, 24 and 20 pixels in 16 colours: the 16 pixel
one with 4 bits per pixel and an AND mask, the others as PNG. The popup's background is a
150x120 24-bit bitmap. The output is a pure function of this script, so the committed
files can be rebuilt byte for byte; --check compares instead of writing and fails when a
committed file differs.
"""

import argparse
import math
import pathlib
import struct
import sys
import zlib

# The standard 16-colour palette, in the order every 4-bit Windows bitmap uses.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)
CLEAR = None

# Colour maps for the pictures of the idle states: greyed out, and darkened.
GREYED = {BLACK: GREY, NAVY: GREY, BLUE: SILVER, TEAL: SILVER, CYAN: WHITE, GREY: SILVER,
          SILVER: SILVER, WHITE: WHITE}
DARKENED = {BLACK: BLACK, NAVY: BLACK, BLUE: NAVY, TEAL: NAVY, CYAN: TEAL, GREY: BLACK,
            SILVER: GREY, WHITE: GREY}


class Canvas:
    """A square picture of `size` pixels, drawn in the coordinates of one of the two
    hand-tuned designs (16 or 32 units across) and scaled to the pixels it has."""

    def __init__(self, size):
        self.size = size
        self.design = 16 if size < 32 else 32
        self.scale = size / self.design
        self.pixels = [[CLEAR] * size for _ in range(size)]

    def _pixel(self, unit):
        return math.floor(unit * self.scale + 0.5)

    def _set(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def put(self, x, y, colour):
        """Colours the pixels of one design unit."""
        self.rect(x, y, x, y, colour)

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle of design units with both corners included; each unit
        covers at least one pixel."""
        left, top = self._pixel(x0), self._pixel(y0)
        right = max(left, self._pixel(x1 + 1) - 1)
        bottom = max(top, self._pixel(y1 + 1) - 1)
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self._set(x, y, colour)

    def _unit(self, pixel):
        """The design coordinate of a pixel's centre."""
        return (pixel + 0.5) / self.scale

    def fill_where(self, inside, colour):
        """Colours every pixel whose centre, in design units, satisfies inside(x, y)."""
        for y in range(self.size):
            for x in range(self.size):
                if inside(self._unit(x), self._unit(y)):
                    self._set(x, y, colour)

    def outline_where(self, inside, colour, width=1):
        """Colours the pixels within `width` pixels of the shape but not in it: a border
        that keeps a small overlay readable on any background."""
        def near(px, py):
            return any(inside(self._unit(px + dx), self._unit(py + dy))
                       for dx in range(-width, width + 1) for dy in range(-width, width + 1))
        for y in range(self.size):
            for x in range(self.size):
                if near(x, y) and not inside(self._unit(x), self._unit(y)):
                    self._set(x, y, colour)

    def recolour(self, mapping):
        for row in self.pixels:
            for x, colour in enumerate(row):
                if colour is not CLEAR:
                    row[x] = mapping.get(colour, colour)


# ---- The newspaper, the one glyph all icons share ----------------------------------------

def newspaper(size):
    c = Canvas(size)
    if c.design == 16:
        c.rect(1, 2, 14, 15, GREY)           # shadow
        c.rect(0, 1, 13, 14, BLACK)          # edge
        c.rect(1, 2, 12, 13, WHITE)          # page
        c.rect(2, 3, 11, 4, NAVY)            # masthead
        c.rect(2, 6, 5, 9, BLUE)             # picture
        c.rect(7, 6, 11, 6, GREY)
        c.rect(7, 8, 11, 8, GREY)
        c.rect(2, 11, 11, 11, GREY)
    else:
        c.rect(3, 3, 29, 30, GREY)
        c.rect(1, 1, 27, 28, BLACK)
        c.rect(2, 2, 26, 27, WHITE)
        c.rect(4, 4, 24, 8, NAVY)
        for x in (6, 9, 12, 15, 18, 21):     # the title's letters, as light strokes
            c.rect(x, 5, x + 1, 7, SILVER)
        c.rect(4, 10, 24, 10, BLACK)         # rule under the masthead
        c.rect(4, 12, 12, 19, BLUE)
        c.rect(5, 13, 11, 15, CYAN)          # sky over ...
        c.rect(5, 16, 11, 18, TEAL)          # ... land: a small photograph
        for y in (12, 14, 16, 18):
            c.rect(14, y, 24, y, GREY)
        for y in (21, 23, 25):
            c.rect(4, y, 24, y, GREY)
    return c


# ---- Overlays in the lower right corner, where they stay visible at 16x16 -------------------

def badge_geometry(design):
    """Centre and radius of the corner badge, in design units."""
    if design == 16:
        return 11.5, 11.5, 4.5
    return 23.0, 23.0, 8.6


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def draw_brand(c):
    """A blue disc with a white Z: the application's own mark."""
    cx, cy, r = badge_geometry(c.design)
    c.outline_where(disc(cx, cy, r), WHITE)
    c.fill_where(disc(cx, cy, r), BLUE)
    if c.design == 16:
        z = ["WWWWW", "...W.", "..W..", ".W...", "WWWWW"]
        x0, y0 = 9, 9
    else:
        z = ["WWWWWWWWW", "WWWWWWWWW", ".....WWW.", "....WWW..", "...WWW...",
             "..WWW....", ".WWW.....", "WWWWWWWWW", "WWWWWWWWW"]
        x0, y0 = 19, 19
    for dy, row in enumerate(z):
        for dx, ch in enumerate(row):
            if ch == "W":
                c.put(x0 + dx, y0 + dy, WHITE)


def draw_spinner(c, frame):
    """A ring whose bright head moves a third of a turn per frame, clockwise."""
    cx, cy, r = badge_geometry(c.design)
    inner = r * 0.45
    head = -90.0 + 120.0 * frame

    def ring(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        return inner * inner <= d2 <= (r - 0.8) ** 2

    def behind_head(x, y):
        angle = math.degrees(math.atan2(y - cy, x - cx))
        return (head - angle) % 360.0

    c.outline_where(disc(cx, cy, r), WHITE)
    c.fill_where(disc(cx, cy, r), BLACK)
    c.fill_where(lambda x, y: ring(x, y) and behind_head(x, y) < 130, LIME)
    c.fill_where(lambda x, y: ring(x, y) and 130 <= behind_head(x, y) < 250, GREEN)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def draw_cross(c):
    """A thick red X with a white border."""
    if c.design == 16:
        lo, hi, half = 8.0, 15.0, 1.1
    else:
        lo, hi, half = 15.0, 30.0, 2.1

    def cross(x, y):
        return (segment_distance(x, y, lo, lo, hi, hi) <= half
                or segment_distance(x, y, lo, hi, hi, lo) <= half)

    c.outline_where(cross, WHITE)
    c.fill_where(cross, RED)


def star(cx, cy, outer, inner):
    points = []
    for i in range(10):
        radius = outer if i % 2 == 0 else inner
        angle = math.radians(-90 + 36 * i)
        points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))

    def inside(x, y):
        crossings = 0
        for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                crossings += 1
        return crossings % 2 == 1
    return inside


def draw_star(c, bright):
    """A yellow star with a dark border; the second frame shows it smaller and white, so
    the two frames read as a twinkle."""
    cx, cy, r = badge_geometry(c.design)
    cy += 0.3 if c.design == 16 else 0.6
    shape = star(cx, cy, r + 0.8, (r + 0.8) * 0.45)
    c.outline_where(shape, BLACK if bright else YELLOW)
    c.fill_where(shape, YELLOW if bright else WHITE)


def draw_pause(c):
    """Two upright bars on a light disc: polling is paused."""
    cx, cy, r = badge_geometry(c.design)
    c.outline_where(disc(cx, cy, r), GREY)
    c.fill_where(disc(cx, cy, r), SILVER)
    if c.design == 16:
        c.rect(9, 9, 10, 14, BLACK)
        c.rect(13, 9, 14, 14, BLACK)
    else:
        c.rect(18, 17, 21, 29, BLACK)
        c.rect(25, 17, 28, 29, BLACK)


def draw_bar(c):
    """A red disc crossed by a white bar: the agent is closing."""
    cx, cy, r = badge_geometry(c.design)
    c.outline_where(disc(cx, cy, r), BLACK)
    c.fill_where(disc(cx, cy, r), RED)
    if c.design == 16:
        c.rect(8, 11, 15, 12, WHITE)
    else:
        c.rect(16, 21, 30, 25, WHITE)


# ---- The icon groups --------------------------------------------------------------------

def picture(size, overlay=None, mapping=None):
    c = newspaper(size)
    if mapping:
        c.recolour(mapping)
    if overlay:
        overlay(c)
    return c


ICONS = {
    "app.ico": lambda s: picture(s, draw_brand),
    "idle.ico": lambda s: picture(s),
    "poll1.ico": lambda s: picture(s, lambda c: draw_spinner(c, 0)),
    "poll2.ico": lambda s: picture(s, lambda c: draw_spinner(c, 1)),
    "poll3.ico": lambda s: picture(s, lambda c: draw_spinner(c, 2)),
    "failed.ico": lambda s: picture(s, draw_cross),
    "new1.ico": lambda s: picture(s, lambda c: draw_star(c, True)),
    "new2.ico": lambda s: picture(s, lambda c: draw_star(c, False)),
    "disabled.ico": lambda s: picture(s, draw_pause, GREYED),
    "shutdown.ico": lambda s: picture(s, draw_bar, DARKENED),
}


def icon_image(canvas):
    """One icon image: BITMAPINFOHEADER (twice the height, for the two masks), the palette,
    the 4-bit colour rows and the 1-bit AND rows, both bottom-up and padded to 4 bytes."""
    n = canvas.size
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(canvas.pixels):
        indices = [0 if p is CLEAR else p for p in row]
        packed = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, n, 2))
        xor_rows.append(packed.ljust((len(packed) + 3) // 4 * 4, b"\0"))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is CLEAR else 0)
        width = (n + 7) // 8
        mask = (bits << (8 * width - n)).to_bytes(width, "big")
        and_rows.append(mask.ljust((len(mask) + 3) // 4 * 4, b"\0"))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def png_image(canvas):
    """One icon image as a PNG file with a palette of only the colours it uses, the clear
    pixels as a fully transparent first entry, at the fewest bits per pixel that hold them.
    Much smaller than the bitmap form; Windows reads PNG icon images since Vista."""
    n = canvas.size

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    used = sorted({p for row in canvas.pixels for p in row if p is not CLEAR})
    colours = [CLEAR] + used
    index = {colour: i for i, colour in enumerate(colours)}
    depth = next(bits for bits in (1, 2, 4, 8) if len(colours) <= 1 << bits)
    per_byte = 8 // depth

    def packed(row):
        indices = [index[p] for p in row]
        indices += [0] * (-len(indices) % per_byte)
        out = bytearray()
        for start in range(0, len(indices), per_byte):
            byte = 0
            for value in indices[start:start + per_byte]:
                byte = (byte << depth) | value
            out.append(byte)
        return bytes(out)

    rows = b"".join(b"\0" + packed(row) for row in canvas.pixels)
    palette = b"".join(b"\0\0\0" if c is CLEAR else bytes(PALETTE[c]) for c in colours)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, depth, 3, 0, 0, 0))
            + chunk(b"PLTE", palette)
            + chunk(b"tRNS", b"\0")
            + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


# The sizes of every icon group: 16 and 32 for 100 %, 20 and 24 for the small icons at
# 125 % and 150 %, 32 for them at 200 %, 48 for the large ones at 150 %. The tray's 16 pixel
# picture stays a bitmap; the others go in as PNG, which keeps the program 10 KB smaller.
ICON_SIZES = [(32, png_image), (16, icon_image), (48, png_image), (24, png_image),
              (20, png_image)]


def ico_file(images):
    """An ICO file: ICONDIR, one ICONDIRENTRY per image, then the images. Every image
    takes its colours from the 16, whatever its form, so each entry says 16 colours."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


# ---- The popup's background -----------------------------------------------------------------

POPUP_WIDTH, POPUP_HEIGHT = 150, 120


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def popup_pixel(x, y):
    """A raised bevelled frame around a vertical blue gradient, deep enough behind the
    three text lines (rows 31 to 89) for the popup's white bold text to read well."""
    w, h = POPUP_WIDTH, POPUP_HEIGHT
    edge = min(x, y, w - 1 - x, h - 1 - y)
    # Top and left sides catch the light; each ends one pixel before the far corner.
    lit = (y == edge and x < w - 1 - edge) or (x == edge and y < h - 1 - edge)
    raised = [((235, 242, 255), (12, 28, 84)), ((168, 196, 242), (34, 62, 140))]
    if edge < 2:
        light, dark = raised[edge]
        return light if lit else dark
    if edge < 5:
        return (52, 92, 186)
    if edge == 5:  # a sunken line inside the frame
        return (28, 54, 132) if lit else (196, 216, 250)
    # Deep blue at the top, brightening down to the third line, which has to stay bright
    # enough for its blue hover colour to stand apart; deeper again below it.
    deep, bright = (24, 52, 124), (64, 112, 192)
    if y < 73:
        base = mix(deep, bright, ((y - 6) / 67.0) ** 1.3)
    elif y < 90:
        base = bright
    else:
        base = mix(bright, deep, (y - 89) / 24.0)
    return mix(base, (40, 80, 160), (x - 6) / 137.0 * 0.15)


def popup_bmp():
    w, h = POPUP_WIDTH, POPUP_HEIGHT
    stride = (w * 3 + 3) // 4 * 4
    rows = []
    for y in reversed(range(h)):
        row = b"".join(struct.pack("<BBB", b, g, r)
                       for (r, g, b) in (popup_pixel(x, y) for x in range(w)))
        rows.append(row.ljust(stride, b"\0"))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    return header + info + bits


def all_files():
    files = {name: ico_file([(size, encode(draw(size))) for size, encode in ICON_SIZES])
             for name, draw in ICONS.items()}
    files["popup.bmp"] = popup_bmp()
    return files


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=pathlib.Path, default=root / "src/res/pictures")
    parser.add_argument("--check", action="store_true",
                        help="compare with the files in --out instead of writing them")
    args = parser.parse_args()

    stale = []
    for name, data in all_files().items():
        path = args.out / name
        if args.check:
            if not path.is_file() or path.read_bytes() != data:
                stale.append(name)
        else:
            args.out.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
    if stale:
        print("gen-pictures: out of date: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
