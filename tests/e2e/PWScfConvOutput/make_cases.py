#!/usr/bin/env python3
"""Writes the PWScfConvOutput end-to-end cases: pw.x input and output files in
the layouts Quantum ESPRESSO prints, and the expected results worked out from
the documented rules (../formulas.py), independently of Quorvel.

Run it after changing the cases: /usr/bin/python3 make_cases.py"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import formulas as F  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
BOHR = 0.52917720859

# ---------------------------------------------------------------- pw.x files


def pw_input(title, cell, species, atoms, calculation="relax"):
    """A pw.x namelist input with an ibrav=14 cell given as A, B, C and cosines."""
    A, B, C, cosAB, cosAC, cosBC = cell
    out = " &CONTROL\n"
    out += "    calculation = '%s' ,\n" % calculation
    out += "    title='%s'\n" % title
    out += "    prefix = 'pwscf' ,\n    pseudo_dir = './pseudo/' ,\n    outdir = './tmp/' ,\n"
    out += "    tprnfor = .true. ,\n"
    if calculation == "md":
        out += "    dt = 20 ,\n    nstep = 5 ,\n"
    out += " /\n &SYSTEM\n    ibrav = 14,\n"
    out += "    A = %.5f ,\n    B = %.5f ,\n    C = %.5f ,\n" % (A, B, C)
    out += "    cosAB = %.5f ,\n    cosAC = %.5f ,\n    cosBC = %.5f ,\n" % (cosAB, cosAC, cosBC)
    out += "    nat = %d,\n    ntyp = %d,\n    ecutwfc = 30.0 ,\n /\n" % (len(atoms), len(species))
    out += " &ELECTRONS\n    conv_thr = 1.0d-8 ,\n    mixing_beta = 0.7 ,\n /\n &IONS\n /\n"
    out += "ATOMIC_SPECIES\n"
    for name, mass, _ in species:
        out += "   %-3s %9.5f  %s.pbe-n-rrkjus_psl.1.0.0.UPF\n" % (name, mass, name)
    out += "ATOMIC_POSITIONS (crystal)\n"
    for sp, x, y, z in atoms:
        out += "   %-3s %12.8f %12.8f %12.8f\n" % (sp, x, y, z)
    out += "K_POINTS gamma\n"
    return out


def cell_vectors(cell):
    """pw.x's ibrav=14 vectors in Angstrom."""
    A, B, C, cosAB, cosAC, cosBC = cell
    sg = math.sqrt(1 - cosAB ** 2)
    v3z = math.sqrt(1 + 2 * cosBC * cosAC * cosAB - cosBC ** 2 - cosAC ** 2 - cosAB ** 2) / sg
    return [[A, 0, 0], [B * cosAB, B * sg, 0], [C * cosAC, C * (cosBC - cosAC * cosAB) / sg, C * v3z]]


def positions_block(atoms, final=False):
    out = "Begin final coordinates\n\n" if final else ""
    out += "ATOMIC_POSITIONS (crystal)\n"
    for sp, x, y, z in atoms:
        out += "%-3s%23.10f%20.10f%20.10f\n" % (sp, x, y, z)
    if final:
        out += "End final coordinates\n"
    return out


def scf_block(energy, forces, atoms, species):
    out = "\n     Self-consistent Calculation\n\n"
    out += "     iteration #  1     ecut=    30.00 Ry     beta= 0.70\n"
    out += "     Davidson diagonalization with overlap\n"
    out += "     total energy              =    %14.8f Ry\n" % (energy + 0.01)
    out += "     estimated scf accuracy    <       0.00412345 Ry\n\n"
    out += "     End of self-consistent calculation\n\n"
    out += "          k = 0.0000 0.0000 0.0000 (  3071 PWs)   bands (ev):\n\n"
    out += "   -20.1234 -18.4321  -8.1234  -6.2345\n\n"
    out += "     highest occupied level (ev):    -6.2345\n\n"
    out += "!    total energy              =    %14.8f Ry\n" % energy
    out += "     estimated scf accuracy    <       0.00000039 Ry\n\n"
    out += "     convergence has been achieved in   9 iterations\n\n"
    out += "     Forces acting on atoms (cartesian axes, Ry/au):\n\n"
    names = [s[0] for s in species]
    for i, ((sp, _, _, _), f) in enumerate(zip(atoms, forces)):
        out += "     atom %4d type %2d   force = %14.8f%14.8f%14.8f\n" % (i + 1, names.index(sp) + 1, f[0], f[1], f[2])
    total = math.sqrt(sum(c * c for f in forces for c in f))
    out += "\n     Total force = %12.6f     Total SCF correction =     0.000012\n" % total
    return out


