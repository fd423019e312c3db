"""End-to-end test harness: runs the real orbisk binary in its own virtual X
server (Xvfb) and drives it like a user.

Environment (set by ctest): ORBISK_BIN (the binary), ORBISK_TEST_DATA,
ORBISK_EXAMPLES, ORBISK_CORPUS_DIR.

    from harness import Viewer, run

    rc, out, err = run(["--version"])              # no window, no X server
    with Viewer(["--width", "800", FILE]) as v:    # own Xvfb, killed on exit
        v.wait_for_log("No molecules could be found!")
        v.window()                                 # waits for "... - ORBISK"
        x, y, w, h = v.geometry(); v.name()
        v.key("Right"); v.key_down("F4"); v.key_up("F4")
        v.click(100, 120, button=1); v.drag(1, (10, 10), (60, 10))
        img = v.screenshot(); img.pixel(5, 5) -> (r, g, b)
        img = v.wait_for_picture(lambda img: ...)  # polls until the frame shows it
        img.bounding_box(threshold=40, y0=30) -> (x0, y0, x1, y1) of what is drawn
        v.drop([path1, path2], x=50, y=50)        # real XDND drop
        rc = v.close()                             # like a window manager's close box

Every file named on the command line or dropped must be left as it was: run()
and Viewer check size, SHA-256 and modification time after the process ends
(InputGuard, also for tests that start the binary themselves).

Keys are xdotool key names (Right, Up, h, F3, Escape). Every wait raises
AssertionError with the viewer's output so far when it times out.
"""

import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time

import x11

BIN = os.environ.get("ORBISK_BIN", "orbisk")
TEST_DATA = os.environ.get("ORBISK_TEST_DATA", "")
EXAMPLES = os.environ.get("ORBISK_EXAMPLES", "")
CORPUS_DIR = os.environ.get("ORBISK_CORPUS_DIR", "")

TITLE_SUFFIX = " - ORBISK"


