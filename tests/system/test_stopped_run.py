#!/usr/bin/env python3
"""A conversion stopped half-way leaves the earlier XSF file whole.

A VASP run of many ionic steps is converted with its standard output going
to a pipe that nobody reads: once the pipe is full the program waits in the
middle of the trajectory, with the new XSF file half-written. It is then
stopped by SIGTERM, SIGINT or SIGKILL. The earlier XSF file must be byte for
byte as it was; after SIGTERM and SIGINT no temporary may be left behind
(SIGKILL gives the program no chance to remove it), and the run must have
died of the signal.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

STEPS = 8000  # some 500 KB of "...Frame" lines: far more than a pipe and the program's buffer hold

STEP = """ VOLUME and BASIS-vectors are now :
 -----------------------------------------------------------------------------
  energy-cutoff  :      520.00
  volume of cell :      125.00
      direct lattice vectors                 reciprocal lattice vectors
     5.000000000  0.000000000  0.000000000     0.200000000  0.000000000  0.000000000
     0.000000000  5.000000000  0.000000000     0.000000000  0.200000000  0.000000000
     0.000000000  0.000000000  5.000000000     0.000000000  0.000000000  0.200000000

 POSITION                                       TOTAL-FORCE (eV/Angst)
 -----------------------------------------------------------------------------------
      0.50000      0.50000      0.50000         0.000000      0.000000      0.000000
      1.00000      1.00000      1.00000         0.000000      0.000000      0.000000
      1.50000      1.50000      1.50000         0.000000      0.000000      0.000000
 -----------------------------------------------------------------------------------

"""


def write_run(folder):
    os.makedirs(folder)
    files = {
        "INCAR": "SYSTEM = stopped\n",
        "POSCAR": "t\n1\n5 0 0\n0 5 0\n0 0 5\n1 2\nDirect\n0.1 0.1 0.1\n0.2 0.2 0.2\n0.3 0.3 0.3\n",
        "POTCAR": " PAW_PBE Ti_sv 26Sep2005\n End of Dataset\n PAW_PBE O 08Apr2002\n End of Dataset\n",
        "OUTCAR": STEP * STEPS,
    }
    for name, text in files.items():
        with open(os.path.join(folder, name), "w") as f:
            f.write(text)


def stop_midway(binary, db, work, sig):
    """Returns the failures of one run stopped by sig."""
    run = os.path.join(work, "run")
    write_run(run)
    earlier = b"ANIMSTEPS 1\nCRYSTAL\n\nthe earlier trajectory, to be kept whole\n"
    xsf = os.path.join(run, "stopped.xsf")  # named after the SYSTEM line
    with open(xsf, "wb") as f:
        f.write(earlier)
    before = set(os.listdir(run))
    proc = subprocess.Popen([binary, "--DBDir=" + db, "--Action=VASPMakeXSF", "run/"], cwd=work,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    # Wait for the new trajectory's temporary, then for the pipe to fill.
    deadline = time.time() + 30
    while time.time() < deadline and not set(os.listdir(run)) - before:
        time.sleep(0.01)
    time.sleep(0.5)
    failures = []
    if proc.poll() is not None:
        return ["%s: the run ended (exit %d) before it was stopped" % (sig.name, proc.returncode)]
    if not set(os.listdir(run)) - before:
        failures.append("%s: no temporary was written beside stopped.xsf" % sig.name)
    proc.send_signal(sig)
    code = proc.wait(timeout=30)  # the pipe stays open: SIGPIPE would come first
    proc.stdout.close()
    if code != -sig:
        failures.append("%s: exit status %d, expected death by the signal" % (sig.name, code))
    with open(xsf, "rb") as f:
        if f.read() != earlier:
            failures.append("%s: the earlier stopped.xsf was changed" % sig.name)
    left = sorted(set(os.listdir(run)) - before)
    if sig != signal.SIGKILL and left:
        failures.append("%s: files left behind: %s" % (sig.name, ", ".join(left)))
    return failures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    ap.add_argument("--db", required=True)
    opts = ap.parse_args()
    if os.name != "posix":
        return 77  # the signals are POSIX's
    failures = []
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGKILL):
        work = tempfile.mkdtemp(prefix="quorvel-stopped-")
        try:
            failures += stop_midway(os.path.abspath(opts.bin), opts.db, work, sig)
        finally:
            shutil.rmtree(work, ignore_errors=True)
    print("\n".join(failures) or "the earlier trajectory stayed whole")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
