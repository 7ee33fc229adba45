#!/usr/bin/env python3
"""Cuts a rendered character out of a PBM picture and writes it as a monochrome BMP glyph.

usage: pbm-to-glyph.py PICTURE.pbm BASELINE WIDTH HEIGHT OUT.bmp

The ink is placed so that the character starts 6 pixels in from the left (where a character of
the grid's text starts relative to a glyph) and its baseline lies on row 12 (where the grid's
text baseline falls), moved only as far as needed to stay inside the glyph's top 15 rows, the
part the grid shows. Ink is 0 (black), the rest 1 (white): copied to a screen, the ink takes the
text colour and the rest the background colour.
"""
import struct
import sys

TEXT_LEFT = 6
BASELINE_ROW = 12
SHOWN_ROWS = 15


def read_pbm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 3:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    if fields[0] != b"P4":
        raise SystemExit(f"{path}: not a binary PBM")
    width, height = int(fields[1]), int(fields[2])
    stride = (width + 7) // 8
    rows = []
    for y in range(height):
        row = data[pos + y * stride:pos + (y + 1) * stride]
        rows.append([(row[x // 8] >> (7 - x % 8)) & 1 for x in range(width)])  # 1 = black
    return rows


def main():
    src, baseline, width, height, out = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), \
        int(sys.argv[4]), sys.argv[5]
    ink = read_pbm(src)
    points = [(x, y) for y, row in enumerate(ink) for x, v in enumerate(row) if v]
    if not points:
        raise SystemExit(f"{src}: nothing drawn")
    left = min(x for x, _ in points)
    right = max(x for x, _ in points)
    top = min(y for _, y in points)
    bottom = max(y for _, y in points)
    ink_w, ink_h = right - left + 1, bottom - top + 1
    shown = min(height, SHOWN_ROWS)
    if ink_w > width or ink_h > shown:
        raise SystemExit(f"{src}: {ink_w} x {ink_h} does not fit {width} x {shown}")
    dx = min(TEXT_LEFT, width - ink_w)
    dy = BASELINE_ROW - (baseline - top)
    dy = max(0, min(dy, shown - ink_h))
    glyph = [[0] * width for _ in range(height)]
    for x, y in points:
        glyph[y - top + dy][x - left + dx] = 1

    stride = ((width + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(glyph):  # bottom-up
        line = bytearray(stride)
        for x, v in enumerate(row):
            if not v:  # white background: palette entry 1
                line[x // 8] |= 0x80 >> (x % 8)
        pixels += line
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 1, 0, len(pixels), 2835, 2835, 2, 2)
    with open(out, "wb") as f:
        f.write(header + info + palette + pixels)


if __name__ == "__main__":
    main()
