#!/usr/bin/env bash
# Builds the Debian packages from a build tree and checks the split: which
# package holds which files, how they depend on each other and on Qt, a real
# maintainer, a clean lintian for every package, and a zwpconv that runs from
# the unpacked tree.
# Usage: check_deb.sh BUILD_DIR GIMP_PLUGIN_DIR GIMP_LIBRARY
#   (the GIMP the plug-in is built for: where it goes, which library it needs)
set -eu
build=$1
gimp_dir=${2#/}
gimp_library=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
failed=0
checks=0
check() { checks=$((checks + 1)); if "$@"; then :; else echo "FAILED: $*"; failed=$((failed + 1)); fi; }
deb() { ls "$out"/"$1"_*_*.deb; }
holds() { grep -q "\./$2\$" <<<"$(dpkg-deb -c "$(deb "$1")")"; }
field() { dpkg-deb -f "$(deb "$1")" "$2"; }

lib=usr/lib/x86_64-linux-gnu
while read -r package files; do
  for f in $files usr/share/doc/$package/copyright usr/share/doc/$package/changelog.gz; do check holds "$package" "$f"; done
  [ "$package" = zwp-konverter-common ] || check grep -q "zwp-konverter-common (= " <<<"$(field "$package" Depends)"
  check grep -q "maintainers@zwp-konverter.de" <<<"$(field "$package" Maintainer)"
done <<EOF2
zwp-konverter-common usr/share/mime/packages/zwp-konverter.xml
zwpconv usr/bin/zwpconv usr/bin/zwp-thumbnailer usr/share/thumbnailers/zwp-konverter.thumbnailer usr/share/man/man1/zwpconv.1.gz usr/share/bash-completion/completions/zwpconv
zwp-konverter usr/bin/zwp-konverter usr/share/applications/de.zwp_konverter.ZwpKonverter.desktop usr/share/applications/zwp-konverter-bmp.desktop usr/share/icons/hicolor/scalable/apps/de.zwp_konverter.ZwpKonverter.svg usr/share/metainfo/de.zwp_konverter.ZwpKonverter.metainfo.xml
qt6-image-formats-plugin-zwp $lib/qt6/plugins/imageformats/libqzwp.so
qt5-image-formats-plugin-zwp $lib/qt5/plugins/imageformats/libqzwp.so usr/share/kservices5/qimageioplugins/zwp.desktop
zwp-pixbuf-loader $lib/gdk-pixbuf-2.0/2.10.0/loaders/libpixbufloader-zwp.so
gimp-plugin-zwp $gimp_dir/file-zwp
EOF2
check grep -q libqt6widgets6 <<<"$(field zwp-konverter Depends)"
check grep -q libqt5gui5 <<<"$(field qt5-image-formats-plugin-zwp Depends)"
check grep -q "$gimp_library" <<<"$(field gimp-plugin-zwp Depends)"
# Built for this release: its Debian version in the package's version.
. /etc/os-release
check grep -q "~deb${VERSION_ID}u1\$" <<<"$(field zwpconv Version)"
# Files the single package of 1.0.0 held move without a conflict on upgrade.
check grep -q "zwp-konverter (<< 1.1.0~)" <<<"$(field zwpconv Replaces)"
check test "$(field zwp-konverter-common Architecture)" = all
# Debian's own checks: no error and no warning (hints about build flags apply
# to the packaging build of the README, not to this test build).
if command -v lintian >/dev/null; then
  check test -z "$(lintian --pedantic "$out"/*.deb 2>/dev/null | grep -E '^[EW]: ')"
fi
dpkg-deb -x "$(deb zwpconv)" "$out/root"
check grep -q "^zwpconv [0-9]" <<<"$("$out/root/usr/bin/zwpconv" --version)"
echo "$((checks - failed)) passed, $failed failed"
[ $failed -eq 0 ]
