#!/usr/bin/env bash
# Checks the Debian package: its contents and fields, a lintian run, and the
# module installed into a scratch root loading and rendering through the
# module test host (build/linux/tests/module_tests).
set -euo pipefail
cd "$(dirname "$0")/.."
version="$(tools/version.sh)"
deb="dist/vorn_${version}_amd64.deb"
host=build/linux/tests/module_tests
fail() { echo "check-deb: $*" >&2; exit 1; }
[ -f "$deb" ] || fail "$deb missing; run make package"

contents="$(dpkg-deb --contents "$deb")"
grep -q ' root/root .* \./usr/lib/vst/VORN64.so$' <<<"$contents" || fail "no root-owned /usr/lib/vst/VORN64.so"
grep -q '^-rw-r--r-- .*/usr/lib/vst/VORN64.so$' <<<"$contents" || fail "the module is not mode 644"
grep -q '\./usr/share/doc/vorn/copyright$' <<<"$contents" || fail "no copyright file"
files="$(grep -c '^-' <<<"$contents")"
[ "$files" = 3 ] || fail "expected 3 files (module, copyright, changelog), found $files"
[ "$(dpkg-deb --field "$deb" Package)" = vorn ] || fail "package name"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "version is not $version"
[ "$(dpkg-deb --field "$deb" Architecture)" = amd64 ] || fail "architecture"
depends="$(dpkg-deb --field "$deb" Depends)"
for lib in libc6 libstdc++6 libgcc-s1; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

[ "$(dpkg-deb --field "$deb" Recommends)" = "zenity | kdialog, xdg-utils" ] ||
  fail "Recommends lacks the file dialog and URL opener programs"

lintian --fail-on error,warning "$deb" ||
  fail "lintian reports problems"

root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
"$host" "$root/usr/lib/vst/VORN64.so" --gtest_brief=1 \
  --gtest_filter='EffectRecord.*:Notes.SoundFromTheirFrameAndStopAfterRelease' || fail "the installed module does not play"
echo "check-deb: $deb: contents, fields, lintian and playback in a scratch root pass (Depends: $depends)"
