# Starts the window and reads it over AT-SPI, as Orca does: every control is
# heard by name and role, in the order it stands on screen, the banner not at
# all, the drive box with its drive; a loaded picture's size and the new
# direction after a press are told without the focus moving.
# Usage: atspi_tree.py PROGRAM PICTURE (a 64 x 48 bitmap)
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

EXPECTED = [("push button", "BMP -> ZWP"), ("label", "Laufwerk:"), ("combo box", "Laufwerk"),
            ("list", "Verzeichnisse"), ("list", "Dateien"), ("label", "breite:64"), ("label", "Höhe:48"),
            ("image", "Vorschau, 64 × 48 Pixel"), ("push button", "Konvert")]

# What is told without the focus moving, as Orca speaks it: announcements,
# or (before Qt 6.8) notifications that appear.
told = []
# What received the focus last, as Orca follows it.
focused = [None]


def hear(event):
    if event.type.startswith("object:state-changed:focused"):
        if event.detail1:
            focused[0] = event.source.name
    elif event.type.startswith("object:state-changed:showing"):
        if event.detail1 and event.source.getRole() == pyatspi.ROLE_NOTIFICATION:
            told.append(event.source.name)
    elif isinstance(event.any_data, str):
        told.append(event.any_data)


def pump(seconds, until):
    """Delivers events until the condition holds; whether it did in time."""
    context = GLib.MainContext.default()
    end = time.time() + seconds
    while time.time() < end:
        while context.pending():
            context.iteration(False)
        if until():
            return True
        time.sleep(0.05)
    return False


def window():
    for app in pyatspi.Registry.getDesktop(0):
        for frame in app or []:
            if app.name == "ZWP-Konverter" and frame and frame.name == "Form1" and frame.childCount:
                return frame
    return None


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


def all_of(node):
    for child in filter(None, node):
        yield child
        yield from all_of(child)


def find(node, role, name=None):
    for child in filter(None, node):
        if child.getRole() == role and name in (None, child.name):
            return child
        found = find(child, role, name)
        if found:
            return found
    return None


pyatspi.Registry.registerEventListener(hear, "object:state-changed:showing", "object:state-changed:focused",
                                       "object:announcement")
program = subprocess.Popen(sys.argv[1:])
try:
    if not pump(20, window):
        sys.exit("the window never appeared on the accessibility bus")
    frame = window()
    got = list(heard(frame))
    if got != EXPECTED:
        sys.exit("heard %s,\nexpected %s" % (got, EXPECTED))
    # The drive box says which drive is chosen, as its text (Orca reads that of a combo box).
    box = find(frame, pyatspi.ROLE_COMBO_BOX)
    drive = box.queryText().getText(0, -1)
    if not drive.startswith("/"):
        sys.exit("the drive box says %r, not its drive" % drive)
    # Orca 48 reads it from the "valuetext" attribute, which Qt gives from 6.8 on.
    qt = tuple(int(part) for part in frame.getApplication().get_toolkit_version().split(".")[:2])
    attributes = dict(a.split(":", 1) for a in box.getAttributes())
    if qt >= (6, 8) and attributes.get("valuetext") != drive:
        sys.exit("the drive box's valuetext is %r, not %r" % (attributes.get("valuetext"), drive))
    # A click on the picture in the file list loads it again: its size is told.
    item = find(frame, pyatspi.ROLE_LIST_ITEM, "b.bmp").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    del told[:]
    pyatspi.Registry.generateMouseEvent(item.x + item.width // 2, item.y + item.height // 2, pyatspi.MOUSE_B1C)
    if not pump(10, lambda: "64 × 48 Pixel" in told):
        sys.exit("the loaded picture's size was not told: %s" % told)
    # The row is told after the list it lies in, so that Orca says the file, not just "list".
    if focused[0] != "b.bmp":
        sys.exit("the focus was told last on %r, not on the file's row" % focused[0])
    # Only the list with the focus has a row that says it is focused.
    rows = [n for n in all_of(frame) if n.getRole() == pyatspi.ROLE_LIST_ITEM and n.getState().contains(pyatspi.STATE_FOCUSED)]
    if [row.name for row in rows] != ["b.bmp"]:
        sys.exit("focused rows: %s" % [row.name for row in rows])
    find(frame, pyatspi.ROLE_PUSH_BUTTON, "BMP -> ZWP").queryAction().doAction(0)
    if not pump(10, lambda: "ZWP -> BMP" in told):
        sys.exit("pressing the direction button was not told: %s" % told)
finally:
    program.terminate()
    program.wait()
