#!/usr/bin/env bash
# How detectChanges scales: listings of 50,000 and 100,000 lines in which every file
# changed. A store calls it once in a fresh process, so each sample is the first call of
# its own process (the sizes alternate); the third call of the same process, with the
# allocator warm, is shown beside it. The ratio of the medians should stay near 2.
# Usage: bench/change-detection-scaling.sh BUILD_DIR    (BENCH_REPS: repetitions, default 11)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-timing.bash"
reps=${BENCH_REPS:-11}
target=2.2
bin=$build/bench/change_detection_bench
[ -x "$bin" ] || bench_die "$bin is missing: build first"

small_first=() small_warm=() large_first=() large_warm=()
sample() { # LINES: appends to the arrays of that size
  local first warm
  read -r first _ warm <<<"$("$bin" "$1" 3)" || bench_die "the benchmark failed for $1 lines"
  if [ "$1" -eq 50000 ]; then small_first+=("$first") small_warm+=("$warm")
  else large_first+=("$first") large_warm+=("$warm"); fi
}
for ((i = 0; i < reps; i++)); do
  if ((i % 2)); then sample 100000; sample 50000; else sample 50000; sample 100000; fi
done
s1=$(median "${small_first[@]}") l1=$(median "${large_first[@]}")
s3=$(median "${small_warm[@]}") l3=$(median "${large_warm[@]}")
r1=$(ratio "$l1" "$s1") r3=$(ratio "$l3" "$s3")
echo "change-detection-scaling: every file changed, $reps processes per size"
echo "  first call ms, 50,000 lines:  ${small_first[*]}"
echo "  first call ms, 100,000 lines: ${large_first[*]}"
echo "  third call (allocator warm): 50,000 lines $s3 ms, 100,000 lines $l3 ms, ratio $r3 (target <= $target): $(verdict "$r3" "$target")"
bench_result change-detection-scaling "100,000 lines $l1 ms" "50,000 lines $s1 ms" "$r1" "$target"
