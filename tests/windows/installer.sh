#!/usr/bin/env bash
# The portable zip's contents, then the setup program under Wine in the build's private
# prefix, once for the user alone (/CURRENTUSER: Wine runs every program elevated) and once
# for all users: /S installs the files, the Start-menu shortcuts and every registry key,
# under HKCU or HKLM and nowhere else; for the user alone, the three context-menu command lines read from the registry
# store a folder, a file and an open folder; the uninstaller with /S removes all of it and
# leaves the settings file, the projects' #tarnel folders and a file of the user's.
# kestrelpad.exe shows its card, so the session runs on a private X server.
# Usage: tests/windows/installer.sh BUILD_WINDOWS_FOLDER VERSION
set -euo pipefail

build=$(realpath "$1")
version=$2
root=$(realpath "$(dirname "$0")/../..")
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
setup="$build/Kestrelpad-$version-setup.exe"

fail() { echo "installer: $*" >&2; exit 1; }
[ -f "$setup" ] || fail "$setup is missing (make package-windows)"

# The portable zip: the same files, in one folder named like the zip.
zip="$build/Kestrelpad-$version-win64.zip"
diff <(unzip -Z1 "$zip" | sort) <(printf "Kestrelpad-$version-win64/%s\n" "" kestrelpad.exe kpad.exe Kestrelpad.chm \
                                   README.txt License.txt | sort) || fail "$zip: contents differ (< found, > expected)"

uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrelpad'
verb_keys=('Software\Classes\*\shell\Kestrelpad' 'Software\Classes\Directory\shell\Kestrelpad'
           'Software\Classes\Directory\Background\shell\Kestrelpad')
verb_args=('%1' '%1' '%V')
installed_files=(kestrelpad.exe kpad.exe Kestrelpad.chm README.txt License.txt Uninstall.exe)
shortcuts=("Kestrelpad.lnk" "Kestrelpad help.lnk")

winecmd() { "$wine" "$@" 2>/dev/null | tr -d '\r'; }
unix() { winecmd winepath -u "$1"; }
win() { echo "Z:$1" | tr / '\\'; }
# The values of a key and its subkeys, sorted, one a line: SUBKEY|NAME|DATA, SUBKEY relative
# to the key ("" for itself), NAME "(Default)" for a default value.
values() {
  winecmd reg query "$1" /s | awk -F '    ' -v key="${1#*\\}" '
    /^HKEY_/ { sub(/^[^\\]*\\/, ""); rel = substr($0, length(key) + 1); next }
    NF >= 4  { print rel "|" $2 "|" $4 }' | sort
}
has_key() { winecmd reg query "$1" >/dev/null; }
# Every key of an installation, whatever is left of it, and its folders (one regedit for
# the keys: each Wine program takes a while to start): a test that failed half-way must
# not leave the next one an installation.
scrub() {
  { echo REGEDIT4
    for hive in HKEY_CURRENT_USER HKEY_LOCAL_MACHINE; do
      for key in "$uninstall_key" "${verb_keys[@]}"; do printf '[-%s\\%s]\n' "$hive" "$key"; done
    done; } > "$work/scrub.reg"
  winecmd regedit /S "$(win "$work/scrub.reg")" >/dev/null || true
  rm -rf "$user_dir" "$user_menu" "$all_dir" "$all_menu"
}

work=$(mktemp -d "$build/installer.XXXXXX")
# A display of our own: Wine's desktop process must be started with it, so the session is
# restarted here (the test runs alone), and again without it at the end.
display=:$((70 + RANDOM % 200))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
cleanup() {
  scrub || true
  if [ -n "$settings_backup" ]; then cp "$settings_backup" "$settings"; elif [ -n "$settings" ]; then rm -f "$settings"; fi
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  DISPLAY= "$root/scripts/wine-session.sh" start "$build" || true
  rm -rf "$work"
}
settings="" settings_backup="" user_dir="" user_menu="" all_dir="" all_menu=""
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
wineserver -k 2>/dev/null || true
"$root/scripts/wine-session.sh" start "$build"

