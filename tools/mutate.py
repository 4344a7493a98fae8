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
"""

import argparse
import bisect
import functools
import hashlib
import json
import os
import random
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PRODUCT_DIRS = ("engine", "shell", "platform", "host")
SUFFIXES = (".cpp", ".h", ".inc")
EQUIVALENT_LIST = ROOT / "tools" / "mutants-equivalent.txt"
BUILD_TIMEOUT = 1200  # seconds; a build that takes longer counts as not building
KEYWORDS = {"if", "while", "for", "switch", "return", "sizeof", "alignof", "alignas", "decltype",
            "static_assert", "defined", "noexcept", "__attribute__", "catch", "else", "case", "do",
            "new", "delete", "throw", "static_cast", "reinterpret_cast", "const_cast"}
DECLARATION_WORDS = {"return", "const", "constexpr", "static", "auto", "using", "typedef", "struct",
                     "class", "enum", "union", "namespace", "extern", "inline", "template",
                     "friend", "goto", "case", "default", "unsigned", "signed", "int", "char",
                     "bool", "void", "long", "short", "float", "double", "volatile"}


@dataclass
class Mutant:
    path: str  # relative to the source root
    line: int  # of the change's first byte, from 1
    operator: str
    start: int  # the changed bytes of the file, and what replaces them
    end: int
    replacement: str
    before: str  # the lines the change touches, as written and as mutated
    after: str
    kind: str = "native"  # the build it runs in: native, or windows for Windows-only lines
    outcome: str = ""  # killed, survived, equivalent or compile error
    detail: str = ""  # what killed it, or why it is equivalent

    def key(self):
        return (self.path, normalize(self.before), normalize(self.after))


def normalize(lines):
    """The lines with their spacing folded, as the equivalent list compares them."""
    return "\n".join(" ".join(line.split()) for line in lines.splitlines())


# ---- Reading the code ----


def mask(text):
    """The text with comments, literals' contents and preprocessor lines blanked (newlines kept),
    so that patterns see code only; also the spans of the character literals."""
    out = list(text)
    chars = []
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            i = blank_directive(text, out, i)
            continue
        line_start = c == "\n" or (line_start and c in " \t")
        if text.startswith("//", i):
            i = blank_until(text, out, i, "\n", keep_end=True)
        elif text.startswith("/*", i):
            i = blank_until(text, out, i + 2, "*/", start=i)
        elif c in "\"'":
            end = literal_end(text, i)
            if c == "'":
                chars.append((i, end))
            for k in range(i + 1, end - 1):
                out[k] = " "
            i = end
        else:
            i += 1
    return "".join(out), chars


def blank_directive(text, out, i):
    """Blanks a preprocessor line at i, with its continuation lines; returns the next index."""
    while i < len(text) and text[i] != "\n":
        if text[i] == "\\" and text.startswith("\\\n", i):
            out[i] = " "
            i += 2
            continue
        out[i] = " "
        i += 1
    return i


def blank_until(text, out, i, stop, start=None, keep_end=False):
    """Blanks from start (or i) up to and including stop (excluding it with keep_end)."""
    end = text.find(stop, i)
    end = len(text) if end < 0 else end + (0 if keep_end else len(stop))
    for k in range(i if start is None else start, end):
        if out[k] != "\n":
            out[k] = " "
    return end


def literal_end(text, i):
    """The index just past the string or character literal that opens at i."""
    quote = text[i]
    k = i + 1
    while k < len(text) and text[k] != quote:
        k += 2 if text[k] == "\\" else 1
    return k + 1


def matching_paren(masked, i):
    """The index of the bracket that closes the one at i."""
    pairs = {"(": ")", "[": "]", "{": "}"}
    stack = []
    for k in range(i, len(masked)):
        if masked[k] in pairs:
            stack.append(pairs[masked[k]])
        elif stack and masked[k] == stack[-1]:
            stack.pop()
            if not stack:
                return k
    return len(masked) - 1


def top_level_spans(masked, start, end, separator):
    """The stripped spans between separators at bracket depth 0 within [start, end)."""
    spans, depth, begin = [], 0, start
    for k in range(start, end + 1):
        c = masked[k] if k < end else separator
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif c == separator and depth == 0:
            piece = masked[begin:k]
            lead = len(piece) - len(piece.lstrip())
            spans.append((begin + lead, begin + len(piece.rstrip())))
            begin = k + 1
    return spans


def excluded_spans(masked):
    """Spans no operator touches: static_assert and alignas arguments, which check or lay out
    rather than behave."""
    spans = []
    for match in re.finditer(r"\b(static_assert|alignas)\s*\(", masked):
        spans.append((match.start(), matching_paren(masked, match.end() - 1) + 1))
    return spans


# ---- The operators: each yields (start, end, replacement) ----

COMPARISON = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)")
COMPARISON_CHANGES = {"<": ("<=", ">"), "<=": ("<", ">="), ">": (">=", "<"), ">=": (">", "<="),
                      "==": ("!=",), "!=": ("==",)}
INTEGER = re.compile(r"(?<![\w.])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.])")
BOOLEAN = re.compile(r"\b(true|false)\b")
LOGICAL = re.compile(r"(?<=\s)(&&|\|\|)(?=\s)")
CONDITION = re.compile(r"\b(if|while|for)\s*\(")
RETURN = re.compile(r"\breturn\b")
CALL = re.compile(r"(?<!\w)[A-Za-z_]\w*(?:\s*(?:\.|->|::)\s*[A-Za-z_]\w*)*\s*\(")


def replacing(pattern, changes):
    """An operator that replaces each match of pattern (its group 1) by each of its changes."""
    def make(text, masked, chars):
        for match in pattern.finditer(masked):
            for other in changes[match[1]]:
                yield match.start(), match.end(), other
    return make


comparisons = replacing(COMPARISON, COMPARISON_CHANGES)


def constants(text, masked, chars):
    for match in INTEGER.finditer(masked):
        digits, suffix = match[1], match[2]
        value = int(digits, 16) if digits[:2].lower() == "0x" else int(digits)
        negative = masked[:match.start()].endswith("-")
        for moved in (value + 1, value - 1):
            if moved > 0 or (moved == 0 and not negative):
                yield match.start(), match.end(), format_integer(digits, moved) + suffix
    for match in BOOLEAN.finditer(masked):
        yield match.start(), match.end(), "false" if match[1] == "true" else "true"
    for start, end in chars:
        value = char_value(text[start + 1:end - 1])
        for moved in (value + 1, value - 1):
            if value is not None and 0 <= moved < 256:
                yield start, end, char_literal(moved)


def format_integer(digits, value):
    """value written as digits is: hexadecimal with the same case and at least its width."""
    if digits[:2].lower() != "0x":
        return str(value)
    body = format(value, "X" if digits[2:] != digits[2:].lower() else "x").zfill(len(digits) - 2)
    return digits[:2] + body


def char_value(body):
    """The byte a character literal's body stands for, or None for one this does not read."""
    escapes = {"\\0": 0, "\\n": 10, "\\t": 9, "\\r": 13, "\\\\": 92, "\\'": 39, '\\"': 34}
    if body in escapes:
        return escapes[body]
    if body.startswith("\\x"):
        return int(body[2:], 16)
    return ord(body) if len(body) == 1 else None


