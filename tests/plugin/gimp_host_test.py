"""GIMP, in batch mode with the plug-in built here, opens emblems and exports
them exactly as zwpconv converts: plain, dithered and fitted, and refuses
what zwpconv refuses with the same words.
Usage: gimp_host_test.py ZWPCONV PLUGIN_DIR BMP RGBA_PNG"""
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image
from zwpconv_result import zwpconv_result

zwpconv, plugins, bmp, png = sys.argv[1:5]
work = tempfile.mkdtemp()
config = os.path.join(work, "gimp")
os.makedirs(config)
with open(os.path.join(config, "gimprc"), "w") as rc:
    # Ours comes first: GIMP takes the first plug-in of a name, so an installed one is not used.
    rc.write(f'(plug-in-path "{plugins}:${{gimp_plug_in_dir}}/plug-ins")\n')


def path(name):
    return os.path.join(work, name)


def convert(*args):
    return zwpconv_result(zwpconv, work, *args)


def opened(source):
    return f'(image (car (gimp-file-load RUN-NONINTERACTIVE "{source}" "{source}")))' \
           ' (layer (car (gimp-image-get-active-layer image)))'


emblem = convert("--", bmp)
shutil.copy(png, path("rgba.png"))
Image.new("RGB", (200, 200), "red").save(path("large.png"))
commands = [
    f'(let* ({opened(emblem)}) (gimp-file-save RUN-NONINTERACTIVE image layer "{path("opened.png")}" "x"))',
    f'(let* ({opened(bmp)}) (gimp-file-save RUN-NONINTERACTIVE image layer "{path("plain.zwp")}" "x"))',
    f'(let* ({opened(path("rgba.png"))}) (file-zwp-save RUN-NONINTERACTIVE image layer "{path("fitted.zwp")}" "x" 1 20))',
    f'(let* ({opened(path("large.png"))}) (file-zwp-save RUN-NONINTERACTIVE image layer "{path("large.zwp")}" "x" 0 0))',
    "(gimp-quit 0)",
]
run = subprocess.run(["gimp-console-2.10", "-i", "-d", "-f", *[a for c in commands for a in ("-b", c)]],
                     env=dict(os.environ, GIMP2_DIRECTORY=config), capture_output=True, text=True, timeout=240)

failures = []
expected = Image.open(convert("--", emblem)).convert("RGB")
if not os.path.exists(path("opened.png")):
    failures.append("opening the emblem failed")
elif list(Image.open(path("opened.png")).convert("RGB").getdata()) != list(expected.getdata()):
    failures.append("the opened emblem's pixels differ from zwpconv's")
for name, args, source in [("plain.zwp", [], bmp), ("fitted.zwp", ["--dither", "--fit", "20"], path("rgba.png"))]:
    if not os.path.exists(path(name)) or open(path(name), "rb").read() != open(convert(*args, "--", source), "rb").read():
        failures.append(f"{name}: not byte-identical to zwpconv {' '.join(args)}")
if os.path.exists(path("large.zwp")) or "größer als 128 × 128 Pixel" not in run.stdout + run.stderr:
    failures.append("a 200 x 200 picture without fitting was not refused in zwpconv's words")
if failures:
    print(run.stdout, run.stderr)
shutil.rmtree(work)
print("\n".join(failures) or "1 passed, 0 failed")
sys.exit(1 if failures else 0)
