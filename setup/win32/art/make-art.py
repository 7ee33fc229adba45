#!/usr/bin/env python3
"""Draws setup's own pictures: the INTRO bitmap (640 x 480, 8 bits per pixel, its own palette,
run-length encoded as BI_RLE8) and the two icons (setup and logo). Run it from anywhere; it writes
beside itself. The output is committed, so the build needs no Python; rerun after changing the
drawing. The picture is drawn in flat bands so that it compresses: Setup.exe is read from a
floppy before anything appears."""
import importlib.util
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The splash's encoder and its check, shared rather than copied.
_spec = importlib.util.spec_from_file_location(
    "make_splash", os.path.join(HERE, "..", "..", "..", "startup", "art", "make-splash.py"))
_splash = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_splash)

# 5 x 7 capitals for the title, one string per row.
GLYPHS = {
    "B": ["1111.", "1...1", "1...1", "1111.", "1...1", "1...1", "1111."],
    "R": ["1111.", "1...1", "1...1", "1111.", "1.1..", "1..1.", "1...1"],
    "I": ["111", ".1.", ".1.", ".1.", ".1.", ".1.", "111"],
    "N": ["1...1", "11..1", "1.1.1", "1..11", "1...1", "1...1", "1...1"],
    "D": ["111..", "1..1.", "1...1", "1...1", "1...1", "1..1.", "111.."],
    "L": ["1....", "1....", "1....", "1....", "1....", "1....", "11111"],
    "E": ["11111", "1....", "1....", "1111.", "1....", "1....", "11111"],
    "W": ["1...1", "1...1", "1...1", "1.1.1", "1.1.1", "11.11", "1...1"],
    "O": [".111.", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."],
    "F": ["11111", "1....", "1....", "1111.", "1....", "1....", "1...."],
    "S": [".1111", "1....", "1....", ".111.", "....1", "....1", "1111."],
    "9": [".111.", "1...1", "1...1", ".1111", "....1", "...1.", ".11.."],
    "5": ["11111", "1....", "1111.", "....1", "....1", "1...1", ".111."],
    " ": ["...", "...", "...", "...", "...", "...", "..."],
}


def palette():
    """0..191: a warm wood ramp; 192..239: a blue-grey ramp; 240..255: fixed colours."""
    pal = []
    for i in range(192):
        t = i / 191
        pal.append((int(60 + 170 * t), int(30 + 120 * t), int(10 + 60 * t)))
    for i in range(48):
        t = i / 47
        pal.append((int(20 + 60 * t), int(40 + 80 * t), int(80 + 120 * t)))
    fixed = [(0, 0, 0), (255, 255, 255), (255, 240, 200), (128, 0, 0), (0, 64, 128), (192, 192, 192)]
    pal += fixed + [(0, 0, 0)] * (16 - len(fixed))
    return pal


def draw_text(pix, w, text, x0, y0, scale, colour):
    x = x0
    for ch in text:
        g = GLYPHS[ch]
        for gy, row in enumerate(g):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            pix[(y0 + gy * scale + dy) * w + x + gx * scale + dx] = colour
        x += (len(g[0]) + 1) * scale


def intro():
    w, h = 640, 480
    pix = bytearray(w * h)
    for y in range(h):
        for x in range(w):
            # Brindled grain: rings around a knot, bent by a slow wave, in eight flat shades.
            dx, dy = x - 470, (y - 330) * 1.8
            r = math.hypot(dx, dy) + 14 * math.sin(x / 37.0) + 6 * math.sin(y / 23.0)
            v = 0.5 + 0.5 * math.sin(r / 9.0)
            pix[y * w + x] = 40 + 18 * min(7, int(8 * v))
    # A blue band for the title.
    for y in range(60, 200):
        for x in range(40, 600):
            pix[y * w + x] = 192 + min(47, (y - 60) // 3)
    draw_text(pix, w, "BRINDLEWOOD", 70, 80, 8, 241)
    draw_text(pix, w, "FOR WINDOWS 95", 190, 160, 4, 242)
    return w, h, pix


def bmp(w, h, pix, pal):
    rows = [bytes(pix[y * w:(y + 1) * w]) for y in range(h - 1, -1, -1)]
    bits = _splash.rle8(rows)
    assert _splash.unrle8(bits, w, h) == rows, "the encoding must give the picture back"
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 1, len(bits), 2835, 2835, 256, 256)
    table = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in pal)
    offset = 14 + len(header) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(bits), 0, 0, offset) + header + table + bits


def icon(draw):
    """A 32 x 32 icon with 16 colours; draw(x, y) gives a colour index or None (transparent)."""
    colours = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
               (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
               (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    xor = bytearray()
    mask = bytearray()
    for y in range(31, -1, -1):
        row = [draw(x, y) for x in range(32)]
        for x in range(0, 32, 2):
            a, b = (row[x] or 0), (row[x + 1] or 0)
            xor.append((a << 4) | b)
        bits = 0
        for x in range(32):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += bits.to_bytes(4, "big")
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    table = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in colours)
    image = header + table + bytes(xor) + bytes(mask)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 22) + image


def setup_icon(x, y):
    # A floppy disk: dark body, grey shutter, white label.
    if 3 <= x <= 28 and 3 <= y <= 28:
        if 10 <= x <= 21 and 3 <= y <= 11:
            return 7 if not (16 <= x <= 18 and 5 <= y <= 9) else 0
        if 7 <= x <= 24 and 16 <= y <= 28:
            return 15 if y != 20 and y != 24 else 4
        return 4
    return None


def logo_icon(x, y):
    # A ringed log end.
    r = math.hypot(x - 15.5, y - 15.5)
    if r > 15:
        return None
    return 1 if r > 13 else (3 if int(r) % 3 == 0 else 11)


def main():
    w, h, pix = intro()
    with open(os.path.join(HERE, "intro.bmp"), "wb") as f:
        f.write(bmp(w, h, pix, palette()))
    with open(os.path.join(HERE, "setup.ico"), "wb") as f:
        f.write(icon(setup_icon))
    with open(os.path.join(HERE, "logo.ico"), "wb") as f:
        f.write(icon(logo_icon))


if __name__ == "__main__":
    main()
