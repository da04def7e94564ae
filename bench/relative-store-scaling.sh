#!/usr/bin/env bash
# How a relative store scales with the size of the project: one file changed in 1,000,000
# files against one file changed in 50,000 (the tree of relative-store-vs-find.sh), timed side
# by side in alternating order, with the peak memory of one more store of each. Twenty times
# the files should cost about twenty times the time, and the memory must stay bounded.
# Both trees are made in a temporary folder and removed afterwards (about 4 GB of disk; making,
# storing and removing 1,000,000 files takes 5 to 15 minutes on the 2-core machine). Each full archive is dated ten minutes back with faketime, so the timed
# stores never meet an archive of their own minute; each timed store's relative archive is
# checked and removed again (untimed).
# Usage: bench/relative-store-scaling.sh BUILD_DIR    (BENCH_REPS: repetitions, default 3;
#        BENCH_SKIP_MILLION=1 skips this run, which takes several minutes)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-timing.bash"
reps=${BENCH_REPS:-3}
target=22 peak_target=400
name="relative-store-scaling 1,000,000 vs 50,000 files"
if [ "${BENCH_SKIP_MILLION:-0}" = 1 ]; then
  echo "relative-store-scaling: skipped (BENCH_SKIP_MILLION=1)"
  [ -z "${BENCH_SUMMARY:-}" ] || printf '%s\t-\t-\t-\t<= %s\t-\tskipped\n' "$name" "$target" >>"$BENCH_SUMMARY"
  exit 0
fi
kpad=$build/kpad
maker=$build/bench/listing_bench
[ -x "$kpad" ] || bench_die "$kpad is missing: build first"
[ -x "$maker" ] || bench_die "$maker is missing: build first"
for tool in faketime unzip /usr/bin/time; do
  command -v $tool >/dev/null || bench_die "$tool is missing (scripts/setup.sh bench)"
done

work=$(mktemp -d /tmp/kp-bench-scaling.XXXXXX)
remove_on_exit "$work"
bench_init "$work"
export XDG_CONFIG_HOME=$work/config
changed=area00/file-000000.html # listing_bench puts file 0 in the first folder
stamp=$(($(date +%s) - 3600))
touched=0

# prepare NAME FILES: the tree $work/NAME and its full archive.
prepare() {
  local tree=$work/$1 full
  "$maker" make-tree "$tree" --files "$2" >/dev/null || bench_die "make-tree $2 failed"
  [ -f "$tree/$changed" ] || bench_die "$tree/$changed is missing"
  full=$(ten_minutes_back "$kpad" store "$tree" 2>"$work/kpad.err") ||
    bench_die "the first store of $1 failed: $full $(cat "$work/kpad.err")"
  case "$full" in "$tree/#tarnel/$1-"*c.zip) ;; *) bench_die "the first store printed '$full', not a full archive" ;; esac
}
touch_changed() { touched=$((touched + 1)); touch -m -d "@$((stamp + 4 * touched))" "$work/$1/$changed"; }
relative_store() {
  out=$("$kpad" store "$work/$1" 2>"$work/kpad.err") || bench_die "kpad store failed: $out $(cat "$work/kpad.err")"
}
# A timed store must have written a relative archive of just the changed file.
check_relative() {
  case "$out" in "$work/$1/#tarnel/$1-"*.zip) ;; *) bench_die "kpad store printed '$out', not a new archive" ;; esac
  [[ $out != *c.zip ]] || bench_die "$out is a full archive, not a relative one"
  local items
  items=$(unzip -Z1 "$out" | grep -v '^_kpad_/' || true)
  [ "$items" = "$1/$changed" ] || bench_die "$out holds '$items', not just the changed file"
  rm -f "$out"
}
drop_relatives() { for z in "$work/$1/#tarnel/"*.zip; do [[ $z == *c.zip ]] || rm -f "$z"; done; }

prepare Small 50000
prepare Large 1000000
for t in Small Large; do touch_changed $t; relative_store $t; check_relative $t; done # warm the cache

small_ms=() large_ms=()
run() { # NAME: one timed relative store of that tree
  touch_changed "$1"
  time_ms relative_store "$1"
  if [ "$1" = Small ]; then small_ms+=("$LAST_MS"); else large_ms+=("$LAST_MS"); fi
  check_relative "$1"
}
for ((i = 0; i < reps; i++)); do
  if ((i % 2)); then run Large; run Small; else run Small; run Large; fi
done
m_small=$(median "${small_ms[@]}") m_large=$(median "${large_ms[@]}")
r=$(ratio "$m_large" "$m_small")
touch_changed Small; small_peak=$(peak_mib "$kpad" store "$work/Small"); drop_relatives Small
touch_changed Large; large_peak=$(peak_mib "$kpad" store "$work/Large"); drop_relatives Large
echo "relative-store-scaling: one file changed in 50,000 and in 1,000,000 files, $reps reps"
echo "  50,000 files ms:    ${small_ms[*]} (peak $small_peak MiB)"
echo "  1,000,000 files ms: ${large_ms[*]} (peak $large_peak MiB)"
echo "  full archives: $(($(stat -c %s "$work/Small/#tarnel/"*c.zip) / 1024)) KiB and $(($(stat -c %s "$work/Large/#tarnel/"*c.zip) / 1024)) KiB"
bench_result "$name" "1,000,000 files $m_large ms" "50,000 files $m_small ms ($small_peak MiB)" "$r" "$target" "$large_peak" "$peak_target"
