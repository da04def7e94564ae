# Timing helpers sourced by the benchmark scripts (not a benchmark itself: run-all.sh runs *.sh).
# The machine is shared and noisy, so every script times its candidates side by side, in
# alternating order, several times, and compares medians.

# 0m1.234s -> 1234
_to_ms() {
  local min=${1%%m*} sec=${1#*m}
  sec=${sec%s}
  echo $((min * 60000 + 10#${sec%.*} * 1000 + 10#${sec#*.}))
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
