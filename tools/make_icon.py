#!/usr/bin/env python3
"""Draws the program icon (32x32, 16 colours): a red map pin over a street map.

Writes res/quorvel.ico (one 4-bit image with its transparency mask) and res/quorvel.png (the same
pixels, palette PNG, index 0 transparent). Standard library only; the output is deterministic.
With --web, writes instead the web page's app icons into the folder: the same pixels enlarged to
icon-192.png and icon-512.png, and icon-maskable-512.png, the icon on an opaque field that a
launcher may cut to any shape (the pin inside the middle 80 %).
Usage: tools/make_icon.py [output folder, default res/ beside this script's folder]
       tools/make_icon.py --web FOLDER
"""
import math
import os
import struct
import sys
import zlib

SIZE = 32
PALETTE = [
    (0, 0, 0),        # 0 transparent (black under the mask, as icons require)
    (32, 40, 72),     # 1 outline
    (200, 40, 40),    # 2 pin
    (255, 255, 255),  # 3 pin eye
    (150, 24, 24),    # 4 pin shade
    (120, 184, 216),  # 5 map water-blue
    (228, 236, 220),  # 6 map land
    (250, 214, 80),   # 7 main road
    (255, 255, 255),  # 8 street
    (96, 160, 96),    # 9 park
    (80, 80, 80),     # 10 pin shadow
    (190, 200, 190),  # 11 land border
    (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0),
]


def inside_rounded(x, y, lo, hi, r):
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def draw():
    px = [[0] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            fx, fy = x + 0.5, y + 0.5
            if not inside_rounded(fx, fy, 1, 31, 5):
                continue
            if not inside_rounded(fx, fy, 2, 30, 4):
                px[y][x] = 1
                continue
            c = 6
            if fx + fy > 44:                      # a bay in the lower right
                c = 5
            elif 4 <= x <= 9 and 18 <= y <= 25:  # a park
                c = 9
            if c == 6 and (x % 8 == 3 or y % 8 == 5):
                c = 8
            if c != 5 and abs((fx - fy) - 4) < 1.6:  # the main road
                c = 7
            px[y][x] = c
    # Shadow of the pin's tip on the map.
    for y in range(26, 30):
        for x in range(11, 22):
            if ((x + 0.5 - 16.5) / 5.0) ** 2 + ((y + 0.5 - 28) / 1.5) ** 2 <= 1 and px[y][x] not in (0, 1):
                px[y][x] = 10
    # The pin: a circle above a point, outlined.
    cx, cy, r = 16.0, 11.5, 7.5
    tip = (16.0, 28.5)

    def in_pin(fx, fy, grow=0.0):
        if (fx - cx) ** 2 + (fy - cy) ** 2 <= (r + grow) ** 2:
            return True
        if cy <= fy <= tip[1] + grow:
            half = (r + grow) * (tip[1] - fy) / (tip[1] - cy) * 0.78
            return abs(fx - cx) <= half
        return False

    for y in range(SIZE):
        for x in range(SIZE):
            fx, fy = x + 0.5, y + 0.5
            if in_pin(fx, fy):
                c = 2
                if fx > cx + 2 and (fx - cx) ** 2 + (fy - cy) ** 2 > (r - 2.5) ** 2:
                    c = 4
                if (fx - cx) ** 2 + (fy - cy) ** 2 <= 3.2 ** 2:
                    c = 3
                px[y][x] = c
            elif in_pin(fx, fy, 1.1):
                px[y][x] = 1
    return px


def ico_bytes(px):
    xor_rows = []
    and_rows = []
    for y in range(SIZE - 1, -1, -1):  # bottom-up
        row = px[y]
        xor_rows.append(bytes((row[x] << 4) | row[x + 1] for x in range(0, SIZE, 2)))
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] == 0 else 0)
        and_rows.append(struct.pack(">I", bits))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 22)
    return directory + image


def png_bytes(px):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes((row[x] << 4) | row[x + 1] for x in range(0, SIZE, 2)) for row in px)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 4, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
            + chunk(b"tRNS", b"\x00")
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def scaled_png(px, scale, canvas, field):
    """px enlarged scale times (each pixel a square) in the middle of a canvas-wide square whose
    other pixels are index field; 8-bit palette PNG."""
    offset = (canvas - SIZE * scale) // 2

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    rows = []
    for y in range(canvas):
        sy = (y - offset) // scale
        row = bytearray([field]) * canvas
        if 0 <= sy < SIZE:
            for sx in range(SIZE):
                index = px[sy][sx]
                if index or field == 0:
                    at = offset + sx * scale
                    row[at:at + scale] = bytes([index]) * scale
        rows.append(b"\x00" + bytes(row))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", canvas, canvas, 8, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
            + chunk(b"tRNS", b"\x00")
            + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
            + chunk(b"IEND", b""))


def web_icons(out):
    px = draw()
    icons = {
        "icon-192.png": scaled_png(px, 6, 192, 0),
        "icon-512.png": scaled_png(px, 16, 512, 0),
        # The rounded frame at 384 of 512 px on the map's land colour: the pin stays in the
        # maskable safe circle (radius 40 %).
        "icon-maskable-512.png": scaled_png(px, 12, 512, 6),
    }
    os.makedirs(out, exist_ok=True)
    for name, data in icons.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--web":
        web_icons(sys.argv[2])
        return
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res")
    px = draw()
    with open(os.path.join(out, "quorvel.ico"), "wb") as f:
        f.write(ico_bytes(px))
    with open(os.path.join(out, "quorvel.png"), "wb") as f:
        f.write(png_bytes(px))


if __name__ == "__main__":
    main()
