#!/usr/bin/env python3
"""Draws the program icon for the desktop's hicolor icon theme.

The same drawing as ui/assets/kuvandoro.png (scripts/make_artwork.py), as
PNGs of 16 to 256 pixels, the small ones with the coarser detail that
make_artwork gives them, and as one scalable SVG made of the same polygons.

Usage: scripts/make_icons.py [output folder]   (default: packaging/icons)
"""

import os
import sys

from make_artwork import Gradient, draw_icon

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUT = os.path.join(HERE, "..", "packaging", "icons")
APP_ID = "org.example.kuvandoro.Kuvandoro"
SIZES = (16, 32, 48, 64, 128, 256)


def hex_colour(colour):
    return "#%02x%02x%02x" % colour[:3]


class SvgCanvas:
    """Records what draw_icon fills, as SVG paths in its own units."""

    def __init__(self, size):
        self.size = size
        self.defs = []
        self.paths = []

    def fill(self, pts, colour):
        d = "M" + " L".join("%.2f %.2f" % (x, y) for x, y in pts) + " Z"
        if isinstance(colour, Gradient):
            # One linear gradient per side of the centre line, flat beyond its reach.
            side = 1 if sum(x for x, _ in pts) / len(pts) >= colour.centre * colour.k else -1
            name = "g%d" % len(self.defs)
            x1 = colour.centre * colour.k
            x2 = (colour.centre + side * colour.reach) * colour.k
            self.defs.append(
                '<linearGradient id="%s" gradientUnits="userSpaceOnUse" x1="%.2f" y1="0" '
                'x2="%.2f" y2="0"><stop offset="0" stop-color="%s"/>'
                '<stop offset="1" stop-color="%s"/></linearGradient>'
                % (name, x1, x2, hex_colour(colour.a), hex_colour(colour.b)))
            paint = "url(#%s)" % name
        else:
            paint = hex_colour(colour)
        opacity = "" if colour_alpha(colour) == 255 else ' fill-opacity="%.3f"' % (
            colour_alpha(colour) / 255.0)
        self.paths.append('<path fill="%s"%s d="%s"/>' % (paint, opacity, d))

    def text(self):
        n = self.size
        lines = ['<?xml version="1.0" encoding="UTF-8"?>',
                 '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
                 'viewBox="0 0 %d %d" fill-rule="evenodd">' % (n, n, n, n)]
        if self.defs:
            lines.append("<defs>" + "".join(self.defs) + "</defs>")
        lines += self.paths
        lines.append("</svg>")
        return "\n".join(lines) + "\n"


def colour_alpha(colour):
    return 255 if isinstance(colour, Gradient) else colour[3]


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUT)
    for size in SIZES:
        folder = os.path.join(out, "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        draw_icon(size).save(os.path.join(folder, APP_ID + ".png"))
    folder = os.path.join(out, "hicolor", "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    svg = SvgCanvas(256)
    draw_icon(256, svg)
    with open(os.path.join(folder, APP_ID + ".svg"), "w", encoding="utf-8") as f:
        f.write(svg.text())


if __name__ == "__main__":
    main()