def pw_output(cell, species, atoms, steps, calculation="relax", scf_forces=None):
    """A pw.x output: header with the starting structure, then for every step
    an SCF block with its forces and the new positions."""
    A = cell[0]
    alat = A / BOHR
    vec = cell_vectors(cell)
    out = "\n     Program PWSCF v.7.2 starts on  1Jan2024 at 10: 0: 0 \n\n"
    out += "     This program is part of the open-source Quantum ESPRESSO suite\n"
    out += "     for quantum simulation of materials; please cite\n"
    out += "         \"P. Giannozzi et al., J. Phys.:Condens. Matter 21 395502 (2009);\n\n"
    out += "     Serial version\n\n     Reading input from pwscf.inp\n\n"
    out += "     bravais-lattice index     =           14\n"
    out += "     lattice parameter (alat)  =  %11.4f  a.u.\n" % alat
    out += "     number of atoms/cell      =  %11d\n" % len(atoms)
    out += "     number of atomic types    =  %11d\n" % len(species)
    out += "     kinetic-energy cutoff     =      30.0000  Ry\n"
    out += "     Exchange-correlation= PBE\n                           (   1   4   3   4   0   0   0)\n"
    out += "     nstep                     =           50\n\n"
    out += "     celldm(1)=%11.6f  celldm(2)=%11.6f  celldm(3)=%11.6f\n" % (alat, cell[1] / A, cell[2] / A)
    out += "     celldm(4)=%11.6f  celldm(5)=%11.6f  celldm(6)=%11.6f\n\n" % (cell[5], cell[4], cell[3])
    out += "     crystal axes: (cart. coord. in units of alat)\n"
    for i, v in enumerate(vec):
        out += "               a(%d) = ( %10.6f %10.6f %10.6f )  \n" % (i + 1, v[0] / A, v[1] / A, v[2] / A)
    out += "\n     atomic species   valence    mass     pseudopotential\n"
    for name, mass, zval in species:
        out += "        %-4s %12.2f %11.5f     %-2s( 1.00)\n" % (name, zval, mass, name)
    out += "\n     No symmetry found\n\n   Cartesian axes\n\n"
    out += "     site n.     atom                  positions (alat units)\n"
    for i, (sp, x, y, z) in enumerate(atoms):
        p = [(x * vec[0][k] + y * vec[1][k] + z * vec[2][k]) / A for k in range(3)]
        out += "     %5d           %-4s tau(%4d) = (%12.7f%12.7f%12.7f  )\n" % (i + 1, sp, i + 1, p[0], p[1], p[2])
    out += "\n     number of k points=     1\n                       cart. coord. in units 2pi/alat\n"
    out += "        k(    1) = (   0.0000000   0.0000000   0.0000000), wk =   2.0000000\n\n"
    if scf_forces is not None:
        out += scf_block(-255.1, scf_forces, atoms, species)
    previous = atoms
    for i, step in enumerate(steps):
        out += scf_block(-255.1 - 0.001 * i, step["forces"], previous, species)
        final = calculation == "relax" and i == len(steps) - 1
        if calculation == "md":
            out += "\n     Entering Dynamics:    iteration = %5d\n" % (i + 1)
            out += "                           time      = %8.4f pico-seconds\n\n" % (0.001 * (i + 1))
        elif final:
            out += "\n     bfgs converged in %3d scf cycles and %3d bfgs steps\n" % (i + 1, i)
            out += "     (criteria: energy <  1.0E-04 Ry, force <  1.0E-03 Ry/Bohr)\n\n"
            out += "     End of BFGS Geometry Optimization\n\n"
            out += "     Final energy   =    %15.10f Ry\n" % (-255.1 - 0.001 * i)
        else:
            out += "\n     number of scf cycles    = %3d\n     number of bfgs steps    = %3d\n\n" % (i + 1, i)
            out += "     new trust radius        =       0.0123456789 bohr\n"
            out += "     new conv_thr            =       0.0000001000 Ry\n\n\n"
        out += positions_block(step["positions"], final)
        out += "\n\n\n     Writing output data file ./tmp/pwscf.save/\n"
        previous = step["positions"]
    out += "\n     PWSCF        :      6.69s CPU          6.73s WALL\n\n"
    out += "   This run was terminated on:  10: 1: 0   1Jan2024            \n\n"
    out += "=------------------------------------------------------------------------------=\n"
    out += "   JOB DONE.\n"
    out += "=------------------------------------------------------------------------------=\n"
    return out