def char_literal(value):
    if 32 <= value < 127 and chr(value) not in "'\\":
        return f"'{chr(value)}'"
    return f"'\\x{value:02x}'"


logicals = replacing(LOGICAL, {"&&": ("||",), "||": ("&&",)})


def negations(text, masked, chars):
    for match in CONDITION.finditer(masked):
        if masked.startswith("constexpr", match.end()):
            continue
        open_at = match.end() - 1
        close_at = matching_paren(masked, open_at)
        if match[1] == "for":
            parts = top_level_spans(masked, open_at + 1, close_at, ";")
            if len(parts) != 3 or parts[1][0] == parts[1][1]:
                continue
            start, end = parts[1]
        else:
            start, end = open_at + 1, close_at
        yield start, end, "!(" + text[start:end] + ")"


def deletions(text, masked, chars):
    for start, end in expression_statements(masked):
        yield start, end, ";" + "\n" * text.count("\n", start, end)


def expression_statements(masked):
    """Spans of the statements that do something and declare nothing: calls, assignments,
    increments, break and continue; each span ends with its ';'."""
    depth = 0
    boundary = 0
    for k, c in enumerate(masked):
        if c in "([":
            depth += 1
        elif c in ")]":
            depth -= 1
        elif depth == 0 and c in "{}" and is_block_brace(masked, k):
            boundary = k + 1
        elif depth == 0 and c == ";":
            start = statement_start(masked, boundary, k)
            if start is not None:
                yield start, k + 1
            boundary = k + 1


