#!/usr/bin/env bash
# Installs a build into a scratch prefix, as a package would, and checks what a
# desktop finds there: the MIME type, the desktop entry, the thumbnailer (run
# the way a file manager runs it) and the image plugin (through Qt itself).
# Usage: check_install.sh BUILD_DIR PLUGIN_TESTS
set -eu
build=$1
plugin_tests=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
failed=0
checks=0
check() { checks=$((checks + 1)); if "$@"; then :; else echo "FAILED: $*"; failed=$((failed + 1)); fi; }

mime=$prefix/share/mime/packages/zwp-konverter.xml
check test -f "$mime"
check grep -q '<glob pattern="\*.zwp"/>' "$mime"
check grep -q 'type="image/x-zorbel-emblem"' "$mime"
if command -v xmllint >/dev/null; then check xmllint --noout "$mime"; fi
# Installing the window changes no program's defaults: a desktop where a viewer
# opened BMPs and PNGs before (and no default is set) keeps it, and offers the
# window for BMPs beside it; emblems open in the window.
if [ -d "$prefix/share/applications" ]; then
  xdg=$prefix/xdg
  mkdir -p "$xdg/applications" "$xdg/config"
  printf '[Desktop Entry]\nType=Application\nName=Viewer\nExec=true %%f\nMimeType=image/bmp;image/png;\n' \
    >"$xdg/applications/org.gnome.eog.desktop"
  cp "$prefix"/share/applications/*.desktop "$xdg/applications/"
  update-desktop-database "$xdg/applications"
  on_desktop() {
    env PATH="$prefix/bin:$PATH" XDG_CURRENT_DESKTOP="$1" XDG_DATA_DIRS="$xdg" XDG_DATA_HOME="$xdg/home" XDG_CONFIG_HOME="$xdg/config" \
      XDG_CONFIG_DIRS="$xdg/config" "${@:2}"
  }
  for type in image/bmp image/png; do
    check test "$(on_desktop GNOME gio mime "$type" | head -1)" = "Default application for “$type”: org.gnome.eog.desktop"
    for desktop in XFCE LXQt; do
      answer=$(on_desktop $desktop xdg-mime query default "$type" 2>&1 || true)
      # From xdg-utils 1.2 on, LXQt is asked through its own tool, which follows GIO (checked above).
      case $answer in *"no method available"*) continue ;; esac
      check test "$answer" = org.gnome.eog.desktop
    done
  done
  check grep -q zwp-konverter <<<"$(on_desktop GNOME gio mime image/bmp | sed -n '/Recommended/,$p')"
  check test "$(on_desktop XFCE xdg-mime query default image/x-zorbel-emblem)" = de.zwp_konverter.ZwpKonverter.desktop
fi
for page in zwpconv zwp-thumbnailer; do check test -s "$prefix/share/man/man1/$page.1.gz"; done
check test -f "$prefix/share/bash-completion/completions/zwpconv"
# Completion keeps a name with a space whole.
completes_whole() {
  (cd "$prefix" && : >"my pic.bmp" && source share/bash-completion/completions/zwpconv &&
    COMP_WORDS=(zwpconv my) COMP_CWORD=1 && _zwpconv && [ "${#COMPREPLY[@]}" = 1 ] && [ "${COMPREPLY[0]}" = "my pic.bmp" ])
}
check completes_whole

# The thumbnailer's Exec line, with its %s %i %o filled in as a file manager does.
entry=$prefix/share/thumbnailers/zwp-konverter.thumbnailer
check grep -qx 'MimeType=image/x-zorbel-emblem;' "$entry"
/usr/bin/python3 -c "
import struct, sys
words = [0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410, 0xF81F, 0x07FF]
open(sys.argv[1], 'wb').write(bytes(272) + struct.pack('<ii', 4, 2) + b''.join(struct.pack('<H', w) for w in words))
" "$prefix/pixel art.zwp"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
exec_line=${exec_line//%s/64}
exec_line=${exec_line//%i/\"$prefix/pixel art.zwp\"}
exec_line=${exec_line//%o/\"$prefix/thumb.png\"}
check env PATH="$prefix/bin:$PATH" bash -c "$exec_line"
check /usr/bin/python3 -c "
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert('RGB')
assert im.size == (64, 32), im.size
# Every emblem pixel is a sharp 16 x 16 square of its own colour.
want = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255), (0, 0, 0), (128, 128, 128), (255, 0, 255), (0, 255, 255)]
for i, colour in enumerate(want):
    x0, y0 = 16 * (i % 4), 16 * (i // 4)
    for x, y in ((x0, y0), (x0 + 15, y0 + 15), (x0 + 7, y0 + 9)):
        assert im.getpixel((x, y)) == colour, (i, x, y, im.getpixel((x, y)), colour)
" "$prefix/thumb.png"

plugins=$(dirname "$(dirname "$(find "$prefix" -name 'libqzwp.so' | head -n 1)")")
check test -d "$plugins"
check env QT_PLUGIN_PATH="$plugins" "$plugin_tests" --gtest_brief=1
echo "$((checks - failed)) passed, $failed failed"
[ $failed -eq 0 ]
