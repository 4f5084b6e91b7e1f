#!/usr/bin/env bash
# zwpconv on a whole folder, next to the tool a user would otherwise reach for:
# ImageMagick's mogrify converting the same BMPs in one process. Runs of the
# three commands are interleaved so that they share the machine's state; every
# exit status is checked. Prints medians and the ratios against mogrify.
# Outputs are kept until all runs of a size are done, and the benchmark waits
# after deleting: ext4 skips inodes freed in the last 30 s one by one when it
# allocates, which would slow whichever command ran right after a deletion.
# Usage: bench/zwpconv_batch.sh build-bench/src/cli/zwpconv [RUNS] [FILES...]
#   e.g. bench/zwpconv_batch.sh build-bench/src/cli/zwpconv 7 1000 10000
set -eu
zwpconv=$(realpath "$1")
runs=${2:-5}
shift $(( $# >= 2 ? 2 : $# ))
counts=("${@:-1000}")
command -v mogrify >/dev/null || { echo "needs ImageMagick's mogrify" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Wall time of a command in ms; a failing command stops the benchmark.
ms() {
  local s e
  s=$(date +%s%N)
  if ! "$@" >/dev/null 2>"$work/stderr"; then echo "failed: $*" >&2; head -5 "$work/stderr" >&2; exit 1; fi
  e=$(date +%s%N)
  echo $(( (e - s) / 1000000 ))
}

for count in "${counts[@]}"; do
  rm -rf "$work"/*
  sleep 31
  mkdir -p "$work/in"
  /usr/bin/python3 - "$work/in" "$count" <<'PY'
import struct, sys
w = h = 128
base = bytes(((x * 2 + y) & 255, (y * 3) & 255, (x ^ y) & 255)[i] for y in range(h) for x in range(w) for i in range(3))
header = b"BM" + struct.pack("<IHHI", 54 + len(base), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(base), 3780, 3780, 0, 0)
for n in range(int(sys.argv[2])):
    k = (n * 7919) % len(base)
    open(f"{sys.argv[1]}/pic{n:05d}.bmp", "wb").write(header + info + base[k:] + base[:k])
PY
  to_zwp=() to_bmp=() mog=()
  cd "$work"
  for r in $(seq "$runs"); do
    mkdir "zwp$r" "back$r" "im$r"
    to_zwp+=("$(ms "$zwpconv" -o "zwp$r" in/*.bmp)")
    mog+=("$(ms mogrify -path "im$r" -format bmp in/*.bmp)")
    to_bmp+=("$(ms "$zwpconv" -o "back$r" "zwp$r"/*.zwp)")
    [ "$(ls "zwp$r" | wc -l)" -eq "$count" ] && [ "$(ls "back$r" | wc -l)" -eq "$count" ] || { echo "missing outputs" >&2; exit 1; }
  done
  cd - >/dev/null
  z=$(printf '%s\n' "${to_zwp[@]}" | median)
  b=$(printf '%s\n' "${to_bmp[@]}" | median)
  m=$(printf '%s\n' "${mog[@]}" | median)
  echo "$count files of 128 x 128, medians over $runs interleaved runs:"
  echo "  zwpconv -o DIR  BMP -> ZWP: ${z} ms  ($(awk -v a="$z" -v b="$m" 'BEGIN {printf "%.2f", a / b}') x mogrify)"
  echo "  zwpconv -o DIR  ZWP -> BMP: ${b} ms  ($(awk -v a="$b" -v b="$m" 'BEGIN {printf "%.2f", a / b}') x mogrify)"
  echo "  mogrify -path DIR -format bmp (BMP -> BMP): ${m} ms"
done
