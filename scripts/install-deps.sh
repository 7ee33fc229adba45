#!/usr/bin/env bash
# Installs every Debian package the builds and tests need (Debian 12, as root). Safe to re-run.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libcli11-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32 wine64 xvfb xdotool imagemagick mscompress mtools
  hfsutils genisoimage python3 strace
  libblkid-dev e2fsprogs dpkg-dev man-db
  qemu-system-x86 busybox-static cpio
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  missing+=(wine32)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi
