#!/usr/bin/env bash
# The floppy block-device path for real: a Linux guest (Debian's kernel, a small initramfs with
# busybox and the static brindlewood-format) formats the emulated drive A: (-fda) and a
# write-protected drive B:. The image of A: must then equal a native full format of an image,
# byte for byte, and B: must be refused as write-protected and left unchanged.
# usage: floppy-under-qemu.sh TOOL WORKDIR CACHEDIR
set -uo pipefail
tool=$1 work=$2 cache=$3
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
static() { ! ldd "$1" >/dev/null 2>&1; }  # ldd refuses a static program
[ -x /bin/busybox ] && static /bin/busybox || skip "no static busybox (busybox-static)"
static "$tool" || skip "$tool is not linked statically"

# Debian's kernel and its floppy driver, fetched once into the cache.
mkdir -p "$cache"
if ! ls "$cache"/vmlinuz-* >/dev/null 2>&1; then
  package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ {print $2; exit}')
  [ -n "$package" ] || skip "no Debian kernel package known to apt"
  (cd "$cache" && apt-get download "$package" >/dev/null 2>&1) || skip "cannot download $package"
  deb=$(ls "$cache"/*.deb | head -1)
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$cache" --wildcards './boot/vmlinuz-*' '*/drivers/block/floppy.ko*'
  cp "$cache"/boot/vmlinuz-* "$cache"/
  find "$cache/lib" -name 'floppy.ko*' -exec cp {} "$cache"/ \;
  rm -rf "$cache/boot" "$cache/lib" "$deb"
fi
kernel=$(ls "$cache"/vmlinuz-* | head -1)
module=$(ls "$cache"/floppy.ko* | head -1)
case "$module" in *.xz) xz -dc "$module" >"$cache/floppy.ko"; module=$cache/floppy.ko ;; esac

rm -rf "$work"; mkdir -p "$work/root/bin"
cp /bin/busybox "$work/root/bin/busybox"
cp "$tool" "$work/root/brindlewood-format"
cp "$module" "$work/root/floppy.ko"
cp "$here/init.sh" "$work/root/init"; chmod +x "$work/root/init"
(cd "$work/root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"

python3 -c "
import sys
open('$work/a.img','wb').write(bytes((i * 7 + 3) & 0xFF for i in range(1474560)))
open('$work/b.img','wb').write(bytes((i * 5 + 1) & 0xFF for i in range(1474560)))"
cp "$work/b.img" "$work/b.orig"; cp "$work/a.img" "$work/a.orig"

# Emulated, not accelerated: the guest is small, and KVM inside a virtual machine is not
# dependable.
timeout 240 qemu-system-x86_64 -m 256 -nodefaults -no-reboot -display none \
  -serial "file:$work/console.log" -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1" \
  -drive if=floppy,index=0,format=raw,file="$work/a.img" \
  -drive if=floppy,index=1,format=raw,file="$work/b.img",readonly=on
# A drive with no disk in it, and a 2.88 MB drive.
timeout 240 qemu-system-x86_64 -m 256 -nodefaults -no-reboot -display none \
  -serial "file:$work/nodisk.log" -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1 brindcase=nodisk" -device floppy,unit=0,drive-type=144 \
  -device floppy,unit=1,drive-type=288
grep -a -E '^(RESULT|OUTPUT)' "$work/console.log" "$work/nodisk.log"

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
grep -aq 'RESULT done' "$work/console.log" || fail "the guest did not finish (see $work/console.log)"
grep -aq 'RESULT full exit=0' "$work/console.log" && ok "full format of /dev/fd0" || fail "full format of /dev/fd0"
grep -aq 'RESULT quick exit=0' "$work/console.log" && ok "quick format of /dev/fd0" || fail "quick format of /dev/fd0"
grep -aq 'OUTPUT quick: /dev/fd0: a Macintosh disk named "From A Guest"' "$work/console.log" \
  && ok "the guest saw its own volume" || fail "the look before the quick format"
grep -aq 'RESULT protected exit=1' "$work/console.log" && grep -aq 'OUTPUT protected: .*write protected' "$work/console.log" \
  && ok "a write-protected drive is refused as such" || fail "write-protected drive"
grep -aq 'RESULT nodevice exit=1' "$work/console.log" && grep -aq 'OUTPUT nodevice: .*no such device' "$work/console.log" \
  && ok "a device path that names nothing is not made an image" || fail "missing device"
grep -aq 'RESULT nodisk exit=1' "$work/nodisk.log" && grep -aq 'OUTPUT nodisk: .*There is no disk in this drive' "$work/nodisk.log" \
  && ok "a drive without a disk says so" || fail "drive without a disk"
grep -aq 'OUTPUT type288: .*not a 3.5-inch 1.44 MB drive' "$work/nodisk.log" \
  && ok "a 2.88 MB drive is refused" || fail "2.88 MB drive"
cmp -s "$work/b.img" "$work/b.orig" && ok "the write-protected disk is unchanged" || fail "B: changed"

"$tool" -q --full -L "From A Guest" "$work/native.img"
# The file system's sectors must be those of a native format. The emulated controller's track
# format may or may not fill the other sectors, so those may hold the filler or what was there.
python3 - "$work/a.img" "$work/native.img" "$work/a.orig" <<'PY' && ok "the drive's disk holds the same volume as a native full format" || fail "the drive's disk differs from a native full format"
import sys
a, native, orig = (open(p, 'rb').read() for p in sys.argv[1:4])
sec = lambda data, s: data[s * 512:(s + 1) * 512]
filesystem = [s for s in range(48) if s != 5] + [2878]
bad = [s for s in filesystem if sec(a, s) != sec(native, s)]
bad += [s for s in range(2880) if s not in filesystem and sec(a, s) not in (sec(orig, s), b'\xf6' * 512)]
if bad:
    print("sectors that differ:", bad[:20])
sys.exit(1 if bad else 0)
PY
mkdir -p "$work/home"
HOME=$work/home hmount "$work/a.img" >/dev/null 2>&1 && HOME=$work/home hvol 2>&1 | grep -q 'Volume name is "From A Guest"' \
  && ok "hfsutils reads the volume" || fail "hfsutils cannot read the volume"
echo "$failures failure(s)"
[ $failures -eq 0 ]
