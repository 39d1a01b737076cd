#!/bin/bash
# Makes the print wizard's screenshots and the first page of its PDF as a picture:
# usage: tools/print-shot/print-shot.sh BUILD-FOLDER [OUTPUT-FOLDER]   (docs/screenshots)
set -euo pipefail
build=$(realpath "$1")
cd "$(dirname "$0")/../.."
output=$(realpath -m "${2:-docs/screenshots}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Camera-shaped landscapes, 4:3 and one upright, so that a fixed size cuts them.
names=(Harbour Lighthouse Meadow Orchard)
sizes=(1600x1200 1600x1200 1200x1600 1600x1200)
photos=()
for i in "${!names[@]}"; do
    size=${sizes[i]}
    convert -size "$size" gradient:"#5b8fd6-#e8f0fa" \
        \( -seed $((i + 3)) -size "${size%x*}x$((${size#*x} / 2))" plasma:"#3d7a2a-#c9a36b" \
        -blur 0x2 \) -gravity south -composite -density 300 -units PixelsPerInch \
        -quality 90 "$work/${names[i]}.jpg"
    photos+=("$work/${names[i]}.jpg")
done
mkdir -p "$output"
QT_QPA_PLATFORM=offscreen CUPS_SERVER=127.0.0.1:9 HOME=$work \
    "$build/bin/velko-print-shot" "$work" rb10x15 "${photos[@]}"
for page in 1 2 3 4; do
    name=$(basename "$work"/print-$page-*.png)
    cp "$work/$name" "$output/$name"
done
pdftoppm -r 60 -f 1 -l 1 -singlefile -png "$work/printed.pdf" "$output/print-pdf-page1"
