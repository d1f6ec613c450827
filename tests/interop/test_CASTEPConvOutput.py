#!/usr/bin/python3
"""CASTEPConvOutput: the animated XSF file, the initial and final CIF files
and the .car file of a CASTEP NPT run of wurtzite ZnO (CASTEP 16.1 layout:
starting cell and atoms, then per MD step a Forces block followed by the next
step's cell and atoms) as ASE, gemmi and Open Babel read them.

ASE reads only the last structure of a .castep file, so the reference is the
small reader below, which follows CASTEP's layout: the "Lattice parameters(A)"
lines, the "Fractional coordinates of atoms" table and the "Forces" table.

Quorvel pairs each Forces block with the cell and atoms printed after it, so
frame k shows structure k (counting the starting one as 0) with the forces of
structure k - 1 (see README, Known limitations), which is what is checked."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interop import (INPUTS, Structure, check_car, check_cif, check_xsf, checks, copy_inputs,  # noqa: E402
                     finish, run_quorvel, start)


def read_castep(path):
    """Structures (cell parameters, symbols, fractional positions) and force
    tables in file order."""
    with open(path) as f:
        lines = f.read().split("\n")
    structures, forces, cellpar = [], [], None
    i = 0
    while i < len(lines):
        line = lines[i]
        if "Lattice parameters(A)" in line:
            cellpar = [0.0] * 6
            for k in range(3):
                w = lines[i + 1 + k].replace("=", " ").split()
                cellpar[k], cellpar[3 + k] = float(w[1]), float(w[3])
            i += 4
            continue
        if "Fractional coordinates of atoms" in line:
            symbols, fract = [], []
            i += 3
            while lines[i].split()[1:2] and not lines[i].strip().startswith("xxxx"):
                w = lines[i].split()
                symbols.append(w[1])
                fract.append([float(v) for v in w[3:6]])
                i += 1
            structures.append(Structure(cellpar, symbols, fract))
            continue
        if " Forces " in line and line.strip().startswith("***"):
            i += 6
            rows = []
            while lines[i].split()[1:2] and lines[i].split()[1][0].isalpha():
                rows.append([float(v) for v in lines[i].split()[3:6]])
                i += 1
            forces.append(rows)
            continue
        i += 1
    return structures, forces


def main():
    binary, scratch = start(["ase", "gemmi", "obabel"])
    from ase.geometry import cellpar_to_cell
    copy_inputs(os.path.join(INPUTS, "CASTEP"), scratch)
    run_quorvel(binary, ["--Action=CASTEPConvOutput", "ZnO-md.castep"], scratch)
    structures, forces = read_castep(os.path.join(scratch, "ZnO-md.castep"))
    checks.check(len(structures) == 3 and len(forces) == 3, "reference reader: %d structures, %d force tables"
                 % (len(structures), len(forces)))

    # Frame k: structure k with the forces printed before it (those of
    # structure k - 1).
    frames = []
    for k in range(1, len(structures)):
        s = structures[k]
        frames.append(Structure(s.cellpar, s.symbols, s.fract, forces[k - 1], cellpar_to_cell(s.cellpar)))
    check_xsf(os.path.join(scratch, "ZnO-md.xsf"), frames)

    check_cif(os.path.join(scratch, "ZnO-md-initial.cif"), structures[0])
    check_cif(os.path.join(scratch, "ZnO-md-final.cif"), structures[-1])
    check_car(os.path.join(scratch, "ZnO-md.car.new"), structures[-1])
    finish(scratch)


main()
