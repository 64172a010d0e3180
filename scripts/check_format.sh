#!/usr/bin/env bash
# Fails when a tracked C++ source differs from what clang-format makes of it with the
# repo's .clang-format. To mend: git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
if ! git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror 2>/tmp/quill-format.$$; then
  grep -E '^[^ ].*(warning|error)' /tmp/quill-format.$$ | cut -d: -f1 | sort -u | sed 's/^/not formatted: /'
  rm -f /tmp/quill-format.$$
  exit 1
fi
rm -f /tmp/quill-format.$$
echo "format check: every source is formatted"
