#!/usr/bin/env python3
"""Time from launching the viewer to the structure drawn in its window.

usage: launch_to_frame.py [--import] [FILE] [RUNS]   (default: the
100,000-atom water box of bench/make_inputs.py, 3 runs). Polls the screen until
oxygen red covers part of the middle of the window. By default the screen is read in this
process with XGetImage, about a millisecond a look, so that the polling
neither delays the frame nor adds much to the figure; --import takes each look
with ImageMagick's import, as the GUI tests do (over 100 ms of CPU a look,
competing with the viewer). The latency of one look is printed.
"""
import ctypes
import ctypes.util
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
import harness  # noqa: E402

SIDE = 512  # the window's default size, at (0, 0)
# What is looked at: the middle of the window, where the structure is drawn.
PROBE = (SIDE // 4, SIDE // 4, SIDE // 2, SIDE // 2)


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
                ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class DirectGrab:
    """Reads the window's area of the root window straight from the X server."""

    def __init__(self, display):
        self.x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                     ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.dpy = self.x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open display " + display)
        self.root = self.x.XDefaultRootWindow(self.dpy)

    def red_pixels(self):
        x0, y0, w, h = PROBE
        img = self.x.XGetImage(self.dpy, self.root, x0, y0, w, h, 0xFFFFFFFF, 2)  # ZPixmap
        if not img:
            return 0
        try:
            im = img.contents
            if im.bits_per_pixel != 32:
                raise RuntimeError("expected a 24-bit screen with 32-bit pixels")
            data = ctypes.string_at(im.data, im.bytes_per_line * im.height)
        finally:
            self.x.XDestroyImage(img)
        hits = 0
        for y in range(0, h, 8):  # every 8th pixel of every 8th row, BGRX
            row = data[y * im.bytes_per_line:(y + 1) * im.bytes_per_line]
            hits += sum(r > 150 and g < 80 and b < 80 for b, g, r in zip(row[0::32], row[1::32], row[2::32]))
        return hits

    def close(self):
        self.x.XCloseDisplay(self.dpy)


class ImportGrab:
    """One ImageMagick import of the root window per look."""

    def __init__(self, display):
        self.display = display

    def red_pixels(self):
        p = subprocess.run(["import", "-silent", "-window", "root", "-depth", "8", "ppm:-"], capture_output=True,
                           env=dict(os.environ, DISPLAY=self.display))
        if p.returncode != 0:
            return 0
        img = harness.parse_ppm(p.stdout)
        hits = 0
        # A sparse grid over the same area keeps the check itself quick.
        x0, y0, w, h = PROBE
        for y in range(y0, y0 + h, 8):
            for x in range(x0, x0 + w, 8):
                r, g, b = img.pixel(x, y)
                hits += r > 150 and g < 80 and b < 80
        return hits

    def close(self):
        pass


def main():
    args = sys.argv[1:]
    use_import = "--import" in args
    args = [a for a in args if a != "--import"]
    data = os.environ.get("ORBISK_BENCH_DATA", "/tmp/orbisk-bench")
    path = args[0] if args else os.path.join(data, "waterbox-100k.xyz")
    runs = int(args[1]) if len(args) > 1 else 3
    binary = os.environ.get("ORBISK_BIN", os.path.join(os.path.dirname(__file__), "..", "build", "orbisk"))
    xs = harness.XServer(1024, 768)
    grab = None
    try:
        grab = ImportGrab(xs.display) if use_import else DirectGrab(xs.display)
        t0 = time.monotonic()
        grab.red_pixels()
        print("screenshot latency: %.0f ms" % ((time.monotonic() - t0) * 1000))
        for _ in range(runs):
            env = dict(os.environ, DISPLAY=xs.display, XDG_RUNTIME_DIR="/tmp")
            start = time.monotonic()
            proc = subprocess.Popen([binary, path], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            shown = None
            while time.monotonic() - start < 30:
                if grab.red_pixels() > 10:
                    shown = time.monotonic() - start
                    break
                if not use_import:
                    time.sleep(0.005)
            proc.kill()
            proc.wait()
            print("launch to drawn: %s" % ("%.0f ms" % (shown * 1000) if shown else "not drawn within 30 s"))
    finally:
        if grab:
            grab.close()
        xs.stop()


if __name__ == "__main__":
    main()
