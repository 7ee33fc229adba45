#!/usr/bin/env bash
# Copies the template prefix for one test, so that each test maps its own A: and registry.
# usage: clone-prefix.sh TEMPLATE DEST
set -euo pipefail
rm -rf "$2"
mkdir -p "$(dirname "$2")"
cp -a "$1" "$2"
