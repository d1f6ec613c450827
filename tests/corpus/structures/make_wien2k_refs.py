#!/usr/bin/env python3
"""Refs for the WIEN2k structure files of wien2k/: ASE 3.22.1's reading
(ase.io.read(path, format='struct')) expanded to the conventional cell.

ASE keeps a centred lattice's primitive cell and the atoms the file lists; the
conventional cell is c2p^-1 times that cell, the positions in it are the
primitive fractional ones times c2p, and the centring translations add the
other copies. Two places where ASE does not follow WIEN2k are set right here
and noted in the ref: ASE takes the cell line as bohr also when the mode line
says unit=ang, and for an R lattice it builds the cell from the line's angles
where WIEN2k takes the hexagonal a and c alone (angles 90, 90, 120).

    /usr/bin/python3 tests/corpus/structures/make_wien2k_refs.py
"""
import json
import pathlib

import ase
import ase.io
import numpy as np
from ase.io.wien2k import c2p
from ase.units import Bohr

HERE = pathlib.Path(__file__).resolve().parent
ASE_LATTICE = {"P": "P", "H": "P", "F": "F", "B": "I", "CXY": "C", "CXZ": "B", "CYZ": "A", "R": "R"}
CENTRING = {"P": [(0, 0, 0)], "H": [(0, 0, 0)], "B": [(0, 0, 0), (.5, .5, .5)],
            "F": [(0, 0, 0), (0, .5, .5), (.5, 0, .5), (.5, .5, 0)],
            "CXY": [(0, 0, 0), (.5, .5, 0)], "CYZ": [(0, 0, 0), (0, .5, .5)], "CXZ": [(0, 0, 0), (.5, 0, .5)],
            "R": [(0, 0, 0), (2 / 3, 1 / 3, 1 / 3), (1 / 3, 2 / 3, 2 / 3)]}


def ref(path):
    lines = path.read_text().splitlines()
    lattice = lines[1][:4].strip()
    atoms = ase.io.read(path, format="struct")
    notes = []
    p = c2p(ASE_LATTICE[lattice])
    conv = np.linalg.solve(p, np.array(atoms.cell))
    cellpar = list(ase.geometry.cell_to_cellpar(conv))
    if "unit=ang" in lines[2]:
        cellpar[:3] = [v / Bohr for v in cellpar[:3]]
        notes.append("unit=ang: ASE's lengths divided by its bohr")
    if lattice == "R":
        a, c = [float(lines[3][k * 10:k * 10 + 10]) * Bohr for k in (0, 2)]
        cellpar = [a, a, c, 90.0, 90.0, 120.0]
        notes.append("R: hexagonal a and c of the cell line, angles 90 90 120")
    symbols, places = [], []
    for s, x in zip(atoms.get_chemical_symbols(), atoms.get_scaled_positions(wrap=False) @ p):
        for t in CENTRING[lattice]:
            q = (x + t) % 1.0
            if not any(s == s2 and np.abs((q - q2) - np.round(q - q2)).max() < 1e-5 for s2, q2 in zip(symbols, places)):
                symbols.append(s)
                places.append(q)
    return {"file": path.name, "ase_version": ase.__version__, "wien2k_lattice_type": lattice, "notes": notes,
            "cell": cellpar, "symbols": symbols, "scaled_positions": [list(map(float, q)) for q in places]}


def main():
    for path in sorted((HERE / "wien2k").rglob("*.struct")):
        out = HERE / "refs" / path.relative_to(HERE).with_suffix(".struct.json")
        out.parent.mkdir(parents=True, exist_ok=True)
        out.write_text(json.dumps(ref(path), indent=1) + "\n")


if __name__ == "__main__":
    main()
