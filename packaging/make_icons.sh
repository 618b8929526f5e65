#!/usr/bin/env bash
# Renders the PNG sizes of the hicolor icon theme from korvante.svg (needs rsvg-convert, from
# librsvg2-bin). The PNGs are committed, so that building and installing never need it; run this
# after changing the SVG and commit the result.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
for size in 16 24 32 48 64 128 256; do
    mkdir -p "$here/icons/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" "$here/korvante.svg" -o "$here/icons/${size}x${size}/korvante.png"
done
