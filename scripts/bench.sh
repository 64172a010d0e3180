#!/usr/bin/env bash
# Builds and runs the benchmarks; libnoise, meshoptimizer, Embree and tinyobjloader are
# installed here only, for comparison.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh libnoise-dev libmeshoptimizer-dev libembree-dev libtinyobjloader-dev
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_BUILD_BENCH=ON \
  -DQUILL_BUILD_TESTS=OFF -DQUILL_BUILD_GUI=OFF
cmake --build build-bench --parallel "$(nproc)" --target quill_bench
build-bench/bench/quill_bench "$@"
