"""A Qt 5 program (PyQt5) reads and writes emblems through the plugin built
for Qt 5, exactly as zwpconv does.
Usage: qt5_host_test.py ZWPCONV PLUGIN_DIR BMP"""
import os
import sys
import tempfile

zwpconv, plugins, bmp = sys.argv[1:4]
qt6 = dict(os.environ)  # zwpconv is a Qt 6 program: the Qt 5 plugin is not for it
os.environ["QT_PLUGIN_PATH"] = plugins
from PyQt5.QtCore import QCoreApplication  # noqa: E402
from PyQt5.QtGui import QImage, QImageReader, QImageWriter  # noqa: E402
from zwpconv_result import zwpconv_result  # noqa: E402

app = QCoreApplication([])
failures = []
with tempfile.TemporaryDirectory() as work:
    emblem = zwpconv_result(zwpconv, work, "--", bmp, env=qt6)
    back = zwpconv_result(zwpconv, work, "--", emblem, env=qt6)

    if b"zwp" not in [bytes(f) for f in QImageReader.supportedImageFormats()]:
        failures.append("Qt 5 does not list zwp")
    read = QImageReader(emblem).read()
    expected = QImage(back)
    if read.isNull() or read.size() != expected.size():
        failures.append("reading: %s" % QImageReader(emblem).errorString())
    elif any(read.pixel(x, y) & 0xFFFFFF != expected.pixel(x, y) & 0xFFFFFF
             for y in range(read.height()) for x in range(read.width())):
        failures.append("reading: pixels differ from zwpconv's")

    written = os.path.join(work, "qt5.zwp")
    if not QImageWriter(written, b"zwp").write(QImage(bmp)):
        failures.append("writing failed")
    elif open(written, "rb").read() != open(emblem, "rb").read():
        failures.append("writing: bytes differ from zwpconv's")

print("\n".join(failures) or "1 passed, 0 failed")
sys.exit(1 if failures else 0)
