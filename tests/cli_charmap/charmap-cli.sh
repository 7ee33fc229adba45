#!/usr/bin/env bash
# usage: charmap-cli.sh BRINDLEWOOD_CHARMAP WORKDIR [BRINDLEWOOD_FORMAT [BRINDLEWOOD_CHECK]]
set -uo pipefail
tool=$1 work=$2 format=${3:-} checker=${4:-}
rm -rf "$work"; mkdir -p "$work"; cd "$work"
bad=0
expect() {  # expect CODE DESCRIPTION -- COMMAND...
  local want=$1 what=$2; shift 3
  "$@" >out.txt 2>err.txt; local rc=$?
  if [ "$rc" = "$want" ]; then echo "ok: $what"; else
    echo "FAILED: $what: exit $rc, wanted $want"; cat out.txt err.txt; bad=1; fi
}
has() {  # has FILE TEXT DESCRIPTION
  if grep -qF -- "$2" "$1"; then echo "ok: $3"; else echo "FAILED: $3: no \"$2\" in $1"; cat "$1"; bad=1; fi
}

expect 0 "help" -- "$tool" --help
has out.txt "Exit status" "help tells the exit status"
expect 2 "no subcommand is an error" -- "$tool"

expect 0 "default writes a file" -- "$tool" default CHARMAP.MAC
[ "$(head -n1 CHARMAP.MAC)" = $'The Mac 128 is mapped To 196\r' ] \
  && echo "ok: first line with CR LF" || { echo "FAILED: first line"; bad=1; }
[ "$(grep -c $'\r$' CHARMAP.MAC)" = 128 ] && echo "ok: 128 CR LF lines" || { echo "FAILED: line count"; bad=1; }
cp CHARMAP.MAC before.mac
echo "keep me" > other.mac
expect 2 "default does not replace without --force" -- "$tool" default other.mac
has other.mac "keep me" "the existing file is untouched"
has err.txt "--force" "the refusal names --force"
expect 0 "default --force replaces" -- "$tool" default --force other.mac
cmp -s other.mac before.mac && echo "ok: byte-identical defaults" || { echo "FAILED: defaults differ"; bad=1; }
expect 2 "an unwritable place is an error" -- "$tool" default no/such/dir/CHARMAP.MAC
[ -z "$(ls | grep XXXXXX)" ] && [ -z "$(ls | grep 'CHARMAP.MAC.')" ] && echo "ok: no temporary file left" \
  || { echo "FAILED: temporary file left"; ls; bad=1; }

expect 0 "check a good file" -- "$tool" check CHARMAP.MAC
has out.txt "read as written" "a good file is reported as such"
sed 's/To 196/To 300/' CHARMAP.MAC > reduced.mac
expect 1 "check finds a value over 255" -- "$tool" check reduced.mac
has out.txt "reduced.mac:1: line 1 300 is more than 255" "the line is named"
expect 2 "check a missing file" -- "$tool" check missing.mac
has err.txt "cannot open missing.mac" "the error names the file"

expect 0 "show" -- "$tool" show CHARMAP.MAC
[ "$(wc -l < out.txt)" = 129 ] && echo "ok: 128 rows and a heading" || { echo "FAILED: rows"; bad=1; }
has out.txt "0x80  0xC4     Ä         Ä" "rows in UTF-8"

expect 0 "to-windows" -- "$tool" to-windows --hex-in "80 41 A5" --hex
has out.txt "C4 41 5F A5" "Mac 80 41 A5 becomes C4 41 5F A5"
expect 0 "to-mac" -- "$tool" to-mac "_ "
expect 0 "to-mac of an escaped dagger" -- "$tool" to-mac --hex-in "5F A0" --hex
has out.txt "A0" "_ A0 becomes the single A0"
sed 's/^The Mac 128 is mapped To 196/The Mac 128 is mapped To 224/; s/^The Mac 136 is mapped To 224/The Mac 136 is mapped To 1/' CHARMAP.MAC > mine.mac
expect 0 "to-windows with a map file" -- "$tool" to-windows --map mine.mac "Ä"
has out.txt "à" "the file's mapping is used"
expect 2 "a character the Macintosh set lacks" -- "$tool" to-windows "€"
has err.txt "U+20AC" "the character is named"
expect 2 "a missing map file" -- "$tool" to-mac --map nothere.mac x