# The folders of each scope, as Windows paths and as paths here.
{ read -r local_appdata; read -r appdata; read -r programdata; read -r programfiles; } < <(
  winecmd cmd /c 'echo %LOCALAPPDATA%& echo %APPDATA%& echo %ProgramData%& echo %ProgramW6432%')
user_dir_win="$local_appdata\\Programs\\Kestrelpad"
all_dir_win="$programfiles\\Kestrelpad"
user_dir=$(unix "$user_dir_win")
all_dir=$(unix "$all_dir_win")
user_menu=$(unix "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Kestrelpad")
all_menu=$(unix "$programdata\\Microsoft\\Windows\\Start Menu\\Programs\\Kestrelpad")
settings=$(unix "$local_appdata\\TarnelSoftware\\Kestrelpad\\setting.ini")
if [ -f "$settings" ]; then settings_backup="$work/setting.ini.before"; cp "$settings" "$settings_backup"; fi
scrub

# HIVE DIR_WIN DIR MENU OTHER_HIVE: everything in place, in HIVE alone.
check_installed() {
  local hive=$1 dir_win=$2 dir=$3 menu=$4 other=$5 i key
  for f in "${installed_files[@]}"; do [ -s "$dir/$f" ] || fail "$hive: $dir/$f is missing"; done
  for f in "${shortcuts[@]}"; do [ -s "$menu/$f" ] || fail "$hive: the shortcut $menu/$f is missing"; done
  # The menu's start lets the user choose the project (the link keeps its arguments in UTF-16).
  tr -d '\0' < "$menu/Kestrelpad.lnk" | grep -qa -- "--choose" || fail "$hive: the menu's shortcut does not pass --choose"
  for i in "${!verb_keys[@]}"; do
    key="$hive\\${verb_keys[$i]}"
    diff <(values "$key") <(printf '%s\n' "|(Default)|Back up with Kestrelpad" "|Icon|$dir_win\\kestrelpad.exe" \
                              "\\command|(Default)|\"$dir_win\\kestrelpad.exe\" \"${verb_args[$i]}\"" | sort) ||
      fail "$key: values differ (< found, > expected)"
    ! has_key "$other\\${verb_keys[$i]}" || fail "$other\\${verb_keys[$i]} written as well"
  done
  key="$hive\\$uninstall_key"
  local listing size installed
  listing=$(values "$key")
  diff <(grep -v '|EstimatedSize|' <<<"$listing") <(printf '%s\n' "|DisplayIcon|$dir_win\\kestrelpad.exe" \
      "|DisplayName|Kestrelpad" "|DisplayVersion|$version" "|InstallLocation|$dir_win" "|NoModify|0x1" \
      "|NoRepair|0x1" "|Publisher|Tarnel Software" "|QuietUninstallString|\"$dir_win\\Uninstall.exe\" /S" \
      "|UninstallString|\"$dir_win\\Uninstall.exe\"" | sort) || fail "$key: values differ (< found, > expected)"
  # The size in KiB of what was installed (the uninstaller left out).
  size=$(($(sed -n 's/^|EstimatedSize|//p' <<<"$listing")))
  installed=$(du -k --apparent-size -c "$dir"/{kestrelpad.exe,kpad.exe,Kestrelpad.chm,README.txt,License.txt} | tail -1 | cut -f1)
  [ "$size" -ge "$((installed - 8))" ] && [ "$size" -le "$((installed + 8))" ] ||
    fail "$key: EstimatedSize $size KiB, installed $installed KiB"
  ! has_key "$other\\$uninstall_key" || fail "$other\\$uninstall_key written as well"
}

# Runs the uninstaller silently and waits until it is done: Wine's uninstaller copies
# itself to a temporary folder, starts the copy and ends at once.
uninstall() {
  local dir_win=$1 dir=$2
  "$wine" "$dir_win\\Uninstall.exe" /S >/dev/null 2>&1 || fail "$dir_win\\Uninstall.exe /S failed"
  for _ in $(seq 300); do
    [ -e "$dir/Uninstall.exe" ] || [ -e "$dir/kestrelpad.exe" ] || return 0
    sleep 0.1
  done
  fail "the uninstaller did not end within 30 s"
}

