#!/usr/bin/python3
"""Builds the CalRDF and CalDistance end-to-end cases on rock salt and rutile.

Writes each case folder (args, in/<structure>.cif, stdout, out/...) from a
separate implementation of the calculations in plain Python: the cell from
the six parameters with pi to ten decimals, the unit cell from the symmetry
operations (first image within 1e-5 nm wins), the periodic neighbour search
over -n..n cell translations, the histograms, the coordination-number
tables and the distance listing, printed with the same printf formats
(Python's % operator formats like C's printf).

Run from anywhere: /usr/bin/python3 tests/e2e/CalRDF/compute_expected.py
It also prints the neighbour shells it found, so that they can be checked
against the known structures (Na-Cl 2.82 A; Ti-O 1.95 and 1.98 A), and it
refuses to write a case in which a distance lies within 1e-6 of a bin edge
or of a printed rounding boundary.
"""

import math
import os
import shutil
import sys

import gemmi  # only to list the 192 operations of F m -3 m for the input file

HERE = os.path.dirname(os.path.abspath(__file__))
E2E = os.path.dirname(HERE)
sys.path.insert(0, E2E)
from formulas import add_cn_steps, fold  # noqa: E402

PI = 3.1415926535
DEG = PI * (1.0 / 180.0)

BANNER = ("\n===================================================\n"
          "      File Converter for MD/ab-initio programs\n"
          "===================================================\n\n")


class Structure:
    def __init__(self, name, cif_cell, ops, types, sites, hm, number):
        self.name = name
        self.cif_cell = cif_cell          # texts as written in the CIF file
        self.ops = ops
        self.types = types                # (symbol, oxidation number text)
        self.sites = sites                # (label, symbol, mult, wyckoff, x, y, z texts)
        self.hm = hm
        self.number = number
        a, b, c, al, be, ga = (float(v.split('(')[0]) for v in cif_cell)
        self.a, self.b, self.c = a * 0.1, b * 0.1, c * 0.1
        self.alpha, self.beta, self.gamma = al, be, ga
        self.lattice()
        self.expand()

    def lattice(self):
        ca, cb, cg = (math.cos(v * DEG) for v in (self.alpha, self.beta, self.gamma))
        sb, sg = math.sin(self.beta * DEG), math.sin(self.gamma * DEG)
        a, b, c = self.a, self.b, self.c
        t = (ca - cb * cg) / sg
        u = sb * math.sqrt(1 - (t / sb) ** 2)
        self.vectors = [[a, 0.0, 0.0], [b * cg, b * sg, 0.0], [c * cb, c * t, c * u]]
        self.G = [[a * a, a * b * cg, a * c * cb],
                  [a * b * cg, b * b, b * c * ca],
                  [a * c * cb, b * c * ca, c * c]]

    def dist2(self, p1, p2):
        dx, dy, dz = p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]
        G = self.G
        return (G[0][0] * dx * dx + G[1][1] * dy * dy + G[2][2] * dz * dz
                + 2 * (G[0][1] * dx * dy + G[0][2] * dx * dz + G[1][2] * dy * dz))

    def cartesian(self, p):
        v = self.vectors
        return [p[0] * v[0][m] + p[1] * v[1][m] + p[2] * v[2][m] for m in range(3)]

    def expand(self):
        self.type_names = [t[0] for t in self.types]
        self.asym = []
        for label, symbol, _, _, x, y, z in self.sites:
            self.asym.append((label, self.type_names.index(symbol), [float(x), float(y), float(z)]))
        self.cell = []
        for op in self.ops:
            rot, tr = parse_op(op)
            for label, it, p in self.asym:
                q = [fold(rot[m][0] * p[0] + rot[m][1] * p[1] + rot[m][2] * p[2] + tr[m] + 0.0)
                     for m in range(3)]
                if not any(jt == it and math.sqrt(self.dist2(r, q)) < 1e-5 for _, jt, r in self.cell):
                    self.cell.append((label, it, q))

    def lattice_range(self, rmax):
        s = min(abs(math.sin(v * DEG)) for v in (self.alpha, self.beta, self.gamma))
        return [1 - math.trunc(-0.1 * rmax / L / s) for L in (self.a, self.b, self.c)]

    def images(self, centre, rmax):
        """(j, folded, image, d) in search order for one centre."""
        n = self.lattice_range(rmax)
        c = [fold(v) for v in centre]
        for lc in range(-n[2], n[2] + 1):
            for lb in range(-n[1], n[1] + 1):
                for la in range(-n[0], n[0] + 1):
                    for j, (_, _, p) in enumerate(self.cell):
                        f = [fold(v) for v in p]
                        img = [f[0] + la, f[1] + lb, f[2] + lc]
                        yield j, f, img, 10.0 * math.sqrt(self.dist2(c, img))

    def cif_text(self):
        lines = [f"data_{self.name}",
                 f"_chemical_name_systematic          '{self.name}'",
                 f"_cell_length_a                     {self.cif_cell[0]}",
                 f"_cell_length_b                     {self.cif_cell[1]}",
                 f"_cell_length_c                     {self.cif_cell[2]}",
                 f"_cell_angle_alpha                  {self.cif_cell[3]}",
                 f"_cell_angle_beta                   {self.cif_cell[4]}",
                 f"_cell_angle_gamma                  {self.cif_cell[5]}",
                 f"_symmetry_space_group_name_H-M     '{self.hm}'",
                 f"_symmetry_Int_Tables_number        {self.number}",
                 "loop_", "_symmetry_equiv_pos_as_xyz"]
        lines += [f"  '{op}'" for op in self.ops]
        lines += ["loop_", "_atom_type_symbol", "_atom_type_oxidation_number"]
        lines += [f"  {s:<6}{q}" for s, q in self.types]
        lines += ["loop_", "_atom_site_label", "_atom_site_type_symbol", "_atom_site_symmetry_multiplicity",
                  "_atom_site_Wyckoff_symbol", "_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z",
                  "_atom_site_occupancy", "_atom_site_attached_hydrogens", "_atom_site_calc_flag"]
        lines += [f"  {l:<5} {s:<6} {m} {w} {x} {y} {z} 1.  0 d" for l, s, m, w, x, y, z in self.sites]
        return "\n".join(lines) + "\n"


