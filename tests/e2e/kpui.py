"""Drives the real desktop program as a person would, for the end-to-end tests.

Everything here expects to run inside tests/e2e/session.sh (a private X display, session
bus and accessibility bus) under Debian's /usr/bin/python3, which has pyatspi.

Controls are found through the accessibility bus by role and accessible name, and are
operated with real input from xdotool: a click is a pointer move to the centre of the
control's screen extents and a button press, so what a test does is what a user could do.
Every lookup polls with a timeout and, when it gives up, fails with the application's
accessible tree so the failure message alone shows what was on screen.
"""

import glob
import os
import re
import subprocess
import tempfile
import time
import zipfile
from pathlib import Path

import pyatspi
from gi.repository import GLib

HERE = Path(__file__).resolve().parent
REPO = HERE.parent.parent
APP_NAME = "Kestrelpad"
ARCHIVE_FOLDER = "#tarnel"
DEFAULT_TIMEOUT = 10.0

# The id of the running test (set by run_e2e.py), used to name failure screenshots.
current_test = "e2e"

# Roles a top-level window of a Qt program has on the accessibility bus.
WINDOW_ROLES = ("frame", "dialog", "alert", "window", "file chooser")


class UiError(AssertionError):
    """A lookup or wait that did not succeed in time; the message carries the tree."""


# ---------------------------------------------------------------------------------------
# Locations


def build_dir():
    """The CMake binary folder holding kestrelpad and kpad (run_e2e.py --build sets it)."""
    return Path(os.environ.get("KP_BUILD_DIR", REPO / "build")).resolve()


def binary(name="kestrelpad"):
    path = build_dir() / name
    if not os.access(path, os.X_OK):
        raise FileNotFoundError(f"{path} is not built (cmake --build <build> --target {name})")
    return path


def artifacts_dir():
    """Where screenshots go: $KP_E2E_ARTIFACTS, else a folder under /tmp, never the repository."""
    folder = os.environ.get("KP_E2E_ARTIFACTS") or "/tmp/kestrelpad-e2e-artifacts"
    Path(folder).mkdir(parents=True, exist_ok=True)
    return Path(folder)


def faketime_library():
    found = sorted(glob.glob("/usr/lib/*/faketime/libfaketimeMT.so.1"))
    if not found:
        raise FileNotFoundError("libfaketime is not installed (apt-get install faketime)")
    return found[0]


# ---------------------------------------------------------------------------------------
# Polling


def _pump():
    # libatspi learns about new and closed windows from bus events, which are only
    # dispatched while the GLib main context runs; a script that never iterates it would
    # see a stale tree.
    ctx = GLib.MainContext.default()
    while ctx.pending():
        ctx.iteration(False)


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, what="condition", describe=None, interval=0.1):
    """Polls predicate() until it returns something truthy and returns that.

    On timeout raises UiError naming `what`, followed by describe() when given (the
    accessible tree, typically). Exceptions from a half-built or vanishing accessible
    object count as "not yet".
    """
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        _pump()
        try:
            value = predicate()
            if value:
                return value
        except GLib.Error as e:  # the object went away or the program is busy
            last_error = e
        if time.monotonic() >= deadline:
            break
        time.sleep(interval)
    message = f"timed out after {timeout:g} s waiting for {what}"
    if last_error is not None:
        message += f"\n(last bus error: {last_error})"
    if describe is not None:
        try:
            message += "\n" + describe()
        except Exception as e:  # the description must never hide the real failure
            message += f"\n(no description: {e})"
    raise UiError(message)


# ---------------------------------------------------------------------------------------
# The accessible tree


def _children(acc):
    try:
        acc.clear_cache()
    except (AttributeError, GLib.Error):
        pass
    try:
        return [c for c in acc if c is not None]
    except GLib.Error:
        return []


def role(acc):
    return acc.getRoleName()


def states(acc):
    """The accessible's states as names: {"enabled", "showing", "checked", "focused", ...}."""
    try:
        return {pyatspi.stateToString(s) for s in acc.getState().getStates()}
    except GLib.Error:
        return set()


def extents(acc):
    """(x, y, width, height) of the control on the screen."""
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (e.x, e.y, e.width, e.height)


def text_of(acc):
    """The text an editable or text control holds (its accessible name otherwise)."""
    try:
        t = acc.queryText()
        return t.getText(0, t.characterCount)
    except NotImplementedError:
        return acc.name


