#!/usr/bin/env bash
# The same start-up and frames on another target's build of the core: its
# device calls must match the Linux build's, to the last bits of the maths library.
#   tests/trace/same_calls_test.sh LINUX_TRACE.jsonl OUT.jsonl TRACE_COMMAND [ARGUMENTS...]
set -euo pipefail
linux=$1 out=$2
shift 2
"$(dirname "$0")/save_trace.sh" "$out" "$@"
"$(dirname "$0")/../../scripts/compare-traces.sh" "$linux" "$out"