def parse_op(text):
    rot, tr = [], []
    for row in text.split(','):
        r = [0.0, 0.0, 0.0]
        t = 0.0
        term, sign = '', 1.0
        for ch in row.replace(' ', '') + '+':
            if ch in '+-' and term:
                if term in 'xyz':
                    r['xyz'.index(term)] = sign
                else:
                    num, _, den = term.partition('/')
                    t += sign * float(num) / (float(den) if den else 1.0)
                term, sign = '', (1.0 if ch == '+' else -1.0)
            elif ch in '+-':
                sign = 1.0 if ch == '+' else -1.0
            else:
                term += ch
        rot.append(r)
        tr.append(t)
    return rot, tr


def guard_bin(d, dr, what):
    q = d / dr
    assert d == 0 or abs(q - round(q)) > 1e-6, f"{what}: distance {d} on a bin edge"


def rdf_case(st, cif, rmax, nmesh, cn, extra_args):
    """Expected stdout and files of CalRDF with CalcRDF=1 and CoordinationNumber=cn."""
    dr = rmax / (nmesh - 1)
    nt = len(st.type_names)
    table = [[[0.0] * nmesh for _ in range(nt)] for _ in range(nt)]
    cntab = [[[0.0] * nmesh for _ in range(nt)] for _ in range(nt)]
    counted = [0] * nt
    shells = {}
    for label, i, p in st.asym:
        counted[i] += 1
        mine = [[0.0] * nmesh for _ in range(nt)]
        for j, _, _, d in st.images(p, rmax):
            if d <= rmax:
                guard_bin(d, dr, f"{label}-{st.cell[j][0]}")
                k = math.trunc(d / dr)
                jt = st.cell[j][1]
                table[i][jt][k] += 1.0
                mine[jt][k] += 1.0
                key = (label, st.type_names[jt], round(d, 3))
                shells[key] = shells.get(key, 0) + 1
        for jt in range(nt):
            add_cn_steps(cntab[i][jt], mine[jt], cn)
    for key in sorted(shells):
        print(st.name, "shell", key, "x", shells[key])

    files = {}
    out = ["Calculate RDF.\n",
           "Lattice parameters: %lg %lg %lg  %lg %lg %lg\n" % (st.a, st.b, st.c, st.alpha, st.beta, st.gamma),
           "MaximumDistance: %lg A\n" % rmax, "nMesh: %d\n" % nmesh,
           "  Lattice Range: %d %d %d\n" % tuple(st.lattice_range(rmax))]

    def table_text(ni, nj, values, divisor):
        text = "r(A),RDF(%s-%s),RCN(%s-%s)\n" % (ni, nj, ni, nj)
        s = 0.0
        for k in range(nmesh):
            g = values[k] / divisor
            if k > 0:
                s += g
            text += "%g,%g,%g\n" % (k * dr, g, s)
        return text

    for i, ni in enumerate(st.type_names):
        if counted[i] == 0:
            out.append(" nCountedAtom for %s is zero. Skipped.\n" % ni)
            continue
        for j, nj in enumerate(st.type_names):
            name = "%s-%s-RDF.csv" % (ni, nj)
            out.append("Writing to [%s]...\n" % name)
            files[name] = table_text(ni, nj, table[i][j], counted[i])
    out.append("Coordination Number: %d\n" % cn)
    for i, ni in enumerate(st.type_names):
        for j, nj in enumerate(st.type_names):
            name = "%s-%s-RDF-CN%d.csv" % (ni, nj, cn)
            out.append("Writing to [%s]...\n" % name)
            files[name] = table_text(ni, nj, cntab[i][j], 1.0)
    args = ["--Action=CalRDF", "--DBDir={TESTDB}", "--CalcRDF=1", "--CoordinationNumber=%d" % cn] + extra_args
    return args + [cif], "".join(out), files


