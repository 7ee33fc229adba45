#!/usr/bin/env python3
"""brindlewood-check against volumes that other writers made: hformat volumes of several sizes,
a volume that hfsutils filled (nested folders, files with both forks, names of every character),
an Apple partition map around an HFS partition; then one table of single faults, each of which
must be found with the right finding and exit status. With EXTRACTOR, brindlewood-extract on the
same volumes against what hcopy -m gives, on hostile volumes, and on every kind of DIR.

usage: check-volumes.py CHECKER WORKDIR [EXTRACTOR]"""
import os
import mmap
import re
import shutil
import struct
import subprocess
import sys
import time
from datetime import datetime, timedelta

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from macbinary import macbinary  # noqa: E402

checker, work = sys.argv[1], sys.argv[2]
extractor = sys.argv[3] if len(sys.argv) > 3 else None
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
env = dict(os.environ, HOME=work)  # hfsutils keeps its current volume in $HOME
failures = 0


def fail(what):
    global failures
    failures += 1
    print("FAILED:", what)


def hfs(*args):
    subprocess.run(args, env=env, check=True, stdout=subprocess.DEVNULL)


def check(path, *options):
    r = subprocess.run([checker, *options, path], capture_output=True, text=True)
    return r.returncode, r.stdout + r.stderr


def expect_clean(path, what):
    code, out = check(path)
    if code != 0:
        fail(f"{what}: exit {code}\n{out}")
    else:
        print("ok:", what)
    return out


def blank(path, size):
    with open(path, "wb") as f:
        f.truncate(size)


# --- clean volumes ----------------------------------------------------------------------------
for size in (800 * 1024, 1440 * 1024, 20 << 20, 300 << 20, (2 << 30) - 1024):
    img = f"{work}/hformat-{size}.img"
    blank(img, size)
    hfs("hformat", "-l", f"Size {size}", img)
    expect_clean(img, f"hformat volume of {size} bytes")

filled = f"{work}/filled.img"
blank(filled, 1440 * 1024)
hfs("hformat", "-l", "Filled", filled)
hfs("hmkdir", ":Docs", ":Docs:Deep", ":Docs:Deep:Deeper", ":Chars", ":Empty")
for i in range(24):
    src = f"{work}/file{i:02}.bin"
    macbinary(src, b"file%02d" % i, bytes([i]) * (300 + 700 * i), b"RSRC" * (50 * (i % 4)))
    hfs("hcopy", "-m", src, [":", ":Docs:", ":Docs:Deep:", ":Docs:Deep:Deeper:"][i % 4])
# Names of every character but ':' (case twins end up as one name: the second copy replaces the
# first), so that the catalog's order is hfsutils' order of the whole character set.
with open(f"{work}/tiny", "wb") as f:
    f.write(b"x")
