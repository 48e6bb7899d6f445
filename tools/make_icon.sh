#!/usr/bin/env bash
# Draws the program's icon, a paper sheet with 国 and a red correct-answer ring over it, and
# writes it into data/icons/hicolor at every size the installed desktop entry may ask for.
# Needs ImageMagick and the IPA Gothic font (fonts-ipafont-gothic). The PNGs are committed;
# run this again only when the design changes.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
[ -r "$font" ] || {
    echo "$0: $font is missing; install fonts-ipafont-gothic" >&2
    exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Drawn once large on a 1024 grid and scaled down, so the small sizes stay smooth.
master=$work/master.png
convert -size 1024x1024 xc:none \
    -fill '#00000030' -stroke none -draw 'roundrectangle 196,92 860,972 36,36' \
    -fill '#fdfcf7' -stroke '#8a8577' -strokewidth 14 -draw 'roundrectangle 172,64 836,944 32,32' \
    -stroke '#c9c3b3' -strokewidth 10 \
    -draw 'line 268,760 740,760' -draw 'line 268,840 740,840' \
    -stroke '#1d1d1d' -strokewidth 12 -fill '#1d1d1d' -font "$font" -pointsize 390 -gravity center \
    -annotate +0-104 '国' \
    -gravity northwest -fill none -stroke '#d3202a' -strokewidth 46 \
    -draw 'ellipse 512,408 276,262 0,360' \
    "$master"

for size in 16 22 24 32 48 64 128 256; do
    out=data/icons/hicolor/${size}x${size}/apps/kokugo-mogi.png
    mkdir -p "$(dirname "$out")"
    # No time stamps or profiles, so running the script again yields the same bytes.
    convert "$master" -filter Lanczos -resize "${size}x${size}" -strip \
        -define png:exclude-chunks=date,time "PNG32:$out"
    echo "$out"
done
