#!/usr/bin/env bash
# Starts the real window program on a real (virtual) X server, waits for the
# window titled "Form1", closes it with Ctrl+Q and expects a clean exit.
# Usage: smoke_test.sh PROGRAM   (runs itself under xvfb-run when no display is set)
set -u
program=$1
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
