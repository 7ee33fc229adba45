#!/usr/bin/env python3
"""Draws the splash picture of startup and writes it as splash.bmp.

552 x 292 pixels, 8 bits per pixel with a colour table, run-length encoded (BI_RLE8) so that the
program stays small. The owner and company are drawn by the program at (305, 135) and (305, 165)
on the light panel at the right.

ImageMagick draws the picture (shapes and DejaVu text); this script then reduces it to an indexed
picture and encodes it. Run it from anywhere: python3 startup/art/make-splash.py
"""
import os
import struct
import subprocess
import sys
import tempfile

W, H = 552, 292
HERE = os.path.dirname(os.path.abspath(__file__))
SERIF_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"
SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def draw(path):
    # Background: a vertical wash (each row one colour, cheap to encode), a brindled stripe of
    # wood tones across the bottom, a floppy disk at the left, the name and the owner panel.
    stripes = []
    for i, colour in enumerate(["#6b4a2b", "#7d5a36", "#5c3e22", "#8a6640", "#6b4a2b"]):
        y = 250 + i * 9
        stripes += ["-fill", colour, "-draw", f"rectangle 0,{y} {W},{y + 8}"]
    disk = [
        # body, shutter, hub window, label
        "-fill", "#30343c", "-draw", "roundrectangle 34,92 164,222 6,6",
        "-fill", "#b9bec6", "-draw", "rectangle 62,92 136,136",
        "-fill", "#30343c", "-draw", "rectangle 112,100 128,128",
        "-fill", "#f4ecd8", "-draw", "rectangle 50,152 148,222",
        "-fill", "#30343c", "-draw", "rectangle 40,206 48,214",
        "-fill", "#7d5a36", "-draw", "rectangle 58,166 140,170",
        "-fill", "#7d5a36", "-draw", "rectangle 58,180 140,184",
        "-fill", "#7d5a36", "-draw", "rectangle 58,194 120,198",
    ]
    panel = [
        "-fill", "#f4ecd8", "-draw", "roundrectangle 292,112 549,188 8,8",
        "-fill", "#c9b48a", "-draw", "rectangle 300,154 541,155",
        "-fill", "#5c3e22", "-font", SANS, "-pointsize", "11",
        "-annotate", "+300+128", "Licensed to:",
    ]
    text = [
        "-fill", "#f4ecd8", "-font", SERIF_BOLD, "-pointsize", "46",
        "-annotate", "+190+70", "Brindlewood",
        "-font", SANS_BOLD, "-pointsize", "17", "-fill", "#e0c58f",
        "-annotate", "+194+98", "for Windows 95",
        "-font", SANS, "-pointsize", "11", "-fill", "#cfd8dc",
        "-annotate", "+194+232", "Macintosh disks on your PC  -  Version 1.0",
        "-annotate", "+34+40", "Oakhurst",
    ]
    cmd = ["convert", "-size", f"{W}x{H}", "gradient:#0f2a3f-#2f6b6b"]
    cmd += stripes + disk + panel + text
    cmd += ["-dither", "None", "-colors", "200", "-type", "Palette", "-compress", "None",
            f"BMP3:{path}"]
    subprocess.run(cmd, check=True)


def read_bmp8(path):
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    size, width, height, planes, bits, comp, _, _, _, used, _ = struct.unpack_from(
        "<IiiHHIIiiII", data, 14)
    assert (width, height, bits, comp) == (W, H, 8, 0), (width, height, bits, comp)
    colours = used or 256
    table = data[14 + size:14 + size + 4 * colours]
    stride = (width + 3) & ~3
    rows = [data[offset + r * stride:offset + r * stride + width] for r in range(height)]
    return table, rows  # rows bottom-up, as stored


def rle8(rows):
    out = bytearray()
    for row in rows:
        i = 0
        n = len(row)
        while i < n:
            run = 1
            while i + run < n and run < 255 and row[i + run] == row[i]:
                run += 1
            if run >= 2:
                out += bytes([run, row[i]])
                i += run
                continue
            # A stretch of single pixels: absolute mode (3..255 bytes, padded to a word).
            j = i
            while j < n and j - i < 255 and (j + 1 >= n or row[j + 1] != row[j]):
                j += 1
            count = j - i
            if count >= 3:
                out += bytes([0, count]) + row[i:j]
                if count & 1:
                    out.append(0)
                i = j
            else:
                out += bytes([1, row[i]])
                i += 1
        out += b"\x00\x00"  # end of line
    out[-2:] = b"\x00\x01"  # end of bitmap replaces the last end of line
    return bytes(out)


def unrle8(data, width, height):
    rows, row, i = [], bytearray(), 0
    while i < len(data):
        a, b = data[i], data[i + 1]
        i += 2
        if a:
            row += bytes([b]) * a
        elif b == 0 or b == 1:
            rows.append(bytes(row))
            row = bytearray()
            if b == 1:
                break
        elif b == 2:
            raise ValueError("delta not used")
        else:
            row += data[i:i + b]
            i += b + (b & 1)
    return rows


def main():
    with tempfile.TemporaryDirectory() as tmp:
        plain = os.path.join(tmp, "plain.bmp")
        draw(plain)
        table, rows = read_bmp8(plain)
    bits = rle8(rows)
    assert unrle8(bits, W, H) == rows, "the encoding must give the picture back"
    colours = len(table) // 4
    header = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 1, len(bits), 2835, 2835, colours, 0)
    offset = 14 + len(header) + len(table)
    filehdr = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    out = os.path.join(HERE, "splash.bmp")
    with open(out, "wb") as f:
        f.write(filehdr + header + table + bits)
    print(f"{out}: {W}x{H}, {colours} colours, {offset + len(bits)} bytes")


if __name__ == "__main__":
    sys.exit(main())
