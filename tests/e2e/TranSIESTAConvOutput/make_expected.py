#!/usr/bin/env python3
"""Writes the end-to-end cases of TranSIESTAConvOutput.

Each case starts from known structures (cell, elements, positions and forces
per step). From them this script writes the TranSIESTA-C output log (and the
.atk input) in the layouts the program prints, and works out, with the rules
of the conversion, what the run must print and write: the XSF frames, the
two CIF files, the updated .atk file and the RDF tables. Nothing here comes
from a run of the program. The arithmetic that decides printed digits (the
Gauss-Jordan inversion, the cell in standard orientation, pi to ten
decimals) follows the documented formulas step by step, so that values which
round to zero keep the same sign as in the program.

Run: /usr/bin/python3 tests/e2e/TranSIESTAConvOutput/make_expected.py
"""
import math
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
from formulas import fold, rdf_tables  # noqa: E402
PI = 3.1415926535
DEG_TO_RAD = PI * (1.0 / 180.0)
RAD_TO_DEG = 180.0 / PI

BANNER = ("\n===================================================\n"
          "      File Converter for MD/ab-initio programs\n"
          "===================================================\n\n")
FINISH = "\nQuorvel finished.\n\n"
DASHES = "-" * 70


def run_header(args, dbdir="{TESTDB}"):
    out = BANNER
    for a in args:
        out += "arg: %s\n" % a
        if not a.startswith("--"):
            out += "Add File [%s].\n" % a
    for name, f in (("NONRELPath:  ", "nonrel"), ("ASFDCPath :  ", "asfdc"), ("AtomDBPath:  ", "nonrel"),
                    ("SPGDBPath :  ", "spgra")):
        out += "%s%s/%s\n" % (name, dbdir, f)
    return out + "\n\nMake XSF file from TranSIESTA-C Output.\n"


# Atomic numbers of the test database (tests/e2e/testdb/nonrel).
Z = {"H": 1, "C": 6, "N": 7, "O": 8, "Si": 14, "S": 16, "Ga": 31, "Au": 79}


def as_printed(v, decimals):
    """The value a reader gets back from the log, where it is printed with this many decimals."""
    return float("%.*f" % (decimals, v))


def minver3(m):
    """Gauss-Jordan inversion with partial pivoting, in place on a 9-list; 0 or 1 (singular)."""
    n = 3
    p = [0, 1, 2]
    for k in range(n):
        r, best = k, 0.0
        for i in range(k, n):
            v = abs(m[i * 3 + k])
            if v > best:
                best, r = v, i
        pivot = m[r * 3 + k]
        if abs(pivot) <= 1e-6:
            return 1
        if r != k:
            p[k], p[r] = p[r], p[k]
            for j in range(n):
                m[k * 3 + j], m[r * 3 + j] = m[r * 3 + j], m[k * 3 + j]
        for j in range(n):
            m[k * 3 + j] /= pivot
        for i in range(n):
            if i == k:
                continue
            w = m[i * 3 + k]
            if w == 0.0:
                continue
            for j in range(n):
                if j != k:
                    m[i * 3 + j] -= w * m[k * 3 + j]
            m[i * 3 + k] = -w / pivot
        m[k * 3 + k] = 1.0 / pivot
    for i in range(n):
        while p[i] != i:
            mm = p[i]
            p[mm], p[i] = p[i], p[mm]
            for j in range(n):
                m[j * 3 + i], m[j * 3 + mm] = m[j * 3 + mm], m[j * 3 + i]
    return 0


def to_fractional(cell, x, y, z):
    m = [cell[i][j] for i in range(3) for j in range(3)]
    if minver3(m):
        return None
    return (m[0] * x + m[3] * y + m[6] * z, m[1] * x + m[4] * y + m[7] * z, m[2] * x + m[5] * y + m[8] * z)


def parameters(vectors):
    ln = [math.sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]) for v in vectors]

    def angle(i, j):
        u, v = vectors[i], vectors[j]
        c = (u[0] * v[0] + u[1] * v[1] + u[2] * v[2]) / (ln[i] * ln[j])
        return math.acos(max(-1.0, min(1.0, c))) * RAD_TO_DEG

    return ln[0], ln[1], ln[2], angle(1, 2), angle(0, 2), angle(0, 1)


