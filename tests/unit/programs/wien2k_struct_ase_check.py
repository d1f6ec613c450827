#!/usr/bin/python3
"""Checks a CIF file written by WIENMakeCIFFromStruct against ASE's own reading
of the WIEN2k structure file it came from.

    wien2k_struct_ase_check.py case.struct case.cif

The CIF is read with gemmi's CIF parser and expanded here with its own
operation texts (gemmi.Op), so neither Quorvel's nor ASE's code builds that
side. Same crystal means: the CIF lattice, with the centring that the lattice
letter of the structure file implies, is ASE's lattice (lengths compared after
the change from the converter's 0.529 A per bohr to ASE's value), and every
atom of ASE's cell sits on a site of the same element in the expanded CIF,
with the same number of atoms per volume.

Exit 0: same crystal; 1: different; 77: numpy, ASE or gemmi missing.
"""
import re
import sys

try:
    import numpy as np
    import ase.io
    import ase.units
    from ase.geometry import cellpar_to_cell
    import gemmi
except ImportError as error:
    print("skipped: %s" % error)
    sys.exit(77)

QUORVEL_BOHR = 5.29e-11 * 1e10
TOLERANCE = 1e-5  # fractional; the CIF prints six decimals
CENTRING = {
    "P": [(0, 0, 0)],
    "H": [(0, 0, 0)],
    "F": [(0, 0, 0), (0, 0.5, 0.5), (0.5, 0, 0.5), (0.5, 0.5, 0)],
    "B": [(0, 0, 0), (0.5, 0.5, 0.5)],
    "CXY": [(0, 0, 0), (0.5, 0.5, 0)],
    "CXZ": [(0, 0, 0), (0.5, 0, 0.5)],
    "CYZ": [(0, 0, 0), (0, 0.5, 0.5)],
}


def element(symbol):
    return re.match(r"[A-Za-z]*", symbol).group(0)


def near_lattice_point(d):
    return np.all(np.abs(d - np.round(d)) < TOLERANCE)


def main():
    struct_path, cif_path = sys.argv[1], sys.argv[2]
    ref = ase.io.read(struct_path, format="struct")
    with open(struct_path) as f:
        lattice_letter = f.read().split("\n")[1][:4].strip()
    centring = np.array(CENTRING[lattice_letter], dtype=float)

    block = gemmi.cif.read(cif_path).sole_block()
    value = lambda tag: float(block.find_value(tag))
    scale = ase.units.Bohr / QUORVEL_BOHR
    cellpar = [value("_cell_length_%s" % t) * scale for t in "abc"]
    cellpar += [value("_cell_angle_%s" % t) for t in ("alpha", "beta", "gamma")]
    cell = cellpar_to_cell(cellpar)
    ops = [gemmi.Op(gemmi.cif.as_string(v)) for v in block.find_loop("_symmetry_equiv_pos_as_xyz")]
    table = block.find(["_atom_site_type_symbol", "_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z"])
    asym = [(element(row[0]), [gemmi.cif.as_number(row[i]) for i in (1, 2, 3)]) for row in table]

    def expand(translations):
        sites = []
        for symbol, xyz in asym:
            for op in ops:
                image = np.array(op.apply_to_xyz(xyz))
                for t in translations:
                    p = (image + t) % 1.0
                    if not any(s == symbol and near_lattice_point(q - p) for s, q in sites):
                        sites.append((symbol, p))
        return sites

    # The CIF's unit cell: its operations, then the lattice letter's centring.
    sites = expand(centring)
    only_operations = len(expand(centring[:1]))

    failures = []
    # Every cell vector of ASE's reading is a lattice vector of the CIF's
    # lattice (with its centring), and both hold the same volume per atom.
    to_cif = np.linalg.inv(cell)
    for v in ref.cell:
        f = v @ to_cif
        if not any(near_lattice_point(f - t) for t in centring):
            failures.append("ASE cell vector %s is not a lattice vector of the CIF cell" % v)
    volume_per_atom_cif = abs(np.linalg.det(cell)) / len(sites)
    volume_per_atom_ase = abs(ref.cell.volume) / len(ref)
    if abs(volume_per_atom_cif / volume_per_atom_ase - 1) > 1e-4:
        failures.append("volume per atom %g (CIF) != %g (ASE)" % (volume_per_atom_cif, volume_per_atom_ase))
    for symbol, position in zip(ref.get_chemical_symbols(), ref.positions):
        f = (position @ to_cif) % 1.0
        if not any(s == symbol and near_lattice_point(q - f) for s, q in sites):
            failures.append("ASE atom %s at %s (CIF fractional) has no CIF site" % (symbol, np.round(f, 6)))

    print("%s: ASE %s, %d atoms in %.4f A3; CIF %d sites (%d from its operations alone, centring %s) in %.4f A3"
          % (struct_path, ref.get_chemical_formula(), len(ref), ref.cell.volume, len(sites), only_operations,
             lattice_letter, abs(np.linalg.det(cell))))
    for f in failures:
        print("  " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
