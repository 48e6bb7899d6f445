#!/usr/bin/env bash
# Makes data/Zikan.wav, the chime the clock plays at 0:00: the school bell's two four-note
# phrases (E4 C4 D4 G3, G3 D4 E4 C4). Each note is a struck bell: a few partials that start
# at once and die away exponentially, the higher ones faster, each note ringing on under the
# next. Needs only sox. Mixing scales every input down, so nothing clips on the way; the end
# result is normalised to -1 dBFS and written as 16-bit PCM, because the sound layer does not
# decode float WAV files.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

out=data/Zikan.wav
rate=22050
beat=0.70  # seconds from one note to the next; a one-beat rest between the phrases
ring=2.8   # how long each note sounds before it is cut (by then it is below -50 dB)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Partials of one bell: frequency ratio to the note, amplitude, decay in dB per second.
# A hum an octave below, the prime, the octave, a minor tenth (the bell's tierce), the
# twelfth, a high partial, and a short inharmonic clang for the strike.
partials=(
    "0.50 0.30 12"
    "1.00 1.00 18"
    "2.00 0.45 28"
    "2.40 0.22 36"
    "3.00 0.18 45"
    "4.20 0.08 60"
    "5.95 0.10 150"
)

# sox's logarithmic fade-out falls 100 dB over its length, so a decay of r dB/s is a fade
# 100/r seconds long; the note is then cut at $ring with a short linear fade against a click.
bell() { # bell FREQUENCY OUTPUT
    local freq=$1 output=$2 i=0 ratio amp decay length cut
    local parts=()
    for p in "${partials[@]}"; do
        read -r ratio amp decay <<<"$p"
        length=$(awk -v d="$decay" 'BEGIN { printf "%.4f", 100 / d }')
        cut=$(awk -v l="$length" -v r="$ring" 'BEGIN { printf "%.4f", l < r ? l : r }')
        sox -R -n -r "$rate" -c 1 -e floating-point -b 32 "$work/part$i.wav" \
            synth "$length" sine "$(awk -v f="$freq" -v r="$ratio" 'BEGIN { printf "%.3f", f * r }')" \
            fade l 0.004 "$length" "$(awk -v l="$length" 'BEGIN { printf "%.4f", l - 0.004 }')" \
            trim 0 "$cut" vol "$amp"
        parts+=("$work/part$i.wav")
        i=$((i + 1))
    done
    sox -R -m "${parts[@]}" "$output" fade t 0 "$ring" 0.25
}

declare -A hz=([G3]=196.00 [C4]=261.63 [D4]=293.66 [E4]=329.63)
tune=(E4 C4 D4 G3 - G3 D4 E4 C4) # "-" is the rest between the phrases

inputs=()
n=0
for step in "${!tune[@]}"; do
    note=${tune[$step]}
    [ "$note" = - ] && continue
    bell "${hz[$note]}" "$work/note$n.wav"
    start=$(awk -v s="$step" -v b="$beat" 'BEGIN { printf "%.4f", s * b }')
    sox -R "$work/note$n.wav" "$work/placed$n.wav" pad "$start" 0
    inputs+=("$work/placed$n.wav")
    n=$((n + 1))
done

sox -R -m "${inputs[@]}" -b 16 -e signed-integer "$out" gain -n -1
sox --i "$out"