class Crystal:
    def __init__(self, vectors_as_read):
        self.a, self.b, self.c, self.alpha, self.beta, self.gamma = parameters(vectors_as_read)
        ca, cb = math.cos(self.alpha * DEG_TO_RAD), math.cos(self.beta * DEG_TO_RAD)
        cg, sg = math.cos(self.gamma * DEG_TO_RAD), math.sin(self.gamma * DEG_TO_RAD)
        t = (ca - cb * cg) / sg
        u2 = 1.0 - cb * cb - t * t
        u = math.sqrt(u2) if u2 > 0 else 0.0
        self.vec = [[self.a, 0.0, 0.0], [self.b * cg, self.b * sg, 0.0], [self.c * cb, self.c * t, self.c * u]]
        p = (self.a, self.b, self.c)
        self.G = [[p[i] * p[i] if i == j else 0.0 for j in range(3)] for i in range(3)]
        self.G[0][1] = self.G[1][0] = self.a * self.b * cg
        self.G[0][2] = self.G[2][0] = self.a * self.c * cb
        self.G[1][2] = self.G[2][1] = self.b * self.c * ca
        self.types = []
        self.sites = []  # [label, type, x, y, z, (fx, fy, fz)]

    def add(self, element, x, y, z, force, out):
        if element.lower() not in [t.lower() for t in self.types]:
            self.types.append(element)
            out.append("nSameAtom=0\n")
        n = sum(1 for s in self.sites if s[1].lower() == element.lower())
        self.sites.append([element + str(n + 1), element, x, y, z, force])

    def cartesian(self, x, y, z):
        v = self.vec
        return (x * v[0][0] + y * v[1][0] + z * v[2][0], x * v[0][1] + y * v[1][1] + z * v[2][1],
                x * v[0][2] + y * v[1][2] + z * v[2][2])

    def distance2(self, p, q):
        d = [q[i] - p[i] for i in range(3)]
        G = self.G
        return (G[0][0] * d[0] * d[0] + G[1][1] * d[1] * d[1] + G[2][2] * d[2] * d[2] +
                2 * (G[0][1] * d[0] * d[1] + G[0][2] * d[0] * d[2] + G[1][2] * d[1] * d[2]))

    def copy(self):
        import copy
        return copy.deepcopy(self)


def xsf_frame(cr, step):
    s = ""
    for tag in ("PRIMVEC", "CONVVEC"):
        s += "%s %d\n" % (tag, step)
        for v in cr.vec:
            s += " %16.10f %16.10f %16.10f\n" % (v[0] * 10.0, v[1] * 10.0, v[2] * 10.0)
    s += "PRIMCOORD %d\n %d  1\n" % (step, len(cr.sites))
    for label, t, x, y, z, f in cr.sites:
        X, Y, Zc = cr.cartesian(x, y, z)
        s += "%3d   %12.7f %12.7f %12.7f   %12.7f %12.7f %12.7f\n" % (Z[t], X * 10.0, Y * 10.0, Zc * 10.0, *f)
    return s


def cif(cr):
    formula = "".join("%s0 " % t for t in cr.types)
    s = "data_99999-ICSD\n\n_audit_creation_date               2000/01/01\n"
    s += "_audit_creation_method             'Quorvel.exe 0.1'\n\n_database_code_ICSD                99999\n\n"
    s += "_chemical_name_systematic          'None'\n"
    s += "_chemical_formula_structural       '%s'\n_chemical_formula_sum              '%s'\n\n" % (formula, formula)
    for n, v in (("_cell_length_a", cr.a * 10), ("_cell_length_b", cr.b * 10), ("_cell_length_c", cr.c * 10),
                 ("_cell_angle_alpha", cr.alpha), ("_cell_angle_beta", cr.beta), ("_cell_angle_gamma", cr.gamma)):
        s += "%-35s%g\n" % (n, v)
    s += "\n_symmetry_space_group_name_H-M     'P1'\n_symmetry_Int_Tables_number        1\n\n"
    s += "loop_\n_symmetry_equiv_pos_as_xyz         \n  'x,y,z'\n\n"
    s += "loop_\n_atom_type_symbol  \n_atom_type_oxidation_number        \n"
    for t in cr.types:
        s += "  %8s   %f\n" % (t, 0.0)
    s += "\nloop_\n"
    for col in ("label", "type_symbol", "symmetry_multiplicity", "Wyckoff_symbol", "fract_x", "fract_y", "fract_z",
                "occupancy", "attached_hydrogens", "calc_flag"):
        s += "_atom_site_%s\n" % col
    for label, t, x, y, z, f in cr.sites:
        s += "  %8s  %8s  %2d %c  %10.6f  %10.6f  %10.6f  %10.4f %2d %c\n" % (
            label, t, 1, "i", fold(x + 1e-8), fold(y + 1e-8), fold(z + 1e-8), 1.0, 0, "a")
    return s + "\n\n#End of data_99999-ICSD\n"


