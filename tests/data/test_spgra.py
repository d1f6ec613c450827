#!/usr/bin/python3
"""Checks of data/spgra: record layout, group axioms, orders, names, lookups.

Run as: test_spgra.py <project root>.  Expected orders come from the crystal
classes of the International Tables, not from the generator's source."""

import os
import re
import sys
from fractions import Fraction

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import ROOT, check, summary  # noqa: E402


# --- reading ---------------------------------------------------------------

HEADER = re.compile(r"^(\d+) (\d+) (\d+) (\d+) (\d+) (\S(?:.*\S)?)$")


def read_records(path):
    with open(path, "rb") as f:
        data = f.read()
    lines = data.decode("ascii").split("\n")
    assert lines[-1] == "", "file must end with a line end"
    lines.pop()
    records, i = [], 0
    while i < len(lines):
        m = HEADER.match(lines[i])
        if not m:
            raise ValueError("line %d: bad header %r" % (i + 1, lines[i]))
        number, key, hall, kind, k = map(int, m.groups()[:5])
        ops = lines[i + 2:i + 2 + k]
        if len(ops) != k:
            raise ValueError("line %d: record cut short" % (i + 1))
        records.append({"number": number, "key": key, "hall": hall,
                        "kind": kind, "name": m.group(6), "ops": ops,
                        "line": i + 1})
        i += 2 + k
    return records, data


OP_ROW = re.compile(r"^(-?[xyz](?:[+-][xyz]){0,2})(?:\+(\d)/(\d))?$")
ALLOWED = {Fraction(n, d) for n, d in [(1, 2), (1, 4), (3, 4), (1, 3), (2, 3), (1, 6),
                                       (5, 6), (1, 8), (3, 8), (5, 8), (7, 8)]}


def parse_op(text):
    """'-x+y,z+1/2,x' -> (rotation rows, translations in 24ths); None if malformed."""
    rows = text.split(",")
    if len(rows) != 3:
        return None
    rot, trans = [], []
    for row in rows:
        m = OP_ROW.match(row)
        if not m:
            return None
        coeff = [0, 0, 0]
        last = -1
        for sign, var in re.findall(r"([+-]?)([xyz])", m.group(1)):
            i = "xyz".index(var)
            if i <= last:          # terms in x, y, z order, each once
                return None
            last = i
            coeff[i] = -1 if sign == "-" else 1
        t = Fraction(int(m.group(2)), int(m.group(3))) if m.group(2) else Fraction(0)
        if m.group(2) and t not in ALLOWED:
            return None
        rot.append(tuple(coeff))
        trans.append(int(t * 24))
    return tuple(rot), tuple(trans)


IDENTITY = (((1, 0, 0), (0, 1, 0), (0, 0, 1)), (0, 0, 0))


def compose(a, b):
    """a after b, translations modulo whole cells."""
    ra, ta = a
    rb, tb = b
    r = tuple(tuple(sum(ra[i][k] * rb[k][j] for k in range(3)) for j in range(3))
              for i in range(3))
    t = tuple((sum(ra[i][k] * tb[k] for k in range(3)) + ta[i]) % 24 for i in range(3))
    return r, t


# Point-group order of the crystal class of each space-group number range.
CLASS_ORDER = [(1, 1, 1), (2, 2, 2), (3, 5, 2), (6, 9, 2), (10, 15, 4), (16, 24, 4),
               (25, 46, 4), (47, 74, 8), (75, 80, 4), (81, 82, 4), (83, 88, 8),
               (89, 98, 8), (99, 110, 8), (111, 122, 8), (123, 142, 16), (143, 146, 3),
               (147, 148, 6), (149, 155, 6), (156, 161, 6), (162, 167, 12), (168, 173, 6),
               (174, 174, 6), (175, 176, 12), (177, 182, 12), (183, 186, 12),
               (187, 190, 12), (191, 194, 24), (195, 199, 12), (200, 206, 24),
               (207, 214, 24), (215, 220, 24), (221, 230, 48)]


def class_order(number):
    for lo, hi, order in CLASS_ORDER:
        if lo <= number <= hi:
            return order
    raise ValueError(number)


# Lattice translations of each centring symbol, in 24ths of a cell edge.
CENTRING = {
    "P": [{(0, 0, 0)}],
    "A": [{(0, 0, 0), (0, 12, 12)}],
    "B": [{(0, 0, 0), (12, 0, 12)}],
    "C": [{(0, 0, 0), (12, 12, 0)}],
    "I": [{(0, 0, 0), (12, 12, 12)}],
    "F": [{(0, 0, 0), (0, 12, 12), (12, 0, 12), (12, 12, 0)}],
    # rhombohedral axes, or hexagonal axes in the obverse setting
    "R": [{(0, 0, 0)}, {(0, 0, 0), (16, 8, 8), (8, 16, 16)}],
}


