"""An independent model of Quorvel's two VASP actions, for the tests.

It writes VASP files in the layout that VASP 5 and VASP 6 print (POSCAR,
CONTCAR, OUTCAR with its "direct lattice vectors" blocks and "POSITION ...
TOTAL-FORCE (eV/Angst)" tables) and computes, with numpy and the formulas the
program documents, what VASPConvCONTCAR and VASPMakeXSF must print and write:
the reader traces, CIF files, animated XSF files and the RDF / CN tables.

Printed numbers are formatted through checked formatters that refuse a value
lying within a hair of a rounding tie (or a rounding error away from zero),
where two correct programs could print different digits; test inputs are
chosen so that no such value occurs.
"""
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "e2e"))
from formulas import add_cn_steps, fold  # noqa: E402,F401

KPI = 3.1415926535
DEG2RAD = KPI * (1.0 / 180.0)
RAD2DEG = 180.0 / KPI


class NearTie(Exception):
    pass


def _check_rounding(x, decimals):
    if x == 0 or not math.isfinite(x):
        return
    if abs(x) < 1e-9:
        raise NearTie("%r is a rounding error away from zero" % x)
    y = abs(x) * 10.0 ** decimals
    if abs((y - math.floor(y)) - 0.5) < 1e-3:
        raise NearTie("%r lies on a rounding tie at %d decimals" % (x, decimals))


def f(fmt, x):
    """printf-style fixed format ("%12.7f") with the tie check."""
    decimals = int(fmt.rstrip("f").split(".")[1])
    _check_rounding(x, decimals)
    return fmt % x


def g(x):
    """%lg with the tie check (six significant digits)."""
    if x != 0 and math.isfinite(x):
        e = math.floor(math.log10(abs(x)))
        _check_rounding(x, 5 - e)
    return "%g" % x


# ---------------------------------------------------------------------------
# The cell

def cell_parameters(vectors):
    """a, b, c (units of the vectors) and alpha, beta, gamma in degrees."""
    v = np.asarray(vectors, dtype=float)
    lengths = [math.sqrt(float(np.dot(r, r))) for r in v]

    def angle(i, j):
        cosine = float(np.dot(v[i], v[j])) / (lengths[i] * lengths[j])
        return math.acos(max(-1.0, min(1.0, cosine))) * RAD2DEG

    return lengths + [angle(1, 2), angle(0, 2), angle(0, 1)]


def standard_vectors(p):
    """a along x, b in the x-y plane, c completing the cell."""
    a, b, c, al, be, ga = p
    ca, cb, cg = math.cos(al * DEG2RAD), math.cos(be * DEG2RAD), math.cos(ga * DEG2RAD)
    sb, sg = math.sin(be * DEG2RAD), math.sin(ga * DEG2RAD)
    t = (ca - cb * cg) / sg
    u = sb * math.sqrt(1 - (t / sb) ** 2)
    return np.array([[a, 0.0, 0.0], [b * cg, b * sg, 0.0], [c * cb, c * t, c * u]])


def metric(p):
    a, b, c, al, be, ga = p
    ca, cb, cg = math.cos(al * DEG2RAD), math.cos(be * DEG2RAD), math.cos(ga * DEG2RAD)
    return np.array([[a * a, a * b * cg, a * c * cb], [a * b * cg, b * b, b * c * ca], [a * c * cb, b * c * ca, c * c]])


def to_fractional(cartesian, vectors):
    """Row vector of Cartesian coordinates times the inverse of the cell."""
    return np.linalg.solve(np.asarray(vectors, dtype=float).T, np.asarray(cartesian, dtype=float))


# ---------------------------------------------------------------------------
# Element data of the test database

def atomic_numbers(nonrel_path):
    numbers = {}
    with open(nonrel_path) as fh:
        lines = fh.read().split("\n")
    i = 1
    while i + 2 < len(lines):
        key = lines[i].split(" ")[0]
        count = int(lines[i + 1].split()[2])
        numbers[key] = int(lines[i + 2])
        i += 3 + count
    return numbers


# ---------------------------------------------------------------------------
# VASP files

