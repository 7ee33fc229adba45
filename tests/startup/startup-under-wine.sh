#!/usr/bin/env bash
# Runs Startup.exe under Wine (Windows 95 mode, the driver stand-in beside it) through the
# scenarios of its life, on the X display given by with-xvfb.sh.
# usage: startup-under-wine.sh STARTUP_EXE STANDIN TEMPLATE_PREFIX WORKDIR ARTIFACTS [SCENARIO...]
set -uo pipefail
exe=$1 standin=$2 template=$3 work=$4 artifacts=$5
shift 5
scenarios=${*:-sends-table no-charmap refused no-company no-driver long-owner}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"; mkdir -p "$work" "$artifacts"
bash "$here/../wine/clone-prefix.sh" "$template" "$work/prefix"
export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
source "$here/../wine/session.sh"
wine_session_start
# Unmanaged windows: without a window manager Wine would otherwise wait 2 s for each hidden
# window to be withdrawn, which hides when the splash really ends.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
key='HKLM\SOFTWARE\Oakhurst\Brindlewood\CurrentVersion'
install=$WINEPREFIX/drive_c/BRIND
owner40="Ada Lovelace-Byron of the Engine Society"  # 40 characters; 30 are drawn
company="Brindlewood Test Laboratory"
export BRINDFS_LOG=$work/driver.log

failures=0
fail() { echo "FAILED [$scenario]: $*"; failures=$((failures + 1)); }
ok() { echo "ok [$scenario]: $*"; }
now() { date +%s.%N; }
since() { echo "$(now) - $1" | bc; }

# A table unlike the default, so the driver's copy can only have come from the file.
write_charmap() {
  python3 - "$install/CHARMAP.MAC" "$work/table.hex" <<'PY'
import sys
values = [(k * 29 + 11) % 254 + 2 for k in range(128)]
with open(sys.argv[1], "wb") as f:
    for k, v in enumerate(values):
        f.write(b"The Mac %d is mapped To %d\r\n" % (128 + k, v))
open(sys.argv[2], "w").write("".join("%02X" % v for v in values))
PY
}

prepare() {  # owner company(or -) charmap(yes/no) driver(yes/no)
  rm -rf "$install" "$BRINDFS_LOG"; mkdir -p "$install"
  cp "$exe" "$install/Startup.exe"
  [ "$4" = yes ] && cp "$standin" "$install/brindfs.vxd"
  [ "$3" = yes ] && write_charmap
  wine reg delete "$key" /f >/dev/null 2>&1
  wine reg add "$key" /v InstallDir /d 'C:\BRIND' /f >/dev/null 2>&1
  wine reg add "$key" /v "Registered Owner" /d "$1" /f >/dev/null 2>&1
  [ "$2" != - ] && wine reg add "$key" /v "Registered Company" /d "$2" /f >/dev/null 2>&1
  true
}

splash_window() {
  xdotool search --onlyvisible --name '^$' 2>/dev/null | while read -r w; do
    xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 552x292 && echo "$w"
  done | head -n1
}
# What a failed wait saw: the visible windows, whether the program still runs, its boxes.
on_screen() {
  echo -n "on the screen:"
  xdotool search --onlyvisible --name '.*' 2>/dev/null | while read -r w; do
    echo -n " [$(xdotool getwindowname "$w" 2>/dev/null) $(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p')]"
  done
  kill -0 "$pid" 2>/dev/null && echo -n "; Startup.exe still runs" || echo -n "; Startup.exe has ended"
  echo -n "; traced: $(grep -a MSGBOX "$work/msgbox.trace" 2>/dev/null | head -2 | tr '\n' ' ')"
}
named_windows() { xdotool search --onlyvisible --name '.+' 2>/dev/null | while read -r w; do xdotool getwindowname "$w"; done; }

start() {  # the message boxes' texts are traced to $work/msgbox.trace
  (cd "$install" && WINEDEBUG=-all,+msgbox exec wine Startup.exe 2>"$work/msgbox.trace") &
  pid=$!
  started=$(now)
}
# Waits up to $2 s for a visible window named $1; prints its id.
wait_named() {
  local end=$(($(date +%s) + $2)) w
  while [ "$(date +%s)" -le $end ]; do
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.05
  done
  return 1
}
# Watches the splash: sets saw_named if any titled window (a message box) showed up meanwhile,
# and when the splash showed and went, as bounds in seconds since the start: each look at the
# screen takes its time, more on a loaded machine, so a change lies between the last look that
# did not see it and the end of the first look that did.
watch_splash() {
  shown_lo= shown_hi= gone_lo= gone_hi= saw_named= last_seen=
  local end=$(($(date +%s) + wait_limit)) w look look_end previous
  previous=$(since "$started")
  while [ "$(date +%s)" -le $end ]; do
    look=$(since "$started")
    w=$(splash_window)
    look_end=$(since "$started")
    [ -n "$(named_windows)" ] && saw_named=$(named_windows | head -n1)
    if [ -n "$w" ] && [ -z "$shown_hi" ]; then
      shown_lo=$previous shown_hi=$look_end
      [ -n "${1:-}" ] && { sleep 1; import -window root "$1"; }
    fi
    if [ -z "$w" ] && [ -n "$shown_hi" ]; then gone_lo=$previous gone_hi=$look_end; return; fi
    if ! kill -0 "$pid" 2>/dev/null; then
      [ -n "$shown_hi" ] && { gone_lo=$previous gone_hi=$(since "$started"); }
      [ -z "$shown_hi" ] && echo "note: program ended after $(since "$started") s; windows seen last: $last_seen"
      return
    fi
    previous=$look
    last_seen=$(xdotool search --onlyvisible --name '.*' 2>/dev/null | while read -r v; do
      echo -n "[$(xdotool getwindowname "$v" 2>/dev/null) $(xdotool getwindowgeometry "$v" 2>/dev/null | sed -n 's/.*Geometry: //p')] "; done)
    sleep 0.05
  done
}
finish() {  # waits for the program; checks its exit code
  local rc
  wait "$pid"; rc=$?
  [ "$rc" = 0 ] && ok "exit code 0" || fail "exit code $rc"
}
check_duration() {  # the splash lasts five seconds from its first paint
  if [ -z "$shown_hi" ] || [ -z "$gone_hi" ]; then
    fail "waited $wait_limit s in vain for the splash to show and end (shown by ${shown_hi:-never}, gone by ${gone_hi:-never})"
    return
  fi
  local shortest longest
  shortest=$(echo "$gone_lo - $shown_hi" | bc) longest=$(echo "$gone_hi - $shown_lo" | bc)
  if [ "$(echo "$longest >= 4.6 && $shortest <= 6.0" | bc)" = 1 ]; then
    ok "splash shown for $shortest to $longest s"
  else fail "splash shown for $shortest to $longest s, not about 5"; fi
}
sent_tables() {
  local n=0
  [ -f "$BRINDFS_LOG" ] && n=$(grep -c '^SetCharMap ' "$BRINDFS_LOG")
  echo "$n"
}

