#!/usr/bin/env bash
# Draws the program icon, an open folder holding a sheet with a list on it,
# at 16, 32 and 48 pixels into one .ico file.
#   make_icon.sh [OUTPUT]   OUTPUT defaults to kestrova.ico beside this script
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/kestrova.ico}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The large sizes are drawn on a 48-unit grid at four times the target size
# and then reduced, which keeps their edges smooth.
draw_large() {
  local size=$1
  local px=$((size * 4))
  local s
  s=$(awk -v p="$px" 'BEGIN { printf "%.4f", p / 48 }')
  convert -size "${px}x${px}" xc:none \
    -draw "affine $s,0,0,$s,0,0
           fill '#c98a1e' stroke '#7a4e08' stroke-width 1.4
           roundrectangle 2,6 19,14 2,2
           roundrectangle 2,10 46,43 2,2
           fill white stroke '#6e6e6e' stroke-width 1.2
           rectangle 9,3 40,33
           stroke none
           fill '#2b5fad' rectangle 13,8 17,12 rectangle 13,15 17,19 rectangle 13,22 17,26
           fill '#6f8fc4' rectangle 20,9 36,11 rectangle 20,16 36,18 rectangle 20,23 32,25
           fill '#f3c048' stroke '#7a4e08' stroke-width 1.4
           polygon 2,29 46,29 46,43 2,43" \
    -filter box -resize "${size}x${size}" "$work/icon$size.png"
}

# At 16 pixels every pixel is placed by hand so that nothing blurs.
draw_small() {
  convert -size 16x16 xc:none +antialias \
    -draw "fill '#7a4e08' rectangle 0,2 6,4 rectangle 0,3 15,14
           fill '#c98a1e' rectangle 1,3 5,4 rectangle 1,4 14,13
           fill '#6e6e6e' rectangle 3,0 13,10
           fill white rectangle 4,1 12,10
           fill '#2b5fad' point 5,3 point 5,6
           fill '#6f8fc4' rectangle 7,3 11,3 rectangle 7,6 11,6
           fill '#7a4e08' rectangle 0,9 15,14
           fill '#f3c048' rectangle 1,10 14,13" \
    "$work/icon16.png"
}

draw_small
draw_large 32
draw_large 48
convert "$work/icon16.png" "$work/icon32.png" "$work/icon48.png" "$out"
