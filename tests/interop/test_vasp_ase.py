#!/usr/bin/env python3
"""Quorvel's VASP conversions checked against ASE reading the same files.

Writes VASP run directories in the layout VASP 5 and VASP 6 print (turned,
non-orthogonal cells; a Direct POSCAR, a Cartesian CONTCAR and a relaxation
OUTCAR), runs VASPMakeXSF and VASPConvCONTCAR on them, and compares the cell
parameters, fractional positions and forces in the XSF and CIF files with what
ase.io.read gives for OUTCAR, POSCAR and CONTCAR, to the precision the files
are printed with. Exit code 77 (skipped) when ASE is not installed.

    test_vasp_ase.py --bin build/release/quorvel [--keep DIR]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

try:
    import numpy as np
    from ase.geometry import cell_to_cellpar
    from ase.io import read
except ImportError:
    print("skipped: python3-ase (and numpy) are not installed")
    sys.exit(77)

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import vasp_reference as ref  # noqa: E402

TESTDB = os.path.join(os.path.dirname(HERE), "e2e", "testdb")
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def parse_xsf(path):
    """Frames of an animated XSF file: (cell rows, numbers, Cartesian, forces)."""
    with open(path) as fh:
        lines = fh.read().split("\n")
    frames = []
    i = 0
    while i < len(lines):
        if lines[i].startswith("PRIMVEC"):
            cell = np.array([[float(x) for x in lines[i + k].split()] for k in (1, 2, 3)])
            i += 4
            continue
        if lines[i].startswith("PRIMCOORD"):
            n = int(lines[i + 1].split()[0])
            rows = [lines[i + 2 + k].split() for k in range(n)]
            frames.append((cell, [int(r[0]) for r in rows], np.array([[float(x) for x in r[1:4]] for r in rows]),
                           np.array([[float(x) for x in r[4:7]] for r in rows])))
            i += 2 + n
            continue
        i += 1
    return frames


def parse_cif(path):
    """Cell parameters and the site rows (type symbol, fractional x, y, z)."""
    with open(path) as fh:
        lines = fh.read().split("\n")
    par = {}
    sites = []
    for line in lines:
        words = line.split()
        if len(words) == 2 and words[0].startswith(("_cell_length_", "_cell_angle_")):
            par[words[0]] = float(words[1])
        if len(words) == 10 and words[9] == "a":
            sites.append((words[1], [float(w) for w in words[4:7]]))
    cellpar = [par["_cell_length_a"], par["_cell_length_b"], par["_cell_length_c"], par["_cell_angle_alpha"],
               par["_cell_angle_beta"], par["_cell_angle_gamma"]]
    return np.array(cellpar), sites


def compare_cellpar(mine, theirs, rel, what):
    ok = np.all(np.abs(np.asarray(mine) - np.asarray(theirs)) <= rel * np.maximum(1.0, np.abs(theirs)))
    check(ok, "%s: cell parameters %s, ASE %s" % (what, np.round(mine, 7), np.round(theirs, 7)))


def write_run(directory, version):
    titles = ["PAW_PBE Ti_sv 26Sep2005", "PAW_PBE O 08Apr2002"]
    frac0 = [[0.0, 0.0, 0.0], [0.5, 0.5, 0.5], [0.3053, 0.3053, 0.0], [0.6947, 0.6947, 0.0],
             [0.8053, 0.1947, 0.5], [0.1947, 0.8053, 0.5]]
    base = [[4.71, 0.0, 0.0], [-0.83, 4.52, 0.0], [0.61, -0.47, 3.08]]
    rng = np.random.RandomState(version)
    turn = ref_rotation(rng.uniform(-60, 60, 3))
    steps = []
    drift = rng.uniform(-0.02, 0.02, (6, 3))
    forces0 = rng.uniform(-2, 2, (6, 3))
    for n in range(7):
        strain = np.eye(3) * (1 - 0.003 * n) + np.array([[0, 0.002, 0], [0, 0, -0.001], [0.001, 0, 0]]) * n
        cell = (np.array(base) @ strain) @ turn.T
        # Atoms wander out of the cell too: fractional coordinates beyond [0, 1).
        frac = np.array(frac0) + drift * n + np.array([[0, 0, 0]] * 5 + [[-1.0, 0.0, 1.0]])
        steps.append((cell, frac @ cell, forces0 * 0.8 ** n))
    os.makedirs(directory)
    files = {
        "POTCAR": ref.potcar_stub(titles),
        "INCAR": "SYSTEM = Check\nIBRION = 2\nISIF = 3\n",
        "POSCAR": ref.poscar_text("TiO2 check", 1.0, steps[0][0], [2, 4], frac0, elements=["Ti", "O"]),
        "CONTCAR": ref.poscar_text("TiO2 check final", 1.0, steps[-1][0], [2, 4], steps[-1][1], elements=["Ti", "O"],
                                   mode="Cartesian", contcar_layout=True, velocities=True),
        "OUTCAR": ref.outcar_text(titles, [2, 4], steps, version),
    }
    for name, text in files.items():
        with open(os.path.join(directory, name), "w") as fh:
            fh.write(text)


def ref_rotation(angles):
    ax, ay, az = np.radians(angles)
    X = np.array([[1, 0, 0], [0, np.cos(ax), -np.sin(ax)], [0, np.sin(ax), np.cos(ax)]])
    Y = np.array([[np.cos(ay), 0, np.sin(ay)], [0, 1, 0], [-np.sin(ay), 0, np.cos(ay)]])
    Z = np.array([[np.cos(az), -np.sin(az), 0], [np.sin(az), np.cos(az), 0], [0, 0, 1]])
    return Z @ Y @ X


def run(binary, cwd, *args):
    proc = subprocess.run([binary, "--DBDir=" + TESTDB] + list(args), cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, env=dict(os.environ, LC_ALL="C"), timeout=300)
    check(proc.returncode == 0 and not proc.stderr, "quorvel %s: exit %d, stderr %r" % (args, proc.returncode,
                                                                                     proc.stderr[:200]))
    return proc.stdout.decode("latin-1")


def check_directory(binary, work, directory, label):
    numbers = ref.atomic_numbers(os.path.join(TESTDB, "nonrel"))
    run(binary, work, "--Action=VASPMakeXSF", directory + "/")
    frames = parse_xsf(os.path.join(directory, "Check.xsf"))
    images = read(os.path.join(directory, "OUTCAR"), index=":")
    check(len(frames) == len(images), "%s: %d XSF frames, ASE reads %d steps" % (label, len(frames), len(images)))
    for n, (frame, atoms) in enumerate(zip(frames, images)):
        cell, z, cart, forces = frame
        what = "%s OUTCAR step %d" % (label, n)
        compare_cellpar(cell_to_cellpar(cell), atoms.cell.cellpar(), 1e-8, what)
        check(z == [numbers[s] for s in atoms.get_chemical_symbols()], what + ": atomic numbers")
        frac = np.linalg.solve(cell.T, cart.T).T
        diff = np.abs(frac - atoms.get_scaled_positions(wrap=False)).max()
        check(diff < 2e-7, "%s: fractional positions differ by %g" % (what, diff))
        diff = np.abs(forces - atoms.get_forces(apply_constraint=False)).max()
        check(diff < 1e-7, "%s: forces differ by %g" % (what, diff))

    run(binary, work, "--Action=VASPConvCONTCAR", directory + "/")
    for name, cif in (("POSCAR", "TiO2-initial.cif"), ("CONTCAR", "TiO2-final.cif")):
        what = "%s %s" % (label, name)
        atoms = read(os.path.join(directory, name), format="vasp")
        cellpar, sites = parse_cif(os.path.join(directory, cif))
        # %lg keeps six significant digits.
        compare_cellpar(cellpar, atoms.cell.cellpar(), 6e-6, what)
        check([s for s, _ in sites] == atoms.get_chemical_symbols(), what + ": type symbols")
        theirs = atoms.get_scaled_positions(wrap=False)
        delta = np.array([p for _, p in sites]) - theirs
        delta -= np.round(delta)  # the CIF folds coordinates into the cell
        check(np.abs(delta).max() < 6e-7, "%s: fractional positions differ by %g" % (what, np.abs(delta).max()))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    ap.add_argument("--keep", help="write the run directories here and keep them")
    opts = ap.parse_args()
    binary = os.path.abspath(opts.bin)
    work = opts.keep or tempfile.mkdtemp(prefix="quorvel-ase-")
    try:
        for version in (5, 6):
            directory = os.path.join(work, "vasp%d" % version)
            shutil.rmtree(directory, ignore_errors=True)
            write_run(directory, version)
            check_directory(binary, work, directory, "VASP %d" % version)
    finally:
        if not opts.keep:
            shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL " + f)
    if failures:
        return 1
    print("ok: XSF and CIF agree with ASE for VASP 5 and VASP 6 layouts")
    return 0


if __name__ == "__main__":
    sys.exit(main())
