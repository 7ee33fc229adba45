#!/usr/bin/env bash
# GUI scenarios of Brindlewood Utility under Wine on a virtual display, driven by keyboard.
# usage: utility-gui.sh SCENARIO PROGRAM STANDIN TEMPLATE_PREFIX WORKDIR ARTIFACTS REPAINT_TOOL
# Message boxes are found by caption; their text is read from Wine's message-box trace.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != "--on-display" ]; then
  scenario=$1 program=$(realpath "$2") standin=$(realpath "$3") template=$4 work=$5
  artifacts=$(realpath -m "$6") repaint=$(realpath "$7")
  rm -rf "$work"; mkdir -p "$work" "$artifacts"
  bash "$here/../wine/clone-prefix.sh" "$template" "$work/prefix"
  export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  mkdir -p "$work/bin"
  cp "$program" "$work/bin/Brindlewood Utility.exe"
  echo "$standin" > "$work/standin-path"
  cp "$repaint" "$work/repaint.exe"
  exec timeout 600 bash "$here/../wine/with-xvfb.sh" bash "$0" --on-display "$scenario" "$work" "$artifacts"
fi

scenario=$2 work=$3 artifacts=$4
cd "$work/bin"
exe="Brindlewood Utility.exe"
failures=0

source "$here/../wine/gui-lib.sh"
source "$here/../wine/session.sh"
wine_session_start

# Counts the windows with this exact title.
count_windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l || true; }

# Starts the program in the background with a message-box trace; the exit code lands in NAME.rc.
start() {
  local name=$1; shift
  ( set +e; WINEDEBUG=+msgbox wine "$exe" "$@" >"$work/$name.out" 2>"$work/$name.trace"
    echo $? >"$work/$name.rc" ) </dev/null >/dev/null 2>&1 &
}

# Sends keys to a window and waits until it has gone (pressing them again once if it is still
# there after 30 s: keys sent while the window was not yet taking them).
answer() {
  local window=$1 attempt until; shift
  for attempt in 30 "$wait_limit"; do
    keys "$window" "$@"
    until=$((SECONDS + attempt))
    while [ $SECONDS -lt $until ]; do
      xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$window" || return 0
      sleep 0.1
    done
  done
  fail "waited $((30 + wait_limit)) s in vain for window $window to close"
}

shown_text() { eventually grep -q "MSGBOX_OnInit L\"$2\"" "$work/$1.trace"; }

expect_box() {  # NAME CAPTION TEXT [IDS...]: a new box with that caption shows that text;
                # it is answered with Return
  local name=$1 caption=$2 text=$3 box; shift 3
  if box=$(wait_window "$caption" "$@"); then
    if shown_text "$name" "$text"; then ok "\"$caption\" says \"$text\""; else
      fail "\"$caption\" does not say \"$text\""; grep MSGBOX "$work/$name.trace" || true; fi
    answer "$box" Return
  else
    fail "no box \"$caption\" appeared"
    import -window root "$work/no-box.png" || true
  fi
}

exit_program() {  # NAME WINDOW: File > Exit
  keys "$2" alt+f x
  expect_exit "$1" 0
}


# The floppy image mapped as A: (stand-in driver beside the program), made by a helper of hfsutils
# or mtools so that the dialog meets a Macintosh, a DOS or a blank disk.
make_floppy() {  # KIND: blank | mac | dos
  local img=$work/floppy.img
  rm -f "$img"; truncate -s 1474560 "$img"; mkdir -p "$work/home"
  case $1 in
    mac) HOME=$work/home hformat -l "Old Volume" "$img" >/dev/null ;;
    dos) mformat -i "$img" -f 1440 -v OLDDOS :: ;;
  esac
  bash "$here/../wine/map-floppy.sh" "$WINEPREFIX" "$img"
  wine_session_start
  cp "$(cat "$work/standin-path")" "$work/bin/brindfs.vxd"
}

# The volume name hfsutils reads from the image, or nothing when it does not mount.
hfs_volume_name() {
  mkdir -p "$work/home"
  HOME=$work/home hmount "$work/floppy.img" >/dev/null 2>&1 || return 0
  HOME=$work/home hvol 2>/dev/null | sed -n 's/^Volume name is "\(.*\)"$/\1/p'
  HOME=$work/home humount >/dev/null 2>&1 || true
}

# Runs the test tool on the program's desktop: --focus or --texts of the window TITLE; prints
# what it wrote, one line per control.
ask_tool() {  # --focus|--texts TITLE
  rm -f "$work/tool.txt"
  wine explorer /desktop=shot,800x600 "$work/repaint.exe" "$1" "$2" "$(winepath -w "$work/tool.txt")" \
    >/dev/null 2>&1 || true
  for _ in $(seq 1 50); do [ -s "$work/tool.txt" ] && break; sleep 0.1; done
  sleep 0.2
  tr -d '\r' <"$work/tool.txt" 2>/dev/null || true
}

