"""Shared parts of the interop checks: run Quorvel on realistic inputs, read what
it wrote with the tools our users open these files with (ASE, gemmi, Open
Babel), and compare what the tools read with the structure the input files
describe.

Each test_<Action>.py is run as
    test_<Action>.py --bin <quorvel binary>
and ends with exit code 0 (all checks passed), 1 (a check failed) or 77 (a
tool it needs is not installed, or the build lacks the action; the reason is
printed and CTest reports the test as skipped). A disagreement that is known
and reported for a decision is printed as KNOWN and does not fail the test.

Tolerances follow what Quorvel prints:
  CIF  cell lengths and angles with %lg (six significant digits), fractional
       coordinates with %10.6f after adding 1e-8;
  XSF  lattice vectors with %16.10f, positions and forces with %12.7f (the cell
       is built with pi to ten decimals, which moves vector components by up
       to a few 1e-10 A);
  CAR  cell with %8.4f, Cartesian positions with %14.9f.
"""
import argparse
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
E2E = os.path.join(os.path.dirname(HERE), "e2e")
INPUTS = os.path.join(HERE, "inputs")

SKIP = 77

# Tolerances (see the module text).
CIF_LENGTH_REL = 5.0001e-6      # %lg: half a unit in the sixth significant digit
CIF_ANGLE_REL = 5.0001e-6
CIF_FRACT = 5.2e-7              # %10.6f plus the 1e-8 the writer adds
XSF_LENGTH = 1e-8               # A, lengths of vectors printed with %16.10f
XSF_ANGLE = 1e-6                # degrees
XSF_POSITION = 1e-7             # A, %12.7f per component (5e-8) and the cell's rounding
XSF_FORCE = 5.1e-8              # %12.7f
CAR_LENGTH = 5.1e-5             # %8.4f
CAR_ANGLE = 5.1e-5
CAR_POSITION = 1e-8             # %14.9f plus the cell's rounding


class Checks:
    """Counts passed and failed checks and prints every failure."""

    def __init__(self):
        self.passed = 0
        self.failed = 0
        self.topic = ""

    def check(self, cond, what):
        if cond:
            self.passed += 1
        else:
            self.failed += 1
            print("FAIL: %s%s" % (self.topic + ": " if self.topic else "", what))
        return cond

    def close(self, what, got, expected, tol):
        return self.check(abs(got - expected) <= tol,
                          "%s: read %.10g, expected %.10g (tolerance %g)" % (what, got, expected, tol))

    def known(self, cond, what, reason):
        """A disagreement that is known and reported (reason says where):
        it is printed but does not fail the test; once it is gone, the test
        fails so that the note and the reason are removed."""
        if cond:
            self.failed += 1
            print("FAIL: %s%s now agrees; remove the known-disagreement note (%s)"
                  % (self.topic + ": " if self.topic else "", what, reason))
        else:
            self.passed += 1
            print("KNOWN: %s%s (%s)" % (self.topic + ": " if self.topic else "", what, reason))

    def summary(self):
        print("%d checks passed, %d failed" % (self.passed, self.failed))
        return 1 if self.failed else 0


checks = Checks()


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(SKIP)


