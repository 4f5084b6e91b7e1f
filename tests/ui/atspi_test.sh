#!/usr/bin/env bash
# The window as a screen reader meets it over AT-SPI: started with a 64 × 48
# picture on a virtual X server with its own session and accessibility bus,
# started and read by atspi_tree.py. Usage: atspi_test.sh PROGRAM
set -u
program=$1
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${ZWP_ATSPI_SESSION:-}" ]; then
  # A virtual X server of its own: -displayfd picks a free display and names it
  # once the server takes connections, so neither another test's server nor a
  # slow start can get in the way (xvfb-run -a could, on a loaded machine).
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$number" 2>/dev/null & xvfb=$!
  for _ in $(seq 200); do [ -s "$number" ] && break; sleep 0.1; done
  DISPLAY=:$(head -n 1 "$number") ZWP_ATSPI_SESSION=1 dbus-run-session -- "$0" "$@"
  status=$?
  kill $xvfb 2>/dev/null
  rm -f "$number"
  exit $status
fi
work=$(mktemp -d)
trap 'kill $bus $wm 2>/dev/null; rm -rf "$work"' EXIT
/usr/bin/python3 -c 'import sys; from PIL import Image; Image.new("RGB", (64, 48), (200, 40, 40)).save(sys.argv[1])' \
  "$work/b.bmp"
/usr/libexec/at-spi-bus-launcher --launch-immediately & bus=$!
openbox --config-file /dev/null >/dev/null 2>&1 & wm=$!
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb HOME=$work /usr/bin/python3 "$here/atspi_tree.py" "$program" "$work/b.bmp"
