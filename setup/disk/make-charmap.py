#!/usr/bin/env python3
"""Writes the default CHARMAP.MAC: 128 lines "The Mac <code> is mapped To <value>" with CR LF,
one per extended Macintosh character, from the default character map. usage: make-charmap.py OUT"""
import sys

DEFAULT = """
C4 C5 C7 C9 D1 D6 DC E1 E0 E2 E4 E3 E5 E7 E9 E8
EA EB ED EC EE EF F1 F3 F2 F4 F6 F5 FA F9 FB FC
01 B0 A2 A3 A7 01 B6 DF AE A9 01 B4 A8 01 C6 D8
01 B1 01 01 A5 B5 F0 01 01 01 01 AA BA 01 E6 F8
BF A1 AC 01 01 01 01 AB BB 01 A0 C0 C3 D5 01 01
AD 01 01 01 91 92 F7 01 FF 01 93 A4 94 01 01 96
97 B7 98 99 9A C2 CA C1 CB C8 CD CE CF CC D3 D4
9B D2 DA DB D9 9C 9D 9E AF D0 BC BE B8 01 01 A6
"""

values = [int(v, 16) for v in DEFAULT.split()]
assert len(values) == 128
with open(sys.argv[1], "wb") as f:
    for k, v in enumerate(values):
        f.write(b"The Mac %d is mapped To %d\r\n" % (128 + k, v))
