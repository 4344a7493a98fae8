"""Where the unmutated request benchmark runs each line of the tree, for the time check: one
request counted under callgrind, the instructions it runs tied to their lines, the journal
that keeps what was found, and the cases that can see a mutant."""

import functools
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field
from pathlib import Path

from mutation.builds import Build, native_lines
from mutation.operators import is_block_brace
from mutation.source import ROOT, mask, matching_paren


BENCH_TARGET = "lexamund_request_bench"
SIMD_PATHS = ("avx2", "sse2", "none")  # the caps LEXAMUND_SIMD takes, fastest first


REQUEST_FUNCTION = "ProcessEditorInput"  # a request, from its start to its end
TIME_JOURNAL = "time-journal.jsonl"  # in the benchmark's tree; what --resume takes
LOCATION = re.compile(r"^([^\s:][^:]*):(\d+)(?: \(discriminator \d+\))?$")  # in objdump -l
INLINED_BY = re.compile(r"^inlined by ([^:]+):(\d+) ")  # objdump --inlines: the call it is inlined at
INSTRUCTION = re.compile(r"^ *([0-9a-f]+):\t")
ENDS_REQUEST = re.compile(r"^desc: Trigger: --dump-after=", re.M)


def callgrind(program, workload, path, folder, options):
    """Runs one request of workload on the line-search path under callgrind with options, its
    dumps written into folder; True when the request succeeded."""
    command = ["valgrind", "--tool=callgrind", f"--callgrind-out-file={folder / 'callgrind.out'}",
               *options, str(program), f"--one-request={workload}"]
    environment = dict(os.environ, LEXAMUND_SIMD=path)
    return subprocess.run(command, env=environment, capture_output=True).returncode == 0


def request_instructions(program, workload, path):
    """The instructions of one request of workload on the line-search path, counted by
    callgrind inside the request; None when the request fails. The benchmark starts
    callgrind's instrumentation just before the request, so building the document runs at
    nearly native speed (the count is the same)."""
    with tempfile.TemporaryDirectory() as folder:
        options = ["--instr-atstart=no", "--collect-atstart=no",
                   f"--toggle-collect={REQUEST_FUNCTION}"]
        if not callgrind(program, workload, path, Path(folder), options):
            return None
        found = re.search(r"^(?:summary|totals): *(\d+)",
                          (Path(folder) / "callgrind.out").read_text(), re.M)
        return int(found[1]) if found else None


def request_reach(program, workload, path):
    """The unmutated program's request of workload on the path: its instruction count (None
    when it fails), counted as a mutant's is, and the seconds that took; and, from a second
    run dumped as the request starts and as it ends, the addresses of the program's
    instructions run inside the request and of those run outside it (setting up, ending)."""
    started = time.monotonic()
    found = {"count": request_instructions(program, workload, path), "inside": set(),
             "outside": set()}
    found["seconds"] = round(time.monotonic() - started, 2)
    with tempfile.TemporaryDirectory() as folder:
        options = [f"--dump-before={REQUEST_FUNCTION}", f"--dump-after={REQUEST_FUNCTION}",
                   "--dump-instr=yes", "--dump-line=no", "--compress-strings=no",
                   "--compress-pos=no"]
        if not callgrind(program, workload, path, Path(folder), options):
            found["count"] = None
        for dump in Path(folder).glob("callgrind.out*"):
            text = dump.read_text()
            ends = ENDS_REQUEST.search(text) is not None  # from a request's start to its end
            found["inside" if ends else "outside"] |= addresses_run(text, program)
    return found


def addresses_run(text, program):
    """The addresses of the program's instructions that cost something in a callgrind dump
    (written with --dump-instr=yes and --compress-pos=no). The row after a calls= row is the
    call's inclusive cost at its call site, whose instruction has a row of its own."""
    run, ours, after_call, name = set(), False, False, str(program.resolve())
    for row in text.splitlines():
        if row.startswith("ob="):
            ours = row[3:] == name
        elif ours and not after_call and row.startswith("0x"):
            address, cost = row.split()[:2]
            if cost != "0":
                run.add(int(address, 16))
        after_call = row.startswith("calls=")
    return run


