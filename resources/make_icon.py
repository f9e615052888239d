#!/usr/bin/env python3
"""Writes hailwatch.ico: a white "H" on a blue disc, 16x16 and 32x32, 32-bit.

Run it from this folder when the icon is to change; the .ico is kept in the
repository so that builds need no Python.
"""
import struct

BLUE = (0x9C, 0x4A, 0x1E, 0xFF)   # BGRA
WHITE = (0xFF, 0xFF, 0xFF, 0xFF)
CLEAR = (0, 0, 0, 0)


def pixel(size, x, y):
    centre = (size - 1) / 2.0
    if (x - centre) ** 2 + (y - centre) ** 2 > (size / 2.0) ** 2:
        return CLEAR
    unit = size / 16.0
    left, right = 4 * unit <= x < 6 * unit, 10 * unit <= x < 12 * unit
    bar = 7 * unit <= y < 9 * unit and 4 * unit <= x < 12 * unit
    upright = (left or right) and 3 * unit <= y < 13 * unit
    return WHITE if upright or bar else BLUE


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):          # bitmaps are stored bottom-up
        rows.append(b"".join(bytes(pixel(size, x, y)) for x in range(size)))
    mask_row = b"\0" * (((size + 31) // 32) * 4)  # alpha decides; mask all drawn
    return header + b"".join(rows) + mask_row * size


def main():
    sizes = (16, 32)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open("hailwatch.ico", "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
