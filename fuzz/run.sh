#!/usr/bin/env bash
# Runs one decoder's fuzz target on its corpus:
#   fuzz/run.sh FUZZ_BUILD DECODER LIMIT     LIMIT: -max_total_time=SECONDS or -runs=N
# New inputs go to FUZZ_BUILD/corpus/DECODER, so the repository's seed corpora
# stay small. Fails on a crash, leak or sanitizer report; the input that caused
# it is left in FUZZ_BUILD (crash-*, leak-*, timeout-*).
set -euo pipefail
fuzz="$(cd "$(dirname "$0")" && pwd)"
build=$1 decoder=$2 limit=$3
cd "$build"
mkdir -p "corpus/$decoder"
options=("$limit" -timeout=10 -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1)
[[ -f "$fuzz/$decoder.dict" ]] && options+=(-dict="$fuzz/$decoder.dict")
"./fuzz/$decoder-fuzz" "${options[@]}" "corpus/$decoder" "$fuzz/corpus/$decoder" 2>"$decoder.log" || {
  tail -n 40 "$decoder.log"
  echo "fuzz: $decoder failed; see $build/$decoder.log" >&2
  exit 1
}
grep -E "^stat::number_of_executed_units|^stat::average_exec_per_sec" "$decoder.log" | sed "s/^/$decoder: /"
