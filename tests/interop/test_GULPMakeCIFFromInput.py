#!/usr/bin/python3
"""GULPMakeCIFFromInput: the CIFs of two GULP inputs (rutile in P 42/m n m,
corundum in R -3 c on hexagonal axes) as ASE and gemmi read them. The CIF
carries the asymmetric unit and the operations of the space group; expanded
by gemmi and by ASE they must give the unit cell that ASE builds from the
same cell, asymmetric unit and space-group number (ASE has no GULP reader:
the cell, atoms and symbol are taken from the input here).

A shell-model input (O core and O shel at one place) gives two O sites at the
same place; gemmi then counts every oxygen twice while ASE merges them (see
README, Known limitations), which is what the last part checks."""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interop import INPUTS, Structure, check_cif, checks, copy_inputs, finish, run_quorvel, start  # noqa: E402


def read_gin(path):
    """Cell parameters, asymmetric unit (element, fractional position) and
    space-group symbol of a GULP input."""
    with open(path) as f:
        lines = [ln.strip() for ln in f]
    cellpar, symbols, fract, symbol = None, [], [], None
    for i, line in enumerate(lines):
        key = line.split()[0].lower() if line.split() else ""
        if key == "cell":
            cellpar = [float(v) for v in lines[i + 1].split()[:6]]
        elif key.startswith("frac"):
            for row in lines[i + 1:]:
                w = row.split()
                if len(w) < 5 or w[1] not in ("core", "shel"):
                    break
                symbols.append(re.sub(r"\d+$", "", w[0]))
                fract.append([float(v) for v in w[2:5]])
        elif key == "space":
            symbol = lines[i + 1]
    return cellpar, symbols, fract, symbol


def main():
    binary, scratch = start(["ase", "gemmi"])
    import ase.io
    import gemmi
    from ase.spacegroup import crystal
    copy_inputs(os.path.join(INPUTS, "GULP"), scratch)
    for name, n_atoms in (("rutile", 6), ("corundum", 30)):
        run_quorvel(binary, ["--Action=GULPMakeCIFFromInput", name + ".gin"], scratch)
        cellpar, symbols, fract, symbol = read_gin(os.path.join(scratch, name + ".gin"))
        # GULP writes the symbol in any case; gemmi wants the lattice letter in
        # upper case and the rest in lower case.
        number = gemmi.find_spacegroup_by_name(symbol[0].upper() + symbol[1:].lower()).number
        atoms = crystal(symbols, fract, spacegroup=number, cellpar=cellpar)
        checks.check(len(atoms) == n_atoms, "%s: ASE builds %d atoms, expected %d" % (name, len(atoms), n_atoms))
        check_cif(os.path.join(scratch, name + ".cif"), Structure.from_atoms(atoms),
                  asym=Structure(cellpar, symbols, fract), in_order=False)

    run_quorvel(binary, ["--Action=GULPMakeCIFFromInput", "corundum-shells.gin"], scratch)
    path = os.path.join(scratch, "corundum-shells.cif")
    proc_ok = os.path.isfile(path) and not subprocess.run(["gemmi", "validate", path], stdout=subprocess.DEVNULL).returncode
    checks.check(proc_ok, "corundum-shells.cif: gemmi validate")
    small = gemmi.read_small_structure(path)
    small.setup_cell_images()
    checks.check(len(small.sites) == 3 and len(small.get_all_unit_cell_sites()) == 48,
                 "corundum-shells.cif: gemmi reads %d sites, %d in the cell (expected 3 and 48)"
                 % (len(small.sites), len(small.get_all_unit_cell_sites())))
    checks.check(len(ase.io.read(path)) == 30, "corundum-shells.cif: ASE does not merge core and shell")
    finish(scratch)


main()
