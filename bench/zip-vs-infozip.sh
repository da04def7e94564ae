#!/usr/bin/env bash
# The archive kit alone against Info-ZIP: write an archive of a copy of /usr/include trimmed to
# about 100 MB in about 8,000 files, open it again and compare the CRC of every file with the
# stored one (bench/zip_bench), against zip -6 followed by unzip's test of the archive. Then
# once more with one extra 200 MiB file in the tree, for the peak memory.
# Usage: bench/zip-vs-infozip.sh BUILD_DIR    (BENCH_REPS: repetitions, default 5)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-timing.bash"
reps=${BENCH_REPS:-5}
time_target=0.35 size_target=1.02 peak_target=100 big_peak_target=600
bin=$build/bench/zip_bench
[ -x "$bin" ] || bench_die "$bin is missing: build first"
for tool in zip unzip /usr/bin/time; do command -v $tool >/dev/null || bench_die "$tool is missing (scripts/setup.sh bench)"; done
[ -d /usr/include ] || bench_die "/usr/include is missing"

work=$(mktemp -d /tmp/kp-bench-zip.XXXXXX)
remove_on_exit "$work"
bench_init "$work"
tree=$work/Include

make_source_tree "$tree" "$work/files"

cd "$work"
kit() { "$bin" "$tree" "$work/K.zip" >"$work/kit.out" || bench_die "zip_bench failed: $(cat "$work/kit.out")"; }
zip_and_test() { rm -f A.zip && zip -qr -6 A.zip Include && unzip -tq A.zip >/dev/null; }
value() { sed -n "s/^$1=//p" "$work/kit.out"; }
# Peak resident memory in MiB of one run of "$@".
peak_mib() {
  /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null || bench_die "$* failed"
  awk '{ printf "%.1f", $1 / 1024 }' "$work/rss"
}

# compare LABEL: one checked run of each (which warms the cache), then alternating timed runs.
compare() {
  local label=$1 n=$2
  kit
  [ "$(value mismatches)" = 0 ] || bench_die "the kit's check found mismatches"
  unzip -tq K.zip >/dev/null || bench_die "unzip finds faults in the kit's archive"
  zip_and_test || bench_die "zip failed"
  local kit_bytes zip_bytes files mb
  kit_bytes=$(stat -c %s K.zip) zip_bytes=$(stat -c %s A.zip)
  files=$(value files) mb=$(du -sm --apparent-size "$tree" | cut -f1)
  local kit_ms=() zip_ms=()
  for ((i = 0; i < n; i++)); do
    if ((i % 2)); then
      time_ms zip_and_test; zip_ms+=("$LAST_MS"); time_ms kit; kit_ms+=("$LAST_MS")
    else
      time_ms kit; kit_ms+=("$LAST_MS"); time_ms zip_and_test; zip_ms+=("$LAST_MS")
    fi
  done
  local kit_peak zip_peak
  kit_peak=$(peak_mib "$bin" "$tree" "$work/K.zip")
  zip_peak=$(peak_mib sh -c 'rm -f A.zip && zip -qr -6 A.zip Include && unzip -tq A.zip')
  M_KIT=$(median "${kit_ms[@]}") M_ZIP=$(median "${zip_ms[@]}")
  TIME_RATIO=$(ratio "$M_KIT" "$M_ZIP") SIZE_RATIO=$(ratio "$kit_bytes" "$zip_bytes") PEAK=$kit_peak
  KIT_BYTES=$kit_bytes ZIP_BYTES=$zip_bytes
  echo "zip-vs-infozip ($label): $files files, $mb MB; $n reps"
  echo "  kit write+reopen+CRC check wall ms: ${kit_ms[*]} (last: write $(value write_seconds) s, check $(value check_seconds) s)"
  echo "  zip -6 + unzip -t wall ms:          ${zip_ms[*]}"
  echo "  archives: kit $kit_bytes bytes, zip $zip_bytes bytes, ratio $SIZE_RATIO"
  echo "  peak RSS: kit $kit_peak MiB, zip+unzip $zip_peak MiB"
}

compare "tree" "$reps"
bench_result "zip-vs-infozip time" "kit $M_KIT ms" "zip+unzip -t $M_ZIP ms" "$TIME_RATIO" "$time_target" "$PEAK" "$peak_target"
bench_result "zip-vs-infozip size" "kit $KIT_BYTES bytes" "zip -6 $ZIP_BYTES bytes" "$SIZE_RATIO" "$size_target"

# One extra 200 MiB file made of the tree's own text: it must stream, not sit in memory.
find "$tree" -type f -print0 | xargs -0 cat >"$work/all"
cat "$work/all" "$work/all" "$work/all" >"$tree/big.bin"
truncate -s 200M "$tree/big.bin"
rm -f "$work/all"
compare "tree + 200 MiB file" 1
echo "  with a 200 MiB file: time ratio $TIME_RATIO, size ratio $SIZE_RATIO"
bench_result "zip-vs-infozip peak memory with a 200 MiB file" "kit $M_KIT ms" "zip+unzip -t $M_ZIP ms" - - "$PEAK" "$big_peak_target"
