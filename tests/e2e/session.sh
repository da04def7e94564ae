#!/usr/bin/env bash
# Runs CMD inside a private desktop session and tears the session down afterwards:
#   tests/e2e/session.sh CMD [ARGS...]
#
# The session is a fresh Xvfb (first free display number, 1280x800x24), a private D-Bus
# session bus, the accessibility bus, and a private HOME / XDG_CONFIG_HOME /
# XDG_RUNTIME_DIR / TMPDIR in one temporary folder. Nothing is shared with the caller's
# desktop or with another copy of this script running in parallel. Whatever happens
# (CMD fails, Ctrl+C, a test timeout's SIGTERM), every process of the session is ended
# and the temporary folder removed. The exit status is CMD's (or 125 when the session
# could not be set up).
set -uo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 CMD [ARGS...]" >&2
  exit 2
fi

for tool in Xvfb dbus-daemon dbus-send /usr/libexec/at-spi-bus-launcher; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "session.sh: $tool is missing (run scripts/setup.sh test)" >&2
    exit 125
  fi
done

base="$(mktemp -d "${TMPDIR:-/tmp}/kp-e2e-session.XXXXXX")" || exit 125
chmod 700 "$base"
mkdir -p "$base/home" "$base/config" "$base/cache" "$base/data" "$base/runtime" "$base/tmp"
chmod 700 "$base/runtime"

# Every process started from here on inherits this marker, including the ones that a bus
# daemon starts on demand (registryd) and any program a test leaves behind. Cleanup finds
# them by it, so nothing outside this session is ever touched.
export KP_E2E_SESSION="$base"

pids=()     # the session's own daemons, ended last-started first
cmd_pid=""

log() { [ -n "${KP_E2E_VERBOSE:-}" ] && echo "session.sh: $*" >&2; return 0; }

marked_pids() {
  # The script's own shells never show the marker in /proc/PID/environ (it was exported
  # after they were started), and grep runs without it, so only session processes match.
  local f
  for f in $(env -u KP_E2E_SESSION grep -lzxF "KP_E2E_SESSION=$base" /proc/[0-9]*/environ 2>/dev/null); do
    f="${f#/proc/}"
    echo "${f%/environ}"
  done
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM HUP
  log "cleaning up $base"
  if [ -n "$cmd_pid" ] && kill -0 "$cmd_pid" 2>/dev/null; then
    kill -TERM "$cmd_pid" 2>/dev/null
  fi
  local i
  for (( i=${#pids[@]}-1; i>=0; i-- )); do
    kill -TERM "${pids[$i]}" 2>/dev/null
  done
  # Give everything a moment to end by itself, then force what is left.
  local left tries=0
  while :; do
    left="$(marked_pids)"
    [ -z "$left" ] && break
    if [ $tries -ge 20 ]; then
      log "forcing: $(for p in $left; do tr '\0' ' ' </proc/$p/cmdline 2>/dev/null; echo; done)"
      kill -KILL $left 2>/dev/null
      break
    fi
    [ $tries -eq 5 ] && kill -TERM $left 2>/dev/null
    sleep 0.1
    tries=$((tries + 1))
  done
  wait 2>/dev/null
  rm -rf "$base"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

fail() { echo "session.sh: $*" >&2; exit 125; }

# Waits until FILE has a complete first line (the daemons print their address or display
# number once they accept connections), or until PID dies or 15 s pass.
wait_line() {
  local file="$1" pid="$2" what="$3" i
  for (( i=0; i<150; i++ )); do
    if [ -s "$file" ] && [ "$(tail -c1 "$file" | od -An -c | tr -d ' ')" = '\n' ]; then
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || fail "$what ended while starting: $(cat "$base/$what.log" 2>/dev/null)"
    sleep 0.1
  done
  fail "$what did not start within 15 s"
}

export HOME="$base/home"
export XDG_CONFIG_HOME="$base/config"
export XDG_CACHE_HOME="$base/cache"
export XDG_DATA_HOME="$base/data"
export XDG_RUNTIME_DIR="$base/runtime"
export TMPDIR="$base/tmp"
unset WAYLAND_DISPLAY AT_SPI_BUS_ADDRESS SESSION_MANAGER XAUTHORITY

# X server: -displayfd makes Xvfb pick the first free display number itself (it takes the
# lock file atomically), so parallel sessions never race for one.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset \
  3>"$base/display" </dev/null >"$base/Xvfb.log" 2>&1 &
pids+=($!)
wait_line "$base/display" "${pids[-1]}" Xvfb
export DISPLAY=":$(head -n1 "$base/display")"
log "DISPLAY=$DISPLAY"

# Session bus on a socket inside the private folder. Services the bus starts on demand
# (the accessibility bus launcher's companions) inherit this environment.
dbus-daemon --session --nofork --address="unix:path=$base/runtime/bus" \
  --print-address=3 3>"$base/bus" </dev/null >"$base/dbus.log" 2>&1 &
pids+=($!)
wait_line "$base/bus" "${pids[-1]}" dbus
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$base/bus")"
log "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"

# Accessibility bus: the launcher owns org.a11y.Bus on the session bus, starts the
# accessibility bus daemon (which starts at-spi2-registryd on first use) and publishes the
# address on the X root window.
/usr/libexec/at-spi-bus-launcher --launch-immediately \
  </dev/null >"$base/at-spi.log" 2>&1 &
pids+=($!)
ready=""
for (( i=0; i<150; i++ )); do
  kill -0 "${pids[-1]}" 2>/dev/null || fail "at-spi-bus-launcher ended: $(cat "$base/at-spi.log")"
  if a11y="$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
               org.a11y.Bus.GetAddress 2>/dev/null)" && [ -n "${a11y// /}" ]; then
    ready=1; break
  fi
  sleep 0.1
done
[ -n "$ready" ] || fail "the accessibility bus did not start within 15 s"
log "accessibility bus at ${a11y// /}"

# The registry (at-spi2-registryd) is started by the accessibility bus itself on first
# use; it inherits the session marker, so cleanup finds it like the rest.

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_QPA_PLATFORM=xcb

"$@" </dev/null &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=""
exit "$status"
