#!/usr/bin/env python3
"""Times every Quorvel action on the benchmark inputs of bench/generate.py
and, where they are installed, the peers on the same files.

    python3 bench/generate.py [--out DIR]          # once: writes the inputs
    python3 bench/run.py [--data DIR] [--bin PATH] [--repeat N] [--no-peers]

Each case runs in a scratch folder that links the inputs, so that outputs
written next to the inputs land there. A case is run --repeat times (after
one untimed warm-up run that also records peak memory under /usr/bin/time -v);
the table shows the fastest wall-clock time, the CPU time (user + system) of
that run, the input size, the throughput (input MB per wall-clock second) and
the peak resident memory. The load average is printed first: on a busy
machine wall-clock times grow, CPU times much less.

Peers (whole processes, same inputs): ASE 3.22 (OUTCAR, pw.x and .castep to
XSF; the neighbour-list RDF of the 10,000-atom cell), gemmi (CIF parse; all
pairs within 5 A of the 10,000-atom cell), cat (reading the input once).
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, ".."))
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable

ASE_TO_XSF = ("import sys, warnings; warnings.simplefilter('ignore'); import ase.io; "
              "ase.io.write(sys.argv[3], ase.io.read(sys.argv[1], index=':', format=sys.argv[2]), format='xsf')")

# The RDF of one structure by ASE's neighbour list: all pairs within rmax,
# histogrammed per ordered pair of elements into nMesh bins.
ASE_RDF = """
import sys, warnings
warnings.simplefilter('ignore')
import numpy as np
import ase.io
from ase.neighborlist import neighbor_list
atoms = ase.io.read(sys.argv[1], format='vasp')
rmax, nmesh = 5.0, 201
i, j, d = neighbor_list('ijd', atoms, rmax)
z = atoms.get_atomic_numbers()
dr = rmax / (nmesh - 1)
k = np.minimum((d / dr).astype(int), nmesh - 1)
for zi in np.unique(z):
    for zj in np.unique(z):
        sel = (z[i] == zi) & (z[j] == zj)
        h = np.bincount(k[sel], minlength=nmesh) / max(1, np.count_nonzero(z == zi))
        np.savetxt('ase-%d-%d-rdf.csv' % (zi, zj), np.c_[np.arange(nmesh) * dr, h, np.cumsum(h)], delimiter=',')