# ---------------------------------------------------------------- expected results


def input_crystal(title, cell, species, atoms, messages):
    """The working crystal after the input file, and what its reading prints."""
    A, B, C, cosAB, cosAC, cosBC = cell
    cr = F.Crystal(A * 0.1, B * 0.1, C * 0.1, math.acos(cosBC) * F.RAD_TO_DEG, math.acos(cosAC) * F.RAD_TO_DEG,
                   math.acos(cosAB) * F.RAD_TO_DEG, title)
    for name, _, _ in species:
        if cr.add_type(name):
            messages.append("nSameAtom=0\n")
    for sp, x, y, z in atoms:
        if cr.add_site(sp, x, y, z):
            messages.append("nSameAtom=0\n")
    cr.calculate_vectors()
    return cr


def updated_input(text, cr):
    """The input file with the cell and positions of the final crystal."""
    out = []
    lines = text.split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        ending = "\n" if i < len(lines) - 1 else ""
        i += 1
        if line == "" and ending == "":
            break
        if " A = " in line:
            out.append("    A =  %14.10f,\n" % (cr.a * 10))
        elif " B = " in line:
            out.append("    B =  %14.10f,\n" % (cr.b * 10))
        elif " C = " in line:
            out.append("    C =  %14.10f,\n" % (cr.c * 10))
        elif "cosAB = " in line:
            out.append("    cosAB = %14.10f ,\n" % (math.cos(cr.gamma * F.DEG_TO_RAD) + 1.0e-15))
        elif "cosAC = " in line:
            out.append("    cosAC = %14.10f ,\n" % (math.cos(cr.beta * F.DEG_TO_RAD) + 1.0e-15))
        elif "cosBC = " in line:
            out.append("    cosBC = %14.10f ,\n" % (math.cos(cr.alpha * F.DEG_TO_RAD) + 1.0e-15))
        elif "ATOMIC_POSITIONS" in line:
            out.append(line + ending)
            for s in cr.sites:
                i += 1
                out.append(" %6s  %14.10f  %14.10f  %14.10f\n" % (s[1], s[2], s[3], s[4]))
        else:
            out.append(line + ending)
    return "".join(out)


# What an earlier run left: a failed run leaves it as it was (the runner
# checks every input).
EARLIER_CIF = "data_earlier\n_chemical_name_systematic 'from an earlier run'\n"
EARLIER_XSF = "ANIMSTEPS 1\nCRYSTAL\n\nPRIMVEC 1\n"


