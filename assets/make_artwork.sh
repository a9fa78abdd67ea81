#!/bin/sh
# Regenerates the program's artwork with ImageMagick (convert, version 6 or 7).
# Icons are drawn at four times their size and scaled down, which gives smooth edges.
# Usage: assets/make_artwork.sh   (writes into the folder of this script)
set -eu

cd "$(dirname "$0")"
mkdir -p icons

if command -v magick >/dev/null 2>&1; then IM="magick"; else IM="convert"; fi

# Keep the files byte-stable between runs: no timestamps or other metadata.
PNG_OPTS="-strip -define png:exclude-chunks=date,time"

# Background: a soft pale blue-green cloud texture.
$IM -size 127x96 -seed 42 plasma:fractal -blur 0x1 -modulate 100,0 -auto-level \
    +level-colors '#b0dbd2','#d8f2ee' -strip -quality 90 background.jpg

# draw_icon OUT SIZE DRAW-ARGS... : draws on a transparent 128 x 128 canvas and
# scales the result down to SIZE x SIZE.
draw_icon() {
    out=$1; size=$2; shift 2
    $IM -size 128x128 xc:none "$@" -filter Lanczos -resize "${size}x${size}" \
        $PNG_OPTS "PNG32:$out"
}

# Lightning bolt: yellow with a dark amber outline.
BOLT="polygon 78,4 22,72 58,72 40,124 108,48 70,48 94,4"
draw_icon icons/bolt32.png 32 -stroke '#7a5200' -strokewidth 6 -fill '#ffd21f' -draw "$BOLT"
# At 16 pixels the bolt needs a fatter shape and outline to stay readable.
draw_icon icons/bolt16.png 16 -stroke '#6b4700' -strokewidth 9 -fill '#ffd21f' \
    -draw "polygon 86,2 12,78 56,78 34,126 120,42 74,42 104,2"

# Arrow pointing right: green body, dark green outline, light edge on top.
ARROW="polygon 8,46 68,46 68,18 120,64 68,110 68,82 8,82"
draw_icon icons/arrow_right.png 32 \
    -stroke '#1d5e1d' -strokewidth 6 -fill '#3fae3f' -draw "$ARROW" \
    -stroke none -fill '#8fdc8f' -draw "polygon 14,52 74,52 74,32 110,64 104,64 74,38 74,58 14,58"
$IM icons/arrow_right.png -flop $PNG_OPTS PNG32:icons/arrow_left.png

# Mascot: a round smiling face on a small blue body, waving.
draw_icon icons/mascot.png 32 \
    -stroke '#1b3b7a' -strokewidth 5 -fill '#3d73d9' \
    -draw "roundrectangle 36,68 92,122 14,14" \
    -stroke '#1b3b7a' -strokewidth 10 -fill none \
    -draw "line 38,80 14,58" -draw "line 90,80 108,106" \
    -stroke '#7a4d00' -strokewidth 5 -fill '#ffd23f' -draw "circle 64,38 64,4" \
    -stroke none -fill '#222222' -draw "circle 51,32 51,38" -draw "circle 77,32 77,38" \
    -stroke '#222222' -strokewidth 6 -fill none -draw "arc 44,30 84,58 20,160" \
    -stroke none -fill '#ff9a8a' -draw "circle 44,46 44,50" -draw "circle 84,46 84,50"

# Question: red question mark on a white disc with a grey rim (glyph from fonts-dejavu-core).
draw_icon icons/question.png 32 \
    -stroke '#8a8a8a' -strokewidth 6 -fill white -draw "circle 64,64 64,4" \
    -stroke none -fill '#d01818' -font DejaVu-Sans-Bold -pointsize 110 -gravity center \
    -annotate +0+4 '?'

# Exclamation: black exclamation mark on a yellow disc with an amber rim.
draw_icon icons/exclamation.png 32 \
    -stroke '#a06d00' -strokewidth 6 -fill '#ffd21f' -draw "circle 64,64 64,4" \
    -stroke none -fill black -draw "polygon 54,22 74,22 69,82 59,82" \
    -draw "circle 64,100 64,90"
