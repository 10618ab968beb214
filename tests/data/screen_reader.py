"""A screen reader's walk through the main window of a running Bramwick, over AT-SPI.

It finds the program on the accessibility bus, waits until the row of the category named on the
command line can be cleaned, presses its Clean button, reads the card that opens by the names
of its parts, presses Cancel and sees the card go. Then it opens the Details of the second
category named, selects every item, asks to move them and cancels the folder dialog, so that
the dialog writes what it keeps of itself. It prints one JSON object of what it read; a step that
cannot be done prints {"error": ...} and ends with status 1.
"""

import json
import sys
import time

import pyatspi

LIMIT = 60.0  # seconds for any one thing to appear


def nodes(root):
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        yield node
        try:
            stack.extend(reversed([child for child in node]))
        except Exception:
            pass


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def sensitive(node):
    try:
        return node.getState().contains(pyatspi.STATE_SENSITIVE)
    except Exception:
        return False


def role_and_name(node):
    try:
        return node.getRoleName(), node.name
    except Exception:
        return None, None


def wait_for(what, find):
    end = time.time() + LIMIT
    while time.time() < end:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    fail("no " + what)


def fail(why):
    print(json.dumps({"error": why}))
    sys.exit(1)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and role_and_name(app)[1] == "Bramwick":
            return app
    return None


def button(root, name, enabled=True):
    for node in nodes(root):
        if role_and_name(node) == ("push button", name) and showing(node):
            if not enabled or sensitive(node):
                return node
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == "Press":
            action.doAction(i)
            return
    action.doAction(0)


def card(app):
    """The card: a frame whose children are its title, its message and its two buttons."""
    for node in nodes(app):
        if role_and_name(node)[0] != "frame" or not showing(node):
            continue
        children = [role_and_name(child) for child in node]
        labels = [name for role, name in children if role == "label" and name]
        buttons = [name for role, name in children if role == "push button"]
        if "Cancel" in buttons and labels:
            return {"title": labels[0], "message": labels[1] if len(labels) > 1 else "",
                    "buttons": buttons, "node": node, "said": role_and_name(node)[1]}
    return None


def window_named(app, name):
    for window in app:
        if role_and_name(window)[1] == name:
            return window
    return None


def main():
    category, details = sys.argv[1], sys.argv[2]
    app = wait_for("Bramwick on the accessibility bus", application)
    clean = wait_for("Clean " + category + " that can be pressed",
                     lambda: button(app, "Clean " + category))
    press(clean)
    shown = wait_for("card", lambda: card(app))
    read = {"title": shown["title"], "message": shown["message"], "buttons": shown["buttons"],
            "cardName": shown["said"]}
    press(wait_for("Cancel on the card", lambda: button(shown["node"], "Cancel")))
    end = time.time() + LIMIT
    while card(app) is not None and time.time() < end:
        time.sleep(0.2)
    read["cardGone"] = card(app) is None

    press(wait_for("Details of " + details, lambda: button(app, "Details of " + details)))
    press(wait_for("Select All", lambda: button(app, "Select All")))
    press(wait_for("Move to\u2026", lambda: button(app, "Move to\u2026")))
    chooser = wait_for("the folder dialog", lambda: window_named(
        app, "Items are copied here, then removed from this computer."))
    press(wait_for("Cancel in the folder dialog", lambda: button(chooser, "Cancel")))
    end = time.time() + LIMIT
    while window_named(app, "Items are copied here, then removed from this computer.") \
            is not None and time.time() < end:
        time.sleep(0.2)
    read["dialogGone"] = window_named(
        app, "Items are copied here, then removed from this computer.") is None
    print(json.dumps(read))


main()
