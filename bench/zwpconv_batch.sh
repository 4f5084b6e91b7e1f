#!/usr/bin/env bash
# zwpconv on a whole folder of 128 x 128 pictures, against two yardsticks run
# interleaved with it on the same disk: the physical floor, copying the same
# input files to a new folder and syncing it (cp -r IN OUT && sync -f OUT), and
# the tool a user would otherwise reach for, ImageMagick's mogrify. Both
# directions (BMP -> emblem, emblem -> BMP) on ext4 and on tmpfs. Prints
# medians, the ratios against the floor and mogrify, the CPU share of one run
# (/usr/bin/time) and the system calls per file (strace -c -f, all of them,
# the program's start included). Every exit status and output count is checked.
# Outputs stay until all runs on a disk are done, and the benchmark waits
# after deleting: ext4 skips inodes freed in the last 30 s one by one when it
# allocates, which would slow whichever command ran right after a deletion.
# Usage: bench/zwpconv_batch.sh build-bench/src/cli/zwpconv [RUNS] [FILES] [DISK...]
#   DISK is a folder to work in; by default one on ext4 (/var/tmp) and /dev/shm.
set -eu
zwpconv=$(realpath "$1")
runs=${2:-5}
count=${3:-1000}
shift $(( $# >= 3 ? 3 : $# ))
disks=("${@:-/var/tmp}")
[ $# -gt 0 ] || disks+=(/dev/shm)
for tool in mogrify strace /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
# Wall time of a command in ms; a failing command stops the benchmark.
ms() {
  local s e
  s=$(date +%s%N)
  if ! "$@" >/dev/null 2>"$work/stderr"; then echo "failed: $*" >&2; head -5 "$work/stderr" >&2; exit 1; fi
  e=$(date +%s%N)
  echo $(( (e - s) / 1000000 ))
}
floor() { cp -r "$1" "$2" && sync -f "$2"; }
files() { find "$1" -maxdepth 1 -type f | wc -l; }
calls() {  # system calls per file of one zwpconv run
  "$work/fresh" "$2"
  strace -c -f -o "$work/strace" "$zwpconv" -o "$2" "$1"/* >/dev/null
  awk -v n="$count" '$NF == "total" {printf "%.2f", $4 / n}' "$work/strace"
}
cpu() {
  "$work/fresh" "$2"
  /usr/bin/time -f %P -o "$work/time" "$zwpconv" -o "$2" "$1"/* >/dev/null
  cat "$work/time"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores; $count files of 128 x 128, medians of $runs interleaved runs"
for disk in "${disks[@]}"; do
  work=$(mktemp -d "$disk/zwpconv-bench.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  printf '#!/bin/sh\nrm -rf "$1" && mkdir "$1"\n' > "$work/fresh" && chmod +x "$work/fresh"
  mkdir "$work/bmp" "$work/zwp"
  /usr/bin/python3 - "$work/bmp" "$count" <<'PY'
import struct, sys
w = h = 128
base = bytes(((x * 2 + y) & 255, (y * 3) & 255, (x ^ y) & 255)[i] for y in range(h) for x in range(w) for i in range(3))
header = b"BM" + struct.pack("<IHHI", 54 + len(base), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(base), 3780, 3780, 0, 0)
for n in range(int(sys.argv[2])):
    k = (n * 7919) % len(base)
    open(f"{sys.argv[1]}/pic{n:05d}.bmp", "wb").write(header + info + base[k:] + base[:k])
PY
  "$zwpconv" -o "$work/zwp" "$work"/bmp/* >/dev/null
  sync -f "$work"
  type=$(df --output=fstype "$work" | tail -n 1)
  [ "$type" = tmpfs ] || sleep 31
  to_zwp=() to_bmp=() floor_bmp=() floor_zwp=() mog=()
  for r in $(seq "$runs"); do
    mkdir "$work/z$r" "$work/b$r" "$work/m$r"
    to_zwp+=("$(ms "$zwpconv" -o "$work/z$r" "$work"/bmp/*)")
    floor_bmp+=("$(ms floor "$work/bmp" "$work/fb$r")")
    to_bmp+=("$(ms "$zwpconv" -o "$work/b$r" "$work"/zwp/*)")
    floor_zwp+=("$(ms floor "$work/zwp" "$work/fz$r")")
    mog+=("$(ms mogrify -path "$work/m$r" -format bmp "$work"/bmp/*)")
    for d in z b m fb fz; do
      [ "$(files "$work/$d$r")" -eq "$count" ] || { echo "missing outputs in $d$r" >&2; exit 1; }
    done
  done
  z=$(printf '%s\n' "${to_zwp[@]}" | median)
  b=$(printf '%s\n' "${to_bmp[@]}" | median)
  fb=$(printf '%s\n' "${floor_bmp[@]}" | median)
  fz=$(printf '%s\n' "${floor_zwp[@]}" | median)
  m=$(printf '%s\n' "${mog[@]}" | median)
  echo "$type ($disk):"
  echo "  BMP -> ZWP: zwpconv ${z} ms, floor ${fb} ms: $(ratio "$z" "$fb") x floor, $(ratio "$z" "$m") x mogrify;" \
       "CPU $(cpu "$work/bmp" "$work/c1"), $(calls "$work/bmp" "$work/s1") calls a file"
  echo "  ZWP -> BMP: zwpconv ${b} ms, floor ${fz} ms: $(ratio "$b" "$fz") x floor;" \
       "CPU $(cpu "$work/zwp" "$work/c2"), $(calls "$work/zwp" "$work/s2") calls a file"
  echo "  mogrify -path DIR -format bmp (BMP -> BMP): ${m} ms"
  rm -rf "$work"
  trap - EXIT
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