def rdf(cr, rmax, nmesh, mode, out):
    """The RDF tables of the crystal: {file name: text}; messages appended to out."""
    dr = rmax / (nmesh - 1)
    s = min(abs(math.sin(cr.alpha * DEG_TO_RAD)), abs(math.sin(cr.beta * DEG_TO_RAD)),
            abs(math.sin(cr.gamma * DEG_TO_RAD)))
    rng = [1 - int(-0.1 * rmax / L / s) for L in (cr.a, cr.b, cr.c)]
    out.append("Lattice parameters: %g %g %g  %g %g %g\n" % (cr.a, cr.b, cr.c, cr.alpha, cr.beta, cr.gamma))
    out.append("MaximumDistance: %g A\nnMesh: %d\n  Lattice Range: %d %d %d\n" % (rmax, nmesh, *rng))
    nt = len(cr.types)
    index = {t: i for i, t in enumerate(cr.types)}
    table = [[[0.0] * nmesh for _ in range(nt)] for _ in range(nt)]
    counted = [0] * nt
    for c in cr.sites:
        ci = index[c[1]]
        counted[ci] += 1
        p = (fold(c[2]), fold(c[3]), fold(c[4]))
        for lc in range(-rng[2], rng[2] + 1):
            for lb in range(-rng[1], rng[1] + 1):
                for la in range(-rng[0], rng[0] + 1):
                    for n in cr.sites:
                        q = (fold(n[2]) + la, fold(n[3]) + lb, fold(n[4]) + lc)
                        d = 10 * math.sqrt(cr.distance2(p, q))
                        if d <= rmax:
                            k = min(int(d / dr), nmesh - 1)
                            table[ci][index[n[1]]][k] += 1.0
    text, files = rdf_tables(cr.types, table, counted, dr, mode)
    out.append(text)
    return files


class Run:
    """One conversion: the log's starting structure and steps, and what the program makes of them."""

    def __init__(self, constant, vectors, elements, positions):
        self.constant = constant
        self.vectors = vectors              # in units of the lattice constant, as the log writes them
        self.elements = elements
        self.positions = positions          # Angstrom
        self.cell = [[v * constant * 0.1 for v in row] for row in vectors]  # nm, as read

    def convert(self, pos, out):
        out.append("(%g,%g,%g) => " % tuple(pos))
        f = to_fractional(self.cell, 0.1 * pos[0], 0.1 * pos[1], 0.1 * pos[2])
        if f is None:
            out.append("Error in CCrystal::CartesianToFractional: return of minver is 1\n")
            f = (0.0, 0.0, 0.0)
        out.append("(%g,%g,%g)\n" % f)
        return f

    def initial(self, out):
        out.append("TranSIESTA::ReadInitialCrystalStructureFromOutput in\n")
        cr = Crystal(self.cell)
        out.append("Lattice parameters: %g %g %g nm  %g %g %g\n" % (cr.a, cr.b, cr.c, cr.alpha, cr.beta, cr.gamma))
        for e, p in zip(self.elements, self.positions):
            out.append("%s " % e)
            f = self.convert(p, out)
            cr.add(e, *f, (0.0, 0.0, 0.0), out)
        out.append("TranSIESTA::ReadInitialCrystalStructureFromOutput out\n")
        return cr


