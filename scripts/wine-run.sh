#!/usr/bin/env bash
# Runs a Windows program of the cross-build under wine64 in the build folder's own prefix.
# CMake uses it as the emulator of the tests. Usage: scripts/wine-run.sh PREFIX PROGRAM [ARG]...
export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
shift
exec /usr/lib/wine/wine64 "$@"
