#!/usr/bin/env bash
# Renders the glyph bitmaps of the Macintosh characters that have no Windows 95 look-alike: one
# monochrome BMP per character, of the size the grid's glyph table gives, the character in black
# on white, its baseline where the grid's text baseline falls. Run by hand; the results are kept in
# the tree, so the build needs neither the font nor these tools.
#   needs: fonts-dejavu-core, imagemagick, python3      usage: make-glyphs.sh [OUTDIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here}
font=${GLYPH_FONT:-/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf}
[ -f "$font" ] || { echo "no font $font (apt-get install fonts-dejavu-core)" >&2; exit 1; }
command -v convert >/dev/null || { echo "ImageMagick's convert is needed" >&2; exit 1; }

# Macintosh code, character, width, height (the glyph table's sizes).
glyphs='
a0 † 20 17
a5 • 18 18
aa ™ 20 21
ad ≠ 20 15
b0 ∞ 18 14
b2 ≤ 20 16
b3 ≥ 20 17
b6 ∂ 18 17
b7 ∑ 20 16
b8 ∏ 14 16
b9 π 21 18
ba ∫ 15 16
bd Ω 20 18
c3 √ 21 16
c4 ƒ 22 15
c5 ≈ 14 16
c6 ∆ 20 16
c9 … 21 21
ce Œ 21 17
cf œ 21 15
d1 — 18 17
d2 “ 18 13
d3 ” 17 15
d7 ◊ 22 17
d9 Ÿ 22 19
'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "$glyphs" | while read -r code ch width height; do
  [ -n "$code" ] || continue
  # Drawn large enough to hold any glyph, baseline at y = 40, no smoothing: one bit per pixel.
  convert -size 80x60 xc:white -font "$font" -density 72 -pointsize 13 +antialias -fill black \
    -annotate +30+40 "$ch" -threshold 50% "pbm:$work/$code.pbm"
  python3 "$here/pbm-to-glyph.py" "$work/$code.pbm" 40 "$width" "$height" "$out/mac_$code.bmp"
done
echo "glyphs written to $out"