# Starts the program on a virtual desktop (captions in screenshots), opens File > Format... and
# picks A: in the drive list (unless --stay: the drive the dialog chose). Prints the main
# window's and the dialog's ids.
open_format_dialog() {
  ( set +e; WINEDEBUG=+msgbox,+win,+edit wine explorer /desktop=shot,800x600 "$exe" \
      >"$work/format.out" 2>"$work/format.trace"; echo $? >"$work/format.rc" ) </dev/null >/dev/null 2>&1 &
  local main dialog
  main=$(wait_window "Brindlewood Utility") || { fail "the main window did not appear"; return 1; }
  keys "$main" alt+f m
  dialog=$(wait_window "Brindlewood Format") || { fail "File > Format... opened no dialog"; return 1; }
  # The drive box: Down selects its first entry, A:.
  [ "${1:-}" = --stay ] || keys "$dialog" alt+v Down
  echo "$main $dialog"
}

# Types the label, picks the kind of format and presses Start.
start_format() {  # DIALOG LABEL quick|full
  keys "$1" alt+l ctrl+a BackSpace
  xdotool type --delay 80 "$2"
  if [ "$3" = quick ]; then keys "$1" alt+q; else keys "$1" alt+f; fi
  keys "$1" alt+s
}

# The format dialog is idle again: one Escape (button 2) ends it. While a format runs the same
# key would only stop the format and leave the dialog open.
expect_idle_and_close() {  # DIALOG
  keys "$1" Escape
  if gone "$1"; then ok "the dialog was idle: Close ended it"
  else fail "the dialog did not close within $wait_limit s: still formatting?"; fi
}

# The leftmost and rightmost columns of the progress bar in a screenshot: the bar's colour (the
# active caption's) in the bottom strip of the dialog's window. Empty when no bar is drawn.
bar_edges() {  # SHOT DIALOG
  local x y w h
  eval "$(xdotool getwindowgeometry --shell "$2" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  x=$X y=$Y w=$WIDTH h=$HEIGHT
  convert "$1" -crop "${w}x$((h / 8))+${x}+$((y + h - h / 8))" +repage txt:- |
    awk -F'[,:() ]+' -v colour="$bar_colour" 'NR > 1 && $0 ~ colour {
      if (min == "" || $1 < min) min = $1; if (max == "" || $1 > max) max = $1 }
      END { if (min != "") print min, max }'
}

