"""Expected outputs of the conversions, worked out from the documented
formulas (cell vectors, CIF/XSF/CAR layouts, RDF tables) without running
Quorvel. Used by the case makers of the PWScf and CASTEP conversions, and for
folding coordinates into the cell by the CalRDF and Plimo case makers and the
VASP reference of the interoperability tests."""
import math
import os

PI = 3.1415926535
DEG_TO_RAD = PI * (1.0 / 180.0)
RAD_TO_DEG = 180.0 / PI

E2E = os.path.dirname(os.path.abspath(__file__))
TESTDB = os.path.join(E2E, "testdb")

CIF_DATE = "2000/01/01"
CAR_DATE = "Sat Jan  1  0: 0: 0 2000"


def element(name):
    """The element part of a type name: up to the first non-letter."""
    out = ""
    for ch in name:
        if not ch.isascii() or not ch.isalpha():
            break
        out += ch
    return out


def atomic_number(name):
    e = element(name).lower()
    with open(os.path.join(TESTDB, "nonrel")) as f:
        lines = [l.strip() for l in f]
    for i, l in enumerate(lines):
        if l.split(" ")[0].lower() == e and e:
            return int(lines[i + 2])
    return 0


def atomic_weight(name):
    e = element(name).lower()
    with open(os.path.join(TESTDB, "asfdc")) as f:
        for l in f:
            w = l.split()
            if w and element(w[0]).lower() == e:
                return float(w[1])
    return 1.0


def trunc(x):
    return int(x)


def add_cn_steps(row, own, cn):
    """The coordination-number rule for one centre and one neighbour type:
    with the running count of its neighbours over the bins (own, from bin 1,
    cut to whole numbers), row gets +1 at the bin where the count first
    equals cn and -1 at the bin where it first exceeds cn, if it had been
    reached."""
    count, reached = 0, False
    for k in range(1, len(own)):
        count = math.trunc(count + own[k])
        if not reached and count == cn:
            reached = True
            row[k] += 1
        if count >= cn + 1:
            if reached:
                row[k] -= 1
            break


def fold(x):
    """A fractional coordinate into [0, 0.9999999999) by whole steps."""
    if 0 <= x < 1:
        return x
    x -= math.trunc(x)
    while x < 0:
        x += 1
    while x >= 0.9999999999:
        x -= 1
    return x


class Crystal:
    """Cell in nm and degrees, types in table order, sites as
    [label, type, x, y, z, occupancy, (fx, fy, fz)]."""

    def __init__(self, a=0.0, b=0.0, c=0.0, alpha=0.0, beta=0.0, gamma=0.0, chemical_name="None"):
        self.a, self.b, self.c = a, b, c
        self.alpha, self.beta, self.gamma = alpha, beta, gamma
        self.chemical_name = chemical_name
        self.types = []
        self.sites = []
        self.vectors = [[1.0, 0.0, 0.0], [0.0, 1.0, 0.0], [0.0, 0.0, 1.0]]

    def add_type(self, name):
        """True when the type is new (the program then prints nSameAtom=0)."""
        if any(t.lower() == name.lower() for t in self.types):
            return False
        self.types.append(name)
        return True

    def add_site(self, type_name, x, y, z, force=(0.0, 0.0, 0.0)):
        new = self.add_type(type_name)
        n = sum(1 for s in self.sites if s[1].lower() == type_name.lower())
        self.sites.append([type_name + str(n + 1), type_name, x, y, z, 1.0, tuple(force)])
        return new

    def type_index(self, name):
        for i, t in enumerate(self.types):
            if t.lower() == name.lower():
                return i
        return -1

    def calculate_vectors(self):
        ca = math.cos(self.alpha * DEG_TO_RAD)
        cb = math.cos(self.beta * DEG_TO_RAD)
        cg = math.cos(self.gamma * DEG_TO_RAD)
        sb = math.sin(self.beta * DEG_TO_RAD)
        sg = math.sin(self.gamma * DEG_TO_RAD)
        t = (ca - cb * cg) / sg
        u = sb * math.sqrt(1 - (t / sb) ** 2)
        self.vectors = [[self.a, 0.0, 0.0], [self.b * cg, self.b * sg, 0.0], [self.c * cb, self.c * t, self.c * u]]

    def cartesian(self, x, y, z):
        v = self.vectors
        return [x * v[0][k] + y * v[1][k] + z * v[2][k] for k in range(3)]

    def metric(self):
        ca = math.cos(self.alpha * DEG_TO_RAD)
        cb = math.cos(self.beta * DEG_TO_RAD)
        cg = math.cos(self.gamma * DEG_TO_RAD)
        a, b, c = self.a, self.b, self.c
        return [[a * a, a * b * cg, a * c * cb], [a * b * cg, b * b, b * c * ca], [a * c * cb, b * c * ca, c * c]]

    def copy(self):
        other = Crystal(self.a, self.b, self.c, self.alpha, self.beta, self.gamma, self.chemical_name)
        other.types = list(self.types)
        other.sites = [list(s) for s in self.sites]
        other.vectors = [list(v) for v in self.vectors]
        return other


