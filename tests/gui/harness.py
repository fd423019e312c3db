"""End-to-end harness: the real orbisk binary in its own Xvfb, driven like a
user (xdotool for keys and mouse, libX11 for drops and the close box). Files
named on a command line or dropped must be left as they were: run() and
Viewer check that afterwards. Waits fail with the viewer's output so far.
Environment (from ctest): ORBISK_BIN, ORBISK_TEST_DATA, ORBISK_EXAMPLES."""

import ctypes
import ctypes.util
import hashlib
import math
import os
import re
import shutil
import struct
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.parse

BIN = os.environ.get("ORBISK_BIN", "orbisk")
TEST_DATA = os.environ.get("ORBISK_TEST_DATA", "")
EXAMPLES = os.environ.get("ORBISK_EXAMPLES", "")
BENZENE = os.path.join(EXAMPLES, "benzene.xyz")


def clean_env(env=None, display=None):
    """No inherited ORBISK_ROOT_DIR, display or Qt platform unless asked for."""
    e = {k: v for k, v in os.environ.items()
         if k not in ("ORBISK_ROOT_DIR", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    if display:
        e["DISPLAY"] = display
    e.update(env or {})
    return {k: v for k, v in e.items() if v is not None}


def file_state(path):
    """(size, SHA-256, mtime in ns) of a regular file; None when there is none."""
    if not os.path.isfile(path):
        return None
    st, h = os.stat(path), hashlib.sha256()
    try:
        with open(path, "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                h.update(block)
    except OSError:
        h = None  # unreadable to us as well: size and time still tell
    digest = h and h.hexdigest()
    return st.st_size, digest, st.st_mtime_ns


class InputGuard:
    """Checks that no existing file among the paths (a command line: options
    are simply not files) has changed: the viewer only writes its capture."""

    def __init__(self, paths=(), cwd=None):
        self._cwd, self._before = cwd, {}
        self.add(paths)

    def add(self, paths):
        for p in paths:
            path = os.path.join(self._cwd or "", os.fsdecode(p))
            state = file_state(path)
            if state is not None:
                self._before.setdefault(path, state)

    def check(self):
        changed = ["%s: %r -> %r" % (p, s, file_state(p)) for p, s in self._before.items() if file_state(p) != s]
        if changed:
            raise AssertionError("input files were changed: " + "; ".join(changed))


def run(args, env=None, display=None, timeout=60, cwd=None, text=True):
    """Runs orbisk to its end without a window; returns (status, stdout, stderr)."""
    inputs = InputGuard(args, cwd)
    p = subprocess.run([BIN] + list(args), env=clean_env(env, display), cwd=cwd, capture_output=True, text=text,
                       timeout=timeout)
    inputs.check()
    return p.returncode, p.stdout, p.stderr


# ---- pictures and structures ----

def near(p, q, tol=3):
    return all(abs(a - b) <= tol for a, b in zip(p, q))


def is_red(p):
    return p[0] > 150 and p[1] < 90 and p[2] < 90


def is_white(p):
    return min(p) > 170 and max(p) - min(p) < 30


def f32(v):
    return struct.unpack("f", struct.pack("f", v))[0]


class Image:
    """A screenshot: width, height and pixel(x, y) -> (r, g, b), y down."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def rows(self, y0, y1):
        """The raw bytes of rows [y0, y1): equal bytes, equal picture."""
        return bytes(self.rgb[3 * self.width * y0:3 * self.width * y1])

    def bounding_box(self, threshold=40, y0=0):
        """(x0, y0, x1, y1) of the pixels from row y0 on with a channel above threshold, or None."""
        table = bytes(1 if v > threshold else 0 for v in range(256))
        xs0, xs1, ys = [], [], []
        for y in range(y0, self.height):
            row = self.rows(y, y + 1).translate(table)
            if row.find(1) >= 0:
                xs0.append(row.find(1) // 3)
                xs1.append(row.rfind(1) // 3 + 1)
                ys.append(y)
        return (min(xs0), ys[0], max(xs1), ys[-1] + 1) if ys else None

    def count(self, predicate, x0=0, y0=0, x1=None, y1=None):
        """How many pixels of [x0, x1) x [y0, y1) satisfy predicate((r, g, b))."""
        return sum(1 for y in range(y0, self.height if y1 is None else y1)
                   for x in range(x0, self.width if x1 is None else x1) if predicate(self.pixel(x, y)))


def parse_ppm(data):
    """Decodes a binary 8-bit PPM (P6) without comments."""
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    if not m:
        raise ValueError("not an 8-bit P6 PPM")
    w, h = int(m.group(1)), int(m.group(2))
    return Image(w, h, data[m.end():m.end() + 3 * w * h])


def write_xyz(path, atoms, title="test structure"):
    """atoms: [(symbol, x, y, z)]; frames of a trajectory: a list of such lists."""
    with open(path, "w") as f:
        for frame in atoms if atoms and isinstance(atoms[0], list) else [atoms]:
            f.write("%d\n%s\n" % (len(frame), title) + "".join("%-2s %12.6f %12.6f %12.6f\n" % a for a in frame))


def read_xyz(path):
    with open(path) as f:
        lines = f.read().splitlines()
    return [(s, float(x), float(y), float(z)) for s, x, y, z in (l.split()[:4] for l in lines[2:2 + int(lines[0])])]


# Ball-and-stick ball radii of the elements the tests use.
BALL_RADIUS = {"H": 0.15, "C": 0.26, "N": 0.28, "O": 0.30}


class FittedView:
    """Where the viewer draws a point after a load: the camera is fitted to the
    box of the drawn atoms (radii included), looking down -z with y up, from
    R / sin(half the narrower field of view), R half the box diagonal, with a
    60-degree vertical field of view."""

    def __init__(self, atoms, width=512, height=512):
        lo = [min(a[1 + i] - BALL_RADIUS[a[0]] for a in atoms) for i in range(3)]
        hi = [max(a[1 + i] + BALL_RADIUS[a[0]] for a in atoms) for i in range(3)]
        self.centre = [(l + h) / 2 for l, h in zip(lo, hi)]
        r = math.dist(lo, hi) / 2
        self.width, self.height, self.tan_y = width, height, math.tan(math.radians(30))
        half_x = math.atan(self.tan_y * width / height)
        self.eye_z = self.centre[2] + r / math.sin(min(half_x, math.radians(30)))

    def project(self, x, y, z, width=None, height=None):
        """Pixel (x right, y down) as floats, in the window or in an image of
        another size drawn from the same camera."""
        width, height = width or self.width, height or self.height
        depth = self.eye_z - z
        ndc_x = (x - self.centre[0]) / depth / (self.tan_y * width / height)
        ndc_y = (y - self.centre[1]) / depth / self.tan_y
        return (ndc_x + 1) / 2 * width, (1 - ndc_y) / 2 * height

    def pixel(self, x, y, z):
        return tuple(int(round(c)) for c in self.project(x, y, z))


class ScratchTest(unittest.TestCase):
    """A test with a private folder, self.dir."""

    def setUp(self):
        self._scratch = tempfile.TemporaryDirectory(prefix="orbisk-gui-")
        self.dir = self._scratch.name
        self.addCleanup(self._cleanup)

    def _cleanup(self):
        for root, dirs, _ in os.walk(self.dir):
            for d in dirs:
                os.chmod(os.path.join(root, d), 0o755)
        os.chmod(self.dir, 0o755)
        self._scratch.cleanup()

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb" if isinstance(data, bytes) else "w") as f:
            f.write(data)
        return path


# ---- X11 through libX11, for what xdotool cannot do: XDND drops and WM_DELETE_WINDOW ----

_X = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
_W = ctypes.c_ulong  # Window, Atom and Time alike
_P, _I = ctypes.c_void_p, ctypes.c_int
for _name, _res, _args in (("XOpenDisplay", _P, [ctypes.c_char_p]), ("XCloseDisplay", _I, [_P]),
                           ("XInternAtom", _W, [_P, ctypes.c_char_p, _I]), ("XDefaultRootWindow", _W, [_P]),
                           ("XCreateSimpleWindow", _W, [_P, _W, _I, _I, ctypes.c_uint, ctypes.c_uint, ctypes.c_uint,
                                                        _W, _W]),
                           ("XDestroyWindow", _I, [_P, _W]), ("XSetSelectionOwner", _I, [_P, _W, _W, _W]),
                           ("XSendEvent", _I, [_P, _W, _I, ctypes.c_long, _P]), ("XFlush", _I, [_P]),
                           ("XPending", _I, [_P]), ("XNextEvent", _I, [_P, _P]),
                           ("XChangeProperty", _I, [_P, _W, _W, _W, _I, _I, ctypes.c_char_p, _I]),
                           ("XTranslateCoordinates", _I, [_P, _W, _W, _I, _I, _P, _P, _P])):
    getattr(_X, _name).restype, getattr(_X, _name).argtypes = _res, _args
_HEAD = [("type", _I), ("serial", ctypes.c_ulong), ("send_event", _I), ("display", _P)]


class _Client(ctypes.Structure):
    _fields_ = _HEAD + [("window", _W), ("message_type", _W), ("format", _I), ("l", ctypes.c_long * 5)]


class _SelRequest(ctypes.Structure):
    _fields_ = _HEAD + [("owner", _W), ("requestor", _W), ("selection", _W), ("target", _W), ("property", _W),
                        ("time", _W)]


class _Selection(ctypes.Structure):
    _fields_ = _HEAD + [("requestor", _W), ("selection", _W), ("target", _W), ("property", _W), ("time", _W)]


class _Event(ctypes.Union):
    _fields_ = [("type", _I), ("xclient", _Client), ("xselectionrequest", _SelRequest), ("xselection", _Selection),
                ("pad", ctypes.c_long * 24)]


_CLIENT_MESSAGE, _SELECTION_REQUEST, _SELECTION_NOTIFY = 33, 30, 31


class X11:
    """One connection to an X display (":93")."""

    def __init__(self, name):
        self.dpy = _X.XOpenDisplay(name.encode())
        if not self.dpy:
            raise RuntimeError("cannot open X display " + name)
        self.root = _X.XDefaultRootWindow(self.dpy)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        _X.XCloseDisplay(self.dpy)

    def atom(self, name):
        return _X.XInternAtom(self.dpy, name.encode(), 0)

    def send(self, window, message_type, longs):
        ev = _Event()
        c = ev.xclient
        c.type, c.display, c.window, c.message_type, c.format = _CLIENT_MESSAGE, self.dpy, window, self.atom(
            message_type), 32
        for i, v in enumerate(longs):
            c.l[i] = v
        _X.XSendEvent(self.dpy, window, 0, 0, ctypes.byref(ev))
        _X.XFlush(self.dpy)

    def request_close(self, window):
        """What a window manager sends when the user clicks the close box."""
        self.send(window, "WM_PROTOCOLS", [self.atom("WM_DELETE_WINDOW"), 0, 0, 0, 0])

    def events(self, deadline):
        ev = _Event()
        while time.monotonic() < deadline:
            if _X.XPending(self.dpy):
                _X.XNextEvent(self.dpy, ctypes.byref(ev))
                yield ev
            else:
                time.sleep(0.01)

    def drop_files(self, window, paths, x, y, timeout):
        """Drags the files (text/uri-list) onto the window at (x, y) and drops
        them (XDND version 5). True when the window accepted and finished."""
        uris = "".join("file://" + urllib.parse.quote(str(p)) + "\r\n" for p in paths).encode()
        uri_type, copy = self.atom("text/uri-list"), self.atom("XdndActionCopy")
        source = _X.XCreateSimpleWindow(self.dpy, self.root, 0, 0, 1, 1, 0, 0, 0)
        try:
            _X.XSetSelectionOwner(self.dpy, self.atom("XdndSelection"), source, 0)
            rx, ry, child = _I(), _I(), _W()
            _X.XTranslateCoordinates(self.dpy, window, self.root, x, y, ctypes.byref(rx), ctypes.byref(ry),
                                     ctypes.byref(child))
            deadline = time.monotonic() + timeout
            self.send(window, "XdndEnter", [source, 5 << 24, uri_type, 0, 0])
            self.send(window, "XdndPosition", [source, 0, (rx.value << 16) | (ry.value & 0xFFFF), 0, copy])
            status = self.atom("XdndStatus")
            accepted = next((bool(ev.xclient.l[1] & 1) for ev in self.events(deadline)
                             if ev.type == _CLIENT_MESSAGE and ev.xclient.message_type == status), False)
            if not accepted:
                self.send(window, "XdndLeave", [source, 0, 0, 0, 0])
                return False
            self.send(window, "XdndDrop", [source, 0, 0, 0, 0])
            finished = self.atom("XdndFinished")
            for ev in self.events(deadline):
                if ev.type == _SELECTION_REQUEST:
                    req, reply = ev.xselectionrequest, _Event()
                    s = reply.xselection
                    s.type, s.display, s.requestor, s.selection, s.target, s.time, s.property = (
                        _SELECTION_NOTIFY, self.dpy, req.requestor, req.selection, req.target, req.time, 0)
                    if req.target == uri_type and req.property:
                        _X.XChangeProperty(self.dpy, req.requestor, req.property, uri_type, 8, 0, uris, len(uris))
                        s.property = req.property
                    _X.XSendEvent(self.dpy, req.requestor, 0, 0, ctypes.byref(reply))
                    _X.XFlush(self.dpy)
                elif ev.type == _CLIENT_MESSAGE and ev.xclient.message_type == finished:
                    return True
            return False
        finally:
            _X.XDestroyWindow(self.dpy, source)
            _X.XFlush(self.dpy)


# ---- the viewer ----

class Viewer:
    """One orbisk process in its own Xvfb. Use as a context manager."""

    def __init__(self, args, env=None, cwd=None, screen=(1280, 1024)):
        self.args, self._env, self._cwd, self._screen = list(args), env, cwd, screen
        self.xvfb = self.proc = self._win = self._tmp = self._inputs = None
        self._out = {"stdout": [], "stderr": []}
        self._cond = threading.Condition()
        self._readers = []
        self._first_frame_seen = False

    def __enter__(self):
        return self.start()

    def __exit__(self, exc_type, *exc):
        self.stop(check_inputs=exc_type is None)  # a failing test's own error comes first

    def start(self):
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "%dx%dx24" % self._screen,
                                      "-nolisten", "tcp", "-noreset"], pass_fds=(w,), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(w)
        with os.fdopen(r, "rb", buffering=0) as f:
            number = f.readline().strip()  # Xvfb writes its display number once it listens
        if not number.isdigit():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode()
        self._tmp = tempfile.mkdtemp(prefix="orbisk-gui-")
        os.chmod(self._tmp, 0o700)
        self._inputs = InputGuard(self.args, self._cwd)
        self.proc = subprocess.Popen([BIN] + self.args, cwd=self._cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=clean_env(dict({"XDG_RUNTIME_DIR": self._tmp}, **(self._env or {})),
                                                   self.display))
        for name in ("stdout", "stderr"):
            t = threading.Thread(target=self._pump, args=(name, getattr(self.proc, name)), daemon=True)
            t.start()
            self._readers.append(t)
        return self

    def stop(self, check_inputs=True):
        """Kills the viewer, then its X server; then checks the input files."""
        for p in (self.proc, self.xvfb):
            if p and p.poll() is None:
                p.kill()
                p.wait()
            for t in self._readers if p is self.proc else ():
                t.join(5)
        self.proc = self.xvfb = None
        if self._tmp:
            shutil.rmtree(self._tmp, ignore_errors=True)
            self._tmp = None
        inputs, self._inputs = self._inputs, None
        if check_inputs and inputs:
            inputs.check()

    def _pump(self, name, stream):
        for line in iter(stream.readline, b""):
            with self._cond:
                self._out[name].append(line.decode("utf-8", "replace"))
                self._cond.notify_all()
        stream.close()

    def stdout(self):
        with self._cond:
            return "".join(self._out["stdout"])

    def stderr(self):
        with self._cond:
            return "".join(self._out["stderr"])

    def report(self):
        return "\n--- stdout ---\n%s\n--- stderr ---\n%s" % (self.stdout(), self.stderr())

    def wait_for_log(self, text, timeout=30, stream="stdout"):
        """Waits until `text` appears in the stream ("stdout", "stderr" or "any")."""
        deadline = time.monotonic() + timeout
        names = ("stdout", "stderr") if stream == "any" else (stream,)
        with self._cond:
            while not any(text in "".join(self._out[n]) for n in names):
                left = deadline - time.monotonic()
                if left <= 0 or (self.proc.poll() is not None and not any(t.is_alive() for t in self._readers)):
                    raise AssertionError("%r did not appear in %s%s" % (text, stream, self.report()))
                self._cond.wait(min(left, 0.2))

    def wait_exit(self, timeout=30):
        """The exit status, once the process has ended and its output is read."""
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("orbisk did not exit within %ss%s" % (timeout, self.report()))
        for t in self._readers:
            t.join(5)
        return rc

    def wait_until(self, predicate, timeout=10, what="condition"):
        """Polls predicate() until it is true (for redraws that follow input)."""
        deadline = time.monotonic() + timeout
        while not predicate():
            if time.monotonic() > deadline:
                raise AssertionError("%s not met within %ss%s" % (what, timeout, self.report()))
            time.sleep(0.1)

    # ---- the window ----
    def xdotool(self, *args, check=True):
        p = subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True, text=True, timeout=30,
                           env=dict(os.environ, DISPLAY=self.display))
        if check and p.returncode != 0:
            raise AssertionError("xdotool %s failed: %s" % (" ".join(map(str, args)), p.stderr))
        return p.stdout

    def window(self, timeout=30):
        """The id of the viewer's top-level window (title ending in " - ORBISK")."""
        deadline = time.monotonic() + timeout
        while not self._win and time.monotonic() < deadline and self.proc.poll() is None:
            for wid in self.xdotool("search", "--name", r" - ORBISK$", check=False).split():
                if self.xdotool("getwindowpid", wid, check=False).strip() == str(self.proc.pid):
                    self._win = int(wid)
            time.sleep(0 if self._win else 0.1)
        if not self._win:
            raise AssertionError("no viewer window appeared%s" % self.report())
        return self._win

    def name(self):
        return self.xdotool("getwindowname", self.window()).rstrip("\n")

    def geometry(self):
        """(x, y, width, height) of the window on the screen."""
        vals = dict(l.split("=", 1) for l in self.xdotool("getwindowgeometry", "--shell", self.window()).split())
        return tuple(int(vals[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def key(self, *keys):
        """Presses and releases each key in turn (xdotool names: Right, h, F3)."""
        self.xdotool("windowfocus", "--sync", self.window(), check=False)
        self.xdotool("key", "--delay", 50, *keys)

    def key_down(self, key, up=False):
        self.xdotool("windowfocus", "--sync", self.window(), check=False)
        self.xdotool("keyup" if up else "keydown", key)

    def key_up(self, key):
        self.key_down(key, up=True)

    def click(self, x, y, button=1):
        """Clicks at window-relative (x, y); button 1 left, 2 middle, 3 right, 4/5 wheel."""
        self.xdotool("mousemove", "--window", self.window(), x, y, "click", button)

    def drag(self, button, start, end, steps=10):
        w = self.window()
        self.xdotool("mousemove", "--window", w, start[0], start[1], "mousedown", button)
        for i in range(1, steps + 1):
            self.xdotool("mousemove", "--window", w, start[0] + (end[0] - start[0]) * i // steps,
                         start[1] + (end[1] - start[1]) * i // steps)
        self.xdotool("mouseup", button)

    def screenshot(self):
        """The window's picture. The first call waits for the first frame (the
        overlay line at the top is always drawn), which can come well after
        the start-up load's log lines."""
        deadline = time.monotonic() + 30
        while True:
            p = subprocess.run(["import", "-silent", "-window", str(self.window()), "-depth", "8", "ppm:-"],
                               capture_output=True, timeout=60, env=dict(os.environ, DISPLAY=self.display))
            if p.returncode != 0:
                raise AssertionError("screenshot failed: %s" % p.stderr.decode(errors="replace"))
            img = parse_ppm(p.stdout)
            box = None if self._first_frame_seen else img.bounding_box(threshold=100)
            if self._first_frame_seen or (box and box[1] < 30):
                self._first_frame_seen = True
                return img
            if time.monotonic() > deadline or self.proc.poll() is not None:
                return img
            time.sleep(0.1)

    def wait_for_picture(self, predicate, timeout=15, what="picture"):
        """The first screenshot for which predicate(image) is true."""
        shot = []

        def shown():
            shot[:] = [self.screenshot()]
            return predicate(shot[0])
        self.wait_until(shown, timeout, what)
        return shot[0]

    def settled(self, expected=None, y0=0, y1=None):
        """The picture once the window has redrawn: rows [y0, y1) equal to the
        expected bytes, or else the same on two screenshots in a row."""
        state = {}

        def ready():
            img = self.screenshot()
            rows = img.rows(y0, y1 or img.height)
            done = rows == (expected if expected is not None else state.get("rows"))
            state.update(img=img, rows=rows)
            return done
        self.wait_until(ready, what="the expected picture" if expected is not None else "a stable picture")
        return state["img"]

    def drop(self, paths, x=20, y=20, timeout=10):
        """Drops the files on the window as a file manager does; True when accepted."""
        paths = [os.path.abspath(p) for p in paths]
        self._inputs.add(paths)
        with X11(self.display) as d:
            return d.drop_files(self.window(), paths, x, y, timeout)

    def close(self, timeout=30):
        """Asks the window to close as a window manager would; returns the exit status."""
        with X11(self.display) as d:
            d.request_close(self.window())
        return self.wait_exit(timeout)