def is_block_brace(masked, k):
    """True for the braces of a block, a body or a scope; false for an initializer's."""
    open_at = k if masked[k] == "{" else matching_open(masked, k)
    before = masked[:open_at].rstrip()
    if not before or before[-1] in ');{}"':
        return True
    word = re.search(r"(\w+)\s*$", before)
    if word and word[1] in ("else", "do", "try", "const", "noexcept", "override"):
        return True
    return re.search(r"\b(struct|union|enum|namespace|class)\b[^;{}()=]*$", before) is not None


def matching_open(masked, k):
    """The index of the '{' that the '}' at k closes."""
    depth = 0
    for i in range(k, -1, -1):
        if masked[i] == "}":
            depth += 1
        elif masked[i] == "{":
            depth -= 1
            if depth == 0:
                return i
    return 0


def statement_start(masked, boundary, semicolon):
    """Where the expression statement that ends at semicolon begins, past any control
    headers before it; None for a declaration or an empty statement."""
    start = boundary
    while True:
        start = semicolon - len(masked[start:semicolon].lstrip())
        header = re.match(r"(else\b|(if|while|for|switch)\s*\()", masked[start:semicolon])
        if header is None:
            break
        start += header.end()
        if header[2] is not None:
            start = matching_paren(masked, start - 1) + 1
    body = masked[start:semicolon].strip()
    first = re.match(r"\w*", body)[0]
    if not body or body.startswith("(void)") or first in DECLARATION_WORDS:
        return None
    if re.match(r"[\w:]+(<[^;]*>)?[\s*&]+[A-Za-z_]", body):
        return None  # a type, then a name: a declaration
    return start


def returns(text, masked, chars):
    for match in RETURN.finditer(masked):
        semicolon = top_level_spans(masked, match.end(), len(masked), ";")[0]
        start, end = semicolon
        value = text[start:end].strip()
        if not value or value == "nullptr" or end <= start:
            continue
        yield start, end, other_return_value(value)


def other_return_value(value):
    """A different value of the same type: the other truth value, another number, or the
    zero of the type."""
    flips = {"true": "false", "false": "true", "0": "1", "-1": "0", "{}": "1"}
    if value in flips:
        return flips[value]
    if re.fullmatch(r"\d+[uUlL]*", value):
        return "0"
    return "{}"


def swaps(text, masked, chars):
    for match in CALL.finditer(masked):
        name = re.split(r"\s*(?:\.|->|::)\s*", match[0].rstrip("( \t\n"))[-1]
        if name in KEYWORDS or name in DECLARATION_WORDS or not is_call_context(masked, match.start()):
            continue
        open_at = match.end() - 1
        arguments = top_level_spans(masked, open_at + 1, matching_paren(masked, open_at), ",")
        for (a_start, a_end), (b_start, b_end) in zip(arguments, arguments[1:]):
            first, second = text[a_start:a_end], text[b_start:b_end]
            if first and second and first != second:
                yield a_start, b_end, second + text[a_end:b_start] + first


def is_call_context(masked, start):
    """True when a name followed by '(' at start is called, not declared: the name does not
    follow a type (a word, or a '*', '&' or '>' stuck to one)."""
    before = masked[:start].rstrip()
    if not before:
        return True
    last = before[-1]
    if last in "*&>":
        return len(before) < 2 or before[-2] in " \t\n"
    word = re.search(r"(\w+)$", before)
    return word is None or word[1] in ("return", "else", "case", "do")


