#!/usr/bin/env bash
# Builds every release file into dist/, checks them, and writes their checksums:
#   scripts/release.sh
#     dist/kelpwax_<version>_amd64.deb             Debian package (scripts/package-linux.sh)
#     dist/kelpwax-<version>-linux-x86_64.tar.gz   Linux, runs from wherever it is unpacked
#     dist/kelpwax-<version>-windows.zip           Windows programs with their data (scripts/build-windows.sh)
#     dist/kelpwax-<version>-web.zip               the web page's folder (scripts/build-web.sh)
#     dist/SHA256SUMS                              sha256sum -c SHA256SUMS checks them
# The version is the one in the top CMakeLists.txt. Checks run on the files
# made here, not the whole test suite (run scripts/test.sh for that): the Linux
# packages' checks (the .deb installed with dpkg, run from / and removed; the
# .tar.gz run from elsewhere: tests/package/packages_test.sh) and the Windows
# programs' under Wine, unpacked from the .zip (tests/windows/programs_test.sh).
# Installs what it needs with apt-get first; needs root or sudo for dpkg.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-release"
dist="$root/dist"
started=$(date +%s)

"$root/scripts/install-deps.sh" --test
rm -f "$dist"/kelpwax_*.deb "$dist"/kelpwax-*.tar.gz "$dist"/kelpwax-*-windows.zip "$dist"/kelpwax-*-web.zip \
  "$dist/SHA256SUMS"

step() { printf '\n== %s\n' "$*"; }
step "Linux packages"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELPWAX_WERROR=ON >/dev/null
linux_packages=$("$root/scripts/package-linux.sh" "$build")
mapfile -t linux_packages <<<"$linux_packages"
version=$("$build/kelpwax" --version | cut -d' ' -f2)
step "Windows programs"
"$root/scripts/build-windows.sh" "$build" >/dev/null
mv "$dist/kelpwax-windows.zip" "$dist/kelpwax-$version-windows.zip"
step "web page"
"$root/scripts/build-web.sh" "$build"
web_stage="$build/web-zip"
rm -rf "$web_stage" && mkdir -p "$web_stage"
cp -R "$dist/web" "$web_stage/kelpwax-$version-web"
(cd "$web_stage" && zip -qr "$dist/kelpwax-$version-web.zip" "kelpwax-$version-web")

# The checks run the programs in a window: on a virtual X server when there is no display.
on_display=()
if [[ -z "${DISPLAY:-}" ]]; then on_display=(xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp"); fi
export SDL_AUDIODRIVER=dummy

step "check: the Linux packages"
"${on_display[@]}" "$root/tests/package/packages_test.sh" "${linux_packages[@]}" "$build/installed-show.png"

step "check: the Windows programs under Wine, unpacked from the .zip"
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
[[ -d "$WINEPREFIX" ]] || wine wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w  # the next programs start a fresh desktop on the display they are given
unpacked="$build/windows-unpacked"
rm -rf "$unpacked" && mkdir -p "$unpacked"
(cd "$unpacked" && unzip -q "$dist/kelpwax-$version-windows.zip")
"${on_display[@]}" "$root/tests/windows/programs_test.sh" "$unpacked/kelpwax-windows" "$unpacked/kelpwax-windows" "$version" \
  "$build/windows-screen.png"

step "dist/"
(cd "$dist" && sha256sum "$(basename "${linux_packages[0]}")" "$(basename "${linux_packages[1]}")" \
  "kelpwax-$version-windows.zip" "kelpwax-$version-web.zip" >SHA256SUMS)
(cd "$dist" && ls -l $(cut -d' ' -f3 SHA256SUMS) SHA256SUMS)
echo "release $version made and checked in $(($(date +%s) - started)) s"
