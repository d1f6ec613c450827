#!/usr/bin/python3
"""WIENMakeCIFFromStruct: the CIF of a rutile structure file (lengths in
bohr, atoms of multiplicity 2 and 4, sixteen operations with their index
lines, as WIEN2k writes it) as ASE and gemmi read it. The CIF carries the
first position of each inequivalent atom and the file's operations; expanded
by gemmi and by ASE they must give the six atoms ASE reads from the
structure file.

Cell lengths: Quorvel converts bohr with 0.529 A, ASE with 0.52917721 A (see
README, Known limitations), so the expected lengths are ASE's scaled by
0.529 / 0.52917721.

ASE's CIF reading refuses the file (space-group number 0, see README, Known
limitations); its CIF parser and operation parser are checked instead."""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interop import INPUTS, Structure, check_cif, copy_inputs, finish, run_quorvel, start  # noqa: E402


def first_positions(path):
    """Element and first position of each inequivalent atom."""
    symbols, fract = [], []
    with open(path) as f:
        lines = f.readlines()
    for i, line in enumerate(lines):
        if line.startswith("ATOM"):
            fract.append([float(v) for v in re.findall(r"[XYZ]=\s*([-0-9.]+)", line)])
            j = i + 1
            while "Z:" not in lines[j]:
                j += 1
            symbols.append(lines[j].split()[0])
    return symbols, fract


def main():
    binary, scratch = start(["ase", "gemmi"])
    import ase.io
    from ase.units import Bohr
    copy_inputs(os.path.join(INPUTS, "WIEN2k"), scratch)
    struct = os.path.join(scratch, "TiO2.struct")
    run_quorvel(binary, ["--Action=WIENMakeCIFFromStruct", "TiO2.struct"], scratch)
    cell = Structure.from_atoms(ase.io.read(struct, format="struct"))
    cell.cellpar = [v * 0.529 / Bohr for v in cell.cellpar[:3]] + cell.cellpar[3:]
    symbols, fract = first_positions(struct)
    check_cif(os.path.join(scratch, "TiO2.cif"), cell, asym=Structure(cell.cellpar, symbols, fract), in_order=False,
              ase_reads_file=False)
    finish(scratch)


main()
