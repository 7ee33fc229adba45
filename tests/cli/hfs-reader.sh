#!/usr/bin/env bash
# Images written by brindlewood-format, read and written by hfsutils as an independent reader,
# and the tool's refusals; brindlewood-check passes every volume written. usage: hfs-reader.sh
# TOOL WORKDIR CHECKER
set -uo pipefail
tool=$(realpath "$1") work=$2 checker=$(realpath "$3")
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

cp twin.img ro.img; chmod 0444 ro.img; sum=$(sha1sum <ro.img)
refused "read-only image" "write protected" setpriv --reuid=65534 --regid=65534 --clear-groups "$tool" -y ro.img
unchanged "read-only image" ro.img "$sum"

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
sum=$(sha1sum <mac.img)
refused "an empty label" "is empty" "$tool" -y -L "" mac.img
unchanged "an empty label" mac.img "$sum"

# --- Ctrl-C and SIGTERM stop between two steps; every write is slowed so the signal lands
# in the middle
interrupted() {  # signal, expected exit, the phase to signal in, tool arguments...
  local sig=$1 want=$2 phase=$3; shift 3
  rm -f out.txt
  # LeakSanitizer cannot run under ptrace; the sanitizer build would end with its error instead.
  ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:delay_exit=100000 \
    sh -c 'echo $$ >pid.txt; exec "$0" "$@"' "$tool" "$@" >out.txt 2>err.txt &
  local strace=$! i
  for i in $(seq 100); do grep -q "$phase" out.txt 2>/dev/null && break; sleep 0.1; done
  sleep 0.3  # a few writes into the phase
  kill -"$sig" "$(cat pid.txt)"
  wait $strace
  local rc=$?
  [ $rc -eq "$want" ] && grep -q 'Format cancelled' err.txt && ok "$sig: cancelled, exit $want" \
    || fail "$sig: exit $rc, $(cat err.txt)"
}
if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
  cp twin.img int.img
  interrupted INT 130 Formatting -y --full -L Stopped int.img
  [ "$(head -c 1026 int.img | tail -c 2)" != BD ] && ! cmp -s int.img twin.img \
    && ok "a stopped full format leaves no Macintosh disk" || fail "after SIGINT the disk still reads as before"
  cp twin.img term.img
  interrupted TERM 143 "Creating File System" -y --quick -L Stopped term.img
  [ "$(head -c 1026 term.img | tail -c 2)" != BD ] && ok "a stopped quick format is no Macintosh disk" \
    || fail "after SIGTERM the quick-formatted disk still reads as Macintosh"
fi

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

echo "$failures failure(s)"
[ $failures -eq 0 ]
