#!/usr/bin/env python3
"""Draws the program's pictures into ui/assets/.

The icon and the toolbar glyphs are drawn here with the standard library only
(polygons with supersampled edges, written as PNG with zlib). The banners need
text, so they are put together by ImageMagick's convert from the icon and the
fonts named below (fonts-urw-base35 or fonts-dejavu-core).

Usage: scripts/make_artwork.py [output folder]   (default: ui/assets)
"""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUT = os.path.join(HERE, "..", "ui", "assets")


# --- PNG ---------------------------------------------------------------------


def write_png(path, width, height, rows, alpha=True):
    """rows: list of rows, each a list of (r, g, b, a) tuples of ints 0-255."""
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for r, g, b, a in row:
            raw += bytes((r, g, b, a)) if alpha else bytes((r, g, b))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    colour_type = 6 if alpha else 2
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# --- A small canvas with anti-aliased polygons --------------------------------


class Canvas:
    SUB = 4  # sub-rows per pixel row

    def __init__(self, width, height):
        self.w, self.h = width, height
        # premultiplied floats
        self.px = [[[0.0, 0.0, 0.0, 0.0] for _ in range(width)] for _ in range(height)]

    def _coverage(self, pts):
        """Pixel coverage of a polygon given in pixel coordinates (even-odd)."""
        cov = {}
        n = len(pts)
        ys = [p[1] for p in pts]
        y0 = max(0, int(math.floor(min(ys))))
        y1 = min(self.h - 1, int(math.ceil(max(ys))))
        for py in range(y0, y1 + 1):
            row = None
            for s in range(self.SUB):
                y = py + (s + 0.5) / self.SUB
                xs = []
                for i in range(n):
                    ax, ay = pts[i]
                    bx, by = pts[(i + 1) % n]
                    if (ay <= y < by) or (by <= y < ay):
                        xs.append(ax + (y - ay) * (bx - ax) / (by - ay))
                xs.sort()
                for k in range(0, len(xs) - 1, 2):
                    xa, xb = max(0.0, xs[k]), min(float(self.w), xs[k + 1])
                    if xb <= xa:
                        continue
                    if row is None:
                        row = cov.setdefault(py, {})
                    for px in range(int(xa), min(self.w - 1, int(math.ceil(xb) - 1)) + 1):
                        part = min(xb, px + 1) - max(xa, px)
                        if part > 0:
                            row[px] = row.get(px, 0.0) + part / self.SUB
        return cov

    def fill(self, pts, colour):
        """colour: (r, g, b, a) in 0-255, or a function (x, y) -> (r, g, b, a)."""
        for py, row in self._coverage(pts).items():
            for px, c in row.items():
                c = min(1.0, c)
                col = colour(px + 0.5, py + 0.5) if callable(colour) else colour
                a = c * col[3] / 255.0
                d = self.px[py][px]
                for i in range(3):
                    d[i] = col[i] / 255.0 * a + d[i] * (1 - a)
                d[3] = a + d[3] * (1 - a)

    def set(self, x, y, colour):
        r, g, b, a = colour
        self.px[y][x] = [r / 255 * a / 255, g / 255 * a / 255, b / 255 * a / 255, a / 255]

    def rows(self):
        out = []
        for row in self.px:
            line = []
            for r, g, b, a in row:
                if a <= 0:
                    line.append((0, 0, 0, 0))
                else:
                    line.append(tuple(int(round(min(1.0, v / a) * 255)) for v in (r, g, b))
                                + (int(round(a * 255)),))
            out.append(line)
        return out

    def save(self, path):
        write_png(path, self.w, self.h, self.rows())


def band(points, width):
    """A polyline thickened to a polygon of the given width."""
    left, right = [], []
    for i, (x, y) in enumerate(points):
        ax, ay = points[max(0, i - 1)]
        bx, by = points[min(len(points) - 1, i + 1)]
        dx, dy = bx - ax, by - ay
        ln = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / ln * width / 2, dx / ln * width / 2
        left.append((x + nx, y + ny))
        right.append((x - nx, y - ny))
    return left + right[::-1]


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(4))


