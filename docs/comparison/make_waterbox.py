#!/usr/bin/env python3
"""Writes a box of N x N x N water molecules as XYZ on standard output.

Oxygens sit on a cubic lattice (3.1 A, close to liquid water's density) moved
by a small random jitter; each molecule gets a uniformly random orientation.
A placement that would bring an atom closer than MIN_CONTACT (two oxygens:
MIN_OO) to an atom of an already placed neighbour is drawn again, so no
program bonds two waters together. The seed is fixed: the same box comes out every time.

Usage: make_waterbox.py [N] > waters.xyz   (N = 10 gives 1,000 waters)
"""
import math
import random
import sys

SPACING = 3.1  # A between lattice points
JITTER = 0.25  # A, standard deviation of each oxygen's displacement
OH = 0.9572  # A, O-H bond of the TIP3P-like geometry
HOH = math.radians(104.52)
MIN_CONTACT = 1.6  # A, closest approach of a hydrogen to another molecule
MIN_OO = 2.5  # A, closest approach of two oxygens


def random_rotation(rng):
    # Uniform random unit quaternion (Shoemake), as a 3x3 matrix.
    u1, u2, u3 = rng.random(), rng.random(), rng.random()
    a, b = math.sqrt(1 - u1), math.sqrt(u1)
    w, x = a * math.sin(2 * math.pi * u2), a * math.cos(2 * math.pi * u2)
    y, z = b * math.sin(2 * math.pi * u3), b * math.cos(2 * math.pi * u3)
    return [
        [1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)],
        [2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)],
        [2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)],
    ]


def apply(m, v):
    return [sum(m[i][k] * v[k] for k in range(3)) for i in range(3)]


# Hydrogens relative to the oxygen, in the molecule's own frame.
LOCAL_H = [
    [OH * math.sin(HOH / 2), OH * math.cos(HOH / 2), 0.0],
    [-OH * math.sin(HOH / 2), OH * math.cos(HOH / 2), 0.0],
]


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    rng = random.Random(20240611)
    placed = {}  # lattice index -> [O, H, H]
    for i in range(n):
        for j in range(n):
            for k in range(n):
                near = [
                    (a, e)
                    for di in (-1, 0, 1)
                    for dj in (-1, 0, 1)
                    for dk in (-1, 0, 1)
                    for a, e in zip(placed.get((i + di, j + dj, k + dk), []), "OHH")
                ]
                for _ in range(10000):
                    o = [SPACING * c + rng.gauss(0.0, JITTER) for c in (i, j, k)]
                    rot = random_rotation(rng)
                    hs = [[o[c] + d for c, d in enumerate(apply(rot, h))] for h in LOCAL_H]
                    new = [(o, "O")] + [(h, "H") for h in hs]
                    if all(
                        math.dist(a, b) >= (MIN_OO if e + f == "OO" else MIN_CONTACT)
                        for a, e in new
                        for b, f in near
                    ):
                        break
                else:
                    sys.exit(f"no room for the water at {i} {j} {k}")
                placed[(i, j, k)] = [o] + hs
    out = [str(3 * len(placed)), f"{len(placed)} water molecules, {SPACING} A jittered lattice"]
    for atoms in placed.values():
        for name, xyz in zip(("O", "H", "H"), atoms):
            out.append(f"{name} {xyz[0]:10.5f} {xyz[1]:10.5f} {xyz[2]:10.5f}")
    print("\n".join(out))


if __name__ == "__main__":
    main()