def potcar_stub(titles):
    """A stand-in POTCAR: title lines and end markers only (never real data)."""
    out = []
    for t in titles:
        out.append(" %s\n" % t)
        out.append("   VRHFIN =%s: stub for tests\n" % t.split()[1].split("_")[0])
        out.append("   TITEL  = %s\n" % t)
        out.append(" End of Dataset\n")
    return "".join(out)


def poscar_text(title, scale, vectors, counts, positions, elements=None, mode="Direct", selective=None,
                contcar_layout=False, velocities=False):
    """A POSCAR in the layout of VASP's CONTCAR (contcar_layout) or of the
    usual generators. elements None writes the VASP 4 form."""
    out = []
    if contcar_layout:
        out.append("%-40s\n" % title)
        out.append("   %.14f     \n" % scale)
        for v in vectors:
            out.append(" " + "".join("%22.16f" % x for x in v) + "\n")
        if elements:
            out.append("".join("%5s" % e for e in elements) + "\n")
        out.append("".join("%6d" % n for n in counts) + "\n")
    else:
        out.append(title + "\n")
        out.append("%s\n" % scale)
        for v in vectors:
            out.append("".join("%20.10f" % x for x in v) + "\n")
        if elements:
            out.append("  " + "  ".join(elements) + "\n")
        out.append("  " + "  ".join("%d" % n for n in counts) + "\n")
    if selective:
        out.append(selective + "\n")
    out.append(mode + "\n")
    for i, p in enumerate(positions):
        if contcar_layout:
            line = "".join("%20.16f" % x for x in p)
        else:
            line = "".join("%16.10f" % x for x in p)
        if selective:
            line += "   T   T   F" if i % 2 else "   F   F   T"
        out.append(line + "\n")
    if velocities:
        out.append(" \n")
        for _ in positions:
            out.append("  0.00000000E+00  0.00000000E+00  0.00000000E+00\n")
    return "".join(out)


def _vector_line(v, r):
    return "   " + "".join("%13.9f" % x for x in v) + "   " + "".join("%13.9f" % x for x in r) + "\n"


def _cell_block(vectors):
    v = np.asarray(vectors, dtype=float)
    recip = np.linalg.inv(v).T
    out = ["      direct lattice vectors                 reciprocal lattice vectors\n"]
    for i in range(3):
        out.append(_vector_line(v[i], recip[i]))
    out.append("\n")
    out.append("  length of vectors\n")
    out.append(_vector_line([np.linalg.norm(r) for r in v], [np.linalg.norm(r) for r in recip]))
    return out


