#!/usr/bin/env bash
# Starts or stops the Wine session the Windows programs run in: a private prefix inside the
# build folder (never ~/.wine) and a persistent wineserver, so that each test program starts
# in a fraction of a second instead of seconds.
# Usage: scripts/wine-session.sh start|stop BUILD_FOLDER
set -euo pipefail
export WINEPREFIX="$(realpath -m "$2")/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case "$1" in
  start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
      wineserver -w
    fi
    wineserver -p
    ;;
  stop) wineserver -k 2>/dev/null || true ;;
  *) echo "wine-session.sh: start or stop" >&2; exit 2 ;;
esac
