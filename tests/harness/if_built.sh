#!/usr/bin/env bash
# Runs a check only when what it tests has been built, and otherwise skips it
# (exit code 77, which CTest reports as skipped):
#   tests/harness/if_built.sh PATH HOW_TO_BUILD COMMAND [ARGUMENTS...]
set -euo pipefail
path=$1 how=$2
shift 2
if [[ ! -e "$path" ]]; then
  echo "skipped: no $path ($how makes it)"
  exit 77
fi
exec "$@"