def outcar_text(titles, counts, steps, version=5, truncate_last_after=None):
    """An OUTCAR as VASP 5.4 or 6.x prints it for a relaxation. steps is a
    list of (cell vectors, Cartesian positions, forces), in Angstrom and eV/A.
    truncate_last_after cuts the file after that many rows of the last
    position table."""
    natoms = sum(counts)
    head = " vasp.5.4.4.18Apr17-6-g9f103f2a35 (build Mar 26 2019 17:47:52) complex          \n" if version == 5 \
        else " vasp.6.3.2 27Jun22 (build Jul 19 2022 13:07:43) complex                         \n"
    out = [head, "  \n", " executed on             LinuxIFC date 2024.03.11  09:12:44\n",
           " running on    8 total cores\n", " distrk:  each k-point on    8 cores,    1 groups\n",
           " distr:  one band on NCORE=   1 cores,    8 groups\n", "\n\n",
           "-" * 104 + "\n", "\n\n", " INCAR:\n"]
    for t in titles:
        out.append(" POTCAR:    %s\n" % t)
    out.append("\n ----------------------------------------------------------------------------- \n")
    out.append("|                                                                             |\n")
    out.append(" ----------------------------------------------------------------------------- \n\n")
    for t in titles:
        out.append(" POTCAR:    %s\n" % t)
        out.append("   VRHFIN =%s: stub\n" % t.split()[1].split("_")[0])
        out.append("   TITEL  = %s\n" % t)
        out.append("   POMASS =   10.000; ZVAL   =    4.000    mass and valenz\n")
    out.append("\n Dimension of arrays:\n")
    out.append("   k-points           NKPTS =      1   k-points in BZ     NKDIM =      1   number of bands"
               "    NBANDS=     32\n")
    out.append("   number of dos      NEDOS =    301   number of ions     NIONS = %6d\n" % natoms)
    out.append("   ions per type =          " + "".join("%4d" % n for n in counts) + "\n")
    out.append("\n   ISPIN  =      1    spin polarized calculation?\n")
    out.append("   IBRION =      2    ionic relax: 0-MD 1-quasi-New 2-CG\n")
    out.append("   NSW    =    %3d    number of steps for IOM\n\n" % len(steps))
    out.append("-" * 104 + "\n\n")
    out += _cell_block(steps[0][0])
    out.append("\n\n k-points in reciprocal lattice and weights: Auto\n")
    out.append("   0.00000000  0.00000000  0.00000000       1.000\n \n")
    out.append(" position of ions in fractional coordinates (direct lattice) \n")
    for p in to_fractional(np.asarray(steps[0][1]).T, steps[0][0]).T:
        out.append("".join("%12.8f" % x for x in p) + "\n")
    out.append(" \n position of ions in cartesian coordinates  (Angst):\n")
    for p in steps[0][1]:
        out.append("".join("%12.8f" % x for x in p) + "\n")
    out.append("\n\n\n")
    for n, (vectors, positions, forces) in enumerate(steps):
        out.append("----------------------------------------- Iteration %4d(   1)  "
                   "---------------------------------------\n\n" % (n + 1))
        out.append("    POTLOK:  cpu time    0.0099: real time    0.0050\n\n")
        out.append(" E-fermi :   5.1234     XC(G=0): -10.2345     alpha+bet : -8.1234\n\n")
        out.append("  FORCE on cell =-STRESS in cart. coord.  units (eV):\n")
        out.append("  Direction    XX          YY          ZZ          XY          YZ          ZX\n")
        out.append("  " + "-" * 86 + "\n")
        out.append("  Total      -1.38507    -1.38507    -1.38507     0.00000     0.00000     0.00000\n")
        out.append("  in kB     -13.03200   -13.03200   -13.03200     0.00000     0.00000     0.00000\n")
        out.append("  external pressure =      -13.03 kB  Pullay stress =        0.00 kB\n\n\n")
        out.append(" VOLUME and BASIS-vectors are now :\n")
        out.append(" -----------------------------------------------------------------------------\n")
        out.append("  energy-cutoff  :      520.00\n")
        out.append("  volume of cell :  %10.2f\n" % abs(np.linalg.det(np.asarray(vectors))))
        out += _cell_block(vectors)
        out.append("\n\n FORCES acting on ions\n")
        out.append("    electron-ion (+dipol)            ewald-force                    non-local-force"
                   "                 convergence-correction\n")
        out.append(" " + "-" * 95 + "\n")
        for fv in forces:
            out.append("   " + " ".join("%.3E" % x for x in fv) + "   0.000E+00 0.000E+00 0.000E+00"
                       "   0.000E+00 0.000E+00 0.000E+00   0.000E+00 0.000E+00 0.000E+00\n")
        out.append(" " + "-" * 95 + "\n")
        out.append("   0.000E+00 0.000E+00 0.000E+00   0.000E+00 0.000E+00 0.000E+00"
                   "   0.000E+00 0.000E+00 0.000E+00   0.000E+00 0.000E+00 0.000E+00\n \n \n")
        out.append(" POSITION                                       TOTAL-FORCE (eV/Angst)\n")
        out.append(" " + "-" * 83 + "\n")
        rows = len(positions)
        if truncate_last_after is not None and n == len(steps) - 1:
            rows = truncate_last_after
        for p, fv in list(zip(positions, forces))[:rows]:
            out.append("".join("%13.5f" % x for x in p) + "   " + "".join("%14.6f" % x for x in fv) + "\n")
        if rows < len(positions):
            return "".join(out)
        out.append(" " + "-" * 83 + "\n")
        drift = np.sum(np.asarray(forces), axis=0)
        out.append("    total drift:                            " + "".join("%14.6f" % x for x in drift) + "\n")
        out.append("\n\n" + "-" * 104 + "\n\n\n\n")
        out.append("  FREE ENERGIE OF THE ION-ELECTRON SYSTEM (eV)\n")
        out.append("  ---------------------------------------------------\n")
        out.append("  free  energy   TOTEN  =       %.8f eV\n\n" % (-45.1 - 0.01 * n))
        out.append("  energy  without entropy=      %.8f  energy(sigma->0) =      %.8f\n \n\n\n"
                   % (-45.09 - 0.01 * n, -45.095 - 0.01 * n))
        out.append("-" * 104 + "\n\n\n")
        out.append("    LOOP+:  cpu time    1.2345: real time    1.2400\n\n")
    out.append(" General timing and accounting informations for this job:\n")
    out.append(" ========================================================\n")
    return "".join(out)


