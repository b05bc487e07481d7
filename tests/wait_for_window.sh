#!/usr/bin/env bash
# Prints the id of the first visible X window named NAME, waiting up to SECONDS,
# or until the process PID, when given, has ended:
#   tests/wait_for_window.sh NAME SECONDS [PID]
# xdotool dies on an X error when a window goes away while it looks at it, as
# Wine's do while a program starts or changes the display mode, so each failed
# look is simply tried again.
name="$1"
deadline=$((SECONDS + $2))
pid="${3:-}"
while ((SECONDS < deadline)); do
  window=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -1)
  if [[ -n "$window" ]]; then
    echo "$window"
    exit 0
  fi
  if [[ -n "$pid" ]] && ! kill -0 "$pid" 2>/dev/null; then
    echo "the program ended without showing a window \"$name\"" >&2
    exit 1
  fi
  sleep 0.1
done
echo "no window \"$name\" after $2 s" >&2
exit 1
