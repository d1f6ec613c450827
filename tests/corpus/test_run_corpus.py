#!/usr/bin/env python3
"""Real pw.x, CASTEP and VASP runs against what ASE reads from them.

Every folder runs/<program>/<case>/ holds the files of one run under the names
Quorvel takes, `args` (the command line, one argument a line; --DBDir is
added) and the references: `ref.json` for the frames of the XSF file the run
writes, `ref-initial.json` and `ref-final.json` for its CIF files where they
are not the first and last frame. The run is converted in a scratch copy of
the folder, and every frame of the XSF file must agree with the expected one:

- pw.x, VASP: ref.json's frames, ASE's reading of the output (frame k: the
  geometry at which force block k was computed);
- CASTEP, of which ASE reads only the last structure: ref.json's
  script_blocks, every cell, coordinate and force block of the file with its
  line; frame k is force block k with the last cell and coordinate blocks
  printed before it ("Unconstrained Forces" repeat a step and are no frame).

Cell (lengths 2e-6 A, angles 2e-5 degrees), atomic numbers, fractional
positions (2e-6, modulo 1) and forces, turned from the program's Cartesian
frame into the XSF file's and given in the program's own unit (Ry/bohr for
pw.x, eV/A otherwise) within 1e-6. The -initial.cif file must hold the
starting structure and -final.cif the last frame's, as ASE reads them back, and
so must a pw.x run's updated input (<input>.new).
Exit 0: all agree; 1: a difference; 77: ASE is missing.
"""
import json
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

from corpus_report import binary_from_command_line, report

try:
    import ase.io
    import numpy as np
    from ase.data import atomic_numbers
    from ase.geometry import cell_to_cellpar, cellpar_to_cell
    from ase.units import Bohr, Ry
except ImportError as missing:
    print("SKIPPED: not installed (python3-ase): %s" % missing)
    sys.exit(77)

HERE = pathlib.Path(__file__).resolve().parent / "runs"
TESTDB = pathlib.Path(__file__).resolve().parent.parent / "e2e" / "testdb"
LENGTH, ANGLE, FRACTION, FORCE = 2e-6, 2e-7, 2e-6, 1e-6  # angles: 2e-5 at 90 degrees
CIF_LENGTH, CIF_FRACTION = 5.0001e-6, 1e-6  # %lg (six digits, relative) and %10.6f


class Frame:
    def __init__(self, cell, numbers, fractions, forces=None):
        self.cell = np.array(cell, float)
        self.numbers = list(numbers)
        self.fractions = np.array(fractions, float).reshape(-1, 3)
        self.forces = None if forces is None else np.array(forces, float).reshape(-1, 3)


def element_number(name):
    m = re.match(r"[A-Z][a-z]?", name.strip().capitalize())
    return atomic_numbers.get(m.group(0), 0) if m else 0


def ase_frames(ref, per_unit=1.0):
    """The frames ASE read; a POSCAR whose scale line is a volume, with the cell VASP means."""
    cell = ref.get("vasp_volume_scale", {}).get("cell_vectors")
    return [Frame(cell or f["cell_vectors"], [element_number(s) for s in f["symbols"]], f["scaled_positions"],
                  None if f.get("forces") is None else np.array(f["forces"]) / per_unit) for f in ref["frames"]]


def expected_pwscf(ref, case):
    """ASE's frames, forces in Ry/bohr. pw.x's header prints alat and the crystal
    axes to six decimals; where the case holds ref-input.json, ASE's reading of an
    input whose exact cell Quorvel takes (A, B, C and the cosines), that cell
    replaces the one ASE built from the header in the frames that have it."""
    frames = ase_frames(ref, Ry / Bohr)  # eV/A in one Ry/bohr, as ASE converted them
    given = reference(case, "ref-input.json")
    if given and frames:
        header = frames[0].cell.copy()
        for frame in frames:
            if np.array_equal(frame.cell, header):
                frame.cell = np.array(given["frames"][0]["cell_vectors"], float)
    return frames


def expected_vasp(ref, case):
    """ASE's frames with the forces OUTCAR prints: ASE zeroes those of atoms that
    selective dynamics holds fixed (script_blocks keep them as printed)."""
    frames = ase_frames(ref)
    printed = ref.get("script_blocks", {}).get("position_force_blocks", [])
    if len(printed) == len(frames):
        for frame, block in zip(frames, printed):
            frame.forces = np.array([a["force"] for a in block["atoms"]], float)
    return frames


def real_lattice(lines, line):
    """The rows of the "Real Lattice(A)" block printed last before a 1-based line."""
    i = max(k for k in range(line) if "Real Lattice(A)" in lines[k])
    return [[float(v) for v in lines[i + 1 + r].split()[:3]] for r in range(3)]


def expected_castep(ref, case):
    blocks = ref["script_blocks"]
    lines = next(case.glob("*.castep")).read_text(encoding="latin-1").split("\n")
    frames = []
    for force in blocks["force_blocks"]:
        if "Unconstrained" in force.get("kind", ""):
            continue
        cell = max((c for c in blocks["cell_blocks"] if c["line"] < force["line"]), key=lambda c: c["line"])
        atoms = max((c for c in blocks["coordinate_blocks"] if c["line"] < force["line"]),
                    key=lambda c: c["line"])["atoms"]
        frames.append(Frame(real_lattice(lines, cell["line"]), [element_number(a["element"]) for a in atoms],
                            [a["frac"] for a in atoms], [a["force"] for a in force["atoms"]]))
    return frames


