#!/usr/bin/env bash
# Runs every benchmark script of this folder against one build, one after another (they time
# side by side and would disturb each other if run at once), then prints every RESULT row in
# one table, so that the whole set of targets reads at a glance. Helpers (*.bash) are not run.
# Usage: bench/run-all.sh BUILD_DIR    (BENCH_SKIP_MILLION=1 skips the 1,000,000-file run)
set -uo pipefail
build=${1:?usage: $0 BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
BENCH_SUMMARY=$(mktemp /tmp/kp-bench-summary.XXXXXX)
# The benches' work folders, deleted only once all have run (see remove_on_exit).
BENCH_LEFT_FOR_LATER=$(mktemp /tmp/kp-bench-left.XXXXXX)
export BENCH_SUMMARY BENCH_LEFT_FOR_LATER
trap 'xargs -r -d "\n" rm -rf <"$BENCH_LEFT_FOR_LATER"; rm -f "$BENCH_SUMMARY" "$BENCH_LEFT_FOR_LATER"' EXIT
status=0
# The million-file run goes last: the million files it leaves until the end weigh on the
# file creation that the extraction benches time (restore's extraction to the disk measured
# 0.28 in a run where it came right after, 0.22 in a run without it).
scripts=()
for script in "$here"/*.sh; do
  case "$(basename "$script")" in run-all.sh | relative-store-scaling.sh) ;; *) scripts+=("$script") ;; esac
done
scripts+=("$here/relative-store-scaling.sh")
for script in "${scripts[@]}"; do
  echo "== $(basename "$script")"
  bash "$script" "$build" || { status=1; printf '%s\tfailed\t\t\t\t\tFAILED\n' "$(basename "$script")" >>"$BENCH_SUMMARY"; }
done

echo
echo "== summary ($(uptime | sed 's/.*load average/load average/'))"
{
  printf 'measure\tkpad\treference\tratio\ttarget\tpeak MiB\tverdict\n'
  cat "$BENCH_SUMMARY"
} | awk -F'\t' '
  { for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } rows = NR }
  END { for (r = 1; r <= rows; r++) { line = ""; for (i = 1; i <= 7; i++) line = line sprintf("%-*s", w[i] + 2, cell[r, i]); sub(/ +$/, "", line); print line } }'
exit $status
