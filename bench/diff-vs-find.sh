#!/usr/bin/env bash
# kpad diff of a 50,000-file project against its newest state, against find printing time,
# size and mode of every entry of the same tree; the cache is warm. One file is touched
# after the store (a new time, the same content), so the diff reads that one file for its
# CRC and must still find nothing changed. One more diff, untimed, gives the peak memory.
# Usage: bench/diff-vs-find.sh BUILD_DIR    (BENCH_REPS: repetitions, default 9)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-timing.bash"
reps=${BENCH_REPS:-9}
target=2.0 peak_target=100
kpad=$build/kpad
maker=$build/bench/listing_bench
[ -x "$kpad" ] || bench_die "$kpad is missing: build first"
[ -x "$maker" ] || bench_die "$maker is missing: build first"
for tool in faketime /usr/bin/time; do
  command -v $tool >/dev/null || bench_die "$tool is missing (scripts/setup.sh bench)"
done

work=$(mktemp -d /tmp/kp-bench-diff.XXXXXX)
remove_on_exit "$work"
bench_init "$work"
tree=$work/Tree
export XDG_CONFIG_HOME=$work/config
entries=$("$maker" make-tree "$tree" --files 50000)
full=$(ten_minutes_back "$kpad" store "$tree" 2>"$work/kpad.err") ||
  bench_die "the store failed: $full $(cat "$work/kpad.err")"
case "$full" in "$tree/#tarnel/Tree-"*c.zip) ;; *) bench_die "the store printed '$full', not a full archive" ;; esac
touched=$(cd "$tree" && find . -type f -name 'file-000000.*' -printf '%P\n' | head -1)
touch -m -d "@$(($(date +%s) - 3600))" "$tree/$touched"

diffit() { "$kpad" diff "$tree" >"$work/diff.out"; }
findit() { find "$tree" -printf '%p %T@ %s %m\n' >/dev/null; }
# A fast wrong answer proves nothing: the tree is unchanged but for the touched time.
check_diff() {
  [ "$(cat "$work/diff.out")" = "0 added, 0 deleted, 0 modified" ] ||
    bench_die "kpad diff printed '$(head -3 "$work/diff.out")', not an unchanged project"
}

for _ in 1 2; do diffit; findit; done # warm the cache
check_diff

diff_ms=() find_ms=()
run_diff() { time_ms diffit; diff_ms+=("$LAST_MS"); check_diff; }
run_find() { time_ms findit; find_ms+=("$LAST_MS"); }
for ((i = 0; i < reps; i++)); do
  if ((i % 2)); then run_find; run_diff; else run_diff; run_find; fi
done
m_diff=$(median "${diff_ms[@]}")
m_find=$(median "${find_ms[@]}")
r=$(ratio "$m_diff" "$m_find")
peak=$(peak_mib "$kpad" diff "$tree")
echo "diff-vs-find: $entries entries (50,000 files), archive $(($(stat -c %s "$full") / 1024)) KiB, $reps reps"
echo "  kpad diff ms: ${diff_ms[*]}"
echo "  find ms:      ${find_ms[*]}"
bench_result diff-vs-find "kpad diff $m_diff ms" "find $m_find ms" "$r" "$target" "$peak" "$peak_target"
