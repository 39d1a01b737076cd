#!/bin/bash
# Starts the program on a virtual display in the given language and saves a screenshot.
# usage: tools/screenshot/screenshot.sh OUTPUT.png [LANGUAGE-CODE] [SECONDS] [PROGRAM-ARGS...]
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

VELKO_HOME=$home VELKO_DESKTOP_DIR=$home/Desktop XDG_CONFIG_DIRS=$config XDG_RUNTIME_DIR=$config \
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        build/bin/velko-fotodesk "$@" &
        program=$!
        sleep '"$wait_seconds"'
        import -window root "'"$output"'"
        kill $program' _ "$@"
echo "saved $output"
