#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets: small emblems made here, and
the smaller BMP fixtures of the decoder tests (ImageMagick and PIL files) plus
a hand-made RLE4 and a 16-bit file. For fuzz_roundtrip the first byte says how
the rest is read: 0 as a BMP, 1 as an emblem."""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "tests", "bitmap", "fixtures")


def emblem(w, h, words):
    return bytes(272) + struct.pack("<ii", w, h) + b"".join(struct.pack("<H", x) for x in words)


def bmp(info_size, w, h, bits, compression, palette, data, masks=b""):
    info = struct.pack("<IiiHHIIiiII", info_size, w, h, 1, bits, compression, len(data), 3780, 3780, len(palette) // 4, 0)
    info += masks  # after a 40-byte header the bit-field masks follow it
    off = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", off + len(data), 0, 0, off) + info + palette + data


emblems = {
    "e_2x1.zwp": emblem(2, 1, [0xFFFF, 0xF800]),
    "e_3x2.zwp": emblem(3, 2, [1, 2, 3, 0x07E0, 0x001F, 0x8000]),
    "e_empty.zwp": emblem(0, 0, []),
    "e_short.zwp": emblem(4, 4, [0x1234])[:-1],
}
pal4 = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255)])
bitmaps = {
    "rle4.bmp": bmp(40, 7, 2, 4, 2, pal4, bytes([3, 0x12, 0, 3, 0x32, 0x10, 0, 0, 0, 2, 1, 0, 2, 0x33, 0, 1])),
    "rle8_delta.bmp": bmp(40, 5, 3, 8, 1, pal4, bytes([2, 1, 0, 2, 1, 0, 1, 3, 0, 0, 0, 3, 2, 3, 1, 0, 0, 1])),
    "bits565.bmp": bmp(40, 2, 2, 16, 3, b"", bytes(range(8)), masks=struct.pack("<III", 0xF800, 0x07E0, 0x001F)),
    "topdown.bmp": bmp(40, 2, -2, 24, 0, b"", bytes(range(16))),
}
fixtures = ["im_1bit.bmp", "im_4bit.bmp", "im_rle8.bmp", "im_555.bmp", "pil_1bit.bmp", "im_os2_4bit.bmp", "im_565.bmp"]

ART = os.path.join(HERE, "..", "tests", "imageio", "fixtures")
artwork = ["rotated.jpg", "alpha.tga", "alpha.tif", "anim.gif", "opaque.png"]

for target in ("fuzz_emblem_read", "fuzz_artwork", "fuzz_roundtrip", "fuzz_plugin_read"):
    d = os.path.join(HERE, "corpus", target)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    seeds = {}
    if target != "fuzz_artwork":
        seeds.update({n: (b"\1" if target == "fuzz_roundtrip" else b"") + e for n, e in emblems.items()})
    if target in ("fuzz_artwork", "fuzz_roundtrip"):
        prefix = b"\0" if target == "fuzz_roundtrip" else b""
        seeds.update({n: prefix + b for n, b in bitmaps.items()})
        for f in fixtures:
            seeds[f] = prefix + open(os.path.join(FIXTURES, f), "rb").read()
    if target == "fuzz_artwork":
        seeds.update({f: open(os.path.join(ART, f), "rb").read() for f in artwork})
    for name, data in seeds.items():
        open(os.path.join(d, name), "wb").write(data)
    print(target, len(seeds), "seeds")
