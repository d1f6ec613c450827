"""Counting checks shared by the database tests (run as test_X.py <project root>)."""
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else "."
counts = {"passed": 0, "failed": 0}


def check(cond, what):
    if cond:
        counts["passed"] += 1
    else:
        counts["failed"] += 1
        print("FAIL:", what)


def summary(code_when_passed=0):
    """Prints the closing line and returns the exit code."""
    print("%d passed, %d failed" % (counts["passed"], counts["failed"]))
    return 1 if counts["failed"] else code_when_passed
