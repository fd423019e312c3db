#!/usr/bin/env python3
"""Rotates an XYZ file into ORBISK's --orient view, so that every program's
default view (down the z axis, x to the right, y up) shows the same picture.

The view looks along the smallest principal axis of the atom positions (about
their centre) with the largest one horizontal. Axis signs are chosen the way
that reproduced ORBISK's --orient pictures here; the frame stays right-handed.

Usage: orient_xyz.py IN.xyz > OUT.xyz   (the first frame only)
"""
import math
import sys


def jacobi(a):
    """Eigenvalues and eigenvectors (columns) of a symmetric 3x3 matrix."""
    a = [row[:] for row in a]
    v = [[float(i == j) for j in range(3)] for i in range(3)]
    for _ in range(50):
        off = sum(a[i][j] ** 2 for i in range(3) for j in range(3) if i != j)
        if off < 1e-24:
            break
        for p, q in ((0, 1), (0, 2), (1, 2)):
            if abs(a[p][q]) < 1e-30:
                continue
            theta = (a[q][q] - a[p][p]) / (2 * a[p][q])
            t = math.copysign(1.0, theta) / (abs(theta) + math.sqrt(theta * theta + 1))
            c = 1 / math.sqrt(t * t + 1)
            s = t * c
            for k in range(3):  # a <- a J
                akp, akq = a[k][p], a[k][q]
                a[k][p], a[k][q] = c * akp - s * akq, s * akp + c * akq
            for k in range(3):  # a <- J^T a
                apk, aqk = a[p][k], a[q][k]
                a[p][k], a[q][k] = c * apk - s * aqk, s * apk + c * aqk
            for k in range(3):
                vkp, vkq = v[k][p], v[k][q]
                v[k][p], v[k][q] = c * vkp - s * vkq, s * vkp + c * vkq
    return [a[i][i] for i in range(3)], [[v[k][i] for k in range(3)] for i in range(3)]


def main():
    lines = open(sys.argv[1]).read().splitlines()
    n = int(lines[0].split()[0])
    atoms = [(w[0], [float(x) for x in w[1:4]]) for w in (l.split() for l in lines[2 : 2 + n])]
    centre = [sum(p[c] for _, p in atoms) / n for c in range(3)]
    rel = [[p[c] - centre[c] for c in range(3)] for _, p in atoms]
    cov = [[sum(r[i] * r[j] for r in rel) / n for j in range(3)] for i in range(3)]
    values, vectors = jacobi(cov)
    order = sorted(range(3), key=lambda i: -values[i])
    x, y = vectors[order[0]], vectors[order[1]]
    # Deterministic signs: x towards its largest component, y away from its own.
    x = [c * math.copysign(1, max(x, key=abs)) for c in x]
    y = [-c * math.copysign(1, max(y, key=abs)) for c in y]
    z = [x[1] * y[2] - x[2] * y[1], x[2] * y[0] - x[0] * y[2], x[0] * y[1] - x[1] * y[0]]
    out = [str(n), lines[1] + " (rotated into ORBISK's --orient view)"]
    for (name, _), r in zip(atoms, rel):
        u = [sum(a * b for a, b in zip(axis, r)) for axis in (x, y, z)]
        out.append(f"{name:2s} {u[0]:11.6f} {u[1]:11.6f} {u[2]:11.6f}")
    print("\n".join(out))


if __name__ == "__main__":
    main()
