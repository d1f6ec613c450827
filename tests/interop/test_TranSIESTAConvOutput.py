#!/usr/bin/python3
"""TranSIESTAConvOutput: the animated XSF file and the initial and final CIF
files of three TranSIESTA-C runs, reusing the end-to-end inputs (bulk silicon
in the forces-table dialect, a gold-benzenedithiol-gold two-probe system whose
forces table lists only the central atoms, and GaN in the coordinate-update
dialect with a cell turned against the a-along-x orientation), as ASE and
gemmi read them.

ASE has no reader for these logs, so the reference is the small reader below,
which follows the log's layout: the cell is the Bulk::UnitCell block times
UnitCell::LatticeConstant, positions are Cartesian Angstrom (converted with
the cell as the log gives it), forces eV/A; electrode atoms missing from a
two-probe forces table keep their starting place with no force.

Known disagreement: a force line of the coordinate-update dialect without
"Force:" (a constrained atom) gives that atom no force in the XSF file;
reported for a decision."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interop import (E2E, Structure, check_cif, check_xsf, checks, copy_inputs,  # noqa: E402
                     finish, run_quorvel, start)


def read_log(path):
    """(cell rows in A, symbols, starting Cartesian positions, steps), each
    step a pair (Cartesian positions, forces) of all atoms."""
    import numpy as np
    with open(path) as f:
        lines = f.read().split("\n")
    i = next(k for k, ln in enumerate(lines) if "UnitCell::LatticeConstant" in ln)
    scale = float(lines[i].split()[1])
    cell = np.array([[float(v) for v in lines[i + 2 + k].split()[:3]] for k in range(3)]) * scale
    i = next(k for k, ln in enumerate(lines) if "%block" in ln and ("FullAtomList" in ln or "Bulk::AtomList" in ln))
    symbols, start_pos = [], []
    for ln in lines[i + 1:]:
        if "%endblock" in ln:
            break
        w = ln.split()
        if not w or w[0].startswith("#"):
            continue
        if w[0].isdigit():
            w = w[1:]
        symbols.append(w[0])
        start_pos.append([float(v) for v in w[1:4]])
    n = len(symbols)
    start_pos = np.array(start_pos)
    steps = []
    for i, ln in enumerate(lines):
        if "#   Forces     in eV/Ang" in ln:
            rows = []
            for row in lines[i + 4:]:
                if row.startswith("#") or not row.strip():
                    break
                rows.append([float(v) for v in row.split()[:9]])
            half = (n - len(rows)) // 2
            pos, forces = start_pos.copy(), np.zeros((n, 3))
            for k, r in enumerate(rows):
                pos[half + k] = r[0:3]
                forces[half + k] = r[6:9]
            steps.append((pos, forces))
        elif "NumOrb: Forces" in ln:
            # Force lines name their atom ("Force:     3 ..."), or not, when
            # the atom is constrained ("        3 ...").
            forces = np.array([[float(v) for v in lines[i + 2 + k].replace("Force:", "").split()[1:4]]
                               for k in range(n)])
            j = next(k for k in range(i, len(lines)) if "Updating coords" in lines[k])
            pos = np.array([[float(v) for v in lines[j + 3 + k].split()[3:6]] for k in range(n)])
            steps.append((pos, forces))
    return cell, symbols, start_pos, steps


def convert(binary, scratch, case, log, n_last, interval, known_frames=None):
    import numpy as np
    from ase.geometry import cell_to_cellpar
    work = os.path.join(scratch, case)
    os.makedirs(work)
    copy_inputs(os.path.join(E2E, "TranSIESTAConvOutput", case, "in"), work)
    options = ["--nOutputInterval=%d" % interval] + (["--nLastStep=%d" % n_last] if n_last else [])
    run_quorvel(binary, ["--Action=TranSIESTAConvOutput"] + options + [log], work)
    checks.topic = case
    cell, symbols, start_pos, steps = read_log(os.path.join(work, log))
    if n_last:
        steps = steps[:n_last]
    checks.check(len(steps) > 1, "reference reader found %d steps" % len(steps))
    cellpar = cell_to_cellpar(cell)
    inverse = np.linalg.inv(cell)

    def structure(pos, forces=None):
        return Structure(cellpar, symbols, pos @ inverse, forces, cell)

    stem = os.path.join(work, os.path.splitext(log)[0])
    frames = [structure(pos, forces) for pos, forces in steps]
    check_xsf(stem + ".xsf", frames[::interval],
              forces_known="forces not turned with the cell, reported", known_frames=known_frames)
    check_cif(stem + "-initial.cif", structure(start_pos))
    check_cif(stem + "-final.cif", frames[-1])
    checks.topic = ""


def main():
    binary, scratch = start(["ase", "gemmi"])
    convert(binary, scratch, "bulk_forces_table", "si8.out", 0, 2)
    convert(binary, scratch, "two_probe_forces_table", "aubdt.out", 0, 1)
    # Step 0 gives atom 3's force on a line without "Force:" (a constrained
    # atom); the conversion takes no force from it (reported).
    convert(binary, scratch, "coordinate_update_rotated_cell", "run.log", 0, 1,
            known_frames={1: "force line without 'Force:' read as no force, reported"})
    finish(scratch)


main()
