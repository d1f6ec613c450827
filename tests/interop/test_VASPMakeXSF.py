#!/usr/bin/python3
"""VASPMakeXSF: the animated XSF file of a wurtzite ZnO relaxation as ASE
reads it, against the ionic steps ASE reads from OUTCAR: cell, atomic numbers,
positions and forces of every frame. The run's cell is in VASP's hexagonal
orientation (a1 at -60 degrees from x) and its last steps shear it slightly,
so positions and forces must be carried into the file's orientation.

Known disagreement: the forces are written as OUTCAR gives them, in VASP's
orientation, while the XSF cell is turned to a along x; reported for a
decision (rotate the forces with the cell)."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interop import INPUTS, Structure, check_xsf, copy_inputs, finish, run_quorvel, start  # noqa: E402


def main():
    binary, scratch = start(["ase"])
    import ase.io
    run = os.path.join(scratch, "run")
    os.makedirs(run)
    copy_inputs(os.path.join(INPUTS, "VASP", "run"), run)
    steps = ase.io.read(os.path.join(run, "OUTCAR"), index=":", format="vasp-out")
    expected = [Structure.from_atoms(a, with_forces=True) for a in steps]

    known = "forces not turned with the cell, reported"
    # Every step, then every second one (steps 0 and 2).
    run_quorvel(binary, ["--Action=VASPMakeXSF", "run/"], scratch)
    check_xsf(os.path.join(run, "ZnO.xsf"), expected, forces_known=known)   # SYSTEM = ZnO wurtzite relax
    run_quorvel(binary, ["--Action=VASPMakeXSF", "--nOutputInterval=2", "run/"], scratch)
    check_xsf(os.path.join(run, "ZnO.xsf"), expected[::2], forces_known=known)
    finish(scratch)


main()
