#!/usr/bin/python3
"""Regenerates Quorvel's shipped databases: data/nonrel, data/asfdc, data/spgra.

    /usr/bin/python3 tools/make_databases.py [--out DIR]

nonrel and asfdc come from the element tables below; spgra comes from the
530 Hall settings of Debian's python3-spglib (2.0.2), so run this with
Debian's interpreter.  Output is plain ASCII with LF line ends, and the same
input always gives the same bytes: tests/data/test_generated.py regenerates
the files and compares them with the committed ones.

The layout of each file, and every choice made here, is written down in
data/README.md as well.
"""

import argparse
import os
import sys
from fractions import Fraction

# ---------------------------------------------------------------------------
# Elements
# ---------------------------------------------------------------------------

# Symbol and atomic weight of elements 1..118, in order of atomic number.
#
# Weights with a standard atomic weight are the IUPAC abridged standard atomic
# weights (CIAAW, "Standard atomic weights of the elements 2021", Pure Appl.
# Chem. 94 (2022) 573, abridged table; with the 2024 CIAAW revisions of Gd,
# Lu and Zr, which change only the Zr abridged value, 91.224 -> 91.222).
# Where the standard weight is an interval (H, Li, B, C, N, O, Mg, Si, S, Cl,
# Ar, Br, Tl, Pb) the abridged table's conventional value is used.
#
# Elements without a standard atomic weight get the mass number of their
# longest-lived known isotope, written as an integer: Tc 97 (97Tc and 98Tc
# have practically equal half-lives, about 4.2e6 a; 97 as in most current
# tables), Pm 145, Po 209, At 210, Rn 222, Fr 223, Ra 226, Ac 227, Np 237,
# Pu 244, Am 243, Cm 247, Bk 247, Cf 251, Es 252, Fm 257, Md 258, No 259,
# Lr 266, Rf 267, Db 268, Sg 269, Bh 270, Hs 269, Mt 278, Ds 281, Rg 282,
# Cn 285, Nh 286, Fl 289, Mc 290, Lv 293, Ts 294, Og 294.
# The weights are written exactly as tabulated (text, not floats), so the
# file shows the table's own digits.
ELEMENTS = [
    ("H", "1.0080"), ("He", "4.0026"), ("Li", "6.94"), ("Be", "9.0122"),
    ("B", "10.81"), ("C", "12.011"), ("N", "14.007"), ("O", "15.999"),
    ("F", "18.998"), ("Ne", "20.180"), ("Na", "22.990"), ("Mg", "24.305"),
    ("Al", "26.982"), ("Si", "28.085"), ("P", "30.974"), ("S", "32.06"),
    ("Cl", "35.45"), ("Ar", "39.95"), ("K", "39.098"), ("Ca", "40.078"),
    ("Sc", "44.956"), ("Ti", "47.867"), ("V", "50.942"), ("Cr", "51.996"),
    ("Mn", "54.938"), ("Fe", "55.845"), ("Co", "58.933"), ("Ni", "58.693"),
    ("Cu", "63.546"), ("Zn", "65.38"), ("Ga", "69.723"), ("Ge", "72.630"),
    ("As", "74.922"), ("Se", "78.971"), ("Br", "79.904"), ("Kr", "83.798"),
    ("Rb", "85.468"), ("Sr", "87.62"), ("Y", "88.906"), ("Zr", "91.222"),
    ("Nb", "92.906"), ("Mo", "95.95"), ("Tc", "97"), ("Ru", "101.07"),
    ("Rh", "102.91"), ("Pd", "106.42"), ("Ag", "107.87"), ("Cd", "112.41"),
    ("In", "114.82"), ("Sn", "118.71"), ("Sb", "121.76"), ("Te", "127.60"),
    ("I", "126.90"), ("Xe", "131.29"), ("Cs", "132.91"), ("Ba", "137.33"),
    ("La", "138.91"), ("Ce", "140.12"), ("Pr", "140.91"), ("Nd", "144.24"),
    ("Pm", "145"), ("Sm", "150.36"), ("Eu", "151.96"), ("Gd", "157.25"),
    ("Tb", "158.93"), ("Dy", "162.50"), ("Ho", "164.93"), ("Er", "167.26"),
    ("Tm", "168.93"), ("Yb", "173.05"), ("Lu", "174.97"), ("Hf", "178.49"),
    ("Ta", "180.95"), ("W", "183.84"), ("Re", "186.21"), ("Os", "190.23"),
    ("Ir", "192.22"), ("Pt", "195.08"), ("Au", "196.97"), ("Hg", "200.59"),
    ("Tl", "204.38"), ("Pb", "207.2"), ("Bi", "208.98"), ("Po", "209"),
    ("At", "210"), ("Rn", "222"), ("Fr", "223"), ("Ra", "226"),
    ("Ac", "227"), ("Th", "232.04"), ("Pa", "231.04"), ("U", "238.03"),
    ("Np", "237"), ("Pu", "244"), ("Am", "243"), ("Cm", "247"),
    ("Bk", "247"), ("Cf", "251"), ("Es", "252"), ("Fm", "257"),
    ("Md", "258"), ("No", "259"), ("Lr", "266"), ("Rf", "267"),
    ("Db", "268"), ("Sg", "269"), ("Bh", "270"), ("Hs", "269"),
    ("Mt", "278"), ("Ds", "281"), ("Rg", "282"), ("Cn", "285"),
    ("Nh", "286"), ("Fl", "289"), ("Mc", "290"), ("Lv", "293"),
    ("Ts", "294"), ("Og", "294"),
]

