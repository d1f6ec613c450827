#!/usr/bin/python3
"""The CIF, XSF and CAR files of every converting action as ASE, gemmi and Open
Babel read them, against the structures the inputs describe: one run of Quorvel
per row of cases.json. The reference is ASE's reading of the input where ASE has
a reader (VASP, WIEN2k, a pw.x input's cell, a GULP input through ASE's space
groups), else a small reader below (CASTEP, of which ASE reads the last step
only; pw.x steps; TranSIESTA; Plimo). A disagreement reported for a decision
(the row's "known") is printed as KNOWN; once it is gone the run fails, so that
the note is removed. Exit code 0: all passed; 1: a check failed; 77: a tool is missing.

    test_interop.py --bin <quorvel binary>"""
import itertools
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

try:
    import ase.io
    import gemmi
    import numpy as np
    from ase import Atoms
    from ase.calculators.singlepoint import SinglePointCalculator
    from ase.geometry import cellpar_to_cell
    from ase.spacegroup import crystal
    from ase.units import Hartree
    from pymatgen.io.cif import CifParser
except ImportError as missing:
    print("SKIPPED: not installed (python3-ase, python3-gemmi, python3-pymatgen): %s" % missing)
    sys.exit(77)

HERE = os.path.dirname(os.path.abspath(__file__))
CIF_REL = 5.0001e-6                     # %lg: half a unit in the sixth significant digit
CIF_FRACT = 5.2e-7                      # %10.6f plus the 1e-8 the writer adds
XSF_LENGTH, XSF_ANGLE = 1e-8, 1e-6      # A, degrees: vectors printed with %16.10f
XSF_POSITION = 1e-7                     # A: %12.7f per component (5e-8) and the cell's rounding
XSF_FORCE = 5.1e-8                      # %12.7f
CAR_LENGTH, CAR_ANGLE = 5.1e-5, 5.1e-5  # %8.4f
CAR_POSITION = 1e-8                     # A: %14.9f plus the cell's rounding
tally = {"passed": 0, "failed": 0, "topic": ""}


def check(cond, what):
    tally["passed" if cond else "failed"] += 1
    if not cond:
        print("FAIL: %s: %s" % (tally["topic"], what))
    return cond


def known(agrees, what, reason):
    """A known disagreement: printed, and a failure only once it has gone."""
    if check(not agrees, "%s: now agrees, remove the known note (%s)" % (what, reason)):
        print("KNOWN: %s: %s (%s)" % (tally["topic"], what, reason))


def make(cell, symbols, fract=None, forces=None, cart=None):
    """A reference structure: cell as vectors or six parameters, forces in the input's frame."""
    atoms = Atoms(symbols, cell=cell, pbc=True, positions=None if cart is None else np.array(cart, float),
                  scaled_positions=None if fract is None else np.array(fract, float))
    if forces is not None:
        atoms.calc = SinglePointCalculator(atoms, forces=np.array(forces, float))
    return atoms


def rows_from(lines, i, ok):
    """The split lines that pass ok, from the first one after line i on."""
    rows = (ln.split() for ln in lines[i + 1:])
    return list(itertools.takewhile(ok, itertools.dropwhile(lambda r: not ok(r), rows)))


def read_lines(work, name):
    return Path(work, name).read_text(encoding="latin-1").split("\n")


def ref_vasp(work, run):
    files = {"initial": "POSCAR", "final": "CONTCAR", "steps": "OUTCAR"}
    return {key: ase.io.read(os.path.join(work, run, name), ":", format="vasp-out") if key == "steps" else
            ase.io.read(os.path.join(work, run, name), format="vasp")
            for key, name in files.items() if os.path.isfile(os.path.join(work, run, name))}


