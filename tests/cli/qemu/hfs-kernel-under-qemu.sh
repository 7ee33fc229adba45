#!/usr/bin/env bash
# A volume written by the Linux kernel's own hfs driver: a guest (Debian's kernel, a busybox
# initramfs) mounts an hformat floppy, makes nested folders and files and unmounts it (the
# driver's "FILE/rsrc" no longer opens on today's kernels, so resource forks come from hfsutils
# in the other tests); brindlewood-check must then find the volume sound, and hfsutils read the files.
# usage: hfs-kernel-under-qemu.sh CHECKER WORKDIR CACHEDIR
set -uo pipefail
checker=$1 work=$2 cache=$3
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
[ -x /bin/busybox ] && ! ldd /bin/busybox >/dev/null 2>&1 || skip "no static busybox (busybox-static)"
command -v hformat >/dev/null || skip "no hfsutils"
. "$here/kernel-cache.sh"
# hfs needs cdrom (for its CD-ROM session lookup).
why=$(kernel_with_modules "$cache" floppy cdrom hfs) || skip "$why"
kernel_with_modules "$cache" floppy cdrom hfs >/dev/null

rm -rf "$work"; mkdir -p "$work/root/bin" "$work/root/proc" "$work/root/sys" "$work/root/dev" "$work/home"
export HOME=$work/home
cp /bin/busybox "$work/root/bin/busybox"
cp "$cache/floppy.ko" "$cache/cdrom.ko" "$cache/hfs.ko" "$work/root/"
cat >"$work/root/init" <<'GUEST'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
insmod /floppy.ko
insmod /cdrom.ko
insmod /hfs.ko
for i in 1 2 3 4 5 6 7 8 9 10; do [ -b /dev/fd0 ] && break; sleep 0.5; done
mkdir /mnt
if mount -t hfs /dev/fd0 /mnt; then
  mkdir -p /mnt/Kernel/Nested/Deeper /mnt/Other
  for i in $(seq 1 40); do
    dd if=/dev/urandom of="/mnt/Kernel/File $i" bs=512 count=$i 2>/dev/null
  done
  for i in $(seq 1 12); do echo "deep $i" >"/mnt/Kernel/Nested/Deeper/Leaf $i"; done
  echo other >/mnt/Other/note
  # Names whose order is the driver's own: case and accented letters (Macintosh codes, octal).
  for n in apple Apple2 zulu ZEBRA "$(printf 'caf\216')" "$(printf '\200pfel')" "$(printf '\205l')"; do
    echo "$n" >"/mnt/Other/$n"
  done
  echo "RESULT written $(ls /mnt/Kernel | wc -l)"
  umount /mnt && echo "RESULT unmounted"
fi
echo "RESULT done"
poweroff -f
GUEST
chmod +x "$work/root/init"
(cd "$work/root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"
truncate -s 1474560 "$work/kernel.img"
hformat -l "Kernel Written" "$work/kernel.img" >/dev/null

timeout 240 qemu-system-x86_64 -m 256 -nodefaults -no-reboot -display none \
  -serial "file:$work/console.log" -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1" -drive if=floppy,index=0,format=raw,file="$work/kernel.img"
grep -a '^RESULT' "$work/console.log"

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
grep -aq 'RESULT written 41' "$work/console.log" && grep -aq 'RESULT unmounted' "$work/console.log" \
  && ok "the guest's hfs driver wrote folders and files" || fail "the guest (see $work/console.log)"
out=$("$checker" -v "$work/kernel.img" 2>&1); rc=$?
echo "$out" | grep -E '^(ERROR|WARNING)|files,'
[ $rc -eq 0 ] && ok "brindlewood-check finds the kernel's volume sound" || fail "brindlewood-check exit $rc"
grep -q '"Kernel Written": 60 files, 4 folders' <<<"$out" && ok "it counts 60 files and 4 folders" \
  || fail "the summary"
hmount "$work/kernel.img" >/dev/null 2>&1 && [ "$(hcopy -r ':Kernel:Nested:Deeper:Leaf 7' - 2>/dev/null)" = "deep 7" ] \
  && ok "hfsutils reads a file the kernel wrote" || fail "hfsutils cannot read the kernel's files"
humount >/dev/null 2>&1
echo "$failures failure(s)"
[ $failures -eq 0 ]
