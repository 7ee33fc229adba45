#!/usr/bin/env bash
# Images written by brindlewood-format, read and written by hfsutils as an independent reader,
# and the tool's refusals; brindlewood-check passes every volume written, and brindlewood-extract
# gives back the tree a volume was filled from. usage: hfs-reader.sh TOOL WORKDIR CHECKER EXTRACTOR
set -uo pipefail
tool=$(realpath "$1") work=$2 checker=$(realpath "$3") extractor=$(realpath "$4")
hfsdir=$(realpath "$(dirname "$0")/../hfs")
rm -rf "$work"; mkdir -p "$work/home"
export HOME=$work/home   # hfsutils keeps its current volume in ~/.hcwd
. "$(dirname "$0")/test-lib.sh"
cd "$work"

# Runs an hfsutils command; any output on stderr is a failure.
h() {
  local out
  out=$("$@" 2>h.err)
  local rc=$?
  if [ $rc -ne 0 ] || [ -s h.err ]; then fail "$* (exit $rc): $(cat h.err)"; fi
  printf '%s' "$out"
}

# No error and no warning: the old bytes a format leaves in a free node are legal.
checked() {  # image...
  local img out rc
  for img in "$@"; do
    out=$("$checker" "$img" 2>&1); rc=$?
    if [ $rc -eq 0 ] && ! grep -q '^WARNING\|^ERROR' <<<"$out"; then
      ok "brindlewood-check passes $img"
    else
      fail "brindlewood-check $img (exit $rc): $out"
    fi
  done
}

# What became of an image: untouched, no longer a Macintosh disk, or a complete volume.
state() {  # image, checksum before
  local out
  if [ "$(sha1sum <"$1")" = "$2" ]; then echo untouched
  elif [ "$(head -c 1026 "$1" | tail -c 2 | tr -d '\0')" != BD ]; then echo not-mac
  elif out=$("$checker" "$1" 2>&1) || [ $? -eq 1 ] && ! grep -q '^ERROR' <<<"$out"; then echo complete
  else echo broken; fi
}

# --- a new image, read back by hfsutils
"$tool" -q -L "Brindle Test" fresh.img 2>err.txt
rc=$?
[ $rc -eq 0 ] && [ ! -s err.txt ] && ok "a new image is formatted" || fail "format of a new image: exit $rc, $(cat err.txt)"
[ "$(stat -c %s fresh.img)" = 1474560 ] && ok "the image has 1474560 bytes" || fail "image size $(stat -c %s fresh.img)"

h hmount fresh.img >/dev/null
vol=$(h hvol)
grep -q 'Volume name is "Brindle Test"' <<<"$vol" && ok "hvol shows the label" || fail "hvol: $vol"
grep -q 'Volume has 1448960 bytes free' <<<"$vol" && ok "hvol shows 1448960 bytes free" || fail "hvol: $vol"
listing=$(h hls -a)
[ -z "$listing" ] && ok "the root is empty" || fail "hls of a new volume: $listing"

head -c 70000 /dev/urandom >payload.bin
h hcopy -r payload.bin :payload.bin >/dev/null
h hmkdir ":A Folder" >/dev/null
h humount >/dev/null
h hmount fresh.img >/dev/null
listing=$(h hls -1)
grep -qx 'A Folder' <<<"$listing" && ok "a folder made with hmkdir is listed" || fail "hls: $listing"
grep -qx 'payload.bin' <<<"$listing" && ok "the copied file is listed after a remount" || fail "hls: $listing"
h hcopy -r :payload.bin back.bin >/dev/null
cmp -s payload.bin back.bin && ok "the file copies back identical" || fail "the file came back different"
h humount >/dev/null
checked fresh.img

# --- the same label gives the same bytes
"$tool" -q -L "Brindle Test" twin.img && "$tool" -q -L "Brindle Test" twin2.img
cmp -s twin.img twin2.img && ok "two formats with the same label are identical" || fail "two formats differ"
cp twin.img again.img
"$tool" -q -y --quick -L "Brindle Test" again.img
cmp -s twin.img again.img && ok "a quick format of a formatted image changes nothing" || fail "quick re-format differs"
checked twin.img