def ref_pwscf(work, stem):
    """The input's cell and starting structure (Quorvel's too); a step is a Forces block
    (Ry/au, as printed) with the geometry it was computed for: the last ATOMIC_POSITIONS
    block printed before it, else the input's structure (README)."""
    start = ase.io.read(os.path.join(work, stem + ".inp"), format="espresso-in")
    lines, n, steps = read_lines(work, stem + ".out"), len(start), []
    symbols, fract = start.get_chemical_symbols(), start.get_scaled_positions(wrap=False)
    for i, line in enumerate(lines):
        if line.startswith("ATOMIC_POSITIONS (crystal)"):
            rows = [ln.split() for ln in lines[i + 1:i + 1 + n]]
            symbols, fract = [r[0] for r in rows], [r[1:4] for r in rows]
        elif "Forces acting on atoms" in line:
            forces = [ln.split("force =")[1].split() for ln in lines[i + 2:i + 2 + n]]
            steps.append(make(start.cell, symbols, fract, forces))
    return {"steps": steps, "initial": start}


def ref_castep(work, name):
    """Cells from "Lattice parameters(A)" (the file prints them in the standard orientation); frame k: force block k
    with the cell and the atoms printed last before it, the geometry its forces were computed for."""
    lines, structures, steps = read_lines(work, name), [], []
    for i, line in enumerate(lines):
        if "Lattice parameters(A)" in line:
            w = [lines[i + 1 + k].replace("=", " ").split() for k in range(3)]
            cellpar = [float(r[1]) for r in w] + [float(r[3]) for r in w]
        elif "Fractional coordinates of atoms" in line:
            rows = rows_from(lines, i, lambda r: len(r) == 7 and r[0] == "x")
            structures.append(make(cellpar, [r[1] for r in rows], [r[3:6] for r in rows]))
        elif line.startswith(" ***") and " Forces " in line:
            forces = [r[3:6] for r in rows_from(lines, i, lambda r: len(r) == 7 and r[0] == "*")]
            steps.append(make(cellpar, structures[-1].symbols, structures[-1].get_scaled_positions(False), forces))
    return {"initial": structures[0], "final": steps[-1] if steps else structures[-1], "steps": steps}


def ref_transiesta(work, name):
    """Cell: Bulk::UnitCell times the lattice constant. Electrode atoms missing
    from a two-probe forces table keep their starting place and no force."""
    lines = read_lines(work, name)
    i = next(k for k, ln in enumerate(lines) if "UnitCell::LatticeConstant" in ln)
    cell = float(lines[i].split()[1]) * np.array([lines[i + 2 + k].split()[:3] for k in range(3)], float)
    i = next(k for k, ln in enumerate(lines) if "%block" in ln and "AtomList" in ln)
    rows = [r[1:] if r[0].isdigit() else r for r in rows_from(lines, i, lambda r: r[:1] != ["%endblock"])
            if r and r[0][0] != "#"]
    symbols, start = [r[0] for r in rows], np.array([r[1:4] for r in rows], float)
    n, steps = len(symbols), []
    for i, ln in enumerate(lines):
        if "#   Forces     in eV/Ang" in ln:
            table = np.array(rows_from(lines, i + 3, lambda r: len(r) == 9 and r[0][0] != "#"), float)
            pos, forces, half = start.copy(), np.zeros((n, 3)), (n - len(table)) // 2
            pos[half:half + len(table)], forces[half:half + len(table)] = table[:, 0:3], table[:, 6:9]
        elif "NumOrb: Forces" in ln:
            forces = [lines[i + 2 + k].replace("Force:", "").split()[1:4] for k in range(n)]
            j = next(k for k in range(i, len(lines)) if "Updating coords" in lines[k])
            pos = [lines[j + 3 + k].split()[3:6] for k in range(n)]
        else:
            continue
        steps.append(make(cell, symbols, cart=pos, forces=forces))
    return {"initial": make(cell, symbols, cart=start), "steps": steps}


