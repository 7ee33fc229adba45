#!/usr/bin/env bash
# usage: device-under-wine.sh PROGRAM TEMPLATE_PREFIX WORKDIR
set -euo pipefail
program=$1 template=$2 work=$3
here=$(dirname "$0")
rm -rf "$work"; mkdir -p "$work"
bash "$here/../wine/clone-prefix.sh" "$template" "$work/prefix"
export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all
python3 - "$work/floppy.img" <<'PY'
import sys
img = bytearray(1474560)
for sector in (0, 1440):
    for i in range(512):
        img[sector * 512 + i] = (sector * 7 + i * 3 + 1) & 0xFF
open(sys.argv[1], "wb").write(img)
PY
bash "$here/../wine/map-floppy.sh" "$WINEPREFIX" "$work/floppy.img"
export BRINDFS_LOG=$work/driver.log BRINDFS_QUERY_ANSWER=513
wine "$program"
wineserver -k || true
python3 - "$work/floppy.img" "$work/driver.log" <<'PY'
import sys
img = open(sys.argv[1], "rb").read()
bad = 0
for sector in (2, 1000, 2879):
    want = bytes(((sector + 1) * 7 + i * 3 + 1) & 0xFF for i in range(512))
    if img[sector * 512:(sector + 1) * 512] != want:
        print(f"FAILED: sector {sector} in the image is not what the program wrote"); bad += 1
    else:
        print(f"ok: sector {sector} landed in the image")
if len(img) != 1474560:
    print("FAILED: the image changed size"); bad += 1
log = open(sys.argv[2]).read().split("\n")
table = "".join("%02X" % (i ^ 0x5A) for i in range(128))
if "QueryDrive 0" not in log: print("FAILED: QueryDrive did not reach the driver"); bad += 1
if "SetCharMap " + table not in log: print("FAILED: the table did not reach the driver"); bad += 1
sys.exit(1 if bad else 0)
PY