for scenario in $scenarios; do
  case $scenario in
    sends-table)
      prepare "$owner40" "$company" yes yes
      start
      watch_splash "$artifacts/splash.png"
      finish
      check_duration
      [ -z "$saw_named" ] && ok "no message box" || fail "a message box appeared: $saw_named"
      if [ "$(sent_tables)" = 1 ] && grep -qx "SetCharMap $(cat "$work/table.hex")" "$BRINDFS_LOG"; then
        ok "the driver received the file's table"
      else fail "the driver did not receive the file's table: $(cut -c1-60 "$BRINDFS_LOG" 2>/dev/null)"; fi
      ;;
    no-charmap)
      prepare "$owner40" "$company" no yes
      start
      watch_splash "$artifacts/splash-no-charmap.png"
      finish
      check_duration
      [ -z "$saw_named" ] && ok "no message box" || fail "a message box appeared: $saw_named"
      [ "$(sent_tables)" = 0 ] && ok "nothing sent" || fail "a table was sent without CHARMAP.MAC"
      [ ! -e "$install/CHARMAP.MAC" ] && ok "no file created" || fail "CHARMAP.MAC was created"
      ;;
    refused)
      # The driver refuses the table: the box comes up before the splash, and the splash's five
      # seconds start only with its first paint after the box is answered.
      export BRINDFS_SETCHARMAP_RESULT=1
      prepare "$owner40" "$company" yes yes
      start
      if box=$(wait_named Error "$wait_limit"); then
        ok "the refusal is reported"
        sleep 2
        [ -z "$(splash_window)" ] && ok "no splash while the box is up" || fail "splash painted under the box"
        import -window root "$artifacts/refused.png"
        xdotool windowfocus --sync "$box" key Return
        watch_splash
        check_duration
        [ -n "$gone_hi" ] && [ "$(echo "$gone_hi >= 6.5" | bc)" = 1 ] &&
          ok "five seconds counted from the first paint" ||
          fail "splash ended by ${gone_hi:-never} s after the start: counted from the start?"
      else fail "waited $wait_limit s in vain for the box \"Error\"; $(on_screen)"; fi
      finish
      unset BRINDFS_SETCHARMAP_RESULT
      ;;
    no-company|no-driver|long-owner)
      # Three different boxes share the caption "Brindlewood For Windows 95": the text tells.
      checks="Brindlewood for Windows 95 is not properly installed.\\n Try reinstalling from the Setup diskette."
      case $scenario in
        no-company) prepare "$owner40" - yes yes; caption="Brindlewood For Windows 95" text=$checks ;;
        no-driver) prepare "$owner40" "$company" yes no; caption="Brindlewood"
                   text="Brindlewood driver for Windows 95 is not installed. Try reinstalling Brindlewood from the setup diskette" ;;
        long-owner) prepare "$(printf 'x%.0s' $(seq 1 600))" "$company" yes yes
                    caption="Brindlewood For Windows 95" text=$checks ;;
      esac
      start
      if box=$(wait_named "$caption" "$wait_limit"); then
        ok "\"$caption\" box shown"
        sleep 0.3
        grep -qF "MSGBOX_OnInit L\"$text\"" "$work/msgbox.trace" && ok "it says \"$text\"" ||
          fail "it does not say \"$text\": $(grep -a MSGBOX "$work/msgbox.trace" | head -3)"
        import -window root "$artifacts/$scenario.png"
        [ -z "$(splash_window)" ] && ok "no splash" || fail "the splash showed"
        xdotool windowfocus --sync "$box" key Return
      else fail "waited $wait_limit s in vain for the box \"$caption\"; $(on_screen)"; fi
      finish
      [ "$(sent_tables)" = 0 ] && ok "nothing sent" || fail "a table was sent"
      ;;
    *) fail "unknown scenario" ;;
  esac
done
wineserver -k >/dev/null 2>&1 || true
echo "$failures failure(s)"
[ "$failures" = 0 ]
