"""What the corpus runners share: the command line and the report."""
import argparse
import pathlib


def binary_from_command_line():
    """The --bin argument as an absolute path (the runs work in scratch folders)."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    return str(pathlib.Path(parser.parse_args().bin).resolve())


def report(names_and_problems, known=None):
    """Prints a line per checked file or run (with its first problems) and a
    total; a name in known is printed with its reason and does not fail.
    Returns the exit status: 1 when one failed or none was checked."""
    known = known or {}
    checked = failed = 0
    for name, problems in names_and_problems:
        checked += 1
        if name in known:
            print(f"known  {name}: {known[name]}" + ("" if problems else " (now agrees)"))
        elif problems:
            failed += 1
            print(f"FAIL   {name}: " + "; ".join(problems[:4]))
        else:
            print(f"agrees {name}")
    print(f"{checked - failed} of {checked} agree")
    return 1 if failed or not checked else 0
