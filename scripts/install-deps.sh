#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing the show need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libepoxy-dev libvorbis-dev libpng-dev libassimp-dev libfreetype-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  libgl1-mesa-dri libegl-mesa0 libegl1 mesa-utils-bin
)
if [[ "${1:-}" == "--test" ]]; then
  # Headless testing: a virtual X server, ffmpeg/ffprobe for video export checks.
  packages+=(xvfb xauth xdotool ffmpeg)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
