#!/usr/bin/env bash
# Builds dist/VORN-<version>-setup.exe with NSIS from the two DLLs in dist/.
# With --amd64 <out>, builds the same installer as a 64-bit program into
# <out> instead (the installer test uses it on machines that run no 32-bit
# programs).
set -euo pipefail
cd "$(dirname "$0")/.."
version="$(tools/version.sh)"
for dll in dist/windows-x86_64/VORN64.dll dist/windows-x86/VORN.dll; do
  [ -f "$dll" ] || { echo "package-windows: $dll missing; run make dist" >&2; exit 1; }
done
out="dist/VORN-${version}-setup.exe"
target=()
if [ "${1:-}" = "--amd64" ]; then
  out="$2"
  target=(-DTARGET_AMD64)
fi
dist="$(pwd)/dist"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DDIST="$dist" -DOUTFILE="$(realpath -m "$out")" \
  "${target[@]}" packaging/windows/vorn.nsi
echo "package-windows: $out"
