#!/bin/bash
# Installs what is missing, builds and starts the program. Without a display it starts
# a virtual one (Xvfb), so that the window can be looked at with a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" build/bin/velko-fotodesk "$@"
fi
exec build/bin/velko-fotodesk "$@"
