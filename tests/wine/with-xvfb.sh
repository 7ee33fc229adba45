#!/usr/bin/env bash
# Runs a command with DISPLAY set to a fresh virtual X display (Xvfb picks a free number), and
# takes the display down afterwards. usage: with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail
fdfile=$(mktemp)
exec 9>"$fdfile"
Xvfb -displayfd 9 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
# Xvfb writes its display number once it accepts clients: seconds on a loaded machine.
until=$((SECONDS + 120))
while [ ! -s "$fdfile" ] && [ $SECONDS -lt $until ] && kill -0 "$xpid" 2>/dev/null; do
  sleep 0.05
done
display=$(head -n1 "$fdfile")
exec 9>&-
rm -f "$fdfile"
if [ -z "$display" ]; then
  kill "$xpid" 2>/dev/null || true
  echo "with-xvfb: Xvfb did not say its display number within 120 s (or ended)" >&2
  exit 1
fi
export DISPLAY=":$display"
set +e
"$@"
rc=$?
set -e
# A prefix whose server still holds a dead display breaks the next GUI run.
if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
kill "$xpid" 2>/dev/null || true
wait "$xpid" 2>/dev/null || true
exit $rc