class Gradient:
    """A colour that runs from a at the vertical line x = centre (icon units)
    to b at reach units to either side, and stays b beyond."""

    def __init__(self, k, centre, reach, a, b):
        self.k, self.centre, self.reach, self.a, self.b = k, centre, reach, a, b

    def __call__(self, x, y):
        return mix(self.a, self.b, abs(x / self.k - self.centre) / self.reach)


# --- The program icon: an open diary with ruled pages and a ribbon ----------


def draw_icon(size, canvas=None):
    """The icon on a new Canvas of size pixels, or drawn onto canvas (any
    object with the Canvas's fill) in a frame of size units."""
    c = canvas if canvas is not None else Canvas(size, size)
    k = size / 256.0
    small = size <= 48

    def P(pts):
        return [(x * k, y * k) for x, y in pts]

    def top(t):  # the pages' top edge, t = 0 outer corner .. 1 spine
        return 62 - 12 * math.sin(math.pi * t * 0.9) + 16 * t * t

    def bottom(t):
        return 198 - 12 * math.sin(math.pi * t * 0.9) + 16 * t * t

    steps = 24

    def page(side, dx=0.0, dy=0.0, grow=0.0):
        pts = []
        for i in range(steps + 1):
            t = i / steps
            x = 128 + side * (1 - t) * (104 + grow)
            pts.append((x + dx, top(t) - grow + dy))
        for i in range(steps, -1, -1):
            t = i / steps
            x = 128 + side * (1 - t) * (104 + grow)
            pts.append((x + dx, bottom(t) + grow + dy))
        return P(pts)

    cover_dark = (96, 22, 30, 255)
    cover = (150, 36, 44, 255)
    # The cover behind the pages, its lower edge a little thicker.
    for side in (-1, 1):
        c.fill(page(side, 0, 10, 10), cover_dark)
        c.fill(page(side, 0, 6, 8), cover)
    # Page edges of the stack under each page.
    for side in (-1, 1):
        c.fill(page(side, 0, 6 if not small else 8), (205, 200, 182, 255))
        c.fill(page(side, 0, 3 if not small else 4), (236, 232, 214, 255))

    paper = (255, 252, 240, 255)
    shade = (206, 198, 172, 255)

    # The paper darkens towards the spine.
    for side in (-1, 1):
        c.fill(page(side), Gradient(k, 128, 40.0, shade, paper))

    # Ruled lines, following the curve of the pages.
    lines = 4 if small else 9
    width = 7 if small else 3.2
    rule = (112, 150, 205, 255)
    for side in (-1, 1):
        for j in range(1, lines + 1):
            f = j / (lines + 1.0)
            pts = []
            for i in range(steps + 1):
                t = 0.08 + 0.84 * i / steps
                x = 128 + side * (1 - t) * 104
                y = top(t) + (bottom(t) - top(t)) * (0.12 + 0.82 * f)
                pts.append((x, y))
            c.fill(P(band(pts, width)), rule)
    # A red margin line on the right page.
    if not small:
        pts = [(128 + 0.86 * 104, top(0.14) + 8), (128 + 0.86 * 104, bottom(0.14) - 8)]
        pts = [(x, y) for x, y in pts]
        c.fill(P(band(pts, 2.5)), (220, 110, 110, 255))

    # The spine's fold.
    c.fill(P(band([(128, top(1.0) - 2), (128, bottom(1.0) + 2)], 3.5 if not small else 8)),
           (150, 140, 112, 255))

    # The ribbon bookmark, hanging out below the book.
    rw = 12 if not small else 14
    rx = 150 if not small else 146
    ry0 = top(1 - (rx - 128) / 104.0) + 4
    ribbon = [(rx - rw / 2, ry0), (rx + rw / 2, ry0), (rx + rw / 2 + 4, 238),
              (rx + 4, 228), (rx - rw / 2 + 4, 238)]
    c.fill(P(ribbon), (200, 30, 40, 255))
    if not small:
        c.fill(P([(rx + rw / 2 - 3, ry0), (rx + rw / 2, ry0), (rx + rw / 2 + 4, 238),
                  (rx + rw / 2 + 1, 235)]), (140, 16, 24, 255))
    return c


