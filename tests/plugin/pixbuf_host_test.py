"""GTK programs (through gdk-pixbuf, with the loader built here) read and
write emblems exactly as zwpconv does, whole or piece by piece.
Usage: pixbuf_host_test.py ZWPCONV LOADERS_CACHE MIME_XML BMP RGBA_PNG"""
import os
import shutil
import subprocess
import sys
import tempfile

from zwpconv_result import zwpconv_result

zwpconv, cache, mime_xml, bmp, png = sys.argv[1:6]
work = tempfile.mkdtemp()
# GLib knows an emblem by its MIME type, from a database that holds ours.
os.makedirs(os.path.join(work, "share/mime/packages"))
shutil.copy(mime_xml, os.path.join(work, "share/mime/packages"))
subprocess.run(["update-mime-database", os.path.join(work, "share/mime")], check=True, capture_output=True)
os.environ["XDG_DATA_HOME"] = os.path.join(work, "share")
os.environ["GDK_PIXBUF_MODULE_FILE"] = cache
import gi  # noqa: E402
gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, GLib  # noqa: E402

failures = []


def convert(*args):
    return zwpconv_result(zwpconv, work, *args)


def rgb(pixbuf):
    """The pixels as rows of red, green, blue bytes, whatever the stride."""
    pixels, n = pixbuf.get_pixels(), pixbuf.get_n_channels()
    stride = pixbuf.get_rowstride()
    return [bytes(pixels[y * stride + x * n + c] for x in range(pixbuf.get_width()) for c in range(3))
            for y in range(pixbuf.get_height())]


def in_pieces(data, size):
    loader = GdkPixbuf.PixbufLoader.new_with_type("zwp")
    for start in range(0, len(data), size):
        loader.write(data[start:start + size])
    loader.close()
    return loader.get_pixbuf()


emblem = convert("--", bmp)
data = open(emblem, "rb").read()
cut = os.path.join(work, "cut.zwp")
open(cut, "wb").write(data[:-3])  # one word and a half missing: black, as in every reader
for name, path in [("whole", emblem), ("cut", cut)]:
    expected = rgb(GdkPixbuf.Pixbuf.new_from_file(convert("--", path)))
    if rgb(GdkPixbuf.Pixbuf.new_from_file(path)) != expected:
        failures.append(f"{name} file: pixels differ from zwpconv's")
    for size in (1, 7):
        if rgb(in_pieces(open(path, "rb").read(), size)) != expected:
            failures.append(f"{name} file in pieces of {size}: pixels differ from zwpconv's")

for options, args, source in [([], [], bmp), ([("dither", "yes"), ("fit", "20")], ["--dither", "--fit", "20"], png)]:
    saved = os.path.join(work, "saved.zwp")
    GdkPixbuf.Pixbuf.new_from_file(source).savev(saved, "zwp", [k for k, _ in options], [v for _, v in options])
    if open(saved, "rb").read() != open(convert(*args, "--", source), "rb").read():
        failures.append(f"saving {os.path.basename(source)} with {options}: bytes differ from zwpconv's")

# Refusals are errors the program can show, never a crash.
broken = os.path.join(work, "broken.zwp")
open(broken, "wb").write(data[:272] + b"\xff" * 8)
large = GdkPixbuf.Pixbuf.new(GdkPixbuf.Colorspace.RGB, False, 8, 200, 200)
for what, attempt in [("broken header", lambda: GdkPixbuf.Pixbuf.new_from_file(broken)),
                      ("200 x 200 unfitted", lambda: large.savev(os.path.join(work, "l.zwp"), "zwp", [], [])),
                      ("unknown option", lambda: large.savev(os.path.join(work, "l.zwp"), "zwp", ["x"], ["1"]))]:
    try:
        attempt()
        failures.append(f"{what}: not refused")
    except GLib.Error as e:
        print(f"{what}: {e.message}")
shutil.rmtree(work)
print("\n".join(failures) or "1 passed, 0 failed")
sys.exit(1 if failures else 0)
