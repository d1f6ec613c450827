#!/usr/bin/python3
"""The committed data/nonrel, data/asfdc and data/spgra are exactly what
tools/make_databases.py writes.

Run as: test_generated.py <project root>.  spgra needs Debian's
python3-spglib; without it the element files are still compared and the
test reports itself skipped (exit 77)."""

import importlib.util
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import ROOT, check, summary  # noqa: E402


def committed(name):
    with open(os.path.join(ROOT, "data", name), "rb") as f:
        return f.read()


def first_difference(a, b):
    for n, (x, y) in enumerate(zip(a.split(b"\n"), b.split(b"\n")), start=1):
        if x != y:
            return "line %d: committed %r, generated %r" % (n, x, y)
    return "lengths differ"


def main():
    tool = os.path.join(ROOT, "tools", "make_databases.py")
    try:
        import spglib  # noqa: F401
    except ImportError:
        where = importlib.util.spec_from_file_location("make_databases", tool)
        gen = importlib.util.module_from_spec(where)
        where.loader.exec_module(gen)
        for name, make in (("nonrel", gen.make_nonrel), ("asfdc", gen.make_asfdc)):
            made = make().encode("ascii")
            check(made == committed(name),
                  "%s differs: %s" % (name, first_difference(committed(name), made)))
        print("python3-spglib not installed: spgra not compared")
        return summary(77)

    with tempfile.TemporaryDirectory() as out:
        run = subprocess.run([sys.executable, tool, "--out", out],
                             capture_output=True, text=True)
        check(run.returncode == 0, "generator failed: " + run.stderr)
        for name in ("nonrel", "asfdc", "spgra"):
            path = os.path.join(out, name)
            made = open(path, "rb").read() if os.path.exists(path) else b""
            check(made == committed(name),
                  "%s differs: %s" % (name, first_difference(committed(name), made)))
    return summary()


if __name__ == "__main__":
    sys.exit(main())
