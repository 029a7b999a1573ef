"""A person at the desktop program, seen from outside as a screen reader sees it.

The program runs as a user starts it, on the X server and session bus that scripts/x-session
gives. Everything here goes through the accessibility bus (AT-SPI: the names, roles, states,
texts and actions a screen reader uses) or through the X server (synthetic mouse and keys with
xdotool, pictures of the screen with ImageMagick's import); nothing reaches into the program.
"""

import os
import shutil
import subprocess
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402


class Failure(Exception):
    pass


def wait_for(what, check, timeout=15.0):
    """Polls `check` until it gives something true; fails after `timeout` s, saying `what` (a
    text, or a function giving one then)."""
    end = time.monotonic() + timeout
    while True:
        try:
            result = check()
        except Exception:  # the tree changes under our feet while dialogs open and close
            result = None
        if result:
            return result
        if time.monotonic() > end:
            try:
                said = what() if callable(what) else what
            except Exception as error:
                said = f"(no description: {error})"
            raise Failure("timed out waiting for " + said)
        time.sleep(0.05)


def children(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield child


def walk(node):
    yield node
    for child in children(node):
        yield from walk(child)


def states(node):
    return {pyatspi.stateToString(s) for s in node.getState().getStates()}


class Window:
    """One window of the program: a dialog or a message box."""

    def __init__(self, node):
        self.node = node

    @property
    def title(self):
        return self.node.name

    def find(self, role, name, timeout=5.0):
        def look():
            for node in walk(self.node):
                if (role is None or node.getRoleName() == role) and node.name == name:
                    return node
            return None

        return wait_for(f"{role} '{name}' in '{self.title}'", look, timeout)

    def all(self, role):
        return [node for node in walk(self.node) if node.getRoleName() == role]

    # --- what a screen reader reads ---
    def text(self, name):
        node = self.find("text", name)
        return node.queryText().getText(0, -1)

    def message(self):
        """A message box's text: its labels, the title left out."""
        return "\n".join(n.name for n in self.all("label") if n.name and n.name != self.title)

    def enabled(self, role, name):
        return "enabled" in states(self.find(role, name))

    def description(self, role, name):
        return self.find(role, name).description

    # --- what a screen reader does ---
    def press(self, name, role="push button"):
        node = self.find(role, name)
        wait_for(f"'{name}' available", lambda: "enabled" in states(node))
        do_action(node, "Press")

    def toggle(self, name):
        do_action(self.find("check box", name), "Toggle")

    def set_text(self, name, text):
        node = self.find("text", name)
        node.queryEditableText().setTextContents(text)

    def rows(self, list_name):
        return [item.name for item in children(self.find("list", list_name))]

    def select_row(self, list_name, row):
        """Selects the row as a screen reader does: the row's own toggle."""
        items = list(children(self.find("list", list_name)))
        if row >= len(items):
            raise Failure(f"'{list_name}' has no row {row}")
        do_action(items[row], "Toggle")

    # --- what the screen shows ---
    def extents(self, role, name):
        box = self.find(role, name).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def picture(self, role, name, keep_as=None):
        """The pixels the X server shows for the widget, as raw RGB bytes."""
        x, y, w, h = self.extents(role, name)
        return screen_pixels(x, y, w, h, keep_as)

    def centre_colour(self, role, name):
        """The colour (red, green, blue) at the widget's middle."""
        x, y, w, h = self.extents(role, name)
        return tuple(screen_pixels(x + w // 2, y + h // 2, 1, 1))

    def click(self, role, name):
        x, y, w, h = self.extents(role, name)
        xdotool("mousemove", "--sync", str(x + w // 2), str(y + h // 2))
        xdotool("click", "1")

    def close(self):
        self.press("Close")


def do_action(node, name):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == name:
            if not action.doAction(i):
                raise Failure(f"'{name}' of '{node.name}' refused")
            return
    raise Failure(f"'{node.name}' has no action '{name}'")


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=20)


def keys(*names):
    """Keys pressed and let go as on a keyboard, to the window under the pointer."""
    xdotool("key", "--delay", "60", *names)


def screen_pixels(x, y, w, h, keep_as=None):
    crop = f"{w}x{h}+{x}+{y}"
    shot = subprocess.run(["import", "-window", "root", "-crop", crop, "-depth", "8", "rgb:-"],
                          check=True, capture_output=True, timeout=30).stdout
    if keep_as:
        subprocess.run(["import", "-window", "root", "-crop", crop, keep_as], check=True,
                       timeout=30)
    return shot


class Program:
    """r7kprog started as a user starts it, with settings and temporary files of its own."""

    def __init__(self, binary, args=(), artefacts=None):
        self.folder = tempfile.mkdtemp(prefix="r7k-desktop-")
        self.config = os.path.join(self.folder, "config")
        os.makedirs(self.config)
        os.makedirs(os.path.join(self.folder, "tmp"))
        env = dict(os.environ, R7K_CONFIG_DIR=self.config, TMPDIR=os.path.join(self.folder, "tmp"))
        self.artefacts = artefacts
        self.log = open(os.path.join(self.folder, "program.log"), "w")
        self.process = subprocess.Popen([binary, *args], env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        try:
            self.app = wait_for("r7kprog on the accessibility bus", self._find_app, 30)
        except Failure as failure:
            raise Failure(f"{failure}; the program said: {self.stop()!r}") from None
        # Ask the program each time: what a cache keeps may be stale while dialogs change.
        Atspi.Accessible.set_cache_mask(self.app, Atspi.Cache.NONE)

    def _find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        desktop.clear_cache()  # a program that registered since the last look is listed
        for app in children(desktop):
            if app.get_process_id() == self.process.pid:
                return app
        return None

    def path(self, name):
        return os.path.join(self.folder, name)

    def windows(self):
        return [Window(node) for node in children(self.app)
                if node.getRoleName() in ("dialog", "alert", "frame", "window")]

    def titles(self):
        return [w.title for w in self.windows()]

    def window(self, title, timeout=15.0):
        def look():
            for w in self.windows():
                if w.title == title and "showing" in states(w.node):
                    return w
            return None

        return wait_for(lambda: f"the window '{title}' (open: {self.titles()})", look, timeout)

    def gone(self, title, timeout=15.0):
        wait_for(f"'{title}' to close", lambda: title not in self.titles(), timeout)

    def answer(self, caption, expected_text, button="OK", timeout=15.0):
        """Finds the message box with this caption and text, and presses the button."""
        def look():
            for w in self.windows():
                if w.title == caption and expected_text in w.message():
                    return w
            return None

        def what():
            shown = [(w.title, w.message()) for w in self.windows()]
            return f"'{caption}' saying {expected_text!r} (shown: {shown})"

        box = wait_for(what, look, timeout)
        box.press(button)

    def shot(self, name):
        """A picture of the whole screen, kept with the test's artefacts."""
        if self.artefacts:
            os.makedirs(self.artefacts, exist_ok=True)
            subprocess.run(["import", "-window", "root",
                            os.path.join(self.artefacts, name + ".png")], check=False, timeout=30)

    def wait_end(self, timeout=20.0):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end")

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.log.close()
        with open(os.path.join(self.folder, "program.log")) as log:
            output = log.read()
        shutil.rmtree(self.folder, ignore_errors=True)
        return output
