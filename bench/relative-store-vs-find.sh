#!/usr/bin/env bash
# A relative store (one file changed since the full archive) of a 50,000-file tree against
# find printing time, size and mode of every entry of the same tree.
# The full archive is made once, dated ten minutes back with faketime, so the timed stores
# (at the real time) never meet an archive of their own minute and never wait for the next
# one. Each timed store gets the same work: the changed file is touched to a new time, and
# its relative archive is removed again afterwards (untimed). One more such store, untimed,
# gives the peak memory.
# Usage: bench/relative-store-vs-find.sh BUILD_DIR    (BENCH_REPS: repetitions, default 7)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-timing.bash"
reps=${BENCH_REPS:-7}
target=1.5 peak_target=100
kpad=$build/kpad
maker=$build/bench/listing_bench
[ -x "$kpad" ] || bench_die "$kpad is missing: build first"
[ -x "$maker" ] || bench_die "$maker is missing: build first"
for tool in faketime /usr/bin/time; do
  command -v $tool >/dev/null || bench_die "$tool is missing (scripts/setup.sh bench)"
done

work=$(mktemp -d /tmp/kp-bench-relative.XXXXXX)
remove_on_exit "$work"
bench_init "$work"
tree=$work/Tree
export XDG_CONFIG_HOME=$work/config
entries=$("$maker" make-tree "$tree" --files 50000)
changed="area03/part04/Section 2/file-000000.html"
[ -f "$tree/$changed" ] || changed=$(cd "$tree" && find . -type f -name 'file-000000.*' -printf '%P\n')

full=$(ten_minutes_back "$kpad" store "$tree" 2>"$work/kpad.err") ||
  bench_die "the first store failed: $full $(cat "$work/kpad.err")"
case "$full" in "$tree/#tarnel/Tree-"*c.zip) ;; *) bench_die "the first store printed '$full', not a full archive" ;; esac

stamp=$(($(date +%s) - 3600))
touched=0
touch_changed() { touched=$((touched + 1)); touch -m -d "@$((stamp + 4 * touched))" "$tree/$changed"; }
relative_store() {
  out=$("$kpad" store "$tree" 2>"$work/kpad.err") || bench_die "kpad store failed: $out $(cat "$work/kpad.err")"
}
findit() { find "$tree" -printf '%p %T@ %s %m\n' >/dev/null; }
# A timed store must have written a relative archive of just the changed file: not the
# same-project answer, not a full archive, not a wait for the next minute.
check_relative() {
  case "$out" in "$tree/#tarnel/Tree-"*.zip) ;; *) bench_die "kpad store printed '$out', not a new archive" ;; esac
  [[ $out != *c.zip ]] || bench_die "$out is a full archive, not a relative one"
  local items
  items=$(unzip -Z1 "$out" | grep -v '^_kpad_/' || true)
  [ "$items" = "Tree/$changed" ] || bench_die "$out holds '$items', not just the changed file"
  rm -f "$out"
}

touch_changed; relative_store; check_relative # warms the cache too
findit

store_ms=() find_ms=()
run_store() { touch_changed; time_ms relative_store; store_ms+=("$LAST_MS"); check_relative; }
run_find() { time_ms findit; find_ms+=("$LAST_MS"); }
for ((i = 0; i < reps; i++)); do
  if ((i % 2)); then run_find; run_store; else run_store; run_find; fi
done
m_store=$(median "${store_ms[@]}")
m_find=$(median "${find_ms[@]}")
r=$(ratio "$m_store" "$m_find")
touch_changed
peak=$(peak_mib "$kpad" store "$tree")
for z in "$tree/#tarnel/"*.zip; do [ "$z" = "$full" ] || rm -f "$z"; done
echo "relative-store-vs-find: $entries entries (50,000 files), full archive $(($(stat -c %s "$full") / 1024)) KiB, $reps reps"
echo "  relative store ms: ${store_ms[*]}"
echo "  find ms:           ${find_ms[*]}"
bench_result relative-store-vs-find "relative store $m_store ms" "find $m_find ms" "$r" "$target" "$peak" "$peak_target"
