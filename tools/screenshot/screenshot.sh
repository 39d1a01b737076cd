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

XDG_CONFIG_DIRS=$config XDG_RUNTIME_DIR=$config \
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        build/bin/velko-fotodesk "$@" &
        program=$!
        sleep '"$wait_seconds"'
        import -window root "'"$output"'"
        kill $program' _ "$@"
echo "saved $output"