def ref_plimo(work, f05, f07, f9p, f9v, avr_first, avr_last):
    """FILE07: types, counts, first cell; FILE09P: positions as four-character integers
    times 1/9000 (MD) or 1/2000 (XD), each atom going the shortest way from the step before;
    FILE09V: cells (a one-line record keeps the cell). Averaged: steps avr_first to avr_last."""
    scale = {"MD": 1 / 9000, "XD": 1 / 2000}[read_lines(work, f05)[0][:2].upper()]
    l7 = read_lines(work, f07)
    n, n_types = (int(v) for v in l7[1].split()[:2])
    i, words = 2, []
    while len(words) < 2 * n_types:     # the names, then the counts, on as many lines as they take
        words, i = words + l7[i].split("!")[0].split(), i + 1
    names, counts = words[:n_types], [int(w) for w in words[n_types:2 * n_types]]
    cellpar = [float(v) for v in l7[i + 3].split()[1:4]] + [90.0] * 3
    symbols = [s for s, c in zip(names, counts) for _ in range(c)]
    p_lines, v_lines = read_lines(work, f9p), read_lines(work, f9v)
    per_step, k, vk, prev, steps = (n - 1) // 6 + 1, 0, 0, None, []
    while k + per_step < len(p_lines) and p_lines[k].strip():
        text = "".join(p_lines[k + 1:k + 1 + per_step])
        k += 1 + per_step
        fract = np.array([float(text[j:j + 4]) for j in range(0, 12 * n, 4)]).reshape(n, 3) * scale
        if prev is not None:
            d = fract - prev - np.floor(fract - prev)
            fract = prev + np.where(d > 0.5, d - 1, d)
        prev = fract
        record = vk < len(v_lines) and len(v_lines[vk]) + 1 >= 40
        if record:
            vals = [float(v_lines[vk + 2][s:s + 9]) for s in range(18, 72, 9)]
            cellpar = vals[:3] + [v if v != 0.0 else 90.0 for v in vals[3:]]
        vk += 5 if record else 1
        steps.append(make(cellpar, symbols, fract))
    used = steps[avr_first:avr_last + 1]
    averaged = make(np.mean([s.cell.cellpar() for s in used], axis=0), symbols,
                    np.mean([s.get_scaled_positions(False) for s in used], axis=0))
    return {"initial": steps[0], "steps": steps, "averaged": averaged}


def ref_gulp(work, name):
    """The input's cell, asymmetric unit and space group, expanded by ASE."""
    lines = read_lines(work, name)
    for i, line in enumerate(lines):
        key = line.split()[0].lower() if line.split() else ""
        if key == "cell":
            cellpar = [float(v) for v in lines[i + 1].split()[:6]]
        elif key.startswith("frac"):
            rows = [r for r in rows_from(lines, i, lambda r: len(r) > 4 and r[1] in ("core", "shel")) if r[1] == "core"]
        elif key == "space":    # GULP takes the symbol in any case, gemmi in its own
            symbol = lines[i + 1].strip()
            number = gemmi.find_spacegroup_by_name(symbol[0] + symbol[1:].lower()).number
    return {"cell": crystal([r[0].rstrip("0123456789") for r in rows], [[float(v) for v in r[2:5]] for r in rows],
                            spacegroup=number, cellpar=cellpar, onduplicates="keep")}


def cell_check(what, got, want, len_tol, ang_tol, relative=False):
    got, want = np.asarray(got, float), np.asarray(want, float)
    tol = np.array([len_tol] * 3 + [ang_tol] * 3) * (np.abs(want) if relative else 1)
    check(np.all(np.abs(got - want) <= tol), "%s cell %s, expected %s" % (what, got.round(7), want.round(7)))


def same_sites(what, symbols, fract, want):
    """Each reference atom matches one atom read, of its element, up to lattice translations."""
    if not check(len(symbols) == len(want), "%s: %d atoms, expected %d" % (what, len(symbols), len(want))):
        return
    left = list(range(len(symbols)))
    for s, p in zip(want.get_chemical_symbols(), want.get_scaled_positions(wrap=False)):
        d = [np.abs((fract[j] - p) - np.round(fract[j] - p)).max() if symbols[j] == s else 1 for j in left]
        if check(min(d, default=1) <= CIF_FRACT, "%s: no %s at %s (off by %.3g)" % (what, s, p, min(d, default=1))):
            left.pop(int(np.argmin(d)))


