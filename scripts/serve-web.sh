#!/usr/bin/env bash
# Serves dist/web (made by scripts/build-web.sh) on this machine only and
# prints the address to open:   scripts/serve-web.sh [PORT]   (default 8000)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
port="${1:-8000}"
if [[ ! -f "$root/dist/web/index.html" ]]; then
  echo "no web page yet: run scripts/build-web.sh first" >&2
  exit 1
fi
echo "Tidewobbler: http://127.0.0.1:$port/"
exec python3 -m http.server --bind 127.0.0.1 --directory "$root/dist/web" "$port"
