#!/usr/bin/env python3
"""Writes the end-to-end cases of VASPConvCONTCAR and VASPMakeXSF.

Inputs are VASP files in the layout VASP prints (made by vasp_reference.py);
the expected standard output and files are computed by the independent model
in vasp_reference.py, never taken from a run of the program. Run it from any
directory; it rewrites tests/e2e/VASPConvCONTCAR/<case> and
tests/e2e/VASPMakeXSF/<case> for the cases below.
"""
import math
import os
import shutil
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import vasp_reference as ref  # noqa: E402

E2E = os.path.join(os.path.dirname(HERE), "e2e")
TESTDB = os.path.join(E2E, "testdb")
NUMBERS = ref.atomic_numbers(os.path.join(TESTDB, "nonrel"))

CONV_ANNOUNCE = "Convert VASP INCAR/CONTCAR files.\n"
XSF_ANNOUNCE = "Make XSF file from VASP CONTCAR files.\n"


def option(args, name, default):
    for a in args:
        if a.lower().startswith("--%s=" % name.lower()):
            return a.split("=", 1)[1]
    return default


def atoi(text):
    text = text.strip()
    digits = ""
    for i, ch in enumerate(text):
        if ch.isdigit() or (i == 0 and ch in "+-"):
            digits += ch
        else:
            break
    try:
        return int(digits)
    except ValueError:
        return 0


def plain_argument(args):
    plain = [a for a in args if not a.startswith("--")]
    return plain[0] if plain else ""


def conv_contcar(files, args):
    """Standard output and written files of VASPConvCONTCAR."""
    d = ref.run_directory(plain_argument(args))
    incar, potcar = ref.join_path(d, "INCAR"), ref.join_path(d, "POTCAR")
    initial = ref.join_path(d, "POSCAR.initial")
    if initial not in files:
        initial = ref.join_path(d, "POSCAR")
    contcar = ref.join_path(d, "CONTCAR")
    log = ["\n", "INCAR   file : %s\n" % incar, "POTCAR  file : %s\n" % potcar, "POSCAR  file : %s\n" % initial,
           "CONTCAR file : %s\n" % contcar]
    cn = atoi(option(args, "CoordinationNumber", "0"))
    if cn > 0:
        log.append("Coordination Number: %d\n" % cn)
    first, first_read = ref.read_poscar(files.get(initial), files.get(potcar), log, initial, potcar)
    final, final_read = ref.read_poscar(files.get(contcar), files.get(potcar), log, contcar, potcar)
    log.append("\n")
    name = first.chemical_name.split(" ")[0]
    out = {}
    rmax = float(option(args, "MaximumDistance", "5.0"))
    nmesh = atoi(option(args, "nMesh", "201"))
    for crystal, read, which, mode in ((first, first_read, "initial", 0), (final, final_read, "final", 1)):
        if not read:
            continue
        path = ref.join_path(d, "%s-%s.cif" % (name, which))
        log.append("Make CIFFile of %s structure [%s].\n" % (which, path))
        out[path] = ref.cif_text(crystal)
        if atoi(option(args, "CalcRDF", "0")) != 0:
            log.append("Calculate RDF for %s structure.\n" % which)
            out.update(ref.rdf_files(crystal, rmax, nmesh, mode, cn, log))
    return "".join(log), out


