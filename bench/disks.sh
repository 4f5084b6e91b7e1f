#!/usr/bin/env bash
# What durability costs on each kind of disk: zwpconv converting the same
# 128 x 128 BMPs into an ext4 folder (one syncfs per group of files), a tmpfs
# and bindfs over that tmpfs (FUSE: every file and folder synced alone, since
# a FUSE server never sees syncfs). Runs are interleaved; prints median
# files/s of each and the ratios against ext4 in the same run. Needs root.
# Usage: bench/disks.sh build-bench/src/cli/zwpconv [RUNS] [FILES]
set -eu
zwpconv=$(realpath "$1")
runs=${2:-5}
count=${3:-1000}
command -v bindfs >/dev/null || { echo "needs bindfs (scripts/deps)" >&2; exit 1; }
work=$(mktemp -d -p "${BENCH_EXT4:-/var/tmp}")
mkdir "$work/in" "$work/ext4" "$work/tmpfs" "$work/fuse"
mount -t tmpfs -o size=512m tmpfs "$work/tmpfs"
bindfs "$work/tmpfs" "$work/fuse"
trap 'umount "$work/fuse"; umount "$work/tmpfs"; rm -rf "$work"' EXIT
[ "$(stat -f -c %T "$work/ext4")" = ext2/ext3 ] || echo "warning: $work is not on ext4" >&2
/usr/bin/convert -size 128x128 plasma:fractal -seed 3 -type TrueColor "BMP3:$work/in/p0.bmp"
for i in $(seq 1 $((count - 1))); do cp "$work/in/p0.bmp" "$work/in/p$i.bmp"; done

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ms() {
  local s e
  s=$(date +%s%N)
  "$zwpconv" -o "$1" "$work"/in/*.bmp >/dev/null || { echo "zwpconv failed on $1" >&2; exit 1; }
  e=$(date +%s%N)
  echo $(( (e - s) / 1000000 ))
}
for kind in ext4 tmpfs fuse; do : >"$work/$kind.ms"; done
for r in $(seq "$runs"); do
  for kind in ext4 tmpfs fuse; do
    ms "$work/$kind" >>"$work/$kind.ms"
    find "$work/$kind" -name '*.zwp' -delete
  done
done
read -r base < <(median <"$work/ext4.ms")
for kind in ext4 tmpfs fuse; do
  read -r t < <(median <"$work/$kind.ms")
  awk -v k="$kind" -v t="$t" -v n="$count" -v b="$base" \
    'BEGIN {printf "%-6s %6d ms  %7.0f files/s  ratio to ext4 %.2f\n", k, t, n * 1000 / t, b / t}'
done
echo "$count files of 128 x 128, median of $runs runs; load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
