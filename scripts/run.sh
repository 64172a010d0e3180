#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, makes a release build of the editor and starts it.
# An editor that is already built and up to date starts at once.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=build-release/app/quillstone
if [ -x "$binary" ] && command -v ninja >/dev/null &&
  ninja -C build-release -n quillstone 2>/dev/null | grep -q '^ninja: no work to do'; then
  exec "$binary" "$@"
fi
scripts/deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_BUILD_TESTS=OFF
cmake --build build-release --parallel "$(nproc)" --target quillstone
exec "$binary" "$@"