def distance_case(st, cif, outname, rmax, rmin, extra_args):
    fmt = ("%4s - %4s   %14.6lg A  F(%6.4f %6.4f %6.4f)-(%6.4f %6.4f %6.4f) "
           "R(%6.3f %6.3f %6.3f)A-(%6.3f %6.3f %6.3f)A\n")
    text = ""
    for label, _, p in st.asym:
        c = [fold(v) for v in p]
        cc = st.cartesian(c)
        for j, f, img, d in st.images(p, rmax):
            if rmin <= d <= rmax:
                r = st.cartesian(img)
                text += fmt % ((label, st.cell[j][0], d) + tuple(c) + tuple(f)
                               + tuple(v * 10 for v in cc) + tuple(v * 10 for v in r))
                print(st.name, "distance", label, st.cell[j][0], "%.4f" % d)
    out = ("Lattice parameters: %lg %lg %lg  %lg %lg %lg\n" % (st.a, st.b, st.c, st.alpha, st.beta, st.gamma)
           + "MaximumDistance: %lg A\n" % rmax
           + "  Lattice Range: %d %d %d\n" % tuple(st.lattice_range(rmax)))
    args = ["--Action=CalDistance", "--DBDir={TESTDB}"] + extra_args + [cif, outname]
    return args, out, {outname: text}


def frame(args, action_line, body):
    text = BANNER
    for a in args:
        text += "arg: %s\n" % a
        if not a.startswith("--"):
            text += "Add File [%s].\n" % a
    text += ("NONRELPath:  {TESTDB}/nonrel\nASFDCPath :  {TESTDB}/asfdc\n"
             "AtomDBPath:  {TESTDB}/nonrel\nSPGDBPath :  {TESTDB}/spgra\n\n\n")
    text += action_line + body + "\nQuorvel finished.\n\n"
    return text


def write_case(action, case, args, stdout, inputs, outputs):
    d = os.path.join(E2E, action, case)
    if os.path.isdir(d):
        shutil.rmtree(d)
    os.makedirs(d)
    if inputs:
        os.makedirs(os.path.join(d, "in"))
    with open(os.path.join(d, "args"), "w") as f:
        f.write("".join(a + "\n" for a in args))
    with open(os.path.join(d, "stdout"), "w") as f:
        f.write(stdout)
    for name, text in inputs.items():
        with open(os.path.join(d, "in", name), "w") as f:
            f.write(text)
    if outputs:
        os.makedirs(os.path.join(d, "out"))
        for name, text in outputs.items():
            with open(os.path.join(d, "out", name), "w") as f:
                f.write(text)


def read_structure_lines(st, cif):
    # What building the crystal prints: one line for each atom type added.
    return "CIF File: %s\n" % cif + "nSameAtom=0\n" * len(st.types)


RUTILE_OPS = ["x,y,z", "-x,-y,z", "-y+1/2,x+1/2,z+1/2", "y+1/2,-x+1/2,z+1/2", "-x+1/2,y+1/2,-z+1/2",
              "x+1/2,-y+1/2,-z+1/2", "y,x,-z", "-y,-x,-z", "-x,-y,-z", "x,y,-z", "y+1/2,-x+1/2,-z+1/2",
              "-y+1/2,x+1/2,-z+1/2", "x+1/2,-y+1/2,z+1/2", "-x+1/2,y+1/2,z+1/2", "-y,-x,z", "y,x,z"]


