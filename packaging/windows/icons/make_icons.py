#!/usr/bin/env python3
"""The programs' icons: hash512.ico, hash384.ico and hash256.ico, each a
rounded square in the program's colour with a white "#" and its digest
size in block digits (the digits alone at 16 and 24 pixels), at 16, 24,
32, 48, 64, 128 and 256 pixels: 32-bit bitmaps, and a PNG at 256. Only
Python's standard library; the same bytes on every run.
  make_icons.py DIR        writes the three icons into DIR
  make_icons.py --check    exits 1 when the icons beside this script are
                           not what it makes"""
import os
import struct
import sys
import zlib

SIZES = [16, 24, 32, 48, 64, 128, 256]
# Each program: its digest size and its colours, top and bottom.
PROGRAMS = {
    "hash512": ("512", (0x2F, 0x6F, 0xD0), (0x17, 0x3E, 0x8C)),
    "hash384": ("384", (0x8A, 0x4F, 0xC4), (0x52, 0x25, 0x80)),
    "hash256": ("256", (0x1C, 0xA8, 0x7C), (0x0B, 0x6B, 0x4E)),
}
# Digits on a grid of 3 by 5 cells, and the "#" on 5 by 5.
FONT = {
    "2": ["###", "..#", "###", "#..", "###"],
    "3": ["###", "..#", "###", "..#", "###"],
    "4": ["#.#", "#.#", "###", "..#", "..#"],
    "5": ["###", "#..", "###", "..#", "###"],
    "6": ["###", "#..", "###", "#.#", "###"],
    "8": ["###", "#.#", "###", "#.#", "###"],
    "1": [".#.", "##.", ".#.", ".#.", "###"],
}
HASH = [".#.#.", "#####", ".#.#.", "#####", ".#.#."]


def overlap(a0, a1, b0, b1):
    return max(0.0, min(a1, b1) - max(a0, b0))


def cells(pattern, x0, y0, cell):
    """The filled cells of a pattern as rectangles (x0, y0, x1, y1)."""
    return [(x0 + i * cell, y0 + j * cell, x0 + (i + 1) * cell, y0 + (j + 1) * cell)
            for j, row in enumerate(pattern) for i, mark in enumerate(row) if mark == "#"]


def inside_rounded(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius and left <= x <= right and top <= y <= bottom


def render(size, digits, top, bottom):
    """Rows of (r, g, b, a) pixels, top row first."""
    margin = 0 if size < 32 else size // 16
    left, right = margin, size - margin
    radius = size * 0.18
    glyphs = []
    if size < 32:
        cell = (size - 2) // 11
        x0 = (size - 11 * cell) // 2
        y0 = (size - 5 * cell) // 2
        for n, digit in enumerate(digits):
            glyphs += cells(FONT[digit], x0 + 4 * n * cell, y0, cell)
    else:
        cell = (size - 2 * margin) // 13
        y0 = (size - 11 * cell) // 2
        glyphs += cells(HASH, (size - 5 * cell) // 2, y0, cell)
        x0 = (size - 11 * cell) // 2
        for n, digit in enumerate(digits):
            glyphs += cells(FONT[digit], x0 + 4 * n * cell, y0 + 6 * cell, cell)
    rows = []
    samples = 4
    for y in range(size):
        row = []
        near = [g for g in glyphs if g[1] < y + 1 and g[3] > y]
        shade = y / (size - 1)
        colour = [round(t + (b - t) * shade) for t, b in zip(top, bottom)]
        for x in range(size):
            near_corner = ((x < left + radius or x + 1 > right - radius) and
                           (y < left + radius or y + 1 > right - radius))
            if near_corner:
                hits = sum(inside_rounded(x + (i + 0.5) / samples, y + (j + 0.5) / samples,
                                          left, left, right, right, radius)
                           for i in range(samples) for j in range(samples))
                ground = hits / (samples * samples)
            else:
                ground = overlap(x, x + 1, left, right) * overlap(y, y + 1, left, right)
            ink = min(1.0, sum(overlap(x, x + 1, g[0], g[2]) * overlap(y, y + 1, g[1], g[3])
                               for g in near))
            ink = min(ink, ground)
            rgb = [round(c + (255 - c) * ink / ground) if ground > 0 else 0 for c in colour]
            row.append((rgb[0], rgb[1], rgb[2], round(255 * ground)))
        rows.append(row)
    return rows


def bitmap(rows):
    """A 32-bit icon bitmap: its header, the colours bottom row first, and
    the mask of transparent pixels."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    stride = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colours + mask


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon(digits, top, bottom):
    images = [(size, png(render(size, digits, top, bottom)) if size == 256
               else bitmap(render(size, digits, top, bottom))) for size in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + b"".join(data for _, data in images)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    check = sys.argv[1] == "--check"
    folder = os.path.dirname(os.path.abspath(__file__)) if check else sys.argv[1]
    differ = []
    for name, (digits, top, bottom) in PROGRAMS.items():
        data = icon(digits, top, bottom)
        path = os.path.join(folder, name + ".ico")
        if check:
            with open(path, "rb") as committed:
                if committed.read() != data:
                    differ.append(path)
        else:
            with open(path, "wb") as out:
                out.write(data)
    for path in differ:
        print("not what make_icons.py makes: " + path)
    sys.exit(1 if differ else 0)


if __name__ == "__main__":
    main()
