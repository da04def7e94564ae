#!/usr/bin/env bash
# Full stores (compress or copy every file, write, then the CRC check of every file) against
# zip -6 followed by unzip's test of its archive, in four cases, side by side in one run:
#   first:       the first store of a copy of /usr/include trimmed to about 100 MB in 8,000 files;
#   one-changed: a full store (kpad store --comment x) of the same tree after one file changed,
#                with the first store's archive as the primary (dated ten minutes back with
#                faketime, so that the timed stores never meet an archive of their own minute);
#   small-files: the first store of 50,000 files of about 20 bytes in 250 folders, the shape of
#                many source trees, where the cost per file (system calls, wake-ups) dominates;
#   incompressible: the first store of 500 MB of random bytes, named .jpg and .mp4 and some
#                not named as compressed data (.bin, .dat).
# Each case also reports the peak memory of one kpad store, and the first the archive sizes.
# Usage: bench/store-vs-zip.sh BUILD_DIR    (BENCH_REPS: repetitions, default 5)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-timing.bash"
reps=${BENCH_REPS:-5}
first_target=0.22 changed_target=0.10 small_target=0.35 random_target=0.15 size_target=1.02 peak_target=100
kpad=$build/kpad
[ -x "$kpad" ] || bench_die "$kpad is missing: build first"
for tool in zip unzip faketime /usr/bin/time; do
  command -v $tool >/dev/null || bench_die "$tool is missing (scripts/setup.sh bench)"
done

work=$(mktemp -d /tmp/kp-bench-store.XXXXXX)
remove_on_exit "$work"
bench_init "$work"
export XDG_CONFIG_HOME=$work/config # the default settings, whatever the user chose
cd "$work"

# The two candidates of a case: kpad store with the case's kpad_args, and zip -6 + unzip -t;
# each is preceded by the case's untimed reset_case, which puts the tree back as it needs.
kpad_run() {
  out=$("$kpad" store "$@" 2>"$work/kpad.err") || bench_die "kpad store failed: $out $(cat "$work/kpad.err")"
}
zip_run() { rm -f "$work/A.zip" && zip -qr -6 "$work/A.zip" "$1" -x "$1/#tarnel/*" && unzip -tq "$work/A.zip" >/dev/null; }
# compare NAME TREE: alternating timed runs of kpad_case and zip on TREE; leaves the medians'
# ratio in RATIO and prints the runs.
compare() {
  local name=$1 tree=$2 kpad_ms=() zip_ms=() kpad_cpu=() zip_cpu=()
  run_kpad() { reset_case; time_ms kpad_case; kpad_ms+=("$LAST_MS"); kpad_cpu+=("$LAST_CPU_MS"); }
  run_zip() { reset_case; time_ms zip_run "$(basename "$tree")" || bench_die "zip failed"; zip_ms+=("$LAST_MS"); zip_cpu+=("$LAST_CPU_MS"); }
  for ((i = 0; i < reps; i++)); do
    if ((i % 2)); then run_zip; run_kpad; else run_kpad; run_zip; fi
  done
  reset_case
  PEAK=$(peak_mib "$kpad" store "${kpad_args[@]}")
  local m_kpad m_zip
  m_kpad=$(median "${kpad_ms[@]}") m_zip=$(median "${zip_ms[@]}")
  RATIO=$(ratio "$m_kpad" "$m_zip")
  echo "store-vs-zip ($name): $(find "$tree" -type f -not -path '*/#tarnel/*' | wc -l) files, $(du -sm --apparent-size --exclude='#tarnel' "$tree" | cut -f1) MB; $reps reps"
  echo "  kpad store wall ms:        ${kpad_ms[*]}"
  echo "  zip -6 + unzip -t wall ms: ${zip_ms[*]}"
  echo "  CPU ms (user+sys) medians: kpad $(median "${kpad_cpu[@]}"), zip+unzip $(median "${zip_cpu[@]}")"
  echo "  medians: kpad $m_kpad ms, zip+unzip $m_zip ms; kpad peak RSS $PEAK MiB"
  M_KPAD=$m_kpad M_ZIP=$m_zip
}

# --- first: the first store of the source tree
tree=$work/Include
make_source_tree "$tree" "$work/files"
reset_case() { rm -rf "$tree/#tarnel"; }
kpad_case() { kpad_run "${kpad_args[@]}"; }
kpad_args=("$tree")
reset_case
kpad_case # one checked run first (it also warms the cache): a complete, sound archive
case "$out" in "$tree/#tarnel/Include-"*c.zip) ;; *) bench_die "kpad store printed '$out', not a new full archive" ;; esac
files=$(wc -l <"$work/files") folders=$(find "$tree" -type d -not -name '#tarnel' | wc -l)
items=$(unzip -Z1 "$out" | grep -cv '^_kpad_/' || true)
[ "$items" -eq $((files + folders)) ] || bench_die "the archive holds $items items, the tree $((files + folders))"
unzip -tq "$out" >/dev/null || bench_die "unzip finds faults in $out"
kpad_bytes=$(stat -c %s "$out")
zip_run Include || bench_die "zip failed"
zip_bytes=$(stat -c %s "$work/A.zip")
compare first "$tree"
first_ratio=$RATIO first_peak=$PEAK first_kpad=$M_KPAD first_zip=$M_ZIP size_ratio=$(ratio "$kpad_bytes" "$zip_bytes")
echo "  archives: kpad $kpad_bytes bytes, zip $zip_bytes bytes, ratio $size_ratio"