"""

TO_PDB = ("import sys, warnings; warnings.simplefilter('ignore'); import ase.io; "
          "ase.io.write(sys.argv[2], ase.io.read(sys.argv[1], format='vasp'), format='proteindatabank')")


def mb(nbytes):
    return nbytes / 1e6


def run_once(argv, cwd, stdout_path):
    """Wall-clock and CPU seconds of one run, and its exit code."""
    with open(stdout_path, "wb") as out:
        start = time.perf_counter()
        proc = subprocess.Popen(argv, cwd=cwd, stdout=out, stderr=subprocess.STDOUT)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    return wall, usage.ru_utime + usage.ru_stime, proc.returncode


def peak_memory(argv, cwd):
    """Peak resident memory in MB as /usr/bin/time -v reports it."""
    if not os.path.exists("/usr/bin/time"):
        return None
    report = os.path.join(cwd, ".time-v")
    with open(os.devnull, "wb") as null:
        subprocess.run(["/usr/bin/time", "-v", "-o", report] + argv, cwd=cwd, stdout=null, stderr=null)
    try:
        for line in open(report):
            if "Maximum resident set size" in line:
                return int(line.split(":")[1]) / 1024.0
    finally:
        os.remove(report)
    return None


class Case:
    def __init__(self, name, inputs, argv, note="", repeat=None, peer=False):
        self.name = name          # what the table shows
        self.inputs = inputs      # files and folders of the data set to link
        self.argv = argv          # the command, with {BIN} for the program
        self.note = note
        self.repeat = repeat
        self.peer = peer


def prepare(workdir, data, inputs):
    if os.path.isdir(workdir):
        shutil.rmtree(workdir)
    os.makedirs(workdir)
    for rel in inputs:
        src = os.path.join(data, rel)
        dst = os.path.join(workdir, os.path.basename(rel.rstrip("/")))
        if os.path.isdir(src):
            os.makedirs(dst)
            for f in os.listdir(src):
                os.symlink(os.path.join(src, f), os.path.join(dst, f))
        else:
            os.symlink(src, dst)


def clean_outputs(workdir):
    """Removes what earlier runs wrote, keeping the linked inputs."""
    for root, dirs, files in os.walk(workdir):
        for f in files:
            p = os.path.join(root, f)
            if not os.path.islink(p):
                os.remove(p)


def input_size(data, inputs):
    total = 0
    for rel in inputs:
        p = os.path.join(data, rel)
        if os.path.isdir(p):
            total += sum(os.path.getsize(os.path.join(p, f)) for f in os.listdir(p))
        else:
            total += os.path.getsize(p)
    return total


def available(binary, action):
    out = subprocess.run([binary, "--Action=" + action], capture_output=True, text=True, cwd="/tmp").stdout
    return "is not available in this build" not in out


def cases(data, binary, peers):
    c = []
    have = lambda rel: os.path.exists(os.path.join(data, rel))
    for name in ("P1-1000", "P21c-1000", "P1-4096", "P21c-4096", "P1-20", "P21c-20", "P1-64", "P21c-64"):
        cif = "cif/%s.cif" % name
        if not have(cif):
            continue
        c.append(Case("ShowCIFInf %s" % name, [cif], ["{BIN}", "--Action=ShowCIFInf", name + ".cif"]))
        c.append(Case("CalRDF %s (RDF + CN 4)" % name, [cif],
                      ["{BIN}", "--Action=CalRDF", "--CalcRDF=1", "--CoordinationNumber=4", name + ".cif"]))
        c.append(Case("CalDistance %s" % name, [cif], ["{BIN}", "--Action=CalDistance", name + ".cif", "dist.txt"]))
        if peers and shutil.which("gemmi"):
            c.append(Case("  gemmi validate %s" % name, [cif], ["gemmi", "validate", name + ".cif"], peer=True))
    if have("contcar"):
        c.append(Case("VASPConvCONTCAR (RDF + CN 4)", ["contcar"],
                      ["{BIN}", "--Action=VASPConvCONTCAR", "--CalcRDF=1", "--CoordinationNumber=4", "contcar/"]))
        if peers and have_ase():
            c.append(Case("  ASE neighbour-list RDF of POSCAR", ["contcar/POSCAR"],
                          [PYTHON, "-c", ASE_RDF, "POSCAR"], peer=True))
            if shutil.which("gemmi"):
                c.append(Case("  gemmi contact -d 5 (all pairs)", ["contcar/POSCAR"],
                              ["gemmi", "contact", "-d", "5", "--ignore=0", "--count", "cell.pdb"], peer=True))
    for folder, repeat in (("outcar", None), ("outcar-1gb", 1)):
        if not have(folder):
            continue
        c.append(Case("VASPMakeXSF %s" % folder, [folder], ["{BIN}", "--Action=VASPMakeXSF", folder + "/"],
                      repeat=repeat))
        if peers and have_ase() and folder == "outcar":
            c.append(Case("  ASE OUTCAR -> XSF", [folder + "/OUTCAR"],
                          [PYTHON, "-c", ASE_TO_XSF, "OUTCAR", "vasp-out", "ase.xsf"], peer=True))
    trajectories = (("pwscf", "relax.out", "PWScfConvOutput", ["pwscf/relax.out", "pwscf/relax.inp"], "espresso-out"),
                    ("castep", "md.castep", "CASTEPConvOutput", ["castep/md.castep"], "castep-castep"),
                    ("siesta", "relax.out", "TranSIESTAConvOutput", ["siesta/relax.out", "siesta/relax.atk"], None))
    for folder, log, action, inputs, ase_format in trajectories:
        if not have(os.path.join(folder, log)):
            continue
        c.append(Case("%s %s" % (action, log), inputs, ["{BIN}", "--Action=" + action, log]))
        if peers and have_ase() and ase_format:
            note = "ASE keeps only the last step" if folder == "castep" else ""
            c.append(Case("  ASE %s -> XSF" % log, [inputs[0]], [PYTHON, "-c", ASE_TO_XSF, log, ase_format, "ase.xsf"],
                          note=note, peer=True))
    if have("plimo/run.f9p"):
        plimo = ["plimo/run.f05", "plimo/run.f07", "plimo/run.f9p", "plimo/run.f9v"]
        c.append(Case("ConvF09p (every 10th step)", plimo, ["{BIN}", "--Action=ConvF09p", "--nOutputInterval=10",
                                                           "run.f9p"]))
        c.append(Case("ConvF09p (every step)", plimo, ["{BIN}", "--Action=ConvF09p", "run.f9p"]))
        c.append(Case("UpdateFILE05", ["plimo/run.f05"], ["{BIN}", "--Action=UpdateFILE05", "--sn=2", "run.f05"]))
        c.append(Case("AddHistoryCSV", ["plimo/run.f06"], ["{BIN}", "--Action=AddHistoryCSV", "run.f06"]))
    if peers:
        for rel in ("outcar/OUTCAR", "outcar-1gb/OUTCAR", "pwscf/relax.out", "castep/md.castep", "plimo/run.f9p",
                    "contcar/POSCAR", "cif/P1-4096.cif"):
            if have(rel):
                c.append(Case("  cat %s" % rel, [rel], ["cat", os.path.basename(rel)], peer=True))
    return c


_ASE = None


def have_ase():
    global _ASE
    if _ASE is None:
        _ASE = subprocess.run([PYTHON, "-c", "import ase, numpy"], capture_output=True).returncode == 0
    return _ASE


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--data", default="/tmp/quorvel-bench")
    p.add_argument("--bin", default=os.path.join(SOURCE, "build", "release", "quorvel"))
    p.add_argument("--repeat", type=int, default=5)
    p.add_argument("--no-peers", action="store_true")
    p.add_argument("--only", default="", help="run only cases whose name contains this text")
    p.add_argument("--work", default="", help="scratch folder (default: DATA/run)")
    p.add_argument("--smoke", action="store_true",
                   help="write tiny inputs to a temporary folder, run every case once without peers, clean up")
    args = p.parse_args()
    if args.smoke:
        import tempfile
        with tempfile.TemporaryDirectory(prefix="quorvel-bench-") as tmp:
            subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), "--small", "--out", tmp], check=True,
                           stdout=subprocess.DEVNULL)
            argv = [sys.argv[0], "--data", tmp, "--bin", args.bin, "--repeat", "1", "--no-peers"]
            return subprocess.run([sys.executable] + argv).returncode
    data = os.path.abspath(args.data)
    binary = os.path.abspath(args.bin)
    work = os.path.abspath(args.work or os.path.join(data, "run"))
    if work == SOURCE or work.startswith(SOURCE + os.sep):
        sys.exit("run.py: scratch files never go into the source tree (%s)" % work)
    if not os.path.isdir(data):
        sys.exit("run.py: no inputs in %s; run bench/generate.py first" % data)
    if not os.path.exists(binary):
        sys.exit("run.py: no program at %s; build the release preset first" % binary)

    load = os.getloadavg()
    print("Quorvel benchmarks: %s, %d CPUs, load average %.1f %.1f %.1f" % (binary, os.cpu_count(), *load))
    print("inputs: %s; best of %d runs (wall clock), CPU time of that run\n" % (data, args.repeat))
    header = "%-44s %9s %10s %10s %10s %9s  %s" % ("case", "input MB", "wall ms", "CPU ms", "MB/s", "peak MB",
                                                  "note")
    print(header)
    print("-" * len(header))
    failures = 0
    for case in cases(data, binary, not args.no_peers):
        if args.only and args.only not in case.name:
            continue
        action = next((a[len("--Action="):] for a in case.argv if a.startswith("--Action=")), None)
        if action and not available(binary, action):
            print("%-44s %s" % (case.name, "(action not in this build)"))
            continue
        workdir = os.path.join(work, "".join(ch if ch.isalnum() else "_" for ch in case.name.strip()))
        prepare(workdir, data, case.inputs)
        if "cell.pdb" in case.argv:
            # The 10,000-atom cell as PDB for gemmi, written once, untimed.
            pdb = os.path.join(work, "cell.pdb")
            if not os.path.exists(pdb):
                subprocess.run([PYTHON, "-c", TO_PDB, os.path.join(data, "contcar", "POSCAR"), pdb], check=True)
            os.symlink(pdb, os.path.join(workdir, "cell.pdb"))
        argv = [binary if a == "{BIN}" else a for a in case.argv]
        size = input_size(data, case.inputs)
        memory = peak_memory(argv, workdir)
        best = None
        repeat = case.repeat or args.repeat
        code = 0
        for _ in range(repeat):
            clean_outputs(workdir)
            wall, cpu, code = run_once(argv, workdir, os.path.join(workdir, ".stdout"))
            if best is None or wall < best[0]:
                best = (wall, cpu)
        note = case.note
        if code != 0:
            note = (note + " " if note else "") + "exit code %d" % code
            if not case.peer:
                failures += 1
        print("%-44s %9.2f %10.1f %10.1f %10.1f %9s  %s" % (
            case.name, mb(size), best[0] * 1e3, best[1] * 1e3, mb(size) / best[0] if best[0] > 0 else 0,
            "%.1f" % memory if memory is not None else "-", note), flush=True)
    print("\nPeers quoted, not run here: XCrySDen pwo2xsf, 9.3 MB pw.x log in 480 ms.")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