def write_case(name, args, inputs, stdout, outputs, exit_code=None):
    case = os.path.join(HERE, name)
    shutil.rmtree(case, ignore_errors=True)
    os.makedirs(case)
    with open(os.path.join(case, "args"), "w") as f:
        f.write("".join(a + "\n" for a in args))
    for rel, text in inputs.items():
        p = os.path.join(case, "in", rel)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "w", newline="") as f:
            f.write(text)
    with open(os.path.join(case, "stdout"), "w") as f:
        f.write(stdout)
    for rel, text in outputs.items():
        p = os.path.join(case, "out", rel)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "w", newline="") as f:
            f.write(text)
    if exit_code is not None:
        with open(os.path.join(case, "exit_code"), "w") as f:
            f.write("%d\n" % exit_code)


def log_header(label):
    return ("+" + "-" * 68 + "+\n"
            "|  TranSIESTA-C  version 1.3.0                                        |\n"
            "|  Copyright Atomistix A/S                                            |\n"
            "+" + "-" * 68 + "+\n\n"
            "Reading input file : %s.atk\n\n"
            "# ---------------------------------------------------------------\n"
            "# Input parameters\n"
            "# ---------------------------------------------------------------\n"
            "SystemLabel                 %s\n"
            "SolutionMethod              diagon\n"
            "MeshCutoff                  150.000000 Ry\n" % (label, label))


def cell_block(constant, vectors):
    s = "UnitCell::LatticeConstant   %.6f Ang\n%%block Bulk::UnitCell\n" % constant
    for v in vectors:
        s += "  %14.9f %14.9f %14.9f\n" % tuple(v)
    return s + "%endblock Bulk::UnitCell\n"


def update_atk(atk_text, cr):
    """The updated .atk file: new cell block, rewritten bulk atom list, everything else as it was."""
    lines = atk_text.split("\n")
    lines = [l + "\n" for l in lines[:-1]] + ([lines[-1]] if lines[-1] else [])
    out, i = "", 0
    while i < len(lines):
        l = lines[i]
        i += 1
        if "UnitCell::LatticeConstant" in l:
            L = cr.vec[0][0]
            out += "UnitCell::LatticeConstant %g Ang\n%%block Bulk::UnitCell\n" % (10 * L)
            for v in cr.vec:
                out += "%12.8f %12.8f %12.8f\n" % (v[0] / L, v[1] / L, v[2] / L)
            out += "%endblock Bulk::UnitCell\n"
            while i < len(lines):
                i += 1
                if "%endblock" in lines[i - 1]:
                    break
        elif "%block Bulk::AtomList" in l:
            out += l
            for s in cr.sites:
                X, Y, Zc = cr.cartesian(*s[2:5])
                out += "%4s  %14.10f %14.10f %14.10f\n" % (s[1], X * 10, Y * 10, Zc * 10)
            while i < len(lines):
                i += 1
                if "%endblock" in lines[i - 1]:
                    out += lines[i - 1]
                    break
        else:
            out += l
    return out


def finish_run(run, label, arg, args, log, atk, steps, interval, out, outputs, last_step=0, rdf_options=None):
    """Common tail: step loop (steps are callables that read one step), CIFs, update, RDFs."""
    n_step = len(steps)
    if 0 < last_step < n_step:
        n_step = last_step
    interval = interval if interval > 0 else 1
    n_output = int((n_step - 1) / interval) + 1
    cr = run.initial(out)
    initial = cr.copy()
    out.append("nAtomSites: %d  nAtomType: %d\n" % (len(cr.sites), len(cr.types)))
    out.append("nStep: %d\nnOutputInterval: %d\nnOutput: %d\n" % (n_step, interval, n_output))
    xsf = "ANIMSTEPS %d\nCRYSTAL\n\n" % n_output if n_step > 0 else ""
    frame = 0
    for i in range(n_step):
        steps[i](cr, initial, out)
        if i % interval == 0:
            frame += 1
            xsf += xsf_frame(cr, frame)
            out.append("...Frame %d (T=0, P=0, D=0)\n" % i)
    out.append("\n")
    outputs[label + ".xsf"] = xsf
    out.append("Make CIFFile of initial structure [%s-initial.cif].\n" % label)
    outputs[label + "-initial.cif"] = cif(initial)
    out.append("Make CIFFile of final structure [%s-final.cif].\n" % label)
    outputs[label + "-final.cif"] = cif(cr)
    out.append("Create update file: %s.atk.new\n" % label)
    if atk is None:
        out.append("Can not read [%s.atk].\n" % label)
    else:
        outputs[label + ".atk.new"] = update_atk(atk, cr)
    if rdf_options:
        rmax, nmesh = rdf_options
        out.append("Calculate RDF for initial structure.\n")
        outputs.update(rdf(initial, rmax, nmesh, 0, out))
        out.append("Calculate RDF for final structure.\n")
        outputs.update(rdf(cr, rmax, nmesh, 1, out))


