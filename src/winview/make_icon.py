#!/usr/bin/env python3
"""Draws r7kprog.ico (16, 32, 48 and 256 pixels): the knitted swatch of the Qt view's
AppIconImage (src/gui/qt_view.cc) -- rows of stitches in two colours on a rounded blue card.
Run it when the picture changes: python3 make_icon.py r7kprog.ico"""
import struct, sys, zlib

def inside_rounded(x, y, s):
    l, t, r, b, rad = 2 * s, 2 * s, 30 * s, 30 * s, 5 * s
    if not (l <= x <= r and t <= y <= b):
        return False
    cx = min(max(x, l + rad), r - rad)
    cy = min(max(y, t + rad), b - rad)
    return (x - cx) ** 2 + (y - cy) ** 2 <= rad * rad

def inside_poly(x, y, pts):
    n, c = len(pts), False
    for i in range(n):
        (x1, y1), (x2, y2) = pts[i], pts[(i + 1) % n]
        if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
            c = not c
    return c

def colour(x, y, s):
    if not inside_rounded(x, y, s):
        return None
    edge = 1.5 * s
    if not inside_rounded(x - edge if x > 16 * s else x + edge, y - edge if y > 16 * s else y + edge, s):
        return (40, 60, 110)
    for row in range(4):
        for col in range(4):
            px, py = (6 + col * 5.2) * s, (6 + row * 5.2) * s
            v = [(px, py), (px + 2.3 * s, py + 4.6 * s), (px + 4.6 * s, py), (px + 2.3 * s, py + 2 * s)]
            if inside_poly(x, y, v):
                return (250, 240, 200) if (row + col) % 2 == 0 else (220, 70, 60)
    return (70, 110, 190)

def image(size):
    s, n = size / 32.0, 4  # 4 x 4 samples a pixel
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc, hits = [0, 0, 0], 0
            for sy in range(n):
                for sx in range(n):
                    c = colour(x + (sx + 0.5) / n, y + (sy + 0.5) / n, s)
                    if c:
                        hits += 1
                        acc = [a + v for a, v in zip(acc, c)]
            a = hits * 255 // (n * n)
            row.append((acc[0] // hits, acc[1] // hits, acc[2] // hits, a) if hits else (0, 0, 0, 0))
        rows.append(row)
    return rows

def png(size, rows):
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)
    chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

def bmp(size, rows):  # 32-bit with alpha, bottom row first, and its AND mask
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + b"\0" * (mask_row * size)

sizes = [16, 32, 48, 256]
images = [(png if s == 256 else bmp)(s, image(s)) for s in sizes]
out = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for s, data in zip(sizes, images):
    out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
open(sys.argv[1] if len(sys.argv) > 1 else "r7kprog.ico", "wb").write(out + b"".join(images))
