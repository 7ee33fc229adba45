# Debian's kernel and some of its modules, fetched once with apt-get download into a cache that
# the qemu tests share. Sourced; defines kernel_with_modules CACHE MODULE... which sets $kernel and
# leaves each module, uncompressed, as CACHE/NAME.ko (or returns 1, having said why).
kernel_with_modules() {
  local cache=$1 missing=() m package deb
  shift
  mkdir -p "$cache"
  for m in "$@"; do [ -f "$cache/$m.ko" ] || missing+=("$m"); done
  if ! ls "$cache"/vmlinuz-* >/dev/null 2>&1 || [ ${#missing[@]} -gt 0 ]; then
    package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ {print $2; exit}')
    [ -n "$package" ] || { echo "no Debian kernel package known to apt"; return 1; }
    (cd "$cache" && apt-get download "$package" >/dev/null 2>&1) || { echo "cannot download $package"; return 1; }
    deb=$(ls "$cache"/*.deb | head -1)
    rm -rf "$cache/x"; mkdir -p "$cache/x"
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$cache/x" --wildcards './boot/vmlinuz-*' \
      $(for m in "$@"; do printf "*/%s.ko* " "$m"; done)
    ls "$cache"/vmlinuz-* >/dev/null 2>&1 || cp "$cache"/x/boot/vmlinuz-* "$cache"/
    for m in "$@"; do
      local f
      f=$(find "$cache/x/lib" -name "$m.ko*" | head -1)
      [ -n "$f" ] || { echo "no module $m in $package"; return 1; }
      case "$f" in *.xz) xz -dc "$f" >"$cache/$m.ko" ;; *) cp "$f" "$cache/$m.ko" ;; esac
    done
    rm -rf "$cache/x" "$deb"
  fi
  kernel=$(ls "$cache"/vmlinuz-* | head -1)
}