# Ions listed after their element in asfdc: the ions for which the X-ray
# scattering-factor tables of International Tables for Crystallography Vol. C
# (Table 6.1.1.4) give form factors, plus O2-.  An ion carries the weight of
# its element (the electron masses are below the tables' precision).  Keys
# are written as in CIF _atom_type_symbol: element, charge, sign (Na1+, O2-).
IONS = {
    "H": ["1-"], "Li": ["1+"], "Be": ["2+"], "O": ["1-", "2-"], "F": ["1-"],
    "Na": ["1+"], "Mg": ["2+"], "Al": ["3+"], "Si": ["4+"], "Cl": ["1-"],
    "K": ["1+"], "Ca": ["2+"], "Sc": ["3+"], "Ti": ["2+", "3+", "4+"],
    "V": ["2+", "3+", "5+"], "Cr": ["2+", "3+"], "Mn": ["2+", "3+", "4+"],
    "Fe": ["2+", "3+"], "Co": ["2+", "3+"], "Ni": ["2+", "3+"],
    "Cu": ["1+", "2+"], "Zn": ["2+"], "Ga": ["3+"], "Ge": ["4+"], "Br": ["1-"],
    "Rb": ["1+"], "Sr": ["2+"], "Y": ["3+"], "Zr": ["4+"], "Nb": ["3+", "5+"],
    "Mo": ["3+", "5+", "6+"], "Ru": ["3+", "4+"], "Rh": ["3+", "4+"],
    "Pd": ["2+", "4+"], "Ag": ["1+", "2+"], "Cd": ["2+"], "In": ["3+"],
    "Sn": ["2+", "4+"], "Sb": ["3+", "5+"], "I": ["1-"], "Cs": ["1+"],
    "Ba": ["2+"], "La": ["3+"], "Ce": ["3+", "4+"], "Pr": ["3+", "4+"],
    "Nd": ["3+"], "Pm": ["3+"], "Sm": ["3+"], "Eu": ["2+", "3+"], "Gd": ["3+"],
    "Tb": ["3+"], "Dy": ["3+"], "Ho": ["3+"], "Er": ["3+"], "Tm": ["3+"],
    "Yb": ["2+", "3+"], "Lu": ["3+"], "Hf": ["4+"], "Ta": ["5+"], "W": ["6+"],
    "Os": ["4+"], "Ir": ["3+", "4+"], "Pt": ["2+", "4+"], "Au": ["1+", "3+"],
    "Hg": ["1+", "2+"], "Tl": ["1+", "3+"], "Pb": ["2+", "4+"],
    "Bi": ["3+", "5+"], "Ra": ["2+"], "Ac": ["3+"], "Th": ["4+"],
    "U": ["3+", "4+", "6+"], "Np": ["3+", "4+", "6+"], "Pu": ["3+", "4+", "6+"],
}

