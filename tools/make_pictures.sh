#!/usr/bin/env bash
# Makes the two pictures the window uses, with ImageMagick only:
#   data/background.gif  the window's yellow ground with small white stars and dots, pale
#                        enough that black text and the pink answer boxes stay easy to read;
#   data/maru.png        the red ring shown beside each right answer, transparent inside and
#                        out so that it sits over the answer sheet.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ground='rgb(255,244,88)'
motif='rgb(255,255,255)'
tile=80 # the pattern repeats every 80 px; a star and a dot sit on each tile's diagonal

# A five-pointed star's outline around (cx, cy): outer radius r, inner radius r * 0.42.
star() {
    awk -v cx="$1" -v cy="$2" -v r="$3" 'BEGIN {
        pi = atan2(0, -1)
        printf "polygon"
        for (k = 0; k < 10; k++) {
            rad = (k % 2 == 0) ? r : r * 0.42
            a = -pi / 2 + k * pi / 5
            printf " %.2f,%.2f", cx + rad * cos(a), cy + rad * sin(a)
        }
    }'
}

convert -size "${tile}x${tile}" "xc:$ground" -fill "$motif" -stroke none \
    -draw "$(star 19.5 19.5 8)" \
    -draw "circle 59.5,59.5 62.5,59.5" \
    "$work/tile.png"
convert -size 794x567 "tile:$work/tile.png" +dither -colors 16 -strip data/background.gif

# The ring's alpha is worked out from each pixel's distance to the centre, which gives an
# edge exactly one pixel soft: outer edge 1 px in from the border, stroke 3.5 px wide.
convert -size 32x32 'xc:rgb(230,0,0)' -alpha set -channel A \
    -fx 'd = hypot(i - 15.5, j - 15.5); clamp(min(d - 11.5, 15 - d) + 0.5)' \
    +channel -strip PNG32:data/maru.png

identify data/background.gif data/maru.png