# ---------------------------------------------------------------------------
# What the program reads from the files it is given (as the test writes them)

def _numbers(line, n):
    """Leading numbers of a line, as successive strtod calls read them."""
    out = []
    for word in line.split():
        if len(out) == n:
            break
        try:
            out.append(float(word))
        except ValueError:
            break
    return out


class Crystal:
    """The crystal as the program holds it after reading a file."""

    def __init__(self):
        self.name = ""
        self.chemical_name = "None"
        self.types = []            # names
        self.counts = []           # per type
        self.params = [0.0] * 6    # nm, degrees
        self.sites = []            # (label, type index, fractional [3], force [3])


def _lines(text):
    """The lines of a text as a line reader delivers them (no empty last one)."""
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def read_potcar(text, log):
    """Type names from the dataset title lines, with AddAtomType's messages."""
    names = []
    lines = _lines(text)
    i = 0
    while i < len(lines):
        title = lines[i].strip(" \t\r\n")
        rest = title.split(" ", 1)[1] if " " in title else title
        name = rest.lstrip(" \t\r\n").split(" ")[0].split("_")[0]
        same = sum(1 for t in names if t.split("{")[0].lower() == name.lower())
        log.append("nSameAtom=%d\n" % same)
        if same:
            name += "{%s}" % chr(ord("a") + same)
            log.append("   [%s]\n" % name)
        names.append(name)
        i += 1
        while i < len(lines) and "END OF DATASET" not in lines[i].upper():
            i += 1
        i += 1
    return names


def read_poscar(poscar, potcar, log, poscar_path, potcar_path):
    """Reads a POSCAR-layout text as the program does and appends its trace
    to log. poscar None: the file is missing; potcar None: no POTCAR.
    Returns the crystal and whether the file was read."""
    cr = Crystal()
    log.append("ReadPOSCARFile:\n")
    if potcar is None:
        log.append("Error in CVASP::ReadPOTCARFile: Can not read [%s].\n" % potcar_path)
    else:
        cr.types = read_potcar(potcar, log)
    if poscar is None:
        log.append("Error: Can not read [%s]\n" % poscar_path)
        return cr, False
    lines = _lines(poscar) + [""] * 8
    cr.name = cr.chemical_name = lines[0].strip(" \t\r\n")
    scale = float(lines[1].split()[0]) * 0.1
    vectors = np.array([[x * scale for x in _numbers(lines[2 + i], 3)] for i in range(3)])
    cr.params = cell_parameters(vectors)
    log.append("  Lattice parameters: %s nm %s nm %s nm   %s %s %s\n" % tuple(g(x) for x in cr.params))
    log.append("nAtomTypes: %d\n" % len(cr.types))
    k = 5
    if any(ch not in " 0123456789\r" for ch in lines[k]):
        k += 1
    words = lines[k].split()
    cr.counts = [int(x) for x in words[:len(cr.types)]]
    for i, n in enumerate(cr.counts):
        log.append("  nEachAtoms[%d]=%d\n" % (i, n))
    if cr.types and len(words) > len(cr.types):
        log.append("Error in CVASP::ReadPOSCARFile: [%s] gives more atom counts than POTCAR has datasets (%d).\n"
                   % (poscar_path, len(cr.types)))
    k += 1
    if lines[k][:9].lower() == "selective":
        k += 1
    direct = "DIRECT" in lines[k].strip().upper()
    k += 1
    short = False
    for t, n in enumerate(cr.counts):
        for j in range(n):
            p = _numbers(lines[k], 3)
            k += 1
            if len(p) < 3:
                short = True
                break
            label = "%s%d" % (cr.types[t], j + 1)
            log.append("  Site: %s (%s,%s,%s) => " % (label, g(p[0]), g(p[1]), g(p[2])))
            frac = list(p) if direct else list(to_fractional([x * scale for x in p], vectors))
            cr.sites.append((label, t, frac, [0.0, 0.0, 0.0]))
            log.append("(%s,%s,%s) %d\n" % (g(frac[0]), g(frac[1]), g(frac[2]), len(cr.sites)))
        if short:
            log.append("Error in CVASP::ReadPOSCARFile: [%s] lists %d atoms, but only %d position lines follow.\n"
                       % (poscar_path, sum(cr.counts), len(cr.sites)))
            break
    return cr, True


