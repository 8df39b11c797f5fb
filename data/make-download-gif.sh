#!/usr/bin/env bash
# Regenerates Download.gif, the small looping clip Corvina shows while it retrieves data:
# a page travels along a dotted arrow from a folder (the company file) into a database
# cylinder (the local QBData.mdb). Needs ImageMagick 6 (convert) and awk.
# Each frame is drawn at 4x size and scaled down, which keeps the shapes anti-aliased.
# Usage: data/make-download-gif.sh [output.gif]   (default: Download.gif beside this script)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/Download.gif}
W=270 H=50 S=4 FRAMES=12 DELAY=8   # size in px, supersampling, frame count, delay in 1/100 s
BG='#f0f0f0'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Parts that do not move, in 1x coordinates (the "scale" line maps them onto the 4x canvas).
static_back() {
  cat <<MVG
scale $S,$S
stroke none
fill '#b9b9b9'
MVG
  # dotted track with a small arrowhead before the cylinder
  for x in $(seq 60 9 204); do echo "circle $x,30 $x.9,30"; done
  cat <<MVG
stroke '#a9a9a9' stroke-width 1.6 fill none
polyline 205,26 210,30 205,34
MVG
}

static_front() {
  cat <<MVG
stroke-linejoin round
# folder: back panel with tab, paper edge, front flap
stroke '#a8771f' stroke-width 1.2 fill '#e2a93b'
path 'M 7,14 L 7,43 L 50,43 L 50,17 L 27,17 L 23,12 L 10,12 Q 7,12 7,14 Z'
stroke none fill '#ffffff'
rectangle 11,16 46,24
stroke '#a8771f' stroke-width 1.2 fill '#f5c95c'
path 'M 7,21 L 50,21 L 50,43 L 7,43 Z'
stroke '#fbe3a4' stroke-width 1 fill none
line 9,23.5 48,23.5
# database cylinder: body, two disk bands, top
stroke '#2c5b8f' stroke-width 1.2 fill '#4f8fd1'
path 'M 221,12 L 221,38 A 20,5.5 0 0 0 261,38 L 261,12 Z'
stroke '#2c5b8f' stroke-width 1 fill none
path 'M 221,21 A 20,5.5 0 0 0 261,21'
path 'M 221,29.5 A 20,5.5 0 0 0 261,29.5'
stroke '#8fbde9' stroke-width 1.4 fill none
line 226,16 226,36
stroke '#2c5b8f' stroke-width 1.2 fill '#7fb2e6'
ellipse 241,12 20,5.5 0,360
MVG
}

page() {   # $1 = x of the page's left edge, $2 = y of its top, $3 = tilt in degrees
  cat <<MVG
push graphic-context
translate $1,$2
rotate $3
stroke '#7d7d7d' stroke-width 1 fill '#ffffff'
path 'M 0,0 L 12,0 L 17,5 L 17,22 L 0,22 Z'
fill '#dcdcdc'
path 'M 12,0 L 12,5 L 17,5 Z'
stroke '#9ab5d3' stroke-width 1.3
line 3,8 14,8
line 3,11.5 14,11.5
line 3,15 14,15
line 3,18.5 10,18.5
pop graphic-context
MVG
}

frames=()
for ((i = 0; i < FRAMES; i++)); do
  read -r px py rot < <(awk -v i="$i" -v n="$FRAMES" 'BEGIN {
    t = i / n; pi = atan2(0, -1)
    x = 30 + t * 198            # from inside the folder to inside the cylinder
    y = 20 - 14 * sin(pi * t)   # a gentle arc; starts hidden inside the folder
    r = -14 * sin(2 * pi * t)   # tilts up as it rises, down as it lands, level at the ends
    printf "%.2f %.2f %.2f\n", x, y, r }')
  mvg=$(static_back; page "$px" "$py" "$rot"; static_front)
  f=$(printf '%s/f%02d.png' "$work" "$i")
  # the drawing goes inline: the usual ImageMagick policy refuses "-draw @file"
  convert -size $((W * S))x$((H * S)) "xc:$BG" -draw "$mvg" \
    -filter Lanczos -resize "${W}x${H}!" "$f"
  frames+=("$f")
done

# One shared palette keeps colours steady from frame to frame. Frames stay whole (no
# "-layers Optimize"): the file is still small and any single frame can be viewed on its own.
convert -delay "$DELAY" -loop 0 "${frames[@]}" +dither -colors 48 "$out"
echo "wrote $out"
