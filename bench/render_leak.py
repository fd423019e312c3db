#!/usr/bin/env python3
"""orbisk --render in a loop: the peak resident size of every run, which must
stay flat (nothing accumulates between runs: no growing cache, no temporary
files left beside the picture). The runs cycle through the examples and the
four styles, with no display. Prints one line per run, then the spread of the
peaks; exits 1 when a run fails, a file is left behind, or the last ten runs
peak more than 5% above the first ten.

usage: bench/render_leak.py [ORBISK_BIN] [--runs N] [--size WxH]
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLES = ["benzene.xyz", "ethanol.mol", "water-vibration.trj"]
STYLES = ["wireframe", "ballstick", "sticks", "spacefill"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bin", nargs="?", default=os.path.join(ROOT, "build", "orbisk"))
    parser.add_argument("--runs", type=int, default=100)
    parser.add_argument("--size", default="1600x1200")
    args = parser.parse_args()
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    peaks = []
    with tempfile.TemporaryDirectory(prefix="orbisk-render-") as out:
        picture = os.path.join(out, "picture.png")
        for run in range(args.runs):
            example, style = EXAMPLES[run % len(EXAMPLES)], STYLES[run % len(STYLES)]
            start = time.monotonic()
            p = subprocess.Popen([args.bin, "--render", picture, "--size", args.size, "--style", style,
                                  os.path.join(ROOT, "examples", example)],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
            _, status, usage = os.wait4(p.pid, 0)
            err = p.stderr.read().decode(errors="replace").strip()
            p.stderr.close()
            if os.waitstatus_to_exitcode(status) != 0:
                sys.exit("run %d failed: %s" % (run + 1, err))
            peaks.append(usage.ru_maxrss / 1024)
            print("%3d  %-20s %-9s  peak %7.1f MiB  %5.2f s" % (run + 1, example, style, peaks[-1],
                                                               time.monotonic() - start), flush=True)
        left = sorted(set(os.listdir(out)) - {"picture.png"})
    first, last = statistics.median(peaks[:10]), statistics.median(peaks[-10:])
    print("peak RSS: min %.1f, median %.1f, max %.1f MiB; median of the first ten %.1f, of the last ten %.1f (%+.1f%%)"
          % (min(peaks), statistics.median(peaks), max(peaks), first, last, 100 * (last - first) / first))
    if left:
        sys.exit("files left beside the picture: %s" % ", ".join(left))
    if last > first * 1.05:
        sys.exit("the peak grows from run to run")


if __name__ == "__main__":
    main()
