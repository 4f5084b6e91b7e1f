#!/usr/bin/env python3
"""Checks that every #include in src/ and web/ points down the layers.

Each folder of src/ is a layer and may include only from the layers listed
for it; Qt only where a layer may use Qt, QtWidgets only in ui and app. The
C++ of the browser page (web/) is one more layer, `web`.

  check_layers.py SRC [WEB] [--qt-include DIR]   lists every wrong include, exit 1 if any
  check_layers.py SRC [WEB] --self-test          proves that wrong includes are caught
"""
import re
import shutil
import sys
import tempfile
from pathlib import Path

BELOW_CONVERT = {"core", "codec", "bitmap", "convert"}
FRONT_END = {"core", "convert"}
ALLOWED = {
    "core": {"core"},
    "codec": {"core", "codec"},
    "bitmap": {"core", "bitmap"},
    "convert": BELOW_CONVERT,
    # decoders over C libraries that zwpconv and the page share
    "formats": BELOW_CONVERT | {"formats"},
    "imageio": BELOW_CONVERT | {"formats", "imageio"},
    # Front ends reach the formats only through convert.
    "cli": FRONT_END | {"imageio", "cli"},
    "ui": FRONT_END | {"imageio", "ui"},
    "app": FRONT_END | {"imageio", "ui", "app"},
    # one folder per host program: plugins/qt, plugins/pixbuf, plugins/gimp
    "plugins": BELOW_CONVERT | {"plugins"},
    "web": FRONT_END | {"formats", "web"},
}
QT_ALLOWED = {"ui", "app", "imageio", "plugins"}
WIDGETS_ALLOWED = {"ui", "app"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def widgets_headers(qt_include):
    folder = Path(qt_include) / "QtWidgets"
    return {p.name for p in folder.iterdir()} if folder.is_dir() else set()


def sources(src, web):
    """Every C++ file with the layer it belongs to: its folder in src/, or web."""
    for root, layer in [(Path(src), None)] + ([(Path(web), "web")] if web else []):
        for path in sorted(root.rglob("*")):
            if path.suffix in (".h", ".cpp") and path.is_file() and "node_modules" not in path.parts:
                yield path, layer or path.relative_to(root).parts[0]


def problems(src, qt_include, web=None):
    widgets = widgets_headers(qt_include)
    found = []
    for path, layer in sources(src, web):
        if layer not in ALLOWED:
            found.append(f"{path}: folder {layer}/ is no known layer")
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            kind, name = match.groups()
            line = text.count("\n", 0, match.start()) + 1
            where = f"{path}:{line}: {layer} includes {name}"
            if kind == '"' and "/" in name:
                target = name.split("/")[0]
                if target in ALLOWED and target not in ALLOWED[layer]:
                    found.append(f"{where}, but {layer} may not use {target}")
            elif kind == "<" and re.match(r"Qt|Q[A-Z]", name):
                header = name.split("/")[-1]
                if layer not in QT_ALLOWED:
                    found.append(f"{where}, but Qt is not allowed in {layer}")
                elif (name.startswith("QtWidgets") or header in widgets) and layer not in WIDGETS_ALLOWED:
                    found.append(f"{where}, but QtWidgets is not allowed in {layer}")
    return found


def self_test(src, qt_include, web=None):
    """Each wrong include, planted in a copy of the tree, must be reported."""
    plants = [
        ("src/core/picture.h", '#include "ui/form1.h"'),
        ("src/codec/emblem_file.h", '#include "convert/pipeline.h"'),
        ("src/convert/pipeline.h", "#include <QImage>"),
        ("src/cli/batch.h", '#include "ui/form1.h"'),
        ("src/cli/plan.h", "#include <QString>"),
        ("src/cli/batch.cpp", '#include "bitmap/bmp_reader.h"'),
        ("src/ui/form1.h", '#include "codec/emblem_file.h"'),
    ]
    if widgets_headers(qt_include):
        plants.append(("src/core/error.h", "#include <QWidget>"))
    if web:
        plants += [("web/module/zwp_web.cpp", '#include "imageio/image_file.h"'),
                   ("web/module/zwp_web.cpp", "#include <QImage>"),
                   ("web/module/zwp_web.cpp", '#include "bitmap/bmp_reader.h"')]
    with tempfile.TemporaryDirectory() as tmp:
        shutil.copytree(src, Path(tmp) / "src")
        if web:
            shutil.copytree(web, Path(tmp) / "web", ignore=shutil.ignore_patterns("node_modules"))
        copy_web = Path(tmp) / "web" if web else None
        if problems(Path(tmp) / "src", qt_include, copy_web):
            print("the tree is not clean to begin with")
            return 1
        for file, include in plants:
            target = Path(tmp) / file
            original = target.read_text(encoding="utf-8")
            target.write_text(include + "\n" + original, encoding="utf-8")
            if not problems(Path(tmp) / "src", qt_include, copy_web):
                print(f"not caught: {include} in {file}")
                return 1
            target.write_text(original, encoding="utf-8")
    print(f"{len(plants)} passed, 0 failed")
    return 0


def main(argv):
    args = argv[1:]
    qt_include = "/usr/include/x86_64-linux-gnu/qt6"
    if "--qt-include" in args:
        at = args.index("--qt-include")
        qt_include = args[at + 1]
        del args[at:at + 2]
    web = args[1] if len(args) > 1 and not args[1].startswith("--") else None
    if "--self-test" in args:
        return self_test(args[0], qt_include, web)
    found = problems(args[0], qt_include, web)
    for line in found:
        print(line)
    print(f"{0 if found else 1} passed, {1 if found else 0} failed")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
