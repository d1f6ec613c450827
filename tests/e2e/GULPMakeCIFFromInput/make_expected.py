#!/usr/bin/env python3
"""Writes the end-to-end cases of GULPMakeCIFFromInput: input files, arguments,
expected standard output and expected CIF files.

The expected files are worked out here from the GULP inputs with the rules
of the conversion (keyword search, label cutting, name lookup in the
space-group database, CIF layout), independently of the program. Run it from
anywhere: /usr/bin/python3 tests/e2e/GULPMakeCIFFromInput/make_expected.py
"""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
from formulas import fold  # noqa: E402
ROOT = os.path.abspath(os.path.join(HERE, "..", "..", ".."))
TESTDB_SPGRA = os.path.join(ROOT, "tests", "e2e", "testdb", "spgra")
SHIPPED_SPGRA = os.path.join(ROOT, "data", "spgra")

BANNER = ("\n===================================================\n"
          "      File Converter for MD/ab-initio programs\n"
          "===================================================\n\n")


def run_header(args, dbdir):
    out = BANNER
    for a in args:
        out += "arg: %s\n" % a
        if not a.startswith("--"):
            out += "Add File [%s].\n" % a
    for name, f in (("NONRELPath:  ", "nonrel"), ("ASFDCPath :  ", "asfdc"), ("AtomDBPath:  ", "nonrel"),
                    ("SPGDBPath :  ", "spgra")):
        out += "%s%s/%s\n" % (name, dbdir, f)
    out += "\n\n"
    out += "Make CIF file from GULP .inp file.\n"
    return out


FINISH = "\nQuorvel finished.\n\n"


def lookup_by_name(spgra, key):
    """(number, second key) of the first record whose name, without white space, equals key ignoring case."""
    lines = open(spgra).read().split("\n")
    i = 0
    while i < len(lines) and lines[i]:
        parts = lines[i].split(" ", 5)
        if len(parts) < 6:
            break
        name = "".join(parts[5].split())
        if name.lower() == key.lower():
            return int(parts[0]), int(parts[1])
        i += 2 + int(parts[4])
    return None


def load_group(spgra, number, second):
    lines = open(spgra).read().split("\n")
    i = 0
    while i < len(lines) and lines[i]:
        parts = lines[i].split(" ", 5)
        k = int(parts[4])
        if int(parts[0]) == number and int(parts[1]) == second:
            return parts[5].strip(), ["x,y,z"] + [l.strip() for l in lines[i + 2:i + 2 + k]]
        i += 2 + k
    raise KeyError((number, second))


class Crystal:
    def __init__(self):
        self.chemical_name = "None"
        self.cell = (0, 0, 0, 0, 0, 0)
        self.types = []  # (name, charge)
        self.sites = []  # (label, type, x, y, z, occ)
        self.sg_name, self.sg_number, self.ops = "P1", 1, ["x,y,z"]


def gulp_read(text, spgra, out):
    """Reads a GULP input as the conversion does; appends its messages to out (a list)."""
    cr = Crystal()
    lines = text.split("\n")
    if text.endswith("\n"):
        lines = lines[:-1]

    def find(keyword):
        for i, l in enumerate(lines):
            if l.strip(" \t\r\n").lower().startswith(keyword):
                return i
        return None

    i = find("title")
    if i is not None and i + 1 < len(lines):
        cr.chemical_name = lines[i + 1].strip(" \t\r\n")
    if cr.chemical_name == "":
        i = find("name")
        if i is not None:
            cr.chemical_name = lines[i].strip(" \t\r\n")[4:].strip(" \t\r\n")
    out.append("Crystal: %s\n" % cr.chemical_name)
    i = find("cell")
    if i is not None and i + 1 < len(lines):
        v = [float(t) for t in lines[i + 1].split()[:6]]
        out.append("Lattice parameters: %g %g %g A  %g %g %g\n" % tuple(v))
        cr.cell = (v[0] * 0.1, v[1] * 0.1, v[2] * 0.1, v[3], v[4], v[5])
    i = find("frac")
    if i is not None:
        index = 0
        for l in lines[i + 1:]:
            w = l.split()
            if not w:
                continue
            label = w[0]
            while len(label) > 1 and label[-1].isdigit():
                label = label[:-1]
            nums = []
            for t in w[2:7]:
                try:
                    nums.append(float(t))
                except ValueError:
                    break
            x, y, z, charge, occ = (nums + [0.0, 0.0, 0.0, 0.0, 1.0][len(nums):])
            line = "%d: %s (%g): (%g,%g,%g) [occ=%g]\n" % (index, label, charge, x, y, z, occ)
            out.append(line)
            if len(label) > 2:
                break
            out.append(line)
            if label.lower() not in [t[0].lower() for t in cr.types]:
                cr.types.append((label, charge))
                out.append("nSameAtom=0\n")
            # The label counts the sites of that type name; the type column
            # shows the type's own name (si finds the type Si).
            n = sum(1 for s in cr.sites if s[1].lower() == label.lower())
            type_name = [t[0] for t in cr.types if t[0].lower() == label.lower()][0]
            cr.sites.append((label + str(n + 1), type_name, x, y, z, occ))
            index += 1
    i = find("space")
    if i is not None and i + 1 < len(lines):
        symbol = lines[i + 1].strip(" \t\r\n")
        key = "".join(symbol.split())
        cr.sg_name = symbol
        found = lookup_by_name(spgra, key)
        if found:
            cr.sg_name, cr.ops = load_group(spgra, *found)
            cr.sg_number = found[0]
        out.append("SPG: %s\n" % key)
    return cr


