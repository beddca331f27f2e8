#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick. The results are committed, so
# building needs none of this; run it again only to change a picture.
set -euo pipefail
cd "$(dirname "$0")"

# Banner of the main window's top panel: a dusk-blue band with the name on the
# left, leaving the right side calm for the three buttons.
convert -size 763x41 gradient:'#1d3b5a'-'#3f7fa8' -rotate 0 \
  -size 763x41 xc:none -fill '#ffffff22' \
  -draw 'polygon 300,0 420,0 380,41 260,41' -composite \
  -font Helvetica-Bold -pointsize 22 -fill white \
  -annotate +14+29 'Replyvane' \
  -font Helvetica -pointsize 11 -fill '#cfe3f1' \
  -annotate +138+28 'mail auto-responder' \
  -quality 92 banner.jpg

# Strip along the bottom of the message list.
convert -size 10x763 gradient:'#3f7fa8'-'#a9cfe6' -rotate 90 \
  -quality 92 strip.jpg

# Window backgrounds: pale, so the labels read well on them.
convert -size 545x201 gradient:'#f4f8fb'-'#d9e7f1' \
  -fill '#ffffff55' -draw 'circle 470,170 470,40' \
  -quality 92 settings_background.jpg
convert -size 578x457 gradient:'#f4f8fb'-'#d9e7f1' \
  -fill '#ffffff55' -draw 'circle 520,420 520,250' \
  -quality 92 responder_background.jpg

# A small envelope, drawn at 64 pixels and scaled down.
envelope() {
  convert -size 64x64 xc:none \
    -fill '#f7f3e8' -stroke '#2d5f86' -strokewidth 4 \
    -draw 'roundrectangle 4,12 60,52 4,4' \
    -fill none -draw 'polyline 6,15 32,36 58,15' \
    "$@"
}
envelope -resize 16x16 row.png
envelope -fill '#e0702c' -stroke none \
  -draw 'polygon 36,40 52,40 52,34 62,46 52,58 52,52 36,52' icon.png
