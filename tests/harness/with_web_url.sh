#!/usr/bin/env bash
# Runs a command with the address of the page the web server fixture serves in KELPWAX_WEB_URL:
#   tests/harness/with_web_url.sh STATE_DIR COMMAND [ARGUMENTS...]
set -euo pipefail
state=$1
shift
KELPWAX_WEB_URL=$(cat "$state/web-url")
export KELPWAX_WEB_URL
exec "$@"
