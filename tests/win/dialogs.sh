#!/usr/bin/env bash
# kestrelpad.exe's project log window and the Tools page's state windows under Wine on a
# private X server, driven with real clicks and keys: the log's heading cannot be edited,
# an edit below it saved reaches the newest archive, Export writes a text file; "Show
# changes…" and "Copy files out…" open from the list's context menu, and the copy writes
# the chosen file without ever replacing one unasked; a double click on a state whose archive
# has gone says so; a state whose archive cannot be read is reported as the Tools page shows.
# Texts and states are read, and tabs picked, through kpdriver.exe.
# Screenshots of each window are left in the work folder's shots/ when KP_KEEP_SHOTS is set.
# Usage: tests/win/dialogs.sh BUILD_WINDOWS_FOLDER
set -euo pipefail

name=dialogs
source "$(dirname "$0")/session.bash"
drv() { "$wine" "$build/kpdriver.exe" "$@"; }
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
start() { "$wine" "$exe" "$(winpath "$1")" >/dev/null 2>&1 & run=$!; }
ended() { for _ in $(seq $(($1 * 10))); do kill -0 "$run" 2>/dev/null || { run=; return 0; }; sleep 0.1; done; return 1; }
# A window by its caption (a pattern), once it is on screen.
window() { for _ in $(seq 60); do w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
           [ -n "$w" ] && { echo "$w"; return 0; }; sleep 0.1; done; return 1; }
gone() { for _ in $(seq 100); do xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0; sleep 0.1; done; return 1; }
card_shown() { for _ in $(seq 100); do xdotool search --onlyvisible --name "^Kestrelpad$" >/dev/null 2>&1 && return 0
               sleep 0.05; done; return 1; }
open_options() { card_shown || fail "$1: no card"; xdotool mousemove 512 384 click 1
                 opt=$(window "Site - Kestrelpad") || fail "$1: no options window"; sleep 0.3
                 eval "$(xdotool getwindowgeometry --shell "$opt")"; }
