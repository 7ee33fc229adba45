#!/usr/bin/env bash
# Builds everything and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)"
echo "built: build/native and build/win32"

# A default floppy image, and what an independent HFS reader sees on it.
image=build/floppy.img
rm -f "$image"
build/native/cli/brindlewood-format -L Untitled "$image"
hfs_home=$(mktemp -d)
trap 'rm -rf "$hfs_home"' EXIT
echo "== hfsutils on $image =="
HOME=$hfs_home hmount "$image"
HOME=$hfs_home hvol
echo "root folder (hls -la):"
listing=$(HOME=$hfs_home hls -la)
echo "${listing:-  (empty)}"
HOME=$hfs_home humount
echo "== brindlewood-check on $image =="
build/native/cli/brindlewood-check "$image"
