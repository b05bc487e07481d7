#!/usr/bin/env bash
# Prints the id of the first visible X window named NAME, waiting up to SECONDS:
#   tests/wait_for_window.sh NAME SECONDS
# xdotool dies on an X error when a window goes away while it looks at it, as
# Wine's do while a program starts or changes the display mode, so each failed
# look is simply tried again.
name="$1"
deadline=$((SECONDS + $2))
while ((SECONDS < deadline)); do
  window=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -1)
  if [[ -n "$window" ]]; then
    echo "$window"
    exit 0
  fi
  sleep 0.1
done
echo "no window \"$name\" after $2 s" >&2
exit 1
