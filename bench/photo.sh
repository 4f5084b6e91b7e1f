#!/usr/bin/env bash
# A phone-sized photo (8000 x 6000 JPEG) to a 128 x 96 emblem with
# --fit 128, next to ImageMagick's "convert IN -resize 128x128 OUT.png" in the
# same run, runs interleaved: median wall time and peak memory of each.
# Usage: bench/photo.sh build-bench/src/cli/zwpconv [RUNS] [WIDTH HEIGHT]
set -eu
zwpconv=$(realpath "$1")
runs=${2:-5}
width=${3:-8000}
height=${4:-6000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Noise and gradients, so that the JPEG is as hard to decode as a photo.
/usr/bin/convert -size "${width}x${height}" plasma:fractal -seed 7 -attenuate 0.3 +noise Gaussian \
  -quality 90 photo.jpg
echo "photo.jpg: ${width} x ${height}, $(($(stat -c %s photo.jpg) / 1024)) KiB"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Prints "milliseconds peak-KiB" of one run.
measure() {
  /usr/bin/time -f '%e %M' -o stats "$@" >/dev/null 2>err || { echo "failed: $*" >&2; cat err >&2; exit 1; }
  awk '{printf "%d %d\n", $1 * 1000, $2}' stats
}
: >ours; : >theirs
for r in $(seq "$runs"); do
  measure "$zwpconv" -f --fit 128 -o . photo.jpg >>ours
  measure /usr/bin/convert photo.jpg -resize 128x128 magick.png >>theirs
done
"$zwpconv" --info photo.zwp
read -r ours_ms < <(cut -d' ' -f1 ours | median)
read -r ours_kib < <(cut -d' ' -f2 ours | median)
read -r im_ms < <(cut -d' ' -f1 theirs | median)
read -r im_kib < <(cut -d' ' -f2 theirs | median)
echo "zwpconv --fit 128:        ${ours_ms} ms, peak $((ours_kib / 1024)) MiB (median of ${runs})"
echo "convert -resize 128x128:  ${im_ms} ms, peak $((im_kib / 1024)) MiB"
awk -v a="$ours_ms" -v b="$im_ms" 'BEGIN {printf "time ratio zwpconv / ImageMagick: %.2f\n", a / b}'
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
