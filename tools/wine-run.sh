#!/usr/bin/env bash
# Runs a Windows executable under Wine with a throwaway prefix, quietly.
# Used as the cross-compiling emulator by CTest for the mingw builds.
set -euo pipefail
export WINEDEBUG=-all
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
wine "$@"
