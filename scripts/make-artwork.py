#!/usr/bin/env python3
"""Draws Tolvane's artwork and writes it into ui/res/:

  Tolvane.ico  one 32x32 image, 32 bits per pixel with alpha (the launcher's
               icon 101 and the main program's icon 128)
  Logo.bmp     the same picture, 32x32 at 24 bits per pixel, on the dialog
               face colour, for the main window

The picture: a blue rounded tile with a white arrow pointing up out of a small
hub tree whose three ports are amber dots. Standard library only; the output
is committed, so run this again only after changing the drawing.

    python3 scripts/make-artwork.py [OUTPUT_DIR]
"""

import os
import struct
import sys

SIZE = 32
# Samples per pixel along each axis: edges come out anti-aliased.
OVERSAMPLE = 4

TILE_TOP = (0x2F, 0x86, 0xEB)
TILE_BOTTOM = (0x16, 0x4F, 0xA8)
TILE_EDGE = (0x0E, 0x3A, 0x80)
WHITE = (0xFF, 0xFF, 0xFF)
AMBER = (0xFF, 0xB3, 0x1A)
# Windows' default dialog face, so the logo blends into the main window.
DIALOG_FACE = (0xF0, 0xF0, 0xF0)


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def in_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


ARROW = [(16, 3.5), (24.5, 12), (19, 12), (19, 19), (13, 19), (13, 12), (7.5, 12)]
# The hub tree under the arrow: a bar and three legs down to the ports.
TREE = [
    (8, 19, 24, 21),
    (8, 19, 10, 25),
    (15, 19, 17, 25),
    (22, 19, 24, 25),
]
PORTS = [(9, 26.5), (16, 26.5), (23, 26.5)]
PORT_RADIUS = 2.6


def sample(x, y):
    """The colour (r, g, b, a) at point (x, y) of the 32x32 picture."""
    if not in_rounded_rect(x, y, 0.5, 0.5, 31.5, 31.5, 6.5):
        return (0, 0, 0, 0)
    if any(in_circle(x, y, cx, cy, PORT_RADIUS) for cx, cy in PORTS):
        return AMBER + (255,)
    if in_polygon(x, y, ARROW):
        return WHITE + (255,)
    if any(l <= x <= r and t <= y <= b for l, t, r, b in TREE):
        return WHITE + (255,)
    if not in_rounded_rect(x, y, 1.5, 1.5, 30.5, 30.5, 5.5):
        return TILE_EDGE + (255,)
    t = y / SIZE
    return tuple(round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM)) + (255,)


def render():
    """Rows top to bottom of (r, g, b, a) pixels, alpha not premultiplied."""
    rows = []
    n = OVERSAMPLE * OVERSAMPLE
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0, 0, 0, 0]
            for sy in range(OVERSAMPLE):
                for sx in range(OVERSAMPLE):
                    r, g, b, a = sample(px + (sx + 0.5) / OVERSAMPLE, py + (sy + 0.5) / OVERSAMPLE)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(c / acc[3]) for c in acc[:3]) + (round(acc[3] / n),))
        rows.append(row)
    return rows


def bitmap_info_header(height, bits, image_size):
    return struct.pack("<IiiHHIIiiII", 40, SIZE, height, 1, bits, 0, image_size, 0, 0, 0, 0)


def ico(rows):
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    # The AND mask marks the fully transparent pixels for readers that ignore
    # alpha; each row is padded to 32 bits.
    mask = bytearray()
    for row in reversed(rows):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 0x80000000 >> x
        mask += struct.pack(">I", bits)
    # An icon image's header counts the colour and mask rows together.
    image = bitmap_info_header(2 * SIZE, 32, len(colour) + len(mask)) + colour + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def bmp(rows, background):
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            blend = [round((c * a + bg * (255 - a)) / 255) for c, bg in zip((r, g, b), background)]
            pixels += bytes((blend[2], blend[1], blend[0]))
        pixels += bytes(-(SIZE * 3) % 4)
    info = bitmap_info_header(SIZE, 24, len(pixels))
    offset = 14 + len(info)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + info + bytes(pixels)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.normpath(os.path.join(here, "..", "ui", "res"))
    os.makedirs(out, exist_ok=True)
    rows = render()
    for name, data in (("Tolvane.ico", ico(rows)), ("Logo.bmp", bmp(rows, DIALOG_FACE))):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print(f"make-artwork: {os.path.join(out, name)} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
