#!/usr/bin/env bash
# Copies the template prefix for one test, so that each test maps its own A: and registry.
# usage: clone-prefix.sh TEMPLATE DEST
#
# A prefix holds about 600 MB of Windows program files that Wine only reads; those are hard
# links into the template, so forty scenarios cost megabytes, not gigabytes. Everything else
# (registry, .ini files, links) is a real copy of its own, since Wine may rewrite it in place.
set -euo pipefail
src=$1 dest=$2
# A server left running for an earlier copy would write into the new one.
if [ -d "$dest" ]; then WINEPREFIX=$dest wineserver -k >/dev/null 2>&1 || true; fi
rm -rf "$dest"
mkdir -p "$(dirname "$dest")"
cp -al "$src" "$dest"
find "$dest" -type f -links +1 \
  ! -iname '*.dll' ! -iname '*.exe' ! -iname '*.drv' ! -iname '*.sys' ! -iname '*.ocx' \
  ! -iname '*.acm' ! -iname '*.cpl' ! -iname '*.tlb' ! -iname '*.ttf' ! -iname '*.fon' \
  -print0 | while IFS= read -r -d '' f; do
  cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"
done
