#!/usr/bin/env bash
# Makes the level-set icon's pictures from its two drawings: the PNGs of the
# Linux icon theme and the Windows .ico, which are committed beside them, so
# that no build needs a rasterizer and every build packs the same bytes.
# Run it after changing a drawing, and commit what it writes:
#
#   packaging/icon/make-icons.sh           writes png/*.png and the .ico
#   packaging/icon/make-icons.sh --check   fails when they are not what the
#                                          drawings make
#
# Needs rsvg-convert (librsvg2-bin) and icotool (icoutils). 16 and 24 pixels
# are drawn from quillomar-levelset-small.svg, whose lines fall on whole
# pixels; 32 and more from quillomar-levelset.svg. The .ico holds every size,
# 256 as PNG, the others as bitmaps.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
name=quillomar-levelset
out=$here
if [ "${1:-}" = --check ]; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
fi
mkdir -p "$out/png"
pngs=()
for size in 16 24 32 48 256; do
  drawing=$here/$name.svg
  [ "$size" -gt 24 ] || drawing=$here/$name-small.svg
  rsvg-convert -w "$size" -h "$size" -o "$out/png/$name-$size.png" "$drawing"
  pngs+=("$out/png/$name-$size.png")
done
icotool -c -o "$out/$name.ico" "${pngs[@]:0:4}" -r "${pngs[4]}"
if [ "${1:-}" = --check ]; then
  for file in png/$name-{16,24,32,48,256}.png $name.ico; do
    cmp -s "$out/$file" "$here/$file" ||
      { echo "packaging/icon/$file is not what the drawings make: run packaging/icon/make-icons.sh" >&2; exit 1; }
  done
fi