case $scenario in
  about)
    # Owner and company as setup would have written them.
    key='HKLM\SOFTWARE\Oakhurst\Brindlewood\CurrentVersion'
    wine reg add "$key" /v "Registered Owner" /d "Ann Example" /f >/dev/null 2>&1
    wine reg add "$key" /v "Registered Company" /d "Oakhurst Test Labs" /f >/dev/null 2>&1
    # A virtual desktop draws window captions into the screenshots.
    ( set +e; WINEDEBUG=+msgbox,+win wine explorer /desktop=shot,800x600 "$exe" \
        >"$work/about.out" 2>"$work/about.trace"; echo $? >"$work/about.rc" ) &
    if main=$(wait_window "Brindlewood Utility"); then
      sleep 1
      import -window root "$artifacts/main-window.png"
      ok "main window up"
      keys "$main" alt+h Up Return
      if about=$(wait_window "About Brindlewood Utility"); then
        sleep 1
        import -window root "$artifacts/about-box.png"
        for value in "Ann Example" "Oakhurst Test Labs"; do
          if grep -q "set_window_text L\"$value\"" "$work/about.trace"; then
            ok "About box shows \"$value\""
          else
            fail "About box does not show \"$value\""
          fi
        done
        answer "$about" Return && ok "OK closes the About box"
      else
        fail "the About box did not open"
      fi
      keys "$main" alt+f x
      wait_exit "$work/about.rc" && ok "Exit ends the program" || fail "Exit did not end the program"
    else
      fail "the main window did not appear"
    fi
    ;;

  second-instance)
    start first
    if main=$(wait_window "Brindlewood Utility"); then
      start second
      expect_box second "Brindlewood Utility" "Brindlewood Utility is already running" "$main"
      expect_exit second 0
      [ -s "$work/first.rc" ] && fail "the first copy ended too" || ok "the first copy still runs"
      exit_program first "$main"
    else
      fail "the main window did not appear"
    fi
    ;;

  no-driver)
    start menu
    if main=$(wait_window "Brindlewood Utility"); then
      keys "$main" alt+f m
      expect_box menu "Brindlewood Format" "Brindlewood driver for Windows 95 is not installed"
      sleep 0.5
      [ -s "$work/menu.rc" ] && fail "the program ended after a menu Format" || ok "a normal start keeps running"
      [ "$(count_windows "Brindlewood Format")" = 0 ] && ok "no format dialog" || {
        fail "a format dialog opened"; xdotool search --onlyvisible --name "^Brindlewood Format\$" getwindowgeometry %@ || true
        import -window root "$work/after-box.png"; }
      exit_program menu "$main"
    else
      fail "the main window did not appear"
    fi
    # Started with a drive but without the driver: the message, then the program ends.
    start argument a:
    expect_box argument "Brindlewood Format" "Brindlewood driver for Windows 95 is not installed"
    expect_exit argument 0
    ;;

  drive-argument)
    cp "$(cat "$work/standin-path")" "$work/bin/brindfs.vxd"
    start argument a:
    if dialog=$(wait_window "Brindlewood Format"); then
      ok "a: opens the format dialog"
      sleep 0.5
      grep -q MSGBOX "$work/argument.trace" && fail "a message box was shown: $(grep MSGBOX "$work/argument.trace")"
      answer "$dialog" Escape
      expect_exit argument 0
    else
      fail "a: did not open the format dialog"
    fi
    ;;

  not-installed)
    # No product key: Options and Help have no installation to work with.
    start menu
    if main=$(wait_window "Brindlewood Utility"); then
      keys "$main" alt+v o
      expect_box menu "Error" \
        "Brindlewood for Windows 95 is not installed. Please install from setup disk"
      keys "$main" alt+h h
      expect_box menu "Brindlewood Format" "Brindlewood Driver for Windows 95 is not installed"
      sleep 0.5
      [ -s "$work/menu.rc" ] && fail "the program ended" || ok "a normal start keeps running"
      exit_program menu "$main"
    else
      fail "the main window did not appear"
    fi
    # A .mac file opened from the shell: the Options message, then the program ends.
    start argument 'C:\Program Files\Brindlewood\Charmap.Mac'
    expect_box argument "Error" \
      "Brindlewood for Windows 95 is not installed. Please install from setup disk"
    expect_exit argument 0
    ;;

  quick-format)
    make_floppy mac
    if ids=$(open_format_dialog --stay); then
      set -- $ids; main=$1 dialog=$2
      sleep 0.5
      import -window root "$artifacts/format-dialog.png"
      eventually grep -q 'L"Old Volume"' "$work/format.trace" &&
        ok "the label field shows the disk's name \"Old Volume\"" ||
        fail "the label field does not show the disk's name"
      # The dialog looked at the disk in A: as it opened: Start has the focus, not the drive box.
      focus=$(ask_tool --focus "Brindlewood Format")
      [ "$focus" = 1 ] && ok "Start has the focus as the dialog opens" ||
        fail "the control with the focus is '$focus', not Start (1)"
      start_format "$dialog" "Quick Test" quick
      expect_box format "Brindlewood Format" \
        "Disk is already in Macintosh format. Do you wish to continue with the format?" "$dialog"
      if results=$(wait_window "Format Results"); then
        sleep 0.5
        import -window root "$artifacts/results.png"
        ok "the summary is shown"
        # The figures of a 1.44 MB Macintosh volume, as the dialog shows them.
        figures=$(ask_tool --texts "Format Results" | tr '\n' '|')
        case $figures in
          *"1,448,960||0||1,448,960|||512||2880|"*) ok "the summary shows the volume's figures" ;;
          *) fail "the summary's figures: $figures" ;;
        esac
        answer "$results" Return
      else
        fail "no summary at the end"
      fi
      expect_idle_and_close "$dialog"
      keys "$main" alt+f x
      wait_exit "$work/format.rc" || fail "the program did not end"
      name=$(hfs_volume_name)
      [ "$name" = "Quick Test" ] && ok "hfsutils mounts the volume \"$name\"" ||
        fail "hfsutils reads the volume name \"$name\", not \"Quick Test\""
    fi
    ;;

  full-format)
    make_floppy dos
    if ids=$(open_format_dialog); then
      set -- $ids; main=$1 dialog=$2
      bar_colour=$(printf '#%06X' "$(wine "$work/repaint.exe" --colour 2>/dev/null | tr -d '\r')")
      start_format "$dialog" "Full Test" full
      # Part way through the tracks: the bar is visible. The question is answered with the
      # program stopped, and from then on it runs in slices of 50 ms with a look at the screen
      # between two, so the first look that finds the bar comes early in the tracks however fast
      # the program is. Still held, the whole dialog is invalidated; once it runs again it
      # repaints before its next step, so a shot in which the bar has grown comes after the
      # repaint and must show every block drawn before it.
      before= after=
      if box=$(wait_window "Brindlewood Format" "$dialog"); then
        shown_text format "Disk is already in DOS format. Do you wish to continue with the format?" &&
          ok "the DOS disk is named before the format" || fail "no question about the DOS disk"
        held=$(wine_pids "$exe")
        kill -STOP $held
        keys "$box" Return
        until=$((SECONDS + wait_limit))
        while [ -z "$before" ] && [ $SECONDS -lt $until ]; do
          kill -CONT $held; sleep 0.05; kill -STOP $held
          import -window root "$artifacts/format-running.png"
          before=$(bar_edges "$artifacts/format-running.png" "$dialog")
        done
        # On the program's own desktop, where its windows are found by title.
        [ -z "$before" ] || wine explorer /desktop=shot,800x600 "$work/repaint.exe" >/dev/null 2>&1 || true
        kill -CONT $held
      else
        fail "no question about the DOS disk"
      fi
      [ -n "$before" ] || fail "waited $wait_limit s in vain for the bar to show"
      while [ -n "$before" ] && [ $SECONDS -lt $until ]; do
        import -window root "$artifacts/format-repainted.png"
        after=$(bar_edges "$artifacts/format-repainted.png" "$dialog")
        [ -n "$after" ] && [ "${after#* }" -gt "${before#* }" ] && break
        after=
      done
      if [ -z "$before" ]; then :
      elif [ -z "$after" ]; then
        fail "waited $wait_limit s in vain for the bar to grow past column ${before#* } after a repaint"
      elif [ "${before% *}" = "${after% *}" ]; then
        ok "a repaint keeps the bar from its left end (column ${after% *})"
      else
        fail "after a repaint the bar starts at column ${after% *}, not ${before% *}"
      fi
      if results=$(wait_window "Format Results"); then
        ok "the full format ran to its summary"
        statuses=$(grep -o -E 'set_window_text L"(Initializing|Formatting|Creating File System)\.\.\."' \
          "$work/format.trace" | sed 's/.*L"//; s/"$//' | tr '\n' '|')
        [ "$statuses" = "Initializing...|Formatting...|Creating File System...|" ] &&
          ok "the status line went through $statuses" || fail "status line: $statuses"
        answer "$results" Return
      else
        fail "no summary at the end"
      fi
      expect_idle_and_close "$dialog"
      keys "$main" alt+f x
      wait_exit "$work/format.rc" || fail "the program did not end"
      name=$(hfs_volume_name)
      [ "$name" = "Full Test" ] && ok "hfsutils mounts the volume \"$name\"" ||
        fail "hfsutils reads the volume name \"$name\", not \"Full Test\""
    fi
    ;;

  cancel-full)
    make_floppy blank
    if ids=$(open_format_dialog); then
      set -- $ids; main=$1 dialog=$2
      start_format "$dialog" "Never" full
      # A blank disk asks nothing before a full format; Cancel in the middle of the tracks:
      # pressed with the program stopped once its status says so, it comes before the next track.
      until=$((SECONDS + wait_limit))
      until grep -q 'set_window_text L"Formatting\.\.\."' "$work/format.trace" || [ $SECONDS -ge $until ]; do
        sleep 0.1
      done
      grep -q 'set_window_text L"Formatting\.\.\."' "$work/format.trace" ||
        fail "waited $wait_limit s in vain for the status \"Formatting...\""
      wine_frozen "$exe" keys "$dialog" Escape
      sleep 1
      [ "$(count_windows "Format Results")" = 0 ] && ok "no summary after Cancel" ||
        fail "a summary was shown after Cancel"
      [ "$(count_windows "Brindlewood Format")" = 1 ] && ok "the dialog stays open" ||
        fail "the dialog closed on Cancel"
      grep -q 'set_window_text L"Creating File System..."' "$work/format.trace" &&
        fail "the file system was started" || ok "Cancel came before the file system"
      import -window root "$artifacts/after-cancel.png"
      expect_idle_and_close "$dialog"
      keys "$main" alt+f x
      wait_exit "$work/format.rc" || fail "the program did not end"
      name=$(hfs_volume_name)
      [ -z "$name" ] && ok "no volume on the disk" || fail "a volume \"$name\" was written"
      cmp -s "$work/floppy.img" <(head -c 1474560 /dev/zero) && ok "nothing was written" ||
        fail "the blank disk was written to"
    fi
    ;;

  *) echo "unknown scenario $scenario"; exit 2 ;;
esac

wineserver -k >/dev/null 2>&1 || true
[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "scenario $scenario passed"
