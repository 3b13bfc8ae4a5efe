#!/usr/bin/env python3
"""Draws the Ledgerloom program icon as PNG files of the usual sizes.

Usage: tools/make_icons.py [output folder]   (default: resources/icons)

Standard library only, so the icons can be redrawn on a bare build machine.
The shapes use the same 256x256 coordinates as resources/icons/ledgerloom.svg;
change both together.
"""

import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64, 128, 256)

TEAL = (0x11, 0x7A, 0x8B)
DARK_TEAL = (0x0B, 0x4F, 0x5C)
BAND = (0xB8, 0xE0, 0xE6)
PAGE = (0xFB, 0xF8, 0xEF)
BLUE = (0x2B, 0x6C, 0xB0)
RULE = (0x7F, 0xB2, 0xE5)
MARGIN = (0xD9, 0x53, 0x4F)


class RoundRect:
    def __init__(self, x0, y0, x1, y1, r, color):
        self.box = (x0, y0, x1, y1)
        self.r = min(r, (x1 - x0) / 2, (y1 - y0) / 2)
        self.color = color

    def contains(self, x, y):
        x0, y0, x1, y1 = self.box
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        r = self.r
        if r <= 0:
            return True
        # Distance to the inner rectangle whose corners are the arc centres.
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r


def rect(x0, y0, x1, y1, color):
    return RoundRect(x0, y0, x1, y1, 0, color)


def shapes(size):
    """The icon, back to front.

    Small sizes get a plainer drawing on a 16-unit grid, so that its edges fall on whole
    pixels at 16 and 32 px instead of blurring; the fine lines are left out there.
    """
    if size <= 32:
        out = [
            RoundRect(32, 16, 224, 240, 24, TEAL),
            RoundRect(32, 16, 80, 240, 24, DARK_TEAL),
            rect(56, 16, 80, 240, DARK_TEAL),
            RoundRect(96, 32, 208, 224, 8, PAGE),
            RoundRect(96, 32, 208, 64, 8, BLUE),
            rect(96, 48, 208, 64, BLUE),
        ]
        out += [rect(112, y, 192, y + 16, RULE) for y in (96, 144, 192)]
        out += [rect(48, y, 64, y + 16, BAND) for y in (64, 176)]
        return out
    out = [
        RoundRect(40, 16, 216, 240, 22, TEAL),  # cover
        RoundRect(40, 16, 84, 240, 22, DARK_TEAL),  # spine, rounded on the outside only
        rect(62, 16, 84, 240, DARK_TEAL),
        RoundRect(100, 36, 200, 220, 10, PAGE),
        RoundRect(100, 36, 200, 66, 10, BLUE),  # column heading band
        rect(100, 50, 200, 66, BLUE),
    ]
    out += [rect(110, y, 190, y + 5, RULE) for y in (92, 118, 144, 170, 196)]
    out.append(rect(128, 66, 132, 212, MARGIN))
    out.append(rect(168, 66, 171, 212, RULE))
    out += [RoundRect(50, c - 6, 76, c + 6, 6, BAND) for c in (56, 128, 200)]
    return out


def render(size):
    """Returns size*size RGBA pixels (floats, premultiplied) of the icon."""
    scale = 256.0 / size
    grid = 8 if size <= 32 else 4  # samples per pixel side
    offsets = [(i + 0.5) / grid for i in range(grid)]
    pixels = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]
    for shape in shapes(size):
        x0, y0, x1, y1 = shape.box
        px0, py0 = max(int(x0 / scale), 0), max(int(y0 / scale), 0)
        px1, py1 = min(int(x1 / scale) + 1, size), min(int(y1 / scale) + 1, size)
        color = [c / 255.0 for c in shape.color]
        for py in range(py0, py1):
            for px in range(px0, px1):
                # Convex shapes: all four pixel corners inside means full cover.
                corners = (
                    (px * scale, py * scale),
                    ((px + 1) * scale, py * scale),
                    (px * scale, (py + 1) * scale),
                    ((px + 1) * scale, (py + 1) * scale),
                )
                if all(shape.contains(x, y) for x, y in corners):
                    cover = 1.0
                else:
                    hits = sum(
                        shape.contains((px + ox) * scale, (py + oy) * scale)
                        for oy in offsets
                        for ox in offsets
                    )
                    cover = hits / (grid * grid)
                if cover == 0:
                    continue
                p = pixels[py * size + px]
                keep = 1.0 - cover
                p[0] = color[0] * cover + p[0] * keep
                p[1] = color[1] * cover + p[1] * keep
                p[2] = color[2] * cover + p[2] * keep
                p[3] = cover + p[3] * keep
    return pixels


def png_bytes(width, height, rgba_rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + row for row in rgba_rows)  # filter type 0 on every row
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def to_rows(pixels, size):
    rows = []
    for y in range(size):
        row = bytearray()
        for r, g, b, a in pixels[y * size : (y + 1) * size]:
            if a <= 0:
                row += b"\x00\x00\x00\x00"
                continue
            # PNG wants straight alpha.
            row += bytes(
                (
                    min(255, round(r / a * 255)),
                    min(255, round(g / a * 255)),
                    min(255, round(b / a * 255)),
                    min(255, round(a * 255)),
                )
            )
        rows.append(bytes(row))
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.normpath(os.path.join(here, "..", "resources", "icons"))
    folder = sys.argv[1] if len(sys.argv) > 1 else default
    os.makedirs(folder, exist_ok=True)
    for size in SIZES:
        path = os.path.join(folder, "ledgerloom-%d.png" % size)
        with open(path, "wb") as f:
            f.write(png_bytes(size, size, to_rows(render(size), size)))
        print(path)


if __name__ == "__main__":
    main()