# --- the two lookups of the program, as it performs them ---------------------

def parse_header_like_reader(line):
    """Number, second key and name as the program takes a header apart."""
    parts = line.strip().split(" ", 5)
    if len(parts) < 6:
        return None
    return int(parts[0]), int(parts[1].strip()), int(parts[4].strip()), parts[5].strip()


def lookup_name(lines, symbol):
    """The GULP space-line lookup: blanks removed, case ignored, first match."""
    want = "".join(symbol.split()).lower()
    i = 0
    while i < len(lines):
        h = parse_header_like_reader(lines[i])
        if h is None:
            return None
        number, key, k, name = h
        if "".join(name.split()).lower() == want:
            return number, key
        i += 2 + k
    return None


def read_spg(lines, number, key):
    """Name and operation texts (identity first) that ReadSPG loads."""
    i = 0
    while i < len(lines):
        h = parse_header_like_reader(lines[i])
        if h is None:
            break
        n, s, k, name = h
        if (n, s) == (number, key):
            return name, ["x,y,z"] + [l.strip() for l in lines[i + 2:i + 2 + k]]
        i += 2 + k
    return "P1", ["x,y,z"]


# --- names against operations -----------------------------------------------

def letters_match(ops, name):
    """Every mirror or glide letter of a three-position symbol (full
    monoclinic, orthorhombic) is matched by an operation: a plane normal to
    that position's axis whose in-plane translation is the glide's."""
    parts = name.split()[1:]
    if len(parts) != 3:
        return True
    for axis, part in enumerate(parts):
        letter = part.split("/")[-1]
        if letter not in "mabcnde" or letter == "":
            continue
        mirror = tuple(tuple((-1 if i == axis else 1) if i == j else 0 for j in range(3))
                       for i in range(3))
        u, v = [i for i in range(3) if i != axis]
        glides = {(t[u], t[v]) for r, t in ops if r == mirror}
        need = {"m": [(0, 0)], "n": [(12, 12)], "d": [(6, 6)],
                "e": [(12, 0), (0, 12)]}.get(letter)
        if need is None:
            along = "abc".index(letter)
            if along == axis:
                return False
            need = [(12, 0) if along == u else (0, 12)]
        if not all(g in glides for g in need):
            return False
    return True


