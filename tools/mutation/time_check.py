"""The time check (--check-time): each listed mutant of engine/ built into the request
benchmark, its instructions counted where its code runs and set against the unmutated
code's, and the table of verdicts."""

import argparse
import hashlib
import re
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass
from pathlib import Path

from mutation.builds import Build, build_mutant, build_tree, configure, restore_leftovers
from mutation.equivalents import read_equivalents
from mutation.operators import mutants_of
from mutation.source import ROOT, wanted
from mutation.time_reach import (BENCH_TARGET, SIMD_PATHS, TIME_JOURNAL, Reach, TimeJournal,
                                 binary_hashes, measure_reach, reach_of, request_instructions)


TIME_TOLERANCE = 1.0  # per cent: a listed mutant may move a request's instructions this much
FIGURE = re.compile(r"(\d+(?:\.\d+)?) ?%")
UNREACHED = "no request reaches"  # in a reason: no workload runs the entry's code, and why


MISSING = object()


def per_path(cases, value=lambda case: 1):
    """The sum of value over the cases of each path, as "path sum, ..."; paths fastest first."""
    sums = {path: sum(value(c) for c in cases if c[1] == path) for path in SIMD_PATHS}
    return ", ".join(f"{path} {sums[path]:.0f}" for path in SIMD_PATHS
                     if any(c[1] == path for c in cases))


def where(cases, how):
    """The cases that run an entry's code, counted per path, and how when not run outright."""
    if how == "unreached":
        return "none"
    return per_path(cases) + ("" if how == "run" else f" ({how})")


def reach_verdict(cases, how, reason, paths):
    """The verdict of an entry that is not measured, or None when it is: no request runs its
    code, its reason says so wrongly, or only paths not asked for run it."""
    said = UNREACHED in reason.lower()
    if how == "unreached":
        return (f"ok, its reason says {UNREACHED} it" if said else
                "FAIL: no request runs its code: add a workload that does, or say in its "
                f'reason why "{UNREACHED}" it')
    if said:
        return f'FAIL: its reason says "{UNREACHED}" it, yet {len(cases)} cases run it'
    if not any(case[1] in paths for case in cases):
        return "not measured: only other paths run it"
    return None


@dataclass
class TimeCheck:
    """What measuring an entry takes: the benchmark's tree and program, where the unmutated
    program runs each line, the journal and the arguments."""
    bench: Build
    program: Path
    reach: Reach
    journal: TimeJournal
    arguments: argparse.Namespace


def mutant_counts(mutant, cases, check):
    """The counts of cases with the mutant built into the benchmark (None when it does not
    build), and the runs made, with their seconds, per path. What the journal holds is not
    run again: nor is a mutant whose code is the unmutated code's or an earlier mutant's."""
    source = hashlib.sha1((ROOT / mutant.path).read_bytes()).hexdigest()
    key = [check.reach.whole, mutant.path, source, mutant.start, mutant.end, mutant.replacement]
    code = check.journal.get("build", key, MISSING)
    if code is MISSING or (code is not None and not all(
            check.journal.has("count", [code, *case]) for case in cases)):
        built = build_mutant(mutant, check.bench, check.arguments.jobs, BENCH_TARGET)
        code = binary_hashes(check.program)[1] if built else None
        check.journal.put("build", key, code)
    if code is None:
        return None, "-"
    missing = [case for case in cases if not check.journal.has("count", [code, *case])]
    made = count_cases(check.program, code, missing, check)
    counts = {case: check.journal.get("count", [code, *case]) for case in cases}
    return counts, made or ("0, the unmutated code" if code == check.reach.code else "0, known")


def count_cases(program, code, cases, check):
    """Counts the cases on the program (whose code hashes to code) into the journal, a path at
    a time; the runs made and their seconds, per path."""
    made = []
    for path in SIMD_PATHS:
        chosen = [case for case in cases if case[1] == path]
        started = time.monotonic()
        with ThreadPoolExecutor(max_workers=check.arguments.jobs) as pool:
            counts = pool.map(lambda case: request_instructions(program, *case), chosen)
            for case, count in zip(chosen, counts):
                check.journal.put("count", [code, *case], count)
        if chosen:
            made.append(f"{path} {len(chosen)} in {time.monotonic() - started:.0f} s")
    return ", ".join(made)


def time_row(mutant, reason, check):
    """One entry's row: the entry, the cases that run its code, the runs made, the worst case
    and its change, the seconds taken and the verdict."""
    started = time.monotonic()
    entry = f"{mutant.path}:{mutant.line} [{mutant.operator}]"
    cases, how = reach_of(mutant, check.reach)
    verdict = reach_verdict(cases, how, reason, check.arguments.paths)
    if verdict:
        return entry, where(cases, how), "-", "-", "-", "0", verdict
    chosen = [case for case in cases if case[1] in check.arguments.paths]
    counts, made = mutant_counts(mutant, chosen, check)
    seconds = f"{time.monotonic() - started:.0f}"
    if counts is None:
        return entry, where(cases, how), made, "-", "-", seconds, "FAIL: does not build"
    worst, change = worst_change(check.reach.counts, counts)
    shown = "-" if change is None else f"{change:+.2f}"
    return (entry, where(cases, how), made, f"{worst[0]}/{worst[1]}", shown, seconds,
            time_verdict(change, reason))


def plan_row(mutant, reason, check):
    """One entry's row without measuring it: the entry, the cases that run its code, the
    seconds the unmutated program's runs of those on the asked paths took, and its verdict
    when it is not measured."""
    entry = f"{mutant.path}:{mutant.line} [{mutant.operator}]"
    cases, how = reach_of(mutant, check.reach)
    chosen = [case for case in cases if case[1] in check.arguments.paths]
    seconds = per_path(chosen, lambda case: check.reach.seconds[case])
    verdict = reach_verdict(cases, how, reason, check.arguments.paths) or "to measure"
    return entry, where(cases, how), seconds or "-", verdict