# ---------------------------------------------------------------------------
# Bulk silicon, forces-table dialect: lattice constant 5.43 Ang with unit
# vectors, three relaxation steps, every second written, RDFs on request.

def si8_case():
    label = "si8"
    a = 5.43
    frac = [(0, 0, 0), (0, .5, .5), (.5, 0, .5), (.5, .5, 0), (.25, .25, .25), (.25, .75, .75), (.75, .25, .75),
            (.75, .75, .25)]
    start = [tuple(round(a * f, 6) for f in p) for p in frac]
    start[4] = (1.4, 1.35, 1.3575)  # a displaced atom that the relaxation moves back
    run = Run(a, [[1, 0, 0], [0, 1, 0], [0, 0, 1]], ["Si"] * 8, start)

    def step_positions(k):
        pos = [list(p) for p in start]
        pos[4] = [1.4 - 0.02 * (k + 1), 1.35 + 0.0025 * (k + 1), 1.3575]
        pos[0] = [-0.01 * (k + 1), 0.0, 0.005 * (k + 1)]  # moves out of the cell: folded only in the CIF
        forces = [[0.0, 0.0, 0.0] for _ in pos]
        forces[4] = [-0.5 / (k + 1), 0.125 / (k + 1), 0.0]
        forces[0] = [0.25 / (k + 1), 0.0, -0.0625 / (k + 1)]
        # The values as the log prints them (six decimals).
        return [[as_printed(v, 6) for v in p] for p in pos], [[as_printed(v, 6) for v in f] for f in forces]

    log = log_header(label) + cell_block(a, run.vectors)
    log += "%block Bulk::AtomList\n"
    for e, p in zip(run.elements, start):
        log += "%-4s %14.6f %14.6f %14.6f\n" % (e, *p)
    log += "%endblock Bulk::AtomList\n\n# Initial configuration read.\n\n"
    steps = []
    for k in range(3):
        pos, forces = step_positions(k)
        log += "\n" + "=" * 70 + "\n  Geometry optimization step %4d\n" % (k + 1) + "=" * 70 + "\n"
        log += "Total energy = %.6f eV\n\n" % (-863.123456 - 0.01 * k)
        log += "#   Forces     in eV/Ang\n"
        log += "# " + DASHES + "\n#%12s%12s%12s%12s%12s%12s%12s%12s%12s\n" % (
            "X", "Y", "Z", "dX", "dY", "dZ", "Fx", "Fy", "Fz") + "# " + DASHES + "\n"
        for p, f in zip(pos, forces):
            log += " %11.6f %11.6f %11.6f %11.6f %11.6f %11.6f %11.6f %11.6f %11.6f\n" % (
                *p, 0.0, 0.0, 0.0, *f)
        log += "# " + DASHES + "\n  Max force = %.6f eV/Ang\n" % max(abs(x) for f in forces for x in f)

        def read(cr, initial, out, pos=pos, forces=forces):
            out.append("TranSIESTA::ReadNextCrystalStructureFromOutput in\n")
            rows = [(run.convert(p, out), f) for p, f in zip(pos, forces)]
            out.append("natoms: %d\n" % len(rows))
            cr.sites = []
            for e, (fr, f) in zip(run.elements, rows):
                out.append("%s\n" % e)
                cr.add(e, *fr, tuple(f), out)
            out.append("TranSIESTA::ReadNextCrystalStructureFromOutput out\n")
        steps.append(read)
    log += "\nRelaxation finished.\n"

    atk = ("# Bulk silicon, geometry optimisation\n"
           "SystemLabel        si8\n"
           "SolutionMethod     diagon\n"
           "MeshCutoff         150 Ry\n\n" + cell_block(a, run.vectors) + "\n"
           "%block Bulk::AtomList\n" + "".join("%-4s %14.6f %14.6f %14.6f\n" % ("Si", *p) for p in start) +
           "%endblock Bulk::AtomList\n\n"
           "MD.TypeOfRun       CG\nMD.NumCGsteps      3\n")
    args = ["--DBDir={TESTDB}", "--Action=TranSIESTAConvOutput", "--nOutputInterval=2", "--CalcRDF=1",
            "--MaximumDistance=3.0", "--nMesh=7", label + ".out"]
    out = [run_header(args), "\n", "ATK file    : si8.atk\n", "Output file : si8.out\n", "XSF file    : si8.xsf\n"]
    outputs = {}
    finish_run(run, label, label + ".out", args, log, atk, steps, 2, out, outputs, rdf_options=(3.0, 7))
    write_case("bulk_forces_table", args, {label + ".out": log, label + ".atk": atk}, "".join(out) + FINISH,
               outputs)


