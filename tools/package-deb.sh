#!/usr/bin/env bash
# Builds dist/vorn_<version>_amd64.deb from dist/linux-x86_64/VORN64.so:
# the module in /usr/lib/vst (where Linux hosts look for VST2 plug-ins), its
# Depends worked out by dpkg-shlibdeps from the libraries it really links,
# the copyright and changelog, built by dpkg-deb with root-owned files.
set -euo pipefail
cd "$(dirname "$0")/.."
version="$(tools/version.sh)"
module=dist/linux-x86_64/VORN64.so
[ -f "$module" ] || { echo "package-deb: $module missing; run make dist" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/vorn"
install -d "$root/DEBIAN" "$root/usr/lib/vst" "$root/usr/share/doc/vorn"
# A shared object in a package is mode 644, stripped of everything but what
# loading needs.
install -m 644 "$module" "$root/usr/lib/vst/VORN64.so"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/usr/lib/vst/VORN64.so"
install -m 644 packaging/debian/copyright "$root/usr/share/doc/vorn/copyright"
sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$(date -R -d @"${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}")/" \
  packaging/debian/changelog.in | gzip -9n > "$root/usr/share/doc/vorn/changelog.gz"
chmod 644 "$root/usr/share/doc/vorn/changelog.gz"

# dpkg-shlibdeps reads the package's control file from debian/control.
mkdir -p "$work/debian"
printf 'Source: vorn\n\nPackage: vorn\nArchitecture: amd64\n' > "$work/debian/control"
depends="$(cd "$work" && dpkg-shlibdeps -O "vorn/usr/lib/vst/VORN64.so" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')"
[ -n "$depends" ] || { echo "package-deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
size="$(du -sk --exclude=DEBIAN "$root" | cut -f1)"
sed -e "s/@VERSION@/$version/" -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  packaging/debian/control.in > "$root/DEBIAN/control"
find "$root" -type d -exec chmod 755 {} +
out="dist/vorn_${version}_amd64.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$out" >/dev/null
echo "package-deb: $out (Depends: $depends)"
