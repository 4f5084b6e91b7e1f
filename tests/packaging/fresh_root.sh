#!/usr/bin/env bash
# Tries the Debian packages as a new user of a fresh Debian 12 would: installs
# them into a chroot made by debootstrap, opens and saves emblems with each
# host program (gdk-pixbuf, a Qt 5 program, GIMP, Thunar's tumbler), then
# purges them and lists every file they left behind. Needs root and the
# network (Debian's mirror); takes some minutes, so it is not part of the
# test run.
# Usage: fresh_root.sh DEB_DIR ROOT   (ROOT: an empty folder, or one made before)
set -eu
debs=$(realpath "$1")
root=$2
[ -x "$root/usr/bin/apt-get" ] || debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 "$@"; }
failed=0
checks=0
check() { checks=$((checks + 1)); if "$@"; then :; else echo "FAILED: $*"; failed=$((failed + 1)); fi; }

# The hosts first, as a desktop already has them.
in_root apt-get update -qq
in_root apt-get install -y -qq --no-install-recommends gimp python3-gi gir1.2-gdkpixbuf-2.0 python3-pyqt5 \
  libgdk-pixbuf2.0-bin tumbler dbus-daemon dbus-bin libglib2.0-bin >/dev/null
in_root sh -c 'id player >/dev/null 2>&1 || useradd -m player'
snapshot() {
  in_root find / -xdev \( -path /proc -o -path /tmp -o -path /var/cache/apt -o -path /var/lib/apt/lists \
    -o -path /var/log -o -path /home -o -path /root -o -path /var/cache/debconf -o -path /var/lib/dpkg \) -prune \
    -o -print | sort
}
snapshot >"$root/tmp/before"

rm -rf "$root/tmp/debs" && mkdir "$root/tmp/debs" && cp "$debs"/*.deb "$root/tmp/debs/"
# All but the gdk-pixbuf loader first, so that tumbler can only take zwp-thumbnailer.
in_root sh -c 'apt-get install -y -qq $(ls /tmp/debs/*.deb | grep -v pixbuf-loader)' >/dev/null
as_player() { in_root su player -c "cd && $1"; }
as_player 'rm -rf art && mkdir art'
# A picture made here, converted by zwpconv as the yardstick.
as_player 'python3 - <<EOF
import struct
w, h = 40, 30
rows = b"".join(bytes([0]) + bytes((x * 6 + y * 3) % 256 for x in range(w) for _ in range(3)) for y in range(h))
import zlib
def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
open("art/pic.png", "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                                 + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
EOF
zwpconv -o art -- art/pic.png >/dev/null && mkdir -p art/d && zwpconv --dither -o art/d -- art/pic.png >/dev/null'

# Thunar asks tumbler over D-Bus; tumbler runs zwp-thumbnailer from its .thumbnailer entry
# and reads the result through the output file it made.
check as_player 'dbus-run-session -- sh -c "gdbus call --session --dest org.freedesktop.thumbnails.Thumbnailer1 \
  --object-path /org/freedesktop/thumbnails/Thumbnailer1 --method org.freedesktop.thumbnails.Thumbnailer1.Queue \
  \"[\\\"file://\$HOME/art/pic.zwp\\\"]\" \"[\\\"image/x-zorbel-emblem\\\"]\" normal default 0 >/dev/null && sleep 5"
test -s .cache/thumbnails/normal/$(printf %s "file://$HOME/art/pic.zwp" | md5sum | cut -c1-32).png'

in_root sh -c 'apt-get install -y -qq /tmp/debs/zwp-pixbuf-loader_*.deb' >/dev/null
check as_player 'python3 -c "
import gi; gi.require_version(\"GdkPixbuf\", \"2.0\"); from gi.repository import GdkPixbuf
p = GdkPixbuf.Pixbuf.new_from_file(\"art/pic.zwp\"); assert (p.get_width(), p.get_height()) == (40, 30)
p.savev(\"art/pixbuf.zwp\", \"zwp\", [], [])"
cmp art/pixbuf.zwp art/pic.zwp'
check as_player 'gdk-pixbuf-thumbnailer -s 128 art/pic.zwp art/gnome-thumb.png && test -s art/gnome-thumb.png'
check as_player 'python3 -c "
from PyQt5.QtCore import QCoreApplication; from PyQt5.QtGui import QImage, QImageWriter
app = QCoreApplication([]); image = QImage(\"art/pic.zwp\"); assert image.width() == 40
assert QImageWriter(\"art/qt5.zwp\", b\"zwp\").write(image)"
cmp art/qt5.zwp art/pic.zwp'
check as_player 'gimp-console-2.10 -i -d -f -b "(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE \"art/pic.png\" \"x\")))
  (layer (car (gimp-image-get-active-layer image))))
  (file-zwp-save RUN-NONINTERACTIVE image layer \"art/gimp.zwp\" \"x\" 1 0))" -b "(let* ((image (car (gimp-file-load
  RUN-NONINTERACTIVE \"art/pic.zwp\" \"x\"))) (layer (car (gimp-image-get-active-layer image))))
  (gimp-file-save RUN-NONINTERACTIVE image layer \"art/gimp.png\" \"x\"))" -b "(gimp-quit 0)" >/dev/null 2>&1
cmp art/gimp.zwp art/d/pic.zwp && test -s art/gimp.png'
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