def count_steps(outcar):
    return sum(1 for line in _lines(outcar) if "POSITION" in line and "TOTAL-FORCE" in line)


def outcar_steps(outcar, cr, log):
    """The ionic steps as ReadNextCrystalStructureFromOUTCAR reads them, one
    (parameters, fractional positions, forces) at a time, with its messages."""
    lines = _lines(outcar)
    i = 0
    natoms = sum(cr.counts)
    while True:
        for marker in ("VOLUME and BASIS-vectors", "direct lattice vectors"):
            while i < len(lines) and marker not in lines[i]:
                i += 1
            i += 1
        if i > len(lines):
            log.append("Error in ReadNextCrystalStructureFromOUTCAR: OUTCAR ends before the next ionic step.\n")
            return
        vectors = np.array([[x * 0.1 for x in _numbers(lines[i + r], 3)] for r in range(3)])
        params = cell_parameters(vectors)
        log.append("Lattice parameters: %s %s %s nm  %s %s %s\n" % tuple(g(x) for x in params))
        i += 3
        while i < len(lines) and ("POSITION" not in lines[i] or "TOTAL-FORCE" not in lines[i]):
            i += 1
        if i >= len(lines):
            log.append("Error in ReadNextCrystalStructureFromOUTCAR: OUTCAR ends inside an ionic step.\n")
            return
        i += 2
        frac, forces = [], []
        for _ in range(natoms):
            v = _numbers(lines[i], 6) if i < len(lines) else []
            i += 1
            if len(v) < 3:
                log.append("Error in ReadNextCrystalStructureFromOUTCAR: the position table of OUTCAR ends after "
                           "%d of %d atoms.\n" % (len(frac), natoms))
                return
            v += [0.0] * (6 - len(v))
            frac.append(to_fractional([0.1 * x for x in v[:3]], vectors))
            forces.append(v[3:6])
        yield params, frac, forces


# ---------------------------------------------------------------------------
# Writers

