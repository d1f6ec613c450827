#!/usr/bin/env python3
"""Writes the end-to-end cases of the Plimo actions (ConvF09p, UpdateFILE05,
AddHistoryCSV): realistic input files laid out column by column as the Plimo
program writes them, and the expected standard output and files, worked out
here from the formulas (unwrapping, averaging, cell vectors, Cartesian
positions, RDF histograms, table rows), never from a run of the program.

Run it from anywhere: python3 tests/e2e/make_plimo_cases.py
The cases it writes are committed; rerun it after changing it.
"""
import math
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from formulas import fold, rdf_tables  # noqa: E402

PI = 3.1415926535
DEG = PI * (1.0 / 180.0)
CIF_DATE = "2000/01/01"  # compared by pattern


# ---------------------------------------------------------------- case files

def write_case(action, name, args, stdout, inputs, outputs, exit_code=None):
    case = os.path.join(HERE, action, name)
    if os.path.isdir(case):
        shutil.rmtree(case)
    os.makedirs(case)
    with open(os.path.join(case, "args"), "w", newline="\n") as f:
        f.write("".join(a + "\n" for a in args))
    with open(os.path.join(case, "stdout"), "wb") as f:
        f.write(stdout.encode("latin-1"))
    for sub, files in (("in", inputs), ("out", outputs)):
        for rel, content in files.items():
            path = os.path.join(case, sub, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(content if isinstance(content, bytes) else content.encode("latin-1"))
    if exit_code is not None:
        with open(os.path.join(case, "exit_code"), "w") as f:
            f.write("%d\n" % exit_code)


# Files that an earlier run left beside the inputs: a failed run must leave
# them as they were (the runner checks that every input is unchanged).
EARLIER_CIF = "data_earlier\n_chemical_name_systematic 'from an earlier run'\n"
EARLIER_XSF = "ANIMSTEPS 1\nCRYSTAL\n\nPRIMVEC 1\n"


def program_stdout(args, announcement, body):
    s = "\n" + "=" * 51 + "\n      File Converter for MD/ab-initio programs\n" + "=" * 51 + "\n\n"
    for a in args:
        s += "arg: %s\n" % a
        if not a.startswith("-"):
            s += "Add File [%s].\n" % a
    s += ("NONRELPath:  {TESTDB}/nonrel\nASFDCPath :  {TESTDB}/asfdc\n"
          "AtomDBPath:  {TESTDB}/nonrel\nSPGDBPath :  {TESTDB}/spgra\n\n\n")
    return s + announcement + body + "\nQuorvel finished.\n\n"


# ------------------------------------------------------------- crystal model

def lattice_vectors(a, b, c, al, be, ga, variant=0):
    """Cell vectors (nm) in the standard orientation; variant 1 computes the
    third vector's z component by the other, equivalent formula."""
    ca, cb, cg = math.cos(al * DEG), math.cos(be * DEG), math.cos(ga * DEG)
    sb, sg = math.sin(be * DEG), math.sin(ga * DEG)
    t = (ca - cb * cg) / sg
    if variant == 0:
        u = math.sqrt(1 - cb * cb - t * t)
    else:
        u = sb * math.sqrt(1 - (t / sb) ** 2)
    return [[a, 0.0, 0.0], [b * cg, b * sg, 0.0], [c * cb, c * t, c * u]]


def metric(a, b, c, al, be, ga):
    ca, cb, cg = math.cos(al * DEG), math.cos(be * DEG), math.cos(ga * DEG)
    return [[a * a, a * b * cg, a * c * cb], [a * b * cg, b * b, b * c * ca], [a * c * cb, b * c * ca, c * c]]


def robust(fmt, variants):
    """The text of a value that several equivalent roundings of the same
    formula must all print alike (else the data are changed)."""
    texts = {fmt % v for v in variants}
    assert len(texts) == 1, (fmt, variants)
    return texts.pop()


class Structure:
    def __init__(self):
        self.chemical = "None"
        self.types = []      # names
        self.counts = []     # atoms per type
        self.cell = [0.0] * 6  # a, b, c in nm, angles in degrees
        self.sites = []      # [label, type index, x, y, z]
        self.T = self.P = self.D = 0.0

    def copy(self):
        s = Structure()
        s.chemical, s.types, s.counts, s.cell = self.chemical, list(self.types), list(self.counts), list(self.cell)
        s.sites = [list(x) for x in self.sites]
        s.T, s.P, s.D = self.T, self.P, self.D
        return s


def cif_text(s):
    formula = "".join("%s%d " % (t, n) for t, n in zip(s.types, s.counts))
    a, b, c, al, be, ga = s.cell
    L = ["data_99999-ICSD", "", "_audit_creation_date               " + CIF_DATE,
         "_audit_creation_method             'Quorvel.exe 0.1'", "", "_database_code_ICSD                99999", "",
         "_chemical_name_systematic          '%s'" % s.chemical[:25],
         "_chemical_formula_structural       '%s'" % formula,
         "_chemical_formula_sum              '%s'" % formula, "",
         "_cell_length_a                     %g" % (a * 10), "_cell_length_b                     %g" % (b * 10),
         "_cell_length_c                     %g" % (c * 10), "_cell_angle_alpha                  %g" % al,
         "_cell_angle_beta                   %g" % be, "_cell_angle_gamma                  %g" % ga, "",
         "_symmetry_space_group_name_H-M     'P1'", "_symmetry_Int_Tables_number        1", "",
         "loop_", "_symmetry_equiv_pos_as_xyz         ", "  'x,y,z'", "",
         "loop_", "_atom_type_symbol  ", "_atom_type_oxidation_number        "]
    L += ["  %8s   %f" % (t, 0.0) for t in s.types]
    L += ["", "loop_", "_atom_site_label", "_atom_site_type_symbol", "_atom_site_symmetry_multiplicity",
          "_atom_site_Wyckoff_symbol", "_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z",
          "_atom_site_occupancy", "_atom_site_attached_hydrogens", "_atom_site_calc_flag"]
    for label, t, x, y, z in s.sites:
        f = [robust("%10.6f", [fold(v + 1e-8)]) for v in (x, y, z)]
        L.append("  %8s  %8s  %2d %c  %s  %s  %s  %10.4f %2d %c" % (label, s.types[t], 1, "i", f[0], f[1], f[2],
                                                                    1.0, 0, "a"))
    L += ["", "", "#End of data_99999-ICSD"]
    return "\n".join(L) + "\n"


def xsf_frame(s, step):
    v0 = lattice_vectors(*s.cell, variant=0)
    v1 = lattice_vectors(*s.cell, variant=1)
    vec = ""
    for i in range(3):
        vec += " " + " ".join(robust("%16.10f", [v0[i][k] * 10, v1[i][k] * 10]) for k in range(3)) + "\n"
    out = "PRIMVEC %d\n" % step + vec + "CONVVEC %d\n" % step + vec + "PRIMCOORD %d\n" % step
    out += " %d  1\n" % len(s.sites)
    for label, t, x, y, z in s.sites:
        xyz = []
        for k in range(3):
            variants = []
            for v in (v0, v1):
                variants.append((x * v[0][k] + y * v[1][k] + z * v[2][k]) * 10)
                variants.append(x * v[0][k] * 10 + y * v[1][k] * 10 + z * v[2][k] * 10)
            xyz.append(robust("%12.7f", variants))
        out += "%3d   %s %s %s   %12.7f %12.7f %12.7f\n" % (t + 1, xyz[0], xyz[1], xyz[2], 0, 0, 0)
    return out


def rdf(s, mode, rmax, nmesh):
    """RDF tables of the structure: stdout text and {file name: content}."""
    a, b, c, al, be, ga = s.cell
    G = metric(*s.cell)
    dr = rmax / (nmesh - 1)
    sn = min(abs(math.sin(al * DEG)), abs(math.sin(be * DEG)), abs(math.sin(ga * DEG)))
    rng = [1 - math.trunc(-0.1 * rmax / L / sn) for L in (a, b, c)]
    out = "Lattice parameters: %g %g %g  %g %g %g\n" % (a, b, c, al, be, ga)
    out += "MaximumDistance: %g A\nnMesh: %d\n  Lattice Range: %d %d %d\n" % (rmax, nmesh, rng[0], rng[1], rng[2])
    nt = len(s.types)
    table = [[[0.0] * nmesh for _ in range(nt)] for _ in range(nt)]
    ncentre = [0] * nt
    for _, ti, x0, y0, z0 in s.sites:
        cx, cy, cz = fold(x0), fold(y0), fold(z0)
        ncentre[ti] += 1
        for lc in range(-rng[2], rng[2] + 1):
            for lb in range(-rng[1], rng[1] + 1):
                for la in range(-rng[0], rng[0] + 1):
                    for _, tj, x, y, z in s.sites:
                        dx, dy, dz = fold(x) + la - cx, fold(y) + lb - cy, fold(z) + lc - cz
                        d2 = (G[0][0] * dx * dx + G[1][1] * dy * dy + G[2][2] * dz * dz +
                              2 * (G[0][1] * dx * dy + G[0][2] * dx * dz + G[1][2] * dy * dz))
                        d = 10 * math.sqrt(d2)
                        if d > 1e-9:
                            # no distance may sit on a bin edge or the cut-off
                            q = d / dr
                            assert abs(q - round(q)) > 1e-6 and abs(d - rmax) > 1e-6, d
                        if d <= rmax:
                            table[ti][tj][int(d / dr)] += 1.0
    text, files = rdf_tables(s.types, table, ncentre, dr, mode)
    return out + text, files


# ------------------------------------------------------------ Plimo run model

class Run:
    """One Plimo run: a cell of Si and O atoms moving step by step, with the
    files the program writes about it."""

    def __init__(self, title, types, counts, cell_A, base, n_steps, scale, drift, records):
        self.title, self.types, self.counts = title, types, counts
        self.cell_A = cell_A            # FILE07 cell, Angstrom
        self.base = base                # FILE07 fractional positions (as printed)
        self.scale = scale              # FILE09P integer for a whole cell edge
        self.records = records          # FILE09V: per step None (no record), or dict
        n = len(base)
        # FILE09P integers: an oscillation about the starting position plus
        # a steady drift that takes some atoms across the cell faces.
        self.ints = []
        for step in range(n_steps):
            frame = []
            for i in range(n):
                for k in range(3):
                    f = base[i][k] + 0.011 * math.sin(0.9 * step + 1.7 * i + 2.3 * k) + drift.get((i, k), 0.0) * step
                    frame.append(int(round(f * scale)) % scale)
            self.ints.append(frame)

    def file07(self, htensor, names_per_line):
        L = [" " + self.title + "   ", "%5d%5d" % (sum(self.counts), len(self.types))]
        for k in range(0, len(self.types), names_per_line):
            L.append("".join("%5s" % t for t in self.types[k:k + names_per_line]))
        L.append("".join("%5d" % n for n in self.counts) + "      ! atoms per type")
        L.append("".join("%9.4f" % m for m in (28.0855, 15.9994)[:len(self.types)]) + "   ! masses")
        L.append("".join("%9.4f" % q for q in (2.4, -1.2)[:len(self.types)]) + "   ! charges")
        L.append("    0    1    0")
        L.append("%9.4f%9.4f%9.4f%9.4f" % (1.0, self.cell_A[0], self.cell_A[1], self.cell_A[2]))
        if htensor:
            L.append(" H-TENSOR")
            L.append("%12.6f%12.6f%12.6f" % (self.cell_A[0], 0, 0))
            L.append("%12.6f%12.6f%12.6f" % (0, self.cell_A[1], 0))
            L.append("%12.6f%12.6f%12.6f" % (0, 0, self.cell_A[2]))
        else:
            L.append(" ATOMIC POSITIONS")
        i = 0
        for t, n in enumerate(self.counts):
            for j in range(n):
                x, y, z = self.base[i]
                head = "%5d  %-4s%12.5f%12.5f%12.5f" % (i + 1, self.types[t], x * self.cell_A[0],
                                                        y * self.cell_A[1], z * self.cell_A[2])
                L.append(head.ljust(53) + "%9.5f%9.5f%9.5f" % (x, y, z))
                i += 1
        return "\n".join(L) + "\n"

    def file09p(self, cut_last_frame=False):
        out = ""
        for step, frame in enumerate(self.ints):
            out += "  STEP%8d  TIME%10.4f PS\n" % (step + 1, (step + 1) * 0.002)
            atoms = ["".join("%4d" % v for v in frame[3 * i:3 * i + 3]) for i in range(len(frame) // 3)]
            lines = ["".join(atoms[k:k + 6]) for k in range(0, len(atoms), 6)]
            if cut_last_frame and step == len(self.ints) - 1:
                out += lines[0] + "\n"   # the run stopped while writing this frame
                break
            out += "".join(l + "\n" for l in lines)
        return out

    def file09v(self, cut_last_record=False):
        out = ""
        for step, r in enumerate(self.records):
            if r is None:
                out += "  STEP%8d  (no record)\n" % (step + 1)  # a short line: no record this step
                continue
            out += "%8.2f%9.4f%12.3f%12.3f\n" % (r["T"], r["P"], -12345.678 + step, 45.5 + step)
            out += "%12.4f%12.4f%12.4f\n" % (0.01 * step, -0.02, 0.03)
            if cut_last_record and step == len(self.records) - 1:
                break
            out += "%9.4f%9.3f%9.4f%9.4f%9.4f%9.3f%9.3f%9.3f\n" % (
                r["D"], 300.5, r["cell"][0], r["cell"][1], r["cell"][2], r["cell"][3], r["cell"][4], r["cell"][5])
            out += "%9.4f%9.4f%9.4f\n" % (1.0, 0.0, 0.0)
            out += "%9.4f%9.4f%9.4f\n" % (0.0, 1.0, 0.0)
        return out


def file07_structure(run):
    s = Structure()
    s.chemical = run.title.strip()
    s.types, s.counts = list(run.types), list(run.counts)
    s.cell = [float("%9.4f" % v) * 0.1 for v in run.cell_A] + [90.0, 90.0, 90.0]
    i = 0
    for t, n in enumerate(run.counts):
        for j in range(n):
            s.sites.append(["%s%d" % (run.types[t], j + 1), t] + [fold(float("%9.5f" % v)) for v in run.base[i]])
            i += 1
    return s


def convert(run, n_step, x_factor, interval, avr_first, avr_last, frames_read, records_read, cut_record_at=None):
    """The conversion as the formulas give it: returns the printed frame lines,
    the XSF frames, initial, final and averaged structures and AvrCount."""
    cur = file07_structure(run)
    initial = Structure()
    acc = None
    frames_text, xsf, avr_count, n_out = "", "", 0, 0
    for step in range(n_step):
        if step >= frames_read:
            break
        ints = run.ints[step]
        for i, site in enumerate(cur.sites):
            for k in range(3):
                v = ints[3 * i + k] * x_factor
                if step > 0:
                    p = site[2 + k]
                    d = fold(v - p)
                    if d > 0.5:
                        d -= 1
                    v = p + d
                site[2 + k] = v
        if step < records_read:
            r = run.records[step]
            if r is not None:
                cur.T, cur.P = float("%8.2f" % r["T"]), float("%9.4f" % r["P"])
                if step != cut_record_at:
                    cur.D = float("%9.4f" % r["D"])
                    cell = [float("%9.4f" % v) * 0.1 for v in r["cell"][:3]]
                    angles = [float("%9.3f" % v) for v in r["cell"][3:]]
                    cur.cell = cell + [90.0 if v == 0 else v for v in angles]
        if step == 0:
            initial = cur.copy()
        if step % interval == 0:
            n_out += 1
            xsf += xsf_frame(cur, n_out)
            frames_text += "...Frame %d (T=%g, P=%g, D=%g)\n" % (step, cur.T, cur.P, cur.D)
        if step == 0:
            acc = cur.copy()
            for site in acc.sites:
                site[2:5] = [0.0, 0.0, 0.0]
            acc.cell = [0.0] * 6
        if avr_first <= step <= avr_last:
            for sa, sc in zip(acc.sites, cur.sites):
                for k in range(2, 5):
                    sa[k] += sc[k]
            acc.cell = [u + v for u, v in zip(acc.cell, cur.cell)]
            avr_count += 1
    if avr_count > 0:
        for site in acc.sites:
            for k in range(2, 5):
                site[k] /= avr_count
        acc.cell = [v / avr_count for v in acc.cell]
    return frames_text, xsf, initial, cur, acc, avr_count


def conv_case(name, run, files, input_name, options, stem, xsf_name, f05_line, htensor, names_per_line,
              cut_frame=False, cut_record=False, rdf_opts=None, extra_inputs=None):
    """files: companion names (FILE05, FILE07, FILE09P, FILE09V) in the scratch directory."""
    f05, f07, f9p, f9v = files
    inputs = {f07: run.file07(htensor, names_per_line), f9p: run.file09p(cut_frame), f9v: run.file09v(cut_record)}
    if f05_line is not None:
        inputs[f05] = f05_line + "\n  2  1  0                                            :\n"
    inputs.update(extra_inputs or {})
    opt = dict(options)
    n_frames = len(run.ints)
    n_step = opt.get("nLastStep", 0) if opt.get("nLastStep", 0) > 0 else n_frames
    first = f05_line[:2].upper() if f05_line else ""
    x_factor = 1.0 / 9000 if first == "MD" else (0.0005 if first == "XD" else 1.0)
    interval = opt.get("nOutputInterval", 0)
    interval = interval if interval > 0 else 1
    n_output = int((n_step - 1) / interval) + 1  # the division truncates toward zero
    avr_first = opt.get("iAvrFirstStep", 0)
    avr_first = avr_first if avr_first > 0 else 1
    avr_last = opt.get("iAvrLastStep", 0)
    avr_last = avr_last if avr_last > 0 else n_step
    frames_read = n_frames - 1 if cut_frame else n_frames
    records_read = len(run.records)
    frames_text, xsf, initial, final, avr, avr_count = convert(
        run, n_step, x_factor, interval, avr_first, avr_last, frames_read, records_read,
        cut_record_at=len(run.records) - 1 if cut_record else None)

    args = ["--DBDir={TESTDB}", "--Action=ConvF09p", input_name] + ["--%s=%s" % kv for kv in options]
    body = "\nInput file  : %s\nFILE05 file : %s\nFILE07 file : %s\nFILE09P file: %s\nFILE09V file: %s\n" % (
        input_name, f05, f07, f9p, f9v)
    body += "XSF file    : %s\n\n" % xsf_name
    body += "nAtomSites: %d  nAtomType: %d\n" % (sum(run.counts), len(run.types))
    body += "nStep: %d\nxFactor: %g\nnOutputInterval: %d\nnOutput: %d\n" % (n_step, x_factor, interval, n_output)
    body += "For averaged crystal structure: use steps in %d - %d\n" % (avr_first, avr_last)
    body += frames_text
    body += "CIFHeader: %s\n\n" % stem
    body += "Make CIFFile of initial structure [%s-initial.cif].\n" % stem
    body += "Make CIFFile of final structure [%s-final.cif].\n" % stem
    body += "AvrCount: %d\n" % avr_count
    outputs = {xsf_name: "ANIMSTEPS %d\nCRYSTAL\n\n" % n_output + xsf,
               stem + "-initial.cif": cif_text(initial), stem + "-final.cif": cif_text(final)}
    if avr_count > 0:
        body += "Make CIFFile of averaged structure [%s-averaged.cif].\n" % stem
        outputs[stem + "-averaged.cif"] = cif_text(avr)
    if rdf_opts:
        body += "Calculate RDF for final structure.\n"
        text, rdf_files = rdf(final, 0, *rdf_opts)
        body += text
        outputs.update(rdf_files)
        if avr_count > 0:
            body += "Calculate RDF for averaged structure.\n"
            text, rdf_files = rdf(avr, 2, *rdf_opts)
            body += text
            outputs.update(rdf_files)
    write_case("ConvF09p", name, args,
               program_stdout(args, "Convert F09p/F09v/F05 Files to XSF / CIF files.\n", body), inputs, outputs)


def records(n, short=(), zero_angle=(), tilt=False):
    out = []
    for step in range(n):
        if step in short:
            out.append(None)
            continue
        a = 4.9160 + 0.0031 * math.sin(0.7 * step) + 0.0004 * step
        b = 4.9160 + 0.0027 * math.cos(0.5 * step)
        c = 5.4050 - 0.0003 * step
        angles = [90.0, 90.0, 90.0]
        if tilt:
            angles = [90.0 + 0.021 * math.sin(0.3 * step), 89.987 + 0.0007 * step, 90.0 - 0.013 * math.cos(step)]
        if step in zero_angle:
            angles[1] = 0.0
        out.append({"T": 300.0 + 25.0 * math.sin(0.4 * step) + 0.37 * step, "P": 0.1 + 0.05 * math.cos(0.6 * step),
                    "D": 2.6485 - 0.0004 * step, "cell": [a, b, c] + angles})
    return out


SIO2_BASE = [(0.4697, 0.0, 0.0), (0.0, 0.4697, 0.6667), (0.9750, 0.5303, 0.3333),
             (0.4135, 0.2669, 0.1191), (0.7331, 0.1466, 0.7858), (0.8534, 0.5865, 0.0400),
             (0.2669, 0.4135, 0.5475), (0.1466, 0.7331, 0.2142), (0.5865, 0.8534, 0.8809)]
# Si3 runs out through x = 1, O3 out through z = 0, O6 out through y = 1.
SIO2_DRIFT = {(2, 0): 0.0031, (5, 2): -0.0047, (8, 1): 0.0075}


def conv_f09p_cases():
    md = Run("SiO2 alpha-quartz cell, NPT run at 300 K", ["Si", "O"], [3, 6], (4.916, 4.916, 5.405),
             SIO2_BASE, 27, 9000, SIO2_DRIFT, records(27, short=(7, 8), zero_angle=(12,), tilt=True))
    conv_case("md_scale_named_set", md, ("run.f05", "run.f07", "run.f9p", "run.f9v"), "run.f9p",
              [("nOutputInterval", 5)], "run", "run.xsf",
              "MD   SiO2 quartz NPT                                              :", False, 2)

    xd = Run("quartz, XD run", ["Si", "O"], [3, 6], (4.916, 4.916, 5.405), SIO2_BASE, 26, 2000, SIO2_DRIFT,
             records(26, short=(3,), tilt=True))
    conv_case("xd_scale_fixed_names_rdf", xd,
              ("sim/FILE05.DAT", "sim/FILE07.DAT", "sim/FILE09P.DAT", "sim/FILE09V.DAT"), "sim/file09p.dat",
              [("nLastStep", 20), ("iAvrFirstStep", 4), ("iAvrLastStep", 15), ("nOutputInterval", 10),
               ("CalcRDF", 1), ("MaximumDistance", 3.3), ("nMesh", 12)],
              "sim/file09p", "sim/file09p.xsf", "xd   quartz, fixed names                  :", True, 1,
              rdf_opts=(3.3, 12))

    small = Run("SiO2 short run", ["Si", "O"], [3, 6], (4.916, 4.916, 5.405), SIO2_BASE, 5, 9000, SIO2_DRIFT,
                records(4))
    # The run stopped while writing its fifth frame and fourth record: the
    # cut frame is counted but not converted; the cut record sets T and P only.
    conv_case("truncated_frame_and_record", small, ("cut.f05", "cut.f07", "cut.f9p", "cut.f9v"), "cut.f07",
              [("nOutputInterval", 2)], "cut", "cut.xsf", "md", False, 2, cut_frame=True, cut_record=True)
    conv_case("only_one_step", small, ("one.f05", "one.f07", "one.f9p", "one.f9v"), "one.f05",
              [("nLastStep", 1)], "one", "one.xsf", "MD", False, 2)


def conv_f09p_special_cases():
    run = Run("SiO2 cell", ["Si", "O"], [3, 6], (4.916, 4.916, 5.405),
              [(1.0, 0.25, -0.05)] + SIO2_BASE[1:], 4, 9000, {}, records(4))
    # An empty FILE09P and no FILE05: no steps, xFactor 1; the final
    # structure is FILE07's (positions folded into the cell), the initial one
    # is empty.
    args = ["--DBDir={TESTDB}", "--Action=ConvF09p", "empty.f9p"]
    final = file07_structure(run)
    body = ("\nInput file  : empty.f9p\nFILE05 file : empty.f05\nFILE07 file : empty.f07\n"
            "FILE09P file: empty.f9p\nFILE09V file: empty.f9v\nXSF file    : empty.xsf\n\n"
            "nAtomSites: 9  nAtomType: 2\nnStep: 0\nxFactor: 1\nnOutputInterval: 1\nnOutput: 0\n"
            "For averaged crystal structure: use steps in 1 - 0\nCIFHeader: empty\n\n"
            "Make CIFFile of initial structure [empty-initial.cif].\n"
            "Make CIFFile of final structure [empty-final.cif].\nAvrCount: 0\n")
    write_case("ConvF09p", "empty_trajectory", args,
               program_stdout(args, "Convert F09p/F09v/F05 Files to XSF / CIF files.\n", body),
               {"empty.f07": run.file07(False, 2), "empty.f9p": "", "empty.f9v": ""},
               {"empty.xsf": "ANIMSTEPS 0\nCRYSTAL\n\n", "empty-initial.cif": cif_text(Structure()),
                "empty-final.cif": cif_text(final)})

    # FILE09V missing: the conversion stops before writing anything, and the
    # outputs of an earlier run stay as they were.
    args = ["--DBDir={TESTDB}", "--Action=ConvF09p", "lost.f9p"]
    body = ("\nInput file  : lost.f9p\nFILE05 file : lost.f05\nFILE07 file : lost.f07\n"
            "FILE09P file: lost.f9p\nFILE09V file: lost.f9v\nXSF file    : lost.xsf\n\n"
            "nAtomSites: 9  nAtomType: 2\nnStep: 4\nxFactor: 0.000111111\nnOutputInterval: 1\nnOutput: 4\n"
            "For averaged crystal structure: use steps in 1 - 4\nCan not read [lost.f9v].\n")
    write_case("ConvF09p", "missing_file09v_keeps_earlier_outputs", args,
               program_stdout(args, "Convert F09p/F09v/F05 Files to XSF / CIF files.\n", body),
               {"lost.f05": "MD  run\n", "lost.f07": run.file07(False, 2), "lost.f9p": run.file09p(),
                "lost.xsf": EARLIER_XSF, "lost-initial.cif": EARLIER_CIF, "lost-final.cif": EARLIER_CIF,
                "lost-averaged.cif": EARLIER_CIF}, {})

    # A FILE07 whose type counts (3 + 5) disagree with its 9 atoms: the
    # structure is refused and the run goes on with an empty one, each frame
    # then being its header and one line.
    bad07 = run.file07(False, 2).replace("    3    6      ! atoms", "    3    5      ! atoms")
    n_lines = len(run.file09p().splitlines())
    n_frames = (n_lines + 1) // 2
    recs = run.records
    args = ["--DBDir={TESTDB}", "--Action=ConvF09p", "bad.f9p", "--nOutputInterval=2"]
    body = ("\nInput file  : bad.f9p\nFILE05 file : bad.f05\nFILE07 file : bad.f07\n"
            "FILE09P file: bad.f9p\nFILE09V file: bad.f9v\nXSF file    : bad.xsf\n\n"
            "Error in CPlimo::ReadFILE07: the atoms of the types add up to 8, not to nAtomSites [9] in [bad.f07].\n"
            "nAtomSites: 0  nAtomType: 0\nnStep: %d\nxFactor: 0.000111111\nnOutputInterval: 2\nnOutput: %d\n"
            "For averaged crystal structure: use steps in 1 - %d\n" % (n_frames, (n_frames - 1) // 2 + 1, n_frames))
    s = Structure()
    xsf = "ANIMSTEPS %d\nCRYSTAL\n\n" % ((n_frames - 1) // 2 + 1)
    initial = None
    acc_cell, avr = [0.0] * 6, 0
    for step in range(n_frames):
        if step < len(recs):
            r = recs[step]
            s.T, s.P, s.D = float("%8.2f" % r["T"]), float("%9.4f" % r["P"]), float("%9.4f" % r["D"])
            s.cell = [float("%9.4f" % v) * 0.1 for v in r["cell"][:3]] + [90.0, 90.0, 90.0]
        if step == 0:
            initial = s.copy()
        if step % 2 == 0:
            xsf += xsf_frame(s, step // 2 + 1)
            body += "...Frame %d (T=%g, P=%g, D=%g)\n" % (step, s.T, s.P, s.D)
        if step >= 1:
            acc_cell = [u + v for u, v in zip(acc_cell, s.cell)]
            avr += 1
    avr_s = Structure()
    avr_s.cell = [v / avr for v in acc_cell]
    body += ("CIFHeader: bad\n\nMake CIFFile of initial structure [bad-initial.cif].\n"
             "Make CIFFile of final structure [bad-final.cif].\nAvrCount: %d\n"
             "Make CIFFile of averaged structure [bad-averaged.cif].\n" % avr)
    write_case("ConvF09p", "file07_counts_disagree", args,
               program_stdout(args, "Convert F09p/F09v/F05 Files to XSF / CIF files.\n", body),
               {"bad.f05": "MD  run\n", "bad.f07": bad07, "bad.f9p": run.file09p(), "bad.f9v": run.file09v()},
               {"bad.xsf": xsf, "bad-initial.cif": cif_text(initial), "bad-final.cif": cif_text(s),
                "bad-averaged.cif": cif_text(avr_s)})

    # No input name at all.
    args = ["--DBDir={TESTDB}", "--Action=convf09p"]
    body = ("\nInput file  : \nFILE05 file : .f05\nFILE07 file : .f07\nFILE09P file: .f9p\nFILE09V file: .f9v\n"
            "XSF file    : .xsf\n\nError in CPlimo::GetnFrameInFile09: Can not read [.f9p].\n"
            "nAtomSites: 0  nAtomType: 0\nnStep: 0\nxFactor: 1\nnOutputInterval: 1\nnOutput: 0\n"
            "For averaged crystal structure: use steps in 1 - 0\nCan not read [.f9p].\n")
    write_case("ConvF09p", "announce_without_input", args,
               program_stdout(args, "Convert F09p/F09v/F05 Files to XSF / CIF files.\n", body), {}, {})


# ------------------------------------------------------------- UpdateFILE05

FILE05_LINES = [
    "MD   SiO2 glass, quench under pressure                              :",
    "    2    1    0    0    0                                          :",
    "NSTEP    1000.0    2.9    100.    10.    1.    0.5                :",
    "    9    2  300    1                                               :",
    "TEMP        1200.00    -2.50      10.                              :",
    "PRESSURE   0.0001    0.0001    0.0001                              :",
    "   1.0000   4.9160   4.9160   5.4050                               :",
    "   0.0100   0.0000   0.0000                                        :",
    "END",
]


def update_expected(lines, n_cycle=0, temperature=-1e50, rate=-1e50, control=1, pressure=-1e50):
    out = list(lines)
    word, *nums = lines[2].split()[:7]
    nums = [float(v) for v in nums]
    first = n_cycle if n_cycle > 0 else math.trunc(nums[0])
    out[2] = "%-8s     %05d.    %05d.    %5d.   %5d.    %5d.            :" % (
        word, first, math.trunc(nums[1]), math.trunc(nums[2]), math.trunc(nums[3]), math.trunc(nums[4]))
    label = lines[4][:10]
    t, r, c = [float(v) for v in lines[4][10:].split()[:3]]
    t = temperature if temperature > -1000.0 else t
    r = rate if rate > -1e20 else r
    c = control if control > 0 else math.trunc(c)
    out[4] = "%9s%9.2f%9.2f%9d.                                :" % (label, t, r, c)
    if pressure > -1e20:
        out[5] = "%8s%10.4f%10.4f%10.4f                               :" % (lines[5][:9], pressure, pressure,
                                                                             pressure)
    return "\n".join(out) + "\n"


def update_case(name, input_name, output_name, options, values, text=None, expected=None):
    args = ["--DBDir={TESTDB}", "--Action=UpdateFILE05", input_name] + ["--%s=%s" % kv for kv in options]
    opt = dict(options)
    sn = int(opt.get("sn", "0"))
    body = "Update [%s] to [%s].\n" % (input_name, output_name)
    body += "nCycle: %d\nNextTempeature: %g K\nTempeatureRate: %g K / %d step\nNextPressure  : %g GPa\n" % (
        int(opt.get("nCycle", "0")), float(opt.get("NextTemperature", "-1e50")),
        float(opt.get("TemperatureRate", "-1e50")), int(opt.get("ControlStep", "1")),
        float(opt.get("NextPressure", "-1e50")))
    body += "Sequential N  : %d\n\n" % sn
    text = text if text is not None else "\n".join(FILE05_LINES) + "\n"
    expected = expected if expected is not None else update_expected(FILE05_LINES, **values)
    write_case("UpdateFILE05", name, args, program_stdout(args, "Update Input .f05 file with sn=%d.\n" % sn, body),
               {input_name: text}, {output_name: expected})


def update_file05_cases():
    update_case("numbered_series_all_options", "run-004.f05", "run-005.f05",
                [("sn", "5"), ("nCycle", "20000"), ("NextTemperature", "1500"), ("TemperatureRate", "-2.5"),
                 ("ControlStep", "20"), ("NextPressure", "1.5")],
                dict(n_cycle=20000, temperature=1500.0, rate=-2.5, control=20, pressure=1.5))
    # Defaults: only the control step changes (to 1); line 3 is rewritten
    # with its numbers truncated and zero-padded.
    update_case("defaults_drop_numbered_suffix", "run-004.f05", "run.f05.new", [("sn", "0")], {})
    # Values at or below their thresholds keep the old ones.
    update_case("thresholds_keep_old_values", "run-x04.f05", "run-x04-005.f05",
                [("sn", "5"), ("NextTemperature", "-2000"), ("TemperatureRate", "-1e21"), ("ControlStep", "-1"),
                 ("NextPressure", "-1e20"), ("nCycle", "-3")], dict(control=-1))
    # A short input in Windows line ends whose line 3 lacks its numbers and
    # whose line 6 is shorter than its label: both are copied unchanged.
    short = ["MD   short input", "    2    1", "NSTEP    (to be set)",
             "    9    2", "TEMP         300.00     0.00       5.", "PRES"]
    expected = list(short)
    expected[4] = "%9s%9.2f%9.2f%9d.                                :" % ("TEMP      ", 900.0, 0.0, 5)
    update_case("short_lines_copied", "case.f05", "case-012.f05", [("sn", "12"), ("NextTemperature", "900"),
                                                                   ("ControlStep", "0"), ("NextPressure", "2")],
                {}, text="\r\n".join(short) + "\r\n", expected="\n".join(expected) + "\n")

    for name, input_name, options, output_name, message in (
            ("missing_input_keeps_earlier_output", "gone.f05", [("sn", "2")], "gone-002.f05",
             "Can not read gone.f05.\n"),
            ("sn_naming_the_input", "run-005.f05", [("sn", "5")], "run-005.f05",
             "Can not write to run-005.f05: it is the input file.\n")):
        args = ["--DBDir={TESTDB}", "--Action=UpdateFILE05", input_name] + ["--%s=%s" % kv for kv in options]
        sn = int(dict(options)["sn"])
        body = ("Update [%s] to [%s].\nnCycle: 0\nNextTempeature: -1e+50 K\nTempeatureRate: -1e+50 K / 1 step\n"
                "NextPressure  : -1e+50 GPa\nSequential N  : %d\n" % (input_name, output_name, sn)) + message
        # Without its input the run writes nothing: an output of that name
        # from an earlier run stays as it was.
        if name == "missing_input_keeps_earlier_output":
            inputs = {output_name: "MD   the next input made by an earlier run\n"}
        else:
            inputs = {input_name: "\n".join(FILE05_LINES) + "\n"}
        write_case("UpdateFILE05", name, args,
                   program_stdout(args, "Update Input .f05 file with sn=%d.\n" % sn, body), inputs, {})

    args = ["--DBDir={TESTDB}", "--Action=updatefile05", "--sn=5=6"]
    body = ("Update [] to [-005].\nnCycle: 0\nNextTempeature: -1e+50 K\nTempeatureRate: -1e+50 K / 1 step\n"
            "NextPressure  : -1e+50 GPa\nSequential N  : 5\nCan not read .\n")
    write_case("UpdateFILE05", "announce_without_input", args,
               program_stdout(args, "Update Input .f05 file with sn=5.\n", body), {}, {})


# ------------------------------------------------------------ AddHistoryCSV

HISTORY_HEADER = ("sn,time(fs),Temp(K),P(GPa),Pxx,Pyy,Pzz,Pxy,Pxz,Pyz,U:Coulomb(J/mol),Short,3-body,Kinet.,Total,"
                  "Density(cm-3)\n")


class F06:
    """A Plimo run log: header, step table (with page breaks) and printed
    blocks, with the values as printed."""

    def __init__(self, n_step, dt, every, blocks_every, seed, temp_first=False, page_every=7, restart_at=None,
                 time_line=True):
        self.dt, self.rows, self.blocks = dt, [], []
        self.temp_first = temp_first
        L = [" " + "*" * 60, " *     PLIMO  molecular dynamics of ionic solids" + " " * 11 + "*", " " + "*" * 60, ""]
        if time_line:
            L.append(" Number of steps :%6d   time step of %7.3f fs" % (n_step, dt))
        L.append(" Ensemble NPT, temperature scaled every 10 steps")
        L.append("")
        header = (" Step Temp(K)   Time(ps) P(GPa)  (  Pxx   Pyy   Pzz   Pxy   Pxz   Pyz)  U:Coulomb    Short"
                  " 3-body  Kinet.     Total  Density" if temp_first else
                  " Step Time(ps)  Temp(K) P(GPa)  (  Pxx   Pyy   Pzz   Pxy   Pxz   Pyz)  U:Coulomb    Short"
                  " 3-body  Kinet.     Total  Density")
        assert header.startswith(" Step T")
        self.pos_temp = header.index("Temp")
        L.append(header)
        n_rows = 0
        steps = list(range(every, n_step + 1, every))
        if restart_at:
            i = steps.index(restart_at)
            steps = steps[:i + 1] + [restart_at - every, restart_at] + steps[i + 1:]  # a restarted stretch
        for sn in steps:
            if n_rows and n_rows % page_every == 0:
                L += [" " + "-" * 70, " (continued on the next page)", header]
            n_rows += 1
            row = self.row(sn, seed)
            L.append(row["text"])
            if sn > max([r["sn"] for r in self.rows] + [0]):
                self.rows.append(row)
            if sn % blocks_every == 0 and sn not in [b["sn"] for b in self.blocks]:
                L += self.block(sn, row, seed, len(self.blocks))
        L += ["", " Run finished normally."]
        self.text = "\n".join(L) + "\n"

    def row(self, sn, seed):
        v = {"sn": sn, "T": "%5.1f" % (300 + 40 * math.sin(0.01 * sn + seed)), "P": "%8.4f" % (
            0.2 + 0.9 * math.cos(0.013 * sn + seed)),
             "Pt": ["%6.2f" % (1.5 * math.sin(0.02 * sn + k + seed) * (12 if k == 2 else 1)) for k in range(6)],
             "U": "%10.2f" % (-98765.43 - 3.1 * sn), "S": "%9.2f" % (2345.67 + 0.7 * sn),
             "B": "%7.2f" % (123.4 + 0.1 * math.sin(sn)), "K": "%7.2f" % (456.7 + 11 * math.cos(0.02 * sn)),
             "E": "%10.2f" % (-95839.66 - 2.2 * sn), "D": "%9.4f" % (2.6485 - 0.00001 * sn)}
        time = "%8.3f" % (sn * self.dt / 1000)
        if self.temp_first:
            head = "%5d %s   %s" % (sn, v["T"], time)
        else:
            head = "%6d %s %s" % (sn, time, v["T"])
        v["text"] = "%s %s(%s)%s%s%s%s%s%s" % (head, v["P"], "".join(v["Pt"]), v["U"], v["S"], v["B"], v["K"], v["E"],
                                             v["D"])
        assert v["text"][self.pos_temp:self.pos_temp + 5] == v["T"]
        assert int(v["text"][:6]) == sn and int(v["text"].split()[0]) == sn  # the row's and the block's reading
        return v

    def block(self, sn, row, seed, n):
        b = {"sn": sn, "T": row["T"], "cell": ["%9.4f" % (4.916 + 0.001 * math.sin(sn + seed)),
                                               "%9.4f" % (4.916 + 0.001 * math.cos(sn)),
                                               "%9.4f" % (5.405 - 0.0001 * sn),
                                               "%8.3f" % 90.0, "%8.3f" % (90.0 + 0.01 * math.sin(sn)),
                                               "%8.3f" % 120.0],
             "U": "%12.3f" % (-98765.432 - sn), "E": "%12.3f" % (-98300.1 - sn), "K": "%12.3f" % (465.3 + 0.1 * sn),
             "H": "%12.3f" % (-98290.0 - sn), "PV": "%12.3f" % (10.123 + 0.001 * sn),
             "msd": [("Si", "%9.5f" % (0.01 * (n + 1) + 0.0012)), (" O", "%9.5f" % (0.02 * (n + 1) + 0.0034)),
                     ("Na", "%9.5f" % (0.05 * (n + 1)))]}
        self.blocks.append(b)
        c = b["cell"]
        start = "1<<<<<<" if n % 2 else "<<<<<<"
        return [start + "<" * 50, "  Snapshot of the system", "-" * 60, row["text"], "I" + "-" * 58 + "I",
                "I  Cell (A, degree)" + " " * 39 + "I",
                "I A:%s   Alpha:%s" % (c[0], c[3]), "I B:%s   Beta :%s" % (c[1], c[4]),
                "I C:%s   Gamma:%s" % (c[2], c[5]),
                "I  Energies (kJ/mol)",
                "I U =%s    U+K =%s" % (b["U"], b["E"]), "I K =%s    E+PV=%s" % (b["K"], b["H"]),
                "I PV=%s" % b["PV"], "I  Mean square displacement",
                "I M.s.d. (A^2)  Si:%s   O:%s" % (b["msd"][0][1], b["msd"][1][1]),
                "I               Na:%s" % b["msd"][2][1],
                "I" + "-" * 58 + "I"]


def history_run(f06, interval, offset1, offset2, new1, new2, no_time_line=False):
    """Standard output after the header lines, and the rows appended. A log
    without its time-step line has time step 0 and no step table, and its
    block temperatures are not read."""
    dt = 0.0 if no_time_line else f06.dt
    out, t1, t2 = "", "", ""
    if new1:
        t1 += HISTORY_HEADER
    if not no_time_line:
        out += "TimeStep: %g fs\nnStep: %d\n PosTemp=%d\n" % (dt, f06_nstep(f06), f06.pos_temp)
    for count, r in enumerate([] if no_time_line else f06.rows):
        out += " sn=%d  T=%g  P=%f  K=%f  Total=%f  d=%6.3f\n" % (r["sn"], float(r["T"]), float(r["P"]),
                                                                float(r["K"]), float(r["E"]), float(r["D"]))
        if count % abs(interval) == 0:
            vals = [float(r[k]) for k in ("T", "P")] + [float(p) for p in r["Pt"]] + \
                   [float(r[k]) for k in ("U", "S", "B", "K", "E", "D")]
            t1 += "%d,%g," % (r["sn"] + offset1[0], r["sn"] * dt + offset1[1]) + ",".join("%g" % v for v in vals) + "\n"
    out += "Add to {H2}\n"
    for count, b in enumerate(f06.blocks):
        T = 0.0 if no_time_line else float(b["T"])
        out += " T=%g\n" % T
        cell = [float(v) for v in b["cell"]]
        out += "  Latti: %g %g %g   %g %g %g\n" % tuple(cell)
        e = {k: float(b[k]) for k in ("U", "E", "K", "H", "PV")}
        out += "  U=%g E=%g K=%g H=%g PV=%g\n" % (e["U"], e["E"], e["K"], e["H"], e["PV"])
        m = [(n, float(v)) for n, v in b["msd"]]
        out += " Name=%s(%g)  " % m[0] + " %s(%g)\n" % m[1] + " Name=%s(%g)  " % m[2]
        if count == 0 and new2:
            t2 += "sn,time(fs),Temp(K),a(A),b(A),c(A),alpha,beta,gamma,U,E,K,PV,H" + \
                  "".join(",m.s.d.(%s)" % n for n, _ in m) + "\n"
        if count % abs(interval) == 0:
            vals = [T] + cell + [e["U"], e["E"], e["K"], e["PV"], e["H"]] + [v for _, v in m]
            t2 += "%d,%g," % (b["sn"] + offset2[0], b["sn"] * dt + offset2[1]) + ",".join("%g" % v for v in vals) + "\n"
    return out, t1, t2


def f06_nstep(f06):
    line = [l for l in f06.text.splitlines() if "time step of " in l][0]
    return int(line[18:24])


def history_case(name, f06_name, history_arg, h1, h2, f06, interval, existing=None, no_time_line=False):
    args = ["--DBDir={TESTDB}", "--Action=AddHistoryCSV", f06_name] + ([history_arg] if history_arg else [])
    if interval != 0:
        args.append("--nOutputInterval=%d" % interval)
    existing = existing or {}
    e1, e2 = existing.get(h1, ""), existing.get(h2, "")

    def offsets(text):
        if not text:
            return (0, 0.0)
        last = text.splitlines()[-1]
        return (int(last.split(",")[0]), float(last.split(",")[1]))
    o1, o2 = offsets(e1), offsets(e2)
    body = "Input .f06 File  : %s\nHistory CSV  File: %s\nHistory2 CSV File: %s\nnOutputInterval: %d\n" % (
        f06_name, h1, h2, interval if interval != 0 else 1)
    if e1:
        body += "StepOffset: %d\nTimeOffset: %g fs\n" % o1
    out, t1, t2 = history_run(f06, interval if interval != 0 else 1, o1, o2, not e1, not e2, no_time_line)
    body += out.replace("{H2}", h2)
    inputs = {f06_name: f06.text}
    inputs.update(existing)
    write_case("AddHistoryCSV", name, args,
               program_stdout(args, "Make History CSV File from Input .f06 file.\n", body), inputs,
               {h1: e1 + t1, h2: e2 + t2})


def add_history_cases():
    run1 = F06(120, 2.0, 5, 40, 0.3, restart_at=60)
    history_case("first_run_creates_tables", "quartz-001.f06", None, "quartz-001-History.csv",
                 "quartz-001-History2.csv", run1, 0)
    # The second run of the series continues the tables of the first.
    _, t1, t2 = history_run(run1, 1, (0, 0.0), (0, 0.0), True, True)
    run2 = F06(90, 1.5, 3, 30, 1.1, temp_first=True, page_every=9)
    history_case("second_run_appends_with_offsets", "quartz-002.f06", "quartz-History.csv", "quartz-History.csv",
                 "quartz-History2.csv", run2, 2, existing={"quartz-History.csv": t1, "quartz-History2.csv": t2})
    # A log without its time-step line: no step table is found, times are the
    # offsets, and block temperatures are not read.
    run3 = F06(40, 2.0, 10, 10, 0.5, time_line=False)
    history_case("no_time_step_line", "notime.f06", "notime.csv", "notime.csv", "notime-History2.csv", run3, -3,
                 no_time_line=True)

    # Without its log the run adds nothing: the tables of earlier runs are read
    # for their offsets (step 120, 240 fs) and stay as they were.
    args = ["--DBDir={TESTDB}", "--Action=AddHistoryCSV", "gone.f06"]
    body = ("Input .f06 File  : gone.f06\nHistory CSV  File: gone-History.csv\nHistory2 CSV File: gone-History2.csv\n"
            "nOutputInterval: 1\nStepOffset: 120\nTimeOffset: 240 fs\nError: Can not read [gone.f06].\n")
    earlier = {"gone-History.csv": HISTORY_HEADER + "120,240,339.9,-0.0567,0.64,-0.79,-18,-0.83,0.61,1.48,-99137.4,"
                                                    "2429.67,123.46,448.59,-96103.7,2.6473\n",
               "gone-History2.csv": "sn,time(fs),Temp(K),a(A),b(A),c(A),alpha,beta,gamma,U,E,K,PV,H\n"
                                    "120,240,339.9,4.915,4.9159,5.397,90,89.99,120,-98845.4,-98380.1,473.3,10.203,"
                                    "-98370\n"}
    write_case("AddHistoryCSV", "missing_input_keeps_earlier_tables", args,
               program_stdout(args, "Make History CSV File from Input .f06 file.\n", body), earlier, {})

    args = ["--DBDir={TESTDB}", "--Action=addhistorycsv"]
    body = ("Input .f06 File  : \nHistory CSV  File: -History.csv\nHistory2 CSV File: -History2.csv\n"
            "nOutputInterval: 1\nError: Can not read [].\n")
    write_case("AddHistoryCSV", "announce_without_input", args,
               program_stdout(args, "Make History CSV File from Input .f06 file.\n", body), {}, {})


if __name__ == "__main__":
    conv_f09p_cases()
    conv_f09p_special_cases()
    update_file05_cases()
    add_history_cases()