# Binary operators stand between blanks, as clang-format writes them; a pointer's or a
# reference's '*' or '&' sticks to its type, and a unary '-', '!' or '~' to its operand.
ARITHMETIC = re.compile(r"(?<=\s)([-+*/%])(?=\s)")
ARITHMETIC_CHANGES = {"+": ("-",), "-": ("+",), "*": ("/",), "/": ("*",), "%": ("/",)}
BITWISE = re.compile(r"(?<=\s)([&|^])(?=\s)")
BITWISE_CHANGES = {"&": ("|", "^"), "|": ("&", "^"), "^": ("|", "&")}
SHIFT = re.compile(r"(?<=\s)(<<|>>)(?=\s)")
COMPOUND = re.compile(r"(?<=\s)(\+=|-=|\|=|&=|\^=|<<=|>>=)(?=\s)")
# Each compound assignment made another, and made a plain assignment.
COMPOUND_CHANGES = {"+=": ("-=", "="), "-=": ("+=", "="), "|=": ("&=", "^=", "="),
                    "&=": ("|=", "="), "^=": ("|=", "&=", "="), "<<=": (">>=", "="),
                    ">>=": ("<<=", "=")}
INCREMENT = re.compile(r"(\+\+|--)")
UNARY = re.compile(r"[~!](?!=)")

arithmetic = replacing(ARITHMETIC, ARITHMETIC_CHANGES)
bitwise = replacing(BITWISE, BITWISE_CHANGES)
shifts = replacing(SHIFT, {"<<": (">>",), ">>": ("<<",)})
compound = replacing(COMPOUND, COMPOUND_CHANGES)
increments = replacing(INCREMENT, {"++": ("--",), "--": ("++",)})


def unary(text, masked, chars):
    """A '~' or '!' removed, except a '!' that negates a whole if, while or for condition,
    which the negation operator's mutant already undoes."""
    whole = {start for start, end, _ in negations(text, masked, chars)
             if masked[start] == "!" and operand_end(masked, start + 1) >= end}
    for match in UNARY.finditer(masked):
        if match.start() not in whole:
            yield match.start(), match.end(), ""


def operand_end(masked, start):
    """Where the unary operand that begins at start ends: a bracket, or a run of names,
    calls, indexes and member accesses."""
    k = start
    while k < len(masked):
        if masked[k] in "([":
            k = matching_paren(masked, k) + 1
        elif re.match(r"[\w.]|->|::", masked[k:k + 2]):
            k += 2 if masked[k] in "-:" else 1
        else:
            break
    return len(masked[:k].rstrip())


OPERATORS = {"comparison": comparisons, "constant": constants, "logical": logicals,
             "negation": negations, "deletion": deletions, "return": returns,
             "swap": swaps, "arithmetic": arithmetic, "bitwise": bitwise, "shift": shifts,
             "compound": compound, "increment": increments, "unary": unary}


# ---- Making the mutants ----


def product_files():
    listed = subprocess.run(["git", "ls-files", *PRODUCT_DIRS], cwd=ROOT, check=True,
                            capture_output=True, text=True).stdout.split()
    return [path for path in listed if path.endswith(SUFFIXES)]


def mutants_of(path):
    """Every mutant of one file, in the order of the file."""
    text = (ROOT / path).read_text()
    masked, chars = mask(text)
    excluded = excluded_spans(masked)
    line_starts = [0] + [k + 1 for k, c in enumerate(text) if c == "\n"]
    found, seen = [], set()
    for operator, make in OPERATORS.items():
        for start, end, replacement in make(text, masked, chars):
            if any(s <= start < e for s, e in excluded) or text[start:end] == replacement:
                continue
            if (start, end, replacement) not in seen:
                seen.add((start, end, replacement))
                found.append(describe(path, text, line_starts, operator, start, end, replacement))
    return sorted(found, key=lambda m: (m.start, m.end))


def describe(path, text, line_starts, operator, start, end, replacement):
    first = bisect.bisect_right(line_starts, start) - 1
    line_begin = line_starts[first]
    line_end = text.find("\n", end)
    line_end = len(text) if line_end < 0 else line_end
    before = text[line_begin:line_end]
    after = text[line_begin:start] + replacement + text[end:line_end]
    return Mutant(path, first + 1, operator, start, end, replacement, before, after)


def apply(mutant):
    """The file's text with the mutant in it."""
    text = (ROOT / mutant.path).read_text()
    return text[:mutant.start] + mutant.replacement + text[mutant.end:]


