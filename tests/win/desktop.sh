#!/usr/bin/env bash
# kestrelpad.exe under Wine on a private X server, driven with real clicks and keys where a
# person's action is the point, and otherwise by window messages through kpdriver.exe, which
# also reads the windows' texts and states: a plain run stores after its tick and ends; a
# click opens the options window, where a typed comment and Ctrl+Return store it; Ctrl opens
# it too, and Escape (Cancel) stores nothing; a bad version part keeps the
# window open with its message; the Tools page restores the second of three states; the
# status box and the Settings page reach the archive and setting.ini; OK waits out a
# repeated minute; --choose runs on the folder chosen and ends without a run on Cancel.
# Screenshots of each window are left in the work folder's shots/ when KP_KEEP_SHOTS is set.
# Usage: tests/win/desktop.sh BUILD_WINDOWS_FOLDER
set -euo pipefail

name=desktop
source "$(dirname "$0")/session.bash"
drv() { "$wine" "$build/kpdriver.exe" "$@"; }
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
open_options() { card_shown || fail "$2: no card"; xdotool mousemove 512 384 click 1; options_window >/dev/null || fail "$2: no options window"; sleep 0.3; }
# The chooser of --choose.
chooser() { for _ in $(seq 100); do w=$(xdotool search --onlyvisible --name "^Choose the project - Kestrelpad$" 2>/dev/null | head -1)
            [ -n "$w" ] && { echo "$w"; return 0; }; sleep 0.1; done; return 1; }
# setting.ini and the remembered project live here (the prefix's user's local application data).
settings_dir=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Local)/TarnelSoftware
rm -rf "$settings_dir" # every case starts with the default settings

# A plain run stores after its tick and ends by itself; the card names the project and the
# archive it is about to write.
site=$(project plain); start "$site"
card=$(drv wait Kestrelpad KestrelpadCard) || fail "plain run: no card"
[ "$(drv text "$card" CardLabel5)" = Site ] || fail "the card names the project $(drv text "$card" CardLabel5)"
[[ $(drv text "$card" CardLabel2) == Kestrelpad-[0-9]* ]] || fail "the card's title: $(drv text "$card" CardLabel2)"
[ "$(drv text "$card" CardLabel7)" = "[ default ]" ] || fail "the card's status: $(drv text "$card" CardLabel7)"
[[ $(drv text "$card" CardLabel1) == "Disk Space: "*" MB" ]] || fail "the card's disk space: $(drv text "$card" CardLabel1)"
stamp=$(drv text "$card" CardLabel4); shot card
ended 20 || fail "plain run did not end"
[ "$(archives "$site")" = 1 ] || fail "plain run stored $(archives "$site") archives"
[ -f "$site/#tarnel/Site-$stamp.zip" ] || fail "the card showed \"$stamp\", the archive is $(ls "$site/#tarnel")"

# A click opens the options window with the comment box focused; Return is a line break,
# Ctrl+Return is OK and stores the comment, with the status chosen in the status box.
site=$(project comment); start "$site"; open_options "$site" comment; shot options
opt=$(drv wait "*Site - Kestrelpad")
[ "$(drv text "$opt" .)" = "   Site - Kestrelpad" ] || fail "the options window's caption: $(drv text "$opt" .)"
[ "$(drv text "$opt" Label6)" = "Project status: " ] && [ "$(drv text "$opt" Label1)" = "Archive comment:" ] ||
  fail "the Storing page's labels: $(drv texts "$opt")"
