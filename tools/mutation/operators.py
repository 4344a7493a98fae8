"""The mutation operators, each a generator of (start, end, replacement) over a file's text
and its masked copy, and every mutant of a file that they make."""

import bisect
import re

from mutation.source import (ROOT, Mutant, excluded_spans, mask, matching_paren,
                             top_level_spans)


KEYWORDS = {"if", "while", "for", "switch", "return", "sizeof", "alignof", "alignas", "decltype",
            "static_assert", "defined", "noexcept", "__attribute__", "catch", "else", "case", "do",
            "new", "delete", "throw", "static_cast", "reinterpret_cast", "const_cast"}
DECLARATION_WORDS = {"return", "const", "constexpr", "static", "auto", "using", "typedef", "struct",
                     "class", "enum", "union", "namespace", "extern", "inline", "template",
                     "friend", "goto", "case", "default", "unsigned", "signed", "int", "char",
                     "bool", "void", "long", "short", "float", "double", "volatile"}


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
    """Each integer moved by one either way (never below 0), each truth value flipped, each
    character literal moved by one within a byte."""
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
    """The character literal of a byte: printable as itself, else as a hexadecimal escape."""
    if 32 <= value < 127 and chr(value) not in "'\\":
        return f"'{chr(value)}'"
    return f"'\\x{value:02x}'"


logicals = replacing(LOGICAL, {"&&": ("||",), "||": ("&&",)})


def negations(text, masked, chars):
    """Each if and while condition, and each for loop's condition, negated whole; a constexpr
    if is left alone."""
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
    """Each expression statement made empty, its line breaks kept."""
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
    """Each returned value but nullptr made another of its type (other_return_value)."""
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
    """Each two neighbouring, different arguments of a call swapped."""
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
    """The mutant that replaces text[start:end] by replacement, with the lines it touches as
    written and as mutated."""
    first = bisect.bisect_right(line_starts, start) - 1
    line_begin = line_starts[first]
    line_end = text.find("\n", end)
    line_end = len(text) if line_end < 0 else line_end
    before = text[line_begin:line_end]
    after = text[line_begin:start] + replacement + text[end:line_end]
    return Mutant(path, first + 1, operator, start, end, replacement, before, after)
