#!/usr/bin/env python3
"""Compares what ORBISK reads from the real outputs in the shared corpus with
cclib's reading of the same files (cclib-reference.jsonl): number of
structures, the last structure's atoms (element and position within 1e-4 A;
"frame" when only the orientation differs), the normal modes (frequencies
within 0.01 cm-1, displacements parallel: |cos| > 0.999)
and the SCF energies (within 1e-6 hartree, in order).

Differences that are understood are listed in cclib_exceptions.tsv beside
this script, with the reason (a folder ending in "/" covers its files); any
other difference fails. Without the corpus
the check says so and passes. Usage: check_cclib.py [PATH_PREFIX...]"""
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
BIN = os.environ.get("ORBISK_BIN", os.path.join(HERE, "../../build/orbisk"))
CORPUS = os.environ.get("ORBISK_CORPUS_DIR", os.path.join(HERE, "../../../shared/corpus"))
SYMBOLS = ("X H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn Ga Ge As Se Br Kr "
           "Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe Cs Ba La Ce Pr Nd Pm Sm Eu Gd Tb Dy Ho Er Tm Yb Lu "
           "Hf Ta W Re Os Ir Pt Au Hg Tl Pb Bi Po At Rn Fr Ra Ac Th Pa U Np Pu Am Cm Bk Cf Es Fm Md No Lr "
           "Rf Db Sg Bh Hs Mt Ds Rg Cn Nh Fl Mc Lv Ts Og").split()


def exceptions():
    known = {}
    with open(os.path.join(HERE, "cclib_exceptions.tsv")) as table:
        for line in table:
            if line.strip() and not line.startswith("#"):
                path, check, _reason = line.rstrip("\n").split("\t", 2)
                known[(path, check)] = True
    return known


def export(path, fmt):
    run = subprocess.run([BIN, "--export", fmt, path], capture_output=True, text=True, timeout=120)
    return run.stdout


def last_xyz_frame(text):
    lines = text.splitlines()
    frames, i = [], 0
    while i < len(lines) and lines[i].strip():
        n = int(lines[i])
        frames.append([ln.split()[:4] for ln in lines[i + 2:i + 2 + n]])
        i += n + 2
    return frames[-1] if frames else []


