#!/usr/bin/env bash
# Serves the web page's folder on a free port of this machine for the web
# checks, started before them and ended after them by CTest:
#   tests/harness/web_server.sh start|stop PAGE_DIR STATE_DIR
# "start" writes the page's address to STATE_DIR/web-url. Without a page there
# is nothing to serve: its checks skip.
set -euo pipefail
action=$1 page=$2 state=$3
source "$(dirname "$0")/background.sh"
pid_file="$state/web-server.pid"
log="$state/web-server.log"
mkdir -p "$state"
stop_background "$pid_file"
rm -f "$state/web-url"
[[ $action == stop ]] && exit 0

[[ -f "$page/index.html" ]] || { echo "no web page in $page: nothing to serve"; exit 0; }
# Port 0: the system picks a free one, which the server prints.
start_in_background "$pid_file" "$log" python3 -u -m http.server --bind 127.0.0.1 --directory "$page" 0
for _ in $(seq 100); do
  port=$(sed -n 's/^Serving HTTP on .* port \([0-9]*\).*/\1/p' "$log")
  if [[ -n "$port" ]] && curl -fs -o /dev/null "http://127.0.0.1:$port/"; then
    echo "http://127.0.0.1:$port/" | tee "$state/web-url"
    exit 0
  fi
  kill -0 "$(cat "$pid_file")" 2>/dev/null || break
  sleep 0.1
done
echo "the web server did not start:" >&2
cat "$log" >&2
stop_background "$pid_file"
exit 1
