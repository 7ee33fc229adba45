#!/usr/bin/env bash
# Makes a Wine prefix that behaves like Windows 95: usage make-prefix.sh DIR.
# A prefix that is already complete is left as it is.
set -euo pipefail
dir=$1
if [ -f "$dir/.brind-ready" ]; then exit 0; fi
rm -rf "$dir"
mkdir -p "$(dirname "$dir")"
export WINEPREFIX=$dir WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY
wineboot --init >/dev/null 2>&1
wineserver -w
cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
wine reg add 'HKCU\Software\Wine' /v Version /d win95 /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v Version /d "Windows 95" /f >/dev/null 2>&1
wineserver -w
touch "$dir/.brind-ready"
