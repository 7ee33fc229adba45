#!/usr/bin/env bash
# The Options sheet of Brindlewood Utility under Wine on a virtual display, with the driver
# stand-in beside the program. Keys where the sheet has them; mouse clicks where it has none (a
# grid cell, the OK buttons), placed from the dialogs' own layout in dialog units.
# usage: options-gui.sh SCENARIO PROGRAM STANDIN TEMPLATE_PREFIX WORKDIR ARTIFACTS
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != "--on-display" ]; then
  scenario=$1 program=$2 standin=$3 template=$4 work=$5 artifacts=$6
  rm -rf "$work"; mkdir -p "$work" "$artifacts"
  bash "$here/../wine/clone-prefix.sh" "$template" "$work/prefix"
  export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  mkdir -p "$work/bin" "$work/prefix/drive_c/Brindlewood"
  cp "$program" "$work/bin/Brindlewood Utility.exe"
  cp "$standin" "$work/bin/brindfs.vxd"
  exec timeout 600 bash "$here/../wine/with-xvfb.sh" bash "$0" --on-display "$scenario" "$work" "$artifacts"
fi

scenario=$2 work=$3 artifacts=$4
cd "$work/bin"
exe="Brindlewood Utility.exe"
mapfile="$work/prefix/drive_c/Brindlewood/CHARMAP.MAC"
export BRINDFS_LOG="$work/driver.log"
failures=0

keys_settle=0.5  # the sheet redraws its grids after most keys
source "$here/../wine/gui-lib.sh"
source "$here/../wine/session.sh"
wine_session_start
wine reg add 'HKLM\SOFTWARE\Oakhurst\Brindlewood\CurrentVersion' /v InstallDir \
  /d 'C:\Brindlewood' /f >/dev/null 2>&1
# The standard Windows 95 scheme draws menus in the dialog colour; the details texts beside
# the labels use the menu colours.
face=$(grep -a '^"ButtonFace"=' "$work/prefix/user.reg" | head -n1 | cut -d'"' -f4 || true)
wine reg add 'HKCU\Control Panel\Colors' /v Menu /d "${face:-192 192 192}" /f >/dev/null 2>&1

start() {  # NAME [ARGS...]: the program in the background; its exit code lands in NAME.rc
  local name=$1; shift
  ( set +e; WINEDEBUG=+msgbox wine "$exe" "$@" >"$work/$name.out" 2>"$work/$name.trace"
    echo $? >"$work/$name.rc" ) &
}

# Window geometry: the client area (no window manager draws frames here).
geometry() {  # WINDOW -> X Y W H
  xdotool getwindowgeometry --shell "$1" | awk -F= '
    /^X=/ {x=$2} /^Y=/ {y=$2} /^WIDTH=/ {w=$2} /^HEIGHT=/ {h=$2} END {print x, y, w, h}'
}

click_at() {  # X Y (screen)
  xdotool mousemove --sync "$1" "$2"
  sleep 0.2
  xdotool click 1
  sleep 0.5
}

shot() { sleep 0.5; import -window root "$artifacts/$1"; }

expect_box() {  # NAME TEXT: a message box (no caption of its own) shows TEXT; answered Return
  local name=$1 text=$2 box
  if box=$(wait_window "Error"); then
    if eventually grep -q "MSGBOX_OnInit L\"$text\"" "$work/$name.trace"; then ok "box says \"$text\""
    else fail "the box does not say \"$text\""; grep MSGBOX "$work/$name.trace" || true; fi
    keys "$box" Return
    gone "$box" || fail "the box did not close"
  else
    fail "no box \"$text\""
    import -window root "$work/no-box.png" || true
  fi
}

no_box() {  # NAME
  if grep -q MSGBOX "$work/$1.trace"; then fail "a box was shown: $(grep MSGBOX "$work/$1.trace")"
  else ok "no message box"; fi
}

sends() { [ -f "$BRINDFS_LOG" ] && grep -c '^SetCharMap ' "$BRINDFS_LOG" || echo 0; }

# Line K (0-based) of CHARMAP.MAC.
line() { sed -n "$(($1 + 1))p" "$mapfile" | tr -d '\r'; }

