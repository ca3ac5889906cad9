#!/usr/bin/python3
"""Reads Lumbrel's window through the accessibility bus (AT-SPI), as a screen
reader does. Used by tools/a11y-tree.sh and tools/screenshots.sh.

  a11y.py wait                 exit 0 once the application is on the bus
  a11y.py tree                 print the tree of its windows: roles, names, states
  a11y.py find ROLE [NAME]     print the centre (screen x y) of the first showing
                               element with that role (and name, where * stands
                               for any text), and whether it is enabled; exit 1
                               when there is none
  a11y.py events SECONDS       print the name changes and announcements of the next seconds
"""
import fnmatch
import os
import sys
import time

import pyatspi

STATES = ["focusable", "focused", "selectable", "selected", "checkable", "checked", "indeterminate", "expandable",
          "expanded", "editable", "showing", "modal"]


def windows():
    """The application's windows. The process can be on the bus twice: GTK,
    loaded for the desktop's theme, registers an entry of its own without
    windows."""
    found = []
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and (app.name or "").lower() == "lumbrel":
            found.extend(window for window in app if window is not None)
    return found


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def describe(node):
    states = node.getState()
    names = [s for s in STATES if states.contains(getattr(pyatspi, "STATE_" + s.upper()))]
    if not states.contains(pyatspi.STATE_ENABLED):
        names.append("disabled")
    text = '%s "%s"' % (node.getRoleName(), node.name)
    if node.description:
        text += " (%s)" % node.description
    if names:
        text += " [" + ", ".join(names) + "]"
    return text


def tree(node, depth=0):
    print("  " * depth + describe(node))
    for child in node:
        if child is not None:
            tree(child, depth + 1)


def find(role, name=None):
    for window in windows():
        for node in walk(window):
            named = name is None or (fnmatch.fnmatchcase(node.name or "", name) if "*" in name else name == node.name)
            if node.getRoleName() == role and named and node.getState().contains(pyatspi.STATE_SHOWING):
                box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                enabled = node.getState().contains(pyatspi.STATE_ENABLED)
                # Qt gives places in its device-independent pixels: on a scaled
                # screen (QT_SCALE_FACTOR) the screen's own are that much larger.
                scale = float(os.environ.get("QT_SCALE_FACTOR") or 1)
                print(int((box.x + box.width / 2) * scale), int((box.y + box.height / 2) * scale),
                      "enabled" if enabled else "disabled")
                return 0
    return 1


def events(seconds):
    """Name changes, and what the window announces: an alert that shows
    itself with a text is read out by screen readers (a line "announce" each)."""
    from gi.repository import GLib

    def report(event):
        # Names are read as the event is handled, which may be after the
        # object was renamed again: each line stands for one event, the text
        # shown is the name the object has by then.
        try:
            role = event.source.getRoleName()
            name = event.source.name
        except Exception:  # an object gone before its event was read
            return
        if role == "alert":
            # The window's announcer shows itself anew with each text: one
            # showing event, one announcement.
            if event.type.startswith("object:state-changed:showing") and event.detail1:
                print('announce: "%s"' % name, flush=True)
        elif not event.type.startswith("object:state-changed:showing"):
            print('%s: %s "%s"' % (event.type, role, name), flush=True)

    pyatspi.Registry.registerEventListener(report, "object:property-change:accessible-name",
                                           "object:state-changed:showing")
    deadline = time.time() + seconds

    def tick():
        if time.time() > deadline:
            pyatspi.Registry.stop()
        return True

    GLib.timeout_add(100, tick)
    print("ready", flush=True)
    pyatspi.Registry.start()
    return 0


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "wait":
        return 0 if windows() else 1
    if command == "tree":
        if not windows():
            print("Lumbrel is not on the accessibility bus", file=sys.stderr)
            return 1
        for window in windows():
            tree(window)
        return 0
    if command == "find" and len(argv) in (3, 4):
        return find(*argv[2:])
    if command == "events" and len(argv) == 3:
        return events(float(argv[2]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
