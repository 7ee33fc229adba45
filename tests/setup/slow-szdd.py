#!/usr/bin/env python3
"""Writes an SZDD file that expands to FILE followed by MEGABYTES of zeros, quickly (the zeros
are back-references). Test fixture: it makes one row of the copy take long enough to be seen.
usage: slow-szdd.py FILE MEGABYTES OUT MISSING_CHAR"""
import struct
import sys

data = open(sys.argv[1], "rb").read()
zeros = int(sys.argv[2]) * 1024 * 1024
out = open(sys.argv[3], "wb")
out.write(b"SZDD\x88\xf0\x27\x33A" + sys.argv[4].encode()[:1] + struct.pack("<I", len(data) + zeros))

body = bytearray()
items = []  # ("L", byte) or ("R", pos, length)
for b in data + bytes(18):
    items.append(b)
start = (4096 - 16 + len(data)) % 4096  # window position of the first literal zero
ref = bytes([start & 0xFF, ((start >> 4) & 0xF0) | (18 - 3)])
left = zeros - 18
# Literals first, eight items to a flag byte (bit set = literal).
i = 0
while i < len(items):
    chunk = items[i:i + 8]
    flags = (1 << len(chunk)) - 1
    pending_refs = 0
    if len(chunk) < 8:
        pending_refs = min(8 - len(chunk), left // 18)
    body.append(flags)
    body += bytes(chunk)
    body += ref * pending_refs
    left -= 18 * pending_refs
    i += 8
# Then whole groups of eight references.
groups, rest = divmod(left // 18, 8)
body += (b"\x00" + ref * 8) * groups
tail = left - (groups * 8 + rest) * 18
# The last group: the remaining references and a shorter one (or literal zeros) for the tail.
last = bytearray(ref * rest)
flags = 0
count = rest
if tail >= 3:
    last += bytes([start & 0xFF, ((start >> 4) & 0xF0) | (tail - 3)])
    count += 1
else:
    for _ in range(tail):
        flags |= 1 << count
        last.append(0)
        count += 1
if count:
    body += bytes([flags]) + last
out.write(body)