# --- refusals write nothing

head -c 1474559 /dev/zero >short.img; sum=$(sha1sum <short.img)
refused "image one byte short" "has 1474559 bytes" "$tool" -y short.img
unchanged "image one byte short" short.img "$sum"

cp twin.img mac.img; sum=$(sha1sum <mac.img)
refused "Macintosh disk without -y and without a terminal" 'without -y' "$tool" mac.img
unchanged "Macintosh disk without -y" mac.img "$sum"
grep -q 'a Macintosh disk named "Brindle Test"' out.txt && ok "the Macintosh disk's name is shown" || fail "look: $(cat out.txt)"
refused "label of 28 characters" "at most 27" "$tool" -y -L "abcdefghijklmnopqrstuvwxyz12" mac.img
unchanged "label of 28 characters" mac.img "$sum"
refused "label with a character outside code page 1252" "U+4E2D" "$tool" -y -L $'\xe4\xb8\xad' mac.img
unchanged "label outside code page 1252" mac.img "$sum"
refused "bad label for a new image" "Nothing was written" "$tool" -y -L "a:b" new.img
[ ! -e new.img ] && ok "no image is created for a refused label" || fail "new.img was created"
refused "a directory" "neither an image file nor a floppy drive" "$tool" -y "$work/home"

head -c 1474560 /dev/zero >dos.img
mformat -i dos.img -f 1440 -v DOSLABEL :: && sum=$(sha1sum <dos.img)
refused "DOS disk without -y" 'without -y' "$tool" -L Mac dos.img
unchanged "DOS disk without -y" dos.img "$sum"
grep -q 'a DOS disk labelled "DOSLABEL"' out.txt && ok "the DOS label is shown" || fail "look: $(cat out.txt)"
"$tool" -y --quick -L "Was DOS" dos.img >out.txt 2>err.txt && grep -q 'formatted (full)' out.txt \
  && ok "quick on a DOS disk becomes a full format" || fail "DOS quick: $(cat out.txt err.txt)"
checked dos.img


# --- data the dialog does not know is named, and not overwritten without a yes
head -c 1474560 /dev/zero >ext2.img && mkfs.ext2 -q -L extdocs ext2.img
python3 -c "
b = bytearray(1474560)
for sector, kind in ((16, 1), (17, 255)):  # a primary volume descriptor, then the terminator
    o = sector * 2048
    b[o], b[o + 1:o + 7] = kind, b'CD001\x01'
b[16 * 2048 + 40:16 * 2048 + 72] = b'DISC'.ljust(32)
open('iso.img', 'wb').write(b)"
head -c 1474560 /dev/zero >fat.img && mformat -i fat.img -f 1440 -v FATNOSIG :: \
  && printf '\0\0' | dd of=fat.img bs=1 seek=510 conv=notrunc status=none
for c in 'ext2.img|an ext2 file system labelled "extdocs"' 'iso.img|an ISO 9660 file system labelled "DISC"' \
         'fat.img|a FAT file system labelled "FATNOSIG"'; do
  img=${c%%|*} name=${c#*|}; sum=$(sha1sum <"$img")
  refused "$img without a terminal" "not overwriting $name without -y" "$tool" --full -L X "$img"
  unchanged "$img without a terminal" "$img" "$sum"
  if command -v script >/dev/null; then
    (sleep 0.3; echo n) | script -qec "'$tool' --full -L X $img" /dev/null >out.txt 2>&1
    grep -qF "The disk holds $name. Do you wish to continue" out.txt && ok "$img: named in the question" \
      || fail "$img on a terminal: $(cat out.txt)"
    unchanged "$img answered no" "$img" "$sum"
  fi
done
"$tool" -y -q -L Ext ext2.img && [ "$(head -c 1026 ext2.img | tail -c 2)" = BD ] \
  && ok "-y overwrites it" || fail "-y on an ext2 image"

# --- what is on the target x who may say yes: only a disk that holds nothing is formatted
# without a yes, and a refusal leaves every byte as it was
head -c 1474560 /dev/zero >c-zeros.img; tr '\0' '\366' <c-zeros.img >c-filler.img
head -c 1474560 /dev/urandom >c-random.img; cp c-zeros.img c-tar.img; tar cf - -C "$work" home | dd of=c-tar.img conv=notrunc status=none
cp c-zeros.img c-ext2.img && mkfs.ext2 -q c-ext2.img; cp twin.img c-hfs.img
for c in "zeros a blank disk" "filler a blank disk" "tar data of an unknown kind" \
         "random data of an unknown kind" "ext2 an ext2 file system" "hfs a Macintosh disk"; do
  read -r what name <<<"$c"
  for answer in none yes no -y; do
    cp "c-$what.img" t.img; sum=$(sha1sum <t.img) want=untouched
    case $answer in
      none | -y) "$tool" ${answer/none/} -L T t.img </dev/null >out.txt 2>&1 ;;
      *) (sleep 0.3; echo "$answer") | script -qec "'$tool' -L T t.img" /dev/null >out.txt 2>&1 ;;
    esac
    [ "$name" = "a blank disk" ] || [ "$answer" = yes ] || [ "$answer" = -y ] && want=complete
    got=$(state t.img "$sum")
    [ "$got" = "$want" ] && grep -q "t.img: $name" out.txt && ok "$what, answer $answer: $got" \
      || fail "$what, answer $answer: disk $got (want $want): $(tr '\r' '\n' <out.txt)"
  done
