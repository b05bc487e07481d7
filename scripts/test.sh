#!/usr/bin/env bash
# Sets up, builds everything with warnings as errors, and runs every check:
#   scripts/test.sh                 every build (Linux, Windows, web, sanitizer, fuzz) and every check
#   scripts/test.sh --linux-only    the Linux build and its checks alone (ctest -L linux)
# Any other arguments go to ctest (e.g. -R Program, -L windows). The checks are
# CTest tests of the Linux build in build-test (tests/CMakeLists.txt); they
# start their own virtual X servers and sound servers, so no display or sound
# card is needed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-test"
linux_only=false
if [[ "${1:-}" == "--linux-only" ]]; then linux_only=true; shift; fi

"$root/scripts/install-deps.sh" --test
step() { printf '\n== %s\n' "$*"; }

step "Linux build and packages"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELPWAX_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
"$root/scripts/package-linux.sh" "$build" >/dev/null

labels=(-L linux)
if ! $linux_only; then
  labels=()
  step "Windows, web, sanitizer and fuzz builds"
  "$root/scripts/build-cross.sh" windows -DKELPWAX_DATA_DIR="$build/data"
  "$root/scripts/build-web.sh" "$build" # the web build, and the page in dist/web
  (cd "$root/dist/web" && for file in kelpwax.wasm kelpwax.js kelpwax.data; do
    printf '%-13s %6.2f MB, %6.2f MB gzip-compressed\n' "$file" "$(($(stat -c %s "$file") / 10000))e-2" \
      "$(($(gzip -9c "$file" | wc -c) / 10000))e-2"
  done)
  cmake -S "$root" -B "$root/build-sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELPWAX_SANITIZE=ON \
    -DKELPWAX_WERROR=ON >/dev/null
  cmake --build "$root/build-sanitize" -j"$(nproc)"
  "$root/scripts/fuzz.sh" --build-only
fi

# Checks that keep a core busy take one of the build's KELPWAX_TEST_CORES slots
# (test-resources.json); those that play the whole show under Wine take none and run beside them.
run_checks() {
  ctest --test-dir "$build" --output-on-failure --resource-spec-file "$build/test-resources.json" \
    -j"$(($(nproc) + 3))" "$@"
}
failed=0
step "checks"
run_checks "${labels[@]}" -LE sync "$@" || failed=1
# The web page's tests are counted by node's runner, inside the one check that runs them.
sed -n 's/^# \(tests\|pass\|fail\) \([0-9]*\)$/web page, node --test: \1 \2/p' "$build/Testing/Temporary/LastTest.log" || true
step "the show against the music as heard, alone on the machine once the other checks are done"
run_checks -L sync "$@" || failed=1
exit "$failed"
