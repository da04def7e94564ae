#!/usr/bin/env bash
# Installs what building, running and testing Kestrelpad needs, and nothing when it is all there.
# Usage: scripts/setup.sh [build|test|windows|fuzz|bench]...
set -euo pipefail

build_pkgs=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libdeflate-dev zlib1g-dev libgtest-dev
            librsvg2-bin scdoc fp-utils-3.2.2 dpkg-dev file)
test_pkgs=(zip unzip 7zip libarchive-tools python3 faketime lintian desktop-file-utils man-db
           xvfb xdotool dbus-daemon dbus-bin at-spi2-core python3-pyatspi python3-gi imagemagick
           xdg-utils fonts-noto-mono)
fuzz_pkgs=(clang-14 libclang-rt-14-dev)
bench_pkgs=(zip unzip 7zip time faketime)
# The Windows cross-build and its tests under Wine; libdeflate is built from Debian's source
# package (dpkg-dev unpacks it), nsis makes the installer.
windows_pkgs=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 wine nsis dpkg-dev xz-utils
              cmake ninja-build make googletest zip unzip
              imagemagick xvfb xdotool x11-utils)

wanted=()
for kind in "${@:-build}"; do
  case "$kind" in
    build) wanted+=("${build_pkgs[@]}") ;;
    test)  wanted+=("${build_pkgs[@]}" "${test_pkgs[@]}" "${windows_pkgs[@]}") ;;
    windows) wanted+=("${build_pkgs[@]}" "${windows_pkgs[@]}") ;;
    fuzz)  wanted+=("${build_pkgs[@]}" "${fuzz_pkgs[@]}") ;;
    bench) wanted+=("${build_pkgs[@]}" "${bench_pkgs[@]}") ;;
    *) echo "setup.sh: unknown kind '$kind'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
