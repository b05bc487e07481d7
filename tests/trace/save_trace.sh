#!/usr/bin/env bash
# Writes a trace tool's device calls (its stdout, without carriage returns) to
# a file; what the tool says on stderr is shown only when it fails:
#   tests/trace/save_trace.sh OUT.jsonl TRACE_COMMAND [ARGUMENTS...]
set -euo pipefail
out=$1
shift
code=0
"$@" 2>"$out.log" | tr -d '\r' >"$out.partial" || code=$?
if ((code != 0)); then
  cat "$out.log"
  echo "FAIL: $* ended with exit code $code"
  exit 1
fi
mv "$out.partial" "$out"
echo "$(wc -l <"$out") lines of device calls in $out"
