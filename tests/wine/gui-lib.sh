# Helpers of the GUI scenarios that drive a program under Wine with xdotool; sourced by the
# scenario scripts once they run on their display. The caller sets $work and counts $failures.

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# Prints the id of a visible window with this exact title that is not among the ids listed
# after the title (up to $wait_limit s).
wait_window() {
  local title=$1 id until=$((SECONDS + wait_limit)); shift
  while [ $SECONDS -lt $until ]; do
    for id in $(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null || true); do
      case " $* " in *" $id "*) ;; *) echo "$id"; return 0 ;; esac
    done
    sleep 0.1
  done
  return 1
}

# Waits until a process has ended (up to $wait_limit s); its exit code is in the file it writes.
wait_exit() {
  local rcfile=$1 until=$((SECONDS + wait_limit))
  while [ $SECONDS -lt $until ]; do
    [ -s "$rcfile" ] && return 0
    sleep 0.1
  done
  return 1
}

gone() {  # WINDOW: true once it is no longer visible (up to $wait_limit s)
  local until=$((SECONDS + wait_limit))
  while [ $SECONDS -lt $until ]; do
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
    sleep 0.1
  done
  return 1
}

# Runs COMMAND... until it succeeds (up to $wait_limit s): for what a program writes as it goes.
eventually() {
  local until=$((SECONDS + wait_limit))
  until "$@"; do
    [ $SECONDS -lt $until ] || return 1
    sleep 0.1
  done
}

# Focuses a window and sends it keys; then waits $keys_settle seconds (0 unless the caller sets
# it) for the program to act on them. The program's thread reads the focus change before the
# keys, so they reach the window however long it takes to get to them.
keys() {
  local window=$1; shift
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  xdotool key --clearmodifiers --delay 150 "$@"
  sleep "${keys_settle:-0}"
}

expect_exit() {  # NAME CODE: the program started as NAME ended with CODE (read from NAME.rc)
  if wait_exit "$work/$1.rc"; then
    local rc; rc=$(cat "$work/$1.rc")
    if [ "$rc" = "$2" ]; then ok "$1 ended with $2"; else fail "$1 ended with $rc, not $2"; fi
  else
    fail "$1 did not end"
  fi
}
