#!/usr/bin/env bash
# Builds the decoders' fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each one on its corpus.
#   scripts/fuzz.sh [SECONDS]          each target for SECONDS (default 20)
#   scripts/fuzz.sh --runs N           each target for N executions
# New inputs go to build-fuzz/corpus/, so the repository's seed corpora stay small.
# Exits non-zero on the first crash, leak or sanitizer report; the input that
# caused it is left in build-fuzz/ (crash-*, leak-*, timeout-*).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
limit=(-max_total_time="${1:-20}")
if [[ "${1:-}" == "--runs" ]]; then limit=(-runs="$2"); fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELPWAX_FUZZ=ON \
  -DKELPWAX_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

cd "$build"
for decoder in picture music icon x_file; do
  mkdir -p "corpus/$decoder"
  options=("${limit[@]}" -timeout=10 -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1)
  [[ -f "$root/fuzz/$decoder.dict" ]] && options+=(-dict="$root/fuzz/$decoder.dict")
  echo "== $decoder"
  "./fuzz/$decoder-fuzz" "${options[@]}" "corpus/$decoder" "$root/fuzz/corpus/$decoder" 2>"$decoder.log" || {
    tail -n 40 "$decoder.log"
    echo "fuzz: $decoder failed; see $build/$decoder.log" >&2
    exit 1
  }
  grep -E "^stat::number_of_executed_units|^stat::average_exec_per_sec" "$decoder.log" | sed 's/^/  /'
done
