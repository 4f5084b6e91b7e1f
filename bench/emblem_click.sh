#!/usr/bin/env bash
# Click -> first paint of a 4096 x 4096 emblem in the real window, next to
# QImage::load of the same picture as a 24-bit BMP shown in a QLabel, on a real
# X server. Runs alternate; prints medians of time and peak memory, and ratios.
# Usage: bench/emblem_click.sh build-bench/bench/emblem_click_probe [RUNS]
set -eu
probe=$(realpath "$1")
runs=${2:-11}
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work" <<'PY'
import struct, sys
w = h = 4096
row = bytes(((x * 7) & 255, (x >> 4) & 255, (x * 3) & 255)[i] for x in range(w) for i in range(3))
pixels = b"".join(row[(y * 3) % len(row):] + row[:(y * 3) % len(row)] for y in range(h))
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
open(f"{sys.argv[1]}/big.bmp", "wb").write(b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54) + info + pixels)
emblem = bytearray(272) + struct.pack("<ii", w, h)
row = b"".join(struct.pack("<H", (x * 37 + (x >> 3)) & 0xFFFF) for x in range(w))
emblem += b"".join(row[(2 * y) % len(row):] + row[:(2 * y) % len(row)] for y in range(h))
open(f"{sys.argv[1]}/big.zwp", "wb").write(emblem)
PY
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
"$probe" window "$work/big.zwp" >/dev/null 2>&1; "$probe" label "$work/big.bmp" >/dev/null 2>&1  # warm the file cache
for _ in $(seq "$runs"); do
  "$probe" window "$work/big.zwp" >>"$work/window" 2>/dev/null
  "$probe" label "$work/big.bmp" >>"$work/label" 2>/dev/null
done
wt=$(cut -d' ' -f1 "$work/window" | median); wm=$(cut -d' ' -f2 "$work/window" | median)
wd=$(awk '{print $2 - $3}' "$work/window" | median)
lt=$(cut -d' ' -f1 "$work/label" | median); lm=$(cut -d' ' -f2 "$work/label" | median)
ld=$(awk '{print $2 - $3}' "$work/label" | median)
echo "4096 x 4096, medians over $runs alternating runs:"
echo "  window, click on the emblem -> first paint: $wt ms, peak $((wm / 1024)) MiB (+$((wd / 1024)) MiB over before the click)"
echo "  QImage::load (BMP) + QLabel -> first paint: $lt ms, peak $((lm / 1024)) MiB (+$((ld / 1024)) MiB over before the load)"
awk -v a="$wt" -v b="$lt" -v c="$wm" -v d="$lm" 'BEGIN {printf "  ratio window / yardstick: time %.2f, peak memory %.2f\n", a / b, c / d}'
