#!/usr/bin/env python3
"""Reads the running program's accessibility tree from outside, as a screen reader does,
through AT-SPI, and checks what each control announces: its name, its own among the
fields, and its role.
usage: atspi_tree.py PID"""
import sys
import time

import pyatspi

EXPECTED = [
    # (role, name), in tab order
    ("text", "NW Latitude Deg"),
    ("text", "NW Latitude Min"),
    ("text", "NW Latitude Sec"),
    ("combo box", "NW Latitude hemisphere"),
    ("text", "NW Longitude Deg"),
    ("text", "NW Longitude Min"),
    ("text", "NW Longitude Sec"),
    ("combo box", "NW Longitude hemisphere"),
    ("text", "Miles East"),
    ("text", "Miles South"),
    ("text", "Range (meters)"),
    ("text", "Speed Factor (1/4 seconds)"),
    ("text", "Resolution (1/10 miles)"),
    ("push button", "Start"),
    ("push button", "Quit"),
    ("push button", "Pause"),
]


def find_application(pid, deadline):
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.get_process_id() == pid:
                return app
        time.sleep(0.1)
    return None


def controls(node, found):
    for child in node:
        if child is None:
            continue
        states = child.getState()
        if child.getRoleName() in ("text", "combo box", "push button", "progress bar") and states.contains(
                pyatspi.STATE_SHOWING):
            found.append((child.getRoleName(), child.name))
        controls(child, found)
    return found


def main():
    pid = int(sys.argv[1])
    app = find_application(pid, time.monotonic() + 20)
    if app is None:
        print("FAIL: the program never appeared on the accessibility bus")
        return 1
    deadline = time.monotonic() + 10
    found = []
    while time.monotonic() < deadline:
        found = controls(app, [])
        if len(found) >= len(EXPECTED):
            break
        time.sleep(0.1)
    announced = sorted(found)
    wanted = sorted(EXPECTED)
    if announced != wanted:
        print("FAIL: the tree announces")
        for item in found:
            print("   ", item)
        print("  but should announce")
        for item in EXPECTED:
            print("   ", item)
        return 1
    names = [name for role, name in found if role != "push button"]
    if len(set(names)) != 13:
        print("FAIL: %d distinct names among the 13 fields: %s" % (len(set(names)), names))
        return 1
    print("accessibility tree: %d controls, each with its name and role" % len(found))
    return 0


if __name__ == "__main__":
    sys.exit(main())
