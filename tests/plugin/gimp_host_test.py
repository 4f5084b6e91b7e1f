"""GIMP, in batch mode with the plug-in built here, opens emblems and exports
them exactly as zwpconv converts: plain, dithered and fitted, and refuses
what zwpconv refuses with the same words.
Usage: gimp_host_test.py ZWPCONV PLUGIN_DIR BMP"""
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image
from zwpconv_result import zwpconv_result

zwpconv, plugins, bmp = sys.argv[1:4]
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


def gimp2(jobs):
    """Script-Fu for GIMP 2.10: file-zwp-save takes dither and fit after the common arguments."""
    def opened(source):
        return f'(image (car (gimp-file-load RUN-NONINTERACTIVE "{source}" "{source}")))' \
               ' (layer (car (gimp-image-get-active-layer image)))'
    commands = [f'(let* ({opened(source)}) (gimp-file-save RUN-NONINTERACTIVE image layer "{target}" "x"))'
                if options is None else
                f'(let* ({opened(source)}) (file-zwp-save RUN-NONINTERACTIVE image layer "{target}" "x" {options[0]} {options[1]}))'
                for source, target, options in jobs]
    return ["gimp-console-2.10", "-i", "-d", "-f", *[a for c in commands + ["(gimp-quit 0)"] for a in ("-b", c)]], \
        "GIMP2_DIRECTORY"


def gimp3(jobs):
    """Python for GIMP 3: file-zwp-export takes "dither" and "fit" as named arguments."""
    program = [
        "from gi.repository import Gimp, Gio",
        "def export(source, target, options):",
        "    image = Gimp.file_load(Gimp.RunMode.NONINTERACTIVE, Gio.File.new_for_path(source))",
        "    if options is None:",
        "        Gimp.file_save(Gimp.RunMode.NONINTERACTIVE, image, Gio.File.new_for_path(target), None)",
        "    else:",
        "        procedure = Gimp.get_pdb().lookup_procedure('file-zwp-export')",
        "        config = procedure.create_config()",
        "        for name, value in [('run-mode', Gimp.RunMode.NONINTERACTIVE), ('image', image),",
        "                            ('file', Gio.File.new_for_path(target)), ('dither', options[0] == 1),",
        "                            ('fit', options[1])]:",
        "            config.set_property(name, value)",
        "        procedure.run(config)",
        "    image.delete()",
        *[f"export({source!r}, {target!r}, {options!r})" for source, target, options in jobs],
    ]
    return ["gimp-console-3.0", "-i", "-d", "-f", "--quit", "--batch-interpreter=python-fu-eval",
            "-b", "\n".join(program)], "GIMP3_DIRECTORY"


emblem = convert("--", bmp)
# Half-transparent colours, without a gamma chunk: GIMP 3 applies one when it loads, zwpconv does not.
Image.frombytes("RGBA", (40, 30), bytes((x * 6 + c * 40 + y * 2) % 256 for y in range(30) for x in range(40)
                                        for c in range(4))).save(path("rgba.png"))
Image.new("RGB", (200, 200), "red").save(path("large.png"))
jobs = [(emblem, path("opened.png"), None), (bmp, path("plain.zwp"), None),
        (path("rgba.png"), path("fitted.zwp"), (1, 20)), (path("large.png"), path("large.zwp"), (0, 0))]
command, directory = (gimp3 if shutil.which("gimp-console-3.0") else gimp2)(jobs)
run = subprocess.run(command, env=dict(os.environ, **{directory: config}), capture_output=True, text=True, timeout=240)

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
