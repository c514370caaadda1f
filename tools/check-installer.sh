#!/usr/bin/env bash
# Runs the Windows installer silently under Wine in a throwaway prefix, into
# chosen folders: both DLLs must land there byte for byte as in dist/ and
# load and play through the module test hosts (build/mingw64 and
# build/mingw32); the uninstaller must then remove them and itself, and leave
# the user's vorn.ini and bank file alone. On a machine that runs no i386
# programs the same installer script is built as a 64-bit program for the
# test, and the 32-bit module's playback is skipped (the Wine runner says so).
set -euo pipefail
cd "$(dirname "$0")/.."
version="$(tools/version.sh)"
fail() { echo "check-installer: $*" >&2; exit 1; }

export WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/vorn-installer.XXXXXX")"
export VORN_KEEP_WINEPREFIX=1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"; }
trap cleanup EXIT

setup="dist/VORN-${version}-setup.exe"
[ -f "$setup" ] || fail "$setup missing; run make package"
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  setup="$WINEPREFIX/VORN-${version}-setup-amd64.exe"
  tools/package-windows.sh --amd64 "$setup" >/dev/null
  echo "check-installer: no i386 programs here; testing the installer built as a 64-bit program"
fi
run() { tools/wine-run.sh "$@"; }

run wineboot.exe --init >/dev/null 2>&1 || true
wineserver -w
drive="$WINEPREFIX/drive_c"
appdata="$(find "$drive/users" -maxdepth 3 -type d -path '*/AppData/Local' | head -n 1)"
[ -n "$appdata" ] || fail "no local application-data folder in the prefix"
mkdir -p "$appdata/TaskelRorev" "$drive/music"
printf '[MIDI Global]\r\nMIDI Thru=true\r\n' > "$appdata/TaskelRorev/vorn.ini"
cp dist/windows-x86_64/VORN64.dll "$drive/music/my-bank.fxb"  # any bytes: it must stay

run "$setup" /S '/VST64=C:\hosts\vst64' '/VST32=C:\hosts\vst32' '/D=C:\vorn' || fail "the installer failed"
wineserver -w
cmp dist/windows-x86_64/VORN64.dll "$drive/hosts/vst64/VORN64.dll" || fail "VORN64.dll differs from dist/"
cmp dist/windows-x86/VORN.dll "$drive/hosts/vst32/VORN.dll" || fail "VORN.dll differs from dist/"
[ -f "$drive/vorn/Uninstall VORN.exe" ] || fail "no uninstaller"

filter='--gtest_filter=EffectRecord.*:Notes.SoundFromTheirFrameAndStopAfterRelease'
run build/mingw64/tests/module_tests.exe 'C:\hosts\vst64\VORN64.dll' --gtest_brief=1 "$filter" ||
  fail "the installed VORN64.dll does not play"
status=0
run build/mingw32/tests/module_tests.exe 'C:\hosts\vst32\VORN.dll' --gtest_brief=1 "$filter" || status=$?
[ "$status" = 0 ] || [ "$status" = 77 ] || fail "the installed VORN.dll does not play"

run "$drive/vorn/Uninstall VORN.exe" /S || fail "the uninstaller failed"
wineserver -w
for gone in hosts/vst64/VORN64.dll hosts/vst32/VORN.dll "vorn/Uninstall VORN.exe" vorn; do
  [ ! -e "$drive/$gone" ] || fail "the uninstaller left $gone"
done
[ -f "$appdata/TaskelRorev/vorn.ini" ] || fail "the uninstaller removed vorn.ini"
[ -f "$drive/music/my-bank.fxb" ] || fail "the uninstaller removed the user's bank"

# A partial installation: the 64-bit module only.
run "$setup" /S /NO32 '/VST64=C:\only64' '/D=C:\vorn' || fail "the 64-bit-only installation failed"
wineserver -w
[ -f "$drive/only64/VORN64.dll" ] || fail "/NO32: VORN64.dll missing"
[ ! -e "$drive/hosts/vst32/VORN.dll" ] && ! find "$drive" -name VORN.dll | grep -q . || fail "/NO32 installed VORN.dll"
echo "check-installer: silent install, playback, uninstall and a 64-bit-only install pass"
