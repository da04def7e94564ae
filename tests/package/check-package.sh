#!/usr/bin/env bash
# Builds the Debian package from a finished build tree and checks it as a user would meet it:
# unpacked into a scratch root, kpad stores and verifies a small project from there; the
# desktop entry, lintian and both manual pages must be free of errors and warnings, and the
# desktop entry must never make Kestrelpad a default opener.
# Usage: check-package.sh BUILD_DIR CMAKE_COMMAND VERSION
set -euo pipefail
build=$1 cmake=$2 version=$3
cpack=$(dirname "$cmake")/cpack
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The help file lies beside the binaries of the build tree.
[ -s "$build/Kestrelpad.chm" ] || fail "$build/Kestrelpad.chm is missing"

echo "== cpack"
(cd "$build" && "$cpack" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/kestrelpad_"$version"-*.deb)
[ -f "${debs[0]}" ] || fail "no package kestrelpad_$version-*.deb in $work/out"
deb=${debs[0]}
echo "$(basename "$deb")"
dpkg-deb --field "$deb" Package Version Depends

echo "== contents"
root=$work/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/kestrelpad usr/bin/kpad \
         usr/share/kestrelpad/Kestrelpad.chm usr/share/kestrelpad/help/index.html \
         usr/share/applications/kestrelpad.desktop \
         usr/share/icons/hicolor/scalable/apps/kestrelpad.svg \
         usr/share/man/man1/kpad.1.gz usr/share/man/man1/kestrelpad.1.gz \
         usr/share/bash-completion/completions/kpad \
         usr/share/kio/servicemenus/kestrelpad-dolphin.desktop \
         usr/share/nemo/actions/kestrelpad.nemo_action \
         usr/share/file-manager/actions/kestrelpad-caja.desktop \
         usr/share/kestrelpad/file-manager/back-up-with-kestrelpad \
         usr/share/doc/kestrelpad/copyright usr/share/doc/kestrelpad/changelog.Debian.gz; do
  [ -s "$root/$f" ] || fail "the package lacks /$f"
done
for size in 16 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/kestrelpad.png
  file "$png" | grep -q "PNG image data, $size x $size," || fail "icon $png is not $size x $size: $(file "$png")"
done
[ -x "$root/usr/share/kestrelpad/file-manager/back-up-with-kestrelpad" ] || fail "the GNOME Files script is not executable"
file "$root/usr/bin/kpad" | grep -q "stripped" && ! file "$root/usr/bin/kpad" | grep -q "not stripped" \
  || fail "kpad is not stripped"

echo "== kpad from the package"
kpad=$root/usr/bin/kpad
[ "$("$kpad" --version)" = "Kestrelpad-$version" ] || fail "kpad --version says '$("$kpad" --version)'"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME" "$work/project/Site/pages"
printf 'hello\n' >"$work/project/Site/index.html"
printf 'about\n' >"$work/project/Site/pages/about.html"
"$kpad" store "$work/project/Site" --comment "first state" --status standard >"$work/store.log" 2>&1 \
  || { cat "$work/store.log"; fail "kpad store"; }
archives=("$work/project/Site/#tarnel"/*.zip)
[ ${#archives[@]} -eq 1 ] && [ -f "${archives[0]}" ] || fail "kpad store wrote ${#archives[@]} archives"
"$kpad" verify "${archives[0]}" || fail "kpad verify ${archives[0]}"
echo "stored and verified $(basename "${archives[0]}")"

echo "== desktop-file-validate"
out=$(desktop-file-validate "$root/usr/share/applications/kestrelpad.desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"

echo "== never a default opener"
# The menu entry asks for the project; opening a folder or a document must never start a run.
entry=$root/usr/share/applications/kestrelpad.desktop
! grep -q '^MimeType=' "$entry" || fail "the desktop entry declares MIME types: $(grep '^MimeType=' "$entry")"
grep -qx 'Exec=kestrelpad --choose' "$entry" || fail "the menu entry does not start 'kestrelpad --choose'"
# A clean XDG data folder holding only the package's files, with the cache the package
# manager's trigger would build.
xdg=$work/xdg
mkdir -p "$xdg/data-home" "$xdg/config" "$xdg/share"
cp -r "$root/usr/share/applications" "$xdg/share/"
update-desktop-database "$xdg/share/applications"
for type in inode/directory text/plain application/json; do
  default=$(env -i PATH="$PATH" HOME="$work/home" XDG_DATA_HOME="$xdg/data-home" XDG_DATA_DIRS="$xdg/share" \
            XDG_CONFIG_HOME="$xdg/config" XDG_CONFIG_DIRS="$xdg/config" xdg-mime query default "$type" 2>&1 || true)
  [ "$default" != kestrelpad.desktop ] || fail "xdg-mime names kestrelpad.desktop the default for $type"
done

echo "== manual pages"
for page in kpad kestrelpad; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
done

echo "== lintian"
# lintian reads the package in a folder of its own; errors fail, warnings are shown.
(cd "$work" && lintian --fail-on error --display-info "$deb") | tee "$work/lintian.log" || fail "lintian reports errors"
! grep -q '^W: ' "$work/lintian.log" || fail "lintian reports warnings"
echo "OK"
