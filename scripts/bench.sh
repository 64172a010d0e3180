#!/usr/bin/env bash
# Builds and runs the benchmarks; libnoise, meshoptimizer, Embree, tinyobjloader and OpenCV
# are installed here only, for comparison.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh libnoise-dev libmeshoptimizer-dev libembree-dev libtinyobjloader-dev libopencv-dev
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_BUILD_BENCH=ON \
  -DQUILL_BUILD_TESTS=OFF -DQUILL_BUILD_GUI=OFF
cmake --build build-bench --parallel "$(nproc)" --target quill_bench
build-bench/bench/quill_bench "$@"
# The loads beside tinyobjloader run above with huge pages for neither side, and here again
# with malloc giving them to both (see bench/bench_scene_file.cpp); a filter given to this
# script chooses what this second pass runs too.
GLIBC_TUNABLES=glibc.malloc.hugetlb=1 build-bench/bench/quill_bench --benchmark_filter=Load "$@"
