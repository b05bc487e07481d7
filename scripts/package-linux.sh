#!/usr/bin/env bash
# Makes the Linux packages with CPack:
#   scripts/package-linux.sh [BUILD_DIR]
#     -> dist/kelpwax_<version>_amd64.deb            installs under /usr (dpkg -i)
#        dist/kelpwax-<version>-linux-x86_64.tar.gz  runs from wherever it is unpacked
# Both hold the two programs, the generated data, a desktop entry for each
# program with the icon, and a README. BUILD_DIR (default build-release, a
# Release build made here) is built first; the .deb's dependencies are found by
# dpkg-shlibdeps from the programs it links. Prints the two files' paths on
# stdout; the build's progress goes to stderr.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-release}")"
dist="$root/dist"

"$root/scripts/install-deps.sh" >&2
[[ -f "$build/CMakeCache.txt" ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake -S "$root" -B "$build" >/dev/null  # picks up a changed version or install rule
cmake --build "$build" -j"$(nproc)" --target kelpwax kelpwax-fullscreen kelpwax-data kelpwax-desktop-icons >&2

staging="$build/cpack"
rm -rf "$staging"
(cd "$build" && cpack --config CPackConfig.cmake -B "$staging" >"$build/cpack.log" 2>&1) || {
  cat "$build/cpack.log" >&2
  exit 1
}
mkdir -p "$dist"
made=()
for package in "$staging"/*.deb "$staging"/*.tar.gz; do
  mv -f "$package" "$dist/"
  made+=("$dist/$(basename "$package")")
done
printf '%s\n' "${made[@]}"
