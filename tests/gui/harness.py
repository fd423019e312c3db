"""End-to-end harness: the real orbisk binary in its own Xvfb, driven like a user (xdotool for keys and
mouse, libX11 for drops and the close box). Files named on a command line or dropped must be left as
they were: run() and Viewer check that. Waits fail with the viewer's output so far. Environment (from
ctest): ORBISK_BIN, ORBISK_TEST_DATA, ORBISK_EXAMPLES."""

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
BENZENE = os.path.join(os.environ.get("ORBISK_EXAMPLES", ""), "benzene.xyz")

def clean_env(env=None, display=None):
    """No inherited ORBISK_ROOT_DIR, display or Qt platform unless asked for."""
    e = {k: v for k, v in os.environ.items()
         if k not in ("ORBISK_ROOT_DIR", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    e.update(dict({"DISPLAY": display} if display else {}, **(env or {})))
    return {k: v for k, v in e.items() if v is not None}

def snapshot(paths, cwd=None):
    """(size, SHA-256, mtime in ns) of each regular file among the paths (options are no files)."""
    states = {}
    for path in (os.path.join(cwd or "", os.fsdecode(p)) for p in paths):
        if os.path.isfile(path):
            h = hashlib.sha256()
            try:
                with open(path, "rb") as f:
                    for block in iter(lambda: f.read(1 << 20), b""):
                        h.update(block)
            except OSError:
                h = None  # unreadable to us as well: size and time still tell
            st = os.stat(path)
            states[path] = st.st_size, h and h.hexdigest(), st.st_mtime_ns
    return states

def check_unchanged(before):
    """The viewer only ever writes its capture: no input file may have changed."""
    after = snapshot(before)
    changed = ["%s: %r -> %r" % (p, s, after.get(p)) for p, s in before.items() if after.get(p) != s]
    if changed:
        raise AssertionError("input files were changed: " + "; ".join(changed))

class Result(tuple):
    """(status, stdout, stderr) of a finished run, also as rc, out and err; rss: its peak resident size."""
    rc, out, err = (property(lambda self, i=i: self[i]) for i in range(3))

def run(args, env=None, display=None, timeout=60, cwd=None, text=True, err_file=None):
    """Runs orbisk to its end without a window; stderr is None when sent to err_file. A hang is
    killed and fails. The peak resident size includes what this process held when it forked it:
    tests never hold big inputs."""
    inputs = snapshot(args, cwd)
    with tempfile.TemporaryFile() as out, (open(err_file, "w+b") if err_file else tempfile.TemporaryFile()) as err:
        p = subprocess.Popen([BIN] + list(args), stdout=out, stderr=err, cwd=cwd, env=clean_env(env, display))
        watchdog = threading.Timer(timeout, p.kill)
        watchdog.start()
        _, status, usage = os.wait4(p.pid, 0)
        watchdog.cancel()
        p.returncode = os.waitstatus_to_exitcode(status)
        assert p.returncode >= 0, "orbisk ended by signal %d on %r (9: still running after %ss)" % (
            -p.returncode, args, timeout)
        out.seek(0), err.seek(0)
        result = Result((p.returncode,) + tuple(None if f is err and err_file else f.read().decode() if text
                                                else f.read() for f in (out, err)))
    result.rss = usage.ru_maxrss * 1024
    check_unchanged(inputs)
    return result


# ---- pictures and structures ----

def near(p, q, tol=3):
    return all(abs(a - b) <= tol for a, b in zip(p, q))

def is_red(p):
    return p[0] > 150 and p[1] < 90 and p[2] < 90

def f32(v):
    return struct.unpack("f", struct.pack("f", v))[0]

class Image:
    """A screenshot: width, height and pixel(x, y) -> (r, g, b), y down."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def bounding_box(self, threshold=40, y0=0, y1=None):
        """(x0, y0, x1, y1) of the pixels in rows [y0, y1) with a channel above threshold, or None."""
        table, w = bytes(1 if v > threshold else 0 for v in range(256)), 3 * self.width
        rows = [(y, bytes(self.rgb[w * y:w * (y + 1)]).translate(table)) for y in range(y0, y1 or self.height)]
        rows = [(y, r.find(1) // 3, r.rfind(1) // 3 + 1) for y, r in rows if 1 in r]
        return (min(r[1] for r in rows), rows[0][0], max(r[2] for r in rows), rows[-1][0] + 1) if rows else None

def parse_ppm(data):
    """Decodes a binary 8-bit PPM (P6) without comments."""
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    w, h = int(m.group(1)), int(m.group(2))
    return Image(w, h, data[m.end():m.end() + 3 * w * h])

def write_xyz(path, atoms):
    """atoms: [(symbol, x, y, z)]."""
    with open(path, "w") as f:
        f.write("%d\ntest structure\n" % len(atoms) + "".join("%-2s %12.6f %12.6f %12.6f\n" % a for a in atoms))

def read_xyz(path):
    with open(path) as f:
        lines = f.read().splitlines()
    return [(s, float(x), float(y), float(z)) for s, x, y, z in (l.split()[:4] for l in lines[2:2 + int(lines[0])])]

# Ball-and-stick ball radii of the elements the tests use.
BALL_RADIUS = {"H": 0.15, "C": 0.26, "N": 0.28, "O": 0.30}

class FittedView:
    """Where the viewer draws a point after a load: the camera looks down -z, y up, 60 degrees high, at
    the box of the drawn atoms (radii included) from R / sin(half the narrower field of view), R half
    the box diagonal."""

    def __init__(self, atoms, width=512, height=512):
        lo = [min(a[1 + i] - BALL_RADIUS[a[0]] for a in atoms) for i in range(3)]
        hi = [max(a[1 + i] + BALL_RADIUS[a[0]] for a in atoms) for i in range(3)]
        self.centre = [(l + h) / 2 for l, h in zip(lo, hi)]
        self.width, self.height, self.tan_y = width, height, math.tan(math.radians(30))
        half_x = math.atan(self.tan_y * width / height)
        self.eye_z = self.centre[2] + math.dist(lo, hi) / 2 / math.sin(min(half_x, math.radians(30)))

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
        scratch = tempfile.TemporaryDirectory(prefix="orbisk-gui-")  # its cleanup restores rights tests took away
        self.addCleanup(scratch.cleanup)
        self.dir = scratch.name

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb" if isinstance(data, bytes) else "w") as f:
            f.write(data)
        return path

# ---- X11 through libX11, for what xdotool cannot do: XDND drops and WM_DELETE_WINDOW ----

_X = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
_W, _P, _I, _U = ctypes.c_ulong, ctypes.c_void_p, ctypes.c_int, ctypes.c_uint  # _W: Window, Atom and Time alike
for _name, _res, _args in (("XOpenDisplay", _P, [ctypes.c_char_p]), ("XCloseDisplay", _I, [_P]),
                           ("XInternAtom", _W, [_P, ctypes.c_char_p, _I]), ("XDefaultRootWindow", _W, [_P]),
                           ("XCreateSimpleWindow", _W, [_P, _W, _I, _I, _U, _U, _U, _W, _W]),
                           ("XDestroyWindow", _I, [_P, _W]), ("XSetSelectionOwner", _I, [_P, _W, _W, _W]),
                           ("XSendEvent", _I, [_P, _W, _I, ctypes.c_long, _P]), ("XFlush", _I, [_P]),
                           ("XPending", _I, [_P]), ("XNextEvent", _I, [_P, _P]),
                           ("XChangeProperty", _I, [_P, _W, _W, _W, _I, _I, ctypes.c_char_p, _I]),
                           ("XTranslateCoordinates", _I, [_P, _W, _W, _I, _I, _P, _P, _P])):
    getattr(_X, _name).restype, getattr(_X, _name).argtypes = _res, _args
_HEAD = [("type", _I), ("serial", ctypes.c_ulong), ("send_event", _I), ("display", _P)]

def _struct(*fields):
    fields = [f if isinstance(f, tuple) else (f, _W) for f in fields]  # _W: Window, Atom and Time alike
    return type("XEvent", (ctypes.Structure,), {"_fields_": _HEAD + fields})

class _Event(ctypes.Union):
    _fields_ = [("type", _I), ("xclient", _struct("window", "message_type", ("format", _I), ("l", ctypes.c_long * 5))),
                ("xselectionrequest", _struct("owner", "requestor", "selection", "target", "property", "time")),
                ("xselection", _struct("requestor", "selection", "target", "property", "time")),
                ("pad", ctypes.c_long * 24)]

_CLIENT_MESSAGE, _SELECTION_REQUEST, _SELECTION_NOTIFY = 33, 30, 31

class _Xlib:
    """A connection to the viewer's X display through libX11, opened on first use."""
    _dpy = None

    def atom(self, name):
        if not self._dpy:
            self._dpy = _X.XOpenDisplay(self.display.encode())
            assert self._dpy, "cannot open X display " + self.display
        return _X.XInternAtom(self._dpy, name.encode(), 0)

    def send(self, window, message_type, longs):
        ev = _Event()
        c = ev.xclient
        c.type, c.window, c.message_type, c.format = _CLIENT_MESSAGE, window, self.atom(message_type), 32
        c.display, c.l[:] = self._dpy, longs
        _X.XSendEvent(self._dpy, window, 0, 0, ctypes.byref(ev))
        _X.XFlush(self._dpy)

    def events(self, deadline):
        ev = _Event()
        while time.monotonic() < deadline:
            if _X.XPending(self._dpy):
                _X.XNextEvent(self._dpy, ctypes.byref(ev))
                yield ev
            else:
                time.sleep(0.01)

    def drop_files(self, window, paths, x, y, timeout):
        """Drops the files (text/uri-list, XDND 5) at (x, y); True when the window took them."""
        uris = "".join("file://" + urllib.parse.quote(str(p)) + "\r\n" for p in paths).encode()
        uri_type, copy = self.atom("text/uri-list"), self.atom("XdndActionCopy")
        root = _X.XDefaultRootWindow(self._dpy)
        source = _X.XCreateSimpleWindow(self._dpy, root, 0, 0, 1, 1, 0, 0, 0)
        try:
            _X.XSetSelectionOwner(self._dpy, self.atom("XdndSelection"), source, 0)
            rx, ry, child = _I(), _I(), _W()
            _X.XTranslateCoordinates(self._dpy, window, root, x, y, ctypes.byref(rx), ctypes.byref(ry),
                                     ctypes.byref(child))
            deadline = time.monotonic() + timeout
            self.send(window, "XdndEnter", [source, 5 << 24, uri_type, 0, 0])
            self.send(window, "XdndPosition", [source, 0, (rx.value << 16) | (ry.value & 0xFFFF), 0, copy])
            self.send(window, "XdndDrop", [source, 0, 0, 0, 0])
            finished = self.atom("XdndFinished")
            for ev in self.events(deadline):
                if ev.type == _SELECTION_REQUEST:
                    req, reply = ev.xselectionrequest, _Event()
                    s = reply.xselection
                    s.type, s.display, s.requestor, s.selection, s.target, s.time, s.property = (
                        _SELECTION_NOTIFY, self._dpy, req.requestor, req.selection, req.target, req.time, 0)
                    if req.target == uri_type and req.property:
                        _X.XChangeProperty(self._dpy, req.requestor, req.property, uri_type, 8, 0, uris, len(uris))
                        s.property = req.property
                    _X.XSendEvent(self._dpy, req.requestor, 0, 0, ctypes.byref(reply))
                    _X.XFlush(self._dpy)
                elif ev.type == _CLIENT_MESSAGE and ev.xclient.message_type == finished:
                    return bool(ev.xclient.l[1] & 1)  # accepted
            return False
        finally:
            _X.XDestroyWindow(self._dpy, source)
            _X.XFlush(self._dpy)

# ---- the viewer ----

class Viewer(_Xlib):
    """One orbisk process in its own Xvfb. Use as a context manager."""

    def __init__(self, args, env=None, cwd=None, screen=(1280, 1024)):
        self.args, self._env, self._cwd, self._screen = list(args), env, cwd, screen
        self.xvfb = self.proc = self._win = self._tmp = self._inputs = None
        self._out, self._lock, self._readers = {"stdout": [], "stderr": []}, threading.Lock(), []
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
        self._tmp = tempfile.mkdtemp(prefix="orbisk-gui-")  # private: 0700
        self._inputs = snapshot(self.args, self._cwd)
        self.proc = subprocess.Popen([BIN] + self.args, cwd=self._cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=clean_env(dict({"XDG_RUNTIME_DIR": self._tmp}, **(self._env or {})),
                                                   self.display))
        for name in ("stdout", "stderr"):
            self._readers.append(threading.Thread(target=self._pump, args=(name,), daemon=True))
            self._readers[-1].start()
        return self

    def stop(self, check_inputs=True):
        """Kills the viewer, then its X server; then checks the input files."""
        if self._dpy:
            _X.XCloseDisplay(self._dpy)
        self._dpy = None
        for p in (self.proc, self.xvfb):
            if p and p.poll() is None:
                p.kill()
                p.wait()
        for t in self._readers:
            t.join(5)
        if self._tmp:
            shutil.rmtree(self._tmp, ignore_errors=True)
        inputs, self.proc, self.xvfb, self._tmp, self._inputs = self._inputs, None, None, None, None
        if check_inputs and inputs:
            check_unchanged(inputs)

    def _pump(self, name):
        stream = getattr(self.proc, name)
        for line in iter(stream.readline, b""):
            with self._lock:
                self._out[name].append(line.decode("utf-8", "replace"))
        stream.close()

    def stdout(self, name="stdout"):
        with self._lock:
            return "".join(self._out[name])

    def stderr(self):
        return self.stdout("stderr")

    def report(self):
        return "\n--- stdout ---\n%s\n--- stderr ---\n%s" % (self.stdout(), self.stderr())

    def wait_until(self, predicate, timeout=10, what="condition"):
        """Polls predicate() until it is true; gives up early once the viewer has ended."""
        deadline = time.monotonic() + timeout
        while not predicate():
            ended = self.proc.poll() is not None and not any(t.is_alive() for t in self._readers)
            if time.monotonic() > deadline or (ended and not predicate()):
                raise AssertionError("%s not met within %ss%s" % (what, timeout, self.report()))
            time.sleep(0.05)

    def wait_for_log(self, text, timeout=30):
        self.wait_until(lambda: text in self.stdout(), timeout, "%r in stdout" % text)

    def wait_exit(self, timeout=30):
        """The exit status, once the process has ended and its output is read."""
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("orbisk did not exit within %ss%s" % (timeout, self.report()))
        for t in self._readers:
            t.join(5)
        return rc

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
            ids = self.xdotool("search", "--name", r" - ORBISK$", check=False).split()
            self._win = int(ids[0]) if ids else time.sleep(0.1)
        if not self._win:
            raise AssertionError("no viewer window appeared%s" % self.report())
        return self._win

    def name(self):
        return self.xdotool("getwindowname", self.window()).rstrip("\n")

    def geometry(self):
        """(x, y, width, height) of the window on the screen."""
        vals = dict(l.split("=", 1) for l in self.xdotool("getwindowgeometry", "--shell", self.window()).split())
        return tuple(int(vals[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def key(self, *keys, action="key"):
        """Presses and releases each key in turn (xdotool names: Right, h, F3), or does half of that."""
        self.xdotool("windowfocus", "--sync", self.window(), check=False)
        self.xdotool(action, *(["--delay", 50] if action == "key" else []), *keys)

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
        """The window's picture. The first call waits for the first frame (the overlay line at the top
        is always drawn), which can come well after the start-up load's log lines."""
        deadline = time.monotonic() + 30
        while True:
            p = subprocess.run(["import", "-silent", "-window", str(self.window()), "-depth", "8", "ppm:-"],
                               capture_output=True, timeout=60, env=dict(os.environ, DISPLAY=self.display))
            if p.returncode != 0:
                raise AssertionError("screenshot failed: %s" % p.stderr.decode(errors="replace"))
            img = parse_ppm(p.stdout)
            box = self._first_frame_seen or img.bounding_box(threshold=100)
            self._first_frame_seen = box is True or bool(box and box[1] < 30)
            if self._first_frame_seen or time.monotonic() > deadline or self.proc.poll() is not None:
                return img
            time.sleep(0.1)

    def settled(self, expected=None):
        """The picture once the window has redrawn: equal to the expected bytes, or else twice the same."""
        last = []

        def ready():
            last[:] = last[-1:] + [self.screenshot()]
            return last[-1].rgb == (expected if expected is not None else len(last) > 1 and last[0].rgb)
        self.wait_until(ready, what="the expected picture" if expected is not None else "a stable picture")
        return last[-1]

    def drop(self, paths, x=20, y=20, timeout=10):
        """Drops the files on the window as a file manager does; True when accepted."""
        paths = [os.path.abspath(p) for p in paths]
        self._inputs = dict(snapshot(paths), **self._inputs)
        return self.drop_files(self.window(), paths, x, y, timeout)

    def close(self, timeout=30):
        """Asks the window to close as a window manager would; returns the exit status."""
        self.send(self.window(), "WM_PROTOCOLS", [self.atom("WM_DELETE_WINDOW"), 0, 0, 0, 0])
        return self.wait_exit(timeout)