# --- Toolbar glyphs, 16 x 16 --------------------------------------------------

BLACK = (0, 0, 0, 255)
SHADOW = (128, 128, 128, 255)


def arrow_mask():
    """An arrow pointing up: head 11 wide, shaft 5 wide, 11 rows."""
    cells = set()
    for r in range(6):
        for x in range(-r, r + 1):
            cells.add((7 + x, 2 + r))
    for r in range(6, 11):
        for x in range(-2, 3):
            cells.add((7 + x, 2 + r))
    return cells


def rotate(cells, turns):
    """Quarter turns clockwise about the centre of the arrow (7, 7)."""
    out = set()
    for x, y in cells:
        dx, dy = x - 7, y - 7
        for _ in range(turns):
            dx, dy = -dy, dx
        out.add((7 + dx, 7 + dy))
    return out


def glyph_from_cells(cells, path):
    c = Canvas(16, 16)
    for x, y in cells:
        if 0 <= x + 1 < 16 and 0 <= y + 1 < 16:
            c.set(x + 1, y + 1, SHADOW)
    for x, y in cells:
        c.set(x, y, BLACK)
    c.save(path)


def glyph_from_map(lines, palette, path):
    c = Canvas(16, 16)
    assert len(lines) == 16
    for y, line in enumerate(lines):
        assert len(line) == 16, line
        for x, ch in enumerate(line):
            if ch != ".":
                c.set(x, y, palette[ch])
    c.save(path)


PALETTE = {
    "K": (0, 0, 0, 255),
    "D": (64, 64, 64, 255),
    "G": (128, 128, 128, 255),
    "L": (192, 192, 192, 255),
    "W": (250, 250, 246, 255),  # not pure white: the sheet itself must not read as background
    "R": (208, 32, 32, 255),
    "r": (128, 16, 16, 255),
    "Y": (236, 216, 160, 255),
    "y": (184, 150, 92, 255),
    "B": (96, 150, 220, 255),
    "N": (120, 72, 32, 255),
}

CALENDAR = [
    "................",
    "...LK......LK...",
    ".KKKKKKKKKKKKKK.",
    ".KRRRRRRRRRRRRKG",
    ".KRRRRRRRRRRRRKG",
    ".KKKKKKKKKKKKKKG",
    ".KWWWWWWKWWWWWKG",
    ".KWWWWWKKWWWWWKG",
    ".KWWWWKKKWWWWWKG",
    ".KWWWWWKKWWWWWKG",
    ".KWWWWWKKWWWWWKG",
    ".KWWWWWKKWWWWWKG",
    ".KWWWWWKKWWWWWKG",
    ".KWWWWKKKKWWWWKG",
    ".KKKKKKKKKKKKKKG",
    "..GGGGGGGGGGGGGG",
]

HOUSE = [
    "................",
    ".......K..KK....",
    "......KRK.KK....",
    ".....KRRRKKK....",
    "....KRRRRRKK....",
    "...KRRRRRRRK....",
    "..KRRRRRRRRRK...",
    ".KRRRRRRRRRRRK..",
    "KKKKKKKKKKKKKKK.",
    "..KYYYYYYYYYKG..",
    "..KYKKKYKKKYKG..",
    "..KYKBKYKNKYKG..",
    "..KYKKKYKNKYKG..",
    "..KYYYYYKNKYKG..",
    "..KKKKKKKKKKKG..",
    "...GGGGGGGGGGG..",
]


# --- Banners (ImageMagick) ----------------------------------------------------

