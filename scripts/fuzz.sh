#!/bin/bash
# Builds the libFuzzer targets of the picture loaders, the album container reader and the
# exported viewer's picture decoding with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# into build-fuzz/, and runs each for the given seconds (default 5; 0 builds only). Seeds come
# from tests/imaging/fuzz/make-seeds.sh and tests/album/fuzz/seeds/.
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(fuzz_bmp fuzz_jpeg fuzz_fitted fuzz_container fuzz_viewer_picture)

if [[ ! -f build-fuzz/build.ninja ]]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELKO_FUZZ=ON -DVELKO_SANITIZER=address,undefined -DVELKO_BUILD_BENCH=OFF
fi
cmake --build build-fuzz --target "${targets[@]}" -j"$(nproc)"
((seconds > 0)) || exit 0

seeds=build-fuzz/seeds
[[ -d $seeds ]] || bash tests/imaging/fuzz/make-seeds.sh "$seeds"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    case $target in
    fuzz_bmp) seed=$seeds/bmp ;;
    fuzz_jpeg | fuzz_viewer_picture) seed=$seeds/jpeg ;;
    fuzz_container) seed=tests/album/fuzz/seeds ;;
    *) seed=$seeds/fitted ;;
    esac
    echo "== $target for ${seconds} s"
    build-fuzz/bin/"$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 -artifact_prefix=build-fuzz/"$target"- "$corpus" "$seed"
done
