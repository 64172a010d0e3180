#!/usr/bin/env bash
# Fails when a source includes a header of a layer that is not below its own.
# Usage: scripts/check_layers.sh [tree]      (default: this checkout)
#        scripts/check_layers.sh --self-test (plants an upward include and expects a failure)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

# Each folder and the folders it may include from (besides itself). A subsystem's ui/
# folder may use its own model, the document, the drawing and the editor's api.
declare -A below=(
  [base]=""
  [image]="base"
  [modifiers]="base"
  [terrain]="base"
  [scene]="base image modifiers terrain"
  [floorplan]="base image modifiers terrain scene"
  [ripper]="base image"
  [document]="base image modifiers terrain scene floorplan"
  [render]="base image modifiers terrain scene"
  [modifiers/ui]="base image modifiers terrain scene floorplan document render editor/api"
  [terrain/ui]="base image modifiers terrain scene floorplan document render editor/api"
  [floorplan/ui]="base image modifiers terrain scene floorplan document render editor/api"
  [ripper/ui]="base image modifiers terrain scene floorplan ripper document render editor/api"
  [editor/api]="base image modifiers terrain scene floorplan ripper document render"
  [editor]="base image modifiers terrain scene floorplan ripper document render modifiers/ui terrain/ui floorplan/ui ripper/ui"
  # The viewport modes are part of the editor library, in a folder of their own.
  [editor/modes]="base image modifiers terrain scene floorplan ripper document render editor editor/api modifiers/ui terrain/ui floorplan/ui ripper/ui"
  [app]="base image modifiers terrain scene floorplan ripper document render editor modifiers/ui terrain/ui floorplan/ui ripper/ui"
)

check() {
  local root=$1 bad=0
  for folder in "${!below[@]}"; do
    [ -d "$root/$folder" ] || continue
    for file in "$root/$folder"/*.h "$root/$folder"/*.cpp; do
      [ -e "$file" ] || continue
      while IFS= read -r inc; do
        local target=${inc%/*}
        [ "$target" = "$folder" ] && continue
        local ok=0
        for allowed in ${below[$folder]}; do
          [ "$target" = "$allowed" ] && ok=1 && break
        done
        # editor/ may include its own api, and a ui folder its own model's folder.
        [ "$folder" = editor ] && [ "$target" = editor/api ] && ok=1
        [ "$folder" = editor ] && [ "$target" = editor/modes ] && ok=1
        if [ $ok = 0 ]; then
          echo "upward include: ${file#$root/} includes \"$inc\""
          bad=1
        fi
      done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\(\/[a-z]*\)\{0,1\}\/[A-Za-z0-9_]*\.h\)".*/\1/p' "$file")
    done
  done
  return $bad
}

if [ "${1:-}" = "--self-test" ]; then
  tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/base" "$tmp/scene"
  printf '#include "base/uMath.h"\n' >"$tmp/scene/uGood.h"
  check "$tmp" >/dev/null || { echo "layer check self-test: a downward include was refused"; exit 1; }
  printf '#include "scene/uScene.h"\n' >"$tmp/base/uPlanted.h"
  if out=$(check "$tmp"); then
    echo "layer check self-test: a planted upward include passed"; exit 1
  fi
  echo "layer check self-test: the planted upward include was caught: $out"
  exit 0
fi

check "${1:-$here/..}" && echo "layer check: no upward includes"
