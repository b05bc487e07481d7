#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing the show need.
#   scripts/install-deps.sh           the Linux show, its tools, the data generator and the
#                                     Linux packages (CPack finds the .deb's dependencies with
#                                     dpkg-shlibdeps, which needs file)
#   scripts/install-deps.sh --web     also what building the web page needs: emscripten
#   scripts/install-deps.sh --test    also what the tests need: a virtual X server,
#                                     clang for the fuzzers, and the Windows and web
#                                     toolchains with Wine and Chromium to run their builds,
#                                     and the web page test's npm packages (tests/web)
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libstb-dev libsdl2-dev libx11-dev libepoxy-dev
  libvorbis-dev libpng-dev libfreetype-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  libgl1-mesa-dri libegl-mesa0 libegl1 mesa-utils-bin
  dpkg-dev file
)
if [[ "${1:-}" == "--web" ]]; then
  packages+=(emscripten python3)
fi
if [[ "${1:-}" == "--test" ]]; then
  packages+=(
    xvfb xauth xdotool ffmpeg clang-format pulseaudio pulseaudio-utils
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 zip unzip x11-utils
    emscripten nodejs chromium python3 curl
    python3-numpy python3-scipy mpv stress-ng
  )
  # Debian's nodejs comes without npm; other builds of node bring their own.
  command -v npm >/dev/null || packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} > 0)); then
  sudo=""
  if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The web page test drives Debian's Chromium with puppeteer-core, which fetches
# no browser of its own. npm ci runs again only when the lock file has changed.
if [[ "${1:-}" == "--test" ]]; then
  web_test="$(cd "$(dirname "$0")/../tests/web" && pwd)"
  if [[ ! "$web_test/node_modules/.package-lock.json" -nt "$web_test/package-lock.json" ]]; then
    (cd "$web_test" && npm ci --no-audit --no-fund --loglevel=error)
  fi
fi
