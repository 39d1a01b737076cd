#!/bin/bash
# Installs what is missing, builds and runs every test; then the race checks of the
# threading helpers in a ThreadSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)" --timeout 300)

# The threading helpers again under ThreadSanitizer. Only the programs of the tests that
# carry the label "tsan" are built (a test is named after its program), to keep the run short.
if [[ ! -f build-tsan/build.ninja ]]; then
    cmake -S . -B build-tsan -G Ninja -DVELKO_SANITIZER=thread -DVELKO_BUILD_BENCH=OFF \
        -DCMAKE_BUILD_TYPE=Debug
fi
mapfile -t tsan_targets < <(cd build-tsan && ctest -N -L tsan 2>/dev/null |
    sed -n 's/^ *Test *#[0-9]*: *//p')
if ((${#tsan_targets[@]})); then
    cmake --build build-tsan --target "${tsan_targets[@]}" -j"$(nproc)"
    (cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
        ctest --output-on-failure -L tsan --timeout 300)
fi

# The fuzz targets of the picture loaders are built (clang, ASan, UBSan) so that they keep
# compiling; running them for long is scripts/fuzz.sh SECONDS.
bash scripts/fuzz.sh 0
