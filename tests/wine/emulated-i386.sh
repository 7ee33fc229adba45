#!/usr/bin/env bash
# Runs a command in which Wine's 32-bit programs work on a host whose kernel refuses 32-bit ELF
# ("Exec format error"): usage emulated-i386.sh COMMAND [ARGS...].
#
# The command runs in a private user and mount namespace with its own binfmt_misc (kernel 6.7 or
# later), where i386 ELF runs through qemu-i386; nothing is registered for the rest of the host.
# Wine's server is the native 64-bit one. qemu-i386 comes from Debian trixie's qemu-user: the
# 7.2 of Debian 12 ignores MAP_FIXED_NOREPLACE, and Wine then stops with "failed to map the
# shared user data". It is fetched once with apt-get download, under a private apt state (the
# system's apt configuration is left alone), into $BRIND_QEMU_CACHE (default build/cache/qemu-user).
#
# Exits 125 with one line on stderr when the emulation cannot be set up; otherwise with the
# command's status. With --check it only shows that Wine starts (prints Wine's version).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${BRIND_QEMU_CACHE:-$root/build/cache/qemu-user}
qemu=$cache/qemu-i386
fail() {
  echo "emulated-i386: $*" >&2
  exit 125
}
[ $# -gt 0 ] || fail "usage: emulated-i386.sh --check | COMMAND [ARGS...]"
# The loader answers --version only before it re-executes itself, which WINELOADERNOEXEC skips.
[ "$1" != --check ] || set -- env -u WINELOADERNOEXEC wine --version

if [ ! -x "$qemu" ]; then
  apt_dir=$cache/apt
  rm -rf "$apt_dir"
  mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/archives/partial"
  : >"$apt_dir/status"
  cat >"$apt_dir/parts/trixie.sources" <<EOF
Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
Architectures: $(dpkg --print-architecture)
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt_opts=(-q -o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt_dir/parts"
    -o "Dir::Etc::Preferences=/dev/null" -o "Dir::Etc::PreferencesParts=/dev/null"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::State::status=$apt_dir/status"
    -o "Dir::Cache=$apt_dir" -o "Dir::Cache::archives=$apt_dir/archives"
    -o "APT::Sandbox::User=root" -o "Acquire::Languages=none"
    -o "APT::Architectures=$(dpkg --print-architecture)")
  apt-get "${apt_opts[@]}" update >"$apt_dir/update.log" 2>&1 ||
    fail "cannot read Debian trixie's package lists (see $apt_dir/update.log)"
  # trixie's qemu-user holds the static emulators (qemu-user-static is only a pointer to it).
  (cd "$apt_dir" && apt-get "${apt_opts[@]}" download qemu-user >download.log 2>&1) ||
    fail "cannot download trixie's qemu-user (see $apt_dir/download.log)"
  dpkg-deb --fsys-tarfile "$apt_dir"/qemu-user_*.deb | tar -x -O ./usr/bin/qemu-i386 >"$qemu.part" ||
    fail "no usr/bin/qemu-i386 in $(ls "$apt_dir"/qemu-user_*.deb)"
  chmod +x "$qemu.part"
  mv "$qemu.part" "$qemu"
  rm -rf "$apt_dir"
fi

[ -d /proc/sys/fs/binfmt_misc ] || fail "this kernel has no binfmt_misc"
# i386 ELF executables and shared objects (e_machine 3), the pattern Debian registers for qemu.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
export BRIND_QEMU_RULE=":brind-i386:M::$magic:$mask:$qemu:F"
# The 32-bit loader must not re-exec itself as the preloader, and the server runs natively.
export WINESERVER=/usr/lib/wine/wineserver64 WINELOADERNOEXEC=1
unset WINELOADER

inner='
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null ||
  { echo "emulated-i386: cannot mount a binfmt_misc of our own (needs Linux 6.7 or later)" >&2; exit 125; }
printf "%s" "$BRIND_QEMU_RULE" >/proc/sys/fs/binfmt_misc/register 2>/dev/null ||
  { echo "emulated-i386: cannot register qemu-i386 with binfmt_misc" >&2; exit 125; }
unset BRIND_QEMU_RULE
exec "$@"'
status=0
unshare --user --map-root-user --mount --propagation private bash -c "$inner" emulated-i386 "$@" ||
  status=$?
# unshare itself reports its failure (no user namespaces) as 1; tell that apart from the command.
if [ $status -ne 0 ] && ! unshare --user --map-root-user true 2>/dev/null; then
  fail "cannot create a user namespace (unshare --user)"
fi
exit $status
