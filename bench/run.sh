#!/bin/bash
# Builds and runs every benchmark; extra arguments go to each benchmark program.
set -euo pipefail
cd "$(dirname "$0")/.."
# bench_imaging, bench_edit and bench_export compare against libvips' command-line tools; they
# are no build dependency.
if ! command -v vipsthumbnail >/dev/null; then
    if [[ $(id -u) == 0 ]]; then
        apt-get install -y --no-install-recommends libvips-tools
    else
        echo "vipsthumbnail missing and not root: the libvips comparisons will be skipped" >&2
    fi
fi
bash scripts/build.sh
# bench_viewer_start starts an Xvfb of its own for the stand-alone viewer program.
# A benchmark that misses its goal exits non-zero; the others still run.
status=0
for bench in build/bin/bench_*; do
    [[ -x $bench ]] || continue
    echo "== $(basename "$bench")"
    QT_QPA_PLATFORM=offscreen "$bench" "$@" || status=$?
done
exit "$status"