def cif_text(cr):
    out = ["data_99999-ICSD\n", "\n", "_audit_creation_date               2000/01/01\n",
           "_audit_creation_method             'Quorvel.exe 0.1'\n", "\n",
           "_database_code_ICSD                99999\n", "\n",
           "_chemical_name_systematic          '%s'\n" % cr.chemical_name[:25]]
    formula = "".join("%s%d " % (t, n) for t, n in zip(cr.types, cr.counts + [0] * (len(cr.types) - len(cr.counts))))
    out.append("_chemical_formula_structural       '%s'\n" % formula)
    out.append("_chemical_formula_sum              '%s'\n" % formula)
    out.append("\n")
    a, b, c, al, be, ga = cr.params
    out.append("_cell_length_a                     %s\n" % g(a * 10))
    out.append("_cell_length_b                     %s\n" % g(b * 10))
    out.append("_cell_length_c                     %s\n" % g(c * 10))
    out.append("_cell_angle_alpha                  %s\n" % g(al))
    out.append("_cell_angle_beta                   %s\n" % g(be))
    out.append("_cell_angle_gamma                  %s\n" % g(ga))
    out.append("\n")
    out.append("_symmetry_space_group_name_H-M     'P1'\n")
    out.append("_symmetry_Int_Tables_number        1\n")
    out.append("\n")
    out.append("loop_\n_symmetry_equiv_pos_as_xyz         \n  'x,y,z'\n")
    out.append("\n")
    out.append("loop_\n_atom_type_symbol  \n_atom_type_oxidation_number        \n")
    for t in cr.types:
        out.append("  %8s   %f\n" % (t, 0.0))
    out.append("\n")
    out.append("loop_\n" + "".join(name + "\n" for name in (
        "_atom_site_label", "_atom_site_type_symbol", "_atom_site_symmetry_multiplicity",
        "_atom_site_Wyckoff_symbol", "_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z",
        "_atom_site_occupancy", "_atom_site_attached_hydrogens", "_atom_site_calc_flag")))
    for label, t, frac, _ in cr.sites:
        xyz = [fold(x + 1e-8) for x in frac]
        out.append("  %8s  %8s  %2d %c  %s  %s  %s  %10.4f %2d %c\n" % (
            label, cr.types[t], 1, "i", f("%10.6f", xyz[0]), f("%10.6f", xyz[1]), f("%10.6f", xyz[2]), 1.0, 0,
            "a"))
    out.append("\n\n#End of data_99999-ICSD\n")
    return "".join(out)


def xsf_frame(step, params, frac, forces, numbers):
    v = standard_vectors(params)
    out = []
    vec_lines = ["".join(" " + f("%16.10f", x * 10) for x in r) + "\n" for r in v]
    out.append("PRIMVEC %d\n" % step)
    out += vec_lines
    out.append("CONVVEC %d\n" % step)
    out += vec_lines
    out.append("PRIMCOORD %d\n" % step)
    out.append(" %d  1\n" % len(frac))
    for p, fv, z in zip(frac, forces, numbers):
        cart = [(p[0] * v[0][k] + p[1] * v[1][k] + p[2] * v[2][k]) * 10 for k in range(3)]
        out.append("%3d   %s %s %s   %s %s %s\n" % (
            z, f("%12.7f", cart[0]), f("%12.7f", cart[1]), f("%12.7f", cart[2]), f("%12.7f", fv[0]),
            f("%12.7f", fv[1]), f("%12.7f", fv[2])))
    return "".join(out)


# ---------------------------------------------------------------------------
# Radial distribution functions and coordination-number tables