if [ -n "$format" ]; then
  # brindlewood-format --charmap: the label goes through the given map. In mine.mac Windows "à"
  # stands for Mac 0x80; by default it is Mac 0x88.
  name_bytes() { od -An -tx1 -j 1060 -N 3 "$1" | tr -d ' \n'; }
  expect 0 "format with the default map" -- "$format" -q --full "$work/default.img" -L "xà"
  [ "$(name_bytes default.img)" = 027888 ] && echo "ok: default map: Mac 88" \
    || { echo "FAILED: default map gave $(name_bytes default.img)"; bad=1; }
  expect 0 "format with --charmap" -- "$format" -q --full --charmap mine.mac "$work/mine.img" -L "xà"
  [ "$(name_bytes mine.img)" = 027880 ] && echo "ok: --charmap: Mac 80" \
    || { echo "FAILED: --charmap gave $(name_bytes mine.img)"; bad=1; }
  expect 1 "a missing map file" -- "$format" -q --charmap nothere.mac "$work/none.img"
  has err.txt "cannot open the character map nothere.mac" "the error names the map"
  [ ! -e none.img ] && echo "ok: nothing written" || { echo "FAILED: an image was made"; bad=1; }
fi

# Names with control bytes, one row per tool: printed with \xNN, no raw escape on the terminal.
no_raw() {  # no_raw WHAT TEXT
  if grep -q $'\e' out.txt err.txt; then echo "FAILED: $1: a raw escape"; bad=1; else has out.txt "$2" "$1"; fi
}
expect 0 "to-windows of a name with an escape" -- "$tool" to-windows --hex-in "41 1B 5B 32 4A 5C"
no_raw "charmap: the name escaped" 'A\x1B[2J\x5C'
if [ -n "$format" ]; then
  poke() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
  # A volume named "A", ESC "[2J0 error(s)" with a folder named "F", ESC "]0;title", BEL.
  expect 0 "a volume for the names" -- "$format" -q "$work/mac.img" -L Plain
  poke mac.img 1060 '\x0fA\x1b[2J0 error(s)'
  command -v hmount >/dev/null && hmount mac.img >/dev/null && hmkdir $'F\e]0;title\a' && humount
  if [ -n "$checker" ]; then
    expect 1 "check a volume named with an escape" -- "$checker" -v mac.img
    no_raw "check: the volume name escaped" 'HFS volume "A\x1B[2J0 error(s)"'
    command -v hmount >/dev/null && has out.txt 'F\x1B]0;title\x07/' "check -v: a folder name escaped"
  fi
  truncate -s 1440K dos.img ext.img  # a DOS label in the boot sector; an ext2 label from libblkid
  poke dos.img 38 '\x29'; poke dos.img 43 'D\x1b[2J      '; poke dos.img 510 '\x55\xaa'
  mke2fs -q -F -L $'E\e[2J' ext.img >/dev/null 2>&1
  for row in 'mac.img|a Macintosh disk named "A\x1B[2J0 error(s)"' 'dos.img|a DOS disk labelled "D\x1B[2J"' \
             'ext.img|an ext2 file system labelled "E\x1B[2J"'; do
    expect 0 "format over ${row%%|*}" -- "$format" -y "$work/${row%%|*}"
    no_raw "format: the name on ${row%%|*} escaped" "${row#*|}"
  done
fi

