#!/usr/bin/env bash
# Starts or stops the Wine session the Windows programs run in: a private prefix inside the
# build folder (never ~/.wine) and a persistent wineserver, so that each test program starts
# in a fraction of a second instead of seconds.
# Usage: scripts/wine-session.sh start|stop BUILD_FOLDER
set -euo pipefail
export WINEPREFIX="$(realpath -m "$2")/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case "$1" in
  start)
    mkdir -p "$WINEPREFIX"
    wineserver -p 2>/dev/null || true # already running: a persistent one is all we need
    # Boot the prefix (made on first use) here, with no terminal or pipe attached: the
    # services Wine starts then live as long as the server, and would otherwise hold on to
    # the output pipe of the first test program, which CMake then waits on for ever.
    boot=-i
    [ -f "$WINEPREFIX/system.reg" ] && boot=""
    /usr/lib/wine/wine64 wineboot $boot </dev/null >/dev/null 2>&1 || true
    ;;
  stop) wineserver -k 2>/dev/null || true ;;
  *) echo "wine-session.sh: start or stop" >&2; exit 2 ;;
esac