def run(case, argument, options, inp, title, cell, species, atoms, steps, out_text, rdf=None, earlier=None):
    """Builds a case: the program's run worked out step by step. earlier:
    files of an earlier run beside the inputs."""
    # The values as the files print them.
    cell = tuple(float("%.5f" % v) for v in cell)
    atoms = [(sp, float("%.8f" % x), float("%.8f" % y), float("%.8f" % z)) for sp, x, y, z in atoms]
    steps = [{"positions": [(sp, float("%.10f" % x), float("%.10f" % y), float("%.10f" % z))
                            for sp, x, y, z in st["positions"]],
              "forces": [tuple(float("%.8f" % c) for c in f) for f in st["forces"]]} for st in steps]
    args = ["--DBDir={TESTDB}", "--Action=PWScfConvOutput"] + options + [argument]
    opts = dict(o[2:].split("=", 1) for o in options)
    base = argument.rsplit(".", 1)[0] if "." in argument else argument
    inp_name, xsf_name = base + ".inp", base + ".xsf"
    stdout = F.frame_banner(args) + "Make XSF file from PWScf Output.\n"
    stdout += "\nInput file  : %s\nOutput file : %s\nXSF file    : %s\n" % (inp_name, argument, xsf_name)
    inputs, outputs = dict(earlier or {}), {}
    messages = []
    if inp is not None:
        inputs[inp_name] = inp
        cr = input_crystal(title, cell, species, atoms, messages)
    else:
        messages.append("Error: Can not read [%s]\n" % inp_name)
        cr = F.Crystal()  # empty: no types, no sites, zero cell, unit vectors
    stdout += "".join(messages)
    n_step = out_text.count("ATOMIC_POSITIONS") if out_text is not None else 0
    n_last = int(opts.get("nLastStep", "0"))
    if 0 < n_last < n_step:
        n_step = n_last
    interval = int(opts.get("nOutputInterval", "0"))
    if interval <= 0:
        interval = 1
    n_output = int((n_step - 1) / interval) + 1
    stdout += "nAtomSites: %d  nAtomType: %d\n" % (len(cr.sites), len(cr.types))
    stdout += "nStep: %d\nnOutputInterval: %d\nnOutput: %d\n" % (n_step, interval, n_output)
    if out_text is None:
        stdout += "Can not read [%s].\n" % argument
        F.write_case(os.path.join(HERE, case), args, inputs, stdout + F.FINISH, {})
        return
    inputs[argument] = out_text
    if xsf_name == argument:
        # An output file named like its XSF file is read, but never replaced.
        stdout += "Error in PWScfConvOutput: The XSF file [%s] would replace the output file.\n" % argument
        F.write_case(os.path.join(HERE, case), args, inputs, stdout + F.FINISH, {})
        return
    n_atoms = len(cr.sites)
    xsf = F.xsf_header(n_output) if n_step > 0 else ""
    initial = F.Crystal()
    frame = 0
    for i in range(n_step):
        step = steps[i]
        cr.sites = []
        for k, (sp, x, y, z) in enumerate(step["positions"][:n_atoms]):
            if cr.add_site(sp, x, y, z, step["forces"][k]):
                stdout += "nSameAtom=0\n"
        if i == 0:
            initial = cr.copy()
        if i % interval == 0:
            frame += 1
            xsf += F.xsf_frame(frame, cr)
            stdout += "...Frame %d (T=0, P=0, D=0)\n" % i
    stdout += "\n"
    init_cif, final_cif = base + "-initial.cif", base + "-final.cif"
    stdout += "Make CIFFile of initial structure [%s].\n" % init_cif
    stdout += "Make CIFFile of final structure [%s].\n" % final_cif
    outputs[xsf_name] = xsf
    outputs[init_cif] = F.cif_text(initial)
    outputs[final_cif] = F.cif_text(cr)
    stdout += "Create update INP file: %s.new\n" % inp_name
    if inp is None:
        stdout += "Error in CPWScf::UpdateInpFile: Can not read [%s].\n" % inp_name
    else:
        outputs[inp_name + ".new"] = updated_input(inp, cr)
    if rdf:
        rmax, n_mesh = rdf
        stdout += "Calculate RDF for initial structure.\n"
        text, files = F.rdf(initial, 0, rmax, n_mesh)
        stdout += text
        outputs.update(files)
        stdout += "Calculate RDF for final structure.\n"
        text, files = F.rdf(cr, 1, rmax, n_mesh)
        stdout += text
        outputs.update(files)
    F.write_case(os.path.join(HERE, case), args, inputs, stdout + F.FINISH, outputs)


# ---------------------------------------------------------------- the cases

QUARTZ_CELL = (4.91600, 4.91600, 5.40500, -0.50000, 0.00000, 0.00000)
QUARTZ_SPECIES = [("Si", 28.0855, 4.0), ("O", 15.9994, 6.0)]
QUARTZ = [("Si", 0.46970, 0.00000, 0.00000), ("Si", 0.00000, 0.46970, 0.66666667),
          ("Si", 0.53030, 0.53030, 0.33333333), ("O", 0.41350, 0.26690, 0.11910), ("O", 0.73310, 0.14660, 0.78576667),
          ("O", 0.85340, 0.58650, 0.45243333), ("O", 0.26690, 0.41350, 0.54756667), ("O", 0.14660, 0.73310, 0.21423333),
          ("O", 0.58650, 0.85340, 0.88090000)]