def _clean_env(env=None, display=None):
    """The viewer's environment: no inherited ORBISK_ROOT_DIR, display or Qt
    platform unless asked for, and a private XDG runtime directory."""
    e = {k: v for k, v in os.environ.items()
         if k not in ("ORBISK_ROOT_DIR", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    if display:
        e["DISPLAY"] = display
    e.update(env or {})
    return {k: v for k, v in e.items() if v is not None}


def file_state(path):
    """(size, SHA-256, mtime in ns) of a regular file; None when there is none."""
    try:
        st = os.stat(path)
    except OSError:
        return None
    if not os.path.isfile(path):
        return None
    digest = None
    try:
        with open(path, "rb") as f:
            h = hashlib.sha256()
            for block in iter(lambda: f.read(1 << 20), b""):
                h.update(block)
            digest = h.hexdigest()
    except OSError:
        pass  # unreadable to us as well: size and time still tell
    return st.st_size, digest, st.st_mtime_ns


class InputGuard:
    """Remembers the state of every existing file among the given paths (a
    command line: options and their values are simply not files) and checks
    that none has changed: the viewer only ever writes its PNG capture."""

    def __init__(self, paths=(), cwd=None):
        self._cwd = cwd
        self._before = {}
        self.add(paths)

    def add(self, paths):
        for p in paths:
            path = os.path.join(self._cwd or "", os.fsdecode(p))
            if path not in self._before:
                state = file_state(path)
                if state is not None:
                    self._before[path] = state

    def check(self):
        changed = ["%s: %r -> %r" % (p, s, file_state(p)) for p, s in self._before.items() if file_state(p) != s]
        if changed:
            raise AssertionError("input files were changed: " + "; ".join(changed))


def run(args, env=None, display=None, timeout=60, cwd=None):
    """Runs orbisk to its end without a window; returns (status, stdout, stderr)."""
    inputs = InputGuard(args, cwd)
    p = subprocess.run([BIN] + list(args), env=_clean_env(env, display), cwd=cwd, capture_output=True,
                       text=True, timeout=timeout)
    inputs.check()
    return p.returncode, p.stdout, p.stderr


class XServer:
    """A private Xvfb; the display number is chosen by the server itself."""

    def __init__(self, width=1280, height=1024):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "%dx%dx24" % (width, height), "-nolisten", "tcp",
             "-noreset"], pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        number = b""
        deadline = time.monotonic() + 20
        with os.fdopen(r, "rb", buffering=0) as f:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                chunk = f.read(16)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.strip().decode()

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None


class Image:
    """A screenshot: width, height and pixel(x, y) -> (r, g, b), y down."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self._rgb = width, height, rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return self._rgb[i], self._rgb[i + 1], self._rgb[i + 2]

    def bounding_box(self, threshold=40, y0=0):
        """(x0, y0, x1, y1) of the pixels from row y0 on with a channel above
        threshold (what is drawn on a dark background), or None."""
        table = bytes(1 if v > threshold else 0 for v in range(256))
        row_bytes = 3 * self.width
        xs0, xs1, ys = [], [], []
        for y in range(y0, self.height):
            row = self._rgb[y * row_bytes:(y + 1) * row_bytes].translate(table)
            first = row.find(1)
            if first >= 0:
                xs0.append(first // 3)
                xs1.append(row.rfind(1) // 3 + 1)
                ys.append(y)
        if not ys:
            return None
        return min(xs0), ys[0], max(xs1), ys[-1] + 1

    def count(self, predicate, x0=0, y0=0, x1=None, y1=None):
        """How many pixels of the rectangle [x0, x1) x [y0, y1) satisfy predicate((r, g, b))."""
        x1 = self.width if x1 is None else x1
        y1 = self.height if y1 is None else y1
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if predicate(self.pixel(x, y)))


def parse_ppm(data):
    """Decodes a binary PPM (P6, maxval 255)."""
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not an 8-bit P6 PPM")
    width, height = int(fields[1]), int(fields[2])
    pos += 1  # the single whitespace after maxval
    return Image(width, height, data[pos:pos + 3 * width * height])


class Viewer:
    """One orbisk process in its own Xvfb. Use as a context manager."""

    def __init__(self, args, env=None, cwd=None, screen=(1280, 1024)):
        self.args = list(args)
        self._env = env
        self._cwd = cwd
        self._screen = screen
        self.xserver = None
        self.proc = None
        self._win = None
        self._out = {"stdout": [], "stderr": []}
        self._cond = threading.Condition()
        self._readers = []
        self._tmp = None
        self._first_frame_seen = False
        self._inputs = None

    # ---- life cycle ----
    def __enter__(self):
        self.start()
        return self

    def __exit__(self, exc_type, *exc):
        # A failing test's own error comes first.
        self.stop(check_inputs=exc_type is None)

    def start(self):
        self.xserver = XServer(*self._screen)
        self._tmp = tempfile.mkdtemp(prefix="orbisk-gui-")
        os.chmod(self._tmp, 0o700)
        env = _clean_env(dict({"XDG_RUNTIME_DIR": self._tmp}, **(self._env or {})), self.xserver.display)
        self._inputs = InputGuard(self.args, self._cwd)
        self.proc = subprocess.Popen([BIN] + self.args, env=env, cwd=self._cwd, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
        for name, stream in (("stdout", self.proc.stdout), ("stderr", self.proc.stderr)):
            t = threading.Thread(target=self._pump, args=(name, stream), daemon=True)
            t.start()
            self._readers.append(t)
        return self

    def stop(self, check_inputs=True):
        """Kills whatever is left: the viewer, then its X server; then checks
        that the files it was given or had dropped on it are unchanged."""
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        for t in self._readers:
            t.join(5)
        if self.xserver:
            self.xserver.stop()
        if self._tmp:
            shutil.rmtree(self._tmp, ignore_errors=True)
            self._tmp = None
        if check_inputs and self._inputs:
            inputs, self._inputs = self._inputs, None
            inputs.check()

    def _pump(self, name, stream):
        for line in iter(stream.readline, b""):
            with self._cond:
                self._out[name].append(line.decode("utf-8", "replace"))
                self._cond.notify_all()
        stream.close()

    # ---- output ----
    def stdout(self):
        with self._cond:
            return "".join(self._out["stdout"])

    def stderr(self):
        with self._cond:
            return "".join(self._out["stderr"])

    def _report(self):
        return "\n--- stdout ---\n%s\n--- stderr ---\n%s" % (self.stdout(), self.stderr())

    def wait_for_log(self, text, timeout=30, stream="stdout"):
        """Waits until `text` appears in the stream ("stdout", "stderr" or "any")."""
        deadline = time.monotonic() + timeout
        names = ("stdout", "stderr") if stream == "any" else (stream,)
        with self._cond:
            while True:
                if any(text in "".join(self._out[n]) for n in names):
                    return
                left = deadline - time.monotonic()
                if left <= 0 or (self.proc.poll() is not None and all(not t.is_alive() for t in self._readers)):
                    raise AssertionError("%r did not appear in %s%s" % (text, stream, self._report()))
                self._cond.wait(min(left, 0.2))

    def wait_exit(self, timeout=30):
        """The exit status, once the process has ended (and its output is read)."""
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("orbisk did not exit within %ss%s" % (timeout, self._report()))
        for t in self._readers:
            t.join(5)
        return rc

    # ---- the window ----
    def _xdotool(self, *args, check=True):
        p = subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True, text=True, timeout=30,
                           env=dict(os.environ, DISPLAY=self.xserver.display))
        if check and p.returncode != 0:
            raise AssertionError("xdotool %s failed: %s" % (" ".join(map(str, args)), p.stderr))
        return p.stdout

    def window(self, timeout=30):
        """The id of the viewer's top-level window (title ending in " - ORBISK")."""
        if self._win:
            return self._win
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                break
            ids = self._xdotool("search", "--name", re.escape(TITLE_SUFFIX) + "$", check=False).split()
            for wid in ids:
                if self._xdotool("getwindowpid", wid, check=False).strip() == str(self.proc.pid):
                    self._win = int(wid)
                    return self._win
            time.sleep(0.1)
        raise AssertionError("no viewer window appeared%s" % self._report())

    def name(self):
        return self._xdotool("getwindowname", self.window()).rstrip("\n")

    def geometry(self):
        """(x, y, width, height) of the window on the screen."""
        out = self._xdotool("getwindowgeometry", "--shell", self.window())
        vals = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(vals["X"]), int(vals["Y"]), int(vals["WIDTH"]), int(vals["HEIGHT"])

    def _focus(self):
        self._xdotool("windowfocus", "--sync", self.window(), check=False)

    def key(self, *keys):
        """Presses and releases each key in turn (xdotool names: Right, h, F3)."""
        self._focus()
        self._xdotool("key", "--delay", 50, *keys)

    def key_down(self, key):
        self._focus()
        self._xdotool("keydown", key)

    def key_up(self, key):
        self._focus()
        self._xdotool("keyup", key)

    def click(self, x, y, button=1):
        """Clicks at window-relative (x, y); button 1 left, 2 middle, 3 right."""
        self._xdotool("mousemove", "--window", self.window(), x, y, "click", button)

    def drag(self, button, start, end, steps=10):
        """Presses `button` at `start`, moves to `end` in steps, releases."""
        w = self.window()
        self._xdotool("mousemove", "--window", w, start[0], start[1], "mousedown", button)
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i // steps
            y = start[1] + (end[1] - start[1]) * i // steps
            self._xdotool("mousemove", "--window", w, x, y)
        self._xdotool("mouseup", button)

    def screenshot(self):
        """The window's picture. The first call waits for the first frame (the
        overlay line at the top is always drawn), which can come well after the
        start-up load's log lines."""
        if not self._first_frame_seen:
            deadline = time.monotonic() + 30
            while True:
                img = self._grab()
                box = img.bounding_box(threshold=100)
                if box and box[1] < 30:
                    break
                if time.monotonic() > deadline or self.proc.poll() is not None:
                    return img
                time.sleep(0.1)
            self._first_frame_seen = True
            return img
        return self._grab()

    def _grab(self):
        p = subprocess.run(["import", "-silent", "-window", str(self.window()), "-depth", "8", "ppm:-"], capture_output=True,
                           timeout=60, env=dict(os.environ, DISPLAY=self.xserver.display))
        if p.returncode != 0:
            raise AssertionError("screenshot failed: %s" % p.stderr.decode(errors="replace"))
        return parse_ppm(p.stdout)

    def wait_for_picture(self, predicate, timeout=15, what="picture"):
        """The first screenshot for which predicate(image) is true. The first
        frame can come well after the log lines of the start-up load."""
        deadline = time.monotonic() + timeout
        while True:
            img = self.screenshot()
            if predicate(img):
                return img
            if time.monotonic() > deadline:
                raise AssertionError("%s not shown within %ss%s" % (what, timeout, self._report()))
            time.sleep(0.1)

    def drop(self, paths, x=20, y=20, timeout=10):
        """Drops the files on the window at (x, y) with the XDND protocol, as a
        file manager does. Returns True when the window accepted the drop."""
        paths = [os.path.abspath(p) for p in paths]
        self._inputs.add(paths)
        with x11.Display(self.xserver.display) as d:
            return d.drop_files(self.window(), paths, x, y, timeout)

    def close(self, timeout=30):
        """Asks the window to close as a window manager would; returns the exit status."""
        with x11.Display(self.xserver.display) as d:
            d.request_close(self.window())
        return self.wait_exit(timeout)

    def wait_until(self, predicate, timeout=10, what="condition"):
        """Polls predicate() until it is true (for redraws that follow input)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if predicate():
                return
            time.sleep(0.1)
        raise AssertionError("%s not met within %ss%s" % (what, timeout, self._report()))
