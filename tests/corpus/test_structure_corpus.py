#!/usr/bin/env python3
"""Real WIEN2k structure files and GULP inputs through their CIF conversions.

Each file under structures/wien2k and structures/gulp is converted in a
scratch copy (WIENMakeCIFFromStruct, GULPMakeCIFFromInput); ASE reads the CIF
file written, and gemmi counts the sites of its unit cell. The cell, the
composition and every position (modulo 1, within the six printed decimals)
must agree with structures/refs/<file>.json: for WIEN2k ASE's reading of the
file expanded to the conventional cell (make_wien2k_refs.py), for GULP the
structure worked out by hand from GULP's manual (cell, atoms per element and
a few positions). Exit 77 when ASE or gemmi is missing.
"""
import collections
import json
import pathlib
import shutil
import subprocess
import sys
import tempfile

from corpus_report import binary_from_command_line, report

try:
    import ase.io
    import gemmi
    import numpy as np
except ImportError:
    sys.exit(77)

HERE = pathlib.Path(__file__).resolve().parent / "structures"
ACTIONS = {".struct": "WIENMakeCIFFromStruct", ".gin": "GULPMakeCIFFromInput"}
CELL_REL = 5e-6      # the CIF prints six significant digits
PLACE = 2e-6 + 1e-6  # six decimals, and the rounding of the ref's own


def near(p, q):
    d = np.asarray(p, float) - np.asarray(q, float)
    return np.abs(d - np.round(d)).max() <= PLACE


def check(binary, path, work):
    ref = json.loads((HERE / "refs" / path.relative_to(HERE)).with_suffix(path.suffix + ".json").read_text())
    copy = work / path.name
    shutil.copy(path, copy)
    subprocess.run([binary, "--Action=" + ACTIONS[path.suffix], copy.name], cwd=work, capture_output=True,
                   timeout=120, check=False)
    cif = copy.with_suffix(".cif")
    atoms = ase.io.read(cif, format="cif")
    problems = []
    cell = atoms.cell.cellpar()
    if any(abs(a - b) > CELL_REL * max(1.0, abs(b)) for a, b in zip(cell, ref["cell"])):
        problems.append(f"cell {np.round(cell, 6).tolist()} != {ref['cell']}")
    want = collections.Counter(ref["symbols"]) if "symbols" in ref else collections.Counter(ref["counts"])
    got = collections.Counter(atoms.get_chemical_symbols())
    if got != want:
        problems.append(f"ASE composition {dict(got)} != {dict(want)}")
    n_gemmi = len(gemmi.read_small_structure(str(cif)).get_all_unit_cell_sites())
    if n_gemmi != sum(want.values()):
        problems.append(f"gemmi counts {n_gemmi} sites, expected {sum(want.values())}")
    places = list(zip(atoms.get_chemical_symbols(), atoms.get_scaled_positions(wrap=False)))
    for s, p in zip(ref.get("symbols", []), ref["scaled_positions"]) if "symbols" in ref else ref["positions"]:
        if not any(s == s2 and near(p, q) for s2, q in places):
            problems.append(f"no {s} at {p}")
    return problems


def main():
    binary = binary_from_command_line()
    paths = sorted(p for p in HERE.rglob("*") if p.suffix in ACTIONS and "refs" not in p.parts)
    with tempfile.TemporaryDirectory() as scratch:
        def checked(path):
            work = pathlib.Path(scratch) / path.stem
            work.mkdir()
            return str(path.relative_to(HERE)), check(binary, path, work)
        return report(checked(path) for path in paths)


if __name__ == "__main__":
    sys.exit(main())
