#!/usr/bin/env bash
# Builds everything and runs every test: code style, native, sanitizers, the Win32 build under
# Wine, and the fuzz targets for a bounded time. Ends with one summary line over all test sets.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
status=0
passed=0
failed=0
logdir=$(mktemp -d)
trap 'rm -rf "$logdir"' EXIT

# ctest's own summary ("N% tests passed, F tests failed out of T") feeds the totals.
count() {
  local line total bad
  line=$(grep -E 'tests failed out of [0-9]+' "$1" | tail -n1 || true)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* tests failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

echo "== code style =="
if git rev-parse --git-dir >/dev/null 2>&1; then
  if git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror; then
    passed=$((passed + 1))
  else
    echo "clang-format: the files above are not formatted"
    failed=$((failed + 1))
    status=1
  fi
fi

run() {
  local preset=$1
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$logdir/$preset.log" || true
  if ! grep -q '100% tests passed' "$logdir/$preset.log"; then status=1; fi
  count "$logdir/$preset.log"
}
run native
run asan
run win32
if [ -f fuzz/CMakeLists.txt ]; then
  echo "== fuzz =="
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  if bash fuzz/run.sh build/fuzz; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    status=1
  fi
fi
echo
echo "$passed passed, $failed failed"
exit $status
