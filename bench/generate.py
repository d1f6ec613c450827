#!/usr/bin/env python3
"""Writes the benchmark inputs: large files laid out as the simulation
programs print them, the same bytes on every run (fixed seeds, fixed number
formats).

    python3 bench/generate.py [--out DIR] [--small] [--outcar-gb SIZE]

DIR (default /tmp/quorvel-bench) receives one folder per data set:

  cif/         P1-1000.cif, P1-4096.cif (P1), P21c-1000.cif, P21c-4096.cif
               (P 21/c, a quarter of the atoms in the asymmetric unit)
  contcar/     INCAR, POTCAR, POSCAR and CONTCAR of a 10,000-atom liquid-like
               SiO2 cell (VASPConvCONTCAR)
  outcar/      INCAR, POTCAR, POSCAR and a VASP 5 OUTCAR of an MD run,
               200 ionic steps of 256 atoms (VASPMakeXSF)
  outcar-1gb/  the same run continued to about 1 GB (only with --outcar-gb)
  pwscf/       relax.inp and relax.out, a pw.x relaxation of 200 steps x 256
               atoms (PWScfConvOutput)
  castep/      md.castep, a CASTEP MD run of 200 steps x 256 atoms
  siesta/      relax.atk and relax.out, a TranSIESTA-C relaxation log of 200
               steps x 256 atoms in the forces-table dialect
  plimo/       run.f05, run.f06, run.f07, run.f9p, run.f9v: a Plimo MD run of
               10,000 steps of 256 atoms (ConvF09p, UpdateFILE05, AddHistoryCSV)

--small writes the same layouts with a few atoms and steps (the smoke run).
--outcar-gb SIZE also writes outcar-1gb/ with an OUTCAR of about SIZE GB.
Nothing here is ever written into the source tree.
"""
import argparse
import math
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# ------------------------------------------------------------------ helpers


class Sizes:
    def __init__(self, small):
        self.small = small
        self.cif = (20, 64) if small else (1000, 4096)
        self.liquid = 60 if small else 10000
        self.steps = 4 if small else 200
        self.atoms = 16 if small else 256
        self.plimo_steps = 12 if small else 10000
        self.bands = 24 if small else 576


