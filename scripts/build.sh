#!/bin/bash
# Configures and builds into build/ (or $VELKO_BUILD_DIR) with Ninja.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VELKO_BUILD_DIR:-build}
if [[ ! -f $build_dir/build.ninja ]]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$build_dir" -j"$(nproc)"
