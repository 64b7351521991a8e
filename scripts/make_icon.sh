#!/bin/bash
# Draws the program icon (a cassette above a two-bar level meter) into
# resources/icon.ico, at 32x32 and 16x16. Run once; the result is committed.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
convert -size 32x32 xc:none \
  -fill '#303030' -stroke '#101010' -draw 'roundrectangle 2,3 29,19 3,3' \
  -fill '#d8c8a0' -stroke none -draw 'rectangle 6,6 25,12' \
  -fill '#303030' -draw 'circle 11,9 13,9' -draw 'circle 20,9 22,9' \
  -fill white -draw 'circle 11,9 12,9' -draw 'circle 20,9 21,9' \
  -fill '#606060' -draw 'polygon 9,19 22,19 20,15 11,15' \
  -fill black -draw 'rectangle 2,21 29,30' \
  -fill '#00ff00' -draw 'rectangle 4,23 14,25' -draw 'rectangle 4,27 11,29' \
  -fill '#ffff00' -draw 'rectangle 15,23 19,25' \
  -fill '#ff0000' -draw 'rectangle 20,23 22,25' \
  "$tmp/icon32.png"
convert "$tmp/icon32.png" -resize 16x16 "$tmp/icon16.png"
convert "$tmp/icon32.png" "$tmp/icon16.png" -colors 256 resources/icon.ico
rm -rf "$tmp"