NOBLE_GASES = {2: "He", 10: "Ne", 18: "Ar", 36: "Kr", 54: "Xe", 86: "Rn"}
ORBITAL_LETTERS = "spdf"

# Ground-state configurations that differ from the Madelung (n + l, then n)
# filling order, from the NIST ground levels of the neutral atoms (NIST
# Atomic Spectra Database / "Periodic Table: Atomic Properties of the
# Elements", NIST SP 966).  Written as the noble-gas core and the orbitals
# outside it.  Elements beyond Lr have no measured ground state; they keep
# the Madelung configuration, which agrees with the usual predictions.
EXCEPTIONS = {
    24: "[Ar] 3d5 4s1",            # Cr
    29: "[Ar] 3d10 4s1",           # Cu
    41: "[Kr] 4d4 5s1",            # Nb
    42: "[Kr] 4d5 5s1",            # Mo
    44: "[Kr] 4d7 5s1",            # Ru
    45: "[Kr] 4d8 5s1",            # Rh
    46: "[Kr] 4d10",               # Pd
    47: "[Kr] 4d10 5s1",           # Ag
    57: "[Xe] 5d1 6s2",            # La
    58: "[Xe] 4f1 5d1 6s2",        # Ce
    64: "[Xe] 4f7 5d1 6s2",        # Gd
    78: "[Xe] 4f14 5d9 6s1",       # Pt
    79: "[Xe] 4f14 5d10 6s1",      # Au
    89: "[Rn] 6d1 7s2",            # Ac
    90: "[Rn] 6d2 7s2",            # Th
    91: "[Rn] 5f2 6d1 7s2",        # Pa
    92: "[Rn] 5f3 6d1 7s2",        # U
    93: "[Rn] 5f4 6d1 7s2",        # Np
    96: "[Rn] 5f7 6d1 7s2",        # Cm
    103: "[Rn] 5f14 7s2 7p1",      # Lr
}


def madelung_configuration(z):
    """Orbitals (n, l) -> occupation, filled in Madelung order."""
    order = sorted(((n, l) for n in range(1, 8) for l in range(0, min(n, 4))),
                   key=lambda nl: (nl[0] + nl[1], nl[0]))
    config = {}
    left = z
    for n, l in order:
        if left == 0:
            break
        occ = min(left, 2 * (2 * l + 1))
        config[(n, l)] = occ
        left -= occ
    return config


def parse_orbital(text):
    """'3d10' -> ((3, 2), 10)."""
    return (int(text[0]), ORBITAL_LETTERS.index(text[1])), int(text[2:])


def core_of(z):
    """Atomic number of the noble gas that forms the core (0 for H and He)."""
    return max([ng for ng in NOBLE_GASES if ng < z], default=0)


