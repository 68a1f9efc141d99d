#!/usr/bin/env python3
"""Draws the program's icon (ui/win32/fenwright.ico): a dark blue tile with a white "F" and a
red rising price line, at 32x32 and 16x16, 32-bit colour with an AND mask. The icon is drawn here
pixel by pixel, so the repository holds no image it did not make.

    tools/make_icon.py [output]      (default: ui/win32/fenwright.ico beside this script's repo)
"""
import os
import struct
import sys

BLUE = (0x1F, 0x3A, 0x6E)
WHITE = (0xFF, 0xFF, 0xFF)
RED = (0xF0, 0x00, 0x00)


def draw(size):
    """Rows top to bottom of (r, g, b, a) pixels."""
    s = size / 32.0
    px = [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour + (0xFF,)

    # The tile, its corners cut by one step.
    fill(1, 1, 31, 31, BLUE)
    for (x, y) in ((1, 1), (30, 1), (1, 30), (30, 30)):
        fill(x, y, x + 1, y + 1, (0, 0, 0))
        px[int(y * s)][int(x * s)] = (0, 0, 0, 0)
    # The "F".
    fill(6, 5, 10, 27, WHITE)
    fill(6, 5, 20, 9, WHITE)
    fill(6, 14, 17, 18, WHITE)
    # The price line, rising to the right.
    points = [(12, 26), (17, 21), (21, 24), (27, 12)]
    for (xa, ya), (xb, yb) in zip(points, points[1:]):
        steps = 4 * max(abs(xb - xa), abs(yb - ya))
        for i in range(steps + 1):
            x = xa + (xb - xa) * i / steps
            y = ya + (yb - ya) * i / steps
            fill(x - 1, y - 1, x + 1, y + 1, RED)
    return px


def image(size):
    rows = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colour + mask


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'ui', 'win32', 'fenwright.ico')
    images = [image(32), image(16)]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, body in zip((32, 16), images):
        data += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
    data += b''.join(images)
    with open(out, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
