#!/usr/bin/env python3
"""Draws the library's bitmaps and its icon and writes them as BMP and ICO files.

Standard library only; the output is byte-for-byte reproducible.

    python3 tools/gen_images.py [output-folder]   (default: resources/bitmaps)

Image lists (bitmaps 200 to 203) are strips of 16x16 images in 8-bit palette form
whose top-left pixel is the mask colour (magenta), so that they are loaded with the
default mask colour. The About picture (204) is a 24-bit bitmap without mask. The
logon icon (207) holds a 32x32 and a 16x16 image in 32-bit colour with alpha and an
AND mask.
"""

import math
import os
import struct
import sys

MASK = (255, 0, 255)


# --------------------------------------------------------------------------
# Canvas: a grid of RGB pixels (alpha only for the icon, kept separately).


class Canvas:
    def __init__(self, width, height, fill=MASK):
        self.w = width
        self.h = height
        self.px = [[fill for _ in range(width)] for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = colour

    def get(self, x, y):
        return self.px[y][x]

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with inclusive corners."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            self.set(x, y0, colour)
            self.set(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.set(x0, y, colour)
            self.set(x1, y, colour)

    def pixels(self, points, colour):
        for x, y in points:
            self.set(x, y, colour)

    def paste(self, other, ox):
        for y in range(other.h):
            for x in range(other.w):
                self.px[y][ox + x] = other.px[y][x]


def shape_outline(points):
    """The 4-neighbours of a pixel set that are not part of it."""
    pts = set(points)
    ring = set()
    for x, y in pts:
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            q = (x + dx, y + dy)
            if q not in pts:
                ring.add(q)
    return sorted(ring)


def draw_shape(cv, points, fill, outline=None):
    pts = sorted(set(points))
    if outline is not None:
        cv.pixels(shape_outline(pts), outline)
    cv.pixels(pts, fill)


def polygon_pixels(poly, w=16, h=16):
    """Pixels whose centres lie inside the polygon (even-odd rule)."""
    out = []
    for y in range(h):
        for x in range(w):
            if inside(poly, x + 0.5, y + 0.5):
                out.append((x, y))
    return out


def inside(poly, px, py):
    hit = False
    n = len(poly)
    for i in range(n):
        x0, y0 = poly[i]
        x1, y1 = poly[(i + 1) % n]
        if (y0 > py) != (y1 > py):
            xc = x0 + (py - y0) * (x1 - x0) / (y1 - y0)
            if px < xc:
                hit = not hit
    return hit


def ellipse_pixels(cx, cy, rx, ry, w=16, h=16):
    out = []
    for y in range(h):
        for x in range(w):
            dx = (x + 0.5 - cx) / rx
            dy = (y + 0.5 - cy) / ry
            if dx * dx + dy * dy <= 1.0:
                out.append((x, y))
    return out


def glyph(cv, ox, oy, rows, colours):
    """Draws a character map; '.' leaves the pixel as it is."""
    for dy, row in enumerate(rows):
        for dx, ch in enumerate(row):
            if ch != ".":
                cv.set(ox + dx, oy + dy, colours[ch])


# --------------------------------------------------------------------------
# 16x16 images.

FOLDER_EDGE = (134, 100, 20)
FOLDER_FILL = (250, 206, 84)
FOLDER_LIGHT = (255, 236, 160)
FOLDER_FRONT = (255, 222, 120)
GREY_EDGE = (80, 80, 88)
PAPER = (250, 250, 244)
SKIN = (246, 204, 160)
DARK = (40, 40, 48)


def img_folder():
    cv = Canvas(16, 16)
    cv.rect(1, 5, 14, 13, FOLDER_EDGE)
    cv.rect(2, 6, 13, 12, FOLDER_FILL)
    cv.rect(1, 2, 6, 5, FOLDER_EDGE)
    cv.rect(2, 3, 5, 5, FOLDER_LIGHT)
    cv.rect(2, 6, 13, 6, FOLDER_LIGHT)
    cv.rect(2, 6, 2, 12, FOLDER_LIGHT)
    return cv


def img_open_folder():
    cv = Canvas(16, 16)
    cv.rect(1, 5, 13, 13, FOLDER_EDGE)
    cv.rect(2, 6, 12, 12, FOLDER_FILL)
    cv.rect(1, 2, 6, 5, FOLDER_EDGE)
    cv.rect(2, 3, 5, 5, FOLDER_LIGHT)
    front = polygon_pixels([(4.5, 8), (16, 8), (13, 14), (1.5, 14)])
    front = [(x, y) for x, y in front if y <= 13]
    draw_shape(cv, front, FOLDER_FRONT, FOLDER_EDGE)
    return cv


def img_inbox():
    cv = Canvas(16, 16)
    tray = [(x, y) for y in range(9, 15) for x in range(1, 15)]
    cv.pixels(tray, GREY_EDGE)
    cv.rect(2, 10, 13, 13, (196, 208, 228))
    cv.rect(4, 10, 11, 11, (120, 136, 170))
    cv.rect(2, 13, 13, 13, (168, 182, 208))
    blue = (30, 110, 220)
    arrow = [(x, y) for y in range(1, 6) for x in range(6, 10)]
    for i, y in enumerate(range(6, 10)):
        arrow += [(x, y) for x in range(4 + i, 12 - i)]
    draw_shape(cv, arrow, blue, (10, 50, 130))
    return cv


def img_sent():
    cv = Canvas(16, 16)
    cv.rect(0, 3, 12, 12, GREY_EDGE)
    cv.rect(1, 4, 11, 11, PAPER)
    flap = [(1 + i, 4 + i) for i in range(6)] + [(11 - i, 4 + i) for i in range(6)]
    cv.pixels(flap, (150, 150, 160))
    green = (40, 170, 60)
    arrow = [(x, y) for y in range(11, 14) for x in range(7, 12)]
    for i, x in enumerate(range(12, 16)):
        arrow += [(x, y) for y in range(9 + i, 16 - i)]
    draw_shape(cv, arrow, green, (10, 80, 20))
    return cv


def img_deleted():
    cv = Canvas(16, 16)
    edge = (70, 74, 84)
    cv.pixels([(6, 1), (7, 1), (8, 1), (9, 1), (6, 2), (9, 2)], edge)
    cv.rect(2, 3, 13, 5, edge)
    cv.rect(3, 4, 12, 4, (206, 210, 216))
    body = [(x, y) for y in range(6, 10) for x in range(3, 13)]
    body += [(x, y) for y in range(10, 15) for x in range(4, 12)]
    body = [(x, y) for x, y in body if not (y == 6 and x in (3, 12))]
    draw_shape(cv, body, (176, 182, 192), edge)
    cv.rect(2, 6, 13, 6, edge)
    cv.rect(5, 8, 5, 12, (228, 230, 234))
    cv.rect(7, 8, 7, 12, (120, 126, 138))
    cv.rect(9, 8, 9, 12, (120, 126, 138))
    return cv


def img_drafts():
    cv = Canvas(16, 16)
    page = polygon_pixels([(2, 1), (9, 1), (12, 4), (12, 15), (2, 15)])
    draw_shape(cv, [(x, y) for x, y in page if x >= 2], PAPER)
    cv.frame(1, 0, 12, 15, GREY_EDGE)
    cv.pixels([(10, 0), (11, 0), (12, 0), (11, 1), (12, 1), (12, 2)], MASK)
    cv.pixels([(9, 1), (9, 2), (9, 3), (10, 3), (11, 3), (10, 1), (11, 2)], GREY_EDGE)
    cv.pixels([(10, 2)], (220, 220, 214))
    for y in (5, 7, 9, 11):
        cv.rect(3, y, 8, y, (150, 160, 180))
    # Pencil along the diagonal, tip at the lower left.
    for x in range(4, 16):
        for y, shade in ((16 - x, 0), (17 - x, 1)):
            if x >= 13:
                col = (232, 120, 132)
            elif x == 12:
                col = (170, 170, 176)
            elif x <= 5:
                col = (60, 60, 60) if x == 4 else (232, 196, 146)
            else:
                col = (246, 204, 50) if shade == 0 else (214, 160, 30)
            cv.set(x, y, col)
    for x in range(5, 16):
        cv.set(x, 15 - x, DARK)
    for x in range(4, 15):
        cv.set(x, 18 - x, DARK)
    cv.set(3, 13, DARK)
    return cv


def img_shared_overlay():
    cv = Canvas(16, 16)
    colours = {"b": (40, 90, 210), "B": (20, 50, 140), "o": (130, 80, 30), "s": SKIN}
    glyph(cv, 0, 9, [
        ".....oooo.",
        "....osssso",
        "BbbBossso.",
        "BbbBosssso",
        "BbbBossssso",
        "BbbBosssso",
        "....ooooo.",
    ], colours)
    return cv


def img_noselect_overlay():
    cv = Canvas(16, 16)
    colours = {"x": (96, 96, 104), "w": (244, 244, 244)}
    glyph(cv, 9, 9, [
        "..xxx..",
        ".xxwwx.",
        "xwxxwwx",
        "xwwxxwx",
        "xwwwxxx",
        ".xwwwx.",
        "..xxx..",
    ], colours)
    return cv


def checkbox(edge, fill):
    cv = Canvas(16, 16)
    cv.rect(1, 2, 13, 14, edge)
    cv.rect(2, 3, 12, 13, fill)
    return cv


def img_ticked():
    cv = checkbox((80, 80, 88), (255, 255, 255))
    tops = [2, 3, 4, 3, 2, 1, 0]
    for c, top in enumerate(tops):
        for r in range(top, top + 3):
            cv.set(4 + c, 5 + r, (20, 20, 24))
    return cv


def person(cv, cx, cy, shirt, bottom=15):
    head = ellipse_pixels(cx, cy, 2.6, 2.6)
    body = [(x, y) for x, y in ellipse_pixels(cx, bottom + 1.5, 4.8, 5.6)
            if y >= cy + 3 and y <= bottom]
    draw_shape(cv, body, shirt, DARK)
    draw_shape(cv, head, SKIN, DARK)


def img_owner():
    cv = Canvas(16, 16)
    person(cv, 8, 6.5, (50, 150, 70))
    gold = (240, 190, 20)
    cv.rect(6, 2, 10, 2, gold)
    cv.pixels([(6, 1), (8, 1), (10, 1)], gold)
    return cv


def img_user():
    cv = Canvas(16, 16)
    person(cv, 8, 5.5, (50, 100, 200))
    return cv


def img_group():
    cv = Canvas(16, 16)
    person(cv, 10.5, 4.5, (130, 150, 180), bottom=13)
    person(cv, 6, 7, (50, 100, 200))
    return cv


def img_sort(up):
    cv = Canvas(16, 16)
    grey = (100, 100, 108)
    for i in range(4):
        y = 6 + i if up else 9 - i
        cv.rect(7 - i, y, 7 + i, y, grey)
    return cv


def img_contact():
    cv = Canvas(16, 16)
    cv.rect(0, 2, 15, 13, GREY_EDGE)
    cv.rect(1, 3, 14, 12, (252, 248, 232))
    body = [(x, y) for x, y in ellipse_pixels(5, 13.5, 3.4, 4.2) if 9 <= y <= 12]
    draw_shape(cv, body, (50, 100, 200))
    draw_shape(cv, ellipse_pixels(5, 6.5, 2.0, 2.0), SKIN)
    cv.pixels(shape_outline(ellipse_pixels(5, 6.5, 2.0, 2.0)), (120, 80, 40))
    for y in (5, 7, 9):
        cv.rect(9, y, 13, y, (140, 140, 150))
    cv.rect(9, 11, 11, 11, (140, 140, 150))
    return cv


def strip(images):
    cv = Canvas(16 * len(images), 16)
    for i, img in enumerate(images):
        cv.paste(img, 16 * i)
    return cv


# --------------------------------------------------------------------------
# Larger pictures, drawn with 4x4 supersampling.

SS = 4


def render(w, h, shader):
    """shader(x, y) gives (r, g, b, a) in 0..1 at a point; averaged per pixel."""
    out = []
    for py in range(h):
        row = []
        for px in range(w):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = shader(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            a = acc[3] / n
            if acc[3] > 0:
                col = tuple(acc[i] / acc[3] for i in range(3))
            else:
                col = (0.0, 0.0, 0.0)
            row.append((col, a))
        out.append(row)
    return out


def over(top, below):
    """Composites (r, g, b, a) over (r, g, b, a)."""
    ta = top[3]
    ba = below[3] * (1 - ta)
    a = ta + ba
    if a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    return tuple((top[i] * ta + below[i] * ba) / a for i in range(3)) + (a,)


def rgb(r, g, b, a=1.0):
    return (r / 255.0, g / 255.0, b / 255.0, a)


def in_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def dist_segment(x, y, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(x - (ax + t * vx), y - (ay + t * vy))


def about_shader(x, y):
    """Blue tile with a letter and the Q ring of the product."""
    t = y / 48.0
    col = rgb(18 + 40 * t, 58 + 70 * t, 140 + 70 * t)
    # Envelope.
    ex0, ey0, ex1, ey1 = 7.0, 13.0, 37.0, 34.0
    if ex0 <= x <= ex1 and ey0 <= y <= ey1:
        col = rgb(250, 250, 246)
        if x < ex0 + 1.0 or x > ex1 - 1.0 or y < ey0 + 1.0 or y > ey1 - 1.0:
            col = rgb(150, 160, 184)
        if dist_segment(x, y, ex0, ey0, 22.0, 25.0) < 0.8 or \
                dist_segment(x, y, ex1, ey0, 22.0, 25.0) < 0.8:
            col = rgb(150, 160, 184)
    # Q ring with its tail, lower right.
    cx, cy = 33.5, 32.5
    d = math.hypot(x - cx, y - cy)
    shadow = 11.0 >= d or dist_segment(x, y, 37.0, 36.0, 44.0, 43.0) < 3.2
    ring = 6.0 <= d <= 10.0 or dist_segment(x, y, 37.0, 36.0, 43.0, 42.0) < 2.1
    if shadow and not ring and d >= 6.0:
        col = over(rgb(10, 30, 80, 0.55), col)
    if ring:
        col = rgb(250, 196, 40)
        if d < 8.0 and 6.0 <= d:
            col = rgb(255, 220, 100)
    return col


def lock_shader(size):
    k = size / 32.0

    def shader(x, y):
        x /= k
        y /= k
        col = (0.0, 0.0, 0.0, 0.0)
        # Shackle: a U of thick metal over the body.
        cx, cy = 16.0, 13.0
        d = math.hypot(x - cx, y - cy)
        if y <= cy:
            arc = 5.0 <= d <= 8.6
        else:
            arc = y <= 17.0 and 5.0 <= abs(x - cx) <= 8.6
        if arc:
            col = rgb(176, 182, 196)
            edge = abs(d - 8.6) < 0.8 if y <= cy else abs(abs(x - cx) - 8.6) < 0.8
            if edge:
                col = rgb(100, 106, 120)
        # Body.
        if in_round_rect(x, y, 5.0, 15.0, 27.0, 30.5, 3.0):
            t = (y - 15.0) / 15.5
            col = rgb(252 - 30 * t, 206 - 60 * t, 60 - 30 * t)
            if not in_round_rect(x, y, 6.0, 16.0, 26.0, 29.5, 2.2):
                col = rgb(150, 100, 10)
            elif y < 18.0:
                col = rgb(255, 232, 130)
            # Keyhole.
            if math.hypot(x - 16.0, y - 21.5) < 2.4 or \
                    (abs(x - 16.0) < 1.1 and 21.5 <= y <= 26.5):
                col = rgb(70, 50, 10)
        return col

    return shader


# --------------------------------------------------------------------------
# File writers.


def bmp_8bit(cv):
    colours = sorted({c for row in cv.px for c in row})
    assert len(colours) <= 256, "too many colours for a palette bitmap"
    index = {c: i for i, c in enumerate(colours)}
    stride = (cv.w + 3) & ~3
    pixels = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = bytes(index[c] for c in cv.px[y])
        pixels += row + b"\0" * (stride - cv.w)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    return bmp_file(cv.w, cv.h, 8, len(colours), palette, bytes(pixels))


def bmp_24bit(w, h, rows):
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for r, g, b in rows[y]:
            row += bytes((b, g, r))
        pixels += row + b"\0" * (stride - 3 * w)
    return bmp_file(w, h, 24, 0, b"", bytes(pixels))


def bmp_file(w, h, bits, used, palette, pixels):
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(pixels), 2835, 2835,
                       used, used)
    offset = 14 + len(info) + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + palette + pixels


def to_byte(v):
    return max(0, min(255, int(round(v * 255.0))))


def ico_image(size, pixels):
    """One icon image: BITMAPINFOHEADER, 32-bit BGRA rows, AND mask."""
    xor = bytearray()
    mask = bytearray()
    mstride = ((size + 31) // 32) * 4
    for y in range(size - 1, -1, -1):
        mrow = bytearray(mstride)
        for x in range(size):
            (r, g, b), a = pixels[y][x]
            ab = to_byte(a)
            xor += bytes((to_byte(b), to_byte(g), to_byte(r), ab)) if ab else b"\0\0\0\0"
            if ab < 128:
                mrow[x // 8] |= 0x80 >> (x % 8)
        mask += mrow
    info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(xor) + len(mask),
                       0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def ico_file(images):
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob),
                               offset + len(data))
        data += blob
    return head + entries + data


# --------------------------------------------------------------------------


def build():
    files = {}
    # 200: folder icons. 0 folder, 1 Inbox, 2 Sent Items, 3 Deleted Items, 4 Drafts,
    # 5 open folder, 6 shared overlay, 7 not-selectable overlay.
    files["bitmap200.bmp"] = bmp_8bit(strip([
        img_folder(), img_inbox(), img_sent(), img_deleted(), img_drafts(),
        img_open_folder(), img_shared_overlay(), img_noselect_overlay()]))
    # 201: check states. Images 0..3 are state indices 1..4: unchecked, ticked,
    # empty, disabled.
    files["bitmap201.bmp"] = bmp_8bit(strip([
        checkbox((80, 80, 88), (255, 255, 255)), img_ticked(), Canvas(16, 16),
        checkbox((168, 168, 172), (226, 226, 226))]))
    # 202: kinds of access-control entries: 0 owner, 1 user, 2 group.
    files["bitmap202.bmp"] = bmp_8bit(strip([img_owner(), img_user(), img_group()]))
    # 203: address book: 0 empty, 1 ascending, 2 descending, 3 contact.
    files["bitmap203.bmp"] = bmp_8bit(strip([
        Canvas(16, 16), img_sort(True), img_sort(False), img_contact()]))
    # 204: About picture.
    about = render(48, 48, about_shader)
    rows = [[tuple(to_byte(v) for v in col) for col, _ in row] for row in about]
    files["bitmap204.bmp"] = bmp_24bit(48, 48, rows)
    # 207: logon icon.
    files["icon207.ico"] = ico_file([(s, ico_image(s, render(s, s, lock_shader(s))))
                                     for s in (32, 16)])
    return files


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "bitmaps")
    os.makedirs(out, exist_ok=True)
    for name, data in sorted(build().items()):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print("%s %d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