def ground_configuration(z):
    """(core orbitals, outer orbitals): two lists of ((n, l), occupation).

    The core is the preceding noble gas, listed exactly as that noble gas's
    own entry lists it; the outer orbitals follow in (n, l) order.  So Hf
    reads like [Xe] 4f14 5d2 6s2, and every element after Rn starts with
    Rn's lines (... 5p, then 4f 5d 6s 6p)."""
    core_z = core_of(z)
    core = ground_configuration(core_z)[0] + ground_configuration(core_z)[1] \
        if core_z else []
    if z in EXCEPTIONS:
        words = EXCEPTIONS[z].split()
        assert words[0] == "[%s]" % NOBLE_GASES[core_z], z
        outer = dict(parse_orbital(w) for w in words[1:])
    else:
        in_core = {nl for nl, _ in core}
        outer = {nl: occ for nl, occ in madelung_configuration(z).items()
                 if nl not in in_core}
    assert sum(occ for _, occ in core) + sum(outer.values()) == z, z
    return core, sorted(outer.items())


def orbital_line(nl, occ):
    return "%d%s %d" % (nl[0], ORBITAL_LETTERS[nl[1]], occ)


def make_nonrel():
    # One entry per element:
    #   key line            the symbol
    #   count line          electrons, core orbitals, configuration lines
    #   atomic-number line
    #   configuration lines "3d 6": the noble-gas core first, as the noble
    #                       gas's own entry lists it, then the outer orbitals
    #                       in (n, l) order.
    # The reader uses only the third count; the first two are for people and
    # other tools: the number of electrons (= the sum of the occupations) and
    # how many of the lines belong to the noble-gas core.
    lines = []
    for z, (symbol, _) in enumerate(ELEMENTS, start=1):
        core, outer = ground_configuration(z)
        lines.append(symbol)
        lines.append("%d %d %d" % (z, len(core), len(core) + len(outer)))
        lines.append("%d" % z)
        lines.extend(orbital_line(nl, occ) for nl, occ in core + outer)
    return "\n".join(lines) + "\n"


def make_asfdc():
    # "key weight", one line each.  The element's own line comes before its
    # ions: the lookup cuts keys at the first non-letter and takes the first
    # match, so Fe must find "Fe", not "Fe2+".
    lines = []
    for symbol, weight in ELEMENTS:
        lines.append("%s %s" % (symbol, weight))
        for charge in IONS.get(symbol, []):
            lines.append("%s%s %s" % (symbol, charge, weight))
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------------------
# Space groups
# ---------------------------------------------------------------------------

# Translations in operation texts; anything else is an error in the source.
ALLOWED_FRACTIONS = {Fraction(n, d) for n, d in
                     [(1, 2), (1, 4), (3, 4), (1, 3), (2, 3), (1, 6), (5, 6),
                      (1, 8), (3, 8), (5, 8), (7, 8)]}

# Pre-2002 symbols of the groups whose glide pairs are now written "e"
# (Aem2, Aea2, Cmce, Cmme, Ccce), per Hall number.  Older files and GULP
# inputs still use them.  make_spgra checks each against the operations.
OLD_E_SYMBOLS = {
    191: "A b m 2", 192: "B m a 2", 193: "B 2 c m", 194: "C 2 m b",
    195: "C m 2 a", 196: "A c 2 m",
    203: "A b a 2", 204: "B b a 2", 205: "B 2 c b", 206: "C 2 c b",
    207: "C c 2 a", 208: "A c 2 a",
    304: "C m c a", 305: "C c m b", 306: "A b m a", 307: "A c a m",
    308: "B b c m", 309: "B m a b",
    316: "C m m a", 317: "C m m b", 318: "A b m m", 319: "A c m m",
    320: "B m c m", 321: "B m a m",
    322: "C c c a", 323: "C c c a", 324: "C c c b", 325: "C c c b",
    326: "A b a a", 327: "A b a a", 328: "A c a a", 329: "A c a a",
    330: "B b c b", 331: "B b c b", 332: "B b a b", 333: "B b a b",
}

# Record kinds (fourth header integer).
PRIMARY, ALIAS = 0, 1


def full_symbol(info):
    """spglib's full symbol with blanks, screw axes written 21, 42, ..."""
    return info["international_full"].replace("_", "")


