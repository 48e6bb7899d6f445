#!/usr/bin/env bash
# Makes the two pictures the window uses, with ImageMagick only:
#   data/background.gif  the window's yellow ground with small white stars and dots, pale
#                        enough that black text and the pink answer boxes stay easy to read;
#   data/maru.png        the red ring shown beside each right answer, transparent inside and
#                        out so that it sits over the answer sheet.
# Each is drawn again for screens of 1.25, 1.5 and 2 device pixels a pixel (background@2x.gif
# and so on): the same design with its sizes in device pixels, so that it is as sharp as the 1x
# picture on a 1x screen and lines up with it where both are shown at the same logical size.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ground='rgb(255,244,88)'
motif='rgb(255,255,255)'
tile=80 # the pattern repeats every 80 px; a star and a dot sit on each tile's diagonal

# Arithmetic in device pixels at ratio s: "scaled S EXPR" prints EXPR, in which s stands for S.
scaled() {
    awk -v s="$1" "BEGIN { printf \"%g\", $2 }"
}

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

pictures=()
for s in 1 1.25 1.5 2; do
    suffix=$([ "$s" = 1 ] || echo "@${s}x")
    # ImageMagick draws with pixel centres at whole coordinates: the 1x star's centre 19.5 is the
    # corner between four pixels, 20 px from the tile's corner, which at ratio s lies 20s away.
    side=$(scaled "$s" "$tile * s")
    star_centre=$(scaled "$s" '20 * s - 0.5')
    dot_centre=$(scaled "$s" '60 * s - 0.5')
    dot_edge=$(scaled "$s" '63 * s - 0.5')
    convert -size "${side}x${side}" "xc:$ground" -fill "$motif" -stroke none \
        -draw "$(star "$star_centre" "$star_centre" "$(scaled "$s" '8 * s')")" \
        -draw "circle $dot_centre,$dot_centre $dot_edge,$dot_centre" \
        "$work/tile.png"
    # A fractional ratio's picture is the next whole pixel larger, covering the 1x picture's
    # logical size.
    size=$(scaled "$s" 'int(794 * s + 0.99)')x$(scaled "$s" 'int(567 * s + 0.99)')
    convert -size "$size" "tile:$work/tile.png" +dither -colors 16 -strip \
        "data/background$suffix.gif"

    # The ring's alpha is worked out from each pixel's distance to the centre, which gives an
    # edge exactly one device pixel soft: outer edge 1 px in from the border, stroke 3.5 px wide,
    # at 1x; at ratio s the radii are s times as many device pixels, the soft edge still one.
    centre=$(scaled "$s" '16 * s')
    inner=$(scaled "$s" '11.5 * s')
    outer=$(scaled "$s" '15 * s')
    ring=$(scaled "$s" '32 * s')
    convert -size "${ring}x${ring}" 'xc:rgb(230,0,0)' -alpha set -channel A \
        -fx "d = hypot(i + 0.5 - $centre, j + 0.5 - $centre); clamp(min(d - $inner, $outer - d) + 0.5)" \
        +channel -strip "PNG32:data/maru$suffix.png"
    pictures+=("data/background$suffix.gif" "data/maru$suffix.png")
done

identify "${pictures[@]}"
