#!/usr/bin/env bash
# A volume written by the Linux kernel's own hfs driver: a guest (Debian's kernel, a busybox
# initramfs) mounts an hformat floppy, makes nested folders and files and unmounts it (the
# driver's "FILE/rsrc" no longer opens on today's kernels, so resource forks come from hfsutils
# in the other tests); brindlewood-check must then find the volume sound, and hfsutils read the files.
# Given brindlewood-format, the same guest also mounts its 400K, 800K and 100M volumes as virtio
# disks and lists them; on the two floppies it writes a file and reads it back after a remount.
# (The guest's driver never finishes writing a first file to a new 100M volume, hformat's as
# much as ours: it hangs in sync. So that one is only mounted and listed.) A fourth disk is an 800K
# volume filled from a folder with -d: the driver finds a file through the catalog's index
# nodes and reads it back.
# usage: hfs-kernel-under-qemu.sh CHECKER WORKDIR CACHEDIR [FORMAT_TOOL]
set -uo pipefail
checker=$1 work=$2 cache=$3 format=${4:-}
sizes=(400K 800K 100M)
virtio=(virtio virtio_ring virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci virtio_blk)
[ -n "$format" ] || virtio=()
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
[ -x /bin/busybox ] && ! ldd /bin/busybox >/dev/null 2>&1 || skip "no static busybox (busybox-static)"
command -v hformat >/dev/null || skip "no hfsutils"
. "$here/kernel-cache.sh"
# hfs needs cdrom (for its CD-ROM session lookup).
why=$(kernel_with_modules "$cache" floppy cdrom hfs "${virtio[@]}") || skip "$why"
kernel_with_modules "$cache" floppy cdrom hfs "${virtio[@]}" >/dev/null

rm -rf "$work"; mkdir -p "$work/root/bin" "$work/root/proc" "$work/root/sys" "$work/root/dev" "$work/home"
export HOME=$work/home
cp /bin/busybox "$work/root/bin/busybox"
for m in floppy cdrom hfs "${virtio[@]}"; do cp "$cache/$m.ko" "$work/root/"; done
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
if [ -e /virtio_blk.ko ]; then
  for m in virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci virtio_blk; do
    insmod /$m.ko
  done
  for i in 1 2 3 4 5 6 7 8 9 10; do [ -b /dev/vdd ] && break; sleep 0.5; done
  for d in vda vdb vdc; do
    mkdir -p /$d
    mount -t hfs /dev/$d /$d && ls -a /$d >/dev/null && umount /$d && echo "RESULT $d listed"
    [ $d = vdc ] && continue
    mount -t hfs /dev/$d /$d && echo "from the guest $d" >"/$d/Guest File" && umount /$d \
      && mount -t hfs -o ro /dev/$d /$d && echo "RESULT $d $(cat "/$d/Guest File")" && umount /$d
  done
  mkdir /vdd && mount -t hfs -o ro /dev/vdd /vdd \
    && echo "RESULT filled $(ls /vdd/Folder | wc -l) $(cat "/vdd/Folder/Inner/Note 7")" && umount /vdd
fi
echo "RESULT done"
poweroff -f
GUEST
chmod +x "$work/root/init"
(cd "$work/root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"
truncate -s 1474560 "$work/kernel.img"
hformat -l "Kernel Written" "$work/kernel.img" >/dev/null
disks=()
if [ -n "$format" ]; then
  for size in "${sizes[@]}"; do
    "$format" -q --size "$size" -L "Sized $size" "$work/s$size.img"
    disks+=(-drive "if=virtio,format=raw,file=$work/s$size.img")
  done
  mkdir -p "$work/fill/Folder/Inner"
  for i in $(seq 1 60); do echo "file $i" >"$work/fill/Folder/File $i"; done
  for i in $(seq 1 9); do echo "note $i" >"$work/fill/Folder/Inner/Note $i"; done
  "$format" -q --size 800K -L Filled -d "$work/fill" "$work/filled.img"
  disks+=(-drive "if=virtio,format=raw,file=$work/filled.img")
fi

timeout 240 qemu-system-x86_64 -m 256 -nodefaults -no-reboot -display none \
  -serial "file:$work/console.log" -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1" -drive if=floppy,index=0,format=raw,file="$work/kernel.img" \
  "${disks[@]}"
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
if [ -n "$format" ]; then
  i=0
  for d in vda vdb vdc; do
    size=${sizes[$i]} img=$work/s${sizes[$i]}.img; i=$((i + 1))
    grep -aq "RESULT $d listed" "$work/console.log" && ok "the kernel's hfs driver mounts our $size volume" \
      || fail "the kernel cannot mount our $size volume (see $work/console.log)"
    [ $d = vdc ] || { grep -aq "RESULT $d from the guest $d" "$work/console.log" \
      && ok "the kernel's hfs driver writes a file to our $size volume and reads it back" \
      || fail "the kernel's file on our $size volume (see $work/console.log)"; }
    "$checker" "$img" >"$work/check.txt" 2>&1 && ok "brindlewood-check passes the $size volume the kernel wrote to" \
      || fail "brindlewood-check $size: $(cat "$work/check.txt")"
  done
  grep -aq "RESULT filled 61 note 7" "$work/console.log" \
    && ok "the kernel's hfs driver lists a volume filled with -d and reads a file back" \
    || fail "the kernel on the filled volume (see $work/console.log)"
fi
echo "$failures failure(s)"
[ $failures -eq 0 ]
