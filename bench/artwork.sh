#!/usr/bin/env bash
# zwpconv on artwork:
#  1. 1000 PNGs of 128 x 128 -> emblems, next to the same pictures as 24-bit BMPs
#     (runs interleaved), per file;
#  2. one 4096 x 4096 PNG with --fit 128 --dither: wall time and peak memory;
#  3. --fit 128 next to ImageMagick's "-filter Box -resize 128x128": mean difference.
# Usage: bench/artwork.sh build-bench/src/cli/zwpconv [RUNS]
set -eu
zwpconv=$(realpath "$1")
runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/png" "$work/bmp"
/usr/bin/python3 - "$work" <<'PY'
import sys
from PIL import Image
work = sys.argv[1]
w = h = 128
base = bytes(((x * 2 + y) & 255, (y * 3) & 255, (x ^ y) & 255)[i] for y in range(h) for x in range(w) for i in range(3))
for n in range(1000):
    k = (n * 7919) % len(base)
    img = Image.frombytes("RGB", (w, h), base[k:] + base[:k])
    img.save(f"{work}/png/p{n:04d}.png")
    img.save(f"{work}/bmp/p{n:04d}.bmp")
big = Image.new("RGB", (4096, 4096))
big.putdata([((x * 3) & 255, (y >> 4) & 255, ((x ^ y) >> 3) & 255) for y in range(4096) for x in range(4096)])
big.save(f"{work}/big.png")
PY
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ms() {
  local s e
  s=$(date +%s%N)
  "$@" >/dev/null 2>"$work/stderr" || { echo "failed: $*" >&2; head -3 "$work/stderr" >&2; exit 1; }
  e=$(date +%s%N)
  echo $(( (e - s) / 1000000 ))
}
cd "$work"
png=() bmp=()
for r in $(seq "$runs"); do
  mkdir "a$r" "b$r"
  png+=("$(ms "$zwpconv" -o "a$r" png/*.png)")
  bmp+=("$(ms "$zwpconv" -o "b$r" bmp/*.bmp)")
done
p=$(printf '%s\n' "${png[@]}" | median); b=$(printf '%s\n' "${bmp[@]}" | median)
echo "1000 files of 128 x 128 -> emblems, medians over $runs interleaved runs:"
echo "  PNG: $p ms ($(awk -v a="$p" 'BEGIN {printf "%.3f", a / 1000}') ms a file), BMP: $b ms; PNG / BMP $(awk -v a="$p" -v b="$b" 'BEGIN {printf "%.2f", a / b}')"

times=() peaks=()
for r in $(seq "$runs"); do
  out=$(/usr/bin/python3 - "$zwpconv" "$work/big.png" "$work/big$r.zwp" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
subprocess.run([sys.argv[1], "--fit", "128", "--dither", "-f", sys.argv[2]], check=True, stdout=subprocess.DEVNULL)
wall = (time.monotonic() - start) * 1000
print(int(wall), resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024)
PY
)
  times+=("${out% *}"); peaks+=("${out#* }")
done
t=$(printf '%s\n' "${times[@]}" | median); m=$(printf '%s\n' "${peaks[@]}" | median)
echo "4096 x 4096 PNG, --fit 128 --dither: median $t ms, peak $m MiB ($(awk -v a="$m" 'BEGIN {printf "%.2f", a / 64}') x the 64 MiB decoded picture)"

mkdir "$work/fit"
for name in big.png bmp/p0000.bmp; do
  "$zwpconv" -f --to png --fit 100 -o "$work/fit" "$name" >/dev/null
  /usr/bin/convert "$name" -filter Box -resize 100x100 "$work/im.png"
  /usr/bin/python3 - "$work/fit/$(basename "${name%.*}").png" "$work/im.png" "$name" <<'PY'
import sys
from PIL import Image
a, b = Image.open(sys.argv[1]).convert("RGB"), Image.open(sys.argv[2]).convert("RGB")
assert a.size == b.size, (a.size, b.size)
d = [abs(x - y) for pa, pb in zip(a.getdata(), b.getdata()) for x, y in zip(pa, pb)]
print(f"--fit 100 vs ImageMagick -filter Box -resize 100x100 on {sys.argv[3]}: {a.size[0]} x {a.size[1]}, mean difference {sum(d) / len(d):.3f} of 255, largest {max(d)}")
PY
done
