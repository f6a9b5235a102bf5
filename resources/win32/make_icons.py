#!/usr/bin/env python3
"""Draws the setup's two icons and writes them as .ico files (32-bit BGRA
with an AND mask, 16x16 and 32x32 images each):

  app.ico     icon 128, the application icon: a sheet of paper with a
              folded corner and a red bookmark ribbon
  browse.ico  icon 180, the browse button's image: an open yellow folder

Run it again only to change the pictures; the .ico files are checked in."""
import struct
import sys


def app_pixel(x, y, n):
    s = n / 32.0
    X, Y = x / s, y / s
    if 6 <= X < 26 and 2 <= Y < 30:
        if X >= 20 and Y < 8 and (X - 20) + (8 - Y) > 6:   # folded corner cut away
            return None
        if X >= 20 and Y < 8:                                # the fold
            return (200, 200, 200, 255)
        if 10 <= X < 14 and Y < 16 and not (Y > 13 and 11 <= X < 13):  # bookmark
            return (40, 40, 200, 255)
        if X < 7 or X >= 25 or Y < 3 or Y >= 29:             # outline
            return (90, 90, 90, 255)
        if 16 <= Y < 27 and int(Y) % 3 == 0 and 9 <= X < 23:  # lines of text
            return (160, 120, 80, 255)
        return (255, 255, 255, 255)
    return None


def browse_pixel(x, y, n):
    s = n / 32.0
    X, Y = x / s, y / s
    if 3 <= X < 14 and 6 <= Y < 10:                          # tab
        return (40, 170, 230, 255)
    if 3 <= X < 29 and 9 <= Y < 26:                          # body
        if X < 4 or X >= 28 or Y >= 25 or Y < 10:
            return (20, 110, 170, 255)
        return (60, 200, 250, 255)
    return None


def image(draw, n):
    rows = []
    mask_rows = []
    for y in reversed(range(n)):       # bottom-up
        row = b""
        bits = 0
        mask = bytearray()
        for x in range(n):
            p = draw(x, y, n)
            if p is None:
                row += b"\0\0\0\0"
                bits = (bits << 1) | 1
            else:
                row += bytes(p)
                bits <<= 1
            if x % 8 == 7:
                mask.append(bits)
                bits = 0
        while len(mask) % 4:
            mask.append(0)
        rows.append(row)
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def write_icon(path, draw):
    sizes = (16, 32)
    images = [image(draw, n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    write_icon(folder + "/app.ico", app_pixel)
    write_icon(folder + "/browse.ico", browse_pixel)
