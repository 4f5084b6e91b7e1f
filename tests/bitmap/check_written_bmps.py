#!/usr/bin/python3
"""Writes BMPs of odd widths 1..127 (and 128) with our writer and checks that
PIL and ImageMagick read back exactly the pattern it was given."""
import subprocess
import sys
import tempfile

from PIL import Image

writer = sys.argv[1]
sizes = [(w, 1 + w % 5) for w in list(range(1, 128, 2)) + [128]]


def expected(w, h):
    return [((x * 2 + y) & 255, (y * 7 + x) & 255, (x ^ (y * 3)) & 255) for y in range(h) for x in range(w)]


with tempfile.TemporaryDirectory() as d:
    subprocess.run([writer, d] + [str(v) for s in sizes for v in s], check=True)
    bad = 0
    for w, h in sizes:
        path = f"{d}/{w}x{h}.bmp"
        want = expected(w, h)
        with Image.open(path) as img:
            if img.size != (w, h) or list(img.convert("RGB").getdata()) != want:
                print(f"PIL reads {path} differently"); bad += 1
        raw = subprocess.run(["/usr/bin/convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
        if list(zip(raw[0::3], raw[1::3], raw[2::3])) != want:
            print(f"ImageMagick reads {path} differently"); bad += 1
    print(f"{len(sizes) * 2 - bad} passed, {bad} failed")
    sys.exit(1 if bad else 0)
