#!/usr/bin/env bash
# Builds what the Windows cross-build needs and Debian ships only for Linux, into $1 (a
# folder inside build-windows): libdeflate from Debian's source package, and GoogleTest
# from Debian's /usr/src/googletest, both for x86_64-w64-mingw32. Does nothing when both
# are there. The source package is fetched through a private apt configuration holding
# one deb-src entry, so the system's own apt lists are left alone.
set -euo pipefail

out=$(realpath -m "$1")
cc=x86_64-w64-mingw32-gcc-posix
cxx=x86_64-w64-mingw32-g++-posix
mkdir -p "$out"

build_libdeflate() {
  [ -f "$out/lib/libdeflate.a" ] && return 0
  local apt="$out/apt"
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/src"
  cat > "$apt/sources.list" <<LIST
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
LIST
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
              -o "Dir::State::Status=/var/lib/dpkg/status" -o "APT::Sandbox::User=root")
  if [ ! -d "$apt/src/libdeflate" ]; then
    apt-get "${opts[@]}" update -qq
    (cd "$apt/src" && apt-get "${opts[@]}" source --download-only -qq libdeflate)
    local dsc
    dsc=$(ls "$apt/src"/libdeflate_*.dsc | head -n1)
    (cd "$apt/src" && dpkg-source --no-check -x "$dsc" libdeflate >/dev/null)
  fi
  local src="$apt/src/libdeflate"
  if [ -f "$src/CMakeLists.txt" ]; then
    cmake -S "$src" -B "$apt/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$cc -DCMAKE_INSTALL_PREFIX="$out" \
      -DLIBDEFLATE_BUILD_SHARED_LIB=OFF -DLIBDEFLATE_BUILD_GZIP=OFF >/dev/null
    cmake --build "$apt/build" >/dev/null
    cmake --install "$apt/build" >/dev/null
  else
    # For a MinGW target the makefile names the static library libdeflatestatic.lib.
    make -C "$src" -j2 CC=$cc AR=x86_64-w64-mingw32-ar libdeflatestatic.lib >/dev/null
    mkdir -p "$out/lib" "$out/include"
    cp "$src/libdeflatestatic.lib" "$out/lib/libdeflate.a"
    cp "$src/libdeflate.h" "$out/include/"
  fi
}

build_googletest() {
  [ -f "$out/lib/libgtest.a" ] && return 0
  cmake -S /usr/src/googletest -B "$out/gtest-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$cc -DCMAKE_CXX_COMPILER=$cxx \
    -DCMAKE_INSTALL_PREFIX="$out" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$out/gtest-build" -j2 >/dev/null
  cmake --install "$out/gtest-build" >/dev/null
}

build_libdeflate || { echo "windows-deps: libdeflate could not be built for Windows" >&2; exit 1; }
build_googletest