def quartz_steps(n):
    """A relaxation: every atom drifts a little per step; the first Si drifts
    below z = 0, so the CIF folds it and the XSF keeps it outside the cell."""
    steps = []
    for i in range(n):
        positions, forces = [], []
        for k, (sp, x, y, z) in enumerate(QUARTZ):
            d = (i + 1) * 0.0004 * (1 if k % 2 else -1)
            positions.append((sp, round(x + d, 10), round(y - 0.5 * d, 10), round(z + d * (k % 3 - 1) - 0.0009 * (i + 1) * (k == 0), 10)))
            forces.append((round(0.01234567 / (i + 1) * (k - 4), 8), round(-0.00321 * (i % 2 - 0.5) * k, 8),
                           round(0.0005 * (k % 3) - 0.0007, 8)))
        steps.append({"positions": positions, "forces": forces})
    return steps


def main():
    title = "alpha-quartz relaxation"
    inp = pw_input(title, QUARTZ_CELL, QUARTZ_SPECIES, QUARTZ)
    steps = quartz_steps(4)
    out = pw_output(QUARTZ_CELL, QUARTZ_SPECIES, QUARTZ, steps)
    # Four steps, every second one as a frame; the last step is the final
    # coordinates block of the relaxation.
    run("relax_quartz_every_second_step", "quartz.out", ["--nOutputInterval=2"], inp, title, QUARTZ_CELL,
        QUARTZ_SPECIES, QUARTZ, steps, out)
    # The output file is missing: counts with no step, then the message; the
    # outputs of an earlier run stay as they were.
    run("missing_output_file_keeps_earlier_outputs", "run1.out", [], inp, title, QUARTZ_CELL, QUARTZ_SPECIES, QUARTZ,
        steps, None, earlier={"run1.xsf": EARLIER_XSF, "run1-initial.cif": EARLIER_CIF,
                              "run1-final.cif": EARLIER_CIF, "run1.inp.new": " &CONTROL\n /\n"})
    # The input file is missing: the run goes on with an empty crystal, and
    # the update fails before it touches the updated input of an earlier run.
    run("missing_input_file_keeps_earlier_update", "quartz.out", ["--nLastStep=1"], None, title, QUARTZ_CELL,
        QUARTZ_SPECIES, QUARTZ, steps, out, earlier={"quartz.inp.new": " &CONTROL\n /\n"})
    # The output file named like its XSF file: counted, then refused.
    run("output_named_like_its_xsf_file", "quartz.xsf", ["--nOutputInterval=2"], inp, title, QUARTZ_CELL,
        QUARTZ_SPECIES, QUARTZ, steps, out)
    # An SCF run prints no positions: no step, an empty XSF file, an initial
    # structure without atoms, and the input structure as the final one.
    scf = pw_output(QUARTZ_CELL, QUARTZ_SPECIES, QUARTZ, [], "scf", quartz_steps(1)[0]["forces"])
    run("scf_without_steps", "scf.out", [], inp, title, QUARTZ_CELL, QUARTZ_SPECIES, QUARTZ, [], scf)

    # Molecular dynamics of silicon in its primitive cell, cut at step 3 of 5,
    # with the RDF of the first and the last step read.
    si_cell = (3.86697, 3.86697, 3.86697, 0.50000, 0.50000, 0.50000)
    si_species = [("Si", 28.0855, 4.0)]
    si = [("Si", 0.0, 0.0, 0.0), ("Si", 0.25, 0.25, 0.25)]
    md_title = "Si md"
    md_steps = []
    for i in range(5):
        d = 0.0011 * (i + 1)
        md_steps.append({"positions": [("Si", -d, -d, -d), ("Si", 0.25 + d, 0.25 + d, 0.25 + d)],
                         "forces": [(-0.0233 + 0.0021 * i, -0.0233 + 0.0021 * i, -0.0233 + 0.0021 * i),
                                    (0.0233 - 0.0021 * i, 0.0233 - 0.0021 * i, 0.0233 - 0.0021 * i)]})
    md_inp = pw_input(md_title, si_cell, si_species, si, "md")
    md_out = pw_output(si_cell, si_species, si, md_steps, "md")
    run("md_last_step_and_rdf", "si.md.out", ["--nLastStep=3", "--CalcRDF=1", "--MaximumDistance=4.2", "--nMesh=8"],
        md_inp, md_title, si_cell, si_species, si, md_steps, md_out, rdf=(4.2, 8))


if __name__ == "__main__":
    main()
