#!/usr/bin/env bash
# Lays out the setup disk: a folder with SETUP.EXE and the table's files under their setup-disk
# names (SZDD-compressed where the name ends in "_"), and the same as a 1.44 MB FAT image.
# usage: make-disk.sh OUTDIR IMAGE SETUP_EXE DISKNAME=FILE...
set -euo pipefail
out=$1 image=$2 setup=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"
cp "$setup" "$out/SETUP.EXE"
for pair in "$@"; do
  name=${pair%%=*}
  file=${pair#*=}
  [ -f "$file" ] || { echo "make-disk: $file is missing (for $name)" >&2; exit 1; }
  case "$name" in
    *_)
      # mscompress appends "_" to the whole name; an 8.3 disk name replaces the last character
      # instead, which the SZDD header keeps in byte 9 so that expansion can restore it.
      base=$(basename "$file")
      last=${base: -1}
      cp "$file" "$work/payload"
      mscompress "$work/payload" >/dev/null
      printf '%s' "$last" | dd of="$work/payload_" bs=1 seek=9 count=1 conv=notrunc status=none
      mv "$work/payload_" "$out/$name"
      rm -f "$work/payload"
      ;;
    *) cp "$file" "$out/$name" ;;
  esac
done
rm -f "$image"
mformat -i "$image" -f 1440 -v BRINDLEWOOD -C ::
mcopy -i "$image" "$out"/* ::/
used=$(du -cb "$out"/* | tail -1 | cut -f1)
echo "setup disk: $(ls "$out" | wc -l) files, $used bytes in $out; image $image"
