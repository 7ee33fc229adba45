#!/usr/bin/env bash
# Setup.exe under Wine in Windows 95 mode, with the setup floppy as A:, driven by keyboard on a
# virtual display. Dialogs and message boxes are recognised from Wine's own dialog trace.
# usage: setup-under-wine.sh SCENARIO DISK_DIR DISK_IMAGE TEMPLATE_PREFIX WORKDIR ARTIFACTS
set -euo pipefail
scenario=$1 disk=$2 image=$3 template=$4 work=$5 artifacts=$6
here=$(cd "$(dirname "$0")" && pwd)
wine_tools=$here/../wine
rm -rf "$work"
mkdir -p "$work" "$artifacts"
bash "$wine_tools/clone-prefix.sh" "$template" "$work/prefix"
export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all,trace+msgbox,trace+dialog
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cp "$image" "$work/floppy.img"
bash "$wine_tools/map-floppy.sh" "$WINEPREFIX" "$work/floppy.img"
floppy=$work/floppy.img.d
cp "$disk"/* "$floppy/"
source "$wine_tools/session.sh"
wine_session_start
c=$WINEPREFIX/drive_c
# Windows 95 keeps its Start menu in the Windows directory, reachable by the 8.3 alias setup uses.
mkdir -p "$c/windows/Start Menu/Programs"
ln -sfn "Start Menu" "$c/windows/STARTM~1"
ln -sfn "Programs" "$c/windows/Start Menu/PROGRAMS" 2>/dev/null || true

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
expect_eq() { if [ "$1" == "$2" ]; then ok "$3"; else fail "$3: got [$1], want [$2]"; fi; }

# --- running setup --------------------------------------------------------------------------
trace=$work/trace.txt
# start_setup DIR COMMAND...: runs in the background from DIR (a Windows path's folder).
start_setup() {
  local dir=$1
  shift
  : > "$trace"
  known=" "
  rm -f "$work/rc" "$reg_snapshot"
  (set +e; cd "$dir" && wine "$@" 2>"$trace"; echo $? > "$work/rc") &
  setup_pid=$!
}
finish_setup() {
  rm -f "$reg_snapshot"  # read again once setup has ended
  local until=$((SECONDS + wait_limit))
  while [ ! -f "$work/rc" ] && [ $SECONDS -lt $until ]; do sleep 0.25; done
  if [ ! -f "$work/rc" ]; then
    fail "waited $wait_limit s in vain for setup to end; last dialogs: $(shown | tail -3 | tr '\n' '|')"
    import -window root "$artifacts/$scenario-stuck.png" || true
    ps -eo pid,ppid,stat,args | grep -iE 'wine|\.exe' | grep -v grep | sed 's/^/stuck: /' || true
    wineserver -k || true
  fi
  wait "$setup_pid" 2>/dev/null || true
  cat "$work/rc" 2>/dev/null || echo none
}
# Every dialog caption and message-box text shown so far, in order.
shown() {
  grep -aoE 'CAPTION L"[^"]*"|MSGBOX_OnInit L"([^"\\]|\\.)*"' "$trace" 2>/dev/null |
    sed -E 's/^CAPTION L"(.*)"$/dialog: \1/; s/^MSGBOX_OnInit L"(.*)"$/box: \1/' |
    grep -v '^dialog: $' || true
}
# shown_window TEXT SECONDS: until a window of what was traced (a dialog of that caption; for
# a box any caption) is on the screen that no earlier step waited for: setup's one thread maps
# it before it takes the keys queued meanwhile. The intro, as big as the screen, is not one.
# A window that has come and gone (setup traced what follows it, and it is not on the screen)
# is waited for no longer: Wine maps a window before the next thing it makes is traced.
known=" "
shown_window() {
  local want=$1 until=$((SECONDS + $2)) w name=".*" moved_on
  case $want in "dialog: "*) name=${want#dialog: } ;; esac
  while [ $SECONDS -le $until ]; do
    moved_on=$(shown | sed -n "$((seen + 1))p")
    for w in $(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null || true); do
      case $known in *" $w "*) continue ;; esac
      xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: 800x600' && continue
      known="$known$w "
      return 0
    done
    [ -z "$moved_on" ] || return 0
    sleep 0.1
  done
  return 1
}
# last_gone: until the window the last step waited for is off the screen (a key sent while it
# goes would be lost with it).
last_gone() {
  local w until=$((SECONDS + wait_limit))
  w=$(echo $known | awk '{print $NF}')
  while [ $SECONDS -lt $until ]; do
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$w" || return 0
    sleep 0.1
  done
  fail "waited $wait_limit s in vain for window $w to close"
  return 1
}
# wait_for TEXT: until the n-th line of what was shown (n counting from 1) equals TEXT.
seen=0
wait_for() {
  local want=$1 until=$((SECONDS + wait_limit))
  while [ $SECONDS -lt $until ]; do
    local line
    line=$(shown | sed -n "$((seen + 1))p")
    if [ -n "$line" ]; then
      seen=$((seen + 1))
      if [ "$line" == "$want" ]; then
        shown_window "$want" $((until - SECONDS)) && return 0
        fail "[$want] was traced, but no new window of it showed within $wait_limit s"
        return 1
      fi
      fail "expected [$want], shown [$line]"
      return 1
    fi
    sleep 0.25
  done
  fail "waited $wait_limit s in vain for [$want]; last shown: [$(shown | tail -n1)]"
  return 1
}
keys() { xdotool key --delay 60 "$@"; }
typed() { xdotool type --delay 40 "$1"; }
shot() { import -window root "$artifacts/$1.png"; }

# The registry as setup left it: one export of the keys it touches, read for every value asked
# until a program runs again (each `wine reg query` would be a Wine start of its own). Kept in
# files: the values are asked for in subshells.
reg_snapshot=$work/registry-now.txt
reg_lookup() {  # KEY NAME ("" for the default value) -> the data (empty when absent)
  [ -s "$reg_snapshot" ] || export_registry "$reg_snapshot"
  python3 "$here/compare-registry.py" --value "$reg_snapshot" "$1" "$2"
}
reg_value() { reg_lookup "$1" "$2"; }
reg_default() { reg_lookup "$1" ""; }
# The attribute letters of a file in C:\Brindlewood, from one listing of the directory.
attribs=$work/attribs.txt
attrib_of() {  # FILE
  [ -s "$attribs" ] || wine cmd /c attrib 'C:\Brindlewood\*' 2>/dev/null | tr -d '\r' >"$attribs"
  awk -v f="$1" '{ n = $0; sub(/.*\\/, "", n) }
    tolower(n) == tolower(f) { print substr($0, 1, 10); exit }' "$attribs" | tr -d ' '
}
export_registry() {  # export_registry FILE: the parts of the registry that setup touches
  : > "$1"
  for key in 'HKLM\Software' 'HKLM\System\CurrentControlSet\Services\VxD'; do
    wine reg export "$key" "$1.part" /y >/dev/null 2>&1 || true
    iconv -f UTF-16LE -t UTF-8 "$1.part" 2>/dev/null | tr -d '\r' >> "$1" || true
    rm -f "$1.part"
  done
}

product='HKLM\SOFTWARE\Oakhurst\Brindlewood\CurrentVersion'
runonce='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce'

# The picture of PROGRESS, taken while the copy waits with its question for a held file: the
# question is moved off the dialog, whose uncovered part the question's modal loop repaints.
# Taken once the dialog's part of the screen has changed and then stays the same.
progress_shot() {
  local box dialog crop before last="" now until=$((SECONDS + wait_limit))
  local X Y WIDTH HEIGHT SCREEN WINDOW dx dy dw dh
  # The question is the window of setup's caption that is smaller than the screen.
  box=$(xdotool search --onlyvisible --name '^Brindlewood Setup$' 2>/dev/null | while read -r w; do
    xdotool getwindowgeometry "$w" | grep -q 'Geometry: 800x600' || echo "$w"; done | tail -1)
  dialog=$(xdotool search --onlyvisible --name '^Copying Files$' 2>/dev/null | head -1 || true)
  if [ -z "$box" ] || [ -z "$dialog" ] || [ "$box" == "$dialog" ]; then
    fail "no question or no PROGRESS window to picture (question [$box], dialog [$dialog])"
    return
  fi
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  dx=$X dy=$Y dw=$WIDTH dh=$HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$box")"
  crop="${dw}x${dh}+${dx}+${dy}"
  before=$(import -window root -crop "$crop" -depth 8 rgb:- | md5sum)
  # Below the dialog where there is room, else above it.
  if [ $((dy + dh + HEIGHT)) -le 600 ]; then xdotool windowmove "$box" "$X" $((600 - HEIGHT))
  else xdotool windowmove "$box" "$X" 0; fi
  while [ $SECONDS -lt $until ]; do
    sleep 0.5
    now=$(import -window root -crop "$crop" -depth 8 rgb:- | md5sum)
    if [ "$now" != "$before" ] && [ "$now" == "$last" ]; then
      shot progress
      ok "picture of PROGRESS"
      return
    fi
    last=$now
  done
  fail "waited $wait_limit s in vain for PROGRESS to repaint beside its question"
}

# The whole installation into C:\Brindlewood by keyboard; optional first argument: a disk file
# to hold back until the copy asks for it.
install() {
  local held=${1:-}
  [ -n "$held" ] && mv "$floppy/$held" "$work/held"
  seen=0
  start_setup "$floppy" 'A:\SETUP.EXE'
  wait_for "dialog: Brindlewood Setup" || return 0
  [ "$scenario" == install ] && shot intro-personal
  typed "Ada Byron"; keys Tab; typed "Analytical Engines"; keys Return
  wait_for "dialog: Program Location" || return 0
  keys Return
  if [ -d "$c/Brindlewood" ] && [ -z "$(reg_value "$product" InstallDir)" ]; then
    wait_for "box: The directory already exists. Do you want to install into it?" || return 0
    keys Return
  fi
  wait_for "dialog: Copying Files" || return 0
  if [ -n "$held" ]; then
    wait_for "box: Setup could not find file(s) required for successful installation of Brindlewood. Please make sure that correct disk is in drive, and then click retry." || return 0
    shot progress-question
    progress_shot
    mv "$work/held" "$floppy/$held"
    keys Return  # Retry
  fi
  wait_for "dialog: Brindlewood Setup" || return 0  # REBOOT
  [ "$scenario" == install ] && shot reboot
  keys alt+x
}

check_installation() {
  local s
  rm -f "$attribs"
  s=$(reg_value "$product" InstallDirShort)
  # The short form is the system's own: it must name the same directory.
  if [ -n "$s" ] && [ "$(wine cmd /c "cd /d $s && cd" 2>/dev/null | tr -d '\r' | tail -1)" == 'C:\Brindlewood' ]; then
    ok "InstallDirShort $s names C:\\Brindlewood"
  else
    fail "InstallDirShort [$s] does not name C:\\Brindlewood"
  fi
  expect_eq "$(reg_value "$product" InstallDir)" 'C:\Brindlewood' "InstallDir"
  expect_eq "$(reg_value "$product" 'Registered Owner')" 'Ada Byron' "Registered Owner"
  expect_eq "$(reg_value "$product" 'Registered Company')" 'Analytical Engines' "Registered Company"
  expect_eq "$(reg_value "$product" VersionNumber)" '1.00' "VersionNumber"
  expect_eq "$(reg_value "$product" SourceDrive)" 'C:\' "SourceDrive"
  [ -n "$(reg_value "$product" UserLogon)" ] && ok "UserLogon" || fail "UserLogon empty"
  expect_eq "$(reg_value 'HKLM\System\CurrentControlSet\Services\VxD\Brindlewood' StaticVxD)" "$s\\BrindFs.vxd" "StaticVxD"
  expect_eq "$(reg_value 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Brindlewood' DisplayName)" 'Brindlewood for Windows 95' "DisplayName"
  expect_eq "$(reg_value 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Brindlewood' UninstallString)" "$s\\setup /u" "UninstallString"
  expect_eq "$(reg_value 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' 'Brindlewood Startup')" "$s\\Startup.exe" "the Run entry"
  expect_eq "$(reg_value 'HKLM\SOFTWARE\Microsoft\Windows\Help' 'Brindlewood.hlp')" "$s" "the Help entry"
  expect_eq "$(reg_default 'HKCR\.mac')" 'Mac_auto_file' "the .mac class"
  expect_eq "$(reg_default 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Brindl~1.exe')" "$s\\Brindl~1.exe" "App Paths"
  expect_eq "$(reg_default 'HKCR\Mac_auto_file\Shell\Open\Command')" "$s\\Brindl~1.exe %1" "the open command of .mac files"
  for f in BrindFs.vxd Startup.exe Charmap.mac Cleanup.exe 'Brindlewood Utility.exe' Brindlewood.hlp \
           Enlist.exe Enlist.ini Tarnlk32.dll Hazel32.dll Corvid32.dll Setup.exe Wrenbox.dat; do
    [ -f "$c/Brindlewood/$f" ] && ok "installed $f" || fail "missing $f"
  done
  for f in Brindlew.exe Brindlew.hlp; do [ -e "$c/Brindlewood/$f" ] && fail "$f left behind"; done
  cmp -s "$c/Brindlewood/Enlist.ini" "$here/../../setup/disk/Enlist.ini" && ok "Enlist.ini expanded byte for byte" || fail "Enlist.ini differs after expansion"
  cmp -s "$c/Brindlewood/Setup.exe" "$floppy/SETUP.EXE" && ok "Setup.exe copied" || fail "Setup.exe differs"
  for f in CHARMAP.MAC CLEANUP.EXE STARTUP.EXE; do
    expect_eq "$(attrib_of "$f")" "AH" "attributes of $f"
  done
  expect_eq "$(attrib_of BrindFs.vxd)" "A" "attributes of BrindFs.vxd"
  local link="$c/windows/Start Menu/Programs/Brindlewood Utility.lnk"
  if [ -f "$link" ] && grep -aq 'Brindlewood Utility.exe' "$link"; then ok "shortcut"; else fail "shortcut missing or without its target"; fi
}

case "$scenario" in
  install)
    rm -f "$artifacts"/{intro-personal,progress,progress-question,reboot}.png
    export_registry "$work/before.reg"
    install Cleanup.ex_
    expect_eq "$(finish_setup)" 0 "exit code"
    check_installation
    ;;
  reinstall)
    install; finish_setup >/dev/null
    install
    expect_eq "$(finish_setup)" 0 "exit code of the second installation"
    if shown | grep -q 'already exists'; then fail "asked about the recorded directory"; else ok "no question about the recorded directory"; fi
    check_installation
    ;;
  remove-from-directory)
    install; finish_setup >/dev/null
    s=$(reg_value "$product" InstallDirShort)
    seen=0
    start_setup "$c/Brindlewood" "$s\\Setup.exe" /u
    wait_for "dialog: Brindlewood Setup" && keys alt+x
    expect_eq "$(finish_setup)" 1 "exit code"
    [ -z "$(reg_value "$product" InstallDir)" ] && ok "product key gone" || fail "product key left"
    [ -f "$c/Brindlewood/Setup.exe" ] && ok "the running Setup.exe stays" || fail "Setup.exe gone"
    [ -f "$c/Brindlewood/BrindFs.vxd" ] && fail "BrindFs.vxd left" || ok "other files gone"
    entry=$(reg_value "$runonce" 'Brindlewood Cleanup')
    case "$entry" in *" $s") ok "RunOnce entry [$entry]";; *) fail "RunOnce entry [$entry] does not end with ' $s'";; esac
    [ -f "$c/windows/temp/CLEANUP.EXE" ] || [ -f "$c/windows/TEMP/CLEANUP.EXE" ] && ok "clean-up program placed" || fail "no clean-up program in TEMP"
    # What Windows does at its next start: the entry's command, once.
    seen=0
    start_setup "$c/windows" "${entry% *}" "${entry##* }"
    expect_eq "$(finish_setup)" 0 "exit code of the clean-up program"
    [ -d "$c/Brindlewood" ] && fail "the clean-up left the directory: $(ls "$c/Brindlewood")" || ok "the clean-up removed the directory"
    ;;
  remove-from-floppy)
    export_registry "$work/before.reg"
    install; finish_setup >/dev/null
    seen=0
    start_setup "$floppy" 'A:\SETUP.EXE' /u
    wait_for "dialog: Brindlewood Setup" && keys alt+x
    expect_eq "$(finish_setup)" 1 "exit code"
    [ -d "$c/Brindlewood" ] && fail "directory left" || ok "directory removed"
    expect_eq "$(reg_value "$runonce" 'Brindlewood Cleanup')" "" "no RunOnce entry"
    export_registry "$work/after.reg"
    python3 "$here/compare-registry.py" "$work/before.reg" "$work/after.reg" && ok "registry as before" || fail "registry differs"
    ;;
  not-installed)
    seen=0
    start_setup "$floppy" 'A:\SETUP.EXE' /u
    wait_for "box: Brindlewood for Windows 95 in not installed" && keys Return
    expect_eq "$(finish_setup)" 0 "exit code"
    ;;
  intro)
    # The intro picture is on the screen during setup's five-second wait, before the first
    # dialog. Each look is taken with setup stopped: the picture, or the dialog if it came first.
    intro_look() {
      if shown | grep -q '^dialog: '; then intro=late; return 0; fi
      shot intro-wait
      [ "$(convert "$artifacts/intro-wait.png" -format %k info:)" -gt 16 ] && intro=painted
      return 0
    }
    seen=0 intro=
    start_setup "$floppy" 'A:\SETUP.EXE'
    until=$((SECONDS + wait_limit))
    while [ -z "$intro" ] && [ $SECONDS -lt $until ]; do
      if xdotool search --onlyvisible --name '^Brindlewood Setup$' >/dev/null 2>&1; then
        wine_frozen SETUP.EXE intro_look || true
      fi
      sleep 0.2
    done
    case $intro in
      painted) ok "the intro picture shows before the first dialog" ;;
      late) fail "the first dialog came before the intro picture was painted" ;;
      *) fail "waited $wait_limit s in vain for setup's window" ;;
    esac
    wait_for "dialog: Brindlewood Setup" && keys Escape
    wait_for "dialog: Brindlewood Setup" && keys alt+x  # INSTALLFAIL asking
    expect_eq "$(finish_setup)" 1 "exit code"
    ;;
  leave-personal)
    seen=0
    start_setup "$floppy" 'A:\SETUP.EXE'
    wait_for "dialog: Brindlewood Setup" && keys Escape
    wait_for "dialog: Brindlewood Setup" && keys alt+x  # INSTALLFAIL asking
    expect_eq "$(finish_setup)" 1 "exit code"
    ;;
  leave-location)
    seen=0
    start_setup "$floppy" 'A:\SETUP.EXE'
    wait_for "dialog: Brindlewood Setup" && { typed "Ada"; keys Return; }
    wait_for "dialog: Program Location" && keys Escape
    wait_for "dialog: Brindlewood Setup" && keys Escape  # Cancel: stay
    last_gone && keys Escape
    wait_for "dialog: Brindlewood Setup" && keys alt+x
    expect_eq "$(finish_setup)" 2 "exit code"
    [ -d "$c/Brindlewood" ] && fail "directory created" || ok "nothing created"
    ;;
  not-windows95)
    wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v Version /f >/dev/null 2>&1
    rm -f "$reg_snapshot"
    seen=0
    start_setup "$floppy" 'A:\SETUP.EXE'
    wait_for "box: This software works only under Windows 95" && keys Return
    expect_eq "$(finish_setup)" 0 "exit code"
    ;;
  restart)
    # "Restart" asks Windows to restart: under Wine that ends the prefix's session, never the host.
    seen=0
    start_setup "$floppy" 'A:\SETUP.EXE'
    wait_for "dialog: Brindlewood Setup" && { typed "Ada"; keys Return; }
    wait_for "dialog: Program Location" && keys Return
    wait_for "dialog: Copying Files"
    wait_for "dialog: Brindlewood Setup" && keys Return  # Restart
    rc=$(finish_setup)
    case "$rc" in none) fail "setup did not end after Restart";; *) ok "setup ended after Restart ($rc)";; esac
    if shown | grep -q '^box:'; then fail "a message appeared: $(shown | grep '^box:')"; else ok "no token or restart error on Windows 95"; fi
    expect_eq "$(reg_value "$product" InstallDir)" 'C:\Brindlewood' "installation kept"
    ;;
  cancel-copy)
    # Cancel at a missing required file: the notice removes what was copied; exit code 0.
    mv "$floppy/Charmap.ma_" "$work/held"
    seen=0
    start_setup "$floppy" 'A:\SETUP.EXE'
    wait_for "dialog: Brindlewood Setup" && { typed "Ada"; keys Return; }
    wait_for "dialog: Program Location" && keys Return
    wait_for "dialog: Copying Files"
    wait_for "box: Setup could not find file(s) required for successful installation of Brindlewood. Please make sure that correct disk is in drive, and then click retry." && keys Escape
    wait_for "dialog: Brindlewood Setup" && { shot installfail; keys Return; }  # INSTALLFAIL notice
    expect_eq "$(finish_setup)" 0 "exit code"
    [ -d "$c/Brindlewood" ] && fail "directory left: $(ls "$c/Brindlewood")" || ok "copied files and directory removed"
    expect_eq "$(reg_value "$product" InstallDir)" "" "nothing registered"
    ;;
  exit-copy)
    # Reinstalling over the recorded installation, Cancel in PROGRESS: Resume goes on with the copy,
    # E&xit ends it and the failure notice removes the installation once, with no clean-up left
    # behind for a directory that is gone. Two required files are held back, so that the copy
    # waits at each with its question; Cancel is pressed right after Retry with setup stopped,
    # so that it comes before the copy's next step whatever the speed: the copy is still running.
    install; finish_setup >/dev/null
    mv "$floppy/Brindl~1.ex_" "$floppy/Brindl~1.hl_" "$work/"
    missing="box: Setup could not find file(s) required for successful installation of Brindlewood. Please make sure that correct disk is in drive, and then click retry."
    seen=0
    start_setup "$floppy" 'A:\SETUP.EXE'
    wait_for "dialog: Brindlewood Setup" && { typed "Ada"; keys Return; }
    wait_for "dialog: Program Location" && keys Return
    wait_for "dialog: Copying Files"
    wait_for "$missing" && { mv "$work/Brindl~1.ex_" "$floppy/"; wine_frozen SETUP.EXE keys Return Escape; }
    wait_for "dialog: Exit Setup" && { shot confirm-exit; keys alt+r; }  # Resume
    wait_for "$missing" && wine_frozen SETUP.EXE keys Return Escape
    wait_for "dialog: Exit Setup" && keys alt+x
    wait_for "dialog: Brindlewood Setup" && keys Return  # INSTALLFAIL notice
    expect_eq "$(finish_setup)" 0 "exit code"
    [ -d "$c/Brindlewood" ] && fail "directory left: $(ls "$c/Brindlewood")" || ok "the installation was removed"
    expect_eq "$(reg_value "$product" InstallDir)" "" "product key removed"
    expect_eq "$(reg_value "$runonce" 'Brindlewood Cleanup')" "" "no clean-up entry for a directory that is gone"
    [ -f "$c/windows/temp/CLEANUP.EXE" ] || [ -f "$c/windows/TEMP/CLEANUP.EXE" ] &&
      fail "a clean-up program stays in TEMP" || ok "no clean-up program in TEMP"
    ;;
  remove-typed)
    # "setup /u" typed at a prompt on A: (an unquoted command line): the current directory says
    # floppy before the removal moves it to C:, so no clean-up entry is left for the next start.
    export_registry "$work/before.reg"
    install; finish_setup >/dev/null
    seen=0
    start_setup "$floppy" cmd /c 'setup /u'
    wait_for "dialog: Brindlewood Setup" && keys alt+x
    expect_eq "$(finish_setup)" 1 "exit code"
    [ -d "$c/Brindlewood" ] && fail "directory left" || ok "directory removed"
    expect_eq "$(reg_value "$runonce" 'Brindlewood Cleanup')" "" "no RunOnce entry"
    [ -f "$c/windows/temp/CLEANUP.EXE" ] || [ -f "$c/windows/TEMP/CLEANUP.EXE" ] &&
      fail "the clean-up program stays in TEMP" || ok "no clean-up program in TEMP"
    export_registry "$work/after.reg"
    python3 "$here/compare-registry.py" "$work/before.reg" "$work/after.reg" && ok "registry as before" || fail "registry differs"
    ;;
  product)
    # The installed programs work: startup, started as the Run value says, hands CHARMAP.MAC to
    # the driver; Brindlewood Utility, started from the shortcut's target, formats A:.
    install; finish_setup >/dev/null
    s=$(reg_value "$product" InstallDirShort)
    run=$(reg_value 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' 'Brindlewood Startup')
    seen=0
    BRINDFS_LOG=$work/driver.log start_setup "$c/windows" "$run"
    expect_eq "$(finish_setup)" 0 "startup's exit code"
    want=$(python3 - "$c/Brindlewood/Charmap.mac" <<'PY'
import re, sys
print("SetCharMap " + "".join("%02X" % (int(re.findall(rb"\d+", l)[-1]) & 0xFF)
                              for l in open(sys.argv[1], "rb").read().splitlines()[:128]))
PY
)
    grep -qx "$want" "$work/driver.log" 2>/dev/null && ok "startup sent CHARMAP.MAC to the driver" ||
      fail "the driver did not get CHARMAP.MAC: $(head -c 300 "$work/driver.log" 2>/dev/null)"
    # A blank floppy in A: for the formatter.
    truncate -s 0 "$work/blank.img"; truncate -s 1474560 "$work/blank.img"
    bash "$wine_tools/map-floppy.sh" "$WINEPREFIX" "$work/blank.img"
    wine_session_start
    target=$(strings -n 8 "$c/windows/Start Menu/Programs/Brindlewood Utility.lnk" |
             grep -m1 -E '^[A-Za-z]:.*Brindlewood Utility.exe$' || true)
    expect_eq "$target" 'C:\Brindlewood\Brindlewood Utility.exe' "shortcut target"
    seen=0
    start_setup "$c/Brindlewood" "$target" 'A:'
    if wait_for "dialog: Brindlewood Format"; then
      dialog=$(echo $known | awk '{print $NF}')
      # The program's main window is on the screen too: no box the format brings up is it.
      known=" $(xdotool search --onlyvisible --name . 2>/dev/null | tr '\n' ' ')"
      xdotool windowfocus --sync "$dialog" 2>/dev/null || true
      keys alt+v Down; sleep 0.5
      keys alt+l ctrl+a BackSpace; typed "Installed"; keys alt+q alt+s
      sleep 1; shot utility-format
      # Whatever the program asks before and after the format is answered with its default.
      results= until=$((SECONDS + wait_limit))
      while [ -z "$results" ] && [ $SECONDS -lt $until ]; do
        line=$(shown | sed -n "$((seen + 1))p")
        if [ -n "$line" ]; then
          seen=$((seen + 1))
          echo "utility: $line"
          shown_window "$line" "$wait_limit" || fail "no window of [$line] showed within $wait_limit s"
          keys Return
          case "$line" in "dialog: Format Results") results=yes ;; esac
        fi
        sleep 0.25
      done
      [ -n "$results" ] || fail "waited $wait_limit s in vain for \"Format Results\"; last shown: [$(shown | tail -n1)]"
      sleep 0.5
      xdotool windowfocus --sync "$dialog" 2>/dev/null || true
      keys Escape
    fi
    rc=$(finish_setup)
    expect_eq "$rc" 0 "Brindlewood Utility's exit code"
    mkdir -p "$work/home"
    name=$(HOME=$work/home hmount "$work/blank.img" >/dev/null 2>&1 && HOME=$work/home hvol 2>/dev/null |
           sed -n 's/^Volume name is "\(.*\)"$/\1/p'; HOME=$work/home humount >/dev/null 2>&1 || true)
    expect_eq "$name" "Installed" "the formatted floppy's volume name"
    ;;
  help)
    install; finish_setup >/dev/null
    # The installed help file, expanded from the disk, opens in the help system at its contents.
    (wine winhlp32 'C:\Brindlewood\Brindlewood.hlp' 2>/dev/null &)
    found="" until=$((SECONDS + wait_limit))
    while [ -z "$found" ] && [ $SECONDS -lt $until ]; do
      found=$(xdotool search --name "Brindlewood for Windows 95 Help" 2>/dev/null | head -1 || true)
      sleep 0.25
    done
    sleep 1
    shot help-contents
    [ -n "$found" ] && ok "help opens with its title" || fail "waited $wait_limit s in vain for the help window"
    wineserver -k >/dev/null 2>&1 || true
    ;;
  *) echo "unknown scenario $scenario"; exit 2 ;;
esac
echo "-- shown:"; shown
wineserver -k >/dev/null 2>&1 || true
[ $failures -eq 0 ]
