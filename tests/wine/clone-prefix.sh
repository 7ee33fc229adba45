#!/usr/bin/env bash
# Copies the template prefix for one test, so that each test maps its own A: and registry.
# usage: clone-prefix.sh TEMPLATE DEST
set -euo pipefail
# A server left running for an earlier copy would write into the new one.
if [ -d "$2" ]; then WINEPREFIX=$2 wineserver -k >/dev/null 2>&1 || true; fi
rm -rf "$2"
mkdir -p "$(dirname "$2")"
cp -a "$1" "$2"
