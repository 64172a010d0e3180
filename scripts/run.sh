#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, makes a release build of the editor and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_BUILD_TESTS=OFF
cmake --build build-release --parallel "$(nproc)" --target quillstone
exec build-release/app/quillstone "$@"
