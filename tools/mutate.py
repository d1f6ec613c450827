#!/usr/bin/env python3
"""Mutation testing of Quorvel's suite.

  tools/mutate.py sites                       list every mutation site in src/**/*.cpp
  tools/mutate.py run --out FILE [--sample N] [--seed S] [--jobs J] [--only FILE]

A site is a relational operator (< <= > >= == !=), an arithmetic operator
(+ - * / % and their assignments), a logical operator (&& ||) or an integer
literal (plus or minus one), never inside a string, character literal,
comment or preprocessor line. Binary operators count only with blanks on both
sides, which is how the sources write them (so template brackets, unary minus
and pointer stars are not sites).

`run` draws a fixed-seed sample of sites, and for each mutant alone: copies
the mutation into a private copy of the tree (one per job, under --work),
rebuilds incrementally, and runs the suite, stopping at the first failure:
the unit tests, every end-to-end case in one process, then the interop
checks and the real-file corpora. --files limits the sample to the sites of
some source files. The record (JSON) is rewritten after every mutant, so a run that is
stopped can go on with --resume. --only takes the mutants of an earlier
record (for instance only those it says were killed) instead of a new sample.
"""
import argparse
import concurrent.futures
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TREE_PARTS = ["CMakeLists.txt", "CMakePresets.json", "src", "tests", "data", "bench", "fuzz", "examples"]

SWAP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
        "+": "-", "-": "+", "*": "/", "/": "*", "%": "*",
        "+=": "-=", "-=": "+=", "*=": "/=", "/=": "*=",
        "&&": "||", "||": "&&"}
KIND = {"<": "relational", "<=": "relational", ">": "relational", ">=": "relational",
        "==": "relational", "!=": "relational", "&&": "logical", "||": "logical"}
OPERATOR = re.compile(r"<=|>=|==|!=|&&|\|\||\+=|-=|\*=|/=|[<>+\-*/%]")
INTEGER = re.compile(r"(?<![\w.])(\d+)([uUlL]*)(?![\w.])")


def code_mask(text):
    """The text with strings, character literals, comments and preprocessor
    lines blanked out (same length, line ends kept)."""
    out = list(text)
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            j = i
            while j < n and not (text[j] == "\n" and text[j - 1] != "\\"):
                j += 1
            blank(out, i, j)
            i = j
            continue
        if c == "\n":
            line_start = True
            i += 1
            continue
        if c in " \t":
            i += 1
            continue
        line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            delim = text[i + 2:text.index("(", i)]
            j = text.index(")" + delim + '"', i) + len(delim) + 2
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            j += 1
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                i += 1
                continue
        else:
            i += 1
            continue
        blank(out, i, j)
        i = j
    return "".join(out)


def blank(out, i, j):
    for k in range(i, min(j, len(out))):
        if out[k] != "\n":
            out[k] = " "


def sites_of(path):
    rel = os.path.relpath(path, ROOT)
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    code = code_mask(text)
    found = []
    for m in OPERATOR.finditer(code):
        op, a, b = m.group(), m.start(), m.end()
        if a == 0 or b >= len(code) or code[a - 1] not in " \t" or code[b] not in " \t\n":
            continue
        if op in "+-" and code[a - 2:a - 1] in ("+", "-"):
            continue
        found.append((a, op, SWAP[op], KIND.get(op, "arithmetic")))
    for m in INTEGER.finditer(code):
        value = int(m.group(1))
        if m.group(1).startswith("0") and len(m.group(1)) > 1:
            continue  # octal
        for repl in (value + 1, value - 1):
            if repl >= 0:
                found.append((m.start(1), m.group(1), str(repl), "literal"))
    found.sort()
    out = []
    for a, old, new, kind in found:
        line = text.count("\n", 0, a) + 1
        col = a - (text.rfind("\n", 0, a) + 1) + 1
        out.append({"file": rel, "offset": a, "line": line, "column": col,
                    "kind": kind, "original": old, "replacement": new})
    return out


def all_sites():
    files = []
    for d, _, names in os.walk(os.path.join(ROOT, "src")):
        files += [os.path.join(d, n) for n in names if n.endswith(".cpp")]
    sites = []
    for f in sorted(files):
        sites += sites_of(f)
    for i, s in enumerate(sites):
        s["id"] = "%s:%d:%d:%s>%s" % (s["file"], s["line"], s["column"], s["original"], s["replacement"])
    return sites


def sh(cmd, cwd, timeout):
    """Runs cmd in its own process group; returns (exit code, tail of output); a
    timeout kills the group and counts as a failure."""
    p = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        out, _ = p.communicate(timeout=timeout)
        return p.returncode, out.decode("latin-1")[-1500:]
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.communicate()
        return -1, "timeout after %d s" % timeout


def suite(tree, build):
    """The suite, fastest part first; the first failing part stops it."""
    return [
        ("unit", [os.path.join(build, "tests", "quorvel_unit_tests"), "--gtest_fail_fast", "--gtest_brief=1"], 300),
        ("e2e", [sys.executable, os.path.join(tree, "tests", "e2e", "run_case.py"), "--bin",
                 os.path.join(build, "quorvel"), "--fail-fast", "--case"] +
                [os.path.join(tree, "tests", "e2e", d) for d in sorted(os.listdir(os.path.join(tree, "tests", "e2e")))
                 if os.path.isdir(os.path.join(tree, "tests", "e2e", d))], 300),
        ("interop", ["ctest", "--test-dir", build, "-L", "interop", "--stop-on-failure", "--output-on-failure"], 600),
        ("corpus", ["ctest", "--test-dir", build, "-L", "corpus", "--stop-on-failure", "--output-on-failure"], 600),
    ]


