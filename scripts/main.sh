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
