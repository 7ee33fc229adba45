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
# refuse them with "Exec format error". There every Wine test runs through qemu-i386
# (tests/wine/emulated-i386.sh); BRIND_WINE_EMULATE=1 takes that path on any host, to try it
# where Wine also runs natively. Where even the emulation cannot be set up, every test that
# needs Wine is skipped, counted and named; the rest of the win32 tree (the build, the import and
# size checks, the setup disk's contents) still runs. A test that runs and fails fails CI.
wine_runs() { [ "${BRIND_WINE_EMULATE:-0}" = 0 ] && wine --version >/dev/null 2>&1; }

# The win32 tests that a label selects, one a line, without the fixtures they would pull in.
labelled() { ctest --preset win32 -N -L "$1" -FA '.*' | sed -nE 's/^ +Test +#[0-9]+: (.*)$/\1/p'; }

# skip_tests REASON NAMES: names the tests (one a line) and counts them as skipped.
skip_tests() {
  [ -n "$2" ] || return 0
  echo "!! skipping $(wc -l <<<"$2") tests: $1"
  sed 's/^/  /' <<<"$2"
  skipped=$((skipped + $(wc -l <<<"$2")))
}

run() {
  local preset=$1
  local filter=() runner=()
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  if [ "$preset" = win32 ] && ! wine_runs; then
    local why
    if [ "${BRIND_WINE_EMULATE:-0}" != 0 ]; then
      echo "!! BRIND_WINE_EMULATE=$BRIND_WINE_EMULATE: Wine runs through qemu-i386"
    else
      echo "!! this machine cannot run 32-bit programs (wine: $(wine --version 2>&1 | tail -n1))"
    fi
    if why=$(bash tests/wine/emulated-i386.sh --check 2>&1); then
      echo "!! running the Wine tests through qemu-i386 ($why)"
      runner=(bash tests/wine/emulated-i386.sh)
    else
      echo "!! the 32-bit emulation is not available either: ${why##*$'\n'}"
      skip_tests "no way to run 32-bit programs on this host (label wine): built, not run" \
        "$(labelled '^wine$')"
      filter=(-LE '^wine$')
    fi
  fi
  local started=$SECONDS
  "${runner[@]}" ctest --preset "$preset" -j "$jobs" "${filter[@]}" 2>&1 | tee "$logdir/$preset.log" || true
  echo "($preset tests: $((SECONDS - started)) s)"
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
