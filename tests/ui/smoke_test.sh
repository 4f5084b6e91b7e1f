#!/usr/bin/env bash
# Starts the real window program on a real (virtual) X server, waits for the
# window titled "Form1", closes it with Ctrl+Q and expects a clean exit.
# Usage: smoke_test.sh PROGRAM   (runs itself under xvfb-run when no display is set)
set -u
program=$1
desktop=$(dirname "$0")/../../packaging/de.zwp_konverter.ZwpKonverter.desktop
# The command line is answered as the man page says, display or not.
expect() {  # STATUS TEXT COMMAND...: exit status and a text in its output
  local want=$1 text=$2; shift 2
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$@" 2>&1); status=$?
  if [ $status -ne "$want" ] || [[ $out != *"$text"* ]]; then echo "$*: status $status, said: $out"; exit 1; fi
}
expect 1 "keine grafische Anzeige" "$program"
expect 2 "falscher Aufruf" "$program" a b
expect 0 "zwp-konverter " "$program" -stylesheet none.qss -reverse --version
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
"$program" &
pid=$!
trap 'kill $pid 2>/dev/null' EXIT
win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Form1$' | head -n 1)
if [ -z "$win" ]; then
  echo "no window titled Form1 appeared"
  exit 1
fi
# Docks tie the window to its menu entry by its class.
class=$(grep '^StartupWMClass=' "$desktop" | cut -d= -f2)
if ! xprop -id "$win" WM_CLASS | grep -q "\"$class\""; then
  echo "WM_CLASS $(xprop -id "$win" WM_CLASS) does not match StartupWMClass=$class"
  exit 1
fi
# Every wait is bounded: a window that never takes the focus fails the test.
if ! timeout 10 xdotool windowfocus --sync "$win" key --clearmodifiers ctrl+q; then
  echo "the window did not take the focus within 10 s"
  exit 1
fi
for _ in $(seq 1 100); do
  if ! kill -0 $pid 2>/dev/null; then
    wait $pid
    status=$?
    trap - EXIT
    if [ $status -eq 0 ]; then echo "1 passed, 0 failed"; else echo "exit status $status"; fi
    exit $status
  fi
  sleep 0.1
done
echo "window did not close on Ctrl+Q"
exit 1
