#!/usr/bin/env bash
# Checks the Linux packages as a viewer uses them:
#   tests/package/packages_test.sh DEB TAR_GZ [SCREENSHOT.png]
# - The .deb declares SDL2, libepoxy and the C++ runtime, installs with dpkg,
#   and lists the programs, the data, the desktop entries and the icon. The
#   installed show, started from /, finds its data in /usr/share/kelpwax, shows
#   its picture (the screen, saved to SCREENSHOT.png, is not black) and ends on a
#   key with exit code 0. dpkg -r then removes every file it installed.
# - The .tar.gz, unpacked anywhere, runs from a working directory without data,
#   using the data it holds.
# Needs an X display in DISPLAY (the test command's fixture starts one), xdotool and
# ffmpeg, and root or sudo for dpkg. A kelpwax package already installed is
# replaced and then removed.
set -euo pipefail
deb="$(realpath "$1")"
archive="$(realpath "$2")"
source "$(dirname "$0")/../show_process.sh"
screenshot="${3:-$scratch/installed-show.png}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export SDL_AUDIODRIVER=dummy

# The first line of stderr must name the data folder, and no data file may be missing from it.
expect_data_from() {
  local notice="kelpwax: no show data in the working directory; reading it from $1"
  [[ "$(head -1 "$scratch/stderr.txt")" == "$notice" ]] || fail "expected \"$notice\", got: $(cat "$scratch/stderr.txt")"
  if grep -qE "none of the show's data|no such file" "$scratch/stderr.txt"; then fail "$(cat "$scratch/stderr.txt")"; fi
  echo "stderr: $notice"
}

echo "-- $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libsdl2 libepoxy libstdc++ libc6; do
  [[ "$depends" == *"$library"* ]] || fail "the dependencies name no $library"
done

# A failed check must not leave the package installed.
trap 'if dpkg -s kelpwax >/dev/null 2>&1; then $sudo dpkg -r kelpwax >/dev/null; fi; end_what_was_started' EXIT
$sudo dpkg -i "$deb" >/dev/null
installed=$(dpkg -L kelpwax)
for path in /usr/bin/kelpwax /usr/bin/kelpwax-fullscreen /usr/share/kelpwax/quirn.ogg \
  /usr/share/kelpwax/underwater.png /usr/share/kelpwax/submarine1_lowerpoly.x /usr/share/kelpwax/font/A.png \
  /usr/share/applications/kelpwax.desktop /usr/share/applications/kelpwax-fullscreen.desktop \
  /usr/share/icons/hicolor/48x48/apps/kelpwax.png /usr/share/icons/hicolor/256x256/apps/kelpwax.png \
  /usr/share/doc/kelpwax/README; do
  grep -qxF "$path" <<<"$installed" || fail "dpkg -L kelpwax does not list $path"
done
echo "installed: $(grep -c . <<<"$installed") paths, $(grep -c '^/usr/share/kelpwax/' <<<"$installed") of them data"

start_show / kelpwax
sleep 4  # past loading
ffmpeg -loglevel error -y -f x11grab -video_size 1280x720 -i "$DISPLAY" -frames:v 1 "$screenshot"
mean=$(ffmpeg -loglevel error -i "$screenshot" -vf scale=1:1:flags=area -f rawvideo -pix_fmt rgb24 - | od -An -tu1)
echo "screen: $screenshot, mean colour (R G B):$mean"
(($(tr -s ' ' '+' <<<"0$mean 0") > 30)) || fail "the screen is black"
end_show_with_key
expect_data_from /usr/share/kelpwax

$sudo dpkg -r kelpwax >/dev/null
dpkg -s kelpwax >/dev/null 2>&1 && fail "dpkg still knows kelpwax after dpkg -r"
while read -r path; do
  case "$path" in
    /usr/share/kelpwax* | /usr/share/doc/kelpwax) [[ ! -e "$path" ]] ;;
    *) [[ ! -e "$path" || -d "$path" ]] ;;  # shared folders such as /usr/bin stay
  esac || fail "$path is left after dpkg -r"
done <<<"$installed"
echo "removed: none of its files is left"

echo "-- $(basename "$archive")"
mkdir "$scratch/unpacked" "$scratch/elsewhere"
tar -xzf "$archive" -C "$scratch/unpacked"
top=$(echo "$scratch"/unpacked/*)
[[ -f "$top/README" ]] || fail "no README at the archive's top"
echo "version: $("$top/bin/kelpwax" --version)"
start_show "$scratch/elsewhere" "$top/bin/kelpwax"
sleep 1
end_show_with_key
expect_data_from "$top/share/kelpwax"