# ---------------------------------------------------------------------------
# Two-probe gold-benzenedithiol-gold junction, forces-table dialect: a full
# list of 20 atoms, a table of 12 rows (4 electrode atoms at each end keep
# their places), then a table closed early after 10 rows (5 at each end).

def two_probe_case():
    label = "aubdt"
    elements = ["Au"] * 4 + ["S", "C", "C", "C", "C", "C", "C", "H", "H", "H", "H", "S"] + ["Au"] * 4
    z_au_left = [0.0, 2.88, 5.76, 8.64]
    z_dev = [11.0, 12.8, 13.5, 13.5, 14.9, 14.9, 15.6, 13.0, 13.0, 15.4, 15.4, 17.4]
    x_dev = [4.5, 4.5, 5.7, 3.3, 5.7, 3.3, 4.5, 6.6, 2.4, 6.6, 2.4, 4.5]
    z_au_right = [20.0, 22.88, 25.76, 28.64]
    start = [(4.5, 4.5, z) for z in z_au_left] + [(x, 4.5, z) for x, z in zip(x_dev, z_dev)] + \
            [(4.5, 4.5, z) for z in z_au_right]
    run = Run(1.0, [[9.0, 0, 0], [0, 9.0, 0], [0, 0, 31.52]], elements, start)

    log = log_header(label) + "TwoProbe.ElectrodeRepetitions  2\n" + cell_block(1.0, run.vectors)
    log += "%block TwoProbe::FullAtomList\n# " + DASHES + "\n#  Index  Element          X              Y              Z\n"
    log += "# " + DASHES + "\n"
    for i, (e, p) in enumerate(zip(elements, start)):
        log += "  %5d  %-4s %14.6f %14.6f %14.6f\n" % (i + 1, e, *p)
    log += "# " + DASHES + "\n%endblock TwoProbe::FullAtomList\n\n"

    steps = []
    for k, m in enumerate((12, 10)):
        half = (20 - m) // 2
        rows = []
        for r in range(m):
            x, y, zc = start[half + r]
            p = (x + 0.01 * (k + 1), y, zc - 0.02 * (r % 3))
            f = (0.0, 0.25 * (r % 2), -0.5 + 0.125 * r)
            rows.append((tuple(as_printed(v, 5) for v in p), tuple(as_printed(v, 5) for v in f)))
        log += "\n  TwoProbe relaxation step %d\n" % (k + 1)
        log += "#   Forces     in eV/Ang\n# " + DASHES + "\n#        X          Y          Z         dX" \
               "         dY         dZ         Fx         Fy         Fz\n# " + DASHES + "\n"
        for p, f in rows:
            log += " %10.5f %10.5f %10.5f %10.5f %10.5f %10.5f %10.5f %10.5f %10.5f\n" % (*p, 0.01, 0.0, 0.0, *f)
        log += "# " + DASHES + "\n"

        def read(cr, initial, out, rows=rows, m=m, half=half):
            out.append("TranSIESTA::ReadNextCrystalStructureFromOutput in\n")
            conv = [(run.convert(p, out), f) for p, f in rows]
            out.append("natoms: %d\n" % m)
            cr.sites = []
            for j in range(20):
                e = elements[j]
                out.append("%s\n" % e)
                if j < half or j >= 20 - half:
                    s = initial.sites[j]
                    cr.add(e, s[2], s[3], s[4], (0.0, 0.0, 0.0), out)
                else:
                    fr, f = conv[j - half]
                    cr.add(e, *fr, f, out)
            out.append("TranSIESTA::ReadNextCrystalStructureFromOutput out\n")
        steps.append(read)

    # The two-probe input: the full atom list is kept as it is.
    atk = ("SystemLabel   aubdt\n" + cell_block(1.0, run.vectors) + "%block TwoProbe::FullAtomList\n" +
           "".join("  %-4s %12.6f %12.6f %12.6f\n" % (e, *p) for e, p in zip(elements, start)) +
           "%endblock TwoProbe::FullAtomList\nTwoProbe.ElectrodeRepetitions  2\n")
    args = ["--DBDir={TESTDB}", "--Action=TranSIESTAConvOutput", label + ".out"]
    out = [run_header(args), "\n", "ATK file    : aubdt.atk\n", "Output file : aubdt.out\n",
           "XSF file    : aubdt.xsf\n"]
    outputs = {}
    finish_run(run, label, label + ".out", args, log, atk, steps, 0, out, outputs)
    write_case("two_probe_forces_table", args, {label + ".out": log, label + ".atk": atk}, "".join(out) + FINISH,
               outputs)


