#!/usr/bin/env bash
# kpad extract of every file of a full state (the ~100 MB, ~8,000-file source tree) into an
# empty folder, against unzip -oq of the same archive into an empty folder: the copy-out a
# user waits for when taking a whole old state aside. The first extraction, untimed, must
# give back the original tree; one more gives the peak memory. Then the same into memory
# (tmpfs), where the disk's cost of creating files is taken away.
# Usage: bench/extract-vs-unzip.sh BUILD_DIR    (BENCH_REPS: repetitions, default 5)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-timing.bash"
reps=${BENCH_REPS:-5}
target=0.25 peak_target=100
kpad=$build/kpad
[ -x "$kpad" ] || bench_die "$kpad is missing: build first"
for tool in unzip /usr/bin/time; do
  command -v $tool >/dev/null || bench_die "$tool is missing (scripts/setup.sh bench)"
done

bench_stored_source_tree extract
case "$archive" in "$tree/#tarnel/Include-"*c.zip) ;; *) bench_die "kpad store printed '$archive', not a full archive" ;; esac
files=$(wc -l <"$work/files")
mb=$(du -sm --apparent-size --exclude='#tarnel' "$tree" | cut -f1)

# Each run writes into a new folder (fresh_folder in lib-timing.bash).
extract() { "$kpad" extract "$tree" "$archive" --to "$FRESH" >"$work/kpad.out" 2>"$work/kpad.err"; }
run_candidate() { fresh_folder k; time_ms extract || bench_die "kpad extract failed: $(cat "$work/kpad.err")"; cand_ms+=("$LAST_MS"); }
run_unzip() { fresh_folder u; time_ms unzip -oq "$archive" -d "$FRESH"; unzip_ms+=("$LAST_MS"); }
candidate_peak() { peak_mib "$kpad" extract "$tree" "$archive" --to "$FRESH"; }
run_candidate # also warms the cache
[ "$(cat "$work/kpad.out")" = "$files files copied to $FRESH" ] ||
  bench_die "kpad extract printed '$(cat "$work/kpad.out")', not $files files copied"
diff -r "$tree" "$FRESH/Include" -x '#tarnel' >/dev/null || bench_die "the extracted tree differs from the original"
extraction_rows extract-vs-unzip "kpad extract"
