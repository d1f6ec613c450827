#!/usr/bin/env python3
"""Writes the CASTEPConvOutput end-to-end cases: .castep files in the framed
layout CASTEP prints, and the expected results worked out from the documented
rules (../formulas.py), independently of Quorvel.

Run it after changing the cases: /usr/bin/python3 make_cases.py"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import formulas as F  # noqa: E402

# ---------------------------------------------------------------- .castep files


def vectors(cell):
    """Lattice vectors in Angstrom, a along x and b in the x-y plane."""
    cr = F.Crystal(*cell)
    cr.calculate_vectors()
    return cr.vectors


def reciprocal(v):
    det = (v[0][0] * (v[1][1] * v[2][2] - v[1][2] * v[2][1]) - v[0][1] * (v[1][0] * v[2][2] - v[1][2] * v[2][0]) +
           v[0][2] * (v[1][0] * v[2][1] - v[1][1] * v[2][0]))

    def cross(p, q):
        return [p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2], p[0] * q[1] - p[1] * q[0]]

    return [[2 * math.pi * c / det for c in cross(v[1], v[2])], [2 * math.pi * c / det for c in cross(v[2], v[0])],
            [2 * math.pi * c / det for c in cross(v[0], v[1])]]


def volume(cell):
    v = vectors(cell)
    return abs(v[0][0] * (v[1][1] * v[2][2] - v[1][2] * v[2][1]) - v[0][1] * (v[1][0] * v[2][2] - v[1][2] * v[2][0]) +
               v[0][2] * (v[1][0] * v[2][1] - v[1][1] * v[2][0]))


def banner():
    out = " +-------------------------------------------------+\n |                                                 |\n"
    out += " |      CCC   AA    SSS  TTTTT  EEEEE  PPPP        |\n"
    out += " |     C     A  A  S       T    E      P   P       |\n"
    out += " |     C     AAAA   SS     T    EEE    PPPP        |\n"
    out += " |     C     A  A     S    T    E      P           |\n"
    out += " |      CCC  A  A  SSS     T    EEEEE  P           |\n"
    out += " |                                                 |\n +-------------------------------------------------+\n"
    out += " |                                                 |\n"
    out += " | Welcome to Academic Release CASTEP version 19.11|\n"
    out += " | Ab Initio Total Energy Program                  |\n"
    out += " |                                                 |\n +-------------------------------------------------+\n\n\n"
    out += " Run started: Mon, 01 Jan 2024 10:00:00 +0000\n\n"
    out += " ******************************* User Parameters *******************************\n"
    out += " task                                           : GeometryOptimization\n"
    out += " cut_off_energy                                 :   500.0000000000000    eV\n"
    out += " *******************************************************************************\n\n"
    return out


END = ("\nWriting model to run.check\n \nInitialisation time =      0.14 s\nCalculation time    =      4.14 s\n"
       "Finalisation time   =      0.01 s\nTotal time          =      4.29 s\n")


def cell_block(cell, first=False):
    out = "                           -------------------------------\n"
    out += "                                      Unit Cell\n"
    out += "                           -------------------------------\n"
    v = vectors(cell)
    r = reciprocal(v)
    out += "        Real Lattice(A)              Reciprocal Lattice(1/A)\n"
    for i in range(3):
        out += "%12.7f%12.7f%12.7f%17.7f%12.7f%12.7f\n" % (v[i][0], v[i][1], v[i][2], r[i][0], r[i][1], r[i][2])
    out += "\n"
    out += "                       Lattice parameters(A)       Cell Angles\n"
    out += "                    a =%12.6f          alpha =%12.6f\n" % (cell[0], cell[3])
    out += "                    b =%12.6f          beta  =%12.6f\n" % (cell[1], cell[4])
    out += "                    c =%12.6f          gamma =%12.6f\n\n" % (cell[2], cell[5])
    if first:
        out += "                       Current cell volume = %12.6f       A**3\n\n" % volume(cell)
    else:
        out += "                Current cell volume = %12.6f A**3\n\n" % volume(cell)
    return out


def atom_table(atoms, first=False):
    out = "                           -------------------------------\n"
    out += "                                     Cell Contents\n"
    out += "                           -------------------------------\n"
    if first:
        species = []
        for a in atoms:
            if a[0] not in species:
                species.append(a[0])
        out += "                         Total number of ions in cell = %4d\n" % len(atoms)
        out += "                      Total number of species in cell = %4d\n" % len(species)
        out += "                        Max number of any one species = %4d\n" % max(
            sum(1 for a in atoms if a[0] == s) for s in species)
    out += "\n            " + "x" * 60 + "\n"
    out += "            x  Element    Atom        Fractional coordinates of atoms  x\n"
    out += "            x            Number           u          v          w      x\n"
    out += "            x" + "-" * 58 + "x\n"
    number = {}
    for sp, u, v, w in atoms:
        number[sp] = number.get(sp, 0) + 1
        out += "            x  %-2s%12d%17.6f%11.6f%11.6f   x%s\n" % (sp, number[sp], u, v, w, " " if first else "")
    out += "            " + "x" * 60 + "\n\n\n"
    return out


def component(value, constrained):
    return ("%13.5f(cons'd)" % value) if constrained else "%13.5f" % value


def force_block(atoms, forces, constrained=(), title="Forces"):
    """constrained: (atom index, component) pairs printed with (cons'd)."""
    head = " %s %s %s\n" % ("*" * ((76 - len(title)) // 2), title, "*" * ((76 - len(title) + 1) // 2))
    out = head + " *" + " " * 76 + "*\n"
    out += " *                        Cartesian components (eV/A)                         *\n"
    out += " * " + "-" * 74 + " *\n"
    out += " *                   x                    y                    z              *\n"
    out += " *" + " " * 76 + "*\n"
    number = {}
    for k, ((sp, _, _, _), f) in enumerate(zip(atoms, forces)):
        number[sp] = number.get(sp, 0) + 1
        line = " * %-2s%9d" % (sp, number[sp])
        line += component(f[0], (k, 0) in constrained) + " " * 8 + component(f[1], (k, 1) in constrained)
        line += " " * 8 + component(f[2], (k, 2) in constrained)
        out += line + " " * max(1, 78 - len(line)) + "*\n"
    out += " *" + " " * 76 + "*\n " + "*" * 78 + "\n\n"
    out += " ***************** Stress Tensor *****************\n"
    out += " *                                               *\n"
    out += " *          Cartesian components (GPa)           *\n"
    out += " * --------------------------------------------- *\n"
    out += " *             x             y             z     *\n"
    out += " *                                               *\n"
    out += " *  x     -1.004248      0.000000     -0.000000  *\n"
    out += " *  y      0.000000     -1.004248     -0.000000  *\n"
    out += " *  z     -0.000000     -0.000000     -2.983181  *\n"
    out += " *                                               *\n"
    out += " *  Pressure:    1.6639                          *\n"
    out += " *                                               *\n"
    out += " *************************************************\n"
    return out


def fortran_e(x):
    """A number as Fortran's ES15.8E3 prints it: -2.16585760E+002."""
    mantissa, exponent = ("%.8E" % x).split("E")
    return "%sE%+04d" % (mantissa, int(exponent))


def scf(energy):
    out = "------------------------------------------------------------------------ <-- SCF\n"
    out += "SCF loop      Energy           Fermi           Energy gain       Timer   <-- SCF\n"
    out += "                               energy          per atom          (sec)   <-- SCF\n"
    out += "------------------------------------------------------------------------ <-- SCF\n"
    out += "Initial  %16s  0.00000000E+000                         1.29  <-- SCF\n" % fortran_e(energy + 0.1)
    out += "      1  %16s  4.93632417E+000   5.31306086E-002       1.34  <-- SCF\n" % fortran_e(energy)
    out += "------------------------------------------------------------------------ <-- SCF\n \n"
    out += "Final energy, E             =  %16.10f     eV\n" % energy
    out += "Final free energy (E-TS)    =  %16.10f     eV\n" % energy
    out += "(energies not corrected for finite basis set)\n \n"
    out += "NB est. 0K energy (E-0.5TS)      =  %16.10f     eV\n \n\n" % energy
    return out


def castep_geometry(start, steps, final=True, fixed_cell=False):
    """A BFGS run: the starting structure, then for every step a force block
    and the cell and coordinates of the next iteration; with final, the last
    step's structure is printed again as the final configuration, followed
    by symmetrised forces."""
    cell, atoms = start
    out = banner() + cell_block(cell, True) + atom_table(atoms, True)
    out += "                         No user defined ionic velocities\n\n"
    out += "                           -------------------------------\n"
    out += "                                   Details of Species\n"
    out += "                           -------------------------------\n\n"
    out += "                               Mass of species in AMU\n"
    for sp in dict.fromkeys(a[0] for a in atoms):
        out += "                                    %-2s%13.7f\n" % (sp, F.atomic_weight(sp))
    out += "\n"
    previous = atoms
    for i, st in enumerate(steps):
        out += scf(-2000.0 - i) + force_block(previous, st["forces"], st.get("constrained", ()))
        out += " BFGS: finished iteration %5d with enthalpy= %s eV\n  \n" % (i, fortran_e(-2000.0 - i))
        out += "=" * 80 + "\n Starting BFGS iteration %10d ...\n" % (i + 1) + "=" * 80 + "\n  \n"
        if "cell" in st and not fixed_cell:
            out += cell_block(st["cell"])
        out += atom_table(st["atoms"])
        previous = st["atoms"]
    if final:
        last = steps[-1]
        out += scf(-2000.0 - len(steps)) + force_block(previous, [(0.001, -0.002, 0.003)] * len(previous))
        out += " BFGS: Geometry optimization completed successfully.\n\n" + "=" * 80 + "\n"
        out += " BFGS: Final Configuration:\n" + "=" * 80 + "\n\n"
        if not fixed_cell:
            out += cell_block(last["cell"])
        out += atom_table(last["atoms"])
        out += " BFGS: Final Enthalpy     = -2.16605309E+002 eV\n\n"
        out += force_block(previous, [(0.0, 0.0, 0.00854)] * len(previous), title="Symmetrised Forces")
    out += END
    return out


# ---------------------------------------------------------------- expected results


# What an earlier run left: a failed run leaves it as it was (the runner
# checks every input).
EARLIER_CIF = "data_earlier\n_chemical_name_systematic 'from an earlier run'\n"
EARLIER_XSF = "ANIMSTEPS 1\nCRYSTAL\n\nPRIMVEC 1\n"


def run(case, argument, options, text, start, steps, rdf=None, earlier=None):
    """Builds a case: the program's run worked out step by step. start is
    (cell, atoms); steps lists for every force block its forces, and the cell
    and atoms printed after it ("cell" absent: no cell block). earlier: files
    of an earlier run beside the inputs."""
    args = ["--DBDir={TESTDB}", "--Action=CASTEPConvOutput"] + options + [argument]
    opts = dict(o[2:].split("=", 1) for o in options)
    base = argument.rsplit(".", 1)[0] if "." in argument else argument
    castep_name, xsf_name = base + ".castep", base + ".xsf"
    stdout = F.frame_banner(args) + "Make CAR/XSF file from CASTEP .castep file.\n"
    stdout += "\nCASTEP file : %s\nXSF file    : %s\n" % (castep_name, xsf_name)
    n_step = text.count("** Forces **") - 1 if text is not None else 0
    n_last = int(opts.get("nLastStep", "0"))
    if 0 < n_last < n_step:
        n_step = n_last
    interval = int(opts.get("nOutputInterval", "0"))
    if interval <= 0:
        interval = 1
    n_output = int((n_step - 1) / interval) + 1
    if text is None:
        stdout += "Can not read [%s].\n" % castep_name
        F.write_case(os.path.join(HERE, case), args, dict(earlier or {}), stdout + F.FINISH, {})
        return
    inputs = dict(earlier or {})
    inputs[castep_name] = text
    outputs = {}

    def printed_cell(cell):
        return tuple(float("%.6f" % v) for v in cell)

    def read_structure(cr, cell, atoms, forces):
        nonlocal stdout
        cell = printed_cell(cell)
        cr.a, cr.b, cr.c = cell[0] * 0.1, cell[1] * 0.1, cell[2] * 0.1
        cr.alpha, cr.beta, cr.gamma = cell[3], cell[4], cell[5]
        stdout += "Lattice parameters: %g %g %g nm  %g %g %g\n" % (cr.a, cr.b, cr.c, cr.alpha, cr.beta, cr.gamma)
        cr.calculate_vectors()
        cr.sites = []
        for (sp, u, v, w), f in zip(atoms, forces):
            u, v, w = (float("%.6f" % c) for c in (u, v, w))
            stdout += "%s (%g,%g,%g)\n" % (sp, u, v, w)
            if cr.add_site(sp, u, v, w, tuple(float("%.5f" % c) for c in f)):
                stdout += "nSameAtom=0\n"

    cr = F.Crystal()
    read_structure(cr, start[0], start[1], [(0.0, 0.0, 0.0)] * len(start[1]))
    initial = cr.copy()
    stdout += "nAtomSites: %d  nAtomType: %d\n" % (len(cr.sites), len(cr.types))
    stdout += "nStep: %d\nnOutputInterval: %d\nnOutput: %d\n" % (n_step, interval, n_output)
    xsf = F.xsf_header(n_output) if n_step > 0 else ""
    frame = 0
    for i in range(n_step):
        st = steps[i]
        n = len(cr.sites)
        forces = list(st["forces"][:n]) + [(0.0, 0.0, 0.0)] * (n - len(st["forces"][:n]))
        if "cell" in st:
            read_structure(cr, st["cell"], st["atoms"][:n], forces)
        else:
            cr.sites = []
        if i % interval == 0:
            frame += 1
            xsf += F.xsf_frame(frame, cr)
            stdout += "...Frame %d (T=0, P=0, D=0)\n" % i
    stdout += "\n"
    outputs[xsf_name] = xsf
    init_cif, final_cif, car = base + "-initial.cif", base + "-final.cif", base + ".car.new"
    if initial.sites:
        stdout += "Make CIFFile of initial structure [%s].\n" % init_cif
        outputs[init_cif] = F.cif_text(initial)
    else:
        stdout += "  **No data for initial structure.\n    Skipped.\n"
    if cr.sites:
        stdout += "Make CIFFile of final structure [%s].\n" % final_cif
        outputs[final_cif] = F.cif_text(cr)
        stdout += "Create update CAR file: %s\n" % car
        outputs[car] = F.car_text(cr)
    else:
        stdout += "  **No data for final structure.\n    Skipped.\n"
    if rdf:
        rmax, n_mesh = rdf
        for label, crystal, mode in (("initial", initial, 0), ("final", cr, 1)):
            stdout += "Calculate RDF for %s structure.\n" % label
            if not crystal.sites:
                stdout += "  **No data for %s structure.\n    Skipped.\n" % label
                continue
            t, files = F.rdf(crystal, mode, rmax, n_mesh)
            stdout += t
            outputs.update(files)
    F.write_case(os.path.join(HERE, case), args, inputs, stdout + F.FINISH, outputs)


# ---------------------------------------------------------------- the cases


def rutile(a, c, u):
    return [("O", u, u, 0.0), ("O", 1 - u, 1 - u, 0.0), ("O", 0.5 + u, 0.5 - u, 0.5), ("O", 0.5 - u, 0.5 + u, 0.5),
            ("Ti", 0.0, 0.0, 0.0), ("Ti", 0.5, 0.5, 0.5)]


def rutile_steps(n, fixed_cell=False):
    steps = []
    for i in range(n):
        a, c, u = 4.59373 - 0.0123 * (i + 1), 2.95812 + 0.0045 * (i + 1), 0.3053 - 0.0006 * (i + 1)
        atoms = rutile(a, c, u)
        # The first Ti moves off the origin to negative coordinates.
        atoms[4] = ("Ti", -0.000415 * (i + 1), -0.000415 * (i + 1), 0.000123 * (i + 1))
        forces = [(-0.30170 / (i + 1), -0.30170 / (i + 1), 0.00000), (0.30170 / (i + 1), 0.30170 / (i + 1), -0.00000),
                  (-0.30170 / (i + 1), 0.30170 / (i + 1), -0.00000), (0.30170 / (i + 1), -0.30170 / (i + 1), 0.00000),
                  (0.01234, -0.02345, 0.03456 * (i + 1)), (-0.01234, 0.02345, -0.03456 * (i + 1))]
        st = {"forces": forces, "atoms": atoms, "cell": (a, a, c, 90.0, 90.0, 90.0)}
        if i == 1:
            # A partly constrained ion: its x component is fixed.
            st["forces"][0] = (0.0, -0.12345, 0.05432)
            st["constrained"] = ((0, 0),)
        if fixed_cell:
            del st["cell"]
        steps.append(st)
    return steps


def main():
    start = ((4.59373, 4.59373, 2.95812, 90.0, 90.0, 90.0), rutile(4.59373, 2.95812, 0.3053))
    steps = rutile_steps(4)
    text = castep_geometry(start, steps)
    # Five force blocks: four steps, every second one a frame (ANIMSTEPS 2).
    run("cellopt_rutile_every_second_step", "rutile.castep", ["--nOutputInterval=2"], text, start, steps)

    # A run longer than the steps read ahead of the converter: every step
    # arrives once and in order, and the run, cut short by nLastStep, ends
    # with the reading still ahead of it.
    long_steps = rutile_steps(70)
    text = castep_geometry(start, long_steps)
    run("long_run_cut_at_step_67", "long.castep", ["--nLastStep=67", "--nOutputInterval=10"], text, start,
        long_steps)

    # A fixed-cell optimisation prints no cell block after the first: every
    # step is left without atoms, the final structure is skipped.
    fixed = rutile_steps(2, fixed_cell=True)
    text = castep_geometry(start, fixed, fixed_cell=True)
    run("fixed_cell_steps_without_cell_block", "TiO2-geom.castep", ["--CalcRDF=1", "--MaximumDistance=3.2",
                                                                   "--nMesh=5"], text, start, fixed, rdf=(3.2, 5))

    # A single-point run (one force block): no step; the starting structure
    # is written as both CIF files and as the CAR file.
    si_cell = (5.430000, 5.430000, 5.430000, 90.0, 90.0, 90.0)
    si8 = [("Si", 0.0, 0.0, 0.0), ("Si", 0.0, 0.5, 0.5), ("Si", 0.5, 0.0, 0.5), ("Si", 0.5, 0.5, 0.0),
           ("Si", 0.25, 0.25, 0.25), ("Si", 0.25, 0.75, 0.75), ("Si", 0.75, 0.25, 0.75), ("Si", 0.75, 0.75, 0.25)]
    text = banner() + cell_block(si_cell, True) + atom_table(si8, True) + scf(-862.5)
    text += force_block(si8, [(0.0, 0.0, 0.0)] * 8) + END
    run("single_point_without_extension", "si8", [], text, (si_cell, si8), [])

    # A run stopped before its first forces: no force block, nStep -1.
    text = banner() + cell_block(si_cell, True) + atom_table(si8, True)
    run("no_force_block", "si8.castep", [], text, (si_cell, si8), [])

    # No file: nothing is written, and the outputs of an earlier run stay as
    # they were.
    run("missing_file_keeps_earlier_outputs", "missing.castep", [], None, None, None,
        earlier={"missing.xsf": EARLIER_XSF, "missing-initial.cif": EARLIER_CIF,
                 "missing-final.cif": EARLIER_CIF, "missing.car.new": "!BIOSYM archive 3\n"})


if __name__ == "__main__":
    main()
