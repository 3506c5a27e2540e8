#!/usr/bin/env python3
"""Draws the panel's skin bitmaps from simple shapes and writes them as 32-bit BMP files with alpha.

The button strips, the seek-bar track and its filler are copied onto the panel without blending, so their
colour bytes carry the panel's background under any transparency; the thumb is blended by its alpha and the
icons are drawn by their users, so theirs are straight.

Run again after changing a shape: `python3 src/resources/draw_skins.py` (writes beside this script).
Each shape is rendered with 4 x 4 samples per pixel, so edges get partial alpha. Colours are straight
(not multiplied by alpha). Rows are stored bottom-up as BMP requires; 32 bits per pixel, BI_RGB, the fourth
byte is alpha.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
PANEL = (250, 250, 250)  # the panel's background, which copied skins land on
SS = 4  # samples per pixel side


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0, 0, 0, 0) for _ in range(w)] for _ in range(h)]

    def paint(self, inside, colour, ox=0, oy=0, x0=0, y0=0, x1=None, y1=None):
        """Composites `colour` (r, g, b, a) over the pixels where inside(x, y) holds, by coverage."""
        x1 = self.w if x1 is None else x1
        y1 = self.h if y1 is None else y1
        for py in range(max(0, y0), min(self.h, y1)):
            for px in range(max(0, x0), min(self.w, x1)):
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(px - ox + (sx + 0.5) / SS, py - oy + (sy + 0.5) / SS):
                            hits += 1
                if hits:
                    a = colour[3] * hits / (SS * SS)
                    self.over(px, py, colour[:3], a)

    def over(self, x, y, rgb, a):
        r0, g0, b0, a0 = self.px[y][x]
        a = a / 255.0
        a0 = a0 / 255.0
        out = a + a0 * (1 - a)
        if out <= 0:
            return
        mix = lambda c, c0: (c * a + c0 * a0 * (1 - a)) / out
        self.px[y][x] = (round(mix(rgb[0], r0)), round(mix(rgb[1], g0)), round(mix(rgb[2], b0)), round(out * 255))

    def save(self, name, background=None):
        """Writes the bitmap. With a background colour, the colour bytes are those of the picture composited
        over it (alpha kept), for skins the panel copies without blending onto that background."""
        rows = []
        for y in reversed(range(self.h)):
            row = []
            for (r, g, b, a) in self.px[y]:
                if background:
                    k = a / 255.0
                    r, g, b = (round(c * k + bg * (1 - k)) for c, bg in zip((r, g, b), background))
                row.append(struct.pack("<BBBB", b, g, r, a))
            rows.append(b"".join(row))
        bits = b"".join(rows)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 32, 0, len(bits), 2835, 2835, 0, 0)
        head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(head + info + bits)


# ---- shapes (functions of a point in cell coordinates, 0..16) -------------------------------------------
def poly(points):
    def inside(x, y):
        c = False
        n = len(points)
        for i in range(n):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
            if (y0 > y) != (y1 > y) and x < (x1 - x0) * (y - y0) / (y1 - y0) + x0:
                c = not c
        return c
    return inside


def rect(l, t, r, b):
    return lambda x, y: l <= x < r and t <= y < b


def ring(cx, cy, r_out, r_in, gap=None):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if not (r_in <= d <= r_out):
            return False
        if gap:
            ang = math.degrees(math.atan2(y - cy, x - cx)) % 360
            return not (gap[0] <= ang <= gap[1])
        return True
    return inside


def segment(x0, y0, x1, y1, width):
    def inside(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= width / 2
    return inside


def union(*fs):
    return lambda x, y: any(f(x, y) for f in fs)


def minus(f, g):
    return lambda x, y: f(x, y) and not g(x, y)


# The eight button glyphs, in strip order.
GLYPHS = [
    poly([(5, 3), (13, 8), (5, 13)]),                                         # 0 play
    union(rect(4, 3, 7, 13), rect(9, 3, 12, 13)),                             # 1 pause
    rect(4, 4, 12, 12),                                                        # 2 stop
    union(rect(3, 4, 5, 12), poly([(13, 3.5), (5.5, 8), (13, 12.5)])),         # 3 previous
    union(rect(11, 4, 13, 12), poly([(3, 3.5), (10.5, 8), (3, 12.5)])),        # 4 next
    union(minus(rect(2, 3, 14, 13), rect(3.5, 6, 12.5, 11.5)), rect(2, 3, 14, 5.5)),   # 5 show player: window
    union(minus(rect(2, 3, 14, 8), rect(3.5, 5.5, 12.5, 6.5)), rect(4, 11, 12, 13)),   # 6 hide: folded window + bar
    union(rect(4, 3, 6, 13), rect(4, 3, 12, 5), rect(4, 7, 11, 9), rect(4, 11, 12, 13)),  # 7 the letter E
]

SHUFFLE = union(segment(2, 5, 9, 11, 1.6), segment(2, 11, 9, 5, 1.6), segment(9, 5, 12, 5, 1.6),
                segment(9, 11, 12, 11, 1.6), poly([(12, 2.5), (15.5, 5), (12, 7.5)]),
                poly([(12, 8.5), (15.5, 11), (12, 13.5)]))
REPEAT = union(ring(8.5, 8, 6, 4.3, gap=(300, 350)), poly([(12.2, 1.5), (15.8, 4.5), (11.8, 6.5)]))

STATES = {
    "": (70, 70, 70, 255),
    "_DISABLED": (185, 185, 185, 255),
    "_PRESSED": (20, 20, 20, 255),
    "_HOT": (34, 68, 153, 255),
}
DIM = (195, 195, 195, 255)


def button_strip(suffix, colour):
    cells = 12 if suffix == "" else 8
    c = Canvas(16 * cells, 16)
    for i, glyph in enumerate(GLYPHS):
        if suffix == "_PRESSED":
            c.paint(ring(8, 8, 8, 0), (220, 220, 220, 255), ox=16 * i, x0=16 * i, x1=16 * i + 16)
        c.paint(glyph, colour, ox=16 * i, oy=1 if suffix == "_PRESSED" else 0, x0=16 * i, x1=16 * i + 16)
    c.save("SB_BUTTONS%s.bmp" % suffix, PANEL)


def shuffle_strip(suffix, colour):
    c = Canvas(68, 16)
    # 0 both off, 1 shuffle on, 2 repeat on, 3 both on: the glyph of what is on is drawn strong, the other
    # dim; with both off, the shuffle glyph is drawn dim alone.
    looks = [(DIM, None), (colour, None), (None, colour), (colour, colour)]
    for i, (shuffle, repeat) in enumerate(looks):
        ox = 17 * i
        if suffix == "_PRESSED":
            c.paint(ring(8.5, 8, 8, 0), (220, 220, 220, 255), ox=ox, x0=ox, x1=ox + 17)
        if shuffle and repeat:
            c.paint(lambda x, y: SHUFFLE(x * 1.6, y * 1.6 - 1), shuffle, ox=ox, x0=ox, x1=ox + 17)
            c.paint(lambda x, y: REPEAT((x - 7) * 1.6, (y - 6) * 1.6), repeat, ox=ox, x0=ox, x1=ox + 17)
        elif shuffle:
            c.paint(SHUFFLE, shuffle, ox=ox, x0=ox, x1=ox + 17)
        else:
            c.paint(REPEAT, repeat, ox=ox, x0=ox, x1=ox + 17)
    c.save("SB_SHUFFLE%s.bmp" % suffix, PANEL)


def rounded(l, t, r, b, rad):
    def inside(x, y):
        if not (l <= x < r and t <= y < b):
            return False
        cx = min(max(x, l + rad), r - rad)
        cy = min(max(y, t + rad), b - rad)
        return math.hypot(x - cx, y - cy) <= rad
    return inside


def seek_parts():
    track = Canvas(15, 8)
    track.paint(rounded(0, 2, 15, 6, 2), (200, 200, 200, 255))
    track.paint(rounded(0.6, 2.6, 14.4, 5.4, 1.4), (235, 235, 235, 255))
    track.save("SB_SEEKBAR.bmp", PANEL)
    filler = Canvas(7, 8)
    filler.paint(rounded(0, 2, 14, 6, 2), (34, 68, 153, 255))
    filler.save("SB_FILLER.bmp", PANEL)
    thumb = Canvas(18, 8)
    thumb.paint(rounded(0, 0, 18, 8, 3.5), (60, 90, 170, 255))
    thumb.paint(rounded(1, 1, 17, 4, 1.5), (255, 255, 255, 90))
    thumb.save("SB_SEEKBAR_THUMB.bmp")


NOTE = union(ring(4.5, 9.5, 2.6, 0), rect(6.2, 1.5, 7.4, 9.8), poly([(7.4, 1.5), (11, 3.5), (11, 5.5), (7.4, 3.6)]))


def icons():
    title = Canvas(12, 12)
    title.paint(NOTE, (34, 68, 153, 255))
    title.save("SB_TITLE_ICON.bmp")
    tool = Canvas(16, 16)
    tool.paint(lambda x, y: NOTE(x / 1.3, y / 1.3), (34, 68, 153, 255), ox=1)
    tool.save("TOOLBOX.bmp")
    logo = Canvas(81, 32)
    logo.paint(rounded(0, 0, 32, 32, 6), (34, 68, 153, 255))
    logo.paint(lambda x, y: NOTE(x / 2.2, y / 2.2), (255, 255, 255, 255), ox=3, oy=3)
    for i, h in enumerate((10, 18, 26, 14, 22, 8, 16)):
        logo.paint(rounded(36 + 6 * i, 30 - h, 40 + 6 * i, 30, 1.5), (34 + 10 * i, 68 + 12 * i, 153, 255))
    logo.save("SB_ICON.bmp")


if __name__ == "__main__":
    for suffix, colour in STATES.items():
        button_strip(suffix, colour)
        shuffle_strip(suffix, colour)
    os.remove(os.path.join(HERE, "SB_SHUFFLE_DISABLED.bmp"))
    seek_parts()
    icons()
