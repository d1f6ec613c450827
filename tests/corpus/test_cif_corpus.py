#!/usr/bin/env python3
"""Real CIF files against what ASE, pymatgen and gemmi read from them.

Every file under cif/ (except refs/) is run through
`quorvel --Action=ShowCIFInf --ShowAllAtoms=1`; the cell, the number of
unit-cell sites, the composition and the fractional positions (1e-4, modulo 1)
must agree with cif/refs/<file>.json: ASE's reading where ASE read the file,
else pymatgen's (cell, count and composition only).
"""
import collections
import json
import pathlib
import re
import subprocess
import sys

from corpus_report import binary_from_command_line, report

HERE = pathlib.Path(__file__).resolve().parent / "cif"
# Files that cannot agree yet, with the reason.
KNOWN_DIFFERENCES = {}

SITE = re.compile(r"^\s*(\S+) \(([^,]+),([^,]+),([^)]+)\) \[occ=")


def element(name):
    m = re.match(r"[A-Z][a-z]?", name)
    return m.group(0) if m else name


def read_quorvel(binary, path):
    out = subprocess.run([binary, "--Action=ShowCIFInf", "--ShowAllAtoms=1", str(path)],
                         capture_output=True, text=True, timeout=60).stdout
    lengths, angles = re.search(r"Parameters: (.*) nm (.*)", out).group(1, 2)
    sites = []
    in_cell = False
    for line in out.splitlines():
        if line.startswith("Atoms in unit cell:"):
            in_cell = True
        elif in_cell and (m := SITE.match(line)):
            sites.append((element(m.group(1)), [float(m.group(k)) for k in (2, 3, 4)]))
        elif in_cell:
            break
    return [10 * float(a) for a in lengths.split()] + [float(a) for a in angles.split()], sites


def expected(ref):
    if ref.get("ok"):
        frame = ref["frames"][0]
        sites = list(zip(frame["symbols"], frame["scaled_positions"]))
        return frame["cell_lengths"] + frame["cell_angles"], len(sites), collections.Counter(
            s for s, _ in sites), sites
    s = ref["pymatgen"]["structures"][0]
    formula = collections.Counter()
    for el, n in re.findall(r"([A-Z][a-z]?)(\d*)", s["formula"]):
        formula[el] += int(n or 1)
    return s["cell_lengths"] + s["cell_angles"], s["n_sites"], formula, None


# Within 1e-4 inclusive, the last digit of a file that prints four decimals:
# where 2/3 is printed as 0.6667, images of one site land on 0.6666 and
# 0.6667, and which of them stands for the site is the reader's choice
# (Quorvel keeps the first in the order of the operations, ASE another).
def same_place(p, q):
    return all(abs((a - b) - round(a - b)) <= 1e-4 + 1e-9 for a, b in zip(p, q))


def check(binary, path):
    ref = json.loads((HERE / "refs" / path.relative_to(HERE)).with_suffix(".cif.json").read_text())
    cell, count, composition, positions = expected(ref)
    got_cell, got_sites = read_quorvel(binary, path)
    problems = []
    if any(abs(a - b) > 1e-6 * max(1, abs(b)) for a, b in zip(got_cell, cell)):
        problems.append(f"cell {got_cell} != {cell}")
    if len(got_sites) != count:
        problems.append(f"{len(got_sites)} sites != {count}")
    if collections.Counter(e for e, _ in got_sites) != composition:
        problems.append(f"composition {dict(collections.Counter(e for e, _ in got_sites))} != {dict(composition)}")
    for el, p in positions or []:
        if not any(e == el and same_place(p, q) for e, q in got_sites):
            problems.append(f"no {el} at {p}")
    return problems


def main():
    binary = binary_from_command_line()
    files = sorted(p for p in HERE.rglob("*.cif") if "refs" not in p.parts)
    return report(((str(path.relative_to(HERE)), check(binary, path)) for path in files), KNOWN_DIFFERENCES)


if __name__ == "__main__":
    sys.exit(main())
