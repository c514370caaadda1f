#!/usr/bin/env bash
# Runs a Windows executable under Wine with a throwaway prefix, quietly.
# Used as the cross-compiling emulator by CTest for the mingw builds.
#
# The prefix is copied from a template made once per Wine loader and version
# and kept in the cache (VORN_WINE_CACHE, default ~/.cache/vorn-wine), so a
# run does not boot a new prefix. The template has Liberation Sans and DejaVu
# Sans installed under the names "Arial" and "Verdana", so text drawn under
# Wine uses the same faces as the Linux module, whatever the machine has.
#
# The loader is chosen from the executable's PE machine field: wine64 for
# x86-64, the 32-bit loader for i386. Debian's /usr/bin/wine always prefers
# the 32-bit loader, which cannot start 64-bit programs on kernels that run
# no i386 binaries. When the kernel cannot execute i386 programs at all (IA32
# emulation switched off), an i386 suite cannot run here: it exits 77, which
# CTest reports as skipped, and says why.
set -euo pipefail
export WINEDEBUG=-all

exe="$1"
machine=""
if [ -f "$exe" ]; then
  pe=$(od -An -t u4 -j 60 -N 4 "$exe" | tr -d ' ')
  machine=$(od -An -t x2 -j $((pe + 4)) -N 2 "$exe" | tr -d ' ')
fi

loader=/usr/lib/wine/wine64
if [ "$machine" = "014c" ]; then
  loader=/usr/lib/wine/wine
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "wine-run: this kernel cannot execute i386 programs (IA32 emulation is off); skipping $(basename "$exe")"
    exit 77
  fi
fi
[ -x "$loader" ] || loader=wine

# Wine's first start in a new prefix would open dialogs; no display is needed
# for console test programs.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export DISPLAY="${DISPLAY:-}"

# Makes the template prefix for this loader once (under a lock, as CTest may
# start several runs at once).
make_template() {
  local template="$1"
  local work="$template.tmp"
  rm -rf "$work"
  mkdir -p "$work"
  WINEPREFIX="$work" WINELOADER="$loader" "$loader" wineboot --init >/dev/null 2>&1 || true
  local fonts="$work/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf \
     /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$fonts/"
  local replacements='HKCU\Software\Wine\Fonts\Replacements'
  WINEPREFIX="$work" WINELOADER="$loader" "$loader" reg add "$replacements" /v Arial /t REG_SZ \
    /d "Liberation Sans" /f >/dev/null 2>&1
  WINEPREFIX="$work" WINELOADER="$loader" "$loader" reg add "$replacements" /v Verdana /t REG_SZ \
    /d "DejaVu Sans" /f >/dev/null 2>&1
  WINEPREFIX="$work" wineserver -w >/dev/null 2>&1 || true
  touch "$work/.ready"
  mv "$work" "$template"
}

if [ -z "${VORN_KEEP_WINEPREFIX:-}" ]; then
  cache="${VORN_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorn-wine}"
  version=$("$loader" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' _ || echo unknown)
  template="$cache/$(basename "$loader")-$version-fonts2"
  if [ ! -f "$template/.ready" ]; then
    mkdir -p "$cache"
    (
      flock 9
      [ -f "$template/.ready" ] || make_template "$template"
    ) 9>"$cache/lock"
  fi
  prefix="$(mktemp -d "${TMPDIR:-/tmp}/vorn-wine.XXXXXX")"
  cp -a "$template/." "$prefix/"
  export WINEPREFIX="$prefix"
  cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"; }
  trap cleanup EXIT
fi
WINELOADER="$loader" "$loader" "$@"
