"""The list of equivalent mutants (tools/mutants-equivalent.txt): reading it, and checking it
against the mutants today's code makes (--check-list)."""

import re
import sys

from mutation.builds import build_mutant, make_built, native_lines
from mutation.operators import mutants_of
from mutation.source import ROOT, block_of, normalize, product_files

EQUIVALENT_LIST = ROOT / "tools" / "mutants-equivalent.txt"


def read_equivalents(path, need_reason=True):
    """The listed equivalent mutants: key to reason. A block is the file (optionally with
    ':line' and '[operator]', which are not compared), '- ' lines as written, '+ ' lines as
    mutated and a '= ' line with the reason; blocks are separated by blank lines. With
    need_reason false, any list of mutants in that format (a run's survivors, say)."""
    listed = {}
    if not path.exists():
        if not need_reason:
            sys.exit(f"mutate: {path}: no such file")
        return listed
    for block in re.split(r"\n\s*\n", path.read_text()):
        lines = [line.strip() for line in block.splitlines()]
        lines = [line for line in lines if line and not line.startswith("#")]
        if not lines:
            continue
        file = lines[0].split()[0].split(":")[0]
        before = "\n".join(line[2:] for line in lines if line.startswith("- "))
        after = "\n".join(line[2:] for line in lines if line.startswith("+ "))
        reason = " ".join(line[2:] for line in lines if line.startswith("= "))
        if not reason and need_reason:
            sys.exit(f"mutate: {path.name}: an entry of {file} gives no reason")
        listed[(file, normalize(before), normalize(after))] = reason
    return listed


def listed_lines(path):
    """The line each entry of the equivalent list names, by key."""
    lines = {}
    for block in re.split(r"\n\s*\n", path.read_text()):
        rows = [row.strip() for row in block.splitlines()]
        rows = [row for row in rows if row and not row.startswith("#")]
        head = re.match(r"([^\s:]+):(\d+)", rows[0]) if rows else None
        if head:
            before = "\n".join(row[2:] for row in rows if row.startswith("- "))
            after = "\n".join(row[2:] for row in rows if row.startswith("+ "))
            lines[(head[1], normalize(before), normalize(after))] = int(head[2])
    return lines


def check_list(listed, builds, jobs):
    """Reports each entry of the equivalent list that matches no mutant made today, names a
    line the mutant is no longer on, or whose mutant does not build (then it is no mutant
    at all). Builds only the plug-in's code, in the tree that compiles the line. Returns
    the number of entries reported."""
    made = {}
    active = native_lines(builds["native"])
    for path in product_files():
        for mutant in mutants_of(path):
            if mutant.line not in active.get(str(ROOT / mutant.path), set()):
                mutant.kind = "windows"
            made.setdefault(mutant.key(), []).append(mutant)
    lines, faults = listed_lines(EQUIVALENT_LIST), 0
    targets = {"native": "lexamund", "windows": "Lexamund"}
    for key in listed:
        found = made.get(key, [])
        if not found:
            faults += 1
            print(f"Listed as equivalent but no longer made: {key[0]}\n  - {key[1]}\n")
            continue
        if lines.get(key) not in [m.line for m in found]:
            faults += 1
            print(f"Listed on line {lines.get(key)}, now on line {found[0].line}:\n"
                  f"{block_of(found[0])}\n")
        build = builds[found[0].kind]
        make_built(build, jobs)
        if not build_mutant(found[0], build, jobs, targets[found[0].kind]):
            faults += 1
            print(f"Listed as equivalent but does not build:\n{block_of(found[0])}\n")
    print(f"{len(listed)} entries checked, {faults} to correct")
    return faults
