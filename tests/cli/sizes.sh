#!/usr/bin/env bash
# Volumes of every size and DiskCopy 4.2 images: what brindlewood-format writes equals what
# hformat writes on a zeroed image (but for the dates), hfsutils uses each volume, a DiskCopy
# header carries the checksums of its sectors, and the refusals leave files as they were.
# usage: sizes.sh TOOL WORKDIR [CHECKER]
set -uo pipefail
tool=$(realpath "$1") work=$2 checker=${3:-}
[ -n "$checker" ] && [ -x "$checker" ] && checker=$(realpath "$checker") || checker=
rm -rf "$work"; mkdir -p "$work/home"
export HOME=$work/home   # hfsutils keeps its current volume in ~/.hcwd
. "$(dirname "$0")/test-lib.sh"
cd "$work"

# Compares two images whole, reading only where either has data (the rest are holes, zeros),
# after zeroing the dates of the MDB, the alternate MDB and the root directory in both.
cat >same-volume.py <<'PY'
import os, struct, sys
def dates(f, size):
    f.seek(1024); mdb = f.read(512)
    blk, = struct.unpack('>I', mdb[0x14:0x18]); first, = struct.unpack('>H', mdb[0x1C:0x1E])
    start, = struct.unpack('>H', mdb[0x96:0x98])
    cat = (first + start * blk // 512) * 512
    f.seek(cat + 14 + 2); root, = struct.unpack('>I', f.read(4))
    f.seek(cat + root * 512 + 14); keylen = f.read(1)[0]
    rec = cat + root * 512 + 14 + 1 + keylen
    return [1024 + 2, 1024 + 6, size - 1024 + 2, size - 1024 + 6, rec + 10, rec + 14]
def extents(fd, size):
    out, pos = [], 0
    while pos < size:
        try: start = os.lseek(fd, pos, os.SEEK_DATA)
        except OSError: break
        pos = os.lseek(fd, start, os.SEEK_HOLE); out.append((start, pos))
    return out
a, b = (open(p, 'rb') for p in sys.argv[1:3])
size = os.fstat(a.fileno()).st_size
if size != os.fstat(b.fileno()).st_size: sys.exit('sizes differ')
blank = set(dates(a, size)) | set(dates(b, size))
for start, end in sorted(extents(a.fileno(), size) + extents(b.fileno(), size)):
    a.seek(start); b.seek(start)
    x, y = bytearray(a.read(end - start)), bytearray(b.read(end - start))
    for o in blank:
        if start <= o < end: x[o - start:o - start + 4] = y[o - start:o - start + 4] = bytes(4)
    if x != y:
        i = next(i for i in range(len(x)) if x[i] != y[i])
        sys.exit('first difference at byte %d (sector %d)' % (start + i, (start + i) // 512))
PY

# Runs an hfsutils command; any output on stderr is a failure.
h() {
  local out
  out=$("$@" 2>h.err)
  local rc=$?
  if [ $rc -ne 0 ] || [ -s h.err ]; then fail "$* (exit $rc): $(cat h.err)"; fi
  printf '%s' "$out"
}

head -c 300000 /dev/urandom >payload.bin
# size, blocks of the volume, allocation block size, bytes of each B-tree file (as hformat
# makes them; 400K by the same rules, which hformat refuses to apply)
while read -r size blocks blocksize treebytes; do
  img=ours-$size.img
  "$tool" -q --stats --size "$size" "$img" >stats.txt 2>err.txt \
    && ok "$size: formatted" || { fail "$size: $(cat err.txt)"; continue; }
  python3 - "$img" "$blocks" "$blocksize" "$treebytes" <<'PY' && ok "$size: $blocks blocks of $blocksize bytes, B-tree files of $treebytes bytes" || fail "$size: layout"
import struct, sys
f = open(sys.argv[1], 'rb'); f.seek(1024); m = f.read(512)
got = (struct.unpack('>H', m[0x12:0x14])[0], struct.unpack('>I', m[0x14:0x18])[0], struct.unpack('>I', m[0x4A:0x4E])[0])
sys.exit(0 if got == tuple(map(int, sys.argv[2:5])) else 'got %s' % (got,))
PY
  if [ "$size" != 400K ]; then
    truncate -s "$size" hformat-$size.img
    hformat -l Untitled hformat-$size.img >/dev/null 2>err.txt || fail "$size: hformat: $(cat err.txt)"
    why=$(python3 same-volume.py "$img" hformat-$size.img 2>&1) \
      && ok "$size: the same bytes as hformat's volume but for the dates" || fail "$size: differs from hformat: $why"
  fi
  # The volume's metadata at most is written, never the free blocks. A floppy's image is
  # allocated in full beforehand (a full file system shows before the format; free B-tree nodes
  # become holes after), a larger one is sparse.
  read -r written metadata < <(sed -n 's/.*bytes written: \([0-9]*\),.*volume metadata: \([0-9]*\) bytes/\1 \2/p' stats.txt)
  allocated=$(( $(stat -c %b "$img") * $(stat -c %B "$img") )) bytes=$(stat -c %s "$img")
  if [ "$bytes" -le 2949120 ]; then least=$((bytes - metadata)) most=$((bytes + 65536))
  else least=0 most=$((metadata + 65536)); fi
  [ -n "$written" ] && [ "$written" -le "$metadata" ] && [ "$allocated" -ge "$least" ] && [ "$allocated" -le "$most" ] \
    && ok "$size: $written bytes written, at most the $metadata bytes of metadata" \
    || fail "$size: $(cat stats.txt), $allocated bytes allocated"
  # hfsutils mounts nothing smaller than 800K.
  if [ "$size" != 400K ]; then
    h hmount "$img" >/dev/null
    h hcopy -r payload.bin :payload.bin >/dev/null
    h humount >/dev/null
    h hmount "$img" >/dev/null
    h hcopy -r :payload.bin back.bin >/dev/null
    h humount >/dev/null
    cmp -s payload.bin back.bin && ok "$size: hfsutils writes a file and reads it back" || fail "$size: the file came back different"
    rm -f back.bin
  fi
  if [ -n "$checker" ]; then
    "$checker" "$img" >out.txt 2>&1 && ok "$size: brindlewood-check passes it" || fail "$size: brindlewood-check: $(cat out.txt)"
  fi
  rm -f "$img" hformat-$size.img
done <<'TABLE'
400K 794 512 3072
800K 1594 512 6144
1440K 2874 512 11264
2880K 5753 512 22528
20M 40945 512 163328
100M 51195 2048 817152
2000M 65015 32256 16353792
TABLE

# --- refusals write nothing
"$tool" -q --size 800K mac800.img; sum=$(sha1sum <mac800.img)
refused "--size other than the image's" "an image keeps its size" "$tool" -y --size 1440K mac800.img
unchanged "--size other than the image's" mac800.img "$sum"
refused "--image-format dc42 on a raw image" "not a DiskCopy 4.2 image" "$tool" -y --image-format dc42 mac800.img
unchanged "dc42 on a raw image" mac800.img "$sum"
for bad in 399K 2049M 1000 12X; do
  refused "--size $bad" "--size $bad" "$tool" -y --size "$bad" new.img
done
refused "--full of a 20M volume" "no tracks to format" "$tool" -y --full --size 20M new.img
refused "a DiskCopy image of 20M" "holds only" "$tool" -y --size 20M new.dc42
refused "--date outside HFS" "--date 1903-12-31" "$tool" -y --date 1903-12-31 new.img
[ ! -e new.img ] && [ ! -e new.dc42 ] && ok "refusals create no image" || fail "a refused image was created"
truncate -s 20M blank20.img
"$tool" -q -y blank20.img >out.txt 2>&1 && [ "$(stat -c %b blank20.img)" -lt 2048 ] \
  && ok "an existing blank 20M image gets a volume without a track pass" || fail "blank 20M: $(cat out.txt)"
"$tool" -q -y --full mac800.img && [ "$(python3 -c "import sys; d=open('mac800.img','rb').read(); print(d[-512:].count(0xF6))")" = 512 ] \
  && ok "--full of an existing 800K image fills its tracks" || fail "800K full format"

# --- dates: fixed by default, or given
"$tool" -q --date 2024-05-31T14:30:00 dated.img
h hmount dated.img >/dev/null
grep -q 'created on Fri May 31 14:30:00 2024' <<<"$(TZ=UTC h hvol)" && ok "--date sets the volume's date" || fail "--date: $(TZ=UTC hvol)"
h humount >/dev/null

# --- DiskCopy 4.2
cat >dc42.py <<'PY'
# An 800K DiskCopy image: its header field by field and its checksums, summed here.
import struct, sys
d = open(sys.argv[1], 'rb').read()
def checksum(b):
    s = 0
    for (w,) in struct.iter_unpack('>H', b):
        t = (s + w) & 0xFFFFFFFF
        s = (t >> 1 | t << 31) & 0xFFFFFFFF
    return s
name = d[1:1 + d[0]].decode('mac_roman')
size, tags, dsum, tsum, fmt, fbyte, private = struct.unpack('>IIIIBBH', d[64:84])
print(name, size, tags, '%08X' % dsum, '%08X' % checksum(d[84:84 + size]), tsum, fmt, '%02X' % fbyte, '%04X' % private, len(d))
PY
"$tool" -q -L DiskCopy --size 800K dc.dc42
"$tool" -q -L DiskCopy --size 800K raw800.img
read -r name size tags dsum sum tsum fmt fbyte private length <<<"$(python3 dc42.py dc.dc42)"
[ "$size $tags $tsum $fmt $fbyte $private $length" = "819200 0 0 1 22 0100 819284" ] && [ "$name" = DiskCopy ] \
  && ok "800K DiskCopy header: sizes, format bytes, private word" || fail "header: $(python3 dc42.py dc.dc42)"
[ "$dsum" = "$sum" ] && [ "$dsum" = 62AC24CF ] && ok "800K DiskCopy data checksum $dsum" || fail "checksum: header $dsum, data $sum"
tail -c +85 dc.dc42 | cmp -s - raw800.img && ok "the DiskCopy image holds the raw 800K volume" || fail "DiskCopy data differs from the raw volume"
"$tool" -q --image-format dc42 --size 400K four.img
[ "$(python3 dc42.py four.img | cut -d' ' -f2,7,8)" = "409600 0 12" ] && ok "400K DiskCopy format bytes" || fail "400K: $(python3 dc42.py four.img)"
checked() {  # what, image
  [ -z "$checker" ] && return
  "$checker" "$2" >out.txt 2>&1 && ok "brindlewood-check passes $1" || fail "check of $1: $(cat out.txt)"
}
checked "a new DiskCopy image" dc.dc42
"$tool" -q -y --quick -L Again dc.dc42 >out.txt 2>&1
read -r name size tags dsum sum rest <<<"$(python3 dc42.py dc.dc42)"
[ "$name" = Again ] && [ "$dsum" = "$sum" ] && [ "$size" = 819200 ] \
  && ok "a quick format keeps the DiskCopy wrapper and rewrites name and checksum" || fail "quick of dc42: $(cat out.txt) $(python3 dc42.py dc.dc42)"
sum=$(sha1sum <dc.dc42)
refused "a Macintosh DiskCopy image without -y" "without -y" "$tool" -L Other dc.dc42
unchanged "a refused DiskCopy image" dc.dc42 "$sum"
tail -c +85 dc.dc42 >inner.img
h hmount inner.img >/dev/null
grep -q 'Volume name is "Again"' <<<"$(h hvol)" && ok "the re-formatted DiskCopy volume mounts" || fail "inner volume"
h humount >/dev/null
checked "a re-formatted DiskCopy image" dc.dc42
if [ -n "$checker" ]; then
  printf '\x00' | dd of=dc.dc42 bs=1 seek=75 conv=notrunc 2>/dev/null
  "$checker" dc.dc42 >out.txt 2>&1; rc=$?
  [ $rc -ne 0 ] && grep -qi checksum out.txt && ok "brindlewood-check reports a wrong checksum" || fail "corrupt checksum: exit $rc, $(cat out.txt)"
fi

echo "$failures failure(s)"
[ $failures -eq 0 ]