# ---- The two build trees ----

# The native tree's test programs parse GoogleTest once, from a precompiled header, so that a
# mutant in a header they share with the product rebuilds them in half the time.
PRECOMPILED_TESTS = """\
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL mutate_precompile_tests)
function(mutate_precompile_tests)
  get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR}/tests PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_precompile_headers(${target} PRIVATE <gtest/gtest.h>)
    endif()
  endforeach()
endfunction()
"""
# Windows tests left out: the interactive demo in a terminal (12 s, and the same requests as
# the scripted ones) and the release archive (made by the package target, not by a build).
WINDOWS_SKIPPED_TESTS = r"^(demo[.]tmux_interactive|release_archive)$"
WINDOWS_TOOLS = ("i686-w64-mingw32-g++-posix", "wine", "wineserver")
REGISTRY_FILES = ("system.reg", "user.reg", "userdef.reg")


@dataclass
class Build:
    """A build tree the mutants are built in, and what its unmutated build gave."""
    kind: str  # native, sanitized (native, for a survivor's second chance) or windows
    path: Path
    ready: bool = False  # built unmutated, its tests passed (and wine started)
    baseline: dict = field(default_factory=dict)  # object file to hash
    built: bool = False  # built unmutated, its baseline taken
    output: str = ""  # what the last build printed
    times: dict = field(default_factory=dict)  # test program to seconds, fastest first
    lines: dict = None  # for each source file, the lines its product code compiles


def configure(build):
    """Configures the tree: native Release at -O1, with AddressSanitizer and
    UndefinedBehaviorSanitizer for the sanitized one, the Windows build as shipped, its
    plug-in folder inside the tree, or the benchmarks as the bench preset builds them."""
    sanitize = "ON" if build.kind == "sanitized" else "OFF"
    bench = "ON" if build.kind == "bench" else "OFF"
    tests = "OFF" if build.kind == "bench" else "ON"
    options = ["-G", "Unix Makefiles", "-DCMAKE_BUILD_TYPE=Release", f"-DLEXAMUND_TESTS={tests}",
               f"-DLEXAMUND_BENCH={bench}", "-DLEXAMUND_FUZZ=OFF", f"-DLEXAMUND_SANITIZE={sanitize}"]
    build.path.mkdir(parents=True, exist_ok=True)
    if build.kind == "bench":  # as the bench preset builds it, with the line table for callgrind
        options += ["-DCMAKE_CXX_FLAGS=-g"]  # which leaves GCC's code as it is
    elif build.kind != "windows":
        include = build.path / "precompiled-tests.cmake"
        include.write_text(PRECOMPILED_TESTS)
        options += ["-DCMAKE_CXX_FLAGS_RELEASE=-O1", f"-DCMAKE_PROJECT_INCLUDE={include}",
                    "-DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST"]
    else:
        options += [f"-DCMAKE_TOOLCHAIN_FILE={ROOT / 'cmake' / 'mingw-i686.cmake'}",
                    f"-DLEXAMUND_DIST_ROOT={build.path / 'dist'}"]
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build.path), *options], check=True,
                   stdout=subprocess.DEVNULL)


def build_tree(build, jobs, target=None):
    """True when the build (of target alone, if given) succeeded; the build's output is kept
    in build.output."""
    command = ["cmake", "--build", str(build.path), "-j", str(jobs)]
    command += ["--target", target] if target else []
    result, build.output = run_group(command, BUILD_TIMEOUT, ROOT)
    return result == "pass"


def object_hashes(build, since=0.0):
    """The hash of every object file of the tree written at or after since."""
    hashes = {}
    for path in build.path.rglob("*.o*"):
        if path.suffix in (".o", ".obj") and path.stat().st_mtime >= since:
            hashes[path] = hashlib.sha1(path.read_bytes()).hexdigest()
    return hashes


def native_lines(build):
    """For each source file, the lines the build's product code compiles (from its
    preprocessed translation units); a line the native build leaves out is Windows-only."""
    entries = json.loads((build.path / "compile_commands.json").read_text())
    active = {}
    for entry in entries:
        source = Path(entry["file"]).resolve()
        if source.is_relative_to(ROOT) and source.relative_to(ROOT).parts[0] in PRODUCT_DIRS:
            lines_of_unit(entry, active)
    return active