def make_xsf(files, args):
    """Standard output and written files of VASPMakeXSF."""
    d = ref.run_directory(plain_argument(args))
    poscar, outcar, incar = ref.join_path(d, "POSCAR"), ref.join_path(d, "OUTCAR"), ref.join_path(d, "INCAR")
    potcar = ref.join_path(d, "POTCAR")
    log = []
    title = "OUTCAR"
    if incar not in files:
        log.append("Error in VASPConvCONTCAR: Can not read [%s].\n" % incar)
    else:
        for line in files[incar].split("\n"):
            at = line.upper().find("SYSTEM")
            if at >= 0 and "=" in line[at + 6:]:
                title = line.split("=", 1)[1].strip(" \t\r\n")
                break
    title = title.split(" ")[0]
    xsf = ref.join_path(d, title + ".xsf")
    log += ["\n", "Title: %s\n" % title, "POSCAR file : %s\n" % poscar, "OUTCAR file : %s\n" % outcar,
            "XSF file    : %s\n" % xsf]
    crystal, _ = ref.read_poscar(files.get(poscar), files.get(potcar), log, poscar, potcar)
    nstep = ref.count_steps(files[outcar]) if outcar in files else 0
    last = atoi(option(args, "nLastStep", "0"))
    if 0 < last < nstep:
        nstep = last
    interval = atoi(option(args, "nOutputInterval", "0"))
    if interval <= 0:
        interval = 1
    noutput = int((nstep - 1) / interval) + 1
    log += ["nAtomSites: %d  nAtomType: %d\n" % (len(crystal.sites), len(crystal.types)), "nStep: %d\n" % nstep,
            "nOutputInterval: %d\n" % interval, "nOutput: %d\n" % noutput]
    if outcar not in files:
        log.append("Can not read [%s].\n" % outcar)
        return "".join(log), {}
    text = "ANIMSTEPS %d\nCRYSTAL\n\n" % noutput if nstep > 0 else ""
    numbers = [NUMBERS[crystal.types[t]] for t, n in enumerate(crystal.counts) for _ in range(n)]
    frame = 0
    steps = ref.outcar_steps(files[outcar], crystal, log)
    for i in range(nstep):
        step = next(steps, None)
        if step is None:
            break
        if i % interval == 0:
            frame += 1
            text += ref.xsf_frame(frame, *step, numbers)
            log.append("...Frame %d (T=0, P=0, D=0)\n" % i)
    return "".join(log), {xsf: text}


