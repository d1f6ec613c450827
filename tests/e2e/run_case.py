#!/usr/bin/env python3
"""Runs the quorvel binary for one end-to-end case folder and compares results.

A case folder holds:
  args       the arguments after the program name, one per line
  in/        input files, copied into a fresh scratch directory (the working directory)
  stdout     expected standard output ({BIN}, {SCRATCH}, {TESTDB} stand for the
             binary's directory, the scratch directory and tests/e2e/testdb)
  exit_code  optional expected exit code as the shell sees it (default 0)
  out/       expected files created or changed in the scratch directory
  invoke     optional: "path" runs the program by its bare name through PATH
             from a copy of the binary directory; "relative" runs a copy of the
             program alone as ../prog/quorvel
The date lines of CIF (_audit_creation_date) and CAR (!DATE; also *.car.new)
files must give the local time of the run. Any other file in the scratch directory after
the run must be an unchanged input or be listed in out/.
"""
import argparse
import difflib
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TESTDB = os.path.join(HERE, "testdb")


def dated_lines(t0, t1):
    """The date lines a CIF or CAR file written between t0 and t1 may carry (local time)."""
    lines = set()
    for t in range(int(t0), int(t1) + 2):
        tm = time.localtime(t)
        lines.add(time.strftime("_audit_creation_date               %Y/%m/%d", tm).encode())
        lines.add(("!DATE %s %s %2d %2d:%2d:%2d %4d" % tuple(time.strftime("%a %b", tm).split() + [
            tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year])).encode())
    return lines


def read(path):
    with open(path, "rb") as f:
        return f.read()


def lines_match(expected, actual, dates):
    """Equal lines, or two date lines of which the actual one is the time of the run."""
    if expected == actual:
        return True
    return any(expected.startswith(p) for p in (b"_audit_creation_date ", b"!DATE ")) and actual in dates


def compare_bytes(name, expected, actual, dates=None):
    if not dates:
        if expected == actual:
            return []
    else:
        el, al = expected.split(b"\n"), actual.split(b"\n")
        if len(el) == len(al) and all(lines_match(e, a, dates) for e, a in zip(el, al)):
            return []
    diff = difflib.unified_diff(expected.decode("latin-1").splitlines(True), actual.decode("latin-1").splitlines(True),
                                "expected/" + name, "actual/" + name, n=2)
    text = "".join(list(diff)[:80])
    return ["%s differs:\n%s" % (name, text or "(only line ends or bytes differ)")]


def snapshot(root):
    files = {}
    for dirpath, _, names in os.walk(root):
        for n in names:
            p = os.path.join(dirpath, n)
            files[os.path.relpath(p, root)] = read(p)
    return files


def run_case(binary, case):
    """Runs one case folder; prints ok or the differences; returns 0 or 1."""
    bindir = os.path.dirname(binary)

    work = tempfile.mkdtemp(prefix="quorvel-e2e-")
    scratch = os.path.join(work, "run")
    try:
        if os.path.isdir(os.path.join(case, "in")):
            shutil.copytree(os.path.join(case, "in"), scratch)
        else:
            os.mkdir(scratch)
        before = snapshot(scratch)

        subst = {"{TESTDB}": TESTDB, "{SCRATCH}": scratch, "{BIN}": bindir}
        args = []
        with open(os.path.join(case, "args"), encoding="utf-8", newline="\n") as f:
            for line in f.read().split("\n"):
                if line == "":
                    continue
                for k, v in subst.items():
                    line = line.replace(k, v)
                args.append(line)

        invoke = ""
        if os.path.exists(os.path.join(case, "invoke")):
            invoke = read(os.path.join(case, "invoke")).decode().strip()
        env = dict(os.environ)
        env["LC_ALL"] = "C"
        shown_bindir = bindir
        if invoke == "path":
            # A private copy of the program with its databases, found through PATH.
            pathdir = os.path.join(work, "installed")
            shutil.copytree(bindir, pathdir, ignore=shutil.ignore_patterns("CMakeFiles", "tests", "*.cmake", "Makefile"))
            env["PATH"] = pathdir + os.pathsep + env.get("PATH", "")
            argv = ["quorvel"] + args
            shown_bindir = pathdir
        elif invoke == "relative":
            os.mkdir(os.path.join(work, "prog"))
            shutil.copy2(binary, os.path.join(work, "prog", "quorvel"))
            argv = ["../prog/quorvel"] + args
            shown_bindir = "../prog"
        else:
            argv = [binary] + args
        started = time.time()
        proc = subprocess.run(argv, cwd=scratch, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=600)
        dates = dated_lines(started, time.time())
        stdout = proc.stdout
        for placeholder, value in (("{SCRATCH}", scratch), ("{TESTDB}", TESTDB), ("{BIN}", shown_bindir)):
            stdout = stdout.replace(value.encode(), placeholder.encode())

        failures = []
        expected_code = 0
        if os.path.exists(os.path.join(case, "exit_code")):
            expected_code = int(read(os.path.join(case, "exit_code")).decode().strip())
        if proc.returncode != expected_code:
            failures.append("exit code %d, expected %d" % (proc.returncode, expected_code))
        if proc.stderr:
            failures.append("standard error is not empty:\n" + proc.stderr.decode("latin-1")[:4000])
        failures += compare_bytes("stdout", read(os.path.join(case, "stdout")), stdout)

        after = snapshot(scratch)
        outdir = os.path.join(case, "out")
        expected_files = snapshot(outdir) if os.path.isdir(outdir) else {}
        for name, content in sorted(expected_files.items()):
            if name not in after:
                failures.append("%s was not written" % name)
                continue
            # A CAR file written for the next run is named *.car.new.
            dated = name.lower().endswith((".cif", ".car", ".car.new"))
            failures += compare_bytes(name, content, after[name], dates if dated else None)
        for name, content in sorted(after.items()):
            if name in expected_files:
                continue
            if name not in before:
                failures.append("unexpected file %s was written" % name)
            elif before[name] != content:
                failures.append("input %s was changed" % name)

        if failures:
            print("FAIL %s\n  command: %s\n" % (os.path.relpath(case, HERE), " ".join(argv)))
            for f in failures:
                print(f)
            return 1
        print("ok %s" % os.path.relpath(case, HERE))
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    ap.add_argument("--case", required=True, nargs="+", help="case folders, or action folders holding cases")
    ap.add_argument("--fail-fast", action="store_true", help="stop at the first failing case")
    opts = ap.parse_args()
    binary = os.path.abspath(opts.bin)
    cases = []
    for c in map(os.path.abspath, opts.case):
        if os.path.exists(os.path.join(c, "args")):
            cases.append(c)
        elif os.path.isdir(c):
            cases += sorted(os.path.join(c, d) for d in os.listdir(c) if os.path.exists(os.path.join(c, d, "args")))
    failed = 0
    for case in cases:
        failed += run_case(binary, case)
        if failed and opts.fail_fast:
            break
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
