"""One running tandexa, seen and worked the way a user with a screen reader
and a mouse would: controls are found by their role and accessible name
through AT-SPI, pressed and typed into with real X input from xdotool, and
read back through AT-SPI. The program has no hook for this.
"""
import os
import subprocess
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

BOX_ROLES = ("alert", "dialog")


class UiError(AssertionError):
    pass


def poll(what, probe, timeout=20.0, interval=0.1):
    """Calls probe until it returns something true; raises UiError after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise UiError("timed out waiting for " + what)
        time.sleep(interval)


def _children(acc):
    try:
        count = acc.get_child_count()
    except gi.repository.GLib.Error:
        return []
    result = []
    for i in range(count):
        try:
            child = acc.get_child_at_index(i)
        except gi.repository.GLib.Error:
            continue
        if child is not None:
            result.append(child)
    return result


def _role(acc):
    try:
        return acc.get_role_name()
    except gi.repository.GLib.Error:
        return ""


def _name(acc):
    try:
        return acc.get_name() or ""
    except gi.repository.GLib.Error:
        return ""


def text_of(acc):
    """An edit's contents (labels have no text of their own over AT-SPI:
    their accessible name is their text)."""
    try:
        return Atspi.Text.get_text(acc, 0, Atspi.Text.get_character_count(acc)) or ""
    except (gi.repository.GLib.Error, TypeError, AttributeError):
        return ""


def _states(acc):
    try:
        return acc.get_state_set()
    except gi.repository.GLib.Error:
        return None


def is_sensitive(acc):
    states = _states(acc)
    return bool(states) and states.contains(Atspi.StateType.SENSITIVE)


def is_showing(acc):
    states = _states(acc)
    return bool(states) and states.contains(Atspi.StateType.SHOWING)


def walk(acc, depth=0, into_tables=True):
    yield acc, depth
    if not into_tables and _role(acc) == "table":
        return
    for child in _children(acc):
        yield from walk(child, depth + 1, into_tables)


def description(acc):
    try:
        return acc.get_description() or ""
    except gi.repository.GLib.Error:
        return ""


def is_checked(acc):
    states = _states(acc)
    return bool(states) and states.contains(Atspi.StateType.CHECKED)


def dump(acc):
    lines = []
    for node, depth in walk(acc):
        lines.append("%s%s %r text=%r%s" % ("  " * depth, _role(node), _name(node), text_of(node)[:60],
                                            "" if is_sensitive(node) else " (insensitive)"))
    return "\n".join(lines)


class TandexaWindow:
    """A tandexa started from its own program directory on the test desktop."""

    def __init__(self, desktop, program_dir, title):
        self.desktop = desktop
        self.program_dir = program_dir
        self.title = title
        self.proc = None
        self.app = None
        self._lines = {}   # status lines found once, read afresh each time

    # --- process -----------------------------------------------------------
    def start(self):
        env = dict(self.desktop.env)
        env["QT_QPA_PLATFORM"] = "xcb"
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env["QT_ACCESSIBILITY"] = "1"
        env.pop("QT_SCALE_FACTOR", None)
        exe = os.path.join(self.program_dir, "tandexa")
        with open(os.path.join(self.program_dir, "tandexa.log"), "wb") as log:
            self.proc = subprocess.Popen([exe], cwd=self.program_dir, env=env, stdout=log, stderr=log,
                                         start_new_session=True)
        self.app = poll("%s on the accessibility bus" % self.title, self._find_app, timeout=60)
        poll("the window %s" % self.title, lambda: self.frame(), timeout=30)

    def _find_app(self):
        if self.proc.poll() is not None:
            raise UiError("%s ended at start-up with status %s" % (self.title, self.proc.returncode))
        desktop = Atspi.get_desktop(0)
        for app in _children(desktop):
            try:
                if app.get_process_id() == self.proc.pid:
                    app.set_cache_mask(Atspi.Cache.NONE)
                    return app
            except gi.repository.GLib.Error:
                continue
        return None

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    # --- finding controls --------------------------------------------------
    def toplevels(self):
        self.app.clear_cache()
        return _children(self.app)

    def frame(self):
        for top in self.toplevels():
            if _role(top) == "frame" and _name(top) == self.title:
                return top
        return None

    def find(self, role, name, root=None, showing=True):
        """The one control of that role and accessible name (shown, by default);
        name None takes the role's only control."""
        root = root or self.frame()
        if root is None:
            raise UiError("the window %s is gone" % self.title)
        found = [n for n, _ in walk(root, into_tables=False)
                 if _role(n) == role and (name is None or _name(n) == name)
                 and (not showing or is_showing(n))]
        if len(found) != 1:
            raise UiError("%s: %d controls %s %r\n%s" % (self.title, len(found), role, name, dump(root)))
        return found[0]

    def boxes(self):
        """The message boxes and dialogs the program shows now."""
        return [t for t in self.toplevels() if _role(t) in BOX_ROLES and is_showing(t)]

    # --- X input -----------------------------------------------------------
    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.desktop.env, check=True, capture_output=True)

    def click(self, acc, x_frac=0.5, y_frac=0.5):
        ext = Atspi.Component.get_extents(acc, Atspi.CoordType.SCREEN)
        if ext.width <= 0 or ext.height <= 0:
            raise UiError("%s: %s %r has no area to click" % (self.title, _role(acc), _name(acc)))
        x = ext.x + int(ext.width * x_frac)
        y = ext.y + int(ext.height * y_frac)
        # One xdotool call: the X server takes the move before the click. (No
        # --sync: it waits 15 s when the pointer is already there.)
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    def press(self, name, role="push button", root=None):
        button = self.find(role, name, root)
        poll("%s: %r to be enabled" % (self.title, name), lambda: is_sensitive(button), timeout=10)
        self.click(button)

    def type_into(self, acc, text):
        """Clicks into an edit, selects what it holds and types text over it."""
        self.click(acc)
        poll("%s: focus in %r" % (self.title, _name(acc)),
             lambda: _states(acc).contains(Atspi.StateType.FOCUSED), timeout=5)
        self.xdotool("key", "--clearmodifiers", "End", "shift+Home")
        if text:
            self.xdotool("type", "--delay", "20", "--clearmodifiers", text)
        else:
            self.xdotool("key", "BackSpace")
        try:
            poll("typing", lambda: text_of(acc) == text, timeout=5)
        except UiError:
            raise UiError("%s: %r reads %r after typing %r" % (self.title, _name(acc), text_of(acc), text))

    def set_field(self, label, text, root=None):
        self.type_into(self.find("text", label, root), text)

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    # --- reading -----------------------------------------------------------
    def status_line(self, what):
        """The text of the status line described as what ("Run status",
        "Link status"): a label's accessible name is its current text."""
        cached = self._lines.get(what)
        if cached is None:
            found = [n for n, _ in walk(self.app, into_tables=False)
                     if _role(n) == "label" and description(n) == what]
            if len(found) != 1:
                raise UiError("%s: %d labels described %r" % (self.title, len(found), what))
            cached = self._lines[what] = found[0]
        return _name(cached)

    def wait_status(self, what, wanted, timeout=30.0, on_box=None):
        """Waits until the status line reads wanted (a text or a predicate);
        message boxes shown meanwhile go to on_box (none may come without)."""
        test = wanted if callable(wanted) else (lambda t: t == wanted)
        last = [None]

        def probe():
            self.handle_boxes(on_box)
            last[0] = self.status_line(what)
            return test(last[0])
        try:
            poll("%s: %s" % (self.title, what), probe, timeout=timeout, interval=0.05)
        except UiError:
            raise UiError("%s: %s reads %r, waited for %r" % (self.title, what, last[0], wanted))
        return last[0]

    def box_text(self, box):
        return "\n".join(_name(n) for n, _ in walk(box) if _role(n) == "label" and _name(n))

    def handle_boxes(self, on_box):
        """Each message box shown goes to on_box(window, caption, text), which returns
        the caption of the button to press; without on_box a box is an error."""
        for box in self.boxes():
            text = self.box_text(box)
            if on_box is None:
                raise UiError("%s showed an unexpected box %r: %r" % (self.title, _name(box), text))
            answer = on_box(self, _name(box), text)
            self.click(self.find("push button", answer, root=box))
            poll("%s: the box %r to close" % (self.title, text),
                 lambda: not any(self.box_text(b) == text for b in self.boxes()), timeout=10)

    def cell(self, table_name, row, column):
        """The text of a grid cell; row 0 is the first row under the heading."""
        table = self.find("table", table_name, showing=False)
        return _name(Atspi.Table.get_accessible_at(table, row, column))

    def cell_control(self, table_name, row, column):
        return Atspi.Table.get_accessible_at(self.find("table", table_name, showing=False), row, column)

    def show_page(self, name, marker_role, marker_name):
        """Clicks the page's tab; done when a control of that page is shown."""
        self.click(self.find("page tab", name, showing=False))

        def shown():
            return any(_role(n) == marker_role and _name(n) == marker_name and is_showing(n)
                       for n, _ in walk(self.frame()))
        poll("%s: page %s" % (self.title, name), shown, timeout=5)