# Every path argument x what is at the path: the exit status of check (1: it found something),
# default -f and format --charmap (R: 0 for root, whom permissions do not stop, else refused), and
# what a refusal says.
# The path is as it was unless "default -f" wrote it: then it holds the defaults with its mode
# (a link stays a link to the file written).
snapshot() { stat -c '%F %a %s %i' "$1"; stat -L -c '%F %a %s %i' "$1" && [ -f "$1" ] && sha1sum <"$1"; } 2>&1
while read -r kind check def fmt mode why; do
  for cmd in check def fmt; do
    p="$work/kinds/$kind"; rm -rf "$work/kinds"; mkdir -p "$work/kinds"; [ $kind = noname ] && p=""
    case $kind in
      regular | readonly | unreadable) cp mine.mac "$p"; chmod 640 "$p" ;;
      empty | big) head -c $([ $kind = big ] && echo 65537 || echo 0) /dev/zero >"$p"; chmod 640 "$p" ;;
      misread) sed '1s/To [0-9]*/To 300/' mine.mac >"$p"; chmod 640 "$p" ;;
      directory) mkdir "$p" ;;
      fifo) mkfifo "$p" ;;
      chardev) mknod "$p" c 1 3 2>/dev/null || { echo "skipped: $kind (mknod needs root)"; continue; } ;;
      link) cp mine.mac "$p.mac"; chmod 600 "$p.mac"; ln -s link.mac "$p" ;;
      dangling) ln -s nowhere "$p" ;;
    esac
    [ $kind = readonly ] && chmod 444 "$p"
    [ $kind = unreadable ] && chmod 000 "$p"
    before=$(snapshot "$p") want=${!cmd}
    [ "$want" = R ] && want=$([ "$(id -u)" = 0 ] && echo 0 || { [ $cmd = fmt ] && echo 1 || echo 2; })
    case $cmd in
      check) expect "$want" "check on $kind" -- timeout 10 "$tool" check "$p" ;;
      def) expect "$want" "default -f on $kind" -- timeout 10 "$tool" default -f "$p" ;;
      fmt) [ -n "$format" ] || continue
        expect "$want" "format --charmap on $kind" -- timeout 10 "$format" -q --charmap "$p" "$work/kinds/x.img" ;;
    esac
    [ "$want" = 0 ] || [ $cmd$want = check1 ] || { grep -qF -- "$why" err.txt && [ ! -e "$work/kinds/x.img" ]; } \
      || { echo "FAILED: $cmd on $kind: no \"$why\" in: $(cat err.txt), or an image was made"; bad=1; }
    [ $mode = new ] && mode=$(stat -c %a CHARMAP.MAC)
    if [ $cmd = def ] && [ "$want" = 0 ]; then
      [ "$(stat -L -c '%F %a' "$p")" = "regular file $mode" ] && cmp -s "$p" before.mac && [ ! -d "$p" ] \
        && { [ $kind != link ] || [ -L "$p" ]; } && echo "ok: default -f on $kind: the defaults, mode $mode" \
        || { echo "FAILED: default -f on $kind: $(stat -c '%F %a' "$p")"; bad=1; }
    else
      [ "$(snapshot "$p")" = "$before" ] && echo "ok: $cmd on $kind: unchanged" || { echo "FAILED: $cmd on $kind changed it"; bad=1; }
    fi
  done
done <<'TABLE'
regular     0 0 0 640 -
missing     2 0 1 new No such file
directory   2 2 1 - is a directory
fifo        2 2 1 - is a FIFO
chardev     2 2 1 - is a character device
link        0 0 0 600 -
dangling    2 2 1 - to something that does not exist
readonly    0 R 0 444 Permission denied
unreadable  R R R 0 Permission denied
empty       1 0 1 640 is empty
misread     1 0 1 640 line 1: 300 is more than 255
big         2 0 1 640 is larger than 64 KB
noname      2 2 1 - names no
TABLE
rm -rf "$work/kinds"

# An empty name is no file, never "no file given" (format --charmap "": the table's "noname").
for args in 'show|' 'check|' 'default|-f' 'to-windows|A|--map' 'to-mac|A|-m'; do
  IFS='|' read -r -a a <<<"$args"
  expect 2 "${a[*]} with an empty file name" -- "$tool" "${a[@]}" ""; has err.txt "names no file" "${a[0]}: said why"
done

exit $bad