def short_symbol(number, full):
    """Short Hermann-Mauguin symbol with blanks, derived from the full one.

    spglib's own short symbol names the standard setting for every monoclinic
    setting, so the short symbol of each setting is made here:
    monoclinic: drop the 1s (P 1 21/c 1 -> P 21/c);
    orthorhombic and cubic: keep only the plane of each "axis/plane"
    (P 21/n 21/m 21/a -> P n m a, F 41/d -3 2/m -> F d -3 m);
    tetragonal, trigonal, hexagonal: the same except for the first position
    (P 42/m 21/n 2/m -> P 42/m n m, R -3 2/c -> R -3 c)."""
    words = full.split()
    lattice, parts = words[0], words[1:]
    if 3 <= number <= 15:
        parts = [p for p in parts if p != "1"]
    elif 16 <= number <= 74 or number >= 195:
        parts = [p.split("/")[-1] for p in parts]
    elif number >= 75:
        parts = parts[:1] + [p.split("/")[-1] for p in parts[1:]]
    return " ".join([lattice] + parts)


def setting_suffix(choice):
    """':1', ':2', ':H' or ':R' for settings told apart by origin or axes."""
    if choice in ("H", "R"):
        return ":" + choice
    if choice[:1] in ("1", "2"):
        return ":" + choice[0]
    return ""


def key(name):
    """How names are compared in a lookup: blanks removed, case ignored."""
    return "".join(name.split()).lower()


def format_row(row, t):
    text = ""
    for coeff, var in zip(row, "xyz"):
        if coeff == 1:
            text += "+" + var
        elif coeff == -1:
            text += "-" + var
        elif coeff != 0:
            raise ValueError("rotation coefficient %r" % coeff)
    if t:
        if t not in ALLOWED_FRACTIONS:
            raise ValueError("translation %s" % t)
        text += "+%d/%d" % (t.numerator, t.denominator)
    return text.lstrip("+")


def operation_texts(rotations, translations):
    """All operations except the identity, as 'x,y,z' texts, in spglib's order."""
    texts = []
    for rot, trans in zip(rotations, translations):
        t = [Fraction(float(v)).limit_denominator(24) % 1 for v in trans]
        text = ",".join(format_row(rot[i], t[i]) for i in range(3))
        if text == "x,y,z":
            continue
        if text in texts:
            raise ValueError("duplicate operation %s" % text)
        texts.append(text)
    return texts


def glide_check(ops, name):
    """True when every mirror/glide letter of a three-position monoclinic or
    orthorhombic symbol is matched by an operation (used on the typed-in
    OLD_E_SYMBOLS)."""
    import numpy as np
    want = {"m": [(0, 0)], "a": None, "b": None, "c": None, "n": [(0.5, 0.5)],
            "d": [(0.25, 0.25)], "e": None}
    parts = [p.split("/")[-1] for p in name.split()[1:]]
    for axis, letter in enumerate(parts):
        if letter not in want:
            continue
        mirror = np.diag([-1 if i == axis else 1 for i in range(3)])
        plane = [i for i in range(3) if i != axis]
        found = {tuple(round(float(t[i]) % 1, 4) for i in plane)
                 for r, t in ops if (r == mirror).all()}
        axial = {plane[0]: (0.5, 0.0), plane[1]: (0.0, 0.5)}
        if letter == "e":
            targets = list(axial.values())
        elif letter in "abc":
            if "abc".index(letter) == axis:
                return False        # a glide cannot run along the normal
            targets = [axial["abc".index(letter)]]
        else:
            targets = want[letter]
        if not all(tg in found for tg in targets):
            return False
    return True