def start(tools):
    """Parses --bin, makes sure the named tools are installed (else exits with
    77) and returns (binary path, scratch directory). Tools: 'ase', 'gemmi',
    'obabel'."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args = parser.parse_args()
    missing = []
    for tool in tools:
        if tool == "ase":
            if importlib.util.find_spec("ase") is None:
                missing.append("ASE (python3-ase)")
        elif tool == "gemmi":
            if importlib.util.find_spec("gemmi") is None:
                missing.append("gemmi Python module (python3-gemmi)")
            if shutil.which("gemmi") is None:
                missing.append("gemmi program (gemmi)")
        elif tool == "obabel":
            if shutil.which("obabel") is None:
                missing.append("Open Babel (openbabel)")
    if missing:
        skip("not installed: " + ", ".join(missing))
    if not os.access(args.bin, os.X_OK):
        print("FAIL: no Quorvel binary at %s" % args.bin)
        sys.exit(1)
    scratch = tempfile.mkdtemp(prefix="quorvel-interop-")
    return os.path.abspath(args.bin), scratch


def copy_inputs(source_dir, scratch):
    """Copies every file and folder of source_dir into scratch."""
    for name in os.listdir(source_dir):
        src = os.path.join(source_dir, name)
        if os.path.isdir(src):
            shutil.copytree(src, os.path.join(scratch, name))
        else:
            shutil.copy(src, scratch)


def run_quorvel(binary, args, cwd):
    """Runs Quorvel in cwd with the databases shipped beside the binary and
    returns its standard output."""
    proc = subprocess.run([binary] + args, cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=60)
    out = proc.stdout.decode("latin-1")
    if "is not available in this build of Quorvel." in out:
        skip(next(ln for ln in out.splitlines() if "is not available" in ln))
    checks.check(proc.returncode == 0, "quorvel %s exited with %d:\n%s" % (" ".join(args), proc.returncode, out))
    return out


def finish(scratch):
    code = checks.summary()
    if code == 0:
        shutil.rmtree(scratch, ignore_errors=True)
    else:
        print("outputs kept in " + scratch)
    sys.exit(code)


# ------------------------------------------------------------ reference model

class Structure:
    """A reference structure: cell parameters (A, degrees), element symbols
    and fractional positions of all atoms in the cell, optionally Cartesian
    forces (eV/A) and the Cartesian cell they refer to."""

    def __init__(self, cellpar, symbols, fract, forces=None, cell=None):
        import numpy as np
        self.cellpar = [float(v) for v in cellpar]
        self.symbols = list(symbols)
        self.fract = np.array(fract, dtype=float).reshape(-1, 3)
        self.forces = None if forces is None else np.array(forces, dtype=float).reshape(-1, 3)
        self.cell = None if cell is None else np.array(cell, dtype=float).reshape(3, 3)

    @staticmethod
    def from_atoms(atoms, with_forces=False):
        forces = None
        if with_forces:
            forces = atoms.get_forces()
        return Structure(atoms.cell.cellpar(), atoms.get_chemical_symbols(), atoms.get_scaled_positions(wrap=False),
                         forces, atoms.cell[:])


def wrapped_difference(a, b):
    """Largest component of a - b after removing whole lattice translations."""
    import numpy as np
    d = np.asarray(a, dtype=float) - np.asarray(b, dtype=float)
    d -= np.round(d)
    return float(np.max(np.abs(d))) if d.size else 0.0


def compare_cellpar(what, got, expected, length_tol, angle_tol, relative):
    names = ("a", "b", "c", "alpha", "beta", "gamma")
    for i in range(6):
        tol = length_tol if i < 3 else angle_tol
        if relative:
            tol *= abs(expected[i])
        checks.close("%s %s" % (what, names[i]), float(got[i]), float(expected[i]), tol)


def compare_sites_in_order(what, symbols, fract, expected, tol):
    """Same element symbols in the same order and the same fractional
    positions up to whole lattice translations."""
    if not checks.check(len(symbols) == len(expected.symbols),
                        "%s: %d atoms read, expected %d" % (what, len(symbols), len(expected.symbols))):
        return
    checks.check(list(symbols) == expected.symbols,
                 "%s: elements %s, expected %s" % (what, " ".join(symbols), " ".join(expected.symbols)))
    for i in range(len(symbols)):
        d = wrapped_difference(fract[i], expected.fract[i])
        checks.check(d <= tol, "%s: atom %d at %s, expected %s (off by %.3g)"
                     % (what, i + 1, list(fract[i]), list(expected.fract[i]), d))


def compare_sites_as_set(what, symbols, fract, expected, tol):
    """The same atoms in any order: each expected atom has exactly one read
    atom of the same element at the same place (up to lattice translations)."""
    if not checks.check(len(symbols) == len(expected.symbols),
                        "%s: %d atoms read, expected %d" % (what, len(symbols), len(expected.symbols))):
        return
    used = [False] * len(symbols)
    for i, sym in enumerate(expected.symbols):
        found = None
        for j in range(len(symbols)):
            if not used[j] and symbols[j] == sym and wrapped_difference(fract[j], expected.fract[i]) <= tol:
                found = j
                break
        if checks.check(found is not None, "%s: no %s atom read at %s" % (what, sym, list(expected.fract[i]))):
            used[found] = True


# ------------------------------------------------------------------ CIF files

def cif_symmetry_operations(path):
    import gemmi
    block = gemmi.cif.read_file(path).sole_block()
    return [gemmi.cif.as_string(v) for v in block.find_values("_symmetry_equiv_pos_as_xyz")]


def expand_with_gemmi(small, op_texts):
    """Applies the operation texts (parsed by gemmi) to the asymmetric unit;
    returns element symbols and fractional positions of the distinct atoms."""
    import gemmi
    import numpy as np
    ops = [gemmi.Op(t) for t in op_texts]
    symbols, fract = [], []
    for site in small.sites:
        xyz = [site.fract.x, site.fract.y, site.fract.z]
        for op in ops:
            p = np.array(op.apply_to_xyz(xyz))
            p -= np.floor(p)
            if all(not (s == site.element.name and wrapped_difference(p, q) < 1e-4)
                   for s, q in zip(symbols, fract)):
                symbols.append(site.element.name)
                fract.append(p)
    return symbols, np.array(fract).reshape(-1, 3)


def expand_with_ase(path):
    """Cell parameters, element symbols and fractional positions of all atoms
    as ASE's CIF parser reads the file and ASE's operation parser expands its
    symmetry operations (without looking the space group up)."""
    import numpy as np
    from ase.io.cif import parse_cif
    from ase.spacegroup.spacegroup import parse_sitesym
    from ase.symbols import string2symbols
    block = next(iter(parse_cif(path)))
    ops = block.get("_symmetry_equiv_pos_as_xyz")
    ops = [ops] if isinstance(ops, str) else list(ops)
    rot, trans = parse_sitesym(ops)
    symbols, fract = [], []
    for sym, x, y, z in zip(block.get("_atom_site_type_symbol"), block.get("_atom_site_fract_x"),
                            block.get("_atom_site_fract_y"), block.get("_atom_site_fract_z")):
        element = string2symbols(sym)[0]
        for r, t in zip(rot, trans):
            p = r @ np.array([x, y, z]) + t
            p -= np.floor(p)
            if all(not (s == element and wrapped_difference(p, q) < 1e-4) for s, q in zip(symbols, fract)):
                symbols.append(element)
                fract.append(p)
    return block.get_cellpar(), symbols, np.array(fract).reshape(-1, 3)


def check_cif(path, expected, asym=None, in_order=True, ase_reads_file=True):
    """Reads a CIF written by Quorvel with gemmi and ASE.

    expected: the Structure of the whole unit cell.
    asym: for a CIF that carries an asymmetric unit with symmetry operations,
    the Structure of that asymmetric unit (in file order); None when the file
    holds every atom of the cell (operation x,y,z only).
    in_order: the cell's atoms are compared in order (P1 files) rather than as a set.
    ase_reads_file: False where ASE's own CIF reading refuses the file for a
    reason listed in README (Known limitations); its parser and operation
    expansion are still checked."""
    import ase.io
    import gemmi
    name = os.path.basename(path)
    old_topic, checks.topic = checks.topic, name
    if not checks.check(os.path.isfile(path), "not written"):
        checks.topic = old_topic
        return

    # gemmi: CIF 1.1 syntax, by the program and by the library.
    proc = subprocess.run(["gemmi", "validate", path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    checks.check(proc.returncode == 0, "gemmi validate: " + proc.stdout.decode("latin-1"))
    try:
        small = gemmi.read_small_structure(path)
    except Exception as e:  # noqa: BLE001 - any refusal is the finding
        checks.check(False, "gemmi cannot read it: %s" % e)
        checks.topic = old_topic
        return

    # gemmi: cell, sites of the file, and the operations expanding them.
    c = small.cell
    compare_cellpar("gemmi cell", [c.a, c.b, c.c, c.alpha, c.beta, c.gamma], expected.cellpar,
                    CIF_LENGTH_REL, CIF_ANGLE_REL, relative=True)
    file_sites = asym if asym is not None else expected
    symbols = [s.element.name for s in small.sites]
    fract = [[s.fract.x, s.fract.y, s.fract.z] for s in small.sites]
    compare_sites_in_order("gemmi sites", symbols, fract, file_sites, CIF_FRACT)
    for s in small.sites:
        checks.check(abs(s.occ - 1.0) < 1e-9, "gemmi: site %s occupancy %g" % (s.label, s.occ))
    try:
        ops = cif_symmetry_operations(path)
        symbols, fract = expand_with_gemmi(small, ops)
        checks.check(len(ops) > 0, "no symmetry operations")
        compare_sites_as_set("gemmi expanded by the file's %d operations" % len(ops), symbols, fract, expected, CIF_FRACT)
    except Exception as e:  # noqa: BLE001
        checks.check(False, "gemmi refuses the symmetry operations: %s" % e)

    # ASE's parser and its operation parser, applied to the file's sites.
    try:
        cellpar, symbols, fract = expand_with_ase(path)
        compare_cellpar("ASE parser cell", cellpar, expected.cellpar, CIF_LENGTH_REL, CIF_ANGLE_REL, relative=True)
        compare_sites_as_set("ASE parser expanded by the file's operations", symbols, fract, expected, CIF_FRACT)
    except Exception as e:  # noqa: BLE001
        checks.check(False, "ASE's parser refuses it: %s" % e)

    # ASE: cell and every atom of the cell after its own symmetry expansion.
    if not ase_reads_file:
        checks.topic = old_topic
        return
    try:
        atoms = ase.io.read(path, format="cif")
    except Exception as e:  # noqa: BLE001
        checks.check(False, "ASE cannot read it: %s" % e)
        checks.topic = old_topic
        return
    compare_cellpar("ASE cell", atoms.cell.cellpar(), expected.cellpar, CIF_LENGTH_REL, CIF_ANGLE_REL, relative=True)
    compare = compare_sites_in_order if in_order else compare_sites_as_set
    compare("ASE atoms", atoms.get_chemical_symbols(), atoms.get_scaled_positions(wrap=False), expected, CIF_FRACT)
    checks.topic = old_topic


# ------------------------------------------------------------------ XSF files

def check_xsf(path, expected_frames, numbers=None, forces_known=None, known_frames=None):
    """Reads an animated XSF file with ASE and compares every frame with the
    expected Structure: cell, atomic numbers, positions (through the cell read
    from the file) and, where the expected frame has them, forces turned into
    the file's orientation.

    numbers: the atomic numbers expected in every frame, when they are not
    those of the element symbols.
    forces_known: the reason why the forces of frames whose cell is turned
    against the file's orientation are known to disagree.
    known_frames: {frame number: reason} for other known force disagreements."""
    import ase.io
    import numpy as np
    from ase.data import atomic_numbers
    from ase.units import Hartree
    name = os.path.basename(path)
    old_topic, checks.topic = checks.topic, name
    try:
        frames = ase.io.read(path, index=":", format="xsf")
    except Exception as e:  # noqa: BLE001
        checks.check(False, "ASE cannot read it: %s" % e)
        checks.topic = old_topic
        return
    with open(path) as f:
        first = f.readline().split()
    checks.check(first[:1] == ["ANIMSTEPS"] and int(first[1]) == len(expected_frames),
                 "header %s announces another frame count than %d" % (first, len(expected_frames)))
    if not checks.check(len(frames) == len(expected_frames),
                        "ASE reads %d frames, expected %d" % (len(frames), len(expected_frames))):
        checks.topic = old_topic
        return
    for k, (atoms, exp) in enumerate(zip(frames, expected_frames), start=1):
        what = "frame %d" % k
        checks.check(all(atoms.pbc), what + ": not periodic")
        compare_cellpar(what + " cell", atoms.cell.cellpar(), exp.cellpar, XSF_LENGTH, XSF_ANGLE, relative=False)
        want = numbers if numbers is not None else [atomic_numbers[s] for s in exp.symbols]
        if not checks.check(list(atoms.numbers) == list(want),
                            "%s: atomic numbers %s, expected %s" % (what, list(atoms.numbers), list(want))):
            continue
        # Positions: the expected fractional positions placed in the cell as read.
        cart = exp.fract @ atoms.cell[:]
        d = np.max(np.abs(atoms.positions - cart)) if len(cart) else 0.0
        checks.check(d <= XSF_POSITION, "%s: positions off by %.3g A" % (what, d))
        if exp.forces is not None:
            # A rotation R with input cell @ R = file cell carries the input's
            # force vectors into the file's frame.
            rot = np.linalg.solve(exp.cell, atoms.cell[:])
            want_f = exp.forces @ rot
            # ASE takes XSF forces as Hartree/A (XCrySDen's convention) and
            # multiplies them by 27.2; Quorvel writes them in the unit of the
            # converted program's output (see README, Known limitations).
            got_f = atoms.get_forces() / Hartree
            d = np.max(np.abs(got_f - want_f)) if len(got_f) else 0.0
            ok = d <= XSF_FORCE + 1e-9 * np.max(np.abs(want_f), initial=0.0)
            turned = np.max(np.abs(exp.forces - want_f), initial=0.0) > XSF_FORCE
            if known_frames and k in known_frames:
                checks.known(ok, "%s: forces off by %.3g" % (what, d), known_frames[k])
            elif forces_known and turned:
                checks.known(ok, "%s: forces off by %.3g" % (what, d), forces_known)
                # Their lengths still agree.
                dn = np.max(np.abs(np.linalg.norm(got_f, axis=1) - np.linalg.norm(want_f, axis=1)))
                checks.check(dn <= 2 * XSF_FORCE, "%s: force lengths off by %.3g" % (what, dn))
            else:
                checks.check(ok, "%s: forces off by %.3g" % (what, d))
    checks.topic = old_topic


# ------------------------------------------------------------------ CAR files

def car_with_title_line(path):
    """Copy of a Quorvel .car file with the title line that ASE's and Open
    Babel's readers expect between PBC=ON and !DATE (see README, Known
    limitations)."""
    with open(path) as f:
        lines = f.readlines()
    fixed = path + ".titled.car"
    with open(fixed, "w") as f:
        f.writelines(lines[:2] + ["Quorvel\n"] + lines[2:])
    return fixed


def read_car_obabel(path):
    """Element symbols, Cartesian positions and cell parameters as Open Babel
    reads them (positions from its XYZ output, the cell from its CIF output)."""
    xyz = subprocess.run(["obabel", "-icar", path, "-oxyz"], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE).stdout.decode("latin-1").splitlines()
    n = int(xyz[0]) if xyz and xyz[0].strip().isdigit() else 0
    symbols, pos = [], []
    for line in xyz[2:2 + n]:
        w = line.split()
        symbols.append(w[0])
        pos.append([float(v) for v in w[1:4]])
    cif = subprocess.run(["obabel", "-icar", path, "-ocif"], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE).stdout.decode("latin-1").splitlines()
    cellpar = [float("nan")] * 6
    keys = ["_cell_length_a", "_cell_length_b", "_cell_length_c",
            "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"]
    for line in cif:
        w = line.split()
        if len(w) == 2 and w[0] in keys:
            cellpar[keys.index(w[0])] = float(w[1])
    return symbols, pos, cellpar


def check_car(path, expected):
    """Reads a .car file (with the title line added) with ASE and Open Babel:
    cell parameters, element symbols and Cartesian positions of every atom,
    which must be the expected fractional positions in the cell read."""
    import ase.io
    import numpy as np
    from ase.geometry import cellpar_to_cell
    name = os.path.basename(path)
    old_topic, checks.topic = checks.topic, name
    if not checks.check(os.path.isfile(path), "not written"):
        checks.topic = old_topic
        return
    fixed = car_with_title_line(path)
    try:
        atoms = ase.io.read(fixed, format="dmol-car")
        compare_cellpar("ASE cell", atoms.cell.cellpar(), expected.cellpar, CAR_LENGTH, CAR_ANGLE, relative=False)
        # Fractional positions through the cell as read (its %8.4f rounding
        # moves them by up to about 1e-5).
        compare_sites_in_order("ASE atoms", atoms.get_chemical_symbols(),
                               atoms.get_scaled_positions(wrap=False), expected, 2e-5)
        # The Cartesian positions themselves, in the cell's standard
        # orientation (a along x, b in the xy plane).
        cart = expected.fract @ cellpar_to_cell(expected.cellpar)
        d = np.max(np.abs(atoms.positions - cart)) if len(cart) else 0.0
        checks.check(d <= CAR_POSITION, "ASE Cartesian positions off by %.3g A" % d)
    except Exception as e:  # noqa: BLE001
        checks.check(False, "ASE cannot read it: %s" % e)
    symbols, pos, cellpar = read_car_obabel(fixed)
    compare_cellpar("Open Babel cell", cellpar, expected.cellpar, CAR_LENGTH, CAR_ANGLE, relative=False)
    if checks.check(symbols == expected.symbols, "Open Babel elements %s, expected %s"
                    % (" ".join(symbols), " ".join(expected.symbols))):
        cart = expected.fract @ cellpar_to_cell(expected.cellpar)
        # Open Babel prints five decimals.
        d = np.max(np.abs(np.array(pos) - cart)) if len(cart) else 0.0
        checks.check(d <= 5.1e-6 + 1e-6, "Open Babel positions off by %.3g A" % d)
    checks.topic = old_topic
