#!/usr/bin/env bash
# Runs every benchmark script of this folder against one build, one after another (they time
# side by side and would disturb each other if run at once). Helpers (*.bash) are not run.
# Usage: bench/run-all.sh BUILD_DIR
set -uo pipefail
build=${1:?usage: $0 BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for script in "$here"/*.sh; do
  [ "$(basename "$script")" = run-all.sh ] && continue
  echo "== $(basename "$script")"
  bash "$script" "$build" || status=1
done
exit $status
