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
skipped=0
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

# Wine runs the Win32 programs as 32-bit processes; some hosts (a kernel without 32-bit support)
# refuse them with "Exec format error". There the tests that need Wine are left out, counted as
# skipped and named, and everything else of the win32 tree (the build, the import and size
# checks, the setup disk's contents) still runs.
wine_runs() { wine --version >/dev/null 2>&1; }

run() {
  local preset=$1
  local filter=()
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  if [ "$preset" = win32 ] && ! wine_runs; then
    local n
    n=$(ctest --preset win32 -N -L wine | sed -nE 's/^Total Tests: ([0-9]+)/\1/p')
    echo "!! this machine cannot run 32-bit programs (wine: $(wine --version 2>&1 | tail -n1))"
    echo "!! skipping the $n tests that run under Wine (label 'wine'): the Win32 programs were built, not run"
    ctest --preset win32 -N -L wine | grep -E '^ +Test +#' || true
    skipped=$((skipped + n))
    filter=(-LE wine)
  fi
  ctest --preset "$preset" -j "$jobs" "${filter[@]}" 2>&1 | tee "$logdir/$preset.log" || true
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
echo "$passed passed, $failed failed, $skipped skipped"
exit $status
