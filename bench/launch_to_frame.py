#!/usr/bin/env python3
"""Time from launching the viewer to the structure drawn in its window.

usage: launch_to_frame.py [FILE] [RUNS]   (default: the 100,000-atom water box
of bench/make_inputs.py, 3 runs). Polls the screen until oxygen red covers
part of the window; the figure includes one screenshot's latency, printed too.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
import harness  # noqa: E402


def grab_root(display):
    p = subprocess.run(["import", "-silent", "-window", "root", "-depth", "8", "ppm:-"], capture_output=True,
                       env=dict(os.environ, DISPLAY=display))
    return harness.parse_ppm(p.stdout) if p.returncode == 0 else None


def red_pixels(img):
    # A sparse grid over the window's area keeps the check itself quick.
    hits = 0
    for y in range(0, 512, 8):
        for x in range(0, 512, 8):
            r, g, b = img.pixel(x, y)
            hits += r > 150 and g < 80 and b < 80
    return hits


def main():
    data = os.environ.get("ORBISK_BENCH_DATA", "/tmp/orbisk-bench")
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(data, "waterbox-100k.xyz")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    binary = os.environ.get("ORBISK_BIN", os.path.join(os.path.dirname(__file__), "..", "build", "orbisk"))
    xs = harness.XServer(1024, 768)
    try:
        t0 = time.monotonic()
        grab_root(xs.display)
        print("screenshot latency: %.0f ms" % ((time.monotonic() - t0) * 1000))
        for _ in range(runs):
            env = dict(os.environ, DISPLAY=xs.display, XDG_RUNTIME_DIR="/tmp")
            start = time.monotonic()
            proc = subprocess.Popen([binary, path], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            shown = None
            while time.monotonic() - start < 30:
                img = grab_root(xs.display)
                if img and red_pixels(img) > 20:
                    shown = time.monotonic() - start
                    break
            proc.kill()
            proc.wait()
            print("launch to drawn: %s" % ("%.0f ms" % (shown * 1000) if shown else "not drawn within 30 s"))
    finally:
        xs.stop()


if __name__ == "__main__":
    main()