[ "$(drv state "$opt" Edit6)" = "visible disabled" ] || fail "the version parts can be edited before Add new version"
xdotool type "first line"; xdotool key Return; xdotool type "second line"
drv select "$opt" ComboBox2 3; sleep 0.2; shot status
[ "$(drv text "$opt" Edit15)" = "  valuable" ] || fail "the status box shows $(drv text "$opt" Edit15)"
[ "$(drv text "$opt" Memo1)" = $'first line\r\nsecond line' ] || fail "the comment box holds $(drv text "$opt" Memo1)"
eval "$(xdotool getwindowgeometry --shell "$(options_window)")"
xdotool mousemove $((X + 200)) $((Y + 180)) click 1; xdotool key ctrl+Return
ended 20 || fail "run with a comment did not end"
[ "$(archives "$site")" = 1 ] || fail "OK stored $(archives "$site") archives"
log=$(unzip -p "$site/#tarnel"/*.zip _kpad_/project.log | tr -d '\r')
grep -q "first line" <<<"$log" && grep -q "second line" <<<"$log" || fail "comment not in the log: $log"
unzip -p "$site/#tarnel"/*.zip _kpad_/project.set | tr -d '\r' | grep -q "ps:3" || fail "the chosen status is not in the archive"

# Ctrl held over the card opens the options window too. Escape is Cancel: nothing is stored.
# Before it, on the Settings page: the comment language saved before (Russian, which the run
# switches on) changed back to US English, Standard set by its up-down (within its bounds:
# Important is 19), Important stepped by a wheel notch over its value, " Show window" and
# " Show tarnel folder" unticked; Save says what an unticked " Show window" means, hides the
# card and writes them into setting.ini.
rm -rf "$settings_dir"; mkdir -p "$settings_dir/Kestrelpad"
printf '[Setting]\r\nUserPreferences= cL:00000419,hv:18\\19\\20,mnp:5,ws:1,ds:1\r\n' > "$settings_dir/Kestrelpad/setting.ini"
site=$(project cancel); start "$site"
card_shown || fail "cancel: no card"
xdotool mousemove 512 384 keydown ctrl
opt=$(drv wait "*Site - Kestrelpad") || { xdotool keyup ctrl; fail "Ctrl did not open the options window"; }
xdotool keyup ctrl
sleep 0.3; xdotool type "not stored"
drv tab "$opt" PageControl1 2; sleep 0.3
[ "$(drv state "$opt" ComboBox1)" = "visible enabled" ] && [ "$(drv state "$opt" Memo1)" = "hidden enabled" ] ||
  fail "the Settings tab did not show its page"
[ "$(drv text "$opt" Label2)" = "Comment language:" ] || fail "the Settings page's label: $(drv text "$opt" Label2)"
us=$(drv list "$opt" ComboBox1 | grep -n "English (United States)" | cut -d: -f1)
[ -n "$us" ] || fail "no US English among the languages: $(drv list "$opt" ComboBox1)"
drv select "$opt" ComboBox1 $((us - 1))
drv updown "$opt" UpDown1 25                                       # beyond Important: refused
[ "$(drv text "$opt" Edit1)" = 18 ] || fail "Standard passed Important: $(drv text "$opt" Edit1)"
drv updown "$opt" UpDown1 17
[ "$(drv text "$opt" Edit7)" = "   17" ] || fail "Standard shows $(drv text "$opt" Edit7)"
eval "$(xdotool getwindowgeometry --shell "$opt")"
xdotool mousemove $((X + 297)) $((Y + 98)) click 1; sleep 0.2      # "Important" focuses its value
xdotool click 5; sleep 0.2                                         # a wheel notch down
[ "$(drv text "$opt" Edit3)" = 18 ] || fail "the wheel left Important at $(drv text "$opt" Edit3)"
drv click "$opt" CheckBox4; drv click "$opt" CheckBox3; sleep 0.3
[ "$(drv state "$opt" CheckBox4)" = "visible enabled unchecked" ] || fail "Show window: $(drv state "$opt" CheckBox4)"
shot settings
drv click "$opt" Button2
message=$(drv wait Kestrelpad '#32770') || fail "Save did not say what an unticked Show window means"
drv texts "$message" | grep -q '"Show window" is unchecked' || fail "Save's message: $(drv texts "$message")"
drv click "$message" OK
drv gone "$card" || fail "the card is still shown after Save without Show window"
ini=$settings_dir/Kestrelpad/setting.ini
tr -d '\0\r' < "$ini" | grep -q 'cL:00000409,hv:17\\18\\20,mnp:5,ws:0,ds:0' || fail "setting.ini: $(tr -d '\0\r' < "$ini")"
rm -rf "$settings_dir"
drv tab "$opt" PageControl1 0; sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$opt")"
xdotool mousemove $((X + 200)) $((Y + 180)) click 1 key Escape
ended 20 || fail "cancelled run did not end"
[ "$(archives "$site")" = 0 ] || fail "Cancel stored an archive"

# A bad version part keeps the window open with its message; the run stores nothing yet.
site=$(project version); start "$site"; open_options "$site" version
opt=$(drv wait "*Site - Kestrelpad")
drv click "$opt" CheckBox5; sleep 0.2
[ "$(drv state "$opt" Edit6)" = "visible enabled" ] || fail "Add new version left the parts disabled"
drv settext "$opt" Edit6 x; drv click "$opt" OK
message=$(drv wait Kestrelpad '#32770') || fail "a bad version part was not reported"
drv texts "$message" | grep -q "Check value for part 1 of version" || fail "the version message: $(drv texts "$message")"
shot version
drv click "$message" OK; drv gone "$message" || fail "the version message stayed"
[ "$(archives "$site")" = 0 ] || fail "a bad version part stored an archive"
drv wait "$opt" >/dev/null || fail "the options window closed after a bad version part"
kill "$run" 2>/dev/null || true; run=

# The Tools page restores the second of three states (the list is newest first), after
# storing the present one. Each state gets its own minute, as a run waits for one.
site=$(project restore)
for i in 1 2 3; do
  # Sizes differ: the stores are seconds apart, within one file time of the archive.
  printf 'state %d%*s' "$i" "$i" "" > "$site/state.txt"
  NO_FAKE_STAT=1 LD_PRELOAD=$libfaketime FAKETIME="-$((40 - i * 10))m" "$wine" "$build/kpad.exe" store --comment "state $i" \
    "Z:$(echo "$site" | tr / '\\')" >/dev/null 2>&1 || fail "kpad.exe store $i"
done
echo present > "$site/state.txt"
start "$site"; open_options "$site" restore
opt=$(drv wait "*Site - Kestrelpad")
drv tab "$opt" PageControl1 1; sleep 0.3
rows=$(drv list "$opt" ListBox1)
[ "$(wc -l <<<"$rows")" = 3 ] && [[ $(head -1 <<<"$rows") == "* "* ]] || fail "the states list: $rows"
[ "$(drv text "$opt" Label18)" = 3 ] || fail "the states' number: $(drv text "$opt" Label18)"
drv select "$opt" ListBox1 1; sleep 0.2
[[ $(drv text "$opt" Memo3) == *"state 2"* ]] || fail "the second state's comment: $(drv text "$opt" Memo3)"
[ "$(drv text "$opt" Label21)" = 2 ] || fail "the chosen state's position: $(drv text "$opt" Label21)"
[ "$(drv state "$opt" Button3)" = "visible disabled" ] || fail "Replace chosen state usable before recovery is on"
drv click "$opt" CheckBox2; sleep 0.3
[ "$(drv state "$opt" Button3)" = "visible enabled" ] || fail "Activate project recovery left Replace disabled"
shot tools
drv click "$opt" Button3
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
opt=$(drv wait "*Site - Kestrelpad")
[ "$(drv state "$opt" OK)" = "visible disabled" ] || fail "OK was usable during the repeated minute"
[[ $(drv text "$opt" Label4) == *[0-9]* ]] || fail "no countdown on the message line: $(drv text "$opt" Label4)"
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
