# Reads the window's accessible tree over AT-SPI, as Orca does, and checks
# that every control is heard by name and role, in the order the controls
# stand on screen, and that the banner is not heard at all.
import sys
import time

import pyatspi


def window():
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == "ZWP-Konverter":
                for frame in app:
                    if frame is not None and frame.name == "Form1" and frame.childCount:
                        return frame
        time.sleep(0.2)
    names = [(a.name, [f.name for f in a if f is not None]) for a in pyatspi.Registry.getDesktop(0) if a is not None]
    sys.exit("the window never appeared on the accessibility bus: %s" % names)


def leaves(node, out):
    for child in node:
        if child is None:
            continue
        role = child.getRoleName()
        if role in ("list", "combo box", "push button", "image", "label"):
            out.append((role, child.name))
        elif role not in ("menu bar", "list item"):
            leaves(child, out)
    return out


heard = leaves(window(), [])
expected = [
    ("push button", "BMP -> ZWP"),
    ("label", "Laufwerk:"),
    ("combo box", "Laufwerk"),
    ("list", "Verzeichnisse"),
    ("list", "Dateien"),
    ("label", "breite:64"),
    ("label", "Höhe:48"),
    ("image", "Vorschau, 64 × 48 Pixel"),
    ("push button", "Konvert"),
]
if heard != expected:
    sys.exit("heard:\n  %s\nexpected:\n  %s" % ("\n  ".join(map(str, heard)), "\n  ".join(map(str, expected))))
print("AT-SPI: %d controls named and in order" % len(heard))
