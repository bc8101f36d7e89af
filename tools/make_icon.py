#!/usr/bin/env python3
"""Draws the program icon (32x32, 16 colours): a red map pin over a street map.

Writes res/quorvel.ico (one 4-bit image with its transparency mask) and res/quorvel.png (the same
pixels, palette PNG, index 0 transparent). Standard library only; the output is deterministic.
With --web, writes instead the web page's app icons into the folder: the same pixels enlarged to
icon-192.png and icon-512.png, and icon-maskable-512.png, the icon on an opaque field that a
launcher may cut to any shape (the pin inside the middle 80 %).
With --hicolor, writes the desktop's icon theme tree into the folder: NxN/apps/quorvel.png drawn
at 48, 64, 128 and 256 px (the same scene sampled at each size, not enlarged pixels) and
scalable/apps/quorvel.svg, the scene as shapes.
Usage: tools/make_icon.py [output folder, default res/ beside this script's folder]
       tools/make_icon.py --web FOLDER
       tools/make_icon.py --hicolor FOLDER
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


def draw(size=SIZE):
    """The scene, drawn in 32 units, sampled at each pixel's centre of a size-wide square."""
    unit = SIZE / size
    px = [[0] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            fx, fy = (x + 0.5) * unit, (y + 0.5) * unit
            ux, uy = int(fx), int(fy)  # the 32-unit cell, for the map's grid of streets
            if not inside_rounded(fx, fy, 1, 31, 5):
                continue
            if not inside_rounded(fx, fy, 2, 30, 4):
                px[y][x] = 1
                continue
            c = 6
            if fx + fy > 44:                      # a bay in the lower right
                c = 5
            elif 4 <= ux <= 9 and 18 <= uy <= 25:  # a park
                c = 9
            if c == 6 and (ux % 8 == 3 or uy % 8 == 5):
                c = 8
            if c != 5 and abs((fx - fy) - 4) < 1.6:  # the main road
                c = 7
            px[y][x] = c
    # Shadow of the pin's tip on the map.
    for y in range(size):
        for x in range(size):
            fx, fy = (x + 0.5) * unit, (y + 0.5) * unit
            if not (11 <= int(fx) <= 21 and 26 <= int(fy) <= 29):
                continue
            if ((fx - 16.5) / 5.0) ** 2 + ((fy - 28) / 1.5) ** 2 <= 1 and px[y][x] not in (0, 1):
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

    for y in range(size):
        for x in range(size):
            fx, fy = (x + 0.5) * unit, (y + 0.5) * unit
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

    size = len(px)
    raw = b"".join(b"\x00" + bytes((row[x] << 4) | row[x + 1] for x in range(0, size, 2)) for row in px)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0))
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


def colour(index):
    return "#%02x%02x%02x" % PALETTE[index]


def svg_text():
    """The scene of draw() as shapes in its 32 units: the same colours, edges where its pixels'
    rules put them."""
    pin_half = 7.5 * 0.78  # the point's half width where it leaves the circle
    out_half = 8.6 * 0.78
    streets = "".join('<rect x="%d" y="0" width="1" height="32"/><rect x="0" y="%d" width="32" height="1"/>' % (3 + 8 * k, 5 + 8 * k)
                      for k in range(4))
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 32 32">
<defs>
<clipPath id="map"><rect x="2" y="2" width="28" height="28" rx="4"/></clipPath>
<clipPath id="pin"><circle cx="16" cy="11.5" r="7.5"/><path d="M{16 - pin_half} 11.5H{16 + pin_half}L16 28.5Z"/></clipPath>
</defs>
<rect x="1" y="1" width="30" height="30" rx="5" fill="{colour(1)}"/>
<g clip-path="url(#map)">
<rect width="32" height="32" fill="{colour(6)}"/>
<g fill="{colour(8)}">{streets}</g>
<rect x="4" y="18" width="6" height="8" fill="{colour(9)}"/>
<path d="M4 0L36 32" stroke="{colour(7)}" stroke-width="2.263"/>
<path d="M30 14V30H14Z" fill="{colour(5)}"/>
<ellipse cx="16.5" cy="28" rx="5" ry="1.5" fill="{colour(10)}"/>
</g>
<circle cx="16" cy="11.5" r="8.6" fill="{colour(1)}"/>
<path d="M{16 - out_half:.3f} 11.5H{16 + out_half:.3f}L16 29.6Z" fill="{colour(1)}"/>
<g clip-path="url(#pin)">
<rect width="32" height="32" fill="{colour(2)}"/>
<rect x="18" width="14" height="32" fill="{colour(4)}"/>
<circle cx="16" cy="11.5" r="5" fill="{colour(2)}"/>
</g>
<circle cx="16" cy="11.5" r="3.2" fill="{colour(3)}"/>
</svg>
"""


def hicolor_icons(out):
    for size in (48, 64, 128, 256):
        folder = os.path.join(out, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "quorvel.png"), "wb") as f:
            f.write(png_bytes(draw(size)))
    folder = os.path.join(out, "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "quorvel.svg"), "w", encoding="utf-8") as f:
        f.write(svg_text())


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--web":
        web_icons(sys.argv[2])
        return
    if len(sys.argv) == 3 and sys.argv[1] == "--hicolor":
        hicolor_icons(sys.argv[2])
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
