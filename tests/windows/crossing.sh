#!/usr/bin/env bash
# kpad.exe under Wine against the Linux kpad: stores, lists and restores as on Linux, and
# archives cross both ways. Also a restore refused while another Windows program holds a
# project file open, and an archive folder at a drive's root refused as a parameter.
# Usage: tests/windows/crossing.sh BUILD_WINDOWS_FOLDER LINUX_KPAD
set -euo pipefail

build=$(realpath "$1")
kpad=$(realpath "$2")
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
kpadexe="$build/kpad.exe"
work=$(mktemp -d "$build/crossing.XXXXXX")
drive="$WINEPREFIX/dosdevices/k:"
cleanup() { rm -rf "$work"; rm -f "$drive"; }
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config"

fail() { echo "crossing: $*" >&2; exit 1; }
# Runs a command with the clock moved by OFFSET ("-10m"): every store names its archive by
# the minute, and a run waits for a minute of its own, so each run here gets its own.
# libfaketime preloaded directly: the faketime wrapper's per-process semaphore, left behind
# by a killed run, fails a later run of the same process id at random.
at() { local offset=$1; shift
       NO_FAKE_STAT=1 LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1 FAKETIME="$offset" "$@"; }
win() { echo "Z:$1" | tr / '\\'; }
kpadw() { "$wine" "$kpadexe" "$@" | tr -d '\r'; }
# Names, sizes and file times of a project, its archive folder left out (folder times are
# kept to the 2 seconds of a DOS time only).
tree_of() {
  (cd "$1" && { find . -path ./#tarnel -prune -o -type d -printf '%P/\n'
                find . -path ./#tarnel -prune -o -type f -printf '%P %s %TY-%Tm-%Td %TH:%TM:%.2TS\n'; } | sort)
}
same_tree() {
  diff -r --exclude='#tarnel' "$1" "$2" >/dev/null || fail "$3: contents differ"
  diff <(tree_of "$1") <(tree_of "$2") || fail "$3: names, sizes or times differ"
}
make_project() {
  mkdir -p "$1/docs/deep" "$1/img"
  for i in $(seq 1 60); do printf 'page %s\n%.0s' "$i" $(seq 1 40) > "$1/docs/page-$i.html"; done
  printf 'Проект\n' > "$1/docs/Заметки.txt"
  printf '' > "$1/docs/deep/empty.txt"
  head -c 65536 /dev/urandom > "$1/img/photo.bin"
  printf '#!/bin/sh\necho hi\n' > "$1/run.sh"
  chmod 755 "$1/run.sh"
  touch -d '2010-12-03 15:30:00' "$1/docs/page-1.html"
}

# 1. kpad.exe: a full store (dated back, so that the next store has a minute of its own),
# the list, a relative store, and a restore of the first state.
site="$work/Site"
make_project "$site"
cp -a "$site" "$work/Site.orig"
full=$(at -10m "$wine" "$kpadexe" store "$(win "$site")" --comment x | tr -d '\r')
[[ $full == Z:*"/Site/#tarnel/Site-"*c.zip ]] || fail "the full store printed '$full'"
listed=$(kpadw list "$(win "$site")")
[[ $listed == *"Site-"*"c.zip"$'\t'"x" ]] || fail "the list printed '$listed'"
echo "changed" >> "$site/docs/page-2.html"
relative=$(kpadw store "$(win "$site")")
[[ $relative == *.zip && $relative != *c.zip ]] || fail "the second store printed '$relative', not a relative archive"
for a in "$site"/#tarnel/*.zip; do
  unzip -tq "$a" >/dev/null || fail "unzip -t refuses $a"
  "$kpad" verify "$a" >/dev/null || fail "the Linux kpad refuses $a"
done
first=$(basename "${full//\\//}")
at +1m "$wine" "$kpadexe" restore "$(win "$site")" "$first" >/dev/null || fail "kpad.exe could not restore $first"
same_tree "$work/Site.orig" "$site" "the first state restored by kpad.exe"

# 2. A state made on Windows restores on Linux, and a Linux state restores on Windows; the
# Linux archive comes back through Windows untouched, Unix modes and all.
cp -a "$work/Site.orig" "$work/Linux"
lstate=$(at -20m "$kpad" store "$work/Linux" --comment linux)
sum=$(sha256sum < "$lstate")
rm -f "$work/Linux/run.sh"; echo "edit" >> "$work/Linux/docs/page-3.html"; mkdir "$work/Linux/new"
at +2m "$wine" "$kpadexe" restore "$(win "$work/Linux")" "$(basename "$lstate")" >/dev/null || fail "kpad.exe could not restore the Linux state"
same_tree "$work/Site.orig" "$work/Linux" "the Linux state restored by kpad.exe"
[ "$(sha256sum < "$lstate")" = "$sum" ] || fail "the Linux archive changed on its way through Windows"
at +3m "$kpad" restore "$work/Linux" "$(basename "$lstate")" >/dev/null || fail "the Linux kpad could not restore its state again"
[ "$(stat -c %a "$work/Linux/run.sh")" = 755 ] || fail "run.sh lost its mode 755"

# A Linux name Windows cannot hold stops the restore before anything is replaced.
printf 'q\n' > "$work/Linux/what?.txt"
odd=$(at +8m "$kpad" store "$work/Linux" --comment odd)
rm "$work/Linux/what?.txt"; echo "edit" >> "$work/Linux/docs/page-6.html"
before=$(tree_of "$work/Linux")
set +e
refused=$(at +9m "$wine" "$kpadexe" restore "$(win "$work/Linux")" "$(basename "$odd")" 2>&1 | tr -d '\r')
set -e
[[ $refused == *'what?.txt is not allowed on this system'* ]] || fail "a name Windows cannot hold was not refused: $refused"
[ "$(tree_of "$work/Linux")" = "$before" ] || fail "the refused restore changed the project"

echo "edit" >> "$site/docs/page-4.html"
at +4m "$kpad" restore "$site" "$first" >/dev/null || fail "the Linux kpad could not restore the Windows state"
same_tree "$work/Site.orig" "$site" "the Windows state restored by the Linux kpad"

# 3. A restore while another Windows program holds a project file without sharing is
# refused, naming the file, and deletes nothing.
echo "unsaved" >> "$site/docs/page-5.html"
before=$(tree_of "$site")
mkfifo "$work/hold.in"
"$wine" "$build/hold_file.exe" "$(win "$site/docs/page-5.html")" < "$work/hold.in" > "$work/hold.out" &
holder=$!
exec 7>"$work/hold.in"
for _ in $(seq 1 100); do grep -q held "$work/hold.out" 2>/dev/null && break; sleep 0.1; done
grep -q held "$work/hold.out" || fail "the helper could not hold the file: $(cat "$work/hold.out")"
set +e
refused=$(at +5m "$wine" "$kpadexe" restore "$(win "$site")" "$first" 2>&1 | tr -d '\r')
rc=$?
set -e
exec 7>&-
wait "$holder" || true
[ $rc -ne 0 ] || fail "the restore went on while a file was held open"
[[ $refused == *"page-5.html"* ]] || fail "the refusal does not name the held file: $refused"
[ "$(tree_of "$site")" = "$before" ] || fail "the refused restore changed the project"

# 4. An archive folder at the root of a drive is no project; a drive's project is.
mkdir -p "$work/drive/#tarnel" "$work/drive/Site"
ln -s "$work/drive" "$drive"
echo a > "$work/drive/Site/a.txt"
root=$("$wine" "$kpadexe" store 'K:\#tarnel' 2>&1 | tr -d '\r') || true
[[ $root == *"The project folder is absent."* ]] || fail "K:\\#tarnel was not refused: $root"
ok=$(kpadw store 'K:\Site')
[[ $ok == "K:/Site/#tarnel/Site-"*c.zip ]] || fail "K:\\Site was not stored: $ok"

# 5. Names differing from the stored ones only in case are no change on Windows.
# The folder keeps its time: a rename changes it, and a changed folder time is a change of its
# own (whether it shows depends on the 2-second clock of the stored times).
touch -r "$work/drive/Site" "$work/site-time"
mv "$work/drive/Site/a.txt" "$work/drive/Site/A.TXT"
touch -r "$work/site-time" "$work/drive/Site"
same=$(at +6m "$wine" "$kpadexe" store 'K:\Site' | tr -d '\r')
[[ $same == *"The project is the same"* ]] || fail "a change of case alone was stored: $same"
echo "crossing: all passed"