# HIVE DIR MENU: nothing of the installation is left.
check_removed() {
  local hive=$1 dir=$2 menu=$3
  for f in "${installed_files[@]}"; do [ ! -e "$dir/$f" ] || fail "$hive: $dir/$f was left"; done
  [ ! -e "$menu" ] || fail "$hive: the Start-menu folder $menu was left"
  for key in "$uninstall_key" "${verb_keys[@]}"; do ! has_key "$hive\\$key" || fail "$hive\\$key was left"; done
}

archives() { ls "$1"/#tarnel/"$2"-*.zip 2>/dev/null | wc -l; }
# One archive each of the three projects the verbs stored.
check_stored() {
  [ "$(archives "$work/File" letter.txt)" = 1 ] || fail "$1: no archive of letter.txt"
  [ "$(archives "$work/Folder/Site" Site)" = 1 ] || fail "$1: no archive of the folder Site"
  [ "$(archives "$work/Open/Site" Site)" = 1 ] || fail "$1: no archive of the open folder Site"
}

# 1. For the user alone.
"$wine" "$setup" /S /CURRENTUSER >/dev/null 2>&1 || fail "setup /S /CURRENTUSER failed"
check_installed HKCU "$user_dir_win" "$user_dir" "$user_menu" HKLM

# Each verb's command line, as Explorer would run it: a file, a folder, and the open folder
# (the background's verb), all three at once as they are three projects. Each run stores
# after its tick and ends by itself.
mkdir -p "$work/Folder/Site/docs" "$work/File" "$work/Open/Site"
echo "<html></html>" > "$work/Folder/Site/index.html"; echo notes > "$work/Folder/Site/docs/notes.txt"
echo "a letter" > "$work/File/letter.txt"
echo "open" > "$work/Open/Site/open.txt"
targets=("$work/File/letter.txt" "$work/Folder/Site" "$work/Open/Site")
runs=()
for i in "${!verb_keys[@]}"; do
  line=$(values "HKCU\\${verb_keys[$i]}\\command" | sed -n 's/^|(Default)|//p')
  [[ $line =~ ^\"([^\"]+)\"\ \"(%1|%V)\"$ ]] || fail "unexpected command line: $line"
  timeout 60 "$wine" "${BASH_REMATCH[1]}" "$(win "${targets[$i]}")" >/dev/null 2>&1 &
  runs+=($!)
done
for i in "${!runs[@]}"; do wait "${runs[$i]}" || fail "the run on ${targets[$i]} did not end within 60 s"; done
check_stored "after the verbs' runs"

# The settings file (saved by the installed kpad.exe) and a file of the user's in the
# program's folder stay with the archives.
"$wine" "$user_dir_win\\kpad.exe" settings mnp:3 >/dev/null 2>&1 || fail "kpad.exe settings mnp:3"
[ -s "$settings" ] || fail "kpad.exe saved no $settings"
echo mine > "$user_dir/notes.txt"
uninstall "$user_dir_win" "$user_dir"
check_removed HKCU "$user_dir" "$user_menu"
[ -s "$settings" ] || fail "the uninstaller removed setting.ini"
[ -s "$user_dir/notes.txt" ] || fail "the uninstaller removed the user's file in its folder"
check_stored "after uninstalling"

# 2. For all users: Wine runs the setup program elevated.
"$wine" "$setup" /S >/dev/null 2>&1 || fail "setup /S failed"
check_installed HKLM "$all_dir_win" "$all_dir" "$all_menu" HKCU
uninstall "$all_dir_win" "$all_dir"
check_removed HKLM "$all_dir" "$all_menu"
for _ in $(seq 50); do [ -e "$all_dir" ] || break; sleep 0.1; done
[ ! -e "$all_dir" ] || fail "the empty program folder $all_dir was left"
echo "installer: all cases passed"
