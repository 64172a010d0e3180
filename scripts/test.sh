#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test.
# Window and GL tests run in a virtual X server with Mesa's software renderer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILL_BUILD_TESTS=ON
cmake --build build --parallel "$(nproc)"
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1920x1200x24" \
  ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 300
