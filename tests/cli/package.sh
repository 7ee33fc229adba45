#!/usr/bin/env bash
# The .deb that cpack builds: it declares its dependencies, dpkg installs it into a scratch root,
# and the installed tools run there; each man page names the options its tool's --help names.
# usage: package.sh BUILDDIR WORKDIR BINDIR/TOOL:SECTION,...
set -uo pipefail
build=$1 work=$2 tools=$3
skip() { echo "SKIPPED: $*"; exit 77; }
for c in cpack dpkg dpkg-deb man; do command -v $c >/dev/null || skip "no $c"; done
rm -rf "$work"; mkdir -p "$work/home"
export HOME=$work/home
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "no package built"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libc6 (>=' <<<"$depends" && grep -q 'libstdc++6' <<<"$depends" \
  && ok "the package declares its dependencies: $depends" || fail "Depends: $depends"

root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"; touch "$root/var/lib/dpkg/status"
# The scratch root has no libc6 of its own to satisfy the dependencies with.
dpkg --root="$root" --log=/dev/null --force-not-root --force-script-chrootless --force-depends \
  -i "$deb" >"$work/dpkg.log" 2>&1 && dpkg --root="$root" -s brindlewood 2>/dev/null | grep -q 'install ok installed' \
  && ok "dpkg installs it into a scratch root" || fail "dpkg -i: $(cat "$work/dpkg.log")"

longopts() { grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
IFS=, read -ra list <<<"$tools"
for entry in "${list[@]}"; do
  path=${entry%:*} section=${entry##*:} name=${path##*/}
  exe=$root/usr/$path page=$root/usr/share/man/man$section/$name.$section
  "$exe" --version 2>&1 | grep -qx "$name [0-9.]*" && ok "installed $name runs" || fail "$exe --version"
  [ -f "$page" ] && MANWIDTH=80 man --warnings -l "$page" 2>"$work/man.err" | grep -q "^NAME" && [ ! -s "$work/man.err" ] \
    && ok "$name($section) renders without warnings" || fail "$name($section): $(cat "$work/man.err")"
  # --help of the tool and of each of its commands against the page.
  help=$("$exe" --help)
  for sub in $(awk '/^Subcommands:/ {f = 1; next} f && /^  [a-z]/ {print $1} f && /^$/ {exit}' <<<"$help"); do
    grep -q "^\.BI\? $sub\b" "$page" || fail "$name($section) does not describe the command $sub"
    help+=$'\n'$("$exe" "$sub" --help)
  done
  inhelp=$(longopts <<<"$help") inpage=$(sed 's/\\-/-/g' "$page" | longopts)
  [ "$inhelp" = "$inpage" ] && ok "$name($section) and --help name the same options" \
    || fail "$name: --help has [$(tr '\n' ' ' <<<"$inhelp")], the page [$(tr '\n' ' ' <<<"$inpage")]"
done

"$root/usr/sbin/brindlewood-format" -q -L Installed "$work/x.img" && hmount "$work/x.img" >/dev/null 2>&1 \
  && hvol 2>&1 | grep -q 'Volume name is "Installed"' && ok "the installed brindlewood-format formats an image" \
  || fail "installed brindlewood-format"
humount >/dev/null 2>&1
[ "$("$root/usr/bin/brindlewood-charmap" to-mac --hex Café)" = "43 61 66 8E" ] \
  && ok "the installed brindlewood-charmap converts a name" || fail "installed brindlewood-charmap"
"$root/usr/bin/brindlewood-extract" -q "$work/x.img" "$work/extracted" >/dev/null && [ -d "$work/extracted" ] \
  && ok "the installed brindlewood-extract reads that image into a folder" || fail "installed brindlewood-extract"
echo "$failures failure(s)"
[ $failures -eq 0 ]