def main():
    path = os.path.join(ROOT, "data", "spgra")
    records, data = read_records(path)
    lines = data.decode("ascii").split("\n")[:-1]

    # Layout: one primary record per Hall setting, in Hall order; 230 groups;
    # second keys 1.. within each group; aliases repeat a primary exactly.
    primaries = [r for r in records if r["kind"] == 0]
    aliases = [r for r in records if r["kind"] == 1]
    check(len(primaries) + len(aliases) == len(records), "kinds other than 0 and 1")
    check([r["hall"] for r in primaries] == list(range(1, 531)),
          "primary records are not Hall settings 1..530 in order")
    check(records[:530] == primaries, "aliases must follow all primaries")
    numbers = [r["number"] for r in primaries]
    check(sorted(set(numbers)) == list(range(1, 231)), "not 230 distinct numbers 1..230")
    check(numbers == sorted(numbers), "groups out of order")
    by_number = {}
    for r in primaries:
        by_number.setdefault(r["number"], []).append(r["key"])
    check(all(keys == list(range(1, len(keys) + 1)) for keys in by_number.values()),
          "second keys do not run 1.. within each group")
    by_triple = {(r["number"], r["key"], r["hall"]): r for r in primaries}
    for a in aliases:
        p = by_triple.get((a["number"], a["key"], a["hall"]))
        check(p is not None and p["ops"] == a["ops"],
              "alias %r (line %d) does not repeat its setting" % (a["name"], a["line"]))

    # Each record plus the identity is a space group of the right order.
    for r in records:
        where = "%r (line %d)" % (r["name"], r["line"])
        ops = [parse_op(t) for t in r["ops"]]
        if None in ops:
            check(False, "malformed operation text in " + where)
            continue
        check(IDENTITY not in ops, "identity listed in " + where)
        group = [IDENTITY] + ops
        check(len(set(group)) == len(group), "duplicate operations in " + where)
        members = set(group)
        closed = all(compose(a, b) in members for a in group for b in group)
        check(closed, "not closed under composition: " + where)
        lattice = r["name"][0]
        pure = {t for rot, t in group if rot == IDENTITY[0]}
        check(lattice in CENTRING and pure in CENTRING[lattice],
              "centring translations do not fit the lattice letter: " + where)
        rotations = {rot for rot, t in group}
        pg = class_order(r["number"])
        check(len(rotations) == pg, "point group order %d, want %d: %s"
              % (len(rotations), pg, where))
        check(len(group) == pg * len(pure), "order %d, want %d: %s"
              % (len(group), pg * len(pure), where))
        if 3 <= r["number"] <= 74:
            check(letters_match(group, r["name"]),
                  "mirror/glide letters do not match the operations: " + where)
        if lattice == "R" and r["key"] == 1:
            check(len(pure) == 3, "standard setting of %s is not on hexagonal axes" % where)

    # Every name reaches its own group; an alias reaches its own setting.
    for r in records:
        found = lookup_name(lines, r["name"])
        if r["kind"] == 1:
            ok = found == (r["number"], r["key"])
        else:
            ok = found is not None and found[0] == r["number"]
        check(ok, "lookup of %r gives %r" % (r["name"], found))

    # Names as users write them, with what the International Tables list.
    cases = [
        # symbol, group, second key (None: any), operations that must be there
        ("P 21/c", 14, 1, ["-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"]),
        ("P 1 21/c 1", 14, 1, ["-x,y+1/2,-z+1/2"]),
        ("p21/C", 14, 1, ["x,-y+1/2,z+1/2"]),
        ("P 21/n", 14, None, ["-x+1/2,y+1/2,-z+1/2", "x+1/2,-y+1/2,z+1/2"]),
        ("P 1 1 21/b", 14, None, ["-x,-y+1/2,z+1/2", "x,y+1/2,-z+1/2"]),
        ("C 2/c", 15, 1, ["-x,y,-z+1/2", "x+1/2,y+1/2,z", "-x+1/2,-y+1/2,-z"]),
        ("P n m a", 62, 1, ["-x+1/2,-y,z+1/2", "x+1/2,-y+1/2,-z+1/2"]),
        ("P 21/n 21/m 21/a", 62, 1, ["x,-y+1/2,z"]),
        ("P b n m", 62, None, ["x,y,-z+1/2"]),
        ("C m c e", 64, 1, ["-x,-y+1/2,z+1/2"]),
        ("C m c a", 64, 1, []),
        ("F m -3 m", 225, 1, ["z,x,y", "-x,-y,-z", "x,y+1/2,z+1/2"]),
        ("Fm3m", 225, 1, []),
        ("F d -3 m", 227, 1, ["-x+1/4,-y+1/4,-z+1/4"]),
        ("F d -3 m:2", 227, 2, ["-x,-y,-z"]),
        ("R -3 c", 167, 1, ["-x,-y,-z", "x+2/3,y+1/3,z+1/3"]),
        ("R -3 c:R", 167, 2, ["z,x,y", "-x,-y,-z"]),
        ("P -3 m 1", 164, 1, ["y,x,-z"]),
        ("P -3 1 m", 162, 1, ["-y,-x,-z"]),
        ("P 63/m m c", 194, 1, ["-x,-y,z+1/2"]),
        ("I 41/a m d", 141, 1, []),
        ("P 42/m n m", 136, 1, ["-y+1/2,x+1/2,z+1/2"]),
        ("I a -3 d", 230, 1, []),
        ("P 1", 1, 1, []),
        ("P -1", 2, 1, ["-x,-y,-z"]),
    ]
    for symbol, number, key, needed in cases:
        found = lookup_name(lines, symbol)
        ok = found is not None and found[0] == number and (key is None or found[1] == key)
        check(ok, "lookup of %r gives %r, want group %d key %r" % (symbol, found, number, key))
        if found:
            name, texts = read_spg(lines, *found)
            missing = [t for t in needed if t not in texts]
            check(not missing, "%r lacks %r" % (symbol, missing))
    check(lookup_name(lines, "P 5") is None, "a symbol that names no group matched")
    # Sizes of ReadSPG's result: the identity plus the record's lines.
    check(len(read_spg(lines, 225, 1)[1]) == 192, "F m -3 m does not load 192 operations")
    check(len(read_spg(lines, 167, 2)[1]) == 12, "R -3 c:R does not load 12 operations")
    check(read_spg(lines, 1, 1) == ("P 1", ["x,y,z"]), "P 1 does not load the identity alone")

    return summary()


if __name__ == "__main__":
    sys.exit(main())
