#!/usr/bin/env bash
# Converts 1,000 BMPs of 128 x 128 pixels to emblems in one zwpconv call and,
# as the yardstick a user would otherwise reach for, the same files BMP -> BMP
# with ImageMagick: `convert` once per file and `mogrify` in one process.
# Usage: bench/zwpconv_batch.sh build-bench/src/cli/zwpconv [RUNS]
set -eu
zwpconv=$(realpath "$1")
runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out" "$work/im"

/usr/bin/python3 - "$work/in" <<'PY'
import struct, sys
w = h = 128
stride = w * 3
for n in range(1000):
    rows = bytearray()
    for y in range(h):
        rows += bytes(((x * 2 + y + n) & 255, (y * 3 + n) & 255, (x ^ y ^ n) & 255)[i % 3] for x in range(w) for i in range(3))
    header = b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 3780, 3780, 0, 0)
    open(f"{sys.argv[1]}/pic{n:04d}.bmp", "wb").write(header + info + rows)
PY

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ms() { local s e; s=$(date +%s%N); "$@" >/dev/null 2>&1; e=$(date +%s%N); echo $(( (e - s) / 1000000 )); }

cd "$work"
ours=$(for _ in $(seq "$runs"); do ms "$zwpconv" -f -o out in/*.bmp; done | median)
echo "zwpconv, 1000 files BMP -> ZWP: median ${ours} ms over $runs runs"
ls out | wc -l | xargs echo "  emblems written:"
mog=$(for _ in $(seq "$runs"); do ms mogrify -path im -format bmp in/*.bmp; done | median)
echo "ImageMagick mogrify, 1000 files BMP -> BMP in one process: median ${mog} ms over $runs runs"
loop() { for f in in/*.bmp; do /usr/bin/convert "$f" "im/$(basename "$f")"; done; }
conv=$(ms loop)
echo "ImageMagick convert, once per file (1000 calls): ${conv} ms (one run)"