# CHARMAP.MAC as the driver receives it: 256 hex digits of the 128 values.
file_as_hex() {
  tr -d '\r' <"$mapfile" | awk '{ printf "%02X", $NF }'
}

check_default_file() {
  if [ ! -f "$mapfile" ]; then fail "CHARMAP.MAC was not created"; return; fi
  local lines crlf
  lines=$(wc -l <"$mapfile")
  crlf=$(grep -c $'\r$' "$mapfile" || true)
  [ "$lines" = 128 ] && [ "$crlf" = 128 ] && ok "128 lines ending in CR LF" ||
    fail "$lines lines, $crlf with CR LF"
  [ "$(line 0)" = "The Mac 128 is mapped To 196" ] && [ "$(line 1)" = "The Mac 129 is mapped To 197" ] &&
    [ "$(line 32)" = "The Mac 160 is mapped To 1" ] && ok "the default mapping's lines" ||
    fail "not the default mapping: $(line 0) / $(line 1) / $(line 32)"
}

check_hidden() {
  local attrib
  attrib=$(wine cmd /c attrib 'C:\Brindlewood\CHARMAP.MAC' 2>/dev/null | tr -d '\r')
  case "$attrib" in
    *H*CHARMAP.MAC*) ok "CHARMAP.MAC is hidden" ;;
    *) fail "CHARMAP.MAC is not hidden: $attrib" ;;
  esac
}

check_sent_file() {  # the last table the stand-in received is the file's
  local last
  last=$(grep '^SetCharMap ' "$BRINDFS_LOG" 2>/dev/null | tail -n1 | cut -d' ' -f2 | tr a-f A-F)
  [ -n "$last" ] && [ "$last" = "$(file_as_hex)" ] && ok "the driver received the file's table" ||
    fail "the driver received ${last:-nothing}, the file holds $(file_as_hex)"
}

# Dialog units to pixels as the dialog's font gives them: base units from the Edit dialog's
# client size (356 x 239 units), rounded as the system rounds them.
dlu_x() { echo $(( ($1 * edit_w * 2 / 356 + 1) / 2 )); }
dlu_y() { echo $(( ($1 * edit_h * 2 / 239 + 1) / 2 )); }

# The centre of the Edit dialog's cell for Windows character W, in screen coordinates.
win_cell_centre() {
  local w=$1 left top right bottom cw ch n
  left=$(dlu_x 15) top=$(dlu_y 74) right=$(dlu_x 277) bottom=$(dlu_y 187)
  cw=$(( (right - left) / 16 )) ch=$(( (bottom - top) / 8 ))
  n=$(( w - 0x80 ))
  echo $(( edit_x + left + (n % 16) * cw + cw / 2 )) $(( edit_y + top + (n / 16) * ch + ch / 2 ))
}

# The page sits in the sheet below its tab, 10 pixels in and 28 down from the sheet's corner.
page_origin() {  # SHEET -> X Y
  local x y w h
  read -r x y w h < <(geometry "$1")
  echo $(( x + 10 )) $(( y + 28 ))
}

# A point 3 pixels inside the top-left corner of cell N (1-128) of the page's grid, in screen
# coordinates; "centre" as a third argument gives the cell's centre.
page_cell_point() {  # SHEET N [centre]
  local px py left top right bottom cw ch n=$(( $2 - 1 ))
  read -r px py < <(page_origin "$1")
  left=$(dlu_x 22) top=$(dlu_y 41) right=$(dlu_x 305) bottom=$(dlu_y 154)
  cw=$(( (right - left) / 16 )) ch=$(( (bottom - top) / 8 ))
  if [ "${3:-}" = centre ]; then
    echo $(( px + left + (n % 16) * cw + cw / 2 )) $(( py + top + (n / 16) * ch + ch / 2 ))
  else
    echo $(( px + left + (n % 16) * cw + 3 )) $(( py + top + (n / 16) * ch + 3 ))
  fi
}

# The colour at a point of the screen, or of a screenshot given as a third argument.
pixel() {
  local picture=${3:-$work/screen.png}
  [ -n "${3:-}" ] || import -window root -depth 8 "$picture"
  convert "$picture" -depth 8 -crop "1x1+$1+$2" txt:- | tail -n1 | awk '{print $3}'
}

