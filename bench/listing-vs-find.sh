#!/usr/bin/env bash
# The project listing of a 50,000-entry tree against find printing the same facts.
# Both write the full text of every line to /dev/null; the cache is warm.
# Usage: bench/listing-vs-find.sh BUILD_DIR    (BENCH_REPS: repetitions, default 9)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-timing.bash"
reps=${BENCH_REPS:-9}
target=1.5
bin=$build/bench/listing_bench
[ -x "$bin" ] || bench_die "$bin is missing: build first"

work=$(mktemp -d /tmp/kp-bench-listing.XXXXXX)
remove_on_exit "$work"
bench_init "$work"
tree=$work/Tree
"$bin" make-tree "$tree" 50000 >/dev/null

listing() { "$bin" list "$tree" >/dev/null; }
findit() { find "$tree" -printf '%p %T@ %s %m\n' >/dev/null; }

# Same entries in both, and every line complete: a fast wrong listing proves nothing.
ours=$("$bin" list "$tree" | wc -l)
theirs=$(find "$tree" | wc -l)
[ "$ours" -eq "$theirs" ] || bench_die "the listing has $ours lines, find $theirs"
[ "$ours" -eq 50001 ] || bench_die "the tree has $ours entries, not 50,000 and its root"
bad=$("$bin" list "$tree" | grep -cv $'\tt:[0-9]*,s:[0-9]*,a:[0-9]*$' || true)
[ "$bad" -eq 0 ] || bench_die "$bad listing lines lack a value"

for _ in 1 2; do listing; findit; done # warm the cache

ours_ms=() find_ms=()
for ((i = 0; i < reps; i++)); do
  if ((i % 2)); then
    time_ms findit; find_ms+=("$LAST_MS"); time_ms listing; ours_ms+=("$LAST_MS")
  else
    time_ms listing; ours_ms+=("$LAST_MS"); time_ms findit; find_ms+=("$LAST_MS")
  fi
done
m_ours=$(median "${ours_ms[@]}")
m_find=$(median "${find_ms[@]}")
r=$(ratio "$m_ours" "$m_find")
echo "listing-vs-find: $ours entries, $reps reps"
echo "  listing ms: ${ours_ms[*]}"
echo "  find ms:    ${find_ms[*]}"
bench_result listing-vs-find "listing $m_ours ms" "find $m_find ms" "$r" "$target"
