#!/usr/bin/env bash
# The Wine prefixes of the Windows checks, set up before them and their Wine
# processes ended after them by CTest:
#   tests/harness/wine_prefix.sh start|stop WINDOWS_BUILD
# WINDOWS_BUILD/wine-prefix is made by Wine once; WINDOWS_BUILD/wine-prefix-viewer
# is a fresh copy of it for the checks that look for the show's window on a
# screen of their own (Wine shows all of a prefix's windows on one screen).
# Without a Windows build its checks skip, and there is nothing to set up.
set -euo pipefail
action=$1 windows=$2
[[ -d "$windows" ]] || { echo "no Windows build in $windows: nothing to set up"; exit 0; }
export WINEDEBUG=-all
prefixes=("$windows/wine-prefix" "$windows/wine-prefix-viewer")
case $action in
  start)
    export WINEPREFIX="${prefixes[0]}"
    if [[ ! -d "$WINEPREFIX" ]]; then
      wine wineboot -i </dev/null >/dev/null 2>&1
      # Without a window manager Wine draws window frames itself: the X window of
      # a Win32 window is then its whole outer rectangle, and closing it does not wait for one.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    fi
    wineserver -w
    rm -rf "${prefixes[1]}"
    cp -a "${prefixes[0]}" "${prefixes[1]}"
    echo "Wine prefixes ${prefixes[*]}"
    ;;
  stop)
    for prefix in "${prefixes[@]}"; do WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; done
    ;;
  *) echo "usage: wine_prefix.sh start|stop WINDOWS_BUILD" >&2; exit 2 ;;
esac
