#!/usr/bin/env python3
"""Draws the application icon of KESTOV-A (a recorder with an arrow leaving it for this PC)
at 16, 32 and 48 pixels and writes it as a Windows icon file.

Usage: draw_icon.py OUTPUT.ico

The shapes are described once on a 48 x 48 grid and sampled 4 x 4 times per pixel at each
size. Every pixel is either opaque (at least half covered) or fully transparent, so the
icon looks the same with the alpha channel (Windows XP) and with the mask alone (Windows
2000). Each size is stored as a 32-bit image with its 1-bit mask."""
import struct
import sys

GRID = 48.0
SUBSAMPLES = 4

BODY = (0x3a, 0x40, 0x4c)
BODY_TOP = (0x6c, 0x75, 0x86)
SLOT = (0x14, 0x16, 0x1a)
DISPLAY = (0x2f, 0xd6, 0xb8)
LAMP = (0xff, 0x4a, 0x3a)
FOOT = (0x22, 0x25, 0x2b)
ARROW_EDGE = (0xa8, 0x4e, 0x00)
ARROW = (0xff, 0x9a, 0x1e)


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def arrow(inset):
    """A right-pointing arrow: shaft from x 5 to 28 (y 9..19), head from x 26 to its tip
    at (45, 14) with its back edge from y 2 to 26; `inset` shrinks it on every side."""
    def inside(x, y):
        in_shaft = 5 + inset <= x < 28 and 9 + inset <= y < 19 - inset
        # Head: right of its back edge and within the two slanted edges towards the tip.
        half = 12.0 - inset * 1.6
        tip = 45.0 - inset * 1.8
        back = 26.0 + inset
        if back <= x < tip:
            reach = half * (tip - x) / (tip - back)
            in_head = abs(y - 14.0) <= reach
        else:
            in_head = False
        return in_shaft or in_head
    return inside


# Painted in order: later shapes cover earlier ones.
SHAPES = [
    (rect(8, 41, 14, 45), FOOT),
    (rect(34, 41, 40, 45), FOOT),
    (rounded_rect(2, 26, 46, 43, 3), BODY),
    (rect(4, 27, 44, 29), BODY_TOP),
    (rect(6, 33, 26, 36), SLOT),
    (rect(29, 31, 41, 38), DISPLAY),
    (rect(42, 32, 44, 35), LAMP),
    (arrow(0.0), ARROW_EDGE),
    (arrow(1.6), ARROW),
]


def render(size):
    """Rows top to bottom of (r, g, b, opaque) tuples."""
    rows = []
    scale = GRID / size
    for py in range(size):
        row = []
        for px in range(size):
            covered = 0
            total = [0, 0, 0]
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    x = (px + (sx + 0.5) / SUBSAMPLES) * scale
                    y = (py + (sy + 0.5) / SUBSAMPLES) * scale
                    colour = None
                    for inside, shape_colour in SHAPES:
                        if inside(x, y):
                            colour = shape_colour
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered * 2 >= SUBSAMPLES * SUBSAMPLES:
                row.append(tuple(round(c / covered) for c in total) + (True,))
            else:
                row.append((0, 0, 0, False))
        rows.append(row)
    return rows


def icon_image(size):
    """BITMAPINFOHEADER, 32-bit BGRA pixels and the AND mask, both bottom-up."""
    rows = render(size)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, opaque) in enumerate(row):
            pixels += bytes((b, g, r, 255 if opaque else 0))
            if not opaque:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def write_icon(path, sizes=(16, 32, 48)):
    images = [icon_image(size) for size in sizes]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as out:
        out.write(directory)
        for image in images:
            out.write(image)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    write_icon(sys.argv[1])