done

sum=$(sha1sum <mac.img)
refused "an empty label" "is empty" "$tool" -y -L "" mac.img
unchanged "an empty label" mac.img "$sum"

# --- every signal that would end the tool stops it between two steps. strace delivers the signal
# right after the Nth write to the image; what is left is the disk as it was, a disk that is no
# longer a Macintosh disk, or (after the last write) a complete volume.
if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
  # LeakSanitizer cannot run under ptrace; the sanitizer build would end with its error instead.
  export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
  declare -A lastWrite
  for kind in quick full; do
    cp twin.img sig.img
    strace -f -o writes.txt -e trace=pwrite64 "$tool" -q -y --$kind sig.img
    lastWrite[$kind]=$(grep -c pwrite64 writes.txt)
  done
  # signal number, format, write after which it comes ("last": the last one), what is left
  for c in "HUP 1 quick 1 untouched" "INT 2 full 2 untouched" "QUIT 3 quick 3 not-mac" \
           "USR1 10 full 40 not-mac" "USR2 12 quick 9 not-mac" "PIPE 13 full 165 not-mac" \
           "ALRM 14 quick 13 not-mac" "TERM 15 full 100 not-mac" "USR1 10 quick last complete" \
           "HUP 1 full last complete" "PIPE 13 quick last complete" "VTALRM 26 quick 5 not-mac"; do
    read -r sig num kind at want <<<"$c"
    [ "$at" = last ] && at=${lastWrite[$kind]}
    cp twin.img sig.img; sum=$(sha1sum <sig.img)
    strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:signal=$sig:when=$at \
      "$tool" -y --$kind -L Stopped sig.img >out.txt 2>err.txt
    rc=$? got=$(state sig.img "$sum")
    words='Format cancelled'; [ "$want" = complete ] && words='the volume is complete'
    [ $rc -eq $((128 + num)) ] && [ "$got" = "$want" ] && grep -q "SIG$sig.*$words\|$words.*SIG$sig" err.txt \
      && ok "SIG$sig after write $at of a $kind format: exit $rc, $got" \
      || fail "SIG$sig after write $at of a $kind format: exit $rc, disk $got (want $want), $(cat err.txt)"
  done
fi
# A pipe that closes under the tool's output does not stop the format.
cp twin.img piped.img
"$tool" -y --full -L Piped piped.img | head -c 1 >/dev/null
rc=${PIPESTATUS[0]}
[ "$rc" = 0 ] && [ "$(state piped.img x)" = complete ] && ok "| head: the format goes on to a complete volume" \
  || fail "| head: exit $rc, disk $(state piped.img x)"