# ---------------------------------------------------------------------------
# Wurtzite GaN, coordinate-update dialect, with a hexagonal cell whose a
# lies along y (not the standard orientation): positions are converted with
# the cell as read. The log name has no ".out" (run.log), there is no .atk
# file, one force line lacks its ':' (force 0), and three steps are cut to two
# by nLastStep.

def gan_case():
    label = "gan"
    vectors = [[0.0, 1.0, 0.0], [-0.866025, -0.5, 0.0], [0.0, 0.0, 1.626]]
    a = 3.189
    cell = [[v * a for v in row] for row in vectors]

    def cart(f):
        return tuple(round(sum(f[i] * cell[i][j] for i in range(3)), 6) for j in range(3))

    frac = [(1 / 3, 2 / 3, 0.0), (2 / 3, 1 / 3, 0.5), (1 / 3, 2 / 3, 0.377), (2 / 3, 1 / 3, 0.877)]
    elements = ["Ga", "Ga", "N", "N"]
    start = [cart(f) for f in frac]
    run = Run(a, vectors, elements, start)

    log = log_header(label) + cell_block(a, vectors) + "%block Bulk::AtomList\n"
    for e, p in zip(elements, start):
        log += "  %-3s %12.6f %12.6f %12.6f\n" % (e, *p)
    log += "%endblock Bulk::AtomList\n\n"

    steps = []
    for k in range(3):
        pos = [cart((f[0], f[1], f[2] + (0.002 * (k + 1) if e == "N" else 0.0))) for e, f in zip(elements, frac)]
        forces = [(0.0, 0.0, 0.03125 * (k + 1)), (0.0, 0.0, -0.03125 * (k + 1)), (0.0, 0.0, -0.0625),
                  (0.0, 0.0, 0.0625)]
        missing = 2 if k == 0 else None  # its force line has no ':'
        log += "\nsiesta: iteration %d\nsiesta: E_KS(eV) = %.4f\n" % (k + 1, -1234.5678 + 0.001 * k)
        log += "NumOrb: Forces (eV/Ang) on atoms\n" + "-" * 46 + "\n"
        for i, f in enumerate(forces):
            if i == missing:
                log += "     %4d  %12.6f %12.6f %12.6f   (constrained)\n" % (i + 1, *f)
            else:
                log += "Force:  %4d  %12.6f %12.6f %12.6f\n" % (i + 1, *f)
        log += "-" * 46 + "\nMax force: %.6f\n\n" % 0.0625
        log += "Updating coords (Ang):\n" + "-" * 46 + "\n  Atom  Element      X            Y            Z\n"
        for i, (e, p) in enumerate(zip(elements, pos)):
            log += "Atom:  %4d  %-3s %12.6f %12.6f %12.6f\n" % (i + 1, e, *p)
        log += "-" * 46 + "\n"

        def read(cr, initial, out, pos=pos, forces=forces, missing=missing):
            out.append("TranSIESTA::ReadNextCrystalStructureFromOutput in\n")
            cr.sites = []
            for i, (e, p) in enumerate(zip(elements, pos)):
                out.append("%s " % e)
                fr = run.convert(p, out)
                cr.add(e, *fr, (0.0, 0.0, 0.0) if i == missing else forces[i], out)
            out.append("TranSIESTA::ReadNextCrystalStructureFromOutput out\n")
        steps.append(read)

    arg = "run.log"
    args = ["--DBDir={TESTDB}", "--Action=TranSIESTAConvOutput", "--nLastStep=2", arg]
    out = [run_header(args), "\n", "ATK file    : run.atk\n", "Output file : run.out\n", "XSF file    : run.xsf\n"]
    outputs = {}
    finish_run(run, "run", arg, args, log, None, steps, 0, out, outputs, last_step=2)
    write_case("coordinate_update_rotated_cell", args, {arg: log}, "".join(out) + FINISH, outputs)