def worst_change(base, counts):
    """The case that moved most, and by how many per cent; None as the change when a
    request failed."""
    worst, change = None, 0.0
    for case, count in counts.items():
        if count is None or base[case] is None:
            return case, None
        moved = 100.0 * (count - base[case]) / base[case]
        if worst is None or abs(moved) > abs(change):
            worst, change = case, moved
    return worst, change


def time_verdict(change, reason):
    """ok within the tolerance; else the reason must state a figure at least as large."""
    if change is None:
        return "FAIL: the request fails"
    if abs(change) <= TIME_TOLERANCE:
        return "ok"
    stated = [float(figure) for figure in FIGURE.findall(reason)]
    if stated and max(stated) + 0.05 >= abs(change):
        return "ok, its reason states it"
    return "FAIL: more than 1 %, and the reason states no such figure"


def time_targets(listed, arguments):
    """Each listed entry of engine/ (of --files, and of --mutants) with each mutant it
    matches, as (mutant, key, reason), the mutant None for an entry no mutant matches; in
    the files' order, so that consecutive builds recompile the same file."""
    entries = {key: reason for key, reason in listed.items()
               if key[0].startswith("engine/") and wanted(key[0], arguments.files)}
    if arguments.mutants:
        named = read_equivalents(Path(arguments.mutants), need_reason=False)
        entries = {key: reason for key, reason in entries.items() if key in named}
    made = {}
    for path in sorted({key[0] for key in entries}):
        for mutant in mutants_of(path):
            made.setdefault(mutant.key(), []).append(mutant)
    found = [(mutant, key, reason) for key, reason in entries.items()
             for mutant in made.get(key, [])]
    lost = [(None, key, reason) for key, reason in entries.items() if key not in made]
    return lost + sorted(found, key=lambda target: (target[0].path, target[0].start))


def prepare_time_check(arguments):
    """Builds the unmutated benchmark (with -g, which leaves the code alone and gives
    callgrind the line table) and runs it on every case, or takes the journal's runs."""
    bench = Build("bench", ROOT / "build" / "mutate-bench")
    restore_leftovers(bench)
    configure(bench)
    if not build_tree(bench, arguments.jobs, BENCH_TARGET):
        sys.exit("mutate: the unmutated benchmark does not build")
    program = bench.path / "bench" / BENCH_TARGET
    workloads = subprocess.run([str(program), "--list"], check=True, capture_output=True,
                               text=True).stdout.split()
    journal = TimeJournal(bench.path / TIME_JOURNAL, arguments.resume)
    reach = measure_reach(bench, program, workloads, journal, arguments.jobs)
    return TimeCheck(bench, program, reach, journal, arguments)


def check_time(listed, arguments):
    """Builds each listed mutant of engine/ into the request benchmark and sets its counts
    against the unmutated code's, on the cases that run its code (with --list, only says
    where that is); prints a table and returns the number of entries that fail."""
    started = time.monotonic()
    check = prepare_time_check(arguments)
    head = PLAN_HEAD if arguments.list else TIME_HEAD
    targets, rows = time_targets(listed, arguments), []
    try:
        for mutant, key, reason in targets:
            if mutant is None:
                rows.append((f"{key[0]} ({key[1][:40]})", *["-"] * (len(head) - 2),
                             "FAIL: no longer made"))
            else:
                rows.append((plan_row if arguments.list else time_row)(mutant, reason, check))
            print("  ".join(rows[-1]), file=sys.stderr, flush=True)
    finally:
        build_tree(check.bench, arguments.jobs, BENCH_TARGET)  # leave it unmutated
    entries = len({key for _, key, _ in targets})
    print_time_table(rows, entries, check, time.monotonic() - started)
    if arguments.list:
        print(f"Measuring them takes about a build each and, at one job, the seconds of the "
              f"unmutated runs of their cases: {plan_seconds(targets, check)}.")
    return sum(row[-1].startswith("FAIL") for row in rows)


def plan_seconds(targets, check):
    """The seconds the unmutated runs of the cases of every entry to measure took, per path."""
    cases = []
    for mutant, key, reason in targets:
        found, how = reach_of(mutant, check.reach) if mutant else ([], "unreached")
        if mutant and reach_verdict(found, how, reason, check.arguments.paths) is None:
            cases += [case for case in found if case[1] in check.arguments.paths]
    return per_path(cases, lambda case: check.reach.seconds[case]) or "none"


TIME_HEAD = ("entry", "cases that run it", "runs made", "worst workload/path", "change %", "s",
             "verdict")
PLAN_HEAD = ("entry", "cases that run it", "seconds of their unmutated runs", "verdict")


def print_time_table(rows, entries, check, seconds):
    """The table of the entries' mutants, with a line on what was counted and how long it
    took."""
    arguments = check.arguments
    head = PLAN_HEAD if arguments.list else TIME_HEAD
    widths = [max(len(str(row[k])) for row in [head, *rows]) for k in range(len(head))]
    workloads = len({case[0] for case in check.reach.counts})
    what = ("where each listed mutant's code runs" if arguments.list else
            "each listed mutant against the unmutated code, where its code runs")
    print(f"\nInstructions of one request, {workloads} workloads on the paths "
          f"{', '.join(arguments.paths)}: {what}.\n")
    for row in [head, *rows]:
        print("  ".join(f"{cell:<{width}}" for cell, width in zip(row, widths)).rstrip())
    failed = sum(row[-1].startswith("FAIL") for row in rows)
    print(f"\n{len(rows)} mutants of {entries} entries, {failed} failing, in "
          f"{seconds / 60:.1f} minutes.")
