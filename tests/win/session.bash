# Sourced by the Win32 window tests (desktop.sh, dialogs.sh): kestrelpad.exe's Wine session on
# a private X server of its own, a work folder inside the build folder, and the helpers every
# test uses. Set `name` (the test's name, for its messages and work folder) before sourcing;
# $1 is the build-windows folder.
build=$(realpath "$1")
root=$(realpath "$(dirname "$0")/../..")
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
# Preloaded directly to move the clock: the faketime wrapper's per-process semaphore, left
# behind by a killed run, fails a later run of the same process id at random.
libfaketime=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1
exe="$build/kestrelpad.exe"
work=$(mktemp -d "$build/$name.XXXXXX")
export XDG_CONFIG_HOME="$work/config"

# A display of our own; Wine's desktop process must be started with it, so the session is
# restarted here (the test runs alone).
display=:$((70 + RANDOM % 200))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
cleanup() {
  [ -n "${run:-}" ] && kill "$run" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  # The suites after this one run in a session like the one they started with.
  DISPLAY= "$root/scripts/wine-session.sh" start "$build" || true
  [ -n "${KP_KEEP_SHOTS:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
wineserver -k 2>/dev/null || true
"$root/scripts/wine-session.sh" start "$build"
mkdir -p "$work/shots"

fail() { echo "$name: $*" >&2; exit 1; }
shot() { import -window root "$work/shots/$1.png"; }
# faketime [-f OFFSET | DATE] COMMAND...: the command's clock moved, through libfaketime
# preloaded directly. The faketime wrapper keeps a semaphore per process id in /dev/shm, and
# one left behind by a killed run makes a later run of the same id fail at random.
faketime() {
  local when
  if [ "$1" = -f ]; then when=$2; shift 2; else when="@$(date -d "$1" '+%Y-%m-%d %H:%M:%S')"; shift; fi
  NO_FAKE_STAT=1 LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1 FAKETIME="$when" "$@"
}
