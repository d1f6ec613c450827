#!/usr/bin/python3
"""VASPConvCONTCAR: the initial and final CIF files of a wurtzite ZnO
relaxation as ASE and gemmi read them, against what ASE reads from the run's
POSCAR (Cartesian positions in VASP's hexagonal orientation) and CONTCAR
(direct positions with selective dynamics, a slightly sheared cell)."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interop import INPUTS, Structure, check_cif, copy_inputs, finish, run_quorvel, start  # noqa: E402


def main():
    binary, scratch = start(["ase", "gemmi"])
    import ase.io
    run = os.path.join(scratch, "run")
    os.makedirs(run)
    copy_inputs(os.path.join(INPUTS, "VASP", "run"), run)
    run_quorvel(binary, ["--Action=VASPConvCONTCAR", "run/"], scratch)
    # The output name is the POSCAR title up to its first blank.
    initial = Structure.from_atoms(ase.io.read(os.path.join(run, "POSCAR"), format="vasp"))
    final = Structure.from_atoms(ase.io.read(os.path.join(run, "CONTCAR"), format="vasp"))
    check_cif(os.path.join(run, "Zn2O2-initial.cif"), initial)
    check_cif(os.path.join(run, "Zn2O2-final.cif"), final)
    finish(scratch)


main()
