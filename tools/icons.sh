#!/usr/bin/env bash
# Draws the PNG icons from the SVGs: the full drawing from 32 pixels up, a simplified one below,
# where the figures would be a blur. Run after changing either SVG; the PNGs are kept in git.
set -euo pipefail
cd "$(dirname "$0")/../packaging"
for size in 16 24 32 48 64 128 256; do
  src=v917config.svg
  [ "$size" -lt 32 ] && src=icons/v917config-small.svg
  mkdir -p icons/$size
  rsvg-convert -w $size -h $size "$src" -o icons/$size/v917config.png
done