def lines_of_unit(entry, active):
    """Adds the lines of each file that the unit's preprocessed text keeps."""
    words = shlex.split(entry["command"])
    output_at = words.index("-o")
    command = [w for k, w in enumerate(words) if k not in (output_at, output_at + 1) and w != "-c"]
    output = subprocess.run(command + ["-E"], cwd=entry["directory"], check=True,
                            capture_output=True, text=True).stdout
    current, number = None, 0
    for out_line in output.splitlines():
        marker = re.match(r'# (\d+) "([^"]*)"', out_line)
        if marker:
            number, current = int(marker[1]), str(Path(entry["directory"], marker[2]).resolve())
            continue
        if out_line.strip():
            active.setdefault(current, set()).add(number)
        number += 1


# ---- Running the tests ----


def run_group(command, timeout, cwd):
    """Runs command in a process group of its own, which is ended with it (also on Ctrl+C);
    returns 'pass', 'fail' or 'hang', and the output."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, errors="replace",
                               start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        return ("pass" if process.returncode == 0 else "fail"), output
    except subprocess.TimeoutExpired:
        return "hang", ""
    finally:
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


def native_command(program):
    return [str(program), "--gtest_fail_fast", "--gtest_brief=1"]


def windows_command(build, timeout):
    return ["ctest", "--test-dir", str(build.path), "--stop-on-failure", "-E",
            WINDOWS_SKIPPED_TESTS, "--timeout", str(int(timeout))]


def wine_prefix(build, action):
    """Starts or stops the Windows tree's wineserver; stop waits until it has saved the
    registry and ended."""
    subprocess.run([str(ROOT / "tools" / "wine-prefix.sh"), action, str(build.path)], check=True)
    if action == "stop":
        environment = dict(os.environ, WINEPREFIX=str(build.path / "wineprefix"))
        subprocess.run(["wineserver", "-w"], env=environment, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


def registry_as_started(build, save):
    """Saves the wine prefix's registry as the unmutated tests leave it, or puts it back
    before a mutant's tests: a test a mutant stopped midway leaves its keys behind, which
    would fail the next mutant's tests."""
    wine_prefix(build, "stop")
    saved = build.path / "pristine-registry"
    saved.mkdir(exist_ok=True)
    for name in REGISTRY_FILES:
        source, target = build.path / "wineprefix" / name, saved / name
        shutil.copy2(*((source, target) if save else (target, source)))
    wine_prefix(build, "start")


def start_tests(build):
    """Runs the tests on the unmutated tree (starting wine for the Windows one) and keeps
    their times; exits if a test fails."""
    if build.kind == "windows":
        if (build.path / "pristine-registry").exists():  # as an earlier run left it
            registry_as_started(build, save=False)
        else:
            wine_prefix(build, "start")
        programs = [None]
    else:
        programs = [p for p in (build.path / "tests").glob("*_tests") if os.access(p, os.X_OK)]
    for program in programs:
        started = time.monotonic()
        command = windows_command(build, 600) if program is None else native_command(program)
        result, output = run_group(command, None, build.path if program is None else
                                   program.parent)
        if result != "pass":
            sys.exit(f"mutate: the {build.kind} tests fail without a mutant:\n{output}")
        build.times[program] = time.monotonic() - started
    build.times = dict(sorted(build.times.items(), key=lambda item: item[1]))
    if build.kind == "windows":
        registry_as_started(build, save=True)


def stop_tests(build):
    if build.ready and build.kind == "windows":
        wine_prefix(build, "stop")


def first_failure(build, factor):
    """The first test program (or Windows test) that fails or hangs, or None when all pass."""
    for program, seconds in build.times.items():
        timeout = max(10.0, factor * seconds)
        if program is None:
            registry_as_started(build, save=False)
            result, output = run_group(windows_command(build, timeout), None, build.path)
            failed = re.search(r"#\d+: (\S+) \.*\s*\*+(\w+)", output)
            name = failed[1] if failed else "ctest"
            result = "hang" if failed and failed[2] == "Timeout" else result
        else:
            result, _ = run_group(native_command(program), timeout, program.parent)
            name = program.name
        if result != "pass":
            return name + (" (hang)" if result == "hang" else "")
    return None


