# One Wine session for a whole scenario; sourced by the scenario scripts once WINEPREFIX is set.
#
# The first program of a session starts Wine's own services (services.exe, two winedevice.exe,
# plugplay.exe, svchost.exe) and the server shuts them down again a moment after the last program
# ends. Natively that costs about a second; where i386 is emulated, 5 to 10 s for every `wine`
# command that comes after a pause (a registry query, a check with cmd), against 1 to 3 s in a
# running session. A persistent server keeps them up until the scenario ends.

# How long a scenario waits for a state before it gives up: long enough for emulated i386 on a
# loaded machine (a program's first window can take a minute there); a scenario that works never
# waits that long.
wait_limit=${wait_limit:-180}

# Starts (or restarts: the drive mappings are read when the server starts) the session.
wine_session_start() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if ! wineserver -p </dev/null >/dev/null 2>&1; then
    echo "FAILED: no Wine server for $WINEPREFIX"
    return 1
  fi
  trap wine_session_end EXIT
  trap 'exit 143' TERM INT
  # The services start with the first program; here, so that their output goes nowhere a
  # scenario reads and its first program starts as fast as its others.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  if [ -n "${DISPLAY:-}" ]; then wine_keep_desktop; fi
}

# A program's first window needs Wine's desktop process (explorer.exe /desktop). Wine starts one
# then, waits only seconds for it, and ends it a moment after that program; where i386 is
# emulated on a loaded machine the wait can run out, and the program goes on without a display
# ("The explorer process failed to start"). A desktop started on its own stays up until the
# server ends, so the session starts one, once the one its first program started has gone:
# there is one desktop, and an explorer started beside another ends at once.
wine_keep_desktop() {
  local begin=$SECONDS until=$((SECONDS + wait_limit)) pids count started=-1 alone=$SECONDS bare=-1
  while [ $SECONDS -lt $until ]; do
    pids=$(wine_desktop_pid)
    count=$(wc -w <<<"$pids")
    [ "$count" = 1 ] || alone=$SECONDS
    if [ "$count" = 1 ] && [ "$(xdotool search --name '.*' 2>/dev/null | wc -l)" -gt 1 ]; then
      # One desktop with its windows made (the clipboard's, the tray's): the one started here,
      # or one that has outlived the program that started it by long enough to stay.
      if [ $started -ge 0 ] || [ $((SECONDS - alone)) -ge 15 ]; then return 0; fi
      bare=-1
    elif [ "$count" = 1 ]; then
      # One that makes no windows for a minute hangs, and holds the desktop from any other.
      [ $bare -ge 0 ] || bare=$SECONDS
      if [ $((SECONDS - bare)) -ge 60 ]; then kill -9 $pids 2>/dev/null || true; bare=-1; fi
    fi
    # None (or, after 30 s, none yet that will do): start one, again 10 s after the last start,
    # which ends at once if it comes upon another desktop.
    if { [ "$count" = 0 ] || [ $((SECONDS - begin)) -ge 30 ]; } &&
      { [ $started -lt 0 ] || [ $((SECONDS - started)) -ge 10 ]; }; then
      wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &
      started=$SECONDS
    fi
    sleep 0.2
  done
  echo "FAILED: waited $wait_limit s in vain for Wine's desktop process (running:" \
    "[$(wine_desktop_pid | tr '\n' ' ')]; X windows: $(xdotool search --name '.*' 2>/dev/null | wc -l))"
  return 1
}

wine_desktop_pid() {
  local p
  for p in $(grep -lsxF "WINEPREFIX=$WINEPREFIX" -z /proc/[0-9]*/environ); do
    p=${p%/environ}
    # The desktop runs as C:\windows\system32\explorer.exe; where i386 is emulated, the command
    # that started it keeps its own "explorer.exe /desktop" as long as that runs.
    case "$({ tr '\0' ' ' <"$p/cmdline"; } 2>/dev/null)" in *\\explorer.exe\ /desktop*) echo "${p#/proc/}" ;; esac
  done
}

# Ends the session: the services, the desktop and every program still running in the prefix.
wine_session_end() {
  wineserver -k >/dev/null 2>&1 || true
}

# Prints the ids of this prefix's processes running the Windows program NAME (its file name, as
# the command line shows it natively and under qemu-i386), not the desktop that started it.
wine_pids() {
  local p cmd
  for p in $(grep -lsxF "WINEPREFIX=$WINEPREFIX" -z /proc/[0-9]*/environ); do
    p=${p%/environ}
    cmd=$({ tr '\0' ' ' <"$p/cmdline"; } 2>/dev/null) || continue
    case ${cmd,,} in *explorer*) continue ;; *"${1,,}"*) echo "${p#/proc/}" ;; esac
  done
}

# wine_frozen NAME COMMAND...: runs COMMAND (keys, a screenshot) while the program NAME is
# stopped, so that everything COMMAND sends is queued before the program handles any of it and
# nothing moves on meanwhile, however fast or slow the program runs.
wine_frozen() {
  local name=$1 pids rc=0
  shift
  pids=$(wine_pids "$name")
  if [ -z "$pids" ]; then
    echo "FAILED: no running $name to hold"
    return 1
  fi
  kill -STOP $pids
  "$@" || rc=$?
  kill -CONT $pids
  return $rc
}
