#!/bin/bash
# Starts the program on a virtual display in the given language and saves a screenshot.
# usage: tools/screenshot/screenshot.sh OUTPUT.png [LANGUAGE-CODE] [SECONDS] [PROGRAM-ARGS...]
# SCREENSHOT_PHOTOS=N puts N sample photos into the home folder, and SCREENSHOT_EXIF=1 gives
# each the 160 x 120 EXIF preview a camera writes (exiftool); SCREENSHOT_CLICKS="X,Y ..."
# clicks there (xdotool) before the picture is taken, SCREENSHOT_SETTLE=SECONDS waits that long
# after them (0.5), and SCREENSHOT_KEYS="KEY ..." then presses those keys (xdotool key names).
# The thumbnail cache is a fresh one.
set -euo pipefail
output=$(realpath -m "$1")
code=${2:-}
wait_seconds=${3:-6}
shift $(($# < 3 ? $# : 3))
cd "$(dirname "$0")/../.."

config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
mkdir -p "$config/Velkorp"
[[ -n $code ]] && printf 'Language=%s\n' "$code" >"$config/Velkorp/Fotodesk.conf"
# A small home of its own, so that every screenshot shows the same folders.
home=$config/home
mkdir -p "$home"/{Desktop,Documents,Music,Videos} \
    "$home"/Pictures/{"Holiday 2 Alps","Holiday 10 Coast",Family/Birthdays,Garden}
photos=${SCREENSHOT_PHOTOS:-0}
names=(Harbour Lighthouse Dunes Meadow Sunset Orchard Bridge Market Glacier Vineyard Canal Forest)
for ((i = 0; i < photos; i++)); do
    name=${names[i % ${#names[@]}]}
    # A sky over a mottled landscape, different for every photo.
    convert -size 640x480 gradient:"#5b8fd6-#e8f0fa" \
        \( -seed $((i + 7)) -size 640x260 plasma:"#3d7a2a-#c9a36b" -blur 0x1.5 \) \
        -gravity south -composite -quality 90 "$home/$name $((i / ${#names[@]} + 1)).jpg"
done
if [[ -n ${SCREENSHOT_CLICKS:-}${SCREENSHOT_KEYS:-} ]] && ! command -v xdotool >/dev/null; then
    apt-get install -y -qq --no-install-recommends xdotool >/dev/null
fi
if [[ ${SCREENSHOT_EXIF:-} == 1 ]] && ((photos)); then
    command -v exiftool >/dev/null ||
        apt-get install -y -qq --no-install-recommends libimage-exiftool-perl >/dev/null
    for photo in "$home"/*.jpg; do
        convert "$photo" -resize 160x120! -quality 85 "$config/preview.jpg"
        exiftool -q -overwrite_original "-ThumbnailImage<=$config/preview.jpg" "$photo"
    done
fi

VELKO_HOME=$home VELKO_DESKTOP_DIR=$home/Desktop XDG_CONFIG_DIRS=$config XDG_RUNTIME_DIR=$config \
    XDG_CACHE_HOME=$config/cache \
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        build/bin/velko-fotodesk "$@" &
        program=$!
        sleep '"$wait_seconds"'
        for click in '"${SCREENSHOT_CLICKS:-}"'; do
            xdotool mousemove "${click%,*}" "${click#*,}" click 1
            sleep 0.3
        done
        sleep '"${SCREENSHOT_SETTLE:-0.5}"'
        for key in '"${SCREENSHOT_KEYS:-}"'; do
            xdotool key "$key"
            sleep 0.3
        done
        import -window root "'"$output"'"
        kill $program' _ "$@"
echo "saved $output"
