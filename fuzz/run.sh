#!/usr/bin/env bash
# Runs every fuzz target of a build for a bounded time each. No input may make a target allocate
# more than 64 MB at once: the inputs are at most a 1.44 MB disk.
# usage: run.sh BUILD_DIR [SECONDS]
set -uo pipefail
build=${1:?usage: run.sh BUILD_DIR [SECONDS]}
seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
status=0
found=0
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  found=1
  name=$(basename "$target")
  corpus="$build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  [ -d "$here/seeds/$name" ] && seeds="$here/seeds/$name" || seeds=
  echo "== $name: ${seconds} s"
  if "$target" -max_total_time="$seconds" -print_final_stats=0 -rss_limit_mb=1024 -malloc_limit_mb=64 \
       -artifact_prefix="$build/fuzz/$name-" "$corpus" $seeds >"$build/fuzz/$name.log" 2>&1; then
    tail -n 2 "$build/fuzz/$name.log"
  else
    echo "FAILED: $name found a fault; see $build/fuzz/$name.log"
    tail -n 30 "$build/fuzz/$name.log"
    status=1
  fi
done
if [ $found = 0 ]; then echo "no fuzz targets in $build/fuzz"; exit 1; fi
exit $status