def cif_text(cr):
    formula = "".join("%s%d " % (t, 0) for t in cr.types)
    out = [
        "data_99999-ICSD", "", "_audit_creation_date               " + CIF_DATE,
        "_audit_creation_method             'Quorvel.exe 0.1'", "", "_database_code_ICSD                99999", "",
        "_chemical_name_systematic          '%s'" % cr.chemical_name[:25],
        "_chemical_formula_structural       '%s'" % formula,
        "_chemical_formula_sum              '%s'" % formula, "",
        "_cell_length_a                     %g" % (cr.a * 10), "_cell_length_b                     %g" % (cr.b * 10),
        "_cell_length_c                     %g" % (cr.c * 10), "_cell_angle_alpha                  %g" % cr.alpha,
        "_cell_angle_beta                   %g" % cr.beta, "_cell_angle_gamma                  %g" % cr.gamma, "",
        "_symmetry_space_group_name_H-M     'P1'", "_symmetry_Int_Tables_number        1", "", "loop_",
        "_symmetry_equiv_pos_as_xyz         ", "  'x,y,z'", "", "loop_", "_atom_type_symbol  ",
        "_atom_type_oxidation_number        "
    ]
    out += ["  %8s   %f" % (t, 0.0) for t in cr.types]
    out += ["", "loop_", "_atom_site_label", "_atom_site_type_symbol", "_atom_site_symmetry_multiplicity",
            "_atom_site_Wyckoff_symbol", "_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z",
            "_atom_site_occupancy", "_atom_site_attached_hydrogens", "_atom_site_calc_flag"]
    for s in cr.sites:
        out.append("  %8s  %8s  %2d %c  %10.6f  %10.6f  %10.6f  %10.4f %2d %c" %
                   (s[0], s[1], 1, "i", fold(s[2] + 1e-8), fold(s[3] + 1e-8), fold(s[4] + 1e-8), s[5], 0, "a"))
    out += ["", "", "#End of data_99999-ICSD"]
    return "\n".join(out) + "\n"


def xsf_header(n_frames):
    return "ANIMSTEPS %d\nCRYSTAL\n\n" % n_frames


def xsf_frame(step, cr):
    vec = "".join(" %16.10f %16.10f %16.10f\n" % tuple(v[k] * 10 for k in range(3)) for v in cr.vectors)
    out = "PRIMVEC %d\n" % step + vec + "CONVVEC %d\n" % step + vec + "PRIMCOORD %d\n" % step
    out += " %d  1\n" % len(cr.sites)
    for s in cr.sites:
        p = cr.cartesian(s[2], s[3], s[4])
        out += "%3d   %12.7f %12.7f %12.7f   %12.7f %12.7f %12.7f\n" % (
            atomic_number(s[1]), p[0] * 10, p[1] * 10, p[2] * 10, s[6][0], s[6][1], s[6][2])
    return out


def car_text(cr):
    out = "!BIOSYM archive 3\nPBC=ON\n!DATE %s\n" % CAR_DATE
    out += "PBC  %8.4f  %8.4f  %8.4f  %8.4f  %8.4f  %8.4f (%s)\n" % (cr.a * 10, cr.b * 10, cr.c * 10, cr.alpha, cr.beta,
                                                                 cr.gamma, "P 1")
    count = {}
    for s in cr.sites:
        count[s[1]] = count.get(s[1], 0) + 1
        p = cr.cartesian(s[2], s[3], s[4])
        out += "%-5s %14.9f %14.9f %14.9f %-4s %-7s%-7s %-2s %6.3f\n" % (
            "%s%d" % (s[1], count[s[1]]), p[0] * 10, p[1] * 10, p[2] * 10, "XXXX", "1", "xx", s[1], 0.0)
    return out + "end\nend\n\n"


