#!/usr/bin/env python3
"""Includes run one way: a file under src/<folder>/ includes only headers of
its own folder or of a folder below it. The top (app: command line, run
frame, action table and handlers) is included by nothing below it."""
import pathlib
import re
import sys

# From the top down; a folder may include those after it.
LAYERS = ["app", "programs", "analysis", "formats", "crystal", "numerics", "text", "system"]

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2])
upward = []
for path in sorted((root / "src").rglob("*")):
    if path.suffix not in (".h", ".cpp"):
        continue
    folder = path.relative_to(root / "src").parts[0]
    if folder not in LAYERS:
        upward.append(f"{path.relative_to(root)}: folder {folder} has no place in the layers")
        continue
    for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
        m = re.match(r'\s*#\s*include\s+"([a-z]+)/', line)
        if m and (m.group(1) not in LAYERS or LAYERS.index(m.group(1)) < LAYERS.index(folder)):
            upward.append(f"{path.relative_to(root)}:{number}: {line.strip()}")
print("\n".join(upward) or "every include runs downward")
sys.exit(1 if upward else 0)
