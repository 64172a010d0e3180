#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the editor and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)" --target quillstone
exec build/app/quillstone "$@"
