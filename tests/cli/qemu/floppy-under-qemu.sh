#!/usr/bin/env bash
# The floppy block-device path for real: a Linux guest (Debian's kernel, a small initramfs with
# busybox and the static brindlewood-format) formats the emulated drive A: (-fda) and a
# write-protected drive B:. The image of A: must then equal a native full format of an image,
# byte for byte, and B: must be refused as write-protected and left unchanged. A third guest
# has USB mass-storage devices: removable 1.44 MB disks (one write-protected) and a 16 MB one.
# usage: floppy-under-qemu.sh TOOL WORKDIR CACHEDIR
set -uo pipefail
tool=$1 work=$2 cache=$3
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
static() { ! ldd "$1" >/dev/null 2>&1; }  # ldd refuses a static program
[ -x /bin/busybox ] && static /bin/busybox || skip "no static busybox (busybox-static)"
static "$tool" || skip "$tool is not linked statically"

# Debian's kernel and the modules of its floppy and USB storage drivers (in the order they load).
modules="floppy scsi_common scsi_mod crct10dif_common crc-t10dif crc64 crc64-rocksoft t10-pi sd_mod
  usb-common usbcore ehci-hcd ehci-pci usb-storage"
. "$here/kernel-cache.sh"
# shellcheck disable=SC2086
why=$(kernel_with_modules "$cache" $modules) || skip "$why"
# shellcheck disable=SC2086
kernel_with_modules "$cache" $modules >/dev/null

