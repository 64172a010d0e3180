#!/usr/bin/env bash
# Builds the image-decoder fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer), seeds them with small images and runs each one.
# Usage: scripts/fuzz.sh [runs-per-target]   (default 20000; 0 runs until stopped)
# Longer runs: scripts/fuzz.sh 0, or build-fuzz/fuzz/fuzz_png build-fuzz/corpus/png
# -max_total_time=3600. Crashing inputs are written to build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-20000}"
scripts/deps.sh clang libclang-rt-14-dev
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILL_BUILD_FUZZ=ON -DQUILL_BUILD_GUI=OFF -DQUILL_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --parallel "$(nproc)" --target fuzz_png fuzz_jpeg fuzz_bmp make_fuzz_seeds
rm -rf build-fuzz/corpus build-fuzz/crashes
mkdir -p build-fuzz/crashes
build-fuzz/fuzz/make_fuzz_seeds build-fuzz/corpus
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for kind in png jpeg bmp; do
  echo "fuzzing the $kind decoder ($runs runs)"
  build-fuzz/fuzz/fuzz_$kind build-fuzz/corpus/$kind -runs="$runs" -max_len=4096 \
    -artifact_prefix=build-fuzz/crashes/$kind- -print_final_stats=1 2>build-fuzz/fuzz_$kind.log \
    || { tail -40 build-fuzz/fuzz_$kind.log; echo "FAILED: fuzz_$kind"; exit 1; }
  grep -E 'stat::number_of_executed_units' build-fuzz/fuzz_$kind.log || true
done
echo "The three decoder fuzz targets ran clean."
