#!/usr/bin/env bash
# Median wall time from starting the program to its first paint, over 21 runs
# on a real X server. Usage: bench/startup.sh build-bench/bench/startup_probe
set -eu
probe=$1
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"; fi
"$probe" >/dev/null 2>&1  # warm the file cache
times=()
for _ in $(seq 1 21); do
  start=$(date +%s%N)
  "$probe" >/dev/null 2>&1
  end=$(date +%s%N)
  times+=($(( (end - start) / 1000 )))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start-up to first paint: median $(( sorted[10] / 1000 )) ms (min $(( sorted[0] / 1000 )), max $(( sorted[20] / 1000 )))"
