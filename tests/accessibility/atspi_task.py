"""A whole task in the desktop program through AT-SPI, as a screen reader user does it: every
control found by its accessible name and role, buttons and boxes worked by their actions, keys
sent where a user would press them. Run by run_atspi_task.sh inside a session bus of its own."""
import os
import subprocess
import sys
import time

import pyatspi

PROGRAM = sys.argv[1]


def fail(why):
    print("FAIL:", why, file=sys.stderr)
    sys.exit(1)


def wait_for(what, find, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = find()
        except Exception:  # an object gone while we looked: look again
            found = None
        if found:
            return found
        time.sleep(0.2)
    fail("no " + what)


def descendants(node):
    try:
        children = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:
        return
    for child in children:
        if child is not None:
            yield child
            yield from descendants(child)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name.lower() == "tallyrook":
            return app
    return None


def control(root, name, roles):
    for node in descendants(root):
        if node.name == name and node.getRole() in roles:
            if node.getState().contains(pyatspi.STATE_SHOWING):
                return node
    return None


def act(node, *names):
    actions = node.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i) in names:
            actions.doAction(i)
            return
    fail("%s has none of the actions %s" % (node.name, names))


def focus(node):
    node.queryComponent().grabFocus()
    wait_for("focus on " + node.name, lambda: node.getState().contains(pyatspi.STATE_FOCUSED))


def key(keysym, held=()):
    """Presses the key `keysym` while the keys of the key codes `held` are down."""
    for code in held:
        pyatspi.Registry.generateKeyboardEvent(code, None, pyatspi.KEY_PRESS)
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    for code in reversed(held):
        pyatspi.Registry.generateKeyboardEvent(code, None, pyatspi.KEY_RELEASE)


BUTTON = (pyatspi.ROLE_PUSH_BUTTON,)
CHECK_BOX = (pyatspi.ROLE_CHECK_BOX,)
LIST = (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_LIST)
SPACE, TAB, Z = 0x20, 0xFF09, 0x7A
CONTROL_L = 37  # its key code in the X server's default keyboard map

bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
home = os.environ["HOME"]
for folder in ("a", "b"):
    os.makedirs(os.path.join(home, folder))
    with open(os.path.join(home, folder, "song.mp3"), "w") as song:
        song.write("tune")
env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
program = subprocess.Popen([PROGRAM, os.path.join(home, "a"), os.path.join(home, "b")], env=env)
try:
    app = wait_for("application on the accessibility bus", application)
    # Every control of the main window, by name and role.
    main = {}
    for name, roles in [("Add folder", BUTTON), ("Find dupes", BUTTON), ("Clear list", BUTTON),
                        ("Exact Filename", CHECK_BOX), ("Exact Filesize", CHECK_BOX),
                        ("Similar Filename", CHECK_BOX), ("Folder list", LIST),
                        ("Search progress", (pyatspi.ROLE_PROGRESS_BAR,))]:
        main[name] = wait_for("control " + name, lambda: control(app, name, roles))
    act(main["Exact Filename"], "Toggle", "Press", "SetFocus")
    wait_for("ticked criterion",
             lambda: main["Exact Filename"].getState().contains(pyatspi.STATE_CHECKED))
    act(main["Find dupes"], "Press")

    # The results window: its controls, its rows with their check state, its status line.
    results = {}
    for name, roles in [("Back to main", BUTTON), ("Send to recycling", BUTTON),
                        ("Uncheck all", BUTTON), ("Duplicate files", LIST)]:
        results[name] = wait_for("control " + name, lambda: control(app, name, roles))
    rows = results["Duplicate files"]

    def status():
        for node in descendants(app):
            if node.getRole() == pyatspi.ROLE_LABEL and node.description == \
                    "Rows, checked files and their size" and node.name:
                return node.name
        return None

    wait_for("status line of two rows", lambda: status() == "2 rows, no file checked")

    # Space checks the current row, as in any list. The list is the control after the buttons:
    # the last of them takes the focus through AT-SPI, Tab moves it on.
    focus(results["Uncheck all"])
    key(TAB)
    wait_for("focus in the list", lambda: rows.getState().contains(pyatspi.STATE_FOCUSED))
    key(SPACE)
    wait_for("checked row", lambda: status() == "2 rows, 1 file checked (4 Bytes)")
    checked = [cell for cell in descendants(rows) if cell.getState().contains(pyatspi.STATE_CHECKED)]
    if len(checked) != 1 or not checked[0].name.endswith("song.mp3"):
        fail("the checked row is not told as checked: %s" % [c.name for c in checked])
    song = checked[0].name

    act(results["Send to recycling"], "Press")
    yes = wait_for("confirmation", lambda: control(app, "Yes", BUTTON))
    act(yes, "Press")
    wait_for("one row left", lambda: status() == "1 row, no file checked. 1 file, 4 Bytes, "
             "moved to the Trash. Ctrl+Z puts it back")
    if os.path.exists(song):
        fail(song + " is still there")

    # Undo Last Trash Request, by its key.
    key(Z, (CONTROL_L,))
    # The rows come back as they were before the request, marks and all.
    wait_for("rows back", lambda: status() == "2 rows, 1 file checked (4 Bytes)")
    if not os.path.exists(song):
        fail(song + " did not come back")
    print("PASS")
finally:
    program.kill()
    program.wait()
    bus.terminate()  # which ends the accessibility bus it started
    bus.wait()
