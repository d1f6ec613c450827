#!/usr/bin/python3
"""ConvF09p: the animated XSF trajectory and the initial, final and averaged
CIF files of two Plimo runs (an MD run with its own file names and an XD run
with the fixed FILE0x.DAT names, both alpha quartz in an NPT cell) as ASE and
gemmi read them.

ASE has no reader for Plimo files, so the reference structures come from the
small reader below, which follows the Plimo layout: FILE07 gives the atom
types in order, FILE09P the positions of each step as four-character integers
scaled by 1/9000 (MD) or 1/2000 (XD), FILE09V the cell of each step.

The XSF frames carry the type's running number as atomic number (Plimo's own
convention, see README, Known limitations): ASE reads Si as 1 (H) and O as 2
(He) there, which is what is checked."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interop import (E2E, Structure, check_cif, check_xsf, checks, copy_inputs,  # noqa: E402
                     finish, run_quorvel, start)
from vasp_reference import fold  # noqa: E402


def read_lines(path):
    with open(path, "rb") as f:
        return [ln.decode("latin-1") for ln in f.read().split(b"\n")]


def plimo_run(f05, f07, f9p, f9v):
    """Atom types, FILE07 cell and per step (positions, cell parameters) of a
    Plimo run, positions unwrapped so that each atom takes the shortest way
    between steps."""
    head = read_lines(f05)[0][:2].upper()
    scale = {"MD": 1.0 / 9000, "XD": 1.0 / 2000}.get(head, 1.0)

    lines = read_lines(f07)
    n_atoms, n_types = (int(v) for v in lines[1].split()[:2])
    i = 2
    words = []
    while len(words) < n_types:
        words += lines[i].split()[: n_types - len(words)]
        i += 1
    names = words
    words = []
    while len(words) < n_types:
        words += lines[i].split()[: n_types - len(words)]
        i += 1
    counts = [int(w) for w in words]
    i += 3
    cell07 = [float(v) for v in lines[i].split()[1:4]] + [90.0, 90.0, 90.0]
    symbols = [n for n, c in zip(names, counts) for _ in range(c)]
    assert len(symbols) == n_atoms

    p_lines = [ln.rstrip("\r") for ln in read_lines(f9p)]
    per_frame = (n_atoms - 1) // 6 + 1
    v_lines = read_lines(f9v)
    steps, k, vk = [], 0, 0
    cell = cell07
    prev = None
    while k + per_frame < len(p_lines) and p_lines[k].strip():
        text = "".join(p_lines[k + 1:k + 1 + per_frame])
        k += 1 + per_frame
        fields = [text[j:j + 4] for j in range(0, 12 * n_atoms, 4)]
        fract = [[float(fields[3 * a + c] or 0) * scale for c in range(3)] for a in range(n_atoms)]
        if prev is not None:
            for a in range(n_atoms):
                for c in range(3):
                    d = fold(fract[a][c] - prev[a][c])
                    if d > 0.5:
                        d -= 1.0
                    fract[a][c] = prev[a][c] + d
        prev = fract
        if vk < len(v_lines) and len(v_lines[vk]) + 1 >= 40:
            row = v_lines[vk + 2]
            vals = [float(row[s:s + 9]) for s in range(18, 72, 9)]
            cell = vals[:3] + [v if v != 0.0 else 90.0 for v in vals[3:]]
            vk += 5
        else:
            vk += 1
        steps.append((fract, list(cell)))
    return symbols, n_types, names, steps


def convert(binary, scratch, case, arg, companions, options, n_last, interval, avr_first, avr_last):
    work = os.path.join(scratch, case)
    os.makedirs(work)
    copy_inputs(os.path.join(E2E, "ConvF09p", case, "in"), work)
    run_quorvel(binary, ["--Action=ConvF09p", arg] + options, work)
    symbols, n_types, names, steps = plimo_run(*(os.path.join(work, c) for c in companions))
    if n_last > 0:
        steps = steps[:n_last]
    n = len(steps)
    first, last = max(avr_first, 1), (avr_last if avr_last > 0 else n - 1)
    checks.topic = case

    stem = os.path.join(work, os.path.splitext(arg)[0])
    # XSF: every interval-th step; atomic number = the type's running number.
    numbers = [names.index(s) + 1 for s in symbols]
    frames = [Structure(steps[s][1], symbols, steps[s][0]) for s in range(0, n, interval)]
    check_xsf(stem + ".xsf", frames, numbers=numbers)

    check_cif(stem + "-initial.cif", Structure(steps[0][1], symbols, steps[0][0]))
    check_cif(stem + "-final.cif", Structure(steps[-1][1], symbols, steps[-1][0]))
    used = steps[first:last + 1]
    avr_cell = [sum(s[1][j] for s in used) / len(used) for j in range(6)]
    avr_pos = [[sum(s[0][a][c] for s in used) / len(used) for c in range(3)] for a in range(len(symbols))]
    check_cif(stem + "-averaged.cif", Structure(avr_cell, symbols, avr_pos))
    checks.topic = ""


def main():
    binary, scratch = start(["ase", "gemmi"])
    convert(binary, scratch, "md_scale_named_set", "run.f9p", ["run.f05", "run.f07", "run.f9p", "run.f9v"],
            ["--nOutputInterval=4", "--iAvrFirstStep=3", "--iAvrLastStep=20"], 0, 4, 3, 20)
    convert(binary, scratch, "xd_scale_fixed_names_rdf", "sim/FILE09P.DAT",
            ["sim/FILE05.DAT", "sim/FILE07.DAT", "sim/FILE09P.DAT", "sim/FILE09V.DAT"],
            ["--nLastStep=20", "--nOutputInterval=3"], 20, 3, 0, 0)
    finish(scratch)


main()
