#!/usr/bin/env python3
"""Mutation testing of the plug-in's code: would the tests catch a small fault?

Makes mutants of the product code (engine/, shell/, platform/, host/: .cpp, .h, .inc), one
small change each: a comparison changed, a constant moved by one, && for || and back, a
condition negated, a statement deleted, a different return value, two arguments swapped,
an arithmetic, bitwise or shift operator changed, a compound assignment changed or made a
plain one, ++ for -- and back, a unary ~ or ! removed; all of them, or a seeded sample of
each file's (or of each operator's in a file). Each is built on an incremental build
without sanitizers (build/mutate, Release at -O1), and the native test programs run against
it, fastest first, each stopping at its first failure and within a time limit (a hang
counts as caught). A mutant that does not build is counted apart; one whose object code is
the original's cannot be caught and counts as equivalent, as do those listed in
tools/mutants-equivalent.txt. A mutant that survives gets a second chance in a tree with
AddressSanitizer and UndefinedBehaviorSanitizer (build/mutate-asan), as the project's own
native test run has them, and is then compiled in the Windows build, whose static_asserts
hold the host records to their i686 layout. A survivor in a header whose line the Windows
build compiles too is also built into that build and run through its tests under wine, as
the project's own test run has them. Prints a table per file and every mutant that
survived, in the equivalent list's format.

Lines the native build does not compile (the DLL's entry point, the Windows platform table,
the i686-only branches) are mutated in a Windows build of their own (build/mutate-win32,
its plug-in folder inside it) and tested there under wine: every Windows test but the
terminal demo and the release archive, stopping at the first failure.

The source file is restored after every build, also on Ctrl+C or an error; a copy of the
original waits in the build tree while a mutant is applied and is put back by the next run
should this one be killed outright. Run it from a clone when working in the same tree.

    tools/mutate.py                                  # every mutant (hours)
    tools/mutate.py --sample 15 --seed 1             # at most 15 of each file's
    tools/mutate.py --files engine/menu.cpp shell/   # only these files
    tools/mutate.py --list --files engine/menu.cpp   # the mutants, without running them
    tools/mutate.py --mutants survivors.txt          # only these (a run's survivors, say)
    tools/mutate.py --operators bitwise shift --sample 10 --by-operator   # 10 of each kind
    tools/mutate.py --check-list                     # the equivalent list against today's code
    tools/mutate.py --check-time --paths sse2        # listed engine mutants: a request's cost

--check-time builds each listed mutant of engine/ into the request benchmark and counts the
instructions of one request with callgrind, against the unmutated code, on the workloads
and line-search paths (LEXAMUND_SIMD) whose request runs the function around the mutant
(every one for a mutant outside any function, or in code that also runs outside a
request), as the unmutated benchmark's runs tell. A mutant that moves a count by more than
1 % fails, unless its reason states a figure at least as large (and says why that time does
not matter); so does one whose function no request runs, unless its reason says why "no
request reaches" it. What it finds goes to build/mutate-bench/time-journal.jsonl as it
comes; --resume takes it up.

    tools/mutate.py --check-time --list --resume     # where each entry runs, building nothing
    tools/mutate.py --check-time --resume --paths none --files engine/line_search.cpp

The tool's parts are the package tools/mutation: source (the files and the mutant), operators,
builds (the trees, applying and restoring, running tests), screen (judging a run's mutants,
its journal and report), equivalents (the list and --check-list), time_reach and time_check
(--check-time), and cli (the options and the run).
"""

import sys

from mutation.builds import Stop
from mutation.cli import main

if __name__ == "__main__":
    try:
        sys.exit(main(__doc__))
    except (KeyboardInterrupt, Stop) as stop:
        sys.exit(f"mutate: stopped ({stop or 'Ctrl+C'}); every source file is as it was")
