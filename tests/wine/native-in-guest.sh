#!/usr/bin/env bash
# Runs a command of this source tree where Wine's 32-bit programs run natively, on a host whose
# kernel refuses them: in a guest of Debian's own kernel (which runs 32-bit programs) under
# qemu-system-x86_64, with this host's files as its root. So the native path of the Wine tests
# can be tried on any machine. Slow: the guest's processor is emulated too (no KVM here), about
# four times the time of tests/wine/emulated-i386.sh.
# usage: native-in-guest.sh COMMAND [ARGS...]   e.g. native-in-guest.sh ctest --preset win32 -L wine
#
# The guest sees the host's / read-write over 9p, with its own /tmp, /run and /dev; the source
# tree (the win32 build included, not the other builds) and Wine's libraries are copied into
# its memory first, which makes Wine's many small reads fast. What the command writes into the
# tree stays in the guest; its output is shown as it comes and its exit status is this script's.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${BRIND_GUEST_CACHE:-$root/build/cache/guest-kernel}
[ $# -gt 0 ] || { echo "usage: native-in-guest.sh COMMAND [ARGS...]" >&2; exit 2; }
command -v qemu-system-x86_64 >/dev/null || { echo "native-in-guest: no qemu-system-x86_64" >&2; exit 125; }
[ -x /bin/busybox ] && ! ldd /bin/busybox >/dev/null 2>&1 ||
  { echo "native-in-guest: no static busybox (busybox-static)" >&2; exit 125; }
modules=(virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci netfs fscache
         9pnet 9pnet_virtio 9p)
. "$root/tests/cli/qemu/kernel-cache.sh"
why=$(kernel_with_modules "$cache" "${modules[@]}") || { echo "native-in-guest: $why" >&2; exit 125; }
kernel_with_modules "$cache" "${modules[@]}" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root/bin" "$work/root/m" "$work/root/proc" "$work/root/sys" "$work/root/dev"
cp /bin/busybox "$work/root/bin/"
for m in "${modules[@]}"; do cp "$cache/$m.ko" "$work/root/m/"; done
printf '%q ' "$@" >"$work/root/command"
printf '%q' "$root" >"$work/root/tree"
cat >"$work/root/init" <<'GUEST'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
for m in virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci netfs fscache \
         9pnet 9pnet_virtio 9p; do insmod /m/$m.ko; done
mkdir /host
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=mmap,access=any host /host ||
  { echo "GUEST-STATUS 125 (no 9p root)"; poweroff -f; }
tree=$(cat /tree)
mkdir /src; mount --bind "/host$tree" /src
for d in tmp run; do mount -t tmpfs -o size=10g tmpfs /host/$d; done
mount -t proc proc /host/proc; mount -t sysfs sys /host/sys; mount -t devtmpfs dev /host/dev
mkdir -p /host/dev/pts /host/dev/shm; mount -t devpts devpts /host/dev/pts
mount -t tmpfs tmpfs /host/dev/shm
mkdir -p /host/run/tree /host/run/src; mount --move /src /host/run/src
mount -t tmpfs -o size=10g tmpfs /host/run/tree
ip link set lo up
cp /command /host/run/command
chroot /host /bin/bash -c '
  export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
  tar -C /run/src --exclude=./build/native --exclude=./build/asan --exclude=./build/fuzz \
      --exclude=./build/cache --exclude="./build/win32/tests/*/run-*" \
      --exclude="./build/win32/tests/*/wine-run" --exclude="./build/win32/tests/*/format-run" \
      --exclude="./build/win32/tests/*/gui-*" --exclude=./build/win32/wine/unit \
      -cf - . | tar -C /run/tree -xf -
  umount /run/src && mkdir -p "$0" && mount --move /run/tree "$0"
  for d in /usr/lib/i386-linux-gnu /usr/lib/wine /usr/share/wine; do
    mkdir -p "/run/copy$d" && cp -a "$d/." "/run/copy$d/" && mount --bind "/run/copy$d" "$d"
  done
  cd "$0" && echo "guest: $(uname -r), $(nproc) processors; $(wine --version)" &&
    eval "$(cat /run/command)"
  echo "GUEST-STATUS $?"' "$tree" </dev/console >/dev/console 2>&1
sync
poweroff -f
GUEST
chmod +x "$work/root/init"
(cd "$work/root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"
memory=$(( $(awk '/MemAvailable/ {print $2}' /proc/meminfo) / 1024 * 3 / 4 ))
[ "$memory" -le 16384 ] || memory=16384
# No SMAP: the emulated iretq reads a user stack as the kernel, which SMAP then refuses.
qemu-system-x86_64 -accel tcg,thread=multi -smp "$(nproc)" -m "$memory" -cpu max,-smap -nodefaults \
  -no-reboot -display none -serial stdio -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1" \
  -fsdev local,id=host,path=/,security_model=passthrough,multidevs=remap \
  -device virtio-9p-pci,fsdev=host,mount_tag=host </dev/null | stdbuf -oL tr -d '\r' | tee "$work/console.log" |
  grep -av --line-buffered '^GUEST-STATUS' || true
status=$(sed -n 's/^GUEST-STATUS \([0-9]*\).*/\1/p' "$work/console.log" | tail -1)
[ -n "$status" ] || { echo "native-in-guest: the guest ended without a status" >&2; exit 125; }
exit "$status"