# --- every kind of path as the target: the answer, and the path as it was unless it was to be
# written
mkdir -p paths && cd paths && chmod 0755 . .. && mkdir dir.img && mkfifo fifo.img
for f in regular ro unreadable; do cp ../twin.img $f.img; done; chmod 0444 ro.img; chmod 0 unreadable.img
ln -s regular.img link.img; ln -s nowhere.img dangling.img
as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
look() { stat -c '%F %s %Y' "$1" 2>/dev/null; [ -f "$1" ] && [ -r "$1" ] && sha1sum <"$1"; }
# path, exit status, words said, what becomes of it (formatted, created, unchanged), runs as
for c in "regular.img|0|formatted (quick)|formatted|" "missing.img|0|formatted|created|" \
         "dir.img|1|neither an image file nor a floppy drive|unchanged|" \
         "fifo.img|1|neither an image file nor a floppy drive|unchanged|" \
         "/dev/null|1|neither an image file nor a floppy drive|unchanged|" \
         "link.img|0|formatted (quick)|formatted|" \
         "dangling.img|1|symbolic link to a path that does not exist|unchanged|" \
         "ro.img|1|ro.img is read-only|unchanged|as_nobody" \
         "unreadable.img|1|unreadable.img: Permission denied|unchanged|as_nobody"; do
  IFS='|' read -r path want words becomes as <<<"$c"
  before=$(look "$path")
  $as timeout 20 "$tool" -y -L Paths "$path" </dev/null >out.txt 2>&1
  rc=$?
  case $becomes in
    unchanged) [ "$before" = "$(look "$path")" ] ;;
    *) [ "$(state "$path" x)" = complete ] && { [ -n "$before" ] || [ $becomes = created ]; } ;;
  esac
  kept=$?
  [ $rc -eq "$want" ] && [ $kept -eq 0 ] && grep -qF -- "$words" out.txt && ok "target $path: exit $rc, $becomes" \
    || fail "target $path: exit $rc (want $want), kept $kept, $(cat out.txt)"
done
[ -L link.img ] && [ -L dangling.img ] && [ ! -e nowhere.img ] && [ -p fifo.img ] && [ -d dir.img ] \
  && ok "links stay links, nothing is made through a dangling one" || fail "a path changed kind: $(ls -l)"
cd ..

# --- where images may be made
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  shm=/dev/shm/brind-$$.img; rm -f "$shm"
  "$tool" -q -L Shm "$shm" && [ "$(head -c 1026 "$shm" | tail -c 2)" = BD ] \
    && ok "an image in /dev/shm is created and formatted" || fail "image in /dev/shm"
  rm -f "$shm"
fi
mkdir -p small
if mount -t tmpfs -o size=512k tmpfs small 2>/dev/null; then
  refused "an image on a full file system" "No space left on device" "$tool" -y small/full.img
  [ ! -e small/full.img ] && ok "no partial image is left" || fail "small/full.img was left"
  umount small
fi

# --- output: one line per phase without a terminal
"$tool" -y --full -L Lines lines.img >out.txt 2>err.txt
[ "$(grep -c "" out.txt)" = 4 ] && grep -qx 'Formatting...' out.txt && grep -qx 'Creating File System...' out.txt \
  && ok "one line per phase" || fail "output without a terminal: $(cat out.txt)"
checked lines.img
"$tool" -q -y -L Quiet lines.img >out.txt 2>&1
[ ! -s out.txt ] && ok "-q prints nothing" || fail "-q printed: $(cat out.txt)"
"$tool" --help >out.txt 2>&1 && grep -q -- '--quick' out.txt && grep -q -- '--size' out.txt \
  && ok "--help" || fail "--help: $(cat out.txt)"
refused "--quick with --full" "excludes" "$tool" --quick --full x.img
"$tool" --version | grep -qx 'brindlewood-format [0-9.]*' && ok "--version" || fail "--version"

refused "a device path that names nothing" "no such device" "$tool" -y /dev/brind-no-such-drive
[ ! -e /dev/brind-no-such-drive ] && ok "no image is made under /dev" || { rm -f /dev/brind-no-such-drive; fail "an image was made under /dev"; }

