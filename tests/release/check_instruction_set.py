#!/usr/bin/env python3
"""Holds the shipped DLL's code to the oldest processor it claims: the Pentium Pro (i686).

Usage: check_instruction_set.py SHIPPED_DLL BUILD_DLL OBJDUMP

The shipped DLL is the build copy stripped, so its code must be byte for byte the build
copy's; the build copy's symbols then name every function. Outside the functions that the
processor check guards, no instruction may go beyond the Pentium Pro: no MMX, SSE or AVX
register, and none of the later instructions listed below. The guarded functions are the
SSE2 and AVX2 line searches, the searches compiled for each setting in their namespaces
(reached only through their own path tables, which only a path the processor check chose
reads), and every function that only they call; ReadXcr0 may read XCR0
(xgetbv), which the processor's report asks for only once cpuid has said the system enabled it.

The linker keeps the constructor and destructor lists in the code section too. The DLL runs
no start-up code that would call constructors, so both lists must be empty.
"""
import re
import subprocess
import sys

GUARDED_ROOTS = ("SearchLineSse2", "SearchLineAvx2", "_GLOBAL__N_14sse2", "_GLOBAL__N_14avx2")
ALLOWED_IN = {"ReadXcr0": {"xgetbv"}}
VECTOR_REGISTER = re.compile(r"%(?:[xyz]mm\d+|mm\d|k[0-7])\b")
LATER_INSTRUCTIONS = {
    "xgetbv", "xsetbv", "xsave", "xsaveopt", "xrstor", "fxsave", "fxrstor", "ldmxcsr",
    "stmxcsr", "sfence", "lfence", "mfence", "clflush", "clflushopt", "clwb", "prefetchnta",
    "prefetcht0", "prefetcht1", "prefetcht2", "prefetchw", "movnti", "popcnt", "lzcnt",
    "tzcnt", "movbe", "crc32", "andn", "bextr", "blsi", "blsmsk", "blsr", "bzhi", "mulx",
    "pdep", "pext", "rorx", "sarx", "shlx", "shrx", "adcx", "adox", "rdrand", "rdseed",
    "rdtscp", "sysenter", "sysexit", "syscall", "sysret", "monitor", "mwait", "fisttp",
    "emms", "femms", "endbr32", "(bad)",
}
EMPTY_LISTS = {"__CTOR_LIST__", "__DTOR_LIST__"}
EMPTY_LIST = bytes.fromhex("ffffffff00000000")  # the -1 that opens a list, and its 0 end
FUNCTION = re.compile(r"^([0-9a-f]+) <(.+)>:$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$")
BRANCH = re.compile(r"^(call|jmp)l?$")
TARGET = re.compile(r"^([0-9a-f]+) <([^+>]+)>")


def section(objdump, path, name):
    """The bytes and address of one section of a PE file."""
    for line in subprocess.run([objdump, "-h", path], capture_output=True, text=True,
                               check=True).stdout.splitlines():
        fields = line.split()
        if len(fields) >= 6 and fields[1] == name:
            size, vma, offset = int(fields[2], 16), fields[3], int(fields[5], 16)
            with open(path, "rb") as image:
                image.seek(offset)
                return image.read(size), vma
    sys.exit(f"{path}: no {name} section")


def disassemble(objdump, path):
    """Functions of the build copy: name -> list of (address, mnemonic, operands)."""
    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", "-j", ".text", path],
                             capture_output=True, text=True, check=True).stdout
    functions, current = {}, None
    for line in listing.splitlines():
        start = FUNCTION.match(line)
        if start:
            current = start.group(2)
            functions.setdefault(current, [])
            continue
        instruction = INSTRUCTION.match(line)
        if instruction and current is not None:
            functions[current].append(instruction.group(1, 2, 3))
    return functions


def guarded_functions(functions):
    """The roots, and every function whose callers are all guarded."""
    callers = {name: set() for name in functions}
    for name, body in functions.items():
        for _, mnemonic, operands in body:
            target = TARGET.match(operands)
            if BRANCH.match(mnemonic) and target and target.group(2) != name:
                callers.setdefault(target.group(2), set()).add(name)
    guarded = {name for name in functions if any(root in name for root in GUARDED_ROOTS)}
    if len(guarded) < len(GUARDED_ROOTS):
        sys.exit("the vector line searches are not in the build copy's symbols")
    grown = True
    while grown:
        grown = False
        for name in functions:
            if name not in guarded and callers[name] and callers[name] <= guarded:
                guarded.add(name)
                grown = True
    return guarded


def main():
    shipped, built, objdump = sys.argv[1:4]
    if section(objdump, shipped, ".text") != section(objdump, built, ".text"):
        sys.exit("the shipped DLL's code is not the build copy's")
    code, vma = section(objdump, built, ".text")
    functions = disassemble(objdump, built)
    faults, checked = [], 0
    for name in EMPTY_LISTS:
        if name not in functions:
            sys.exit(f"no {name} in the build copy's symbols")
        at = int(functions.pop(name)[0][0], 16) - int(vma, 16)
        if code[at:at + len(EMPTY_LIST)] != EMPTY_LIST:
            faults.append(f"{name} is not empty: the DLL has constructors or destructors")
    guarded = guarded_functions(functions)
    for name, body in functions.items():
        if name in guarded:
            continue
        allowed = next((a for key, a in ALLOWED_IN.items() if key in name), set())
        for address, mnemonic, operands in body:
            checked += 1
            later = mnemonic in LATER_INSTRUCTIONS or VECTOR_REGISTER.search(operands)
            if later and mnemonic not in allowed:
                faults.append(f"beyond the Pentium Pro: {address} <{name}>: {mnemonic} {operands}")
    for fault in faults:
        print(fault)
    print(f"{checked} instructions in {len(functions) - len(guarded)} functions checked; "
          f"{len(guarded)} guarded functions left out")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