def initial_castep(ref, case):
    blocks = ref["script_blocks"]
    lines = next(case.glob("*.castep")).read_text(encoding="latin-1").split("\n")
    cell, atoms = blocks["cell_blocks"][0], blocks["coordinate_blocks"][0]["atoms"]
    return Frame(real_lattice(lines, cell["line"]), [element_number(a["element"]) for a in atoms],
                 [a["frac"] for a in atoms])


def read_xsf(path):
    words = path.read_text().split("\n")
    frames, i = [], 0
    cell = None
    while i < len(words):
        head = words[i].split()
        if head[:1] == ["PRIMVEC"]:
            cell = [[float(v) for v in words[i + 1 + r].split()] for r in range(3)]
            i += 4
        elif head[:1] == ["PRIMCOORD"]:
            n = int(words[i + 1].split()[0])
            rows = [[float(v) for v in words[i + 2 + k].split()] for k in range(n)]
            cart = np.array([r[1:4] for r in rows]).reshape(-1, 3)
            frames.append(Frame(cell, [int(r[0]) for r in rows], cart @ np.linalg.inv(np.array(cell)),
                                [r[4:7] for r in rows]))
            i += 2 + n
        else:
            i += 1
    return frames


def modulo_one(d):
    return np.abs(d - np.round(d))


def compare(what, got, want, problems, forces=True, length=LENGTH, angle=ANGLE, fraction=FRACTION):
    """Lengths within length (relative beyond 1 A), angles within angle (relative beyond 1 degree)."""
    gp, wp = cell_to_cellpar(got.cell), cell_to_cellpar(want.cell)
    if np.any(np.abs(gp - wp) > np.array([length] * 3 + [angle] * 3) * np.maximum(1, wp)):
        problems.append("%s: cell %s, expected %s" % (what, np.round(gp, 7), np.round(wp, 7)))
        return
    if got.numbers != want.numbers:
        problems.append("%s: atoms %s, expected %s" % (what, got.numbers, want.numbers))
        return
    off = modulo_one(got.fractions - want.fractions).max(initial=0)
    if off > fraction:
        problems.append("%s: positions off by %.3g" % (what, off))
    if forces:
        # A row vector in the program's frame, made fractional in its cell and
        # rebuilt from the written one.
        turn = np.linalg.inv(want.cell) @ got.cell
        off = np.abs(got.forces - want.forces @ turn).max(initial=0)
        if off > FORCE:
            problems.append("%s: forces off by %.3g" % (what, off))


def read_cif(path):
    atoms = ase.io.read(path, format="cif")
    return Frame(atoms.cell[:], atoms.numbers, atoms.get_scaled_positions(wrap=False))


EXPECTED = {"pwscf": expected_pwscf, "castep": expected_castep, "vasp": expected_vasp}


def reference(case, name):
    path = case / name
    return json.loads(path.read_text()) if path.is_file() else None


def check(binary, case):
    program = case.parent.name
    ref = reference(case, "ref.json")
    want = EXPECTED[program](ref, case) if ref else []
    args = [a for a in (case / "args").read_text().split("\n") if a]
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        work = pathlib.Path(scratch) / case.name
        shutil.copytree(case, work)
        before = set(work.rglob("*"))
        run = subprocess.run([binary, "--DBDir=%s/" % TESTDB] + args, cwd=work, capture_output=True, text=True,
                             timeout=120)
        if run.returncode != 0:
            problems.append("exit status %d" % run.returncode)
        written = set(work.rglob("*")) - before
        xsf = [p for p in written if p.suffix == ".xsf"]
        if ref:
            got = read_xsf(xsf[0]) if len(xsf) == 1 else []
            if len(got) != len(want):
                problems.append("%d frames, expected %d" % (len(got), len(want)))
            for k, (g, w) in enumerate(zip(got, want)):
                compare("frame %d" % k, g, w, problems)
        if program == "vasp" and ref:
            return problems  # VASPMakeXSF writes the XSF file only
        first = reference(case, "ref-initial.json")
        first = ase_frames(first)[0] if first else initial_castep(ref, case) if program == "castep" else want[0]
        last = reference(case, "ref-final.json")
        last = ase_frames(last)[0] if last else want[-1] if want else first
        for which, frame in (("initial", first), ("final", last)):
            cif = [p for p in written if p.name.endswith("-%s.cif" % which)]
            if len(cif) != 1:
                problems.append("%d %s CIF files written" % (len(cif), which))
                continue
            try:
                structure = read_cif(cif[0])
            except Exception as error:  # ASE refuses the file
                problems.append("%s: ASE cannot read it (%s)" % (cif[0].name, error or type(error).__name__))
                continue
            compare(cif[0].name, structure, frame, problems, False, CIF_LENGTH, CIF_LENGTH, CIF_FRACTION)
        for updated in (p for p in written if program == "pwscf" and p.suffix == ".new"):
            # The updated input, as ASE reads it, holds the last frame's structure.
            try:
                atoms = ase.io.read(updated, format="espresso-in")
            except Exception as error:
                problems.append("%s: ASE cannot read it (%s)" % (updated.name, error or type(error).__name__))
                continue
            compare(updated.name, Frame(atoms.cell[:], atoms.numbers, atoms.get_scaled_positions(wrap=False)), last,
                    problems, False)
    return problems


def main():
    binary = binary_from_command_line()
    cases = sorted(p.parent for p in HERE.glob("*/*/args"))
    return report(("%s/%s" % (case.parent.name, case.name), check(binary, case)) for case in cases)


if __name__ == "__main__":
    sys.exit(main())
