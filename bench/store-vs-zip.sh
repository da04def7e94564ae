#!/usr/bin/env bash
# A first store (a full archive: compress every file, write, then read every file again
# for its CRC check) against zip -6 followed by unzip's test of the archive, on a copy of
# /usr/include trimmed to about 100 MB in about 8,000 files.
# Usage: bench/store-vs-zip.sh BUILD_DIR    (BENCH_REPS: repetitions, default 5)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-timing.bash"
reps=${BENCH_REPS:-5}
target=0.35
kpad=$build/kpad
[ -x "$kpad" ] || bench_die "$kpad is missing: build first"
for tool in zip unzip; do command -v $tool >/dev/null || bench_die "$tool is missing (scripts/setup.sh bench)"; done
[ -d /usr/include ] || bench_die "/usr/include is missing"

work=$(mktemp -d /tmp/kp-bench-store.XXXXXX)
trap 'rm -rf "$work"' EXIT
bench_init "$work"
tree=$work/Include
export XDG_CONFIG_HOME=$work/config # the default settings, whatever the user chose

make_source_tree "$tree" "$work/files"
files=$(find "$tree" -type f | wc -l)
folders=$(find "$tree" -type d | wc -l) # with the project folder itself
mb=$(du -sm --apparent-size "$tree" | cut -f1)

cd "$work"
# Each candidate starts from the bare tree: no archive folder, no A.zip (zip would add an
# archive folder left in the tree, and update an A.zip left beside it).
clean() { rm -rf "$tree/#tarnel" "$work/A.zip"; }
kpad_store() {
  out=$("$kpad" store "$tree" 2>"$work/kpad.err") || bench_die "kpad store failed: $out $(cat "$work/kpad.err")"
}
zip_and_test() { zip -qr -6 A.zip Include && unzip -tq A.zip >/dev/null; }

# One checked run first (it also warms the cache): a complete archive, not a refusal.
clean
kpad_store
case "$out" in "$tree/#tarnel/Include-"*c.zip) ;; *) bench_die "kpad store printed '$out', not a new full archive" ;; esac
items=$(unzip -Z1 "$out" | grep -cv '^_kpad_/' || true)
[ "$items" -eq $((files + folders)) ] || bench_die "the archive holds $items items, the tree $((files + folders))"
unzip -tq "$out" >/dev/null || bench_die "unzip finds faults in $out"
kpad_kb=$(($(stat -c %s "$out") / 1024))
clean
zip_and_test || bench_die "zip failed"
zip_kb=$(($(stat -c %s "$work/A.zip") / 1024))

kpad_ms=() zip_ms=() kpad_cpu=() zip_cpu=()
run_kpad() { clean; time_ms kpad_store; kpad_ms+=("$LAST_MS"); kpad_cpu+=("$LAST_CPU_MS"); }
run_zip() { clean; time_ms zip_and_test || bench_die "zip failed"; zip_ms+=("$LAST_MS"); zip_cpu+=("$LAST_CPU_MS"); }
for ((i = 0; i < reps; i++)); do
  if ((i % 2)); then run_zip; run_kpad; else run_kpad; run_zip; fi
done
clean
m_kpad=$(median "${kpad_ms[@]}")
m_zip=$(median "${zip_ms[@]}")
r=$(ratio "$m_kpad" "$m_zip")
c_kpad=$(median "${kpad_cpu[@]}")
c_zip=$(median "${zip_cpu[@]}")
echo "store-vs-zip: $files files, $folders folders, $mb MB; archives: kpad $kpad_kb KiB, zip $zip_kb KiB; $reps reps"
echo "  kpad store wall ms:        ${kpad_ms[*]}"
echo "  zip -6 + unzip -t wall ms: ${zip_ms[*]}"
echo "  CPU ms (user+sys) medians: kpad $c_kpad, zip+unzip $c_zip, ratio $(ratio "$c_kpad" "$c_zip")"
echo "RESULT store-vs-zip: kpad store $m_kpad ms, zip+unzip -t $m_zip ms, ratio $r (target <= $target): $(verdict "$r" "$target")"