def cif(cr):
    formula = "".join("%s%d " % (t[0], 0) for t in cr.types)
    s = "data_99999-ICSD\n\n"
    s += "_audit_creation_date               2000/01/01\n"
    s += "_audit_creation_method             'Quorvel.exe 0.1'\n\n"
    s += "_database_code_ICSD                99999\n\n"
    s += "_chemical_name_systematic          '%s'\n" % cr.chemical_name[:25]
    s += "_chemical_formula_structural       '%s'\n" % formula
    s += "_chemical_formula_sum              '%s'\n\n" % formula
    a, b, c, al, be, ga = cr.cell
    s += "_cell_length_a                     %g\n" % (a * 10)
    s += "_cell_length_b                     %g\n" % (b * 10)
    s += "_cell_length_c                     %g\n" % (c * 10)
    s += "_cell_angle_alpha                  %g\n" % al
    s += "_cell_angle_beta                   %g\n" % be
    s += "_cell_angle_gamma                  %g\n\n" % ga
    s += "_symmetry_space_group_name_H-M     '%s'\n" % cr.sg_name
    s += "_symmetry_Int_Tables_number        %d\n\n" % cr.sg_number
    s += "loop_\n_symmetry_equiv_pos_as_xyz         \n"
    for op in cr.ops:
        s += "  '%s'\n" % op
    s += "\nloop_\n_atom_type_symbol  \n_atom_type_oxidation_number        \n"
    for name, charge in cr.types:
        s += "  %8s   %f\n" % (name, charge)
    s += "\nloop_\n"
    for col in ("label", "type_symbol", "symmetry_multiplicity", "Wyckoff_symbol", "fract_x", "fract_y", "fract_z",
                "occupancy", "attached_hydrogens", "calc_flag"):
        s += "_atom_site_%s\n" % col
    for label, t, x, y, z, occ in cr.sites:
        s += "  %8s  %8s  %2d %c  %10.6f  %10.6f  %10.6f  %10.4f %2d %c\n" % (
            label, t, 1, "i", fold(x + 1e-8), fold(y + 1e-8), fold(z + 1e-8), occ, 0, "a")
    s += "\n\n#End of data_99999-ICSD\n"
    return s


def write_case(name, args, inputs, stdout, outputs):
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
        with open(p, "w") as f:
            f.write(text)


def conversion_case(name, path, text, dbdir_arg, dbdir_shown, spgra, extra_inputs=None):
    args = ([dbdir_arg] if dbdir_arg else []) + ["--Action=GULPMakeCIFFromInput", path]
    msgs = []
    cr = gulp_read(text, spgra, msgs)
    cif_path = path.rsplit(".", 1)[0] + ".cif"
    stdout = run_header(args, dbdir_shown) + "glp file: %s\n" % path + "".join(msgs)
    inputs = {path: text}
    inputs.update(extra_inputs or {})
    if cif_path == path:
        # An input named like its CIF file is read, but never replaced.
        stdout += "Error in GULPMakeCIFFromInput: The CIF file [%s] would replace the input file.\n" % path + FINISH
        write_case(name, args, inputs, stdout, {})
        return
    stdout += "Create CIF file: %s\n" % cif_path + FINISH
    write_case(name, args, inputs, stdout, {cif_path: cif(cr)})


