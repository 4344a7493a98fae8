"""Screening mutants: the seeded sample, each mutant built and run through the tests (native,
then sanitized, then the Windows build), the journal a run is resumed from, and the report."""

import hashlib
import json
import random
import shutil
import subprocess
import sys
import time
from pathlib import Path

from mutation.builds import (WINDOWS_TOOLS, build_mutant, first_failure, make_built, make_ready,
                             native_lines, object_hashes, stop_tests)
from mutation.equivalents import EQUIVALENT_LIST, read_equivalents
from mutation.operators import mutants_of
from mutation.source import ROOT, block_of, product_files, wanted


# ---- Reporting ----

COLUMNS = ("mutants", "compile errors", "killed", "survived", "equivalent", "score")


def table(mutants):
    """One row per file and a total: the counts, and the share of the mutants that built and
    are not equivalent that the tests caught."""
    files = sorted({m.path for m in mutants})
    rows = [(path, counts([m for m in mutants if m.path == path])) for path in files]
    rows.append(("total", counts(mutants)))
    width = max(len(path) for path, _ in rows)
    lines = [f"{'file':<{width}}  " + "  ".join(f"{c:>8}" for c in COLUMNS)]
    for path, row in rows:
        cells = (f"{value:>{max(8, len(c))}}" for value, c in zip(row, COLUMNS))
        lines.append(f"{path:<{width}}  " + "  ".join(cells))
    return "\n".join(lines)


def counts(mutants):
    """A table row's cells for the mutants: their number, each outcome's, and the score."""
    tally = {outcome: 0 for outcome in ("compile error", "killed", "survived", "equivalent")}
    for mutant in mutants:
        tally[mutant.outcome] = tally.get(mutant.outcome, 0) + 1
    judged = tally["killed"] + tally["survived"]
    score = f"{100.0 * tally['killed'] / judged:.1f}%" if judged else "-"
    return (len(mutants), tally["compile error"], tally["killed"], tally["survived"],
            tally["equivalent"], score)


def report(run, listed, selection, seconds, verbose):
    """The table, the survivors, and the entries of the equivalent list that no longer hold;
    selection says which mutants ran, and is empty when every mutant of the files did."""
    print(table(run))
    windows = sum(m.kind == "windows" for m in run)
    same = sum(m.detail == "same object code" for m in run)
    print(f"\n{len(run)} mutants{selection} in {seconds / 60:.1f} minutes "
          f"({seconds / max(len(run), 1):.1f} s each); {windows} of them on lines only the "
          f"Windows build compiles, built and tested in it under wine. Equivalent: {same} "
          f"compile to the same object code, the others are listed in tools/"
          f"{EQUIVALENT_LIST.name}.")
    survivors = [m for m in run if m.outcome == "survived"]
    print(f"\nSurvivors ({len(survivors)}):\n" if survivors else "\nNo survivors.")
    for mutant in survivors:
        print(block_of(mutant) + "\n")
    for mutant in run:
        if mutant.outcome == "killed" and mutant.key() in listed:
            print(f"Listed as equivalent but killed ({mutant.detail}):\n{block_of(mutant)}\n")
        if mutant.outcome == "compile error" and mutant.key() in listed:
            print(f"Listed as equivalent but does not build:\n{block_of(mutant)}\n")
    if not selection:
        made = {m.key() for m in run}
        for key in listed:
            if key[0] in {m.path for m in run} and key not in made:
                print(f"Listed as equivalent but no longer made: {key[0]}\n  - {key[1]}\n")
    for mutant in run if verbose else []:
        if mutant.detail == "same object code":
            print("Same object code:\n" + block_of(mutant) + "\n")


# ---- The run ----


def select(mutants_by_file, sample, seed, by_operator=False):
    """A seeded sample of at most sample mutants of each file (of each file's operator, with
    by_operator), or all of them."""
    chosen = []
    for path, mutants in mutants_by_file.items():
        groups = {"": mutants}
        if by_operator:
            groups = {}
            for mutant in mutants:
                groups.setdefault(mutant.operator, []).append(mutant)
        for name, group in groups.items():
            if sample and len(group) > sample:
                rounds = random.Random(f"{seed}:{path}" + (f":{name}" if name else ""))
                picked = rounds.sample(range(len(group)), sample)
                group = [group[k] for k in sorted(picked)]
            chosen.extend(group)
    return sorted(chosen, key=lambda m: (m.path, m.start, m.end))


def refused_by_windows_checks(mutant, build, jobs):
    """True when the Windows build, which also compiles the mutant's line, rejects the
    mutant in one of its compile-time checks (the host records' layout on i686)."""
    if not all(shutil.which(tool) for tool in WINDOWS_TOOLS):
        return False
    make_built(build, jobs)
    return (not build_mutant(mutant, build, jobs)
            and "static assertion failed" in build.output)


def judge(mutant, builds, arguments):
    """Builds the mutant and runs the tests against it; sets its outcome. A native survivor
    gets a second chance in the sanitized tree, as the project's own test run has them."""
    build = builds[mutant.kind]
    make_ready(build, arguments.jobs)
    started = time.time()
    if not build_mutant(mutant, build, arguments.jobs):
        mutant.outcome = "compile error"
        return
    changed = object_hashes(build, started)
    if all(build.baseline.get(path) == digest for path, digest in changed.items()):
        mutant.outcome, mutant.detail = "equivalent", "same object code"
        return
    failed = first_failure(build, arguments.timeout_factor)
    if not failed and mutant.kind == "native":
        sanitized = builds["sanitized"]
        make_ready(sanitized, arguments.jobs)
        if build_mutant(mutant, sanitized, arguments.jobs):
            failed = first_failure(sanitized, arguments.timeout_factor)
            failed = failed and failed + " with the sanitizers"
    if not failed and mutant.kind == "native" and not arguments.native_only:
        windows = builds["windows"]
        if in_both_builds(mutant, windows, arguments.jobs):
            failed = windows_suite_failure(mutant, windows, arguments)
        elif refused_by_windows_checks(mutant, windows, arguments.jobs):
            failed = "a static_assert of the Windows build"
    mutant.outcome, mutant.detail = ("killed", failed) if failed else ("survived", "")