# --- on a terminal: the question, and progress
if command -v script >/dev/null; then
  cp twin.img term.img; sum=$(sha1sum <term.img)
  (sleep 0.3; echo n) | script -qec "'$tool' -L Term term.img" /dev/null >out.txt 2>&1
  grep -q 'Disk is already in Macintosh format. Do you wish to continue with the format?' out.txt \
    && ok "the question is asked on a terminal" || fail "no question: $(cat out.txt)"
  unchanged "answered no" term.img "$sum"
  (sleep 0.3; echo y) | script -qec "'$tool' --full -L Term term.img" /dev/null >out.txt 2>&1
  tr '\r' '\n' <out.txt >lines.txt
  grep -q 'track 160 of 160' lines.txt && grep -q '7 of 7' lines.txt \
    && grep -q 'formatted (full) as "Term"' lines.txt \
    && ok "answered yes: progress by track and stage, then formatted" || fail "terminal run: $(cat lines.txt)"
  checked term.img
fi

# --- -d DIR: volumes filled from a folder. Each row makes a tree, formats it into an image, and
# hands the result to the oracles: brindlewood-check, hls -R (every entry of the tree and no
# other), and hcopy -m of every file (data fork, resource fork, type, creator, flags and dates
# against the source, the names through Python's own Mac Roman codec); without --macbinary,
# brindlewood-extract gives the tree back: the same files, forks, Finder information and times.
adouble() {  # path finder-info(hex, 32 bytes) resource-fork-text: an AppleDouble file
  python3 - "$@" <<'PY'
import struct, sys
path, finder, rsrc = sys.argv[1], bytes.fromhex(sys.argv[2]), sys.argv[3].encode()
entries = [(9, finder), (2, rsrc)]
head = struct.pack(">II16sH", 0x00051607, 0x00020000, b"Mac OS X", len(entries))
at, table, body = len(head) + 12 * len(entries), b"", b""
for kind, data in entries:
    table += struct.pack(">III", kind, at + len(body), len(data))
    body += data
open(path, "wb").write(head + table + body)
PY
}
mbin() {  # path mac-name data resource: a MacBinary II file
  PYTHONPATH=$hfsdir python3 -c "
import sys; from macbinary import macbinary
macbinary(sys.argv[1], sys.argv[2].encode('mac_roman'), sys.argv[3].encode(), sys.argv[4].encode())" "$@"
}
tree_plain() {
  mkdir -p src/Folder/Deeper src/Empty
  printf 'hello\n' >src/a.txt; : >src/zero; head -c 20000 /dev/urandom >src/Folder/Deeper/random.bin
  printf x >src/Folder/'na:me'; printf y >src/Folder/"$(printf 'caf\xc3\xa9')"
  printf z >src/Folder/"$(printf 'Cafe\xcc\x81 NFD')"; printf w >src/Folder/"$(printf '\xe2\x84\xa2 \xcf\x80')"
  touch -d '2001-02-03 04:05:06' src/a.txt
}
tree_appledouble() {
  mkdir -p src/Dir; printf 'data fork\n' >src/Doc; printf 'in a folder' >src/Dir/Note
  adouble src/._Doc 5445585474747874010000000000000000000000000000000000000000000000 "resource fork bytes"
  adouble src/._Dir 0000000000000000000000000000000000000000000000000000000000000000 ""
  adouble src/Dir/._Note 4150504c4d41435302000000000000000000000000000000000000000000000000 ""
  adouble src/._Gone 5445585474747874000000000000000000000000000000000000000000000000 "orphan"
  printf 'not AppleDouble' >src/._plain
}
tree_macbinary() {
  mkdir -p src; mbin src/app.bin "My Application" "the data" "the resources"
  mbin src/bad.bin "Bad CRC" "d" "r"; printf '\1' | dd of=src/bad.bin bs=1 seek=124 conv=notrunc status=none
  printf 'plain' >src/plain.txt
}
tree_specials() {
  mkdir -p src/real; printf 'kept' >src/real/file; ln -s /etc/passwd src/outside; ln -s / src/rootdir
  ln -s real src/inside; mkfifo src/fifo
}
tree_big() { mkdir -p src; head -c 3000000 /dev/urandom >src/one; head -c 600000 /dev/urandom >src/two; }
tree_small() { mkdir -p src; head -c 750000 /dev/urandom >src/one; }
# name | tree | options | image | what the format prints beyond the oracles (grep -F on stdout+stderr)
filled_rows=(
  "plain tree|tree_plain||plain.img|with 7 files and 3 folders"
  "AppleDouble forks and Finder information|tree_appledouble||ad.img|._Gone: skipped, an AppleDouble file of Gone"
  "MacBinary decoded with --macbinary|tree_macbinary|--macbinary|mb.img|with 3 files"
  "MacBinary copied as it is without --macbinary|tree_macbinary||mb2.img|with 3 files"
  "links, FIFOs: skipped, never followed or opened|tree_specials||sp.img|src/fifo: skipped, a FIFO"
  "--size auto: the smallest floppy|tree_small|--size auto|auto.img|formatted"
  "--size auto: whole megabytes|tree_big|--size auto|auto2.img|formatted"
  "a DiskCopy image|tree_small|--size 800K|dc.dc42|formatted"
  "over an existing volume, --date for all|tree_plain|-y --date 2020-01-02T03:04:05|lines.img|formatted"
)
compare_tree() {  # image macbinary-flag date-for-all(or "") extracted-folder(or "")
  python3 - "$@" <<'PY'
import os, struct, subprocess, sys, time, unicodedata
image, macbin, one_date, back = sys.argv[1], sys.argv[2] == "1", sys.argv[3], sys.argv[4]
bad = []
def hfs_date(t):
    tm = time.localtime(t)
    days = (time.mktime((tm.tm_year, tm.tm_mon, tm.tm_mday, 0, 0, 0, 0, 0, -1)) - time.mktime((1904, 1, 1, 0, 0, 0, 0, 0, -1)))
    return round(days / 86400) * 86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec
def mac(name):
    return unicodedata.normalize("NFC", name.replace(":", "/")).encode("mac_roman")
def appledouble(path):
    fi, rsrc = bytes(32), b""
    if os.path.exists(path):
        b = open(path, "rb").read()
        for k in range(struct.unpack(">H", b[24:26])[0]):
            kind, at, n = struct.unpack(">III", b[26 + 12 * k:38 + 12 * k])
            fi = b[at:at + 32].ljust(32, b"\0") if kind == 9 else fi
            rsrc = b[at:at + n] if kind == 2 else rsrc
    return fi, rsrc
expected = set()
for root, dirs, files in os.walk("src"):
    for name in dirs + files:
        path = os.path.join(root, name)
        rel = [mac(p) for p in os.path.relpath(path, "src").split("/")]
        if os.path.islink(path) or not (os.path.isdir(path) or os.path.isfile(path)):
            continue
        body = open(path, "rb").read() if os.path.isfile(path) else b""
        if name.startswith("._") and body[:4] == b"\0\5\x16\7":
            continue
        fi, rsrc = appledouble(os.path.join(root, "._" + name))
        data, created = body, None
        if macbin and body[:1] == b"\0" and len(body) >= 128:
            import binascii
            if binascii.crc_hqx(body[:124], 0) == struct.unpack(">H", body[124:126])[0]:
                dl, rl = struct.unpack(">II", body[83:91])
                rel[-1] = body[2:2 + body[1]]
                data, rsrc = body[128:128 + dl], body[128 + (dl + 127) // 128 * 128:][:rl]
                fi = body[65:73] + bytes([body[73], body[101]]) + bytes(22)
        expected.add(b":".join(rel))
        if os.path.isdir(path):
            continue
        out = subprocess.run(["hcopy", "-m", b":" + b":".join(rel), "out.bin"], capture_output=True)
        if out.returncode:
            bad.append(f"hcopy -m {rel}: {out.stderr}")
            continue
        m = open("out.bin", "rb").read()
        dl, rl = struct.unpack(">II", m[83:91])
        got_data, got_rsrc = m[128:128 + dl], m[128 + (dl + 127) // 128 * 128:][:rl]
        got_fi = m[65:73] + bytes([m[73], m[101]])
        if got_data != data or got_rsrc != rsrc or got_fi != fi[:10]:
            bad.append(f"{rel}: forks or Finder information differ")
        want = one_date or hfs_date(os.stat(path).st_mtime)
        if not macbin and struct.unpack(">I", m[95:99])[0] != int(want):
            bad.append(f"{rel}: modified {struct.unpack('>I', m[95:99])[0]}, expected {want}")
        if back:  # the Linux name back: ":" as it was, accents composed
            there = os.path.join(back, unicodedata.normalize("NFC", os.path.relpath(path, "src")))
            try:
                got_fi, got_rsrc = appledouble(os.path.join(os.path.dirname(there), "._" + os.path.basename(there)))
                if open(there, "rb").read() != data or got_rsrc != rsrc or got_fi[:10] != fi[:10]:
                    bad.append(f"extract {rel}: forks or Finder information differ")
                if not one_date and int(os.stat(there).st_mtime) != int(os.stat(path).st_mtime):
                    bad.append(f"extract {rel}: modified {os.stat(there).st_mtime}, not {os.stat(path).st_mtime}")
            except OSError as e:
                bad.append(f"extract {rel}: {e}")
listing = subprocess.run(["hls", "-R", "-1", "-a"], capture_output=True).stdout
found, folder = set(), b""
for line in listing.split(b"\n"):
    if line.endswith(b":") and line.startswith(b":"):
        folder = line[1:]
    elif line:
        found.add(folder + line)
if found != expected:
    bad.append(f"hls -R: {sorted(found ^ expected)}")
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY
}
for row in "${filled_rows[@]}"; do
  IFS='|' read -r name make opts img says <<<"$row"
  rm -rf src; [ "$img" = lines.img ] || rm -f "$img"; $make
  one=""; [[ $opts == *--date* ]] && one=$(python3 -c "import datetime; print(int((datetime.datetime(2020,1,2,3,4,5)-datetime.datetime(1904,1,1)).total_seconds()))")
  timeout 60 "$tool" -L Filled $opts -d src "$img" >out.txt 2>&1; rc=$?
  [ $rc -eq 0 ] && grep -qF -- "$says" out.txt && ok "$name: formatted" || { fail "$name: exit $rc, $(cat out.txt)"; continue; }
  checked "$img"
  if [[ $img == *.dc42 ]]; then tail -c +85 "$img" >dc-raw.img; h hmount dc-raw.img >/dev/null
  else h hmount "$img" >/dev/null; fi
  back=""
  if [[ $opts != *--macbinary* ]]; then
    rm -rf back; back=back
    "$extractor" -q "$img" back >out.txt 2>&1 || fail "$name: brindlewood-extract: $(cat out.txt)"
  fi
  diffs=$(compare_tree "$img" "$([[ $opts == *--macbinary* ]] && echo 1 || echo 0)" "$one" "$back") \
    && ok "$name: hls -R, hcopy -m${back:+ and brindlewood-extract} give the tree back" || fail "$name: $diffs"
  h humount >/dev/null
done
[ "$(stat -c %s auto.img)" = 819200 ] && ok "--size auto: 750,000 bytes take an 800K volume" || fail "auto.img: $(stat -c %s auto.img)"
[ "$(stat -c %s auto2.img)" = 4194304 ] && ok "--size auto: 3.6 MB take 4M" || fail "auto2.img: $(stat -c %s auto2.img)"
[ "$(head -c 7 dc.dc42 | tail -c 6)" = Filled ] && ok "the DiskCopy image is named after the volume" || fail "dc.dc42 header"

# An image inside DIR is not read into the volume that overwrites it.
rm -rf src; tree_small; "$tool" -q -d src src/inner.img && "$tool" -y -d src src/inner.img >out.txt 2>&1 \
  && grep -qF 'src/inner.img: skipped, the image being formatted' out.txt && h hmount src/inner.img >/dev/null \
  && [ "$(h hls -1)" = one ] && ok "the image inside DIR is skipped" || fail "image in DIR: $(cat out.txt)"
h humount >/dev/null

# The same tree gives the same bytes under SOURCE_DATE_EPOCH, whatever the files' times.
rm -rf src; tree_appledouble
SOURCE_DATE_EPOCH=1700000000 "$tool" -q -d src same1.img && touch src/Doc src/Dir/Note && sleep 1 \
  && SOURCE_DATE_EPOCH=1700000000 "$tool" -q -d src same2.img && cmp -s same1.img same2.img \
  && ok "SOURCE_DATE_EPOCH: the same tree gives the same bytes" || fail "SOURCE_DATE_EPOCH: the volumes differ"

# --- trees and options refused before anything is written: each names every path at fault
long=abcdefghijklmnopqrstuvwxyz012345
refused_rows=(
  "a name of 32 characters|mkdir -p src/d && : >src/d/$long|twin.img||$long: is 32 Macintosh characters long"
  "a character the Macintosh lacks|mkdir src && : >src/$(printf '\xe6\x97\xa5')|twin.img||has the character U+65E5"
  "names equal but for case|mkdir src && : >'src/Read Me' && : >'src/READ ME'|twin.img||src/Read Me: is the same name on the volume as \"READ ME\""
  "names not UTF-8, shown escaped|mkdir src && : >src/$(printf 'a\xff')|twin.img||src/a\\xFF: is not valid UTF-8"
  "a control character, shown escaped|mkdir src && : >\"src/a\$(printf '\\t')b\"|twin.img||src/a\\x09b: has a control character"
  "every fault listed|mkdir -p src/x && : >src/x/$long && : >src/x/A && : >src/x/a && : >src/$(printf '\xe6\x97\xa5')|twin.img||3 names in src cannot go"
  "a damaged AppleDouble file|mkdir src && : >src/f && printf '\0\5\26\7\0\2\0\0%16s\0\1\0\0\0\2\0\0\0\60\0\0\1\0' '' >src/._f|twin.img||src/._f: has AppleDouble entry 2 past its end"
  "a MacBinary name of 40 characters|mkdir src && mbin src/x.bin ${long}abcdefgh '' ''|twin.img|--macbinary|holds the MacBinary name"
  "a tree larger than the image|mkdir src && head -c 1500000 /dev/zero >src/big|twin.img||The smallest volume that holds them is 2880K"
  "a tree larger than any DiskCopy image|mkdir src && head -c 1500000 /dev/zero >src/big|new.dc42|--size auto|fit on no DiskCopy 4.2 image"
  "a tree larger than 2G|mkdir src && truncate -s 3G src/huge|new.img|--size auto|fit on no volume of up to 2G"
  "--size auto without -d|mkdir src|new.img|--size auto -d|--size auto sizes a volume"
  "--size auto on an existing image|mkdir src|twin.img|--size auto|keeps its size; --size auto sizes a new image"
  "a folder that is not there|:|twin.img||cannot read the folder src"
  "a file as the folder|: >src|twin.img||cannot read the folder src: Not a directory"
  "folders 129 deep|mkdir -p src/$(printf 'd/%.0s' $(seq 129))|twin.img||lies more than 128 folders deep"
  "a FIFO as the folder, never opened|mkfifo src|twin.img||cannot read the folder src: Not a directory"
  "a bad SOURCE_DATE_EPOCH|mkdir src|twin.img|SOURCE_DATE_EPOCH=soon|SOURCE_DATE_EPOCH=soon is not a number"
  "a SOURCE_DATE_EPOCH past HFS's last date|mkdir src|twin.img|SOURCE_DATE_EPOCH=2212122496|seconds from 1970 to 2040"
)
for row in "${refused_rows[@]}"; do
  IFS='|' read -r name make img opts text <<<"$row"
  rm -rf src; eval "$make"
  env=(); [[ $opts == SOURCE_DATE_EPOCH=* ]] && env=("$opts") opts=""
  if [ -e "$img" ]; then sum=$(sha1sum <"$img"); fi
  if [ "$opts" = "--size auto -d" ]; then
    refused "$name" "$text" timeout 20 env "${env[@]}" "$tool" -y --size auto "$img"
  else
    refused "$name" "$text" timeout 20 env "${env[@]}" "$tool" -y $opts -d src "$img"
  fi
  if [ "$img" = twin.img ]; then unchanged "$name" "$img" "$sum"
  else [ ! -e "$img" ] && ok "$name: no image made" || { fail "$name: $img was made"; rm -f "$img"; }; fi
done

echo "$failures failure(s)"
[ $failures -eq 0 ]
