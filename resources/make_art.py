#!/usr/bin/env python3
"""Draws Tarrow's pictures: the program icon, the grabbing-hand drag cursor and
the About dialog's picture. Usage: make_art.py OUTDIR

Everything is 16 colours, in the classic Windows palette.
"""
import math
import os
import struct
import sys

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
    (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, SILVER, YELLOW, WHITE, OLIVE, TEAL = 0, 4, 8, 7, 11, 15, 3, 6
KEY = {".": None, "K": BLACK, "W": WHITE, "G": GREY, "S": SILVER, "B": NAVY, "Y": YELLOW, "T": TEAL}

# A closed, grabbing hand seen from the back: knuckles on top, thumb tucked
# in at the left, a dark-blue cuff at the wrist.
HAND = """
................................
................................
................................
................................
................................
................................
..........KK.KK.KK..............
.........KWWKWWKWWKK............
........KWWWKWWKWWKWK...........
........KWWGKWWKWWKWWK..........
.......KKWWGKWGKWGKWWK..........
......KWKWWWWWWWWWWWGK..........
......KWWKWWWWWWWWWWGK..........
......KWWWKWWWWWWWWWGK..........
.......KWWWWWWWWWWWWGK..........
.......KGWWWWWWWWWWWGK..........
........KGWWWWWWWWWGGK..........
........KGGWWWWWWWWGK...........
.........KGGGWWWWWGGK...........
..........KKGGGGGGGK............
..........KBBBBBBBBK............
..........KBBTBBBBBK............
..........KBBBBBBBBK............
..........KKKKKKKKKK............
................................
................................
................................
................................
................................
................................
................................
................................
"""


def grid_from_art(art):
    rows = [r for r in art.strip("\n").split("\n")]
    return [[KEY[c] for c in row] for row in rows]


def icon_grid(size):
    """A navy tile with a white T and a yellow arrow: T + arrow."""
    g = [[None] * size for _ in range(size)]
    s = size / 32.0
    for y in range(size):
        for x in range(size):
            fx, fy = x / s, y / s
            # rounded tile
            cx = min(max(fx, 4), 27)
            cy = min(max(fy, 4), 27)
            if (fx - cx) ** 2 + (fy - cy) ** 2 <= 16:
                g[y][x] = NAVY
            if 6 <= fy < 11 and 5 <= fx < 27 or 11 <= fy < 27 and 13 <= fx < 19:
                g[y][x] = WHITE
            # arrow shaft and head pointing right, across the T's stem
            if 17 <= fy < 21 and 3 <= fx < 22:
                g[y][x] = YELLOW
            if 22 <= fx < 29 and abs(fy - 19) <= (29 - fx) * 0.9:
                g[y][x] = YELLOW
    return g


def dib(grid):
    """4-bit bottom-up pixels and the 1-bit transparency mask of an icon image."""
    h, w = len(grid), len(grid[0])
    xor_stride = ((w * 4 + 31) // 32) * 4
    and_stride = ((w + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(grid):
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            index = 0 if c is None else c
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def icon_file(images, kind=1, hotspot=(0, 0)):
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for grid in images:
        data = dib(grid)
        w, h = len(grid[0]), len(grid)
        a, b = (1, 4) if kind == 1 else hotspot
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 16, 0, a, b, len(data), offset)
        offset += len(data)
        blobs.append(data)
    return out + b"".join(blobs)


def about_picture(w=553, h=201):
    """A dusk sky over a dark ridge, with a signature stroke: 4-bit BMP."""
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            ridge = 150 + 18 * math.sin(x / 37.0) + 9 * math.sin(x / 11.0)
            if y > ridge:
                c = BLACK
            elif y > 110:
                c = NAVY if (x + y) % 2 else TEAL
            elif y > 60:
                c = NAVY
            else:
                c = NAVY if (x * 7 + y * 13) % 97 else WHITE
            row.append(c)
        rows.append(row)
    # the signature: a looping pen stroke
    for i in range(2400):
        t = i / 2400.0
        x = 60 + 430 * t + 18 * math.cos(t * 40)
        y = 85 + 22 * math.sin(t * 40) * (1 - t) - 10 * math.sin(t * 6)
        for dx in (0, 1):
            for dy in (0, 1):
                xi, yi = int(x) + dx, int(y) + dy
                if 0 <= xi < w and 0 <= yi < h:
                    rows[yi][xi] = YELLOW
    stride = ((w * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, c in enumerate(row):
            line[x // 2] |= c << (4 if x % 2 == 0 else 0)
        pixels += line
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    offset = 14 + len(info) + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + palette + bytes(pixels)


def main(out):
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "tarrow.ico"), "wb") as f:
        f.write(icon_file([icon_grid(32), icon_grid(16)]))
    with open(os.path.join(out, "grab.cur"), "wb") as f:
        f.write(icon_file([grid_from_art(HAND)], kind=2, hotspot=(16, 14)))
    with open(os.path.join(out, "signature.bmp"), "wb") as f:
        f.write(about_picture())


if __name__ == "__main__":
    main(sys.argv[1])
