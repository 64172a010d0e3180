#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test. Window and GL tests run in a virtual
# X server with Mesa's software renderer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh clang-format
# The layers: no include of a higher folder (and the checker catches a planted one), and
# every library is a shared object linked with --no-undefined, so a call upward fails.
scripts/check_layers.sh --self-test
scripts/check_layers.sh
scripts/check_format.sh
# Line tables are all the sanitizers' reports need (-g1), and they build far faster.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILL_BUILD_TESTS=ON -DQUILL_SHARED_LAYERS=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-g1" \
  -DCMAKE_CXX_FLAGS="-O1 -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
cmake --build build-asan --parallel "$(nproc)"
# Image decoders and the scene reader take untrusted files: a bounded libFuzzer run of
# each, before the tests.
scripts/fuzz.sh 30000
# Mesa draws on the test's own thread: no rendering threads alive when LeakSanitizer
# stops the process at exit.
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb LP_NUM_THREADS=0
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
xvfb-run -a -s "-screen 0 1920x1200x24" \
  ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)" --timeout 600
