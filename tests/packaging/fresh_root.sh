#!/usr/bin/env bash
# Tries the Debian packages built on a release as a new user of a fresh
# installation of that release would: installs them into a root made by
# debootstrap, opens and saves emblems with each host program (gdk-pixbuf,
# Qt 5 and Qt 6 programs, GIMP 2.10 or 3, Thunar's tumbler), checks that no
# program's default for BMP and PNG changed, then purges them (and what they
# pulled in) and lists every file they left behind. Needs root and Debian's
# mirror; takes some minutes, so it is not part of the test run.
# Usage: fresh_root.sh CODENAME DEB_DIR ROOT   (ROOT: an empty folder, or one made before)
set -eu
here=$(dirname "$(realpath "$0")")
codename=$1
debs=$(realpath "$2")
root=$3
[ -x "$root/usr/bin/apt-get" ] ||
  debootstrap --variant=minbase "$codename" "$root" "$("$here/../../scripts/debian-mirror")" >/dev/null
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 "$@"; }
failed=0
checks=0
check() { checks=$((checks + 1)); if "$@"; then :; else echo "FAILED: $*"; failed=$((failed + 1)); fi; }

# The hosts first, as a desktop already has them, and a viewer that opens BMPs and PNGs. Qt's
# translations come with Qt 6 on a desktop (its core library recommends them); apt keeps them
# after our purge for that reason, so the picture before has them too.
in_root apt-get update -qq
in_root apt-get install -y -qq --no-install-recommends gimp python3-gi gir1.2-gdkpixbuf-2.0 python3-pyqt5 \
  python3-pyqt6 qt6-translations-l10n python3-pil libgdk-pixbuf2.0-bin tumbler dbus-daemon dbus-bin \
  libglib2.0-bin xdg-utils desktop-file-utils shared-mime-info feh >/dev/null
in_root sh -c 'id player >/dev/null 2>&1 || useradd -m player'
snapshot() {
  in_root find / -xdev \( -path /proc -o -path /tmp -o -path /var/cache/apt -o -path /var/lib/apt/lists \
    -o -path /var/log -o -path /home -o -path /root -o -path /var/cache/debconf -o -path /var/lib/dpkg \) -prune \
    -o -print | sort
}
defaults() {
  for type in image/bmp image/png; do in_root env XDG_CURRENT_DESKTOP=XFCE xdg-mime query default $type; done
}
snapshot >"$root/tmp/before"
defaults >"$root/tmp/defaults-before"

rm -rf "$root/tmp/debs" "$root/tmp/tests" && mkdir "$root/tmp/debs" "$root/tmp/tests"
cp "$debs"/*.deb "$root/tmp/debs/"
cp "$here"/../plugin/*.py "$here"/../bitmap/fixtures/im_24bit.bmp "$root/tmp/tests/"
/usr/bin/python3 -c "from PIL import Image; Image.new('RGBA', (40, 30), (200, 60, 90, 128)).save('$root/tmp/tests/rgba.png')"
chmod -R a+rX "$root/tmp/tests"
# All but the gdk-pixbuf loader first, so that tumbler can only take zwp-thumbnailer.
in_root sh -c 'apt-get install -y -qq $(ls /tmp/debs/*.deb | grep -v pixbuf-loader)' >/dev/null
as_player() { in_root su player -c "cd && $1"; }
as_player 'rm -rf art && mkdir art && zwpconv -o art -- /tmp/tests/im_24bit.bmp >/dev/null'

# Thunar asks tumbler over D-Bus; tumbler runs zwp-thumbnailer from its .thumbnailer entry
# and reads the result through the output file it made.
check as_player 'dbus-run-session -- sh -c "gdbus call --session --dest org.freedesktop.thumbnails.Thumbnailer1 \
  --object-path /org/freedesktop/thumbnails/Thumbnailer1 --method org.freedesktop.thumbnails.Thumbnailer1.Queue \
  \"[\\\"file://\$HOME/art/im_24bit.zwp\\\"]\" \"[\\\"image/x-zorbel-emblem\\\"]\" normal default 0 >/dev/null && sleep 5"
test -s .cache/thumbnails/normal/$(printf %s "file://$HOME/art/im_24bit.zwp" | md5sum | cut -c1-32).png'

in_root sh -c 'apt-get install -y -qq /tmp/debs/zwp-pixbuf-loader_*.deb' >/dev/null
# The host tests of the build tree, now against what the packages installed.
tests=/tmp/tests
check as_player "python3 $tests/pixbuf_host_test.py /usr/bin/zwpconv \
  /usr/lib/x86_64-linux-gnu/gdk-pixbuf-2.0/2.10.0/loaders.cache /usr/share/mime/packages/zwp-konverter.xml \
  $tests/im_24bit.bmp $tests/rgba.png"
check as_player 'gdk-pixbuf-thumbnailer -s 128 art/im_24bit.zwp art/gnome-thumb.png && test -s art/gnome-thumb.png'
for binding in PyQt5 PyQt6; do
  check as_player "python3 $tests/qt_host_test.py $binding /usr/bin/zwpconv '' $tests/im_24bit.bmp"
done
check as_player "python3 $tests/gimp_host_test.py /usr/bin/zwpconv /nonexistent $tests/im_24bit.bmp"
defaults >"$root/tmp/defaults-after"
check cmp "$root/tmp/defaults-before" "$root/tmp/defaults-after"
check test "$(in_root xdg-mime query default image/x-zorbel-emblem)" = de.zwp_konverter.ZwpKonverter.desktop

# What installing with Recommends pulled in goes with them, as apt's autoremove takes it.
in_root sh -c 'apt-get purge -y -qq zwp-konverter-common zwpconv zwp-konverter qt6-image-formats-plugin-zwp \
  qt5-image-formats-plugin-zwp zwp-pixbuf-loader gimp-plugin-zwp && apt-get autoremove --purge -y -qq' >/dev/null
snapshot >"$root/tmp/after"
left=$(comm -3 "$root/tmp/before" "$root/tmp/after")
check test -z "$left"
[ -z "$left" ] || echo "differs after purging (left: was there, right: is new): $left"
check test -z "$(grep -l zwp "$root/usr/lib/x86_64-linux-gnu/gdk-pixbuf-2.0/2.10.0/loaders.cache")"
echo "$((checks - failed)) passed, $failed failed"
[ $failed -eq 0 ]