rm -rf "$work"; mkdir -p "$work/root/bin"
cp /bin/busybox "$work/root/bin/busybox"
cp "$tool" "$work/root/brindlewood-format"
mkdir -p "$work/root/modules"
for m in $modules; do cp "$cache/$m.ko" "$work/root/modules/"; done
cp "$here/init.sh" "$work/root/init"; chmod +x "$work/root/init"
(cd "$work/root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"

python3 -c "
import sys
open('$work/a.img','wb').write(bytes((i * 7 + 3) & 0xFF for i in range(1474560)))
open('$work/b.img','wb').write(bytes((i * 5 + 1) & 0xFF for i in range(1474560)))"
cp "$work/b.img" "$work/b.orig"; cp "$work/a.img" "$work/a.orig"
# USB: a Macintosh disk for the quick format (made natively; the native quick format of a copy
# is what the guest must write), a disk for the full format, a protected one, a 16 MB stick.
"$tool" -q -L "Before" "$work/uq.img"
cp "$work/uq.img" "$work/native-quick.img"
"$tool" -q -y --quick -L "From USB" "$work/native-quick.img"
cp "$work/a.orig" "$work/uf.img"; cp "$work/b.orig" "$work/up.img"; cp "$work/up.img" "$work/up.orig"
head -c 16777216 /dev/zero >"$work/stick.img"

# Emulated, not accelerated: the guest is small, and KVM inside a virtual machine is not
# dependable. no_timer_check: on a busy host the emulated timer can miss the kernel's check.
timeout 240 qemu-system-x86_64 -m 256 -nodefaults -no-reboot -display none \
  -serial "file:$work/console.log" -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1 no_timer_check" \
  -drive if=floppy,index=0,format=raw,file="$work/a.img" \
  -drive if=floppy,index=1,format=raw,file="$work/b.img",readonly=on
# A drive with no disk in it, and a 2.88 MB drive. The serial line and qemu's monitor are sockets:
# at each Retry question the host puts a disk in the drive and answers r.
# The writable disk is blank, so that the Retries are the only questions.
cp "$work/b.orig" "$work/retry-protected.img"; head -c 1474560 /dev/zero >"$work/retry.img"
timeout 240 qemu-system-x86_64 -m 256 -nodefaults -no-reboot -display none \
  -serial "unix:$work/serial.sock,server=on,wait=on" -monitor "unix:$work/monitor.sock,server=on,wait=off" \
  -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1 no_timer_check brindcase=nodisk" \
  -drive if=none,id=fd0media -device floppy,unit=0,drive=fd0media,drive-type=144 \
  -device floppy,unit=1,drive-type=288 &
qemu=$!
python3 - "$work" <<'PY' || echo "the serial line of the guest with an empty drive failed"
import socket, sys, time
work = sys.argv[1]
def connect(name):
    for _ in range(100):
        try:
            s = socket.socket(socket.AF_UNIX)
            s.connect(f"{work}/{name}")
            return s
        except OSError:
            time.sleep(0.1)
    raise SystemExit(f"no {name}")
serial, log, seen = connect("serial.sock"), open(f"{work}/nodisk.log", "wb"), b""
serial.settimeout(180)
def until(text):
    global seen
    while text not in seen:
        data = serial.recv(4096)
        if not data:
            raise SystemExit(f"the guest ended before {text}")
        seen += data
        log.write(data)
def insert(image, mode):
    monitor = connect("monitor.sock")
    monitor.sendall(f"change fd0media {work}/{image} raw {mode}\n".encode())
    time.sleep(1)
    monitor.close()
    serial.sendall(b"r\n")
until(b"RESULT prompt 1")
insert("retry-protected.img", "read-only")
until(b"RESULT prompt 2")
insert("retry.img", "read-write")
until(b"RESULT done")
while data := serial.recv(4096):
    log.write(data)
PY
wait $qemu
usb() {  # serial, image, extra drive options
  echo "-drive if=none,id=$1,format=raw,file=$2${3:-} -device usb-storage,bus=ehci.0,drive=$1,serial=$1,removable=on"
}
timeout 240 qemu-system-x86_64 -m 256 -nodefaults -no-reboot -display none \
  -serial "file:$work/usb.log" -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1 no_timer_check brindcase=usb" -device usb-ehci,id=ehci \
  -trace enable=scsi_req_parsed -D "$work/usb-trace.log" \
  $(usb QUICK "$work/uq.img") $(usb FULL "$work/uf.img") $(usb PROT "$work/up.img" ,readonly=on) \
  $(usb STICK "$work/stick.img")
grep -a -E '^(RESULT|OUTPUT)' "$work/console.log" "$work/nodisk.log" "$work/usb.log"

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
# After each Retry the drive is opened again for direct writes: the protected disk is found
# protected at once (not at the final flush), and the writable one is formatted.
grep -aq 'OUTPUT retry: .*There is no disk in this drive.*click retry.*write protected.*click retry' "$work/nodisk.log" \
  && grep -aq 'RESULT retry exit=0' "$work/nodisk.log" && cmp -s "$work/retry-protected.img" "$work/b.orig" \
  && HOME=$work hmount "$work/retry.img" >/dev/null 2>&1 && HOME=$work hvol 2>&1 | grep -q 'Volume name is "Retry"' \
  && ok "Retry with no disk, then a protected disk, then a writable one" || fail "Retry on the terminal"

"$tool" -q --full -L "From A Guest" "$work/native.img"
"$tool" -q --full -L "Full USB" "$work/native-full.img"
# The file system's sectors must be those of a native format. The emulated drive's track format
# may or may not fill the other sectors, so those may hold the filler or what was there.
same_volume() {  # disk, native image, the disk before
  python3 - "$@" <<'PY'
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
}
same_volume "$work/a.img" "$work/native.img" "$work/a.orig" && ok "the drive's disk holds the same volume as a native full format" || fail "the drive's disk differs from a native full format"
grep -aq 'RESULT usb-done' "$work/usb.log" || fail "the USB guest did not finish (see $work/usb.log)"
grep -aq 'RESULT usbquick exit=0' "$work/usb.log" && cmp -s "$work/uq.img" "$work/native-quick.img" \
  && ok "a quick format of a USB drive writes what the native tool writes on an image" \
  || fail "quick format over USB"
if grep -aq 'RESULT usbfull exit=0' "$work/usb.log"; then
  same_volume "$work/uf.img" "$work/native-full.img" "$work/a.orig" \
    && ok "a full format of a USB drive runs end to end" || fail "the full format over USB differs from a native one"
  # Where qemu logs its SCSI commands: one FORMAT UNIT (opcode 4) per track reached the disk.
  if [ -s "$work/usb-trace.log" ]; then
    n=$(awk '/scsi_req_parsed/ && $9 == 4' "$work/usb-trace.log" | wc -l)
    [ "$n" = 160 ] && ok "160 tracks formatted with FORMAT UNIT" || fail "$n FORMAT UNIT commands"
  fi
else
  # The emulated disk is a plain SCSI disk without the floppy's FORMAT UNIT: the user is told,
  # and nothing of the file system is written.
  grep -aq 'OUTPUT usbfull: .*Brindlewood cannot format this drive, because the drive is invalid' "$work/usb.log" \
    && cmp -s "$work/uf.img" "$work/a.orig" && ok "a drive that refuses FORMAT UNIT is reported, nothing written" \
    || fail "full format over USB"
fi
grep -aq 'RESULT usbprot exit=1' "$work/usb.log" && grep -aq 'OUTPUT usbprot: .*write protected' "$work/usb.log" \
  && cmp -s "$work/up.img" "$work/up.orig" && ok "a write-protected USB disk is refused as such" || fail "protected USB disk"
grep -aq 'OUTPUT usbstick: .*is not a floppy drive (a removable disk of 16 MB)' "$work/usb.log" \
  && ok "a 16 MB USB disk is refused as not a floppy drive" || fail "16 MB USB disk"

mkdir -p "$work/home"
HOME=$work/home hmount "$work/a.img" >/dev/null 2>&1 && HOME=$work/home hvol 2>&1 | grep -q 'Volume name is "From A Guest"' \
  && ok "hfsutils reads the volume" || fail "hfsutils cannot read the volume"
echo "$failures failure(s)"
[ $failures -eq 0 ]