# --- one-changed: a full store with a comment after one file changed
reset_case
primary=$(ten_minutes_back "$kpad" store "$tree" 2>"$work/kpad.err") ||
  bench_die "the primary store failed: $primary $(cat "$work/kpad.err")"
changed=$tree/stdio.h
[ -f "$changed" ] || changed=$tree/$(head -1 "$work/files")
edits=0
reset_case() {
  for z in "$tree/#tarnel/"*.zip; do [ "$z" = "$primary" ] || rm -f "$z"; done
  edits=$((edits + 1))
  echo "/* edit $edits */" >>"$changed"
}
kpad_args=("$tree" --comment x)
reset_case
kpad_case
case "$out" in "$tree/#tarnel/Include-"*c.zip) [ "$out" != "$primary" ] ;; *) false ;; esac ||
  bench_die "kpad store --comment printed '$out', not a new full archive"
unzip -tq "$out" >/dev/null || bench_die "unzip finds faults in $out"
compare one-changed "$tree"
changed_ratio=$RATIO changed_peak=$PEAK changed_kpad=$M_KPAD changed_zip=$M_ZIP
rm -rf "$tree"

# --- small-files: 50,000 files of 18 to 22 bytes, 200 in each of 250 folders (25 x 10)
tree=$work/Small
for a in $(seq -w 0 24); do for b in $(seq -w 0 9); do echo "$tree/mod$a/sub$b"; done; done | xargs mkdir -p
awk -v root="$tree" 'BEGIN {
  for (i = 0; i < 50000; i++) {
    f = i % 250
    path = sprintf("%s/mod%02d/sub%d/f%05d.c", root, int(f / 10), f % 10, i)
    printf "int v%05d = %d;\n", i, i % 10000 >path
    close(path)
  }
}'
reset_case() { rm -rf "$tree/#tarnel"; }
kpad_args=("$tree")
reset_case
kpad_case
case "$out" in "$tree/#tarnel/Small-"*c.zip) ;; *) bench_die "kpad store printed '$out', not a new full archive" ;; esac
folders=$(find "$tree" -type d -not -name '#tarnel' | wc -l)
items=$(unzip -Z1 "$out" | grep -cv '^_kpad_/' || true)
[ "$items" -eq $((50000 + folders)) ] || bench_die "the archive holds $items items, the tree $((50000 + folders))"
unzip -tq "$out" >/dev/null || bench_die "unzip finds faults in $out"
compare small-files "$tree"
small_ratio=$RATIO small_peak=$PEAK small_kpad=$M_KPAD small_zip=$M_ZIP
rm -rf "$tree"

# --- incompressible: 500 MB of random bytes
tree=$work/Media
mkdir -p "$tree/photos" "$tree/video" "$tree/data"
for i in $(seq 1 40); do head -c 5M /dev/urandom >"$tree/photos/img$i.jpg"; done
for i in $(seq 1 10); do head -c 20M /dev/urandom >"$tree/video/clip$i.mp4"; done
for i in $(seq 1 10); do head -c 5M /dev/urandom >"$tree/data/block$i.bin"; done
for i in $(seq 1 2); do head -c 25M /dev/urandom >"$tree/data/image$i.dat"; done
reset_case() { rm -rf "$tree/#tarnel"; }
kpad_args=("$tree")
reset_case
kpad_case
unzip -tq "$out" >/dev/null || bench_die "unzip finds faults in $out"
compare incompressible "$tree"
random_ratio=$RATIO random_peak=$PEAK random_kpad=$M_KPAD random_zip=$M_ZIP

zip="zip -6 + unzip -t"
bench_result "store-vs-zip first store" "kpad store $first_kpad ms" "$zip $first_zip ms" "$first_ratio" "$first_target" "$first_peak" "$peak_target"
bench_result "store-vs-zip first store, archive size" "$kpad_bytes bytes" "zip -6 $zip_bytes bytes" "$size_ratio" "$size_target"
bench_result "store-vs-zip one file changed (--comment)" "kpad store $changed_kpad ms" "$zip $changed_zip ms" "$changed_ratio" "$changed_target" "$changed_peak" "$peak_target"
bench_result "store-vs-zip first store, 50,000 small files" "kpad store $small_kpad ms" "$zip $small_zip ms" "$small_ratio" "$small_target" "$small_peak" "$peak_target"
bench_result "store-vs-zip incompressible" "kpad store $random_kpad ms" "$zip $random_zip ms" "$random_ratio" "$random_target" "$random_peak" "$peak_target"
