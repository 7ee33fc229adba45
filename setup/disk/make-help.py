#!/usr/bin/env python3
"""Writes Brindlewood.hlp: a small Windows help file (the 3.1 format, uncompressed) with one topic,
its contents page, which tells what each program of Brindlewood does and where to find it.
usage: make-help.py OUT"""
import struct
import sys

TITLE = "Brindlewood for Windows 95 Help"
HEADING = "Brindlewood for Windows 95"
PARAGRAPHS = [
    "Brindlewood lets your Windows 95 computer read and write Macintosh floppy disks.",
    "To format a 1.44 MB floppy disk as an empty Macintosh disk, start Brindlewood Utility from "
    "the Start menu, choose Format... from the File menu, pick the drive, type a label of up to "
    "27 characters and choose Start. A full format formats every track first; a quick format "
    "only writes the empty Macintosh file system.",
    "Macintosh file names may use characters that Windows 95 writes differently. Choose "
    "Options... from the View menu of Brindlewood Utility to change which Windows character "
    "stands for each Macintosh character. The map is kept in the file CHARMAP.MAC in the "
    "installation directory and is handed to the Brindlewood driver at every log-on.",
    "To remove Brindlewood, use Add/Remove Programs in the Control Panel, or type \"setup /u\" "
    "at the command prompt with the setup disk in the drive.",
]


def internal_file(data):
    """An internal file: its header (reserved and used sizes, flags) and the data."""
    return struct.pack("<IIB", len(data) + 9, len(data), 4) + data


def btree(structure, entries, page_size, flags):
    """A one-page B+ tree whose leaf holds the given (already encoded) entries."""
    body = b"".join(entries)
    free = page_size - 8 - len(body)
    assert free >= 0
    header = struct.pack("<HHH16shhhhhhi", 0x293B, flags, page_size, structure.encode(),
                         0, 0, 0, -1, 1, 1, len(entries))
    page = struct.pack("<Hhhh", free, len(entries), -1, -1) + body
    return header + page + bytes(page_size - len(page))


def compressed_long(v):
    return struct.pack("<H", 0x8000 + 2 * v)


def compressed_ushort(v):
    return bytes([2 * v]) if v < 128 else struct.pack("<H", 2 * v + 1)


def topic_link(record_type, data1, data2, prev, next_):
    data_len1 = 21 + len(data1)
    block_size = data_len1 + len(data2)
    return struct.pack("<iiIIiB", block_size, len(data2), prev, next_, data_len1,
                       record_type) + data1 + data2


def topic():
    # The text record: strings of the paragraphs, each followed by one formatting command.
    strings, commands = [], []
    strings.append(b"")
    commands.append(b"\x80\x01\x00")  # heading font
    strings.append(HEADING.encode("ascii"))
    commands.append(b"\x82")  # end of paragraph
    for text in PARAGRAPHS:
        strings.append(b"")
        commands.append(b"\x80\x00\x00")  # body font
        strings.append(text.encode("ascii"))
        commands.append(b"\x82")
    strings.append(b"")
    commands.append(b"\xff")
    text = b"\x00".join(strings) + b"\x00"
    chars = len(HEADING) + sum(len(p) for p in PARAGRAPHS) + 1 + len(PARAGRAPHS)
    paragraph = struct.pack("<IH", 0, 0x0004) + bytes([0x80 + 2 * 6])  # 6 half-points after
    data1 = compressed_long(len(text)) + compressed_ushort(min(chars, 16000)) + paragraph
    data1 += b"".join(commands)
    # Positions: the block header is 12 bytes; a record's position counts from the block start.
    title = TITLE.encode("ascii") + b"\x00"
    header_pos = 12
    header_len = 21 + 28 + len(title)
    text_pos = header_pos + header_len
    topic_header = struct.pack("<iiiiIII", 0, -1, -1, 0, 0xFFFFFFFF, text_pos, 0xFFFFFFFF)
    records = topic_link(0x02, topic_header, title, 0xFFFFFFFF, text_pos)
    records += topic_link(0x20, data1, text, header_pos, 0xFFFFFFFF)
    block = struct.pack("<III", 0xFFFFFFFF, header_pos, header_pos) + records
    assert len(block) <= 4096
    return block + bytes(4096 - len(block))


def system():
    records = struct.pack("<HH", 1, len(TITLE) + 1) + TITLE.encode("ascii") + b"\x00"
    records += struct.pack("<HHI", 3, 4, 0)  # the contents topic: the first one
    return struct.pack("<HHHIH", 0x036C, 21, 1, 0, 0) + records


def fonts():
    faces = [b"Arial", b"Arial"]
    descriptors = [
        struct.pack("<BBBH3s3s", 0, 20, 3, 0, b"\x00\x00\x00", b"\xff\xff\xff"),  # body, 10 pt
        struct.pack("<BBBH3s3s", 1, 28, 3, 1, b"\x00\x00\x80", b"\xff\xff\xff"),  # heading, bold
    ]
    face_offset = 8
    descriptor_offset = face_offset + 20 * len(faces)
    header = struct.pack("<HHHH", len(faces), len(descriptors), face_offset, descriptor_offset)
    return header + b"".join(f.ljust(20, b"\x00") for f in faces) + b"".join(descriptors)


def context_hash(name):
    h = 0
    for c in name:
        x = 0
        if "A" <= c <= "Z":
            x = ord(c) - ord("A") + 17
        elif "a" <= c <= "z":
            x = ord(c) - ord("a") + 17
        elif "1" <= c <= "9":
            x = ord(c) - ord("0")
        elif c == "0":
            x = 10
        elif c == ".":
            x = 12
        elif c == "_":
            x = 13
        if x:
            h = (h * 43 + x) & 0xFFFFFFFF
    return h


def main():
    files = {
        "|CONTEXT": btree("L4", [struct.pack("<II", context_hash("CONTENTS"), 0)], 2048, 0x0002),
        "|FONT": fonts(),
        "|SYSTEM": system(),
        "|TOPIC": topic(),
    }
    out = bytearray(16)
    offsets = {}
    for name in sorted(files):
        offsets[name] = len(out)
        out += internal_file(files[name])
    directory_pos = len(out)
    entries = [name.encode("ascii") + b"\x00" + struct.pack("<I", offsets[name])
               for name in sorted(files)]
    out += internal_file(btree("z4", entries, 1024, 0x0402))
    out[0:16] = struct.pack("<IiiI", 0x00035F3F, directory_pos, -1, len(out))
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
