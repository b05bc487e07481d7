#!/usr/bin/env bash
# Builds the decoders' fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) into build-fuzz and runs each one on its corpus:
#   scripts/fuzz.sh [SECONDS]          each target for SECONDS (default 20)
#   scripts/fuzz.sh --runs N           each target for N executions
#   scripts/fuzz.sh --build-only       builds them for the test command, which runs them
# Exits non-zero on the first crash, leak or sanitizer report (fuzz/run.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
limit=-max_total_time="${1:-20}"
if [[ "${1:-}" == "--runs" ]]; then limit=-runs="$2"; fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELPWAX_FUZZ=ON \
  -DKELPWAX_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
[[ "${1:-}" == "--build-only" ]] && exit 0

for target in "$build"/fuzz/*-fuzz; do
  decoder=$(basename "$target" -fuzz)
  "$root/fuzz/run.sh" "$build" "$decoder" "$limit"
done
