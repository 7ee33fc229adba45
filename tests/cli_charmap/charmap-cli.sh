#!/usr/bin/env bash
# usage: charmap-cli.sh BRINDLEWOOD_CHARMAP WORKDIR [BRINDLEWOOD_FORMAT]
set -uo pipefail
tool=$1 work=$2 format=${3:-}
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
exit $bad
