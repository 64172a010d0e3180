#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer), seeds them and runs each one: the PNG, JPEG and BMP
# decoders, and the scene file reader (which also checks that a refused file leaves the
# project as it was and that an accepted one saves, loads and saves to the same text).
# Usage: scripts/fuzz.sh [runs-per-decoder] [runs-of-the-scene-reader]
#   (defaults 20000 and 100000; 0 runs until stopped)
# Longer runs: scripts/fuzz.sh 0, or build-fuzz/fuzz/fuzz_scene build-fuzz/corpus/scene
# -max_total_time=3600. Crashing inputs are written to build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-20000}"
scene_runs="${2:-100000}"
scripts/deps.sh clang libclang-rt-14-dev
# Everything in this build is instrumented, so the fuzzer sees coverage in the model
# libraries the scene reader calls.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
flags="$flags -fno-omit-frame-pointer -g -O1"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$flags" -DQUILL_BUILD_FUZZ=ON -DQUILL_BUILD_GUI=OFF -DQUILL_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --parallel "$(nproc)" --target fuzz_png fuzz_jpeg fuzz_bmp make_fuzz_seeds \
  fuzz_scene make_scene_seeds
rm -rf build-fuzz/corpus build-fuzz/crashes
mkdir -p build-fuzz/crashes
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
build-fuzz/fuzz/make_fuzz_seeds build-fuzz/corpus
build-fuzz/fuzz/make_scene_seeds build-fuzz/corpus/scene
# One target: its runs, its longest input; any crash, leak, timeout or broken invariant fails.
fuzz_one() {
  local target="$1" corpus="$2" n="$3" max_len="$4"
  echo "fuzzing $target ($n runs)"
  build-fuzz/fuzz/$target build-fuzz/corpus/$corpus -runs="$n" -max_len="$max_len" -timeout=20 \
    -rss_limit_mb=4096 -artifact_prefix=build-fuzz/crashes/$corpus- -print_final_stats=1 \
    2>build-fuzz/$target.log || { tail -40 build-fuzz/$target.log; echo "FAILED: $target"; exit 1; }
  grep -E 'stat::number_of_executed_units' build-fuzz/$target.log || true
}
for kind in png jpeg bmp; do
  fuzz_one fuzz_$kind $kind "$runs" 4096
done
# The scene target allocates and frees whole projects per input: a smaller quarantine
# keeps it in memory the allocator has touched (use after free is still caught within
# it), and its working files go to memory when /dev/shm is there.
ASAN_OPTIONS="$ASAN_OPTIONS:quarantine_size_mb=32:max_malloc_fill_size=0" \
  TMPDIR="$( [ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")" \
  fuzz_one fuzz_scene scene "$scene_runs" 65536
echo "The decoder and scene reader fuzz targets ran clean."
