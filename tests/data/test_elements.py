#!/usr/bin/python3
"""Checks of data/nonrel and data/asfdc against independently known values.

Run as: test_elements.py <project root>.  If Debian's python3-ase is
installed, the symbols and weights are also compared with its IUPAC 2016
table (an older, independent compilation)."""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import ROOT, check, summary  # noqa: E402


def read_lines(name):
    with open(os.path.join(ROOT, "data", name), "rb") as f:
        data = f.read()
    text = data.decode("ascii")
    check(text.endswith("\n") and "\r" not in text, name + ": LF line ends throughout")
    return text.split("\n")[:-1]


def first_word_cut(line):
    """The lookup key of a line: first word, cut at its first non-letter."""
    word = line.strip().split(" ")[0]
    m = re.match(r"[A-Za-z]*", word)
    return m.group(0)


# Noble-gas cores as printed in any textbook.
CORES = {
    "He": ["1s 2"],
    "Ne": ["1s 2", "2s 2", "2p 6"],
    "Ar": ["1s 2", "2s 2", "2p 6", "3s 2", "3p 6"],
    "Kr": ["1s 2", "2s 2", "2p 6", "3s 2", "3p 6", "3d 10", "4s 2", "4p 6"],
    "Xe": ["1s 2", "2s 2", "2p 6", "3s 2", "3p 6", "3d 10", "4s 2", "4p 6",
           "4d 10", "5s 2", "5p 6"],
    "Rn": ["1s 2", "2s 2", "2p 6", "3s 2", "3p 6", "3d 10", "4s 2", "4p 6",
           "4d 10", "5s 2", "5p 6", "4f 14", "5d 10", "6s 2", "6p 6"],
}
CORE_Z = [(2, "He"), (10, "Ne"), (18, "Ar"), (36, "Kr"), (54, "Xe"), (86, "Rn")]

# Ground states (NIST), core and outer orbitals, outer ones in (n, l) order.
CONFIGS = {
    "H": (None, ["1s 1"]),
    "K": ("Ar", ["4s 1"]),
    "Cr": ("Ar", ["3d 5", "4s 1"]),
    "Fe": ("Ar", ["3d 6", "4s 2"]),
    "Cu": ("Ar", ["3d 10", "4s 1"]),
    "Se": ("Ar", ["3d 10", "4s 2", "4p 4"]),
    "Pd": ("Kr", ["4d 10"]),
    "Gd": ("Xe", ["4f 7", "5d 1", "6s 2"]),
    "Tb": ("Xe", ["4f 9", "6s 2"]),
    "Hf": ("Xe", ["4f 14", "5d 2", "6s 2"]),
    "Pt": ("Xe", ["4f 14", "5d 9", "6s 1"]),
    "U": ("Rn", ["5f 3", "6d 1", "7s 2"]),
    "Lr": ("Rn", ["5f 14", "7s 2", "7p 1"]),
    "Og": ("Rn", ["5f 14", "6d 10", "7s 2", "7p 6"]),
}

SOME_SYMBOLS = {1: "H", 2: "He", 6: "C", 26: "Fe", 53: "I", 74: "W", 80: "Hg",
                92: "U", 103: "Lr", 110: "Ds", 113: "Nh", 117: "Ts", 118: "Og"}

# Current standard atomic weights with more digits than the abridged table
# (IUPAC/CIAAW; the conventional value where the standard weight is an
# interval) and mass numbers of longest-lived isotopes: each abridged value
# must be one of these rounded.
KNOWN_WEIGHTS = {
    "H": 1.008, "C": 12.011, "O": 15.999, "Na": 22.98976928, "Si": 28.085,
    "Fe": 55.845, "Cu": 63.546, "Zr": 91.222, "Ag": 107.8682,
    "Au": 196.966570, "Pb": 207.2, "U": 238.02891,
    "Pm": 145, "Ra": 226, "Pu": 244,
}
# Elements without a standard atomic weight.
NO_STANDARD_WEIGHT = {"Tc", "Pm", "Po", "At", "Rn", "Fr", "Ra", "Ac"} | {
    "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr", "Rf",
    "Db", "Sg", "Bh", "Hs", "Mt", "Ds", "Rg", "Cn", "Nh", "Fl", "Mc", "Lv",
    "Ts", "Og"}


def parse_nonrel(lines):
    entries, i = [], 0
    while i < len(lines):
        symbol = lines[i]
        counts = [int(v) for v in lines[i + 1].split()]
        z = int(lines[i + 2])
        config = lines[i + 3:i + 3 + counts[2]]
        entries.append((symbol, counts, z, config, i))
        i += 3 + counts[2]
    return entries


