#!/usr/bin/env python3
"""Draws the desktop icons of the program and writes them into icons/ beside this script.

The design is the window icon's (tavrin.png, drawn by make-artwork.py at 32x32 pixels): two study
cards on teal, the front one with two lines of text and a check mark. Here it is drawn as shapes
in the same 32-unit square, written once as SVG (tavrin.svg) and rendered, smoothed, into
tavrin-48.png, tavrin-64.png, tavrin-128.png and tavrin-256.png (RGBA) for the sizes a desktop's
application grid asks for. Standard library only.
"""
import importlib.util
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZES = (48, 64, 128, 256)
SUBSAMPLES = 4  # per pixel and axis

_spec = importlib.util.spec_from_file_location("artwork", os.path.join(HERE, "make-artwork.py"))
artwork = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(artwork)

BACK_CARD = [(4, 9), (20, 3), (27, 22), (11, 28)]
CHECK = [(12.5, 22.5), (15.0, 25.5), (20.5, 19.5)]

# Each shape: (kind, geometry, colour), painted in order. A rect is (x0, y0, x1, y1, corner
# radius), a polygon its corners, a stroke (polyline, half its width).
SHAPES = [
    ("rect", (0, 0, 32, 32, 4), artwork.TEAL),
    ("polygon", BACK_CARD, artwork.LIGHT_GREY),
    ("stroke", (BACK_CARD + BACK_CARD[:1], 0.6), artwork.GREY),
    ("rect", (8, 8, 28, 30, 0), artwork.BLACK),
    ("rect", (9, 9, 27, 29, 0), artwork.WHITE),
    ("rect", (11, 12, 25, 14, 0), artwork.BLUE),
    ("rect", (11, 16, 22, 18, 0), artwork.GREY),
    ("stroke", (CHECK, 1.0), artwork.GREEN),
]


def hex_colour(colour):
    return "#%02x%02x%02x" % colour


def points(path):
    return " ".join("%g,%g" % p for p in path)


def svg():
    body = []
    for kind, geometry, colour in SHAPES:
        fill = hex_colour(colour)
        if kind == "rect":
            x0, y0, x1, y1, r = geometry
            corner = ' rx="%g"' % r if r else ""
            body.append('<rect x="%g" y="%g" width="%g" height="%g"%s fill="%s"/>' %
                        (x0, y0, x1 - x0, y1 - y0, corner, fill))
        elif kind == "polygon":
            body.append('<polygon points="%s" fill="%s"/>' % (points(geometry), fill))
        else:
            path, radius = geometry
            body.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="%g" '
                        'stroke-linecap="round" stroke-linejoin="round"/>' %
                        (points(path), fill, 2 * radius))
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
            'viewBox="0 0 32 32">\n  ' + "\n  ".join(body) + "\n</svg>\n")


def covers(kind, geometry, x, y):
    """Whether the point (x, y), in icon units, lies on the shape."""
    if kind == "rect":
        x0, y0, x1, y1, r = geometry
        cx, cy = min(max(x, x0 + r), x1 - r), min(max(y, y0 + r), y1 - r)
        return x0 <= x < x1 and y0 <= y < y1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    if kind == "polygon":
        return artwork.inside(geometry, x, y)
    path, radius = geometry
    return any(artwork.segment_distance(x, y, ax, ay, bx, by) <= radius
               for (ax, ay), (bx, by) in zip(path, path[1:]))


def render(size):
    """The icon at size x size pixels as rows of RGBA tuples, each pixel the mean of its
    SUBSAMPLES x SUBSAMPLES samples (transparent where no shape lies)."""
    scale = 32.0 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0, 0]
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    x = (px + (sx + 0.5) / SUBSAMPLES) * scale
                    y = (py + (sy + 0.5) / SUBSAMPLES) * scale
                    colour = None
                    for kind, geometry, shape_colour in SHAPES:
                        if covers(kind, geometry, x, y):
                            colour = shape_colour
                    if colour is not None:
                        total = [t + c for t, c in zip(total, colour + (255,))]
            n = SUBSAMPLES * SUBSAMPLES
            alpha = total[3]
            # Colours averaged over the covered samples only, so that edges do not darken.
            rgb = [round(t * 255 / alpha) if alpha else 0 for t in total[:3]]
            row.append(tuple(rgb) + (round(alpha / n),))
        rows.append(row)
    return rows


def png(rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    folder = os.path.join(HERE, "icons")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "tavrin.svg"), "w") as f:
        f.write(svg())
    for size in SIZES:
        with open(os.path.join(folder, "tavrin-%d.png" % size), "wb") as f:
            f.write(png(render(size)))


if __name__ == "__main__":
    main()
