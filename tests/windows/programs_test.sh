#!/usr/bin/env bash
# The Windows programs under Wine, as a viewer starts them:
#   tests/windows/programs_test.sh PROGRAMS_DIR DATA_DIR VERSION
# --help and --version answer on stdout with exit code 0, and anything else is
# one line on stderr with exit code 2. Then kelpwax.exe, copied into a folder
# beside the data and started from another working directory (as a shortcut
# with another "Start in" folder does), finds the data beside itself, names
# that folder in one line on stderr, and ends on a key with exit code 0.
# Needs WINEPREFIX set up (scripts/test.sh does) and an X display with xdotool.
set -euo pipefail
programs="$(realpath "$1")"
data="$(realpath "$2")"
version="$3"
source "$(dirname "$0")/../show_process.sh"

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
