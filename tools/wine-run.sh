#!/usr/bin/env bash
# Runs a Windows executable under Wine with a throwaway prefix, quietly.
# Used as the cross-compiling emulator by CTest for the mingw builds.
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

if [ -z "${VORN_KEEP_WINEPREFIX:-}" ]; then
  prefix="$(mktemp -d "${TMPDIR:-/tmp}/vorn-wine.XXXXXX")"
  export WINEPREFIX="$prefix"
  cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"; }
  trap cleanup EXIT
fi
# Wine's first start in a new prefix would open dialogs; no display is needed
# for console test programs.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export DISPLAY="${DISPLAY:-}"
WINELOADER="$loader" "$loader" "$@"
