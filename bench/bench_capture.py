#!/usr/bin/env python3
"""Time of one F4 capture (5000 x 3000 PNG) of a 10,002-atom water box, shown
in ball-and-stick in the real viewer under a private Xvfb.

A capture is timed from its "Capturing image..." line on standard output to
the moment the finished PNG is on disk (it is renamed into place whole), so
key delivery is not counted. Reports every run, the best and the median.

usage: bench/bench_capture.py [ORBISK_BIN] [--runs N] [--atoms N]
"""

import argparse
import math
import os
import random
import statistics
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "gui"))


def water_box(atoms, path):
    # Molecules on a jittered cubic lattice at liquid density, randomly turned.
    rng = random.Random(7)
    molecules = (atoms + 2) // 3
    per_edge = math.ceil(molecules ** (1 / 3))
    step = (molecules / 0.0334) ** (1 / 3) / per_edge
    half = math.radians(104.5) / 2
    lines = []
    for i in range(molecules):
        o = [(c + 0.5) * step + rng.uniform(-0.3, 0.3)
             for c in (i % per_edge, i // per_edge % per_edge, i // per_edge ** 2)]
        a = [rng.gauss(0, 1) for _ in range(3)]
        na = math.sqrt(sum(c * c for c in a))
        a = [c / na for c in a]
        b = [rng.gauss(0, 1) for _ in range(3)]
        d = sum(x * y for x, y in zip(a, b))
        b = [y - d * x for x, y in zip(a, b)]
        nb = math.sqrt(sum(c * c for c in b))
        b = [c / nb for c in b]
        lines.append("O %.6f %.6f %.6f" % tuple(o))
        for sign in (1, -1):
            h = [oc + 0.96 * (math.cos(half) * x + sign * math.sin(half) * y) for oc, x, y in zip(o, a, b)]
            lines.append("H %.6f %.6f %.6f" % tuple(h))
    with open(path, "w") as f:
        f.write("%d\nwater box\n%s\n" % (len(lines), "\n".join(lines)))
    return len(lines)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("bin", nargs="?", default=os.path.join(ROOT, "build", "orbisk"))
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--atoms", type=int, default=10000)
    args = ap.parse_args()
    os.environ["ORBISK_BIN"] = os.path.abspath(args.bin)
    import harness  # reads ORBISK_BIN on import

    with tempfile.TemporaryDirectory(prefix="orbisk-bench-capture-") as d:
        path = os.path.join(d, "water.xyz")
        n = water_box(args.atoms, path)
        png = path + ".png"
        times = []
        with harness.Viewer([path]) as v:
            v.wait_for_log("New molecule: ")
            v.window()
            v.wait_until(lambda: v.screenshot().bounding_box(threshold=40, y0=30) is not None, what="the box")
            for run in range(args.runs):
                before = os.stat(png).st_mtime_ns if os.path.exists(png) else None
                lines = v.stdout().count("Capturing image...")
                v.key("F4")
                v.wait_for_log("Capturing image...\n" * (lines + 1), timeout=60)
                start = time.monotonic()
                while not (os.path.exists(png) and os.stat(png).st_mtime_ns != before):
                    time.sleep(0.002)
                times.append(time.monotonic() - start)
                print("run %d: %.3f s" % (run + 1, times[-1]), flush=True)
                time.sleep(0.5)
        size = os.path.getsize(png)
    print("capture of %d atoms, 5000 x 3000: best %.3f s, median %.3f s, PNG %.1f MB"
          % (n, min(times), statistics.median(times), size / 1e6))


if __name__ == "__main__":
    main()