def _name_matches(actual, wanted):
    if wanted is None:
        return True
    if isinstance(wanted, re.Pattern):
        return wanted.search(actual or "") is not None
    if callable(wanted):
        return bool(wanted(actual))
    return actual == wanted


def walk(acc, max_nodes=5000):
    """Every accessible beneath acc (acc excluded), breadth first."""
    queue = _children(acc)
    seen = 0
    while queue and seen < max_nodes:
        node = queue.pop(0)
        seen += 1
        yield node
        queue.extend(_children(node))


def find_all(parent, role=None, name=None, showing=True):
    """The controls beneath parent with that role and name, without waiting.

    name is an exact string, a compiled regex (searched) or a predicate; None matches any.
    With showing=True only controls on screen count.
    """
    found = []
    for node in walk(parent):
        try:
            if role is not None and node.getRoleName() != role:
                continue
            if not _name_matches(node.name, name):
                continue
            if showing and "showing" not in states(node):
                continue
        except GLib.Error:
            continue
        found.append(node)
    return found


def find(parent, role, name, timeout=DEFAULT_TIMEOUT, showing=True):
    """Waits for the first control beneath parent with that role and accessible name."""
    def look():
        hits = find_all(parent, role, name, showing)
        return hits[0] if hits else None
    return wait_until(look, timeout, f"{role} {name!r}", lambda: dump(_root_of(parent)))


def _root_of(acc):
    # The application, so a failed lookup inside a window still shows every window.
    try:
        app = acc.getApplication()
        return app if app is not None else acc
    except GLib.Error:
        return acc


def dump(acc, max_nodes=2000):
    """The accessible tree beneath acc, one control per line: role, name, extents, states."""
    lines = []

    def line(node, depth):
        try:
            r, n = node.getRoleName(), node.name
        except GLib.Error as e:
            lines.append("  " * depth + f"<gone: {e}>")
            return
        try:
            x, y, w, h = extents(node)
            where = f" @({x},{y} {w}x{h})"
        except (NotImplementedError, GLib.Error):
            where = ""
        flags = sorted(states(node) & {"enabled", "showing", "focused", "checked",
                                       "selected", "active", "editable"})
        lines.append("  " * depth + f"{r} {n!r}{where} [{' '.join(flags)}]")

    def visit(node, depth):
        if len(lines) >= max_nodes:
            return
        line(node, depth)
        for c in _children(node):
            visit(c, depth + 1)

    visit(acc, 0)
    if len(lines) >= max_nodes:
        lines.append(f"... (cut at {max_nodes} lines)")
    return "accessible tree:\n" + "\n".join(lines)


def _desktop():
    desktop = pyatspi.Registry.getDesktop(0)
    try:
        desktop.clear_cache()
    except (AttributeError, GLib.Error):
        pass
    return desktop


def _describe_desktop():
    apps = []
    for a in _children(_desktop()):
        try:
            apps.append(f"{a.name!r} (pid {a.get_process_id()})")
        except GLib.Error:
            pass
    return "applications on the accessibility bus: " + (", ".join(apps) or "none")


def _lookup_app(name=APP_NAME, pid=None):
    for a in _children(_desktop()):
        try:
            if (a.get_process_id() == pid) if pid is not None else (a.name == name):
                return a
        except GLib.Error:
            continue
    return None


def find_app(name=APP_NAME, pid=None, timeout=DEFAULT_TIMEOUT):
    """Waits for an application on the accessibility bus, by process id when given, else by name."""
    what = f"application pid {pid}" if pid is not None else f"application {name!r}"
    return wait_until(lambda: _lookup_app(name, pid), timeout, what + " on the accessibility bus",
                      _describe_desktop)


def windows(app):
    """The application's top-level windows that are on screen."""
    return [w for w in _children(app)
            if w.getRoleName() in WINDOW_ROLES and "showing" in states(w)]


def find_window(app, title, timeout=DEFAULT_TIMEOUT):
    """Waits for a top-level window of app with that title (exact string, regex or predicate)."""
    def look():
        for w in windows(app):
            if _name_matches(w.name, title):
                return w
        return None
    return wait_until(look, timeout, f"window {title!r}", lambda: dump(app))


