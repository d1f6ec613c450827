#!/usr/bin/env python3
"""Writes the input files of the interop checks (tests/interop/inputs/), laid
out line by line as the simulation programs print them. Only inputs are made
here: what the files hold is read back at test time by ASE (where it reads the
format) or by the checks' own small readers, never taken from Quorvel.

Run it from anywhere: python3 tests/interop/make_inputs.py
The files it writes are committed; rerun it after changing it."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "inputs")


def write(rel, text):
    path = os.path.join(OUT, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="\n") as f:
        f.write(text)


def det3(m):
    return (m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
            + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]))


def reciprocal(m):
    """Rows b_i with a_i . b_j = delta_ij (VASP prints them without 2 pi)."""
    d = det3(m)
    a, b, c = m

    def cross(u, v):
        return [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
    return [[x / d for x in cross(b, c)], [x / d for x in cross(c, a)], [x / d for x in cross(a, b)]]


def matvec(frac, cell):
    return [sum(frac[k] * cell[k][c] for k in range(3)) for c in range(3)]


# ---------------------------------------------------------------------- VASP
# Wurtzite ZnO relaxed in three ionic steps. VASP's hexagonal setting puts a1
# at -60 degrees from x (a1 = (a/2, -a sqrt3/2, 0)), so the cell is not in the
# a-along-x orientation; POSCAR gives Cartesian positions, CONTCAR direct ones
# with selective dynamics and the velocity block VASP appends.

def hex_cell(a, c, tilt=0.0):
    s3 = math.sqrt(3.0)
    return [[a / 2, -a * s3 / 2, 0.0], [a / 2, a * s3 / 2, 0.0], [tilt, 0.0, c]]


ZNO_FRAC = [[1 / 3, 2 / 3, 0.0], [2 / 3, 1 / 3, 0.5], [1 / 3, 2 / 3, 0.3819], [2 / 3, 1 / 3, 0.8819]]


def vasp_steps():
    """Cell and fractional positions of the three ionic steps; the last
    shears the cell slightly so that no angle stays at 90 or 120 degrees."""
    steps = []
    for k, (a, c, u, tilt) in enumerate([(3.2495, 5.2069, 0.3819, 0.0), (3.2551, 5.2102, 0.3826, 0.021),
                                         (3.2583, 5.2127, 0.3831, 0.034)]):
        frac = [list(p) for p in ZNO_FRAC]
        frac[2][2] = u
        frac[3][2] = 0.5 + u
        frac[1][0] += 0.0031 * k
        frac[3][1] -= 0.0024 * k
        steps.append((hex_cell(a, c, tilt), frac))
    return steps


def vasp_inputs():
    d = "VASP/run/"
    write(d + "INCAR", "SYSTEM = ZnO wurtzite relax\nPREC = Accurate\nENCUT = 500\nISMEAR = 0\n"
          "SIGMA = 0.05\nIBRION = 2\nISIF = 3\nNSW = 3\nEDIFF = 1E-6\nEDIFFG = -0.01\n")
    potcar = ""
    for title, vrhfin in (("PAW_PBE Zn 06Sep2000", "Zn: d10 p2"), ("PAW_PBE O 08Apr2002", "O: s2p4")):
        potcar += (" %s\n 12.0000000000000000\n parameters from PSCTR are:\n   VRHFIN =%s\n"
                   "   LEXCH  = PE\n   TITEL  = %s\n   POMASS =   65.390; ZVAL   =   12.000\n"
                   " End of Dataset\n" % (title, vrhfin, title))
    write(d + "POTCAR", potcar)

    steps = vasp_steps()
    cell, frac = steps[0]
    s = "Zn2O2 wurtzite, experimental cell\n   1.00000000000000\n"
    s += "".join("   %20.16f%20.16f%20.16f\n" % tuple(v) for v in cell)
    s += "   Zn   O\n     2     2\nCartesian\n"
    s += "".join("  %20.16f%20.16f%20.16f\n" % tuple(matvec(f, cell)) for f in frac)
    write(d + "POSCAR", s)

    cell, frac = steps[-1]
    s = "Zn2O2 wurtzite, experimental cell\n   1.00000000000000\n"
    s += "".join("   %20.16f%20.16f%20.16f\n" % tuple(v) for v in cell)
    s += "   Zn   O\n     2     2\nSelective dynamics\nDirect\n"
    s += "".join("  %18.16f  %18.16f  %18.16f   T   T   T\n" % tuple(f) for f in frac)
    s += " \n" + "  0.00000000E+00  0.00000000E+00  0.00000000E+00\n" * 4
    write(d + "CONTCAR", s)

    rule = "-" * 104 + "\n"
    o = (" vasp.5.4.4.18Apr17-6-g9f103f2a35 (build Sep 18 2018 16:57:57) complex\n  \n"
         " executed on             LinuxIFC date 2019.02.11  10:21:07\n running on    8 total cores\n"
         " distrk:  each k-point on    8 cores,    1 groups\n distr:  one band on    1 cores,    8 groups\n\n\n")
    o += rule + ("\n\n INCAR:\n POTCAR:    PAW_PBE Zn 06Sep2000\n POTCAR:    PAW_PBE O 08Apr2002\n"
                 " POTCAR:    PAW_PBE Zn 06Sep2000\n   VRHFIN =Zn: d10 p2\n   TITEL  = PAW_PBE Zn 06Sep2000\n"
                 " POTCAR:    PAW_PBE O 08Apr2002\n   VRHFIN =O: s2p4\n   TITEL  = PAW_PBE O 08Apr2002\n\n"
                 " Dimension of arrays:\n   k-points           NKPTS =      1   k-points in BZ     NKDIM =      1"
                 "   number of bands    NBANDS=     32\n   number of dos      NEDOS =    301   number of ions     NIONS =      4\n"
         "   ions per type =               2   2\n\n")
    cell0 = vasp_steps()[0][0]
    o += ("  energy-cutoff  :      500.00\n  volume of cell :   %9.2f\n"
          "      direct lattice vectors                 reciprocal lattice vectors\n" % abs(det3(cell0)))
    o += "".join("  %13.9f%13.9f%13.9f  %13.9f%13.9f%13.9f\n" % (tuple(v) + tuple(r))
                 for v, r in zip(cell0, reciprocal(cell0)))
    o += ("\n  length of vectors\n\n\n k-points in reciprocal lattice and weights: ZnO\n"
          "   0.00000000  0.00000000  0.00000000       1.000\n\n")
    o += " ISPIN  =      1    spin polarized calculation?\n\n" + rule + "\n\n"
    forces = [[[0.0, 0.0, -0.412311], [0.0, 0.0, 0.412311], [0.0, 0.0, 0.398702], [0.0, 0.0, -0.398702]],
              [[0.012034, -0.020844, -0.103215], [-0.012034, 0.020844, 0.103215],
               [0.008311, 0.014395, 0.097761], [-0.008311, -0.014395, -0.097761]],
              [[0.001274, -0.002207, -0.008812], [-0.001274, 0.002207, 0.008812],
               [0.000905, 0.001568, 0.007933], [-0.000905, -0.001568, -0.007933]]]
    for k, (cell, frac) in enumerate(steps):
        vol = abs(det3(cell))
        rec = reciprocal(cell)
        o += ("-" * 39 + " Iteration %6d(   1)  " % (k + 1) + "-" * 39 + "\n\n\n"
              "    POTLOK:  cpu time    0.0312: real time    0.0313\n"
              "    SETDIJ:  cpu time    0.0041: real time    0.0041\n\n\n")
        o += (" VOLUME and BASIS-vectors are now :\n " + "-" * 77 + "\n  energy-cutoff  :      500.00\n"
              "  volume of cell :   %9.2f\n      direct lattice vectors                 reciprocal lattice vectors\n"
              % vol)
        o += "".join("  %13.9f%13.9f%13.9f  %13.9f%13.9f%13.9f\n" % (tuple(v) + tuple(r)) for v, r in zip(cell, rec))
        o += "\n  length of vectors\n\n\n"
        o += " POSITION                                       TOTAL-FORCE (eV/Angst)\n " + "-" * 83 + "\n"
        o += "".join("  %12.5f %12.5f %12.5f   %14.6f %14.6f %14.6f\n" % (tuple(matvec(f, cell)) + tuple(fo))
                     for f, fo in zip(frac, forces[k]))
        o += " " + "-" * 83 + "\n    total drift:                                0.000000      0.000000      0.000000\n\n\n"
        o += rule + "\n\n\n  FREE ENERGIE OF THE ION-ELECTRON SYSTEM (eV)\n  " + "-" * 51 + "\n"
        e = -18.51248 - 0.0214 * k
        o += "  free  energy   TOTEN  =      %14.8f eV\n\n  energy  without entropy=     %14.8f  energy(sigma->0) =     %14.8f\n\n\n" % (e, e, e)
    write(d + "OUTCAR", o)


# -------------------------------------------------------------------- WIEN2k
# Rutile after WIEN2k's symmetry step: lengths in bohr, atoms of multiplicity
# 2 and 4 with their equivalent positions, 16 operations each followed by its
# index line, as init_lapw writes the file.

RUTILE_U = 0.30493


def rutile_sites():
    u = RUTILE_U
    return [("Ti", 22.0, [[0.0, 0.0, 0.0], [0.5, 0.5, 0.5]]),
            ("O", 8.0, [[u, u, 0.0], [1 - u, 1 - u, 0.0], [0.5 + u, 0.5 - u, 0.5], [0.5 - u, 0.5 + u, 0.5]])]


def group_operations(number):
    """Rotation rows and translations of a space group, from gemmi's tables."""
    import gemmi
    ops = []
    for op in gemmi.find_spacegroup_by_number(number).operations():
        rot = [[v // op.DEN for v in row] for row in op.rot]
        tran = [(v % op.DEN) / op.DEN for v in op.tran]
        ops.append((rot, tran))
    return ops


def wien2k_inputs():
    s = "TiO2 rutile                                                                    \n"
    s += "P   LATTICE,NONEQUIV.ATOMS:  2 136_P42/mnm\n"
    s += "MODE OF CALC=RELA unit=bohr\n"
    s += "%10.6f%10.6f%10.6f%10.6f%10.6f%10.6f\n" % (8.680595, 8.680595, 5.591264, 90.0, 90.0, 90.0)
    for i, (name, z, pos) in enumerate(rutile_sites(), start=1):
        s += "ATOM  %2d: X=%10.8f Y=%10.8f Z=%10.8f\n" % ((-i,) + tuple(pos[0]))
        s += "          MULT=%2d          ISPLIT= 8\n" % len(pos)
        for p in pos[1:]:
            s += "      %2d: X=%10.8f Y=%10.8f Z=%10.8f\n" % ((-i,) + tuple(p))
        s += "%-10s NPT=  781  R0=%10.8f RMT=%10.4f   Z:%5.1f\n" % (name, 0.00005 if z > 10 else 0.0001,
                                                                       1.9 if z > 10 else 1.6, z)
        s += ("LOCAL ROT MATRIX:    1.0000000 0.0000000 0.0000000\n"
              "                     0.0000000 1.0000000 0.0000000\n"
              "                     0.0000000 0.0000000 1.0000000\n")
    ops = group_operations(136)
    s += "%4d      NUMBER OF SYMMETRY OPERATIONS\n" % len(ops)
    for k, (rot, tran) in enumerate(ops, start=1):
        for m in range(3):
            s += "%2d%2d%2d%11.8f\n" % (rot[m][0], rot[m][1], rot[m][2], tran[m])
        s += "%8d\n" % k
    write("WIEN2k/TiO2.struct", s)


# ---------------------------------------------------------------------- GULP
# Rutile with a rigid-ion model, and corundum (R -3 c, hexagonal axes) with
# GULP's usual keyword lines around the structure.

def gulp_inputs():
    u = RUTILE_U
    write("GULP/rutile.gin",
          "opti conp prop\n"
          "title\n"
          "TiO2 rutile, rigid ion fit\n"
          "end\n"
          "cell\n"
          "   4.593730   4.593730   2.958700  90.000000  90.000000  90.000000\n"
          "fractional\n"
          "Ti    core 0.0000000 0.0000000 0.0000000 4.00000000 1.00000 0.00000\n"
          "O     core %.7f %.7f 0.0000000 -2.00000000 1.00000 0.00000\n"
          "space\n"
          "P 42/M N M\n"
          "species   2\n"
          "Ti     core    4.000000\n"
          "O      core   -2.000000\n"
          "buck\n"
          "Ti    core O     core  754.2     0.3879  8.0000      0.00 12.00\n"
          "buck\n"
          "O     core O     core  9547.96   0.2192  32.000      0.00 12.00\n"
          "dump every 1 rutile.res\n" % (u, u))
    write("GULP/corundum.gin",
          "opti conp\n"
          "title\n"
          "Al2O3 corundum\n"
          "end\n"
          "name corundum\n"
          "cell\n"
          "   4.759100   4.759100  12.991000  90.000000  90.000000 120.000000\n"
          "frac\n"
          "Al1   core 0.0000000 0.0000000 0.3521600 3.00000000 1.00000 0.00000\n"
          "O1    core 0.3063000 0.0000000 0.2500000 -2.00000000 1.00000 0.00000\n"
          "space\n"
          "R -3 C\n"
          "species   2\n"
          "Al     core    3.000000\n"
          "O      core   -2.000000\n"
          "buck\n"
          "Al    core O     core  1460.3    0.29912 0.0000      0.00 10.00\n")
    # The same with the shell model that GULP's oxide libraries use.
    write("GULP/corundum-shells.gin",
          "opti conp\n"
          "title\n"
          "Al2O3 corundum, shell model\n"
          "end\n"
          "cell\n"
          "   4.759100   4.759100  12.991000  90.000000  90.000000 120.000000\n"
          "frac\n"
          "Al    core 0.0000000 0.0000000 0.3521600 3.00000000 1.00000 0.00000\n"
          "O     core 0.3063000 0.0000000 0.2500000 0.86902000 1.00000 0.00000\n"
          "O     shel 0.3063000 0.0000000 0.2500000 -2.86902000 1.00000 0.00000\n"
          "space\n"
          "R -3 C\n"
          "spring\n"
          "O  74.92038\n")


# -------------------------------------------------------------------- CASTEP
# NPT molecular dynamics of wurtzite ZnO (CASTEP 16.1 layout): the starting
# cell and atoms, then per MD step a Forces block followed by the next step's
# cell and atom table; three Forces blocks, so two steps.

def castep_cell_block(cell):
    import numpy as np
    m = np.array(cell)
    rec = 2 * np.pi * np.linalg.inv(m).T
    lengths = [float(np.linalg.norm(v)) for v in m]

    def angle(u, v):
        return math.degrees(math.acos(float(np.dot(u, v)) / (np.linalg.norm(u) * np.linalg.norm(v))))
    angles = [angle(m[1], m[2]), angle(m[0], m[2]), angle(m[0], m[1])]
    s = ("                           -------------------------------\n"
         "                                      Unit Cell\n"
         "                           -------------------------------\n"
         "        Real Lattice(A)              Reciprocal Lattice(1/A)\n")
    s += "".join("%12.7f%12.7f%12.7f    %12.7f%12.7f%12.7f\n" % (tuple(v) + tuple(r)) for v, r in zip(m, rec))
    s += "\n                       Lattice parameters(A)       Cell Angles\n"
    for name, ang, L, A in (("a", "alpha", lengths[0], angles[0]), ("b", "beta ", lengths[1], angles[1]),
                            ("c", "gamma", lengths[2], angles[2])):
        s += "                    %s =   %10.6f          %s =  %10.6f\n" % (name, L, ang, A)
    s += "\n                Current cell volume =   %11.6f A**3\n\n" % abs(np.linalg.det(m))
    return s


def castep_atoms_block(symbols, frac):
    s = ("                           -------------------------------\n"
         "                                     Cell Contents\n"
         "                           -------------------------------\n\n"
         "            " + "x" * 62 + "\n"
         "            x  Element    Atom        Fractional coordinates of atoms    x\n"
         "            x            Number           u          v          w        x\n"
         "            x" + "-" * 60 + "x\n")
    count = {}
    for sym, f in zip(symbols, frac):
        count[sym] = count.get(sym, 0) + 1
        s += "            x   %-2s %9d          %8.6f   %8.6f   %8.6f     x\n" % ((sym, count[sym]) + tuple(f))
    return s + "            " + "x" * 62 + "\n\n"


def castep_forces_block(symbols, forces):
    s = (" " + "*" * 35 + " Forces " + "*" * 35 + "\n *" + " " * 76 + "*\n"
         " *                        Cartesian components (eV/A)                         *\n"
         " * " + "-" * 74 + " *\n"
         " *                   x                    y                    z              *\n *" + " " * 76 + "*\n")
    count = {}
    for sym, f in zip(symbols, forces):
        count[sym] = count.get(sym, 0) + 1
        s += " * %-2s %9d   %10.5f           %10.5f           %10.5f         *\n" % ((sym, count[sym]) + tuple(f))
    return s + " *" + " " * 76 + "*\n " + "*" * 78 + "\n\n"


def castep_inputs():
    symbols = ["Zn", "Zn", "O", "O"]
    steps = []
    for k, (a, c, gam, shift) in enumerate([(3.2495, 5.2069, 120.0, 0.0), (3.2517, 5.2031, 119.93, 0.0042),
                                            (3.2544, 5.2104, 120.06, 0.0071)]):
        g = math.radians(gam)
        cell = [[a, 0.0, 0.0], [a * math.cos(g), a * math.sin(g), 0.0], [0.0, 0.0, c]]
        frac = [list(p) for p in ZNO_FRAC]
        frac[0][0] += shift
        frac[3][2] -= 0.5 * shift
        frac[0][2] = [0.0, 0.9994, 0.0003][k]  # Zn1 jitters across the cell face
        steps.append((cell, frac))
    forces = [[[0.01234, -0.00871, -0.35120], [-0.01234, 0.00871, 0.35120],
               [0.02210, 0.01503, 0.34117], [-0.02210, -0.01503, -0.34117]],
              [[0.00512, -0.00311, -0.12045], [-0.00512, 0.00311, 0.12045],
               [0.00930, 0.00611, 0.11871], [-0.00930, -0.00611, -0.11871]],
              [[-0.00205, 0.00118, 0.03302], [0.00205, -0.00118, -0.03302],
               [-0.00411, -0.00270, -0.03015], [0.00411, 0.00270, 0.03015]]]
    out = (" +-------------------------------------------------+\n"
           " |                                                 |\n"
           " |      CCC   AA    SSS  TTTTT  EEEEE  PPPP        |\n"
           " |     C     A  A  S       T    E      P   P       |\n"
           " |     C     AAAA   SS     T    EEE    PPPP        |\n"
           " |     C     A  A     S    T    E      P           |\n"
           " |      CCC  A  A  SSS     T    EEEEE  P           |\n"
           " |                                                 |\n"
           " +-------------------------------------------------+\n"
           " |                                                 |\n"
           " | Welcome to Academic Release CASTEP version 16.1 |\n"
           " | Ab Initio Total Energy Program                  |\n"
           " +-------------------------------------------------+\n\n"
           " ************************************ Title ************************************\n"
           " ZnO wurtzite NPT\n\n"
           " type of calculation                            : molecular dynamics\n"
           " ensemble                                       : NPT\n\n"
           " *******************************************************************************\n  \n\n")
    for k, (cell, frac) in enumerate(steps):
        if k > 0:
            out += ("=" * 80 + "\n Starting MD iteration %10d ...\n" % k + "=" * 80 + "\n \n\n")
        out += castep_cell_block(cell) + castep_atoms_block(symbols, frac)
        scf = "-" * 72 + " <-- SCF\n"
        out += (scf + "SCF loop      Energy           Fermi           Energy gain       Timer   <-- SCF\n"
                + "Initial  -2.14821337E+003  0.00000000E+000                         3.12  <-- SCF\n" + scf
                + "\nFinal energy, E             =  %.9f     eV\n\n" % (-2148.21337 - 0.0113 * k))
        out += castep_forces_block(symbols, forces[k])
    out += "Total time          =     27.48 s\n"
    write("CASTEP/ZnO-md.castep", out)


def main():
    vasp_inputs()
    wien2k_inputs()
    gulp_inputs()
    castep_inputs()


main()