def check_cif(path, want, notes):
    proc = subprocess.run(["gemmi", "validate", path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    check(proc.returncode == 0, "gemmi validate: " + proc.stdout.decode("latin-1"))
    small, par = gemmi.read_small_structure(path), want.cell.cellpar()
    cell_check("gemmi", small.cell.parameters, par, CIF_REL, CIF_REL, relative=True)
    check(all(abs(s.occ - 1) < 1e-9 for s in small.sites), "occupancies %s" % [s.occ for s in small.sites])
    ops = [gemmi.Op(gemmi.cif.as_string(v))
           for v in gemmi.cif.read_file(path).sole_block().find_values("_symmetry_equiv_pos_as_xyz")]
    symbols, fract = [], []
    for site in small.sites:    # the distinct images of each site under the file's own operations
        images = []
        for p in (np.array(op.apply_to_xyz([site.fract.x, site.fract.y, site.fract.z])) for op in ops):
            if all(np.abs((p - q) - np.round(p - q)).max() > 1e-4 for q in images):
                images.append(p)
        symbols, fract = symbols + [site.element.name] * len(images), fract + images
    if "gemmi count" in notes:
        known(len(symbols) == len(want), "gemmi expands to %d atoms" % len(symbols), notes["gemmi count"])
    else:
        same_sites("gemmi with the file's %d operations" % len(ops), symbols, fract, want)
    try:
        atoms = ase.io.read(path, format="cif")
    except Exception as e:  # noqa: BLE001 - a refusal is the finding
        return known(False, "ASE: %s" % e, notes["ASE refuses"]) if "ASE refuses" in notes else \
            check(False, "ASE cannot read it: %s" % e)
    if "ASE refuses" in notes:
        known(True, "ASE reads it", notes["ASE refuses"])
    cell_check("ASE", atoms.cell.cellpar(), par, CIF_REL, CIF_REL, relative=True)
    same_sites("ASE", atoms.get_chemical_symbols(), atoms.get_scaled_positions(wrap=False), want)
    try:
        parsed = CifParser(path).get_structures(primitive=False)[0]
    except Exception as e:  # noqa: BLE001 - a refusal is the finding
        parsed = known(False, "pymatgen: %s" % e, notes["pymatgen refuses"]) if "pymatgen refuses" in notes else \
            check(False, "pymatgen cannot read it: %s" % e)
    if parsed:
        cell_check("pymatgen", parsed.lattice.parameters, par, CIF_REL, CIF_REL, relative=True)
        same_sites("pymatgen", [site.specie.symbol for site in parsed], parsed.frac_coords, want)
    # Quorvel reads its own file back to the same sites.
    proc = subprocess.run([tally["bin"], "--Action=ShowCIFInf", "--ShowAllAtoms=1", path], stdout=subprocess.PIPE)
    sites = re.findall(r"^ +([A-Z][a-z]?)\S* \(([^,]+),([^,]+),([^)]+)\) \[occ=",
                       proc.stdout.decode("latin-1").split("Atoms in unit cell:")[-1], re.M)
    same_sites("Quorvel reading it back", [m[0] for m in sites], [np.array(m[1:], float) for m in sites], want)


def check_xsf(path, frames, notes):
    """Every frame as ASE reads it; positions through the cell read, forces turned with the cell."""
    read = ase.io.read(path, index=":", format="xsf")
    if not check(len(read) == len(frames), "ASE reads %d frames, expected %d" % (len(read), len(frames))):
        return
    if "type numbers" in notes:
        known(list(read[0].numbers) == list(frames[0].numbers), "atomic numbers %s" % read[0].numbers,
              notes["type numbers"])
    for k, (got, want) in enumerate(zip(read, frames), start=1):
        cell_check("frame %d" % k, got.cell.cellpar(), want.cell.cellpar(), XSF_LENGTH, XSF_ANGLE)
        check(all(got.pbc), "frame %d not periodic" % k)
        types = list(dict.fromkeys(want.numbers))   # Plimo: the type's running number
        numbers = [types.index(z) + 1 if "type numbers" in notes else z for z in want.numbers]
        if not check(list(got.numbers) == numbers, "frame %d: atomic numbers %s, not %s" % (k, got.numbers, numbers)):
            continue
        d = np.abs(got.positions - want.get_scaled_positions(wrap=False) @ got.cell[:]).max()
        check(d <= XSF_POSITION, "frame %d: positions off by %.3g A" % (k, d))
        if want.calc is None:
            continue
        # ASE takes XSF forces as Hartree/A; Quorvel writes the input's unit (README).
        force, given = got.get_forces() / Hartree, want.get_forces(apply_constraint=False)
        rotated = given @ np.linalg.solve(want.cell[:], got.cell[:])
        d = np.abs(force - rotated).max()
        ok = d <= XSF_FORCE + 1e-9 * np.abs(rotated).max()
        if "forces of frame %d" % k in notes:
            known(ok, "frame %d: forces off by %.3g" % (k, d), notes["forces of frame %d" % k])
        else:
            check(ok, "frame %d: forces off by %.3g" % (k, d))


def check_car(path, want, notes):
    """The file as written, read by Open Babel (through its VASP writer, which keeps every digit) and by ASE's
    dmol-car reader, both in the standard orientation."""
    subprocess.run(["obabel", "-icar", path, "-oPOSCAR", "-O", path + ".poscar"], capture_output=True)
    for reader, got in (("Open Babel", ase.io.read(path + ".poscar", format="vasp")),
                        ("ASE", ase.io.read(path, format="dmol-car"))):
        cell_check(reader, got.cell.cellpar(), want.cell.cellpar(), CAR_LENGTH, CAR_ANGLE)
        if check(got.get_chemical_symbols() == want.get_chemical_symbols(),
                 "%s elements %s, expected %s" % (reader, got.get_chemical_symbols(), want.get_chemical_symbols())):
            standard = want.get_scaled_positions(wrap=False) @ cellpar_to_cell(want.cell.cellpar())
            d = np.abs(got.positions - standard).max()
            check(d <= CAR_POSITION, "%s positions off by %.3g A" % (reader, d))


def option(args, name, default):
    return next((int(a.split("=")[1]) for a in args if a.startswith("--%s=" % name)), default)


def main():
    binary = tally["bin"] = os.path.abspath(sys.argv[sys.argv.index("--bin") + 1])
    if not (shutil.which("gemmi") and shutil.which("obabel")):
        print("SKIPPED: not installed: the gemmi program or Open Babel (packages gemmi, openbabel)")
        return 77
    cases = json.loads(Path(HERE, "cases.json").read_text())["cases"]
    scratch = tempfile.mkdtemp(prefix="quorvel-interop-")
    readers = {"vasp": ref_vasp, "pwscf": ref_pwscf, "castep": ref_castep, "transiesta": ref_transiesta,
               "plimo": ref_plimo, "gulp": ref_gulp,
               "wien2k": lambda work, name: {"cell": ase.io.read(os.path.join(work, name), format="struct")}}
    for n, case in enumerate(cases, start=1):
        work, args = os.path.join(scratch, "%02d-%s" % (n, case["action"])), case["args"]
        shutil.copytree(os.path.join(os.path.dirname(HERE), case["inputs"]), work)
        tally["topic"] = "%s %s" % (case["action"], " ".join(args))
        proc = subprocess.run([binary, "--Action=" + case["action"]] + args, cwd=work, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=60)
        check(proc.returncode == 0, "exit code %d:\n%s" % (proc.returncode, proc.stdout.decode("latin-1")))
        ref = readers[case["reference"][0]](work, *case["reference"][1:])
        if "steps" in ref:
            steps = ref["steps"][:option(args, "nLastStep", len(ref["steps"]))]
            ref["final"], ref["steps"] = ref.get("final", steps[-1]), steps[::option(args, "nOutputInterval", 1)]
            if "frames" in case:
                check(len(ref["steps"]) == case["frames"], "reference: %d frames, not %d"
                      % (len(ref["steps"]), case["frames"]))
        for key, structures in ref.items():
            for s in structures if key == "steps" else [structures]:
                check(len(s) == case["atoms"], "reference %s: %d atoms, expected %d" % (key, len(s), case["atoms"]))
        for out, key in case["outputs"].items():
            tally["topic"] = "%s: %s" % (case["action"], out)
            checker = check_cif if out.endswith(".cif") else check_xsf if out.endswith(".xsf") else check_car
            try:
                checker(os.path.join(work, out), ref[key], case.get("known", {}))
            except Exception as e:  # noqa: BLE001 - a file a tool cannot read is a failure
                check(False, "%s: %s" % (type(e).__name__, e))
    print("%d passed, %d failed" % (tally["passed"], tally["failed"]))
    if tally["failed"]:
        print("outputs kept in " + scratch)
        return 1
    shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
