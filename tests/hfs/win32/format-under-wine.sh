#!/usr/bin/env bash
# The same volume from Windows and from Linux: the seven stages run under Wine on an image mapped
# as A:, and brindlewood-format writes one natively; the two images must be identical.
# usage: format-under-wine.sh PROGRAM TEMPLATE_PREFIX WORKDIR NATIVE_TOOL
set -euo pipefail
program=$1 template=$2 work=$3 native=$4
here=$(cd "$(dirname "$0")" && pwd)
label="Same On Both"
if [ ! -x "$native" ]; then
  echo "SKIPPED: the native brindlewood-format ($native) is not built; build the native preset first"
  exit 77
fi
rm -rf "$work"; mkdir -p "$work"
bash "$here/../../wine/clone-prefix.sh" "$template" "$work/prefix"
export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all

# A freshly low-level formatted disk: every byte the controller's filler. The native tool's full
# format leaves the same under its file system, so the images can be compared whole.
python3 -c "open('$work/wine.img','wb').write(b'\xf6' * 1474560)"
bash "$here/../../wine/map-floppy.sh" "$WINEPREFIX" "$work/wine.img"
wine "$program" "$label"
wineserver -k || true

"$native" -q --full -L "$label" "$work/native.img"
if cmp "$work/wine.img" "$work/native.img"; then
  echo "ok: the image written under Wine equals the one written on Linux"
else
  python3 - "$work/wine.img" "$work/native.img" <<'PY'
import sys
a, b = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
diff = [s for s in range(len(a) // 512) if a[s*512:(s+1)*512] != b[s*512:(s+1)*512]]
print("FAILED: sectors that differ:", diff[:20], "..." if len(diff) > 20 else "")
PY
  exit 1
fi
