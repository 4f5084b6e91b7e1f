#!/usr/bin/env bash
# The window as a screen reader meets it over AT-SPI: started with a 64 × 48
# picture on a virtual X server with its own session and accessibility bus,
# then read by atspi_tree.py. Usage: atspi_test.sh PROGRAM
set -u
program=$1
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${ZWP_ATSPI_SESSION:-}" ]; then
  exec env ZWP_ATSPI_SESSION=1 xvfb-run -a -s "-screen 0 800x600x24" dbus-run-session -- "$0" "$@"
fi
work=$(mktemp -d)
trap 'kill $app $bus 2>/dev/null; rm -rf "$work"' EXIT
/usr/bin/python3 -c 'import sys; from PIL import Image; Image.new("RGB", (64, 48), (200, 40, 40)).save(sys.argv[1])' \
  "$work/b.bmp"
/usr/libexec/at-spi-bus-launcher --launch-immediately & bus=$!
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb HOME=$work "$program" "$work/b.bmp" & app=$!
/usr/bin/python3 "$here/atspi_tree.py"
