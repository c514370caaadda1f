#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# it installs only what is missing and enables i386 packages (wine32) and the
# bookworm source lines (libpng source for the mingw builds) when needed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev
  libpng-dev zlib1g-dev libsndfile1-dev
  libgtest-dev googletest libbenchmark-dev
  wine wine64 wine32:i386
  sox xvfb xauth
  clang-14 libclang-rt-14-dev clang-format git
  nsis lintian libebur128-dev locales libcli11-dev
  libfreetype-dev fonts-liberation fonts-liberation2 fonts-dejavu-core libcairo2-dev
  libcurl4-gnutls-dev libx11-dev libxext-dev libxtst-dev
)

# --bench-peers: the synthesizers make bench measures beside VORN.
if [ "${1:-}" = "--bench-peers" ]; then
  packages=(amsynth dpf-plugins-vst zynaddsubfx-vst)
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update=1
fi

# libpng for the Windows builds is compiled from Debian's source package.
src_list=/etc/apt/sources.list.d/vorn-bookworm-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  $sudo tee "$src_list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ] || [ "$need_update" -eq 1 ]; then
  if [ "$need_update" -eq 1 ] || [ ${#missing[@]} -gt 0 ]; then
    $sudo apt-get update -qq
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi
# A comma-decimal locale, so that the test of number formatting under such a
# locale runs instead of being skipped.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ -f /etc/locale.gen ] && ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen >/dev/null 2>&1 || $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
echo "install-deps: all packages present"
