#!/usr/bin/env bash
# Maps a 1.44 MB image file as drive A: of a Wine prefix (both the folder and the device link,
# which Wine needs for absolute sector access). usage: map-floppy.sh PREFIX IMAGE
set -euo pipefail
prefix=$1
image=$(realpath "$2")
folder="$image.d"
mkdir -p "$folder"
ln -sfn "$folder" "$prefix/dosdevices/a:"
ln -sfn "$image" "$prefix/dosdevices/a::"
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