def instruction_lines(program):
    """For each instruction of the program (by address), the lines of the tree's files it
    belongs to: the line of its code and, when that code was inlined, the line of each call
    that inlined it; from objdump's disassembly with lines and inlines."""
    listing = subprocess.run(["objdump", "-d", "-l", "--inlines", str(program)], check=True,
                             capture_output=True, text=True).stdout
    found, chains, chain = {}, {}, []
    for row in listing.splitlines():
        place = LOCATION.match(row) or INLINED_BY.match(row)
        instruction = INSTRUCTION.match(row)
        if place:
            chain = chain if row.startswith("inlined by ") else []
            if tree_file(place[1]):
                chain.append((tree_file(place[1]), int(place[2])))
        elif instruction:
            lines = frozenset(chain)
            found[int(instruction[1], 16)] = chains.setdefault(lines, lines)
        elif row.endswith(">:"):  # a symbol: no line until a place is given
            chain = []
    return found


def lines_of(addresses, lines):
    """The lines of the tree the instructions at addresses belong to (lines: of each
    instruction), as file to sorted line numbers."""
    found = {}
    for address in addresses:
        for name, number in lines.get(address, ()):
            found.setdefault(name, set()).add(number)
    return {name: sorted(numbers) for name, numbers in found.items()}


@functools.lru_cache(maxsize=None)
def tree_file(name):
    """The file's path relative to the root when it is in the tree, else None."""
    path = Path(name)
    return str(path.relative_to(ROOT)) if path.is_absolute() and path.is_relative_to(ROOT) else None


def binary_hashes(program):
    """The hash of the program's file, its line table included, and of its code and data
    alone (no debug information, no build id), on which its instruction counts depend."""
    with tempfile.TemporaryDirectory() as folder:
        bare = Path(folder) / "bare"
        subprocess.run(["objcopy", "--strip-debug", "--remove-section=.note.gnu.build-id",
                        str(program), str(bare)], check=True)
        return (hashlib.sha1(program.read_bytes()).hexdigest(),
                hashlib.sha1(bare.read_bytes()).hexdigest())


class TimeJournal:
    """What the time check found, appended to a file as it comes, so that a run with --resume
    takes it up: a benchmark's counts ("count": by the hash of its code, the workload and
    the path), the unmutated benchmark's runs ("reach": by the hash of its whole file, whose
    line table they read) and the code each mutant builds to ("build")."""

    def __init__(self, path, resume):
        self.path, self.found = path, {}
        for row in path.read_text().splitlines() if resume and path.exists() else []:
            try:
                entry = json.loads(row)
            except json.JSONDecodeError:  # the last line of a run killed while writing it
                continue
            self.found[(entry["kind"], json.dumps(entry["key"]))] = entry["value"]

    def has(self, kind, key):
        return (kind, json.dumps(key)) in self.found

    def get(self, kind, key, default=None):
        return self.found.get((kind, json.dumps(key)), default)

    def put(self, kind, key, value):
        self.found[(kind, json.dumps(key))] = value
        with self.path.open("a") as journal:
            journal.write(json.dumps({"kind": kind, "key": key, "value": value}) + "\n")


@dataclass
class Reach:
    """Where the unmutated benchmark runs the tree's lines, in each (workload, path) case: the
    request's instructions, the lines run inside and outside the request, and the seconds
    the run took; the lines with code; and, when first asked, the lines compiled."""
    bench: Build
    program: Path
    whole: str  # the hash of the program's file
    code: str  # the hash of its code and data alone
    counts: dict = field(default_factory=dict)
    inside: dict = field(default_factory=dict)  # case to file to a set of lines
    outside: dict = field(default_factory=dict)
    seconds: dict = field(default_factory=dict)
    coded: dict = field(default_factory=dict)  # file to the lines some instruction belongs to
    compiled: dict = None

    def compiled_lines(self):
        if self.compiled is None:
            self.compiled = {tree_file(name): lines
                             for name, lines in native_lines(self.bench).items()}
        return self.compiled


