#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks what it holds: the
# programs, the desktop entry, icon, metainfo, MIME type, thumbnailer, image
# plugin and documents, the Qt dependencies, a real maintainer, a clean lintian,
# and a zwpconv that runs from the unpacked tree.
# Usage: check_deb.sh BUILD_DIR
set -eu
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/zwp-konverter_*_*.deb)
failed=0
checks=0
check() { checks=$((checks + 1)); if "$@"; then :; else echo "FAILED: $*"; failed=$((failed + 1)); fi; }
contents=$(dpkg-deb -c "$deb")
for f in usr/bin/zwp-konverter usr/bin/zwpconv usr/bin/zwp-thumbnailer \
         usr/share/applications/de.zwp_konverter.ZwpKonverter.desktop \
         usr/share/icons/hicolor/scalable/apps/de.zwp_konverter.ZwpKonverter.svg \
         usr/share/metainfo/de.zwp_konverter.ZwpKonverter.metainfo.xml usr/share/mime/packages/zwp-konverter.xml \
         usr/share/thumbnailers/zwp-konverter.thumbnailer usr/share/doc/zwp-konverter/copyright \
         usr/share/doc/zwp-konverter/changelog.gz usr/share/man/man1/zwpconv.1.gz \
         usr/lib/x86_64-linux-gnu/qt6/plugins/imageformats/libqzwp.so; do
  check grep -q "\./$f\$" <<<"$contents"
done
depends=$(dpkg-deb -f "$deb" Depends)
check grep -q libqt6widgets6 <<<"$depends"
check grep -q libqt6gui6 <<<"$depends"
check grep -q "maintainers@zwp-konverter.de" <<<"$(dpkg-deb -f "$deb" Maintainer)"
# Debian's own checks: no error and no warning (hints about build flags apply
# to the packaging build of the README, not to this test build).
if command -v lintian >/dev/null; then
  check test -z "$(lintian --pedantic "$deb" 2>/dev/null | grep -E '^[EW]: ')"
fi
dpkg-deb -x "$deb" "$out/root"
check grep -q "^zwpconv [0-9]" <<<"$("$out/root/usr/bin/zwpconv" --version)"
echo "$((checks - failed)) passed, $failed failed"
[ $failed -eq 0 ]