def rdf(cr, mode, rmax, n_mesh):
    """The RDF tables of a crystal: (printed text, {file name: content})."""
    if n_mesh < 3:
        n_mesh = 201
    dr = rmax / (n_mesh - 1)
    s = min(abs(math.sin(cr.alpha * PI / 180)), abs(math.sin(cr.beta * PI / 180)), abs(math.sin(cr.gamma * PI / 180)))
    rng = [1 - trunc(-0.1 * rmax / length / s) for length in (cr.a, cr.b, cr.c)]
    text = "Lattice parameters: %g %g %g  %g %g %g\n" % (cr.a, cr.b, cr.c, cr.alpha, cr.beta, cr.gamma)
    text += "MaximumDistance: %g A\nnMesh: %d\n  Lattice Range: %d %d %d\n" % (rmax, n_mesh, rng[0], rng[1], rng[2])
    g = cr.metric()
    nt = len(cr.types)
    table = [[[0.0] * n_mesh for _ in range(nt)] for _ in range(nt)]
    counted = [0] * nt
    for centre in cr.sites:
        ti = cr.type_index(centre[1])
        c0 = [fold(centre[2]), fold(centre[3]), fold(centre[4])]
        counted[ti] += 1
        for lc in range(-rng[2], rng[2] + 1):
            for lb in range(-rng[1], rng[1] + 1):
                for la in range(-rng[0], rng[0] + 1):
                    for other in cr.sites:
                        tj = cr.type_index(other[1])
                        d = [fold(other[2]) + la - c0[0], fold(other[3]) + lb - c0[1], fold(other[4]) + lc - c0[2]]
                        d2 = (g[0][0] * d[0] ** 2 + g[1][1] * d[1] ** 2 + g[2][2] * d[2] ** 2 +
                              2 * (g[0][1] * d[0] * d[1] + g[0][2] * d[0] * d[2] + g[1][2] * d[1] * d[2]))
                        dist = 10 * math.sqrt(d2)
                        bin_edge = dist / dr - round(dist / dr)
                        assert abs(bin_edge) > 1e-6 or dist < 1e-9, "distance %r on a bin edge" % dist
                        if dist <= rmax:
                            table[ti][tj][trunc(dist / dr)] += other[5]
    tables_text, files = rdf_tables(cr.types, table, counted, dr, mode)
    return text + tables_text, files


def rdf_tables(types, table, counted, dr, mode):
    """The RDF files as the program writes them from the histograms
    (table[centre type][neighbour type][bin]) and the centres counted per
    type: for every type with centres a file per neighbour type, its bins
    divided by the centres and their running sum. mode 1 names the final
    structure's files, 2 the averaged ones. Returns (printed text, {file
    name: content})."""
    pattern = {1: "%s-%s-Final-RDF.csv", 2: "%s-%s-Averaged-RDF.csv"}.get(mode, "%s-%s-RDF.csv")
    text, files = "", {}
    for i, ni in enumerate(types):
        if counted[i] == 0:
            text += " nCountedAtom for %s is zero. Skipped.\n" % ni
            continue
        for j, nj in enumerate(types):
            name = pattern % (ni, nj)
            text += "Writing to [%s]...\n" % name
            content = "r(A),RDF(%s-%s),RCN(%s-%s)\n" % (ni, nj, ni, nj)
            rcn = 0.0
            for k in range(len(table[i][j])):
                v = table[i][j][k] / counted[i]
                if k > 0:
                    rcn += v
                content += "%g,%g,%g\n" % (k * dr, v, rcn)
            files[name] = content
    return text, files


def write_case(case_dir, args, inputs, stdout, outputs, exit_code=None):
    """Writes one case folder: args, in/, stdout, out/ (and exit_code)."""
    import shutil
    if os.path.isdir(case_dir):
        shutil.rmtree(case_dir)
    os.makedirs(case_dir)
    with open(os.path.join(case_dir, "args"), "w", newline="\n") as f:
        f.write("\n".join(args) + "\n")
    for sub, files in (("in", inputs), ("out", outputs)):
        for name, content in files.items():
            path = os.path.join(case_dir, sub, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", newline="\n") as f:
                f.write(content)
    with open(os.path.join(case_dir, "stdout"), "w", newline="\n") as f:
        f.write(stdout)
    if exit_code is not None:
        with open(os.path.join(case_dir, "exit_code"), "w") as f:
            f.write("%d\n" % exit_code)


def frame_banner(args):
    """What the run frame prints before the action's announcement."""
    out = "\n===================================================\n"
    out += "      File Converter for MD/ab-initio programs\n"
    out += "===================================================\n\n"
    for a in args:
        out += "arg: %s\n" % a
        if not a.startswith("--"):
            out += "Add File [%s].\n" % a
    out += "NONRELPath:  {TESTDB}/nonrel\nASFDCPath :  {TESTDB}/asfdc\n"
    out += "AtomDBPath:  {TESTDB}/nonrel\nSPGDBPath :  {TESTDB}/spgra\n\n\n"
    return out


FINISH = "\nQuorvel finished.\n\n"
