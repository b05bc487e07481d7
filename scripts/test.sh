#!/usr/bin/env bash
# Sets up, builds everything with warnings as errors, and runs every target's tests:
#   scripts/test.sh                 every build (Linux, Windows, web, sanitizer, fuzz) and every check
#   scripts/test.sh --linux-only    the Linux build and its checks alone (ctest -L linux), a quicker check
# Any other arguments go to ctest (e.g. -R Program, -L windows). The checks are
# CTest tests of the Linux build (tests/CMakeLists.txt); they start their own
# virtual X servers, so no display or sound card is needed.
# KELPWAX_TEST_DISPLAYS="N N N N" picks the X display numbers they use
# (default: the first free ones from :90).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-test"
linux_only=false
if [[ "${1:-}" == "--linux-only" ]]; then linux_only=true; shift; fi

"$root/scripts/install-deps.sh" --test

step() { printf '\n== %s\n' "$*"; }

step "Linux build and packages"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELPWAX_WERROR=ON \
  -DKELPWAX_TEST_DISPLAYS="${KELPWAX_TEST_DISPLAYS:-}" >/dev/null
cmake --build "$build" -j"$(nproc)"
"$root/scripts/package-linux.sh" "$build" >/dev/null

# The three checks that play the whole show mostly wait on the wall clock: they
# run beside one check per core.
parallel=$(($(nproc) + 3))
if $linux_only; then
  step "Linux checks"
  exec ctest --test-dir "$build" --output-on-failure -j"$parallel" -L linux "$@"
fi

step "Windows, web, sanitizer and fuzz builds"
"$root/scripts/build-cross.sh" windows -DKELPWAX_DATA_DIR="$build/data"
"$root/scripts/build-web.sh" "$build" # the web build, and the page in dist/web
cmake -S "$root" -B "$root/build-sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELPWAX_SANITIZE=ON \
  -DKELPWAX_WERROR=ON >/dev/null
cmake --build "$root/build-sanitize" -j"$(nproc)"
"$root/scripts/fuzz.sh" --build-only

step "every check"
ctest --test-dir "$build" --output-on-failure -j"$parallel" "$@"
