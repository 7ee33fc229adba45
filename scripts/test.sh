#!/usr/bin/env bash
# Builds everything and runs every test: native, sanitizers, the Win32 build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
status=0
run() {
  local preset=$1
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" || status=1
}
run native
run asan
run win32
if [ -f fuzz/CMakeLists.txt ]; then
  echo "== fuzz =="
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  bash fuzz/run.sh build/fuzz || status=1
fi
exit $status
