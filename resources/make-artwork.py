#!/usr/bin/env python3
"""Draws the program's artwork and writes it as PNG files beside this script.

ok.png, back.png and quit.png are the 18x18 pictures of the OK, Back and Quit buttons: a green
check mark, a red cross and an open door on olive (128,128,0), the colour that the program makes
transparent. ok@2x.png, back@2x.png and quit@2x.png are the same drawings at 36x36, for screens
that scale by 2. tavrin.png is the 32x32 window icon: two study cards, fully opaque. Every file uses
at most 16 colours and is written as a 4-bit palette image. Standard library only.
"""
import os
import struct
import zlib

OLIVE = (128, 128, 0)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
GREEN = (0, 160, 0)
DARK_GREEN = (0, 96, 0)
RED = (220, 0, 0)
DARK_RED = (128, 0, 0)
GREY = (128, 128, 128)
LIGHT_GREY = (192, 192, 192)
BROWN = (128, 64, 0)
TAN = (200, 150, 80)
YELLOW = (255, 255, 0)
NAVY = (0, 0, 128)
BLUE = (0, 0, 255)
TEAL = (0, 128, 128)


class Canvas:
    """Pixels drawn in the coordinates of a width x height picture and stored `scale` times as
    large in each direction."""

    def __init__(self, width, height, background, scale=1):
        self.scale = scale
        self.width, self.height = width * scale, height * scale
        self.pixels = [[background] * self.width for _ in range(self.height)]

    def put(self, x, y, colour):
        """Paints the pixel (x, y) of the unscaled picture."""
        self.rect(x, y, x, y, colour)

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the pixels from (x0, y0) to (x1, y1), both included."""
        s = self.scale
        for y in range(max(y0 * s, 0), min((y1 + 1) * s, self.height)):
            for x in range(max(x0 * s, 0), min((x1 + 1) * s, self.width)):
                self.pixels[y][x] = colour

    def polygon(self, points, colour):
        """Fills every pixel whose centre lies inside the polygon (even-odd rule)."""
        for y in range(self.height):
            for x in range(self.width):
                if inside(points, (x + 0.5) / self.scale, (y + 0.5) / self.scale):
                    self.pixels[y][x] = colour

    def stroke(self, points, radius, colour):
        """Paints every pixel whose centre lies within `radius` of the polyline."""
        for y in range(self.height):
            for x in range(self.width):
                px, py = (x + 0.5) / self.scale, (y + 0.5) / self.scale
                for (ax, ay), (bx, by) in zip(points, points[1:]):
                    if segment_distance(px, py, ax, ay, bx, by) <= radius:
                        self.pixels[y][x] = colour
                        break


def inside(points, px, py):
    result = False
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        if (ay > py) != (by > py):
            cross_x = ax + (py - ay) * (bx - ax) / (by - ay)
            if px < cross_x:
                result = not result
    return result


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    cx, cy = ax + t * dx, ay + t * dy
    return ((px - cx) ** 2 + (py - cy) ** 2) ** 0.5


def check_mark(scale=1):
    c = Canvas(18, 18, OLIVE, scale)
    path = [(2.5, 9.5), (7.0, 14.0), (15.5, 3.5)]
    c.stroke(path, 2.2, DARK_GREEN)
    c.stroke(path, 1.3, GREEN)
    return c


def cross(scale=1):
    c = Canvas(18, 18, OLIVE, scale)
    for path in ([(3.5, 3.5), (14.5, 14.5)], [(14.5, 3.5), (3.5, 14.5)]):
        c.stroke(path, 2.2, DARK_RED)
    for path in ([(3.5, 3.5), (14.5, 14.5)], [(14.5, 3.5), (3.5, 14.5)]):
        c.stroke(path, 1.3, RED)
    return c


def open_door(scale=1):
    c = Canvas(18, 18, OLIVE, scale)
    # The door frame with the dark doorway, and the floor line.
    c.rect(3, 1, 14, 16, BLACK)
    c.rect(4, 2, 13, 16, NAVY)
    c.rect(1, 16, 16, 16, BLACK)
    # The door leaf swung open towards the viewer, hinged on the left jamb.
    leaf = [(4, 2), (9, 4), (9, 17), (4, 16)]
    c.polygon(leaf, TAN)
    c.stroke([(4, 2), (9, 4), (9, 16.5), (4, 16)], 0.5, BROWN)
    c.put(8, 10, YELLOW)
    return c


def deck_icon():
    c = Canvas(32, 32, TEAL)
    # The card behind, tilted, and the card in front with two lines of text and a check mark.
    back = [(4, 9), (20, 3), (27, 22), (11, 28)]
    c.polygon(back, LIGHT_GREY)
    c.stroke(back + back[:1], 0.6, GREY)
    c.rect(8, 8, 27, 29, BLACK)
    c.rect(9, 9, 26, 28, WHITE)
    c.rect(11, 12, 24, 13, BLUE)
    c.rect(11, 16, 21, 17, GREY)
    c.stroke([(12.5, 22.5), (15.0, 25.5), (20.5, 19.5)], 1.0, GREEN)
    return c


def png(canvas):
    colours = sorted({p for row in canvas.pixels for p in row})
    if len(colours) > 16:
        raise ValueError("more than 16 colours")
    index = {colour: i for i, colour in enumerate(colours)}
    raw = bytearray()
    for row in canvas.pixels:
        raw.append(0)  # no filter
        nibbles = [index[p] for p in row] + [0]
        for i in range(0, canvas.width, 2):
            raw.append(nibbles[i] << 4 | nibbles[i + 1])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 4, 3, 0, 0, 0)
    palette = b"".join(bytes(colour) for colour in colours)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", palette) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    pictures = {"ok": check_mark, "back": cross, "quit": open_door}
    files = [(name + ".png", draw()) for name, draw in pictures.items()]
    files += [(name + "@2x.png", draw(2)) for name, draw in pictures.items()]
    files.append(("tavrin.png", deck_icon()))
    for name, canvas in files:
        with open(os.path.join(here, name), "wb") as f:
            f.write(png(canvas))


if __name__ == "__main__":
    main()