def rdf_files(cr, rmax, nmesh, mode, cn, log):
    """The CSV files (name -> text) of CalculateRDF and, with cn > 0,
    CalculateCNRDF, appending their messages to log."""
    if nmesh < 3:
        nmesh = 201
    dr = rmax / (nmesh - 1)
    a, b, c, al, be, ga = cr.params
    G = metric(cr.params)
    s = min(abs(math.sin(al * DEG2RAD)), abs(math.sin(be * DEG2RAD)), abs(math.sin(ga * DEG2RAD)))
    ranges = [1 - math.trunc(-0.1 * rmax / L / s) for L in (a, b, c)]
    ntypes = len(cr.types)
    suffix = {1: "-Final", 2: "-Averaged"}.get(mode, "")
    cart = standard_vectors(cr.params) * 10

    def neighbours(centre):
        x0 = [fold(x) for x in centre[2]]
        for lc in range(-ranges[2], ranges[2] + 1):
            for lb in range(-ranges[1], ranges[1] + 1):
                for la in range(-ranges[0], ranges[0] + 1):
                    for site in cr.sites:
                        x = [fold(site[2][0]) + la, fold(site[2][1]) + lb, fold(site[2][2]) + lc]
                        d = [x[k] - x0[k] for k in range(3)]
                        d2 = (G[0][0] * d[0] ** 2 + G[1][1] * d[1] ** 2 + G[2][2] * d[2] ** 2
                              + 2 * (G[0][1] * d[0] * d[1] + G[0][2] * d[0] * d[2] + G[1][2] * d[1] * d[2]))
                        dist = 10 * math.sqrt(max(d2, 0.0))
                        # The same distance through Cartesian vectors: a second
                        # route that must land in the same bin.
                        other = float(np.linalg.norm(np.dot(d, cart)))
                        if abs(dist - rmax) < 1e-9 and dist != 0:
                            raise NearTie("a distance lies on the cut-off")
                        if dist <= rmax:
                            k = int(dist / dr)
                            if dist > 0 and abs(dist / dr - round(dist / dr)) < 1e-6:
                                raise NearTie("distance %r lies on a bin edge" % dist)
                            assert int(other / dr) == k or other > rmax
                            yield site[1], k

    files = {}
    log.append("Lattice parameters: %s %s %s  %s %s %s\n" % tuple(g(x) for x in cr.params))
    log.append("MaximumDistance: %s A\n" % g(rmax))
    log.append("nMesh: %d\n" % nmesh)
    log.append("  Lattice Range: %d %d %d\n" % tuple(ranges))
    table = [[[0.0] * nmesh for _ in range(ntypes)] for _ in range(ntypes)]
    counted = [0] * ntypes
    for centre in cr.sites:
        counted[centre[1]] += 1
        for t, k in neighbours(centre):
            table[centre[1]][t][k] += 1.0
    for i in range(ntypes):
        if counted[i] == 0:
            log.append(" nCountedAtom for %s is zero. Skipped.\n" % cr.types[i])
            continue
        for j in range(ntypes):
            name = "%s-%s%s-RDF.csv" % (cr.types[i], cr.types[j], suffix)
            log.append("Writing to [%s]...\n" % name)
            lines = ["r(A),RDF(%s-%s),RCN(%s-%s)\n" % (cr.types[i], cr.types[j], cr.types[i], cr.types[j])]
            rcn = 0.0
            for k in range(nmesh):
                gk = table[i][j][k] / counted[i]
                if k > 0:
                    rcn = rcn + gk
                lines.append("%s,%s,%s\n" % (g(k * dr), g(gk), g(rcn)))
            files[name] = "".join(lines)
    if cn <= 0:
        return files
    table = [[[0.0] * nmesh for _ in range(ntypes)] for _ in range(ntypes)]
    for centre in cr.sites:
        own = [[0.0] * nmesh for _ in range(ntypes)]
        for t, k in neighbours(centre):
            own[t][k] += 1.0
        i = centre[1]
        for j in range(ntypes):
            add_cn_steps(table[i][j], own[j], cn)
    for i in range(ntypes):
        for j in range(ntypes):
            name = "%s-%s%s-RDF-CN%d.csv" % (cr.types[i], cr.types[j], suffix, cn)
            log.append("Writing to [%s]...\n" % name)
            lines = ["r(A),RDF(%s-%s),RCN(%s-%s)\n" % (cr.types[i], cr.types[j], cr.types[i], cr.types[j])]
            rcn = 0.0
            for k in range(nmesh):
                if k > 0:
                    rcn = rcn + table[i][j][k]
                lines.append("%s,%s,%s\n" % (g(k * dr), g(table[i][j][k]), g(rcn)))
            files[name] = "".join(lines)
    return files


# ---------------------------------------------------------------------------
# The run frame around an action

def frame_head(args, announcement):
    out = ["\n", "===================================================\n",
           "      File Converter for MD/ab-initio programs\n",
           "===================================================\n", "\n"]
    for a in args:
        out.append("arg: %s\n" % a)
        if not a.startswith("--"):
            out.append("Add File [%s].\n" % a)
    out.append("NONRELPath:  {TESTDB}/nonrel\nASFDCPath :  {TESTDB}/asfdc\n"
               "AtomDBPath:  {TESTDB}/nonrel\nSPGDBPath :  {TESTDB}/spgra\n\n\n")
    out.append(announcement)
    return "".join(out)


FRAME_TAIL = "\nQuorvel finished.\n\n"


def join_path(directory, name):
    if directory == "":
        return name
    if directory[-1] in "/\\":
        return directory + name
    return directory + os.sep + name


def run_directory(argument):
    cut = max(argument.rfind("/"), argument.rfind("\\"))
    return argument if cut < 0 else argument[:cut]
