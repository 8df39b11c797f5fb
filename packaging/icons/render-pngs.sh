#!/usr/bin/env bash
# Renders the PNG sizes of the icon from the same shapes as org.halvard.Corvina.svg (128-unit
# grid, drawn at 4x and scaled down) with ImageMagick's drawing primitives, which need no SVG
# renderer. Run by hand after changing the icon; the PNGs are committed.
set -euo pipefail
cd "$(dirname "$0")"
convert=/usr/bin/convert
big=$(mktemp --suffix=.png)
trap 'rm -f "$big"' EXIT
"$convert" -size 512x512 xc:none \
  -fill '#1f497d' -draw 'roundrectangle 24,24 487,487 88,88' \
  -fill '#ffffff' -draw 'roundrectangle 104,72 359,407 24,24' \
  -fill '#9db3d3' -draw 'roundrectangle 136,112 327,131 8,8' \
  -fill '#9db3d3' -draw 'roundrectangle 136,152 279,171 8,8' \
  -fill '#2e75b6' -draw 'rectangle 144,280 183,367' \
  -fill '#2e75b6' -draw 'rectangle 204,240 243,367' \
  -fill '#e07b24' -draw 'rectangle 264,200 303,367' \
  -fill '#f2f2f2' -stroke '#1f497d' -strokewidth 12 -draw 'roundrectangle 240,296 439,431 16,16' \
  -fill none -stroke '#1f497d' -strokewidth 12 -draw 'polyline 248,308 340,380 432,308' \
  "png32:$big"
for size in 16 24 32 48 64 128 256; do
  "$convert" "$big" -filter Lanczos -resize "${size}x${size}" -strip "png32:org.halvard.Corvina-$size.png"
done