def make_spgra():
    """One primary record per Hall setting, then the alias records.

    Header: number, second key, Hall number, kind, operation count, name.
      second key  1.. within a space group, in spglib's Hall order, which
                  lists the International Tables' standard setting first
                  (b-unique cell choice 1, abc, origin choice 1, hexagonal
                  axes).
      Hall number 1..530, spglib's numbering of the settings.
      kind        0 primary record (one per setting, named by its short
                  symbol), 1 alias record (another name for the same setting).
    Second line: the Hall symbol, full symbol and setting code, for people.
    Then the operations other than the identity, centring included.

    The name lookup (blanks removed, case ignored) takes the first record
    whose name matches, so primaries come first: a short symbol shared by
    several settings (P 21/a, F d -3 m, R -3 c) finds the most standard one.
    Aliases, added only for names not already reachable, give the full
    symbol (P 1 21/c 1, P 1 1 21/b), origin and axes suffixes (F d -3 m:2,
    R -3 c:R, also on full symbols), the pre-2002 names of the e-glide
    groups (C m c a) and the pre-1983 cubic names without the bar (F m 3 m).
    An alias repeats its setting's number, second key and operations, so
    every record is complete by itself."""
    import spglib

    settings = []
    second_key = {}
    for hall in range(1, 531):
        info = spglib.get_spacegroup_type(hall)
        sym = spglib.get_symmetry_from_database(hall)
        number = info["number"]
        second_key[number] = second_key.get(number, 0) + 1
        full = full_symbol(info)
        short = short_symbol(number, full)
        if not 3 <= number <= 15 and hall != 331:
            # spglib's own short symbol, except for the monoclinic settings
            # and Hall 331, which spglib names Bbcb amid its Bbeb siblings.
            assert key(short) == key(info["international_short"].replace("_", "")), hall
        ops = list(zip(sym["rotations"], sym["translations"]))
        settings.append({
            "hall": hall, "number": number, "key": second_key[number],
            "short": short, "full": full, "choice": info["choice"],
            "comment": "Hall symbol: %s  Full symbol: %s  Setting: %s" % (
                info["hall_symbol"], full, info["choice"] or "standard"),
            "ops": operation_texts(sym["rotations"], sym["translations"]),
            "raw": ops,
        })

    taken = {}      # lookup key -> the setting it reaches
    records = []

    def add(s, name, kind):
        k = key(name)
        if k in taken:
            # Names may be shared between settings of one group, never
            # between groups.
            assert taken[k]["number"] == s["number"], name
            return
        taken[k] = s
        records.append((s, name, kind))

    # Every setting gets its primary record, even when an earlier setting of
    # the group already owns the short symbol (that one is what the symbol
    # finds).
    for s in settings:
        first = taken.setdefault(key(s["short"]), s)
        assert first["number"] == s["number"], s["short"]
        records.append((s, s["short"], PRIMARY))

    for s in settings:
        add(s, s["full"], ALIAS)
        suffix = setting_suffix(s["choice"])
        if suffix:
            add(s, s["short"] + suffix, ALIAS)
            add(s, s["full"] + suffix, ALIAS)
        if s["hall"] in OLD_E_SYMBOLS:
            old = OLD_E_SYMBOLS[s["hall"]]
            assert glide_check(s["raw"], old), (s["hall"], old)
            add(s, old, ALIAS)
            if suffix:
                add(s, old + suffix, ALIAS)
        if s["number"] >= 195 and "-3" in s["short"].split():
            add(s, s["short"].replace("-3", "3"), ALIAS)

    out = []
    for s, name, kind in records:
        out.append("%d %d %d %d %d %s" % (s["number"], s["key"], s["hall"],
                                          kind, len(s["ops"]), name))
        out.append(s["comment"])
        out.extend(s["ops"])
    return "\n".join(out) + "\n"


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--out", default=os.path.join(here, "..", "data"),
                        help="directory to write nonrel, asfdc and spgra to")
    args = parser.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    for name, make in (("nonrel", make_nonrel), ("asfdc", make_asfdc),
                       ("spgra", make_spgra)):
        with open(os.path.join(args.out, name), "w", encoding="ascii",
                  newline="\n") as f:
            f.write(make())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
