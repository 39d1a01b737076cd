#!/bin/bash
# Builds and runs every benchmark; extra arguments go to each benchmark program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
for bench in build/bin/bench_*; do
    [[ -x $bench ]] || continue
    echo "== $(basename "$bench")"
    QT_QPA_PLATFORM=offscreen "$bench" "$@"
done