def wait_window_closed(app, title, timeout=DEFAULT_TIMEOUT):
    """Waits until no window of app with that title is on screen (or the app has gone)."""
    def closed():
        try:
            return not any(_name_matches(w.name, title) for w in windows(app))
        except GLib.Error:
            return True
    wait_until(closed, timeout, f"window {title!r} to close", lambda: dump(app))


# ---------------------------------------------------------------------------------------
# Input (real X events through XTEST)


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, stdin=subprocess.DEVNULL)


def centre(acc):
    x, y, w, h = extents(acc)
    return (x + w // 2, y + h // 2)


def _clickable_centre(acc, timeout):
    # A control can be on the bus a moment before it is laid out; wait for real extents.
    def ready():
        if "showing" not in states(acc):
            return None
        x, y, w, h = extents(acc)
        return centre(acc) if w > 0 and h > 0 else None
    return wait_until(ready, timeout, f"{role(acc)} {acc.name!r} to be on screen",
                      lambda: dump(_root_of(acc)))


def click_at(x, y, button=1, repeat=1):
    # No "mousemove --sync": it waits for the pointer to move and so stalls for seconds
    # when the pointer is already there (the same button of the next box). The server
    # applies XTEST events in order, so the click lands where the move put the pointer.
    xdotool("mousemove", x, y, "click", "--repeat", repeat, button)


def click(acc, button=1, timeout=DEFAULT_TIMEOUT):
    """A real click at the centre of the control; waits until it is enabled and on screen."""
    wait_until(lambda: "enabled" in states(acc), timeout, f"{role(acc)} {acc.name!r} to be enabled",
               lambda: dump(_root_of(acc)))
    x, y = _clickable_centre(acc, timeout)
    click_at(x, y, button)


def double_click(acc, timeout=DEFAULT_TIMEOUT):
    x, y = _clickable_centre(acc, timeout)
    click_at(x, y, 1, repeat=2)


def hover(acc, timeout=DEFAULT_TIMEOUT):
    """Moves the pointer onto the control. With no window manager the keyboard goes to the
    window under the pointer, so key() takes over=... to aim."""
    x, y = _clickable_centre(acc, timeout)
    xdotool("mousemove", x, y)


def key(*keys, over=None):
    """Presses and releases keys in turn, xdotool names: key("ctrl+a", "BackSpace", "Return")."""
    if over is not None:
        hover(over)
    xdotool("key", "--delay", 30, *keys)


def key_down(name):
    xdotool("keydown", name)


def key_up(name):
    xdotool("keyup", name)


def type_text(text, into=None):
    """Types text as keystrokes (Unicode included); with into=control, clicks into that
    control first so that it has the keyboard focus."""
    if into is not None:
        click(into)
    xdotool("type", "--delay", 20, "--", text)


# ---------------------------------------------------------------------------------------
# The program


class App:
    """One run of build/kestrelpad. Use as a context manager so that the process is ended
    and any held key released even when the test fails half-way."""

    def __init__(self, project, *, args=(), faketime=None, ctrl=False, env=None, cwd=None,
                 program="kestrelpad"):
        self.ctrl_held = False
        self.acc = None
        run_env = dict(os.environ)
        if faketime is not None:
            # The library is preloaded into the program itself (not a faketime wrapper
            # process), so the process id below is the program's own. Qt's timers run on
            # the monotonic clock, which stays real so that timeouts behave.
            run_env["LD_PRELOAD"] = faketime_library()
            run_env["FAKETIME"] = "@" + faketime
            run_env["FAKETIME_DONT_FAKE_MONOTONIC"] = "1"
        if env:
            run_env.update(env)
        if ctrl:
            key_down("ctrl")
            self.ctrl_held = True
        self._out = tempfile.TemporaryFile()
        self._err = tempfile.TemporaryFile()
        argv = [str(binary(program))]
        if project is not None:
            argv.append(str(project))
        argv.extend(map(str, args))
        self.argv = argv
        try:
            self.proc = subprocess.Popen(argv, env=run_env, cwd=cwd, stdin=subprocess.DEVNULL,
                                         stdout=self._out, stderr=self._err)
        except BaseException:
            self.release_ctrl()
            raise

    @property
    def pid(self):
        return self.proc.pid

    def app(self, timeout=DEFAULT_TIMEOUT):
        """The program on the accessibility bus (found by its process id)."""
        if self.acc is None:
            def look():
                if self.proc.poll() is not None:
                    raise UiError(f"the program ended (status {self.proc.returncode}) before "
                                  f"it came on the accessibility bus\n{self.output()}")
                return _lookup_app(pid=self.pid)
            self.acc = wait_until(look, timeout, f"{APP_NAME} (pid {self.pid}) on the accessibility bus",
                                  _describe_desktop)
        return self.acc

    def window(self, title, timeout=DEFAULT_TIMEOUT):
        return find_window(self.app(timeout), title, timeout)

    def release_ctrl(self):
        if self.ctrl_held:
            self.ctrl_held = False
            key_up("ctrl")

    def wait(self, timeout=30.0):
        """Waits for the program to end and returns its exit status."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            detail = dump(self.acc) if self.acc is not None else _describe_desktop()
            raise UiError(f"the program did not end within {timeout:g} s\n{detail}\n"
                          f"{self.output()}") from None
        finally:
            self.release_ctrl()

    def output(self):
        """What the program wrote so far, as one text for failure messages."""
        return f"--- stdout ---\n{self.stdout()}--- stderr ---\n{self.stderr()}"

    def stdout(self):
        return _read_all(self._out)

    def stderr(self):
        return _read_all(self._err)

    def close(self):
        self.release_ctrl()
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self._out.close()
        self._err.close()

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, tb):
        # A failing test photographs the screen before its program is ended, while the
        # window that showed the fault is still there.
        if exc_type is not None and self.proc.poll() is None:
            try:
                path = screenshot(name=f"{current_test}-{time.strftime('%H%M%S')}")
                if isinstance(exc, AssertionError):
                    exc.args = (f"{exc.args[0] if exc.args else ''}\nscreenshot: {path}",) + exc.args[1:]
            except Exception:
                pass  # a missing screenshot must not hide the failure itself
        self.close()
        return False


def start(project, **kwargs):
    """Starts build/kestrelpad on project (None: no parameter). Keyword arguments:
    args=[...] more parameters; faketime="2010-12-03 15:30:00" the clock at start;
    ctrl=True Ctrl held down from before the start until release_ctrl()/wait()/close();
    env={...} extra environment; cwd=folder."""
    return App(project, **kwargs)


def _read_all(f):
    f.flush()
    f.seek(0)
    return f.read().decode("utf-8", "replace")


# ---------------------------------------------------------------------------------------
# Screenshots


def screenshot(folder=None, name="screen"):
    """Saves the whole screen as folder/name.png (default folder: artifacts_dir())."""
    folder = Path(folder) if folder is not None else artifacts_dir()
    folder.mkdir(parents=True, exist_ok=True)
    path = folder / (re.sub(r"[^A-Za-z0-9._-]+", "_", name) + ".png")
    subprocess.run(["import", "-window", "root", str(path)], check=True,
                   stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
    return path


# ---------------------------------------------------------------------------------------
# Projects and their archives


def make_project(parent, name="Site", files=None):
    """Makes a folder project parent/name with files {relative path: text or bytes}."""
    root = Path(parent) / name
    files = files if files is not None else {"index.html": "<html>Hello</html>\n",
                                             "css/site.css": "body { margin: 0 }\n"}
    root.mkdir(parents=True, exist_ok=True)
    for rel, content in files.items():
        p = root / rel
        p.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, bytes):
            p.write_bytes(content)
        else:
            p.write_text(content, encoding="utf-8")
    return root


def archive_folder(project):
    """The #tarnel folder: inside a folder project, beside a one-file project."""
    project = Path(project)
    return (project if project.is_dir() else project.parent) / ARCHIVE_FOLDER


def archives(project, pattern="*.zip"):
    """The project's archives (#tarnel/*.zip by default), sorted by name."""
    return sorted(archive_folder(project).glob(pattern))


def zip_comment(path):
    """The archive comment as text."""
    with zipfile.ZipFile(path) as z:
        raw = z.comment
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp437")


def zip_members(path):
    """The item names of an archive, in stored order."""
    with zipfile.ZipFile(path) as z:
        return z.namelist()


def zip_read(path, member):
    """The bytes of one item of an archive."""
    with zipfile.ZipFile(path) as z:
        return z.read(member)
