#!/usr/bin/env bash
# Draws the windows' pictures (our own drawings) into the folders of their windows. The pictures are kept in
# the repository (the icon in dist/); run this only to change them. Needs ImageMagick, and rsvg-convert
# (librsvg2-bin) for the icon.
#   tools/draw-pictures.sh
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
font="DejaVu-Sans-Bold"
plain="DejaVu-Sans"

# The main window's brand mark: a battery with three charge bars and the name beside it.
convert -size 200x48 xc:none \
  -fill '#1d3c78' -draw 'roundrectangle 4,10 50,38 5,5' \
  -fill '#1d3c78' -draw 'rectangle 50,18 55,30' \
  -fill '#e5fece' -draw 'roundrectangle 8,14 46,34 3,3' \
  -fill '#2fa84f' -draw 'rectangle 11,17 20,31' -draw 'rectangle 23,17 32,31' -draw 'rectangle 35,17 43,31' \
  -font "$font" -pointsize 22 -fill '#1d3c78' -annotate +64+28 'Quvexa' \
  -font "$plain" -pointsize 10 -fill '#3c5a96' -annotate +66+42 'BMS Monitor' \
  -strip "$top/src/mainwindow/pictures/quvexa-logo.png"

# The program's icon (the desktop entry's): dist/quvexa.svg, the brand mark's battery centred on a square, drawn at
# the sizes desktops look for.
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$top/dist/quvexa.svg" -o "$top/dist/icons/quvexa-$size.png"
done

# The UR page's pack: thirteen cells in series on their balancing board, and the lead to the adapter.
cells=()
for i in $(seq 0 12); do
  x=$((18 + i * 10))
  cells+=(-draw "roundrectangle $x,62 $((x + 7)),150 2,2")
done
convert -size 170x236 xc:none \
  -fill '#1d3c78' -draw 'roundrectangle 8,40 162,176 8,8' -draw 'rectangle 60,26 110,40' \
  -fill '#e5fece' -draw 'roundrectangle 13,45 157,171 5,5' \
  -fill '#2fa84f' "${cells[@]}" \
  -fill '#1d3c78' -draw 'rectangle 18,154 150,166' \
  -fill '#ffd23f' -draw 'rectangle 26,157 36,163' -draw 'rectangle 120,157 140,163' \
  -stroke '#1d3c78' -strokewidth 3 -fill none -draw 'line 85,176 85,200' -draw 'line 85,200 130,200' \
  -stroke none -fill '#3c5a96' -draw 'roundrectangle 130,190 162,212 3,3' \
  -resize 118x164 -strip "$top/src/mainwindow/pictures/battery-pack.png"

# The diagnosis report's header band, 670 x 66.
convert -size 670x66 gradient:'#1d3c78'-'#3f6fb8' \
  -fill '#ffffff' -draw 'roundrectangle 16,16 62,50 5,5' -draw 'rectangle 62,25 67,41' \
  -fill '#1d3c78' -draw 'roundrectangle 20,20 58,46 3,3' \
  -fill '#2fa84f' -draw 'rectangle 23,23 32,43' -draw 'rectangle 35,23 44,43' -draw 'rectangle 47,23 55,43' \
  -font "$font" -pointsize 24 -fill '#ffffff' -annotate +84+36 'Quvexa' \
  -font "$plain" -pointsize 12 -fill '#dfe8ff' -annotate +86+54 'Battery Management Systems' \
  -font "$font" -pointsize 20 -fill '#ffffff' -gravity east -annotate +20+0 'Battery Diagnosis Report' \
  -quality 90 -strip "$top/src/eeprom/pictures/report-header.jpg"