def prepare(work, k):
    tree = os.path.join(work, "tree%d" % k)
    build = os.path.join(tree, "build")
    if not os.path.isdir(tree):
        os.makedirs(tree)
        for part in TREE_PARTS:
            src = os.path.join(ROOT, part)
            if os.path.isdir(src):
                shutil.copytree(src, os.path.join(tree, part))
            elif os.path.exists(src):
                shutil.copy2(src, os.path.join(tree, part))
    code, out = sh(["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=Release"], tree, 600)
    if code == 0:
        code, out = sh(["cmake", "--build", build, "-j1", "--target", "quorvel", "quorvel_unit_tests"], tree, 3600)
    if code != 0:
        raise SystemExit("could not build the unmutated tree %s:\n%s" % (tree, out))
    for name, cmd, timeout in suite(tree, build):
        code, out = sh(cmd, tree, timeout)
        if code != 0:
            raise SystemExit("the suite fails on the unmutated tree (%s):\n%s" % (name, out))
    return tree, build


def run_mutant(m, tree, build):
    path = os.path.join(tree, m["file"])
    with open(path, "rb") as f:
        original = f.read()
    text = original.decode("utf-8", errors="surrogateescape")
    a = m["offset"]
    assert text[a:a + len(m["original"])] == m["original"], m["id"]
    start = time.time()
    try:
        with open(path, "wb") as f:
            f.write((text[:a] + m["replacement"] + text[a + len(m["original"]):]).encode("utf-8", errors="surrogateescape"))
        code, out = sh(["cmake", "--build", build, "-j1", "--target", "quorvel", "quorvel_unit_tests"], tree, 900)
        if code != 0:
            result = {"status": "did-not-build"}
        else:
            result = {"status": "survived"}
            for name, cmd, timeout in suite(tree, build):
                code, out = sh(cmd, tree, timeout)
                if code != 0:
                    result = {"status": "killed", "by": name, "evidence": out[-300:]}
                    break
    finally:
        with open(path, "wb") as f:
            f.write(original)
    result["seconds"] = round(time.time() - start, 1)
    return result


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="cmd", required=True)
    sub.add_parser("sites")
    r = sub.add_parser("run")
    r.add_argument("--out", required=True)
    r.add_argument("--sample", type=int, default=300)
    r.add_argument("--seed", type=int, default=17)
    r.add_argument("--jobs", type=int, default=1)
    r.add_argument("--work", default="/tmp/quorvel-mutation")
    r.add_argument("--only", help="take the mutants of this record instead of a new sample")
    r.add_argument("--status", help="with --only: just the mutants of this status (killed, survived)")
    r.add_argument("--resume", action="store_true", help="keep the results already in --out")
    r.add_argument("--files", nargs="+", help="sample only the sites of source files whose path holds one of these")
    opts = ap.parse_args()

    sites = all_sites()
    if opts.cmd == "sites":
        for s in sites:
            print("%s\t%s" % (s["id"], s["kind"]))
        print("%d sites" % len(sites), file=sys.stderr)
        return 0

    by_id = {s["id"]: s for s in sites}
    if opts.only:
        with open(opts.only) as f:
            earlier = json.load(f)
        ids = [m["id"] for m in earlier["mutants"] if not opts.status or m["status"] == opts.status]
        missing = [i for i in ids if i not in by_id]
        if missing:
            raise SystemExit("the program code has changed: %d sites of the record are gone" % len(missing))
        sample = [by_id[i] for i in ids]
    else:
        pool = [s for s in sites if not opts.files or any(f in s["file"] for f in opts.files)]
        sample = random.Random(opts.seed).sample(pool, min(opts.sample, len(pool)))
    sample.sort(key=lambda s: (s["file"], s["offset"]))

    record = {"seed": opts.seed, "sites": len(sites), "sample": len(sample),
              "suite": "unit tests (fail fast), e2e cases in one process (fail fast), ctest -L interop, ctest -L corpus"
                       " (stop on failure)", "files": opts.files or "all",
              "commit": subprocess.run(["git", "-C", ROOT, "rev-parse", "HEAD"], capture_output=True, text=True).stdout.strip(),
              "mutants": []}
    done = {}
    if opts.resume and os.path.exists(opts.out):
        with open(opts.out) as f:
            done = {m["id"]: m for m in json.load(f)["mutants"]}
    lock = threading.Lock()
    results = dict(done)

    def save():
        record["mutants"] = [dict(s, **results[s["id"]]) if s["id"] in results else None for s in sample]
        record["mutants"] = [m for m in record["mutants"] if m]
        counts = {}
        for m in record["mutants"]:
            counts[m["status"]] = counts.get(m["status"], 0) + 1
        built = counts.get("killed", 0) + counts.get("survived", 0)
        record["summary"] = dict(counts, score=round(counts.get("killed", 0) / built, 3) if built else None)
        tmp = opts.out + ".tmp"
        with open(tmp, "w") as f:
            json.dump(record, f, indent=1)
        os.replace(tmp, opts.out)

    todo = [s for s in sample if s["id"] not in done]
    jobs = max(1, min(opts.jobs, len(todo)))
    # Each job takes a contiguous run of the sample, so a file is rebuilt by one job only.
    chunks = [todo[k * len(todo) // jobs:(k + 1) * len(todo) // jobs] for k in range(jobs)]

    def worker(k):
        tree, build = prepare(opts.work, k)
        for s in chunks[k]:
            res = run_mutant(s, tree, build)
            with lock:
                results[s["id"]] = res
                save()
                print("%-60s %s" % (s["id"], res["status"]), flush=True)

    with concurrent.futures.ThreadPoolExecutor(jobs) as ex:
        for f in [ex.submit(worker, k) for k in range(jobs)]:
            f.result()
    save()
    print(json.dumps(record["summary"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
