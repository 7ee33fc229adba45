# The checks the command-line test scripts share; source it. Each script ends with
# "[ $failures -eq 0 ]".
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

unchanged() {  # what, file, checksum before
  [ "$(sha1sum <"$2")" = "$3" ] && ok "$1: nothing written" || fail "$1: the file changed"
}
refused() {  # what, expected text, command...
  local what=$1 text=$2; shift 2
  "$@" </dev/null >out.txt 2>err.txt
  local rc=$?
  [ $rc -eq 1 ] && ok "$what: exit 1" || fail "$what: exit $rc"
  grep -qF -- "$text" err.txt && ok "$what: says why" || fail "$what: stderr was: $(cat err.txt)"
}
