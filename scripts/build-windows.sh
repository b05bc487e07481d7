#!/usr/bin/env bash
# Builds the two Windows programs with mingw-w64 and packages them with the
# show's data, laid out as their working directory:
#   scripts/build-windows.sh [HOST_BUILD_DIR]  -> dist/kelpwax-windows/ and dist/kelpwax-windows.zip
# The data (and the programs' icon) come from the host build (default: build),
# which this generates first (scripts/host-data.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
host="${1:-$root/build}"
dist="$root/dist"
package="$dist/kelpwax-windows"

data=$("$root/scripts/host-data.sh" "$host")
"$root/scripts/build-cross.sh" windows -DKELPWAX_DATA_DIR="$data"

rm -rf "$package" "$package.zip"
mkdir -p "$package"
cp -R "$data/." "$package/"
rm -f "$package/.generated"  # the generator's own stamp, not show data
cp "$root/build-windows/platform/windows/kelpwax.exe" "$root/build-windows/platform/windows/kelpwax-fullscreen.exe" \
  "$package/"
if command -v zip >/dev/null; then
  (cd "$dist" && zip -qr kelpwax-windows.zip kelpwax-windows)
else
  (cd "$dist" && python3 -m zipfile -c kelpwax-windows.zip kelpwax-windows)
fi
echo "$package"
echo "$package.zip"
