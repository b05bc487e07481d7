#!/usr/bin/env bash
# The Windows programs under Wine, as a viewer starts them:
#   tests/windows/programs_test.sh PROGRAMS_DIR DATA_DIR VERSION SCREENSHOT
# kelpwax.exe opens a 1280 x 720 window at (0, 0), draws the show (its screen
# is saved in SCREENSHOT) and ends on a key; kelpwax-fullscreen.exe ends on a
# key and leaves the display mode as it found it; a key pressed while kelpwax.exe
# is still loading ends it too.
# --help and --version answer on stdout with exit code 0, and anything else is
# one line on stderr with exit code 2. Then kelpwax.exe, copied into a folder
# beside the data and started from another working directory (as a shortcut
# with another "Start in" folder does), finds the data beside itself, names
# that folder in one line on stderr, and ends on a key with exit code 0.
# Needs WINEPREFIX set up and an X display with xdotool (the test command's fixtures give both).
set -euo pipefail
programs="$(realpath "$1")"
data="$(realpath "$2")"
version="$3"
screenshot="$4"
source "$(dirname "$0")/../show_process.sh"

started=$(date +%s%N)
start_show "$data" wine "$programs/kelpwax.exe"
echo "kelpwax.exe: window up $((($(date +%s%N) - started) / 1000000)) ms after start"
geometry=$(xdotool getwindowgeometry "$show_window" | tr -d '\n')
echo "outer window: $geometry"
[[ "$geometry" == *"Position: 0,0 "*"Geometry: 1280x720"* ]] || fail "not 1280 x 720 at (0, 0)"
sleep 8 # past loading, so the screen shows the show
ffmpeg -loglevel error -y -f x11grab -video_size 1280x720 -i "$DISPLAY" -frames:v 1 "$screenshot"
echo "screen: $screenshot"
end_show_with_key

display_mode() { xdpyinfo | grep -E 'dimensions|depth of root' | tr -s ' \n' ' '; }
mode_before=$(display_mode)
start_show "$data" wine "$programs/kelpwax-fullscreen.exe"
sleep 8 # past loading: keys are read once the show runs
end_show_with_key
mode_after=$(display_mode)
echo "display mode before: $mode_before"
echo "display mode after:  $mode_after"
[[ "$mode_before" == "$mode_after" ]] || fail "the display mode was not restored"

# A key pressed while the show loads ends it there and then, with exit code 0.
# Here the first glyphs are big pictures, so that loading them surely takes
# longer than the key takes to arrive. The show says how many glyphs it loaded
# once it has them all, so that line must be missing: the key ended loading.
mkdir "$scratch/slow" "$scratch/slow/font"
for entry in "$data"/*; do
  [[ "$entry" == */font ]] || ln -s "$entry" "$scratch/slow/"
done
for glyph in "$data"/font/*; do ln -s "$glyph" "$scratch/slow/font/"; done
ffmpeg -loglevel error -f lavfi -i gradients=s=4096x4096:seed=1 -frames:v 1 -pix_fmt rgba "$scratch/big.png"
for character in '!' '"' '#' '$' '%' '&' "'" '(' ')' '*' '+' ','; do
  ln -sf "$scratch/big.png" "$scratch/slow/font/$character.png"
done
start_show "$scratch/slow" wine "$programs/kelpwax.exe"
end_show_with_key
grep -q "^glyphs: .* loaded" "$scratch/stderr.txt" && fail "the key came after loading: $(cat "$scratch/stderr.txt")"
echo "a key while loading: ended before the glyphs were all loaded"

# Runs a program with arguments: its exit code, then stdout and stderr in files.
run() {
  local code=0
  (cd "$scratch" && wine "$@" >"$scratch/stdout.txt" 2>"$scratch/stderr.txt") || code=$?
  tr -d '\r' <"$scratch/stdout.txt" >"$scratch/out" && tr -d '\r' <"$scratch/stderr.txt" >"$scratch/err"
  echo "$code"
}

for program in kelpwax kelpwax-fullscreen; do
  code=$(run "$programs/$program.exe" --help)
  [[ $code -eq 0 && ! -s "$scratch/err" ]] || fail "$program.exe --help: exit code $code, stderr $(cat "$scratch/err")"
  for part in "$program $version: a self-running audio-visual show" "Usage: $program [--help | --version]" \
    "Keys: any key" "from the folder that holds the program" "  1  no window or Direct3D 9 device"; do
    grep -qF -- "$part" "$scratch/out" || fail "$program.exe --help does not say \"$part\": $(cat "$scratch/out")"
  done
done
echo "--help: exit code 0, $(wc -l <"$scratch/out") lines on stdout"

code=$(run "$programs/kelpwax.exe" --version)
[[ $code -eq 0 && "$(cat "$scratch/out")" == "kelpwax $version" ]] ||
  fail "--version: exit code $code, \"$(cat "$scratch/out")\""
echo "--version: $(cat "$scratch/out")"

code=$(run "$programs/kelpwax.exe" --windowed)
[[ $code -eq 2 && ! -s "$scratch/out" && $(wc -l <"$scratch/err") -eq 1 ]] ||
  fail "a bad argument: exit code $code, stderr $(cat "$scratch/err")"
echo "a bad argument: exit code 2, \"$(cat "$scratch/err")\""

mkdir "$scratch/beside" "$scratch/elsewhere"
cp "$programs/kelpwax.exe" "$scratch/beside/"
for entry in "$data"/*; do
  [[ "$entry" == *.exe ]] || ln -s "$entry" "$scratch/beside/"
done
start_show "$scratch/elsewhere" wine "$scratch/beside/kelpwax.exe"
sleep 8  # past loading: keys are read once the show runs
notice=$(tr -d '\r' <"$scratch/stderr.txt" | head -1)
echo "started in another folder: $notice"
[[ "$notice" == "kelpwax: no show data in the working directory; reading it from "*beside ]] ||
  fail "the data beside the program was not found: $(cat "$scratch/stderr.txt")"
grep -q "none of the show's data" "$scratch/stderr.txt" && fail "$(cat "$scratch/stderr.txt")"
end_show_with_key