def main():
    nacl = Structure("NaCl", ["5.64(1)", "5.64(1)", "5.64(1)", "90", "90", "90"],
                     [op.triplet() for op in gemmi.SpaceGroup("F m -3 m").operations()],
                     [("Na1+", "1.000"), ("Cl1-", "-1.000")],
                     [("Na1", "Na1+", 4, "a", "0.", "0.", "0."), ("Cl1", "Cl1-", 4, "b", "0.5", "0.5", "0.5")],
                     "F m -3 m", 225)
    rutile = Structure("TiO2", ["4.594", "4.594", "2.959", "90.0", "90.0", "90.0"], RUTILE_OPS,
                       [("Ti4+", "4"), ("O2-", "-2")],
                       [("Ti1", "Ti4+", 2, "a", "0", "0", "0"), ("O1", "O2-", 4, "f", "0.3048", "0.3048", "0")],
                       "P 42/m n m", 136)
    assert len(nacl.cell) == 8 and len(rutile.cell) == 6

    rdf_line = "Calculate Radial Distribution Functions.\n"
    dist_line = "Calculate Distance.\n"
    for st, case, rmax, nmesh, cn, extra in [(nacl, "rocksalt", 5.0, 201, 6, []),
                                             (rutile, "rutile", 4.0, 161, 6, ["--MaximumDistance=4", "--nMesh=161"])]:
        cif = st.name + ".cif"
        args, body, files = rdf_case(st, cif, rmax, nmesh, cn, extra)
        write_case("CalRDF", case, args, frame(args, rdf_line, read_structure_lines(st, cif) + body),
                   {cif: st.cif_text()}, files)

    for st, case, rmax, rmin, extra in [(nacl, "rocksalt", 2.9, 0.1, ["--MaximumDistance=2.9"]),
                                        (rutile, "rutile", 2.2, 1.0,
                                         ["--MaximumDistance=2.2", "--MinimumDistance=1.0"])]:
        cif = st.name + ".cif"
        outname = st.name + "-distances.txt"
        args, body, files = distance_case(st, cif, outname, rmax, rmin, extra)
        write_case("CalDistance", case, args, frame(args, dist_line, read_structure_lines(st, cif) + body),
                   {cif: st.cif_text()}, files)
    # The listing named like the CIF file: the structure is read, and the
    # file it was read from is not replaced.
    cif = rutile.name + ".cif"
    args = ["--Action=CalDistance", "--DBDir={TESTDB}", "--MaximumDistance=2.2", "--MinimumDistance=1.0", cif, cif]
    write_case("CalDistance", "output_named_like_its_cif_file", args,
               frame(args, dist_line, read_structure_lines(rutile, cif) + "Error in CalDistance: The distance listing "
                     "[%s] would replace the CIF file.\n" % cif), {cif: rutile.cif_text()}, {})

    # Refused and failing requests: the messages of this program's own
    # decisions (table and search limits) and of an unreadable file, which
    # both actions report under the name CalRDF.
    cif = "NaCl.cif"
    args = ["--Action=CalRDF", "--DBDir={TESTDB}", "--CalcRDF=1", "--nMesh=2147483647", cif]
    write_case("CalRDF", "huge_nmesh", args,
               frame(args, rdf_line, read_structure_lines(nacl, cif) + "Calculate RDF.\n"
                     "Error in CalculateRDF: nMesh [2147483647] is too large for 2 atom types (at most 4194304 bins).\n"),
               {cif: nacl.cif_text()}, {})
    args = ["--Action=CalDistance", "--DBDir={TESTDB}", "--MaximumDistance=1e300", cif, "d.txt"]
    write_case("CalDistance", "huge_distance", args,
               frame(args, dist_line, read_structure_lines(nacl, cif)
                     + "Error in ListDistances: MaximumDistance [1e+300] A gives no searchable lattice range for the "
                     "cell 0.564 0.564 0.564  90 90 90.\n"),
               {cif: nacl.cif_text()}, {})
    args = ["--Action=CalDistance", "--DBDir={TESTDB}", cif]
    write_case("CalDistance", "no_output_name", args,
               frame(args, dist_line, read_structure_lines(nacl, cif)
                     + "Lattice parameters: 0.564 0.564 0.564  90 90 90\nMaximumDistance: 5 A\n"
                     "  Lattice Range: 1 1 1\nError: Can not write to [].\n"),
               {cif: nacl.cif_text()}, {})
    # Without its CIF file a run writes nothing: the tables and the listing
    # of an earlier run stay as they were.
    earlier = {"CalRDF": ("missing_cif_keeps_earlier_tables",
                          {"Na-Cl-RDF.csv": "r(A),RDF(Na-Cl),RCN(Na-Cl)\n0,0,0\n2.82,6,6\n"}),
               "CalDistance": ("missing_cif_keeps_earlier_listing",
                               {"d.txt": "  Na -   Cl             2.82 A  F(0.0000 0.0000 0.0000)-(0.5000 0.0000 "
                                         "0.0000) R( 0.000  0.000  0.000)A-( 2.820  0.000  0.000)A\n"})}
    for action, line in [("CalRDF", rdf_line), ("CalDistance", dist_line)]:
        args = ["--Action=" + action, "--DBDir={TESTDB}", "missing.cif", "d.txt"]
        case, files = earlier[action]
        write_case(action, case, args,
                   frame(args, line, "CIF File: missing.cif\nError in CalRDF: Can not read [missing.cif].\n"), files,
                   {})


if __name__ == "__main__":
    main()