# A project with stored states, each a few minutes older than the last one.
project() {
  rm -rf "$work/$1"; mkdir -p "$work/$1/Site/docs"; echo "<p>hello</p>" > "$work/$1/Site/index.html"
  echo a > "$work/$1/Site/docs/a.txt"
  NO_FAKE_STAT=1 LD_PRELOAD=$libfaketime FAKETIME="-10m" "$wine" "$build/kpad.exe" store --comment "state one" \
    "$(winpath "$work/$1/Site")" >/dev/null 2>&1 || fail "kpad.exe store"
  echo "$work/$1/Site"
}
newest() { ls "$1/#tarnel"/*.zip | tail -1; }

# The project log: typing on the heading changes nothing, an edit below it saved reaches
# the newest archive (one project.log member); Export writes history.txt.
site=$(project log); start "$site"; open_options log
xdotool mousemove $((X + 319)) $((Y + 65)) click 1                 # "     Project log"
log=$(window "^ Project log$") || fail "no project log window"
eval "$(xdotool getwindowgeometry --shell "$log")"; sleep 0.3
# The window's client area is 766 x 625 below its menu bar.
[ "$WIDTH" = 766 ] || fail "the log window is $WIDTH wide"
shot log
xdotool mousemove $((X + 150)) $((Y + 71)) click 1 type "XX"       # the heading's title line
xdotool key BackSpace Delete
xdotool mousemove $((X + 150)) $((Y + 191)) click 1 key End        # "  state one"
xdotool type " edited"
text=$(drv text "$(drv wait " Project log")" LogMemo1 | tr -d '\r')
grep -q "^  state one edited$" <<<"$text" && grep -q '^  History of the project "Site"$' <<<"$text" ||
  fail "the log window holds: $text"
xdotool mousemove $((X + 24)) $((Y + 8)) click 1; sleep 0.3       # File
shot logmenu
xdotool mousemove $((X + 33)) $((Y + 28)) click 1                  # Save
gone "^ Project log$" || fail "the log window stayed open after Save"
text=$(unzip -p "$(newest "$site")" _kpad_/project.log | tr -d '\r')
grep -q "^  state one edited$" <<<"$text" || fail "the edit was not saved: $text"
grep -q '^  History of the project "Site"$' <<<"$text" || fail "the heading changed: $text"
[ "$(unzip -l "$(newest "$site")" | grep -c _kpad_/project.log)" = 1 ] || fail "project.log is not there once"

eval "$(xdotool getwindowgeometry --shell "$opt")"
xdotool mousemove $((X + 319)) $((Y + 65)) click 1
log=$(window "^ Project log$") || fail "the log window did not open again"
eval "$(xdotool getwindowgeometry --shell "$log")"
xdotool mousemove $((X + 24)) $((Y + 8)) click 1; sleep 0.3
xdotool mousemove $((X + 36)) $((Y + 45)) click 1                  # Export
# The system's file dialog: its name box (cmb13, 1148) set by message, as keys typed into it
# under load now and then lose one; Save pressed as a person does.
save=$(drv wait "Save As" '#32770') || fail "no export dialog"
drv settext "$save" 1148 "$(winpath "$work/history")"; sleep 0.3; shot export
eval "$(xdotool getwindowgeometry --shell "$(window "^Save As$")")"
xdotool mousemove $((X + 435)) $((Y + 190)) click 1                # Save
gone "^ Project log$" || fail "the log window stayed open after Export"
[ -f "$work/history.txt" ] || fail "Export wrote no history.txt"
grep -q $'^  state one edited\r$' "$work/history.txt" || fail "history.txt: $(cat -A "$work/history.txt")"
# Without a window manager nothing gives the options window the keyboard back when the log
# window goes: a click on its "Project status:" label does, as a user's would.
eval "$(xdotool getwindowgeometry --shell "$opt")"
xdotool mousemove $((X + 20)) $((Y + 44)) click 1; sleep 0.3
xdotool key Escape
ended 20 || fail "the run did not end after Cancel"
[ "$(ls "$site/#tarnel"/*.zip | wc -l)" = 1 ] || fail "Cancel stored an archive"

# The Tools page's state menu: "Show changes…" lists what differs from the present, and its
# filter narrows the list; "Copy files out…" writes the ticked file, refuses to replace it
# unasked, and replaces it when asked to.
site=$(project tools)
echo "<p>changed, and longer</p>" > "$site/index.html"; echo new > "$site/new.txt"; rm "$site/docs/a.txt"
state=$(basename "$(newest "$site")")
state_menu() { eval "$(xdotool getwindowgeometry --shell "$opt")"
               xdotool mousemove $((X + 62)) $((Y + 60)) click 3; sleep 0.5    # the newest state
               xdotool mousemove $((X + 120)) $((Y + 60 + $1)) click 1; }
start "$site"; open_options tools
drv tab "$(drv wait "*Site - Kestrelpad")" PageControl1 1; sleep 0.3  # the Tools tab
eval "$(xdotool getwindowgeometry --shell "$opt")"
xdotool mousemove $((X + 62)) $((Y + 60)) click 3; sleep 0.5; shot statemenu
xdotool mousemove $((X + 120)) $((Y + 71)) click 1                # Show changes…
changes=$(window "^Changes since ${state//./\\.}\$") || fail "no Show changes window for $state"
sleep 0.3; shot changes
xdotool type "INDEX"; sleep 0.3; shot changes-filtered
xdotool key Escape; gone "^Changes since" || fail "Escape left Show changes open"

mkdir -p "$work/out"
copy_out() {
  state_menu 28                                                   # Copy files out…
  copy=$(window "^Copy files out of ${state//./\\.}\$") || fail "no Copy files out window for $state"
  eval "$(xdotool getwindowgeometry --shell "$copy")"; sleep 0.3
  xdotool mousemove $((X + 22)) $((Y + 79)) click 1               # Site/index.html
  xdotool mousemove $((X + 288)) $((Y + 344)) click 1 type "$(winpath "$work/out")"
  [ "${1:-}" = replace ] && xdotool mousemove $((X + 18)) $((Y + 372)) click 1
  sleep 0.2; shot "copy-$2"
  xdotool mousemove $((X + 465)) $((Y + 455)) click 1; sleep 0.5  # Copy
}
copy_out "" first
gone "^Copy files out of" || fail "Copy files out stayed open after copying"
[ "$(cat "$work/out/Site/index.html")" = "<p>hello</p>" ] || fail "copied: $(cat "$work/out/Site/index.html")"
[ ! -e "$work/out/Site/docs" ] || fail "a file that was not ticked was copied"
echo kept > "$work/out/Site/index.html"
copy_out "" again; shot copy-refused
window "^Copy files out of" >/dev/null || fail "a refused copy closed the window"
[ "$(cat "$work/out/Site/index.html")" = kept ] || fail "a file was replaced unasked"
xdotool mousemove $((X + 310)) $((Y + 258)) key Return; sleep 0.3 # the message
xdotool mousemove $((X + 540)) $((Y + 455)) click 1               # Close
gone "^Copy files out of" || fail "Close left Copy files out open"
copy_out replace replace
gone "^Copy files out of" || fail "Copy files out stayed open after replacing"
[ "$(cat "$work/out/Site/index.html")" = "<p>hello</p>" ] || fail "not replaced when asked: $(cat "$work/out/Site/index.html")"
# A double click opens the state's archive with the system's program for it; one that has
# gone is reported instead.
rm "$(newest "$site")"
eval "$(xdotool getwindowgeometry --shell "$opt")"
xdotool mousemove $((X + 62)) $((Y + 60)) click --repeat 2 --delay 80 1; sleep 0.5
for _ in $(seq 30); do [ "$(xdotool search --onlyvisible --name "^Kestrelpad$" | wc -l)" -ge 2 ] && break; sleep 0.1; done
[ "$(xdotool search --onlyvisible --name "^Kestrelpad$" | wc -l)" -ge 2 ] || fail "a missing archive was not reported"
shot missing
xdotool mousemove 512 384 key Return; sleep 0.3
xdotool mousemove 512 384 key Escape
ended 20 || fail "the run did not end after Cancel"
[ "$(ls "$site/#tarnel"/*.zip 2>/dev/null | wc -l)" = 0 ] || fail "the state windows stored an archive"

# A state whose archive cannot be read: said when the Tools page first shows it, not before
# (the window opens on the Storing page), and once only.
site="$work/unreadable/Site"; mkdir -p "$site/#tarnel"; echo a > "$site/a.txt"
echo "not an archive at all" > "$site/#tarnel/Site-101203.1500c.zip"
start "$site"; open_options unreadable
opt=$(drv wait "*Site - Kestrelpad")
! KPDRIVER_TIMEOUT=1 drv wait Kestrelpad '#32770' >/dev/null 2>&1 || fail "the damaged state was reported before the Tools page showed"
drv tab "$opt" PageControl1 1
message=$(drv wait Kestrelpad '#32770') || fail "the damaged state's comment was not reported"
shot unreadable
drv texts "$message" | grep -q "Site-101203.1500c.zip: it is not a ZIP archive" || fail "the report: $(drv texts "$message")"
drv click "$message" OK; drv gone "$message" || fail "the report stayed"
drv tab "$opt" PageControl1 0; drv tab "$opt" PageControl1 1
! KPDRIVER_TIMEOUT=1 drv wait Kestrelpad '#32770' >/dev/null 2>&1 || fail "the damaged state was reported twice"
drv click "$opt" Cancel
ended 20 || fail "the run did not end after Cancel"

echo "dialogs: all cases passed"
