#!/usr/bin/env bash
# The extraction phase of a restore of a ~100 MB, ~8,000-file state against unzip -oq of the
# same archive into an empty folder. One more extraction, untimed, gives the peak memory.
# Then the same into memory (tmpfs), where the disk's cost of creating files is taken away.
# Usage: bench/restore-vs-unzip.sh BUILD_DIR    (BENCH_REPS: repetitions, default 5)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-timing.bash"
reps=${BENCH_REPS:-5}
target=0.25 peak_target=100
kpad=$build/kpad
extract=$build/bench/restore_bench
[ -x "$kpad" ] && [ -x "$extract" ] || bench_die "build first ($kpad, $extract)"
for tool in unzip /usr/bin/time; do
  command -v $tool >/dev/null || bench_die "$tool is missing (scripts/setup.sh bench)"
done

bench_stored_source_tree restore
[ -f "$archive" ] || bench_die "kpad store printed '$archive'"
files=$(wc -l <"$work/files")
mb=$(du -sm --apparent-size --exclude='#tarnel' "$tree" | cut -f1)

# Each run writes into a new folder (fresh_folder in lib-timing.bash).
run_candidate() { fresh_folder k; time_ms "$extract" "$archive" "$FRESH"; cand_ms+=("$LAST_MS"); }
run_unzip() { fresh_folder u; time_ms unzip -oq "$archive" -d "$FRESH"; unzip_ms+=("$LAST_MS"); }
candidate_peak() { peak_mib "$extract" "$archive" "$FRESH"; }
run_candidate # untimed check (it also warms the cache)
diff -r "$tree" "$FRESH/Include" -x '#tarnel' >/dev/null || bench_die "the extracted tree differs from the original"
extraction_rows restore-vs-unzip "restore extraction"
