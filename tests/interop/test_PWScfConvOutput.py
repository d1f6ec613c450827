#!/usr/bin/python3
"""PWScfConvOutput: the animated XSF file and the initial and final CIF
files of two PWScf runs (a relaxation of alpha quartz, hexagonal ibrav 14
cell; an MD run of silicon in a rhombohedral primitive cell), reusing the
end-to-end inputs, as ASE and gemmi read them.

The cell comes from what ASE reads from the input file (espresso-in). The
output's ATOMIC_POSITIONS blocks and "force =" lines are read by the small
reader below: step k is the k-th Forces block with the k-th ATOMIC_POSITIONS
block printed after it, as the conversion pairs them (so a frame shows the
forces of the geometry before it, see README, Known limitations); the
forces stay in the output's Ry/au. The initial CIF is the geometry of step
0, i.e. the first ATOMIC_POSITIONS block of the output."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interop import (E2E, Structure, check_cif, check_xsf, checks, copy_inputs,  # noqa: E402
                     finish, run_quorvel, start)


def read_output(path, n_atoms):
    """Per step (forces in Ry/au, symbols, fractional positions)."""
    with open(path) as f:
        lines = f.read().split("\n")
    steps, forces = [], None
    for i, line in enumerate(lines):
        if "Forces acting on atoms" in line:
            forces = [[float(v) for v in ln.split("force =")[1].split()[:3]] for ln in lines[i + 2:i + 2 + n_atoms]]
        elif line.startswith("ATOMIC_POSITIONS") and forces is not None:
            rows = [ln.split() for ln in lines[i + 1:i + 1 + n_atoms]]
            steps.append((forces, [r[0] for r in rows], [[float(v) for v in r[1:4]] for r in rows]))
            forces = None
    return steps


def convert(binary, scratch, case, stem, n_last, interval):
    import ase.io
    work = os.path.join(scratch, case)
    os.makedirs(work)
    copy_inputs(os.path.join(E2E, "PWScfConvOutput", case, "in"), work)
    options = ["--nOutputInterval=%d" % interval] + (["--nLastStep=%d" % n_last] if n_last else [])
    run_quorvel(binary, ["--Action=PWScfConvOutput"] + options + [stem + ".out"], work)
    checks.topic = case
    start_atoms = ase.io.read(os.path.join(work, stem + ".inp"), format="espresso-in")
    cellpar, cell = start_atoms.cell.cellpar(), start_atoms.cell[:]
    steps = read_output(os.path.join(work, stem + ".out"), len(start_atoms))
    if n_last:
        steps = steps[:n_last]
    checks.check(len(steps) > 1, "reference reader found %d steps" % len(steps))
    checks.check(all(s[1] == start_atoms.get_chemical_symbols() for s in steps), "species differ from the input's")
    frames = [Structure(cellpar, sym, pos, forces, cell) for forces, sym, pos in steps]
    check_xsf(os.path.join(work, stem + ".xsf"), frames[::interval])
    check_cif(os.path.join(work, stem + "-initial.cif"), frames[0])
    check_cif(os.path.join(work, stem + "-final.cif"), frames[-1])
    checks.topic = ""


def main():
    binary, scratch = start(["ase", "gemmi"])
    convert(binary, scratch, "relax_quartz_every_second_step", "quartz", 0, 1)
    convert(binary, scratch, "md_last_step_and_rdf", "si.md", 3, 2)
    finish(scratch)


main()
