# Reads the window's accessible tree over AT-SPI, as Orca does: every control
# is heard by name and role, in the order it stands on screen, the banner not
# at all, and the drive box with its drive.
import sys
import time

import pyatspi

EXPECTED = [("push button", "BMP -> ZWP"), ("label", "Laufwerk:"), ("combo box", "Laufwerk"),
            ("list", "Verzeichnisse"), ("list", "Dateien"), ("label", "breite:64"), ("label", "Höhe:48"),
            ("image", "Vorschau, 64 × 48 Pixel"), ("push button", "Konvert")]


def window():
    for _ in range(100):
        for app in pyatspi.Registry.getDesktop(0):
            for frame in app or []:
                if app.name == "ZWP-Konverter" and frame and frame.name == "Form1" and frame.childCount:
                    return frame
        time.sleep(0.2)
    sys.exit("the window never appeared on the accessibility bus")


# By role, not by the role's English name, which newer AT-SPI spells differently ("button").
ROLES = {pyatspi.ROLE_LIST: "list", pyatspi.ROLE_COMBO_BOX: "combo box", pyatspi.ROLE_PUSH_BUTTON: "push button",
         pyatspi.ROLE_IMAGE: "image", pyatspi.ROLE_LABEL: "label"}


def heard(node):
    for child in filter(None, node):
        role = child.getRole()
        if role in ROLES:
            yield ROLES[role], child.name
        elif role not in (pyatspi.ROLE_MENU_BAR, pyatspi.ROLE_LIST_ITEM):
            yield from heard(child)


def find(node, role):
    for child in filter(None, node):
        if child.getRole() == role:
            return child
        found = find(child, role)
        if found:
            return found
    return None


frame = window()
got = list(heard(frame))
if got != EXPECTED:
    sys.exit("heard %s,\nexpected %s" % (got, EXPECTED))
# The drive box says which drive is chosen, as its text (Orca reads that of a combo box).
drive = find(frame, pyatspi.ROLE_COMBO_BOX).queryText()
if not drive.getText(0, -1).startswith("/"):
    sys.exit("the drive box says %r, not its drive" % drive.getText(0, -1))
