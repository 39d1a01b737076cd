#!/bin/bash
# Installs what is missing, builds and runs every test; then the race checks of the
# threading helpers in a ThreadSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)" --timeout 300)

# The worker helpers again under ThreadSanitizer (only the tests labelled "tsan").
VELKO_BUILD_DIR=build-tsan bash scripts/build.sh -DVELKO_SANITIZER=thread \
    -DVELKO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --output-on-failure -L tsan --timeout 300)
