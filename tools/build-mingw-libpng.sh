#!/usr/bin/env bash
# Builds libpng for a mingw-w64 target from Debian's libpng1.6 source package
# (bookworm main) into ~/.cache/vorn-deps/<triplet>, linked against zlib from
# libz-mingw-w64-dev. Does nothing when that build is already there.
# Usage: tools/build-mingw-libpng.sh x86_64-w64-mingw32|i686-w64-mingw32
set -euo pipefail

triplet="$1"
repo="$(cd "$(dirname "$0")/.." && pwd)"
cache="${VORN_DEPS_CACHE:-$HOME/.cache/vorn-deps}"
prefix="$cache/$triplet"
stamp="$prefix/.libpng-source-version"

mkdir -p "$cache/src"
cd "$cache/src"

# The bookworm suite is named so a security-only source version is never asked for.
version="$(apt-cache showsrc libpng1.6 2>/dev/null | awk '/^Version:/ {print $2; exit}')"
if [ -f "$prefix/lib/libpng16.a" ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then
  exit 0
fi

srcdir="$(find . -maxdepth 1 -type d -name 'libpng1.6-*' | sort | tail -n1)"
if [ -z "$srcdir" ]; then
  apt-get source -qq libpng1.6/bookworm >/dev/null 2>&1 || apt-get source libpng1.6/bookworm
  srcdir="$(find . -maxdepth 1 -type d -name 'libpng1.6-*' | sort | tail -n1)"
fi
if [ -z "$srcdir" ]; then
  echo "build-mingw-libpng: could not unpack the libpng1.6 source package" >&2
  exit 1
fi

build="$cache/build-libpng-$triplet"
rm -rf "$build"
cmake -S "$srcdir" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/$triplet.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DCMAKE_C_COMPILER_LAUNCHER=ccache \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_LIBRARY="/usr/$triplet/lib/libz.a" \
  -DZLIB_INCLUDE_DIR="/usr/$triplet/include" >/dev/null
cmake --build "$build" >/dev/null
cmake --install "$build" >/dev/null
echo "$version" > "$stamp"
echo "build-mingw-libpng: libpng $version for $triplet in $prefix"
