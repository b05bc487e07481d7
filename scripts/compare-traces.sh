#!/usr/bin/env bash
# compare-traces.sh A.jsonl B.jsonl: whether two traces of the same frames
# record the same device calls. Every field must be equal, but numbers may
# differ by a part in a million: each target's maths library rounds sines and
# cosines its own way in the last bits.
set -euo pipefail
awk '
  function isNumber(token) { return token ~ /^-?[0-9.]+(e[-+]?[0-9]+)?$/ }
  function abs(x) { return x < 0 ? -x : x }
  NR == FNR { expected[FNR] = $0; lines = FNR; next }
  {
    if (FNR > lines) { printf "line %d: only in the second trace\n", FNR; bad = 1; exit }
    n = split(expected[FNR], a, /[][,:{}"]+/); m = split($0, b, /[][,:{}"]+/)
    same = n == m
    for (i = 1; same && i <= n; ++i) {
      if (isNumber(a[i]) && isNumber(b[i])) {
        scale = abs(a[i]) > 1 ? abs(a[i]) : 1
        same = abs(a[i] - b[i]) <= 1e-6 * scale
      } else {
        same = a[i] == b[i]
      }
    }
    if (!same) { printf "line %d differs:\n  %s\n  %s\n", FNR, expected[FNR], $0; bad = 1; exit }
  }
  END {
    if (!bad && FNR != lines) { printf "the second trace has %d lines, the first %d\n", FNR, lines; bad = 1 }
    if (bad) exit 1
    printf "%d lines match\n", lines
  }' "$1" "$2"
