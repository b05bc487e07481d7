#!/usr/bin/env bash
# Fails when a folder includes one it stands above: core/ builds for every
# target from the standard library and stb alone, and the show's folders draw
# and play through interfaces, never through a platform.
#   scripts/check-layout.sh [ROOT]    checks ROOT (the repository by default)
# Each wrong include is named with its file and line; exit code 1 when any is found.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

# folder, then the folders it must not include
rules=(
  "core app scene assets music platform"
  "app platform"
  "scene platform"
  "assets platform"
  "music platform"
)

found=0
for rule in "${rules[@]}"; do
  read -r folder forbidden <<<"$rule"
  [[ -d "$folder" ]] || continue
  pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"](${forbidden// /|})/"
  while IFS=: read -r file line text; do
    included=$(sed -E 's/[^<"]*[<"]([^>"]*).*/\1/' <<<"$text")
    echo "$file:$line: includes $included, but $folder/ must not include ${included%%/*}/" >&2
    found=$((found + 1))
  done < <(grep -rnE "$pattern" "$folder" --include='*.c' --include='*.cpp' --include='*.h' --include='*.hpp' || true)
done

if ((found > 0)); then
  echo "layout: $found include(s) reach above their folder; move the code they need down, or the file up" >&2
  exit 1
fi
echo "layout: no folder includes one it stands above"
