"""The product's sources as the mutants see them: which files, a mutant and its key, the text
with comments, literals and preprocessor lines blanked, and a mutant written as an entry of
the equivalent list."""

import re
import subprocess
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent.parent
PRODUCT_DIRS = ("engine", "shell", "platform", "host")
SUFFIXES = (".cpp", ".h", ".inc")


@dataclass
class Mutant:
    """One small change to a product file, and what became of it."""
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
        """What the equivalent list matches it by: its file and its lines, spacing folded."""
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


def product_files():
    """The product's source files git tracks, relative to the root."""
    listed = subprocess.run(["git", "ls-files", *PRODUCT_DIRS], cwd=ROOT, check=True,
                            capture_output=True, text=True).stdout.split()
    return [path for path in listed if path.endswith(SUFFIXES)]


def apply(mutant):
    """The file's text with the mutant in it."""
    text = (ROOT / mutant.path).read_text()
    return text[:mutant.start] + mutant.replacement + text[mutant.end:]


def block_of(mutant):
    """The mutant as an entry of the equivalent list (without the reason)."""
    lines = [f"{mutant.path}:{mutant.line} [{mutant.operator}]"]
    lines += ["  - " + line.strip() for line in mutant.before.splitlines()]
    lines += ["  + " + line.strip() for line in mutant.after.splitlines()]
    return "\n".join(lines)


def wanted(path, patterns):
    """True when path is one of patterns (files, folders or globs), or none are given."""
    return not patterns or any(path == p or path.startswith(p.rstrip("/") + "/") or
                               Path(path).match(p) for p in patterns)