def frame_rotation(mine, theirs):
    """The rotation that turns cclib's geometry into ours (the same structure in another frame), from three
    well-spread atoms: an orthonormal frame built on them in each geometry."""
    def centred(xs):
        c = [sum(p[k] for p in xs) / len(xs) for k in range(3)]
        return [[p[k] - c[k] for k in range(3)] for p in xs]
    a, b = centred(mine), centred(theirs)
    norm = lambda v: sum(x * x for x in v) ** 0.5
    cross = lambda u, v: [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
    i = max(range(len(a)), key=lambda k: norm(a[k]))
    j = max(range(len(a)), key=lambda k: norm(cross(a[i], a[k])))
    def basis(xs):
        e1 = [x / norm(xs[i]) for x in xs[i]]
        e3 = cross(xs[i], xs[j])
        e3 = [x / norm(e3) for x in e3]
        return [e1, cross(e3, e1), e3]
    fa, fb = basis(a), basis(b)
    # R = Fa^T Fb: a vector's components in cclib's basis, put back in ours.
    return [[sum(fa[k][r] * fb[k][c] for k in range(3)) for c in range(3)] for r in range(3)]


def compare_modes(path, entry, rotation=None):
    """Frequencies within 0.01 cm-1; the displacements of the first, middle and last mode parallel to cclib's."""
    theirs = entry.get("vibfreqs") or []
    ours = [float(ln.split("\t")[1]) for ln in export(path, "modes").splitlines()[1:]]
    if len(ours) != len(theirs) or any(abs(a - b) > 0.01 for a, b in zip(ours, theirs)):
        return [("modes", f"{len(ours)} modes, cclib {len(theirs)}; first {ours[:1]} vs {theirs[:1]}")]
    vectors = entry.get("vibdisps") or []
    for n in sorted({1, (len(ours) + 1) // 2, len(ours)} if ours and vectors else []):
        run = subprocess.run([BIN, "--export", "xyz", "--mode", str(n), path], capture_output=True, text=True,
                             timeout=120).stdout.splitlines()
        atoms = int(run[0])
        rest = [[float(v) for v in ln.split()[1:4]] for ln in run[2:2 + atoms]]
        peak = [[float(v) for v in ln.split()[1:4]] for ln in run[5 * (atoms + 2) + 2:5 * (atoms + 2) + 2 + atoms]]
        mine = [p[k] - r[k] for p, r in zip(peak, rest) for k in range(3)]  # a quarter period on: the full swing
        turn = rotation or [[1, 0, 0], [0, 1, 0], [0, 0, 1]]
        their = [sum(turn[r][c] * atom[c] for c in range(3)) for atom in vectors[n - 1] for r in range(3)]
        dot = sum(a * b for a, b in zip(mine, their))
        norm = (sum(a * a for a in mine) * sum(b * b for b in their)) ** 0.5
        if len(mine) != len(their) or norm == 0 or abs(dot) / norm < 0.999:
            return [("modes", f"mode {n}: displacement not parallel to cclib's")]
    return []


def compare(entry):
    """The checks that fail for this file: (check, detail) pairs."""
    path = os.path.join(CORPUS, entry["file"])
    table = [ln.split("\t") for ln in export(path, "table").splitlines()[1:]]
    failures, rotation = [], None
    geometries = entry.get("geometries") or []
    if len(table) != len(geometries):
        failures.append(("structures", f"{len(table)} structures, cclib {len(geometries)}"))
    if geometries:
        ours = last_xyz_frame(export(path, "xyz"))
        theirs = geometries[-1]
        symbols = [SYMBOLS[z] if z < len(SYMBOLS) else "?" for z in entry["atomnos"]]
        elements = len(ours) == len(theirs) and all(a[0] == s for a, s in zip(ours, symbols))
        mine = [[float(v) for v in a[1:4]] for a in ours]
        if not elements:
            failures.append(("geometry", f"last structure differs ({len(ours)} atoms, cclib {len(theirs)})"))
        elif any(abs(p[k] - q[k]) > 1e-4 for p, q in zip(mine, theirs) for k in range(3)):
            # The same structure in another frame keeps every interatomic distance.
            dist = lambda xs, i, j: sum((xs[i][k] - xs[j][k]) ** 2 for k in range(3)) ** 0.5
            n = len(mine)
            moved = all(abs(dist(mine, i, j) - dist(theirs, i, j)) <= 2e-4 for i in range(n) for j in range(i))
            failures.append(("frame" if moved else "geometry", "last structure in another frame" if moved
                             else "last structure differs"))
            rotation = frame_rotation(mine, theirs) if moved and len(mine) >= 3 else None
    failures += compare_modes(path, entry, rotation)
    ours_scf = [float(row[3]) for row in table if len(row) > 3 and row[3]]
    theirs_scf = entry.get("scf_hartree") or []
    if len(ours_scf) != len(theirs_scf) or any(abs(a - b) > 1e-6 for a, b in zip(ours_scf, theirs_scf)):
        failures.append(("scf", f"{len(ours_scf)} SCF energies, cclib {len(theirs_scf)}; "
                                f"last {ours_scf[-1:]} vs {theirs_scf[-1:]}"))
    return failures


def main():
    reference = os.path.join(CORPUS, "cclib-reference.jsonl")
    if not os.path.exists(reference):
        print(f"no corpus at {CORPUS}: check skipped")
        return 0
    prefixes = sys.argv[1:]
    known = exceptions()
    unexpected, checked = 0, 0
    with open(reference) as lines:
        for line in lines:
            entry = json.loads(line)
            if entry["file"].startswith("bad/") or (prefixes and not entry["file"].startswith(tuple(prefixes))):
                continue
            checked += 1
            for check, detail in compare(entry):
                # An entry for a folder (ending in "/") covers every file in it.
                folders = [entry["file"][:i + 1] for i, c in enumerate(entry["file"]) if c == "/"]
                if any((path, check) in known for path in [entry["file"]] + folders):
                    continue
                unexpected += 1
                print(f"{entry['file']}: {check}: {detail}")
    print(f"{checked} files compared with cclib, {unexpected} unexplained differences")
    return 1 if unexpected else 0


if __name__ == "__main__":
    sys.exit(main())