EARLIER_CIF = "data_earlier\n_chemical_name_systematic 'from an earlier run'\n"
EARLIER_XSF = "ANIMSTEPS 1\nCRYSTAL\n\nPRIMVEC 1\n"


def earlier_outputs(base, update):
    """The outputs that an earlier run of the conversion left: a failed run
    leaves them as they were (the runner checks every input)."""
    return {base + ".xsf": EARLIER_XSF, base + "-initial.cif": EARLIER_CIF, base + "-final.cif": EARLIER_CIF,
            update: "earlier update\n"}


def failure_cases():
    # No log: the names, then the message; nothing is written, and the
    # outputs of an earlier run stay as they were.
    args = ["--DBDir={TESTDB}", "--Action=TranSIESTAConvOutput", "dir.v2/missing.out"]
    out = run_header(args) + "\nATK file    : dir.v2/missing.atk\nOutput file : dir.v2/missing.out\n"
    out += "XSF file    : dir.v2/missing.xsf\nCan not read [dir.v2/missing.out].\n" + FINISH
    write_case("missing_log_keeps_earlier_outputs", args, earlier_outputs("dir.v2/missing", "dir.v2/missing.atk.new"),
               out, {})

    # A log without any cell (here: a truncated log that ends inside the
    # input echo) converts nothing and makes no file: the outputs of an
    # earlier run stay as they were.
    log = log_header("cut") + "%block Bulk::AtomList\n  Si  0.0 0.0 0.0\n"
    args = ["--DBDir={TESTDB}", "--Action=TranSIESTAConvOutput", "cut.out"]
    out = run_header(args) + "\nATK file    : cut.atk\nOutput file : cut.out\nXSF file    : cut.xsf\n"
    out += "Error in TranSIESTAConvOutput: No UnitCell::LatticeConstant line in [cut.out].\n" + FINISH
    inputs = {"cut.out": log}
    inputs.update(earlier_outputs("cut", "cut.atk.new"))
    write_case("log_without_cell_keeps_earlier_outputs", args, inputs, out, {})

    # A log named like the XSF file is left as it is.
    args = ["--DBDir={TESTDB}", "--Action=TranSIESTAConvOutput", "run.xsf"]
    log = log_header("run") + cell_block(1.0, [[5, 0, 0], [0, 5, 0], [0, 0, 5]])
    log += "#   Forces     in eV/Ang\n#\n#\n#\n"
    out = run_header(args) + "\nATK file    : run.atk\nOutput file : run.out\nXSF file    : run.xsf\n"
    out += "Error in TranSIESTAConvOutput: The XSF file [run.xsf] would replace the log.\n" + FINISH
    write_case("log_named_like_its_xsf_file", args, {"run.xsf": log}, out, {})

    # No file name at all.
    args = ["--DBDir={TESTDB}", "--Action=transiestaconvoutput"]
    out = run_header(args) + "\nATK file    : .atk\nOutput file : .out\nXSF file    : .xsf\nCan not read [].\n"
    write_case("announce_without_input", args, {}, out + FINISH, {})


if __name__ == "__main__":
    si8_case()
    two_probe_case()
    gan_case()
    failure_cases()
