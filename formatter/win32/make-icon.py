#!/usr/bin/env python3
"""Draws Brindlewood Utility's icon (resource 135): a 3.5-inch floppy disk with a green leaf on
its label. Writes a Windows icon with a 32x32 and a 16x16 image in 16 colours.
usage: make-icon.py OUT.ico"""
import struct
import sys

# The standard 16-colour palette (index: B, G, R).
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
    (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
    (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
BLACK, DARK_GREEN, GREY, DARK_GREY, GREEN, WHITE, BLUE = 0, 2, 7, 8, 10, 15, 12
TRANSPARENT = None


def draw(size):
    s = size / 32.0
    px = [[TRANSPARENT] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour

    rect(2, 2, 30, 30, BLACK)         # outline
    rect(3, 3, 29, 29, BLUE)          # the disk's body
    rect(26, 3, 29, 6, TRANSPARENT)   # the cut corner
    rect(26, 3, 27, 6, BLACK)
    rect(26, 5, 29, 6, BLACK)
    rect(9, 3, 24, 12, GREY)          # the metal shutter
    rect(18, 4, 22, 11, DARK_GREY)    # its window
    rect(7, 16, 26, 29, WHITE)        # the label
    rect(7, 16, 26, 17, DARK_GREY)
    # A leaf on the label.
    for y in range(18, 28):
        half = 5 - abs(y - 22.5) * 0.9
        for x in range(7, 26):
            if abs(x + 0.5 - 16.5) <= half:
                rect(x, y, x + 1, y + 1, GREEN)
    rect(16, 19, 17, 28, DARK_GREEN)  # its vein
    return px


def image(size):
    px = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up rows
        row = px[y]
        bits = bytearray()
        for x in range(0, size, 2):
            hi = row[x] or 0
            lo = row[x + 1] or 0
            bits.append((hi << 4) | lo)
        while len(bits) % 4:
            bits.append(0)
        xor += bits
        m = bytearray((size + 7) // 8)
        for x in range(size):
            if row[x] is TRANSPARENT:
                m[x // 8] |= 0x80 >> (x % 8)
        while len(m) % 4:
            m.append(0)
        mask += m
    return header + palette + bytes(xor) + bytes(mask)


def main():
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
