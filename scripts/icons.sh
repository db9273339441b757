#!/usr/bin/env bash
# Renders the PNG sizes of the application icon from packaging/icons/tandexa.svg
# (ImageMagick). Run after changing the SVG; the PNGs are kept in the tree.
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
convert=$(command -v convert-im6.q16 || command -v convert)
for size in 16 32 48 64 128 256; do
  "$convert" -background none -density 384 tandexa.svg -resize "${size}x${size}" "PNG32:tandexa-$size.png"
done