def write_case(action, case, files, args, simulate, exit_code=None, earlier=None):
    """earlier: files that an earlier run left in the run directory; the run
    does not read them, and the runner checks that they stay as they were."""
    folder = os.path.join(E2E, action, case)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    with open(os.path.join(folder, "args"), "w") as fh:
        fh.write("".join(a + "\n" for a in args))
    for name, content in list(files.items()) + list((earlier or {}).items()):
        path = os.path.join(folder, "in", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", newline="\n") as fh:
            fh.write(content)
    stdout, outputs = simulate(files, args)
    announce = CONV_ANNOUNCE if action == "VASPConvCONTCAR" else XSF_ANNOUNCE
    with open(os.path.join(folder, "stdout"), "w", newline="\n") as fh:
        fh.write(ref.frame_head(args, announce) + stdout + ref.FRAME_TAIL)
    for name, content in outputs.items():
        path = os.path.join(folder, "out", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", newline="\n") as fh:
            fh.write(content)
    if exit_code is not None:
        with open(os.path.join(folder, "exit_code"), "w") as fh:
            fh.write("%d\n" % exit_code)


# ---------------------------------------------------------------------------
# Structures

def rotation(ax, ay, az):
    """A rotation by three angles (degrees) about x, y and z."""
    rx, ry, rz = (math.radians(t) for t in (ax, ay, az))
    X = np.array([[1, 0, 0], [0, math.cos(rx), -math.sin(rx)], [0, math.sin(rx), math.cos(rx)]])
    Y = np.array([[math.cos(ry), 0, math.sin(ry)], [0, 1, 0], [-math.sin(ry), 0, math.cos(ry)]])
    Z = np.array([[math.cos(rz), -math.sin(rz), 0], [math.sin(rz), math.cos(rz), 0], [0, 0, 1]])
    return Z @ Y @ X


def cartesian(frac, vectors):
    return np.asarray(frac) @ np.asarray(vectors)


NACL_FRAC = [[0, 0, 0], [0, 0.5, 0.5], [0.5, 0, 0.5], [0.5, 0.5, 0],
             [0.5, 0.5, 0.5], [0.5, 0, 0], [0, 0.5, 0], [0, 0, 0.5]]
NACL_SHIFT = [[0.0113, -0.0071, 0.0052], [-0.0094, 0.0131, 0.0017], [0.0062, 0.0088, -0.0123],
              [-0.0041, -0.0105, 0.0097], [0.0128, 0.0036, -0.0059], [-0.0077, 0.0064, 0.0112],
              [0.0021, -0.0118, -0.0083], [0.0109, 0.0047, 0.0131]]

TIO2_FRAC = [[0.0, 0.0, 0.0], [0.5, 0.5, 0.5], [0.3053, 0.3053, 0.0], [0.6947, 0.6947, 0.0],
             [0.8053, 0.1947, 0.5], [0.1947, 0.8053, 0.5]]


def vasp5_run_directory_rdf():
    titles = ["PAW_PBE Na_pv 19Sep2006", "PAW_PBE Cl 06Sep2000"]
    a = 5.64
    poscar = ref.poscar_text("NaCl rocksalt test cell", 1.0, [[a, 0, 0], [0, a, 0], [0, 0, a]], [4, 4], NACL_FRAC,
                             elements=["Na", "Cl"])
    cell = np.array([[5.6127, 0.0412, -0.0235], [0.0318, 5.6634, 0.0521], [-0.0447, 0.0263, 5.6189]])
    frac = np.array(NACL_FRAC) + np.array(NACL_SHIFT)
    contcar = ref.poscar_text("NaCl rocksalt test cell", 1.0, cell, [4, 4], cartesian(frac, cell),
                              elements=["Na", "Cl"], mode="Cartesian", contcar_layout=True, velocities=True)
    files = {"run/INCAR": "SYSTEM = NaCl relax\nISIF = 3\nIBRION = 2\nNSW = 20\n",
             "run/POTCAR": ref.potcar_stub(titles), "run/POSCAR": poscar, "run/CONTCAR": contcar}
    args = ["--DBDir={TESTDB}", "--Action=VASPConvCONTCAR", "--CalcRDF=1", "--CoordinationNumber=6",
            "--MaximumDistance=4", "--nMesh=41", "run/POSCAR"]
    write_case("VASPConvCONTCAR", "vasp5_run_directory_rdf", files, args, conv_contcar)


def vasp4_selective_current_directory():
    titles = ["PAW_PBE Ti_sv 26Sep2005", "PAW_PBE O 08Apr2002"]
    # Scale 2 with half-length vectors; the VASP 4 form has no element line.
    poscar = ref.poscar_text("TiO2 rutile start", 2.0, [[2.2970, 0, 0], [0, 2.2970, 0], [0, 0, 1.4795]], [2, 4],
                             TIO2_FRAC, mode="direct", selective="Selective dynamics")
    # The relaxed cell written in Cartesian coordinates, turned so that no
    # vector lies along an axis.
    base = np.array([[4.6112, 0.0, 0.0], [0.0213, 4.5893, 0.0], [0.0131, -0.0207, 2.9634]])
    cell = base @ rotation(17.0, -23.0, 41.0).T
    frac = np.array(TIO2_FRAC) + np.array([[0.0031, -0.0022, 0.0017], [-0.0013, 0.0027, -0.0035],
                                           [0.0041, 0.0012, 0.0029], [-0.0026, 0.0037, -0.0011],
                                           [0.0018, -0.0043, 0.0024], [-0.0039, 0.0015, -0.0028]])
    contcar = ref.poscar_text("TiO2 rutile relaxed", 1.0, cell, [2, 4], cartesian(frac, cell), mode="Cartesian",
                              selective="selective dynamics", contcar_layout=True)
    files = {"POTCAR": ref.potcar_stub(titles), "POSCAR": poscar, "CONTCAR": contcar}
    args = ["--DBDir={TESTDB}", "--Action=VASPConvCONTCAR"]
    write_case("VASPConvCONTCAR", "vasp4_selective_current_directory", files, args, conv_contcar)


def poscar_initial_precedence():
    titles = ["PAW_PBE Si 05Jan2001", "PAW_PBE C 08Apr2002"]
    fcc = [[0, 2.18, 2.18], [2.18, 0, 2.18], [2.18, 2.18, 0]]
    initial = ref.poscar_text("SiC zincblende initial", 1.0, fcc, [1, 1], [[0, 0, 0], [0.25, 0.25, 0.25]],
                              elements=["Si", "C"])
    poscar = ref.poscar_text("Overwritten POSCAR", 1.0, fcc, [1, 1], [[0.1, 0.1, 0.1], [0.3, 0.3, 0.3]],
                             elements=["Si", "C"])
    contcar = ref.poscar_text("SiC zincblende relaxed", 1.0, [[0, 2.1837, 2.1837], [2.1837, 0, 2.1837],
                                                             [2.1837, 2.1837, 0]], [1, 1],
                              [[0.0012, 0.0013, 0.0014], [0.2507, 0.2508, 0.2509]], elements=["Si", "C"],
                              contcar_layout=True, velocities=True)
    files = {"run/POTCAR": ref.potcar_stub(titles), "run/POSCAR.initial": initial, "run/POSCAR": poscar,
             "run/CONTCAR": contcar}
    args = ["--DBDir={TESTDB}", "--Action=VASPConvCONTCAR", "run/"]
    write_case("VASPConvCONTCAR", "poscar_initial_precedence", files, args, conv_contcar)


EARLIER_CIF = "data_earlier\n_chemical_name_systematic 'from an earlier run'\n"


def missing_poscar_and_potcar():
    contcar = ref.poscar_text("Lonely CONTCAR", 1.0, [[3.1, 0, 0], [0, 3.2, 0], [0, 0, 3.3]], [1],
                              [[0.1, 0.2, 0.3]], contcar_layout=True)
    files = {"run/CONTCAR": contcar}
    args = ["--DBDir={TESTDB}", "--Action=VASPConvCONTCAR", "run/CONTCAR"]
    # Only the final structure can be written (named after the missing
    # title); the CIF files of an earlier run stay as they were.
    earlier = {"run/SiC-initial.cif": EARLIER_CIF, "run/SiC-final.cif": EARLIER_CIF}
    write_case("VASPConvCONTCAR", "missing_poscar_and_potcar_keeps_earlier_outputs", files, args, conv_contcar,
               earlier=earlier)


def counts_disagree_with_atom_lines():
    # POSCAR announces far more atoms than it lists; CONTCAR gives a count
    # for a type that POTCAR does not have.
    titles = ["PAW_PBE Fe 06Sep2000"]
    poscar = ref.poscar_text("Fe bcc", 1.0, [[2.87, 0, 0], [0, 2.87, 0], [0, 0, 2.87]], [999999999],
                             [[0, 0, 0], [0.5, 0.5, 0.5]], elements=["Fe"])
    contcar = ref.poscar_text("Fe bcc relaxed", 1.0, [[2.83, 0, 0], [0, 2.83, 0], [0, 0, 2.83]], [2, 1],
                              [[0, 0, 0], [0.5, 0.5, 0.5], [0.25, 0.25, 0.25]], elements=["Fe", "C"],
                              contcar_layout=True)
    files = {"run/POTCAR": ref.potcar_stub(titles), "run/POSCAR": poscar, "run/CONTCAR": contcar}
    # An argument without a separator names the run directory itself.
    args = ["--DBDir={TESTDB}", "--Action=VASPConvCONTCAR", "run"]
    write_case("VASPConvCONTCAR", "counts_disagree_with_atom_lines", files, args, conv_contcar)


def conv_announce_without_input():
    args = ["--DBDir={TESTDB}", "--Action=vaspconvcontcar"]
    write_case("VASPConvCONTCAR", "announce_without_input", {}, args, conv_contcar)


# ---------------------------------------------------------------------------
# OUTCAR runs

def relaxation(base_cell, frac0, nsteps, turn, seed):
    """Steps of a made-up relaxation: the cell shrinks and shears a little,
    atoms move and the forces fade; everything in a frame turned by turn."""
    rng = np.random.RandomState(seed)
    R = rotation(*turn)
    frac0 = np.asarray(frac0, dtype=float)
    steps = []
    drift = rng.uniform(-0.01, 0.01, frac0.shape)
    forces0 = rng.uniform(-1.5, 1.5, frac0.shape)
    for n in range(nsteps):
        strain = np.eye(3) * (1 - 0.0023 * n) + np.array([[0, 0.0011, 0], [0, 0, -0.0007], [0.0005, 0, 0]]) * n
        cell = (np.asarray(base_cell) @ strain) @ R.T
        frac = frac0 + drift * (1 - 0.8 ** n)
        forces = forces0 * 0.7 ** n
        steps.append((cell, cartesian(frac, cell), forces))
    return steps


def xsf_run(case, titles, counts, elements, base_cell, frac0, nsteps, args, incar, version=5, seed=1,
            truncate_last_after=None, poscar_counts=None, outcar=True, earlier=None):
    steps = relaxation(base_cell, frac0, nsteps, (23.0, -31.0, 52.0), seed)
    cell0 = steps[0][0]
    poscar = ref.poscar_text("%s run" % "".join(elements), 1.0, cell0, poscar_counts or counts,
                             ref.to_fractional(steps[0][1].T, cell0).T, elements=elements)
    files = {"run/POTCAR": ref.potcar_stub(titles), "run/POSCAR": poscar}
    if incar is not None:
        files["run/INCAR"] = incar
    if outcar:
        files["run/OUTCAR"] = ref.outcar_text(titles, counts, steps, version, truncate_last_after)
    write_case("VASPMakeXSF", case, files, args, make_xsf, earlier=earlier)


TRICLINIC = [[4.71, 0.0, 0.0], [-0.83, 4.52, 0.0], [0.61, -0.47, 3.08]]


def xsf_cases():
    ti_o = ["PAW_PBE Ti_sv 26Sep2005", "PAW_PBE O 08Apr2002"]
    xsf_run("triclinic_interval_3", ti_o, [2, 4], ["Ti", "O"], TRICLINIC, TIO2_FRAC, 10,
            ["--DBDir={TESTDB}", "--Action=VASPMakeXSF", "--nOutputInterval=3", "run/OUTCAR"],
            "SYSTEM = TiO2 relax in a triclinic cell\nIBRION = 2\n", version=6, seed=3)
    mg_o = ["PAW_PBE Mg_pv 06Sep2000", "PAW_PBE O 08Apr2002"]
    mgo_frac = [[0.02, 0.03, 0.01], [0.51, 0.48, 0.04], [0.26, 0.22, 0.53], [0.73, 0.77, 0.49]]
    xsf_run("last_step_5_interval_2_no_system_line", mg_o, [2, 2], ["Mg", "O"],
            [[4.21, 0.0, 0.0], [0.37, 4.18, 0.0], [-0.29, 0.44, 4.26]], mgo_frac, 8,
            ["--DBDir={TESTDB}", "--Action=VASPMakeXSF", "--nLastStep=5", "--nOutputInterval=2", "run/"],
            "ENCUT = 520\n# no title here\nISIF = 3\n", version=5, seed=5)
    xsf_run("truncated_outcar", mg_o, [2, 2], ["Mg", "O"],
            [[4.21, 0.0, 0.0], [0.37, 4.18, 0.0], [-0.29, 0.44, 4.26]], mgo_frac, 3,
            ["--DBDir={TESTDB}", "--Action=VASPMakeXSF", "run/OUTCAR"], "SYSTEM = MgO\n", version=6, seed=7,
            truncate_last_after=1)
    xsf_run("position_table_shorter_than_counts", mg_o, [2, 2], ["Mg", "O"],
            [[4.21, 0.0, 0.0], [0.37, 4.18, 0.0], [-0.29, 0.44, 4.26]], mgo_frac, 2,
            ["--DBDir={TESTDB}", "--Action=VASPMakeXSF", "run/OUTCAR"], "SYSTEM = MgO\n", version=5, seed=9,
            poscar_counts=[3, 2])
    # No OUTCAR: nothing is written, and the XSF file of an earlier run under
    # the name the missing INCAR leaves (OUTCAR.xsf) stays as it was.
    xsf_run("missing_incar_and_outcar_keeps_earlier_output", mg_o, [2, 2], ["Mg", "O"],
            [[4.21, 0.0, 0.0], [0.37, 4.18, 0.0], [-0.29, 0.44, 4.26]], mgo_frac, 1,
            ["--DBDir={TESTDB}", "--Action=VASPMakeXSF", "run/POSCAR"], None, outcar=False,
            earlier={"run/OUTCAR.xsf": "ANIMSTEPS 1\nCRYSTAL\n\nPRIMVEC 1\n"})

    # A static run: OUTCAR without any ionic step table.
    steps = relaxation([[4.21, 0.0, 0.0], [0.37, 4.18, 0.0], [-0.29, 0.44, 4.26]], mgo_frac, 1, (0, 0, 0), 11)
    text = ref.outcar_text(mg_o, [2, 2], steps)
    static = text[:text.index("----------------------------------------- Iteration")]
    static += " General timing and accounting informations for this job:\n"
    cell0 = steps[0][0]
    files = {"run/POTCAR": ref.potcar_stub(mg_o), "run/INCAR": "SYSTEM = MgO static\n", "run/OUTCAR": static,
             "run/POSCAR": ref.poscar_text("MgO static", 1.0, cell0, [2, 2], mgo_frac, elements=["Mg", "O"])}
    write_case("VASPMakeXSF", "outcar_without_steps", files,
               ["--DBDir={TESTDB}", "--Action=VASPMakeXSF", "--nOutputInterval=3", "run/"], make_xsf)

    write_case("VASPMakeXSF", "announce_without_input", {}, ["--DBDir={TESTDB}", "--Action=vaspmakexsf"], make_xsf,
               exit_code=None)


def main():
    vasp5_run_directory_rdf()
    vasp4_selective_current_directory()
    poscar_initial_precedence()
    missing_poscar_and_potcar()
    counts_disagree_with_atom_lines()
    conv_announce_without_input()
    xsf_cases()


if __name__ == "__main__":
    main()