# ---- Applying and restoring ----


def pristine_copy(build, path):
    return build.path / "pristine" / path


def restore_leftovers(build):
    """Puts back any original that a killed run left in the tree."""
    copies = build.path / "pristine"
    for copy in sorted(copies.rglob("*")) if copies.exists() else []:
        if copy.is_file():
            target = ROOT / copy.relative_to(copies)
            target.write_bytes(copy.read_bytes())
            copy.unlink()
            print(f"mutate: restored {target.relative_to(ROOT)} from an interrupted run",
                  file=sys.stderr)


def build_mutant(mutant, build, jobs, target=None):
    """Builds with the mutant in its file; the file is restored before this returns."""
    source = ROOT / mutant.path
    original = source.read_bytes()
    copy = pristine_copy(build, mutant.path)
    copy.parent.mkdir(parents=True, exist_ok=True)
    copy.write_bytes(original)
    try:
        source.write_text(apply(mutant))
        return build_tree(build, jobs, target)
    finally:
        source.write_bytes(original)
        copy.unlink()


class Stop(Exception):
    """A signal asked the run to end."""


def on_signal(number, frame):
    raise Stop(signal.Signals(number).name)


# ---- The list of equivalent mutants ----


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


# ---- Listed equivalents measured for time ----

BENCH_TARGET = "lexamund_request_bench"
SIMD_PATHS = ("avx2", "sse2", "none")  # the caps LEXAMUND_SIMD takes, fastest first
TIME_TOLERANCE = 1.0  # per cent: a listed mutant may move a request's instructions this much
FIGURE = re.compile(r"(\d+(?:\.\d+)?) ?%")
UNREACHED = "no request reaches"  # in a reason: no workload runs the entry's code, and why
REQUEST_FUNCTION = "ProcessEditorInput"  # a request, from its start to its end
TIME_JOURNAL = "time-journal.jsonl"  # in the benchmark's tree; what --resume takes
LOCATION = re.compile(r"^([^\s:][^:]*):(\d+)(?: \(discriminator \d+\))?$")  # in objdump -l
INLINED_BY = re.compile(r"^inlined by ([^:]+):(\d+) ")  # objdump --inlines: the call it is inlined at
INSTRUCTION = re.compile(r"^ *([0-9a-f]+):\t")
ENDS_REQUEST = re.compile(r"^desc: Trigger: --dump-after=", re.M)
MISSING = object()


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


def block_of(mutant):
    """The mutant as an entry of the equivalent list (without the reason)."""
    lines = [f"{mutant.path}:{mutant.line} [{mutant.operator}]"]
    lines += ["  - " + line.strip() for line in mutant.before.splitlines()]
    lines += ["  + " + line.strip() for line in mutant.after.splitlines()]
    return "\n".join(lines)


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


def make_built(build, jobs):
    """Configures and builds the unmutated tree and takes its object code's hashes, once."""
    if build.built:
        return
    configure(build)
    if not build_tree(build, jobs):
        sys.exit(f"mutate: the unmutated {build.kind} tree does not build")
    build.baseline = object_hashes(build)
    build.built = True


def make_ready(build, jobs):
    """make_built, then runs the unmutated tree's tests, once."""
    if build.ready:
        return
    make_built(build, jobs)
    # A survivor compiled here for the static checks left its objects: build them afresh.
    if not build_tree(build, jobs):
        sys.exit(f"mutate: the unmutated {build.kind} tree does not build")
    start_tests(build)
    build.ready = True


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
    with path.open("a") as journal:
        journal.write(json.dumps({"tree": tree, "mutant": journal_entry(mutant),
                                  "outcome": mutant.outcome, "detail": mutant.detail}) + "\n")


def wanted(path, patterns):
    return not patterns or any(path == p or path.startswith(p.rstrip("/") + "/") or
                               Path(path).match(p) for p in patterns)


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
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


def main():
    arguments = parse_arguments()
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


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (KeyboardInterrupt, Stop) as stop:
        sys.exit(f"mutate: stopped ({stop or 'Ctrl+C'}); every source file is as it was")