def in_both_builds(mutant, build, jobs):
    """True for a mutant in a header whose line the Windows build's product code compiles
    too: its tests there (the DLL's, under wine) may see what the native ones do not."""
    if not mutant.path.endswith((".h", ".inc")):
        return False
    if not all(shutil.which(tool) for tool in WINDOWS_TOOLS):
        return False
    if build.lines is None:
        make_built(build, jobs)
        build.lines = native_lines(build)
    return mutant.line in build.lines.get(str(ROOT / mutant.path), set())


def windows_suite_failure(mutant, build, arguments):
    """Builds the mutant into the Windows tree and runs its tests under wine, as the test
    command does; names what caught it, or None."""
    make_ready(build, arguments.jobs)
    if not build_mutant(mutant, build, arguments.jobs):
        if "static assertion failed" in build.output:
            return "a static_assert of the Windows build"
        return "the Windows build, which it breaks"
    failed = first_failure(build, arguments.timeout_factor)
    return failed and failed + " in the Windows build"


def apply_list(mutant, listed):
    """A survivor listed as equivalent counts as equivalent."""
    if mutant.outcome == "survived" and mutant.key() in listed:
        mutant.outcome, mutant.detail = "equivalent", listed[mutant.key()]


# ---- Resuming a run ----


def fingerprint():
    """A hash of every file git tracks: what one run found holds for another on the same tree."""
    paths = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, check=True,
                           capture_output=True).stdout.split(b"\0")
    digest = hashlib.sha1()
    for path in sorted(p for p in paths if p):
        digest.update(path + b"\0" + (ROOT / path.decode()).read_bytes())
    return digest.hexdigest()


def journal_entry(mutant):
    """The mutant as the run's journal names it: its file and the change."""
    return (mutant.path, mutant.start, mutant.end, mutant.replacement)


def read_journal(path, tree):
    """The outcomes a run of the same tree recorded, by mutant."""
    found = {}
    for line in path.read_text().splitlines() if path.exists() else []:
        entry = json.loads(line)
        if entry["tree"] == tree:
            found[tuple(entry["mutant"])] = (entry["outcome"], entry["detail"])
    return found


def record(path, tree, mutant):
    """Appends the mutant's outcome on the tree (its fingerprint) to the journal at path."""
    with path.open("a") as journal:
        journal.write(json.dumps({"tree": tree, "mutant": journal_entry(mutant),
                                  "outcome": mutant.outcome, "detail": mutant.detail}) + "\n")


def make_mutants(arguments, native):
    """The mutants to run, each with the build it runs in, native ones first; and how many
    the files have in all."""
    active = native_lines(native)
    by_file = {}
    for path in product_files():
        if wanted(path, arguments.files):
            by_file[path] = [m for m in mutants_of(path)
                             if not arguments.operators or m.operator in arguments.operators]
    chosen = select(by_file, arguments.sample, arguments.seed, arguments.by_operator)
    if arguments.mutants:
        named = read_equivalents(Path(arguments.mutants), need_reason=False)
        chosen = [m for m in chosen if m.key() in named]
    made = sum(len(mutants) for mutants in by_file.values())
    for mutant in chosen:
        if mutant.line not in active.get(str(ROOT / mutant.path), set()):
            mutant.kind = "windows"
    if arguments.native_only or not all(shutil.which(tool) for tool in WINDOWS_TOOLS):
        dropped = [m for m in chosen if m.kind == "windows"]
        if dropped:
            print(f"mutate: {len(dropped)} mutants on lines only the Windows build compiles "
                  "are not run", file=sys.stderr)
        chosen = [m for m in chosen if m.kind == "native"]
    return sorted(chosen, key=lambda m: m.kind != "native"), made


def run_mutants(chosen, made, builds, arguments):
    """Judges the chosen mutants (of the made ones the files have), each recorded in the run's
    journal as it is judged (with --resume, taken from it), and prints the report, also after
    Ctrl+C; returns the exit status."""
    listed = read_equivalents(EQUIVALENT_LIST)
    journal = builds["native"].path / "journal.jsonl"
    tree = fingerprint()
    recorded = read_journal(journal, tree) if arguments.resume else {}
    done = []

    def progress(mutant):
        done.append(mutant)
        print(f"[{len(done)}/{len(chosen)}] {mutant.path}:{mutant.line} {mutant.operator}"
              f"{' (windows)' if mutant.kind == 'windows' else ''}: {mutant.outcome} "
              f"{mutant.detail}", file=sys.stderr, flush=True)

    started = time.monotonic()
    try:
        for mutant in chosen:
            if journal_entry(mutant) in recorded:
                mutant.outcome, mutant.detail = recorded[journal_entry(mutant)]
            else:
                judge(mutant, builds, arguments)
                record(journal, tree, mutant)
            apply_list(mutant, listed)
            progress(mutant)
    finally:
        for build in builds.values():
            stop_tests(build)
        # Also after Ctrl+C: what was judged so far.
        selection = ""
        if len(done) < made:
            selection = f" of the {made} the files have"
        if arguments.sample:
            selection += f" (at most {arguments.sample} a file, seed {arguments.seed})"
        report(done, listed, selection, time.monotonic() - started, arguments.verbose)
    return 0
