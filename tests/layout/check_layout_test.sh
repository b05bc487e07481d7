#!/usr/bin/env bash
# The layout check on a small tree of its own: it must name every include that
# reaches above its folder, in either quoting and however spaced, and pass
# includes that stay within the layers.
set -euo pipefail
check="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-layout.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{core,app,scene,assets,music,platform/gl}
add() { printf '%s\n' "${@:2}" >"$tree/$1"; }
add core/allowed.cpp '#include "core/device.h"' '#include <stb/stb_image.h>' '#include <vector>'
add music/allowed.h '#include "core/device.h"'
add platform/gl/allowed.cpp '#include "app/show.h"' '#include "platform/gl/gl_api.h"'
add assets/allowed.cpp '#include "core/picture_file.h"'

if ! output=$("$check" "$tree" 2>&1); then
  echo "FAIL: a tree within its layers was refused:" >&2
  echo "$output" >&2
  exit 1
fi

add core/reaches_up.c '#include <stdlib.h>' '#include "music/vorbis_memory.h"'
add scene/reaches_platform.cpp '' '  #  include <platform/gl/gl_api.h>'
add app/reaches_platform.h '#include "platform/linux/sdl_window.h"'
status=0
output=$("$check" "$tree" 2>&1) || status=$?
expected=(
  'core/reaches_up.c:2: includes music/vorbis_memory.h, but core/ must not include music/'
  'scene/reaches_platform.cpp:2: includes platform/gl/gl_api.h, but scene/ must not include platform/'
  'app/reaches_platform.h:1: includes platform/linux/sdl_window.h, but app/ must not include platform/'
)
failed=0
[[ $status == 1 ]] || { echo "FAIL: exit code $status, not 1" >&2; failed=1; }
for line in "${expected[@]}"; do
  grep -qxF "$line" <<<"$output" || { echo "FAIL: missing: $line" >&2; failed=1; }
done
named=$(grep -c 'must not include' <<<"$output" || true)
[[ $named == "${#expected[@]}" ]] || { echo "FAIL: $named includes named, not ${#expected[@]}" >&2; failed=1; }
((failed == 0)) || { echo "$output" >&2; exit 1; }
echo "layout check: passes a tree within its layers, names each of ${#expected[@]} includes that reach above"
