#!/usr/bin/env python3
"""Checks that every #include in src/ points down the layers.

Each folder of src/ is a layer and may include only from the layers listed
for it; Qt only where a layer may use Qt, QtWidgets only in ui and app.

  check_layers.py SRC [--qt-include DIR]   lists every wrong include, exit 1 if any
  check_layers.py SRC --self-test          proves that wrong includes are caught
"""
import re
import shutil
import sys
import tempfile
from pathlib import Path

BELOW_CONVERT = {"core", "codec", "bitmap", "convert"}
ALLOWED = {
    "core": {"core"},
    "codec": {"core", "codec"},
    "bitmap": {"core", "bitmap"},
    "convert": BELOW_CONVERT,
    "imageio": BELOW_CONVERT | {"imageio"},
    "cli": BELOW_CONVERT | {"imageio", "cli"},
    "ui": BELOW_CONVERT | {"imageio", "ui"},
    "app": BELOW_CONVERT | {"imageio", "ui", "app"},
    "plugin": {"core", "codec", "plugin"},
    "web": BELOW_CONVERT | {"web"},
}
QT_ALLOWED = {"ui", "app", "imageio", "plugin"}
WIDGETS_ALLOWED = {"ui", "app"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def widgets_headers(qt_include):
    folder = Path(qt_include) / "QtWidgets"
    return {p.name for p in folder.iterdir()} if folder.is_dir() else set()


def problems(src, qt_include):
    src = Path(src)
    widgets = widgets_headers(qt_include)
    found = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        layer = path.relative_to(src).parts[0]
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


def self_test(src, qt_include):
    """Each wrong include, planted in a copy of the tree, must be reported."""
    plants = [
        ("core/picture.h", '#include "ui/form1.h"'),
        ("codec/emblem_file.h", '#include "convert/load.h"'),
        ("convert/load.h", "#include <QImage>"),
        ("cli/batch.h", '#include "ui/form1.h"'),
        ("cli/plan.h", "#include <QString>"),
    ]
    if widgets_headers(qt_include):
        plants.append(("core/error.h", "#include <QWidget>"))
    with tempfile.TemporaryDirectory() as tmp:
        copy = Path(tmp) / "src"
        shutil.copytree(src, copy)
        if problems(copy, qt_include):
            print("the tree is not clean to begin with")
            return 1
        for file, include in plants:
            target = copy / file
            original = target.read_text(encoding="utf-8")
            target.write_text(include + "\n" + original, encoding="utf-8")
            if not problems(copy, qt_include):
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
    if "--self-test" in args:
        args.remove("--self-test")
        return self_test(args[0], qt_include)
    found = problems(args[0], qt_include)
    for line in found:
        print(line)
    print(f"{0 if found else 1} passed, {1 if found else 0} failed")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