FONT_CANDIDATES = {
    "logo": ["/usr/share/fonts/opentype/urw-base35/P052-BoldItalic.otf",
             "/usr/share/fonts/truetype/dejavu/DejaVuSerif-BoldItalic.ttf"],
    "small": ["/usr/share/fonts/opentype/urw-base35/P052-Italic.otf",
              "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Italic.ttf"],
}


def font(kind):
    for path in FONT_CANDIDATES[kind]:
        if os.path.exists(path):
            return path
    sys.exit("make_artwork: no font for the banners; install fonts-urw-base35 or fonts-dejavu-core")


def convert(*args):
    exe = shutil.which("convert")
    if not exe:
        sys.exit("make_artwork: ImageMagick's convert is needed for the banners")
    subprocess.run([exe, *[str(a) for a in args]], check=True)


def banner_password(out, icon):
    # Shown cut to its top 63 rows on a white panel: everything that matters
    # lies in that strip, the rest only continues the background.
    convert("-size", "320x100", "gradient:#FFFFFF-#E4ECF8",
            "(", icon, "-resize", "52x52", ")", "-geometry", "+12+5", "-composite",
            "-fill", "#1C3A6E", "-font", font("logo"), "-pointsize", 34,
            "-annotate", "+74+34", "Kuvandoro",
            "-fill", "#6A7C9C", "-font", font("small"), "-pointsize", 13,
            "-annotate", "+78+53", "Tessarine",
            "-fill", "#B8C6E0", "-draw", "rectangle 74,40 300,40",
            "-strip", "-type", "TrueColor", "PNG24:" + os.path.join(out, "banner_password.png"))


def banner_about(out, icon):
    # Shown cut to its top 49 rows beside a black block: black on the left.
    convert("-size", "75x240", "gradient:#2A4A86-#000000", "-rotate", "90",
            "-fill", "#F4F0E0", "-font", font("logo"), "-pointsize", 30,
            "-annotate", "+10+28", "Kuvandoro",
            "-fill", "#C8B070", "-font", font("small"), "-pointsize", 12,
            "-annotate", "+14+43", "Tessarine",
            "-strip", "-type", "TrueColor", "PNG24:" + os.path.join(out, "banner_about.png"))


def banner_setting(out, icon):
    # A vertical strip, the lettering reading upwards.
    with tempfile.TemporaryDirectory() as tmp:
        text = os.path.join(tmp, "text.png")
        convert("-size", "320x100", "xc:none",
                "-fill", "#FFFFFF", "-font", font("logo"), "-pointsize", 38,
                "-annotate", "+22+56", "Kuvandoro",
                "-fill", "#D8E4F8", "-font", font("small"), "-pointsize", 15,
                "-annotate", "+28+76", "Tessarine",
                "-rotate", "-90", "PNG32:" + text)
        convert("-size", "100x320", "gradient:#5078B8-#142850",
                "(", icon, "-resize", "64x64", ")", "-geometry", "+16+8", "-composite",
                text, "-geometry", "+0+0", "-composite",
                "-strip", "-type", "TrueColor", "PNG24:" + os.path.join(out, "banner_setting.png"))


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUT)
    os.makedirs(out, exist_ok=True)
    icon256 = os.path.join(out, "kuvandoro.png")
    draw_icon(256).save(icon256)
    draw_icon(32).save(os.path.join(out, "icon32.png"))

    up = arrow_mask()
    glyph_from_cells(up, os.path.join(out, "glyph_up.png"))
    glyph_from_cells(rotate(up, 1), os.path.join(out, "glyph_right.png"))
    glyph_from_cells(rotate(up, 2), os.path.join(out, "glyph_down.png"))
    glyph_from_cells(rotate(up, 3), os.path.join(out, "glyph_left.png"))
    glyph_from_map(CALENDAR, PALETTE, os.path.join(out, "glyph_insert.png"))
    glyph_from_map(HOUSE, PALETTE, os.path.join(out, "glyph_house.png"))

    banner_password(out, icon256)
    banner_about(out, icon256)
    banner_setting(out, icon256)


if __name__ == "__main__":
    main()
