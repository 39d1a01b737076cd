#!/bin/bash
# Screenshots of an exported photo viewer and slideshow on a virtual display: a few photo-like
# pictures packed by velko-album-pack into copies of the built VIEWERDATA.dat.
# usage: tools/exported-shot/exported-shot.sh [OUTPUT-FOLDER]   (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/../.."
output=$(realpath -m "${1:-docs/screenshots}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A lake under hills and a mountain ridge, sky and light different for every photo.
skies=("#3f74c9-#f3e6c8" "#e98a4f-#fbe3b0" "#274b8a-#9fc3ea" "#6a86b8-#f6c39a" "#4f8fd0-#e9f1fa"
    "#2d3f73-#e39a6c")
lands=("#1f3d17-#8fa65a" "#3a3f1c-#b99a5b" "#173a26-#7fae6a" "#2c3a1f-#a9a36b" "#23501c-#b9c98b"
    "#1f2614-#8a7a4a")
width=1600
height=1067
photos=()
for i in "${!skies[@]}"; do
    ridge=$(awk -v i="$i" -v W=$width -v H=$height 'BEGIN { srand(i + 1); y = 520; printf "0,%d", H
        for (x = 0; x <= W; x += 40) {
            y += (rand() - 0.5) * 70; y = y < 420 ? 420 : y > 600 ? 600 : y; printf " %d,%d", x, y
        }
        printf " %d,%d", W, H }')
    hill=$(awk -v i="$i" -v W=$width -v H=$height 'BEGIN { printf "0,%d", H
        for (x = 0; x <= W; x += 40)
            printf " %d,%d", x, 690 + 55 * sin(x / 260.0 + i) + 25 * sin(x / 97.0 + 2 * i)
        printf " %d,%d", W, H }')
    sunX=$((260 + i * 210))
    sunY=$((230 + i % 3 * 70))
    photo=$work/photo-$i.jpg
    convert -size ${width}x$height gradient:"${skies[i]}" \
        \( -size ${width}x$height xc:none -fill "#fff6dccc" \
        -draw "circle $sunX,$sunY $((sunX + 50)),$sunY" -blur 0x8 \) -composite \
        \( -size ${width}x$height xc:none -fill "#5f6f8f" -draw "polygon $ridge" -blur 0x1.2 \
        -channel A -evaluate multiply 0.85 +channel \) -composite \
        \( \( -seed $((i * 7 + 5)) -size ${width}x$height plasma:fractal -blur 0x3 \
        -colorspace gray -auto-level \) \( -size 1x256 gradient:"${lands[i]}" -flip \) -clut \
        \( -size ${width}x$height xc:black -fill white -draw "polygon $hill" -blur 0x1 \) \
        -alpha off -compose CopyOpacity -composite \) -compose Over -composite \
        \( -size ${width}x150 gradient:"#6d95bd-#2a4a6a" -attenuate 0.3 +noise Gaussian \) \
        -gravity south -composite -quality 90 "$photo"
    photos+=("$photo")
done

build/bin/velko-album-pack "$work/viewer" viewer "Lake Garda, May 2026" "${photos[@]}"
build/bin/velko-album-pack "$work/slideshow" slideshow "Lake Garda, May 2026" "${photos[@]}"

# The viewer's window alone, or the whole screen for the slideshow.
shoot() { # PROGRAM OUTPUT WHAT KEYS...
    local program=$1 picture=$2 what=$3
    shift 3
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        "$0" &
        program=$!
        sleep 1.5
        window=$(xdotool search --classname velko-album | head -1)
        for key in "$@"; do xdotool key --window "$window" "$key"; sleep 0.4; done
        [[ '"$what"' != root ]] || window=root
        import -window "$window" "'"$picture"'"
        kill $program' "$program" "$@"
    echo "saved $picture"
}
shoot "$work/viewer" "$output/exported-viewer.png" window Down Down
shoot "$work/slideshow" "$output/exported-slideshow.png" root Right Right x
