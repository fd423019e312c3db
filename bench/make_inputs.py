#!/usr/bin/env python3
"""Writes the benchmark inputs: a water box and molecular trajectories in XYZ.

usage: make_inputs.py DIR [--huge]
  DIR/waterbox-100k.xyz      100,002 atoms of liquid water (one frame)
  DIR/traj-10k.trj           10,000 frames of a 30-atom molecule
  DIR/traj-100k.trj          100,000 frames of the same molecule
  DIR/traj-1g.trj            (--huge) 10,000,000 atom lines, about 1 GB
"""
import math
import os
import random
import sys


def water_box(n_molecules, rng):
    # Liquid density: 0.0334 molecules per cubic angstrom, on a jittered lattice.
    side = (n_molecules / 0.0334) ** (1.0 / 3.0)
    per_edge = math.ceil(n_molecules ** (1.0 / 3.0))
    step = side / per_edge
    half = math.radians(104.5) / 2
    lines = []
    count = 0
    for i in range(per_edge):
        for j in range(per_edge):
            for k in range(per_edge):
                if count == n_molecules:
                    break
                ox, oy, oz = (i + 0.5) * step, (j + 0.5) * step, (k + 0.5) * step
                # Random orientation from a random unit axis pair.
                a = [rng.gauss(0, 1) for _ in range(3)]
                na = math.sqrt(sum(c * c for c in a)) or 1.0
                a = [c / na for c in a]
                b = [rng.gauss(0, 1) for _ in range(3)]
                d = sum(x * y for x, y in zip(a, b))
                b = [y - d * x for x, y in zip(a, b)]
                nb = math.sqrt(sum(c * c for c in b)) or 1.0
                b = [c / nb for c in b]
                lines.append(f"O {ox:12.6f} {oy:12.6f} {oz:12.6f}")
                for sign in (1, -1):
                    v = [0.96 * (math.cos(half) * x + sign * math.sin(half) * y) for x, y in zip(a, b)]
                    lines.append(f"H {ox + v[0]:12.6f} {oy + v[1]:12.6f} {oz + v[2]:12.6f}")
                count += 1
    return lines


def molecule30(rng):
    # A hexane-like chain with hydrogens: 10 carbons, 20 hydrogens.
    atoms = []
    for c in range(10):
        x, y = 1.26 * c, 0.42 * (c % 2)
        atoms.append(("C", x, y, 0.0))
        atoms.append(("H", x, y + (1.09 if c % 2 else -1.09), 0.0))
        atoms.append(("H", x, y, 1.09))
    return atoms[:30]


def write_trajectory(path, frames, rng):
    base = molecule30(rng)
    with open(path, "w") as f:
        for k in range(frames):
            f.write(f"{len(base)}\nframe {k + 1}\n")
            for sym, x, y, z in base:
                f.write(f"{sym} {x + rng.uniform(-0.02, 0.02):.6f} {y + rng.uniform(-0.02, 0.02):.6f} "
                        f"{z + rng.uniform(-0.02, 0.02):.6f}\n")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    rng = random.Random(7)
    lines = water_box(33334, rng)
    with open(os.path.join(out, "waterbox-100k.xyz"), "w") as f:
        f.write(f"{len(lines)}\nwater box\n" + "\n".join(lines) + "\n")
    write_trajectory(os.path.join(out, "traj-10k.trj"), 10000, rng)
    write_trajectory(os.path.join(out, "traj-100k.trj"), 100000, rng)
    if "--huge" in sys.argv:
        # 10,000,000 atom lines: repeat a pre-rendered frame to keep this quick.
        frame_lines = []
        for sym, x, y, z in molecule30(rng):
            frame_lines.append(f"{sym} {x:20.12f} {y:20.12f} {z:20.12f}   0.000000000000 0.000000000000\n")
        block = "30\nframe\n" + "".join(frame_lines)
        with open(os.path.join(out, "traj-1g.trj"), "w") as f:
            for _ in range(10_000_000 // 30):
                f.write(block)


if __name__ == "__main__":
    main()
