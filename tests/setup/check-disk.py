#!/usr/bin/env python3
"""Checks a built setup disk: the folder holds SETUP.EXE and the table's copied rows under their
disk names; every "_" file is SZDD whose expansion equals the file it was made from and whose
header keeps the installed name's last character; the FAT image is 1.44 MB and holds the same
files byte for byte (read back with mtools). usage: check-disk.py DISK_DIR IMAGE NAME=SOURCE..."""
import os
import re
import struct
import subprocess
import sys
import tempfile

SETUP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "setup")


def read_table():
    """The file table as setup itself has it: the rows' names, and the copied and required rows."""
    rows = re.findall(r'\{"([^"]+)", "([^"]+)", \d+\}', open(os.path.join(SETUP, "SetupFileRows.cpp")).read())
    limits = open(os.path.join(SETUP, "SetupFileTable.h")).read()
    last_copied = int(re.search(r"kLastCopiedRow = (\d+);", limits).group(1))
    last_required = int(re.search(r"kLastRequiredRow = (\d+);", limits).group(1))
    copied = {disk: installed for installed, disk in rows[:last_copied + 1]}
    assert len(copied) == last_copied + 1, "the table of setup/SetupFileRows.cpp was not read"
    return copied, [disk for _, disk in rows[:last_required + 1]]


# Copied rows of the file table: disk name -> installed name; the rows that must be on the disk.
ROWS, REQUIRED = read_table()


def expand(data):
    if data[:8] != b"SZDD\x88\xf0\x27\x33" or data[8:9] != b"A":
        raise ValueError("not SZDD")
    size = struct.unpack("<I", data[10:14])[0]
    window = bytearray(b" " * 4096)
    pos, out, i = 4096 - 16, bytearray(), 14
    while i < len(data) and len(out) < size:
        flags = data[i]
        i += 1
        for bit in range(8):
            if i >= len(data) or len(out) >= size:
                break
            if flags >> bit & 1:
                c = data[i]
                i += 1
                out.append(c)
                window[pos] = c
                pos = (pos + 1) & 4095
            else:
                at = data[i] | ((data[i + 1] & 0xF0) << 4)
                n = (data[i + 1] & 0x0F) + 3
                i += 2
                for k in range(n):
                    c = window[(at + k) & 4095]
                    out.append(c)
                    window[pos] = c
                    pos = (pos + 1) & 4095
    return bytes(out)


def main():
    disk, image = sys.argv[1], sys.argv[2]
    sources = dict(a.split("=", 1) for a in sys.argv[3:])
    bad = []
    names = sorted(os.listdir(disk))
    if "SETUP.EXE" not in names:
        bad.append("SETUP.EXE missing")
    for name in names:
        if name != "SETUP.EXE" and name not in ROWS:
            bad.append(f"{name} is not a row of the table")
    for name in REQUIRED:
        if name not in names and name in sources:
            bad.append(f"required {name} missing")
    for name, source in sources.items():
        data = open(os.path.join(disk, name), "rb").read()
        want = open(source, "rb").read()
        if name.endswith("_"):
            try:
                got = expand(data)
            except ValueError as e:
                bad.append(f"{name}: {e}")
                continue
            if got != want:
                bad.append(f"{name} does not expand to {source}")
            if data[9:10] != ROWS[name][-1].encode():
                bad.append(f"{name}: header keeps {data[9:10]!r}, not {ROWS[name][-1]!r}")
        elif data != want:
            bad.append(f"{name} differs from {source}")
    if os.path.getsize(image) != 1474560:
        bad.append("the image is not 1.44 MB")
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["mcopy", "-n", "-i", image, "::/*", out], check=True,
                       stdout=subprocess.DEVNULL)
        for name in names:
            copied = os.path.join(out, name)
            if not os.path.exists(copied):
                bad.append(f"{name} not on the image")
            elif open(copied, "rb").read() != open(os.path.join(disk, name), "rb").read():
                bad.append(f"{name} differs on the image")
    for b in bad:
        print("FAILED:", b)
    print(f"checked {len(names)} files and the image" if not bad else "")
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
