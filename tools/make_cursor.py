#!/usr/bin/env python3
"""Draws the pointing-hand mouse pointer as a 32x32 Windows cursor file.

Usage: tools/make_cursor.py [output file]   (default: resources/HAND-M.CUR)

Standard library only. The file is an icon container of type 2 (cursor) holding one
32 bpp BGRA bitmap with its AND mask; the hot spot is the tip of the index finger.
"""

import os
import struct
import sys

SIZE = 32
HOTSPOT = (9, 1)

# X outline, . fill, space transparent. Rows past the drawing are transparent.
HAND = [
    "        XXX",
    "       X...X",
    "       X...X",
    "       X...X",
    "       X...X",
    "       X...X",
    "       X...XXXX",
    "       X...X...XXXX",
    "       X...X...X...XXX",
    "       X...X...X...X..X",
    "       X...X...X...X..X",
    "  XX   X...X...X...X..X",
    " X..X  X..............X",
    " X...X X..............X",
    "  X...XX..............X",
    "   X..................X",
    "    X.................X",
    "     X................X",
    "      X...............X",
    "       X..............X",
    "       X.............X",
    "        X............X",
    "        X............X",
    "        XXXXXXXXXXXXXX",
]

COLORS = {"X": (0, 0, 0, 255), ".": (255, 255, 255, 255), " ": (0, 0, 0, 0)}


def pixel_rows():
    """Top-down rows of (r, g, b, a)."""
    rows = []
    for y in range(SIZE):
        line = HAND[y] if y < len(HAND) else ""
        line = line.ljust(SIZE)
        assert len(line) == SIZE, "row %d is wider than the cursor" % y
        rows.append([COLORS[c] for c in line])
    return rows


def cursor_bytes(rows):
    # The bitmap is stored bottom-up, and its height counts the colour and mask halves.
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = 0
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
            bits = (bits << 1) | (1 if a == 0 else 0)  # 1: screen shows through
        mask += struct.pack(">I", bits)  # 32 pixels fill one 4-byte padded row exactly
    info = struct.pack(
        "<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0
    )
    image = info + bytes(xor) + bytes(mask)
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOTSPOT[0], HOTSPOT[1], len(image), 6 + 16)
    return header + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.normpath(os.path.join(here, "..", "resources", "HAND-M.CUR"))
    path = sys.argv[1] if len(sys.argv) > 1 else default
    rows = pixel_rows()
    x, y = HOTSPOT
    assert rows[y][x] != COLORS[" "], "the hot spot must be on the hand"
    with open(path, "wb") as f:
        f.write(cursor_bytes(rows))
    print(path)


if __name__ == "__main__":
    main()