def check_nonrel(ase_symbols):
    lines = read_lines("nonrel")
    entries = parse_nonrel(lines)
    symbols = [e[0] for e in entries]
    check([e[2] for e in entries] == list(range(1, 119)), "atomic numbers 1..118 in order")
    check(all(symbols[z - 1] == s for z, s in SOME_SYMBOLS.items()), "symbols by number")
    check(len(set(symbols)) == 118, "symbols unique")
    if ase_symbols:
        check(symbols == ase_symbols[1:119], "symbols as in ASE")

    for symbol, counts, z, config, start in entries:
        where = "%s (line %d)" % (symbol, start + 1)
        check(len(counts) == 3 and counts[2] == len(config) <= 30, "count line of " + where)
        good = all(re.match(r"^[1-7][spdf] \d+$", c) for c in config)
        check(good, "configuration line format of " + where)
        if not good:
            continue
        orbitals = [(int(c[0]), "spdf".index(c[1]), int(c.split()[1])) for c in config]
        check(all(l < n and 0 < occ <= 2 * (2 * l + 1) for n, l, occ in orbitals),
              "impossible orbital or occupation in " + where)
        check(len({(n, l) for n, l, _ in orbitals}) == len(orbitals), "orbital twice in " + where)
        check(sum(occ for _, _, occ in orbitals) == z == counts[0], "electron count of " + where)
        core = ([name for cz, name in CORE_Z if cz < z] or [None])[-1]
        core_lines = CORES[core] if core else []
        check(counts[1] == len(core_lines) and config[:counts[1]] == core_lines,
              "noble-gas core of " + where)
        if symbol in CONFIGS:
            want_core, outer = CONFIGS[symbol]
            check(want_core == core and config[len(core_lines):] == outer,
                  "ground state of %s: %r" % (symbol, config[len(core_lines):]))

    # The reader takes the first line whose first word equals the symbol
    # (case ignored): that must be the element's own key line, and a type
    # named Si4+ must reach silicon.
    for symbol, counts, z, config, start in entries:
        first = next(i for i, l in enumerate(lines)
                     if l.strip().split(" ")[0].lower() == symbol.lower())
        check(first == start, "lookup of %s stops at line %d" % (symbol, first + 1))
    si = next(e for e in entries if e[0].lower() == first_word_cut("Si4+").lower())
    check(si[2] == 14, "Si4+ finds silicon")


def check_asfdc(ase_masses, ase_symbols):
    lines = read_lines("asfdc")
    rows = []
    for n, line in enumerate(lines, start=1):
        parts = line.split(" ")
        ok = len(parts) == 2 and re.match(r"^[A-Z][a-z]?(\d[+-])?$", parts[0]) \
            and re.match(r"^\d+(\.\d+)?$", parts[1])
        check(bool(ok), "asfdc line %d: %r" % (n, line))
        if ok:
            rows.append((parts[0], first_word_cut(parts[0]), parts[1]))

    # Each element appears in one block: its own line, then its ions with the
    # same weight.  So the first match for any element is the neutral line.
    weights = {}
    order = []
    for key, element, weight in rows:
        if key == element:
            check(element not in weights, "second neutral line for " + element)
            weights[element] = weight
            order.append(element)
        else:
            check(order and order[-1] == element and weights[element] == weight,
                  "ion %s is not right after its element with its weight" % key)
    check(len(order) == 118, "118 elements in asfdc")
    for ion in ("Fe2+", "Fe3+", "O2-", "Si4+", "Cu1+", "Cl1-"):
        check(any(k == ion for k, _, _ in rows), "ion %s listed" % ion)

    for symbol, known in KNOWN_WEIGHTS.items():
        text = weights.get(symbol, "0")
        decimals = len(text.split(".")[1]) if "." in text else 0
        check(abs(float(text) - known) <= 0.5 * 10 ** -decimals + 1e-9,
              "weight of %s: %s, known %s" % (symbol, text, known))
    integral = {s for s, w in weights.items() if "." not in w}
    check(integral == NO_STANDARD_WEIGHT,
          "mass numbers exactly for the elements without a standard weight: %r"
          % sorted(integral ^ NO_STANDARD_WEIGHT))
    if ase_masses is not None:
        for z, symbol in enumerate(ase_symbols[1:119], start=1):
            w = float(weights.get(symbol, "0"))
            tol = 0.011 if symbol not in NO_STANDARD_WEIGHT else 5
            check(abs(w - ase_masses[z]) <= tol,
                  "weight of %s: %s, ASE %s" % (symbol, w, ase_masses[z]))


def main():
    try:
        from ase.data import atomic_masses_iupac2016, chemical_symbols
    except ImportError:
        print("python3-ase not installed: cross-check with its tables left out")
        atomic_masses_iupac2016, chemical_symbols = None, None
    check_nonrel(chemical_symbols)
    check_asfdc(atomic_masses_iupac2016, chemical_symbols)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
