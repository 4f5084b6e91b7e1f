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
desktop=$(ls "$prefix"/share/applications/*.desktop 2>/dev/null || true)
if [ -n "$desktop" ]; then
  # Emblems only: claiming BMPs would make it every BMP's double-click on desktops without a set default.
  check grep -qx 'MimeType=image/x-zorbel-emblem;' "$desktop"
  check grep -qx 'Exec=zwp-konverter %f' "$desktop"
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
