"""The command line of tools/mutate.py: its options, and the run, the list, the equivalent
list's check or the time check that they ask for."""

import argparse
import signal

from mutation.builds import Build, build_tree, configure, on_signal, restore_leftovers
from mutation.equivalents import EQUIVALENT_LIST, check_list, read_equivalents
from mutation.operators import OPERATORS
from mutation.screen import make_mutants, run_mutants
from mutation.source import ROOT, block_of
from mutation.time_check import check_time
from mutation.time_reach import SIMD_PATHS


def parse_arguments(manual):
    """The options, described by the first line of manual (the entry script's docstring)."""
    parser = argparse.ArgumentParser(description=manual.split("\n")[0])
    parser.add_argument("--files", nargs="+", metavar="PATH",
                        help="only these files (paths, folders or globs)")
    parser.add_argument("--sample", type=int, metavar="N", help="at most N mutants per file")
    parser.add_argument("--seed", default="0", help="the sample's seed (default 0)")
    parser.add_argument("--operators", nargs="+", choices=list(OPERATORS), metavar="NAME",
                        help="only these operators: " + ", ".join(OPERATORS))
    parser.add_argument("--by-operator", action="store_true",
                        help="--sample takes at most N mutants of each operator of a file")
    parser.add_argument("--check-list", action="store_true",
                        help="check the equivalent list: entries no mutant matches any more, "
                             "entries whose line moved, entries whose mutant does not build")
    parser.add_argument("--check-time", action="store_true",
                        help="count a request's instructions with each listed mutant of engine/ "
                             "(those of --files) against the unmutated code's, where its code "
                             "runs")
    parser.add_argument("--paths", nargs="+", choices=SIMD_PATHS, default=list(SIMD_PATHS),
                        help="the line-search paths --check-time counts (default all)")
    parser.add_argument("--list", action="store_true",
                        help="list the mutants, run nothing; with --check-time, where each "
                             "entry's code runs, without building it")
    parser.add_argument("--mutants", metavar="FILE",
                        help="only the mutants FILE lists, as the survivors are printed "
                             "(with --check-time, only the entries it lists)")
    parser.add_argument("--native-only", action="store_true",
                        help="leave out the mutants only the Windows build compiles")
    parser.add_argument("--jobs", type=int, default=2, help="build jobs (default 2)")
    parser.add_argument("--timeout-factor", type=float, default=5.0, metavar="F",
                        help="a test program hangs after F times its usual time (at least 10 s)")
    parser.add_argument("--resume", action="store_true",
                        help="take the outcomes an earlier run of the same tree recorded "
                             "(with --check-time, the counts it recorded)")
    parser.add_argument("--verbose", action="store_true",
                        help="also print the mutants that compile to the same object code")
    return parser.parse_args()


def main(manual):
    """Runs what the command line asks for: the time check, the equivalent list's check, the
    list of mutants or a run of them; returns the exit status. manual is the entry script's
    docstring, whose first line describes the options."""
    arguments = parse_arguments(manual)
    for number in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, on_signal)
    trees = (("native", "mutate"), ("sanitized", "mutate-asan"), ("windows", "mutate-win32"))
    builds = {kind: Build(kind, ROOT / "build" / name) for kind, name in trees}
    for build in builds.values():
        restore_leftovers(build)
    if arguments.check_time:
        return 1 if check_time(read_equivalents(EQUIVALENT_LIST), arguments) else 0
    configure(builds["native"])
    if arguments.check_list:
        try:
            return 1 if check_list(read_equivalents(EQUIVALENT_LIST), builds,
                                   arguments.jobs) else 0
        finally:
            for build in builds.values():
                if build.built:  # leave the tree built from the unmutated sources
                    build_tree(build, arguments.jobs)
    chosen, made = make_mutants(arguments, builds["native"])
    if arguments.list:
        for mutant in chosen:
            print(block_of(mutant) + "\n")
        print(f"{len(chosen)} of {made} mutants")
        return 0
    return run_mutants(chosen, made, builds, arguments)
