#!/usr/bin/env bash
# kestrelpad.exe under Wine on a private X server, driven with real clicks and keys: a plain
# run stores after its tick and ends; a click opens the options window, where a typed comment
# and Ctrl+Return store it; Escape (Cancel) stores nothing; a bad version part keeps the
# window open with its message; the Tools page restores the second of three states; the
# status box and the Settings page reach the archive and setting.ini; OK waits out a
# repeated minute; --choose runs on the folder chosen and ends without a run on Cancel.
# Screenshots of each window are left in the work folder's shots/ when KP_KEEP_SHOTS is set.
# Usage: tests/win/desktop.sh BUILD_WINDOWS_FOLDER
set -euo pipefail

name=desktop
source "$(dirname "$0")/session.bash"
project() { rm -rf "$work/$1"; mkdir -p "$work/$1/Site/docs"; echo "<html></html>" > "$work/$1/Site/index.html"
            echo notes > "$work/$1/Site/docs/notes.txt"; echo "$work/$1/Site"; }
archives() { ls "$1/#tarnel"/*.zip 2>/dev/null | wc -l; }
start() { "$wine" "$exe" "Z:$(echo "$1" | tr / '\\')" >/dev/null 2>&1 & run=$!; }
# Waits for the run to end by itself (seconds).
ended() { for _ in $(seq $(($1 * 10))); do kill -0 "$run" 2>/dev/null || { run=; return 0; }; sleep 0.1; done; return 1; }
# The options window's caption begins with spaces; its name is the project's.
options_window() { for _ in $(seq 50); do w=$(xdotool search --name "Site - Kestrelpad" 2>/dev/null | head -1)
                   [ -n "$w" ] && { echo "$w"; return 0; }; sleep 0.1; done; return 1; }
# The click must come while the card is up, before the run's first tick.
card_shown() { for _ in $(seq 100); do xdotool search --onlyvisible --name "^Kestrelpad$" >/dev/null 2>&1 && return 0
               sleep 0.05; done; return 1; }
# Waits for the card (and every message box) to go.
card_gone() { for _ in $(seq 50); do xdotool search --onlyvisible --name "^Kestrelpad$" >/dev/null 2>&1 || return 0
              sleep 0.1; done; return 1; }
# A message box: a window titled "Kestrelpad" other than the 500 x 250 card. (Wine takes a
# click on its button only when the button is held down for a moment.)
message_box() { for _ in $(seq 30); do
                  for w in $(xdotool search --onlyvisible --name "^Kestrelpad$" 2>/dev/null); do
                    [[ $(xdotool getwindowgeometry "$w") == *"Geometry: 500x250"* ]] || { sleep 0.3; echo "$w"; return 0; }
                  done; sleep 0.1; done; return 1; }
open_options() { card_shown || fail "$2: no card"; xdotool mousemove 512 384 click 1; options_window >/dev/null || fail "$2: no options window"; sleep 0.3; }
# The chooser of --choose.
chooser() { for _ in $(seq 100); do w=$(xdotool search --onlyvisible --name "^Choose the project - Kestrelpad$" 2>/dev/null | head -1)
            [ -n "$w" ] && { echo "$w"; return 0; }; sleep 0.1; done; return 1; }
# setting.ini and the remembered project live here (the prefix's user's local application data).
settings_dir=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Local)/TarnelSoftware
rm -rf "$settings_dir" # every case starts with the default settings

# A plain run stores after its tick and ends by itself.
site=$(project plain); start "$site"; sleep 0.8; shot card
ended 20 || fail "plain run did not end"
[ "$(archives "$site")" = 1 ] || fail "plain run stored $(archives "$site") archives"

# A click opens the options window with the comment box focused; Return is a line break,
# Ctrl+Return is OK and stores the comment, with the status chosen in the status box
# ("valuable", by the keyboard).
site=$(project comment); start "$site"; open_options "$site" comment; shot options
xdotool type "first line"; xdotool key Return; xdotool type "second line"
opt=$(options_window)
eval "$(xdotool getwindowgeometry --shell "$opt")"
xdotool mousemove $((X + 180)) $((Y + 42)) click 1; sleep 0.3      # the status box
xdotool key Down Down Down Return; sleep 0.3; shot status
xdotool mousemove $((X + 200)) $((Y + 180)) click 1; xdotool key ctrl+Return
ended 20 || fail "run with a comment did not end"
[ "$(archives "$site")" = 1 ] || fail "OK stored $(archives "$site") archives"
log=$(unzip -p "$site/#tarnel"/*.zip _kpad_/project.log | tr -d '\r')
grep -q "first line" <<<"$log" && grep -q "second line" <<<"$log" || fail "comment not in the log: $log"
unzip -p "$site/#tarnel"/*.zip _kpad_/project.set | tr -d '\r' | grep -q "ps:3" || fail "the chosen status is not in the archive"

# Escape is Cancel: nothing is stored. Before it, on the Settings page: the comment language
# saved before (Russian, which the run switches on) changed back to US English, Standard
# stepped down by its up-down, Important by a wheel notch over its value, " Show window"
# and " Show tarnel folder" unticked; Save says what an unticked " Show window" means, hides
# the card and writes them into setting.ini.
rm -rf "$settings_dir"; mkdir -p "$settings_dir/Kestrelpad"
printf '[Setting]\r\nUserPreferences= cL:00000419,hv:18\\19\\20,mnp:5,ws:1,ds:1\r\n' > "$settings_dir/Kestrelpad/setting.ini"
site=$(project cancel); start "$site"; open_options "$site" cancel
xdotool type "not stored"
opt=$(options_window)
eval "$(xdotool getwindowgeometry --shell "$opt")"
xdotool mousemove $((X + 150)) $((Y + 12)) click 1; sleep 0.3      # the Settings tab
xdotool mousemove $((X + 280)) $((Y + 48)) click 1; sleep 0.3      # the comment language
xdotool key Up Return; sleep 0.2
xdotool mousemove $((X + 240)) $((Y + 128)) click 1; sleep 0.2     # Standard's down arrow
xdotool mousemove $((X + 297)) $((Y + 98)) click 1; sleep 0.2      # "Important" focuses its value
xdotool click 5; sleep 0.2                                         # a wheel notch down
xdotool mousemove $((X + 30)) $((Y + 196)) click 1; sleep 0.2      # Show window
xdotool mousemove $((X + 185)) $((Y + 196)) click 1; sleep 0.2     # Show tarnel folder
shot settings
xdotool mousemove $((X + 369)) $((Y + 280)) click 1; sleep 0.5     # Save
message=$(message_box) || fail "Save did not say what an unticked Show window means"
eval "$(xdotool getwindowgeometry --shell "$message")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 20)) mousedown 1 sleep 0.1 mouseup 1  # its OK
card_gone || fail "the card is still shown after Save without Show window"
eval "$(xdotool getwindowgeometry --shell "$opt")"
ini=$settings_dir/Kestrelpad/setting.ini
tr -d '\0\r' < "$ini" | grep -q 'cL:00000409,hv:17\\18\\20,mnp:5,ws:0,ds:0' || fail "setting.ini: $(tr -d '\0\r' < "$ini")"
rm -rf "$settings_dir"
xdotool mousemove $((X + 30)) $((Y + 12)) click 1; sleep 0.3       # back to Storing
xdotool mousemove $((X + 200)) $((Y + 180)) key Escape
ended 20 || fail "cancelled run did not end"
[ "$(archives "$site")" = 0 ] || fail "Cancel stored an archive"

# A bad version part keeps the window open with its message; the run stores nothing yet.
site=$(project version); start "$site"; open_options "$site" version
opt=$(options_window)
eval "$(xdotool getwindowgeometry --shell "$opt")"
# The Add new version box, then "x" typed into the first part, then OK.
xdotool mousemove $((X + 300)) $((Y + 222)) click 1; sleep 0.2
xdotool mousemove $((X + 80)) $((Y + 222)) click 1 type "x"
xdotool mousemove $((X + 260)) $((Y + 278)) click 1; sleep 1; shot version
[ "$(archives "$site")" = 0 ] || fail "a bad version part stored an archive"
options_window >/dev/null || fail "the options window closed after a bad version part"
kill "$run" 2>/dev/null || true; run=

# The Tools page restores the second of three states (the list is newest first), after
# storing the present one. Each state gets its own minute, as a run waits for one.
site=$(project restore)
for i in 1 2 3; do
  # Sizes differ: the stores are seconds apart, within one file time of the archive.
  printf 'state %d%*s' "$i" "$i" "" > "$site/state.txt"
  NO_FAKE_STAT=1 faketime -f "-$((40 - i * 10))m" "$wine" "$build/kpad.exe" store --comment "state $i" \
    "Z:$(echo "$site" | tr / '\\')" >/dev/null 2>&1 || fail "kpad.exe store $i"
done
echo present > "$site/state.txt"
start "$site"; open_options "$site" restore
opt=$(options_window)
eval "$(xdotool getwindowgeometry --shell "$opt")"
xdotool mousemove $((X + 90)) $((Y + 12)) click 1; sleep 0.3      # the Tools tab
xdotool mousemove $((X + 60)) $((Y + 74)) click 1; sleep 0.3      # the second row
xdotool mousemove $((X + 17)) $((Y + 279)) click 1; sleep 0.3     # Activate project recovery
shot tools
xdotool mousemove $((X + 338)) $((Y + 278)) click 1               # Replace chosen state
ended 30 || fail "restoring run did not end"
[ "$(cat "$site/state.txt")" = "state 2  " ] || fail "restored: $(cat "$site/state.txt")"
[ "$(archives "$site")" = 4 ] || fail "the present state was not stored before the restore"

# The repeated minute: an archive of this minute exists, so the options window opens by
# itself and OK waits for the next minute (the countdown on the message line); once it has
# passed, Ctrl+Return stores. The run's fake clock starts at second 50 as Wine starts the
# program, which under load takes seconds of it; the window opened, the minute ends within
# ten seconds.
site=$(project repeated)
minute=$(( $(date +%s) / 60 * 60 + 60 ))
at() { date -d "@$((minute + $1))" '+%Y-%m-%d %H:%M:%S'; } # seconds into one minute
NO_FAKE_STAT=1 faketime "$(at 46)" "$wine" "$build/kpad.exe" store --comment first "Z:$(echo "$site" | tr / '\\')" >/dev/null 2>&1 ||
  fail "kpad.exe store"
echo changed > "$site/index.html"
NO_FAKE_STAT=1 faketime "$(at 50)" "$wine" "$exe" "Z:$(echo "$site" | tr / '\\')" >/dev/null 2>&1 & run=$!
for _ in 1 2 3; do options_window >/dev/null && break; done || { shot repeated; fail "repeated: no options window"; }
opened=$(date +%s%N); sleep 0.5; shot countdown
xdotool mousemove 512 384 type "second"; xdotool key ctrl+Return; sleep 0.5
[ "$(archives "$site")" = 1 ] || fail "OK was usable during the repeated minute"
sleep "$(awk -v ns=$(( opened + 10500000000 - $(date +%s%N) )) 'BEGIN { print (ns > 0 ? ns / 1e9 : 0) }')"
xdotool key ctrl+Return
ended 20 || fail "the run did not end after the countdown"
[ "$(archives "$site")" = 2 ] || fail "OK after the countdown stored $(archives "$site") archives"

# The Start menu's start (--choose): the system's file dialog; a folder typed and opened,
# then "Choose folder", runs on that folder, which is remembered for the next start; there
# Cancel (Escape) ends the program without a run.
rm -rf "$settings_dir"
site=$(project chooser)
"$wine" "$exe" --choose >/dev/null 2>&1 & run=$!
w=$(chooser) || fail "no chooser"
eval "$(xdotool getwindowgeometry --shell "$w")"
xdotool mousemove $((X + 400)) $((Y + 442)) click 1 type "Z:$(echo "$site" | tr / '\\')"
xdotool key Return; sleep 0.5; shot chooser
xdotool mousemove $((X + 184)) $((Y + 417)) click 1                # Choose folder
ended 20 || fail "the run on the chosen folder did not end"
[ "$(archives "$site")" = 1 ] || fail "the chosen folder was not stored"
grep -qi "^Z:/.*/chooser/Site" "$settings_dir/Kestrelpad/last-project" || fail "the chosen folder was not remembered"
"$wine" "$exe" --choose >/dev/null 2>&1 & run=$!
w=$(chooser) || fail "no chooser the second time"
xdotool mousemove $((X + 400)) $((Y + 442)) key Escape
ended 10 || fail "Cancel did not end the program"
[ "$(archives "$site")" = 1 ] || fail "a cancelled chooser ran the project"
rm -rf "$settings_dir"
echo "desktop: all cases passed"
