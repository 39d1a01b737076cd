#!/bin/bash
# Small seed pictures for the fuzz targets, made with ImageMagick: every JPEG colour model
# and coding the loaders handle, and the BMP variants.
#   bash make-seeds.sh OUTPUT_FOLDER
set -euo pipefail
out=$1
mkdir -p "$out/jpeg" "$out/bmp" "$out/fitted"
src=$out/source.png
convert -size 40x24 gradient:red-blue -fill white -draw "rectangle 4,4 12,10" "$src"
convert "$src" -quality 85 "$out/jpeg/baseline.jpg"
convert "$src" -interlace JPEG "$out/jpeg/progressive.jpg"
convert "$src" -colorspace Gray "$out/jpeg/grey.jpg"
convert "$src" -colorspace CMYK "$out/jpeg/cmyk.jpg"
convert "$src" -sampling-factor 4:4:4 -orient RightTop "$out/jpeg/exif-6.jpg"
convert "$src" -density 300 -units PixelsPerInch "$out/jpeg/dpi.jpg"
convert "$src" -type Palette -colors 2 BMP3:"$out/bmp/pal1.bmp"
convert "$src" -colors 16 BMP3:"$out/bmp/pal4.bmp"
convert "$src" -colors 200 BMP3:"$out/bmp/pal8.bmp"
convert "$src" -colors 200 -compress RLE BMP3:"$out/bmp/rle8.bmp"
convert "$src" BMP3:"$out/bmp/rgb24.bmp"
convert "$src" -define bmp:subtype=RGB565 BMP:"$out/bmp/rgb565.bmp"
convert "$src" -alpha on BMP:"$out/bmp/argb32.bmp"
convert "$src" -flip -define bmp:top-down=true BMP3:"$out/bmp/topdown.bmp" 2>/dev/null || true
# The fitted target reads a mode byte first.
for f in "$out"/jpeg/*.jpg "$out"/bmp/*.bmp; do
    { printf '\x10'; cat "$f"; } >"$out/fitted/$(basename "$f")"
done
rm -f "$src"