edit_ok() { click_at $(( edit_x + $(dlu_x 169) )) $(( edit_y + $(dlu_y 204) )); }

# The sheet's OK button: the sheet lays out OK, Cancel and Apply (50 x 14 units, 4 apart) at
# its bottom right corner.
sheet_button() {  # SHEET OFFSET: the button whose centre is OFFSET pixels left of the corner
  local x y w h
  read -r x y w h < <(geometry "$1")
  click_at $(( x + w - $2 )) $(( y + h - 19 ))
}
sheet_ok() { sheet_button "$1" 207; }
# After an apply the sheet disables Apply, which had the focus: Escape then reaches no button.
sheet_cancel() { sheet_button "$1" 127; }

case $scenario in
  menu-no-file)
    start menu
    main=$(wait_window "Brindlewood Utility") || { fail "no main window"; exit 1; }
    keys "$main" alt+v o
    expect_box menu "Current character mapping file does not exist, default mapping is loaded"
    if sheet=$(wait_window "Options"); then
      ok "View > Options... opens the sheet"
      shot options-page.png
      [ -f "$mapfile" ] && fail "opening the page created the file" || ok "opening creates no file"
      sheet_ok "$sheet"
      gone "$sheet" && ok "OK closes the sheet" || fail "OK did not close the sheet"
      check_default_file
      check_hidden
      [ "$(sends)" = 1 ] && ok "the table was sent once" || fail "sent $(sends) times"
      check_sent_file
      [ -s "$work/menu.rc" ] && fail "the program ended" || ok "a normal start keeps running"
      keys "$main" alt+f x
      expect_exit menu 0
    else
      fail "the sheet did not open"; import -window root "$work/no-sheet.png"
    fi
    ;;

  argument-apply-twice)
    start argument 'C:\Brindlewood\charmap.mac'
    expect_box argument "Current character mapping file does not exist, default mapping is loaded"
    if sheet=$(wait_window "Options"); then
      ok "the CHARMAP.MAC argument opens the sheet"
      keys "$sheet" alt+a
      [ "$(sends)" = 1 ] && ok "Apply is enabled as the page opens and sends" ||
        fail "the first Apply sent $(sends) tables"
      check_default_file
      first=$(cat "$mapfile")
      # An apply disables Apply until the page reports a change: Edit, cancelled, is one. Set
      # Default before the Cancel must leave the table as it was.
      keys "$sheet" alt+e
      if edit=$(wait_window "Edit Character Mapping"); then
        keys "$edit" alt+s
        shot edit-dialog-set-default.png
        keys "$edit" Escape
        gone "$edit" || fail "Cancel did not close the Edit dialog"
      else
        fail "the Edit dialog did not open"
      fi
      [ "$(cat "$mapfile")" = "$first" ] && ok "Edit, Cancel writes nothing" || fail "the file changed"
      keys "$sheet" alt+a
      [ "$(sends)" = 2 ] && ok "Apply twice sends twice" || fail "sent $(sends) times"
      [ "$(cat "$mapfile")" = "$first" ] && ok "the same file both times" || fail "the file changed"
      check_hidden
      sheet_cancel "$sheet"
      expect_exit argument 0
      [ "$(sends)" = 2 ] && ok "Cancel sends nothing more" || fail "sent $(sends) times"
    else
      fail "the sheet did not open"
    fi
    ;;

  all-default-cancel)
    # A mapping of the user's own: Macintosh 0x80 stands for Windows 0xB2.
    printf 'The Mac 128 is mapped To 178\r\n' >"$mapfile"
    cp "$mapfile" "$work/before"
    # In a virtual desktop, which draws the windows' captions into the screenshots.
    ( set +e; WINEDEBUG=+msgbox wine explorer /desktop=shot,800x600 "$exe" 'c:\brindlewood\CHARMAP.MAC' \
        >"$work/argument.out" 2>"$work/argument.trace"; echo $? >"$work/argument.rc" ) &
    if sheet=$(wait_window "Options"); then
      no_box argument
      shot options-sheet-caption.png
      keys "$sheet" alt+d
      shot options-all-default.png
      keys "$sheet" Escape
      expect_exit argument 0
      cmp -s "$mapfile" "$work/before" && ok "the file is unchanged" || fail "the file changed"
      [ "$(sends)" = 0 ] && ok "nothing was sent" || fail "sent $(sends) times"
    else
      fail "the sheet did not open"
    fi
    ;;

  edit-move)
    start argument 'C:\Brindlewood\CHARMAP.MAC'
    expect_box argument "Current character mapping file does not exist, default mapping is loaded"
    if sheet=$(wait_window "Options"); then
      shot options-page-opening.png
      keys "$sheet" alt+e
      if edit=$(wait_window "Edit Character Mapping"); then
        ok "Edit opens Edit Character Mapping"
        read -r edit_x edit_y edit_w edit_h < <(geometry "$edit")
        # The opening highlight of the first cell, as the page showed it.
        lit=$(pixel $(page_cell_point "$sheet" 1) "$artifacts/options-page-opening.png")
        shot edit-dialog.png
        # Macintosh 0x80 (selected as the page opens) gets Windows 0xE9, which 0x8E had.
        click_at $(win_cell_centre 0xE9)
        shot edit-dialog-chosen.png
        edit_ok
        gone "$edit" && ok "OK closes the Edit dialog" || fail "the Edit dialog is still up"
        shot options-page-after-edit.png
        [ -f "$mapfile" ] && fail "the Edit dialog wrote the file" || ok "nothing written before Apply"
        keys "$sheet" alt+a
        [ "$(line 0)" = "The Mac 128 is mapped To 233" ] &&
          [ "$(line 14)" = "The Mac 142 is mapped To 1" ] &&
          ok "Apply writes the moved mapping" ||
          fail "after Apply: $(line 0) / $(line 14)"
        check_sent_file
        # A click on the page's cell of Macintosh 0xA0 selects it; the strip right of the 16
        # columns selects nothing.
        click_at $(page_cell_point "$sheet" 33 centre)
        shot options-page-selected.png
        [ "$(pixel $(page_cell_point "$sheet" 33))" = "$lit" ] && ok "a click lights its cell" ||
          fail "the clicked cell is not lit"
        [ "$(pixel $(page_cell_point "$sheet" 1))" != "$lit" ] && ok "the first cell is no longer lit" ||
          fail "the first cell is still lit"
        read -r sx sy < <(page_cell_point "$sheet" 48 centre)
        read -r px _ < <(page_origin "$sheet")
        strip=$(( px + $(dlu_x 22) + ($(dlu_x 305) - $(dlu_x 22)) / 16 * 16 ))  # the last line
        [ $(( strip + 4 )) -lt $(( px + $(dlu_x 305) )) ] || fail "no strip at this size"
        click_at $(( strip + 4 )) "$sy"
        [ "$(pixel $(page_cell_point "$sheet" 33))" = "$lit" ] &&
          [ "$(pixel $(page_cell_point "$sheet" 48))" != "$lit" ] &&
          ok "a click beside the grid keeps the selection" || fail "a click beside the grid selected"
        sheet_cancel "$sheet"
        expect_exit argument 0
      else
        fail "the Edit dialog did not open"; import -window root "$work/no-edit.png"
      fi
    else
      fail "the sheet did not open"
    fi
    ;;

  driver-messages)
    # The driver refuses the table, then is not there at all: each time the message, and the
    # file is written all the same.
    for round in refuses absent; do
      rm -f "$mapfile"
      if [ $round = refuses ]; then export BRINDFS_SETCHARMAP_RESULT=1
        text="Error in passing character map table to file system driver"
      else unset BRINDFS_SETCHARMAP_RESULT; rm -f "$work/bin/brindfs.vxd"
        text="Unable to open Brindlewood file system driver"
      fi
      start $round 'C:\Brindlewood\CHARMAP.MAC'
      expect_box $round "Current character mapping file does not exist, default mapping is loaded"
      if sheet=$(wait_window "Options"); then
        sheet_ok "$sheet"
        expect_box $round "$text"
        gone "$sheet" && ok "OK closes the sheet" || fail "the sheet is still up"
        check_default_file
        expect_exit $round 0
      else
        fail "the sheet did not open"
      fi
    done
    ;;

  *) echo "unknown scenario $scenario"; exit 2 ;;
esac

wineserver -k >/dev/null 2>&1 || true
[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "scenario $scenario passed"