# As ASE's GULP calculator writes it (ase.calculators.gulp.GULP.write_input
# for bulk('MgO', 'rocksalt', a=4.212, cubic=True) with shel=['O']): no
# charges or occupancies on the atom lines, an empty line and the library
# line after them.
MGO_BY_ASE = (
    "opti conp\ntitle\nASE calculation\nend\n\ncell\n 4.212000  4.212000  4.212000 90.00000 90.00000 90.00000\n"
    "frac\n"
    " Mg core  0.0000000   0.0000000   0.0000000\n O  core  0.5000000   0.0000000   0.0000000\n"
    " O  shel  0.5000000   0.0000000   0.0000000\n Mg core  0.0000000   0.5000000   0.5000000\n"
    " O  core  0.5000000   0.5000000   0.5000000\n O  shel  0.5000000   0.5000000   0.5000000\n"
    " Mg core  0.5000000   0.0000000   0.5000000\n O  core  0.0000000   0.0000000   0.5000000\n"
    " O  shel  0.0000000   0.0000000   0.5000000\n Mg core  0.5000000   0.5000000   0.0000000\n"
    " O  core  0.0000000   0.5000000   0.0000000\n O  shel  0.0000000   0.5000000   0.0000000\n"
    "\nlibrary ffsioh.lib\n")

# Corundum in the hexagonal setting of R -3 c, as a shell-model input is
# written by hand: numbered labels, charge and occupancy on the atom lines,
# the symbol in upper case, a species block and potentials after it.
CORUNDUM = """# alpha-Al2O3, Lewis-Catlow shell model
opti conp prop
title
Corundum alpha-Al2O3 (hexagonal axes)
end
cell
   4.760200   4.760200  12.993300  90.000000  90.000000 120.000000
fractional
Al1   core 0.0000000 0.0000000 0.3521600  3.00000 1.00000 0.00000
O1    core 0.3062400 0.0000000 0.2500000  0.86902 1.00000 0.00000
O1    shel 0.3062400 0.0000000 0.2500000 -2.86902 1.00000 0.00000
space
R -3 C
species
Al core  3.000
O  core  0.86902
O  shel -2.86902
buck
Al core O  shel  1474.40 0.30059  0.000 0.0 10.0
O  shel O  shel 22764.00 0.14900 27.880 0.0 12.0
spring
O 74.92
dump every corundum.res
"""

# Labels and keywords at their edges: a title followed by an empty line (the
# name line then names the crystal), numbered labels, a label of digits only,
# an underscore label, missing charges and occupancies, coordinates outside
# the cell, a 5-character label that ends the list, CRLF line ends.
LABELS = ("title\r\n\r\nend\r\nname   Labels  test \r\nCELL\r\n5.0 6.0 7.0 90 100.5 90\r\n"
          "Fractional\r\n"
          "Si1 core 0.1 0.2 0.3 4.0\r\n"
          "Si2 core 0.4 0.5 0.6\r\n"
          "si  core 1.0 -0.25 0.5\r\n"
          "O_2 core 0.1 0.1 0.1 -2.0 0.5\r\n"
          "O_2 shel 0.1 0.1 0.1\r\n"
          "\r\n"
          "123 core 0.7 0.7 -0.000000001\r\n"
          "Mg12x core 0 0 0\r\n"
          "Na core 0.5 0.5 0.5\r\n"
          "space\r\n  P -1  \r\n")


def main():
    testdb = "{TESTDB}"
    conversion_case("mgo_written_by_ase", "mgo.gin", MGO_BY_ASE, "--DBDir=" + testdb, testdb, TESTDB_SPGRA)
    conversion_case("corundum_shipped_database", "corundum.gin", CORUNDUM, None, "{BIN}", SHIPPED_SPGRA)
    conversion_case("labels_and_keywords", "sub/labels.gin", LABELS, "--DBDir=" + testdb, testdb, TESTDB_SPGRA)
    conversion_case("input_named_like_its_cif_file", "mgo.cif", MGO_BY_ASE, "--DBDir=" + testdb, testdb,
                    TESTDB_SPGRA)

    # No file name: the reader's message, then the CIF of the empty crystal.
    args = ["--DBDir=" + testdb, "--Action=gulpmakeciffrominput"]
    stdout = run_header(args, testdb) + "glp file: \nError in CGULP::ReadCrystalStructure: Can not read [].\n"
    stdout += "Create CIF file: .cif\n" + FINISH
    write_case("announce_without_input", args, {}, stdout, {".cif": cif(Crystal())})


if __name__ == "__main__":
    main()