for c in range(1, 256):
    if c != 0x3A:
        subprocess.run([b"hcopy", b"-r", f"{work}/tiny".encode(), b":Chars:n" + bytes([c]) + b"z"], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
hfs("humount")
out = expect_clean(filled, "hfsutils volume with nested folders, both forks and every character")
code, listing = check(filled, "-v")
if "Deeper/" not in listing or "file23  (file" not in listing or "resource 600 bytes" not in listing:
    fail("-v lists the tree\n" + listing)
code, quiet = check(filled, "-q")
if quiet.count("\n") != 1 or not re.search(r'"Filled": 2\d\d files, 5 folders', quiet):
    fail("-q prints the summary line alone\n" + quiet)

# A full volume with every other file deleted, then a file larger than any hole: its extents run
# over into the extents B-tree, and hdel leaves freed catalog nodes with their bytes (legal: notes
# with -v, nothing that changes the verdict).
frag = f"{work}/fragmented.img"
blank(frag, 800 * 1024)
hfs("hformat", "-l", "Fragmented", frag)
with open(f"{work}/small", "wb") as f:
    f.write(os.urandom(5000))
with open(f"{work}/big", "wb") as f:
    f.write(os.urandom(60000))
count = 0
while subprocess.run(["hcopy", "-r", f"{work}/small", f":s{count}"], env=env, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL).returncode == 0:
    count += 1
hfs("hdel", *[f":s{i}" for i in range(0, count, 2)])
hfs("hcopy", "-r", f"{work}/big", ":big")
hfs("humount")
image = open(frag, "rb").read()
first = struct.unpack_from(">H", image, 1024 + 0x1C)[0] * 512  # the extents file's header node
code, out = check(frag, "-v")
if struct.unpack_from(">I", image, first + 14 + 6)[0] == 0:
    fail("the fragmented volume has no extents overflow records")
elif code != 0 or "ERROR" in out or "WARNING" in out or "big  (file" not in out or "NOTE" not in out:
    fail(f"fragmented volume: exit {code}\n{out}")
else:
    print("ok: a fragmented volume with overflow extents; free nodes with old bytes only noted")

# Other legal volumes: hfsutils' deletions, our own full format, a hybrid ISO 9660/HFS disc.
deleted = f"{work}/deleted.img"
blank(deleted, 1440 * 1024)
hfs("hformat", "-l", "Deleted", deleted)
for i in range(12):
    hfs("hcopy", "-r", f"{work}/small", f":d{i}")
hfs("hdel", *[f":d{i}" for i in range(12)])
hfs("humount")
expect_clean(deleted, "a volume after 12 copies and 12 deletions by hfsutils")
full = f"{work}/full.img"
subprocess.run([os.path.join(os.path.dirname(checker), "brindlewood-format"), "-y", "-q", "--full", "-L",
                "Full", full], check=True, stdout=subprocess.DEVNULL)
expect_clean(full, "a volume our own --full format wrote")
os.makedirs(f"{work}/iso/sub", exist_ok=True)
with open(f"{work}/iso/sub/b.bin", "wb") as f:
    f.write(os.urandom(100000))
subprocess.run(["genisoimage", "-quiet", "-hfs", "-o", f"{work}/hybrid.iso", f"{work}/iso"], check=True)
expect_clean(f"{work}/hybrid.iso", "a hybrid ISO 9660/HFS disc from genisoimage -hfs")

# An Apple partition map: the map itself, a driver partition, then the HFS partition.
apm = f"{work}/apm.img"
blank(apm, 4 << 20)
with open(apm, "r+b") as f:
    f.write(struct.pack(">HHI", 0x4552, 512, 8192))
    parts = [(1, 63, "Apple", "Apple_partition_map"), (64, 32, "Driver", "Apple_Driver43"),
             (96, 8192 - 96, "Macintosh HD", "Apple_HFS")]
    for i, (start, count, name, kind) in enumerate(parts):
        entry = struct.pack(">HHIII32s32s", 0x504D, 0, len(parts), start, count, name.encode(), kind.encode())
        f.seek(512 * (i + 1))
        f.write(entry)
hfs("hformat", "-l", "Partitioned", apm, "1")
hfs("humount")
code, out = check(apm)
if code != 0 or 'partition 3 "Macintosh HD"' not in out or '"Partitioned"' not in out:
    fail(f"partitioned disk: exit {code}\n{out}")
else:
    print("ok: the Apple_HFS partition of a partitioned disk, named")

# --- single faults ----------------------------------------------------------------------------
base = open(filled, "rb").read()
alst = struct.unpack_from(">H", base, 1024 + 0x1C)[0]
bsize = struct.unpack_from(">I", base, 1024 + 0x14)[0]
cat_start = alst * 512 + struct.unpack_from(">H", base, 1024 + 0x96)[0] * bsize


def records():
    """(key offset, parent, name, data offset) of every catalog leaf record, in node order."""
    for n in range(struct.unpack_from(">I", base, 1024 + 0x92)[0] // 512):
        node = cat_start + 512 * n
        if base[node + 8] != 0xFF:
            continue
        for i in range(struct.unpack_from(">H", base, node + 10)[0]):
            at = node + struct.unpack_from(">H", base, node + 510 - 2 * i)[0]
            key_len, parent, name_len = base[at], struct.unpack_from(">I", base, at + 2)[0], base[at + 6]
            yield at, parent, base[at + 7:at + 7 + name_len], at + ((key_len + 2) & ~1)


def record(name=b"", parent=None, kind=None):
    for at, p, n, data in records():
        if n == name and (parent is None or p == parent) and (kind is None or base[data] == kind):
            return at, data
    raise KeyError(name)


def u16(img, off, value):
    struct.pack_into(">H", img, off, value)


def u32(img, off, value):
    struct.pack_into(">I", img, off, value)


def first_block(name):
    return struct.unpack_from(">H", base, record(name)[1] + 74)[0]


def clear_bit(img, block):
    img[3 * 512 + block // 8] &= ~(0x80 >> block % 8)


docs_id = struct.unpack_from(">I", base, record(b"Docs")[1] + 6)[0]
next_id = struct.unpack_from(">I", base, 1024 + 0x1E)[0]
deep_id = struct.unpack_from(">I", base, record(b"Deep")[1] + 6)[0]


def tree_start(img, extents_field):
    """Where a B-tree file (drXTExtRec 0x86, drCTExtRec 0x96) starts in an image."""
    first = struct.unpack_from(">H", img, 1024 + 0x1C)[0] * 512
    return first + struct.unpack_from(">H", img, 1024 + extents_field)[0] * struct.unpack_from(">I", img, 1024 + 0x14)[0]


# 30 blocks in use, none next to another, from block 700 on.
unmarked = [b for b in range(700, 800, 2) if base[3 * 512 + b // 8] & 0x80 >> b % 8][:30]


def unmark_30(img):
    """30 claimed blocks left free in the bitmap, drFreeBks to match."""
    for block in unmarked:
        clear_bit(img, block)
    u16(img, 1024 + 0x22, struct.unpack_from(">H", img, 1024 + 0x22)[0] + 30)


def over_mark(img):
    """Block 2800 is free: marked in the bitmap, with drFreeBks to match."""
    img[3 * 512 + 2800 // 8] |= 0x80 >> 2800 % 8
    u16(img, 1024 + 0x22, struct.unpack_from(">H", img, 1024 + 0x22)[0] - 1)


def repeat_catalog_extents(img):
    """An extents leaf of 22 overflow records for the catalog, each naming the whole volume three
    times, and a catalog physical length near 4 GB."""
    blocks = struct.unpack_from(">H", img, 1024 + 0x12)[0]
    xt = tree_start(img, 0x86)
    node = bytearray(512)
    struct.pack_into(">IIbBHH", node, 0, 0, 0, -1, 1, 22, 0)
    offsets = []
    for i in range(22):
        at = 14 + 20 * i
        offsets.append(at)
        struct.pack_into(">BBIH", node, at, 7, 0, 4, 1 + i)
        struct.pack_into(">HHHHHH", node, at + 8, 0, blocks, 0, blocks, 0, blocks)
    offsets.append(14 + 20 * 22)
    for i, at in enumerate(offsets):
        struct.pack_into(">H", node, 510 - 2 * i, at)
    img[xt + 512:xt + 1024] = node
    struct.pack_into(">HIIII", img, xt + 14, 1, 1, 22, 1, 1)  # depth, root, records, first, last leaf
    img[xt + 248] |= 0x40  # node 1 in use
    u32(img, 1024 + 0x92, 0xFFFFFE00)


apm_base = open(apm, "rb").read()


def as_apm(img, entry, start, count):
    """The partitioned disk, with one map entry moved or resized."""
    img[:] = apm_base
    struct.pack_into(">II", img, 512 * entry + 8, start, count)


def as_dc42(img, checksum=None, cut=0, private=0x0100, name_length=4, disk_format=1):
    """An 800K hformat volume in a DiskCopy 4.2 image, with its header as given."""
    data = open(f"{work}/hformat-819200.img", "rb").read()
    total = 0
    for (word,) in struct.iter_unpack(">H", data):
        total = (total + word) & 0xFFFFFFFF
        total = (total >> 1 | total << 31) & 0xFFFFFFFF
    header = bytes([name_length]) + b"Disk".ljust(63, b"\0")
    header += struct.pack(">IIIIBBH", len(data), 0, total if checksum is None else checksum, 0, disk_format, 0x22,
                          private)
    image = header + data
    img[:] = image[:cut] if cut < 0 else image + bytes(cut)
first_leaf = cat_start + 512 * struct.unpack_from(">I", base, cat_start + 14 + 10)[0]
faults = [
    ("wrong free count", lambda img: u16(img, 1024 + 0x22, struct.unpack_from(">H", img, 1024 + 0x22)[0] - 1),
     4, r"drFreeBks is \d+, but the bitmap leaves \d+ blocks free"),
    ("doubly claimed block", lambda img: u16(img, record(b"file05")[1] + 74, first_block(b"file01")),
     4, r"claimed twice: by file \d+ \(data fork\) and by file \d+ \(data fork\)"),
    ("claimed block unmarked", lambda img: clear_bit(img, first_block(b"file03")),
     4, r"claimed but not marked in the bitmap \(file \d+, data fork\)"),
    ("broken sibling link", lambda img: u32(img, first_leaf, 0),
     4, r"forward link is 0, expected \d+"),
    ("keys out of order", lambda img: img.__setitem__(record(b"file04")[0] + 7, ord("z")),
     4, r'keys out of order: .*"zile04"'),
    ("missing thread", lambda img: img.__setitem__(record(b"", docs_id)[1], 4),
     4, rf"folder {docs_id} has no thread"),
    ("wrong valence", lambda img: u16(img, record(b"Docs")[1] + 4, 9),
     4, rf"folder {docs_id} has valence 9, but holds 7 entries"),
    ("bad drNxtCNID", lambda img: u32(img, 1024 + 0x1E, 16),
     4, r"drNxtCNID is 16, expected above \d+"),
    ("name of 32 bytes", lambda img: img.__setitem__(record(b"file02")[0] + 6, 32),
     4, r"a name of 32 bytes, names have 1 to 31"),
    ("not unmounted cleanly (a warning)", lambda img: img.__setitem__(1024 + 0x0A, img[1024 + 0x0A] & ~1),
     1, r"WARNING MDB \(sector 2\): the volume was not unmounted cleanly"),
    ("truncated image", lambda img: img.__delitem__(slice(len(img) // 2, None)),
     4, r"the image is truncated"),
    ("HFS Plus volume", lambda img: img.__setitem__(slice(1024, 1026), b"H+"), 8, r"an HFS Plus volume"),
    ("HFS wrapper", lambda img: img.__setitem__(slice(1024 + 0x7C, 1024 + 0x7E), b"H+"),
     8, r"an HFS Plus volume inside an HFS wrapper"),
    ("no HFS signature", lambda img: img.__setitem__(slice(1024, 1026), b"\0\0"), 8, r"not an HFS volume"),
    ("header node of 2 records", lambda img: u16(img, cat_start + 10, 2),
     4, r"catalog header node 0: holds 2 records, expected 3"),
    ("header map record at offset 0", lambda img: u16(img, cat_start + 510 - 4, 0),
     4, r"catalog header node 0: record offset 2 is 0"),
    ("header record offset out of the node", lambda img: u16(img, cat_start + 510 - 6, 600),
     4, r"catalog header node 0: record offset 3 is 600"),
    ("map node of 2 records", lambda img: u16(img, tree_start(img, 0x96) + 512 + 10, 2),
     4, r"catalog node 1: a map node holds 2 records, expected 1", {"base": f"{work}/hformat-314572800.img"}),
    ("reserved file ID", lambda img: u32(img, record(b"file02")[1] + 20, 5), 4, r"file ID 5 is reserved"),
    ("folder ID 0", lambda img: u32(img, record(b"Empty")[1] + 6, 0), 4, r"folder ID 0 is reserved"),
    ("file ID at drNxtCNID", lambda img: u32(img, record(b"file02")[1] + 20, next_id),
     4, rf"file ID {next_id} is not below drNxtCNID {next_id}"),
    ("file ID 0xFFFFFFFF", lambda img: u32(img, record(b"file02")[1] + 20, 0xFFFFFFFF),
     4, r"file ID 4294967295 is not below drNxtCNID", {"absent": r"claimed by no file"}),
    ("thread name differs only in case", lambda img: img.__setitem__(record(b"", docs_id)[1] + 15, ord("d")),
     4, rf'thread of {docs_id} names parent 2 "docs", the record is in 2 as "Docs"'),
    ("parents in a loop", lambda img: u32(img, record(b"Docs")[0] + 2, deep_id),
     4, rf"folder {docs_id} is not reached from the root \(its parents form a loop\)"),
    ("hybrid disc with a wrong free count", lambda img: u16(img, 1024 + 0x22, img[1024 + 0x22] * 256 + img[1024 + 0x23] + 1),
     4, r"ERROR   MDB \(sector 2\): drFreeBks is 1, but the bitmap leaves 0 blocks free", {"base": f"{work}/hybrid.iso"}),
    ("over-marked bitmap (a warning)", over_mark,
     1, r"WARNING block 2800: marked in the bitmap but claimed by no file", {"absent": "ERROR"}),
    ("catalog extents repeated up to 4 GB, under a 64 MB limit", repeat_catalog_extents,
     4, r"catalog file, blocks 0-2873: repeat blocks the file already holds", {"limit_kb": 65536}),
    ("30 claimed blocks unmarked: 20 shown from the first on disk, all counted", unmark_30,
     4, rf"bytes\nERROR   block {unmarked[0]}: claimed but not marked(.|\n)*10 more finding\(s\) of this kind: claimed unmarked"
        r"(.|\n)*; 30 error\(s\), 0 warning\(s\)"),
    ("partition past the end of the disk", lambda img: as_apm(img, 3, 96, 8192),
     4, r"partition map entry 3: the partition map says it runs to byte 4243456, past the end"),
    ("overlapping partitions", lambda img: as_apm(img, 2, 64, 64), 4, r"it overlaps partition 2 \(bytes 32768"),
    ("DiskCopy image, all correct", lambda img: as_dc42(img), 0, r"0 error\(s\), 0 warning"),
    ("DiskCopy data checksum counted", lambda img: as_dc42(img, checksum=0x12345678),
     4, r"data checksum is 12345678, the image's data sums to [0-9A-F]{8}(.|\n)*; 1 error\(s\)"),
    ("DiskCopy checksum in the summary of -q", lambda img: as_dc42(img, checksum=0x12345678),
     4, r"\A[^\n]*\): \"Size 819200\": 0 files, 0 folders, \d+ blocks used, \d+ free; 1 error\(s\), 0 warning\(s\)\n\Z",
     {"options": ["-q"]}),
    ("DiskCopy image truncated", lambda img: as_dc42(img, cut=-512),
     4, r"DiskCopy header: it announces 819200 bytes of data and 0 of tags, the file holds 818688"),
    ("DiskCopy image padded", lambda img: as_dc42(img, cut=512), 4, r"the file holds 819712 after the header"),
    ("DiskCopy private word", lambda img: as_dc42(img, private=0x0200), 4, r"private word is 0x0200, expected"),
    ("DiskCopy name of 64 bytes", lambda img: as_dc42(img, name_length=64), 4, r"its name is 64 bytes long"),
    ("DiskCopy unknown disk format", lambda img: as_dc42(img, disk_format=9), 4, r"its disk format is 9"),
]
for what, patch, status, finding, *more in faults:
    opts = more[0] if more else {}
    path = f"{work}/fault.img"
    if "base" in opts:  # a large volume: a sparse copy, patched in place
        subprocess.run(["cp", "--sparse=always", opts["base"], path], check=True)
        with open(path, "r+b") as f, mmap.mmap(f.fileno(), 0) as img:
            patch(img)
    else:
        img = bytearray(base)
        patch(img)
        with open(path, "wb") as f:
            f.write(img)
    if "limit_kb" in opts:
        # A sanitizer build reserves more address space than any limit allows: there, each
        # allocation is capped instead.
        limited = ["bash", "-c", f'ulimit -v {opts["limit_kb"]} && exec "$0" "$@"', checker]
        if subprocess.run(limited + ["--version"], capture_output=True).returncode == 0:
            r = subprocess.run(limited + [path], capture_output=True, text=True)
        else:
            asan = os.environ.get("ASAN_OPTIONS", "") + f':max_allocation_size_mb={opts["limit_kb"] // 1024}'
            r = subprocess.run([checker, path], capture_output=True, text=True,
                               env=dict(os.environ, ASAN_OPTIONS=asan.lstrip(":")))
        code, out = r.returncode, r.stdout + r.stderr
    else:
        code, out = check(path, *opts.get("options", []))
    if code != status or not re.search(finding, out) or ("absent" in opts and re.search(opts["absent"], out)):
        fail(f"{what}: exit {code} (expected {status}), finding /{finding}/ expected in\n{out}")
    else:
        print("ok: fault found:" if status else "ok:", what)

# --- brindlewood-extract ------------------------------------------------------------------------
# HFS dates are wall-clock times; a zone with daylight saving shows that they are read as such.
os.environ["TZ"] = "EST5EDT,M3.2.0,M11.1.0"
time.tzset()
MAC = {bytes([b]).decode("mac_roman"): b for b in range(0x80, 0x100)}
MAC["\u00a4"] = 0xDB  # the currency sign of the system's time, where later systems put the euro


def extract(path, *options, out=None):
    """Runs the extractor into WORK/x/out (or out); the code, the output and out."""
    parent = f"{work}/x"
    if out is None:
        shutil.rmtree(parent, ignore_errors=True)
        os.makedirs(parent)
        out = f"{parent}/out"
    r = subprocess.run([extractor, *options, path, out], capture_output=True, text=True, timeout=120)
    return r.returncode, r.stdout + r.stderr, out


def mac_name(linux):
    """A name the extractor wrote, back in Macintosh characters."""
    out, i = bytearray(), 0
    while i < len(linux):
        if linux.startswith("\\x", i):
            out.append(int(linux[i + 2:i + 4], 16))
            i += 4
            continue
        c = linux[i]
        out += b"/" if c == ":" else bytes([MAC[c]]) if ord(c) >= 0x80 else c.encode()
        i += 1
    return bytes(out)


def unpack_macbinary(blob):
    """(name, type+creator+flags, dates, data, resource) of a MacBinary file."""
    data_len, rsrc_len = struct.unpack_from(">II", blob, 83)
    rsrc_at = 128 + (data_len + 127) // 128 * 128
    return (blob[2:2 + blob[1]], blob[65:74] + blob[101:102], blob[91:99], blob[128:128 + data_len],
            blob[rsrc_at:rsrc_at + rsrc_len])


def appledouble_entries(blob):
    entries = {}
    for k in range(struct.unpack_from(">H", blob, 24)[0]):
        kind, at, length = struct.unpack_from(">III", blob, 26 + 12 * k)
        entries[kind] = blob[at:at + length]
    return entries


def local_time(hfs_date):
    return time.mktime((datetime(1904, 1, 1) + timedelta(seconds=hfs_date)).timetuple())


def hcopy_m(image, linux_path):
    """What hcopy -m gives for the file that the extractor wrote as linux_path."""
    hfs("hmount", image)
    mac = b":" + b":".join(mac_name(p) for p in linux_path.split("/"))
    for special in b"\\*?[]{}":  # hfsutils' wildcards, each taken as itself after a backslash
        mac = mac.replace(bytes([special]), b"\\" + bytes([special]))
    subprocess.run([b"hcopy", b"-m", mac, f"{work}/hcopy.bin".encode()], env=env, check=True,
                   stdout=subprocess.DEVNULL)
    hfs("humount")
    return open(f"{work}/hcopy.bin", "rb").read()


def against_hcopy(image, what, files_expected):
    """Both forms of extraction against hcopy -m, file by file: forks, Finder information, dates."""
    problems = []
    for options in ((), ("--macbinary",)):
        code, out, tree = extract(image, *options)
        if code != 0:
            fail(f"{what} {options}: exit {code}\n{out}")
            continue
        files = []
        for top, dirs, names in os.walk(tree):
            files += [os.path.relpath(os.path.join(top, n), tree) for n in names
                      if not n.startswith("._")]
        if len(files) != files_expected:
            problems.append(f"{len(files)} files, expected {files_expected}")
        for rel in files:
            mine = open(f"{tree}/{rel}", "rb").read()
            mac = rel[:-4] if options else rel
            name, finder, dates, data, rsrc = unpack_macbinary(hcopy_m(image, mac))
            mtime = os.stat(f"{tree}/{rel}").st_mtime
            if mtime != local_time(struct.unpack(">I", dates[4:])[0]):
                problems.append(f"{rel}: modified {time.ctime(mtime)}")
            if options:
                if unpack_macbinary(mine) != (name, finder, dates, data, rsrc) or \
                        struct.unpack_from(">H", mine, 124)[0] != crc16(mine[:124]) or mine[122] != 130:
                    problems.append(f"{rel}: the MacBinary file differs from hcopy -m's")
                continue
            double = f"{tree}/{os.path.dirname(rel)}/._{os.path.basename(rel)}".replace("/./", "/")
            entries = appledouble_entries(open(double, "rb").read()) if os.path.exists(double) else {}
            if mine != data or entries.get(2, b"") != rsrc or entries.get(9, bytes(32))[:10] != finder:
                problems.append(f"{rel}: forks or Finder information differ from hcopy -m's")
            # AppleDouble counts from 2000 UTC; an HFS date of 0 (never set) is its unknown date.
            expected = -2**31 if dates[4:] == bytes(4) else mtime - 946684800
            if entries and struct.unpack(">i", entries[8][4:8])[0] != expected:
                problems.append(f"{rel}: the AppleDouble modification date differs")
    if problems:
        fail(f"{what}: " + "; ".join(problems[:5]))
    else:
        print(f"ok: extracted as AppleDouble and as MacBinary, as hcopy -m gives it: {what}")


if extractor:
    from macbinary import crc16  # noqa: E402
    files_in_filled = int(re.search(r"(\d+) files", quiet).group(1))
    against_hcopy(filled, "the hfsutils volume of nested folders, both forks, every character",
                  files_in_filled)
    against_hcopy(frag, "the fragmented volume with overflow extents",
                  int(re.search(r"(\d+) files", check(frag, "-q")[1]).group(1)))
    code, out, tree = extract(frag)
    if open(f"{tree}/big", "rb").read() != open(f"{work}/big", "rb").read():
        fail("the file whose extents run over is not the file copied in")
    code, out, tree = extract(apm, "-q")
    if code != 0 or out.count("\n") != 1 or 'partition 3 "Macintosh HD"' not in out or \
            sorted(os.listdir(tree)) != []:
        fail(f"extract of a partitioned disk: exit {code}\n{out}")
    # A DiskCopy 4.2 image of the filled volume, its checksum right, then wrong.
    dc42 = f"{work}/filled.dc42"
    for what, tweak, status in (("DiskCopy 4.2 image", 0, 0), ("DiskCopy 4.2 image, bad checksum", 1, 4)):
        total = 0
        for (word,) in struct.iter_unpack(">H", base):
            total = (total + word) & 0xFFFFFFFF
            total = (total >> 1 | total << 31) & 0xFFFFFFFF
        head = bytes([6]) + b"Filled".ljust(63, b"\0") + struct.pack(">IIIIBBH", len(base), 0, total + tweak, 0,
                                                                      3, 0x22, 0x100)
        open(dc42, "wb").write(head + base)
        code, out, tree = extract(dc42)
        got = sum(len([n for n in names if not n.startswith("._")]) for _, _, names in os.walk(tree))
        if code != status or got != files_in_filled or "DiskCopy 4.2" not in out or \
                (status and "checksums" not in out):
            fail(f"{what}: exit {code}, {got} files\n{out}")
        else:
            print(f"ok: extract of a {what}: exit {status}")

    # Where the file stored last begins (hfsutils grows the catalog past it).
    cut = alst * 512 + bsize * max(struct.unpack_from(">H", base, d + 74)[0] for _, _, _, d in records() if base[d] == 2)
    deeper_id = struct.unpack_from(">I", base, record(b"Deeper")[1] + 6)[0]
    deep_id = struct.unpack_from(">I", base, record(b"Deep")[1] + 6)[0]

    def rename(img, old, new):
        at = record(old)[0]
        img[at + 6] = len(new)
        img[at + 7:at + 7 + len(new)] = new

    def noon(y, m, d):
        return (datetime(y, m, d) - datetime(1904, 1, 1)).days * 86400 + 12 * 3600

    def fork_length(img, name, field, value):
        u32(img, record(name)[1] + field, value)

    def size_of(path, size):
        return os.path.isfile(path) and os.path.getsize(path) == size

    # (what, patch, options, status, output, what the tree must then hold)
    hostile = [
        ("'..' as a file's name", lambda img: rename(img, b"file04", b".."), (), 4, r"",
         lambda t: os.path.isfile(t + "/\\x2E\\x2E")),
        ("'.' as a folder's name", lambda img: rename(img, b"Empty", b"."), (), 4, r"",
         lambda t: os.path.isdir(t + "/\\x2E")),
        ("NUL and escape bytes in a name", lambda img: rename(img, b"file08", b"\0\x1b["), (), 4, r"",
         lambda t: os.path.isfile(t + "/\\x00\\x1B[")),
        ("'/', ':' and an escape-like '\\x41' in a name", lambda img: rename(img, b"file12", b"/:\\x41"), (), 4, r"",
         lambda t: os.path.isfile(t + "/:\\x3A\\x5Cx41")),
        ("two files of one name", lambda img: rename(img, b"file16", b"file20"), (), 4,
         r"ERROR   file20: is there already .*not overwritten", lambda t: size_of(t + "/file20", 300 + 700 * 16)),
        ("two folders of one name", lambda img: rename(img, b"Chars", b"Docs"), (), 4,
         r"Docs/: is there already .*; the 20 entries inside it are not extracted either",
         lambda t: len(os.listdir(t + "/Docs")) > 200),
        ("a folder with Finder information", lambda img: img.__setitem__(slice(record(b"Docs")[1] + 22, record(b"Docs")[1] + 54), bytes(range(1, 33))), (), 0,
         r"", lambda t: appledouble_entries(open(t + "/._Docs", "rb").read())[9] == bytes(range(1, 33))),
        # Noon on the Macintosh's clock is 16:00 UTC in July and 17:00 UTC in January in New York.
        ("a summer and a winter date", lambda img: (u32(img, record(b"file04")[1] + 48, noon(2024, 7, 1)),
                                                     u32(img, record(b"file08")[1] + 48, noon(2024, 1, 15))), (), 0,
         r"", lambda t: (os.stat(t + "/file04").st_mtime, os.stat(t + "/file08").st_mtime) == (1719849600, 1705338000)),
        ("a data fork past its extents", lambda img: fork_length(img, b"file01", 26, 1 << 20), (), 4,
         r"Docs/file01: the data fork has 1048576 bytes, only the first 1024",
         lambda t: size_of(t + "/Docs/file01", 1024)),
        ("24 data forks past their extents: 20 named, all counted",
         lambda img: [fork_length(img, b"file%02d" % i, 26, 1 << 20) for i in range(24)], (), 4,
         r"4 more finding\(s\) of this kind: fork unreadable\n.*; 24 error\(s\)", lambda t: size_of(t + "/file00", 512)),
        ("a resource fork past its extents (MacBinary)", lambda img: fork_length(img, b"file02", 36, 5000),
         ("--macbinary",), 4, r"file02.bin: the resource fork has 5000 bytes, only the first 512",
         lambda t: unpack_macbinary(open(t + "/Docs/Deep/file02.bin", "rb").read())[4] == b"RSRC" * 100 + bytes(112)),
        ("an extent outside the volume", lambda img: u16(img, record(b"file03")[1] + 74, 0xFFF0), (), 4,
         r"the data fork has 2400 bytes, only the first 0", lambda t: size_of(t + "/Docs/Deep/Deeper/file03", 0)),
        ("a loop of folders", lambda img: u32(img, record(b"Docs")[0] + 2, deeper_id), (), 4,
         r'folder "Docs" .* is not reached from the root folder', lambda t: not os.path.exists(t + "/Docs")),
        ("a folder its own parent", lambda img: u32(img, record(b"Deep")[0] + 2, deep_id), (), 4,
         r'folder "Deep" .* is not reached', lambda t: os.listdir(t + "/Docs") and not os.path.exists(t + "/Docs/Deep")),
        ("no root folder", lambda img: u32(img, record(b"Filled", 1)[1] + 6, 99), (), 8,
         r"there is no root folder (.|\n)*nothing extracted", lambda t: not os.path.exists(t)),
        ("an image cut inside its catalog", lambda img: img.__delitem__(slice(cut, None)), (), 8,
         r"the image is truncated(.|\n)*catalog file, blocks \d+-\d+: lie beyond the end(.|\n)*nothing extracted",
         lambda t: not os.path.exists(t)),
        ("the catalog outside the image", lambda img: u16(img, 1024 + 0x96, 0xFFF0), (), 8,
         r"node type is 0, expected 1(.|\n)*nothing extracted", lambda t: not os.path.exists(t)),
        ("HFS Plus", lambda img: img.__setitem__(slice(1024, 1026), b"H+"), (), 8,
         r"an HFS Plus volume.*nothing extracted", lambda t: not os.path.exists(t)),
    ]
    for what, patch, options, status, finding, holds in hostile:
        img = bytearray(base)
        patch(img)
        path = f"{work}/hostile.img"
        with open(path, "wb") as f:
            f.write(img)
        code, out, tree = extract(path, *options)
        beside = sorted(set(os.listdir(f"{work}/x")) - {"out"})
        if code != status or not re.search(finding, out) or not holds(tree) or beside:
            fail(f"extract, {what}: exit {code} (expected {status}), /{finding}/ expected, "
                 f"beside the folder {beside}\n{out}")
        else:
            print("ok: extract of a hostile volume:", what)

    # DIR and TARGET of every kind: nothing that is there is replaced or followed.
    def prepare(kind):
        shutil.rmtree(f"{work}/x", ignore_errors=True)
        os.makedirs(f"{work}/x/empty")
        path = f"{work}/x/out"
        if kind == "folder with a file":
            os.makedirs(path)
            open(f"{path}/keep", "w").write("mine")
        elif kind == "empty folder":
            os.makedirs(path)
        elif kind == "link to an empty folder":
            os.symlink(f"{work}/x/empty", path)
        elif kind == "FIFO":
            os.mkfifo(path)
        elif kind == "file":
            open(path, "w").write("mine")
        elif kind == "missing parent":
            path += "/deeper"
        return path

    unchanged = lambda: os.listdir(f"{work}/x/empty") == [] and (
        not os.path.isfile(f"{work}/x/out") or open(f"{work}/x/out").read() == "mine")
    fifo = f"{work}/target.fifo"
    if not os.path.exists(fifo):
        os.mkfifo(fifo)
    for kind, target, options, status in [
            ("empty folder", filled, (), 0), ("folder with a file", filled, (), 8),
            ("link to an empty folder", filled, (), 8), ("FIFO", filled, (), 8), ("file", filled, (), 8),
            ("missing parent", filled, (), 8), ("new", fifo, (), 8), ("new", work, (), 8),
            ("new", f"{work}/missing.img", (), 8), ("new", filled, ("--bogus",), 16),
            ("new", filled, ("-q", "-v"), 16), ("new", filled, ("--partition", "3"), 8),
            ("new", apm, ("--partition", "2"), 8), ("new", apm, ("--partition", "9"), 8),
            ("new", apm, ("--partition", "3"), 0)]:
        dest = prepare(kind)
        code, out, _ = extract(target, *options, out=dest)
        written = os.path.isdir(dest) and not os.path.islink(dest) and os.listdir(dest) != ["keep"]
        if kind in ("new", "missing parent"):
            written = os.path.lexists(dest)
        if code != status or written != (status == 0) or not unchanged() or \
                (kind == "folder with a file" and os.listdir(dest) != ["keep"]):
            fail(f"extract into a {kind} from {os.path.basename(target)} {options}: exit {code}, "
                 f"expected {status}\n{out}")
        else:
            print(f"ok: extract into a {kind} from {os.path.basename(target)} {options}: exit {status}")

# --- the command line -------------------------------------------------------------------------
code, out = check(f"{work}/missing.img")
if code != 8:
    fail(f"a missing target: exit {code}")
code, out = check(filled, "--bogus")
if code != 16:
    fail(f"an unknown option: exit {code}")
os.mkfifo(f"{work}/fifo")
os.symlink(filled, f"{work}/link.img")
for what, target, status, finding in [
        ("a FIFO", f"{work}/fifo", 8, "not an image file or a block device"),
        ("a directory", work, 8, "not an image file or a block device"),
        ("a character device", "/dev/null", 8, "not an image file or a block device"),
        ("a link to an image", f"{work}/link.img", 0, r'"Filled": 2\d\d files')]:
    try:
        r = subprocess.run([checker, "-q", target], capture_output=True, text=True, timeout=10)
        code, out = r.returncode, r.stdout + r.stderr
    except subprocess.TimeoutExpired:
        code, out = "a hang", ""
    if code != status or finding not in out and not re.search(finding, out):
        fail(f"{what} as the target: exit {code} (expected {status})\n{out}")
    else:
        print("ok: the target is", what)
print(f"{failures} failure(s)")
sys.exit(1 if failures else 0)
