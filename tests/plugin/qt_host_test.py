"""A Qt program in Python (PyQt5 or PyQt6) reads and writes emblems through
the plugin for its Qt, exactly as zwpconv does. PLUGIN_DIR is where that
plugin was built; empty for the installed one.
Usage: qt_host_test.py PyQt5|PyQt6 ZWPCONV PLUGIN_DIR BMP"""
import importlib
import os
import sys
import tempfile

binding, zwpconv, plugins, bmp = sys.argv[1:5]
qt6 = dict(os.environ)  # zwpconv is a Qt 6 program: a Qt 5 plugin is not for it
if plugins:
    os.environ["QT_PLUGIN_PATH"] = plugins
QCoreApplication = importlib.import_module(binding + ".QtCore").QCoreApplication
QtGui = importlib.import_module(binding + ".QtGui")
QImage, QImageReader, QImageWriter = QtGui.QImage, QtGui.QImageReader, QtGui.QImageWriter
from zwpconv_result import zwpconv_result  # noqa: E402

app = QCoreApplication([])
failures = []
with tempfile.TemporaryDirectory() as work:
    emblem = zwpconv_result(zwpconv, work, "--", bmp, env=qt6)
    back = zwpconv_result(zwpconv, work, "--", emblem, env=qt6)

    if b"zwp" not in [bytes(f) for f in QImageReader.supportedImageFormats()]:
        failures.append(binding + "'s Qt does not list zwp")
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