def write(path, chunks):
    """Writes an iterable of text pieces in binary (\\n line ends)."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        buf = []
        size = 0
        for piece in chunks:
            buf.append(piece)
            size += len(piece)
            if size > 1 << 20:
                f.write("".join(buf).encode("ascii"))
                buf, size = [], 0
        f.write("".join(buf).encode("ascii"))


def liquid(n, rng, jitter=0.17):
    """n fractional positions of a liquid-like arrangement: points of a
    simple cubic grid, a random choice of them, each moved at random by up to
    jitter grid spacings, so that no two atoms come unphysically close."""
    m = 1
    while m ** 3 < n:
        m += 1
    grid = [(i, j, k) for i in range(m) for j in range(m) for k in range(m)]
    chosen = sorted(rng.sample(range(len(grid)), n))
    out = []
    for g in chosen:
        i, j, k = grid[g]
        out.append(tuple(((v + 0.5 + jitter * (2 * rng.random() - 1)) / m) % 1.0 for v in (i, j, k)))
    return out


def cell_vectors(a, b, c, al, be, ga):
    ca, cb, cg = (math.cos(math.radians(v)) for v in (al, be, ga))
    sg = math.sin(math.radians(ga))
    t = (ca - cb * cg) / sg
    u = math.sqrt(1 - cb * cb - t * t)
    return [(a, 0.0, 0.0), (b * cg, b * sg, 0.0), (c * cb, c * t, c * u)]


def cart(frac, vec):
    return tuple(frac[0] * vec[0][k] + frac[1] * vec[1][k] + frac[2] * vec[2][k] for k in range(3))


class Trajectory:
    """Atoms vibrating about liquid-like positions in a fixed cell (Å), with
    forces that pull them back: the steps of an MD run or a relaxation."""

    def __init__(self, names, counts, a, rng, steps, amplitude=0.08):
        self.names, self.counts = names, counts
        self.n = sum(counts)
        self.vec = [(a, 0.0, 0.0), (0.0, a * 1.02, 0.0), (0.0, 0.0, a * 0.98)]
        self.base = [cart(f, self.vec) for f in liquid(self.n, rng)]
        self.phase = [[rng.random() * 6.283 for _ in range(3)] for _ in range(self.n)]
        self.freq = [0.3 + 0.4 * rng.random() for _ in range(self.n)]
        self.amplitude = amplitude
        self.steps = steps
        self.species = [t for t, k in zip(names, counts) for _ in range(k)]

    def step(self, s):
        """Cartesian positions (Å) and forces (eV/Å) of step s."""
        pos, force = [], []
        damp = self.amplitude * (0.3 + 0.7 * math.exp(-s / 80.0))
        for i in range(self.n):
            w = self.freq[i]
            d = [damp * math.sin(w * s + self.phase[i][k]) for k in range(3)]
            pos.append(tuple(self.base[i][k] + d[k] for k in range(3)))
            force.append(tuple(-4.7 * d[k] + 0.01 * math.cos(1.3 * s + i + k) for k in range(3)))
        return pos, force

    def fractional(self, p):
        return (p[0] / self.vec[0][0], p[1] / self.vec[1][1], p[2] / self.vec[2][2])


# --------------------------------------------------------------------- CIF

P21C_OPS = ["x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"]


def cif(path, name, cell, ops, hm, number, types, sites):
    def lines():
        yield "data_%s\n\n" % name
        yield "_chemical_name_systematic          '%s'\n" % name
        yield "_chemical_formula_sum              '%s'\n\n" % " ".join(
            "%s%d" % (t, sum(1 for s in sites if s[1] == t) * len(ops)) for t, _ in types)
        for tag, v in zip(("length_a", "length_b", "length_c", "angle_alpha", "angle_beta", "angle_gamma"), cell):
            yield "_cell_%-30s %.4f\n" % (tag, v)
        yield "\n_symmetry_space_group_name_H-M     '%s'\n_symmetry_Int_Tables_number        %d\n\n" % (hm, number)
        yield "loop_\n_symmetry_equiv_pos_as_xyz\n" + "".join("  '%s'\n" % o for o in ops) + "\n"
        yield "loop_\n_atom_type_symbol\n_atom_type_oxidation_number\n"
        yield "".join("  %-5s %9.6f\n" % (t, q) for t, q in types) + "\n"
        yield ("loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_symmetry_multiplicity\n"
               "_atom_site_Wyckoff_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
               "_atom_site_occupancy\n_atom_site_attached_hydrogens\n_atom_site_calc_flag\n")
        for label, t, x, y, z, occ in sites:
            yield "  %-6s %-5s %2d %s  %10.6f  %10.6f  %10.6f  %10.4f  0 d\n" % (
                label, t, len(ops), "e" if len(ops) > 1 else "a", x, y, z, occ)
        yield "\n#End of data_%s\n" % name
    write(path, lines())


def cif_sets(out, sz):
    rng = random.Random(11)
    types = [("Mg", 2.0), ("Al", 3.0), ("Si", 4.0), ("O", -2.0)]
    for n in sz.cif:
        # Olivine-like composition in a cell holding n atoms at about
        # 0.08 atoms per cubic Å.
        for symmetric in (False, True):
            nops = 4 if symmetric else 1
            nasym = n // nops
            volume = n / 0.08
            a = (volume / (0.87 * 1.11 * math.sin(math.radians(99.5)))) ** (1 / 3)
            cell = (a, a * 0.87, a * 1.11, 90.0, 99.5 if symmetric else 96.3, 90.0)
            # P 21/c: one asymmetric unit is the quarter 0 <= y < 1/4 of the
            # cell; the images fill the other three quarters.
            if symmetric:
                pts = [(x, y * 0.25 + 0.005, z) for x, y, z in liquid(nasym, rng, 0.12)]
            else:
                pts = liquid(nasym, rng)
            sites = []
            counters = {}
            for k, (x, y, z) in enumerate(pts):
                t = "O" if k % 7 < 4 else ("Si" if k % 7 == 4 else ("Mg" if k % 7 == 5 else "Al"))
                counters[t] = counters.get(t, 0) + 1
                occ = 0.5 if t == "Al" and k % 2 else 1.0
                sites.append(("%s%d" % (t, counters[t]), t, x, y, z, occ))
            name = ("P21c-%d" if symmetric else "P1-%d") % n
            cif(os.path.join(out, "cif", name + ".cif"), name, cell, P21C_OPS if symmetric else ["x,y,z"],
                "P 1 21/c 1" if symmetric else "P 1", 14 if symmetric else 1, types, sites)


# -------------------------------------------------------------------- VASP

POTCAR_TITLES = {"Si": "PAW_PBE Si 05Jan2001", "O": "PAW_PBE O 08Apr2002", "Li": "PAW_PBE Li 17Jan2003",
                 "Ti": "PAW_PBE Ti_sv 26Sep2005"}
POMASS = {"Si": 28.085, "O": 16.0, "Li": 6.941, "Ti": 47.88}
ZVAL = {"Si": 4.0, "O": 6.0, "Li": 1.0, "Ti": 12.0}


def potcar(names):
    """A POTCAR with each dataset's title, a few header lines and its end
    marker (the real data sets are licensed; the reader needs only these)."""
    out = []
    for t in names:
        title = POTCAR_TITLES[t]
        out.append("  %s\n %.8f\n parameters from PSCTR are:\n   VRHFIN =%s: s2p2\n   LEXCH  = PE\n"
                   "   TITEL  = %s\n   POMASS =   %.3f; ZVAL   =    %.3f    mass and valenz\n"
                   " End of Dataset\n" % (title, ZVAL[t], t, title, POMASS[t], ZVAL[t]))
    return out


def poscar(title, vec, names, counts, frac, velocities=False):
    yield "%s\n   1.00000000000000\n" % title
    for v in vec:
        yield "    %20.16f  %20.16f  %20.16f\n" % v
    yield "   " + "".join("%-4s" % t for t in names) + "\n"
    yield "".join("%6d" % c for c in counts) + "\nDirect\n"
    for f in frac:
        yield "  %.16f  %.16f  %.16f\n" % f
    if velocities:
        yield "\n"
        for k in range(len(frac)):
            yield "  %.8E %.8E %.8E\n" % (1e-3 * math.sin(k), 1e-3 * math.cos(k), -1e-3 * math.sin(2 * k))


def contcar_set(out, sz):
    rng = random.Random(23)
    n = sz.liquid
    n_si = n // 3
    counts = [n_si, n - n_si]
    # Liquid silica: about 0.066 atoms per cubic Å.
    a = (n / 0.066) ** (1 / 3)
    vec = [(a, 0.0, 0.0), (0.3, a * 0.995, 0.0), (-0.2, 0.4, a * 1.005)]
    frac = liquid(n, rng)
    d = os.path.join(out, "contcar")
    write(os.path.join(d, "INCAR"), ["SYSTEM = SiO2-liquid 10000 atoms, 3000 K\nIBRION = 0\nNSW = 2000\n"])
    write(os.path.join(d, "POTCAR"), potcar(["Si", "O"]))
    write(os.path.join(d, "POSCAR"), poscar("SiO2-liquid quenched from 5000 K", vec, ["Si", "O"], counts, frac))
    moved = [tuple((v + 0.004 * math.sin(7 * k + j)) % 1.0 for j, v in enumerate(f)) for k, f in enumerate(frac)]
    write(os.path.join(d, "CONTCAR"),
          poscar("SiO2-liquid quenched from 5000 K", vec, ["Si", "O"], counts, moved, velocities=True))


def outcar_header(traj, nbands, nkpts):
    names, counts = traj.names, traj.counts
    h = [" vasp.5.4.4.18Apr17-6-g9f103f2a35 (build Oct 14 2019 12:01:58) complex                          \n",
         "  \n executed on             LinuxIFC date 2021.03.14  10:20:33\n running on    2 total cores\n",
         " distrk:  each k-point on    2 cores,    1 groups\n",
         " distr:  one band on NCORES_PER_BAND=   1 cores,    2 groups\n\n\n", "-" * 104 + "\n\n\n",
         " INCAR:\n"]
    for t in names:
        h.append(" POTCAR:    %-38s\n" % POTCAR_TITLES[t])
    for t in names:
        h.append(" POTCAR:    %-38s\n" % POTCAR_TITLES[t])
        h.append("   VRHFIN =%s: s2p2\n   LEXCH  = PE\n   EATOM  =   103.0669 eV,    7.5752 Ry\n\n" % t)
        h.append("   TITEL  = %s\n   LULTRA =        F    use ultrasoft PP ?\n" % POTCAR_TITLES[t])
        h.append("   POMASS =   %.3f; ZVAL   =    %.3f    mass and valenz\n" % (POMASS[t], ZVAL[t]))
        h.append("   ENMAX  =  245.345; ENMIN  =  184.009 eV\n\n   Description\n     l       E        TYP  RCUT\n")
        h.append("  local pseudopotential read in\n  partial core-charges read in\n")
        h.append("    PAW grid and wavefunctions read in\n \n   number of l-projection  operators is LMAX  =  4\n\n")
    h.append(" POSCAR: %s\n  positions in direct lattice\n  No initial velocities read in\n" % " ".join(
        "%s%d" % (t, c) for t, c in zip(names, counts)))
    h.append(" exchange correlation table for  LEXCH =        8\n   RHO(1)=    0.500       N(1)  =     2000\n\n")
    h.append(" ion  position               nearest neighbor table\n")
    for i in range(traj.n):
        f = traj.fractional(traj.base[i])
        h.append("%4d  %5.3f  %5.3f  %5.3f-\n" % (i + 1, f[0], f[1], f[2]))
    h.append("\n Dimension of arrays:\n")
    h.append("   k-points           NKPTS =      %d   k-points in BZ     NKDIM =      %d   number of bands    "
             "NBANDS=   %4d\n" % (nkpts, nkpts, nbands))
    h.append("   number of dos      NEDOS =    301   number of ions     NIONS =    %3d\n" % traj.n)
    h.append("   ions per type =            " + "".join("%4d" % c for c in counts) + "\n")
    h.append(" SYSTEM =  LiSiO liquid, NVT at 1500 K\n POSCAR =  %s\n\n Startparameter for this run:\n"
             "   NWRITE =      2    write-flag & timer\n   ISPIN  =      1    spin polarized calculation?\n"
             " Ionic relaxation\n   NSW    =    %d    number of steps for IOM\n   IBRION =      0    ionic relax: "
             "0-MD 1-quasi-New 2-CG\n   POTIM  = 1.0000    time-step for ionic-motion\n" % (
                 " ".join("%s%d" % (t, c) for t, c in zip(names, counts)), traj.steps))
    h.append("   POMASS =" + "".join("%7.2f" % POMASS[t] for t in names) + "\n")
    h.append("   ZVAL   =" + "".join("%7.2f" % ZVAL[t] for t in names) + "\n\n")
    h.append(" k-points in reciprocal lattice and weights: Automatic generation\n")
    for k in range(nkpts):
        h.append("   %12.8f %12.8f %12.8f      %12.8f\n" % (0.25 * k, 0.0, 0.0, 1.0 / nkpts))
    h.append("\n" + "-" * 104 + "\n\n\n POSITION                                       \n\n")
    return "".join(h)


def outcar_step(traj, s, nbands, nkpts, electronic):
    """One ionic step as VASP 5 prints it in an MD run: the electronic
    iterations, the potential at the cores, the eigenvalues, the cell, the
    force contributions, positions and total forces, energies."""
    pos, force = traj.step(s)
    o = []
    energy = -1830.5 + 0.4 * math.sin(0.05 * s)
    for it in range(1, electronic + 1):
        e = energy + 0.7 / (it * it)
        o.append("\n\n" + "-" * 41 + " Iteration %4d(%4d)  " % (s + 1, it) + "-" * 39 + "\n\n\n")
        o.append("    POTLOK:  cpu time    1.2340: real time    1.2400\n    SETDIJ:  cpu time    0.1830: real time "
                 "   0.1840\n     EDDAV:  cpu time   14.2080: real time   14.2700\n       DOS:  cpu time    0.0100: "
                 "real time    0.0100\n    CHARGE:  cpu time    1.9370: real time    1.9400\n    MIXING:  cpu time    "
                 "0.0800: real time    0.0800\n    --------------------------------------------\n      LOOP:  cpu "
                 "time   17.6520: real time   17.7300\n\n")
        o.append(" eigenvalue-minimisations  :  %4d\n total energy-change (2. order) :%14.7E  (%14.7E)\n" % (
            1024 + it, -0.1 / it ** 3, -0.2 / it ** 3))
        o.append(" number of electron    1088.0000019 magnetization \n augmentation part      -92.1374521 "
                 "magnetization \n\n Broyden mixing:\n  rms(total) = %11.5E    rms(broyden)= %11.5E\n"
                 "  rms(prec ) = %11.5E\n  weight for this iteration     100.00\n\n" % (0.3 / it, 0.29 / it, 0.4 / it))
        o.append(" Free energy of the ion-electron system (eV)\n  " + "-" * 51 + "\n")
        o.append("  alpha Z        PSCENC =      %14.8f\n  Ewald energy   TEWEN  =    %16.8f\n" % (1285.36, -31226.3197))
        o.append("  -Hartree energ DENC   =    %16.8f\n  -exchange      EXHF   =         0.00000000\n" % (-8496.1 + it))
        o.append("  -V(xc)+E(xc)   XCENC  =      %14.8f\n  PAW double counting   =     %14.8f   %14.8f\n" % (
            1491.579, 15825.508, -15440.578))
        o.append("  entropy T*S    EENTRO =        -0.00000000\n  eigenvalues    EBANDS =     %14.8f\n" % -4248.873)
        o.append("  atomic energy  EATOM  =     %14.8f\n  Solvation  Ediel_sol  =         0.00000000\n" % 37440.52)
        o.append("  " + "-" * 51 + "\n  free energy    TOTEN  =    %16.8f eV\n\n" % e)
        o.append("  energy without entropy =    %14.8f  energy(sigma->0) =    %14.8f\n\n\n" % (e, e))
        o.append("-" * 104 + "\n\n\n\n\n")
    o.append(" average (electrostatic) potential at core\n  the test charge radii are     0.9748  0.8215  0.7215\n"
             "  (the norm of the test charge is              1.0000)\n")
    for i in range(0, traj.n, 5):
        o.append("".join("%8d %8.4f" % (k + 1, -40.0 - 30.0 * (k % 3) + 0.01 * math.sin(k + s))
                         for k in range(i, min(i + 5, traj.n))) + "\n")
    efermi = 2.1 + 0.01 * math.sin(s)
    o.append(" \n \n \n E-fermi :  %7.4f     XC(G=0):  -8.1275     alpha+bet : -8.9960\n\n\n" % efermi)
    for k in range(nkpts):
        o.append(" k-point %5d :       %6.4f    %6.4f    %6.4f\n  band No.  band energies     occupation \n" % (
            k + 1, 0.25 * k, 0.0, 0.0))
        o.append("".join("%7d     %8.4f     %8.5f\n" % (b + 1, -20.0 + 24.0 * b / nbands + 0.001 * math.sin(b + s + k),
                                                         2.0 if b < nbands * 0.6 else 0.0) for b in range(nbands)))
        o.append("\n")
    o.append("\n" + "-" * 104 + "\n\n\n soft charge-density along one line, spin component           1\n"
             "         0         1         2         3         4         5         6         7         8         9\n"
             " total charge-density along one line\n \n")
    o.append(" " + "-" * 24 + " aborting loop because EDIFF is reached " + "-" * 40 + "\n\n\n")
    o.append("    CHARGE:  cpu time    1.9250: real time    1.9300\n    FORLOC:  cpu time    0.2100: real time    "
             "0.2110\n    FORNL :  cpu time    3.1610: real time    3.1640\n    STRESS:  cpu time   12.5150: real time"
             "   12.5400\n    FORCOR:  cpu time    0.5500: real time    0.5470\n\n")
    o.append("  FORCE on cell =-STRESS in cart. coord.  units (eV):\n  Direction    XX          YY          ZZ     "
             "     XY          YZ          ZX\n  " + "-" * 86 + "\n")
    o.append("  Total   %11.5f %11.5f %11.5f %11.5f %11.5f %11.5f\n" % (12.3, 11.9, 12.7, 0.1, -0.2, 0.05))
    o.append("  in kB   %11.5f %11.5f %11.5f %11.5f %11.5f %11.5f\n" % (
        7.1 + 0.1 * math.sin(s), 6.8, 7.4, 0.05, -0.11, 0.03))
    o.append("  external pressure =        7.10 kB  Pullay stress =        0.00 kB\n\n"
             "  kinetic pressure (ideal gas correction) =     18.21 kB\n  total pressure  =     25.31 kB\n"
             "  Total+kin.    25.405      24.990      25.533       0.120      -0.105       0.016\n\n")
    o.append(" VOLUME and BASIS-vectors are now :\n " + "-" * 77 + "\n  energy-cutoff  :      400.00\n")
    v = traj.vec
    vol = v[0][0] * v[1][1] * v[2][2]
    o.append("  volume of cell :  %10.2f\n      direct lattice vectors                 reciprocal lattice vectors\n"
             % vol)
    for i in range(3):
        r = [1.0 / v[i][i] if j == i else 0.0 for j in range(3)]
        o.append("  %13.9f %13.9f %13.9f  %13.9f %13.9f %13.9f\n" % (v[i] + tuple(r)))
    o.append("\n  length of vectors\n  %13.9f %13.9f %13.9f  %13.9f %13.9f %13.9f\n\n\n" % (
        v[0][0], v[1][1], v[2][2], 1 / v[0][0], 1 / v[1][1], 1 / v[2][2]))
    o.append(" FORCES acting on ions\n    electron-ion (+dipol)            ewald-force                    "
             "non-local-force                 convergence-correction\n " + "-" * 95 + "\n")
    for i in range(traj.n):
        f = force[i]
        o.append("   %s   %s   %s   %s\n" % tuple(" ".join(
            ("%.3E" % (x * w)).replace("0.", ".") if x * w < 0 else "%.3E" % (x * w) for x in f)
            for w in (3.1, -2.2, 0.1, 0.001)))
    o.append(" " + "-" * 95 + "\n   0.286E-02 0.101E-01 -.132E-01   -.426E-13 -.192E-12 -.163E-12   -.358E-02 -.120E-01 "
             "0.131E-01   -.206E-03 0.380E-02 0.335E-02\n \n \n")
    o.append(" POSITION                                       TOTAL-FORCE (eV/Angst)\n " + "-" * 83 + "\n")
    for p, f in zip(pos, force):
        o.append(" %12.5f %12.5f %12.5f   %14.6f %14.6f %14.6f\n" % (p + f))
    o.append(" " + "-" * 83 + "\n    total drift:                               %12.6f %12.6f %12.6f\n\n\n" % (
        -0.000925, 0.001828, 0.003249))
    o.append("-" * 104 + "\n\n\n\n  FREE ENERGIE OF THE ION-ELECTRON SYSTEM (eV)\n  " + "-" * 51 + "\n")
    o.append("  free  energy   TOTEN  =    %16.8f eV\n\n" % energy)
    o.append("  energy  without entropy=    %16.8f  energy(sigma->0) =    %16.8f\n \n" % (energy, energy))
    o.append(" d Force =-0.5223061E-03[ 0.395E-03, 0.649E-03]  d Energy =-0.5274541E-03-0.515E-05\n"
             " d Force = 0.1713181E+00[ 0.170E+00, 0.172E+00]  d Ewald  = 0.1713175E+00 0.520E-06\n\n\n")
    o.append("-" * 104 + "\n\n\n    POTLOK:  cpu time    1.2410: real time    1.2420\n\n\n" + "-" * 104 + "\n\n\n")
    o.append("  ENERGY OF THE ELECTRON-ION-THERMOSTAT SYSTEM (eV)\n  " + "-" * 51 + "\n")
    o.append("% ion-electron   TOTEN  =  " + "%16.6f  see above\n" % energy)
    o.append("  kinetic energy EKIN   =  %16.6f\n  kin. lattice  EKIN_LAT=         0.000000  (temperature %8.2f K)\n"
             % (49.6 + math.sin(s), 1500.0 + 30 * math.sin(0.1 * s)))
    o.append("  nose potential ES     =        -0.003194\n  nose kinetic   EPS    =         0.003160\n  " + "-" * 51 +
             "\n  total energy   ETOTAL =  %16.6f eV\n\n  maximum distance moved by ions :      0.24E-01\n\n" % (
                 energy + 49.6))
    o.append("    WAVPRE:  cpu time    0.5580: real time    0.5583\n    FEWALD:  cpu time    0.0130: real time    "
             "0.0124\n    ORTHCH:  cpu time    0.4490: real time    0.4497\n Prediction of Wavefunctions ALPHA= 1.022 "
             "BETA= 0.000\n     LOOP+:  cpu time   %9.4f: real time   %9.4f\n" % (98.1, 98.6))
    return "".join(o)


def outcar_trajectory(sz, steps, seed=31):
    rng = random.Random(seed)
    n = sz.atoms
    counts = [n // 4, n // 4, n - n // 2]
    # About 0.08 atoms per cubic Å.
    return Trajectory(["Li", "Si", "O"], counts, (n / 0.08) ** (1 / 3), rng, steps)


def outcar_set(out, sz, dirname, steps):
    traj = outcar_trajectory(sz, steps)
    d = os.path.join(out, dirname)
    nkpts = 1  # a Gamma-point MD run

    def chunks():
        yield outcar_header(traj, sz.bands, nkpts)
        for s in range(steps):
            yield outcar_step(traj, s, sz.bands, nkpts, 12 if s == 0 else 3)
        yield ("\n\n  General timing and accounting informations for this job:\n  " + "=" * 56 + "\n\n"
               "                  Total CPU time used (sec):    19234.105\n")
    write(os.path.join(d, "OUTCAR"), chunks())
    write(os.path.join(d, "INCAR"), ["SYSTEM = LiSiO liquid, NVT at 1500 K\nIBRION = 0\nNSW = %d\n" % steps])
    write(os.path.join(d, "POTCAR"), potcar(traj.names))
    write(os.path.join(d, "POSCAR"), poscar("LiSiO liquid", traj.vec, traj.names, traj.counts,
                                            [traj.fractional(p) for p in traj.base]))


# ------------------------------------------------------------------- PWScf

BOHR = 0.52917721067
RY_AU_PER_EV_A = 1.0 / 25.71104309541616


def pwscf_set(out, sz):
    rng = random.Random(41)
    n = sz.atoms
    traj = Trajectory(["Si", "O"], [n // 3, n - n // 3], (n / 0.066) ** (1 / 3), rng, sz.steps, 0.05)
    d = os.path.join(out, "pwscf")
    a, b, c = traj.vec[0][0], traj.vec[1][1], traj.vec[2][2]

    inp = [" &CONTROL\n    calculation = 'relax' ,\n    title='silica glass relaxation'\n    prefix = 'sio2' ,\n"
           "    pseudo_dir = './pseudo/' ,\n    outdir = './tmp/' ,\n    nstep = %d ,\n    tprnfor = .true. ,\n /\n"
           % sz.steps,
           " &SYSTEM\n    ibrav = 14,\n    A = %.5f ,\n    B = %.5f ,\n    C = %.5f ,\n    cosAB = 0.00000 ,\n"
           "    cosAC = 0.00000 ,\n    cosBC = 0.00000 ,\n    nat = %d,\n    ntyp = 2,\n    ecutwfc = 30.0 ,\n /\n"
           % (a, b, c, n),
           " &ELECTRONS\n    conv_thr = 1.0d-8 ,\n    mixing_beta = 0.7 ,\n /\n &IONS\n /\nATOMIC_SPECIES\n"
           "   Si   28.08550  Si.pbe-n-rrkjus_psl.1.0.0.UPF\n   O    15.99940  O.pbe-n-rrkjus_psl.1.0.0.UPF\n"
           "ATOMIC_POSITIONS (crystal)\n"]
    inp += ["   %-2s  %12.8f %12.8f %12.8f\n" % ((t,) + traj.fractional(p)) for t, p in zip(traj.species, traj.base)]
    inp.append("K_POINTS automatic\n  2 2 2 0 0 0\n")
    write(os.path.join(d, "relax.inp"), inp)

    alat = a / BOHR
    nbands = sz.bands

    def chunks():
        yield ("\n     Program PWSCF v.6.4.1 starts on 14Mar2021 at 10:15:15 \n\n"
               "     This program is part of the open-source Quantum ESPRESSO suite\n"
               "     for quantum simulation of materials; please cite\n"
               "         \"P. Giannozzi et al., J. Phys.:Condens. Matter 21 395502 (2009);\n\n"
               "     Parallel version (MPI), running on     2 processors\n\n     Reading input from relax.inp\n\n")
        yield ("     bravais-lattice index     =           14\n     lattice parameter (alat)  =  %11.4f  a.u.\n"
               "     unit-cell volume          =  %12.4f (a.u.)^3\n     number of atoms/cell      =  %11d\n"
               "     number of atomic types    =            2\n     number of electrons       =  %11.2f\n"
               "     number of Kohn-Sham states=  %11d\n     kinetic-energy cutoff     =      30.0000  Ry\n"
               "     nstep                     =  %11d\n\n\n" % (
                   alat, a * b * c / BOHR ** 3, n, 16.0 * n / 3 * 1.0, nbands, sz.steps))
        yield ("     celldm(1)=  %9.6f  celldm(2)=   %8.6f  celldm(3)=   %8.6f\n"
               "     celldm(4)=   0.000000  celldm(5)=   0.000000  celldm(6)=   0.000000\n\n"
               "     crystal axes: (cart. coord. in units of alat)\n" % (alat, b / a, c / a))
        for i in range(3):
            yield "               a(%d) = ( %10.6f %10.6f %10.6f )  \n" % ((i + 1,) + tuple(x / a for x in traj.vec[i]))
        yield "\n     reciprocal axes: (cart. coord. in units 2 pi/alat)\n"
        for i in range(3):
            yield "               b(%d) = ( %9.6f %9.6f %9.6f )  \n" % ((i + 1,) + tuple(
                a / traj.vec[i][i] if j == i else 0.0 for j in range(3)))
        yield ("\n\n     atomic species   valence    mass     pseudopotential\n"
               "        Si             4.00    28.08550     Si( 1.00)\n        O              6.00    15.99940     O ( 1.00)\n\n"
               "     No symmetry found\n\n\n\n   Cartesian axes\n\n     site n.     atom                  positions (alat units)\n")
        for i, (t, p) in enumerate(zip(traj.species, traj.base)):
            yield "     %5d           %-2s  tau(%4d) = (  %10.7f  %10.7f  %10.7f  )\n" % ((i + 1, t, i + 1) +
                                                                                     tuple(x / a for x in p))
        yield ("\n     number of k points=     1\n                       cart. coord. in units 2pi/alat\n"
               "        k(    1) = (   0.0000000   0.0000000   0.0000000), wk =   2.0000000\n\n"
               "     Dense  grid:   925271 G-vectors     FFT dimensions: ( 120, 120, 120)\n\n")
        energy = -2830.5
        for s in range(sz.steps):
            pos, force = traj.step(s)
            yield "     Self-consistent Calculation\n"
            for it in range(1, (9 if s == 0 else 5) + 1):
                yield ("\n     iteration #%3d     ecut=    30.00 Ry     beta= 0.70\n     Davidson diagonalization with "
                       "overlap\n     ethr =  %8.2E,  avg # of iterations =  2.0\n\n     total cpu time spent up to "
                       "now is     %8.1f secs\n\n     total energy              =  %15.8f Ry\n"
                       "     estimated scf accuracy    <  %15.8f Ry\n" % (
                           it, 1e-2 / it ** 2, 12.3 * s + it, energy + 0.5 / it ** 2, 0.2 / it ** 3))
            yield "\n     End of self-consistent calculation\n\n          k = 0.0000 0.0000 0.0000 (121704 PWs)   bands (ev):\n\n"
            for k in range(0, nbands, 8):
                yield "  " + "".join("%9.4f" % (-20.0 + 24.0 * j / nbands + 0.001 * math.sin(j + s))
                                     for j in range(k, min(k + 8, nbands))) + "\n"
            e = energy - 0.01 * math.sin(0.1 * s) - 0.001 * s
            yield ("\n     highest occupied level (ev):     4.3036\n\n!    total energy              =  %15.8f Ry\n"
                   "     estimated scf accuracy    <       0.00000039 Ry\n\n"
                   "     The total energy is the sum of the following terms:\n"
                   "     one-electron contribution =   -1064.82452638 Ry\n     hartree contribution      =     533.55448961 Ry\n"
                   "     xc contribution           =    -509.77042089 Ry\n     ewald contribution        =   -1789.45579972 Ry\n\n"
                   "     convergence has been achieved in   5 iterations\n\n"
                   "     Forces acting on atoms (cartesian axes, Ry/au):\n\n" % e)
            for i, f in enumerate(force):
                yield "     atom %4d type %2d   force =  %14.8f%14.8f%14.8f\n" % ((i + 1, 1 if i < n // 3 else 2) +
                                                                                tuple(x * RY_AU_PER_EV_A for x in f))
            yield ("\n     Total force =     %9.6f     Total SCF correction =     0.000570\n\n"
                   "     BFGS Geometry Optimization\n\n     number of scf cycles    =  %3d\n"
                   "     number of bfgs steps    =  %3d\n\n     energy   old            =   %16.10f Ry\n"
                   "     energy   new            =   %16.10f Ry\n\n     CASE: energy_new < energy_old\n\n"
                   "     new trust radius        =       0.0215763687 bohr\n     new conv_thr            =       "
                   "0.0000010000 Ry\n\n" % (0.2 * math.exp(-s / 50), s + 1, s, e + 0.001, e))
            last = s == sz.steps - 1
            if last:
                yield "     bfgs converged in %3d scf cycles and %3d bfgs steps\n\n     End of BFGS Geometry Optimization\n\n" \
                      "     Final energy   =   %16.10f Ry\nBegin final coordinates\n\n" % (s + 1, s, e)
            yield "ATOMIC_POSITIONS (crystal)\n"
            for t, p in zip(traj.species, pos):
                yield "%-2s       %12.9f   %12.9f   %12.9f\n" % ((t,) + traj.fractional(p))
            if last:
                yield "End final coordinates\n"
            yield "\n\n\n     Writing output data file sio2.save/\n\n"
        yield ("     PWSCF        :   1h23m CPU      1h24m WALL\n\n\n   This run was terminated on:  11:39:21  14Mar2021"
               "            \n\n=" + "-" * 78 + "=\n   JOB DONE.\n=" + "-" * 78 + "=\n")
    write(os.path.join(d, "relax.out"), chunks())


# ------------------------------------------------------------------ CASTEP

def castep_cell_block(vec):
    a, b, c = (math.sqrt(sum(x * x for x in v)) for v in vec)
    o = ["\n                           -------------------------------\n"
         "                                      Unit Cell\n"
         "                           -------------------------------\n"
         "        Real Lattice(A)              Reciprocal Lattice(1/A)\n"]
    for i in range(3):
        r = tuple(6.283185307 / vec[i][i] if j == i else 0.0 for j in range(3))
        o.append("  %10.7f  %10.7f  %10.7f       %10.7f  %10.7f  %10.7f\n" % (vec[i] + r))
    o.append("\n                       Lattice parameters(A)       Cell Angles\n")
    for n1, v1, n2 in (("a", a, "alpha"), ("b", b, "beta "), ("c", c, "gamma")):
        o.append("                    %s =  %10.6f          %s =  %10.6f\n" % (n1, v1, n2, 90.0))
    o.append("\n                Current cell volume =  %12.6f A**3\n\n" % (a * b * c))
    return "".join(o)


def castep_atoms(traj, pos, first):
    o = ["                           -------------------------------\n"
         "                                     Cell Contents\n"
         "                           -------------------------------\n"]
    if first:
        o.append("                         Total number of ions in cell = %4d\n"
                 "                      Total number of species in cell =    2\n"
                 "                        Max number of any one species = %4d\n\n" % (traj.n, traj.counts[1]))
    else:
        o.append("\n")
    o.append("            " + "x" * 62 + "\n            x  Element    Atom        Fractional coordinates of atoms    x\n"
             "            x            Number           u          v          w        x\n"
             "            x" + "-" * 60 + "x\n")
    counter = {}
    for t, p in zip(traj.species, pos):
        counter[t] = counter.get(t, 0) + 1
        f = traj.fractional(p)
        o.append("            x   %-2s    %5d          %9.6f  %9.6f  %9.6f     x\n" % ((t, counter[t]) + f))
    o.append("            " + "x" * 62 + "\n\n")
    return "".join(o)


def castep_forces(traj, force):
    o = [" *********************************** Forces ***********************************\n"
         " *                                                                            *\n"
         " *                        Cartesian components (eV/A)                         *\n"
         " * -------------------------------------------------------------------------- *\n"
         " *                   x                    y                    z              *\n"
         " *                                                                            *\n"]
    counter = {}
    for t, f in zip(traj.species, force):
        counter[t] = counter.get(t, 0) + 1
        o.append(" * %-2s %8d   %12.5f         %12.5f         %12.5f         *\n" % ((t, counter[t]) + f))
    o.append(" *                                                                            *\n"
             " " + "*" * 78 + "\n\n")
    return "".join(o)


def castep_scf(s, n_it):
    o = ["------------------------------------------------------------------------ <-- SCF\n"
         "SCF loop      Energy           Fermi           Energy gain       Timer   <-- SCF\n"
         "                               energy          per atom          (sec)   <-- SCF\n"
         "------------------------------------------------------------------------ <-- SCF\n"
         "Initial  %16.8E  0.00000000E+000                     %8.2f  <-- SCF\n" % (-27380.5, 12.3 * s)]
    for it in range(1, n_it + 1):
        o.append("%7d  %16.8E %16.8E %16.8E %8.2f  <-- SCF\n" % (it, -27380.5 - 1.0 / it, 6.19, 0.02 / it ** 2,
                                                                   12.3 * s + it))
    o.append("------------------------------------------------------------------------ <-- SCF\n \n"
             "Final energy, E             =  %16.10f     eV\nFinal free energy (E-TS)    =  %16.10f     eV\n"
             "(energies not corrected for finite basis set)\n \nNB est. 0K energy (E-0.5TS)      =  %16.10f     eV\n \n"
             % (-27380.5 - 0.01 * s, -27380.51 - 0.01 * s, -27380.505 - 0.01 * s))
    return "".join(o)


def castep_md_data(s):
    return ("\n ***************** Stress Tensor *****************\n *                                               *\n"
            " *          Cartesian components (GPa)           *\n * --------------------------------------------- *\n"
            " *             x             y             z     *\n *                                               *\n"
            " *  x   %11.6f   %11.6f   %11.6f  *\n *  y   %11.6f   %11.6f   %11.6f  *\n"
            " *  z   %11.6f   %11.6f   %11.6f  *\n *                                               *\n"
            " *  Pressure:   %7.4f                          *\n *                                               *\n"
            " *************************************************\n  \n"
            "            " + "x" * 62 + "\n            x                                               MD Data:     x\n"
            "            x                                                            x\n"
            "            x              time :   %11.6f                   ps     x\n"
            "            x                                                            x\n"
            "            x   Potential Energy: %13.6f                   eV     x\n"
            "            x        Temperature: %13.6f                    K     x\n"
            "            " + "x" * 62 + "\n\n\n") % (
        2.04, 1.44, 2.72, 1.44, -6.07, 4.83, 2.72, 4.83, -7.55, 3.86 + 0.1 * math.sin(s), 0.001 * s,
        -27380.5 - 0.01 * s, 1500.0 + 20 * math.sin(0.1 * s))


def castep_set(out, sz):
    rng = random.Random(53)
    n = sz.atoms
    traj = Trajectory(["Si", "O"], [n // 3, n - n // 3], (n / 0.066) ** (1 / 3), rng, sz.steps, 0.06)
    d = os.path.join(out, "castep")

    def chunks():
        yield (" +-------------------------------------------------+\n |                                                 |\n"
               " |      CCC   AA    SSS  TTTTT  EEEEE  PPPP        |\n |     C     A  A  S       T    E      P   P       |\n"
               " |      CCC  A    A SSS     T    EEEEE  PPPP        |\n |                                                 |\n"
               " +-------------------------------------------------+\n |                                                 |\n"
               " | Welcome to Academic Release CASTEP version 19.11|\n +-------------------------------------------------+\n\n"
               " ******************************* User Parameters *******************************\n"
               " type of calculation                            : molecular dynamics\n"
               " number of MD steps                             : %d\n"
               " ensemble                                       : NVT\n"
               " *******************************************************************************\n  \n" % sz.steps)
        pos, force = traj.step(0)
        yield castep_cell_block(traj.vec)
        yield castep_atoms(traj, traj.base, True)
        yield castep_scf(0, 12)
        yield " Starting MD\n\n"
        yield castep_forces(traj, force)
        yield castep_md_data(0)
        for s in range(1, sz.steps + 1):
            pos, force = traj.step(s)
            yield ("=" * 80 + "\n Starting MD iteration %10d ...\n" % s + "=" * 80 + "\n \n"
                   "+---------------- MEMORY AND SCRATCH DISK ESTIMATES PER PROCESS --------------+\n"
                   "|                                                     Memory          Disk    |\n"
                   "| Model and support data                              322.2 MB         0.0 MB |\n"
                   "+-----------------------------------------------------------------------------+\n \n")
            yield castep_cell_block(traj.vec)
            yield castep_atoms(traj, pos, False)
            yield castep_scf(s, 6)
            yield "\n"
            yield castep_forces(traj, force)
            yield castep_md_data(s)
            yield "-" * 80 + "\n ... finished MD iteration %10d\n\n" % s
        yield (" \nInitialisation time =     12.15 s\nCalculation time    =   8108.41 s\nFinalisation time   =      0.01 s\n"
               "Total time          =   8120.57 s\nPeak Memory Use     = 1321904 kB\n")
    write(os.path.join(d, "md.castep"), chunks())


# -------------------------------------------------------------- TranSIESTA

def siesta_set(out, sz):
    rng = random.Random(61)
    n = sz.atoms
    traj = Trajectory(["Si", "O"], [n // 3, n - n // 3], (n / 0.066) ** (1 / 3), rng, sz.steps, 0.05)
    d = os.path.join(out, "siesta")
    a = traj.vec[0][0]
    atk = ["SystemLabel                 relax\nSolutionMethod              diagon\nMeshCutoff                  "
           "150.000000 Ry\nUnitCell::LatticeConstant   1.000000 Ang\n%block Bulk::UnitCell\n"]
    atk += ["  %14.9f %14.9f %14.9f\n" % v for v in traj.vec]
    atk.append("%endblock Bulk::UnitCell\n%block Bulk::AtomList\n")
    atk += ["%-2s   %14.6f %14.6f %14.6f\n" % ((t,) + p) for t, p in zip(traj.species, traj.base)]
    atk.append("%%endblock Bulk::AtomList\nMD.TypeOfRun               CG\nMD.NumCGsteps               %d\n" % sz.steps)
    write(os.path.join(d, "relax.atk"), atk)

    def chunks():
        yield ("+--------------------------------------------------------------------+\n"
               "|  TranSIESTA-C  version 1.3.0                                        |\n"
               "|  Copyright Atomistix A/S                                            |\n"
               "+--------------------------------------------------------------------+\n\n"
               "Reading input file : relax.atk\n\n# " + "-" * 63 + "\n# Input parameters\n# " + "-" * 63 + "\n")
        yield "".join(atk)
        yield "\n# Initial configuration read.\n\n"
        for s in range(sz.steps):
            pos, force = traj.step(s)
            yield ("\n" + "=" * 70 + "\n  Geometry optimization step %4d\n" % (s + 1) + "=" * 70 + "\n")
            for it in range(1, 6):
                yield "   scf: %3d   Etot = %16.6f eV   dDmax = %10.6f\n" % (it, -86312.3 - 1.0 / it, 0.1 / it ** 2)
            yield "Total energy = %.6f eV\n\n#   Forces     in eV/Ang\n# " % (-86312.3 - 0.01 * s) + "-" * 70 + "\n"
            yield ("#           X           Y           Z          dX          dY          dZ          Fx          Fy"
                   "          Fz\n# " + "-" * 70 + "\n")
            for i, (p, f) in enumerate(zip(pos, force)):
                dx = tuple(p[k] - traj.base[i][k] for k in range(3))
                yield "  %10.6f  %10.6f  %10.6f  %10.6f  %10.6f  %10.6f  %10.6f  %10.6f  %10.6f\n" % (p + dx + f)
            yield "# " + "-" * 70 + "\n  Max force = %.6f eV/Ang\n" % max(max(abs(x) for x in f) for f in force)
        yield "\n# Relaxation finished.\n"
    write(os.path.join(d, "relax.out"), chunks())


# ------------------------------------------------------------------- Plimo

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


def plimo_set(out, sz):
    rng = random.Random(71)
    n = sz.atoms
    counts = [n // 3, n - n // 3]
    names = ["Si", "O"]
    a = (n / 0.066) ** (1 / 3)
    base = liquid(n, rng)
    phase = [rng.random() * 6.283 for _ in range(3 * n)]
    d = os.path.join(out, "plimo")
    steps = sz.plimo_steps

    f07 = [" SiO2 glass, %d atoms, NPT at 1500 K   \n" % n, "%5d%5d\n" % (n, 2), "   Si    O\n",
           "%5d%5d      ! atoms per type\n" % tuple(counts), "  28.0855  15.9994   ! masses\n",
           "   2.4000  -1.2000   ! charges\n", "    0    1    0\n", "%9.4f%9.4f%9.4f%9.4f\n" % (1.0, a, a, a),
           " ATOMIC POSITIONS\n"]
    i = 0
    for t, c in enumerate(counts):
        for _ in range(c):
            x, y, z = base[i]
            head = "%5d  %-4s%12.5f%12.5f%12.5f" % (i + 1, names[t], x * a, y * a, z * a)
            f07.append(head.ljust(53) + "%9.5f%9.5f%9.5f\n" % (x, y, z))
            i += 1
    write(os.path.join(d, "run.f07"), f07)
    lines05 = list(FILE05_LINES)
    lines05[2] = "NSTEP   %7d.0    2.9    100.    10.    1.    0.5                :" % steps
    write(os.path.join(d, "run.f05"), ["\n".join(lines05) + "\n"])

    def f9p():
        for s in range(steps):
            yield "  STEP%8d  TIME%10.4f PS\n" % (s + 1, (s + 1) * 0.002)
            atoms = []
            for i in range(n):
                atoms.append("".join("%4d" % (int(round(((base[i][k] + 0.012 * math.sin(0.21 * s + phase[3 * i + k])
                                                            + 0.00002 * s * (k + 1)) % 1.0) * 9000)) % 9000)
                                     for k in range(3)))
            yield "".join("".join(atoms[k:k + 6]) + "\n" for k in range(0, n, 6))
    write(os.path.join(d, "run.f9p"), f9p())

    def f9v():
        for s in range(steps):
            yield "%8.2f%9.4f%12.3f%12.3f\n" % (1500.0 + 40 * math.sin(0.01 * s), 0.1 + 0.05 * math.cos(0.6 * s),
                                                  -12345.678 + 0.001 * s, 45.5 + 0.001 * s)
            yield "%12.4f%12.4f%12.4f\n" % (0.0001 * s, -0.02, 0.03)
            yield "%9.4f%9.3f%9.4f%9.4f%9.4f%9.3f%9.3f%9.3f\n" % (
                2.2 + 0.001 * math.sin(s), 300.5, a, a + 0.01 * math.sin(0.01 * s), a, 90.0, 90.0, 90.0)
            yield "%9.4f%9.4f%9.4f\n%9.4f%9.4f%9.4f\n" % (1.0, 0.0, 0.0, 0.0, 1.0, 0.0)
    write(os.path.join(d, "run.f9v"), f9v())
    write(os.path.join(d, "run.f06"), [F06(steps, 2.0, 1, 100, 0.3, page_every=60).text])


# -------------------------------------------------------------------- main

def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--out", default="/tmp/quorvel-bench")
    p.add_argument("--small", action="store_true")
    p.add_argument("--outcar-gb", type=float, default=0.0)
    p.add_argument("--only", default="", help="comma-separated data sets to write")
    args = p.parse_args()
    out = os.path.abspath(args.out)
    source = os.path.abspath(os.path.join(HERE, ".."))
    if out == source or out.startswith(source + os.sep):
        sys.exit("generate.py: the benchmark inputs never go into the source tree (%s)" % out)
    sz = Sizes(args.small)
    only = set(filter(None, args.only.split(",")))
    sets = [("cif", lambda: cif_sets(out, sz)), ("contcar", lambda: contcar_set(out, sz)),
            ("outcar", lambda: outcar_set(out, sz, "outcar", sz.steps)), ("pwscf", lambda: pwscf_set(out, sz)),
            ("castep", lambda: castep_set(out, sz)), ("siesta", lambda: siesta_set(out, sz)),
            ("plimo", lambda: plimo_set(out, sz))]
    if args.outcar_gb > 0:
        per_step = 85.6e3 * (sz.atoms / 256.0)
        steps = int(args.outcar_gb * 1e9 / per_step)
        sets.append(("outcar-1gb", lambda: outcar_set(out, sz, "outcar-1gb", steps)))
    for name, make in sets:
        if only and name not in only:
            continue
        print("writing %s/%s" % (out, name), flush=True)
        make()


if __name__ == "__main__":
    main()
