#!/usr/bin/env python3
"""Writes res/npserver.ico: one 32 x 32 image in 16 colours (4 bits a pixel).

The picture is a lit lamp: a yellow bulb with a gray screw base and short
rays, on a transparent background. Run it again after changing the picture:
    python3 res/make_icon.py res/npserver.ico
"""
import struct
import sys

SIZE = 32

# The 16-colour palette, as (blue, green, red); index 0 stays transparent
# through the AND mask.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x00, 0x00, 0x80),  # 1 dark red
    (0x00, 0x80, 0x00),  # 2 dark green
    (0x00, 0x80, 0x80),  # 3 olive
    (0x80, 0x00, 0x00),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x80, 0x80, 0x00),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 gray
    (0x00, 0x00, 0xFF),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 green
    (0x00, 0xFF, 0xFF),  # 11 yellow
    (0xFF, 0x00, 0x00),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 magenta
    (0xFF, 0xFF, 0x00),  # 14 cyan
    (0xFF, 0xFF, 0xFF),  # 15 white
]
TRANSPARENT, OLIVE, SILVER, GRAY, YELLOW, WHITE, BLACK = 0, 3, 7, 8, 11, 15, 0


def draw():
    """Returns rows top to bottom: (colour index, opaque) per pixel."""
    pixels = [[None] * SIZE for _ in range(SIZE)]

    def put(x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            pixels[y][x] = colour

    # The bulb: a disc centred at (15.5, 12.5), radius 9, olive rim, a white
    # highlight at the upper left.
    cx, cy, r = 15.5, 12.5, 9.0
    for y in range(SIZE):
        for x in range(SIZE):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if d2 <= r * r:
                put(x, y, OLIVE if d2 > (r - 1.2) ** 2 else YELLOW)
    for x, y in [(11, 8), (12, 8), (10, 9), (11, 9), (10, 10)]:
        put(x, y, WHITE)

    # The neck and the screw base: gray with silver threads, under the bulb.
    for y in range(21, 29):
        for x in range(12, 20):
            put(x, y, SILVER if y % 2 == 0 else GRAY)
    for x in range(14, 18):
        put(x, 29, BLACK)
        put(x, 30, BLACK)

    # Rays: short yellow strokes around the bulb.
    for i in range(3):
        put(15, i, YELLOW)
        put(16, i, YELLOW)
        put(i, 12, YELLOW)
        put(i, 13, YELLOW)
        put(SIZE - 1 - i, 12, YELLOW)
        put(SIZE - 1 - i, 13, YELLOW)
        put(3 + i, 3 + i, YELLOW)
        put(SIZE - 4 - i, 3 + i, YELLOW)
        put(3 + i, 22 - i, YELLOW)
        put(SIZE - 4 - i, 22 - i, YELLOW)
    return pixels


def icon_bytes(pixels):
    # BITMAPINFOHEADER: height counts the colour image and the AND mask.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for b, g, r in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # Bottom-up, as bitmaps are stored.
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else TRANSPARENT
            lo = row[x + 1] if row[x + 1] is not None else TRANSPARENT
            xor.append((hi << 4) | lo)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)  # 1: transparent.
        mask += struct.pack(">I", bits)  # 32 pixels: one DWORD-aligned row.
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)  # Reserved, type icon, one image.
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "npserver.ico"
    with open(out, "wb") as f:
        f.write(icon_bytes(draw()))
