# Timing helpers sourced by the benchmark scripts (not a benchmark itself: run-all.sh runs *.sh).
# The machine is shared and noisy, so every script times its candidates side by side, in
# alternating order, several times, and compares medians.

# 0m1.234s -> 1234
_to_ms() {
  local min=${1%%m*} sec=${1#*m}
  sec=${sec%s}
  echo $((min * 60000 + 10#${sec%.*} * 1000 + 10#${sec#*.}))
}

# remove_on_exit FOLDER: the bench's work folder goes when the script ends, or, under
# run-all.sh (BENCH_LEFT_FOR_LATER names a list), when every bench has run. This disk's file
# system (no journal, online discard) passes over inodes freed in the last minutes when it
# creates files: tens of thousands of files deleted by one bench made the next bench's file
# creation several times slower, for both tools but not in proportion (restore's extraction
# on the disk: 0.61 of unzip right after the extract bench's cleanup).
remove_on_exit() {
  if [ -n "${BENCH_LEFT_FOR_LATER:-}" ]; then
    echo "$1" >>"$BENCH_LEFT_FOR_LATER"
  else
    trap "rm -rf '$1'" EXIT
  fi
}

# CPU milliseconds (user + system) of this shell's finished children so far, into
# CHILDREN_CPU_MS. "times" runs in this shell itself: in a command substitution it would
# report the subshell's children. bench_init names the folder for its scratch file.
bench_init() { _times_file=$1/times; }
children_cpu() {
  local _ user sys
  times >"${_times_file:?bench_init first}"
  { read -r _ _; read -r user sys; } <"$_times_file"
  CHILDREN_CPU_MS=$(($(_to_ms "$user") + $(_to_ms "$sys")))
}

# Runs "$@" in this shell (no extra fork around it) and leaves its wall time in LAST_MS and
# the CPU time of the processes it ran in LAST_CPU_MS.
time_ms() {
  local cpu0 rc=0
  children_cpu
  cpu0=$CHILDREN_CPU_MS
  local start=${EPOCHREALTIME/./}
  "$@" || rc=$?
  local end=${EPOCHREALTIME/./}
  children_cpu
  LAST_CPU_MS=$((CHILDREN_CPU_MS - cpu0))
  LAST_MS=$(awk -v us=$((end - start)) 'BEGIN { printf "%.1f", us / 1000 }')
  return $rc
}

median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# verdict RATIO TARGET: "met" when RATIO <= TARGET.
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t ? "met" : "MISSED") }'; }

# peak_mib COMMAND...: runs COMMAND once (output dropped) and prints its peak resident memory
# in MiB, as /usr/bin/time reports it.
peak_mib() {
  local rss=${_times_file:?bench_init first}.rss
  /usr/bin/time -f %M -o "$rss" "$@" >/dev/null 2>&1 || bench_die "$* failed"
  awk '{ printf "%.1f", $1 / 1024 }' "$rss"
}

# bench_result NAME KPAD REFERENCE RATIO TARGET [PEAK_MIB PEAK_TARGET]: the RESULT line of one
# row of the targets' table. KPAD and REFERENCE are the two figures as text ("812 ms"), RATIO
# is compared with TARGET and PEAK_MIB with PEAK_TARGET; "-" leaves a comparison out. The row
# is met when every comparison is. Under run-all.sh (BENCH_SUMMARY names a file) the row is
# also kept, tab-separated, for the summary table printed at the end.
bench_result() {
  local name=$1 kpad=$2 ref=$3 r=$4 target=$5 peak=${6:--} peak_target=${7:--}
  local line="RESULT $name: $kpad, $ref" verdict=met
  if [ "$r" != - ]; then
    line+=", ratio $r (target <= $target): $(verdict "$r" "$target")"
    [ "$(verdict "$r" "$target")" = met ] || verdict=MISSED
  fi
  if [ "$peak" != - ]; then
    line+="; peak $peak MiB (target <= $peak_target): $(verdict "$peak" "$peak_target")"
    [ "$(verdict "$peak" "$peak_target")" = met ] || verdict=MISSED
  fi
  echo "$line"
  [ "$r" != - ] && target="<= $target" || target=-
  [ "$peak" != - ] && peak="$peak (<= $peak_target)"
  [ -z "${BENCH_SUMMARY:-}" ] ||
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$kpad" "$ref" "$r" "$target" "$peak" "$verdict" >>"$BENCH_SUMMARY"
}

bench_die() {
  echo "$(basename "$0"): $*" >&2
  exit 1
}

# make_source_tree TREE LIST: a real source tree of about 100 MB in about 8,000 files, the
# files of /usr/include in path order, none over 128 KiB, until 8,000 files or 100 MiB.
# Their relative paths are left in LIST.
make_source_tree() {
  local tree=$1 list=$2
  [ -d /usr/include ] || bench_die "/usr/include is missing"
  (cd /usr/include && find . -type f -printf '%s\t%P\n') | LC_ALL=C sort -t $'\t' -k2 |
    awk -F'\t' '$1 <= 131072 && n < 8000 && t + $1 <= 100 * 1048576 { n++; t += $1; print $2 }' >"$list"
  mkdir "$tree"
  tar -C /usr/include -cf - -T "$list" | tar -C "$tree" -xf -
}

# bench_stored_source_tree NAME: a fresh work folder (removed on exit) holding the source tree
# of make_source_tree, stored once by $kpad as its first full state. Sets work, tree (its
# relative paths in $work/files) and archive.
bench_stored_source_tree() {
  work=$(mktemp -d "/tmp/kp-bench-$1.XXXXXX")
  remove_on_exit "$work"
  bench_init "$work"
  tree=$work/Include
  export XDG_CONFIG_HOME=$work/config
  make_source_tree "$tree" "$work/files"
  archive=$("$kpad" store "$tree" 2>"$work/kpad.err") || bench_die "kpad store failed: $(cat "$work/kpad.err")"
}

# fresh_folder NAME: a new empty folder $work/NAME.N for one timed extraction, its path in
# FRESH. Nothing is deleted between timed runs: on a disk mounted with online discard the
# deletion of the last run's 8,000 files slows the next run's file creation for seconds, by
# as much for either tool, whichever ran after it. The files written so far go to the disk
# (sync) first, so that no run pays for the writeback of another's files. All of them go with
# $work at the end.
# FRESH_BASE, when set, is where the folders are made instead of $work (a memory file system).
fresh_folder() {
  FRESH_COUNT=$((${FRESH_COUNT:-0} + 1))
  FRESH=${FRESH_BASE:-$work}/$1.$FRESH_COUNT
  mkdir "$FRESH"
  sync
}

# memory_folder NAME: a new folder on /dev/shm (removed on exit) for the in-memory variant of
# an extraction row, its path in MEMORY; empty when /dev/shm is missing or has under 1 GB free.
memory_folder() {
  MEMORY=
  [ -d /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt 1048576 ] || return 0
  MEMORY=$(mktemp -d "/dev/shm/kp-bench-$1.XXXXXX")
  if [ -n "${BENCH_LEFT_FOR_LATER:-}" ]; then
    trap 'rm -rf "$MEMORY"' EXIT # a memory file system: deleting costs the disk nothing
  else
    trap 'rm -rf "$work" "$MEMORY"' EXIT
  fi
}

# ten_minutes_back COMMAND...: runs a command with the clock ten minutes back, through
# libfaketime preloaded directly: the faketime wrapper keeps a named semaphore per process id,
# and one left behind by a killed run fails every later run that gets the same id.
ten_minutes_back() {
  NO_FAKE_STAT=1 LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1 FAKETIME=-10m "$@"
}

# alternate RUN_A RUN_B: $reps runs of each, alternating which of the two goes first.
alternate() {
  local i
  for ((i = 0; i < reps; i++)); do
    if ((i % 2)); then "$2"; "$1"; else "$1"; "$2"; fi
  done
}

# extraction_rows ROW LABEL: the rows of an extraction against unzip -oq, on the disk and, where
# /dev/shm has room, into memory (tmpfs): what is left when the disk's cost of creating 8,000
# files, most of both tools' time and swinging with the disk's state, is taken away. The
# caller defines run_candidate and run_unzip (one timed run each, into a fresh_folder,
# appending to cand_ms and unzip_ms) and candidate_peak (the peak memory of one run into
# $FRESH), and sets files, mb, target and peak_target.
extraction_rows() {
  extraction_row "$1" "$2"
  memory_folder "$1"
  if [ -n "$MEMORY" ]; then FRESH_BASE=$MEMORY extraction_row "$1 into memory" "$2"; fi
}
extraction_row() {
  local row=$1 label=$2 m_cand m_unzip r peak
  cand_ms=() unzip_ms=()
  alternate run_candidate run_unzip
  m_cand=$(median "${cand_ms[@]}") m_unzip=$(median "${unzip_ms[@]}")
  r=$(ratio "$m_cand" "$m_unzip")
  fresh_folder k
  peak=$(candidate_peak)
  echo "$row: $files files, $mb MB; $reps reps"
  echo "  $label wall ms: ${cand_ms[*]}"
  echo "  unzip -oq wall ms: ${unzip_ms[*]}"
  bench_result "$row" "$label $m_cand ms" "unzip -oq $m_unzip ms" "$r" "$target" "$peak" "$peak_target"
}
