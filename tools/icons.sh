#!/usr/bin/env bash
# Renders the program's icon into the PNG sizes of the hicolor theme:
#   data/icons/hicolor/<N>x<N>/apps/veltrane.png   (and the 64-pixel one for the manuals:
#   data/manual/veltrane.png)
# 16 and 32 come from their own drawings on the pixel grid, the others from veltrane.svg.
# The PNGs are kept in the repository; run this after changing a drawing.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
command -v rsvg-convert >/dev/null || { echo "icons.sh: needs rsvg-convert (librsvg2-bin)" >&2; exit 2; }
for size in 16 32 48 64 128 256; do
  drawing=veltrane.svg
  [ -f "veltrane-$size.svg" ] && drawing="veltrane-$size.svg"
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$drawing" -o "hicolor/${size}x${size}/apps/veltrane.png"
done
# The manuals show the icon in their heading.
cp hicolor/64x64/apps/veltrane.png ../manual/veltrane.png
echo "icons.sh: rendered $(ls hicolor | wc -l) sizes into data/icons/hicolor"