def measure_reach(bench, program, workloads, journal, jobs):
    """Where the unmutated benchmark runs each line, on every workload and every path (those
    not measured too: an entry is placed by all of them); runs it where the journal does not
    tell."""
    whole, code = binary_hashes(program)
    reach = Reach(bench, program, whole, code)
    lines = instruction_lines(program)
    reach.coded = {name: set(numbers) for name, numbers in lines_of(lines, lines).items()}
    cases = [(workload, path) for path in SIMD_PATHS for workload in workloads]
    run_unmutated([case for case in cases if not journal.has("reach", [whole, *case])],
                  reach, lines, journal, jobs)
    for case in cases:
        runs = journal.get("reach", [whole, *case])
        if runs["count"] is None:
            sys.exit(f"mutate: the unmutated request of {case[0]} fails on {case[1]}")
        reach.counts[case], reach.seconds[case] = runs["count"], runs["seconds"]
        reach.inside[case] = {name: set(numbers) for name, numbers in runs["inside"].items()}
        reach.outside[case] = {name: set(numbers) for name, numbers in runs["outside"].items()}
        if not journal.has("count", [code, *case]):
            journal.put("count", [code, *case], runs["count"])
    return reach


def run_unmutated(cases, reach, lines, journal, jobs):
    """Runs the unmutated benchmark on the cases, jobs at a time, into the journal: the
    count, the seconds, and the lines run inside and outside the request (lines: of each
    instruction)."""
    with ThreadPoolExecutor(max_workers=jobs) as pool:
        found = pool.map(lambda case: request_reach(reach.program, *case), cases)
        for done, (case, runs) in enumerate(zip(cases, found), 1):
            runs["inside"], runs["outside"] = (lines_of(runs[part], lines)
                                               for part in ("inside", "outside"))
            journal.put("reach", [reach.whole, *case], runs)
            print(f"unmutated: {done}/{len(cases)} runs", file=sys.stderr, flush=True)


SCOPE = re.compile(r'(\b(struct|union|enum|namespace|class)\b[^;{}()=]*|\bextern\s*"\s*")$')


def function_lines(mutant):
    """The lines of the outermost function body around the mutant (from its opening brace to
    its closing one), or None for a mutant outside any: in a declaration, an initializer."""
    text = (ROOT / mutant.path).read_text()
    masked, _ = mask(text)
    around = []
    for k in range(mutant.start):
        if masked[k] == "{":
            around.append(k)
        elif masked[k] == "}" and around:
            around.pop()
    for open_at in around:
        if SCOPE.search(masked[:open_at].rstrip()):
            continue  # a namespace's, a class's braces
        if not is_block_brace(masked, open_at):
            return None  # an initializer's
        close_at = matching_paren(masked, open_at)
        return set(range(text.count("\n", 0, open_at) + 1, text.count("\n", 0, close_at) + 2))
    return None


def reach_of(mutant, reach):
    """The cases whose instructions the mutant can change, and how it reaches them. The
    line table does not tie each instruction to its statement (the optimiser moves and
    merges code), so a case counts as running the mutant when it runs code of the function
    around it: "run", those cases; "set-up", every case, when a run runs that code outside its
    request (every request may read what it leaves); "declaration", every case, for a
    mutant outside any function, or in one with no code (the compiler evaluated it, or
    nothing calls it); "unreached", none, when no request runs the function, or the
    benchmark does not compile the mutant's lines."""
    lines = set(range(mutant.line, mutant.line + mutant.before.count("\n") + 1))
    compiled = bool(lines & reach.compiled_lines().get(mutant.path, set()))
    body = function_lines(mutant)
    if body is None:
        return (list(reach.counts), "declaration") if compiled else ([], "unreached")

    def runs(found):
        return bool(body & found.get(mutant.path, set()))

    if any(runs(found) for found in reach.outside.values()):
        return list(reach.counts), "set-up"
    ran = [case for case, found in reach.inside.items() if runs(found)]
    if ran:
        return ran, "run"
    if compiled and not runs(reach.coded):
        return list(reach.counts), "declaration"
    return [], "unreached"
